#include "PeFile.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace bench {

namespace {
template <class T>
bool At(const std::string& bytes, size_t offset, T* out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  memcpy(out, bytes.data() + offset, sizeof(T));
  return true;
}
}  // namespace

PeInfo ReadPeInfo(const std::string& path) {
  PeInfo info;
  std::ifstream in(path, std::ios::binary);
  if (!in) return info;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  info.bytes = static_cast<long long>(bytes.size());

  IMAGE_DOS_HEADER dos;
  IMAGE_FILE_HEADER file;
  if (!At(bytes, 0, &dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return info;
  const size_t fileHeader = static_cast<size_t>(dos.e_lfanew) + sizeof(DWORD);
  if (!At(bytes, fileHeader, &file)) return info;
  info.stripped = file.PointerToSymbolTable == 0;
  const size_t optional = fileHeader + sizeof(IMAGE_FILE_HEADER);
  WORD magic = 0;
  if (!At(bytes, optional, &magic)) return info;
  IMAGE_DATA_DIRECTORY importDir{};
  if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    IMAGE_OPTIONAL_HEADER32 h;
    if (!At(bytes, optional, &h)) return info;
    importDir = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  } else {
    IMAGE_OPTIONAL_HEADER64 h;
    if (!At(bytes, optional, &h)) return info;
    importDir = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  }
  // Relative addresses map to file offsets through the section that holds them.
  const size_t sections = optional + file.SizeOfOptionalHeader;
  auto toOffset = [&](DWORD rva, size_t* offset) {
    for (WORD i = 0; i < file.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER s;
      if (!At(bytes, sections + i * sizeof(s), &s)) return false;
      const DWORD size = std::max(s.Misc.VirtualSize, s.SizeOfRawData);
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + size) {
        *offset = rva - s.VirtualAddress + s.PointerToRawData;
        return true;
      }
    }
    return false;
  };
  size_t offset = 0;
  if (!importDir.VirtualAddress || !toOffset(importDir.VirtualAddress, &offset)) return info;
  for (;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR d;
    if (!At(bytes, offset, &d) || !d.Name) break;
    size_t name = 0;
    if (!toOffset(d.Name, &name) || name >= bytes.size()) break;
    info.imports.emplace_back(bytes.c_str() + name, strnlen(bytes.c_str() + name, bytes.size() - name));
  }
  return info;
}

}  // namespace bench
