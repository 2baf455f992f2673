// The framed edit.
#include "controls/CvEdit.h"

#include "controls/CvControlsInternal.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"

using enum TFrameStyleEx;

PX_CLASS_INFO(TCvCustomEdit, TCustomMaskEdit, [](TPropertyBuilder<TCvCustomEdit>& b) {
  using C = TCvCustomEdit;
  auto unless = [](TCvFrameControllerProperty p) { return [p](C* c) { return !c->ControllerHandles(p); }; };
  b.Enum("Alignment", TypeInfo_TLeftRight(), &C::Alignment, &C::SetAlignment).Default(taLeftJustify);
  // The colour the state gives is not the user's: a disabled edit does not store it.
  b.Redeclare("Color").Stored([](C* c) { return c->Enabled() && !c->ControllerHandles(fcpColor) && !c->ParentColor(); });
  b.Int("DisabledColor", &C::DisabledColor, &C::SetDisabledColor, TypeInfo_TColor())
      .NoDefault()
      .Stored(unless(fcpDisabledColor));
  b.Int("FocusColor", &C::FocusColor, &C::SetFocusColor, TypeInfo_TColor()).NoDefault().Stored([](C* c) {
    return !c->ControllerHandles(fcpFocusColor) && ColorToRGB(c->FocusColor()) != ColorToRGB(c->Color());
  });
  b.Int("ReadOnlyColor", &C::ReadOnlyColor, &C::SetReadOnlyColor, TypeInfo_TColor())
      .NoDefault()
      .Stored(unless(fcpReadOnlyColor));
  b.Bool("ReadOnlyColorOnFocus", &C::ReadOnlyColorOnFocus, &C::SetReadOnlyColorOnFocus)
      .Default(false)
      .Stored(unless(fcpReadOnlyColorOnFocus));
  b.Bool("ReadOnly", &C::ReadOnly, &C::SetReadOnly).Default(false);
  b.Bool("FlatButtons", &C::FlatButtons, &C::SetFlatButtons).Default(false).Stored(unless(fcpFlatButtons));
  b.Int("FrameColor", &C::FrameColor, &C::SetFrameColor, TypeInfo_TColor())
      .Default(clBtnShadow)
      .Stored(unless(fcpFrameColor));
  b.Int("FrameHotColor", &C::FrameHotColor, &C::SetFrameHotColor, TypeInfo_TColor())
      .Default(clBtnShadow)
      .Stored(unless(fcpFrameHotColor));
  b.Enum("FrameHotStyle", TypeInfo_TFrameStyle(), &C::FrameHotStyle, &C::SetFrameHotStyle)
      .Default(fsFlatBold)
      .Stored(unless(fcpFrameHotStyle));
  b.Bool("FrameHotTrack", &C::FrameHotTrack, &C::SetFrameHotTrack).Default(false).Stored(unless(fcpFrameHotTrack));
  b.Set("FrameSides", TypeInfo_TSides(), &C::FrameSides, &C::SetFrameSides)
      .Default(AllSides.Bits())
      .Stored(unless(fcpFrameSides));
  b.Enum("FrameStyle", TypeInfo_TFrameStyle(), &C::FrameStyle, &C::SetFrameStyle)
      .Default(fsFlat)
      .Stored(unless(fcpFrameStyle));
  b.Bool("FrameVisible", &C::FrameVisible, &C::SetFrameVisible).Default(false).Stored(unless(fcpFrameVisible));
  b.Enum("FramingPreference", TypeInfo_TFramingPreference(), &C::FramingPreference, &C::SetFramingPreference)
      .Default(fpXPThemes)
      .Stored(unless(fcpFramingPreference));
  b.Object<TCvFrameController>("FrameController", &C::FrameController, &C::SetFrameController);
  b.Set("FrameControllerNotifications", TypeInfo_TCvFrameControllerNotifications(), &C::FrameControllerNotifications,
        &C::SetFrameControllerNotifications)
      .Default(AllFrameControllerNotifications.Bits());
  b.Bool("TabOnEnter", &C::TabOnEnter, &C::SetTabOnEnter).Default(false);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.DefineProperty("FrameFlat", &C::ReadFrameFlat);
  b.DefineProperty("FrameFocusStyle", &C::ReadFrameFocusStyle);
  b.DefineProperty("FrameFlatStyle", &C::SkipIdent);
})

