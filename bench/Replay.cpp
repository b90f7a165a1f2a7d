#include "Replay.h"

#include <shellapi.h>

#include <algorithm>

namespace bench {

namespace {
const char kProgramKey[] = "Software\\Kestrani\\Ombrelo";
const char kMainProgramClass[] = "TF_97F624E067B811D292EE000021474C15";

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int length = static_cast<int>(text.size());
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), length)));
  return wide;
}

void InsertString(HMENU menu, UINT position, UINT id, const char* text, HMENU submenu = nullptr) {
  MENUITEMINFOA item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_STATE | MIIM_ID | MIIM_TYPE | (submenu ? MIIM_SUBMENU : 0);
  item.fType = MFT_STRING;
  item.wID = id;
  item.hSubMenu = submenu;
  item.dwTypeData = const_cast<char*>(text);
  item.cch = static_cast<UINT>(strlen(text));
  InsertMenuItemA(menu, position, TRUE, &item);
}
}  // namespace

ReplayPlan PlanFrom(const std::vector<CallCount>& counts) {
  ReplayPlan plan;
  plan.dragQueries = CallsOf(counts, "DragQueryFileA");
  plan.tempPaths = CallsOf(counts, "GetTempPathA");
  plan.foregrounds = CallsOf(counts, "GetForegroundWindow");
  plan.classNames = CallsOf(counts, "GetClassNameA");
  plan.findWindows = CallsOf(counts, "FindWindowA");
  plan.registryOpens = CallsOf(counts, "RegOpenKeyExA");
  plan.registryQueries = CallsOf(counts, "RegQueryValueExA");
  plan.profileSections = CallsOf(counts, "GetPrivateProfileSectionA");
  plan.profileStrings = CallsOf(counts, "GetPrivateProfileStringA");
  plan.wideProfileSections = CallsOf(counts, "GetPrivateProfileSectionW");
  plan.wideProfileStrings = CallsOf(counts, "GetPrivateProfileStringW");
  plan.wideTempPaths = CallsOf(counts, "GetTempPathW");
  plan.wideFileChecks = CallsOf(counts, "GetFileAttributesW");
  plan.programChecks = CallsOf(counts, "GetFileAttributesExW");
  plan.fileOpens = CallsOf(counts, "CreateFileW");
  plan.menusCreated = CallsOf(counts, "CreatePopupMenu");
  plan.menuInserts = CallsOf(counts, "InsertMenuItemA") + CallsOf(counts, "InsertMenuA");
  plan.menuAppends = CallsOf(counts, "AppendMenuA");
  plan.menuModifies = CallsOf(counts, "ModifyMenuA");
  plan.menuItemInfos = CallsOf(counts, "SetMenuItemInfoA");
  plan.iconLookups = CallsOf(counts, "SHGetFileInfoA") + CallsOf(counts, "SHGetFileInfoW");
  plan.fileChecks = CallsOf(counts, "GetFileAttributesA");
  plan.fullPaths = CallsOf(counts, "GetFullPathNameW");
  plan.driveTypes = CallsOf(counts, "GetDriveTypeW");
  return plan;
}

