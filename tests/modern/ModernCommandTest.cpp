// The Windows 11 menu's command through the real DLL, as Explorer drives it
// (GetState, EnumSubCommands, GetTitle, GetToolTip, Invoke with a shell item
// array), against the classic handler of the same DLL for the same files.
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <thread>

#include "bridge/BridgeSupport.h"
#include "commands/CommandsSupport.h"
#include "commands/Handler.h"

using Microsoft::WRL::ComPtr;
using namespace bridgetest;

namespace {

// {06A28AD9-B53D-47BC-9FD9-5D3983C43B8C}
const CLSID kCommandClass = {0x06A28AD9, 0xB53D, 0x47BC, {0x9F, 0xD9, 0x5D, 0x39, 0x83, 0xC4, 0x3B, 0x8C}};

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  const int length = static_cast<int>(text.size());
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), length)));
  return wide;
}

ComPtr<IShellItemArray> ItemsOf(const std::vector<std::wstring>& paths) {
  std::vector<PIDLIST_ABSOLUTE> pidls;
  for (const std::wstring& path : paths) pidls.push_back(ILCreateFromPathW(path.c_str()));
  ComPtr<IShellItemArray> items;
  EXPECT_EQ(S_OK, SHCreateShellItemArrayFromIDLists(static_cast<UINT>(pidls.size()),
                                                    const_cast<PCIDLIST_ABSOLUTE_ARRAY>(pidls.data()), &items));
  for (PIDLIST_ABSOLUTE pidl : pidls) ILFree(pidl);
  return items;
}

// A text the command gives through get(&text); empty unless S_OK.
template <class Get>
std::wstring Text(Get get) {
  LPWSTR text = nullptr;
  std::wstring out = get(&text) == S_OK && text ? text : L"";
  CoTaskMemFree(text);
  return out;
}

// Holds a key down as real keyboard input (SendInput) from another thread,
// and lets it go again; waits until the system reports the key's state.
class HeldKey {
 public:
  explicit HeldKey(WORD key) : key_(key) { Send(0, true); }
  ~HeldKey() { Send(KEYEVENTF_KEYUP, false); }
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;

 private:
  void Send(DWORD flags, bool down) {
    std::thread([&] {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = key_;
      input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key_, MAPVK_VK_TO_VSC));
      input.ki.dwFlags = flags;
      EXPECT_EQ(1u, SendInput(1, &input, sizeof(input)));
    }).join();
    for (int i = 0; i < 200 && ((GetAsyncKeyState(key_) & 0x8000) != 0) != down; ++i) Sleep(10);
  }
  WORD key_;
};

struct Sub {
  ComPtr<IExplorerCommand> command;
  bool separator = false;
  std::wstring title, tip, icon;
  EXPCMDSTATE state = 0;
};

// The root command of the DLL that `classic` loaded, asked as Explorer asks it.
struct Modern {
  explicit Modern(commandtest::Handler& classic) {
    EXPECT_EQ(S_OK, classic.Create(kCommandClass, IID_PPV_ARGS(&root)));
  }
  EXPCMDSTATE State(IShellItemArray* items) {
    EXPCMDSTATE state = 0;
    EXPECT_EQ(S_OK, root->GetState(items, FALSE, &state));
    return state;
  }
  std::vector<Sub> Subcommands(IShellItemArray* items) {
    ComPtr<IEnumExplorerCommand> all;
    EXPECT_EQ(S_OK, root->EnumSubCommands(&all));
    std::vector<Sub> subs;
    for (ComPtr<IExplorerCommand> command; all && all->Next(1, &command, nullptr) == S_OK; command.Reset()) {
      Sub sub;
      sub.command = command;
      EXPCMDFLAGS flags = 0;
      command->GetFlags(&flags);
      sub.separator = flags & ECF_ISSEPARATOR;
      sub.title = Text([&](LPWSTR* text) {
        HRESULT hr = command->GetTitle(items, text);
        if (sub.separator) EXPECT_TRUE(hr == S_FALSE && !*text);
        return hr;
      });
      sub.tip = Text([&](LPWSTR* text) { return command->GetToolTip(items, text); });
      sub.icon = Text([&](LPWSTR* text) { return command->GetIcon(items, text); });
      command->GetState(items, FALSE, &sub.state);
      subs.push_back(sub);
    }
    return subs;
  }
  ComPtr<IExplorerCommand> root;
};

