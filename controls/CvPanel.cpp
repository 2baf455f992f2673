// The panel.
#include "controls/CvPanel.h"

#include <algorithm>

#include "controls/CvGrafx.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

using enum TFrameStyleEx;

PTypeInfo TypeInfo_TCvGridStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvGridStyle", {"gsDots", "gsDottedLines", "gsSolidLines"});
  return &info;
}

PTypeInfo TypeInfo_TCvGroupBoxStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvGroupBoxStyle", {"gsStandard", "gsCustom", "gsTopLine", "gsFlat", "gsBanner", "gsUnderline"});
  return &info;
}

PX_CLASS_INFO(TCvCustomPanel, TCustomPanel, [](TPropertyBuilder<TCvCustomPanel>& b) {
  using C = TCvCustomPanel;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Enum("AlignmentVertical", TypeInfo_TAlignmentVertical(), &C::AlignmentVertical, &C::SetAlignmentVertical)
      .Default(avCenter);
  b.Enum("BorderInner", TypeInfo_TFrameStyleEx(), &C::BorderInner, &C::SetBorderInner).Default(fsNone);
  b.Enum("BorderOuter", TypeInfo_TFrameStyleEx(), &C::BorderOuter, &C::SetBorderOuter).Default(fsRaised);
  b.Set("BorderSides", TypeInfo_TSides(), &C::BorderSides, &C::SetBorderSides).Default(AllSides.Bits());
  b.Int("BorderColor", &C::BorderColor, &C::SetBorderColor, TypeInfo_TColor()).Default(clBtnFace);
  b.Int("BorderHighlight", &C::BorderHighlight, &C::SetBorderHighlight, TypeInfo_TColor()).Default(clBtnHighlight);
  b.Int("BorderShadow", &C::BorderShadow, &C::SetBorderShadow, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("FlatColor", &C::FlatColor, &C::SetFlatColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("FlatColorAdjustment", &C::FlatColorAdjustment, &C::SetFlatColorAdjustment).Default(30);
  b.Object<TCvFrameController>("FrameController", &C::FrameController, &C::SetFrameController);
  b.Set("FrameControllerNotifications", TypeInfo_TCvFrameControllerNotifications(), &C::FrameControllerNotifications,
        &C::SetFrameControllerNotifications)
      .Default(AllFrameControllerNotifications.Bits());
  b.Enum("GradientColorStyle", TypeInfo_TCvGradientColorStyle(), &C::GradientColorStyle, &C::SetGradientColorStyle)
      .Default(gcsSystem);
  b.Int("GradientColorStart", &C::GradientColorStart, &C::SetGradientColorStart, TypeInfo_TColor()).Default(clWhite);
  b.Int("GradientColorStop", &C::GradientColorStop, &C::SetGradientColorStop, TypeInfo_TColor()).Default(clBtnFace);
  b.Enum("GradientDirection", TypeInfo_TGradientDirection(), &C::GradientDirection, &C::SetGradientDirection)
      .Default(TGradientDirection::gdHorizontalEnd);
  b.Int("GridColor", &C::GridColor, &C::SetGridColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Enum("GridStyle", TypeInfo_TCvGridStyle(), &C::GridStyle, &C::SetGridStyle).Default(TCvGridStyle::gsDots);
  b.Int("GridXSize", &C::GridXSize, &C::SetGridXSize, TypeInfo_Word()).Default(8);
  b.Int("GridYSize", &C::GridYSize, &C::SetGridYSize, TypeInfo_Word()).Default(8);
  b.Bool("ShowGrid", &C::ShowGrid, &C::SetShowGrid).Default(false);
  b.Int("TextMargin", &C::TextMargin, &C::SetTextMargin).Default(0);
  b.Bool("Transparent", &C::Transparent, &C::SetTransparent).Default(false);
  b.Enum("VisualStyle", TypeInfo_TCvVisualStyle(), &C::VisualStyle, &C::SetVisualStyle).Default(vsWinXP);
  b.Bool("WordWrap", &C::WordWrap, &C::SetWordWrap).Default(true);
  b.Event("OnMouseEnter", &C::OnMouseEnter, &C::SetOnMouseEnter);
  b.Event("OnMouseLeave", &C::OnMouseLeave, &C::SetOnMouseLeave);
  b.Event("OnPaint", &C::OnPaint, &C::SetOnPaint);
  b.DefineProperty("FrameSides", &C::SkipSet);
  b.DefineProperty("ThemeAware", &C::SkipBoolean);
  b.DefineProperty("UseGradients", &C::ReadUseGradients);
})

PX_CLASS_INFO(TCvPanel, TCvCustomPanel)

TCvCustomPanel::TCvCustomPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  SetControlStyle(ControlStyle() - csSetCaption - csParentBackground + csOpaque);
  SetBevelOuter(bvNone);
}

TCvCustomPanel::~TCvCustomPanel() {
  if (frame_controller_) frame_controller_->RemoveControl(this);
}

void TCvCustomPanel::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomPanel::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == frame_controller_) frame_controller_ = nullptr;
}

