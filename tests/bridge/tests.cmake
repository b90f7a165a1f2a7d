# The bridge drives the stand-in main program in another process.
ombrelo_test(bridge_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ChannelTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/StartTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PreviewTest.cpp
  USES test_bridge_support)
add_dependencies(bridge_tests OmbreloStandin)

# Tests that answer the real start prompt and folder browser are skipped
# while those dialogs are still placeholders that show no window.
foreach(dialog UExtMsgBox UFBrowse)
  set(source ${CMAKE_SOURCE_DIR}/src/dialogs/${dialog}.cpp)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(STRINGS ${source} first_line LIMIT_COUNT 1)
  if(first_line MATCHES "^// Placeholder")
    target_compile_definitions(bridge_tests PRIVATE OMBRELO_${dialog}_PLACEHOLDER=1)
  endif()
endforeach()

# The stand-in's own menu filling is checked inside the test program too,
# since some systems refuse menu changes from another process.
target_sources(bridge_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/standin/Preview.cpp)
target_include_directories(bridge_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools)
