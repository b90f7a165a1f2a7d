#include "bridge/ProgramStart.h"

#include <shellapi.h>

#include <cwchar>

#include "common/FileNames.h"
#include "common/Handles.h"
#include "lang/DMSStrings.h"

namespace ombrelo {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool EndsWithNoCase(const std::wstring& text, const wchar_t* ending) {
  const size_t n = wcslen(ending);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    wchar_t c = text[text.size() - n + i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != ending[i]) return false;
  }
  return true;
}

// One argument for cmd.exe: always in quotes, so that none of its
// characters is read as a command or separator. An embedded quote is
// doubled, which leaves cmd.exe's quote state as it was; backslashes before
// a quote (embedded or the closing one) are doubled so that a program the
// batch file hands the argument to reads them as backslashes.
void AppendBatchArgument(std::wstring& line, const std::wstring& argument) {
  line += L'"';
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
    } else {
      if (c == L'"') {
        line.append(backslashes, L'\\');
        line += L'"';
      }
      backslashes = 0;
    }
    line += c;
  }
  line.append(backslashes, L'\\');
  line += L'"';
}

// Characters cmd.exe acts on even inside quotes: "%" expands variables (no
// escape works inside quotes on a /c line), a line break ends the command.
bool PassesThroughCmd(const std::wstring& text) { return text.find_first_of(L"%\r\n") == std::wstring::npos; }

void TellRefused(HWND owner, const std::wstring& program, const std::wstring& refused) {
  const bool german = ActiveLanguageIndex() == 0;
  std::wstring text;
  if (refused == program)
    text = german ? L"Die Stapelverarbeitungsdatei \"" + program + L"\" kann nicht sicher gestartet werden."
                  : L"The batch file \"" + program + L"\" cannot be started safely.";
  else
    text = german ? L"Der Name \"" + refused + L"\" kann nicht sicher an die Stapelverarbeitungsdatei \"" + program +
                        L"\" übergeben werden. Sie wurde nicht gestartet."
                  : L"The name \"" + refused + L"\" cannot be passed safely to the batch file \"" + program +
                        L"\". It was not started.";
  MessageBoxW(owner, text.c_str(), L"Ombrelo", MB_ICONERROR);
}

bool Launch(const std::wstring& application, const std::wstring& commandLine, const std::wstring& folder,
            DWORD waitMs) {
  std::wstring line = commandLine;  // CreateProcessW may write into it
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                      CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, folder.empty() ? nullptr : folder.c_str(),
                      &startup, &process))
    return false;
  UniqueKernelHandle processHandle(process.hProcess);
  UniqueKernelHandle threadHandle(process.hThread);
  WaitForSingleObject(processHandle.get(), waitMs);
  return true;
}

}  // namespace

bool IsFullPath(const std::wstring& path) {
  if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]))
    return (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
  return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

bool IsFullPath(const std::string& path) { return IsFullPath(WideFromAnsi(path)); }

bool ProgramFileExists(const std::wstring& path) {
  if (!IsFullPath(path)) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ProgramFileExists(const std::string& path) { return ProgramFileExists(WideFromAnsi(path)); }

std::wstring SystemProgram(const wchar_t* fileName) {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::wstring(folder, n) + L"\\" + fileName;
}

bool IsBatchProgram(const std::wstring& program) {
  size_t start = program.find_last_of(L"\\/");
  std::wstring name = program.substr(start == std::wstring::npos ? 0 : start + 1);
  name = name.substr(0, name.find(L':'));
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  return EndsWithNoCase(name, L".bat") || EndsWithNoCase(name, L".cmd");
}

std::optional<std::wstring> BatchCommandLine(const std::wstring& batchFile, const std::vector<std::wstring>& arguments,
                                             std::wstring* refused) {
  auto refuse = [&](const std::wstring& what) -> std::optional<std::wstring> {
    if (refused) *refused = what;
    return std::nullopt;
  };
  const std::wstring shell = SystemProgram(L"cmd.exe");
  if (shell.empty()) return refuse(batchFile);
  if (!PassesThroughCmd(batchFile) || batchFile.find(L'"') != std::wstring::npos || batchFile.empty() ||
      IsSeparator(batchFile.back()))
    return refuse(batchFile);
  // /c strips the first and the last quote of what follows it: the extra
  // pair keeps the quotes of the file and of each argument as they are.
  std::wstring line = L"\"" + shell + L"\" /e:ON /v:OFF /d /c \"\"" + batchFile + L"\"";
  for (const std::wstring& argument : arguments) {
    if (!PassesThroughCmd(argument)) return refuse(argument);
    line += L' ';
    AppendBatchArgument(line, argument);
  }
  line += L'"';
  return line;
}

std::vector<std::wstring> ArgumentsOf(const std::wstring& commandLine) {
  std::vector<std::wstring> arguments;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(commandLine.c_str(), &count);
  if (!words) return arguments;
  for (int i = 1; i < count; ++i) arguments.emplace_back(words[i]);
  LocalFree(words);
  return arguments;
}

StartOutcome StartProgram(const std::wstring& program, const std::wstring& commandLine, const std::wstring& folder,
                          DWORD waitMs, HWND owner) {
  if (!ProgramFileExists(program)) return StartOutcome::NotFound;
  if (!IsBatchProgram(program))
    return Launch(program, commandLine, folder, waitMs) ? StartOutcome::Started : StartOutcome::Failed;
  std::wstring refused;
  const std::optional<std::wstring> line = BatchCommandLine(program, ArgumentsOf(commandLine), &refused);
  if (!line) {
    TellRefused(owner, program, refused);
    return StartOutcome::Refused;
  }
  return Launch(SystemProgram(L"cmd.exe"), *line, folder, waitMs) ? StartOutcome::Started : StartOutcome::Failed;
}

}  // namespace ombrelo
