// Hostile registry values: every value the extension reads, stored with
// every registry type and with sizes from none to 64 KiB, strings without
// their NUL among them. Nothing is read past the stored data, and a value of
// the wrong type gives the documented default.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "RobustSupport.h"
#include "bridge/Channel.h"
#include "bridge/MainProgram.h"
#include "lang/DMSStrings.h"
#include "menu/Classify.h"
#include "menu/MenuBuild.h"
#include "menu/Selection.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using namespace robust;

namespace {

const DWORD kTypes[] = {REG_NONE,
                        REG_SZ,
                        REG_EXPAND_SZ,
                        REG_BINARY,
                        REG_DWORD,
                        REG_DWORD_BIG_ENDIAN,
                        REG_LINK,
                        REG_MULTI_SZ,
                        REG_RESOURCE_LIST,
                        REG_FULL_RESOURCE_DESCRIPTOR,
                        REG_RESOURCE_REQUIREMENTS_LIST,
                        REG_QWORD,
                        0x7FFF};
const size_t kSizes[] = {0, 1, 2, 3, 4, 5, 8, 64 * 1024};

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The data of a value: `head`, then filler without any NUL, cut to size.
std::string Data(const std::string& head, size_t size) {
  std::string data = head;
  while (data.size() < size) data.push_back(static_cast<char>('a' + data.size() % 26));
  data.resize(size);
  return data;
}

// The text a string value of this data holds: up to its first NUL.
std::string TextOf(const std::string& data) { return data.substr(0, data.find('\0')); }

std::string SubkeyPath(const char* subkey) {
  return std::string(kProgramKey) + (subkey && *subkey ? std::string("\\") + subkey : std::string());
}

void Store(const char* subkey, const char* name, DWORD type, const std::string& data) {
  testsupport::SetProgramValue(subkey, name, type, data.data(), static_cast<DWORD>(data.size()));
}

// Stores the bytes through the wide API: a string value then holds them as
// they are, half characters and missing NULs included.
void StoreRaw(const char* subkey, const char* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, SubkeyPath(subkey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, nullptr));
  std::wstring wideName = FromAnsi(name);
  RegSetValueExW(key, wideName.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(key);
}

// One value the extension reads, with the data that changes its answer when
// it is read with the right type, and what each reading must give.
struct Reader {
  const char* subkey;
  const char* name;
  bool isString;         // else a REG_DWORD of four bytes
  std::string head;      // the data that makes a difference
  std::function<int()> answer;
  std::function<int(const std::string& text)> fromText;  // string values: the answer for a text
  int fromDword;         // DWORD values: the answer for the head's number
  int fallback;          // the documented default for a value of another type or size
  std::function<void()> arrange = [] {};
};

std::vector<Reader> Readers() {
  const std::string one("\1\0\0\0", 4), zero("\0\0\0\0", 4);
  auto isTrue = [](const std::string& t) { return t == "true" ? 1 : 0; };
  return {
      {nullptr, "DisplaySym", true, std::string("true\0", 5), [] { return ReadDisplaySym() ? 1 : 0; }, isTrue, 0, 1},
      {nullptr, "Mainmenu", true, std::string("true\0", 5), [] { return ReadMainMenuSetting(false) ? 1 : 0; }, isTrue,
       0, 1},
      {"Txt", "Mainmenu", true, std::string("true\0", 5), [] { return ReadMainMenuSetting(true) ? 1 : 0; }, isTrue, 0,
       1},
      // Mode 1 makes .TXT a text file; any unreadable mode is 0.
      {"Txt", "TxtPreview", false, one, [] { return IsTextExtension(".TXT") ? 1 : 0; }, nullptr, 1, 0},
      // Only the existence of an extension's value counts.
      {"Txt\\Ext", ".LOG", false, one, [] { return IsTextExtension(".LOG") ? 1 : 0; }, nullptr, 1, 1,
       [] { testsupport::SetProgramDword("Txt", "TxtPreview", 1); }},
      {nullptr, "status", false, zero, [] { return IsPreviewDisabled() ? 1 : 0; }, nullptr, 1, 0},
      {nullptr, "AutoStart", false, one, [] { return IsAutoStartEnabled() ? 1 : 0; }, nullptr, 1, 0},
      {nullptr, "Language", false, one, [] { return static_cast<int>(ReadLanguageSetting()); }, nullptr, 1, 0},
  };
}

int Expected(const Reader& r, DWORD type, const std::string& data) {
  if (std::string(r.name) == ".LOG") return 1;
  if (r.isString) return IsStringType(type) ? r.fromText(TextOf(data)) : r.fallback;
  return type == REG_DWORD && data.size() == 4 ? r.fromDword : r.fallback;
}

class HostileRegistry : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    testsupport::ResetProgramKey();
  }
  void TearDown() override { testsupport::ResetProgramKey(); }
};

}  // namespace

