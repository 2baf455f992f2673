// TPXBitmap's rotation, resampling, rectangle stretch and compositing: the routes they take into
// the processing engine, the alpha channel alongside, and the clipping of rectangles that reach
// outside either picture.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_geometry.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_rotate.h"

namespace {

std::unique_ptr<TPXBitmap> Random(int w, int h, TPXPixelFormat f, uint32_t seed = 1) {
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(w, h, f);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int64_t i = 0; i < b->RowLen(); ++i) b->Scanline(y)[i] = static_cast<uint8_t>(rng());
  if (f == px8p)
    for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TRGB{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)});
  return b;
}

// Random alpha values of a picture, FFull cleared.
void RandomAlpha(TPXBitmap* b, uint32_t seed) {
  TPXBitmap* a = b->GetAlphaChannel();
  std::mt19937 rng(seed);
  for (int y = 0; y < a->Height(); ++y)
    for (int x = 0; x < a->Width(); ++x) a->Scanline(y)[x] = static_cast<uint8_t>(rng());
  a->FFull = 0;
}

bool SameBytes(TPXBitmap* a, TPXBitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height() || a->PixelFormat() != b->PixelFormat()) return false;
  const size_t n = static_cast<size_t>((int64_t{a->Width()} * a->BitCount() + 7) / 8);
  for (int y = 0; y < a->Height(); ++y)
    if (std::memcmp(a->Scanline(y), b->Scanline(y), n) != 0) return false;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Rotation

enum class Route { Nearest, Shear, Smooth };

// The picture comes out as the engine routine of its route gives it, and the alpha channel as the
// matching routine with background 0 gives it, at the picture's size.
TEST(BitmapTransform, RotateTakesTheRouteOfModeFormatAndAngle) {
  struct Case {
    TPXPixelFormat Format;
    int Mode;
    double Angle;
    Route Way;
  } cases[] = {
      {px24RGB, 2, 90, Route::Shear},  {px24RGB, 2, 45, Route::Smooth}, {px24RGB, 3, 30, Route::Smooth},
      {px24RGB, 0, 30, Route::Nearest}, {px24RGB, 1, 30, Route::Shear}, {px1g, 1, 30, Route::Shear},
      {px1g, 2, 45, Route::Shear},     {px8g, 1, 30, Route::Nearest},  {px8p, 2, 30, Route::Nearest},
      {px32RGB, 3, 20, Route::Nearest},
  };
  const TColor bg = 0x00FFFFFF;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << int(c.Format) << " mode " << c.Mode << " angle " << c.Angle);
    auto b = Random(13, 7, c.Format, 3);
    RandomAlpha(b.get(), 4);
    auto expect = TPXBitmap::CreateCopy(b.get());
    std::unique_ptr<TPXBitmap> alpha = expect->DetachAlphaChannel(false);
    switch (c.Way) {
      case Route::Nearest:
        RotateNearest(expect.get(), c.Angle, bg);
        RotateNearest(alpha.get(), c.Angle, 0);
        break;
      case Route::Shear:
        RotateByShear(expect.get(), c.Angle, true, TColorToRGB(bg));
        if (c.Format == px1g) RotateGrayNearest(alpha.get(), c.Angle, 0);
        else RotateGrayByShear(alpha.get(), c.Angle, true, 0);
        break;
      case Route::Smooth:
        RotateSmooth(expect.get(), c.Angle, bg, c.Mode);
        RotateGraySmooth(alpha.get(), c.Angle, 0, c.Mode);
        break;
    }
    b->Rotate(c.Angle, c.Mode, bg);
    EXPECT_TRUE(SameBytes(b.get(), expect.get()));
    ASSERT_TRUE(b->HasAlphaChannel());
    EXPECT_EQ(b->AlphaChannel()->Width(), b->Width());
    EXPECT_EQ(b->AlphaChannel()->Height(), b->Height());
    EXPECT_TRUE(SameBytes(b->AlphaChannel(), alpha.get()));
    if (c.Format == px8p) {
      EXPECT_EQ(b->GetPalette()[7], (TRGB{7, 248, 21}));
    }
  }
}

