// The BMP codec on a 24-bit 8000 x 6000 picture, read from and written to a file, against the
// least any BMP reader or writer must do: the rows read straight into a new picture (read), or
// written straight from the picture after a header (write).
// ratio = ours / that bound (the goal is at most 1.5). ImageMagick's MagickWand on the same
// file is the second peer: magick_ratio = ours / MagickWand. One thread on every side; each
// side's whole call is timed (file open to picture).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/bmpfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "bench/BenchSupport.h"

// Last: MagickCore defines macros that clash with our member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int32_t kWidth = 8000;
constexpr int32_t kHeight = 6000;
// Every side runs on this thread alone (MagickWand held to one thread), so each is timed by the
// thread's processor time, which other work on a busy machine disturbs less than the wall clock.
double Seconds(double a, double b) { return b - a; }

std::string TempName(const char* Name) { return std::string("/tmp/pxbench_") + Name + ".bmp"; }

TPXBitmap& ThePicture() {
  static const std::unique_ptr<TPXBitmap> pic = [] {
    auto b = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
    for (int32_t y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<TRGB*>(b->Scanline(y));
      for (int32_t x = 0; x < kWidth; ++x) row[x] = TRGB{uint8_t(x / 16), uint8_t(y / 12 + x / 40), uint8_t((x + y) / 28)};
    }
    return b;
  }();
  return *pic;
}

void WriteOurs(const std::string& File) {
  TFileStream f(File, fmCreate);
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  EncodeBmpStream(&f, &ThePicture(), &params, progress, false);
}

void ReadOurs(const std::string& File) {
  TFileStream f(File, fmOpenRead);
  TPXBitmap bitmap;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  std::unique_ptr<TPXMask> mask;
  DecodeBmpStream(&f, &bitmap, 0, &params, progress, false, false, mask, false);
  // The read must have happened.
  if (flag || bitmap.Width() != kWidth ||
      reinterpret_cast<const TRGB*>(bitmap.Scanline(kHeight - 1))[kWidth - 1].r != uint8_t((kWidth + kHeight - 2) / 28))
    std::abort();
  benchmark::DoNotOptimize(bitmap.Scanline(0));
}

// The bound: a header and the rows, bottom first, through the C library's buffered writes. Like
// our writer it allocates nothing of the picture's size (on a busy machine the page faults of a
// fresh buffer of 144 MB cost more than the copy itself).
void WriteBound(const std::string& File) {
  const size_t rowLen = size_t(kWidth) * 3;  // a multiple of 4: no padding
  TPXBitmap& pic = ThePicture();
  FILE* f = std::fopen(File.c_str(), "wb");
  const uint8_t header[54] = {'B', 'M'};
  std::fwrite(header, 1, sizeof header, f);
  for (int32_t y = kHeight - 1; y >= 0; --y) std::fwrite(pic.Scanline(y), 1, rowLen, f);
  std::fclose(f);
}

// The bound: a new picture, each row read straight into it, bottom first. Like our reader it
// allocates the picture and nothing else of that size.
void ReadBound(const std::string& File) {
  FILE* f = std::fopen(File.c_str(), "rb");
  std::fseek(f, 54, SEEK_SET);
  auto pic = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
  const size_t rowLen = size_t(kWidth) * 3;
  for (int32_t y = kHeight - 1; y >= 0; --y) benchmark::DoNotOptimize(std::fread(pic->Scanline(y), 1, rowLen, f));
  std::fclose(f);
  benchmark::DoNotOptimize(pic->Scanline(0));
}

void ReadMagick(const std::string& File, std::vector<uint8_t>& Pixels) {
  MagickWand* wand = NewMagickWand();
  MagickReadImage(wand, File.c_str());
  Pixels.resize(size_t(kWidth) * kHeight * 3);
  MagickExportImagePixels(wand, 0, 0, kWidth, kHeight, "BGR", CharPixel, Pixels.data());
  DestroyMagickWand(wand);
}

void WriteMagick(const std::string& File, const std::vector<uint8_t>& Bgr) {
  MagickWand* wand = NewMagickWand();
  MagickConstituteImage(wand, kWidth, kHeight, "BGR", CharPixel, Bgr.data());
  MagickSetImageFormat(wand, "BMP3");
  MagickWriteImage(wand, File.c_str());
  DestroyMagickWand(wand);
}

// Each iteration runs ours, the bound and MagickWand in turn; the iteration's time is ours, and
// the fastest call of each side is reported.
template <class Ours, class Bound, class Magick>
void TimeThree(benchmark::State& State, Ours&& O, Bound&& B, Magick&& M) {
  CodecTimes t;
  for (auto _ : State) {
    const auto a = ThreadCpuSeconds();
    O();
    const auto b = ThreadCpuSeconds();
    B();
    const auto c = ThreadCpuSeconds();
    M();
    const auto d = ThreadCpuSeconds();
    t.Add(t.Ours, Seconds(a, b));
    t.Add(t.Peer, Seconds(b, c));
    t.Add(t.Magick, Seconds(c, d));
    State.SetIterationTime(Seconds(a, b));
  }
  ReportCodecTimes(State, t, "bound");
}

void BM_BmpRead(benchmark::State& State) {
  const std::string file = TempName("read");
  WriteOurs(file);
  std::vector<uint8_t> pixels;
  TimeThree(State, [&] { ReadOurs(file); }, [&] { ReadBound(file); }, [&] { ReadMagick(file, pixels); });
  std::remove(file.c_str());
}

void BM_BmpWrite(benchmark::State& State) {
  const std::string ours = TempName("ours"), bound = TempName("bound"), magick = TempName("magick");
  std::vector<uint8_t> bgr(size_t(kWidth) * kHeight * 3);
  for (int32_t y = 0; y < kHeight; ++y)
    std::memcpy(&bgr[size_t(y) * kWidth * 3], ThePicture().Scanline(y), size_t(kWidth) * 3);
  TimeThree(State, [&] { WriteOurs(ours); }, [&] { WriteBound(bound); }, [&] { WriteMagick(magick, bgr); });
  for (const std::string& f : {ours, bound, magick}) std::remove(f.c_str());
}

}  // namespace

BENCHMARK(BM_BmpRead)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BmpWrite)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMagickMain(argc, argv); }
