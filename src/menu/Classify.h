#pragma once
// File-type classification by extension: pictures, text files, or neither.
// The file contents are never opened.
#include <windows.h>

#include <string>

namespace ombrelo {

// The text from the last "." to the end, dot included, when no "\" or ":"
// follows that dot; else empty.
std::string ExtensionOf(const std::string& path);
// Upper-cases the ASCII letters a-z only.
std::string UpperAscii(std::string text);

// What the classification of one selected file decides.
struct Classification {
  bool supported = false;      // the handler offers its submenu for the file
  bool isTextFile = false;     // text menu instead of picture menu
  UINT pictureItemState = 0;   // 0 usable, MFS_GRAYED (3) greyed picture items
};

// Where the state of a key is read: the keyboard state of the calling
// thread, as its messages left it (GetKeyState: the classic menu, asked on
// the thread that took the right-click), or the key as the user holds it
// now (GetAsyncKeyState: the Windows 11 command, asked in another process
// that never sees the key's messages).
enum class KeyState { OfThread, Physical };

// Classifies one file by its path; reads the text settings, changes no state.
Classification ClassifySingleFile(const std::string& path, KeyState ctrl = KeyState::OfThread);
// ClassifySingleFile, storing IsTextFile and PictureItemState in the shared state.
bool IsSupportedFile(const std::string& path);
// An upper-cased extension that a multiple selection keeps as a picture.
bool IsPictureExtension(const std::string& ext);
// An upper-cased extension that counts as text under the current settings
// ("Txt\Ext", "TxtPreview" and, in mode 2, the Ctrl key).
bool IsTextExtension(const std::string& ext, KeyState ctrl = KeyState::OfThread);
// True while the key is held down.
bool IsKeyDown(int virtualKey, KeyState from = KeyState::OfThread);
// The ANSI form (common/FileNames.h) of the temporary folder as the system
// reports it, trailing backslash included; empty when it has none.
std::string GetTempDirectory();

}  // namespace ombrelo
