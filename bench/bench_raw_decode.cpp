// Camera raw decoding of a synthetic 24-megapixel DNG (6000 x 4000, uncompressed 16-bit RGGB)
// through our reader (the automatic engine, which is the imaging component's raw provider here)
// against LibRaw called directly on the same bytes: open_buffer, unpack, dcraw_process and
// dcraw_make_mem_image with default options. Both sides give 8-bit RGB, run on this thread and
// are timed by its processor time. ratio = ours / LibRaw (the goal is at most 1.1).
#include <benchmark/benchmark.h>
#include <libraw/libraw.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "codecs/pxcodecs.h"
#include "codecs/pxraw.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_support.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/DngBuilder.h"

namespace {

constexpr uint32_t kWidth = 6000;
constexpr uint32_t kHeight = 4000;

const std::string& TheDng() {
  static const std::string dng = [] {
    TPXBitmap thumb;
    thumb.Allocate(160, 120, px24RGB);
    auto io = TPixoranIO::CreateForBitmap(&thumb);
    TMemoryStream jpeg;
    io->SaveToStreamJpeg(&jpeg);
    const std::string thumbBytes(static_cast<const char*>(jpeg.Memory()), size_t(jpeg.Size()));
    return dngtest::BuildDng(
        kWidth, kHeight,
        [](uint32_t x, uint32_t y) {
          const uint32_t shade = (x * 7 + y * 5) % 30000 + 4000;
          return uint16_t(shade + ((x ^ y) & 1) * 6000 + ((x * 2654435761u + y) >> 24));
        },
        thumbBytes, 160, 120);
  }();
  return dng;
}

void DecodeOurs(const std::string& Bytes) {
  TCustomMemoryStream s(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  TPXBitmap bitmap;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  DecodeCameraRawStream(&s, &bitmap, &params, false, progress);
  if (flag || bitmap.Width() != int32_t(kWidth) || bitmap.Height() != int32_t(kHeight)) std::abort();
  benchmark::DoNotOptimize(bitmap.Scanline(int32_t(kHeight) - 1));
}

void DecodeLibRaw(const std::string& Bytes) {
  auto raw = std::make_unique<LibRaw>(0);
  // LibRaw only reads the buffer it is given.
  if (raw->open_buffer(const_cast<char*>(Bytes.data()), Bytes.size()) != LIBRAW_SUCCESS ||
      raw->unpack() != LIBRAW_SUCCESS ||
      raw->dcraw_process() != LIBRAW_SUCCESS)
    std::abort();
  int rc = 0;
  libraw_processed_image_t* image = raw->dcraw_make_mem_image(&rc);
  if (!image || image->width != kWidth || image->height != kHeight) std::abort();
  benchmark::DoNotOptimize(image->data[image->data_size - 1]);
  LibRaw::dcraw_clear_mem(image);
}

void BM_RawDecode(benchmark::State& State) {
  const std::string& dng = TheDng();
  BenchCompare(State, "libraw", [&] { DecodeOurs(dng); }, [&] { DecodeLibRaw(dng); });
}

}  // namespace

BENCHMARK(BM_RawDecode)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return BenchMain(argc, argv, [] {
    RegisterIOSupport();
    RegisterCodecs();
  });
}
