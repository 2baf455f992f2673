// BlendLayerPair of two 12-megapixel layers (an opaque photo under a layer with alpha) against
// pixman's OVER of the same pictures as premultiplied a8r8g8b8, at 1, 4 and 8 threads: ours with
// the settings' thread limit at that count, pixman split in the same number of row bands on the
// library's thread pool (each band its own pixman images over the band's rows). Two overlays: a
// soft-edged ellipse (alpha mostly 0 or 255) and a full-width fade (every alpha). Ours writes
// either the base's own picture in place (as flattening does), against pixman composing in
// place onto a copy of the base, or a destination kept across calls (as a view merging
// repeatedly does), against pixman writing the same result into its own destination kept
// across calls: the base copied in (SRC) and the overlay composed over it (OVER), sixteen rows
// at a time so the second step finds the rows in cache. Both bases are refreshed outside the
// timing. Only the composition is timed. ratio = ours / pixman over the fastest call of each
// (target: at most 1.0 on one thread, below 1 on four).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
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
#include "proc/pixoranproc_blur.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000;  // 12 megapixels

uint8_t EllipseAlpha(int32_t x, int32_t y) {
  const double dx = (x - kW / 2.0) / (kW * 0.4), dy = (y - kH / 2.0) / (kH * 0.35), d = dx * dx + dy * dy;
  return d <= 0.98 ? 255 : d <= 1.02 ? static_cast<uint8_t>((1.02 - d) * 255 / 0.04) : 0;
}
uint8_t FadeAlpha(int32_t x, int32_t y) { return static_cast<uint8_t>((x + y) * 255 / (kW + kH)); }

struct Pictures {
  std::unique_ptr<TPXImageLayer> Base, Overlay;
  std::unique_ptr<TPXBitmap> BaseCopy;  // the base's pixels, to refresh it after an in-place merge
  std::vector<uint32_t> Base32, Overlay32, Work32;  // pixman's a8r8g8b8 (premultiplied)

  explicit Pictures(bool Fade) {
    Base = std::make_unique<TPXImageLayer>(nullptr, BenchGradientPicture(kW, kH, 4242, 9, 7));
    BaseCopy = BenchGradientPicture(kW, kH, 4242, 9, 7);
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
};

Pictures& Shared(bool Fade) {
  static std::unique_ptr<Pictures> p[2];
  if (!p[Fade]) p[Fade] = std::make_unique<Pictures>(Fade);
  return *p[Fade];
}

// Into Dest, or with Dest the base's own picture in place (the base refreshed first, untimed).
double RunOurs(Pictures& P, TPXBitmap& Dest) {
  if (&Dest == P.Base->Bitmap())
    for (int32_t y = 0; y < kH; ++y) std::memcpy(Dest.Scanline(y), P.BaseCopy->Scanline(y), size_t(kW) * 3);
  const auto a = BenchClock::now();
  BlendLayerPair(P.Base.get(), P.Overlay.get(), &Dest, {});
  benchmark::ClobberMemory();
  return BenchSeconds(a, BenchClock::now());
}

// pixman's OVER of the overlay in Threads row bands: in place onto a fresh copy of the base, or
// (Separate) into its own destination after copying the base there, chunk by chunk.
double RunPixman(Pictures& P, int32_t Threads, bool Separate) {
  if (!Separate) std::memcpy(P.Work32.data(), P.Base32.data(), P.Base32.size() * sizeof(uint32_t));
  const auto a = BenchClock::now();
  RunProcBands(kH, Threads, [&P, Separate](int32_t First, int32_t Count, bool) {
    const size_t at = static_cast<size_t>(First) * kW;
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, Count, P.Overlay32.data() + at, kW * 4);
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, Count, P.Work32.data() + at, kW * 4);
    if (Separate) {
      pixman_image_t* b = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, Count, P.Base32.data() + at, kW * 4);
      for (int32_t y = 0; y < Count; y += 16) {
        const int32_t n = std::min(16, Count - y);
        pixman_image_composite32(PIXMAN_OP_SRC, b, nullptr, d, 0, y, 0, 0, 0, y, kW, n);
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, y, 0, 0, 0, y, kW, n);
      }
      pixman_image_unref(b);
    } else {
      pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, Count);
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
  });
  benchmark::ClobberMemory();
  return BenchSeconds(a, BenchClock::now());
}

void BM_VersusPixman(benchmark::State& state) {
  Pictures& p = Shared(state.range(0) != 0);
  const int32_t threads = static_cast<int32_t>(state.range(1));
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int32_t maxThreads = settings->FMaxThreads;
  settings->FMaxThreads = threads;
  const bool inPlace = state.range(2) != 0;
  TPXBitmap separate;
  TPXBitmap& dest = inPlace ? *p.Base->Bitmap() : separate;
  RunOurs(p, dest);  // Dest at its size
  RunPixman(p, threads, !inPlace);
  OursAndPeerTimes t;
  for (auto _ : state) {
    const double o = RunOurs(p, dest);
    t.Add(0, o, o + RunPixman(p, threads, !inPlace));
    state.SetIterationTime(o);
  }
  settings->FMaxThreads = maxThreads;
  state.SetLabel(std::string(state.range(0) ? "fade" : "ellipse") + ", " + std::to_string(threads) + " thread(s)" +
                 (inPlace ? ", in place" : ", into a new picture"));
  t.Report(state, "pixman");
  state.counters["ns_per_px"] = t.Ours / (double(kW) * kH) * 1e9;
}
BENCHMARK(BM_VersusPixman)->ArgsProduct({{0, 1}, {1, 4, 8}, {0, 1}})->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return BenchMain(argc, argv); }
