#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_blur.h"
#include "proc/pixoranproc_sample.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ProcTestSupport.h"

namespace {

// The blur as described, one sample at a time: every row, then every column, indices clamped
// to the run, (sum + 32768) shr 16.
void ReferenceBlur(TPXBitmap* b, double radius) {
  const TPXGaussKernel k = GaussKernel(radius);
  const int w = b->Width(), h = b->Height(), ch = b->BitCount() / 8;
  std::vector<uint8_t> run;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = b->Scanline(y);
    run.assign(row, row + w * ch);
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < ch; ++c) {
        uint32_t s = 32768;
        for (int i = -k.Radius; i <= k.Radius; ++i)
          s += static_cast<uint32_t>(k.Weight(i)) * run[std::clamp(x + i, 0, w - 1) * ch + c];
        row[x * ch + c] = static_cast<uint8_t>(std::min<uint32_t>(s >> 16, 255));
      }
  }
  for (int x = 0; x < w * ch; ++x) {
    run.resize(h);
    for (int y = 0; y < h; ++y) run[y] = b->Scanline(y)[x];
    for (int y = 0; y < h; ++y) {
      uint32_t s = 32768;
      for (int i = -k.Radius; i <= k.Radius; ++i)
        s += static_cast<uint32_t>(k.Weight(i)) * run[std::clamp(y + i, 0, h - 1)];
      b->Scanline(y)[x] = static_cast<uint8_t>(std::min<uint32_t>(s >> 16, 255));
    }
  }
}

// A px8g copy of a bitmap's alpha channel.
std::unique_ptr<TPXBitmap> AlphaCopy(TPXBitmap* b) {
  auto a = Make(b->Width(), b->Height(), px8g);
  for (int y = 0; y < b->Height(); ++y) std::memcpy(a->Scanline(y), b->GetAlphaChannel()->Scanline(y), b->Width());
  return a;
}

// The shadow as described: the alpha blurred and moved, vacated area 0.
std::unique_ptr<TPXBitmap> ExpectedShadow(TPXBitmap* b, int dx, int dy, double radius) {
  auto a = AlphaCopy(b);
  GaussianBlurBitmap(a.get(), nullptr, radius, {});
  a->MoveRect(0, 0, a->Width() - 1, a->Height() - 1, dx, dy, 0, true);
  return a;
}

// A 40 x 30 picture: an opaque square (10..19, 8..17) on transparent ground.
std::unique_ptr<TPXBitmap> Shape(TPXPixelFormat f) {
  auto b = Make(40, 30, f);
  FillNoise(b.get(), 31);
  TPXBitmap* a = b->GetAlphaChannel();
  a->Fill(0);
  a->FillRect(10, 8, 19, 17, 255);
  return b;
}

// ---------------------------------------------------------------------------------------------

TEST(BlurShadowTest, GaussKernel) {
  const TPXGaussKernel k3 = GaussKernel(3);
  EXPECT_EQ(k3.Radius, 13);
  EXPECT_EQ(k3.Weight(0), 8715);
  int64_t sum = 0;
  for (int i = -13; i <= 13; ++i) {
    EXPECT_EQ(k3.Weight(i), k3.Weight(-i));
    EXPECT_GT(k3.Weight(i), 0);
    sum += k3.Weight(i);
  }
  EXPECT_NEAR(sum, 65536, 14);  // each weight rounded on its own

  const TPXGaussKernel k01 = GaussKernel(0.1);
  EXPECT_EQ(k01.Radius, 1);
  EXPECT_EQ(k01.Weights, (std::vector<int32_t>{0, 65536, 0}));
  EXPECT_EQ(GaussKernel(50).Radius, 100);  // 100 taps each side at most
  EXPECT_EQ(GaussKernel(0).Radius, 0);
  EXPECT_EQ(GaussKernel(-2).Radius, 0);
  EXPECT_EQ(GaussKernel(std::nan("")).Radius, 0);
}

