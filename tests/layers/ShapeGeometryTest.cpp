// The named outlines: point counts and bounds of every shape in several boxes and step divisors,
// quarter and free turns, the custom shapes' modifiers, ratios, fitting and regions.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>

#include "core/pxsettings.h"
#include "layers/pxxCanvasUtils.h"
#include "platform/gdi/WinGdi.h"
#include "tests/common/TestSupport.h"

namespace {

struct TShapeOut {
  std::array<TPoint, PXMaxShapePoints + 1> Points;
  int32_t Count = 0;
};

TShapeOut Generate(int32_t Shape, int32_t W, int32_t H, int32_t Angle = 0, int32_t Modifier = 0, bool Keep = false,
                   int32_t Left = 0, int32_t Top = 0) {
  TShapeOut o;
  GenerateShapePoints(o.Points, o.Count, static_cast<TPXShape>(Shape), Left, Top, W, H, Angle, Keep, Modifier, 1.0);
  return o;
}

// Sets the settings' step divisor for a scope.
class TDivisorScope {
 public:
  explicit TDivisorScope(int32_t D) : FOld(GlobalSettingsInstance()->FShapeStepDivisor) {
    GlobalSettingsInstance()->FShapeStepDivisor = D;
  }
  ~TDivisorScope() { GlobalSettingsInstance()->FShapeStepDivisor = FOld; }

 private:
  int32_t FOld;
};

}  // namespace

TEST(ShapeGeometry, EveryShapeFitsItsBoxAtEveryDivisor) {
  const std::array<std::pair<int32_t, int32_t>, 4> boxes{{{1000, 1000}, {400, 100}, {100, 400}, {3, 3}}};
  for (int32_t divisor : {1, 4, 8}) {
    TDivisorScope scope(divisor);
    for (int32_t shape = 0; shape < 100; ++shape)
      for (auto [w, h] : boxes) {
        TShapeOut o;
        ASSERT_NO_THROW(o = Generate(shape, w, h, 0, 21)) << shape << " " << w << "x" << h << " /" << divisor;
        ASSERT_GE(o.Count, 3) << shape;
        ASSERT_LE(o.Count, PXMaxShapePoints) << shape;
        for (int32_t i = 0; i < o.Count; ++i) {
          ASSERT_TRUE(o.Points[i].X >= 0 && o.Points[i].X <= w - 1 && o.Points[i].Y >= 0 && o.Points[i].Y <= h - 1)
              << shape << " " << w << "x" << h << " point " << i;
        }
      }
  }
  for (int32_t shape : {100, 150, 255}) {
    EXPECT_EQ(MessageOf<EPXException>([&] { Generate(shape, 10, 10); }), "Unexpected Shape");
    EXPECT_EQ(ShapeDisplayName(static_cast<TPXShape>(shape)), "");
    EXPECT_EQ(ShapePreferredAspectRatio(static_cast<TPXShape>(shape)), 0);
  }
}

TEST(ShapeGeometry, PointCountsFollowTheBuilders) {
  struct Row {
    int32_t Shape, Modifier, Count;
  };
  // At divisor 4: n(K) = K div 4.
  const Row rows[] = {
      {0, 0, 91},   {5, 0, 93},    {42, 0, 361},  {52, 0, 676}, {88, 0, 496},  {13, 3, 10},  {13, 80, 50},
      {16, 0, 20},  {38, 0, 25},   {3, 0, 13},    {3, 400, 91}, {3, -90, 3},   {83, 20, 961}, {4, 0, 5},
      {56, 0, 21},  {40, 0, 92},   {60, 0, 184},  {69, 0, 220}, {96, 0, 137},
  };
  for (const Row& r : rows) EXPECT_EQ(Generate(r.Shape, 1000, 1000, 0, r.Modifier).Count, r.Count) << r.Shape;
  EXPECT_EQ(MessageOf<EPXException>([] { Generate(3, 100, 100, 0, -400); }), "Unexpected SweepAngle");
  // More petals than fit lower the steps instead of refusing the shape.
  for (int32_t divisor : {1, 4}) {
    TDivisorScope scope(divisor);
    for (int32_t shape : {83, 85, 86, 76, 87, 88})
      for (int32_t modifier : {21, 30}) EXPECT_LE(Generate(shape, 500, 500, 0, modifier).Count, PXMaxShapePoints);
  }
  // A destination shorter than the outline is refused, not overrun.
  std::array<TPoint, 10> shortArray;
  int32_t count = -1;
  EXPECT_EQ(MessageOf<EPXException>([&] {
              GenerateShapePoints(shortArray, count, pxshEllipse, 0, 0, 100, 100, 0, false, 0, 1.0);
            }),
            "Too many points to generate shape array (91)");
}

