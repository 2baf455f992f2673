// The JPEG marker list: sorting for writing, the JPEG segment size limit, and its stream form
// against well-formed and hostile input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/pxmarkers.h"
#include "platform/rtl/Classes_streams.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& S) { return std::vector<uint8_t>(S.begin(), S.end()); }

// An APP2 ICC_PROFILE chunk with sequence number Seq of 3.
std::vector<uint8_t> IccChunk(uint8_t Seq) {
  std::vector<uint8_t> d = Bytes(std::string("ICC_PROFILE\0", 12));
  d.push_back(Seq);
  d.push_back(3);
  d.push_back(static_cast<uint8_t>('a' + Seq));  // payload tells the chunks apart
  return d;
}

void Add(TPXMarkerList& L, uint8_t Type, const std::vector<uint8_t>& D) {
  ASSERT_GE(L.AddMarker(Type, D.data(), static_cast<int32_t>(D.size())), 0);
}

std::vector<uint8_t> MarkerBytes(const TPXMarkerList& L, int32_t I) {
  const uint8_t* p = L.GetMarkerData(I);
  return std::vector<uint8_t>(p, p + L.GetMarkerLength(I));
}

}  // namespace

TEST(MarkerList, IccChunksSortBySequenceNumber) {
  TPXMarkerList l;
  for (uint8_t seq : {3, 1, 2}) Add(l, PX_JPEG_APP2, IccChunk(seq));
  l.SortMarkers();
  ASSERT_EQ(l.GetCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(MarkerBytes(l, i), IccChunk(static_cast<uint8_t>(i + 1))) << i;
}

TEST(MarkerList, ExifLeadsTheApp1Markers) {
  const auto xmp = Bytes(std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 34));
  const auto exif = Bytes(std::string("Exif\0\0II*\0", 10));
  const auto jfif = Bytes(std::string("JFIF\0\1\1", 7));
  TPXMarkerList l;
  Add(l, PX_JPEG_APP1, xmp);
  Add(l, PX_JPEG_APP1, exif);
  Add(l, PX_JPEG_APP0, jfif);
  Add(l, PX_JPEG_COM, Bytes("note"));
  l.SortMarkers();
  ASSERT_EQ(l.GetCount(), 4);
  EXPECT_EQ(l.GetMarkerType(0), PX_JPEG_APP0);
  EXPECT_EQ(MarkerBytes(l, 1), exif);
  EXPECT_EQ(MarkerBytes(l, 2), xmp);
  EXPECT_EQ(l.GetMarkerType(3), PX_JPEG_COM);
}

TEST(MarkerList, IsExifMarkerDataNeedsExactlyExif) {
  EXPECT_TRUE(IsExifMarkerData("Exif\0\0", 6));
  EXPECT_TRUE(IsExifMarkerData("Exif", 4));
  EXPECT_FALSE(IsExifMarkerData("Exi", 3));
  EXPECT_FALSE(IsExifMarkerData("Exif2\0", 6));
  EXPECT_FALSE(IsExifMarkerData("http://ns.adobe.com/xap/1.0/", 28));
}

TEST(MarkerList, KeepOnlyMarkerTypesKeepsOrder) {
  TPXMarkerList l;
  Add(l, PX_JPEG_APP0, Bytes("a"));
  Add(l, PX_JPEG_APP2, Bytes("b"));
  Add(l, PX_JPEG_APP1, Bytes("c"));
  Add(l, PX_JPEG_APP2, Bytes("d"));
  l.KeepOnlyMarkerTypes({PX_JPEG_APP2});
  ASSERT_EQ(l.GetCount(), 2);
  EXPECT_EQ(MarkerBytes(l, 0), Bytes("b"));
  EXPECT_EQ(MarkerBytes(l, 1), Bytes("d"));
  l.DeleteMarkersOfType(PX_JPEG_APP2);
  EXPECT_EQ(l.GetCount(), 0);
}

