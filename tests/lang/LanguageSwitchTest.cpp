// The language switch of the word-table component on real forms, its
// setters with their messages (answered as real windows) and string DLLs.
#include <gtest/gtest.h>

#include "lang/DMSStrings.h"
#include "lang/smlang.h"
#include "support/TestSupport.h"
#include "support/Windows.h"
#include "ui/Forms.h"

using namespace ombrelo;
using testsupport::PressDialogButton;
using testsupport::WindowWatcher;

namespace {

// A variant that translates components: the caption from the entry's text,
// the position from Positions.
class TTestMultiLang : public TBaseMultiLang {
 public:
  explicit TTestMultiLang(ui::TComponent* owner) : TBaseMultiLang(owner) { SetName("ML"); }
  std::string ClassName() const override { return "TTestMultiLang"; }
  std::function<void(ui::TComponent*, int&)> hook;  // replaces the translation when set

  void TranslateComponent(ui::TComponent* component, int& position) override {
    if (hook) return hook(component, position);
    const size_t text = static_cast<size_t>(position) + ActiveLanguage() + 1;
    if (text < Words().size() && component->HasProperty("Caption")) component->SetString("Caption", Words()[text]);
    if (SwitchPositions() != spNone) RestorePosition(*component, PositionPrefix(*component));
    position += Languages() + 1;
  }
};

class TSwitchForm : public ui::TForm {
 public:
  explicit TSwitchForm(const char* className = "TSwitchForm") : ui::TForm(nullptr), className_(className) {
    SetName("SwitchForm");
    SetCaption("Designed");
    SetBounds(100, 120, 300, 200);
    Label1 = new ui::TLabel(this);
    Label1->SetName("Label1");
    Label1->SetBounds(8, 8, 0, 0);
    Label1->SetCaption("Designed label");
    Button1 = new ui::TButton(this);
    Button1->SetName("Button1");
    Button1->SetBounds(8, 40, 75, 25);
  }
  std::string ClassName() const override { return className_; }
  template <class ML>
  ML* AddMultiLang() {
    auto* ml = new ML(this);
    ml->SetName("ML");
    return ml;
  }

  ui::TLabel* Label1;
  ui::TButton* Button1;

 private:
  std::string className_;
};

std::string WindowText(HWND w) { return testsupport::WindowText(w); }

std::string FaceName(HFONT font) {
  LOGFONTA lf{};
  GetObjectA(font, sizeof(lf), &lf);
  return lf.lfFaceName;
}

RECT Outer(const ui::TForm& form) {
  RECT r{};
  GetWindowRect(form.Handle(), &r);
  return r;
}

// Runs `action` while a watcher answers the box titled `title` with button `id`;
// returns what the box showed (empty when no box appeared).
std::string Answering(const char* title, int id, const std::function<void()>& action) {
  WindowWatcher watcher("#32770", title, PressDialogButton(id));
  action();
  return watcher.Join() ? watcher.Seen() : std::string();
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char kRefusal[] = "Value must not be higher than\rnumber of available languages.";

}  // namespace

TEST(LanguageSwitch, SwitchesCaptionFontAndControlsOfARealForm) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"%Form%", "Deutsch", "English", "Label1", "Beschriftung", "Label text"};
  ml->SetActiveLanguage(0);
  EXPECT_EQ("Deutsch", WindowText(form.Handle()));
  EXPECT_EQ("Beschriftung", WindowText(form.Label1->Handle()));
  EXPECT_EQ((std::vector<std::string>{"MS Sans Serif,1", "MS Sans Serif,1"}), ml->CharSets());

  ml->SetActiveLanguage(1);
  EXPECT_EQ("English", WindowText(form.Handle()));
  EXPECT_EQ("Label text", WindowText(form.Label1->Handle()));

  // A font chosen under language 1 belongs to language 1.
  form.Font().SetString("Name", "Arial");
  form.Font().SetOrdinal("CharSet", ANSI_CHARSET);
  ml->SetActiveLanguage(0);
  EXPECT_EQ("MS Sans Serif", form.Font().Name);
  EXPECT_EQ(DEFAULT_CHARSET, form.Font().CharSet);
  EXPECT_EQ((std::vector<std::string>{"MS Sans Serif,1", "Arial,0"}), ml->CharSets());
  ml->SetActiveLanguage(1);
  EXPECT_EQ("Arial", FaceName(form.FontHandle()));
}

