// Names outside the ANSI code page and today's text encodings: the full
// UTF-16 name wherever the extension acts itself, the ANSI form wherever the
// main program is given the file, and greyed main-program commands for a
// file that has no ANSI form.
#include <gtest/gtest.h>

#include "bridge/TextActions.h"
#include "bridge/Viewer.h"
#include "bridge/Wallpaper.h"
#include "commands/CommandsSupport.h"
#include "common/FileNames.h"
#include "menu/CommandIds.h"
#include "menu/DropList.h"
#include "menu/FolContMenu.h"
#include "menu/MenuCommands.h"
#include "menu/Selection.h"
#include "settings/Registry.h"
#include "support/Windows.h"

using namespace commandtest;
using namespace ombrelo;

namespace {

// Japanese, Greek, Cyrillic, an emoji (a surrogate pair) and code page 1252.
const std::wstring kNames[] = {L"日本の海.jpg", L"Ωμέγα θάλασσα.jpg", L"Жёлтый.jpg", L"wave 🌊.jpg",
                               L"Grüße café.jpg"};

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                     out.data(), static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::string Utf16(const std::wstring& text, bool bigEndian) {
  std::string out;
  for (wchar_t c : text) {
    const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

// A file made through the wide API, deleted with this object.
struct WideFile {
  WideFile(const std::wstring& path, const std::string& bytes = "x") : path(path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  ~WideFile() { DeleteFileW(path.c_str()); }
  std::wstring path;
};

std::optional<std::wstring> ReadClipboardWide() {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::wstring> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = std::wstring(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

std::wstring NoShortName(const std::wstring&) { return {}; }

MenuSelection SelectionOf(const std::vector<std::wstring>& paths) { return CaptureSelection(FileListOf(paths)); }

class UnicodeNames : public ::testing::Test {
 protected:
  void SetUp() override {
    StartModule();
    testsupport::ResetProgramKey();
    testsupport::SetProgramString(nullptr, "DisplaySym", "false");
    testsupport::SetProgramDword("Txt", "TxtPreview", 1);
    folder = WideFromAnsi(dir.path());
  }
  void TearDown() override {
    SetShortPathQuery(nullptr);
    testsupport::ResetProgramKey();
  }

  testsupport::TempDir dir;
  std::wstring folder;
};

}  // namespace

// Each name: its ANSI form, "Copy name", the command the main program
// receives and an open-with program's command line.
TEST_F(UnicodeNames, EachCommandGetsTheFormItNeeds) {
  FakeMainWindow mainProgram;
  Recorder recorder;
  const std::string program = recorder.Install("open with.exe");
  for (const std::wstring& name : kNames) {
    WideFile picture(folder + name);
    const SelectedFile file = SelectedFileOf(picture.path);
    const std::wstring shortPath = ShortPathOf(picture.path);
    const bool inCodePage = name == kNames[4];
    ASSERT_TRUE(file.HasAnsi()) << Utf8(name);
    EXPECT_EQ(inCodePage ? AnsiWithReplacements(picture.path) : AnsiWithReplacements(shortPath), file.Ansi);
    EXPECT_EQ(std::string::npos, file.Ansi.find('?')) << file.Ansi;

    CopyToClipboard(file, true, false);
    EXPECT_EQ(picture.path, ReadClipboardWide().value_or(L"<none>")) << Utf8(name);
    EXPECT_EQ(file.Ansi, ReadClipboardText().value_or("<none>")) << Utf8(name);

    MenuSelection selection = SelectionOf({picture.path});
    ASSERT_TRUE(selection.Accepted) << Utf8(name);
    EXPECT_EQ(S_OK, RunItemCommand(selection, MenuLayout{}, CmdConvertJpg, nullptr));
    ASSERT_FALSE(mainProgram.Verbs().empty());
    EXPECT_EQ(file.Ansi, mainProgram.Verbs().back().text) << Utf8(name);

    const size_t before = recorder.Utf8Records().size();
    RunOpenWithProgram(program, file, "{Dateiname} {Dateiname im 8.3 Format}", nullptr);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.Utf8Records().size() > before; },
                                       std::chrono::seconds(20)));
    // A path with a blank is one argument: in quotes.
    const std::wstring longArgument = name.find(L' ') == std::wstring::npos ? picture.path : QuotedWide(picture.path);
    EXPECT_EQ("\"" + program + "\" " + Utf8(longArgument + L" " + shortPath),
              recorder.Utf8Records().back().commandLine);
  }
}

// The external viewer gets the short form, or the full path where there is
// none; the text viewer and the bitmap wallpaper get the full path.
TEST_F(UnicodeNames, ViewersAndTheWallpaperGetTheFullPath) {
  Recorder recorder;
  const std::string viewer = recorder.Install("viewer.exe");
  WideFile picture(folder + kNames[1]), text(folder + L"Ωμέγα.txt"), bitmap(folder + L"日本の海.bmp", SmallBitmapBytes());
  const SelectedFile file = SelectedFileOf(picture.path);
  testsupport::SetProgramString("Txt", "ViewerCmd", viewer);
  const std::wstring expected[] = {L" \"" + ShortPathOf(picture.path) + L"\"", L" \"" + picture.path + L"\"",
                                   L"\"" + text.path + L"\""};
  RunExternalViewer(viewer, file);
  SetShortPathQuery(NoShortName);
  RunExternalViewer(viewer, SelectedFileOf(picture.path));
  OpenInTextViewer(SelectedFileOf(text.path));
  ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.Utf8Records().size() >= 3; }, std::chrono::seconds(20)));
  std::string lines;
  for (const Record& record : recorder.Utf8Records()) lines += record.commandLine + "\n";
  for (const std::wstring& part : expected) EXPECT_NE(std::string::npos, lines.find(Utf8(part))) << lines;

  // Printing and WordPad, shell calls with the full path.
  ShellRegistrations shell(recorder.Install("editor.exe"));
  const MenuSelection textSelection = SelectionOf({text.path});
  ASSERT_TRUE(textSelection.IsTextFile);
  EXPECT_EQ(S_OK, RunItemCommand(textSelection, MenuLayout{}, CmdPrintText, nullptr));
  EXPECT_EQ(S_OK, RunItemCommand(textSelection, MenuLayout{}, CmdWordpadText, nullptr));
  ASSERT_TRUE(testsupport::WaitUntil([&] { return recorder.Utf8Records().size() >= 5; }, std::chrono::seconds(20)));
  lines.clear();
  for (const Record& record : recorder.Utf8Records()) lines += record.commandLine + "\n";
  EXPECT_NE(std::string::npos, lines.find(Utf8(L"/p \"" + text.path + L"\""))) << lines;
  size_t quoted = 0;  // the text viewer, printing and WordPad
  for (size_t at = 0; (at = lines.find(Utf8(L"\"" + text.path + L"\""), at)) != std::string::npos; ++at) ++quoted;
  EXPECT_EQ(3u, quoted) << lines;

  RegKey desktop;
  ASSERT_TRUE(desktop.Create(HKEY_CURRENT_USER, "Control Panel\\Desktop"));
  const std::string original = desktop.ReadString("Wallpaper").value_or("");
  SetWallpaper(SelectedFileOf(bitmap.path), kWallpaperCentered);
  wchar_t value[MAX_PATH] = {};
  DWORD size = sizeof(value);
  RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"Wallpaper", RRF_RT_REG_SZ, nullptr, value, &size);
  EXPECT_EQ(bitmap.path, std::wstring(value));
  ApplyWallpaper(WideFromAnsi(original), "0", "0");
}

