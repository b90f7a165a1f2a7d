// The exports of the in-process server. Each first makes sure that the
// module has started; nothing that fails inside reaches the caller.
#include <windows.h>

#include "common/Guarded.h"
#include "menu/FolContMenu.h"
#include "server/ClassFactory.h"
#include "server/ModuleState.h"
#include "server/Registration.h"

using ombrelo::Guarded;

extern "C" {

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv) *ppv = nullptr;
  return Guarded(E_UNEXPECTED, [&]() -> HRESULT {
    ombrelo::EnsureModuleStarted();
    if (!ppv) return E_POINTER;
    IClassFactory* factory = ombrelo::FactoryFor(rclsid);
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(riid, ppv);
  });
}

STDAPI DllCanUnloadNow() {
  return Guarded(S_FALSE, [] {
    ombrelo::EnsureModuleStarted();
    return ombrelo::CanUnloadNow();
  });
}

STDAPI DllRegisterServer() {
  return Guarded(E_FAIL, [] {
    ombrelo::EnsureModuleStarted();
    return ombrelo::RegisterServer(ombrelo::ServerFileName());
  });
}

STDAPI DllUnregisterServer() {
  return Guarded(E_FAIL, [] {
    ombrelo::EnsureModuleStarted();
    return ombrelo::UnregisterServer();
  });
}

// regsvr32 /n /i:user registers for the current user only; regsvr32 /u /n /i:user removes that.
STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
  return Guarded(E_FAIL, [&] {
    ombrelo::EnsureModuleStarted();
    return ombrelo::InstallForCommandLine(install != FALSE, commandLine);
  });
}
}
