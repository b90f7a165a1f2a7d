#pragma once
// Bitmap files and pixel reading for the tests and the benchmark.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A 24-bit bottom-up Windows bitmap file of width x height, pixel(x, y) giving each colour.
std::string MakeBitmapFile(int width, int height, const std::function<COLORREF(int, int)>& pixel);

// A 32-bit top-down DIB section selected into a memory DC, filled with one colour.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const;
  // The pixels of a bitmap handle, read through a canvas of its size.
  static COLORREF BitmapPixel(HBITMAP bitmap, int x, int y);

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  DWORD* bits_ = nullptr;
  int width_, height_;
};

SIZE BitmapSize(HBITMAP bitmap);

// The pixels of a 32-bit bitmap, alpha byte included, as 0xAARRGGBB top
// down; empty for a bitmap of another depth.
std::vector<uint32_t> ArgbPixels(HBITMAP bitmap, SIZE* size);

// The coverage of each pixel of an icon at its own size, top down (0
// transparent, 255 opaque): its alpha channel, or its mask where it has none.
std::vector<int> IconCoverage(HICON icon, SIZE* size);

}  // namespace testsupport