// Without any ANSI form the file keeps its menu; what would hand it to the
// main program is greyed in both menus and refused, and a list leaves it out.
TEST_F(UnicodeNames, WithoutAShortFormTheMainProgramCommandsAreGreyed) {
  FakeMainWindow mainProgram;
  SetShortPathQuery(NoShortName);
  WideFile picture(folder + kNames[0]), bitmap(folder + L"Ωμέγα.bmp"), other(folder + L"beach.jpg");
  const MenuSelection selection = SelectionOf({picture.path});
  ASSERT_TRUE(selection.Accepted);
  EXPECT_FALSE(selection.File(0).HasAnsi());

  auto* handler = new TFolContMenu(nullptr);
  handler->Inner()->AddRef();
  handler->Selected = selection;
  HMENU menu = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(handler->BuildMenu(menu, 0, 1, 0x7FFF, 0)));
  const MenuLayout layout = handler->Layout();
  const UINT S = layout.LastOpenWithId - layout.FirstOpenWithId + 8;
  const struct {
    UINT offset;
    bool greyed;
  } items[] = {{CmdConvertJpg, true},   {CmdConvertPcx, true},    {CmdConvert, true},
               {CmdPrintPreview, true}, {CmdSettings, true},      {CmdPreview, true},
               {S + CmdCopyImage, true}, {S + CmdOptions, true},  {S + CmdWallpaperTiled, true},
               {S + CmdCopyImageName, false}};
  for (const auto& item : items)
    EXPECT_EQ(item.greyed, (GetMenuState(menu, 1 + item.offset, MF_BYCOMMAND) & MF_GRAYED) != 0) << item.offset;
  std::optional<std::string> help;
  EXPECT_EQ(S_OK, ItemHelpText(handler->Selected, layout, S + CmdCopyImageName, help));
  EXPECT_NE(std::string::npos, help.value_or("").find(AnsiWithReplacements(picture.path))) << help.value_or("");
  EXPECT_EQ(E_FAIL, RunItemCommand(handler->Selected, layout, CmdConvertJpg, nullptr));
  EXPECT_EQ(E_FAIL, RunItemCommand(handler->Selected, layout, S + CmdOptions, nullptr));
  EXPECT_EQ(S_OK, RunItemCommand(handler->Selected, layout, S + CmdCopyImageName, nullptr));
  EXPECT_EQ(picture.path, ReadClipboardWide().value_or(L""));
  EXPECT_TRUE(mainProgram.Messages().empty());
  DestroyMenu(menu);
  handler->Inner()->Release();

  // The Windows 11 command disables what the classic menu greys; a bitmap
  // keeps its wallpaper styles, which the extension sets itself.
  for (const auto& [path, wallpaperGreyed] : {std::pair{picture.path, true}, std::pair{bitmap.path, false}}) {
    const OfferedMenu offered = OfferedCommands(SelectionOf({path}));
    const UINT shift = ShiftAfterOpenWith(kMinOpenWithEntries);
    for (const OfferedItem& item : offered.Items) {
      if (item.Separator) continue;
      const bool wallpaper = item.Offset >= shift + CmdWallpaperCentered && item.Offset <= shift + CmdWallpaperScaled;
      const bool expected = item.Offset == shift + CmdCopyImageName ? false : wallpaper ? wallpaperGreyed : true;
      EXPECT_EQ(expected, item.Greyed) << item.Caption;
    }
  }
  // In a list such files are left out; the menu stays while a picture remains.
  const MenuSelection list = SelectionOf({picture.path, other.path});
  EXPECT_TRUE(list.Accepted);
  EXPECT_EQ(std::vector<std::string>{dir.path() + "beach.jpg"}, list.SelectedFiles);
  EXPECT_FALSE(SelectionOf({picture.path, bitmap.path}).Accepted);
}

