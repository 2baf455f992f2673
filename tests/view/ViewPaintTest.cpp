// The image view's painting: backgrounds, the composition of the layers with alpha and masks
// (checked against Pillow), the delayed filter, the outside marking and the zone cursor.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "platform/forms/Forms.h"
#include "tests/common/TestSupport.h"
#include "tests/view/ViewTestSupport.h"

namespace {

// A pf24bit platform bitmap of W x H filled with Fill.
std::unique_ptr<TBitmap> CanvasBitmap(int32_t W, int32_t H, TColor Fill) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(W, H);
  b->Canvas()->Brush()->SetColor(Fill);
  b->Canvas()->FillRect(TRect(0, 0, W, H));
  return b;
}

TColorRef At(TBitmap* B, int32_t X, int32_t Y) { return ColorToRGB(B->Canvas()->Pixels(X, Y)); }

// A picture with an alpha channel: colour from Gradient, alpha (x * 7 + y * 3) mod 256.
std::unique_ptr<TPXBitmap> AlphaPicture(int32_t W, int32_t H) {
  auto b = ViewTest::Gradient(W, H);
  TPXBitmap* a = b->GetAlphaChannel();
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) a->Scanline(y)[x] = static_cast<uint8_t>((x * 7 + y * 3) & 255);
  a->FFull = 0;
  return b;
}

}  // namespace

TEST_F(ViewTest, TheViewsChessboardStartsWithTheComplementOfButtonFace) {
  TPixoranView* view = NewView(80, 60);
  view->SetBackgroundStyle(pxbsChessboard);
  PaintNow(view);
  for (auto [x, y] : {std::pair{0, 0}, {15, 15}, {32, 0}, {16, 16}})
    EXPECT_EQ(Pixel(view, x, y), RGB(240, 255, 255)) << x << "," << y;
  for (auto [x, y] : {std::pair{16, 0}, {31, 15}, {0, 16}, {15, 31}})
    EXPECT_EQ(Pixel(view, x, y), RGB(212, 208, 200)) << x << "," << y;
}

TEST_F(ViewTest, ChessboardPixelAndCanvasPaths) {
  const TColor c1 = 0x0000FF, c2 = 0x00FF00;
  for (bool canvasOnly : {false, true}) {
    SCOPED_TRACE(canvasOnly ? "canvas path" : "pixel path");
    auto b = CanvasBitmap(40, 20, clBlack);
    DrawBackground({}, b->Canvas(), b.get(), pxbsChessboard, c1, 0, 0, 40, 20, 0, 0, 0, 0, 16, bsSolid, true, c2,
                   nullptr, pxwoNormal, nullptr, canvasOnly);
    const TColorRef first = canvasOnly ? RGB(0, 255, 0) : RGB(255, 0, 0);
    const TColorRef second = canvasOnly ? RGB(255, 0, 0) : RGB(0, 255, 0);
    EXPECT_EQ(At(b.get(), 0, 0), first);
    EXPECT_EQ(At(b.get(), 15, 15), first);
    EXPECT_EQ(At(b.get(), 16, 0), second);
    EXPECT_EQ(At(b.get(), 31, 15), second);
    EXPECT_EQ(At(b.get(), 32, 0), first);
    EXPECT_EQ(At(b.get(), 39, 15), first);
    EXPECT_EQ(At(b.get(), 0, 16), second);
    EXPECT_EQ(At(b.get(), 15, 19), second);
  }
  // An area reaching past the bitmap is clipped on both axes.
  auto b = CanvasBitmap(10, 10, clBlack);
  DrawBackground({}, b->Canvas(), b.get(), pxbsChessboard, c1, -5, -5, 100, 100, 0, 0, 0, 0, 4, bsSolid, true, c2,
                 nullptr, pxwoNormal, nullptr, false);
  EXPECT_EQ(At(b.get(), 0, 0), RGB(255, 0, 0));  // square (1, 1) of an area starting at -5
  EXPECT_EQ(At(b.get(), 3, 0), RGB(0, 255, 0));
  EXPECT_EQ(At(b.get(), 9, 5), RGB(0, 255, 0));

  TPixoranView view(nullptr);
  view.SetChessboardStyle(8, bsSolid, 0x123456, 0x654321);
  EXPECT_TRUE(view.ChessboardTwoColors());
  EXPECT_EQ(view.Background(), 0x123456);
  EXPECT_EQ(view.GradientEndColor(), 0x654321);
  view.SetChessboardStyle(16, bsSolid, 0x1FFFFFFF, 0x1FFFFFFF);
  EXPECT_FALSE(view.ChessboardTwoColors());
  EXPECT_EQ(view.ChessboardSize(), 16);
  EXPECT_EQ(view.Background(), 0x123456);
}

