#include "common/SystemLibrary.h"

#include <atomic>
#include <cstring>

namespace ombrelo {

namespace {
std::atomic<SystemLibraryLoader> g_loader{nullptr};
}  // namespace

HMODULE LoadSystemLibrary(const char* fileName) {
  if (SystemLibraryLoader loader = g_loader.load()) return loader(fileName);
  // The full path, so that no DLL of the same name elsewhere on the search path is taken.
  char path[MAX_PATH];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  const size_t length = std::strlen(fileName);
  if (n == 0 || n + 1 + length >= MAX_PATH) return nullptr;
  path[n] = '\\';
  std::memcpy(path + n + 1, fileName, length + 1);
  HMODULE module = LoadLibraryA(path);
  HMODULE pinned = nullptr;
  if (module) GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN, path, &pinned);
  return module;
}

void SetSystemLibraryLoader(SystemLibraryLoader loader) { g_loader = loader; }

}  // namespace ombrelo
