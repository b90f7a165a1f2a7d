// Test helper: records how it was started and exits. Appends one line, its
// command line, a tab and its current folder, to the file named by the
// environment variable OMBRELO_RECORD_FILE (default: recorder.log beside
// itself), in the ANSI code page, and the same line in UTF-8 to that name
// with ".utf8" appended. Tests register it as a shell verb, an application path, a
// viewer, an open-with program or the main program, and read the record.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char target[MAX_PATH * 2] = {};
  DWORD length = GetEnvironmentVariableA("OMBRELO_RECORD_FILE", target, sizeof(target));
  if (length == 0 || length >= sizeof(target)) {
    GetModuleFileNameA(nullptr, target, MAX_PATH);
    std::string own = target;
    std::string log = own.substr(0, own.find_last_of('\\') + 1) + "recorder.log";
    lstrcpynA(target, log.c_str(), sizeof(target));
  }
  char folder[MAX_PATH * 2] = {};
  GetCurrentDirectoryA(sizeof(folder), folder);
  std::string line = std::string(GetCommandLineA()) + "\t" + folder + "\r\n";

  // Several recorders may finish at once: one writes at a time.
  HANDLE turn = CreateMutexA(nullptr, FALSE, "OmbreloRecorderTurn");
  const DWORD waited = turn ? WaitForSingleObject(turn, 60000) : WAIT_FAILED;
  HANDLE file = CreateFileA(target, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  DWORD written = 0;
  const bool ok = file != INVALID_HANDLE_VALUE &&
                  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                  written == line.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  wchar_t wideFolder[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, wideFolder);
  const std::wstring wide = std::wstring(GetCommandLineW()) + L"\t" + wideFolder + L"\r\n";
  std::string utf8(wide.size() * 3, '\0');
  utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                      utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr)));
  HANDLE utf8File = CreateFileA((std::string(target) + ".utf8").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (utf8File != INVALID_HANDLE_VALUE) {
    WriteFile(utf8File, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(utf8File);
  }
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(turn);
  if (turn) CloseHandle(turn);
  return ok ? 0 : 1;
}
