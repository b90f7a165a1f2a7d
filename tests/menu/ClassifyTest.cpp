// File-type classification: the picture lists, the text-extension settings,
// the "TxtPreview" mode with the Ctrl key held for real, and the extension
// of a path.
#include <gtest/gtest.h>

#include "menu/Classify.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"

using namespace ombrelo;

namespace {

// Presses or lets go of Ctrl for this thread, as the keyboard would.
void SetCtrl(bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

class Classify : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    testsupport::ResetProgramKey();
    SetCtrl(false);
  }
  void TearDown() override {
    SetCtrl(false);
    testsupport::ResetProgramKey();
  }
  // Makes "Txt\Ext" hold exactly the given value names.
  void TextExtensions(std::initializer_list<const char*> names) {
    testsupport::SetProgramString("Txt\\Ext", "placeholder", "");
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Kestrani\\Ombrelo\\Txt\\Ext", 0, KEY_ALL_ACCESS, &key);
    RegDeleteValueA(key, "placeholder");
    RegCloseKey(key);
    for (const char* name : names) testsupport::SetProgramString("Txt\\Ext", name, "");
  }
};

const char* const kSinglePictures[] = {".BMP", ".JPG", ".PNG", ".TIF", ".TGA", ".DIB", ".PBM", ".PGM",
                                       ".PPM", ".JPEG", ".TIFF", ".ICO", ".WMF", ".EMF", ".PCX", ".PSD",
                                       ".RLE", ".PSP", ".RAS", ".CUR", ".IFF", ".CPT", ".EPS", ".CLP",
                                       ".CAM", ".G3", ".ANI", ".SFW", ".PCD", ".AVI", ".GIF"};

}  // namespace

TEST_F(Classify, ExtensionIsTakenFromTheLastDotOfTheFileName) {
  EXPECT_EQ(".zip", ExtensionOf("C:\\files\\archive.bmp.zip"));
  EXPECT_EQ("", ExtensionOf("C:\\dir.bmp\\file"));
  EXPECT_EQ("", ExtensionOf("C:\\dir\\readme"));
  EXPECT_EQ("", ExtensionOf("C:\\pic.bmp:stream"));
  EXPECT_EQ(".", ExtensionOf("C:\\dir\\name."));
  EXPECT_EQ(".bmp", ExtensionOf(".bmp"));
  // Only a-z are upper-cased, whatever the locale thinks of other letters.
  EXPECT_EQ(".JP\xE9", UpperAscii(".jp\xE9"));
  EXPECT_EQ(".TIFF", UpperAscii(".tIfF"));
}

TEST_F(Classify, PicturesAreRecognisedInAnyCase) {
  for (const char* ext : kSinglePictures) {
    std::string lower = ext;
    for (char& ch : lower) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    for (const std::string& name : {std::string("C:\\a\\x") + ext, "C:\\a\\x" + lower}) {
      Classification c = ClassifySingleFile(name);
      EXPECT_TRUE(c.supported) << name;
      EXPECT_FALSE(c.isTextFile) << name;
      EXPECT_EQ(0u, c.pictureItemState) << name;
    }
  }
  for (const char* name : {"Photo.jpg", "PHOTO.JPG", "photo.Jpg"}) EXPECT_TRUE(IsSupportedFile(name)) << name;
  for (const char* name : {"photo.jpe", "photo.jfif", "archive.bmp.zip", "C:\\dir.bmp\\file", "readme"}) {
    Classification c = ClassifySingleFile(name);
    EXPECT_FALSE(c.supported) << name;
    EXPECT_EQ(static_cast<UINT>(MFS_GRAYED), c.pictureItemState) << name;
  }
}

TEST_F(Classify, RifIsSupportedWithGreyedPictureItemsUnlessListedAsText) {
  Classification c = ClassifySingleFile("drawing.rif");
  EXPECT_TRUE(c.supported);
  EXPECT_FALSE(c.isTextFile);
  EXPECT_EQ(3u, c.pictureItemState);

  TextExtensions({".RIF"});
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  c = ClassifySingleFile("drawing.rif");
  EXPECT_TRUE(c.supported);
  EXPECT_TRUE(c.isTextFile);
}

TEST_F(Classify, TextFilesNeedCtrlHeldByDefault) {
  for (const char* ext : {".DIZ", ".TXT", ".CFG", ".WRI", ".BAT", ".XML"}) {
    std::string name = std::string("C:\\notes") + ext;
    SetCtrl(false);
    Classification c = ClassifySingleFile(name);
    EXPECT_FALSE(c.supported) << name;
    EXPECT_FALSE(c.isTextFile) << name;
    EXPECT_EQ(3u, c.pictureItemState) << name;
    SetCtrl(true);
    ASSERT_TRUE(IsKeyDown(VK_CONTROL));
    c = ClassifySingleFile(name);
    EXPECT_TRUE(c.supported) << name;
    EXPECT_TRUE(c.isTextFile) << name;
    EXPECT_EQ(3u, c.pictureItemState) << name;
  }
  SetCtrl(true);
  EXPECT_FALSE(ClassifySingleFile("C:\\notes.log").supported);  // not in the built-in list
}

