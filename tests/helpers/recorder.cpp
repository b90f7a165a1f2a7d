// Test helper: records how it was started and exits. Appends one line, its
// command line, a tab and its current folder, to the file named by the
// environment variable OMBRELO_RECORD_FILE (default: recorder.log beside
// itself). Tests register it as a shell verb, an application path, a
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
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(turn);
  if (turn) CloseHandle(turn);
  return ok ? 0 : 1;
}
