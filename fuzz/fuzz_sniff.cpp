// Arbitrary bytes through content sniffing and the stream-header probe, from the start and
// from an inner position: the position always comes back, a header's length always lies
// within the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/hypxutils_streams.h"
#include "io/pixoranio_sniff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TPXMemStream stream(Data, static_cast<int64_t>(Size));
  const int64_t starts[] = {0, Size > 0 ? static_cast<int64_t>(Data[0] % (Size + 1)) : 0};
  for (int64_t start : starts) {
    stream.Seek(start, soBeginning);
    const TPXFileType type = FindStreamFormat(&stream);
    if (stream.Position() != start || type < 0) std::abort();
    if (IsCameraRawHeader(&stream) && stream.Size() - start <= 16) std::abort();
    if (stream.Position() != start) std::abort();
    HasAviSignature(&stream);
    if (stream.Position() != start) std::abort();
    for (const char* kind : {"TIFF", "PCX2", "JFIF"}) {
      stream.Seek(start, soBeginning);
      int64_t length = -1;
      bool valid = false;
      if (ProbeStreamHeader(&stream, kind, length, valid)) {
        if (stream.Position() != start + 12) std::abort();
        if (valid && (length < 0 || length > stream.Size() - stream.Position())) std::abort();
      } else if (stream.Position() != start) {
        std::abort();
      }
    }
  }
  return 0;
}
