// InvokeCommand: turns the chosen item's command offset into its action.
// Most picture commands become a verb for the main program, the convert
// commands start it with a list file, the rest go to the picture display,
// the wallpaper, the text-file actions or the shell.
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <string>
#include <vector>

#include "bridge/Channel.h"
#include "bridge/MainProgram.h"
#include "bridge/PathParts.h"
#include "bridge/TextActions.h"
#include "bridge/TextEditor.h"
#include "bridge/Viewer.h"
#include "bridge/Wallpaper.h"
#include "common/Guarded.h"
#include "common/FileNames.h"
#include "common/Handles.h"
#include "lang/DMSStrings.h"
#include "menu/CommandIds.h"
#include "menu/FolContMenu.h"
#include "menu/MenuCommands.h"

namespace ombrelo {

namespace {

// A new empty file "spm<hex>.tmp" in the temporary folder, made through its
// UTF-16 path; empty on failure.
std::wstring CreateTempListFile() {
  const std::wstring folder = TempFolderPath();
  if (folder.empty()) return {};
  wchar_t name[MAX_PATH] = {};
  if (!GetTempFileNameW(folder.c_str(), L"spm", 0, name)) return {};
  return name;
}

// Each path followed by CR LF, the last one included.
bool WriteListFile(const std::wstring& listFile, const std::vector<std::string>& paths) {
  std::string bytes;
  for (const std::string& path : paths) bytes += path + "\r\n";
  UniqueFile file(CreateFileW(listFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

const char* NoAnsiTempFolderText() {
  return ActiveLanguageIndex() == 0
             ? "Der Ordner f\xFCr tempor\xE4re Dateien hat keinen Namen, den das Hauptprogramm lesen kann. Die "
               "Bilder wurden nicht konvertiert."
             : "The folder for temporary files has no name that the main program can read. The pictures were not "
               "converted.";
}

// Hands the files to the main program's conversion ("MultiConv <list
// file>"). The list file stays: the main program reads it after we return.
// It is given the list's ANSI form; where the temporary folder has none,
// the list goes again and the user is told, since a best-fit name could
// name another user's file.
void ConvertWithListFile(const std::vector<std::string>& paths) {
  const std::wstring listFile = CreateTempListFile();
  if (listFile.empty()) return;
  const std::string listAnsi = AnsiPathOf(listFile);
  if (listAnsi.empty()) {
    DeleteFileW(listFile.c_str());
    MessageBoxA(GetForegroundWindow(), NoAnsiTempFolderText(), "Ombrelo", MB_ICONERROR);
    return;
  }
  if (!WriteListFile(listFile, paths)) return;
  StartMainProgram(listAnsi, 0, listAnsi, true);
}

// The main program's verbs for the fixed items of both menus.
const char* FixedItemVerb(UINT offset) {
  switch (offset) {
    case CmdConvertJpg: return "jpg";
    case CmdConvertBmp: return "bmp";
    case CmdConvertPng: return "png";
    case CmdConvertTif: return "tif";
    case CmdConvertPcx: return "pcx";
    case CmdSettings: return "nix";
    default: return nullptr;
  }
}

// Whether the command at offset hands the file to the main program: the
// conversions, convert, print preview, copy image, the options, a picture's
// preview item and the wallpaper styles of a picture that is no bitmap.
bool HandsToMainProgram(UINT offset, UINT shift, bool isTextFile, const SelectedFile& file) {
  if (offset == CmdConvert || FixedItemVerb(offset)) return true;
  if (isTextFile) return offset == CmdTextOptions;
  if (offset == CmdPreview || offset == CmdPrintPreview) return true;
  if (offset == shift + CmdCopyImage || offset == shift + CmdOptions) return true;
  const bool wallpaper =
      offset == shift + CmdWallpaperCentered || offset == shift + CmdWallpaperTiled || offset == shift + CmdWallpaperScaled;
  return wallpaper && !IsBitmapFile(file);
}

}  // namespace

HRESULT TFolContMenu::RunCommand(const CMINVOKECOMMANDINFO* lpici) {
  // The verb and the owner window must lie within the structure the caller gave.
  if (!lpici || lpici->cbSize < offsetof(CMINVOKECOMMANDINFO, lpParameters)) return E_INVALIDARG;
  // Commands are accepted by offset only, never by verb string.
  const UINT_PTR verb = reinterpret_cast<UINT_PTR>(lpici->lpVerb);
  if (verb >> 16 != 0) return E_FAIL;
  const UINT offset = static_cast<UINT>(verb & 0xFFFF);
  // A copy of this object's own selection: the actions wait for dialogs and
  // other programs, and must act on the files of this menu.
  return RunItemCommand(Selected, Layout(), offset, lpici->hwnd);
}

HRESULT RunItemCommand(const MenuSelection state, const MenuLayout& layout, UINT offset, HWND owner) {
  if (!state.Accepted || state.SelectedFiles.empty()) return E_FAIL;  // nothing was selected
  // The main program is given the ANSI form; everything the extension does
  // itself takes the full path.
  const SelectedFile file = state.File(0);
  const std::string& path = file.Ansi;

  if (state.IsMultiSelection) {
    if (offset != CmdConvertSelection) return E_FAIL;
    Contained([&] { ConvertWithListFile(state.SelectedFiles); });
    return S_OK;
  }
  if (offset >= SingleSelectionOffsetBound(layout.HighestOffsetUsed)) return E_INVALIDARG;

  // Each action contains its own failures: a command that was recognised
  // reports S_OK.
  auto run = [](auto&& action) {
    Contained(action);
    return S_OK;
  };

  // A file without an ANSI form cannot be handed to the main program: its
  // commands are greyed, and refused when called all the same.
  const UINT shift = layout.LastOpenWithId - layout.FirstOpenWithId + 8;
  if (!file.HasAnsi() && HandsToMainProgram(offset, shift, state.IsTextFile, file)) return E_FAIL;

  if (offset == CmdPreview) return run([&] { DisplayPicture(owner, file, state.IsTextFile); });
  // One picture converted like a multiple selection: "MultiConv " and a list file.
  if (offset == CmdConvert) return run([&] { ConvertWithListFile(state.SelectedFiles); });
  if (const char* verbText = FixedItemVerb(offset))
    return run([&] { SendMainProgramCommand(path, verbText); });

  if (state.IsTextFile) {
    switch (offset) {
      case CmdPrintText:
        return run([&] { ShellExecuteW(nullptr, L"print", file.Path.c_str(), L"", L"", SW_SHOWNORMAL); });
      case CmdWordpadText:
        return run([&] { OpenInWordpad(file.Path); });
      case CmdCopyText: return run([&] { CopyToClipboard(file, false, state.IsTextFile); });
      case CmdCopyTextName: return run([&] { CopyToClipboard(file, true, state.IsTextFile); });
      case CmdTextOptions: return run([&] { SendMainProgramCommand(path, "options"); });
      default: return E_FAIL;
    }
  }

  if (offset == shift + CmdCopyImage) return run([&] { CopyToClipboard(file, false, state.IsTextFile); });
  if (offset == shift + CmdCopyImageName) return run([&] { CopyToClipboard(file, true, state.IsTextFile); });
  if (offset == shift + CmdOptions) return run([&] { SendMainProgramCommand(path, "options"); });
  if (offset == CmdPrintPreview) return run([&] { SendMainProgramCommand(path, "drucken"); });
  if (offset == shift + CmdWallpaperCentered) return run([&] { SetWallpaper(file, kWallpaperCentered); });
  if (offset == shift + CmdWallpaperTiled) return run([&] { SetWallpaper(file, kWallpaperTiled); });
  if (offset == shift + CmdWallpaperScaled) return run([&] { SetWallpaper(file, kWallpaperScaled); });
  if (layout.LastOpenWithId >= layout.CmdFirst) {
    int entry = OpenWithEntryIndex(offset, layout.LastOpenWithId - layout.CmdFirst);
    if (entry >= 0)
      return run([&] {
        size_t i = static_cast<size_t>(entry);
        if (i >= state.OpenWithCommands.size()) return;  // no such entry: nothing to start
        const std::string params = i < state.OpenWithParams.size() ? state.OpenWithParams[i] : std::string();
        RunOpenWithProgram(state.OpenWithCommands[i], file, params, owner);
      });
  }
  return E_FAIL;
}

}  // namespace ombrelo
