// A handler object that cannot be made: the "DAX-Fehler" box, answered by
// the test, and E_UNEXPECTED for the shell.
#include <gtest/gtest.h>

#include <stdexcept>

#include "menu/FolContMenu.h"
#include "server/ClassFactory.h"
#include "server/ModuleState.h"
#include "support/Windows.h"

using namespace ombrelo;

TEST(FactoryError, ErrorTextGetsAFullStopAfterLettersAndDigits) {
  EXPECT_EQ("Zugriff verweigert.", ErrorBoxText("Zugriff verweigert"));
  EXPECT_EQ("Fertig.", ErrorBoxText("Fertig."));
  EXPECT_EQ("Wirklich?.", ErrorBoxText("Wirklich?"));  // '?' sorts after '.'
  EXPECT_EQ("Abbruch!", ErrorBoxText("Abbruch!"));    // '!' sorts before '.'
  EXPECT_EQ("\xDF.", ErrorBoxText("\xDF"));  // code page 1252 letters sort after '.'
  EXPECT_EQ("", ErrorBoxText(""));
}

TEST(FactoryError, FailureToMakeTheObjectIsShownAndAnsweredWithUnexpected) {
  EnsureModuleStarted();
  struct Case {
    const char* thrown;
    const char* shown;
  } cases[] = {{"Zugriff verweigert", "Zugriff verweigert."}, {"Schon da.", "Schon da."}};
  for (const Case& k : cases) {
    testsupport::WindowWatcher box("#32770", "DAX-Fehler", testsupport::PressDialogButton(IDOK));
    void* ppv = reinterpret_cast<void*>(1);
    HRESULT hr = CreateHandlerInstance(nullptr, IID_IContextMenu, &ppv,
                                       [&](IUnknown*) -> TFolContMenu* { throw std::runtime_error(k.thrown); });
    EXPECT_TRUE(box.Join());
    EXPECT_EQ(E_UNEXPECTED, hr);
    EXPECT_EQ(nullptr, ppv);
    EXPECT_NE(std::string::npos, box.Seen().find(k.shown)) << box.Seen();
  }
  EXPECT_EQ(0, ReadCount(LiveObjectCount));
}
