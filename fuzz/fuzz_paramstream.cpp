// Arbitrary bytes as a parameters stream (with or without the magic, by the first byte): loading
// either succeeds or raises EReadError / EPXException, never reads outside the stream and never
// allocates for lengths the stream cannot hold; a failed load leaves the record as it was, and a
// loaded record saves and loads again.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/tiffilt.h"
#include "fuzz/FuzzSupport.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {
bool Same(TMemoryStream& A, TMemoryStream& B) {
  return A.Size() == B.Size() && std::memcmp(A.Memory(), B.Memory(), static_cast<size_t>(A.Size())) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterTiffEncoder(&EncodeTiffStream);
  RegisterTiffDecoder(&DecodeTiffStream);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1 || Size > (1u << 22)) return 0;
  TCustomMemoryStream s(Data + 1, static_cast<int64_t>(Size - 1));
  TIOParams p;
  p.FileName = "before";
  TMemoryStream before;
  p.SaveToStream(&before);
  bool failed = false;
  try {
    p.LoadFromStream(&s, Data[0] & 1);
  } catch (const EReadError&) {
    failed = true;
  } catch (const EPXException&) {
    failed = true;
  }
  if (failed) {
    TMemoryStream after;
    p.SaveToStream(&after);
    Check(Same(before, after), __LINE__);
  }
  TMemoryStream saved;
  p.SaveToStream(&saved);
  saved.Seek(0, soBeginning);
  TIOParams q;
  q.LoadFromStream(&saved, true);
  Check(saved.Position() == saved.Size(), __LINE__);
  return 0;
}
