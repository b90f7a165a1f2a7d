#include "support/FileLinks.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "support/ImportSlots.h"

namespace testsupport {

namespace {

std::mutex g_lock;
std::wstring g_link, g_target;
bool g_followed = false;
std::vector<HANDLE> g_linkHandles;  // handles the module holds on the link itself

decltype(&CreateFileW) g_createW = CreateFileW;
decltype(&CreateFileA) g_createA = CreateFileA;
decltype(&GetFileInformationByHandle) g_info = GetFileInformationByHandle;
decltype(&CloseHandle) g_close = CloseHandle;

std::wstring FullPath(const wchar_t* path) {
  wchar_t full[MAX_PATH * 4] = {};
  DWORD n = GetFullPathNameW(path, static_cast<DWORD>(std::size(full)), full, nullptr);
  return n > 0 && n < std::size(full) ? std::wstring(full, n) : std::wstring(path);
}

std::wstring Wide(const char* text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

bool IsLink(const wchar_t* name) {
  std::lock_guard<std::mutex> guard(g_lock);
  return name && !g_link.empty() && lstrcmpiW(FullPath(name).c_str(), g_link.c_str()) == 0;
}

HANDLE WINAPI CreateW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                      DWORD flags, HANDLE templ) {
  if (!IsLink(name)) return g_createW(name, access, share, sa, disposition, flags, templ);
  if (flags & FILE_FLAG_OPEN_REPARSE_POINT) {
    HANDLE h = g_createW(name, access, share, sa, disposition, flags, templ);
    std::lock_guard<std::mutex> guard(g_lock);
    if (h != INVALID_HANDLE_VALUE) g_linkHandles.push_back(h);
    return h;
  }
  std::wstring target;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_followed = true;
    target = g_target;
  }
  return g_createW(target.c_str(), access, share, sa, disposition, flags, templ);
}

HANDLE WINAPI CreateA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                      DWORD flags, HANDLE templ) {
  if (!name || !IsLink(Wide(name).c_str())) return g_createA(name, access, share, sa, disposition, flags, templ);
  return CreateW(Wide(name).c_str(), access, share, sa, disposition, flags, templ);
}

BOOL WINAPI Info(HANDLE file, LPBY_HANDLE_FILE_INFORMATION info) {
  const BOOL ok = g_info(file, info);
  std::lock_guard<std::mutex> guard(g_lock);
  if (ok && std::find(g_linkHandles.begin(), g_linkHandles.end(), file) != g_linkHandles.end())
    info->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return ok;
}

BOOL WINAPI Close(HANDLE handle) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_linkHandles.erase(std::remove(g_linkHandles.begin(), g_linkHandles.end(), handle), g_linkHandles.end());
  }
  return g_close(handle);
}

template <class F>
void Hook(HMODULE module, const char* name, F& original, F replacement, bool install) {
  void** slot = FindImportSlot(module, name);
  if (!slot) return;
  if (install) original = reinterpret_cast<F>(*slot);
  WriteImportSlot(slot, reinterpret_cast<void*>(install ? replacement : original));
}

void HookAll(HMODULE module, bool install) {
  Hook(module, "CreateFileW", g_createW, &CreateW, install);
  Hook(module, "CreateFileA", g_createA, &CreateA, install);
  Hook(module, "GetFileInformationByHandle", g_info, &Info, install);
  Hook(module, "CloseHandle", g_close, &Close, install);
}

}  // namespace

EmulatedLink::EmulatedLink(HMODULE module, const std::string& linkPath, const std::string& targetPath)
    : module_(module) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    g_link = FullPath(Wide(linkPath.c_str()).c_str());
    g_target = Wide(targetPath.c_str());
    g_followed = false;
    g_linkHandles.clear();
  }
  HookAll(module_, true);
}

EmulatedLink::~EmulatedLink() {
  HookAll(module_, false);
  std::lock_guard<std::mutex> guard(g_lock);
  g_link.clear();
}

bool EmulatedLink::Followed() const {
  std::lock_guard<std::mutex> guard(g_lock);
  return g_followed;
}

}  // namespace testsupport
