// The extended message box, answered as a person would: a watcher thread
// finds the real window, reads it, ticks the box and presses a button.
#include <gtest/gtest.h>

#include <array>

#include "dialogs/UExtMsgBox.h"
#include "support/TestSupport.h"
#include "support/Windows.h"

using namespace ombrelo;
using testsupport::Click;
using testsupport::FindChild;
using testsupport::WindowWatcher;

namespace {

// Left, top, right and bottom of a rectangle, comparable and printable.
using Box = std::array<LONG, 4>;
Box B(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
Box B(LONG left, LONG top, LONG right, LONG bottom) { return {left, top, right, bottom}; }

// Where a child window lies in its parent's client area.
RECT ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// The size a text takes in the designed font, measured independently of the form.
SIZE MeasureInDesignedFont(const std::string& text) {
  HFONT font = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_EXPANDTABS | DT_LEFT);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return {r.right - r.left, r.bottom - r.top};
}

struct Seen {
  HWND form = nullptr;
  bool ticked = false;
  bool variableSet = false;
  HWND focus = nullptr, button1 = nullptr, button2 = nullptr, check = nullptr, label = nullptr, image = nullptr;
  RECT outer{}, client{}, labelRect{}, checkRect{}, button1Rect{}, button2Rect{}, imageRect{};
  HWND tabAfterButton1 = nullptr, tabAfterButton2 = nullptr;
  bool hasIcon = false;
};

enum class Answer { First, Second, CloseBox };

// Shows the box with the given texts and answers it; returns the result.
int ShowAndAnswer(const std::string& caption, const std::string& message, bool tick, Answer answer, Seen& seen) {
  WindowWatcher watcher("#32770", caption.c_str(), [&](HWND form) {
    seen.form = form;
    seen.variableSet = FExtMsgBox.load() && FExtMsgBox.load()->Handle() == form;
    seen.button1 = FindChild(form, "Button", "&Start");
    seen.button2 = FindChild(form, "Button", "&Later");
    seen.check = FindChild(form, "Button", "Always");
    seen.label = FindChild(form, "Static", message.c_str());
    seen.image = FindChild(form, "Static", "");
    GUITHREADINFO gui{};
    gui.cbSize = sizeof(gui);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &gui)) seen.focus = gui.hwndFocus;
    GetWindowRect(form, &seen.outer);
    GetClientRect(form, &seen.client);
    if (seen.label) seen.labelRect = ChildRect(seen.label);
    if (seen.check) seen.checkRect = ChildRect(seen.check);
    if (seen.button1) seen.button1Rect = ChildRect(seen.button1);
    if (seen.button2) seen.button2Rect = ChildRect(seen.button2);
    if (seen.image) {
      seen.imageRect = ChildRect(seen.image);
      seen.hasIcon = SendMessageA(seen.image, STM_GETICON, 0, 0) != 0;
    }
    if (seen.button1) seen.tabAfterButton1 = GetNextDlgTabItem(form, seen.button1, FALSE);
    if (seen.button2) seen.tabAfterButton2 = GetNextDlgTabItem(form, seen.button2, FALSE);
    if (seen.check) {
      seen.ticked = SendMessageA(seen.check, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (tick) Click(seen.check);
    }
    switch (answer) {
      case Answer::First:
        if (seen.button1) Click(seen.button1);
        break;
      case Answer::Second:
        if (seen.button2) Click(seen.button2);
        break;
      case Answer::CloseBox:
        PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
  });
  int result = ShowExtMsgBox(caption, message, "Always", "&Start", "&Later");
  EXPECT_TRUE(watcher.Join()) << "the box did not appear";
  return result;
}

}  // namespace

TEST(ExtMsgBox, ResultTellsTheButtonAndTheBoxApart) {
  struct Case {
    bool tick;
    Answer answer;
    int expected;
  };
  const Case cases[] = {{false, Answer::First, 6}, {true, Answer::First, 3}, {true, Answer::Second, 2},
                        {false, Answer::Second, 2}, {true, Answer::CloseBox, 2}};
  int n = 0;
  for (const Case& c : cases) {
    Seen seen;
    std::string caption = "Question ";
    caption += std::to_string(++n);
    EXPECT_EQ(c.expected, ShowAndAnswer(caption, "Start now?", c.tick, c.answer, seen)) << caption;
    EXPECT_FALSE(seen.ticked) << caption << ": the box must start unticked";
    EXPECT_TRUE(seen.variableSet) << caption;
    EXPECT_FALSE(IsWindow(seen.form)) << caption << ": the form must be destroyed within the call";
    EXPECT_EQ(nullptr, FExtMsgBox.load());
  }
}