TCvCustomEdit::TCvCustomEdit(TComponent* AOwner)
    : TCustomMaskEdit(AOwner), frame_canvas_(std::make_unique<TControlCanvas>()) {
  SetControlStyle(ControlStyle() + csCaptureMouse - csSetCaption);
  frame_canvas_->SetControl(this);
}

TCvCustomEdit::~TCvCustomEdit() {
  if (frame_controller_) frame_controller_->RemoveControl(this);
}

void TCvCustomEdit::Loaded() {
  TCustomMaskEdit::Loaded();
  ApplyStateColor();
  SetHoverState(false, false);
}

void TCvCustomEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomMaskEdit::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == frame_controller_) frame_controller_ = nullptr;
}

bool TCvCustomEdit::ControllerHandles(TCvFrameControllerProperty Property) const {
  return frame_controller_ && notifications_.Contains(Property);
}

void TCvCustomEdit::CreateParams(TCreateParams& Params) {
  TCustomMaskEdit::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
  Params.Style &= ~static_cast<uint32_t>(ES_MULTILINE);
  if (Alignment() == taRightJustify) Params.Style |= ES_RIGHT;
}

// ---------------------------------------------------------------------------------------------
// Colours

void TCvCustomEdit::ApplyStateColor() {
  if (IsLoading(this)) return;
  applying_color_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{applying_color_};
  if (!Enabled()) SetColor(disabled_color_);
  else if (in_control_) SetColor(IsReadOnly() && read_only_color_on_focus_ ? read_only_color_ : focus_color_);
  else SetColor(IsReadOnly() ? read_only_color_ : normal_color_);
}

void TCvCustomEdit::TakeColor() {
  if (applying_color_) return;
  // A write from outside: the normal colour, and a focus colour that matched it, follow.
  if (focus_color_ == normal_color_) focus_color_ = Color();
  normal_color_ = Color();
}

void TCvCustomEdit::CMColorChanged(TWMNoParams& Message) {
  TCustomMaskEdit::CMColorChanged(Message);
  TakeColor();
  if (frame_visible_ && !ThemedFraming()) InvalidateFrame();
}

void TCvCustomEdit::CMParentColorChanged(TWMNoParams& Message) {
  TCustomMaskEdit::CMParentColorChanged(Message);
  if (ParentColor()) TakeColor();
  if (frame_visible_ && !ThemedFraming()) InvalidateFrame();
}

void TCvCustomEdit::CMEnabledChanged(TWMNoParams& Message) {
  TCustomMaskEdit::CMEnabledChanged(Message);
  ApplyStateColor();
  RedrawNonClient();
}

void TCvCustomEdit::SetReadOnly(bool Value) {
  if (TCustomMaskEdit::ReadOnly() == Value) return;
  TCustomMaskEdit::SetReadOnly(Value);
  ReadOnlyChanged();
}

void TCvCustomEdit::ReadOnlyChanged() {
  if (IsReadOnly()) ReadOnlyEntered();
  else ReadOnlyLeft();
  ApplyStateColor();
  RedrawNonClient();
}

void TCvCustomEdit::SetDisabledColor(TColor Value) {
  disabled_color_ = Value;
  if (!Enabled()) ApplyStateColor();
}

void TCvCustomEdit::SetFocusColor(TColor Value) {
  focus_color_ = Value;
  if (in_control_) ApplyStateColor();
}

void TCvCustomEdit::SetReadOnlyColor(TColor Value) {
  read_only_color_ = Value;
  if (IsReadOnly()) ApplyStateColor();
}