// The banded, strip-wise passes give exactly the described per-sample result, on pictures small
// enough for one thread and large enough for several, narrower than the kernel and wider.
TEST(BlurShadowTest, BlurMatchesTheDescribedConvolution) {
  struct Case {
    int w, h;
    TPXPixelFormat f;
    double radius;
  } cases[] = {{300, 250, px24RGB, 3}, {300, 250, px8g, 20}, {7, 5, px24RGB, 20}, {33, 2, px8g, 0.6},
               {1, 40, px8g, 3}, {290, 260, px24RGB, 1.0}};
  for (const Case& c : cases) {
    auto b = Make(c.w, c.h, c.f);
    FillNoise(b.get(), 77 + c.w);
    auto ref = TPXBitmap::CreateCopy(b.get());
    std::vector<int32_t> progress;
    GaussianBlurBitmap(b.get(), nullptr, c.radius, [&](TObject*, int32_t p) { progress.push_back(p); });
    ReferenceBlur(ref.get(), c.radius);
    EXPECT_TRUE(SamePixels(b.get(), ref.get())) << c.w << "x" << c.h << " radius " << c.radius;
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_LE(progress.back(), 100);
  }
}

TEST(BlurShadowTest, BlurLeavesWhatItMust) {
  // Standard deviation 0.1 is the identity; Radius <= 0 and other formats do nothing.
  auto b = Make(50, 20, px24RGB);
  FillNoise(b.get(), 1);
  auto orig = TPXBitmap::CreateCopy(b.get());
  for (double r : {0.1, 0.0, -3.0}) {
    GaussianBlurBitmap(b.get(), nullptr, r, {});
    EXPECT_TRUE(SamePixels(b.get(), orig.get())) << r;
  }
  auto w16 = Make(20, 20, px16g);
  FillNoise(w16.get(), 2);
  auto w16Copy = TPXBitmap::CreateCopy(w16.get());
  GaussianBlurBitmap(w16.get(), nullptr, 3, {});
  EXPECT_TRUE(SamePixels(w16.get(), w16Copy.get()));

  // A flat picture stays flat.
  for (TPXPixelFormat f : {px8g, px24RGB})
    for (double r : {3.0, 20.0}) {
      auto flat = Make(61, 45, f);
      flat->Fill(f == px8g ? 201 : 0x00C8641E);
      auto flatCopy = TPXBitmap::CreateCopy(flat.get());
      GaussianBlurBitmap(flat.get(), nullptr, r, {});
      EXPECT_TRUE(SamePixels(flat.get(), flatCopy.get())) << r;
    }
}

// ImageMagick's -gaussian-blur 0x3 on a smooth picture: the inner region within 2 levels.
TEST(BlurShadowTest, BlurMatchesImageMagick) {
  if (!ToolExists(kProcConvert)) GTEST_SKIP() << "no ImageMagick";
  TestTempDir dir;
  auto b = Make(120, 90, px24RGB);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x)
      b->SetPixel24(x, y, {static_cast<uint8_t>(128 + 100 * std::sin(x * 0.21) * std::cos(y * 0.17)),
                           static_cast<uint8_t>(x * 2), static_cast<uint8_t>(128 + 120 * std::sin((x + y) * 0.09))});
  WritePnm(b.get(), dir.File("in.ppm"));
  ASSERT_EQ(RunTool({kProcConvert, dir.File("in.ppm"), "-gaussian-blur", "0x3", dir.File("out.ppm")}, dir.File("log")),
            0);
  auto theirs = ReadPnm(dir.File("out.ppm"));
  ASSERT_TRUE(theirs);
  GaussianBlurBitmap(b.get(), nullptr, 3, {});
  int worst = 0;
  for (int y = 15; y < 75; ++y)
    for (int x = 15; x < 105; ++x)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(b->Scanline(y)[3 * x + c] - theirs->Scanline(y)[3 * x + c]));
  EXPECT_LE(worst, 2);
}

