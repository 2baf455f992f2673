// The road a loaded picture takes to a flattened save: every format the PNG reader delivers,
// with and without alpha, in memory and file storage, copied, brought to px24RGB, faded through
// its alpha channel and flattened over a background; every pixel checked.
#include <gtest/gtest.h>

#include <cstring>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"

namespace {

constexpr int32_t W = 5, H = 3;

uint8_t Sample(int32_t x, int32_t y) { return static_cast<uint8_t>(x * 50 + y * 17 + 3); }
uint8_t AlphaAt(int32_t x, int32_t y) { return static_cast<uint8_t>(255 - x * 40 - y * 9); }

// The source picture in Format, and the colour each pixel has in 24 bits.
std::unique_ptr<TPXBitmap> Source(TPXPixelFormat Format, bool Alpha) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(W, H, Format));
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(b->GetScanline(y));
    std::memset(row, 0, static_cast<size_t>(b->GetRowLen()));
    for (int32_t x = 0; x < W; ++x) {
      const uint8_t v = Sample(x, y);
      switch (Format) {
        case px1g: SetPixelBit(row, x, (x + y) & 1); break;
        case px8p:
        case px8g: row[x] = v; break;
        case px16g: reinterpret_cast<uint16_t*>(row)[x] = static_cast<uint16_t>(v * 256 + 0x7F); break;
        default: row[3 * x] = v, row[3 * x + 1] = static_cast<uint8_t>(v + 1), row[3 * x + 2] = static_cast<uint8_t>(v + 2);
      }
    }
  }
  if (Format == px8p)
    for (int i = 0; i < 256; ++i)
      b->FPalette[i] = TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)};
  if (Alpha)
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) static_cast<uint8_t*>(b->GetAlphaChannel()->GetScanline(y))[x] = AlphaAt(x, y);
  return b;
}

TRGB Expected(TPXPixelFormat Format, int32_t x, int32_t y) {
  const uint8_t v = Sample(x, y);
  switch (Format) {
    case px1g: return (x + y) & 1 ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
    case px8p: return TRGB{v, static_cast<uint8_t>(255 - v), static_cast<uint8_t>(v / 2)};
    case px8g:
    case px16g: return TRGB{v, v, v};
    default: return TRGB{v, static_cast<uint8_t>(v + 1), static_cast<uint8_t>(v + 2)};
  }
}

class MainRoad : public ::testing::TestWithParam<std::tuple<TPXPixelFormat, bool, bool>> {
 protected:
  void SetUp() override {
    FreeGlobalSettings();
    GlobalSettingsInstance()->FTempDirectory = tmp_.Path();
    if (std::get<2>(GetParam())) GlobalSettingsInstance()->FBitmapMemoryLimit = 0;
  }
  void TearDown() override { FreeGlobalSettings(); }
  TestTempDir tmp_;
};

TEST_P(MainRoad, CopyConvertFadeFlatten) {
  const auto [format, alpha, file] = GetParam();
  auto src = Source(format, alpha);
  auto untouched = TPXBitmap::CreateCopy(src.get());
  ASSERT_EQ(src->Location(), file ? pxFile : pxMemory);

  TPXBitmap pic;
  pic.AssignFrom(src.get(), true);
  EXPECT_EQ(pic.HasAlphaChannel(), alpha);
  ASSERT_TRUE(pic.EnsurePixelFormat({px24RGB}, true));
  ASSERT_EQ(pic.GetPixelFormat(), px24RGB);
  EXPECT_EQ(pic.HasAlphaChannel(), alpha);

  // Fade the alpha row by row, as the reflection does.
  TPXBitmap* a = pic.GetAlphaChannel();
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const int32_t base = alpha ? AlphaAt(x, y) : 255;
      a->SetPixel8(x, y, static_cast<uint8_t>(base * (H - y) / H));
    }
  EXPECT_EQ(a->FFull, 0);

  TPXBitmap background;
  ASSERT_TRUE(background.Allocate(W, H, px24RGB));
  background.Fill(clBtnFace);
  const TRGB bg = background.GetPixelRGB(W - 1, H - 1);
  EXPECT_EQ(bg, (TRGB{200, 208, 212}));

  pic.RemoveAlphaChannel(true, clBtnFace);
  EXPECT_FALSE(pic.HasAlphaChannel());
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const int32_t A = (alpha ? AlphaAt(x, y) : 255) * (H - y) / H;
      const TRGB c = Expected(format, x, y);
      auto mix = [A](int32_t v, int32_t b) { return static_cast<uint8_t>(b + (((v - b) * A * 1024) >> 18)); };
      const TRGB want{mix(c.b, bg.b), mix(c.g, bg.g), mix(c.r, bg.r)};
      ASSERT_EQ(pic.GetPixelRGB(x, y), want) << x << "," << y;
    }

  // The source is as it was.
  for (int32_t y = 0; y < H; ++y)
    ASSERT_EQ(std::memcmp(src->GetScanline(y), untouched->GetScanline(y), static_cast<size_t>(src->GetRowLen())), 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, MainRoad,
                         ::testing::Combine(::testing::Values(px1g, px8p, px8g, px16g, px24RGB), ::testing::Bool(),
                                            ::testing::Bool()));

}  // namespace
