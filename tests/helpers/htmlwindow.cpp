// Stands in for the HTML display window: a top-level window of class
// "TDisplay_Html_File" that appends every WM_COPYDATA it receives to the file
// named on its command line, one line each: "<dwData> <cbData> <text>".
// Ends on WM_CLOSE.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {
std::string g_logPath;

void Record(const COPYDATASTRUCT* data) {
  std::string text;
  if (data->lpData && data->cbData > 0) {
    const char* bytes = static_cast<const char*>(data->lpData);
    text.assign(bytes, data->cbData);
    if (!text.empty() && text.back() == '\0') text.pop_back();
  }
  FILE* f = std::fopen(g_logPath.c_str(), "ab");
  if (!f) return;
  std::fprintf(f, "%lu %lu ", static_cast<unsigned long>(data->dwData), static_cast<unsigned long>(data->cbData));
  std::fwrite(text.data(), 1, text.size(), f);
  std::fputc('\n', f);
  std::fclose(f);  // written before the sender's SendMessage returns
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COPYDATA:
      Record(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      return TRUE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, msg, wParam, lParam);
  }
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  g_logPath = argv[1];
  WNDCLASSA cls{};
  cls.lpfnWndProc = WindowProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "TDisplay_Html_File";
  if (!RegisterClassA(&cls)) return 3;
  HWND window = CreateWindowA("TDisplay_Html_File", "HTML", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              cls.hInstance, nullptr);
  if (!window) return 4;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
