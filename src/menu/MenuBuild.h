#pragma once
// Parts of QueryContextMenu that stand on their own: where the preview item
// goes, its caption, and the open-with submenu.
#include <windows.h>

#include <string>
#include <vector>

namespace ombrelo {

// Menu item masks: ordinary items and separators, the preview item, and the
// top-level popup item.
inline constexpr UINT kOrdinaryItemMask = MIIM_STATE | MIIM_ID | MIIM_CHECKMARKS | MIIM_TYPE;
inline constexpr UINT kPreviewItemMask = MIIM_STATE | MIIM_ID | MIIM_TYPE;
inline constexpr UINT kTopLevelItemMask = kOrdinaryItemMask | MIIM_SUBMENU;

// Whether the preview item goes into the shell's menu rather than the
// submenu: "Mainmenu" under the program key, or its "Txt" subkey for a text
// file. A missing key or value, or one that is not a string, means true;
// otherwise only the exact text "true" does.
bool ReadMainMenuSetting(bool isTextFile);

struct PreviewItemText {
  std::string Caption;
  UINT State;
  bool PictureAwaited = false;  // the main program runs with its preview on
};
// Caption and state of the preview item before a picture replaces it:
// enable the preview (no main program), preview disabled, or unknown format
// (until the picture comes).
PreviewItemText GetPreviewItemText();

// Appends the open-with entries (at most 30) to submenu with identifiers
// first + their offset, as icon items (with the programs in commands) or
// plain text, pads commands and params with "Dummy" to five entries, and
// returns N, the number of entries after padding.
UINT BuildOpenWithMenu(HMENU submenu, UINT first, const std::vector<std::string>& captions,
                       std::vector<std::string>& commands, std::vector<std::string>& params, bool withIcons);

// Pads the open-with lists with "Dummy" to five entries; returns N, the
// number of entries after padding, for captionCount entries read.
UINT PadOpenWithLists(UINT captionCount, std::vector<std::string>& commands, std::vector<std::string>& params);

// The highest command offset a single-selection menu uses, and the count
// QueryContextMenu reports for it.
UINT HighestSingleSelectionOffset(UINT openWithCount, bool isTextFile, bool inBosaDialog);
UINT SingleSelectionCount(UINT highestOffset);

}  // namespace ombrelo
