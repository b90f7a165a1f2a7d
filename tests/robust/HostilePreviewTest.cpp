// Hostile preview bitmaps: whatever lies at the preview path - truncated,
// mutated or compressed files with random data, a header that claims 65535 x
// 65535 pixels, a file of 200 MB, something that is no bitmap - loading and
// drawing it neither crashes nor reads past the file. Files too large, left
// from an earlier picture, replaced once the menu was built, or links
// elsewhere give no picture or the one the item was measured with.
#include <gtest/gtest.h>

#include <cstring>

#include "RobustSupport.h"
#include "support/Bitmaps.h"
#include "support/FileLinks.h"
#include "menu/FolContMenu.h"
#include "menu/OwnerDraw.h"
#include "menu/PreviewFile.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using namespace robust;

namespace {

struct Format {
  WORD bits;
  DWORD compression;
};
const Format kFormats[] = {{1, BI_RGB},  {4, BI_RGB},         {8, BI_RGB},         {16, BI_RGB},  {24, BI_RGB},
                           {32, BI_RGB}, {16, BI_BITFIELDS}, {32, BI_BITFIELDS}, {8, BI_RLE8}, {4, BI_RLE4}};

// A bitmap file of the format with random pixels (for the compressed
// formats: a random run-length stream).
std::string RandomBitmap(Rng& rng, const Format& f) {
  const int width = Between(rng, 1, 40), height = Between(rng, 1, 30);
  const bool topDown = f.compression != BI_RLE8 && f.compression != BI_RLE4 && Chance(rng, 30);
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof(ih);
  ih.biWidth = width;
  ih.biHeight = topDown ? -height : height;
  ih.biPlanes = 1;
  ih.biBitCount = f.bits;
  ih.biCompression = f.compression;
  const size_t colours = f.bits <= 8 ? (size_t{1} << f.bits) : 0;
  const size_t masks = f.compression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0;
  std::string pixels;
  if (f.compression == BI_RLE8 || f.compression == BI_RLE4) {
    pixels = RandomBytes(rng, static_cast<size_t>(Between(rng, 0, 300)));
    ih.biSizeImage = static_cast<DWORD>(pixels.size());
  } else {
    const size_t stride = (static_cast<size_t>(width) * f.bits + 31) / 32 * 4;
    pixels = RandomBytes(rng, stride * static_cast<size_t>(height));
  }
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = static_cast<DWORD>(sizeof(fh) + sizeof(ih) + masks + colours * sizeof(RGBQUAD));
  fh.bfSize = static_cast<DWORD>(fh.bfOffBits + pixels.size());
  std::string file(reinterpret_cast<const char*>(&fh), sizeof(fh));
  file.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
  if (masks) {
    const DWORD m[3] = {f.bits == 16 ? 0x7C00u : 0xFF0000u, f.bits == 16 ? 0x03E0u : 0xFF00u, f.bits == 16 ? 0x1Fu : 0xFFu};
    file.append(reinterpret_cast<const char*>(m), sizeof(m));
  }
  file += RandomBytes(rng, colours * sizeof(RGBQUAD));
  return file + pixels;
}

// Changes a few bytes of the headers, cuts the file or adds to it.
std::string Mutate(Rng& rng, std::string file) {
  const int changes = Between(rng, 0, 4);
  for (int i = 0; i < changes && !file.empty(); ++i) {
    const size_t at = static_cast<size_t>(Between(rng, 0, std::min<int>(static_cast<int>(file.size()) - 1, 70)));
    if (Chance(rng, 50)) {
      file[at] = static_cast<char>(Between(rng, 0, 255));
    } else {
      const uint32_t extreme[] = {0, 1, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 65535, 16385};
      const uint32_t v = extreme[Between(rng, 0, 6)];
      std::memcpy(&file[at], &v, std::min<size_t>(4, file.size() - at));
    }
  }
  if (Chance(rng, 20)) file.resize(static_cast<size_t>(Between(rng, 0, static_cast<int>(file.size()))));
  if (Chance(rng, 10)) file += RandomBytes(rng, static_cast<size_t>(Between(rng, 1, 100)));
  return file;
}

std::string ClaimingHeader(int width, int height) {
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  ih.biSize = sizeof(ih);
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  std::string file(reinterpret_cast<const char*>(&fh), sizeof(fh));
  file.append(reinterpret_cast<const char*>(&ih), sizeof(ih));
  return file + std::string(4096, '\x55');
}

class HostilePreview : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    path_ = dir_.path() + "ombrelo.bmp";
  }
  UniqueBitmap Read(const PreviewFileVersion& before = {}) const {
    return ReadPreviewFile(WideFromAnsi(path_), before);
  }
  // Reads and draws the file at the preview path; a bitmap read has a plausible size.
  void LoadAndDraw(const std::string& what) {
    UniqueBitmap bitmap = Read();
    if (bitmap) {
      const SIZE size = testsupport::BitmapSize(bitmap.get());
      EXPECT_GT(size.cx, 0) << what;
      EXPECT_LE(size.cx, kMaxPreviewSide) << what;
      EXPECT_LE(size.cy, kMaxPreviewSide) << what;
    }
    testsupport::Canvas canvas(64, 48, RGB(1, 2, 3));
    DrawPreviewBitmap(canvas.dc(), bitmap.get(), 4, 4);
  }
  // A sparse file: the bitmap's bytes, then zeros up to size.
  void WriteSparse(const std::string& bytes, LONGLONG size) {
    UniqueFile file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = size;
    SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
  }
  testsupport::TempDir dir_;
  std::string path_;
};

