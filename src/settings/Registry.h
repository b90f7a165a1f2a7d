#pragma once
// All registry access of the extension goes through this owner of an HKEY.
// Reads check type and size before use; strings are terminated by us, so a
// stored value without its NUL is never read past.
#include <windows.h>
#include <optional>
#include <string>
#include <vector>

namespace ombrelo {

inline constexpr const char kProgramKey[] = "Software\\Kestrani\\Ombrelo";
inline constexpr const char kTxtKey[] = "Software\\Kestrani\\Ombrelo\\Txt";
inline constexpr const char kTxtExtKey[] = "Software\\Kestrani\\Ombrelo\\Txt\\Ext";
inline constexpr const char kDesktopKey[] = "Control Panel\\desktop";

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& o) noexcept : h_(o.h_) { o.h_ = nullptr; }
  RegKey& operator=(RegKey&& o) noexcept;

  // Opens an existing key with full access, falling back to read access. Never creates.
  bool Open(HKEY root, const char* path);
  // Opens a key for writing, creating it when missing.
  bool Create(HKEY root, const char* path);
  void Close();
  bool IsOpen() const { return h_ != nullptr; }
  HKEY get() const { return h_; }

  bool ValueExists(const char* name) const;
  // REG_SZ or REG_EXPAND_SZ (unexpanded); nullopt for a missing value or another type.
  std::optional<std::string> ReadString(const char* name) const;
  // The same in UTF-16, for values that hold a path: an ANSI read would
  // give a path outside the code page as its best-fit neighbour.
  std::optional<std::wstring> ReadWideString(const wchar_t* name) const;
  // REG_DWORD of exactly four bytes; nullopt otherwise.
  std::optional<DWORD> ReadDword(const char* name) const;
  bool WriteString(const char* name, const std::string& value);
  // REG_SZ in UTF-16, for values of the system that hold a path the extension uses itself.
  bool WriteWideString(const wchar_t* name, const std::wstring& value);
  bool WriteDword(const char* name, DWORD value);
  bool DeleteValue(const char* name);
  // Names of all values, in the order the registry lists them.
  std::vector<std::string> ValueNames() const;

 private:
  HKEY h_ = nullptr;
};

// Deletes one key without subkeys; false when it could not be deleted.
bool DeleteRegKey(HKEY root, const char* path);
// Deletes a key with all its subkeys; false when it could not be deleted.
bool DeleteRegTree(HKEY root, const char* path);

}  // namespace ombrelo
