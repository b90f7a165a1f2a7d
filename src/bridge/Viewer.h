#pragma once
// Showing a picture in another program: the preview item's display action
// (main program, its preview switch, a pending "order", an external viewer
// or the main program's own viewer) and the open-with programs.
#include <windows.h>

#include <string>

namespace ombrelo {

// The action of the preview item; window is the window that invoked it.
// isTextFile: the path is a text file, shown in the text viewer.
void DisplayPicture(HWND window, const std::string& path, bool isTextFile);
// The same, with isTextFile taken from the module-wide IsTextFile.
void DisplayPicture(HWND window, const std::string& path);
// Starts the external viewer with the picture. True only when the user asked
// for the main program's own viewer instead (the viewer was missing).
bool RunExternalViewer(const std::string& viewer, const std::string& path);
// Lets the user pick the viewer's executable; stores it as "ExtViewCmd".
// Empty when cancelled.
std::string BrowseForViewer(const std::string& oldPath);
// Starts an open-with program with the arguments of its template, or tells
// the user (owned by owner) that the program is missing. Returns 1.
int RunOpenWithProgram(const std::string& program, const std::string& path, const std::string& argTemplate,
                       HWND owner);
// The template with its first "{Dateiname}" replaced by the path and its
// first "{Dateiname im 8.3 Format}" by the short path; the bare path when
// the template holds neither.
std::string ExpandFileNamePlaceholders(const std::string& path, const std::string& argTemplate);
// The short (8.3) form of an existing path; empty when it cannot be had.
std::string GetShortFileName(const std::string& path);

// Starts a program with CreateProcessA as the main program is started (new
// console, normal priority, shown normally), in the given folder (empty: the
// caller's), waits for it at most waitMs and lets go of its handles.
// False when it could not be started.
bool StartProcess(const std::string& commandLine, const std::string& folder, DWORD waitMs);

}  // namespace ombrelo
