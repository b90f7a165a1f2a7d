// The commands the classic menu offers for a selection, laid out flat for a
// front that shows one level of commands (the Windows 11 menu). The items,
// their offsets and their conditions follow QueryContextMenu; captions and
// help texts come from the same functions the classic menu uses.
#include <algorithm>

#include "bridge/Wallpaper.h"
#include "menu/CommandIds.h"
#include "menu/MenuBuild.h"
#include "menu/MenuCommands.h"
#include "menu/OwnerDraw.h"
#include "settings/OpenWith.h"

namespace ombrelo {

namespace {

class FlatList {
 public:
  explicit FlatList(OfferedMenu& menu) : menu_(menu) {}

  // Starts a new group: a separator before its first item, when an item came before.
  void Group() { separatorDue_ = !menu_.Items.empty(); }

  void Add(UINT offset, std::string caption, bool greyed = false, std::string program = {}) {
    if (separatorDue_) {
      OfferedItem separator;
      separator.Separator = true;
      menu_.Items.push_back(separator);
      separatorDue_ = false;
    }
    OfferedItem item;
    item.Offset = offset;
    item.Caption = std::move(caption);
    item.Greyed = greyed;
    item.Program = std::move(program);
    std::optional<std::string> help;
    if (ItemHelpText(menu_.Selection, menu_.Layout, offset, help) == S_OK && help) item.Help = *help;
    menu_.Items.push_back(std::move(item));
  }

  void AddCommand(MenuKind kind, UINT offset, UINT base, bool greyed = false) {
    Add(offset, CommandCaption(kind, base), greyed);
  }

 private:
  OfferedMenu& menu_;
  bool separatorDue_ = false;
};

}  // namespace

OfferedMenu OfferedCommands(MenuSelection selection) {
  OfferedMenu menu;
  if (!selection.Accepted || selection.SelectedFiles.empty()) return menu;
  menu.Selection = std::move(selection);
  MenuSelection& state = menu.Selection;
  FlatList list(menu);
  const MenuKind kind = KindOf(state);

  if (kind == MenuKind::Multiple) {
    list.AddCommand(kind, CmdConvertSelection, CmdConvertSelection);
    return menu;
  }
  if (kind == MenuKind::Text) {
    menu.Layout.HighestOffsetUsed = HighestSingleSelectionOffset(0, true, state.InBosaDialog);
    list.AddCommand(kind, CmdPrintText, CmdPrintText);
    list.AddCommand(kind, CmdWordpadText, CmdWordpadText);
    list.Group();
    for (UINT offset : {CmdCopyText, CmdCopyTextName}) list.AddCommand(kind, offset, offset);
    list.AddCommand(kind, CmdTextOptions, CmdTextOptions, !state.File(0).HasAnsi());
    return menu;
  }

  // One picture: the open-with entries as the classic menu reads and pads them.
  OpenWithEntries entries = LoadOpenWithEntries();
  state.OpenWithCommands = std::move(entries.Commands);
  state.OpenWithParams = std::move(entries.Params);
  const UINT entryCount = static_cast<UINT>(std::min<size_t>(entries.Captions.size(), kMaxOpenWithCount));
  const UINT n = PadOpenWithLists(static_cast<UINT>(entries.Captions.size()), state.OpenWithCommands,
                                  state.OpenWithParams);
  menu.Layout.CmdFirst = 0;
  menu.Layout.FirstOpenWithId = CmdOpenWithEntry;
  menu.Layout.LastOpenWithId = OpenWithEntryOffset(n - 1);
  menu.Layout.HighestOffsetUsed = HighestSingleSelectionOffset(entryCount, false, state.InBosaDialog);
  const UINT S = ShiftAfterOpenWith(n);
  const bool greyed = state.PictureItemState != 0;
  // Greyed as the classic menu greys them: what would hand a file without
  // an ANSI form to the main program (a bitmap is set as wallpaper here).
  const SelectedFile file = state.File(0);
  const bool mainGreyed = greyed || !file.HasAnsi();
  const bool optionsGreyed = !file.HasAnsi();
  const bool wallpaperGreyed = file.HasAnsi() || IsBitmapFile(file) ? greyed : true;

  const size_t shown = std::min<size_t>(entries.Captions.size(), kMaxOpenWithItems);
  for (size_t i = 0; i < shown; ++i) {
    const std::string& program = state.OpenWithCommands[i];
    if (state.DisplaySymEnabled && IsPlaceholderProgram(program)) continue;
    list.Add(OpenWithEntryOffset(static_cast<UINT>(i)), entries.Captions[i], false, program);
  }
  list.Group();
  for (UINT offset : {CmdConvertJpg, CmdConvertBmp, CmdConvertPng, CmdConvertTif, CmdConvertPcx})
    list.AddCommand(kind, offset, offset, mainGreyed);
  // Inside a "bosa_" dialog the classic menu has only the open-with and conversion popups.
  if (state.InBosaDialog) return menu;
  list.Group();
  list.AddCommand(kind, CmdConvert, CmdConvert, mainGreyed);
  list.AddCommand(kind, CmdPrintPreview, CmdPrintPreview, mainGreyed);
  list.Group();
  list.AddCommand(kind, S + CmdCopyImage, CmdCopyImage, mainGreyed);
  list.AddCommand(kind, S + CmdCopyImageName, CmdCopyImageName);
  list.Group();
  for (UINT style : {CmdWallpaperCentered, CmdWallpaperTiled, CmdWallpaperScaled})
    list.AddCommand(kind, S + style, style, wallpaperGreyed);
  list.Group();
  list.AddCommand(kind, S + CmdOptions, CmdOptions, optionsGreyed);
  return menu;
}

}  // namespace ombrelo