TEST_F(ViewTest, BackgroundStylesTable) {
  const TColor color = 0x3060C0, color2 = 0xC06030;
  const TColorRef rgb = RGB(0xC0, 0x60, 0x30), untouched = RGB(1, 2, 3);
  struct Probe {
    int32_t X, Y;
    TColorRef Expected;
  };
  struct Row {
    TPXBackgroundStyle Style;
    bool WithBitmap;
    TRect Image;
    std::vector<Probe> Probes;
    bool Hatched = false;  // some pixels in the colour, the gaps as they were
  };
  const TRect none(0, 0, 0, 0), image(10, 10, 30, 20);
  const TColorRef inverse = RGB(0x3F, 0x9F, 0xCF), grey = RGB(0xB0, 0xB0, 0xB0);
  std::vector<Row> rows = {
      {pxbsSolid, false, none, {{0, 0, rgb}, {39, 29, rgb}}},
      {pxbsHorizontal, false, none, {}, true},
      {pxbsVertical, false, none, {}, true},
      {pxbsFDiagonal, false, none, {}, true},
      {pxbsBDiagonal, false, none, {}, true},
      {pxbsCross, false, none, {}, true},
      {pxbsDiagCross, false, none, {}, true},
      {pxbsChessboard, false, none, {{0, 0, inverse}, {16, 0, rgb}, {16, 16, inverse}}},
      {pxbsDiagonals, false, none, {{0, 0, inverse}, {20, 5, rgb}}},
      {pxbsCropped, false, image, {{0, 0, RGB(212, 208, 200)}, {8, 8, RGB(128, 128, 128)}, {20, 15, RGB(212, 208, 200)}}},
      {pxbsCropShadow, false, image, {{0, 0, rgb}, {5, 25, rgb}, {20, 15, rgb}}},
      {pxbsGradient, false, none, {{0, 0, rgb}}},
      {pxbsSoftShadow, false, image, {{0, 0, untouched}}},
      {pxbsSoftShadow, true, image, {{0, 0, rgb}, {20, 15, rgb}}},
      {pxbsPhotoLike, false, none, {{0, 0, RGB(0, 0, 0)}, {1, 1, grey}, {39, 29, grey}}},
      {pxbsBlurredImage, false, none, {{0, 0, rgb}, {39, 29, rgb}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.Style));
    auto b = CanvasBitmap(40, 30, 0x030201);
    DrawBackground({}, b->Canvas(), r.WithBitmap ? b.get() : nullptr, r.Style, color, 0, 0, 40, 30, r.Image.Left,
                   r.Image.Top, r.Image.Right, r.Image.Bottom, 16, bsSolid, false, color2, nullptr, pxwoNormal, nullptr,
                   false);
    for (const Probe& p : r.Probes) EXPECT_EQ(At(b.get(), p.X, p.Y), p.Expected) << p.X << "," << p.Y;
    if (r.Hatched) {
      int32_t lines = 0, gaps = 0, other = 0;
      for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
          const TColorRef c = At(b.get(), x, y);
          (c == rgb ? lines : c == untouched ? gaps : other)++;
        }
      EXPECT_GT(lines, 0);
      EXPECT_GT(gaps, lines);
      EXPECT_EQ(other, 0);
    }
  }
  // The soft shadow darkens around the picture's rectangle, not inside it.
  auto b = CanvasBitmap(40, 30, 0);
  DrawBackground({}, b->Canvas(), b.get(), pxbsSoftShadow, clWhite, 0, 0, 40, 30, 10, 10, 30, 20, 16, bsSolid, false,
                 0, nullptr, pxwoNormal, nullptr, false);
  EXPECT_LT(GetRValue(At(b.get(), 31, 21)), 255);
  EXPECT_EQ(At(b.get(), 20, 15), RGB(255, 255, 255));

  // The wallpaper is drawn from the canvas origin whatever the area, in its three modes.
  TPicture wallpaper;
  auto tile = CanvasBitmap(4, 4, clRed);
  tile->Canvas()->SetPixels(0, 0, clBlue);
  wallpaper.SetBitmap(tile.get());
  const TColorRef red = RGB(255, 0, 0), blue = RGB(0, 0, 255), black = RGB(0, 0, 0);
  struct WallRow {
    TPXWallpaperStyle Style;
    std::vector<Probe> Probes;
  };
  for (const WallRow& w : {WallRow{pxwoNormal, {{0, 0, blue}, {1, 1, red}, {4, 4, black}, {25, 22, rgb}}},
                           WallRow{pxwoTile, {{0, 0, blue}, {4, 4, blue}, {5, 5, red}, {25, 22, rgb}}},
                           WallRow{pxwoStretch, {{0, 0, blue}, {9, 4, red}, {12, 7, black}, {25, 22, rgb}}}}) {
    SCOPED_TRACE(static_cast<int>(w.Style));
    auto c = CanvasBitmap(40, 30, 0);
    DrawBackground({}, c->Canvas(), nullptr, pxbsSolid, color, 20, 20, 10, 5, 0, 0, 0, 0, 16, bsSolid, false, 0,
                   &wallpaper, w.Style, nullptr, false);
    for (const Probe& p : w.Probes) EXPECT_EQ(At(c.get(), p.X, p.Y), p.Expected) << p.X << "," << p.Y;
  }
}

