// Programs on a network share never make the menu touch their files: the
// path rule, and the menus of the real DLL with open-with programs on a
// drive letter that Wine reports as a network drive and on a share of a
// server that does not exist.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "bridge/MainProgram.h"
#include "common/FileNames.h"
#include "common/PathRule.h"
#include "menu/MenuTestSupport.h"
#include "network/NetworkSupport.h"
#include "settings/OpenWith.h"
#include "support/TestSupport.h"

using Microsoft::WRL::ComPtr;
using networktest::PathCall;
using networktest::PathCalls;
using networktest::WineDrive;

namespace {

// A share of a server that does not exist.
const char kShare[] = "\\\\ombrelo-no-server\\share\\";
const UINT F = 100;

std::string SystemProgram() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return std::string(dir) + "\\notepad.exe";
}

std::wstring Wide(const std::string& text) { return ombrelo::WideFromAnsi(text); }

bool MayBeTouched(const std::string& path) { return ombrelo::PathMayBeTouched(Wide(path)); }

// The system's generic program icon, as the Windows 11 command should name it.
std::wstring GenericProgramIcon() {
  SHSTOCKICONINFO stock{};
  stock.cbSize = sizeof(stock);
  if (FAILED(SHGetStockIconInfo(SIID_APPLICATION, SHGSI_ICONLOCATION, &stock))) return L"<none>";
  return std::wstring(stock.szPath) + L"," + std::to_wstring(stock.iIcon);
}

std::string Describe(const std::vector<PathCall>& calls) {
  std::string text;
  for (const PathCall& call : calls) {
    std::string path(call.path.begin(), call.path.end());
    text += "\n  " + call.function + "(\"" + path + "\")";
  }
  return text;
}

// A folder mapped to a drive letter that reports itself as a network drive,
// with a program in it.
class NetworkDrive : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(networktest::UnderWine()) << "the network drive is made by Wine's mount manager";
    ASSERT_TRUE(drive_.ok()) << "no free drive letter, or Wine's mount manager refused it";
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOTE), GetDriveTypeA((std::string(1, drive_.letter()) + ":\\").c_str()));
    ASSERT_TRUE(CopyFileA(SystemProgram().c_str(), (folder_.path() + "tool.exe").c_str(), FALSE));
    // The program is there for whoever looks.
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(drive_.Path("tool.exe").c_str()));
  }

  testsupport::TempDir folder_;
  WineDrive drive_{folder_.path(), DRIVE_REMOTE};
};

}  // namespace

TEST(PathRule, LocalPathsMayBeTouched) {
  EXPECT_TRUE(MayBeTouched(SystemProgram()));
  EXPECT_TRUE(MayBeTouched("C:\\no\\such\\program.exe"));
  EXPECT_TRUE(MayBeTouched("notepad.exe"));  // from the current directory, on a local drive
  EXPECT_TRUE(MayBeTouched("\\\\?\\" + SystemProgram()));
  EXPECT_TRUE(MayBeTouched("c:/windows/notepad.exe"));
}

TEST(PathRule, SharesDevicesAndDrivesThatAreNotThereAreNotTouched) {
  EXPECT_FALSE(MayBeTouched(std::string(kShare) + "viewer.exe"));
  EXPECT_FALSE(MayBeTouched("//ombrelo-no-server/share/viewer.exe"));
  EXPECT_FALSE(MayBeTouched("\\\\?\\UNC\\ombrelo-no-server\\share\\viewer.exe"));
  EXPECT_FALSE(MayBeTouched("\\\\.\\pipe\\viewer"));
  EXPECT_FALSE(MayBeTouched(""));
  EXPECT_FALSE(ombrelo::PathMayBeTouched(nullptr));
  const DWORD drives = GetLogicalDrives();
  char missing = 0;
  for (char letter = 'Y'; letter >= 'D' && !missing; --letter)
    if (!(drives & (1u << (letter - 'A')))) missing = letter;
  ASSERT_NE(0, missing);
  EXPECT_FALSE(MayBeTouched(std::string(1, missing) + ":\\viewer.exe"));
}

