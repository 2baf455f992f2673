// Streams against the plain loops they stand on: TFileStream against read/write on a file
// descriptor, TMemoryStream against memcpy, sequentially over 256 MiB in 64 KiB blocks and in
// 4-byte fields. Each iteration runs the plain loop and ours on the same data; the reported
// time is ours, and the counters give both rates and ratio = plain time / our time (the goal
// is at least 0.9 for 64 KiB blocks). File fields move 16 MiB only: every field is a system
// call on both sides.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int64_t kTotal = int64_t{256} << 20;
constexpr int64_t kFileFieldTotal = int64_t{16} << 20;
constexpr int32_t kBlock = 64 << 10;
constexpr int32_t kField = 4;

std::string g_file;  // the file the read benchmarks read, made by main
std::string g_out;   // the file the write benchmarks write

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

template <class Ours, class Plain>
void Compare(benchmark::State& state, int64_t bytes, Ours ours, Plain plain) {
  double tOurs = 0, tPlain = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    plain();
    const auto b = Clock::now();
    ours();
    const auto c = Clock::now();
    tPlain += Seconds(a, b);
    tOurs += Seconds(b, c);
    state.SetIterationTime(Seconds(b, c));
  }
  const double moved = static_cast<double>(bytes) * static_cast<double>(state.iterations());
  state.counters["ours_GBps"] = moved / tOurs / 1e9;
  state.counters["plain_GBps"] = moved / tPlain / 1e9;
  state.counters["ratio"] = tPlain / tOurs;
  state.SetBytesProcessed(static_cast<int64_t>(moved));
}

uint8_t* Block() {
  static std::vector<uint8_t> block = [] {
    std::vector<uint8_t> b(kBlock);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 131);
    return b;
  }();
  return block.data();
}

int OpenPlain(const std::string& name, int flags) {
  const int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0600);
  if (fd < 0) ::abort();
  return fd;
}

void FileWrite(benchmark::State& state, int32_t chunk, int64_t total) {
  uint8_t* block = Block();
  Compare(
      state, total,
      [&] {
        TFileStream f(g_out, fmCreate);
        for (int64_t at = 0; at < total; at += chunk) f.WriteBuffer(block + at % kBlock, chunk);
      },
      [&] {
        const int fd = OpenPlain(g_out, O_WRONLY | O_CREAT | O_TRUNC);
        for (int64_t at = 0; at < total; at += chunk)
          if (::write(fd, block + at % kBlock, static_cast<size_t>(chunk)) != chunk) ::abort();
        ::close(fd);
      });
}

void FileRead(benchmark::State& state, int32_t chunk, int64_t total) {
  std::vector<uint8_t> buf(kBlock);
  uint64_t sum = 0;
  Compare(
      state, total,
      [&] {
        TFileStream f(g_file, fmOpenRead);
        for (int64_t at = 0; at < total; at += chunk) {
          f.ReadBuffer(buf.data(), chunk);
          sum += buf[0];
        }
      },
      [&] {
        const int fd = OpenPlain(g_file, O_RDONLY);
        for (int64_t at = 0; at < total; at += chunk) {
          if (::read(fd, buf.data(), static_cast<size_t>(chunk)) != chunk) ::abort();
          sum += buf[0];
        }
        ::close(fd);
      });
  benchmark::DoNotOptimize(sum);
}

void BM_FileWrite64K(benchmark::State& s) { FileWrite(s, kBlock, kTotal); }
void BM_FileRead64K(benchmark::State& s) { FileRead(s, kBlock, kTotal); }
void BM_FileWriteFields(benchmark::State& s) { FileWrite(s, kField, kFileFieldTotal); }
void BM_FileReadFields(benchmark::State& s) { FileRead(s, kField, kFileFieldTotal); }

// Memory: the stream already holds 256 MiB (as the plain buffer does), so both sides move
// bytes between warm memory.
struct MemorySides {
  TMemoryStream stream;
  std::vector<uint8_t> plain;
  MemorySides() : plain(static_cast<size_t>(kTotal)) {
    stream.SetSize(kTotal);
    for (int64_t at = 0; at < kTotal; at += kBlock) {
      std::memcpy(static_cast<uint8_t*>(stream.Memory()) + at, Block(), kBlock);
      std::memcpy(plain.data() + at, Block(), kBlock);
    }
  }
};

void BM_MemoryWrite64K(benchmark::State& state) {
  MemorySides m;
  uint8_t* block = Block();
  Compare(
      state, kTotal,
      [&] {
        m.stream.SetPosition(0);
        for (int64_t at = 0; at < kTotal; at += kBlock) m.stream.WriteBuffer(block, kBlock);
      },
      [&] {
        for (int64_t at = 0; at < kTotal; at += kBlock) std::memcpy(m.plain.data() + at, block, kBlock);
        benchmark::ClobberMemory();
      });
}

void BM_MemoryRead64K(benchmark::State& state) {
  MemorySides m;
  std::vector<uint8_t> buf(kBlock);
  Compare(
      state, kTotal,
      [&] {
        m.stream.SetPosition(0);
        for (int64_t at = 0; at < kTotal; at += kBlock) {
          m.stream.ReadBuffer(buf.data(), kBlock);
          benchmark::DoNotOptimize(buf.data());
        }
      },
      [&] {
        for (int64_t at = 0; at < kTotal; at += kBlock) {
          std::memcpy(buf.data(), m.plain.data() + at, kBlock);
          benchmark::DoNotOptimize(buf.data());
        }
      });
}

void BM_MemoryWriteFields(benchmark::State& state) {
  MemorySides m;
  Compare(
      state, kTotal,
      [&] {
        m.stream.SetPosition(0);
        for (uint32_t v = 0; v < kTotal / kField; ++v) m.stream.WriteBuffer(&v, kField);
      },
      [&] {
        uint8_t* p = m.plain.data();
        for (uint32_t v = 0; v < kTotal / kField; ++v) {
          std::memcpy(p + int64_t{v} * kField, &v, kField);
          benchmark::ClobberMemory();
        }
      });
}

void BM_MemoryReadFields(benchmark::State& state) {
  MemorySides m;
  uint64_t sum = 0;
  Compare(
      state, kTotal,
      [&] {
        m.stream.SetPosition(0);
        for (int64_t at = 0; at < kTotal; at += kField) {
          uint32_t v;
          m.stream.ReadBuffer(&v, kField);
          sum += v;
        }
      },
      [&] {
        const uint8_t* p = m.plain.data();
        for (int64_t at = 0; at < kTotal; at += kField) {
          uint32_t v;
          std::memcpy(&v, p + at, kField);
          benchmark::DoNotOptimize(v);
          sum += v;
        }
      });
  benchmark::DoNotOptimize(sum);
}

}  // namespace

BENCHMARK(BM_FileWrite64K)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileRead64K)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileWriteFields)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileReadFields)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryWrite64K)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryRead64K)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryWriteFields)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryReadFields)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::string tmpl = "/tmp/pxbench-streams-XXXXXX";
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return 1;
  g_file = tmpl;
  g_out = tmpl + ".out";
  for (int64_t at = 0; at < kTotal; at += kBlock)
    if (::write(fd, Block(), kBlock) != kBlock) return 1;
  ::close(fd);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ::unlink(g_file.c_str());
  ::unlink(g_out.c_str());
  return 0;
}
