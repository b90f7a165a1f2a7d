// The items that show pictures, under the display settings Wine reads when
// a process starts: the display scale (HKCU\Control Panel\Desktop
// "LogPixels", 96 and 192 DPI) and the visual style (Wine's own "Light"
// theme, switched on in HKCU\...\ThemeManager). Each setting is written
// into the prefix, this program runs itself as a child that checks the
// items under it (the DisplayChild tests), and the setting is put back, so
// the other tests of the shared prefix never see it.
#include <windows.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "menu/FolContMenu.h"
#include "menu/OwnerDraw.h"
#include "menu/PreviewFile.h"
#include "server/ModuleState.h"
#include "support/Bitmaps.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using testsupport::Canvas;

namespace {

constexpr char kChildVariable[] = "OMBRELO_DISPLAY_CHILD";
constexpr char kDesktopKey[] = "Control Panel\\Desktop";
constexpr char kThemeKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

// One HKCU value, put back as it was (or removed) at destruction.
class SavedValue {
 public:
  SavedValue(const char* key, const char* name) : key_(key), name_(name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExA(k, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
      data_.emplace(size, '\0');
      RegQueryValueExA(k, name, nullptr, &type_, reinterpret_cast<BYTE*>(data_->data()), &size);
    }
    RegCloseKey(k);
  }
  ~SavedValue() {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
      return;
    if (data_)
      RegSetValueExA(k, name_, 0, type_, reinterpret_cast<const BYTE*>(data_->data()),
                     static_cast<DWORD>(data_->size()));
    else
      RegDeleteValueA(k, name_);
    RegCloseKey(k);
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  const char* key_;
  const char* name_;
  DWORD type_ = REG_NONE;
  std::optional<std::string> data_;
};

void SetValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY k = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size));
  RegCloseKey(k);
}

void SetString(const char* key, const char* name, const std::string& value) {
  SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

// What the child is to find: the display scale and whether the theme is on.
struct Display {
  int dpi = 96;
  bool themed = false;
};

std::optional<Display> ChildDisplay() {
  char text[64] = {};
  if (!GetEnvironmentVariableA(kChildVariable, text, sizeof(text))) return std::nullopt;
  Display d;
  d.dpi = atoi(text);
  d.themed = strstr(text, "theme") != nullptr;
  return d;
}

// Runs this program's DisplayChild tests in a child process that sees
// display; true when they all passed.
bool RunChild(const Display& display) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string value = std::to_string(display.dpi) + (display.themed ? " theme" : "");
  SetEnvironmentVariableA(kChildVariable, value.c_str());
  std::string command = "\"" + std::string(self) + "\" --gtest_filter=DisplayChild.*";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  if (!started) return false;
  DWORD code = 1;
  if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  else TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code == 0;
}

std::string SystemProgram() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\notepad.exe";
}

COLORREF PicturePixel(int x, int y) { return RGB(40 + x, 90, 140 + y); }

// The preview item of a handler, drawn with the designed picture of 20 x 10
// pixels; the test draws it in a rectangle of its own.
class PreviewItem {
 public:
  PreviewItem() {
    EnsureModuleStarted();
    path_ = dir_.path() + "ombrelo.bmp";
    testsupport::WriteFileBytes(path_, testsupport::MakeBitmapFile(20, 10, PicturePixel));
    menu_.PreviewBitmap = ReadPreviewFile(WideFromAnsi(path_));
    menu_.PreviewCommandId = 103;
  }
  void Draw(HDC dc, const RECT& rect, bool selected, UINT action) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_MENU;
    item.itemID = 103;
    item.itemAction = action;
    item.itemState = selected ? ODS_SELECTED : 0;
    item.hDC = dc;
    item.rcItem = rect;
    EXPECT_EQ(S_OK, menu_.DrawPreviewItem(&item));
  }
  static POINT PictureAt(const RECT& rect) {
    return {rect.left + GetSystemMetrics(SM_CXMENUCHECK) + 4, rect.top};
  }

 private:
  testsupport::TempDir dir_;
  std::string path_;
  TFolContMenu menu_{nullptr};
};

const COLORREF kPaper = RGB(9, 200, 30);  // stands for the menu's own background

// The uxtheme of the process: whether a visual style is on, and the menu
// theme's hot item drawn on a canvas.
struct Uxtheme {
  HMODULE module = LoadLibraryA("uxtheme.dll");
  template <class Fn>
  Fn* Get(const char* name) const {
    return reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  bool Active() const {
    auto isActive = Get<decltype(IsThemeActive)>("IsThemeActive");
    return isActive && isActive();
  }
  void DrawHot(HDC dc, const RECT& rect) const {
    HTHEME theme = Get<decltype(OpenThemeData)>("OpenThemeData")(nullptr, VSCLASS_MENU);
    ASSERT_NE(nullptr, theme);
    Get<decltype(DrawThemeBackground)>("DrawThemeBackground")(theme, dc, MENU_POPUPITEM, MPI_HOT, &rect, nullptr);
    Get<decltype(CloseThemeData)>("CloseThemeData")(theme);
  }
};

}  // namespace

