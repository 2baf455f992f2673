// TPixoranIO's PNG and JPEG load and save against the bare codec calls on the same streams: a
// 4000 x 3000 photo-like picture, PNG with an alpha channel (RGBA) and without (RGB), JPEG
// without. Loads read a memory stream over the same bytes into a bitmap kept between calls
// (ours through LoadFromStream, the peer through DecodePngStream / DecodeJpegStream); saves
// write a new memory stream (ours through SaveToStream, the peer through EncodePngStream with
// the alpha already as a mask / EncodeJpegStream), both with the same parameters. Each
// iteration times ours, then the peer, on this thread's processor clock; ratio = ours / peer
// over the fastest call of each (the goal is at most 1.05). The file variants do the same on a
// file in the temporary folder: ours through LoadFromFile / SaveToFile (buffered reading, a
// temporary file renamed on success), the peer on a plain TFileStream.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "codecs/jpegfilt.h"
#include "codecs/pngfilt.h"
#include "codecs/pxcodecs.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pixoranio_support.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

enum TCase : int { kPngRgba, kPngRgb, kJpeg };
TPXFileType TypeOf(TCase c) { return c == kJpeg ? pxftJPEG : pxftPNG; }

// Smooth gradients with a little noise; for RGBA an alpha ramp with holes.
std::unique_ptr<TPXBitmap> MakePicture(bool Alpha) {
  auto b = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
  TPXBitmap* a = Alpha ? b->GetAlphaChannel() : nullptr;
  uint32_t seed = 7;
  for (int32_t y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<TRGB*>(b->Scanline(y));
    uint8_t* alpha = a ? a->Scanline(y) : nullptr;
    for (int32_t x = 0; x < kWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      const int noise = int(seed >> 29);
      row[x] = TRGB{uint8_t((x / 16 + noise) & 0xFF), uint8_t((y / 12 + x / 40) & 0xFF), uint8_t((x + y) / 28)};
      if (alpha) alpha[x] = ((x / 50 + y / 50) % 7 == 0) ? 0 : uint8_t(255 - (y * 255 / kHeight) / 2);
    }
  }
  if (a) a->FFull = 0;
  return b;
}

// The 8-bit mask the PNG writer takes, from the picture's alpha.
std::unique_ptr<TPXMask> MaskOf(TPXBitmap* b) {
  if (!b->HasAlphaChannel()) return nullptr;
  TPXBitmap* a = b->PeekAlphaChannel();
  auto m = std::make_unique<TPXMask>();
  m->AllocateBits(a->Width(), a->Height(), 8);
  for (int32_t y = 0; y < a->Height(); ++y) std::copy_n(a->Scanline(y), a->Width(), m->GetScanline(y));
  m->UpdateBounds();
  return m;
}

// One case: the picture, a component on a bitmap of its own, the peer's parameters (a copy of
// the component's), and the file both loads read.
struct Setup {
  TCase Case;
  TPXBitmap Bitmap;
  std::unique_ptr<TPixoranIO> IO = TPixoranIO::CreateForBitmap(&Bitmap);
  TIOParams PeerParams;
  std::unique_ptr<TPXMask> Mask;
  std::string File;
  TPXAbortFlag Flag{false};

