// The kernel resampler: contributor lists, end pixels, single-pixel axes, clamping, the bands of
// the threaded passes, golden outputs, progress and the way a band's exception reaches the caller.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "core/hypxdefs.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

TEST(ResampleKernel, TriangleEnlargementKeepsBothEndPixels) {
  auto src = RsRgbRow({40, 200});
  auto dst = RsNew(5, 1, px24RGB);
  ResampleBitmap(src.get(), dst.get(), nullptr, rfTriangle, {}, nullptr, nullptr);
  // Centres 0, 0.25, 0.5, 0.75, 1: weights (256), (192, 64), (128, 128), (64, 192), (256).
  EXPECT_EQ(RsRedRow(dst.get(), 0), (std::vector<int>{40, 80, 120, 160, 200}));
}

TEST(ResampleKernel, ContributorLists) {
  // A box list at scale 1 is the pixel itself with weight 256.
  const auto box = BuildContributors(6, 6, rfNearest);
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(box[static_cast<size_t>(i)].size(), 1u);
    EXPECT_EQ(box[static_cast<size_t>(i)][0].Index, i);
    EXPECT_EQ(box[static_cast<size_t>(i)][0].Weight, 256);
  }
  // A single-pixel axis uses scale D / S (no division by S - 1) and mirrors onto pixel 0.
  const auto one = BuildContributors(1, 4, rfTriangle);
  ASSERT_EQ(one.size(), 4u);
  for (const auto& l : one) {
    int total = 0;
    for (const auto& c : l) {
      EXPECT_EQ(c.Index, 0);
      total += c.Weight;
    }
    EXPECT_EQ(total, 256);
  }
  // Weights are kernel x 256 rounded half to even: 5 to 2 with triangle, scale 1/4.
  const auto red = BuildContributors(5, 2, rfTriangle);
  ASSERT_EQ(red[0].size(), 7u);  // j = -3..3 mirrored: K(j/4) x 64 = 16, 32, 48, 64, 48, 32, 16; the ends are 0
  int total = 0;
  for (const auto& c : red[0]) total += c.Weight;
  EXPECT_EQ(total, 64 + 2 * (48 + 32 + 16));
}

TEST(ResampleKernel, SinglePixelSources) {
  // 1 x 3 to 4 x 3: every row takes its source pixel.
  auto col = RsNew(1, 3, px24RGB);
  for (int y = 0; y < 3; ++y) col->SetPixel24(0, y, TRGB{static_cast<uint8_t>(10 * y + 5), 0, 0});
  auto dst = RsNew(4, 3, px24RGB);
  ResampleBitmap(col.get(), dst.get(), nullptr, rfTriangle, {}, nullptr, nullptr);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst->GetPixelRGB(x, y).b, 10 * y + 5);
  // A 1 x 1 source fills the destination with its colour, in every format.
  for (TPXPixelFormat f : {px24RGB, px8g, px16g, pxRGB48}) {
    auto one = RsRandom(1, 1, f, 1);
    auto out = RsNew(3, 2, f);
    ResampleWithAlpha(one.get(), out.get(), rfLanczos3, {}, nullptr);
    const int bpp = one->BitCount() / 8;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x)
        for (int k = 0; k < bpp; ++k) EXPECT_EQ(out->Scanline(y)[x * bpp + k], one->Scanline(0)[k]);
  }
}

TEST(ResampleKernel, NegativeLobesAreClampedNotWrapped) {
  for (TResampleFilter f : {rfLanczos3, rfMitchell}) {
    // 8-bit: a hard edge enlarged; a wrapped undershoot would turn dark pixels bright.
    auto src = RsGray({{0, 0, 0, 0, 255, 255, 255, 255}});
    auto dst = RsNew(32, 1, px8g);
    ResampleGray8(src.get(), dst.get(), f, nullptr);
    const auto row = RsGrayRow(dst.get(), 0);
    for (int x = 0; x < 13; ++x) EXPECT_LT(row[static_cast<size_t>(x)], 128) << x;
    for (int x = 19; x < 32; ++x) EXPECT_GT(row[static_cast<size_t>(x)], 127) << x;
    // 16-bit and 24-bit the same.
    auto s16 = RsNew(8, 1, px16g);
    for (int x = 0; x < 8; ++x) s16->SetPixel16(x, 0, x < 4 ? 0 : 65535);
    auto d16 = RsNew(32, 1, px16g);
    ResampleGray16(s16.get(), d16.get(), f);
    for (int x = 0; x < 13; ++x) EXPECT_LT(d16->GetPixel16(x, 0), 32768) << x;
    for (int x = 19; x < 32; ++x) EXPECT_GT(d16->GetPixel16(x, 0), 32767) << x;
    auto s24 = RsRgbRow({0, 0, 0, 0, 255, 255, 255, 255});
    auto d24 = RsNew(32, 1, px24RGB);
    ResampleBitmap(s24.get(), d24.get(), nullptr, f, {}, nullptr, nullptr);
    for (int x = 0; x < 13; ++x) EXPECT_LT(d24->GetPixelRGB(x, 0).g, 128) << x;
    for (int x = 19; x < 32; ++x) EXPECT_GT(d24->GetPixelRGB(x, 0).g, 127) << x;
  }
}

