// Shared pieces of the benchmark programs: a steady clock in seconds, running a peer program and
// timing its command less the same program's plain read and write, Pillow timings taken inside
// Python, a temporary folder for the peers' files, a test picture and its PPM / PGM files, and
// the main() of the programs that start the library.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_startup.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Startup.h"

extern char** environ;

using BenchClock = std::chrono::steady_clock;

inline double BenchSeconds(BenchClock::time_point a, BenchClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The calling thread's processor time in seconds: for code that runs on this thread alone it is
// disturbed less by other work on a busy machine than the wall clock.
inline double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The fastest time of ours and of a peer over the iterations of a benchmark that times both in
// each: Add takes the clock before ours, between the two and after the peer.
struct OursAndPeerTimes {
  double Ours = 1e9, Peer = 1e9;
  void Add(double A, double B, double C) {
    Ours = std::min(Ours, B - A);
    Peer = std::min(Peer, C - B);
  }
  // ours_ms, <PeerName>_ms and ratio = ours / peer.
  void Report(benchmark::State& State, const std::string& PeerName) const {
    State.counters["ours_ms"] = Ours * 1e3;
    State.counters[PeerName + "_ms"] = Peer * 1e3;
    State.counters["ratio"] = Ours / Peer;
  }
};

// Size bytes from the library's own block allocator, the one our pictures come from (huge pages
// at picture sizes). A peer that needs new memory on every call takes it here, so both sides
// pay the same page faults; a peer that can reuse its buffer allocates it once, outside the
// timing, as ours reuse their bitmaps.
inline TPXBlockPtr BenchBlock(size_t Size) {
  TPXBlockPtr p(static_cast<uint8_t*>(AllocHeapBlock(static_cast<int64_t>(Size))));
  if (!p) std::abort();
  return p;
}

inline constexpr const char* kBenchConvert = "/usr/bin/convert";
inline constexpr const char* kBenchVips = "/usr/bin/vips";
inline constexpr const char* kBenchPython = "/usr/bin/python3";

// Runs argv (argv[0] a full path) with standard output into outFile and standard error
// discarded; returns its exit status, -1 where it could not start or did not exit normally.
inline int RunProgram(const std::vector<std::string>& argv, const std::string& outFile = "/dev/null") {
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
  if (rc != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The time of command less that of plain (the same program reading and writing the same files),
// at least a microsecond; negative where either failed.
inline double CommandMinusPlain(const std::vector<std::string>& command, const std::vector<std::string>& plain) {
  const auto a = BenchClock::now();
  const bool ok1 = RunProgram(command) == 0;
  const auto b = BenchClock::now();
  const bool ok2 = RunProgram(plain) == 0;
  const auto c = BenchClock::now();
  if (!ok1 || !ok2) return -1;
  return std::max(1e-6, BenchSeconds(a, b) - BenchSeconds(b, c));
}

// Sets each iteration's time to CommandMinusPlain; skips where program is missing or fails.
inline void TimeCommandMinusPlain(benchmark::State& state, const char* program, const std::vector<std::string>& command,
                                  const std::vector<std::string>& plain) {
  if (access(program, X_OK) != 0) {
    state.SkipWithError((std::string(program) + " not installed").c_str());
    return;
  }
  for (auto _ : state) {
    const double t = CommandMinusPlain(command, plain);
    if (t < 0) {
      state.SkipWithError("peer command failed");
      return;
    }
    state.SetIterationTime(t);
  }
}

// A folder in /tmp for the peers' files, made on first use and removed with all it holds at exit.
inline const std::string& BenchTempDir() {
  struct Dir {
    std::string Path;
    Dir() {
      char t[] = "/tmp/px_bench_XXXXXX";
      if (mkdtemp(t)) Path = t;
    }
    ~Dir() {
      std::error_code ec;
      if (!Path.empty()) std::filesystem::remove_all(Path, ec);
    }
  };
  static Dir d;
  return d.Path;
}

inline std::string BenchTempFile(const std::string& name) { return BenchTempDir() + "/" + name; }

// Sets each iteration's time to the seconds a Python script prints (it times the peer's call
// alone); args follow the script on its command line. Skips where python3 or Pillow is missing.
inline void TimePythonScript(benchmark::State& state, const std::string& script, const std::vector<std::string>& args) {
  if (access(kBenchPython, X_OK) != 0) {
    state.SkipWithError("python3 not installed");
    return;
  }
  std::vector<std::string> argv{kBenchPython, "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string timeFile = BenchTempFile("time.txt");
  for (auto _ : state) {
    if (RunProgram(argv, timeFile) != 0) {
      state.SkipWithError("Pillow not available");
      return;
    }
    std::ifstream t(timeFile);
    double s = 0;
    t >> s;
    state.SetIterationTime(s);
  }
}

// The seconds a Python script prints (it times the peer's call alone), args after the script on
// its command line; negative where python3 or Pillow is missing or the script failed.
inline double PythonScriptSeconds(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv{kBenchPython, "-c", script};
  argv.insert(argv.end(), args.begin(), args.end());
  const std::string timeFile = BenchTempFile("time.txt");
  if (RunProgram(argv, timeFile) != 0) return -1;
  std::ifstream t(timeFile);
  double s = -1;
  t >> s;
  return s;
}

// Each iteration runs Ours (which returns its own seconds), then the script (which prints the
// peer's); the iteration's time is ours, and ratio = ours / peer over the fastest call of each.
template <class Ours>
void TimeOursAgainstScript(benchmark::State& state, Ours&& O, const std::string& script,
                           const std::vector<std::string>& args, const std::string& PeerName) {
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double ours = O();
    const double peer = PythonScriptSeconds(script, args);
    if (peer < 0) {
      state.SkipWithError("python3 with Pillow not available");
      return;
    }
    t.Add(0, ours, ours + peer);
    state.SetIterationTime(ours);
  }
  t.Report(state, PeerName);
}

// A w x h px24RGB test picture: red and green ramps across and down with a little noise from
// seed, blue a checker of xCell x yCell cells.
inline std::unique_ptr<TPXBitmap> BenchGradientPicture(int32_t w, int32_t h, uint32_t seed, int32_t xCell,
                                                       int32_t yCell) {
  auto b = std::make_unique<TPXBitmap>();
  b->Allocate(w, h, px24RGB);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->Scanline(y);
    for (int32_t x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int n = static_cast<int>((seed >> 16) & 31);
      row[x * 3] = static_cast<uint8_t>(x * 255 / w + n);
      row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / h + n);
      row[x * 3 + 2] = static_cast<uint8_t>(((x / xCell) ^ (y / yCell)) & 255);
    }
  }
  return b;
}

// Writes a px24RGB picture as binary PPM (its BGR pixels as RGB).
inline void WritePpm(TPXBitmap* b, const std::string& file) {
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

// Writes a px8g picture as binary PGM.
inline void WritePgm(TPXBitmap* b, const std::string& file) {
  std::ofstream out(file, std::ios::binary);
  out << "P5\n" << b->Width() << " " << b->Height() << "\n255\n";
  for (int32_t y = 0; y < b->Height(); ++y) out.write(reinterpret_cast<const char*>(b->Scanline(y)), b->Width());
}

// An empty bitmap kept in memory whatever its size (no file-backed storage); with W and H
// above 0 allocated in Format, nil when the memory cannot be had.
inline std::unique_ptr<TPXBitmap> BenchMemoryBitmap(int32_t W = 0, int32_t H = 0, TPXPixelFormat Format = px24RGB) {
  auto b = std::make_unique<TPXBitmap>();
  b->FLocation = pxMemory;
  b->FMemoryLimit = INT64_MAX;
  if (W > 0 && H > 0 && !b->Allocate(W, H, Format)) return nullptr;
  return b;
}

// Times peer() and then ours() back to back in every iteration on this thread; the iteration's
// time is ours and the counter named ratio is our fastest call over the peer's. Each side runs
// once untimed first, so buffers either side keeps across calls (our bitmaps, the peer's output)
// are allocated and touched outside the timing.
template <class Ours, class Peer>
void TimeOursAgainstPeer(benchmark::State& state, const char* ratio, Ours ours, Peer peer) {
  peer();
  ours();
  double tOurs = 1e9, tPeer = 1e9;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    peer();
    const auto b = BenchClock::now();
    ours();
    const auto c = BenchClock::now();
    tPeer = std::min(tPeer, BenchSeconds(a, b));
    tOurs = std::min(tOurs, BenchSeconds(b, c));
    state.SetIterationTime(BenchSeconds(b, c));
  }
  state.counters[ratio] = tOurs / tPeer;
}

// Our pictures' memory is advised for transparent huge pages; malloc's is not, so a peer that
// allocates per call would pay a page fault per 4 KB that ours avoids. glibc's malloc.hugetlb=1
// gives every malloc'd block the same advice. glibc reads its tunables at start-up, so the
// program runs itself again once with the tunable set; where that fails it carries on as is.
inline void BenchSameHugePages(char** argv) {
  const char* t = std::getenv("GLIBC_TUNABLES");
  if (t && std::string(t).find("glibc.malloc.hugetlb=1") != std::string::npos) return;
  const std::string v = t && *t ? std::string(t) + ":glibc.malloc.hugetlb=1" : "glibc.malloc.hugetlb=1";
  setenv("GLIBC_TUNABLES", v.c_str(), 1);
  execv("/proc/self/exe", argv);
}

// Times Ours and Peer alternately on this thread's processor clock; the counters keep each side's
// best time as ours_ms and <PeerName>_ms, and their ratio.
template <typename TOurs, typename TPeer>
void BenchCompare(benchmark::State& State, const std::string& PeerName, TOurs Ours, TPeer Peer) {
  double ours = 1e9, peer = 1e9;
  for (auto _ : State) {
    const double a = ThreadCpuSeconds();
    Ours();
    const double b = ThreadCpuSeconds();
    Peer();
    const double c = ThreadCpuSeconds();
    ours = std::min(ours, b - a);
    peer = std::min(peer, c - b);
    State.SetIterationTime(b - a);
  }
  State.counters["ours_ms"] = ours * 1e3;
  State.counters[PeerName + "_ms"] = peer * 1e3;
  State.counters["ratio"] = ours / peer;
}

// The main() of the programs that do not start the library.
inline int BenchPlainMain(int argc, char** argv) {
  BenchSameHugePages(argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// The main() of the programs that start the library: registerUnits (if any) runs between the
// run-time start and the static initialisation, prepare (if any) after it, before the first
// benchmark.
inline int BenchMain(int argc, char** argv, void (*registerUnits)() = nullptr, void (*prepare)() = nullptr) {
  BenchSameHugePages(argv);
  RtlStartup();
  if (registerUnits) registerUnits();
  StaticInitialize();
  if (prepare) prepare();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StaticFinalize();
  RtlShutdown();
  return 0;
}
