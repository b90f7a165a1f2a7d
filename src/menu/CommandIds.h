#pragma once
// Command offsets of the handler's menu items (identifier = idCmdFirst +
// offset). Picture items built after the open-with submenu are shifted by
// S = N + 7, N being the number of open-with entries after padding to five.
#include <windows.h>

namespace ombrelo {

enum CommandOffset : UINT {
  CmdConvertSelection = 0,  // multiple selection
  // single picture
  CmdOpenWithPopup = 0,
  CmdDirectConvertPopup = 1,
  CmdPreview = 3,
  ItemSizeLine = 4,
  ItemColorsLine = 5,
  ItemFormatLine = 6,
  CmdSeparator = 7,
  CmdConvert = 8,
  CmdConvertJpg = 9,
  CmdConvertBmp = 10,
  CmdConvertPng = 11,
  CmdConvertTif = 12,
  CmdConvertPcx = 13,
  CmdSettings = 14,
  CmdOpenWithSeparator = 15,
  CmdOpenWithEntry = 15,  // entry i, see OpenWithEntryOffset
  CmdMiscPopup = 16,
  CmdPrintPreview = 28,
  // picture items after the open-with submenu: offset + S
  CmdTopLevel = 8,
  CmdTrailingSeparator = 9,
  CmdCopyImage = 17,
  CmdCopyImageName = 18,
  CmdMiscSeparator = 19,
  CmdOptions = 20,
  CmdWallpaperPopup = 22,
  CmdWallpaperCentered = 23,
  CmdWallpaperTiled = 24,
  CmdWallpaperScaled = 25,
  // single text file (S = 0)
  CmdPrintText = 0,
  CmdWordpadText = 1,
  CmdCopyText = 4,
  CmdCopyTextName = 5,
  CmdTextOptions = 6,
};

// The count QueryContextMenu reports for one file, and the lowest offset
// that single-selection help texts and commands refuse, as designed.
inline constexpr UINT kSingleSelectionCount = 60;
inline constexpr UINT kDesignedOffsetBound = 59;
// At most this many open-with entries become menu items.
inline constexpr UINT kMaxOpenWithItems = 30;
// Open-with lists are padded with "Dummy" entries up to this count.
inline constexpr UINT kMinOpenWithEntries = 5;

// Offset of open-with entry i. Entries skip offset 28 (print preview), so
// that no entry shares an identifier with another item: entry i takes
// 15 + i up to entry 12 and 16 + i from entry 13 on.
constexpr UINT OpenWithEntryOffset(UINT i) { return i <= 12 ? 15 + i : 16 + i; }

// The entry index of an offset in the open-with range [15, lastOffset], or
// -1 when the offset is not an entry (offset 28 is print preview).
constexpr int OpenWithEntryIndex(UINT offset, UINT lastOffset) {
  if (offset < 15 || offset > lastOffset || offset == CmdPrintPreview) return -1;
  return offset < CmdPrintPreview ? static_cast<int>(offset - 15) : static_cast<int>(offset - 16);
}

// The shift S of the picture items after the open-with submenu for N padded
// entries: the offset of the last entry slot - 15 + 8 (N + 7 up to 13 entries).
constexpr UINT ShiftAfterOpenWith(UINT n) { return OpenWithEntryOffset(n - 1) - 15 + 8; }

// The lowest single-selection offset that help texts and commands refuse:
// 59, widened so that every offset the last menu used
// (HighestOffsetUsed) can be served.
constexpr UINT SingleSelectionOffsetBound(UINT highestOffsetUsed) {
  return highestOffsetUsed + 1 > kDesignedOffsetBound ? highestOffsetUsed + 1 : kDesignedOffsetBound;
}

}  // namespace ombrelo
