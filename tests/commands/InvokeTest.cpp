// Commands through the real DLL: what the main program receives, what is
// started, what lands on the clipboard and in the registry.
#include <gtest/gtest.h>

#include "commands/CommandsSupport.h"
#include "commands/Handler.h"
#include "settings/Registry.h"

using namespace commandtest;
using testsupport::TempDir;

namespace {

// The list file named on a "MultiConv" command line.
std::string ListFileOf(const std::string& commandLine) {
  size_t at = commandLine.find("  MultiConv ");
  return at == std::string::npos ? std::string() : commandLine.substr(at + 12);
}

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::ResetProgramKey();
    testsupport::SetProgramDword("Txt", "TxtPreview", 1);
    testsupport::SetProgramDword(nullptr, "AutoStart", 1);  // never the start prompt
    RemoveSettingsFile();
    picture = dir.File("beach.jpg", "jpeg");
    text = dir.File("notes.txt", "one\ntwo\n");
  }
  void TearDown() override {
    testsupport::ResetProgramKey();
    RemoveSettingsFile();
  }
  // The recorder stands in as the main program's executable ("cmd").
  std::string InstallMainProgram(Recorder& recorder) {
    std::string program = recorder.Install("Ombrelo.exe");
    testsupport::SetProgramString(nullptr, "cmd", program);
    return program;
  }

  TempDir dir;
  std::string picture, text;
};

}  // namespace

TEST_F(Commands, VerbStringsAreRefused) {
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({picture});
  EXPECT_EQ(E_FAIL, handler.InvokeVerb("open"));
  EXPECT_EQ(E_FAIL, handler.InvokeVerb("jpg"));
  EXPECT_TRUE(mainProgram.Verbs().empty());
}

TEST_F(Commands, PictureVerbsReachTheMainProgram) {
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({picture});
  const struct {
    UINT offset;
    LONG code;
  } cases[] = {{9, -12336}, {10, -12335}, {11, -12334}, {12, -12333}, {13, -12337},
               {14, -12300}, {28, -12700}, {29, -12500}, {32, -12400}};
  for (const auto& c : cases) EXPECT_EQ(S_OK, handler.Invoke(c.offset)) << c.offset;
  auto messages = mainProgram.Verbs();
  ASSERT_EQ(std::size(cases), messages.size());
  for (size_t i = 0; i < messages.size(); ++i) {
    EXPECT_EQ(cases[i].code, messages[i].verb) << cases[i].offset;
    EXPECT_EQ(picture, messages[i].text);
    EXPECT_EQ(picture.size() + 1, messages[i].size);
    EXPECT_EQ(0u, messages[i].wParam);
  }
}

TEST_F(Commands, OffsetsThatNameNoCommandFailAndTheBoundIsRefused) {
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({picture});
  for (UINT offset : {0u, 1u, 4u, 7u, 20u, 31u, 34u, 38u, 58u}) EXPECT_EQ(E_FAIL, handler.Invoke(offset)) << offset;
  for (UINT offset : {59u, 60u, 1000u}) EXPECT_EQ(E_INVALIDARG, handler.Invoke(offset)) << offset;
  EXPECT_TRUE(mainProgram.Verbs().empty());
}

TEST_F(Commands, AMultipleSelectionConvertsThroughAListFile) {
  Recorder recorder;
  std::string program = InstallMainProgram(recorder);
  std::string second = dir.File("b.png", "png"), third = dir.File("c.gif", "gif");
  Handler handler;
  handler.Open({picture, second, third});
  EXPECT_EQ(S_OK, handler.Invoke(0));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  std::string listFile = ListFileOf(records[0].commandLine);
  EXPECT_EQ(0u, records[0].commandLine.find("\"" + program + "\"  MultiConv ")) << records[0].commandLine;
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  EXPECT_EQ(0u, listFile.find(std::string(temp) + "spm")) << listFile;
  EXPECT_EQ(".tmp", listFile.substr(listFile.size() - 4));
  EXPECT_EQ(picture + "\r\n" + second + "\r\n" + third + "\r\n", testsupport::ReadFileBytes(listFile));
  DeleteFileA(listFile.c_str());

  FakeMainWindow mainProgram;
  EXPECT_EQ(E_FAIL, handler.Invoke(9));
  EXPECT_TRUE(mainProgram.Verbs().empty());
}

