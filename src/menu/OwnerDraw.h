#pragma once
// The menu items that are not plain text: the preview picture (owner-drawn
// from the preview bitmap file) and the open-with entries shown with their
// program's icon.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace ombrelo {

// Loads a Windows bitmap file as a bitmap compatible with the display; null
// when the file is missing or is not a readable, plausible bitmap.
UniqueBitmap LoadBitmapFile(const std::string& path);

// Draws the preview bitmap file, read afresh, unscaled with its top-left
// corner at (x, y); draws nothing when there is no readable file.
void DrawPreviewBitmap(HDC dc, int x, int y);

// Paints the picture of an icon item: the icon, then the caption in the menu
// font, on the menu colour. The bitmap is recorded in MenuBitmaps; null when
// a drawing resource cannot be had.
HBITMAP PaintIconItem(HICON icon, const std::string& caption);

// Appends one open-with entry to submenu: a bitmap item with the program's
// small icon and the caption in the menu font, or a plain text item when the
// program has no icon. A program path of exactly "temp" gets no item (false).
// The item bitmap is kept in MenuBitmaps until the next FreeMenuBitmaps.
bool InsertIconMenuItem(const std::string& programPath, const std::string& caption, UINT commandId, HMENU submenu);

}  // namespace ombrelo
