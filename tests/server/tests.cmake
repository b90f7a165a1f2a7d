ombrelo_test(module_life_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ModuleLifeTest.cpp
  USES bench_cycle)
target_include_directories(module_life_tests PRIVATE ${CMAKE_SOURCE_DIR}/bench)
# A minimal C++ DLL built with the same statically linked runtime: what one
# load and unload costs before any code of ours runs.
add_library(runtime_baseline SHARED ${CMAKE_CURRENT_LIST_DIR}/RuntimeBaseline.cpp)
set_target_properties(runtime_baseline PROPERTIES PREFIX "")
target_link_options(runtime_baseline PRIVATE -Wl,--kill-at)
add_dependencies(module_life_tests runtime_baseline)

# The DLL imports Windows system DLLs only (the runtime is linked statically),
# exports exactly its .def file's names and is built for its machine.
if(OMBRELO_READOBJ)
  set(reader -DREADOBJ=${OMBRELO_READOBJ})
else()
  set(reader -DOBJDUMP=${OMBRELO_OBJDUMP})
endif()
add_test(NAME dll_imports_system_only
  COMMAND ${CMAKE_COMMAND} ${reader} -DMACHINE=${OMBRELO_PE_MACHINE} -DDLL=$<TARGET_FILE:OmbreloShell>
          -DDEF=${CMAKE_SOURCE_DIR}/src/server/OmbreloShell.def
          -P ${CMAKE_CURRENT_LIST_DIR}/check_imports.cmake)

# The server through its exports, regsvr32 and CoCreateInstance (the real DLL).
ombrelo_test(server_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ServerTest.cpp)

# Classification and selection capture, calling the handler's code directly
# to see the shared state it leaves.
ombrelo_test(selection_tests CORE SOURCES
  ${CMAKE_SOURCE_DIR}/tests/menu/ClassifyTest.cpp
  ${CMAKE_SOURCE_DIR}/tests/menu/DropListTest.cpp
  ${CMAKE_SOURCE_DIR}/tests/menu/SelectionTest.cpp)
add_dependencies(selection_tests htmlwindow)

# The factory's error path, with a handler maker that fails.
ombrelo_test(server_core_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FactoryErrorTest.cpp)

# Initialize through the real DLL's factory.
ombrelo_test(selection_com_tests SOURCES
  ${CMAKE_SOURCE_DIR}/tests/menu/SelectionComTest.cpp)
