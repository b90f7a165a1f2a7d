#include "server/ClassFactory.h"

#include <exception>

#include "common/Guarded.h"
#include "lang/DMSStrings.h"
#include "menu/FolContMenu.h"
#include "server/ComObject.h"
#include "modern/ExplorerCommand.h"

namespace ombrelo {

volatile LONG LiveObjectCount = 0;
volatile LONG FactoryRefCount = 0;

LONG ReadCount(const volatile LONG& count) {
  return InterlockedCompareExchange(const_cast<volatile LONG*>(&count), 0, 0);
}

namespace {
TFolContMenuFactory g_factory;
TExplorerCommandFactory g_commandFactory;

void ShowCreateError(const std::string& text) {
  MessageBoxA(nullptr, ErrorBoxText(text).c_str(), "DAX-Fehler", MB_OK | MB_ICONERROR);
}
}  // namespace

TFolContMenuFactory& ClassFactory() { return g_factory; }

IClassFactory* FactoryFor(REFCLSID clsid) {
  if (clsid == CLSID_TFolContMenu) return &g_factory;
  if (clsid == CLSID_TExplorerCommand) return &g_commandFactory;
  return nullptr;
}

std::string ErrorBoxText(std::string text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) text += '.';
  return text;
}

STDMETHODIMP TModuleFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  IClassFactory* const factory = this;
  *ppv = FindInterface({{IID_IUnknown, factory}, {IID_IClassFactory, factory}}, riid);
  if (!*ppv) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) TModuleFactory::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&FactoryRefCount));
}

STDMETHODIMP_(ULONG) TModuleFactory::Release() {
  return static_cast<ULONG>(InterlockedDecrement(&FactoryRefCount));
}

STDMETHODIMP TFolContMenuFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  return Guarded(E_UNEXPECTED, [&] {
    return CreateHandlerInstance(pUnkOuter, riid, ppv, [](IUnknown* outer) { return new TFolContMenu(outer); });
  });
}

STDMETHODIMP TExplorerCommandFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  return Guarded(E_UNEXPECTED, [&] { return CreateExplorerCommand(pUnkOuter, riid, ppv); });
}

STDMETHODIMP TModuleFactory::LockServer(BOOL fLock) {
  return Guarded(E_FAIL, [&] { return CoLockObjectExternal(this, fLock, TRUE); });
}

HRESULT CreateHandlerInstance(IUnknown* outer, REFIID riid, void** ppv, const HandlerMaker& make) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // An aggregating caller must hold the inner object's own IUnknown.
  if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;

  TFolContMenu* object = nullptr;
  try {
    object = make(outer);
  } catch (const std::exception& e) {
    ShowCreateError(e.what());
    return E_UNEXPECTED;
  } catch (...) {
    ShowCreateError(ActiveLanguageIndex() == 0 ? "Unbekannter Fehler" : "Unknown error");
    return E_UNEXPECTED;
  }
  if (!object) return E_UNEXPECTED;

  // The object starts with no reference: hold it while asking, so that an
  // object nobody keeps is destroyed by the last Release here.
  IUnknown* inner = object->Inner();
  inner->AddRef();
  HRESULT hr = inner->QueryInterface(riid, ppv);
  inner->Release();
  return hr;
}

HRESULT CanUnloadNow() {
  return ReadCount(LiveObjectCount) == 0 && ReadCount(FactoryRefCount) == 0 ? S_OK : S_FALSE;
}

}  // namespace ombrelo
