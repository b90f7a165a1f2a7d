// Locating and starting the main program: the command lines the stand-in
// receives, where it is looked for, and the start prompt.
#include <gtest/gtest.h>

#include "BridgeSupport.h"
#include "bridge/Channel.h"
#include "bridge/MainProgram.h"
#include "common/Handles.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"

namespace bridgetest {
namespace {

using ombrelo::EnsureMainProgramRunning;
using ombrelo::LookupText;
using ombrelo::StartMainProgram;

const char kProgramKey[] = "Software\\Kestrani\\Ombrelo";

std::string StoredCmd(bool* found = nullptr) { return testsupport::ReadHkcuString(kProgramKey, "cmd", found); }

std::string WithoutTrailingBackslash(std::string folder) {
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

bool CopyStandinTo(const std::string& path) { return CopyFileA(StandinPath().c_str(), path.c_str(), FALSE) != 0; }

// Nothing was started: a started program's process exists as soon as the
// call that starts it has returned, before it has written or shown anything.
bool NothingStarted(const Journal& journal) {
  return testsupport::ProcessesNamed("Ombrelo.exe").empty() && journal.Read().empty() &&
         ombrelo::FindMainProgramWindow() == nullptr;
}

class Start : public BridgeTest {};

TEST_F(Start, EachCallerGetsItsCommandLine) {
  Journal journal;
  testsupport::SetProgramString(nullptr, "cmd", StandinPath());
  DialogScript noDialog({});
  const std::string quoted = Quoted(StandinPath()).append("  ");

  EXPECT_EQ(1, StartMainProgram("", 0, ""));
  ASSERT_NE(nullptr, WaitForMainWindow());  // later starts only record their command line
  EXPECT_EQ(1, StartMainProgram("C:\\Bilder\\a.jpg", 1234, ""));
  EXPECT_EQ(1, StartMainProgram("C:\\Bilder\\a.jpg", 1234, "C:\\Bilder\\a.jpg"));
  ombrelo::WithState([](ombrelo::SharedState& s) { s.IsMultiSelection = true; });
  EXPECT_EQ(1, StartMainProgram("C:\\Temp\\spm1.tmp", 0, "C:\\Temp\\spm1.tmp"));
  EXPECT_EQ(1, StartMainProgram("", 0, "C:\\Temp\\spm2.tmp"));  // no request: no number either
  ASSERT_TRUE(journal.WaitForEvents("start", 5));
  noDialog.Finish();

  auto starts = journal.Events("start");
  EXPECT_EQ(quoted, starts[0].text);
  EXPECT_EQ(quoted + "1234", starts[1].text);
  EXPECT_EQ(quoted + "Show C:\\Bilder\\a.jpg", starts[2].text);
  EXPECT_EQ(quoted + "MultiConv C:\\Temp\\spm1.tmp", starts[3].text);
  EXPECT_EQ(quoted + "MultiConv C:\\Temp\\spm2.tmp", starts[4].text);
  for (auto& s : starts) EXPECT_EQ("cwd=" + WithoutTrailingBackslash(StandinFolder()), s.detail);
  EXPECT_EQ(StandinPath(), StoredCmd());
  EXPECT_EQ("", noDialog.Unexpected());
}

TEST_F(Start, FoundBesideTheExtensionWhenCmdIsMissingOrWrong) {
  ASSERT_TRUE(CopyStandinTo(BesideExtension()));
  const std::string quoted = Quoted(BesideExtension()).append("  ");
  for (const char* stored : {"none", "missing file", "a number"}) {
    SCOPED_TRACE(stored);
    testsupport::ResetProgramKey();
    if (std::string(stored) == "missing file") testsupport::SetProgramString(nullptr, "cmd", "C:\\nowhere\\Ombrelo.exe");
    if (std::string(stored) == "a number") testsupport::SetProgramDword(nullptr, "cmd", 7);
    Journal journal;
    DialogScript noDialog({});
    StartMainProgram("", 0, "");
    ASSERT_TRUE(journal.WaitForEvents("start", 1));
    noDialog.Finish();
    EXPECT_EQ("", noDialog.Unexpected());
    EXPECT_EQ(quoted, journal.Events("start")[0].text);
    EXPECT_EQ("cwd=" + WithoutTrailingBackslash(testsupport::ExeDir()), journal.Events("start")[0].detail);
    EXPECT_EQ(BesideExtension(), StoredCmd());
    StopStandins();
  }
}

TEST_F(Start, StartingLeavesNoHandleOpen) {
  Journal journal;
  testsupport::SetProgramString(nullptr, "cmd", StandinPath());
  StartMainProgram("", 0, "");
  ASSERT_NE(nullptr, WaitForMainWindow());
  DWORD before = testsupport::CountKernelHandles();
  for (int i = 0; i < 5; ++i) StartMainProgram("", 0, "");
  ASSERT_TRUE(journal.WaitForEvents("start", 6));
  EXPECT_LE(testsupport::CountKernelHandles(), before);
}

// ---- asking for the installation folder --------------------------------

#ifdef OMBRELO_UFBrowse_PLACEHOLDER
#define SKIP_WITHOUT_FOLDER_BROWSER() GTEST_SKIP() << "the folder browser is still a placeholder that shows no window"
#else
#define SKIP_WITHOUT_FOLDER_BROWSER() (void)0
#endif

struct Texts {
  std::string notFound, browseTitle, notInFolder;
};
const Texts kGerman = {
    "Das Ombrelo Hauptprogramm wurde nicht gefunden. Bitte w\xE4hlen Sie im folgenden Fenster das "
    "Installationsverzeichnis",
    "Bitte w\xE4hlen Sie den Ordner aus in dem sich die Datei \"Ombrelo.exe\" befindet",
    "Die Datei ombrelo.exe wurde im angegebenen Verzeichnis nicht gefunden. Bitte stellen Sie fest, in welchem "
    "Vezeichnis sich die Datei \"ombrelo.exe\" befindet und wiederholen Sie den Vorgang"};
const Texts kEnglish = {
    "Could not find the file: Ombrelo.exe\rPlease choose Ombrelo's installation directory in the following dialog",
    "Please select Ombrelo's installation directory:",
    "Could not find ombrelo.exe\rPlease reinstall Ombrelo to solve this problem"};

class Locate : public BridgeTest {
 protected:
  // The user is told, picks the folder, and (when it holds no program) is told again.
  std::vector<DialogStep> Steps(const Texts& t, const std::string& folder, bool holdsProgram) {
    std::vector<DialogStep> steps = {{MessageBoxWithText(t.notFound), PressButton(IDOK)},
                                     {HasControlText(t.browseTitle), ChooseFolder(folder)}};
    if (!holdsProgram) steps.push_back({MessageBoxWithText(t.notInFolder), PressButton(IDOK)});
    return steps;
  }
};

TEST_F(Locate, TheChosenFolderIsStoredAndStartedFrom) {
  SKIP_WITHOUT_FOLDER_BROWSER();
  testsupport::TempDir dir;
  ASSERT_TRUE(CopyStandinTo(dir.path() + "ombrelo.exe"));
  Journal journal;
  DialogScript answers(Steps(kGerman, WithoutTrailingBackslash(dir.path()), true));
  StartMainProgram("", 0, "");
  EXPECT_EQ(2u, answers.Finish());
  EXPECT_EQ("", answers.Unexpected());
  EXPECT_EQ(dir.path() + "ombrelo.exe", StoredCmd());
  ASSERT_TRUE(journal.WaitForEvents("start", 1));
  EXPECT_EQ(Quoted(dir.path() + "ombrelo.exe").append("  "), journal.Events("start")[0].text);
  StopStandins();
}

TEST_F(Locate, ADriveRootGetsNoSecondBackslash) {
  SKIP_WITHOUT_FOLDER_BROWSER();
  SetLanguage(1);
  const std::string atRoot = "C:\\ombrelo.exe";
  ASSERT_TRUE(CopyStandinTo(atRoot));
  Journal journal;
  DialogScript answers(Steps(kEnglish, "C:\\", true));
  StartMainProgram("", 0, "");
  EXPECT_EQ(2u, answers.Finish());
  EXPECT_EQ(atRoot, StoredCmd());
  EXPECT_TRUE(journal.WaitForEvents("start", 1));
  StopStandins();
  DeleteFileA(atRoot.c_str());
}

TEST_F(Locate, AFolderWithoutTheProgramIsReportedAndChangesNothing) {
  SKIP_WITHOUT_FOLDER_BROWSER();
  testsupport::TempDir empty;
  for (unsigned char language : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(language));
    SetLanguage(language);
    testsupport::SetProgramString(nullptr, "cmd", "C:\\nowhere\\Ombrelo.exe");
    Journal journal;
    DialogScript answers(Steps(language ? kEnglish : kGerman, WithoutTrailingBackslash(empty.path()), false));
    EXPECT_EQ(1, StartMainProgram("", 0, ""));
    EXPECT_EQ(3u, answers.Finish());
    EXPECT_EQ("", answers.Unexpected());
    EXPECT_EQ("C:\\nowhere\\Ombrelo.exe", StoredCmd());
    EXPECT_TRUE(NothingStarted(journal));
  }
}

TEST_F(Locate, ACancelledBrowserStoresThePathBesideTheExtension) {
  SKIP_WITHOUT_FOLDER_BROWSER();
  SetLanguage(1);
  Journal journal;
  DialogScript answers({{MessageBoxWithText(kEnglish.notFound), PressButton(IDOK)},
                        {HasControlText(kEnglish.browseTitle), PressButton(IDCANCEL)}});
  EXPECT_EQ(1, StartMainProgram("", 0, ""));
  EXPECT_EQ(2u, answers.Finish());
  EXPECT_EQ("", answers.Unexpected());
  EXPECT_EQ(BesideExtension(), StoredCmd());
  EXPECT_TRUE(NothingStarted(journal));
}

// ---- the start prompt ----------------------------------------------------

#ifdef OMBRELO_UExtMsgBox_PLACEHOLDER
#define SKIP_WITHOUT_PROMPT() GTEST_SKIP() << "the extended message box is still a placeholder that shows no window"
#else
#define SKIP_WITHOUT_PROMPT() (void)0
#endif

class Prompt : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    SetLanguage(1);
    testsupport::SetProgramString(nullptr, "cmd", StandinPath());
  }
  static std::function<bool(HWND)> IsPrompt() { return HasControlText(LookupText("@idAlwaysAutostart")); }
  static bool AutoStartWritten() { return testsupport::HkcuValueExists(kProgramKey, "AutoStart"); }
};

