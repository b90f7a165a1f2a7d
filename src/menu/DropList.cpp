#include "menu/DropList.h"

#include <shlobj.h>

#include <cstring>

#include "common/FileNames.h"
#include "common/PathRule.h"

namespace ombrelo {

namespace {

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

void Take(DropList& list, SelectedFile file) {
  list.Files.push_back(std::move(file.Ansi));
  list.Paths.push_back(std::move(file.Path));
}

}  // namespace

DropList FileListOf(const std::vector<std::wstring>& paths) {
  DrivesOfOneMenu drives;  // the short-name query asks whether it may touch each path
  DropList list;
  list.Count = paths.size();
  for (const std::wstring& path : paths) Take(list, SelectedFileOf(path));
  return list;
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
                                    [&](const std::wstring& name) { Take(list, SelectedFileOf(name)); });
  } else {
    list.Count = WalkNames<char>(locked.bytes(), locked.size(), header.pFiles,
                                 [&](const std::string& name) { Take(list, SelectedFile(name)); });
  }
  return list;
}

}  // namespace ombrelo
