// TCustomPanel.
#include <algorithm>

#include "platform/forms/ExtCtrls.h"
#include "platform/forms/FormsInternal.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

// Width rings, each with its top and left sides in TopColor and its bottom and right sides in
// BottomColor, going inwards; Rect ends inside them.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width) {
  Canvas->Pen()->SetWidth(1);
  --Rect.Bottom;
  --Rect.Right;
  // Rings past the middle draw nothing.
  for (; Width > 0 && Rect.Left <= Rect.Right && Rect.Top <= Rect.Bottom; --Width) {
    Canvas->Pen()->SetColor(TopColor);
    Canvas->Polyline({TPoint(Rect.Left, Rect.Bottom), TPoint(Rect.Left, Rect.Top), TPoint(Rect.Right, Rect.Top)});
    Canvas->Pen()->SetColor(BottomColor);
    Canvas->Polyline({TPoint(Rect.Right, Rect.Top), TPoint(Rect.Right, Rect.Bottom), TPoint(Rect.Left - 1, Rect.Bottom)});
    Rect.Inflate(-1, -1);
  }
  if (Width > 0) Rect.Inflate(-std::min(Width, INT32_MAX / 4), -std::min(Width, INT32_MAX / 4));
  ++Rect.Bottom;
  ++Rect.Right;
}

}  // namespace

PX_CLASS_INFO(TCustomPanel, TCustomControl, [](TPropertyBuilder<TCustomPanel>& b) {
  using C = TCustomPanel;
  b.Enum("Alignment", TypeInfo_TAlignment(), &C::Alignment, &C::SetAlignment).Default(taCenter);
  b.Enum("BevelInner", TypeInfo_TBevelCut(), &C::BevelInner, &C::SetBevelInner).Default(bvNone);
  b.Enum("BevelOuter", TypeInfo_TBevelCut(), &C::BevelOuter, &C::SetBevelOuter).Default(bvRaised);
  b.Int("BevelWidth", &C::BevelWidth, &C::SetBevelWidth).Default(1);
  b.Int("BorderWidth", &C::BorderWidth, &C::SetBorderWidth).Default(0);
  b.Bool("FullRepaint", &C::FullRepaint, &C::SetFullRepaint).Default(true);
  b.Bool("Locked", &C::Locked, &C::SetLocked).Default(false);
  b.Bool("DockSite", &C::DockSite, &C::SetDockSite).Default(false);
  b.Bool("UseDockManager", &C::UseDockManager, &C::SetUseDockManager).Default(true);
  b.Bool("ShowDockClientCaptions", &C::ShowDockClientCaptions, &C::SetShowDockClientCaptions).Default(true);
  b.Redeclare("Color").Default(clBtnFace);
})

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle({csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csDoubleClicks,
                   csReplicatable});
  SetBounds(Left(), Top(), 185, 41);
  SetColor(clBtnFace);
}

TCustomPanel::~TCustomPanel() = default;

void TCustomPanel::SetAlignment(TAlignment Value) {
  if (alignment_ == Value) return;
  alignment_ = Value;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
  if (bevel_inner_ == Value) return;
  bevel_inner_ = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  if (bevel_outer_ == Value) return;
  bevel_outer_ = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int32_t Value) {
  Value = std::max(Value, 1);
  if (bevel_width_ == Value) return;
  bevel_width_ = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(TBorderWidth Value) {
  Value = std::max(Value, 0);
  if (border_width_ == Value) return;
  border_width_ = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetShowDockClientCaptions(bool Value) {
  if (show_dock_client_captions_ == Value) return;
  show_dock_client_captions_ = Value;
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  TCustomControl::AdjustClientRect(Rect);
  int64_t inset = border_width_;
  if (bevel_outer_ != bvNone) inset += bevel_width_;
  if (bevel_inner_ != bvNone) inset += bevel_width_;
  // Saturating: absurd widths give an empty area, not overflowing coordinates.
  auto moved = [](int32_t v, int64_t by) { return static_cast<int32_t>(std::clamp<int64_t>(v + by, INT32_MIN, INT32_MAX)); };
  TRect r(moved(Rect.Left, inset), moved(Rect.Top, inset), moved(Rect.Right, -inset), moved(Rect.Bottom, -inset));
  // Wider than the panel: an empty area in its middle rather than crossed edges.
  if (r.Left > r.Right) r.Left = r.Right = static_cast<int32_t>((int64_t{Rect.Left} + Rect.Right) / 2);
  if (r.Top > r.Bottom) r.Top = r.Bottom = static_cast<int32_t>((int64_t{Rect.Top} + Rect.Bottom) / 2);
  Rect = r;
}

void TCustomPanel::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  auto bevel = [&](TBevelCut Cut) {
    if (Cut == bvNone) return;
    // A spacing bevel is a band of the panel's own colour.
    if (Cut == bvSpace) return Frame3D(canvas, r, Color(), Color(), bevel_width_);
    const bool raised = Cut == bvRaised;
    Frame3D(canvas, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight, bevel_width_);
  };
  bevel(bevel_outer_);
  Frame3D(canvas, r, Color(), Color(), border_width_);
  bevel(bevel_inner_);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  const std::string caption = Caption();
  if (caption.empty()) return;
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->Assign(Font());
  UINT flags = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;
  if (alignment_ == taCenter) flags |= DT_CENTER;
  else if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  DrawText(canvas->Handle(), caption, &r, flags);
  canvas->Brush()->SetStyle(bsSolid);
}

void TCustomPanel::Dispatch(TMessage& Message) {
  if (Message.Msg == CM_ISTOOLCONTROL) {
    Message.Result = locked_ ? 0 : 1;
    return;
  }
  TCustomControl::Dispatch(Message);
}

void TCustomPanel::CMTextChanged(TWMNoParams& Message) {
  TCustomControl::CMTextChanged(Message);
  Invalidate();
}

void TCustomPanel::WMWindowPosChanged(TWMWindowPosMsg& Message) {
  if (full_repaint_ || !Caption().empty()) {
    Invalidate();
  } else if (HandleAllocated() && Message.WindowPos) {
    int32_t bevel = border_width_;
    if (bevel_inner_ != bvNone) bevel += bevel_width_;
    if (bevel_outer_ != bvNone) bevel += bevel_width_;
    if (bevel > 0) {
      // The strips of the right and bottom bevels that move.
      if (Message.WindowPos->cx != Width()) {
        const TRect strip(Width() - bevel - 1, 0, Width(), Height());
        InvalidateRect(Handle(), &strip, TRUE);
      }
      if (Message.WindowPos->cy != Height()) {
        const TRect strip(0, Height() - bevel - 1, Width(), Height());
        InvalidateRect(Handle(), &strip, TRUE);
      }
    }
  }
  TCustomControl::WMWindowPosChanged(Message);
}
PX_CLASS_INFO(TPanel, TCustomPanel)
