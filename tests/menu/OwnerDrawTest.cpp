// Icon items of the open-with submenu and the preview bitmap, drawn for real.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/Bitmaps.h"
#include "support/GdiCount.h"
#include "common/Handles.h"
#include "menu/OwnerDraw.h"
#include "menu/PreviewFile.h"
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

// The pixels of a 32-bit bitmap, alpha byte included, as 0xAARRGGBB top down.
struct ArgbPixels {
  SIZE size{};
  std::vector<uint32_t> bits;
  uint32_t At(int x, int y) const { return bits[static_cast<size_t>(y * size.cx + x)]; }
  static int Alpha(uint32_t p) { return static_cast<int>(p >> 24); }
};

ArgbPixels PixelsOf(HBITMAP bitmap) {
  ArgbPixels p;
  DIBSECTION dib{};
  if (GetObjectA(bitmap, sizeof(dib), &dib) != sizeof(dib)) return p;  // not a DIB section
  p.bits = testsupport::ArgbPixels(bitmap, &p.size);
  return p;
}

// Every colour channel of a premultiplied pixel is at most its alpha.
bool Premultiplied(uint32_t p) {
  const uint32_t a = p >> 24;
  return ((p >> 16) & 0xFF) <= a && ((p >> 8) & 0xFF) <= a && (p & 0xFF) <= a;
}

// A bitmap for a menu item: a 32-bit DIB section of the size, premultiplied
// and opaque somewhere. Without a reference icon its four corners are
// transparent; with one (of the same size) every pixel is as transparent
// as the icon's.
void ExpectItemBitmap(HBITMAP bitmap, SIZE size, HICON reference = nullptr) {
  const ArgbPixels p = PixelsOf(bitmap);
  ASSERT_FALSE(p.bits.empty()) << "not a 32-bit DIB section";
  EXPECT_EQ(size.cx, p.size.cx);
  EXPECT_EQ(size.cy, p.size.cy);
  if (p.size.cx != size.cx || p.size.cy != size.cy) return;
  if (reference) {
    SIZE iconSize{};
    const std::vector<int> coverage = testsupport::IconCoverage(reference, &iconSize);
    ASSERT_EQ(size.cx, iconSize.cx) << "the program's icon at the small-icon size";
    int differing = 0, transparentCorners = 0;
    for (int y = 0; y < size.cy; ++y)
      for (int x = 0; x < size.cx; ++x)
        if (std::abs(ArgbPixels::Alpha(p.At(x, y)) - coverage[static_cast<size_t>(y * size.cx + x)]) > 2) ++differing;
    EXPECT_EQ(0, differing) << "pixels whose transparency is not the icon's";
    for (POINT c : {POINT{0, 0}, POINT{size.cx - 1, 0}, POINT{0, size.cy - 1}, POINT{size.cx - 1, size.cy - 1}})
      transparentCorners += p.At(c.x, c.y) == 0;
    EXPECT_GT(transparentCorners, 0);
  } else {
    for (POINT c : {POINT{0, 0}, POINT{size.cx - 1, 0}, POINT{0, size.cy - 1}, POINT{size.cx - 1, size.cy - 1}})
      EXPECT_EQ(0u, p.At(c.x, c.y)) << "corner " << c.x << "," << c.y;
  }
  bool opaque = false, premultiplied = true;
  for (int y = 0; y < p.size.cy; ++y)
    for (int x = 0; x < p.size.cx; ++x) {
      opaque |= ArgbPixels::Alpha(p.At(x, y)) == 255;
      premultiplied &= Premultiplied(p.At(x, y));
    }
  EXPECT_TRUE(opaque);
  EXPECT_TRUE(premultiplied);
}

size_t CachedIcons() {
  return WithIconCache([](IconBitmapCache& c) { return c.Count(); });
}

bool IsBitmap(HBITMAP bitmap) { return GetObjectType(bitmap) == OBJ_BITMAP; }

// The icon bitmaps of programs, asked for on a thread of its own once go is set.
struct ThreadRun {
  const std::vector<std::string>* programs;
  HANDLE go;
  std::vector<HBITMAP> bitmaps;
};

DWORD WINAPI IconsOnAThread(void* parameter) {
  ThreadRun* run = static_cast<ThreadRun*>(parameter);
  WaitForSingleObject(run->go, 10000);
  IconItemCanvas canvas;  // a menu's canvas, one per thread
  for (const std::string& program : *run->programs) run->bitmaps.push_back(ProgramIconItemBitmap(program, &canvas));
  return 0;
}

