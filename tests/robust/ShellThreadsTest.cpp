// Two shell threads showing context menus at the same time through the real
// DLL, each with handler objects of its own, while a third thread flips the
// icon-item setting: every menu and help text is the one its own selection
// gives, and the objects, handles and GDI/USER objects all come back.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "Cycle.h"
#include "ResourceLimits.h"
#include "Resources.h"
#include "Scene.h"
#include "support/Bitmaps.h"
#include "robust/RobustSupport.h"
#include "support/DataObject.h"
#include "support/TestSupport.h"

namespace {

using namespace bench;

// What one right-click showed: the count reported, the item count of the
// shell's menu and of every submenu (depth first), the preview item's
// measured size and the help text of every offset.
struct Seen {
  int count = -1;
  std::vector<int> items;
  UINT previewWidth = 0, previewHeight = 0;
  std::vector<std::string> help;
  bool operator==(const Seen& o) const {
    return std::tie(count, items, previewWidth, previewHeight, help) ==
           std::tie(o.count, o.items, o.previewWidth, o.previewHeight, o.help);
  }
};

void CountItems(HMENU menu, std::vector<int>& items) {
  const int n = GetMenuItemCount(menu);
  items.push_back(n);
  for (int i = 0; i < n; ++i)
    if (HMENU sub = GetSubMenu(menu, i)) CountItems(sub, items);
}

std::string HelpOf(IContextMenu* menu, int offset) {
  char text[MAX_PATH];
  std::memset(text, 0x7F, sizeof(text));
  const HRESULT hr = menu->GetCommandString(static_cast<UINT_PTR>(offset), GCS_HELPTEXTA, nullptr, text, sizeof(text));
  if (FAILED(hr)) return "<failed>";
  return text[0] == 0x7F ? "<none>" : text;
}

// One whole right-click as the shell makes it; the object is released
// before its menu is destroyed.
Seen RightClick(IClassFactory* factory, IDataObject* selection, HDC dc) {
  Seen seen;
  IShellExtInit* init = nullptr;
  if (FAILED(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)))) return seen;
  HMENU shell = CreatePopupMenu();
  IContextMenu3* menu = nullptr;
  if (SUCCEEDED(init->Initialize(nullptr, selection, nullptr)) &&
      SUCCEEDED(init->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu)))) {
    const HRESULT hr = menu->QueryContextMenu(shell, 0, kFirstId, kLastId, CMF_NORMAL);
    seen.count = SUCCEEDED(hr) ? HRESULT_CODE(hr) : -2;
    CountItems(shell, seen.items);
    for (int offset = 0; offset < seen.count; ++offset) seen.help.push_back(HelpOf(menu, offset));
    const SIZE preview = bench::MeasureAndDrawPreview(menu, dc);
    seen.previewWidth = preview.cx;
    seen.previewHeight = preview.cy;
    menu->Release();
  }
  init->Release();
  DestroyMenu(shell);
  return seen;
}

// The three selections a shell thread right-clicks: one picture, one text
// file, several files of which two are pictures.
struct Selections {
  std::vector<IDataObject*> objects;
  explicit Selections(const std::vector<std::vector<std::string>>& lists) {
    for (const auto& files : lists) objects.push_back(testsupport::MakeDropDataObject(files));
  }
  ~Selections() {
    for (IDataObject* o : objects) o->Release();
  }
};

// What the threads of RUN(0, mismatch) cost alone, started and ended
// without a right-click; taken off a run's memory growth: arm64 Wine under
// qemu keeps about 270 KB of every ended thread, whatever it ran. A memory
// cost of the extension's own per thread still shows.
template <class Run>
long long ThreadsAlone(Run& run, std::string* firstMismatch) {
  const Resources before = CountResources();
  run(0, firstMismatch);
  const long long bytes = GrowthBetween(before, CountResources()).privateBytes;
  return bytes > 0 ? bytes : 0;
}

}  // namespace

