// Saving an undo state of a 24-megapixel px24RGB picture (6000 x 4000) against its plain peer:
// into a temporary file (UndoLocation pxFile) against one write(2) of the same bytes to a new
// file in the same folder, and into memory (pxMemory) against memcpy into a new block (from the
// library's allocator, with the same huge pages as the undo copy's). One thread on both sides. Each
// iteration runs ours, then the peer; the reported time is ours, ratio = ours / peer (goals:
// at most 1.2 for the file, 1.1 for memory). UndoLimit 1, so every save replaces the previous
// entry, as the reflection's rebuild steps do; the Fresh variants drop the entry first (untimed),
// so every save makes a new copy.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"

namespace {

constexpr int32_t kWidth = 6000;
constexpr int32_t kHeight = 4000;

std::unique_ptr<TPXBitmap> MakePicture() {
  GlobalSettingsInstance()->FBitmapMemoryLimit = -1;
  auto b = std::make_unique<TPXBitmap>();
  if (!b->Allocate(kWidth, kHeight, px24RGB) || b->Location() != pxMemory) return nullptr;
  for (int32_t y = 0; y < kHeight; ++y) {
    uint8_t* row = b->Scanline(y);
    for (int64_t i = 0; i < b->RowLen(); ++i) row[i] = static_cast<uint8_t>(i * 7 + y);
  }
  return b;
}

// The peer of the file save: a new file, one write of every row, the previous file removed.
void PlainFileWrite(TPXBitmap& Picture, std::string& Previous) {
  const std::string name = MakeTempFileName("PEER", "", "");
  const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
  if (fd < 0) return;
  const int64_t len = Picture.RowLen() * kHeight;
  // One-block storage keeps its rows in one piece.
  const uint8_t* data = Picture.Scanline(kHeight - 1) < Picture.Scanline(0) ? Picture.Scanline(kHeight - 1)
                                                                             : Picture.Scanline(0);
  int64_t done = 0;
  while (done < len) {
    const ssize_t n = ::write(fd, data + done, static_cast<size_t>(len - done));
    if (n <= 0) break;
    done += n;
  }
  ::close(fd);
  if (!Previous.empty()) ::unlink(Previous.c_str());
  Previous = name;
}

void Compare(benchmark::State& state, TPXBitmapLocation Location, bool Fresh) {
  auto picture = MakePicture();
  if (!picture) {
    state.SkipWithError("picture could not be had");
    return;
  }
  TPixoranProc proc(nullptr);
  proc.SetAttachedBitmap(picture.get());
  proc.SetUndoLocation(Location);
  const int64_t len = picture->RowLen() * kHeight;
  TPXBlockPtr block;
  std::string previous;
  double tOurs = 0, tPeer = 0;
  for (auto _ : state) {
    if (Fresh) proc.ClearAllUndo();  // every save makes a new copy
    const auto a = BenchClock::now();
    proc.StoreUndoState("", pxuImage, true, 0);
    const auto b = BenchClock::now();
    if (Location == pxFile) {
      PlainFileWrite(*picture, previous);
    } else {
      block.reset();
      block = BenchBlock(static_cast<size_t>(len));
      std::memcpy(block.get(), picture->Scanline(kHeight - 1), static_cast<size_t>(len));
      benchmark::DoNotOptimize(block.get());
    }
    const auto c = BenchClock::now();
    tOurs += BenchSeconds(a, b);
    tPeer += BenchSeconds(b, c);
    state.SetIterationTime(BenchSeconds(a, b));
  }
  if (!previous.empty()) ::unlink(previous.c_str());
  state.counters["ratio"] = tOurs / tPeer;
  state.counters["MBps"] = static_cast<double>(len) * static_cast<double>(state.iterations()) / tOurs / 1e6;
}

void BM_StoreUndoStateFile(benchmark::State& state) { Compare(state, pxFile, false); }
void BM_StoreUndoStateMemory(benchmark::State& state) { Compare(state, pxMemory, false); }
void BM_StoreUndoStateFileFresh(benchmark::State& state) { Compare(state, pxFile, true); }
void BM_StoreUndoStateMemoryFresh(benchmark::State& state) { Compare(state, pxMemory, true); }

}  // namespace

BENCHMARK(BM_StoreUndoStateFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_StoreUndoStateMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_StoreUndoStateFileFresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_StoreUndoStateMemoryFresh)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

int main(int argc, char** argv) { return BenchPlainMain(argc, argv); }
