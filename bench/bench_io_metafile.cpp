// ImportMetafile of a placeable WMF of 2,000 records (coloured rectangles and ellipses) at
// 2000 x 1500 against the drawing library's bare metafile path on the same file: read and
// convert it (GdipCreateMetafileFromFile) and rasterise it at the same size
// (GdipRasterizeMetafile), in the same run. Both convert through the same helper process, so the
// wall clock is used. Reported: ours_ms, gdiplus_ms (fastest iteration each) and ratio = ours /
// gdiplus (goal <= 1.15).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "platform/gdiplus/GdiPlusMetafile.h"

namespace {

void Put16(std::vector<uint8_t>& B, int32_t V) {
  B.push_back(uint8_t(V & 0xFF));
  B.push_back(uint8_t((V >> 8) & 0xFF));
}
void Put32(std::vector<uint8_t>& B, int64_t V) {
  for (int i = 0; i < 4; ++i) B.push_back(uint8_t((V >> (8 * i)) & 0xFF));
}

// 2,000 records: window set-up, then brushes made, selected and deleted around rectangles and
// ellipses at random places.
std::vector<uint8_t> BusyWmf(int32_t W, int32_t H) {
  std::vector<uint8_t> rec;
  int32_t records = 0, largest = 0;
  auto record = [&](int32_t Function, std::vector<int32_t> Words) {
    Put32(rec, 3 + int64_t(Words.size()));
    Put16(rec, Function);
    for (int32_t w : Words) Put16(rec, w);
    largest = std::max(largest, 3 + int32_t(Words.size()));
    ++records;
  };
  std::mt19937 rng(11);
  record(0x020B, {0, 0});
  record(0x020C, {H, W});
  record(0x02FA, {5, 0, 0, 0, 0});  // null pen
  record(0x012D, {0});
  while (records < 1999) {
    const uint32_t c = rng() & 0xFFFFFF;
    record(0x02FC, {0, int32_t(c & 0xFFFF), int32_t(c >> 16), 0});  // brush: object 1
    record(0x012D, {1});
    const int32_t x = int32_t(rng() % uint32_t(W - 100)), y = int32_t(rng() % uint32_t(H - 100));
    const int32_t w = 20 + int32_t(rng() % 80), h = 20 + int32_t(rng() % 80);
    record((rng() & 1) ? 0x041B : 0x0418, {y + h, x + w, y, x});  // RECTANGLE or ELLIPSE
    record(0x01F0, {1});                                           // DELETEOBJECT
  }
  record(0x0000, {});
  std::vector<uint8_t> b;
  Put32(b, 0x9AC6CDD7);
  for (int32_t w : {0, 0, 0, W, H, 96}) Put16(b, w);
  Put32(b, 0);
  uint16_t checksum = 0;
  for (size_t i = 0; i < 20; i += 2) checksum ^= uint16_t(b[i] | (b[i + 1] << 8));
  Put16(b, checksum);
  Put16(b, 1);
  Put16(b, 9);
  Put16(b, 0x0300);
  Put32(b, int64_t((18 + rec.size()) / 2));
  Put16(b, 2);
  Put32(b, largest);
  Put16(b, 0);
  b.insert(b.end(), rec.begin(), rec.end());
  return b;
}

void BM_ImportMetafile(benchmark::State& state) {
  constexpr int32_t kW = 2000, kH = 1500;
  const std::string name = (std::filesystem::temp_directory_path() / "bench_io_metafile.wmf").string();
  {
    const std::vector<uint8_t> bytes = BusyWmf(kW, kH);
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  GdiplusStartupInput input;
  ULONG_PTR token = 0;
  GdiplusStartup(&token, &input, nullptr);
  TPixoranIO io(nullptr);
  OursAndPeerTimes t;
  bool ours = false, peer = false;
  std::vector<uint32_t> pixels;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    ours = io.ImportMetafile(name, kW, kH, true);
    const auto m = BenchClock::now();
    GpMetafile* mf = nullptr;
    peer = GdipCreateMetafileFromFile(name, &mf) == Ok && GdipRasterizeMetafile(mf, kW, kH, pixels) == Ok;
    if (mf) GdipDisposeImage(mf);
    const auto c = BenchClock::now();
    t.Add(0, BenchSeconds(a, m), BenchSeconds(a, c));
  }
  GdiplusShutdown(token);
  std::filesystem::remove(name);
  if (!ours || !peer || io.WorkingBitmap()->Width() != kW) std::abort();
  t.Report(state, "gdiplus");
}

BENCHMARK(BM_ImportMetafile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
