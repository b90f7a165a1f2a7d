#include "dialogs/UFBrowse.h"

#include <objbase.h>

#include "common/FileNames.h"

namespace ombrelo {

TFolderBrowse::TFolderBrowse(ui::TComponent* owner) : ui::TComponent(owner) {}

bool TFolderBrowse::Execute(HWND owner) {
  displayName_[0] = '\0';
  info_ = {};
  info_.hwndOwner = owner;
  info_.pidlRoot = nullptr;  // the browser starts at the desktop
  info_.pszDisplayName = displayName_;
  info_.lpszTitle = Title.c_str();
  info_.ulFlags = BIF_RETURNONLYFSDIRS;
  info_.lpfn = &TFolderBrowse::BrowseCallback;
  info_.lParam = reinterpret_cast<LPARAM>(this);

  PIDLIST_ABSOLUTE list = SHBrowseForFolderA(&info_);
  info_.lpszTitle = nullptr;  // Title may change between calls
  if (!list) return false;    // cancelled: Directory stays as it was
  // The path in UTF-16 and then its ANSI form (common/FileNames.h): an ANSI
  // query would give a folder outside the code page as its best-fit
  // neighbour, another folder. One without an ANSI form counts as no path.
  wchar_t path[MAX_PATH + 1] = {};
  const bool got = SHGetPathFromIDListW(list, path) != FALSE;
  CoTaskMemFree(list);
  path[MAX_PATH] = L'\0';
  const std::string ansi = got ? AnsiPathOf(path) : std::string();
  const bool ok = !ansi.empty();
  // Only a real path replaces Directory; a drive root keeps its backslash.
  if (ok) Directory = ansi;
  return ok;
}

int CALLBACK TFolderBrowse::BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  auto* self = reinterpret_cast<TFolderBrowse*>(data);
  if (message == BFFM_INITIALIZED && self && !self->Directory.empty())
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(self->Directory.c_str()));
  return 0;
}

}  // namespace ombrelo