// The rectangle is blurred as a picture of its own (its ends repeat); nothing else changes.
TEST(BlurShadowTest, GaussianBlurGray8Rect) {
  auto b = Make(280, 260, px8g);
  FillNoise(b.get(), 5);
  auto orig = TPXBitmap::CreateCopy(b.get());
  const TRect r(30, 12, 250, 241);
  auto crop = TPXBitmap::CreateCrop(b.get(), r);
  GaussianBlurBitmap(crop.get(), nullptr, 4, {});
  GaussianBlurGray8Rect(b.get(), r.Left, r.Top, r.Right, r.Bottom, 4);
  for (int y = 0; y < 260; ++y)
    for (int x = 0; x < 280; ++x) {
      const bool in = x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
      ASSERT_EQ(b->GetPixel8(x, y), in ? crop->GetPixel8(x - r.Left, y - r.Top) : orig->GetPixel8(x, y))
          << x << "," << y;
    }

  // Bounds are clamped into the bitmap: the whole picture.
  auto whole = TPXBitmap::CreateCopy(orig.get());
  auto clamped = TPXBitmap::CreateCopy(orig.get());
  GaussianBlurBitmap(whole.get(), nullptr, 2, {});
  GaussianBlurGray8Rect(clamped.get(), -50, -1, 1000, 999, 2);
  EXPECT_TRUE(SamePixels(whole.get(), clamped.get()));
  // Reversed bounds, Radius 0 and other formats do nothing.
  auto same = TPXBitmap::CreateCopy(orig.get());
  GaussianBlurGray8Rect(same.get(), 40, 10, 20, 30, 3);
  GaussianBlurGray8Rect(same.get(), 0, 0, 100, 100, 0);
  EXPECT_TRUE(SamePixels(same.get(), orig.get()));
  auto rgb = Make(10, 10, px24RGB);
  FillNoise(rgb.get(), 6);
  auto rgbCopy = TPXBitmap::CreateCopy(rgb.get());
  GaussianBlurGray8Rect(rgb.get(), 0, 0, 9, 9, 3);
  EXPECT_TRUE(SamePixels(rgb.get(), rgbCopy.get()));
}

TEST(BlurShadowTest, CalcShadowMargin) {
  EXPECT_EQ(CalcShadowMargin(3, -5, 3.0), 25);
  EXPECT_EQ(CalcShadowMargin(0, 0, 0.0), 1);
  EXPECT_EQ(CalcShadowMargin(0, 0, 2.0), 10);
  EXPECT_EQ(CalcShadowMargin(-7, 2, 0.5), 16);
  EXPECT_EQ(CalcShadowMargin(0, 0, -4.0), 1);
  EXPECT_EQ(CalcShadowMargin(-2147483647 - 1, 0, 1e30), 2147483647);
}

// ---------------------------------------------------------------------------------------------

// Intensity 100 keeps the blurred, moved alpha under transparent shape pixels, Intensity 0 a
// third of it; opaque shape pixels keep colour and alpha.
TEST(BlurShadowTest, SoftShadowIntensity) {
  for (int intensity : {100, 0, 50}) {
    auto b = Shape(px24RGB);
    auto orig = TPXBitmap::CreateCopy(b.get());
    auto shadow = ExpectedShadow(b.get(), 4, 3, 2.0);
    const double t = 3 - 2 * intensity / 100.0;
    ApplySoftShadow(b.get(), 4, 3, 2.0, intensity, false, 0x102030, 0, {}, nullptr);
    EXPECT_FALSE(b->GetAlphaChannel()->FFull);
    int shadowPixels = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const uint8_t sv = orig->GetAlpha(x, y), a = shadow->GetPixel8(x, y);
        if (sv == 255) {
          ASSERT_EQ(b->GetPixelRGB(x, y), orig->GetPixelRGB(x, y));
          ASSERT_EQ(b->GetAlpha(x, y), 255);
        } else if (a == 0) {
          ASSERT_EQ(b->GetAlpha(x, y), 0);
          ASSERT_EQ(b->GetPixelRGB(x, y), orig->GetPixelRGB(x, y));
        } else {
          ++shadowPixels;
          ASSERT_EQ(b->GetPixelRGB(x, y), (TRGB{0x30, 0x20, 0x10})) << x << "," << y;
          ASSERT_EQ(b->GetAlpha(x, y), intensity == 100 ? a : static_cast<int>(a / t)) << x << "," << y;
        }
      }
    EXPECT_GT(shadowPixels, 100);
  }
}

