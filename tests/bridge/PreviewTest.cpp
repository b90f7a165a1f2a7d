// The preview hand-over: after a preview request returns, the bitmap that
// the (stand-in) main program made stands at the preview path.
#include <gtest/gtest.h>

#include "BridgeSupport.h"
#include "bridge/Channel.h"
#include "common/Handles.h"
#include "standin/Preview.h"

namespace bridgetest {
namespace {

class Preview : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof(temp), temp);
    bitmapPath_ = std::string(temp) + "\\ombrelo.bmp";  // as the extension names it
    DeleteFileA(bitmapPath_.c_str());
  }
  void TearDown() override {
    DeleteFileA(bitmapPath_.c_str());
    BridgeTest::TearDown();
  }
  // Width, height and bits per pixel of the bitmap file; 0s when there is none.
  struct BitmapSize {
    LONG width = 0, height = 0;
    WORD bits = 0;
  };
  BitmapSize ReadBitmap() const {
    BitmapSize size;
    std::string bytes = testsupport::ReadFileBytes(bitmapPath_);
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) || bytes.compare(0, 2, "BM") != 0)
      return size;
    BITMAPINFOHEADER header;
    memcpy(&header, bytes.data() + sizeof(BITMAPFILEHEADER), sizeof(header));
    size.width = header.biWidth;
    size.height = header.biHeight;
    size.bits = header.biBitCount;
    return size;
  }
  bool BitmapExists() const { return GetFileAttributesA(bitmapPath_.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::string bitmapPath_;
  testsupport::TempDir dir_;
};

TEST_F(Preview, EachPictureFormatIsDecodedAndFittedIntoTheBox) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  const struct {
    const char* file;
    GUID container;
    UINT width, height;
    LONG previewWidth, previewHeight;
    const char* format;
  } cases[] = {
      {"wide.jpg", GUID_ContainerFormatJpeg, 640, 480, 160, 120, "JPEG"},
      {"tall.png", GUID_ContainerFormatPng, 100, 300, 40, 120, "PNG"},
      {"small.gif", GUID_ContainerFormatGif, 50, 40, 50, 40, "GIF"},  // never enlarged
      {"flat.tif", GUID_ContainerFormatTiff, 800, 200, 160, 40, "TIFF"},
      {"odd.bmp", GUID_ContainerFormatBmp, 161, 121, 160, 120, "BMP"},
  };
  for (auto& c : cases) {
    std::string picture = dir_.path() + c.file;
    WritePicture(picture, c.container, c.width, c.height);
    std::string written = testsupport::ReadFileBytes(picture);
    ASSERT_GT(written.size(), 16u) << c.file;
    DeleteFileA(bitmapPath_.c_str());
    ombrelo::RequestPreview(picture, menu.get());
    BitmapSize size = ReadBitmap();
    EXPECT_EQ(c.previewWidth, size.width) << c.file;
    EXPECT_EQ(c.previewHeight, size.height) << c.file;
    EXPECT_EQ(24, size.bits) << c.file;
    auto previews = journal.Events("preview");
    ASSERT_FALSE(previews.empty());
    const std::string& detail = previews.back().detail;
    EXPECT_NE(std::string::npos, detail.find(std::to_string(c.width) + " x " + std::to_string(c.height))) << detail;
    EXPECT_NE(std::string::npos, detail.find(c.format)) << detail;
  }
}

TEST_F(Preview, MarkedPathsArePreviewedLikeBareOnes) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  std::string picture = dir_.path() + "beach.png";
  WritePicture(picture, GUID_ContainerFormatPng, 320, 240);
  for (const char* marker : {"_", "+"}) {
    DeleteFileA(bitmapPath_.c_str());
    ombrelo::RequestPreview(marker + picture, menu.get());
    EXPECT_EQ(160, ReadBitmap().width) << marker;
  }
}

