#include "ui/Forms.h"

#include <algorithm>
#include <cstring>

#include "common/Failure.h"
#include "common/ThreadScope.h"
#include "server/ModuleState.h"

namespace ombrelo::ui {

namespace {

// Ordinal properties shared by the geometry of forms and controls.
bool IsOrdinal(const PropValue& v) { return v.kind == PropValue::Kind::Ordinal; }
int AsInt(const PropValue& v) { return static_cast<int>(v.ord); }

// Disables this thread's enabled, visible top-level windows except `keep`,
// and enables them again when it goes: the form is modal to all of them.
class ThreadWindowsDisabled {
 public:
  explicit ThreadWindowsDisabled(HWND keep) : keep_(keep) {
    EnumThreadWindows(GetCurrentThreadId(), &Disable, reinterpret_cast<LPARAM>(this));
  }
  ~ThreadWindowsDisabled() {
    for (HWND w : disabled_)
      if (IsWindow(w)) EnableWindow(w, TRUE);
  }
  ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
  ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK Disable(HWND window, LPARAM param) {
    auto* self = reinterpret_cast<ThreadWindowsDisabled*>(param);
    if (window != self->keep_ && IsWindowVisible(window) && IsWindowEnabled(window)) {
      self->disabled_.push_back(window);
      EnableWindow(window, FALSE);
    }
    return TRUE;
  }
  HWND keep_;
  std::vector<HWND> disabled_;
};

SIZE IconSize(HICON icon) {
  SIZE size{0, 0};
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return size;
  // GetIconInfo hands us copies of the icon's bitmaps.
  UniqueBitmap mask(info.hbmMask), color(info.hbmColor);
  BITMAP bm{};
  if (color && GetObjectA(color.get(), sizeof(bm), &bm)) {
    size = {bm.bmWidth, bm.bmHeight};
  } else if (mask && GetObjectA(mask.get(), sizeof(bm), &bm)) {
    size = {bm.bmWidth, bm.bmHeight / 2};  // monochrome: mask and picture stacked
  }
  return size;
}

}  // namespace

// ---- TControl ---------------------------------------------------------------

TControl::TControl(TForm* form, const char* windowClass, DWORD style, bool tabStop, int id)
    : TComponent(form), form_(form), tabStop_(tabStop) {
  if (!form_ || !form_->Handle()) throw ombrelo::Failure("control without a form");
  if (id == 0) id = form_->NextControlId();
  hwnd_ = CreateWindowExA(0, windowClass, "", WS_CHILD | WS_VISIBLE | (tabStop ? WS_TABSTOP : 0) | style, 0, 0,
                          0, 0, form_->Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(),
                          nullptr);
  if (!hwnd_) throw ombrelo::Failure("cannot create a control window");
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->FontHandle()), FALSE);
  if (tabStop_)
    tabOrder_ = static_cast<int>(std::count_if(form_->controls_.begin(), form_->controls_.end(),
                                               [](const TControl* c) { return c->tabStop_; }));
  form_->controls_.push_back(this);
}

TControl::~TControl() {
  if (form_) {
    auto& list = form_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (form_->CancelButton == this) form_->CancelButton = nullptr;
  }
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  MoveWindow(hwnd_, left, top, width, height, TRUE);
}

void TControl::SetCaption(const std::string& text) {
  caption_ = text;
  SetWindowTextA(hwnd_, caption_.c_str());
  CaptionChanged();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::FontChanged() { SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_->FontHandle()), TRUE); }

bool TControl::GetProperty(std::string_view name, PropValue& value) const {
  if (SameName(name, "Caption")) value = PropValue::String(caption_);
  else if (SameName(name, "Left")) value = PropValue::Ordinal(left_);
  else if (SameName(name, "Top")) value = PropValue::Ordinal(top_);
  else if (SameName(name, "Width")) value = PropValue::Ordinal(width_);
  else if (SameName(name, "Height")) value = PropValue::Ordinal(height_);
  else if (tabStop_ && SameName(name, "TabOrder")) value = PropValue::Ordinal(tabOrder_);
  else return TComponent::GetProperty(name, value);
  return true;
}