TEST_F(ViewTest, AnOpaqueLayerCoveringTheDisplayDrawsNoBackground) {
  TPixoranView* view = NewView(100, 80);
  view->SetBackgroundStyle(pxbsChessboard);
  int32_t backgrounds = 0;
  view->SetOnDrawBackground([&](TObject*, TCanvas*, TRect, bool&) { ++backgrounds; });
  SetPicture(view, 100, 80, clGreen);
  PaintNow(view);
  EXPECT_EQ(backgrounds, 0);
  EXPECT_EQ(Pixel(view, 50, 40), RGB(0, 128, 0));
  SetPicture(view, 60, 80, clGreen);  // narrower than the display
  PaintNow(view);
  EXPECT_EQ(backgrounds, 1);
  EXPECT_EQ(Pixel(view, 0, 0), RGB(240, 255, 255));
}

TEST_F(ViewTest, AlphaShowsTheChessboardOnlyWithEnableAlphaChannel) {
  TPixoranView* view = NewView(32, 32);
  view->SetBackgroundStyle(pxbsChessboard);
  TPXBitmap* b = view->GetPXBitmap();
  b->Allocate(32, 32, px24RGB);
  b->Fill(static_cast<double>(clRed));
  b->GetAlphaChannel()->Fill(0);
  b->GetAlphaChannel()->FFull = 0;
  view->Update();
  PaintNow(view);
  EXPECT_EQ(Pixel(view, 0, 0), RGB(240, 255, 255));
  EXPECT_EQ(Pixel(view, 16, 0), RGB(212, 208, 200));
  view->SetEnableAlphaChannel(false);
  PaintNow(view);
  EXPECT_EQ(Pixel(view, 0, 0), RGB(255, 0, 0));

  // An alpha channel of another size composes nothing until Update repairs it.
  view->SetEnableAlphaChannel(true);
  b->GetAlphaChannel()->Allocate(10, 10, px8g);
  int32_t layers = 0;
  view->SetOnDrawLayer([&](TObject*, TPXBitmap*, int32_t) { ++layers; });
  view->DrawLayers(view->BackBuffer(), nullptr, true, true);
  EXPECT_EQ(layers, 0);
  view->Update();
  view->DrawLayers(view->BackBuffer(), nullptr, true, true);
  EXPECT_EQ(layers, 1);
  EXPECT_EQ(b->GetAlphaChannel()->Width(), 32);
  EXPECT_EQ(b->GetAlpha(5, 5), 255);
}

