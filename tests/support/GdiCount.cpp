#include "support/GdiCount.h"

#include <sstream>

#include "support/TestSupport.h"

namespace testsupport {

namespace {
constexpr ULONG_PTR kHandleIndexes = 0x10000;

HGDIOBJ GdiIndex(ULONG_PTR i) { return reinterpret_cast<HGDIOBJ>(i); }

void ProbeGdi(GuiResources& r) {
  for (ULONG_PTR i = 1; i < kHandleIndexes; ++i) {
    DWORD type = GetObjectType(GdiIndex(i));
    if (!type) continue;
    ++r.gdi;
    switch (type) {
      case OBJ_BITMAP: ++r.bitmaps; break;
      case OBJ_DC:
      case OBJ_MEMDC: ++r.dcs; break;
      case OBJ_FONT: ++r.fonts; break;
      case OBJ_BRUSH: ++r.brushes; break;
      default: break;
    }
  }
}

void ProbeUser(GuiResources& r) {
  // The icon probe draws into a 1x1 memory DC made here (after the GDI count).
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP target = CreateBitmap(1, 1, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  const DWORD self = GetCurrentProcessId();
  for (ULONG_PTR i = 2; i < kHandleIndexes; i += 2) {
    if (IsMenu(reinterpret_cast<HMENU>(i))) {
      ++r.menus;
    } else if (IsWindow(reinterpret_cast<HWND>(i))) {
      DWORD pid = 0;
      GetWindowThreadProcessId(reinterpret_cast<HWND>(i), &pid);
      if (pid == self) ++r.windows;
    } else if (DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(i), 1, 1, 0, nullptr, DI_NORMAL)) {
      ++r.icons;
    }
  }
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
  r.user = r.menus + r.icons + r.windows;
}
}  // namespace

std::string GuiResources::Describe() const {
  std::ostringstream s;
  s << "gdi " << gdi << " (bitmaps " << bitmaps << ", dcs " << dcs << ", fonts " << fonts << ", brushes " << brushes
    << "), user " << user << " (menus " << menus << ", icons " << icons << ", windows " << windows << ")";
  return s.str();
}

GuiResources CountGuiResources() {
  GuiResources r;
  DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (gdi != 0) {
    r = {static_cast<int>(gdi), -1, -1, -1, -1, static_cast<int>(user), -1, -1, -1};
    return r;
  }
  ProbeGdi(r);
  ProbeUser(r);
  return r;
}

int CountGdiObjects() {
  GuiResources r;
  DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (gdi != 0) return static_cast<int>(gdi);
  ProbeGdi(r);
  return r.gdi;
}

}  // namespace testsupport
