// An image layer's record, written and read, with a 12-megapixel px24RGB picture (4000 x 3000)
// and its alpha channel: smooth gradients with mild noise, as a photograph. Format -1 (the raw
// bitmap stream deflated) against zlib's compress2 / uncompress at the default level on the same
// raw bytes (goal: at most 1.1), Format -2 (the raw stream as it is) against memcpy of the same
// bytes into a new block (goal: at most 1.5). Each iteration runs ours, then the peer; the
// reported time is ours, ratio = ours / peer. Both write into and read into new memory, the
// peer's from the library's allocator with the same huge pages as ours; one thread each.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

// Smooth colour ramps and a soft vignette in the alpha channel, each with a little noise.
std::unique_ptr<TPXBitmap> PhotoLikePicture() {
  GlobalSettingsInstance()->FBitmapMemoryLimit = -1;
  auto b = std::make_unique<TPXBitmap>();
  if (!b->Allocate(kWidth, kHeight, px24RGB) || b->Location() != pxMemory) return nullptr;
  TPXBitmap* alpha = b->GetAlphaChannel();
  if (!alpha) return nullptr;
  uint32_t seed = 12345;
  auto noise = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % 7) - 3;
  };
  auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = b->Scanline(y);
    uint8_t* a = alpha->Scanline(y);
    const double fy = static_cast<double>(y) / kHeight;
    for (int32_t x = 0; x < kWidth; ++x) {
      const double fx = static_cast<double>(x) / kWidth;
      row[x * 3] = clamp(60 + 120 * fy + 40 * std::sin(fx * 3.1) + noise());
      row[x * 3 + 1] = clamp(90 + 100 * fx * fy + 30 * std::cos(fy * 2.3) + noise());
      row[x * 3 + 2] = clamp(200 - 150 * fy + 20 * fx + noise());
      const double dx = fx - 0.5, dy = fy - 0.5;
      a[x] = clamp(255 - 300 * (dx * dx + dy * dy) + noise());
    }
  }
  return b;
}

// The picture's raw bitmap stream, the bytes both records hold (deflated or not).
std::vector<uint8_t> RawBytes(TPXBitmap* Picture) {
  std::vector<uint8_t> raw(static_cast<size_t>(Picture->RawStreamSize()));
  Picture->SaveRawToStream(raw.data(), nullptr, false);
  return raw;
}

struct TLayers {
  std::unique_ptr<TPXImageLayer> Source;
  std::unique_ptr<TPXImageLayer> Target;
  std::vector<uint8_t> Raw;
};

bool MakeLayers(benchmark::State& state, TLayers& L) {
  auto picture = PhotoLikePicture();
  if (!picture) {
    state.SkipWithError("picture could not be had");
    return false;
  }
  L.Raw = RawBytes(picture.get());
  L.Source = std::make_unique<TPXImageLayer>(nullptr, std::move(picture));
  L.Target = std::make_unique<TPXImageLayer>(nullptr);
  return true;
}

void Write(benchmark::State& state, int32_t Format) {
  TLayers L;
  if (!MakeLayers(state, L)) return;
  const uLong rawLen = static_cast<uLong>(L.Raw.size());
  double tOurs = 0, tPeer = 0;
  int64_t recordSize = 0, peerSize = 0;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    {
      TMemoryStream record;
      L.Source->SaveToStream(&record, false, Format);
      recordSize = record.Size();
      benchmark::DoNotOptimize(record.Memory());
    }
    const auto b = BenchClock::now();
    if (Format == -1) {
      uLongf packedLen = compressBound(rawLen);
      TPXBlockPtr packed = BenchBlock(packedLen);
      if (compress2(packed.get(), &packedLen, L.Raw.data(), rawLen, Z_DEFAULT_COMPRESSION) != Z_OK) {
        state.SkipWithError("compress2 failed");
        return;
      }
      peerSize = static_cast<int64_t>(packedLen);
      benchmark::DoNotOptimize(packed.get());
    } else {
      TPXBlockPtr copy = BenchBlock(L.Raw.size());
      std::memcpy(copy.get(), L.Raw.data(), L.Raw.size());
      peerSize = static_cast<int64_t>(L.Raw.size());
      benchmark::DoNotOptimize(copy.get());
    }
    const auto c = BenchClock::now();
    tOurs += BenchSeconds(a, b);
    tPeer += BenchSeconds(b, c);
    state.SetIterationTime(BenchSeconds(a, b));
  }
  state.counters["ratio"] = tOurs / tPeer;
  state.counters["recordMB"] = static_cast<double>(recordSize) / 1e6;
  state.counters["peerMB"] = static_cast<double>(peerSize) / 1e6;
}

void Read(benchmark::State& state, int32_t Format) {
  TLayers L;
  if (!MakeLayers(state, L)) return;
  TMemoryStream record;
  L.Source->SaveToStream(&record, false, Format);
  const uLong rawLen = static_cast<uLong>(L.Raw.size());
  std::vector<uint8_t> packed;
  if (Format == -1) {
    uLongf packedLen = compressBound(rawLen);
    packed.resize(packedLen);
    if (compress2(packed.data(), &packedLen, L.Raw.data(), rawLen, Z_DEFAULT_COMPRESSION) != Z_OK) {
      state.SkipWithError("compress2 failed");
      return;
    }
    packed.resize(packedLen);
  }
  double tOurs = 0, tPeer = 0;
  for (auto _ : state) {
    // A new layer each time, as a file being opened gets: its bitmap is new memory, as the peer's.
    L.Target = std::make_unique<TPXImageLayer>(nullptr);
    record.SetPosition(0);
    const auto a = BenchClock::now();
    L.Target->LoadFromStream(&record);
    const auto b = BenchClock::now();
    TPXBlockPtr out = BenchBlock(L.Raw.size());
    if (Format == -1) {
      uLongf outLen = rawLen;
      if (uncompress(out.get(), &outLen, packed.data(), static_cast<uLong>(packed.size())) != Z_OK || outLen != rawLen) {
        state.SkipWithError("uncompress failed");
        return;
      }
    } else {
      std::memcpy(out.get(), L.Raw.data(), L.Raw.size());
    }
    benchmark::DoNotOptimize(out.get());
    const auto c = BenchClock::now();
    tOurs += BenchSeconds(a, b);
    tPeer += BenchSeconds(b, c);
    state.SetIterationTime(BenchSeconds(a, b));
  }
  TPXBitmap* got = L.Target->Bitmap();
  if (!got || got->Width() != kWidth || got->Height() != kHeight || !got->HasAlphaChannel()) {
    state.SkipWithError("the record did not read back");
    return;
  }
  state.counters["ratio"] = tOurs / tPeer;
}

void BM_WriteDeflated(benchmark::State& state) { Write(state, -1); }
void BM_ReadDeflated(benchmark::State& state) { Read(state, -1); }
void BM_WriteRaw(benchmark::State& state) { Write(state, -2); }
void BM_ReadRaw(benchmark::State& state) { Read(state, -2); }

}  // namespace

BENCHMARK(BM_WriteDeflated)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadDeflated)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriteRaw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_ReadRaw)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

int main(int argc, char** argv) { return BenchMain(argc, argv); }
