// External viewer, open-with programs and their argument templates, and
// the display action of the preview item.
#include <gtest/gtest.h>

#include "bridge/Viewer.h"
#include "common/SystemLibrary.h"
#include "commands/CommandsSupport.h"
#include "support/Windows.h"

using namespace commandtest;
using testsupport::TempDir;
using testsupport::WindowWatcher;

namespace {

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return buffer;
}

std::string WithoutTrailingBackslash(std::string path) {
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  quoted.append(text).append("\"");
  return quoted;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::wstring Wide(const std::string& ansi) { return ombrelo::WideFromAnsi(ansi); }

class Viewer : public ::testing::Test {
 protected:
  void SetUp() override {
    StartModule();
    SetLanguage(1);
    testsupport::ResetProgramKey();
    picture = dir.File("Holiday picture.jpeg", "jpeg");
    CreateDirectoryA((dir.path() + "Program Files").c_str(), nullptr);
  }
  void TearDown() override {
    SetLanguage(1);
    testsupport::ResetProgramKey();
  }

  TempDir dir;
  std::string picture;
};

}  // namespace

TEST_F(Viewer, TemplatesReplaceTheFirstOfEachPlaceholder) {
  const std::string shortForm = ShortPath(picture);
  ASSERT_FALSE(shortForm.empty());
  ASSERT_NE(picture, shortForm);
  const struct {
    const char* argTemplate;
    std::string expected;
  } cases[] = {
      {"\"{Dateiname}\"", "\"" + picture + "\""},
      {"-v {Dateiname im 8.3 Format}", "-v " + shortForm},
      // A path with a blank that the template leaves unquoted is put in quotes.
      {"-fullscreen", Quoted(picture)},
      {"", Quoted(picture)},
      {"{Dateiname} {Dateiname}", Quoted(picture) + " {Dateiname}"},
      {"{Dateiname im 8.3 Format} /x {Dateiname}", shortForm + " /x " + Quoted(picture)},
      {"/f:\"{Dateiname}\" {Dateiname im 8.3 Format}", "/f:\"" + picture + "\" " + shortForm},
      {"{dateiname}", Quoted(picture)},  // case matters: no placeholder
  };
  for (const auto& c : cases)
    EXPECT_EQ(Wide(c.expected), ombrelo::ExpandFileNamePlaceholders(picture, c.argTemplate)) << c.argTemplate;
  // A file that does not exist has no short form: the full path stands in for it.
  const std::string missing = dir.path() + "missing file.jpeg";
  EXPECT_EQ(Wide("-v " + Quoted(missing)), ombrelo::ExpandFileNamePlaceholders(missing, "-v {Dateiname im 8.3 Format}"));
}

TEST_F(Viewer, APathHoldingPlaceholderTextIsInsertedAsItIs) {
  std::string odd = "C:\\{Dateiname im 8.3 Format}\\a.jpg";
  EXPECT_EQ(Wide("<" + Quoted(odd) + ">"), ombrelo::ExpandFileNamePlaceholders(odd, "<{Dateiname}>"));
}

TEST_F(Viewer, AnOpenWithProgramStartsInItsFolderWithTheExpandedArguments) {
  Recorder recorder;
  std::string program = recorder.Install("open with.exe");
  EXPECT_EQ(1, ombrelo::RunOpenWithProgram(program, picture, "\"{Dateiname}\"", nullptr));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("\"" + program + "\" \"" + picture + "\"", records[0].commandLine);
  EXPECT_EQ(WithoutTrailingBackslash(recorder.Folder()), records[0].folder);
}

TEST_F(Viewer, AMissingOpenWithProgramIsReportedInTheActiveLanguage) {
  const std::string program = dir.path() + "gone.exe";
  const struct {
    unsigned char language;
    std::string text;
  } cases[] = {
      {0, "Die Datei \"" + program + "\" wurde nicht gefunden."},
      {1, "Could not found\"" + program + "\""},
  };
  Recorder recorder;
  for (const auto& c : cases) {
    SetLanguage(c.language);
    WindowWatcher box("#32770", "Ombrelo", Answer(IDOK));
    EXPECT_EQ(1, ombrelo::RunOpenWithProgram(program, picture, "{Dateiname}", nullptr));
    ASSERT_TRUE(box.Join());
    EXPECT_TRUE(Contains(box.Seen(), c.text)) << box.Seen();
  }
  EXPECT_TRUE(recorder.Records().empty());
}

TEST_F(Viewer, TheExternalViewerGetsTheShortPathInThePicturesFolder) {
  Recorder recorder;
  std::string viewer = recorder.Install("my viewer.exe");
  EXPECT_FALSE(ombrelo::RunExternalViewer(Wide(viewer), picture));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("\"" + viewer + "\" \"" + ShortPath(picture) + "\"", records[0].commandLine);
  EXPECT_EQ(WithoutTrailingBackslash(dir.path()), records[0].folder);
}