TEST(BitmapTransform, RotateLeavesTheNewAlphaAreaTransparentAndReportsProgress) {
  auto b = Random(20, 10, px24RGB);
  b->GetAlphaChannel();  // opaque
  std::vector<int> progress;
  b->SetOnProgress(TPXProgressEvent([&](TObject* Sender, int p) {
    EXPECT_EQ(Sender, b.get());
    progress.push_back(p);
  }));
  b->Rotate(10, 2, 0x00FFFFFF);
  EXPECT_EQ(b->AlphaChannel()->GetPixel8(0, 0), 0);
  EXPECT_EQ(b->AlphaChannel()->GetPixel8(b->Width() / 2, b->Height() / 2), 255);
  EXPECT_FALSE(b->AlphaChannel()->FFull);
  EXPECT_FALSE(progress.empty());

  // Angle 0 does nothing at all.
  auto before = TPXBitmap::CreateCopy(b.get());
  progress.clear();
  b->Rotate(0, 1, 0);
  EXPECT_TRUE(SameBytes(b.get(), before.get()));
  EXPECT_TRUE(progress.empty());
}

// ---------------------------------------------------------------------------------------------
// Resampling

TEST(BitmapTransform, ResampleResolvesSizesAndShrinksOnlyWhenAsked) {
  auto b = Random(200, 100, px24RGB);
  RandomAlpha(b.get(), 2);
  b->Resample(-1, 50, rfTriangle, false, false);
  EXPECT_EQ(b->Width(), 100);
  EXPECT_EQ(b->Height(), 50);
  EXPECT_EQ(b->AlphaChannel()->Width(), 100);
  EXPECT_EQ(b->AlphaChannel()->Height(), 50);

  auto before = TPXBitmap::CreateCopy(b.get());
  b->Resample(300, 25, rfTriangle, false, true);  // wider: not a shrink
  b->Resample(-5, -5, rfTriangle, false, false);  // both negative: no size
  b->ResampleByFactor(0, rfTriangle);
  b->ResampleByFactor(-0.5, rfTriangle);
  EXPECT_TRUE(SameBytes(b.get(), before.get()));

  b->Resample(50, 25, rfNone, false, true);
  EXPECT_EQ(b->Width(), 50);
  // The same as the engine's resampler on a copy.
  auto src = Random(40, 30, px24RGB, 9);
  auto expect = std::make_unique<TPXBitmap>();
  expect->Allocate(20, 15, px24RGB);
  ResampleWithAlpha(src.get(), expect.get(), rfLanczos3, TPXProgressEvent(), nullptr);
  src->ResampleByFactor(0.5, rfLanczos3);
  EXPECT_TRUE(SameBytes(src.get(), expect.get()));

  // A factor so small that a side rounds to 0 still leaves a pixel.
  src->ResampleByFactor(0.001, rfNone);
  EXPECT_EQ(src->Width(), 1);
  EXPECT_EQ(src->Height(), 1);

  TPXBitmap empty;
  empty.Resample(10, 10, rfTriangle, false, false);
  EXPECT_TRUE(empty.IsEmpty());
}

// ---------------------------------------------------------------------------------------------
// Rectangle stretch

// A px24RGB destination of a known colour (1, 2, 3) without alpha.
std::unique_ptr<TPXBitmap> Canvas(int w, int h) {
  auto d = std::make_unique<TPXBitmap>();
  d->Allocate(w, h, px24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) d->SetPixel24(x, y, TRGB{1, 2, 3});
  return d;
}

