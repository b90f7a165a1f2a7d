// The preview item: made owner-drawn from the bitmap the main program wrote,
// then measured and drawn through IContextMenu2/3 on a memory DC.
#include <gtest/gtest.h>

#include "support/Bitmaps.h"
#include "support/FileLinks.h"
#include "MenuTestSupport.h"
#include "support/TestSupport.h"

using namespace menutest;
using testsupport::BitmapSize;
using testsupport::Canvas;
using testsupport::MakeBitmapFile;

namespace {

const UINT F = 100;
const UINT kPreviewId = F + 3;
const COLORREF kPaper = RGB(9, 8, 7);

COLORREF Pattern(int x, int y) { return RGB(x * 3, 255 - y * 5, 100); }

class PreviewTest : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");
    DeleteFileA(PreviewBitmapPath().c_str());
  }
  void TearDown() override {
    DestroyMenu(shell_);
    DeleteFileA(PreviewBitmapPath().c_str());
  }
  void WritePreview(int width = 64, int height = 48) {
    testsupport::WriteFileBytes(PreviewBitmapPath(), MakeBitmapFile(width, height, Pattern));
  }
  Item PreviewItem(HMENU menu) {
    for (const Item& item : AllItems(menu))
      if (item.id == kPreviewId) return item;
    ADD_FAILURE() << "no preview item";
    return Item();
  }
  static MEASUREITEMSTRUCT Measure(IContextMenu3* menu, UINT id, LRESULT* result) {
    MEASUREITEMSTRUCT m{};
    m.CtlType = ODT_MENU;
    m.itemID = id;
    m.itemWidth = 11;
    m.itemHeight = 22;
    EXPECT_EQ(S_OK, menu->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m), result));
    return m;
  }
  static void Draw(IContextMenu3* menu, const Canvas& canvas, UINT id, UINT state, LRESULT* result) {
    DRAWITEMSTRUCT d{};
    d.CtlType = ODT_MENU;
    d.itemID = id;
    d.itemAction = ODA_DRAWENTIRE;
    d.itemState = state;
    d.hDC = canvas.dc();
    d.rcItem = RECT{0, 0, 120, 60};
    EXPECT_EQ(S_OK, menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&d), result));
  }

  UserSettings settings_;
  std::string picture_ = SampleFile("beach.jpg");
  HMENU shell_ = ShellMenu(0);
};

const int kLeft = GetSystemMetrics(SM_CXMENUCHECK) + 4;

void ExpectPicture(const Canvas& canvas, COLORREF background, bool picture) {
  EXPECT_EQ(background, canvas.At(0, 0));
  EXPECT_EQ(background, canvas.At(kLeft - 1, 30));
  EXPECT_EQ(background, canvas.At(kLeft + 64, 10));
  EXPECT_EQ(background, canvas.At(kLeft, 48));
  int wrong = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      if (canvas.At(kLeft + x, y) != (picture ? Pattern(x, y) : background)) ++wrong;
  EXPECT_EQ(0, wrong);
}

}  // namespace

TEST_F(PreviewTest, ThePictureIsMeasuredAndDrawnBesideTheCheckMarkColumn) {
  MainProgramWindow mainProgram;
  WritePreview();
  Handler h({picture_});
  ASSERT_EQ(60, h.Query(shell_, 0, F));
  Item item = PreviewItem(shell_);
  EXPECT_TRUE(item.ownerDraw());
  EXPECT_EQ(0u, item.state & MFS_GRAYED);
  EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(reinterpret_cast<HGDIOBJ>(item.data)));

  LRESULT result = 7;
  MEASUREITEMSTRUCT m = Measure(h.get(), kPreviewId, &result);
  EXPECT_EQ(64u, m.itemWidth);
  EXPECT_EQ(48u, m.itemHeight);
  EXPECT_EQ(TRUE, result);

  Canvas plain(120, 60, kPaper);
  result = 7;
  Draw(h.get(), plain, kPreviewId, 0, &result);
  EXPECT_EQ(TRUE, result);
  ExpectPicture(plain, GetSysColor(COLOR_MENU), true);

  Canvas selected(120, 60, kPaper);
  Draw(h.get(), selected, kPreviewId, ODS_SELECTED, nullptr);  // a null result location is fine
  ExpectPicture(selected, GetSysColor(COLOR_HIGHLIGHT), true);
}