// The classic caption as the Windows 11 menu reads it.
std::wstring Plain(const std::string& caption) {
  std::string plain;
  for (char c : caption)
    if (c != '&') plain += c;
  size_t tab = plain.find('\t');
  // "JPG\t( JPEG Format )" reads "JPG (JPEG Format)".
  if (tab != std::string::npos)
    plain = plain.substr(0, tab) + " (" + plain.substr(tab + 3, plain.size() - tab - 5) + ")";
  return Wide(plain);
}

class ModernMenu : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    testsupport::SetProgramDword(nullptr, "AutoStart", 1);
    commandtest::RemoveSettingsFile();
    picture = dir.File("beach.jpg", "jpeg");
    text = dir.File("notes.txt", "one\r\n");
  }
  void TearDown() override {
    commandtest::RemoveSettingsFile();
    BridgeTest::TearDown();
  }
  testsupport::TempDir dir;
  std::string picture, text;
};

}  // namespace

TEST_F(ModernMenu, APictureGetsTheClassicCommandsFlatWithTheirTextsInBothLanguages) {
  const std::string notepad = "C:\\windows\\notepad.exe";
  commandtest::WriteOpenWithEntries({notepad, "C:\\windows\\write.exe"});
  // N = 5, S = 12: the offsets of the classic items in the order of the flat list.
  const std::vector<int> offsets = {15, 16, -1, 9, 10, 11, 12, 13, -1, 8, 28, -1, 29, 30, -1, 35, 36, 37, -1, 32};
  for (DWORD language : {0u, 1u}) {
    commandtest::Handler classic(language);
    classic.Open({picture});
    Modern modern(classic);
    ComPtr<IShellItemArray> items = ItemsOf({Wide(picture)});
    ASSERT_EQ(ECS_ENABLED, modern.State(items.Get()));
    EXPECT_EQ(L"Ombrelo", Text([&](LPWSTR* text) { return modern.root->GetTitle(items.Get(), text); }));
    EXPCMDFLAGS flags = 0;
    modern.root->GetFlags(&flags);
    EXPECT_EQ(ECF_HASSUBCOMMANDS, flags);

    std::vector<Sub> subs = modern.Subcommands(items.Get());
    ASSERT_EQ(offsets.size(), subs.size());
    for (size_t i = 0; i < subs.size(); ++i) {
      EXPECT_EQ(offsets[i] < 0, subs[i].separator) << i;
      if (offsets[i] < 0) continue;
      const UINT offset = static_cast<UINT>(offsets[i]);
      // Open-with entries are picture items in the classic menu: their caption is the entry's.
      const std::wstring caption =
          offset == 15 || offset == 16 ? L"Program " + std::to_wstring(offset - 15) : Plain(classic.Caption(offset));
      EXPECT_EQ(caption, subs[i].title) << offset;
      EXPECT_EQ(Wide(classic.HelpText(offset)), subs[i].tip) << offset;
      EXPECT_EQ(ECS_ENABLED, subs[i].state) << offset;
    }
    EXPECT_EQ(Wide(notepad + ",0"), subs[0].icon);
    if (language == 1) {
      EXPECT_EQ(L"JPG (JPEG Format)", subs[3].title);
      EXPECT_EQ(L"Copy name", subs[13].title);
    }
  }
}

