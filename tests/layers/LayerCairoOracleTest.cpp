// The drawn kinds' pixels against cairo: shapes (an output copy halved with a smoothing filter),
// antialiased closed polylines and lines are drawn again by cairo from the same drawn outline at
// the same size (even-odd fill, round joins, butt caps, plain and linear gradient fills). Away
// from the outline the pixels must be equal (gradients within a level), and the edges may differ
// only slightly on average.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_polyline.h"
#include "layers/pxxLayers_shape.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

struct Rgb {
  double R, G, B;
};

Rgb ColorOf(TColor C) {
  const auto c = static_cast<uint32_t>(C);
  return Rgb{(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0};
}

// What cairo draws: the outline through Points (closed or open), its stroke and then its fill
// (the canvas fills over the inner half of the pen).
struct CairoFigure {
  std::vector<TDPoint> Points;
  bool Closed = true;
  TColor Fill = clNone;
  TColor Fill2 = clNone;
  int32_t GradientKind = 0;  // 0 plain, 1 along x over GradientLength, 2 along y
  double GradientLength = 0;
  TColor Stroke = clNone;
  double StrokeWidth = 0;
  double Offset = 0.5;  // where a drawing coordinate lands in device pixels
};

// cairo's picture of the figure on white, as 8-bit R, G, B per pixel.
std::vector<uint8_t> CairoPicture(const CairoFigure& F, int32_t W, int32_t H) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_translate(cr, F.Offset, F.Offset);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
  cairo_new_path(cr);
  for (size_t i = 0; i < F.Points.size(); ++i)
    (i == 0 ? cairo_move_to : cairo_line_to)(cr, F.Points[i].X, F.Points[i].Y);
  if (F.Closed) cairo_close_path(cr);
  if (F.Stroke != clNone && F.StrokeWidth > 0) {
    const Rgb c = ColorOf(F.Stroke);
    cairo_set_source_rgb(cr, c.R, c.G, c.B);
    cairo_set_line_width(cr, F.StrokeWidth);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_stroke_preserve(cr);
  }
  if (F.Fill != clNone) {
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    if (F.GradientKind == 0) {
      const Rgb c = ColorOf(F.Fill);
      cairo_set_source_rgb(cr, c.R, c.G, c.B);
      cairo_fill(cr);
    } else {
      cairo_pattern_t* p = F.GradientKind == 1 ? cairo_pattern_create_linear(0, 0, F.GradientLength, 0)
                                               : cairo_pattern_create_linear(0, 0, 0, F.GradientLength);
      const Rgb a = ColorOf(F.Fill), b = ColorOf(F.Fill2);
      cairo_pattern_add_color_stop_rgb(p, 0, a.R, a.G, a.B);
      cairo_pattern_add_color_stop_rgb(p, 1, b.R, b.G, b.B);
      cairo_pattern_set_extend(p, CAIRO_EXTEND_REPEAT);
      cairo_set_source(cr, p);
      cairo_fill(cr);
      cairo_pattern_destroy(p);
    }
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<uint8_t> rgb(size_t(W) * size_t(H) * 3);
  const uint8_t* data = cairo_image_surface_get_data(surface);
  const int32_t stride = cairo_image_surface_get_stride(surface);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      uint32_t v;
      std::memcpy(&v, data + size_t(y) * size_t(stride) + size_t(x) * 4, 4);
      uint8_t* d = &rgb[(size_t(y) * size_t(W) + size_t(x)) * 3];
      d[0] = uint8_t(v >> 16), d[1] = uint8_t(v >> 8), d[2] = uint8_t(v);
    }
  cairo_surface_destroy(surface);
  return rgb;
}

double SegmentDistance(double Px, double Py, const TDPoint& A, const TDPoint& B) {
  const double dx = B.X - A.X, dy = B.Y - A.Y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((Px - A.X) * dx + (Py - A.Y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(Px - (A.X + t * dx), Py - (A.Y + t * dy));
}

struct Comparison {
  int32_t FarPixels = 0, FarDiffering = 0, WorstFar = 0;
  double MeanDifference = 0;
};

// Compares our picture with cairo's: pixels whose centre lies farther than 1.5 pixels from the
// stroke's edges (or from the outline without a stroke), and the mean over every channel.
Comparison Compare(TPXBitmap* Ours, const CairoFigure& F) {
  const int32_t W = Ours->Width(), H = Ours->Height();
  const std::vector<uint8_t> theirs = CairoPicture(F, W, H);
  const double band = F.StrokeWidth / 2 + 1.5;
  Comparison c;
  double total = 0;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const TRGB p = Ours->GetPixelRGB(x, y);
      const uint8_t* t = &theirs[(size_t(y) * size_t(W) + size_t(x)) * 3];
      const int32_t d = std::max({std::abs(p.r - t[0]), std::abs(p.g - t[1]), std::abs(p.b - t[2])});
      total += std::abs(p.r - t[0]) + std::abs(p.g - t[1]) + std::abs(p.b - t[2]);
      // The pixel centre in drawing coordinates.
      const double px = x + 0.5 - F.Offset, py = y + 0.5 - F.Offset;
      double dist = 1e9;
      const size_t n = F.Points.size();
      for (size_t i = 0; i + 1 < n; ++i) dist = std::min(dist, SegmentDistance(px, py, F.Points[i], F.Points[i + 1]));
      if (F.Closed && n > 1) dist = std::min(dist, SegmentDistance(px, py, F.Points[n - 1], F.Points[0]));
      if (dist <= band) continue;
      ++c.FarPixels;
      if (d != 0) ++c.FarDiffering;
      c.WorstFar = std::max(c.WorstFar, d);
    }
  c.MeanDifference = total / (3.0 * W * H);
  return c;
}

// The drawn outline as the canvas draws it: rounded to whole pixels of a rendering at Scale.
std::vector<TDPoint> PointsOf(const TPXPointList& L, double Scale = 1) {
  std::vector<TDPoint> v;
  for (int32_t i = 0; i < L.Count; ++i)
    v.push_back(TDPoint{double(Round(L[i].X * Scale)) / Scale, double(Round(L[i].Y * Scale)) / Scale});
  return v;
}

void ExpectAlike(TPXBitmap* Ours, const CairoFigure& F) {
  const Comparison c = Compare(Ours, F);
  EXPECT_GT(c.FarPixels, Ours->Width() * Ours->Height() / 3) << "most of the picture is away from the outline";
  // Plain fills are equal; two gradient rasterisers may round a level apart.
  EXPECT_LE(c.WorstFar, F.GradientKind != 0 ? 1 : 0) << c.FarDiffering << " pixels differ";
  EXPECT_LE(c.MeanDifference, 2.0);
}

}  // namespace

