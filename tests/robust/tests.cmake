# The robustness suite: hostile input, partners and threads, each case seeded
# (OMBRELO_SEED) and scaled (OMBRELO_STRESS; scripts/stress.sh runs it long).

# Direct calls into the extension's code, to see the state it leaves.
ombrelo_test(robust_core_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/HostileSelectionTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostileRegistryTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostileSettingsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HostilePreviewTest.cpp
  USES test_robust_support)
target_include_directories(robust_core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)

# The real DLL driven as the shell drives it: shell threads at once, and
# every call made out of order or with what the interfaces do not allow.
ombrelo_test(robust_com_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ShellThreadsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComMisuseTest.cpp
  USES bench_cycle test_robust_support)
target_include_directories(robust_com_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/bench)

# Partners that misbehave (the stand-in main program, viewers, open-with
# programs), files that resist the commands reading them, and another
# program's messages to the extension's windows.
ombrelo_test(robust_partner_tests CORE SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/PartnersTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ForgedMessagesTest.cpp
  USES test_bridge_support test_commands_support test_commands_handler test_robust_support)
target_include_directories(robust_partner_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(robust_partner_tests OmbreloStandin recorder forger)

# A profile named outside the ANSI code page beside its best-fit twin, with
# the DLL loaded from such a folder: a process of its own, since the profile
# is set up before the DLL starts.
ombrelo_test(robust_folder_tests SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/ForeignFoldersTest.cpp
  USES test_menu_support)
target_include_directories(robust_folder_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
add_dependencies(robust_folder_tests recorder)
