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

#include <string>
#include <vector>

#include "common/FileNames.h"
#include "common/Lock.h"
#include "menu/IconCache.h"

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
IconBitmapCache& IconCacheUnlocked();
}  // namespace detail

// Runs body(SharedState&) under the lock. Keep bodies short: no SendMessage,
// dialogs, process starts or registry waits inside.
template <class F>
decltype(auto) WithState(F&& body) {
  std::lock_guard<SrwLock> guard(detail::StateLock());
  return body(detail::StateUnlocked());
}

// Runs body(IconBitmapCache&) under the same lock: the module's cache of
// the bitmaps of icon menu items. Never across the shell's icon call.
template <class F>
decltype(auto) WithIconCache(F&& body) {
  std::lock_guard<SrwLock> guard(detail::StateLock());
  return body(detail::IconCacheUnlocked());
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

// A single-file menu begins: icon bitmaps that left the cache while the
// menu before it used them are deleted now.
void NextIconMenu();
// Deletes every bitmap of icon menu items (module shutdown).
void FreeIconBitmaps();

// The module (DLL, or the test program that links the same code) this code lives in.
HMODULE ThisModule();

}  // namespace ombrelo
