// sRGB <-> CIE L*a*b*.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/pxcolorspace.h"

namespace {

TCIELab Lab(int l, int a, int b) { return TCIELab{uint8_t(l), int8_t(a), int8_t(b)}; }
TRGB Rgb(int r, int g, int b) { return TRGB{uint8_t(b), uint8_t(g), uint8_t(r)}; }

TEST(ColourSpaceTest, RGBToCIELabMatchesPublishedValues) {
  // D65 L*a*b* of the sRGB primaries and greys, as l = trunc(2.55 L*), a = trunc(a*), b = trunc(b*).
  struct Case {
    TRGB rgb;
    TCIELab lab;
  } cases[] = {
      {Rgb(0, 0, 0), Lab(0, 0, 0)},
      {Rgb(255, 0, 0), Lab(135, 80, 67)},      // 53.24, 80.09, 67.20
      {Rgb(0, 255, 0), Lab(223, -86, 83)},     // 87.73, -86.18, 83.18
      {Rgb(0, 0, 255), Lab(82, 79, -107)},     // 32.30, 79.19, -107.86
      {Rgb(255, 255, 0), Lab(247, -21, 94)},   // 97.14, -21.55, 94.48
      {Rgb(128, 128, 128), Lab(136, 0, 0)},    // 53.59
  };
  for (const auto& c : cases) {
    const TCIELab got = RGBToCIELab(c.rgb);
    EXPECT_EQ(got, c.lab) << int(got.l) << " " << int(got.a) << " " << int(got.b);
    const int32_t packed = c.rgb.b | (c.rgb.g << 8) | (c.rgb.r << 16) | int32_t(0x7F000000);
    EXPECT_EQ(RGBToCIELab(packed), c.lab) << "top byte ignored";
  }
  const TCIELab white = RGBToCIELab(Rgb(255, 255, 255));
  EXPECT_GE(white.l, 254);
  EXPECT_EQ(white.a, 0);
  EXPECT_EQ(white.b, 0);
  EXPECT_EQ(CIELabToRGB(Lab(255, 0, 0)), Rgb(255, 255, 255));
  EXPECT_EQ(CIELabToRGB(Lab(0, 0, 0)), Rgb(0, 0, 0));
  // Out-of-gamut Lab values clamp instead of wrapping (unclamped: 355, 139, 511 and -170, 79, -238).
  EXPECT_EQ(CIELabToRGB(Lab(255, 127, -128)), Rgb(255, 139, 255));
  EXPECT_EQ(CIELabToRGB(Lab(60, -128, 127)), Rgb(0, 79, 0));
}

TEST(ColourSpaceTest, RoundTrips) {
  // Greys keep their value (1 is below the first L* step).
  for (int v = 2; v < 256; ++v) {
    const TRGB back = CIELabToRGB(RGBToCIELab(Rgb(v, v, v)));
    EXPECT_LE(std::max({std::abs(back.r - v), std::abs(back.g - v), std::abs(back.b - v)}), 1) << v;
  }
  // Mid-tones lose a few levels to the truncated Lab bytes (the steep start of the sRGB curve
  // magnifies that towards 0, where 15 may come back as 41).
  int worst = 0;
  for (int r = 64; r <= 192; r += 8)
    for (int g = 64; g <= 192; g += 8)
      for (int b = 64; b <= 192; b += 8) {
        const TRGB back = CIELabToRGB(RGBToCIELab(Rgb(r, g, b)));
        worst = std::max({worst, std::abs(back.r - r), std::abs(back.g - g), std::abs(back.b - b)});
      }
  EXPECT_LE(worst, 8);
  // Lab -> RGB -> Lab for colours inside the sRGB gamut.
  for (int r = 0; r < 256; r += 51)
    for (int g = 0; g < 256; g += 51)
      for (int b = 0; b < 256; b += 51) {
        const TCIELab lab = RGBToCIELab(Rgb(r, g, b));
        const TCIELab again = RGBToCIELab(CIELabToRGB(lab));
        EXPECT_LE(std::abs(again.l - lab.l), 2) << r << " " << g << " " << b;
        EXPECT_LE(std::abs(again.a - lab.a), 2) << r << " " << g << " " << b;
        EXPECT_LE(std::abs(again.b - lab.b), 2) << r << " " << g << " " << b;
      }
}

}  // namespace
