#include "menu/DropList.h"

#include <shlobj.h>

#include <cstring>

#include "common/PathRule.h"

namespace ombrelo {

namespace {

// The text in the ANSI code page when it converts there and back unchanged.
std::optional<std::string> ExactAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, ansi.data(), n, nullptr, nullptr);
  int back = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), n, nullptr, 0);
  if (back != length) return std::nullopt;
  std::wstring roundTrip(static_cast<size_t>(back), L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), n, roundTrip.data(), back);
  if (roundTrip != text) return std::nullopt;
  return ansi;
}

// The short form of an existing path; empty when the system has none, and
// for a path that may not be touched while the menu is built (a network
// share, a drive that is not ready): the query lists the file's folder.
std::wstring ShortPathOf(const std::wstring& path) {
  if (!PathMayBeTouched(path)) return {};
  // Paths of MAX_PATH characters or more need the long-path prefix.
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

// Walks NUL-terminated names of Char from offset to the end of the block.
template <class Char, class Take>
size_t WalkNames(const BYTE* bytes, size_t size, size_t offset, Take take) {
  size_t count = 0;
  std::basic_string<Char> name;
  for (size_t at = offset; at + sizeof(Char) <= size; at += sizeof(Char)) {
    Char c;
    std::memcpy(&c, bytes + at, sizeof(Char));
    if (c != 0) {
      name.push_back(c);
      continue;
    }
    if (name.empty()) break;  // the empty name ends the list
    ++count;
    take(name);
    name.clear();
  }
  // A name that runs to the end of the block lacks its NUL: it may be cut
  // short and name another file, so it is not taken.
  return count;
}

// Locks a global memory block for the lifetime of this object.
class LockedBlock {
 public:
  explicit LockedBlock(HGLOBAL block) : block_(block), bytes_(static_cast<const BYTE*>(GlobalLock(block))) {
    if (bytes_) size_ = GlobalSize(block);
  }
  ~LockedBlock() {
    if (bytes_) GlobalUnlock(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const BYTE* bytes() const { return bytes_; }
  size_t size() const { return size_; }

 private:
  HGLOBAL block_;
  const BYTE* bytes_;
  size_t size_ = 0;
};

// A wide-character name goes into the list in its ANSI form, or left out.
void TakeWideName(DropList& list, const std::wstring& name) {
  if (std::optional<std::string> ansi = AnsiPathOf(name)) list.Files.push_back(std::move(*ansi));
}

}  // namespace

DropList FileListOf(const std::vector<std::wstring>& paths) {
  DrivesOfOneMenu drives;  // the short-name query asks whether it may touch each path
  DropList list;
  list.Count = paths.size();
  for (const std::wstring& path : paths) TakeWideName(list, path);
  return list;
}

std::optional<std::string> AnsiPathOf(const std::wstring& path) {
  if (std::optional<std::string> ansi = ExactAnsi(path)) return ansi;
  const std::wstring shortPath = ShortPathOf(path);
  if (shortPath.empty()) return std::nullopt;
  return ExactAnsi(shortPath);
}

std::optional<DropList> ReadDropList(HGLOBAL block) {
  if (!block) return std::nullopt;
  LockedBlock locked(block);
  if (!locked.bytes() || locked.size() < sizeof(DROPFILES)) return std::nullopt;
  DROPFILES header;
  std::memcpy(&header, locked.bytes(), sizeof(header));
  if (header.pFiles < sizeof(DROPFILES) || header.pFiles > locked.size()) return std::nullopt;

  DropList list;
  if (header.fWide) {
    DrivesOfOneMenu drives;  // the short-name query asks whether it may touch each path
    list.Count = WalkNames<wchar_t>(locked.bytes(), locked.size(), header.pFiles,
                                    [&](const std::wstring& name) { TakeWideName(list, name); });
  } else {
    list.Count = WalkNames<char>(locked.bytes(), locked.size(), header.pFiles,
                                 [&](const std::string& name) { list.Files.push_back(name); });
  }
  return list;
}

}  // namespace ombrelo
