#include "settings/OpenWith.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <unordered_set>

#include "common/FileNames.h"
#include "common/PathRule.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "settings/SettingsFile.h"

namespace ombrelo {

namespace {
// Values are read into 1024 characters, so longer ones are cut to 1023.
constexpr DWORD kValueBufferSize = 1024;
// The key listing starts at 8192 characters and grows until every name fits.
constexpr DWORD kKeyListStartSize = 8192;
constexpr DWORD kKeyListMaxSize = 16 * 1024 * 1024;
// A section is read whole into a buffer that grows up to this size.
constexpr DWORD kSectionStartSize = 16 * 1024;
constexpr DWORD kSectionMaxSize = 16 * 1024 * 1024;

// Key names compare without regard to case. ASCII letters map alike in
// every code page; only names beyond ASCII need the system's mapping.
std::string FoldCase(std::string text) {
  bool ascii = true;
  for (char& c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (!ascii) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool ParseProfileInteger(const std::string& text, int* value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    // Hexadecimal: any 32-bit pattern, read as a signed value.
    uint64_t v = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      int d = HexDigit(text[i]);
      if (d < 0) return false;
      v = v * 16 + static_cast<unsigned>(d);
      if (v > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<int>(static_cast<uint32_t>(v));
    return true;
  }
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > 0x80000000ll) return false;
  }
  if (negative) v = -v;
  if (v > 0x7FFFFFFFll) return false;
  *value = static_cast<int>(v);
  return true;
}

namespace {
std::wstring WideName(const char* name) { return name ? WideFromAnsi(name) : std::wstring(); }
const wchar_t* NameOrNull(const char* name, const std::wstring& wide) { return name ? wide.c_str() : nullptr; }
}  // namespace

std::wstring ReadProfileStringWide(const std::wstring& path, const char* section, const char* key) {
  wchar_t buffer[kValueBufferSize] = {};
  const std::wstring wideSection = WideName(section), wideKey = WideName(key);
  DWORD n = GetPrivateProfileStringW(NameOrNull(section, wideSection), NameOrNull(key, wideKey), L"", buffer,
                                     kValueBufferSize, path.c_str());
  return std::wstring(buffer, std::min<DWORD>(n, kValueBufferSize - 1));
}

std::string ReadProfileString(const std::wstring& path, const char* section, const char* key) {
  return AnsiWithReplacements(ReadProfileStringWide(path, section, key));
}

int ReadProfileInteger(const std::wstring& path, const char* section, const char* key, int def) {
  int value = 0;
  return ParseProfileInteger(ReadProfileString(path, section, key), &value) ? value : def;
}

std::vector<std::string> ReadProfileKeyNames(const std::wstring& path, const char* section) {
  std::vector<std::string> names;
  std::wstring buffer;
  const std::wstring wideSection = WideName(section);
  for (DWORD size = kKeyListStartSize;; size *= 2) {
    buffer.assign(size, L'\0');
    DWORD n = GetPrivateProfileStringW(NameOrNull(section, wideSection), nullptr, L"", buffer.data(), size,
                                       path.c_str());
    if (n + 2 < size || size >= kKeyListMaxSize) {
      buffer.resize(std::min<DWORD>(n, size));
      break;
    }
  }
  // The names come as NUL-separated texts.
  size_t start = 0;
  while (start < buffer.size()) {
    size_t end = buffer.find(L'\0', start);
    if (end == std::wstring::npos) end = buffer.size();
    if (end > start) names.push_back(AnsiWithReplacements(buffer.substr(start, end - start)));
    start = end + 1;
  }
  return names;
}

namespace {
template <class Text>
Text ResolveValue(const Text& raw) {
  // A value enclosed in a matching pair of quotes loses them. The closing
  // quote goes only when the rest fits the buffer, so a value of exactly
  // 1024 characters after its opening quote also loses its last kept one.
  Text text = raw;
  bool quoted = text.size() > 1 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0];
  if (quoted) text.erase(0, 1);
  const size_t length = text.size();
  if (text.size() > kValueBufferSize - 1) text.resize(kValueBufferSize - 1);
  if (quoted && length <= kValueBufferSize && !text.empty()) text.pop_back();
  return text;
}

// A value that names a program or its arguments: the exact ANSI form, never
// a best-fit one that could name another file.
std::optional<std::string> ExactValue(const std::wstring& value) {
  std::string ansi;
  if (!ExactAnsi(value, ansi)) return std::nullopt;
  return ansi;
}
}  // namespace

std::string ResolveProfileValue(const std::string& raw) { return ResolveValue(raw); }

std::optional<ProfileSection> ProfileSection::Read(const std::wstring& path, const char* section) {
  std::wstring buffer;
  const std::wstring wideSection = WideName(section);
  for (DWORD size = kSectionStartSize;; size *= 2) {
    if (size > kSectionMaxSize) return std::nullopt;  // too large to read whole
    buffer.assign(size, L'\0');
    DWORD n = GetPrivateProfileSectionW(wideSection.c_str(), buffer.data(), size, path.c_str());
    if (n + 2 < size) {
      buffer.resize(n);
      break;
    }
  }
  ProfileSection result;
  // Lines "name=value" (or a bare name) in file order; the first of a name counts.
  size_t start = 0;
  while (start < buffer.size()) {
    size_t end = buffer.find(L'\0', start);
    if (end == std::wstring::npos) end = buffer.size();
    const std::wstring line = buffer.substr(start, end - start);
    start = end + 1;
    const size_t equals = line.find(L'=');
    std::string name = FoldCase(AnsiWithReplacements(line.substr(0, equals)));
    if (name.empty() || result.values_.count(name)) continue;
    result.values_.emplace(std::move(name),
                           equals == std::wstring::npos ? std::wstring() : ResolveValue(line.substr(equals + 1)));
  }
  for (std::string& name : ReadProfileKeyNames(path, section)) result.names_.insert(FoldCase(std::move(name)));
  return result;
}

bool ProfileSection::HasKey(const std::string& key) const { return names_.count(FoldCase(key)) != 0; }

std::string ProfileSection::Value(const std::string& key) const { return AnsiWithReplacements(WideValue(key)); }

std::optional<std::string> ProfileSection::PathValue(const std::string& key) const {
  return ExactValue(WideValue(key));
}

std::wstring ProfileSection::WideValue(const std::string& key) const {
  auto it = values_.find(FoldCase(key));
  return it == values_.end() ? std::wstring() : it->second;
}

int OpenWithCountOf(const std::string& text) {
  int count = 0;
  if (ParseProfileInteger(text, &count)) return std::clamp(count, 0, kMaxOpenWithCount);
  // A number too large for 32 bits is still a number above the limit.
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const size_t start = hex ? 2 : (!text.empty() && text[0] == '+' ? 1 : 0);
  const char* digits = hex ? "0123456789abcdefABCDEF" : "0123456789";
  return text.size() > start && text.find_first_not_of(digits, start) == std::string::npos ? kMaxOpenWithCount : 0;
}

namespace {
// The keys of one file read value by value with the profile API, with one
// key listing for the existence of keys.
class ValueByValue {
 public:
  explicit ValueByValue(const std::wstring& path) : path_(path) {
    for (std::string& name : ReadProfileKeyNames(path, kOpenWithSection)) names_.insert(FoldCase(std::move(name)));
  }
  bool HasKey(const std::string& key) const { return names_.count(FoldCase(key)) != 0; }
  std::string Value(const std::string& key) const { return ReadProfileString(path_, kOpenWithSection, key.c_str()); }
  std::optional<std::string> PathValue(const std::string& key) const {
    return ExactValue(ReadProfileStringWide(path_, kOpenWithSection, key.c_str()));
  }

