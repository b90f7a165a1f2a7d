#pragma once
// Reading a context menu back after the handler extended it: the tree of
// items with captions, command offsets, states and help texts, and finding
// items by caption path or by offset.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Handler.h"

namespace host {

// The identifiers handed to QueryContextMenu. The host's own items use
// identifiers from 1 to kHostIdLast, below idCmdFirst.
struct CommandRange {
  UINT first = 0;
  UINT last = 0;
};
inline constexpr UINT kHostIdLast = 99;

struct MenuItem {
  int position = 0;
  UINT id = 0;
  UINT type = 0;
  UINT state = 0;
  HMENU submenu = nullptr;
  HBITMAP bitmap = nullptr;
  ULONG_PTR data = 0;
  std::string caption;          // UTF-8
  bool hostItem = false;        // one of the host's own items
  std::optional<UINT> offset;   // identifier - idCmdFirst, when within the handler's range
  std::string help;             // status-bar help text, or why there is none
  std::optional<SIZE> measured; // owner-drawn: the size the handler gave for WM_MEASUREITEM
  std::vector<MenuItem> children;

  bool IsSeparator() const { return (type & MFT_SEPARATOR) != 0; }
  bool IsPopup() const { return submenu != nullptr; }
  bool IsCommand() const { return !IsSeparator() && !IsPopup() && !hostItem && offset.has_value(); }
  // The caption, or a stand-in for an item that has none.
  std::string Label() const;
};

// Reads the whole menu. Each of the handler's submenus is announced to it
// with WM_INITMENUPOPUP first, as when the user opens it; owner-drawn items
// are measured with WM_MEASUREITEM; command items get their help text.
std::vector<MenuItem> ReadMenu(HMENU menu, const CommandRange& range, const Handler& handler);

std::string FormatTree(const std::vector<MenuItem>& items);

// The chain of items along a caption path ("&Tools/Copy &name"); each
// segment matches a caption with or without its ampersands, whole or up to
// its tab. Only the handler's items are searched. Empty on failure, with
// `error` naming what exists where the path stopped matching.
std::vector<const MenuItem*> FindByPath(const std::vector<MenuItem>& items, const std::string& path,
                                        std::string& error);
// The command item with this offset, or null with `error` listing the offsets there are.
const MenuItem* FindByOffset(const std::vector<MenuItem>& items, UINT offset, std::string& error);
// The handler's first submenu in the top menu, or null.
const MenuItem* FirstHandlerPopup(const std::vector<MenuItem>& items);

}  // namespace host