TEST_F(ModernMenu, TextFilesFollowTheCtrlRuleAndSeveralFilesGetTheConvertItem) {
  commandtest::Handler classic(1);
  Modern modern(classic);
  ComPtr<IShellItemArray> notes = ItemsOf({Wide(text)});
  // No "Txt" settings: text files only with Ctrl held, as in the classic menu.
  EXPECT_EQ(ECS_HIDDEN, modern.State(notes.Get()));
  {
    // Ctrl as the user holds it: real keyboard input from another thread,
    // which this thread's keyboard state never sees (the Windows 11 menu
    // asks from the COM surrogate, another process).
    HeldKey ctrl(VK_CONTROL);
    ASSERT_TRUE(GetAsyncKeyState(VK_CONTROL) & 0x8000);
    EXPECT_EQ(ECS_ENABLED, modern.State(notes.Get()));
  }
  EXPECT_EQ(ECS_HIDDEN, modern.State(notes.Get()));
  {
    // This thread's keyboard state alone, with the key up, is not the user's hand.
    BYTE keys[256] = {}, held[256];
    GetKeyboardState(keys);
    memcpy(held, keys, sizeof held);
    held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
    SetKeyboardState(held);
    EXPECT_EQ(ECS_HIDDEN, modern.State(notes.Get()));
    SetKeyboardState(keys);
  }
  {
    HeldKey ctrl(VK_CONTROL);
    EXPECT_EQ(ECS_ENABLED, modern.State(notes.Get()));
  }
  std::vector<std::wstring> titles;
  for (const Sub& sub : modern.Subcommands(notes.Get())) titles.push_back(sub.separator ? L"-" : sub.title);
  EXPECT_EQ((std::vector<std::wstring>{L"Print", L"Open in Wordpad", L"-", L"Copy text", L"Copy name",
                                       L"Ombrelo Options..."}),
            titles);

  ComPtr<IShellItemArray> several = ItemsOf({Wide(picture), Wide(text), Wide(dir.File("b.png", "png"))});
  EXPECT_EQ(ECS_ENABLED, modern.State(several.Get()));
  std::vector<Sub> subs = modern.Subcommands(several.Get());
  ASSERT_EQ(1u, subs.size());
  EXPECT_EQ(L"Convert...", subs[0].title);
  EXPECT_EQ(L"Changes the format of the selected images.", subs[0].tip);
}

TEST_F(ModernMenu, NothingOfferedHidesTheCommandWithoutAFailure) {
  commandtest::Handler classic(1);
  Modern modern(classic);
  char folder[MAX_PATH] = {};
  GetWindowsDirectoryA(folder, MAX_PATH);
  PIDLIST_ABSOLUTE computer = nullptr;
  SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer);  // outside the file system
  ComPtr<IShellItemArray> virtualItem;
  SHCreateShellItemArrayFromIDLists(1, const_cast<PCIDLIST_ABSOLUTE_ARRAY>(&computer), &virtualItem);
  ILFree(computer);
  ASSERT_TRUE(virtualItem);
  EXPECT_EQ(ECS_HIDDEN, modern.State(nullptr));
  EXPECT_EQ(ECS_HIDDEN, modern.State(virtualItem.Get()));
  EXPECT_EQ(ECS_HIDDEN, modern.State(ItemsOf({Wide(folder)}).Get()));
  EXPECT_EQ(ECS_HIDDEN, modern.State(ItemsOf({Wide(dir.File("page.htm", "<p>"))}).Get()));
  EXPECT_EQ(ECS_HIDDEN, modern.State(ItemsOf({Wide(text), Wide(folder)}).Get()));
  EXPECT_TRUE(modern.Subcommands(nullptr).empty());
}

TEST_F(ModernMenu, CopyNameAndJpgDoWhatTheirClassicTwinsDo) {
  Journal journal;
  HANDLE standin = StartStandin();
  ASSERT_NE(nullptr, standin);
  CloseHandle(standin);
  commandtest::Handler classic(1);
  classic.Open({picture});
  Modern modern(classic);
  ComPtr<IShellItemArray> items = ItemsOf({Wide(picture)});
  ASSERT_EQ(ECS_ENABLED, modern.State(items.Get()));
  std::vector<Sub> subs = modern.Subcommands(items.Get());
  auto find = [&](const wchar_t* title) {
    for (const Sub& sub : subs)
      if (sub.title == title) return sub.command;
    ADD_FAILURE() << "no subcommand titled " << testing::PrintToString(std::wstring(title));
    return ComPtr<IExplorerCommand>();
  };
  ComPtr<IBindCtx> bind;
  CreateBindCtx(0, &bind);

  // The classic menu's preview requests come first; then the two commands.
  const size_t previews = journal.Events("copydata").size();
  ASSERT_EQ(S_OK, classic.Invoke(9));
  ComPtr<IExplorerCommand> jpg = find(L"JPG (JPEG Format)");
  ASSERT_TRUE(jpg);
  ASSERT_EQ(S_OK, jpg->Invoke(items.Get(), bind.Get()));
  ASSERT_TRUE(journal.WaitForEvents("copydata", previews + 2));
  std::vector<JournalEntry> sent = journal.Events("copydata");
  ASSERT_EQ(previews + 2, sent.size());
  sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(previews));
  EXPECT_EQ("-12336", sent[1].code);
  EXPECT_EQ(sent[0].code, sent[1].code);
  EXPECT_EQ(sent[0].bytes, sent[1].bytes);
  EXPECT_EQ(sent[0].text, sent[1].text);
  EXPECT_EQ(sent[0].detail, sent[1].detail);

  commandtest::SetClipboardText("before");
  ComPtr<IExplorerCommand> copyName = find(L"Copy name");
  ASSERT_TRUE(copyName);
  EXPECT_EQ(S_OK, copyName->Invoke(items.Get(), bind.Get()));
  EXPECT_EQ(picture, commandtest::ReadClipboardText().value_or("<none>"));
  // A separator is no command.
  ASSERT_TRUE(subs[5].separator);
  EXPECT_EQ(E_FAIL, subs[5].command->Invoke(items.Get(), bind.Get()));
}

