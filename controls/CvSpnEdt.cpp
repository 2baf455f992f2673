// The spin buttons and the spin edit.
#include "controls/CvSpnEdt.h"

#include <algorithm>
#include <cmath>

#include "controls/CvControlsInternal.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

PTypeInfo TypeInfo_TSpinDirection() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TSpinDirection", {"sdUpDown", "sdLeftRight"});
  return &info;
}

// =============================================================================================
// TCvSpinButtons

PX_CLASS_INFO(TCvSpinButtons, TWinControl, [](TPropertyBuilder<TCvSpinButtons>& b) {
  using C = TCvSpinButtons;
  b.Int("Color", &C::Color, &C::SetColor, TypeInfo_TColor()).Default(clBtnFace);
  b.Int("Delay", &C::Delay, &C::SetDelay, TypeInfo_Word()).Default(100);
  b.Int("InitialDelay", &C::InitialDelay, &C::SetInitialDelay, TypeInfo_Word()).Default(400);
  b.Enum("Direction", TypeInfo_TSpinDirection(), &C::Direction, &C::SetDirection).Default(sdUpDown);
  b.Bool("Enabled", &C::Enabled, &C::SetEnabled).Default(true);
  b.Bool("Flat", &C::Flat, &C::SetFlat).Default(false);
  b.Object<TWinControl>("FocusControl", &C::FocusControl, &C::SetFocusControl);
  b.Object<TBitmap>("GlyphUpRight", &C::GlyphUpRight, &C::SetGlyphUpRight).Stored(&C::CustomUpRight);
  b.Object<TBitmap>("GlyphDownLeft", &C::GlyphDownLeft, &C::SetGlyphDownLeft).Stored(&C::CustomDownLeft);
  b.Int("NumGlyphsUpRight", &C::NumGlyphsUpRight, &C::SetNumGlyphsUpRight).Default(2);
  b.Int("NumGlyphsDownLeft", &C::NumGlyphsDownLeft, &C::SetNumGlyphsDownLeft).Default(2);
  b.Enum("Orientation", TypeInfo_TOrientation(), &C::Orientation, &C::SetOrientation).Default(orVertical);
  b.Event("OnUpRightClick", &C::OnUpRightClick, &C::SetOnUpRightClick);
  b.Event("OnDownLeftClick", &C::OnDownLeftClick, &C::SetOnDownLeftClick);
})

TCvSpinButtons::TCvSpinButtons(TComponent* AOwner) : TWinControl(AOwner) {
  SetControlStyle(ControlStyle() - csAcceptsControls - csSetCaption);
  up_right_ = CreateSpinButton();
  down_left_ = CreateSpinButton();
  ResetGlyphs();
  TWinControl::SetColor(clBtnFace);
  SetBounds(Left(), Top(), 16, 25);
  focused_button_ = up_right_;
}

TCvControlButton* TCvSpinButtons::CreateSpinButton() {
  auto* b = new TCvControlButton(this);  // owned by the pair
  b->SetParent(this);
  b->SetOnClick(TNotifyEvent(this, &TCvSpinButtons::ButtonClicked));
  b->SetOnMouseDown(TMouseEvent(this, &TCvSpinButtons::ButtonMouseDown));
  b->SetVisible(true);
  b->SetEnabled(true);
  b->SetRepeatClicks(true);
  b->Glyph()->SetOnChange([this, b](TObject*) { GlyphChanged(b); });
  b->SetNumGlyphs(2);
  return b;
}

void TCvSpinButtons::Loaded() {
  TWinControl::Loaded();
  int32_t w = Width(), h = Height();
  ArrangeButtons(w, h);
}

void TCvSpinButtons::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focus_control_) focus_control_ = nullptr;
}

