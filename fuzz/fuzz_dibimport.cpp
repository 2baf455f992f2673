// Arbitrary bytes as a packed DIB, whole and with its rows apart from the header, into a bitmap
// and into a DIB section: a refused block answers 0 and leaves the bitmap empty and the section
// unallocated; an accepted one gives a picture of the header's size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/pxxBitmaps.h"
#include "fuzz/FuzzSupport.h"
#include "proc/pixoranproc_dib.h"

namespace {

int32_t HeaderWidth(const std::vector<uint8_t>& D) {
  return D.size() >= 8 ? static_cast<int32_t>(D[4] | D[5] << 8 | D[6] << 16 | static_cast<uint32_t>(D[7]) << 24) : 0;
}

void Run(const std::vector<uint8_t>& Header, const std::vector<uint8_t>& Bits, bool Apart) {
  const std::span<const uint8_t> bits = Apart ? std::span<const uint8_t>(Bits) : std::span<const uint8_t>();
  TPXBitmap bitmap;
  const int32_t count = CopyDIBToBitmap(Header.data(), &bitmap, bits, true, Header.size());
  if (count == 0) Check(bitmap.IsEmpty(), __LINE__);
  else if (!bitmap.IsEmpty()) Check(bitmap.Width() == HeaderWidth(Header), __LINE__);
  TPXDibbitmap section;
  const int32_t again = CopyDIBToDibBitmap(Header.data(), &section, bits, true, Header.size());
  Check(again == count, __LINE__);
  if (again == 0) Check(section.FBits == nullptr, __LINE__);
  else Check(section.FWidth == bitmap.Width() && section.FHeight == bitmap.Height(), __LINE__);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  // The first byte splits the rest: 0 keeps it whole, else the header part is that many bytes
  // past 40 and the rows follow apart. Exact-size copies let the sanitizer see any overread.
  const size_t split = Data[0] == 0 ? Size - 1 : std::min<size_t>(Size - 1, 40 + Data[0]);
  std::vector<uint8_t> header(Data + 1, Data + 1 + split);
  std::vector<uint8_t> bits(Data + 1 + split, Data + Size);
  Run(header, bits, Data[0] != 0);
  return 0;
}
