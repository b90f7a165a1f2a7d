#pragma once
// The preview bitmap file that the main program writes while a menu is
// built: another program's file in the user's temporary folder, so it is
// checked before use and read once, into the bitmap that the preview item
// is measured and drawn with.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace ombrelo {

// A preview is a small picture: larger files or sizes are refused before
// any memory is committed to them.
inline constexpr DWORD kMaxPreviewFileBytes = 8 * 1024 * 1024;
inline constexpr LONG kMaxPreviewSide = 1024;

// One version of the file: a file written anew differs from the one before
// in its identity (volume and file index), its size or its write time.
struct PreviewFileVersion {
  bool Exists = false;
  DWORD Volume = 0, IndexHigh = 0, IndexLow = 0, SizeHigh = 0, SizeLow = 0;
  FILETIME Written{};
};
bool SameVersion(const PreviewFileVersion& a, const PreviewFileVersion& b);

// The version of the file at path now; none (Exists false) when no file
// there may be read (see ReadPreviewFile).
PreviewFileVersion PreviewFileVersionAt(const std::wstring& path);

// The picture of the file at path as a bitmap compatible with the display,
// read once; null (no picture) unless
// - the path rule (common/PathRule.h) allows its folder;
// - the file is a plain file: not a link, junction or other reparse point
//   (opened as itself, never followed), not a folder or a device;
// - it is at most kMaxPreviewFileBytes and a bitmap of at most
//   kMaxPreviewSide pixels a side whose headers, colours and pixels lie
//   within it;
// - it is not the version `before` (taken before the request): a file the
//   request left unchanged is an earlier picture's.
UniqueBitmap ReadPreviewFile(const std::wstring& path, const PreviewFileVersion& before = {});

}  // namespace ombrelo
