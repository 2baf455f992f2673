// The PNG codec against a direct libpng loop doing the same work: a 4000 x 3000 RGBA picture,
// plain and Adam7-interlaced. Decoding: the file is written by libpng with adaptive filtering
// (every filter type allowed, as real PNGs are), so both sides unfilter; libpng applies the same
// transformations (blue-green-red order, tRNS to alpha, interlace handling) reading row by row
// into a buffer allocated once and reused, as ours decodes into one bitmap reused across calls;
// we also split the alpha into the bitmap's alpha channel. Encoding: the same filter (the
// parameters' default, none) and zlib level (5), rows of blue-green-red-alpha, each side into an
// output buffer kept across calls. One thread on both sides, whose processor time is what is
// timed; ratio = ours / peer over the fastest call of each (the goal is at most 1.15).
// ImageMagick's MagickWand (blob in, BGRA pixels out, and back; limited to one thread) is the
// second peer: magick_ratio = ours / MagickWand.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pngfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

// Last: MagickCore defines macros that clash with our member names.
#include "bench/BenchMagick.h"

namespace {

constexpr int32_t kWidth = 4000;
constexpr int32_t kHeight = 3000;
constexpr int kLevel = 5;

// Ours and the libpng loop run on this thread alone, so their time is the thread's processor
// time, which other work on a busy machine disturbs less than the wall clock. MagickWand (held
// to one thread by BenchMagickMain) gets the wall clock.
struct ThreadClock {
  using time_point = double;
  static double now() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
  }
};
using Clock = ThreadClock;
double Seconds(double a, double b) { return b - a; }
using WallClock = std::chrono::steady_clock;
double WallSeconds(WallClock::time_point a, WallClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// A photo-like picture: smooth gradients with a little noise, and an alpha ramp with holes.
struct Picture {
  std::unique_ptr<TPXBitmap> Bitmap;
  std::unique_ptr<TPXMask> Mask;
  std::vector<uint8_t> Bgra;  // the same pixels interleaved, for the peers
};

const Picture& ThePicture() {
  static const Picture pic = [] {
    Picture p;
    p.Bitmap = TPXBitmap::CreateAllocated(kWidth, kHeight, px24RGB);
    p.Mask = std::make_unique<TPXMask>();
    p.Mask->AllocateBits(kWidth, kHeight, 8);
    p.Bgra.resize(size_t(kWidth) * kHeight * 4);
    uint32_t seed = 7;
    for (int32_t y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<TRGB*>(p.Bitmap->Scanline(y));
      uint8_t* alpha = p.Mask->GetScanline(y);
      for (int32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = int(seed >> 29);
        row[x] = TRGB{uint8_t((x / 16 + noise) & 0xFF), uint8_t((y / 12 + x / 40) & 0xFF), uint8_t((x + y) / 28)};
        alpha[x] = ((x / 50 + y / 50) % 7 == 0) ? 0 : uint8_t(255 - (y * 255 / kHeight) / 2);
        uint8_t* q = &p.Bgra[(size_t(y) * kWidth + x) * 4];
        q[0] = row[x].b;
        q[1] = row[x].g;
        q[2] = row[x].r;
        q[3] = alpha[x];
      }
    }
    return p;
  }();
  return pic;
}

TIOParams& ParamsFor(bool Interlaced) {
  static TIOParams params;
  params.SamplesPerPixel = 3;
  params.BitsPerSample = 8;
  params.PNG_Interlaced = Interlaced;
  params.PNG_Compression = kLevel;
  return params;
}

int64_t EncodeOurs(bool Interlaced, TMemoryStream& Stream) {
  const Picture& p = ThePicture();
  Stream.SetPosition(0);
  Stream.SetSize(0);
  TPXProgressRecord progress;
  EncodePngStream(&Stream, p.Bitmap.get(), &ParamsFor(Interlaced), progress, p.Mask.get());
  return Stream.Size();
}

void DecodeOurs(const std::string& File, TPXBitmap& Into) {
  TCustomMemoryStream stream(File.data(), static_cast<int64_t>(File.size()));
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  DecodePngStream(&stream, &Into, &params, progress, false);
}

// --- the direct libpng loops -----------------------------------------------------------------

struct Reader {
  const std::string* File;
  size_t At;
};

void ReadFromString(png_structp png, png_bytep out, size_t n) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->At + n > r->File->size()) png_error(png, "short");
  std::memcpy(out, r->File->data() + r->At, n);
  r->At += n;
}

// Into Pixels, a picture buffer of the right size kept across calls.
void DecodeLibpng(const std::string& File, uint8_t* Pixels) {
  Reader r{&File, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &r, ReadFromString);
  png_read_info(png, info);
  const int w = int(png_get_image_width(png, info)), h = int(png_get_image_height(png, info));
  png_set_bgr(png);
  png_set_tRNS_to_alpha(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t stride = size_t(w) * 4;
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < h; ++y) png_read_row(png, Pixels + size_t(y) * stride, nullptr);
  png_read_end(png, info);
  png_destroy_read_struct(&png, &info, nullptr);
}

