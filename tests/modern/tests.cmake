# The Windows 11 menu's command through the real DLL, beside the classic
# handler; Windows 11 runs only the 64-bit DLL.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  ombrelo_test(modern_com_tests CORE SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ModernCommandTest.cpp
    USES test_commands_handler test_commands_support test_bridge_support)
  target_include_directories(modern_com_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_dependencies(modern_com_tests OmbreloStandin)
endif()
