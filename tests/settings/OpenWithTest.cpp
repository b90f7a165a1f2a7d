// The open-with entries of the settings file and the profile-reading rules.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "settings/OpenWith.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"
#include "support/Windows.h"

using namespace ombrelo;

namespace {

const std::string kQuotedName = "\"{Dateiname}\"";

struct SettingsFile {
  testsupport::TempDir dir;
  std::string path;
  explicit SettingsFile(const std::string& text) : path(dir.File("Ombrelo.ini", text)) {}
};

OpenWithEntries Read(const std::string& text) {
  SettingsFile file(text);
  return ReadOpenWithFile(file.path);
}

}  // namespace

TEST(ProfileInteger, HexadecimalNeedsAPrefixAndADigit) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  } cases[] = {
      {"12", true, 12},          {"0x3", true, 3},          {"0X1f", true, 31},
      {"0xFFFFFFFF", true, -1},  {"-5", true, -5},          {"+7", true, 7},
      {"007", true, 7},          {"3x", false, 0},          {"0x", false, 0},
      {"0x-3", false, 0},        {"0x1FFFFFFFF", false, 0}, {"2147483648", false, 0},
      {"-2147483648", true, INT_MIN}, {"", false, 0},       {"1 2", false, 0},
      {"0x12g", false, 0},
  };
  for (const Case& c : cases) {
    int value = 12345;
    EXPECT_EQ(c.ok, ParseProfileInteger(c.text, &value)) << c.text;
    if (c.ok) {
      EXPECT_EQ(c.value, value) << c.text;
    }
  }
}

TEST(OpenWithFile, MissingFileSectionOrCountGivesNoEntries) {
  EXPECT_TRUE(ReadOpenWithFile("C:\\no\\such\\folder\\Ombrelo.ini").Captions.empty());
  EXPECT_TRUE(Read("[Other]\r\nCount=2\r\nDesc0=a\r\n").Captions.empty());
  EXPECT_TRUE(Read("[OpenWith]\r\nDesc0=a\r\nCmd0=b\r\n").Captions.empty());
  EXPECT_TRUE(Read("[OpenWith]\r\nCount=3x\r\nDesc0=a\r\n").Captions.empty());
  EXPECT_TRUE(Read("[OpenWith]\r\nCount=-2\r\nDesc0=a\r\n").Captions.empty());
}

TEST(OpenWithFile, CountInHexadecimalAndEntriesInOrder) {
  OpenWithEntries e = Read(
      "[OpenWith]\r\nCount=0x3\r\n"
      "Desc0=Paint\r\nCmd0=C:\\paint.exe\r\nParams0=-open {Dateiname}\r\n"
      "Desc1=Viewer\r\nCmd1=C:\\view.exe\r\n"
      "Desc2=Editor\r\nCmd2=C:\\edit.exe\r\nParams2=/e \"{Dateiname}\"\r\n");
  ASSERT_EQ(3u, e.Captions.size());
  EXPECT_EQ((std::vector<std::string>{"Paint", "Viewer", "Editor"}), e.Captions);
  EXPECT_EQ((std::vector<std::string>{"C:\\paint.exe", "C:\\view.exe", "C:\\edit.exe"}), e.Commands);
  // Entry 1 has no template of its own: the default, not entry 0's.
  EXPECT_EQ((std::vector<std::string>{"-open {Dateiname}", kQuotedName, "/e \"{Dateiname}\""}), e.Params);
}

TEST(OpenWithFile, EntriesWithoutKeysAreStillListed) {
  OpenWithEntries e = Read("[OpenWith]\r\nCount=3\r\nDesc1=only\r\n");
  EXPECT_EQ((std::vector<std::string>{"", "only", ""}), e.Captions);
  EXPECT_EQ((std::vector<std::string>{"", "", ""}), e.Commands);
  EXPECT_EQ(3u, e.Params.size());
}

TEST(OpenWithFile, LongValuesAreCutTo1023Characters) {
  std::string value(1100, 'v');
  OpenWithEntries e = Read("[OpenWith]\r\nCount=1\r\nDesc0=" + value + "\r\nCmd0=" + value + "\r\nParams0=" + value +
                           "\r\n");
  ASSERT_EQ(1u, e.Captions.size());
  EXPECT_EQ(std::string(1023, 'v'), e.Captions[0]);
  EXPECT_EQ(std::string(1023, 'v'), e.Commands[0]);
  EXPECT_EQ(std::string(1023, 'v'), e.Params[0]);
}

