// The deflate streams against zlib's one-shot compress2 and uncompress on 64 MiB of picture-like
// data (smooth rows with noise), at zlib's default level. Each iteration runs zlib and ours on
// the same data; the reported time is ours, and x_zlib = our time / zlib's time (goal <= 1.05).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/hypxutils.h"
#include "core/pxzlib.h"

namespace {

constexpr size_t kTotal = size_t{64} << 20;

const std::vector<uint8_t>& Plain() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(kTotal);
    uint32_t x = 1;
    for (size_t i = 0; i < d.size(); ++i) {
      x = x * 1664525u + 1013904223u;
      d[i] = static_cast<uint8_t>(((i % 3000) / 12) + ((x >> 28) & 3));
    }
    return d;
  }();
  return data;
}

const std::vector<uint8_t>& Packed() {
  static const std::vector<uint8_t> packed = [] {
    std::vector<uint8_t> p(compressBound(kTotal));
    uLongf len = p.size();
    if (compress2(p.data(), &len, Plain().data(), kTotal, Z_DEFAULT_COMPRESSION) != Z_OK) std::abort();
    p.resize(len);
    return p;
  }();
  return packed;
}

template <class Ours, class Peer>
void Compare(benchmark::State& state, Ours ours, Peer peer) {
  TimeOursAgainstPeer(state, "x_zlib", ours, peer);
  state.SetBytesProcessed(static_cast<int64_t>(kTotal * state.iterations()));
}

void BM_Compress(benchmark::State& state) {
  const auto& plain = Plain();
  std::vector<uint8_t> out(compressBound(kTotal));
  TMemoryStream dest;
  dest.SetCapacity(static_cast<int64_t>(out.size()));
  Compare(
      state,
      [&] {
        dest.SetPosition(0);
        TZCompressionStream z(&dest, 2, 15);
        z.WriteBuffer(plain.data(), static_cast<int64_t>(plain.size()));
        z.Finish();
      },
      [&] {
        uLongf len = out.size();
        if (compress2(out.data(), &len, plain.data(), kTotal, Z_DEFAULT_COMPRESSION) != Z_OK) std::abort();
      });
}

void BM_DecompressStream(benchmark::State& state) {
  const auto& packed = Packed();
  std::vector<uint8_t> out(kTotal);
  Compare(
      state,
      [&] {
        TPXMemStream source(packed.data(), static_cast<int64_t>(packed.size()));
        TZDecompressionStream z(&source);
        z.ReadBuffer(out.data(), static_cast<int64_t>(kTotal));
      },
      [&] {
        uLongf len = kTotal;
        if (uncompress(out.data(), &len, packed.data(), packed.size()) != Z_OK) std::abort();
      });
}

// The one-shot routine hands back a new buffer, so zlib's side allocates its output too.
void BM_DecompressBuffer(benchmark::State& state) {
  const auto& packed = Packed();
  Compare(
      state,
      [&] {
        TBytes result;
        int32_t size = 0;
        ZDecompressBuffer(packed.data(), static_cast<int32_t>(packed.size()), result, size,
                          static_cast<int32_t>(kTotal));
        benchmark::DoNotOptimize(result.data());
      },
      [&] {
        auto out = std::make_unique_for_overwrite<uint8_t[]>(kTotal);
        uLongf len = kTotal;
        if (uncompress(out.get(), &len, packed.data(), packed.size()) != Z_OK) std::abort();
        benchmark::DoNotOptimize(out.get());
      });
}

BENCHMARK(BM_Compress)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DecompressStream)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecompressBuffer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
