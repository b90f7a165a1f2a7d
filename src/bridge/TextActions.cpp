#include "bridge/TextActions.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "bridge/Channel.h"
#include "bridge/PathParts.h"
#include "common/Handles.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

using pathparts::Quoted;

namespace {

// Another program may hold the clipboard for a moment: a few brief tries,
// then give up rather than keep the shell waiting.
bool OpenClipboardBriefly(std::optional<OpenClipboardScope>& clipboard) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    clipboard.emplace(nullptr);
    if (clipboard->IsOpen()) return true;
    Sleep(20);
  }
  return false;
}

// Turns a text file's bytes, piece by piece, into the clipboard text: the
// text ends at the first NUL byte; CR LF, a lone CR and a lone LF each become
// CR LF. Whether the output ends in a break is kept, since a break at the end
// of the text starts no further line and is left out.
class LineBreakNormaliser {
 public:
  // Hands the output for these bytes to out(bytes, count); false once the text has ended.
  template <class Out>
  bool Feed(const char* bytes, size_t count, Out& out) {
    if (ended_) return false;
    size_t at = 0;
    if (afterCr_ && count > 0) {
      afterCr_ = false;
      if (bytes[0] == '\n') at = 1;  // the LF of a CR LF split between two pieces
    }
    while (at < count) {
      size_t run = at;
      while (run < count && bytes[run] != '\r' && bytes[run] != '\n' && bytes[run] != '\0') ++run;
      if (run > at) {
        out(bytes + at, run - at);
        endsInBreak_ = false;
      }
      if (run == count) break;
      if (bytes[run] == '\0') {
        ended_ = true;
        return false;
      }
      out("\r\n", 2);
      endsInBreak_ = true;
      if (bytes[run] == '\r') {
        if (run + 1 == count) afterCr_ = true;
        else if (bytes[run + 1] == '\n') ++run;
      }
      at = run + 1;
    }
    return true;
  }
  bool EndsInBreak() const { return endsInBreak_; }

 private:
  bool afterCr_ = false;
  bool endsInBreak_ = false;
  bool ended_ = false;
};

// Reads at most limit bytes of the open file from its start and feeds them
// through a normaliser. False when it cannot be read; endsInBreak tells
// whether the output ends in a break.
template <class Out>
bool NormaliseFile(HANDLE file, uint64_t limit, Out& out, bool& endsInBreak) {
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
  LineBreakNormaliser normaliser;
  std::vector<char> chunk(64 * 1024);
  while (limit > 0) {
    DWORD got = 0;
    DWORD wanted = static_cast<DWORD>(std::min<uint64_t>(chunk.size(), limit));
    if (!ReadFile(file, chunk.data(), wanted, &got, nullptr)) return false;
    if (got == 0 || !normaliser.Feed(chunk.data(), got, out)) break;
    limit -= got;
  }
  endsInBreak = normaliser.EndsInBreak();
  return true;
}

// Stores the block as CF_TEXT; the clipboard owns it from then on.
bool StoreOnClipboard(GlobalBlock& block) {
  std::optional<OpenClipboardScope> clipboard;
  if (!OpenClipboardBriefly(clipboard)) return false;
  if (!EmptyClipboard()) return false;
  if (!SetClipboardData(CF_TEXT, block.get())) return false;
  block.release();
  return true;
}

// A text file's text as CF_TEXT. The file is read twice in pieces, once to
// learn the text's length and once to write the text straight into the
// clipboard block: a big file costs the clipboard block and no more, which
// matters in the shell's address space. False (the clipboard untouched) when
// the file cannot be read or the block cannot be had.
bool CopyTextFileToClipboard(const std::string& path) {
  // Shared with writers too: a file open in an editor can still be copied.
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  // The text is what the file holds now: a file that keeps growing is cut here.
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return false;
  const uint64_t limit = static_cast<uint64_t>(size.QuadPart);
  uint64_t length = 0;
  bool endsInBreak = false;
  auto count = [&length](const char*, size_t n) { length += n; };
  if (!NormaliseFile(file.get(), limit, count, endsInBreak)) return false;
  if (endsInBreak) length -= 2;
  if (length >= std::numeric_limits<SIZE_T>::max()) return false;

  GlobalBlock block(GMEM_MOVEABLE, static_cast<SIZE_T>(length) + 1);
  if (!block.get()) return false;
  char* text = static_cast<char*>(GlobalLock(block.get()));
  if (!text) return false;
  // A writer may change the file between the two readings: the text is cut
  // to the block, and a text that came out shorter ends where it ends.
  uint64_t produced = 0;
  auto store = [&](const char* bytes, size_t n) {
    if (produced < length)
      std::memcpy(text + produced, bytes, static_cast<size_t>(std::min<uint64_t>(n, length - produced)));
    produced += n;
  };
  bool read = NormaliseFile(file.get(), limit, store, endsInBreak);
  if (endsInBreak) produced -= 2;  // the break that ends the text
  text[std::min(produced, length)] = '\0';
  GlobalUnlock(block.get());
  return read && StoreOnClipboard(block);
}

}  // namespace

bool PutTextOnClipboard(const std::string& text) {
  GlobalBlock block(GMEM_MOVEABLE, text.size() + 1);
  if (!block.get()) return false;
  void* memory = GlobalLock(block.get());
  if (!memory) return false;
  std::memcpy(memory, text.c_str(), text.size() + 1);
  GlobalUnlock(block.get());
  return StoreOnClipboard(block);
}

bool CopyLinesToClipboard(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return PutTextOnClipboard(text);
}

void CopyToClipboard(const std::string& path, bool nameOnly) {
  CopyToClipboard(path, nameOnly, WithState([](SharedState& s) { return s.IsTextFile; }));
}

void CopyToClipboard(const std::string& path, bool nameOnly, bool isTextFile) {
  if (nameOnly) {
    PutTextOnClipboard(path);
    return;
  }
  if (!isTextFile) {
    SendMainProgramCommand(path, "PicClip");
    return;
  }
  // An empty file gives an empty text; a file that cannot be read leaves
  // the clipboard as it was.
  CopyTextFileToClipboard(path);
}

void OpenInTextViewer(const std::string& path) {
  std::string viewer;
  {
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, kTxtKey)) viewer = key.ReadString("ViewerCmd").value_or("");
  }
  if (viewer.empty()) viewer = "notepad.exe";
  auto started = reinterpret_cast<INT_PTR>(
      ShellExecuteA(nullptr, "open", viewer.c_str(), Quoted(path).c_str(), "", SW_SHOWNORMAL));
  if (started <= 32) ShellExecuteA(nullptr, "open", Quoted(path).c_str(), "", "", SW_SHOWNORMAL);
}

}  // namespace ombrelo
