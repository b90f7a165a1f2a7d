#include "modern/ShellItems.h"

#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "menu/DropList.h"
#include "menu/Selection.h"

namespace ombrelo {

using Microsoft::WRL::ComPtr;

namespace {

// The file-system path of a file item; empty for a folder or an item
// outside the file system. A file that is also a container (an archive the
// shell opens like a folder) is a stream as well and counts as a file.
std::wstring FilePathOf(IShellItem* item) {
  SFGAOF attributes = 0;
  if (FAILED(item->GetAttributes(SFGAO_FOLDER | SFGAO_STREAM | SFGAO_FILESYSTEM, &attributes))) return {};
  if ((attributes & SFGAO_FOLDER) && !(attributes & SFGAO_STREAM)) return {};
  LPWSTR name = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return {};
  std::wstring path(name);
  CoTaskMemFree(name);
  return path;
}

}  // namespace

MenuSelection SelectionOfItems(IShellItemArray* items) {
  DWORD count = 0;
  if (!items || FAILED(items->GetCount(&count)) || count == 0) return {};
  std::vector<std::wstring> paths;
  for (DWORD i = 0; i < count; ++i) {
    ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(i, &item)) || !item) continue;
    std::wstring path = FilePathOf(item.Get());
    if (!path.empty()) paths.push_back(std::move(path));
  }
  DropList list = FileListOf(paths);
  list.Count = count;
  // The Windows 11 menu asks from the COM surrogate, a process that never
  // sees the keyboard messages of the right-click: Ctrl is read as the user
  // holds it.
  MenuSelection selection = CaptureSelection(list, KeyState::Physical);
  if (!selection.IsMultiSelection) selection.DisplaySymEnabled = ReadDisplaySym();
  return selection;
}

std::string PlainCaption(const std::string& caption) {
  std::string plain;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') plain += caption[i];
    else if (i + 1 < caption.size() && caption[i + 1] == '&') plain += caption[++i];
  }
  const size_t tab = plain.find('\t');
  if (tab == std::string::npos) return plain;
  std::string right = plain.substr(tab + 1);
  for (size_t at; (at = right.find("( ")) != std::string::npos;) right.erase(at + 1, 1);
  for (size_t at; (at = right.find(" )")) != std::string::npos;) right.erase(at, 1);
  return plain.substr(0, tab) + " " + right;
}

std::wstring WideText(const std::string& ansi) { return WideFromAnsi(ansi); }

HRESULT ShellString(const std::string& ansi, LPWSTR* out) { return ShellString(WideText(ansi), out); }

HRESULT ShellString(const std::wstring& wide, LPWSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  // The shell frees the text with CoTaskMemFree.
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  auto* text = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!text) return E_OUTOFMEMORY;
  memcpy(text, wide.c_str(), bytes);
  *out = text;
  return S_OK;
}

}  // namespace ombrelo