TEST_F(Commands, ConvertingOnePictureUsesAOneLineListFileAndStaysASingleSelection) {
  Recorder recorder;
  InstallMainProgram(recorder);
  Handler handler;
  handler.Open({picture});
  EXPECT_EQ(S_OK, handler.Invoke(8));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  std::string listFile = ListFileOf(records[0].commandLine);
  EXPECT_EQ(picture + "\r\n", testsupport::ReadFileBytes(listFile)) << records[0].commandLine;
  DeleteFileA(listFile.c_str());
  // Single-selection behaviour again: the JPG item still has its help text.
  EXPECT_EQ("Converts selected image to JPEG", handler.HelpText(9));
}

TEST_F(Commands, OpenWithEntriesStartTheirPrograms) {
  Recorder recorder;
  std::vector<std::string> programs;
  for (int i = 0; i < 5; ++i) programs.push_back(recorder.Install("program" + std::to_string(i) + ".exe"));
  // The profile reader drops a value's enclosing quotes, so the quoted
  // template is the default one, without a key.
  WriteOpenWithEntries(programs, {kDefaultTemplate, "-a {Dateiname}", "", "-fullscreen", "x{Dateiname}x"});
  Handler handler;
  handler.Open({picture});
  for (UINT offset = 15; offset <= 19; ++offset) {
    EXPECT_EQ(S_OK, handler.Invoke(offset)) << offset;
    recorder.WaitForRecords(offset - 14);
  }
  auto records = recorder.Records();
  ASSERT_EQ(5u, records.size());
  EXPECT_EQ("\"" + programs[0] + "\" \"" + picture + "\"", records[0].commandLine);
  EXPECT_EQ("\"" + programs[1] + "\" -a " + picture, records[1].commandLine);
  EXPECT_EQ("\"" + programs[2] + "\" " + picture, records[2].commandLine);
  EXPECT_EQ("\"" + programs[3] + "\" " + picture, records[3].commandLine);
  EXPECT_EQ("\"" + programs[4] + "\" x" + picture + "x", records[4].commandLine);
}

TEST_F(Commands, ThirtyEntriesKeepTheWallpaperItemsWorking) {
  std::vector<std::string> programs(30, "C:\\Tools\\none.exe");
  WriteOpenWithEntries(programs);
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({picture});
  EXPECT_EQ(S_OK, handler.Invoke(55));  // copy image, S = 38
  EXPECT_EQ(S_OK, handler.Invoke(63));  // wallpaper scaled
  EXPECT_EQ(E_INVALIDARG, handler.Invoke(64));
  auto messages = mainProgram.Verbs();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(-12500, messages[0].verb);
  EXPECT_EQ(-12800, messages[1].verb);
  EXPECT_EQ("2", testsupport::ReadHkcuString("Control Panel\\desktop", "WallpaperStyle"));
}

TEST_F(Commands, CopyItemsFillTheClipboard) {
  Handler handler;
  handler.Open({text});
  EXPECT_EQ(S_OK, handler.Invoke(4));
  EXPECT_EQ("one\r\ntwo", ReadClipboardText().value_or(""));
  EXPECT_EQ(S_OK, handler.Invoke(5));
  EXPECT_EQ(text, ReadClipboardText().value_or(""));

  Handler pictureHandler;
  pictureHandler.Open({picture});
  EXPECT_EQ(S_OK, pictureHandler.Invoke(30));
  EXPECT_EQ(picture, ReadClipboardText().value_or(""));
  EXPECT_TRUE(ClipboardIsFree());
}

TEST_F(Commands, TextMenuCommandsAndInventedOffsets) {
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({text});
  EXPECT_EQ(S_OK, handler.Invoke(6));
  EXPECT_EQ(S_OK, handler.Invoke(9));  // no such item, but the fixed offsets come first
  EXPECT_EQ(E_FAIL, handler.Invoke(29));
  auto messages = mainProgram.Verbs();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(-12400, messages[0].verb);
  EXPECT_EQ(-12336, messages[1].verb);
  EXPECT_EQ(text, messages[1].text);
}

