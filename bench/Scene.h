#pragma once
// What a right-click needs around the extension, for the benchmark and the
// resource test: the extension loaded as the shell loads it, the user's
// settings file with a number of open-with entries, the registry values
// that choose icon items, a small picture, and the stand-in main program.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace bench {

// The first command identifier the shell hands the handler, and its last.
inline constexpr UINT kFirstId = 1;
inline constexpr UINT kLastId = 0x7FFF;

// A DLL loaded with LoadLibrary and its class factory for one class.
class LoadedServer {
 public:
  LoadedServer(const std::string& path, const CLSID& clsid);
  ~LoadedServer();
  LoadedServer(const LoadedServer&) = delete;
  LoadedServer& operator=(const LoadedServer&) = delete;
  IClassFactory* factory() const { return factory_; }
  HMODULE module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
  IClassFactory* factory_ = nullptr;
};

// {67C63340-679B-11D2-92EE-000021474C15}
inline constexpr CLSID kExtensionClsid = {0x67C63340, 0x679B, 0x11D2, {0x92, 0xEE, 0x00, 0x00, 0x21, 0x47, 0x4C, 0x15}};
std::string ExeDir();  // with its trailing backslash
std::string ExtensionPath();
std::string MinimalHandlerPath();

// The user's settings file; what was there before comes back at destruction.
class SettingsFile {
 public:
  SettingsFile();
  ~SettingsFile();
  SettingsFile(const SettingsFile&) = delete;
  SettingsFile& operator=(const SettingsFile&) = delete;
  // An "OpenWith" section of count entries whose programs have icons.
  void WriteOpenWith(int count);
  // An "OpenWith" section with these programs.
  void WriteOpenWith(const std::vector<std::string>& programs);
  void Write(const std::string& text);
  const std::string& path() const { return path_; }

 private:
  std::string path_, saved_;
  bool existed_ = false;
};

// The programs of the first count open-with entries that WriteOpenWith writes.
std::vector<std::string> OpenWithPrograms(int count);

// count programs of their own in folder (copies of those OpenWithPrograms
// names, "program0.exe" and on): programs no menu of the process has
// shown yet.
std::vector<std::string> CopiesOfPrograms(const std::string& folder, int count);

// The program key under HKEY_CURRENT_USER: removed, so every setting has its
// default (preview in the shell's menu, preview enabled), then "DisplaySym".
void ResetProgramKey();
void SetIconItems(bool on);
// "cmd": where the extension finds the main program's executable (its icon
// goes beside "&Ombrelo" with the icon items).
void SetMainProgramPath(const std::string& path);
// The stand-in main program built beside the benchmark.
std::string StandinPath();

// A folder of its own in the temporary directory, removed with its files.
class WorkFolder {
 public:
  WorkFolder();
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::string& path() const { return path_; }  // with trailing backslash

 private:
  std::string path_;
};

// A 24-bit Windows bitmap file of width x height.
void WriteBitmapFile(const std::string& path, int width, int height);
// The preview bitmap the main program writes, where the extension reads it.
std::string PreviewBitmapPath();

// A window of the main program's class on a thread of this process that
// accepts every request: with the preview bitmap written beforehand (and
// renewed at each request, as the main program writes it anew), the
// extension requests, loads and draws a preview without a second process.
class MainProgramWindow {
 public:
  MainProgramWindow();
  ~MainProgramWindow();
  MainProgramWindow(const MainProgramWindow&) = delete;
  MainProgramWindow& operator=(const MainProgramWindow&) = delete;
  bool running() const { return window_ != nullptr; }
  long requests() const { return requests_; }

 private:
  static DWORD WINAPI Run(void* start);
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
  volatile long requests_ = 0;
};

// The stand-in main program, started from bin/standin and closed at
// destruction; delayMs: the time it takes for every message.
class MainProgram {
 public:
  explicit MainProgram(DWORD delayMs = 0);
  ~MainProgram();
  MainProgram(const MainProgram&) = delete;
  MainProgram& operator=(const MainProgram&) = delete;
  bool running() const { return window_ != nullptr; }
  // Waits (at most timeoutMs) until it has handled the messages it was sent.
  void WaitUntilIdle(UINT timeoutMs) const;

 private:
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

}  // namespace bench
