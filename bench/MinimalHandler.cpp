#include "MinimalHandler.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <new>

namespace bench {

namespace {
LONG g_live = 0;

class MinimalHandler final : public IShellExtInit, public IContextMenu {
 public:
  MinimalHandler() { InterlockedIncrement(&g_live); }
  ~MinimalHandler() { InterlockedDecrement(&g_live); }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellExtInit) *ppv = static_cast<IShellExtInit*>(this);
    else if (riid == IID_IContextMenu) *ppv = static_cast<IContextMenu*>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // The selection: the file list and its length, as every handler must take it.
  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
    if (!data) return E_INVALIDARG;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return E_FAIL;
    files_ = DragQueryFileA(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0);
    ReleaseStgMedium(&medium);
    return files_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
    InsertMenuA(menu, index, MF_BYPOSITION | MF_STRING, first, "Minimal");
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
  }
  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO*) override { return S_OK; }
  STDMETHODIMP GetCommandString(UINT_PTR id, UINT type, UINT*, CHAR* name, UINT cch) override {
    static const char kHelp[] = "The minimal handler's item";
    if (id != 0 || type != GCS_HELPTEXTA || !name || cch < sizeof(kHelp)) return E_INVALIDARG;
    memcpy(name, kHelp, sizeof(kHelp));
    return S_OK;
  }

 private:
  LONG refs_ = 1;
  UINT files_ = 0;
};

class MinimalFactory final : public IClassFactory {
 public:
  MinimalFactory() { InterlockedIncrement(&g_live); }
  ~MinimalFactory() { InterlockedDecrement(&g_live); }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    MinimalHandler* handler = new (std::nothrow) MinimalHandler();
    if (!handler) return E_OUTOFMEMORY;
    const HRESULT hr = handler->QueryInterface(riid, ppv);
    handler->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  LONG refs_ = 1;
};
}  // namespace

IClassFactory* MakeMinimalFactory() { return new (std::nothrow) MinimalFactory(); }
LONG MinimalLiveCount() { return g_live; }

}  // namespace bench
