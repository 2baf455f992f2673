#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/pxxBitmaps.h"

namespace {

TRGB RGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }

// A px24RGB picture whose pixel (x, y) is (x, y, 7).
std::unique_ptr<TPXBitmap> Coords(int w, int h) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, px24RGB));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixel24(x, y, RGB(uint8_t(x), uint8_t(y), 7));
  return b;
}

TEST(DibAndViews, OneBitRows) {
  uint8_t row[2] = {0x80, 0};
  EXPECT_NE(GetPixelBit(row, 0), 0);
  for (int x = 1; x < 8; ++x) EXPECT_EQ(GetPixelBit(row, x), 0);
  SetPixelBit(row, 9, 1);
  EXPECT_EQ(row[1], 0x40);
  SetPixelBit(row, 0, 0);
  EXPECT_EQ(row[0], 0);
}

TEST(DibAndViews, DibBitmap) {
  TPXDibbitmap d;
  EXPECT_FALSE(d.Allocate(10, 10, px8g));
  EXPECT_FALSE(d.Allocate(0, 10, px1g));
  ASSERT_TRUE(d.Allocate(10, 10, px1g));
  EXPECT_EQ(d.RowLen(), 4);
  EXPECT_EQ(d.PixelFormat(), px1g);
  ASSERT_NE(d.FDC, nullptr);
  // Rows bottom-up in the section's memory.
  EXPECT_EQ(d.Scanline(9), d.FBits);
  EXPECT_EQ(d.Scanline(0), d.FBits + 9 * 4);
  try {
    d.SetWidth(3);
    ADD_FAILURE() << "no exception";
  } catch (const EPXException& e) {
    EXPECT_EQ(e.Message(), "Cannot resize TPXDibBitmap");
  }
  EXPECT_THROW(d.SetHeight(3), EPXException);
  ASSERT_TRUE(d.Allocate(3, 2, px24RGB));
  EXPECT_EQ(d.RowLen(), 12);
  d.Scanline(1)[5] = 99;
  TPXDibbitmap copy;
  copy.Assign(&d);
  EXPECT_EQ(copy.Width(), 3);
  EXPECT_EQ(copy.PixelFormat(), px24RGB);
  EXPECT_EQ(copy.Scanline(1)[5], 99);
  // Platform drawing reaches the pixels through the context.
  SetPixel(d.FDC, 0, 0, 0x00FF0000);  // blue
  EXPECT_EQ(d.Scanline(0)[0], 255);
}

TEST(DibAndViews, WorkBitmap) {
  TPXWorkBitmap empty(0, 0, 24);
  EXPECT_FALSE(empty.FBlock);
  EXPECT_TRUE(empty.FSegments.empty());
  TPXWorkBitmap w(5, 3, 24);
  EXPECT_EQ(w.FRowLen, 16);
  EXPECT_EQ(w.GetScanline(0), w.FBlock.get() + 2 * 16);  // the last stored row
  EXPECT_EQ(w.GetScanline(2), w.FBlock.get());
  w.Allocate(7, 3, 1);
  EXPECT_EQ(w.FRowLen, 4);
  w.FreeBuffer();
  EXPECT_EQ(w.FWidth, 0);
}

