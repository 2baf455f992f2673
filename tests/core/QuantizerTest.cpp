// The colour quantizer: exact palettes, the grey ramp, the box split and NeuQuant.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <set>
#include <vector>

#include "core/neurquant.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"

namespace {

const TRGB kSentinel{1, 2, 3};

class QuantizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedMethod_ = GlobalSettingsInstance()->FQuantizerMethod;
    savedSampling_ = GlobalSettingsInstance()->FQuantizerSampling;
    palette_.fill(kSentinel);
  }
  void TearDown() override {
    GlobalSettingsInstance()->FQuantizerMethod = savedMethod_;
    GlobalSettingsInstance()->FQuantizerSampling = savedSampling_;
  }

  // A px24RGB bitmap, one row per `width` colours of the list, in order.
  // The colours row by row; the pixels after them in the last row repeat the last colour (a new
  // bitmap's pixels are undefined).
  static std::unique_ptr<TPXBitmap> Picture(const std::vector<TRGB>& colors, int32_t width) {
    const int32_t height = static_cast<int32_t>((colors.size() + width - 1) / width);
    auto bmp = TPXBitmap::CreateAllocated(width, height, px24RGB);
    for (size_t i = 0; i < size_t(width) * height; ++i)
      static_cast<TRGB*>(bmp->GetScanline(static_cast<int32_t>(i / width)))[i % width] =
          colors[std::min(i, colors.size() - 1)];
    return bmp;
  }

  // Mean absolute channel error of mapping each colour to its palette entry.
  double MeanError(const TPXQuantizer& q, const std::vector<TRGB>& colors) const {
    double sum = 0;
    for (const TRGB& c : colors) {
      const int32_t i = q.RGBToIndex(c);
      EXPECT_GE(i, 0);
      EXPECT_LT(i, q.Requested());
      const TRGB& p = palette_[i];
      sum += std::abs(c.r - p.r) + std::abs(c.g - p.g) + std::abs(c.b - p.b);
    }
    return sum / (3.0 * colors.size());
  }

  std::array<TRGB, 256> palette_;
  int32_t savedMethod_ = -1, savedSampling_ = -1;
};

// 200 distinct colours of a smooth gradient, shuffled by a fixed stride.
std::vector<TRGB> GradientColors() {
  std::vector<TRGB> c;
  for (int i = 0; i < 200; ++i) {
    const int j = (i * 37) % 200;
    c.push_back(TRGB{static_cast<uint8_t>(j), static_cast<uint8_t>(255 - j), static_cast<uint8_t>((j * 3) % 256)});
  }
  return c;
}

TEST_F(QuantizerTest, FewColoursGiveTheExactPaletteInOrderOfFirstAppearance) {
  const std::vector<TRGB> colors = GradientColors();
  // Each colour twice, the second half repeating the first backwards.
  std::vector<TRGB> pixels = colors;
  pixels.insert(pixels.end(), colors.rbegin(), colors.rend());
  auto bmp = Picture(pixels, 25);
  TPXQuantizer q(bmp.get(), palette_.data(), 255, 256);
  EXPECT_FALSE(q.Quantized());
  EXPECT_EQ(q.Count(), 200);
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(palette_[i], colors[i]) << i;
    EXPECT_EQ(q.RGBToIndex(colors[i]), i);
  }
  EXPECT_EQ(palette_[200], kSentinel);
}

TEST_F(QuantizerTest, ManyColoursRunTheQuantizerTheSettingsChoose) {
  struct Case {
    int32_t n, setting, method;
    double maxError;  // mean channel error of the mapping
  } cases[] = {
      {16, -1, 1, 12}, {128, -1, 0, 4}, {16, 0, 0, 12}, {128, 1, 1, 4}, {16, 7, 0, 12}, {150, -1, 0, 3},
  };
  const std::vector<TRGB> colors = GradientColors();
  auto bmp = Picture(colors, 20);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "N " << c.n << " setting " << c.setting);
    GlobalSettingsInstance()->FQuantizerMethod = c.setting;
    palette_.fill(kSentinel);
    TPXQuantizer q(bmp.get(), palette_.data(), 255, c.n);
    EXPECT_TRUE(q.Quantized());
    EXPECT_EQ(q.Method(), c.method);
    EXPECT_EQ(q.Count(), c.n);
    EXPECT_LT(MeanError(q, colors), c.maxError);
    if (c.method == 0) {
      // NeuQuant fills all N entries; each entry maps to an equal one.
      for (int i = 0; i < c.n; ++i) EXPECT_EQ(palette_[q.RGBToIndex(palette_[i])], palette_[i]) << i;
    }
  }
}

