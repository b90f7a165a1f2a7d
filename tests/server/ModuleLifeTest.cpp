// Loading and unloading the real DLL: start-up at the first export call,
// shutdown at FreeLibrary, nothing left behind.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {
using CanUnloadFn = HRESULT(WINAPI*)();

void LoadStartAndFree() {
  HMODULE dll = LoadLibraryA(testsupport::DllPath().c_str());
  ASSERT_NE(nullptr, dll) << testsupport::DllPath();
  auto canUnload = reinterpret_cast<CanUnloadFn>(GetProcAddress(dll, "DllCanUnloadNow"));
  ASSERT_NE(nullptr, canUnload);
  EXPECT_EQ(S_OK, canUnload());  // runs start-up; nothing is alive yet
  ASSERT_TRUE(FreeLibrary(dll));
}
}  // namespace

TEST(ModuleLife, ExportsAreUndecorated) {
  HMODULE dll = LoadLibraryA(testsupport::DllPath().c_str());
  ASSERT_NE(nullptr, dll);
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"})
    EXPECT_NE(nullptr, reinterpret_cast<void*>(GetProcAddress(dll, name))) << name;
  FreeLibrary(dll);
}

TEST(ModuleLife, StartingAndStoppingManyTimesLeavesNothingBehind) {
  testsupport::ResetProgramKey();
  for (int i = 0; i < 5; ++i) LoadStartAndFree();  // warm-up: the system's own caches
  DWORD handlesBefore = testsupport::CountKernelHandles();
  size_t bytesBefore = testsupport::PrivateBytes();
  for (int i = 0; i < 200; ++i) LoadStartAndFree();
  EXPECT_LE(testsupport::CountKernelHandles(), handlesBefore + 2);
  // A leak of the state (lists, data module, font) would grow by well over this.
  EXPECT_LT(testsupport::PrivateBytes(), bytesBefore + 2 * 1024 * 1024);
}

TEST(ModuleLife, LoadingAloneDoesNoStartUpWork) {
  HMODULE dll = LoadLibraryA(testsupport::DllPath().c_str());
  ASSERT_NE(nullptr, dll);
  ASSERT_TRUE(FreeLibrary(dll));
}
