#include "Scene.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <fstream>
#include <sstream>

#include "support/Bitmaps.h"
#include "support/TestSupport.h"

namespace bench {

namespace {
const char kProgramKey[] = "Software\\Kestrani\\Ombrelo";
const char kMainProgramClass[] = "TF_97F624E067B811D292EE000021474C15";

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Programs of the system that have icons; an entry is the more expensive
// for it, since its icon item is painted from the program's icon.
std::vector<std::string> ProgramsWithIcons() {
  char system[MAX_PATH] = {}, windows[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string candidates[] = {
      std::string(system) + "\\notepad.exe",  std::string(windows) + "\\regedit.exe",
      std::string(system) + "\\winhlp32.exe", std::string(system) + "\\write.exe",
      std::string(system) + "\\taskmgr.exe",  std::string(windows) + "\\explorer.exe",
      std::string(system) + "\\cmd.exe",      std::string(system) + "\\control.exe"};
  std::vector<std::string> found;
  for (const std::string& path : candidates)
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) found.push_back(path);
  if (found.empty()) found.push_back(std::string(system) + "\\kernel32.dll");
  return found;
}
}  // namespace

std::string ExeDir() {
  char buffer[MAX_PATH * 4] = {};
  GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  std::string path = buffer;
  return path.substr(0, path.find_last_of('\\') + 1);
}

std::string ExtensionPath() { return ExeDir() + "OmbreloShell.dll"; }
std::string MinimalHandlerPath() { return ExeDir() + "bench_minimal.dll"; }

LoadedServer::LoadedServer(const std::string& path, const CLSID& clsid) {
  module_ = LoadLibraryA(path.c_str());
  if (!module_) return;
  auto get = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
  if (get) get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory_));
}

LoadedServer::~LoadedServer() {
  if (factory_) factory_->Release();
  if (module_) FreeLibrary(module_);
}

SettingsFile::SettingsFile() {
  char appData[MAX_PATH] = {};
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
  const std::string folder = std::string(appData) + "\\Kestrani\\Ombrelo";
  SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  path_ = folder + "\\Ombrelo.ini";
  existed_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (existed_) saved_ = ReadBytes(path_);
}

SettingsFile::~SettingsFile() {
  if (existed_) WriteBytes(path_, saved_);
  else DeleteFileA(path_.c_str());
}

std::vector<std::string> OpenWithPrograms(int count) {
  const std::vector<std::string> programs = ProgramsWithIcons();
  std::vector<std::string> result;
  for (int i = 0; i < count; ++i) result.push_back(programs[static_cast<size_t>(i) % programs.size()]);
  return result;
}

std::vector<std::string> CopiesOfPrograms(const std::string& folder, int count) {
  const std::vector<std::string> originals = ProgramsWithIcons();
  std::vector<std::string> copies;
  for (int i = 0; i < count; ++i) {
    copies.push_back(folder + "program" + std::to_string(i) + ".exe");
    CopyFileA(originals[static_cast<size_t>(i) % originals.size()].c_str(), copies.back().c_str(), FALSE);
  }
  return copies;
}

void SettingsFile::WriteOpenWith(int count) { WriteOpenWith(OpenWithPrograms(count)); }

void SettingsFile::WriteOpenWith(const std::vector<std::string>& programs) {
  const size_t count = programs.size();
  std::string text = "[OpenWith]\r\nCount=" + std::to_string(count) + "\r\n";
  for (size_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    text += "Desc" + n + "=Program " + n + "\r\nCmd" + n + "=" + programs[i] + "\r\nParams" + n +
            "=\"{Dateiname}\" /p\r\n";
  }
  WriteBytes(path_, text);
}

void SettingsFile::Write(const std::string& text) { WriteBytes(path_, text); }

void ResetProgramKey() { SHDeleteKeyA(HKEY_CURRENT_USER, kProgramKey); }

