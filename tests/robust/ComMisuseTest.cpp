// The handler driven through the real DLL the way no shell should: calls
// out of order, repeated, after a failed Initialize, with null or invalid
// pointers and handles, odd buffers, verb forms and offsets. Each answers
// with a clean HRESULT, touches nothing it was not given and leaks nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Scene.h"
#include "robust/RobustSupport.h"
#include "support/DataObject.h"
#include "support/GdiCount.h"
#include "support/TestSupport.h"

namespace {

using bench::kFirstId;
using bench::kLastId;

constexpr char kGuard = 0x7F;
constexpr UINT kPreviewId = kFirstId + 3;
constexpr DWORD kUnicodeMask = 0x00004000;  // CMIC_MASK_UNICODE
// A picture menu with at most five open-with entries: N = 5, S = 12.
constexpr UINT kCopyName = 12 + 18;

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT))
    if (const char* chars = static_cast<const char*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  CloseClipboard();
  return text;
}

void EmptyTheClipboard() {
  if (!OpenClipboard(nullptr)) return;
  EmptyClipboard();
  CloseClipboard();
}

class ComMisuse : public ::testing::Test {
 public:
  void SetUp() override {
    bench::ResetProgramKey();
    testsupport::SetProgramDword("Txt", "TxtPreview", 1);
    // Icon items on, with open-with entries of our own: what the menus
    // hold must not depend on a settings file left in the prefix.
    bench::SetIconItems(true);
    settings_.WriteOpenWith(3);
    picture_ = work_.path() + "beach.bmp";
    text_ = work_.File("notes.txt", "a text\r\n");
    bench::WriteBitmapFile(picture_, 8, 8);
    ASSERT_NE(nullptr, dll_.factory());
    SettleMenuBitmaps();  // caches of the system fill before anything is counted
    before_ = testsupport::CountGuiResources();
  }
  void TearDown() override {
    SettleMenuBitmaps();
    const testsupport::GuiResources after = testsupport::CountGuiResources();
    EXPECT_EQ(before_.gdi, after.gdi) << before_.Describe() << " -> " << after.Describe();
    EXPECT_EQ(before_.user, after.user) << before_.Describe() << " -> " << after.Describe();
    dll_.ReleaseFactory();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow()) << "a handler object is left";
    bench::ResetProgramKey();
  }

  IContextMenu3* Fresh() {
    IContextMenu3* menu = nullptr;
    EXPECT_EQ(S_OK, dll_.factory()->CreateInstance(nullptr, IID_IContextMenu3, reinterpret_cast<void**>(&menu)));
    return menu;
  }
  // Initialize with the files, or with no data object at all.
  static HRESULT Initialize(IContextMenu3* menu, const std::vector<std::string>* files,
                            testsupport::DropOptions options = {}) {
    IDataObject* selection = files ? testsupport::MakeDropDataObject(*files, options) : nullptr;
    IShellExtInit* init = nullptr;
    menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
    const HRESULT hr = init->Initialize(nullptr, selection, nullptr);
    init->Release();
    if (selection) selection->Release();
    return hr;
  }
  // A handler with its menu built into a popup of its own.
  IContextMenu3* Opened(const std::vector<std::string>& files) {
    IContextMenu3* menu = Fresh();
    EXPECT_EQ(S_OK, Initialize(menu, &files));
    EXPECT_TRUE(SUCCEEDED(menu->QueryContextMenu(Popup(), 0, kFirstId, kLastId, CMF_NORMAL)));
    return menu;
  }
  // The module keeps the icon-item bitmaps of menus until the next
  // single-file Initialize in the process, which frees them (that of another
  // handler too), and every further menu adds its own. A picture menu built
  // last fixes how many it holds, so that both counts see the same number.
  void SettleMenuBitmaps() { Release(Opened({picture_})); }
  HMENU Popup() {
    DestroyMenu(popup_);
    popup_ = CreatePopupMenu();
    return popup_;
  }
  void Release(IContextMenu3* menu) {
    menu->Release();
    DestroyMenu(popup_);
    popup_ = nullptr;
  }
  // The help text or "<none>" when the buffer was left alone, "<failed>" on a failure.
  static std::string Help(IContextMenu* menu, UINT_PTR offset) {
    char text[MAX_PATH];
    std::memset(text, kGuard, sizeof(text));
    const HRESULT hr = menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, text, sizeof(text));
    if (text[0] != kGuard) return FAILED(hr) ? "<failed, buffer written>" : text;
    return FAILED(hr) ? "<failed>" : "<none>";
  }
  static HRESULT Invoke(IContextMenu* menu, UINT offset) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof(info);
    info.lpVerb = MAKEINTRESOURCEA(offset);
    return menu->InvokeCommand(&info);
  }
  // WM_MEASUREITEM and WM_DRAWITEM of the preview item; true when either said it handled it.
  static bool MeasureAndDraw(IContextMenu3* menu, HDC dc) {
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, kPreviewId, 0, 0, 0};
    DRAWITEMSTRUCT draw{ODT_MENU, 0, kPreviewId, ODA_DRAWENTIRE, 0, nullptr, dc, RECT{0, 0, 40, 20}, 0};
    LRESULT measured = 0, drawn = 0;
    EXPECT_EQ(S_OK, menu->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), &measured));
    EXPECT_EQ(S_OK, menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), &drawn));
    EXPECT_EQ(S_OK, menu->HandleMenuMsg(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(S_OK, menu->HandleMenuMsg(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)));
    return measured || drawn;
  }

  bench::SettingsFile settings_;
  robust::ExtensionDll dll_;
  testsupport::TempDir work_;
  std::string picture_, text_;
  HMENU popup_ = nullptr;
  testsupport::GuiResources before_;
};

}  // namespace

