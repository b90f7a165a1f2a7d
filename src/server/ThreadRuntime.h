#pragma once
// What the C++ runtime keeps on the DLL's behalf (see ThreadRuntime.cpp):
// given back for the calling thread when it ends, or for all threads and
// the runtime's emergency exception pool when the DLL unloads.
#include <windows.h>

namespace ombrelo {

void ReleaseThreadRuntime(bool allThreads);

}  // namespace ombrelo
