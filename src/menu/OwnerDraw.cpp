// Menu messages, the owner-drawn preview item, and the icon bitmaps of the
// open-with entries and the "&Ombrelo" item.
#include "menu/OwnerDraw.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/FileNames.h"
#include "common/SystemLibrary.h"
#include "menu/FolContMenu.h"
#include "menu/IconCache.h"
#include "menu/ProgramIcon.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {

// Whether the user chose the dark mode for apps, which Explorer's menus
// follow on Windows 10 (1809) and 11.
bool AppsUseDarkMode() {
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"))
    return false;
  return key.ReadDword("AppsUseLightTheme") == std::optional<DWORD>(0);
}

// The visual style a menu draws its items with; none for an unthemed menu
// (classic or high-contrast display, or no visual style). uxtheme is loaded
// at the first owner-drawn item, not with the extension: only the preview
// item needs it. Tried in turn: the immersive menu of Windows 10 and 11 that
// Explorer's context menu is drawn with, in the apps' mode, then the visual
// style's plain menu.
class MenuTheme {
 public:
  explicit MenuTheme(HWND menuWindow) {
    if (!open_ || !close_ || !draw_) return;
    const wchar_t* const classes[] = {
        AppsUseDarkMode() ? L"DarkMode_ImmersiveStart::Menu" : L"LightMode_ImmersiveStart::Menu",
        L"ImmersiveStart::Menu", L"MENU"};  // VSCLASS_MENU is a compound literal: a temporary here
    for (const wchar_t* name : classes)
      if ((theme_ = open_(menuWindow, name)) != nullptr) break;
  }
  ~MenuTheme() {
    if (theme_) close_(theme_);
  }
  MenuTheme(const MenuTheme&) = delete;
  MenuTheme& operator=(const MenuTheme&) = delete;
  explicit operator bool() const { return theme_ != nullptr; }
  void DrawHotItem(HDC dc, const RECT& rect) const { draw_(theme_, dc, MENU_POPUPITEM, MPI_HOT, &rect, nullptr); }

 private:
  SystemFunction<decltype(OpenThemeData)> open_{"uxtheme.dll", "OpenThemeData"};
  SystemFunction<decltype(CloseThemeData)> close_{"uxtheme.dll", "CloseThemeData"};
  SystemFunction<decltype(DrawThemeBackground)> draw_{"uxtheme.dll", "DrawThemeBackground"};
  HTHEME theme_ = nullptr;
};

}  // namespace

UniqueIcon ProgramSmallIcon(const std::string& programPath) {
  return UniqueIcon(LoadProgramIcon(WideFromAnsi(programPath)));
}

SIZE SmallIconSize() { return SIZE{GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)}; }

UniqueBitmap MakeAlphaIconBitmap(HICON icon, SIZE size, HDC dc) {
  if (!icon || !dc || size.cx <= 0 || size.cy <= 0 || size.cx > 256 || size.cy > 256) return UniqueBitmap();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
  if (!bitmap || !pixels) return UniqueBitmap();
  uint32_t* const bits = static_cast<uint32_t*>(pixels);
  const size_t count = static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy);

  // The icon is drawn as the system draws it, once on black and once on
  // white: where it covers a share a of a pixel, black shows its colour
  // times a (premultiplied already) and white lets 255 * (1 - a) through.
  // This holds for icons with an alpha channel, with a mask only, and
  // monochrome ones alike, whatever the system does with the alpha byte of
  // the target.
  std::vector<uint32_t> onBlack(count);
  {
    SelectedObject target(dc, bitmap.get());
    std::fill(bits, bits + count, 0x00000000u);
    if (!DrawIconEx(dc, 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL)) return UniqueBitmap();
    GdiFlush();
    std::copy(bits, bits + count, onBlack.begin());
    std::fill(bits, bits + count, 0x00FFFFFFu);
    if (!DrawIconEx(dc, 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL)) return UniqueBitmap();
    GdiFlush();
  }
  for (size_t i = 0; i < count; ++i) {
    const uint32_t black = onBlack[i], white = bits[i];
    int through = 0;
    for (int shift = 0; shift <= 16; shift += 8)
      through += static_cast<int>((white >> shift) & 0xFF) - static_cast<int>((black >> shift) & 0xFF);
    // An inverting pixel (white on black, black on white) counts as opaque.
    const int alpha = std::clamp(255 - (through + 1) / 3, 0, 255);
    uint32_t pixel = static_cast<uint32_t>(alpha) << 24;
    for (int shift = 0; shift <= 16; shift += 8)
      pixel |= static_cast<uint32_t>(std::min<int>(static_cast<int>((black >> shift) & 0xFF), alpha)) << shift;
    bits[i] = pixel;
  }
  return bitmap;
}

UniqueBitmap IconItemCanvas::Paint(HICON icon, SIZE size) {
  if (!icon) return UniqueBitmap();
  if (!dc_) dc_.reset(CreateCompatibleDC(nullptr));
  // Out of the drawing context when it returns: a bitmap still selected
  // into one could not be deleted when it leaves the cache.
  return MakeAlphaIconBitmap(icon, size, dc_.get());
}

