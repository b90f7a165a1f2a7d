#pragma once
// The cold right-click, one cycle per fresh process (ombrelo_cold.exe), split
// into its steps: the DLL loaded, the module started (the first
// DllGetClassObject), the first menu (handler, selection, QueryContextMenu)
// and the release with the unload.
#include <string>

#include "Measure.h"

namespace bench {

struct ColdSteps {
  Figure load, start, menu, unload, cycle;
  bool unloaded = true;  // the DLL left the process after every FreeLibrary
  bool ran = false;      // every child process ran its cycle to the end
  std::string held;      // system DLLs the process held after the first menu
};

struct ColdPair {
  ColdSteps ours, minimal;
};

// fileManager: the process holds a file manager's DLLs and has OLE
// initialised before the cycle; otherwise it holds only the kernel's.
ColdPair MeasureCold(int repetitions, bool fileManager, const std::string& picture);

}  // namespace bench
