// The colour quantizer against libimagequant: a 1000 x 1000 picture with smooth gradients,
// stripes and noise reduced to 256 colours and remapped (no dithering on either side). Each
// iteration runs libimagequant and ours on the same picture; the reported time is ours, and
// the counters give both times, time_ratio = our time / its time (goal: at most 2) and
// error_ratio = our mean channel error / its mean channel error.
#include <benchmark/benchmark.h>
#include <libimagequant.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/neurquant.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Startup.h"

namespace {

constexpr int32_t kSize = 1000;
constexpr int32_t kColors = 256;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct TPicture {
  std::unique_ptr<TPXBitmap> Bitmap;
  std::vector<uint8_t> Rgba;  // the same pixels for libimagequant
};

const TPicture& Picture() {
  static const TPicture picture = [] {
    TPicture p;
    p.Bitmap = TPXBitmap::CreateAllocated(kSize, kSize, px24RGB);
    p.Rgba.resize(size_t(kSize) * kSize * 4);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kSize; ++y) {
      auto* row = static_cast<TRGB*>(p.Bitmap->GetScanline(y));
      for (int32_t x = 0; x < kSize; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = int((seed >> 16) % 9) - 4;
        const double fx = x / double(kSize), fy = y / double(kSize);
        const auto clamp = [](double v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
        const uint8_t r = clamp(255 * fx + noise);
        const uint8_t g = clamp(128 + 100 * std::sin(fx * 9 + fy * 4) + noise);
        const uint8_t b = clamp(255 * fy * (0.5 + 0.5 * std::cos(fx * 20)) + noise);
        row[x] = TRGB{b, g, r};
        uint8_t* q = &p.Rgba[(size_t(y) * kSize + x) * 4];
        q[0] = r, q[1] = g, q[2] = b, q[3] = 255;
      }
    }
    return p;
  }();
  return picture;
}

// Mean absolute channel difference between the picture and its remapped form.
double MeanError(const std::vector<uint8_t>& rgba, const std::vector<uint8_t>& index, const TRGB* palette) {
  uint64_t sum = 0;
  for (size_t i = 0; i < index.size(); ++i) {
    const TRGB& c = palette[index[i]];
    const uint8_t* p = &rgba[i * 4];
    sum += std::abs(p[0] - c.r) + std::abs(p[1] - c.g) + std::abs(p[2] - c.b);
  }
  return double(sum) / (3.0 * index.size());
}

double Ours(int32_t method, std::vector<uint8_t>& index, TRGB* palette) {
  const TPicture& p = Picture();
  GlobalSettingsInstance()->FQuantizerMethod = method;
  TPXQuantizer q(p.Bitmap.get(), palette, 255, kColors);
  for (int32_t y = 0; y < kSize; ++y) {
    const auto* row = static_cast<const TRGB*>(p.Bitmap->GetScanline(y));
    for (int32_t x = 0; x < kSize; ++x) index[size_t(y) * kSize + x] = uint8_t(q.RGBToIndex(row[x]));
  }
  return MeanError(p.Rgba, index, palette);
}

double LibImageQuant(std::vector<uint8_t>& index, TRGB* palette) {
  const TPicture& p = Picture();
  liq_attr* attr = liq_attr_create();
  liq_set_max_colors(attr, kColors);
  liq_image* image = liq_image_create_rgba(attr, p.Rgba.data(), kSize, kSize, 0);
  liq_result* result = nullptr;
  if (liq_image_quantize(image, attr, &result) != LIQ_OK) std::abort();
  liq_set_dithering_level(result, 0);
  liq_write_remapped_image(result, image, index.data(), index.size());
  const liq_palette* pal = liq_get_palette(result);
  for (unsigned i = 0; i < pal->count; ++i) palette[i] = TRGB{pal->entries[i].b, pal->entries[i].g, pal->entries[i].r};
  liq_result_destroy(result);
  liq_image_destroy(image);
  liq_attr_destroy(attr);
  return MeanError(p.Rgba, index, palette);
}

void Quantize(benchmark::State& state, int32_t method) {
  std::vector<uint8_t> index(size_t(kSize) * kSize);
  TRGB palette[kColors];
  double tOurs = 0, tPeer = 0, eOurs = 0, ePeer = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    ePeer = LibImageQuant(index, palette);
    const auto b = Clock::now();
    eOurs = Ours(method, index, palette);
    const auto c = Clock::now();
    tPeer += Seconds(a, b);
    tOurs += Seconds(b, c);
    state.SetIterationTime(Seconds(b, c));
  }
  const double n = double(state.iterations());
  state.counters["ours_ms"] = tOurs / n * 1e3;
  state.counters["liq_ms"] = tPeer / n * 1e3;
  state.counters["time_ratio"] = tOurs / tPeer;
  state.counters["ours_err"] = eOurs;
  state.counters["liq_err"] = ePeer;
  state.counters["error_ratio"] = eOurs / ePeer;
}

void BM_NeuQuant(benchmark::State& state) { Quantize(state, 0); }
void BM_BoxSplit(benchmark::State& state) { Quantize(state, 1); }
BENCHMARK(BM_NeuQuant)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_BoxSplit)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RtlStartup();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  RtlShutdown();
  return 0;
}