void TCvSpinButtons::SetFocusControl(TWinControl* Value) {
  focus_control_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCvSpinButtons::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  ArrangeButtons(AWidth, AHeight);
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCvSpinButtons::ArrangeButtons(int32_t& AWidth, int32_t& AHeight) {
  if (!up_right_ || !down_left_ || IsLoading(this)) return;
  if (orientation_ == orVertical) {
    const int32_t h = AHeight / 2;
    up_right_->SetBounds(0, 0, AWidth, h);
    down_left_->SetBounds(0, h, AWidth, AHeight - h - 1);
  } else {
    const int32_t w = AWidth / 2;
    up_right_->SetBounds(w, 0, AWidth - w, AHeight - 1);
    down_left_->SetBounds(0, 0, w, AHeight - 1);
  }
}

void TCvSpinButtons::WMSize(TWMSize& Message) {
  TWinControl::WMSize(Message);
  int32_t w = Width(), h = Height();
  ArrangeButtons(w, h);
  Message.Result = 0;
}

void TCvSpinButtons::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_WANTARROWS; }

void TCvSpinButtons::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_UP) up_right_->Click();
  else if (Key == VK_DOWN) down_left_->Click();
  TWinControl::KeyDown(Key, Shift);
}

void TCvSpinButtons::ButtonClicked(TObject* Sender) {
  if (Sender == up_right_) DoUpRightClick();
  else DoDownLeftClick();
}

void TCvSpinButtons::DoUpRightClick() {
  if (on_up_right_click_) on_up_right_click_(this);
}

void TCvSpinButtons::DoDownLeftClick() {
  if (on_down_left_click_) on_down_left_click_(this);
}

void TCvSpinButtons::ButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState, int32_t, int32_t) {
  if (Button != mbLeft) return;
  if (auto* b = dynamic_cast<TCvControlButton*>(Sender)) focused_button_ = b;
  // The window that should have the focus takes it; when it cannot, the press is cancelled.
  auto take = [](TWinControl* c) {
    if (GetFocus() != c->Handle()) ::SetFocus(c->Handle());
    if (GetFocus() != c->Handle()) Abort();
  };
  if (focus_control_ && focus_control_->TabStop() && focus_control_->CanFocus()) {
    take(focus_control_);
  } else if (TabStop() && !Focused() && CanFocus()) {
    take(this);
  }
}

void TCvSpinButtons::ResetGlyphs() {
  if (!custom_up_right_) up_right_->SetStyle(direction_ == sdLeftRight ? cbsRight : cbsUp);
  if (!custom_down_left_) down_left_->SetStyle(direction_ == sdLeftRight ? cbsLeft : cbsDown);
}

void TCvSpinButtons::GlyphChanged(TObject* Sender) {
  auto* b = dynamic_cast<TCvControlButton*>(Sender);
  if (!b) return;
  const bool custom = !b->Glyph()->Empty();
  if (b == up_right_) {
    custom_up_right_ = custom;
    b->SetStyle(custom ? cbsNone : direction_ == sdLeftRight ? cbsRight : cbsUp);
  } else {
    custom_down_left_ = custom;
    b->SetStyle(custom ? cbsNone : direction_ == sdLeftRight ? cbsLeft : cbsDown);
  }
  b->Invalidate();
}

void TCvSpinButtons::SetGlyphUpRight(TBitmap* Value) {
  if (Value) {
    up_right_->SetGlyph(Value);
    custom_up_right_ = true;
    up_right_->SetStyle(cbsNone);
  } else {
    TBitmap empty;
    up_right_->SetGlyph(&empty);
    custom_up_right_ = false;
    ResetGlyphs();
  }
}

void TCvSpinButtons::SetGlyphDownLeft(TBitmap* Value) {
  if (Value) {
    down_left_->SetGlyph(Value);
    custom_down_left_ = true;
    down_left_->SetStyle(cbsNone);
  } else {
    TBitmap empty;
    down_left_->SetGlyph(&empty);
    custom_down_left_ = false;
    ResetGlyphs();
  }
}

void TCvSpinButtons::SetColor(TColor Value) {
  TWinControl::SetColor(Value);
  up_right_->SetColor(Value);
  down_left_->SetColor(Value);
}

void TCvSpinButtons::SetDelay(uint16_t Value) {
  up_right_->SetDelay(Value);
  down_left_->SetDelay(Value);
}

