// The minimal handler as an in-process server, loaded the way the shell
// loads the extension.
#include <windows.h>

#include "MinimalHandler.h"

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != bench::kMinimalClsid) return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = bench::MakeMinimalFactory();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
  return bench::MinimalLiveCount() == 0 ? S_OK : S_FALSE;
}