TEST(ShellThreads, TwoThreadsRightClickingAtOnceEachSeeTheirOwnMenusAndLeaveNothingBehind) {
  ResetProgramKey();
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);  // text files get the menu without Ctrl
  SetIconItems(true);
  SettingsFile settings;
  settings.WriteOpenWith(3);
  WorkFolder work;
  const std::string picture = work.path() + "beach.bmp", other = work.path() + "dune.jpg";
  WriteBitmapFile(picture, 64, 48);
  testsupport::WriteFileBytes(work.path() + "notes.txt", "a text\r\n");
  WriteBitmapFile(PreviewBitmapPath(), 64, 48);  // what the main program writes for every request
  const std::vector<std::vector<std::string>> lists = {
      {picture}, {work.path() + "notes.txt"}, {picture, work.path() + "readme.doc", other}};
  MainProgramWindow mainProgram;
  ASSERT_TRUE(mainProgram.running());
  robust::ExtensionDll dll;
  ASSERT_NE(nullptr, dll.factory());
  IClassFactory* factory = dll.factory();

  // What each selection shows when nothing else runs; the caches of the
  // system fill meanwhile.
  std::vector<Seen> expected;
  {
    Selections mine(lists);
    testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
    for (IDataObject* selection : mine.objects) expected.push_back(RightClick(factory, selection, canvas.dc()));
    for (int i = 0; i < 30; ++i) RightClick(factory, mine.objects[static_cast<size_t>(i % 3)], canvas.dc());
  }
  // A picture menu built last fixes how many icon-item bitmaps the module keeps.
  auto lastPictureMenu = [&] {
    Selections mine(lists);
    testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
    EXPECT_EQ(expected[0], RightClick(factory, mine.objects[0], canvas.dc()));
  };
  ASSERT_EQ(60, expected[0].count);
  ASSERT_EQ(60, expected[1].count);
  ASSERT_EQ(1, expected[2].count);
  ASSERT_EQ(64u, expected[0].previewWidth);
  ASSERT_NE(std::string::npos, expected[0].help[30].find(picture)) << "copy-name text of the picture";
  ASSERT_NE(std::string::npos, expected[1].help[5].find("notes.txt")) << "copy-name text of the text file";

  // Two shell threads right-click their own selections at random while a
  // third flips the icon-item setting; returns how many right-clicks showed
  // something else than their selection gives, and what the first was.
  auto runAtOnce = [&](int rounds, std::string* firstMismatch) {
    std::atomic<int> mismatches{0};
    std::atomic<bool> done{false};
    auto shellThread = [&](int index) {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        Selections mine(lists);
        testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
        robust::Rng rng(robust::RunSeed() + static_cast<uint32_t>(index));
        for (int round = 0; round < rounds; ++round) {
          const size_t kind = static_cast<size_t>(robust::Between(rng, 0, 2));
          if (!(RightClick(factory, mine.objects[kind], canvas.dc()) == expected[kind]) && mismatches++ == 0)
            *firstMismatch = "thread " + std::to_string(index) + ", selection " + std::to_string(kind);
        }
      }
      CoUninitialize();
    };
    std::thread flipper([&] {
      for (bool on = false; !done; on = !on) {
        SetIconItems(on);
        Sleep(1);
      }
    });
    std::thread first(shellThread, 0), second(shellThread, 1);
    first.join();
    second.join();
    done = true;
    flipper.join();
    SetIconItems(true);
    return mismatches.load();
  };
  // The first run at once fills what threads of the process keep for good.
  std::string firstMismatch;
  EXPECT_EQ(0, runAtOnce(50, &firstMismatch)) << firstMismatch;
  lastPictureMenu();
  const long long threadsAlone = ThreadsAlone(runAtOnce, &firstMismatch);
  const Resources before = CountResources();
  const int mismatches = runAtOnce(robust::Rounds(1500), &firstMismatch);

  EXPECT_EQ(0, mismatches) << "first: " << firstMismatch;
  lastPictureMenu();
  Growth growth = GrowthBetween(before, CountResources());
  growth.privateBytes -= threadsAlone;
  EXPECT_TRUE(WithinNoise(growth)) << Describe(growth);
  EXPECT_EQ(S_FALSE, dll.CanUnloadNow()) << "the factory is still held";
  dll.ReleaseFactory();
  EXPECT_EQ(S_OK, dll.CanUnloadNow()) << "a handler object or a factory reference is left";
  DeleteFileA(PreviewBitmapPath().c_str());
  ResetProgramKey();
}

// Two shell threads that each load the DLL, right-click through it and
// unload it, at random and at once: the module starts and shuts down under
// the other thread's feet, every menu is whole, and once both have let go
// nothing is left.
TEST(ShellThreads, LoadsAndUnloadsOnTwoThreadsBetweenRightClicksLeaveNothingBehind) {
  ResetProgramKey();
  SetIconItems(true);
  SettingsFile settings;
  settings.WriteOpenWith(3);
  WorkFolder work;
  const std::string picture = work.path() + "beach.bmp";
  WriteBitmapFile(picture, 64, 48);
  WriteBitmapFile(PreviewBitmapPath(), 64, 48);
  MainProgramWindow mainProgram;
  ASSERT_TRUE(mainProgram.running());
  const std::string dll = ExtensionPath();

  // Returns how many right-clicks showed something else than the whole
  // picture menu, and what the first was.
  auto runAtOnce = [&](int rounds, std::string* firstMismatch) {
    std::atomic<int> mismatches{0};
    auto shellThread = [&](int index) {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        Selections mine({{picture}});
        testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
        CycleOptions draw;
        draw.drawOn = canvas.dc();
        robust::Rng rng(robust::RunSeed() + 7 + static_cast<uint32_t>(index));
        for (int round = 0; round < rounds; ++round) {
          int count = 0;
          if (robust::Chance(rng, 50)) {
            // DllCanUnloadNow may say no while the other thread holds objects.
            HRESULT canUnload = S_OK;
            count = bench::LoadAndUnload(dll.c_str(), kExtensionClsid, mine.objects[0], draw, &canUnload);
          } else {
            // Loaded for a few right-clicks, as a file dialog keeps it.
            LoadedServer held(dll, kExtensionClsid);
            const int clicks = robust::Between(rng, 1, 4);
            for (int i = 0; i < clicks && count != -1; ++i)
              count = held.factory() ? bench::RightClick(held.factory(), mine.objects[0], draw) : -1;
          }
          if (count != 60 && mismatches++ == 0)
            *firstMismatch = "thread " + std::to_string(index) + ", round " + std::to_string(round) + ": " +
                             std::to_string(count);
        }
      }
      CoUninitialize();
    };
    std::thread first(shellThread, 0), second(shellThread, 1);
    first.join();
    second.join();
    return mismatches.load();
  };
  std::string firstMismatch;
  EXPECT_EQ(0, runAtOnce(10, &firstMismatch)) << firstMismatch;
  const long long threadsAlone = ThreadsAlone(runAtOnce, &firstMismatch);
  const Resources before = CountResources();
  EXPECT_EQ(0, runAtOnce(robust::Rounds(150), &firstMismatch)) << "first: " << firstMismatch;
  Growth growth = GrowthBetween(before, CountResources());
  growth.privateBytes -= threadsAlone;
  EXPECT_TRUE(LoadCycleWithinNoise(growth)) << Describe(growth);
  DeleteFileA(PreviewBitmapPath().c_str());
  ResetProgramKey();
}
