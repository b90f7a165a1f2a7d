ombrelo_test(module_life_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ModuleLifeTest.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)

# The DLL imports Windows system DLLs only (the runtime is linked statically).
add_test(NAME dll_imports_system_only
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${OMBRELO_OBJDUMP} -DDLL=$<TARGET_FILE:OmbreloShell>
          -P ${CMAKE_CURRENT_LIST_DIR}/check_imports.cmake)

# The server through its exports, regsvr32 and CoCreateInstance (the real DLL).
ombrelo_test(server_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ServerTest.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/TestMain.cpp)
