// PaintLineLayer: the layout of a line layer (its line box, the room for its end figures and
// its label, the size it needs) and its painting.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_linecommon.h"
#include "platform/gdi/Graphics.h"

namespace {

struct TInsets {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// Half-sizes of an end figure along (A) and across (B) the line; false for no figure.
bool FigureHalfSizes(uint8_t Kind, int32_t ShapeSize, double LW, double& A, double& B) {
  switch (Kind) {
    case 2:
    case 3:
      A = B = ShapeSize + LW / 2;
      return true;
    case 7:
      A = B = (ShapeSize + LW / 2) / 3;
      return true;
    case 6:
      B = ShapeSize + LW / 2;
      A = LW / 2;
      return true;
    case 1:
    case 4:
    case 5:
      B = ShapeSize + LW / 2;
      A = ShapeSize / 2.0 + LW / 2;
      return true;
    default:
      return false;
  }
}

// Everything the inset step reads.
struct TLayoutState {
  int32_t Angle = 0;
  int32_t L0 = 0, T0 = 0, W0 = 0, H0 = 0;
  double LW = 0;
  int32_t ShapeSize = 0;
  bool HasLabel = false;
  bool Inline = false;
  uint8_t Position = 0;
  int32_t TextAngle = 0;
  int32_t LabelW = 0, LabelH = 0, LabelH0 = 0;
  bool LabelLeft = false, LabelUp = false;  // the label's side (at an end)
  bool StartLeft = false, StartUp = false;  // where the start point lies
};

// The room the figures (and with WithLabel the label) need around the line box; answers
// whether it fits into the box.
bool ComputeInsets(const TLayoutState& S, uint8_t StartShape, uint8_t EndShape, bool WithLabel, TInsets& In) {
  In = TInsets{};
  TPoint p1, p2;
  LineEndsInRectAtAngle(TRect(S.L0, S.T0, S.L0 + S.W0, S.T0 + S.H0), S.Angle, p1, p2);
  const double sx = std::abs(p1.X - p2.X), sy = std::abs(p1.Y - p2.Y);
  const double t = (-S.Angle - 180) * std::numbers::pi / 180;
  auto figure = [&](uint8_t Kind, bool Left, bool Up) {
    double a = 0, b = 0;
    if (!FigureHalfSizes(Kind, S.ShapeSize, S.LW, a, b)) return;
    const double ex = std::fabs(std::cos(t) * a) + std::fabs(std::sin(t) * b);
    const double ey = std::fabs(std::sin(t) * a) + std::fabs(std::cos(t) * b);
    if (sx >= ex && sx >= S.LabelW) {
      (Left ? In.Left : In.Right) += Round32(ex / 2 + S.LW);
    } else {
      In.Left = std::max(In.Left, Trunc32(ex / 2 + S.LW / 2));
      In.Right = std::max(In.Right, int32_t(Ceil(ex / 2 + S.LW / 2)));
    }
    if (sy >= ey && sy >= S.LabelH) {
      (Up ? In.Top : In.Bottom) += Round32(ey / 2 + S.LW);
    } else {
      In.Top = std::max(In.Top, Trunc32(ey / 2 + S.LW / 2));
      In.Bottom = std::max(In.Bottom, int32_t(Ceil(ey / 2 + S.LW / 2)));
    }
  };
  figure(StartShape, S.StartLeft, S.StartUp);
  figure(EndShape, !S.StartLeft, !S.StartUp);
  if (WithLabel && S.HasLabel) {
    if (S.Inline) {
      TPoint ext;
      RotatedExtent(1, Round32(S.LW) + S.LabelH0, 0, 0, S.TextAngle, ext);
      bool f, g;
      if (S.Position == 3) {
        f = S.TextAngle < 181;
        g = S.TextAngle < 136 || S.Angle > 315;
      } else {
        f = S.TextAngle > 180;
        g = S.TextAngle >= 91 && S.Angle < 271;
      }
      (f ? In.Left : In.Right) += ext.X;
      (g ? In.Top : In.Bottom) += ext.Y;
    } else {
      if (sx >= S.LabelW) (S.LabelLeft ? In.Left : In.Right) += S.LabelW / 2;
      if (sy >= S.LabelH) (S.LabelUp ? In.Top : In.Bottom) += S.LabelH / 2;
    }
  }
  return S.W0 >= In.Left + In.Right && S.H0 >= In.Top + In.Bottom;
}

}  // namespace

void PaintLineLayer(TPXCanvas* Canvas, int32_t Left, int32_t Top, int32_t DestWidth, int32_t DestHeight,
                    double ScaleX, double ScaleY, int32_t Angle, TColor LineColor, int32_t LineWidth,
                    uint8_t StartShape, uint8_t EndShape, int32_t ShapeSize, TColor LineFillColor,
                    uint8_t LabelPosition, const std::string& LabelText, uint8_t LabelAlignment, TFont* Font,
                    uint8_t TextOverflow, uint8_t BorderShape, TColor LabelBorderColor, int32_t LabelBorderWidth,
                    double LabelBorderOpacity, TColor LabelFillColor, TColor LabelFillColor2,
                    uint8_t LabelFillGradient, double LabelFillOpacity, double HorzMargin, double VertMargin,
                    bool AntiAliasNow, bool AntiAlias, bool IsRuler, TPXUnits RulerUnits, double MeasureDpiX,
                    double MeasureDpiY, TDPoint& StartPoint, TDPoint& EndPoint, TRect& LabelRect,
                    TPoint& LabelOrigin, TPXLineEndShapeRecord& StartShapeRecord,
                    TPXLineEndShapeRecord& EndShapeRecord, TPXPointList& DrawnPoints,
                    TPXPointList& LabelShapePoints, uint8_t Mode, double RequestedLength, TPoint& OutSize) {
  (void)AntiAlias;
  TLayoutState s;
  s.L0 = Round32(Left / ScaleX);
  s.T0 = Round32(Top / ScaleY);
  s.W0 = Round32(DestWidth / ScaleX);
  s.H0 = Round32(DestHeight / ScaleY);
  const bool painting = Mode < 2;
  TCanvasStateScope state(painting ? Canvas : nullptr);
  if (painting) Canvas->SetSmoothingMode(AntiAliasNow ? 5 : 2);
  NormalizeAngle360(Angle);
  s.Angle = Angle;
  const bool sizeForLength = Mode == 2 && RequestedLength > 0;

  // The ruler's text: a placeholder of typical width for the layout, the real length later.
  std::string text = LabelText;
  if (IsRuler) {
    if (Mode != 2) {
      FormatLineLength(TDPoint{0, 0}, TDPoint{1000, 1000}, RulerUnits, MeasureDpiX, MeasureDpiY, text);
    } else if (sizeForLength && LabelPosition >= 3 && LabelPosition <= 6) {
      text = "|";
    } else if (IsZeroDPoint(StartPoint) && IsZeroDPoint(EndPoint)) {
      FormatLineLength(TDPoint{double(s.L0), double(s.T0)}, TDPoint{double(s.L0 + s.W0), double(s.T0 + s.H0)},
                       RulerUnits, MeasureDpiX, MeasureDpiY, text);
    } else {
      FormatLineLength(StartPoint, EndPoint, RulerUnits, MeasureDpiX, MeasureDpiY, text);
    }
  }

  s.HasLabel = !text.empty() && LabelPosition != 0;
  s.Inline = s.HasLabel && LabelPosition >= 3 && LabelPosition <= 6;
  bool autoPosition = false;
  if (LabelPosition == 5 || LabelPosition == 6) {
    bool u = Angle <= 90 || Angle > 270;
    if (LabelPosition == 6) u = !u;
    LabelPosition = u ? 3 : 4;
    autoPosition = true;
  }
  s.Position = LabelPosition;
  int32_t textAngle = 0;
  if (s.Inline) {
    textAngle = Angle;
    LabelBorderWidth = 0;
    LabelFillColor = clNone;
    LabelAlignment = 2;
  }
  s.TextAngle = textAngle;
  const int32_t quarter = Round32(textAngle / 90.0);
  const bool nearHorizontal = quarter == 0 || quarter == 2 || quarter == 4;
  s.LW = LineWidth > 0 ? std::max(LineWidth, 1) : 0;
  s.ShapeSize = ShapeSize;

  StartPoint = EndPoint = TDPoint{0, 0};
  LabelRect = TRect(0, 0, 0, 0);
  LabelOrigin = TPoint(0, 0);
  StartShapeRecord = TPXLineEndShapeRecord{};
  EndShapeRecord = TPXLineEndShapeRecord{};
  OutSize = TPoint(-1, -1);

  if (sizeForLength) {
    TPoint d;
    PolarOffset(TPoint(0, 0), d, Angle, RequestedLength);
    s.W0 = std::max(1, std::abs(d.X));
    s.H0 = std::max(1, std::abs(d.Y));
  }
  if (!s.Inline && LabelFillColor == clNone) LabelFillColor = 0xFFFFFF;
  if (LineFillColor == clNone) LineFillColor = 0xFFFFFF;

  TPXPointList scratch;
  if (s.HasLabel) {
    TRect textRect;
    TPoint size;
    DrawTextBox(Canvas, s.L0, s.T0, s.L0 + s.W0, s.T0 + s.H0, 1, 1, text, Font, LabelAlignment, 2, textAngle,
                TextOverflow, 0, 0, LabelBorderColor, LabelBorderWidth, LabelBorderOpacity, LabelFillColor,
                LabelFillColor2, LabelFillGradient, LabelFillOpacity, HorzMargin, VertMargin, 1, AntiAliasNow,
                BorderShape, 0, 0, textRect, LabelShapePoints, scratch, 2, size);
    s.LabelW = size.X;
    s.LabelH = size.Y;
    s.LabelH0 = size.Y;
    if (textAngle % 180 != 0) {
      DrawTextBox(Canvas, s.L0, s.T0, s.L0 + s.W0, s.T0 + s.H0, 1, 1, text, Font, LabelAlignment, 2, 0, TextOverflow,
                  0, 0, LabelBorderColor, LabelBorderWidth, LabelBorderOpacity, LabelFillColor, LabelFillColor2,
                  LabelFillGradient, LabelFillOpacity, HorzMargin, VertMargin, 1, AntiAliasNow, BorderShape, 0, 0,
                  textRect, LabelShapePoints, scratch, 2, size);
      s.LabelH0 = size.Y;
    }
    if (Mode != 2) {
      s.LabelW = std::min(s.LabelW, s.W0);
      s.LabelH = std::min(s.LabelH, s.H0);
    }
    // A label at an end takes that end's place.
    if (LabelPosition == 1) StartShape = 0;
    if (LabelPosition == 2) EndShape = 0;
  }

  s.StartLeft = Angle >= 90 && Angle < 270;
  s.StartUp = Angle < 180;
  s.LabelLeft = LabelPosition == 2 ? !s.StartLeft : s.StartLeft;
  s.LabelUp = LabelPosition == 2 ? !s.StartUp : s.StartUp;

  TInsets in;
  if (!ComputeInsets(s, StartShape, EndShape, true, in) && Mode != 2) {
    StartShape = EndShape = 0;
    ComputeInsets(s, 0, 0, true, in);
  }
  if (sizeForLength) {
    in = TInsets{};
  } else if (Mode == 2) {
    const int32_t lw = Round32(s.LW);
    if (s.W0 - in.Left - in.Right < lw) s.W0 = lw + in.Left + in.Right;
    if (s.H0 - in.Top - in.Bottom < lw) s.H0 = lw + in.Top + in.Bottom;
    ComputeInsets(s, 0, 0, true, in);
  }

  const TRect lineBox(s.L0 + in.Left, s.T0 + in.Top, s.L0 + s.W0 - in.Right, s.T0 + s.H0 - in.Bottom);
  if (lineBox.Right < lineBox.Left || lineBox.Bottom < lineBox.Top) return;
  TPoint a, b;
  LineEndsInRectAtAngle(lineBox, Angle, a, b);

  if (Mode == 2) {
    ComputeInsets(s, StartShape, EndShape, true, in);
    const int32_t minInline = Round32((s.LW + 1) * 3 + s.LabelH0);
    int32_t w = std::abs(a.X - b.X) + in.Left + in.Right;
    int32_t h = std::abs(a.Y - b.Y) + in.Top + in.Bottom;
    if (sizeForLength && !s.Inline) {
      w += s.LabelW / 2;
      h += s.LabelH / 2;
    }
    w = std::max(w, s.LabelW);
    h = std::max(h, s.LabelH);
    if (s.Inline && !nearHorizontal) w = std::max(w, minInline);
    if (s.Inline && nearHorizontal) h = std::max(h, minInline);
    OutSize = TPoint(w, h);
  }

  StartPoint = TDPoint{double(b.X), double(b.Y)};
  EndPoint = TDPoint{double(a.X), double(a.Y)};
  DrawnPoints.SetCount(2);
  DrawnPoints[0] = EndPoint;
  DrawnPoints[1] = StartPoint;
  if (!painting) return;

  // Painting, in target pixels.
  auto tx = [&](double X) { return Round32(X * ScaleX); };
  auto ty = [&](double Y) { return Round32(Y * ScaleY); };
  Canvas->Pen()->SetTransparency(255);
  Canvas->Brush()->SetTransparency(255);
  TPXPen* pen = Canvas->Pen();
  if (s.LW > 0 && LineColor != clNone) {
    pen->SetStyle(psSolid);
    pen->SetWidth(static_cast<float>(std::max<int64_t>(1, Round(std::min(ScaleX, ScaleY) * s.LW))));
    pen->SetColor(LineColor);
  } else {
    pen->SetStyle(psClear);
  }
  pen->SetMode(pmCopy);
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->DrawLineF(a.X * ScaleX, a.Y * ScaleY, b.X * ScaleX, b.Y * ScaleY);
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(LineFillColor);
  DrawLineEndShape(Canvas, tx(a.X), ty(a.Y), tx(b.X), ty(b.Y), StartShape, ShapeSize, ScaleX, ScaleY, StartShapeRecord);
  DrawLineEndShape(Canvas, tx(b.X), ty(b.Y), tx(a.X), ty(a.Y), EndShape, ShapeSize, ScaleX, ScaleY, EndShapeRecord);

  if (!s.HasLabel) return;
  if (IsRuler) FormatLineLength(StartPoint, EndPoint, RulerUnits, MeasureDpiX, MeasureDpiY, text);
  int32_t x, y, maxTextWidth = 0;
  if (s.Inline) {
    x = std::min(a.X, b.X) + (std::abs(a.X - b.X) - s.LabelW) / 2;
    y = std::min(a.Y, b.Y) + (std::abs(a.Y - b.Y) - s.LabelH) / 2;
    int32_t d = Round32(s.LabelH0 / 2.0 + s.LW);
    if (LabelPosition == 4) d = -d;
    const double r = -textAngle * std::numbers::pi / 180;
    x += Trunc32(std::sin(r) * d);
    y -= Trunc32(std::cos(r) * d);
    maxTextWidth = Trunc32(0.9 * std::hypot((a.X - b.X) * ScaleX, (a.Y - b.Y) * ScaleY));
  } else {
    x = s.LabelLeft ? std::min(a.X, b.X) - s.LabelW / 2 : std::max(a.X, b.X) - int32_t(Ceil(s.LabelW / 2.0));
    x = std::max(s.L0, std::min(x, s.L0 + s.W0 - s.LabelW));
    y = s.LabelUp ? std::min(a.Y, b.Y) - s.LabelH / 2 : std::max(a.Y, b.Y) - int32_t(Ceil(s.LabelH / 2.0));
    y = std::max(s.T0, std::min(y, s.T0 + s.H0 - s.LabelH));
  }
  // Lines pointing left keep their text upright.
  if (autoPosition && textAngle > 90 && textAngle <= 270) textAngle -= 180;

  TRect textRect;
  TPoint size;
  DrawTextBox(Canvas, Trunc32(x * ScaleX), Trunc32(y * ScaleY), Trunc32((x + s.LabelW) * ScaleX),
              Trunc32((y + s.LabelH) * ScaleY), ScaleX, ScaleY, text, Font, LabelAlignment, 2, textAngle, TextOverflow,
              0, maxTextWidth, LabelBorderColor, LabelBorderWidth, LabelBorderOpacity, LabelFillColor, LabelFillColor2,
              LabelFillGradient, LabelFillOpacity, HorzMargin, VertMargin, 0, AntiAliasNow, BorderShape, 0, 0, textRect,
              LabelShapePoints, scratch, Mode, size);
  LabelRect = s.Inline ? textRect : TRect(x, y, x + s.LabelW, y + s.LabelH);
  LabelOrigin = TPoint(textRect.Left, textRect.Top);
}
