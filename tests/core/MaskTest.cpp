// The selection mask: pixels, box, polygons, moves, copies through it, drawing for the view.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"

namespace {

struct Box {
  int32_t x1, y1, x2, y2;
  friend bool operator==(const Box&, const Box&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "(" << b.x1 << ", " << b.y1 << ", " << b.x2 << ", " << b.y2 << ")";
  }
};
Box BoxOf(const TPXMask& m) { return {m.FX1, m.FY1, m.FX2, m.FY2}; }

int32_t CountSet(const TPXMask& m) {
  int32_t n = 0;
  for (int32_t y = 0; y < m.Height(); ++y)
    for (int32_t x = 0; x < m.Width(); ++x) n += m.IsPointInside(x, y);
  return n;
}

std::unique_ptr<TPXMask> Mask(int32_t w, int32_t h, int32_t bits) {
  auto m = std::make_unique<TPXMask>();
  m->AllocateBits(w, h, bits);
  return m;
}

TEST(MaskTest, BoxFollowsWritesAndUpdateBoundsShrinksIt) {
  for (int32_t bits : {1, 8}) {
    auto m = Mask(10, 8, bits);
    EXPECT_TRUE(m->IsEmpty());
    m->SetPixel(3, 4, 1);
    EXPECT_EQ(BoxOf(*m), (Box{3, 4, 3, 4}));
    m->SetPixel(3, 4, 0);
    EXPECT_EQ(BoxOf(*m), (Box{3, 4, 3, 4})) << "clearing never shrinks the box";
    m->UpdateBounds();
    EXPECT_TRUE(m->IsEmpty());
    m->SetPixel(-1, 2, 1);
    m->SetPixel(10, 2, 1);
    EXPECT_TRUE(m->IsEmpty()) << "writes outside are ignored";
    EXPECT_EQ(m->GetPixel(-1, 2), 0);
  }
}

TEST(MaskTest, OneBitLayoutIsBottomUpLeftmostInBit7) {
  auto m = Mask(10, 3, 1);
  EXPECT_EQ(m->RowLen(), 4);
  m->SetPixel(0, 0, 1);
  const uint8_t* bits = m->GetBits();
  EXPECT_EQ(bits[2 * 4], 0x80) << "row 0 is the last stored row";
  EXPECT_EQ(m->GetPixel(0, 0), 128);
  m->SetPixel(9, 0, 1);
  EXPECT_EQ(m->GetPixel(9, 0), 0x40);
  EXPECT_EQ(m->GetScanline(0), bits + 8);
  EXPECT_EQ(m->GetScanline(3), nullptr);
}

TEST(MaskTest, FillSpanClipsSkipsOutsideRowsAndSelectsForAnyNonZero) {
  auto m = Mask(12, 4, 1);
  EXPECT_EQ(m->FillSpan(1, -5, 3, -1), 0) << "a row above the mask is skipped, not the edge row";
  EXPECT_EQ(m->FillSpan(1, -5, 3, 4), 0);
  EXPECT_TRUE(m->IsEmpty());
  EXPECT_EQ(m->FillSpan(-1, -5, 20, 2), 12) << "the view selects with -1";
  EXPECT_EQ(CountSet(*m), 12);
  EXPECT_EQ(BoxOf(*m), (Box{0, 2, 11, 2}));
  EXPECT_EQ(m->FillSpan(0, 3, 9, 2), 7);
  EXPECT_EQ(CountSet(*m), 5);
  auto g = Mask(12, 4, 8);
  EXPECT_EQ(g->FillSpan(77, 2, 4, 1), 3);
  EXPECT_EQ(g->GetPixel(2, 1), 77);
  EXPECT_EQ(g->GetPixel(5, 1), 0);
}

TEST(MaskTest, FullFlagEndsOnAnyWriteOfANonFullValue) {
  auto m = Mask(9, 3, 1);
  m->Fill(255);
  EXPECT_EQ(m->FFull, 1);
  m->SetPixel(4, 1, 0);  // a 1-bit mask used to keep the flag here
  EXPECT_EQ(m->FFull, 0);
  m->UpdateFull();
  EXPECT_EQ(m->FFull, 0);
  m->SetPixel(4, 1, 1);
  m->UpdateFull();
  EXPECT_EQ(m->FFull, 1);
  m->FillSpan(0, 8, 8, 2);
  EXPECT_EQ(m->FFull, 0);

  auto g = Mask(3, 3, 8);
  g->Fill(255);
  g->SetPixel(0, 0, 200);
  EXPECT_EQ(g->FFull, 0);
  g->Fill(254);
  EXPECT_EQ(g->FFull, 0);
}

TEST(MaskTest, ResizeKeepsSharedPixelsAndCutsTheBox) {
  auto m = Mask(10, 6, 1);
  m->SetPixel(5, 2, 1);  // a one-column box: X1 = X2
  m->Resize(4, 6);
  EXPECT_TRUE(m->IsEmpty()) << "nothing of the box remains";
  m->Resize(10, 6);
  EXPECT_EQ(CountSet(*m), 0) << "cut pixels do not come back";

  m->Fill(255);  // padding bits set too
  m->UpdateBounds();
  m->Resize(5, 3);
  EXPECT_EQ(BoxOf(*m), (Box{0, 0, 4, 2}));
  m->Resize(16, 3);
  EXPECT_EQ(CountSet(*m), 15) << "only the 5 x 3 pixels kept";
  EXPECT_EQ(m->FFull, 0);
}

TEST(MaskTest, FillPolygonIsEvenOddWithoutTheLowerAndRightEnds) {
  auto m = Mask(8, 8, 1);
  const TPoint square[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
  m->FillPolygon(1, square, 4);
  EXPECT_EQ(CountSet(*m), 16);
  EXPECT_TRUE(m->IsPointInside(3, 3));
  EXPECT_FALSE(m->IsPointInside(4, 3));
  EXPECT_FALSE(m->IsPointInside(3, 4));
  EXPECT_EQ(BoxOf(*m), (Box{0, 0, 3, 3}));

  // A self-crossing star: the even-odd rule leaves its centre out.
  auto s = Mask(40, 40, 8);
  const TPoint star[] = {{20, 0}, {32, 38}, {0, 14}, {40, 14}, {8, 38}};
  s->FillPolygon(200, star, 5);
  EXPECT_EQ(s->GetPixel(20, 20), 0);
  EXPECT_EQ(s->GetPixel(20, 8), 200);
  EXPECT_EQ(s->GetPixel(4, 15), 200);
}

TEST(MaskTest, FillPolygonsTakesOneValuePerPolygonAndRecomputesFull) {
  auto m = Mask(10, 4, 8);
  const TPoint pts[] = {{0, 0}, {5, 0}, {5, 4}, {0, 4}, {PXPointMarker, 0},
                        {5, 0}, {10, 0}, {10, 4}, {5, 4}, {PXPointMarker, 0}};
  const int32_t values[] = {255, 100};
  m->FillPolygons(0, values, 10, pts);
  EXPECT_EQ(m->GetPixel(2, 2), 255);
  EXPECT_EQ(m->GetPixel(7, 2), 100);
  EXPECT_EQ(m->FFull, 0);
  m->FillPolygons(255, {}, 10, pts);
  EXPECT_EQ(m->FFull, 1);
  EXPECT_EQ(BoxOf(*m), (Box{0, 0, 9, 3}));
}

// Rows far outside are never walked (2e9 rows would not finish).
TEST(MaskTest, PolygonsFarOutsideTheMaskCostNothingAndKeepTheSelection) {
  auto m = Mask(64, 48, 1);
  m->SetPixel(10, 10, 1);
  const TPoint away[] = {{-2000000000, -2000000000}, {-1999999000, -2000000000}, {-1999999000, 2000000000}};
  m->FillPolygon(1, away, 3);
  EXPECT_EQ(BoxOf(*m), (Box{10, 10, 10, 10})) << "no pixel written: the box stays";
  const TPoint below[] = {{0, 2000000000}, {60, 2000000000}, {60, 2100000000}};
  m->FillPolygon(1, below, 3);
  EXPECT_EQ(CountSet(*m), 1);
  // A huge triangle covering the whole mask fills it.
  const TPoint cover[] = {{-2000000000, -2000000000}, {2000000000, -2000000000}, {0, 2000000000}};
  m->FillPolygon(1, cover, 3);
  EXPECT_EQ(CountSet(*m), 64 * 48);
  EXPECT_EQ(BoxOf(*m), (Box{0, 0, 63, 47}));
}

TEST(MaskTest, TranslateMovesTheBoxContent) {
  auto m = Mask(20, 10, 1);
  const TPoint r[] = {{2, 3}, {6, 3}, {6, 5}, {2, 5}};
  m->FillPolygon(1, r, 4);  // X 2..5, rows 3..4
  int32_t dx = -5, dy = 0;
  m->Translate(dx, dy, false);
  EXPECT_EQ(dx, -2) << "reduced so that the box stays inside";
  EXPECT_EQ(BoxOf(*m), (Box{0, 3, 3, 4}));
  EXPECT_TRUE(m->IsPointInside(0, 3));
  EXPECT_FALSE(m->IsPointInside(4, 3));
  EXPECT_EQ(CountSet(*m), 8);

  dx = 18, dy = 6;  // with Clip, what leaves the mask is lost
  m->Translate(dx, dy, true);
  EXPECT_EQ(dx, 18);
  EXPECT_EQ(BoxOf(*m), (Box{18, 9, 19, 9}));
  EXPECT_EQ(CountSet(*m), 2);

  auto g = Mask(6, 6, 8);
  g->SetPixel(1, 1, 77);
  g->SetPixel(2, 1, 99);
  g->UpdateBounds();
  dx = 3, dy = 4;
  g->Translate(dx, dy, false);
  EXPECT_EQ(g->GetPixel(4, 5), 77);
  EXPECT_EQ(g->GetPixel(5, 5), 99);
  EXPECT_EQ(g->GetPixel(1, 1), 0);
}

TEST(MaskTest, IntersectWithAlphaClearsOrLimits) {
  TPXBitmap grey;
  ASSERT_TRUE(grey.Allocate(2, 1, px8g));
  grey.Scanline(0)[0] = 0;
  grey.Scanline(0)[1] = 60;
  auto m = Mask(4, 2, 1);
  m->Fill(255);
  m->UpdateBounds();
  m->IntersectWithAlpha(&grey, 1, 1, true);
  EXPECT_FALSE(m->IsPointInside(1, 1));
  EXPECT_TRUE(m->IsPointInside(2, 1));
  EXPECT_EQ(m->FFull, 0);
  auto g = Mask(4, 2, 8);
  g->Fill(100);
  g->UpdateBounds();
  g->IntersectWithAlpha(&grey, 1, 1, false);
  EXPECT_EQ(g->GetPixel(1, 1), 0);
  EXPECT_EQ(g->GetPixel(2, 1), 60);
  EXPECT_EQ(g->GetPixel(3, 1), 100);
}

// --- copies through a mask ----------------------------------------------------------------------

std::unique_ptr<TPXBitmap> Filled(int32_t w, int32_t h, TPXPixelFormat f, uint8_t v) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, f));
  for (int32_t y = 0; y < h; ++y) std::memset(b->GetScanline(y), v, static_cast<size_t>(b->GetRowLen()));
  return b;
}

