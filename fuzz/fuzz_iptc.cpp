// Arbitrary bytes as an IPTC block (plain or Photoshop form): the reader never reads outside the
// block or allocates beyond it, and what it read writes and reads back to the same datasets.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "io/pxmarkers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > (1u << 24)) return 0;
  TPXIPTCInfoList l;
  const bool any = l.LoadFromBuffer(Data, static_cast<int32_t>(Size));
  if (any != (l.GetCount() > 0)) std::abort();
  int64_t total = 0;
  for (int32_t i = 0; i < l.GetCount(); ++i) total += l.GetItemLength(i);
  if (total > static_cast<int64_t>(Size)) std::abort();

  // A plain block whose first dataset has record 0x1C reads as a run of tag markers; such records
  // do not exist in IPTC, so the round trip is checked only without them.
  for (int32_t i = 0; i < l.GetCount(); ++i)
    if ((l.GetRecordNumber(i) & 0xFF) == 0x1C) return 0;
  for (bool photoshop : {false, true}) {
    std::vector<uint8_t> block;
    l.SaveToBuffer(block, photoshop);
    if (block.size() % 2 != 0) std::abort();
    TPXIPTCInfoList back;
    back.LoadFromBuffer(block.data(), static_cast<int32_t>(block.size()));
    // Items of length 0 and the record version are not written; the rest come back in order.
    int32_t j = 0;
    for (int32_t i = 0; i < l.GetCount(); ++i) {
      if (l.GetItemLength(i) == 0 || (l.GetRecordNumber(i) == 2 && l.GetDataSetNumber(i) == 0)) continue;
      while (j < back.GetCount() && back.GetRecordNumber(j) == 2 && back.GetDataSetNumber(j) == 0) ++j;
      if (j >= back.GetCount()) std::abort();
      if (back.GetRecordNumber(j) != (l.GetRecordNumber(i) & 0xFF) ||
          back.GetDataSetNumber(j) != (l.GetDataSetNumber(i) & 0xFF) ||
          back.GetItemLength(j) != l.GetItemLength(i) ||
          std::memcmp(back.GetItemData(j), l.GetItemData(i), static_cast<size_t>(l.GetItemLength(i))) != 0)
        std::abort();
      ++j;
    }
  }
  return 0;
}
