// Selection capture: what Initialize keeps of Explorer's selection, what it
// answers, and what it hands to the HTML display window.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "menu/Classify.h"
#include "menu/FolContMenu.h"
#include "menu/Selection.h"
#include "server/ModuleState.h"
#include "server/Process.h"
#include "support/DataObject.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using testsupport::DropOptions;

namespace {

void SetCtrl(bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = keys[VK_LCONTROL] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

// Calls Initialize on a fresh handler object, as Explorer does.
HRESULT Initialize(IDataObject* data) {
  auto* object = new TFolContMenu(nullptr);
  IShellExtInit* init = nullptr;
  object->Inner()->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
  HRESULT hr = init->Initialize(nullptr, data, nullptr);
  init->Release();
  return hr;
}

HRESULT Initialize(const std::vector<std::string>& paths, DropOptions options = {}) {
  IDataObject* data = testsupport::MakeDropDataObject(paths, options);
  HRESULT hr = Initialize(data);
  EXPECT_EQ(1u, testsupport::RefCount(data));  // held only for the call
  data->Release();
  return hr;
}

std::string TempPath() {
  char buffer[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(buffer), buffer);
  return buffer;
}

// A state that every Initialize must visibly replace or keep.
void PresetState(bool multi) {
  WithState([multi](SharedState& s) {
    s.SelectedFiles = {"old1", "old2"};
    s.OpenWithCommands = {"cmd"};
    s.OpenWithParams = {"params"};
    s.IsMultiSelection = multi;
    s.IsTextFile = true;
    s.PictureItemState = 3;
    s.InBosaDialog = true;
    s.DisplaySymEnabled = false;
    s.PreviewBitmapPath = "old.bmp";
  });
}

class Selection : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    testsupport::ResetProgramKey();
    SetCtrl(false);
  }
  void TearDown() override {
    SetCtrl(false);
    testsupport::ResetProgramKey();
  }
};

}  // namespace

TEST_F(Selection, NoDataObjectOrFailingGetDataTouchesNothing) {
  PresetState(false);
  EXPECT_EQ(E_FAIL, Initialize(static_cast<IDataObject*>(nullptr)));

  const HRESULT failure = static_cast<HRESULT>(0x80041234);
  IDataObject* data = testsupport::MakeDropDataObject({"C:\\a.jpg"}, DropOptions{false, failure});
  EXPECT_EQ(failure, Initialize(data));
  EXPECT_EQ(1, testsupport::GetDataCalls(data));
  EXPECT_EQ(1u, testsupport::RefCount(data));
  data->Release();

  // A data object that claims success but hands back no file list.
  DropOptions wrong;
  wrong.wrongMedium = true;
  EXPECT_EQ(E_FAIL, Initialize({"C:\\a.jpg"}, wrong));

  SharedState s = SnapshotState();
  EXPECT_EQ((std::vector<std::string>{"old1", "old2"}), s.SelectedFiles);
  EXPECT_EQ(1u, s.OpenWithCommands.size());
  EXPECT_EQ("old.bmp", s.PreviewBitmapPath);
}

TEST_F(Selection, EmptyFileListClearsTheListsKeepsTheFlagsAndOffersNoMenu) {
  for (bool multi : {false, true}) {
    PresetState(multi);
    EXPECT_EQ(E_FAIL, Initialize(std::vector<std::string>{}));
    SharedState s = SnapshotState();
    EXPECT_TRUE(s.SelectedFiles.empty());
    EXPECT_TRUE(s.OpenWithCommands.empty());
    EXPECT_TRUE(s.OpenWithParams.empty());
    EXPECT_EQ(multi, s.IsMultiSelection);
    EXPECT_TRUE(s.InBosaDialog);
    EXPECT_EQ("old.bmp", s.PreviewBitmapPath);
  }
}