UniqueBitmap PaintIconItem(HICON icon) {
  IconItemCanvas canvas;
  return canvas.Paint(icon, SmallIconSize());
}

HBITMAP ProgramIconItemBitmap(const std::string& programPath, IconItemCanvas* canvas) {
  const std::wstring program = WideFromAnsi(programPath);
  const std::optional<IconKey> key = ProgramIconKey(program, SmallIconSize());
  if (!key) return nullptr;
  if (const std::optional<HBITMAP> kept = WithIconCache([&](IconBitmapCache& c) { return c.Find(*key); }))
    return *kept;
  // The shell's icon call and the painting take milliseconds: outside the lock.
  UniqueIcon icon(LoadProgramIcon(program, !key->TypeIcon));
  IconItemCanvas own;
  UniqueBitmap painted = icon ? (canvas ? *canvas : own).Paint(icon.get(), key->IconSize) : UniqueBitmap();
  if (icon && !painted) return nullptr;  // short of a drawing resource: not kept, tried again next time
  return WithIconCache([&](IconBitmapCache& c) { return c.Add(*key, std::move(painted)); });
}

void DrawPreviewBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  BITMAP bm{};
  if (!bitmap || !GetObjectA(bitmap, sizeof(bm), &bm)) return;
  UniqueDc source(CreateCompatibleDC(dc));
  if (!source) return;
  SelectedObject selected(source.get(), bitmap);
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, source.get(), 0, 0, SRCCOPY);
}

bool InsertIconMenuItem(const std::string& programPath, const std::string& caption, UINT commandId, HMENU submenu,
                        IconItemCanvas* canvas) {
  if (IsPlaceholderProgram(programPath)) return false;
  HBITMAP bitmap = ProgramIconItemBitmap(programPath, canvas);
  if (!bitmap) return AppendMenuA(submenu, MF_STRING, commandId, caption.c_str()) != FALSE;
  // A string item: the menu draws the caption in its theme's colours,
  // highlights it as any other item, and a screen reader reads it.
  MENUITEMINFOA item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_BITMAP;
  item.fType = MFT_STRING;
  item.wID = commandId;
  item.dwTypeData = const_cast<char*>(caption.c_str());
  item.cch = static_cast<UINT>(caption.size());
  item.hbmpItem = bitmap;
  const int end = GetMenuItemCount(submenu);
  return InsertMenuItemA(submenu, end < 0 ? 0 : static_cast<UINT>(end), TRUE, &item) != FALSE;
}

HRESULT TFolContMenu::HandleMenuMessage(UINT uMsg, WPARAM, LPARAM lParam, LRESULT* plResult) {
  // The only diagnostic output of the handler: the number of every menu message.
  OutputDebugStringA(std::to_string(uMsg).c_str());
  bool handled = false;
  if (uMsg == WM_MEASUREITEM && lParam) {
    auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    handled = item->itemID == PreviewCommandId;
    MeasurePreviewItem(item);
  } else if (uMsg == WM_DRAWITEM && lParam) {
    auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    handled = item->itemID == PreviewCommandId;
    DrawPreviewItem(item);
  }
  // TRUE tells the menu that the preview item was measured or drawn.
  if (plResult) *plResult = handled ? TRUE : FALSE;
  return S_OK;
}

HRESULT TFolContMenu::MeasurePreviewItem(MEASUREITEMSTRUCT* item) {
  if (item->itemID == PreviewCommandId) {
    item->itemWidth = static_cast<UINT>(PreviewWidth);
    item->itemHeight = static_cast<UINT>(PreviewHeight);
  }
  return S_OK;
}

HRESULT TFolContMenu::DrawPreviewItem(const DRAWITEMSTRUCT* item) {
  if (item->itemID != PreviewCommandId) return S_OK;
  const bool selected = (item->itemState & ODS_SELECTED) != 0;
  const HWND menuWindow = WindowFromDC(item->hDC);
  const MenuTheme theme(menuWindow);
  if (theme) {
    // A themed menu (light or dark) draws its own background: the item
    // leaves it alone and draws its selected state as the theme draws a hot
    // item. When the selection leaves the item, the menu paints its
    // background there again.
    if (selected) theme.DrawHotItem(item->hDC, item->rcItem);
    else if ((item->itemAction & ODA_SELECT) && menuWindow) InvalidateRect(menuWindow, &item->rcItem, TRUE);
  } else {
    const int color = selected ? COLOR_HIGHLIGHT : COLOR_MENU;
    UniqueBrush background(CreateSolidBrush(GetSysColor(color)));
    if (background) FillRect(item->hDC, &item->rcItem, background.get());
  }
  // The picture read while the menu was built, the one the item was measured with.
  DrawPreviewBitmap(item->hDC, PreviewBitmap.get(), item->rcItem.left + GetSystemMetrics(SM_CXMENUCHECK) + 4,
                    item->rcItem.top);
  return S_OK;
}

}  // namespace ombrelo
