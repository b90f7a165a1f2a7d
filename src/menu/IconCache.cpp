#include "menu/IconCache.h"

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

IconBitmapCache::Entry* IconBitmapCache::Lookup(const IconKey& key) {
  for (Entry& e : entries_) {
    if (e.heldAside || !(e.key == key)) continue;
    e.lastUse = ++clock_;
    e.menu = menu_;
    return &e;
  }
  return nullptr;
}

std::optional<HBITMAP> IconBitmapCache::Find(const IconKey& key) {
  if (const Entry* e = Lookup(key)) return e->bitmap.get();
  return std::nullopt;
}

HBITMAP IconBitmapCache::Add(const IconKey& key, UniqueBitmap bitmap) {
  if (const Entry* e = Lookup(key)) return e->bitmap.get();  // bitmap is deleted
  const HBITMAP kept = bitmap.get();
  entries_.push_back(Entry{key, std::move(bitmap), ++clock_, menu_});
  for (++kept_; kept_ > kCapacity; --kept_) {
    // The least recently used leaves; the newest entry is never it.
    Entry* oldest = nullptr;
    for (Entry& e : entries_)
      if (!e.heldAside && (!oldest || e.lastUse < oldest->lastUse)) oldest = &e;
    if (oldest->menu == menu_) {
      oldest->heldAside = true;
      oldest->key = IconKey();
    } else {
      // The order of the entries means nothing: the last takes its place.
      if (oldest != &entries_.back()) *oldest = std::move(entries_.back());
      entries_.pop_back();
    }
  }
  return kept;
}

void IconBitmapCache::NextMenu() {
  ++menu_;
  for (size_t i = entries_.size(); i-- > 0;) {
    if (!entries_[i].heldAside) continue;
    if (i + 1 != entries_.size()) entries_[i] = std::move(entries_.back());
    entries_.pop_back();
  }
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