void TCvCustomPanel::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  // A bottom-aligned panel keeps its bottom edge, a right-aligned one its right edge.
  if (Align() == alBottom && AHeight != Height()) ATop = Top() + Height() - AHeight;
  else if (Align() == alRight && AWidth != Width()) ALeft = Left() + Width() - AWidth;
  TCustomPanel::SetBounds(ALeft, ATop, AWidth, AHeight);
}

TPoint TCvCustomPanel::CursorPosition() {
  TPoint p;
  GetCursorPos(&p);
  return HandleAllocated() ? ScreenToClient(p) : p;
}

void TCvCustomPanel::ShrinkRectByFrame(TRect& R, bool IncludeBorderWidth) {
  const TRect original = R;
  auto moved = [](int32_t v, int64_t by) { return static_cast<int32_t>(std::clamp<int64_t>(v + by, INT32_MIN, INT32_MAX)); };
  if (IncludeBorderWidth)
    R = TRect(moved(R.Left, BorderWidth()), moved(R.Top, BorderWidth()), moved(R.Right, -int64_t{BorderWidth()}),
              moved(R.Bottom, -int64_t{BorderWidth()}));
  auto width = [this](TFrameStyleEx Style) -> int64_t {
    switch (Style) {
      case fsNone: return 0;
      case fsFlat: return 1;
      case fsStatus:
      case fsPopup: return BevelWidth();
      default: return 2;
    }
  };
  const int64_t w = width(border_outer_) + width(border_inner_);
  if (border_sides_.Contains(sdLeft)) R.Left = moved(R.Left, w);
  if (border_sides_.Contains(sdTop)) R.Top = moved(R.Top, w);
  if (border_sides_.Contains(sdRight)) R.Right = moved(R.Right, -w);
  if (border_sides_.Contains(sdBottom)) R.Bottom = moved(R.Bottom, -w);
  // Frames wider than the panel leave an empty rectangle inside it, not crossed edges.
  R = TRect(std::clamp(R.Left, original.Left, std::max(original.Left, original.Right)),
            std::clamp(R.Top, original.Top, std::max(original.Top, original.Bottom)),
            std::clamp(R.Right, original.Left, std::max(original.Left, original.Right)),
            std::clamp(R.Bottom, original.Top, std::max(original.Top, original.Bottom)));
  R.Right = std::max(R.Right, R.Left);
  R.Bottom = std::max(R.Bottom, R.Top);
}

TRect TCvCustomPanel::FullRect() { return TRect(0, 0, Width(), Height()); }

void TCvCustomPanel::GetGradientColors(TColor& First, TColor& Second) {
  if (gradient_color_style_ == gcsCustom) {
    First = gradient_color_start_;
    Second = gradient_color_stop_;
  } else {
    GetSchemeGradientColors(gradient_color_style_, First, Second);
  }
}

