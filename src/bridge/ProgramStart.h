#pragma once
// Starting another program on the user's behalf: by its full path only, and
// with a batch file's command line escaped for cmd.exe or refused.
//
// A bare or relative name would be looked up in the host's current folder,
// which in another program's file dialog is whatever folder the user last
// browsed. A batch file is run by cmd.exe, which reads "& | < > ^ ( )" on
// its command line as commands outside quotes and expands "%" everywhere.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace ombrelo {

// "X:\..." or "\\server\share\..." (also "\\?\..."): a path that names the
// same file whatever the current folder and drive are.
bool IsFullPath(const std::wstring& path);
bool IsFullPath(const std::string& path);

// A full path to a file (not a folder) that exists.
bool ProgramFileExists(const std::wstring& path);
bool ProgramFileExists(const std::string& path);

// The file name with the system folder before it ("...\System32\notepad.exe").
std::wstring SystemProgram(const wchar_t* fileName);

// Whether CreateProcess would hand the program to cmd.exe: its name ends in
// ".bat" or ".cmd", trailing dots and blanks (which the file system drops)
// and a stream name after ":" not counted.
bool IsBatchProgram(const std::wstring& program);

// The command line that runs the batch file with these arguments through the
// system folder's cmd.exe (no AutoRun commands, no delayed expansion, every
// argument in quotes); nullopt when the file or an argument holds a character
// that cannot be passed through cmd.exe safely ("%", a line break, or a
// quote or trailing backslash in the file's name). refused then names it.
std::optional<std::wstring> BatchCommandLine(const std::wstring& batchFile, const std::vector<std::wstring>& arguments,
                                             std::wstring* refused = nullptr);

// The arguments that a program given this command line reads (the first
// word, the program, left out), as the platform's parser splits them.
std::vector<std::wstring> ArgumentsOf(const std::wstring& commandLine);

enum class StartOutcome {
  Started,
  NotFound,  // not a full path, or no file there: nothing was started
  Failed,    // the system could not start it
  Refused,   // a batch file that cannot be given these arguments; the user was told
};

// Starts program (a full path) with commandLine (which begins with the
// program, quoted) in folder (empty: the caller's), waits for it at most
// waitMs and lets go of its handles. A batch file gets the same arguments
// through cmd.exe, or is refused with a message box owned by owner that
// names what cannot be passed.
StartOutcome StartProgram(const std::wstring& program, const std::wstring& commandLine, const std::wstring& folder,
                          DWORD waitMs, HWND owner);

}  // namespace ombrelo
