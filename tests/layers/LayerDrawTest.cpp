// The drawing routines of the layer kinds: polygons with their pens, brushes and quarter turns,
// line end shapes, and the measurements of rulers.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"

namespace {

TPXPointList List(std::initializer_list<TDPoint> Points) {
  TPXPointList l;
  l.Assign(std::data(Points), static_cast<int32_t>(Points.size()));
  return l;
}

// Counts the pixels that are not white.
int32_t Painted(TPXBitmap& B) {
  int32_t n = 0;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) {
      const TRGB p = B.GetPixelRGB(x, y);
      n += !(p.r == 255 && p.g == 255 && p.b == 255);
    }
  return n;
}

}  // namespace

TEST(LayerDraw, PolygonPensBrushesAndModes) {
  auto bitmap = TPXBitmap::CreateAllocated(100, 100, px24RGB);
  bitmap->Fill(static_cast<double>(clWhite));
  TPXCanvas* canvas = bitmap->GetPXCanvas();
  const TPXPointList square = List({{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}});
  TPXPointList drawn;
  struct Row {
    TColor Border;
    int32_t Width;
    double Scale;
    TColor Fill2;
    uint8_t Gradient;
    TPenStyle Pen;
    float PenWidth;
    bool Gradiented;
  };
  const Row rows[] = {
      {clNone, 3, 1, clBlue, 0, psClear, 0, true},    // no border colour: no pen
      {clBlack, 0, 1, clBlue, 1, psClear, 0, true},   // no border width: no pen
      {clBlack, 1, 0.3, clBlue, 8, psSolid, 1, false},  // 1 pixel at any scale; gradient 8 is none
      {clBlack, 4, 0.5, clRed, 2, psSolid, 2, false},   // equal colours fill plainly
  };
  for (const Row& r : rows) {
    DrawShapePolygon(canvas, 10, 10, 50, 50, r.Scale, r.Scale, square, true, drawn, r.Border, r.Width, 1.0, clRed,
                     r.Fill2, r.Gradient, 1.0, false, 0, 0, 0);
    EXPECT_EQ(canvas->Pen()->Style(), r.Pen) << r.Width;
    if (r.Pen == psSolid) {
      EXPECT_EQ(canvas->Pen()->Width(), r.PenWidth);
    }
    const GpPointF end = canvas->Brush()->GradientEnd();
    EXPECT_EQ(end.X != 0 || end.Y != 0, r.Gradiented) << int(r.Gradient);
  }
  // Gradient values 0..7 are brush kinds 1..8: 0 runs horizontally, 1 vertically (over the box
  // less its last row).
  DrawShapePolygon(canvas, 0, 0, 40, 20, 1, 1, square, true, drawn, clNone, 0, 1, clRed, clBlue, 1, 1, false, 0, 0,
                   0);
  EXPECT_EQ(canvas->Brush()->GradientEnd().X, 0);
  EXPECT_EQ(canvas->Brush()->GradientEnd().Y, 19);

  // Modes 2 and 3 only compute the outline.
  auto blank = TPXBitmap::CreateAllocated(60, 60, px24RGB);
  blank->Fill(static_cast<double>(clWhite));
  for (uint8_t mode : {2, 3}) {
    DrawShapePolygon(blank->GetPXCanvas(), 0, 0, 60, 60, 1, 1, square, true, drawn, clBlack, 2, 1, clRed, clNone, 8,
                     1, false, 0, 0, mode);
    EXPECT_EQ(Painted(*blank), 0);
    EXPECT_EQ(drawn.Count, 5);
  }
  DrawShapePolygon(blank->GetPXCanvas(), 0, 0, 60, 60, 1, 1, square, true, drawn, clBlack, 2, 1, clRed, clNone, 8, 1,
                   false, 0, 0, 0);
  EXPECT_GT(Painted(*blank), 40 * 40);
}