TEST_F(Selection, OnePictureBecomesTheSelection) {
  PresetState(true);
  EXPECT_EQ(S_OK, Initialize({"C:\\Bilder\\beach.JPG"}));
  SharedState s = SnapshotState();
  EXPECT_EQ(std::vector<std::string>{"C:\\Bilder\\beach.JPG"}, s.SelectedFiles);
  EXPECT_TRUE(s.OpenWithCommands.empty());
  EXPECT_TRUE(s.OpenWithParams.empty());
  EXPECT_FALSE(s.IsMultiSelection);
  EXPECT_FALSE(s.IsTextFile);
  EXPECT_EQ(0u, s.PictureItemState);
  EXPECT_TRUE(s.DisplaySymEnabled);  // no "DisplaySym" value
  EXPECT_EQ(TempPath() + "\\ombrelo.bmp", s.PreviewBitmapPath);
}

TEST_F(Selection, RefusedSingleFileStaysSelected) {
  PresetState(false);
  EXPECT_EQ(E_FAIL, Initialize({"C:\\letter.doc"}));
  SharedState s = SnapshotState();
  EXPECT_EQ(std::vector<std::string>{"C:\\letter.doc"}, s.SelectedFiles);
  EXPECT_FALSE(s.IsTextFile);
  EXPECT_EQ(3u, s.PictureItemState);
}

TEST_F(Selection, TextFileNeedsCtrlHeld) {
  EXPECT_EQ(E_FAIL, Initialize({"C:\\notes.txt"}));
  EXPECT_FALSE(SnapshotState().IsTextFile);
  SetCtrl(true);
  EXPECT_EQ(S_OK, Initialize({"C:\\notes.txt"}));
  SharedState s = SnapshotState();
  EXPECT_TRUE(s.IsTextFile);
  EXPECT_EQ(3u, s.PictureItemState);
}

TEST_F(Selection, SeveralFilesKeepOnlyTheirPicturesInOrder) {
  PresetState(false);
  SetCtrl(true);
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  testsupport::SetProgramString("", "DisplaySym", "true");
  EXPECT_EQ(S_OK, Initialize({"C:\\x.gif", "C:\\a.txt", "C:\\scan.pcd", "C:\\d.rif", "C:\\z.Jpg", "C:\\x.gif"}));
  SharedState s = SnapshotState();
  EXPECT_EQ((std::vector<std::string>{"C:\\x.gif", "C:\\z.Jpg", "C:\\x.gif"}), s.SelectedFiles);
  EXPECT_TRUE(s.IsMultiSelection);
  EXPECT_TRUE(s.OpenWithCommands.empty());
  EXPECT_EQ(TempPath() + "\\ombrelo.bmp", s.PreviewBitmapPath);
  // The single-file results stay those of the last single selection.
  EXPECT_TRUE(s.IsTextFile);
  EXPECT_EQ(3u, s.PictureItemState);
  EXPECT_FALSE(s.DisplaySymEnabled);

  // One picture among three files is still a multiple selection.
  EXPECT_EQ(S_OK, Initialize({"C:\\a.txt", "C:\\b.bmp", "C:\\c.doc"}));
  s = SnapshotState();
  EXPECT_EQ(std::vector<std::string>{"C:\\b.bmp"}, s.SelectedFiles);
  EXPECT_TRUE(s.IsMultiSelection);

  EXPECT_EQ(E_FAIL, Initialize({"C:\\a.txt", "C:\\scan.pcd"}));
  s = SnapshotState();
  EXPECT_TRUE(s.SelectedFiles.empty());
  EXPECT_TRUE(s.IsMultiSelection);
}

TEST_F(Selection, LongPathsAreKeptWhole) {
  std::string dir = "C:\\" + std::string(150, 'a') + "\\" + std::string(130, 'b') + "\\";
  std::string picture = dir + "picture_with_long_name.jpeg";
  ASSERT_GT(picture.size(), 300u);
  EXPECT_EQ(S_OK, Initialize({picture}));
  EXPECT_EQ(std::vector<std::string>{picture}, SnapshotState().SelectedFiles);

  EXPECT_EQ(S_OK, Initialize({picture, dir + "second.png"}));
  EXPECT_EQ((std::vector<std::string>{picture, dir + "second.png"}), SnapshotState().SelectedFiles);
}

