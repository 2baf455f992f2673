#include <gtest/gtest.h>

#include <cstring>

#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_meta.h"

namespace {

std::unique_ptr<TPXImagingObject> Mark(int32_t Type) {
  auto o = std::make_unique<TPXImagingObject>();
  std::memcpy(o->Attributes.data(), &Type, 4);
  const int32_t bounds[4] = {10, 20, 110, 80}, height = -30;
  std::memcpy(o->Attributes.data() + 4, bounds, 16);
  std::memcpy(o->Attributes.data() + 48, &height, 4);
  o->Attributes[100] = uint8_t(Type * 3);  // a face-name byte, kept as it is
  if (Type == 1) {
    o->Image = std::make_unique<TPXBitmap>();
    o->Image->Allocate(5, 3, px24RGB);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        reinterpret_cast<TRGB*>(o->Image->Scanline(y))[x] = TRGB{uint8_t(x * 40), uint8_t(y * 80), 7};
  }
  if (Type == 3 || Type == 4) o->Points = {TPoint{0, 0}, TPoint{5, 5}, TPoint{-3, 9}};
  if (Type >= 7 && Type <= 10) {
    o->HasText = true;
    o->Text = "note " + std::to_string(Type);
  }
  return o;
}

std::vector<uint8_t> Block(const TPXImagingAnnot& A) {
  std::vector<uint8_t> b;
  A.SaveToBuffer(b);
  return b;
}

void Put32(std::vector<uint8_t>& b, int32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(uint8_t(uint32_t(v) >> (8 * k)));
}

}  // namespace

TEST(ImagingAnnot, EveryMarkTypeRoundTripsByteForByte) {
  TPXImagingAnnot a;
  for (int32_t t : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13}) a.AddObject(Mark(t));
  const std::vector<uint8_t> first = Block(a);
  TPXImagingAnnot b;
  b.LoadFromBuffer(first.data(), int64_t(first.size()));
  ASSERT_EQ(b.GetCount(), 12);
  EXPECT_EQ(b.GetObject(2)->Points.size(), 3u);
  EXPECT_EQ(b.GetObject(2)->Points[2].Y, 9);
  EXPECT_EQ(b.GetObject(7)->Text, "note 8");
  ASSERT_TRUE(b.GetObject(0)->Image);
  EXPECT_EQ(reinterpret_cast<TRGB*>(b.GetObject(0)->Image->Scanline(2))[4].r, 7);
  EXPECT_EQ(reinterpret_cast<TRGB*>(b.GetObject(0)->Image->Scanline(2))[4].g, 160);
  EXPECT_EQ(Block(b), first);
  // No marks: no block.
  EXPECT_TRUE(Block(TPXImagingAnnot()).empty());
}

TEST(ImagingAnnot, LayoutFlagZeroAndDamagedBlocks) {
  // Layout flag 0: named blocks carry 4 more header bytes.
  std::vector<uint8_t> b;
  Put32(b, 0);
  Put32(b, 0);
  for (int mark = 0; mark < 2; ++mark) {
    Put32(b, 5);
    Put32(b, 164);
    std::vector<uint8_t> attrs(164, 0);
    attrs[0] = 3;
    b.insert(b.end(), attrs.begin(), attrs.end());
    Put32(b, 6);
    Put32(b, 16);
    const char name[8] = {'O', 'i', 'A', 'n', 'o', 'D', 'a', 't'};
    b.insert(b.end(), name, name + 8);
    Put32(b, 8 + 16);
    Put32(b, 0);  // the extra bytes
    for (int32_t v : {2, 2, 1, 2, 3, 4}) Put32(b, v);
  }
  TPXImagingAnnot a;
  a.LoadFromBuffer(b.data(), int64_t(b.size()));
  ASSERT_EQ(a.GetCount(), 2);
  EXPECT_EQ(a.GetObject(1)->Points.size(), 2u);
  EXPECT_EQ(a.GetObject(1)->Points[1].X, 3);
  // A named block whose size passes the end: reading stops, the first mark stays.
  std::vector<uint8_t> cut = b;
  const size_t second = 8 + (8 + 164 + 8 + 16 + 24);
  const int32_t huge = 0x7FFFFFF0;
  std::memcpy(&cut[second + 8 + 164 + 8 + 8], &huge, 4);
  TPXImagingAnnot c;
  c.LoadFromBuffer(cut.data(), int64_t(cut.size()));
  ASSERT_EQ(c.GetCount(), 2);  // the second mark keeps its attributes, without points
  EXPECT_EQ(c.GetObject(0)->Points.size(), 2u);
  EXPECT_TRUE(c.GetObject(1)->Points.empty());
  // Attributes cut short.
  TPXImagingAnnot d;
  d.LoadFromBuffer(b.data(), 8 + 8 + 100);
  EXPECT_EQ(d.GetCount(), 0);
}
