// Chroma keying: chroma values, the key colour guess and the key removal.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "platform/gdi/WinGdi.h"
#include "proc/pixoranproc_chroma.h"

namespace {

int32_t Pack(TRGB C) { return C.r << 16 | C.g << 8 | C.b; }

TEST(ChromaKey, ChromaValuesAndMaxDistance) {
  double cb, cr;
  ColorToChroma(cb, cr, 0xFFFFFF);
  EXPECT_NEAR(cb, 0.5, 1e-5);
  EXPECT_NEAR(cr, 0.5, 1e-5);
  ColorToChroma(cb, cr, 0x0000FF);
  EXPECT_NEAR(cb, 1.0, 1e-5);
  EXPECT_NEAR(cr, 0.41869, 1e-5);
  // Three times the largest distance: white against a key of blue over a picture holding both.
  auto b = TPXBitmap::CreateAllocated(3, 2, px24RGB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) b->SetPixel24(x, y, TRGB{255, 0, 0});
  b->SetPixel24(2, 1, TRGB{255, 255, 255});
  const double d = std::sqrt((0.5 * 0.5 + 0.08131 * 0.08131) / 2);
  EXPECT_NEAR(ChromaKeyMaxDistance(b.get(), 0, 0, 3, 2, 0x0000FF), 3 * d, 1e-4);
  EXPECT_NEAR(ChromaKeyMaxDistance(b.get(), 0, 0, 2, 2, 0x0000FF), 0, 1e-9);
  EXPECT_EQ(ChromaKeyMaxDistance(b.get(), 2, 0, 2, 2, 0x0000FF), 0);
  EXPECT_EQ(ChromaKeyMaxDistance(b.get(), 1, 1, 99, 99, 0xFFFFFF), ChromaKeyMaxDistance(b.get(), 1, 1, 3, 2, 0xFFFFFF));
}

// 3 x 3 cells of 30 x 20 pixels, each of random hues, except the cells listed, flat in Colour.
std::unique_ptr<TPXBitmap> Cells(std::vector<std::pair<int, int>> Flat, TRGB Colour, uint32_t Seed) {
  std::mt19937 rng(Seed);
  auto b = TPXBitmap::CreateAllocated(90, 60, px24RGB);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 90; ++x) {
      bool flat = false;
      for (auto [row, col] : Flat) flat |= y / 20 == row && x / 30 == col;
      b->SetPixel24(x, y, flat ? Colour
                               : TRGB{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
    }
  return b;
}

TEST(ChromaKey, GuessTakesTheFlattestCell) {
  const TRGB green{10, 200, 20};
  auto b = Cells({{1, 0}}, green, 1);
  TRGB key{1, 2, 3};
  double tol = 0;
  GuessChromaKeyColor(b.get(), key, false, tol);
  EXPECT_EQ(key, green);
  EXPECT_EQ(tol, 210.0);
  // With the tolerance computed: ChromaKeyMaxDistance of the chosen cell's inner rectangle,
  // here left-middle: x from 10 % of 30, y from (20 - 13) div 2 below row 20, 20 x 13 pixels.
  b->SetPixel24(MulDiv(30, 10, 100), 20 + (20 - MulDiv(20, 66, 100)) / 2, TRGB{10, 190, 30});
  GuessChromaKeyColor(b.get(), key, true, tol);
  const int iw = MulDiv(30, 66, 100), ih = MulDiv(20, 66, 100), x = MulDiv(30, 10, 100), y = 20 + (20 - ih) / 2;
  EXPECT_GT(tol, 0);
  EXPECT_DOUBLE_EQ(tol, ChromaKeyMaxDistance(b.get(), x, y, x + iw, y + ih, Pack(key)));
  // Ties keep the earlier cell in row order: top-right before left-middle.
  const TRGB blue{200, 10, 10};
  auto two = Cells({{1, 0}, {0, 2}}, blue, 2);
  GuessChromaKeyColor(two.get(), key, false, tol);
  EXPECT_EQ(key, blue);
  auto first = Cells({{1, 0}}, green, 3);
  for (int yy = 0; yy < 20; ++yy)
    for (int xx = 60; xx < 90; ++xx) first->SetPixel24(xx, yy, blue);
  GuessChromaKeyColor(first.get(), key, false, tol);
  EXPECT_EQ(key, blue);
  // A picture too small for two samples per cell axis keeps the key.
  auto tiny = TPXBitmap::CreateAllocated(8, 8, px24RGB);
  tiny->Fill(0x00FF00);
  key = TRGB{1, 2, 3};
  tol = 0;
  GuessChromaKeyColor(tiny.get(), key, true, tol);
  EXPECT_EQ(key, (TRGB{1, 2, 3}));
  EXPECT_EQ(tol, 210.0);
}

// The saturation the tint removal leaves: S - trunc(u^k x S x m), at least 0.
TRGB Detinted(TRGB C, int KeyHue, int K, double M) {
  int h, s, v;
  RGBToHSV(h, s, v, static_cast<uint32_t>(Pack(C)));
  const double u = 1.0 - std::abs(h - KeyHue) / 180.0;
  if (u <= 0) return C;
  TRGB out;
  HSVToRGB(out, h, std::max(s - static_cast<int>(std::pow(u, K) * s * M), 0), v);
  return out;
}

TEST(ChromaKey, RemovalKeysDetintsAndMasks) {
  const TRGB green{0, 255, 0};
  const TRGB nearGreen{40, 220, 30};   // key within the tolerance
  const TRGB yellowish{20, 200, 180};  // hue 66: tinted, outside the tolerance
  const TRGB far{128, 0, 255};         // hue 330: u below 0
  auto make = [&] {
    auto b = TPXBitmap::CreateAllocated(4, 2, px24RGB);
    const TRGB row0[4] = {green, nearGreen, yellowish, far};
    for (int x = 0; x < 4; ++x) b->SetPixel24(x, 0, row0[x]), b->SetPixel24(x, 1, row0[3 - x]);
    b->GetAlphaChannel()->Fill(77);
    return b;
  };
  int keyHue, ks, kv;
  RGBToHSV(keyHue, ks, kv, static_cast<uint32_t>(Pack(green)));
  const double tolerance = 0.5;
  // Edge modes 1 .. 5 (and above) with their exponents and strengths; mode 0 leaves the rest.
  const struct {
    int Mode, K;
    double M;
  } modes[] = {{1, 8, 1}, {2, 4, 1}, {3, 2, 1}, {4, 2, 2}, {5, 2, 3}, {9, 2, 3}};
  for (const auto& m : modes) {
    SCOPED_TRACE(m.Mode);
    auto b = make();
    std::vector<int> progress;
    RemoveChromaKey(b.get(), nullptr, 10, green, tolerance, 0, m.Mode, false, 255, false,
                    TPXProgressEvent([&](TObject*, int32_t v) { progress.push_back(v); }), nullptr);
    EXPECT_EQ(b->GetPixelRGB(0, 0), (TRGB{}));
    EXPECT_EQ(b->GetAlpha(0, 0), 0);
    EXPECT_EQ(b->GetPixelRGB(1, 0), (TRGB{}));
    EXPECT_EQ(b->GetAlpha(1, 0), 0);
    EXPECT_EQ(b->GetPixelRGB(2, 0), Detinted(yellowish, keyHue, m.K, m.M));
    EXPECT_EQ(b->GetAlpha(2, 0), 255);
    EXPECT_EQ(b->GetPixelRGB(3, 0), far);
    EXPECT_EQ(b->GetAlpha(3, 0), 77);
    EXPECT_EQ(progress, (std::vector<int>{0, 50}));
    EXPECT_EQ(b->PeekAlphaChannel()->FFull, 0);
  }
  {
    auto b = make();
    RemoveChromaKey(b.get(), nullptr, 10, green, tolerance, 0, 0, false, 255, false, {}, nullptr);
    EXPECT_EQ(b->GetAlpha(0, 0), 0);
    EXPECT_EQ(b->GetPixelRGB(2, 0), yellowish);
    EXPECT_EQ(b->GetAlpha(2, 0), 77);
    // MinSaturation above the key's keeps every pixel.
    auto c = make();
    RemoveChromaKey(c.get(), nullptr, 100, green, tolerance, 0, 0, false, 255, false, {}, nullptr);
    EXPECT_EQ(c->GetPixelRGB(0, 0), green);
  }
  // A pure white key ignores MinSaturation: white and near-white neutral pixels go.
  {
    auto b = TPXBitmap::CreateAllocated(3, 1, px24RGB);
    b->SetPixel24(0, 0, TRGB{255, 255, 255});
    b->SetPixel24(1, 0, TRGB{240, 240, 240});
    b->SetPixel24(2, 0, TRGB{0, 0, 255});
    RemoveChromaKey(b.get(), nullptr, 50, TRGB{255, 255, 255}, 0.1, 0, 0, false, 255, false, {}, nullptr);
    EXPECT_EQ(b->GetAlpha(0, 0), 0);
    EXPECT_EQ(b->GetAlpha(1, 0), 0);
    EXPECT_EQ(b->GetAlpha(2, 0), 255);
  }
  // With a mask only the mask changes: key pixels, or the others with InvertMask.
  for (bool invert : {false, true}) {
    auto b = make();
    auto before = TPXBitmap::CreateCopy(b.get());
    TPXMask mask;
    mask.AllocateBits(4, 2, 8);
    RemoveChromaKey(b.get(), &mask, 10, green, tolerance, 3, 3, true, 99, invert, {}, nullptr);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(b->GetPixelRGB(x, y), before->GetPixelRGB(x, y));
        EXPECT_EQ(b->GetAlpha(x, y), 77);
        const bool key = (y == 0 ? x : 3 - x) < 2;
        EXPECT_EQ(mask.GetPixel(x, y), key != invert ? 99 : 0) << x << "," << y;
      }
  }
}

// The removal's exact bytes (colours, alpha and masks) over pictures of few and of many
// colours, every edge mode, hashed: a faster loop must give the former per-pixel loop's bytes
// (the hash was taken from it).
TEST(ChromaKey, RemovalBytesStayTheSame) {
  std::mt19937 rng(77);
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&](uint8_t v) { hash = (hash ^ v) * 1099511628211ull; };
  for (int many = 0; many < 2; ++many)
    for (int mode = 0; mode <= 5; ++mode)
      for (int withMask = 0; withMask < 2; ++withMask) {
        auto b = TPXBitmap::CreateAllocated(53, 37, px24RGB);
        for (int y = 0; y < 37; ++y)
          for (int x = 0; x < 53; ++x) {
            const uint32_t r = rng();
            const TRGB c = many ? TRGB{static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8), static_cast<uint8_t>(r >> 16)}
                                : TRGB{static_cast<uint8_t>(40 * (r % 4)), static_cast<uint8_t>(200 + r % 3 * 20),
                                       static_cast<uint8_t>(30 * (r >> 4 & 3))};
            b->SetPixel24(x, y, c);
          }
        TPXMask mask;
        mask.AllocateBits(53, 37, 8);
        RemoveChromaKey(b.get(), withMask ? &mask : nullptr, 10 + 5 * mode, TRGB{10, 230, 20}, 0.25 + 0.05 * mode, 0,
                        mode, false, 200, mode % 2 == 1, {}, nullptr);
        for (int y = 0; y < 37; ++y)
          for (int x = 0; x < 53; ++x) {
            const TRGB c = b->GetPixelRGB(x, y);
            mix(c.r), mix(c.g), mix(c.b);
            mix(withMask ? static_cast<uint8_t>(mask.GetPixel(x, y)) : b->GetAlphaChannel()->Scanline(y)[x]);
          }
      }
  EXPECT_EQ(hash, 0x9b2e3905e779f63ull) << std::hex << hash;
}

