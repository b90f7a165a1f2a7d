#pragma once
// Showing the context menu for real and saving a picture of it: the menu is
// tracked with TrackPopupMenu on the host's window, whose window procedure
// forwards the menu messages to the handler as Explorer does; a helper
// thread opens submenus by keyboard, captures the screen area of the open
// menus and closes the menu.
#include <windows.h>

#include <string>
#include <vector>

#include "Handler.h"

namespace host {

// The window that owns the menu and stands for Explorer's window: it is the
// owner passed to InvokeCommand too.
class HostWindow {
 public:
  explicit HostWindow(const Handler& handler);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND get() const { return window_; }

  struct Counts {
    int initMenuPopup = 0, measureItem = 0, drawItem = 0, menuChar = 0;
  };
  const Counts& Forwarded() const { return counts_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  const Handler& handler_;
  HWND window_ = nullptr;
  Counts counts_;
};

// Shows `menu`, presses Down `downs[i]` times and Right at each level i to
// open a submenu, captures the open menus and writes them as a PNG with a
// transparent background. False with `error` when something failed.
bool CaptureMenu(HostWindow& window, HMENU menu, const std::vector<int>& downs, const std::wstring& file,
                 std::string& error);

}  // namespace host
