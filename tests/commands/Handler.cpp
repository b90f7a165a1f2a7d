#include "commands/Handler.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/DataObject.h"
#include "support/TestSupport.h"

namespace commandtest {

namespace {

// {67C63340-679B-11D2-92EE-000021474C15}
const CLSID kHandlerClass = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};

std::string SettingsFolder() {
  char appData[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
  return std::string(appData) + "\\Kestrani\\Ombrelo\\";
}

}  // namespace

void WriteOpenWithEntries(const std::vector<std::string>& programs, const std::vector<std::string>& params) {
  SHCreateDirectoryExA(nullptr, SettingsFolder().c_str(), nullptr);
  std::ostringstream ini;
  ini << "[OpenWith]\r\nCount=" << programs.size() << "\r\n";
  for (size_t i = 0; i < programs.size(); ++i) {
    ini << "Desc" << i << "=Program " << i << "\r\nCmd" << i << "=" << programs[i] << "\r\n";
    if (i < params.size() && params[i] != kDefaultTemplate) ini << "Params" << i << "=" << params[i] << "\r\n";
  }
  testsupport::WriteFileBytes(SettingsFolder() + "Ombrelo.ini", ini.str());
}

void RemoveSettingsFile() { DeleteFileA((SettingsFolder() + "Ombrelo.ini").c_str()); }

Handler::Handler(DWORD language) {
  testsupport::SetProgramDword(nullptr, "Language", language);
  dll_ = LoadLibraryA(testsupport::DllPath().c_str());
  Create(kHandlerClass, IID_IContextMenu, reinterpret_cast<void**>(&menu_));
  EXPECT_NE(nullptr, menu_) << "no handler object from the DLL";
}

HRESULT Handler::Create(REFCLSID clsid, REFIID riid, void** object) {
  *object = nullptr;
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(dll_, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  HRESULT hr = getClassObject ? getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) : E_FAIL;
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(nullptr, riid, object);
  factory->Release();
  return hr;
}

std::string Handler::Caption(UINT offset) const {
  char text[512] = {};
  GetMenuStringA(popup_, kFirst + offset, text, sizeof text, MF_BYCOMMAND);
  return text;
}

Handler::~Handler() {
  if (menu_) menu_->Release();
  if (popup_) DestroyMenu(popup_);
  if (dll_) FreeLibrary(dll_);
}

HRESULT Handler::Initialize(const std::vector<std::string>& files) {
  if (!menu_) return E_UNEXPECTED;
  IShellExtInit* init = nullptr;
  HRESULT hr = menu_->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
  if (FAILED(hr)) return hr;
  IDataObject* data = testsupport::MakeDropDataObject(files);
  hr = init->Initialize(nullptr, data, nullptr);
  data->Release();
  init->Release();
  return hr;
}

HRESULT Handler::Query() {
  if (!menu_) return E_UNEXPECTED;
  if (popup_) DestroyMenu(popup_);
  popup_ = CreatePopupMenu();
  return menu_->QueryContextMenu(popup_, 0, kFirst, kFirst + 0x7000, CMF_NORMAL);
}

void Handler::Open(const std::vector<std::string>& files) {
  ASSERT_EQ(S_OK, Initialize(files));
  HRESULT hr = Query();
  ASSERT_TRUE(SUCCEEDED(hr) && HRESULT_CODE(hr) > 0) << std::hex << hr;
}

HRESULT Handler::Help(UINT_PTR offset, std::string* text, UINT cchMax, UINT type) {
  if (!menu_) return E_UNEXPECTED;
  std::string buffer(cchMax + 16, '\x7F');
  HRESULT hr = menu_->GetCommandString(offset, type, nullptr, buffer.data(), cchMax);
  if (text) *text = buffer;
  return hr;
}

std::string Handler::HelpText(UINT_PTR offset) {
  std::string buffer;
  HRESULT hr = Help(offset, &buffer);
  if (hr != S_OK) {
    std::ostringstream out;
    out << "<hr=" << std::hex << hr << ">";
    return out.str();
  }
  if (buffer[0] == '\x7F') return "<none>";
  return buffer.c_str();
}

HRESULT Handler::Invoke(UINT offset, HWND owner) {
  if (!menu_) return E_UNEXPECTED;
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.hwnd = owner;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  return menu_->InvokeCommand(&info);
}

HRESULT Handler::InvokeVerb(const char* verb) {
  if (!menu_) return E_UNEXPECTED;
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof(info);
  info.lpVerb = verb;
  info.nShow = SW_SHOWNORMAL;
  return menu_->InvokeCommand(&info);
}

UINT Handler::TopLevelOffset() const {
  int count = GetMenuItemCount(popup_);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_SUBMENU | MIIM_ID;
    if (GetMenuItemInfoA(popup_, static_cast<UINT>(i), TRUE, &item) && item.hSubMenu) return item.wID - kFirst;
  }
  return 0;
}

}  // namespace commandtest
