// FindFileFormat (content only) over 1,000 small files of mixed kinds against libmagic's
// magic_file on the same files. Each iteration runs both over every file; the reported time is
// ours, and x_libmagic = our time / libmagic's (goal <= 1.5).
#include <benchmark/benchmark.h>
#include <magic.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/pixoranio_registry.h"
#include "io/pixoranio_sniff.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

struct TFiles {
  std::filesystem::path Dir;
  std::vector<std::string> Names;
  ~TFiles() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

// Pictures' starts (PNG, JPEG, GIF, BMP, TIFF, PCX, AVI), text and noise, 256 to 4351 bytes.
const TFiles& Files() {
  static const TFiles files = [] {
    TFiles f;
    f.Dir = std::filesystem::temp_directory_path() / ("pxbench-sniff-" + std::to_string(getpid()));
    std::filesystem::create_directories(f.Dir);
    const std::string heads[] = {
        std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16), std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11),
        "GIF89a", "BM", std::string("II*\0\x08\0\0\0", 8), std::string("\x0A\x05\x01\x08", 4),
        std::string("RIFF\0\x10\0\0AVI LIST", 16), "Plain text of a note\n"};
    const char* exts[] = {".png", ".jpg", ".gif", ".bmp", ".tif", ".pcx", ".avi", ".txt", ".bin"};
    uint32_t x = 7;
    for (int i = 0; i < 1000; ++i) {
      const int kind = i % 9;
      std::string data = kind < 8 ? heads[kind] : std::string();
      const size_t size = 256 + (i * 37) % 4096;
      while (data.size() < size) {
        x = x * 1664525u + 1013904223u;
        data.push_back(kind == 7 ? static_cast<char>('a' + (x >> 27)) : static_cast<char>(x >> 24));
      }
      const std::string name = (f.Dir / ("f" + std::to_string(i) + exts[kind])).string();
      std::ofstream(name, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
      f.Names.push_back(name);
    }
    return f;
  }();
  return files;
}

void BM_FindFileFormat(benchmark::State& state) {
  const TFiles& files = Files();
  RegisterFileFormats();
  magic_t cookie = magic_open(MAGIC_MIME_TYPE);
  if (!cookie || magic_load(cookie, nullptr) != 0) {
    state.SkipWithError("libmagic has no database");
    return;
  }
  double tOurs = 0, tPeer = 0;
  int64_t found = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    for (const std::string& name : files.Names) benchmark::DoNotOptimize(magic_file(cookie, name.c_str()));
    const auto b = Clock::now();
    for (const std::string& name : files.Names) found += FindFileFormat(name, 0) != 0;
    const auto c = Clock::now();
    tPeer += Seconds(a, b);
    tOurs += Seconds(b, c);
    state.SetIterationTime(Seconds(b, c));
  }
  magic_close(cookie);
  FreeFileFormats();
  benchmark::DoNotOptimize(found);
  state.counters["x_libmagic"] = tOurs / tPeer;
  state.SetItemsProcessed(static_cast<int64_t>(files.Names.size()) * state.iterations());
}

}  // namespace

BENCHMARK(BM_FindFileFormat)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
