#pragma once
// The one rule for paths while a menu is built: which paths the menu code
// may touch (open, list, ask for attributes, hand to the shell to read) on
// the shell's window thread, before the user has picked a command.
//
// A path on a network share can wait for the network for tens of seconds
// when the share is slow or its server is gone, and a drive without its
// medium can ask the user for a disk; neither may happen while Explorer
// waits for a menu. The commands themselves (after the user picks one) are
// not bound by this rule.
#include <windows.h>

#include <string>

#include "common/ThreadScope.h"

namespace ombrelo {

// Whether the menu code may touch path while the menu is built. False for:
// - a UNC path ("\\server\share\...", "\\?\UNC\..."), decided from the text;
// - a path on a drive that GetDriveType reports as remote (a mapped network
//   drive), as without a root directory (no such drive), or as unknown;
// - a path on a removable or CD drive without its medium (asked of the
//   device without reading the medium, critical-error boxes off);
// - any other device or volume path ("\\.\pipe\...", "\\?\Volume{...}\..."),
//   and the empty path.
// A relative path is judged where it leads from the current directory.
// Touches no file itself: the text, GetFullPathNameW, GetDriveTypeW of the
// drive's root (except for the Windows folder's drive, which is always
// local), and for a removable or CD drive a media check of the device.
bool PathMayBeTouched(const wchar_t* path);
inline bool PathMayBeTouched(const std::wstring& path) { return PathMayBeTouched(path.c_str()); }

// While it lives, PathMayBeTouched on this thread asks each drive only once
// and keeps its verdict: one per menu being built, whose settings file,
// programs and preview mostly share a drive. Drive types are asked afresh
// for the next menu. Scopes may nest; the innermost one keeps the verdicts.
class DrivesOfOneMenu {
 public:
  DrivesOfOneMenu();
  DrivesOfOneMenu(const DrivesOfOneMenu&) = delete;
  DrivesOfOneMenu& operator=(const DrivesOfOneMenu&) = delete;
  // The verdict kept for the drive (0 to 25): -1 none yet, 0 no, 1 yes.
  signed char& Verdict(int drive) { return verdicts_[drive]; }

 private:
  signed char verdicts_[26];
  ThreadScope<DrivesOfOneMenu> scope_;
};

// While it lives, the calling thread shows no critical-error box (such as
// "There is no disk in the drive"): the failing call returns an error
// instead. The thread's previous error mode comes back at destruction.
class NoCriticalErrorBoxes {
 public:
  NoCriticalErrorBoxes();
  ~NoCriticalErrorBoxes();
  NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
  NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

 private:
  DWORD previous_ = 0;
  bool changed_ = false;
};

}  // namespace ombrelo
