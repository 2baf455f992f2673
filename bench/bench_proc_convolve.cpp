// The 3 x 3 grey convolution of a 12-megapixel px8g picture with the "Blur", "Low Pass 2" and
// "Edges" presets against Pillow's ImageFilter.Kernel with the same kernels (timed inside Python
// around the filter alone; target: ours faster).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Startup.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_sample.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels

TPXBitmap* Picture() {
  static std::unique_ptr<TPXBitmap> p;
  if (p) return p.get();
  p = std::make_unique<TPXBitmap>();
  p->Allocate(kW, kH, px8g);
  uint32_t seed = 99;
  for (int32_t y = 0; y < kH; ++y) {
    uint8_t* row = p->Scanline(y);
    for (int32_t x = 0; x < kW; ++x) {
      seed = seed * 1103515245u + 12345u;
      row[x] = static_cast<uint8_t>(((x / 5) ^ (y / 3)) + ((seed >> 16) & 15));
    }
  }
  return p.get();
}

void BM_Convolve3x3Gray(benchmark::State& state) {
  const TPXConvolutionKernel k = PXFilterPresets()[static_cast<size_t>(state.range(0))];
  TPXBitmap* b = Picture();
  for (auto _ : state) Convolve3x3Gray(b, k, 0, 0, kW, kH);
  state.SetLabel(PXFilterPresetNames()[static_cast<size_t>(state.range(0))]);
  state.counters["Mpix/s"] =
      benchmark::Counter(static_cast<double>(kW) * kH / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
// 1 "Blur", 8 "Low Pass 2", 2 "Edges".
BENCHMARK(BM_Convolve3x3Gray)->Arg(1)->Arg(8)->Arg(2)->Unit(benchmark::kMillisecond);

// --- Pillow ------------------------------------------------------------------------------------

constexpr const char* kPython = "/usr/bin/python3";

std::string TempPath(const char* name) {
  static std::string dir;
  if (dir.empty()) {
    char t[] = "/tmp/bench_proc_convolve_XXXXXX";
    if (mkdtemp(t)) dir = t;
  }
  return dir + "/" + name;
}

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

void BM_Pillow(benchmark::State& state) {
  if (access(kPython, X_OK) != 0) {
    state.SkipWithError("python3 not installed");
    return;
  }
  const std::string in = TempPath("in.pgm"), timeFile = TempPath("time.txt");
  if (access(in.c_str(), R_OK) != 0) {
    std::ofstream f(in, std::ios::binary);
    f << "P5\n" << kW << " " << kH << "\n255\n";
    for (int32_t y = 0; y < kH; ++y) f.write(reinterpret_cast<const char*>(Picture()->Scanline(y)), kW);
  }
  const TPXConvolutionKernel& k = PXFilterPresets()[static_cast<size_t>(state.range(0))];
  std::string list;
  for (int i = 0; i < 9; ++i) list += (i ? "," : "") + std::to_string(k.Values[i]);
  const std::string script =
      "import sys, time\nfrom PIL import Image, ImageFilter\n"
      "im = Image.open(sys.argv[1]); im.load()\n"
      "f = ImageFilter.Kernel((3, 3), [int(v) for v in sys.argv[2].split(',')], scale=int(sys.argv[3]))\n"
      "best = 1e9\n"
      "for i in range(3):\n"
      "    t = time.perf_counter(); im.filter(f); best = min(best, time.perf_counter() - t)\n"
      "print(best)\n";
  for (auto _ : state) {
    if (!Run({kPython, "-c", script, in, list, std::to_string(k.Divisor == 0 ? 1 : k.Divisor)}, timeFile)) {
      state.SkipWithError("Pillow not available");
      return;
    }
    std::ifstream t(timeFile);
    double s = 0;
    t >> s;
    state.SetIterationTime(s);
  }
  state.SetLabel(PXFilterPresetNames()[static_cast<size_t>(state.range(0))]);
}
BENCHMARK(BM_Pillow)->Arg(1)->Arg(8)->Arg(2)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  RtlStartup();
  RegisterProcessingUnit();  // the filter presets
  StaticInitialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StaticFinalize();
  unlink(TempPath("in.pgm").c_str());
  unlink(TempPath("time.txt").c_str());
  rmdir(TempPath("").c_str());
  return 0;
}