COLORREF Shade(int seed) { return RGB(seed * 37 % 256, seed * 91 % 256, seed * 53 % 256); }

}  // namespace

TEST_F(HostilePreview, MutatedAndRandomBitmapsLoadOrAreRefused) {
  Rng rng = CaseRng();
  const int rounds = Rounds(1500);
  for (int round = 0; round < rounds; ++round) {
    const Format& f = kFormats[Between(rng, 0, static_cast<int>(std::size(kFormats)) - 1)];
    std::string file = RandomBitmap(rng, f);
    if (Chance(rng, 70)) file = Mutate(rng, file);
    testsupport::WriteFileBytes(path_, file);
    LoadAndDraw("round " + std::to_string(round));
    if (HasFailure()) break;
  }
}

TEST_F(HostilePreview, ClaimedHugeSizesAndNonBitmapsAreRefused) {
  const struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"65535 x 65535", ClaimingHeader(65535, 65535)},
      {"65535 x -65535", ClaimingHeader(65535, -65535)},
      {"1 x 65535", ClaimingHeader(1, 65535)},
      {"only the magic", "BM"},
      {"a PNG signature", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(200, '\0')},
  };
  for (const Case& c : cases) {
    testsupport::WriteFileBytes(path_, c.bytes);
    EXPECT_FALSE(Read()) << c.what;
    LoadAndDraw(c.what);
  }
}

// A file of 200 MB (sparse, so it is made at once) is refused without
// reading it into the shell's memory.
TEST_F(HostilePreview, AHugeFileIsRefusedUnread) {
  WriteSparse(testsupport::MakeBitmapFile(8, 8, [](int, int) { return RGB(9, 9, 9); }), 200LL * 1024 * 1024);

  const size_t before = testsupport::PrivateBytes();
  EXPECT_FALSE(Read());
  LoadAndDraw("200 MB");
  EXPECT_LT(testsupport::PrivateBytes(), before + 16 * 1024 * 1024);
  DeleteFileA(path_.c_str());
}

