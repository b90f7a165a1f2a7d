// A profile whose folders are named outside the ANSI code page (…\Łukasz)
// beside a folder named as their best-fit ANSI form (…\Lukasz) that holds
// planted files. The real DLL, loaded from such a folder as a user's
// installation would have it, reads the real folder's settings file and
// preview, writes its conversion list there, registers its real path and
// starts the main program beside its real path: the twin's files never.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "menu/MenuTestSupport.h"
#include "support/Bitmaps.h"
#include "support/DataObject.h"
#include "support/TestSupport.h"

using namespace menutest;

namespace {

const CLSID kClsid = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};
const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kInproc[] = L"Software\\Classes\\CLSID\\{67C63340-679B-11D2-92EE-000021474C15}\\InprocServer32";
const UINT F = 100;

std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::wstring FromUtf8(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

void WriteWide(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string ReadWide(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

std::optional<std::wstring> ReadHkcuWide(const wchar_t* key, const wchar_t* name, DWORD flags = RRF_RT_REG_SZ) {
  wchar_t buffer[2048] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, flags | RRF_NOEXPAND, nullptr, buffer, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buffer);
}

void SetHkcuWide(const wchar_t* key, const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
  RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring LongPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetLongPathNameW(path.c_str(), buffer, MAX_PATH * 2);
  return n && n < MAX_PATH * 2 ? std::wstring(buffer, n) : path;
}

std::wstring WithoutSeparator(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

COLORREF Grey(int, int) { return RGB(90, 90, 90); }

class ForeignFolders : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    base_ = new testsupport::TempDir();
    picture_ = base_->File("beach.jpg", "x");  // before the temporary folder changes
    for (const std::wstring& root : {Real(), Twin()}) {
      const bool real = root == Real();
      SHCreateDirectoryExW(nullptr, (root + L"AppData\\Kestrani\\Ombrelo").c_str(), nullptr);
      SHCreateDirectoryExW(nullptr, (root + L"Temp").c_str(), nullptr);
      SHCreateDirectoryExW(nullptr, (root + L"Ombrelo Shell").c_str(), nullptr);
      WriteWide(root + L"AppData\\Kestrani\\Ombrelo\\Ombrelo.ini",
                std::string("[OpenWith]\r\nCount=1\r\nDesc0=") + (real ? "Real entry" : "Planted entry") +
                    "\r\nCmd0=C:\\windows\\notepad.exe\r\n");
      CopyFileW(Wide(testsupport::ExeDir() + "recorder.exe").c_str(), (root + L"Ombrelo Shell\\Ombrelo.exe").c_str(),
                FALSE);
    }
    WriteWide(Twin() + L"Temp\\ombrelo.bmp", testsupport::MakeBitmapFile(64, 48, Grey));
    ASSERT_TRUE(CopyFileW(Wide(testsupport::DllPath()).c_str(), Dll().c_str(), FALSE));

    savedAppData_ = ReadHkcuWide(kShellFolders, L"AppData", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ);
    SetHkcuWide(kShellFolders, L"AppData", Real() + L"AppData");
    SetEnvironmentVariableW(L"TMP", (Real() + L"Temp").c_str());
    SetEnvironmentVariableW(L"TEMP", (Real() + L"Temp").c_str());
    SetEnvironmentVariableA("OMBRELO_RECORD_FILE", RecordFile().c_str());
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");

    // Loaded from the real folder, after the profile is in place: the
    // settings folder is taken at start-up.
    HMODULE dll = LoadLibraryW(Dll().c_str());
    ASSERT_NE(nullptr, dll);
    auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    install_ = reinterpret_cast<HRESULT(WINAPI*)(BOOL, LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
    ASSERT_TRUE(get && install_);
    ASSERT_EQ(S_OK, get(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory_)));
  }

  static void TearDownTestSuite() {
    if (savedAppData_) SetHkcuWide(kShellFolders, L"AppData", *savedAppData_, REG_EXPAND_SZ);
    testsupport::ResetProgramKey();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(Real()), ignored);
    std::filesystem::remove_all(std::filesystem::path(Twin()), ignored);
    delete base_;
  }

  static std::wstring Real() { return Wide(base_->path()) + L"\u0141ukasz\\"; }
  static std::wstring Twin() { return Wide(base_->path()) + L"Lukasz\\"; }
  static std::wstring Dll() { return Real() + L"Ombrelo Shell\\OmbreloShell.dll"; }
  static std::string RecordFile() { return base_->path() + "record.log"; }

  // A handler object of the loaded DLL with one picture selected, its menu built.
  struct Menu {
    explicit Menu(const std::string& picture) {
      IShellExtInit* init = nullptr;
      EXPECT_EQ(S_OK, factory_->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init)));
      if (!init) return;
      IDataObject* data = testsupport::MakeDropDataObject({picture});
      EXPECT_EQ(S_OK, init->Initialize(nullptr, data, nullptr));
      data->Release();
      init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&handler));
      init->Release();
      EXPECT_EQ(60, HRESULT_CODE(handler->QueryContextMenu(shell, 0, F, 0x7FFF, CMF_NORMAL)));
    }
    ~Menu() {
      if (handler) handler->Release();
      DestroyMenu(shell);
    }
    HMENU shell = ShellMenu(0);
    IContextMenu* handler = nullptr;
  };

  static testsupport::TempDir* base_;
  static std::optional<std::wstring> savedAppData_;
  static IClassFactory* factory_;
  static HRESULT(WINAPI* install_)(BOOL, LPCWSTR);
  static std::string picture_;
};