TEST(LanguageSwitch, RefusedIndexAndVetoChangeNothing) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"%Form%", "Deutsch", "English"};
  int before = 0, after = 0;
  bool allow = true;
  ml->BeforeLanguageChange = [&](TBaseMultiLang*, unsigned char, bool& allowIt) {
    ++before;
    allowIt = allow;
  };
  ml->AfterLanguageChanged = [&](TBaseMultiLang*, unsigned char) { ++after; };
  ml->SetSwitchPositions(spFormAndControls);

  std::string seen = Answering("Information", IDCANCEL, [&] { ml->SetActiveLanguage(2); });
  EXPECT_TRUE(Contains(seen, kRefusal)) << seen;
  EXPECT_TRUE(Contains(seen, "|Cancel")) << seen;
  EXPECT_FALSE(Contains(seen, "|OK")) << seen;
  seen = Answering("Information", IDCANCEL, [&] { ml->SetDefaultLanguage(2); });
  EXPECT_TRUE(Contains(seen, kRefusal)) << seen;

  allow = false;  // the handler's veto: not even the font and positions are saved
  ml->SetActiveLanguage(1);
  EXPECT_EQ(1, before);
  EXPECT_EQ(0, after);
  EXPECT_EQ(0, ml->ActiveLanguage());
  EXPECT_EQ(0, ml->DefaultLanguage());
  EXPECT_EQ("Designed", WindowText(form.Handle()));
  EXPECT_TRUE(ml->CharSets().empty());
  EXPECT_TRUE(ml->Positions().empty());
}

TEST(LanguageSwitch, SwitchingToTheCurrentLanguageRunsAgainWithBothEvents) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"%Form%", "Deutsch", "English"};
  ml->SetActiveLanguage(1);
  std::string events;
  ml->BeforeLanguageChange = [&](TBaseMultiLang* s, unsigned char v, bool&) {
    events += "before " + std::to_string(v) + (s == ml ? ";" : "?");
  };
  ml->AfterLanguageChanged = [&](TBaseMultiLang*, unsigned char v) { events += "after " + std::to_string(v) + ";"; };
  form.SetCaption("changed meanwhile");
  ml->SetActiveLanguage(1);
  EXPECT_EQ("before 1;after 1;", events);
  EXPECT_EQ("English", WindowText(form.Handle()));
}

TEST(LanguageSwitch, EmptyFormCaptionFallsBackToTheDefaultLanguageWhenEnabled) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"%Form%", "Deutsch", ""};
  ml->SetActiveLanguage(1);
  EXPECT_EQ("", WindowText(form.Handle()));
  ml->SetDefaultEnabled(true);  // switches again
  EXPECT_EQ("Deutsch", WindowText(form.Handle()));
  ml->Words() = {"%Form%", "", "English"};
  ml->SetDefaultLanguage(1);  // switches again
  ml->SetActiveLanguage(0);
  EXPECT_EQ("English", WindowText(form.Handle()));
  ml->Words() = {"%Form%", "Deutsch", "English", "%Form%", "Nur Deutsch"};  // the last entry is incomplete
  ml->SetActiveLanguage(1);
  EXPECT_EQ("", WindowText(form.Handle()));
}

TEST(LanguageSwitch, OwnersWithoutCaptionOrFontAreLeftAlone) {
  TDataModule2 module(nullptr);  // a component owner: no caption, no font
  module.ML1->Words().push_back("%Form%");
  module.ML1->Words().push_back("Deutsch");
  module.ML1->Words().push_back("English");
  module.ML1->SetActiveLanguage(1);
  EXPECT_EQ(1, module.ML1->ActiveLanguage());
  EXPECT_TRUE(module.ML1->CharSets().empty());
  EXPECT_EQ("&Convert...", module.ML1->GetWord("@idConvert"));

  TSmallMultiLang orphan(nullptr);
  orphan.Words() = {"%Form%", "a", "b"};
  orphan.SetActiveLanguage(1);
  EXPECT_EQ(1, orphan.ActiveLanguage());
}

