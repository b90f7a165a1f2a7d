#include "settings/SettingsFile.h"

#include <shlobj.h>

#include <mutex>

#include "common/FileNames.h"
#include "common/Lock.h"

namespace ombrelo {

namespace {
SrwLock g_pathLock;
std::wstring g_settingsFilePath;  // SettingsFilePath
}  // namespace

std::wstring SpecialFolderPath(int csidl) {
  // The folder's path in one call: the same path as the folder's item list
  // turned back into a path, without building the item list through the
  // shell's namespace, which costs most of the module's start-up. A folder
  // that does not exist (S_FALSE) has no path, as it has no item list.
  wchar_t buffer[MAX_PATH + 1] = {};
  if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return {};
  return buffer;
}

std::string GetSpecialFolderPath(int csidl) { return AnsiPathOf(SpecialFolderPath(csidl)); }

std::wstring SettingsFolder() {
  std::wstring folder = SpecialFolderPath(CSIDL_APPDATA);
  if (folder.empty()) {
    // The host process's executable folder, with its trailing backslash.
    const std::wstring exe = ModulePath(nullptr);
    const size_t slash = exe.find_last_of(L"\\:");
    folder = slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash + 1);
  }
  // A folder that already ends in a separator gets a doubled one, as stored paths expect.
  if (!folder.empty()) folder += L"\\Kestrani\\Ombrelo\\";
  return folder;
}

void InitSettingsFilePath() {
  // Without a folder there is no file: a bare name would be looked for in the system's folder.
  const std::wstring folder = SettingsFolder();
  std::wstring path = folder.empty() ? std::wstring() : folder + L"Ombrelo.ini";
  std::lock_guard<SrwLock> guard(g_pathLock);
  g_settingsFilePath = std::move(path);
}

void ClearSettingsFilePath() {
  std::lock_guard<SrwLock> guard(g_pathLock);
  g_settingsFilePath.clear();
}

std::wstring SettingsFilePath() {
  std::lock_guard<SrwLock> guard(g_pathLock);
  return g_settingsFilePath;
}

std::string GetSettingsFilePath() { return AnsiPathOf(SettingsFilePath()); }

}  // namespace ombrelo
