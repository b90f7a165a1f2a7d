#include "bridge/Channel.h"

#include "bridge/CopyData.h"
#include "bridge/MainProgram.h"
#include "settings/Registry.h"

namespace ombrelo {

namespace {

struct VerbCode {
  const char* verb;
  LONG code;
};

// Compared in this order, exactly and case-sensitively.
const VerbCode kVerbCodes[] = {
    {"pcx", -12337},     {"jpg", -12336},     {"bmp", -12335},       {"png", -12334},
    {"tif", -12333},     {"nix", -12300},     {"options", -12400},   {"PicClip", -12500},
    {"order", -12600},   {"drucken", -12700}, {"wallpaper", -12800}, {"CStatus", -12900},
};

// The 32-bit code as dwData. Where dwData is wider (a 64-bit extension) the
// upper half stays zero: the main program is a 32-bit program and receives
// the low 32 bits, and a value with a non-zero upper half does not survive
// the trip to a 32-bit process everywhere (Wine delivers 0 instead).
ULONG_PTR CodeData(LONG code) { return static_cast<ULONG_PTR>(static_cast<ULONG>(code)); }

}  // namespace

HWND FindMainProgramWindow() { return FindWindowA(kMainProgramWindowClass, nullptr); }

bool FindVerbCode(const std::string& verb, LONG& code) {
  for (const VerbCode& entry : kVerbCodes) {
    if (verb == entry.verb) {
      code = entry.code;
      return true;
    }
  }
  return false;
}

void SendMainProgramCommand(const std::string& path, const std::string& verb) {
  EnsureMainProgramRunning();
  // Looked up again: the user may have declined, or a just-started program
  // may not have made its window yet; then the command is dropped.
  HWND window = FindMainProgramWindow();
  if (!window) return;
  LONG code = 0;
  if (!FindVerbCode(verb, code)) return;
  SendCopyData(CodeData(code), path, window, kCommandTimeoutMs);
}

PreviewRequestResult RequestPreview(const std::string& text, HMENU menu, RequestBudget& budget) {
  // The window lookup first: without a main program the registry need not be read.
  HWND window = FindMainProgramWindow();
  if (!window || IsPreviewDisabled()) return PreviewRequestResult::NotSent;
  const DWORD left = budget.Left();
  // The code is the menu's 32-bit handle value (handles are 32-bit values on 64 bits too).
  if (left == 0 || !SendCopyData(CodeData(HandleToLong(menu)), text, window, left)) {
    budget.Spend();
    return PreviewRequestResult::Unanswered;
  }
  return PreviewRequestResult::Answered;
}

PreviewRequestResult RequestPreview(const std::string& text, HMENU menu) {
  RequestBudget budget;
  return RequestPreview(text, menu, budget);
}

bool IsPreviewDisabled() {
  RegKey key;
  if (!key.Open(HKEY_CURRENT_USER, kProgramKey)) return false;
  auto status = key.ReadDword("status");
  return status && *status != 1;
}

}  // namespace ombrelo
