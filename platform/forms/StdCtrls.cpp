// The label and the buttons.
#include "platform/forms/StdCtrls.h"

#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/gdi/WinGdi_text.h"

PTypeInfo TypeInfo_TTextLayout() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTextLayout", {"tlTop", "tlCenter", "tlBottom"});
  return &info;
}
PTypeInfo TypeInfo_TEditCharCase() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TEditCharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"});
  return &info;
}
PTypeInfo TypeInfo_TCheckBoxState() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCheckBoxState", {"cbUnchecked", "cbChecked", "cbGrayed"});
  return &info;
}
PTypeInfo TypeInfo_TLeftRight() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TLeftRight", {"taLeftJustify", "taRightJustify"});
  return &info;
}

namespace {

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(ColorToRGB(c)) & 0x00FFFFFF; }

// DrawText with the canvas's font in Color (transparent background).
void CanvasDrawText(TCanvas* canvas, const std::string& text, TRect& r, UINT flags, TColor color) {
  canvas->RequiredState({csHandleValid, csFontValid});
  HDC dc = canvas->Handle();
  const int32_t mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old = SetTextColor(dc, Rgb(color));
  DrawText(dc, text, &r, flags);
  SetTextColor(dc, old);
  SetBkMode(dc, mode);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TCustomLabel

PX_CLASS_INFO(TCustomLabel, TGraphicControl)
PX_CLASS_INFO(TLabel, TCustomLabel, [](TPropertyBuilder<TLabel>& b) {
  b.Enum("Alignment", TypeInfo_TAlignment(), &TLabel::Alignment, &TLabel::SetAlignment).Default(taLeftJustify);
  b.Redeclare("AutoSize").Default(true);
  b.Object<TWinControl>("FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl);
  b.Enum("Layout", TypeInfo_TTextLayout(), &TLabel::Layout, &TLabel::SetLayout).Default(tlTop);
  b.Bool("ShowAccelChar", &TLabel::ShowAccelChar, &TLabel::SetShowAccelChar).Default(true);
  b.Bool("Transparent", &TLabel::Transparent, &TLabel::SetTransparent).Default(false);
  b.Bool("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).Default(false);
})

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() + csOpaque + csReplicatable);
  SetBounds(Left(), Top(), 65, 17);
  TGraphicControl::SetAutoSize(true);  // a new label keeps its size until its caption changes
  constructed_ = true;
}

TCustomLabel::~TCustomLabel() {
  if (focus_control_) focus_control_->RemoveFreeNotification(this);
}

std::string TCustomLabel::GetLabelText() { return Caption(); }

void TCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
  std::string text = GetLabelText();
  if ((Flags & DT_CALCRECT) && (text.empty() || (show_accel_char_ && text == "&"))) text += ' ';
  if (!show_accel_char_) Flags |= DT_NOPREFIX;
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  if (Flags & DT_CALCRECT) {
    canvas->RequiredState({csHandleValid, csFontValid});
    DrawText(canvas->Handle(), text, &Rect, Flags);
    return;
  }
  if (!Enabled()) {
    Rect.Offset(1, 1);
    CanvasDrawText(canvas, text, Rect, Flags, clBtnHighlight);
    Rect.Offset(-1, -1);
    CanvasDrawText(canvas, text, Rect, Flags, clBtnShadow);
  } else {
    CanvasDrawText(canvas, text, Rect, Flags, Font()->Color());
  }
}

void TCustomLabel::Paint() {
  TCanvas* canvas = Canvas();
  const TRect client = ClientRect();
  if (!Transparent()) {
    canvas->Brush()->SetColor(Color());
    canvas->Brush()->SetStyle(bsSolid);
    canvas->FillRect(client);
  }
  canvas->Brush()->SetStyle(bsClear);
  TRect r = client;
  UINT style = DT_EXPANDTABS | (word_wrap_ ? UINT{DT_WORDBREAK} : 0u);
  style |= alignment_ == taRightJustify ? DT_RIGHT : alignment_ == taCenter ? DT_CENTER : DT_LEFT;
  if (layout_ != tlTop) {
    TRect calc = r;
    DoDrawText(calc, style | DT_CALCRECT);
    if (layout_ == tlBottom) r.Offset(0, Height() - calc.Bottom);
    else r.Offset(0, (Height() - calc.Bottom) / 2);
  }
  DoDrawText(r, style);
}

