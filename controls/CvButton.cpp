// The button base and the push button.
#include "controls/CvButton.h"

#include "controls/CvCommonInternal.h"
#include "controls/CvControlsInternal.h"
#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

using enum TFrameStyleEx;

// ---------------------------------------------------------------------------------------------
// Shared pieces of the units

void CanvasText(TCanvas* Canvas, const std::string& Text, TRect R, UINT Flags, TColor Color) {
  Canvas->Font()->SetColor(Color);
  Canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  DrawText(Canvas->Handle(), Text, &R, Flags);
}

TRect CanvasTextRect(TCanvas* Canvas, const std::string& Text, TRect R, UINT Flags) {
  Canvas->RequiredState({csHandleValid, csFontValid});
  DrawText(Canvas->Handle(), Text, &R, Flags | DT_CALCRECT);
  return R;
}

void FillWithPattern(TCanvas* Canvas, const TRect& R, TBitmap* Pattern) {
  Canvas->Brush()->SetBitmap(Pattern);
  Canvas->FillRect(R);
  Canvas->Brush()->SetBitmap(nullptr);
  Canvas->Brush()->SetStyle(bsSolid);
}

void ChangeFrameController(TControl* Control, TCvFrameController*& Field, TCvFrameController* Value) {
  if (Field) Field->RemoveControl(Control);
  Field = Value;
  if (!Value) return;
  Value->AddControl(Control);
  Value->FreeNotification(Control);
}

void SetParentModalResult(TControl* Control, TModalResult Result) {
  if (TCustomForm* form = GetParentForm(Control)) form->SetModalResult(Result);
}

// =============================================================================================
// TCvCustomButton

PX_CLASS_INFO(TCvCustomButton, TCustomControl, [](TPropertyBuilder<TCvCustomButton>& b) {
  using C = TCvCustomButton;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Enum("AlignmentVertical", TypeInfo_TAlignmentVertical(), &C::AlignmentVertical, &C::SetAlignmentVertical)
      .Default(avCenter);
  b.Int("HighlightColor", &C::HighlightColor, &C::SetHighlightColor, TypeInfo_TColor()).Default(clHighlight);
  b.Bool("HotTrack", &C::HotTrack, &C::SetHotTrack).Default(false);
  b.Int("HotTrackColor", &C::HotTrackColor, &C::SetHotTrackColor, TypeInfo_TColor()).Default(0x149BF0);
  b.Enum("HotTrackColorType", TypeInfo_TCvHotTrackColorType(), &C::HotTrackColorType, &C::SetHotTrackColorType)
      .Default(htctActual);
  b.Bool("LightTextStyle", &C::LightTextStyle, &C::SetLightTextStyle).Default(false);
  b.Int("TextHighlightColor", &C::TextHighlightColor, &C::SetTextHighlightColor, TypeInfo_TColor())
      .Default(clBtnHighlight);
  b.Int("TextShadowColor", &C::TextShadowColor, &C::SetTextShadowColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("TextShadowDepth", &C::TextShadowDepth, &C::SetTextShadowDepth).Default(2);
  b.Enum("TextStyle", TypeInfo_TTextStyle(), &C::TextStyle, &C::SetTextStyle).Default(TTextStyle::tsNormal);
  b.Bool("ThemeAware", &C::ThemeAware, &C::SetThemeAware).Default(true);
  b.Bool("Transparent", &C::Transparent, &C::SetTransparent).Default(false);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.Redeclare("TabStop").Default(true);
})

TCvCustomButton::TCvCustomButton(TComponent* AOwner) : TCustomControl(AOwner) {
  // No automatic click events: the button raises Click itself.
  SetControlStyle(TControlStyle{csCaptureMouse, csSetCaption, csDoubleClicks, csReplicatable, csReflector});
  SetTabStop(true);
  SetBounds(Left(), Top(), 115, 17);
}

void TCvCustomButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (GetFocus() != Handle() && CanFocus()) ::SetFocus(Handle());
  if (!Focused()) return;
  show_pressed_ = true;
  RefreshFace();
  pressed_ = true;
}

void TCvCustomButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!pressed_) return;
  const bool inside = X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight();
  if (inside == show_pressed_) return;
  show_pressed_ = inside;
  RefreshFace();
}

void TCvCustomButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!pressed_ || Button != mbLeft) return;
  pressed_ = false;
  show_pressed_ = false;
  if (X >= 0 && X < ClientWidth() && Y >= 0 && Y < ClientHeight()) ActivateButton();
  RefreshFace();
}

void TCvCustomButton::InvalidateHotTrackBounds() {
  if (!hot_track_ || !HandleAllocated()) return;
  const TRect r = HotTrackBounds();
  InvalidateRect(Handle(), &r, FALSE);
}

void TCvCustomButton::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (IsDesigning(this)) return;
  mouse_over_ = true;
  TCustomControl::CMMouseEnter(Message);
  if (on_mouse_enter_) on_mouse_enter_(this);
  InvalidateHotTrackBounds();
}

void TCvCustomButton::CMMouseLeave(TCMMouseEnterLeave& Message) {
  mouse_over_ = false;
  TCustomControl::CMMouseLeave(Message);
  if (on_mouse_leave_) on_mouse_leave_(this);
  InvalidateHotTrackBounds();
}

void TCvCustomButton::WMSetFocus(TWMSetFocus& Message) {
  TCustomControl::WMSetFocus(Message);
  RepaintFace();
}

void TCvCustomButton::WMKillFocus(TWMSetFocus& Message) {
  TCustomControl::WMKillFocus(Message);
  RepaintFace();
}

void TCvCustomButton::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  if (!transparent_) {
    TCustomControl::WMEraseBkgnd(Message);
    return;
  }
  PaintParentBackground(this, Message.DC, false);
  Message.Result = 1;
}

void TCvCustomButton::CMEnabledChanged(TWMNoParams& Message) {
  // The window layer moves the focus away from a disabled window and follows Enabled.
  TCustomControl::CMEnabledChanged(Message);
  Invalidate();
}

void TCvCustomButton::CMTextChanged(TWMNoParams& Message) {
  TCustomControl::CMTextChanged(Message);
  Repaint();
}

TRect TCvCustomButton::CaptionBounds(TCanvas* ACanvas, TRect Rect, UINT Flags) {
  ACanvas->Font()->Assign(Font());
  const int32_t h =
      CanvasTextRect(ACanvas, Caption(), Rect, DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER).Height();
  switch (alignment_vertical_) {
    case avTop: Rect.Bottom = Rect.Top + h; break;
    case avCenter:
      Rect.Top = static_cast<int32_t>((int64_t{Rect.Top} + Rect.Bottom - h) / 2);
      Rect.Bottom = Rect.Top + h;
      break;
    case avBottom: Rect.Top = Rect.Bottom - h - 1; break;
  }
  // Right-aligned text keeps room for its shadow in every text style.
  if ((Flags & DT_RIGHT) && Enabled()) Rect.Offset(-text_shadow_depth_, 0);
  return Rect;
}

