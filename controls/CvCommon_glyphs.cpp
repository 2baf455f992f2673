// The pixel-exact glyphs: check box and radio button, arrows, drop-down and close marks, the
// dotted focus frame and the gradient highlight ring. Coordinates are the design of a 13 x 13
// glyph; larger rectangles keep them (the rest shows the fill).
#include <initializer_list>

#include "controls/CvCommon.h"
#include "controls/CvGrafx.h"

namespace {

struct TPix {
  int32_t X, Y;
};

void InvertPixel(TCanvas* Canvas, int32_t X, int32_t Y) {
  const TColor c = Canvas->Pixels(X, Y);
  if (c == static_cast<TColor>(CLR_INVALID)) return;  // outside the clipping
  Canvas->SetPixels(X, Y, ~c & 0x00FFFFFF);
}

// The centre of the arrow, drop-down and close glyphs: one pixel higher for an even height.
TPoint GlyphCentre(const TRect& R) {
  TPoint c(R.Left + (R.Right - R.Left) / 2, R.Top + (R.Bottom - R.Top) / 2);
  if ((R.Bottom - R.Top) % 2 == 0) --c.Y;
  return c;
}

// Fills the polygon in the glyph colour with no outline; the brush colour comes back afterwards
// and the pen is left solid.
void FillGlyph(TCanvas* Canvas, bool Enabled, std::initializer_list<TPoint> Points) {
  const TColor oldBrush = Canvas->Brush()->Color();
  // Without visual styles the themed shapes take the classic colour as well.
  Canvas->Brush()->SetColor(Enabled ? clBlack : clBtnShadow);
  Canvas->Pen()->SetStyle(psClear);
  if (Points.size() > 0) Canvas->Polygon(Points);
  Canvas->Pen()->SetStyle(psSolid);
  Canvas->Brush()->SetColor(oldBrush);
}

// The fill of the check and radio glyphs by glyph state (false: keep the canvas brush).
bool GlyphFill(int32_t GlyphState, bool Focused, TColor FillColor, TColor FocusColor, TColor DisabledColor,
               bool ReadOnly, bool ReadOnlyColorOnFocus, TColor ReadOnlyColor, TColor& Fill) {
  switch (GlyphState) {
    case 0:
    case 2:
      if (Focused) Fill = ReadOnly && ReadOnlyColorOnFocus ? ReadOnlyColor : FocusColor;
      else Fill = ReadOnly ? ReadOnlyColor : FillColor;
      return true;
    case 1: Fill = ShadeColor(FocusColor, 20); return true;
    case 3: Fill = DisabledColor; return true;
    default: return false;
  }
}

void SetAll(TCanvas* Canvas, TColor Color, std::initializer_list<TPix> Pixels) {
  for (const TPix& p : Pixels) Canvas->SetPixels(p.X, p.Y, Color);
}

void MixAll(TCanvas* Canvas, TColor F, uint8_t Weight, std::initializer_list<TPix> Pixels) {
  for (const TPix& p : Pixels) Canvas->SetPixels(p.X, p.Y, MixColors(F, Canvas->Pixels(p.X, p.Y), Weight));
}

}  // namespace

void PaintDottedHorzLine(TCanvas* Canvas, int32_t X1, int32_t X2, int32_t Y) {
  for (int64_t x = X1; x < X2; x += 2) InvertPixel(Canvas, static_cast<int32_t>(x), Y);
}

void PaintDottedVertLine(TCanvas* Canvas, int32_t X, int32_t Y1, int32_t Y2) {
  for (int64_t y = Y1; y < Y2; y += 2) InvertPixel(Canvas, X, static_cast<int32_t>(y));
}

TRect PaintFocusFrame(TCanvas* Canvas, const TRect& Bounds) {
  const int32_t L = Bounds.Left, T = Bounds.Top, R = Bounds.Right, B = Bounds.Bottom;
  PaintDottedVertLine(Canvas, L, T + 1, B);
  PaintDottedVertLine(Canvas, R - 1, T + 1, B);
  PaintDottedHorzLine(Canvas, L + 1, R, T);
  PaintDottedHorzLine(Canvas, L + 1, R, B - 1);
  return TRect(L + 1, T + 1, R - 1, B - 1);
}