 private:
  std::wstring path_;
  std::unordered_set<std::string> names_;
};

template <class Source>
OpenWithEntries ReadEntries(const Source& source, int count) {
  OpenWithEntries entries;
  if (count <= 0) return entries;
  count = std::min(count, kMaxOpenWithCount);
  entries.Captions.reserve(count);
  entries.Commands.reserve(count);
  entries.Params.reserve(count);
  for (int i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    entries.Captions.push_back(source.Value("Desc" + index));
    // Each entry without its own template gets the default one, so no
    // program receives arguments meant for another.
    const std::string paramsKey = "Params" + index;
    std::optional<std::string> command = source.PathValue("Cmd" + index);
    std::optional<std::string> params =
        source.HasKey(paramsKey) ? source.PathValue(paramsKey) : std::string(kDefaultOpenWithParams);
    // A program or template without an exact ANSI form (a settings file in
    // UTF-16) names no program rather than its best-fit neighbour.
    if (!command || !params) {
      command = std::string();
      params = std::string(kDefaultOpenWithParams);
    }
    entries.Commands.push_back(std::move(*command));
    entries.Params.push_back(std::move(*params));
  }
  return entries;
}

}  // namespace

OpenWithEntries ReadOpenWithFileByValue(const std::wstring& path) {
  const int count = OpenWithCountOf(ReadProfileString(path, kOpenWithSection, "Count"));
  if (count <= 0) return OpenWithEntries();
  return ReadEntries(ValueByValue(path), count);
}

OpenWithEntries ReadOpenWithFile(const std::wstring& path) {
  // The file is read afresh for every menu, in two calls: the section and
  // its key listing.
  std::optional<ProfileSection> section = ProfileSection::Read(path, kOpenWithSection);
  if (!section) return ReadOpenWithFileByValue(path);
  return ReadEntries(*section, OpenWithCountOf(section->Value("Count")));
}

namespace {
// False, after the internal-error box, when start-up did not make the lists.
bool OpenWithListsExist() {
  if (WithState([](SharedState& s) { return s.OpenWithListsExist; })) return true;
  MessageBoxA(GetForegroundWindow(), LookupText("@idInternalError").c_str(), "Ombrelo (Code: 07)",
              MB_ICONERROR | MB_SETFOREGROUND);
  return false;
}
}  // namespace

OpenWithEntries ReadOpenWithFileForMenu(const std::wstring& path) {
  return !path.empty() && PathMayBeTouched(path) ? ReadOpenWithFile(path) : OpenWithEntries();
}

OpenWithEntries LoadOpenWithEntries() {
  return OpenWithListsExist() ? ReadOpenWithFileForMenu(SettingsFilePath()) : OpenWithEntries();
}

bool ReadOpenWithEntries(std::vector<std::string>& captions) {
  if (!OpenWithListsExist()) return false;
  OpenWithEntries entries = ReadOpenWithFileForMenu(SettingsFilePath());
  captions.insert(captions.end(), entries.Captions.begin(), entries.Captions.end());
  WithState([&](SharedState& s) {
    s.OpenWithCommands.insert(s.OpenWithCommands.end(), entries.Commands.begin(), entries.Commands.end());
    s.OpenWithParams.insert(s.OpenWithParams.end(), entries.Params.begin(), entries.Params.end());
  });
  return !captions.empty();
}

}  // namespace ombrelo
