// The resampling front: the size rule, routing by filter and pixel format, the alpha channel,
// the nearest stretch and the transparent-pixel fill.
#include <gtest/gtest.h>

#include <cstring>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

TEST(ResampleFront, CalcResampleSizeTable) {
  struct Case {
    int w, h;
    bool fit;
    int ew, eh;
  } cases[] = {
      {-1, 150, false, 200, 150}, {200, -1, false, 200, 150}, {0, 100, false, 400, 100},
      {-50, 60, false, 50, 60},   {100, 100, true, 100, 75},  {-1, -1, false, -1, -1},  // both negative: unchanged
      {-1, 1, false, 1, 1},       {-7, -3, true, -7, -3},     {800, 900, true, 800, 600},  // fit enlarges too
  };
  for (const Case& c : cases) {
    int w = c.w, h = c.h;
    CalcResampleSize(w, h, 400, 300, c.fit);
    EXPECT_EQ(w, c.ew) << c.w << "x" << c.h;
    EXPECT_EQ(h, c.eh) << c.w << "x" << c.h;
  }
}

TEST(ResampleFront, EqualSizesCopyExactlyWhateverTheFilter) {
  auto src = RsRandom(13, 7, px24RGB, 3);
  src->GetAlphaChannel();
  src->SetAlpha(2, 3, 17);
  for (int f = 0; f <= 17; ++f) {
    auto dst = RsNew(13, 7, px24RGB);
    ResampleWithAlpha(src.get(), dst.get(), static_cast<TResampleFilter>(f), {}, nullptr);
    EXPECT_TRUE(RsSameBytes(src.get(), dst.get())) << f;
    ASSERT_TRUE(dst->HasAlphaChannel()) << f;
    EXPECT_EQ(dst->GetAlpha(2, 3), 17) << f;
  }
}

TEST(ResampleFront, AlphaUsesThePicturesFilterAndKeepsTheOpaqueFlag) {
  auto src = RsRandom(20, 10, px24RGB, 4);
  auto alpha = RsRandom(20, 10, px8g, 5);
  TPXBitmap* a = src->GetAlphaChannel();
  for (int y = 0; y < 10; ++y) std::memcpy(a->Scanline(y), alpha->Scanline(y), 20);
  src->PeekAlphaChannel()->FFull = 0;
  for (TResampleFilter f : {rfNone, rfTriangle, rfLanczos3, rfFastLinear, rfBilinear}) {
    auto dst = RsNew(7, 23, px24RGB);
    ResampleWithAlpha(src.get(), dst.get(), f, {}, nullptr);
    auto expect = RsNew(7, 23, px8g);
    if (f == rfNone) StretchNearest(alpha.get(), expect.get(), nullptr, {});
    else ResampleGray8(alpha.get(), expect.get(), f, nullptr);
    ASSERT_TRUE(dst->HasAlphaChannel());
    EXPECT_TRUE(RsSameBytes(dst->PeekAlphaChannel(), expect.get())) << static_cast<int>(f);
    EXPECT_EQ(dst->PeekAlphaChannel()->FFull, 0);
  }
  // An opaque source alpha stays flagged opaque.
  auto opaque = RsRandom(8, 8, px24RGB, 6);
  opaque->GetAlphaChannel();
  ASSERT_EQ(opaque->PeekAlphaChannel()->FFull, 1);
  auto dst = RsNew(4, 4, px24RGB);
  ResampleWithAlpha(opaque.get(), dst.get(), rfMitchell, {}, nullptr);
  EXPECT_EQ(dst->PeekAlphaChannel()->FFull, 1);
}

TEST(ResampleFront, ResultFormatsByFilterAndSource) {
  struct Case {
    TPXPixelFormat src;
    TResampleFilter filter;
    TPXPixelFormat expect;
  } cases[] = {
      {px1g, rfTriangle, px24RGB},   {px1g, rfProjectBW, px1g},      {px1g, rfFastLinear, px24RGB},
      {px1g, rfNone, px1g},          {pxRGB48, rfTriangle, px24RGB}, {px32RGB, rfLanczos3, px24RGB},
      {px8g, rfMitchell, px8g},      {px16g, rfHermite, px16g},      {pxRGB48, rfBicubic, pxRGB48},
      {px24RGB, rfProjectWB, px1g},  {px8p, rfFastLinear, px24RGB},  {px8p, rfNone, px8p},
  };
  for (const Case& c : cases) {
    auto src = RsRandom(16, 12, c.src, 7);
    auto dst = RsNew(9, 5, c.src);
    ResampleWithAlpha(src.get(), dst.get(), c.filter, {}, nullptr);
    EXPECT_EQ(dst->PixelFormat(), c.expect) << static_cast<int>(c.src) << " " << static_cast<int>(c.filter);
    EXPECT_EQ(dst->Width(), 9);
    EXPECT_EQ(dst->Height(), 5);
  }
  // The 1-bit kernel result is grey: its three bytes agree.
  auto mono = RsRandom(16, 12, px1g, 8);
  auto grey = RsNew(9, 5, px1g);
  ResampleWithAlpha(mono.get(), grey.get(), rfTriangle, {}, nullptr);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) {
      const TRGB c = grey->GetPixelRGB(x, y);
      EXPECT_TRUE(c.r == c.g && c.g == c.b);
    }
}

