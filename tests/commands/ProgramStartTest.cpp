// Starting other programs: a file name is one argument and never a command,
// a text file is read and never run, and no program is looked up in the
// host's current folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <optional>

#include "bridge/TextActions.h"
#include "bridge/Viewer.h"
#include "commands/CommandsSupport.h"
#include "common/FileNames.h"
#include "common/SystemLibrary.h"
#include "menu/CommandIds.h"
#include "menu/FolContMenu.h"
#include "menu/MenuCommands.h"
#include "support/Windows.h"

using namespace commandtest;
using testsupport::TempDir;
using testsupport::WindowWatcher;

namespace {

using Words = std::vector<std::wstring>;

std::wstring FromUtf8(const std::string& text) {
  std::wstring out(text.size(), L'\0');
  out.resize(static_cast<size_t>(
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()))));
  return out;
}

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                     out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

// The words of a recorded command line: the program, then its arguments.
Words WordsOf(const std::string& utf8CommandLine) {
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(FromUtf8(utf8CommandLine).c_str(), &count);
  Words result(words, words + count);
  LocalFree(words);
  return result;
}

std::wstring FileNameOf(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

std::wstring ShortOrFull(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : path;
}

// Waits until every cmd.exe has finished, so that whatever a batch file's
// command line might have started has started.
void WaitForCmdToFinish() {
  EXPECT_TRUE(testsupport::WaitUntil([] { return testsupport::ProcessesNamed("cmd.exe").empty(); },
                                     std::chrono::seconds(30)));
}

// Waits (bounded) for a process of this name, ends it and gives the path of
// its program; empty when none came.
std::string EndProcessNamed(const char* name) {
  std::string image;
  testsupport::WaitUntil(
      [&] {
        for (DWORD id : testsupport::ProcessesNamed(name)) {
          HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, id);
          if (!process) continue;
          char buffer[MAX_PATH] = {};
          DWORD size = MAX_PATH;
          if (QueryFullProcessImageNameA(process, 0, buffer, &size)) image = buffer;
          TerminateProcess(process, 0);
          CloseHandle(process);
        }
        return !image.empty();
      },
      std::chrono::seconds(20));
  return image;
}

class ProgramStart : public ::testing::Test {
 protected:
  void SetUp() override {
    StartModule();
    SetLanguage(1);
    testsupport::ResetProgramKey();
    folder = ombrelo::WideFromAnsi(dir.path());
  }
  void TearDown() override {
    SetLanguage(1);
    testsupport::ResetProgramKey();
  }
  // A file made through the wide API where the file system takes its name;
  // the path either way.
  std::wstring Picture(const std::wstring& name) {
    const std::wstring path = folder + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return path;
  }

  TempDir dir;
  std::wstring folder;
};

}  // namespace