TEST(ShapeGeometry, TurnsAndCustomShapes) {
  // The tip of "Arrow Up" (19) is the table's fourth point (0.5, 0); 0.5 of 99 rounds to 50, which
  // stretching the outline's 0..99 over the box's 0..100 brings to 51.
  struct Row {
    int32_t Angle;
    TPoint Tip;
  };
  const Row rows[] = {{0, {51, 0}}, {90, {100, 51}}, {180, {51, 100}}, {270, {0, 51}}, {360, {51, 0}}, {-90, {51, 0}}};
  for (const Row& r : rows) EXPECT_EQ(Generate(19, 101, 101, r.Angle).Points[3], r.Tip) << r.Angle;
  // At 45 degrees the tip turns clockwise towards the top right and the outline still spans the
  // whole box; kept aspect centres it.
  const TShapeOut turned = Generate(19, 101, 101, 45);
  EXPECT_GT(turned.Points[3].X, 50);
  EXPECT_LT(turned.Points[3].Y, 50);
  int32_t minX = 1000, maxX = -1, minY = 1000, maxY = -1;
  for (int32_t i = 0; i < turned.Count; ++i) {
    minX = std::min(minX, turned.Points[i].X), maxX = std::max(maxX, turned.Points[i].X);
    minY = std::min(minY, turned.Points[i].Y), maxY = std::max(maxY, turned.Points[i].Y);
  }
  EXPECT_EQ(TRect(minX, minY, maxX, maxY), TRect(0, 0, 100, 100));

  // The name plate keeps square inner borders in a wide box and equals its table in a square.
  const TShapeOut plate = Generate(56, 400, 100);
  // Its inner frame stands 0.12 of the height (12 pixels) from the left and right edges, as it
  // does from the top and bottom.
  EXPECT_NEAR(399 - plate.Points[7].X, 12, 1);
  EXPECT_NEAR(plate.Points[17].X, 12, 1);
  EXPECT_NEAR(plate.Points[17].Y, 75, 1);
  const TShapeOut square = Generate(56, 102, 102);
  EXPECT_EQ(square.Points[1], TPoint(24, 0));
  // Lightning in 300 x 100 fills the centred square.
  const TShapeOut lightning = Generate(35, 300, 100);
  for (int32_t i = 0; i < lightning.Count; ++i) {
    EXPECT_GE(lightning.Points[i].X, 100);
    EXPECT_LE(lightning.Points[i].X, 199);
  }

  // Cog teeth: each tooth has two points at the outer radius.
  auto teeth = [](int32_t Modifier) {
    const TShapeOut o = Generate(77, 1001, 1001, 0, Modifier);
    int32_t outer = 0;
    for (int32_t i = 0; i < o.Count; ++i) outer += std::hypot(o.Points[i].X - 500.0, o.Points[i].Y - 500.0) > 450;
    return outer / 2;
  };
  EXPECT_EQ(teeth(7), 8);
  EXPECT_EQ(teeth(1), 12);
  EXPECT_EQ(teeth(40), 12);
}

TEST(ShapeGeometry, RatiosFittingAndRegions) {
  EXPECT_EQ(ShapePreferredAspectRatio(pxshEllipse), 0);
  EXPECT_EQ(ShapePreferredAspectRatio(pxshRectangle), 0);
  EXPECT_EQ(ShapePreferredAspectRatio(pxshMarker), 0.6666666666666666);
  EXPECT_EQ(ShapePreferredAspectRatio(pxshCrown), 1.6666666666666667);
  EXPECT_EQ(ShapeDisplayName(pxshArrowLeftandRight), "Arrow Left and Right");
  EXPECT_EQ(ShapeDisplayName(pxshShoppingTagDown), "Shopping Tag Down");

  int32_t l = 0, t = 0, w = 300, h = 100;
  FitShapeBoxToAspect(l, t, w, h, pxshRectangle, 2, 0);
  EXPECT_EQ(TRect(l, t, w, h), TRect(0, 0, 300, 100));
  FitShapeBoxToAspect(l, t, w, h, pxshRectangle, 1, 0);
  EXPECT_EQ(TRect(l, t, w, h), TRect(100, 0, 100, 100));
  l = 0, t = 0, w = 300, h = 300;
  FitShapeBoxToAspect(l, t, w, h, pxshCrown, 2, 90);
  EXPECT_EQ(TRect(l, t, w, h), TRect(60, 0, 180, 300));
  l = 0, t = 0, w = 300, h = 300;
  FitShapeBoxToAspect(l, t, w, h, pxshCrown, 0, 0);
  EXPECT_EQ(TRect(l, t, w, h), TRect(0, 0, 300, 300));

  // A rectangle region is one rectangle at quarter turns; at 30 degrees a polygon that misses
  // the box's corners. The ellipse's region misses them too.
  for (int32_t angle : {0, 90}) {
    HRGN r = CreateShapeRegion(pxshRectangle, 10, 10, 100, 50, 0, angle, false);
    EXPECT_TRUE(PtInRegion(r, 10, 10));
    EXPECT_TRUE(PtInRegion(r, 109, 59));
    DeleteObject(r);
  }
  HRGN turned = CreateShapeRegion(pxshRectangle, 10, 10, 100, 50, 0, 30, false);
  EXPECT_FALSE(PtInRegion(turned, 11, 11));
  EXPECT_TRUE(PtInRegion(turned, 60, 35));
  DeleteObject(turned);
  HRGN ellipse = CreateShapeRegionInRect(pxshEllipse, TRect(0, 0, 100, 100), 0, 0, false);
  EXPECT_FALSE(PtInRegion(ellipse, 2, 2));
  EXPECT_TRUE(PtInRegion(ellipse, 50, 50));
  DeleteObject(ellipse);
}
