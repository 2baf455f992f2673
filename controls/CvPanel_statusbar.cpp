// The status bar.
#include <algorithm>

#include "controls/CvCommonInternal.h"
#include "controls/CvGrafx.h"
#include "controls/CvPanel.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Themes.h"

using enum TFrameStyleEx;

PX_CLASS_INFO(TCvStatusBar, TCvCustomPanel, [](TPropertyBuilder<TCvStatusBar>& b) {
  using C = TCvStatusBar;
  b.Bool("AutoScalePanes", &C::AutoScalePanes, &C::SetAutoScalePanes).Default(false);
  b.Bool("AutoStyle", &C::AutoStyle, &C::SetAutoStyle).Default(true);
  b.Bool("ShowSizeGrip", &C::ShowSizeGrip, &C::SetShowSizeGrip).Default(true);
  b.Str("SimpleCaption", &C::SimpleCaption, &C::SetSimpleCaption);
  b.Enum("SimpleFrameStyle", TypeInfo_TFrameStyle(), &C::SimpleFrameStyle, &C::SetSimpleFrameStyle).Default(fsFlat);
  b.Bool("SimpleStatus", &C::SimpleStatus, &C::SetSimpleStatus).Default(false);
  b.Redeclare("Align").Default(alBottom);
  // Always stored: a description says what the bar had, and Loaded decides what it keeps.
  for (const char* name : {"BorderInner", "BorderOuter", "BorderSides", "BorderWidth", "Height"})
    b.Redeclare(name).NoDefault();
})

TCvStatusBar::TCvStatusBar(TComponent* AOwner) : TCvCustomPanel(AOwner), grip_canvas_(std::make_unique<TControlCanvas>()) {
  grip_canvas_->SetControl(this);
  SetAlign(alBottom);
  border_inner_ = fsNone;
  border_outer_ = fsNone;
  border_sides_ = AllSides;
  SetHeight(19);
  SetBorderWidth(0);
}

TCvStatusBar::~TCvStatusBar() { grip_canvas_->FreeHandle(); }

void TCvStatusBar::Loaded() {
  TCvCustomPanel::Loaded();
  if (auto_style_) ApplyAutoStyle();
}

void TCvStatusBar::ApplyAutoStyle() {
  const bool keep = auto_style_;
  SetBorderInner(fsNone);
  SetBorderOuter(fsNone);
  SetBorderSides(AllSides);
  SetHeight(19);
  SetBorderWidth(0);
  auto_style_ = keep;
}

void TCvStatusBar::SetBorderInner(TFrameStyleEx Value) {
  if (Value == border_inner_) return;
  TCvCustomPanel::SetBorderInner(Value);
  auto_style_ = false;
}

void TCvStatusBar::SetBorderOuter(TFrameStyleEx Value) {
  if (Value == border_outer_) return;
  TCvCustomPanel::SetBorderOuter(Value);
  auto_style_ = false;
}

void TCvStatusBar::SetBorderSides(TSides Value) {
  if (Value == border_sides_) return;
  TCvCustomPanel::SetBorderSides(Value);
  auto_style_ = false;
}

void TCvStatusBar::GetGradientColors(TColor& First, TColor& Second) {
  // From the stop colour at the top to the start colour at the bottom.
  if (gradient_color_style_ == gcsCustom) {
    First = gradient_color_stop_;
    Second = gradient_color_start_;
  } else {
    TColor line;
    GetSchemeBarColors(gradient_color_style_, First, Second, line);
  }
}

TRect TCvStatusBar::GetClientRect() {
  TRect r = TCvCustomPanel::GetClientRect();
  if (!ThemeServices()->ThemesAvailable()) {
    ++r.Bottom;
    if (simple_status_) {
      r.Top = 2;
    } else {
      r.Top = 1;
      --r.Left;
      ++r.Right;
    }
  } else if (simple_status_) {
    ++r.Left;
    ++r.Top;
    --r.Right;
  }
  return r;
}

void TCvStatusBar::CreateWnd() {
  UpdateSizeGripAllowed();
  TCvCustomPanel::CreateWnd();
}

void TCvStatusBar::UpdateSizeGripAllowed() {
  TCustomForm* form = GetParentForm(this);
  grip_allowed_ = form &&
                  (form->BorderStyle() == bsSizeable || form->BorderStyle() == bsSizeToolWin) &&
                  form->WindowState() != wsMaximized;
}

void TCvStatusBar::SetShowSizeGrip(bool Value) {
  if (show_size_grip_ == Value) return;
  show_size_grip_ = Value;
  UpdateSizeGripAllowed();
  Invalidate();
}

void TCvStatusBar::SetSimpleCaption(const std::string& Value) {
  if (simple_caption_ == Value) return;
  simple_caption_ = Value;
  Invalidate();
}

void TCvStatusBar::SetSimpleFrameStyle(TFrameStyle Value) {
  if (simple_frame_style_ == Value) return;
  simple_frame_style_ = Value;
  Invalidate();
}

