#pragma once
// The extended message box: a yes/no question with a check box under it.
#include <string>

namespace ombrelo {

// Modal results of the extended message box.
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;  // first button with the box ticked
inline constexpr int mrYes = 6;    // first button, box not ticked

// Creates the form, fills it (IniBox), shows it modally, destroys it and
// returns the modal result: 3, 6 or 2.
int ShowExtMsgBox(const std::string& caption, const std::string& message, const std::string& checkText,
                  const std::string& firstButtonText, const std::string& secondButtonText);

}  // namespace ombrelo
