// The menus that QueryContextMenu builds, through the real DLL's COM objects
// and read back from real menus.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/Bitmaps.h"
#include "MenuTestSupport.h"
#include "support/TestSupport.h"

using namespace menutest;

namespace {

const UINT F = 100;

// One line per item: "sep <id>", "<id> <caption>" or "popup <caption>".
std::vector<std::string> Describe(HMENU menu) {
  std::vector<std::string> lines;
  for (const Item& item : Items(menu)) {
    if (item.separator()) lines.push_back("sep " + std::to_string(item.id));
    else if (item.sub) lines.push_back("popup " + item.text);
    else if (item.ownerDraw()) lines.push_back(std::to_string(item.id) + " <picture>");
    else lines.push_back(std::to_string(item.id) + " " + item.text);
  }
  return lines;
}

// The whole tree below a menu, each submenu indented under its popup.
std::vector<std::string> DescribeTree(HMENU menu, const std::string& indent = "") {
  std::vector<std::string> lines;
  std::vector<std::string> own = Describe(menu);
  std::vector<Item> items = Items(menu);
  for (size_t i = 0; i < items.size(); ++i) {
    lines.push_back(indent + own[i]);
    if (items[i].sub) {
      std::vector<std::string> below = DescribeTree(items[i].sub, indent + "  ");
      lines.insert(lines.end(), below.begin(), below.end());
    }
  }
  return lines;
}

using Lines = std::vector<std::string>;

class MenuTest : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");
    DeleteFileA(PreviewBitmapPath().c_str());
  }
  void TearDown() override {
    if (shell_) DestroyMenu(shell_);
    DeleteFileA(PreviewBitmapPath().c_str());
    testsupport::ResetProgramKey();
  }
  HMENU Shell() {
    if (!shell_) shell_ = ShellMenu(5);
    return shell_;
  }
  HMENU Sub(int position, HMENU menu = nullptr) { return Items(menu ? menu : Shell())[position].sub; }

  UserSettings settings_;
  std::string picture_ = SampleFile("beach.jpg");
  HMENU shell_ = nullptr;
};

const Lines kConvert = {"109 &JPG\t( JPEG Format )", "110 &BMP\t( Windows Bitmap )",
                        "111 P&NG\t( Portable Network Graphic )", "112 &TIF\t( TIFF Format )",
                        "113 &PCX\t( ZSoft PC Paintbrush )"};

}  // namespace

TEST_F(MenuTest, PictureWithoutMainmenuSettingPutsThePreviewIntoTheShellMenu) {
  Handler h({picture_});
  ASSERT_EQ(S_OK, h.InitResult());
  EXPECT_EQ(60, h.Query(Shell(), 5, F));

  EXPECT_EQ((Lines{"1 Shell item 1", "2 Shell item 2", "3 Shell item 3", "4 Shell item 4", "5 Shell item 5",
                   "sep 120", "popup &Ombrelo", "103 [&Enable Preview]", "sep 121"}),
            Describe(Shell()));
  std::vector<Item> top = Items(Shell());
  EXPECT_EQ(120u, top[6].id);  // the top-level item shares the separator's identifier
  EXPECT_EQ(static_cast<UINT>(MFS_DEFAULT), top[7].state & MFS_DEFAULT);

  HMENU main = Sub(6);
  EXPECT_EQ((Lines{"popup &Open with", "popup [O&nClick-] Conversion", "sep 107", "104 Size:     ???",
                   "105 Colors:  ???", "106 Format: ???", "sep 107", "108 &Convert...", "128 &Print Preview...",
                   "popup &Miscellaneous features"}),
            Describe(main));
  EXPECT_EQ((Lines{"sep 115", "114 &Settings..."}), Describe(Sub(0, main)));
  EXPECT_EQ(kConvert, Describe(Sub(1, main)));
  HMENU misc = Sub(9, main);
  EXPECT_EQ((Lines{"129 &Copy image", "130 Copy &name", "popup Set &Wallpaper", "sep 131", "132 Ombrelo &Options..."}),
            Describe(misc));
  EXPECT_EQ((Lines{"135 &Centered", "136 &Tiled", "137 &Scale"}), Describe(Sub(2, misc)));
}

