// Partners that misbehave and files that resist: a main program that dies
// while it handles a command or answers slowly, viewers and open-with
// programs that cannot start or end at once, and text files that are empty,
// huge, locked or gone by the time the command runs. Every command returns,
// leaves no handle and no process behind, and never leaves the clipboard open.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "bridge/BridgeSupport.h"
#include "bridge/Channel.h"
#include "bridge/CopyData.h"
#include "bridge/TextActions.h"
#include "commands/CommandsSupport.h"
#include "commands/Handler.h"
#include "common/Handles.h"
#include "lang/DMSStrings.h"
#include "menu/CommandIds.h"
#include "robust/RobustSupport.h"

using namespace bridgetest;
using namespace ombrelo;
using commandtest::ClipboardIsFree;
using commandtest::ReadClipboardText;
using commandtest::SetClipboardText;
using testsupport::CountKernelHandles;

namespace {

// The process's memory: the working set and its peak. The peak of committed
// memory is not used: Wine reports the present value as the peak.
PROCESS_MEMORY_COUNTERS MemoryCounters() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters;
}

class Partners : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    testsupport::SetProgramDword("Txt", "TxtPreview", 1);  // text files get the menu without Ctrl
    commandtest::RemoveSettingsFile();
  }
  void TearDown() override {
    commandtest::RemoveSettingsFile();
    BridgeTest::TearDown();
  }
  testsupport::TempDir dir;
};

}  // namespace

TEST_F(Partners, AMainProgramThatDiesWhileHandlingACommandReleasesTheShell) {
  Journal journal;
  SetStandinSetting("OMBRELO_STANDIN_CRASH", "1");
  UniqueKernelHandle process(StartStandin());
  ASSERT_TRUE(process);
  HWND window = FindMainProgramWindow();
  ASSERT_NE(nullptr, window);
  const DWORD handles = CountKernelHandles();
  auto release = [&] { TerminateProcess(process.get(), 1); };

  // Bounds far above anything the channel should wait: what fails here is a
  // call that would not return.
  EXPECT_TRUE(ReturnsWithin([] { SendMainProgramCommand("C:\\a.jpg", "jpg"); }, 30s, release));
  EXPECT_EQ(1u, journal.Events("copydata").size());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 10000));
  EXPECT_EQ(handles, CountKernelHandles());
  // A message to the window of the ended program fails,
  EXPECT_TRUE(ReturnsWithin([&] { EXPECT_FALSE(SendCopyData(1, "C:\\a.jpg", window, kCommandTimeoutMs)); }, 30s, [] {}));
  // and the next command is treated as for a main program that does not run:
  // the start prompt, declined here, and nothing is sent.
  DialogScript answers({{HasControlText(LookupText("@idAlwaysAutostart")), ClickControl(LookupText("@idNo"))}});
  SendMainProgramCommand("C:\\b.jpg", "png");
  EXPECT_EQ(1u, answers.Finish());
  EXPECT_EQ(1u, journal.Events("copydata").size());
}

TEST_F(Partners, ASlowMainProgramGetsTwoCommandsIssuedTogetherEachWhole) {
  Journal journal;
  SetStandinSetting("OMBRELO_STANDIN_DELAY", "1000");
  UniqueKernelHandle process(StartStandin());
  ASSERT_TRUE(process);
  // Two windows of the shell issue a command each while the main program is busy.
  EXPECT_TRUE(ReturnsWithin(
      [] {
        std::thread other([] { SendMainProgramCommand("C:\\second.png", "png"); });
        SendMainProgramCommand("C:\\first.jpg", "jpg");
        other.join();
      },
      60s, [&] { TerminateProcess(process.get(), 1); }));
  auto got = journal.Events("copydata");
  ASSERT_EQ(2u, got.size());
  std::sort(got.begin(), got.end(), [](auto& a, auto& b) { return a.text < b.text; });
  EXPECT_EQ("-12336", got[0].code);
  EXPECT_EQ("C:\\first.jpg%00", got[0].text);
  EXPECT_EQ("-12334", got[1].code);
  EXPECT_EQ("C:\\second.png%00", got[1].text);
}

