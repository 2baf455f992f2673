// Rendering and composition of layers: cache and scratch bitmap, render size, cropping, the
// effects (feathering, soft shadow) and the render targets of the kinds.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio_support.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

constexpr TColor kWhite = 0xFFFFFF;

// A kind that fills its rendering with one colour (or black and white columns) and records each
// rendering.
class PaintLayer : public TestOnlyLayer {
 public:
  using TestOnlyLayer::TestOnlyLayer;

  struct Render {
    int32_t Width, Height;
    bool Fast;
    uint8_t Mode;
  };
  std::vector<Render> Renders;
  TColor Color = 0x3C3C3C;  // grey 60
  bool Stripes = false;

  void RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                     bool WithAlpha, bool /*FitAspect*/, uint8_t Mode, int32_t /*Reserved*/) override {
    if (Width < 1) Width = GetWidth();
    if (Height < 1) Height = GetHeight();
    Renders.push_back({Width, Height, FastDrawing, Mode});
    if (WithAlpha) {
      EnsureRenderBitmap32(Dest, Width, Height);
      const uint32_t r = Color & 0xFF, g = (Color >> 8) & 0xFF, b = (Color >> 16) & 0xFF;
      Dest->FillRGBA(0xFF000000u | (r << 16) | (g << 8) | b);
    } else {
      EnsureRenderBitmap24(Dest, Width, Height, Color);
    }
    if (Stripes)
      for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x) Dest->SetPixelRGB(x, y, x % 2 ? 0xFFFFFF : 0);
  }
};

std::unique_ptr<TPXBitmap> Target(int32_t W = 120, int32_t H = 120) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  b->Fill(kWhite);
  return b;
}

void PaintAt(TPXLayer* L, TPXBitmap* Dest, int32_t Index, bool WithAlpha = true, TResampleFilter Filter = rfNone) {
  L->Paint(Dest, Index, nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, WithAlpha, false, Filter, 0, false);
}

bool IsWhite(TPXBitmap* B, int32_t X, int32_t Y) {
  const TRGB p = B->GetPixelRGB(X, Y);
  return p.r == 255 && p.g == 255 && p.b == 255;
}

// Pixels of Dest outside the inclusive client box that are not white.
int32_t MarkedOutside(TPXBitmap* Dest, const TRect& Box) {
  int32_t n = 0;
  for (int32_t y = 0; y < Dest->Height(); ++y)
    for (int32_t x = 0; x < Dest->Width(); ++x)
      if ((x < Box.Left || x > Box.Right || y < Box.Top || y > Box.Bottom) && !IsWhite(Dest, x, y)) ++n;
  return n;
}

std::vector<TRGB> Pixels(TPXBitmap* B) {
  std::vector<TRGB> v;
  for (int32_t y = 0; y < B->Height(); ++y)
    for (int32_t x = 0; x < B->Width(); ++x) v.push_back(B->GetPixelRGB(x, y));
  return v;
}

// An owner with a 100 x 100 image layer 0 at (0, 0) and one painted layer above it.
struct Scene {
  FakeLayerOwner Owner;
  PaintLayer* Layer;

