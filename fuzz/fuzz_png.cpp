// Arbitrary bytes as a PNG, from the start and behind other data, plain and native, full and
// preview-only: the reader never raises; a preview never touches the bitmap; a picture the
// reader accepts has the size its parameters give and writes back without an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/pngfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  const int64_t start = Size > 8 ? Data[Size - 1] % 8 : 0;
  const bool native = Size > 0 && (Data[0] & 1);
  for (bool preview : {true, false}) {
    stream.Seek(start, soBeginning);
    Check(HasPngSignature(&stream) == HasPngSignature(&stream));
    Check(stream.Position() == start);
    TPXBitmap bitmap;
    TIOParams params;
    params.NativePixelFormat = native;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    try {
      DecodePngStream(&stream, &bitmap, &params, progress, preview);
    } catch (...) {
      std::abort();
    }
    if (preview) {
      Check(bitmap.Width() == 0);
      continue;
    }
    if (!flag) {
      Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
      TMemoryStream out;
      TPXAbortFlag writeFlag{false};
      TPXProgressRecord writeProgress;
      InitRecord(writeFlag, writeProgress);
      params.BitsPerSample = 8;
      params.SamplesPerPixel = 3;
      params.PNG_TextKeys.clear();
      EncodePngStream(&out, &bitmap, &params, writeProgress, nullptr);
      Check(!writeFlag && out.Size() > 8);
    }
  }
  return 0;
}