void TCustomLabel::AdjustBounds() {
  if (!constructed_ || ComponentState().Contains(csLoading) || ComponentState().Contains(csReading) || !AutoSize())
    return;
  TRect r = ClientRect();
  // Measured on the screen's DC, so that a label without a window measures too.
  HDC dc = GetDC(nullptr);
  TCanvas* canvas = Canvas();
  canvas->SetHandle(dc);
  try {
    DoDrawText(r, DT_EXPANDTABS | DT_CALCRECT | (word_wrap_ ? UINT{DT_WORDBREAK} : 0u));
  } catch (...) {
    canvas->SetHandle(nullptr);
    ReleaseDC(nullptr, dc);
    throw;
  }
  canvas->SetHandle(nullptr);
  ReleaseDC(nullptr, dc);
  int32_t x = Left();
  if (alignment_ == taRightJustify) x += Width() - r.Right;
  SetBounds(x, Top(), r.Right, r.Bottom);
}

void TCustomLabel::AdjustSize() { AdjustBounds(); }

void TCustomLabel::SetAutoSize(bool Value) {
  if (AutoSize() == Value) return;
  TGraphicControl::SetAutoSize(Value);
  AdjustBounds();
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (layout_ == Value) return;
  layout_ = Value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (word_wrap_ == Value) return;
  word_wrap_ = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (Transparent() == Value) return;
  if (Value) SetControlStyle(ControlStyle() - csOpaque);
  else SetControlStyle(ControlStyle() + csOpaque);
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  if (focus_control_ == Value) return;
  if (focus_control_) focus_control_->RemoveFreeNotification(this);
  focus_control_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (show_accel_char_ == Value) return;
  show_accel_char_ = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focus_control_) focus_control_ = nullptr;
}

void TCustomLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustBounds();
}

void TCustomLabel::CMTextChanged(TWMNoParams& Message) {
  TGraphicControl::CMTextChanged(Message);
  Invalidate();
  AdjustBounds();
}

void TCustomLabel::CMFontChanged(TWMNoParams& Message) {
  TGraphicControl::CMFontChanged(Message);
  AdjustBounds();
}

void TCustomLabel::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_DIALOGCHAR) {
    TWMKey key(Message);
    if (focus_control_ && Enabled() && show_accel_char_ && IsAccel(key.CharCode, GetLabelText())) {
      if (focus_control_->CanFocus()) focus_control_->SetFocus();
      Message.Result = 1;
      return;
    }
  }
  TGraphicControl::Dispatch(Message);
}

// ---------------------------------------------------------------------------------------------
// TButtonControl

PX_CLASS_INFO(TButtonControl, TWinControl)

TButtonControl::TButtonControl(TComponent* AOwner)
    : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>()) {
  canvas_->SetControl(this);
  // The window takes the mouse and completes clicks itself, as the platform's button does.
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks});
  SetTabStop(true);
}

TButtonControl::~TButtonControl() = default;

void TButtonControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WindowClass.style |= CS_DBLCLKS;
}

void TButtonControl::PaintWindow(HDC DC) {
  CanvasScope scope(canvas_.get(), DC);
  Paint();
}

void TButtonControl::SetPushed(bool Value) {
  if (pushed_ == Value) return;
  pushed_ = Value;
  Invalidate();
}

void TButtonControl::DrawCaption(TCanvas* ACanvas, TRect R, UINT Format, bool Enabled) {
  ACanvas->Font()->Assign(Font());
  const std::string text = Caption();
  if (!Enabled) {
    TRect shadow = R;
    shadow.Offset(1, 1);
    CanvasDrawText(ACanvas, text, shadow, Format, clBtnHighlight);
    CanvasDrawText(ACanvas, text, R, Format, clBtnShadow);
  } else {
    CanvasDrawText(ACanvas, text, R, Format, Font()->Color());
  }
}

void TButtonControl::Dispatch(TMessage& Message) {
  if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == BN_CLICKED) {
    ButtonClicked();
    return;
  }
  TWinControl::Dispatch(Message);
}