TEST(ResampleFront, ScalerFiltersAreServedByTheirOwnKind) {
  // 14 nearest, 15 and 17 bilinear area, 16 bicubic area: never an unfilled destination.
  auto src = RsRandom(30, 20, px24RGB, 9);
  const std::pair<int, TResampleFilter> map[] = {
      {14, rfNone}, {15, rfBilinear}, {16, rfBicubic}, {17, rfBilinear}};
  for (auto [stored, own] : map) {
    auto a = RsNew(11, 41, px24RGB), b = RsNew(11, 41, px24RGB);
    ResampleWithAlpha(src.get(), a.get(), static_cast<TResampleFilter>(stored), {}, nullptr);
    ResampleWithAlpha(src.get(), b.get(), own, {}, nullptr);
    EXPECT_TRUE(RsSameBytes(a.get(), b.get())) << stored;
    EXPECT_FALSE(a->IsAllZero()) << stored;
  }
}

TEST(ResampleFront, DefaultFilterWithoutAKernelIsRoutedSoundly) {
  // A px32RGB source with rfBilinear falls back to the settings' default filter.
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const uint8_t saved = s->FDefaultResampleFilter;
  auto src = RsRandom(10, 10, px32RGB, 10);
  for (int def : {0, 10, 11, 16}) {
    s->FDefaultResampleFilter = static_cast<uint8_t>(def);
    auto dst = RsNew(5, 5, px32RGB);
    ResampleWithAlpha(src.get(), dst.get(), rfBilinear, {}, nullptr);
    if (def == 0) {
      ASSERT_EQ(dst->PixelFormat(), px32RGB);
      EXPECT_EQ(dst->GetPixel32RGB(1, 1), src->GetPixel32RGB(2, 2));
    } else {
      ASSERT_EQ(dst->PixelFormat(), px24RGB);
      auto copy = RsNew(10, 10, px24RGB);
      copy->ConvertPixelFormat(src.get());
      auto expect = RsNew(5, 5, px24RGB);
      ResampleFastLinear24(copy.get(), expect.get(), nullptr, {}, nullptr);
      EXPECT_TRUE(RsSameBytes(dst.get(), expect.get())) << def;
    }
  }
  s->FDefaultResampleFilter = saved;
}