void Replay(const ReplayPlan& plan, const ReplayInput& input) {
  char text[MAX_PATH * 2] = {};
  // The selection.
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium{};
  if (input.selection && SUCCEEDED(input.selection->GetData(&format, &medium))) {
    for (long i = 0; i < plan.dragQueries; ++i)
      DragQueryFileA(static_cast<HDROP>(medium.hGlobal), i == 0 ? 0xFFFFFFFF : 0, text, MAX_PATH);
    ReleaseStgMedium(&medium);
  }
  for (long i = 0; i < plan.tempPaths; ++i) GetTempPathA(MAX_PATH, text);
  wchar_t wideText[MAX_PATH * 2] = {};
  for (long i = 0; i < plan.wideTempPaths; ++i) GetTempPathW(MAX_PATH, wideText);
  for (long i = 0; i < plan.foregrounds; ++i) GetForegroundWindow();
  for (long i = 0; i < plan.classNames; ++i) GetClassNameA(GetDesktopWindow(), text, 256);
  for (long i = 0; i < plan.findWindows; ++i) FindWindowA(kMainProgramClass, nullptr);

  // The registry: each open with one value read, further reads on an open key.
  for (long i = 0; i < plan.registryOpens; ++i) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    const long reads = i + 1 < plan.registryOpens ? 1 : std::max(1L, plan.registryQueries - plan.registryOpens + 1);
    for (long r = 0; r < reads; ++r) {
      DWORD size = sizeof(text), type = 0;
      RegQueryValueExA(key, "DisplaySym", nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    }
    RegCloseKey(key);
  }

  // The settings file: the section, and the listing of its keys.
  static char section[16 * 1024];
  for (long i = 0; i < plan.profileSections; ++i)
    GetPrivateProfileSectionA("OpenWith", section, sizeof(section), input.settingsFile.c_str());
  static char names[8192];
  for (long i = 0; i < plan.profileStrings; ++i)
    GetPrivateProfileStringA("OpenWith", nullptr, "", names, sizeof(names), input.settingsFile.c_str());
  const std::wstring wideSettingsFile = Wide(input.settingsFile);
  static wchar_t wideSection[16 * 1024];
  for (long i = 0; i < plan.wideProfileSections; ++i)
    GetPrivateProfileSectionW(L"OpenWith", wideSection, 16 * 1024, wideSettingsFile.c_str());
  static wchar_t wideNames[8192];
  for (long i = 0; i < plan.wideProfileStrings; ++i)
    GetPrivateProfileStringW(L"OpenWith", nullptr, L"", wideNames, 8192, wideSettingsFile.c_str());

  // Whether the settings file and the programs may be touched: their full
  // paths and their drives' types.
  wchar_t full[MAX_PATH * 2] = {};
  for (long i = 0; i < plan.fullPaths; ++i) GetFullPathNameW(wideSettingsFile.c_str(), MAX_PATH * 2, full, nullptr);
  for (long i = 0; i < plan.driveTypes; ++i) GetDriveTypeW(L"C:\\");

  // The program icons.
  std::vector<std::wstring> programs;
  for (const std::string& program : input.programs) programs.push_back(Wide(program));
  for (long i = 0; i < plan.iconLookups && !programs.empty(); ++i) {
    SHFILEINFOW info{};
    if (SHGetFileInfoW(programs[i % programs.size()].c_str(), 0, &info, sizeof(info),
                       SHGFI_ICON | SHGFI_SHELLICONSIZE | SHGFI_SMALLICON))
      DestroyIcon(info.hIcon);
  }
  for (long i = 0; i < plan.fileChecks; ++i) GetFileAttributesA(input.previewPath.c_str());
  const std::wstring widePreview = Wide(input.previewPath);
  for (long i = 0; i < plan.wideFileChecks; ++i) GetFileAttributesW(widePreview.c_str());
  // The icon cache's key: each program's size and write time.
  for (long i = 0; i < plan.programChecks && !programs.empty(); ++i) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(programs[i % programs.size()].c_str(), GetFileExInfoStandard, &data);
  }
  // The preview file, opened and closed (its reading is counted with ReadFile).
  for (long i = 0; i < plan.fileOpens; ++i) {
    HANDLE file = CreateFileW(widePreview.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }

  // The menus: the shell's, the submenus, their items, the popups attached
  // by modification, and the top-level item inserted into the shell's menu.
  HMENU shell = CreatePopupMenu();
  std::vector<HMENU> menus;
  for (long i = 0; i < plan.menusCreated; ++i) menus.push_back(CreatePopupMenu());
  if (menus.empty()) menus.push_back(shell);
  long inserts = plan.menuInserts - (menus[0] != shell ? 1 : 0);
  for (long i = 0; i < inserts; ++i) {
    HMENU menu = menus[static_cast<size_t>(i) % menus.size()];
    InsertString(menu, static_cast<UINT>(GetMenuItemCount(menu)), 100 + static_cast<UINT>(i), "Item");
  }
  for (long i = 0; i < plan.menuAppends; ++i) AppendMenuA(menus.back(), MF_STRING, 200 + i, "Entry");
  // Popups replace items at the front of the first menu; further changes rename items.
  std::vector<bool> attached(menus.size(), false);
  attached[0] = true;
  for (long i = 0; i < plan.menuModifies; ++i) {
    const size_t sub = static_cast<size_t>(i) + 1;
    if (sub < menus.size() && GetMenuItemCount(menus[0]) > static_cast<int>(i)) {
      if (ModifyMenuA(menus[0], static_cast<UINT>(i), MF_BYPOSITION | MF_POPUP,
                      reinterpret_cast<UINT_PTR>(menus[sub]), "Popup"))
        attached[sub] = true;
    } else {
      ModifyMenuA(menus[0], 0, MF_BYPOSITION | MF_STRING, 300, "Changed");
    }
  }
  if (menus[0] != shell) InsertString(shell, 0, 400, "Top", menus[0]);
  // Changes of an item already in the menu (the bitmap beside "&Ombrelo").
  for (long i = 0; i < plan.menuItemInfos; ++i) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_BITMAP;
    SetMenuItemInfoA(shell, 0, TRUE, &item);
  }
  for (size_t i = 1; i < menus.size(); ++i)
    if (!attached[i]) DestroyMenu(menus[i]);
  DestroyMenu(shell);
}

void ReplayPreviewRequests(HWND mainProgram, HMENU shellMenu, HMENU submenu, const std::string& picture) {
  const std::pair<std::string, HMENU> requests[] = {{"_" + picture, shellMenu}, {"+" + picture, submenu}};
  for (const auto& [text, menu] : requests) {
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(static_cast<ULONG>(HandleToLong(menu)));
    data.cbData = static_cast<DWORD>(text.size() + 1);
    data.lpData = const_cast<char*>(text.c_str());
    DWORD_PTR result = 0;
    SendMessageTimeoutA(mainProgram, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                        10000, &result);
  }
}

}  // namespace bench