TEST(ExtMsgBox, OpensWithTheFirstButtonFocusedAndTheSymbolShown) {
  Seen seen;
  ShowAndAnswer("Focus", "Start now?", false, Answer::Second, seen);
  ASSERT_NE(nullptr, seen.button1);
  EXPECT_EQ(seen.button1, seen.focus);
  EXPECT_EQ(seen.button2, seen.tabAfterButton1);
  EXPECT_EQ(seen.check, seen.tabAfterButton2);
  ASSERT_NE(nullptr, seen.image);
  EXPECT_TRUE(seen.hasIcon);
  EXPECT_EQ(B(16, 16, 48, 48), B(seen.imageRect));
  EXPECT_EQ(338, seen.outer.left);
  EXPECT_EQ(234, seen.outer.top);
}

TEST(ExtMsgBox, FitsItselfToTheMessage) {
  const std::string messages[] = {
      "Start now?",
      "To use this function you've to start Ombrelo's mainprogramm.\r\nDo you want to start it now?",
      std::string(60, 'W') + " the widest line\r\nshort"};
  const SIZE oneLine = MeasureInDesignedFont("Start now?");
  int n = 0;
  for (const std::string& message : messages) {
    std::string caption = "Geometry ";
    caption += std::to_string(++n);
    Seen seen;
    ShowAndAnswer(caption, message, false, Answer::Second, seen);
    ASSERT_NE(nullptr, seen.label) << caption;
    const SIZE text = MeasureInDesignedFont(message);
    const int width = std::max(64 + static_cast<int>(text.cx) + 20, 338);
    const int checkTop = 16 + text.cy + 10;
    const int buttonTop = checkTop + 17 + 10;
    const int button1Left = (width - 178) / 2;
    EXPECT_EQ(B(64, 16, 64 + text.cx, 16 + text.cy), B(seen.labelRect)) << caption;
    EXPECT_EQ(width, seen.outer.right - seen.outer.left) << caption;
    EXPECT_EQ(B(64, checkTop, 64 + 289, checkTop + 17), B(seen.checkRect)) << caption;
    EXPECT_EQ(B(button1Left, buttonTop, button1Left + 89, buttonTop + 23), B(seen.button1Rect)) << caption;
    EXPECT_EQ(B(button1Left + 99, buttonTop, button1Left + 99 + 89, buttonTop + 23), B(seen.button2Rect))
        << caption;
    EXPECT_EQ(buttonTop + 23 + 10, seen.client.bottom) << caption;
    switch (n) {
      case 1:
        EXPECT_LT(64 + text.cx + 20, 338);
        EXPECT_EQ(80, seen.button1Rect.left);
        EXPECT_EQ(179, seen.button2Rect.left);
        break;
      case 2:
        EXPECT_EQ(2 * oneLine.cy, text.cy) << "two lines";
        break;
      case 3:
        EXPECT_GT(text.cx, 254);
        EXPECT_GT(seen.outer.right - seen.outer.left, 338);
        break;
    }
  }
}

TEST(ExtMsgBox, TheDllShipsTheSymbolAsA32By32SixteenColourIcon) {
  HMODULE dll = LoadLibraryExA(testsupport::DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, dll);
  HRSRC group = FindResourceA(dll, MAKEINTRESOURCEA(100), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_NE(nullptr, group);
  const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(dll, group)));
  ASSERT_NE(nullptr, dir);
  // Header (reserved, type, count), then per image: width, height, colours, reserved, planes, bits ...
  EXPECT_EQ(1, dir[4] | dir[5] << 8);
  EXPECT_EQ(32, dir[6]);
  EXPECT_EQ(32, dir[7]);
  EXPECT_EQ(16, dir[8]);
  HICON icon = static_cast<HICON>(LoadImageA(dll, MAKEINTRESOURCEA(100), IMAGE_ICON, 32, 32, 0));
  EXPECT_NE(nullptr, icon);
  if (icon) DestroyIcon(icon);
  FreeLibrary(dll);
}

TEST(ExtMsgBox, FormFreesItsWindowFontsAndIcon) {
  HFONT designed = nullptr, replaced = nullptr;
  HICON icon = nullptr;
  HWND window = nullptr;
  {
    TFExtMsgBox form(nullptr);
    designed = form.FontHandle();
    form.Font().SetString("Name", "Arial");  // a new font handle; the old one goes
    replaced = form.FontHandle();
    EXPECT_NE(designed, replaced);
    EXPECT_EQ(0u, GetObjectType(designed));
    icon = form.Image1->Icon();
    window = form.Handle();
    EXPECT_NE(nullptr, icon);
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(0u, GetObjectType(replaced));
  ICONINFO info{};
  EXPECT_FALSE(GetIconInfo(icon, &info));
}
