#pragma once
// Bitmap files and pixel reading for the tests and the benchmark.
#include <windows.h>

#include <functional>
#include <string>

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

}  // namespace testsupport
