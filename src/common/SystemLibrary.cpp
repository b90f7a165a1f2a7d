#include "common/SystemLibrary.h"

#include <atomic>
#include <cstring>

namespace ombrelo {

namespace {
std::atomic<SystemLibraryLoader> g_loader{nullptr};
}  // namespace

HMODULE LoadSystemLibrary(const char* fileName) {
  if (SystemLibraryLoader loader = g_loader.load()) return loader(fileName);
  // The full path, so that no DLL of the same name elsewhere on the search
  // path is taken; in UTF-16 like every path the extension uses itself.
  wchar_t path[MAX_PATH];
  const UINT n = GetSystemDirectoryW(path, MAX_PATH);
  const size_t length = std::strlen(fileName);
  if (n == 0 || n + 1 + length >= MAX_PATH) return nullptr;
  path[n] = L'\\';
  for (size_t i = 0; i <= length; ++i) path[n + 1 + i] = static_cast<unsigned char>(fileName[i]);  // ASCII names
  HMODULE module = LoadLibraryW(path);
  HMODULE pinned = nullptr;
  if (module) GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, path, &pinned);
  return module;
}

void SetSystemLibraryLoader(SystemLibraryLoader loader) { g_loader = loader; }

}  // namespace ombrelo
