# Programs on network shares and drives that are not ready: the path rule
# (direct calls) and the menus of the real DLL with a drive letter that Wine
# reports as a network drive.
ombrelo_test(network_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/NetworkPathTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NetworkSupport.cpp
  USES test_menu_support)
target_include_directories(network_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
