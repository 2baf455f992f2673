// Layer geometry: client rectangle and conversions, point conversion, hit test, capability
// query, angle snapping, aspect-ratio operations, PDF placement and the neutral answers
// without owner.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>

#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// An image layer whose rotated corner quad can be set, as a rotated paint leaves it.
class QuadImageLayer : public TPXImageLayer {
 public:
  using TPXImageLayer::TPXImageLayer;
  void SetCorners(const std::array<TPoint, 4>& Corners) { FRotatedCorners = Corners; }
};

// An image layer of W x H whose alpha is 0 except at the listed pixels.
std::unique_ptr<TPXImageLayer> TransparentLayer(IPXLayerOwner* Owner, int32_t W, int32_t H,
                                                std::initializer_list<TPoint> Opaque) {
  auto layer = TPXImageLayer::CreateSized(Owner, W, H);
  TPXBitmap* alpha = layer->Bitmap()->AlphaChannel();
  for (int32_t y = 0; y < H; ++y) std::fill_n(alpha->Scanline(y), W, uint8_t{0});
  for (const TPoint& p : Opaque) alpha->Scanline(p.Y)[p.X] = 255;
  return layer;
}

TEST(LayerGeometry, ClientRectAndConversions) {
  FakeLayerOwner owner;
  auto* l = owner.Add(TPXImageLayer::CreateSized(&owner, 100, 50));
  l->SetPosX(10);
  l->SetPosY(20);
  l->SetWidth(200);
  l->UpdateClientRect();
  EXPECT_EQ(l->ClientRect(), TRect(10, 20, 210, 70));
  // Column of the bitmap under a client x: the box is twice the bitmap's width.
  EXPECT_EQ(l->ClientToLayerX(50), 20);
  EXPECT_EQ(l->LayerToClientX(20), 50);
  EXPECT_EQ(l->ClientToLayerY(30), 10);
  EXPECT_EQ(l->LayerToClientY(10), 30);

  // At zoom 50 the truncating conversions are corrected by one step.
  owner.ZoomXValue = owner.ZoomYValue = 50;
  l->SetBounds(TRect(3, 0, 13, 10));
  l->UpdateClientRect();
  EXPECT_EQ(l->ClientRect(), TRect(2, 0, 7, 5));

  // The picture origin and scrolling move the client rectangle.
  owner.ZoomXValue = owner.ZoomYValue = 200;
  owner.OriginX = 100;
  owner.ScrollX = 30;
  l->UpdateClientRect();
  EXPECT_EQ(l->ClientRect(), TRect(76, 0, 96, 20));

  // A box read from a file at the far end of the coordinate range stays in range.
  owner.ZoomXValue = owner.ZoomYValue = 100;
  owner.OriginX = owner.ScrollX = 0;
  l->SetPosXD(2147483000.0);
  l->SetWidth(5000);
  l->UpdateClientRect();
  EXPECT_EQ(l->ClientRect().Left, 2147483000);
  EXPECT_EQ(l->ClientRect().Right, INT32_MAX);
}

TEST(LayerGeometry, ConvertPoint) {
  FakeLayerOwner owner;
  owner.ZoomXValue = owner.ZoomYValue = 200;
  owner.OriginX = 10;
  TestOnlyLayer l(&owner);
  double x = 15, y = 7;
  // A box of width 0 divides by 1.
  l.ConvertPoint(x, y, 0, 20, 10, 2, pxpbBitmap, pxpbLayer);
  EXPECT_DOUBLE_EQ(x, 5000);
  EXPECT_DOUBLE_EQ(y, 250);
  l.ConvertPoint(x, y, 0, 20, 10, 2, pxpbLayer, pxpbBitmap);
  EXPECT_DOUBLE_EQ(x, 15);
  EXPECT_DOUBLE_EQ(y, 7);
  l.ConvertPoint(x, y, 0, 20, 10, 2, pxpbBitmap, pxpbClient);
  EXPECT_DOUBLE_EQ(x, 40);
  EXPECT_DOUBLE_EQ(y, 14);
  l.ConvertPoint(x, y, 0, 20, 10, 2, pxpbClient, pxpbLayer);
  EXPECT_DOUBLE_EQ(x, 5000);
  EXPECT_DOUBLE_EQ(y, 250);
  l.ConvertPoint(x, y, 0, 20, 10, 2, pxpbLayer, pxpbLayer);
  EXPECT_DOUBLE_EQ(x, 5000);

  int32_t ix = 500, iy = 500;
  l.ConvertPointInt(ix, iy, 3, 3, 0, 0, pxpbLayer, pxpbBitmap);
  EXPECT_EQ(ix, 2);  // 1.5 rounds to even
  EXPECT_EQ(iy, 2);

  for (auto [from, to] : {std::pair{3, 1}, std::pair{1, 7}, std::pair{9, 9}}) {
    try {
      l.ConvertPoint(x, y, 1, 1, 0, 0, static_cast<TPXPointBase>(from), static_cast<TPXPointBase>(to));
      ADD_FAILURE() << "no exception for " << from << " -> " << to;
    } catch (const EPXException& e) {
      EXPECT_STREQ(e.what(), "Base Conversin Error");
    }
  }
}

