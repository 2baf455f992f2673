// CombinePixels over a 1920 x 1080 picture. For the operations pixman also has, each iteration
// runs ours and then pixman's PDF operator (opaque a8r8g8b8 images, so the same per-pixel
// work) on the same pictures; ratio = our time / pixman's (the goal is at most 2). Every
// operation also reports its own ns per pixel, to catch a slow path.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench/BenchPixman.h"
#include "bench/BenchSupport.h"
#include "core/hypxutils.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

// Two pictures of smooth gradients with some noise, as TRGB and as opaque a8r8g8b8 words.
struct Pictures {
  std::vector<TRGB> src, dst, work;
  std::vector<uint32_t> src32, dst32, work32;
  Pictures() : src(kPixels), dst(kPixels), work(kPixels), src32(kPixels), dst32(kPixels), work32(kPixels) {
    uint32_t seed = 12345;
    auto noise = [&] {
      seed = seed * 1103515245u + 12345u;
      return static_cast<int32_t>((seed >> 16) & 31) - 16;
    };
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        const int64_t i = int64_t{y} * kWidth + x;
        src[i] = TRGB{ClampByte(x * 255 / kWidth + noise()), ClampByte(y * 255 / kHeight + noise()),
                      ClampByte((x + y) * 255 / (kWidth + kHeight) + noise())};
        dst[i] = TRGB{ClampByte(255 - y * 255 / kHeight + noise()), ClampByte(128 + noise() * 4),
                      ClampByte(x * 255 / kWidth + noise())};
        auto pack = [](const TRGB& c) { return 0xFF000000u | (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; };
        src32[i] = pack(src[i]);
        dst32[i] = pack(dst[i]);
      }
  }
};

Pictures& Shared() {
  static Pictures p;
  return p;
}

double RunOurs(Pictures& p, TPXBlendOperation op) {
  std::memcpy(p.work.data(), p.dst.data(), p.dst.size() * sizeof(TRGB));
  const auto a = BenchClock::now();
  for (int32_t y = 0; y < kHeight; ++y) {
    const TRGB* s = p.src.data() + int64_t{y} * kWidth;
    TRGB* d = p.work.data() + int64_t{y} * kWidth;
    for (int32_t x = 0; x < kWidth; ++x) CombinePixels(s[x], d[x], op, y);
  }
  benchmark::ClobberMemory();
  return BenchSeconds(a, BenchClock::now());
}

double RunPixman(Pictures& p, pixman_op_t op) {
  std::memcpy(p.work32.data(), p.dst32.data(), p.dst32.size() * sizeof(uint32_t));
  return PixmanCompositeSeconds(op, p.src32.data(), p.work32.data(), kWidth, kHeight);
}

void BM_VersusPixman(benchmark::State& state, TPXBlendOperation op, pixman_op_t peer) {
  Pictures& p = Shared();
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const double t = RunOurs(p, op);
    ours += t;
    theirs += RunPixman(p, peer);
    state.SetIterationTime(t);
  }
  const double n = static_cast<double>(kPixels) * static_cast<double>(state.iterations());
  state.counters["ns_per_px"] = ours / n * 1e9;
  state.counters["pixman_ns_per_px"] = theirs / n * 1e9;
  state.counters["ratio"] = ours / theirs;
}

void BM_Operation(benchmark::State& state) {
  Pictures& p = Shared();
  const auto op = static_cast<TPXBlendOperation>(state.range(0));
  double ours = 0;
  for (auto _ : state) {
    const double t = RunOurs(p, op);
    ours += t;
    state.SetIterationTime(t);
  }
  state.SetLabel(BlendOperationCaption(op));
  state.counters["ns_per_px"] = ours / (static_cast<double>(kPixels) * static_cast<double>(state.iterations())) * 1e9;
}

#define PX_VERSUS(name, op, peer)                                                      \
  BENCHMARK_CAPTURE(BM_VersusPixman, name, op, peer)->UseManualTime()->Unit(benchmark::kMillisecond)

PX_VERSUS(Mul, pxboMul, PIXMAN_OP_MULTIPLY);
PX_VERSUS(Screen, pxboScreen, PIXMAN_OP_SCREEN);
PX_VERSUS(Overlay, pxboOverlay, PIXMAN_OP_OVERLAY);
PX_VERSUS(Max, pxboMax, PIXMAN_OP_LIGHTEN);
PX_VERSUS(Min, pxboMin, PIXMAN_OP_DARKEN);
PX_VERSUS(ColorDodge, pxboColorDodge, PIXMAN_OP_COLOR_DODGE);
PX_VERSUS(ColorBurn, pxboColorBurn, PIXMAN_OP_COLOR_BURN);
PX_VERSUS(HardLight, pxboHardLight, PIXMAN_OP_HARD_LIGHT);
PX_VERSUS(SoftLight, pxboSoftLight, PIXMAN_OP_SOFT_LIGHT);
PX_VERSUS(Sub, pxboSub, PIXMAN_OP_DIFFERENCE);
PX_VERSUS(Exclusion, pxboExclusion, PIXMAN_OP_EXCLUSION);
PX_VERSUS(Hue, pxboHue, PIXMAN_OP_HSL_HUE);
PX_VERSUS(Saturation, pxboSaturation, PIXMAN_OP_HSL_SATURATION);
PX_VERSUS(Color, pxboColor, PIXMAN_OP_HSL_COLOR);
PX_VERSUS(Luminosity, pxboLuminosity, PIXMAN_OP_HSL_LUMINOSITY);

BENCHMARK(BM_Operation)->DenseRange(0, PXBlendOperationCount - 1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// The start-up fills the cosine ramp and the settings' grey weights.
int main(int argc, char** argv) { return BenchMain(argc, argv); }
