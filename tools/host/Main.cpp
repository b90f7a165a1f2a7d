// shellmenu-host: right-clicks files as Explorer does and shows what a
// context-menu handler makes of them.
//
// The host builds a popup menu with a few items of its own, as Explorer's
// file menu has them ("&Open", "&Edit", a separator; then "Cu&t", "&Copy",
// ... "P&roperties"), and lets the handler insert its items between them:
// indexMenu 3, command identifiers from 0x7000 to 0x7FFF (Explorer's view
// hands its handlers identifiers below 0x8000; the host's own items use 1 to
// 99), flags CMF_NORMAL | CMF_CANRENAME as for a file in a folder window.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DropData.h"
#include "Handler.h"
#include "MenuTree.h"
#include "Modern.h"
#include "Run.h"
#include "Observe.h"
#include "Options.h"
#include "Screenshot.h"
#include "Text.h"

namespace host {
namespace {

constexpr UINT kIndexMenu = 3;
constexpr CommandRange kRange{0x7000, 0x7FFF};

}  // namespace

int Fail(int code, const std::string& message) {
  PrintError("shellmenu-host: " + message + "\n");
  return code;
}

namespace {

// Explorer's own items around the handler's: identifiers 1 to 99.
ombrelo::UniqueMenu MakeHostMenu() {
  struct Item {
    const wchar_t* caption;  // null: separator
    UINT state;
  };
  static const Item items[] = {{L"&Open", MFS_DEFAULT}, {L"&Edit", 0},   {nullptr, 0},
                               {L"Cu&t", 0},            {L"&Copy", 0},   {nullptr, 0},
                               {L"Create &Shortcut", 0}, {L"&Delete", 0}, {L"Rena&me", 0},
                               {nullptr, 0},            {L"P&roperties", 0}};
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  UINT id = 1;
  for (const Item& item : items) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | (item.caption ? MIIM_STRING : 0);
    info.fType = item.caption ? MFT_STRING : MFT_SEPARATOR;
    info.fState = item.state;
    info.wID = id++;
    info.dwTypeData = const_cast<wchar_t*>(item.caption);
    InsertMenuItemW(menu.get(), GetMenuItemCount(menu.get()), TRUE, &info);
  }
  return menu;
}

// The file type's key, which Explorer passes to Initialize: the ProgID of the
// extension, else "*".
HKEY ProgIdKey(const std::wstring& path) {
  HKEY key = nullptr;
  const wchar_t* ext = PathFindExtensionW(path.c_str());
  wchar_t progId[256] = {};
  DWORD size = sizeof(progId) - sizeof(wchar_t);
  if (*ext && RegGetValueW(HKEY_CLASSES_ROOT, ext, nullptr, RRF_RT_REG_SZ, nullptr, progId, &size) == ERROR_SUCCESS &&
      progId[0] && RegOpenKeyExW(HKEY_CLASSES_ROOT, progId, 0, KEY_READ, &key) == ERROR_SUCCESS)
    return key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"*", 0, KEY_READ, &key) == ERROR_SUCCESS) return key;
  return nullptr;
}

std::vector<int> KeyboardSteps(const std::vector<MenuItem>& top, const std::vector<const MenuItem*>& chain) {
  // Down moves over every item but separators; the first Down in the top
  // menu selects its first item, Right opens a submenu with its first item selected.
  std::vector<int> downs;
  const std::vector<MenuItem>* level = &top;
  for (size_t i = 0; i < chain.size(); ++i) {
    int steps = 0;
    for (const MenuItem& item : *level) {
      if (&item == chain[i]) break;
      if (!item.IsSeparator()) ++steps;
    }
    downs.push_back(i == 0 ? steps + 1 : steps);
    level = &chain[i]->children;
  }
  return downs;
}

std::string FormatInvokeTarget(const MenuItem& item) {
  return "offset " + std::to_string(*item.offset) + " " + item.Label();
}

}  // namespace

