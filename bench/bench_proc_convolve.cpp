// The 3 x 3 grey convolution of a 12-megapixel px8g picture with the "Blur", "Low Pass 2" and
// "Edges" presets against Pillow's ImageFilter.Kernel with the same kernels (timed inside Python
// around the filter alone; target: ours faster).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_sample.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels

TPXBitmap* Picture() {
  static std::unique_ptr<TPXBitmap> p;
  if (p) return p.get();
  p = std::make_unique<TPXBitmap>();
  p->Allocate(kW, kH, px8g);
  uint32_t seed = 99;
  for (int32_t y = 0; y < kH; ++y) {
    uint8_t* row = p->Scanline(y);
    for (int32_t x = 0; x < kW; ++x) {
      seed = seed * 1103515245u + 12345u;
      row[x] = static_cast<uint8_t>(((x / 5) ^ (y / 3)) + ((seed >> 16) & 15));
    }
  }
  return p.get();
}

void BM_Convolve3x3Gray(benchmark::State& state) {
  const TPXConvolutionKernel k = PXFilterPresets()[static_cast<size_t>(state.range(0))];
  TPXBitmap* b = Picture();
  for (auto _ : state) Convolve3x3Gray(b, k, 0, 0, kW, kH);
  state.SetLabel(PXFilterPresetNames()[static_cast<size_t>(state.range(0))]);
  state.counters["Mpix/s"] =
      benchmark::Counter(static_cast<double>(kW) * kH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
// 1 "Blur", 8 "Low Pass 2", 2 "Edges".
BENCHMARK(BM_Convolve3x3Gray)->Arg(1)->Arg(8)->Arg(2)->Unit(benchmark::kMillisecond);

// --- Pillow ------------------------------------------------------------------------------------

void BM_Pillow(benchmark::State& state) {
  const std::string in = BenchTempFile("in.pgm");
  if (access(in.c_str(), R_OK) != 0) WritePgm(Picture(), in);
  const TPXConvolutionKernel& k = PXFilterPresets()[static_cast<size_t>(state.range(0))];
  std::string list;
  for (int i = 0; i < 9; ++i) list += (i ? "," : "") + std::to_string(k.Values[i]);
  const std::string script =
      "import sys, time\nfrom PIL import Image, ImageFilter\n"
      "im = Image.open(sys.argv[1]); im.load()\n"
      "f = ImageFilter.Kernel((3, 3), [int(v) for v in sys.argv[2].split(',')], scale=int(sys.argv[3]))\n"
      "best = 1e9\n"
      "for i in range(3):\n"
      "    t = time.perf_counter(); im.filter(f); best = min(best, time.perf_counter() - t)\n"
      "print(best)\n";
  TimePythonScript(state, script, {in, list, std::to_string(k.Divisor == 0 ? 1 : k.Divisor)});
  state.SetLabel(PXFilterPresetNames()[static_cast<size_t>(state.range(0))]);
}
BENCHMARK(BM_Pillow)->Arg(1)->Arg(8)->Arg(2)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return BenchMain(argc, argv, RegisterProcessingUnit);  // the filter presets
}