void TCvCustomButton::DrawCaptionText(TCanvas* ACanvas, TRect Rect, UINT Flags) {
  const std::string caption = Caption();
  ACanvas->Brush()->SetStyle(bsClear);
  const TRect text = CaptionBounds(ACanvas, Rect, Flags);
  const bool right = (Flags & DT_RIGHT) != 0;
  // The copies stand around the placed rectangle (before the right-aligned shift).
  TRect placed = text;
  if (right && Enabled()) placed.Offset(text_shadow_depth_, 0);
  auto copy = [&](int32_t dx, int32_t dy, TColor color) {
    TRect r = placed;
    r.Offset(dx, dy);
    CanvasText(ACanvas, caption, r, Flags, color);
  };
  if (Enabled()) {
    if (text_style_ == TTextStyle::tsRaised || text_style_ == TTextStyle::tsRecessed) {
      const bool raised = text_style_ == TTextStyle::tsRaised;
      const TColor light = raised ? text_highlight_color_ : text_shadow_color_;
      const TColor dark = raised ? text_shadow_color_ : text_highlight_color_;
      if (!(raised && light_text_style_)) copy(1, 1, dark);
      if (!(!raised && light_text_style_)) copy(-1, -1, light);
    } else if (text_style_ == TTextStyle::tsShadow) {
      copy(right ? 0 : text_shadow_depth_, text_shadow_depth_, text_shadow_color_);
    }
    CanvasText(ACanvas, caption, text, Flags, Font()->Color());
  } else {
    copy(1, 1, clBtnHighlight);
    CanvasText(ACanvas, caption, text, Flags, clBtnShadow);
  }
  ACanvas->Brush()->SetStyle(bsSolid);
}

void TCvCustomButton::ReadHotTrack(TReader& Reader) { SetHotTrack(Reader.ReadBoolean()); }

PX_INVALIDATING_SETTER(TCvCustomButton, AlignmentVertical, TAlignmentVertical, alignment_vertical_)
PX_INVALIDATING_SETTER(TCvCustomButton, HotTrack, bool, hot_track_)
PX_INVALIDATING_SETTER(TCvCustomButton, HighlightColor, TColor, highlight_color_)
PX_INVALIDATING_SETTER(TCvCustomButton, HotTrackColor, TColor, hot_track_color_)
PX_INVALIDATING_SETTER(TCvCustomButton, HotTrackColorType, TCvHotTrackColorType, hot_track_color_type_)
PX_INVALIDATING_SETTER(TCvCustomButton, LightTextStyle, bool, light_text_style_)
PX_INVALIDATING_SETTER(TCvCustomButton, TextStyle, TTextStyle, text_style_)
PX_INVALIDATING_SETTER(TCvCustomButton, TextHighlightColor, TColor, text_highlight_color_)
PX_INVALIDATING_SETTER(TCvCustomButton, TextShadowColor, TColor, text_shadow_color_)
PX_INVALIDATING_SETTER(TCvCustomButton, TextShadowDepth, int32_t, text_shadow_depth_)
PX_INVALIDATING_SETTER(TCvCustomButton, ThemeAware, bool, theme_aware_)
PX_INVALIDATING_SETTER(TCvCustomButton, Transparent, bool, transparent_)

// =============================================================================================
// TCvButton

PX_CLASS_INFO(TCvButton, TCvCustomButton, [](TPropertyBuilder<TCvButton>& b) {
  using C = TCvButton;
  b.Enum("Alignment", TypeInfo_TAlignment(), &C::Alignment, &C::SetAlignment).Default(taCenter);
  b.Bool("AllowAllUp", &C::AllowAllUp, &C::SetAllowAllUp).Default(false);
  b.Bool("Cancel", &C::Cancel, &C::SetCancel).Default(false);
  b.Bool("Default", &C::Default, &C::SetDefault).Default(false);
  b.Bool("Down", &C::Down, &C::SetDown).Default(false);
  b.Bool("DropDownOnEnter", &C::DropDownOnEnter, &C::SetDropDownOnEnter).Default(true);
  b.Int("FrameColor", &C::FrameColor, &C::SetFrameColor, TypeInfo_TColor()).Default(cl3DDkShadow);
  b.Int("GroupIndex", &C::GroupIndex, &C::SetGroupIndex).Default(0);
  b.Int("ModalResult", &C::ModalResult, &C::SetModalResult, TypeInfo_TModalResult()).Default(0);
  b.Bool("ShowDownPattern", &C::ShowDownPattern, &C::SetShowDownPattern).Default(true);
  b.Bool("ShowFocusRect", &C::ShowFocusRect, &C::SetShowFocusRect).Default(true);
  b.Redeclare("Width").Default(75);
  b.Redeclare("Height").Default(25);
  b.DefineProperty("FrameFlat", &C::ReadHotTrack);
})

