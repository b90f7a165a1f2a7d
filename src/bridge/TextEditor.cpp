#include "bridge/TextEditor.h"

#include <shlwapi.h>

#include <iterator>
#include <vector>

#include "bridge/ProgramStart.h"
#include "common/FileNames.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {

constexpr DWORD kEditorWaitMs = 200;

std::wstring Expanded(const std::wstring& text) {
  const DWORD n = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring result(n, L'\0');
  const DWORD got = ExpandEnvironmentStringsW(text.c_str(), result.data(), n);
  if (got == 0 || got > n) return {};
  result.resize(got - 1);
  return result;
}

// A path as App Paths and file associations store it: maybe in quotes, maybe
// with environment variables.
std::wstring Unquoted(std::wstring path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') path = path.substr(1, path.size() - 2);
  return path;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t sep = path.find_last_of(L"\\:");
  return sep == std::wstring::npos ? std::wstring() : path.substr(0, sep + 1);
}

// The program a file type names for a verb; empty when it has no such verb
// or names no full path.
std::wstring AssociatedProgram(const wchar_t* type, const wchar_t* verb) {
  wchar_t buffer[MAX_PATH * 4];
  DWORD length = static_cast<DWORD>(std::size(buffer));
  if (FAILED(AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, type, verb, buffer, &length))) return {};
  std::wstring program = Expanded(Unquoted(buffer));
  return IsFullPath(program) ? program : std::wstring();
}

// Starts program with the file as its one argument, in the file's folder.
// True when that settled it: started, or refused with a message.
bool StartWithFile(const std::wstring& program, const std::wstring& path) {
  if (program.empty()) return false;
  const StartOutcome outcome =
      StartProgram(program, QuotedWide(program) + L" " + QuotedWide(path), FolderOf(path), kEditorWaitMs, nullptr);
  return outcome == StartOutcome::Started || outcome == StartOutcome::Refused;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring FindWordpad() {
  static const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wordpad.exe";
  std::vector<std::wstring> candidates;
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    RegKey key;
    if (!key.Open(root, kKey)) continue;
    if (auto value = key.ReadWideString(L"")) candidates.push_back(Expanded(Unquoted(*value)));
  }
  candidates.push_back(Expanded(L"%ProgramFiles%\\Windows NT\\Accessories\\wordpad.exe"));
  for (const std::wstring& candidate : candidates)
    if (ProgramFileExists(candidate)) return candidate;
  return {};
}

void OpenInWordpad(const std::wstring& path) {
  if (!StartWithFile(FindWordpad(), path)) OpenInTextEditor(path);
}

void OpenInTextViewerProgram(const std::wstring& viewer, const std::wstring& path) {
  if (!StartWithFile(viewer, path)) OpenInTextEditor(path);
}

void OpenInTextEditor(const std::wstring& path) {
  const size_t sep = path.find_last_of(L"\\:");
  const size_t dot = path.find_last_of(L'.');
  const std::wstring type = dot != std::wstring::npos && (sep == std::wstring::npos || dot > sep) ? path.substr(dot) : L"";
  const std::wstring candidates[] = {type.empty() ? std::wstring() : AssociatedProgram(type.c_str(), L"edit"),
                                     AssociatedProgram(L".txt", L"open"), SystemProgram(L"notepad.exe")};
  for (const std::wstring& program : candidates) {
    // The file itself is never the program that opens it.
    if (program.empty() || SamePath(program, path)) continue;
    if (StartWithFile(program, path)) return;
  }
}

}  // namespace ombrelo
