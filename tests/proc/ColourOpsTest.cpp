// Colour routines: grey, palette reduction, two colours to 1 bit, negatives.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <set>

#include "core/pxcolorspace.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "proc/pixoranproc_colour.h"
#include "tests/proc/ProcTestSupport.h"

namespace {

TEST(ColourOps, GreyOfTheRectangleOnlyWithBoundedProgress) {
  auto b = Make(4, 3, px24RGB);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) b->SetPixel24(x, y, TRGB{0, 0, 255});
  b->SetPixel24(1, 1, TRGB{255, 255, 255});
  std::vector<int> per;
  ConvertRectToGray(b.get(), 1, 0, 3, 5, TPXProgressEvent([&](TObject*, int32_t p) { per.push_back(p); }), nullptr);
  EXPECT_EQ(b->GetPixelRGB(1, 0), (TRGB{53, 53, 53}));
  EXPECT_EQ(b->GetPixelRGB(2, 2), (TRGB{53, 53, 53}));
  EXPECT_EQ(b->GetPixelRGB(1, 1), (TRGB{255, 255, 255}));
  EXPECT_EQ(b->GetPixelRGB(0, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(b->GetPixelRGB(3, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(per, (std::vector<int>{40, 80, 100}));  // the formula alone would give 120 last
  auto g = Make(2, 1, px8g);
  g->SetPixel8(0, 0, 7);
  ConvertRectToGray(g.get(), 0, 0, 2, 1, {}, nullptr);
  EXPECT_EQ(g->GetPixel8(0, 0), 7);
}

TEST(ColourOps, GreyOfLongRowsAndOtherWeights) {
  // Rows long enough for the wide path, an odd start, and weights summing past 100 (clamped).
  TPXPixoranGlobalSettings* st = GlobalSettingsInstance();
  const int32_t saved[3] = {st->FGrayWeightRed, st->FGrayWeightGreen, st->FGrayWeightBlue};
  for (const auto& w : {std::array<int32_t, 3>{21, 71, 8}, std::array<int32_t, 3>{30, 59, 11},
                        std::array<int32_t, 3>{90, 90, 90}}) {
    st->FGrayWeightRed = w[0];
    st->FGrayWeightGreen = w[1];
    st->FGrayWeightBlue = w[2];
    auto b = Make(53, 2, px24RGB);
    std::mt19937 rng(w[0]);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 53; ++x) b->SetPixel24(x, y, TRGB{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    auto before = TPXBitmap::CreateCopy(b.get());
    ConvertRectToGray(b.get(), 1, 0, 52, 2, {}, nullptr);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 53; ++x) {
        const TRGB c = before->GetPixelRGB(x, y);
        const int g = std::min(255, (c.r * w[0] + c.g * w[1] + c.b * w[2]) / 100);
        const TRGB want = x >= 1 && x < 52 ? TRGB{uint8_t(g), uint8_t(g), uint8_t(g)} : c;
        ASSERT_EQ(b->GetPixelRGB(x, y), want) << x << "," << y << " weights " << w[0];
      }
  }
  st->FGrayWeightRed = saved[0];
  st->FGrayWeightGreen = saved[1];
  st->FGrayWeightBlue = saved[2];
}

TEST(ColourOps, NearestPaletteIndexAndGrey) {
  const std::array<TRGB, 3> pal = {TRGB{0, 0, 0}, TRGB{10, 10, 10}, TRGB{10, 10, 10}};
  EXPECT_EQ(FindNearestPaletteIndex(pal, 0x0B0B0B), 1);  // first of the ties
  EXPECT_EQ(FindNearestPaletteIndex(pal, 0x020202), 0);
  EXPECT_EQ(FindNearestPaletteIndex({}, 0x020202), 0);
  EXPECT_EQ(ColorToGrayLevel(0xFF0000), 53);
}

TEST(ColourOps, QuantizeAndDither) {
  auto b = Make(32, 8, px24RGB);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 8), uint8_t(y * 30), uint8_t(255 - x * 8)});
  auto d = Make(1, 1, px8g);
  DitherToPalette8(b.get(), d.get(), 16);
  EXPECT_EQ(d->PixelFormat(), px8p);
  EXPECT_EQ(d->Width(), 32);
  EXPECT_EQ(d->GetPaletteUsed(), 16);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) ASSERT_LT(d->GetPixel8(x, y), 16);