void TCvStatusBar::SetSimpleStatus(bool Value) {
  simple_status_ = Value;
  DisableAlign();
  try {
    for (int32_t i = 0; i < ControlCount(); ++i) {
      TControl* c = Controls(i);
      if (ComponentState().Contains(csDesigning)) c->SetControlStyle(c->ControlStyle() + csNoDesignVisible);
      c->SetVisible(!Value);
    }
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
  Invalidate();
}

void TCvStatusBar::WndProc(TMessage& Message) {
  if (Message.Msg == WM_LBUTTONDOWN && grip_allowed_ && show_size_grip_ &&
      !ComponentState().Contains(csDesigning) &&
      SizeGripRect().Contains(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)))) {
    // The form sizes from its lower right corner.
    ReleaseCapture();
    if (TCustomForm* form = GetParentForm(this)) SendMessage(form->Handle(), WM_SYSCOMMAND, WPARAM{SC_SIZE} + WMSZ_BOTTOMRIGHT, 0);
    return;
  }
  TCvCustomPanel::WndProc(Message);
}

void TCvStatusBar::WMSetCursor(TWMSetCursor& Message) {
  if (show_size_grip_ && grip_allowed_ && !ComponentState().Contains(csDesigning) &&
      SizeGripRect().Contains(CursorPosition())) {
    ::SetCursor(Screen()->Cursors(crSizeNWSE));
    Message.Result = 1;
    return;
  }
  TCvCustomPanel::WMSetCursor(Message);
}

void TCvStatusBar::Paint() {
  TCvCustomPanel::Paint();
  TRect r = GetClientRect();
  --r.Bottom;
  if (!simple_status_) return;
  PaintSimpleFrame(r);
  r.Inflate(-1, -1);
  if (simple_caption_.empty()) return;
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  canvas->Brush()->SetStyle(bsClear);
  const int32_t h = canvas->TextHeight("Pp");
  canvas->TextRect(r, r.Left + 2, static_cast<int32_t>(r.Top + (int64_t{r.Height()} - h) / 2), simple_caption_);
  canvas->Brush()->SetStyle(bsSolid);
}

void TCvStatusBar::PaintSimpleFrame(TRect R) {
  if (visual_style_ != vsClassic) return;
  TCanvas* canvas = Canvas();
  canvas->Pen()->SetWidth(1);
  if (simple_frame_style_ != fsFlat) {
    PaintFrameStyle(canvas, R, simple_frame_style_);
    return;
  }
  PaintCornerlessBox(canvas, R, ShiftColorLuminance(flat_color_, flat_color_adjustment_));
}

void TCvStatusBar::WMPaint(TWMPaint& Message) {
  TCvCustomPanel::WMPaint(Message);
  TRect r = GetClientRect();
  --r.Bottom;
  UpdateSizeGripAllowed();
  if (show_size_grip_ && grip_allowed_) PaintSizeGrip(r);
}

void TCvStatusBar::PaintSizeGrip(const TRect& R) {
  TColor light = clBtnHighlight, dark = clBtnShadow;
  if (visual_style_ == vsGradient) {
    // The scheme's colours, whatever the gradient style.
    TColor stop;
    GetSchemeBarColors(gradient_color_style_, stop, light, dark);
  }
  const int32_t r = R.Right, b = R.Bottom;
  TCanvas* canvas = grip_canvas_.get();
  auto squares = [&](TColor color, int32_t shift) {
    canvas->Brush()->SetColor(color);
    canvas->Pen()->SetColor(color);
    for (const TPoint& p : {TPoint(5, 12), TPoint(5, 8), TPoint(5, 4), TPoint(9, 8), TPoint(9, 4), TPoint(13, 4)})
      canvas->Rectangle(r - p.X - shift, b - p.Y - shift, r - p.X + 2 - shift, b - p.Y + 2 - shift);
  };
  squares(light, 0);
  squares(dark, 1);
}

void TCvStatusBar::Resize() {
  TCvCustomPanel::Resize();
  if (first_resize_) {
    width_change_ = 0;
    last_width_ = Width();
    first_resize_ = false;
  } else {
    width_change_ = Width() - last_width_;
  }
  // Before a width was remembered there is nothing to scale by: it is only remembered.
  if (auto_scale_panes_ && ControlCount() > 0 && width_change_ != 0 && last_width_ > 0) {
    DisableAlign();
    try {
      for (int32_t i = 0; i < ControlCount(); ++i) {
        TControl* c = Controls(i);
        const float f = static_cast<float>(c->Width()) / static_cast<float>(last_width_);
        c->SetWidth(c->Width() + static_cast<int32_t>(Round(static_cast<double>(width_change_) * f)));
      }
    } catch (...) {
      EnableAlign();
      throw;
    }
    EnableAlign();
  }
  last_width_ = Width();
}