TEST_F(ViewTest, AHalfSizeMaskLimitsItsLayer) {
  TPixoranView* view = NewView(40, 40);
  view->SetEnableAlphaChannel(true);
  SetPicture(view, 40, 40, clWhite);
  const int32_t l = view->LayersAppend(pxlkImage, 0, 0, 40, 40, nullptr, false, false, false, true);
  view->GetPXBitmap()->Fill(static_cast<double>(clBlue));
  const int32_t m = view->LayersAppend(pxlkImage, 10, 10, 20, 20, nullptr, false, false, false, true);
  TPXBitmap* mask = view->GetPXBitmap();
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x) mask->SetPixel24(x, y, TRGB{uint8_t(x * 12), uint8_t(x * 12), uint8_t(x * 12)});
  view->Layers(m)->SetIsMask(true);
  view->SetLayersCurrent(0);
  ASSERT_EQ(l + 1, m);
  PaintNow(view);
  EXPECT_EQ(Pixel(view, 5, 5), RGB(255, 255, 255));    // outside the mask: the layer is not shown
  EXPECT_EQ(Pixel(view, 35, 35), RGB(255, 255, 255));
  EXPECT_EQ(Pixel(view, 10, 15), RGB(255, 255, 255));  // mask grey 0
  const TColorRef half = Pixel(view, 20, 15);            // mask grey 120: blue over white
  EXPECT_NEAR(GetRValue(half), 255 - 120, 2);
  EXPECT_EQ(GetBValue(half), 255);
  // The layer keeps its own alpha (it had none).
  EXPECT_FALSE(dynamic_cast<TPXImageLayer*>(view->Layers(l))->Bitmap()->HasAlphaChannel());
}