TEST(BitmapTransform, StretchMapsColumnsAndRowsAndWritesAlpha) {
  auto s = Random(6, 4, px24RGB);
  auto d = Canvas(20, 10);
  // Twice as wide and high: step 8192, so destination column c reads source column c / 2.
  s->StretchRectTo(d.get(), 3, 1, 8, 6, 2, 1, 4, 3, rfNone, 200, 0.5);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 3 && x < 11 && y >= 1 && y < 7;
      if (inside) {
        EXPECT_EQ(d->GetPixelRGB(x, y), s->GetPixelRGB(2 + (x - 3) / 2, 1 + (y - 1) / 2)) << x << "," << y;
        EXPECT_EQ(d->GetAlpha(x, y), 100);
      } else {
        EXPECT_EQ(d->GetPixelRGB(x, y), (TRGB{1, 2, 3}));
        EXPECT_EQ(d->GetAlpha(x, y), 255);
      }
    }
  EXPECT_FALSE(d->AlphaChannel()->FFull);

  // A source alpha that is not full is mapped, limited by MaxAlpha, times Opacity.
  RandomAlpha(s.get(), 5);
  s->StretchRectTo(d.get(), 0, 0, 6, 4, 0, 0, 6, 4, rfNone, 100, 0.5);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      EXPECT_EQ(d->GetPixelRGB(x, y), s->GetPixelRGB(x, y));
      EXPECT_EQ(d->GetAlpha(x, y), std::min<int>(100, s->GetAlpha(x, y)) / 2);
    }

  // 1-bit sources give black or white; grey sources their level.
  auto mono = Random(9, 3, px1g, 6);
  mono->StretchRectTo(d.get(), 0, 0, 9, 3, 0, 0, 9, 3, rfNone, 255, 1);
  for (int x = 0; x < 9; ++x) {
    const uint8_t v = GetPixelBit(mono->Scanline(1), x) ? 255 : 0;
    EXPECT_EQ(d->GetPixelRGB(x, 1), (TRGB{v, v, v}));
  }
  auto grey = Random(5, 2, px8g, 7);
  grey->StretchRectTo(d.get(), 0, 0, 5, 2, 0, 0, 5, 2, rfNone, 255, 1);
  const uint8_t g = grey->Scanline(1)[3];
  EXPECT_EQ(d->GetPixelRGB(3, 1), (TRGB{g, g, g}));
}

TEST(BitmapTransform, StretchWithFilterResamplesTheRectangle) {
  auto s = Random(12, 10, px24RGB, 11);
  RandomAlpha(s.get(), 12);
  auto d = Canvas(20, 20);
  s->StretchRectTo(d.get(), 5, 6, 4, 3, 2, 1, 8, 6, rfBilinear, 255, 1);
  auto part = TPXBitmap::CreateCrop(s.get(), TRect(2, 1, 9, 6));
  auto expect = std::make_unique<TPXBitmap>();
  expect->Allocate(4, 3, px24RGB);
  ResampleWithAlpha(part.get(), expect.get(), rfBilinear, TPXProgressEvent(), nullptr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(d->GetPixelRGB(5 + x, 6 + y), expect->GetPixelRGB(x, y));
      EXPECT_EQ(d->GetAlpha(5 + x, 6 + y), expect->GetAlpha(x, y));
    }
  EXPECT_EQ(d->GetPixelRGB(4, 6), (TRGB{1, 2, 3}));
  EXPECT_EQ(d->GetPixelRGB(9, 6), (TRGB{1, 2, 3}));

  // A 1-bit picture reduced becomes grey coverage.
  auto mono = std::make_unique<TPXBitmap>();
  mono->Allocate(2, 2, px1g);
  mono->Scanline(0)[0] = 0x80;  // checkerboard
  mono->Scanline(1)[0] = 0x40;
  mono->StretchRectTo(d.get(), 0, 0, 1, 1, 0, 0, 2, 2, rfTriangle, 255, 1);
  EXPECT_EQ(d->GetPixelRGB(0, 0).g, 127);
}

