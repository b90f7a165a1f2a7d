#pragma once
// Text-file actions: copying a text file's contents or a path to the
// clipboard, and opening a text file in the text viewer.
#include <optional>
#include <string>
#include <vector>

namespace ombrelo {

// nameOnly: puts the path itself on the clipboard. Otherwise a text file's
// lines go to the clipboard, and for a picture the main program is asked
// to copy it ("PicClip"), since only it reads every picture format.
// isTextFile tells which of the two the path is.
void CopyToClipboard(const std::string& path, bool nameOnly, bool isTextFile);
// The same, with isTextFile taken from the module-wide IsTextFile.
void CopyToClipboard(const std::string& path, bool nameOnly);
// Joins the lines with CR LF (none after the last) and stores the text as
// CF_TEXT. False when the clipboard could not be written.
bool CopyLinesToClipboard(const std::vector<std::string>& lines);
// Empties the clipboard and stores text as CF_TEXT; the clipboard is closed
// again on every path. False when it could not be written.
bool PutTextOnClipboard(const std::string& text);
// The lines of a text file, bytes as they are: the text ends at the first NUL
// byte; CR LF, a lone CR and a lone LF each end a line; a final line break
// starts no further line. Nothing when the file cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path);
// Opens the file in the program of "ViewerCmd" (by default Notepad), or in
// the program associated with its type when that cannot be started.
void OpenInTextViewer(const std::string& path);

}  // namespace ombrelo
