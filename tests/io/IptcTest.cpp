// IPTC datasets: the plain and Photoshop block forms byte for byte, reading them back, the
// change flag, the stream form, and hostile blocks and streams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/pxmarkers.h"
#include "platform/rtl/Classes_streams.h"

namespace {

std::vector<uint8_t> Block(const TPXIPTCInfoList& L, bool Photoshop) {
  std::vector<uint8_t> b;
  L.SaveToBuffer(b, Photoshop);
  return b;
}

std::string ItemText(const TPXIPTCInfoList& L, int32_t I) {
  const uint8_t* p = L.GetItemData(I);
  return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(L.GetItemLength(I))) : std::string();
}

uint32_t BigEndian32(const uint8_t* P) { return uint32_t(P[0]) << 24 | P[1] << 16 | P[2] << 8 | P[3]; }

}  // namespace

TEST(IptcBlock, PlainFormStartsWithRecordVersionAndSkipsEmptyItems) {
  TPXIPTCInfoList l;
  l.AddItem(2, 0, 2, "\0\4");  // the record version is written by the block itself
  l.AddItem(2, 5, 0, nullptr);
  l.AddItem(2, 120, 3, "abc");
  const auto b = Block(l, false);
  const std::vector<uint8_t> want = {0x1C, 2, 0, 0, 2, 0, 2, 0x1C, 2, 120, 0, 3, 'a', 'b', 'c', 0};
  EXPECT_EQ(b, want);

  TPXIPTCInfoList back;
  EXPECT_TRUE(back.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  ASSERT_EQ(back.GetCount(), 2);  // the record version and the caption
  EXPECT_EQ(back.GetRecordNumber(1), 2);
  EXPECT_EQ(back.GetDataSetNumber(1), 120);
  EXPECT_EQ(ItemText(back, 1), "abc");
  EXPECT_FALSE(back.UserChanged());
}

TEST(IptcBlock, LongDatasetUsesTheFourByteLength) {
  std::vector<uint8_t> data(40000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  TPXIPTCInfoList l;
  l.AddItem(2, 202, 40000, data.data());
  const auto b = Block(l, false);
  ASSERT_EQ(b.size(), 7u + 9u + 40000u);
  const std::vector<uint8_t> head(b.begin() + 7, b.begin() + 16);
  EXPECT_EQ(head, (std::vector<uint8_t>{0x1C, 2, 202, 0x80, 0x04, 0x00, 0x00, 0x9C, 0x40}));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), b.begin() + 16));

  TPXIPTCInfoList back;
  ASSERT_TRUE(back.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  const int32_t i = back.IndexOf(2, 202);
  ASSERT_GE(i, 0);
  ASSERT_EQ(back.GetItemLength(i), 40000);
  EXPECT_EQ(std::memcmp(back.GetItemData(i), data.data(), 40000), 0);
}

