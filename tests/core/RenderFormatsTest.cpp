// The per-format render routines through RenderToPXBitmapEx: conversions of every format,
// display adjustments (contrast, offsets, range, mask), blend operations, weights, CMYK through
// the profiles, virtual bitmaps; and the main road: pictures rendered fit into a back buffer over
// a chessboard against a reference computed here from the maps and the weight rule.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/pxcolorspace.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "proc/pixoranproc_resample.h"
#include "tests/core/RenderTestSupport.h"

namespace {

std::unique_ptr<TPXBitmap> Grey24(int32_t W, int32_t H, uint8_t V) { return Filled(W, H, TRGB{V, V, V}); }

void Draw(TPXBitmap* Src, TPXBitmap* Dst, TPXBlendOperation Op = pxboNormal, int32_t Transparency = 255,
          double Opacity = 1.0, bool EnableAlpha = false) {
  Src->RenderToPXBitmap(Dst, 0, 0, Dst->Width(), Dst->Height(), 0, 0, Src->Width(), Src->Height(), EnableAlpha,
                        Transparency, rfNone, Op, Opacity);
}

uint8_t Blend(uint8_t D, uint8_t T, int32_t H) {
  return static_cast<uint8_t>(D + static_cast<int32_t>(std::floor(H * (T - D) / 256.0)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// 24-bit adjustments and operations

TEST(RenderFormats, Render24RGBSamplesAndMultiplies) {
  auto src = TPXBitmap::CreateAllocated(8, 8, px24RGB);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const TRGB c{static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 30), 200};
      std::memcpy(src->Scanline(y) + 3 * x, &c, 3);
    }
  auto dst = Filled(4, 4, TRGB{1, 1, 1});
  Draw(src.get(), dst.get());
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(At(dst.get(), x, y), (TRGB{static_cast<uint8_t>(x * 60), static_cast<uint8_t>(y * 60), 200}));
  auto mul = Filled(4, 4, TRGB{128, 255, 64});
  Draw(src.get(), mul.get(), pxboMul);
  EXPECT_EQ(At(mul.get(), 3, 2), (TRGB{(180 * 128) >> 8, (120 * 255) >> 8, (200 * 64) >> 8}));
}

TEST(RenderFormats, ContrastAndOffsets) {
  struct Case {
    int32_t Contrast, Offset;
    uint8_t In, Out;
  };
  const Case cases[] = {{10, 0, 192, 255}, {10, 0, 100, 72}, {-25, 0, 192, 160}, {0, 20, 100, 120},
                        {0, -200, 100, 0}, {10, 10, 100, 92}, {-2000000000, 0, 0, 255}};
  for (const Case& c : cases) {
    auto src = Grey24(2, 2, c.In);
    src->FContrast = c.Contrast;
    src->FChannelOffsetEnabled = c.Offset != 0;
    src->FChannelOffset[0] = src->FChannelOffset[1] = src->FChannelOffset[2] = c.Offset;
    for (const bool blended : {false, true}) {
      auto dst = Grey24(2, 2, 0);
      // Weight 255 through a not-full alpha channel leaves 1/256 of the difference.
      if (blended) src->GetAlphaChannel()->FFull = 0;
      Draw(src.get(), dst.get(), pxboNormal, 255, 1.0, blended);
      const uint8_t want = blended ? Blend(0, c.Out, 255) : c.Out;
      EXPECT_EQ(At(dst.get(), 1, 1), (TRGB{want, want, want})) << c.Contrast << " " << int{c.In};
    }
  }
}

TEST(RenderFormats, DisplayMaskLimitsAdjustmentsAndOperation) {
  auto src = Grey24(8, 4, 100);
  src->FContrast = 10;
  src->FDisplayMask = std::make_unique<TPXMask>();
  src->FDisplayMask->AllocateBits(8, 4, 1);
  for (int32_t y = 0; y < 4; ++y) src->FDisplayMask->FillSpan(1, 0, 3, y);
  auto dst = Grey24(8, 4, 50);
  Draw(src.get(), dst.get(), pxboAdd);
  for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(At(dst.get(), x, 2).g, x < 4 ? 72 + 50 : 100) << x;
}

TEST(RenderFormats, DisplayRangeOf8And16BitSamples) {
  auto g16 = TPXBitmap::CreateAllocated(4, 1, px16g);
  const uint16_t samples[4] = {2000, 500, 60000, 3000};
  std::memcpy(g16->Scanline(0), samples, 8);
  auto dst = Grey24(4, 1, 9);
  Draw(g16.get(), dst.get());
  EXPECT_EQ(At(dst.get(), 0, 0).g, 2000 >> 8);
  g16->FDisplayRangeLow = 1000;
  g16->FDisplayRangeHigh = 3000;
  Draw(g16.get(), dst.get());
  const uint8_t want[4] = {127, 0, 255, 255};
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At(dst.get(), x, 0), (TRGB{want[x], want[x], want[x]})) << x;

  auto g8 = TPXBitmap::CreateAllocated(3, 1, px8g);
  const uint8_t v8[3] = {50, 100, 200};
  std::memcpy(g8->Scanline(0), v8, 3);
  g8->FDisplayRangeLow = 100;
  g8->FDisplayRangeHigh = 150;
  auto d3 = Grey24(3, 1, 9);
  Draw(g8.get(), d3.get());
  EXPECT_EQ(At(d3.get(), 0, 0).r, 0);
  EXPECT_EQ(At(d3.get(), 1, 0).r, 0);
  EXPECT_EQ(At(d3.get(), 2, 0).r, 255);
  // The 24-bit range stretch follows offsets and contrast.
  auto c24 = Grey24(1, 1, 120);
  c24->FDisplayRangeLow = 100;
  c24->FDisplayRangeHigh = 140;
  auto d1 = Grey24(1, 1, 0);
  Draw(c24.get(), d1.get());
  EXPECT_EQ(At(d1.get(), 0, 0).b, 127);  // trunc(20 / 40 x 255)
}

TEST(RenderFormats, EveryFormatConverts) {
  struct Case {
    TPXPixelFormat Format;
    std::vector<uint8_t> Bytes;  // one pixel
    TRGB Want;
  };
  float f = 0.5f;
  std::vector<uint8_t> fb(4);
  std::memcpy(fb.data(), &f, 4);
  const TCIELab lab{180, 20, -30};
  const TRGB labRgb = CIELabToRGB(lab);
  const Case cases[] = {
      {px1g, {0x80}, TRGB{255, 255, 255}},
      {px1g, {0x00}, TRGB{0, 0, 0}},
      {px8g, {77}, TRGB{77, 77, 77}},
      {px8p, {3}, TRGB{30, 31, 32}},
      {px16g, {0x34, 0x12}, TRGB{0x12, 0x12, 0x12}},
      {px32f, fb, TRGB{127, 127, 127}},
      {pxRGB48, {0x00, 0x10, 0x00, 0x20, 0x00, 0x30}, TRGB{0x30, 0x20, 0x10}},
      {px32RGB, {9, 8, 7, 6}, TRGB{9, 8, 7}},
      {pxCIELab, {180, 20, static_cast<uint8_t>(-30)}, labRgb},
  };
  for (const Case& c : cases) {
    auto src = TPXBitmap::CreateAllocated(1, 1, c.Format);
    std::memcpy(src->Scanline(0), c.Bytes.data(), c.Bytes.size());
    if (c.Format == px8p) src->FPalette[3] = TRGB{30, 31, 32};
    auto dst = Grey24(3, 2, 1);
    Draw(src.get(), dst.get());
    EXPECT_EQ(At(dst.get(), 2, 1), c.Want) << static_cast<int>(c.Format);
    // Half opacity: weight 127.
    auto half = Grey24(3, 2, 1);
    Draw(src.get(), half.get(), pxboNormal, 255, 0.5);
    EXPECT_EQ(At(half.get(), 2, 1), (TRGB{Blend(1, c.Want.b, 127), Blend(1, c.Want.g, 127), Blend(1, c.Want.r, 127)}))
        << static_cast<int>(c.Format);
  }
}

TEST(RenderFormats, EmptyPaletteDrawsNothing) {
  auto src = TPXBitmap::CreateAllocated(4, 4, px8p);
  src->Fill(0);
  src->FPalette.clear();
  auto dst = Grey24(4, 4, 33);
  Draw(src.get(), dst.get());
  Draw(src.get(), dst.get(), pxboNormal, 100);
  EXPECT_EQ(At(dst.get(), 2, 2), (TRGB{33, 33, 33}));
}

TEST(RenderFormats, AlphaWeights) {
  auto src = Grey24(4, 1, 255);
  TPXBitmap* a = src->GetAlphaChannel();
  const uint8_t alpha[4] = {0, 1, 128, 255};
  std::memcpy(a->Scanline(0), alpha, 4);
  a->FFull = 0;
  auto dst = Grey24(4, 1, 0);
  Draw(src.get(), dst.get(), pxboNormal, 255, 1.0, true);
  EXPECT_EQ(At(dst.get(), 0, 0).r, 0);
  EXPECT_EQ(At(dst.get(), 1, 0).r, 0);
  EXPECT_EQ(At(dst.get(), 2, 0).r, 127);
  EXPECT_EQ(At(dst.get(), 3, 0).r, 254);
  // Transparency caps the alpha, opacity scales it: trunc(0.5 x min(100, 255)) = 50.
  auto capped = Grey24(4, 1, 0);
  Draw(src.get(), capped.get(), pxboNormal, 100, 0.5, true);
  EXPECT_EQ(At(capped.get(), 3, 0).r, Blend(0, 255, 50));
  EXPECT_EQ(At(capped.get(), 0, 0).r, 0);
}

TEST(RenderFormats, WeightRuleOnLongRows) {
  // Rows long enough for the vector paths, every alpha value, against the rule pixel by pixel.
  constexpr int32_t W = 67, H = 5;
  auto src = TPXBitmap::CreateAllocated(W, H, px24RGB);
  TPXBitmap* a = src->GetAlphaChannel();
  uint32_t seed = 99;
  auto next = [&] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      for (int k = 0; k < 3; ++k) src->Scanline(y)[3 * x + k] = next();
      a->Scanline(y)[x] = y == 0 ? 0 : static_cast<uint8_t>((x * 4 + y * 61) & 255);
    }
  a->FFull = 0;
  struct Case {
    int32_t Transparency;
    double Opacity;
    bool Alpha;
  };
  for (const Case c : {Case{255, 1.0, true}, Case{200, 0.7, true}, Case{255, 0.5, false}, Case{90, 1.0, false}}) {
    auto dst = TPXBitmap::CreateAllocated(W, H, px24RGB);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t i = 0; i < 3 * W; ++i) dst->Scanline(y)[i] = static_cast<uint8_t>(i * 7 + y);
    Draw(src.get(), dst.get(), pxboNormal, c.Transparency, c.Opacity, c.Alpha);
    for (int32_t y = 0; y < H; ++y)
      for (int32_t i = 0; i < 3 * W; ++i) {
        const int32_t A = c.Alpha ? a->Scanline(y)[i / 3] : 255;
        const int32_t h = static_cast<int32_t>(c.Opacity * std::min(c.Transparency, A));
        ASSERT_EQ(dst->Scanline(y)[i], Blend(static_cast<uint8_t>(i * 7 + y), src->Scanline(y)[i], h))
            << c.Transparency << " " << y << " " << i;
      }
  }
}

