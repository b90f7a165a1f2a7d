#pragma once
// One WM_COPYDATA message: dwData = code, cbData = text length + 1, lpData =
// the zero-terminated ANSI text, wParam 0. Used for the main program's
// command window and for the HTML display window.
#include <windows.h>

#include <string>

namespace ombrelo {

// Sends the message and waits until the receiver has handled it, at most
// timeoutMs (a hung receiver is given up at once). True when it was delivered.
bool SendCopyData(ULONG_PTR code, const std::string& text, HWND window, UINT timeoutMs);

}  // namespace ombrelo