bool TControl::SetProperty(std::string_view name, const PropValue& value) {
  if (SameName(name, "Caption") && value.kind == PropValue::Kind::String) SetCaption(value.str);
  else if (SameName(name, "Left") && IsOrdinal(value)) SetLeft(AsInt(value));
  else if (SameName(name, "Top") && IsOrdinal(value)) SetTop(AsInt(value));
  else if (SameName(name, "Width") && IsOrdinal(value)) SetWidth(AsInt(value));
  else if (SameName(name, "Height") && IsOrdinal(value)) SetHeight(AsInt(value));
  else if (tabStop_ && SameName(name, "TabOrder") && IsOrdinal(value)) SetTabOrder(AsInt(value));
  else return TComponent::SetProperty(name, value);
  return true;
}

// ---- TLabel -----------------------------------------------------------------

TLabel::TLabel(TForm* form) : TControl(form, "STATIC", SS_LEFTNOWORDWRAP, false) { AdjustSize(); }

void TLabel::AdjustSize() {
  if (!AutoSize) return;
  // An empty caption (or a lone access-key mark) still takes one line.
  std::string text = caption_;
  if (text.empty() || text == "&") text += ' ';
  WindowDc dc(hwnd_);
  if (!dc.get()) return;
  SelectedObject font(dc.get(), form_->FontHandle());
  RECT r{0, 0, 0, 0};
  DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_EXPANDTABS | DT_LEFT);
  SetBounds(left_, top_, r.right - r.left, r.bottom - r.top);
}

void TLabel::FontChanged() {
  TControl::FontChanged();
  AdjustSize();
}

// ---- TCheckBox --------------------------------------------------------------

TCheckBox::TCheckBox(TForm* form) : TControl(form, "BUTTON", BS_AUTOCHECKBOX, true) {}

bool TCheckBox::Checked() const { return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool on) { SendMessageA(hwnd_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

bool TCheckBox::GetProperty(std::string_view name, PropValue& value) const {
  if (!SameName(name, "Checked")) return TControl::GetProperty(name, value);
  value = PropValue::Ordinal(Checked() ? 1 : 0);
  return true;
}

bool TCheckBox::SetProperty(std::string_view name, const PropValue& value) {
  if (!SameName(name, "Checked") || !IsOrdinal(value)) return TControl::SetProperty(name, value);
  SetChecked(value.ord != 0);
  return true;
}

// ---- TButton ----------------------------------------------------------------

TButton::TButton(TForm* form, int id) : TControl(form, "BUTTON", BS_PUSHBUTTON, true, id) {}

void TButton::Click() {
  if (ModalResult != mrNone) form_->SetModalResult(ModalResult);
  TControl::Click();
}

// ---- TImage -----------------------------------------------------------------

TImage::TImage(TForm* form) : TControl(form, "STATIC", SS_ICON, false) {}

TImage::~TImage() {
  // The control lets go of the icon before the icon is destroyed.
  if (hwnd_) SendMessageA(hwnd_, STM_SETICON, 0, 0);
}

void TImage::SetIcon(UniqueIcon icon) {
  UniqueIcon previous = std::move(owned_);
  owned_ = std::move(icon);
  Show(owned_.get());
}

void TImage::SetSharedIcon(HICON icon) {
  UniqueIcon previous = std::move(owned_);
  Show(icon);
}

void TImage::Show(HICON icon) {
  SendMessageA(hwnd_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  shown_ = icon;
  if (AutoSize && icon) {
    SIZE size = IconSize(icon);
    SetBounds(left_, top_, size.cx, size.cy);
  } else {
    SetBounds(left_, top_, width_, height_);  // the static control resizes itself to the icon
  }
}

// ---- TForm ------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TComponent(owner) {
  // An empty dialog template: a fixed dialog frame with a title bar and a
  // close box. Controls are added as child windows afterwards.
  alignas(4) WORD buffer[16] = {};
  DLGTEMPLATE tmpl{};
  tmpl.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPSIBLINGS;
  tmpl.dwExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  std::memcpy(buffer, &tmpl, sizeof(tmpl));  // menu, class and title follow as empty words
  {
    // The dialog procedure takes its form from this scope, once, during the
    // creating call: never from a message's parameter (see DialogProc).
    ThreadScope<TForm> creating(this);
    hwnd_ = CreateDialogIndirectParamA(ThisModule(), reinterpret_cast<LPCDLGTEMPLATEA>(buffer), nullptr,
                                       &TForm::DialogProc, 0);
  }
  if (!hwnd_) throw ombrelo::Failure("cannot create a form window");
  SetBounds(0, 0, 320, 240);
  fontDesc_.OnChange = [this] { RecreateFont(); };
  RecreateFont();
}

TForm::~TForm() {
  // Controls (and any other owned component) go while the window still exists.
  DestroyComponents();
  if (hwnd_) {
    SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    DestroyWindow(hwnd_);
  }
}

INT_PTR CALLBACK TForm::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Any program on the desktop can send a form's window any message, with
  // any numbers in it. A form attaches to its window only from its own
  // creation, whatever the WM_INITDIALOG carries; a WM_INITDIALOG at any
  // other time, or for a window already attached, is ignored. No pointer a
  // message brings is ever read or written through.
  if (message == WM_INITDIALOG) {
    if (GetWindowLongPtrA(window, DWLP_USER) != 0) return FALSE;
    TForm* self = ThreadScope<TForm>::Take();
    if (!self) return FALSE;
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = window;
    return FALSE;  // the focus is set when the form is shown
  }
  auto* self = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, DWLP_USER));
  if (!self) return FALSE;
  // Event handlers run here; nothing may unwind through the window manager.
  try {
    switch (message) {
      case WM_COMMAND:
        return self->HandleCommand(wParam, lParam) ? TRUE : FALSE;
      case WM_CLOSE:
        self->SetModalResult(mrCancel);
        if (!self->modal_) ShowWindow(window, SW_HIDE);
        return TRUE;
      default:
        return FALSE;
    }
  } catch (...) {
    return TRUE;
  }
}

