// The JPEG codec against a direct libjpeg-turbo loop doing the same work in the same run: a
// 24-Mpixel picture decoded at full size and at 1/8, and encoded at quality 80 with 2 x 2
// luminance sampling; same DCT method (accurate integer), same blue-green-red row layout. Each
// row runs ours and the direct loop in every iteration, one thread each, into outputs kept
// across calls; the test picture and its encoding are made before anything is timed. ratio =
// ours / direct over the fastest call of each (target: at most 1.15). ImageMagick's MagickWand
// reading and writing the same data on one thread is the second peer (its own rows).
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpegfilt.h"
#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "bench/BenchSupport.h"

// Last: its pixel macros would clash with the bitmap's member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A photo-like picture: smooth gradients with fine noise, so the entropy coder has work.
const std::vector<uint8_t>& Pixels() {
  static const std::vector<uint8_t> px = [] {
    std::vector<uint8_t> v(static_cast<size_t>(kWidth) * kHeight * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int n = static_cast<int>((seed >> 16) & 15) - 8;
        uint8_t* p = &v[(static_cast<size_t>(y) * kWidth + x) * 3];
        p[0] = static_cast<uint8_t>(std::clamp((x * 255) / kWidth + n, 0, 255));
        p[1] = static_cast<uint8_t>(std::clamp((y * 255) / kHeight + n, 0, 255));
        p[2] = static_cast<uint8_t>(std::clamp(((x + y) * 255) / (kWidth + kHeight) + n, 0, 255));
      }
    return v;
  }();
  return px;
}

std::unique_ptr<TPXBitmap> Bitmap() {
  auto bmp = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
  const auto& px = Pixels();
  for (int y = 0; y < kHeight; ++y)
    std::memcpy(bmp->GetScanline(y), &px[static_cast<size_t>(y) * kWidth * 3], static_cast<size_t>(kWidth) * 3);
  return bmp;
}

struct TErr {
  jpeg_error_mgr Pub;
  jmp_buf Jump;
};
void ErrExit(j_common_ptr c) { std::longjmp(reinterpret_cast<TErr*>(c->err)->Jump, 1); }

// The direct encoder: memory destination, BGR rows (from Source, or the plain pixel buffer),
// quality 80, 2 x 2.
size_t DirectEncode(std::vector<uint8_t>& Out, TPXBitmap* Source = nullptr) {
  jpeg_compress_struct c;
  TErr err;
  c.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = ErrExit;
  if (setjmp(err.Jump)) std::abort();
  jpeg_create_compress(&c);
  unsigned char* buffer = Out.data();
  unsigned long size = Out.size();
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, JCS_YCbCr);
  c.density_unit = 1;
  c.X_density = c.Y_density = 300;
  jpeg_set_quality(&c, 80, TRUE);
  c.comp_info[0].h_samp_factor = 2;
  c.comp_info[0].v_samp_factor = 2;
  jpeg_start_compress(&c, TRUE);
  const auto& px = Pixels();
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = Source ? static_cast<uint8_t*>(Source->GetScanline(static_cast<int32_t>(c.next_scanline)))
                          : const_cast<uint8_t*>(&px[static_cast<size_t>(c.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  if (buffer != Out.data()) std::abort();  // the buffer is large enough; no reallocation
  return size;
}

const std::vector<uint8_t>& Encoded() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 3);
    out.resize(DirectEncode(out));
    return out;
  }();
  return data;
}

// The direct decoder: memory source, BGR rows one at a time into a picture buffer (or into the
// rows of Into, allocated as the codec allocates its bitmap).
void DirectDecode(int Denominator, std::vector<uint8_t>& Out, TPXBitmap* Into = nullptr) {
  const auto& data = Encoded();
  jpeg_decompress_struct d;
  TErr err;
  d.err = jpeg_std_error(&err.Pub);
  err.Pub.error_exit = ErrExit;
  if (setjmp(err.Jump)) std::abort();
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, data.data(), data.size());
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGR;
  d.dct_method = JDCT_ISLOW;
  d.scale_num = 1;
  d.scale_denom = static_cast<unsigned>(Denominator);
  jpeg_start_decompress(&d);
  const size_t rowBytes = static_cast<size_t>(d.output_width) * 3;
  if (Into) Into->Allocate(static_cast<int32_t>(d.output_width), static_cast<int32_t>(d.output_height), px24RGB);
  else Out.resize(rowBytes * d.output_height);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = Into ? static_cast<uint8_t*>(Into->GetScanline(static_cast<int32_t>(d.output_scanline)))
                        : &Out[rowBytes * d.output_scanline];
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
}

void OursDecode(int Scale, TPXBitmap& Out) {
  const auto& data = Encoded();
  TPXMemStream s(data.data(), static_cast<int64_t>(data.size()));
  TIOParams p;
  p.JPEG_Scale = static_cast<uint8_t>(Scale);
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  DecodeJpegStream(&s, nullptr, &Out, &p, progress, false, false, true, false, true, true, -1, false);
  if (flag.load()) std::abort();
}

