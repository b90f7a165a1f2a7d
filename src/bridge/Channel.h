#pragma once
// The main program's command channel: WM_COPYDATA messages to its window,
// the verb codes, the preview request and the preview status.
#include <windows.h>

#include <string>

namespace ombrelo {

inline constexpr char kMainProgramWindowClass[] = "TF_97F624E067B811D292EE000021474C15";

// How long the main program may take before it counts as not answering:
// all preview requests of one menu together (the shell shows no menu
// until they are answered), and a command the user picked. A receiver that
// already hangs is given up at once.
inline constexpr DWORD kMenuRequestBudgetMs = 2000;
inline constexpr UINT kCommandTimeoutMs = 60000;

// The time the requests of one menu may still wait: one deadline, set when
// the budget is made, shared by every request. Once a request has run out,
// nothing is left for the others.
class RequestBudget {
 public:
  explicit RequestBudget(DWORD totalMs = kMenuRequestBudgetMs) : deadline_(GetTickCount64() + totalMs) {}
  // Milliseconds left; 0 once the deadline has passed or a request ran out.
  DWORD Left() const {
    const ULONGLONG now = GetTickCount64();
    return spent_ || now >= deadline_ ? 0 : static_cast<DWORD>(deadline_ - now);
  }
  void Spend() { spent_ = true; }

 private:
  ULONGLONG deadline_;
  bool spent_ = false;
};

enum class PreviewRequestResult {
  NotSent,     // no main program, or its preview is off
  Answered,    // the main program handled the request in time
  Unanswered,  // no answer within the budget (or the receiver hangs): the budget is spent
};

HWND FindMainProgramWindow();
// The verb's code from the verb table (exact, case-sensitive); false for an unknown verb.
bool FindVerbCode(const std::string& verb, LONG& code);
// Makes sure the main program runs, then sends the verb's code with the path.
// An unknown verb (exact, case-sensitive) sends nothing.
void SendMainProgramCommand(const std::string& path, const std::string& verb);
// Sends a preview request (code = the menu handle) when the preview is on
// and the main program runs, waiting at most what is left of budget; never
// starts or asks. With the budget spent, nothing is sent (Unanswered).
PreviewRequestResult RequestPreview(const std::string& text, HMENU menu, RequestBudget& budget);
// One request with a budget of its own.
PreviewRequestResult RequestPreview(const std::string& text, HMENU menu);
// "status" exists and reads as an integer other than 1.
bool IsPreviewDisabled();

}  // namespace ombrelo
