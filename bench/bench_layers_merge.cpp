// BlendLayerPair of two 12-megapixel layers (an opaque photo under a layer with alpha) against
// pixman's OVER of the same pictures as premultiplied a8r8g8b8 (target: at most 2 x), and
// libvips' composite2 over (its command minus the same program's plain copy; ratio only). Two
// overlays: a soft-edged ellipse (alpha mostly 0 or 255) and a full-width fade (every alpha).
#include <benchmark/benchmark.h>
#include <pixman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchPixman.h"
#include "bench/BenchSupport.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels

uint8_t EllipseAlpha(int32_t x, int32_t y) {
  const double dx = (x - kW / 2.0) / (kW * 0.4), dy = (y - kH / 2.0) / (kH * 0.35), d = dx * dx + dy * dy;
  return d <= 0.98 ? 255 : d <= 1.02 ? static_cast<uint8_t>((1.02 - d) * 255 / 0.04) : 0;
}
uint8_t FadeAlpha(int32_t x, int32_t y) { return static_cast<uint8_t>((x + y) * 255 / (kW + kH)); }

struct Pictures {
  std::unique_ptr<TPXImageLayer> Base, Overlay;
  std::vector<uint32_t> Base32, Overlay32, Work32;  // pixman's a8r8g8b8 (premultiplied)
  std::string BaseFile, OverlayFile;                // libvips' own format

  explicit Pictures(bool Fade) {
    Base = std::make_unique<TPXImageLayer>(nullptr, BenchGradientPicture(kW, kH, 4242, 9, 7));
    auto over = BenchGradientPicture(kW, kH, 99, 13, 5);
    TPXBitmap* a = over->GetAlphaChannel();
    for (int32_t y = 0; y < kH; ++y) {
      uint8_t* row = a->Scanline(y);
      for (int32_t x = 0; x < kW; ++x) row[x] = Fade ? FadeAlpha(x, y) : EllipseAlpha(x, y);
    }
    a->UpdateFull();
    Overlay = std::make_unique<TPXImageLayer>(nullptr, std::move(over));

    const size_t n = static_cast<size_t>(kW) * kH;
    Base32.resize(n);
    Overlay32.resize(n);
    Work32.resize(n);
    TPXBitmap* b = Base->Bitmap();
    TPXBitmap* o = Overlay->Bitmap();
    for (int32_t y = 0; y < kH; ++y) {
      const uint8_t* bs = b->Scanline(y);
      const uint8_t* os = o->Scanline(y);
      const uint8_t* oa = o->GetAlphaChannel()->Scanline(y);
      for (int32_t x = 0; x < kW; ++x) {
        const size_t i = static_cast<size_t>(y) * kW + x;
        Base32[i] = 0xFF000000u | uint32_t(bs[3 * x + 2]) << 16 | uint32_t(bs[3 * x + 1]) << 8 | bs[3 * x];
        auto pm = [&](uint8_t v) { return uint32_t((v * oa[x] + 127) / 255); };
        Overlay32[i] = uint32_t(oa[x]) << 24 | pm(os[3 * x + 2]) << 16 | pm(os[3 * x + 1]) << 8 | pm(os[3 * x]);
      }
    }
  }

  // The vips inputs: the base as PPM, the overlay as PPM plus PGM alpha joined into RGBA.
  bool WriteVipsFiles(const std::string& Tag) {
    if (!BaseFile.empty()) return true;
    const std::string base = BenchTempFile(Tag + "base.ppm"), over = BenchTempFile(Tag + "over.ppm"),
                      alpha = BenchTempFile(Tag + "over_a.pgm");
    WritePpm(Base->Bitmap(), base);
    WritePpm(Overlay->Bitmap(), over);
    WritePgm(Overlay->Bitmap()->GetAlphaChannel(), alpha);
    const std::string bv = BenchTempFile(Tag + "base.v"), ov = BenchTempFile(Tag + "over.v");
    if (RunProgram({kBenchVips, "copy", base, bv}) != 0) return false;
    if (RunProgram({kBenchVips, "bandjoin", over + " " + alpha, ov}) != 0) return false;
    BaseFile = bv;
    OverlayFile = ov;
    return true;
  }
};

Pictures& Shared(bool Fade) {
  static std::unique_ptr<Pictures> p[2];
  if (!p[Fade]) p[Fade] = std::make_unique<Pictures>(Fade);
  return *p[Fade];
}

double RunOurs(Pictures& P, TPXBitmap& Dest) {
  const auto a = BenchClock::now();
  BlendLayerPair(P.Base.get(), P.Overlay.get(), &Dest, {});
  benchmark::ClobberMemory();
  return BenchSeconds(a, BenchClock::now());
}

double RunPixman(Pictures& P) {
  std::memcpy(P.Work32.data(), P.Base32.data(), P.Base32.size() * sizeof(uint32_t));
  return PixmanCompositeSeconds(PIXMAN_OP_OVER, P.Overlay32.data(), P.Work32.data(), kW, kH);
}

// Each iteration runs ours and pixman's on the same pictures; ratio = ours / pixman's. The
// second argument 1 keeps ours on one thread, as pixman's is.
void BM_VersusPixman(benchmark::State& state) {
  Pictures& p = Shared(state.range(0) != 0);
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int32_t maxThreads = settings->FMaxThreads;
  if (state.range(1) != 0) settings->FMaxThreads = 1;
  TPXBitmap dest;
  RunOurs(p, dest);  // Dest at its size, as when a view merges repeatedly
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const double t = RunOurs(p, dest);
    ours += t;
    theirs += RunPixman(p);
    state.SetIterationTime(t);
  }
  settings->FMaxThreads = maxThreads;
  state.SetLabel(std::string(state.range(0) ? "fade" : "ellipse") + (state.range(1) ? ", one thread" : ""));
  const double n = double(kW) * kH * double(state.iterations());
  state.counters["ns_per_px"] = ours / n * 1e9;
  state.counters["pixman_ns_per_px"] = theirs / n * 1e9;
  state.counters["ratio"] = ours / theirs;
}
BENCHMARK(BM_VersusPixman)->ArgsProduct({{0, 1}, {0, 1}})->UseManualTime()->Unit(benchmark::kMillisecond);

// libvips' composite2 over, its command less a plain copy of the overlay (ratio against ours).
void BM_VersusVips(benchmark::State& state) {
  if (access(kBenchVips, X_OK) != 0) {
    state.SkipWithError("vips not installed");
    return;
  }
  const bool fade = state.range(0) != 0;
  Pictures& p = Shared(fade);
  const std::string tag = fade ? "fade_" : "ellipse_";
  if (!p.WriteVipsFiles(tag)) {
    state.SkipWithError("vips could not write its inputs");
    return;
  }
  TPXBitmap dest;
  RunOurs(p, dest);
  const std::string out = BenchTempFile(tag + "out.v");
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const double t = CommandMinusPlain({kBenchVips, "composite2", p.BaseFile, p.OverlayFile, out, "over"},
                                       {kBenchVips, "copy", p.OverlayFile, out});
    if (t < 0) {
      state.SkipWithError("vips failed");
      return;
    }
    theirs += t;
    ours += RunOurs(p, dest);
    state.SetIterationTime(t);
  }
  state.SetLabel(fade ? "fade" : "ellipse");
  state.counters["ratio_ours_to_vips"] = ours / theirs;
}
BENCHMARK(BM_VersusVips)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
