#pragma once
// The menu items that are not plain text: the preview picture (owner-drawn
// from the bitmap read from the preview file, menu/PreviewFile.h) and the items shown with a program's icon
// (the open-with entries and "&Ombrelo").
#include <windows.h>

#include <string>

#include "common/FileNames.h"
#include "common/Handles.h"

namespace ombrelo {

// Draws the preview bitmap unscaled with its top-left corner at (x, y);
// nothing without a bitmap.
void DrawPreviewBitmap(HDC dc, HBITMAP bitmap, int x, int y);

// The small icon the shell shows for a program file (LoadProgramIcon: for
// a program on a network share or a drive that is not ready, the icon of its
// file type), or null when it has none. The icon items and the "&Ombrelo"
// item take theirs from here.
UniqueIcon ProgramSmallIcon(const std::string& programPath);

// The small-icon size of the display's scale (SM_CXSMICON x SM_CYSMICON):
// 16 x 16 at 96 DPI, 32 x 32 at 192 DPI.
SIZE SmallIconSize();

// The icon drawn at size into a new 32-bit top-down DIB section whose
// pixels carry premultiplied alpha (what a menu item's hbmpItem shows with
// its transparency). dc is a memory DC to draw on. Null when a drawing
// resource cannot be had.
UniqueBitmap MakeAlphaIconBitmap(HICON icon, SIZE size, HDC dc);

// The memory DC that the bitmaps of menu items are drawn on, made at the
// first item that needs it and shared by the items of one menu.
class IconItemCanvas {
 public:
  IconItemCanvas() = default;
  IconItemCanvas(const IconItemCanvas&) = delete;
  IconItemCanvas& operator=(const IconItemCanvas&) = delete;

  // The icon as a menu item's bitmap at size (MakeAlphaIconBitmap); null
  // when a drawing resource cannot be had.
  UniqueBitmap Paint(HICON icon, SIZE size);

 private:
  UniqueDc dc_;
};

// Paints one item bitmap at the small-icon size on a canvas of its own.
UniqueBitmap PaintIconItem(HICON icon);

// The bitmap of a program's small icon for a menu item (hbmpItem), from the
// module's cache of icon bitmaps (menu/IconCache.h): painted at the first
// menu that shows the program at this size, and again once the program's
// file changes. The cache owns it; it stays valid at least until the next
// single-file menu begins. Null when the program has no icon. Painted on
// canvas when one is given.
HBITMAP ProgramIconItemBitmap(const std::string& programPath, IconItemCanvas* canvas = nullptr);

// A "temp" entry is a placeholder of the main program: as an icon item it
// shows nothing.
inline bool IsPlaceholderProgram(const std::string& programPath) { return programPath == "temp"; }

// Appends one open-with entry to submenu: a string item with the caption
// and, as its bitmap (hbmpItem), the program's small icon (LoadProgramIcon:
// the icon of its file type for a program on a network share or a drive
// that is not ready); a plain text item when the program has no icon. A
// program path of exactly "temp" gets no item (false). The item bitmap
// comes from the module's cache (ProgramIconItemBitmap). Entries of one
// submenu share canvas; without one, the item gets its own.
bool InsertIconMenuItem(const std::string& programPath, const std::string& caption, UINT commandId, HMENU submenu,
                        IconItemCanvas* canvas = nullptr);

}  // namespace ombrelo
