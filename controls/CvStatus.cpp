// The status pane.
#include "controls/CvStatus.h"

#include "controls/CvCommonInternal.h"
#include "controls/CvPanel.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdActns.h"
#include "platform/forms/Themes.h"
#include "platform/gdi/WinGdi_text.h"

using enum TFrameStyleEx;

PX_CLASS_INFO(TCvCustomStatusPane, TGraphicControl, [](TPropertyBuilder<TCvCustomStatusPane>& b) {
  using C = TCvCustomStatusPane;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Enum("Alignment", TypeInfo_TAlignment(), &C::Alignment, &C::SetAlignment).Default(taLeftJustify);
  b.Bool("AutoHint", &C::AutoHint, &C::SetAutoHint).Default(false);
  b.Bool("Blinking", &C::Blinking, &C::SetBlinking).Default(false);
  b.Int("BlinkColor", &C::BlinkColor, &C::SetBlinkColor, TypeInfo_TColor()).Default(clHighlight);
  b.Int("BlinkIntervalOff", &C::BlinkIntervalOff, &C::SetBlinkIntervalOff, TypeInfo_Word()).Stored(false);
  b.Int("BlinkIntervalOn", &C::BlinkIntervalOn, &C::SetBlinkIntervalOn, TypeInfo_Word()).Stored(false);
  b.Int("CaptionOffset", &C::CaptionOffset, &C::SetCaptionOffset).Default(2);
  b.Int("DefaultWidth", &C::DefaultWidth, &C::SetDefaultWidth).Default(40);
  b.Int("BorderWidth", &C::BorderWidth, &C::SetBorderWidth).Default(1);
  b.Int("FillColor", &C::FillColor, &C::SetFillColor, TypeInfo_TColor()).Stored([](C* c) { return !c->ParentFillColor(); });
  b.Int("FlatColor", &C::FlatColor, &C::SetFlatColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("FlatColorAdjustment", &C::FlatColorAdjustment, &C::SetFlatColorAdjustment).Default(30);
  b.Enum("FrameStyle", TypeInfo_TFrameStyle(), &C::FrameStyle, &C::SetFrameStyle).Default(fsFlat);
  b.Set("FrameControllerNotifications", TypeInfo_TCvFrameControllerNotifications(), &C::FrameControllerNotifications,
        &C::SetFrameControllerNotifications)
      .Default(AllFrameControllerNotifications.Bits());
  b.Object<TCvFrameController>("FrameController", &C::FrameController, &C::SetFrameController);
  b.Bool("ParentFillColor", &C::ParentFillColor, &C::SetParentFillColor).Default(true);
  b.Bool("Transparent", &C::Transparent, &C::SetTransparent).Default(true);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.Redeclare("Width").Default(100);
  b.Redeclare("Height").Default(20);
})

PX_CLASS_INFO(TCvStatusPane, TCvCustomStatusPane)

TCvCustomStatusPane::TCvCustomStatusPane(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetControlStyle(ControlStyle() - csOpaque + csNoDesignVisible);
  SetBounds(Left(), Top(), 100, 20);
  SetParentColor(true);
  fill_color_ = Color();
  normal_text_color_ = current_text_color_ = Font()->Color();
  NeedSharedBlinkingList()->Register(this);
}

TCvCustomStatusPane::~TCvCustomStatusPane() {
  if (frame_controller_) frame_controller_->RemoveControl(this);
  if (TCvBlinkingControlsList* list = SharedBlinkingList()) {
    list->Unregister(this);
    DropBlinkingListWhenEmpty();
  }
}

void TCvCustomStatusPane::Loaded() {
  TGraphicControl::Loaded();
  if (!ParentColor()) transparent_ = false;
  normal_text_color_ = current_text_color_ = Font()->Color();
  AdjustSize();
}

void TCvCustomStatusPane::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == frame_controller_) frame_controller_ = nullptr;
}

void TCvCustomStatusPane::SetText(const std::string& Value) {
  if (caption_ == Value) return;
  caption_ = Value;
  Perform(CM_TEXTCHANGED);
}

void TCvCustomStatusPane::SetAutoSize(bool Value) {
  if (AutoSize() == Value) return;
  TGraphicControl::SetAutoSize(Value);
  AdjustSize();
}

bool TCvCustomStatusPane::ExecuteAction(TBasicAction* Action) {
  if (auto_hint_) {
    if (auto* hint = dynamic_cast<THintAction*>(Action)) {
      SetCaption(hint->Hint());
      return true;
    }
  }
  return TGraphicControl::ExecuteAction(Action);
}

