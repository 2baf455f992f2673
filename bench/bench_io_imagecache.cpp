// The image cache handing out a stored picture against decoding the same picture with our codecs,
// at 256 x 256 and 4000 x 3000 (a photo-like px24RGB picture):
//   BM_GetBitmap        GetBitmap + ReleaseBitmap of a picture of the file store that is not
//                       mapped, against loading it from an in-memory JPEG (quality 90) and PNG
//                       through TPixoranIO into a bitmap kept between calls; ratio = ours / JPEG
//                       (the goal is at most 0.25 at both sizes), png_ratio shown. read_ms
//                       and read_ratio also show GetBitmap + reading every row +
//                       ReleaseBitmap, and touch_ms reading every row of the original picture
//                       (what any reader of the rows pays, the cache aside).
//   BM_RoundRobin       the same over 12 pictures in turn, so that the 11 mapped blocks churn;
//                       ms per picture against the JPEG decode.
//   BM_MemoryStore      GetBitmap + ReleaseBitmap of the memory store against the bound of
//                       reading the block from a file in the page cache (pread into a new block)
//                       and copying it into a new bitmap.
// Everything runs on this thread; times are its processor clock, fastest call of each side.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "codecs/pxcodecs.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_support.h"
#include "io/pxxBitmaps_cache.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

std::unique_ptr<TPXBitmap> MakePicture(int32_t W, int32_t H, uint32_t Seed) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = reinterpret_cast<TRGB*>(b->Scanline(y));
    for (int32_t x = 0; x < W; ++x) {
      Seed = Seed * 1103515245u + 12345u;
      const int noise = int(Seed >> 29);
      row[x] = TRGB{uint8_t((x / 16 + noise) & 0xFF), uint8_t((y / 12 + x / 40) & 0xFF), uint8_t((x + y) / 28)};
    }
  }
  return b;
}

// The picture encoded by our writer.
std::unique_ptr<TMemoryStream> Encode(TPXBitmap* B, TPXFileType Type) {
  auto io = TPixoranIO::CreateForBitmap(B);
  io->Params()->JPEG_Quality = 90;
  auto s = std::make_unique<TMemoryStream>();
  io->SaveToStream(s.get(), Type);
  return s;
}

// One decode of the stream into a kept bitmap: the peer.
double Decode(TPixoranIO* IO, TMemoryStream* S, TPXFileType Type) {
  S->SetPosition(0);
  const double t0 = ThreadCpuSeconds();
  IO->LoadFromStream(S, Type);
  return ThreadCpuSeconds() - t0;
}

// Reads every row of B, as a user of a handed-out bitmap does.
uint64_t SumRows(TPXBitmap* B) {
  uint64_t sum = 0;
  const int64_t words = B->RowLen() / 8;  // one virtual call, not one per word
  for (int32_t y = 0; y < B->Height(); ++y) {
    const auto* row = reinterpret_cast<const uint64_t*>(B->Scanline(y));
    for (int64_t i = 0; i < words; ++i) sum += row[i];
  }
  return sum;
}

struct Sizes {
  int32_t W, H;
};
const Sizes kSizes[] = {{256, 256}, {4000, 3000}};

void BM_GetBitmap(benchmark::State& state) {
  const Sizes sz = kSizes[state.range(0)];
  auto picture = MakePicture(sz.W, sz.H, 7);
  auto jpeg = Encode(picture.get(), pxftJPEG);
  auto png = Encode(picture.get(), pxftPNG);
  TPXBitmap kept;
  auto io = TPixoranIO::CreateForBitmap(&kept);
  TPXVirtualImageList cache("BENCH", true);
  auto* mine = cache.AddBitmapDirect(picture.get());
  auto* other = cache.AddBitmapDirect(picture.get());
  cache.SetMaxMapped(0);  // mapping one picture unmaps the other
  double ours = 1e9, read = 1e9, touch = 1e9, peerJpeg = 1e9, peerPng = 1e9;
  for (auto _ : state) {
    cache.ReleaseBitmap(cache.GetBitmap(other), false);
    const double t0 = ThreadCpuSeconds();
    TPXBitmap* b = cache.GetBitmap(mine);
    cache.ReleaseBitmap(b, false);
    ours = std::min(ours, ThreadCpuSeconds() - t0);
    if (!b) state.SkipWithError("no bitmap");
    cache.ReleaseBitmap(cache.GetBitmap(other), false);
    const double t1 = ThreadCpuSeconds();
    b = cache.GetBitmap(mine);
    benchmark::DoNotOptimize(SumRows(b));
    cache.ReleaseBitmap(b, false);
    read = std::min(read, ThreadCpuSeconds() - t1);
    const double t2 = ThreadCpuSeconds();
    benchmark::DoNotOptimize(SumRows(picture.get()));
    touch = std::min(touch, ThreadCpuSeconds() - t2);
    peerJpeg = std::min(peerJpeg, Decode(io.get(), jpeg.get(), pxftJPEG));
    peerPng = std::min(peerPng, Decode(io.get(), png.get(), pxftPNG));
  }
  state.counters["ours_ms"] = ours * 1e3;
  state.counters["jpeg_ms"] = peerJpeg * 1e3;
  state.counters["png_ms"] = peerPng * 1e3;
  state.counters["ratio"] = ours / peerJpeg;
  state.counters["png_ratio"] = ours / peerPng;
  state.counters["read_ms"] = read * 1e3;
  state.counters["read_ratio"] = read / peerJpeg;
  state.counters["touch_ms"] = touch * 1e3;
}

