// Arbitrary bytes as a heap-structured camera raw file: the parser never raises, reads nothing
// outside the stream, ends quickly however the heaps nest or loop, and restores the position.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codecs/pxcodecs.h"
#include "codecs/pxraw.h"
#include "fuzz/FuzzCodecSupport.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

// Embedded JPEG pictures are decoded as the thumbnail.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterJpegCodec();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > (1u << 20)) return 0;
  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  const int64_t start = Size > 0 ? Data[0] % 3 : 0;
  stream.Seek(start, soBeginning);
  TIOParams params;
  try {
    ReadCiffParams(&stream, &params);
  } catch (...) {
    std::abort();
  }
  Check(stream.Position() == start, __LINE__);
  return 0;
}
