#include "bridge/Viewer.h"

#include <commdlg.h>

#include <cstring>
#include <vector>

#include "bridge/Channel.h"
#include "bridge/MainProgram.h"
#include "bridge/PathParts.h"
#include "bridge/ProgramStart.h"
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

// CreateProcessA or CreateProcessW, by the character type of the texts.
template <class Char, class Startup, class Create>
bool StartProcessWith(const std::basic_string<Char>& commandLine, const std::basic_string<Char>& folder,
                      DWORD waitMs, Create create) {
  std::vector<Char> line(commandLine.begin(), commandLine.end());
  line.push_back(Char(0));
  Startup startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!create(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr,
              folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return false;
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), waitMs);
  return true;
}

// The path as it is put in place of the template's characters [at, at +
// length): in quotes where it holds a blank that the template leaves
// outside quotes, so that it stays one argument; otherwise byte for byte.
// The platform's parser decides whether a blank there would split.
std::wstring AsOneArgument(const std::wstring& argTemplate, size_t at, size_t length, const std::wstring& path) {
  if (path.find(L' ') == std::wstring::npos) return path;
  const std::wstring probe = L"\uE000 \uE000";
  const std::wstring line = L"x " + argTemplate.substr(0, at) + probe + argTemplate.substr(at + length);
  for (const std::wstring& argument : ArgumentsOf(line))
    if (argument.find(probe) != std::wstring::npos) return path;
  return QuotedWide(path);
}

}  // namespace

bool StartProcess(const std::string& commandLine, const std::string& folder, DWORD waitMs) {
  return StartProcessWith<char, STARTUPINFOA>(commandLine, folder, waitMs, CreateProcessA);
}

bool StartProcess(const std::wstring& commandLine, const std::wstring& folder, DWORD waitMs) {
  return StartProcessWith<wchar_t, STARTUPINFOW>(commandLine, folder, waitMs, CreateProcessW);
}

std::wstring ShortOrFullPath(const std::wstring& path) {
  std::wstring shortPath = ShortPathOf(path);
  return shortPath.empty() ? path : shortPath;
}

std::wstring ExpandFileNamePlaceholders(const SelectedFile& file, const std::string& argTemplate) {
  // Both placeholders are looked for in the template itself, so a path that
  // happens to contain placeholder text is never rewritten.
  const std::wstring wideTemplate = WideFromAnsi(argTemplate);
  const std::wstring longName = WideFromAnsi(kFileNamePlaceholder), shortName = WideFromAnsi(kShortNamePlaceholder);
  size_t longAt = wideTemplate.find(longName);
  size_t shortAt = wideTemplate.find(shortName);
  if (longAt == std::wstring::npos && shortAt == std::wstring::npos) return AsOneArgument(L"", 0, 0, file.Path);

  struct Replacement {
    size_t at;
    size_t length;
    std::wstring text;
  };
  std::vector<Replacement> replacements;
  if (longAt != std::wstring::npos)
    replacements.push_back({longAt, longName.size(), AsOneArgument(wideTemplate, longAt, longName.size(), file.Path)});
  if (shortAt != std::wstring::npos)
    replacements.push_back(
        {shortAt, shortName.size(), AsOneArgument(wideTemplate, shortAt, shortName.size(), ShortOrFullPath(file.Path))});
  // From the back, so earlier positions stay valid.
  if (replacements.size() == 2 && replacements[0].at < replacements[1].at) std::swap(replacements[0], replacements[1]);
  std::wstring result = wideTemplate;
  for (const Replacement& r : replacements) result.replace(r.at, r.length, r.text);
  return result;
}

int RunOpenWithProgram(const std::string& program, const SelectedFile& file, const std::string& argTemplate,
                       HWND owner) {
  const std::wstring wideProgram = WideFromAnsi(program);
  const std::wstring line = QuotedWide(wideProgram) + L" " + ExpandFileNamePlaceholders(file, argTemplate);
  if (StartProgram(wideProgram, line, WideFromAnsi(Folder(program)), kViewerWaitMs, owner) != StartOutcome::NotFound)
    return 1;
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

bool RunExternalViewer(const std::string& viewer, const SelectedFile& file) {
  std::string program = viewer;
  if (!ProgramFileExists(program)) {
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
  const std::wstring wideProgram = WideFromAnsi(program);
  const std::wstring line = QuotedWide(wideProgram) + L" " + QuotedWide(ShortOrFullPath(file.Path));
  StartProgram(wideProgram, line, Folder(file.Path), kViewerWaitMs, nullptr);
  return false;
}

void DisplayPicture(HWND window, const SelectedFile& file) {
  DisplayPicture(window, file, WithState([](SharedState& s) { return s.IsTextFile; }));
}

void DisplayPicture(HWND window, const SelectedFile& file, bool isTextFile) {
  INT_PTR windowNumber = reinterpret_cast<INT_PTR>(window);
  const std::string& path = file.Ansi;
  if (!FindMainProgramWindow()) {
    // The request only asks for the window number on the command line.
    StartMainProgram(file.ShownAnsi(), windowNumber, "", false);
    return;
  }
  if (IsPreviewDisabled()) {
    if (FindMainProgramWindow()) SendMainProgramCommand(path, "CStatus");
    return;
  }
  if (!FindMainProgramWindow()) return;
  if (isTextFile) {
    OpenInTextViewer(file);
    return;
  }
  if (TakePendingOrder()) {
    SendMainProgramCommand(path, "order");
    return;
  }
  std::string viewer = ReadExternalViewer();
  if ((viewer.empty() || RunExternalViewer(viewer, file)) && file.HasAnsi())
    StartMainProgram(path, windowNumber, path, false);
}

}  // namespace ombrelo