TEST(IptcBlock, PhotoshopFormHeaderSizeAndPadding) {
  TPXIPTCInfoList l;
  l.AddItem(2, 25, 100, std::string(100, 'k').data());  // 105 bytes
  l.AddItem(2, 120, 191, std::string(191, 'c').data());  // 196 bytes: 301 in all
  const auto b = Block(l, true);
  ASSERT_EQ(b.size(), 328u);
  EXPECT_EQ(std::memcmp(b.data(), "Photoshop 3.0\0" "8BIM\x04\x04\0\0", 22), 0);
  EXPECT_EQ(BigEndian32(b.data() + 22), 301u);
  EXPECT_EQ(b[26], 0x1C);
  EXPECT_EQ(b.back(), 0);

  TPXIPTCInfoList back;
  ASSERT_TRUE(back.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(ItemText(back, 0), std::string(100, 'k'));
  EXPECT_EQ(ItemText(back, 1), std::string(191, 'c'));
}

TEST(IptcBlock, PhotoshopWithoutIptcResourceReadsNothing) {
  std::string b("Photoshop 3.0\0" "8BIM\x03\xED\0\0\0\0\0\x10", 26);
  b += std::string("\0\x48\0\0\0\1\0\1\0\x48\0\0\0\1\0\1", 16);
  b += std::string("\x1C\x02\x05\0\x02hi", 7);  // a dataset outside any IPTC resource
  TPXIPTCInfoList l;
  EXPECT_FALSE(l.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  EXPECT_EQ(l.GetCount(), 0);
}

// The IPTC resource may follow other resources inside the marker.
TEST(IptcBlock, PhotoshopIptcResourceAfterAnother) {
  std::string b("Photoshop 3.0\0" "8BIM\x03\xED\0\0\0\0\0\x04" "abcd", 30);
  b += std::string("8BIM\x04\x04\0\0\0\0\0\x07" "\x1C\x02\x05\0\x02hi\0", 20);
  TPXIPTCInfoList l;
  ASSERT_TRUE(l.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  ASSERT_EQ(l.GetCount(), 1);
  EXPECT_EQ(ItemText(l, 0), "hi");
}

// The resource's size field can hold the byte 0x1C (here 0x00001C05 = 7173 dataset bytes). Taking
// the first 0x1C after "8BIM" 04 04 as a dataset would read a 7170-byte dataset out of the size
// field and the real data; the reader steps over the name and size.
TEST(IptcBlock, SizeFieldHoldingTheTagMarkerIsNotADataset) {
  TPXIPTCInfoList l;
  l.AddItem(2, 120, 7168, std::string(7168, 'z').data());
  const auto b = Block(l, true);
  ASSERT_EQ(std::vector<uint8_t>(b.begin() + 22, b.begin() + 26), (std::vector<uint8_t>{0, 0, 0x1C, 0x05}));
  TPXIPTCInfoList back;
  ASSERT_TRUE(back.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  ASSERT_EQ(back.GetCount(), 1);
  EXPECT_EQ(back.GetRecordNumber(0), 2);
  EXPECT_EQ(back.GetDataSetNumber(0), 120);
  EXPECT_EQ(back.GetItemLength(0), 7168);
}

// A long length of 0x80000000 must not pass the bound as a negative number.
TEST(IptcBlock, HugeLongLengthEndsTheParse) {
  const std::vector<uint8_t> b = {0x1C, 2, 5, 0, 2, 'o', 'k', 0x1C, 2, 120, 0x80, 0x04, 0x80, 0, 0, 0, 'x', 'y'};
  TPXIPTCInfoList l;
  EXPECT_TRUE(l.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size())));
  ASSERT_EQ(l.GetCount(), 1);
  EXPECT_EQ(ItemText(l, 0), "ok");
  const std::vector<uint8_t> all1 = {0x1C, 2, 5, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3};
  EXPECT_FALSE(l.LoadFromBuffer(all1.data(), static_cast<int32_t>(all1.size())));
}

TEST(IptcBlock, MalformedBlocksKeepWhatWasRead) {
  TPXIPTCInfoList src;
  src.AddItem(2, 5, 5, "title");
  src.AddItem(2, 25, 3, "key");
  src.AddItem(2, 120, 40000, std::string(40000, 'q').data());
  for (bool ps : {false, true}) {
    const auto b = Block(src, ps);
    // Every truncation reads a prefix of the datasets and never more than the block holds.
    for (size_t n = 0; n <= b.size(); n += (n < 80 ? 1 : 997)) {
      TPXIPTCInfoList l;
      l.LoadFromBuffer(b.data(), static_cast<int32_t>(n));
      ASSERT_LE(l.GetCount(), 4) << n;
      for (int32_t i = 0; i < l.GetCount(); ++i) ASSERT_LE(l.GetItemLength(i), 40000) << n;
    }
  }
  TPXIPTCInfoList l;
  EXPECT_FALSE(l.LoadFromBuffer("no datasets here", 16));
  EXPECT_EQ(l.GetCount(), 0);
  EXPECT_FALSE(l.LoadFromBuffer("x", 0));
  EXPECT_TRUE(l.UserChanged());  // a zero length clears and leaves the flag set
}

TEST(IptcList, UserChangedTracksChangesSinceTheRead) {
  TPXIPTCInfoList l;
  EXPECT_FALSE(l.UserChanged());
  l.AddItem(2, 5, 1, "a");
  EXPECT_TRUE(l.UserChanged());
  const auto b = Block(l, false);
  l.LoadFromBuffer(b.data(), static_cast<int32_t>(b.size()));
  EXPECT_FALSE(l.UserChanged());
  TPXIPTCInfoList copy;
  copy.Assign(&l);
  EXPECT_TRUE(copy.UserChanged());
  EXPECT_EQ(copy.GetCount(), l.GetCount());
  EXPECT_EQ(Block(l, true).size() > 0, true);
  TPXIPTCInfoList empty;
  EXPECT_TRUE(Block(empty, true).empty());
}

TEST(IptcList, StreamFormRoundTrips) {
  TPXIPTCInfoList l;
  l.AddItem(2, 5, 5, "title");
  l.AddItem(1, 90, 0, nullptr);
  l.AddItem(300, 70000, 3, "big");  // numbers beyond a byte survive the stream form
  TMemoryStream s;
  l.SaveToStream(&s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  EXPECT_EQ(std::vector<uint8_t>(p, p + 8), (std::vector<uint8_t>{0, 0, 0, 0, 3, 0, 0, 0}));
  s.SetPosition(0);
  TPXIPTCInfoList back;
  ASSERT_TRUE(back.LoadFromStream(&s));
  ASSERT_EQ(back.GetCount(), 3);
  EXPECT_TRUE(back.UserChanged());
  EXPECT_EQ(ItemText(back, 0), "title");
  EXPECT_EQ(back.GetItemLength(1), 0);
  EXPECT_EQ(back.GetRecordNumber(2), 300);
  EXPECT_EQ(back.GetDataSetNumber(2), 70000);
  EXPECT_EQ(ItemText(back, 2), "big");
}

TEST(IptcList, HostileStreamForms) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t kept;
  };
  const std::vector<Case> cases = {
      {"empty", {}, 0},
      {"huge count", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 2, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 'a'}, 1},
      {"negative count", {0, 0, 0, 0, 0, 0, 0, 0x80}, 0},
      {"length past the end", {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'a'}, 0},
      {"negative length", {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}, 0},
      {"item cut", {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0}, 0},
  };
  for (const Case& c : cases) {
    TMemoryStream s;
    if (!c.bytes.empty()) s.WriteBuffer(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    s.SetPosition(0);
    TPXIPTCInfoList l;
    EXPECT_FALSE(l.LoadFromStream(&s)) << c.name;
    EXPECT_EQ(l.GetCount(), c.kept) << c.name;
  }
}
