#pragma once
// TExplorerCommand: the Ombrelo commands in the Windows 11 context menu.
// Explorer shows packaged IExplorerCommand objects in its own menu (the
// classic IContextMenu handlers only under "Show more options") and runs
// them in the COM surrogate (dllhost.exe), not in its own process.
//
// The root command "Ombrelo" has subcommands: the classic menu's commands,
// laid out flat with separators between the groups (the Windows 11 menu
// shows one level below the root). Which commands, their titles, tooltips
// and actions all come from the classic handler's functions
// (menu/MenuCommands.h); this folder only adapts them to the interfaces.
//
// Nothing slow happens before Invoke: GetState classifies the selection by
// extension and reads the settings (registry, settings file); no preview
// request, no message to the main program, no dialog.
#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

namespace ombrelo {

// {06A28AD9-B53D-47BC-9FD9-5D3983C43B8C}
extern const CLSID CLSID_TExplorerCommand;

// Makes the root command object and hands out its interface riid, as a
// class factory's CreateInstance does. No aggregation.
HRESULT CreateExplorerCommand(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace ombrelo
