// The wave worker: its mapping, alpha first, edge samples of thin pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_wave.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

TEST(WaveDistort, CentreTakesTheDiagonalSampleAndAlphaGoesFirst) {
  auto b = RsRandom(31, 31, px24RGB, 1);
  b->GetAlphaChannel();
  std::mt19937 rng(2);
  for (int y = 0; y < 31; ++y)
    for (int x = 0; x < 31; ++x) b->SetAlpha(x, y, static_cast<uint8_t>(rng()));
  auto before = TPXBitmap::CreateCopy(b.get());
  TPXProgressRecord p;
  std::vector<int> per;
  p.Event = TPXProgressEvent([&](TObject*, int32_t v) { per.push_back(v); });
  WaveDistortBitmap(b.get(), 10, 30, 90, false, p);
  EXPECT_EQ(b->GetPixelRGB(15, 15), before->GetPixelRGB(25, 25));
  EXPECT_EQ(b->GetAlpha(15, 15), before->GetAlpha(25, 25));
  ASSERT_EQ(per.size(), 62u);
  EXPECT_EQ(per.front(), 0);
  EXPECT_EQ(per[30], 96);
  EXPECT_EQ(per[31], 0);
  EXPECT_EQ(per.back(), 96);
  // Mirrored pixels move symmetrically: (x, y) and (30 - x, 30 - y) sample mirrored places,
  // and each matches an independent evaluation of the mapping.
  for (int y : {0, 7, 22}) {
    for (int x : {3, 15, 27}) {
      const double dx = x - 15.0, dy = y - 15.0;
      const double d = 10 * std::sin(std::sqrt(dx * dx + dy * dy) / 60 * 2 * M_PI + M_PI / 2);
      const double u = d + dx + 15, v = d + dy + 15;
      const int i = std::clamp(static_cast<int>(std::trunc(u)), 0, 29), j = std::clamp(static_cast<int>(std::trunc(v)), 0, 29);
      const double fx = u - std::floor(u), fy = v - std::floor(v);
      auto at = [&](int cx, int cy) { return before->GetAlpha(cx, cy); };
      const int want = static_cast<int>((1 - fy) * ((1 - fx) * at(i, j) + fx * at(i + 1, j)) +
                                        fy * ((1 - fx) * at(i, j + 1) + fx * at(i + 1, j + 1)));
      EXPECT_EQ(b->GetAlpha(x, y), want) << x << "," << y;
    }
  }
}

TEST(WaveDistort, NothingForZeroAmplitudeOrWaveLengthOrOneBit) {
  auto b = RsRandom(9, 5, px8g, 3);
  auto before = TPXBitmap::CreateCopy(b.get());
  TPXProgressRecord p;
  WaveDistortBitmap(b.get(), 0, 30, 0, false, p);
  WaveDistortBitmap(b.get(), 5, 0, 0, false, p);
  EXPECT_EQ(std::memcmp(b->Scanline(2), before->Scanline(2), 9), 0);
  auto m = RsRandom(9, 5, px1g, 4);
  auto mb = TPXBitmap::CreateCopy(m.get());
  WaveDistortBitmap(m.get(), 5, 10, 0, false, p);
  EXPECT_EQ(std::memcmp(m->Scanline(1), mb->Scanline(1), 2), 0);
}

TEST(WaveDistort, ThinPicturesRepeatTheirEdge) {
  // A uniform column stays uniform: the missing neighbours repeat the edge instead of darkening.
  for (auto [w, h] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{1, 1}}) {
    auto b = std::make_unique<TPXBitmap>();
    b->Allocate(w, h, px8g);
    b->Fill(200);
    TPXProgressRecord p;
    WaveDistortBitmap(b.get(), 3, 4, 30, false, p);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) ASSERT_EQ(b->GetPixel8(x, y), 200) << w << "x" << h;
  }
}

TEST(WaveDistort, ReflectiveScalesTheOffset) {
  // Amplitude 1 reflective at phase 90: |sin| is 1 at the centre, so the centre stays; every
  // byte of a 32-bit pixel is treated alike.
  auto b = RsRandom(5, 5, px32RGB, 5);
  auto before = TPXBitmap::CreateCopy(b.get());
  TPXProgressRecord p;
  WaveDistortBitmap(b.get(), 1, 1000, 90, true, p);
  EXPECT_EQ(std::memcmp(b->Scanline(2) + 8, before->Scanline(2) + 8, 4), 0);
}

}  // namespace
