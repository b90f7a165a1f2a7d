#pragma once
// The module-wide state that every handler object of the process shares,
// and module start-up and shutdown.
//
// The selection and the open-with lists here are those of the last
// Initialize and the last menu in the process; each handler object acts on
// its own copy (TFolContMenu::Selected), so that menus shown by two shell
// threads at once never act on each other's files. The containers sit
// behind one short lock so that two shell threads can never corrupt them. Code copies what it
// needs under the lock and works on the copy; the lock is never held across
// SendMessage, a dialog or a process start.
#include <windows.h>

#include <mutex>

#include "common/FileNames.h"
#include "common/Lock.h"
#include <string>
#include <vector>

namespace ombrelo {

// What Initialize takes of a selection: the module-wide state holds the
// last one, each handler object its own copy.
struct SelectionState {
  // The ANSI forms, which the main program receives (empty for a file that
  // has none), and beside them the full UTF-16 paths, in the same order.
  std::vector<std::string> SelectedFiles;
  std::vector<std::wstring> SelectedPaths;
  bool IsMultiSelection = false;
  bool IsTextFile = false;
  bool InBosaDialog = false;
  bool DisplaySymEnabled = false;
  UINT PictureItemState = 0;
  // The preview bitmap in the temporary folder: its full UTF-16 path, which
  // the extension reads, and its ANSI form, where the main program writes
  // it (empty when the folder has none: no preview is asked for then).
  std::wstring PreviewBitmapFile;
  std::string PreviewBitmapPath;

  // Selected file i in both forms; a selection given by its ANSI forms
  // alone has them read in the ANSI code page.
  SelectedFile File(size_t i) const {
    if (i < SelectedPaths.size() && SelectedPaths.size() == SelectedFiles.size())
      return SelectedFile(SelectedPaths[i], SelectedFiles[i]);
    return SelectedFile(SelectedFiles[i]);
  }
};

struct SharedState : SelectionState {
  std::vector<std::string> OpenWithCommands;
  std::vector<std::string> OpenWithParams;
  bool OpenWithListsExist = false;  // false only when start-up failed
  std::vector<HBITMAP> MenuBitmaps;
  bool MenuBitmapListExists = false;
  int MenuBitmapCount = 0;
};

// Set once by start-up, read-only afterwards.
struct ModuleGlobals {
  LOGFONTA MenuLogFont{};
  HFONT MenuFont = nullptr;
  OSVERSIONINFOA OsVersionInfo{};
  bool IsWindowsNT = false;
  unsigned char UserLanguage = 0;
};

namespace detail {
SrwLock& StateLock();
SharedState& StateUnlocked();
}  // namespace detail

// Runs body(SharedState&) under the lock. Keep bodies short: no SendMessage,
// dialogs, process starts or registry waits inside.
template <class F>
decltype(auto) WithState(F&& body) {
  std::lock_guard<SrwLock> guard(detail::StateLock());
  return body(detail::StateUnlocked());
}

// A copy of the whole shared state, taken under the lock.
SharedState SnapshotState();

const ModuleGlobals& Globals();

// Start-up runs once per load, at the first entry into the module (any
// export), never inside DllMain. Safe to call from any thread.
void EnsureModuleStarted();
// Shutdown for a FreeLibrary; does nothing when start-up never ran.
void ShutdownModule();
bool ModuleStarted();

// Releases the bitmaps of icon menu items; recreate starts a new empty list.
void FreeMenuBitmaps(bool recreate);

// The module (DLL, or the test program that links the same code) this code lives in.
HMODULE ThisModule();

}  // namespace ombrelo
