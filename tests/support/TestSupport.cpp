#include "support/TestSupport.h"

#include <psapi.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace testsupport {

namespace {
const char kProgramKey[] = "Software\\Kestrani\\Ombrelo";

std::string SubkeyPath(const char* subkey) {
  std::string path = kProgramKey;
  if (subkey && *subkey) path += std::string("\\") + subkey;
  return path;
}
}  // namespace

std::string ExeDir() {
  char buffer[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  std::string path = buffer;
  return path.substr(0, path.find_last_of('\\') + 1);
}

std::string DllPath() { return ExeDir() + "OmbreloShell.dll"; }

void ResetProgramKey() { SHDeleteKeyA(HKEY_CURRENT_USER, kProgramKey); }

void SetProgramValue(const char* subkey, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath(subkey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void SetProgramString(const char* subkey, const char* name, const std::string& value) {
  SetProgramValue(subkey, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void SetProgramDword(const char* subkey, const char* name, DWORD value) {
  SetProgramValue(subkey, name, REG_DWORD, &value, sizeof(value));
}

std::string ReadHkcuString(const char* keyPath, const char* name, bool* found) {
  if (found) *found = false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  char buffer[4096] = {};
  DWORD size = sizeof(buffer) - 1, type = 0;
  LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {};
  if (found) *found = true;
  return buffer;
}

bool HkcuValueExists(const char* keyPath, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    PumpMessages(std::chrono::milliseconds(10));
  }
}

void PumpMessages(std::chrono::milliseconds duration) {
  auto end = std::chrono::steady_clock::now() + duration;
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (std::chrono::steady_clock::now() < end);
}

TempDir::TempDir() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  static LONG counter = 0;
  for (;;) {
    std::ostringstream name;
    name << base << "ombtest_" << GetCurrentProcessId() << "_" << InterlockedIncrement(&counter) << "\\";
    if (CreateDirectoryA(name.str().c_str(), nullptr)) {
      path_ = name.str();
      break;
    }
  }
}

namespace {
// Deletes a folder tree through the wide API with the long-path prefix, so
// that paths beyond MAX_PATH, names outside the code page and names Win32
// would normalise ("x.") go too. The shell's own delete mishandles such trees
// under Wine and can then delete in the current directory instead.
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}
}  // namespace

TempDir::~TempDir() {
  const std::string dir = path_.substr(0, path_.size() - 1);
  std::wstring wide(dir.size(), L'\0');
  wide.resize(static_cast<size_t>(
      MultiByteToWideChar(CP_ACP, 0, dir.data(), static_cast<int>(dir.size()), wide.data(), static_cast<int>(wide.size()))));
  if (wide.size() > 3) RemoveTree(L"\\\\?\\" + wide);
}

std::string TempDir::File(const std::string& name, const std::string& contents) const {
  std::string path = path_ + name;
  WriteFileBytes(path, contents);
  return path;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void RenewFile(const std::string& path) {
  static std::mutex lock;
  static ULONGLONG last = 0;
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULONGLONG stamp = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  {
    std::lock_guard<std::mutex> guard(lock);
    stamp = last = std::max(stamp, last + 10);  // 1 microsecond on
  }
  FILETIME written{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
}

// CountGdiObjects lives in GdiCount.cpp with the other GUI resource counts.

DWORD CountKernelHandles() {
  // Wine's process handle count answers 0, so the handle values are probed:
  // open handles are small multiples of four, and the walk goes well past the last one.
  DWORD count = 0, flags = 0, misses = 0;
  for (ULONG_PTR value = 4; misses < 4096; value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++count;
      misses = 0;
    } else {
      ++misses;
    }
  }
  return count;
}

size_t PrivateBytes() {
  // Wine fills the page-file usage (committed private memory), not PrivateUsage.
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

std::vector<DWORD> ProcessesNamed(const char* exeName) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    if (lstrcmpiA(entry.szExeFile, exeName) == 0) ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

}  // namespace testsupport
