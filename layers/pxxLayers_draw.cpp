// Render targets of the layer kinds, polygons and plain figures, line end shapes, the
// measurements of rulers and the tiling of graphics.
#include "layers/pxxLayers_draw.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers.h"
#include "platform/rtl/SysUtils.h"
#include "platform/gdi/Graphics.h"

namespace {

// Bitmap becomes a Width x Height picture of Format: kept when it already is one, else replaced.
void EnsureRenderBitmap(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height, TPXPixelFormat Format) {
  Width = std::max(Width, 1);
  Height = std::max(Height, 1);
  if (Bitmap && !Bitmap->IsVirtual() && Bitmap->Width() == Width && Bitmap->Height() == Height &&
      Bitmap->PixelFormat() == Format)
    return;
  Bitmap = std::make_unique<TPXBitmap>();
  Bitmap->Allocate(Width, Height, Format);
}

}  // namespace

void EnsureRenderBitmap24(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height, TColor Color) {
  EnsureRenderBitmap(Bitmap, Width, Height, px24RGB);
  // A kept bitmap may carry the alpha of an earlier rendering (feathered, shadowed); the new
  // content is opaque.
  Bitmap->RemoveAlphaChannel(false, 0);
  Bitmap->Fill(Color);
}

void EnsureRenderBitmap32(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height) {
  EnsureRenderBitmap(Bitmap, Width, Height, px32RGB);
  Bitmap->FillRGBA(0x00FFFFFF);  // white, fully transparent (fourth byte and alpha channel)
}

void TileGraphic(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic) {
  if (!Canvas || !Graphic) return;
  const int32_t gw = Graphic->Width(), gh = Graphic->Height();
  if (gw <= 0 || gh <= 0) return;
  for (int32_t y = 0; y < Height; y += gh)
    for (int32_t x = 0; x < Width; x += gw) Canvas->Draw(x, y, Graphic);
}

void TileWallpaper(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic) {
  TileGraphic(Canvas, Width, Height, Graphic);
}

// ---------------------------------------------------------------------------------------------
// Shapes

namespace {

// The border width in target pixels: none without a colour, at least 1 pixel for a positive
// width whatever the scale.
int32_t ScaledBorderWidth(TColor BorderColor, int32_t BorderWidth, double ScaleX, double ScaleY) {
  if (BorderColor == clNone) return 0;
  if (BorderWidth > 0) return std::max(1, Round32(std::min(ScaleX, ScaleY) * BorderWidth));
  return BorderWidth;
}

uint8_t OpacityAlpha(double Opacity) { return static_cast<uint8_t>(std::clamp(Round32(Opacity * 255), 0, 255)); }

// Sets one of the canvas's drawing modes for a scope and restores it on every path.
template <uint8_t (TPXCanvas::*Get)() const, void (TPXCanvas::*Set)(uint8_t)>
class TCanvasModeScope {
 public:
  TCanvasModeScope(TPXCanvas* Canvas, uint8_t Mode) : FCanvas(Canvas), FOld((Canvas->*Get)()) { (Canvas->*Set)(Mode); }
  ~TCanvasModeScope() { (FCanvas->*Set)(FOld); }
  TCanvasModeScope(const TCanvasModeScope&) = delete;
  TCanvasModeScope& operator=(const TCanvasModeScope&) = delete;

 private:
  TPXCanvas* FCanvas;
  uint8_t FOld;
};
using TSmoothingScope = TCanvasModeScope<&TPXCanvas::SmoothingMode, &TPXCanvas::SetSmoothingMode>;
using TTextRenderingScope = TCanvasModeScope<&TPXCanvas::TextRendering, &TPXCanvas::SetTextRendering>;

}  // namespace

