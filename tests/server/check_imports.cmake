# Fails when the DLL imports anything but the Windows system DLLs we allow,
# or imports one of those that it loads only while a rare command runs, or
# takes TLS indexes (the toolchain's emulated thread-local storage and its
# thread library do, one per load that no unload gives back).
set(ALLOWED kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
    shlwapi.dll version.dll msvcrt.dll windowscodecs.dll)
set(AT_FIRST_USE comdlg32.dll uxtheme.dll)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
set(bad "")
foreach(entry ${names})
  string(REPLACE "DLL Name: " "" name "${entry}")
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
if(bad)
  message(FATAL_ERROR "unexpected imports: ${bad}")
endif()