TEST_F(ComMisuse, AHandlerWithoutASelectionOfItsOwnAddsDescribesAndRunsNothing) {
  // Another handler of the process holds an accepted picture selection all along.
  IContextMenu3* other = Opened({picture_});
  const char* const names[] = {"no Initialize", "null data object", "failing GetData", "refused file"};
  const std::vector<std::string> picture{picture_}, refused{work_.File("tool.exe")};
  HDC dc = CreateCompatibleDC(nullptr);
  for (int c = 0; c < 4; ++c) {
    const char* name = names[c];
    IContextMenu3* menu = Fresh();
    const HRESULT init = c == 0   ? E_FAIL
                         : c == 1 ? Initialize(menu, nullptr)
                         : c == 2 ? Initialize(menu, &picture, {false, DV_E_FORMATETC})
                                  : Initialize(menu, &refused);
    EXPECT_TRUE(FAILED(init)) << name;
    for (int again = 0; again < 2; ++again) {
      const HRESULT built = menu->QueryContextMenu(Popup(), 0, kFirstId, kLastId, CMF_NORMAL);
      EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0), built) << name;
      EXPECT_EQ(0, GetMenuItemCount(popup_)) << name;
      for (UINT offset : {0u, 3u, 9u, kCopyName}) EXPECT_EQ("<failed>", Help(menu, offset)) << name << offset;
      // Only offsets whose action could not open a dialog if it ran.
      EmptyTheClipboard();
      for (UINT offset : {0u, 7u, kCopyName}) EXPECT_TRUE(FAILED(Invoke(menu, offset))) << name << offset;
      EXPECT_EQ("", ClipboardText()) << name;
      EXPECT_FALSE(MeasureAndDraw(menu, dc)) << name;
    }
    Release(menu);
  }
  DeleteDC(dc);
  EXPECT_NE(std::string::npos, Help(other, kCopyName).find(picture_)) << "the other handler keeps its selection";
  other->Release();
}

TEST_F(ComMisuse, AHandlerActsOnItsOwnSelectionNotOnTheLastOneInTheProcess) {
  IContextMenu3* pictureMenu = Opened({picture_});
  HMENU pictureShell = popup_;
  popup_ = nullptr;
  IContextMenu3* textMenu = Opened({text_});  // Initialize of another handler comes later
  EXPECT_NE(std::string::npos, Help(pictureMenu, kCopyName).find(picture_));
  EXPECT_EQ("Copies the selected image to the clipboard.", Help(pictureMenu, kCopyName - 1));
  EXPECT_EQ(S_OK, Invoke(pictureMenu, kCopyName));
  EXPECT_EQ(picture_, ClipboardText());
  EXPECT_EQ(S_OK, Invoke(textMenu, 5));  // copy the text file's name
  EXPECT_EQ(text_, ClipboardText());
  // The picture handler builds its menu once more: still the picture's.
  EXPECT_EQ(60, HRESULT_CODE(pictureMenu->QueryContextMenu(Popup(), 0, kFirstId, kLastId, CMF_NORMAL)));
  EXPECT_EQ(S_OK, Invoke(pictureMenu, kCopyName));
  EXPECT_EQ(picture_, ClipboardText());
  Release(textMenu);
  Release(pictureMenu);
  DestroyMenu(pictureShell);
}

