// The resamplers on px24RGB pictures, 24 to 6 megapixels and 6 to 24 megapixels: the kernel path
// with Lanczos 3, Mitchell and triangle at 1, 2, 4 and 8 bands, the same through the alpha-aware
// front, the fast linear (with the size of its work array), area and nearest paths; and in the
// same run the peers with the same filters: ImageMagick's convert (its resize minus the same
// command's plain read and write) and Pillow's Image.resize (timed inside Python around the
// resize alone). Compare each peer row with ours of the same filter and direction (targets:
// faster than ImageMagick, within 1.5 x of libvips; Pillow stands in as a ratio-only peer where
// libvips is not installed). Last, speckle removal on a 12-megapixel page against ImageMagick's
// opening plus closing as a cost reference.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"

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

// --- ours ----------------------------------------------------------------------------------------

void BM_Kernel(benchmark::State& state, TResampleFilter filter, bool down) {
  const int32_t bands = static_cast<int32_t>(state.range(0));
  TPXBitmap* src = Source(down, false);
  int32_t w, h;
  Target(down, w, h);
  TPXBitmap dst;
  dst.Allocate(w, h, px24RGB);
  for (auto _ : state) ResampleKernel24(src, &dst, filter, {}, nullptr, bands);
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(w) * h / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

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

#define PX_KERNEL(name, f)                                                                       \
  BENCHMARK_CAPTURE(BM_Kernel, name##_down, f, true)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_Kernel, name##_up, f, false)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)
PX_KERNEL(lanczos3, rfLanczos3);
PX_KERNEL(mitchell, rfMitchell);
PX_KERNEL(triangle, rfTriangle);

#define PX_FRONT(name, f)                                                                          \
  BENCHMARK_CAPTURE(BM_Front, name##_down, f, true, false)->Unit(benchmark::kMillisecond);         \
  BENCHMARK_CAPTURE(BM_Front, name##_down_alpha, f, true, true)->Unit(benchmark::kMillisecond);    \
  BENCHMARK_CAPTURE(BM_Front, name##_up, f, false, false)->Unit(benchmark::kMillisecond);          \
  BENCHMARK_CAPTURE(BM_Front, name##_up_alpha, f, false, true)->Unit(benchmark::kMillisecond)
PX_FRONT(lanczos3, rfLanczos3);
PX_FRONT(fastlinear, rfFastLinear);
PX_FRONT(area_bilinear, rfBilinear);
PX_FRONT(nearest, rfNone);

// --- peers -----------------------------------------------------------------------------------------

std::string PeerInput(bool down) {
  const std::string f = BenchTempFile(down ? "big.ppm" : "small.ppm");
  if (access(f.c_str(), R_OK) != 0) WritePpm(Source(down, false), f);
  return f;
}

void BM_ImageMagick(benchmark::State& state, const char* filter, bool down) {
  const std::string in = PeerInput(down), out = BenchTempFile("out.ppm");
  int32_t w, h;
  Target(down, w, h);
  const std::string size = std::to_string(w) + "x" + std::to_string(h) + "!";
  TimeCommandMinusPlain(state, kBenchConvert, {kBenchConvert, in, "-filter", filter, "-resize", size, out},
                        {kBenchConvert, in, out});
}

void BM_Pillow(benchmark::State& state, const char* filter, bool down) {
  int32_t w, h;
  Target(down, w, h);
  const std::string script = std::string(
                                 "import sys, time\nfrom PIL import Image\n"
                                 "im = Image.open(sys.argv[1]); im.load()\n"
                                 "t = time.perf_counter(); im.resize((int(sys.argv[2]), int(sys.argv[3])), Image.") +
                             filter + ")\nprint(time.perf_counter() - t)\n";
  TimePythonScript(state, script, {PeerInput(down), std::to_string(w), std::to_string(h)});
}

#define PX_PEERS(name, im, pil)                                                                              \
  BENCHMARK_CAPTURE(BM_ImageMagick, name##_down, im, true)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond); \
  BENCHMARK_CAPTURE(BM_ImageMagick, name##_up, im, false)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);  \
  BENCHMARK_CAPTURE(BM_Pillow, name##_down, pil, true)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);     \
  BENCHMARK_CAPTURE(BM_Pillow, name##_up, pil, false)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond)
PX_PEERS(lanczos3, "Lanczos", "LANCZOS");
PX_PEERS(mitchell, "Mitchell", "BICUBIC");
PX_PEERS(triangle, "Triangle", "BILINEAR");
PX_PEERS(box, "Box", "BOX");
PX_PEERS(nearest, "Point", "NEAREST");

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

int main(int argc, char** argv) { return BenchMain(argc, argv); }
