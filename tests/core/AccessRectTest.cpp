#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"

namespace {

TRGB RGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }

// A px8g picture whose pixel (x, y) is x + 10·y.
std::unique_ptr<TPXBitmap> Ramp(int w, int h) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, px8g));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixel8(x, y, static_cast<uint8_t>(x + 10 * y));
  return b;
}

std::unique_ptr<TPXBitmap> Blank(int w, int h, TPXPixelFormat f = px8g) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, f));
  b->Fill(0);
  return b;
}

TEST(AccessRectTest, ClippingKeepsPixelsInPlace) {
  auto src = Ramp(8, 4);
  auto dst = Blank(6, 4);
  src->CopyRectTo(dst.get(), 0, 0, -5, 0, 8, 2, false);  // the first 5 source columns are skipped
  EXPECT_EQ(dst->GetPixel8(0, 0), 5);
  EXPECT_EQ(dst->GetPixel8(2, 1), 17);
  EXPECT_EQ(dst->GetPixel8(3, 0), 0);

  // A negative source origin moves the destination origin likewise.
  auto d2 = Blank(6, 4);
  src->CopyRectTo(d2.get(), -2, 0, 0, 0, 4, 1, false);
  EXPECT_EQ(d2->GetPixel8(0, 0), 0);
  EXPECT_EQ(d2->GetPixel8(2, 0), 0 + 0);
  EXPECT_EQ(d2->GetPixel8(3, 0), 1);

  // Rectangles outside either bitmap, and empty bitmaps, copy nothing.
  auto d3 = Blank(6, 4);
  src->CopyRectTo(d3.get(), 0, 0, 6, 0, 3, 3, false);
  src->CopyRectTo(d3.get(), 8, 0, 0, 0, 3, 3, false);
  src->CopyRectTo(d3.get(), 0, 0, 0, 0, 0, 3, false);
  TPXBitmap empty;
  empty.CopyRectTo(d3.get(), 0, 0, 0, 0, 3, 3, false);
  src->CopyRectTo(&empty, 0, 0, 0, 0, 3, 3, false);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(d3->GetPixel8(x, y), 0);
  // Different layouts copy nothing.
  auto rgb = Blank(8, 4, px24RGB);
  src->CopyRectTo(rgb.get(), 0, 0, 0, 0, 8, 4, false);
  EXPECT_EQ(rgb->GetPixelRGB(7, 3), RGB(0, 0, 0));
}

TEST(AccessRectTest, OverlappingCopyWithinOneBitmap) {
  auto b = Ramp(5, 5);
  b->CopyRectTo(b.get(), 0, 0, 1, 1, 4, 4, false);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) EXPECT_EQ(b->GetPixel8(x, y), (x - 1) + 10 * (y - 1)) << x << "," << y;
}

TEST(AccessRectTest, EllipticalCopy) {
  auto src = Blank(9, 9);
  src->Fill(1);
  auto dst = Blank(9, 9);
  src->CopyRectToEx(dst.get(), 0, 0, 0, 0, 9, 9, false, true);
  const int widths[9] = {5, 7, 8, 9, 9, 9, 8, 7, 5};
  const int starts[9] = {2, 1, 0, 0, 0, 0, 0, 1, 2};
  for (int y = 0; y < 9; ++y) {
    int count = 0, first = -1;
    for (int x = 0; x < 9; ++x)
      if (dst->GetPixel8(x, y)) {
        if (first < 0) first = x;
        ++count;
      }
    EXPECT_EQ(count, widths[y]) << y;
    EXPECT_EQ(first, starts[y]) << y;
  }
}