// The parent: each display setting in turn, in a child process.
TEST(Display, IconItemsAndThePreviewItemUnderEachDisplaySetting) {
  if (ChildDisplay()) GTEST_SKIP() << "a child runs only the DisplayChild tests";
  const Display displays[] = {{96, false}, {192, false}, {96, true}};
  for (const Display& display : displays) {
    SCOPED_TRACE(std::to_string(display.dpi) + " DPI" + (display.themed ? ", Wine's theme on" : ""));
    SavedValue logPixels(kDesktopKey, "LogPixels");
    SavedValue active(kThemeKey, "ThemeActive"), dll(kThemeKey, "DllName"), colour(kThemeKey, "ColorName"),
        size(kThemeKey, "SizeName");
    const DWORD dpi = static_cast<DWORD>(display.dpi);
    SetValue(kDesktopKey, "LogPixels", REG_DWORD, &dpi, sizeof(dpi));
    if (display.themed) {
      char windows[MAX_PATH] = {};
      GetWindowsDirectoryA(windows, MAX_PATH);
      SetString(kThemeKey, "DllName", std::string(windows) + "\\resources\\themes\\light\\light.msstyles");
      SetString(kThemeKey, "ColorName", "Blue");
      SetString(kThemeKey, "SizeName", "NormalSize");
    }
    SetString(kThemeKey, "ThemeActive", display.themed ? "1" : "0");
    EXPECT_TRUE(RunChild(display));
  }
}

TEST(DisplayChild, IconItemsAreStringItemsWithTheSmallIconOfTheScale) {
  const std::optional<Display> display = ChildDisplay();
  if (!display) GTEST_SKIP() << "runs in the child of Display.IconItemsAndThePreviewItemUnderEachDisplaySetting";
  EnsureModuleStarted();
  FreeIconBitmaps();
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(display->dpi, GetDeviceCaps(screen, LOGPIXELSY)) << "the prefix's display scale";
  ReleaseDC(nullptr, screen);
  const int side = 16 * display->dpi / 96;
  EXPECT_EQ(side, GetSystemMetrics(SM_CXSMICON));

  UniqueMenu menu(CreatePopupMenu());
  ASSERT_TRUE(InsertIconMenuItem(SystemProgram(), "&Notepad", 115, menu.get()));
  char text[64] = {};
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_BITMAP;
  info.dwTypeData = text;
  info.cch = sizeof(text);
  ASSERT_TRUE(GetMenuItemInfoA(menu.get(), 0, TRUE, &info));
  EXPECT_EQ(static_cast<UINT>(MFT_STRING), info.fType & (MFT_BITMAP | MFT_OWNERDRAW | MFT_SEPARATOR));
  EXPECT_STREQ("&Notepad", text);
  DIBSECTION dib{};
  EXPECT_EQ(static_cast<int>(sizeof(dib)), GetObjectA(info.hbmpItem, sizeof(dib), &dib)) << "a DIB section";
  SIZE size{};
  const std::vector<uint32_t> pixels = testsupport::ArgbPixels(info.hbmpItem, &size);
  ASSERT_FALSE(pixels.empty()) << "32 bits a pixel";
  EXPECT_EQ(side, size.cx);
  EXPECT_EQ(side, size.cy);
  // The program's icon as the shell gives it at this scale (under Wine the
  // generic one, whose top-left corner is part of the picture): the bitmap
  // has its transparency, the transparent corners included.
  SIZE iconSize{};
  const std::vector<int> coverage = testsupport::IconCoverage(ProgramSmallIcon(SystemProgram()).get(), &iconSize);
  ASSERT_EQ(side, iconSize.cx);
  ASSERT_EQ(pixels.size(), coverage.size());
  int differing = 0, transparentCorners = 0;
  for (size_t i = 0; i < pixels.size(); ++i) differing += std::abs(static_cast<int>(pixels[i] >> 24) - coverage[i]) > 2;
  EXPECT_EQ(0, differing);
  for (size_t corner : {size_t{0}, size_t(side - 1), size_t(side * (side - 1)), size_t(side * side - 1)})
    transparentCorners += pixels[corner] == 0;
  EXPECT_GE(transparentCorners, 1);
  EXPECT_EQ(255u, pixels[static_cast<size_t>(side / 2 * side + side / 2)] >> 24);
  FreeIconBitmaps();
}

