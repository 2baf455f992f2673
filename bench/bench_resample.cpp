// The resamplers on px24RGB pictures, 24 to 6 megapixels and 6 to 24 megapixels.
//   Kernel rows (Lanczos 3, Mitchell, triangle) at 1, 4 and 8 threads: each iteration runs our
//   kernel path (its bands and the settings' thread limit at that count) and libvips' vips_resize
//   with the same kernel (lanczos3, mitchell, linear; no box pre-shrink) on the same number of
//   workers, in this process; both write into destinations allocated once. ratio = ours / vips
//   over the fastest call of each (target: at most 0.8).
//   Pillow rows: its Image.resize with the matching filter (LANCZOS, BILINEAR; Pillow has no
//   Mitchell and its BICUBIC is Catmull-Rom, which none of our kernels is), timed inside Python
//   around the resize alone, against ours on one thread, as Pillow runs.
//   ImageMagick rows: MagickWand's MagickResizeImage with the same filter on the same thread
//   count, in this process, on a copy of its picture made outside the timing.
//   Front rows: the alpha-aware front (ours alone) with Lanczos 3, fast linear (with the size of
//   its work array), area and nearest.
// Last, speckle removal on a 12-megapixel page against ImageMagick's opening plus closing as a
// cost reference.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/BenchVips.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"

// Last: MagickCore defines macros that clash with our member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int32_t kBigW = 6000, kBigH = 4000;    // 24 megapixels
constexpr int32_t kSmallW = 3000, kSmallH = 2000;  // 6 megapixels

std::unique_ptr<TPXBitmap> MakePicture(int32_t w, int32_t h, bool alpha) {
  auto b = BenchGradientPicture(w, h, 12345, 7, 5);
  if (alpha) {
    TPXBitmap* a = b->GetAlphaChannel();
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) a->Scanline(y)[x] = static_cast<uint8_t>((x + y) & 255);
  }
  return b;
}

TPXBitmap* Source(bool down, bool alpha) {
  static std::unique_ptr<TPXBitmap> pics[2][2];
  auto& p = pics[down][alpha];
  if (!p) p = down ? MakePicture(kBigW, kBigH, alpha) : MakePicture(kSmallW, kSmallH, alpha);
  return p.get();
}

void Target(bool down, int32_t& w, int32_t& h) {
  w = down ? kSmallW : kBigW;
  h = down ? kSmallH : kBigH;
}

// --- ours against libvips --------------------------------------------------------------------

// A source picture, its target size and a destination allocated at that size once.
struct TResize {
  TPXBitmap* Src;
  int32_t W = 0, H = 0;
  TPXBitmap Dst;
  explicit TResize(bool Down) : Src(Source(Down, false)) {
    Target(Down, W, H);
    Dst.Allocate(W, H, px24RGB);
  }
};

// Our kernel path on Threads bands with the settings' limit at the same count.
void RunOursKernel(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, int32_t Threads) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  s->FMaxThreads = Threads;
  ResampleKernel24(Src, Dst, Filter, {}, nullptr, Threads);
  s->FMaxThreads = saved;
}

void BM_VersusVips(benchmark::State& state, TResampleFilter filter, VipsKernel kernel, bool down) {
  if (!BenchVipsReady()) {
    state.SkipWithError("libvips did not start");
    return;
  }
  const int32_t threads = static_cast<int32_t>(state.range(0));
  TResize r(down);
  TPXBitmap* src = r.Src;
  const int32_t w = r.W, h = r.H;
  TPXBitmap& dst = r.Dst;
  static std::unique_ptr<TBenchVipsImage> in[2];
  if (!in[down]) in[down] = std::make_unique<TBenchVipsImage>(src, false);
  std::vector<uint8_t> out;
  auto vips = [&] {
    return BenchVipsSeconds(in[down]->Image(), threads, out, [&](VipsImage* In, VipsImage** Out) {
      return vips_resize(In, Out, double(w) / src->Width(), "vscale", double(h) / src->Height(), "kernel", kernel,
                         "gap", 0.0, nullptr);
    });
  };
  RunOursKernel(src, &dst, filter, threads);
  if (vips() < 0) {
    state.SkipWithError("vips_resize failed");
    return;
  }
  OursAndPeerTimes t;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    RunOursKernel(src, &dst, filter, threads);
    const double ours = BenchSeconds(a, BenchClock::now());
    t.Add(0, ours, ours + vips());
    state.SetIterationTime(ours);
  }
  t.Report(state, "vips");
  state.counters["Mpix/s"] = double(w) * h / 1e6 / t.Ours;
}