TEST(ResampleFront, StretchNearestColumnsRowsAndPalette) {
  auto src = RsNew(3, 2, px8p);
  for (int x = 0; x < 3; ++x) {
    src->Scanline(0)[x] = static_cast<uint8_t>(x + 1);
    src->Scanline(1)[x] = static_cast<uint8_t>(x + 11);
  }
  src->SetPaletteColor(2, TRGB{1, 2, 3});
  auto dst = RsNew(7, 3, px8p);
  std::vector<int> per;
  StretchNearest(src.get(), dst.get(), nullptr, TPXProgressEvent([&](TObject*, int32_t v) { per.push_back(v); }));
  EXPECT_EQ(RsGrayRow(dst.get(), 0), (std::vector<int>{1, 1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(RsGrayRow(dst.get(), 1), (std::vector<int>{1, 1, 1, 2, 2, 3, 3}));  // 2/3 x 1 truncates to 0
  EXPECT_EQ(RsGrayRow(dst.get(), 2), (std::vector<int>{11, 11, 11, 12, 12, 13, 13}));
  TRGB c;
  dst->GetPaletteColor(2, c);
  EXPECT_EQ(c, (TRGB{1, 2, 3}));
  EXPECT_EQ(per, (std::vector<int>{0, 28, 57}));
  // 1-bit and 48-bit pixels move whole.
  auto mono = RsNew(3, 1, px1g);
  mono->Scanline(0)[0] = 0xA0;  // 1 0 1
  auto monoDst = RsNew(7, 1, px1g);
  StretchNearest(mono.get(), monoDst.get(), nullptr, {});
  EXPECT_EQ(monoDst->Scanline(0)[0] & 0xFE, 0xE6);  // 1 1 1 0 0 1 1
  auto deep = RsRandom(3, 1, pxRGB48, 11);
  auto deepDst = RsNew(5, 1, pxRGB48);
  StretchNearest(deep.get(), deepDst.get(), nullptr, {});
  EXPECT_EQ(deepDst->GetPixel48(4, 0), deep->GetPixel48(2, 0));
  EXPECT_EQ(deepDst->GetPixel48(1, 0), deep->GetPixel48(0, 0));
}

TEST(ResampleFront, FillTransparentPixels) {
  auto b = RsRandom(4, 3, px24RGB, 12);
  auto before = TPXBitmap::CreateCopy(b.get());
  FillTransparentPixels(b.get(), 0x102030);
  EXPECT_TRUE(RsSameBytes(b.get(), before.get()));
  EXPECT_FALSE(b->HasAlphaChannel());
  b->GetAlphaChannel();
  b->SetAlpha(1, 2, 0);
  FillTransparentPixels(b.get(), 0x102030);
  EXPECT_EQ(b->GetPixelRGB(1, 2), (TRGB{0x30, 0x20, 0x10}));
  EXPECT_EQ(b->GetPixelRGB(0, 0), before->GetPixelRGB(0, 0));
}

TEST(ResampleFront, ResampleInPlaceAndEmptyInput) {
  auto b = RsRgbRow({50, 50, 50, 50}, 4);
  ResampleInPlace(b.get(), rfTriangle, 2, 3, {}, nullptr);
  ASSERT_EQ(b->Width(), 2);
  ASSERT_EQ(b->Height(), 3);
  EXPECT_EQ(b->GetPixelRGB(1, 2), (TRGB{50, 50, 50}));
  // Zero-sized sources and destinations change nothing and raise nothing.
  TPXBitmap empty;
  auto dst = RsRgbRow({9, 9}, 2);
  for (int f = 0; f <= 17; ++f) {
    ResampleWithAlpha(&empty, dst.get(), static_cast<TResampleFilter>(f), {}, nullptr);
    ResampleBitmap(&empty, dst.get(), nullptr, static_cast<TResampleFilter>(f), {}, nullptr, nullptr);
    EXPECT_EQ(dst->GetPixelRGB(1, 1).r, 9);
    ResampleWithAlpha(dst.get(), &empty, static_cast<TResampleFilter>(f), {}, nullptr);
  }
  ResampleInPlace(b.get(), rfTriangle, -1, -1, {}, nullptr);
  EXPECT_EQ(b->Width(), 2);
}

}  // namespace

namespace {

TEST(ResampleFront, MismatchedFormatsStayInsideTheBitmaps) {
  // Every routine called with formats it does not expect either converts the destination or
  // does nothing; the sanitizers watch the row accesses.
  const TPXPixelFormat formats[] = {px1g, px8g, px16g, px24RGB, pxRGB48, px32RGB};
  for (TPXPixelFormat sf : formats)
    for (TPXPixelFormat df : formats) {
      auto src = RsRandom(9, 7, sf, 50);
      auto run = [&](auto fn) {
        auto dst = RsNew(13, 4, df);
        fn(dst.get());
        EXPECT_EQ(dst->Width(), 13);
      };
      run([&](TPXBitmap* d) { ResampleFastLinear24(src.get(), d, nullptr, {}, nullptr); });
      run([&](TPXBitmap* d) { ResampleFastLinearGray8(src.get(), d, nullptr, {}, nullptr); });
      run([&](TPXBitmap* d) { ResampleFastLinearGray16(src.get(), d, nullptr, {}); });
      run([&](TPXBitmap* d) { ResampleKernel24(src.get(), d, rfTriangle, {}, nullptr, 2); });
      run([&](TPXBitmap* d) { ResampleGray8(src.get(), d, rfBell, nullptr); });
      run([&](TPXBitmap* d) { ResampleGray16(src.get(), d, rfBell); });
      run([&](TPXBitmap* d) { ResampleMono(src.get(), d, rfBell); });
      run([&](TPXBitmap* d) { ResampleBilinearBicubic(src.get(), d, nullptr, true, {}, nullptr); });
      run([&](TPXBitmap* d) { ResampleBilinearBicubic16(src.get(), d, true, {}, nullptr); });
      run([&](TPXBitmap* d) { StretchNearest(src.get(), d, nullptr, {}); });
      run([&](TPXBitmap* d) { ResampleBitmap(src.get(), d, nullptr, rfBicubic, {}, nullptr, nullptr); });
      run([&](TPXBitmap* d) { ResampleMonoLinear(src.get(), d, nullptr, {}); });
      run([&](TPXBitmap* d) { ProjectToMono(src.get(), d, false, {}, nullptr); });
    }
}

}  // namespace