TEST(RenderFormats, RGB48BlendedIgnoresTheRange) {
  auto src = TPXBitmap::CreateAllocated(1, 1, pxRGB48);
  const TRGB48 p{2000, 2000, 2000};
  std::memcpy(src->Scanline(0), &p, 6);
  src->FDisplayRangeLow = 1000;
  src->FDisplayRangeHigh = 3000;
  auto plain = Grey24(1, 1, 0);
  Draw(src.get(), plain.get());
  // trunc((2000 - 1000) / 2000 x 65535) = 32767, high byte 127.
  EXPECT_EQ(At(plain.get(), 0, 0).r, 127);
  src->GetAlphaChannel()->FFull = 0;
  auto blended = Grey24(1, 1, 0);
  Draw(src.get(), blended.get(), pxboNormal, 255, 1.0, true);
  EXPECT_EQ(At(blended.get(), 0, 0).r, Blend(0, 2000 >> 8, 255));
}

TEST(RenderFormats, CMYKThroughTheProfilesOrTheRowConversion) {
  auto src = TPXBitmap::CreateAllocated(3, 1, pxCMYK);
  const TCMYK px[3] = {{255, 255, 255, 255}, {40, 200, 255, 230}, {128, 128, 128, 128}};
  std::memcpy(src->Scanline(0), px, sizeof(px));
  TRGB plainWant[3];
  CmykToRgbRow(px, plainWant, 3);
  auto dst = Grey24(3, 1, 0);
  Draw(src.get(), dst.get());
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At(dst.get(), x, 0), plainWant[x]);

  src->FImageProfile = std::make_unique<TPXICC>();
  src->FImageProfile->LoadDefaultCMYK();
  ASSERT_TRUE(src->FImageProfile->IsValid());
  // Without a display profile of its own a bitmap renders towards the one shared sRGB profile.
  ASSERT_TRUE(src->DisplayProfile()->IsValid());
  EXPECT_EQ(src->DisplayProfile(), dst->DisplayProfile());
  TPXICC reference;
  reference.LoadDefaultCMYK();
  TPXICC srgb;
  srgb.LoadSRGB();
  TRGB iccWant[3];
  ASSERT_TRUE(reference.Transform(&srgb, iccfCMYK, 3, iccWant, px, 0, 0, iccfBGR));
  Draw(src.get(), dst.get());
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At(dst.get(), x, 0), iccWant[x]);
  auto half = Grey24(3, 1, 0);
  Draw(src.get(), half.get(), pxboNormal, 255, 0.5);
  EXPECT_EQ(At(half.get(), 1, 0).g, Blend(0, iccWant[1].g, 127));

  GlobalSettingsInstance()->FDisplayICC = 0;
  Draw(src.get(), dst.get());
  GlobalSettingsInstance()->FDisplayICC = 1;
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At(dst.get(), x, 0), plainWant[x]);
}

