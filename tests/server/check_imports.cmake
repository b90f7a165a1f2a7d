# Fails when the DLL is not built for its machine (MACHINE: i386, x86-64,
# arm64), exports anything but the names of its .def file (DEF), or imports
# anything but the Windows system DLLs we allow, or imports one of those that
# it loads only while a rare command runs. binutils' objdump reads the x86
# builds; llvm-readobj (READOBJ) reads every PE file, the ARM64 one too.
# It also fails on TlsAlloc among the imports (the toolchain's emulated
# thread-local storage and its thread library take one TLS index per load
# that no unload gives back).
set(ALLOWED kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
    shlwapi.dll version.dll msvcrt.dll windowscodecs.dll)
set(AT_FIRST_USE comdlg32.dll uxtheme.dll)
if(READOBJ)
  execute_process(COMMAND ${READOBJ} --file-headers --coff-exports --coff-imports ${DLL}
                  OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  string(REGEX MATCH "Machine: IMAGE_FILE_MACHINE_[A-Z0-9]+" machine "${dump}")
  string(REPLACE "Machine: IMAGE_FILE_MACHINE_" "" machine "${machine}")
  set(machines_of_i386 I386)
  set(machines_of_x86-64 AMD64)
  set(machines_of_arm64 ARM64)
  string(REGEX MATCHALL "Export {[^}]*Name: [^\n]+" exports "${dump}")
  list(TRANSFORM exports REPLACE ".*Name: " "")
  string(REGEX MATCHALL "Import {[^\n]*\n[^\n]*Name: [^\n]+" names "${dump}")
  list(TRANSFORM names REPLACE ".*Name: " "")
else()
  execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
  string(REGEX MATCH "file format pei-[a-z0-9-]+" machine "${dump}")
  string(REPLACE "file format pei-" "" machine "${machine}")
  set(machines_of_i386 i386)
  set(machines_of_x86-64 x86-64)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n([ \t]+\\[[^\n]+\n)+" table "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z0-9_@]+" exports "${table}")
  list(TRANSFORM exports REPLACE "^.*\\] " "")
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  list(TRANSFORM names REPLACE "DLL Name: " "")
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${READOBJ}${OBJDUMP} failed on ${DLL}")
endif()
if(NOT machine STREQUAL "${machines_of_${MACHINE}}")
  message(FATAL_ERROR "built for machine '${machine}', expected ${MACHINE}")
endif()
message(STATUS "machine ${machine}")

file(STRINGS ${DEF} def_lines REGEX "^[ \t]+[A-Za-z]")
list(TRANSFORM def_lines REPLACE "^[ \t]+([A-Za-z0-9_]+).*" "\\1")
list(SORT def_lines)
list(SORT exports)
message(STATUS "exports ${exports}")
if(NOT exports STREQUAL def_lines)
  message(FATAL_ERROR "exports ${exports}, expected exactly ${def_lines}")
endif()

set(bad "")
foreach(name ${names})
  string(STRIP "${name}" name)
  string(TOLOWER "${name}" lower)
  list(FIND ALLOWED ${lower} idx)
  list(FIND AT_FIRST_USE ${lower} lazy)
  if(idx EQUAL -1 OR NOT lazy EQUAL -1)
    list(APPEND bad ${name})
  endif()
  message(STATUS "imports ${name}")
endforeach()
# TlsAlloc on either build: the 32-bit unwinder's once and mutex calls are
# served inside the DLL, so the thread library is not linked in.
if(dump MATCHES "[ \t]TlsAlloc\n")
  list(APPEND bad TlsAlloc)
endif()
if(NOT names)
  message(FATAL_ERROR "no imports read from ${DLL}")
endif()
if(bad)
  message(FATAL_ERROR "unexpected imports: ${bad}")
endif()
