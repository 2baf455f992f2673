#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "io/pxtiffifd.h"
#include "platform/rtl/Classes.h"
#include "tests/io/TiffBuild.h"

using tiffbuild::Builder;
using tiffbuild::Ifd;

namespace {

void Load(TMemoryStream& S, const std::string& Bytes, int64_t Pad = 0) {
  S.SetSize(0);
  const std::string pad(size_t(Pad), 'x');
  S.WriteBuffer(pad.data(), Pad);
  S.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
  S.Seek(0, soBeginning);
}

// A reader over the structure, header parsed the simple way (classic or BigTIFF).
TPXTIFFIFDReader ReaderOf(TMemoryStream& S, bool LE, bool Big, uint64_t Base = 0) {
  TPXTIFFIFDReader r;
  r.Stream = &S;
  r.LittleEndian = LE;
  r.IsBigTiff = Big;
  r.InlineSize = Big ? 8 : 4;
  r.Base = Base;
  return r;
}

uint64_t FirstOffsetOf(const std::string& B, bool LE, bool Big) {
  uint64_t v = 0;
  const size_t at = Big ? 8 : 4, n = Big ? 8 : 4;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = LE ? at + n - 1 - k : at + k;
    v = (v << 8) | uint8_t(B[i]);
  }
  return v;
}

}  // namespace