TEST(MaskTest, EightBitMaskBlendsAndFormatsMustMatch) {
  auto m = Mask(3, 1, 8);
  m->SetPixel(0, 0, 128);
  m->SetPixel(1, 0, 255);
  auto src = Filled(3, 1, px24RGB, 200);
  auto dst = Filled(3, 1, px24RGB, 100);
  m->CopyBitmapWithMask(dst.get(), src.get(), false, false, false);
  EXPECT_EQ(dst->GetPixelRGB(0, 0), (TRGB{150, 150, 150}));
  EXPECT_EQ(dst->GetPixelRGB(1, 0), (TRGB{199, 199, 199})) << "the blend divides by 256";
  EXPECT_EQ(dst->GetPixelRGB(2, 0), (TRGB{100, 100, 100}));
  auto lower = Filled(3, 1, px24RGB, 100);
  auto higher = Filled(3, 1, px24RGB, 200);
  m->CopyBitmapWithMask(higher.get(), lower.get(), false, false, false);
  EXPECT_EQ(higher->GetPixelRGB(0, 0), (TRGB{150, 150, 150}));

  auto grey = Filled(3, 1, px8g, 200);
  auto target = Filled(3, 1, px24RGB, 100);
  target->GetAlphaChannel();
  m->CopyBitmapWithMask(target.get(), grey.get(), false, false, true);
  EXPECT_EQ(target->GetPixelRGB(0, 0), (TRGB{100, 100, 100})) << "different formats copy nothing";
  EXPECT_EQ(target->GetAlpha(0, 0), 255);
}

