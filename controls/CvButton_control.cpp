// The control button.
#include "controls/CvButton.h"
#include "controls/CvControlsInternal.h"
#include "controls/CvGrafx.h"
#include "platform/forms/Forms.h"

using enum TFrameStyleEx;

PTypeInfo TypeInfo_TCvControlButtonStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvControlButtonStyle", {"cbsNone", "cbsLeft", "cbsUp", "cbsRight", "cbsDown", "cbsDropDown"});
  return &info;
}

PX_CLASS_INFO(TCvControlButton, TGraphicControl, [](TPropertyBuilder<TCvControlButton>& b) {
  using C = TCvControlButton;
  b.Bool("Flat", &C::Flat, &C::SetFlat).Default(false);
  b.Object<TBitmap>("Glyph", &C::Glyph, &C::SetGlyph);
  b.Int("NumGlyphs", &C::NumGlyphs, &C::SetNumGlyphs).Default(1);
  b.Bool("RepeatClicks", &C::RepeatClicks, &C::SetRepeatClicks).Default(false);
  b.Int("InitialDelay", &C::InitialDelay, &C::SetInitialDelay, TypeInfo_Word()).Default(400);
  b.Int("Delay", &C::Delay, &C::SetDelay, TypeInfo_Word()).Default(100);
  b.Enum("Style", TypeInfo_TCvControlButtonStyle(), &C::Style, &C::SetStyle).Default(cbsNone);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
})

TCvControlButton::TCvControlButton(TComponent* AOwner)
    : TGraphicControl(AOwner), glyph_(std::make_unique<TBitmap>()) {
  SetControlStyle(TControlStyle{csCaptureMouse});
  SetBounds(Left(), Top(), 17, 21);
  SetColor(clBtnFace);
  glyph_->SetOnChange(TNotifyEvent(this, &TCvControlButton::GlyphChanged));
}

TCvControlButton::~TCvControlButton() = default;

void TCvControlButton::SetFlat(bool Value) {
  if (flat_ == Value) return;
  flat_ = Value;
  Repaint();
}

void TCvControlButton::SetGlyph(TBitmap* Value) { glyph_->Assign(Value); }

PX_INVALIDATING_SETTER(TCvControlButton, NumGlyphs, TNumGlyphs, num_glyphs_)
PX_INVALIDATING_SETTER(TCvControlButton, Style, TCvControlButtonStyle, style_)

void TCvControlButton::GlyphChanged(TObject*) {
  // An empty glyph keeps the count (there are no cells to count).
  const int32_t w = glyph_->Width(), h = glyph_->Height();
  if (h > 0 && w > 0 && w % h == 0) num_glyphs_ = w / h < 5 ? w / h : 1;
  Invalidate();
}

HPALETTE TCvControlButton::GetPalette() { return glyph_->Palette(); }

void TCvControlButton::GetGlyphSize(TPoint& Size) {
  const int32_t n = num_glyphs_ > 0 ? num_glyphs_ : 1;
  Size = TPoint(glyph_->Width() / n, glyph_->Height());
}

bool TCvControlButton::Active() const { return down_ || (mouse_over_ && Enabled()) || IsDesigning(this); }

void TCvControlButton::Paint() {
  TCanvas* c = Canvas();
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(psSolid);
  TRect r = ClientRect();
  switch (style_) {
    case cbsNone: {
      DrawPlainFace(r);
      if (glyph_->Empty()) break;
      r = ClientRect();
      r.Inflate(-1, -1);
      TPoint cell;
      GetGlyphSize(cell);
      TRect g = CenteredRect(r, cell.X, cell.Y);
      if (down_) g.Offset(1, 1);
      DrawGlyph(g);
      break;
    }
    case cbsDropDown: DrawDropDownFace(r); break;
    default: DrawArrowFace(r); break;
  }
}

void TCvControlButton::DrawButtonFrame(TRect& R, TColor RaisedFill) {
  TCanvas* c = Canvas();
  TColor fill = Color();
  if (!flat_) {
    R = down_ ? PaintBox(c, R, clBtnShadow) : PaintFrameStyle(c, R, fsButtonUp);
    fill = RaisedFill;
  } else if (Active()) {
    R = PaintFrameStyle(c, R, down_ ? fsStatus : fsPopup);
  }
  c->Brush()->SetColor(fill);
  c->FillRect(R);
}