void PaintHighlightFrame(TCanvas* Canvas, const TRect& Bounds, TGradientDirection Direction, TColor StartColor,
                         TColor StopColor) {
  if (!DisplayIsFullColor) return;
  HDC dc = Canvas->Handle();
  // The clipping the canvas had comes back afterwards.
  const int32_t saved = SaveDC(dc);
  ExcludeClipRect(dc, Bounds.Left + 2, Bounds.Top + 2, Bounds.Right - 2, Bounds.Bottom - 2);
  PaintGradientRect(Canvas, Bounds, Direction, StartColor, StopColor, 1);
  RestoreDC(dc, saved);
}

void PaintDropDownGlyph(TCanvas* Canvas, const TRect& Rect, bool Themed, bool Pressed, bool Enabled) {
  TPoint c = GlyphCentre(Rect);
  c.Y += Themed ? 4 : 2;
  if (Pressed && Enabled) ++c.X, ++c.Y;
  const int32_t x = c.X, y = c.Y;
  if (Themed)
    FillGlyph(Canvas, Enabled, {{x, y}, {x - 4, y - 5}, {x - 3, y - 7}, {x, y - 3}, {x + 3, y - 7}, {x + 5, y - 5}});
  else
    FillGlyph(Canvas, Enabled, {{x, y}, {x - 3, y - 4}, {x + 4, y - 4}});
}

void PaintArrowGlyph(TCanvas* Canvas, const TRect& Rect, bool Themed, int32_t Direction, bool Pressed, bool Enabled) {
  TPoint c = GlyphCentre(Rect);
  if (Themed) {
    switch (Direction) {
      case 0: c.Y += 4; break;
      case 1: c.Y += 2; break;
      case 2: c.X -= 1; break;
      case 3: c.X -= 3; break;
      default: break;
    }
  } else if (Direction == 0 || Direction == 1) {
    c.Y += 2;
  } else if (Direction == 2 || Direction == 3) {
    c.X -= 2;
  }
  if (Pressed && Enabled) ++c.X, ++c.Y;
  const int32_t x = c.X, y = c.Y;
  switch (Direction) {
    case 0:
      if (Themed) FillGlyph(Canvas, Enabled, {{x, y - 5}, {x + 4, y}, {x + 1, y}, {x, y - 2}, {x - 1, y}, {x - 4, y}});
      else FillGlyph(Canvas, Enabled, {{x, y - 5}, {x + 4, y}, {x - 4, y}});
      break;
    case 1:
      if (Themed)
        FillGlyph(Canvas, Enabled, {{x, y}, {x - 3, y - 4}, {x, y - 4}, {x, y - 3}, {x + 1, y - 4}, {x + 4, y - 4}});
      else FillGlyph(Canvas, Enabled, {{x, y + 1}, {x - 3, y - 3}, {x + 4, y - 3}});
      break;
    case 2:
      if (Themed)
        FillGlyph(Canvas, Enabled, {{x, y}, {x + 4, y - 4}, {x + 4, y - 1}, {x + 3, y}, {x + 4, y + 1}, {x + 4, y + 4}});
      else FillGlyph(Canvas, Enabled, {{x, y}, {x + 4, y - 4}, {x + 4, y + 4}});
      break;
    case 3:
      if (Themed) FillGlyph(Canvas, Enabled, {{x + 4, y}, {x, y + 4}, {x, y + 1}, {x + 1, y}, {x, y - 1}, {x, y - 4}});
      else FillGlyph(Canvas, Enabled, {{x + 4, y}, {x, y + 4}, {x, y - 4}});
      break;
    default:
      FillGlyph(Canvas, Enabled, {});
      break;
  }
}

