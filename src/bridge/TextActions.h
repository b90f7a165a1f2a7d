#pragma once
// Text-file actions: copying a text file's contents or a path to the
// clipboard, and opening a text file in the text viewer.
#include <string>
#include <vector>

#include "common/FileNames.h"

namespace ombrelo {

// nameOnly: puts the path on the clipboard, the full path as CF_UNICODETEXT
// and its ANSI form as CF_TEXT. Otherwise a text file's text goes to the
// clipboard (CopyTextFileToClipboard); a file that cannot be read leaves the
// clipboard as it was. For a picture the main program is asked to copy it
// ("PicClip"), since only it reads every picture format. isTextFile tells
// which of the two the path is.
void CopyToClipboard(const SelectedFile& file, bool nameOnly, bool isTextFile);
// The same, with isTextFile taken from the module-wide IsTextFile.
void CopyToClipboard(const SelectedFile& file, bool nameOnly);
// Joins the lines with CR LF (none after the last) and stores the text as
// CF_TEXT. False when the clipboard could not be written.
bool CopyLinesToClipboard(const std::vector<std::string>& lines);
// Empties the clipboard and stores text as CF_TEXT; the clipboard is closed
// again on every path. False when it could not be written.
bool PutTextOnClipboard(const std::string& text);

// How the bytes of a text file are read: a UTF-8 or UTF-16 byte-order mark
// says so; bytes that are valid UTF-8 and not plain ASCII are UTF-8;
// anything else is the ANSI code page.
enum class TextEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

// A text file's text on the clipboard: the text ends at the first NUL
// character, every line break (CR LF, a lone CR, a lone LF) becomes CR LF
// and a break at the very end is left out; what does not decode becomes
// U+FFFD. An ANSI file's bytes go to CF_TEXT as they are, a decoded file's
// text to CF_UNICODETEXT; the system gives the other form on request, in the
// ANSI code page (CF_LOCALE). The file is read twice: once for its encoding
// and its text's length, once into the clipboard block. False (the
// clipboard untouched) when the file cannot be read, and for a file over
// 256 MiB, which is not read at all: the user is told so.
bool CopyTextFileToClipboard(const std::wstring& path);

// Opens the file in the program of "ViewerCmd" (a full path; by default
// Notepad of the system folder), or in the text editor (TextEditor.h) when
// that cannot be started.
void OpenInTextViewer(const SelectedFile& file);

}  // namespace ombrelo
