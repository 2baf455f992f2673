// The image layer's painting: the direct path of the background layer, rotated painting and its
// corner quad, the magnifier, the border; CreateFromLayer, ResetBitmap and CropToOpaque.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// An owner that looks at the picture a layer is about to compose (OnBeforeDrawLayer).
class ProbeOwner : public FakeLayerOwner {
 public:
  std::function<void(TPXBitmap*)> Probe;
  void DoBeforeDrawLayer(TPXBitmap* Dest, int32_t LayerIndex) override {
    FakeLayerOwner::DoBeforeDrawLayer(Dest, LayerIndex);
    if (Probe) Probe(Dest);
  }
};

std::unique_ptr<TPXImageLayer> FilledLayer(IPXLayerOwner* Owner, int32_t W, int32_t H, TColor Color) {
  auto layer = TPXImageLayer::CreateSized(Owner, W, H);
  layer->Bitmap()->Fill(Color);
  return layer;
}

// Layer 0 of BackW x BackH in Back and over it a layer of W x H in Color at (X, Y).
TPXImageLayer* OverBackground(FakeLayerOwner& Owner, int32_t BackW, int32_t BackH, TColor Back, int32_t W, int32_t H,
                              TColor Color, int32_t X = 0, int32_t Y = 0) {
  Owner.Add(FilledLayer(&Owner, BackW, BackH, Back));
  TPXImageLayer* layer = Owner.Add(FilledLayer(&Owner, W, H, Color));
  if (X != 0) layer->SetPosX(X);
  if (Y != 0) layer->SetPosY(Y);
  return layer;
}

std::unique_ptr<TPXBitmap> FilledTarget(int32_t W, int32_t H, TColor Color) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  b->Fill(Color);
  return b;
}

bool IsColour(TPXBitmap* B, int32_t X, int32_t Y, TColor Color, int Tolerance = 8) {
  const TRGB c = B->GetPixelRGB(X, Y), e = TColorToRGB(Color);
  return std::abs(c.r - e.r) <= Tolerance && std::abs(c.g - e.g) <= Tolerance && std::abs(c.b - e.b) <= Tolerance;
}

// Paints Layer as the view would, with layer 0's rectangles (Dest0X, Dest0Y) and its own size.
void PaintLayer(TPXLayer* Layer, TPXBitmap* Target, int32_t Index, int32_t Dest0X = 0, int32_t Dest0Y = 0,
                int32_t Dest0W = 0, int32_t Dest0H = 0, uint8_t Quality = 0, TResampleFilter Filter = rfNone) {
  Layer->Paint(Target, Index, nullptr, nullptr, nullptr, Dest0X, Dest0Y, Dest0W, Dest0H, 0, 0, Dest0W, Dest0H, true,
               Index == 0, Filter, Quality, false);
}

// --- direct path ---------------------------------------------------------------------------------