void DrawShapePolygon(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, double ScaleX,
                      double ScaleY, const TPXPointList& Points, bool Closed, TPXPointList& DrawnPoints,
                      TColor BorderColor, int32_t BorderWidth, double BorderOpacity, TColor FillColor,
                      TColor FillColor2, uint8_t FillGradient, double FillOpacity, bool AntiAlias, int32_t Angle,
                      double AspectRatio, uint8_t Mode) {
  const bool storeDrawn = Mode != 1 || (ScaleX == 1 && ScaleY == 1);
  Height -= 1;
  int32_t turn = 360 - Angle;
  NormalizeAngle360(turn);
  const int32_t bw = ScaledBorderWidth(BorderColor, BorderWidth, ScaleX, ScaleY);
  const bool gradient = FillGradient != 8 && FillColor != clNone && FillColor2 != clNone && FillColor != FillColor2;
  const bool fitted = AspectRatio != 0;
  // Exact quarter turns of an outline without a kept ratio mirror and exchange the axes.
  const bool mirrorX = !fitted && (turn == 180 || turn == 270);
  const bool mirrorY = !fitted && (turn == 90 || turn == 180);
  const bool exchange = !fitted && (turn == 90 || turn == 270);

  const int32_t x0 = X, y0 = Y;
  const int32_t w0 = std::max(0, Width - bw), h0 = std::max(0, Height - bw);
  if (fitted) FitRectInPlace(Round32(1000 * AspectRatio), 1000, X, Y, Width, Height, true, true, true, true, 0, false);
  const int32_t w1 = std::max(0, Width - bw), h1 = std::max(0, Height - bw);

  const int32_t n = std::max(0, Points.Count);
  std::vector<TDPoint> pts(static_cast<size_t>(n));
  double maxX = 0, maxY = 0, minX = 0, minY = 0;
  if (n > 0) PointsBoundsF(Points.Items.data(), n, maxX, maxY, minX, minY);
  const double spanX = std::max(1.0, maxX - minX), spanY = std::max(1.0, maxY - minY);
  const int32_t k = (bw + 1) / 2;
  for (int32_t i = 0; i < n; ++i) {
    double nx = (Points[i].X - minX) / spanX, ny = (Points[i].Y - minY) / spanY;
    if (mirrorX) nx = 1 - nx;
    if (mirrorY) ny = 1 - ny;
    if (exchange) std::swap(nx, ny);
    pts[static_cast<size_t>(i)] = TDPoint{X + k + w1 * nx, Y + k + h1 * ny};
  }
  if ((turn % 90 != 0 || fitted) && n > 0) {
    const double half = bw / 2.0;
    RotatePointsF(pts.data(), n, Round(X + half + Width / 2.0), Round(Y + half + Height / 2.0), Angle);
    ScalePointsToRectF(pts.data(), n,
                       TDRect{double(Round(X + half)), double(Round(Y + half)), double(Round(double(X) + w1)),
                              double(Round(double(Y) + h1))},
                       fitted);
    if (fitted)
      ScalePointsToRectF(pts.data(), n,
                         TDRect{double(Round(x0 + half)), double(Round(y0 + half)), double(Round(double(x0) + w0)),
                                double(Round(double(y0) + h0))},
                         true);
  }

  if (Mode != 2 && Mode != 3 && Canvas && n > 0) {
    TSmoothingScope smoothing(Canvas, AntiAlias ? 5 : 2);
    TPXPen* pen = Canvas->Pen();
    if (bw < 1) {
      pen->SetStyle(psClear);
    } else {
      pen->SetStyle(psSolid);
      pen->SetWidth(static_cast<float>(bw));
      pen->SetColor(BorderColor);
      pen->SetMode(pmCopy);
      pen->SetLineJoin(LineJoinRound);
      pen->SetTransparency(OpacityAlpha(BorderOpacity));
    }
    TPXBrush* brush = Canvas->Brush();
    if (FillColor == clNone) {
      brush->SetGradient(0, Width, Height);
      brush->SetStyle(bsClear);
    } else {
      brush->SetStyle(bsSolid);
      brush->SetColor(FillColor);
      brush->SetTransparency(OpacityAlpha(FillOpacity));
      if (gradient) {
        brush->SetColor2(FillColor2);
        brush->SetTransparency2(OpacityAlpha(FillOpacity));
        brush->SetGradient(FillGradient + 1, Width, Height);
      } else {
        brush->SetGradient(0, Width, Height);
      }
    }
    if (Closed) Canvas->PolygonF(pts.data(), n - 1);
    else Canvas->PolylineF(pts.data(), n - 1);
  }

  if (storeDrawn) {
    DrawnPoints.SetCount(n);
    for (int32_t i = 0; i < n; ++i)
      DrawnPoints[i] = TDPoint{pts[static_cast<size_t>(i)].X / ScaleX, pts[static_cast<size_t>(i)].Y / ScaleY};
  }
}

