// Rendering against pixman in the same run, at 1, 4 and 8 threads: ours with the settings'
// thread limit at that count, pixman split in the same number of row bands of the destination on
// the library's thread pool (each band its own pixman images). Only the render is timed; both
// write into destinations allocated once. ratio = ours / pixman over the fastest call of each.
//   render_fit:   a 4000 x 3000 px24RGB picture fitted into 1440 x 1080: rfNone against pixman's
//                 nearest scaling (goal at most 1.5), and rfFastLinear, an area average over
//                 each destination pixel's footprint, against pixman's separable convolution
//                 with a box of the same support (the scale factor) on each axis (goal at most
//                 1); pixman works on x8r8g8b8 copies of the same pixels.
//   render_blend: Render24RGBBlended of a 12-megapixel picture with alpha over another at 1:1,
//                 the way the view composes a layer over layer 0, against pixman OVER with an a8
//                 mask; two overlays, a soft-edged ellipse and a full fade (goal at most 1.0 on
//                 one thread, below 1 on four).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_blur.h"

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

// What pixman composes: Source (through Mask, if any) onto Dest with Op, the source optionally
// scaled by Transform with Filter; the images of each band are made from these.
struct PixmanJob {
  pixman_op_t Op = PIXMAN_OP_SRC;
  pixman_format_code_t SourceFormat = PIXMAN_x8r8g8b8;
  uint32_t* Source = nullptr;
  int32_t SourceW = 0, SourceH = 0;
  uint8_t* Mask = nullptr;  // a8, of the destination's size
  uint32_t* Dest = nullptr;
  int32_t W = 0, H = 0;
  bool Scaled = false;
  pixman_transform_t Transform{};
  pixman_filter_t Filter = PIXMAN_FILTER_NEAREST;
  std::vector<pixman_fixed_t> FilterParams;

  void Band(int32_t First, int32_t Count) const {
    const bool banded = !Scaled;  // an unscaled source and mask are cut to the band's rows too
    pixman_image_t* s = pixman_image_create_bits(SourceFormat, SourceW, banded ? Count : SourceH,
                                                 Source + (banded ? size_t(First) * SourceW : 0), SourceW * 4);
    if (Scaled) {
      pixman_image_set_transform(s, &Transform);
      pixman_image_set_filter(s, Filter, FilterParams.empty() ? nullptr : FilterParams.data(),
                              static_cast<int>(FilterParams.size()));
    }
    pixman_image_t* m = Mask ? pixman_image_create_bits(PIXMAN_a8, W, Count,
                                                        reinterpret_cast<uint32_t*>(Mask + size_t(First) * W), W)
                             : nullptr;
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, Count, Dest + size_t(First) * W, W * 4);
    // A scaled source is addressed in destination coordinates before the transform.
    pixman_image_composite32(Op, s, m, d, 0, banded ? 0 : First, 0, 0, 0, 0, W, Count);
    pixman_image_unref(s);
    if (m) pixman_image_unref(m);
    pixman_image_unref(d);
  }
  double Run(int32_t Threads) const {
    const auto a = BenchClock::now();
    RunProcBands(H, Threads, [this](int32_t First, int32_t Count, bool) { Band(First, Count); });
    benchmark::ClobberMemory();
    return BenchSeconds(a, BenchClock::now());
  }
};

// Each iteration times Ours (on Threads threads), then pixman's job in as many bands; the
// iteration's time is ours. Refresh (untimed) runs before each of them.
template <class Render, class Refresh>
void TimeAgainstPixman(benchmark::State& state, Render&& Ours, const PixmanJob& Job, Refresh&& Fresh) {
  const int32_t threads = static_cast<int32_t>(state.range(0));
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int32_t saved = settings->FMaxThreads;
  settings->FMaxThreads = threads;
  OursAndPeerTimes t;
  for (auto _ : state) {
    Fresh();
    auto a = BenchClock::now();
    Ours();
    benchmark::ClobberMemory();
    const double o = BenchSeconds(a, BenchClock::now());
    Fresh();
    t.Add(0, o, o + Job.Run(threads));
    state.SetIterationTime(o);
  }
  settings->FMaxThreads = saved;
  t.Report(state, "pixman");
}