TEST(LanguageSwitch, SmallVariantStepsOverComponentEntriesAndKeepsItsSettings) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TSmallMultiLang>();
  ml->Words() = {"Label1", "Beschriftung", "Label text", "%Form%", "Deutsch", "English"};
  ml->SetSwitchPositions(spFormAndControls);
  ml->SetPositions({"%Form%,1.2.3.4,5.6.7.8"});
  ml->SetActiveLanguage(1);
  EXPECT_EQ("English", WindowText(form.Handle()));
  EXPECT_EQ("Designed label", WindowText(form.Label1->Handle()));
  EXPECT_EQ(spNone, ml->SwitchPositions());
  EXPECT_TRUE(ml->Positions().empty());
  EXPECT_EQ(100, Outer(form).left);
}

TEST(LanguageSwitch, AHookThatDoesNotMoveOnCannotStallTheWalk) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"Label1", "x", "y", "Button1", "b", "c", "%Form%", "Deutsch", "English"};
  std::string visited;
  ml->hook = [&](ui::TComponent* c, int& position) {
    visited += c->Name() + ";";
    if (c == form.Label1) throw std::runtime_error("translation failed");
    position -= 1;  // Button1's hook moves backwards
  };
  ml->SetActiveLanguage(1);
  EXPECT_EQ("Label1;Button1;", visited);
  EXPECT_EQ("English", WindowText(form.Handle()));
}

TEST(LanguageSwitch, FormAndControlsReturnToThePlaceOfEachLanguage) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"Button1", "Knopf", "Button"};
  ml->SetSwitchPositions(spFormAndControls);
  ml->SetActiveLanguage(1);  // the designed places become every language's places
  const std::string label =
      "8.8." + std::to_string(form.Label1->Width()) + "." + std::to_string(form.Label1->Height());
  EXPECT_EQ((std::vector<std::string>{"%Form%,100.120.300.200,100.120.300.200", "label1," + label + "," + label,
                                      "button1,8.40.75.25,8.40.75.25"}),
            ml->Positions());

  form.SetBounds(400, 300, 320, 210);  // moved under language 1
  form.Button1->SetBounds(90, 50, 80, 26);
  ml->SetActiveLanguage(0);
  EXPECT_EQ(100, Outer(form).left);
  EXPECT_EQ(120, Outer(form).top);
  EXPECT_EQ(300, Outer(form).right - Outer(form).left);
  RECT button{};
  GetWindowRect(form.Button1->Handle(), &button);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(8, button.left);
  EXPECT_EQ(40, button.top);
  ml->SetActiveLanguage(1);
  EXPECT_EQ(400, Outer(form).left);
  EXPECT_EQ(300, Outer(form).top);
  EXPECT_EQ(90, form.Button1->Left());

  // With controls only, the form keeps its place.
  form.SetBounds(10, 10, 320, 210);
  std::string seen = Answering("Warning", IDYES, [&] { ml->SetSwitchPositions(spControlsOnly); });
  EXPECT_TRUE(Contains(seen, "You are going to drop the positions for the form.")) << seen;
  EXPECT_EQ(2u, ml->Positions().size());
  ml->SetActiveLanguage(0);
  EXPECT_EQ(10, Outer(form).left);
  EXPECT_EQ(8, form.Button1->Left());
}

TEST(LanguageSwitch, StoredPositionWithoutFourNumbersIsSkipped) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->SetSwitchPositions(spFormAndControls);
  for (const char* value : {"50.60.300", "50.60.300.200.9", "50.x.300.200", "50..300.200"}) {
    form.SetBounds(100, 120, 300, 200);
    ml->SetPositions({std::string("%Form%,1.1.1.1,") + value});
    ml->SetActiveLanguage(1);
    EXPECT_EQ(100, Outer(form).left) << value;
    EXPECT_EQ(120, Outer(form).top) << value;
    ml->SetActiveLanguage(0);
  }
}

