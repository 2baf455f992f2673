// Rotation of a 12-megapixel px24RGB picture by 30 degrees: the three shears with antialiasing,
// bilinear and bicubic interpolation and the nearest mapping, at 1, 4 and 8 threads; and in the
// same run the peers: ImageMagick's convert -rotate -30 (also three shears; its rotate minus the
// same command's plain read and write), libvips' vips rotate with the same interpolator (minus
// vips copy), and Pillow's Image.rotate(30, expand=True) with BICUBIC, BILINEAR and NEAREST
// (timed inside Python around the rotate alone). Targets: faster than ImageMagick, within 1.5 x
// of libvips.
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
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Startup.h"
#include "proc/pixoranproc_rotate.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels
constexpr double kAngle = 30;

TPXBitmap* Source() {
  static std::unique_ptr<TPXBitmap> pic;
  if (!pic) {
    pic = std::make_unique<TPXBitmap>();
    pic->Allocate(kW, kH, px24RGB);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kH; ++y) {
      uint8_t* row = pic->Scanline(y);
      for (int32_t x = 0; x < kW; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int n = static_cast<int>((seed >> 16) & 31);
        row[x * 3] = static_cast<uint8_t>(x * 255 / kW + n);
        row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / kH + n);
        row[x * 3 + 2] = static_cast<uint8_t>(((x / 7) ^ (y / 5)) & 255);
      }
    }
  }
  return pic.get();
}

// --- ours ----------------------------------------------------------------------------------------

void BM_Ours(benchmark::State& state, const std::function<void(TPXBitmap*)>& rotate) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const int32_t saved = s->FMaxThreads;
  s->FMaxThreads = static_cast<int32_t>(state.range(0));
  TPXBitmap work;
  for (auto _ : state) {
    state.PauseTiming();
    work.Assign(Source());
    state.ResumeTiming();
    rotate(&work);
  }
  s->FMaxThreads = saved;
  state.counters["Mpix/s"] = benchmark::Counter(static_cast<double>(kW) * kH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

#define PX_OURS(name, fn) \
  BENCHMARK_CAPTURE(BM_Ours, name, fn)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->MinTime(1.0)
PX_OURS(shear_antialias, [](TPXBitmap* b) { RotateByShear(b, kAngle, true, TRGB{}); });
PX_OURS(shear_plain, [](TPXBitmap* b) { RotateByShear(b, kAngle, false, TRGB{}); });
PX_OURS(bilinear, [](TPXBitmap* b) { RotateSmooth(b, kAngle, 0, 2); });
PX_OURS(bicubic, [](TPXBitmap* b) { RotateSmooth(b, kAngle, 0, 3); });
PX_OURS(nearest, [](TPXBitmap* b) { RotateNearest(b, kAngle, 0); });

// --- peers -----------------------------------------------------------------------------------------

struct TempDir {
  std::string Path;
  TempDir() {
    char t[] = "/tmp/bench_rotate_XXXXXX";
    if (mkdtemp(t)) Path = t;
  }
  ~TempDir() {
    if (Path.empty()) return;
    for (const char* f : {"/in.ppm", "/out.ppm", "/time.txt"}) unlink((Path + f).c_str());
    rmdir(Path.c_str());
  }
};

TempDir& Temp() {
  static TempDir d;
  return d;
}

std::string PeerInput() {
  const std::string f = Temp().Path + "/in.ppm";
  if (access(f.c_str(), R_OK) == 0) return f;
  TPXBitmap* b = Source();
  std::ofstream out(f, std::ios::binary);
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
constexpr const char* kVips = "/usr/bin/vips";
constexpr const char* kPython = "/usr/bin/python3";

// Times Command minus Plain (the same program's read and write alone).
void TimeCommandMinusPlain(benchmark::State& state, const char* program, const std::vector<std::string>& command,
                           const std::vector<std::string>& plain) {
  if (access(program, X_OK) != 0) {
    state.SkipWithError("peer not installed");
    return;
  }
  for (auto _ : state) {
    auto a = Clock::now();
    const bool ok1 = Run(command, "/dev/null");
    auto b = Clock::now();
    const bool ok2 = Run(plain, "/dev/null");
    auto c = Clock::now();
    if (!ok1 || !ok2) {
      state.SkipWithError("peer failed");
      return;
    }
    state.SetIterationTime(std::max(1e-6, Seconds(a, b) - Seconds(b, c)));
  }
}

void BM_ImageMagick(benchmark::State& state) {
  const std::string in = PeerInput(), out = Temp().Path + "/out.ppm";
  // ImageMagick turns clockwise for positive angles.
  TimeCommandMinusPlain(state, kConvert, {kConvert, in, "-background", "black", "-rotate", "-30", out},
                        {kConvert, in, out});
}
BENCHMARK(BM_ImageMagick)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Vips(benchmark::State& state, const char* interpolator) {
  const std::string in = PeerInput(), out = Temp().Path + "/out.ppm";
  TimeCommandMinusPlain(state, kVips, {kVips, "rotate", in, out, "30", "--interpolate", interpolator},
                        {kVips, "copy", in, out});
}
BENCHMARK_CAPTURE(BM_Vips, bilinear, "bilinear")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vips, bicubic, "bicubic")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Vips, nearest, "nearest")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Pillow(benchmark::State& state, const char* filter) {
  if (access(kPython, X_OK) != 0) {
    state.SkipWithError("python3 not installed");
    return;
  }
  const std::string in = PeerInput(), timeFile = Temp().Path + "/time.txt";
  const std::string script = std::string(
                                 "import sys, time\nfrom PIL import Image\n"
                                 "im = Image.open(sys.argv[1]); im.load()\n"
                                 "t = time.perf_counter(); im.rotate(30, resample=Image.") +
                             filter + ", expand=True)\nprint(time.perf_counter() - t)\n";
  for (auto _ : state) {
    if (!Run({kPython, "-c", script, in}, timeFile)) {
      state.SkipWithError("Pillow not available");
      return;
    }
    std::ifstream t(timeFile);
    double s = 0;
    t >> s;
    state.SetIterationTime(s);
  }
}
BENCHMARK_CAPTURE(BM_Pillow, bicubic, "BICUBIC")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pillow, bilinear, "BILINEAR")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pillow, nearest, "NEAREST")->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

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