TEST(LayerGeometry, HitTestBoxIsInclusiveAndWidenedByTolerance) {
  FakeLayerOwner owner;
  auto* l = owner.Add(TransparentLayer(&owner, 30, 40, {}));
  l->SetPosX(10);
  l->SetPosY(20);
  l->UpdateClientRect();
  struct Case {
    int32_t X, Y;
    bool Hit;
  };
  const Case cases[] = {{7, 20, true},  {6, 20, false}, {43, 63, true}, {44, 40, false},
                        {20, 17, true}, {20, 16, false}, {20, 64, false}};
  for (const Case& c : cases) EXPECT_EQ(l->HitTest(c.X, c.Y, true, 3), c.Hit) << c.X << "," << c.Y;
}

TEST(LayerGeometry, HitTestLooksAtAlphaAndNeighbours) {
  FakeLayerOwner owner;
  auto* l = owner.Add(TransparentLayer(&owner, 20, 20, {TPoint{10, 5}}));
  l->UpdateClientRect();
  EXPECT_TRUE(l->HitTest(10, 5, false, 0));
  EXPECT_FALSE(l->HitTest(7, 5, false, 2));  // transparent with transparent neighbours
  EXPECT_TRUE(l->HitTest(7, 5, false, 3));
  EXPECT_TRUE(l->HitTest(10, 8, false, 3));
  EXPECT_FALSE(l->HitTest(8, 7, false, 2));  // diagonal neighbours do not count
  EXPECT_TRUE(l->HitTest(7, 5, true, 0));    // transparency ignored
  EXPECT_TRUE(l->HitTest(0, 5, false, INT32_MAX));  // a huge tolerance ends at the edges
  auto* empty = owner.Add(TransparentLayer(&owner, 20, 20, {}));
  empty->UpdateClientRect();
  EXPECT_FALSE(empty->HitTest(19, 19, false, INT32_MAX));

  // Without an alpha channel the box decides.
  auto* opaque = owner.Add(TPXImageLayer::CreateSized(&owner, 20, 20));
  opaque->UpdateClientRect();
  EXPECT_TRUE(opaque->HitTest(3, 3, false, 0));

  // Other kinds look at pixels only when every layer is cached; the test kind has none.
  auto* shape = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  shape->SetWidth(5);
  shape->SetHeight(5);
  shape->UpdateClientRect();
  EXPECT_TRUE(shape->HitTest(2, 2, false, 0));
  owner.Caching = -1;
  EXPECT_TRUE(shape->HitTest(2, 2, false, 0));
}

TEST(LayerGeometry, RotatedImageLayerTestsItsQuad) {
  FakeLayerOwner owner;
  auto* l = owner.Add(std::make_unique<QuadImageLayer>(&owner, TPXBitmap::CreateAllocated(20, 20, px24RGB)));
  l->UpdateClientRect();
  l->SetRotate(45);
  EXPECT_FALSE(l->UsesRotatedQuad());  // corners not known before a rotated paint
  l->SetCorners({TPoint{10, -4}, TPoint{24, 10}, TPoint{10, 24}, TPoint{-4, 10}});
  EXPECT_TRUE(l->UsesRotatedQuad());
  EXPECT_TRUE(l->HitTest(-2, 10, true, 0));  // outside the box, inside the diamond
  EXPECT_FALSE(l->HitTest(1, 1, true, 0));   // inside the box, outside the diamond
  l->SetRotate(0);
  EXPECT_FALSE(l->UsesRotatedQuad());
  EXPECT_TRUE(l->HitTest(1, 1, true, 0));
}