TEST(LanguageSwitch, PositionModeChangesAskBeforeDroppingDifferentValues) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->SetSwitchPositions(spFormAndControls);
  const std::vector<std::string> stored = {"%Form%,1.2.3.4,5.6.7.8", "label1,8.8.10.13,8.8.10.13"};
  ml->SetPositions(stored);

  // No: "Cancelled." and nothing changes.
  WindowWatcher cancelled("#32770", ui::ApplicationTitle().c_str(), PressDialogButton(IDOK));
  std::string seen = Answering("Warning", IDNO, [&] { ml->SetSwitchPositions(spNone); });
  EXPECT_TRUE(Contains(seen, "You are going to drop the positions.\r")) << seen;
  EXPECT_TRUE(cancelled.Join());
  EXPECT_TRUE(Contains(cancelled.Seen(), "Cancelled.")) << cancelled.Seen();
  EXPECT_EQ(spFormAndControls, ml->SwitchPositions());
  EXPECT_EQ(stored, ml->Positions());

  // Yes to dropping the form's values: the form's entry goes.
  seen = Answering("Warning", IDYES, [&] { ml->SetSwitchPositions(spControlsOnly); });
  EXPECT_TRUE(Contains(seen, "You are going to drop the positions for the form.")) << seen;
  EXPECT_EQ(spControlsOnly, ml->SwitchPositions());
  EXPECT_EQ(std::vector<std::string>{stored[1]}, ml->Positions());

  // Equal values are dropped without a question.
  ml->SetSwitchPositions(spNone);
  EXPECT_EQ(spNone, ml->SwitchPositions());
  EXPECT_TRUE(ml->Positions().empty());
}

TEST(LanguageCount, RaisingGivesEveryEntryAQuestionMarkPerNewLanguage) {
  TDataModule2 module(nullptr);
  TSmallMultiLang& ml = *module.ML1;
  ml.SetLanguages(3);
  ASSERT_EQ(212u, ml.Words().size());
  for (size_t k = 0; k < 53; ++k) EXPECT_EQ("?", ml.Words()[k * 4 + 3]) << k;
  EXPECT_EQ("&Konvertieren...", ml.GetWordIn("@idConvert", 0));
  EXPECT_EQ("&Convert...", ml.GetWordIn("@idConvert", 1));
  EXPECT_EQ("?", ml.GetWordIn("@idConvert", 2));
}

TEST(LanguageCount, LoweringAsksFirstAndRemovesTheTexts) {
  TDataModule2 module(nullptr);
  TSmallMultiLang& ml = *module.ML1;
  const std::vector<std::string> table = ml.Words();
  std::vector<std::string> germanOnly;
  for (size_t k = 0; k < 53; ++k) germanOnly.insert(germanOnly.end(), {table[k * 3], table[k * 3 + 1]});

  std::string seen = Answering("Information", IDOK, [&] { ml.SetLanguages(0); });
  EXPECT_TRUE(Contains(seen, "You have to provide at least 1 language.")) << seen;

  seen = Answering("Confirmation", IDNO, [&] { ml.SetLanguages(1); });
  EXPECT_TRUE(Contains(seen, "\r\rContinue?")) << seen;
  EXPECT_EQ(table, ml.Words());
  EXPECT_EQ(2, ml.Languages());

  ml.SetActiveLanguage(1);
  ml.SetDefaultLanguage(1);
  seen = Answering("Confirmation", IDYES, [&] { ml.SetLanguages(1); });
  EXPECT_TRUE(Contains(seen, "The currently displayed language will be deleted, too.")) << seen;
  EXPECT_EQ(germanOnly, ml.Words());
  EXPECT_EQ(1, ml.Languages());
  EXPECT_EQ(0, ml.ActiveLanguage());
  EXPECT_EQ(0, ml.DefaultLanguage());  // lowered to or below it: back to 0
  EXPECT_EQ("&Konvertieren...", ml.GetWord("@idConvert"));
}