TEST(RenderFormats, VirtualBitmapsAskTheirCallback) {
  TPXBitmap v;
  v.FWidth = 6;
  v.FHeight = 4;
  v.FPixelFormat = px24RGB;
  v.FBitCount = 24;
  v.FRowLen = 18;
  v.SetOnVirtualPixel(TPXVirtualPixelEvent([](TObject*, int32_t X, int32_t Y, void* P) {
    const TRGB c{static_cast<uint8_t>(X * 10), static_cast<uint8_t>(Y * 10), 99};
    std::memcpy(P, &c, 3);
  }));
  auto dst = Grey24(3, 2, 0);
  Draw(&v, dst.get());
  EXPECT_EQ(At(dst.get(), 2, 1), (TRGB{40, 20, 99}));
  auto blended = Grey24(3, 2, 0);
  Draw(&v, blended.get(), pxboNormal, 128);
  EXPECT_EQ(At(blended.get(), 2, 1), (TRGB{20, 10, 49}));
}

TEST(RenderFormats, RowReuseGivesTheSamePicture) {
  auto src = TPXBitmap::CreateAllocated(5, 5, px24RGB);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t i = 0; i < 15; ++i) src->Scanline(y)[i] = static_cast<uint8_t>(y * 40 + i);
  // Over a uniform destination, copying a repeated row gives what computing it gives.
  for (const TPXPixelFormat f : {px24RGB, px1g})
    for (const int32_t transparency : {255, 100}) {
      auto s = TPXBitmap::CreateCopy(src.get());
      if (f != px24RGB) s->ChangePixelFormat(f);
      auto a = Grey24(15, 15, 7), b = Grey24(15, 15, 7);
      TPXIntegerArray c1, r1, c2, r2;
      s->RenderToPXBitmapEx(a.get(), c1, r1, nullptr, 0, 0, 15, 15, 0, 0, 5, 5, false, false, transparency, rfNone,
                            true, pxboNormal, 1.0);
      s->RenderToPXBitmapEx(b.get(), c2, r2, nullptr, 0, 0, 15, 15, 0, 0, 5, 5, false, true, transparency, rfNone,
                            true, pxboNormal, 1.0);
      for (int32_t y = 0; y < 15; ++y) ASSERT_EQ(std::memcmp(a->Scanline(y), b->Scanline(y), 45), 0) << y;
    }
}