// An open-with program, an executable or a batch file, receives each path as
// exactly one argument; through a batch file no part of a name becomes a
// command (a recorder named "argdump" waits beside it, in cmd.exe's current
// folder), and a name cmd.exe would expand is refused with a message.
TEST_F(ProgramStart, OpenWithProgramsGetEachPathAsOneArgumentAndNothingElseRuns) {
  Recorder recorder;
  const std::string exe = recorder.Install("open with.exe");
  recorder.Install("argdump.exe");
  const std::string recorderPath = recorder.Install("recorder.exe");
  const std::string bat = recorder.Folder() + "open with.bat";
  testsupport::WriteFileBytes(bat, "@\"" + recorderPath + "\" %*\r\n");

  struct Case {
    std::wstring name;
    const char* argTemplate;
  };
  std::vector<Case> cases;
  for (const wchar_t* name : {L"my pic -evil.jpg", L"-lead.jpg", L"pic&argdump&.jpg", L"a|argdump|b.jpg",
                              L"up^hat^^.jpg", L"100%PATH%.jpg", L"wow!PATH!.jpg", L"(round) x).jpg",
                              L"semi;colon,comma.jpg", L"日本 海.jpg"})
    cases.push_back({name, "{Dateiname}"});
  for (const wchar_t* name : {L"my pic&argdump& -x.jpg", L"Жёлтый (1).jpg"})
    for (const char* argTemplate : {"", "/p", "{Dateiname}", "\"{Dateiname}\"", "{Dateiname} {Dateiname im 8.3 Format}"})
      cases.push_back({name, argTemplate});

  for (const std::string& program : {exe, bat}) {
    const bool isBatch = program == bat;
    for (const Case& c : cases) {
      const std::wstring path = Picture(c.name);
      const std::string what = program + " " + Utf8(c.name) + " [" + c.argTemplate + "]";
      const size_t before = recorder.Utf8Records().size();
      if (isBatch && c.name.find(L'%') != std::wstring::npos) {
        WindowWatcher box("#32770", "Ombrelo", Answer(IDOK));
        ombrelo::RunOpenWithProgram(program, ombrelo::SelectedFileOf(path), c.argTemplate, nullptr);
        ASSERT_TRUE(box.Join()) << what;
        EXPECT_NE(std::string::npos, box.Seen().find("The name \"" + ombrelo::AnsiWithReplacements(path) +
                                                     "\" cannot be passed safely to the batch file"))
            << box.Seen();
        WaitForCmdToFinish();
        EXPECT_EQ(before, recorder.Utf8Records().size()) << what;
        continue;
      }
      ombrelo::RunOpenWithProgram(program, ombrelo::SelectedFileOf(path), c.argTemplate, nullptr);
      ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.Utf8Records().size() > before; },
                                         std::chrono::seconds(20)))
          << what;
      WaitForCmdToFinish();
      const std::vector<Record> records = recorder.Utf8Records();
      ASSERT_EQ(before + 1, records.size()) << what << "\n" << records.back().commandLine;
      Words words = WordsOf(records.back().commandLine);
      ASSERT_FALSE(words.empty());
      EXPECT_EQ(isBatch ? "recorder.exe" : "open with.exe", Utf8(FileNameOf(words[0]))) << what;
      words.erase(words.begin());
      const Words expected = std::string(c.argTemplate).find("8.3") != std::string::npos
                                 ? Words{path, ShortOrFull(path)}
                                 : Words{path};
      EXPECT_EQ(expected, words) << what << "\n" << records.back().commandLine;
    }
  }
}

TEST_F(ProgramStart, ABatchFileRefusedForANameTellsSoInGerman) {
  Recorder recorder;
  const std::string bat = recorder.Folder() + "tool.cmd";
  testsupport::WriteFileBytes(bat, "@\"" + recorder.Install("recorder.exe") + "\" %*\r\n");
  SetLanguage(0);
  const std::wstring path = Picture(L"50%.jpg");
  WindowWatcher box("#32770", "Ombrelo", Answer(IDOK));
  ombrelo::RunOpenWithProgram(bat, ombrelo::SelectedFileOf(path), "\"{Dateiname}\"", nullptr);
  ASSERT_TRUE(box.Join());
  EXPECT_NE(std::string::npos, box.Seen().find("Der Name \"" + ombrelo::AnsiWithReplacements(path) +
                                               "\" kann nicht sicher an die Stapelverarbeitungsdatei"))
      << box.Seen();
  WaitForCmdToFinish();
  EXPECT_TRUE(recorder.Records().empty());
}

namespace {

// Registers a program for a file type's verb, and puts back what was there.
class TypeVerb {
 public:
  TypeVerb(const std::string& extension, const std::string& verb, const std::string& program)
      : extension_(extension) {
    ombrelo::RegKey ext;
    ext.Create(HKEY_CLASSES_ROOT, extension.c_str());
    className_ = ext.ReadString("").value_or("");
    if (className_.empty()) {
      className_ = "ombrelotest" + extension;
      ext.WriteString("", className_);
      createdClass_ = true;
    }
    commandKey_ = className_ + "\\shell\\" + verb + "\\command";
    ombrelo::RegKey command;
    command.Create(HKEY_CLASSES_ROOT, commandKey_.c_str());
    old_ = command.ReadString("");
    command.WriteString("", "\"" + program + "\" \"%1\"");
  }
  ~TypeVerb() {
    if (createdClass_) {
      ombrelo::DeleteRegTree(HKEY_CLASSES_ROOT, className_.c_str());
      ombrelo::DeleteRegTree(HKEY_CLASSES_ROOT, extension_.c_str());
      return;
    }
    ombrelo::RegKey command;
    command.Create(HKEY_CLASSES_ROOT, commandKey_.c_str());
    if (old_) command.WriteString("", *old_);
    else command.DeleteValue("");
  }