TEST(LayerGeometry, SupportsFeature) {
  auto image = TPXImageLayer::CreateSized(nullptr, 100, 50);
  for (uint8_t f = 0; f <= 10; ++f) EXPECT_EQ(image->SupportsFeature(f), f == 0 || f == 3 || f == 4) << int(f);
  image->SetWidth(200);
  image->SetHeight(100);
  EXPECT_FALSE(image->SupportsFeature(8));
  image->SetWidth(101);  // 1.01 against 2.0
  EXPECT_TRUE(image->SupportsFeature(8));
  image->SetWidth(0);  // natural width, height 100: 100/100 against 2.0
  EXPECT_TRUE(image->SupportsFeature(8));
  image->SetHeight(0);
  EXPECT_FALSE(image->SupportsFeature(8));
  image->SetWidth(201);
  image->SetHeight(100);  // 2.01 against 2.0: the same at 1/50
  EXPECT_FALSE(image->SupportsFeature(8));

  TestOnlyLayer other(nullptr);
  EXPECT_TRUE(other.SupportsFeature(0));
  EXPECT_TRUE(other.SupportsFeature(3));
  EXPECT_FALSE(other.SupportsFeature(4));
}

TEST(LayerGeometry, SnapPointAngle) {
  FakeLayerOwner owner;
  TestOnlyLayer l(&owner);
  struct Case {
    double In, Out;
  };
  const Case cases[] = {{50, 45}, {20, 0}, {23, 45}, {170, 180}, {350, 360}, {200, 180}};
  for (const Case& c : cases) {
    double x = 10 + 100 * std::cos(c.In * kPi / 180), y = 20 - 100 * std::sin(c.In * kPi / 180);
    l.SnapPointAngle(x, y, TDPoint{10, 20});
    EXPECT_NEAR(x, 10 + 100 * std::cos(c.Out * kPi / 180), 1e-9) << c.In;
    EXPECT_NEAR(y, 20 - 100 * std::sin(c.Out * kPi / 180), 1e-9) << c.In;
  }
  // Step 90 in layer units of a 200 x 100 box: (1000, 0) from (0, 1000) is at 26.6 degrees.
  owner.SnapStep = 90;
  l.SetWidth(200);
  l.SetHeight(100);
  double x = 1000, y = 0;
  l.SnapLayerPointAngle(x, y, TDPoint{0, 1000});
  EXPECT_EQ(x, Round(std::hypot(200.0, 100.0) / 200 * 1000));
  EXPECT_EQ(y, 1000);
  // A step of 0 snaps nothing.
  owner.SnapStep = 0;
  x = 3;
  y = 4;
  l.SnapPointAngle(x, y, TDPoint{0, 0});
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
}

TEST(LayerGeometry, AspectRatioOperationsRefitCentred) {
  FakeLayerOwner owner;
  auto* l = owner.Add(TPXImageLayer::CreateSized(&owner, 100, 50));
  l->SetBounds(TRect(10, 10, 210, 210));
  owner.ClearRecords();
  l->RestoreAspectRatio(false);
  EXPECT_EQ(l->GetPosX(), 10);
  EXPECT_EQ(l->GetPosY(), 60);
  EXPECT_EQ(l->GetWidth(), 200);
  EXPECT_EQ(l->GetHeight(), 100);
  EXPECT_FALSE(owner.ImageChanges.empty());
  EXPECT_DOUBLE_EQ(l->GetPreferredAspectRatio(), 2.0);

  // Locking remembers the ratio; unlocking refits the box to it, centred.
  auto* m = owner.Add(TPXImageLayer::CreateSized(&owner, 100, 50));
  m->SetAspectRatioLocked(true);
  EXPECT_DOUBLE_EQ(m->StoredAspectRatio(), 2.0);
  m->SetBounds(TRect(0, 0, 100, 100));
  m->SetAspectRatioLocked(false);
  EXPECT_FALSE(m->AspectRatioLocked());
  EXPECT_EQ(m->GetPosY(), 25);
  EXPECT_EQ(m->GetWidth(), 100);
  EXPECT_EQ(m->GetHeight(), 50);

  // A magnifier has no preferred ratio.
  m->SetMagnifierEnabled(true);
  EXPECT_EQ(m->GetPreferredAspectRatio(), 0.0);

  EXPECT_TRUE(AspectRatiosDiffer(1.0, 1.03));
  EXPECT_FALSE(AspectRatiosDiffer(1.0, 1.005));
}