TCvButton::TCvButton(TComponent* AOwner) : TCvCustomButton(AOwner) {
  SetBounds(Left(), Top(), 75, 25);
  SetColor(clBtnFace);
}

void TCvButton::Click() {
  SetParentModalResult(this, modal_result_);
  TCvCustomButton::Click();
}

void TCvButton::CreateWnd() {
  TCvCustomButton::CreateWnd();
  active_ = default_;
}

void TCvButton::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  if (HandleAllocated()) Repaint();
}

void TCvButton::ActivateButton() {
  if (group_index_ != 0) SetDown(!down_);
  else RefreshFace();
  clicking_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{clicking_};
  Click();
}

void TCvButton::NotifyGroup() {
  if (group_index_ == 0 || !Parent()) return;
  TMessage m{CM_CVBUTTONPRESSED, static_cast<WPARAM>(group_index_), reinterpret_cast<LPARAM>(this), 0};
  Parent()->Broadcast(m);
}

void TCvButton::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_CVBUTTONPRESSED) {
    auto* sender = reinterpret_cast<TCvButton*>(Message.LParam);
    if (static_cast<int32_t>(Message.WParam) != group_index_ || !sender || sender == this) return;
    if (sender->Down() && down_) {
      down_ = false;
      latch_state_ = 0;
      Invalidate();
    }
    allow_all_up_ = sender->AllowAllUp();
    return;
  }
  TCvCustomButton::Dispatch(Message);
}

void TCvButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_SPACE && !Shift.Contains(ssAlt)) {
    space_flag_ = true;
    SetShowPressed(true);
    RefreshFace();
  }
  TCvCustomButton::KeyDown(Key, Shift);
}

void TCvButton::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_SPACE) {
    SetShowPressed(false);
    if (space_flag_) ActivateButton();
    RefreshFace();
  }
  TCvCustomButton::KeyUp(Key, Shift);
}

void TCvButton::WMKillFocus(TWMSetFocus& Message) {
  TCvCustomButton::WMKillFocus(Message);
  space_flag_ = false;
  SetShowPressed(false);
  RefreshFace();
}

void TCvButton::CMDialogKey(TWMKey& Message) {
  const bool enter = Message.CharCode == VK_RETURN && active_;
  const bool escape = Message.CharCode == VK_ESCAPE && cancel_;
  if ((enter || escape) && KeyDataToShiftState(Message.KeyData).Empty() && GetKeyState(VK_MENU) >= 0 &&
      CanFocus()) {
    enter_flag_ = enter && !drop_down_on_enter_;
    struct Reset {
      bool& flag;
      ~Reset() { flag = false; }
    } reset{enter_flag_};
    Click();
    Message.Result = 1;
    return;
  }
  TCvCustomButton::CMDialogKey(Message);
}

void TCvButton::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
    Click();
    Message.Result = 1;
    return;
  }
  TCvCustomButton::CMDialogChar(Message);
}

void TCvButton::CMFocusChanged(TCMFocusChanged& Message) {
  if (dynamic_cast<TCvButton*>(Message.Sender) || dynamic_cast<TButton*>(Message.Sender))
    SetActive(Message.Sender == this);
  else
    SetActive(default_);
  TCvCustomButton::CMFocusChanged(Message);
}

void TCvButton::SetDefault(bool Value) {
  default_ = Value;
  if (!HandleAllocated()) return;
  if (TCustomForm* form = GetParentForm(this))
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
}

void TCvButton::SetAllowAllUp(bool Value) {
  allow_all_up_ = Value;
  NotifyGroup();
}

void TCvButton::SetGroupIndex(int32_t Value) {
  group_index_ = Value;
  NotifyGroup();
}

