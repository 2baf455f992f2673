// TPXBitmap geometry that keeps the content: canvas resize, borders, crops, moving a rectangle,
// cropping to the opaque part and the mirror.
#include <gtest/gtest.h>

#include "core/pxxBitmaps.h"

namespace {

// A W x H px24RGB picture whose pixel (x, y) holds blue x + 1, green y + 1, red 200.
std::unique_ptr<TPXBitmap> Numbered(int32_t W, int32_t H) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x)
      b->SetPixel24(x, y, {static_cast<uint8_t>(x + 1), static_cast<uint8_t>(y + 1), 200});
  return b;
}

// Whether (X, Y) holds the source pixel (SX, SY) of Numbered.
bool Holds(TPXBitmap* B, int32_t X, int32_t Y, int32_t SX, int32_t SY) {
  const TRGB c = B->GetPixelRGB(X, Y);
  return c.b == SX + 1 && c.g == SY + 1 && c.r == 200;
}

bool IsFill(TPXBitmap* B, int32_t X, int32_t Y) {
  const TRGB c = B->GetPixelRGB(X, Y);
  return c.b == 0 && c.g == 0 && c.r == 0;
}

TEST(BitmapGeometryTest, ResizeCanvasGrowsAroundTheContent) {
  auto b = Numbered(100, 100);
  b->GetAlphaChannel()->Fill(128);
  b->ResizeCanvas(200, 100, 0, 255, 1, 1);
  ASSERT_EQ(b->Width(), 200);
  ASSERT_EQ(b->Height(), 100);
  ASSERT_EQ(b->AlphaChannel()->Width(), 200);
  for (int32_t y : {0, 57, 99}) {
    for (int32_t x : {0, 49, 150, 199}) {
      EXPECT_TRUE(IsFill(b.get(), x, y)) << x << "," << y;
      EXPECT_EQ(b->GetAlpha(x, y), 255);
    }
    for (int32_t x : {50, 99, 149}) {
      EXPECT_TRUE(Holds(b.get(), x, y, x - 50, y)) << x << "," << y;
      EXPECT_EQ(b->GetAlpha(x, y), 128);
    }
  }
  // Growing with a transparent fill: the alpha channel is no longer fully opaque.
  auto c = Numbered(4, 4);
  c->GetAlphaChannel();
  c->ResizeCanvas(6, 7, 0, 0, 2, 2);
  EXPECT_FALSE(c->AlphaChannel()->FFull);
  EXPECT_TRUE(Holds(c.get(), 2, 3, 0, 0));
  EXPECT_EQ(c->GetAlpha(1, 3), 0);
  EXPECT_EQ(c->GetAlpha(2, 3), 255);
}

TEST(BitmapGeometryTest, ResizeCanvasShrinksByPosition) {
  struct Case {
    int32_t pos;
    int32_t firstKept;
  };
  for (const Case& k : {Case{0, 0}, Case{1, 25}, Case{2, 50}}) {
    auto b = Numbered(100, 100);
    b->ResizeCanvas(50, 100, 0, 255, k.pos, k.pos);
    ASSERT_EQ(b->Width(), 50);
    EXPECT_TRUE(Holds(b.get(), 0, 7, k.firstKept, 7)) << k.pos;
    EXPECT_TRUE(Holds(b.get(), 49, 99, k.firstKept + 49, 99)) << k.pos;
  }
  // Rows shrink the same way, together with columns.
  auto b = Numbered(10, 10);
  b->ResizeCanvas(4, 6, 0, 255, 2, 1);
  ASSERT_EQ(b->Height(), 6);
  EXPECT_TRUE(Holds(b.get(), 0, 0, 6, 2));
  EXPECT_TRUE(Holds(b.get(), 3, 5, 9, 7));
}