TEST_F(ModernMenu, ANameOutsideTheCodePageReachesTheCommandAsItsShortName) {
  const std::wstring path = Wide(dir.path()) + L"\x0416\x0438\x0437\x043D\x044C.jpg";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  wchar_t shortPath[MAX_PATH] = {};
  ASSERT_NE(0u, GetShortPathNameW(path.c_str(), shortPath, MAX_PATH));
  char expected[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, shortPath, -1, expected, MAX_PATH, nullptr, nullptr);

  commandtest::Handler classic(1);
  Modern modern(classic);
  ComPtr<IShellItemArray> items = ItemsOf({path});
  ASSERT_EQ(ECS_ENABLED, modern.State(items.Get()));
  for (const Sub& sub : modern.Subcommands(items.Get())) {
    if (sub.title != L"Copy name") continue;
    EXPECT_EQ(L"Copies \"" + Wide(expected) + L"\" to the clipboard.", sub.tip);
    EXPECT_EQ(S_OK, sub.command->Invoke(items.Get(), nullptr));
  }
  EXPECT_EQ(std::string(expected), commandtest::ReadClipboardText().value_or("<none>"));
  EXPECT_EQ(std::string::npos, std::string(expected).find('?'));
}

// The surrogate unloads the DLL when DllCanUnloadNow allows it: never while
// a command or an enumerator that the shell still holds is alive.
TEST_F(ModernMenu, TheDllStaysWhileAnyCommandObjectLives) {
  HMODULE dll = LoadLibraryA(testsupport::DllPath().c_str());
  ASSERT_NE(nullptr, dll);
  using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  using CanUnloadFn = HRESULT(WINAPI*)();
  auto export_ = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(export_("DllGetClassObject"));
  auto canUnload = reinterpret_cast<CanUnloadFn>(export_("DllCanUnloadNow"));
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, getClassObject(kCommandClass, IID_PPV_ARGS(&factory)));
    ComPtr<IExplorerCommand> root;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&root)));
    factory.Reset();
    EXPCMDSTATE state = 0;
    ASSERT_EQ(S_OK, root->GetState(ItemsOf({Wide(picture)}).Get(), FALSE, &state));
    ComPtr<IEnumExplorerCommand> all;
    ASSERT_EQ(S_OK, root->EnumSubCommands(&all));
    ComPtr<IEnumExplorerCommand> copy;
    ASSERT_EQ(S_OK, all->Clone(&copy));
    EXPECT_EQ(S_OK, all->Skip(2));
    ComPtr<IExplorerCommand> sub;
    ASSERT_EQ(S_OK, all->Next(1, &sub, nullptr));
    LPWSTR title = nullptr;
    ASSERT_EQ(S_OK, sub->GetTitle(nullptr, &title));
    EXPECT_STREQ(L"PNG (Portable Network Graphic)", title);  // no open-with entries: JPG, BMP, PNG
    CoTaskMemFree(title);
    EXPECT_EQ(S_FALSE, all->Skip(100));
    ComPtr<IExplorerCommand> none;
    ULONG fetched = 7;
    EXPECT_EQ(S_FALSE, all->Next(1, &none, &fetched));
    EXPECT_EQ(0u, fetched);
    root.Reset();
    all.Reset();
    copy.Reset();
    EXPECT_EQ(S_FALSE, canUnload());
  }
  EXPECT_EQ(S_OK, canUnload());
  FreeLibrary(dll);
}
