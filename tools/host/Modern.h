#pragma once
// Right-clicking as the Windows 11 menu does: the class is an
// IExplorerCommand, the selection a shell item array. The host gives each
// command a site (the window that owns its dialogs), asks it for its state,
// title, icon, tooltip and flags, enumerates the subcommands of a command
// that has them, prints the tree, and invokes a command by its title path
// with the items and a bind context.
#include <string>
#include <vector>

#include "Options.h"

namespace host {

// Runs the --modern mode for the files (full paths); returns the exit code.
int RunModern(const Options& options, const std::vector<std::wstring>& files);

}  // namespace host