#define PX_VIPS(name, f, k)                                                                                    \
  BENCHMARK_CAPTURE(BM_VersusVips, name##_down, f, k, true)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(  \
      benchmark::kMillisecond);                                                                               \
  BENCHMARK_CAPTURE(BM_VersusVips, name##_up, f, k, false)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(   \
      benchmark::kMillisecond)
PX_VIPS(lanczos3, rfLanczos3, VIPS_KERNEL_LANCZOS3);
PX_VIPS(mitchell, rfMitchell, VIPS_KERNEL_MITCHELL);
PX_VIPS(triangle, rfTriangle, VIPS_KERNEL_LINEAR);

// --- ours against Pillow, one thread ---------------------------------------------------------

std::string PeerInput(bool down) {
  const std::string f = BenchTempFile(down ? "big.ppm" : "small.ppm");
  if (access(f.c_str(), R_OK) != 0) WritePpm(Source(down, false), f);
  return f;
}

void BM_VersusPillow(benchmark::State& state, TResampleFilter filter, const char* pil, bool down) {
  TResize r(down);
  const std::string script = std::string(
                                 "import sys, time\nfrom PIL import Image\n"
                                 "im = Image.open(sys.argv[1]); im.load()\n"
                                 "t = time.perf_counter(); im.resize((int(sys.argv[2]), int(sys.argv[3])), Image.") +
                             pil + ")\nprint(time.perf_counter() - t)\n";
  const std::vector<std::string> args{PeerInput(down), std::to_string(r.W), std::to_string(r.H)};
  TimeOursAgainstScript(
      state,
      [&] {
        const auto a = BenchClock::now();
        RunOursKernel(r.Src, &r.Dst, filter, 1);
        return BenchSeconds(a, BenchClock::now());
      },
      script, args, "pillow");
}
BENCHMARK_CAPTURE(BM_VersusPillow, lanczos3_down, rfLanczos3, "LANCZOS", true)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusPillow, lanczos3_up, rfLanczos3, "LANCZOS", false)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusPillow, triangle_down, rfTriangle, "BILINEAR", true)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VersusPillow, triangle_up, rfTriangle, "BILINEAR", false)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// --- ours against ImageMagick, same threads ----------------------------------------------------

void BM_VersusMagick(benchmark::State& state, TResampleFilter filter, FilterTypes im, bool down) {
  const int32_t threads = static_cast<int32_t>(state.range(0));
  TResize r(down);
  TPXBitmap* src = r.Src;
  const int32_t w = r.W, h = r.H;
  TPXBitmap& dst = r.Dst;
  MagickWand* original = BenchMagickWand(src);
  MagickSetResourceLimit(ThreadResource, MagickSizeType(threads));
  OursAndPeerTimes t;
  for (auto _ : state) {
    MagickWand* work = CloneMagickWand(original);
    const auto a = BenchClock::now();
    RunOursKernel(src, &dst, filter, threads);
    const auto b = BenchClock::now();
    MagickResizeImage(work, size_t(w), size_t(h), im, 1.0);
    const auto c = BenchClock::now();
    DestroyMagickWand(work);
    t.Add(0, BenchSeconds(a, b), BenchSeconds(a, c));
    state.SetIterationTime(BenchSeconds(a, b));
  }
  DestroyMagickWand(original);
  t.Report(state, "magick");
}
#define PX_MAGICK(name, f, im)                                                                                   \
  BENCHMARK_CAPTURE(BM_VersusMagick, name##_down, f, im, true)->Arg(1)->Arg(4)->UseManualTime()->Iterations(2)->Unit( \
      benchmark::kMillisecond)
