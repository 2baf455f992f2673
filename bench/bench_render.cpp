// Rendering against pixman in the same run; ratio = our time / pixman's.
//   render_fit:   a 4000 x 3000 px24RGB picture fitted into 1440 x 1080, rfNone against pixman's
//                 nearest scaling (goal at most 1.5) and rfFastLinear against its bilinear
//                 scaling (goal at most 2); pixman works on x8r8g8b8 copies of the same pixels.
//   render_blend: Render24RGBBlended with an alpha channel at 1:1, 1920 x 1080, against pixman
//                 OVER with an a8 mask (goal at most 1.5).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"

namespace {

uint8_t Noise(uint32_t& Seed) {
  Seed = Seed * 1103515245u + 12345u;
  return static_cast<uint8_t>(Seed >> 16);
}

// The same picture as px24RGB and as x8r8g8b8 words.
struct Picture {
  std::unique_ptr<TPXBitmap> Bitmap;
  std::vector<uint32_t> Words;
  int32_t W, H;
  Picture(int32_t Width, int32_t Height, bool Alpha) : W(Width), H(Height) {
    Bitmap = TPXBitmap::CreateAllocated(W, H, px24RGB);
    Words.resize(static_cast<size_t>(W) * H);
    uint32_t seed = 777;
    TPXBitmap* a = Alpha ? Bitmap->GetAlphaChannel() : nullptr;
    for (int32_t y = 0; y < H; ++y) {
      uint8_t* r = Bitmap->Scanline(y);
      uint8_t* ar = a ? a->Scanline(y) : nullptr;
      for (int32_t x = 0; x < W; ++x) {
        const uint8_t b = static_cast<uint8_t>(x + (Noise(seed) & 15)), g = static_cast<uint8_t>(y + x / 3),
                      rr = static_cast<uint8_t>(x ^ y);
        r[3 * x] = b, r[3 * x + 1] = g, r[3 * x + 2] = rr;
        Words[static_cast<size_t>(y) * W + x] = 0xFF000000u | (uint32_t{rr} << 16) | (uint32_t{g} << 8) | b;
        if (ar) ar[x] = static_cast<uint8_t>((x * 255 / W + y) & 255);
      }
    }
    if (a) a->FFull = 0;
  }
};

Picture& Big() {
  static Picture p(4000, 3000, false);
  return p;
}

// Each iteration times Ours, then pixman compositing Source (through Mask, if any) onto Dest
// with Op over Width x Height; the iteration's time is ours, and the counters give both means
// and their ratio.
template <class Render>
void TimeAgainstPixman(benchmark::State& state, Render&& Ours, pixman_op_t Op, pixman_image_t* Source,
                       pixman_image_t* Mask, pixman_image_t* Dest, int32_t Width, int32_t Height) {
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto a = BenchClock::now();
    Ours();
    benchmark::ClobberMemory();
    const double o = BenchSeconds(a, BenchClock::now());
    a = BenchClock::now();
    pixman_image_composite32(Op, Source, Mask, Dest, 0, 0, 0, 0, 0, 0, Width, Height);
    benchmark::ClobberMemory();
    theirs += BenchSeconds(a, BenchClock::now());
    ours += o;
    state.SetIterationTime(o);
  }
  state.counters["ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
  state.counters["pixman_ms"] = theirs / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio"] = ours / theirs;
}

void BM_RenderFit(benchmark::State& state, TResampleFilter Filter, pixman_filter_t Peer) {
  Picture& src = Big();
  constexpr int32_t dw = 1440, dh = 1080;
  auto dst = TPXBitmap::CreateAllocated(dw, dh, px24RGB);
  std::vector<uint32_t> dst32(static_cast<size_t>(dw) * dh);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_x8r8g8b8, src.W, src.H, src.Words.data(), src.W * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, dw, dh, dst32.data(), dw * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(src.W) / dw),
                              pixman_double_to_fixed(static_cast<double>(src.H) / dh));
  pixman_image_set_transform(s, &t);
  pixman_image_set_filter(s, Peer, nullptr, 0);
  TimeAgainstPixman(
      state,
      [&] {
        src.Bitmap->RenderToPXBitmap(dst.get(), 0, 0, dw, dh, 0, 0, src.W, src.H, false, 255, Filter, pxboNormal,
                                     1.0);
      },
      PIXMAN_OP_SRC, s, nullptr, d, dw, dh);
  pixman_image_unref(s);
  pixman_image_unref(d);
}

void BM_RenderBlend(benchmark::State& state) {
  constexpr int32_t w = 1920, h = 1080;
  static Picture src(w, h, true);
  Picture back(w, h, false);
  std::vector<uint8_t> mask(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(mask.data() + static_cast<size_t>(y) * w, src.Bitmap->GetAlphaChannel()->Scanline(y), w);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, src.Words.data(), w * 4);
  pixman_image_t* m = pixman_image_create_bits(PIXMAN_a8, w, h, reinterpret_cast<uint32_t*>(mask.data()), w);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, back.Words.data(), w * 4);
  TimeAgainstPixman(
      state,
      [&] {
        src.Bitmap->RenderToPXBitmap(back.Bitmap.get(), 0, 0, w, h, 0, 0, w, h, true, 255, rfNone, pxboNormal, 1.0);
      },
      PIXMAN_OP_OVER, s, m, d, w, h);
  pixman_image_unref(s);
  pixman_image_unref(m);
  pixman_image_unref(d);
}

BENCHMARK_CAPTURE(BM_RenderFit, render_fit_none_vs_nearest, rfNone, PIXMAN_FILTER_NEAREST)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderFit, render_fit_fastlinear_vs_bilinear, rfFastLinear, PIXMAN_FILTER_BILINEAR)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderBlend)->Name("render_blend")->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
