// A stand-in for the main program, for development and tests: it owns the
// main program's command window, records every message and its own start
// in a journal, and answers preview requests with a real preview bitmap.
//
// Command line: what the extension passes (nothing, a window handle,
// "Show " + path, "MultiConv " + list file) is only recorded. A command line
// of switches instead controls the stand-in and ends at once:
//   /status=N   writes "status" = N (integer) under the program key
//   /status=    deletes "status"
//   /order=X    writes "order" = X (string);  /order=  deletes it
//   /exit       closes the running stand-in and waits for it to end
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <deque>
#include <string>

#include "Journal.h"
#include "Preview.h"
#include "Settings.h"

namespace standin {
namespace {

const char kWindowClass[] = "TF_97F624E067B811D292EE000021474C15";
const char kProgramKey[] = "Software\\Kestrani\\Ombrelo";

struct Verb {
  long code;
  const char* name;
};
const Verb kVerbs[] = {{-12337, "pcx"},     {-12336, "jpg"},       {-12335, "bmp"},    {-12334, "png"},
                       {-12333, "tif"},     {-12300, "nix"},       {-12400, "options"}, {-12500, "PicClip"},
                       {-12600, "order"},   {-12700, "drucken"},   {-12800, "wallpaper"}, {-12900, "CStatus"}};

const char* VerbName(long code) {
  for (const Verb& v : kVerbs)
    if (v.code == code) return v.name;
  return nullptr;
}

Settings g_settings;
Journal* g_journal = nullptr;
std::deque<std::string> g_recent;  // shown in the window

void Show(HWND window, const std::string& line) {
  g_recent.push_back(line);
  while (g_recent.size() > 8) g_recent.pop_front();
  if (window) InvalidateRect(window, nullptr, TRUE);
}

std::string PreviewBitmapPath() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof(temp), temp);
  return std::string(temp) + "\\ombrelo.bmp";
}

// A preview request: dwData is a menu handle, the text a path, bare or after "_" or "+".
void HandlePreviewRequest(HWND window, long code, const std::string& text) {
  std::string picture = text;
  if (!picture.empty() && (picture[0] == '_' || picture[0] == '+')) picture.erase(0, 1);
  std::string bitmap = PreviewBitmapPath();
  if (g_settings.noPreview) {
    DeleteFileA(bitmap.c_str());
    g_journal->Write("preview", code, "", "off");
    Show(window, "preview off");
    return;
  }
  PictureInfo info;
  if (!WritePreview(picture, bitmap, info)) {
    g_journal->Write("preview", code, "", "failed");
    Show(window, "preview failed: " + picture);
    return;
  }
  std::string lines[3] = {SizeText(info), ColorsText(info), info.format};
  HMENU menu = reinterpret_cast<HMENU>(static_cast<LONG_PTR>(code));
  int filled = FillInfoLines(menu, lines, 3);
  std::string detail = std::to_string(info.previewWidth) + "x" + std::to_string(info.previewHeight) +
                       " lines=" + std::to_string(filled) + " " + lines[0] + ", " + lines[1] + ", " + lines[2];
  g_journal->Write("preview", code, bitmap, detail);
  Show(window, "preview " + detail);
}

LRESULT OnCopyData(HWND window, WPARAM wParam, const COPYDATASTRUCT* data) {
  // The code is a 32-bit value; a menu handle travels as its 32-bit handle value.
  long code = static_cast<long>(static_cast<LONG_PTR>(data->dwData));
  const char* bytes = static_cast<const char*>(data->lpData);
  size_t count = bytes ? data->cbData : 0;
  g_journal->Write("copydata", code, bytes, count, "wparam=" + std::to_string(static_cast<unsigned long long>(wParam)));
  std::string text(bytes ? bytes : "", count);
  text.resize(std::char_traits<char>::length(text.c_str()));  // up to the terminating zero
  if (g_settings.delayMs) Sleep(g_settings.delayMs);
  // A main program that dies in the middle of a message: the sender gets no answer.
  if (g_settings.crash) TerminateProcess(GetCurrentProcess(), 3);
  if (const char* verb = VerbName(code)) {
    Show(window, std::string(verb) + " " + text);
  } else if (code != 0) {
    HandlePreviewRequest(window, code, text);
  } else {
    Show(window, "code 0 " + text);
  }
  return TRUE;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COPYDATA:
      return OnCopyData(window, wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      int y = 4;
      TextOutA(dc, 4, y, "Ombrelo stand-in (not the product)", 34);
      for (const std::string& line : g_recent) {
        y += 18;
        TextOutA(dc, 4, y, line.c_str(), static_cast<int>(line.size()));
      }
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The arguments after the executable's (possibly quoted) path, unchanged.
std::string ArgumentsOf(const char* commandLine) {
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  return p;
}

void WriteProgramValue(const char* name, const std::string& value, bool asInteger) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return;
  if (value.empty()) {
    RegDeleteValueA(key, name);
  } else if (asInteger) {
    DWORD number = static_cast<DWORD>(std::strtol(value.c_str(), nullptr, 10));
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
  } else {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
  RegCloseKey(key);
}

void CloseRunningStandin() {
  HWND window = FindWindowA(kWindowClass, nullptr);
  if (!window) return;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  PostMessageA(window, WM_CLOSE, 0, 0);
  if (process) {
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
  }
}

// Carries out a command line of switches; false when it holds none.
bool RunSwitches(const std::string& arguments) {
  size_t start = arguments.find_first_not_of(" \t");
  if (start == std::string::npos || arguments[start] != '/') return false;
  size_t pos = start;
  while (pos < arguments.size()) {
    size_t end = arguments.find_first_of(" \t", pos);
    std::string word = arguments.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (word.rfind("/status=", 0) == 0) WriteProgramValue("status", word.substr(8), true);
    else if (word.rfind("/order=", 0) == 0) WriteProgramValue("order", word.substr(7), false);
    else if (word == "/exit") CloseRunningStandin();
    if (end == std::string::npos) break;
    pos = arguments.find_first_not_of(" \t", end);
  }
  return true;
}

int Run(HINSTANCE instance, int show) {
  std::string arguments = ArgumentsOf(GetCommandLineA());
  if (RunSwitches(arguments)) return 0;

  g_settings = ReadSettings();
  Journal journal(g_settings.journal);
  g_journal = &journal;
  char cwd[MAX_PATH + 1] = {};
  GetCurrentDirectoryA(sizeof(cwd), cwd);
  // One command window at a time: a second start is recorded and ends.
  bool alreadyRunning = FindWindowA(kWindowClass, nullptr) != nullptr;
  std::string commandLine = GetCommandLineA();
  journal.Write("start", 0, commandLine, std::string("cwd=") + cwd);
  if (alreadyRunning) return 0;

  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowExA(0, kWindowClass, "Ombrelo stand-in", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  Show(window, "started:" + arguments);
  ShowWindow(window, show);
  UpdateWindow(window);

  if (g_settings.hangMs) {
    journal.Write("hang", 0, "", std::to_string(g_settings.hangMs));
    Sleep(g_settings.hangMs);  // handles no message meanwhile
  }

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  journal.Write("exit", 0, "", "");
  return 0;
}

}  // namespace
}  // namespace standin

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  int rc = standin::Run(instance, show);
  if (SUCCEEDED(com)) CoUninitialize();
  return rc;
}