// Rectangles reaching past either picture only touch pixels that exist; what lies inside keeps
// the plain mapping.
TEST(BitmapTransform, StretchClipsBothRectanglesToBothPictures) {
  auto s = Random(8, 6, px24RGB, 13);
  RandomAlpha(s.get(), 14);
  for (TResampleFilter f : {rfNone, rfTriangle, rfBilinear}) {
    SCOPED_TRACE(int(f));
    auto d = Canvas(10, 8);
    s->StretchRectTo(d.get(), -3, -2, 40, 30, -4, -3, 20, 15, f, 255, 1);
    s->StretchRectTo(d.get(), 5, 5, 30, 30, 6, 4, 30, 30, f, 255, 1);
    s->StretchRectTo(d.get(), 2, 2, 4, 4, 100, 100, 4, 4, f, 255, 1);  // source rectangle outside
    s->StretchRectTo(d.get(), 50, 50, 4, 4, 0, 0, 4, 4, f, 255, 1);    // destination outside
  }
  // Without filter: destination (x, y) of the first call reads source (-4 + (x + 3) div 2, ...).
  auto d = Canvas(10, 8);
  s->StretchRectTo(d.get(), -3, -2, 40, 30, -4, -3, 20, 15, rfNone, 255, 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const int sx = -4 + (x + 3) / 2, sy = -3 + (y + 2) / 2;
      if (sx >= 0 && sy >= 0) EXPECT_EQ(d->GetPixelRGB(x, y), s->GetPixelRGB(sx, sy)) << x << "," << y;
      else EXPECT_EQ(d->GetPixelRGB(x, y), (TRGB{1, 2, 3})) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------------------------
// Compositing

TEST(BitmapTransform, MergeWithOpacityOneCopiesAndZeroLeavesVisiblePixels) {
  auto s = Random(6, 5, px24RGB, 21);
  auto d = Random(8, 7, px24RGB, 22);
  RandomAlpha(d.get(), 23);
  d->AlphaChannel()->SetPixel8(1, 1, 0);
  auto before = TPXBitmap::CreateCopy(d.get());

  d->MergeWithAlpha(s.get(), 0, 0, -1, -1, 255, rfNone, 0, false, 0, 0, 0.0);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(d->GetAlpha(x, y), before->GetAlpha(x, y));
      if (before->GetAlpha(x, y) != 0) {
        EXPECT_EQ(d->GetPixelRGB(x, y), before->GetPixelRGB(x, y));
      }
    }
  EXPECT_EQ(d->GetPixelRGB(1, 1), s->GetPixelRGB(1, 1));  // alpha 0 takes the blend

  d->MergeWithAlpha(s.get(), 2, 1, -1, -1, 255, rfNone, 0, false, 0, 0, 1.0);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && y >= 1 && y < 6;
      if (inside) {
        EXPECT_EQ(d->GetPixelRGB(x, y), s->GetPixelRGB(x - 2, y - 1));
        EXPECT_EQ(d->GetAlpha(x, y), 255);
      }
    }
}

