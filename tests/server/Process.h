#pragma once
// Starting helper programs from a test, every wait bounded.
#include <windows.h>
#include <psapi.h>

#include <string>

namespace servertest {

// A started process; killed at destruction when it still runs.
class Process {
 public:
  explicit Process(const std::string& commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    std::string cmd = commandLine;
    if (CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
      CloseHandle(pi_.hThread);
    else
      pi_ = {};
  }
  ~Process() {
    if (!pi_.hProcess) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 99);
      WaitForSingleObject(pi_.hProcess, 10000);
    }
    CloseHandle(pi_.hProcess);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Started() const { return pi_.hProcess != nullptr; }
  DWORD Id() const { return pi_.dwProcessId; }
  // The exit code, or -1 when the process did not end in time.
  long Wait(DWORD timeoutMs) {
    if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION pi_{};
};

inline std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Runs the system's regsvr32 silently on a DLL with the given switches
// ("/u", "/n /i:user"); its exit code, -1 on a hang.
inline long RunRegsvr32With(const std::string& switches, const std::string& dll) {
  Process p("regsvr32.exe /s " + switches + " " + Quoted(dll));
  return p.Wait(60000);
}
inline long RunRegsvr32(const std::string& dll, bool unregister) { return RunRegsvr32With(unregister ? "/u" : "", dll); }

// Open kernel handles of this process, counted by probing the handle values
// (Wine's process handle count answers 0): open handles are small multiples
// of four, and the walk goes well past the last one.
inline DWORD OpenHandleCount() {
  DWORD count = 0, flags = 0, misses = 0;
  for (ULONG_PTR value = 4; misses < 4096; value += 4) {
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++count;
      misses = 0;
    } else {
      ++misses;
    }
  }
  return count;
}

// Committed private memory of this process (Wine fills the page-file usage,
// not PrivateUsage).
inline size_t CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

}  // namespace servertest
