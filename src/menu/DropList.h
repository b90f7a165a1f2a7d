#pragma once
// Reading the file list of a CF_HDROP block (a DROPFILES header followed by
// NUL-terminated names and an empty name) within the bounds of the block, so
// that a malformed list can neither be read past nor yield a cut-off name.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace ombrelo {

struct DropList {
  // The names the extension can act on, as ANSI paths in list order.
  std::vector<std::string> Files;
  // Number of names in the list, those left out included.
  size_t Count = 0;
};

// The names of the list in the block. A wide-character name that the ANSI
// code page cannot represent is replaced by its short (8.3) form when that
// exists and can be represented, and left out otherwise; on a network share
// or a drive that is not ready the short form is not asked for (the query
// reads the folder), so such a name is left out there. A last name without
// its terminating NUL is left out. nullopt when the block holds no readable
// DROPFILES header.
std::optional<DropList> ReadDropList(HGLOBAL block);

// A list of wide-character paths (such as the shell's items give) taken as
// the names of a wide CF_HDROP list are taken.
DropList FileListOf(const std::vector<std::wstring>& paths);

// The ANSI form of a path, or of its short form (not asked for on a path
// that may not be touched, common/PathRule.h); nullopt when neither
// represents the path exactly.
std::optional<std::string> AnsiPathOf(const std::wstring& path);

}  // namespace ombrelo