TEST_F(HostileRegistry, StringsAndNumbersAreReadOnlyFromTheirOwnTypeAndData) {
  const std::string text = "C:\\Program Files\\Ombrelo\\Ombrelo.exe";
  for (DWORD type : kTypes) {
    for (size_t size : kSizes) {
      const std::string data = Data(text, size);
      SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(size) + " bytes");
      for (bool raw : {false, true}) {
        if (raw) StoreRaw(nullptr, "v", type, data);
        else Store(nullptr, "v", type, data);
        RegKey key;
        ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kProgramKey));
        EXPECT_TRUE(key.ValueExists("v"));
        std::optional<std::string> s = key.ReadString("v");
        ASSERT_EQ(IsStringType(type), s.has_value());
        if (s && !raw) {
          EXPECT_EQ(TextOf(data), *s);
        } else if (s) {
          // Stored as UTF-16 without a NUL: whole characters of the data, no more.
          EXPECT_LE(s->size(), size / 2);
        }
        std::optional<DWORD> d = key.ReadDword("v");
        ASSERT_EQ(type == REG_DWORD && size == 4, d.has_value());
        if (d) {
          DWORD expected = 0;
          std::memcpy(&expected, data.data(), 4);
          EXPECT_EQ(expected, *d);
        }
      }
    }
  }
}

TEST_F(HostileRegistry, EveryValueReadGivesItsDefaultWhenItsTypeIsWrong) {
  for (const Reader& r : Readers()) {
    for (DWORD type : kTypes) {
      for (size_t size : kSizes) {
        testsupport::ResetProgramKey();
        r.arrange();
        const std::string data = Data(r.head, size);
        Store(r.subkey, r.name, type, data);
        EXPECT_EQ(Expected(r, type, data), r.answer())
            << r.name << " as type " << type << " with " << size << " bytes";
      }
    }
  }
}

// Random data of every type under every name, stored through both APIs:
// whatever is stored, every reading answers.
TEST_F(HostileRegistry, RandomDataUnderEveryNameIsReadWithoutHarm) {
  Rng rng = CaseRng();
  const std::vector<Reader> readers = Readers();
  const int rounds = Rounds(400);
  for (int round = 0; round < rounds; ++round) {
    const Reader& r = readers[static_cast<size_t>(Between(rng, 0, static_cast<int>(readers.size()) - 1))];
    const DWORD type = kTypes[Between(rng, 0, static_cast<int>(std::size(kTypes)) - 1)];
    const size_t size = Chance(rng, 10) ? 64 * 1024 : static_cast<size_t>(Between(rng, 0, 40));
    const std::string data = RandomBytes(rng, size);
    testsupport::ResetProgramKey();
    r.arrange();
    if (Chance(rng, 50)) StoreRaw(r.subkey, r.name, type, data);
    else Store(r.subkey, r.name, type, data);
    const int answer = r.answer();
    EXPECT_GE(answer, 0) << "round " << round;
    EXPECT_LE(answer, 255) << "round " << round;
    // A value of the wrong type or size gives the default whatever it holds.
    const bool wrong = r.isString ? !IsStringType(type) : !(type == REG_DWORD && size == 4);
    if (wrong) {
      EXPECT_EQ(Expected(r, type, data), answer) << r.name << " round " << round;
    }
  }
}
