ombrelo_test(dialogs_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ExtMsgBoxTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderBrowseTest.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
