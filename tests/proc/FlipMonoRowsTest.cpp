// The 1-bit left-right mirror against a bit-by-bit model, over widths that take every part of the
// row reversal: both-ends blocks, words, single bytes and the final shift.
#include <gtest/gtest.h>

#include <random>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_geometry.h"

TEST(FlipMonoRows, EveryWidthMirrorsBitByBit) {
  std::mt19937 rng(7);
  for (int w = 1; w <= 700; w += (w < 80 ? 1 : 13)) {
    SCOPED_TRACE(w);
    TPXBitmap b;
    ASSERT_TRUE(b.Allocate(w, 2, px1g));
    for (int y = 0; y < 2; ++y)
      for (int64_t i = 0; i < b.RowLen(); ++i) b.Scanline(y)[i] = static_cast<uint8_t>(rng());
    auto before = TPXBitmap::CreateCopy(&b);
    FlipBitmap(&b, pxfdHorizontal);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(GetPixelBit(b.Scanline(y), x) != 0, GetPixelBit(before->Scanline(y), w - 1 - x) != 0) << x;
  }
}