TEST(ResampleKernel, StrongReductionIsTheMeanNotBlack) {
  // At 999:1 every documented weight rounds to 0; the finer list keeps the kernel-weighted mean.
  auto src = RsRgbRow(std::vector<int>(1000, 200), 2);
  auto dst = RsNew(2, 2, px24RGB);
  for (TResampleFilter f : {rfTriangle, rfBSpline, rfLanczos3, rfNearest}) {
    ResampleBitmap(src.get(), dst.get(), nullptr, f, {}, nullptr, nullptr);
    EXPECT_EQ(RsRedRow(dst.get(), 1), (std::vector<int>{200, 200})) << static_cast<int>(f);
    auto g = RsGray({std::vector<int>(1000, 90)});
    auto gd = RsNew(1, 1, px8g);
    ResampleGray8(g.get(), gd.get(), f, nullptr);
    EXPECT_EQ(gd->Scanline(0)[0], 90);
  }
}

TEST(ResampleKernel, BandsSplitRowsWithTheRestInTheLast) {
  using B = std::vector<std::pair<int32_t, int32_t>>;
  EXPECT_EQ(ResampleBands(10, 4), (B{{0, 2}, {2, 2}, {4, 2}, {6, 4}}));
  EXPECT_EQ(ResampleBands(10, 1), (B{{0, 10}}));
  EXPECT_EQ(ResampleBands(10, 0), (B{{0, 10}}));  // at least one band
  EXPECT_EQ(ResampleBands(3, 8), (B{{0, 1}, {1, 1}, {2, 1}}));
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  s->FMaxThreads = 0;
  auto big = RsNew(400, 400, px24RGB);
  EXPECT_EQ(ResampleBandCount(big.get()), 1);
  s->FMaxThreads = saved;
}

TEST(ResampleKernel, ResultIsTheSameForEveryBandCount) {
  auto src = RsRandom(257, 193, px24RGB, 21);
  for (TResampleFilter f : {rfLanczos3, rfTriangle, rfBell}) {
    auto ref = RsNew(100, 311, px24RGB);
    ResampleKernel24(src.get(), ref.get(), f, {}, nullptr, 1);
    for (int bands : {2, 4, 8}) {
      auto dst = RsNew(100, 311, px24RGB);
      ResampleKernel24(src.get(), dst.get(), f, {}, nullptr, bands);
      EXPECT_TRUE(RsSameBytes(ref.get(), dst.get())) << bands;
    }
  }
}

// The 24-bit kernel path's whole output, reduced and enlarged across several row chunks, is the
// one it always was: golden hashes of noise pictures (noise drives every clamp and rounding).
TEST(ResampleKernel, OutputMatchesGoldenHashes) {
  auto big = RsRandom(257, 700, px24RGB, 31), small = RsRandom(120, 300, px24RGB, 32);
  struct Case {
    TResampleFilter Filter;
    bool Down;
    uint64_t Hash;
  };
  const Case cases[] = {
      {rfLanczos3, true, 18429900457644280047ull}, {rfLanczos3, false, 2979859303430187579ull},
      {rfMitchell, true, 3366023369696359238ull},  {rfMitchell, false, 17560512035069161001ull},
      {rfTriangle, true, 15792385727474444756ull}, {rfTriangle, false, 17156140887836261146ull},
  };
  for (const Case& c : cases)
    for (int bands : {1, 3}) {
      auto dst = c.Down ? RsNew(100, 611, px24RGB) : RsNew(333, 900, px24RGB);
      ResampleKernel24(c.Down ? big.get() : small.get(), dst.get(), c.Filter, {}, nullptr, bands);
      EXPECT_EQ(RsPixelHash(dst.get()), c.Hash) << static_cast<int>(c.Filter) << (c.Down ? " down " : " up ") << bands;
    }
}