TEST(DisplayChild, ThePreviewItemLeavesAThemedMenusBackgroundAndDrawsTheThemesHotItem) {
  const std::optional<Display> display = ChildDisplay();
  if (!display) GTEST_SKIP() << "runs in the child of Display.IconItemsAndThePreviewItemUnderEachDisplaySetting";
  const Uxtheme uxtheme;
  ASSERT_EQ(display->themed, uxtheme.Active()) << "the prefix's theme setting";
  PreviewItem item;
  const RECT rect{0, 0, 60, 14};
  const POINT picture = PreviewItem::PictureAt(rect);
  // Points of the item outside the picture, and one inside it.
  const POINT outside[] = {{1, 1}, {picture.x - 2, 5}, {58, 12}, {picture.x + 5, 12}};

  struct Case {
    bool selected;
    UINT action;
  } cases[] = {{false, ODA_DRAWENTIRE}, {true, ODA_SELECT}, {false, ODA_SELECT}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected ? "selected" : "not selected");
    Canvas canvas(60, 14, kPaper);
    item.Draw(canvas.dc(), rect, c.selected, c.action);
    Canvas expected(60, 14, kPaper);
    if (display->themed && c.selected) uxtheme.DrawHot(expected.dc(), rect);
    for (POINT p : outside) {
      COLORREF want = expected.At(p.x, p.y);
      if (!display->themed) want = GetSysColor(c.selected ? COLOR_HIGHLIGHT : COLOR_MENU);
      EXPECT_EQ(want, canvas.At(p.x, p.y)) << p.x << "," << p.y;
    }
    // The picture, unscaled at its designed place, in every state.
    EXPECT_EQ(PicturePixel(0, 0), canvas.At(picture.x, picture.y));
    EXPECT_EQ(PicturePixel(19, 9), canvas.At(picture.x + 19, picture.y + 9));
  }
}

TEST(DisplayChild, InAThemedMenuTheMenuRepaintsWhereTheSelectionLeft) {
  const std::optional<Display> display = ChildDisplay();
  if (!display) GTEST_SKIP() << "runs in the child of Display.IconItemsAndThePreviewItemUnderEachDisplaySetting";
  PreviewItem item;
  HWND window = CreateWindowExA(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 80,
                                40, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, window);
  UpdateWindow(window);
  ValidateRect(window, nullptr);
  const RECT rect{0, 10, 60, 24};
  HDC dc = GetDC(window);
  item.Draw(dc, rect, true, ODA_SELECT);
  RECT update{};
  EXPECT_FALSE(GetUpdateRect(window, &update, FALSE)) << "selecting draws, and asks for no repaint";
  item.Draw(dc, rect, false, ODA_SELECT);
  const bool repaint = GetUpdateRect(window, &update, FALSE) != FALSE;
  ReleaseDC(window, dc);
  DestroyWindow(window);
  // Themed: the menu paints its own background where the hot item was;
  // unthemed: the item has filled it with the menu colour itself.
  EXPECT_EQ(display->themed, repaint);
  if (repaint) {
    EXPECT_TRUE(EqualRect(&update, &rect));
  }
}

// A thread that is not DPI aware sees the small-icon size of 96 DPI: what a
// change of the display scale does to the size the menu asks for. Each size
// has bitmaps of its own; back at the first, the first bitmap is kept.
TEST(DisplayChild, AnotherSmallIconSizeGetsNewIconBitmaps) {
  const std::optional<Display> display = ChildDisplay();
  if (!display) GTEST_SKIP() << "runs in the child of Display.IconItemsAndThePreviewItemUnderEachDisplaySetting";
  using SetContext = HANDLE(WINAPI*)(HANDLE);
  const auto setContext = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  if (!setContext) GTEST_SKIP() << "no DPI awareness per thread";
  EnsureModuleStarted();
  FreeIconBitmaps();
  const int scaled = GetSystemMetrics(SM_CXSMICON);
  HBITMAP atScale = ProgramIconItemBitmap(SystemProgram());
  const HANDLE previous = setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1)));  // unaware
  ASSERT_NE(nullptr, previous);
  const int unscaled = GetSystemMetrics(SM_CXSMICON);
  HBITMAP at96 = ProgramIconItemBitmap(SystemProgram());
  setContext(previous);
  ASSERT_NE(nullptr, atScale);
  ASSERT_NE(nullptr, at96);
  EXPECT_EQ(16, unscaled);
  EXPECT_EQ(scaled, testsupport::BitmapSize(atScale).cx);
  EXPECT_EQ(16, testsupport::BitmapSize(at96).cx);
  EXPECT_EQ(scaled == 16, atScale == at96);
  EXPECT_EQ(atScale, ProgramIconItemBitmap(SystemProgram()));
  FreeIconBitmaps();
}
