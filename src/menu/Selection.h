#pragma once
// Helpers of selection capture (TFolContMenu::InitializeSelection).
#include <windows.h>

#include <string>
#include <vector>

#include "menu/Classify.h"
#include "menu/DropList.h"
#include "menu/FolContMenu.h"

namespace ombrelo {

inline constexpr const char kHtmlWindowClass[] = "TDisplay_Html_File";
inline constexpr const char kPreviewBitmapName[] = "ombrelo.bmp";

// The window's class name starts with "bosa_" (case-sensitive).
bool IsBosaWindow(HWND window);
// Hands a path to the HTML display window, when one runs, as WM_COPYDATA
// with dwData = code; waits until the window has handled it.
void SendToHtmlWindow(ULONG_PTR code, const std::string& path);
// Whether open-with entries are shown with icons: "DisplaySym" = "true",
// true also when the value is missing or not a string.
bool ReadDisplaySym();

// What selection capture makes of a file list, changing no state: the
// files the commands act on (one file, or the pictures of several), the
// single file's classification (which reads the text settings and the Ctrl
// key, from ctrl), the "bosa_" dialog flag and the preview bitmap's path.
// Accepted says whether the handler offers a menu. DisplaySymEnabled is
// left clear.
MenuSelection CaptureSelection(const DropList& list, KeyState ctrl = KeyState::OfThread);

}  // namespace ombrelo
