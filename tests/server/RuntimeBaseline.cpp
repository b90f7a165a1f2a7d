// A minimal C++ DLL with the same runtime as the extension: strings, an
// exception thrown and caught, a thread-safe static.
#include <windows.h>

#include <stdexcept>
#include <string>

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
  static std::string once = "started";
  try {
    throw std::runtime_error(once);
  } catch (const std::exception& e) {
    return e.what()[0] == 's' ? S_OK : S_FALSE;
  }
}

#if defined(_LIBCPP_VERSION)
// Pinned as the extension pins itself with this runtime (src/server/DllMain.cpp):
// libc++abi's per-thread exception cleanup lies in the DLL.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  HMODULE self = nullptr;
  if (reason == DLL_PROCESS_ATTACH)
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                              reinterpret_cast<LPCWSTR>(&DllMain), &self);
  return TRUE;
}
#endif