TEST(ImageLayerPaint, UnmovedBackgroundTakesTheDirectPath) {
  // The view's rectangles for layer 0 say (10, 20); the general path would place it from the
  // layer's own client rectangle at (0, 0) (or (1, 0) once moved).
  struct Case {
    const char* Name;
    std::function<void(FakeLayerOwner&, TPXImageLayer*)> Change;
    bool Direct;
  };
  const Case cases[] = {
      {"unchanged", [](FakeLayerOwner&, TPXImageLayer*) {}, true},
      {"moved one pixel", [](FakeLayerOwner&, TPXImageLayer* l) { l->SetPosX(1); }, false},
      {"handler assigned", [](FakeLayerOwner& o, TPXImageLayer*) { o.BeforeDrawAssigned = true; }, false},
      {"rotated", [](FakeLayerOwner&, TPXImageLayer* l) { l->SetRotate(90); }, false},
      {"sized", [](FakeLayerOwner&, TPXImageLayer* l) { l->SetWidth(50); }, false},
      {"shadow", [](FakeLayerOwner&, TPXImageLayer* l) { l->SoftShadow()->Enabled = 1; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    FakeLayerOwner owner;
    auto* layer = owner.Add(FilledLayer(&owner, 40, 30, clRed));
    c.Change(owner, layer);
    auto target = FilledTarget(120, 90, clWhite);
    PaintLayer(layer, target.get(), 0, 10, 20, 40, 30);
    if (c.Direct) {
      EXPECT_EQ(layer->DrawDestRect(), (TPXDrawRect{10, 20, 40, 30}));
      EXPECT_EQ(layer->DrawSourceRect(), (TPXDrawRect{0, 0, 40, 30}));
      EXPECT_EQ(layer->ClientRect(), TRect(10, 20, 50, 50));
      EXPECT_TRUE(IsColour(target.get(), 12, 22, clRed, 0));
      EXPECT_TRUE(IsColour(target.get(), 8, 22, clWhite, 0));
    } else {
      EXPECT_NE(layer->DrawDestRect().X, 10);
      EXPECT_NE(layer->DrawDestRect().Y, 20);
    }
  }
}

TEST(ImageLayerPaint, DirectPathUsesAndKeepsTheViewsLookupTables) {
  // Layer 0 at zoom 200: the view's tables (empty at first) are filled by the first paint and
  // reused as they are by the next; a second target painted with them matches the first.
  FakeLayerOwner owner;
  auto* layer = owner.Add(FilledLayer(&owner, 20, 10, clBlue));
  layer->Bitmap()->SetPixelRGB(3, 4, 0x00FF00);
  TPXIntegerArray cols, rows;
  auto first = FilledTarget(60, 30, clWhite), second = FilledTarget(60, 30, clWhite);
  for (TPXBitmap* target : {first.get(), second.get()})
    layer->Paint(target, 0, &cols, &rows, nullptr, 5, 2, 40, 20, 0, 0, 20, 10, true, true, rfNone, 0, false);
  EXPECT_FALSE(cols.empty());
  EXPECT_FALSE(rows.empty());
  EXPECT_TRUE(IsColour(first.get(), 5 + 7, 2 + 9, clLime, 0));
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 60; ++x) ASSERT_EQ(first->GetPixelRGB(x, y), second->GetPixelRGB(x, y));
}

// --- rotation ---------------------------------------------------------------------------------

struct RotationProbe {
  bool Seen = false;
  bool Virtual = false;
  bool AlphaVirtual = false;
  int32_t Width = 0, Height = 0;
  uint8_t CornerAlpha = 255, CentreAlpha = 0;
};

TEST(ImageLayerPaint, RotatedPaintKeepsTheBoxAndReportsClientCorners) {
  for (uint8_t quality : {uint8_t{0}, uint8_t{1}, uint8_t{2}, uint8_t{3}}) {
    SCOPED_TRACE(quality);
    ProbeOwner owner;
    owner.ZoomXValue = owner.ZoomYValue = 200;
    owner.OriginX = 7;
    owner.OriginY = 5;
    owner.ScrollX = 3;
    owner.ScrollY = 1;
    auto* layer = OverBackground(owner, 200, 150, clWhite, 60, 40, clBlue);
    layer->SetPosXD(50.25);
    layer->SetPosYD(30.5);
    layer->SetRotate(30);
    owner.BeforeDrawAssigned = true;
    RotationProbe probe;
    owner.Probe = [&probe](TPXBitmap* p) {
      probe.Seen = true;
      probe.Virtual = p->IsVirtual();
      TPXBitmap* a = p->PeekAlphaChannel();
      probe.AlphaVirtual = a && a->IsVirtual();
      probe.Width = p->Width();
      probe.Height = p->Height();
      if (a) {
        probe.CornerAlpha = a->GetPixel8(0, 0);
        probe.CentreAlpha = a->GetPixel8(p->Width() / 2, p->Height() / 2);
      }
    };
    auto target = FilledTarget(500, 400, clWhite);
    PaintLayer(layer, target.get(), 1, 0, 0, 400, 300, quality, rfNone);

    EXPECT_EQ(layer->GetPosXD(), 50.25);
    EXPECT_EQ(layer->GetPosYD(), 30.5);
    EXPECT_TRUE(layer->IsNaturalSize());
    EXPECT_EQ(layer->GetWidth(), 60);
    EXPECT_EQ(layer->GetHeight(), 40);
    // The layer's own picture is left as it was.
    EXPECT_FALSE(layer->Bitmap()->HasAlphaChannel());
    EXPECT_FALSE(layer->Bitmap()->IsVirtual());

    ASSERT_TRUE(probe.Seen);
    EXPECT_EQ(probe.Virtual, quality != 2 && quality != 3);
    EXPECT_EQ(probe.AlphaVirtual, quality != 2 && quality != 3);
    EXPECT_NEAR(probe.Width, 60 * std::cos(kPi / 6) + 40 * std::sin(kPi / 6), 1.5);
    EXPECT_NEAR(probe.Height, 60 * std::sin(kPi / 6) + 40 * std::cos(kPi / 6), 1.5);
    EXPECT_EQ(probe.CornerAlpha, 0);
    EXPECT_EQ(probe.CentreAlpha, 255);

    // The corners: a 60 x 40 rectangle (x 2 for the zoom) turned counter-clockwise by 30 degrees
    // about the box centre, in client coordinates.
    const auto& c = layer->RotatedCorners();
    const double cx = (50 + 30) * 2 + 7 - 3, cy = (30 + 20) * 2 + 5 - 1;
    double mx = 0, my = 0;
    for (const TPoint& p : c) mx += p.X / 4.0, my += p.Y / 4.0;
    EXPECT_NEAR(mx, cx, 2.0);
    EXPECT_NEAR(my, cy, 2.0);
    EXPECT_NEAR(c[1].X - c[0].X, 120 * std::cos(kPi / 6), 2.0);
    EXPECT_NEAR(c[1].Y - c[0].Y, -120 * std::sin(kPi / 6), 2.0);
    EXPECT_NEAR(c[3].X - c[0].X, 80 * std::sin(kPi / 6), 2.0);
    EXPECT_NEAR(c[3].Y - c[0].Y, 80 * std::cos(kPi / 6), 2.0);

    // The composed picture lands around the box centre, and not at the rotated box's corners.
    EXPECT_TRUE(IsColour(target.get(), Round32(cx), Round32(cy), clBlue));
    EXPECT_TRUE(IsColour(target.get(), layer->DrawDestRect().X + 1, layer->DrawDestRect().Y + 1, clWhite));
  }
}

TEST(ImageLayerPaint, RotatedPictureTakesTheEffects) {
  // The shadow and feathering work on a copy of the rotated picture, virtual or not.
  for (uint8_t quality : {uint8_t{0}, uint8_t{3}}) {
    SCOPED_TRACE(quality);
    FakeLayerOwner owner;
    auto* layer = OverBackground(owner, 200, 200, clWhite, 60, 40, clBlue, 60, 60);
    layer->SetRotate(30);
    layer->SetAlphaEdgeFeathering(2);
    layer->SoftShadow()->Enabled = 1;
    layer->SoftShadow()->OffsetX = 10;
    layer->SoftShadow()->OffsetY = 10;
    auto target = FilledTarget(200, 200, clWhite);
    PaintLayer(layer, target.get(), 1, 0, 0, 200, 200, quality);
    EXPECT_TRUE(IsColour(target.get(), 90, 80, clBlue, 40));
    EXPECT_FALSE(layer->Bitmap()->IsVirtual());
    EXPECT_EQ(layer->GetPosX(), 60);
    EXPECT_EQ(layer->GetWidth(), 60);
    // The shadow darkens the white beside the picture's lower right edge, 8 pixels out.
    const TRGB s = target->GetPixelRGB(104, 104);
    EXPECT_LT(int(s.r) + s.g + s.b, 3 * 255);
  }
}

TEST(ImageLayerPaint, RotatedPaintRestoresTheBoxWhenAHandlerThrows) {
  ProbeOwner owner;
  auto* layer = OverBackground(owner, 100, 100, clWhite, 30, 20, clBlue);
  layer->SetPosXD(10.5);
  layer->SetPosYD(12);
  layer->SetWidth(45);
  layer->SetBorderColor(clRed);
  layer->SetRotate(45);
  owner.BeforeDrawAssigned = true;
  owner.Probe = [](TPXBitmap*) { throw std::runtime_error("handler failed"); };
  auto target = FilledTarget(100, 100, clWhite);
  for (uint8_t quality : {uint8_t{0}, uint8_t{2}}) {
    EXPECT_THROW(PaintLayer(layer, target.get(), 1, 0, 0, 100, 100, quality), std::runtime_error);
    EXPECT_EQ(layer->GetPosXD(), 10.5);
    EXPECT_EQ(layer->GetPosYD(), 12);
    EXPECT_EQ(layer->GetWidthD(), 45);
    EXPECT_EQ(layer->GetHeightD(), 20);
  }
}

TEST(ImageLayerPaint, FastDrawingRotatesThroughTheVirtualView) {
  ProbeOwner owner;
  auto* layer = OverBackground(owner, 100, 100, clWhite, 30, 20, clBlue);
  layer->SetRotate(10);
  owner.BeforeDrawAssigned = true;
  owner.FastDrawing = true;
  bool isVirtual = false;
  owner.Probe = [&isVirtual](TPXBitmap* p) { isVirtual = p->IsVirtual(); };
  auto target = FilledTarget(100, 100, clWhite);
  PaintLayer(layer, target.get(), 1, 0, 0, 100, 100, 3, rfFastLinear);
  EXPECT_TRUE(isVirtual);
}

TEST(ImageLayerPaint, ShadowOfAResizedLayerUsesASizedCopy) {
  ProbeOwner owner;
  auto* layer = OverBackground(owner, 100, 100, clWhite, 20, 10, clBlue);
  layer->SetWidth(40);
  layer->SetHeight(30);
  layer->SoftShadow()->Enabled = 1;
  owner.BeforeDrawAssigned = true;
  TPXBitmap* composed = nullptr;
  int32_t w = 0, h = 0;
  owner.Probe = [&](TPXBitmap* p) {
    composed = p;
    w = p->Width();
    h = p->Height();
  };
  auto target = FilledTarget(100, 100, clWhite);
  PaintLayer(layer, target.get(), 1, 0, 0, 100, 100);
  EXPECT_NE(composed, layer->Bitmap());
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  EXPECT_EQ(layer->Bitmap()->Width(), 20);
  EXPECT_TRUE(IsColour(target.get(), 20, 15, clBlue, 0));
}

// --- magnifier ---------------------------------------------------------------------------------

TEST(ImageLayerPaint, MagnifierBelowZoomOneIsNoLens) {
  ProbeOwner owner;
  auto* lens = OverBackground(owner, 100, 100, clRed, 20, 20, clBlue, 40, 40);
  lens->SetMagnifierEnabled(true);
  lens->SetMagnifierZoom(0.5);
  owner.BeforeDrawAssigned = true;
  TPXBitmap* composed = nullptr;
  owner.Probe = [&composed](TPXBitmap* p) { composed = p; };
  auto target = FilledTarget(100, 100, clRed);
  PaintLayer(lens, target.get(), 1, 0, 0, 100, 100);
  EXPECT_EQ(composed, lens->Bitmap());
  EXPECT_TRUE(IsColour(lens->Bitmap(), 10, 10, clBlue, 0));
  EXPECT_FALSE(lens->Bitmap()->HasAlphaChannel());
  EXPECT_TRUE(IsColour(target.get(), 50, 50, clBlue, 0));
}

TEST(ImageLayerPaint, MagnifierShowsTheViewOrTheBackgroundWithItsShape) {
  // Source 1 copies what the target shows (green), source 0 layer 0's pixels (yellow); never the
  // lens layer's own blue.
  struct Case {
    uint8_t Shape;
    uint8_t Source;
  };
  for (const Case c : {Case{0, 1}, Case{1, 1}, Case{0, 0}}) {
    SCOPED_TRACE(testing::Message() << "shape " << int(c.Shape) << " source " << int(c.Source));
    FakeLayerOwner owner;
    auto* lens = OverBackground(owner, 200, 200, clYellow, 60, 40, clBlue, 70, 80);
    lens->SetMagnifierEnabled(true);
    lens->SetMagnifierZoom(2.0);
    lens->SetMagnifierShape(c.Shape);
    lens->SetMagnifierSource(c.Source);
    auto target = FilledTarget(200, 200, clGreen);
    PaintLayer(lens, target.get(), 1, 0, 0, 200, 200);

    TPXBitmap* b = lens->Bitmap();
    ASSERT_EQ(b->Width(), 60);
    ASSERT_EQ(b->Height(), 40);
    EXPECT_TRUE(IsColour(b, 30, 20, c.Source == 1 ? clGreen : clYellow));
    ASSERT_TRUE(b->HasAlphaChannel());
    TPXBitmap* a = b->AlphaChannel();
    int64_t covered = 0;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 60; ++x) covered += a->GetPixel8(x, y) != 0;
    EXPECT_EQ(a->GetPixel8(30, 20), 255);
    if (c.Shape == 1) {
      EXPECT_EQ(a->GetPixel8(0, 0), 0);
      EXPECT_EQ(a->GetPixel8(59, 39), 0);
      EXPECT_EQ(a->GetPixel8(59, 0), 0);
      EXPECT_NEAR(double(covered) / (60 * 40), kPi / 4, 0.06);
    } else {
      EXPECT_EQ(covered, 60 * 40);
    }
  }
}

