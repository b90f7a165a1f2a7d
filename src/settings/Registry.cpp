#include "settings/Registry.h"

#include <algorithm>

namespace ombrelo {

RegKey& RegKey::operator=(RegKey&& o) noexcept {
  if (this != &o) {
    Close();
    h_ = o.h_;
    o.h_ = nullptr;
  }
  return *this;
}

bool RegKey::Open(HKEY root, const char* path) {
  Close();
  if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &h_) == ERROR_SUCCESS) return true;
  h_ = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &h_) == ERROR_SUCCESS) return true;
  h_ = nullptr;
  return false;
}

bool RegKey::Create(HKEY root, const char* path) {
  Close();
  if (RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h_,
                      nullptr) == ERROR_SUCCESS)
    return true;
  h_ = nullptr;
  return false;
}

void RegKey::Close() {
  if (h_) RegCloseKey(h_);
  h_ = nullptr;
}

bool RegKey::ValueExists(const char* name) const {
  if (!h_) return false;
  return RegQueryValueExA(h_, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

namespace {
bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The text of a string value's data: up to its first NUL, or all of it when
// the stored value has none.
std::string StringData(const char* data, DWORD size) {
  std::string text(data, size);
  auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}
}  // namespace

std::optional<std::string> RegKey::ReadString(const char* name) const {
  if (!h_) return std::nullopt;
  // Settings are short: one query reads them whole. A longer value is read
  // with the size the registry reports. Every query costs a trip to the
  // registry, and settings are read at every right-click.
  char small[256];
  DWORD type = 0, got = sizeof(small);
  LONG rc = RegQueryValueExA(h_, name, nullptr, &type, reinterpret_cast<BYTE*>(small), &got);
  if (rc == ERROR_SUCCESS) {
    if (!IsStringType(type)) return std::nullopt;
    return StringData(small, got < sizeof(small) ? got : sizeof(small));
  }
  if (rc != ERROR_MORE_DATA) return std::nullopt;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    if (RegQueryValueExA(h_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (!IsStringType(type)) return std::nullopt;
    std::string buffer(size + 1, '\0');
    got = size;
    rc = RegQueryValueExA(h_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (rc == ERROR_MORE_DATA) continue;  // grew between the two calls
    if (rc != ERROR_SUCCESS || !IsStringType(type)) return std::nullopt;
    return StringData(buffer.data(), got < buffer.size() ? got : static_cast<DWORD>(buffer.size()));
  }
  return std::nullopt;
}

std::optional<std::wstring> RegKey::ReadWideString(const wchar_t* name) const {
  if (!h_) return std::nullopt;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(h_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || !IsStringType(type))
      return std::nullopt;
    // Room for the data and a terminator of our own; an odd size is rounded up.
    std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LONG rc = RegQueryValueExW(h_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (rc == ERROR_MORE_DATA) continue;  // grew between the two calls
    if (rc != ERROR_SUCCESS || !IsStringType(type)) return std::nullopt;
    buffer.resize(std::min<size_t>(got / sizeof(wchar_t), buffer.size()));
    const size_t nul = buffer.find(L'\0');
    if (nul != std::wstring::npos) buffer.resize(nul);
    return buffer;
  }
  return std::nullopt;
}

std::optional<DWORD> RegKey::ReadDword(const char* name) const {
  if (!h_) return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof(value);
  if (RegQueryValueExA(h_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    return std::nullopt;
  if (type != REG_DWORD || size != sizeof(value)) return std::nullopt;
  return value;
}

bool RegKey::WriteString(const char* name, const std::string& value) {
  if (!h_) return false;
  return RegSetValueExA(h_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool RegKey::WriteWideString(const wchar_t* name, const std::wstring& value) {
  if (!h_) return false;
  return RegSetValueExW(h_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegKey::WriteDword(const char* name, DWORD value) {
  if (!h_) return false;
  return RegSetValueExA(h_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
         ERROR_SUCCESS;
}

bool RegKey::DeleteValue(const char* name) {
  if (!h_) return false;
  return RegDeleteValueA(h_, name) == ERROR_SUCCESS;
}

std::vector<std::string> RegKey::ValueNames() const {
  std::vector<std::string> names;
  if (!h_) return names;
  DWORD maxLen = 0;
  if (RegQueryInfoKeyA(h_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::string name(maxLen + 2, '\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(name.size());
    LONG rc = RegEnumValueA(h_, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(name.data(), len);
  }
  return names;
}

bool DeleteRegKey(HKEY root, const char* path) { return RegDeleteKeyA(root, path) == ERROR_SUCCESS; }

bool DeleteRegTree(HKEY root, const char* path) { return RegDeleteTreeA(root, path) == ERROR_SUCCESS; }

}  // namespace ombrelo