void TCvCustomPanel::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = FullRect();
  const TColor parentColor = Parent() ? Parent()->Color() : Color();
  r = PaintInnerOuterFrames(canvas, r, border_outer_, border_inner_, BorderWidth(), border_sides_, BevelWidth(),
                            border_color_, border_highlight_, border_shadow_, flat_color_, flat_color_adjustment_,
                            Color(), parentColor, transparent_, false);
  if (!transparent_) {
    if (visual_style_ == vsGradient) {
      TColor first, second;
      GetGradientColors(first, second);
      PaintGradientRect(canvas, r, gradient_direction_, first, second, 1);
    } else {
      canvas->Brush()->SetColor(Color());
      canvas->FillRect(r);
    }
  }
  if (show_grid_) PaintGridPattern(r);
  canvas->Brush()->SetStyle(bsClear);
  PaintCaptionText(r);
  canvas->Brush()->SetStyle(bsSolid);
  if (on_paint_) on_paint_(this);
}

void TCvCustomPanel::PaintCaptionText(TRect R) {
  const std::string caption = Caption();
  if (caption.empty()) return;
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  // A margin wider than the panel leaves no room: nothing is drawn.
  const int32_t margin = std::clamp(text_margin_, -(1 << 20), 1 << 20);
  if (R.IsEmpty() || int64_t{margin} * 2 >= std::min(int64_t{R.Right} - R.Left, int64_t{R.Bottom} - R.Top)) return;
  R.Inflate(-margin, -margin);
  if (R.IsEmpty()) return;
  UINT align = DT_LEFT;
  if (Alignment() == taRightJustify) align = DT_RIGHT;
  else if (Alignment() == taCenter) align = DT_CENTER;
  const UINT flags = DT_EXPANDTABS | DT_VCENTER | (word_wrap_ ? DT_WORDBREAK : 0u) | align;
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  HDC dc = canvas->Handle();
  TRect calc = R;
  DrawText(dc, caption, &calc, flags | DT_CALCRECT);
  const int32_t h = calc.Height();
  switch (alignment_vertical_) {
    case avTop: R.Bottom = std::min(R.Bottom, R.Top + h); break;
    case avCenter:
      R.Top = static_cast<int32_t>((int64_t{R.Top} + R.Bottom - h) / 2);
      R.Bottom = std::min(R.Bottom, R.Top + h);
      break;
    case avBottom: R.Top = std::max(R.Top, R.Bottom - h - 1); break;
  }
  canvas->Brush()->SetStyle(bsClear);
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  if (!Enabled()) {
    TRect shifted = R;
    shifted.Offset(1, 1);
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnHighlight)));
    DrawText(dc, caption, &shifted, flags);
    canvas->Font()->SetColor(clBtnShadow);
    canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  }
  DrawText(dc, caption, &R, flags);
}

void TCvCustomPanel::PaintGridPattern(TRect R) {
  if (R.IsEmpty()) return;
  TCanvas* canvas = Canvas();
  const int32_t nx = grid_x_size_ ? R.Width() / grid_x_size_ : 0;
  const int32_t ny = grid_y_size_ ? R.Height() / grid_y_size_ : 0;
  canvas->Pen()->SetColor(grid_color_);
  canvas->Pen()->SetWidth(1);
  auto x = [&](int32_t i) { return R.Left - 1 + i * grid_x_size_; };
  auto y = [&](int32_t j) { return R.Top - 1 + j * grid_y_size_; };
  if (grid_style_ == TCvGridStyle::gsDots) {
    for (int32_t i = 1; i <= nx; ++i)
      for (int32_t j = 1; j <= ny; ++j) canvas->SetPixels(x(i), y(j), grid_color_);
    return;
  }
  const bool solid = grid_style_ == TCvGridStyle::gsSolidLines;
  for (int32_t i = 1; i <= nx; ++i) {
    if (solid) {
      canvas->MoveTo(x(i), R.Top);
      canvas->LineTo(x(i), R.Bottom);
    } else {
      for (int32_t v = R.Top + 1; v < R.Bottom; v += 2) canvas->SetPixels(x(i), v, grid_color_);
    }
  }
  for (int32_t j = 1; j <= ny; ++j) {
    if (solid) {
      canvas->MoveTo(R.Left, y(j));
      canvas->LineTo(R.Right, y(j));
    } else {
      for (int32_t h = R.Left + 1; h < R.Right; h += 2) canvas->SetPixels(h, y(j), grid_color_);
    }
  }
}

