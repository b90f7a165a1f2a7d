#include "MenuTestSupport.h"

#include <gtest/gtest.h>

#include "support/DataObject.h"
#include "support/TestSupport.h"

namespace menutest {

namespace {
const CLSID kClsid = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};
const char kMainProgramClass[] = "TF_97F624E067B811D292EE000021474C15";
}  // namespace

IClassFactory* Factory() {
  static IClassFactory* factory = [] {
    testsupport::SetProgramDword(nullptr, "Language", 1);
    HMODULE dll = LoadLibraryA(testsupport::DllPath().c_str());
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* f = nullptr;
    if (get) get(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&f));
    return f;
  }();
  return factory;
}

Handler::Handler(const std::vector<std::string>& paths) {
  IShellExtInit* init = nullptr;
  if (!Factory() || FAILED(Factory()->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)))) {
    ADD_FAILURE() << "no handler object";
    return;
  }
  IDataObject* data = testsupport::MakeDropDataObject(paths);
  init_ = init->Initialize(nullptr, data, nullptr);
  data->Release();
  init->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu_));
  init->Release();
}

Handler::~Handler() {
  if (menu_) menu_->Release();
}

int Handler::Query(HMENU menu, UINT index, UINT first, UINT last, UINT flags) {
  if (!menu_) return -1;
  HRESULT hr = menu_->QueryContextMenu(menu, index, first, last, flags);
  return FAILED(hr) ? -1 : HRESULT_CODE(hr);
}

std::vector<Item> Items(HMENU menu) {
  std::vector<Item> items;
  int n = GetMenuItemCount(menu);
  for (int i = 0; i < n; ++i) {
    char text[1100] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STRING | MIIM_BITMAP;
    info.dwTypeData = text;
    info.cch = sizeof(text);
    if (!GetMenuItemInfoA(menu, i, TRUE, &info)) {
      ADD_FAILURE() << "item " << i;
      continue;
    }
    Item item;
    item.type = info.fType;
    item.state = info.fState;
    item.id = info.wID;
    item.sub = info.hSubMenu;
    item.data = info.dwItemData;
    item.bitmap = info.hbmpItem;
    if (!(info.fType & (MFT_SEPARATOR | MFT_OWNERDRAW | MFT_BITMAP))) item.text = text;
    items.push_back(item);
  }
  return items;
}

std::vector<Item> AllItems(HMENU menu) {
  std::vector<Item> all;
  for (const Item& item : Items(menu)) {
    all.push_back(item);
    if (item.sub) {
      std::vector<Item> below = AllItems(item.sub);
      all.insert(all.end(), below.begin(), below.end());
    }
  }
  return all;
}

HMENU ShellMenu(int existing) {
  HMENU menu = CreatePopupMenu();
  for (int i = 1; i <= existing; ++i) AppendMenuA(menu, MF_STRING, i, ("Shell item " + std::to_string(i)).c_str());
  return menu;
}

UserSettings::UserSettings() {
  char appData[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
  std::string folder = std::string(appData) + "\\Kestrani\\Ombrelo";
  SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  path_ = folder + "\\Ombrelo.ini";
  existed_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (existed_) saved_ = testsupport::ReadFileBytes(path_);
  Remove();
}

UserSettings::~UserSettings() {
  if (existed_) testsupport::WriteFileBytes(path_, saved_);
  else Remove();
}

void UserSettings::Write(const std::string& text) { testsupport::WriteFileBytes(path_, text); }
void UserSettings::Remove() { DeleteFileA(path_.c_str()); }

std::string UserSettings::OpenWith(int count, const std::function<std::string(int)>& command) {
  std::string text = "[OpenWith]\r\nCount=" + std::to_string(count) + "\r\n";
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    text += "Desc" + n + "=Program " + n + "\r\nCmd" + n + "=" + command(i) + "\r\n";
  }
  return text;
}

MainProgramWindow::MainProgramWindow(std::function<void(const Message&)> onRequest, bool renewsPreview)
    : onRequest_(std::move(onRequest)), renewsPreview_(renewsPreview) {
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  thread_ = std::thread([this, ready] {
    threadId_ = GetCurrentThreadId();
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kMainProgramClass;
    RegisterClassA(&wc);
    window_ = CreateWindowA(kMainProgramClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetEvent(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window_);
    UnregisterClassA(kMainProgramClass, wc.hInstance);
  });
  WaitForSingleObject(ready, 10000);
  CloseHandle(ready);
}

MainProgramWindow::~MainProgramWindow() {
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  thread_.join();
}

std::vector<MainProgramWindow::Message> MainProgramWindow::Messages() {
  std::lock_guard<std::mutex> guard(lock_);
  return messages_;
}

LRESULT CALLBACK MainProgramWindow::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MainProgramWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (msg == WM_COPYDATA && self) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    Message m{static_cast<LONG_PTR>(data->dwData),
              std::string(static_cast<const char*>(data->lpData), data->cbData ? data->cbData - 1 : 0)};
    {
      std::lock_guard<std::mutex> guard(self->lock_);
      self->messages_.push_back(m);
    }
    if (self->onRequest_) self->onRequest_(m);
    if (self->renewsPreview_ && m.code > 0) testsupport::RenewFile(PreviewBitmapPath());  // verbs are negative
    return TRUE;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

std::string PreviewBitmapPath() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(temp), temp);
  return std::string(temp) + "\\ombrelo.bmp";
}

std::string SampleFile(const std::string& name, const std::string& contents) {
  static testsupport::TempDir dir;
  return dir.File(name, contents);
}

}  // namespace menutest