void TCvSpinButtons::SetInitialDelay(uint16_t Value) {
  up_right_->SetInitialDelay(Value);
  down_left_->SetInitialDelay(Value);
}

void TCvSpinButtons::SetDirection(TSpinDirection Value) {
  if (direction_ == Value) return;
  direction_ = Value;
  ResetGlyphs();
  Invalidate();
}

void TCvSpinButtons::SetEnabled(bool Value) {
  TWinControl::SetEnabled(Value);
  up_right_->SetEnabled(Value);
  down_left_->SetEnabled(Value);
}

void TCvSpinButtons::SetFlat(bool Value) {
  flat_ = Value;
  up_right_->SetFlat(Value);
  down_left_->SetFlat(Value);
}

void TCvSpinButtons::SetOrientation(TOrientation Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  if (!IsLoading(this)) SetWidth(Value == orVertical ? Width() / 2 : Width() * 2);
  Invalidate();
}

// =============================================================================================
// TCvSpinEdit

PX_CLASS_INFO(TCvSpinEdit, TCvCustomEdit, [](TPropertyBuilder<TCvSpinEdit>& b) {
  using C = TCvSpinEdit;
  b.Float("Value", &C::Value, &C::SetValueProp);
  b.Float("Min", &C::Min, &C::SetMin).Stored([](C* c) { return c->Min() != 0; });
  b.Float("Max", &C::Max, &C::SetMax).Stored([](C* c) { return c->Max() != 100; });
  b.Float("Increment", &C::Increment, &C::SetIncrement).Stored([](C* c) { return c->Increment() != 1; });
  b.Float("PageSize", &C::PageSize, &C::SetPageSize).Stored([](C* c) { return c->PageSize() != 10; });
  b.Bool("CheckRange", &C::CheckRange, &C::SetCheckRange).Default(false);
  b.Int("Decimals", &C::Decimals, &C::SetDecimals, TypeInfo_Byte()).Default(0);
  b.Bool("IntegersOnly", &C::IntegersOnly, &C::SetIntegersOnly).Default(true);
  b.Bool("AllowBlank", &C::AllowBlank, &C::SetAllowBlank).Default(false);
  b.Float("BlankValue", &C::BlankValue, &C::SetBlankValue).Stored([](C* c) { return c->BlankValue() != 0; });
  b.Bool("AllowKeyEdit", &C::AllowKeyEdit, &C::SetAllowKeyEdit).Default(false);
  b.Int("ButtonWidth", &C::ButtonWidth, &C::SetButtonWidth).Default(17);
  b.Int("FlatButtonColor", &C::FlatButtonColor, &C::SetFlatButtonColor, TypeInfo_TColor())
      .Default(clBtnFace)
      .Stored([](C* c) { return !(c->FrameController() && c->FrameControllerNotifications().Contains(fcpFlatButtonColor)); });
  b.Enum("Direction", TypeInfo_TSpinDirection(), &C::Direction, &C::SetDirection).Default(sdUpDown);
  b.Enum("Orientation", TypeInfo_TOrientation(), &C::Orientation, &C::SetOrientation).Default(orVertical);
  b.Object<TBitmap>("ButtonUpGlyph", &C::ButtonUpGlyph, &C::SetButtonUpGlyph).Stored([](C* c) {
    return c->Buttons()->CustomUpRight();
  });
  b.Object<TBitmap>("ButtonDownGlyph", &C::ButtonDownGlyph, &C::SetButtonDownGlyph).Stored([](C* c) {
    return c->Buttons()->CustomDownLeft();
  });
  b.Int("ButtonUpNumGlyphs", &C::ButtonUpNumGlyphs, &C::SetButtonUpNumGlyphs).Default(2).Stored([](C* c) {
    return c->Buttons()->CustomUpRight();
  });
  b.Int("ButtonDownNumGlyphs", &C::ButtonDownNumGlyphs, &C::SetButtonDownNumGlyphs).Default(2).Stored([](C* c) {
    return c->Buttons()->CustomDownLeft();
  });
  b.Redeclare("Alignment").Default(taRightJustify);
  b.Bool("AutoSelect", &C::AutoSelect, &C::SetAutoSelect).Default(true);
  b.Enum("CharCase", TypeInfo_TEditCharCase(), &C::CharCase, &C::SetCharCase).Default(ecNormal);
  b.Bool("HideSelection", &C::HideSelection, &C::SetHideSelection).Default(true);
  b.Char("PasswordChar", &C::PasswordChar, &C::SetPasswordChar).Default('\0');
  b.Redeclare("TabStop").Default(true);
  b.Event("OnChange", &C::OnChange, &C::SetOnChange);
  b.Event("OnChanging", &C::OnChanging, &C::SetOnChanging);
  b.Event("OnButtonClick", &C::OnButtonClick, &C::SetOnButtonClick);
  b.DefineProperty("FlatButtonParentColor", &C::SkipValue);
})

