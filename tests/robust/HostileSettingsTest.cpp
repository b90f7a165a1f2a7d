// Hostile settings files: absurd counts, random bytes, very long lines,
// duplicated keys and sections, empty and huge values. Reading stays bounded
// and gives the same entries as value-by-value reading through the profile API.
#include <gtest/gtest.h>

#include "RobustSupport.h"
#include "settings/OpenWith.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using namespace robust;

namespace {

OpenWithEntries ReadBoth(const std::string& path, const std::string& what) {
  OpenWithEntries whole = ReadOpenWithFile(path);
  OpenWithEntries byValue = ReadOpenWithFileByValue(path);
  EXPECT_EQ(byValue.Captions, whole.Captions) << what;
  EXPECT_EQ(byValue.Commands, whole.Commands) << what;
  EXPECT_EQ(byValue.Params, whole.Params) << what;
  EXPECT_EQ(whole.Captions.size(), whole.Commands.size()) << what;
  EXPECT_EQ(whole.Captions.size(), whole.Params.size()) << what;
  EXPECT_LE(whole.Captions.size(), 1000u) << what;
  for (const auto* list : {&whole.Captions, &whole.Commands, &whole.Params})
    for (const std::string& value : *list) EXPECT_LE(value.size(), 1023u) << what;
  return whole;
}

std::string Line(const std::string& key, const std::string& value) { return key + "=" + value + "\r\n"; }

// One piece of a hostile settings file.
std::string Piece(Rng& rng) {
  static const std::vector<std::string> sections = {"[OpenWith]", "[openwith]", "[Other]", "[OpenWith", "[]",
                                                    " [OpenWith] ", "[OpenWith]x"};
  static const std::vector<std::string> counts = {"-1", "0", "3", "0x7FFFFFFF", "99999999999", "text", "0x3", "3x",
                                                  "", "1001", " 2 ", "\"4\""};
  const int index = Between(rng, 0, 40);
  const std::string n = std::to_string(Between(rng, 0, 12));
  switch (Between(rng, 0, 9)) {
    case 0: return Pick(rng, sections) + "\r\n";
    case 1: return Line("Count", Pick(rng, counts));
    case 2: return Line("Desc" + n, "Program " + n);
    case 3: return Line("Cmd" + n, "C:\\Tools\\p" + n + ".exe");
    case 4: return Line("Params" + n, Chance(rng, 50) ? "" : "-x \"{Dateiname}\"");
    case 5: return Line(Pick(rng, std::vector<std::string>{"Desc", "Cmd", "Params", "COUNT", "desc"}) + n,
                        std::string(static_cast<size_t>(Chance(rng, 30) ? 100000 : Between(rng, 0, 1100)), 'v'));
    case 6: return std::string(100000, static_cast<char>('a' + index % 26)) + "\r\n";
    case 7: return RandomBytes(rng, static_cast<size_t>(Between(rng, 0, 200)));
    case 8: return Pick(rng, std::vector<std::string>{"\r", "\n", "\r\n", std::string(1, '\0'), "\x1A", ";Count=5\r\n",
                                                      "=x\r\n", "Count\r\n"});
    default: return Line("Desc" + std::to_string(index), "\"quoted " + n + "\"");
  }
}

}  // namespace

TEST(HostileSettings, CountIsReadAsAtMostOneThousandEntries) {
  const struct Case {
    const char* count;
    size_t entries;
  } cases[] = {{"-1", 0},         {"0", 0},          {"1", 1},          {"1000", 1000},        {"1001", 1000},
               {"0x7FFFFFFF", 1000}, {"2147483647", 1000}, {"99999999999", 1000}, {"0x1FFFFFFFF", 1000},
               {"-99999999999", 0},  {"text", 0},      {"12 monkeys", 0}, {"", 0},               {"0xFFFFFFFF", 0}};
  testsupport::TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("Ombrelo.ini", "[OpenWith]\r\nCount=" + std::string(c.count) +
                                                         "\r\nDesc0=first\r\nCmd0=C:\\a.exe\r\n");
    OpenWithEntries e = ReadBoth(path, c.count);
    ASSERT_EQ(c.entries, e.Captions.size()) << c.count;
    if (c.entries) {
      EXPECT_EQ("first", e.Captions[0]);
    }
  }
}

TEST(HostileSettings, RandomFilesAreReadAlikeAndBounded) {
  Rng rng = CaseRng();
  testsupport::TempDir dir;
  const int rounds = Rounds(40);
  for (int round = 0; round < rounds; ++round) {
    std::string text = Chance(rng, 80) ? "[OpenWith]\r\n" : "";
    const int pieces = Between(rng, 0, 30);
    for (int i = 0; i < pieces; ++i) text += Piece(rng);
    const std::string path = dir.File("Ombrelo.ini", text);
    ReadBoth(path, "round " + std::to_string(round));
    if (testing::Test::HasFailure()) break;
  }
}
