#include "bridge/TextActions.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

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

std::optional<std::string> ReadWholeFile(const std::string& path) {
  // Shared with writers too: a file open in an editor can still be copied.
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr)) return std::nullopt;
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

}  // namespace

bool PutTextOnClipboard(const std::string& text) {
  GlobalBlock block(GMEM_MOVEABLE, text.size() + 1);
  if (!block.get()) return false;
  void* memory = GlobalLock(block.get());
  if (!memory) return false;
  std::memcpy(memory, text.c_str(), text.size() + 1);
  GlobalUnlock(block.get());

  std::optional<OpenClipboardScope> clipboard;
  if (!OpenClipboardBriefly(clipboard)) return false;
  if (!EmptyClipboard()) return false;
  if (!SetClipboardData(CF_TEXT, block.get())) return false;
  block.release();  // the clipboard owns the block now
  return true;
}

bool CopyLinesToClipboard(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return PutTextOnClipboard(text);
}

std::optional<std::vector<std::string>> ReadTextLines(const std::string& path) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return std::nullopt;
  std::string& text = *bytes;
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);

  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
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
  if (auto lines = ReadTextLines(path)) CopyLinesToClipboard(*lines);
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
