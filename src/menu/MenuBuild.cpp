// QueryContextMenu: the handler's items for a single picture, a single text
// file or a multiple selection, the preview request to the main program and
// the preview picture as an owner-drawn item.
#include "menu/MenuBuild.h"

#include <algorithm>
#include <cstdint>

#include "bridge/Channel.h"
#include "bridge/MainProgram.h"
#include "bridge/Wallpaper.h"
#include "common/FileNames.h"
#include "common/PathRule.h"
#include "lang/DMSStrings.h"
#include "menu/CommandIds.h"
#include "menu/FolContMenu.h"
#include "menu/MenuCommands.h"
#include "menu/OwnerDraw.h"
#include "menu/PreviewFile.h"
#include "server/ModuleState.h"
#include "settings/OpenWith.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {

HRESULT Count(UINT count) { return MAKE_HRESULT(SEVERITY_SUCCESS, 0, count); }

// Whether identifiers first .. first + count - 1 all lie within idCmdLast.
bool HasRoom(UINT first, UINT last, UINT count) {
  return count == 0 || (last >= first && uint64_t{last} - first + 1 >= count);
}

bool InsertItem(HMENU menu, UINT position, UINT mask, UINT type, UINT state, UINT id, const std::string& caption,
                HMENU submenu = nullptr) {
  MENUITEMINFOA item{};
  item.cbSize = sizeof(item);  // 44 bytes on 32 bits
  item.fMask = mask;
  item.fType = type;
  item.fState = state;
  item.wID = id;
  item.hSubMenu = submenu;
  if (type == MFT_STRING) {
    item.dwTypeData = const_cast<char*>(caption.c_str());
    item.cch = static_cast<UINT>(caption.size());
  }
  return InsertMenuItemA(menu, position, TRUE, &item) != FALSE;
}

UINT End(HMENU menu) {
  int count = GetMenuItemCount(menu);
  return count < 0 ? 0 : static_cast<UINT>(count);
}

bool Append(HMENU menu, UINT id, const std::string& caption, UINT state = 0) {
  return InsertItem(menu, End(menu), kOrdinaryItemMask, MFT_STRING, state, id, caption);
}

bool AppendSeparator(HMENU menu, UINT id) {
  return InsertItem(menu, End(menu), kOrdinaryItemMask, MFT_SEPARATOR, 0, id, std::string());
}

// Turns the placeholder item at position into a popup of submenu; the menu
// owns the submenu from then on. A submenu that could not be attached is
// destroyed by its owner.
void AttachPopup(HMENU menu, UINT position, UniqueMenu& submenu, const std::string& caption) {
  if (submenu && ModifyMenuA(menu, position, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu.get()),
                             caption.c_str()))
    submenu.release();
}

// Gives the item at position the main program's icon, as the open-with
// entries have their programs' (with "DisplaySym"), when Ombrelo.exe is
// found; the bitmap comes from the same cache as theirs.
void SetMainProgramIcon(HMENU menu, UINT position) {
  const std::string program = FindMainProgramExecutable();
  if (program.empty()) return;
  HBITMAP bitmap = ProgramIconItemBitmap(program);
  if (!bitmap) return;
  MENUITEMINFOA item{};
  item.cbSize = sizeof(item);
  item.fMask = MIIM_BITMAP;
  item.hbmpItem = bitmap;
  SetMenuItemInfoA(menu, position, TRUE, &item);
}

}  // namespace

MenuKind KindOf(const SelectionState& selection) {
  if (selection.IsMultiSelection) return MenuKind::Multiple;
  return selection.IsTextFile ? MenuKind::Text : MenuKind::Picture;
}

