// The magic wand on a 6000 x 4000 picture whose region (a flat field with a border of other
// colour) covers most of it: TraceMagicWand against MagicWandFill of the same region (goal:
// ratio at most 3; the outline walk keeps 2 bytes per pixel of the region's box beside the
// fill's own bits), and MagicWandGlobal against a memcpy of the picture (goal 1.5).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "proc/pixoranproc_fill.h"

namespace {

constexpr int32_t kW = 6000, kH = 4000;

std::unique_ptr<TPXBitmap> Field() {
  auto b = BenchMemoryBitmap(kW, kH);
  if (!b) return nullptr;
  for (int32_t y = 0; y < kH; ++y) {
    auto* p = reinterpret_cast<TRGB*>(b->Scanline(y));
    for (int32_t x = 0; x < kW; ++x) {
      const bool border = x < 40 || y < 40 || x >= kW - 40 || y >= kH - 40 || ((x / 97 + y / 89) % 23 == 0);
      p[x] = border ? TRGB{250, 10, 10} : TRGB{static_cast<uint8_t>(90 + (x & 3)), 140, 200};
    }
  }
  return b;
}

void BM_TraceMagicWand(benchmark::State& state) {
  auto b = Field();
  if (!b) return state.SkipWithError("no memory for the picture");
  TimeOursAgainstPeer(
      state, "ratio",
      [&] {
        TPXArrayOfTPoint pts;
        TraceMagicWand(b.get(), kW / 2 + 3, kH / 2 + 3, false, 10, 1, pts);
        benchmark::DoNotOptimize(pts.data());
      },
      [&] {
        TPXMask mask;
        mask.AllocateBits(kW, kH, 1);
        MagicWandFill(b.get(), kW / 2 + 3, kH / 2 + 3, false, 10, &mask, 1, 1);
        benchmark::DoNotOptimize(mask.FX2);
      });
}

void BM_MagicWandGlobal(benchmark::State& state) {
  auto b = Field();
  if (!b) return state.SkipWithError("no memory for the picture");
  TPXMask mask;
  mask.AllocateBits(kW, kH, 1);
  std::vector<uint8_t> copy(static_cast<size_t>(kW) * 3);
  TimeOursAgainstPeer(
      state, "ratio", [&] { MagicWandGlobal(b.get(), 100, 100, 10, &mask, 1, 1); },
      [&] {
        for (int32_t y = 0; y < kH; ++y) std::memcpy(copy.data(), b->Scanline(y), copy.size());
        benchmark::DoNotOptimize(copy.data());
      });
}

}  // namespace

BENCHMARK(BM_TraceMagicWand)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MagicWandGlobal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