// The planted cases, drawn at random: a picture beyond 1,024 pixels a side
// or a file beyond 8 MiB; a picture the request did not write; a picture
// replaced (larger, elsewhere in memory) after the item was measured; a
// link (emulated where the system keeps none) to a picture elsewhere.
TEST_F(HostilePreview, OversizedStaleReplacedAndLinkedPreviewsGiveNoPictureOrTheMeasuredOne) {
  Rng rng = CaseRng();
  const std::string target = dir_.path() + "elsewhere.bmp";
  testsupport::WriteFileBytes(target, testsupport::MakeBitmapFile(16, 16, [](int x, int y) { return Shade(x + y); }));
  const int rounds = Rounds(60);
  for (int round = 0; round < rounds && !HasFailure(); ++round) {
    const int kind = Between(rng, 0, 3);
    const int width = Between(rng, 1, 48), height = Between(rng, 1, 32);
    const int seed = Between(rng, 1, 1000);
    auto pixel = [seed](int x, int y) { return Shade(seed + x + 7 * y); };
    const std::string what = "round " + std::to_string(round) + ", kind " + std::to_string(kind);
    switch (kind) {
      case 0: {  // too large: a side beyond the bound, or a file beyond the bound
        if (Chance(rng, 50)) {
          const int side = Between(rng, kMaxPreviewSide + 1, 3 * kMaxPreviewSide);
          testsupport::WriteFileBytes(path_, Chance(rng, 50) ? testsupport::MakeBitmapFile(side, 1, pixel)
                                                             : testsupport::MakeBitmapFile(1, side, pixel));
        } else {
          WriteSparse(testsupport::MakeBitmapFile(width, height, pixel),
                      kMaxPreviewFileBytes + Between(rng, 1, 64 * 1024 * 1024));
        }
        EXPECT_FALSE(Read()) << what;
        break;
      }
      case 1: {  // left from an earlier picture: unchanged across the request
        testsupport::WriteFileBytes(path_, testsupport::MakeBitmapFile(width, height, pixel));
        const PreviewFileVersion before = PreviewFileVersionAt(WideFromAnsi(path_));
        EXPECT_FALSE(Read(before)) << what;
        testsupport::RenewFile(path_);  // the request wrote it
        EXPECT_TRUE(Read(before)) << what;
        break;
      }
      case 2: {  // replaced after measuring: drawn as measured, nothing beyond the item
        testsupport::WriteFileBytes(path_, testsupport::MakeBitmapFile(width, height, pixel));
        TFolContMenu menu(nullptr);
        menu.PreviewCommandId = 103;
        menu.PreviewBitmap = Read();
        ASSERT_TRUE(menu.PreviewBitmap) << what;
        menu.PreviewWidth = width;
        menu.PreviewHeight = height;
        testsupport::WriteFileBytes(path_, testsupport::MakeBitmapFile(200, 150, [](int, int) { return RGB(250, 0, 0); }));
        MEASUREITEMSTRUCT m{};
        m.itemID = 103;
        menu.MeasurePreviewItem(&m);
        EXPECT_EQ(static_cast<UINT>(width), m.itemWidth) << what;
        const int left = GetSystemMetrics(SM_CXMENUCHECK) + 4;
        const COLORREF paper = RGB(1, 2, 3);
        testsupport::Canvas canvas(left + 220, 170, paper);
        DRAWITEMSTRUCT d{};
        d.CtlType = ODT_MENU;
        d.itemID = 103;
        d.itemAction = ODA_DRAWENTIRE;
        d.hDC = canvas.dc();
        d.rcItem = RECT{0, 0, left + width, height};
        menu.DrawPreviewItem(&d);
        int wrong = 0;
        for (int y = 0; y < 170; ++y)
          for (int x = left; x < left + 220; ++x) {
            const bool inside = x < left + width && y < height;
            if (inside ? canvas.At(x, y) != pixel(x - left, y) : canvas.At(x, y) != paper) ++wrong;
          }
        EXPECT_EQ(0, wrong) << what;
        break;
      }
      default: {  // a link to a picture elsewhere: opened as itself, never followed
        testsupport::WriteFileBytes(path_, testsupport::MakeBitmapFile(width, height, pixel));
        testsupport::EmulatedLink link(GetModuleHandleA(nullptr), path_, target);
        EXPECT_FALSE(PreviewFileVersionAt(WideFromAnsi(path_)).Exists) << what;
        EXPECT_FALSE(Read()) << what;
        EXPECT_FALSE(link.Followed()) << what;
        break;
      }
    }
  }
  DeleteFileA(path_.c_str());
}
