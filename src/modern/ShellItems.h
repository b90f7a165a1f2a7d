#pragma once
// The selection of the Windows 11 menu: a shell item array, taken as the
// classic selection capture takes a CF_HDROP list, and the texts of the
// classic menu as the modern menu shows them.
#include <windows.h>
#include <shobjidl.h>

#include <string>

#include "menu/FolContMenu.h"

namespace ombrelo {

// The items' file-system paths in UTF-16, kept beside their ANSI forms
// (SelectedFileOf) and classified as the classic menu classifies them,
// except that the Ctrl key is read as the user holds it (GetAsyncKeyState):
// the Windows 11 menu asks from another process, which never sees the key's
// messages. Folders and items outside the file system are left out
// of the list (they count as names without a usable form). No array, or an
// empty one: a selection that is not accepted.
MenuSelection SelectionOfItems(IShellItemArray* items);

// A classic caption as a plain title: no "&" markers ("&&" stays one "&"),
// and the text after a tab joined with one blank, without the blanks inside
// its parentheses ("&JPG\t( JPEG Format )" reads "JPG (JPEG Format)").
std::string PlainCaption(const std::string& caption);

// A text of the classic menu in UTF-16, read in the code page the ANSI menu
// and status-bar functions use, so that both menus show the same text.
std::wstring WideText(const std::string& ansi);

// The text in UTF-16 as a string the shell frees (CoTaskMemAlloc).
HRESULT ShellString(const std::string& ansi, LPWSTR* out);
HRESULT ShellString(const std::wstring& text, LPWSTR* out);

}  // namespace ombrelo