int32_t TCvCustomStatusPane::MeasureWidth() {
  if (caption_.empty()) return default_width_;
  TRect r = ClientRect();
  HDC dc = GetDC(nullptr);
  if (!dc) return default_width_;
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  DrawText(dc, caption_, &r, DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return 2 * border_width_ + r.Right + caption_offset_ + 6;
}

void TCvCustomStatusPane::AdjustSize() {
  if (ComponentState().Contains(csReading) || ComponentState().Contains(csLoading) || !AutoSize()) return;
  SetWidth(MeasureWidth());
}

void TCvCustomStatusPane::CaptionArea(TRect& R) {
  R = ClientRect();
  int32_t w = border_width_;
  switch (frame_style_) {
    case fsNone: break;
    case fsFlat:
    case fsStatus:
    case fsPopup: w += 1; break;
    default: w += 2; break;
  }
  R.Inflate(-w, -w);
}

void TCvCustomStatusPane::Paint() {
  PaintFrame();
  PaintCaption(caption_);
}

void TCvCustomStatusPane::PaintFrame() {
  TCanvas* canvas = Canvas();
  TRect r(0, 0, Width(), Height());
  if (!transparent_) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(r);
  }
  canvas->Pen()->SetWidth(1);
  r.Inflate(-border_width_, -border_width_);
  if (auto* bar = dynamic_cast<TCvStatusBar*>(Parent()); bar && bar->VisualStyle() == vsGradient) {
    // On a gradient bar every pane but the first is set off by one line at its left edge.
    if (bar->BorderWidth() >= Left()) return;
    TColor stop, start, line;
    GetSchemeBarColors(bar->GradientColorStyle(), stop, start, line);
    canvas->Pen()->SetColor(line);
    canvas->MoveTo(r.Left, r.Top + 1);
    canvas->LineTo(r.Left, r.Bottom - 1);
    return;
  }
  if (frame_style_ != fsFlat) {
    PaintFrameStyle(canvas, r, frame_style_);
    return;
  }
  PaintCornerlessBox(canvas, r, ShiftColorLuminance(flat_color_, flat_color_adjustment_));
}

void TCvCustomStatusPane::PaintCaption(const std::string& Text) {
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  canvas->Font()->SetColor(current_text_color_);
  TRect r;
  CaptionArea(r);
  UINT align = TA_LEFT;
  int32_t x = r.Left + caption_offset_ + 1;
  if (alignment_ == taRightJustify) {
    align = TA_RIGHT;
    x = r.Right - caption_offset_ - 1;
  } else if (alignment_ == taCenter) {
    align = TA_CENTER;
    x = r.Left + r.Width() / 2;
  }
  const int32_t y = static_cast<int32_t>(r.Top + (int64_t{r.Height()} - canvas->TextHeight("Pp")) / 2);
  HDC dc = canvas->Handle();
  SetTextAlign(dc, align);
  if (transparent_) {
    canvas->Brush()->SetStyle(bsClear);
  } else {
    canvas->Brush()->SetColor(fill_color_);
  }
  if (!Enabled()) {
    canvas->Font()->SetColor(clBtnHighlight);
    canvas->TextRect(r, x + 1, y + 1, Text);
    canvas->Font()->SetColor(clBtnShadow);
    canvas->Brush()->SetStyle(bsClear);
  }
  canvas->TextRect(r, x, y, Text);
  SetTextAlign(dc, TA_LEFT);
}

void TCvCustomStatusPane::ApplyControllerFrame() {
  if (!frame_controller_ || !frame_controller_->FrameVisible()) return;
  if (notifications_.Contains(fcpFrameStyle)) frame_style_ = frame_controller_->FrameStyle();
  if (notifications_.Contains(fcpFrameColor)) {
    flat_color_ = frame_controller_->FrameColor();
    flat_color_adjustment_ = 0;
  }
  Invalidate();
}

void TCvCustomStatusPane::ShowBlinkPhase(bool Phase) {
  current_text_color_ = Phase ? blink_color_ : normal_text_color_;
  Refresh();
}

bool TCvCustomStatusPane::ReachesSizeGrip(const TRect& R) {
  auto* bar = dynamic_cast<TCvStatusBar*>(Parent());
  if (!bar || !bar->ShowSizeGrip() || !Parent()->HandleAllocated()) return false;
  const TPoint right = ClientToScreen(TPoint(R.Right, 0));
  const TPoint barRight = bar->ClientToScreen(TPoint(bar->ClientRect().Right, 0));
  return right.X >= barRight.X;
}

void TCvCustomStatusPane::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TCvCustomStatusPane::SetDefaultWidth(int32_t Value) {
  if (default_width_ == Value) return;
  default_width_ = Value;
  AdjustSize();
}

void TCvCustomStatusPane::SetBlinking(bool Value) {
  if (blinking_ == Value) return;
  blinking_ = Value;
  if (!Value) {
    current_text_color_ = normal_text_color_;
    Refresh();
  }
}

void TCvCustomStatusPane::SetBlinkColor(TColor Value) {
  if (blink_color_ == Value) return;
  blink_color_ = Value;
  Invalidate();
}

uint16_t TCvCustomStatusPane::BlinkIntervalOff() const {
  const TCvBlinkingControlsList* list = SharedBlinkingList();
  return list ? list->IntervalOff() : 500;
}

