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
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return {};
  char buffer[MAX_PATH + 1] = {};
  std::string result;
  if (SHGetPathFromIDListA(pidl, buffer)) result = buffer;
  CoTaskMemFree(pidl);
  return result;
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
