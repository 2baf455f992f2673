// Arbitrary bytes as a lossless JPEG frame, decoded into 8-bit and 16-bit buffers of a size taken
// from the data: the decoder never raises and never writes past the buffer (the sanitizers watch).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/pxdicom_ljpeg.h"
#include "fuzz/FuzzCodecSupport.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const size_t samples = Size > 0 ? size_t(Data[Size - 1]) * 97 : 0;
  for (bool wide : {false, true}) {
    TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
    std::vector<uint8_t> b8(wide ? 0 : samples);
    std::vector<uint16_t> b16(wide ? samples : 0);
    try {
      DecodeLosslessJpeg(&stream, wide ? b16.data() : nullptr, wide ? nullptr : b8.data(), int64_t(samples),
                         TPXProgressEvent(), nullptr, int64_t(Size));
    } catch (...) {
      std::abort();
    }
  }
  return 0;
}