// A main program that is slow but not hung (seconds for every message):
// the requests of a menu share one deadline, so each right-click shows its
// menu once that has passed, without the preview, and the request that
// would follow the one that ran out is not sent.
TEST_F(Partners, ASlowMainProgramCostsEachMenuOnlyItsPreview) {
  robust::Rng rng = robust::CaseRng();
  const std::string picture = dir.path() + "beach.png";
  WritePicture(picture, GUID_ContainerFormatPng, 64, 48);
  const int rounds = robust::Rounds(1);
  for (int round = 0; round < rounds && !HasFailure(); ++round) {
    const int delay = robust::Between(rng, 2500, 9500);
    SCOPED_TRACE("the main program takes " + std::to_string(delay) + " ms for every message");
    Journal journal;
    SetStandinSetting("OMBRELO_STANDIN_DELAY", std::to_string(delay));
    UniqueKernelHandle process(StartStandin());
    ASSERT_TRUE(process);
    const HWND window = FindMainProgramWindow();
    {
      commandtest::Handler handler;
      handler.Open({picture});
      EXPECT_EQ("[Unkown subformat]", handler.Caption(CmdPreview));
    }
    // Answered once the stand-in has handled what it was sent before.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);
    EXPECT_EQ(1u, journal.Events("copydata").size());
    StopStandins();
    SetStandinSetting("OMBRELO_STANDIN_DELAY", "");
  }
}

// Open-with programs and the external viewer that are missing, are no
// program at all, or end at once: each command reports success as designed
// and nothing stays behind.
TEST_F(Partners, ViewersThatCannotStartOrEndAtOnceLeaveNothingBehind) {
  commandtest::Recorder recorder;
  const std::string quick = recorder.Install("quickview.exe");  // records its start and ends
  const std::string broken = dir.File("broken.exe", "no program");
  const std::string missing = dir.path() + "missing.exe";
  const std::string picture = dir.File("beach.jpg", "jpeg");
  commandtest::WriteOpenWithEntries({missing, broken, quick});
  testsupport::SetProgramDword(nullptr, "ExtView", 1);
  commandtest::FakeMainWindow mainProgram;  // the preview item shows pictures only while it runs
  commandtest::Handler handler;
  handler.Open({picture});

  size_t runs = 0;
  auto runAll = [&] {
    DialogScript missingProgram({{MessageBoxWithText("Could not found\"" + missing + "\""), PressButton(IDOK)}});
    for (UINT entry = 0; entry < 3; ++entry) EXPECT_EQ(S_OK, handler.Invoke(OpenWithEntryOffset(entry))) << entry;
    EXPECT_EQ(1u, missingProgram.Finish());
    EXPECT_EQ("", missingProgram.Unexpected());
    for (const std::string& viewer : {broken, quick}) {
      testsupport::SetProgramString(nullptr, "ExtViewCmd", viewer);
      EXPECT_EQ(S_OK, handler.Invoke(CmdPreview)) << viewer;
    }
    ++runs;
    EXPECT_EQ(2 * runs, recorder.WaitForRecords(2 * runs).size());
  };
  runAll();  // the first starts settle what the system keeps for later ones
  const DWORD handles = CountKernelHandles();
  runAll();
  runAll();
  EXPECT_TRUE(testsupport::WaitUntil([] { return testsupport::ProcessesNamed("quickview.exe").empty(); }, 10s));
  EXPECT_EQ(handles, CountKernelHandles());
  EXPECT_TRUE(mainProgram.Verbs().empty());
}

