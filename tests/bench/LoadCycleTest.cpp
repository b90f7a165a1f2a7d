// A host that loads the extension for a right-click and unloads it when it
// is idle, thousands of times in one process: each load, with a menu of
// icon items and a measured and drawn preview, leaves nothing behind: no
// TLS index, kernel handle, GDI or USER object, heap or address space.
//
// OMBRELO_LOAD_CYCLES sets the number of cycles (3,000 by default; an
// emulated run takes fewer).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <windows.h>
#include <shellapi.h>

#include "Cycle.h"
#include "ResourceLimits.h"
#include "Resources.h"
#include "Scene.h"
#include "support/Bitmaps.h"
#include "support/DataObject.h"

using namespace bench;

namespace {

int LoadCycles() {
  const char* text = std::getenv("OMBRELO_LOAD_CYCLES");
  const int n = text ? std::atoi(text) : 0;
  return n > 0 ? n : 3000;
}

}  // namespace

TEST(LoadCycles, ThousandsOfLoadsAndUnloadsWithAMenuEachLeaveNothingBehind) {
  ResetProgramKey();
  SetIconItems(true);
  SetMainProgramPath(StandinPath());
  SettingsFile settings;
  settings.WriteOpenWith(3);
  WorkFolder work;
  const std::string picture = work.path() + "beach.bmp";
  WriteBitmapFile(picture, 64, 48);
  WriteBitmapFile(PreviewBitmapPath(), 64, 48);
  MainProgramWindow mainProgram;
  ASSERT_TRUE(mainProgram.running());
  IDataObject* selection = testsupport::MakeDropDataObject({picture});
  testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
  CycleOptions draw;
  draw.drawOn = canvas.dc();
  const std::string dll = ExtensionPath();
  const int cycles = LoadCycles();

  // What the system keeps for good after its first icons and menus (the
  // shell's image lists), and the theme library the DLL keeps loaded from
  // its first menu on (a shell always has it loaded), made before the first
  // load.
  LoadLibraryW(L"uxtheme.dll");
  for (const std::string& program : OpenWithPrograms(3)) {
    const std::wstring path(program.begin(), program.end());
    SHFILEINFOW file{};
    if (SHGetFileInfoW(path.c_str(), 0, &file, sizeof(file), SHGFI_ICON | SHGFI_SHELLICONSIZE | SHGFI_SMALLICON))
      DestroyIcon(file.hIcon);
  }
  const Resources beforeFirstLoad = CountResources();
  // A few cycles fill the system's caches (icons, fonts, codecs), and a
  // build whose module stays loaded keeps its first load's state.
  for (int i = 0; i < 5; ++i) ASSERT_EQ(60, LoadAndUnload(dll.c_str(), kExtensionClsid, selection, draw)) << i;
  const bool stays = GetModuleHandleA(dll.c_str()) != nullptr;
  const Resources afterWarmUp = CountResources();
  for (int i = 0; i < cycles; ++i) ASSERT_EQ(60, LoadAndUnload(dll.c_str(), kExtensionClsid, selection, draw)) << i;
  const Resources end = CountResources();

  // Nothing lost per cycle (TLS indexes, handles, GDI and USER objects,
  // memory and address space within LoadCycleWithinNoise), and, where the
  // DLL leaves the process, nothing after the last unload either but what
  // the system keeps once a process has shown its first menu (about 100 KB
  // and 2 handles under Wine, within a right-click's noise).
  const Growth perCycle = GrowthBetween(afterWarmUp, end);
  EXPECT_TRUE(LoadCycleWithinNoise(perCycle)) << cycles << " cycles after the warm-up: " << Describe(perCycle);
  std::printf("%d load/unload cycles after the warm-up: %s\n", cycles, Describe(perCycle).c_str());
  if (!stays) {
    const Growth whole = GrowthBetween(beforeFirstLoad, end);
    EXPECT_TRUE(WithinNoise(whole)) << "after the last unload against before the first load: " << Describe(whole);
    std::printf("after the last unload against before the first load: %s\n", Describe(whole).c_str());
  }
  selection->Release();
  DeleteFileA(PreviewBitmapPath().c_str());
  ResetProgramKey();
}
