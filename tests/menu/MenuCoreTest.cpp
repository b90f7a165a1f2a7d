// Menu construction seen from inside: the handler object's fields, the
// shared open-with lists, and a platform other than NT.
#include <gtest/gtest.h>

#include "support/Bitmaps.h"
#include "MenuTestSupport.h"
#include "lang/DMSStrings.h"
#include "menu/FolContMenu.h"
#include "server/ModuleState.h"
#include "support/DataObject.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using menutest::Item;
using Strings = std::vector<std::string>;

namespace {

const UINT F = 100;

class Object {
 public:
  explicit Object(const std::string& path) : menu_(new TFolContMenu(nullptr)) {
    menu_->AddRef();
    IDataObject* data = testsupport::MakeDropDataObject({path});
    EXPECT_EQ(S_OK, menu_->Initialize(nullptr, data, nullptr));
    data->Release();
  }
  ~Object() { menu_->Release(); }
  TFolContMenu* operator->() const { return menu_; }
  int Query(HMENU menu) { return HRESULT_CODE(menu_->QueryContextMenu(menu, 0, F, 0x7FFF, CMF_NORMAL)); }

 private:
  TFolContMenu* menu_;
};

class MenuCore : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");
  }
  void TearDown() override {
    DestroyMenu(shell_);
    testsupport::ResetProgramKey();
  }
  menutest::UserSettings settings_;
  std::string picture_ = menutest::SampleFile("beach.jpg");
  HMENU shell_ = CreatePopupMenu();
};

}  // namespace

TEST_F(MenuCore, OpenWithListsArePaddedToFiveAndBoundTheIdentifiers) {
  const std::string quoted = "\"{Dateiname}\"";
  struct Case {
    int k;
    Strings commands, params;
    UINT last, highest;
  } cases[] = {
      {0, Strings(5, "Dummy"), Strings(5, "Dummy"), F + 19, 37},
      {2, {"c0", "c1", "Dummy", "Dummy", "Dummy"}, {quoted, quoted, "Dummy", "Dummy", "Dummy"}, F + 19, 37},
      {14, Strings(14, "c"), Strings(14, quoted), F + 29, 47},
      {40, Strings(40, "c"), Strings(40, quoted), F + 55, 73},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    settings_.Write(menutest::UserSettings::OpenWith(
        c.k, [&](int i) { return c.k == 2 ? "c" + std::to_string(i) : std::string("c"); }));
    Object o(picture_);
    HMENU menu = CreatePopupMenu();
    o.Query(menu);
    o.Query(menu);  // a repeated query starts the lists afresh
    DestroyMenu(menu);
    SharedState s = SnapshotState();
    EXPECT_EQ(c.commands, s.OpenWithCommands);
    EXPECT_EQ(c.params, s.OpenWithParams);
    EXPECT_EQ(F, o->CmdFirst);
    EXPECT_EQ(F + 15, o->FirstOpenWithId);
    EXPECT_EQ(c.last, o->LastOpenWithId);
    EXPECT_EQ(c.highest, o->HighestOffsetUsed);
    EXPECT_EQ(F + 3, o->PreviewCommandId);
  }
}

TEST_F(MenuCore, OutsideNtThePreviewItemKeepsItsCaption) {
  menutest::MainProgramWindow mainProgram;
  testsupport::WriteFileBytes(menutest::PreviewBitmapPath(),
                              testsupport::MakeBitmapFile(8, 8, [](int, int) { return RGB(1, 2, 3); }));
  auto& globals = const_cast<ModuleGlobals&>(Globals());
  const bool nt = globals.IsWindowsNT;
  globals.IsWindowsNT = false;
  Object o(picture_);
  o.Query(shell_);
  globals.IsWindowsNT = nt;
  DeleteFileA(menutest::PreviewBitmapPath().c_str());

  bool found = false;
  for (const Item& item : menutest::AllItems(shell_)) {
    if (item.id != F + 3) continue;
    found = true;
    EXPECT_FALSE(item.ownerDraw());
    EXPECT_EQ(LookupText("@idUnkownFormat"), item.text);
  }
  EXPECT_TRUE(found);
  EXPECT_FALSE(o->PreviewBitmap);
  EXPECT_EQ(0, o->PreviewWidth);
}
