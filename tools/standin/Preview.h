#pragma once
// The preview: decodes a picture with the platform's imaging codecs, scales
// it to fit a small box and writes it as a Windows bitmap; fills the
// information lines of a menu.
#include <windows.h>

#include <string>

namespace standin {

inline constexpr UINT kPreviewBoxWidth = 160;
inline constexpr UINT kPreviewBoxHeight = 120;

struct PictureInfo {
  UINT width = 0, height = 0;    // of the picture
  UINT bitsPerPixel = 0;
  std::string format;            // "JPEG", "PNG", "GIF", "TIFF", "BMP", ...
  UINT previewWidth = 0, previewHeight = 0;
};

// Writes the preview of picture to bitmapPath (24 bits per pixel, at most
// 160 x 120, aspect ratio kept, never enlarged). Any old file there is
// removed first, so a picture that cannot be decoded leaves no bitmap.
bool WritePreview(const std::string& picture, const std::string& bitmapPath, PictureInfo& info);

// The three information texts: size, colours, format.
std::string SizeText(const PictureInfo& info);
std::string ColorsText(const PictureInfo& info);

// Replaces "???" in the string items of menu, in order, with the texts
// given; returns how many items were changed (-1 when the menu cannot be read).
int FillInfoLines(HMENU menu, const std::string texts[], int count);

}  // namespace standin
