#pragma once
// Text-file actions: copying a text file's contents or a path to the
// clipboard, and opening a text file in the text viewer.
#include <string>
#include <vector>

namespace ombrelo {

// nameOnly: puts the path itself on the clipboard. Otherwise a text file's
// text goes to the clipboard, bytes as they are: the text ends at the first
// NUL byte, every line break (CR LF, a lone CR, a lone LF) becomes CR LF and
// a break at the very end is left out; a file that cannot be read leaves the
// clipboard as it was. For a picture the main program is asked to copy it
// ("PicClip"), since only it reads every picture format. isTextFile tells
// which of the two the path is.
void CopyToClipboard(const std::string& path, bool nameOnly, bool isTextFile);
// The same, with isTextFile taken from the module-wide IsTextFile.
void CopyToClipboard(const std::string& path, bool nameOnly);
// Joins the lines with CR LF (none after the last) and stores the text as
// CF_TEXT. False when the clipboard could not be written.
bool CopyLinesToClipboard(const std::vector<std::string>& lines);
// Empties the clipboard and stores text as CF_TEXT; the clipboard is closed
// again on every path. False when it could not be written.
bool PutTextOnClipboard(const std::string& text);
// Opens the file in the program of "ViewerCmd" (by default Notepad), or in
// the program associated with its type when that cannot be started.
void OpenInTextViewer(const std::string& path);

}  // namespace ombrelo