  std::array<TRGB, 16> pal{};
  QuantizeToPalette(b.get(), 16, pal, {}, nullptr);
  std::set<uint32_t> colours;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) {
      const TRGB c = b->GetPixelRGB(x, y);
      colours.insert(c.r << 16 | c.g << 8 | c.b);
      ASSERT_NE(std::find(pal.begin(), pal.end(), c), pal.end());
    }
  EXPECT_LE(colours.size(), 16u);

  // One pixel wide: 5/16 of the error goes down (grey ramp 0, 255): 100 gives 131 below,
  // 95 gives 124 (7/16 would give 136).
  for (auto [v, below] : {std::pair{100, 1}, std::pair{95, 0}}) {
    auto col = Make(1, 2, px24RGB);
    col->SetPixel24(0, 0, TRGB{uint8_t(v), uint8_t(v), uint8_t(v)});
    col->SetPixel24(0, 1, TRGB{uint8_t(v), uint8_t(v), uint8_t(v)});
    auto out = Make(1, 1, px8g);
    DitherToPalette8(col.get(), out.get(), 2);
    ASSERT_EQ(out->GetPixelRGB(0, 0), (TRGB{}));
    EXPECT_EQ(out->GetPixel8(0, 1), below) << v;
  }
}

TEST(ColourOps, TwoColoursToOneBit) {
  // Black text on white, the first pixel white.
  auto b = Make(9, 4, px24RGB);
  b->Fill(0xFFFFFF);
  b->SetPixel24(3, 1, TRGB{0, 0, 0});
  b->SetPixel24(8, 3, TRGB{0, 0, 0});
  TRGB c0, c1;
  auto mono = ConvertBiColorTo1Bit(b.get(), c0, c1);
  ASSERT_TRUE(mono);
  EXPECT_EQ(c0, (TRGB{0, 0, 0}));
  EXPECT_EQ(c1, (TRGB{255, 255, 255}));
  EXPECT_EQ(GetPixelBit(mono->Scanline(1), 3), 0);
  EXPECT_EQ(GetPixelBit(mono->Scanline(3), 8), 0);
  EXPECT_NE(GetPixelBit(mono->Scanline(0), 0), 0);
  // A palette picture goes by its colours too.
  auto p = Make(3, 1, px8p);
  p->SetPaletteColor(0, TRGB{0, 0, 200});
  p->SetPaletteColor(1, TRGB{0, 50, 0});
  p->SetPixel8(0, 0, 0);
  p->SetPixel8(1, 0, 1);
  p->SetPixel8(2, 0, 0);
  mono = ConvertBiColorTo1Bit(p.get(), c0, c1);
  ASSERT_TRUE(mono);
  EXPECT_EQ(c0, (TRGB{0, 50, 0}));  // grey 36 is darker than 42
  EXPECT_EQ(GetPixelBit(mono->Scanline(0), 1), 0);
  // One colour or three: nil.
  b->Fill(0xFFFFFF);
  EXPECT_FALSE(ConvertBiColorTo1Bit(b.get(), c0, c1));
  b->SetPixel24(0, 0, TRGB{1, 1, 1});
  b->SetPixel24(0, 1, TRGB{2, 2, 2});
  EXPECT_FALSE(ConvertBiColorTo1Bit(b.get(), c0, c1));
}

