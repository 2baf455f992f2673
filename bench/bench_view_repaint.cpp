// A full repaint of a 1920 x 1080 TPixoran against pixman in the same run, and a plain repaint
// against memcpy; ratio = our time / the peer's.
//   view_repaint_<zoom>_<filter>: the view shows a 4000 x 6000 layer 0 (a 4000 x 3000 picture
//   on a canvas twice as high) and below the picture its flipped copy (layer 1) with an alpha
//   fading from 200 to 0, over the chessboard, at the fit zoom, 100 % and 200 % (scrolled to the
//   seam), nearest (rfNone) or rfFastLinear; the back buffer is composed and copied to the
//   window's 32-bit surface. pixman does the same on one thread: the chessboard tile repeated
//   over a 24-bit-sized a8r8g8b8 buffer, both layers OVER it with the view's scale and offset and
//   PIXMAN_FILTER_NEAREST or BILINEAR, then the result copied to a 32-bit surface. Goal <= 1.5.
//   view_plain_repaint: a repaint with a clean back buffer (one copy to the window) against a
//   memcpy of the window's 32-bit surface. Goal <= 2.
// The library works on one thread here, as pixman does.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchPixman.h"
#include "bench/BenchSupport.h"
#include "bench/BenchView.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsTesting.h"
#include "view/pixoran.h"

namespace {

constexpr int32_t kW = 1920, kH = 1080, kPicW = 4000, kPicH = 3000;

// The shown form with the view, made once.
struct Scene {
  std::unique_ptr<TForm> Form;
  TPixoran* View = nullptr;
  std::vector<uint32_t> Layer0, Layer1;  // pixman words of the two layers' pictures
  std::vector<uint32_t> Tile;            // the chessboard's 32 x 32 tile
};

Scene& TheScene() {
  static Scene s = [] {
    Scene sc;
    sc.Form = std::make_unique<TForm>(nullptr);
    sc.Form->SetBounds(0, 0, 400, 300);
    sc.Form->SetClientWidth(kW);
    sc.Form->SetClientHeight(kH);
    sc.View = new TPixoran(sc.Form.get());  // owned by the form
    sc.View->SetBorderStyle(bsNone);
    sc.View->SetScrollBars(ssNone);
    sc.View->SetBackgroundStyle(pxbsChessboard);
    sc.View->SetParent(sc.Form.get());
    sc.View->SetBounds(0, 0, kW, kH);
    sc.Form->Show();
    ProcessPending();
    // Layer 0: the picture on a canvas twice as high; layer 1: its mirror below it, fading.
    std::unique_ptr<TPXBitmap> picture = BenchGradientPicture(kPicW, kPicH, 7, 64, 48);
    TPXBitmap* base = sc.View->GetPXBitmap();
    base->AssignFrom(picture.get(), false);
    base->ResizeCanvas(kPicW, 2 * kPicH, static_cast<double>(clWhite), 255, 0, 0);
    auto mirror = TPXBitmap::CreateCopy(picture.get());
    mirror->Flip(pxfdVertical);
    TPXBitmap* alpha = mirror->AlphaChannel();
    for (int32_t y = 0; y < kPicH; ++y) std::memset(alpha->Scanline(y), 200 - 200 * y / kPicH, kPicW);
    alpha->FFull = 0;
    const int32_t i = sc.View->LayersAppend(pxlkImage, 0, kPicH, 0, 0, mirror.release(), false, false, false, false);
    sc.View->SetLayersCurrent(0);
    sc.View->Update();
    // The peer's copies: x8r8g8b8 and premultiplied a8r8g8b8.
    sc.Layer0 = PixmanWords(dynamic_cast<TPXImageLayer*>(sc.View->Layers(0))->Bitmap());
    sc.Layer1 = PixmanWords(dynamic_cast<TPXImageLayer*>(sc.View->Layers(i))->Bitmap());
    sc.Tile.resize(32 * 32);
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x)
        sc.Tile[static_cast<size_t>(y) * 32 + x] = ((x / 16 + y / 16) & 1) == 0 ? 0xFFF0FFFFu : 0xFFD4D0C8u;
    return sc;
  }();
  return s;
}