TCvSpinEdit::TCvSpinEdit(TComponent* AOwner) : TCvCustomEdit(AOwner) {
  buttons_ = new TCvSpinButtons(this);  // owned by the edit
  buttons_->SetBounds(0, 0, 17, 17);
  buttons_->SetVisible(true);
  buttons_->SetParent(this);
  buttons_->SetFocusControl(this);
  buttons_->SetOnUpRightClick(TNotifyEvent(this, &TCvSpinEdit::UpButtonClicked));
  buttons_->SetOnDownLeftClick(TNotifyEvent(this, &TCvSpinEdit::DownButtonClicked));
  SetControlStyle(ControlStyle() - csSetCaption);
  SetTabStop(true);
  SetWidth(47);
  SetAlignment(taRightJustify);
  SetValue(0);
}

void TCvSpinEdit::Loaded() {
  TCvCustomEdit::Loaded();
  PlaceButtons();
}

void TCvSpinEdit::SkipValue(TReader& Reader) { Reader.SkipValue(); }

void TCvSpinEdit::CreateParams(TCreateParams& Params) {
  TCvCustomEdit::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
}

void TCvSpinEdit::CreateWnd() {
  TCvCustomEdit::CreateWnd();
  UpdateTextMargins();
}

TCvControlButton* TCvSpinEdit::SpinButton(TSpinButtonType ButtonType) {
  return ButtonType == sbUp ? buttons_->UpRightButton() : buttons_->DownLeftButton();
}

// ---------------------------------------------------------------------------------------------
// Value, range and text

long double TCvSpinEdit::GetValue() {
  const std::string text = Text();
  if (text.empty()) {
    if (allow_blank_) return blank_value_;
    SetText(FloatToStr(min_));
    return min_;
  }
  long double v = 0;
  // Not a number (or not a finite one) reads as Min.
  if (!TryStrToFloat(text, v) || !std::isfinite(v)) return min_;
  return v;
}

long double TCvSpinEdit::ClampValue(long double X) {
  if (min_ != max_ || check_range_) return std::clamp(X, min_, max_);
  return X;
}

void TCvSpinEdit::SetValue(long double X) {
  const bool parented = Parent() != nullptr;
  const bool noSelection = parented && SelLength() == 0;
  const int32_t caret = parented ? SelStart() : 0;
  const size_t oldLength = Text().size();
  SetText(FloatToStrF(ClampValue(X), ffFixed, 18, decimals_));
  if (!noSelection) return;
  const size_t newLength = Text().size();
  int32_t pos = caret;
  if (newLength > oldLength) ++pos;
  else if (newLength < oldLength) --pos;
  SetSelStart(std::max(pos, 0));
}

int32_t TCvSpinEdit::GetIntValue() { return Round32(GetValue()); }

void TCvSpinEdit::SetMin(long double X) {
  if (min_ == X) return;
  min_ = X;
  if (X > max_) max_ = X;
  SetValue(GetValue());
  Invalidate();
}

void TCvSpinEdit::SetMax(long double X) {
  if (max_ == X) return;
  max_ = X;
  if (X < min_) min_ = X;
  SetValue(GetValue());
  Invalidate();
}

void TCvSpinEdit::SetCheckRange(bool Value) {
  check_range_ = Value;
  SetValue(GetValue());
}

