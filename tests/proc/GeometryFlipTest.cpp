// Flips in every format against ImageMagick and netpbm, quarter turns, opaque bounds and the
// projective quad mapping.
#include <gtest/gtest.h>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_geometry.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

// Pixel (x, y) of any format as its bytes (px1g: the bit).
std::vector<uint8_t> PixelBytes(TPXBitmap* b, int x, int y) {
  const uint8_t* row = b->Scanline(y);
  if (b->BitCount() == 1) return {static_cast<uint8_t>(GetPixelBit(row, x) != 0)};
  const int n = b->BitCount() / 8;
  return std::vector<uint8_t>(row + n * x, row + n * (x + 1));
}

TEST(GeometryFlip, MirrorsEveryFormatAndWidthWithAlpha) {
  const TPXPixelFormat formats[] = {px1g, px8p, px8g, px16g, px24RGB, px32f, pxCMYK, pxRGB48, pxCIELab, px32RGB};
  for (TPXPixelFormat f : formats)
    for (int w : {1, 7, 8, 9, 10, 17, 64, 71, 128, 130, 264}) {
      auto src = RsRandom(w, 3, f, w * 31 + static_cast<int>(f));
      src->GetAlphaChannel();
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < w; ++x) src->SetAlpha(x, y, static_cast<uint8_t>(x * 10 + y));
      auto copy = TPXBitmap::CreateCopy(src.get());
      FlipBitmap(copy.get(), pxfdHorizontal);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < w; ++x) {
          ASSERT_EQ(PixelBytes(copy.get(), x, y), PixelBytes(src.get(), w - 1 - x, y)) << int(f) << " w " << w;
          ASSERT_EQ(copy->GetAlpha(x, y), src->GetAlpha(w - 1 - x, y));
        }
      FlipBitmap(copy.get(), pxfdVertical);
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(PixelBytes(copy.get(), x, 0), PixelBytes(src.get(), w - 1 - x, 2));
        ASSERT_EQ(copy->GetAlpha(x, 0), src->GetAlpha(w - 1 - x, 2));
      }
      FlipBitmap(copy.get(), pxfdVertical);
      FlipBitmap(copy.get(), pxfdHorizontal);
      FlipBitmap(copy.get(), 7);  // unknown direction: nothing
      ASSERT_TRUE(SamePixels(copy.get(), src.get()));
      ASSERT_TRUE(SamePixels(copy->GetAlphaChannel(), src->GetAlphaChannel()));
    }
}

TEST(GeometryFlip, AgreesWithImageMagickAndPamflip) {
  if (!ToolExists(kProcConvert) || !ToolExists(kProcPamflip)) GTEST_SKIP() << "no ImageMagick or netpbm";
  TestTempDir dir;
  struct Case {
    TPXPixelFormat format;
    const char* ext;
  };
  for (const Case c : {Case{px24RGB, "ppm"}, Case{px8g, "pgm"}, Case{px1g, "pbm"}})
    for (int dirn : {0, 1}) {
      auto src = RsRandom(137, 11, c.format, 5 + dirn);
      const std::string in = dir.File(std::string("in.") + c.ext), out = dir.File(std::string("out.") + c.ext);
      WritePnm(src.get(), in);
      int rc;
      if (c.format == px1g) rc = RunTool({kProcPamflip, dirn == 0 ? "-lr" : "-tb", in}, out);
      else rc = RunTool({kProcConvert, in, dirn == 0 ? "-flop" : "-flip", out}, dir.File("log"));
      ASSERT_EQ(rc, 0);
      auto theirs = ReadPnm(out);
      ASSERT_TRUE(theirs) << c.ext;
      FlipBitmap(src.get(), static_cast<TPXFlipDirection>(dirn));
      EXPECT_TRUE(SamePixels(src.get(), theirs.get())) << c.ext << " direction " << dirn;
    }
}

