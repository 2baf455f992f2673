// Arbitrary bytes as dictionary text: the parser never crashes or hangs, and whatever it
// accepted dumps to JSON that reads back to the same JSON.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/hypxutils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  TPXDictionary d;
  d.Parse(text);
  std::string json, xml;
  d.Dump(0, json);
  d.Dump(1, xml);
  TPXDictionary again;
  if (!again.Parse(json)) std::abort();
  std::string twice;
  again.Dump(0, twice);
  if (twice != json) std::abort();
  TPXDictionary fromXml;
  fromXml.Parse(xml);
  if (!d.IsEmpty()) {
    TPXStrStrEnumerator e;
    while (d.Next(e)) d.GetValue(e.Current->Key, true, true);
  }
  return 0;
}