// The blended 24-bit render in bands of rows on several threads gives the one-pass picture,
// also where RowReuse copies repeated rows over a destination that is not uniform.
TEST(RenderFormats, BlendedBandsGiveTheOnePassPicture) {
  constexpr int32_t W = 600, H = 400, DH = 601;
  auto src = TPXBitmap::CreateAllocated(W, H, px24RGB);
  TPXBitmap* a = src->GetAlphaChannel();
  uint32_t seed = 5;
  auto next = [&] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      for (int k = 0; k < 3; ++k) src->Scanline(y)[3 * x + k] = next();
      a->Scanline(y)[x] = next();
    }
  a->FFull = 0;
  auto back = TPXBitmap::CreateAllocated(W, DH, px24RGB);
  for (int32_t y = 0; y < DH; ++y)
    for (int32_t i = 0; i < 3 * W; ++i) back->Scanline(y)[i] = next();
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int32_t saved = settings->FMaxThreads;
  for (const bool reuse : {false, true})
    for (const int32_t dh : {H, DH}) {  // 1:1, and rows repeated by the stretch
      auto render = [&](int32_t Threads) {
        settings->FMaxThreads = Threads;
        auto d = TPXBitmap::CreateCopy(back.get());
        TPXIntegerArray cols, rows;
        src->RenderToPXBitmapEx(d.get(), cols, rows, nullptr, 0, 0, W, dh, 0, 0, W, H, true, reuse, 255, rfNone, true,
                                pxboNormal, 1.0);
        return d;
      };
      auto one = render(1), four = render(4);
      for (int32_t y = 0; y < DH; ++y)
        ASSERT_EQ(std::memcmp(one->Scanline(y), four->Scanline(y), 3 * W), 0) << reuse << " " << dh << " " << y;
    }
  settings->FMaxThreads = saved;
}

