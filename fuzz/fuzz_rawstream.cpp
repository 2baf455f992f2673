// Arbitrary bytes as a raw bitmap stream, from a memory block and from a stream: a refused
// stream leaves an empty bitmap; an accepted one writes back a stream that reads again to the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/pxxBitmaps.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TPXBitmap fromBuffer;
  const bool ok = fromBuffer.LoadRawFromStream(Data, static_cast<int64_t>(Size), nullptr);
  if (!ok && fromBuffer.Width() != 0 && Size >= 16) std::abort();

  TCustomMemoryStream stream(Data, static_cast<int64_t>(Size));
  TPXBitmap fromStream;
  if (fromStream.LoadRawFromStream(nullptr, 0, &stream) != ok) std::abort();

  if (ok) {
    std::string out(static_cast<size_t>(fromBuffer.RawStreamSize()), '\0');
    fromBuffer.SaveRawToStream(out.data(), nullptr, false);
    TPXBitmap again;
    if (!again.LoadRawFromStream(out.data(), static_cast<int64_t>(out.size()), nullptr)) std::abort();
    std::string twice(static_cast<size_t>(again.RawStreamSize()), '\0');
    again.SaveRawToStream(twice.data(), nullptr, false);
    if (twice != out) std::abort();
  }
  return 0;
}
