#include "CallProfile.h"

#include <shellapi.h>
#include <objbase.h>

#include <algorithm>
#include <type_traits>
#include <cstring>

#include "support/ImportSlots.h"

namespace bench {

namespace {

// The functions counted, with the group each belongs to.
#define BENCH_HOOKS(X)                                                                                       \
  X(RegOpenKeyExA, "registry") X(RegQueryValueExA, "registry") X(RegCloseKey, "registry")                   \
  X(RegEnumValueA, "registry") X(RegCreateKeyExA, "registry") X(RegSetValueExA, "registry")                 \
  X(GetPrivateProfileSectionA, "settings file") X(GetPrivateProfileStringA, "settings file")                \
  X(GetPrivateProfileSectionW, "settings file") X(GetPrivateProfileStringW, "settings file")                \
  X(FindWindowA, "windows") X(GetForegroundWindow, "windows") X(GetClassNameA, "windows")                   \
  X(SendMessageTimeoutA, "windows") X(SendMessageA, "windows")                                              \
  X(CreatePopupMenu, "menu") X(InsertMenuItemA, "menu") X(InsertMenuA, "menu") X(AppendMenuA, "menu")       \
  X(ModifyMenuA, "menu") X(GetMenuItemCount, "menu") X(GetMenuItemID, "menu") X(DestroyMenu, "menu")        \
  X(SetMenuItemInfoA, "menu")                                                                                \
  X(DragQueryFileA, "selection") X(ReleaseStgMedium, "selection") X(GetTempPathA, "selection")              \
  X(GetKeyState, "selection")                                                                                \
  X(SHGetFileInfoA, "icons") X(SHGetFileInfoW, "icons") X(GetIconInfo, "icons") X(DrawIconEx, "icons")       \
  X(DestroyIcon, "icons")                                                                                    \
  X(CreateICA, "drawing") X(CreateCompatibleDC, "drawing") X(CreateCompatibleBitmap, "drawing")             \
  X(SelectObject, "drawing") X(DeleteObject, "drawing") X(DeleteDC, "drawing") X(GetObjectA, "drawing")     \
  X(GetTextMetricsA, "drawing") X(GetTextExtentPointA, "drawing") X(TextOutA, "drawing")                    \
  X(SetBkMode, "drawing") X(FillRect, "drawing") X(CreateSolidBrush, "drawing") X(BitBlt, "drawing")        \
  X(GetSysColor, "drawing") X(GetSystemMetrics, "drawing") X(GetDC, "drawing") X(ReleaseDC, "drawing")      \
  X(CreateDIBitmap, "drawing") X(CreateDIBSection, "drawing") X(GdiFlush, "drawing")                       \
  X(GetFileAttributesA, "files") X(CreateFileA, "files") X(ReadFile, "files") X(GetFileSizeEx, "files")     \
  X(CloseHandle, "files") X(GetFullPathNameW, "files") X(GetDriveTypeW, "files")                            \
  X(GetFileAttributesW, "files") X(GetFileAttributesExW, "files") X(CreateFileW, "files")                  \
  X(GetTempPathW, "selection")                                                                               \
  X(CharLowerBuffA, "text") X(OutputDebugStringA, "other") X(MessageBeep, "other")                          \
  X(AcquireSRWLockExclusive, "other") X(ReleaseSRWLockExclusive, "other")

enum HookId {
#define BENCH_ID(name, group) kHook_##name,
  BENCH_HOOKS(BENCH_ID)
#undef BENCH_ID
      kHookCount
};

struct Stat {
  long calls = 0;
  LONGLONG ticks = 0;
};
Stat g_stats[kHookCount];

LONGLONG Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

template <int Id, class F>
struct Hook;
template <int Id, class R, class... A>
struct Hook<Id, R(WINAPI*)(A...)> {
  static inline R(WINAPI* original)(A...) = nullptr;
  static R WINAPI Call(A... args) {
    const LONGLONG start = Now();
    if constexpr (std::is_void_v<R>) {
      original(args...);
      g_stats[Id].ticks += Now() - start;
      ++g_stats[Id].calls;
    } else {
      R result = original(args...);
      g_stats[Id].ticks += Now() - start;
      ++g_stats[Id].calls;
      return result;
    }
  }
};

struct HookInfo {
  const char* name;
  const char* group;
  void* replacement;
  void** original;
};

#define BENCH_INFO(name, group)                                                                   \
  {#name, group, reinterpret_cast<void*>(&Hook<kHook_##name, decltype(&::name)>::Call),           \
   reinterpret_cast<void**>(&Hook<kHook_##name, decltype(&::name)>::original)},
const HookInfo kHooks[kHookCount] = {BENCH_HOOKS(BENCH_INFO)};
#undef BENCH_INFO

}  // namespace

CallProfile::CallProfile(HMODULE module) {
  if (!module) return;
  for (const HookInfo& hook : kHooks) {
    void** slot = testsupport::FindImportSlot(module, hook.name);
    if (!slot) continue;
    *hook.original = *slot;
    patched_.push_back({slot, *slot});
    testsupport::WriteImportSlot(slot, hook.replacement);
  }
  Reset();
}

CallProfile::~CallProfile() {
  for (const Patch& p : patched_) testsupport::WriteImportSlot(p.slot, p.original);
}

void CallProfile::Reset() {
  for (Stat& s : g_stats) s = Stat();
}

std::vector<CallCount> CallProfile::Counts(int cycles) const {
  if (cycles < 1) cycles = 1;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::vector<CallCount> counts;
  for (int i = 0; i < kHookCount; ++i) {
    if (!g_stats[i].calls) continue;
    counts.push_back({kHooks[i].name, kHooks[i].group, (g_stats[i].calls + cycles / 2) / cycles,
                      static_cast<double>(g_stats[i].ticks) * 1e6 / static_cast<double>(frequency.QuadPart) /
                          cycles});
  }
  std::stable_sort(counts.begin(), counts.end(),
                   [](const CallCount& a, const CallCount& b) { return a.group < b.group; });
  return counts;
}

long CallsOf(const std::vector<CallCount>& counts, const char* name) {
  for (const CallCount& c : counts)
    if (c.name == name) return c.calls;
  return 0;
}

}  // namespace bench