std::string CommandCaption(MenuKind kind, UINT offset) {
  if (kind == MenuKind::Multiple) return offset == CmdConvertSelection ? LookupText("@idConvert") : std::string();
  if (kind == MenuKind::Text) {
    switch (offset) {
      case CmdPrintText: return LookupText("@idPrintTxt");
      case CmdWordpadText: return LookupText("@idWordpadTxt");
      case CmdCopyText: return LookupText("@idCopyText");
      case CmdCopyTextName: return LookupText("@idCopyTextName");
      case CmdTextOptions: return LookupText("@idOmbreloOptions");
      default: return {};
    }
  }
  switch (offset) {
    case CmdConvert: return LookupText("@idConvert");
    case CmdConvertJpg: return "&JPG\t( JPEG Format )";
    case CmdConvertBmp: return "&BMP\t( Windows Bitmap )";
    case CmdConvertPng: return "P&NG\t( Portable Network Graphic )";
    case CmdConvertTif: return "&TIF\t( TIFF Format )";
    case CmdConvertPcx: return "&PCX\t( ZSoft PC Paintbrush )";
    case CmdSettings: return LookupText("@idSettings");
    case CmdPrintPreview: return LookupText("@idPrintPreview");
    case CmdCopyImage: return LookupText("@idCopyImage");
    case CmdCopyImageName: return LookupText("@idCopyImageName");
    case CmdOptions: return LookupText("@idOmbreloOptions");
    case CmdWallpaperCentered: return LookupText("@idCentered");
    case CmdWallpaperTiled: return LookupText("@idTiled");
    case CmdWallpaperScaled: return LookupText("@idScaled");
    default: return {};
  }
}

bool ReadMainMenuSetting(bool isTextFile) {
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, isTextFile ? kTxtKey : kProgramKey)) return true;
  std::optional<std::string> value = key.ReadString("Mainmenu");
  return !value || *value == "true";
}

PreviewItemText GetPreviewItemText() {
  if (!FindMainProgramWindow()) return {LookupText("@idEnablePreview"), MFS_DEFAULT};
  if (IsPreviewDisabled()) return {LookupText("@idPreviewIsDisabled"), MFS_DEFAULT};
  return {LookupText("@idUnkownFormat"), MFS_GRAYED, true};
}

UINT BuildOpenWithMenu(HMENU submenu, UINT first, const std::vector<std::string>& captions,
                       std::vector<std::string>& commands, std::vector<std::string>& params, bool withIcons) {
  if (!captions.empty()) {
    const size_t shown = std::min<size_t>(captions.size(), kMaxOpenWithItems);
    IconItemCanvas canvas;
    for (size_t i = 0; i < shown; ++i) {
      const UINT id = first - CmdOpenWithEntry + OpenWithEntryOffset(static_cast<UINT>(i));
      if (withIcons)
        InsertIconMenuItem(i < commands.size() ? commands[i] : std::string(), captions[i], id, submenu, &canvas);
      else Append(submenu, id, captions[i]);
    }
  }
  return PadOpenWithLists(static_cast<UINT>(captions.size()), commands, params);
}

UINT PadOpenWithLists(UINT captionCount, std::vector<std::string>& commands, std::vector<std::string>& params) {
  // Commands and help texts index these lists by entry; fillers have no item.
  while (commands.size() < kMinOpenWithEntries) commands.push_back("Dummy");
  while (params.size() < kMinOpenWithEntries) params.push_back("Dummy");
  return std::max<UINT>(captionCount, kMinOpenWithEntries);
}

UINT HighestSingleSelectionOffset(UINT openWithCount, bool isTextFile, bool inBosaDialog) {
  if (isTextFile) return CmdTrailingSeparator;
  const UINT shift = ShiftAfterOpenWith(std::max(openWithCount, kMinOpenWithEntries));
  // Without the miscellaneous submenu the trailing separator is the last item.
  return shift + (inBosaDialog ? CmdTrailingSeparator : CmdWallpaperScaled);
}

UINT SingleSelectionCount(UINT highestOffset) { return std::max(kSingleSelectionCount, highestOffset + 1); }

