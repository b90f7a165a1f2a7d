#pragma once
// The icon of a program as the menus show it: the open-with programs and the
// main program, in the classic menu (an icon handle) and in the Windows 11
// menu (an icon location the shell reads). Both decide by the one path rule
// (common/PathRule.h): a program on a path that may be touched while the
// menu is built shows its own icon; one on a network share or a drive that
// is not ready shows a generic icon, and its file is never read for it.
#include <windows.h>

#include <string>

namespace ombrelo {

// The program's small icon (the shell's small icon size), for the caller to
// destroy; null for an empty path or when the shell has none (a missing
// local program). For a program on a path that may not be touched, the
// shell is asked for the icon of the program's file type by its extension
// alone (SHGFI_USEFILEATTRIBUTES), so the file is not touched and the
// icon exists whether or not the file does.
HICON LoadProgramIcon(const std::wstring& program);
// The same with the path rule's verdict on program already at hand.
HICON LoadProgramIcon(const std::wstring& program, bool mayBeTouched);

// The icon location ("file,index") the Windows 11 menu is given for the
// program: "program,0" for a program on a path that may be touched (the
// shell reads the icon from the file itself); for one on a path that may
// not be touched the system's generic program icon (SHGetStockIconInfo,
// SIID_APPLICATION), never a location in the program's file. Empty for an
// empty path, or when the system names no generic icon.
std::wstring ProgramIconLocation(const std::wstring& program);

}  // namespace ombrelo