// ---------------------------------------------------------------------------------------------
// Frame

void TCvCustomEdit::SetAlignment(TLeftRight Value) {
  if (Alignment() == Value) return;
  TCustomMaskEdit::SetAlignment(Value);
}

PX_CHANGING_SETTER(TCvCustomEdit, FrameColor, TColor, frame_color_, InvalidateFrame())
PX_CHANGING_SETTER(TCvCustomEdit, FrameHotColor, TColor, frame_hot_color_, InvalidateFrame())
PX_CHANGING_SETTER(TCvCustomEdit, FrameHotStyle, TFrameStyle, frame_hot_style_, InvalidateFrame())
PX_CHANGING_SETTER(TCvCustomEdit, FrameSides, TSides, frame_sides_, InvalidateFrame())
PX_CHANGING_SETTER(TCvCustomEdit, FrameStyle, TFrameStyle, frame_style_, InvalidateFrame())

void TCvCustomEdit::SetFramingPreference(TFramingPreference Value) {
  if (framing_preference_ == Value) return;
  framing_preference_ = Value;
  if (Value == fpCustomFraming) InvalidateFrame();
}

void TCvCustomEdit::SetFrameHotTrack(bool Value) {
  if (frame_hot_track_ == Value) return;
  frame_hot_track_ = Value;
  if (Value) {
    SetFrameVisible(true);
    if (!IsLoading(this)) SetFrameSides(AllSides);
  }
  InvalidateFrame();
  Invalidate();
}

void TCvCustomEdit::SetFrameVisible(bool Value) {
  if (frame_visible_ == Value) return;
  frame_visible_ = Value;
  if (Value) SetCtl3D(true);
  RecreateWnd();
}

void TCvCustomEdit::SetFlatButtons(bool Value) {
  if (flat_buttons_ == Value) return;
  flat_buttons_ = Value;
  RedrawNonClient();
}

void TCvCustomEdit::SetFrameController(TCvFrameController* Value) {
  if (frame_controller_ != Value) ChangeFrameController(this, frame_controller_, Value);
}

void TCvCustomEdit::InvalidateFrame() {
  if (HandleAllocated()) InvalidateNonClientFrame(Handle(), ClientRect());
}

void TCvCustomEdit::RedrawNonClient() {
  if (HandleAllocated()) SendMessage(Handle(), WM_NCPAINT, 0, 0);
}

void TCvCustomEdit::WMNCPaint(TWMNCPaint& Message) {
  TCustomMaskEdit::WMNCPaint(Message);
  HDC dc = GetWindowDC(Handle());
  if (!dc) return;
  frame_canvas_->SetHandle(dc);
  struct Release {
    TCvCustomEdit* self;
    HDC dc;
    ~Release() {
      self->frame_canvas_->SetHandle(nullptr);
      ReleaseDC(self->Handle(), dc);
    }
  } release{this, dc};
  if (frame_visible_ && !ThemedFraming()) {
    const bool hot = frame_hot_track_ && (in_control_ || over_control_);
    PaintEditFrame(frame_canvas_.get(), Width(), Height(), hot ? frame_hot_style_ : frame_style_, Color(),
                   hot ? frame_hot_color_ : frame_color_, frame_sides_, false);
    Message.Result = 0;
  }
  if (drop_button_visible_) {
    PaintDropButton(DropButtonStrip());
    Message.Result = 0;
  }
}

TRect TCvCustomEdit::DropButtonStrip() {
  TRect r(0, 0, Width(), Height());
  if (BorderStyle() == bsSingle) r.Inflate(-2, -2);
  r.Left = std::max(r.Left, r.Right - GetSystemMetrics(SM_CXVSCROLL));
  return r;
}

void TCvCustomEdit::WMSize(TWMSize& Message) {
  TCustomMaskEdit::WMSize(Message);
  if (frame_visible_ && !ThemedFraming()) InvalidateFrame();
}