void TCvButton::SetDown(bool Value) {
  if (group_index_ == 0) Value = false;
  if (Value == down_ || (down_ && !allow_all_up_ && group_index_ != 0)) return;
  down_ = Value;
  latch_state_ = Value ? 3 : 0;
  Invalidate();
  if (Value) NotifyGroup();
}

void TCvButton::SetHotTrack(bool Value) {
  TCvCustomButton::SetHotTrack(Value);
  SetTransparent(Value);
  Invalidate();
}

PX_INVALIDATING_SETTER(TCvButton, Alignment, TAlignment, alignment_)
PX_INVALIDATING_SETTER(TCvButton, FrameColor, TColor, frame_color_)
PX_INVALIDATING_SETTER(TCvButton, ShowDownPattern, bool, show_down_pattern_)
PX_INVALIDATING_SETTER(TCvButton, ShowFocusRect, bool, show_focus_rect_)

bool TCvButton::DrawnPressed() const { return latch_state_ == 2 || latch_state_ == 3 || ShowPressed(); }

void TCvButton::CaptionRect(TRect& R) {
  R = ClientRect();
  R.Inflate(-5, -5);
  if (HotTrack()) return;
  if (group_index_ != 0 ? DrawnPressed() : ShowPressed()) R.Offset(1, 1);
}

void TCvButton::DrawCaption() {
  UINT align = DT_CENTER;
  if (alignment_ == taLeftJustify) align = DT_LEFT;
  else if (alignment_ == taRightJustify) align = DT_RIGHT;
  TRect r;
  CaptionRect(r);
  DrawCaptionText(Canvas(), r, align | DT_WORDBREAK | DT_EXPANDTABS);
}

void TCvButton::MakeDownPattern(TBitmap* Bitmap) {
  Bitmap->SetSize(8, 8);
  TCanvas* c = Bitmap->Canvas();
  c->Brush()->SetColor(Color());
  c->FillRect(TRect(0, 0, 8, 8));
  const TColor dot = ColorToRGB(Color()) == ColorToRGB(clSilver) ? clGray : clSilver;
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = y % 2; x < 8; x += 2) c->SetPixels(x, y, dot);
}

void TCvButton::PaintHotCorners(const TRect& R) {
  TCanvas* c = Canvas();
  const TColor shade = ShadeColor(clBtnFace, 20), tint = TintColor(clBtnFace, 20);
  c->Pen()->SetColor(shade);
  c->MoveTo(R.Left, R.Top + 2);
  c->LineTo(R.Left, R.Bottom - 2);
  c->MoveTo(R.Left + 2, R.Top);
  c->LineTo(R.Right - 2, R.Top);
  c->Pen()->SetColor(tint);
  c->MoveTo(R.Right - 1, R.Top + 2);
  c->LineTo(R.Right - 1, R.Bottom - 2);
  c->MoveTo(R.Left + 2, R.Bottom - 1);
  c->LineTo(R.Right - 2, R.Bottom - 1);
  c->SetPixels(R.Left + 1, R.Top + 1, shade);
  c->SetPixels(R.Right - 2, R.Top + 1, shade);
  c->SetPixels(R.Left + 1, R.Bottom - 2, shade);
  c->SetPixels(R.Right - 2, R.Bottom - 2, tint);
}

void TCvButton::PaintHotFrame(const TRect& R, bool Enabled) {
  TColor color = frame_color_;
  if (!Enabled) color = Color() == clBtnFace ? TintColor(clBtnShadow, 30) : ShadeColor(Color(), 80);
  PaintCornerlessBox(Canvas(), R, color);
}

void TCvButton::PaintHotFace(const TRect& R) {
  TCanvas* c = Canvas();
  c->Pen()->SetColor(ShadeColor(Color(), 20));
  c->MoveTo(R.Left, R.Bottom - 2);
  c->LineTo(R.Right, R.Bottom - 2);
  c->Pen()->SetColor(ShadeColor(Color(), 30));
  c->MoveTo(R.Left, R.Bottom - 1);
  c->LineTo(R.Right, R.Bottom - 1);
  TRect rest = R;
  rest.Bottom -= 2;
  if (DisplayIsFullColor) {
    PaintGradientRect(c, rest, TGradientDirection::gdHorizontalEnd, TintColor(Color(), 30), ShadeColor(Color(), 10),
                      1);
  } else {
    c->Brush()->SetColor(Color());
    c->FillRect(rest);
  }
}