std::string ItemText(HMENU menu, UINT position) {
  char text[256] = {};
  GetMenuStringA(menu, position, text, sizeof(text), MF_BYPOSITION);
  return text;
}

TEST_F(Preview, TheInformationLinesOfTheGivenMenuAreFilledIn) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  AppendMenuA(menu.get(), MF_STRING, 103, "preview");
  AppendMenuA(menu.get(), MF_STRING, 104, "Size:     ???");
  AppendMenuA(menu.get(), MF_STRING, 105, "Colors:  ???");
  AppendMenuA(menu.get(), MF_STRING, 106, "Format: ???");
  std::string picture = dir_.path() + "beach.png";
  WritePicture(picture, GUID_ContainerFormatPng, 320, 240);
  ombrelo::RequestPreview(picture, menu.get());
  auto previews = journal.Events("preview");
  ASSERT_EQ(1u, previews.size());
  if (previews[0].detail.find("lines=-1") != std::string::npos)
    GTEST_SKIP() << "this system does not let another process change a menu (Wine keeps menus per process)";
  EXPECT_EQ("preview", ItemText(menu.get(), 0));
  EXPECT_EQ("Size:     320 x 240", ItemText(menu.get(), 1));
  EXPECT_EQ("Colors:  16777216 (24 bit)", ItemText(menu.get(), 2));
  EXPECT_EQ("Format: PNG", ItemText(menu.get(), 3));
}

// The same filling inside one process, where every system allows it.
TEST_F(Preview, InformationLinesReplaceOnlyTheirPlaceholders) {
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  AppendMenuA(menu.get(), MF_STRING, 103, "preview");
  AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu.get(), MF_STRING, 104, "Gr\xF6\xDF" "e:   ???");
  AppendMenuA(menu.get(), MF_STRING, 105, "Farben:  ??? ");
  AppendMenuA(menu.get(), MF_STRING, 106, "Format:  ??? ");
  const std::string texts[3] = {"1 x 2", "256 (8 bit)", "GIF"};
  EXPECT_EQ(3, standin::FillInfoLines(menu.get(), texts, 3));
  EXPECT_EQ("preview", ItemText(menu.get(), 0));
  EXPECT_EQ("Gr\xF6\xDF" "e:   1 x 2", ItemText(menu.get(), 2));
  EXPECT_EQ("Farben:  256 (8 bit) ", ItemText(menu.get(), 3));
  EXPECT_EQ("Format:  GIF ", ItemText(menu.get(), 4));
  EXPECT_EQ(-1, standin::FillInfoLines(nullptr, texts, 3));
}

TEST_F(Preview, APictureThatCannotBeDecodedLeavesNoBitmap) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  std::string good = dir_.path() + "good.png";
  WritePicture(good, GUID_ContainerFormatPng, 32, 32);
  ombrelo::RequestPreview(good, menu.get());
  ASSERT_TRUE(BitmapExists());

  // The bitmap of the picture before must not be taken for this one.
  ombrelo::RequestPreview(dir_.File("broken.jpg", "not a picture"), menu.get());
  EXPECT_FALSE(BitmapExists());
  ombrelo::RequestPreview(dir_.path() + "missing.jpg", menu.get());
  EXPECT_FALSE(BitmapExists());
  EXPECT_EQ(3u, journal.Events("preview").size());
}

TEST_F(Preview, AMainProgramWithoutPreviewAnswersWithoutABitmap) {
  Journal journal;
  SetStandinSetting("OMBRELO_STANDIN_NOPREVIEW", "1");
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  std::string picture = dir_.path() + "beach.png";
  WritePicture(picture, GUID_ContainerFormatPng, 32, 32);
  testsupport::WriteFileBytes(bitmapPath_, "old");
  ombrelo::RequestPreview(picture, menu.get());
  EXPECT_EQ(1u, journal.Events("copydata").size());
  EXPECT_FALSE(BitmapExists());
}

}  // namespace
}  // namespace bridgetest
