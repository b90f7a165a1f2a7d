# The recorder starts without a console window, as a GUI program.
set_target_properties(recorder PROPERTIES WIN32_EXECUTABLE ON)

set(COMMANDS_SUPPORT ${CMAKE_CURRENT_LIST_DIR}/CommandsSupport.cpp ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
ombrelo_test(command_bridge_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/TextActionsTest.cpp
  ${COMMANDS_SUPPORT})
target_include_directories(command_bridge_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(command_bridge_tests recorder)
