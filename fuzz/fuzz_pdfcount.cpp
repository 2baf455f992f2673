// Arbitrary bytes as a PDF file for its page count: the search ends, reads nothing outside the
// stream and restores the position.
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "io/pxxBitmaps_meta.h"
#include "platform/rtl/Classes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > (1u << 22)) return 0;
  TCustomMemoryStream s(Data, static_cast<int64_t>(Size));
  const int64_t start = Size > 0 ? Data[0] % (Size + 1) : 0;
  s.Seek(start, soBeginning);
  GetPdfPageCount(&s, "");
  Check(s.Position() == start, __LINE__);
  return 0;
}
