#include "menu/IconCache.h"

#include <algorithm>

#include "common/PathRule.h"

namespace ombrelo {

namespace {

// The full path as the system resolves it (a computation on the text), in
// upper case; the path itself when the system cannot resolve it.
std::wstring UpperFullPath(const std::wstring& path) {
  std::wstring full;
  DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed) {
    full.assign(needed, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    full.resize(n < needed ? n : 0);
  }
  if (full.empty()) full = path;
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

}  // namespace

bool IconKey::operator==(const IconKey& other) const {
  return TypeIcon == other.TypeIcon && Size == other.Size && LastWrite.dwLowDateTime == other.LastWrite.dwLowDateTime &&
         LastWrite.dwHighDateTime == other.LastWrite.dwHighDateTime && IconSize.cx == other.IconSize.cx &&
         IconSize.cy == other.IconSize.cy && Path == other.Path;
}

std::optional<HBITMAP> IconBitmapCache::Find(const IconKey& key) {
  for (Entry& e : entries_) {
    if (!(e.key == key)) continue;
    e.lastUse = ++clock_;
    e.menu = menu_;
    return e.bitmap.get();
  }
  return std::nullopt;
}

HBITMAP IconBitmapCache::Add(const IconKey& key, UniqueBitmap bitmap, std::vector<UniqueBitmap>& freed) {
  for (Entry& e : entries_) {
    if (!(e.key == key)) continue;
    e.lastUse = ++clock_;
    e.menu = menu_;
    if (bitmap) freed.push_back(std::move(bitmap));
    return e.bitmap.get();
  }
  const HBITMAP kept = bitmap.get();
  entries_.push_back(Entry{key, std::move(bitmap), ++clock_, menu_});
  while (entries_.size() > kCapacity) {
    // The newest entry is never the oldest: it stays.
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
    if (oldest->bitmap) (oldest->menu == menu_ ? heldAside_ : freed).push_back(std::move(oldest->bitmap));
    entries_.erase(oldest);
  }
  return kept;
}

void IconBitmapCache::NextMenu(std::vector<UniqueBitmap>& freed) {
  ++menu_;
  for (UniqueBitmap& b : heldAside_) freed.push_back(std::move(b));
  heldAside_.clear();
}

void IconBitmapCache::Clear(std::vector<UniqueBitmap>& freed) {
  for (Entry& e : entries_)
    if (e.bitmap) freed.push_back(std::move(e.bitmap));
  entries_.clear();
  for (UniqueBitmap& b : heldAside_) freed.push_back(std::move(b));
  heldAside_.clear();
}

std::optional<IconKey> ProgramIconKey(const std::wstring& program, SIZE size) {
  if (program.empty()) return std::nullopt;
  IconKey key;
  key.Path = UpperFullPath(program);
  key.IconSize = size;
  key.TypeIcon = !PathMayBeTouched(program);
  if (key.TypeIcon) return key;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(program.c_str(), GetFileExInfoStandard, &data)) {
    key.Size = (ULONGLONG{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    key.LastWrite = data.ftLastWriteTime;
    return key;
  }
  const DWORD error = GetLastError();
  // No file, no icon: the shell would answer nothing for it either.
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
    return std::nullopt;
  // A file whose attributes cannot be read (access denied, say) is kept
  // under its path alone, and gets a new key once they can be.
  return key;
}

}  // namespace ombrelo
