#pragma once
// System DLLs that only a rare command or dialog needs, loaded while that
// command runs instead of with the extension. The shell loads the extension
// at a right-click and unloads it once it is idle; every DLL it imports
// comes and goes with it, so one that only a dialog uses would cost its
// load at every first right-click for nothing.
//
// Imported as usual, because module start-up or every menu needs them:
// kernel32, user32 and gdi32 (menus, the menu font, icon items), advapi32
// (the settings), shell32 (the settings folder, program icons,
// ShellExecute, the folder browser) and ole32 (the selection's medium, the
// class factory's lock). Loaded here: comdlg32 (the viewer search's
// open-file dialog) and uxtheme (the menu theme the preview item is drawn
// in, at its first drawing).
//
// A library is loaded from the system folder only, at its first use, and
// then stays in the process as a delay-loaded import would: a dialog may
// leave threads running in it, and DllMain must not free libraries. One
// that cannot be loaded, or that lacks the function, leaves the
// SystemFunction empty: the caller takes the path of a cancelled dialog.
#include <windows.h>

#include <utility>

#include "common/Handles.h"

namespace ombrelo {

// Loads a DLL of the system folder by its file name and keeps it loaded
// for the rest of the process; nullptr when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* fileName);

// A function of a system DLL, with a reference on the DLL for the lifetime
// of this object. Fn is
// the function's own type, decltype(TheFunction), so that the call is
// checked against the platform's declaration.
template <class Fn>
class SystemFunction {
 public:
  SystemFunction(const char* dll, const char* name) : library_(LoadSystemLibrary(dll)) {
    if (library_) fn_ = reinterpret_cast<Fn*>(reinterpret_cast<void*>(GetProcAddress(library_.get(), name)));
  }
  explicit operator bool() const { return fn_ != nullptr; }
  template <class... Args>
  auto operator()(Args&&... args) const {
    return fn_(std::forward<Args>(args)...);
  }

 private:
  UniqueLibrary library_;
  Fn* fn_ = nullptr;
};

// For tests of the failure paths: replaces how LoadSystemLibrary loads
// (nullptr: the system folder again).
using SystemLibraryLoader = HMODULE (*)(const char* fileName);
void SetSystemLibraryLoader(SystemLibraryLoader loader);

}  // namespace ombrelo