  explicit Scene(TPXLayerKind Kind = pxlkLine, int32_t X = 20, int32_t Y = 20, int32_t W = 20, int32_t H = 20) {
    Owner.Add(TPXImageLayer::CreateSized(&Owner, 100, 100));
    Layer = Owner.Add(std::make_unique<PaintLayer>(&Owner, Kind));
    Layer->SetBounds(TRect(X, Y, X + W, Y + H));
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Cache and scratch bitmap

TEST(LayerCompose, CachingLimitDecidesBetweenCacheAndScratch) {
  struct Case {
    int32_t Limit;
    bool Cached;
  };
  for (const Case c : {Case{0, false}, Case{1, false}, Case{2, true}, Case{-1, true}}) {
    SCOPED_TRACE(c.Limit);
    Scene s;
    s.Owner.Caching = c.Limit;
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1);
    PaintAt(s.Layer, dest.get(), 1);
    EXPECT_EQ(s.Layer->Renders.size(), c.Cached ? 1u : 2u);
    EXPECT_EQ(s.Layer->Cache() != nullptr, c.Cached);
    if (!c.Cached) {
      ASSERT_NE(LayerScratchBitmap(), nullptr);
      EXPECT_EQ(LayerScratchBitmap()->Width(), 20);
    }
    // The layer landed in its box and nowhere else.
    EXPECT_EQ(dest->GetPixelRGB(25, 25), (TRGB{60, 60, 60}));
    EXPECT_EQ(MarkedOutside(dest.get(), TRect(20, 20, 39, 39)), 0);
    // A new size renders again, into the kept cache.
    s.Layer->SetWidth(30);
    PaintAt(s.Layer, dest.get(), 1);
    EXPECT_EQ(s.Layer->Renders.back().Width, 30);
  }
}

TEST(LayerCompose, FastRenderingIsReplacedAtTheFirstNormalPaint) {
  Scene s;
  s.Owner.Caching = -1;
  s.Owner.FastDrawing = true;
  auto dest = Target();
  PaintAt(s.Layer, dest.get(), 1);
  PaintAt(s.Layer, dest.get(), 1);
  ASSERT_EQ(s.Layer->Renders.size(), 1u);
  EXPECT_TRUE(s.Layer->Renders[0].Fast);
  EXPECT_TRUE(s.Layer->CacheDrawnFast());

  s.Owner.FastDrawing = false;
  PaintAt(s.Layer, dest.get(), 1);  // same size, yet rendered again
  PaintAt(s.Layer, dest.get(), 1);
  ASSERT_EQ(s.Layer->Renders.size(), 2u);
  EXPECT_FALSE(s.Layer->Renders[1].Fast);
  EXPECT_FALSE(s.Layer->CacheDrawnFast());
}

TEST(LayerCompose, MaskBitmapIsGreyAndInvertedWhenAsked) {
  for (const int32_t limit : {0, -1}) {
    SCOPED_TRACE(limit);
    Scene s;
    s.Owner.Caching = limit;
    s.Layer->SetIsMask(true);
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1);  // a paint at 100% leaves the colour rendering in a cache
    TPXBitmap* b = s.Layer->GetBitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->PixelFormat(), px8g);
    EXPECT_EQ(b->Width(), 20);
    EXPECT_EQ(b->GetPixel8(3, 3), 60);
    EXPECT_EQ(s.Layer->Renders.back().Mode, limit == 0 ? 1 : 0);  // an output copy without cache

    s.Layer->SetMaskInverted(true);
    b = s.Layer->GetBitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->PixelFormat(), px8g);
    EXPECT_EQ(b->GetPixel8(3, 3), 195);
    if (limit == -1) {
      (void)s.Layer->GetBitmap();  // the cache is reused, still inverted once
      EXPECT_EQ(s.Layer->Renders.size(), 3u);
      EXPECT_EQ(s.Layer->GetBitmap()->GetPixel8(3, 3), 195);
    }
  }
}

TEST(LayerCompose, BlendPassesTheLayersWeightsAndTheViewsUpdateRectangle) {
  struct Case {
    int32_t Transparency;
    double Opacity;
    uint8_t Operation;
  };
  for (const Case c : {Case{128, 1.0, 0}, Case{255, 0.5, 0}, Case{255, 1.0, 4}}) {
    SCOPED_TRACE(c.Transparency * 100 + c.Operation);
    Scene s;
    s.Layer->SetTransparency(c.Transparency);
    s.Layer->SetOpacity(c.Opacity);
    s.Layer->SetOperation(c.Operation);
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1);
    // The same rendering drawn by the renderer itself.
    auto expected = Target();
    std::unique_ptr<TPXBitmap> source;
    s.Layer->RenderContent(source, 20, 20, false, true, false, 0, 0);
    source->RenderToPXBitmap(expected.get(), 20, 20, 20, 20, 0, 0, 20, 20, true, c.Transparency, rfNone,
                             static_cast<TPXBlendOperation>(c.Operation), c.Opacity);
    EXPECT_EQ(Pixels(dest.get()), Pixels(expected.get()));
    EXPECT_NE(dest->GetPixelRGB(25, 25), (TRGB{60, 60, 60}));
  }
  // The context pointer is the view's update rectangle: nothing is drawn outside it.
  Scene s;
  auto dest = Target();
  const TRect update(25, 25, 29, 29);
  s.Layer->Paint(dest.get(), 1, nullptr, nullptr, const_cast<TRect*>(&update), 0, 0, 0, 0, 0, 0, 0, 0, true, false,
                 rfNone, 0, false);
  EXPECT_TRUE(IsWhite(dest.get(), 22, 22));
  EXPECT_FALSE(IsWhite(dest.get(), 27, 27));
  EXPECT_EQ(MarkedOutside(dest.get(), update), 0);
}