void TCvSpinEdit::SetDecimals(uint8_t Value) {
  decimals_ = Value;
  SetValue(GetValue());
}

void TCvSpinEdit::SetIntegersOnly(bool Value) {
  integers_only_ = Value;
  if (!Value) return;
  decimals_ = 0;
  SetValue(static_cast<long double>(Round(GetValue())));
}

// ---------------------------------------------------------------------------------------------
// Stepping

bool TCvSpinEdit::DoChanging(long double NewValue) {
  bool allow = true;
  if (on_changing_) on_changing_(this, NewValue, allow);
  return allow;
}

void TCvSpinEdit::DoButtonClick(TSpinButtonType Button) {
  if (on_button_click_) on_button_click_(this, Button);
}

void TCvSpinEdit::Step(long double Amount, TSpinButtonType Button) {
  if (ReadOnly()) {
    MessageBeep(0);
    return;
  }
  const long double v = GetValue() + Amount;
  if (!DoChanging(v)) return;
  SetValue(v);
  DoButtonClick(Button);
}

void TCvSpinEdit::IncValue(long double Amount) { Step(Amount, sbUp); }
void TCvSpinEdit::DecValue(long double Amount) { Step(-Amount, sbDown); }
void TCvSpinEdit::UpButtonClicked(TObject*) { IncValue(increment_); }
void TCvSpinEdit::DownButtonClicked(TObject*) { DecValue(increment_); }

bool TCvSpinEdit::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  TCvCustomEdit::DoMouseWheelDown(Shift, MousePos);
  DecValue(Shift.Contains(ssCtrl) ? page_size_ : increment_);
  return true;
}

bool TCvSpinEdit::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  TCvCustomEdit::DoMouseWheelUp(Shift, MousePos);
  IncValue(Shift.Contains(ssCtrl) ? page_size_ : increment_);
  return true;
}

void TCvSpinEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCvCustomEdit::KeyDown(Key, Shift);
  if (!allow_key_edit_ && Key == VK_DELETE) {
    Key = 0;
    MessageBeep(0);
  }
  switch (Key) {
    case VK_PRIOR: IncValue(page_size_); break;
    case VK_NEXT: DecValue(page_size_); break;
    case VK_UP: IncValue(increment_); break;
    case VK_DOWN: DecValue(increment_); break;
    default: return;
  }
  Key = 0;
}

// ---------------------------------------------------------------------------------------------
// Typing

bool TCvSpinEdit::AcceptsChar(char16_t Ch) {
  const char16_t separator = static_cast<unsigned char>(FormatSettings().DecimalSeparator);
  const std::string text = Text();
  const bool isSign = Ch == u'+' || Ch == u'-';
  const bool isSeparator = !integers_only_ && Ch == separator;
  bool accept;
  if (isSign || (Ch >= u'0' && Ch <= u'9') || isSeparator) {
    accept = true;
    const bool allSelected = SelLength() > 0 && SelLength() == static_cast<int32_t>(TCustomEdit::ToChars(text).size());
    if (isSeparator) {
      const char sep = FormatSettings().DecimalSeparator;
      accept = text.find(sep) == std::string::npos || (SelLength() > 0 && SelText().find(sep) != std::string::npos);
    }
    if (isSign)
      accept = (SelStart() == 0 && text.find_first_of("+-") == std::string::npos) || allSelected;
  } else {
    accept = Ch < 32 && Ch != 13;
  }
  // Without key editing only the stepping keys change the value.
  if (!allow_key_edit_ && (Ch == 8 || Ch >= 32)) accept = false;
  return accept;
}

void TCvSpinEdit::KeyPress(char16_t& Key) {
  TCvCustomEdit::KeyPress(Key);
  if (Key == 0 || AcceptsChar(Key)) return;
  Key = 0;
  MessageBeep(0);
}

void TCvSpinEdit::Dispatch(TMessage& Message) {
  if ((Message.Msg == WM_PASTE || Message.Msg == WM_CUT) && (!allow_key_edit_ || ReadOnly())) return;
  TCvCustomEdit::Dispatch(Message);
}

