// RemoveChromaKey on a 12-megapixel picture (a green screen with a figure) against ImageMagick
// "convert -fuzz 10% -transparent green" on the same picture, its command time less a plain
// read and write of the file. Goal: at most ImageMagick's time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_chroma.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;

std::unique_ptr<TPXBitmap> Screen() {
  auto b = BenchMemoryBitmap(kW, kH);
  if (!b) return nullptr;
  for (int32_t y = 0; y < kH; ++y) {
    auto* p = reinterpret_cast<TRGB*>(b->Scanline(y));
    for (int32_t x = 0; x < kW; ++x) {
      const int32_t dx = x - kW / 2, dy = y - kH / 2;
      const bool figure = dx * dx + 3 * dy * dy < 1200 * 1200;
      p[x] = figure ? TRGB{static_cast<uint8_t>(60 + x % 50), static_cast<uint8_t>(90 + y % 40), 180}
                    : TRGB{static_cast<uint8_t>(x & 7), static_cast<uint8_t>(250 - (y & 7)), static_cast<uint8_t>(y & 3)};
    }
  }
  return b;
}

void BM_RemoveChromaKey(benchmark::State& state) {
  auto source = Screen();
  if (!source) return state.SkipWithError("no memory for the picture");
  for (auto _ : state) {
    state.PauseTiming();
    auto b = TPXBitmap::CreateCopy(source.get());
    state.ResumeTiming();
    const auto a = BenchClock::now();
    RemoveChromaKey(b.get(), nullptr, 10, TRGB{0, 255, 0}, 0.3, 0, 3, false, 255, false, {}, nullptr);
    state.SetIterationTime(BenchSeconds(a, BenchClock::now()));
  }
}

void BM_ImageMagickTransparent(benchmark::State& state) {
  auto source = Screen();
  if (!source) return state.SkipWithError("no memory for the picture");
  const std::string in = BenchTempFile("chroma.ppm"), out = BenchTempFile("chroma.pam"),
                    plain = BenchTempFile("plain.pam");
  WritePpm(source.get(), in);
  // One thread, as ours.
  setenv("MAGICK_THREAD_LIMIT", "1", 1);
  TimeCommandMinusPlain(state, kBenchConvert, {kBenchConvert, in, "-fuzz", "10%", "-transparent", "green", out},
                        {kBenchConvert, in, plain});
}

}  // namespace

BENCHMARK(BM_RemoveChromaKey)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImageMagickTransparent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
