// Fitting, angles, rotation, point sets, hit distances, arcs and the perspective aspect ratio.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/hypxutils.h"

namespace {

constexpr double kPi = std::numbers::pi;

TEST(GeometryTest, CalcFitRectFitsFillsAndCentres) {
  struct Case {
    int sw, sh, bw, bh;
    bool enlarge, fill;
    double crop;
    TRect want;
  } cases[] = {
      {200, 100, 100, 100, true, false, 0, TRect(0, 25, 100, 75)},
      {200, 100, 100, 100, true, true, 0, TRect(-50, 0, 150, 100)},
      {50, 50, 100, 100, false, false, 0, TRect(25, 25, 75, 75)},
      {50, 25, 100, 100, true, false, 0, TRect(0, 25, 100, 75)},
      {400, 200, 100, 100, true, false, 100, TRect(-50, 0, 150, 100)},  // 100 per cent crop fills
      {0, 100, 100, 100, true, false, 0, TRect(0, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    TRect r;
    CalcFitRect(c.sw, c.sh, c.bw, c.bh, 0, 0, c.enlarge, true, true, true, c.crop, c.fill, r);
    EXPECT_EQ(r, c.want) << c.sw << "x" << c.sh << " in " << c.bw << "x" << c.bh;
  }
  TRect r;
  CalcFitRect(200, 100, TRect(10, 20, 110, 120), true, true, true, true, 0, false, r);
  EXPECT_EQ(r, TRect(10, 45, 110, 95));
  CalcFitRect(0, 0, 5, 5, 30, 40, true, true, true, true, 0, false, r);
  EXPECT_EQ(r, TRect(30, 40, 30, 40)) << "empty, at the box's origin";

  int32_t l = 0, t = 0, w = 100, h = 100;
  FitRectInPlace(200, 100, l, t, w, h, true, true, true, true, 0, false);
  EXPECT_EQ((std::array{l, t, w, h}), (std::array{0, 25, 100, 50}));
  CalcFitSize(300, 100, 90, 90, false, false, w, h);
  EXPECT_EQ((std::array{w, h}), (std::array{90, 30}));
}

TEST(GeometryTest, ThumbnailAndKeepAspectSizes) {
  int32_t sw, sh, vw, vh;
  CalcThumbnailFillSize(400, 200, 100, 100, 0, sw, sh, vw, vh);
  EXPECT_EQ((std::array{sw, sh, vw, vh}), (std::array{100, 50, 100, 50}));
  CalcThumbnailFillSize(400, 200, 100, 100, 100, sw, sh, vw, vh);
  EXPECT_EQ((std::array{sw, sh, vw, vh}), (std::array{200, 100, 100, 100}));
  CalcThumbnailFillSize(200, 400, 100, 100, 250, sw, sh, vw, vh);  // capped at 100
  EXPECT_EQ((std::array{sw, sh, vw, vh}), (std::array{100, 200, 100, 100}));
  CalcThumbnailFillSize(0, 400, 100, 100, 0, sw, sh, vw, vh);
  EXPECT_EQ((std::array{sw, sh, vw, vh}), (std::array{0, 0, 0, 0}));

  int32_t w = -1, h = -1;
  FitSizeKeepAspect(1000, 1, 100, 100, w, h);
  EXPECT_EQ((std::array{w, h}), (std::array{100, 1}));
  FitSizeKeepAspect(10, 20, 100, 100, w, h);
  EXPECT_EQ((std::array{w, h}), (std::array{50, 100})) << "it enlarges too";
  FitSizeKeepAspect(0, 20, 100, 100, w, h);
  EXPECT_EQ((std::array{w, h}), (std::array{50, 100})) << "nothing for a zero size";
}

TEST(GeometryTest, AngleConventions) {
  EXPECT_DOUBLE_EQ(PointAngle(0, 0, 1, 0), 0);
  EXPECT_DOUBLE_EQ(PointAngle(0, 0, 0, -1), kPi / 2);
  EXPECT_DOUBLE_EQ(PointAngle(0, 0, -1, 0), kPi);
  EXPECT_DOUBLE_EQ(PointAngle(0, 0, 1, 1), 7 * kPi / 4);
  EXPECT_DOUBLE_EQ(PointAngle(5, 5, 5, 5), 0);

  int32_t a = -1;
  NormalizeAngle360(a);
  EXPECT_EQ(a, 359);
  a = 190;
  NormalizeAngle180(a);
  EXPECT_EQ(a, -170);
  double f = -720.5;
  NormalizeAngle360F(f);
  EXPECT_DOUBLE_EQ(f, 359.5);
  f = 1e300;  // no endless stepping
  NormalizeAngle360F(f);
  EXPECT_TRUE(f >= 0 && f < 360);
  f = 540;
  NormalizeAngle180F(f);
  EXPECT_DOUBLE_EQ(f, 180);
  EXPECT_DOUBLE_EQ(NegateAngle(170), -170);
  EXPECT_DOUBLE_EQ(NegateAngle(-190), -170);
  EXPECT_DOUBLE_EQ(WrapAngleKeepSign(725), 5);
  EXPECT_DOUBLE_EQ(WrapAngleKeepSign(-30), -30);
  EXPECT_DOUBLE_EQ(WrapAngleKeepSign(-390), -30);
  EXPECT_DOUBLE_EQ(ArcCosGuarded(-1), kPi) << "a straight angle is not 0";
  EXPECT_DOUBLE_EQ(ArcCosGuarded(1.0000001), 0);
  EXPECT_DOUBLE_EQ(VectorAngleTerm(0, 0, 0, 0, 1, 1), 0);
}

TEST(GeometryTest, TurnsAndVertexAngles) {
  const TPoint o(0, 0), right(10, 0), up(0, -10), far(20, 0);
  EXPECT_EQ(TurnDirection(o, right, up), -1);
  EXPECT_EQ(TurnDirection(o, up, right), 1);
  EXPECT_EQ(TurnDirection(o, right, far), 1);
  EXPECT_EQ(TurnDirection(o, far, right), 0);
  EXPECT_EQ(TurnDirection(right, o, far), -1) << "P0 between";
  EXPECT_DOUBLE_EQ(AngleAtVertex(TPoint(-10, 0), o, right), kPi);
  // From the right arm counter-clockwise (on screen) to the upper arm: a quarter turn.
  EXPECT_DOUBLE_EQ(AngleAtVertex(right, o, up), kPi / 2);
  EXPECT_DOUBLE_EQ(AngleAtVertex(up, o, right), 2 * kPi - kPi / 2);
  EXPECT_EQ(BilinearInterpolate(0, 100, 0, 100, 0.5, 3), 50);
  EXPECT_EQ(BilinearInterpolate(0, 100, 0, 100, -0.25, 0), 75) << "fraction of a negative coordinate";
}

TEST(GeometryTest, RotationRoundsOrTruncates) {
  int32_t x = 10, y = 0;
  RotatePoint(x, y, 0, 0, 60);  // (5, -8.66): counter-clockwise on screen goes up
  EXPECT_EQ((std::array{x, y}), (std::array{5, -9}));
  x = 10, y = 0;
  RotatePointInt(x, y, 0, 0, 60);
  EXPECT_EQ((std::array{x, y}), (std::array{5, -8}));
  TPoint pts[] = {{11, 1}, {PXPointMarker, 0}};
  RotatePoints(pts, 1, 1, 1, 90);
  EXPECT_EQ(pts[0], TPoint(1, -9));
  double fx = 2, fy = 1;
  RotatePointF(fx, fy, 1, 1, 180);
  EXPECT_NEAR(fx, 0, 1e-12);
  EXPECT_NEAR(fy, 1, 1e-12);
  TDPoint q1, q2;
  RotateSegmentAboutMidpointF({0, 0}, {2, 0}, 90, q1, q2);
  EXPECT_NEAR(q1.Y, 1, 1e-12);
  EXPECT_NEAR(q2.Y, -1, 1e-12);

  int32_t w, h;
  RotatedBoxSize(100, 50, 90, w, h);
  EXPECT_EQ((std::array{w, h}), (std::array{50, 100}));
  EXPECT_EQ(RotatedBoxWidth(100, 0, 45), 70);
  RotatedRectSize(10, 20, TDPoint{3, 3}, 90, w, h);
  EXPECT_EQ((std::array{w, h}), (std::array{20, 10}));
  double dw, dh;
  RotatedSizeF(10, 10, 45, dw, dh);
  EXPECT_NEAR(dw, 9 * std::sqrt(2.0) + 1, 1e-9);
  EXPECT_DOUBLE_EQ(RotatedAspectRatio(180, 2), 2);
  EXPECT_DOUBLE_EQ(RotatedAspectRatio(90, 2), 0.5);
  EXPECT_NEAR(RotatedAspectRatio(45, 1), 1, 1e-3);

  TPoint p;
  PolarOffset(TPoint(10, 10), p, 90, 5);
  EXPECT_EQ(p, TPoint(10, 5));
  EllipsePoint(TPoint(0, 0), p, 180, 8, 3);
  EXPECT_EQ(p, TPoint(-8, 0));
}

TEST(GeometryTest, LineEndsInRectAtAngle) {
  TPoint a, b;
  LineEndsInRectAtAngle(TRect(10, 10, 5, 20), 30, a, b);
  EXPECT_EQ(a, TPoint(-1, -1));
  EXPECT_EQ(b, TPoint(-1, -1));
  LineEndsInRectAtAngle(TRect(0, 0, 100, 50), 0, a, b);
  EXPECT_EQ(a, TPoint(0, 25));
  EXPECT_EQ(b, TPoint(100, 25)) << "the second point lies in the direction of the angle";
  LineEndsInRectAtAngle(TRect(0, 0, 100, 50), 90, a, b);
  EXPECT_EQ(a, TPoint(50, 50));
  EXPECT_EQ(b, TPoint(50, 0));
  LineEndsInRectAtAngle(TRect(0, 0, 100, 100), 225, a, b);
  EXPECT_EQ(a, TPoint(100, 0));
  EXPECT_EQ(b, TPoint(0, 100));
}

TEST(GeometryTest, PointSets) {
  const TDPoint square[] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  TDPoint c;
  PolygonCentroid(square, 4, c);
  EXPECT_EQ(c, (TDPoint{1, 1}));
  const TDPoint line[] = {{0, 0}, {2, 2}};
  PolygonCentroid(line, 2, c);
  EXPECT_EQ(c, (TDPoint{0, 0}));

  TPoint pts[] = {{10, 10}, {30, 20}, {PXPointMarker, PXPointMarker}, {20, 30}};
  int32_t maxX, maxY, minX, minY;
  PointsBounds(pts, 4, maxX, maxY, minX, minY);
  EXPECT_EQ((std::array{maxX, maxY, minX, minY}), (std::array{30, 30, 10, 10}));
  PointsBounds(pts, 0, maxX, maxY, minX, minY);
  EXPECT_EQ((std::array{maxX, maxY, minX, minY}), (std::array{0, 0, 0, 0}));
  ScalePointsToRect(pts, 4, TRect(0, 0, 100, 40), true);  // 20 x 20 onto 100 x 40: scale 2, centred
  EXPECT_EQ(pts[0], TPoint(30, 0));
  EXPECT_EQ(pts[1], TPoint(70, 20));
  EXPECT_EQ(pts[2], TPoint(PXPointMarker, PXPointMarker));
  TDPoint fp[] = {{0, 0}, {1, 2}};
  ScalePointsToRectF(fp, 2, TDRect{10, 10, 20, 30}, false);
  EXPECT_EQ(fp[1], (TDPoint{20, 30}));

  const TPoint poly[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_TRUE(PointInPolygon(0, 0, poly, 4));
  EXPECT_TRUE(PointInPolygon(5, 9, poly, 4));
  EXPECT_FALSE(PointInPolygon(10, 5, poly, 4)) << "right edge excluded";
  EXPECT_FALSE(PointInPolygon(5, 10, poly, 4)) << "lower edge excluded";
  EXPECT_TRUE(PointInPolygonF(9.5, 9.5, square, 4) == false);
  EXPECT_TRUE(PointInPolygonF(1.5, 1.5, square, 4));
  EXPECT_TRUE(PointInScaledPolygon(25, 25, poly, 4, 2, 2, 0, 0, 10, 10));
  EXPECT_FALSE(PointInScaledPolygon(5, 5, poly, 4, 2, 2, 0, 0, 10, 10));

  int32_t l = 0, t = 0, r = 10, b = 20;
  CenterRectInBox(0, 0, 100, 100, l, t, r, b);
  EXPECT_EQ((std::array{l, t, r, b}), (std::array{45, 40, 55, 60}));

  TPXArrayOfTPoint curve;
  BezierPoints({0, 0}, {10, 0}, {20, 0}, {30, 7}, curve, 1);
  ASSERT_EQ(curve.size(), 1u);
  EXPECT_EQ(curve[0], TPoint(30, 7));
  BezierPoints({0, 0}, {0, 0}, {30, 30}, {30, 30}, curve, 2);
  ASSERT_EQ(curve.size(), 2u);
  EXPECT_EQ(curve[0], TPoint(15, 15));
}

TEST(GeometryTest, DistancesToOutlines) {
  const TRect r(10, 10, 50, 30);
  EXPECT_DOUBLE_EQ(DistanceToRectOutline(10, 20, r, 1, false), 0);
  EXPECT_DOUBLE_EQ(DistanceToRectOutline(20, 20, r, 1, false), 10);
  EXPECT_DOUBLE_EQ(DistanceToRectOutline(20, 20, r, 1, true), 0);
  EXPECT_DOUBLE_EQ(DistanceToRectOutline(20, 20, r, 5, false), 8) << "the pen reaches 2 pixels further in";
  EXPECT_DOUBLE_EQ(DistanceToRectOutline(20, 20, r, -1, false), 2147483647);

  const TRect e(0, 0, 100, 100);  // circle of radius 50 about (50, 50)
  EXPECT_DOUBLE_EQ(DistanceToEllipseOutline(50, 50, e, 1, true), 0);
  EXPECT_LT(DistanceToEllipseOutline(100, 50, e, 1, false), 1);
  EXPECT_NEAR(DistanceToEllipseOutline(50, 50, e, 1, false), 50, 1);
  EXPECT_DOUBLE_EQ(DistanceToEllipseOutline(50, 50, e, -2, false), 2147483647);

  EXPECT_DOUBLE_EQ(TriangleHeight({3, 4}, {0, 0}, {10, 0}), 4);
  EXPECT_DOUBLE_EQ(TriangleArea2({0, 0}, {10, 0}, {3, 4}), 20);
  EXPECT_DOUBLE_EQ(TriangleArea2({0, 0}, {3, 4}, {10, 0}), -20);
  double dx, dy;
  PerpendicularOffset({0, 0}, {10, 0}, {3, -4}, dx, dy);
  EXPECT_DOUBLE_EQ(dx, 0);
  EXPECT_DOUBLE_EQ(dy, -4);
  TDPoint foot;
  ProjectPointOnLine({2, 0}, {0, 0}, 1, foot);
  EXPECT_EQ(foot, (TDPoint{1, 1}));
  ProjectPointOnLine({2, 7}, {5, 5}, INFINITY, foot);
  EXPECT_EQ(foot, (TDPoint{5, 7}));
}

TEST(GeometryTest, ArcsThroughTwoPoints) {
  double start = -1, radius = -1, sweep = -1;
  ArcThroughPoints({0, 0}, {2, 0}, 1, start, radius, sweep);
  EXPECT_DOUBLE_EQ(radius, 1);
  EXPECT_DOUBLE_EQ(start, 180);
  EXPECT_DOUBLE_EQ(sweep, 180);
  ArcThroughIntPoints({0, 0}, {2, 0}, -1, start, radius, sweep);
  EXPECT_DOUBLE_EQ(sweep, -180);
  // A flatter arc: the centre moves away from the chord and the radius grows.
  ArcThroughPoints({0, 0}, {100, 0}, 0.5, start, radius, sweep);
  EXPECT_GT(radius, 50);
  EXPECT_GT(sweep, 0);
  EXPECT_LT(sweep, 180);
  ArcThroughPoints({0, 0}, {100, 0}, 0, start, radius, sweep);
  EXPECT_TRUE(std::isfinite(radius) && std::isfinite(start) && std::isfinite(sweep));
  start = 7, sweep = 9;
  ArcThroughPoints({3, 3}, {3, 3}, 1, start, radius, sweep);
  EXPECT_EQ(radius, 0);
  EXPECT_EQ(start, 7);
}

// A 2 : 1 rectangle turned in space and projected with a pinhole camera: the ratio comes back.
TEST(GeometryTest, PerspectiveAspectRatioRecoversAProjectedRectangle) {
  const double f = 800, cx = 320, cy = 240, ay = 0.5, ax = 0.35;
  auto project = [&](double x, double y) {
    // about the y axis, then the x axis, then 6 units in front of the camera
    const double x1 = x * std::cos(ay), z1 = -x * std::sin(ay);
    const double y2 = y * std::cos(ax) - z1 * std::sin(ax), z2 = y * std::sin(ax) + z1 * std::cos(ax) + 6;
    return TDPoint{cx + f * x1 / z2, cy + f * y2 / z2};
  };
  const TDPoint tl = project(-1, -0.5), tr = project(1, -0.5), br = project(1, 0.5), bl = project(-1, 0.5);
  EXPECT_NEAR(PerspectiveAspectRatio(cx, cy, tl, tr, br, bl), 2.0, 1e-9);
  // Seen straight on, opposite sides stay parallel: the ratio of the sides.
  EXPECT_DOUBLE_EQ(PerspectiveAspectRatio(cx, cy, {0, 0}, {300, 0}, {300, 100}, {0, 100}), 3);
}

}  // namespace