TEST_F(MenuTest, MainmenuOtherThanExactlyTrueKeepsThePreviewInTheSubmenu) {
  for (const char* value : {"false", "True"}) {
    SCOPED_TRACE(value);
    testsupport::SetProgramString(nullptr, "Mainmenu", value);
    Handler h({picture_});
    HMENU shell = ShellMenu(5);
    EXPECT_EQ(60, h.Query(shell, 5, F));
    Lines top = Describe(shell);
    EXPECT_EQ((Lines{"sep 120", "popup &Ombrelo", "sep 121"}), Lines(top.begin() + 5, top.end()));
    HMENU main = Sub(6, shell);
    Lines lines = Describe(main);
    ASSERT_EQ(11u, lines.size());
    EXPECT_EQ("103 [&Enable Preview]", lines[3]);
    EXPECT_EQ("popup &Miscellaneous features", lines[10]);
    EXPECT_EQ(5u, Items(Sub(10, main)).size());
    DestroyMenu(shell);
  }
  // "true" exactly, and a value that is not a string, put it into the shell's menu.
  testsupport::SetProgramString(nullptr, "Mainmenu", "true");
  {
    Handler h({picture_});
    HMENU shell = ShellMenu(0);
    h.Query(shell, 0, F);
    EXPECT_EQ("103 [&Enable Preview]", Describe(shell)[2]);
    DestroyMenu(shell);
  }
  testsupport::SetProgramDword(nullptr, "Mainmenu", 0);
  Handler h({picture_});
  h.Query(Shell(), 0, F);
  EXPECT_EQ("103 [&Enable Preview]", Describe(Shell())[2]);
}

TEST_F(MenuTest, OpenWithEntriesShiftTheLaterItemsAndKeepClearOfPrintPreview) {
  auto program = [](int i) { return "C:\\programs\\p" + std::to_string(i) + ".exe"; };
  struct Case {
    int k;
    UINT copyImage;  // identifier of "&Copy image"
    UINT topLevel;
    int count;
  } cases[] = {
      {3, F + 29, F + 20, 60},   // padded to five
      {13, F + 37, F + 28, 60},  // the last count without a skip
      {14, F + 39, F + 30, 60},  // entry 13 steps over print preview
      {40, F + 65, F + 56, 74},  // 30 items shown, 40 entries counted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    settings_.Write(UserSettings::OpenWith(c.k, program));
    Handler h({picture_});
    HMENU shell = ShellMenu(0);
    EXPECT_EQ(c.count, h.Query(shell, 0, F));
    HMENU main = Sub(1, shell);
    Lines openWith = Describe(Sub(0, main));
    const int shown = std::min(c.k, 30);
    ASSERT_EQ(static_cast<size_t>(shown + 2), openWith.size());
    for (int i = 0; i < shown; ++i) {
      UINT id = F + (i <= 12 ? 15 + i : 16 + i);
      EXPECT_EQ(std::to_string(id) + " Program " + std::to_string(i), openWith[i]);
    }
    EXPECT_EQ("sep 115", openWith[shown]);
    EXPECT_EQ(c.topLevel, Items(shell)[1].id);
    EXPECT_EQ(std::to_string(c.copyImage) + " &Copy image", Describe(Sub(9, main))[0]);
    DestroyMenu(shell);
  }
}

TEST_F(MenuTest, EveryCommandIdentifierIsUniqueAndWithinTheReportedCount) {
  for (int k : {0, 14, 40}) {
    for (bool mainmenu : {true, false}) {
      SCOPED_TRACE("k=" + std::to_string(k) + " mainmenu=" + std::to_string(mainmenu));
      testsupport::SetProgramString(nullptr, "Mainmenu", mainmenu ? "true" : "false");
      settings_.Write(UserSettings::OpenWith(k, [](int) { return std::string("C:\\x.exe"); }));
      Handler h({picture_});
      HMENU shell = ShellMenu(2);
      const int count = h.Query(shell, 1, F);
      ASSERT_GE(count, 60);
      std::set<UINT> commands;
      for (const Item& item : AllItems(shell)) {
        if (item.id <= 2 || item.sub || item.separator()) continue;  // the shell's own, popups, separators
        EXPECT_GE(item.id, F);
        EXPECT_LT(item.id, F + count) << item.text;
        EXPECT_TRUE(commands.insert(item.id).second) << "duplicate " << item.id << " " << item.text;
      }
      DestroyMenu(shell);
    }
  }
}

