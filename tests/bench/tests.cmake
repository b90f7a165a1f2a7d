# The benchmark's right-click and load/unload loops as tests: resources must not grow.
ombrelo_test(bench_resource_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ResourceGrowthTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LoadCycleTest.cpp
  USES bench_cycle)
target_include_directories(bench_resource_tests PRIVATE ${CMAKE_SOURCE_DIR}/bench)
