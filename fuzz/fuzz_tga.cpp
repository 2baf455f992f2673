// Arbitrary bytes as a Targa file, full and preview-only, with and without alpha: the reader
// never raises and never allocates past what the data can fill; a preview never touches the
// bitmap; a picture the reader accepts has its parameters' size, a mask of the same size, and
// writes back without an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "codecs/pxtgafil.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  Check(HasTargaSignature(&stream) == HasTargaSignature(&stream), __LINE__);
  Check(stream.Position() == 0, __LINE__);
  const bool ignoreAlpha = Size > 0 && (Data[Size - 1] & 1);
  for (bool preview : {true, false}) {
    stream.Seek(0, soBeginning);
    TPXBitmap bitmap;
    TIOParams params;
    std::unique_ptr<TPXMask> mask;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    try {
      DecodeTargaStream(&stream, &bitmap, &params, progress, preview, mask, ignoreAlpha);
    } catch (...) {
      std::abort();
    }
    if (preview) {
      Check(bitmap.Width() == 0 && !mask, __LINE__);
      continue;
    }
    if (flag) continue;
    Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height, __LINE__);
    Check(!mask || (mask->Width() == bitmap.Width() && mask->Height() == bitmap.Height() && !ignoreAlpha), __LINE__);
    TMemoryStream out;
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    EncodeTargaStream(&out, &bitmap, &params, writeProgress, mask.get());
    Check(!writeFlag && out.Size() > 18, __LINE__);
  }
  return 0;
}
