#include "server/ModuleState.h"

#include "lang/DMSStrings.h"
#include "settings/SettingsFile.h"

namespace ombrelo {

namespace {
SharedState g_state;
IconBitmapCache g_iconCache;
ModuleGlobals g_globals;
INIT_ONCE g_startOnce = INIT_ONCE_STATIC_INIT;
bool g_started = false;

// Menu module start-up, in the designed order.
void StartMenuModule() {
  FreeIconBitmaps();  // the cache of icon bitmaps starts empty
  WithState([](SharedState& s) {
    s.SelectedFiles.clear();
    s.SelectedPaths.clear();
    s.OpenWithCommands.clear();
    s.OpenWithParams.clear();
    s.OpenWithListsExist = true;
  });

  // NONCLIENTMETRICSA as the platform of the design knows it: 340 bytes,
  // without the padded border width of later systems.
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = 340;
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
    g_globals.MenuLogFont = metrics.lfMenuFont;
  g_globals.MenuFont = CreateFontIndirectA(&g_globals.MenuLogFont);

  g_globals.OsVersionInfo.dwOSVersionInfoSize = 148;
  if (!GetVersionExA(&g_globals.OsVersionInfo)) g_globals.OsVersionInfo.dwPlatformId = 0;
  g_globals.IsWindowsNT = g_globals.OsVersionInfo.dwPlatformId == VER_PLATFORM_WIN32_NT;

  DataModule2 = new TDataModule2(nullptr);

  g_globals.UserLanguage = ReadLanguageSetting();
  DataModule2->ML1->SetActiveLanguage(g_globals.UserLanguage <= 1 ? g_globals.UserLanguage : 0);
}

void StopMenuModule() {
  if (g_globals.MenuFont) DeleteObject(g_globals.MenuFont);
  g_globals.MenuFont = nullptr;
  try {
    TDataModule2* dm = DataModule2;
    DataModule2 = nullptr;
    delete dm;
    FreeIconBitmaps();
    WithState([](SharedState& s) {
      s.SelectedFiles = {};
      s.SelectedPaths = {};
      s.OpenWithCommands = {};
      s.OpenWithParams = {};
      s.OpenWithListsExist = false;
    });
  } catch (...) {
  }
  WithState([](SharedState& s) {
    s.PreviewBitmapFile.clear();
    s.PreviewBitmapPath.clear();
  });
}
}  // namespace

namespace detail {
SrwLock& StateLock() {
  static SrwLock lock;
  return lock;
}
SharedState& StateUnlocked() { return g_state; }
IconBitmapCache& IconCacheUnlocked() { return g_iconCache; }
}  // namespace detail

SharedState SnapshotState() {
  return WithState([](SharedState& s) { return s; });
}

const ModuleGlobals& Globals() { return g_globals; }

namespace {
BOOL CALLBACK StartOnce(PINIT_ONCE, PVOID, PVOID*) {
  try {
    InitSettingsFilePath();  // the settings module starts before the menu module
    StartMenuModule();
  } catch (...) {
    // A failed start-up leaves the state as far as it got; callers cope with it.
  }
  g_started = true;
  return TRUE;
}
}  // namespace

void EnsureModuleStarted() { InitOnceExecuteOnce(&g_startOnce, StartOnce, nullptr, nullptr); }

bool ModuleStarted() { return g_started; }

void ShutdownModule() {
  if (!g_started) return;
  g_started = false;
  StopMenuModule();
  ClearSettingsFilePath();
}

void NextIconMenu() {
  WithIconCache([](IconBitmapCache& c) { c.NextMenu(); });
}

void FreeIconBitmaps() {
  WithIconCache([](IconBitmapCache& c) { c.Clear(); });
}

HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

}  // namespace ombrelo