// Each iteration runs ours, then the direct loop, on this thread; the iteration's time is ours,
// and ratio = ours / direct over the fastest call of each.
template <class Ours, class Direct>
void Paired(benchmark::State& state, Ours&& O, Direct&& D) {
  O();  // both sides' outputs at their size before the timing
  D();
  OursAndPeerTimes t;
  for (auto _ : state) {
    const auto a = BenchClock::now();
    O();
    const auto b = BenchClock::now();
    D();
    const auto c = BenchClock::now();
    t.Add(0, BenchSeconds(a, b), BenchSeconds(a, c));
    state.SetIterationTime(BenchSeconds(a, b));
  }
  t.Report(state, "direct");
}

void BM_Decode_1_1(benchmark::State& state) {
  TPXBitmap ours;
  std::vector<uint8_t> out;
  Paired(state, [&] { OursDecode(1, ours); }, [&] { DirectDecode(1, out); });
}
// The direct loop writing into the rows of a bitmap the way the codec allocates it: separates
// the codec's own cost from the pixel storage's.
void BM_Decode_1_1_IntoBitmap(benchmark::State& state) {
  TPXBitmap ours, into;
  std::vector<uint8_t> out;
  Paired(state, [&] { OursDecode(1, ours); }, [&] { DirectDecode(1, out, &into); });
}
void BM_Decode_1_8(benchmark::State& state) {
  TPXBitmap ours;
  std::vector<uint8_t> out;
  Paired(state, [&] { OursDecode(4, ours); }, [&] { DirectDecode(8, out); });
}
// Our encoder at quality 80, 2 x 2, 300 dpi into a stream whose capacity is kept across calls;
// the direct loop reads the plain pixel buffer, or with FromBitmap the rows of the bitmap the
// codec encodes (which separates the codec's own cost from the pixel storage's).
void EncodeQ80(benchmark::State& state, bool FromBitmap) {
  auto bmp = Bitmap();
  TIOParams p;
  p.JPEG_Quality = 80;
  p.JPEG_Subsampling = 1;
  p.JPEG_ColorSpace = 2;
  p.SetDpiX(300);
  p.SetDpiY(300);
  TMemoryStream s;
  s.SetCapacity(static_cast<int64_t>(kWidth) * kHeight * 3);
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 3);
  Paired(
      state,
      [&] {
        s.Seek(0, soBeginning);
        TPXAbortFlag flag{false};
        TPXProgressRecord progress;
        progress.Aborting = &flag;
        EncodeJpegStream(&s, bmp.get(), &p, progress);
        if (flag.load()) std::abort();
      },
      [&] { benchmark::DoNotOptimize(DirectEncode(out, FromBitmap ? bmp.get() : nullptr)); });
}
void BM_Encode_Q80(benchmark::State& state) { EncodeQ80(state, false); }
void BM_Encode_Q80_FromBitmap(benchmark::State& state) { EncodeQ80(state, true); }

// ImageMagick: decoding into its own pixel cache (at 1/8 through its size hint, which picks the
// library's scaling), encoding from a picture already constituted from the same pixels.
void MagickDecode(benchmark::State& state, const char* SizeHint) {
  const auto& data = Encoded();
  for (auto _ : state) {
    MagickWand* w = NewMagickWand();
    if (SizeHint) MagickSetOption(w, "jpeg:size", SizeHint);
    if (MagickReadImageBlob(w, data.data(), data.size()) == MagickFalse) std::abort();
    DestroyMagickWand(w);
  }
}
void BM_Decode_Magick_1_1(benchmark::State& state) { MagickDecode(state, nullptr); }
void BM_Decode_Magick_1_8(benchmark::State& state) { MagickDecode(state, "750x500"); }
void BM_Encode_Magick_Q80(benchmark::State& state) {
  MagickWand* w = NewMagickWand();
  if (MagickConstituteImage(w, kWidth, kHeight, "RGB", CharPixel, Pixels().data()) == MagickFalse) std::abort();
  MagickSetImageFormat(w, "JPEG");
  MagickSetImageCompressionQuality(w, 80);
  MagickSetOption(w, "jpeg:sampling-factor", "2x2");
  for (auto _ : state) {
    size_t length = 0;
    unsigned char* blob = MagickGetImageBlob(w, &length);
    if (!blob) std::abort();
    MagickRelinquishMemory(blob);
  }
  DestroyMagickWand(w);
}

BENCHMARK(BM_Decode_1_1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_1_1_IntoBitmap)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_1_8)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Q80)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode_Q80_FromBitmap)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode_Magick_1_1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Decode_Magick_1_8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Encode_Magick_Q80)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

// The test picture and its encoding are made before any benchmark runs, outside every timing.
int main(int argc, char** argv) {
  return BenchMagickMain(argc, argv, [] {
    Pixels();
    Encoded();
  });
}