// ---------------------------------------------------------------------------------------------
// Main road: a px24RGB picture with a faded alpha channel, a px1g and a px8g picture rendered fit
// into a px24RGB back buffer held by a platform bitmap, over a chessboard. The reference takes
// each destination pixel from the source pixel the truncated maps name (or, with a filter, from
// the processing engine's resampled picture) and mixes it in by the weight rule.

namespace {

constexpr int32_t kBackW = 37, kBackH = 23;

TRGB Chess(int32_t X, int32_t Y) { return ((X / 4 + Y / 4) & 1) ? TRGB{200, 200, 200} : TRGB{90, 90, 90}; }

std::unique_ptr<TPXBitmap> BackBuffer() {
  auto b = std::make_unique<TPXBitmap>();
  b->FLocation = pxTBitmap;
  EXPECT_TRUE(b->Allocate(kBackW, kBackH, px24RGB));
  EXPECT_EQ(b->Location(), pxTBitmap);
  for (int32_t y = 0; y < kBackH; ++y)
    for (int32_t x = 0; x < kBackW; ++x) {
      const TRGB c = Chess(x, y);
      std::memcpy(b->Scanline(y) + 3 * x, &c, 3);
    }
  return b;
}

std::unique_ptr<TPXBitmap> Picture(TPXPixelFormat Format, int32_t W, int32_t H) {
  auto b = TPXBitmap::CreateAllocated(W, H, Format);
  for (int32_t y = 0; y < H; ++y) {
    uint8_t* r = b->Scanline(y);
    for (int32_t x = 0; x < W; ++x) {
      if (Format == px1g) SetPixelBit(r, x, (x * 3 + y * 5) % 7 < 3);
      else if (Format == px8g) r[x] = static_cast<uint8_t>(x * 7 + y * 11);
      else r[3 * x] = static_cast<uint8_t>(x * 9), r[3 * x + 1] = static_cast<uint8_t>(y * 13),
           r[3 * x + 2] = static_cast<uint8_t>(255 - x * 5 - y);
    }
  }
  if (Format == px24RGB) {
    TPXBitmap* a = b->GetAlphaChannel();
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) a->Scanline(y)[x] = static_cast<uint8_t>(std::min(255, x * 255 / (W - 1) + y));
    a->FFull = 0;
  }
  return b;
}

