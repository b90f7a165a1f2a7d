# The recorder starts without a console window, as a GUI program.
set_target_properties(recorder PROPERTIES WIN32_EXECUTABLE ON)

ombrelo_test(command_bridge_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TextActionsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WallpaperTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ViewerTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UnicodeNamesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ProgramStartTest.cpp
  USES test_commands_support
  ARGS --gtest_filter=-Wallpaper.AMissingDesktopKeyIsCreated)
target_include_directories(command_bridge_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(command_bridge_tests recorder)
# Deletes the desktop key, which the system keeps open: a process of its own.
add_test(NAME command_wallpaper_missing_key COMMAND command_bridge_tests
  --gtest_filter=Wallpaper.AMissingDesktopKeyIsCreated)
set_tests_properties(command_wallpaper_missing_key PROPERTIES TIMEOUT 300 RESOURCE_LOCK wineprefix)

# Help texts and commands through the real DLL.
ombrelo_test(command_com_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HelpTextTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InvokeTest.cpp
  USES test_commands_handler test_commands_support)
target_include_directories(command_com_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(command_com_tests recorder)
