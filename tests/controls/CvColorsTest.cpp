// Colour arithmetic and the scheme colours, with Python's colorsys as the independent oracle of
// the hue, saturation and luminance conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "controls/CvCommon.h"
#include "tests/common/TestSupport.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

struct Hsl {
  int H, S, L;
  friend bool operator==(const Hsl&, const Hsl&) = default;
};

Hsl HslOf(TColor c) {
  uint8_t h, s, l;
  ColorToHueSatLum(c, h, s, l);
  return {h, s, l};
}

std::ostream& operator<<(std::ostream& os, const Hsl& v) { return os << "(" << v.H << "," << v.S << "," << v.L << ")"; }

TEST(CvColors, ColorToHueSatLum) {
  const struct {
    TColorRef Color;
    Hsl Expected;
  } cases[] = {
      {Rgb(0, 0, 0), {0, 0, 0}},         {Rgb(255, 255, 255), {0, 0, 240}}, {Rgb(255, 0, 0), {0, 240, 120}},
      {Rgb(0, 0, 128), {160, 240, 60}},  {Rgb(127, 127, 127), {0, 0, 120}}, {Rgb(128, 128, 128), {0, 0, 120}},
      {Rgb(100, 50, 50), {0, 80, 71}},   {Rgb(250, 200, 200), {0, 200, 212}},
      {Rgb(0, 9, 240), {158, 240, 113}},  // hue 158.5 exactly: the even neighbour
      {Rgb(255, 0, 1), {240, 240, 120}},  // a hue close to a whole turn rounds to 240
  };
  for (const auto& c : cases) EXPECT_EQ(HslOf(static_cast<TColor>(c.Color)), c.Expected) << std::hex << c.Color;
  // System colours are resolved first.
  EXPECT_EQ(HslOf(clBtnFace), HslOf(static_cast<TColor>(Rgb(212, 208, 200))));
  EXPECT_EQ(HueOfColor(clNavy), 160);
}

TEST(CvColors, HueSatLumToColor) {
  const struct {
    int H, S, L;
    TColorRef Expected;
  } cases[] = {
      {0, 240, 120, Rgb(255, 0, 0)},   {239, 240, 120, Rgb(255, 0, 0)},   {240, 240, 120, Rgb(255, 6, 0)},
      {255, 240, 120, Rgb(255, 102, 0)}, {80, 240, 120, Rgb(0, 255, 2)},  {160, 240, 120, Rgb(4, 0, 255)},
      {0, 0, 0, Rgb(0, 0, 0)},         {0, 0, 240, Rgb(255, 255, 255)},   {0, 0, 255, Rgb(255, 255, 255)},
      {0, 0, 120, Rgb(128, 128, 128)}, {0, 240, 255, Rgb(255, 255, 255)},
  };
  for (const auto& c : cases)
    EXPECT_EQ(static_cast<TColorRef>(HueSatLumToColor(c.H, c.S, c.L)), c.Expected) << c.H << "," << c.S << "," << c.L;
}

TEST(CvColors, ShadeTintMixShift) {
  const struct {
    TColor Got;
    TColorRef Expected;
    const char* What;
  } cases[] = {
      {ShadeColor(clBtnFace, 10), Rgb(203, 198, 188), "face shaded 10"},
      {ShadeColor(clBtnFace, 20), Rgb(193, 188, 176), "face shaded 20"},
      {ShadeColor(clBtnFace, 40), Rgb(175, 168, 153), "face shaded 40"},
      {ShadeColor(clWhite, 20), Rgb(234, 234, 234), "white shaded 20"},
      {ShadeColor(clRed, 200), Rgb(0, 0, 0), "red shaded 200"},
      {TintColor(clBlack, 20), Rgb(21, 21, 21), "black tinted 20"},
      {TintColor(clRed, 200), Rgb(255, 255, 255), "red tinted 200"},
      {TintColor(clBtnFace, 0), Rgb(212, 208, 200), "tint 0 resolves"},
      {MixColors(clWhite, clBlack, 128), Rgb(128, 128, 128), "white and black halves"},
      {MixColors(clRed, clBlue, 255), Rgb(255, 0, 0), "weight 255"},
      {MixColors(clRed, clBlue, 0), Rgb(0, 0, 255), "weight 0"},
      {MixColors(clHighlight, clWindow, 77), Rgb(181, 189, 210), "selection stop"},
      {OppositeHueColor(clRed, 120), Rgb(0, 252, 255), "opposite of red"},
      {OppositeHueColor(clBlue, 120), Rgb(254, 255, 0), "opposite of blue"},
      {ShiftColorLuminance(clWhite, -20), Rgb(234, 234, 234), "shift down"},
      {ShiftColorLuminance(clBlack, 20), Rgb(21, 21, 21), "shift up"},
      {ShiftColorLuminance(clBlack, 256 + 20), Rgb(21, 21, 21), "only the low byte of the magnitude"},
  };
  for (const auto& c : cases) EXPECT_EQ(static_cast<TColorRef>(c.Got), c.Expected) << c.What;
  // 0 returns the value itself: a system colour stays one.
  EXPECT_EQ(ShiftColorLuminance(clBtnShadow, 0), clBtnShadow);
}

