// The Gaussian blur of a 12-megapixel px24RGB picture at standard deviations 3 and 20, at 1 and
// 4 threads (the settings' limit), each iteration running ours and then, on the same thread
// count and in this process: ImageMagick's separable blur (MagickBlurImage, as -blur 0xS; on a
// copy made outside the timing; target: ours faster) and libvips' gaussblur with its kernel cut
// at a thousandth of the peak, near ours (its result written into a buffer allocated once;
// ratio only). Ours blurs in place. And the soft shadow of a 2000 x 2000 picture with alpha
// against the blur of its alpha channel alone (target: the shadow within 1.5 x, since it runs in
// every composition of a shadowed layer).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/BenchVips.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_blur.h"

// Last: MagickCore defines macros that clash with our member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;            // 12 megapixels
constexpr int32_t kShadowW = 2000, kShadowH = 2000;

std::unique_ptr<TPXBitmap> MakePicture(int32_t w, int32_t h) { return BenchGradientPicture(w, h, 4242, 9, 7); }

TPXBitmap* Picture() {
  static std::unique_ptr<TPXBitmap> p;
  if (!p) p = MakePicture(kW, kH);
  return p.get();
}

// A layer picture: an opaque ellipse with a soft rim on transparent ground.
std::unique_ptr<TPXBitmap> MakeLayer() {
  auto b = MakePicture(kShadowW, kShadowH);
  TPXBitmap* a = b->GetAlphaChannel();
  const double cx = kShadowW / 2.0, cy = kShadowH / 2.0, rx = kShadowW * 0.4, ry = kShadowH * 0.35;
  for (int32_t y = 0; y < kShadowH; ++y) {
    uint8_t* row = a->Scanline(y);
    for (int32_t x = 0; x < kShadowW; ++x) {
      const double dx = (x - cx) / rx, dy = (y - cy) / ry, d = dx * dx + dy * dy;
      row[x] = d <= 0.98 ? 255 : d <= 1.02 ? static_cast<uint8_t>((1.02 - d) * 255 / 0.04) : 0;
    }
  }
  return b;
}

// --- ours ----------------------------------------------------------------------------------------

// Ours on Threads threads (the settings' limit), in place.
double RunOurs(TPXBitmap* B, double Sd, int32_t Threads) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  s->FMaxThreads = Threads;
  const auto a = BenchClock::now();
  GaussianBlurBitmap(B, nullptr, Sd, {});
  const double t = BenchSeconds(a, BenchClock::now());
  s->FMaxThreads = saved;
  return t;
}

void BM_VersusMagick(benchmark::State& state) {
  const double sd = static_cast<double>(state.range(0));
  const int32_t threads = static_cast<int32_t>(state.range(1));
  TPXBitmap* b = Picture();
  MagickWand* original = BenchMagickWand(b);
  MagickSetResourceLimit(ThreadResource, MagickSizeType(threads));
  TPXBitmap work;
  work.Assign(b);
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double o = RunOurs(&work, sd, threads);
    MagickWand* w = CloneMagickWand(original);
    const auto a = BenchClock::now();
    MagickBlurImage(w, 0, sd);
    const double m = BenchSeconds(a, BenchClock::now());
    DestroyMagickWand(w);
    t.Add(0, o, o + m);
    state.SetIterationTime(o);
  }
  DestroyMagickWand(original);
  t.Report(state, "magick");
}
BENCHMARK(BM_VersusMagick)->ArgsProduct({{3, 20}, {1, 4}})->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_VersusVips(benchmark::State& state) {
  if (!BenchVipsReady()) {
    state.SkipWithError("libvips did not start");
    return;
  }
  const double sd = static_cast<double>(state.range(0));
  const int32_t threads = static_cast<int32_t>(state.range(1));
  static TBenchVipsImage in(Picture(), false);
  std::vector<uint8_t> out;
  auto vips = [&] {
    return BenchVipsSeconds(in.Image(), threads, out, [&](VipsImage* In, VipsImage** Out) {
      return vips_gaussblur(In, Out, sd, "min_ampl", 0.001, nullptr);
    });
  };
  if (vips() < 0) {
    state.SkipWithError("vips_gaussblur failed");
    return;
  }
  TPXBitmap work;
  work.Assign(Picture());
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double o = RunOurs(&work, sd, threads);
    t.Add(0, o, o + vips());
    state.SetIterationTime(o);
  }
  t.Report(state, "vips");
}
BENCHMARK(BM_VersusVips)->ArgsProduct({{3, 20}, {1, 4}})->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SoftShadow(benchmark::State& state) {
  auto layer = MakeLayer();
  TPXBitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(layer.get());
    state.ResumeTiming();
    ApplySoftShadow(&work, 3, 3, 3.0, 100, false, 0x000000, 50, {}, nullptr);
  }
}
BENCHMARK(BM_SoftShadow)->Unit(benchmark::kMillisecond);

void BM_BlurAlphaAlone(benchmark::State& state) {
  auto layer = MakeLayer();
  TPXBitmap* alpha = layer->GetAlphaChannel();
  for (auto _ : state) GaussianBlurBitmap(alpha, nullptr, 3.0, {});
}
BENCHMARK(BM_BlurAlphaAlone)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  MagickWandGenesis();
  const int rc = BenchMain(argc, argv);
  MagickWandTerminus();
  return rc;
}
