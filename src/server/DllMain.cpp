// DLL entry point. Start-up does registry, GDI and USER work, which is unsafe
// under the loader lock, so it runs at the first call of an export instead
// (EnsureModuleStarted). Shutdown runs here for a FreeLibrary; at process
// exit the process takes everything down itself.
#include <windows.h>

#include <cstdlib>

#include "server/ModuleState.h"

#if defined(__GLIBCXX__)
// The GNU runtime's default terminate handler writes the exception's
// demangled type name to the standard error before it aborts. A DLL in the
// shell has no console to show that, and the demangler it brings along is
// a fifth of the DLL; this handler only aborts.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      break;
    case DLL_PROCESS_DETACH:
      if (reserved == nullptr) {
        try {
          ombrelo::ShutdownModule();
        } catch (...) {
        }
      }
      break;
    default:
      break;
  }
  return TRUE;
}
