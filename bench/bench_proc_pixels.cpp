// Pixel routines of the processing engine on a 4000 x 3000 picture in memory.
//   Gray, FlipH/FlipV (px24RGB and px1g; FlipH1Odd at a width not a multiple of 8), ResizeCanvas:
//   ratio = our time / memcpy of the picture's bytes (goal at most 3).
//   Monochrome: ratio = our ordered dither / ImageMagick's -ordered-dither o8x8, the latter taken
//   as the time of "convert in.ppm -ordered-dither o8x8 out.pgm" less that of "convert in.ppm
//   out.pgm" (the file reading and writing both share); goal below 1. Skipped without convert.
//   Wave: WaveDistortBitmap with an alpha channel against a plain bilinear remap of the same
//   picture and alpha through a map prepared outside the timing (libvips is not used: its
//   development files are not installed here); goal at most 2.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_color.h"
#include "proc/pixoranproc_colour.h"
#include "proc/pixoranproc_geometry.h"
#include "proc/pixoranproc_wave.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

std::unique_ptr<TPXBitmap> Picture(TPXPixelFormat f, int32_t w = kWidth, int32_t h = kHeight) {
  auto b = std::make_unique<TPXBitmap>();
  b->FLocation = pxMemory;
  b->FMemoryLimit = INT64_MAX;
  if (!b->Allocate(w, h, f)) return nullptr;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->Scanline(y);
    for (int64_t i = 0; i < b->RowLen(); ++i) row[i] = static_cast<uint8_t>(i * 7 + y * 3 + (i >> 5));
  }
  return b;
}

// Times Op against a memcpy of the picture's bytes; Setup (untimed) runs before each Op.
template <class Setup, class Op>
void AgainstMemcpy(benchmark::State& state, TPXBitmap* b, Setup setup, Op op) {
  const size_t bytes = static_cast<size_t>(b->RowLen()) * static_cast<size_t>(b->Height());
  std::vector<uint8_t> copy(bytes);
  double tOurs = 0, tCopy = 0;
  for (auto _ : state) {
    setup();
    const auto a = BenchClock::now();
    op();
    const auto m = BenchClock::now();
    std::memcpy(copy.data(), b->GetPixelBuffer(), bytes);
    benchmark::ClobberMemory();
    const auto c = BenchClock::now();
    tOurs += BenchSeconds(a, m);
    tCopy += BenchSeconds(m, c);
    state.SetIterationTime(BenchSeconds(a, m));
  }
  state.counters["ratio"] = tOurs / tCopy;
}

void BM_Gray(benchmark::State& state) {
  auto b = Picture(px24RGB);
  AgainstMemcpy(state, b.get(), [] {}, [&] { ConvertRectToGray(b.get(), 0, 0, kWidth, kHeight, {}, nullptr); });
}

void Flip(benchmark::State& state, TPXPixelFormat f, TPXFlipDirection d, int32_t w = kWidth) {
  auto b = Picture(f, w);
  AgainstMemcpy(state, b.get(), [] {}, [&] { FlipBitmap(b.get(), d); });
}
void BM_FlipH24(benchmark::State& s) { Flip(s, px24RGB, pxfdHorizontal); }
void BM_FlipV24(benchmark::State& s) { Flip(s, px24RGB, pxfdVertical); }
void BM_FlipH1(benchmark::State& s) { Flip(s, px1g, pxfdHorizontal); }
void BM_FlipV1(benchmark::State& s) { Flip(s, px1g, pxfdVertical); }
// A width that is not a multiple of 8: the mirrored rows are shifted into place.
void BM_FlipH1Odd(benchmark::State& s) { Flip(s, px1g, pxfdHorizontal, kWidth - 3); }

// The reflection's canvas: a picture half as wide widened to the full width, new area
// transparent.
void BM_ResizeCanvas(benchmark::State& state) {
  auto full = Picture(px24RGB);
  auto b = std::make_unique<TPXBitmap>();
  AgainstMemcpy(
      state, full.get(),
      [&] {
        b = Picture(px24RGB, kWidth / 2, kHeight);
        b->GetAlphaChannel();
      },
      [&] { b->ResizeCanvas(kWidth, kHeight, 0, 0, 2, 2); });
}