TEST(TiffIfd, ChainWalks) {
  struct Case {
    const char* Name;
    int Ifds;
    int64_t LastNext;  // -1 natural end; >= 0 back to that IFD; -2 explicit 6
    int Index;
    bool Loaded;
    int Count;
  };
  const Case cases[] = {
      {"loop back to the first", 2, 0, 0, true, 2},
      {"index past the chain", 2, -1, 3, false, 2},
      {"second of three", 3, -1, 1, true, 3},
      {"next offset into the header", 2, -2, 0, true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Builder b;
    for (int i = 0; i < c.Ifds; ++i) Builder::Add(b.NewIfd(), 256, ttShort, {uint64_t(10 + i)});
    b.Ifds.back().NextToIfd = c.LastNext;
    b.Ifds.back().NextExplicit = 6;
    const std::string bytes = b.Build();
    TMemoryStream s;
    Load(s, bytes);
    TPXTIFFIFDReader r = ReaderOf(s, true, false);
    int32_t count = -1;
    EXPECT_EQ(r.ReadIFD(c.Index, count, FirstOffsetOf(bytes, true, false)), c.Loaded);
    EXPECT_EQ(count, c.Count);
    if (c.Loaded) {
      EXPECT_EQ(r.ReadInteger(256, -1), 10 + c.Index);
    }
  }
}

TEST(TiffIfd, ZeroEntriesEndTheChain) {
  Builder b;
  Builder::Add(b.NewIfd(), 256, ttShort, {1});
  b.NewIfd().ZeroEntries = true;
  Builder::Add(b.NewIfd(), 256, ttShort, {3});
  const std::string bytes = b.Build();
  TMemoryStream s;
  Load(s, bytes);
  TPXTIFFIFDReader r = ReaderOf(s, true, false);
  int32_t count = 0;
  EXPECT_FALSE(r.ReadIFD(2, count, FirstOffsetOf(bytes, true, false)));
  EXPECT_EQ(count, 1);
}

TEST(TiffIfd, BaseCountsEveryOffset) {
  // At base 4096 a next offset of 2000 is stream position 6096; a next offset of 6 ends it.
  Builder b;
  Builder::Add(b.NewIfd(), 256, ttShort, {1});
  std::string bytes = b.Build();
  bytes.resize(2000, '\0');
  // second IFD at 2000 (relative), pointing to 6
  std::string second = std::string("\x01\x00", 2) + std::string("\x00\x01\x03\x00\x01\x00\x00\x00\x07\x00\x00\x00", 12) +
                       std::string("\x06\x00\x00\x00", 4);
  bytes += second;
  const uint32_t next = 2000;
  const size_t nextAt = FirstOffsetOf(bytes, true, false) + 2 + 12;
  std::memcpy(bytes.data() + nextAt, &next, 4);
  TMemoryStream s;
  Load(s, bytes, 4096);
  TPXTIFFIFDReader r = ReaderOf(s, true, false, 4096);
  int32_t count = 0;
  ASSERT_TRUE(r.ReadIFD(1, count, FirstOffsetOf(bytes, true, false)));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(r.ReadInteger(256, -1), 7);
}

TEST(TiffIfd, TypedReads) {
  for (const bool le : {true, false}) {
    SCOPED_TRACE(le ? "II" : "MM");
    Builder b(le);
    Ifd& d = b.NewIfd();
    Builder::Add(d, 300, ttShort, {0x0102, 0x0304});
    Builder::Add(d, 301, ttLong, {0x01020304, 5, 6});
    Builder::Add(d, 302, ttRational, {Builder::Rat(7, 2)});
    Builder::Add(d, 303, ttRational, {Builder::Rat(5, 0)});
    Builder::Add(d, 304, ttSRational, {Builder::Rat(uint32_t(-1), 3)});
    Builder::AddBytes(d, 305, ttAscii, std::string("ab\0c", 4));
    Builder::AddBytes(d, 306, ttByte, std::string("\x41\x00", 2));  // only the terminator
    Builder::AddBytes(d, 307, ttByte, std::string("\x41\x00\xE9\x00\x00\x00", 6));
    Builder::AddBytes(d, 308, ttByte, std::string("\x41", 1));
    Builder::AddBytes(d, 309, ttUndefined, std::string("xyz", 3));
    Builder::Add(d, 310, ttSShort, {0xFFFE});
    const std::string bytes = b.Build();
    TMemoryStream s;
    Load(s, bytes);
    TPXTIFFIFDReader r = ReaderOf(s, le, false);
    int32_t count = 0;
    ASSERT_TRUE(r.ReadIFD(0, count, FirstOffsetOf(bytes, le, false)));
    EXPECT_EQ(r.ReadInteger(300, 0, 0), 0x0102);
    EXPECT_EQ(r.ReadInteger(300, 0, 1), 0x0304);
    EXPECT_EQ(r.ReadInteger(300, 0, 2), 0);  // past the count
    EXPECT_EQ(r.ReadInteger(301, 0, 0), 0x01020304);
    EXPECT_EQ(r.ReadInteger(301, 0, 2), 6);
    EXPECT_EQ(r.ReadInteger(302, 0), 3);
    EXPECT_EQ(r.ReadInteger(303, 0), 5);
    EXPECT_NEAR(r.ReadSignedRational(304, 0, 0), -1.0 / 3, 1e-12);
    EXPECT_EQ(r.ReadString(305, true), "ab");
    EXPECT_EQ(r.ReadString(305, false), std::string("ab\0c", 4));
    EXPECT_EQ(r.ReadWideString(306), "");
    EXPECT_EQ(r.ReadWideString(307), "A\xC3\xA9");
    EXPECT_EQ(r.ReadWideString(308), "");  // fewer than 2 bytes
    std::vector<uint8_t> raw;
    r.ReadBytes(309, raw);  // inline data come from the value field
    EXPECT_EQ(std::string(raw.begin(), raw.end()), "xyz");
    EXPECT_EQ(r.ReadInteger(310, 0), -2);
    EXPECT_EQ(r.ReadInteger(999, -7), -7);
    std::vector<uint64_t> values;
    EXPECT_EQ(r.ReadIntegerArray(301, values), 3u);
    EXPECT_EQ(values, (std::vector<uint64_t>{0x01020304, 5, 6}));
  }
}

TEST(TiffIfd, BigTiffInlineSize) {
  Builder b(true, true);
  Ifd& d = b.NewIfd();
  Builder::Add(d, 300, ttLong, {1, 2});
  Builder::Add(d, 301, ttLong, {3, 4, 5});
  Builder::Add(d, 302, ttLong8, {0x123456789ull});
  const std::string bytes = b.Build();
  TMemoryStream s;
  Load(s, bytes);
  TPXTIFFIFDReader r = ReaderOf(s, true, true);
  int32_t count = 0;
  ASSERT_TRUE(r.ReadIFD(0, count, FirstOffsetOf(bytes, true, true)));
  EXPECT_EQ(r.GetTagValueOffset(r.FindTag(300)), 1u | (2ull << 32));  // inline
  EXPECT_GE(r.GetTagValueOffset(r.FindTag(301)), 16u);                // out of line
  EXPECT_EQ(r.ReadInteger(300, 0, 1), 2);
  EXPECT_EQ(r.ReadInteger(301, 0, 2), 5);
  EXPECT_EQ(r.ReadInteger(302, 0), 0x123456789ll);
}

TEST(TiffIfd, CountsFromTheFileAreChecked) {
  // An entry table or a value block larger than the stream is never allocated nor read.
  Builder b;
  Ifd& d = b.NewIfd();
  tiffbuild::Entry e;
  e.Tag = 273;
  e.Type = ttLong;
  e.Count = 0x7FFFFFFF;
  e.ForceValue = true;
  e.ValueField = 8;
  d.Entries.push_back(e);
  e.Tag = 270;
  e.Type = ttAscii;
  e.Count = 0xFFFFFFFF;
  d.Entries.push_back(e);
  e.Tag = 271;
  e.Type = ttDouble;
  e.Count = 0x40000000;  // 8 x count overflows 32 bits
  d.Entries.push_back(e);
  e.Tag = 272;
  e.Type = 99;  // no such type: items of no size
  e.Count = 3;
  d.Entries.push_back(e);
  const std::string bytes = b.Build();
  TMemoryStream s;
  Load(s, bytes);
  TPXTIFFIFDReader r = ReaderOf(s, true, false);
  int32_t count = 0;
  ASSERT_TRUE(r.ReadIFD(0, count, FirstOffsetOf(bytes, true, false)));
  std::vector<uint64_t> values;
  EXPECT_EQ(r.ReadIntegerArray(273, values), 0u);
  EXPECT_TRUE(values.empty());
  EXPECT_EQ(r.ReadString(270, false), "");
  EXPECT_EQ(r.ReadInteger(273, 9, 100000), 0);  // an item outside the stream reads 0
  std::vector<uint8_t> raw;
  EXPECT_FALSE(r.ReadRawData(271, raw));
  EXPECT_EQ(r.ReadString(272, true), "");

  // A directory whose entry count runs past the stream loads nothing.
  std::string cut = bytes;
  cut[FirstOffsetOf(bytes, true, false)] = char(0xFF);
  cut[FirstOffsetOf(bytes, true, false) + 1] = char(0xFF);
  Load(s, cut);
  TPXTIFFIFDReader r2 = ReaderOf(s, true, false);
  EXPECT_FALSE(r2.ReadIFD(0, count, FirstOffsetOf(bytes, true, false)));
}

TEST(TiffIfd, WriterEntries) {
  TMemoryStream data;
  bool err = false;
  TPXTIFFIFDWriter w;
  const uint16_t shorts[] = {5, 6};
  w.WriteShortArray(&data, 300, err, 1, shorts);
  w.WriteAscii(&data, 301, err, "");
  w.AddInlineAscii(302, "");
  const std::vector<uint16_t> wanted{1};
  data.WriteBuffer("x", 1);  // odd position: an unwanted rational must not even align
  w.WriteRational(&data, 303, &wanted, err, 0.5);
  EXPECT_EQ(data.Size(), 1);
  w.WriteRational(&data, 304, nullptr, err, 118.11);
  w.WriteAscii(&data, 305, err, "abcd");
  w.WriteAscii(&data, 306, err, "abcde");
  w.WriteWideText(&data, 307, err, "Z");
  w.AddShort(308, 1, &wanted);
  w.SortEntries();
  ASSERT_EQ(w.GetEntryCount(), 6);
  EXPECT_EQ(w.GetEntry(0).Tag, 300);
  EXPECT_EQ(w.GetEntry(0).Value, 5u | (6u << 16));
  EXPECT_EQ(w.GetEntry(1).Tag, 302);
  EXPECT_EQ(w.GetEntry(1).Count, 0u);
  EXPECT_EQ(w.GetEntry(2).Tag, 304);
  EXPECT_EQ(w.GetEntry(2).Value, 2u);  // aligned after the odd byte
  EXPECT_EQ(w.GetEntry(3).Count, 4u);  // inline, no NUL
  EXPECT_EQ(w.GetEntry(4).Count, 6u);  // out of line with its NUL
  EXPECT_EQ(w.GetEntry(5).Count, 4u);
  EXPECT_EQ(w.GetEntry(5).Value, uint32_t('Z'));
  EXPECT_FALSE(err);
  // the rational is the nearest fraction
  const uint8_t* m = static_cast<const uint8_t*>(data.Memory());
  uint32_t n, dd;
  std::memcpy(&n, m + 2, 4);
  std::memcpy(&dd, m + 6, 4);
  EXPECT_NEAR(double(n) / dd, 118.11, 5e-9);
}