// --- border ---------------------------------------------------------------------------------

TEST(ImageLayerPaint, BorderPenFollowsTheZoom) {
  // BorderWidth 2 at zoom 200 is a 4-pixel pen around the destination rectangle.
  for (TColor border : {clRed, clNone}) {
    SCOPED_TRACE(border);
    FakeLayerOwner owner;
    owner.ZoomXValue = owner.ZoomYValue = 200;
    auto* layer = OverBackground(owner, 100, 100, clWhite, 40, 30, clGreen, 20, 10);
    layer->SetBorderWidth(2);
    layer->SetBorderColor(border);
    auto target = FilledTarget(200, 200, clWhite);
    PaintLayer(layer, target.get(), 1, 0, 0, 200, 200);
    const TPXDrawRect r = layer->DrawDestRect();
    ASSERT_EQ(r, (TPXDrawRect{40, 20, 80, 60}));
    const int32_t midY = r.Y + r.Height / 2, midX = r.X + r.Width / 2;
    const bool red = border == clRed;
    EXPECT_EQ(IsColour(target.get(), r.X + 2, midY, clRed, 40), red);   // left edge, inside the pen
    EXPECT_EQ(IsColour(target.get(), midX, r.Y + 2, clRed, 40), red);   // top edge
    EXPECT_TRUE(IsColour(target.get(), r.X + 8, midY, clGreen, 0));     // beyond the pen
    EXPECT_TRUE(IsColour(target.get(), r.X - 3, midY, clWhite, 0));     // outside the layer
    int64_t reds = 0;
    for (int32_t y = 0; y < 200; ++y)
      for (int32_t x = 0; x < 200; ++x) reds += IsColour(target.get(), x, y, clRed, 40);
    // A 4-pixel frame around 80 x 60.
    if (red) EXPECT_NEAR(double(reds), 2.0 * (80 + 60) * 4, 2.0 * (80 + 60) * 1.5);
    else EXPECT_EQ(reds, 0);
  }
}

