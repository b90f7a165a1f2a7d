// The command channel as the main program sees it: what arrives in the
// stand-in's journal for each verb, the preview requests and their status.
#include <gtest/gtest.h>

#include "BridgeSupport.h"
#include "bridge/Channel.h"
#include "common/Handles.h"

namespace bridgetest {
namespace {

using ombrelo::IsPreviewDisabled;
using ombrelo::RequestPreview;
using ombrelo::SendMainProgramCommand;

class Channel : public BridgeTest {};

TEST_F(Channel, EveryVerbArrivesWithItsCodeAndTheZeroTerminatedPath) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  const struct {
    const char* verb;
    const char* code;
  } verbs[] = {{"pcx", "-12337"},     {"jpg", "-12336"},     {"bmp", "-12335"},       {"png", "-12334"},
               {"tif", "-12333"},     {"nix", "-12300"},     {"options", "-12400"},   {"PicClip", "-12500"},
               {"order", "-12600"},   {"drucken", "-12700"}, {"wallpaper", "-12800"}, {"CStatus", "-12900"}};
  for (auto& v : verbs) SendMainProgramCommand("C:\\a.jpg", v.verb);

  auto got = journal.Events("copydata");
  ASSERT_EQ(std::size(verbs), got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(verbs[i].code, got[i].code) << verbs[i].verb;
    EXPECT_EQ("9", got[i].bytes) << verbs[i].verb;
    EXPECT_EQ("C:\\a.jpg%00", got[i].text) << verbs[i].verb;
    EXPECT_EQ("wparam=0", got[i].detail) << verbs[i].verb;
  }
}

TEST_F(Channel, PathBytesAreSentUnchangedWhateverTheirLength) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  const std::string longPath = "C:\\" + std::string(250, 'x') + ".jpg";
  SendMainProgramCommand("C:\\Bilder\\Gr\xF6\xDF" "e 100%.jpg", "jpg");
  SendMainProgramCommand("", "jpg");
  SendMainProgramCommand(longPath, "png");

  auto got = journal.Events("copydata");
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ("C:\\Bilder\\Gr\xF6\xDF" "e 100%25.jpg%00", got[0].text);  // code page 1252, one byte per letter
  EXPECT_EQ("25", got[0].bytes);
  EXPECT_EQ("%00", got[1].text);
  EXPECT_EQ("1", got[1].bytes);
  EXPECT_EQ(longPath + "%00", got[2].text);
  EXPECT_EQ(std::to_string(longPath.size() + 1), got[2].bytes);
}

TEST_F(Channel, VerbsOutsideTheTableSendNothing) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  for (const char* verb : {"JPG", "gif", "Jpg", "", "jpg ", "cstatus"}) SendMainProgramCommand("C:\\a.jpg", verb);
  SendMainProgramCommand("C:\\a.jpg", "nix");  // marks the end: messages arrive in order

  auto got = journal.Events("copydata");
  ASSERT_EQ(1u, got.size());
  EXPECT_EQ("-12300", got[0].code);
}

TEST_F(Channel, PreviewRequestsCarryTheMenuHandleAndTheMarkedPath) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu contextMenu(CreatePopupMenu());
  ombrelo::UniqueMenu mainSubmenu(CreatePopupMenu());
  const std::string path = "C:\\Bilder\\strand.jpg";

  RequestPreview("_" + path, contextMenu.get());  // preview item in the context menu
  RequestPreview("+" + path, mainSubmenu.get());
  RequestPreview(path, mainSubmenu.get());         // preview item in the submenu

  auto got = journal.Events("copydata");
  ASSERT_EQ(3u, got.size());
  EXPECT_EQ(std::to_string(HandleToLong(contextMenu.get())), got[0].code);
  EXPECT_EQ("_" + path + "%00", got[0].text);
  EXPECT_EQ(std::to_string(path.size() + 2), got[0].bytes);
  EXPECT_EQ(std::to_string(HandleToLong(mainSubmenu.get())), got[1].code);
  EXPECT_EQ("+" + path + "%00", got[1].text);
  EXPECT_EQ(std::to_string(HandleToLong(mainSubmenu.get())), got[2].code);
  EXPECT_EQ(path + "%00", got[2].text);
  EXPECT_EQ(std::to_string(path.size() + 1), got[2].bytes);
  for (auto& e : got) EXPECT_EQ("wparam=0", e.detail);
}

TEST_F(Channel, PreviewRequestsNeedARunningMainProgramAndNeverStartIt) {
  Journal journal;
  testsupport::SetProgramString(nullptr, "cmd", StandinPath());
  testsupport::SetProgramDword(nullptr, "AutoStart", 1);
  DialogScript noDialog({});
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  RequestPreview("C:\\a.jpg", menu.get());
  noDialog.Finish();
  EXPECT_EQ("", noDialog.Unexpected());
  EXPECT_EQ(nullptr, ombrelo::FindMainProgramWindow());
}

