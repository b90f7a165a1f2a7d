#include "dialogs/UExtMsgBox.h"

#include <memory>

#include "dialogs/DialogResources.h"
#include "server/ModuleState.h"

namespace ombrelo {

std::atomic<TFExtMsgBox*> FExtMsgBox{nullptr};

TFExtMsgBox::TFExtMsgBox(ui::TComponent* owner) : ui::TForm(owner) {
  // The designed form: 8-point "MS Sans Serif" at 96 pixels per inch.
  SetName("FExtMsgBox");
  Font().Name = "MS Sans Serif";
  Font().Height = -11;
  Font().CharSet = DEFAULT_CHARSET;
  Font().Changed();
  SetCaption("FExtMsgBox");
  SetBounds(338, 234, Width(), Height());
  SetClientWidth(362);
  SetClientHeight(117);

  Label1 = new ui::TLabel(this);
  Label1->SetName("Label1");
  Label1->SetBounds(64, 16, 3, 13);
  Label1->SetCaption(".");

  Image1 = new ui::TImage(this);
  Image1->SetName("Image1");
  Image1->SetBounds(16, 16, 32, 32);
  Image1->AutoSize = true;
  Image1->SetIcon(UniqueIcon(static_cast<HICON>(
      LoadImageA(ThisModule(), MAKEINTRESOURCEA(IDI_EXTMSGBOX_INFO), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR))));

  CheckBox1 = new ui::TCheckBox(this);
  CheckBox1->SetName("CheckBox1");
  CheckBox1->SetBounds(64, 48, 289, 17);
  CheckBox1->SetCaption("C");
  CheckBox1->SetTabOrder(2);

  Button1 = new ui::TButton(this);
  Button1->SetName("Button1");
  Button1->SetBounds(64, 80, 89, 23);
  Button1->SetTabOrder(0);
  Button1->OnClick = [this](ui::TComponent* sender) { Button1Click(sender); };

  Button2 = new ui::TButton(this);
  Button2->SetName("Button2");
  Button2->SetBounds(160, 80, 89, 23);
  Button2->SetTabOrder(1);
  Button2->OnClick = [this](ui::TComponent* sender) { Button2Click(sender); };
}

void TFExtMsgBox::IniBox(const std::string& caption, const std::string& message, const std::string& checkText,
                         const std::string& firstButtonText, const std::string& secondButtonText) {
  SetCaption(caption);
  Label1->SetCaption(message);  // the label sizes itself to the message
  CheckBox1->SetCaption(checkText);
  Button1->SetCaption(firstButtonText);
  Button2->SetCaption(secondButtonText);

  int width = Label1->Left() + Label1->Width() + 20;
  if (width < 338) width = 338;
  SetWidth(width);

  Button1->SetLeft((width - (Button1->Width() + Button2->Width())) / 2);
  Button2->SetLeft(Button1->Left() + Button1->Width() + 10);
  CheckBox1->SetTop(Label1->Top() + Label1->Height() + 10);
  Button1->SetTop(CheckBox1->Top() + CheckBox1->Height() + 10);
  Button2->SetTop(Button1->Top());
  SetClientHeight(Button1->Top() + Button1->Height() + 10);

  MessageBeep(MB_ICONASTERISK);
}

void TFExtMsgBox::Button1Click(ui::TComponent*) { SetModalResult(CheckBox1->Checked() ? mrAbort : mrYes); }

void TFExtMsgBox::Button2Click(ui::TComponent*) { SetModalResult(mrCancel); }

int ShowExtMsgBox(const std::string& caption, const std::string& message, const std::string& checkText,
                  const std::string& firstButtonText, const std::string& secondButtonText) {
  try {
    auto form = std::make_unique<TFExtMsgBox>(nullptr);
    FExtMsgBox = form.get();
    struct Forget {
      ~Forget() { FExtMsgBox = nullptr; }
    } forget;
    form->IniBox(caption, message, checkText, firstButtonText, secondButtonText);
    return form->ShowModal();
  } catch (...) {
    return mrCancel;
  }
}

}  // namespace ombrelo