TEST_F(MenuTest, NothingIsAddedWhenIdCmdLastLeavesTooLittleRoom) {
  settings_.Write(UserSettings::OpenWith(40, [](int) { return std::string("C:\\x.exe"); }));
  {
    Handler h({picture_});
    EXPECT_EQ(0, h.Query(Shell(), 5, F, F + 72));
    EXPECT_EQ(5, GetMenuItemCount(Shell()));
    EXPECT_EQ(74, h.Query(Shell(), 5, F, F + 73));
    EXPECT_EQ(9, GetMenuItemCount(Shell()));
  }
  settings_.Remove();
  HMENU shell = ShellMenu(5);
  Handler h({picture_});
  EXPECT_EQ(0, h.Query(shell, 5, F, F + 58));
  EXPECT_EQ(5, GetMenuItemCount(shell));
  EXPECT_EQ(0, h.Query(shell, 5, F, F - 1));
  EXPECT_EQ(5, GetMenuItemCount(shell));
  DestroyMenu(shell);

  Handler multi({SampleFile("a.jpg"), SampleFile("b.png")});
  EXPECT_EQ(0, multi.Query(Shell(), 0, F, F - 1));
  EXPECT_EQ(1, multi.Query(Shell(), 0, F, F));
}

TEST_F(MenuTest, TextFileGetsItsShortSubmenu) {
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  testsupport::SetProgramString(nullptr, "Mainmenu", "false");  // the picture setting does not count
  Handler h({SampleFile("notes.txt")});
  ASSERT_EQ(S_OK, h.InitResult());
  EXPECT_EQ(60, h.Query(Shell(), 5, F));
  Lines top = Describe(Shell());
  EXPECT_EQ((Lines{"sep 108", "popup &Ombrelo", "103 [&Enable Preview]", "sep 109"}), Lines(top.begin() + 5, top.end()));
  EXPECT_EQ((Lines{"100 &Print", "101 &Open in Wordpad", "sep 107", "104 Copy &text", "105 Copy &name",
                   "106 Ombrelo &Options..."}),
            Describe(Sub(6)));

  testsupport::SetProgramString("Txt", "Mainmenu", "false");
  Handler again({SampleFile("notes.txt")});
  HMENU shell = ShellMenu(0);
  again.Query(shell, 0, F);
  EXPECT_EQ((Lines{"sep 108", "popup &Ombrelo", "sep 109"}), Describe(shell));
  EXPECT_EQ("103 [&Enable Preview]", Describe(Sub(1, shell))[3]);
  DestroyMenu(shell);
}

TEST_F(MenuTest, GreyedPictureItemsFollowTheClassification) {
  Handler h({SampleFile("old.rif")});
  ASSERT_EQ(S_OK, h.InitResult());
  h.Query(Shell(), 0, F);
  std::map<UINT, UINT> state;
  for (const Item& item : AllItems(Shell()))
    if (!item.sub && !item.separator()) state[item.id] = item.state & MFS_GRAYED;
  for (UINT id : {104u, 105u, 106u, 108u, 109u, 113u, 128u, 129u, 135u, 137u})
    EXPECT_EQ(static_cast<UINT>(MFS_GRAYED), state[id]) << id;
  for (UINT id : {114u, 130u, 132u}) EXPECT_EQ(0u, state[id]) << id;
}