TEST(ImageLayerPaint, DirectPathDrawsTheBorderToo) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(FilledLayer(&owner, 40, 30, clGreen));
  layer->SetBorderColor(clRed);
  layer->SetBorderWidth(3);
  auto target = FilledTarget(80, 60, clWhite);
  PaintLayer(layer, target.get(), 0, 5, 5, 40, 30);
  EXPECT_EQ(layer->DrawDestRect(), (TPXDrawRect{5, 5, 40, 30}));
  EXPECT_TRUE(IsColour(target.get(), 6, 20, clRed, 40));
  EXPECT_TRUE(IsColour(target.get(), 20, 20, clGreen, 0));
}

// --- rendering ---------------------------------------------------------------------------------

TEST(ImageLayerOps, RenderContentSizesFitsAndDropsAlpha) {
  struct Case {
    int32_t W, H;
    bool WithAlpha, FitAspect;
    uint8_t Mode;
    int32_t ExpectW, ExpectH;
  };
  const Case cases[] = {
      {0, 0, true, false, 0, 40, 20},      // natural size
      {80, 30, false, false, 1, 80, 30},   // resampled, alpha removed
      {40, 40, true, true, 0, 40, 40},     // fitted 40 x 20, centred with transparent bands
      {40, 40, false, true, 1, 40, 40},    // the bands white without alpha
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << " alpha " << c.WithAlpha << " fit " << c.FitAspect);
    FakeLayerOwner owner;
    auto* layer = owner.Add(FilledLayer(&owner, 40, 20, clBlue));
    layer->Bitmap()->AlphaChannel();
    std::unique_ptr<TPXBitmap> out;
    layer->RenderContent(out, c.W, c.H, false, c.WithAlpha, c.FitAspect, c.Mode, 0);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->Width(), c.ExpectW);
    EXPECT_EQ(out->Height(), c.ExpectH);
    EXPECT_EQ(out->HasAlphaChannel(), c.WithAlpha);
    EXPECT_TRUE(IsColour(out.get(), c.ExpectW / 2, c.ExpectH / 2, clBlue, 0));
    if (c.FitAspect) {
      EXPECT_TRUE(IsColour(out.get(), 20, 2, clWhite, 0));
      if (c.WithAlpha) {
        EXPECT_EQ(out->AlphaChannel()->GetPixel8(20, 2), 0);
        EXPECT_EQ(out->AlphaChannel()->GetPixel8(20, 20), 255);
      }
    }
  }
  // Outline-only renderings draw nothing.
  FakeLayerOwner owner;
  auto* layer = owner.Add(FilledLayer(&owner, 40, 20, clBlue));
  std::unique_ptr<TPXBitmap> out;
  layer->RenderContent(out, 0, 0, false, true, false, 3, 0);
  EXPECT_FALSE(out);
}

