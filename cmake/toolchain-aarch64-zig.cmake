# Cross-compiling the ARM64 Windows DLL and its tests with zig 0.11 (clang 16
# and a static libc++ for aarch64-windows-gnu, MinGW-w64 headers and import
# libraries). scripts/lib.sh (ombrelo_install_aarch64) installs zig and the
# wrapper programs named here; OMBRELO_ZIG_DIR says where.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
if(NOT OMBRELO_ZIG_DIR)
  set(OMBRELO_ZIG_DIR "$ENV{OMBRELO_ZIG_DIR}")
endif()
if(NOT EXISTS "${OMBRELO_ZIG_DIR}/ombrelo-bin/c++")
  message(FATAL_ERROR "zig for the ARM64 build is missing (OMBRELO_ZIG_DIR=${OMBRELO_ZIG_DIR}): run bash -c 'source scripts/lib.sh && ombrelo_install_aarch64'")
endif()
set(OMBRELO_ZIG_DIR "${OMBRELO_ZIG_DIR}" CACHE PATH "zig for the ARM64 build")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES OMBRELO_ZIG_DIR)
set(CMAKE_C_COMPILER   ${OMBRELO_ZIG_DIR}/ombrelo-bin/cc)
set(CMAKE_CXX_COMPILER ${OMBRELO_ZIG_DIR}/ombrelo-bin/c++)
set(CMAKE_RC_COMPILER  ${OMBRELO_ZIG_DIR}/ombrelo-bin/windres)
set(CMAKE_AR           ${OMBRELO_ZIG_DIR}/ombrelo-bin/ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${OMBRELO_ZIG_DIR}/ombrelo-bin/ranlib CACHE FILEPATH "")
# zig's clang writes debug information unless told not to; nothing here
# reads it (the DLL is stripped), and it costs a quarter of the compile time.
set(CMAKE_C_FLAGS_INIT "-g0")
set(CMAKE_CXX_FLAGS_INIT "-g0")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# binutils' objdump reads no ARM64 PE files; LLVM's tools do.
set(OMBRELO_READOBJ llvm-readobj)
set(OMBRELO_STRIP llvm-strip)
set(OMBRELO_PE_MACHINE arm64)