TEST(MaskTest, CopyMaskedToThenPasteMaskedIntoRestoresACircle) {
  const int32_t w = 40, h = 30;
  auto src = std::make_unique<TPXBitmap>();
  ASSERT_TRUE(src->Allocate(w, h, px24RGB));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      src->SetPixel24(x, y, TRGB{uint8_t(x * 6), uint8_t(y * 8), uint8_t(x + y)});
      src->SetAlpha(x, y, uint8_t(x * 5 + y));
    }
  // A 1-bit circle of radius 9 about (20, 14), as a polygon.
  auto m = Mask(w, h, 1);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if ((x - 20) * (x - 20) + (y - 14) * (y - 14) <= 81) m->SetPixel(x, y, 1);
  ASSERT_EQ(BoxOf(*m), (Box{11, 5, 29, 23}));

  TPXBitmap piece;
  src->CopyMaskedTo(&piece, m.get());
  ASSERT_EQ(piece.GetWidth(), 19);
  ASSERT_EQ(piece.GetHeight(), 19);
  ASSERT_TRUE(piece.HasAlphaChannel());
  EXPECT_EQ(piece.GetAlpha(0, 0), 0) << "outside the circle";
  EXPECT_EQ(piece.GetAlpha(9, 9), src->GetAlpha(20, 14));

  auto target = Filled(w, h, px24RGB, 7);
  target->GetAlphaChannel()->Fill(255);
  ASSERT_EQ(target->GetAlphaChannel()->FFull, 1);
  piece.PasteMaskedInto(target.get(), m.get());
  EXPECT_EQ(target->GetAlphaChannel()->FFull, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool in = m->IsPointInside(x, y);
      EXPECT_EQ(target->GetPixelRGB(x, y), in ? src->GetPixelRGB(x, y) : (TRGB{7, 7, 7})) << x << "," << y;
      EXPECT_EQ(target->GetAlpha(x, y), in ? src->GetAlpha(x, y) : 255) << x << "," << y;
    }
}