TEST_F(PreviewTest, OtherItemsAndMessagesAreLeftAlone) {
  MainProgramWindow mainProgram;
  WritePreview();
  Handler h({picture_});
  h.Query(shell_, 0, F);

  LRESULT result = 7;
  MEASUREITEMSTRUCT m = Measure(h.get(), F + 4, &result);
  EXPECT_EQ(11u, m.itemWidth);
  EXPECT_EQ(22u, m.itemHeight);
  EXPECT_EQ(FALSE, result);

  Canvas canvas(120, 60, kPaper);
  Draw(h.get(), canvas, F + 4, 0, &result);
  EXPECT_EQ(kPaper, canvas.At(0, 0));
  EXPECT_EQ(kPaper, canvas.At(kLeft + 1, 1));

  for (UINT msg : {UINT(WM_INITMENUPOPUP), UINT(WM_MENUCHAR), UINT(WM_MENUSELECT)}) {
    result = 7;
    EXPECT_EQ(S_OK, h->HandleMenuMsg2(msg, 0, 0, &result));
    EXPECT_EQ(FALSE, result);
    EXPECT_EQ(S_OK, h->HandleMenuMsg(msg, 0, 0));
  }
}

// The file is read once, while the menu is built: what another program does
// with it afterwards changes neither the item's size nor its picture.
TEST_F(PreviewTest, APreviewFileReplacedOrDeletedAfterTheMenuWasBuiltChangesNothing) {
  MainProgramWindow mainProgram;
  for (const char* change : {"replaced by a larger picture", "deleted"}) {
    SCOPED_TRACE(change);
    WritePreview();
    Handler h({picture_});
    HMENU shell = ShellMenu(0);
    h.Query(shell, 0, F);
    if (change[0] == 'r')
      testsupport::WriteFileBytes(PreviewBitmapPath(), MakeBitmapFile(300, 200, [](int, int) { return RGB(1, 2, 3); }));
    else
      DeleteFileA(PreviewBitmapPath().c_str());
    MEASUREITEMSTRUCT m = Measure(h.get(), kPreviewId, nullptr);
    EXPECT_EQ(64u, m.itemWidth);
    EXPECT_EQ(48u, m.itemHeight);
    Canvas canvas(120, 60, kPaper);
    Draw(h.get(), canvas, kPreviewId, 0, nullptr);
    ExpectPicture(canvas, GetSysColor(COLOR_MENU), true);
    DestroyMenu(shell);
  }
}