std::vector<std::wstring> FullPaths(const Options& options, std::string& error) {
  std::vector<std::wstring> files;
  for (const std::wstring& f : options.files) {
    wchar_t full[MAX_PATH * 4] = {};
    DWORD n = GetFullPathNameW(f.c_str(), ARRAYSIZE(full), full, nullptr);
    if (n == 0 || n >= ARRAYSIZE(full)) {
      error = "bad file name: " + Utf8(f);
      return {};
    }
    if (GetFileAttributesW(full) == INVALID_FILE_ATTRIBUTES) {
      error = "file not found: " + Utf8(full);
      return {};
    }
    files.push_back(full);
  }
  return files;
}

HRESULT RunObserved(const Options& options, const std::string& what, const std::function<HRESULT()>& command) {
  Snapshot before = TakeSnapshot(options.watchKeys);
  HRESULT hr;
  std::vector<std::string> dialogs;
  {
    DialogWatcher watcher(options.dialogTimeoutMs);
    hr = command();
    // Let the command's effects show: started programs, windows, the clipboard.
    for (DWORD end = GetTickCount() + options.waitMs; static_cast<LONG>(end - GetTickCount()) > 0;) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      Sleep(10);
    }
    dialogs = watcher.Stop();
  }
  Snapshot after = TakeSnapshot(options.watchKeys);
  Print(what + ": " + HresultText(hr) + "\n");
  for (const std::string& line : dialogs) Print("  " + line + "\n");
  for (const std::string& line : Differences(before, after)) Print("  " + line + "\n");
  return hr;
}

void WaitForWindow(const Options& options) {
  if (options.waitForWindow.empty()) return;
  bool found = false;
  for (int waited = 0; waited <= 20000; waited += 100) {
    if ((found = FindWindowW(options.waitForWindow.c_str(), nullptr) != nullptr)) break;
    Sleep(100);
  }
  Print("Window of class " + Utf8(options.waitForWindow) + (found ? " is there\n" : " did not appear in 20 s\n"));
}

