// Icon items of the open-with submenu and the preview bitmap, drawn for real.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/Bitmaps.h"
#include "common/Handles.h"
#include "menu/OwnerDraw.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using testsupport::Canvas;

namespace {

const COLORREF kPaper = RGB(1, 2, 3);

COLORREF Pattern(int x, int y) { return RGB(x * 20, y * 30, 200); }

std::string SystemProgram() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\notepad.exe";
}

SIZE CaptionExtent(const std::string& caption) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Globals().MenuFont);
  SIZE size{};
  GetTextExtentPointA(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
  SelectObject(dc, old);
  DeleteDC(dc);
  return size;
}

struct MenuItem {
  UINT type = 0;
  UINT id = 0;
  std::string text;
  HBITMAP bitmap = nullptr;
};

MenuItem ItemAt(HMENU menu, int pos) {
  char text[1100] = {};
  MENUITEMINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_BITMAP;
  info.dwTypeData = text;
  info.cch = sizeof(text);
  EXPECT_TRUE(GetMenuItemInfoA(menu, pos, TRUE, &info));
  return MenuItem{info.fType, info.wID, text, info.hbmpItem};
}

bool HasInkIn(HBITMAP bitmap, int left, int right, int height) {
  SIZE size = testsupport::BitmapSize(bitmap);
  Canvas canvas(size.cx, size.cy, RGB(0, 0, 0));
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(canvas.dc(), 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  const COLORREF menu = GetSysColor(COLOR_MENU);
  for (int y = 0; y < height; ++y)
    for (int x = left; x < right; ++x)
      if (canvas.At(x, y) != menu) return true;
  return false;
}

class IconItems : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    FreeMenuBitmaps(true);
  }
  void TearDown() override { FreeMenuBitmaps(true); }
  UniqueMenu menu_{CreatePopupMenu()};
};

}  // namespace

TEST_F(IconItems, AProgramWithAnIconGetsIconAndCaptionOnMenuColour) {
  const std::string caption = "Notepad";
  ASSERT_TRUE(InsertIconMenuItem(SystemProgram(), caption, 115, menu_.get()));
  ASSERT_EQ(1, GetMenuItemCount(menu_.get()));
  MenuItem item = ItemAt(menu_.get(), 0);
  EXPECT_TRUE(item.type & MFT_BITMAP);
  EXPECT_EQ(115u, item.id);
  ASSERT_NE(nullptr, item.bitmap);

  SharedState s = SnapshotState();
  ASSERT_EQ(1, s.MenuBitmapCount);
  EXPECT_EQ(item.bitmap, s.MenuBitmaps[0]);

  const int icon = GetSystemMetrics(SM_CXSMICON);
  const SIZE text = CaptionExtent(caption);
  const SIZE size = testsupport::BitmapSize(item.bitmap);
  EXPECT_EQ(text.cx + icon + 16, size.cx);
  EXPECT_EQ(std::max<int>(text.cy, icon) + 2, size.cy);
  EXPECT_EQ(GetSysColor(COLOR_MENU), Canvas::BitmapPixel(item.bitmap, 0, 0));
  EXPECT_TRUE(HasInkIn(item.bitmap, 2, 2 + icon, size.cy)) << "icon";
  EXPECT_TRUE(HasInkIn(item.bitmap, icon + 10, size.cx, size.cy)) << "caption";
  EXPECT_FALSE(HasInkIn(item.bitmap, size.cx - 4, size.cx, size.cy)) << "right margin";
}

TEST_F(IconItems, AMissingProgramGetsAPlainTextItem) {
  ASSERT_TRUE(InsertIconMenuItem("C:\\no\\such\\program.exe", "Gone", 116, menu_.get()));
  MenuItem item = ItemAt(menu_.get(), 0);
  EXPECT_EQ(static_cast<UINT>(MFT_STRING), item.type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW));
  EXPECT_EQ("Gone", item.text);
  EXPECT_EQ(116u, item.id);
  EXPECT_EQ(0, SnapshotState().MenuBitmapCount);
}

TEST_F(IconItems, TempEntriesGetNoItemAndLaterEntriesKeepTheirIdentifiers) {
  EXPECT_FALSE(InsertIconMenuItem("temp", "Temporary", 115, menu_.get()));
  EXPECT_TRUE(InsertIconMenuItem("Temp", "Other case", 116, menu_.get()));  // only the exact word
  ASSERT_EQ(1, GetMenuItemCount(menu_.get()));
  EXPECT_EQ(116u, ItemAt(menu_.get(), 0).id);
}

