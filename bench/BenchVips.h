// libvips in this process as the peer of the resampling, rotation and blur benchmarks: its
// operation cache off (a repeated call must do the work again), its worker count set to ours for
// each call, its input an in-memory picture and its output written into a buffer of the result's
// size: allocated once and reused where ours writes into a destination it keeps, or new memory
// from the library's allocator on every call where ours makes a new picture. Only the operation,
// that allocation and the writing of its result are timed.
#pragma once

#include <vips/vips.h>

#include <cstdint>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/pxxBitmaps.h"

// True once libvips started (first call starts it).
inline bool BenchVipsReady() {
  static const bool ok = [] {
    if (VIPS_INIT("bench")) return false;
    vips_cache_set_max(0);
    return true;
  }();
  return ok;
}

// A px24RGB picture as a vips uchar image: RGB, or RGBA with the picture's alpha channel.
class TBenchVipsImage {
 public:
  TBenchVipsImage(TPXBitmap* B, bool WithAlpha) {
    const int32_t w = B->Width(), h = B->Height(), bands = WithAlpha ? 4 : 3;
    TPXBitmap* a = WithAlpha ? B->GetAlphaChannel() : nullptr;
    FPixels.resize(static_cast<size_t>(w) * h * bands);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* s = B->Scanline(y);
      const uint8_t* as = a ? a->Scanline(y) : nullptr;
      uint8_t* d = &FPixels[static_cast<size_t>(y) * w * bands];
      for (int32_t x = 0; x < w; ++x, d += bands) {
        d[0] = s[3 * x + 2], d[1] = s[3 * x + 1], d[2] = s[3 * x];
        if (as) d[3] = as[x];
      }
    }
    FImage = vips_image_new_from_memory(FPixels.data(), FPixels.size(), w, h, bands, VIPS_FORMAT_UCHAR);
  }
  ~TBenchVipsImage() {
    if (FImage) g_object_unref(FImage);
  }
  TBenchVipsImage(const TBenchVipsImage&) = delete;
  TBenchVipsImage& operator=(const TBenchVipsImage&) = delete;
  VipsImage* Image() const { return FImage; }

 private:
  std::vector<uint8_t> FPixels;
  VipsImage* FImage = nullptr;
};

// Seconds of one vips operation on Threads workers: Make(In, &Out) builds it, and its result is
// computed into Buffer (grown on the first call; time the second), or with NewOutput into a new
// block of the library's allocator. Negative where vips failed.
template <class Make>
double BenchVipsSeconds(VipsImage* In, int32_t Threads, std::vector<uint8_t>& Buffer, Make&& MakeOp,
                        bool NewOutput = false) {
  vips_concurrency_set(Threads);
  const auto a = BenchClock::now();
  VipsImage* out = nullptr;
  if (MakeOp(In, &out) != 0) return -1;
  const size_t need = VIPS_IMAGE_SIZEOF_IMAGE(out);
  TPXBlockPtr block;
  uint8_t* target = nullptr;
  if (NewOutput) {
    block = BenchBlock(need);
    target = block.get();
  } else {
    if (Buffer.size() < need) Buffer.resize(need);
    target = Buffer.data();
  }
  VipsImage* mem = vips_image_new_from_memory(target, need, out->Xsize, out->Ysize, out->Bands, out->BandFmt);
  const int rc = mem ? vips_image_write(out, mem) : -1;
  const double t = BenchSeconds(a, BenchClock::now());
  if (mem) g_object_unref(mem);
  g_object_unref(out);
  return rc == 0 ? t : -1;
}
