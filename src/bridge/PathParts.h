#pragma once
// Parts of a path as the extension splits them: the file name starts after
// the last "\" or ":", the extension at the last "." within the file name.
#include <windows.h>

#include <string>

namespace ombrelo::pathparts {

inline size_t NameStart(const std::string& path) {
  size_t sep = path.find_last_of("\\:");
  return sep == std::string::npos ? 0 : sep + 1;
}
inline size_t NameStart(const std::wstring& path) {
  size_t sep = path.find_last_of(L"\\:");
  return sep == std::wstring::npos ? 0 : sep + 1;
}

// The extension, dot included; empty when the file name has no dot.
inline std::string Extension(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < NameStart(path)) return {};
  return path.substr(dot);
}

// The folder, up to and including the last "\" or ":".
inline std::string Folder(const std::string& path) { return path.substr(0, NameStart(path)); }
inline std::wstring Folder(const std::wstring& path) { return path.substr(0, NameStart(path)); }

inline std::string FileName(const std::string& path) { return path.substr(NameStart(path)); }

// The path with its extension replaced (or appended when it has none).
inline std::string WithExtension(const std::string& path, const std::string& ext) {
  return path.substr(0, path.size() - Extension(path).size()) + ext;
}

inline std::string UpperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The text enclosed in double quotes, as a path is passed on a command line.
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A file (not a folder) exists at the path.
inline bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace ombrelo::pathparts