TEST(BitmapTransform, MergeBlendsByBothAlphasAndTheOperation) {
  auto s = Random(1, 1, px24RGB);
  s->SetPixel24(0, 0, TRGB{200, 100, 50});
  s->GetAlphaChannel()->SetPixel8(0, 0, 128);
  auto d = Random(1, 1, px24RGB);
  d->SetPixel24(0, 0, TRGB{0, 50, 250});
  d->GetAlphaChannel()->SetPixel8(0, 0, 255);
  d->MergeWithAlpha(s.get(), 0, 0, -1, -1, 255, rfNone, 0, false, 0, 0, 1.0);
  // t = 128/255, u = 1 - t, v = 1.
  const double t = 128 / 255.0;
  EXPECT_EQ(d->GetPixelRGB(0, 0).b, Round(200 * t + 0 * (1 - t)));
  EXPECT_EQ(d->GetPixelRGB(0, 0).r, Round(50 * t + 250 * (1 - t)));
  EXPECT_EQ(d->GetAlpha(0, 0), 255);

  // MaxAlpha limits the source alpha; the destination alpha combines.
  d->SetPixel24(0, 0, TRGB{0, 50, 250});
  d->AlphaChannel()->SetPixel8(0, 0, 100);
  d->MergeWithAlpha(s.get(), 0, 0, -1, -1, 64, rfNone, 0, false, 0, 0, 1.0);
  const double as = 64 / 255.0, u = (1 - as) * 100 / 255.0, v = as + u;
  EXPECT_EQ(d->GetPixelRGB(0, 0).g, Round((100 * as + 50 * u) / v));
  EXPECT_EQ(d->GetAlpha(0, 0), Round(v * 255));

  // A px32RGB source carries its alpha in the fourth byte; the operation is CombinePixels'.
  auto s32 = std::make_unique<TPXBitmap>();
  s32->Allocate(1, 1, px32RGB);
  const uint8_t px[4] = {10, 20, 30, 255};
  std::memcpy(s32->Scanline(0), px, 4);
  d->SetPixel24(0, 0, TRGB{100, 100, 100});
  d->AlphaChannel()->SetPixel8(0, 0, 255);
  d->MergeWithAlpha(s32.get(), 0, 0, -1, -1, 255, rfNone, static_cast<uint8_t>(pxboAdd), false, 0, 0, 1.0);
  EXPECT_EQ(d->GetPixelRGB(0, 0), (TRGB{110, 120, 130}));

  // Other source formats change nothing.
  auto grey = Random(1, 1, px8g);
  d->MergeWithAlpha(grey.get(), 0, 0, -1, -1, 255, rfNone, 0, false, 0, 0, 1.0);
  EXPECT_EQ(d->GetPixelRGB(0, 0), (TRGB{110, 120, 130}));
}

TEST(BitmapTransform, MergeResamplesAndClipsBothPictures) {
  auto s = Random(2, 2, px24RGB, 31);
  auto d = Canvas(6, 6);
  d->MergeWithAlpha(s.get(), 1, 1, 4, 4, 255, rfNone, 0, true, 0, 0, 1.0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(d->GetPixelRGB(1 + x, 1 + y), s->GetPixelRGB(x / 2, y / 2));

  // A negative destination start moves the source start; source and destination both cut.
  auto big = Random(5, 5, px24RGB, 32);
  d = Canvas(6, 6);
  d->MergeWithAlpha(big.get(), -2, -1, 50, 50, 255, rfNone, 0, false, 0, 0, 1.0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      if (x < 3 && y < 4) EXPECT_EQ(d->GetPixelRGB(x, y), big->GetPixelRGB(x + 2, y + 1));
      else EXPECT_EQ(d->GetPixelRGB(x, y), (TRGB{1, 2, 3}));
    }
  // Source rectangles past the source, and beyond the destination, touch nothing outside.
  d = Canvas(6, 6);
  d->MergeWithAlpha(big.get(), 4, 3, 10, 10, 255, rfNone, 0, false, 3, -2, 1.0);
  EXPECT_EQ(d->GetPixelRGB(4, 5), big->GetPixelRGB(3, 0));
  EXPECT_EQ(d->GetPixelRGB(4, 4), (TRGB{1, 2, 3}));
  d->MergeWithAlpha(big.get(), 0, 0, 3, 3, 255, rfNone, 0, false, 40, 40, 1.0);
  d->MergeWithAlpha(big.get(), 40, 0, 3, 3, 255, rfNone, 0, false, 0, 0, 1.0);
  d->MergeWithAlpha(big.get(), 0, 0, 0, 3, 255, rfNone, 0, false, 0, 0, 1.0);
  // Merging a picture into itself reads the original pixels.
  auto self = Random(4, 1, px24RGB, 33);
  auto orig = TPXBitmap::CreateCopy(self.get());
  self->MergeWithAlpha(self.get(), 1, 0, -1, -1, 255, rfNone, 0, false, 0, 0, 1.0);
  for (int x = 1; x < 4; ++x) EXPECT_EQ(self->GetPixelRGB(x, 0), orig->GetPixelRGB(x - 1, 0));
}

}  // namespace
