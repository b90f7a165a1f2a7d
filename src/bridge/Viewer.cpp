#include "bridge/Viewer.h"

#include <commdlg.h>

#include <cstring>
#include <vector>

#include "bridge/Channel.h"
#include "bridge/MainProgram.h"
#include "bridge/PathParts.h"
#include "bridge/TextActions.h"
#include "common/Handles.h"
#include "common/SystemLibrary.h"
#include "lang/DMSStrings.h"
#include "server/ModuleState.h"
#include "settings/Registry.h"

namespace ombrelo {

using namespace pathparts;

namespace {

constexpr char kCaption[] = "Ombrelo";
constexpr char kFileNamePlaceholder[] = "{Dateiname}";
constexpr char kShortNamePlaceholder[] = "{Dateiname im 8.3 Format}";
constexpr DWORD kViewerWaitMs = 200;

// The viewer of the settings: "ExtViewCmd" while "ExtView" switches it on.
std::string ReadExternalViewer() {
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, kProgramKey)) return {};
  if (!key.ValueExists("ExtView") || !key.ValueExists("ExtViewCmd")) return {};
  return key.ReadString("ExtViewCmd").value_or("");
}

// Consumes a pending one-shot "order": true when there was one.
bool TakePendingOrder() {
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, kProgramKey) || !key.ValueExists("order")) return false;
  key.DeleteValue("order");
  return true;
}

}  // namespace

bool StartProcess(const std::string& commandLine, const std::string& folder, DWORD waitMs) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS,
                      nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return false;
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), waitMs);
  return true;
}

std::string GetShortFileName(const std::string& path) {
  char buffer[256] = {};
  DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return {};
  return std::string(buffer, length);
}

std::string ExpandFileNamePlaceholders(const std::string& path, const std::string& argTemplate) {
  // Both placeholders are looked for in the template itself, so a path that
  // happens to contain placeholder text is never rewritten.
  size_t longAt = argTemplate.find(kFileNamePlaceholder);
  size_t shortAt = argTemplate.find(kShortNamePlaceholder);
  if (longAt == std::string::npos && shortAt == std::string::npos) return path;

  struct Replacement {
    size_t at;
    size_t length;
    std::string text;
  };
  std::vector<Replacement> replacements;
  if (longAt != std::string::npos) replacements.push_back({longAt, std::strlen(kFileNamePlaceholder), path});
  if (shortAt != std::string::npos)
    replacements.push_back({shortAt, std::strlen(kShortNamePlaceholder), GetShortFileName(path)});
  // From the back, so earlier positions stay valid.
  if (replacements.size() == 2 && replacements[0].at < replacements[1].at) std::swap(replacements[0], replacements[1]);
  std::string result = argTemplate;
  for (const Replacement& r : replacements) result.replace(r.at, r.length, r.text);
  return result;
}

int RunOpenWithProgram(const std::string& program, const std::string& path, const std::string& argTemplate,
                       HWND owner) {
  if (FileExists(program)) {
    std::string line = Quoted(program) + " " + ExpandFileNamePlaceholders(path, argTemplate);
    StartProcess(line, Folder(program), kViewerWaitMs);
    return 1;
  }
  std::string text = ActiveLanguageIndex() == 0 ? "Die Datei \"" + program + "\" wurde nicht gefunden."
                                                : "Could not found\"" + program + "\"";
  MessageBoxA(owner, text.c_str(), kCaption, MB_ICONERROR);
  return 1;
}

std::string BrowseForViewer(const std::string& oldPath) {
  char file[MAX_PATH] = {};
  oldPath.copy(file, sizeof(file) - 1);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof(file);
  dialog.lpstrTitle = "Datei suchen";
  dialog.lpstrDefExt = "exe";
  dialog.Flags = OFN_HIDEREADONLY;
  // A dialog that cannot be loaded counts as a cancelled search.
  const SystemFunction<decltype(GetOpenFileNameA)> getOpenFileName("comdlg32.dll", "GetOpenFileNameA");
  if (!getOpenFileName || !getOpenFileName(&dialog)) return {};
  std::string chosen = file;
  if (!chosen.empty()) {
    RegKey key;
    if (key.Create(HKEY_CURRENT_USER, kProgramKey)) key.WriteString("ExtViewCmd", chosen);
  }
  return chosen;
}

bool RunExternalViewer(const std::string& viewer, const std::string& path) {
  std::string program = viewer;
  if (!FileExists(program)) {
    std::string text = LookupText("@idNoExViewer1") + program + LookupText("@idNoExViewer2");
    switch (MessageBoxA(nullptr, text.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION | MB_HELP)) {
      case IDYES:
        program = BrowseForViewer(program);
        if (program.empty()) return false;
        break;
      case IDNO:
        return true;
      default:
        return false;
    }
  }
  std::string line = Quoted(program) + " " + Quoted(GetShortFileName(path));
  StartProcess(line, Folder(path), kViewerWaitMs);
  return false;
}

void DisplayPicture(HWND window, const std::string& path) {
  DisplayPicture(window, path, WithState([](SharedState& s) { return s.IsTextFile; }));
}

void DisplayPicture(HWND window, const std::string& path, bool isTextFile) {
  INT_PTR windowNumber = reinterpret_cast<INT_PTR>(window);
  if (!FindMainProgramWindow()) {
    StartMainProgram(path, windowNumber, "", false);
    return;
  }
  if (IsPreviewDisabled()) {
    if (FindMainProgramWindow()) SendMainProgramCommand(path, "CStatus");
    return;
  }
  if (!FindMainProgramWindow()) return;
  if (isTextFile) {
    OpenInTextViewer(path);
    return;
  }
  if (TakePendingOrder()) {
    SendMainProgramCommand(path, "order");
    return;
  }
  std::string viewer = ReadExternalViewer();
  if (viewer.empty() || RunExternalViewer(viewer, path)) StartMainProgram(path, windowNumber, path, false);
}

}  // namespace ombrelo