void AppendToString(png_structp png, png_bytep data, size_t n) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), n);
}
void NoFlush(png_structp) {}

// Into Out (cleared first, its capacity kept), with Filters (PNG_FILTER_NONE or PNG_ALL_FILTERS).
void EncodeLibpng(bool Interlaced, int Filters, std::string& out) {
  const Picture& p = ThePicture();
  out.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToString, NoFlush);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB_ALPHA,
               Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, 11811, 11811, PNG_RESOLUTION_METER);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, Filters);
  png_set_compression_level(png, kLevel);
  png_set_bgr(png);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < kHeight; ++y) png_write_row(png, &p.Bgra[size_t(y) * kWidth * 4]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
}

// --- MagickWand --------------------------------------------------------------------------------

void DecodeMagick(const std::string& File, std::vector<uint8_t>& Pixels) {
  MagickWand* wand = NewMagickWand();
  MagickReadImageBlob(wand, File.data(), File.size());
  Pixels.resize(size_t(kWidth) * kHeight * 4);
  MagickExportImagePixels(wand, 0, 0, kWidth, kHeight, "BGRA", CharPixel, Pixels.data());
  DestroyMagickWand(wand);
}

std::string EncodeMagick(bool Interlaced) {
  const Picture& p = ThePicture();
  MagickWand* wand = NewMagickWand();
  MagickConstituteImage(wand, kWidth, kHeight, "BGRA", CharPixel, p.Bgra.data());
  MagickSetImageFormat(wand, "PNG32");
  MagickSetImageCompressionQuality(wand, kLevel * 10);  // tens: zlib level; units 0: no filter
  MagickSetInterlaceScheme(wand, Interlaced ? PNGInterlace : NoInterlace);
  size_t n = 0;
  unsigned char* blob = MagickGetImageBlob(wand, &n);
  std::string out(reinterpret_cast<const char*>(blob), n);
  MagickRelinquishMemory(blob);
  DestroyMagickWand(wand);
  return out;
}

// --- benchmarks --------------------------------------------------------------------------------

void BM_PngDecode(benchmark::State& State) {
  const bool interlaced = State.range(0) != 0;
  std::string file;
  EncodeLibpng(interlaced, PNG_ALL_FILTERS, file);
  std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4), peerPixels(size_t(kWidth) * kHeight * 4);
  TPXBitmap bitmap;
  DecodeOurs(file, bitmap);  // both sides' pictures exist before the timing
  DecodeLibpng(file, peerPixels.data());
  CodecTimes t;
  for (auto _ : State) {
    const auto a = Clock::now();
    DecodeOurs(file, bitmap);
    const auto b = Clock::now();
    DecodeLibpng(file, peerPixels.data());
    const auto c = Clock::now();
    benchmark::DoNotOptimize(peerPixels.data());
    const auto e = WallClock::now();
    DecodeMagick(file, pixels);
    t.Add(t.Ours, Seconds(a, b));
    t.Add(t.Peer, Seconds(b, c));
    t.Add(t.Magick, WallSeconds(e, WallClock::now()));
    State.SetIterationTime(Seconds(a, b));
    benchmark::DoNotOptimize(pixels.data());
  }
  ReportCodecTimes(State, t, "libpng");
}

void BM_PngEncode(benchmark::State& State) {
  const bool interlaced = State.range(0) != 0;
  ThePicture();
  CodecTimes t;
  TMemoryStream oursOut;
  std::string peerOut;
  EncodeOurs(interlaced, oursOut);  // both outputs at their size before the timing
  EncodeLibpng(interlaced, PNG_FILTER_NONE, peerOut);
  size_t oursSize = 0, peerSize = 0;
  for (auto _ : State) {
    const auto a = Clock::now();
    oursSize = size_t(EncodeOurs(interlaced, oursOut));
    const auto b = Clock::now();
    EncodeLibpng(interlaced, PNG_FILTER_NONE, peerOut);
    peerSize = peerOut.size();
    const auto c = Clock::now();
    t.Add(t.Ours, Seconds(a, b));
    t.Add(t.Peer, Seconds(b, c));
    State.SetIterationTime(Seconds(a, b));
    if (t.Magick == 1e9) {  // slow: once is enough
      const auto e = WallClock::now();
      benchmark::DoNotOptimize(EncodeMagick(interlaced).size());
      t.Add(t.Magick, WallSeconds(e, WallClock::now()));
    }
  }
  ReportCodecTimes(State, t, "libpng");
  State.counters["size_ratio"] = double(oursSize) / double(peerSize);
}

}  // namespace

BENCHMARK(BM_PngDecode)->ArgName("interlaced")->Arg(0)->Arg(1)->Iterations(8)->UseManualTime()->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_PngEncode)->ArgName("interlaced")->Arg(0)->Arg(1)->Iterations(5)->UseManualTime()->Unit(
    benchmark::kMillisecond);

int main(int argc, char** argv) { return BenchMagickMain(argc, argv); }