TEST(ChromaKey, CleanAlphaAndFeather) {
  // A green field with one isolated non-key speck and a one-pixel key hole in a red square.
  auto make = [] {
    auto b = TPXBitmap::CreateAllocated(24, 24, px24RGB);
    b->Fill(0x00FF00);
    for (int y = 8; y < 20; ++y)
      for (int x = 8; x < 20; ++x) b->SetPixel24(x, y, TRGB{0, 0, 255});
    b->SetPixel24(13, 13, TRGB{0, 255, 0});  // hole
    b->SetPixel24(3, 3, TRGB{0, 0, 255});    // speck
    return b;
  };
  auto plain = make();
  RemoveChromaKey(plain.get(), nullptr, 10, TRGB{0, 255, 0}, 0.3, 0, 0, false, 255, false, {}, nullptr);
  EXPECT_EQ(plain->GetAlpha(3, 3), 255);
  EXPECT_EQ(plain->GetAlpha(13, 13), 0);
  auto clean = make();
  RemoveChromaKey(clean.get(), nullptr, 10, TRGB{0, 255, 0}, 0.3, 0, 0, true, 255, false, {}, nullptr);
  EXPECT_EQ(clean->GetAlpha(3, 3), 0);
  EXPECT_EQ(clean->GetAlpha(13, 13), 255);
  EXPECT_EQ(clean->GetAlpha(10, 10), 255);
  // Feathering softens the edge of the square only.
  auto soft = make();
  RemoveChromaKey(soft.get(), nullptr, 10, TRGB{0, 255, 0}, 0.3, 2, 0, true, 255, false, {}, nullptr);
  bool partial = false;
  for (int x = 6; x <= 10; ++x) partial |= soft->GetAlpha(x, 14) > 0 && soft->GetAlpha(x, 14) < 255;
  EXPECT_TRUE(partial);
  EXPECT_EQ(soft->GetAlpha(14, 14), 255);
  EXPECT_EQ(soft->GetAlpha(0, 23), 0);
}

}  // namespace
