// YCbCr, HSL, integer HSV and the small colour utilities.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "core/hypxutils.h"

namespace {

TRGB Rgb(int r, int g, int b) { return TRGB{uint8_t(b), uint8_t(g), uint8_t(r)}; }
uint32_t Packed(int r, int g, int b) { return uint32_t(b) | (uint32_t(g) << 8) | (uint32_t(r) << 16); }

TEST(ColourSpacesTest, IntegerHSV) {
  int32_t h, s, v;
  RGBToHSV(h, s, v, Packed(255, 0, 0) | 0xAB000000u);
  EXPECT_EQ((std::array{h, s, v}), (std::array{0, 99, 99}));
  RGBToHSV(h, s, v, Packed(0, 0, 255));
  EXPECT_EQ((std::array{h, s, v}), (std::array{240, 99, 99}));
  RGBToHSV(h, s, v, Packed(128, 128, 128));
  EXPECT_EQ((std::array{h, s, v}), (std::array{0, 0, 50}));

  struct Case {
    int h, s, v;
    TRGB want;
  } cases[] = {
      {0, 99, 99, Rgb(255, 0, 0)},  {360, 99, 99, Rgb(255, 0, 0)}, {720, 99, 99, Rgb(255, 0, 0)},
      {-30, 99, 99, Rgb(255, 0, 129)}, {330, 150, 99, Rgb(255, 0, 129)}, {120, 99, 200, Rgb(0, 255, 0)},
      {77, 0, 50, Rgb(129, 129, 129)}, {200, 99, 0, Rgb(0, 0, 0)},
  };
  for (const Case& c : cases) {
    TRGB got;
    HSVToRGB(got, c.h, c.s, c.v);
    EXPECT_EQ(got, c.want) << c.h << " " << c.s << " " << c.v;
  }
}

TEST(ColourSpacesTest, HSLRoundTripsEveryByteColourOfAGrid) {
  double h, s, l;
  RGBToHSL(h, s, l, Packed(128, 128, 128));
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 0);
  EXPECT_NEAR(l, 0.50196, 1e-5);
  RGBToHSL(h, s, l, Packed(0, 0, 255));
  EXPECT_DOUBLE_EQ(h, 2.0 / 3.0);
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 5) {
        RGBToHSL(h, s, l, Packed(r, g, b));
        TRGB back;
        HSLToRGB(back, h, s, l);
        ASSERT_EQ(back, Rgb(r, g, b)) << r << " " << g << " " << b;
      }
  TRGB c;
  HSLToRGB(c, 7.0 / 3.0, 2.0, 0.5);  // any hue wraps, saturation is clamped
  EXPECT_EQ(c, Rgb(0, 255, 0));
}

TEST(ColourSpacesTest, YCbCrForms) {
  int32_t y, cb, cr;
  RGBToYCbCr(Packed(0, 0, 0), y, cb, cr);
  EXPECT_EQ((std::array{y, cb, cr}), (std::array{0, 128, 128}));
  RGBToYCbCr(Packed(200, 100, 50), y, cb, cr);
  EXPECT_EQ((std::array{y, cb, cr}), (std::array{124, 86, 182}));
  TRGB rgb;
  YCbCrToRGB(rgb, y, cb, cr);
  EXPECT_NEAR(rgb.r, 200, 2);
  EXPECT_NEAR(rgb.g, 100, 2);
  EXPECT_NEAR(rgb.b, 50, 2);
  YCbCrToRGB(rgb, 255, 0, 255);
  EXPECT_EQ(rgb, Rgb(255, 208, 28)) << "each channel clamped";

  uint8_t bgr[3];
  YCbCrToRGB601(16, 128, 128, bgr);
  EXPECT_EQ((std::array{bgr[0], bgr[1], bgr[2]}), (std::array<uint8_t, 3>{0, 0, 0}));
  YCbCrToRGB601(235, 128, 128, bgr);
  EXPECT_EQ((std::array{bgr[0], bgr[1], bgr[2]}), (std::array<uint8_t, 3>{255, 255, 255}));
  YCbCrToRGB601(81, 90, 240, bgr);  // studio-range red
  EXPECT_EQ((std::array{bgr[0], bgr[1], bgr[2]}), (std::array<uint8_t, 3>{0, 0, 254}));
}

TEST(ColourSpacesTest, SmallColourUtilities) {
  EXPECT_EQ(ColorToHexText(RGB(1, 171, 255)), "#01ABFF");
  const TRGB pal[] = {Rgb(0, 0, 0), Rgb(100, 100, 100), Rgb(100, 100, 100), Rgb(255, 255, 255)};
  EXPECT_EQ(NearestPaletteIndex(pal, 4, Packed(110, 90, 100)), 1) << "the first of equal entries";
  EXPECT_EQ(NearestPaletteIndex(pal, 4, Packed(250, 250, 250)), 3);
  EXPECT_EQ(NearestPaletteIndex(pal, 0, Packed(250, 250, 250)), 0);
  EXPECT_TRUE(ColorsWithinTolerance(5, Packed(10, 20, 30), Packed(15, 15, 35) | 0xFF000000u));
  EXPECT_FALSE(ColorsWithinTolerance(5, Packed(10, 20, 30), Packed(10, 20, 36)));
  EXPECT_EQ(UnitToByte(0.5), 128);  // 127.5 rounds to even
  EXPECT_EQ(UnitToByte(1.7), 255);
  EXPECT_EQ(UnitToByte(-0.2), 0);
  EXPECT_EQ(UnitToByte(std::nan("")), 0);
}

}  // namespace