// ---------------------------------------------------------------------------------------------
// Render size

TEST(LayerCompose, RenderSizeFollowsZoomKindAndFastDrawing) {
  struct Case {
    TPXLayerKind Kind;
    bool AntiAlias;
    bool Fast;
    int32_t Width;  // of the rendering, for a 20-pixel layer at zoom 200
  };
  const Case cases[] = {
      {pxlkShape, true, false, 80},   // antialiased: twice the zoomed size
      {pxlkShape, false, false, 40},  // zoomed
      {pxlkShape, true, true, 20},    // fast and uncached: 100%, scaled by the composition
      {pxlkText, true, true, 20},
      {pxlkLine, true, true, 40},  // other kinds follow the zoom while fast
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Kind) * 100 + c.AntiAlias * 10 + c.Fast);
    Scene s(c.Kind, 10, 10, 20, 20);
    s.Owner.ZoomXValue = s.Owner.ZoomYValue = 200;
    s.Owner.FastDrawing = c.Fast;
    s.Layer->SetAntiAlias(c.AntiAlias);
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1);
    ASSERT_EQ(s.Layer->Renders.size(), 1u);
    EXPECT_EQ(s.Layer->Renders[0].Width, c.Width);
    EXPECT_EQ(s.Layer->Renders[0].Height, c.Width);
    // Whatever the render size, the layer covers its zoomed box.
    EXPECT_FALSE(IsWhite(dest.get(), 20, 20));
    EXPECT_FALSE(IsWhite(dest.get(), 59, 59));
    EXPECT_EQ(MarkedOutside(dest.get(), TRect(20, 20, 59, 59)), 0);
  }
}

