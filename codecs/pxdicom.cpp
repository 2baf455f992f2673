#include "codecs/pxdicom.h"

#include <algorithm>
#include <iterator>

#include "io/pxxBitmaps_meta.h"

namespace {

constexpr TPXDicomDictEntry kDictionary[] = {
#include "codecs/pxdicom_dict.inc"
};

bool Before(const TPXDicomDictEntry& A, uint32_t Key) { return ((uint32_t(A.Group) << 16) | A.Element) < Key; }

}  // namespace

int32_t FindDicomDictIndex(uint16_t Group, uint16_t Element) {
  const uint32_t key = (uint32_t(Group) << 16) | Element;
  const auto* end = std::end(kDictionary);
  const auto* at = std::lower_bound(std::begin(kDictionary), end, key, Before);
  if (at == end || at->Group != Group || at->Element != Element) return -1;
  return static_cast<int32_t>(at - std::begin(kDictionary));
}

const TPXDicomDictEntry* FindDicomDictEntry(uint16_t Group, uint16_t Element) {
  const int32_t i = FindDicomDictIndex(Group, Element);
  return i < 0 ? nullptr : &kDictionary[i];
}

int32_t DicomDictCount() { return static_cast<int32_t>(std::size(kDictionary)); }

const TPXDicomDictEntry* DicomDictRow(int32_t Index) {
  return Index >= 0 && Index < DicomDictCount() ? &kDictionary[Index] : nullptr;
}

void RegisterDicomDictionary() {
  SetDicomDictionaryLookup([](uint16_t Group, uint16_t Element) -> int32_t {
    const TPXDicomDictEntry* e = FindDicomDictEntry(Group, Element);
    return e ? e->VR : -1;
  });
}
