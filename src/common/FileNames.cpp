#include "common/FileNames.h"

#include "common/PathRule.h"

#include <atomic>

namespace ombrelo {

namespace {

std::atomic<ShortPathQuery> shortPathQuery{nullptr};

// The system's short form of a path; paths of MAX_PATH characters or more
// are asked with the long-path prefix, which the answer then loses again.
std::wstring SystemShortPathOf(const std::wstring& path) {
  std::wstring prefix;
  std::wstring query = path;
  if (path.size() >= MAX_PATH && path.compare(0, 4, L"\\\\?\\") != 0) {
    if (path.compare(0, 2, L"\\\\") == 0) {
      prefix = L"\\\\?\\UNC\\";
      query = prefix + path.substr(2);
    } else {
      prefix = L"\\\\?\\";
      query = prefix + path;
    }
  }
  DWORD n = GetShortPathNameW(query.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring result(n, L'\0');
  DWORD got = GetShortPathNameW(query.c_str(), result.data(), n);
  if (got == 0 || got >= n) return {};
  result.resize(got);
  if (!prefix.empty() && result.compare(0, prefix.size(), prefix) == 0) {
    result.erase(0, prefix.size());
    if (prefix.size() > 4) result.insert(0, L"\\\\");  // back to \\server\share
  }
  return result;
}

size_t NameStart(const std::wstring& path) {
  size_t sep = path.find_last_of(L"\\:");
  return sep == std::wstring::npos ? 0 : sep + 1;
}

}  // namespace

SelectedFile::SelectedFile(const std::string& ansi) : Path(WideFromAnsi(ansi)), Ansi(ansi) {}

std::string SelectedFile::ShownAnsi() const { return HasAnsi() ? Ansi : AnsiWithReplacements(Path); }

bool ExactAnsi(const std::wstring& text, std::string& ansi) {
  ansi.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  // A UTF-8 ANSI code page holds every character, but has no default
  // character to report: there an unpaired surrogate is what fails.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
  const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, usedDefaultOut);
  if (n <= 0 || usedDefault) return false;
  ansi.resize(static_cast<size_t>(n));
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), n, nullptr, usedDefaultOut) != n ||
      usedDefault) {
    ansi.clear();
    return false;
  }
  return true;
}

std::string AnsiWithReplacements(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  // No best fit here either: a character the code page lacks shows as the
  // default character, never as a look-alike that reads as another name.
  const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int n = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), n, nullptr, nullptr);
  return ansi;
}

std::wstring WideFromAnsi(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), n);
  return wide;
}

std::wstring ShortPathOf(const std::wstring& path) {
  const ShortPathQuery query = shortPathQuery.load();
  return query ? query(path) : SystemShortPathOf(path);
}

void SetShortPathQuery(ShortPathQuery query) { shortPathQuery.store(query); }

SelectedFile SelectedFileOf(const std::wstring& path) {
  SelectedFile file(path, std::string());
  if (ExactAnsi(path, file.Ansi)) return file;
  // The short-name query lists the file's folder: not asked on a network
  // share or a drive that is not ready, where such a name has no ANSI form.
  if (!PathMayBeTouched(path)) return file;
  std::string shortAnsi;
  const std::wstring shortPath = ShortPathOf(path);
  if (!shortPath.empty() && ExactAnsi(shortPath, shortAnsi)) file.Ansi = std::move(shortAnsi);
  return file;
}

std::wstring ModulePath(HMODULE module) {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring TempFolderPath() {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD n = GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.assign(n + 1, L'\0');  // grown between the calls: asked again with the new length
  }
  return {};
}

std::string AnsiExtensionOf(const std::wstring& path) {
  const size_t dot = path.find_last_of(L'.');
  if (dot == std::wstring::npos || dot < NameStart(path)) return {};
  return AnsiWithReplacements(path.substr(dot));
}

}  // namespace ombrelo
