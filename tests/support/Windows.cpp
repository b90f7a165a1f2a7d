#include "support/Windows.h"

#include <vector>

namespace testsupport {

std::string WindowText(HWND window) {
  int n = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), n + 1)));
  return text;
}

std::string WindowClass(HWND window) {
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

namespace {
struct FindData {
  const char* cls;
  const char* title;
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindTop(HWND window, LPARAM param) {
  auto* d = reinterpret_cast<FindData*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (d->pid && pid != d->pid) return TRUE;
  if (d->cls && WindowClass(window) != d->cls) return TRUE;
  if (d->title && WindowText(window) != d->title) return TRUE;
  d->found = window;
  return FALSE;
}

BOOL CALLBACK FindChildProc(HWND window, LPARAM param) {
  auto* d = reinterpret_cast<FindData*>(param);
  if (d->cls && WindowClass(window) != d->cls) return TRUE;
  if (d->title && WindowText(window) != d->title) return TRUE;
  d->found = window;
  return FALSE;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
  auto* text = reinterpret_cast<std::string*>(param);
  text->append("|").append(WindowText(window));
  return TRUE;
}

BOOL CALLBACK CloseOwn(HWND window, LPARAM) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window)) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}
}  // namespace

HWND FindTopWindow(const char* className, const char* title, DWORD processId) {
  FindData d{className, title, processId, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

HWND WaitForTopWindow(const char* className, const char* title, DWORD processId,
                      std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (HWND w = FindTopWindow(className, title, processId)) return w;
    if (std::chrono::steady_clock::now() >= end) return nullptr;
    Sleep(20);
  }
}

bool WaitUntilAnswering(HWND window, std::chrono::milliseconds timeout) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result) != 0;
}

HWND FindChild(HWND parent, const char* className, const char* text) {
  FindData d{className, text, 0, nullptr};
  EnumChildWindows(parent, FindChildProc, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

void Click(HWND control) { SendMessageA(control, BM_CLICK, 0, 0); }

WindowWatcher::WindowWatcher(const char* className, const char* title, std::function<void(HWND)> action,
                             std::chrono::milliseconds timeout)
    : className_(className ? className : ""),
      title_(title ? title : ""),
      anyClass_(className == nullptr),
      anyTitle_(title == nullptr),
      action_(std::move(action)),
      timeout_(timeout) {
  thread_ = std::thread([this] {
    HWND w = WaitForTopWindow(anyClass_ ? nullptr : className_.c_str(), anyTitle_ ? nullptr : title_.c_str(),
                              GetCurrentProcessId(), timeout_);
    if (!w) {
      EnumWindows(CloseOwn, 0);
      return;
    }
    WaitUntilAnswering(w);
    seen_ = WindowText(w);
    EnumChildWindows(w, CollectText, reinterpret_cast<LPARAM>(&seen_));
    found_ = true;
    action_(w);
  });
}

WindowWatcher::~WindowWatcher() { Join(); }

bool WindowWatcher::Join() {
  if (thread_.joinable()) thread_.join();
  return found_;
}

std::function<void(HWND)> PressDialogButton(int id) {
  return [id](HWND dialog) {
    HWND button = GetDlgItem(dialog, id);
    if (button) Click(button);
    else PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  };
}

}  // namespace testsupport
