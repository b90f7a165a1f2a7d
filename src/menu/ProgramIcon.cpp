#include "menu/ProgramIcon.h"

#include <shellapi.h>

#include "common/PathRule.h"

namespace ombrelo {

namespace {

// What the shell is asked about for the type of a program it may not read:
// the extension of the file name (".exe"), or the file name when it has
// none. Never the folder, so nothing in the question names the share.
std::wstring TypeNameOf(const std::wstring& program) {
  const size_t separator = program.find_last_of(L"\\/:");
  const std::wstring name = separator == std::wstring::npos ? program : program.substr(separator + 1);
  const size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? name : name.substr(dot);
}

}  // namespace

HICON LoadProgramIcon(const std::wstring& program) {
  return program.empty() ? nullptr : LoadProgramIcon(program, PathMayBeTouched(program));
}

HICON LoadProgramIcon(const std::wstring& program, bool mayBeTouched) {
  if (program.empty()) return nullptr;
  const UINT size = SHGFI_SHELLICONSIZE | SHGFI_SMALLICON;
  SHFILEINFOW file{};
  DWORD_PTR found = 0;
  NoCriticalErrorBoxes quiet;
  if (mayBeTouched)
    found = SHGetFileInfoW(program.c_str(), 0, &file, sizeof(file), SHGFI_ICON | size);
  else
    found = SHGetFileInfoW(TypeNameOf(program).c_str(), FILE_ATTRIBUTE_NORMAL, &file, sizeof(file),
                           SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | size);
  return found ? file.hIcon : nullptr;
}

std::wstring ProgramIconLocation(const std::wstring& program) {
  if (program.empty()) return {};
  if (PathMayBeTouched(program)) return program + L",0";
  SHSTOCKICONINFO stock{};
  stock.cbSize = sizeof(stock);
  if (FAILED(SHGetStockIconInfo(SIID_APPLICATION, SHGSI_ICONLOCATION, &stock)) || !stock.szPath[0]) return {};
  const std::string index = std::to_string(stock.iIcon);  // digits and "-": the same in UTF-16
  return std::wstring(stock.szPath) + L"," + std::wstring(index.begin(), index.end());
}

}  // namespace ombrelo
