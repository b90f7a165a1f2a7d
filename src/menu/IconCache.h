#pragma once
// The bitmaps of program icons that menu items show (the open-with entries
// and "&Ombrelo"), made once and kept for later menus: asking the shell for
// an icon and painting it costs milliseconds, a lookup here microseconds.
//
// An entry is found by what decides its picture (IconKey): a program
// replaced on disk, or a new display scale, is a new key and gets a new
// bitmap. At most kCapacity entries are kept; the least recently used one
// leaves first.
//
// Menus do not copy their items' bitmaps, so a bitmap must outlive every
// menu that may still show it. The rule: a bitmap lives at least until the
// next single-file menu begins (NextMenu) after the last menu that used it.
// An entry dropped from the cache while the current menu still uses it is
// held aside until then.
//
// The cache has no lock of its own: the module keeps it beside its shared
// state under the same short lock (WithIconCache). The shell's icon call
// and the painting happen outside it; under it, bitmaps are at most
// deleted.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Handles.h"

namespace ombrelo {

struct IconKey {
  std::wstring Path;      // the full path in upper case: file names compare without regard to case
  bool TypeIcon = false;  // the path rule keeps the menu from the file: the icon of its type
  ULONGLONG Size = 0;     // size and last write of the file; zero for a type icon
  FILETIME LastWrite{};
  SIZE IconSize{};  // the small-icon size the bitmap is painted at

  bool operator==(const IconKey& other) const;
};

class IconBitmapCache {
 public:
  static constexpr size_t kCapacity = 64;

  IconBitmapCache() = default;
  IconBitmapCache(const IconBitmapCache&) = delete;
  IconBitmapCache& operator=(const IconBitmapCache&) = delete;

  // The bitmap kept for key, marked as used by the current menu (null when
  // the program has no icon); nothing when none is kept.
  std::optional<HBITMAP> Find(const IconKey& key);
  // Keeps bitmap (null: no icon) for key and returns what is kept. When
  // another thread kept one for the same key meanwhile, that one stays and
  // bitmap is deleted.
  HBITMAP Add(const IconKey& key, UniqueBitmap bitmap);
  // A new single-file menu begins: bitmaps held aside for the menus before
  // it are deleted.
  void NextMenu();
  // Deletes every bitmap (module shutdown).
  void Clear() { entries_.clear(), kept_ = 0; }

  size_t Count() const { return kept_; }
  // Bitmaps out of the cache that wait for the next menu.
  size_t HeldAside() const { return entries_.size() - kept_; }

 private:
  struct Entry {
    IconKey key;
    UniqueBitmap bitmap;
    uint64_t lastUse = 0;  // clock_ at the last Find or Add
    uint64_t menu = 0;     // menu_ at the last Find or Add
    bool heldAside = false;  // out of the cache, kept for menu menu_
  };
  Entry* Lookup(const IconKey& key);
  std::vector<Entry> entries_;
  size_t kept_ = 0;  // entries not held aside
  uint64_t clock_ = 0;
  uint64_t menu_ = 0;
};

// The key for a program's icon at size: its full path, and its file's size
// and last write where the path rule lets the menu touch it (one
// GetFileAttributesExW); the type icon otherwise. Nothing for an empty path
// or a local program that does not exist (which has no icon).
std::optional<IconKey> ProgramIconKey(const std::wstring& program, SIZE size);

}  // namespace ombrelo
