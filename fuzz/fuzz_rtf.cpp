// Arbitrary bytes as RTF: the reader loads what it can without reading outside the data, and
// what it loaded writes out and reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/forms/RichTextDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view rtf(reinterpret_cast<const char*>(Data), Size);
  TRichDocument doc;
  if (!ReadRtf(rtf, doc)) return 0;
  const std::string again = WriteRtf(doc);
  TRichDocument back;
  if (!ReadRtf(again, back)) std::abort();
  if (back.PlainText() != doc.PlainText()) std::abort();
  return 0;
}
