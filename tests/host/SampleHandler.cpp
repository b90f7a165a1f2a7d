// A small context-menu handler for testing the host: a "&Sample" submenu
// with a command of each kind the host has to show and observe (clipboard,
// process, registry, dialog), a greyed item with code page 1252 text, an
// owner-drawn item painted red, a default item and a bitmap item. Text
// files are taken only while Ctrl is held.
#include <windows.h>
#include <olectl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <string>
#include <vector>

namespace {

// {5B1E2C71-9A3D-4F0B-8C2E-7D41A9E3B605}
const CLSID CLSID_SampleHandler = {0x5b1e2c71, 0x9a3d, 0x4f0b, {0x8c, 0x2e, 0x7d, 0x41, 0xa9, 0xe3, 0xb6, 0x05}};
const char kClsidText[] = "{5B1E2C71-9A3D-4F0B-8C2E-7D41A9E3B605}";

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

enum Offset : UINT {
  SamplePopup = 0,
  CopyPath = 1,
  Greyed = 2,
  Painted = 3,
  MorePopup = 4,
  StartHelper = 5,
  SetValue = 6,
  Ask = 7,
  DefaultThing = 8,
  Bitmap = 9,
  TrailingSeparator = 10,
  Count = 11,
};
constexpr int kPaintedWidth = 48, kPaintedHeight = 24;

void CopyToClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  if (block) {
    memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    if (!SetClipboardData(CF_UNICODETEXT, block)) GlobalFree(block);
  }
  CloseClipboard();
}

std::wstring ModuleFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(g_module, path, MAX_PATH);
  PathRemoveFileSpecW(path);
  return path;
}