TEST_F(Commands, WallpaperItemsOfAPictureWithoutBitmap) {
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({picture});
  EXPECT_EQ(S_OK, handler.Invoke(36));  // tiled, S = 12
  auto messages = mainProgram.Verbs();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(-12800, messages[0].verb);
  EXPECT_EQ(picture, messages[0].text);
  EXPECT_EQ("1", testsupport::ReadHkcuString("Control Panel\\desktop", "WallpaperStyle"));
  EXPECT_EQ("0", testsupport::ReadHkcuString("Control Panel\\desktop", "TileWallpaper"));
}

TEST_F(Commands, PrintAndWordpadAreShellCalls) {
  Recorder recorder;
  ShellRegistrations shell(recorder.Install("editor.exe"));
  Handler handler;
  handler.Open({text});
  EXPECT_EQ(S_OK, handler.Invoke(0));
  recorder.WaitForRecords(1);
  EXPECT_EQ(S_OK, handler.Invoke(1));
  auto records = recorder.WaitForRecords(2);
  ASSERT_EQ(2u, records.size());
  EXPECT_NE(std::string::npos, records[0].commandLine.find("/p \"" + text + "\"")) << records[0].commandLine;
  EXPECT_NE(std::string::npos, records[1].commandLine.find("\"" + text + "\"")) << records[1].commandLine;
  EXPECT_EQ(std::string::npos, records[1].commandLine.find("/p"));
}

TEST_F(Commands, ThePreviewItemWithoutMainProgramStartsItWithTheWindowNumber) {
  Recorder recorder;
  std::string program = InstallMainProgram(recorder);
  Handler handler;
  handler.Open({picture});
  HWND owner = GetDesktopWindow();
  EXPECT_EQ(S_OK, handler.Invoke(3, owner));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("\"" + program + "\"  " + std::to_string(reinterpret_cast<INT_PTR>(owner)), records[0].commandLine);
}

TEST_F(Commands, ThePreviewItemFollowsStatusOrderAndViewerSettings) {
  Recorder recorder;
  std::string program = InstallMainProgram(recorder);
  FakeMainWindow mainProgram;
  Handler handler;
  handler.Open({picture});

  testsupport::SetProgramDword(nullptr, "status", 0);
  EXPECT_EQ(S_OK, handler.Invoke(3));
  testsupport::SetProgramDword(nullptr, "status", 1);
  testsupport::SetProgramDword(nullptr, "order", 1);
  EXPECT_EQ(S_OK, handler.Invoke(3));
  EXPECT_FALSE(testsupport::HkcuValueExists("Software\\Kestrani\\Ombrelo", "order"));
  auto messages = mainProgram.Verbs();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ(-12900, messages[0].verb);
  EXPECT_EQ(-12600, messages[1].verb);

  // "ExtViewCmd" without "ExtView": the main program's own viewer.
  testsupport::SetProgramString(nullptr, "ExtViewCmd", recorder.Install("viewer.exe"));
  EXPECT_EQ(S_OK, handler.Invoke(3));
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(0u, records[0].commandLine.find("\"" + program + "\"  Show " + picture)) << records[0].commandLine;

  // Both values: the external viewer.
  testsupport::SetProgramDword(nullptr, "ExtView", 1);
  EXPECT_EQ(S_OK, handler.Invoke(3));
  records = recorder.WaitForRecords(2);
  ASSERT_EQ(2u, records.size());
  EXPECT_NE(std::string::npos, records[1].commandLine.find("viewer.exe" "")) << records[1].commandLine;
}

TEST_F(Commands, WithoutWordpadTheTextFileOpensInTheTextEditor) {
  // WordPad cannot be started (Windows 11 24H2 has none): its application
  // path names no file, and Program Files holds none. The program
  // registered for text files opens it instead.
  Recorder recorder;
  ShellRegistrations shell(recorder.Install("viewer.exe"), "open", "C:\\no\\such\\folder\\wordpad.exe");
  TempDir noProgramFiles;
  char programFiles[MAX_PATH] = {};
  GetEnvironmentVariableA("ProgramFiles", programFiles, MAX_PATH);
  SetEnvironmentVariableA("ProgramFiles", noProgramFiles.path().c_str());
  Handler handler;
  handler.Open({text});
  EXPECT_EQ(S_OK, handler.Invoke(1));
  SetEnvironmentVariableA("ProgramFiles", programFiles);
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos, records[0].commandLine.find("\"" + text + "\"")) << records[0].commandLine;
}
