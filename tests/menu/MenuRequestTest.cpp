// The preview requests that menu construction sends to the main program,
// and the preview drawn from the bitmap the stand-in main program wrote.
#include <gtest/gtest.h>

#include "support/Bitmaps.h"
#include "MenuTestSupport.h"
#include "support/TestSupport.h"

using namespace menutest;
using testsupport::BitmapSize;
using testsupport::Canvas;
using testsupport::MakeBitmapFile;

namespace {

const UINT F = 100;

LONG_PTR Code(HMENU menu) { return static_cast<LONG_PTR>(HandleToLong(menu)); }

class RequestTest : public testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");
    DeleteFileA(PreviewBitmapPath().c_str());
  }
  void TearDown() override {
    DestroyMenu(shell_);
    DeleteFileA(PreviewBitmapPath().c_str());
    testsupport::ResetProgramKey();
  }
  UserSettings settings_;
  std::string picture_ = SampleFile("beach.jpg");
  HMENU shell_ = ShellMenu(2);
};

// The stand-in main program, started for one test and ended with it.
class Standin {
 public:
  Standin() {
    std::string exe = testsupport::ExeDir() + "standin\\Ombrelo.exe";
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    std::string line = "\"" + exe + "\"";
    if (CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &process_)) {
      CloseHandle(process_.hThread);
      testsupport::WaitUntil([] { return FindWindowA("TF_97F624E067B811D292EE000021474C15", nullptr) != nullptr; },
                             std::chrono::seconds(20));
    }
  }
  ~Standin() {
    if (!process_.hProcess) return;
    HWND window = FindWindowA("TF_97F624E067B811D292EE000021474C15", nullptr);
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hProcess);
  }
  bool Running() const { return process_.hProcess && FindWindowA("TF_97F624E067B811D292EE000021474C15", nullptr); }

 private:
  PROCESS_INFORMATION process_{};
};

}  // namespace

TEST_F(RequestTest, PreviewInTheShellMenuIsRequestedForBothMenus) {
  int itemsAtFirstRequest = -1;
  HMENU shell = shell_;
  MainProgramWindow mainProgram([&](const MainProgramWindow::Message& m) {
    if (m.code == Code(shell) && itemsAtFirstRequest < 0) itemsAtFirstRequest = GetMenuItemCount(shell);
  });
  Handler h({picture_});
  h.Query(shell_, 2, F);
  std::vector<MainProgramWindow::Message> sent = mainProgram.Messages();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(Code(shell_), sent[0].code);
  EXPECT_EQ("_" + picture_, sent[0].text);
  EXPECT_EQ(Code(Items(shell_)[3].sub), sent[1].code);
  EXPECT_EQ("+" + picture_, sent[1].text);
  // The first request sees the preview item in place, not yet the closing separator.
  EXPECT_EQ(5, itemsAtFirstRequest);
}

TEST_F(RequestTest, PreviewInTheSubmenuIsRequestedOnceWithTheBarePath) {
  testsupport::SetProgramString(nullptr, "Mainmenu", "false");
  MainProgramWindow mainProgram;
  Handler h({picture_});
  h.Query(shell_, 2, F);
  std::vector<MainProgramWindow::Message> sent = mainProgram.Messages();
  ASSERT_EQ(1u, sent.size());
  EXPECT_EQ(Code(Items(shell_)[3].sub), sent[0].code);
  EXPECT_EQ(picture_, sent[0].text);
}

TEST_F(RequestTest, ADisabledPreviewIsNotRequestedAndSaysSo) {
  testsupport::SetProgramDword(nullptr, "status", 0);
  MainProgramWindow mainProgram;
  // Even a bitmap left from an earlier menu is not shown.
  testsupport::WriteFileBytes(PreviewBitmapPath(), MakeBitmapFile(4, 4, [](int, int) { return RGB(1, 1, 1); }));
  Handler h({picture_});
  h.Query(shell_, 2, F);
  EXPECT_TRUE(mainProgram.Messages().empty());
  Item item = Items(shell_)[4];
  EXPECT_EQ(F + 3, item.id);
  EXPECT_FALSE(item.ownerDraw());
  EXPECT_EQ("[Preview is disabled]", item.text);
  EXPECT_EQ(static_cast<UINT>(MFS_DEFAULT), item.state & (MFS_DEFAULT | MFS_GRAYED));
}

TEST_F(RequestTest, ThePreviewTheStandinWroteIsMeasuredAndDrawn) {
  auto pattern = [](int x, int y) { return RGB(x * 4, y * 5, 128); };
  const std::string photo = SampleFile("photo.bmp", MakeBitmapFile(64, 48, pattern));
  Standin standin;
  ASSERT_TRUE(standin.Running());
  Handler h({photo});
  ASSERT_EQ(60, h.Query(shell_, 2, F));
  Item item = Items(shell_)[4];
  ASSERT_EQ(F + 3, item.id);
  ASSERT_TRUE(item.ownerDraw());

  // What the stand-in wrote, read here on its own.
  HBITMAP written = static_cast<HBITMAP>(
      LoadImageA(nullptr, PreviewBitmapPath().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  ASSERT_NE(nullptr, written);
  const SIZE size = BitmapSize(written);
  EXPECT_EQ(64, size.cx);  // a small picture is not enlarged
  EXPECT_EQ(48, size.cy);

  MEASUREITEMSTRUCT m{};
  m.CtlType = ODT_MENU;
  m.itemID = F + 3;
  LRESULT result = 0;
  EXPECT_EQ(S_OK, h->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&m), &result));
  EXPECT_EQ(static_cast<UINT>(size.cx), m.itemWidth);
  EXPECT_EQ(static_cast<UINT>(size.cy), m.itemHeight);

  const int left = GetSystemMetrics(SM_CXMENUCHECK) + 4;
  Canvas canvas(left + size.cx + 4, size.cy, RGB(0, 0, 0));
  DRAWITEMSTRUCT d{};
  d.CtlType = ODT_MENU;
  d.itemID = F + 3;
  d.hDC = canvas.dc();
  d.rcItem = RECT{0, 0, static_cast<LONG>(m.itemWidth) + left + 4, static_cast<LONG>(m.itemHeight)};
  EXPECT_EQ(S_OK, h->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&d), &result));
  Canvas expected(size.cx, size.cy, RGB(0, 0, 0));
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, written);
  BitBlt(expected.dc(), 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  int wrong = 0;
  for (int y = 0; y < size.cy; ++y)
    for (int x = 0; x < size.cx; ++x)
      if (canvas.At(left + x, y) != expected.At(x, y)) ++wrong;
  EXPECT_EQ(0, wrong);
  EXPECT_EQ(pattern(10, 20), canvas.At(left + 10, 20));
  EXPECT_EQ(GetSysColor(COLOR_MENU), canvas.At(0, 0));
  DeleteObject(written);
}
