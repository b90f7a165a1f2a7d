// One cold right-click in a process of its own: the benchmark starts this
// program once per cycle, so that no DLL of an earlier cycle is still
// loaded. It imports nothing but the kernel and the C runtime; with
// --file-manager it first loads the DLLs a file manager holds and
// initialises OLE on its thread, as the shell has before its first
// right-click. It then times the steps of the cycle as the shell makes them
// and writes one line to the --out file:
//   load start menu unload (microseconds) unloaded(0/1) DLLs-held-after-the-menu
//
// Usage: ombrelo_cold --dll PATH [--minimal] [--file-manager] --file PICTURE --out FILE
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "MinimalHandler.h"
#include "Scene.h"
#include "support/DataObject.h"

namespace {

// What a file manager's process holds before it shows its first context menu.
const char* const kFileManagerDlls[] = {"user32.dll",   "gdi32.dll",   "advapi32.dll", "shlwapi.dll",
                                        "comctl32.dll", "shell32.dll", "ole32.dll",    "oleaut32.dll",
                                        "comdlg32.dll", "version.dll", "uxtheme.dll"};
// System DLLs whose presence after the first menu the report names.
const char* const kWatchedDlls[] = {"user32.dll",  "gdi32.dll",   "shell32.dll",  "shlwapi.dll", "ole32.dll",
                                    "comctl32.dll", "comdlg32.dll", "winspool.drv", "oleaut32.dll"};

template <class F>
F Function(const char* dll, const char* name) {
  HMODULE module = GetModuleHandleA(dll);
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

double Micros(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  std::string dll, file, out;
  bool minimal = false, fileManager = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dll" && i + 1 < argc) dll = argv[++i];
    else if (a == "--file" && i + 1 < argc) file = argv[++i];
    else if (a == "--out" && i + 1 < argc) out = argv[++i];
    else if (a == "--minimal") minimal = true;
    else if (a == "--file-manager") fileManager = true;
  }
  if (dll.empty() || file.empty() || out.empty()) return 2;
  if (fileManager) {
    for (const char* name : kFileManagerDlls) LoadLibraryA(name);
    if (auto oleInitialize = Function<HRESULT(WINAPI*)(void*)>("ole32.dll", "OleInitialize")) oleInitialize(nullptr);
  }
  IDataObject* selection = testsupport::MakeDropDataObject({file});
  const CLSID& clsid = minimal ? bench::kMinimalClsid : bench::kExtensionClsid;

  LARGE_INTEGER t0, t1, t2, t3, t4;
  QueryPerformanceCounter(&t0);
  HMODULE module = LoadLibraryA(dll.c_str());
  QueryPerformanceCounter(&t1);
  if (!module) return 3;
  auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  auto canUnloadNow =
      reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  IClassFactory* factory = nullptr;
  if (!getClassObject || FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
    return 4;
  QueryPerformanceCounter(&t2);

  // The handler DLL brought the window manager along; this program holds no reference of its own.
  auto createPopupMenu = Function<HMENU(WINAPI*)()>("user32.dll", "CreatePopupMenu");
  auto destroyMenu = Function<BOOL(WINAPI*)(HMENU)>("user32.dll", "DestroyMenu");
  IShellExtInit* init = nullptr;
  IContextMenu* menu = nullptr;
  HMENU shell = nullptr;
  bool ok = createPopupMenu && destroyMenu &&
            SUCCEEDED(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init))) &&
            SUCCEEDED(init->Initialize(nullptr, selection, nullptr)) &&
            SUCCEEDED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu))) &&
            (shell = createPopupMenu()) != nullptr &&
            SUCCEEDED(menu->QueryContextMenu(shell, 0, bench::kFirstId, bench::kLastId, CMF_NORMAL));
  QueryPerformanceCounter(&t3);
  std::string held;
  for (const char* name : kWatchedDlls)
    if (GetModuleHandleA(name)) held += std::string(" ") + name;

  // The shell releases the handler and destroys its menu; it unloads the
  // DLL once DllCanUnloadNow allows it.
  if (menu) menu->Release();
  if (init) init->Release();
  factory->Release();
  if (shell) destroyMenu(shell);
  ok = ok && canUnloadNow && canUnloadNow() == S_OK;
  FreeLibrary(module);
  QueryPerformanceCounter(&t4);
  const std::string name = dll.substr(dll.find_last_of("\\/") + 1);
  const bool unloaded = GetModuleHandleA(name.c_str()) == nullptr;
  selection->Release();

  char line[512];
  snprintf(line, sizeof(line), "%.1f %.1f %.1f %.1f %d%s\n", Micros(t0, t1), Micros(t1, t2), Micros(t2, t3),
           Micros(t3, t4), unloaded ? 1 : 0, held.c_str());
  HANDLE h = CreateFileA(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 5;
  DWORD written = 0;
  WriteFile(h, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  CloseHandle(h);
  return ok ? 0 : 6;
}
