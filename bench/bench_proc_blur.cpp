// The Gaussian blur of a 12-megapixel px24RGB picture at standard deviations 3 and 20 against
// ImageMagick's -gaussian-blur 0x3 and 0x20 (its command minus the same command's plain read
// and write; target: ours faster) and libvips' gaussblur (the same way; ratio only), and the
// soft shadow of a 2000 x 2000 picture with alpha against the blur of its alpha channel alone
// (target: the shadow within 1.5 x, since it runs in every composition of a shadowed layer).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_blur.h"

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

void BM_GaussianBlur(benchmark::State& state) {
  const double sd = static_cast<double>(state.range(0));
  TPXBitmap* b = Picture();
  for (auto _ : state) GaussianBlurBitmap(b, nullptr, sd, {});
  state.counters["Mpix/s"] =
      benchmark::Counter(static_cast<double>(kW) * kH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_GaussianBlur)->Arg(3)->Arg(20)->Unit(benchmark::kMillisecond);

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

// --- peers -----------------------------------------------------------------------------------------

std::string PeerInput() {
  const std::string f = BenchTempFile("in.ppm");
  if (access(f.c_str(), R_OK) != 0) WritePpm(Picture(), f);
  return f;
}

void BM_ImageMagick(benchmark::State& state) {
  const std::string in = PeerInput(), out = BenchTempFile("out.ppm");
  const std::string sigma = "0x" + std::to_string(state.range(0));
  TimeCommandMinusPlain(state, kBenchConvert, {kBenchConvert, in, "-gaussian-blur", sigma, out},
                        {kBenchConvert, in, out});
}
// ImageMagick convolves with the whole two-dimensional kernel: minutes at 0x20, so one round.
BENCHMARK(BM_ImageMagick)->Arg(3)->Arg(20)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Vips(benchmark::State& state) {
  const std::string in = PeerInput(), out = BenchTempFile("out.v");
  // Its kernel cut at a thousandth of the peak, near ours (its default stops at a fifth).
  TimeCommandMinusPlain(state, kBenchVips,
                        {kBenchVips, "gaussblur", in, out, std::to_string(state.range(0)), "--min-ampl", "0.001"},
                        {kBenchVips, "copy", in, out});
}
BENCHMARK(BM_Vips)->Arg(3)->Arg(20)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