TEST(MaskTest, CopiesStayInsideBitmapsSmallerThanTheMask) {
  auto m = Mask(50, 50, 1);
  m->Fill(255);
  m->UpdateBounds();
  auto small = Filled(5, 4, px8g, 9);
  small->GetAlphaChannel()->Fill(40);
  auto dst = Filled(3, 3, px8g, 1);
  m->CopyBitmapWithMask(dst.get(), small.get(), false, false, true);  // absolute, unclipped
  EXPECT_EQ(dst->GetPixel8(2, 2), 9);
  ASSERT_TRUE(dst->HasAlphaChannel());
  EXPECT_EQ(dst->PeekAlphaChannel()->GetPixel8(2, 2), 40);
}

TEST(MaskTest, NormalizeFloatChangesOnlyPixelsInTheDisplayMask) {
  TPXBitmap b;
  ASSERT_TRUE(b.Allocate(2, 1, px32f));
  b.SetPixel32f(0, 0, -2);
  b.SetPixel32f(1, 0, -1);
  b.FDisplayMask = Mask(2, 1, 1);
  b.FDisplayMask->SetPixel(1, 0, 1);
  b.NormalizeFloat();
  EXPECT_FLOAT_EQ(b.GetPixel32f(0, 0), -2);
  EXPECT_FLOAT_EQ(b.GetPixel32f(1, 0), 1);
  b.FDisplayMask->Clear();  // an empty mask covers everything
  b.NormalizeFloat();
  EXPECT_FLOAT_EQ(b.GetPixel32f(0, 0), 0);
}

