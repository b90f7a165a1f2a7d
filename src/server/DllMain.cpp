// DLL entry point. Start-up does registry, GDI and USER work, which is unsafe
// under the loader lock, so it runs at the first call of an export instead
// (EnsureModuleStarted). Shutdown runs here for a FreeLibrary; at process
// exit the process takes everything down itself.
#include <windows.h>

#include "server/ModuleState.h"

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