// ---------------------------------------------------------------------------------------------
// Hot tracking and focus

void TCvCustomEdit::SetHoverState(bool ByMouse, bool Inside) {
  if (ByMouse) over_control_ = Inside;
  else in_control_ = Inside;
  if (drop_button_visible_) {
    if ((flat_buttons_ || frame_hot_track_) && !drop_button_down_ && HandleAllocated()) {
      TRect r = ClientRect();
      if (!frame_hot_track_) r.Left = r.Right - (GetSystemMetrics(SM_CXVSCROLL) + 2);
      RedrawWindow(Handle(), &r, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOERASE);
    }
  } else if (frame_hot_track_) {
    InvalidateFrame();
  }
  ApplyStateColor();
}

void TCvCustomEdit::CMEnter(TWMNoParams& Message) {
  SetHoverState(false, true);
  TCustomMaskEdit::CMEnter(Message);
}

void TCvCustomEdit::CMExit(TWMNoParams& Message) {
  TCustomMaskEdit::CMExit(Message);
  SetHoverState(false, false);
}

void TCvCustomEdit::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (IsDesigning(this)) return;
  TCustomMaskEdit::CMMouseEnter(Message);
  if (on_mouse_enter_) on_mouse_enter_(this);
  SetHoverState(true, true);
}

void TCvCustomEdit::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TCustomMaskEdit::CMMouseLeave(Message);
  if (on_mouse_leave_) on_mouse_leave_(this);
  SetHoverState(true, false);
}

// ---------------------------------------------------------------------------------------------
// Keys and validation

void TCvCustomEdit::ValidateError() {
  if (on_validate_failure_) {
    std::string message;
    on_validate_failure_(this, message);
    if (!message.empty()) {
      MessageBeep(0);
      throw EDBEditError(message);
    }
  }
  TCustomMaskEdit::ValidateError();
}

void TCvCustomEdit::KeyPress(char16_t& Key) {
  if (tab_on_enter_ && Key == 13) {
    Key = 0;
    PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
    return;
  }
  TCustomMaskEdit::KeyPress(Key);
}

void TCvCustomEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomMaskEdit::KeyDown(Key, Shift);
  if (drop_button_visible_ && Key == VK_DOWN && Shift.Contains(ssAlt)) {
    PressDropButton();
    Key = 0;
  }
}

void TCvCustomEdit::ReadFrameFlat(TReader& Reader) {
  const bool flat = Reader.ReadBoolean();
  SetFrameHotTrack(flat);
  if (flat) {
    SetFrameStyle(fsStatus);
    SetFrameHotStyle(fsLowered);
  }
}

void TCvCustomEdit::ReadFrameFocusStyle(TReader& Reader) {
  const int64_t v = GetEnumValue(TypeInfo_TFrameStyle(), Reader.ReadIdent());
  if (v >= 0) SetFrameHotStyle(static_cast<TFrameStyle>(v));
}

void TCvCustomEdit::SkipIdent(TReader& Reader) { TCvOldPropReader::SkipIdentProp(Reader); }

// ---------------------------------------------------------------------------------------------
// The drop button (shown by descendants only)

void TCvCustomEdit::SetDropButtonVisible(bool Value) {
  if (drop_button_visible_ == Value) return;
  drop_button_visible_ = Value;
  RecreateWnd();
}

void TCvCustomEdit::SetDropButtonState(bool Down) {
  if (drop_button_down_ == Down) return;
  drop_button_down_ = Down;
  RedrawNonClient();
}

void TCvCustomEdit::PressDropButton() {
  dropped_down_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{dropped_down_};
  SetMouseCapture(true);
  SetDropButtonState(true);
  if (on_drop_button_down_) on_drop_button_down_(this);
  if (on_drop_button_up_) on_drop_button_up_(this);
  SetDropButtonState(false);
}

