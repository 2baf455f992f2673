// Decoding of run-length coded pictures of 8000 x 6000: an RLE8 BMP, an RLE Targa at depth 24
// and an 8-bit PCX, each made once by our own writer from a picture of flat bands and noisy
// stretches (so both runs and literals matter). ImageMagick's MagickWand decodes the same bytes
// from memory in the same run: ratio = ours / MagickWand (the goal is below 1.0). Each side's
// whole decode is timed, into a new picture on every call (ours a new bitmap, MagickWand its
// pixel cache, whose malloc'd memory gets huge pages as ours does: see BenchSameHugePages); the
// exported pixel buffer is allocated once and reused. MagickWand runs its own threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/bmpfilt.h"
#include "codecs/pcxfilter.h"
#include "codecs/pxtgafil.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

// Last: MagickCore defines macros that clash with our member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int32_t kWidth = 8000;
constexpr int32_t kHeight = 6000;
// Every side runs on this thread alone (MagickWand held to one thread), so each is timed by the
// thread's processor time, which other work on a busy machine disturbs less than the wall clock.
double Seconds(double a, double b) { return b - a; }

enum class TKind { Bmp, Targa, Pcx };

// 64 colours, so the 8-bit writers keep them all: stretches of 50 pixels alternate between one
// flat colour and noise drawn from the set.
TPXBitmap& ThePicture() {
  static const std::unique_ptr<TPXBitmap> pic = [] {
    TRGB colours[64];
    for (int k = 0; k < 64; ++k) colours[k] = TRGB{uint8_t(k * 4), uint8_t(255 - k * 4), uint8_t((k * 37) & 255)};
    auto b = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<TRGB*>(b->Scanline(y));
      for (int32_t x = 0; x < kWidth; ++x) {
        const int32_t s = x / 50 + y / 40;
        if (s % 3 == 0) {
          seed = seed * 1103515245u + 12345u;
          row[x] = colours[(seed >> 16) & 63];
        } else {
          row[x] = colours[s & 63];
        }
      }
    }
    return b;
  }();
  return *pic;
}

std::vector<uint8_t> Encode(TKind Kind) {
  TMemoryStream s;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  switch (Kind) {
    case TKind::Bmp:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 1;
      params.BMP_Compression = 1;
      EncodeBmpStream(&s, &ThePicture(), &params, progress, false);
      break;
    case TKind::Targa:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 3;
      params.TGA_Compressed = true;
      EncodeTargaStream(&s, &ThePicture(), &params, progress, nullptr);
      break;
    case TKind::Pcx:
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 1;
      params.PCX_Compression = true;
      EncodePcxStream(&s, &ThePicture(), &params, progress);
      break;
  }
  if (flag || s.Size() == 0) std::abort();
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

void DecodeOurs(TKind Kind, const std::vector<uint8_t>& Bytes) {
  TCustomMemoryStream s(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  TPXBitmap bitmap;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  std::unique_ptr<TPXMask> mask;
  switch (Kind) {
    case TKind::Bmp:
      DecodeBmpStream(&s, &bitmap, static_cast<int64_t>(Bytes.size()), &params, progress, false, false, mask, false);
      break;
    case TKind::Targa: DecodeTargaStream(&s, &bitmap, &params, progress, false, mask, false); break;
    case TKind::Pcx: DecodePcxStream(&s, &bitmap, &params, static_cast<int64_t>(Bytes.size()), progress, false); break;
  }
  // The decode must have happened.
  if (flag || bitmap.Width() != kWidth || bitmap.Height() != kHeight) std::abort();
  benchmark::DoNotOptimize(bitmap.Scanline(kHeight - 1));
}

void DecodeMagick(TKind Kind, const std::vector<uint8_t>& Bytes, std::vector<uint8_t>& Pixels) {
  MagickWand* wand = NewMagickWand();
  MagickSetFormat(wand, Kind == TKind::Bmp ? "BMP" : Kind == TKind::Targa ? "TGA" : "PCX");
  if (MagickReadImageBlob(wand, Bytes.data(), Bytes.size()) == MagickFalse ||
      MagickGetImageWidth(wand) != size_t(kWidth) || MagickGetImageHeight(wand) != size_t(kHeight))
    std::abort();
  Pixels.resize(size_t(kWidth) * kHeight * 3);
  MagickExportImagePixels(wand, 0, 0, kWidth, kHeight, "BGR", CharPixel, Pixels.data());
  DestroyMagickWand(wand);
}

void BM_RleDecode(benchmark::State& State, TKind Kind) {
  const std::vector<uint8_t> bytes = Encode(Kind);
  std::vector<uint8_t> pixels;
  double ours = 1e9, magick = 1e9;
  for (auto _ : State) {
    const auto a = ThreadCpuSeconds();
    DecodeOurs(Kind, bytes);
    const auto b = ThreadCpuSeconds();
    DecodeMagick(Kind, bytes, pixels);
    const auto c = ThreadCpuSeconds();
    ours = std::min(ours, Seconds(a, b));
    magick = std::min(magick, Seconds(b, c));
    State.SetIterationTime(Seconds(a, b));
  }
  State.counters["bytes"] = static_cast<double>(bytes.size());
  State.counters["ours_ms"] = ours * 1e3;
  State.counters["magick_ms"] = magick * 1e3;
  State.counters["ratio"] = ours / magick;
}

}  // namespace

BENCHMARK_CAPTURE(BM_RleDecode, bmp_rle8, TKind::Bmp)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RleDecode, targa_rle24, TKind::Targa)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RleDecode, pcx_rle8, TKind::Pcx)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMagickMain(argc, argv); }
