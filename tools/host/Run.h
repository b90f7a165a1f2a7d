#pragma once
// What both ways of right-clicking share: exit codes, error output, the
// files as full paths, and running a command while watching what it does.
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Options.h"

namespace host {

enum ExitCode { kDone = 0, kBadInput = 1, kHandlerFailed = 2, kInvokeFailed = 3 };

// Prints the message to standard error and returns code.
int Fail(int code, const std::string& message);

// The files of the command line as full paths of existing files; empty with
// `error` set when one is not.
std::vector<std::wstring> FullPaths(const Options& options, std::string& error);

// Waits (at most 20 s) for the window class of --wait-for-window.
void WaitForWindow(const Options& options);

// Runs the command, closing the dialogs it shows after --dialog-timeout, and
// prints "<what>: <result>" and what it did: dialogs, clipboard, processes,
// registry values.
HRESULT RunObserved(const Options& options, const std::string& what, const std::function<HRESULT()>& command);

// Holds Ctrl down in this thread's keyboard state (what GetKeyState reads)
// for the lifetime of the object.
class HeldCtrl {
 public:
  explicit HeldCtrl(bool hold) : held_(hold) {
    if (!held_) return;
    GetKeyboardState(saved_);
    BYTE state[256];
    std::memcpy(state, saved_, sizeof state);
    state[VK_CONTROL] |= 0x80;
    state[VK_LCONTROL] |= 0x80;
    SetKeyboardState(state);
  }
  ~HeldCtrl() {
    if (held_) SetKeyboardState(saved_);
  }
  HeldCtrl(const HeldCtrl&) = delete;
  HeldCtrl& operator=(const HeldCtrl&) = delete;

 private:
  bool held_;
  BYTE saved_[256] = {};
};

}  // namespace host