TEST(GeometryFlip, QuarterTurns) {
  auto src = RsRandom(3, 2, px24RGB, 1);
  auto grey = RsRandom(3, 2, px8g, 2);
  TPXBitmap cw, ccw, cw8, ccw8;
  RotateQuarterCW24(src.get(), &cw);
  RotateQuarterCCW24(src.get(), &ccw);
  RotateQuarterCW8(grey.get(), &cw8);
  RotateQuarterCCW8(grey.get(), &ccw8);
  ASSERT_EQ(cw.Width(), 2);
  ASSERT_EQ(cw.Height(), 3);
  const int W = 3, H = 2;
  for (int y = 0; y < W; ++y)
    for (int x = 0; x < H; ++x) {
      EXPECT_EQ(cw.GetPixelRGB(x, y), src->GetPixelRGB(y, H - 1 - x));
      EXPECT_EQ(ccw.GetPixelRGB(x, y), src->GetPixelRGB(W - 1 - y, x));
      EXPECT_EQ(cw8.GetPixel8(x, y), grey->GetPixel8(y, H - 1 - x));
      EXPECT_EQ(ccw8.GetPixel8(x, y), grey->GetPixel8(W - 1 - y, x));
    }
  TPXBitmap none;
  RotateQuarterCW24(grey.get(), &none);  // wrong depth: nothing
  EXPECT_EQ(none.Width(), 0);
}

TEST(GeometryFlip, OpaqueBounds) {
  auto b = RsRandom(6, 5, px24RGB, 3);
  TRect r = GetOpaqueBounds(b.get());
  EXPECT_EQ(r, TRect(0, 0, 5, 4));
  b->GetAlphaChannel()->Fill(0);
  r = GetOpaqueBounds(b.get());
  EXPECT_EQ(r, TRect(6, 5, -1, -1));
  b->SetAlpha(1, 3, 1);
  b->SetAlpha(4, 2, 200);
  EXPECT_EQ(GetOpaqueBounds(b.get()), TRect(1, 2, 4, 3));
}

TEST(GeometryFlip, QuadMapping) {
  auto src = RsRandom(4, 3, px24RGB, 9);
  auto fresh = [] {
    auto d = std::make_unique<TPXBitmap>();
    d->Allocate(4, 3, px24RGB);
    d->Fill(0);
    return d;
  };
  // The destination rectangle itself: nearest samples of the source scaled by W / (W - 1).
  auto dst = fresh();
  MapQuadToQuad(src.get(), dst.get(), 0, 0, 3, 0, 3, 2, 0, 2, -1, -1, true, 255);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const int sx = static_cast<int>(4.0 * x / 3 + 0.5), sy = static_cast<int>(3.0 * y / 2 + 0.5);
      const TRGB want = sx < 4 && sy < 3 ? src->GetPixelRGB(sx, sy) : TRGB{};
      const TRGB got = dst->GetPixelRGB(x, y);
      // Full alpha blends by 255/256: each channel within one of the source.
      EXPECT_NEAR(got.r, want.r, 1) << x << "," << y;
      EXPECT_NEAR(got.g, want.g, 1);
      EXPECT_NEAR(got.b, want.b, 1);
    }
  // Without blending the colour is copied exactly and the alpha goes to the destination.
  dst = fresh();
  MapQuadToQuad(src.get(), dst.get(), 0, 0, 3, 0, 3, 2, 0, 2, -1, -1, false, 200);
  EXPECT_EQ(dst->GetPixelRGB(1, 1), src->GetPixelRGB(1, 2));
  EXPECT_EQ(dst->GetAlpha(1, 1), 200);
  // Degenerate quadrilaterals and Transparency 0 draw nothing.
  struct Bad {
    int q[8];
    int transparency;
  };
  for (const Bad& c : {Bad{{0, 0, 0, 0, 3, 2, 0, 2}, 255},     // X1 = X2
                       Bad{{0, 0, 3, 0, 3, 0, 0, 2}, 255},     // Y3 = Y1
                       Bad{{0, 0, 3, 0, 3, 2, 0, 2}, 0},       // transparent
                       Bad{{0, 0, 3, 1, 6, 2, 0, 2}, 255}}) {  // three corners in a line
    dst = fresh();
    MapQuadToQuad(src.get(), dst.get(), c.q[0], c.q[1], c.q[2], c.q[3], c.q[4], c.q[5], c.q[6], c.q[7], -1, -1,
                  true, c.transparency);
    EXPECT_TRUE(dst->IsAllZero()) << c.q[2] << "," << c.q[5] << "," << c.transparency;
  }
}

}  // namespace