TEST_F(MenuTest, InABosaDialogOnlyThePopupsPreviewAndInformationLinesRemain) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "bosa_sdm_Test";
  RegisterClassA(&wc);
  HWND dialog = CreateWindowA("bosa_sdm_Test", "dialog", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                              nullptr, wc.hInstance, nullptr);
  SetForegroundWindow(dialog);
  testsupport::PumpMessages(std::chrono::milliseconds(50));
  ASSERT_EQ(dialog, GetForegroundWindow());
  {
    Handler h({picture_});
    EXPECT_EQ(60, h.Query(Shell(), 5, F));
  }
  DestroyWindow(dialog);
  UnregisterClassA("bosa_sdm_Test", wc.hInstance);

  Lines top = Describe(Shell());
  EXPECT_EQ((Lines{"sep 120", "popup &Ombrelo", "103 [&Enable Preview]", "sep 121"}), Lines(top.begin() + 5, top.end()));
  HMENU main = Sub(6);
  EXPECT_EQ((Lines{"popup &Open with", "popup [O&nClick-] Conversion", "sep 107", "104 Size:     ???",
                   "105 Colors:  ???", "106 Format: ???"}),
            Describe(main));
  EXPECT_EQ(kConvert, Describe(Sub(1, main)));
}

TEST_F(MenuTest, MultipleSelectionAddsOneConvertItem) {
  Handler h({SampleFile("a.jpg"), SampleFile("b.png"), SampleFile("c.doc")});
  ASSERT_EQ(S_OK, h.InitResult());
  EXPECT_EQ(1, h.Query(Shell(), 2, F));
  Lines lines = Describe(Shell());
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ("100 &Convert...", lines[2]);
  EXPECT_EQ(0u, Items(Shell())[2].state);
}

TEST_F(MenuTest, DefaultOnlyBuildsTheFullMenuAllTheSame) {
  settings_.Write(UserSettings::OpenWith(2, [](int) { return std::string("C:\\x.exe"); }));
  Handler a({picture_});
  a.Query(Shell(), 5, F);
  Handler b({picture_});
  HMENU other = ShellMenu(5);
  EXPECT_EQ(60, b.Query(other, 5, F, 0x7FFF, CMF_DEFAULTONLY));
  EXPECT_EQ(DescribeTree(Shell()), DescribeTree(other));
  DestroyMenu(other);
}

TEST_F(MenuTest, TheOmbreloItemShowsTheMainProgramsIconWhenTheProgramIsFound) {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string program = std::string(system) + "\\notepad.exe";  // stands in as Ombrelo.exe
  const std::string text = SampleFile("notes.txt");
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  struct Case {
    const char* what;
    const char* cmd;  // the "cmd" value, or none
    const char* displaySym;
    bool icon;
  } cases[] = {
      {"main program found", program.c_str(), "true", true},
      {"main program not found", nullptr, "true", false},
      {"stored program missing", "C:\\no\\such\\Ombrelo.exe", "true", false},
      {"icons switched off", program.c_str(), "false", false},
  };
  for (const Case& c : cases) {
    for (const std::string& file : {picture_, text}) {
      SCOPED_TRACE(std::string(c.what) + ", " + file);
      testsupport::SetProgramString(nullptr, "DisplaySym", c.displaySym);
      if (c.cmd) testsupport::SetProgramString(nullptr, "cmd", c.cmd);
      else testsupport::SetProgramString(nullptr, "cmd", "");
      Handler h({file});
      HMENU shell = ShellMenu(5);
      ASSERT_GT(h.Query(shell, 5, F), 0);
      const Item top = Items(shell)[6];
      EXPECT_EQ("&Ombrelo", top.text);
      EXPECT_NE(nullptr, top.sub);
      EXPECT_EQ(static_cast<UINT>(MFT_STRING), top.type & (MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR));
      if (c.icon) {
        ASSERT_NE(nullptr, top.bitmap);
        DIBSECTION dib{};
        ASSERT_EQ(static_cast<int>(sizeof(dib)), GetObjectA(top.bitmap, sizeof(dib), &dib));
        EXPECT_EQ(32, dib.dsBm.bmBitsPixel);
        EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), dib.dsBm.bmWidth);
        EXPECT_EQ(GetSystemMetrics(SM_CYSMICON), dib.dsBm.bmHeight);
      } else {
        EXPECT_EQ(nullptr, top.bitmap);
      }
      DestroyMenu(shell);
    }
  }
}