// ---------------------------------------------------------------------------------------------
// Focus

void TCvSpinEdit::CMEnter(TWMNoParams& Message) {
  TCvCustomEdit::CMEnter(Message);
  UpdateTextMargins();
  if (AutoSelect() && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
}

void TCvSpinEdit::CMExit(TWMNoParams& Message) {
  TCvCustomEdit::CMExit(Message);
  UpdateTextMargins();
  if (allow_blank_ && Text().empty()) return;
  SetValue(GetValue());
}

// ---------------------------------------------------------------------------------------------
// Layout and looks

void TCvSpinEdit::PlaceButtons() {
  if (IsLoading(this) || !buttons_) return;
  const int32_t line = FontLineHeight(Font());
  if (Height() < line) {
    SetHeight(line);
    return;
  }
  const int32_t w = buttons_->Width();
  if (FrameVisible() || Ctl3D()) buttons_->SetBounds(Width() - w - 4, 0, w, Height() - 3);
  else buttons_->SetBounds(Width() - w - 1, 1, w, Height() - 3);
  UpdateTextMargins();
}

void TCvSpinEdit::UpdateTextMargins() {
  if (!HandleAllocated()) return;
  if (ReadOnly()) {
    SendMessage(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  } else if (!IsLoading(this)) {
    SendMessage(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                MAKELPARAM(0, static_cast<uint16_t>(buttons_->Width() + 2)));
  }
}

TRect TCvSpinEdit::EditAreaRect() {
  TRect r = ClientRect();
  if (!ReadOnly()) r.Right -= buttons_->Width() + 2;
  return r;
}

void TCvSpinEdit::ReadOnlyChanged() {
  TCvCustomEdit::ReadOnlyChanged();
  buttons_->SetVisible(!ReadOnly());
  PlaceButtons();
}

void TCvSpinEdit::SetButtonWidth(int32_t Value) {
  button_width_ = std::max(Value, 0);
  buttons_->SetWidth(Orientation() == orVertical ? button_width_ : 2 * button_width_);
  PlaceButtons();
  Invalidate();
}

void TCvSpinEdit::SetFlatButtons(bool Value) {
  TCvCustomEdit::SetFlatButtons(Value);
  buttons_->SetFlat(Value);
  PlaceButtons();
}

void TCvSpinEdit::SetOrientation(TOrientation Value) {
  buttons_->SetOrientation(Value);
  PlaceButtons();
  Invalidate();
}

void TCvSpinEdit::SetFrameStyle(TFrameStyle Value) {
  TCvCustomEdit::SetFrameStyle(Value);
  PlaceButtons();
}

void TCvSpinEdit::SetHoverState(bool ByMouse, bool Inside) {
  TCvCustomEdit::SetHoverState(ByMouse, Inside);
  if (!FlatButtons()) return;
  buttons_->SetColor(Inside || Focused() ? flat_button_color_ : Color());
}

void TCvSpinEdit::WMSize(TWMSize& Message) {
  TCvCustomEdit::WMSize(Message);
  PlaceButtons();
}

void TCvSpinEdit::CMColorChanged(TWMNoParams& Message) {
  TCvCustomEdit::CMColorChanged(Message);
  if (buttons_) buttons_->SetColor(Color());
}

void TCvSpinEdit::CMEnabledChanged(TWMNoParams& Message) {
  TCvCustomEdit::CMEnabledChanged(Message);
  UpdateTextMargins();
  buttons_->SetEnabled(Enabled());
  if (FlatButtons()) buttons_->SetColor(Color());
}

void TCvSpinEdit::CMFontChanged(TWMNoParams& Message) {
  TCvCustomEdit::CMFontChanged(Message);
  if (HandleAllocated()) UpdateTextMargins();
  if (buttons_) buttons_->SetEnabled(Enabled());
}

void CvSpnEdtRegisterClasses() {
  RegisterClass(TCvSpinEdit::StaticClass());
  RegisterClass(TCvSpinButtons::StaticClass());
}