TEST_F(QuantizerTest, BoxSplitMakesOneBoxPerOccupiedCell) {
  GlobalSettingsInstance()->FQuantizerMethod = 1;
  // 10 cells of the 5-bit cube, 30 distinct colours in each.
  const std::array<std::array<int, 3>, 10> cells = {{{0, 0, 0}, {31, 31, 31}, {4, 20, 9}, {4, 21, 9}, {16, 2, 30},
                                                     {30, 2, 16}, {8, 8, 8}, {9, 8, 8}, {25, 12, 3}, {1, 30, 14}}};
  std::vector<TRGB> colors;
  for (const auto& cell : cells)
    for (int i = 0; i < 30; ++i)
      colors.push_back(TRGB{static_cast<uint8_t>(cell[2] * 8 + i % 8), static_cast<uint8_t>(cell[1] * 8 + (i / 8) % 8),
                            static_cast<uint8_t>(cell[0] * 8 + i % 5)});
  auto bmp = Picture(colors, 30);
  TPXQuantizer q(bmp.get(), palette_.data(), 255, 16);
  ASSERT_TRUE(q.Quantized());
  std::set<std::array<int, 3>> made;
  for (int i = 0; i < 10; ++i) made.insert({palette_[i].r / 8, palette_[i].g / 8, palette_[i].b / 8});
  const std::set<std::array<int, 3>> wanted(cells.begin(), cells.end());
  EXPECT_EQ(made, wanted);
  for (int i = 10; i < 16; ++i) EXPECT_EQ(palette_[i], kSentinel) << i;
  for (const TRGB& c : colors) {
    const TRGB& p = palette_[q.RGBToIndex(c)];
    EXPECT_EQ((TRGB{static_cast<uint8_t>(c.b & ~7), static_cast<uint8_t>(c.g & ~7), static_cast<uint8_t>(c.r & ~7)}), p);
  }
}

TEST_F(QuantizerTest, SamplingFactor) {
  struct Case {
    int32_t sampling;
    int64_t pixels;
    int32_t factor;
  } cases[] = {
      {-1, 1000 * 1000, 30}, {-1, 1999, 1}, {-1, 2000, 2}, {-1, 150000, 15}, {100, 1000 * 1000, 1},
      {0, 100, 30},          {50, 10, 15},  {150, 10, 1},  {-5, 10, 30},
  };
  for (const Case& c : cases) {
    GlobalSettingsInstance()->FQuantizerSampling = c.sampling;
    EXPECT_EQ(TPXQuantizer::SampleFactor(c.pixels), c.factor) << c.sampling << " " << c.pixels;
  }
}

TEST_F(QuantizerTest, GreyPicturesGetARampFromBlackToWhite) {
  std::vector<TRGB> greys;
  for (int v = 0; v < 256; v += 3) greys.push_back(TRGB{uint8_t(v), uint8_t(v), uint8_t(v)});
  auto bmp = Picture(greys, 16);
  TPXQuantizer q(bmp.get(), palette_.data(), 15, 16);
  EXPECT_TRUE(q.Grey());
  EXPECT_FALSE(q.Quantized());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(palette_[i], (TRGB{uint8_t(17 * i), uint8_t(17 * i), uint8_t(17 * i)})) << i;
  struct Case {
    uint8_t v;
    int32_t index;
  } cases[] = {{0, 0}, {8, 0}, {9, 1}, {128, 8}, {246, 14}, {247, 15}, {255, 15}};
  for (const Case& c : cases) EXPECT_EQ(q.RGBToIndex(TRGB{c.v, c.v, c.v}), c.index) << int(c.v);

  auto g8 = TPXBitmap::CreateAllocated(4, 4, px8g);
  TPXQuantizer full(g8.get(), palette_.data(), 255, 256);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(palette_[i].r, i);
    ASSERT_EQ(full.RGBToIndex(palette_[i]), i);
  }
  TPXQuantizer one(g8.get(), palette_.data(), 255, 1);
  EXPECT_EQ(palette_[0], (TRGB{0, 0, 0}));
  EXPECT_EQ(one.RGBToIndex(TRGB{255, 255, 255}), 0);
}

TEST_F(QuantizerTest, PalettePicturesKeepTheirPaletteAndLookUpByIt) {
  auto bmp = TPXBitmap::CreateAllocated(4, 4, px8p);
  TRGB* own = bmp->GetPalette();
  ASSERT_NE(own, nullptr);
  // A grey palette that is no ramp: lookups must follow the palette, not the grey value.
  for (int i = 0; i < 256; ++i) own[i] = TRGB{0, 0, 0};
  own[0] = TRGB{255, 255, 255};
  own[1] = TRGB{128, 128, 128};
  TPXQuantizer q(bmp.get(), palette_.data(), 255, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(palette_[i], own[i]);
  EXPECT_EQ(palette_[16], kSentinel);
  EXPECT_EQ(q.RGBToIndex(TRGB{255, 255, 255}), 0);
  EXPECT_EQ(q.RGBToIndex(TRGB{128, 128, 128}), 1);
  EXPECT_EQ(q.RGBToIndex(TRGB{0, 0, 0}), 2);
}

TEST_F(QuantizerTest, OutOfRangeCountsAndEmptyPictures) {
  const std::vector<TRGB> colors = GradientColors();
  auto bmp = Picture(colors, 20);
  TPXQuantizer big(bmp.get(), palette_.data(), 255, 1000);
  EXPECT_EQ(big.Requested(), 256);
  EXPECT_EQ(big.Count(), 200);
  TPXQuantizer none(bmp.get(), palette_.data(), 255, 0);
  EXPECT_EQ(none.Count(), 0);
  EXPECT_EQ(none.RGBToIndex(colors[5]), 0);
  EXPECT_EQ(palette_[0], colors[0]);  // untouched since the 1000 call

  TPXBitmap empty;
  TPXQuantizer e(&empty, palette_.data(), 255, 16);
  EXPECT_EQ(e.RGBToIndex(colors[0]), 0);
}

}  // namespace