TEST(OpenWithFile, TemplatesAreFoundBeyondTheFirst8192CharactersOfKeyNames) {
  // 1200 entries give some 30,000 characters of key names; 1000 are read.
  std::string text = "[OpenWith]\r\nCount=1000\r\n";
  for (int i = 0; i < 1200; ++i) {
    std::string n = std::to_string(i);
    text += "Desc" + n + "=d" + n + "\r\nCmd" + n + "=c" + n + "\r\nParams" + n + "=p" + n + "\r\n";
  }
  OpenWithEntries e = Read(text);
  ASSERT_EQ(1000u, e.Params.size());
  EXPECT_EQ("p999", e.Params[999]);
  EXPECT_EQ("c999", e.Commands[999]);
}

TEST(OpenWithFile, AnAbsurdCountIsBounded) {
  OpenWithEntries e = Read("[OpenWith]\r\nCount=2000000000\r\nDesc0=a\r\nCmd0=b\r\n");
  ASSERT_EQ(static_cast<size_t>(kMaxOpenWithCount), e.Captions.size());
  EXPECT_EQ("a", e.Captions[0]);
  EXPECT_EQ(e.Captions.size(), e.Commands.size());
  EXPECT_EQ(e.Captions.size(), e.Params.size());
}

class UserSettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    path_ = GetSettingsFilePath();
    saved_ = testsupport::ReadFileBytes(path_);
    existed_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
    SHCreateDirectoryExA(nullptr, path_.substr(0, path_.find_last_of('\\')).c_str(), nullptr);
    WithState([](SharedState& s) {
      s.OpenWithCommands.clear();
      s.OpenWithParams.clear();
    });
  }
  void TearDown() override {
    if (existed_) testsupport::WriteFileBytes(path_, saved_);
    else DeleteFileA(path_.c_str());
    WithState([](SharedState& s) { s.OpenWithListsExist = true; });
  }
  std::string path_, saved_;
  bool existed_ = false;
};

TEST_F(UserSettingsFile, LiesInTheApplicationDataFolder) {
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA) + "\\Kestrani\\Ombrelo\\Ombrelo.ini", path_);
}

TEST_F(UserSettingsFile, EntriesAreAppendedToTheSharedLists) {
  testsupport::WriteFileBytes(path_, "[OpenWith]\r\nCount=2\r\nDesc0=A\r\nCmd0=a.exe\r\nDesc1=B\r\nCmd1=b.exe\r\n");
  std::vector<std::string> captions{"before"};
  EXPECT_TRUE(ReadOpenWithEntries(captions));
  EXPECT_EQ((std::vector<std::string>{"before", "A", "B"}), captions);
  SharedState s = SnapshotState();
  EXPECT_EQ((std::vector<std::string>{"a.exe", "b.exe"}), s.OpenWithCommands);
  EXPECT_EQ((std::vector<std::string>{kQuotedName, kQuotedName}), s.OpenWithParams);

  DeleteFileA(path_.c_str());
  captions.clear();
  EXPECT_FALSE(ReadOpenWithEntries(captions));
  EXPECT_TRUE(captions.empty());
}

TEST_F(UserSettingsFile, MissingListsShowTheInternalErrorBox) {
  testsupport::WriteFileBytes(path_, "[OpenWith]\r\nCount=1\r\nDesc0=A\r\n");
  WithState([](SharedState& s) { s.OpenWithListsExist = false; });
  testsupport::WindowWatcher box("#32770", "Ombrelo (Code: 07)", testsupport::PressDialogButton(IDOK));
  std::vector<std::string> captions;
  EXPECT_FALSE(ReadOpenWithEntries(captions));
  ASSERT_TRUE(box.Join());
  EXPECT_NE(std::string::npos, box.Seen().find(LookupText("@idInternalError").substr(0, 20)));
  EXPECT_TRUE(captions.empty());
  EXPECT_TRUE(SnapshotState().OpenWithCommands.empty());
}