bool TForm::HandleCommand(WPARAM wParam, LPARAM lParam) {
  const auto from = reinterpret_cast<HWND>(lParam);
  const int code = HIWORD(wParam);
  if (from) {
    for (TControl* c : controls_) {
      if (c->hwnd_ != from) continue;
      if (code == BN_CLICKED) c->Click();
      return true;
    }
  }
  // Esc reaches the form as IDCANCEL from the dialog manager.
  if (LOWORD(wParam) == IDCANCEL && code == 0 && CancelButton) {
    CancelButton->Click();
    return true;
  }
  return false;
}

void TForm::RecreateFont() {
  UniqueFont font(CreateFontA(fontDesc_.Height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                              static_cast<BYTE>(fontDesc_.CharSet), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, fontDesc_.Name.c_str()));
  if (!font) return;  // keep the font in use
  UniqueFont previous = std::move(font_);
  font_ = std::move(font);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  for (TControl* c : controls_) c->FontChanged();
  // The previous font is deleted here, when no window uses it any more.
}

std::string TForm::Caption() const {
  int n = GetWindowTextLengthA(hwnd_);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(hwnd_, text.data(), n + 1)));
  return text;
}

void TForm::SetCaption(const std::string& text) { SetWindowTextA(hwnd_, text.c_str()); }

int TForm::Left() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return r.left;
}

int TForm::Top() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return r.top;
}

int TForm::Width() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return r.right - r.left;
}

int TForm::Height() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return r.bottom - r.top;
}

void TForm::SetBounds(int left, int top, int width, int height) {
  SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TForm::ClientWidth() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return r.right;
}

int TForm::ClientHeight() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return r.bottom;
}

SIZE TForm::FrameSize() const {
  // Measured on the window itself; a window too small to have a client
  // area asks the platform what its frame takes.
  RECT outer{}, client{};
  GetWindowRect(hwnd_, &outer);
  GetClientRect(hwnd_, &client);
  if (client.right > 0 && client.bottom > 0)
    return {outer.right - outer.left - client.right, outer.bottom - outer.top - client.bottom};
  RECT r{0, 0, 100, 100};
  AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE)));
  return {r.right - r.left - 100, r.bottom - r.top - 100};
}

void TForm::SetClientWidth(int v) { SetWidth(FrameSize().cx + v); }

void TForm::SetClientHeight(int v) { SetHeight(FrameSize().cy + v); }

