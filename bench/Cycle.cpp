#include "Cycle.h"

#include "Scene.h"

namespace bench {

SIZE MeasureAndDrawPreview(IContextMenu2* menu, HDC dc) {
  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_MENU;
  measure.itemID = kFirstId + 3;  // the preview item
  menu->HandleMenuMsg(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_MENU;
  draw.itemID = kFirstId + 3;
  draw.itemAction = ODA_DRAWENTIRE;
  draw.hDC = dc;
  draw.rcItem = RECT{0, 0, static_cast<LONG>(measure.itemWidth) + 24, static_cast<LONG>(measure.itemHeight)};
  menu->HandleMenuMsg(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
  return SIZE{static_cast<LONG>(measure.itemWidth), static_cast<LONG>(measure.itemHeight)};
}

int RightClick(IClassFactory* factory, IDataObject* selection, const CycleOptions& options) {
  IShellExtInit* init = nullptr;
  if (!factory || FAILED(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init))))
    return -1;
  int count = -1;
  HMENU shell = nullptr;
  if (SUCCEEDED(init->Initialize(nullptr, selection, nullptr))) {
    IContextMenu* menu = nullptr;
    if (SUCCEEDED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)))) {
      shell = CreatePopupMenu();
      const HRESULT hr = menu->QueryContextMenu(shell, 0, kFirstId, kLastId, CMF_NORMAL);
      if (SUCCEEDED(hr)) {
        count = HRESULT_CODE(hr);
        char text[MAX_PATH] = {};
        for (int offset = 0; offset < count; ++offset)
          menu->GetCommandString(static_cast<UINT_PTR>(offset), GCS_HELPTEXTA, nullptr, text, sizeof(text));
        IContextMenu2* menu2 = nullptr;
        if (options.drawOn &&
            SUCCEEDED(menu->QueryInterface(IID_IContextMenu2, reinterpret_cast<void**>(&menu2)))) {
          MeasureAndDrawPreview(menu2, options.drawOn);
          menu2->Release();
        }
      }
      menu->Release();
    }
  }
  // The shell releases the handler, then destroys its menu with the submenus.
  init->Release();
  if (shell) DestroyMenu(shell);
  return count;
}

int LoadAndUnload(const char* dllPath, const CLSID& clsid, IDataObject* selection, const CycleOptions& options,
                  HRESULT* canUnload) {
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  using CanUnloadNowFn = HRESULT(WINAPI*)();
  HMODULE module = LoadLibraryA(dllPath);
  if (!module) return -1;
  auto getClassObject =
      reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
  auto canUnloadNow =
      reinterpret_cast<CanUnloadNowFn>(reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
  int count = -1;
  IClassFactory* factory = nullptr;
  if (getClassObject && canUnloadNow &&
      SUCCEEDED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    count = RightClick(factory, selection, options);
    factory->Release();
    const HRESULT answer = canUnloadNow();
    if (canUnload) *canUnload = answer;
    else if (answer != S_OK) count = -2;
  }
  FreeLibrary(module);
  return count;
}

}  // namespace bench