// A shape's output copy is rendered at twice the size without smoothing and halved by the
// owner's filter: a pixel j of the copy is centred on drawing coordinate j + 0.25.
TEST(LayerCairoOracle, ShapeCopiesMatchCairoFillingTheirOutline) {
  struct Row {
    TPXShape Shape;
    double Rotate;
    int32_t BorderWidth;
    uint8_t Gradient;  // 8: plain
  };
  for (const Row& row : {Row{pxshArrowUp, 30, 3, 8}, Row{pxshHeart, 0, 2, 0}, Row{static_cast<TPXShape>(16), 90, 4, 1},
                         Row{pxshDiamond, 0, 0, 8}}) {
    SCOPED_TRACE(testing::Message() << "shape " << int(row.Shape) << " gradient " << int(row.Gradient));
    FakeLayerOwner owner;
    owner.ResampleFilter = rfTriangle;
    auto* layer = owner.Add(std::make_unique<TPXShapeLayer>(&owner));
    layer->SetShape(row.Shape);
    layer->SetWidth(160);
    layer->SetHeight(120);
    layer->SetRotate(row.Rotate);
    layer->SetBorderWidth(row.BorderWidth);
    layer->SetBorderColor(clNavy);
    layer->SetFillColor(0x20C040);
    layer->SetFillColor2(0xF0A010);
    layer->SetFillGradient(row.Gradient);
    layer->SetAntiAlias(true);

    // The outline of the twice-size rendering, in layer pixels.
    std::unique_ptr<TPXBitmap> twice, copy;
    layer->RenderContent(twice, 320, 240, false, false, false, 0, 0);
    CairoFigure f;
    f.Points = PointsOf(layer->DrawnPoints(), 2);
    ASSERT_GT(f.Points.size(), 3u);
    layer->CopyToBitmap(copy, 160, 120, false, false);
    ASSERT_EQ(copy->Width(), 160);

    f.Offset = 0.25;
    f.Fill = layer->FillColor();
    if (row.Gradient != 8) {
      f.Fill2 = layer->FillColor2();
      f.GradientKind = row.Gradient + 1;
      f.GradientLength = row.Gradient == 0 ? 160 : 119.5;  // the twice-size box, halved
    }
    f.Stroke = row.BorderWidth > 0 ? layer->BorderColor() : clNone;
    f.StrokeWidth = row.BorderWidth;
    ExpectAlike(copy.get(), f);
  }
}

TEST(LayerCairoOracle, AntialiasedClosedPolylinesMatchCairo) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(std::make_unique<TPXPolylineLayer>(&owner));
  layer->SetAutoSize(false);
  layer->SetBounds(TRect(0, 0, 150, 110));
  // A star-like outline that crosses itself: the even-odd rule leaves its middle empty.
  const std::vector<TPoint> pts{TPoint(500, 0), TPoint(800, 1000), TPoint(0, 350), TPoint(1000, 350), TPoint(200, 1000)};
  layer->SetPoints(pts.data(), int32_t(pts.size()), pxpbLayer);
  layer->SetPolylineClosed(true);
  layer->SetLineColor(clMaroon);
  layer->SetLineWidth(3);
  layer->SetFillColor(0x40A0F0);
  layer->SetAntiAlias(true);
  std::unique_ptr<TPXBitmap> out;
  layer->RenderContent(out, 150, 110, false, false, false, 0, 0);
  CairoFigure f;
  f.Points = PointsOf(layer->DrawnPoints());
  ASSERT_EQ(f.Points.size(), pts.size());
  f.Fill = layer->FillColor();
  f.Stroke = clMaroon;
  f.StrokeWidth = 3;
  ExpectAlike(out.get(), f);
}

TEST(LayerCairoOracle, AntialiasedLinesMatchCairo) {
  for (double angle : {0.0, 30.0, 135.0}) {
    SCOPED_TRACE(angle);
    FakeLayerOwner owner;
    auto* layer = owner.Add(std::make_unique<TPXLineLayer>(&owner));
    layer->SetLineWidth(5);
    layer->SetLineColor(clTeal);
    layer->SetAntiAlias(true);
    layer->SetRotate(angle);
    layer->SetEndPoints(false, true, 20, 30, 20 + 140 * std::cos(angle * M_PI / 180),
                        30 - 140 * std::sin(angle * M_PI / 180));
    std::unique_ptr<TPXBitmap> out;
    layer->RenderContent(out, 0, 0, false, false, false, 0, 0);
    CairoFigure f;
    f.Points = {layer->StartPoint(), layer->EndPoint()};
    f.Closed = false;
    f.Stroke = clTeal;
    f.StrokeWidth = 5;
    ExpectAlike(out.get(), f);
  }
}
