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