void TCvCustomPanel::ApplyControllerFrame() {
  if (!frame_controller_ || !frame_controller_->FrameVisible()) return;
  const TCvFrameControllerNotifications n = notifications_;
  if (n.Contains(fcpFrameStyle)) border_outer_ = frame_controller_->FrameStyle();
  if (n.Contains(fcpFrameSides)) border_sides_ = frame_controller_->FrameSides();
  if (n.Contains(fcpFrameColor)) {
    flat_color_ = frame_controller_->FrameColor();
    flat_color_adjustment_ = 0;
  }
  if (n.Contains(fcpColor)) SetColor(frame_controller_->Color());
  if (n.Contains(fcpParentColor)) SetParentColor(frame_controller_->ParentColor());
  if (n.Contains(fcpColor)) {
    border_highlight_ = TintColor(Color(), 100);
    border_shadow_ = ShadeColor(Color(), 50);
  }
  Invalidate();
}

void TCvCustomPanel::AdjustClientRect(TRect& Rect) {
  TCustomPanel::AdjustClientRect(Rect);
  if (DockSite()) ShrinkRectByFrame(Rect, false);
}

void TCvCustomPanel::AlignControls(TControl* AControl, TRect& Rect) {
  ShrinkRectByFrame(Rect, false);
  TCustomPanel::AlignControls(AControl, Rect);
}

void TCvCustomPanel::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_THEMECHANGED) {
    DefaultHandler(Message);
    DesktopColorScheme = ReadXPColorScheme();
    return;
  }
  TCustomPanel::Dispatch(Message);
}

void TCvCustomPanel::WMWindowPosChanged(TWMWindowPosMsg& Message) {
  if (FullRepaint() || !Caption().empty()) {
    Invalidate();
  } else if (HandleAllocated() && Message.WindowPos) {
    TRect r = FullRect();
    ShrinkRectByFrame(r, true);
    if (Message.WindowPos->cx != Width()) {
      const TRect strip(r.Right - 1, 0, Width(), Height());
      InvalidateRect(Handle(), &strip, TRUE);
    }
    if (Message.WindowPos->cy != Height()) {
      const TRect strip(0, r.Bottom - 1, Width(), Height());
      InvalidateRect(Handle(), &strip, TRUE);
    }
  }
  // The base panel's strips are those of its bevels, which this panel does not draw.
  TCustomControl::WMWindowPosChanged(Message);
}

void TCvCustomPanel::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  if (!transparent_) {
    TCustomPanel::WMEraseBkgnd(Message);
    return;
  }
  if (FullRepaint()) PaintParentBackground(this, Message.DC, false);
  Message.Result = 1;
}

void TCvCustomPanel::CMMouseEnter(TCMMouseEnterLeave& Message) {
  if (ComponentState().Contains(csDesigning)) return;
  TCustomPanel::CMMouseEnter(Message);
  if (on_mouse_enter_) on_mouse_enter_(this);
}

void TCvCustomPanel::CMMouseLeave(TCMMouseEnterLeave& Message) {
  TCustomPanel::CMMouseLeave(Message);
  if (on_mouse_leave_) on_mouse_leave_(this);
}

void TCvCustomPanel::CMEnabledChanged(TWMNoParams& Message) {
  TCustomPanel::CMEnabledChanged(Message);
  Repaint();
  if (!Enabled()) {
    child_states_.clear();
    for (int32_t i = 0; i < ControlCount(); ++i) child_states_.emplace_back(Controls(i), Controls(i)->Enabled());
    for (const auto& entry : std::vector(child_states_)) entry.first->SetEnabled(false);
    return;
  }
  for (int32_t i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    auto it = std::find_if(child_states_.begin(), child_states_.end(), [c](const auto& e) { return e.first == c; });
    if (it == child_states_.end() || it->second) c->SetEnabled(true);
  }
}

void TCvCustomPanel::CMControlChange(TCMControlChange& Message) {
  TCustomPanel::CMControlChange(Message);
  if (Message.Inserting) return;
  std::erase_if(child_states_, [&](const auto& e) { return e.first == Message.Control; });
}

void TCvCustomPanel::FrameChanged() {
  Realign();
  Invalidate();
}