// Only a plausible picture that the request wrote becomes the preview;
// anything else gives the item of a picture without preview.
TEST_F(PreviewTest, OnlyAPlausiblePictureThatTheRequestWroteIsShown) {
  auto bitmap = [](int width, int height) { return MakeBitmapFile(width, height, Pattern); };
  const struct Case {
    const char* what;
    std::string bytes;
    bool renewed;  // the main program wrote the file while it handled the request
    bool shown;
  } cases[] = {
      {"written by the request", bitmap(64, 48), true, true},
      {"left from an earlier picture", bitmap(64, 48), false, false},
      {"1,024 x 1,024 pixels", bitmap(1024, 1024), true, true},
      {"1,025 pixels wide", bitmap(1025, 2), true, false},
      {"1,025 pixels high", bitmap(2, 1025), true, false},
      {"larger than 8 MiB", bitmap(8, 8) + std::string(8 * 1024 * 1024, '\0'), true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFileBytes(PreviewBitmapPath(), c.bytes);
    MainProgramWindow mainProgram(nullptr, c.renewed);
    Handler h({picture_});
    HMENU shell = ShellMenu(0);
    h.Query(shell, 0, F);
    Item item = PreviewItem(shell);
    EXPECT_EQ(c.shown, item.ownerDraw());
    if (!c.shown) {
      EXPECT_EQ("[Unkown subformat]", item.text);
      EXPECT_EQ(static_cast<UINT>(MFS_GRAYED), item.state & MFS_GRAYED);
    }
    DestroyMenu(shell);
  }
}

// A link at the preview path (one that another program planted, leading
// onto a share, say) is opened as itself and never followed. Links are
// emulated where the system keeps none.
TEST_F(PreviewTest, ALinkAtThePreviewPathIsNotFollowed) {
  const std::string target = SampleFile("elsewhere.bmp", MakeBitmapFile(64, 48, Pattern));
  MainProgramWindow mainProgram;
  WritePreview();
  Handler h({picture_});  // the DLL is loaded
  testsupport::EmulatedLink link(GetModuleHandleA(testsupport::DllPath().c_str()), PreviewBitmapPath(), target);
  h.Query(shell_, 0, F);
  Item item = PreviewItem(shell_);
  EXPECT_FALSE(item.ownerDraw());
  EXPECT_EQ("[Unkown subformat]", item.text);
  EXPECT_FALSE(link.Followed());
}

// A main program that is slow to answer (busy, not hung) gets one deadline
// for all requests of a menu: the first request runs out, the second is
// not sent, and the menu comes without the preview.
TEST_F(PreviewTest, ASlowMainProgramCostsTheMenuItsPreviewNotTheShellItsMenu) {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  MainProgramWindow mainProgram([&](const MainProgramWindow::Message&) { WaitForSingleObject(release, 60000); });
  WritePreview();
  Handler h({picture_});
  EXPECT_EQ(60, h.Query(shell_, 0, F));
  SetEvent(release);
  // Answered once the window has handled what it was sent before.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(mainProgram.window(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
  EXPECT_EQ(1u, mainProgram.Messages().size());
  Item item = PreviewItem(shell_);
  EXPECT_FALSE(item.ownerDraw());
  EXPECT_EQ("[Unkown subformat]", item.text);
  CloseHandle(release);
}

TEST_F(PreviewTest, WithoutAReadablePictureTheFormatIsUnknown) {
  MainProgramWindow mainProgram;
  for (const char* contents : {static_cast<const char*>(""), "BM but nothing more", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(contents ? contents : "no file");
    if (contents) testsupport::WriteFileBytes(PreviewBitmapPath(), contents);
    else DeleteFileA(PreviewBitmapPath().c_str());
    Handler h({picture_});
    HMENU shell = ShellMenu(0);
    h.Query(shell, 0, F);
    Item item = PreviewItem(shell);
    EXPECT_FALSE(item.ownerDraw());
    EXPECT_EQ("[Unkown subformat]", item.text);
    EXPECT_EQ(static_cast<UINT>(MFS_GRAYED), item.state & MFS_GRAYED);
    DestroyMenu(shell);
  }
}

TEST_F(PreviewTest, WithoutTheMainProgramThePreviewItemInvitesToEnableIt) {
  WritePreview();
  Handler h({picture_});
  h.Query(shell_, 0, F);
  Item item = PreviewItem(shell_);
  EXPECT_FALSE(item.ownerDraw());
  EXPECT_EQ("[&Enable Preview]", item.text);
  EXPECT_EQ(static_cast<UINT>(MFS_DEFAULT), item.state & (MFS_DEFAULT | MFS_GRAYED));
}

TEST_F(PreviewTest, TheLoadedPictureLivesAsLongAsTheObjectOrItsNextMenu) {
  MainProgramWindow mainProgram;
  WritePreview();
  HGDIOBJ first = nullptr, second = nullptr;
  {
    Handler h({picture_});
    h.Query(shell_, 0, F);
    first = reinterpret_cast<HGDIOBJ>(PreviewItem(shell_).data);
    ASSERT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(first));
    HMENU again = ShellMenu(0);
    h.Query(again, 0, F);
    second = reinterpret_cast<HGDIOBJ>(PreviewItem(again).data);
    DestroyMenu(again);
    EXPECT_EQ(0u, GetObjectType(first));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(second));
  }
  EXPECT_EQ(0u, GetObjectType(second));
}