namespace {

int Run(const Options& options) {
  std::string error;
  std::vector<std::wstring> files = FullPaths(options, error);
  if (files.empty()) return Fail(kBadInput, error);
  WaitForWindow(options);
  if (options.modern) return RunModern(options, files);

  Handler handler;
  if (!CreateHandler(options, handler, error)) return Fail(kHandlerFailed, error);
  Print("Handler " + options.clsidText + " from " + handler.origin + "\n");
  Print("Selection (" + std::to_string(files.size()) + (files.size() == 1 ? " file" : " files") +
        (options.ctrl ? ", Ctrl held" : "") + "):\n");
  for (const std::wstring& f : files) Print("  " + Utf8(f) + "\n");

  ombrelo::UniqueMenu menu = MakeHostMenu();
  HostWindow window(handler);
  HRESULT initHr, queryHr = E_FAIL;
  {
    HeldCtrl ctrl(options.ctrl);
    std::wstring folder = files[0].substr(0, files[0].find_last_of(L'\\') + 1);
    PIDLIST_ABSOLUTE folderPidl = ILCreateFromPathW(folder.c_str());
    HKEY progId = ProgIdKey(files[0]);
    IDataObject* data = MakeDropData(files);
    initHr = handler.init->Initialize(folderPidl, data, progId);
    data->Release();
    if (progId) RegCloseKey(progId);
    if (folderPidl) ILFree(folderPidl);
    Print("Initialize: " + HresultText(initHr) + "\n");
    if (SUCCEEDED(initHr)) {
      queryHr = handler.menu->QueryContextMenu(menu.get(), kIndexMenu, kRange.first, kRange.last, options.flags);
    }
  }
  if (FAILED(initHr)) {
    Print("The handler takes no part in this menu (Initialize failed); the menu holds the host's items only.\n");
  } else if (FAILED(queryHr)) {
    return Fail(kHandlerFailed, "QueryContextMenu failed: " + HresultText(queryHr));
  } else {
    Print("QueryContextMenu(indexMenu " + std::to_string(kIndexMenu) + ", idCmdFirst " + Hex(kRange.first) +
          ", idCmdLast " + Hex(kRange.last) + ", flags " + Hex(options.flags) + "): " +
          std::to_string(HRESULT_CODE(queryHr)) + " identifiers\n");
  }
  std::vector<MenuItem> tree = ReadMenu(menu.get(), kRange, handler);
  if (options.printTree)
    Print("Menu (offset: identifier - idCmdFirst; host: the host's own items):\n" + FormatTree(tree));

  int status = kDone;
  if (!options.screenshot.empty()) {
    std::vector<const MenuItem*> chain;
    if (options.open) {
      chain = FindByPath(tree, *options.open, error);
      if (chain.empty()) return Fail(kBadInput, "--open: " + error);
      if (!chain.back()->IsPopup()) return Fail(kBadInput, "--open: " + chain.back()->Label() + " is no submenu");
    } else if (const MenuItem* popup = FirstHandlerPopup(tree)) {
      chain.push_back(popup);
    }
    if (!CaptureMenu(window, menu.get(), KeyboardSteps(tree, chain), options.screenshot, error))
      return Fail(kHandlerFailed, "screenshot: " + error);
    const HostWindow::Counts& c = window.Forwarded();
    std::string opened;
    for (const MenuItem* item : chain) opened += (opened.empty() ? "" : " / ") + item->Label();
    Print("Screenshot " + Utf8(options.screenshot) + " written (" +
          (opened.empty() ? std::string("top menu only") : "opened " + opened) + "); forwarded to the handler: " +
          std::to_string(c.initMenuPopup) + " WM_INITMENUPOPUP, " + std::to_string(c.measureItem) +
          " WM_MEASUREITEM, " + std::to_string(c.drawItem) + " WM_DRAWITEM, " + std::to_string(c.menuChar) +
          " WM_MENUCHAR\n");
  }

  if (options.invokePath || options.invokeOffset) {
    const MenuItem* target = nullptr;
    if (options.invokePath) {
      std::vector<const MenuItem*> chain = FindByPath(tree, *options.invokePath, error);
      if (chain.empty()) return Fail(kBadInput, "--invoke: " + error);
      target = chain.back();
      if (!target->IsCommand())
        return Fail(kBadInput, "--invoke: " + target->Label() + (target->IsPopup() ? " is a submenu" : " is no command") +
                                   ", not a command");
    } else {
      target = FindByOffset(tree, *options.invokeOffset, error);
      if (!target) return Fail(kBadInput, "--invoke-offset: " + error);
    }
    UINT offset = *target->offset;
    std::wstring folder = files[0].substr(0, files[0].find_last_of(L'\\') + 1);
    CMINVOKECOMMANDINFOEX info{};
    info.cbSize = sizeof info;
    info.fMask = CMIC_MASK_UNICODE | CMIC_MASK_PTINVOKE | CMIC_MASK_ASYNCOK;
    info.hwnd = window.get();
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.lpVerbW = MAKEINTRESOURCEW(offset);
    info.nShow = SW_SHOWNORMAL;
    std::string folderAnsi(folder.size() * 2 + 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, folderAnsi.data(), static_cast<int>(folderAnsi.size()), nullptr,
                        nullptr);
    info.lpDirectory = folderAnsi.c_str();
    info.lpDirectoryW = folder.c_str();
    info.ptInvoke = POINT{40, 40};
    HRESULT hr = RunObserved(options, "InvokeCommand(" + FormatInvokeTarget(*target) + ")", [&] {
      return handler.menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
    });
    if (FAILED(hr)) status = kInvokeFailed;
  }
  handler.Release();
  return status;
}

}  // namespace
}  // namespace host

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::string error;
  std::optional<host::Options> options = host::ParseOptions(args, error);
  if (!options) {
    host::PrintError("shellmenu-host: " + error + "\n\n" + host::UsageText());
    return host::kBadInput;
  }
  if (options->help) {
    host::Print(host::UsageText());
    return host::kDone;
  }
  if (FAILED(OleInitialize(nullptr))) return host::Fail(host::kHandlerFailed, "COM could not be started");
  int status = host::Run(*options);
  OleUninitialize();
  return status;
}

#if defined(OMBRELO_MAIN_CALLS_WMAIN)
// For start-up code that calls only main (zig's MinGW runtime has no -municode).
int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return host::kBadInput;
  const int status = wmain(argc, argv);
  LocalFree(argv);
  return status;
}
#endif
