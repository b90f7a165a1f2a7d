// Loading and unloading the real DLL: start-up at the first export call,
// shutdown at FreeLibrary, nothing left behind.
#include <gtest/gtest.h>

#include "Cycle.h"
#include "Scene.h"
#include "support/DataObject.h"
#include "support/GdiCount.h"
#include "support/TestSupport.h"

namespace {
using CanUnloadFn = HRESULT(WINAPI*)();

void LoadStartAndFree(const std::string& path) {
  HMODULE dll = LoadLibraryA(path.c_str());
  ASSERT_NE(nullptr, dll) << path;
  auto canUnload = reinterpret_cast<CanUnloadFn>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllCanUnloadNow")));
  ASSERT_NE(nullptr, canUnload);
  EXPECT_EQ(S_OK, canUnload());  // runs start-up; nothing is alive yet
  ASSERT_TRUE(FreeLibrary(dll));
}

struct Growth {
  long handles;
  long long bytes;
};

// What `cycles` loads and unloads of a DLL leave behind in this process.
Growth GrowthOf(const std::string& path, int cycles) {
  for (int i = 0; i < 5; ++i) LoadStartAndFree(path);  // warm-up: the system's own caches
  long handlesBefore = static_cast<long>(testsupport::CountKernelHandles());
  long long bytesBefore = static_cast<long long>(testsupport::PrivateBytes());
  for (int i = 0; i < cycles; ++i) LoadStartAndFree(path);
  return {static_cast<long>(testsupport::CountKernelHandles()) - handlesBefore,
          static_cast<long long>(testsupport::PrivateBytes()) - bytesBefore};
}
}  // namespace

TEST(ModuleLife, ExportsAreUndecorated) {
  HMODULE dll = LoadLibraryA(testsupport::DllPath().c_str());
  ASSERT_NE(nullptr, dll);
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(dll, name))) << name;
  FreeLibrary(dll);
}

// The statically linked thread runtime itself keeps a couple of handles per
// load; the extension's start-up and shutdown must add nothing to that.
TEST(ModuleLife, StartingAndStoppingManyTimesLeavesNothingBeyondTheRuntime) {
  testsupport::ResetProgramKey();
  const int cycles = 200;
  ASSERT_GT(testsupport::CountKernelHandles(), 0u);  // the counting works here
  Growth runtime = GrowthOf(testsupport::ExeDir() + "runtime_baseline.dll", cycles);
  Growth ours = GrowthOf(testsupport::DllPath(), cycles);
  EXPECT_LE(ours.handles, runtime.handles + 2) << "runtime alone: " << runtime.handles;
  // A leak of the state (lists, data module, font) would grow by well over this.
  EXPECT_LT(ours.bytes, runtime.bytes + 2 * 1024 * 1024) << "runtime alone: " << runtime.bytes;
}

// The icon bitmaps that the module keeps for its menus leave with it.
TEST(ModuleLife, UnloadingDeletesEveryIconBitmap) {
  testsupport::ResetProgramKey();
  bench::SetIconItems(true);
  bench::SettingsFile settings;
  settings.WriteOpenWith(5);
  bench::WorkFolder work;
  const std::string picture = work.path() + "beach.bmp";
  bench::WriteBitmapFile(picture, 8, 8);
  IDataObject* selection = testsupport::MakeDropDataObject({picture});
  testsupport::GuiResources loaded;
  auto loadedRightClicks = [&] {
    bench::LoadedServer dll(testsupport::DllPath(), bench::kExtensionClsid);
    ASSERT_NE(nullptr, dll.factory());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(60, bench::RightClick(dll.factory(), selection));
    loaded = testsupport::CountGuiResources();
  };
  loadedRightClicks();  // the system's own caches fill
  const testsupport::GuiResources before = testsupport::CountGuiResources();
  loadedRightClicks();
  const testsupport::GuiResources after = testsupport::CountGuiResources();
  EXPECT_GE(loaded.bitmaps, before.bitmaps + 5) << "the programs' bitmaps, kept while loaded";
  EXPECT_EQ(before.gdi, after.gdi) << before.Describe() << " -> " << after.Describe();
  selection->Release();
  testsupport::ResetProgramKey();
}
