// One-byte reads of a 16 MiB file, as the byte-by-byte readers do: through TPXBufferedReadStream
// (8 KiB buffer over a TFileStream, called through TStream) against getc on a FILE*, and the
// plain TFileStream (a system call per byte, so only 1 MiB of it). The reported time is ours;
// x_getc = our time per byte / getc's (goal <= 1.5), x_plain the same for the plain stream.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/hypxutils.h"

namespace {

constexpr int64_t kTotal = int64_t{16} << 20;
constexpr int64_t kPlainTotal = int64_t{1} << 20;

std::string g_file;

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void MakeFile() {
  g_file = GetTempDir() + "pxbench-buffered-read.bin";
  std::vector<uint8_t> data(static_cast<size_t>(kTotal));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  TFileStream f(g_file, fmCreate);
  f.WriteBuffer(data.data(), kTotal);
}

uint64_t ReadOurs() {
  TFileStream file(g_file, fmOpenRead);
  TPXBufferedReadStream buffered(&file, 8192, true);
  TStream* s = &buffered;
  benchmark::DoNotOptimize(s);
  uint64_t sum = 0;
  uint8_t b = 0;
  while (s->Read(&b, 1) == 1) sum += b;
  return sum;
}

uint64_t ReadGetc() {
  FILE* f = std::fopen(g_file.c_str(), "rb");
  if (!f) std::abort();
  uint64_t sum = 0;
  for (int c; (c = std::getc(f)) != EOF;) sum += static_cast<uint64_t>(c);
  std::fclose(f);
  return sum;
}

uint64_t ReadPlain() {
  TFileStream file(g_file, fmOpenRead);
  TStream* s = &file;
  uint64_t sum = 0;
  uint8_t b = 0;
  for (int64_t i = 0; i < kPlainTotal && s->Read(&b, 1) == 1; ++i) sum += b;
  return sum;
}

void BM_OneByteReads(benchmark::State& state) {
  double tOurs = 0, tGetc = 0, tPlain = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    const uint64_t g = ReadGetc();
    const auto b = Clock::now();
    const uint64_t o = ReadOurs();
    const auto c = Clock::now();
    benchmark::DoNotOptimize(ReadPlain());
    const auto d = Clock::now();
    if (g != o) std::abort();
    tGetc += Seconds(a, b);
    tOurs += Seconds(b, c);
    tPlain += Seconds(c, d);
    state.SetIterationTime(Seconds(b, c));
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ns_per_byte"] = tOurs / n / kTotal * 1e9;
  state.counters["getc_ns"] = tGetc / n / kTotal * 1e9;
  state.counters["plain_ns"] = tPlain / n / kPlainTotal * 1e9;
  state.counters["x_getc"] = tOurs / tGetc;
  state.counters["x_plain"] = (tOurs / kTotal) / (tPlain / kPlainTotal);
  state.SetBytesProcessed(kTotal * state.iterations());
}

BENCHMARK(BM_OneByteReads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  MakeFile();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  DeleteFile(g_file);
  return 0;
}