// --- drawing for the view -----------------------------------------------------------------------

std::unique_ptr<TBitmap> Canvas24(int32_t w, int32_t h, TColor c) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(c);
  b->Canvas()->FillRect(TRect(0, 0, w, h));
  return b;
}

TEST(MaskTest, PaintOutsideShadesOnlyUnselectedPixels) {
  auto m = Mask(8, 8, 1);
  const TPoint r[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
  m->FillPolygon(1, r, 4);
  auto bmp = Canvas24(16, 16, RGB(200, 100, 50));
  m->PaintOutside(bmp.get(), 0, 0, 16, 16, 0, 0, 8, 8, -1, clBlack);  // zoom 2
  auto px = [&](int32_t x, int32_t y) { return static_cast<uint8_t*>(bmp->ScanLine(y)) + 3 * x; };
  EXPECT_EQ(px(0, 0)[0], 97);  // chequer: even row, even column
  EXPECT_EQ(px(1, 0)[2], 200);
  EXPECT_EQ(px(1, 1)[1], 97);
  EXPECT_EQ(px(5, 5)[0], 50) << "selected pixels are untouched";
  EXPECT_EQ(px(4, 4)[2], 200);
  m->PaintOutside(bmp.get(), 0, 0, 16, 16, 0, 0, 8, 8, 255, RGB(0, 0, 255));
  EXPECT_EQ(px(1, 0)[0], 255);
  EXPECT_EQ(px(1, 0)[2], 0);
  EXPECT_EQ(px(5, 5)[0], 50);
}

TEST(MaskTest, DrawOutlineAndDrawXorMarkTheSelection) {
  auto m = Mask(10, 10, 1);
  const TPoint r[] = {{2, 2}, {7, 2}, {7, 6}, {2, 6}};  // X 2..6, rows 2..5
  m->FillPolygon(1, r, 4);
  auto bmp = Canvas24(10, 10, clWhite);
  TRect bounds;
  m->DrawOutline(bmp->Canvas(), 0, 0, 10, 10, 0, 0, 10, 10, 0, clRed, clBlue, &bounds);
  EXPECT_EQ(bounds, TRect(2, 2, 7, 6));
  auto colour = [&](int32_t x, int32_t y) { return bmp->Canvas()->Pixels(x, y); };
  EXPECT_EQ(colour(2, 2), clRed) << "(x + y + phase) and 4";
  EXPECT_EQ(colour(2, 3), clRed);
  EXPECT_EQ(colour(3, 5), clBlue);
  EXPECT_EQ(colour(6, 5), clBlue);
  EXPECT_EQ(colour(4, 3), clWhite) << "inside pixels have no unselected neighbour";
  EXPECT_EQ(colour(1, 1), clWhite);

  auto x = Canvas24(10, 10, clWhite);
  m->DrawXor(x->Canvas(), 0, 0, 10, 10, 0, 0, 10, 10);
  EXPECT_EQ(x->Canvas()->Pixels(2, 2), clBlack);
  EXPECT_EQ(x->Canvas()->Pixels(6, 5), clBlack);
  EXPECT_EQ(x->Canvas()->Pixels(7, 5), clWhite);
  EXPECT_EQ(x->Canvas()->Pixels(2, 6), clWhite);
}


// --- the bitmap's masked region copy and merge --------------------------------------------------

TEST(MaskTest, CopyMaskedRegionAndMergeThroughMask) {
  // An 8-bit elliptical selection over a 12 x 10 picture with an alpha channel of 200.
  TPXBitmap pic;
  ASSERT_TRUE(pic.Allocate(12, 10, px24RGB));
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) pic.SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 20), 7});
  pic.GetAlphaChannel()->Fill(200);
  auto m = Mask(12, 10, 8);
  for (int32_t y = 2; y <= 7; ++y)
    for (int32_t x = 3; x <= 9; ++x) {
      const double dx = (x - 6) / 3.5, dy = (y - 4.5) / 3.0;
      if (dx * dx + dy * dy <= 1) m->SetPixel(x, y, dx * dx + dy * dy < 0.3 ? 255 : 120);
    }
  TPXBitmap region;
  pic.CopyMaskedRegion(&region, m.get());
  ASSERT_EQ(region.Width(), m->FX2 - m->FX1 + 1);
  ASSERT_EQ(region.Height(), m->FY2 - m->FY1 + 1);
  ASSERT_TRUE(region.HasAlphaChannel());
  for (int32_t y = 0; y < region.Height(); ++y)
    for (int32_t x = 0; x < region.Width(); ++x) {
      const int32_t v = m->GetPixel(x + m->FX1, y + m->FY1);
      EXPECT_EQ(region.GetPixelRGB(x, y), pic.GetPixelRGB(x + m->FX1, y + m->FY1));
      EXPECT_EQ(region.GetAlpha(x, y), v == 0 ? 0 : std::min(v, 200)) << x << "," << y;
    }
  // Merging a white box back: unselected pixels keep theirs, 8-bit values blend, alpha merges.
  TPXBitmap white;
  ASSERT_TRUE(white.Allocate(region.Width(), region.Height(), px24RGB));
  white.Fill(0xFFFFFF);
  white.GetAlphaChannel()->Fill(0);
  auto before = TPXBitmap::CreateCopy(&pic);
  white.MergeThroughMask(&pic, m.get());
  EXPECT_EQ(pic.PeekAlphaChannel()->FFull, 0);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t v = m->GetPixel(x, y);
      const TRGB o = before->GetPixelRGB(x, y);
      auto blend = [&](int32_t d, int32_t s) { return static_cast<uint8_t>(d + (((s - d) * v) >> 8)); };
      EXPECT_EQ(pic.GetPixelRGB(x, y), (TRGB{blend(o.b, 255), blend(o.g, 255), blend(o.r, 255)})) << x << "," << y;
      EXPECT_EQ(pic.GetAlpha(x, y), blend(200, 0));
    }
  // An empty mask does nothing to either.
  auto empty = Mask(12, 10, 1);
  TPXBitmap untouched;
  pic.CopyMaskedRegion(&untouched, empty.get());
  EXPECT_TRUE(untouched.IsEmpty());
  auto copy = TPXBitmap::CreateCopy(&pic);
  white.MergeThroughMask(&pic, empty.get());
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(pic.GetPixelRGB(x, y), copy->GetPixelRGB(x, y));
  // A 1-bit mask copies and takes the source alpha where set.
  auto one = Mask(12, 10, 1);
  one->SetPixel(4, 4, 1);
  one->SetPixel(5, 5, 1);
  pic.CopyMaskedRegion(&region, one.get());
  ASSERT_EQ(region.Width(), 2);
  EXPECT_EQ(region.GetAlpha(0, 0), pic.GetAlpha(4, 4));
  EXPECT_EQ(region.GetAlpha(1, 0), 0);
}

}  // namespace