TEST(BlurShadowTest, SoftShadowPartlyTransparentShapeAndMinAlpha) {
  auto b = Shape(px24RGB);
  b->SetPixel24(20, 12, {100, 150, 200});
  b->GetAlphaChannel()->SetPixel8(20, 12, 128);  // next to the square, inside its shadow
  b->SetPixel24(21, 12, {100, 150, 200});
  b->GetAlphaChannel()->SetPixel8(21, 12, 30);  // below MinAlpha
  auto shadow = ExpectedShadow(b.get(), 0, 0, 1.5);
  ApplySoftShadow(b.get(), 0, 0, 1.5, 100, false, 0xFF0000, 50, {}, nullptr);

  const double u = shadow->GetPixel8(20, 12) / 255.0, f = 128 / 255.0;
  ASSERT_GT(u, 0);
  auto mix = [&](int shadowByte, int pixel) {
    const int m = static_cast<int>(shadowByte * u + pixel * (1 - u));
    return static_cast<int>(f * pixel + (1 - f) * m);
  };
  const TRGB p = b->GetPixelRGB(20, 12);
  EXPECT_EQ(p.r, mix(255, 200));
  EXPECT_EQ(p.g, mix(0, 150));
  EXPECT_EQ(p.b, mix(0, 100));
  EXPECT_EQ(b->GetAlpha(20, 12), static_cast<int>((f + u * (1 - f)) * 255));
  // The faint pixel counts as transparent: it takes the shadow colour and alpha.
  EXPECT_EQ(b->GetPixelRGB(21, 12), (TRGB{0, 0, 255}));
  EXPECT_EQ(b->GetAlpha(21, 12), shadow->GetPixel8(21, 12));
}

TEST(BlurShadowTest, SoftShadowEnlargeAndFormats) {
  // Enlarge grows by the margin with the content centred.
  auto b = Shape(px24RGB);
  const TRGB marked = b->GetPixelRGB(12, 9);
  const int m = CalcShadowMargin(2, -3, 1.0);
  ApplySoftShadow(b.get(), 2, -3, 1.0, 100, true, 0, 0, {}, nullptr);
  ASSERT_EQ(b->Width(), 40 + m);
  ASSERT_EQ(b->Height(), 30 + m);
  EXPECT_EQ(b->GetPixelRGB(12 + m / 2, 9 + m / 2), marked);
  EXPECT_EQ(b->GetAlpha(12 + m / 2, 9 + m / 2), 255);
  EXPECT_EQ(b->GetAlpha(0, 0), 0);

  // px1g: shadow pixels turn black, the rest keep their bits.
  auto mono = Shape(px1g);
  for (int y = 0; y < 30; ++y) std::memset(mono->Scanline(y), 0xFF, static_cast<size_t>(mono->RowLen()));
  auto monoShadow = ExpectedShadow(mono.get(), 3, 3, 2.0);
  ApplySoftShadow(mono.get(), 3, 3, 2.0, 0, false, 0xFFFFFF, 0, {}, nullptr);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inShape = x >= 10 && x <= 19 && y >= 8 && y <= 17;
      const uint8_t a = monoShadow->GetPixel8(x, y);
      const bool black = !inShape && a != 0;
      ASSERT_EQ(GetPixelBit(mono->Scanline(y), x) == 0, black) << x << "," << y;
      ASSERT_EQ(mono->GetAlpha(x, y), inShape ? 255 : static_cast<int>(a / 3.0)) << x << "," << y;
    }

  // Other formats keep their pixels; the alpha channel is the shadow.
  auto grey = Shape(px8g);
  auto greyOrig = TPXBitmap::CreateCopy(grey.get());
  auto greyShadow = ExpectedShadow(grey.get(), -5, 2, 3.0);
  ApplySoftShadow(grey.get(), -5, 2, 3.0, 0, false, 0, 0, {}, nullptr);
  EXPECT_TRUE(SamePixels(grey.get(), greyOrig.get()));
  EXPECT_TRUE(SamePixels(AlphaCopy(grey.get()).get(), greyShadow.get()));

  // A picture without alpha gets one (opaque: no shadow shows).
  auto plain = Make(20, 20, px24RGB);
  FillNoise(plain.get(), 8);
  auto plainCopy = TPXBitmap::CreateCopy(plain.get());
  ApplySoftShadow(plain.get(), 2, 2, 2.0, 100, false, 0, 0, {}, nullptr);
  ASSERT_TRUE(plain->HasAlphaChannel());
  EXPECT_TRUE(SamePixels(plain.get(), plainCopy.get()));
  EXPECT_EQ(plain->GetAlpha(0, 0), 255);
}