TEST_F(Viewer, AMissingViewerAnsweredNoLeavesThePictureToTheMainProgram) {
  const std::string viewer = dir.path() + "gone.exe";
  const struct {
    unsigned char language;
    std::string text;
  } cases[] = {
      {0, "Die Datei \"" + viewer + "\" wurde nicht gefunden.\r\nM\xF6" "chten Sie die Datei jetzt suchen ?"},
      {1, "Could not find \"" + viewer + "\"\r\nSearch this file now ?"},
  };
  for (const auto& c : cases) {
    SetLanguage(c.language);
    WindowWatcher box("#32770", "Ombrelo", Answer(IDNO));
    EXPECT_TRUE(ombrelo::RunExternalViewer(Wide(viewer), picture));
    ASSERT_TRUE(box.Join());
    EXPECT_TRUE(Contains(box.Seen(), c.text)) << box.Seen();
  }
}

TEST_F(Viewer, AMissingViewerSearchedAndCancelledStartsNothing) {
  Recorder recorder;
  testsupport::SetProgramString(nullptr, "ExtViewCmd", "C:\\old viewer.exe");
  WindowWatcher box("#32770", "Ombrelo", Answer(IDYES));
  WindowWatcher dialog(nullptr, "Datei suchen", Answer(IDCANCEL));
  EXPECT_FALSE(ombrelo::RunExternalViewer(Wide(dir.path() + "gone.exe"), picture));
  EXPECT_TRUE(box.Join());
  EXPECT_TRUE(dialog.Join());
  bool found = false;
  EXPECT_EQ("C:\\old viewer.exe", testsupport::ReadHkcuString("Software\\Kestrani\\Ombrelo", "ExtViewCmd", &found));
  EXPECT_TRUE(recorder.Records().empty());
}

// The open-file dialog's DLL is loaded only for the search; one that cannot
// be loaded, or that lacks the dialog, counts as a cancelled search.
TEST_F(Viewer, ASearchWhoseDialogCannotBeLoadedStartsNothing) {
  static std::vector<std::string> asked;
  const ombrelo::SystemLibraryLoader loaders[] = {
      [](const char* name) -> HMODULE {
        asked.push_back(name);
        return nullptr;
      },
      [](const char* name) -> HMODULE {
        asked.push_back(name);
        return LoadLibraryA("kernel32.dll");  // loads, but has no open-file dialog
      },
  };
  Recorder recorder;
  testsupport::SetProgramString(nullptr, "ExtViewCmd", "C:\\old viewer.exe");
  for (ombrelo::SystemLibraryLoader loader : loaders) {
    asked.clear();
    ombrelo::SetSystemLibraryLoader(loader);
    WindowWatcher box("#32770", "Ombrelo", Answer(IDYES));
    EXPECT_FALSE(ombrelo::RunExternalViewer(Wide(dir.path() + "gone.exe"), picture));
    ombrelo::SetSystemLibraryLoader(nullptr);
    EXPECT_TRUE(box.Join());
    EXPECT_EQ(std::vector<std::string>{"comdlg32.dll"}, asked);
  }
  EXPECT_EQ("C:\\old viewer.exe", testsupport::ReadHkcuString("Software\\Kestrani\\Ombrelo", "ExtViewCmd"));
  EXPECT_TRUE(recorder.Records().empty());
}

TEST_F(Viewer, AViewerFoundBySearchingIsStoredAndStarted) {
  Recorder recorder;
  std::string viewer = recorder.Install("found viewer.exe");
  WindowWatcher box("#32770", "Ombrelo", Answer(IDYES));
  // Typed without its extension: the dialog appends ".exe".
  std::string typed = viewer.substr(0, viewer.size() - 4);
  WindowWatcher dialog(nullptr, "Datei suchen", [typed](HWND window) {
    HWND name = GetDlgItem(window, 0x480);  // the file-name box
    if (!name) name = GetDlgItem(window, 0x47C);
    SetWindowTextA(name, typed.c_str());
    Answer(IDOK)(window);
  });
  EXPECT_FALSE(ombrelo::RunExternalViewer(Wide(dir.path() + "gone.exe"), picture));
  EXPECT_TRUE(box.Join());
  EXPECT_TRUE(dialog.Join());
  EXPECT_EQ(viewer, testsupport::ReadHkcuString("Software\\Kestrani\\Ombrelo", "ExtViewCmd"));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_TRUE(Contains(records[0].commandLine, "found viewer.exe\" \"" + ShortPath(picture) + "\""));
}

TEST_F(Viewer, ThePreviewItemOfATextFileOpensTheTextViewer) {
  FakeMainWindow mainProgram;
  Recorder recorder;
  testsupport::SetProgramString("Txt", "ViewerCmd", recorder.Install("text viewer.exe"));
  std::string text = dir.File("notes.txt", "x");
  SelectFiles({text}, true);
  ombrelo::DisplayPicture(nullptr, text);
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_TRUE(Contains(records[0].commandLine, Quoted(text))) << records[0].commandLine;
  EXPECT_TRUE(mainProgram.Messages().empty());
}
