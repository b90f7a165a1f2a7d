#pragma once
// Creating a context-menu handler the way the shell does, and forwarding
// menu messages to it the way Explorer does.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>

#include "Options.h"
#include "common/Handles.h"

namespace host {

struct Handler {
  // Declared first so that it is freed last, after every interface pointer.
  ombrelo::UniqueLibrary dll;
  Microsoft::WRL::ComPtr<IShellExtInit> init;
  Microsoft::WRL::ComPtr<IContextMenu> menu;
  Microsoft::WRL::ComPtr<IContextMenu2> menu2;  // null when not implemented
  Microsoft::WRL::ComPtr<IContextMenu3> menu3;  // null when not implemented
  std::string origin;                            // where the class came from, for the report

  // Drops the interfaces (the DLL stays loaded until the object goes).
  void Release();
};

// Creates the handler of options.clsid: from options.dll through its
// DllGetClassObject, else with CoCreateInstance of the registered class.
// On failure returns false with a message naming the cause.
bool CreateHandler(const Options& options, Handler& handler, std::string& error);

// Creates an object of options.clsid as CreateHandler does (from options.dll,
// which stays loaded in `dll`, or registered) and asks it for riid.
bool CreateObject(const Options& options, ombrelo::UniqueLibrary& dll, REFIID riid, void** object, std::string& origin,
                  std::string& error);

// Forwards one menu message: IContextMenu3::HandleMenuMsg2 when the handler
// has it, else IContextMenu2::HandleMenuMsg (not for WM_MENUCHAR, which needs
// a result). True when the handler took the message; *result is then its answer.
bool ForwardMenuMessage(const Handler& handler, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

std::string SystemMessage(DWORD code);

}  // namespace host