void TCvCustomPanel::SetAlignmentVertical(TAlignmentVertical Value) {
  if (alignment_vertical_ == Value) return;
  alignment_vertical_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetBorderColor(TColor Value) {
  if (border_color_ == Value) return;
  border_color_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetBorderInner(TFrameStyleEx Value) {
  if (border_inner_ == Value) return;
  border_inner_ = Value;
  FrameChanged();
}

void TCvCustomPanel::SetBorderOuter(TFrameStyleEx Value) {
  if (border_outer_ == Value) return;
  border_outer_ = Value;
  FrameChanged();
}

void TCvCustomPanel::SetBorderSides(TSides Value) {
  if (border_sides_ == Value) return;
  border_sides_ = Value;
  FrameChanged();
}

void TCvCustomPanel::SetBorderHighlight(TColor Value) {
  if (border_highlight_ == Value) return;
  border_highlight_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetBorderShadow(TColor Value) {
  if (border_shadow_ == Value) return;
  border_shadow_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetFlatColor(TColor Value) {
  if (flat_color_ == Value) return;
  flat_color_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetFlatColorAdjustment(int32_t Value) {
  if (flat_color_adjustment_ == Value) return;
  flat_color_adjustment_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetFrameController(TCvFrameController* Value) {
  if (frame_controller_ == Value) return;
  if (frame_controller_) frame_controller_->RemoveControl(this);
  frame_controller_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    Value->AddControl(this);
  }
}

void TCvCustomPanel::SetGradientColorStyle(TCvGradientColorStyle Value) {
  if (gradient_color_style_ == Value) return;
  gradient_color_style_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetGradientColorStart(TColor Value) {
  if (gradient_color_start_ == Value) return;
  gradient_color_start_ = Value;
  Invalidate();
  InvalidateTransparentChildren(this);
}

void TCvCustomPanel::SetGradientColorStop(TColor Value) {
  if (gradient_color_stop_ == Value) return;
  gradient_color_stop_ = Value;
  Invalidate();
  InvalidateTransparentChildren(this);
}

void TCvCustomPanel::SetGradientDirection(TGradientDirection Value) {
  if (gradient_direction_ == Value) return;
  gradient_direction_ = Value;
  Invalidate();
  InvalidateTransparentChildren(this);
}

void TCvCustomPanel::SetGridColor(TColor Value) {
  if (grid_color_ == Value) return;
  grid_color_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetGridStyle(TCvGridStyle Value) {
  if (grid_style_ == Value) return;
  grid_style_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetGridXSize(uint16_t Value) {
  if (grid_x_size_ == Value) return;
  grid_x_size_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetGridYSize(uint16_t Value) {
  if (grid_y_size_ == Value) return;
  grid_y_size_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetShowGrid(bool Value) {
  if (show_grid_ == Value) return;
  show_grid_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetTransparent(bool Value) {
  if (transparent_ == Value) return;
  transparent_ = Value;
  if (Value) SetControlStyle(ControlStyle() - csOpaque);
  else SetControlStyle(ControlStyle() + csOpaque);
  Invalidate();
  for (int32_t i = 0; i < ControlCount(); ++i) Controls(i)->Invalidate();
}

void TCvCustomPanel::SetTextMargin(int32_t Value) {
  if (text_margin_ == Value) return;
  text_margin_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetWordWrap(bool Value) {
  if (word_wrap_ == Value) return;
  word_wrap_ = Value;
  Invalidate();
}

void TCvCustomPanel::SetVisualStyle(TCvVisualStyle Value) {
  if (visual_style_ == Value) return;
  visual_style_ = Value;
  Invalidate();
}

void TCvCustomPanel::SkipSet(TReader& Reader) { TCvOldPropReader::SkipSetProp(Reader); }

void TCvCustomPanel::SkipBoolean(TReader& Reader) { TCvOldPropReader::SkipBooleanProp(Reader); }

void TCvCustomPanel::ReadUseGradients(TReader& Reader) {
  if (Reader.ReadBoolean()) SetVisualStyle(vsGradient);
}

void CvPanelRegisterClasses() {
  RegisterClass(TCvPanel::StaticClass());
  RegisterClass(TCvGroupBox::StaticClass());
  RegisterClass(TCvStatusBar::StaticClass());
}