TEST_F(Classify, TxtPreviewModeCountsItsLow16BitsOnly) {
  struct Case {
    DWORD mode;
    bool withoutCtrl, withCtrl;
  } cases[] = {{0, false, false}, {1, true, true},     {2, false, true},     {7, true, true},
               {65536, false, false}, {65537, true, true}, {65538, false, true}};
  for (const Case& k : cases) {
    testsupport::SetProgramDword("Txt", "TxtPreview", k.mode);
    SetCtrl(false);
    EXPECT_EQ(k.withoutCtrl, ClassifySingleFile("notes.txt").supported) << k.mode;
    SetCtrl(true);
    EXPECT_EQ(k.withCtrl, ClassifySingleFile("notes.txt").supported) << k.mode;
  }
}

TEST_F(Classify, TxtKeyWithoutUsableModeMeansNoTextMenu) {
  SetCtrl(true);
  // The "Txt" key exists but has no "TxtPreview": mode 0.
  testsupport::SetProgramString("Txt", "Mainmenu", "true");
  EXPECT_FALSE(ClassifySingleFile("notes.txt").supported);
  // A "TxtPreview" of another type: mode 0.
  testsupport::SetProgramString("Txt", "TxtPreview", "1");
  EXPECT_FALSE(ClassifySingleFile("notes.txt").supported);
  const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  testsupport::SetProgramValue("Txt", "TxtPreview", REG_QWORD, eight, sizeof(eight));
  EXPECT_FALSE(ClassifySingleFile("notes.txt").supported);
}

TEST_F(Classify, TxtExtKeyReplacesTheBuiltInList) {
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  TextExtensions({});
  EXPECT_FALSE(ClassifySingleFile("x.txt").supported);  // an empty key: nothing is text

  TextExtensions({".log"});  // registry names compare without regard to case
  EXPECT_TRUE(ClassifySingleFile("x.LOG").isTextFile);
  EXPECT_TRUE(ClassifySingleFile("x.log").supported);
  EXPECT_FALSE(ClassifySingleFile("x.txt").supported);
  // Pictures are tested before the text list.
  TextExtensions({".JPG"});
  Classification c = ClassifySingleFile("x.jpg");
  EXPECT_TRUE(c.supported);
  EXPECT_FALSE(c.isTextFile);
}

TEST_F(Classify, FileWithoutExtensionIsTextOnlyThroughTheDefaultValue) {
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  EXPECT_FALSE(ClassifySingleFile("C:\\dir\\readme").supported);  // built-in list
  TextExtensions({".TXT"});
  EXPECT_FALSE(ClassifySingleFile("C:\\dir\\readme").supported);
  TextExtensions({""});  // the key's default value
  EXPECT_TRUE(ClassifySingleFile("C:\\dir\\readme").isTextFile);
  EXPECT_TRUE(ClassifySingleFile("C:\\dir.txt\\readme").isTextFile);
}

TEST_F(Classify, MultipleSelectionPictureList) {
  int accepted = 0;
  for (const char* ext : kSinglePictures) accepted += IsPictureExtension(ext) ? 1 : 0;
  EXPECT_EQ(30, accepted);
  EXPECT_FALSE(IsPictureExtension(".PCD"));
  EXPECT_FALSE(IsPictureExtension(".RIF"));
  EXPECT_TRUE(IsPictureExtension(".GIF"));
  EXPECT_FALSE(IsPictureExtension(".gif"));  // callers upper-case first
  EXPECT_FALSE(IsPictureExtension(".TXT"));
  EXPECT_FALSE(IsPictureExtension(""));
}

TEST_F(Classify, TempDirectoryIsTheSystemsWithItsSeparator) {
  char expected[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(expected), expected);
  EXPECT_EQ(expected, GetTempDirectory());

  char saved[MAX_PATH * 2] = {};
  DWORD had = GetEnvironmentVariableA("TMP", saved, sizeof(saved));
  const std::string deep = "C:\\" + std::string(200, 'd') + "\\tmp";
  SetEnvironmentVariableA("TMP", deep.c_str());
  std::string got = GetTempDirectory();
  SetEnvironmentVariableA("TMP", had ? saved : nullptr);
  EXPECT_EQ(deep + "\\", got);
}