TEST(DibAndViews, RotatedView) {
  auto src = Coords(100, 50);
  TPXVirtualRotatedBitmap r0(src.get(), 0, clBlack);
  ASSERT_EQ(r0.Width(), 100);
  ASSERT_EQ(r0.Height(), 50);
  EXPECT_TRUE(r0.IsVirtual());
  for (int y = 0; y < 50; ++y) {
    const uint8_t* row = r0.Scanline(y);
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(0, std::memcmp(row, src->Scanline(y), 300)) << y;
  }

  TPXVirtualRotatedBitmap r90(src.get(), 90, clBlack);
  ASSERT_EQ(r90.Width(), 50);
  ASSERT_EQ(r90.Height(), 100);
  // Every source pixel appears once: view (X, Y) shows source (99 - Y, X).
  for (int y = 0; y < 100; y += 7)
    for (int x = 0; x < 50; x += 5) EXPECT_EQ(r90.GetPixelRGB(x, y), RGB(uint8_t(99 - y), uint8_t(x), 7)) << x << "," << y;

  TPXVirtualRotatedBitmap r45(src.get(), 45, clRed);
  EXPECT_EQ(r45.GetPixelRGB(0, 0), RGB(255, 0, 0));  // corners outside the source
  EXPECT_EQ(r45.GetPixelRGB(r45.Width() - 1, r45.Height() - 1), RGB(255, 0, 0));
  const TRGB centre = r45.GetPixelRGB(r45.Width() / 2, r45.Height() / 2);
  EXPECT_NEAR(centre.r, 50, 1);
  EXPECT_NEAR(centre.g, 25, 1);

  // A view of an alpha channel is grey; an owned source goes with the view.
  auto alphaSrc = std::make_unique<TPXBitmap>();
  alphaSrc->Allocate(4, 2, px24RGB);
  alphaSrc->SetAlpha(3, 0, 9);
  TPXVirtualRotatedBitmap ra(alphaSrc->GetAlphaChannel(), 180, 0x000011);
  EXPECT_EQ(ra.PixelFormat(), px8g);
  EXPECT_EQ(ra.GetPixel8(0, 1), 9);
  TPXVirtualRotatedBitmap owned(Coords(3, 3), 0, clBlack);
  EXPECT_EQ(owned.GetPixelRGB(2, 1), RGB(2, 1, 7));
}

TEST(DibAndViews, ClippedView) {
  auto src = Coords(40, 40);
  TPXVirtualClippedBitmap v(src.get(), TRect{10, 20, 19, 29});
  ASSERT_EQ(v.Width(), 10);
  ASSERT_EQ(v.Height(), 10);
  EXPECT_EQ(v.PixelFormat(), px24RGB);
  EXPECT_EQ(v.Scanline(0), src->Scanline(20) + 30);
  EXPECT_EQ(v.GetPixelRGB(9, 9), RGB(19, 29, 7));
  // Writes reach the source; the alpha view follows the source's alpha channel.
  v.SetPixel24(0, 0, RGB(1, 1, 1));
  EXPECT_EQ(src->GetPixelRGB(10, 20), RGB(1, 1, 1));
  EXPECT_EQ(v.PeekAlphaChannel(), nullptr);
  src->SetAlpha(12, 21, 44);
  ASSERT_NE(v.PeekAlphaChannel(), nullptr);
  EXPECT_EQ(v.GetAlpha(2, 1), 44);
  // A copy of the view is a copy of the rectangle, alpha included.
  TPXBitmap copy;
  copy.Allocate(10, 10, px8g);
  copy.ConvertPixelFormat(&v);
  EXPECT_EQ(copy.GetPixel8(9, 9), (19 * 21 + 29 * 71 + 7 * 8) / 100);
  EXPECT_EQ(copy.GetAlpha(2, 1), 44);

  // A 1-bit view that starts inside a byte shows the right pixels.
  TPXBitmap m;
  m.Allocate(24, 2, px1g);
  m.Fill(0);
  for (int x : {3, 4, 11, 20}) SetPixelBit(m.Scanline(1), x, 1);
  TPXVirtualClippedBitmap mv(&m, TRect{3, 1, 20, 1});
  ASSERT_EQ(mv.Width(), 18);
  for (int x = 0; x < 18; ++x)
    EXPECT_EQ(mv.GetPixelRGB(x, 0).r != 0, x == 0 || x == 1 || x == 8 || x == 17) << x;
  TPXVirtualClippedBitmap aligned(&m, TRect{8, 1, 15, 1});
  EXPECT_EQ(aligned.Scanline(0), m.Scanline(1) + 1);
  // A rectangle reaching outside the source is cut to it.
  TPXVirtualClippedBitmap outside(src.get(), TRect{35, 35, 60, 60});
  EXPECT_EQ(outside.Width(), 5);
  EXPECT_EQ(outside.GetPixelRGB(4, 4), RGB(39, 39, 7));
}

}  // namespace