// The selected text file changes between building the menu and the command.
TEST_F(Partners, TextFilesThatAreEmptyLockedOrGoneLeaveASafeClipboard) {
  commandtest::Recorder recorder;
  testsupport::SetProgramString("Txt", "ViewerCmd", recorder.Install("textview.exe"));
  commandtest::FakeMainWindow mainProgram;
  struct Case {
    const char* name;
    UINT offset;
    const char* spoil;  // "empty", "locked" or "gone"
    std::string expected;  // on the clipboard; "<path>" for the file's path
  };
  const Case cases[] = {
      {"empty file", CmdCopyText, "empty", ""},
      {"locked file", CmdCopyText, "locked", "before"},
      {"gone file", CmdCopyText, "gone", "before"},
      {"name of a gone file", CmdCopyTextName, "gone", "<path>"},
      {"preview item of a gone file", CmdPreview, "gone", "before"},
      {"options for a gone file", CmdTextOptions, "gone", "before"},
  };
  for (const Case& c : cases) {
    const std::string path = dir.File("notes.txt", "one\ntwo\n");
    commandtest::Handler handler;
    handler.Open({path});
    SetClipboardText("before");
    UniqueFile held;
    if (std::strcmp(c.spoil, "empty") == 0) testsupport::WriteFileBytes(path, "");
    if (std::strcmp(c.spoil, "gone") == 0) {
      ASSERT_TRUE(DeleteFileA(path.c_str())) << c.name;
    }
    if (std::strcmp(c.spoil, "locked") == 0) {
      // Another program holds the file without sharing it.
      held.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held) << c.name;
    }
    EXPECT_EQ(S_OK, handler.Invoke(c.offset)) << c.name;
    EXPECT_TRUE(ClipboardIsFree()) << c.name;
    EXPECT_EQ(c.expected == "<path>" ? path : c.expected, ReadClipboardText().value_or("<none>")) << c.name;
  }
  // The viewer and the main program got the path of the file that was chosen.
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos, records[0].commandLine.find("\"" + dir.path() + "notes.txt\""));
  auto verbs = mainProgram.Verbs();
  ASSERT_EQ(1u, verbs.size());
  EXPECT_EQ(-12400, verbs[0].verb);
  EXPECT_EQ(dir.path() + "notes.txt", verbs[0].text);
}

// 200 MB of LF-ended lines: the text (every break widened to CR LF, the last
// one left out) costs its clipboard block and little more.
TEST_F(Partners, AHugeTextFileIsCopiedAtTheCostOfItsText) {
  const std::string line(49, 'x');
  const size_t linesPerPiece = 4096, pieces = 1024, lines = linesPerPiece * pieces;
  const std::string path = dir.path() + "huge.txt";
  {
    std::string piece;
    for (size_t i = 0; i < linesPerPiece; ++i) piece.append(line).append(1, '\n');
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    for (size_t i = 0; i < pieces; ++i) {
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(file.get(), piece.data(), static_cast<DWORD>(piece.size()), &written, nullptr));
    }
  }
  const size_t expectedLength = lines * (line.size() + 2) - 2;
  commandtest::StartModule();
  commandtest::SelectFiles({path}, true);
  SetClipboardText("before");

  const PROCESS_MEMORY_COUNTERS before = MemoryCounters();
  CopyToClipboard(path, false);
  const PROCESS_MEMORY_COUNTERS after = MemoryCounters();
  DeleteFileA(path.c_str());
  EXPECT_TRUE(ClipboardIsFree());

  // Everything the copy allocates is written, so it shows in the working set.
  if (after.PeakWorkingSetSize == 0) {
    std::printf("[  NOTE    ] the system reports no peak working set: memory not checked\n");
  } else {
    const size_t bound = std::max(before.PeakWorkingSetSize, before.WorkingSetSize + expectedLength + (64u << 20));
    EXPECT_LE(after.PeakWorkingSetSize, bound) << "working set before: " << before.WorkingSetSize;
  }

  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_TEXT);
  const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  if (text) {
    const std::string first = line + "\r\n", last = "xx\r\n" + line;
    EXPECT_EQ(expectedLength, strnlen(text, GlobalSize(data)));
    EXPECT_EQ(first, std::string(text, first.size()));
    EXPECT_EQ(first, std::string(text + (lines / 2) * first.size(), first.size()));
    EXPECT_EQ(last, std::string(text + expectedLength - last.size(), last.size()));
    GlobalUnlock(data);
  } else {
    ADD_FAILURE() << "no text on the clipboard";
  }
  EmptyClipboard();  // the memory goes back
  CloseClipboard();
}
