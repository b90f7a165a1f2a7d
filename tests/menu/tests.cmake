ombrelo_test(menu_core_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/OwnerDrawTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuCoreTest.cpp
  USES test_menu_support)
ombrelo_test(menu_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MenuBuildTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuPreviewTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MenuRequestTest.cpp
  USES test_menu_support)
ombrelo_test(menu_leak_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MenuLeakTest.cpp
  USES test_menu_support)
# Icon items and the preview item under the display scale and the theme
# that Wine reads at a process's start: each in a child process, the
# prefix's settings put back afterwards.
ombrelo_test(menu_display_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/MenuDisplayTest.cpp)
