// Reading the "OpenWith" section in one call must give exactly what the
// profile API gives value by value: checked against the real API over
// thousands of generated files.
#include <gtest/gtest.h>

#include <random>

#include "settings/OpenWith.h"
#include "support/TestSupport.h"

using namespace ombrelo;

namespace {

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::string File() {
    std::string text;
    if (Chance(10)) text += "\xEF\xBB\xBF";  // UTF-8 byte order mark
    const int sections = Pick(1, 4);
    for (int s = 0; s < sections; ++s) {
      if (s > 0 || Chance(80)) text += Space() + "[" + SectionName() + "]" + Space() + Eol();
      const int lines = Pick(0, 25);
      for (int l = 0; l < lines; ++l) text += Line() + Eol();
    }
    if (Chance(50)) text += Line();  // no line end at the end of the file
    return text;
  }

 private:
  bool Chance(int percent) { return Pick(0, 99) < percent; }
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <size_t N>
  const char* OneOf(const char* const (&list)[N]) {
    return list[Pick(0, N - 1)];
  }

  std::string Space() {
    static const char* const spaces[] = {"", "", "", " ", "  ", "\t", " \t "};
    return OneOf(spaces);
  }
  std::string Eol() { return Chance(80) ? "\r\n" : "\n"; }
  std::string SectionName() {
    static const char* const names[] = {"OpenWith", "OpenWith", "OpenWith", "openwith", "OPENWITH",
                                        " OpenWith ", "Open With", "Other", "OpenWith2", ""};
    return OneOf(names);
  }
  std::string KeyName() {
    static const char* const stems[] = {"Desc", "Cmd", "Params", "desc", "CMD", "pArAmS"};
    static const char* const others[] = {"Count", "count", "COUNT", "Other", "Desc 1", "Desc01", ";Desc0",
                                         "#Cmd1", "[Cmd2", "Params-1", "D\xE9sc0", ""};
    if (Chance(15)) return OneOf(others);
    return std::string(OneOf(stems)) + std::to_string(Pick(0, 6));
  }
  std::string Value() {
    static const char* const plain[] = {"", "x", "C:\\Programs\\paint.exe", "-open {Dateiname}",
                                        "\"{Dateiname}\"", "'{Dateiname}'", "\"half", "half\"", "\"", "'",
                                        "\"\"", "''", "\"mixed'", "a = b", "a;b", "\xF6\xE4\xFC \xDF",
                                        "tab\there", "  inner  spaces  ", "\" padded \"", "0x3", "3x", "7",
                                        " 5 ", "-1", "0x", "007", "\"4\"", "0XfF", "2147483648"};
    switch (Pick(0, 9)) {
      case 0: {  // long, around the 1023-character cut, maybe quoted
        std::string v(Pick(1015, 1030), static_cast<char>('a' + Pick(0, 25)));
        if (Chance(50)) v = "\"" + v.substr(2) + "\"";
        return v;
      }
      default:
        return OneOf(plain);
    }
  }
  std::string Line() {
    switch (Pick(0, 19)) {
      case 0: return "";
      case 1: return Space();
      case 2: return "; a comment = with an equals sign";
      case 3: return KeyName();                 // a bare name, no "="
      case 4: return Space() + "=" + Value();   // no name
      case 5: return "[" + SectionName() + "]";  // a section starts mid-way
      default: return Space() + KeyName() + Space() + "=" + Space() + Value() + Space();
    }
  }

  std::mt19937 random_;
};

const char* const kKeys[] = {"Count",   "Desc0",   "Desc1",   "Desc2", "Desc3", "Desc4", "Desc5",  "Desc6",
                             "Cmd0",    "Cmd1",    "Cmd2",    "Cmd3",  "Cmd4",  "Cmd5",  "Cmd6",   "Params0",
                             "Params1", "Params2", "Params3", "Other", "Desc01", "D\xE9sc0", "Desc 1"};

}  // namespace

TEST(ProfileSection, ResolvesEveryKeyAsTheProfileApiDoes) {
  testsupport::TempDir dir;
  const std::string path = dir.path() + "Ombrelo.ini";
  Generator generate(20261207);
  int entriesSeen = 0;
  for (int file = 0; file < 2000; ++file) {
    const std::string text = generate.File();
    testsupport::WriteFileBytes(path, text);
    std::optional<ProfileSection> section = ProfileSection::Read(path, kOpenWithSection);
    ASSERT_TRUE(section);
    const std::vector<std::string> listed = ReadProfileKeyNames(path, kOpenWithSection);
    // A few keys per file against the API, all of them now and then.
    for (size_t k = 0; k < std::size(kKeys); ++k) {
      if (file % 10 != 0 && (k + file) % 6 != 0) continue;
      const char* key = kKeys[k];
      ASSERT_EQ(ReadProfileString(path, kOpenWithSection, key), section->Value(key)) << "key " << key << " in\n"
                                                                                         << text;
      bool inListing = false;
      for (const std::string& name : listed) inListing |= lstrcmpiA(name.c_str(), key) == 0;
      ASSERT_EQ(inListing, section->HasKey(key)) << "key " << key << " in\n" << text;
    }
    const OpenWithEntries bySection = ReadOpenWithFile(path);
    const OpenWithEntries byValue = ReadOpenWithFileByValue(path);
    ASSERT_EQ(byValue.Captions, bySection.Captions) << text;
    ASSERT_EQ(byValue.Commands, bySection.Commands) << text;
    ASSERT_EQ(byValue.Params, bySection.Params) << text;
    entriesSeen += static_cast<int>(bySection.Captions.size());
  }
  EXPECT_GT(entriesSeen, 1000);  // the files did exercise the entries
}