TEST_F(Selection, PreviewPathDoublesTheSeparatorOfTheTempDirectory) {
  char saved[MAX_PATH * 2] = {};
  DWORD had = GetEnvironmentVariableA("TMP", saved, sizeof(saved));
  SetEnvironmentVariableA("TMP", "C:\\TEMP");
  HRESULT hr = Initialize({"C:\\a.bmp"});
  SetEnvironmentVariableA("TMP", had ? saved : nullptr);
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ("C:\\TEMP\\\\ombrelo.bmp", SnapshotState().PreviewBitmapPath);
}

TEST_F(Selection, DisplaySymOfEveryKind) {
  struct Case {
    const char* name;
    DWORD type;
    std::string data;  // bytes as stored
    bool expected;
  } cases[] = {
      {"true", REG_SZ, std::string("true", 5), true},
      {"True", REG_SZ, std::string("True", 5), false},
      {"TRUE", REG_SZ, std::string("TRUE", 5), false},
      {"false", REG_SZ, std::string("false", 6), false},
      {"empty", REG_SZ, std::string("", 1), false},
      {"true without NUL", REG_SZ, std::string("true", 4), true},
      {"true as REG_EXPAND_SZ", REG_EXPAND_SZ, std::string("true", 5), true},
      {"REG_DWORD 0", REG_DWORD, std::string(4, '\0'), true},
      {"REG_BINARY", REG_BINARY, std::string("false", 5), true},
  };
  for (const Case& k : cases) {
    testsupport::ResetProgramKey();
    testsupport::SetProgramValue("", "DisplaySym", k.type, k.data.data(), static_cast<DWORD>(k.data.size()));
    WithState([](SharedState& s) { s.DisplaySymEnabled = !s.DisplaySymEnabled; });
    EXPECT_EQ(S_OK, Initialize({"C:\\a.png"})) << k.name;
    EXPECT_EQ(k.expected, SnapshotState().DisplaySymEnabled) << k.name;
  }
  testsupport::ResetProgramKey();
  EXPECT_TRUE(ReadDisplaySym());  // no program key at all
}

TEST_F(Selection, IconBitmapsOutOfTheCacheLeaveAtTheNextSingleFileMenuWithIcons) {
  // One menu's 65 programs: the least recently used leaves the cache and is
  // held for that menu.
  FreeIconBitmaps();
  HBITMAP kept = nullptr;
  WithIconCache([&](IconBitmapCache& c) {
    for (int i = 0; i <= static_cast<int>(IconBitmapCache::kCapacity); ++i) {
      IconKey key;
      key.Path = L"C:\\PROGRAM" + std::to_wstring(i) + L".EXE";
      key.IconSize = {16, 16};
      HBITMAP b = c.Add(key, UniqueBitmap(CreateBitmap(4, 4, 1, 32, nullptr)));
      if (i == 0) kept = b;
    }
  });
  EXPECT_EQ(1u, WithIconCache([](IconBitmapCache& c) { return c.HeldAside(); }));

  testsupport::SetProgramString("", "DisplaySym", "false");
  EXPECT_EQ(S_OK, Initialize({"C:\\a.png"}));
  EXPECT_EQ(OBJ_BITMAP, static_cast<int>(GetObjectType(kept)));
  // A multiple selection leaves it too, whatever the setting.
  testsupport::ResetProgramKey();
  EXPECT_EQ(S_OK, Initialize({"C:\\a.png", "C:\\b.png"}));
  EXPECT_EQ(OBJ_BITMAP, static_cast<int>(GetObjectType(kept)));

  EXPECT_EQ(S_OK, Initialize({"C:\\a.png"}));
  EXPECT_EQ(0, static_cast<int>(GetObjectType(kept)));  // deleted
  EXPECT_EQ(0u, WithIconCache([](IconBitmapCache& c) { return c.HeldAside(); }));
  FreeIconBitmaps();
}

