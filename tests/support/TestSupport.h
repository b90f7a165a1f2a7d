#pragma once
// Shared helpers of the test programs.
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Folder of the running test program, with a trailing backslash; the DLL,
// the tools and the helper programs are built into the same folder.
std::string ExeDir();
std::string DllPath();

// Removes HKCU\Software\Kestrani\Ombrelo with everything below it.
void ResetProgramKey();
void SetProgramString(const char* subkey, const char* name, const std::string& value);
void SetProgramDword(const char* subkey, const char* name, DWORD value);
void SetProgramValue(const char* subkey, const char* name, DWORD type, const void* data, DWORD size);
// Reads a string value of any HKCU key; empty optional-style: found = false.
std::string ReadHkcuString(const char* key, const char* name, bool* found = nullptr);
bool HkcuValueExists(const char* key, const char* name);

// Polls until pred() is true or the time is up; true when pred() held.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
// Runs the thread's message loop for a short while (for windows of this thread).
void PumpMessages(std::chrono::milliseconds duration);

// A fresh temporary folder for one test, removed with its files at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // with trailing backslash
  std::string File(const std::string& name, const std::string& contents = "") const;

 private:
  std::string path_;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Gives an existing file a write time later than any this process gave
// before, as writing it anew does on a file system with fine timestamps:
// a reader that compares versions sees a new one. Files written in quick
// succession can otherwise share a write time here (coarse clock) and,
// rewritten in place, their identity and size too.
void RenewFile(const std::string& path);

// Counts the GDI objects of this process by probing handles (Wine's
// GetGuiResources answers 0).
int CountGdiObjects();
// Kernel handles of this process (counted by probing handle values).
DWORD CountKernelHandles();
// Committed private memory of this process.
size_t PrivateBytes();
// Ids of the running processes whose executable has this file name.
std::vector<DWORD> ProcessesNamed(const char* exeName);

}  // namespace testsupport