TEST_F(NetworkDrive, PathsOnANetworkDriveAreNotTouchedAndAReadyCdDriveIsTouched) {
  EXPECT_FALSE(MayBeTouched(drive_.Path("tool.exe")));
  EXPECT_FALSE(MayBeTouched(drive_.Path("gone.exe")));
  EXPECT_FALSE(MayBeTouched(std::string(1, drive_.letter() - 'A' + 'a') + ":/tool.exe"));
  EXPECT_FALSE(MayBeTouched("\\\\?\\" + drive_.Path("tool.exe")));
  // A CD drive with its medium (Wine's CD drive of a folder has one) is asked
  // whether it is ready, and may then be touched.
  WineDrive cd(folder_.path(), DRIVE_CDROM);
  ASSERT_TRUE(cd.ok());
  ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), GetDriveTypeA((std::string(1, cd.letter()) + ":\\").c_str()));
  EXPECT_TRUE(MayBeTouched(cd.Path("tool.exe")));
}

TEST_F(NetworkDrive, ProgramsOnASharedDriveKeepTheirEntriesWithTheIconOfTheirType) {
  testsupport::ResetProgramKey();  // "DisplaySym" missing: icon items
  menutest::UserSettings settings;
  const std::vector<std::string> programs = {SystemProgram(), drive_.Path("tool.exe"), drive_.Path("gone.exe"),
                                             std::string(kShare) + "viewer.exe"};
  settings.Write(menutest::UserSettings::OpenWith(4, [&](int i) { return programs[static_cast<size_t>(i)]; }));
  menutest::Handler handler({menutest::SampleFile("beach.jpg")});
  ASSERT_EQ(S_OK, handler.InitResult());

  PathCalls calls(GetModuleHandleA("OmbreloShell.dll"));
  HMENU shell = menutest::ShellMenu(0);
  ASSERT_GT(handler.Query(shell, 0, F), 0);
  const std::vector<PathCall> touched = calls.Calls();
  // "&Ombrelo" > "Open with" >
  HMENU openWith = nullptr;
  for (const menutest::Item& item : menutest::Items(shell))
    if (item.sub) openWith = GetSubMenu(item.sub, 0);
  ASSERT_NE(nullptr, openWith);
  const std::vector<menutest::Item> entries = menutest::Items(openWith);
  DestroyMenu(shell);

  // Every entry keeps its place and its caption, with an icon beside it.
  ASSERT_LE(programs.size(), entries.size());
  for (UINT i = 0; i < programs.size(); ++i) {
    EXPECT_EQ(F + 15 + i, entries[i].id) << programs[i];
    EXPECT_FALSE(entries[i].type & MFT_BITMAP) << programs[i];
    EXPECT_NE(nullptr, entries[i].bitmap) << programs[i];
  }
  // The local program's icon is read from its file; the others are asked for
  // by their type alone.
  const std::vector<PathCall> lookups = calls.CallsOf("SHGetFileInfoW");
  ASSERT_EQ(programs.size(), lookups.size()) << Describe(touched);
  EXPECT_EQ(Wide(SystemProgram()), lookups[0].path);
  EXPECT_FALSE(lookups[0].flags & SHGFI_USEFILEATTRIBUTES);
  for (size_t i = 1; i < lookups.size(); ++i) {
    EXPECT_EQ(L".exe", lookups[i].path) << i;
    EXPECT_TRUE(lookups[i].flags & SHGFI_USEFILEATTRIBUTES) << i;
    EXPECT_TRUE(lookups[i].flags & SHGFI_ICON) << i;
  }
  // Nothing the menu did named a file on the network drive or the share.
  EXPECT_TRUE(calls.CallsUnder(drive_.Path("")).empty()) << Describe(touched);
  EXPECT_TRUE(calls.CallsUnder(kShare).empty()) << Describe(touched);

  // Each entry keeps its command: its help text is its program.
  for (UINT i = 0; i < programs.size(); ++i) {
    char help[MAX_PATH] = {};
    EXPECT_EQ(S_OK, handler->GetCommandString(15 + i, GCS_HELPTEXTA, nullptr, help, sizeof(help)));
    EXPECT_EQ(programs[i], help);
  }
}

