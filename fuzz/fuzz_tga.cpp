// Arbitrary bytes as a Targa file, full and preview-only, with and without alpha: the reader
// never raises and never allocates past what the data can fill; a preview never touches the
// bitmap; a picture the reader accepts has its parameters' size, a mask of the same size, and
// writes back without an error.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "codecs/pxtgafil.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

// Aborts with the failing line, so that a crash names the broken promise.
void Check(bool Ok, int Line) {
  if (Ok) return;
  std::fprintf(stderr, "check failed at line %u\n", static_cast<unsigned>(Line));
  std::abort();
}

}  // namespace

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
    InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
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
    InitProgressRecord(nullptr, &writeFlag, writeProgress, TPXProgressEvent());
    EncodeTargaStream(&out, &bitmap, &params, writeProgress, mask.get());
    Check(!writeFlag && out.Size() > 18, __LINE__);
  }
  return 0;
}