TEST(BitmapGeometryTest, ResizeCanvasIgnoresSameAndEmptySizes) {
  auto b = Numbered(5, 5);
  for (auto [w, h] : {std::pair{5, 5}, {0, 5}, {5, -3}}) {
    b->ResizeCanvas(w, h, 0, 255, 1, 1);
    EXPECT_EQ(b->Width(), 5);
    EXPECT_EQ(b->Height(), 5);
    EXPECT_TRUE(Holds(b.get(), 4, 4, 4, 4));
  }
  TPXBitmap empty;
  empty.ResizeCanvas(10, 10, 0, 255, 0, 0);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(BitmapGeometryTest, AddBorders) {
  auto b = Numbered(100, 20);
  b->AddBorders(-100, 0, 10, 0, 0x0000FF, 255);
  ASSERT_EQ(b->Width(), 10);
  ASSERT_EQ(b->Height(), 20);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(b->GetPixelRGB(x, 19).r, 255);

  auto c = Numbered(8, 6);
  c->AddBorders(5, 5, 5, 5, 0, 255);
  ASSERT_EQ(c->Width(), 18);
  ASSERT_EQ(c->Height(), 16);
  EXPECT_TRUE(Holds(c.get(), 5, 5, 0, 0));
  EXPECT_TRUE(Holds(c.get(), 12, 10, 7, 5));
  EXPECT_TRUE(IsFill(c.get(), 4, 5));
  EXPECT_TRUE(IsFill(c.get(), 13, 10));
  EXPECT_TRUE(IsFill(c.get(), 12, 11));

  // Negative borders remove.
  auto d = Numbered(8, 6);
  d->AddBorders(-2, -1, -3, 0, 0, 255);
  ASSERT_EQ(d->Width(), 3);
  ASSERT_EQ(d->Height(), 5);
  EXPECT_TRUE(Holds(d.get(), 0, 0, 2, 1));
}

TEST(BitmapGeometryTest, CropPadsOutside) {
  auto b = Numbered(30, 30);
  b->GetAlphaChannel()->Fill(90);
  b->Crop(-10, -10, 9, 9, clRed);
  ASSERT_EQ(b->Width(), 20);
  ASSERT_EQ(b->Height(), 20);
  EXPECT_TRUE(Holds(b.get(), 10, 10, 0, 0));
  EXPECT_TRUE(Holds(b.get(), 19, 19, 9, 9));
  for (auto [x, y] : {std::pair{0, 0}, {9, 19}, {19, 9}}) {
    const TRGB c = b->GetPixelRGB(x, y);
    EXPECT_TRUE(c.r == 255 && c.g == 0 && c.b == 0) << x << "," << y;
    EXPECT_EQ(b->GetAlpha(x, y), 255);  // outside the old picture: opaque
  }
  EXPECT_EQ(b->GetAlpha(15, 15), 90);
  ASSERT_EQ(b->AlphaChannel()->Width(), 20);

  // The whole picture, or an inverted rectangle: nothing.
  auto c = Numbered(4, 4);
  c->Crop(0, 0, 3, 3, clRed);
  c->CropRect(TRect(3, 0, 2, 3), clRed);
  EXPECT_EQ(c->Width(), 4);
  c->CropRect(TRect(1, 1, 2, 3), 0x1FFFFFFF);
  EXPECT_EQ(c->Width(), 2);
  EXPECT_EQ(c->Height(), 3);
  EXPECT_TRUE(Holds(c.get(), 0, 0, 1, 1));
}

TEST(BitmapGeometryTest, CropKeepsPaletteAndOneBitPixels) {
  auto b = TPXBitmap::CreateAllocated(20, 3, px1g);
  b->Fill(0);
  SetPixelBit(b->Scanline(1), 13, 1);
  b->Crop(10, 1, 17, 1, 0);
  ASSERT_EQ(b->Width(), 8);
  ASSERT_EQ(b->PixelFormat(), px1g);
  EXPECT_NE(GetPixelBit(b->Scanline(0), 3), 0);
  EXPECT_EQ(GetPixelBit(b->Scanline(0), 2), 0);

  auto p = TPXBitmap::CreateAllocated(4, 4, px8p);
  p->SetPaletteColor(3, {1, 2, 3});
  p->Fill(3);
  p->Crop(1, 1, 2, 2, 0x1FFFFFFF);
  TRGB c;
  p->GetPaletteColor(3, c);
  EXPECT_EQ(c.r, 3);
  EXPECT_EQ(p->GetPixel8(0, 0), 3);
}

TEST(BitmapGeometryTest, MoveRect) {
  auto b = Numbered(6, 4);
  b->MoveRect(0, 0, 1, 1, 3, 2, 0, true);
  EXPECT_TRUE(Holds(b.get(), 3, 2, 0, 0));
  EXPECT_TRUE(Holds(b.get(), 4, 3, 1, 1));
  EXPECT_TRUE(IsFill(b.get(), 0, 0));
  EXPECT_TRUE(Holds(b.get(), 2, 0, 2, 0));
  // Partly outside: only the inside part moves; overlapping moves are safe.
  auto c = Numbered(6, 4);
  c->MoveRect(-2, 0, 2, 0, 1, 0, 0, false);
  EXPECT_TRUE(Holds(c.get(), 3, 0, 0, 0));
  EXPECT_TRUE(Holds(c.get(), 5, 0, 2, 0));
  c->MoveRect(10, 10, 12, 12, 0, 0, 0, true);  // nothing inside
  EXPECT_TRUE(Holds(c.get(), 0, 1, 0, 1));
}

TEST(BitmapGeometryTest, CropTransparent) {
  auto b = Numbered(10, 8);
  TPXBitmap* alpha = b->GetAlphaChannel();
  alpha->Fill(0);
  alpha->FillRect(3, 2, 5, 6, 200);
  EXPECT_TRUE(b->CropTransparent());
  ASSERT_EQ(b->Width(), 3);
  ASSERT_EQ(b->Height(), 5);
  EXPECT_TRUE(Holds(b.get(), 0, 0, 3, 2));
  EXPECT_EQ(b->GetAlpha(2, 4), 200);

  auto c = Numbered(4, 4);
  c->GetAlphaChannel()->Fill(0);
  EXPECT_FALSE(c->CropTransparent());
  EXPECT_EQ(c->Width(), 4);
}

TEST(BitmapGeometryTest, FlipMirrorsAndNotifies) {
  auto b = Numbered(3, 2);
  b->GetAlphaChannel()->SetPixel8(0, 0, 7);
  int changes = 0;
  b->SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  b->Flip(pxfdHorizontal);
  EXPECT_TRUE(Holds(b.get(), 0, 0, 2, 0));
  EXPECT_EQ(b->GetAlpha(2, 0), 7);
  b->Flip(pxfdVertical);
  EXPECT_TRUE(Holds(b.get(), 0, 1, 2, 0));
  EXPECT_GE(changes, 2);
}

}  // namespace