void DrawSimpleShape(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, TColor BorderColor,
                     int32_t BorderWidth, double BorderOpacity, TColor FillColor, TColor FillColor2,
                     uint8_t FillGradient, double FillOpacity, double ScaleX, double ScaleY, uint8_t Shape,
                     bool AntiAlias) {
  const double s = std::min(ScaleX, ScaleY);
  const int32_t bw =
      BorderColor != clNone && BorderWidth > 0 ? std::max(1, Round32(s * BorderWidth)) : 0;
  DrawShapeOnCanvas(Canvas, X, Y, Width, Height, bw > 0 ? BorderColor : clNone, bw, BorderOpacity, FillColor,
                    FillColor2, FillGradient == 8 ? 0 : FillGradient + 1, FillOpacity, Shape, Round32(20 * s),
                    AntiAlias);
}

// ---------------------------------------------------------------------------------------------
// Text boxes

TPoint TextBoxNeededSize(TPXCanvas* Canvas, int32_t E, int32_t F, uint8_t Shape, bool WithMargins, double HorzMargin,
                         double VertMargin, double ScaleX, double ScaleY) {
  int32_t ww = 0, wh = 0;
  if (Shape != 4 && Shape != 5) {
    TSize size{0, 0};
    Canvas->MeasureStringRotated("W", 0, size);
    ww = size.cx;
    wh = size.cy;
  }
  if (WithMargins) {
    ww += Round32(2 * HorzMargin * (ww + E + 1) * ScaleX);
    wh += Round32(2 * VertMargin * (F + wh + 1) * ScaleY);
  }
  return TPoint(ww + E + 1, F + wh + 1);
}

TPoint TextBoxTextOrigin(int32_t X, int32_t Y, int32_t E, int32_t F, double TextW, double TextH, int32_t R, int32_t Mx,
                         int32_t My, uint8_t Alignment, uint8_t Layout) {
  int32_t px = X + R + Mx, py = Y + R + My;
  if (Alignment == 1) px = X + Trunc32(E - X - TextW) - R - Mx;
  else if (Alignment == 2) px = X + Trunc32(E - X - TextW) / 2;
  if (Layout == 1) py = Y + Trunc32(F - Y - TextH) - R - My;
  else if (Layout == 2) py = Y + Trunc32(F - Y - TextH) / 2;
  return TPoint(px, py);
}

namespace {

// Text without its last character (UTF-8) and without trailing blanks.
std::string DropLastCharacter(std::string Text) {
  while (!Text.empty() && (static_cast<uint8_t>(Text.back()) & 0xC0) == 0x80) Text.pop_back();
  if (!Text.empty()) Text.pop_back();
  while (!Text.empty() && Text.back() == ' ') Text.pop_back();
  return Text;
}

}  // namespace