class IconItems : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    FreeIconBitmaps();
  }
  void TearDown() override { FreeIconBitmaps(); }
  // Programs that exist (their icons are those of their type).
  std::vector<std::string> Programs(int count) {
    std::vector<std::string> programs;
    for (int i = 0; i < count; ++i) {
      programs.push_back(dir_.path() + "program" + std::to_string(i) + ".txt");
      testsupport::WriteFileBytes(programs.back(), "a program");
    }
    return programs;
  }
  UniqueMenu menu_{CreatePopupMenu()};
  testsupport::TempDir dir_;
};

// An icon of 16 x 16 with its corners transparent, an opaque red middle and
// one pixel (8, 1) half covered in blue, made as colour and mask (32 bits
// with alpha, 24 bits with a mask) or as a monochrome icon (black middle).
UniqueIcon TestIcon(int colourBits) {
  const int n = 16;
  auto inside = [](int x, int y) { return x >= 2 && x < 14 && y >= 2 && y < 14; };
  std::vector<BYTE> mask(n * n / 8, 0xFF);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      if (inside(x, y) || (colourBits == 32 && x == 8 && y == 1)) mask[y * 2 + x / 8] &= ~(0x80 >> (x % 8));
  if (colourBits == 1) {
    std::vector<BYTE> black(n * n / 8, 0x00);
    return UniqueIcon(CreateIcon(nullptr, n, n, 1, 1, mask.data(), black.data()));
  }
  BITMAPV5HEADER h{};
  h.bV5Size = sizeof(h);
  h.bV5Width = n;
  h.bV5Height = -n;
  h.bV5Planes = 1;
  h.bV5BitCount = static_cast<WORD>(colourBits == 32 ? 32 : 24);
  h.bV5Compression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  UniqueBitmap colour(CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, &bits, nullptr, 0));
  ReleaseDC(nullptr, screen);
  const int stride = colourBits == 32 ? n * 4 : (n * 3 + 3) / 4 * 4;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      BYTE* px = static_cast<BYTE*>(bits) + y * stride + x * (colourBits == 32 ? 4 : 3);
      if (inside(x, y)) px[0] = 0, px[1] = 0, px[2] = 255;  // red, opaque
      if (colourBits == 32) px[3] = inside(x, y) ? 255 : 0;
      if (colourBits == 32 && x == 8 && y == 1) px[0] = 255, px[1] = 0, px[2] = 0, px[3] = 128;  // blue, half
    }
  UniqueBitmap maskBitmap(CreateBitmap(n, n, 1, 1, mask.data()));
  ICONINFO info{TRUE, 0, 0, maskBitmap.get(), colour.get()};
  return UniqueIcon(CreateIconIndirect(&info));
}

}  // namespace

TEST_F(IconItems, AProgramWithAnIconGetsAStringItemWithTheIconAsAlphaBitmap) {
  const std::string caption = "&Notepad";
  ASSERT_TRUE(InsertIconMenuItem(SystemProgram(), caption, 115, menu_.get()));
  ASSERT_EQ(1, GetMenuItemCount(menu_.get()));
  MenuItem item = ItemAt(menu_.get(), 0);
  EXPECT_EQ(static_cast<UINT>(MFT_STRING), item.type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW));
  EXPECT_EQ(caption, item.text);
  EXPECT_EQ(115u, item.id);
  ASSERT_NE(nullptr, item.bitmap);

  EXPECT_EQ(1u, CachedIcons());
  // Under Wine every program has the shell's generic icon, whose top-left
  // corner is part of the picture: the bitmap keeps each pixel's transparency.
  ExpectItemBitmap(item.bitmap, {GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)},
                   ProgramSmallIcon(SystemProgram()).get());
}

TEST_F(IconItems, AMissingProgramGetsAPlainTextItem) {
  ASSERT_TRUE(InsertIconMenuItem("C:\\no\\such\\program.exe", "Gone", 116, menu_.get()));
  MenuItem item = ItemAt(menu_.get(), 0);
  EXPECT_EQ(static_cast<UINT>(MFT_STRING), item.type & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW));
  EXPECT_EQ("Gone", item.text);
  EXPECT_EQ(116u, item.id);
  EXPECT_EQ(nullptr, item.bitmap);
  EXPECT_EQ(0u, CachedIcons());
}

TEST_F(IconItems, TempEntriesGetNoItemAndLaterEntriesKeepTheirIdentifiers) {
  EXPECT_FALSE(InsertIconMenuItem("temp", "Temporary", 115, menu_.get()));
  EXPECT_TRUE(InsertIconMenuItem("Temp", "Other case", 116, menu_.get()));  // only the exact word
  ASSERT_EQ(1, GetMenuItemCount(menu_.get()));
  EXPECT_EQ(116u, ItemAt(menu_.get(), 0).id);
}