namespace {
// A top-level window of a given class that can be brought to the foreground.
// Only one is shown: taking a shown window down costs seconds in the
// virtual display, and a hidden one is in front just as well.
class FrontWindow {
 public:
  FrontWindow(const char* className, bool visible) : className_(className) {
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = className;
    RegisterClassA(&cls);
    window_ = CreateWindowA(className, "front", WS_POPUP, 10, 10, 200, 100, nullptr, nullptr,
                            cls.hInstance, nullptr);
    if (visible) ShowWindow(window_, SW_SHOW);
  }
  ~FrontWindow() {
    DestroyWindow(window_);
    UnregisterClassA(className_, GetModuleHandleA(nullptr));
  }
  HWND get() const { return window_; }
  bool BringToFront() {
    SetForegroundWindow(window_);
    return testsupport::WaitUntil([this] { return GetForegroundWindow() == window_; }, std::chrono::seconds(5));
  }

 private:
  const char* className_;
  HWND window_;
};
}  // namespace

TEST_F(Selection, BosaDialogInFrontIsNoticed) {
  struct Case {
    const char* cls;
    bool bosa;
  } cases[] = {{"bosa_sdm_Dialog", true}, {"bosa_", true}, {"Bosa_x", false}, {"bosa", false}, {"xbosa_", false}};
  // All windows live through the whole test: destroying the active window is slow here.
  std::vector<std::unique_ptr<FrontWindow>> windows;
  for (const Case& k : cases) windows.push_back(std::make_unique<FrontWindow>(k.cls, windows.empty()));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& k = cases[i];
    ASSERT_TRUE(windows[i]->BringToFront()) << k.cls;
    EXPECT_EQ(k.bosa, IsBosaWindow(windows[i]->get())) << k.cls;
    EXPECT_EQ(S_OK, Initialize({"C:\\a.png"}));
    EXPECT_EQ(k.bosa, SnapshotState().InBosaDialog) << k.cls;
    WithState([](SharedState& s) { s.InBosaDialog = !s.InBosaDialog; });
    EXPECT_EQ(S_OK, Initialize({"C:\\a.png", "C:\\b.png"}));
    EXPECT_EQ(k.bosa, SnapshotState().InBosaDialog) << k.cls;
  }
  EXPECT_FALSE(IsBosaWindow(nullptr));
}

namespace {
// The HTML display window of the test suite, in its own process.
class HtmlWindow {
 public:
  HtmlWindow()
      : log_(dir_.path() + "received.txt"),
        process_("\"" + testsupport::ExeDir() + "htmlwindow.exe\" \"" + log_ + "\"") {
    testsupport::WaitUntil([] { return FindWindowA("TDisplay_Html_File", nullptr) != nullptr; },
                           std::chrono::seconds(20));
  }
  ~HtmlWindow() {
    if (HWND w = FindWindowA("TDisplay_Html_File", nullptr)) PostMessageA(w, WM_CLOSE, 0, 0);
    process_.Wait(10000);
  }
  bool Running() const { return FindWindowA("TDisplay_Html_File", nullptr) != nullptr; }
  std::string Received() const { return testsupport::ReadFileBytes(log_); }

 private:
  testsupport::TempDir dir_;
  std::string log_;
  servertest::Process process_;
};
}  // namespace

TEST_F(Selection, SingleHtmlFileGoesToTheHtmlWindow) {
  HtmlWindow html;
  ASSERT_TRUE(html.Running());

  const std::string page = "C:\\Web\\page.html";
  EXPECT_EQ(E_FAIL, Initialize({page}));
  EXPECT_EQ("0 " + std::to_string(page.size() + 1) + " " + page + "\n", html.Received());
  EXPECT_EQ(std::vector<std::string>{page}, SnapshotState().SelectedFiles);

  // Other spellings of .html count; .htm, pictures and multiple selections do not.
  EXPECT_EQ(E_FAIL, Initialize({"C:\\Web\\INDEX.HTML"}));
  EXPECT_EQ(E_FAIL, Initialize({"C:\\Web\\page.htm"}));
  EXPECT_EQ(S_OK, Initialize({"C:\\Web\\page.png"}));
  EXPECT_EQ(S_OK, Initialize({"C:\\Web\\a.html", "C:\\Web\\b.png"}));
  EXPECT_EQ(E_FAIL, Initialize({"C:\\Web\\a.html", "C:\\Web\\b.html"}));
  EXPECT_EQ("0 " + std::to_string(page.size() + 1) + " " + page + "\n0 18 C:\\Web\\INDEX.HTML\n",
            html.Received());
}

