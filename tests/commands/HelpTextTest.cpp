// Status-bar help texts through the real DLL, as the shell asks for them.
#include <gtest/gtest.h>

#include "commands/CommandsSupport.h"
#include "commands/Handler.h"

using namespace commandtest;
using testsupport::TempDir;

namespace {

class HelpTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgramKey();
    testsupport::SetProgramDword("Txt", "TxtPreview", 1);  // text files always get their menu
    RemoveSettingsFile();
  }
  void TearDown() override {
    testsupport::ResetProgramKey();
    RemoveSettingsFile();
  }
  static std::vector<std::string> Programs(size_t count) {
    std::vector<std::string> programs;
    for (size_t i = 0; i < count; ++i) programs.push_back("C:\\Tools\\program" + std::to_string(i) + ".exe");
    return programs;
  }

  TempDir dir;
  std::string picture = "C:\\Pictures\\beach.jpg";
  std::string text = "C:\\Texts\\notes.txt";
};

struct Expected {
  UINT offset;
  const char* german;
  const char* english;
};

}  // namespace

TEST_F(HelpTexts, PictureItemsInBothLanguages) {
  // No open-with entries: N = 5, S = 12.
  const Expected cases[] = {
      {8, "Konvertierung des markierten Bildes in ein anderes Format...", "Changes the format of the selected image."},
      {9, "Konvertierung des markierten Bildes ins JPEG Format", "Converts selected image to JPEG"},
      {10, "Konvertierung des markierten Bildes ins BMP Format", "Converts selected image to BMP"},
      {11, "Konvertierung des markierten Bildes ins PNG Format", "Converts selected image to PNG"},
      {12, "Konvertierung des markierten Bildes ins TIFF Format", "Converts selected image to TIFF"},
      {13, "Konvertierung des markierten Bildes ins PCX Format", "Converts selected image to PCX"},
      {14, "&Einstellungen...", "&Settings..."},
      {28, "Ausdruck der markierten Grafikdatei", "Prints the selected image."},
      {29, "Kopiert das markierte Bild in die Zwischenablage", "Copies the selected image to the clipboard."},
      {30, "Kopiert \"C:\\Pictures\\beach.jpg\" in die Zwischenablage",
       "Copies \"C:\\Pictures\\beach.jpg\" to the clipboard."},
      {32, "Ruft die Ombrelo Optionen auf...", "Displays Ombrelo's options."},
      {35, "Grafik als Hintergrundbild verwenden [Zentrieren]", "Use this image for Desktop wallpaper [Centered]."},
      {36, "Grafik als Hintergrundbild verwenden [Kacheln]", "Use this image for Desktop wallpaper [Tiled]."},
      {37, "Grafik als Hintergrundbild verwenden [Strecken] ", "Use this image for Desktop wallpaper [Scaled]."},
      {3, "Klicken Sie um die Bildvorschau zu aktivieren", "Enables Ombrelo's image preview."},
      // separators, popups, information lines: the empty text, terminated
      {0, nullptr, nullptr}, {1, nullptr, nullptr}, {4, nullptr, nullptr}, {7, nullptr, nullptr},
      {31, nullptr, nullptr}, {34, nullptr, nullptr}, {38, nullptr, nullptr},
  };
  for (DWORD language : {0u, 1u}) {
    Handler handler(language);
    handler.Open({picture});
    for (const Expected& e : cases) {
      const char* want = language == 0 ? e.german : e.english;
      EXPECT_EQ(want ? want : "", handler.HelpText(e.offset)) << "offset " << e.offset << " language " << language;
    }
  }
}

TEST_F(HelpTexts, TextFileItemsInBothLanguages) {
  const Expected cases[] = {
      {0, "Druckt diesen Text.", "Print selected textfile."},
      {1, "Text mit Wordpad \xF6" "ffnen.", "Open selected textfile with wordpad."},
      {3, "\xD6" "ffnen...", "Open..."},  // whatever the main program's state
      {4, "Kopiert den Text der makierten Datei in die Zwischeablage",
       "Copies the content of the selected textfile to the clipboard."},
      {5, "Kopiert \"C:\\Texts\\notes.txt\" in die Zwischenablage", "Copies \"C:\\Texts\\notes.txt\" to the clipboard."},
      {6, "Ruft die Ombrelo Optionen auf...", "Displays Ombrelo's options."},
      {9, "Konvertierung des markierten Bildes ins JPEG Format", "Converts selected image to JPEG"},
      {28, "Ausdruck der markierten Grafikdatei", "Prints the selected image."},
      // picture items have no text in the text menu
      {29, nullptr, nullptr}, {30, nullptr, nullptr}, {35, nullptr, nullptr}, {15, nullptr, nullptr},
  };
  for (DWORD language : {0u, 1u}) {
    Handler handler(language);
    handler.Open({text});
    for (const Expected& e : cases) {
      const char* want = language == 0 ? e.german : e.english;
      EXPECT_EQ(want ? want : "", handler.HelpText(e.offset)) << "offset " << e.offset << " language " << language;
    }
  }
}

