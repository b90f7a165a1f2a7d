// The word table and its lookup.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "lang/DMSStrings.h"
#include "support/TestSupport.h"
#include "support/Windows.h"

using namespace ombrelo;

namespace {

// Reads the independent copy of the table (UTF-8, escaped) and converts it to code page 1252.
std::vector<std::string> ExpectedTable() {
  std::ifstream in(testsupport::ExeDir() + "word_table.txt", std::ios::binary);
  std::vector<std::string> strings;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::wstring wide(line.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, line.data(), (int)line.size(), wide.data(), (int)wide.size()));
    std::string ansi(wide.size() * 2, '\0');
    ansi.resize(WideCharToMultiByte(1252, 0, wide.data(), (int)wide.size(), ansi.data(), (int)ansi.size(), nullptr,
                                    nullptr));
    size_t start = 0;
    for (;;) {
      size_t tab = ansi.find('\t', start);
      std::string field = ansi.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      for (size_t p; (p = field.find("\\r\\n")) != std::string::npos;) field.replace(p, 4, "\r\n");
      strings.push_back(field);
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
  }
  return strings;
}

struct Component {
  TDataModule2 module{nullptr};
  TSmallMultiLang& ml = *module.ML1;
};

}  // namespace

TEST(WordTable, HoldsTheFiftyThreeEntriesByteForByte) {
  Component c;
  std::vector<std::string> expected = ExpectedTable();
  ASSERT_EQ(159u, expected.size());
  ASSERT_EQ(expected.size(), c.ml.Words().size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], c.ml.Words()[i]) << "string " << i;
  EXPECT_EQ(2, c.ml.Languages());
}

TEST(WordTable, ComponentStartsWithItsConstructorValues) {
  Component c;
  EXPECT_EQ("3.76", c.ml.About());
  c.ml.SetAbout("9.99");
  EXPECT_EQ("3.76", c.ml.About());
  EXPECT_EQ(0, c.ml.DefaultLanguage());
  EXPECT_FALSE(c.ml.DefaultEnabled());
  EXPECT_EQ(0, c.ml.ActiveLanguage());
  EXPECT_EQ(spNone, c.ml.SwitchPositions());
  EXPECT_EQ(teReadOnly, c.ml.TranslateEdits());
  EXPECT_TRUE(c.ml.DoNot().empty());
  EXPECT_TRUE(c.ml.Positions().empty());
  EXPECT_TRUE(c.ml.CharSets().empty());
  EXPECT_EQ("ML1", c.ml.Name());
  EXPECT_EQ(&c.ml, c.module.FindComponent("ml1"));
}

TEST(WordLookup, IgnoresLetterCaseOfTheKeyInBothLanguages) {
  Component c;
  for (const char* key : {"@idConvert", "@IDCONVERT", "@idconvert"}) {
    EXPECT_EQ("&Konvertieren...", c.ml.GetWord(key));
    EXPECT_EQ("&Convert...", c.ml.GetWordIn(key, 1));
  }
  c.ml.SetActiveLanguage(1);
  EXPECT_EQ("&Convert...", c.ml.GetWord("@IdConvert"));
  EXPECT_EQ("\xD6&ffnen mit", c.ml.GetWordIn("@idOeffnenMit", 0));
}

TEST(WordLookup, MissingKeyYieldsTheLowerCasedKeyAfterOfferingItToTheEvent) {
  Component c;
  EXPECT_EQ("@idfoo", c.ml.GetWord("@idFoo"));
  std::string seen;
  c.ml.IdNotFoundError = [&](TBaseMultiLang*, const std::string& id, std::string& res) {
    seen = id + "|" + res;
    res = "replaced";
  };
  EXPECT_EQ("replaced", c.ml.GetWord("@idFOO"));
  EXPECT_EQ("@idfoo|@idfoo", seen);
}

TEST(WordLookup, LanguageOutOfRangeUsesTheActiveLanguage) {
  Component c;
  c.ml.SetActiveLanguage(1);
  EXPECT_EQ("&Yes", c.ml.GetWordIn("@idYes", 5));
  EXPECT_EQ("&Yes", c.ml.GetWordIn("@idYes", 255));
  testsupport::WindowWatcher refusal("#32770", "Information", testsupport::PressDialogButton(IDCANCEL));
  c.ml.SetActiveLanguage(7);  // refused with a message: stays English
  EXPECT_TRUE(refusal.Join());
  EXPECT_EQ(1, c.ml.ActiveLanguage());
}

TEST(WordLookup, OnlyCompleteEntriesAreFoundAndTheFirstDuplicateWins) {
  Component c;
  c.ml.Words() = {"@idA", "de1", "en1", "@idA", "de2", "en2", "@idTail", "deTail"};
  EXPECT_EQ("en1", c.ml.GetWordIn("@ida", 1));
  EXPECT_EQ("@idtail", c.ml.GetWord("@idTail"));
}

TEST(WordLookup, EmptyTextFallsBackToTheDefaultLanguageOnlyWhenEnabled) {
  Component c;
  c.ml.Words() = {"@idX", "Deutsch", ""};
  EXPECT_EQ("", c.ml.GetWordIn("@idX", 1));
  c.ml.SetDefaultEnabled(true);
  EXPECT_EQ("Deutsch", c.ml.GetWordIn("@idX", 1));
}

TEST(WordLookup, MultiLineAndTrailingBlankTextsAreReturnedUnchanged) {
  Component c;
  for (unsigned char lang : {0, 1}) {
    std::string text = c.ml.GetWordIn("@idInternalError", lang);
    size_t breaks = 0;
    for (size_t p = 0; (p = text.find("\r\n", p)) != std::string::npos; p += 2) ++breaks;
    EXPECT_EQ(2u, breaks);
  }
  EXPECT_NE(std::string::npos, c.ml.GetWordIn("@idInternalError", 1).find("/en/support"));
  EXPECT_EQ("Farben:  ??? ", c.ml.GetWordIn("@idColorsTemplate", 0));
  EXPECT_EQ("Grafik als Hintergrundbild verwenden [Strecken] ", c.ml.GetWordIn("@id_status_wallpaper_scaled", 0));
  EXPECT_EQ("&Vergr\xF6\xDF" "ern", c.ml.GetWordIn("@idScaled", 0));
}

TEST(WordLookup, KeysBeyondAsciiAndKeysOfOtherLengthsMatchAsLowerCasedTexts) {
  Component c;
  c.ml.SetWords({"@id\xC4nderung", "\xC4nderung", "Change", "@id\xD6" "ff", "\xD6" "ffnen", "Open", "@idA", "A", "a"});
  EXPECT_EQ("\xC4nderung", c.ml.GetWord("@id\xE4nderung"));
  EXPECT_EQ("Change", c.ml.GetWordIn("@ID\xC4NDERUNG", 1));
  EXPECT_EQ("Open", c.ml.GetWordIn("@id\xF6" "ff", 1));
  EXPECT_EQ("A", c.ml.GetWord("@IDA"));
  EXPECT_EQ("@idaa", c.ml.GetWord("@idAA"));  // a longer key is not a match, and comes back lower-cased
}
