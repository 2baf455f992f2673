// Arbitrary bytes behind a JP2 or code-stream start, read through our OpenJPEG glue (header only
// and in full): the reader never raises, a decoded picture has the parameters' size and writes
// back as a code stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codecs/pxj2000.h"
#include "core/pxxBitmaps.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  // Most inputs get the code-stream start so the decoder goes past the signature.
  std::string bytes;
  if (Size > 0 && (Data[0] & 1)) bytes.assign("\xFF\x4F\xFF\x51", 4);
  bytes.append(reinterpret_cast<const char*>(Data), Size);
  TCustomMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  Check(HasJp2Signature(&stream) == HasJp2Signature(&stream) && stream.Position() == 0, __LINE__);
  Check(HasJ2kSignature(&stream) == HasJ2kSignature(&stream) && stream.Position() == 0, __LINE__);
  for (bool preview : {true, false}) {
    stream.Seek(0, soBeginning);
    TPXBitmap bitmap;
    TIOParams params;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitRecord(flag, progress);
    try {
      DecodeJpeg2000Stream(&stream, &bitmap, &params, preview, progress);
    } catch (...) {
      std::abort();
    }
    if (preview) {
      Check(bitmap.Width() == 0, __LINE__);
      continue;
    }
    if (flag || bitmap.IsEmpty()) continue;
    Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height, __LINE__);
    if (int64_t(bitmap.Width()) * bitmap.Height() > 65536) continue;
    TMemoryStream out;
    TPXAbortFlag writeFlag{false};
    TPXProgressRecord writeProgress;
    InitRecord(writeFlag, writeProgress);
    EncodeJpeg2000Stream(&out, &bitmap, &params, 1, writeProgress);
    Check(!writeFlag && out.Size() > 4, __LINE__);
  }
  return 0;
}
