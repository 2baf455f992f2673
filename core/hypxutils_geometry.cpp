// Plane geometry shared by the view, the layers, the vector objects and the processing engine:
// fitting a picture into a box, angles, rotation, point lists, hit distances and arcs.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/hypxutils.h"

namespace {

constexpr double kPi = std::numbers::pi;

// cos and sin of the screen convention's angle: -Angle degrees in radians.
struct TTurn {
  double c, s;
  explicit TTurn(double Angle) {
    const double a = -Angle * kPi / 180;
    c = std::cos(a);
    s = std::sin(a);
  }
};

inline int32_t RoundI(double V) { return Round32(V); }
inline int32_t TruncI(double V) { return Trunc32(V); }

// Distance from (X, Y) to the segment (X1, Y1)-(X2, Y2), in doubles.
double SegmentDistance(double X, double Y, double X1, double Y1, double X2, double Y2) {
  const double dx = X2 - X1, dy = Y2 - Y1;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((X - X1) * dx + (Y - Y1) * dy) / len2 : 0;
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return std::hypot(X - (X1 + t * dx), Y - (Y1 + t * dy));
}

// Scaling by the first axis (A) of the fit rule; the second axis (B) follows.
void FitScale(double SourceA, double SourceB, double BoxA, double BoxB, bool AllowEnlarge, bool AllowShrink,
              double CropPercent, int32_t& A, int32_t& B) {
  const bool allowed = BoxA < SourceA ? AllowShrink : AllowEnlarge;
  if (!allowed) {
    A = static_cast<int32_t>(SourceA);
    B = static_cast<int32_t>(SourceB);
    return;
  }
  double s;
  if (CropPercent <= 0) {
    s = BoxA / SourceA;
  } else {
    s = CropPercent >= 100 ? 1000 : BoxA / ((100 - CropPercent) * SourceA / 100);
    if (Round(SourceB * s) > BoxB) s = BoxB / SourceB;
  }
  A = RoundI(SourceA * s);
  B = RoundI(SourceB * s);
}

// Even-odd test of (X, Y) against N vertices given by Vertex(i).
template <class VertexFn>
bool EvenOdd(double X, double Y, int32_t Count, VertexFn Vertex) {
  bool inside = false;
  if (Count < 1) return false;
  TDPoint pj = Vertex(Count - 1);
  for (int32_t i = 0; i < Count; ++i) {
    const TDPoint pi = Vertex(i);
    const bool spans = (pi.Y <= Y && Y < pj.Y) || (pj.Y <= Y && Y < pi.Y);
    if (spans && X < pi.X + (pj.X - pi.X) * (Y - pi.Y) / (pj.Y - pi.Y)) inside = !inside;
    pj = pi;
  }
  return inside;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Fitting

void CalcFitRect(int32_t SourceWidth, int32_t SourceHeight, int32_t BoxWidth, int32_t BoxHeight, int32_t BoxLeft,
                 int32_t BoxTop, bool AllowEnlarge, bool AllowShrink, bool CenterH, bool CenterV,
                 double CropPercent, bool Fill, TRect& Rect) {
  if (SourceWidth <= 0 || SourceHeight <= 0 || BoxWidth <= 0 || BoxHeight <= 0) {
    Rect = TRect(BoxLeft, BoxTop, BoxLeft, BoxTop);  // empty, at the box's origin
    return;
  }
  const double sw = SourceWidth, sh = SourceHeight, bw = BoxWidth, bh = BoxHeight;
  const bool wider = sw / bw > sh / bh;
  int32_t w, h;
  if (Fill == wider) FitScale(sh, sw, bh, bw, AllowEnlarge, AllowShrink, CropPercent, h, w);
  else FitScale(sw, sh, bw, bh, AllowEnlarge, AllowShrink, CropPercent, w, h);
  Rect.Left = BoxLeft + (CenterH ? TruncI(bw / 2 - w / 2.0) : 0);
  Rect.Top = BoxTop + (CenterV ? TruncI(bh / 2 - h / 2.0) : 0);
  Rect.Right = Rect.Left + w;
  Rect.Bottom = Rect.Top + h;
}

void CalcFitRect(int32_t SourceWidth, int32_t SourceHeight, const TRect& Box, bool AllowEnlarge, bool AllowShrink,
                 bool CenterH, bool CenterV, double CropPercent, bool Fill, TRect& Rect) {
  CalcFitRect(SourceWidth, SourceHeight, Box.Width(), Box.Height(), Box.Left, Box.Top, AllowEnlarge, AllowShrink,
              CenterH, CenterV, CropPercent, Fill, Rect);
}

void CalcFitSize(int32_t SourceWidth, int32_t SourceHeight, int32_t BoxWidth, int32_t BoxHeight, bool Fill,
                 bool AllowEnlarge, int32_t& Width, int32_t& Height) {
  TRect r;
  CalcFitRect(SourceWidth, SourceHeight, BoxWidth, BoxHeight, 0, 0, AllowEnlarge, true, false, false, 0, Fill, r);
  Width = r.Width();
  Height = r.Height();
}

void FitRectInPlace(int32_t SourceWidth, int32_t SourceHeight, int32_t& Left, int32_t& Top, int32_t& Width,
                    int32_t& Height, bool AllowEnlarge, bool AllowShrink, bool CenterH, bool CenterV,
                    double CropPercent, bool Fill) {
  TRect r;
  CalcFitRect(SourceWidth, SourceHeight, TRect(Left, Top, Left + Width, Top + Height), AllowEnlarge, AllowShrink,
              CenterH, CenterV, CropPercent, Fill, r);
  Left = r.Left;
  Top = r.Top;
  Width = r.Width();
  Height = r.Height();
}

void FitSizeKeepAspect(int32_t Width, int32_t Height, int32_t MaxWidth, int32_t MaxHeight, int32_t& NewWidth,
                       int32_t& NewHeight) {
  if (Width == 0 || Height == 0) return;
  const double x = MinFloat(static_cast<double>(MaxHeight) / Height, static_cast<double>(MaxWidth) / Width);
  NewWidth = IntMax(1, TruncI(Width * x));
  NewHeight = IntMax(1, TruncI(Height * x));
}

void CalcThumbnailFillSize(int32_t Width, int32_t Height, int32_t BoxWidth, int32_t BoxHeight, double CropPercent,
                           int32_t& ScaledWidth, int32_t& ScaledHeight, int32_t& VisibleWidth,
                           int32_t& VisibleHeight) {
  if (CropPercent > 100) CropPercent = 100;
  if (Width <= 0 || Height <= 0 || BoxWidth <= 0 || BoxHeight <= 0) {
    ScaledWidth = ScaledHeight = VisibleWidth = VisibleHeight = 0;
    return;
  }
  const bool wider = static_cast<double>(Width) / BoxWidth > static_cast<double>(Height) / BoxHeight;
  // A: the axis the picture is relatively longer in.
  const double a = wider ? Width : Height, b = wider ? Height : Width;
  const double boxA = wider ? BoxWidth : BoxHeight, boxB = wider ? BoxHeight : BoxWidth;
  double s;
  if (CropPercent <= 0) {
    s = boxA / a;
  } else {
    s = CropPercent >= 100 ? 1000 : boxA / ((100 - CropPercent) * a / 100);
    if (Round(b * s) > boxB) s = boxB / b;
  }
  const int32_t sa = RoundI(a * s), sb = RoundI(b * s);
  ScaledWidth = wider ? sa : sb;
  ScaledHeight = wider ? sb : sa;
  if (CropPercent <= 0) {
    VisibleWidth = ScaledWidth;
    VisibleHeight = ScaledHeight;
  } else {
    VisibleWidth = IntMin(BoxWidth, ScaledWidth);
    VisibleHeight = IntMin(BoxHeight, ScaledHeight);
  }
}

// ---------------------------------------------------------------------------------------------
// Angles

double DegreesToRadians(double X) { return X * kPi / 180; }
double RadiansToDegrees(double X) { return X * 180 / kPi; }

void NormalizeAngle360F(double& X) {
  if (!std::isfinite(X)) {
    X = 0;
    return;
  }
  X = std::fmod(X, 360.0);
  if (X < 0) X += 360;
  if (X >= 360) X = 0;  // a tiny negative value rounds up to 360
}

void NormalizeAngle360(int32_t& X) {
  X %= 360;
  if (X < 0) X += 360;
}

void NormalizeAngle180F(double& X) {
  if (!std::isfinite(X)) {
    X = 0;
    return;
  }
  X = std::fmod(X, 360.0);
  if (X > 180) X -= 360;
  else if (X < -180) X += 360;
}

void NormalizeAngle180(int32_t& X) {
  X %= 360;
  if (X > 180) X -= 360;
  else if (X < -180) X += 360;
}

double NegateAngle(double X) {
  double r = -X;
  NormalizeAngle180F(r);
  return r;
}

double WrapAngleKeepSign(double X) {
  const double r = X - 360 * std::floor(X / 360);
  return X >= 0 ? r : r - 360;
}

double ArcCosGuarded(double X) {
  if (std::isnan(X)) return 0;
  return std::acos(X < -1 ? -1 : (X > 1 ? 1 : X));
}

double VectorAngleTerm(double PX, double PY, double QX, double QY, double RX, double RY) {
  const double ux = QX - RX, uy = QY - RY, vx = PX - QX, vy = PY - QY;
  const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
  if (lu == 0 || lv == 0) return 0;
  return ArcCosGuarded((ux * vx + uy * vy) / (lu * lv));
}

double PointAngle(double X1, double Y1, double X2, double Y2) {
  // Screen y points down, so "up" is Y1 - Y2.
  double a = std::atan2(Y1 - Y2, X2 - X1);
  if (std::isnan(a)) return 0;
  if (a < 0) a += 2 * kPi;
  if (a >= 2 * kPi) a = 0;
  return a;
}

int32_t TurnDirection(const TPoint& P0, const TPoint& P1, const TPoint& P2) {
  const int64_t dx1 = int64_t{P1.X} - P0.X, dy1 = int64_t{P1.Y} - P0.Y;
  const int64_t dx2 = int64_t{P2.X} - P0.X, dy2 = int64_t{P2.Y} - P0.Y;
  const int64_t a = dx1 * dy2, b = dy1 * dx2;
  if (a > b) return 1;
  if (a < b) return -1;
  if (dx1 * dx2 < 0 || dy1 * dy2 < 0) return -1;  // P0 lies between
  if (dx1 * dx1 + dy1 * dy1 < dx2 * dx2 + dy2 * dy2) return 1;
  return 0;
}

double AngleAtVertex(const TPoint& P0, const TPoint& P1, const TPoint& P2) {
  auto side = [](const TPoint& A, const TPoint& B) {
    const double d = std::hypot(double(B.X) - A.X, double(B.Y) - A.Y);
    return d == 0 ? 1.0 : d;
  };
  const double s1 = side(P1, P2), s2 = side(P0, P2), s3 = side(P0, P1);
  const double a = ArcCosGuarded((s1 * s1 + s3 * s3 - s2 * s2) / (2 * s1 * s3));
  return TurnDirection(P0, P1, P2) == -1 ? 2 * kPi - a : a;
}

int32_t BilinearInterpolate(int32_t V00, int32_t V10, int32_t V01, int32_t V11, double X, double Y) {
  const double fx = X - std::floor(X), fy = Y - std::floor(Y);
  return TruncI((1 - fy) * ((1 - fx) * V00 + fx * V10) + fy * ((1 - fx) * V01 + fx * V11));
}

// ---------------------------------------------------------------------------------------------
// Rotation

void RotatePoint(int32_t& X, int32_t& Y, int32_t CX, int32_t CY, double Angle) {
  const TTurn t(Angle);
  const double dx = double(X) - CX, dy = double(Y) - CY;
  X = RoundI(CX + std::nearbyint(t.c * dx - t.s * dy));
  Y = RoundI(CY + std::nearbyint(dx * t.s + dy * t.c));
}

void RotatePointInt(int32_t& X, int32_t& Y, int32_t CX, int32_t CY, double Angle) {
  const TTurn t(Angle);
  const double dx = double(X) - CX, dy = double(Y) - CY;
  X = TruncI(CX + std::trunc(t.c * dx - t.s * dy));
  Y = TruncI(CY + std::trunc(dx * t.s + dy * t.c));
}

void RotatePoints(TPoint* Points, int32_t Count, int32_t CX, int32_t CY, double Angle) {
  const TTurn t(Angle);
  for (int32_t i = 0; i < Count; ++i) {
    const double dx = double(Points[i].X) - CX, dy = double(Points[i].Y) - CY;
    Points[i].X = RoundI(CX + std::nearbyint(t.c * dx - t.s * dy));
    Points[i].Y = RoundI(CY + std::nearbyint(dx * t.s + dy * t.c));
  }
}

void RotatePointF(double& X, double& Y, double CX, double CY, double Angle) {
  const TTurn t(Angle);
  const double dx = X - CX, dy = Y - CY;
  X = CX + t.c * dx - t.s * dy;
  Y = CY + dx * t.s + dy * t.c;
}

void RotatePointsF(TDPoint* Points, int32_t Count, double CX, double CY, double Angle) {
  const TTurn t(Angle);
  for (int32_t i = 0; i < Count; ++i) {
    const double dx = Points[i].X - CX, dy = Points[i].Y - CY;
    Points[i].X = CX + t.c * dx - t.s * dy;
    Points[i].Y = CY + dx * t.s + dy * t.c;
  }
}

void RotatePointsAroundCentroidF(TDPoint* Points, int32_t Count, double Angle) {
  TDPoint c;
  PolygonCentroid(Points, Count, c);
  RotatePointsF(Points, Count, c.X, c.Y, Angle);
}

void RotateSegmentAboutMidpointF(const TDPoint& P1, const TDPoint& P2, double Angle, TDPoint& Q1, TDPoint& Q2) {
  const double cx = (P1.X + P2.X) / 2, cy = (P1.Y + P2.Y) / 2;
  TDPoint a = P1, b = P2;
  RotatePointF(a.X, a.Y, cx, cy, Angle);
  RotatePointF(b.X, b.Y, cx, cy, Angle);
  Q1 = a;
  Q2 = b;
}

void RotatedBoxSize(double W, double H, double Angle, int32_t& Width, int32_t& Height) {
  const TTurn t(Angle);
  Width = TruncI(std::fabs(W * t.c) + std::fabs(H * t.s));
  Height = TruncI(std::fabs(W * t.s) + std::fabs(H * t.c));
}

int32_t RotatedBoxWidth(double W, double H, double Angle) {
  int32_t w, h;
  RotatedBoxSize(W, H, Angle, w, h);
  return w;
}

int32_t RotatedBoxHeight(double W, double H, double Angle) {
  int32_t w, h;
  RotatedBoxSize(W, H, Angle, w, h);
  return h;
}

void RotatedRectBounds(const TDRect& Rect, double CX, double CY, double Angle, TDRect& Bounds) {
  TDPoint c[4] = {{Rect.Left, Rect.Top}, {Rect.Right, Rect.Top}, {Rect.Right, Rect.Bottom}, {Rect.Left, Rect.Bottom}};
  RotatePointsF(c, 4, CX, CY, Angle);
  Bounds = {c[0].X, c[0].Y, c[0].X, c[0].Y};
  for (const TDPoint& p : c) {
    Bounds.Left = std::min(Bounds.Left, p.X);
    Bounds.Top = std::min(Bounds.Top, p.Y);
    Bounds.Right = std::max(Bounds.Right, p.X);
    Bounds.Bottom = std::max(Bounds.Bottom, p.Y);
  }
}

void RotatedRectSize(int32_t Width, int32_t Height, const TDPoint& Centre, double Angle, int32_t& NewWidth,
                     int32_t& NewHeight) {
  TDRect b;
  RotatedRectBounds({0, 0, Width - 1.0, Height - 1.0}, Centre.X, Centre.Y, Angle, b);
  NewWidth = RoundI(b.Right - b.Left + 1);
  NewHeight = RoundI(b.Bottom - b.Top + 1);
}

void RotatedSizeF(double Width, double Height, double Angle, double& NewWidth, double& NewHeight) {
  TDRect b;
  RotatedRectBounds({0, 0, Width - 1, Height - 1}, (Width - 1) / 2, (Height - 1) / 2, Angle, b);
  NewWidth = b.Right - b.Left + 1;
  NewHeight = b.Bottom - b.Top + 1;
}

double RotatedAspectRatio(double Angle, double Ratio) {
  if (Ratio == 0 || Round(Angle) % 180 == 0) return Ratio;
  if (Angle == 90 || Angle == 270) return 1 / Ratio;
  int32_t w, h;
  RotatedRectSize(RoundI(Ratio * 1000), 1000, TDPoint{0, 0}, Angle, w, h);
  return h == 0 ? Ratio : static_cast<double>(w) / h;
}

void PolarOffset(const TPoint& Src, TPoint& Dst, double Angle, double Distance) {
  const TTurn t(Angle);
  Dst.X = Src.X + TruncI(t.c * Distance);
  Dst.Y = Src.Y + TruncI(t.s * Distance);
}

void EllipsePoint(const TPoint& Centre, TPoint& P, double Angle, double RadiusX, double RadiusY) {
  const TTurn t(Angle);
  P.X = Centre.X + TruncI(t.c * RadiusX);
  P.Y = Centre.Y + TruncI(t.s * RadiusY);
}

void EllipsePointF(const TDPoint& Centre, TDPoint& P, double Angle, double RadiusX, double RadiusY) {
  const TTurn t(Angle);
  P.X = Centre.X + t.c * RadiusX;
  P.Y = Centre.Y + t.s * RadiusY;
}

void RotatedExtent(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Angle, TPoint& Size) {
  const double w = double(X1) - X2, h = double(Y1) - Y2;
  const double a = -Angle * kPi / 180;
  const double c = std::cos(a), s = std::sin(a);
  Size = TPoint(Trunc32(std::fabs(c * w) + std::fabs(s * h)), Trunc32(std::fabs(s * w) + std::fabs(c * h)));
}

void LineEndsInRectAtAngle(const TRect& Rect, int32_t Angle, TPoint& P1, TPoint& P2) {
  if (Rect.Right < Rect.Left || Rect.Bottom < Rect.Top) {
    P1 = P2 = TPoint(-1, -1);
    return;
  }
  const double cx = (double(Rect.Left) + Rect.Right) / 2, cy = (double(Rect.Top) + Rect.Bottom) / 2;
  const double hw = (double(Rect.Right) - Rect.Left) / 2, hh = (double(Rect.Bottom) - Rect.Top) / 2;
  const TTurn t(Angle);
  // Axis-exact directions for the right angles, so that the points land on the sides.
  double c = t.c, s = t.s;
  switch (((Angle % 360) + 360) % 360) {
    case 0: c = 1, s = 0; break;
    case 90: c = 0, s = -1; break;
    case 180: c = -1, s = 0; break;
    case 270: c = 0, s = 1; break;
    default: break;
  }
  // The distance from the centre to the border along (c, s); P2 lies in the direction Angle.
  double d = std::numeric_limits<double>::infinity();
  if (c != 0) d = std::min(d, hw / std::fabs(c));
  if (s != 0) d = std::min(d, hh / std::fabs(s));
  P2 = TPoint(RoundI(cx + c * d), RoundI(cy + s * d));
  P1 = TPoint(RoundI(cx - c * d), RoundI(cy - s * d));
}

// ---------------------------------------------------------------------------------------------
// Point sets

void PolygonCentroid(const TDPoint* Points, int32_t Count, TDPoint& Centroid) {
  double a2 = 0, sx = 0, sy = 0;
  for (int32_t i = 0; i < Count; ++i) {
    const TDPoint& p = Points[i];
    const TDPoint& q = Points[(i + 1) % Count];
    const double cross = p.X * q.Y - q.X * p.Y;
    a2 += cross;
    sx += (p.X + q.X) * cross;
    sy += (p.Y + q.Y) * cross;
  }
  if (a2 == 0) {
    Centroid = TDPoint{0, 0};
    return;
  }
  Centroid = TDPoint{sx / (3 * a2), sy / (3 * a2)};
}

namespace {

// The largest and smallest coordinates of the points; marker coordinates do not count towards
// the largest.
template <class P, class V>
void BoundsOf(const P* Points, int32_t Count, V& MaxX, V& MaxY, V& MinX, V& MinY) {
  if (Count < 1) {
    MaxX = MaxY = MinX = MinY = 0;
    return;
  }
  MaxX = MaxY = static_cast<V>(-2147483647);
  MinX = MinY = static_cast<V>(2147483647);
  for (int32_t i = 0; i < Count; ++i) {
    const P& p = Points[i];
    if (p.X != PXPointMarker) MaxX = std::max<V>(MaxX, p.X);
    if (p.Y != PXPointMarker) MaxY = std::max<V>(MaxY, p.Y);
    MinX = std::min<V>(MinX, p.X);
    MinY = std::min<V>(MinY, p.Y);
  }
}

}  // namespace

void PointsBounds(const TPoint* Points, int32_t Count, int32_t& MaxX, int32_t& MaxY, int32_t& MinX,
                  int32_t& MinY) {
  BoundsOf(Points, Count, MaxX, MaxY, MinX, MinY);
}

void PointsBoundsF(const TDPoint* Points, int32_t Count, double& MaxX, double& MaxY, double& MinX, double& MinY) {
  BoundsOf(Points, Count, MaxX, MaxY, MinX, MinY);
}

void ScalePointsToRect(TPoint* Points, int32_t Count, const TRect& Rect, bool KeepAspect) {
  if (Count < 1) return;
  int32_t maxX, maxY, minX, minY;
  PointsBounds(Points, Count, maxX, maxY, minX, minY);
  const double sw = double(maxX) - minX, sh = double(maxY) - minY;
  const double tw = double(Rect.Right) - Rect.Left, th = double(Rect.Bottom) - Rect.Top;
  double fx = (sw == 0 || tw == 0) ? 1 : tw / sw;
  double fy = (sh == 0 || th == 0) ? 1 : th / sh;
  int32_t ox = Rect.Left, oy = Rect.Top;
  if (KeepAspect) {
    const double f = std::min(fx, fy);
    if (fx > f) ox += (TruncI(tw) - RoundI(sw * f)) / 2;
    if (fy > f) oy += (TruncI(th) - RoundI(sh * f)) / 2;
    fx = fy = f;
  }
  for (int32_t i = 0; i < Count; ++i) {
    TPoint& p = Points[i];
    if (p.X != PXPointMarker) p.X = ox + RoundI((double(p.X) - minX) * fx);
    if (p.Y != PXPointMarker) p.Y = oy + RoundI((double(p.Y) - minY) * fy);
  }
}

void ScalePointsToRectF(TDPoint* Points, int32_t Count, const TDRect& Rect, bool KeepAspect) {
  if (Count < 1) return;
  double maxX, maxY, minX, minY;
  PointsBoundsF(Points, Count, maxX, maxY, minX, minY);
  const double sw = maxX - minX, sh = maxY - minY;
  const double tw = Rect.Right - Rect.Left, th = Rect.Bottom - Rect.Top;
  double fx = (sw == 0 || tw == 0) ? 1 : tw / sw;
  double fy = (sh == 0 || th == 0) ? 1 : th / sh;
  double ox = Rect.Left, oy = Rect.Top;
  if (KeepAspect) {
    const double f = std::min(fx, fy);
    if (fx > f) ox += (tw - sw * f) / 2;
    if (fy > f) oy += (th - sh * f) / 2;
    fx = fy = f;
  }
  for (int32_t i = 0; i < Count; ++i) {
    TDPoint& p = Points[i];
    if (p.X != PXPointMarker) p.X = ox + (p.X - minX) * fx;
    if (p.Y != PXPointMarker) p.Y = oy + (p.Y - minY) * fy;
  }
}

bool PointInPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count) {
  return EvenOdd(X, Y, Count, [Points](int32_t i) { return TDPoint{double(Points[i].X), double(Points[i].Y)}; });
}

bool PointInPolygonF(double X, double Y, const TDPoint* Points, int32_t Count) {
  return EvenOdd(X, Y, Count, [Points](int32_t i) { return Points[i]; });
}

bool PointInScaledPolygon(int32_t X, int32_t Y, const TPoint* Points, int32_t Count, double ScaleX, double ScaleY,
                          double OriginX, double OriginY, double OffsetX, double OffsetY) {
  return EvenOdd(X, Y, Count, [&](int32_t i) {
    return TDPoint{OffsetX + ScaleX * (Points[i].X - OriginX), OffsetY + ScaleY * (Points[i].Y - OriginY)};
  });
}

void CenterRectInBox(int32_t BoxLeft, int32_t BoxTop, int32_t BoxRight, int32_t BoxBottom, int32_t& Left,
                     int32_t& Top, int32_t& Right, int32_t& Bottom) {
  const int32_t w = Right - Left, h = Bottom - Top;
  Right = BoxLeft + (BoxRight - BoxLeft + w) / 2;
  Left = Right - w;
  Bottom = BoxTop + (BoxBottom - BoxTop + h) / 2;
  Top = Bottom - h;
}

void BezierPoints(const TPoint& P0, const TPoint& P1, const TPoint& P2, const TPoint& P3, TPXArrayOfTPoint& Points,
                  int32_t Count) {
  Points.clear();
  if (Count < 1) return;
  Points.reserve(static_cast<size_t>(Count));
  const double step = 1.0 / Count;
  double t = 0;
  for (int32_t i = 0; i < Count; ++i) {
    t += step;
    const double u = 1 - t;
    const double a = u * u * u, b = 3 * t * u * u, c = 3 * t * t * u, d = t * t * t;
    Points.push_back(TPoint(RoundI(a * P0.X + b * P1.X + c * P2.X + d * P3.X),
                            RoundI(a * P0.Y + b * P1.Y + c * P2.Y + d * P3.Y)));
  }
}

// ---------------------------------------------------------------------------------------------
// Distances and arcs

double DistanceToRectOutline(int32_t X, int32_t Y, const TRect& Rect, int32_t PenWidth, bool Filled) {
  if (PenWidth < 0) return 2147483647;
  double best = 2147483647;
  for (int32_t k = -PenWidth / 2; k <= PenWidth / 2; ++k) {
    const int32_t l = Rect.Left + k, t = Rect.Top + k, r = Rect.Right + k, b = Rect.Bottom + k;
    if (Filled && PointInRectCoords(X, Y, l, t, r, b)) return 0;
    best = std::min(best, PointToSegmentDistance(X, Y, l, t, r, t));
    best = std::min(best, PointToSegmentDistance(X, Y, r, t, r, b));
    best = std::min(best, PointToSegmentDistance(X, Y, r, b, l, b));
    best = std::min(best, PointToSegmentDistance(X, Y, l, b, l, t));
  }
  return best;
}

double DistanceToEllipseOutline(int32_t X, int32_t Y, const TRect& Rect, int32_t PenWidth, bool Filled) {
  double best = 2147483647;
  const double cx = (double(Rect.Left) + Rect.Right) / 2, cy = (double(Rect.Top) + Rect.Bottom) / 2;
  for (int32_t k = -PenWidth / 2; k <= PenWidth / 2; ++k) {
    const double rx = (double(Rect.Right) - Rect.Left) / 2 + k, ry = (double(Rect.Bottom) - Rect.Top) / 2 + k;
    double n = std::trunc(2 * kPi * std::min(rx, ry));
    if (!Filled) n = std::trunc(n / 8);
    // At least 2 samples; at most enough for a chord of about a pixel on any picture.
    const int32_t count = static_cast<int32_t>(std::clamp(n, 2.0, 65536.0));
    double px = cx + rx, py = cy;  // the sample at angle 0
    for (int32_t i = 1; i <= count; ++i) {
      const double a = 2 * kPi * i / count;
      const double qx = cx + rx * std::cos(a), qy = cy - ry * std::sin(a);
      if (Filled) best = std::min(best, std::trunc(SegmentDistance(X, Y, cx, cy, qx, qy)));
      else best = std::min(best, SegmentDistance(X, Y, px, py, qx, qy));
      px = qx;
      py = qy;
    }
  }
  return best;
}

double TriangleHeight(const TDPoint& P, const TDPoint& Q, const TDPoint& R) {
  const double base = std::hypot(R.X - Q.X, R.Y - Q.Y);
  if (base == 0) return 0;
  return std::fabs(2 * TriangleArea2(P, Q, R)) / base;
}

double TriangleArea2(const TDPoint& P, const TDPoint& Q, const TDPoint& R) {
  return ((Q.X - P.X) * (R.Y - P.Y) - (Q.Y - P.Y) * (R.X - P.X)) / 2;
}

void PerpendicularOffset(const TDPoint& P, const TDPoint& Q, const TDPoint& R, double& DX, double& DY) {
  // R minus its foot on the line PQ: perpendicular to PQ, as long as R's distance, towards R.
  const double ux = Q.X - P.X, uy = Q.Y - P.Y;
  const double len2 = ux * ux + uy * uy;
  if (len2 == 0) {
    DX = DY = 0;
    return;
  }
  const double t = ((R.X - P.X) * ux + (R.Y - P.Y) * uy) / len2;
  DX = R.X - (P.X + t * ux);
  DY = R.Y - (P.Y + t * uy);
}

void ProjectPointOnLine(const TDPoint& Point, const TDPoint& LinePoint, double Slope, TDPoint& Foot) {
  double dx = 1, dy = Slope;
  if (std::isinf(Slope)) dx = 0, dy = 1;  // a vertical line
  if (std::isnan(Slope)) {
    Foot = LinePoint;
    return;
  }
  const double t = ((Point.X - LinePoint.X) * dx + (Point.Y - LinePoint.Y) * dy) / (dx * dx + dy * dy);
  Foot = TDPoint{LinePoint.X + t * dx, LinePoint.Y + t * dy};
}

void ArcThroughPoints(const TDPoint& P1, const TDPoint& P2, double Bulge, double& StartAngle, double& Radius,
                      double& SweepAngle) {
  Radius = PointDistanceF(P1.X, P1.Y, P2.X, P2.Y) / 2;
  if (Radius == 0) return;
  // Angles are taken on coordinates scaled by 1000 and rounded, so nearly equal points agree.
  auto angle = [](double X1, double Y1, double X2, double Y2) {
    return RadiansToDegrees(PointAngle(double(Round(X1 * 1000)), double(Round(Y1 * 1000)), double(Round(X2 * 1000)),
                                       double(Round(Y2 * 1000))));
  };
  double cx = (P1.X + P2.X) / 2, cy = (P1.Y + P2.Y) / 2;
  double bulge = std::fabs(Bulge);
  if (bulge < 1e-6) bulge = 1e-6;  // 0 would put the centre at infinity: take a nearly straight arc
  if (bulge != 1) {
    const double g = DegreesToRadians(angle(P1.X, P1.Y, P2.X, P2.Y) + 90);
    const double m = bulge >= 1 ? -(bulge - 1) : (1 / bulge - 1) * 5 / 8;
    const double mx = std::cos(g) * Radius * m, my = std::sin(g) * Radius * m;
    if (Bulge > 0) cx += mx, cy -= my;
    else cx -= mx, cy += my;
    Radius = PointDistanceF(cx, cy, P1.X, P1.Y);
  }
  StartAngle = angle(cx, cy, P1.X, P1.Y);
  const double end = angle(cx, cy, P2.X, P2.Y);
  SweepAngle = end - StartAngle;
  if (Bulge >= 0 && SweepAngle <= 0) SweepAngle += 360;
  else if (Bulge < 0 && SweepAngle > 0) SweepAngle -= 360;
}

void ArcThroughIntPoints(const TPoint& P1, const TPoint& P2, double Bulge, double& StartAngle, double& Radius,
                         double& SweepAngle) {
  ArcThroughPoints(TDPoint{double(P1.X), double(P1.Y)}, TDPoint{double(P2.X), double(P2.Y)}, Bulge, StartAngle,
                   Radius, SweepAngle);
}

double PerspectiveAspectRatio(double CX, double CY, const TDPoint& Q1, const TDPoint& Q2, const TDPoint& Q4,
                              const TDPoint& Q3) {
  // Corners relative to the principal point, third homogeneous coordinate 1.
  struct V {
    double x, y, z;
  };
  auto rel = [&](const TDPoint& P) { return V{P.X - CX, P.Y - CY, 1}; };
  auto cross = [](const V& a, const V& b) {
    return V{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  };
  auto dot = [](const V& a, const V& b) { return a.x * b.x + a.y * b.y + a.z * b.z; };
  const V m1 = rel(Q1), m2 = rel(Q2), m3 = rel(Q3), m4 = rel(Q4);
  const V c14 = cross(m1, m4);
  const double k = dot(c14, m3) / dot(cross(m2, m4), m3);
  const double l = dot(c14, m2) / dot(cross(m3, m4), m2);
  if (std::isfinite(k) && std::isfinite(l) && k != 1 && l != 1) {
    const double sx = k * m2.x - m1.x, sy = k * m2.y - m1.y;
    const double tx = l * m3.x - m1.x, ty = l * m3.y - m1.y;
    const double f = -(sx * tx + sy * ty) / ((k - 1) * (l - 1));
    // f is the squared focal length: only a positive one describes a real view.
    if (f > 0 && std::isfinite(f)) {
      const double r2 = ((k - 1) * (k - 1) + sx * sx / f + sy * sy / f) / ((l - 1) * (l - 1) + tx * tx / f + ty * ty / f);
      if (r2 > 0 && std::isfinite(r2)) return std::sqrt(r2);
    }
  }
  const double h = PointDistanceF(Q1.X, Q1.Y, Q3.X, Q3.Y);
  return h == 0 ? 0 : PointDistanceF(Q1.X, Q1.Y, Q2.X, Q2.Y) / h;
}
