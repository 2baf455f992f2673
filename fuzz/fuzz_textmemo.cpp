// Arbitrary bytes as a "PIXORAN TEXTMEMO" clipboard block: a block is either refused or decoded
// into as many records as units, every one read from inside the block; what decodes encodes back
// to the same leading bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vector/pxtextc_memo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::u16string text;
  TPXCharFormatList formats;
  if (!DecodeTextMemoBlock(Data, Size, text, formats)) return 0;
  if (formats.size() != text.size()) std::abort();
  for (const TPXCharFormat& f : formats) (void)f.Name();
  const std::vector<uint8_t> again = EncodeTextMemoBlock(text, formats);
  if (again.size() > Size || std::memcmp(again.data(), Data, again.size()) != 0) std::abort();
  return 0;
}