void BM_RoundRobin(benchmark::State& state) {
  const Sizes sz = kSizes[state.range(0)];
  auto picture = MakePicture(sz.W, sz.H, 9);
  auto jpeg = Encode(picture.get(), pxftJPEG);
  TPXBitmap kept;
  auto io = TPixoranIO::CreateForBitmap(&kept);
  TPXVirtualImageList cache("BENCH", true);
  std::vector<TPXVirtualImage> images;
  for (int i = 0; i < 12; ++i) images.push_back(cache.AddBitmapDirect(picture.get()));
  double ours = 1e9, peer = 1e9;
  for (auto _ : state) {
    const double t0 = ThreadCpuSeconds();
    for (auto* r : images) cache.ReleaseBitmap(cache.GetBitmap(r), false);
    ours = std::min(ours, (ThreadCpuSeconds() - t0) / 12);
    peer = std::min(peer, Decode(io.get(), jpeg.get(), pxftJPEG));
  }
  state.counters["ours_ms_per_picture"] = ours * 1e3;
  state.counters["jpeg_ms"] = peer * 1e3;
  state.counters["ratio"] = ours / peer;
}

void BM_MemoryStore(benchmark::State& state) {
  const Sizes sz = kSizes[state.range(0)];
  auto picture = MakePicture(sz.W, sz.H, 11);
  TPXVirtualImageList cache("BENCH", false);
  auto* mine = cache.AddBitmapDirect(picture.get());
  auto* other = cache.AddBitmapDirect(picture.get());
  cache.SetMaxMapped(0);
  const int64_t size = mine->Size;
  // The bound reads the same bytes from a file in the page cache.
  const std::string name = MakeTempFileName("BENCH", "", "");
  const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    state.SkipWithError("no temporary file");
    return;
  }
  {
    std::vector<uint8_t> bytes(static_cast<size_t>(size), 0x5A);
    if (::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) std::abort();
  }
  const int64_t rowLen = picture->RowLen();
  double ours = 1e9, peer = 1e9;
  for (auto _ : state) {
    cache.ReleaseBitmap(cache.GetBitmap(other), false);
    const double t0 = ThreadCpuSeconds();
    cache.ReleaseBitmap(cache.GetBitmap(mine), false);
    const double t1 = ThreadCpuSeconds();
    {
      TPXBlockPtr block(static_cast<uint8_t*>(AllocBlock(false, size)));
      if (::pread(fd, block.get(), static_cast<size_t>(size), 0) != size) std::abort();
      auto b = TPXBitmap::CreateAllocated(sz.W, sz.H, px24RGB);
      for (int32_t y = 0; y < sz.H; ++y)
        std::memcpy(b->Scanline(y), block.get() + (sz.H - 1 - y) * rowLen, static_cast<size_t>(rowLen));
      benchmark::DoNotOptimize(b->Scanline(0));
    }
    const double t2 = ThreadCpuSeconds();
    ours = std::min(ours, t1 - t0);
    peer = std::min(peer, t2 - t1);
  }
  ::close(fd);
  std::remove(name.c_str());
  state.counters["ours_ms"] = ours * 1e3;
  state.counters["bound_ms"] = peer * 1e3;
  state.counters["ratio"] = ours / peer;
}

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgName("size_256_4000x3000")->Arg(0)->Arg(1)->Iterations(8)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_GetBitmap)->Apply(Cases);
BENCHMARK(BM_RoundRobin)->Apply(Cases);
BENCHMARK(BM_MemoryStore)->Apply(Cases);

// The I/O front end and the two codecs the peers decode with.
void RegisterUnits() {
  RegisterIOSupport();
  RegisterPngCodec();
  RegisterJpegCodec();
}

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv, RegisterUnits); }
