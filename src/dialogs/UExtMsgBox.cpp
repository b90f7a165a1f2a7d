// Placeholder until the form is built: answers as the second button would.
#include "dialogs/UExtMsgBox.h"

namespace ombrelo {

int ShowExtMsgBox(const std::string&, const std::string&, const std::string&, const std::string&,
                  const std::string&) {
  return mrCancel;
}

}  // namespace ombrelo
