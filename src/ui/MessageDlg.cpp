// Message boxes for the developer, made of a form, an icon, a label and buttons.
#include <algorithm>

#include "common/FileNames.h"
#include "server/ModuleState.h"
#include "ui/Forms.h"

namespace ombrelo::ui {

namespace {

constexpr int kMargin = 16;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;

struct ButtonKind {
  TMsgDlgBtn flag;
  const char* caption;
  int result;
};
// In the order in which the buttons appear.
constexpr ButtonKind kButtons[] = {
    {mbYes, "&Yes", mrYes}, {mbNo, "&No", mrNo}, {mbOK, "OK", mrOk}, {mbCancel, "Cancel", mrCancel}};

int RunMessageForm(const std::string& caption, const std::string& message, HICON icon, TMsgDlgButtons buttons) {
  if ((buttons & (mbYes | mbNo | mbOK | mbCancel)) == 0) buttons = mbOK;
  TForm form(nullptr);
  form.Position = TPosition::poScreenCenter;
  form.SetCaption(caption);

  int textLeft = kMargin;
  int textBottom = kMargin;
  if (icon) {
    auto* image = new TImage(&form);
    image->SetBounds(kMargin, kMargin, 32, 32);
    image->SetSharedIcon(icon);
    textLeft = kMargin + 32 + kMargin;
    textBottom = kMargin + 32;
  }
  auto* label = new TLabel(&form);
  label->SetBounds(textLeft, kMargin, 0, 0);
  label->SetCaption(message);
  textBottom = std::max(textBottom, label->Top() + label->Height());

  std::vector<TButton*> made;
  for (const ButtonKind& kind : kButtons) {
    if (!(buttons & kind.flag)) continue;
    auto* button = new TButton(&form, kind.result);
    button->SetCaption(kind.caption);
    button->ModalResult = kind.result;
    made.push_back(button);
  }
  const int count = static_cast<int>(made.size());
  const int rowWidth = count * kButtonWidth + (count - 1) * kButtonGap;
  const int clientWidth = std::max(label->Left() + label->Width() + kMargin, rowWidth + 2 * kMargin);
  const int top = textBottom + kMargin;
  int left = (clientWidth - rowWidth) / 2;
  for (TButton* b : made) {
    b->SetBounds(left, top, kButtonWidth, kButtonHeight);
    left += kButtonWidth + kButtonGap;
  }
  form.SetClientWidth(clientWidth);
  form.SetClientHeight(top + kButtonHeight + 12);

  // Esc answers Cancel, else No, else the only button; the focus starts on OK or Yes.
  auto find = [&](int result) -> TButton* {
    for (TButton* b : made)
      if (b->ModalResult == result) return b;
    return nullptr;
  };
  form.CancelButton = find(mrCancel) ? find(mrCancel) : find(mrNo) ? find(mrNo) : (count == 1 ? made[0] : nullptr);
  if (TButton* def = find(mrOk) ? find(mrOk) : find(mrYes)) def->SetTabOrder(-1);
  return form.ShowModal();
}

}  // namespace

int MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons) {
  const char* caption = "Information";
  LPCSTR icon = IDI_ASTERISK;
  switch (type) {
    case TMsgDlgType::mtWarning:
      caption = "Warning";
      icon = IDI_EXCLAMATION;
      break;
    case TMsgDlgType::mtError:
      caption = "Error";
      icon = IDI_HAND;
      break;
    case TMsgDlgType::mtInformation:
      break;
    case TMsgDlgType::mtConfirmation:
      caption = "Confirmation";
      icon = IDI_QUESTION;
      break;
  }
  return RunMessageForm(caption, message, LoadIconA(nullptr, icon), buttons);
}

void ShowMessage(const std::string& message) { RunMessageForm(ApplicationTitle(), message, nullptr, mbOK); }

std::string ApplicationTitle() {
  // Only the file name is shown, as a caption: the path is never used as ANSI.
  std::wstring name = ModulePath(ThisModule());
  size_t slash = name.find_last_of(L"\\/:");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return AnsiWithReplacements(name);
}

}  // namespace ombrelo::ui