namespace {
// A window procedure that runs the window's work (a std::function in its
// user data) for every WM_COPYDATA.
LRESULT CALLBACK WorkOnCopyData(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_COPYDATA) return DefWindowProcA(window, msg, wParam, lParam);
  auto* work = reinterpret_cast<std::function<void()>*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (work) (*work)();
  return TRUE;
}
}  // namespace

// A display window that is busy (here for 5 s) holds Initialize, and with
// it the shell, for a second at most: Initialize has returned long before
// the window is done.
TEST_F(Selection, ABusyHtmlWindowDoesNotHoldInitialize) {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> releasedBeforeItWasDone{false};
  HWND window = nullptr;
  DWORD threadId = 0;
  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread display([&] {
    threadId = GetCurrentThreadId();
    WNDCLASSA cls{};
    cls.lpfnWndProc = WorkOnCopyData;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "TDisplay_Html_File";
    RegisterClassA(&cls);
    std::function<void()> work = [&] {
      releasedBeforeItWasDone = WaitForSingleObject(release, 5000) == WAIT_OBJECT_0;
    };
    window = CreateWindowA("TDisplay_Html_File", "", 0, 0, 0, 0, 0, nullptr, nullptr, cls.hInstance, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&work));
    SetEvent(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    DestroyWindow(window);
    UnregisterClassA("TDisplay_Html_File", cls.hInstance);
  });
  WaitForSingleObject(ready, 10000);
  EXPECT_EQ(E_FAIL, Initialize({"C:\\Web\\page.html"}));
  SetEvent(release);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result);  // the window is done
  EXPECT_TRUE(releasedBeforeItWasDone);
  PostThreadMessageA(threadId, WM_QUIT, 0, 0);
  display.join();
  CloseHandle(ready);
  CloseHandle(release);
}

TEST_F(Selection, HtmlFileWithoutHtmlWindowIsRefusedQuietly) {
  ASSERT_EQ(nullptr, FindWindowA("TDisplay_Html_File", nullptr));
  EXPECT_EQ(E_FAIL, Initialize({"C:\\Web\\page.html"}));
}

TEST_F(Selection, ShellsOwnDataObjectOfRealFilesIsRead) {
  testsupport::TempDir dir;
  const std::string picture = dir.File("Strand.jpg", "x");
  dir.File("notes.txt", "x");
  IShellFolder* desktop = nullptr;
  ASSERT_EQ(S_OK, SHGetDesktopFolder(&desktop));
  wchar_t wide[MAX_PATH] = {};
  MultiByteToWideChar(CP_ACP, 0, dir.path().c_str(), -1, wide, MAX_PATH);
  PIDLIST_RELATIVE folderId = nullptr;
  ASSERT_EQ(S_OK, desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &folderId, nullptr));
  IShellFolder* folder = nullptr;
  ASSERT_EQ(S_OK, desktop->BindToObject(folderId, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)));
  PIDLIST_RELATIVE items[2] = {};
  const wchar_t* names[2] = {L"Strand.jpg", L"notes.txt"};
  for (int i = 0; i < 2; ++i)
    ASSERT_EQ(S_OK, folder->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(names[i]), nullptr, &items[i],
                                             nullptr));
  IDataObject* data = nullptr;
  ASSERT_EQ(S_OK, folder->GetUIObjectOf(nullptr, 2, const_cast<PCUITEMID_CHILD_ARRAY>(items), IID_IDataObject,
                                        nullptr, reinterpret_cast<void**>(&data)));

  EXPECT_EQ(S_OK, Initialize(data));
  SharedState s = SnapshotState();
  EXPECT_TRUE(s.IsMultiSelection);
  ASSERT_EQ(1u, s.SelectedFiles.size());
  EXPECT_EQ(0, lstrcmpiA(picture.c_str(), s.SelectedFiles[0].c_str())) << s.SelectedFiles[0];

  data->Release();
  for (PIDLIST_RELATIVE item : items) CoTaskMemFree(item);
  folder->Release();
  CoTaskMemFree(folderId);
  desktop->Release();
}