// "Copy text" reads a byte-order mark, UTF-8 without one, and the ANSI code
// page otherwise; lines and the end at the first NUL count in characters.
// A temporary folder with neither an exact nor a short ANSI form: the
// extension still names the real file, but asks for no preview and hands
// no conversion list to the main program, which could only be given
// another folder's name.
TEST_F(UnicodeNames, ATemporaryFolderWithoutAnAnsiFormGetsNoPreviewRequestAndNoList) {
  FakeMainWindow mainProgram;
  SetShortPathQuery(NoShortName);
  const std::wstring temp = folder + L"\u0141ukasz\\";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  wchar_t saved[MAX_PATH * 2] = {};
  const DWORD had = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH * 2);
  SetEnvironmentVariableW(L"TMP", temp.c_str());
  WideFile picture(folder + L"beach.jpg");
  const MenuSelection selection = SelectionOf({picture.path});
  EXPECT_EQ(temp + L"\\ombrelo.bmp", selection.PreviewBitmapFile);
  EXPECT_EQ("", selection.PreviewBitmapPath);

  auto* handler = new TFolContMenu(nullptr);
  handler->Inner()->AddRef();
  handler->Selected = selection;
  HMENU menu = CreatePopupMenu();
  ASSERT_TRUE(SUCCEEDED(handler->BuildMenu(menu, 0, 1, 0x7FFF, 0)));
  EXPECT_TRUE(mainProgram.Messages().empty());
  {
    testsupport::WindowWatcher box("#32770", "Ombrelo", Answer(IDOK));
    EXPECT_EQ(S_OK, RunItemCommand(selection, handler->Layout(), CmdConvert, nullptr));
    ASSERT_TRUE(box.Join());
    EXPECT_NE(std::string::npos, box.Seen().find("tempor")) << box.Seen();
  }
  DestroyMenu(menu);
  handler->Inner()->Release();
  SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);
  EXPECT_TRUE(RemoveDirectoryW(temp.c_str())) << "a list file was left";
}

