// Menu messages, the owner-drawn preview item and the icon items of the
// open-with submenu.
#include "menu/OwnerDraw.h"

#include <cstdint>
#include <string>
#include <vector>

#include "common/FileNames.h"
#include "common/PathRule.h"
#include "menu/FolContMenu.h"
#include "menu/ProgramIcon.h"
#include "server/ModuleState.h"

namespace ombrelo {

namespace {
// A preview is a small picture; larger files or sizes are not plausible and
// are refused before any memory is committed to them.
constexpr DWORD kMaxBitmapFileSize = 64 * 1024 * 1024;
constexpr LONG kMaxBitmapSide = 16384;
constexpr uint64_t kMaxBitmapPixels = 16 * 1024 * 1024;

std::vector<char> ReadWholeFile(const std::string& path) {
  std::vector<char> bytes;
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return bytes;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxBitmapFileSize) return bytes;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() && (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) ||
                         got != bytes.size()))
    bytes.clear();
  return bytes;
}

// Checks that the headers, colour table and pixel data of a bitmap file lie
// within the file, so that nothing is read past it. Returns the offset of
// the pixel data, or 0 when the file is not a readable bitmap.
size_t CheckBitmapFile(const std::vector<char>& bytes) {
  const uint64_t fileSize = bytes.size();
  if (fileSize < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER ih;
  memcpy(&fh, bytes.data(), sizeof(fh));
  memcpy(&ih, bytes.data() + sizeof(fh), sizeof(ih));
  if (fh.bfType != 0x4D42) return 0;  // "BM"
  if (ih.biSize < sizeof(BITMAPINFOHEADER) || sizeof(fh) + uint64_t{ih.biSize} > fileSize) return 0;
  if (ih.biWidth <= 0 || ih.biWidth > kMaxBitmapSide || ih.biHeight == 0 || ih.biHeight > kMaxBitmapSide ||
      ih.biHeight < -kMaxBitmapSide || ih.biPlanes != 1)
    return 0;
  const uint64_t rows = ih.biHeight < 0 ? -int64_t{ih.biHeight} : ih.biHeight;
  if (uint64_t{static_cast<uint32_t>(ih.biWidth)} * rows > kMaxBitmapPixels) return 0;
  const unsigned bits = ih.biBitCount;
  uint64_t masks = 0;
  switch (ih.biCompression) {
    case BI_RGB:
      if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
      break;
    case BI_RLE8:
    case BI_RLE4:
      if (bits != (ih.biCompression == BI_RLE8 ? 8u : 4u) || ih.biHeight < 0 || ih.biSizeImage == 0) return 0;
      break;
    case BI_BITFIELDS:
      if (bits != 16 && bits != 32) return 0;
      if (ih.biSize == sizeof(BITMAPINFOHEADER)) masks = 3 * sizeof(DWORD);
      break;
    default:
      return 0;
  }
  uint64_t colours = 0;
  if (bits <= 8) {
    if (ih.biClrUsed > (1u << bits)) return 0;
    colours = ih.biClrUsed ? ih.biClrUsed : (1u << bits);
  } else {
    colours = ih.biClrUsed;
  }
  const uint64_t tablesEnd = sizeof(fh) + uint64_t{ih.biSize} + masks + colours * sizeof(RGBQUAD);
  if (tablesEnd > fileSize || fh.bfOffBits < tablesEnd || fh.bfOffBits > fileSize) return 0;
  uint64_t dataSize = ih.biSizeImage;
  if (ih.biCompression == BI_RGB || ih.biCompression == BI_BITFIELDS) {
    const uint64_t stride = (uint64_t{static_cast<uint32_t>(ih.biWidth)} * bits + 31) / 32 * 4;
    dataSize = stride * rows;
  }
  if (fh.bfOffBits + dataSize > fileSize) return 0;
  return fh.bfOffBits;
}

}  // namespace

IconItemCanvas::~IconItemCanvas() {
  if (oldFont_) SelectObject(dc_.get(), oldFont_);
}

bool IconItemCanvas::Ready() {
  if (dc_) return true;
  display_.reset(CreateICA("Display", nullptr, nullptr, nullptr));
  if (!display_) return false;
  dc_.reset(CreateCompatibleDC(display_.get()));
  if (!dc_) return false;
  SetBkMode(dc_.get(), TRANSPARENT);
  if (Globals().MenuFont) oldFont_ = SelectObject(dc_.get(), Globals().MenuFont);
  return true;
}