void BM_RenderFit(benchmark::State& state, TResampleFilter Filter, pixman_filter_t Peer) {
  Picture& src = Big();
  constexpr int32_t dw = 1440, dh = 1080;
  auto dst = TPXBitmap::CreateAllocated(dw, dh, px24RGB);
  std::vector<uint32_t> dst32(static_cast<size_t>(dw) * dh);
  PixmanJob job;
  job.Source = src.Words.data();
  job.SourceW = src.W;
  job.SourceH = src.H;
  job.Dest = dst32.data();
  job.W = dw;
  job.H = dh;
  job.Scaled = true;
  const double sx = static_cast<double>(src.W) / dw, sy = static_cast<double>(src.H) / dh;
  pixman_transform_init_scale(&job.Transform, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
  job.Filter = Peer;
  if (Peer == PIXMAN_FILTER_SEPARABLE_CONVOLUTION) {
    // A box as wide as the scale factor on each axis: every source pixel under the
    // destination pixel's footprint is read, as in ours.
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy), PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE,
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 2, 2);
    job.FilterParams.assign(params, params + n);
    free(params);
  }
  TimeAgainstPixman(
      state,
      [&] {
        src.Bitmap->RenderToPXBitmap(dst.get(), 0, 0, dw, dh, 0, 0, src.W, src.H, false, 255, Filter, pxboNormal,
                                     1.0);
      },
      job, [] {});
}

// A 12-megapixel overlay with an ellipse or a fade in its alpha, over a base of the same size.
uint8_t OverlayAlpha(bool Fade, int32_t x, int32_t y, int32_t W, int32_t H) {
  if (Fade) return static_cast<uint8_t>((int64_t(x) + y) * 255 / (W + H));
  const double dx = (x - W / 2.0) / (W * 0.4), dy = (y - H / 2.0) / (H * 0.35), d = dx * dx + dy * dy;
  return d <= 0.98 ? 255 : d <= 1.02 ? static_cast<uint8_t>((1.02 - d) * 255 / 0.04) : 0;
}

void BM_RenderBlend(benchmark::State& state, bool Fade) {
  constexpr int32_t w = 4000, h = 3000;
  static std::unique_ptr<Picture> overlay[2];
  if (!overlay[Fade]) {
    overlay[Fade] = std::make_unique<Picture>(w, h, true);
    TPXBitmap* a = overlay[Fade]->Bitmap->GetAlphaChannel();
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = a->Scanline(y);
      for (int32_t x = 0; x < w; ++x) r[x] = OverlayAlpha(Fade, x, y, w, h);
    }
    a->UpdateFull();
  }
  Picture& src = *overlay[Fade];
  Picture back(w, h, false);
  auto base = TPXBitmap::CreateAllocated(w, h, px24RGB);
  std::vector<uint32_t> base32 = back.Words;
  std::vector<uint8_t> mask(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(mask.data() + static_cast<size_t>(y) * w, src.Bitmap->GetAlphaChannel()->Scanline(y), w);
  PixmanJob job;
  job.Op = PIXMAN_OP_OVER;
  job.Source = src.Words.data();
  job.SourceW = w;
  job.SourceH = h;
  job.Mask = mask.data();
  job.Dest = back.Words.data();
  job.W = w;
  job.H = h;
  // Both composite onto a fresh copy of the base (untimed), as the view does for each paint.
  TimeAgainstPixman(
      state,
      [&] {
        src.Bitmap->RenderToPXBitmap(back.Bitmap.get(), 0, 0, w, h, 0, 0, w, h, true, 255, rfNone, pxboNormal, 1.0);
      },
      job,
      [&] {
        back.Bitmap->AssignFrom(base.get(), false);
        std::memcpy(back.Words.data(), base32.data(), base32.size() * 4);
      });
}

BENCHMARK_CAPTURE(BM_RenderFit, render_fit_none_vs_nearest, rfNone, PIXMAN_FILTER_NEAREST)
    ->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderFit, render_fit_fastlinear_vs_box, rfFastLinear, PIXMAN_FILTER_SEPARABLE_CONVOLUTION)
    ->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderBlend, render_blend_ellipse, false)
    ->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderBlend, render_blend_fade, true)
    ->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