void TButtonControl::DefaultHandler(TMessage& Message) {
  auto clicked = [this] { Perform(CN_COMMAND, MAKEWPARAM(0, BN_CLICKED), reinterpret_cast<LPARAM>(Handle())); };
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (!Enabled()) break;
      if (GetFocus() != Handle() && CanFocus()) ::SetFocus(Handle());
      SetCapture(Handle());
      tracking_ = true;
      SetPushed(true);
      Message.Result = 0;
      return;
    case WM_MOUSEMOVE:
      if (tracking_) {
        TWMMouse m(Message);
        SetPushed(PtInRect(ClientRect(), TPoint(m.XPos, m.YPos)));
      }
      break;
    case WM_LBUTTONUP:
      if (tracking_) {
        TWMMouse m(Message);
        tracking_ = false;
        const bool inside = PtInRect(ClientRect(), TPoint(m.XPos, m.YPos));
        if (GetCapture() == Handle()) ReleaseCapture();
        SetPushed(false);
        if (inside) clicked();
        return;
      }
      break;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      if (tracking_) {
        tracking_ = false;
        SetPushed(false);
      }
      break;
    case WM_KEYDOWN:
      if (Message.WParam == VK_SPACE && !tracking_) {
        if (!space_down_) {
          space_down_ = true;
          SetPushed(true);
        }
        return;
      }
      break;
    case WM_KEYUP:
      if (Message.WParam == VK_SPACE && space_down_) {
        space_down_ = false;
        SetPushed(false);
        clicked();
        return;
      }
      break;
    case WM_SETFOCUS:
      Invalidate();
      break;
    case WM_KILLFOCUS:
      if (space_down_) {
        space_down_ = false;
        SetPushed(false);
      }
      Invalidate();
      break;
    case BM_CLICK:
      if (Enabled()) clicked();
      return;
    case BM_SETSTATE:
      SetPushed(Message.WParam != 0);
      return;
    case BM_GETSTATE:
      Message.Result = (pushed_ ? uint32_t{BST_PUSHED} : 0u) | (GetFocus() == Handle() ? uint32_t{BST_FOCUS} : 0u);
      return;
    case WM_ENABLE:
    case WM_SETTEXT:
      Invalidate();
      break;
    default:
      break;
  }
  TWinControl::DefaultHandler(Message);
}

// ---------------------------------------------------------------------------------------------
// TButton

PX_CLASS_INFO(TButton, TButtonControl, [](TPropertyBuilder<TButton>& b) {
  b.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel).Default(false);
  b.Bool("Default", &TButton::Default, &TButton::SetDefault).Default(false);
  b.Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, TypeInfo_TModalResult()).Default(0);
  b.Redeclare("TabStop").Default(true);
})

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(Left(), Top(), 75, 25); }
TButton::~TButton() = default;

void TButton::Click() {
  if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(modal_result_);
  TButtonControl::Click();
}

void TButton::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  Invalidate();
}

void TButton::SetDefault(bool Value) {
  if (default_ == Value) return;
  default_ = Value;
  TCustomForm* form = GetParentForm(this);
  TWinControl* focused = form ? form->ActiveControl() : nullptr;
  if (dynamic_cast<TButton*>(focused)) SetActive(focused == this);
  else SetActive(default_);
}

void TButton::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= active_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::CMDialogKey(TWMKey& Message) {
  const bool enter = Message.CharCode == VK_RETURN && active_;
  const bool esc = Message.CharCode == VK_ESCAPE && cancel_;
  if ((enter || esc) && KeyDataToShiftState(Message.KeyData).Empty() && CanFocus()) {
    Click();
    Message.Result = 1;
    return;
  }
  TButtonControl::CMDialogKey(Message);
}

void TButton::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
    Click();
    Message.Result = 1;
    return;
  }
  TButtonControl::CMDialogChar(Message);
}

void TButton::CMFocusChanged(TCMFocusChanged& Message) {
  if (dynamic_cast<TButton*>(Message.Sender)) SetActive(Message.Sender == this);
  else SetActive(default_);
  TButtonControl::CMFocusChanged(Message);
}

