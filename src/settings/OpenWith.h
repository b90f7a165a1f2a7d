#pragma once
// The open-with entries of the settings file: section "OpenWith" with
// "Count" and, per entry i, "Desc"i (caption), "Cmd"i (program) and
// "Params"i (argument template).
#include <optional>
#include <string>

#include "common/FileNames.h"
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace ombrelo {

inline constexpr char kOpenWithSection[] = "OpenWith";
// The argument template of an entry without its own "Params" key.
inline constexpr char kDefaultOpenWithParams[] = "\"{Dateiname}\"";
// A "Count" above this is read as this many entries: a corrupt or
// hand-edited file must not make the shell's process read and list billions
// of entries.
inline constexpr int kMaxOpenWithCount = 1000;

struct OpenWithEntries {
  std::vector<std::string> Captions;
  std::vector<std::string> Commands;
  std::vector<std::string> Params;
};

// Reads every entry of the given settings file. A missing file, section or
// "Count" gives no entries. The section is read in one call and resolved
// key by key as the profile API resolves single values.
// The file is read through its UTF-16 path; captions come in ANSI with the
// code page's replacement characters, while a program or template that has
// no exact ANSI form leaves its entry without a program.
OpenWithEntries ReadOpenWithFile(const std::wstring& path);
// The same entries read value by value through the profile API.
OpenWithEntries ReadOpenWithFileByValue(const std::wstring& path);
// A path given in the ANSI code page.
inline OpenWithEntries ReadOpenWithFile(const std::string& path) { return ReadOpenWithFile(WideFromAnsi(path)); }
inline OpenWithEntries ReadOpenWithFileByValue(const std::string& path) {
  return ReadOpenWithFileByValue(WideFromAnsi(path));
}

// The entries of the settings file at path as a menu reads them while it is
// built: none when the file lies where the menu may not touch it
// (common/PathRule.h: a network share, as a redirected application-data
// folder is, or a drive that is not ready); the file is then not read.
OpenWithEntries ReadOpenWithFileForMenu(const std::wstring& path);
inline OpenWithEntries ReadOpenWithFileForMenu(const std::string& path) {
  return ReadOpenWithFileForMenu(WideFromAnsi(path));
}

// Appends the entries of the user's settings file (ReadOpenWithFileForMenu)
// to captions and to the module-wide OpenWithCommands and OpenWithParams;
// true when captions holds at least one entry afterwards. Shows the
// internal-error box when the module-wide lists do not exist (start-up failed).
bool ReadOpenWithEntries(std::vector<std::string>& captions);
// The same entries for one menu, leaving the module-wide lists alone: the
// entries of the user's settings file (ReadOpenWithFileForMenu), or none
// (after the internal-error box) when those lists do not exist.
OpenWithEntries LoadOpenWithEntries();

// Profile reading rules, shared with other readers of the settings file.
// A string value as GetPrivateProfileStringW gives it in 1024 characters.
std::wstring ReadProfileStringWide(const std::wstring& path, const char* section, const char* key);
// The same in ANSI, with the code page's replacement characters.
std::string ReadProfileString(const std::wstring& path, const char* section, const char* key);
inline std::string ReadProfileString(const std::string& path, const char* section, const char* key) {
  return ReadProfileString(WideFromAnsi(path), section, key);
}
// An integer value: "0x"/"0X" and more starts hexadecimal, anything else is
// decimal; a text that is not a number gives def.
int ReadProfileInteger(const std::wstring& path, const char* section, const char* key, int def);
// Parses an integer by the rules above; false when text is not a number.
bool ParseProfileInteger(const std::string& text, int* value);
// The entry count of a "Count" text: 0 for no number or a negative one, at
// most kMaxOpenWithCount (also for a number beyond 32 bits).
int OpenWithCountOf(const std::string& text);
// The key names of a section, as the profile API lists them.
std::vector<std::string> ReadProfileKeyNames(const std::wstring& path, const char* section);
inline std::vector<std::string> ReadProfileKeyNames(const std::string& path, const char* section) {
  return ReadProfileKeyNames(WideFromAnsi(path), section);
}

// A value of a section listing as GetPrivateProfileStringW gives it in 1024
// characters: one pair of enclosing quotes removed, cut to 1023 characters.
std::string ResolveProfileValue(const std::string& raw);

// One section of a profile file, read whole with GetPrivateProfileSectionW
// together with its key listing. Each key resolves as GetPrivateProfileStringW
// would resolve it: the first entry of that name (without regard to case),
// quotes and length as above, empty for a missing key or one without "=".
class ProfileSection {
 public:
  // nullopt when the section is too large to be read whole.
  static std::optional<ProfileSection> Read(const std::wstring& path, const char* section);
  static std::optional<ProfileSection> Read(const std::string& path, const char* section) {
    return Read(WideFromAnsi(path), section);
  }
  // Whether the key listing names the key.
  bool HasKey(const std::string& key) const;
  // The value as text, with the code page's replacement characters.
  std::string Value(const std::string& key) const;
  // The value as a path or command: its exact ANSI form, nullopt when it has none.
  std::optional<std::string> PathValue(const std::string& key) const;

 private:
  std::wstring WideValue(const std::string& key) const;
  std::unordered_map<std::string, std::wstring> values_;  // by case-folded name
  std::unordered_set<std::string> names_;
};

}  // namespace ombrelo