// A JPEG segment's 16-bit length counts itself: 65533 data bytes at most. A longer block would
// wrap the length and corrupt the file, so the list refuses it.
TEST(MarkerList, RefusesDataNoSegmentCanHold) {
  std::vector<uint8_t> big(70000, 7);
  TPXMarkerList l;
  EXPECT_EQ(l.AddMarker(PX_JPEG_APP1, big.data(), 65533), 0);
  EXPECT_EQ(l.GetMarkerLength(0), 65533);
  EXPECT_EQ(l.AddMarker(PX_JPEG_APP1, big.data(), 65534), -1);
  EXPECT_EQ(l.AddMarker(PX_JPEG_APP1, big.data(), 70000), -1);
  EXPECT_EQ(l.AddMarker(PX_JPEG_APP1, big.data(), -1), -1);
  EXPECT_EQ(l.GetCount(), 1);
  EXPECT_FALSE(l.SetMarker(0, PX_JPEG_APP2, big.data(), 65536));
  EXPECT_EQ(l.GetMarkerType(0), PX_JPEG_APP1);
  EXPECT_TRUE(l.SetMarker(0, PX_JPEG_APP2, big.data(), 3));
  EXPECT_EQ(l.GetMarkerLength(0), 3);
  EXPECT_EQ(l.GetMarkerData(5), nullptr);
}

TEST(MarkerList, SetMarkerFromItsOwnData) {
  TPXMarkerList l;
  Add(l, PX_JPEG_APP1, Bytes("abcdef"));
  EXPECT_TRUE(l.SetMarker(0, PX_JPEG_APP1, l.GetMarkerData(0) + 2, 3));
  EXPECT_EQ(MarkerBytes(l, 0), Bytes("cde"));
}

TEST(MarkerList, StreamFormRoundTripsAndIsLittleEndian) {
  TPXMarkerList l;
  Add(l, PX_JPEG_APP0, Bytes("JFIF"));
  Add(l, PX_JPEG_COM, {});
  Add(l, PX_JPEG_APP13, std::vector<uint8_t>(300, 0x1C));
  TMemoryStream s;
  l.SaveToStream(&s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  ASSERT_EQ(s.Size(), 1 + 4 + (5 + 4) + 5 + (5 + 300));
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(std::vector<uint8_t>(p + 1, p + 5), (std::vector<uint8_t>{3, 0, 0, 0}));
  EXPECT_EQ(p[5], PX_JPEG_APP0);
  EXPECT_EQ(std::vector<uint8_t>(p + 6, p + 10), (std::vector<uint8_t>{4, 0, 0, 0}));

  TPXMarkerList back;
  Add(back, 0xE5, Bytes("old"));
  s.SetPosition(0);
  EXPECT_TRUE(back.LoadFromStream(&s));
  ASSERT_EQ(back.GetCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back.GetMarkerType(i), l.GetMarkerType(i));
    EXPECT_EQ(MarkerBytes(back, i), MarkerBytes(l, i));
  }
}

// Hostile stream forms end quietly: nothing read beyond the stream, nothing allocated for
// lengths the stream cannot hold, markers read before the fault kept.
TEST(MarkerList, HostileStreamForms) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t kept;
  };
  const std::vector<Case> cases = {
      {"empty", {}, 0},
      {"count only", {0, 1, 0}, 0},
      {"huge count", {0, 0xFF, 0xFF, 0xFF, 0x7F, 0xE1, 1, 0, 0, 0, 'x'}, 1},
      {"negative count", {0, 0xFF, 0xFF, 0xFF, 0xFF}, 0},
      {"length past the end", {0, 1, 0, 0, 0, 0xE1, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2}, 0},
      {"negative length", {0, 1, 0, 0, 0, 0xE1, 0xFE, 0xFF, 0xFF, 0xFF}, 0},
      {"second marker cut", {0, 2, 0, 0, 0, 0xE0, 1, 0, 0, 0, 'a', 0xE1, 5, 0, 0, 0, 'b'}, 1},
  };
  for (const Case& c : cases) {
    TMemoryStream s;
    if (!c.bytes.empty()) s.WriteBuffer(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    s.SetPosition(0);
    TPXMarkerList l;
    EXPECT_FALSE(l.LoadFromStream(&s)) << c.name;
    EXPECT_EQ(l.GetCount(), c.kept) << c.name;
  }
}

// A stored marker longer than a JPEG segment can carry is refused like AddMarker refuses it.
TEST(MarkerList, StreamMarkerOverSegmentLimitIsRefused) {
  TMemoryStream s;
  const uint8_t head[] = {0, 1, 0, 0, 0, 0xE1, 0xFE, 0xFF, 0, 0};  // length 65534
  s.WriteBuffer(head, sizeof head);
  std::vector<uint8_t> body(65534, 1);
  s.WriteBuffer(body.data(), static_cast<int64_t>(body.size()));
  s.SetPosition(0);
  TPXMarkerList l;
  EXPECT_FALSE(l.LoadFromStream(&s));
  EXPECT_EQ(l.GetCount(), 0);
}
