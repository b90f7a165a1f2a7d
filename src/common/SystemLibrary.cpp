#include "common/SystemLibrary.h"

#include <atomic>
#include <cstring>
#include <cwchar>

namespace ombrelo {

namespace {
std::atomic<SystemLibraryLoader> g_loader{nullptr};
}  // namespace

HMODULE LoadSystemLibrary(const char* fileName) {
  if (SystemLibraryLoader loader = g_loader.load()) return loader(fileName);
  wchar_t name[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, fileName, -1, name, MAX_PATH)) return nullptr;
  // The system folder only, for the DLL and for every DLL it needs in turn:
  // neither the host's folder nor the current folder is searched.
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system without that flag (Windows 7 before KB2533623): the full path,
    // whose folder is then searched first for the DLLs it needs.
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, MAX_PATH);
    const size_t length = wcslen(name);
    if (n == 0 || n + 1 + length >= MAX_PATH) return nullptr;
    path[n] = L'\\';
    std::memcpy(path + n + 1, name, (length + 1) * sizeof(wchar_t));
    module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  HMODULE pinned = nullptr;
  if (module)
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(module), &pinned);
  return module;
}

void SetSystemLibraryLoader(SystemLibraryLoader loader) { g_loader = loader; }

}  // namespace ombrelo
