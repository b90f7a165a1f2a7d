// Thousands of right-clicks leave GDI objects, menus, icons, kernel handles
// and memory where they were.
#include <gtest/gtest.h>

#include "support/Bitmaps.h"
#include "MenuTestSupport.h"
#include "support/GdiCount.h"
#include "support/TestSupport.h"

using namespace menutest;
using testsupport::BitmapSize;
using testsupport::Canvas;
using testsupport::MakeBitmapFile;

namespace {

const UINT F = 1;

std::string SystemProgram(const char* name) {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\" + name;
}

// One right-click as the shell makes it: selection, menu, the preview item
// measured and drawn, the menu closed and the handler released.
void RightClick(const std::string& picture, const Canvas& canvas) {
  Handler h({picture});
  HMENU shell = ShellMenu(3);
  ASSERT_EQ(60, h.Query(shell, 3, F));
  MEASUREITEMSTRUCT m{};
  m.CtlType = ODT_MENU;
  m.itemID = F + 3;
  h->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m), nullptr);
  DRAWITEMSTRUCT d{};
  d.CtlType = ODT_MENU;
  d.itemID = F + 3;
  d.hDC = canvas.dc();
  d.rcItem = RECT{0, 0, 80, 40};
  h->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&d), nullptr);
  DestroyMenu(shell);
}

}  // namespace

TEST(ResourceCount, SeesObjectsComeAndGo) {
  static const BYTE kMask[32] = {};
  testsupport::GuiResources before, bitmapMade, menuMade, iconMade, after;
  for (int round = 0; round < 2; ++round) {  // the first round fills the system's caches
    before = testsupport::CountGuiResources();
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    bitmapMade = testsupport::CountGuiResources();
    HMENU menu = CreatePopupMenu();
    menuMade = testsupport::CountGuiResources();
    HICON icon = CreateIcon(nullptr, 16, 16, 1, 1, kMask, kMask);
    iconMade = testsupport::CountGuiResources();
    DeleteObject(bitmap);
    DestroyMenu(menu);
    DestroyIcon(icon);
    after = testsupport::CountGuiResources();
  }
  EXPECT_EQ(before.gdi + 1, bitmapMade.gdi) << bitmapMade.Describe();
  EXPECT_EQ(before.bitmaps + 1, bitmapMade.bitmaps);
  EXPECT_EQ(before.menus + 1, menuMade.menus) << menuMade.Describe();
  EXPECT_EQ(before.icons + 1, iconMade.icons) << iconMade.Describe();
  EXPECT_EQ(before.gdi, after.gdi) << before.Describe() << " -> " << after.Describe();
  EXPECT_EQ(before.user, after.user) << before.Describe() << " -> " << after.Describe();
}

TEST(RightClicks, ThousandsWithIconItemsAndAPreviewLeaveNothingBehind) {
  testsupport::ResetProgramKey();  // icon items on, preview in the shell's menu
  // The main program is found: "&Ombrelo" gets its icon beside the entries'.
  testsupport::SetProgramString(nullptr, "cmd", SystemProgram("notepad.exe"));
  UserSettings settings;
  const std::string programs[] = {SystemProgram("notepad.exe"), SystemProgram("winhlp32.exe"),
                                  "C:\\no\\such\\program.exe", "temp"};
  settings.Write(UserSettings::OpenWith(4, [&](int i) { return programs[i]; }));
  testsupport::WriteFileBytes(PreviewBitmapPath(), MakeBitmapFile(48, 32, [](int x, int y) { return RGB(x, y, 9); }));
  MainProgramWindow mainProgram;
  const std::string picture = SampleFile("beach.jpg");
  Canvas canvas(80, 40, RGB(0, 0, 0));

  for (int i = 0; i < 100; ++i) RightClick(picture, canvas);  // the system's own caches fill here
  const testsupport::GuiResources gui = testsupport::CountGuiResources();
  const DWORD handles = testsupport::CountKernelHandles();
  const size_t bytes = testsupport::PrivateBytes();

  const int kClicks = 2000;
  for (int i = 0; i < kClicks; ++i) {
    RightClick(picture, canvas);
    if (testing::Test::HasFatalFailure()) break;
  }

  const testsupport::GuiResources guiAfter = testsupport::CountGuiResources();
  // One object per right-click would show as thousands; a few are the system's.
  EXPECT_LE(guiAfter.gdi, gui.gdi + 3) << gui.Describe() << " -> " << guiAfter.Describe();
  EXPECT_LE(guiAfter.menus, gui.menus + 1) << gui.Describe() << " -> " << guiAfter.Describe();
  EXPECT_LE(guiAfter.icons, gui.icons + 1) << gui.Describe() << " -> " << guiAfter.Describe();
  EXPECT_LE(testsupport::CountKernelHandles(), handles + 3);
  // 2000 lost bitmaps, menus or lists would take far more than this.
  EXPECT_LT(testsupport::PrivateBytes(), bytes + 2 * 1024 * 1024);
  DeleteFileA(PreviewBitmapPath().c_str());
}

TEST(RightClicks, SubmenusThatCannotBeAttachedAreDestroyed) {
  testsupport::ResetProgramKey();
  UserSettings settings;
  const std::string picture = SampleFile("beach.jpg");
  HMENU gone = CreatePopupMenu();
  DestroyMenu(gone);  // the shell's menu is no longer there
  for (int round = 0; round < 2; ++round) {
    const int menus = testsupport::CountGuiResources().menus;
    {
      Handler h({picture});
      EXPECT_EQ(60, h.Query(gone, 0, F));
    }
    EXPECT_EQ(menus, testsupport::CountGuiResources().menus);
  }
}
