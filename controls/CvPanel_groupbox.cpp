// The group box.
#include <algorithm>

#include "controls/CvCommonInternal.h"
#include "controls/CvGrafx.h"
#include "controls/CvPanel.h"
#include "platform/gdi/WinGdi_text.h"

using enum TFrameStyleEx;
using enum TCvGroupBoxStyle;

namespace {

// The size of Text in Font, measured on the screen.
TSize TextSize(TFont* Font, const std::string& Text) {
  TSize size;
  HDC dc = GetDC(nullptr);
  if (!dc) return size;
  HGDIOBJ old = SelectObject(dc, Font->Handle());
  GetTextExtentPoint32(dc, Text, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size;
}

void Line(TCanvas* Canvas, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Canvas->MoveTo(X1, Y1);
  Canvas->LineTo(X2, Y2);
}

}  // namespace

PX_CLASS_INFO(TCvCustomGroupBox, TCvCustomPanel, [](TPropertyBuilder<TCvCustomGroupBox>& b) {
  using C = TCvCustomGroupBox;
  b.Enum("GroupStyle", TypeInfo_TCvGroupBoxStyle(), &C::GroupStyle, &C::SetGroupStyle).Default(gsFlat);
  b.Redeclare("Alignment").Default(taLeftJustify);
  b.Redeclare("AlignmentVertical").Default(avTop);
  b.Redeclare("BorderInner").Default(fsNone);
  b.Redeclare("BorderOuter").Default(fsNone);
  b.Redeclare("Height").Default(105);
})

PX_CLASS_INFO(TCvGroupBox, TCvCustomGroupBox)

TCvCustomGroupBox::TCvCustomGroupBox(TComponent* AOwner) : TCvCustomPanel(AOwner) {
  SetControlStyle(ControlStyle() + csSetCaption + csDoubleClicks);
  border_outer_ = fsNone;
  border_inner_ = fsNone;
  SetAlignment(taLeftJustify);
  alignment_vertical_ = avTop;
  SetHeight(105);
}

void TCvCustomGroupBox::SetGroupStyle(TCvGroupBoxStyle Value) {
  if (group_style_ == Value) return;
  group_style_ = Value;
  FrameChanged();
}

void TCvCustomGroupBox::ApplyControllerFrame() {
  if (group_style_ == gsCustom) TCvCustomPanel::ApplyControllerFrame();
}

void TCvCustomGroupBox::AdjustClientRect(TRect& Rect) {
  TCvCustomPanel::AdjustClientRect(Rect);
  const int32_t h = TextSize(Font(), "Yy").cy;
  switch (group_style_) {
    case gsStandard:
    case gsFlat: {
      const int32_t m = h / 2 - 1;
      Rect.Top += m < BorderWidth() ? m : h - BorderWidth();
      const int32_t in = group_style_ == gsStandard ? 2 : 1;
      Rect.Inflate(-in, -in);
      break;
    }
    case gsCustom:
      if (!Caption().empty()) Rect.Top += h;
      Rect.Inflate(-2, -2);
      break;
    case gsTopLine: Rect.Top += h; break;
    case gsBanner: Rect.Top += h + 8; break;
    case gsUnderline: Rect.Top += h + 4; break;
  }
}

void TCvCustomGroupBox::Paint() {
  if (group_style_ == gsCustom) {
    TCvCustomPanel::Paint();
    return;
  }
  TCanvas* canvas = Canvas();
  canvas->Font()->Assign(Font());
  const int32_t H = canvas->TextHeight("Pp");
  const std::string caption = Caption();
  const int32_t W = Width();
  TRect t;
  if (!caption.empty()) {
    const TSize s = canvas->TextExtent(StripAccelChars(caption));
    switch (group_style_) {
      case gsTopLine: t = TRect(0, 0, s.cx + 4, s.cy); break;
      case gsBanner: t = TRect(0, 0, W, s.cy + 6); break;
      case gsUnderline: t = TRect(0, 0, W, s.cy + 2); break;
      default: t = TRect(8, 0, s.cx + 8, s.cy); break;
    }
  }
  HDC dc = canvas->Handle();
  const int32_t saved = SaveDC(dc);
  if (!transparent_) {
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(TRect(0, 0, W, Height()));
  } else if (group_style_ != gsBanner && !t.IsEmpty()) {
    ExcludeClipRect(dc, t.Left, t.Top, t.Right, t.Bottom);
  }
  const TRect b(0, H / 2 - 1, W, Height());
  const TColor flat = ShiftColorLuminance(flat_color_, flat_color_adjustment_);
  canvas->Pen()->SetWidth(1);
  switch (group_style_) {
    case gsStandard:
      if (border_outer_ == fsNone) PaintFrameStyle(canvas, b, fsGroove);
      else if (border_outer_ == fsFlat) PaintBox(canvas, b, flat);
      else if (border_outer_ == fsFlatBold) PaintBevel(canvas, b, flat, flat, 2, AllSides);
      else PaintFrameStyle(canvas, b, border_outer_);
      break;
    case gsTopLine:
      if (border_outer_ == fsNone) {
        PaintFrameStyleSides(canvas, b, fsGroove, {sdTop});
      } else if (border_outer_ == fsFlat || border_outer_ == fsFlatBold) {
        canvas->Pen()->SetColor(flat);
        Line(canvas, b.Left + 2, b.Top, b.Right - 2, b.Top);
        if (border_outer_ == fsFlatBold) Line(canvas, b.Left + 2, b.Top + 1, b.Right - 2, b.Top + 1);
      } else {
        PaintFrameStyleSides(canvas, b, border_outer_, {sdTop});
      }
      break;
    case gsFlat:
      PaintRoundedFlatFrame(canvas, b, flat, AllSides);
      break;
    case gsBanner: {
      if (t.IsEmpty()) break;
      TColor start, stop, line;
      if (gradient_color_style_ == gcsCustom) {
        start = gradient_color_start_;
        stop = gradient_color_stop_;
        line = flat;
      } else {
        GetSchemeBarColors(gradient_color_style_, stop, start, line);
      }
      PaintCornerlessBox(canvas, t, line);
      TRect in = t;
      in.Inflate(-1, -1);
      PaintGradientRect(canvas, in, TGradientDirection::gdHorizontalEnd, start, stop, 1);
      break;
    }
    case gsUnderline:
      if (t.IsEmpty()) break;
      canvas->Pen()->SetColor(flat);
      Line(canvas, t.Left, t.Bottom, t.Right, t.Bottom);
      break;
    default: break;
  }
  // The caption, with the clipping as it was.
  RestoreDC(dc, saved);
  if (caption.empty()) return;
  if (!transparent_ && group_style_ != gsBanner) canvas->FillRect(t);
  if (group_style_ == gsBanner) t = TRect(t.Left + 4, t.Top + 1, t.Right - 4, t.Bottom - 1);
  canvas->Brush()->SetStyle(bsClear);
  UINT flags = DT_SINGLELINE;
  if (Alignment() == taRightJustify) flags |= DT_RIGHT;
  else if (Alignment() == taCenter) flags |= DT_CENTER;
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  if (!Enabled()) {
    TRect shifted = t;
    shifted.Offset(1, 1);
    SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(clBtnHighlight)));
    DrawText(dc, caption, &shifted, flags);
    canvas->Font()->SetColor(clBtnShadow);
    canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  }
  DrawText(dc, caption, &t, flags);
  canvas->Brush()->SetStyle(bsSolid);
}

void TCvCustomGroupBox::CMDialogChar(TWMKey& Message) {
  if (IsAccel(Message.CharCode, Caption()) && CanFocus()) {
    SelectFirst();
    Message.Result = 1;
    return;
  }
  TCvCustomPanel::CMDialogChar(Message);
}

void TCvCustomGroupBox::CMFontChanged(TWMNoParams& Message) {
  TCvCustomPanel::CMFontChanged(Message);
  Invalidate();
}

void TCvCustomGroupBox::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  if (!transparent_) {
    TCvCustomPanel::WMEraseBkgnd(Message);
    return;
  }
  PaintParentBackground(this, Message.DC, false);
  Message.Result = 1;
}
