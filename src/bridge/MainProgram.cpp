// Placeholder until the bridge is built.
#include "bridge/MainProgram.h"

namespace ombrelo {

int StartMainProgram(const std::string&, INT_PTR, const std::string&) { return 1; }
INT_PTR EnsureMainProgramRunning() { return 1; }
bool IsAutoStartEnabled() { return false; }
std::string GetExtensionDirectory() { return {}; }

}  // namespace ombrelo