// --- CreateFromLayer, ResetBitmap, CropToOpaque -------------------------------------------------

TEST(ImageLayerOps, CreateFromLayerRendersAtScale) {
  FakeLayerOwner owner;
  auto* source = owner.Add(FilledLayer(&owner, 50, 40, clBlue));
  source->Bitmap()->SetPixelRGB(0, 0, 0xFF0000);  // red corner
  source->SetPosX(5);
  source->SetPosY(6);
  source->SetWidth(100);
  source->SetHeight(80);
  source->SetRotate(20);
  source->SetBorderColor(clRed);
  source->SetTag(77);

  auto one = TPXImageLayer::CreateFromLayer(&owner, source, 1.0, false);
  EXPECT_TRUE(one->IsNaturalSize());
  EXPECT_EQ(one->Bitmap()->Width(), 100);
  EXPECT_EQ(one->Bitmap()->Height(), 80);
  EXPECT_EQ(one->GetPosX(), 5);
  EXPECT_EQ(one->GetPosY(), 6);
  EXPECT_EQ(one->Rotate(), 0);
  EXPECT_EQ(one->BorderColor(), clNone);
  EXPECT_EQ(one->Tag(), 0);
  EXPECT_NE(one->GUID(), source->GUID());

  auto two = TPXImageLayer::CreateFromLayer(&owner, source, 2.0, false);
  EXPECT_FALSE(two->IsNaturalSize());
  EXPECT_EQ(two->Bitmap()->Width(), 200);
  EXPECT_EQ(two->Bitmap()->Height(), 160);
  EXPECT_EQ(two->GetWidth(), 100);
  EXPECT_EQ(two->GetHeight(), 80);
  EXPECT_TRUE(IsColour(two->Bitmap(), 100, 80, clBlue, 0));
  // The source is left as it was.
  EXPECT_EQ(source->Bitmap()->Width(), 50);
  EXPECT_EQ(source->Rotate(), 20);
}

