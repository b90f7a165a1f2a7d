#include "bridge/MainProgram.h"

#include <vector>

#include "bridge/Channel.h"
#include "bridge/ProgramStart.h"
#include "bridge/Viewer.h"
#include "common/Handles.h"
#include "common/FileNames.h"
#include "common/PathRule.h"
#include "dialogs/UExtMsgBox.h"
#include "dialogs/UFBrowse.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {

const char kCaption[] = "Ombrelo";
// Placeholder path that names no file.
const wchar_t kNoFile[] = L"-";

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool German() { return ActiveLanguageIndex() == 0; }

const char* NotFoundText() {
  return German() ? "Das Ombrelo Hauptprogramm wurde nicht gefunden. Bitte w\xE4hlen Sie im folgenden Fenster das "
                    "Installationsverzeichnis"
                  : "Could not find the file: Ombrelo.exe\rPlease choose Ombrelo's installation directory in the "
                    "following dialog";
}

const char* BrowseTitle() {
  return German() ? "Bitte w\xE4hlen Sie den Ordner aus in dem sich die Datei \"Ombrelo.exe\" befindet"
                  : "Please select Ombrelo's installation directory:";
}

const char* NotInFolderText() {
  return German() ? "Die Datei ombrelo.exe wurde im angegebenen Verzeichnis nicht gefunden. Bitte stellen Sie fest, "
                    "in welchem Vezeichnis sich die Datei \"ombrelo.exe\" befindet und wiederholen Sie den Vorgang"
                  : "Could not find ombrelo.exe\rPlease reinstall Ombrelo to solve this problem";
}

// Asks the user for the installation folder. The candidate becomes the
// chosen folder's ombrelo.exe; false when that file does not exist (the user
// has been told). A cancelled browser leaves the candidate as it is.
bool AskForInstallationFolder(std::wstring& candidate) {
  MessageBoxA(GetForegroundWindow(), NotFoundText(), kCaption, MB_ICONERROR);
  // One browser per question, freed with it.
  TFolderBrowse browse(nullptr);
  browse.Directory.clear();
  browse.Title = BrowseTitle();
  if (!browse.Execute(GetForegroundWindow())) return true;
  // The browser gives the folder's exact ANSI form or its short one.
  const std::wstring folder = WideFromAnsi(browse.Directory);
  bool endsInSeparator = !folder.empty() && folder.back() == L'\\';
  std::wstring chosen = folder + (endsInSeparator ? L"ombrelo.exe" : L"\\ombrelo.exe");
  if (!FileExists(chosen)) {
    MessageBoxA(GetForegroundWindow(), NotInFolderText(), kCaption, MB_ICONINFORMATION);
    return false;
  }
  candidate = chosen;
  return true;
}

// The executable's path as stored in "cmd" after locating it, kNoFile when
// the program key cannot be opened, or empty when the user chose a folder
// without the program (nothing is stored or started then).
// The path is read and checked in UTF-16. "cmd" is written in its ANSI form
// where it has one, so that a program reading it in ANSI finds the same
// file, and in UTF-16 otherwise.
std::wstring LocateExecutable() {
  std::wstring candidate = kNoFile;
  RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, kProgramKey)) return candidate;
  if (auto stored = key.ReadWideString(L"cmd")) candidate = *stored;
  // Only a full path counts: a bare name would be looked up in the host's current folder.
  if (!ProgramFileExists(candidate)) candidate = GetExtensionDirectory() + L"Ombrelo.exe";
  if (!ProgramFileExists(candidate) && !AskForInstallationFolder(candidate)) return {};
  const std::string ansi = AnsiPathOf(candidate);
  if (!ansi.empty()) key.WriteString("cmd", ansi);
  else key.WriteWideString(L"cmd", candidate);
  return candidate;
}

std::string ArgumentText(const std::string& request, INT_PTR number, const std::string& argument, bool multi) {
  std::string text;
  if (!request.empty()) text = std::to_string(static_cast<LONG>(number));
  if (!argument.empty()) text = (multi ? "MultiConv " : "Show ") + argument;
  return text;
}

// Starts the program in its own folder and gives it a moment to come up.
// The program is named by its ANSI form where it has one, which is what it
// sees of its own command line; the arguments are ANSI already. A batch file
// standing in for it gets the same words through cmd.exe, or is refused
// (ProgramStart.h).
void StartInItsFolder(const std::wstring& executable, const std::string& arguments) {
  const std::string ansi = AnsiPathOf(executable);
  const std::wstring named = ansi.empty() ? executable : WideFromAnsi(ansi);
  const std::wstring line = QuotedWide(named) + L"  " + WideFromAnsi(arguments);
  const std::wstring folder = executable.substr(0, executable.find_last_of(L'\\') + 1);
  if (IsBatchProgram(executable))
    StartProgram(executable, line, folder, 300, GetForegroundWindow());
  else
    StartProcess(line, folder, 300);
}

}  // namespace

int StartMainProgram(const std::string& request, INT_PTR number, const std::string& argument, bool multiConvert) {
  std::wstring executable = LocateExecutable();
  // The placeholder is never started: it would run whatever "-" the
  // system's search finds.
  if (executable.empty() || executable == kNoFile) return 1;
  StartInItsFolder(executable, ArgumentText(request, number, argument, multiConvert));
  return 1;
}

int StartMainProgram(const std::string& request, INT_PTR number, const std::string& argument) {
  const bool multi = WithState([](const SharedState& s) { return s.IsMultiSelection; });
  return StartMainProgram(request, number, argument, multi);
}

INT_PTR EnsureMainProgramRunning() {
  if (HWND window = FindMainProgramWindow()) return reinterpret_cast<INT_PTR>(window);
  if (IsAutoStartEnabled()) return StartMainProgram("", 0, "", false);
  int answer = ShowExtMsgBox(kCaption, LookupText("@idStartMainprog"), LookupText("@idAlwaysAutostart"),
                             LookupText("@idYes"), LookupText("@idNo"));
  if (answer == mrAbort) {
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, kProgramKey)) key.WriteDword("AutoStart", 1);
  }
  if (answer == mrAbort || answer == mrYes) return StartMainProgram("", 0, "", false);
  return 1;
}

bool IsAutoStartEnabled() {
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, kProgramKey)) return false;
  auto value = key.ReadDword("AutoStart");
  return value && *value == 1;
}

std::string FindMainProgramExecutable() {
  // Asked while a menu is built: a candidate on a network share or a drive
  // that is not ready is taken as it is, without looking for its file (its
  // icon is then the generic one, ProgramIcon.h).
  // Looked for in UTF-16 and given in its ANSI form (empty when it has none).
  auto found = [](const std::wstring& path) {
    return IsFullPath(path) && (!PathMayBeTouched(path) || FileExists(path));
  };
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kProgramKey)) {
    std::optional<std::wstring> stored = key.ReadWideString(L"cmd");
    if (stored && !stored->empty() && found(*stored)) return AnsiPathOf(*stored);
  }
  const std::wstring beside = GetExtensionDirectory() + L"Ombrelo.exe";
  return found(beside) ? AnsiPathOf(beside) : std::string();
}

std::wstring GetExtensionDirectory() {
  const std::wstring path = ModulePath(ThisModule());
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace ombrelo