TEST_F(IconItems, AMonochromeIconTakesItsSizeFromItsMask) {
  BYTE andBits[24 * 24 / 8], xorBits[24 * 24 / 8];
  memset(andBits, 0x00, sizeof(andBits));
  memset(xorBits, 0xFF, sizeof(xorBits));
  UniqueIcon icon(CreateIcon(nullptr, 24, 24, 1, 1, andBits, xorBits));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon.get(), &info));
  UniqueBitmap mask(info.hbmMask), color(info.hbmColor);
  ASSERT_FALSE(color) << "not a monochrome icon";

  HBITMAP bitmap = PaintIconItem(icon.get(), "Mono");
  ASSERT_NE(nullptr, bitmap);
  const SIZE text = CaptionExtent("Mono");
  EXPECT_EQ(text.cx + 24 + 16, testsupport::BitmapSize(bitmap).cx);
  EXPECT_EQ(std::max<int>(text.cy, 24) + 2, testsupport::BitmapSize(bitmap).cy);
  EXPECT_EQ(1, SnapshotState().MenuBitmapCount);
}

class PreviewFile : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    path_ = dir_.path() + "ombrelo.bmp";
    WithState([&](SharedState& s) { s.PreviewBitmapPath = path_; });
  }
  void TearDown() override {
    WithState([](SharedState& s) { s.PreviewBitmapPath.clear(); });
  }
  testsupport::TempDir dir_;
  std::string path_;
};

TEST_F(PreviewFile, MissingOrUnreadableDrawsNothing) {
  const std::string good = testsupport::MakeBitmapFile(4, 4, Pattern);
  auto withField = [&](size_t offset, uint32_t value) {
    std::string bytes = good;
    memcpy(&bytes[offset], &value, sizeof(value));
    return bytes;
  };
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "this is not a picture at all, just words"},
      {"truncated pixels", good.substr(0, good.size() - 10)},
      {"truncated header", good.substr(0, 30)},
      {"wrong magic", "XY" + good.substr(2)},
      {"huge width", withField(18, 100000)},
      {"width beyond the data", withField(18, 4000)},
      {"pixels beyond the file", withField(10, 5000)},
      {"zero height", withField(22, 0)},
      {"unknown compression", withField(30, 77)},
  };
  for (const Case& c : cases) {
    testsupport::WriteFileBytes(path_, c.bytes);
    EXPECT_FALSE(LoadBitmapFile(path_)) << c.what;
    Canvas canvas(10, 10, kPaper);
    DrawPreviewBitmap(canvas.dc(), 0, 0);
    EXPECT_EQ(kPaper, canvas.At(0, 0)) << c.what;
    EXPECT_EQ(kPaper, canvas.At(3, 3)) << c.what;
  }
  DeleteFileA(path_.c_str());
  Canvas canvas(10, 10, kPaper);
  DrawPreviewBitmap(canvas.dc(), 0, 0);
  EXPECT_EQ(kPaper, canvas.At(0, 0));
}

TEST_F(PreviewFile, PaletteAndCompressedBitmapsLoad) {
  // 8 bits per pixel, two palette colours, run-length encoded: a 4 x 1 picture
  // of two pixels of colour 1 and two of colour 0.
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  const RGBQUAD palette[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  const unsigned char rle[] = {2, 1, 2, 0, 0, 1};
  ih.biSize = sizeof(ih);
  ih.biWidth = 4;
  ih.biHeight = 1;
  ih.biPlanes = 1;
  ih.biBitCount = 8;
  ih.biCompression = BI_RLE8;
  ih.biSizeImage = sizeof(rle);
  ih.biClrUsed = 2;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih) + sizeof(palette);
  fh.bfSize = fh.bfOffBits + sizeof(rle);
  std::string bytes(reinterpret_cast<char*>(&fh), sizeof(fh));
  bytes.append(reinterpret_cast<char*>(&ih), sizeof(ih));
  bytes.append(reinterpret_cast<const char*>(palette), sizeof(palette));
  bytes.append(reinterpret_cast<const char*>(rle), sizeof(rle));
  testsupport::WriteFileBytes(path_, bytes);
  UniqueBitmap bitmap = LoadBitmapFile(path_);
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(4, testsupport::BitmapSize(bitmap.get()).cx);
  EXPECT_EQ(RGB(60, 50, 40), Canvas::BitmapPixel(bitmap.get(), 0, 0));
  EXPECT_EQ(RGB(30, 20, 10), Canvas::BitmapPixel(bitmap.get(), 3, 0));
}
