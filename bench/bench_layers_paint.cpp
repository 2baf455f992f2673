// A full repaint of a view's two layers against pixman in the same run; ratio = our time /
// pixman's (goal at most 2).
//   layers_paint_zoom<Z>: into a 1920 x 1080 target at zoom Z (100, 50, 200): layer 0 (a picture
//   of 1920 x 1080 x 100 / Z, through the direct path) and a reflection layer (the same width,
//   half the height, moved to the lower half, with a fading alpha channel), both nearest
//   (rfNone). pixman composes the same pixels (x8r8g8b8 and premultiplied a8r8g8b8 copies) with
//   PIXMAN_OP_OVER, the same scale transform and PIXMAN_FILTER_NEAREST.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/BenchPixman.h"
#include "bench/BenchLayerOwner.h"
#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"

namespace {

void BM_LayersPaint(benchmark::State& state, double Zoom) {
  constexpr int32_t dw = 1920, dh = 1080;
  const int32_t w0 = Trunc32(dw * 100 / Zoom), h0 = Trunc32(dh * 100 / Zoom);
  BenchOwner owner;
  owner.Zoom = Zoom;
  owner.Layers.push_back(std::make_unique<TPXImageLayer>(&owner, BenchGradientPicture(w0, h0, 11, 64, 48)));
  auto* back = static_cast<TPXImageLayer*>(owner.Layers[0].get());
  // The reflection: the lower half, mirrored, fading from 200 to 0 downwards.
  auto mirror = TPXBitmap::CreateCrop(back->Bitmap(), TRect(0, h0 - h0 / 2, w0 - 1, h0 - 1));
  mirror->Flip(pxfdVertical);
  TPXBitmap* alpha = mirror->AlphaChannel();
  for (int32_t y = 0; y < mirror->Height(); ++y) {
    uint8_t* row = alpha->Scanline(y);
    const auto v = static_cast<uint8_t>(200 - 200 * y / mirror->Height());
    for (int32_t x = 0; x < w0; ++x) row[x] = v;
  }
  alpha->FFull = 0;
  const int32_t mh = mirror->Height();
  owner.Layers.push_back(std::make_unique<TPXImageLayer>(&owner, std::move(mirror)));
  auto* reflection = static_cast<TPXImageLayer*>(owner.Layers[1].get());
  reflection->SetPosY(h0 - mh);

  auto target = TPXBitmap::CreateAllocated(dw, dh, px24RGB);
  std::vector<uint32_t> words0 = PixmanWords(back->Bitmap());
  std::vector<uint32_t> words1 = PixmanWords(reflection->Bitmap());
  std::vector<uint32_t> dst32(static_cast<size_t>(dw) * dh);
  pixman_image_t* s0 = pixman_image_create_bits(PIXMAN_x8r8g8b8, w0, h0, words0.data(), w0 * 4);
  pixman_image_t* s1 = pixman_image_create_bits(PIXMAN_a8r8g8b8, w0, mh, words1.data(), w0 * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, dw, dh, dst32.data(), dw * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(100 / Zoom), pixman_double_to_fixed(100 / Zoom));
  for (pixman_image_t* s : {s0, s1}) {
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
  }
  const int32_t reflY = owner.BitmapToClientY(h0 - mh), reflH = owner.BitmapToClientY(h0) - reflY;

  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto a = BenchClock::now();
    back->Paint(target.get(), 0, nullptr, nullptr, nullptr, 0, 0, dw, dh, 0, 0, w0, h0, true, true, rfNone, 0,
                false);
    reflection->Paint(target.get(), 1, nullptr, nullptr, nullptr, 0, 0, dw, dh, 0, 0, w0, h0, true, false, rfNone,
                      0, false);
    benchmark::ClobberMemory();
    const double o = BenchSeconds(a, BenchClock::now());
    a = BenchClock::now();
    pixman_image_composite32(PIXMAN_OP_OVER, s0, nullptr, d, 0, 0, 0, 0, 0, 0, dw, dh);
    pixman_image_composite32(PIXMAN_OP_OVER, s1, nullptr, d, 0, 0, 0, 0, 0, reflY, dw, reflH);
    benchmark::ClobberMemory();
    theirs += BenchSeconds(a, BenchClock::now());
    ours += o;
    state.SetIterationTime(o);
  }
  // Both composed the same picture: the largest channel difference over a grid of samples.
  int32_t maxDiff = 0;
  for (int32_t y = 0; y < dh; y += 7) {
    const uint8_t* row = target->Scanline(y);
    for (int32_t x = 0; x < dw; x += 5) {
      const uint32_t p = dst32[static_cast<size_t>(y) * dw + x];
      for (int32_t c = 0; c < 3; ++c) {
        const int32_t theirsC = static_cast<int32_t>((p >> (8 * c)) & 255);
        maxDiff = std::max(maxDiff, std::abs(int32_t{row[3 * x + c]} - theirsC));
      }
    }
  }
  pixman_image_unref(s0);
  pixman_image_unref(s1);
  pixman_image_unref(d);
  state.counters["max_diff"] = maxDiff;
  state.counters["ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
  state.counters["pixman_ms"] = theirs / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio"] = ours / theirs;
}

BENCHMARK_CAPTURE(BM_LayersPaint, layers_paint_zoom100, 100.0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LayersPaint, layers_paint_zoom50, 50.0)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LayersPaint, layers_paint_zoom200, 200.0)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
