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

// The display information context and the memory DC with the menu font
// that icon items are painted on. Made at the first item that needs them
// and shared by the items of one submenu: a display context is costly.
class IconItemCanvas {
 public:
  IconItemCanvas() = default;
  IconItemCanvas(const IconItemCanvas&) = delete;
  IconItemCanvas& operator=(const IconItemCanvas&) = delete;
  ~IconItemCanvas();

  // Paints the picture of an icon item: the icon, then the caption in the
  // menu font, on the menu colour. The bitmap is recorded in MenuBitmaps;
  // null when a drawing resource cannot be had.
  HBITMAP Paint(HICON icon, const std::string& caption);

 private:
  bool Ready();
  UniqueDc display_, dc_;
  HGDIOBJ oldFont_ = nullptr;
};

// Paints one icon item on a canvas of its own.
HBITMAP PaintIconItem(HICON icon, const std::string& caption);

// A "temp" entry is a placeholder of the main program: as an icon item it
// shows nothing.
inline bool IsPlaceholderProgram(const std::string& programPath) { return programPath == "temp"; }

// Appends one open-with entry to submenu: a bitmap item with the program's
// small icon (LoadProgramIcon: the icon of its file type for a program on a
// network share or a drive that is not ready) and the caption in the menu
// font, or a plain text item when the program has no icon. A program path
// of exactly "temp" gets no item (false).
// The item bitmap is kept in MenuBitmaps until the next FreeMenuBitmaps.
// Entries of one submenu share canvas; without one, the item gets its own.
bool InsertIconMenuItem(const std::string& programPath, const std::string& caption, UINT commandId, HMENU submenu,
                        IconItemCanvas* canvas = nullptr);

}  // namespace ombrelo
