// The library's lists, integer set, byte buffer, index quicksort and name hash.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/hypxutils.h"
#include "tests/common/TestSupport.h"

namespace {

std::vector<int32_t> Items(const TPXIntegerList& l) {
  std::vector<int32_t> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.GetItem(i));
  return v;
}

TEST(Containers, ListGrowth) {
  struct Case {
    int32_t from, to, capacity;
  };
  for (const Case& c : {Case{4, 5, 8}, Case{8, 20, 20}, Case{0, 1, 1}, Case{3, 2, 3}}) {
    TPXIntegerList l;
    l.SetCount(c.from);
    ASSERT_EQ(l.Capacity(), c.from);
    l.SetFlags(0);
    l.SetCount(c.to);
    EXPECT_EQ(l.Capacity(), c.capacity) << c.from << " -> " << c.to;
    EXPECT_EQ(l.Count(), c.to);
    EXPECT_EQ(l.Flags() & 1, 1);
  }
  TPXIntegerList l;
  EXPECT_THROW(l.SetCount(-1), EListError);
}

TEST(Containers, ListDeleteAssignAndKeptValues) {
  TPXIntegerList l;
  for (int32_t v : {10, 20, 30}) l.Add(v);
  l.Values[2] = 7;
  l.Delete(0);
  l.Delete(5);  // ignored
  EXPECT_EQ(Items(l), (std::vector<int32_t>{20, 30}));
  EXPECT_EQ(l.Capacity(), 2);

  l.Add(40);
  TPXIntegerList copy;
  copy.Assign(&l);
  EXPECT_EQ(copy.Capacity(), 3);
  EXPECT_EQ(copy.Values[2], 7);
  copy.SetCount(5);  // exceeds the exact capacity of the copy
  EXPECT_EQ(copy.Capacity(), 6);
  EXPECT_EQ(copy.GetItem(2), 40);
  copy.SetItem(9, 1);  // past the end: ignored
  copy.SetItem(0, -1);
  EXPECT_EQ(copy.GetItem(0), -1);
  EXPECT_EQ(l.GetItem(0), 20);

  copy.Clear();
  EXPECT_EQ(copy.Count(), 0);
  EXPECT_EQ(copy.Values[2], 0);
  EXPECT_EQ(copy.ItemSize(), 4);

  TPXDoubleList d;
  EXPECT_THROW(copy.Assign(&d), EInvalidCast);

  TPXRecordList r(16);
  const int32_t rec[4] = {1, 2, 3, 4};
  EXPECT_EQ(r.Add(rec), 0);
  r.Add(r.GetItem(0));  // an item from the list's own block survives the growth
  EXPECT_EQ(static_cast<int32_t*>(r.GetItem(1))[3], 4);
}

TEST(Containers, WideStrings) {
  TPXWideStrings s;
  s.Add("a.jpg");
  s.Add("\xC3\xA9t\xC3\xA9.png");
  EXPECT_EQ(s.Count(), 2);
  EXPECT_EQ(s.GetString(1), "\xC3\xA9t\xC3\xA9.png");
  EXPECT_THROW(s.GetString(2), EListError);
  s.Clear();
  EXPECT_EQ(s.Count(), 0);
}

TEST(Containers, IntegerMap) {
  TPXIntegerMap m(0x40000);
  EXPECT_TRUE(m.Insert(5));
  EXPECT_FALSE(m.Insert(5));
  EXPECT_TRUE(m.Insert(-5));
  EXPECT_EQ(m.BucketOf(5), m.BucketOf(-5));
  EXPECT_EQ(m.BucketOf(0x3FFFF), 0);  // the last bucket is never used
  EXPECT_TRUE(m.Insert(INT32_MIN));
  EXPECT_FALSE(m.Insert(-5));
  EXPECT_EQ(m.Count(), 3);
  m.Clear();
  EXPECT_EQ(m.Count(), 0);
  EXPECT_TRUE(m.Insert(5));
  EXPECT_THROW(TPXIntegerMap(1), EPXException);
}

