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
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Startup.h"
#include "proc/pixoranproc_resample.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

constexpr int32_t kBigW = 6000, kBigH = 4000;    // 24 megapixels
constexpr int32_t kSmallW = 3000, kSmallH = 2000;  // 6 megapixels

std::unique_ptr<TPXBitmap> MakePicture(int32_t w, int32_t h, bool alpha) {
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(w, h, px24RGB);
  uint32_t seed = 12345;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->Scanline(y);
    for (int32_t x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int n = static_cast<int>((seed >> 16) & 31);
      row[x * 3] = static_cast<uint8_t>(x * 255 / w + n);
      row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / h + n);
      row[x * 3 + 2] = static_cast<uint8_t>(((x / 7) ^ (y / 5)) & 255);
    }
  }
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

struct TempDir {
  std::string Path;
  TempDir() {
    char t[] = "/tmp/bench_resample_XXXXXX";
    if (mkdtemp(t)) Path = t;
  }
  ~TempDir() {
    if (Path.empty()) return;
    for (const char* f : {"/big.ppm", "/small.ppm", "/out.ppm", "/time.txt"}) unlink((Path + f).c_str());
    rmdir(Path.c_str());
  }
};

TempDir& Temp() {
  static TempDir d;
  return d;
}

void WritePpm(TPXBitmap* b, const std::string& file) {
  std::ofstream out(file, std::ios::binary);
  out << "P6\n" << b->Width() << " " << b->Height() << "\n255\n";
  std::vector<char> row(static_cast<size_t>(b->Width()) * 3);
  for (int32_t y = 0; y < b->Height(); ++y) {
    const uint8_t* s = b->Scanline(y);
    for (int32_t x = 0; x < b->Width(); ++x) {
      row[static_cast<size_t>(x) * 3] = static_cast<char>(s[x * 3 + 2]);
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<char>(s[x * 3 + 1]);
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<char>(s[x * 3]);
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
}

std::string PeerInput(bool down) {
  const std::string f = Temp().Path + (down ? "/big.ppm" : "/small.ppm");
  if (access(f.c_str(), R_OK) != 0) WritePpm(Source(down, false), f);
  return f;
}

// Runs argv with standard output into outFile; true on exit status 0.
bool Run(const std::vector<std::string>& argv, const std::string& outFile) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr const char* kConvert = "/usr/bin/convert";
constexpr const char* kPython = "/usr/bin/python3";

void BM_ImageMagick(benchmark::State& state, const char* filter, bool down) {
  if (access(kConvert, X_OK) != 0) {
    state.SkipWithError("ImageMagick not installed");
    return;
  }
  const std::string in = PeerInput(down), out = Temp().Path + "/out.ppm";
  int32_t w, h;
  Target(down, w, h);
  const std::string size = std::to_string(w) + "x" + std::to_string(h) + "!";
  for (auto _ : state) {
    auto a = Clock::now();
    const bool ok1 = Run({kConvert, in, "-filter", filter, "-resize", size, out}, "/dev/null");
    auto b = Clock::now();
    const bool ok2 = Run({kConvert, in, out}, "/dev/null");
    auto c = Clock::now();
    if (!ok1 || !ok2) {
      state.SkipWithError("convert failed");
      return;
    }
    state.SetIterationTime(std::max(1e-6, Seconds(a, b) - Seconds(b, c)));
  }
}

void BM_Pillow(benchmark::State& state, const char* filter, bool down) {
  if (access(kPython, X_OK) != 0) {
    state.SkipWithError("python3 not installed");
    return;
  }
  const std::string in = PeerInput(down), timeFile = Temp().Path + "/time.txt";
  int32_t w, h;
  Target(down, w, h);
  const std::string script = std::string(
                                 "import sys, time\nfrom PIL import Image\n"
                                 "im = Image.open(sys.argv[1]); im.load()\n"
                                 "t = time.perf_counter(); im.resize((int(sys.argv[2]), int(sys.argv[3])), Image.") +
                             filter + ")\nprint(time.perf_counter() - t)\n";
  for (auto _ : state) {
    if (!Run({kPython, "-c", script, in, std::to_string(w), std::to_string(h)}, timeFile)) {
      state.SkipWithError("Pillow not available");
      return;
    }
    std::ifstream t(timeFile);
    double s = 0;
    t >> s;
    state.SetIterationTime(s);
  }
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
  if (access(kConvert, X_OK) != 0) {
    state.SkipWithError("ImageMagick not installed");
    return;
  }
  const std::string in = Temp().Path + "/page.pbm", out = Temp().Path + "/out.pbm";
  {
    auto page = MakePage();
    std::ofstream f(in, std::ios::binary);
    f << "P4\n" << kPageW << " " << kPageH << "\n";
    for (int32_t y = 0; y < kPageH; ++y) {
      const uint8_t* r = page->Scanline(y);
      for (int32_t i = 0; i < (kPageW + 7) / 8; ++i) f.put(static_cast<char>(~r[i]));
    }
  }
  for (auto _ : state) {
    auto a = Clock::now();
    const bool ok1 = Run({kConvert, in, "-morphology", "Open", "Square:1", "-morphology", "Close", "Square:1", out},
                         "/dev/null");
    auto b = Clock::now();
    const bool ok2 = Run({kConvert, in, out}, "/dev/null");
    auto c = Clock::now();
    if (!ok1 || !ok2) {
      state.SkipWithError("convert failed");
      return;
    }
    state.SetIterationTime(std::max(1e-6, Seconds(a, b) - Seconds(b, c)));
  }
  unlink(in.c_str());
  unlink(out.c_str());
}
BENCHMARK(BM_SpeckleImageMagick)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  RtlStartup();
  StaticInitialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StaticFinalize();
  return 0;
}