TEST(LanguageCount, LoweringWhileLoadingAsksNothing) {
  TDataModule2 module(nullptr);
  TSmallMultiLang& ml = *module.ML1;
  ml.SetActiveLanguage(1);
  module.BeginLoading();
  ml.SetLanguages(1);
  EXPECT_EQ(0, ml.ActiveLanguage());
  module.EndLoading();
  EXPECT_EQ(106u, ml.Words().size());
  EXPECT_EQ("&Konvertieren...", ml.GetWord("@idConvert"));
}

namespace {
std::string StringDll() { return testsupport::ExeDir() + "switch_strings.dll"; }

struct StringDllName {
  explicit StringDllName(const std::string& name) { StringDllFileName = name; }
  ~StringDllName() { StringDllFileName.clear(); }
};
}  // namespace

TEST(StringDll, ReplacesTheWordsWithTheBlockForTheOwnersClass) {
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"%Form%", "Deutsch", "English"};
  ml->SetActiveLanguage(1);
  ml->SetDefaultLanguage(1);
  StringDllName name(StringDll());
  form.BeginLoading();
  form.EndLoading();  // loading complete: switch to language 0, then load the DLL
  EXPECT_EQ(1, ml->Languages());
  EXPECT_EQ(0, ml->ActiveLanguage());
  EXPECT_EQ(0, ml->DefaultLanguage());
  EXPECT_EQ((std::vector<std::string>{"%Form%", "Aus der DLL", "Label1", "Beschriftung", "@idKeyWithoutText", "",
                                      "@idLast", "Letzter"}),
            ml->Words());
  EXPECT_EQ("Aus der DLL", WindowText(form.Handle()));
  EXPECT_EQ("Beschriftung", WindowText(form.Label1->Handle()));
  EXPECT_EQ("Letzter", ml->GetWord("@idLast"));
}

TEST(StringDll, ChoosesTheBlockForTheOwnersNameAndLeavesOtherOwnersAlone) {
  TSwitchForm named("TOtherForm");
  named.SetName("NamedForm");
  auto* ml = named.AddMultiLang<TTestMultiLang>();
  ml->LoadStringDll(StringDll());
  EXPECT_EQ((std::vector<std::string>{"%Form%", "By object name"}), ml->Words());
  EXPECT_EQ("By object name", WindowText(named.Handle()));

  TSwitchForm plain("TPlainForm");
  auto* other = plain.AddMultiLang<TTestMultiLang>();
  other->Words() = {"%Form%", "Deutsch", "English"};
  other->LoadStringDll(StringDll());
  EXPECT_EQ(2, other->Languages());
  EXPECT_EQ((std::vector<std::string>{"%Form%", "Deutsch", "English"}), other->Words());
}

TEST(StringDll, ALibraryThatCannotBeLoadedRaisesAndKeepsTheWords) {
  testsupport::TempDir dir;
  const std::string bad = dir.File("bad.dll", "not a library");
  TSwitchForm form;
  auto* ml = form.AddMultiLang<TTestMultiLang>();
  ml->Words() = {"%Form%", "Deutsch", "English"};
  try {
    ml->LoadStringDll(bad);
    ADD_FAILURE() << "no error";
  } catch (const EStringDllError& e) {
    EXPECT_EQ("Cannot load string DLL \"" + bad + "\".", std::string(e.what()));
  }
  EXPECT_EQ(3u, ml->Words().size());

  // A file that is not there is not loaded; only its bare name is kept.
  StringDllName name(dir.path() + "missing.dll");
  form.BeginLoading();
  form.EndLoading();
  EXPECT_EQ("missing.dll", StringDllFileName);
  EXPECT_EQ(2, ml->Languages());
  EXPECT_EQ("Deutsch", WindowText(form.Handle()));
}
