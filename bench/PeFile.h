#pragma once
// The size of a DLL file and the DLLs it imports, read from its headers.
#include <string>
#include <vector>

namespace bench {

struct PeInfo {
  long long bytes = -1;               // -1: the file could not be read
  std::vector<std::string> imports;  // names as the import table gives them
  bool stripped = false;              // no symbol table left in the file
};

PeInfo ReadPeInfo(const std::string& path);

}  // namespace bench
