#pragma once
// The open-with entries of the settings file: section "OpenWith" with
// "Count" and, per entry i, "Desc"i (caption), "Cmd"i (program) and
// "Params"i (argument template).
#include <string>
#include <vector>

namespace ombrelo {

inline constexpr char kOpenWithSection[] = "OpenWith";
// The argument template of an entry without its own "Params" key.
inline constexpr char kDefaultOpenWithParams[] = "\"{Dateiname}\"";
// Counts beyond this are read as this many entries: no menu can hold more
// identifiers, and reading billions of empty entries would hang the shell.
inline constexpr int kMaxOpenWithCount = 0x8000;

struct OpenWithEntries {
  std::vector<std::string> Captions;
  std::vector<std::string> Commands;
  std::vector<std::string> Params;
};

// Reads every entry of the given settings file. A missing file, section or
// "Count" gives no entries.
OpenWithEntries ReadOpenWithFile(const std::string& path);

// Appends the entries of the user's settings file to captions and to the
// module-wide OpenWithCommands and OpenWithParams; true when captions holds
// at least one entry afterwards. Shows the internal-error box when the
// module-wide lists do not exist (start-up failed).
bool ReadOpenWithEntries(std::vector<std::string>& captions);

// Profile reading rules, shared with other readers of the settings file.
// A string value as GetPrivateProfileStringA gives it in 1024 characters.
std::string ReadProfileString(const std::string& path, const char* section, const char* key);
// An integer value: "0x"/"0X" and more starts hexadecimal, anything else is
// decimal; a text that is not a number gives def.
int ReadProfileInteger(const std::string& path, const char* section, const char* key, int def);
// Parses an integer by the rules above; false when text is not a number.
bool ParseProfileInteger(const std::string& text, int* value);
// The key names of a section, as the profile API lists them.
std::vector<std::string> ReadProfileKeyNames(const std::string& path, const char* section);

}  // namespace ombrelo