void TCvCustomStatusPane::SetBlinkIntervalOff(uint16_t Value) { NeedSharedBlinkingList()->SetIntervalOff(Value); }

uint16_t TCvCustomStatusPane::BlinkIntervalOn() const {
  const TCvBlinkingControlsList* list = SharedBlinkingList();
  return list ? list->IntervalOn() : 500;
}

void TCvCustomStatusPane::SetBlinkIntervalOn(uint16_t Value) { NeedSharedBlinkingList()->SetIntervalOn(Value); }

void TCvCustomStatusPane::SetBorderWidth(TBorderWidth Value) {
  if (border_width_ == Value) return;
  border_width_ = Value;
  Invalidate();
}

void TCvCustomStatusPane::SetCaptionOffset(int32_t Value) {
  if (caption_offset_ == Value) return;
  caption_offset_ = Value;
  Invalidate();
  AdjustSize();
}

void TCvCustomStatusPane::SetFillColor(TColor Value) {
  if (fill_color_ == Value) return;
  fill_color_ = Value;
  parent_fill_color_ = false;
  Invalidate();
}

void TCvCustomStatusPane::SetParentFillColor(bool Value) {
  if (parent_fill_color_ == Value) return;
  parent_fill_color_ = Value;
  if (Parent() && !ComponentState().Contains(csReading)) Perform(CM_PARENTCOLORCHANGED);
}

void TCvCustomStatusPane::SetFlatColor(TColor Value) {
  if (flat_color_ == Value) return;
  flat_color_ = Value;
  Invalidate();
}

void TCvCustomStatusPane::SetFlatColorAdjustment(int32_t Value) {
  if (flat_color_adjustment_ == Value) return;
  flat_color_adjustment_ = Value;
  Invalidate();
}

void TCvCustomStatusPane::SetFrameStyle(TFrameStyle Value) {
  if (frame_style_ == Value) return;
  frame_style_ = Value;
  Invalidate();
}

void TCvCustomStatusPane::SetFrameController(TCvFrameController* Value) {
  // Writing the same controller again applies its frame anew.
  if (frame_controller_) frame_controller_->RemoveControl(this);
  frame_controller_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    Value->AddControl(this);
  }
}

void TCvCustomStatusPane::SetTransparent(bool Value) {
  if (transparent_ == Value) return;
  transparent_ = Value;
  if (Value) SetControlStyle(ControlStyle() - csOpaque);
  else SetControlStyle(ControlStyle() + csOpaque);
  Invalidate();
}

void TCvCustomStatusPane::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_CVBLINKQUERY:
      DefaultHandler(Message);
      Message.Result = blinking_ ? 1 : 0;
      return;
    case CM_CVBLINKSET:
      DefaultHandler(Message);
      if (blinking_) ShowBlinkPhase((Message.WParam & 0xFF) != 0);
      return;
    default:
      TGraphicControl::Dispatch(Message);
  }
}

void TCvCustomStatusPane::CMTextChanged(TWMNoParams& Message) {
  TGraphicControl::CMTextChanged(Message);
  Invalidate();
  AdjustSize();
}

void TCvCustomStatusPane::CMFontChanged(TWMNoParams& Message) {
  TGraphicControl::CMFontChanged(Message);
  if (ComponentState().Contains(csLoading)) return;
  normal_text_color_ = Font()->Color();
  if (!blinking_) current_text_color_ = normal_text_color_;
  AdjustSize();
}

void TCvCustomStatusPane::CMColorChanged(TWMNoParams& Message) {
  TGraphicControl::CMColorChanged(Message);
  if (parent_fill_color_) fill_color_ = Color();
  Invalidate();
}

void TCvCustomStatusPane::CMParentColorChanged(TWMNoParams& Message) {
  TGraphicControl::CMParentColorChanged(Message);
  if (parent_fill_color_) fill_color_ = Color();
  Invalidate();
}

void TCvCustomStatusPane::CMHitTest(TCMHitTest& Message) {
  TGraphicControl::CMHitTest(Message);
  TRect r = ClientRect();
  if (!ReachesSizeGrip(r)) return;
  // Over the grip the bar answers.
  auto* bar = static_cast<TCvStatusBar*>(Parent());
  r.Right = ScreenToClient(bar->ClientToScreen(TPoint(bar->ClientRect().Right, 0))).X;
  r.Left = r.Right - 12;
  if (r.Contains(TPoint(Message.XPos, Message.YPos)))
    Message.Result = bar->Perform(WM_NCHITTEST, 0, PointToLParam(Message.XPos, Message.YPos));
}

void TCvCustomStatusPane::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (ComponentState().Contains(csDesigning)) return;
  TGraphicControl::CMMouseEnter(Message);
  if (on_mouse_enter_) on_mouse_enter_(this);
}

void TCvCustomStatusPane::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TGraphicControl::CMMouseLeave(Message);
  if (on_mouse_leave_) on_mouse_leave_(this);
}

void CvStatusRegisterClasses() { RegisterClass(TCvStatusPane::StaticClass()); }
