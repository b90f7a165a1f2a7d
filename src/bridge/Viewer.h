#pragma once
// Showing a picture in another program: the preview item's display action
// (main program, its preview switch, a pending "order", an external viewer
// or the main program's own viewer) and the open-with programs.
#include <windows.h>

#include <string>

#include "common/FileNames.h"

namespace ombrelo {

// The action of the preview item; window is the window that invoked it.
// isTextFile: the path is a text file, shown in the text viewer.
// The main program is given the file's ANSI form, the viewers its full path.
void DisplayPicture(HWND window, const SelectedFile& file, bool isTextFile);
// The same, with isTextFile taken from the module-wide IsTextFile.
void DisplayPicture(HWND window, const SelectedFile& file);
// Starts the external viewer with the picture's short form (its full path
// where it has none). True only when the user asked for the main program's
// own viewer instead (the viewer was missing, or not a full path).
bool RunExternalViewer(const std::string& viewer, const SelectedFile& file);
// Lets the user pick the viewer's executable; stores it as "ExtViewCmd".
// Empty when cancelled.
std::string BrowseForViewer(const std::string& oldPath);
// Starts an open-with program with the arguments of its template, or tells
// the user (owned by owner) that the program is missing (also when it is
// not a full path). Returns 1. The command line is built in UTF-16; a
// batch file gets it through cmd.exe or is refused (ProgramStart.h).
int RunOpenWithProgram(const std::string& program, const SelectedFile& file, const std::string& argTemplate,
                       HWND owner);
// The template (ANSI, from the settings file) with its first "{Dateiname}"
// replaced by the full path and its first "{Dateiname im 8.3 Format}" by the
// short path (the full path where the file has none); the path alone when
// the template holds neither. A path is always one argument: where it holds
// a blank and the template does not quote it, it is put in quotes; a path
// without blanks, and one the template quotes, is inserted as it is.
std::wstring ExpandFileNamePlaceholders(const SelectedFile& file, const std::string& argTemplate);
// The short (8.3) form of an existing path, else the path itself.
std::wstring ShortOrFullPath(const std::wstring& path);

// Starts a program as the main program is started (new console, normal
// priority, shown normally), in the given folder (empty: the caller's),
// waits for it at most waitMs and lets go of its handles. False when it
// could not be started.
bool StartProcess(const std::string& commandLine, const std::string& folder, DWORD waitMs);
bool StartProcess(const std::wstring& commandLine, const std::wstring& folder, DWORD waitMs);

}  // namespace ombrelo
