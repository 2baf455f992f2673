// The named outlines: point tables, builders, the fitting of an outline into a box, names,
// preferred ratios, regions and the shape picker's item.
#include "layers/pxxCanvasUtils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/SysUtils.h"

namespace {

// One outline under construction in the unit square: the points appended, the count the builder
// announced, and what its arcs need.
class TOutline {
 public:
  TOutline(double FX, double FY) : fx(FX), fy(FY) {
    const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
    Divisor = std::max(1, settings ? settings->FShapeStepDivisor : 4);
  }

  double fx, fy;
  int32_t Divisor = 4;
  int32_t n = 1;  // the builder's arc step count
  bool Proportional = false;
  std::vector<TDPoint> Points;
  int32_t Allocated = 0;

  // Steps of a nominal K-degree arc, lowered so that Per * steps + Fixed stays within the most
  // points an outline may have.
  int32_t Steps(int32_t K, int32_t Per = 1, int32_t Fixed = 0) const {
    const int32_t steps = std::max(1, K / Divisor);
    return std::max(1, std::min(steps, (PXMaxShapePoints - Fixed) / Per));
  }
  void Alloc(int32_t Count) {
    if (Count > PXMaxShapePoints)
      throw EPXException(Format("Too many points to generate shape array (%d)", Count));
    Allocated = Count;
    Points.reserve(static_cast<size_t>(Count));
  }
  void P(double X, double Y) { Points.push_back(TDPoint{X, Y}); }
  void P(const TDPoint& Point) { Points.push_back(Point); }
  // K points along an ellipse of W x H on which the last point lies at angle From, up to From +
  // Sweep (degrees, counter-clockwise; negative sweeps run clockwise).
  void E(double W, double H, double Sweep, double From, int32_t K) {
    if (Sweep == 0 || Sweep > 360) throw EPXException("Unexpected SweepAngle");
    const TDPoint last = Points.empty() ? TDPoint{0, 0} : Points.back();
    TDPoint on;
    EllipsePointF(TDPoint{0, 0}, on, From, W / 2, H / 2);
    const TDPoint centre{last.X - on.X, last.Y - on.Y};
    for (int32_t i = 1; i <= K; ++i) {
      TDPoint p;
      EllipsePointF(centre, p, From + i * Sweep / K, W / 2, H / 2);
      Points.push_back(p);
    }
  }
  void E(double W, double H, double Sweep, double From) { E(W, H, Sweep, From, n); }
  // An arc from the last point to (X, Y) bent by Bulge; nothing between coinciding points.
  void A(double X, double Y, double Bulge, int32_t K) {
    const TDPoint last = Points.empty() ? TDPoint{0, 0} : Points.back();
    double start = 0, radius = 0, sweep = 0;
    ArcThroughPoints(last, TDPoint{X, Y}, Bulge, start, radius, sweep);
    if (radius > 0) E(2 * radius, 2 * radius, sweep, start, K);
  }
  void A(double X, double Y, double Bulge) { A(X, Y, Bulge, n); }
  void A(const TDPoint& To, double Bulge, int32_t K) { A(To.X, To.Y, Bulge, K); }
  void Check(const char* Message = "Unexpected point count (%d<>%d)") const {
    const int32_t count = static_cast<int32_t>(Points.size());
    if (count != Allocated) throw EPXException(Format(Message, count, Allocated));
  }
  void Table(std::initializer_list<TDPoint> Table) {
    Alloc(static_cast<int32_t>(Table.size()));
    for (const TDPoint& p : Table) P(p);
    Proportional = true;
  }
};

void BuildSectorOutline(TOutline& b, int32_t Sweep) {
  if (Sweep == 0) Sweep = 45;
  if (Sweep > 360) Sweep = 360;
  // A negative sweep (the ellipse segment's modifier) is one step, counter-clockwise.
  const int32_t n = Sweep < 0 ? 1 : std::max(1, Sweep / b.Divisor);
  b.Alloc(Sweep < 360 ? n + 2 : n + 1);
  b.P(0.5, 0);
  b.E(1, 1, -Sweep, 90, n);
  if (Sweep < 360) b.P(0.5, 0.5);
  b.Check();
}

void BuildRoundRectOutline(TOutline& b, double cx, double cy) {
  b.n = b.Steps(90, 4, 5);
  b.Alloc(4 * b.n + 5);
  b.P(cx/2, 0); b.P(1-cx/2, 0); b.E(cx, cy, -90, 90); b.P(1, 1-cy/2); b.E(cx, cy, -90, 0); b.P(cx/2, 1); b.E(cx, cy, -90, -90); b.P(0, cy/2); b.E(cx, cy, -90, -180);
  b.Check();
}

enum class TPolygonKind { Polygon, Star, Explosion };

void BuildPolygonOutline(TOutline& b, TPolygonKind Kind, int32_t N) {
  if (N <= 3) N = Kind == TPolygonKind::Explosion ? 12 : 10;
  if (N > 50) N = 50;
  static constexpr double kJitter[30] = {0.82, 0.74, 0.62, 0.99, 0.52, 0.43, 0.99, 0.46, 0.98, 0.7,
                                         0.56, 0.76, 0.95, 0.59, 0.35, 0.98, 0.84, 0.44, 0.72, 0.79,
                                         0.17, 0.96, 0.07, 0.84, 0.35, 0.58, 0.39, 0.55, 0.27, 0.62};
  const double R = 0.5;
  const int32_t count = Kind == TPolygonKind::Polygon ? N : Kind == TPolygonKind::Star ? 2 * N : 2 * N + 1;
  b.Alloc(count);
  for (int32_t i = 0; i < count; ++i) {
    double t = 0, r = R;
    if (Kind == TPolygonKind::Polygon) {
      t = 90 + i * 360.0 / N;
    } else {
      t = 270 + i * 180.0 / N;
      if (i % 2 == 0) r = R / 2;
      else if (Kind == TPolygonKind::Explosion) r = i % 4 == 3 ? R * (1 - kJitter[i % 30] / 20) : R * (0.85 - kJitter[i % 30] / 10);
    }
    TDPoint p;
    EllipsePointF(TDPoint{0.5, 0.5}, p, t, r, r);
    b.P(p);
  }
  b.Check();
}

void BuildHeartOutline(TOutline& b) {
  b.n = b.Steps(180, 2, 2);
  b.Alloc(2 * b.n + 2);
  b.P(0.1, 0.5); b.A(0.5, 0.2, -1); b.A(0.9, 0.5, -1); b.P(0.5, 1);
  b.Check();
}

void BuildDoubleHeartOutline(TOutline& b) {
  b.n = b.Steps(180, 4, 5);
  b.Alloc(4 * b.n + 5);
  b.P(0.05, 0.25); b.A(0.275, 0.125, -1); b.A(0.5, 0.25, -1); b.P(0.495, 0.26); b.A(0.625, 0.325, -2); b.A(0.85, 0.45, -1); b.P(0.625, 0.825); b.P(0.402, 0.434); b.P(0.275, 0.625);
  b.Check();
}

void BuildCloudOutline(TOutline& b, bool Thought) {
  b.n = Thought ? b.Steps(180, 15, 1) : b.Steps(180, 8, 1);
  b.Alloc(Thought ? 15 * b.n + 1 : 8 * b.n + 1);
  b.P(0.17, 0.4); b.A(0.35, 0.16, -1); b.A(0.63, 0.13, -1.6); b.A(0.91, 0.25, -1.4); b.A(0.94, 0.6, -1); b.A(0.65, 0.74, -1.5); b.A(0.36, 0.72, -1.5);
  if (!Thought) {
    b.A(0.22, 0.62, -1);
  } else {
    b.A(0.3, 0.75, -3); b.A(0.24, 0.82, -2); b.A(0.19, 0.91, -1.7); b.E(0.075, 0.075, -300, 30, 2*b.n); b.A(0.19, 0.8, -2); b.A(0.23, 0.69, -2); b.A(0.22, 0.62, -3);
  }
  b.A(0.17, 0.4, -1);
  b.Check();
}

void BuildMoonOutline(TOutline& b) {
  b.n = b.Steps(180, 2, 1);
  b.Alloc(2 * b.n + 1);
  b.P(0.5, 0); b.E(1, 1, -180, 90); b.E(0.5, 1, 180, -90);
  b.Check();
}

void BuildSpeechBubbleOutline(TOutline& b, bool Wide, bool TailIn) {
  b.n = b.Steps(90, 4, 8);
  const double cx = Wide ? b.fx / 10 : 0.6, cy = Wide ? b.fy / 10 : 0.6 * b.fy;
  const double B = Wide ? 0.5 : 0.6;
  const double e = std::max(cx / 2, 0.18);
  const double T = TailIn ? 0.45 : 0.08;
  b.Alloc(4 * b.n + 8);
  b.P(cx/2, 0); b.P(1-cx/2, 0); b.E(cx, cy, -90, 90); b.P(1, B-cy/2); b.E(cx, cy, -90, 0); b.P(e+0.12, B); b.P(T, 1); b.P(e, B); b.P(cx/2, B); b.E(cx, cy, -90, -90); b.P(0, cy/2); b.E(cx, cy, -90, -180);
  b.Check();
}

void BuildFrameOutline(TOutline& b, double tx, double ty) {
  b.Alloc(16);
  b.P(0, 0); b.P(1, 0); b.P(1-tx, ty); b.P(1-tx, 1-ty); b.P(1, 1); b.P(0, 1); b.P(tx, 1-ty); b.P(tx, ty); b.P(0, 0); b.P(0, 1); b.P(tx, 1-ty); b.P(1-tx, 1-ty); b.P(1, 1); b.P(1, 0); b.P(1-tx, ty); b.P(tx, ty);
  b.Check();
}

void BuildCircularFrameOutline(TOutline& b, double tx, double ty) {
  b.n = b.Steps(90, 8, 8);
  const double wi = 1 - 2 * tx, hi = 1 - 2 * ty;
  b.Alloc(8 * (b.n + 1));
  b.P(0.5, 0); b.E(1, 1, -90, 90); b.P(1-tx, 0.5); b.E(wi, hi, -90, 0); b.P(0.5, 1); b.E(1, 1, -90, 270); b.P(tx, 0.5); b.E(wi, hi, -90, 180); b.P(0.5, 0); b.E(1, 1, 90, 90); b.P(tx, 0.5); b.E(wi, hi, 90, 180); b.P(0.5, 1); b.E(1, 1, 90, 270); b.P(1-tx, 0.5); b.E(wi, hi, 90, 0);
  b.Check();
}

#define PX_SIMPLE_BUILDER(Name, K, Per, Fixed, Body) \
  void Name(TOutline& b) {                          \
    b.n = b.Steps(K, Per, Fixed);                   \
    b.Alloc(Per * b.n + Fixed);                     \
    Body b.Check();                                 \
  }

PX_SIMPLE_BUILDER(BuildPinOutline, 360, 1, 2, b.P(0.4, 0.6); b.E(0.6, 0.6, 355, 222.5); b.P(0, 1);)
PX_SIMPLE_BUILDER(BuildDropOutline, 180, 1, 2, b.P(0.15, 0.4); b.E(0.9, 0.6, 260, 140); b.P(0.5, 0);)
PX_SIMPLE_BUILDER(BuildBannerOutline, 180, 4, 2, b.P(0, 0.15); b.A(0.5, 0.15, 3); b.A(1, 0.15, -3); b.P(1, 0.85); b.A(0.5, 0.85, 3); b.A(0, 0.85, -3);)
PX_SIMPLE_BUILDER(BuildFemaleOutline, 180, 3, 21, b.P(0, 0.55); b.P(0.14, 0.29); b.A(0.27, 0.24, -4); b.P(0.45, 0.24); b.E(0.55, 0.24, -350, -99); b.P(0.73, 0.24); b.A(0.86, 0.29, -4); b.P(1, 0.55); b.P(0.88, 0.56); b.P(0.74, 0.33); b.P(0.71, 0.33); b.P(0.89, 0.68); b.P(0.71, 0.68); b.P(0.71, 1); b.P(0.52, 1); b.P(0.52, 0.68); b.P(0.48, 0.68); b.P(0.48, 1); b.P(0.29, 1); b.P(0.29, 0.68); b.P(0.11, 0.68); b.P(0.29, 0.33); b.P(0.26, 0.33); b.P(0.12, 0.56);)
PX_SIMPLE_BUILDER(BuildMaleOutline, 180, 3, 17, b.P(0, 0.6); b.P(0, 0.33); b.A(0.17, 0.24, -3); b.P(0.47, 0.24); b.E(0.66, 0.24, -350, -95); b.P(0.83, 0.24); b.A(1, 0.33, -3); b.P(1, 0.6); b.P(0.83, 0.6); b.P(0.83, 0.33); b.P(0.77, 0.33); b.P(0.77, 1); b.P(0.53, 1); b.P(0.53, 0.64); b.P(0.47, 0.64); b.P(0.47, 1); b.P(0.23, 1); b.P(0.23, 0.33); b.P(0.17, 0.33); b.P(0.17, 0.6);)
PX_SIMPLE_BUILDER(BuildMusicOutline, 280, 2, 6, b.P(0.99, 0.01); b.P(0.99, 0.68); b.E(0.41, 0.28, -300, 0); b.P(0.88, 0.2); b.P(0.43, 0.3); b.P(0.43, 0.86); b.E(0.41, 0.28, -300, 0); b.P(0.32, 0.15);)
PX_SIMPLE_BUILDER(BuildPowerOutline, 60, 14, 10, b.P(0, 0.92); b.A(0.39, 0.38, 3); b.P(0.27, 0.4); b.A(0.11, 0.31, -2); b.P(0.41, 0.28); b.A(0.4, 0.02, 4); b.A(0.66, 0.09, -3); b.P(0.63, 0.14); b.P(0.6, 0.25); b.P(0.75, 0.21); b.A(0.8, 0.21, -4); b.P(0.98, 0.32); b.A(0.98, 0.38, -3); b.A(0.93, 0.49, 3); b.P(0.89, 0.72); b.A(0.67, 1, -3); b.A(0.64, 0.97, -2.5); b.A(0.53, 0.77, 4); b.P(0.62, 0.81); b.A(0.67, 0.79, 3); b.A(0.75, 0.38, 4); b.A(0.72, 0.34, 3); b.P(0.57, 0.35); b.A(0, 0.92, -2.2);)
PX_SIMPLE_BUILDER(BuildRainbowOutline, 180, 2, 2, b.P(0, 1); b.E(1, 1, -180, 180); b.P(0.75, 1); b.E(0.5, 0.5, 180, 0);)
PX_SIMPLE_BUILDER(BuildHandOutline, 90, 7, 12, b.P(0, 0.26); b.P(0.24, 0.26); b.A(0.4, 0.12, -3); b.P(0.45, 0.12); b.A(0.6, 0.2, -2.5); b.P(1.03, 0.2); b.A(1.03, 0.4, -1); b.P(0.6, 0.4); b.P(0.72, 0.4); b.A(0.72, 0.59, -1); b.P(0.6, 0.59); b.P(0.69, 0.59); b.A(0.69, 0.78, -1); b.P(0.6, 0.78); b.P(0.67, 0.78); b.A(0.67, 0.97, -1); b.P(0.36, 0.97); b.A(0.23, 0.83, -5); b.P(0.04, 0.83);)

#undef PX_SIMPLE_BUILDER

void BuildCrownOutline(TOutline& b) {
  b.n = b.Steps(180, 11, 1);
  const double bx = b.fx / 10, by = b.fy / 10;
  b.Alloc(11 * b.n + 1);
  b.P(0.16, 1); b.A(0.06, 0.39, 4.5); b.E(bx, by, -350, 295); b.A(0.28, 0.36, 1.25); b.E(bx, by, -350, 285); b.A(0.48, 0.23, 1.5); b.E(2*bx, 2*by, -350, 265); b.A(0.72, 0.36, 1.5); b.E(bx, by, -350, 255); b.A(0.94, 0.39, 1.25); b.E(bx, by, -350, 245); b.A(0.84, 1, 4.5);
  b.Check();
}

void BuildShoppingTagOutline(TOutline& b) {
  b.n = b.Steps(90, 6, 5);
  const double hx = b.fx / 10, hy = b.fy / 10;
  b.Alloc(6 * b.n + 5);
  b.P(0, 0.5); b.A(0.175, 0, -3.5); b.P(1, 0); b.P(1, 1); b.P(0.175, 1); b.A(0, 0.5, -3.5); b.P(0.175, 0.5); b.E(hx, hy, -359.5, 180, 4*b.n);
  b.Check();
}

// Ray and petal counts that divide 360.
int32_t SnapShapeRayCount(int32_t Modifier) {
  if (Modifier < 2 || Modifier > 30) Modifier = 12;
  for (int32_t v : {3, 4, 5, 6, 8, 9, 10, 12, 15, 18, 20, 24, 30})
    if (v >= Modifier) return v;
  return 30;
}

struct TRadial {
  bool Radial, Rounded;
  double Outer, AltOuter, Spoke, Inner, Gap;
};

// Spokes of angular width Spoke around the centre, separated by gaps that follow a circle of
// radius Inner, their tips at Outer (every second at AltOuter when set).
void BuildRadialOutline(TOutline& b, const TRadial& r) {
  const double h = r.AltOuter != 0 ? r.AltOuter : r.Outer;
  const int32_t m = 360 / std::max<int32_t>(1, Trunc32(r.Spoke + r.Gap));
  int32_t gapSteps = std::max<int32_t>(1, Round32(r.Gap) / b.Divisor);
  int32_t tipSteps = r.Rounded ? std::max(1, 180 / b.Divisor) : 1;
  const int32_t fixed = r.Rounded ? 1 : 0;
  // Fewer steps where the outline would pass the most points: the tips' first, then the gaps'.
  while (fixed + m * (gapSteps + tipSteps + 2) > PXMaxShapePoints && (tipSteps > 1 || gapSteps > 1)) {
    const int32_t per = (PXMaxShapePoints - fixed) / m - 2;
    if (tipSteps > 1) tipSteps = std::max(1, per - gapSteps);
    else gapSteps = std::max(1, per - tipSteps);
  }
  b.Alloc(fixed + m * (gapSteps + tipSteps + 2));
  auto at = [&](double Angle, double Radius) {
    TDPoint p;
    EllipsePointF(TDPoint{0.5, 0.5}, p, Angle, Radius * b.fx, Radius * b.fy);
    return p;
  };
  double theta = r.Rounded ? -r.Gap / 2 : r.Spoke / 2;
  const double start = theta;
  int32_t k = 1;
  while (theta < start + 360) {
    const TDPoint I = at(theta, r.Inner);
    const double R = (k == 2 || k == 3) && theta < 360 - r.Spoke / 2 ? h : r.Outer;
    TDPoint T;
    if (r.Radial) {
      T = at(theta, R);
    } else {
      const double u = k == 1 || k == 3 ? theta - r.Spoke / 2 : theta + r.Spoke / 2;
      TDPoint d;
      EllipsePointF(TDPoint{0, 0}, d, u, (R - r.Inner) * b.fx, (R - r.Inner) * b.fy);
      T = TDPoint{I.X + d.X, I.Y + d.Y};
    }
    if (k == 1 || k == 3) {
      if (r.Rounded && !b.Points.empty()) b.A(T, 1, tipSteps);
      else b.P(T);
      b.P(I);
      theta += r.Gap;
    } else {
      b.E(2 * r.Inner * b.fx, 2 * r.Inner * b.fy, r.Gap, theta - r.Gap, gapSteps);
      b.P(T);
      theta += r.Spoke;
    }
    k = (k + 1) % 4;
  }
  if (r.Rounded && !b.Points.empty()) b.A(b.Points.front(), 1, tipSteps);
  b.Check("Unexpected point count (%d<>%d))");
}

constexpr double kNoRatio = 0;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Names and ratios

std::string ShapeDisplayName(TPXShape Shape) {
  static constexpr const char* kNames[100] = {
      "Ellipse",
      "Half Ellipse",
      "Quarter Ellipse",
      "Ellipse Segment",
      "Rectangle",
      "Round Rectangle",
      "Triangle",
      "Corner",
      "Diamond",
      "Pentagon",
      "Hexagon",
      "Heptagon",
      "Octagon",
      "Custom Shape",
      "5-Point Star",
      "6-Point Star",
      "Custom Star",
      "Arrow Left",
      "Arrow Right",
      "Arrow Up",
      "Arrow Down",
      "Arrow Left and Right",
      "Arrow Up and Down",
      "Arrow NW",
      "Arrow NE",
      "Arrow SW",
      "Arrow SE",
      "Fat Arrow Left",
      "Fat Arrow Right",
      "Fat Arrow Up",
      "Fat Arrow Down",
      "Shooting Arrow NW",
      "Shooting Arrow NE",
      "Shooting Arrow SW",
      "Shooting Arrow SE",
      "Lightning Left",
      "Lightning Right",
      "Explosion",
      "Custom Explosion",
      "Cross",
      "Heart",
      "Double Heart",
      "Cloud",
      "Moon",
      "Small Left Speech Bubble In",
      "Small Left Speech Bubble Out",
      "Small Right Speech Bubble In",
      "Small Right Speech Bubble Out",
      "Wide Left Speech Bubble In",
      "Wide Left Speech Bubble Out",
      "Wide Right Speech Bubble In",
      "Wide Right Speech Bubble Out",
      "Left Thought Bubble",
      "Right Thought Bubble",
      "Shield",
      "Badge",
      "Name Plate",
      "Frame",
      "Narrow Frame",
      "Fat Frame",
      "Circular Frame",
      "Pin Left",
      "Pin Right",
      "Marker",
      "Rain Drop",
      "Banner",
      "Female",
      "Male",
      "Music",
      "Power",
      "Smile",
      "Rainbow",
      "Candy",
      "Sun",
      "Brooch",
      "Cog",
      "Cog 2",
      "Custom Cog",
      "Asterisk",
      "Custom Asterisk",
      "Clover",
      "Flower",
      "Flower 2",
      "Custom Flower",
      "Radiance",
      "Custom Radiance",
      "Custom Radiance 2",
      "Splat",
      "Crown",
      "Envelope",
      "Hand Pointing Left",
      "Hand Pointing Right",
      "Tag Left",
      "Tag Right",
      "Tag Up",
      "Tag Down",
      "Shopping Tag Left",
      "Shopping Tag Right",
      "Shopping Tag Up",
      "Shopping Tag Down",};
  return Shape < 100 ? kNames[Shape] : "";
}

double ShapePreferredAspectRatio(TPXShape Shape) {
  switch (Shape) {
    case 1: case 43: case 98: case 99: return 0.5;
    case 63: case 64: return 2.0 / 3.0;
    case 66: return 0.45;
    case 67: return 0.375;
    case 41: case 74: return 1.25;
    case 88: case 89: return 5.0 / 3.0;
    case 70: case 71: case 72: case 90: case 91: case 96: case 97: return 2.0;
    case 2: case 39: case 40: case 61: case 62: case 68: case 69: case 73: return 1.0;
    default:
      if ((Shape >= 6 && Shape <= 16) || (Shape >= 23 && Shape <= 26) || (Shape >= 31 && Shape <= 36) ||
          (Shape >= 75 && Shape <= 86))
        return 1.0;
      return kNoRatio;
  }
}

// ---------------------------------------------------------------------------------------------
// Outlines

void GenerateShapePoints(std::span<TPoint> Points, int32_t& PointCount, TPXShape Shape, int32_t Left, int32_t Top,
                         int32_t Width, int32_t Height, int32_t Angle, bool KeepAspectWhenTurned, int32_t Modifier,
                         double AspectRatio) {
  PointCount = 0;
  if (Shape >= 100) throw EPXException("Unexpected Shape");
  bool mirrorX = Angle == 180 || Angle == 270;
  bool mirrorY = Angle == 90 || Angle == 180;
  bool exchange = Angle == 90 || Angle == 270;
  if (AspectRatio == 1.0) AspectRatio = Height != 0 ? double(Width) / Height : 1.0;
  double fx = 1, fy = 1;
  if (AspectRatio > 1) fx = 1 / AspectRatio;
  else fy = AspectRatio;
  TOutline b(fx, fy);
  auto radial = [&](bool Radial, bool Rounded, double Outer, double Alt, double Spoke, double Inner, double Gap) {
    BuildRadialOutline(b, TRadial{Radial, Rounded, Outer, Alt, Spoke, Inner, Gap});
  };
  const int32_t rays = SnapShapeRayCount(Modifier);
  switch (Shape) {
    case 0: BuildSectorOutline(b, 360); break;
    case 1: BuildSectorOutline(b, 180); break;
    case 2: BuildSectorOutline(b, 90); break;
    case 3: BuildSectorOutline(b, Modifier); break;
    case 4: b.Table({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}); break;
    case 5: BuildRoundRectOutline(b, fx / 10, fy / 10); break;
    case 6: b.Table({{0.5, 0}, {1, 1}, {0, 1}, {0.5, 0}}); break;
    case 7: b.Table({{0, 0}, {1, 0}, {0, 1}, {0, 0}}); break;
    case 8: b.Table({{0.5, 0}, {1, 0.5}, {0.5, 1}, {0, 0.5}, {0.5, 0}}); break;
    case 9: case 10: case 11: case 12: BuildPolygonOutline(b, TPolygonKind::Polygon, Shape - 4); break;
    case 13: BuildPolygonOutline(b, TPolygonKind::Polygon, Modifier); break;
    case 14: b.Table({{0.5, 0}, {0.62, 0.38}, {1, 0.38}, {0.7, 0.62}, {0.81, 1}, {0.5, 0.77}, {0.19, 1}, {0.31, 0.62}, {0, 0.38}, {0.39, 0.38}, {0.5, 0}}); break;
    case 15: b.Table({{0.5, 0}, {0.625, 0.25}, {0.9, 0.25}, {0.75, 0.5}, {0.9, 0.75}, {0.625, 0.75}, {0.5, 1}, {0.375, 0.75}, {0.1, 0.75}, {0.25, 0.5}, {0.1, 0.25}, {0.375, 0.25}, {0.5, 0}}); break;
    case 16: BuildPolygonOutline(b, TPolygonKind::Star, Modifier); break;
    case 17: case 18: case 19: case 20: b.Table({{0.33, 1}, {0.33, 0.4}, {0, 0.4}, {0.5, 0}, {1, 0.4}, {0.67, 0.4}, {0.67, 1}}); break;
    case 21: case 22: b.Table({{0.5, 0}, {0, 0.3}, {0.33, 0.3}, {0.33, 0.7}, {0, 0.7}, {0.5, 1}, {1, 0.7}, {0.67, 0.7}, {0.67, 0.3}, {1, 0.3}}); break;
    case 23: case 24: case 25: case 26: b.Table({{0, 0}, {0.4, 0}, {0.3, 0.1}, {1, 0.8}, {0.8, 1}, {0.1, 0.3}, {0, 0.4}, {0, 0}}); break;
    case 27: case 28: case 29: case 30: b.Table({{0.16, 1}, {0.16, 0.4}, {0, 0.4}, {0.5, 0}, {1, 0.4}, {0.84, 0.4}, {0.84, 1}}); break;
    case 31: case 32: case 33: case 34: b.Table({{0.85, 1}, {0.8, 0.95}, {0.8, 0.85}, {0.775, 0.825}, {0.775, 0.925}, {0.725, 0.875}, {0.725, 0.775}, {0.7, 0.75}, {0.7, 0.85}, {0.65, 0.8}, {0.65, 0.7}, {0.15, 0.2}, {0.15, 0.3}, {0, 0.15}, {0, 0}, {0.15, 0}, {0.3, 0.15}, {0.2, 0.15}, {0.7, 0.65}, {0.8, 0.65}, {0.85, 0.7}, {0.75, 0.7}, {0.775, 0.725}, {0.875, 0.725}, {0.925, 0.775}, {0.825, 0.775}, {0.85, 0.8}, {0.95, 0.8}, {1, 0.85}, {0.85, 0.85}, {0.85, 1}}); break;
    case 35: case 36:
      if (Width > Height) {
        Left += (Width - Height) / 2;
        Width = Height;
      }
      b.Table({{1, 0.19}, {0.61, 0.01}, {0.41, 0.29}, {0.49, 0.31}, {0.23, 0.55}, {0.33, 0.6}, {0, 1}, {0.51, 0.69}, {0.46, 0.65}, {0.78, 0.45}, {0.66, 0.39}, {1, 0.19}});
      break;
    case 37: b.Table({{0.33, 0}, {0.5, 0.26}, {0.62, 0.11}, {0.67, 0.28}, {0.99, 0.1}, {0.78, 0.35}, {1, 0.39}, {0.84, 0.54}, {0.99, 0.66}, {0.75, 0.64}, {0.78, 0.81}, {0.65, 0.71}, {0.61, 1}, {0.51, 0.69}, {0.38, 0.89}, {0.35, 0.66}, {0.17, 0.83}, {0.22, 0.59}, {0, 0.61}, {0.19, 0.48}, {0.04, 0.37}, {0.22, 0.34}, {0.16, 0.2}, {0.35, 0.25}, {0.33, 0.01}}); break;
    case 38: BuildPolygonOutline(b, TPolygonKind::Explosion, Modifier); break;
    case 39: b.Table({{0.33, 0}, {0.67, 0}, {0.67, 0.33}, {1, 0.33}, {1, 0.67}, {0.67, 0.67}, {0.67, 1}, {0.33, 1}, {0.33, 0.67}, {0, 0.67}, {0, 0.33}, {0.33, 0.33}, {0.33, 0}}); break;
    case 40: BuildHeartOutline(b); break;
    case 41: BuildDoubleHeartOutline(b); break;
    case 42: BuildCloudOutline(b, false); break;
    case 43: case 70: BuildMoonOutline(b); break;
    case 44: case 45: case 46: case 47: case 48: case 49: case 50: case 51:
      BuildSpeechBubbleOutline(b, Shape >= 48, Shape % 2 == 0);
      break;
    case 52: case 53: BuildCloudOutline(b, true); break;
    case 54: b.Table({{0, 0}, {0.25, 0.125}, {0.5, 0}, {0.75, 0.125}, {1, 0}, {0.875, 0.25}, {1, 0.5}, {0.875, 0.75}, {1, 1}, {0.75, 0.875}, {0.5, 1}, {0.25, 0.875}, {0, 1}, {0.125, 0.75}, {0, 0.5}, {0.125, 0.25}}); break;
    case 55: b.Table({{0.25, 0}, {0.75, 0}, {1, 0.25}, {0.5, 1}, {0, 0.25}, {0.25, 0}}); break;
    case 56: b.Table({{0, 0}, {-0.24, 0}, {-0.24, -0.12}, {-0.76, -0.12}, {-0.76, 0}, {1, 0}, {1, -0.24}, {-0.88, -0.24}, {-0.88, -0.76}, {1, -0.76}, {1, 1}, {-0.76, 1}, {-0.76, -0.88}, {-0.24, -0.88}, {-0.24, 1}, {0, 1}, {0, -0.76}, {-0.12, -0.76}, {-0.12, -0.24}, {0, -0.24}, {0, 0}}); break;
    case 57: BuildFrameOutline(b, fx / 16, fy / 16); break;
    case 58: BuildFrameOutline(b, fx / 32, fy / 32); break;
    case 59: BuildFrameOutline(b, fx / 8, fy / 8); break;
    case 60: BuildCircularFrameOutline(b, fx / 8, fy / 8); break;
    case 61: case 62: BuildPinOutline(b); break;
    case 63: case 64: BuildDropOutline(b); break;
    case 65: BuildBannerOutline(b); break;
    case 66: BuildFemaleOutline(b); break;
    case 67: BuildMaleOutline(b); break;
    case 68: BuildMusicOutline(b); break;
    case 69: BuildPowerOutline(b); break;
    case 71: BuildRainbowOutline(b); break;
    case 72: radial(true, false, 0.5, 0, 40, 0.25, 140); break;
    case 73: radial(false, false, 0.5, 0.425, 4, 0.3, 11); break;
    case 74: radial(false, false, 0.5, 0, 40, 0.4, 140); break;
    case 75: radial(false, false, 0.5, 0, 25, 0.375, 20); break;
    case 76: radial(false, true, 0.5, 0, 15, 0.4, 9); break;
    case 77: radial(false, false, 0.5, 0, 180.0 / rays, 0.375, 180.0 / rays); break;
    case 78: radial(false, false, 0.5, 0.45, 40, 0.05, 5); break;
    case 79: radial(false, false, 0.5, 0, 360.0 / rays - 5, 0.05, 5); break;
    case 80: radial(true, true, 0.5, 0, 85, 0.05, 5); break;
    case 81: radial(true, true, 0.5, 0, 67, 0.05, 5); break;
    case 82: radial(true, true, 0.5, 0.5, 59, 0.5, 1); break;
    case 83: radial(true, true, 0.5, 0.5, 360.0 / rays - 1, 0.5, 1); break;
    case 84: radial(true, true, 0.5, 0, 19, 0.05, 5); break;
    case 85: radial(true, true, 0.5, 0, 360.0 / rays - 5, 0.05, 5); break;
    case 86: radial(true, true, 0.5, 0.45, 360.0 / rays - 5, 0.05, 5); break;
    case 87: radial(true, true, 0.5, 0.42, 29, 0.42, 1); break;
    case 88: BuildCrownOutline(b); break;
    case 89: b.Table({{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 0}, {0.5, 0.6}, {1, 0}, {1, 0.005}, {0.5, 0.605}, {0, 0.005}}); break;
    case 90: case 91: BuildHandOutline(b); break;
    case 92: case 93: case 94: case 95: b.Table({{0.5, 0}, {1, 0.2}, {1, 1}, {0, 1}, {0, 0.2}, {0.5, 0}}); break;
    default: BuildShoppingTagOutline(b); break;  // 96..99
  }
  // Orientation of the shapes that share an outline.
  switch (Shape) {
    case 17: case 27: case 92: case 21: case 70: case 98: exchange = !exchange; break;
    case 18: case 28: case 93: mirrorY = !mirrorY; exchange = !exchange; break;
    case 20: case 30: case 95: case 25: case 33: case 63: mirrorY = !mirrorY; break;
    case 24: case 32: case 36: case 46: case 47: case 50: case 51: case 53: case 62: case 90: case 97:
      mirrorX = !mirrorX;
      break;
    case 26: case 34: mirrorX = !mirrorX; mirrorY = !mirrorY; break;
    case 99: mirrorX = !mirrorX; exchange = !exchange; break;
    default: break;
  }

  const int32_t count = static_cast<int32_t>(b.Points.size());
  if (count > static_cast<int32_t>(Points.size()))
    throw EPXException(Format("Too many points to generate shape array (%d)", count));
  const double W1 = Width - 1.0, H1 = Height - 1.0;
  // A negative table value keeps its size relative to the shorter side: below -0.5 measured from
  // the far edge, above from the near one.
  auto corrected = [](double V, double Long, double Short) {
    const double a = std::fabs(V);
    if (V >= 0 || Long <= Short) return a;
    return V < -0.5 ? 1 - (1 - a) * Short / Long : a * Short / Long;
  };
  for (int32_t i = 0; i < count; ++i) {
    double x = b.Points[static_cast<size_t>(i)].X, y = b.Points[static_cast<size_t>(i)].Y;
    if (b.Proportional) {
      x = corrected(x, W1, H1);
      y = corrected(y, H1, W1);
    }
    if (mirrorX) x = 1 - x;
    if (mirrorY) y = 1 - y;
    if (exchange) std::swap(x, y);
    Points[static_cast<size_t>(i)] =
        TPoint(Left + Round32((Width - 2) * x), Top + Round32((Height - 2) * y));
  }
  PointCount = count;
  const TRect box(Left, Top, Left + Width - 1, Top + Height - 1);
  ScalePointsToRect(Points.data(), count, box, false);
  if (Angle % 90 != 0) {
    RotatePoints(Points.data(), count, Left + (Width - 1) / 2, Top + (Height - 1) / 2, -Angle);
    ScalePointsToRect(Points.data(), count, box, KeepAspectWhenTurned);
  }
}

// ---------------------------------------------------------------------------------------------
// Fitting, regions and painting

void FitShapeBoxToAspect(int32_t& Left, int32_t& Top, int32_t& Width, int32_t& Height, TPXShape Shape, uint8_t Mode,
                         int32_t Angle) {
  if (Mode == 0) return;
  double ratio = ShapePreferredAspectRatio(Shape);
  if (ratio == 0) {
    if (Mode != 1) return;
    ratio = 1.0;
  }
  ratio = RotatedAspectRatio(Angle, ratio);
  if (ratio == 0) ratio = 1.0;
  FitRectInPlace(Round32(ratio * 1000), 1000, Left, Top, Width, Height, true, true, true, true, 0, false);
}

HRGN CreateShapeRegion(TPXShape Shape, int32_t Left, int32_t Top, int32_t Width, int32_t Height, uint8_t AspectMode,
                       int32_t Angle, bool /*KeepAspect*/) {
  int32_t angle = 360 - Angle;
  NormalizeAngle360(angle);
  FitShapeBoxToAspect(Left, Top, Width, Height, Shape, AspectMode, angle);
  if (Shape == 0) return CreateEllipticRgn(Left, Top, Left + Width, Top + Height);
  if (Shape == 4 && angle % 90 == 0) return CreateRectRgn(Left, Top, Left + Width, Top + Height);
  std::array<TPoint, PXMaxShapePoints + 1> points;
  int32_t count = 0;
  GenerateShapePoints(points, count, Shape, Left, Top, Width, Height, angle, false, 0, 1.0);
  return CreatePolygonRgn(points.data(), count, WINDING);
}

HRGN CreateShapeRegionInRect(TPXShape Shape, const TRect& Rect, uint8_t AspectMode, int32_t Angle, bool Flag) {
  return CreateShapeRegion(Shape, Rect.Left, Rect.Top, Rect.Right - Rect.Left, Rect.Bottom - Rect.Top, AspectMode,
                           Angle, Flag);
}

void PaintShapeInBox(TCanvas* Canvas, TPXShape Shape, int32_t Left, int32_t Top, int32_t Width, int32_t Height,
                     uint8_t AspectMode, TColor PenColor, int32_t PenWidth, TColor BrushColor, int32_t Angle,
                     int32_t Modifier) {
  if (!Canvas) return;
  FitShapeBoxToAspect(Left, Top, Width, Height, Shape, AspectMode, Angle);
  std::array<TPoint, PXMaxShapePoints + 1> points;
  int32_t count = 0;
  GenerateShapePoints(points, count, Shape, 0, 0, 1000, 1000, Angle, false, Modifier,
                      Height != 0 ? double(Width) / Height : 1.0);
  if (PenColor == clNone) PenWidth = 0;
  const double w = std::max(0, Width - PenWidth), h = std::max(0, Height - PenWidth);
  for (int32_t i = 0; i < count; ++i) {
    TPoint& p = points[static_cast<size_t>(i)];
    p = TPoint(Round32(p.X / 1000.0 * w) + PenWidth / 2 + Left, Round32(p.Y / 1000.0 * h) + PenWidth / 2 + Top);
  }
  TPen* pen = Canvas->Pen();
  if (PenWidth <= 0) {
    pen->SetStyle(psClear);
  } else {
    pen->SetStyle(psSolid);
    pen->SetWidth(PenWidth);
    pen->SetColor(PenColor);
  }
  pen->SetMode(pmCopy);
  TBrush* brush = Canvas->Brush();
  if (BrushColor == clNone) {
    brush->SetStyle(bsClear);
  } else {
    brush->SetColor(BrushColor);
    brush->SetStyle(bsSolid);
  }
  Canvas->Polygon(std::span<const TPoint>(points.data(), static_cast<size_t>(count)));
}

void DrawShapeListItem(TCanvas* Canvas, const TRect& Rect, bool Enabled, TPXShape Shape, TColor Color, bool ShowName) {
  if (!Canvas) return;
  const int32_t width = Rect.Right - Rect.Left, height = Rect.Bottom - Rect.Top;
  const int32_t s = std::min(width - 6, height - 6);
  Canvas->FillRect(Rect);
  if (!Enabled) {
    Canvas->Font()->SetColor(clGrayText);
    Color = clGrayText;
  }
  if (ShowName) {
    const std::string name = ShapeDisplayName(Shape);
    Canvas->TextOut(Rect.Left + s + 6, Rect.Top + (height - Canvas->TextHeight(name)) / 2, name);
  }
  if (s > 0) PaintShapeInBox(Canvas, Shape, Rect.Left + 3, Rect.Top + (height - s) / 2, s, s, 2, clNone, 0, Color, 0, 0);
}
