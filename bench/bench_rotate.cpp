// Rotation of a 12-megapixel px24RGB picture by 30 degrees at 1, 4 and 8 threads.
//   Smooth rows (bilinear, bicubic) and the nearest mapping: each iteration runs ours (the
//   settings' thread limit at that count) and libvips' vips_rotate with the same interpolator on
//   the same number of workers, in this process, its result (of the rotated size) written into
//   new memory from the library's allocator on every call, as ours makes a new picture of the
//   rotated size; the copy of the source into our working picture is not timed. ratio = ours / vips over the fastest call of
//   each (target: at most 0.8).
//   Shear rows (three shears, with and without antialiasing) against ImageMagick's
//   MagickRotateImage (also three shears) on the same thread count, in this process, on a copy
//   made outside the timing.
//   Pillow's Image.rotate(30, expand=True) with BICUBIC, BILINEAR and NEAREST (timed inside
//   Python around the rotate alone) against ours on one thread, as Pillow runs.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/BenchVips.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_rotate.h"

// Last: MagickCore defines macros that clash with our member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels
constexpr double kAngle = 30;

TPXBitmap* Source() {
  static std::unique_ptr<TPXBitmap> pic;
  if (!pic) pic = BenchGradientPicture(kW, kH, 12345, 7, 5);
  return pic.get();
}

// Ours on Threads threads: the source copied into Work (not timed), then rotated.
template <class Rotate>
double RunOurs(TPXBitmap& Work, int32_t Threads, Rotate&& R) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  s->FMaxThreads = Threads;
  Work.Assign(Source());
  const auto a = BenchClock::now();
  R(&Work);
  const double t = BenchSeconds(a, BenchClock::now());
  s->FMaxThreads = saved;
  return t;
}

// --- ours against libvips ---------------------------------------------------------------------

void BM_VersusVips(benchmark::State& state, int32_t Degree, const char* Interpolator) {
  if (!BenchVipsReady()) {
    state.SkipWithError("libvips did not start");
    return;
  }
  const int32_t threads = static_cast<int32_t>(state.range(0));
  static TBenchVipsImage in(Source(), false);
  VipsInterpolate* interp = vips_interpolate_new(Interpolator);
  std::vector<uint8_t> out;
  auto vips = [&] {
    return BenchVipsSeconds(in.Image(), threads, out, [&](VipsImage* In, VipsImage** Out) {
      return vips_rotate(In, Out, kAngle, "interpolate", interp, nullptr);
    }, true);
  };
  auto ours = [&](TPXBitmap* b) {
    if (Degree == 0) RotateNearest(b, kAngle, 0);
    else RotateSmooth(b, kAngle, 0, Degree);
  };
  TPXBitmap work;
  RunOurs(work, threads, ours);
  if (vips() < 0) {
    g_object_unref(interp);
    state.SkipWithError("vips_rotate failed");
    return;
  }
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double o = RunOurs(work, threads, ours);
    t.Add(0, o, o + vips());
    state.SetIterationTime(o);
  }
  g_object_unref(interp);
  t.Report(state, "vips");
}
BENCHMARK_CAPTURE(BM_VersusVips, bilinear, 2, "bilinear")->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusVips, bicubic, 3, "bicubic")->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusVips, nearest, 0, "nearest")->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);

// --- ours against ImageMagick ------------------------------------------------------------------

void BM_VersusMagick(benchmark::State& state, bool Antialias) {
  const int32_t threads = static_cast<int32_t>(state.range(0));
  MagickWand* original = BenchMagickWand(Source());
  PixelWand* black = NewPixelWand();
  PixelSetColor(black, "black");
  MagickSetResourceLimit(ThreadResource, MagickSizeType(threads));
  TPXBitmap work;
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double o = RunOurs(work, threads, [&](TPXBitmap* b) { RotateByShear(b, kAngle, Antialias, TRGB{}); });
    MagickWand* w = CloneMagickWand(original);
    const auto a = BenchClock::now();
    MagickRotateImage(w, black, -kAngle);  // ImageMagick turns clockwise for positive angles
    const double m = BenchSeconds(a, BenchClock::now());
    DestroyMagickWand(w);
    t.Add(0, o, o + m);
    state.SetIterationTime(o);
  }
  DestroyPixelWand(black);
  DestroyMagickWand(original);
  t.Report(state, "magick");
}
BENCHMARK_CAPTURE(BM_VersusMagick, shear_antialias, true)->Arg(1)->Arg(4)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusMagick, shear_plain, false)->Arg(1)->Arg(4)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// --- ours against Pillow, one thread ---------------------------------------------------------

std::string PeerInput() {
  const std::string f = BenchTempFile("in.ppm");
  if (access(f.c_str(), R_OK) != 0) WritePpm(Source(), f);
  return f;
}

void BM_VersusPillow(benchmark::State& state, int32_t Degree, const char* Filter) {
  const std::string script = std::string(
                                 "import sys, time\nfrom PIL import Image\n"
                                 "im = Image.open(sys.argv[1]); im.load()\n"
                                 "t = time.perf_counter(); im.rotate(30, resample=Image.") +
                             Filter + ", expand=True)\nprint(time.perf_counter() - t)\n";
  const std::vector<std::string> args{PeerInput()};
  TPXBitmap work;
  TimeOursAgainstScript(
      state,
      [&] {
        return RunOurs(work, 1, [&](TPXBitmap* b) {
          if (Degree == 0) RotateNearest(b, kAngle, 0);
          else RotateSmooth(b, kAngle, 0, Degree);
        });
      },
      script, args, "pillow");
}
BENCHMARK_CAPTURE(BM_VersusPillow, bicubic, 3, "BICUBIC")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusPillow, bilinear, 2, "BILINEAR")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusPillow, nearest, 0, "NEAREST")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  MagickWandGenesis();
  const int rc = BenchMain(argc, argv);
  MagickWandTerminus();
  return rc;
}