void TCvControlButton::DrawPlainFace(TRect& R) {
  TCanvas* c = Canvas();
  if (flat_) {
    if (!Active()) return;
    R = PaintFrameStyle(c, R, down_ ? fsStatus : fsPopup);
    c->Brush()->SetColor(Color());
  } else {
    R = down_ ? PaintBox(c, R, clBtnShadow) : PaintFrameStyle(c, R, fsRaised);
    c->Brush()->SetColor(clBtnFace);
  }
  c->FillRect(R);
}

void TCvControlButton::DrawArrowFace(TRect& R) {
  DrawButtonFrame(R, Color());
  int32_t direction = 0;
  switch (style_) {
    case cbsLeft: direction = 2; break;
    case cbsUp: direction = 0; break;
    case cbsRight: direction = 3; break;
    default: direction = 1; break;
  }
  PaintArrowGlyph(Canvas(), R, false, direction, down_, Enabled());
}

void TCvControlButton::DrawDropDownFace(TRect& R) {
  TCanvas* c = Canvas();
  if (!flat_ || Active()) DrawButtonFrame(R, clBtnFace);
  PaintDropDownGlyph(c, R, false, down_, Enabled());
}

void TCvControlButton::DrawGlyph(const TRect& R) {
  if (R.Width() <= 0 || R.Height() <= 0) return;
  TCanvas* c = Canvas();
  TBitmap work;
  work.SetSize(R.Width(), R.Height());
  work.Canvas()->CopyRect(TRect(0, 0, R.Width(), R.Height()), c, R);
  TPoint cell;
  GetGlyphSize(cell);
  const int32_t index = num_glyphs_ >= 2 && !Enabled() ? 1 : 0;
  const TRect source(cell.X * index, 0, cell.X * (index + 1), cell.Y);
  DrawTransparentBitmap(work.Canvas(), glyph_.get(), TRect(0, 0, R.Width(), R.Height()), source,
                        glyph_->TransparentColor());
  c->Draw(R.Left, R.Top, &work);
}

void TCvControlButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  down_ = true;
  Invalidate();
  pressed_ = true;
  if (!repeat_clicks_) return;
  if (!repeat_timer_) {
    repeat_timer_ = std::make_unique<TTimer>(nullptr);
    repeat_timer_->SetOnTimer(TNotifyEvent(this, &TCvControlButton::TimerExpired));
  }
  repeat_timer_->SetEnabled(false);
  repeat_timer_->SetInterval(initial_delay_);
  repeat_timer_->SetEnabled(true);
}

void TCvControlButton::TimerExpired(TObject*) {
  repeat_timer_->SetInterval(delay_);
  TPoint p;
  GetCursorPos(&p);
  // A repeat clicks only while the button is held with the pointer on it.
  if (!down_ || !MouseCapture() || !ClientRect().Contains(ScreenToClient(p))) return;
  try {
    Click();
  } catch (...) {
    repeat_timer_->SetEnabled(false);
    throw;
  }
}

void TCvControlButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (repeat_timer_) repeat_timer_->SetEnabled(false);
  if (!pressed_) return;
  pressed_ = false;
  down_ = false;
  mouse_over_ = false;
  Repaint();
  if (ClientRect().Contains(TPoint(X, Y))) Click();
  UpdateHotState();
}

void TCvControlButton::UpdateHotState() {
  if (!flat_ || !Enabled()) return;
  TPoint p;
  GetCursorPos(&p);
  Perform(FindDragTarget(p, true) == this ? CM_MOUSEENTER : CM_MOUSELEAVE);
}

void TCvControlButton::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (IsDesigning(this)) return;
  TGraphicControl::CMMouseEnter(Message);
  mouse_over_ = true;
  if (on_mouse_enter_) on_mouse_enter_(this);
  if (flat_) Repaint();
}

void TCvControlButton::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TGraphicControl::CMMouseLeave(Message);
  mouse_over_ = false;
  if (on_mouse_leave_) on_mouse_leave_(this);
  if (flat_) Repaint();
}