TEST(AccessRectTest, OneBitAndVirtualSources) {
  auto m = std::make_unique<TPXBitmap>();
  m->Allocate(20, 2, px1g);
  m->Fill(0);
  for (int x : {3, 4, 9, 17}) SetPixelBit(m->Scanline(1), x, 1);
  auto d = Blank(20, 2, px1g);
  d->Fill(1);
  m->CopyRectTo(d.get(), 3, 1, 5, 0, 15, 1, false);  // bit runs at different offsets
  for (int x = 0; x < 20; ++x) {
    const bool expected = x < 5 || x == 5 || x == 6 || x == 11 || x == 19;
    EXPECT_EQ(GetPixelBit(d->Scanline(0), x) != 0, expected) << x;
  }
  EXPECT_EQ(d->Scanline(1)[0], 0xFF);

  auto rgb = Blank(4, 1, px24RGB);
  m->CopyRectTo(rgb.get(), 2, 1, 0, 0, 4, 1, false);
  EXPECT_EQ(rgb->GetPixelRGB(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(rgb->GetPixelRGB(1, 0), RGB(255, 255, 255));
  EXPECT_EQ(rgb->GetPixelRGB(2, 0), RGB(255, 255, 255));

  // A virtual source writes each destination pixel through its callback.
  TPXBitmap v;
  v.SetOnVirtualPixel(TPXVirtualPixelEvent([](TObject*, int32_t x, int32_t y, void* p) {
    auto* t = static_cast<uint8_t*>(p);
    t[0] = static_cast<uint8_t>(x);
    t[1] = static_cast<uint8_t>(y);
    t[2] = 9;
  }));
  v.FWidth = 5;
  v.FHeight = 5;
  v.FPixelFormat = px24RGB;
  v.FBitCount = 24;
  v.FRowLen = 16;
  auto out = Blank(3, 3, px24RGB);
  v.CopyRectTo(out.get(), 2, 1, 0, 0, 3, 3, false);
  EXPECT_EQ(*out->GetPixelPtr24(1, 2), (TRGB{3, 3, 9}));
}

TEST(AccessRectTest, AlphaTravelsWithTheCopy) {
  auto src = Ramp(4, 4);
  src->GetAlphaChannel()->Fill(255);
  auto dst = Blank(4, 4);
  dst->GetAlphaChannel()->Fill(255);
  dst->SetAlpha(3, 3, 0);
  src->CopyRectTo(dst.get(), 0, 0, 0, 0, 2, 2, true);
  EXPECT_FALSE(dst->GetAlphaChannel()->FFull);  // opaque onto partly transparent stays not full
  EXPECT_EQ(dst->GetAlpha(3, 3), 0);
  src->SetAlpha(1, 1, 77);
  src->CopyRectTo(dst.get(), 0, 0, 2, 2, 2, 2, true);
  EXPECT_EQ(dst->GetAlpha(3, 3), 77);
  EXPECT_EQ(dst->GetPixel8(3, 3), 11);
}

// Each platform bitmap format, a 3 x 1 picture.
TEST(AccessRectTest, CopyFromTBitmapFormats) {
  struct Case {
    TPixelFormat pf;
    std::vector<uint8_t> row;
    TPXPixelFormat expected;
    TRGB pixel1;
  };
  const Case cases[] = {
      {pf15bit, {0, 0, 0xFF, 0x7F, 0x1F, 0}, px24RGB, RGB(248, 248, 248)},
      {pf16bit, {0, 0, 0xFF, 0xFF, 0, 0}, px24RGB, RGB(248, 252, 248)},
      {pf16bit, {0, 0, 0x00, 0xF8, 0, 0}, px24RGB, RGB(248, 0, 0)},
      {pf24bit, {0, 0, 0, 3, 2, 1, 0, 0, 0}, px24RGB, RGB(1, 2, 3)},
      {pf32bit, {0, 0, 0, 0, 3, 2, 1, 0}, px32RGB, RGB(1, 2, 3)},
      {pf1bit, {0x40}, px1g, RGB(255, 255, 255)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.pf));
    TBitmap vcl;
    vcl.SetPixelFormat(c.pf);
    vcl.SetSize(3, 1);
    std::memcpy(vcl.ScanLine(0), c.row.data(), c.row.size());
    TPXBitmap b;
    b.FFull = 1;
    b.CopyFromTBitmap(&vcl);
    EXPECT_EQ(b.PixelFormat(), c.expected);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.GetPixelRGB(1, 0), c.pixel1);
    EXPECT_FALSE(b.FFull);
  }

  // Palette bitmaps become px8p with the platform palette; 4-bit rows give the high nibble first.
  TBitmap four;
  four.SetPixelFormat(pf4bit);
  four.SetSize(3, 1);
  std::vector<TRGBQuad> table(16);
  table[2].rgbRed = 90;
  table[7].rgbGreen = 80;
  four.SetColorTable(table);
  static_cast<uint8_t*>(four.ScanLine(0))[0] = 0x27;
  TPXBitmap p;
  p.CopyFromTBitmap(&four);
  ASSERT_EQ(p.PixelFormat(), px8p);
  EXPECT_EQ(p.GetPixel8(0, 0), 2);
  EXPECT_EQ(p.GetPixel8(1, 0), 7);
  EXPECT_EQ(p.GetPixelRGB(1, 0), RGB(0, 80, 0));

  TBitmap two;  // a two-colour palette other than black and white
  two.SetPixelFormat(pf1bit);
  two.SetSize(3, 1);
  std::vector<TRGBQuad> bw(2);
  bw[0].rgbRed = 255;
  bw[1].rgbBlue = 255;
  two.SetColorTable(bw);
  static_cast<uint8_t*>(two.ScanLine(0))[0] = 0x40;
  TPXBitmap q;
  q.CopyFromTBitmap(&two);
  ASSERT_EQ(q.PixelFormat(), px8p);
  EXPECT_EQ(q.GetPixelRGB(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(q.GetPixelRGB(1, 0), RGB(0, 0, 255));

  // Into platform-bitmap storage a copy is made; the caller's bitmap keeps its format.
  TBitmap src;
  src.SetPixelFormat(pf8bit);
  src.SetSize(2, 2);
  TBitmap own;
  own.SetPixelFormat(pf24bit);
  own.SetSize(1, 1);
  TPXBitmap t;
  t.AttachTBitmap(&own, true);
  t.CopyFromTBitmap(&src);
  EXPECT_EQ(src.PixelFormat(), pf8bit);
  EXPECT_EQ(t.PixelFormat(), px24RGB);
  EXPECT_EQ(t.Width(), 2);
  EXPECT_EQ(own.Width(), 2);
}

}  // namespace
