#pragma once
// Helpers of selection capture (TFolContMenu::InitializeSelection).
#include <windows.h>

#include <string>
#include <vector>

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

}  // namespace ombrelo
