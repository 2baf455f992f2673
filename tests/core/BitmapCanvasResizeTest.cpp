// TPXBitmap::ResizeCanvas against a plain model: every pixel of the new canvas is either the old
// pixel at its placed position or the fill, in every pixel format, for memory and file storage,
// with the alpha channel, palette and opacity flag following.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "core/pxxBitmaps.h"

namespace {

// The bytes (or the bit) of pixel (x, y).
std::vector<uint8_t> PixelAt(TPXBitmap* b, int x, int y) {
  const uint8_t* row = b->Scanline(y);
  if (b->PixelFormat() == px1g) return {static_cast<uint8_t>(GetPixelBit(row, x) ? 1 : 0)};
  const int n = b->BitCount() / 8;
  return std::vector<uint8_t>(row + x * n, row + (x + 1) * n);
}

TEST(BitmapCanvasResize, ContentLandsAtItsPlaceAndOnlyTheNewAreaIsFilled) {
  struct Size {
    int W, H;
  } sizes[] = {{17, 9}, {30, 9}, {8, 20}, {30, 4}, {5, 5}, {17, 30}};
  const TPXPixelFormat formats[] = {px1g, px8g, px8p, px24RGB, pxRGB48, px16g};
  int seed = 0;
  for (TPXBitmapLocation location : {pxMemory, pxFile})
    for (TPXPixelFormat f : formats) {
      // File storage takes the same path; two formats show it.
      if (location == pxFile && f != px1g && f != px24RGB) continue;
      for (const Size& s : sizes)
        for (int hp = 0; hp < 3; ++hp)
          for (int vp = 0; vp < 3; ++vp) {
            SCOPED_TRACE(testing::Message() << "format " << int(f) << " to " << s.W << "x" << s.H << " positions "
                                            << hp << "," << vp << " location " << int(location));
            TPXBitmap b;
            b.FLocation = location;
            if (location == pxFile) b.FMemoryLimit = 0;
            ASSERT_TRUE(b.Allocate(17, 9, f));
            std::mt19937 rng(++seed);
            for (int y = 0; y < 9; ++y)
              for (int64_t i = 0; i < b.RowLen(); ++i) b.Scanline(y)[i] = static_cast<uint8_t>(rng());
            if (f == px8p) b.SetPaletteColor(200, TRGB{1, 2, 3});
            const bool withAlpha = (seed & 1) != 0;
            if (withAlpha) b.GetAlphaChannel();  // opaque
            auto old = TPXBitmap::CreateCopy(&b);
            const double fill = f == px24RGB ? 0x00332211 : 1;

            b.ResizeCanvas(s.W, s.H, fill, 0, hp, vp);
            ASSERT_EQ(b.Width(), s.W);
            ASSERT_EQ(b.Height(), s.H);
            EXPECT_EQ(b.PixelFormat(), f);
            auto fillPx = TPXBitmap::CreateAllocated(1, 1, f);
            fillPx->Fill(fill);
            auto offset = [](int oldSize, int newSize, int pos) {
              const int d = pos == 1 ? (newSize - oldSize) / 2 : pos == 2 ? newSize - oldSize : 0;
              return d;  // new position = old position + d
            };
            const int ox = offset(17, s.W, hp), oy = offset(9, s.H, vp);
            for (int y = 0; y < s.H; ++y)
              for (int x = 0; x < s.W; ++x) {
                const int sx = x - ox, sy = y - oy;
                const bool kept = sx >= 0 && sx < 17 && sy >= 0 && sy < 9;
                if (kept) {
                  ASSERT_EQ(PixelAt(&b, x, y), PixelAt(old.get(), sx, sy)) << x << "," << y;
                } else {
                  ASSERT_EQ(PixelAt(&b, x, y), PixelAt(fillPx.get(), 0, 0)) << x << "," << y;
                }
                if (withAlpha) {
                  ASSERT_EQ(b.GetAlpha(x, y), kept ? 255 : 0) << x << "," << y;
                }
              }
            if (withAlpha) {
              EXPECT_EQ(b.AlphaChannel()->Width(), s.W);
              EXPECT_EQ(b.AlphaChannel()->FFull != 0, s.W <= 17 && s.H <= 9);
            }
            if (f == px8p) {
              EXPECT_EQ(b.GetPalette()[200], (TRGB{1, 2, 3}));
            }
          }
    }
}

TEST(BitmapCanvasResize, ChangeEventFiresOnceAndAnOpaqueGrowthStaysOpaque) {
  TPXBitmap b;
  b.Allocate(4, 4, px24RGB);
  b.GetAlphaChannel();
  int changes = 0;
  b.SetOnChange(TNotifyEvent([&](TObject* Sender) {
    EXPECT_EQ(Sender, &b);
    ++changes;
  }));
  b.ResizeCanvas(9, 6, 0, 255, 1, 1);
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(b.AlphaChannel()->FFull);
  EXPECT_EQ(b.GetAlpha(0, 0), 255);
}

}  // namespace
