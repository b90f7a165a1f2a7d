#pragma once
// The extended message box: a yes/no question with a check box under it.
#include <atomic>
#include <string>

#include "ui/Forms.h"

namespace ombrelo {

// Modal results of the extended message box.
inline constexpr int mrCancel = ui::mrCancel;
inline constexpr int mrAbort = ui::mrAbort;  // first button with the box ticked
inline constexpr int mrYes = ui::mrYes;      // first button, box not ticked

// The form: an information symbol, the message, a check box and two buttons.
class TFExtMsgBox : public ui::TForm {
 public:
  explicit TFExtMsgBox(ui::TComponent* owner);
  std::string ClassName() const override { return "TFExtMsgBox"; }

  // Fills the form and fits it to the message, then sounds the information beep.
  void IniBox(const std::string& caption, const std::string& message, const std::string& checkText,
              const std::string& firstButtonText, const std::string& secondButtonText);
  void Button1Click(ui::TComponent* Sender);
  void Button2Click(ui::TComponent* Sender);

  ui::TLabel* Label1;
  ui::TImage* Image1;
  ui::TCheckBox* CheckBox1;
  ui::TButton* Button1;
  ui::TButton* Button2;
};

// The form while ShowExtMsgBox shows it, otherwise null.
extern std::atomic<TFExtMsgBox*> FExtMsgBox;

// Creates the form, fills it (IniBox), shows it modally, destroys it and
// returns the modal result: 3, 6 or 2. A form that cannot be made counts as
// the second button (2).
int ShowExtMsgBox(const std::string& caption, const std::string& message, const std::string& checkText,
                  const std::string& firstButtonText, const std::string& secondButtonText);

}  // namespace ombrelo