TEST_F(Prompt, ARunningMainProgramIsNotAskedFor) {
  ASSERT_NE(nullptr, StartStandin());
  DialogScript noDialog({});
  EXPECT_EQ(reinterpret_cast<INT_PTR>(ombrelo::FindMainProgramWindow()), EnsureMainProgramRunning());
  noDialog.Finish();
  EXPECT_EQ("", noDialog.Unexpected());
}

TEST_F(Prompt, ShowsTheQuestionInTheActiveLanguage) {
  SKIP_WITHOUT_PROMPT();
  for (unsigned char language : {0, 1}) {
    SetLanguage(language);
    Journal journal;
    DialogScript answers({{IsPrompt(), ClickControl(LookupText("@idNo"))}});
    EXPECT_EQ(1, EnsureMainProgramRunning());
    ASSERT_EQ(1u, answers.Finish());
    std::string seen = answers.Seen(0);
    for (const char* key : {"@idStartMainprog", "@idAlwaysAutostart", "@idYes", "@idNo"})
      EXPECT_NE(std::string::npos, seen.find(LookupText(key))) << key << " in " << seen;
    EXPECT_EQ(0u, seen.find("Ombrelo|")) << seen;  // the caption
  }
}

TEST_F(Prompt, EachAnswerStartsAndRemembersAsChosen) {
  SKIP_WITHOUT_PROMPT();
  const std::string yes = LookupText("@idYes"), no = LookupText("@idNo"), box = LookupText("@idAlwaysAutostart");
  const struct {
    const char* name;
    std::function<void(HWND)> answer;
    bool starts, remembers;
  } cases[] = {
      {"first button with the box ticked", ClickControl(yes, box), true, true},
      {"first button", ClickControl(yes), true, false},
      {"second button with the box ticked", ClickControl(no, box), false, false},
      {"second button", ClickControl(no), false, false},
      {"close box", [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); }, false, false},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "cmd", StandinPath());
    Journal journal;
    DialogScript answers({{IsPrompt(), c.answer}});
    EXPECT_EQ(1, EnsureMainProgramRunning());
    EXPECT_EQ(1u, answers.Finish());
    EXPECT_EQ(c.remembers, AutoStartWritten());
    if (c.remembers) {
      EXPECT_TRUE(ombrelo::IsAutoStartEnabled());
    }
    if (c.starts) {
      ASSERT_TRUE(journal.WaitForEvents("start", 1));
      EXPECT_EQ(Quoted(StandinPath()).append("  "), journal.Events("start")[0].text);
    } else {
      EXPECT_TRUE(NothingStarted(journal));
    }
    StopStandins();
  }
}