 private:
  std::string extension_, className_, commandKey_;
  std::optional<std::string> old_;
  bool createdClass_ = false;
};

// While it lives, "%ProgramFiles%" names an empty folder: with App Paths
// naming no file, WordPad cannot be found.
class NoWordpad {
 public:
  NoWordpad() {
    char old[MAX_PATH] = {};
    hadOld_ = GetEnvironmentVariableA("ProgramFiles", old, MAX_PATH) > 0;
    old_ = old;
    SetEnvironmentVariableA("ProgramFiles", empty_.path().c_str());
  }
  ~NoWordpad() { SetEnvironmentVariableA("ProgramFiles", hadOld_ ? old_.c_str() : nullptr); }

 private:
  TempDir empty_;
  std::string old_;
  bool hadOld_ = false;
};

ombrelo::MenuSelection TextSelection(const std::string& path) {
  ombrelo::MenuSelection selection;
  selection.Accepted = true;
  selection.SelectedFiles = {path};
  selection.IsTextFile = true;
  return selection;
}

}  // namespace

// Without WordPad, and for a text viewer that cannot start, a script to be
// read opens in the text editor: the program of its type's "edit" verb,
// else the program registered for ".txt". The script never runs: a batch
// file would write its marker, the other types would start their host.
TEST_F(ProgramStart, ScriptsToBeReadOpenInTheTextEditorAndNeverRun) {
  Recorder recorder;
  const std::string editor = recorder.Install("editor.exe");
  const std::string host = recorder.Install("scripthost.exe");
  const std::string editVerb = recorder.Install("editverb.exe");
  ShellRegistrations shell(editor, "open", dir.path() + "no wordpad.exe");
  NoWordpad noWordpad;
  // Script types run by a host; those have an "edit" verb (a batch file has
  // none here, and is run by cmd.exe).
  std::vector<std::unique_ptr<TypeVerb>> types;
  for (const char* extension : {".vbs", ".js", ".ps1"}) {
    types.push_back(std::make_unique<TypeVerb>(extension, "open", host));
    types.push_back(std::make_unique<TypeVerb>(extension, "edit", editVerb));
  }
  const std::string marker = dir.path() + "ran.txt";
  const std::string batch = "@echo ran> \"" + marker + "\"\r\n";
  const struct {
    const char* name;
    std::string contents;
    const char* opener;
  } cases[] = {
      {"evil.bat", batch, "editor.exe"},   {"evil.cmd", batch, "editor.exe"},
      {"evil.vbs", "x", "editverb.exe"},   {"evil.js", "x", "editverb.exe"},
      {"evil.ps1", "x", "editverb.exe"},   {"plain notes.txt", "x", "editor.exe"},
  };
  testsupport::SetProgramString("Txt", "ViewerCmd", dir.path() + "no viewer.exe");
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name, c.contents);
    for (int way = 0; way < 2; ++way) {
      const size_t before = recorder.Records().size();
      if (way == 0) EXPECT_EQ(S_OK, ombrelo::RunItemCommand(TextSelection(path), {}, ombrelo::CmdWordpadText, nullptr));
      else ombrelo::OpenInTextViewer(path);
      ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.Records().size() > before; },
                                         std::chrono::seconds(20)))
          << c.name << " way " << way;
      WaitForCmdToFinish();
      const std::vector<Record> records = recorder.Records();
      ASSERT_EQ(before + 1, records.size()) << c.name;
      EXPECT_EQ("\"" + recorder.Folder() + c.opener + "\" \"" + path + "\"", records.back().commandLine) << c.name;
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(marker.c_str())) << c.name;
    }
  }
}

