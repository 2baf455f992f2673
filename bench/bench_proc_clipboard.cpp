// ClipboardCopy(1) of a 12-megapixel picture (the DIB and the raw block) against a memcpy of
// both blocks' bytes, one thread each. The clipboard takes new blocks on every copy, so the
// peer copies into two blocks it takes new on every call from the library's allocator (the
// same huge-page conditions), freeing the former call's blocks as the clipboard frees its former
// data. Goal: ratio at most 3.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Clipbrd.h"
#include "proc/pixoranproc.h"

namespace {

void BM_ClipboardCopy(benchmark::State& state) {
  auto b = BenchGradientPicture(4000, 3000, 1, 64, 64);
  auto p = TPixoranProc::CreateForBitmap(b.get());
  const size_t dibBytes = 44 + static_cast<size_t>((4000 * 3 + 3) & ~3) * 3000;
  const size_t rawBytes = static_cast<size_t>(b->RawStreamSize());
  std::vector<uint8_t> src(dibBytes + rawBytes, 1);
  TPXBlockPtr dib, raw;
  TimeOursAgainstPeer(
      state, "ratio", [&] { benchmark::DoNotOptimize(p->ClipboardCopy(1)); },
      [&] {
        dib = BenchBlock(dibBytes);
        raw = BenchBlock(rawBytes);
        std::memcpy(dib.get(), src.data(), dibBytes);
        std::memcpy(raw.get(), src.data() + dibBytes, rawBytes);
        benchmark::DoNotOptimize(dib.get());
        benchmark::DoNotOptimize(raw.get());
      });
}

}  // namespace

BENCHMARK(BM_ClipboardCopy)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) { return BenchMain(argc, argv, &RegisterProcessingUnit); }