TEST_F(Prompt, AutoStartOneStartsWithoutAskingAnyOtherValueAsks) {
  SKIP_WITHOUT_PROMPT();
  {
    testsupport::SetProgramDword(nullptr, "AutoStart", 1);
    Journal journal;
    DialogScript noDialog({});
    EXPECT_EQ(1, EnsureMainProgramRunning());
    noDialog.Finish();
    EXPECT_EQ("", noDialog.Unexpected());
    EXPECT_TRUE(journal.WaitForEvents("start", 1));
    StopStandins();
  }
  const std::function<void()> others[] = {[] { testsupport::SetProgramDword(nullptr, "AutoStart", 0); },
                                          [] { testsupport::SetProgramDword(nullptr, "AutoStart", 2); },
                                          [] { testsupport::SetProgramString(nullptr, "AutoStart", "1"); }};
  for (auto& store : others) {
    store();
    EXPECT_FALSE(ombrelo::IsAutoStartEnabled());
    DialogScript answers({{IsPrompt(), ClickControl(LookupText("@idNo"))}});
    EnsureMainProgramRunning();
    EXPECT_EQ(1u, answers.Finish());
  }
}

TEST_F(Prompt, ADeclinedPromptSendsNothing) {
  SKIP_WITHOUT_PROMPT();
  Journal journal;
  DialogScript answers({{IsPrompt(), ClickControl(LookupText("@idNo"))}});
  ombrelo::SendMainProgramCommand("C:\\a.jpg", "jpg");
  EXPECT_EQ(1u, answers.Finish());
  EXPECT_TRUE(NothingStarted(journal));
}

}  // namespace
}  // namespace bridgetest
