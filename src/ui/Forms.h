#pragma once
// A small forms layer over plain Win32: a form is a dialog window made from
// an in-memory template; its controls are child windows placed in pixels.
// Properties are reachable by name (Caption, Left, Top, Width, Height, Font
// ...), as the word-table component's language switch needs them.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "ui/Component.h"

namespace ombrelo::ui {

// Modal results; the values of the platform's dialog button identifiers.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = IDOK;
inline constexpr int mrCancel = IDCANCEL;
inline constexpr int mrAbort = IDABORT;
inline constexpr int mrRetry = IDRETRY;
inline constexpr int mrIgnore = IDIGNORE;
inline constexpr int mrYes = IDYES;
inline constexpr int mrNo = IDNO;

class TForm;
using TNotifyEvent = std::function<void(TComponent* Sender)>;

// A window owned and parented by a form. Geometry is in client pixels of the form.
class TControl : public TComponent {
 public:
  ~TControl() override;
  std::string ClassName() const override { return "TControl"; }
  bool GetProperty(std::string_view name, PropValue& value) const override;
  bool SetProperty(std::string_view name, const PropValue& value) override;

  HWND Handle() const { return hwnd_; }
  TForm* Form() const { return form_; }

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text);

  // Order of the control in the Tab key's cycle; only controls that can take the focus have one.
  bool TabStop() const { return tabStop_; }
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int order) { tabOrder_ = order; }

  TNotifyEvent OnClick;
  // What a click does: the control's own reaction, then OnClick.
  virtual void Click();

 protected:
  // Creates the child window; id 0 lets the form pick the identifier.
  TControl(TForm* form, const char* windowClass, DWORD style, bool tabStop, int id = 0);
  // The form's font changed (its handle is already replaced).
  virtual void FontChanged();
  virtual void CaptionChanged() {}

  TForm* form_;
  HWND hwnd_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::string caption_;
  bool tabStop_;
  int tabOrder_ = 0;

  friend class TForm;
};

// A text that sizes itself to its caption: one line per line break, no word wrap.
class TLabel : public TControl {
 public:
  explicit TLabel(TForm* form);
  std::string ClassName() const override { return "TLabel"; }
  bool AutoSize = true;
  // Sizes the label to its caption in the form's font.
  void AdjustSize();

 protected:
  void FontChanged() override;
  void CaptionChanged() override { AdjustSize(); }
};

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TForm* form);
  std::string ClassName() const override { return "TCheckBox"; }
  bool GetProperty(std::string_view name, PropValue& value) const override;
  bool SetProperty(std::string_view name, const PropValue& value) override;
  bool Checked() const;
  void SetChecked(bool on);
};

class TButton : public TControl {
 public:
  // id: the control identifier (0: the form picks one); the dialog
  // manager's Enter and Esc keys reach buttons through IDOK and IDCANCEL.
  explicit TButton(TForm* form, int id = 0);
  std::string ClassName() const override { return "TButton"; }
  // A result other than mrNone ends the form's modal loop with it when clicked.
  int ModalResult = mrNone;
  void Click() override;
};

// Shows an icon; AutoSize makes the control as large as the icon.
class TImage : public TControl {
 public:
  explicit TImage(TForm* form);
  ~TImage() override;
  std::string ClassName() const override { return "TImage"; }
  bool AutoSize = false;
  // Takes ownership of an icon made for us (LoadImage, CreateIcon...).
  void SetIcon(UniqueIcon icon);
  // Shows a shared icon (LoadIcon) that must not be destroyed.
  void SetSharedIcon(HICON icon);
  HICON Icon() const { return shown_; }

 private:
  void Show(HICON icon);
  UniqueIcon owned_;
  HICON shown_ = nullptr;
};

enum class TPosition { poDesigned, poScreenCenter };

// A dialog-framed window (a fixed frame with a close box). It exists from
// construction on, hidden until ShowModal; destroying the form destroys it.
class TForm : public TComponent {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  std::string ClassName() const override { return "TForm"; }
  bool GetProperty(std::string_view name, PropValue& value) const override;
  bool SetProperty(std::string_view name, const PropValue& value) override;

  HWND Handle() const { return hwnd_; }
  HFONT FontHandle() const { return font_.get(); }
  TFont& Font() { return fontDesc_; }

  std::string Caption() const;
  void SetCaption(const std::string& text);
  // Outer geometry in screen pixels.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, Top(), Width(), Height()); }
  void SetTop(int v) { SetBounds(Left(), v, Width(), Height()); }
  void SetWidth(int v) { SetBounds(Left(), Top(), v, Height()); }
  void SetHeight(int v) { SetBounds(Left(), Top(), Width(), v); }
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientWidth(int v);
  void SetClientHeight(int v);

  TPosition Position = TPosition::poDesigned;
  // Esc (and the dialog manager's IDCANCEL) clicks this button.
  TButton* CancelButton = nullptr;

  // Shows the form modally: this thread's other windows are disabled and
  // its own message loop runs until a modal result is set or the close box
  // is used (mrCancel). The form is hidden again, not destroyed.
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result);
  bool IsModal() const { return modal_; }

  const std::vector<TControl*>& Controls() const { return controls_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool HandleCommand(WPARAM wParam, LPARAM lParam);
  void RecreateFont();
  void ArrangeTabOrder();
  SIZE FrameSize() const;  // outer size minus client size
  int NextControlId() { return nextId_++; }

  HWND hwnd_ = nullptr;
  TFont fontDesc_;
  UniqueFont font_;
  std::vector<TControl*> controls_;  // in creation order
  int modalResult_ = mrNone;
  bool modal_ = false;
  int nextId_ = 1000;

  friend class TControl;
};

// Message boxes for the developer, built on the forms layer.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = unsigned;  // a set of TMsgDlgBtn

// A modal box captioned with its type ("Information", "Confirmation" ...),
// with the type's icon, the message and the buttons; returns the modal
// result of the button used (mrCancel for the close box).
int MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons);
// A plain box with an OK button, captioned with ApplicationTitle().
void ShowMessage(const std::string& message);
// The module's file name without folder and extension.
std::string ApplicationTitle();

}  // namespace ombrelo::ui