void TCvButton::PaintHotTrackFace(TRect R) {
  TCanvas* c = Canvas();
  if (!Enabled()) {
    R.Inflate(-1, -1);
    PaintHotFrame(R, false);
    R.Inflate(-1, -1);
    c->Brush()->SetColor(Color());
    c->FillRect(R);
    return;
  }
  PaintHotCorners(R);
  R.Inflate(-1, -1);
  PaintHotFrame(R, true);
  R.Inflate(-1, -1);
  if (DrawnPressed()) {
    c->Brush()->SetColor(ShadeColor(Color(), 10));
    c->FillRect(R);
  } else if (MouseOver()) {
    PaintHotFace(R);
    TColor first, second;
    if (HotTrackColorType() == htctActual) {
      first = MixColors(clWhite, HotTrackColor(), 190);
      second = HotTrackColor();
    } else {
      first = OppositeHueColor(HotTrackColor(), 180);
      second = ShadeColor(first, 30);
    }
    PaintHighlightFrame(c, R, TGradientDirection::gdHorizontalEnd, first, second);
  } else if (group_index_ != 0 || !(active_ || Focused())) {
    PaintHotFace(R);
  } else {
    PaintHotFace(R);
    const TColor t = TintColor(Color(), 30);
    const TColor h =
        ColorsHardToTellApart(HighlightColor(), clBtnFace) ? ShadeColor(HighlightColor(), 30) : HighlightColor();
    PaintHighlightFrame(c, R, TGradientDirection::gdHorizontalEnd, MixColors(h, t, 60), MixColors(h, t, 160));
  }
}

void TCvButton::PaintClassicFace(TRect& R) {
  TCanvas* c = Canvas();
  const bool grouped = group_index_ != 0;
  if (!grouped && (((active_ || Focused()) && !ShowPressed()) || clicking_))
    R = PaintSides(c, R, clWindowFrame, clWindowFrame, AllSides);
  if (Color() == clBtnFace) {
    if (!grouped) R = PaintButtonFrame(c, R, ShowPressed());
    else R = PaintFrameStyle(c, R, DrawnPressed() ? fsLowered : fsButtonUp);
  } else if (!grouped) {
    R = PaintColorButtonFrame(c, R, Color(), ShowPressed());
  } else if (DrawnPressed()) {
    R = PaintColorFrameStyle(c, R, Color(), fsLowered);
  } else {
    R = PaintColorButtonFrame(c, R, Color(), false);
  }
}

void TCvButton::Paint() {
  TCanvas* c = Canvas();
  TRect focus = ClientRect();
  focus.Inflate(HotTrack() ? -3 : -4, HotTrack() ? -3 : -4);
  if (group_index_ != 0 && DrawnPressed()) focus.Offset(1, 1);
  TRect r = ClientRect();
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(psSolid);
  if (HotTrack()) {
    PaintHotTrackFace(r);
  } else {
    PaintClassicFace(r);
  }
  if (group_index_ != 0 && latch_state_ == 3 && show_down_pattern_) {
    TBitmap pattern;
    MakeDownPattern(&pattern);
    FillWithPattern(c, r, &pattern);
  }
  c->Font()->Assign(Font());
  c->Brush()->SetColor(Color());
  DrawCaption();
  if (Focused() && show_focus_rect_) PaintFocusFrame(c, focus);
}

void CvButtonRegisterClasses() {
  RegisterClass(TCvButton::StaticClass());
  RegisterClass(TCvToolButton::StaticClass());
  RegisterClass(TCvControlButton::StaticClass());
}