// pixman's composition of what the view shows, into Dest (a8r8g8b8, kW x kH), then copied to
// Surface.
double PixmanSeconds(Scene& S, pixman_filter_t Filter, std::vector<uint32_t>& Dest, std::vector<uint32_t>& Surface) {
  TPixoranView* v = S.View;
  const double z = v->Zoom() / 100;
  pixman_image_t* tile = pixman_image_create_bits(PIXMAN_a8r8g8b8, 32, 32, S.Tile.data(), 32 * 4);
  pixman_image_set_repeat(tile, PIXMAN_REPEAT_NORMAL);
  pixman_image_t* l0 = pixman_image_create_bits(PIXMAN_x8r8g8b8, kPicW, 2 * kPicH, S.Layer0.data(), kPicW * 4);
  pixman_image_t* l1 = pixman_image_create_bits(PIXMAN_a8r8g8b8, kPicW, kPicH, S.Layer1.data(), kPicW * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, Dest.data(), kW * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(1 / z), pixman_double_to_fixed(1 / z));
  for (pixman_image_t* s : {l0, l1}) {
    pixman_image_set_transform(s, &t);
    pixman_image_set_filter(s, Filter, nullptr, 0);
  }
  // Client origin of the picture's (0, 0) and the part of each layer on the display.
  const int32_t ox = v->OffsetX() - Trunc32(v->ViewX()), oy = v->OffsetY() - Trunc32(v->ViewY());
  const int32_t x0 = std::max(0, ox), y0 = std::max(0, oy);
  const int32_t w0 = std::min(kW, ox + Trunc32(kPicW * z)) - x0, h0 = std::min(kH, oy + Trunc32(2 * kPicH * z)) - y0;
  const int32_t y1 = std::max(0, oy + Trunc32(kPicH * z)), h1 = std::min(kH, oy + Trunc32(2 * kPicH * z)) - y1;
  const auto a = BenchClock::now();
  pixman_image_composite32(PIXMAN_OP_SRC, tile, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
  if (w0 > 0 && h0 > 0)
    pixman_image_composite32(PIXMAN_OP_OVER, l0, nullptr, d, x0 - ox, y0 - oy, 0, 0, x0, y0, w0, h0);
  if (w0 > 0 && h1 > 0)
    pixman_image_composite32(PIXMAN_OP_OVER, l1, nullptr, d, x0 - ox, y1 - oy - Trunc32(kPicH * z), 0, 0, x0, y1, w0, h1);
  std::memcpy(Surface.data(), Dest.data(), Surface.size() * 4);
  benchmark::ClobberMemory();
  const double s = BenchSeconds(a, BenchClock::now());
  for (pixman_image_t* i : {tile, l0, l1, d}) pixman_image_unref(i);
  return s;
}

enum class Place { Fit, Seam100, Seam200 };

void BM_ViewRepaint(benchmark::State& state, Place Where, TResampleFilter Filter) {
  Scene& s = TheScene();
  TPixoranView* v = s.View;
  v->SetZoomFilter(Filter);
  if (Where == Place::Fit) {
    v->Fit(true);
  } else {
    v->SetZoom(Where == Place::Seam100 ? 100 : 200);
    const double z = v->Zoom() / 100;
    v->SetViewXY(Trunc32(kPicW * z / 2 - kW / 2.0), Trunc32(kPicH * z - kH / 2.0));
  }
  ProcessPending();
  HWND wnd = v->Handle();
  std::vector<uint32_t> dest(static_cast<size_t>(kW) * kH), surface(static_cast<size_t>(kW) * kH);
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    v->InvalidateClientRect(TRect(0, 0, kW, kH), true);
    benchmark::ClobberMemory();
    const double o = BenchSeconds(a, BenchClock::now());
    theirs += PixmanSeconds(s, Filter == rfNone ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, dest, surface);
    ours += o;
    state.SetIterationTime(o);
    ProcessPending();
  }
  (void)wnd;
  state.counters["zoom"] = v->Zoom();
  state.counters["ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
  state.counters["pixman_ms"] = theirs / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio"] = ours / theirs;
}

void BM_ViewPlainRepaint(benchmark::State& state) {
  Scene& s = TheScene();
  TPixoranView* v = s.View;
  v->SetZoomFilter(rfNone);
  v->Fit(true);
  ProcessPending();
  const TSurface* surface = WindowSurface(v->Handle());
  std::vector<uint32_t> from(static_cast<size_t>(kW) * kH, 0x808080), to(from.size());
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    auto a = BenchClock::now();
    InvalidateRect(v->Handle(), nullptr, FALSE);
    UpdateWindow(v->Handle());
    benchmark::ClobberMemory();
    const double o = BenchSeconds(a, BenchClock::now());
    a = BenchClock::now();
    std::memcpy(to.data(), from.data(), to.size() * 4);
    benchmark::ClobberMemory();
    theirs += BenchSeconds(a, BenchClock::now());
    ours += o;
    state.SetIterationTime(o);
    ProcessPending();
  }
  (void)surface;
  state.counters["ms"] = ours / static_cast<double>(state.iterations()) * 1e3;
  state.counters["memcpy_ms"] = theirs / static_cast<double>(state.iterations()) * 1e3;
  state.counters["ratio"] = ours / theirs;
}

BENCHMARK_CAPTURE(BM_ViewRepaint, view_repaint_fit_none, Place::Fit, rfNone)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ViewRepaint, view_repaint_100_none, Place::Seam100, rfNone)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ViewRepaint, view_repaint_200_none, Place::Seam200, rfNone)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ViewRepaint, view_repaint_fit_linear, Place::Fit, rfFastLinear)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ViewRepaint, view_repaint_100_linear, Place::Seam100, rfFastLinear)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ViewRepaint, view_repaint_200_linear, Place::Seam200, rfFastLinear)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewPlainRepaint)->Name("view_plain_repaint")->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return BenchViewMain(argc, argv, [] { TheScene().Form.reset(); });
}