bool TForm::GetProperty(std::string_view name, PropValue& value) const {
  if (SameName(name, "Caption")) value = PropValue::String(Caption());
  else if (SameName(name, "Left")) value = PropValue::Ordinal(Left());
  else if (SameName(name, "Top")) value = PropValue::Ordinal(Top());
  else if (SameName(name, "Width")) value = PropValue::Ordinal(Width());
  else if (SameName(name, "Height")) value = PropValue::Ordinal(Height());
  else if (SameName(name, "ClientWidth")) value = PropValue::Ordinal(ClientWidth());
  else if (SameName(name, "ClientHeight")) value = PropValue::Ordinal(ClientHeight());
  else if (SameName(name, "ModalResult")) value = PropValue::Ordinal(modalResult_);
  else if (SameName(name, "Font")) value = PropValue::Object(const_cast<TFont*>(&fontDesc_));
  else return TComponent::GetProperty(name, value);
  return true;
}

bool TForm::SetProperty(std::string_view name, const PropValue& value) {
  if (SameName(name, "Caption") && value.kind == PropValue::Kind::String) SetCaption(value.str);
  else if (SameName(name, "Left") && IsOrdinal(value)) SetLeft(AsInt(value));
  else if (SameName(name, "Top") && IsOrdinal(value)) SetTop(AsInt(value));
  else if (SameName(name, "Width") && IsOrdinal(value)) SetWidth(AsInt(value));
  else if (SameName(name, "Height") && IsOrdinal(value)) SetHeight(AsInt(value));
  else if (SameName(name, "ClientWidth") && IsOrdinal(value)) SetClientWidth(AsInt(value));
  else if (SameName(name, "ClientHeight") && IsOrdinal(value)) SetClientHeight(AsInt(value));
  else if (SameName(name, "ModalResult") && IsOrdinal(value)) SetModalResult(AsInt(value));
  else return TComponent::SetProperty(name, value);
  return true;
}

void TForm::SetModalResult(int result) {
  modalResult_ = result;
  // A result set from a message sent by another thread is seen only when the
  // modal loop's GetMessage returns: give it a message to return with.
  if (modal_ && result != mrNone) PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void TForm::ArrangeTabOrder() {
  // The dialog manager's Tab key follows the windows' z-order.
  std::vector<TControl*> order;
  for (TControl* c : controls_)
    if (c->tabStop_) order.push_back(c);
  std::stable_sort(order.begin(), order.end(),
                   [](const TControl* a, const TControl* b) { return a->tabOrder_ < b->tabOrder_; });
  HWND after = HWND_TOP;
  for (TControl* c : order) {
    SetWindowPos(c->hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = c->hwnd_;
  }
}

int TForm::ShowModal() {
  if (modal_ || IsWindowVisible(hwnd_)) return mrCancel;  // already shown
  modalResult_ = mrNone;
  if (Position == TPosition::poScreenCenter) {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    SetBounds(work.left + (work.right - work.left - Width()) / 2, work.top + (work.bottom - work.top - Height()) / 2,
              Width(), Height());
  }
  ArrangeTabOrder();
  HWND first = nullptr;
  for (HWND w = GetWindow(hwnd_, GW_CHILD); w && !first; w = GetWindow(w, GW_HWNDNEXT))
    if ((GetWindowLongA(w, GWL_STYLE) & WS_TABSTOP) && IsWindowEnabled(w)) first = w;

  const HWND previouslyActive = GetActiveWindow();
  {
    ThreadWindowsDisabled others(hwnd_);
    modal_ = true;
    ShowWindow(hwnd_, SW_SHOW);
    if (first) SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
    MSG msg;
    while (modalResult_ == mrNone) {
      const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
      if (got == 0) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop must see the quit too
        modalResult_ = mrCancel;
        break;
      }
      if (got == -1 || !IsWindow(hwnd_)) {
        modalResult_ = mrCancel;
        break;
      }
      if (!IsDialogMessageA(hwnd_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    modal_ = false;
  }  // the other windows are enabled again before this one hides, so one of them takes the activation
  SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  if (previouslyActive && IsWindow(previouslyActive)) SetActiveWindow(previouslyActive);
  return modalResult_;
}

}  // namespace ombrelo::ui
