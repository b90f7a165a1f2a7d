#pragma once
// A selected file in its two forms: the full UTF-16 path that the shell
// gives, which everything the extension does itself uses, and its ANSI form,
// which is all the main program can take. The one decision which ANSI form
// a path has lives here, and so does the one query for short (8.3) names.
#include <windows.h>

#include <string>

namespace ombrelo {

struct SelectedFile {
  SelectedFile() = default;
  // A name given in the ANSI code page: it is its own ANSI form.
  SelectedFile(const std::string& ansi);  // NOLINT: an ANSI path stands for a file wherever one is asked for
  SelectedFile(const char* ansi) : SelectedFile(std::string(ansi ? ansi : "")) {}  // NOLINT
  SelectedFile(std::wstring path, std::string ansi) : Path(std::move(path)), Ansi(std::move(ansi)) {}

  // The full path in UTF-16.
  std::wstring Path;
  // The path in the ANSI code page where it converts without loss, else its
  // short form where the volume has one; empty when there is neither.
  std::string Ansi;

  bool HasAnsi() const { return !Ansi.empty(); }
  // The ANSI form, or the path with the code page's replacement characters
  // where it has none: for texts that stay ANSI, such as help texts.
  std::string ShownAnsi() const;
};

// The file of a UTF-16 path with its ANSI form decided.
SelectedFile SelectedFileOf(const std::wstring& path);

// The text in the ANSI code page when it converts without best-fit
// characters and without the default character; false otherwise.
bool ExactAnsi(const std::wstring& text, std::string& ansi);
// The text in the ANSI code page, characters it lacks replaced by its
// default character (never by a best-fit look-alike): for texts that are
// shown, never for a path that is used.
std::string AnsiWithReplacements(const std::wstring& text);
// ANSI text read in the ANSI code page.
std::wstring WideFromAnsi(const std::string& ansi);

// The ANSI form of a path by the rule of SelectedFileOf; empty when it has none.
inline std::string AnsiPathOf(const std::wstring& path) { return SelectedFileOf(path).Ansi; }

// The full path of a module's file (null: the process's executable) in
// UTF-16, never cut short; empty on failure.
std::wstring ModulePath(HMODULE module);
// The temporary folder as the system reports it in UTF-16, trailing
// backslash included, never cut short; empty on failure.
std::wstring TempFolderPath();

// The short (8.3) form of an existing path; empty when the volume has none.
std::wstring ShortPathOf(const std::wstring& path);
// Replaces the short-name query of ShortPathOf (null: the system's), for
// tests: the system under test may make short names where a volume of the
// user's has none.
using ShortPathQuery = std::wstring (*)(const std::wstring& path);
void SetShortPathQuery(ShortPathQuery query);

// The text enclosed in double quotes, as a path is passed on a command line.
inline std::wstring QuotedWide(const std::wstring& text) { return L"\"" + text + L"\""; }
// The extension of a path (from the last "." after the last "\" or ":"),
// in ANSI with replacement characters, for comparison with ASCII extensions.
std::string AnsiExtensionOf(const std::wstring& path);

}  // namespace ombrelo