// A notepad.exe, wordpad.exe or any program given by a bare or relative
// name in the host's current folder is never started: the text viewer of
// "ViewerCmd" falls back to the editor, an open-with program or external
// viewer given so counts as missing.
TEST_F(ProgramStart, NothingIsStartedFromTheCurrentFolder) {
  Recorder recorder;
  const std::string editor = recorder.Install("editor.exe");
  ShellRegistrations shell(editor, "open", "wordpad.exe");
  NoWordpad noWordpad;
  TempDir planted;
  for (const char* name : {"notepad.exe", "wordpad.exe", "tool.exe", "viewer.exe"})
    CopyFileA((recorder.Folder() + "editor.exe").c_str(), (planted.path() + name).c_str(), FALSE);
  char oldFolder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, oldFolder);
  ASSERT_TRUE(SetCurrentDirectoryA(planted.path().c_str()));
  const std::string text = dir.File("notes.txt", "x");
  const std::string picture = dir.File("beach.jpg", "x");

  size_t expected = 0;
  auto editorOpened = [&](const char* what) {
    ++expected;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.Records().size() >= expected; },
                                       std::chrono::seconds(20)))
        << what;
    EXPECT_EQ("\"" + editor + "\" \"" + text + "\"", recorder.Records().back().commandLine) << what;
  };
  EXPECT_EQ(S_OK, ombrelo::RunItemCommand(TextSelection(text), {}, ombrelo::CmdWordpadText, nullptr));
  editorOpened("wordpad");
  for (const char* viewer : {"wordpad.exe", ".\\notepad.exe", "tool.exe"}) {
    testsupport::SetProgramString("Txt", "ViewerCmd", viewer);
    ombrelo::OpenInTextViewer(text);
    editorOpened(viewer);
  }
  // The default viewer, by name or missing, is Notepad of the system folder.
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  for (bool named : {true, false}) {
    if (named) testsupport::SetProgramString("Txt", "ViewerCmd", "notepad.exe");
    else testsupport::ResetProgramKey();
    ombrelo::OpenInTextViewer(text);
    // A 32-bit test under WOW64 sees the system folder's copy as SysWOW64's.
    const std::string started = EndProcessNamed("notepad.exe");
    char wow64[MAX_PATH] = {};
    const bool isWow64 = GetSystemWow64DirectoryA(wow64, MAX_PATH) > 0 && sizeof(void*) == 4;
    EXPECT_TRUE(_stricmp(started.c_str(), (std::string(system) + "\\notepad.exe").c_str()) == 0 ||
                (isWow64 && _stricmp(started.c_str(), (std::string(wow64) + "\\notepad.exe").c_str()) == 0))
        << started << " " << named;
  }
  for (const char* program : {"tool.exe", ".\\tool.exe", "C:tool.exe"}) {
    WindowWatcher box("#32770", "Ombrelo", Answer(IDOK));
    ombrelo::RunOpenWithProgram(program, picture, "{Dateiname}", nullptr);
    ASSERT_TRUE(box.Join()) << program;
    EXPECT_NE(std::string::npos, box.Seen().find(std::string("Could not found\"") + program + "\"")) << box.Seen();
  }
  {
    WindowWatcher box("#32770", "Ombrelo", Answer(IDNO));
    EXPECT_TRUE(ombrelo::RunExternalViewer("viewer.exe", picture));
    ASSERT_TRUE(box.Join());
  }
  SetCurrentDirectoryA(oldFolder);
  EXPECT_EQ(expected, recorder.Records().size());
  for (const Record& record : recorder.Records())
    EXPECT_EQ(std::string::npos, record.commandLine.find(planted.path())) << record.commandLine;
}

// The DLLs that only a dialog or the menu theme needs come from the system
// folder, even with copies of the same name in the current folder.
TEST_F(ProgramStart, SystemLibrariesComeFromTheSystemFolder) {
  TempDir planted;
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  char oldFolder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, oldFolder);
  ASSERT_TRUE(SetCurrentDirectoryA(planted.path().c_str()));
  for (const char* name : {"comdlg32.dll", "uxtheme.dll"}) {
    CopyFileA((std::string(system) + "\\version.dll").c_str(), (planted.path() + name).c_str(), FALSE);
    HMODULE module = ombrelo::LoadSystemLibrary(name);
    ASSERT_NE(nullptr, module) << name;
    char loaded[MAX_PATH] = {};
    GetModuleFileNameA(module, loaded, MAX_PATH);
    EXPECT_EQ(0, _strnicmp(loaded, system, strlen(system))) << loaded;
    FreeLibrary(module);
  }
  SetCurrentDirectoryA(oldFolder);
}