HRESULT TFolContMenu::BuildMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast, UINT) {
  const UINT F = idCmdFirst;
  // The settings file, the programs and the preview ask each drive once.
  DrivesOfOneMenu drives;
  // A new menu replaces the preview of this object's previous one.
  PreviewBitmap.reset();
  PreviewWidth = 0;
  PreviewHeight = 0;

  // Only this object's own accepted selection gets a menu: before its
  // Initialize, or after one that refused the files, nothing is added.
  // Worked on as a copy: the preview requests below wait for the main
  // program, and calls that arrive meanwhile must not change it under us.
  MenuSelection state = Selected;
  if (!state.Accepted || state.SelectedFiles.empty()) return Count(0);

  if (state.IsMultiSelection) {
    if (!HasRoom(F, idCmdLast, 1)) return Count(0);
    if (!InsertItem(hmenu, indexMenu, kOrdinaryItemMask, MFT_STRING, 0, F + CmdConvertSelection,
                    CommandCaption(MenuKind::Multiple, CmdConvertSelection)))
      MessageBeep(0);
    return Count(1);
  }

  const bool text = state.IsTextFile;
  // The convert, print-preview and miscellaneous items: pictures outside "bosa_" dialogs.
  const bool full = !text && !state.InBosaDialog;
  const UINT pictureState = state.PictureItemState;
  // A file without an ANSI form cannot be handed to the main program: its
  // commands are greyed, and nothing of it is sent for a preview.
  const SelectedFile file = state.File(0);
  const bool toMainProgram = file.HasAnsi();
  const UINT mainProgramState = toMainProgram ? pictureState : MFS_GRAYED;
  const UINT optionsState = toMainProgram ? 0 : MFS_GRAYED;
  // A bitmap is set as wallpaper by the extension itself.
  const UINT wallpaperState = toMainProgram || IsBitmapFile(file) ? pictureState : MFS_GRAYED;
  // Read once for this menu: the placement of the preview item, of the
  // miscellaneous popup and of the preview request must agree, also when
  // the setting changes while the menu is built.
  const bool previewInShellMenu = ReadMainMenuSetting(text);

  // A repeated QueryContextMenu starts the lists afresh, so they always
  // match the entries of this menu.
  OpenWithEntries entries;
  if (!text) entries = LoadOpenWithEntries();
  const std::vector<std::string>& captions = entries.Captions;
  state.OpenWithCommands = std::move(entries.Commands);
  state.OpenWithParams = std::move(entries.Params);
  const UINT entryCount = static_cast<UINT>(std::min<size_t>(captions.size(), kMaxOpenWithCount));
  const UINT highest = HighestSingleSelectionOffset(entryCount, text, state.InBosaDialog);
  const UINT count = SingleSelectionCount(highest);
  // Identifiers beyond idCmdLast belong to the shell or another handler.
  if (!HasRoom(F, idCmdLast, count)) {
    HighestOffsetUsed = 0;
    return Count(0);
  }

  UniqueMenu main(CreatePopupMenu());
  if (!main) {
    MessageBeep(0);
    return Count(0);
  }
  const HMENU mainMenu = main.get();
  PreviewCommandId = F + CmdPreview;
  HighestOffsetUsed = highest;
  const PreviewItemText preview = GetPreviewItemText();

  Append(mainMenu, F + 0, text ? CommandCaption(MenuKind::Text, CmdPrintText) : LookupText("@idOeffnenMit"));
  Append(mainMenu, F + 1, text ? CommandCaption(MenuKind::Text, CmdWordpadText) : LookupText("@idDirectConvert"));
  AppendSeparator(mainMenu, F + CmdSeparator);
  if (!previewInShellMenu)
    InsertItem(mainMenu, End(mainMenu), kPreviewItemMask, MFT_STRING, preview.State, F + CmdPreview, preview.Caption);
  Append(mainMenu, F + 4, text ? CommandCaption(MenuKind::Text, CmdCopyText) : LookupText("@idSizeTemplate"),
         text ? 0 : pictureState);
  Append(mainMenu, F + 5, text ? CommandCaption(MenuKind::Text, CmdCopyTextName) : LookupText("@idColorsTemplate"),
         text ? 0 : pictureState);
  Append(mainMenu, F + 6, text ? CommandCaption(MenuKind::Text, CmdTextOptions) : LookupText("@idFormatTemplate"),
         text ? optionsState : pictureState);
  if (full) {
    AppendSeparator(mainMenu, F + CmdSeparator);
    Append(mainMenu, F + CmdConvert, CommandCaption(MenuKind::Picture, CmdConvert), mainProgramState);
    Append(mainMenu, F + CmdPrintPreview, CommandCaption(MenuKind::Picture, CmdPrintPreview), mainProgramState);
    Append(mainMenu, F + CmdMiscPopup, "other");
  }

  UINT shift = 0;
  if (!text) {
    UniqueMenu convert(CreatePopupMenu());
    if (convert) {
      for (UINT offset : {CmdConvertJpg, CmdConvertBmp, CmdConvertPng, CmdConvertTif, CmdConvertPcx})
        Append(convert.get(), F + offset, CommandCaption(MenuKind::Picture, offset), mainProgramState);
    }
    AttachPopup(mainMenu, 1, convert, LookupText("@idDirectConvert"));

    UniqueMenu openWith(CreatePopupMenu());
    CmdFirst = F;
    FirstOpenWithId = F + CmdOpenWithEntry;
    const UINT n = openWith ? BuildOpenWithMenu(openWith.get(), FirstOpenWithId, captions, state.OpenWithCommands,
                                                state.OpenWithParams, state.DisplaySymEnabled)
                            : std::max(entryCount, kMinOpenWithEntries);
    LastOpenWithId = F + OpenWithEntryOffset(n - 1);
    if (openWith) {
      AppendSeparator(openWith.get(), F + CmdOpenWithSeparator);
      Append(openWith.get(), F + CmdSettings, CommandCaption(MenuKind::Picture, CmdSettings), optionsState);
    }
    AttachPopup(mainMenu, 0, openWith, LookupText("@idOeffnenMit"));
    shift = ShiftAfterOpenWith(n);
    // Published for the module as the last menu built; this object's help
    // texts and commands use its own copy.
    WithState([&](SharedState& s) {
      s.OpenWithCommands = state.OpenWithCommands;
      s.OpenWithParams = state.OpenWithParams;
    });
  }
  Selected.OpenWithCommands = state.OpenWithCommands;
  Selected.OpenWithParams = state.OpenWithParams;

  if (full) {
    const UINT S = shift;
    UniqueMenu misc(CreatePopupMenu());
    if (misc) {
      Append(misc.get(), F + S + CmdCopyImage, CommandCaption(MenuKind::Picture, CmdCopyImage), mainProgramState);
      Append(misc.get(), F + S + CmdCopyImageName, CommandCaption(MenuKind::Picture, CmdCopyImageName));
      Append(misc.get(), F + S + CmdWallpaperPopup, LookupText("@id_wallpaper"), pictureState);
      AppendSeparator(misc.get(), F + S + CmdMiscSeparator);
      Append(misc.get(), F + S + CmdOptions, CommandCaption(MenuKind::Picture, CmdOptions), optionsState);
      UniqueMenu wallpaper(CreatePopupMenu());
      if (wallpaper) {
        for (UINT style : {CmdWallpaperCentered, CmdWallpaperTiled, CmdWallpaperScaled})
          Append(wallpaper.get(), F + S + style, CommandCaption(MenuKind::Picture, style), wallpaperState);
      }
      AttachPopup(misc.get(), 2, wallpaper, LookupText("@idWallpaper"));
    }
    // The placeholder "other" stands at 9 when the preview item went into
    // the shell's menu and at 10 when it is in the submenu.
    const UINT position = previewInShellMenu ? 9 : 10;
    if (GetMenuItemID(mainMenu, static_cast<int>(position)) == F + CmdMiscPopup)
      AttachPopup(mainMenu, position, misc, LookupText("@idMisc"));
  }

  InsertItem(hmenu, indexMenu, kOrdinaryItemMask, MFT_SEPARATOR, 0, F + shift + CmdTopLevel, std::string());
  if (InsertItem(hmenu, indexMenu + 1, kTopLevelItemMask, MFT_STRING, 0, F + shift + CmdTopLevel, kTopLevelCaption,
                 mainMenu)) {
    main.release();  // the shell's menu owns it now
    if (state.DisplaySymEnabled) SetMainProgramIcon(hmenu, indexMenu + 1);
  } else {
    MessageBeep(0);
  }

  // The main program prepares the preview and may fill in the information
  // lines of the menu it receives while it handles each request. What lies
  // at the preview path before is an earlier picture's.
  // The main program writes the preview into the temporary folder as it
  // names it in ANSI: a folder without an ANSI form gets no request, so no
  // bitmap of another folder is ever asked for or shown.
  const std::string& path = file.Ansi;
  const std::wstring& previewPath = state.PreviewBitmapFile;
  const bool mayRequest = toMainProgram && !state.PreviewBitmapPath.empty();
  const bool pictureAwaited = mayRequest && preview.PictureAwaited && Globals().IsWindowsNT;
  const PreviewFileVersion before = pictureAwaited ? PreviewFileVersionAt(previewPath) : PreviewFileVersion();
  // All requests of this menu share one deadline: a main program that is
  // slow to answer costs the menu its preview, not the shell its menu. Once
  // a request has run out, the next one is not sent.
  RequestBudget budget;
  bool answered = true;
  auto request = [&](const std::string& text, HMENU menu) {
    if (mayRequest && answered) answered = RequestPreview(text, menu, budget) != PreviewRequestResult::Unanswered;
  };
  HMENU previewMenu = mainMenu;
  if (previewInShellMenu) {
    InsertItem(hmenu, indexMenu + 2, kPreviewItemMask, MFT_STRING, preview.State, F + CmdPreview, preview.Caption);
    previewMenu = hmenu;
    request("_" + path, hmenu);
    InsertItem(hmenu, indexMenu + 3, kOrdinaryItemMask, MFT_SEPARATOR, 0, F + shift + CmdTrailingSeparator,
               std::string());
    request("+" + path, mainMenu);
  } else {
    InsertItem(hmenu, indexMenu + 2, kOrdinaryItemMask, MFT_SEPARATOR, 0, F + shift + CmdTrailingSeparator,
               std::string());
    request(path, mainMenu);
  }

  // A file the main program cannot be given has no preview of its own (a
  // bitmap left by an earlier request would show another file); a picture's
  // preview item, which hands it to the main program, is greyed.
  if (!toMainProgram) {
    if (!text)
      ModifyMenuA(previewMenu, F + CmdPreview, MF_BYCOMMAND | MF_STRING | MF_GRAYED | MF_DISABLED, F + CmdPreview,
                  preview.Caption.c_str());
    return Count(count);
  }
  if (!mayRequest) return Count(count);
  // The preview picture, on NT only and only while the main program runs
  // with its preview enabled; otherwise the item keeps the caption that says
  // how to get a preview.
  if (Globals().IsWindowsNT && FindMainProgramWindow() && !IsPreviewDisabled()) {
    // Read once, here: measuring and drawing use this bitmap and never the
    // file, which another program may change at any time. Only a picture
    // that the answered requests wrote is taken.
    UniqueBitmap bitmap;
    if (pictureAwaited && answered) bitmap = ReadPreviewFile(previewPath, before);
    BITMAP size{};
    if (bitmap && GetObjectA(bitmap.get(), sizeof(size), &size)) {
      PreviewWidth = size.bmWidth;
      PreviewHeight = size.bmHeight;
      ModifyMenuA(previewMenu, F + CmdPreview, MF_BYCOMMAND | MF_OWNERDRAW, F + CmdPreview,
                  reinterpret_cast<LPCSTR>(bitmap.get()));
      PreviewBitmap = std::move(bitmap);
    } else {
      // No picture, or none that can be read: the format is not known.
      ModifyMenuA(previewMenu, F + CmdPreview, MF_BYCOMMAND | MF_STRING | MF_GRAYED | MF_DISABLED, F + CmdPreview,
                  LookupText("@idUnkownFormat").c_str());
    }
  }
  return Count(count);
}

}  // namespace ombrelo