class SampleHandler final : public IShellExtInit, public IContextMenu3 {
 public:
  SampleHandler() { InterlockedIncrement(&g_objects); }
  ~SampleHandler() {
    if (bitmap_) DeleteObject(bitmap_);
    InterlockedDecrement(&g_objects);
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IShellExtInit) *ppv = static_cast<IShellExtInit*>(this);
    else if (riid == IID_IContextMenu) *ppv = static_cast<IContextMenu*>(this);
    else if (riid == IID_IContextMenu2) *ppv = static_cast<IContextMenu2*>(this);
    else if (riid == IID_IContextMenu3) *ppv = static_cast<IContextMenu3*>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY) override {
    if (!data) return E_INVALIDARG;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    HRESULT hr = data->GetData(&format, &medium);
    if (FAILED(hr)) return hr;
    auto drop = static_cast<HDROP>(medium.hGlobal);
    files_.clear();
    UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < n; ++i) {
      wchar_t path[MAX_PATH] = {};
      DragQueryFileW(drop, i, path, MAX_PATH);
      files_.push_back(path);
    }
    ReleaseStgMedium(&medium);
    if (files_.empty()) return E_FAIL;
    bool text = lstrcmpiW(PathFindExtensionW(files_[0].c_str()), L".txt") == 0;
    return text && GetKeyState(VK_CONTROL) >= 0 ? E_FAIL : S_OK;
  }

  STDMETHODIMP QueryContextMenu(HMENU menu, UINT index, UINT first, UINT, UINT) override {
    first_ = first;
    HMENU more = CreatePopupMenu();
    AppendMenuA(more, MF_STRING, first + StartHelper, "Start &helper");
    AppendMenuA(more, MF_STRING, first + SetValue, "Set &value");
    AppendMenuA(more, MF_STRING, first + Ask, "&Ask");
    HMENU sample = CreatePopupMenu();
    AppendMenuA(sample, MF_STRING, first + CopyPath, "Copy &path\t(clipboard)");
    AppendMenuA(sample, MF_STRING | MF_GRAYED, first + Greyed, "Gr\xF6\xDF" "e && Farben");
    AppendMenuA(sample, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(sample, MF_OWNERDRAW, first + Painted, nullptr);
    AppendMenuA(sample, MF_POPUP, reinterpret_cast<UINT_PTR>(more), "&More");
    AppendMenuA(sample, MF_STRING, first + DefaultThing, "&Default thing");
    SetMenuDefaultItem(sample, first + DefaultThing, FALSE);
    if (!bitmap_) bitmap_ = MakeBitmap();
    AppendMenuA(sample, MF_BITMAP, first + Bitmap, reinterpret_cast<LPCSTR>(bitmap_));

    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.wID = first + SamplePopup;
    item.hSubMenu = sample;
    item.dwTypeData = const_cast<char*>("&Sample");
    InsertMenuItemA(menu, index, TRUE, &item);
    item.fMask = MIIM_ID | MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    item.wID = first + TrailingSeparator;
    InsertMenuItemA(menu, index + 1, TRUE, &item);
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, Count);
  }

  STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* info) override {
    if (!info || !IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
    switch (LOWORD(reinterpret_cast<UINT_PTR>(info->lpVerb))) {
      case CopyPath:
        CopyToClipboard(info->hwnd, files_.empty() ? L"" : files_[0]);
        return S_OK;
      case StartHelper: {
        std::wstring line = L"\"" + ModuleFolder() + L"\\host_idle.exe\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
          return E_FAIL;
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return S_OK;
      }
      case SetValue: {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\ShellMenuHostTest", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
          return E_FAIL;
        RegSetValueExA(key, "Picked", 0, REG_SZ, reinterpret_cast<const BYTE*>("yes"), 4);
        RegCloseKey(key);
        return S_OK;
      }
      case Ask:
        MessageBoxA(info->hwnd, "Really?", "Sample", MB_YESNO);
        return S_OK;
      case DefaultThing:
      case Bitmap:
      case Painted:
        return S_OK;
      default:
        return E_INVALIDARG;
    }
  }

  STDMETHODIMP GetCommandString(UINT_PTR offset, UINT type, UINT*, CHAR* name, UINT cch) override {
    if (type != GCS_HELPTEXTA || !name || cch == 0) return E_INVALIDARG;
    const char* text = nullptr;
    switch (offset) {
      case CopyPath: text = "Copies the path of the file"; break;
      case Greyed: text = "Zeigt Gr\xF6\xDF" "e und Farben"; break;
      case Painted: text = "A red box"; break;
      case StartHelper: text = "Starts the helper program"; break;
      case SetValue: text = "Writes a registry value"; break;
      case Ask: text = "Asks a question"; break;
      case DefaultThing: text = "Does nothing by default"; break;
      default: return E_INVALIDARG;
    }
    lstrcpynA(name, text, static_cast<int>(cch));
    return S_OK;
  }

  STDMETHODIMP HandleMenuMsg(UINT message, WPARAM wParam, LPARAM lParam) override {
    LRESULT ignored = 0;
    return HandleMenuMsg2(message, wParam, lParam, &ignored);
  }
  STDMETHODIMP HandleMenuMsg2(UINT message, WPARAM, LPARAM lParam, LRESULT* result) override {
    if (message == WM_MEASUREITEM) {
      auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (measure->itemID == first_ + Painted) {
        measure->itemWidth = kPaintedWidth;
        measure->itemHeight = kPaintedHeight;
      }
    } else if (message == WM_DRAWITEM) {
      auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (draw->itemID == first_ + Painted) {
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(draw->hDC, &draw->rcItem, red);
        DeleteObject(red);
      }
    }
    if (result) *result = TRUE;
    return S_OK;
  }

 private:
  static HBITMAP MakeBitmap() {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all = {0, 0, 16, 16};
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(memory, &all, blue);
    DeleteObject(blue);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
  }

  LONG refs_ = 1;
  UINT first_ = 0;
  HBITMAP bitmap_ = nullptr;
  std::vector<std::wstring> files_;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // a static object
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* handler = new SampleHandler();
    HRESULT hr = static_cast<IShellExtInit*>(handler)->QueryInterface(riid, ppv);
    static_cast<IShellExtInit*>(handler)->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) InterlockedIncrement(&g_locks);
    else InterlockedDecrement(&g_locks);
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_SampleHandler) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(g_module, path, MAX_PATH);
  std::string key = std::string("CLSID\\") + kClsidText + "\\InprocServer32";
  HKEY h = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
    return SELFREG_E_CLASS;
  RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), lstrlenA(path) + 1);
  RegSetValueExA(h, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
  RegCloseKey(h);
  return S_OK;
}

STDAPI DllUnregisterServer() {
  std::string key = std::string("CLSID\\") + kClsidText;
  return SHDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str()) == ERROR_SUCCESS ? S_OK : S_FALSE;
}
