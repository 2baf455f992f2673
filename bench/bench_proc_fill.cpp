// The magic wand's region fill on a flat 6000 x 4000 px24RGB picture (the whole picture is one
// region) into an 8-bit mask, against a plain queue-based 4-connected fill written here that
// marks the same byte mask (the mask's allocation timed on both sides: a zero-filled vector on
// both, which the program's start makes huge-page backed as our pictures are). Tolerance 10 on
// both; one thread.
// ratio = MagicWandFill / queue fill; goal at most 2.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <queue>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_fill.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

std::unique_ptr<TPXBitmap> FlatPicture() {
  auto b = std::make_unique<TPXBitmap>();
  b->FLocation = pxMemory;
  b->FMemoryLimit = INT64_MAX;
  if (!b->Allocate(kWidth, kHeight, px24RGB)) return nullptr;
  for (int32_t y = 0; y < kHeight; ++y) {
    auto* p = reinterpret_cast<TRGB*>(b->Scanline(y));
    for (int32_t x = 0; x < kWidth; ++x) p[x] = TRGB{90, 140, 200};
  }
  return b;
}

// Breadth-first: every pixel is marked when queued, its four neighbours looked at when taken.
size_t QueueFill(TPXBitmap* B, int32_t X, int32_t Y, int32_t Tol, std::vector<uint8_t>& Mask) {
  const TRGB s = B->GetPixelRGB(X, Y);
  std::vector<const TRGB*> rows(static_cast<size_t>(kHeight));
  for (int32_t y = 0; y < kHeight; ++y) rows[static_cast<size_t>(y)] = reinterpret_cast<const TRGB*>(B->Scanline(y));
  auto similar = [&](int32_t x, int32_t y) {
    const TRGB c = rows[static_cast<size_t>(y)][x];
    return std::abs(c.r - s.r) <= Tol && std::abs(c.g - s.g) <= Tol && std::abs(c.b - s.b) <= Tol;
  };
  std::queue<uint32_t> q;
  size_t n = 0;
  auto visit = [&](int32_t x, int32_t y) {
    uint8_t& m = Mask[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)];
    if (m || !similar(x, y)) return;
    m = 255;
    q.push(static_cast<uint32_t>(y) * kWidth + static_cast<uint32_t>(x));
  };
  visit(X, Y);
  while (!q.empty()) {
    const uint32_t i = q.front();
    q.pop();
    ++n;
    const int32_t x = static_cast<int32_t>(i % kWidth), y = static_cast<int32_t>(i / kWidth);
    if (x > 0) visit(x - 1, y);
    if (x + 1 < kWidth) visit(x + 1, y);
    if (y > 0) visit(x, y - 1);
    if (y + 1 < kHeight) visit(x, y + 1);
  }
  return n;
}

void BM_MagicWandFill(benchmark::State& state) {
  auto b = FlatPicture();
  if (!b) {
    state.SkipWithError("no memory for the picture");
    return;
  }
  double tOurs = 0, tQueue = 0;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    {
      TPXMask mask;
      mask.AllocateBits(kWidth, kHeight, 8);
      MagicWandFill(b.get(), kWidth / 2, kHeight / 2, false, 10, &mask, 255, 1);
      benchmark::DoNotOptimize(mask.FX2);
    }
    const auto m = BenchClock::now();
    {
      std::vector<uint8_t> mask(static_cast<size_t>(kWidth) * kHeight, 0);
      benchmark::DoNotOptimize(QueueFill(b.get(), kWidth / 2, kHeight / 2, 10, mask));
    }
    const auto c = BenchClock::now();
    tOurs += BenchSeconds(a, m);
    tQueue += BenchSeconds(m, c);
    state.SetIterationTime(BenchSeconds(a, m));
  }
  state.counters["queue_ms"] = 1000 * tQueue / static_cast<double>(state.iterations());
  state.counters["ratio"] = tOurs / tQueue;
}

}  // namespace

BENCHMARK(BM_MagicWandFill)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) { return BenchPlainMain(argc, argv); }
