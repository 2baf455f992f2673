// Rectangle bitmaps and canvases written back into their parent, the rectangle drawn through
// the bitmap's own canvas, and the shading around an inner rectangle.
#include <gtest/gtest.h>

#include <memory>

#include "core/hypxutils_ui.h"
#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"
#include "platform/gdi/Graphics.h"

namespace {

constexpr TColor kRed = 0x0000FF;

std::unique_ptr<TPXBitmap> Parent(uint8_t B, uint8_t G, uint8_t R) {
  auto p = TPXBitmap::CreateAllocated(64, 48, px24RGB);
  for (int32_t y = 0; y < 48; ++y) {
    uint8_t* row = p->Scanline(y);
    for (int32_t x = 0; x < 64; ++x) {
      row[3 * x] = B;
      row[3 * x + 1] = G;
      row[3 * x + 2] = R;
    }
  }
  return p;
}

// B, G, R of a px24RGB pixel as 0xRRGGBB.
uint32_t At(TPXBitmap* b, int32_t x, int32_t y) {
  const uint8_t* p = b->Scanline(y) + 3 * x;
  return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

TEST(RectCanvas, DrawsInParentCoordinatesAndWritesBackWhenFreed) {
  auto parent = Parent(255, 255, 255);
  auto c = TPXBitmap::CreateRectCanvas(parent.get(), TRect{50, 30, 10, 10}, false, true, false);
  ASSERT_NE(c->Bitmap(), nullptr);
  EXPECT_EQ(c->Bitmap()->Width(), 41);
  EXPECT_EQ(c->Bitmap()->Height(), 21);
  c->Pen()->SetStyle(psClear);
  c->Brush()->SetColor(kRed);
  c->FillRect(TRect{20, 15, 31, 26});  // parent columns 20..29, rows 15..24
  EXPECT_EQ(At(parent.get(), 25, 20), 0xFFFFFFu);  // nothing written yet
  c.reset();
  EXPECT_EQ(At(parent.get(), 20, 15), 0xFF0000u);
  EXPECT_EQ(At(parent.get(), 29, 24), 0xFF0000u);
  EXPECT_EQ(At(parent.get(), 30, 24), 0xFFFFFFu);
  EXPECT_EQ(At(parent.get(), 19, 15), 0xFFFFFFu);
  EXPECT_EQ(At(parent.get(), 25, 25), 0xFFFFFFu);
  EXPECT_EQ(At(parent.get(), 10, 10), 0xFFFFFFu);
}

TEST(RectCanvas, TransparentOneCompositesWithItsAlpha) {
  auto parent = Parent(200, 0, 0);  // blue
  auto c = TPXBitmap::CreateRectCanvas(parent.get(), TRect{10, 10, 50, 30}, false, true, true);
  c->Pen()->SetStyle(psClear);
  c->Brush()->SetColor(kRed);
  c->FillRect(TRect{20, 15, 31, 26});
  c.reset();
  EXPECT_EQ(At(parent.get(), 25, 20), 0xFF0000u);  // drawn: opaque
  EXPECT_EQ(At(parent.get(), 12, 12), 0x0000C8u);  // inside the rectangle, not drawn: kept
  EXPECT_EQ(At(parent.get(), 45, 28), 0x0000C8u);
  EXPECT_EQ(At(parent.get(), 5, 5), 0x0000C8u);
}

TEST(RectCanvas, ParentFreedFirstDetachesItsRectangleBitmaps) {
  auto parent = Parent(255, 255, 255);
  auto child = TPXBitmap::CreateRectBitmap(parent.get(), TRect{10, 10, 20, 20}, px8g, false);
  auto canvas = TPXBitmap::CreateRectCanvas(parent.get(), TRect{0, 0, 30, 30}, true, true, true);
  EXPECT_EQ(child->ParentBitmap(), parent.get());
  EXPECT_EQ(child->PixelFormat(), px8g);
  parent.reset();
  EXPECT_EQ(child->ParentBitmap(), nullptr);
  canvas->FillRect(TRect{0, 0, 10, 10});
  canvas.reset();  // writes nothing: ASan would see a write into the freed parent
  child.reset();

  // A child freed first leaves the parent's list.
  auto p2 = Parent(255, 255, 255);
  auto c2 = TPXBitmap::CreateRectBitmap(p2.get(), TRect{0, 0, 5, 5}, pxNoFormat, false);
  c2.reset();
  EXPECT_TRUE(p2->FRectBitmaps.empty());
}

TEST(RectCanvas, DrawRectangleThroughTheBitmapsCanvas) {
  auto bmp = Parent(255, 255, 255);
  bmp->DrawRectangle(10, 10, 20, 30, clNone, 1, 255, kRed, 255);
  EXPECT_EQ(bmp->Location(), pxTBitmap);
  // Antialiased: 9 x 19 pixels of area from (10, 10), the edge pixels half covered.
  EXPECT_EQ(At(bmp.get(), 11, 11), 0xFF0000u);
  EXPECT_EQ(At(bmp.get(), 18, 28), 0xFF0000u);
  EXPECT_NE(At(bmp.get(), 10, 20), 0xFF0000u);
  EXPECT_NE(At(bmp.get(), 10, 20), 0xFFFFFFu);
  EXPECT_EQ(At(bmp.get(), 20, 20), 0xFFFFFFu);
  EXPECT_EQ(At(bmp.get(), 15, 30), 0xFFFFFFu);
  EXPECT_NE(bmp->GetPXCanvas(), nullptr);
  EXPECT_EQ(bmp->GetPXCanvas(), bmp->GetPXCanvas());  // made once
}

TEST(RectCanvas, ShadeOutsideRectDarkensExactlyTheFourStrips) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(100, 80);
  b.Canvas()->Brush()->SetColor(clWhite);
  b.Canvas()->FillRect(TRect{0, 0, 100, 80});
  ShadeOutsideRect(b.Canvas(), 0, 0, 100, 80, 20, 10, 60, 50);
  const TColor shade = b.Canvas()->Pixels(0, 0);
  EXPECT_NE(shade, clWhite);
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) {
      const bool inner = x >= 21 && x <= 59 && y >= 11 && y <= 50;
      ASSERT_EQ(b.Canvas()->Pixels(x, y), inner ? clWhite : shade) << x << "," << y;
    }
  ShadeOutsideRect(b.Canvas(), 0, 0, 100, 80, 60, 10, 60, 50);  // empty inner rectangle: nothing
  EXPECT_EQ(b.Canvas()->Pixels(40, 30), clWhite);
}

}  // namespace