void TButton::WMGetDlgCode(TWMGetDlgCode& Message) {
  Message.Result = DLGC_BUTTON | (active_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

void TButton::PaintContent(TCanvas* ACanvas, TRect R, bool IsPushed) {
  if (IsPushed) R.Offset(1, 1);
  DrawCaption(ACanvas, R, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Enabled());
}

void TButton::Paint() {
  TCanvas* canvas = Canvas();
  HDC dc = canvas->Handle();
  TRect r = ClientRect();
  const bool focused = GetFocus() == Handle();
  const bool pushed = Pushed();
  // The default button (the one Enter clicks) wears a dark outer frame.
  if (active_ || focused) {
    canvas->Brush()->SetColor(clWindowFrame);
    canvas->FrameRect(r);
    r.Inflate(-1, -1);
  }
  if (pushed && (active_ || focused)) {
    canvas->Brush()->SetColor(clBtnShadow);
    canvas->FrameRect(r);
    TRect face = r;
    face.Inflate(-1, -1);
    canvas->Brush()->SetColor(clBtnFace);
    canvas->FillRect(face);
  } else {
    TRect face = r;
    DrawFrameControl(dc, face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  }
  PaintContent(canvas, r, pushed);
  if (focused) {
    TRect focus = r;
    focus.Inflate(-3, -3);
    canvas->Refresh();
    DrawFocusRect(canvas->Handle(), focus);
  }
}

// ---------------------------------------------------------------------------------------------
// TCustomCheckBox

PX_CLASS_INFO(TCustomCheckBox, TButtonControl)
PX_CLASS_INFO(TCheckBox, TCustomCheckBox, [](TPropertyBuilder<TCheckBox>& b) {
  b.Enum("Alignment", TypeInfo_TLeftRight(), &TCheckBox::Alignment, &TCheckBox::SetAlignment).Default(taRightJustify);
  b.Bool("AllowGrayed", &TCheckBox::AllowGrayed, &TCheckBox::SetAllowGrayed).Default(false);
  b.Bool("Checked", &TCheckBox::Checked, &TCheckBox::SetChecked).Stored(false);
  b.Enum("State", TypeInfo_TCheckBoxState(), &TCheckBox::State, &TCheckBox::SetState).Default(cbUnchecked);
  b.Redeclare("TabStop").Default(true);
})

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) { SetBounds(Left(), Top(), 97, 17); }
TCustomCheckBox::~TCustomCheckBox() = default;

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= BS_3STATE | (alignment_ == taLeftJustify ? uint32_t{BS_LEFTTEXT} : 0u);
}

void TCustomCheckBox::SetAlignment(TLeftRight Value) {
  if (Value == taCenter) Value = taRightJustify;
  if (alignment_ == Value) return;
  alignment_ = Value;
  RecreateWnd();
  Invalidate();
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (state_ == Value) return;
  state_ = Value;
  Invalidate();
  if (!ClicksDisabled()) Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked: SetState(allow_grayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
    SetFocus();
    if (Focused()) Toggle();
    Message.Result = 1;
    return;
  }
  TButtonControl::CMDialogChar(Message);
}

void TCustomCheckBox::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_BUTTON; }

void TCustomCheckBox::Paint() {
  TCanvas* canvas = Canvas();
  const TRect client = ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(client);
  const int32_t box = GetSystemMetrics(SM_CXMENUCHECK);
  const int32_t boxX = alignment_ == taRightJustify ? 0 : client.Right - box;
  TRect boxRect(boxX, (client.Height() - box) / 2, boxX + box, (client.Height() - box) / 2 + box);
  UINT state = DFCS_BUTTONCHECK;
  if (state_ == cbChecked) state |= DFCS_CHECKED;
  if (state_ == cbGrayed) state |= DFCS_BUTTON3STATE | DFCS_CHECKED;
  if (!Enabled()) state |= DFCS_INACTIVE;
  if (Pushed()) state |= DFCS_PUSHED;
  DrawFrameControl(canvas->Handle(), boxRect, DFC_BUTTON, state);
  TRect text = alignment_ == taRightJustify ? TRect(box + 4, 0, client.Right, client.Bottom)
                                            : TRect(0, 0, boxX - 4, client.Bottom);
  canvas->Font()->Assign(Font());
  TRect calc = text;
  canvas->RequiredState({csHandleValid, csFontValid});
  DrawText(canvas->Handle(), Caption().empty() ? std::string(" ") : Caption(), &calc, DT_CALCRECT | DT_SINGLELINE);
  // The caption's own rectangle, centred vertically; the focus rectangle goes round it.
  TRect caption(text.Left, (client.Height() - calc.Height()) / 2, text.Left + calc.Width(),
                (client.Height() - calc.Height()) / 2 + calc.Height());
  if (alignment_ == taLeftJustify) caption.Offset(std::max(0, text.Width() - calc.Width()), 0);
  DrawCaption(canvas, caption, DT_LEFT | DT_SINGLELINE, Enabled());
  if (GetFocus() == Handle()) {
    TRect focus = caption;
    focus.Inflate(1, 1);
    focus.Right = std::min(focus.Right, client.Right);
    canvas->Refresh();
    DrawFocusRect(canvas->Handle(), focus);
  }
}

// ---------------------------------------------------------------------------------------------
// Registration

void StdCtrlsRegisterClasses() {
  RegisterClass(TLabel::StaticClass());
  RegisterClass(TButton::StaticClass());
  RegisterClass(TCheckBox::StaticClass());
  RegisterClass(TEdit::StaticClass());
  RegisterClass(TComboBox::StaticClass());
}