TEST(Containers, ByteArrayBlocks) {
  TPXByteArray a(16);
  EXPECT_EQ(a.Capacity(), 16);
  struct Step {
    int32_t size, capacity;
  };
  for (const Step& s : {Step{20, 36}, Step{25, 36}, Step{20, 36}, Step{19, 35}, Step{0, 16}}) {
    a.SetSize(s.size);
    EXPECT_EQ(a.Capacity(), s.capacity) << s.size;
    EXPECT_EQ(a.Size(), s.size);
  }
  a.AddByte(9);
  EXPECT_EQ(a.Data()[0], 9);

  TMemoryStream m;
  m.WriteBuffer("xyz", 3);
  m.SetPosition(1);
  EXPECT_EQ(a.AppendFromStream(&m, 10), 2);
  EXPECT_EQ(a.Size(), 3);
  EXPECT_EQ(a.Data()[2], 'z');
}

struct TSortData {
  std::vector<int32_t> v;
  int32_t compares = 0;
};

int32_t CompareInts(void* Data, int32_t I, int32_t J) {
  auto* d = static_cast<TSortData*>(Data);
  ++d->compares;
  return d->v[static_cast<size_t>(I)] < d->v[static_cast<size_t>(J)] ? -1
         : d->v[static_cast<size_t>(I)] > d->v[static_cast<size_t>(J)] ? 1 : 0;
}
void ExchangeInts(void* Data, int32_t I, int32_t J) {
  auto* d = static_cast<TSortData*>(Data);
  std::swap(d->v[static_cast<size_t>(I)], d->v[static_cast<size_t>(J)]);
}

TEST(Containers, IndexQuickSortSorts) {
  const std::vector<std::vector<int32_t>> cases = {
      {}, {1}, {2, 1}, {3, 3, 3, 3}, {5, 4, 3, 2, 1, 0}, {1, 9, 2, 8, 3, 7, 4, 6, 5, 5, 0, 9}};
  for (const auto& input : cases) {
    TSortData d{input};
    IndexQuickSort(static_cast<int32_t>(d.v.size()), ExchangeInts, &d, CompareInts, &d);
    std::vector<int32_t> expected = input;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(d.v, expected);
    if (input.size() <= 1) {
      EXPECT_EQ(d.compares, 0);
    }
  }
  RandSeed = 42;
  TSortData d;
  for (int i = 0; i < 5000; ++i) d.v.push_back(Random(100));
  std::vector<int32_t> expected = d.v;
  std::sort(expected.begin(), expected.end());
  IndexQuickSort(static_cast<int32_t>(d.v.size()), ExchangeInts, &d, CompareInts, &d);
  EXPECT_EQ(d.v, expected);
}

TEST(Containers, CopyListSharesPointers) {
  int a = 1, b = 2;
  TList src, dest;
  src.Add(&a);
  src.Add(&b);
  dest.Add(&b);
  dest.Add(&b);
  dest.Add(&b);
  CopyList(&src, &dest);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest[0], &a);
  EXPECT_EQ(dest[1], &b);
}

TEST(Containers, MurmurHash2WideIsBitExact) {
  // Values of an independent implementation of the stored hash.
  struct Case {
    const char* text;
    uint32_t hash;
  };
  for (const Case& c : {Case{"", 0x106e08d9u}, Case{"a", 0xa2d0b27cu}, Case{"ab", 0x12d8262au},
                        Case{"abc", 0x1c94221bu}, Case{"abcd", 0xc49daec6u}, Case{"abcdefg", 0x196f14aau},
                        Case{"C:\\Pictures\\h\xC3\xA9llo.jpg", 0x03abac6cu},
                        Case{"\xF0\x9F\x98\x80x", 0x1832b49fu}})
    EXPECT_EQ(MurmurHash2Wide(c.text, 0x9747B28Cu), c.hash) << c.text;
  EXPECT_EQ(MurmurHash2Wide(std::u16string(u"abcd"), 0x9747B28Cu), 0xc49daec6u);
}

}  // namespace
