#pragma once
// The handler's commands without a menu: their captions, their help texts,
// the one dispatch that runs them by command offset, and the flat list of
// commands the classic menu offers for a selection. The classic handler
// (TFolContMenu) and the Windows 11 command (src/modern) both stand on these.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "menu/FolContMenu.h"

namespace ombrelo {

// The per-menu identifiers that help texts and commands read: absolute for
// the classic menu, relative to 0 for a menu that has no identifiers.
struct MenuLayout {
  UINT CmdFirst = 0;
  UINT FirstOpenWithId = 0;
  UINT LastOpenWithId = 0;
  UINT HighestOffsetUsed = 0;  // bounds the offsets help texts and commands accept
};

// The caption of the top-level item (literal, not translated).
inline constexpr char kTopLevelCaption[] = "&Ombrelo";

// Which of the three menus an item belongs to.
enum class MenuKind { Picture, Text, Multiple };
MenuKind KindOf(const SelectionState& selection);

// The caption of a command item by its unshifted offset (the CommandOffset
// value) in the menu of that kind, as the classic menu shows it: word-table
// text in the active language or literal, "&" markers and tab included.
std::string CommandCaption(MenuKind kind, UINT offset);

// The status-bar help text of the item at offset: S_OK with the text, or
// with nullopt for an item that has none; E_INVALIDARG for an offset the
// menu refuses or when there is no accepted selection.
HRESULT ItemHelpText(const MenuSelection& selection, const MenuLayout& layout, UINT_PTR offset,
                     std::optional<std::string>& text);

// Runs the command at offset for the selection; the action's own failures
// stay inside. S_OK for a command, E_FAIL for an offset that names none (or
// no accepted selection), E_INVALIDARG for an offset the menu refuses.
// owner: the window that owns the command's dialogs, or null.
HRESULT RunItemCommand(MenuSelection selection, const MenuLayout& layout, UINT offset, HWND owner);

// One entry of the flat command list.
struct OfferedItem {
  bool Separator = false;
  UINT Offset = 0;
  std::string Caption;     // as CommandCaption, or the open-with entry's caption
  std::string Help;        // as ItemHelpText
  bool Greyed = false;     // the classic item is greyed (picture items of ".RIF", main-program
                           // commands for a file without an ANSI form)
  std::string Program;     // open-with entries: the program to open with
};

// What the classic menu offers for a selection, without building it.
struct OfferedMenu {
  MenuSelection Selection;  // with the open-with lists the commands index
  MenuLayout Layout;        // relative to 0
  std::vector<OfferedItem> Items;
};

// The commands the classic menu would offer for the selection, flat and in
// the classic order, groups separated by separators: for one picture the
// open-with entries, the direct conversions, convert and print preview, the
// two copy items, the wallpaper styles and the options; for one text file
// the text items; for several files the convert item. Reads the open-with
// entries of the settings file for a picture; asks nothing of the main
// program. Empty for a selection that was not accepted.
OfferedMenu OfferedCommands(MenuSelection selection);

}  // namespace ombrelo
