// Text-file actions: what reaches the clipboard, and which program opens a
// text file.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "bridge/TextActions.h"
#include "support/ImportSlots.h"
#include "support/Windows.h"
#include "commands/CommandsSupport.h"
#include "settings/Registry.h"

using namespace commandtest;
using testsupport::TempDir;

namespace {

struct ClipboardCase {
  const char* name;
  std::string fileBytes;
  std::string expected;
};

class TextCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    StartModule();
    testsupport::ResetProgramKey();
  }
  void TearDown() override { testsupport::ResetProgramKey(); }

  std::string CopyTextOf(const std::string& bytes) {
    std::string path = dir.File("note.txt", bytes);
    SelectFiles({path}, true);
    SetClipboardText("before");
    ombrelo::CopyToClipboard(path, false);
    EXPECT_TRUE(ClipboardIsFree());
    return ReadClipboardText().value_or("<no text>");
  }

  TempDir dir;
};

}  // namespace

TEST_F(TextCopy, LineBreaksBecomeCrLfAndTheTextEndsAtTheLastLine) {
  const ClipboardCase cases[] = {
      {"LF with a final LF", "one\ntwo\nthree\n", "one\r\ntwo\r\nthree"},
      {"CR only", "one\rtwo\rthree", "one\r\ntwo\r\nthree"},
      {"CR LF with a blank line", "one\r\n\r\nthree\r\n", "one\r\n\r\nthree"},
      {"mixed breaks", "a\r\nb\nc\rd", "a\r\nb\r\nc\r\nd"},
      {"two final breaks keep one blank line", "a\n\n", "a\r\n"},
      {"a NUL byte ends the text", std::string("first\nsec\0ond\nthird", 19), "first\r\nsec"},
      {"bytes are taken as they are", "gr\xF6\xDF" "e\xA0\x80", "gr\xF6\xDF" "e\xA0\x80"},
      // The file is read in pieces of 64 KB: a CR LF across two of them is one break.
      {"CR LF split between two pieces", std::string(65535, 'a') + "\r\nb", std::string(65535, 'a') + "\r\nb"},
  };
  for (const ClipboardCase& c : cases) EXPECT_EQ(c.expected, CopyTextOf(c.fileBytes)) << c.name;
}

TEST_F(TextCopy, AFileWithoutAnyLineGivesAnEmptyText) {
  EXPECT_EQ("", CopyTextOf(""));
  EXPECT_EQ("", CopyTextOf(std::string("\0after", 6)));
}

TEST_F(TextCopy, AnUnreadableFileLeavesTheClipboardAsItWas) {
  std::string path = dir.File("locked.txt", "secret\n");
  SelectFiles({path}, true);
  SetClipboardText("before");
  {
    // Another program holds the file without sharing it.
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ombrelo::CopyToClipboard(path, false);
    CloseHandle(held);
  }
  EXPECT_TRUE(ClipboardIsFree());
  EXPECT_EQ("before", ReadClipboardText().value_or(""));

  ombrelo::CopyToClipboard(dir.path() + "missing.txt", false);
  EXPECT_TRUE(ClipboardIsFree());
  EXPECT_EQ("before", ReadClipboardText().value_or(""));
}

// A file over 256 MiB is not read at all: the user is told why, in the
// active language, and the clipboard keeps what it held.
TEST_F(TextCopy, AFileOverTheBoundIsNotCopiedAndTheUserIsTold) {
  const std::string path = dir.path() + "huge.txt";
  {
    // Sparse: a line of text, then zeros up to one byte past 256 MiB.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "a line\n", 7, &written, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 256LL * 1024 * 1024 + 1;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  const struct {
    unsigned char language;
    const char* text;
  } cases[] = {
      {0, "Die Datei ist zu gro\xDF, um ihren Text in die Zwischenablage zu kopieren (mehr als 256 MB)."},
      {1, "The file is too large to copy its text to the clipboard (more than 256 MB)."},
  };
  for (const auto& c : cases) {
    SetLanguage(c.language);
    SelectFiles({path}, true);
    SetClipboardText("before");
    testsupport::WindowWatcher box("#32770", "Ombrelo", Answer(IDOK));
    ombrelo::CopyToClipboard(path, false);
    ASSERT_TRUE(box.Join()) << int(c.language);
    EXPECT_NE(std::string::npos, box.Seen().find(c.text)) << box.Seen();
    EXPECT_TRUE(ClipboardIsFree());
    EXPECT_EQ("before", ReadClipboardText().value_or("<none>"));
  }
  DeleteFileA(path.c_str());
}

