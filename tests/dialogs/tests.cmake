ombrelo_test(dialogs_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ExtMsgBoxTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FolderBrowseTest.cpp)

# The language switch on forms of the forms layer, with a string DLL made of
# resources only (no code, no entry point).
add_library(switch_strings SHARED ${CMAKE_SOURCE_DIR}/tests/lang/SwitchStrings.rc)
set_target_properties(switch_strings PROPERTIES PREFIX "" LINKER_LANGUAGE C)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_link_options(switch_strings PRIVATE -nostdlib -Wl,-e,0)
endif()  # zig's linker takes no entry point of 0: there the DLL has the runtime's
ombrelo_test(lang_switch_tests CORE SOURCES
  ${CMAKE_SOURCE_DIR}/tests/lang/LanguageSwitchTest.cpp)
add_dependencies(lang_switch_tests switch_strings)
