#pragma once
// Finding and answering real windows from a test: message boxes, the
// extended message box, the folder browser, windows of helper programs.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

std::string WindowText(HWND window);
std::string WindowClass(HWND window);
// A visible top-level window whose class and title match (null = any), owned
// by the given process (0 = any process).
HWND FindTopWindow(const char* className, const char* title, DWORD processId);
HWND WaitForTopWindow(const char* className, const char* title, DWORD processId,
                      std::chrono::milliseconds timeout);
// Waits until the thread of a window takes messages again (a dialog has
// finished its initialisation and runs its message loop); false when it does
// not within the timeout.
bool WaitUntilAnswering(HWND window, std::chrono::milliseconds timeout = std::chrono::seconds(60));
// A descendant window with the given class (null = any) and text (null = any).
HWND FindChild(HWND parent, const char* className, const char* text);
// Presses a push button, or toggles a check box, as a click would.
void Click(HWND control);

// Watches for a top-level window of this process while the test thread is
// inside a modal call, and answers it with `action` on the watcher thread.
// If no matching window appears in time, every visible top-level window of
// this process is closed, so the modal call can never hang the test.
class WindowWatcher {
 public:
  WindowWatcher(const char* className, const char* title, std::function<void(HWND)> action,
                std::chrono::milliseconds timeout = std::chrono::seconds(60));
  ~WindowWatcher();
  WindowWatcher(const WindowWatcher&) = delete;
  WindowWatcher& operator=(const WindowWatcher&) = delete;
  // Waits for the watcher to finish; true when the window was found and answered.
  bool Join();
  // What the window showed when it was found (title, and the texts of its controls).
  const std::string& Seen() const { return seen_; }

 private:
  std::string className_, title_;
  bool anyClass_, anyTitle_;
  std::function<void(HWND)> action_;
  std::chrono::milliseconds timeout_;
  std::atomic<bool> found_{false};
  std::string seen_;
  std::thread thread_;
};

// Answers a standard message box of this process by pressing the button with
// the given id (IDYES, IDNO, IDOK, IDCANCEL ...); records its text.
std::function<void(HWND)> PressDialogButton(int id);

}  // namespace testsupport