TEST_F(ViewTest, CompositionMatchesPillowAt100And200) {
  TestTempDir dir;
  auto picture = AlphaPicture(60, 40);
  const std::string png = dir.File("p.png");
  {
    std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(picture.get());
    io->SaveToFile(png, pxftPNG);
    ASSERT_FALSE(io->Aborting());
  }
  TPixoranView* view = NewView(200, 150);
  view->SetBackground(0x336699);
  view->GetPXBitmap()->AssignFrom(picture.get(), false);
  view->Update();
  for (int32_t scale : {1, 2}) {
    SCOPED_TRACE(scale);
    view->SetZoom(100.0 * scale);
    PaintNow(view);
    const std::string out = dir.File("out.rgb");
    const std::string script =
        "import sys\nfrom PIL import Image\n"
        "im=Image.open(sys.argv[1]).convert('RGBA')\n"
        "s=int(sys.argv[2]); im=im.resize((im.width*s,im.height*s),Image.NEAREST)\n"
        "bg=Image.new('RGBA',im.size,(0x99,0x66,0x33,255))\n"
        "sys.stdout.buffer.write(Image.alpha_composite(bg,im).convert('RGB').tobytes())\n";
    ASSERT_EQ(RunTool({"/usr/bin/python3", "-c", script, png, std::to_string(scale)}, out), 0);
    std::ifstream f(out, std::ios::binary);
    const std::vector<uint8_t> expected((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const int32_t w = 60 * scale, h = 40 * scale;
    ASSERT_EQ(expected.size(), static_cast<size_t>(w * h * 3));
    const int32_t ox = view->OffsetX(), oy = view->OffsetY();
    int32_t worst = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const TRGB p = view->BackBuffer()->GetPixelRGB(ox + x, oy + y);
        const uint8_t* e = &expected[static_cast<size_t>((y * w + x) * 3)];
        worst = std::max({worst, std::abs(p.r - e[0]), std::abs(p.g - e[1]), std::abs(p.b - e[2])});
      }
    EXPECT_LE(worst, 2);
  }
}

TEST_F(ViewTest, DelayedFilterComposesUnfilteredForFourTicks) {
  TPixoranView* view = NewView(120, 90);
  SetPicture(view, 40, 30, clWhite);
  view->SetZoomFilter(rfFastLinear);
  view->SetDelayZoomFilter(true);
  // The delay starts at a zoom change away from 100 %.
  view->SetZoom(200);
  AdvanceTime(2000);
  std::vector<int32_t> counts;
  view->SetOnDrawLayer([&](TObject*, TPXBitmap*, int32_t) { counts.push_back(view->FilterDelayCount()); });
  view->SetZoom(250);
  Pump();
  ASSERT_FALSE(counts.empty());
  EXPECT_EQ(counts.back(), 4);
  EXPECT_TRUE(view->IsFastDrawingNow());
  counts.clear();
  for (int32_t tick = 0; tick < 3; ++tick) AdvanceTime(210);
  EXPECT_EQ(view->FilterDelayCount(), 1);
  EXPECT_TRUE(counts.empty());  // nothing recomposed while the count runs
  AdvanceTime(210);
  EXPECT_EQ(view->FilterDelayCount(), 0);
  ASSERT_EQ(counts.size(), 1u);  // one filtered pass
  EXPECT_EQ(counts[0], 0);
  EXPECT_FALSE(view->IsFastDrawingNow());
}

TEST_F(ViewTest, DrawOuterGreysEveryOtherPixelOutsideTheCurrentLayer) {
  TPixoranView* view = NewView(60, 40);
  SetPicture(view, 60, 40, clWhite);
  view->LayersAppend(pxlkImage, 10, 10, 20, 10, nullptr, false, false, false, true);
  view->GetPXBitmap()->Fill(static_cast<double>(clBlack));
  view->CurrentLayer()->SetDrawOuter(true);
  PaintNow(view);
  EXPECT_EQ(BufferPixel(view, 0, 0), RGB(97, 97, 97));
  EXPECT_EQ(BufferPixel(view, 1, 1), RGB(97, 97, 97));
  EXPECT_EQ(BufferPixel(view, 1, 0), RGB(255, 255, 255));
  EXPECT_EQ(BufferPixel(view, 0, 1), RGB(255, 255, 255));
  EXPECT_EQ(BufferPixel(view, 12, 12), RGB(0, 0, 0));
  EXPECT_EQ(BufferPixel(view, 13, 12), RGB(0, 0, 0));
}

TEST_F(ViewTest, ZoneCursorIsDrawnInvertedAtThePointer) {
  TPixoranView* view = NewView(100, 100);
  SetPicture(view, 100, 100, clWhite);
  PaintNow(view);
  const TRect r = view->DrawZoneCursor(view->Canvas(), pxcsCircle, TPoint(50, 50), 20, 20, true);
  EXPECT_EQ(r, TRect(37, 37, 64, 64));
  // The cross reaches 13 pixels out; where it crosses the circle (and at its centre) the pixel
  // is inverted twice.
  EXPECT_EQ(Pixel(view, 50, 38), RGB(0, 0, 0));
  EXPECT_EQ(Pixel(view, 62, 50), RGB(0, 0, 0));
  EXPECT_EQ(Pixel(view, 50, 50), RGB(255, 255, 255));
  int32_t circle = 0;
  for (int32_t y = 40; y < 61; ++y)
    for (int32_t x = 40; x < 61; ++x)
      if (x != 50 && y != 50 && Pixel(view, x, y) == RGB(0, 0, 0)) ++circle;
  EXPECT_GT(circle, 40);
  view->DrawZoneCursor(view->Canvas(), pxcsCircle, TPoint(50, 50), 20, 20, true);
  for (int32_t y = 36; y < 66; ++y)
    for (int32_t x = 36; x < 66; ++x) ASSERT_EQ(Pixel(view, x, y), RGB(255, 255, 255)) << x << "," << y;
  // A 5 x 5 zone shows only its cross.
  view->DrawZoneCursor(view->Canvas(), pxcsCircle, TPoint(50, 50), 5, 5, true);
  EXPECT_EQ(Pixel(view, 50, 40), RGB(0, 0, 0));
  EXPECT_EQ(Pixel(view, 48, 48), RGB(255, 255, 255));

  // Shown through Paint at the pointer.
  view->SetZoneCursorSize(20);
  view->SetZoneCursor(pxcsRectangle);
  MouseMove(view, 30, 30);
  Pump();
  EXPECT_EQ(Pixel(view, 25, 21), RGB(0, 0, 0));  // the rectangle's top edge
  EXPECT_EQ(Pixel(view, 30, 18), RGB(0, 0, 0));  // the cross
  EXPECT_EQ(Pixel(view, 25, 25), RGB(255, 255, 255));
}