TEST_F(NetworkDrive, TheWindows11CommandNamesAGenericProgramIconForProgramsOnAShare) {
  testsupport::ResetProgramKey();
  // The main program is stored on the network drive, where it does not even exist.
  testsupport::SetProgramString(nullptr, "cmd", drive_.Path("Ombrelo\\Ombrelo.exe"));
  menutest::UserSettings settings;
  const std::vector<std::string> programs = {SystemProgram(), drive_.Path("tool.exe"),
                                             std::string(kShare) + "viewer.exe"};
  settings.Write(menutest::UserSettings::OpenWith(3, [&](int i) { return programs[static_cast<size_t>(i)]; }));
  ASSERT_NE(nullptr, menutest::Factory());
  HMODULE dll = GetModuleHandleA("OmbreloShell.dll");
  ASSERT_NE(nullptr, dll);
  auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  // {06A28AD9-B53D-47BC-9FD9-5D3983C43B8C}
  const CLSID commandClass = {0x06A28AD9, 0xB53D, 0x47BC, {0x9F, 0xD9, 0x5D, 0x39, 0x83, 0xC4, 0x3B, 0x8C}};
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, getClassObject(commandClass, IID_PPV_ARGS(&factory)));
  ComPtr<IExplorerCommand> root;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&root)));
  PIDLIST_ABSOLUTE pidl = ILCreateFromPathW(Wide(menutest::SampleFile("beach.jpg")).c_str());
  ComPtr<IShellItemArray> items;
  ASSERT_EQ(S_OK, SHCreateShellItemArrayFromIDLists(1, const_cast<PCIDLIST_ABSOLUTE_ARRAY>(&pidl), &items));
  ILFree(pidl);

  auto icon = [&](IExplorerCommand* command) {
    LPWSTR text = nullptr;
    std::wstring location = SUCCEEDED(command->GetIcon(items.Get(), &text)) && text ? text : L"<none>";
    CoTaskMemFree(text);
    return location;
  };
  PathCalls calls(dll);
  EXPCMDSTATE state = ECS_HIDDEN;
  ASSERT_EQ(S_OK, root->GetState(items.Get(), FALSE, &state));
  ASSERT_EQ(static_cast<EXPCMDSTATE>(ECS_ENABLED), state);
  EXPECT_EQ(GenericProgramIcon(), icon(root.Get()));
  ComPtr<IEnumExplorerCommand> subcommands;
  ASSERT_EQ(S_OK, root->EnumSubCommands(&subcommands));
  std::vector<std::wstring> icons;
  for (ComPtr<IExplorerCommand> sub; icons.size() < programs.size() && subcommands->Next(1, &sub, nullptr) == S_OK;
       sub.Reset()) {
    LPWSTR title = nullptr;
    sub->GetTitle(items.Get(), &title);
    CoTaskMemFree(title);
    icons.push_back(icon(sub.Get()));
  }
  EXPECT_EQ((std::vector<std::wstring>{Wide(SystemProgram()) + L",0", GenericProgramIcon(), GenericProgramIcon()}),
            icons);
  EXPECT_TRUE(calls.CallsUnder(drive_.Path("")).empty()) << Describe(calls.Calls());
  EXPECT_TRUE(calls.CallsUnder(kShare).empty()) << Describe(calls.Calls());
  testsupport::ResetProgramKey();
}

TEST_F(NetworkDrive, ASettingsFileOnANetworkDriveIsNotReadWhileTheMenuIsBuilt) {
  const std::string text = menutest::UserSettings::OpenWith(2, [](int) { return SystemProgram(); });
  testsupport::WriteFileBytes(folder_.path() + "Ombrelo.ini", text);
  EXPECT_EQ(2u, ombrelo::ReadOpenWithFile(drive_.Path("Ombrelo.ini")).Captions.size());  // it is there
  PathCalls calls(GetModuleHandleA(nullptr));
  EXPECT_TRUE(ombrelo::ReadOpenWithFileForMenu(drive_.Path("Ombrelo.ini")).Captions.empty());
  EXPECT_TRUE(calls.Calls().empty()) << Describe(calls.Calls());
  EXPECT_EQ(2u, ombrelo::ReadOpenWithFileForMenu(folder_.path() + "Ombrelo.ini").Captions.size());
}

TEST_F(NetworkDrive, AMainProgramOnANetworkDriveIsTakenWithoutLookingForIt) {
  testsupport::ResetProgramKey();
  const std::string stored = drive_.Path("Ombrelo\\Ombrelo.exe");
  testsupport::SetProgramString(nullptr, "cmd", stored);
  {
    PathCalls calls(GetModuleHandleA(nullptr));
    EXPECT_EQ(stored, ombrelo::FindMainProgramExecutable());
    EXPECT_TRUE(calls.Calls().empty()) << Describe(calls.Calls());
  }
  // A local one is still looked for.
  testsupport::SetProgramString(nullptr, "cmd", "C:\\no\\such\\Ombrelo.exe");
  EXPECT_NE("C:\\no\\such\\Ombrelo.exe", ombrelo::FindMainProgramExecutable());
  testsupport::ResetProgramKey();
}