TEST(LayerDraw, QuarterTurnsMirrorAndExchange) {
  // An arrow pointing up from the middle of the top edge; its tip shows where the outline points.
  const TPXPointList arrow = List({{0, 1000}, {500, 0}, {1000, 1000}});
  struct Row {
    int32_t Angle;
    TDPoint Tip;  // layer pixels at scale 2
  };
  // Box (0, 0)-(200, 101) in target pixels, no border: x spans 0..200, y 0..100. The turn is
  // counted modulo 360, so -90 is 270.
  const Row rows[] = {{0, {50, 0}}, {90, {0, 25}}, {180, {50, 50}}, {270, {100, 25}}, {360, {50, 0}}, {-90, {100, 25}}};
  for (const Row& r : rows) {
    TPXPointList drawn;
    DrawShapePolygon(nullptr, 0, 0, 200, 101, 2, 2, arrow, true, drawn, clNone, 0, 1, clRed, clNone, 8, 1, false,
                     r.Angle, 0, 3);
    ASSERT_EQ(drawn.Count, 3);
    EXPECT_EQ(drawn[1].X, r.Tip.X) << r.Angle;
    EXPECT_EQ(drawn[1].Y, r.Tip.Y) << r.Angle;
  }
  // Mode 1 at another scale leaves the drawn outline alone.
  TPXPointList kept;
  DrawShapePolygon(nullptr, 0, 0, 200, 101, 2, 2, arrow, true, kept, clNone, 0, 1, clRed, clNone, 8, 1, false, 0, 0, 1);
  EXPECT_EQ(kept.Count, 0);
}

TEST(LayerDraw, LineEndShapeOutlines) {
  // A line from (0, 50) to (100, 50): the end points right; L = 20 at scale 1.
  struct Row {
    TPXLineEndShape Kind;
    int32_t Count;
    std::array<TDPoint, 4> Points;
  };
  const Row rows[] = {
      {1, 3, {TDPoint{100, 50}, {80, 56}, {80, 44}}},
      {2, 2, {TDPoint{90, 40}, {110, 60}}},
      {3, 4, {TDPoint{110, 50}, {100, 60}, {90, 50}, {100, 40}}},
      {4, 3, {TDPoint{80, 58}, {100, 50}, {80, 42}}},
      {5, 3, {TDPoint{100, 56}, {100, 44}, {80, 50}}},
      {6, 2, {TDPoint{100, 60}, {100, 40}}},
      {7, 2, {TDPoint{97, 47}, {103, 53}}},  // 2 (L div 6) = 6 wide
  };
  auto bitmap = TPXBitmap::CreateAllocated(120, 100, px24RGB);
  for (const Row& r : rows) {
    TPXLineEndShapeRecord out;
    DrawLineEndShape(bitmap->GetPXCanvas(), 0, 50, 100, 50, r.Kind, 20, 1, 1, out);
    ASSERT_EQ(out.Count, r.Count) << int(r.Kind);
    for (int32_t i = 0; i < r.Count; ++i) {
      EXPECT_NEAR(out.Points[i].X, r.Points[i].X, 1e-9) << int(r.Kind) << " " << i;
      EXPECT_NEAR(out.Points[i].Y, r.Points[i].Y, 1e-9) << int(r.Kind) << " " << i;
    }
  }
  // Points come back in layer pixels; a size below 2 target pixels draws nothing.
  TPXLineEndShapeRecord half;
  DrawLineEndShape(nullptr, 0, 100, 200, 100, 1, 10, 2, 2, half);
  ASSERT_EQ(half.Count, 3);
  EXPECT_EQ(half.Points[1].X, 90);
  auto blank = TPXBitmap::CreateAllocated(20, 20, px24RGB);
  blank->Fill(static_cast<double>(clWhite));
  TPXLineEndShapeRecord none;
  DrawLineEndShape(blank->GetPXCanvas(), 0, 10, 10, 10, 1, 1, 1, 1, none);
  EXPECT_EQ(none.Count, 0);
  EXPECT_EQ(Painted(*blank), 0);
}

