// Lists, the integer set, the byte buffer, the index quicksort and the string hash.
#include <algorithm>
#include <cstring>
#include <limits>

#include "core/hypxutils.h"

namespace {

// A block of Bytes bytes (not cleared); EOutOfMemory when it cannot be had. Zero bytes give nil.
TPXMallocPtr AllocItems(int64_t Bytes) {
  if (Bytes <= 0) return nullptr;
  if (static_cast<uint64_t>(Bytes) > std::numeric_limits<size_t>::max() / 2) throw EOutOfMemory("Out of memory");
  void* p = std::malloc(static_cast<size_t>(Bytes));
  if (!p) throw EOutOfMemory("Out of memory");
  return TPXMallocPtr(static_cast<uint8_t*>(p));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPXList

void TPXList::Realloc(int32_t NewCapacity, int32_t Keep) {
  TPXMallocPtr block = AllocItems(static_cast<int64_t>(NewCapacity) * FItemSize);
  if (Keep > 0) std::memcpy(block.get(), FData.get(), static_cast<size_t>(Keep) * static_cast<size_t>(FItemSize));
  FData = std::move(block);
  FCapacity = NewCapacity;
}

void TPXList::SetCount(int32_t N) {
  if (N < 0) throw EListError(Format("List count out of bounds (%d)", N));
  if (N > FCapacity) {
    const int64_t grown = std::max<int64_t>(2 * static_cast<int64_t>(FCapacity), N);
    Realloc(static_cast<int32_t>(std::min<int64_t>(grown, std::numeric_limits<int32_t>::max())), std::min(FCount, N));
  }
  FCount = N;
  FFlags |= 1;
}

void TPXList::Delete(int32_t Index) {
  if (Index < 0 || Index >= FCount) return;
  TPXMallocPtr block = AllocItems(static_cast<int64_t>(FCount - 1) * FItemSize);
  const auto size = static_cast<size_t>(FItemSize);
  if (Index > 0) std::memcpy(block.get(), FData.get(), static_cast<size_t>(Index) * size);
  if (Index < FCount - 1)
    std::memcpy(block.get() + Index * size, FData.get() + (Index + 1) * size,
                static_cast<size_t>(FCount - 1 - Index) * size);
  FData = std::move(block);
  --FCount;
  FCapacity = FCount;
  FFlags |= 1;
}

void TPXList::Clear() {
  FCapacity = 0;
  FCount = 0;
  FData.reset();
  FFlags = 0;
}

void TPXList::Assign(const TPXList* Source) {
  if (!Source || Source == this) return;
  TPXMallocPtr block = AllocItems(static_cast<int64_t>(Source->FCount) * Source->FItemSize);
  if (block) std::memcpy(block.get(), Source->FData.get(), static_cast<size_t>(Source->FCount) * Source->FItemSize);
  FData = std::move(block);
  FCount = Source->FCount;
  FItemSize = Source->FItemSize;
  FFlags = Source->FFlags;
  FCapacity = FCount;
}

int32_t TPXList::AddItem(const void* Item) {
  // The item may lie inside our own block, which growing frees.
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(Item), static_cast<const uint8_t*>(Item) + FItemSize);
  SetCount(FCount + 1);
  std::memcpy(GetItemPtr(FCount - 1), copy.data(), copy.size());
  FFlags |= 1;
  return FCount - 1;
}

void TPXList::SetItem(int32_t Index, const void* Item) {
  if (Index >= 0 && Index < FCount) std::memmove(GetItemPtr(Index), Item, static_cast<size_t>(FItemSize));
  FFlags |= 1;
}

namespace {

template <class T>
const T& SameVariant(const TPXList* Source) {
  const auto* s = dynamic_cast<const T*>(Source);
  if (!s) throw EInvalidCast("Invalid class typecast");
  return *s;
}

}  // namespace

void TPXIntegerList::Clear() {
  TPXList::Clear();
  FItemSize = 4;
  std::fill(std::begin(Values), std::end(Values), 0);
}

void TPXIntegerList::Assign(const TPXList* Source) {
  if (!Source) return;
  const auto& s = SameVariant<TPXIntegerList>(Source);
  TPXList::Assign(Source);
  std::copy(std::begin(s.Values), std::end(s.Values), Values);
}

int32_t TPXIntegerList::GetItem(int32_t Index) const {
  int32_t v = 0;
  std::memcpy(&v, GetItemPtr(Index), sizeof v);
  return v;
}

void TPXIntegerList::SetItem(int32_t Index, int32_t Value) {
  if (Index >= 0 && Index < Count()) TPXList::SetItem(Index, &Value);
}

void TPXDoubleList::Clear() {
  TPXList::Clear();
  FItemSize = 8;
  std::fill(std::begin(DoubleValues), std::end(DoubleValues), 0.0);
  std::fill(std::begin(IntValues), std::end(IntValues), 0);
}

void TPXDoubleList::Assign(const TPXList* Source) {
  if (!Source) return;
  const auto& s = SameVariant<TPXDoubleList>(Source);
  TPXList::Assign(Source);
  std::copy(std::begin(s.DoubleValues), std::end(s.DoubleValues), DoubleValues);
  std::copy(std::begin(s.IntValues), std::end(s.IntValues), IntValues);
}

double TPXDoubleList::GetItem(int32_t Index) const {
  double v = 0;
  std::memcpy(&v, GetItemPtr(Index), sizeof v);
  return v;
}

void TPXRecordList::Assign(const TPXList* Source) {
  if (!Source) return;
  SameVariant<TPXRecordList>(Source);
  TPXList::Assign(Source);
}

// ---------------------------------------------------------------------------------------------
// TPXWideStrings

std::string TPXWideStrings::GetString(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", Index));
  return FItems[static_cast<size_t>(Index)];
}

// ---------------------------------------------------------------------------------------------
// TPXIntegerMap

TPXIntegerMap::TPXIntegerMap(int32_t BucketCount) {
  if (BucketCount < 2) throw EPXException("Invalid bucket count");
  FHeads.assign(static_cast<size_t>(BucketCount), -1);
}

int32_t TPXIntegerMap::BucketOf(int32_t Key) const {
  const int32_t r = Key % (static_cast<int32_t>(FHeads.size()) - 1);
  return r < 0 ? -r : r;
}

bool TPXIntegerMap::Insert(int32_t Key) {
  int32_t& head = FHeads[static_cast<size_t>(BucketOf(Key))];
  for (int32_t i = head; i >= 0; i = FItems[static_cast<size_t>(i)].Next)
    if (FItems[static_cast<size_t>(i)].Key == Key) return false;
  FItems.push_back({Key, head});
  head = static_cast<int32_t>(FItems.size() - 1);
  ++FCount;
  return true;
}

void TPXIntegerMap::Clear() {
  std::fill(FHeads.begin(), FHeads.end(), -1);
  FItems.clear();
  FCount = 0;
}

// ---------------------------------------------------------------------------------------------
// TPXByteArray

TPXByteArray::TPXByteArray(int32_t BlockSize) : FBlockSize(std::max<int32_t>(BlockSize, 0)) {
  Realloc(FBlockSize, 0);
}

void TPXByteArray::Realloc(int32_t NewCapacity, int32_t Keep) {
  TPXMallocPtr block = AllocItems(NewCapacity);
  if (Keep > 0) std::memcpy(block.get(), FData.get(), static_cast<size_t>(Keep));
  FData = std::move(block);
  FCapacity = NewCapacity;
}

void TPXByteArray::SetSize(int32_t N) {
  if (N < 0) N = 0;
  const int64_t wanted = static_cast<int64_t>(N) + FBlockSize;
  if (wanted > std::numeric_limits<int32_t>::max()) throw EOutOfMemory("Out of memory");
  if (N > FCapacity)
    Realloc(static_cast<int32_t>(wanted), FSize);
  else if (N < FSize && N < FCapacity - FBlockSize)
    Realloc(static_cast<int32_t>(wanted), N);
  FSize = N;
}

void TPXByteArray::AddByte(uint8_t B) {
  SetSize(FSize + 1);
  FData.get()[FSize - 1] = B;
}

int32_t TPXByteArray::AppendFromStream(TStream* Stream, int32_t Count) {
  if (Count <= 0) return 0;
  const int32_t old = FSize;
  SetSize(old + Count);
  const int32_t got = std::max<int32_t>(Stream->Read(FData.get() + old, Count), 0);
  SetSize(old + got);
  return got;
}

// ---------------------------------------------------------------------------------------------
// IndexQuickSort, CopyList, MurmurHash2Wide

namespace {

void SortRange(int32_t L, int32_t R, TPXIndexExchange Exchange, void* ExchangeData, TPXIndexCompare Compare,
               void* CompareData) {
  do {
    int32_t I = L, J = R, P = L + (R - L) / 2;
    do {
      // The bounds only matter for a comparator that is not consistent.
      while (I < R && Compare(CompareData, I, P) < 0) ++I;
      while (J > L && Compare(CompareData, J, P) > 0) --J;
      if (I <= J) {
        if (I == P)
          P = J;
        else if (J == P)
          P = I;
        Exchange(ExchangeData, I, J);
        ++I;
        --J;
      }
    } while (I <= J);
    if (L < J) SortRange(L, J, Exchange, ExchangeData, Compare, CompareData);
    L = I;
  } while (L < R);
}

}  // namespace

void IndexQuickSort(int32_t Count, TPXIndexExchange Exchange, void* ExchangeData, TPXIndexCompare Compare,
                    void* CompareData) {
  if (Count <= 1) return;
  SortRange(0, Count - 1, Exchange, ExchangeData, Compare, CompareData);
}

void CopyList(const TList* Source, TList* Dest) {
  Dest->SetCount(Source->Count());
  for (int32_t i = 0; i < Source->Count(); ++i) Dest->Put(i, Source->Get(i));
}

uint32_t MurmurHash2Wide(std::u16string_view S, uint32_t Seed) {
  constexpr uint32_t M = 0x5BD1E995u;
  size_t n = S.size();
  uint32_t h = Seed ^ static_cast<uint32_t>(n);
  size_t k = 0;
  // Each step consumes four code units and mixes the first two of them.
  while (n >= 4) {
    uint32_t w = static_cast<uint32_t>(S[k]) | (static_cast<uint32_t>(S[k + 1]) << 16);
    w *= M;
    w ^= w >> 24;
    w *= M;
    h = (h * M) ^ w;
    k += 4;
    n -= 4;
  }
  if (n == 3) h ^= static_cast<uint32_t>(S[k + 2]) << 16;
  if (n >= 2) h ^= static_cast<uint32_t>(S[k + 1]) << 8;
  if (n >= 1) h = (h ^ static_cast<uint32_t>(S[k])) * M;
  h ^= h >> 13;
  h *= M;
  h ^= h >> 15;
  return h;
}

uint32_t MurmurHash2Wide(std::string_view S, uint32_t Seed) { return MurmurHash2Wide(Utf8ToUtf16(S), Seed); }
