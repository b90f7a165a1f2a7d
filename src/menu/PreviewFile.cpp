#include "menu/PreviewFile.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "common/PathRule.h"

namespace ombrelo {

namespace {

// Opens the file itself, for reading: a link or junction is opened as what
// it is, not followed (it may lead onto a share or past the path rule), and
// refused like anything that is not a plain file on a disk. The path rule
// decides first whether the folder may be touched at all.
UniqueFile OpenPlainFile(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos || !PathMayBeTouched(path.substr(0, cut + 1))) return UniqueFile();
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr));
  if (!file || GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
    return UniqueFile();
  return file;
}

PreviewFileVersion VersionOf(const BY_HANDLE_FILE_INFORMATION& info) {
  PreviewFileVersion v;
  v.Exists = true;
  v.Volume = info.dwVolumeSerialNumber;
  v.IndexHigh = info.nFileIndexHigh;
  v.IndexLow = info.nFileIndexLow;
  v.SizeHigh = info.nFileSizeHigh;
  v.SizeLow = info.nFileSizeLow;
  v.Written = info.ftLastWriteTime;
  return v;
}

// Checks that the headers, colour table and pixel data of a bitmap file lie
// within the file and that the picture is small enough, so that nothing is
// read past the file. Returns the offset of the pixel data, or 0 when the
// file is not a readable preview.
size_t CheckBitmapFile(const std::vector<char>& bytes) {
  const uint64_t fileSize = bytes.size();
  if (fileSize < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER ih;
  memcpy(&fh, bytes.data(), sizeof(fh));
  memcpy(&ih, bytes.data() + sizeof(fh), sizeof(ih));
  if (fh.bfType != 0x4D42) return 0;  // "BM"
  if (ih.biSize < sizeof(BITMAPINFOHEADER) || sizeof(fh) + uint64_t{ih.biSize} > fileSize) return 0;
  if (ih.biWidth <= 0 || ih.biWidth > kMaxPreviewSide || ih.biHeight == 0 || ih.biHeight > kMaxPreviewSide ||
      ih.biHeight < -kMaxPreviewSide || ih.biPlanes != 1)
    return 0;
  const uint64_t rows = ih.biHeight < 0 ? -int64_t{ih.biHeight} : ih.biHeight;
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

bool SameVersion(const PreviewFileVersion& a, const PreviewFileVersion& b) {
  return a.Exists == b.Exists && a.Volume == b.Volume && a.IndexHigh == b.IndexHigh && a.IndexLow == b.IndexLow &&
         a.SizeHigh == b.SizeHigh && a.SizeLow == b.SizeLow &&
         a.Written.dwLowDateTime == b.Written.dwLowDateTime && a.Written.dwHighDateTime == b.Written.dwHighDateTime;
}

PreviewFileVersion PreviewFileVersionAt(const std::wstring& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  UniqueFile file = OpenPlainFile(path, info);
  return file ? VersionOf(info) : PreviewFileVersion();
}

UniqueBitmap ReadPreviewFile(const std::wstring& path, const PreviewFileVersion& before) {
  BY_HANDLE_FILE_INFORMATION info{};
  UniqueFile file = OpenPlainFile(path, info);
  if (!file || SameVersion(VersionOf(info), before)) return UniqueBitmap();
  if (info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxPreviewFileBytes) return UniqueBitmap();
  std::vector<char> bytes(info.nFileSizeLow);
  for (size_t done = 0; done < bytes.size();) {
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr) ||
        got == 0)
      return UniqueBitmap();  // the file shrank while it was read
    done += got;
  }
  const size_t bitsOffset = CheckBitmapFile(bytes);
  if (!bitsOffset) return UniqueBitmap();
  const auto* bitmapInfo = reinterpret_cast<const BITMAPINFO*>(bytes.data() + sizeof(BITMAPFILEHEADER));
  WindowDc screen(nullptr);
  if (!screen.get()) return UniqueBitmap();
  return UniqueBitmap(CreateDIBitmap(screen.get(), &bitmapInfo->bmiHeader, CBM_INIT, bytes.data() + bitsOffset,
                                     bitmapInfo, DIB_RGB_COLORS));
}

}  // namespace ombrelo