TEST_F(HelpTexts, OnlyAnsiHelpTextsAreServedAndOtherRequestsLeaveTheBuffer) {
  Handler handler;
  handler.Open({picture});
  for (UINT type : {UINT(GCS_VERBA), UINT(GCS_VALIDATEA), UINT(GCS_VERBW), UINT(GCS_HELPTEXTW), UINT(GCS_VALIDATEW), 7u, 0x100u}) {
    std::string buffer;
    EXPECT_EQ(E_INVALIDARG, handler.Help(9, &buffer, 260, type)) << type;
    EXPECT_EQ('\x7F', buffer[0]) << type;
  }
  EXPECT_EQ("Converts selected image to JPEG", handler.HelpText(9));
}

TEST_F(HelpTexts, TextsAreCutToTheBuffer) {
  Handler handler;
  handler.Open({picture});
  std::string buffer;
  EXPECT_EQ(S_OK, handler.Help(9, &buffer, 10));
  EXPECT_EQ(std::string("Converts \0\x7F", 11), buffer.substr(0, 11));
  EXPECT_EQ(S_OK, handler.Help(9, &buffer, 1));
  EXPECT_EQ(std::string("\0\x7F", 2), buffer.substr(0, 2));
  EXPECT_EQ(S_OK, handler.Help(9, &buffer, 0));
  EXPECT_EQ('\x7F', buffer[0]);
}

TEST_F(HelpTexts, ALongNameTextIsCutToTheBuffer) {
  std::string longPath = "C:\\" + std::string(240, 'p') + ".jpg";
  Handler handler;
  handler.Open({longPath});
  std::string buffer;
  EXPECT_EQ(S_OK, handler.Help(30, &buffer, 260));
  std::string full = "Copies \"" + longPath + "\" to the clipboard.";
  ASSERT_GT(full.size(), 259u);
  EXPECT_EQ(full.substr(0, 259), std::string(buffer.c_str()));
  EXPECT_EQ('\0', buffer[259]);
}

TEST_F(HelpTexts, AMultipleSelectionHasTheConvertTextOnly) {
  Handler handler;
  handler.Open({"C:\\a.jpg", "C:\\b.png", "C:\\c.gif"});
  EXPECT_EQ("Changes the format of the selected images.", handler.HelpText(0));
  for (UINT offset : {1u, 3u, 9u, 29u, 59u, 200u}) EXPECT_EQ("", handler.HelpText(offset)) << offset;
}

TEST_F(HelpTexts, FewOpenWithEntriesArePaddedWithDummies) {
  WriteOpenWithEntries(Programs(2));
  Handler handler;
  handler.Open({picture});
  EXPECT_EQ("C:\\Tools\\program0.exe", handler.HelpText(15));
  EXPECT_EQ("C:\\Tools\\program1.exe", handler.HelpText(16));
  for (UINT offset : {17u, 18u, 19u}) EXPECT_EQ("Dummy", handler.HelpText(offset)) << offset;
  EXPECT_EQ("", handler.HelpText(20));
  EXPECT_EQ("Copies the selected image to the clipboard.", handler.HelpText(29));
  EXPECT_EQ("<hr=80070057>", handler.HelpText(59));
}

TEST_F(HelpTexts, TwentyEntriesSkipThePrintPreviewOffset) {
  WriteOpenWithEntries(Programs(20));
  Handler handler;
  handler.Open({picture});
  // Entries 0-12 at 15-27, entries 13-19 at 29-35; S = 28.
  EXPECT_EQ("C:\\Tools\\program12.exe", handler.HelpText(27));
  EXPECT_EQ("Prints the selected image.", handler.HelpText(28));
  EXPECT_EQ("C:\\Tools\\program13.exe", handler.HelpText(29));
  EXPECT_EQ("C:\\Tools\\program19.exe", handler.HelpText(35));
  EXPECT_EQ(36u, handler.TopLevelOffset());
  EXPECT_EQ("Copies the selected image to the clipboard.", handler.HelpText(45));
  EXPECT_EQ("Use this image for Desktop wallpaper [Scaled].", handler.HelpText(53));
}

TEST_F(HelpTexts, ThirtyEntriesKeepEveryItemServed) {
  WriteOpenWithEntries(Programs(30));
  Handler handler;
  handler.Open({picture});
  // Entries at 15-27 and 29-45; S = 38: copy 55, options 58, wallpaper 61-63.
  EXPECT_EQ("C:\\Tools\\program29.exe", handler.HelpText(45));
  EXPECT_EQ("Copies the selected image to the clipboard.", handler.HelpText(55));
  EXPECT_EQ("Displays Ombrelo's options.", handler.HelpText(58));
  EXPECT_EQ("Use this image for Desktop wallpaper [Centered].", handler.HelpText(61));
  EXPECT_EQ("Use this image for Desktop wallpaper [Scaled].", handler.HelpText(63));
  EXPECT_EQ("<hr=80070057>", handler.HelpText(64));
}

TEST_F(HelpTexts, ThePreviewTextFollowsTheMainProgram) {
  Handler handler;
  handler.Open({picture});
  EXPECT_EQ("Enables Ombrelo's image preview.", handler.HelpText(3));
  FakeMainWindow mainProgram;
  EXPECT_EQ("Display selected image...", handler.HelpText(3));
  testsupport::SetProgramDword(nullptr, "status", 0);
  EXPECT_EQ("Click to (re-) enable Ombrelo's image preview.", handler.HelpText(3));
  testsupport::SetProgramDword(nullptr, "status", 1);
  EXPECT_EQ("Display selected image...", handler.HelpText(3));
}