TEST_F(IconItems, EveryKindOfIconBecomesAPremultipliedAlphaBitmap) {
  struct Case {
    int colourBits;
    uint32_t middle;  // the pixel at (6, 6)
  } cases[] = {{32, 0xFFFF0000u}, {24, 0xFFFF0000u}, {1, 0xFF000000u}};
  UniqueDc dc(CreateCompatibleDC(nullptr));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colourBits);
    UniqueIcon icon = TestIcon(c.colourBits);
    ASSERT_TRUE(icon);
    for (int side : {16, 32, 20}) {
      SCOPED_TRACE(side);
      UniqueBitmap bitmap = MakeAlphaIconBitmap(icon.get(), {side, side}, dc.get());
      ASSERT_TRUE(bitmap);
      ExpectItemBitmap(bitmap.get(), {side, side});
      const ArgbPixels p = PixelsOf(bitmap.get());
      ASSERT_FALSE(p.bits.empty());
      EXPECT_EQ(c.middle, p.At(side * 6 / 16, side * 6 / 16));
      if (c.colourBits == 32 && side == 16) {
        // Half covered: alpha and colour halved, within rounding.
        const uint32_t half = p.At(8, 1);
        EXPECT_NEAR(128, ArgbPixels::Alpha(half), 2);
        EXPECT_NEAR(128, static_cast<int>(half & 0xFF), 2);
        EXPECT_EQ(0u, half & 0x00FFFF00u);
      }
    }
  }
  EXPECT_FALSE(MakeAlphaIconBitmap(nullptr, {16, 16}, dc.get()));
  EXPECT_FALSE(MakeAlphaIconBitmap(TestIcon(32).get(), {0, 16}, dc.get()));
  EXPECT_EQ(0u, CachedIcons());  // made, not kept
}

TEST_F(IconItems, ItemBitmapsTakeTheSmallIconSizeAndAProgramsIsPaintedOnce) {
  UniqueIcon icon = TestIcon(32);
  UniqueBitmap first = PaintIconItem(icon.get());
  IconItemCanvas canvas;
  const SIZE small{GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
  UniqueBitmap second = canvas.Paint(icon.get(), small);
  HBITMAP third = ProgramIconItemBitmap(SystemProgram(), &canvas);
  EXPECT_EQ(nullptr, ProgramIconItemBitmap("C:\\no\\such\\program.exe"));
  UniqueIcon programIcon = ProgramSmallIcon(SystemProgram());
  for (HBITMAP bitmap : {first.get(), second.get(), third}) {
    ASSERT_NE(nullptr, bitmap);
    ExpectItemBitmap(bitmap, small, bitmap == third ? programIcon.get() : nullptr);
  }
  // The same program in later menus, in another case, without a canvas.
  NextIconMenu();
  std::string upper = SystemProgram();
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(third, ProgramIconItemBitmap(upper));
  EXPECT_EQ(1u, CachedIcons());
}

TEST_F(IconItems, AProgramWhoseFileChangesGetsABitmapOfItsNewIcon) {
  const std::string program = dir_.path() + "tool.exe";
  const SIZE small{GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)};
  struct Change {
    const char* what;
    const char* contents;
    int hoursLater;  // last write set this much after the first version's
  } changes[] = {{"first", "version 1", 0}, {"another size", "version 2.0", 0}, {"another time", "version 3.0", 1}};
  FILETIME first{};
  HBITMAP before = nullptr;
  for (const Change& c : changes) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFileBytes(program, c.contents);
    UniqueFile file(CreateFileA(program.c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    ASSERT_TRUE(file);
    if (!before) GetFileTime(file.get(), nullptr, nullptr, &first);
    ULARGE_INTEGER t{{first.dwLowDateTime, first.dwHighDateTime}};
    t.QuadPart += c.hoursLater * 36000000000ULL;
    const FILETIME written{t.LowPart, t.HighPart};
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &written));
    file.reset();
    NextIconMenu();
    HBITMAP bitmap = ProgramIconItemBitmap(program);
    ASSERT_NE(nullptr, bitmap);
    EXPECT_NE(before, bitmap);
    EXPECT_EQ(bitmap, ProgramIconItemBitmap(program)) << "unchanged: the bitmap kept";
    // The icon the shell gives now (under Wine the same generic one each time).
    ExpectItemBitmap(bitmap, small, ProgramSmallIcon(program).get());
    before = bitmap;
  }
}

