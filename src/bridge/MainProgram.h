#pragma once
// Locating and starting the main program, Ombrelo.exe.
#include <windows.h>

#include <string>

namespace ombrelo {

// Locates the executable (asking for its folder if needed), records it in
// "cmd" and starts it with the argument line built from the three inputs.
// number is the invoking window's handle (its 32-bit value) or 0. An
// argument is passed as "MultiConv <argument>" when multiConvert is set,
// else as "Show <argument>". Returns 1.
int StartMainProgram(const std::string& request, INT_PTR number, const std::string& argument, bool multiConvert);
// The same, with multiConvert taken from the module-wide IsMultiSelection.
int StartMainProgram(const std::string& request, INT_PTR number, const std::string& argument);
// The main program's command window when it runs; otherwise asks (or not,
// with "AutoStart"), maybe starts it, and returns 1.
INT_PTR EnsureMainProgramRunning();
bool IsAutoStartEnabled();
// The main program's executable where it is found without asking: the one
// stored in "cmd", else Ombrelo.exe beside the extension; empty when neither
// exists. A candidate on a path that may not be touched while a menu is
// built (common/PathRule.h: a network share, a drive that is not ready) is
// taken without looking for its file. Stores nothing. The path is its ANSI
// form (common/FileNames.h), empty when it has none.
std::string FindMainProgramExecutable();
// The folder of the extension's own module file in UTF-16, with its trailing backslash.
std::wstring GetExtensionDirectory();

}  // namespace ombrelo