void TCvCustomEdit::ReleaseDropButton() {
  if (!dropped_down_) SetDropButtonState(false);
  if (MouseCapture()) SetMouseCapture(false);
}

void TCvCustomEdit::PaintDropButton(const TRect& R) {
  TCanvas* c = frame_canvas_.get();
  TRect r = R;
  const bool active = in_control_ || over_control_;
  if (!flat_buttons_) {
    UINT state = DFCS_SCROLLCOMBOBOX;
    if (drop_button_down_) state |= DFCS_PUSHED | DFCS_FLAT;
    if (!Enabled()) state |= DFCS_INACTIVE;
    DrawFrameControl(c->Handle(), r, DFC_SCROLL, state);
    return;
  }
  if (active) {
    if (flat_button_face_ == clBtnFace) {
      r = drop_button_down_ ? PaintBevel(c, r, clBtnShadow, clBtnHighlight, 1, AllSides)
                            : PaintBevel(c, r, clBtnHighlight, clBtnShadow, 1, AllSides);
    } else {
      r = PaintBox(c, r, flat_button_face_);
    }
    c->Brush()->SetColor(flat_button_face_);
    c->FillRect(r);
    PaintDropDownGlyph(c, r, false, drop_button_down_, Enabled());
    return;
  }
  TColor fill = normal_color_;
  if (!Enabled()) fill = disabled_color_;
  else if (IsReadOnly()) fill = read_only_color_;
  c->Brush()->SetColor(fill);
  c->FillRect(r);
  PaintDropDownGlyph(c, r, false, false, Enabled());
}

void TCvCustomEdit::WMNCCalcSize(TWMNCCalcSize& Message) {
  if (drop_button_visible_ && Message.CalcSize_Params)
    Message.CalcSize_Params->rgrc[0].Right -= GetSystemMetrics(SM_CXVSCROLL);
  TCustomMaskEdit::WMNCCalcSize(Message);
}

void TCvCustomEdit::WMNCHitTest(TWMNCHitTest& Message) {
  TCustomMaskEdit::WMNCHitTest(Message);
  over_button_ = false;
  if (!drop_button_visible_ || Message.Result == HTCLIENT) return;
  TRect wr;
  GetWindowRect(Handle(), &wr);
  TRect strip = DropButtonStrip();
  strip.Offset(wr.Left, wr.Top);
  if (Message.Result == HTNOWHERE || strip.Contains(TPoint(Message.XPos, Message.YPos))) {
    over_button_ = true;
    Message.Result = HTCLIENT;
  }
}

void TCvCustomEdit::WMLButtonDown(TWMMouse& Message) {
  if (over_button_) {
    if (!Focused() && CanFocus()) SetFocus();
    PressDropButton();
    Message.Result = 0;
    return;
  }
  TCustomMaskEdit::WMLButtonDown(Message);
  if (!Focused()) ReleaseDropButton();
}

void TCvCustomEdit::WMLButtonDblClk(TWMMouse& Message) {
  if (over_button_) {
    WMLButtonDown(Message);
    return;
  }
  TCustomMaskEdit::WMLButtonDblClk(Message);
}

void TCvCustomEdit::WMRButtonDown(TWMMouse& Message) {
  if (over_button_) return;
  TCustomMaskEdit::WMRButtonDown(Message);
}

void TCvCustomEdit::WMLButtonUp(TWMMouse& Message) {
  ReleaseDropButton();
  TCustomMaskEdit::WMLButtonUp(Message);
}

void TCvCustomEdit::WMKillFocus(TWMSetFocus& Message) {
  TCustomMaskEdit::WMKillFocus(Message);
  ReleaseDropButton();
}

void TCvCustomEdit::WMSetCursor(TWMSetCursor& Message) {
  if (over_button_) {
    ::SetCursor(Screen()->Cursors(crArrow));
    Message.Result = 1;
    return;
  }
  TCustomMaskEdit::WMSetCursor(Message);
}