TEST(LayerDraw, MeasurementsAndTheirTexts) {
  EXPECT_DOUBLE_EQ(MeasureLineLength({0, 0}, {300, 400}, pxuPixels, 100, 100), 500);
  EXPECT_DOUBLE_EQ(MeasureLineLength({0, 0}, {300, 400}, pxuInches, 100, 100), 5.0);
  // Each axis at its own pixel size: 300 px at 100 dpi and 400 px at 200 dpi are 3 and 2 inches.
  EXPECT_DOUBLE_EQ(MeasureLineLength({0, 0}, {300, 400}, pxuInches, 100, 200), std::hypot(3.0, 2.0));
  EXPECT_DOUBLE_EQ(MeasureBoxArea(TRect(0, 0, 40, 20), pxuPixels, true, 96, 96, 1, 1), 20 * 10 * std::numbers::pi);
  EXPECT_DOUBLE_EQ(MeasureBoxArea(TRect(40, 20, 0, 0), pxuPixels, false, 96, 96, 2, 1), 20 * 20);

  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  ASSERT_NE(settings, nullptr);
  const int32_t digits = settings->FFloatDigits;
  settings->FFloatDigits = 1;
  std::string text;
  FormatLineLength({0, 0}, {300, 400}, pxuInches, 100, 100, text);
  EXPECT_EQ(text, "5.0 inches");
  FormatBoxArea(TRect(0, 0, 10, 10), pxuPixels, false, 96, 96, 1, 1, text);
  EXPECT_EQ(text, "100.0 pixels\u00B2");
  settings->FFloatDigits = digits;

  TPoint size;
  RotatedExtent(0, 0, 100, 50, 90, size);
  EXPECT_EQ(size, TPoint(50, 100));
  RotatedExtent(100, 50, 0, 0, 45, size);
  EXPECT_EQ(size, TPoint(106, 106));  // 150 / sqrt 2, truncated
  EXPECT_TRUE(IsZeroDPoint({0, 0}));
  EXPECT_FALSE(IsZeroDPoint({0, 1e-9}));
}

TEST(LayerDraw, TextBoxOverflowPlacementAndMeasuring) {
  auto bitmap = TPXBitmap::CreateAllocated(300, 200, px24RGB);
  bitmap->Fill(static_cast<double>(clWhite));
  TPXCanvas* canvas = bitmap->GetPXCanvas();
  TFont font;
  font.SetName("Arial");
  font.SetHeight(-16);
  TRect rect;
  TPXPointList shape, drawn;
  TPoint size(-1, -1);
  auto box = [&](const std::string& Text, int32_t Right, uint8_t Alignment, uint8_t Layout, uint8_t Overflow,
                 uint8_t Mode) {
    DrawTextBox(canvas, 10, 20, Right, 120, 1, 1, Text, &font, Alignment, Layout, 0, Overflow, 0, 0, clNone, 0, 1,
                clNone, clNone, 8, 1, 0, 0, 0, 1, 4, 0, 0, rect, shape, drawn, Mode, size);
  };
  // Our own measurement of the text decides where it goes.
  TFont* cf = canvas->GetFont();
  cf->Assign(&font);
  TSize m{0, 0};
  canvas->MeasureStringInRect("Hello", TRect(10, 20, 10000, 10000), 0, m);
  ASSERT_GT(m.cx, 0);
  struct Row {
    uint8_t Alignment, Layout;
    int32_t Left, Top;
  };
  const Row rows[] = {{0, 0, 10, 20},
                      {1, 1, 10 + (290 - 10 - m.cx), 20 + (120 - 20 - m.cy)},
                      {2, 2, 10 + (290 - 10 - m.cx) / 2, 20 + (120 - 20 - m.cy) / 2}};
  for (const Row& r : rows) {
    box("Hello", 290, r.Alignment, r.Layout, 0, 0);
    EXPECT_EQ(rect, TRect(r.Left, r.Top, 290, 120)) << int(r.Alignment);
  }
  EXPECT_GT(Painted(*bitmap), 0);

  // Measuring mode answers the needed size and draws nothing.
  auto blank = TPXBitmap::CreateAllocated(300, 200, px24RGB);
  blank->Fill(static_cast<double>(clWhite));
  canvas = blank->GetPXCanvas();
  box("Hello", 290, 0, 0, 0, 2);
  EXPECT_EQ(size, TPoint(10 + m.cx + 1, 20 + m.cy + 1));  // shape 4: no extra "W"
  EXPECT_EQ(Painted(*blank), 0);
  // Hidden overflow draws nothing at all; a cut text still draws.
  box("A long text that cannot fit", 40, 0, 0, 2, 0);
  EXPECT_EQ(Painted(*blank), 0);
  box("A long text that cannot fit", 60, 0, 0, 0, 0);
  EXPECT_GT(Painted(*blank), 0);
}