void PaintCloseGlyph(TCanvas* Canvas, const TRect& Rect, bool Themed, bool Pressed, bool Enabled) {
  (void)Themed;  // the cross has one shape
  TPoint c = GlyphCentre(Rect);
  if (Pressed && Enabled) ++c.X, ++c.Y;
  const int32_t x = c.X, y = c.Y;
  FillGlyph(Canvas, Enabled,
            {{x, y - 1}, {x + 3, y - 4}, {x + 5, y - 4}, {x + 5, y - 3}, {x + 2, y}, {x + 5, y + 4}, {x + 5, y + 5},
             {x + 3, y + 5}, {x, y + 1}, {x - 3, y + 5}, {x - 4, y + 5}, {x - 4, y + 3}, {x - 1, y}, {x - 4, y - 3},
             {x - 4, y - 4}, {x - 3, y - 5}});
}

void PaintCheckGlyph(TCanvas* Canvas, const TRect& Bounds, TCheckBoxState State, int32_t GlyphState, bool Focused,
                     TCvButtonHotTrackStyle HotTrackStyle, TColor FrameColor, TColor MarkColor, TColor FillColor,
                     TColor FocusColor, TColor DisabledColor, TColor HotFillColor, TColor HotFrameColor,
                     bool ReadOnly, bool ReadOnlyColorOnFocus, TColor ReadOnlyColor) {
  const bool hotFrame = GlyphState == 2 && HotTrackStyle == TCvButtonHotTrackStyle::htsFrame;
  const TRect inner = PaintBox(Canvas, Bounds, hotFrame ? HotFrameColor : FrameColor);
  TColor fill;
  if (GlyphFill(GlyphState, Focused, FillColor, FocusColor, DisabledColor, ReadOnly, ReadOnlyColorOnFocus,
                ReadOnlyColor, fill))
    Canvas->Brush()->SetColor(fill);
  const TColor mark = GlyphState == 3 ? clBtnShadow : MarkColor;
  Canvas->FillRect(inner);
  const int32_t L = Bounds.Left, T = Bounds.Top;
  if (State == cbChecked) {
    // Three pixels per column, down then up.
    static constexpr int32_t kTop[7] = {5, 6, 7, 6, 5, 4, 3};
    for (int32_t i = 0; i < 7; ++i)
      for (int32_t j = 0; j < 3; ++j) Canvas->SetPixels(L + 3 + i, T + kTop[i] + j, mark);
  } else if (State == cbGrayed) {
    TRect square = inner;
    square.Inflate(-2, -2);
    Canvas->Brush()->SetColor(mark);
    Canvas->FillRect(square);
  }
  if (GlyphState == 2) {
    if (HotTrackStyle == TCvButtonHotTrackStyle::htsInterior)
      PaintHighlightFrame(Canvas, inner, TGradientDirection::gdDiagonalDown, HotFillColor, HotFrameColor);
    else
      PaintBox(Canvas, inner, HotFrameColor);
  }
}

