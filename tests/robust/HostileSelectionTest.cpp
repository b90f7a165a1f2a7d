// Hostile selections: malformed file lists, very many and very long names,
// names outside the ANSI code page, odd names. Initialize must answer, keep
// only whole names that exist as given, and never read past the list.
#include <gtest/gtest.h>

#include <cstring>

#include "RobustSupport.h"
#include "menu/CommandIds.h"
#include "menu/FolContMenu.h"
#include "menu/MenuCommands.h"
#include "server/ModuleState.h"
#include "support/DataObject.h"
#include "support/TestSupport.h"

using namespace ombrelo;
using namespace robust;
using Strings = std::vector<std::string>;

namespace {

HRESULT Initialize(IDataObject* data) {
  auto* object = new TFolContMenu(nullptr);
  object->Inner()->AddRef();
  HRESULT hr = object->Initialize(nullptr, data, nullptr);
  object->Inner()->Release();
  return hr;
}

HRESULT InitializeBlock(const std::string& block) {
  IDataObject* data = testsupport::MakeRawDropDataObject(block);
  HRESULT hr = Initialize(data);
  data->Release();
  return hr;
}

HRESULT InitializeNames(const Strings& names, bool wide) { return InitializeBlock(DropBlock(names, wide)); }

Strings Selected() { return SnapshotState().SelectedFiles; }

void PresetSelection() {
  WithState([](SharedState& s) { s.SelectedFiles = {"C:\\before.jpg"}; });
}

DROPFILES Header(DWORD offset, bool wide) {
  DROPFILES header{};
  header.pFiles = offset;
  header.fWide = wide;
  return header;
}

std::string Bytes(const DROPFILES& header) { return std::string(reinterpret_cast<const char*>(&header), sizeof(header)); }

// Creates a file and its folders through the wide API.
bool CreateWideFile(const std::wstring& path) {
  // Long paths need the prefix; others are normalised as the shell's are.
  const std::wstring full = path.size() >= MAX_PATH ? L"\\\\?\\" + path : path;
  for (size_t at = full.find(L'\\', full.size() >= MAX_PATH ? 7 : 3); at != std::wstring::npos; at = full.find(L'\\', at + 1))
    CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
  HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool Exists(const std::string& ansiPath) {
  std::string path = ansiPath.size() >= MAX_PATH ? "\\\\?\\" + ansiPath : ansiPath;
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class HostileSelection : public testing::Test {
 protected:
  void SetUp() override {
    EnsureModuleStarted();
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");
  }
  void TearDown() override { testsupport::ResetProgramKey(); }
  testsupport::TempDir dir_;
};

}  // namespace

TEST_F(HostileSelection, MalformedListsAreRefusedWithoutReadingPastTheirBlock) {
  const std::string name = "C:\\a.jpg";
  const struct Case {
    const char* what;
    std::string block;
  } cases[] = {
      {"empty block", ""},
      {"shorter than its header", Bytes(Header(20, false)).substr(0, 12)},
      {"names start beyond the block", Bytes(Header(0x7FFFFFF0, false)) + name + '\0' + '\0'},
      {"names start inside the header", Bytes(Header(4, false)) + name + '\0' + '\0'},
      {"the only name lacks its NUL", Bytes(Header(20, false)) + name},
      {"the only wide name lacks its NUL", Bytes(Header(20, true)) + std::string("C\0:\0\\\0a\0.\0j\0p\0g", 15)},
  };
  for (const Case& c : cases) {
    PresetSelection();
    EXPECT_EQ(E_FAIL, InitializeBlock(c.block)) << c.what;
    for (const std::string& path : Selected()) EXPECT_NE(0, path.compare(0, name.size(), name)) << c.what;
  }

  // A cut-off last name is not taken: it could name another file.
  EXPECT_EQ(S_OK, InitializeBlock(Bytes(Header(20, false)) + name + '\0' + "C:\\b.jpg.exe"));
  EXPECT_EQ(Strings{name}, Selected());
  EXPECT_EQ(S_OK, InitializeBlock(Bytes(Header(24, false)) + "junk" + name + '\0' + '\0'));
  EXPECT_EQ(Strings{name}, Selected());
}

// Random blocks: whatever Initialize keeps is a whole, NUL-terminated name
// of the block.
TEST_F(HostileSelection, RandomListsYieldOnlyWholeNamesOfTheList) {
  Rng rng = CaseRng();
  const Strings pieces = {"C:\\p.jpg", "x.gif", "..jpg", ".bmp", "a b.png", "\\\\server\\share\\s.tif", ""};
  const int rounds = Rounds(3000);
  for (int round = 0; round < rounds; ++round) {
    std::string body;
    const int parts = Between(rng, 0, 6);
    for (int i = 0; i < parts; ++i) {
      if (Chance(rng, 60)) body += Pick(rng, pieces);
      else body += RandomBytes(rng, static_cast<size_t>(Between(rng, 0, 40)));
      if (Chance(rng, 80)) body.push_back('\0');
    }
    DWORD offset = Chance(rng, 80) ? sizeof(DROPFILES) : static_cast<DWORD>(Between(rng, 0, 64));
    std::string block = Bytes(Header(offset, false)) + body;
    if (Chance(rng, 10)) block.resize(static_cast<size_t>(Between(rng, 0, static_cast<int>(block.size()))));

    PresetSelection();
    const HRESULT hr = InitializeBlock(block);
    ASSERT_TRUE(hr == S_OK || hr == E_FAIL) << "round " << round << " hr " << std::hex << hr;
    if (hr != S_OK) continue;
    for (const std::string& path : Selected()) {
      const std::string whole = '\0' + path + '\0';
      const std::string names = std::string(1, '\0') + (offset <= block.size() ? block.substr(offset) : "");
      EXPECT_NE(std::string::npos, names.find(whole)) << "round " << round << ": " << path;
    }
  }
}

TEST_F(HostileSelection, TenThousandFilesKeepTheirPicturesInOrder) {
  Rng rng = CaseRng();
  const Strings extensions = {".jpg", ".GIF", ".txt", ".pcd", ".tiff", "", ".doc", ".Png"};
  Strings names, pictures;
  for (int i = 0; i < 10000; ++i) {
    std::string ext = Pick(rng, extensions);
    names.push_back("C:\\Pictures\\" + std::string(static_cast<size_t>(Between(rng, 1, 60)), 'n') + std::to_string(i) +
                    ext);
    if (ext == ".jpg" || ext == ".GIF" || ext == ".tiff" || ext == ".Png") pictures.push_back(names.back());
  }
  for (bool wide : {false, true}) {
    EXPECT_EQ(S_OK, InitializeNames(names, wide));
    EXPECT_EQ(pictures, Selected()) << (wide ? "wide" : "ANSI");
    EXPECT_TRUE(SnapshotState().IsMultiSelection);
  }
}

TEST_F(HostileSelection, PathsOfAThousandCharactersAreKeptWhole) {
  const std::string folder = "C:\\" + std::string(600, 'f') + "\\" + std::string(380, 'g') + "\\";
  const std::string one = folder + "one.jpg", two = folder + "two.png";
  ASSERT_EQ(992u, one.size());
  for (bool wide : {false, true}) {
    EXPECT_EQ(S_OK, InitializeNames({one}, wide));
    EXPECT_EQ(Strings{one}, Selected());
    EXPECT_EQ(S_OK, InitializeNames({two, folder + "notes.txt", one}, wide));
    EXPECT_EQ((Strings{two, one}), Selected());
  }
}

// Odd but valid names of real files, in both list forms, reach the selection
// byte for byte, and only their last extension counts.
TEST_F(HostileSelection, OddNamesAreTakenAsTheyAre) {
  struct Case {
    const char* name;
    bool picture;
  } cases[] = {{"a.b.c", false},        {"..jpg", true},   {".jpg", true},          {"x.", false},
               {"dir.bmp\\file", false}, {"  blank .gif", true}, {"a.jpg.zip", false}, {"\xC4 Caf\xE9.JPEG", true},
               {"no extension", false}};
  for (const Case& c : cases) {
    const std::string path = dir_.path() + c.name;
    ASSERT_TRUE(CreateWideFile(FromAnsi(path))) << c.name;
    for (bool wide : {false, true}) {
      EXPECT_EQ(c.picture ? S_OK : E_FAIL, InitializeNames({path}, wide)) << c.name;
      EXPECT_EQ(Strings{path}, Selected()) << c.name;
      EXPECT_TRUE(Exists(Selected().at(0))) << c.name;
    }
  }
}

namespace {

bool SameFile(const std::wstring& a, const std::wstring& b) {
  auto identity = [](const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE file = CreateFileW((L"\\\\?\\" + path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION x{}, y{};
  return identity(a, x) && identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

// A name the ANSI code page cannot hold would reach the main program as "?"
// characters, a path that names no file: its short form stands in for it
// there, while the full name reaches the extension's own commands. A file
// without a short form keeps its menu alone, and is left out of a list.
TEST_F(HostileSelection, NamesOutsideTheCodePageReachTheCommandsWithTheirShortForm) {
  const std::wstring dir = FromAnsi(dir_.path());
  std::wstring deep = dir;
  while (deep.size() < 900) deep += std::wstring(90, L'\x03B2') + L"\\";
  const std::vector<std::wstring> existing = {
      dir + L"\x03A9\x03BC\x03AD\x03B3\x03B1.jpg",                    // Greek name
      dir + L"\x03A0\x03B1\x03BB\x03AD\x03C4\x03B1\\photo.gif",      // Greek folder
      dir + L"caf\x00E9.png",                                          // inside the code page
      dir + L"\x4E2D\x6587 \x56FE.bmp",                                // Chinese name with a blank
      deep + L"\x03B2\x03B1\x03B8\x03CD.jpg",                          // beyond MAX_PATH
  };
  for (const std::wstring& path : existing) ASSERT_TRUE(CreateWideFile(path));
  const std::wstring missing = dir + L"\x03BB\x03B5\x03AF\x03C0\x03B5\x03B9.jpg";

  EXPECT_EQ(S_OK, InitializeBlock(WideDropBlock({existing[0]})));
  ASSERT_EQ(1u, Selected().size());
  EXPECT_TRUE(SameFile(existing[0], FromAnsi(Selected()[0]))) << Selected()[0];

  EXPECT_EQ(std::vector<std::wstring>{existing[0]}, SnapshotState().SelectedPaths);

  PresetSelection();
  EXPECT_EQ(S_OK, InitializeBlock(WideDropBlock({missing})));
  EXPECT_EQ(Strings{""}, Selected());
  EXPECT_EQ(std::vector<std::wstring>{missing}, SnapshotState().SelectedPaths);

  std::vector<std::wstring> all = existing;
  all.insert(all.begin() + 2, missing);
  EXPECT_EQ(S_OK, InitializeBlock(WideDropBlock(all)));
  const Strings selected = Selected();
  ASSERT_EQ(existing.size(), selected.size());
  for (size_t i = 0; i < existing.size(); ++i) {
    EXPECT_TRUE(Exists(selected[i])) << selected[i];
    EXPECT_TRUE(SameFile(existing[i], FromAnsi(selected[i]))) << selected[i];
    EXPECT_EQ(std::string::npos, selected[i].find('?')) << selected[i];
  }
  EXPECT_EQ(dir_.path() + "caf\xE9.png", selected[2]);  // representable names stay as they are
  EXPECT_EQ(existing, SnapshotState().SelectedPaths);
}

namespace {

// Initialize, QueryContextMenu, every help text and, for one file, "Copy
// name" through the handler; false when a call answered what it may not.
bool RightClickAndCopyName(const std::string& block) {
  IDataObject* data = testsupport::MakeRawDropDataObject(block);
  auto* object = new TFolContMenu(nullptr);
  object->Inner()->AddRef();
  bool sound = true;
  if (object->Initialize(nullptr, data, nullptr) == S_OK) {
    HMENU menu = CreatePopupMenu();
    sound = SUCCEEDED(object->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL));
    char help[64];
    for (UINT offset = 0; offset < 40; ++offset) object->GetCommandString(offset, GCS_HELPTEXTA, nullptr, help, 64);
    if (!object->Selected.IsMultiSelection) {
      const MenuLayout layout = object->Layout();
      const UINT shift = layout.LastOpenWithId - layout.FirstOpenWithId + 8;
      CMINVOKECOMMANDINFO info{};
      info.cbSize = sizeof(info);
      info.lpVerb = MAKEINTRESOURCEA(object->Selected.IsTextFile ? CmdCopyTextName : shift + CmdCopyImageName);
      sound = sound && object->InvokeCommand(&info) == S_OK;
    }
    DestroyMenu(menu);
  }
  object->Inner()->Release();
  data->Release();
  return sound;
}

bool ClipboardFree() {
  if (!OpenClipboard(nullptr)) return false;
  CloseClipboard();
  return true;
}

}  // namespace

// Random UTF-16 names (unpaired surrogates, emoji, names of the longest
// length a path may have) run through a whole right-click and the commands
// that work on the name alone, without a crash, a leak or a clipboard left open.
TEST_F(HostileSelection, RandomWideNamesGoThroughMenuHelpAndCopyName) {
  Rng rng = CaseRng();
  const std::vector<std::wstring> pieces = {L"\x65E5\x672C", L"\xD83C\xDF0A", L"\xD800", L"\xDFFF", L"\x03A9",
                                            L"\x0416", L"caf\x00E9", L"a b", L".", L"\\"};
  const std::vector<std::wstring> extensions = {L".jpg", L".txt", L".BMP", L"", L".\xD800"};
  testsupport::SetProgramDword("Txt", "TxtPreview", 1);
  RightClickAndCopyName(WideDropBlock({L"C:\\warm.jpg"}));  // the first call's one-time allocations
  const DWORD handles = testsupport::CountKernelHandles();
  const int gdi = testsupport::CountGdiObjects();
  const int rounds = Rounds(60);
  for (int round = 0; round < rounds; ++round) {
    std::wstring name = L"C:\\";
    const size_t length = Chance(rng, 10) ? 32700 : static_cast<size_t>(Between(rng, 1, 300));
    while (name.size() < length) name += Pick(rng, pieces);
    name += Pick(rng, extensions);
    std::vector<std::wstring> names = {name};
    if (Chance(rng, 30)) names.push_back(name.substr(0, name.size() / 2) + L".gif");
    ASSERT_TRUE(RightClickAndCopyName(WideDropBlock(names))) << "round " << round;
  }
  EXPECT_TRUE(ClipboardFree());
  EXPECT_EQ(handles, testsupport::CountKernelHandles());
  EXPECT_EQ(gdi, testsupport::CountGdiObjects());
}
