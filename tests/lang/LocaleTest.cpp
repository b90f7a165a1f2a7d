// With no "Language" value the user's locale decides; run once under a German
// and once under an English locale (Wine takes it from LC_ALL).
#include <gtest/gtest.h>

#include <cstdlib>

#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "support/TestSupport.h"

TEST(LanguageChoice, LocaleDecidesWhenNothingIsStored) {
  const char* expect = std::getenv("OMBRELO_EXPECT_LANGUAGE");
  ASSERT_NE(nullptr, expect);
  testsupport::ResetProgramKey();
  EXPECT_EQ(std::atoi(expect), ombrelo::ReadLanguageSetting());
  ombrelo::EnsureModuleStarted();
  EXPECT_EQ(std::atoi(expect), ombrelo::ActiveLanguageIndex());
  EXPECT_EQ(std::atoi(expect) == 0 ? "&Ja" : "&Yes", ombrelo::LookupText("@idYes"));
}