TEST(LayerGeometry, ContentCornersAndDrawnPoints) {
  auto image = TPXImageLayer::CreateSized(nullptr, 20, 10);
  image->SetPosX(5);
  std::array<TPoint, 4> c;
  image->GetContentCorners(c);
  EXPECT_EQ(c[0], TPoint(5, 0));
  EXPECT_EQ(c[2], TPoint(25, 10));
  image->SetRotate(90);
  image->GetContentCorners(c);
  // Turned a quarter about (15, 5): the corners trade places.
  std::set<std::pair<int32_t, int32_t>> got, want{{10, 15}, {10, -5}, {20, -5}, {20, 15}};
  for (const TPoint& p : c) got.insert({p.X, p.Y});
  EXPECT_EQ(got, want);
  EXPECT_EQ(image->GetContentBoxSize(), TPoint(20, 10));

  // A shape locked to 2:1 has its content in the centred 2:1 part of its box.
  TestOnlyLayer shape(nullptr, pxlkShape);
  shape.SetBounds(TRect(0, 0, 100, 100));
  shape.SetAspectRatioLocked(true);
  shape.SetStoredAspectRatio(2.0);
  shape.GetContentCorners(c);
  EXPECT_EQ(c[0], TPoint(0, 25));
  EXPECT_EQ(c[2], TPoint(100, 75));
  EXPECT_EQ(shape.GetContentBoxSize(), TPoint(100, 50));

  FakeLayerOwner owner;
  owner.ZoomXValue = 200;
  auto* l = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  l->SetPosX(4);
  l->UpdateClientRect();
  l->SetDrawnPoints({TDPoint{1.25, 3}, TDPoint{2, 2}});
  ASSERT_EQ(l->GetDrawnPointCount(), 2);
  EXPECT_EQ(l->GetDrawnPoint(0), TPoint(8 + 2, 3));  // 2.5 rounds to even
  EXPECT_EQ(l->GetDrawnPoint(5), TPoint(0, 0));
  l->RefreshDrawnPoints();
  EXPECT_EQ(l->RenderModes, std::vector<uint8_t>{3});
}

TEST(LayerGeometry, PDFPlacement) {
  FakeLayerOwner owner;
  TIOParams params;
  params.PDF_Margin = 10;
  params.PDF_PaperWidth = 595;
  params.PDF_PaperHeight = 842;
  owner.Params = &params;
  owner.LayersRect = {10, 20, 200, 100};
  TestOnlyLayer l(&owner);
  double scale = 0;
  int32_t margin = 0, ox = 0, oy = 0;
  l.GetPDFPlacement(scale, margin, ox, oy);
  EXPECT_DOUBLE_EQ(scale, 575.0 / 200);
  EXPECT_EQ(margin, 10);
  EXPECT_EQ(ox, -10);
  EXPECT_EQ(oy, -20);
  // No page size: the page is the layers plus margins.
  params.PDF_PaperWidth = 0;
  l.GetPDFPlacement(scale, margin, ox, oy);
  EXPECT_DOUBLE_EQ(scale, 1.0);
  // Empty layers never divide by zero.
  owner.LayersRect = {0, 0, 0, 0};
  l.GetPDFPlacement(scale, margin, ox, oy);
  EXPECT_DOUBLE_EQ(scale, 1.0);
}

TEST(LayerGeometry, WithoutOwnerEverythingIsNeutral) {
  auto l = TPXImageLayer::CreateSized(nullptr, 10, 10);
  l->SetPosX(3);
  l->UpdateClientRect();
  EXPECT_EQ(l->ClientRect(), TRect(0, 0, 0, 0));
  EXPECT_EQ(l->ClientToLayerX(5), 0);
  EXPECT_EQ(l->ClientToLayerY(5), 0);
  EXPECT_EQ(l->LayerToClientX(5), 0);
  EXPECT_EQ(l->LayerToClientY(5), 0);
  EXPECT_EQ(l->GetDrawnPointCount(), 0);
  EXPECT_TRUE(l->OwnerAlphaEnabled());
  EXPECT_FALSE(l->OwnerFastDrawing());
  EXPECT_FALSE(l->OwnerOutputFlag());
  double x = 3, y = 4;
  l->SnapPointAngle(x, y, TDPoint{0, 0});
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
  x = 7;
  l->ConvertPoint(x, y, 1, 1, 0, 0, pxpbClient, pxpbBitmap);  // client is picture without a view
  EXPECT_EQ(x, 7);
  double scale = 0;
  int32_t margin = 1, ox = 1, oy = 1;
  l->GetPDFPlacement(scale, margin, ox, oy);
  EXPECT_EQ(scale, 1.0);
  EXPECT_EQ(margin + ox + oy, 0);

  FakeLayerOwner owner;
  owner.FastDrawing = true;
  owner.AlphaEnabled = false;
  owner.QuickRendering = true;
  TestOnlyLayer owned(&owner);
  EXPECT_FALSE(owned.OwnerAlphaEnabled());
  EXPECT_TRUE(owned.OwnerFastDrawing());
  EXPECT_TRUE(owned.OwnerOutputFlag());
}

}  // namespace
