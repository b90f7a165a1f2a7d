// The language chosen from the registry value "Language".
#include <gtest/gtest.h>

#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"

using namespace ombrelo;

namespace {
unsigned char LocaleChoice() { return (GetUserDefaultLangID() & 0xFF) == LANG_GERMAN ? 0 : 1; }
}  // namespace

TEST(LanguageChoice, DwordValueGivesItsLowByte) {
  testsupport::ResetProgramKey();
  for (auto [stored, expected] : std::initializer_list<std::pair<DWORD, unsigned char>>{
           {0, 0}, {1, 1}, {2, 2}, {256, 0}, {257, 1}}) {
    testsupport::SetProgramDword(nullptr, "Language", stored);
    EXPECT_EQ(expected, ReadLanguageSetting()) << stored;
  }
  testsupport::ResetProgramKey();
}

TEST(LanguageChoice, ValueOfAnotherTypeMeansGerman) {
  testsupport::ResetProgramKey();
  testsupport::SetProgramString(nullptr, "Language", "1");
  EXPECT_EQ(0, ReadLanguageSetting());
  BYTE twoBytes[2] = {1, 0};
  testsupport::SetProgramValue(nullptr, "Language", REG_BINARY, twoBytes, 2);
  EXPECT_EQ(0, ReadLanguageSetting());
  testsupport::ResetProgramKey();
}

TEST(LanguageChoice, MissingKeyOrValueFollowsTheLocale) {
  testsupport::ResetProgramKey();
  EXPECT_EQ(LocaleChoice(), ReadLanguageSetting());
  testsupport::SetProgramString(nullptr, "Other", "x");
  EXPECT_EQ(LocaleChoice(), ReadLanguageSetting());
  testsupport::ResetProgramKey();
}

TEST(LanguageChoice, StartUpMakesANumberAboveOneGerman) {
  testsupport::ResetProgramKey();
  testsupport::SetProgramDword(nullptr, "Language", 2);
  EnsureModuleStarted();
  EXPECT_EQ(0, ActiveLanguageIndex());
  EXPECT_EQ(2, Globals().UserLanguage);
  EXPECT_EQ("&Konvertieren...", LookupText("@idConvert"));
  testsupport::ResetProgramKey();
}