// The grey, 16-bit and 1-bit kernel paths (every alpha channel goes through the grey one) give
// the outputs they always gave, on one band and on several.
TEST(ResampleKernel, GreyAndMonoOutputsMatchGoldenHashes) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  auto big = RsRandom(257, 700, px8g, 33), small = RsRandom(120, 300, px8g, 34);
  auto g16 = RsRandom(200, 500, px16g, 35), mono = RsRandom(300, 600, px1g, 36);
  for (int32_t threads : {1, 3}) {
    s->FMaxThreads = threads;
    struct Case {
      TResampleFilter Filter;
      bool Down;
      uint64_t Hash;
    };
    for (const Case& c : {Case{rfLanczos3, true, 9159891237533364854ull}, Case{rfLanczos3, false, 2755686197056239216ull},
                          Case{rfTriangle, true, 11005294754129478538ull},
                          Case{rfTriangle, false, 1333052029361078103ull}}) {
      auto dst = c.Down ? RsNew(100, 611, px8g) : RsNew(333, 900, px8g);
      ResampleGray8(c.Down ? big.get() : small.get(), dst.get(), c.Filter, nullptr);
      EXPECT_EQ(RsPixelHash(dst.get()), c.Hash) << static_cast<int>(c.Filter) << c.Down << " " << threads;
    }
    auto d16 = RsNew(90, 333, px16g);
    ResampleGray16(g16.get(), d16.get(), rfLanczos3);
    EXPECT_EQ(RsPixelHash(d16.get()), 3670252557418078700ull) << threads;
    auto dm = RsNew(150, 290, px24RGB);
    ResampleMono(mono.get(), dm.get(), rfBell);
    EXPECT_EQ(RsPixelHash(dm.get()), 7460451170036182529ull) << threads;
  }
  s->FMaxThreads = saved;
}

struct ProgressLog {
  std::mutex Lock;
  std::vector<int> Values;
  std::set<std::thread::id> Threads;
  TPXProgressEvent Event() {
    return TPXProgressEvent([this](TObject*, int32_t v) {
      std::lock_guard<std::mutex> g(Lock);
      Values.push_back(v);
      Threads.insert(std::this_thread::get_id());
    });
  }
};

TEST(ResampleKernel, ProgressStaysBelow100AndRunsWhereTheBandsRun) {
  auto src = RsRandom(300, 300, px24RGB, 22);
  {
    ProgressLog log;
    auto dst = RsNew(150, 120, px24RGB);
    ResampleKernel24(src.get(), dst.get(), rfMitchell, log.Event(), nullptr, 4);
    ASSERT_FALSE(log.Values.empty());
    EXPECT_EQ(log.Values.front(), 0);
    EXPECT_LT(*std::max_element(log.Values.begin(), log.Values.end()), 100);
    EXPECT_GE(log.Values.back(), 99);
    EXPECT_EQ(log.Threads.size(), 1u);  // band 0's worker runs both passes of its rows
  }
  // Below the pixel threshold: one band, in the caller's thread.
  {
    auto small = RsRandom(100, 100, px24RGB, 23);
    EXPECT_EQ(ResampleBandCount(small.get()), 1);
    ProgressLog log;
    auto dst = RsNew(50, 50, px24RGB);
    ResampleBitmap(small.get(), dst.get(), nullptr, rfTriangle, log.Event(), nullptr, nullptr);
    EXPECT_EQ(log.Threads, (std::set<std::thread::id>{std::this_thread::get_id()}));
  }
  // A file-stored source: one band in the caller's thread, and the same pixels.
  {
    auto filed = std::make_unique<TPXBitmap>();
    filed->FMemoryLimit = 0;
    ASSERT_TRUE(filed->Allocate(300, 300, px24RGB));
    ASSERT_EQ(filed->Location(), pxFile);
    for (int y = 0; y < 300; ++y) std::memcpy(filed->Scanline(y), src->Scanline(y), 900);
    EXPECT_EQ(ResampleBandCount(filed.get()), 1);
    ProgressLog log;
    auto a = RsNew(150, 120, px24RGB), b = RsNew(150, 120, px24RGB);
    ResampleBitmap(filed.get(), a.get(), nullptr, rfLanczos3, log.Event(), nullptr, nullptr);
    ResampleKernel24(src.get(), b.get(), rfLanczos3, {}, nullptr, 4);
    EXPECT_EQ(log.Threads, (std::set<std::thread::id>{std::this_thread::get_id()}));
    EXPECT_TRUE(RsSameBytes(a.get(), b.get()));
  }
}