TEST_F(IconItems, AtMost64ProgramsAreKeptAndAMenusBitmapsOutliveIt) {
  const std::vector<std::string> programs = Programs(100);
  ProgramSmallIcon(programs[0]);  // the shell's own caches fill first
  const testsupport::GuiResources empty = testsupport::CountGuiResources();
  // One menu with 70 programs: all its bitmaps stay valid while it may be
  // shown, though only 64 are kept.
  NextIconMenu();
  std::vector<HBITMAP> shown;
  for (int i = 0; i < 70; ++i) shown.push_back(ProgramIconItemBitmap(programs[i]));
  EXPECT_EQ(70, std::count_if(shown.begin(), shown.end(), IsBitmap));
  EXPECT_EQ(64u, CachedIcons());
  NextIconMenu();  // the next menu: the six least recently used leave
  EXPECT_EQ(0, std::count_if(shown.begin(), shown.begin() + 6, IsBitmap));
  EXPECT_EQ(64, std::count_if(shown.begin() + 6, shown.end(), IsBitmap));
  // Menus of five programs each, through all 100 and round again.
  for (int i = 0; i < 200; ++i) {
    if (i % 5 == 0) NextIconMenu();
    ASSERT_NE(nullptr, ProgramIconItemBitmap(programs[i % 100]));
  }
  EXPECT_EQ(64u, CachedIcons());
  const testsupport::GuiResources after = testsupport::CountGuiResources();
  EXPECT_EQ(empty.bitmaps + 64, after.bitmaps) << empty.Describe() << " -> " << after.Describe();
  EXPECT_EQ(empty.gdi + 64, after.gdi);
  FreeIconBitmaps();
  EXPECT_EQ(empty.gdi, testsupport::CountGuiResources().gdi);
}

TEST_F(IconItems, TwoThreadsAtOnceShareOneBitmapPerProgram) {
  const std::vector<std::string> programs = Programs(20);
  ProgramSmallIcon(programs[0]);  // the shell's own caches fill first
  const testsupport::GuiResources empty = testsupport::CountGuiResources();
  UniqueKernelHandle go(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ThreadRun runs[2] = {{&programs, go.get(), {}}, {&programs, go.get(), {}}};
  UniqueKernelHandle threads[2] = {UniqueKernelHandle(CreateThread(nullptr, 0, IconsOnAThread, &runs[0], 0, nullptr)),
                                   UniqueKernelHandle(CreateThread(nullptr, 0, IconsOnAThread, &runs[1], 0, nullptr))};
  ASSERT_TRUE(threads[0] && threads[1]);
  SetEvent(go.get());
  for (const UniqueKernelHandle& t : threads) ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t.get(), 60000));
  ASSERT_EQ(programs.size(), runs[0].bitmaps.size());
  EXPECT_EQ(runs[0].bitmaps, runs[1].bitmaps) << "the bitmap the cache kept, for both";
  EXPECT_EQ(20, std::count_if(runs[0].bitmaps.begin(), runs[0].bitmaps.end(), IsBitmap));
  EXPECT_EQ(20u, CachedIcons());
  EXPECT_EQ(empty.bitmaps + 20, testsupport::CountGuiResources().bitmaps) << "a bitmap painted twice is deleted";
}

class PreviewFile : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    path_ = dir_.path() + "ombrelo.bmp";
  }
  UniqueBitmap Read() const { return ReadPreviewFile(WideFromAnsi(path_)); }
  testsupport::TempDir dir_;
  std::string path_;
};

TEST_F(PreviewFile, MissingOrUnreadableGivesNoPicture) {
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
    EXPECT_FALSE(Read()) << c.what;
  }
  DeleteFileA(path_.c_str());
  EXPECT_FALSE(Read());
  // A folder where the file should be is no picture either.
  ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
  EXPECT_FALSE(Read());
  RemoveDirectoryA(path_.c_str());
}

// A file unchanged across the request is an earlier picture's; written
// anew (or only given a new write time) it is the request's.
TEST_F(PreviewFile, AVersionLeftUnchangedIsNotTaken) {
  testsupport::WriteFileBytes(path_, testsupport::MakeBitmapFile(4, 4, Pattern));
  const PreviewFileVersion before = PreviewFileVersionAt(WideFromAnsi(path_));
  ASSERT_TRUE(before.Exists);
  EXPECT_FALSE(ReadPreviewFile(WideFromAnsi(path_), before));
  testsupport::RenewFile(path_);
  EXPECT_TRUE(ReadPreviewFile(WideFromAnsi(path_), before));
  EXPECT_FALSE(PreviewFileVersionAt(WideFromAnsi(dir_.path() + "missing.bmp")).Exists);
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
  UniqueBitmap bitmap = Read();
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(4, testsupport::BitmapSize(bitmap.get()).cx);
  EXPECT_EQ(RGB(60, 50, 40), Canvas::BitmapPixel(bitmap.get(), 0, 0));
  EXPECT_EQ(RGB(30, 20, 10), Canvas::BitmapPixel(bitmap.get(), 3, 0));
}
