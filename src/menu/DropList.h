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
  // The ANSI forms of the names in list order (SelectedFile::Ansi: empty for
  // a name that has none).
  std::vector<std::string> Files;
  // The full UTF-16 paths, in the same order.
  std::vector<std::wstring> Paths;
  // Number of names in the list, those left out included.
  size_t Count = 0;
};

// The names of the list in the block, each with its UTF-16 path and its ANSI
// form (SelectedFileOf decides it for a wide-character name; an ANSI name is
// its own). A last name without its terminating NUL is left out. nullopt
// when the block holds no readable DROPFILES header.
std::optional<DropList> ReadDropList(HGLOBAL block);

// A list of wide-character paths (such as the shell's items give) taken as
// the names of a wide CF_HDROP list are taken.
DropList FileListOf(const std::vector<std::wstring>& paths);

}  // namespace ombrelo