TEST_F(ComMisuse, NullAndInvalidPointersAndHandlesAnswerCleanly) {
  EXPECT_EQ(E_POINTER, dll_.GetClassObject(robust::kHandlerClsid, IID_IClassFactory, nullptr));
  EXPECT_EQ(E_POINTER, dll_.factory()->CreateInstance(nullptr, IID_IContextMenu, nullptr));
  EXPECT_EQ(E_POINTER, dll_.factory()->QueryInterface(IID_IClassFactory, nullptr));
  IContextMenu3* menu = Opened({picture_});
  EXPECT_EQ(E_POINTER, menu->QueryInterface(IID_IContextMenu, nullptr));
  // A menu that cannot take the items gets a beep and, as designed, the count all the same.
  for (HMENU bad : {HMENU(nullptr), reinterpret_cast<HMENU>(static_cast<INT_PTR>(0x7ff0))})
    EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 60), menu->QueryContextMenu(bad, 0, kFirstId, kLastId, CMF_NORMAL));
  EXPECT_TRUE(FAILED(menu->InvokeCommand(nullptr)));
  EXPECT_TRUE(FAILED(menu->GetCommandString(9, GCS_HELPTEXTA, nullptr, nullptr, MAX_PATH)));
  for (UINT message : {UINT(WM_MEASUREITEM), UINT(WM_DRAWITEM)}) {
    LRESULT result = 0;
    EXPECT_EQ(S_OK, menu->HandleMenuMsg2(message, 0, 0, &result));
    EXPECT_EQ(FALSE, result);
    EXPECT_EQ(S_OK, menu->HandleMenuMsg(message, 0, 0));
  }
  DRAWITEMSTRUCT draw{ODT_MENU, 0, kPreviewId, ODA_DRAWENTIRE, ODS_SELECTED, nullptr, nullptr, RECT{0, 0, 40, 20}, 0};
  EXPECT_EQ(S_OK, menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), nullptr));
  // The handler still works after all of it.
  EXPECT_EQ("Converts selected image to JPEG", Help(menu, 9));
  Release(menu);
}

TEST_F(ComMisuse, HelpTextBuffersTypesAndOffsets) {
  IContextMenu3* menu = Opened({picture_});
  char text[16];
  auto request = [&](UINT type, UINT cchMax, UINT_PTR offset = 9) {
    std::memset(text, kGuard, sizeof(text));
    return menu->GetCommandString(offset, type, nullptr, text, cchMax);
  };
  EXPECT_EQ(S_OK, request(GCS_HELPTEXTA, 0));
  EXPECT_EQ(kGuard, text[0]) << "nothing written for cchMax 0";
  EXPECT_EQ(S_OK, request(GCS_HELPTEXTA, 1));
  EXPECT_EQ('\0', text[0]);
  EXPECT_EQ(kGuard, text[1]) << "only the NUL for cchMax 1";
  for (UINT type : {UINT(GCS_HELPTEXTW), UINT(GCS_VERBA), UINT(GCS_VERBW), UINT(GCS_VALIDATEA), UINT(GCS_VALIDATEW), 0x7FFFu}) {
    EXPECT_EQ(E_INVALIDARG, request(type, sizeof(text))) << type;
    EXPECT_EQ(kGuard, text[0]) << type;
  }
  for (UINT_PTR offset : {UINT_PTR(59), UINT_PTR(0xFFFF), ~UINT_PTR(0)}) {
    EXPECT_EQ(E_INVALIDARG, request(GCS_HELPTEXTA, sizeof(text), offset)) << offset;
    EXPECT_EQ(kGuard, text[0]) << offset;
  }
  Release(menu);
}

TEST_F(ComMisuse, InvokeCommandTakesOffsetsInEveryStructureFormAndRefusesTheRest) {
  IContextMenu3* menu = Opened({picture_});
  CMINVOKECOMMANDINFOEX info{};
  info.fMask = kUnicodeMask;
  auto invoke = [&](UINT size, LPCSTR verb, LPCWSTR verbW) {
    info.cbSize = size;
    info.lpVerb = verb;
    info.lpVerbW = verbW;
    EmptyTheClipboard();
    return menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info));
  };
  for (UINT size : {UINT(sizeof(CMINVOKECOMMANDINFOEX)), UINT(sizeof(CMINVOKECOMMANDINFO))}) {
    EXPECT_EQ(S_OK, invoke(size, MAKEINTRESOURCEA(kCopyName), MAKEINTRESOURCEW(kCopyName))) << size;
    EXPECT_EQ(picture_, ClipboardText()) << size;
    EXPECT_EQ(E_FAIL, invoke(size, "copy", L"copy")) << "verb strings are refused";
    EXPECT_EQ(E_FAIL, invoke(size, MAKEINTRESOURCEA(7), MAKEINTRESOURCEW(7))) << "a separator";
    EXPECT_EQ(E_INVALIDARG, invoke(size, MAKEINTRESOURCEA(0xFFFF), MAKEINTRESOURCEW(0xFFFF)));
  }
  EXPECT_EQ(E_INVALIDARG, invoke(0, MAKEINTRESOURCEA(kCopyName), nullptr)) << "a structure too small for the verb";
  Release(menu);

  IContextMenu3* several = Opened({picture_, work_.File("a.doc")});
  EXPECT_EQ(E_FAIL, Invoke(several, 0xFFFF));
  EXPECT_EQ(E_FAIL, Invoke(several, 1));
  Release(several);
}
