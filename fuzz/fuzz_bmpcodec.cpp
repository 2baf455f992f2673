// Arbitrary bytes as a BMP for the codec's reader, from the start and behind other data, plain
// and native, with and without the file header, full and preview-only: the reader never raises;
// a preview never touches the bitmap; an accepted picture has the size its parameters give and,
// when small, writes back, and what was written reads again to the same size. Writing back is
// bounded to small pictures: the writer's paths (every depth, run-length coding, the palette
// reduction of a picture read as 24-bit) depend on the parameters and the pixel format, not on the
// size, while reducing and coding a picture of up to a million pixels made each run long.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "codecs/bmpfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

constexpr int64_t kMaxWriteBack = int64_t{1} << 14;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  const int64_t start = Size > 8 ? Data[Size - 1] % 8 : 0;
  const uint8_t flags = Size > 0 ? Data[0] : 0;
  for (bool preview : {true, false}) {
    stream.Seek(start, soBeginning);
    Check(HasBmpSignature(&stream) == HasBmpSignature(&stream));
    Check(stream.Position() == start);
    TPXBitmap bitmap;
    TIOParams params;
    params.NativePixelFormat = flags & 1;
    params.IsResource = flags & 2;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    std::unique_ptr<TPXMask> mask;
    try {
      DecodeBmpStream(&stream, &bitmap, 0, &params, progress, preview, false, mask, flags & 4);
    } catch (...) {
      std::abort();
    }
    if (preview) {
      Check(bitmap.Width() == 0 && !mask);
      continue;
    }
    if (flag || bitmap.IsEmpty()) continue;
    Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
    if (mask) Check(mask->Width() == bitmap.Width() && mask->Height() == bitmap.Height());
    if (int64_t{bitmap.Width()} * bitmap.Height() > kMaxWriteBack) continue;
    TMemoryStream out;
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    EncodeBmpStream(&out, &bitmap, &params, writeProgress, true);
    Check(!writeFlag);
    out.Seek(0, soBeginning);
    TPXBitmap again;
    TIOParams againParams;
    std::unique_ptr<TPXMask> againMask;
    DecodeBmpStream(&out, &again, 0, &againParams, writeProgress, false, false, againMask, false);
    Check(!writeFlag && again.Width() == bitmap.Width() && again.Height() == bitmap.Height());
  }
  return 0;
}
