// Arbitrary bytes as the stream form of the JPEG marker list (first byte even) or of the IPTC
// list (odd): loading ends without reading past the stream or allocating for lengths it cannot
// hold, and what was read saves and loads back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "io/pxmarkers.h"
#include "platform/rtl/Classes_streams.h"

namespace {

bool SameStreams(TMemoryStream& A, TMemoryStream& B) {
  return A.Size() == B.Size() &&
         (A.Size() == 0 || std::memcmp(A.Memory(), B.Memory(), static_cast<size_t>(A.Size())) == 0);
}

template <typename L>
void RoundTrip(const L& List) {
  TMemoryStream first;
  List.SaveToStream(&first);
  first.SetPosition(0);
  L back;
  if (!back.LoadFromStream(&first)) std::abort();
  TMemoryStream second;
  back.SaveToStream(&second);
  if (!SameStreams(first, second)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1 || Size > (1u << 24)) return 0;
  TCustomMemoryStream s(Data + 1, static_cast<int64_t>(Size - 1));
  if (Data[0] % 2 == 0) {
    TPXMarkerList l;
    l.LoadFromStream(&s);
    for (int32_t i = 0; i < l.GetCount(); ++i)
      if (l.GetMarkerLength(i) > PXMaxMarkerDataLength) std::abort();
    RoundTrip(l);
  } else {
    TPXIPTCInfoList l;
    l.LoadFromStream(&s);
    RoundTrip(l);
  }
  return 0;
}