void PaintRadioGlyph(TCanvas* Canvas, const TRect& Rect, bool Checked, int32_t GlyphState, bool Focused,
                     TCvButtonHotTrackStyle HotTrackStyle, TColor FrameColor, TColor MarkColor, TColor FillColor,
                     TColor FocusColor, TColor DisabledColor, TColor HotFillColor, TColor HotFrameColor, TColor Color,
                     bool Transparent, TColor TransparentColor, bool ReadOnly, bool ReadOnlyColorOnFocus,
                     TColor ReadOnlyColor) {
  const int32_t w = Rect.Width(), h = Rect.Height();
  if (w <= 0 || h <= 0) return;
  TBitmap bitmap(w, h);
  TCanvas* c = bitmap.Canvas();
  TColor fill;
  if (GlyphFill(GlyphState, Focused, FillColor, FocusColor, DisabledColor, ReadOnly, ReadOnlyColorOnFocus,
                ReadOnlyColor, fill))
    c->Brush()->SetColor(fill);
  c->FillRect(TRect(0, 0, w, h));

  const bool full = DisplayIsFullColor;
  const bool hotFrame = GlyphState == 2 && HotTrackStyle == TCvButtonHotTrackStyle::htsFrame;
  const TColor F = hotFrame ? HotFrameColor : FrameColor;
  const TColor Lf = full ? TintColor(F, 10) : F;

  if (GlyphState == 2 && full) {
    if (hotFrame) {
      SetAll(c, Lf, {{5, 1}, {6, 1}, {7, 1}, {1, 5}, {11, 5}, {1, 6}, {11, 6}, {1, 7}, {11, 7}, {5, 11}, {6, 11}, {7, 11}});
      SetAll(c, F, {{4, 1}, {8, 1}, {1, 4}, {11, 4}, {1, 8}, {11, 8}, {4, 11}, {8, 11}});
    } else {
      HDC dc = c->Handle();
      const int32_t saved = SaveDC(dc);
      ExcludeClipRect(dc, 4, 4, w - 4, h - 4);
      ExcludeClipRect(dc, 5, 3, 8, 10);
      ExcludeClipRect(dc, 3, 5, 10, 8);
      PaintGradientRect(c, TRect(0, 0, w, h), TGradientDirection::gdDiagonalDown, HotFillColor, HotFrameColor, 1);
      RestoreDC(dc, saved);
    }
  }

  // The outline, row by row: M corners, B and A the softened rim, Lf and F the rim itself.
  const TColor M = Transparent ? TransparentColor : Color;
  TColor A, B;
  if (Transparent) A = B = TransparentColor;
  else if (full) A = MixColors(F, Color, 128), B = MixColors(F, Color, 40);
  else A = F, B = Color;
  static constexpr const char* kOutline[13] = {
      "MMMBALFLABMMM", "MMAF.....FAMM", "MAL.......LAM", "BF.........FB", "A...........A", "L...........L",
      "F...........F", "L...........L", "A...........A", "BF.........FB", "MAL.......LAM", "MMAF.....FAMM",
      "MMMBALFLABMMM"};
  for (int32_t y = 0; y < 13; ++y)
    for (int32_t x = 0; x < 13; ++x) {
      switch (kOutline[y][x]) {
        case 'M': c->SetPixels(x, y, M); break;
        case 'B': c->SetPixels(x, y, B); break;
        case 'A': c->SetPixels(x, y, A); break;
        case 'L': c->SetPixels(x, y, Lf); break;
        case 'F': c->SetPixels(x, y, F); break;
        default: break;
      }
    }

  // The shading just inside the rim.
  if (full && hotFrame) {
    MixAll(c, F, 150, {{3, 2}, {9, 2}, {2, 3}, {10, 3}, {2, 9}, {10, 9}, {3, 10}, {9, 10}});
    MixAll(c, F, 80, {{4, 2}, {8, 2}, {2, 4}, {10, 4}, {2, 8}, {10, 8}, {4, 10}, {8, 10}});
  } else if (full) {
    MixAll(c, F, 128, {{4, 1}, {8, 1}, {1, 4}, {11, 4}, {1, 8}, {11, 8}, {4, 11}, {8, 11}});
    MixAll(c, F, 80, {{5, 1}, {7, 1}, {3, 2}, {9, 2}, {2, 3}, {10, 3}, {1, 5}, {11, 5}, {1, 7}, {11, 7}, {2, 9}, {10, 9},
                      {3, 10}, {9, 10}, {5, 11}, {7, 11}});
    MixAll(c, F, 40, {{6, 1}, {1, 6}, {11, 6}, {6, 11}});
  } else {
    SetAll(c, F, {{4, 1}, {8, 1}, {1, 4}, {11, 4}, {1, 8}, {11, 8}, {4, 11}, {8, 11}});
    SetAll(c, clSilver, {{5, 1}, {7, 1}, {3, 2}, {9, 2}, {2, 3}, {10, 3}, {1, 5}, {11, 5}, {1, 7}, {11, 7}, {2, 9},
                         {10, 9}, {3, 10}, {9, 10}, {5, 11}, {7, 11}});
  }

  if (Checked) {
    const TColor D = GlyphState == 3 ? clBtnShadow : MarkColor;
    const TColor E = full ? MixColors(D, c->Pixels(4, 4), 153) : D;
    c->Brush()->SetColor(D);
    c->FillRect(TRect(5, 5, 8, 8));
    SetAll(c, D, {{6, 4}, {4, 6}, {8, 6}, {6, 8}});
    SetAll(c, E, {{5, 4}, {7, 4}, {4, 5}, {8, 5}, {4, 7}, {8, 7}, {5, 8}, {7, 8}});
  }
  Canvas->Draw(Rect.Left, Rect.Top, &bitmap);
}
