// Arbitrary bytes as the DICOM tag list's stream form: loading either succeeds or raises
// EReadError and leaves the list unchanged; a loaded list saves, loads and saves again to the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/FuzzSupport.h"
#include "io/pxxBitmaps_meta.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {
bool Same(TMemoryStream& A, TMemoryStream& B) {
  return A.Size() == B.Size() && std::memcmp(A.Memory(), B.Memory(), static_cast<size_t>(A.Size())) == 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > (1u << 22)) return 0;
  TCustomMemoryStream s(Data, static_cast<int64_t>(Size));
  TPXDicomTags t;
  t.AddTag(0x0008, 0x0060, nullptr, 2, "MR", 3);
  try {
    t.LoadFromStream(&s);
  } catch (const EReadError&) {
    Check(t.GetCount() == 1, __LINE__);
    return 0;
  }
  for (int32_t i = 0; i < t.GetCount(); ++i) t.GetTagText(i);
  TMemoryStream first;
  t.SaveToStream(&first);
  first.Seek(0, soBeginning);
  TPXDicomTags back;
  back.LoadFromStream(&first);
  TMemoryStream second;
  back.SaveToStream(&second);
  Check(Same(first, second), __LINE__);
  return 0;
}
