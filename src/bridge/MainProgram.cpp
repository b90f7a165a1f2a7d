#include "bridge/MainProgram.h"

#include <vector>

#include "bridge/Channel.h"
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
const char kNoFile[] = "-";

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
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
bool AskForInstallationFolder(std::string& candidate) {
  MessageBoxA(GetForegroundWindow(), NotFoundText(), kCaption, MB_ICONERROR);
  // One browser per question, freed with it.
  TFolderBrowse browse(nullptr);
  browse.Directory.clear();
  browse.Title = BrowseTitle();
  if (!browse.Execute(GetForegroundWindow())) return true;
  const std::string& folder = browse.Directory;
  bool endsInSeparator = !folder.empty() && folder.back() == '\\';
  std::string chosen = folder + (endsInSeparator ? "ombrelo.exe" : "\\ombrelo.exe");
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
std::string LocateExecutable() {
  std::string candidate = kNoFile;
  RegKey key;
  if (!key.Create(HKEY_CURRENT_USER, kProgramKey)) return candidate;
  if (auto stored = key.ReadString("cmd")) candidate = *stored;
  if (!FileExists(candidate)) candidate = GetExtensionDirectory() + "Ombrelo.exe";
  if (!FileExists(candidate) && !AskForInstallationFolder(candidate)) return {};
  key.WriteString("cmd", candidate);
  return candidate;
}

std::string ArgumentText(const std::string& request, INT_PTR number, const std::string& argument, bool multi) {
  std::string text;
  if (!request.empty()) text = std::to_string(static_cast<LONG>(number));
  if (!argument.empty()) text = (multi ? "MultiConv " : "Show ") + argument;
  return text;
}

// Starts the program in its own folder and gives it a moment to come up.
void StartInItsFolder(const std::string& executable, const std::string& arguments) {
  StartProcess("\"" + executable + "\"  " + arguments, executable.substr(0, executable.find_last_of('\\') + 1),
               300);
}

}  // namespace

int StartMainProgram(const std::string& request, INT_PTR number, const std::string& argument, bool multiConvert) {
  std::string executable = LocateExecutable();
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
  auto found = [](const std::string& path) { return !PathMayBeTouched(WideFromAnsi(path)) || FileExists(path); };
  RegKey key;
  if (key.Open(HKEY_CURRENT_USER, kProgramKey)) {
    std::optional<std::string> stored = key.ReadString("cmd");
    if (stored && !stored->empty() && found(*stored)) return *stored;
  }
  std::string beside = GetExtensionDirectory() + "Ombrelo.exe";
  return found(beside) ? beside : std::string();
}

std::string GetExtensionDirectory() {
  // Room for the longest path the system gives, so a deep folder is never cut short.
  std::vector<char> buffer(32768);
  DWORD n = GetModuleFileNameA(ThisModule(), buffer.data(), static_cast<DWORD>(buffer.size()));
  std::string path(buffer.data(), n < buffer.size() ? n : 0);
  return path.substr(0, path.find_last_of('\\') + 1);
}

}  // namespace ombrelo
