#include "settings/SettingsFile.h"

#include <shlobj.h>

#include <mutex>

#include "common/Lock.h"

namespace ombrelo {

namespace {
SrwLock g_pathLock;
std::string g_settingsFilePath;  // SettingsFilePath
}  // namespace

std::string GetSpecialFolderPath(int csidl) {
  // The folder's path in one call: the same path as the folder's item list
  // turned back into a path, without building the item list through the
  // shell's namespace, which costs most of the module's start-up. A folder
  // that does not exist (S_FALSE) has no path, as it has no item list.
  char buffer[MAX_PATH + 1] = {};
  if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK) return {};
  return buffer;
}

std::string GetSettingsFolder() {
  std::string folder = GetSpecialFolderPath(CSIDL_APPDATA);
  if (folder.empty()) {
    // The host process's executable folder, with its trailing backslash.
    std::string exe(MAX_PATH, '\0');
    DWORD n = 0;
    for (;;) {
      n = GetModuleFileNameA(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
      if (n < exe.size() || exe.size() > 32768) break;
      exe.resize(exe.size() * 2);
    }
    exe.resize(n);
    auto slash = exe.find_last_of("\\:");
    folder = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
  }
  // A folder that already ends in a separator gets a doubled one, as stored paths expect.
  if (!folder.empty()) folder += "\\Kestrani\\Ombrelo\\";
  return folder;
}

void InitSettingsFilePath() {
  std::string path = GetSettingsFolder() + "Ombrelo.ini";
  std::lock_guard<SrwLock> guard(g_pathLock);
  g_settingsFilePath = std::move(path);
}

void ClearSettingsFilePath() {
  std::lock_guard<SrwLock> guard(g_pathLock);
  g_settingsFilePath.clear();
}

std::string GetSettingsFilePath() {
  std::lock_guard<SrwLock> guard(g_pathLock);
  return g_settingsFilePath;
}

}  // namespace ombrelo
