#include "support/Bitmaps.h"

#include <cstring>

namespace testsupport {

std::string MakeBitmapFile(int width, int height, const std::function<COLORREF(int, int)>& pixel) {
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof(ih);
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biPlanes = 1;
  ih.biBitCount = 24;
  ih.biCompression = BI_RGB;
  ih.biSizeImage = stride * height;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + ih.biSizeImage;
  std::string bytes(fh.bfSize, '\0');
  memcpy(&bytes[0], &fh, sizeof(fh));
  memcpy(&bytes[sizeof(fh)], &ih, sizeof(ih));
  for (int y = 0; y < height; ++y) {
    char* row = &bytes[fh.bfOffBits + (height - 1 - y) * stride];
    for (int x = 0; x < width; ++x) {
      COLORREF c = pixel(x, y);
      row[x * 3] = static_cast<char>(GetBValue(c));
      row[x * 3 + 1] = static_cast<char>(GetGValue(c));
      row[x * 3 + 2] = static_cast<char>(GetRValue(c));
    }
  }
  return bytes;
}

Canvas::Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_ = CreateCompatibleDC(nullptr);
  bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bits_ = static_cast<DWORD*>(bits);
  old_ = SelectObject(dc_, bitmap_);
  for (int i = 0; i < width * height; ++i)
    bits_[i] = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
}

Canvas::~Canvas() {
  SelectObject(dc_, old_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

COLORREF Canvas::At(int x, int y) const {
  GdiFlush();
  DWORD v = bits_[y * width_ + x];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

SIZE BitmapSize(HBITMAP bitmap) {
  BITMAP bm{};
  GetObjectA(bitmap, sizeof(bm), &bm);
  return SIZE{bm.bmWidth, bm.bmHeight};
}

COLORREF Canvas::BitmapPixel(HBITMAP bitmap, int x, int y) {
  SIZE size = BitmapSize(bitmap);
  Canvas canvas(size.cx, size.cy, RGB(0, 0, 0));
  HDC source = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(source, bitmap);
  BitBlt(canvas.dc(), 0, 0, size.cx, size.cy, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  return canvas.At(x, y);
}

namespace {
BITMAPINFO TopDown32(SIZE size) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = size.cx;
  bi.bmiHeader.biHeight = -size.cy;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

std::vector<uint32_t> Read32(HBITMAP bitmap, SIZE size) {
  std::vector<uint32_t> pixels(static_cast<size_t>(size.cx * size.cy));
  BITMAPINFO bi = TopDown32(size);
  HDC dc = GetDC(nullptr);
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(size.cy), pixels.data(), &bi, DIB_RGB_COLORS) != size.cy)
    pixels.clear();
  ReleaseDC(nullptr, dc);
  return pixels;
}
}  // namespace

std::vector<uint32_t> ArgbPixels(HBITMAP bitmap, SIZE* size) {
  BITMAP bm{};
  *size = {};
  if (!GetObjectA(bitmap, sizeof(bm), &bm) || bm.bmBitsPixel != 32) return {};
  *size = {bm.bmWidth, bm.bmHeight};
  return Read32(bitmap, *size);
}

std::vector<int> IconCoverage(HICON icon, SIZE* size) {
  ICONINFO info{};
  std::vector<int> coverage;
  *size = {};
  if (!GetIconInfo(icon, &info)) return coverage;
  BITMAP bm{};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
  *size = {bm.bmWidth, info.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
  std::vector<uint32_t> pixels;
  if (info.hbmColor) pixels = Read32(info.hbmColor, *size);
  std::vector<uint32_t> masks = Read32(info.hbmMask, *size);  // the AND mask: the upper half of a monochrome one
  if (info.hbmColor) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  bool hasAlpha = false;
  for (uint32_t p : pixels) hasAlpha |= (p >> 24) != 0;
  for (size_t i = 0; i < masks.size(); ++i)
    coverage.push_back(hasAlpha ? static_cast<int>(pixels[i] >> 24) : (masks[i] & 0xFFFFFF) ? 0 : 255);
  return coverage;
}

}  // namespace testsupport
