// TPXBitmap::ConvertPixelFormat on a 4000 x 3000 picture in memory, for the conversions the
// codecs and the application use most: 24 -> 8g, 8g -> 24, 24 -> 32, 48 -> 24 and 8p -> 24.
// Each iteration converts, then copies the source's bytes with memcpy (the bound); the reported
// time is the conversion's, ratio = conversion time / memcpy time (the goal is at most 2).
// 24 <-> 32 is also set against pixman's SRC composite of the same pixels: pixman_ratio =
// conversion time / pixman time.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/pxxBitmaps.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::unique_ptr<TPXBitmap> Source(TPXPixelFormat f) {
  auto b = std::make_unique<TPXBitmap>();
  b->FLocation = pxMemory;
  if (!b->Allocate(kWidth, kHeight, f)) return nullptr;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = b->Scanline(y);
    for (int64_t i = 0; i < b->RowLen(); ++i) row[i] = static_cast<uint8_t>(i * 7 + y);
  }
  if (f == px8p)
    for (int i = 0; i < 256; ++i) b->FPalette[i] = TRGB{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  return b;
}

void Convert(benchmark::State& state, TPXPixelFormat from, TPXPixelFormat to) {
  auto src = Source(from);
  auto dst = std::make_unique<TPXBitmap>();
  dst->FLocation = pxMemory;
  if (!src || !dst->Allocate(kWidth, kHeight, to)) {
    state.SkipWithError("storage could not be had");
    return;
  }
  const size_t bytes = static_cast<size_t>(src->RowLen()) * kHeight;
  std::vector<uint8_t> copy(bytes);
  double tConvert = 0, tCopy = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    dst->ConvertPixelFormat(src.get());
    const auto b = Clock::now();
    std::memcpy(copy.data(), src->GetPixelBuffer(), bytes);
    benchmark::ClobberMemory();
    const auto c = Clock::now();
    tConvert += Seconds(a, b);
    tCopy += Seconds(b, c);
    state.SetIterationTime(Seconds(a, b));
  }
  state.counters["ratio"] = tConvert / tCopy;
  state.counters["Mpixel_per_s"] = double(kWidth) * kHeight * double(state.iterations()) / tConvert / 1e6;
}

// The same conversion against pixman on top-down buffers of the same pixels.
void ConvertVsPixman(benchmark::State& state, TPXPixelFormat from, TPXPixelFormat to) {
  auto src = Source(from);
  auto dst = std::make_unique<TPXBitmap>();
  dst->FLocation = pxMemory;
  if (!src || !dst->Allocate(kWidth, kHeight, to)) {
    state.SkipWithError("storage could not be had");
    return;
  }
  const auto fmt = [](TPXPixelFormat f) { return f == px24RGB ? PIXMAN_r8g8b8 : PIXMAN_a8r8g8b8; };
  const int srcStride = static_cast<int>(src->RowLen()), dstStride = static_cast<int>(dst->RowLen());
  std::vector<uint32_t> srcBits(static_cast<size_t>(srcStride / 4) * kHeight);
  std::vector<uint32_t> dstBits(static_cast<size_t>(dstStride / 4) * kHeight);
  for (int32_t y = 0; y < kHeight; ++y)
    std::memcpy(reinterpret_cast<uint8_t*>(srcBits.data()) + static_cast<size_t>(y) * srcStride, src->Scanline(y),
                static_cast<size_t>(srcStride));
  pixman_image_t* ps = pixman_image_create_bits(fmt(from), kWidth, kHeight, srcBits.data(), srcStride);
  pixman_image_t* pd = pixman_image_create_bits(fmt(to), kWidth, kHeight, dstBits.data(), dstStride);
  double tOurs = 0, tPixman = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    dst->ConvertPixelFormat(src.get());
    const auto b = Clock::now();
    pixman_image_composite32(PIXMAN_OP_SRC, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
    const auto c = Clock::now();
    tOurs += Seconds(a, b);
    tPixman += Seconds(b, c);
    state.SetIterationTime(Seconds(a, b));
  }
  pixman_image_unref(ps);
  pixman_image_unref(pd);
  state.counters["pixman_ratio"] = tOurs / tPixman;
}

void BM_24To8g(benchmark::State& s) { Convert(s, px24RGB, px8g); }
void BM_8gTo24(benchmark::State& s) { Convert(s, px8g, px24RGB); }
void BM_24To32(benchmark::State& s) { Convert(s, px24RGB, px32RGB); }
void BM_48To24(benchmark::State& s) { Convert(s, pxRGB48, px24RGB); }
void BM_8pTo24(benchmark::State& s) { Convert(s, px8p, px24RGB); }
void BM_24To32VsPixman(benchmark::State& s) { ConvertVsPixman(s, px24RGB, px32RGB); }
void BM_32To24VsPixman(benchmark::State& s) { ConvertVsPixman(s, px32RGB, px24RGB); }

}  // namespace

BENCHMARK(BM_24To8g)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_8gTo24)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_24To32)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_48To24)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_8pTo24)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_24To32VsPixman)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_32To24VsPixman)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