HBITMAP IconItemCanvas::Paint(HICON icon, const std::string& caption) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return nullptr;
  UniqueBitmap mask(info.hbmMask), color(info.hbmColor);
  BITMAP bm{};
  int iconWidth = 0, iconHeight = 0;
  if (color && GetObjectA(color.get(), sizeof(bm), &bm)) {
    iconWidth = bm.bmWidth;
    iconHeight = bm.bmHeight;
  } else if (mask && GetObjectA(mask.get(), sizeof(bm), &bm)) {
    // A monochrome icon: the mask holds the AND and the XOR image one above the other.
    iconWidth = bm.bmWidth;
    iconHeight = bm.bmHeight / 2;
  } else {
    return nullptr;
  }
  if (!Ready()) return nullptr;
  const HDC dc = dc_.get();
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SIZE text{};
  GetTextExtentPointA(dc, caption.c_str(), static_cast<int>(caption.size()), &text);

  const int width = text.cx + iconWidth + 16;
  const int height = iconHeight < text.cy ? text.cy + 2 : iconHeight + 2;
  UniqueBitmap painted(CreateCompatibleBitmap(display_.get(), width, height));
  if (!painted) return nullptr;
  {
    SelectedObject target(dc, painted.get());
    RECT all{0, 0, width, height};
    FillRect(dc, &all, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1)));
    DrawIconEx(dc, 2, height / 2 - iconHeight / 2, icon, iconWidth, iconHeight, 0, nullptr, DI_NORMAL);
    TextOutA(dc, iconWidth + 10, height / 2 - metrics.tmHeight / 2, caption.c_str(), static_cast<int>(caption.size()));
  }
  // Kept for the life of the menu; released by the next FreeMenuBitmaps.
  // Published only once it is out of the drawing context: another shell
  // thread's Initialize may free the list at any moment, and a bitmap still
  // selected into a context cannot be deleted.
  HBITMAP bitmap = painted.release();
  WithState([bitmap](SharedState& s) {
    s.MenuBitmaps.push_back(bitmap);
    ++s.MenuBitmapCount;
  });
  return bitmap;
}

HBITMAP PaintIconItem(HICON icon, const std::string& caption) {
  IconItemCanvas canvas;
  return canvas.Paint(icon, caption);
}

UniqueBitmap LoadBitmapFile(const std::string& path) {
  const std::vector<char> bytes = ReadWholeFile(path);
  const size_t bitsOffset = CheckBitmapFile(bytes);
  if (!bitsOffset) return UniqueBitmap();
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + sizeof(BITMAPFILEHEADER));
  WindowDc screen(nullptr);
  if (!screen.get()) return UniqueBitmap();
  return UniqueBitmap(
      CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, bytes.data() + bitsOffset, info, DIB_RGB_COLORS));
}

void DrawPreviewBitmap(HDC dc, int x, int y) {
  const std::string path = WithState([](SharedState& s) { return s.PreviewBitmapPath; });
  if (path.empty()) return;
  UniqueBitmap bitmap = LoadBitmapFile(path);
  BITMAP bm{};
  if (!bitmap || !GetObjectA(bitmap.get(), sizeof(bm), &bm)) return;
  UniqueDc source(CreateCompatibleDC(dc));
  if (!source) return;
  SelectedObject selected(source.get(), bitmap.get());
  BitBlt(dc, x, y, bm.bmWidth, bm.bmHeight, source.get(), 0, 0, SRCCOPY);
}

bool InsertIconMenuItem(const std::string& programPath, const std::string& caption, UINT commandId, HMENU submenu,
                        IconItemCanvas* canvas) {
  if (IsPlaceholderProgram(programPath)) return false;
  UniqueIcon icon(LoadProgramIcon(WideFromAnsi(programPath)));
  HBITMAP bitmap = !icon ? nullptr : canvas ? canvas->Paint(icon.get(), caption) : PaintIconItem(icon.get(), caption);
  if (!bitmap) return AppendMenuA(submenu, MF_STRING, commandId, caption.c_str()) != FALSE;
  return AppendMenuA(submenu, MF_BITMAP, commandId, reinterpret_cast<LPCSTR>(bitmap)) != FALSE;
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
  const int color = (item->itemState & ODS_SELECTED) ? COLOR_HIGHLIGHT : COLOR_MENU;
  UniqueBrush background(CreateSolidBrush(GetSysColor(color)));
  if (background) FillRect(item->hDC, &item->rcItem, background.get());
  DrawPreviewBitmap(item->hDC, item->rcItem.left + GetSystemMetrics(SM_CXMENUCHECK) + 4, item->rcItem.top);
  return S_OK;
}

}  // namespace ombrelo
