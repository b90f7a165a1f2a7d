# The installer packages, built by scripts/package.sh, then installed,
# upgraded and removed for real in fresh Wine prefixes. The x64 packages hold
# both DLLs, so the cases run in the 64-bit build, with the 32-bit build's
# DLL and host from OMBRELO_PEER32_BIN.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  add_executable(install_probe ${CMAKE_CURRENT_LIST_DIR}/InstallProbe.cpp)
  target_link_libraries(install_probe PRIVATE msi advapi32)
  set(OMBRELO_PEER32_BIN ${CMAKE_SOURCE_DIR}/build/i686/bin CACHE PATH "The 32-bit build's programs (package tests)")
  set(env OMBRELO_SOURCE=${CMAKE_SOURCE_DIR} OMBRELO_BIN64=${CMAKE_BINARY_DIR}/bin OMBRELO_BIN32=${OMBRELO_PEER32_BIN}
      OMBRELO_VERSION=${PROJECT_VERSION} OMBRELO_TEST_OUT=${CMAKE_BINARY_DIR}/package-tests)
  # The ARM64 build checks the arm64 packages, in arm64 Wine.
  set(name package)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(name package_arm64)
    list(APPEND env OMBRELO_PACKAGE_ARCH=arm64)
  endif()
  foreach(case build tables user machine)
    add_test(NAME ${name}_${case} COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/package_tests.sh ${case})
    set_tests_properties(${name}_${case} PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77 ENVIRONMENT "${env}")
  endforeach()
  set_tests_properties(${name}_build PROPERTIES FIXTURES_SETUP packages)
  set_tests_properties(${name}_tables ${name}_user ${name}_machine PROPERTIES FIXTURES_REQUIRED packages)
endif()
