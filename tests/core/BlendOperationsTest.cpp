// The per-pixel blend operations and the colour count of a sample layout.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "core/hypxutils.h"

namespace {

TRGB Grey(int v) { return TRGB{uint8_t(v), uint8_t(v), uint8_t(v)}; }
TRGB Rgb(int r, int g, int b) { return TRGB{uint8_t(b), uint8_t(g), uint8_t(r)}; }

TRGB Combine(TPXBlendOperation op, TRGB d, TRGB s, int32_t row = 0) {
  CombinePixels(s, d, op, row);
  return d;
}

TEST(BlendOperationsTest, ChannelRulesOnGreyPixels) {
  struct Case {
    TPXBlendOperation op;
    int d, s, want;
  } cases[] = {
      {pxboNormal, 10, 20, 20},         {pxboAdd, 200, 100, 255},         {pxboSub, 50, 80, 30},
      {pxboDiv, 77, 0, 77},             {pxboDiv, 200, 7, 28},            {pxboMul, 255, 255, 254},
      {pxboAverage, 3, 4, 3},           {pxboScreen, 128, 128, 191},      {pxboScreen, 0, 0, 0},
      {pxboScreen, 255, 3, 255},        {pxboNegation, 100, 200, 210},    {pxboExclusion, 255, 255, 2},
      {pxboExclusion, 255, 0, 255},     {pxboOverlay, 200, 100, 189},     {pxboHardLight, 200, 100, 156},
      {pxboColorDodge, 0, 255, 255},    {pxboColorDodge, 100, 155, 255},  {pxboColorDodge, 50, 55, 64},
      {pxboColorBurn, 255, 0, 0},       {pxboColorBurn, 200, 128, 145},   {pxboInverseColorDodge, 255, 0, 255},
      {pxboInverseColorBurn, 0, 255, 0}, {pxboSoftDodge, 100, 255, 255},  {pxboSoftBurn, 255, 0, 255},
      {pxboReflect, 100, 155, 100},     {pxboGlow, 155, 100, 100},        {pxboFreeze, 100, 0, 0},
      {pxboHeat, 0, 100, 0},            {pxboSubtractive, 200, 100, 44},  {pxboSubtractive, 100, 100, 0},
      {pxboInterpolation, 255, 255, 255}, {pxboInterpolation, 0, 0, 0},   {pxboStamp, 100, 200, 244},
      {pxboStamp, 10, 0, 0},            {pxboXFader, 255, 255, 254},      {pxboCopyRGB, 1, 2, 2},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Combine(c.op, Grey(c.d), Grey(c.s)), Grey(c.want))
        << BlendOperationCaption(c.op) << " (" << int(c.op) << ") d " << c.d << " s " << c.s;
}

TEST(BlendOperationsTest, EachChannelUsesItsOwnSourceValue) {
  // Soft Light of (red 255, green 0, blue 0) over mid grey lightens red, darkens green and blue.
  EXPECT_EQ(Combine(pxboSoftLight, Grey(128), Rgb(255, 0, 0)), Rgb(180, 64, 64));
  EXPECT_EQ(Combine(pxboMax, Rgb(10, 200, 30), Rgb(50, 60, 70)), Rgb(50, 200, 70));
  EXPECT_EQ(Combine(pxboRed, Rgb(1, 2, 3), Rgb(7, 8, 9)), Rgb(7, 2, 3));
  EXPECT_EQ(Combine(pxboGreen, Rgb(1, 2, 3), Rgb(7, 8, 9)), Rgb(1, 8, 3));
  EXPECT_EQ(Combine(pxboBlue, Rgb(1, 2, 3), Rgb(7, 8, 9)), Rgb(1, 2, 9));
}

TEST(BlendOperationsTest, ColourModelOperations) {
  EXPECT_EQ(Combine(pxboColor, Grey(128), Rgb(0, 0, 255)), Rgb(1, 1, 255)) << "hue and saturation of blue";
  EXPECT_EQ(Combine(pxboLuminosity, Rgb(255, 0, 0), Grey(255)), Grey(255));
  EXPECT_EQ(Combine(pxboHue, Rgb(255, 0, 0), Rgb(0, 255, 0)), Rgb(0, 255, 0));
  EXPECT_EQ(Combine(pxboSaturation, Rgb(255, 0, 0), Grey(90)), Grey(128)) << "no saturation: the lightness";
  // Grey anaglyph: red from the destination's grey, green and blue from the source's.
  EXPECT_EQ(Combine(pxboGrayAnaglyph, Grey(100), Grey(200)), Rgb(100, 200, 200));
  EXPECT_EQ(Combine(pxboAnaglyphMatrix, Grey(255), Grey(255)), Grey(255));
  EXPECT_EQ(Combine(pxboAnaglyphMatrix, Grey(0), Grey(0)), Grey(0));
  // Luma: Y of the source (124.2) with the neutral chroma of black.
  EXPECT_EQ(Combine(pxboLuma, Grey(0), Rgb(200, 100, 50)), Grey(124));
}

TEST(BlendOperationsTest, RowOperationsAndUnknownValues) {
  EXPECT_EQ(Combine(pxboEvenRows, Grey(1), Grey(9), 0), Grey(9));
  EXPECT_EQ(Combine(pxboEvenRows, Grey(1), Grey(9), 1), Grey(1));
  EXPECT_EQ(Combine(pxboOddRows, Grey(1), Grey(9), 0), Grey(1));
  EXPECT_EQ(Combine(pxboOddRows, Grey(1), Grey(9), -1), Grey(9));
  for (int op = PXBlendOperationCount; op < 256; ++op)
    EXPECT_EQ(Combine(static_cast<TPXBlendOperation>(op), Rgb(1, 2, 3), Rgb(7, 8, 9)), Rgb(1, 2, 3)) << op;

  TRGB s = Rgb(200, 100, 50), d = Rgb(10, 20, 30);
  CombinePixelsCopy(s, d, pxboAdd, 0);
  EXPECT_EQ(s, Rgb(200, 100, 50));
  EXPECT_EQ(d, Rgb(210, 120, 80));
  EXPECT_STREQ(BlendOperationCaption(pxboColorDodge), "Color Edge");
  EXPECT_STREQ(BlendOperationCaption(pxboGrayAnaglyph), "");
}

TEST(BlendOperationsTest, ColorCountFromBitsIs64BitAndSaturates) {
  EXPECT_EQ(ColorCountFromBits(8, 3), 16777216);
  EXPECT_EQ(ColorCountFromBits(8, 4), 4294967296);
  EXPECT_EQ(ColorCountFromBits(1, 1), 2);
  EXPECT_EQ(ColorCountFromBits(16, 0), 1);
  EXPECT_EQ(ColorCountFromBits(16, 4), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(ColorCountFromBits(64, 1), std::numeric_limits<int64_t>::max());
}

}  // namespace
