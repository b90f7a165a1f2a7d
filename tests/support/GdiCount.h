#pragma once
// Counting the GUI resources of this process for leak tests.
//
// Wine's GetGuiResources answers 0, so where it does the handles are probed:
// Wine accepts a GDI or USER handle given by its table index alone (the high
// word 0), so every index is asked once - GetObjectType for GDI objects,
// IsMenu, IsWindow and a 1x1 DrawIconEx for USER objects. Wine's USER handle
// indexes step by two, so only even low words are probed there. On a system
// whose GetGuiResources works, its totals are used and the breakdown is -1.
#include <windows.h>

#include <string>

namespace testsupport {

struct GuiResources {
  int gdi = 0;      // all GDI objects
  int bitmaps = 0;  // OBJ_BITMAP
  int dcs = 0;      // OBJ_DC and OBJ_MEMDC
  int fonts = 0;    // OBJ_FONT
  int brushes = 0;  // OBJ_BRUSH
  int user = 0;     // menus + icons + windows
  int menus = 0;
  int icons = 0;    // icons and cursors
  int windows = 0;  // windows of this process
  std::string Describe() const;
};

GuiResources CountGuiResources();

}  // namespace testsupport