// Radius 0: the "Blur" preset over the rectangle grown by half the margin, margin of 2.0; other
// formats keep the result in the alpha channel.
TEST(BlurShadowTest, SoftShadowRect) {
  auto b = Make(60, 50, px8g);
  FillNoise(b.get(), 12);
  FillNoise(b->GetAlphaChannel(), 13);
  auto expected = AlphaCopy(b.get());
  ASSERT_EQ(ApplySoftShadowRect(b.get(), 0, 0, 0.0, 100, 0, 20, 15, 30, 25), CalcShadowMargin(0, 0, 2.0));
  const int half = CalcShadowMargin(0, 0, 2.0) / 2;
  Convolve3x3Gray(expected.get(), PXFilterPresets()[1], 20 - half, 15 - half, 31 + half, 26 + half);
  EXPECT_TRUE(SamePixels(AlphaCopy(b.get()).get(), expected.get()));

  // Radius 2 with an offset: the grown rectangle blurred, then moved.
  auto g = Make(60, 50, px8g);
  FillNoise(g.get(), 14);
  FillNoise(g->GetAlphaChannel(), 15);
  auto moved = AlphaCopy(g.get());
  const int margin = ApplySoftShadowRect(g.get(), 2, -1, 2.0, 100, 0, 20, 15, 30, 25);
  ASSERT_EQ(margin, CalcShadowMargin(2, -1, 2.0));
  const int h2 = margin / 2;
  GaussianBlurGray8Rect(moved.get(), 20 - h2, 15 - h2, 30 + h2, 25 + h2, 2.0);
  moved->MoveRect(20 - h2, 15 - h2, 30 + h2, 25 + h2, 22 - h2, 14 - h2, 0, true);
  EXPECT_TRUE(SamePixels(AlphaCopy(g.get()).get(), moved.get()));
}

TEST(BlurShadowTest, SoftShadowRectTouchesOnlyTheMargin) {
  for (double radius : {0.0, 1.5}) {
    auto b = Make(90, 70, px24RGB);
    FillNoise(b.get(), 21);
    FillNoise(b->GetAlphaChannel(), 22);
    auto orig = TPXBitmap::CreateCopy(b.get());
    const int m = ApplySoftShadowRect(b.get(), -3, 2, radius, 40, 0x00FF00, 35, 30, 50, 40);
    int changed = 0;
    for (int y = 0; y < 70; ++y)
      for (int x = 0; x < 90; ++x) {
        const bool near = x >= 35 - m && x <= 50 + m && y >= 30 - m && y <= 40 + m;
        const bool same = b->GetPixelRGB(x, y) == orig->GetPixelRGB(x, y) && b->GetAlpha(x, y) == orig->GetAlpha(x, y);
        if (!near) {
          ASSERT_TRUE(same) << x << "," << y;
        }
        changed += !same;
      }
    EXPECT_GT(changed, 0);
    // A rectangle wholly outside the picture changes nothing.
    auto copy = TPXBitmap::CreateCopy(orig.get());
    ApplySoftShadowRect(copy.get(), 0, 0, radius, 40, 0, 500, 500, 600, 600);
    EXPECT_TRUE(BitmapsEqual(copy.get(), orig.get()));
  }

  // px1g: the shadow's alpha is not divided.
  auto mono = Make(40, 30, px1g);
  for (int y = 0; y < 30; ++y) std::memset(mono->Scanline(y), 0xFF, static_cast<size_t>(mono->RowLen()));
  mono->GetAlphaChannel()->Fill(0);
  mono->GetAlphaChannel()->FillRect(15, 10, 20, 15, 255);
  auto blurred = AlphaCopy(mono.get());
  const int m = ApplySoftShadowRect(mono.get(), 0, 0, 1.0, 0, 0, 15, 10, 20, 15);
  GaussianBlurGray8Rect(blurred.get(), 15 - m / 2, 10 - m / 2, 20 + m / 2, 15 + m / 2, 1.0);
  int shadowPixels = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      if (x >= 15 && x <= 20 && y >= 10 && y <= 15) continue;
      const uint8_t a = blurred->GetPixel8(x, y);
      ASSERT_EQ(mono->GetAlpha(x, y), a) << x << "," << y;
      ASSERT_EQ(GetPixelBit(mono->Scanline(y), x) == 0, a != 0) << x << "," << y;
      shadowPixels += a != 0;
    }
  EXPECT_GT(shadowPixels, 0);
}

}  // namespace