TEST(ResampleKernel, AnExceptionInABandReachesTheCaller) {
  auto src = RsRandom(200, 200, px24RGB, 24);
  auto dst = RsNew(80, 80, px24RGB);
  const auto caller = std::this_thread::get_id();
  TPXProgressEvent thrower([caller](TObject*, int32_t) {
    if (std::this_thread::get_id() != caller) throw EPXException("band failed");
  });
  EXPECT_EQ(MessageOf<EPXException>([&] { ResampleKernel24(src.get(), dst.get(), rfTriangle, thrower, nullptr, 4); }),
            "band failed");
  // In one band the same exception passes straight through.
  TPXProgressEvent always([](TObject*, int32_t) { throw EPXException("inline failed"); });
  EXPECT_EQ(MessageOf<EPXException>([&] { ResampleKernel24(src.get(), dst.get(), rfTriangle, always, nullptr, 1); }),
            "inline failed");
}

TEST(ResampleKernel, MonoAndGreyKernelPathsAgreeWithThe24BitPath) {
  // A 1-bit picture read as 0/255 and a grey picture go through the same lists as 24-bit.
  auto mono = RsRandom(37, 29, px1g, 25);
  auto asRgb = RsNew(37, 29, px24RGB);
  auto asGray = RsNew(37, 29, px8g);
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 37; ++x) {
      const uint8_t v = GetPixelBit(mono->Scanline(y), x) ? 255 : 0;
      asRgb->SetPixel24(x, y, TRGB{v, v, v});
      asGray->Scanline(y)[x] = v;
    }
  for (TResampleFilter f : {rfTriangle, rfHermite, rfBSpline, rfLinear}) {
    auto a = RsNew(53, 11, px24RGB), b = RsNew(53, 11, px24RGB), g = RsNew(53, 11, px8g);
    ResampleMono(mono.get(), a.get(), f);
    ResampleKernel24(asRgb.get(), b.get(), f, {}, nullptr, 1);
    ResampleGray8(asGray.get(), g.get(), f, nullptr);
    EXPECT_TRUE(RsSameBytes(a.get(), b.get())) << static_cast<int>(f);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 53; ++x) ASSERT_EQ(g->Scanline(y)[x], b->GetPixelRGB(x, y).r);
  }
}

TEST(ResampleKernel, PassesFollowTheIntegerRuleExactly) {
  // A direct rendering of the two passes (plain integer division, total 0 taken as 256 in the
  // horizontal pass) against the optimised path.
  auto src = RsRandom(61, 47, px24RGB, 26);
  for (TResampleFilter f : {rfLanczos3, rfMitchell, rfHermite, rfBSpline}) {
    for (auto [dw, dh] : {std::pair{23, 90}, std::pair{130, 17}}) {
      auto dst = RsNew(dw, dh, px24RGB);
      ResampleKernel24(src.get(), dst.get(), f, {}, nullptr, 3);
      const auto hx = BuildContributors(61, dw, f), vy = BuildContributors(47, dh, f);
      std::vector<int> work(static_cast<size_t>(dw) * 47 * 3);
      for (int y = 0; y < 47; ++y)
        for (int x = 0; x < dw; ++x) {
          int total = 0, acc[3] = {0, 0, 0};
          for (const auto& c : hx[static_cast<size_t>(x)]) {
            total += c.Weight;
            for (int k = 0; k < 3; ++k) acc[k] += c.Weight * src->Scanline(y)[c.Index * 3 + k];
          }
          if (total == 0) total = 256;
          for (int k = 0; k < 3; ++k) work[(static_cast<size_t>(y) * dw + x) * 3 + k] = std::clamp(acc[k] / total, 0, 255);
        }
      for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
          int total = 0, acc[3] = {0, 0, 0};
          for (const auto& c : vy[static_cast<size_t>(y)]) {
            total += c.Weight;
            for (int k = 0; k < 3; ++k) acc[k] += c.Weight * work[(static_cast<size_t>(c.Index) * dw + x) * 3 + k];
          }
          for (int k = 0; k < 3; ++k) {
            const int v = total == 0 ? static_cast<int>(static_cast<uint32_t>(acc[k]) >> 8) : acc[k] / total;
            ASSERT_EQ(dst->Scanline(y)[x * 3 + k], std::clamp(v, 0, 255)) << static_cast<int>(f) << " " << x << "," << y;
          }
        }
    }
  }
}

}  // namespace
