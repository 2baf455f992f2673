// One option change of the reflection application on a 12-megapixel RGBA picture (4000 x 3000,
// 24-bit colour with an alpha channel): the track-bar path (mirror, colour mode, wave, fade,
// flatten of the reflection), with the undo copy each processing step stores, against memcpy of
// the picture's colour and alpha bytes in the same iteration. Colour mode colour, wave off,
// remove-alpha off and on: target ratio at most 4. Grey, black and white and the wave are
// reported as ratios only, and so are the two parts of the change (the undo copy, the pass that
// writes the reflection), each against the same memcpy.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/UnitQuillane_reflect.h"
#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "platform/forms/Forms.h"
#include "tests/common/LibraryUnits.h"
#include "proc/pixoranproc.h"
#include "view/pixoran.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;

struct Scene {
  std::unique_ptr<TPixoran> S, V;
  std::vector<uint8_t> Peer;  // the memcpy target, colour and alpha bytes
  int64_t ColourBytes = 0, AlphaBytes = 0;

  Scene() {
    auto picture = BenchGradientPicture(kW, kH, 777, 11, 9);
    TPXBitmap* alpha = picture->GetAlphaChannel();
    for (int32_t y = 0; y < kH; ++y) {
      uint8_t* row = alpha->Scanline(y);
      for (int32_t x = 0; x < kW; ++x) row[x] = static_cast<uint8_t>(x < 40 || y < 40 ? 128 : (x * 7 + y) % 64 == 0 ? 0 : 255);
    }
    alpha->UpdateFull();
    S = std::make_unique<TPixoran>(nullptr);
    S->GetPXBitmap()->Assign(picture.get());
    V = std::make_unique<TPixoran>(nullptr);
    const int32_t r = V->LayersAdd(pxlkImage, -1, -1, 0, 0);
    V->Layers(r)->SetLocked(true);
    ColourBytes = picture->RowLen() * kH;
    AlphaBytes = alpha->RowLen() * kH;
    Peer.assign(static_cast<size_t>(ColourBytes + AlphaBytes), 0);
  }

  // The picture's bytes copied as one would copy them for an undo: each row of colour, then of
  // alpha.
  void CopyPeer() {
    TPXBitmap* b = S->GetPXBitmap();
    TPXBitmap* a = b->PeekAlphaChannel();
    uint8_t* out = Peer.data();
    const int64_t cl = b->RowLen(), al = a->RowLen();
    // One-block storage keeps its rows in one piece, bottom-up.
    std::memcpy(out, b->Scanline(kH - 1), static_cast<size_t>(cl * kH));
    std::memcpy(out + cl * kH, a->Scanline(kH - 1), static_cast<size_t>(al * kH));
    benchmark::DoNotOptimize(out);
  }
};

// Made on first use, freed before the library stops.
std::unique_ptr<Scene> g_scene;
Scene& TheScene() {
  if (!g_scene) g_scene = std::make_unique<Scene>();
  return *g_scene;
}

// The scene after an open with these options (untimed); the changes then move the size.
TReflectionParams OpenScene(Scene& s, int32_t ColourMode, bool Wave, bool RemoveAlpha) {
  TReflectionParams p;
  p.Position = ReflectBottom;
  p.R = 1;
  p.Size = 80;
  p.AlphaBegin = 230;
  p.AlphaEnd = 10;
  p.ColourMode = ColourMode;
  p.Wave = Wave;
  p.KeepAlpha = !RemoveAlpha;
  p.Background = 0x00FFFFFF;
  BuildReflection(*s.V, *s.S, p);
  return p;
}

void TrackBarChange(benchmark::State& state, int32_t ColourMode, bool Wave, bool RemoveAlpha) {
  Scene& s = TheScene();
  TReflectionParams p = OpenScene(s, ColourMode, Wave, RemoveAlpha);
  OursAndPeerTimes times;
  for (auto _ : state) {
    // Each change moves a track bar: a different size every time.
    p.Size = p.Size == 80 ? 79 : 80;
    const auto a = BenchClock::now();
    RebuildReflectionLayer(*s.V, *s.S, p);
    const auto b = BenchClock::now();
    s.CopyPeer();
    const auto c = BenchClock::now();
    times.Add(0, BenchSeconds(a, b), BenchSeconds(a, c));
  }
  times.Report(state, "memcpy");
}

void BM_TrackBarKeepAlpha(benchmark::State& state) { TrackBarChange(state, ColorModeColor, false, false); }
void BM_TrackBarRemoveAlpha(benchmark::State& state) { TrackBarChange(state, ColorModeColor, false, true); }
void BM_TrackBarGrey(benchmark::State& state) { TrackBarChange(state, ColorModeGray, false, false); }
void BM_TrackBarBlackAndWhite(benchmark::State& state) { TrackBarChange(state, ColorModeBlackWhite, false, false); }
void BM_TrackBarWave(benchmark::State& state) { TrackBarChange(state, ColorModeColor, true, false); }

// Where the time of one change goes, remove-alpha off (0) and on (1): the undo copy the change
// stores, and the rest of the change (the reflection written in one pass from the source rows),
// each against the same memcpy.
void BM_TrackBarSteps(benchmark::State& state) {
  Scene& s = TheScene();
  TReflectionParams p = OpenScene(s, ColorModeColor, false, state.range(0) != 0);
  double undo = 1e9, change = 1e9, peer = 1e9;
  for (auto _ : state) {
    p.Size = p.Size == 80 ? 79 : 80;
    s.V->SetLayersCurrent(p.R);
    const auto a = BenchClock::now();
    s.V->Proc()->StoreUndoState("", pxuImage, true, 0);
    const auto b = BenchClock::now();
    RebuildReflectionLayer(*s.V, *s.S, p);
    const auto c = BenchClock::now();
    s.CopyPeer();
    const auto d = BenchClock::now();
    undo = std::min(undo, BenchSeconds(a, b));
    change = std::min(change, BenchSeconds(b, c));
    peer = std::min(peer, BenchSeconds(c, d));
  }
  state.counters["undo"] = undo / peer;
  state.counters["pass"] = std::max(change - undo, 0.0) / peer;
  state.counters["memcpy_ms"] = peer * 1e3;
}

BENCHMARK(BM_TrackBarSteps)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_TrackBarKeepAlpha)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_TrackBarRemoveAlpha)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_TrackBarGrey)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TrackBarBlackAndWhite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TrackBarWave)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// The views need the window layer (offscreen where no display is given) and the library's units;
// the scene goes before the library stops.
int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  FormsStartup();
  RegisterLibraryUnits();
  StaticInitialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_scene.reset();
  StaticFinalize();
  FormsShutdown();
  RtlShutdown();
  return 0;
}
