// TPanel.
#include <algorithm>

#include "platform/forms/ExtCtrls.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

// Width rings of a 3-D frame inside Rect: TopColor on the left and top edges, BottomColor on
// the right and bottom ones; Rect shrinks past them.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width) {
  Canvas->Pen()->SetWidth(1);
  Canvas->Pen()->SetStyle(psSolid);
  for (int32_t i = 0; i < Width && Rect.Width() > 0 && Rect.Height() > 0; ++i) {
    const int32_t l = Rect.Left, t = Rect.Top, r = Rect.Right - 1, b = Rect.Bottom - 1;
    Canvas->Pen()->SetColor(TopColor);
    Canvas->Polyline({TPoint(l, b), TPoint(l, t), TPoint(r, t)});
    Canvas->Pen()->SetColor(BottomColor);
    Canvas->Polyline({TPoint(r, t), TPoint(r, b), TPoint(l - 1, b)});
    Rect.Inflate(-1, -1);
  }
}

}  // namespace

PX_CLASS_INFO(TCustomPanel, TCustomControl)
PX_CLASS_INFO(TPanel, TCustomPanel, [](TPropertyBuilder<TPanel>& b) {
  b.Enum("Alignment", TypeInfo_TAlignment(), &TPanel::Alignment, &TPanel::SetAlignment).Default(taCenter);
  b.Enum("BevelInner", TypeInfo_TBevelCut(), &TPanel::BevelInner, &TPanel::SetBevelInner).Default(bvNone);
  b.Enum("BevelOuter", TypeInfo_TBevelCut(), &TPanel::BevelOuter, &TPanel::SetBevelOuter).Default(bvRaised);
  b.Int("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth).Default(1);
  b.Redeclare("ParentColor").Default(false);
})

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                                csDoubleClicks, csReplicatable});
  SetBounds(Left(), Top(), 185, 41);
  SetParentColor(false);
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
  BevelsChanged();
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  if (bevel_outer_ == Value) return;
  bevel_outer_ = Value;
  BevelsChanged();
}

void TCustomPanel::SetBevelWidth(int32_t Value) {
  Value = std::max(Value, 1);
  if (bevel_width_ == Value) return;
  bevel_width_ = Value;
  BevelsChanged();
}

void TCustomPanel::BevelsChanged() {
  Realign();
  Invalidate();
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  TCustomControl::AdjustClientRect(Rect);
  const int32_t bevels = (bevel_outer_ != bvNone ? bevel_width_ : 0) + (bevel_inner_ != bvNone ? bevel_width_ : 0);
  Rect.Inflate(-bevels, -bevels);
}

void TCustomPanel::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  // A lowered bevel is dark at the top left, a raised one light.
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    const TColor top = cut == bvLowered ? clBtnShadow : clBtnHighlight;
    const TColor bottom = cut == bvLowered ? clBtnHighlight : clBtnShadow;
    if (cut == bvSpace) Frame3D(canvas, r, Color(), Color(), bevel_width_);
    else Frame3D(canvas, r, top, bottom, bevel_width_);
  };
  bevel(bevel_outer_);
  bevel(bevel_inner_);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  const std::string caption = Caption();
  if (caption.empty()) return;
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->Assign(Font());
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  const UINT align = alignment_ == taLeftJustify ? DT_LEFT : alignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
  DrawText(canvas->Handle(), caption, &r, DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE | align);
}