namespace {

std::atomic<uint64_t> g_bytesRead{0};
decltype(&ReadFile) g_readFile = ReadFile;
BOOL WINAPI CountingReadFile(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got, LPOVERLAPPED overlapped) {
  const BOOL ok = g_readFile(file, buffer, wanted, got, overlapped);
  if (ok && got) g_bytesRead += *got;
  return ok;
}

std::wstring ReadClipboardUnicode() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

// Finding the encoding and the text's length takes one reading, copying the
// text a second: never more, whatever the encoding.
TEST_F(TextCopy, AFileIsReadAtMostTwice) {
  const size_t lines = 20000;  // several pieces of 64 KiB
  auto repeated = [lines](const std::string& line) {
    std::string text;
    for (size_t i = 0; i < lines; ++i) text += line;
    return text;
  };
  const struct {
    const char* what;
    std::string bytes;
    std::wstring line;  // each line of the text on the clipboard
  } cases[] = {
      {"ASCII", repeated("plain words\n"), L"plain words"},
      {"UTF-8 without a mark", repeated("gr\xC3\xBC\xC3\x9F" "e\n"), L"gr\u00FC\u00DFe"},
      {"UTF-8 with a mark", "\xEF\xBB\xBF" + repeated("gr\xC3\xBC\xC3\x9F" "e\n"), L"gr\u00FC\u00DFe"},
      {"UTF-16 with a mark", "\xFF\xFE" + repeated(std::string("a\0b\0\n\0", 6)), L"ab"},
  };
  void** slot = testsupport::FindImportSlot(GetModuleHandleA(nullptr), "ReadFile");
  ASSERT_NE(nullptr, slot);
  g_readFile = reinterpret_cast<decltype(&ReadFile)>(*slot);
  testsupport::WriteImportSlot(slot, reinterpret_cast<void*>(&CountingReadFile));
  for (const auto& c : cases) {
    const std::string path = dir.File("note.txt", c.bytes);
    SelectFiles({path}, true);
    g_bytesRead = 0;
    ombrelo::CopyToClipboard(path, false);
    EXPECT_LE(g_bytesRead.load(), 2 * c.bytes.size()) << c.what;
    std::wstring expected;
    for (size_t i = 0; i < lines; ++i) expected += (i ? L"\r\n" : L"") + c.line;
    EXPECT_TRUE(ReadClipboardUnicode() == expected) << c.what;
  }
  testsupport::WriteImportSlot(slot, reinterpret_cast<void*>(g_readFile));
}

namespace {

// Registers the recorder as the "edit" program of a file type of its own.
class AssociatedType {
 public:
  explicit AssociatedType(const std::string& program) {
    ombrelo::RegKey ext, command;
    ext.Create(HKEY_CLASSES_ROOT, ".ombtxt");
    ext.WriteString("", "ombtxtfile");
    command.Create(HKEY_CLASSES_ROOT, "ombtxtfile\\shell\\edit\\command");
    command.WriteString("", "\"" + program + "\" \"%1\"");
  }
  ~AssociatedType() {
    ombrelo::DeleteRegTree(HKEY_CLASSES_ROOT, ".ombtxt");
    ombrelo::DeleteRegTree(HKEY_CLASSES_ROOT, "ombtxtfile");
  }
};

}  // namespace

TEST_F(TextCopy, TheTextViewerOfTheSettingsGetsThePathInQuotes) {
  Recorder recorder;
  std::string viewer = recorder.Install("myviewer.exe");
  std::string path = dir.File("read me.ombtxt", "text");
  testsupport::SetProgramString("Txt", "ViewerCmd", viewer);
  ombrelo::OpenInTextViewer(path);
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos, records[0].commandLine.find("myviewer.exe"));
  EXPECT_NE(std::string::npos, records[0].commandLine.find("\"" + path + "\"")) << records[0].commandLine;
}

TEST_F(TextCopy, AViewerThatCannotStartLeavesTheFileToTheEditorOfItsType) {
  Recorder recorder;
  AssociatedType type(recorder.Install("associated.exe"));
  std::string path = dir.File("read me.ombtxt", "text");
  testsupport::SetProgramString("Txt", "ViewerCmd", dir.path() + "no such viewer.exe");
  ombrelo::OpenInTextViewer(path);
  auto records = recorder.WaitForRecords(1);
  ASSERT_EQ(1u, records.size());
  EXPECT_NE(std::string::npos, records[0].commandLine.find("associated.exe"));
  EXPECT_NE(std::string::npos, records[0].commandLine.find(path)) << records[0].commandLine;
}
