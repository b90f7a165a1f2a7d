// GetCommandString: the status-bar help text of the item under the mouse,
// in ANSI and in the active language; the handler offers no verbs.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bridge/Channel.h"
#include "lang/DMSStrings.h"
#include "menu/CommandIds.h"
#include "menu/FolContMenu.h"
#include "menu/MenuCommands.h"

namespace ombrelo {

namespace {

// The help text of the preview item, which depends on the main program.
std::string GetPreviewHelpText(bool isTextFile) {
  if (isTextFile) return LookupText("@id_open");
  if (!FindMainProgramWindow()) return LookupText("@id_status_EnablePreview");
  if (IsPreviewDisabled()) return LookupText("@id_status_ReEnablePreview");
  return LookupText("@id_status_displayImage");
}

// "Copies "<path>" to the clipboard.", with the ANSI form of the path (help texts are ANSI).
std::string NameText(const std::string& path) {
  return LookupText("@id_status_copy1") + path + LookupText("@id_status_copy2");
}

std::optional<std::string> FixedItemText(UINT_PTR offset, bool isTextFile) {
  switch (offset) {
    case CmdPreview: return GetPreviewHelpText(isTextFile);
    case CmdConvert: return LookupText("@id_status_ConvertImage");
    case CmdConvertJpg: return LookupText("@id_status_jpg");
    case CmdConvertBmp: return LookupText("@id_status_bmp");
    case CmdConvertPng: return LookupText("@id_status_png");
    case CmdConvertTif: return LookupText("@id_status_tiff");
    case CmdConvertPcx: return LookupText("@id_status_pcx");
    case CmdSettings: return LookupText("@idSettings");
    case CmdPrintPreview: return LookupText("@id_status_printpreview");
    default: return std::nullopt;
  }
}

std::optional<std::string> TextItemText(UINT_PTR offset, const MenuSelection& state) {
  switch (offset) {
    case CmdPrintText: return LookupText("@id_status_print_Text");
    case CmdWordpadText: return LookupText("@id_status_wordpad_Text");
    case CmdCopyText: return LookupText("@id_status_copyText");
    case CmdCopyTextName: return NameText(state.File(0).ShownAnsi());
    case CmdTextOptions: return LookupText("@id_status_options");
    default: return std::nullopt;
  }
}

// Copies the text cut to cchMax - 1 characters and a NUL; nothing for cchMax 0.
void CopyOut(const std::string& text, CHAR* out, UINT cchMax) {
  if (!out || cchMax == 0) return;
  size_t length = text.size() < cchMax - 1 ? text.size() : cchMax - 1;
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace

HRESULT ItemHelpText(const MenuSelection& state, const MenuLayout& layout, UINT_PTR offset,
                     std::optional<std::string>& text) {
  text.reset();
  // No selection of this object's own: no item to describe.
  if (!state.Accepted || state.SelectedFiles.empty()) return E_INVALIDARG;

  if (state.IsMultiSelection) {
    if (offset == CmdConvertSelection) text = LookupText("@id_status_ConvertImages");
    return S_OK;
  }
  if (offset >= SingleSelectionOffsetBound(layout.HighestOffsetUsed)) return E_INVALIDARG;

  text = FixedItemText(offset, state.IsTextFile);
  if (!text && state.IsTextFile) text = TextItemText(offset, state);
  if (!text && !state.IsTextFile) {
    const UINT_PTR shift = static_cast<UINT_PTR>(layout.LastOpenWithId) - layout.FirstOpenWithId + 8;
    if (offset == shift + CmdCopyImage) text = LookupText("@id_status_bmpclip");
    else if (offset == shift + CmdCopyImageName) text = NameText(state.File(0).ShownAnsi());
    else if (offset == shift + CmdOptions) text = LookupText("@id_status_options");
    else if (offset == shift + CmdWallpaperCentered) text = LookupText("@id_status_wallpaper_centered");
    else if (offset == shift + CmdWallpaperTiled) text = LookupText("@id_status_wallpaper_tiled");
    else if (offset == shift + CmdWallpaperScaled) text = LookupText("@id_status_wallpaper_scaled");
    else if (layout.LastOpenWithId >= layout.CmdFirst) {
      int entry = OpenWithEntryIndex(static_cast<UINT>(offset), layout.LastOpenWithId - layout.CmdFirst);
      if (entry >= 0 && static_cast<size_t>(entry) < state.OpenWithCommands.size())
        text = state.OpenWithCommands[static_cast<size_t>(entry)];
    }
  }
  return S_OK;
}

HRESULT TFolContMenu::HelpText(UINT_PTR offset, UINT uType, CHAR* pszName, UINT cchMax) {
  if (uType != GCS_HELPTEXTA) return E_INVALIDARG;
  if (!pszName) return E_INVALIDARG;
  std::optional<std::string> text;
  const HRESULT hr = ItemHelpText(Selected, Layout(), offset, text);
  // An item without a text gets the empty text: the caller cannot tell an
  // untouched buffer from an answer.
  if (hr == S_OK) CopyOut(text.value_or(std::string()), pszName, cchMax);
  return hr;
}

}  // namespace ombrelo
