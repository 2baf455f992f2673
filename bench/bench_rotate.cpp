// Rotation of a 12-megapixel px24RGB picture by 30 degrees: the three shears with antialiasing,
// bilinear and bicubic interpolation and the nearest mapping, at 1, 4 and 8 threads; and in the
// same run the peers: ImageMagick's convert -rotate -30 (also three shears; its rotate minus the
// same command's plain read and write), libvips' vips rotate with the same interpolator (minus
// vips copy), and Pillow's Image.rotate(30, expand=True) with BICUBIC, BILINEAR and NEAREST
// (timed inside Python around the rotate alone). Targets: faster than ImageMagick, within 1.5 x
// of libvips.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_rotate.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels
constexpr double kAngle = 30;

TPXBitmap* Source() {
  static std::unique_ptr<TPXBitmap> pic;
  if (!pic) pic = BenchGradientPicture(kW, kH, 12345, 7, 5);
  return pic.get();
}

// --- ours ----------------------------------------------------------------------------------------

void BM_Ours(benchmark::State& state, const std::function<void(TPXBitmap*)>& rotate) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  s->FMaxThreads = static_cast<int32_t>(state.range(0));
  TPXBitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Source());
    state.ResumeTiming();
    rotate(&work);
  }
  s->FMaxThreads = saved;
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(kW) * kH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

#define PX_OURS(name, fn) \
  BENCHMARK_CAPTURE(BM_Ours, name, fn)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->MinTime(1.0)
PX_OURS(shear_antialias, [](TPXBitmap* b) { RotateByShear(b, kAngle, true, TRGB{}); });
PX_OURS(shear_plain, [](TPXBitmap* b) { RotateByShear(b, kAngle, false, TRGB{}); });
PX_OURS(bilinear, [](TPXBitmap* b) { RotateSmooth(b, kAngle, 0, 2); });
PX_OURS(bicubic, [](TPXBitmap* b) { RotateSmooth(b, kAngle, 0, 3); });
PX_OURS(nearest, [](TPXBitmap* b) { RotateNearest(b, kAngle, 0); });

// --- peers -----------------------------------------------------------------------------------------

std::string PeerInput() {
  const std::string f = BenchTempFile("in.ppm");
  if (access(f.c_str(), R_OK) != 0) WritePpm(Source(), f);
  return f;
}

void BM_ImageMagick(benchmark::State& state) {
  const std::string in = PeerInput(), out = BenchTempFile("out.ppm");
  // ImageMagick turns clockwise for positive angles.
  TimeCommandMinusPlain(state, kBenchConvert, {kBenchConvert, in, "-background", "black", "-rotate", "-30", out},
                        {kBenchConvert, in, out});
}
BENCHMARK(BM_ImageMagick)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Vips(benchmark::State& state, const char* interpolator) {
  const std::string in = PeerInput(), out = BenchTempFile("out.ppm");
  TimeCommandMinusPlain(state, kBenchVips, {kBenchVips, "rotate", in, out, "30", "--interpolate", interpolator},
                        {kBenchVips, "copy", in, out});
}
BENCHMARK_CAPTURE(BM_Vips, bilinear, "bilinear")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vips, bicubic, "bicubic")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vips, nearest, "nearest")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Pillow(benchmark::State& state, const char* filter) {
  const std::string script = std::string(
                                 "import sys, time\nfrom PIL import Image\n"
                                 "im = Image.open(sys.argv[1]); im.load()\n"
                                 "t = time.perf_counter(); im.rotate(30, resample=Image.") +
                             filter + ", expand=True)\nprint(time.perf_counter() - t)\n";
  TimePythonScript(state, script, {PeerInput()});
}
BENCHMARK_CAPTURE(BM_Pillow, bicubic, "BICUBIC")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pillow, bilinear, "BILINEAR")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pillow, nearest, "NEAREST")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