testsupport::TempDir* ForeignFolders::base_ = nullptr;
std::string ForeignFolders::picture_;
std::optional<std::wstring> ForeignFolders::savedAppData_;
IClassFactory* ForeignFolders::factory_ = nullptr;
HRESULT(WINAPI* ForeignFolders::install_)(BOOL, LPCWSTR) = nullptr;

TEST_F(ForeignFolders, TheSettingsFileOfTheRealFolderIsRead) {
  Menu menu(picture_);
  std::vector<std::string> texts;
  for (const Item& item : AllItems(menu.shell)) texts.push_back(item.text);
  EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "Real entry"));
  EXPECT_EQ(texts.end(), std::find(texts.begin(), texts.end(), "Planted entry"));
}

TEST_F(ForeignFolders, ThePreviewIsReadFromTheRealTemporaryFolder) {
  // The main program writes into the real folder; the twin holds a larger planted bitmap.
  MainProgramWindow mainProgram([](const MainProgramWindow::Message&) {
    WriteWide(Real() + L"Temp\\ombrelo.bmp", testsupport::MakeBitmapFile(40, 30, Grey));
  });
  Menu menu(picture_);
  EXPECT_FALSE(mainProgram.Messages().empty()) << "no preview was asked for";
  BITMAP size{};
  for (const Item& item : AllItems(menu.shell))
    if (item.id == F + 3 && item.ownerDraw()) GetObjectA(reinterpret_cast<HGDIOBJ>(item.data), sizeof(size), &size);
  EXPECT_EQ(40, size.bmWidth);
  DeleteFileW((Real() + L"Temp\\ombrelo.bmp").c_str());
}

TEST_F(ForeignFolders, TheConversionListAndTheMainProgramAreTheRealFolders) {
  DeleteFileA(RecordFile().c_str());
  DeleteFileA((RecordFile() + ".utf8").c_str());
  {
    Menu menu(picture_);
    CMINVOKECOMMANDINFO invoke{};
    invoke.cbSize = sizeof(invoke);
    invoke.lpVerb = MAKEINTRESOURCEA(8);  // convert
    invoke.nShow = SW_SHOWNORMAL;
    ASSERT_EQ(S_OK, menu.handler->InvokeCommand(&invoke));
  }
  ASSERT_TRUE(testsupport::WaitUntil(
      [&] { return !testsupport::ReadFileBytes(RecordFile() + ".utf8").empty(); }, std::chrono::seconds(20)));
  // One start, in the folder beside the real DLL, with a list in the real temporary folder.
  const std::wstring record = FromUtf8(testsupport::ReadFileBytes(RecordFile() + ".utf8"));
  ASSERT_EQ(1u, std::count(record.begin(), record.end(), L'\n')) << testsupport::ReadFileBytes(RecordFile());
  const size_t tab = record.find(L'\t');
  const std::wstring line = record.substr(0, tab);
  const std::wstring folder = record.substr(tab + 1, record.find(L'\r') - tab - 1);
  EXPECT_EQ(WithoutSeparator(Real() + L"Ombrelo Shell"), WithoutSeparator(LongPath(folder)));
  const size_t list = line.find(L"MultiConv ");
  ASSERT_NE(std::wstring::npos, list) << testsupport::ReadFileBytes(RecordFile());
  const std::wstring listFile = LongPath(line.substr(list + 10));
  EXPECT_EQ(0u, listFile.find(Real() + L"Temp\\spm")) << testsupport::ReadFileBytes(RecordFile());
  EXPECT_EQ(picture_ + "\r\n", ReadWide(listFile));
  DeleteFileW(listFile.c_str());
}

TEST_F(ForeignFolders, RegistrationWritesTheRealPath) {
  ASSERT_EQ(S_OK, install_(TRUE, L"user"));
  EXPECT_EQ(L"\"" + Dll() + L"\"", ReadHkcuWide(kInproc, nullptr).value_or(L"(none)"));
  EXPECT_EQ(S_OK, install_(FALSE, L"user"));
}

}  // namespace
