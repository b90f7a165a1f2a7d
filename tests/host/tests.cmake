# The demo host end to end, against a small context-menu handler of its own.
add_library(host_sample_handler SHARED
  ${CMAKE_CURRENT_LIST_DIR}/SampleHandler.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SampleHandler.def)
set_target_properties(host_sample_handler PROPERTIES PREFIX "")
target_link_libraries(host_sample_handler PRIVATE ${OMBRELO_SYSTEM_LIBS})
target_link_options(host_sample_handler PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)

ombrelo_test(host_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HostTest.cpp)
add_dependencies(host_tests shellmenu-host host_sample_handler host_idle)
# The demo's sample picture, for the right-click with the real extension.
configure_file(${CMAKE_SOURCE_DIR}/samples/beach.jpg ${CMAKE_BINARY_DIR}/bin/host_samples/beach.jpg COPYONLY)
