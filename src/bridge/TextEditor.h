#pragma once
// Where a text file is opened for reading: WordPad, the text viewer of the
// settings, and the text editor they fall back to. A file the user wants to
// read is never opened by its own "open" verb, which runs a script.
#include <windows.h>

#include <string>

namespace ombrelo {

// WordPad's full path as the shell finds it: its App Paths entry (the
// user's, then the machine's), else "%ProgramFiles%\Windows NT\Accessories".
// Empty when neither names an existing file (Windows 11 24H2 has none).
std::wstring FindWordpad();

// Opens the file in WordPad, or in the text editor where there is none.
void OpenInWordpad(const std::wstring& path);

// Starts the text viewer (a full path) with the file; where it cannot be
// started, the file opens in the text editor.
void OpenInTextViewerProgram(const std::wstring& viewer, const std::wstring& path);

// Opens the file in a text editor: the program that the file type's "edit"
// verb names, else the program registered for ".txt", else Notepad of the
// system folder. Each is started by its full path with the file as its one
// argument.
void OpenInTextEditor(const std::wstring& path);

}  // namespace ombrelo