TEST(LayerCompose, AntialiasedShapeIsBroughtDownWithAFilter) {
  // One-pixel black and white columns at double size: a filter gives grey, rfNone would pick
  // every other column.
  for (const bool antiAlias : {true, false}) {
    SCOPED_TRACE(antiAlias);
    Scene s(pxlkShape);
    s.Layer->Stripes = true;
    s.Layer->SetAntiAlias(antiAlias);
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1, false, rfNone);
    EXPECT_EQ(s.Layer->Renders[0].Width, antiAlias ? 40 : 20);
    const TRGB p = dest->GetPixelRGB(30, 30), q = dest->GetPixelRGB(31, 30);
    if (antiAlias) {
      for (const TRGB& c : {p, q}) {
        EXPECT_GT(c.g, 40);
        EXPECT_LT(c.g, 215);
      }
    } else {
      EXPECT_NE(p, q);  // the columns themselves
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Placement and cropping

TEST(LayerCompose, CroppedLayerIsCutToLayerZero) {
  struct Case {
    bool Cropped, CropAll;
    TPXDrawRect DestRect, SourceRect;
  };
  // Zoom 200, picture origin at client x 5: the layer at x -10, 50 wide, renders 100 columns; its
  // cut part is 10 picture pixels, source column 10 x 100 / 50.
  const Case cases[] = {
      {false, false, {-15, 20, 100, 40}, {0, 0, 100, 40}},
      {true, false, {5, 20, 80, 40}, {20, 0, 80, 40}},
      {false, true, {5, 20, 80, 40}, {20, 0, 80, 40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Cropped * 10 + c.CropAll);
    Scene s(pxlkLine, -10, 10, 50, 20);
    s.Owner.ZoomXValue = s.Owner.ZoomYValue = 200;
    s.Owner.OriginX = 5;
    s.Owner.CropAll = c.CropAll;
    s.Layer->SetCropped(c.Cropped);
    auto dest = Target(300, 100);
    PaintAt(s.Layer, dest.get(), 1);
    EXPECT_EQ(s.Layer->DrawDestRect(), c.DestRect);
    EXPECT_EQ(s.Layer->DrawSourceRect(), c.SourceRect);
    EXPECT_EQ(IsWhite(dest.get(), 4, 30), c.Cropped || c.CropAll);
    EXPECT_FALSE(IsWhite(dest.get(), 5, 30));
  }

  // Past layer 0's right edge (client 205) the width is cut, and the source with it.
  Scene s(pxlkLine, 80, 10, 50, 20);
  s.Owner.ZoomXValue = s.Owner.ZoomYValue = 200;
  s.Owner.OriginX = 5;
  s.Layer->SetCropped(true);
  auto dest = Target(300, 100);
  PaintAt(s.Layer, dest.get(), 1);
  EXPECT_EQ(s.Layer->DrawDestRect(), (TPXDrawRect{165, 20, 40, 40}));
  EXPECT_EQ(s.Layer->DrawSourceRect(), (TPXDrawRect{0, 0, 40, 40}));
  EXPECT_FALSE(IsWhite(dest.get(), 204, 30));
  EXPECT_TRUE(IsWhite(dest.get(), 205, 30));
}

// ---------------------------------------------------------------------------------------------
// Effects

TEST(LayerCompose, ShadowNeverOnLayerZeroAndNeverInTheCache) {
  for (const int32_t limit : {0, -1}) {
    SCOPED_TRACE(limit);
    Scene s;
    s.Owner.Caching = limit;
    s.Layer->SoftShadow()->Enabled = 1;
    s.Layer->SoftShadow()->OffsetX = 3;
    s.Layer->SoftShadow()->OffsetY = 3;
    const TRect box(20, 20, 39, 39);

    auto asLayer0 = Target();
    PaintAt(s.Layer, asLayer0.get(), 0);
    EXPECT_EQ(MarkedOutside(asLayer0.get(), box), 0);

    auto first = Target(), second = Target();
    PaintAt(s.Layer, first.get(), 1);
    PaintAt(s.Layer, second.get(), 1);
    EXPECT_GT(MarkedOutside(first.get(), box), 0);
    EXPECT_FALSE(IsWhite(first.get(), 42, 42));  // below right, where the offset moves it
    EXPECT_EQ(Pixels(first.get()), Pixels(second.get()));
    if (limit == -1) {
      // The shadow was made on a copy: the cache keeps its size and serves all three paints.
      EXPECT_EQ(s.Layer->Renders.size(), 1u);
      EXPECT_EQ(s.Layer->Cache()->Width(), 20);
      EXPECT_FALSE(s.Layer->Cache()->PeekAlphaChannel() &&
                   s.Layer->Cache()->PeekAlphaChannel()->GetPixel8(0, 0) != 255);
    }
  }
}

TEST(LayerCompose, ShadowRadiusAndOffsetFollowTheZoom) {
  // At zoom 200 a 20-pixel layer with Radius 3 and offsets 3 composes exactly as a 40-pixel one
  // with Radius 6 and offsets 6 at zoom 100 in the same client box.
  auto paint = [](double Zoom, int32_t Pos, int32_t Size, double Radius, int32_t Offset) {
    Scene s(pxlkLine, Pos, Pos, Size, Size);
    s.Owner.ZoomXValue = s.Owner.ZoomYValue = Zoom;
    s.Layer->SoftShadow()->Enabled = 1;
    s.Layer->SoftShadow()->Radius = Radius;
    s.Layer->SoftShadow()->OffsetX = Offset;
    s.Layer->SoftShadow()->OffsetY = Offset;
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1);
    return Pixels(dest.get());
  };
  const auto zoomed = paint(200, 10, 20, 3, 3);
  EXPECT_EQ(zoomed, paint(100, 20, 40, 6, 6));
  EXPECT_NE(zoomed, paint(100, 20, 40, 3, 3));
}

TEST(LayerCompose, FastDrawingSkipsFeatheringAndShadow) {
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast);
    Scene s;
    s.Owner.FastDrawing = fast;
    s.Layer->SetAlphaEdgeFeathering(4);
    s.Layer->SoftShadow()->Enabled = 1;
    auto dest = Target();
    PaintAt(s.Layer, dest.get(), 1);
    // Feathering lightens the layer's edge; the shadow darkens around it.
    EXPECT_EQ(dest->GetPixelRGB(20, 30) == (TRGB{60, 60, 60}), fast);
    EXPECT_EQ(MarkedOutside(dest.get(), TRect(20, 20, 39, 39)) == 0, fast);
  }
  // Feathering alone, and on a cached layer the cache keeps its opaque alpha.
  Scene s;
  s.Owner.Caching = -1;
  s.Layer->SetAlphaEdgeFeathering(4);
  auto dest = Target();
  PaintAt(s.Layer, dest.get(), 1);
  EXPECT_NE(dest->GetPixelRGB(20, 30), (TRGB{60, 60, 60}));
  EXPECT_EQ(dest->GetPixelRGB(30, 30), (TRGB{60, 60, 60}));
  EXPECT_EQ(s.Layer->Cache()->AlphaChannel()->GetPixel8(0, 0), 255);
}

