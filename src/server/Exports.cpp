// The four exports of the in-process server. Each first makes sure that the
// module has started.
#include <windows.h>

#include "server/ModuleState.h"

extern "C" {

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* ppv) {
  ombrelo::EnsureModuleStarted();
  if (ppv) *ppv = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  ombrelo::EnsureModuleStarted();
  return S_OK;
}

STDAPI DllRegisterServer() {
  ombrelo::EnsureModuleStarted();
  return E_NOTIMPL;
}

STDAPI DllUnregisterServer() {
  ombrelo::EnsureModuleStarted();
  return E_NOTIMPL;
}
}
