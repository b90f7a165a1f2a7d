// Placeholder until the bridge is built.
#include "bridge/Channel.h"

namespace ombrelo {

HWND FindMainProgramWindow() { return FindWindowA(kMainProgramWindowClass, nullptr); }
void SendMainProgramCommand(const std::string&, const std::string&) {}
void RequestPreview(const std::string&, HMENU) {}
bool IsPreviewDisabled() { return false; }

}  // namespace ombrelo
