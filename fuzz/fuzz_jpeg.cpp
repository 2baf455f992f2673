// Arbitrary bytes through the JPEG reader and its helpers: the start search, the length walk and
// the ICC chunk collector restore the position and stay within the data; the reader never
// raises, whatever the options.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/jpegfilt.h"
#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"

namespace {

// Pictures larger than this are only read as far as their parameters: decoding them proves
// nothing more and costs the fuzzer its speed.
constexpr int64_t kMaxPixels = 4 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TPXMemStream stream(Data, static_cast<int64_t>(Size));
  const int64_t size = static_cast<int64_t>(Size);
  for (const bool scan : {false, true}) {
    const int64_t start = FindJpegStart(&stream, scan);
    if (stream.Position() != 0 || start < -1 || start > 149 || (!scan && start > 0)) std::abort();
  }
  const int64_t length = GetJpegStreamLength(&stream);
  if (stream.Position() != 0 || length < 0 || length > size) std::abort();

  TIOParams params;
  ReadJpegIccProfile(&stream, &params);
  if (stream.Position() != 0) std::abort();

  const uint8_t options = Size > 0 ? Data[Size - 1] : 0;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  TPXBitmap bitmap;
  try {
    DecodeJpegStream(&stream, nullptr, &bitmap, &params, progress, true, false, true, false, true, true, -1, false);
    if (flag.load() || !bitmap.IsEmpty()) return 0;
    if (int64_t{params.OriginalWidth} * params.OriginalHeight > kMaxPixels) return 0;
    stream.Seek(0, soBeginning);
    params.JPEG_Scale = options & 3;
    params.JPEG_DCTMethod = (options >> 2) % 3;
    const int32_t rows = DecodeJpegStream(&stream, nullptr, &bitmap, &params, progress, false, (options & 16) != 0,
                                          true, (options & 32) != 0, true, true, (options & 64) ? 3 : -1,
                                          (options & 128) != 0);
    if (rows < 0 || rows > bitmap.Height()) std::abort();
  } catch (...) {
    std::abort();  // the reader must turn every failure into the abort flag
  }
  return 0;
}