// ---------------------------------------------------------------------------------------------
// Sound behaviour and tear-down

TEST(LayerCompose, MissingPiecesPaintNothing) {
  // No owner: no client box, nothing drawn; GetBitmap still answers the layer's pixels.
  PaintLayer free(nullptr, pxlkLine);
  free.SetBounds(TRect(0, 0, 10, 10));
  auto dest = Target();
  PaintAt(&free, dest.get(), 1);
  EXPECT_EQ(MarkedOutside(dest.get(), TRect(-1, -1, -1, -1)), 0);
  ASSERT_NE(free.GetBitmap(), nullptr);
  EXPECT_EQ(free.GetBitmap()->Width(), 10);

  // No target, and a kind that renders nothing.
  Scene s;
  PaintAt(s.Layer, nullptr, 1);
  FakeLayerOwner owner;
  owner.Caching = -1;
  auto* blank = owner.Add(std::make_unique<TestOnlyLayer>(&owner, pxlkLine));
  blank->SetBounds(TRect(0, 0, 10, 10));
  PaintAt(blank, dest.get(), 0);
  EXPECT_EQ(blank->GetBitmap(), nullptr);
  EXPECT_FALSE(blank->CacheValid());
  s.Layer->ComposeLayer(dest.get(), 1, nullptr, true, nullptr, nullptr, nullptr, 0, 0, 10, 10, 0, 0, 10, 10, true,
                        false, rfNone);
  EXPECT_EQ(MarkedOutside(dest.get(), TRect(-1, -1, -1, -1)), 0);
}

TEST(LayerCompose, ScratchBitmapIsFreedAtLibraryTearDown) {
  Scene s;
  auto dest = Target();
  PaintAt(s.Layer, dest.get(), 1);
  ASSERT_NE(LayerScratchBitmap(), nullptr);
  DoneIOSupport();
  EXPECT_EQ(LayerScratchBitmap(), nullptr);
  InitIOSupport();  // as the test program's start-up left it
}

TEST(LayerCompose, RenderTargets) {
  std::unique_ptr<TPXBitmap> b;
  EnsureRenderBitmap24(b, 0, -3, 0x0000FF);  // at least 1 x 1
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Width(), 1);
  EXPECT_EQ(b->Height(), 1);

  EnsureRenderBitmap24(b, 6, 4, 0x0000FF);
  TPXBitmap* kept = b.get();
  b->AlphaChannel()->Fill(7);  // what an earlier rendering left
  EnsureRenderBitmap24(b, 6, 4, 0xFF0000);
  EXPECT_EQ(b.get(), kept);
  EXPECT_EQ(b->PixelFormat(), px24RGB);
  EXPECT_EQ(b->GetPixelRGB(5, 3), (TRGB{255, 0, 0}));
  EXPECT_FALSE(b->HasAlphaChannel());

  EnsureRenderBitmap32(b, 6, 4);
  EXPECT_EQ(b->PixelFormat(), px32RGB);
  EXPECT_EQ(b->GetPixel32RGB(2, 2) & 0xFFFFFF, 0xFFFFFFu);
  ASSERT_TRUE(b->HasAlphaChannel());
  EXPECT_EQ(b->AlphaChannel()->GetPixel8(2, 2), 0);
}