PX_MAGICK(lanczos3, rfLanczos3, LanczosFilter);
PX_MAGICK(mitchell, rfMitchell, MitchellFilter);
PX_MAGICK(triangle, rfTriangle, TriangleFilter);

// --- the alpha-aware front, ours alone ----------------------------------------------------------

void BM_Front(benchmark::State& state, TResampleFilter filter, bool down, bool alpha) {
  TPXBitmap* src = Source(down, alpha);
  int32_t w, h;
  Target(down, w, h);
  TPXBitmap dst;
  for (auto _ : state) {
    state.PauseTiming();
    dst.Allocate(w, h, px24RGB);
    state.ResumeTiming();
    ResampleWithAlpha(src, &dst, filter, {}, nullptr);
  }
  if (filter == rfFastLinear)  // its work array: source height x destination width x 3 bytes
    state.counters["work_MB"] = static_cast<double>(src->Height()) * w * 3 / 1e6;
}

#define PX_FRONT(name, f)                                                                          \
  BENCHMARK_CAPTURE(BM_Front, name##_down, f, true, false)->Unit(benchmark::kMillisecond);         \
  BENCHMARK_CAPTURE(BM_Front, name##_down_alpha, f, true, true)->Unit(benchmark::kMillisecond);    \
  BENCHMARK_CAPTURE(BM_Front, name##_up, f, false, false)->Unit(benchmark::kMillisecond);          \
  BENCHMARK_CAPTURE(BM_Front, name##_up_alpha, f, false, true)->Unit(benchmark::kMillisecond)
PX_FRONT(lanczos3, rfLanczos3);
PX_FRONT(fastlinear, rfFastLinear);
PX_FRONT(area_bilinear, rfBilinear);
PX_FRONT(nearest, rfNone);

// --- speckle removal ----------------------------------------------------------------------------
// RemoveSpeckles on a 12-megapixel binary page (strokes with salt-and-pepper noise) against
// ImageMagick's morphological opening plus closing as a cost reference (ratio only: the two do
// different work).

constexpr int32_t kPageW = 4000, kPageH = 3000;

std::unique_ptr<TPXBitmap> MakePage() {
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(kPageW, kPageH, px1g);
  uint32_t seed = 777;
  for (int32_t y = 0; y < kPageH; ++y) {
    uint8_t* row = b->Scanline(y);
    for (int32_t x = 0; x < kPageW; ++x) {
      seed = seed * 1103515245u + 12345u;
      const bool stroke = (y % 40 < 24) && ((x / 3 + y / 5) % 7 == 0 || (x % 23) < 2);
      const bool noise = ((seed >> 16) & 255) == 0;
      SetPixelBit(row, x, (stroke != noise) ? 0 : 1);  // black strokes on white
    }
  }
  return b;
}

void BM_Speckle(benchmark::State& state) {
  auto page = MakePage();
  TPXBitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(page.get());
    state.ResumeTiming();
    RemoveSpeckles(&work, false, false, 6, static_cast<int32_t>(state.range(0)), true);
  }
}
BENCHMARK(BM_Speckle)->Arg(3)->Arg(6)->Unit(benchmark::kMillisecond);

void BM_SpeckleImageMagick(benchmark::State& state) {
  const std::string in = BenchTempFile("page.pbm"), out = BenchTempFile("out.pbm");
  {
    auto page = MakePage();
    std::ofstream f(in, std::ios::binary);
    f << "P4\n" << kPageW << " " << kPageH << "\n";
    for (int32_t y = 0; y < kPageH; ++y) {
      const uint8_t* r = page->Scanline(y);
      for (int32_t i = 0; i < (kPageW + 7) / 8; ++i) f.put(static_cast<char>(~r[i]));
    }
  }
  TimeCommandMinusPlain(
      state, kBenchConvert,
      {kBenchConvert, in, "-morphology", "Open", "Square:1", "-morphology", "Close", "Square:1", out},
      {kBenchConvert, in, out});
  unlink(in.c_str());
  unlink(out.c_str());
}
BENCHMARK(BM_SpeckleImageMagick)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  MagickWandGenesis();
  const int rc = BenchMain(argc, argv);
  MagickWandTerminus();
  return rc;
}
