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
// state under the same short lock (WithIconCache), and the shell's icon
// call and the painting happen outside it.
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
  // bitmap goes to freed. Bitmaps that leave the cache go to freed, for the
  // caller to delete once the lock is released.
  HBITMAP Add(const IconKey& key, UniqueBitmap bitmap, std::vector<UniqueBitmap>& freed);
  // A new single-file menu begins: bitmaps held aside for the menu before it
  // go to freed.
  void NextMenu(std::vector<UniqueBitmap>& freed);
  // Everything goes to freed (module shutdown).
  void Clear(std::vector<UniqueBitmap>& freed);

  size_t Count() const { return entries_.size(); }
  // Bitmaps out of the cache that wait for the next menu.
  size_t HeldAside() const { return heldAside_.size(); }

 private:
  struct Entry {
    IconKey key;
    UniqueBitmap bitmap;
    uint64_t lastUse = 0;  // clock_ at the last Find or Add
    uint64_t menu = 0;     // menu_ at the last Find or Add
  };
  std::vector<Entry> entries_;
  std::vector<UniqueBitmap> heldAside_;  // used by menu menu_, out of the cache
  uint64_t clock_ = 0;
  uint64_t menu_ = 0;
};

// The key for a program's icon at size: its full path, and its file's size
// and last write where the path rule lets the menu touch it (one
// GetFileAttributesExW); the type icon otherwise. Nothing for an empty path
// or a local program that does not exist (which has no icon).
std::optional<IconKey> ProgramIconKey(const std::wstring& program, SIZE size);

}  // namespace ombrelo