TEST(CvColors, HardToTellApart) {
  EXPECT_TRUE(ColorsHardToTellApart(clWhite, static_cast<TColor>(Rgb(250, 250, 250))));
  EXPECT_FALSE(ColorsHardToTellApart(clWhite, clBlack));
  // Hues 5 and 235 are 230 apart: the distance is not taken round the circle.
  const TColor a = static_cast<TColor>(Rgb(255, 32, 0)), b = static_cast<TColor>(Rgb(255, 0, 32));
  ASSERT_EQ(HueOfColor(a), 5);
  ASSERT_EQ(HueOfColor(b), 235);
  EXPECT_FALSE(ColorsHardToTellApart(a, b));
}

// Python's colorsys over a sweep of colours, each value scaled by 240 and rounded half to even;
// a value within floating-point noise of a half is a half.
TEST(CvColors, MatchesColorsys) {
  if (!ToolExists("/usr/bin/python3")) GTEST_SKIP() << "python3 is not installed";
  TestTempDir dir;
  const std::string script = dir.File("sweep.py"), out = dir.File("sweep.txt");
  {
    std::ofstream f(script);
    f << "import colorsys\n"
         "cols = [(r, g, b) for r in range(0, 256, 15) for g in range(0, 256, 17) for b in range(0, 256, 13)]\n"
         "cols += [(0, 9, 240), (127, 127, 127), (100, 50, 50), (250, 200, 200), (1, 2, 3), (254, 1, 0)]\n"
         "for r, g, b in cols:\n"
         "    h, l, s = colorsys.rgb_to_hls(r / 255.0, g / 255.0, b / 255.0)\n"
         "    print(r, g, b, repr(h * 240), repr(s * 240), repr(l * 240))\n";
  }
  ASSERT_EQ(RunTool({"/usr/bin/python3", script}, out), 0);
  auto round = [](double v) {
    const double f = std::floor(v);
    if (std::fabs(v - f - 0.5) < 1e-9) return static_cast<int>(f) + (static_cast<int>(f) & 1);
    return static_cast<int>(std::floor(v + 0.5));
  };
  std::ifstream in(out);
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    int r, g, b;
    double h, s, l;
    ls >> r >> g >> b >> h >> s >> l;
    Hsl expected{round(h), round(s), round(l)};
    if (expected.S == 0) expected.H = 0;  // greys have no hue
    EXPECT_EQ(HslOf(static_cast<TColor>(Rgb(r, g, b))), expected) << r << "," << g << "," << b;
    ++checked;
  }
  EXPECT_GT(checked, 4000);
}

TEST(CvColors, SchemeColorsWithoutVisualStyles) {
  TColor frame, start, stop, line;
  for (TCvGradientColorStyle style : {gcsSystem, gcsMSOffice}) {
    GetSchemeSelectionColors(style, frame, start, stop);
    EXPECT_EQ(frame, clHighlight);
    EXPECT_EQ(static_cast<TColorRef>(stop), Rgb(181, 189, 210));
    EXPECT_EQ(static_cast<TColorRef>(start), Rgb(208, 212, 226));
    GetSchemeGradientColors(style, start, stop);
    EXPECT_EQ(start, clWindow);
    EXPECT_EQ(static_cast<TColorRef>(stop), Rgb(203, 198, 188));
    GetSchemeBarColors(style, stop, start, line);
    EXPECT_EQ(static_cast<TColorRef>(stop), Rgb(193, 188, 176));
    EXPECT_EQ(start, clWindow);
    EXPECT_EQ(static_cast<TColorRef>(line), Rgb(175, 168, 153));
  }
  // Palette screens get no selection gradient.
  DisplayIsFullColor = false;
  GetSchemeSelectionColors(gcsSystem, frame, start, stop);
  DisplayIsFullColor = true;
  EXPECT_EQ(start, stop);
  // Without visual styles every element colour is the face colour.
  for (int kind : {0, 3, 6, 7, -1}) EXPECT_EQ(ThemeElementColor(kind), clBtnFace) << kind;
  EXPECT_EQ(ReadXPColorScheme(), 0);
  EXPECT_TRUE(TestFullColorDisplay());
  EXPECT_TRUE(DisplayIsFullColor);
}

}  // namespace
