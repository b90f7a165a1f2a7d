#pragma once
// One right-click as the shell makes it, the same for the extension and for
// the minimal handler: a handler object from the class factory, the
// selection, the menu, the help text of every command offset, optionally
// the preview item measured and drawn, then the object released and the
// menu destroyed.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace bench {

struct CycleOptions {
  HDC drawOn = nullptr;  // measure and draw the preview item on this DC
};

// Returns the number of identifiers the handler reported, or -1 on a failure.
int RightClick(IClassFactory* factory, IDataObject* selection, const CycleOptions& options = {});

// One whole life of the DLL in the shell: LoadLibrary, DllGetClassObject,
// one right-click as above (with the menu's messages), the factory
// released, DllCanUnloadNow, FreeLibrary. Returns the number of identifiers
// the handler reported, or -1 on a failure. DllCanUnloadNow's answer goes to
// canUnload when given; otherwise any answer but S_OK makes the result -2.
int LoadAndUnload(const char* dllPath, const CLSID& clsid, IDataObject* selection, const CycleOptions& options = {},
                  HRESULT* canUnload = nullptr);

// The preview item of an open menu measured and drawn once; returns the
// size it measured.
SIZE MeasureAndDrawPreview(IContextMenu2* menu, HDC dc);

}  // namespace bench
