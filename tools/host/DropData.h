#pragma once
// The selection as Explorer hands it to a context-menu handler: a data object
// that serves CF_HDROP (a DROPFILES block with UTF-16 paths, as on Windows NT).
#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

namespace host {

// A new data object with one reference, owned by the caller.
IDataObject* MakeDropData(const std::vector<std::wstring>& paths);

}  // namespace host
