// The WIC class and format GUIDs, defined here for toolchains whose
// windowscodecs import library holds only the DLL's functions.
#include <windows.h>

#include <initguid.h>

#include <wincodec.h>