void BM_Monochrome(benchmark::State& state) {
  if (access(kBenchConvert, X_OK) != 0) {
    state.SkipWithError("ImageMagick's convert is not installed");
    return;
  }
  auto src = Picture(px24RGB);
  const std::string in = BenchTempFile("in.ppm"), out = BenchTempFile("out.pgm");
  WritePpm(src.get(), in);
  double tOurs = 0, tMagick = 0;
  for (auto _ : state) {
    auto b = TPXBitmap::CreateCopy(src.get());
    TPXProgressRecord p;
    const auto a = BenchClock::now();
    ConvertBitmapToMonochrome(b.get(), p);
    const auto m = BenchClock::now();
    tOurs += BenchSeconds(a, m);
    const double magick =
        CommandMinusPlain({kBenchConvert, in, "-ordered-dither", "o8x8", out}, {kBenchConvert, in, out});
    tMagick += std::max(magick, 1e-6);
    state.SetIterationTime(BenchSeconds(a, m));
  }
  state.counters["ratio"] = tOurs / tMagick;
}

// A plain bilinear remap through a prepared map: the peer of the wave.
void Remap(const uint8_t* Src, uint8_t* Dst, int32_t W, int32_t H, int32_t B, const float* MapX, const float* MapY) {
  const size_t R = static_cast<size_t>(W) * B;
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const size_t k = static_cast<size_t>(y) * W + x;
      const float u = MapX[k], v = MapY[k];
      const float fu = std::floor(u), fv = std::floor(v);
      const float fx = u - fu, fy = v - fv;
      const int32_t i = std::clamp(static_cast<int32_t>(fu), 0, W - 2), j = std::clamp(static_cast<int32_t>(fv), 0, H - 2);
      const uint8_t* r0 = Src + R * j + static_cast<size_t>(i) * B;
      const uint8_t* r1 = r0 + R;
      uint8_t* o = Dst + R * y + static_cast<size_t>(x) * B;
      for (int32_t b = 0; b < B; ++b) {
        const float top = (1 - fx) * r0[b] + fx * r0[B + b];
        const float bottom = (1 - fx) * r1[b] + fx * r1[B + b];
        o[b] = static_cast<uint8_t>((1 - fy) * top + fy * bottom);
      }
    }
}

void BM_Wave(benchmark::State& state) {
  auto src = Picture(px24RGB);
  auto alphaSrc = Picture(px8g);
  // The same ripple as the wave, as a map.
  std::vector<float> mapX(static_cast<size_t>(kWidth) * kHeight), mapY(mapX.size());
  const double cx = (kWidth - 1) / 2.0, cy = (kHeight - 1) / 2.0, sy = double(kWidth) / kHeight;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const double dx = x - cx, dy = (y - cy) * sy;
      const double d = 10 * std::sin(std::sqrt(dx * dx + dy * dy) / 60 * 2 * std::numbers::pi);
      mapX[static_cast<size_t>(y) * kWidth + x] = static_cast<float>(d + dx + cx);
      mapY[static_cast<size_t>(y) * kWidth + x] = static_cast<float>((d + dy) / sy + cy);
    }
  std::vector<uint8_t> plainSrc(static_cast<size_t>(kWidth) * kHeight * 3), plainDst(plainSrc.size());
  std::vector<uint8_t> plainA(static_cast<size_t>(kWidth) * kHeight), plainADst(plainA.size());
  for (int32_t y = 0; y < kHeight; ++y) {
    std::memcpy(&plainSrc[static_cast<size_t>(y) * kWidth * 3], src->Scanline(y), kWidth * 3);
    std::memcpy(&plainA[static_cast<size_t>(y) * kWidth], alphaSrc->Scanline(y), kWidth);
  }
  double tOurs = 0, tPeer = 0;
  for (auto _ : state) {
    auto b = TPXBitmap::CreateCopy(src.get());
    b->GetAlphaChannel()->Assign(alphaSrc.get());
    TPXProgressRecord p;
    const auto a = BenchClock::now();
    WaveDistortBitmap(b.get(), 10, 30, 0, false, p);
    const auto m = BenchClock::now();
    Remap(plainA.data(), plainADst.data(), kWidth, kHeight, 1, mapX.data(), mapY.data());
    Remap(plainSrc.data(), plainDst.data(), kWidth, kHeight, 3, mapX.data(), mapY.data());
    benchmark::ClobberMemory();
    const auto c = BenchClock::now();
    tOurs += BenchSeconds(a, m);
    tPeer += BenchSeconds(m, c);
    state.SetIterationTime(BenchSeconds(a, m));
  }
  state.counters["ratio"] = tOurs / tPeer;
}

}  // namespace

BENCHMARK(BM_Gray)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipH24)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipV24)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipH1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipV1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipH1Odd)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResizeCanvas)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Monochrome)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Wave)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