void DrawTextBox(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Right, int32_t Bottom, double ScaleX, double ScaleY,
                 const std::string& Text, TFont* Font, uint8_t Alignment, uint8_t Layout, int32_t TextAngle,
                 uint8_t TextOverflow, uint8_t WordWrap, int32_t MaxTextWidth, TColor BorderColor,
                 int32_t BorderWidth, double BorderOpacity, TColor FillColor, TColor FillColor2,
                 uint8_t FillGradient, double FillOpacity, double HorzMargin, double VertMargin, uint8_t /*AutoSize*/,
                 uint8_t AntiAlias, uint8_t Shape, int32_t BorderAngle, double AspectRatio, TRect& TextRectOut,
                 TPXPointList& ShapePoints, TPXPointList& DrawnPoints, uint8_t Mode, TPoint& SizeOut) {
  if (!Canvas) return;
  TTextRenderingScope rendering(Canvas, AntiAlias ? 4 : 2);
  const double s = std::min(ScaleX, ScaleY);
  const bool border = BorderColor != clNone && BorderWidth >= 1;
  const bool filled = border || FillColor != clNone;
  const int32_t r = border ? Round32(s * (BorderWidth + 3)) : 0;
  if (TFont* font = Canvas->GetFont(); font && Font) {
    font->Assign(Font);
    font->SetHeight(Round32(Font->Height() * s));
  }
  NormalizeAngle360(TextAngle);
  const bool measuring = Mode == 2;

  // The box, fitted to the border's ratio when the text is centred both ways; a turned border
  // leaves the text the box that fits inside it.
  int32_t x = X, y = Y, w = Right - X, h = Bottom - Y;
  if (AspectRatio != 0 && Alignment == 2 && Layout == 2) {
    FitRectInPlace(Round32(1000 * AspectRatio), 1000, x, y, w, h, true, true, true, true, 0, false);
    if (BorderAngle != 0 && w > 0 && h > 0) {
      double bw = 0, bh = 0;
      RotatedSizeF(w, h, BorderAngle, bw, bh);
      const double k = std::min(bw > 0 ? w / bw : 1.0, bh > 0 ? h / bh : 1.0);
      const int32_t iw = Round32(w * k), ih = Round32(h * k);
      x += (w - iw) / 2;
      y += (h - ih) / 2;
      w = iw;
      h = ih;
    }
  }
  int32_t mx = 0, my = 0;
  if (!measuring && filled) {
    mx = Round32(w * HorzMargin);
    my = Round32(h * VertMargin);
  }

  std::string text = Text;
  TSize size{0, 0};
  auto measure = [&](const std::string& T, const TRect& R, double Angle) {
    TSize sz{0, 0};
    Canvas->MeasureStringInRect(T, R, Angle, sz);
    return sz;
  };
  if (measuring || !WordWrap) {
    size = measure(text, TRect(x, y, 10000, 10000), -TextAngle);
  } else {
    size = measure(text, TRect(x, y, x + w, y + h), -TextAngle);
    if (size.cx == 0 && size.cy == 0) {
      size = measure(text, TRect(x, y, x + w, 10000), -TextAngle);
      Bottom = Y + size.cy;
    }
  }
  int32_t tw = size.cx, th = size.cy;

  const int32_t pad = Round32(2 * s) * 2;
  if (!(measuring && WordWrap)) {
    int32_t avail = MaxTextWidth;
    if (avail < 1) {
      avail = w;
      if (TextAngle % 180 != 0) {
        TPoint p1, p2;
        LineEndsInRectAtAngle(TRect(x, y, x + w, y + h), TextAngle - BorderAngle, p1, p2);
        avail = Trunc32(std::hypot(double(p2.X) - p1.X, double(p2.Y) - p1.Y));
      }
    }
    avail -= 2 * r + mx;
    const TRect wide(x, y, 10000, 10000);
    const double turn = BorderAngle - TextAngle;
    if (TextOverflow == 0) {
      if (tw + pad > avail) {
        std::string cut = text;
        while (!cut.empty()) {
          cut = DropLastCharacter(cut);
          const TSize sz = measure(cut + "...", wide, turn);
          tw = sz.cx;
          th = sz.cy;
          if (tw + pad <= avail) break;
        }
        text = cut.empty() ? std::string() : Trim(cut) + "...";
      }
    } else if (TextOverflow == 1) {
      TFont* font = Canvas->GetFont();
      while (font && !text.empty() && (tw + pad > avail || th > h)) {
        // One step toward 0 at a time; a font of 7 pixels or less that still does not fit drops the text.
        const int32_t height = font->Height();
        if (height >= -7 && height <= 7) {
          text.clear();
          break;
        }
        font->SetHeight(height < 0 ? height + 1 : height - 1);
        const TSize sz = measure(text, wide, turn);
        tw = sz.cx;
        th = sz.cy;
      }
    } else if (tw + pad > avail || th > h) {
      text.clear();
    }
  }

  const double a = -TextAngle * std::numbers::pi / 180;
  const double ca = std::fabs(std::cos(a)), sa = std::fabs(std::sin(a));
  int32_t E = Right, F = Bottom;
  if (measuring) {
    mx = Round32(tw * HorzMargin);
    my = Round32(th * VertMargin);
    E = Trunc32(ca * tw + X + sa * th) + 3 * r + 2 * mx;
    F = Trunc32(sa * tw + Y + ca * th) + 2 * r + 2 * my;
    SizeOut = TextBoxNeededSize(Canvas, E, F, Shape, filled, HorzMargin, VertMargin, ScaleX, ScaleY);
  }

  const TPoint origin = TextBoxTextOrigin(X, Y, E, F, ca * tw + sa * th, sa * tw + ca * th, r, mx, my, Alignment, Layout);
  const int32_t px = origin.X, py = origin.Y;
  TRect textRect(px, py, E, F);
  TextRectOut = TRect(Round32(px / ScaleX), Round32(py / ScaleY), Round32(E / ScaleX), Round32(F / ScaleY));
  if (measuring) return;

  if (filled) {
    const int32_t boxW = Right - X + 1, boxH = Bottom - Y + 1;
    if ((Shape == 0 || Shape == 4 || Shape == 5) && BorderAngle % 180 == 0 && AspectRatio == 0) {
      DrawSimpleShape(Canvas, X, Y, boxW, boxH, BorderColor, BorderWidth, BorderOpacity, FillColor, FillColor2,
                      FillGradient, FillOpacity, ScaleX, ScaleY, Shape, AntiAlias != 0);
    } else {
      if (ShapePoints.Count == 0) {
        std::array<TPoint, PXMaxShapePoints + 1> points;
        int32_t count = 0;
        GenerateShapePoints(points, count, static_cast<TPXShape>(Shape), 0, 0, 1000, 1000, 0, false, 0,
                            boxH > 0 ? double(boxW) / boxH : 1.0);
        ShapePoints.Assign(points.data(), count);
      }
      DrawShapePolygon(Canvas, X, Y, boxW, boxH, ScaleX, ScaleY, ShapePoints, true, DrawnPoints, BorderColor,
                       BorderWidth, BorderOpacity, FillColor, FillColor2, FillGradient, FillOpacity, AntiAlias != 0,
                       BorderAngle, AspectRatio, Mode);
    }
  }
  if (!text.empty()) {
    TPXBrush* brush = Canvas->Brush();
    brush->SetGradient(0, 0, 0);
    brush->SetStyle(bsSolid);
    brush->SetColor(Canvas->GetFont() ? Canvas->GetFont()->Color() : clBlack);
    brush->SetTransparency(255);
    if (TextAngle == 0) textRect.Bottom += th;
    Canvas->DrawStringInRect(text, textRect, -TextAngle);
  }
}