TEST(ImageLayerOps, CreateFromAnInvertedImageMaskKeepsItsPixels) {
  FakeLayerOwner owner;
  auto* mask = owner.Add(std::make_unique<TPXImageLayer>(&owner, TPXBitmap::CreateAllocated(10, 10, px8g)));
  mask->Bitmap()->Fill(30);
  mask->SetIsMask(true);
  mask->SetMaskInverted(true);  // the pixels become 225
  ASSERT_EQ(mask->Bitmap()->GetPixel8(3, 3), 225);
  auto copy = TPXImageLayer::CreateFromLayer(&owner, mask, 1.0, false);
  EXPECT_TRUE(copy->IsMask());
  EXPECT_TRUE(copy->MaskInverted());
  EXPECT_EQ(copy->Bitmap()->GetPixel8(3, 3), 225);
}

TEST(ImageLayerOps, ResetBitmap) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(FilledLayer(&owner, 30, 20, clBlue));
  layer->Bitmap()->AlphaChannel();
  layer->SetPosX(7);
  layer->SetPosY(8);
  layer->SetWidth(60);
  owner.ClearRecords();
  layer->ResetBitmap(clWhite, 1, 1);
  EXPECT_EQ(layer->Bitmap()->Width(), 1);
  EXPECT_EQ(layer->Bitmap()->Height(), 1);
  EXPECT_EQ(layer->Bitmap()->PixelFormat(), px24RGB);
  EXPECT_FALSE(layer->Bitmap()->HasAlphaChannel());
  EXPECT_TRUE(IsColour(layer->Bitmap(), 0, 0, clWhite, 0));
  EXPECT_EQ(layer->GetPosXD(), 1.0);
  EXPECT_EQ(layer->GetPosYD(), 1.0);
  EXPECT_TRUE(layer->IsNaturalSize());
  EXPECT_EQ(owner.ImageChanges, std::vector<int32_t>{3});

  layer->SetPosX(7);
  layer->ResetBitmap(clRed, 0, 12);  // a width below 1 is 1 pixel, at x 1; y kept
  EXPECT_EQ(layer->Bitmap()->Width(), 1);
  EXPECT_EQ(layer->Bitmap()->Height(), 12);
  EXPECT_EQ(layer->GetPosXD(), 1.0);
  EXPECT_EQ(layer->GetPosYD(), 1.0);
  EXPECT_TRUE(IsColour(layer->Bitmap(), 0, 11, clRed, 0));
}