TEST_F(UnicodeNames, CopyTextDecodesTodaysEncodings) {
  const std::wstring greeting = L"Grüße aus Köln\n日本 🌊\n";
  const std::wstring copied = L"Grüße aus Köln\r\n日本 🌊";
  const struct {
    const char* what;
    std::string bytes;
    std::wstring text;
    std::string ansi;  // CF_TEXT where it is not the text in the ANSI code page
  } cases[] = {
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + Utf8(greeting), copied, ""},
      {"UTF-8 without a mark", Utf8(greeting), copied, ""},
      {"UTF-16 LE", "\xFF\xFE" + Utf16(greeting, false), copied, ""},
      {"UTF-16 BE", "\xFE\xFF" + Utf16(greeting, true), copied, ""},
      {"UTF-16 ends at its first NUL character", "\xFF\xFE" + Utf16(std::wstring(L"a\rb\0c", 5), false), L"a\r\nb", ""},
      {"code page 1252", "gr\xF6\xDF" "e\r\x81\n", L"größe\r\n\x81", "gr\xF6\xDF" "e\r\n\x81"},
      {"plain ASCII", "plain\n", L"plain", "plain"},
      {"malformed UTF-8 after a mark", "\xEF\xBB\xBF" "a\xFF" "b\xE6\x97", L"a\xFFFD" L"b\xFFFD", ""},
      {"UTF-16 of an odd length", "\xFF\xFE" "a", L"\xFFFD", ""},
      {"an unpaired surrogate", "\xFF\xFE" + Utf16(L"\xD800" L"A\xDC00", false), L"\xFFFD" L"A\xFFFD", ""},
  };
  for (const auto& c : cases) {
    WideFile note(folder + L"Ωμέγα.txt", c.bytes);
    SetClipboardText("before");
    CopyToClipboard(SelectedFileOf(note.path), false, true);
    EXPECT_TRUE(ClipboardIsFree()) << c.what;
    EXPECT_EQ(c.text, ReadClipboardWide().value_or(L"<none>")) << c.what;
    EXPECT_EQ(c.ansi.empty() ? AnsiWithReplacements(c.text) : c.ansi, ReadClipboardText().value_or("<none>"))
        << c.what;
  }
}