void SetIconItems(bool on) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  const char* value = on ? "true" : "false";
  RegSetValueExA(key, "DisplaySym", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>(strlen(value) + 1));
  RegCloseKey(key);
}

void SetMainProgramPath(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExA(key, "cmd", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>(path.size() + 1));
  RegCloseKey(key);
}

std::string StandinPath() { return ExeDir() + "standin\\Ombrelo.exe"; }

WorkFolder::WorkFolder() {
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  for (int i = 0;; ++i) {
    const std::string name = std::string(base) + "ombbench_" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(i) + "\\";
    if (CreateDirectoryA(name.c_str(), nullptr)) {
      path_ = name;
      break;
    }
  }
}

WorkFolder::~WorkFolder() {
  std::string from = path_.substr(0, path_.size() - 1);
  from.push_back('\0');
  from.push_back('\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

void WriteBitmapFile(const std::string& path, int width, int height) {
  WriteBytes(path, testsupport::MakeBitmapFile(width, height, [height](int x, int y) {
    const int row = height - 1 - y;  // the file stores the bottom row first
    return RGB((x + row) * 2, row * 5, x * 4);
  }));
}

std::string PreviewBitmapPath() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(temp), temp);
  return std::string(temp) + "\\ombrelo.bmp";
}

MainProgram::MainProgram(DWORD delayMs) {
  // One that already runs (left from an earlier run) answers as well.
  window_ = FindWindowA(kMainProgramClass, nullptr);
  if (window_) return;
  for (const char* name : {"OMBRELO_STANDIN_JOURNAL", "OMBRELO_STANDIN_NOPREVIEW", "OMBRELO_STANDIN_DELAY",
                           "OMBRELO_STANDIN_HANG"})
    SetEnvironmentVariableA(name, nullptr);
  if (delayMs) SetEnvironmentVariableA("OMBRELO_STANDIN_DELAY", std::to_string(delayMs).c_str());
  std::string command = "\"" + StandinPath() + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
    return;
  for (int i = 0; i < 1000 && !window_; ++i) {
    window_ = FindWindowA(kMainProgramClass, nullptr);
    if (!window_) Sleep(10);
  }
}

void MainProgram::WaitUntilIdle(UINT timeoutMs) const {
  // Answered once the messages sent before it are handled.
  DWORD_PTR result = 0;
  if (window_) SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result);
}

MainProgram::~MainProgram() {
  SetEnvironmentVariableA("OMBRELO_STANDIN_DELAY", nullptr);
  if (process_.hProcess) {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  DeleteFileA(PreviewBitmapPath().c_str());
}

namespace {
struct WindowStart {
  MainProgramWindow* self;
  HANDLE ready;
};
}  // namespace

MainProgramWindow::MainProgramWindow() {
  WindowStart start{this, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  thread_ = CreateThread(nullptr, 0, Run, &start, 0, &threadId_);
  if (thread_) WaitForSingleObject(start.ready, 10000);
  CloseHandle(start.ready);
}

DWORD WINAPI MainProgramWindow::Run(void* parameter) {
  WindowStart* start = static_cast<WindowStart*>(parameter);
  MainProgramWindow* self = start->self;
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kMainProgramClass;
  RegisterClassA(&wc);
  self->window_ = CreateWindowA(kMainProgramClass, "", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
  if (self->window_) SetWindowLongPtrA(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  SetEvent(start->ready);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  if (self->window_) DestroyWindow(self->window_);
  UnregisterClassA(kMainProgramClass, wc.hInstance);
  return 0;
}

MainProgramWindow::~MainProgramWindow() {
  if (!thread_) return;
  PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, 10000);
  CloseHandle(thread_);
}

LRESULT CALLBACK MainProgramWindow::Proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COPYDATA) {
    auto* self = reinterpret_cast<MainProgramWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self) InterlockedIncrement(&self->requests_);
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data && static_cast<LONG>(data->dwData) > 0) testsupport::RenewFile(PreviewBitmapPath());  // a preview request
    return TRUE;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

}  // namespace bench
