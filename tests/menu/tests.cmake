ombrelo_test(menu_core_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/OwnerDrawTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuCoreTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuTestSupport.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
ombrelo_test(menu_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MenuBuildTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuPreviewTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuRequestTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuTestSupport.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
ombrelo_test(menu_leak_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MenuLeakTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuTestSupport.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
# Icon items and the preview item under the display scale and the theme
# that Wine reads at a process's start: each in a child process, the
# prefix's settings put back afterwards.
ombrelo_test(menu_display_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MenuDisplayTest.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
