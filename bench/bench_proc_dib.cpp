// Packed DIBs into bitmaps: a 6000 x 4000 DIB at 24 bits and at 8 bits with a palette against a
// memcpy of the DIB's bytes (goals: ratio at most 1.5 and 3), and 1920 x 1080 "YUY2" and "I420"
// frames against a plain scalar loop of the same formulas writing the same 24-bit rows (goal 1).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_dib.h"

namespace {

std::vector<uint8_t> MakeDib(int32_t W, int32_t H, int Bits, uint32_t Compression, size_t TableBytes, size_t Rows) {
  std::vector<uint8_t> d(40 + TableBytes + Rows, 0);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&d[at], &v, 4); };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(W));
  put32(8, static_cast<uint32_t>(H));
  d[12] = 1;
  d[14] = static_cast<uint8_t>(Bits);
  put32(16, Compression);
  for (size_t i = 40; i < d.size(); ++i) d[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
  return d;
}

void RunRgb(benchmark::State& state, int Bits) {
  const int32_t w = 6000, h = 4000;
  const size_t row = (static_cast<size_t>(w) * Bits + 31) / 32 * 4;
  const std::vector<uint8_t> dib = MakeDib(w, h, Bits, 0, Bits == 8 ? 1024 : 0, row * h);
  std::vector<uint8_t> copy(dib.size());
  auto b = BenchMemoryBitmap();
  TimeOursAgainstPeer(
      state, "ratio", [&] { benchmark::DoNotOptimize(CopyDIBToBitmap(dib.data(), b.get(), {}, true, dib.size())); },
      [&] {
        std::memcpy(copy.data(), dib.data(), dib.size());
        benchmark::DoNotOptimize(copy.data());
      });
}

void BM_Dib24(benchmark::State& state) { RunRgb(state, 24); }
void BM_Dib8(benchmark::State& state) { RunRgb(state, 8); }

uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// A 1920 x 1080 frame of Code (its bytes per pixel given) against Scalar writing 24-bit rows.
template <class TScalar>
void RunFrame(benchmark::State& state, uint32_t Code, int Bits, size_t Bytes, TScalar Scalar) {
  const std::vector<uint8_t> dib = MakeDib(1920, 1080, Bits, Code, 0, Bytes);
  std::vector<uint8_t> out(size_t{1920} * 1080 * 3);
  auto b = BenchMemoryBitmap();
  TimeOursAgainstPeer(
      state, "ratio", [&] { benchmark::DoNotOptimize(CopyDIBToBitmap(dib.data(), b.get(), {}, true, dib.size())); },
      [&] {
        Scalar(dib.data() + 40, out.data());
        benchmark::DoNotOptimize(out.data());
      });
}

void BM_Yuy2(benchmark::State& state) {
  RunFrame(state, 0x32595559u, 16, size_t{1920} * 1080 * 2, [](const uint8_t* s, uint8_t* d) {
    for (size_t i = 0; i < size_t{1920} * 1080 / 2; ++i, s += 4, d += 6) {
      const int32_t cb = s[1] - 128, cr = s[3] - 128;
      for (int k = 0; k < 2; ++k) {
        const int32_t yy = 298 * (s[2 * k] - 16);
        d[3 * k] = Clamp((yy + 516 * cb + 128) / 256);
        d[3 * k + 1] = Clamp((yy - 100 * cb - 208 * cr + 128) / 256);
        d[3 * k + 2] = Clamp((yy + 409 * cr + 128) / 256);
      }
    }
  });
}

void BM_I420(benchmark::State& state) {
  RunFrame(state, 0x30323449u, 12, size_t{1920} * 1080 * 3 / 2, [](const uint8_t* yp, uint8_t* out) {
    const int32_t w = 1920, h = 1080;
    const uint8_t* up = yp + size_t{1920} * 1080;
    const uint8_t* vp = up + size_t{960} * 540;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t c = static_cast<size_t>(y / 2) * (w / 2) + x / 2;
        YCbCrToRGB601(yp[static_cast<size_t>(y) * w + x], up[c], vp[c], &out[(static_cast<size_t>(y) * w + x) * 3]);
      }
  });
}

}  // namespace

BENCHMARK(BM_Dib24)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Dib8)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Yuy2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_I420)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
