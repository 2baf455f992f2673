// TPXBitmap::RemoveAlphaChannel(True, clWhite) on a 4000 x 3000 px24RGB picture with an alpha
// channel (the flatten of the reflection's save), against pixman compositing the same pixels
// OVER a white destination through an a8 mask. ratio = our time / pixman's (the goal is at
// most 1.5). The alpha channel is rebuilt outside the timing before each merge.
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

uint8_t AlphaAt(int32_t x, int32_t y) { return static_cast<uint8_t>((x * 3 + y * 5) & 0xFF); }

void FillPicture(TPXBitmap& b) {
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = b.Scanline(y);
    for (int64_t i = 0; i < b.RowLen(); ++i) row[i] = static_cast<uint8_t>(i * 7 + y);
  }
}

void FillAlpha(TPXBitmap& b) {
  TPXBitmap* a = b.GetAlphaChannel();
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = a->Scanline(y);
    for (int32_t x = 0; x < kWidth; ++x) row[x] = AlphaAt(x, y);
  }
}

void BM_RemoveAlphaVsPixman(benchmark::State& state) {
  TPXBitmap pic;
  pic.FLocation = pxMemory;
  if (!pic.Allocate(kWidth, kHeight, px24RGB)) {
    state.SkipWithError("storage could not be had");
    return;
  }
  const int stride = static_cast<int>(pic.RowLen());
  const int maskStride = (kWidth + 3) & ~3;
  std::vector<uint32_t> srcBits(static_cast<size_t>(stride / 4) * kHeight);
  std::vector<uint32_t> dstBits(srcBits.size());
  std::vector<uint32_t> maskBits(static_cast<size_t>(maskStride / 4) * kHeight);
  FillPicture(pic);
  for (int32_t y = 0; y < kHeight; ++y) {
    std::memcpy(reinterpret_cast<uint8_t*>(srcBits.data()) + static_cast<size_t>(y) * stride, pic.Scanline(y),
                static_cast<size_t>(stride));
    uint8_t* m = reinterpret_cast<uint8_t*>(maskBits.data()) + static_cast<size_t>(y) * maskStride;
    for (int32_t x = 0; x < kWidth; ++x) m[x] = AlphaAt(x, y);
  }
  pixman_image_t* ps = pixman_image_create_bits(PIXMAN_r8g8b8, kWidth, kHeight, srcBits.data(), stride);
  pixman_image_t* pm = pixman_image_create_bits(PIXMAN_a8, kWidth, kHeight, maskBits.data(), maskStride);
  pixman_image_t* pd = pixman_image_create_bits(PIXMAN_r8g8b8, kWidth, kHeight, dstBits.data(), stride);
  double tOurs = 0, tPixman = 0;
  for (auto _ : state) {
    FillAlpha(pic);
    std::memset(dstBits.data(), 0xFF, dstBits.size() * sizeof(uint32_t));
    const auto a = Clock::now();
    pic.RemoveAlphaChannel(true, clWhite);
    const auto b = Clock::now();
    pixman_image_composite32(PIXMAN_OP_OVER, ps, pm, pd, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
    const auto c = Clock::now();
    tOurs += Seconds(a, b);
    tPixman += Seconds(b, c);
    state.SetIterationTime(Seconds(a, b));
  }
  pixman_image_unref(ps);
  pixman_image_unref(pm);
  pixman_image_unref(pd);
  state.counters["ratio"] = tOurs / tPixman;
  state.counters["Mpixel_per_s"] = double(kWidth) * kHeight * double(state.iterations()) / tOurs / 1e6;
}

}  // namespace

BENCHMARK(BM_RemoveAlphaVsPixman)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
