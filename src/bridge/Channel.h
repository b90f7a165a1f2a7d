#pragma once
// The main program's command channel: WM_COPYDATA messages to its window,
// the verb codes, the preview request and the preview status.
#include <windows.h>

#include <string>

namespace ombrelo {

inline constexpr char kMainProgramWindowClass[] = "TF_97F624E067B811D292EE000021474C15";

// How long a message may take before the main program counts as not
// answering; a receiver that already hangs is given up at once.
inline constexpr UINT kPreviewTimeoutMs = 10000;
inline constexpr UINT kCommandTimeoutMs = 60000;

HWND FindMainProgramWindow();
// The verb's code from the verb table (exact, case-sensitive); false for an unknown verb.
bool FindVerbCode(const std::string& verb, LONG& code);
// Makes sure the main program runs, then sends the verb's code with the path.
// An unknown verb (exact, case-sensitive) sends nothing.
void SendMainProgramCommand(const std::string& path, const std::string& verb);
// Sends a preview request (code = the menu handle) when the preview is on
// and the main program runs; never starts or asks.
void RequestPreview(const std::string& text, HMENU menu);
// "status" exists and reads as an integer other than 1.
bool IsPreviewDisabled();

}  // namespace ombrelo