// "status": 1 enables the preview, any other integer disables it; a missing
// key or value, or a value of another type, leaves it enabled.
TEST_F(Channel, PreviewStatusDecidesWhetherARequestIsSent) {
  Journal journal;
  ASSERT_NE(nullptr, StartStandin());
  ombrelo::UniqueMenu menu(CreatePopupMenu());
  struct Case {
    const char* name;
    std::function<void()> store;
    bool disabled;
  };
  const Case cases[] = {
      {"no key", [] {}, false},
      {"no value", [] { testsupport::SetProgramString(nullptr, "cmd", "x"); }, false},
      {"1 by the main program", [] { RunStandinSwitches("/status=1"); }, false},
      {"0 by the main program", [] { RunStandinSwitches("/status=0"); }, true},
      {"2", [] { testsupport::SetProgramDword(nullptr, "status", 2); }, true},
      {"-1", [] { testsupport::SetProgramDword(nullptr, "status", 0xFFFFFFFF); }, true},
      {"deleted by the main program", [] { RunStandinSwitches("/status=0 /status="); }, false},
      {"string 0", [] { testsupport::SetProgramString(nullptr, "status", "0"); }, false},
      {"two bytes", [] {
         const BYTE zero[2] = {0, 0};
         testsupport::SetProgramValue(nullptr, "status", REG_BINARY, zero, 2);
       }, false},
  };
  size_t expectedMessages = 0;
  for (const Case& c : cases) {
    testsupport::ResetProgramKey();
    c.store();
    EXPECT_EQ(c.disabled, IsPreviewDisabled()) << c.name;
    RequestPreview("C:\\a.jpg", menu.get());
    if (!c.disabled) ++expectedMessages;
    EXPECT_EQ(expectedMessages, journal.Events("copydata").size()) << c.name;
  }
}

TEST_F(Channel, TheMainProgramCanRecordAPendingOrder) {
  RunStandinSwitches("/order=show");
  EXPECT_EQ("show", testsupport::ReadHkcuString("Software\\Kestrani\\Ombrelo", "order"));
  RunStandinSwitches("/order=");
  EXPECT_FALSE(testsupport::HkcuValueExists("Software\\Kestrani\\Ombrelo", "order"));
}

TEST_F(Channel, ASlowMainProgramIsAwaitedUntilItHasAnswered) {
  Journal journal;
  SetStandinSetting("OMBRELO_STANDIN_DELAY", "1500");
  ASSERT_NE(nullptr, StartStandin());
  testsupport::TempDir dir;
  std::string picture = dir.path() + "slow.png";
  WritePicture(picture, GUID_ContainerFormatPng, 64, 48);
  ombrelo::UniqueMenu menu(CreatePopupMenu());

  RequestPreview(picture, menu.get());
  // No waiting here: the answer (and the bitmap) must be there when the call returns.
  EXPECT_EQ(1u, journal.Events("preview").size());
  SendMainProgramCommand(picture, "jpg");
  EXPECT_EQ(2u, journal.Events("copydata").size());
}

// A main program that takes too long is given up after the time limit; once
// it counts as hung, further messages are given up at once.
TEST_F(Channel, ABusyOrHungMainProgramGivesControlBackToTheShell) {
  Journal journal;
  SetStandinSetting("OMBRELO_STANDIN_DELAY", "300000");
  ombrelo::UniqueKernelHandle process(StartStandin());
  ASSERT_TRUE(process);
  HWND window = ombrelo::FindMainProgramWindow();
  ASSERT_NE(nullptr, window);
  auto release = [&] { TerminateProcess(process.get(), 1); };
  ombrelo::UniqueMenu menu(CreatePopupMenu());

  // Bounds far above the limits (2 s for the previews of a menu, 60 s for a command):
  // what fails here is a call that would not return.
  EXPECT_TRUE(ReturnsWithin([&] { RequestPreview("C:\\a.jpg", menu.get()); }, std::chrono::seconds(40), release));
  EXPECT_EQ(1u, journal.Events("copydata").size());  // it arrived, and is still being handled
  testsupport::WaitUntil([&] { return IsHungAppWindow(window) != FALSE; }, std::chrono::seconds(20));
  EXPECT_TRUE(ReturnsWithin([&] { SendMainProgramCommand("C:\\a.jpg", "jpg"); }, std::chrono::seconds(90), release));
  EXPECT_EQ(1u, journal.Events("copydata").size());
  release();
  WaitForSingleObject(process.get(), 10000);
}

}  // namespace
}  // namespace bridgetest