// ---------------------------------------------------------------------------------------------
// Line end shapes

void DrawLineEndShape(TPXCanvas* Canvas, int32_t FromX, int32_t FromY, int32_t X, int32_t Y, TPXLineEndShape Kind,
                      int32_t Size, double ScaleX, double ScaleY, TPXLineEndShapeRecord& Outline) {
  Outline = TPXLineEndShapeRecord{};
  Outline.Kind = Kind;
  const int32_t L = Round32(std::min(ScaleX, ScaleY) * Size);
  if (L < 2 || Kind < 1 || Kind > 7) return;
  const double h = L / 2.0;
  // Unit vectors along the line towards its end and across it.
  double dx = double(X) - FromX, dy = double(Y) - FromY;
  const double len = std::hypot(dx, dy);
  if (len > 0) {
    dx /= len;
    dy /= len;
  } else {
    dx = 1;
    dy = 0;
  }
  const double px = -dy, py = dx;
  auto at = [&](double Along, double Across) { return TDPoint{X + dx * Along + px * Across, Y + dy * Along + py * Across}; };
  std::array<TDPoint, 4> p{};
  int32_t count = 0;
  bool filled = true, closed = true, ellipse = false;
  double diameter = 0;
  switch (Kind) {
    case 1:  // arrow: tip at the end, base L back
      p = {at(0, 0), at(-L, 0.3 * L), at(-L, -0.3 * L)};
      count = 3;
      break;
    case 2:  // circle of diameter L
      ellipse = true;
      diameter = L;
      break;
    case 3:  // diamond
      p = {at(h, 0), at(0, h), at(-h, 0), at(0, -h)};
      count = 4;
      break;
    case 4:  // open arrow: two strokes meeting at the end
      p = {at(-L, 0.4 * L), at(0, 0), at(-L, -0.4 * L)};
      count = 3;
      filled = closed = false;
      break;
    case 5:  // reverse arrow: base at the end, tip L back
      p = {at(0, 0.3 * L), at(0, -0.3 * L), at(-L, 0)};
      count = 3;
      break;
    case 6:  // bar across the line
      p = {at(0, h), at(0, -h)};
      count = 2;
      filled = closed = false;
      break;
    case 7:  // dot in the pen colour
      ellipse = true;
      diameter = 2 * (L / 6);
      break;
  }
  if (ellipse) {
    const double r = diameter / 2;
    p = {TDPoint{X - r, Y - r}, TDPoint{X + r, Y + r}};
    count = 2;
    if (Canvas && diameter > 0) {
      if (Kind == 7) {
        TPXBrush* brush = Canvas->Brush();
        const TColor old = brush->Color();
        const TBrushStyle oldStyle = brush->Style();
        brush->SetStyle(bsSolid);
        brush->SetColor(Canvas->Pen()->Color());
        Canvas->Ellipse(Round32(X - r), Round32(Y - r), Round32(X + r), Round32(Y + r));
        brush->SetColor(old);
        brush->SetStyle(oldStyle);
      } else {
        Canvas->Ellipse(Round32(X - r), Round32(Y - r), Round32(X + r), Round32(Y + r));
      }
    }
  } else if (Canvas) {
    if (closed && filled) Canvas->PolygonF(p.data(), count - 1);
    else Canvas->PolylineF(p.data(), count - 1);
  }
  Outline.Count = count;
  for (int32_t i = 0; i < count; ++i)
    Outline.Points[static_cast<size_t>(i)] = TDPoint{p[static_cast<size_t>(i)].X / ScaleX, p[static_cast<size_t>(i)].Y / ScaleY};
}

