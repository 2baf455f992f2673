// Row walks over a file-backed TPXBitmap against the same walk over memory storage: a
// 4000 x 3000 px24RGB picture, every row fetched with GetScanline, every byte read (sum) or
// read and written (increment). Each iteration walks the memory picture, then the file one; the
// reported time is the file walk's, and ratio = memory time / file time (the goal is at least
// 0.95, i.e. file storage at most 1.05 x memory).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::unique_ptr<TPXBitmap> Make(int64_t limit) {
  GlobalSettingsInstance()->FBitmapMemoryLimit = limit;
  auto b = std::make_unique<TPXBitmap>();
  if (!b->Allocate(kWidth, kHeight, px24RGB)) return nullptr;
  for (int32_t y = 0; y < kHeight; ++y) {
    auto* row = static_cast<uint8_t*>(b->GetScanline(y));
    for (int64_t i = 0; i < b->GetRowLen(); ++i) row[i] = static_cast<uint8_t>(i + y);
  }
  return b;
}

uint64_t SumRows(TPXBitmap& b) {
  uint64_t sum = 0;
  const int64_t n = b.GetRowLen();
  for (int32_t y = 0; y < kHeight; ++y) {
    const auto* row = static_cast<const uint8_t*>(b.GetScanline(y));
    for (int64_t i = 0; i < n; ++i) sum += row[i];
  }
  return sum;
}

void IncrementRows(TPXBitmap& b) {
  const int64_t n = b.GetRowLen();
  for (int32_t y = 0; y < kHeight; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetScanline(y));
    for (int64_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + 1);
  }
}

template <class Walk>
void Compare(benchmark::State& state, Walk walk) {
  auto memory = Make(-1);
  auto file = Make(0);
  if (!memory || !file || memory->Location() != pxMemory || file->Location() != pxFile) {
    state.SkipWithError("storage could not be had");
    return;
  }
  double tMemory = 0, tFile = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    walk(*memory);
    const auto b = Clock::now();
    walk(*file);
    const auto c = Clock::now();
    tMemory += Seconds(a, b);
    tFile += Seconds(b, c);
    state.SetIterationTime(Seconds(b, c));
  }
  const double bytes = static_cast<double>(file->GetRowLen()) * kHeight * static_cast<double>(state.iterations());
  state.counters["file_GBps"] = bytes / tFile / 1e9;
  state.counters["memory_GBps"] = bytes / tMemory / 1e9;
  state.counters["ratio"] = tMemory / tFile;
}

void BM_ScanlineRead(benchmark::State& state) {
  Compare(state, [](TPXBitmap& b) { benchmark::DoNotOptimize(SumRows(b)); });
}

void BM_ScanlineReadWrite(benchmark::State& state) {
  Compare(state, [](TPXBitmap& b) {
    IncrementRows(b);
    benchmark::ClobberMemory();
  });
}

}  // namespace

BENCHMARK(BM_ScanlineRead)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanlineReadWrite)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
