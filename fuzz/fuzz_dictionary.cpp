// Arbitrary bytes as dictionary text: the parser never crashes or hangs; whatever it accepted
// (keys and values of any bytes) dumps to JSON that reads back to the same dictionary, and to
// XML that reads back with its keys and texts, where it is not nested deeper than the XML form
// can be read.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/hypxutils.h"

namespace {

// How deep dictionaries nest in D (lists of them count as one level).
int DictionaryDepth(const TObject* V) {
  int deepest = 0;
  if (const auto* d = dynamic_cast<const TPXDictionary*>(V)) {
    TPXStrStrEnumerator e;
    while (const_cast<TPXDictionary*>(d)->Next(e)) deepest = std::max(deepest, DictionaryDepth(e.Current->Value.get()));
    return deepest + 1;
  }
  if (const auto* list = dynamic_cast<const TObjectList*>(V))
    for (int32_t i = 0; i < list->Count(); ++i) deepest = std::max(deepest, DictionaryDepth(list->Items(i)));
  return deepest;
}

}  // namespace

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
  // An element nests its content two levels below itself, and the dictionary read back holds the
  // outermost elements one level below its top: D's levels come back as 2 * depth + 1 of the 200
  // the parser takes.
  TPXDictionary fromXml;
  if (!fromXml.Parse(xml) && !xml.empty() && 2 * DictionaryDepth(&d) + 1 <= 200) std::abort();
  if (!d.IsEmpty()) {
    TPXStrStrEnumerator e;
    while (d.Next(e)) d.GetValue(e.Current->Key, true, true);
  }
  return 0;
}