TRGB PixelOf(TPXBitmap* B, int32_t X, int32_t Y) {
  const uint8_t* r = B->Scanline(Y);
  switch (B->PixelFormat()) {
    case px1g: return GetPixelBit(r, X) ? TRGB{255, 255, 255} : TRGB{0, 0, 0};
    case px8g: return TRGB{r[X], r[X], r[X]};
    default: return TRGB{r[3 * X], r[3 * X + 1], r[3 * X + 2]};
  }
}

}  // namespace

class MainRoadRender : public ::testing::TestWithParam<std::tuple<TPXPixelFormat, TResampleFilter>> {};

TEST_P(MainRoadRender, MatchesTheReference) {
  const auto [format, filter] = GetParam();
  const int32_t sw = 61, sh = 45;
  auto pic = Picture(format, sw, sh);
  // Fit: 61 x 45 into 37 x 23 keeps the aspect ratio: 31 x 23, centred.
  const int32_t dw = 31, dh = 23, dx = 3, dy = 0;
  auto back = BackBuffer();
  pic->RenderToPXBitmap(back.get(), dx, dy, dw, dh, 0, 0, sw, sh, true, 255, filter, pxboNormal, 1.0);

  // With a filter the reference samples the processing engine's picture at the destination size.
  std::unique_ptr<TPXBitmap> resampled;
  TPXBitmap* ref = pic.get();
  const bool filtered = filter != rfNone;
  if (filtered) {
    resampled = TPXBitmap::CreateAllocated(dw, dh, format == px8g ? px8g : px24RGB);
    if (format == px1g) {
      // A shrunk 1-bit picture is reduced to grey coverage from the whole source rectangle.
      ResampleMonoToGray(pic.get(), 0, 0, sw - 1, sh - 1, resampled.get());
    } else {
      // Other formats resample only the source columns and rows the truncated maps reach.
      const TRect used(0, 0, (dw - 1) * sw / dw, (dh - 1) * sh / dh);
      auto crop = TPXBitmap::CreateCrop(pic.get(), used);
      ResampleBitmap(crop.get(), resampled.get(), nullptr, filter, TPXProgressEvent(), nullptr, nullptr);
      if (format == px24RGB) ResampleGray8(crop->GetAlphaChannel(), resampled->GetAlphaChannel(), filter, nullptr);
    }
    ref = resampled.get();
  }
  const double rx = filtered ? 1.0 : static_cast<double>(sw) / dw, ry = filtered ? 1.0 : static_cast<double>(sh) / dh;
  for (int32_t y = 0; y < kBackH; ++y)
    for (int32_t x = 0; x < kBackW; ++x) {
      TRGB want = Chess(x, y);
      if (x >= dx && x < dx + dw && y >= dy && y < dy + dh) {
        const int32_t sx = static_cast<int32_t>((x - dx) * rx), sy = static_cast<int32_t>((y - dy) * ry);
        const TRGB s = PixelOf(ref, sx, sy);
        if (format == px24RGB) {
          const int32_t h = ref->GetAlphaChannel()->Scanline(sy)[sx];
          want = TRGB{Blend(want.b, s.b, h), Blend(want.g, s.g, h), Blend(want.r, s.r, h)};
        } else {
          want = s;
        }
      }
      ASSERT_EQ(At(back.get(), x, y), want) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, MainRoadRender,
                         ::testing::Combine(::testing::Values(px24RGB, px1g, px8g),
                                            ::testing::Values(rfNone, rfFastLinear)));
