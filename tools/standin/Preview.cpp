#include "Preview.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace standin {

namespace {

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

std::string FormatName(const GUID& container) {
  if (container == GUID_ContainerFormatJpeg) return "JPEG";
  if (container == GUID_ContainerFormatPng) return "PNG";
  if (container == GUID_ContainerFormatGif) return "GIF";
  if (container == GUID_ContainerFormatTiff) return "TIFF";
  if (container == GUID_ContainerFormatBmp) return "BMP";
  if (container == GUID_ContainerFormatIco) return "ICO";
  return "?";
}

UINT BitsPerPixel(IWICImagingFactory* factory, const WICPixelFormatGUID& format) {
  ComPtr<IWICComponentInfo> component;
  ComPtr<IWICPixelFormatInfo> pixelInfo;
  UINT bits = 0;
  if (SUCCEEDED(factory->CreateComponentInfo(format, &component)) && SUCCEEDED(component.As(&pixelInfo)))
    pixelInfo->GetBitsPerPixel(&bits);
  return bits;
}

// Gives the file just written a write time later than the previous one's.
// The extension takes a preview only when it changed across its request;
// where the file system's clock is coarse (Wine on Linux), a file written
// again a moment later could otherwise keep the very same write time, size
// and file index, and pass for the old picture.
void StampNewWriteTime(HANDLE file) {
  static ULONGLONG last = 0;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULONGLONG stamp = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  stamp = last = std::max(stamp, last + 10);
  FILETIME written{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
  SetFileTime(file, nullptr, nullptr, &written);
}

// A 24-bit bottom-up Windows bitmap file from top-down BGR rows.
bool WriteBitmapFile(const std::string& path, UINT width, UINT height, const std::vector<BYTE>& pixels,
                     UINT stride) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(height);
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = stride * height;
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfOffBits = sizeof(fileHeader) + sizeof(header);
  fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;

  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, &fileHeader, sizeof(fileHeader), &written, nullptr) &&
            WriteFile(file, &header, sizeof(header), &written, nullptr);
  for (UINT row = height; ok && row-- > 0;)
    ok = WriteFile(file, pixels.data() + static_cast<size_t>(row) * stride, stride, &written, nullptr) != FALSE;
  if (ok) StampNewWriteTime(file);
  CloseHandle(file);
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

}  // namespace

bool WritePreview(const std::string& picture, const std::string& bitmapPath, PictureInfo& info) {
  DeleteFileA(bitmapPath.c_str());
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return false;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(Wide(picture).c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)))
    return false;
  GUID container{};
  decoder->GetContainerFormat(&container);
  info.format = FormatName(container);
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&info.width, &info.height)) ||
      info.width == 0 || info.height == 0)
    return false;
  WICPixelFormatGUID pixelFormat{};
  frame->GetPixelFormat(&pixelFormat);
  info.bitsPerPixel = BitsPerPixel(factory.Get(), pixelFormat);

  // Fit into the box, keeping the aspect ratio; small pictures stay as they are.
  double scale = std::min({1.0, double(kPreviewBoxWidth) / info.width, double(kPreviewBoxHeight) / info.height});
  info.previewWidth = std::max(1u, static_cast<UINT>(info.width * scale + 0.5));
  info.previewHeight = std::max(1u, static_cast<UINT>(info.height * scale + 0.5));

  // Decoded pixels go to 32-bit BGRA first (every decoder's format can be
  // converted to it), then are scaled, then laid on white as 24-bit rows.
  ComPtr<IWICFormatConverter> converter;
  ComPtr<IWICBitmapScaler> scaler;
  if (FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(converter.Get(), info.previewWidth, info.previewHeight,
                                WICBitmapInterpolationModeFant)))
    return false;
  UINT sourceStride = info.previewWidth * 4;
  std::vector<BYTE> bgra(static_cast<size_t>(sourceStride) * info.previewHeight);
  if (FAILED(scaler->CopyPixels(nullptr, sourceStride, static_cast<UINT>(bgra.size()), bgra.data()))) return false;
  UINT stride = (info.previewWidth * 3 + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * info.previewHeight);
  for (UINT y = 0; y < info.previewHeight; ++y) {
    const BYTE* from = bgra.data() + static_cast<size_t>(y) * sourceStride;
    BYTE* to = pixels.data() + static_cast<size_t>(y) * stride;
    for (UINT x = 0; x < info.previewWidth; ++x, from += 4, to += 3) {
      UINT alpha = from[3];
      for (int c = 0; c < 3; ++c) to[c] = static_cast<BYTE>((from[c] * alpha + 255 * (255 - alpha)) / 255);
    }
  }
  return WriteBitmapFile(bitmapPath, info.previewWidth, info.previewHeight, pixels, stride);
}

std::string SizeText(const PictureInfo& info) {
  return std::to_string(info.width) + " x " + std::to_string(info.height);
}

std::string ColorsText(const PictureInfo& info) {
  UINT bits = info.bitsPerPixel;
  if (bits == 0) return "?";
  std::string colors = bits >= 24 ? "16777216" : std::to_string(1u << bits);
  return colors + " (" + std::to_string(bits) + " bit)";
}

int FillInfoLines(HMENU menu, const std::string texts[], int count) {
  int items = GetMenuItemCount(menu);
  if (items < 0) return -1;
  int filled = 0;
  for (int i = 0; i < items && filled < count; ++i) {
    char caption[256] = {};
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_STRING;
    item.dwTypeData = caption;
    item.cch = sizeof(caption) - 1;
    if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item) || (item.fType & (MFT_SEPARATOR | MFT_OWNERDRAW)))
      continue;
    std::string text = caption;
    size_t mark = text.find("???");
    if (mark == std::string::npos) continue;
    text.replace(mark, 3, texts[filled]);
    MENUITEMINFOA change{};
    change.cbSize = sizeof(change);
    change.fMask = MIIM_STRING;
    change.dwTypeData = text.data();
    if (SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &change)) ++filled;
  }
  return filled;
}

}  // namespace standin
