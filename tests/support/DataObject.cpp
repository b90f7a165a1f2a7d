#include "support/DataObject.h"

#include <shlobj.h>

#include <cstring>
#include <optional>

namespace testsupport {

namespace {

class DropDataObject final : public IDataObject {
 public:
  DropDataObject(std::vector<std::string> paths, DropOptions options, std::optional<std::string> rawBlock = {})
      : paths_(std::move(paths)), options_(options), rawBlock_(std::move(rawBlock)) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDataObject) {
      *ppv = static_cast<IDataObject*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }

  STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
    ++getDataCalls_;
    if (!format || !medium) return E_INVALIDARG;
    if (FAILED(options_.failGetData)) return options_.failGetData;
    if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    medium->pUnkForRelease = nullptr;
    if (options_.wrongMedium) {
      medium->tymed = TYMED_NULL;
      medium->hGlobal = nullptr;
      return S_OK;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = MakeHDrop();
    return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  STDMETHODIMP QueryGetData(FORMATETC* format) override {
    return format && format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
  }
  STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  int getDataCalls_ = 0;
  LONG refs_ = 1;

 private:
  HGLOBAL MakeHDrop() const {
    if (rawBlock_) return CopyToGlobal(*rawBlock_);
    std::string bytes;
    for (const std::string& p : paths_) {
      if (options_.wide) {
        int n = MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, nullptr, 0);
        std::wstring w(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, p.c_str(), -1, w.data(), n);  // includes the NUL
        bytes.append(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
      } else {
        bytes.append(p);
        bytes.push_back('\0');
      }
    }
    // The list ends with an empty string; an empty list is two NULs, as the
    // shell writes it (a single one lets readers run past the block).
    const size_t charSize = options_.wide ? sizeof(wchar_t) : 1;
    bytes.append(paths_.empty() ? 2 * charSize : charSize, '\0');
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes.size());
    if (!h) return nullptr;
    auto* drop = static_cast<DROPFILES*>(GlobalLock(h));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = options_.wide ? TRUE : FALSE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
  }
  static HGLOBAL CopyToGlobal(const std::string& block) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, block.size());
    if (h && !block.empty()) {
      std::memcpy(GlobalLock(h), block.data(), block.size());
      GlobalUnlock(h);
    }
    return h;
  }

  std::vector<std::string> paths_;
  DropOptions options_;
  std::optional<std::string> rawBlock_;  // handed over as it is instead of a list built from paths_
};

}  // namespace

IDataObject* MakeDropDataObject(const std::vector<std::string>& paths, DropOptions options) {
  return new DropDataObject(paths, options);
}

IDataObject* MakeRawDropDataObject(const std::string& block) { return new DropDataObject({}, {}, block); }

int GetDataCalls(IDataObject* object) { return static_cast<DropDataObject*>(object)->getDataCalls_; }

ULONG RefCount(IDataObject* object) { return static_cast<ULONG>(static_cast<DropDataObject*>(object)->refs_); }

}  // namespace testsupport