// ---------------------------------------------------------------------------------------------
// Measurements

double MeasureLineLength(const TDPoint& P1, const TDPoint& P2, TPXUnits Units, double DpiX, double DpiY) {
  double sx = 1, sy = 1;
  PixelSizeInUnits(Units, DpiX, DpiY, sx, sy);
  return std::hypot((P2.X - P1.X) * sx, (P2.Y - P1.Y) * sy);
}

namespace {

std::string MeasureText(double Value, TPXUnits Units, const char* Suffix) {
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int32_t digits = settings ? settings->FFloatDigits : 2;
  const size_t unit = static_cast<size_t>(static_cast<uint8_t>(Units) & 0x7F);
  std::string name = settings && unit < settings->FUnitNames.size() ? settings->FUnitNames[unit] : std::string();
  return FloatToTextDecimals(digits, false, Value) + " " + name + Suffix;
}

}  // namespace

void FormatLineLength(const TDPoint& P1, const TDPoint& P2, TPXUnits Units, double DpiX, double DpiY,
                      std::string& Text) {
  Text = MeasureText(MeasureLineLength(P1, P2, Units, DpiX, DpiY), Units, "");
}

double MeasureBoxArea(const TRect& Box, TPXUnits Units, bool Ellipse, double DpiX, double DpiY, double ScaleX,
                      double ScaleY) {
  double sx = 1, sy = 1;
  PixelSizeInUnits(Units, DpiX, DpiY, sx, sy);
  const double w = std::abs(double(Box.Right) - Box.Left) * sx / ScaleX;
  const double h = std::abs(double(Box.Bottom) - Box.Top) * sy / ScaleY;
  return Ellipse ? (w / 2) * (h / 2) * std::numbers::pi : w * h;
}

void FormatBoxArea(const TRect& Box, TPXUnits Units, bool Ellipse, double DpiX, double DpiY, double ScaleX,
                   double ScaleY, std::string& Text) {
  Text = MeasureText(MeasureBoxArea(Box, Units, Ellipse, DpiX, DpiY, ScaleX, ScaleY), Units, "\u00B2");
}

bool IsZeroDPoint(const TDPoint& P) { return P.X == 0 && P.Y == 0; }

void DrawLineEndShapeItem(TCanvas* Canvas, const TRect& Rect, bool Enabled, TPXLineEndShape Kind, TColor PenColor,
                          TColor BrushColor, bool ShowText) {
  if (!Canvas) return;
  Canvas->FillRect(Rect);
  const int32_t width = Rect.Right - Rect.Left, height = Rect.Bottom - Rect.Top;
  const int32_t a = std::min(2 * height, width - 10);
  std::string caption;
  switch (Kind) {
    case 0: caption = GetLanguageWord(707); break;
    case 1: caption = GetLanguageWord(748); break;
    case 2: caption = GetLanguageWord(749); break;
    case 3: caption = GetLanguageWord(750); break;
    case 4: caption = GetLanguageWord(748) + " 2"; break;
    case 5: caption = GetLanguageWord(751); break;
    case 6: caption = GetLanguageWord(752); break;
    case 7: caption = GetLanguageWord(753); break;
    default: break;
  }
  if (!Enabled) {
    PenColor = clGrayText;
    BrushColor = clGrayText;
    Canvas->Font()->SetColor(clGrayText);
  }
  const int32_t y = Rect.Top + height / 2;
  const int32_t x0 = Rect.Left + 6;
  int32_t x1 = ShowText ? Rect.Left + a - 4 : Rect.Right - 6;
  if (Kind == 2 || Kind == 3) x1 -= a / 4;
  if (ShowText) Canvas->TextOut(Rect.Left + a + 4, Rect.Top + (height - Canvas->TextHeight(caption)) / 2, caption);
  TPXCanvas canvas(Canvas, true, true);
  canvas.Pen()->SetStyle(psSolid);
  canvas.Pen()->SetColor(PenColor);
  canvas.Pen()->SetWidth(1);
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(BrushColor);
  canvas.MoveTo(x0, y);
  canvas.LineTo(x1, y);
  TPXLineEndShapeRecord outline;
  DrawLineEndShape(&canvas, x0, y, x1, y, Kind, a / 2 - 2, 1, 1, outline);
}