TEST(ColourOps, NegativeInEveryFormat) {
  auto bits = Make(12, 2, px1g);
  std::memset(bits->Scanline(0), 0, 2);
  std::memset(bits->Scanline(1), 0xFF, 2);
  NegativeRect(bits.get(), 2, 0, 5, 2, {}, nullptr);
  for (int x = 0; x < 12; ++x) {
    const bool inside = x >= 2 && x < 5;
    EXPECT_EQ(GetPixelBit(bits->Scanline(0), x) != 0, inside) << x;
    EXPECT_EQ(GetPixelBit(bits->Scanline(1), x) != 0, !inside) << x;
  }
  NegativeRect(bits.get(), 0, 0, 12, 1, {}, nullptr);  // whole bytes and a partial one
  EXPECT_EQ(bits->Scanline(0)[0], 0xC7);
  EXPECT_EQ(bits->Scanline(0)[1] & 0xF0, 0xF0);

  auto pal = Make(2, 1, px8p);
  pal->SetPaletteColor(3, TRGB{10, 20, 30});
  pal->SetPixel8(0, 0, 3);
  int reports = 0;
  NegativeRect(pal.get(), 0, 0, 2, 1, TPXProgressEvent([&](TObject*, int32_t) { ++reports; }), nullptr);
  EXPECT_EQ(pal->GetPixel8(0, 0), 3);
  EXPECT_EQ(pal->GetPixelRGB(0, 0), (TRGB{245, 235, 225}));
  EXPECT_EQ(reports, 0);

  auto g16 = Make(1, 1, px16g);
  g16->SetPixel16(0, 0, 1000);
  NegativeRect(g16.get(), 0, 0, 1, 1, {}, nullptr);
  EXPECT_EQ(g16->GetPixel16(0, 0), 64535);

  auto c32 = Make(1, 1, px32RGB);
  c32->SetPixel32RGB(0, 0, 0x7F102030);
  NegativeRect(c32.get(), 0, 0, 1, 1, {}, nullptr);
  EXPECT_EQ(c32->Scanline(0)[3], 0x7F);
  EXPECT_EQ(c32->Scanline(0)[0], 0xCF);

  auto f = Make(1, 1, px32f);
  f->SetPixel32f(0, 0, 0.25f);
  NegativeRect(f.get(), 0, 0, 1, 1, {}, nullptr);
  EXPECT_FLOAT_EQ(f->GetPixel32f(0, 0), 0.75f);

  auto w48 = Make(1, 1, pxRGB48);
  w48->SetPixel48(0, 0, {1, 2, 65535});
  NegativeRect(w48.get(), 0, 0, 1, 1, {}, nullptr);
  EXPECT_EQ(w48->GetPixel48(0, 0), (TRGB48{65534, 65533, 0}));

  // Through RGB and back: black becomes white.
  auto lab = Make(1, 1, pxCIELab);
  lab->SetPixelLab(0, 0, RGBToCIELab(TRGB{0, 0, 0}));
  NegativeRect(lab.get(), 0, 0, 1, 1, {}, nullptr);
  EXPECT_GE(lab->GetPixelLab(0, 0).l, 250);

  auto cmyk = Make(2, 1, pxCMYK);
  const TCMYK ink{10, 200, 30, 90};
  cmyk->SetPixelCMYK(0, 0, ink);
  cmyk->SetPixelCMYK(1, 0, ink);
  NegativeRect(cmyk.get(), 0, 0, 1, 1, {}, nullptr);
  TRGB rgb = CmykToRgbPixel(ink);
  rgb = TRGB{uint8_t(255 - rgb.b), uint8_t(255 - rgb.g), uint8_t(255 - rgb.r)};
  EXPECT_EQ(cmyk->GetPixelCMYK(0, 0), RgbToCmykPixel(rgb));
  EXPECT_EQ(cmyk->GetPixelCMYK(1, 0), ink);

  auto e = Make(3, 3, px24RGB);
  e->Fill(0);
  NegativeRect(e.get(), 2, 0, 2, 3, {}, nullptr);  // empty
  NegativeRect(e.get(), -5, -5, 1, 1, {}, nullptr);
  EXPECT_EQ(e->GetPixelRGB(0, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(e->GetPixelRGB(1, 0), (TRGB{0, 0, 0}));
}

}  // namespace
