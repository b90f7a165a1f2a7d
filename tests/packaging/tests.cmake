# The identity package of the Windows 11 command (packaging/build-msix.py),
# built with a throwaway certificate and read back; with the 64-bit build,
# whose DLL it names. Runs on the build machine, not under Wine.
find_program(OMBRELO_PYTHON3 python3)
if(CMAKE_SIZEOF_VOID_P EQUAL 8 AND OMBRELO_PYTHON3)
  add_test(NAME package_msix_tests COMMAND ${OMBRELO_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/test_msix.py)
  set_tests_properties(package_msix_tests PROPERTIES TIMEOUT 300)
endif()
