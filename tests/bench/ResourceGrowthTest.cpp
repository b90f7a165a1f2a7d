// Ten thousand right-clicks as the shell makes them, with icon items (the
// open-with entries' and the main program's beside "&Ombrelo") and a
// preview that is requested, loaded, measured and drawn every time, leave
// the process's memory, kernel handles, GDI and USER objects where they were;
// also while the open-with program changes every 100 right-clicks, through
// more programs than the module keeps icons for.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Cycle.h"
#include "ResourceLimits.h"
#include "Resources.h"
#include "Scene.h"
#include "support/Bitmaps.h"
#include "support/DataObject.h"

using namespace bench;

namespace {

// OMBRELO_RIGHT_CLICKS: fewer under emulation (the ARM64 build under qemu).
const int kRightClicks = [] {
  const char* text = std::getenv("OMBRELO_RIGHT_CLICKS");
  const int count = text ? std::atoi(text) : 0;
  return count > 0 ? count : 10000;
}();
const int kMenuCount = 60;  // a picture menu reports 60 identifiers

// The programs of the open-with entries: one with an icon, one that does
// not exist (a plain text item) and the main program's placeholder "temp".
std::string OpenWithSection(const std::string& program) {
  return "[OpenWith]\r\nCount=3\r\nDesc0=With icon\r\nCmd0=" + program +
         "\r\nDesc1=Missing\r\nCmd1=C:\\no\\such\\program.exe\r\nDesc2=Placeholder\r\nCmd2=temp\r\n";
}

MENUITEMINFOA ItemInfo(HMENU menu, UINT item, BOOL byPosition) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_BITMAP;
  GetMenuItemInfoA(menu, item, byPosition, &info);
  return info;
}

}  // namespace

TEST(ResourceGrowth, TenThousandRightClicksWithIconItemsAndAPreviewLeaveNothingBehind) {
  ResetProgramKey();  // preview in the shell's menu
  SetIconItems(true);
  SetMainProgramPath(StandinPath());  // found: "&Ombrelo" gets its icon
  SettingsFile settings;
  WorkFolder work;
  const std::vector<std::string> programs = CopiesOfPrograms(work.path(), 80);
  settings.Write(OpenWithSection(programs[0]));
  const std::string picture = work.path() + "beach.bmp";
  WriteBitmapFile(picture, 64, 48);
  WriteBitmapFile(PreviewBitmapPath(), 64, 48);  // what the main program would have written
  MainProgramWindow mainProgram;
  ASSERT_TRUE(mainProgram.running());
  LoadedServer extension(ExtensionPath(), kExtensionClsid);
  ASSERT_NE(nullptr, extension.factory());
  IDataObject* selection = testsupport::MakeDropDataObject({picture});
  testsupport::Canvas canvas(240, 160, RGB(0, 0, 0));
  CycleOptions draw;
  draw.drawOn = canvas.dc();

  // The loop exercises what it should: an icon item, a plain item and an owner-drawn preview.
  {
    IShellExtInit* init = nullptr;
    IContextMenu* menu = nullptr;
    ASSERT_HRESULT_SUCCEEDED(
        extension.factory()->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)));
    ASSERT_HRESULT_SUCCEEDED(init->Initialize(nullptr, selection, nullptr));
    ASSERT_HRESULT_SUCCEEDED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
    HMENU shell = CreatePopupMenu();
    EXPECT_EQ(kMenuCount, HRESULT_CODE(menu->QueryContextMenu(shell, 0, kFirstId, kLastId, CMF_NORMAL)));
    EXPECT_TRUE(ItemInfo(shell, kFirstId + 3, FALSE).fType & MFT_OWNERDRAW) << "preview item";
    const HMENU openWith = ItemInfo(ItemInfo(shell, 1, TRUE).hSubMenu, 0, TRUE).hSubMenu;
    ASSERT_NE(nullptr, openWith);
    EXPECT_NE(nullptr, ItemInfo(openWith, 0, TRUE).hbmpItem) << "icon item";
    EXPECT_EQ(nullptr, ItemInfo(openWith, 1, TRUE).hbmpItem) << "plain item";
    EXPECT_NE(nullptr, ItemInfo(shell, 1, TRUE).hbmpItem) << "the main program's icon beside \"&Ombrelo\"";
    menu->Release();
    init->Release();
    DestroyMenu(shell);
  }

  // The system's own caches fill during the first right-clicks, and the
  // module's with the icons of all the programs.
  for (int i = 0; i < 200; ++i) {
    if (i % 2 == 0) settings.Write(OpenWithSection(programs[static_cast<size_t>(i / 2) % programs.size()]));
    ASSERT_EQ(kMenuCount, RightClick(extension.factory(), selection, draw));
  }
  const long requestsBefore = mainProgram.requests();
  const Resources before = CountResources();
  for (int i = 0; i < kRightClicks; ++i) {
    if (i % 100 == 0) settings.Write(OpenWithSection(programs[static_cast<size_t>(i / 100) % programs.size()]));
    ASSERT_EQ(kMenuCount, RightClick(extension.factory(), selection, draw));
  }
  const Resources after = CountResources();

  EXPECT_EQ(2 * kRightClicks, mainProgram.requests() - requestsBefore) << "two preview requests per right-click";
  const Growth growth = GrowthBetween(before, after);
  EXPECT_TRUE(WithinNoise(growth)) << Describe(growth);
  selection->Release();
  DeleteFileA(PreviewBitmapPath().c_str());
  ResetProgramKey();
}
