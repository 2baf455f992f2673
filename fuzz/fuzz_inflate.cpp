// Arbitrary bytes as zlib data, through the decompression stream and the one-shot inflater:
// both give the data, fewer bytes or a zlib error, never a crash or a hang, and agree on what
// a complete stream holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxzlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::vector<uint8_t> fromStream;
  bool streamOk = true;
  try {
    TPXMemStream source(Data, static_cast<int64_t>(Size));
    TZDecompressionStream z(&source);
    uint8_t buf[4096];
    for (;;) {
      const int32_t n = z.Read(buf, sizeof buf);
      if (n <= 0) break;
      fromStream.insert(fromStream.end(), buf, buf + n);
      if (fromStream.size() > (64u << 20)) break;
    }
  } catch (const EZDecompressionError&) {
    streamOk = false;
  }
  try {
    TBytes out;
    int32_t outSize = 0;
    ZDecompressBuffer(Data, static_cast<int32_t>(Size), out, outSize, 0);
    if (static_cast<size_t>(outSize) != out.size()) std::abort();
    if (streamOk && out != fromStream) std::abort();
  } catch (const EZDecompressionError&) {
  }
  return 0;
}