TEST(ImageLayerOps, CropToOpaque) {
  FakeLayerOwner owner;
  auto* layer = owner.Add(FilledLayer(&owner, 100, 100, clBlue));
  TPXBitmap* alpha = layer->Bitmap()->AlphaChannel();
  alpha->Fill(0);
  alpha->FillRect(10, 20, 59, 69, 255);
  layer->Bitmap()->SetPixelRGB(10, 20, 0xFF0000);
  layer->SetPosX(3);
  layer->SetPosY(4);
  layer->SetWidth(200);
  owner.ClearRecords();
  ASSERT_TRUE(layer->CropToOpaque());
  EXPECT_EQ(layer->Bitmap()->Width(), 50);
  EXPECT_EQ(layer->Bitmap()->Height(), 50);
  EXPECT_EQ(layer->GetPosXD(), 23);
  EXPECT_EQ(layer->GetPosYD(), 24);
  EXPECT_EQ(layer->GetWidthD(), 100);
  EXPECT_EQ(layer->GetHeightD(), 50);  // natural height
  EXPECT_TRUE(IsColour(layer->Bitmap(), 0, 0, clRed, 0));
  EXPECT_EQ(layer->Bitmap()->AlphaChannel()->GetPixel8(49, 49), 255);
  EXPECT_EQ(owner.ImageChanges, std::vector<int32_t>{3});

  // Nothing opaque: False and nothing changes.
  alpha = layer->Bitmap()->AlphaChannel();
  alpha->Fill(0);
  owner.ClearRecords();
  EXPECT_FALSE(layer->CropToOpaque());
  EXPECT_EQ(layer->Bitmap()->Width(), 50);
  EXPECT_EQ(layer->GetPosXD(), 23);
  EXPECT_EQ(layer->GetWidthD(), 100);
  EXPECT_TRUE(owner.ImageChanges.empty());
}

}  // namespace