  explicit Setup(TCase c) : Case(c) {
    Bitmap.Assign(MakePicture(c == kPngRgba).get());
    TIOParams* p = IO->Params();
    p->SamplesPerPixel = 3;
    p->BitsPerSample = 8;
    PeerParams.Assign(p);
    Mask = MaskOf(&Bitmap);
    TMemoryStream s;
    SavePeer(s);
    File.assign(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
  }
  TPXProgressRecord Progress() {
    TPXProgressRecord r;
    InitProgressRecord(nullptr, &Flag, r, TPXProgressEvent());
    return r;
  }
  void SavePeer(TMemoryStream& s) {
    TPXProgressRecord r = Progress();
    if (Case == kJpeg) EncodeJpegStream(&s, &Bitmap, &PeerParams, r);
    else EncodePngStream(&s, &Bitmap, &PeerParams, r, Mask.get());
  }
  void LoadPeer(TPXBitmap& Into) {
    TCustomMemoryStream s(File.data(), static_cast<int64_t>(File.size()));
    TPXProgressRecord r = Progress();
    if (Case == kJpeg)
      DecodeJpegStream(&s, nullptr, &Into, &PeerParams, r, false, false, true, false, true, true, -1, false);
    else DecodePngStream(&s, &Into, &PeerParams, r, false);
  }
};

void Report(benchmark::State& state, double ours, double peer) {
  state.counters["ours_ms"] = ours * 1e3;
  state.counters["peer_ms"] = peer * 1e3;
  state.counters["ratio"] = ours / peer;
}

void BM_Load(benchmark::State& state) {
  Setup s(static_cast<TCase>(state.range(0)));
  TPXBitmap peerBitmap;
  double bestOurs = 1e30, bestPeer = 1e30;
  for (auto _ : state) {
    TCustomMemoryStream in(s.File.data(), static_cast<int64_t>(s.File.size()));
    const double t0 = Now();
    const bool ok = s.IO->LoadFromStream(&in, TypeOf(s.Case));
    const double t1 = Now();
    s.LoadPeer(peerBitmap);
    const double t2 = Now();
    if (!ok || s.Bitmap.Width() != kWidth || peerBitmap.Width() != kWidth) {
      state.SkipWithError("load failed");
      return;
    }
    bestOurs = std::min(bestOurs, t1 - t0);
    bestPeer = std::min(bestPeer, t2 - t1);
  }
  Report(state, bestOurs, bestPeer);
}

void BM_Save(benchmark::State& state) {
  Setup s(static_cast<TCase>(state.range(0)));
  double bestOurs = 1e30, bestPeer = 1e30;
  for (auto _ : state) {
    TMemoryStream a, b;
    const double t0 = Now();
    s.IO->SaveToStream(&a, TypeOf(s.Case));
    const double t1 = Now();
    s.SavePeer(b);
    const double t2 = Now();
    if (s.IO->Aborting() || a.Size() == 0 || b.Size() == 0) {
      state.SkipWithError("save failed");
      return;
    }
    bestOurs = std::min(bestOurs, t1 - t0);
    bestPeer = std::min(bestPeer, t2 - t1);
  }
  Report(state, bestOurs, bestPeer);
}

std::string TempName(TCase c) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/bench_io_frontend_" + std::to_string(::getpid()) +
         (c == kJpeg ? ".jpg" : ".png");
}

void BM_LoadFile(benchmark::State& state) {
  Setup s(static_cast<TCase>(state.range(0)));
  const std::string name = TempName(s.Case);
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(s.File.data(), static_cast<int64_t>(s.File.size()));
  }
  TPXBitmap peerBitmap;
  double bestOurs = 1e30, bestPeer = 1e30;
  for (auto _ : state) {
    const double t0 = Now();
    const bool ok = s.IO->LoadFromFile(name, TypeOf(s.Case));
    const double t1 = Now();
    {
      TFileStream f(name, fmOpenRead);
      TPXProgressRecord r = s.Progress();
      if (s.Case == kJpeg)
        DecodeJpegStream(&f, nullptr, &peerBitmap, &s.PeerParams, r, false, false, true, false, true, true, -1, false);
      else DecodePngStream(&f, &peerBitmap, &s.PeerParams, r, false);
    }
    const double t2 = Now();
    if (!ok || s.Bitmap.Width() != kWidth || peerBitmap.Width() != kWidth) {
      state.SkipWithError("load failed");
      break;
    }
    bestOurs = std::min(bestOurs, t1 - t0);
    bestPeer = std::min(bestPeer, t2 - t1);
  }
  std::remove(name.c_str());
  Report(state, bestOurs, bestPeer);
}

void BM_SaveFile(benchmark::State& state) {
  Setup s(static_cast<TCase>(state.range(0)));
  const std::string ours = TempName(s.Case), peer = ours + ".peer";
  double bestOurs = 1e30, bestPeer = 1e30;
  for (auto _ : state) {
    const double t0 = Now();
    s.IO->SaveToFile(ours, TypeOf(s.Case));
    const double t1 = Now();
    {
      TFileStream f(peer, fmCreate);
      TPXProgressRecord r = s.Progress();
      if (s.Case == kJpeg) EncodeJpegStream(&f, &s.Bitmap, &s.PeerParams, r);
      else EncodePngStream(&f, &s.Bitmap, &s.PeerParams, r, s.Mask.get());
    }
    const double t2 = Now();
    if (s.IO->Aborting()) {
      state.SkipWithError("save failed");
      break;
    }
    bestOurs = std::min(bestOurs, t1 - t0);
    bestPeer = std::min(bestPeer, t2 - t1);
  }
  std::remove(ours.c_str());
  std::remove(peer.c_str());
  Report(state, bestOurs, bestPeer);
}

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgName("png_rgba_png_rgb_jpeg")->Arg(kPngRgba)->Arg(kPngRgb)->Arg(kJpeg);
  b->Iterations(6)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Load)->Apply(Cases);
BENCHMARK(BM_Save)->Apply(Cases);
BENCHMARK(BM_LoadFile)->Apply(Cases);
BENCHMARK(BM_SaveFile)->Apply(Cases);

}  // namespace

int main(int argc, char** argv) {
  return BenchMain(argc, argv, [] {
    RegisterIOSupport();
    RegisterPngCodec();
    RegisterJpegCodec();
  });
}
