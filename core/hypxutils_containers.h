// The library's small containers: a growable array of fixed-size items with integer, double and
// record variants, a list of strings, a hash set of integers, a growable byte buffer, a quicksort
// over any indexed collection and a 32-bit string hash.
// Part of the utilities unit; include core/hypxutils.h. Definitions: hypxutils_containers.cpp.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

// A heap block of plain bytes (malloc'ed; freed with free).
struct TPXFreeDeleter {
  void operator()(void* P) const { std::free(P); }
};
using TPXMallocPtr = std::unique_ptr<uint8_t, TPXFreeDeleter>;

// A growable array of items of one fixed size. Growing doubles the capacity (or takes the new
// count when that is more); the list never shrinks on a smaller count. Bit 0 of Flags is set by
// every change. Out of memory raises EOutOfMemory.
class TPXList : public TObject {
 public:
  ~TPXList() override = default;

  int32_t Capacity() const { return FCapacity; }
  int32_t Count() const { return FCount; }
  int32_t ItemSize() const { return FItemSize; }
  uint8_t* Data() const { return FData.get(); }
  uint8_t Flags() const { return FFlags; }
  void SetFlags(uint8_t Value) { FFlags = Value; }

  // A negative count raises EListError.
  virtual void SetCount(int32_t N);
  // Removes item Index into a block of exactly the remaining items; ignored outside the list.
  virtual void Delete(int32_t Index);
  // Count, capacity and flags 0, the block freed.
  virtual void Clear();
  // A copy of Source's items in a block of exactly their count; nil is ignored. The variants
  // copy their kept values too and raise EInvalidCast for a source of another variant.
  virtual void Assign(const TPXList* Source);

  // Appends a copy of ItemSize bytes from Item; returns its index.
  int32_t AddItem(const void* Item);
  // Address of item Index; callers pass an index below the count.
  uint8_t* GetItemPtr(int32_t Index) const { return FData.get() + static_cast<int64_t>(Index) * FItemSize; }
  // Copies the item in when Index is inside the list.
  void SetItem(int32_t Index, const void* Item);

 protected:
  explicit TPXList(int32_t ItemSize) : FItemSize(ItemSize) {}
  int32_t FItemSize;

 private:
  void Realloc(int32_t NewCapacity, int32_t Keep);
  int32_t FCapacity = 0;
  int32_t FCount = 0;
  TPXMallocPtr FData;
  uint8_t FFlags = 0;
};

// Items of 4 bytes, with four int32 values kept beside them for their user.
class TPXIntegerList : public TPXList {
 public:
  TPXIntegerList() : TPXList(4) {}
  void Clear() override;
  void Assign(const TPXList* Source) override;
  int32_t Add(int32_t Value) { return AddItem(&Value); }
  int32_t GetItem(int32_t Index) const;
  // Ignored at or past the end.
  void SetItem(int32_t Index, int32_t Value);
  int32_t Values[4] = {};
};

// Items of 8 bytes, with three doubles and two int32 values kept beside them for their user.
class TPXDoubleList : public TPXList {
 public:
  TPXDoubleList() : TPXList(8) {}
  void Clear() override;
  void Assign(const TPXList* Source) override;
  int32_t Add(double Value) { return AddItem(&Value); }
  double GetItem(int32_t Index) const;
  double DoubleValues[3] = {};
  int32_t IntValues[2] = {};
};

// Items of a record size given at creation.
class TPXRecordList : public TPXList {
 public:
  explicit TPXRecordList(int32_t RecordSize) : TPXList(RecordSize > 0 ? RecordSize : 1) {}
  void Assign(const TPXList* Source) override;
  void* GetItem(int32_t Index) const { return GetItemPtr(Index); }
  int32_t Add(const void* Item) { return AddItem(Item); }
};

// A list of string copies (the open dialog's selected names).
class TPXWideStrings : public TObject {
 public:
  void Clear() { FItems.clear(); }
  void Add(std::string_view S) { FItems.emplace_back(S); }
  // A copy of item Index; EListError outside the list.
  std::string GetString(int32_t Index) const;
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

 private:
  std::vector<std::string> FItems;
};

// A hash set of int32 keys in BucketCount chains; the bucket of a key is
// |Key mod (BucketCount - 1)|, so the last bucket stays unused. A bucket count below 2 raises
// EPXException.
class TPXIntegerMap : public TObject {
 public:
  explicit TPXIntegerMap(int32_t BucketCount);
  // True when the key was new (it is then added at the head of its chain).
  bool Insert(int32_t Key);
  void Clear();
  int32_t Count() const { return FCount; }
  int32_t BucketCount() const { return static_cast<int32_t>(FHeads.size()); }
  int32_t BucketOf(int32_t Key) const;

 private:
  struct TItem {
    int32_t Key;
    int32_t Next;  // index into FItems, -1 ends the chain
  };
  std::vector<int32_t> FHeads;  // per bucket the first item, -1 when empty
  std::vector<TItem> FItems;
  int32_t FCount = 0;
};

// A growable byte buffer that grows to exactly the need plus BlockSize and shrinks only when
// more than BlockSize bytes would lie unused.
class TPXByteArray : public TObject {
 public:
  explicit TPXByteArray(int32_t BlockSize);
  void SetSize(int32_t N);
  void AddByte(uint8_t B);
  // Grows by Count, reads up to Count bytes from Stream into the new tail, shrinks back by
  // what was not read; returns the number read.
  int32_t AppendFromStream(TStream* Stream, int32_t Count);
  int32_t Size() const { return FSize; }
  int32_t Capacity() const { return FCapacity; }
  int32_t BlockSize() const { return FBlockSize; }
  uint8_t* Data() const { return FData.get(); }

 private:
  void Realloc(int32_t NewCapacity, int32_t Keep);
  int32_t FSize = 0;
  int32_t FCapacity = 0;
  int32_t FBlockSize;
  TPXMallocPtr FData;
};

// Callbacks of IndexQuickSort: Compare gives <0, 0 or >0 for items I and J; Exchange swaps them.
using TPXIndexCompare = int32_t (*)(void* Data, int32_t I, int32_t J);
using TPXIndexExchange = void (*)(void* Data, int32_t I, int32_t J);
// Sorts items 0..Count-1 of any collection through the two callbacks (not stable).
void IndexQuickSort(int32_t Count, TPXIndexExchange Exchange, void* ExchangeData, TPXIndexCompare Compare,
                    void* CompareData);

// Dest gets Source's count and the same pointers.
void CopyList(const TList* Source, TList* Dest);

// The image cache's 32-bit hash of a name, over its UTF-16 code units (bit-exact: cache files
// store it).
uint32_t MurmurHash2Wide(std::string_view S, uint32_t Seed);
uint32_t MurmurHash2Wide(std::u16string_view S, uint32_t Seed);
