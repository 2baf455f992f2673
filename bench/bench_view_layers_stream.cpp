// The layers stream of a view holding four 4000 x 3000 image layers: saving and loading with raw
// pixels (-2) against a memcpy of the same pixel bytes (goal <= 1.5), and deflated (-1) against
// zlib's compress2 / uncompress of the same bytes at the same level (goal <= 1.1). ratio = our
// time / the peer's, one thread each.
// Memory fresh from the system costs far more than the copying on some machines (every page
// faults in), so each side works on the same kind of memory: saving writes into a stream
// reused from the previous round as the peer writes into buffers it keeps; loading makes new
// pictures, so the peer copies or inflates into new buffers too.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/BenchView.h"
#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Classes_streams.h"
#include "view/pixoran.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000, kLayers = 4;

// Made on first use, freed by main before the library stops.
std::unique_ptr<TPixoranView> g_view;

TPixoranView& TheView() {
  if (!g_view) {
    g_view = std::make_unique<TPixoranView>(nullptr);
    g_view->GetPXBitmap()->AssignFrom(BenchGradientPicture(kW, kH, 3, 64, 48).get(), false);
    for (int32_t i = 1; i < kLayers; ++i)
      g_view->LayersAppend(pxlkImage, 10 * i, 10 * i, 0, 0, BenchGradientPicture(kW, kH, 3 + i, 32, 16).release(),
                           false, false, false, false);
  }
  return *g_view;
}

// The layers' pixel bytes, one block each, as the peers handle them.
std::vector<std::vector<uint8_t>> PixelBlocks() {
  std::vector<std::vector<uint8_t>> blocks;
  TPixoranView& v = TheView();
  for (int32_t i = 0; i < v.LayersCount(); ++i) {
    TPXBitmap* b = dynamic_cast<TPXImageLayer*>(v.Layers(i))->Bitmap();
    std::vector<uint8_t> block(static_cast<size_t>(b->RowLen()) * b->Height());
    for (int32_t y = 0; y < b->Height(); ++y)
      std::memcpy(block.data() + static_cast<size_t>(y) * b->RowLen(), b->Scanline(y), static_cast<size_t>(b->RowLen()));
    blocks.push_back(std::move(block));
  }
  return blocks;
}

void BM_LayersStream(benchmark::State& state, int32_t Compression, bool Load) {
  TPixoranView& v = TheView();
  const std::vector<std::vector<uint8_t>> blocks = PixelBlocks();
  TMemoryStream saved;
  v.LayersSaveToStream(&saved, Compression, false, false, false, false, TPXProgressEvent());
  TPixoranView target(nullptr);
  // The peer's data: the blocks' compressed forms and room for them.
  std::vector<std::vector<uint8_t>> peerOut(blocks.size()), packed(blocks.size());
  for (size_t i = 0; Compression == -1 && i < blocks.size(); ++i) {
    peerOut[i].resize(compressBound(static_cast<uLong>(blocks[i].size())));
    uLongf n = static_cast<uLongf>(peerOut[i].size());
    compress2(peerOut[i].data(), &n, blocks[i].data(), static_cast<uLong>(blocks[i].size()), Z_DEFAULT_COMPRESSION);
    packed[i].assign(peerOut[i].begin(), peerOut[i].begin() + static_cast<std::ptrdiff_t>(n));
  }
  std::vector<std::vector<uint8_t>> kept(blocks.size());
  for (size_t i = 0; i < blocks.size(); ++i) kept[i].resize(blocks[i].size());
  std::vector<void*> made(blocks.size(), nullptr), previous(blocks.size(), nullptr);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto a = BenchClock::now();
    if (Load) {
      saved.SetPosition(0);
      target.LayersLoadFromStream(&saved, false, TPXProgressEvent());
    } else {
      saved.SetPosition(0);
      v.LayersSaveToStream(&saved, Compression, false, false, false, false, TPXProgressEvent());
    }
    benchmark::ClobberMemory();
    const double o = BenchSeconds(a, BenchClock::now());
    a = BenchClock::now();
    for (size_t i = 0; i < blocks.size(); ++i) {
      if (Load) {
        // New memory taken as the loaded pictures take theirs; the previous round's blocks go
        // once all are made, as the view's previous layers do.
        void* block = AllocHeapBlock(static_cast<int64_t>(blocks[i].size()));
        auto* out = static_cast<uint8_t*>(block);
        if (Compression == -2) {
          std::memcpy(out, blocks[i].data(), blocks[i].size());
        } else {
          uLongf n = static_cast<uLongf>(blocks[i].size());
          uncompress(out, &n, packed[i].data(), static_cast<uLong>(packed[i].size()));
        }
        benchmark::DoNotOptimize(out[blocks[i].size() / 2]);
        made[i] = block;
      } else if (Compression == -2) {
        std::memcpy(kept[i].data(), blocks[i].data(), blocks[i].size());
      } else {
        uLongf n = static_cast<uLongf>(peerOut[i].size());
        compress2(peerOut[i].data(), &n, blocks[i].data(), static_cast<uLong>(blocks[i].size()), Z_DEFAULT_COMPRESSION);
      }
    }
    for (size_t i = 0; Load && i < blocks.size(); ++i) {
      FreeBlock(previous[i]);
      previous[i] = made[i];
    }
    benchmark::ClobberMemory();
    theirs += BenchSeconds(a, BenchClock::now());
    ours += o;
    state.SetIterationTime(o);
  }
  for (void*& block : previous) FreeBlock(block);
  state.counters["ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
  state.counters["peer_ms"] = theirs / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio"] = ours / theirs;
  state.counters["MB"] = static_cast<double>(saved.Size()) / 1e6;
}

BENCHMARK_CAPTURE(BM_LayersStream, view_layers_save_raw, -2, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LayersStream, view_layers_load_raw, -2, true)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LayersStream, view_layers_save_deflated, -1, false)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LayersStream, view_layers_load_deflated, -1, true)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return BenchViewMain(argc, argv, [] { g_view.reset(); });
}
