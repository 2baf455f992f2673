// Gradients, transparent bitmaps and the parent's background.
#include <gtest/gtest.h>

#include <memory>

#include <set>

#include "controls/CvGrafx.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

using enum TGradientDirection;

constexpr TGradientDirection kAllDirections[] = {gdDiagonalUp,     gdDiagonalDown, gdHorizontalEnd, gdHorizontalCenter,
                                                 gdHorizontalBox,  gdVerticalEnd,  gdVerticalCenter, gdVerticalBox,
                                                 gdSquareBox,      gdBigSquareBox};

uint8_t Grey(TColorRef c) { return GetRValue(c); }

TEST(CvGradients, HorizontalEndStopsOneStepShortOfTheStart) {
  TestSurface s(5, 3);
  PaintGradientRect(s.Canvas(), TRect(0, 0, 5, 3), gdHorizontalEnd, clWhite, clBlack, 1);
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(s.At(x, 0), Rgb(170, 170, 170));
    EXPECT_EQ(s.At(x, 1), Rgb(85, 85, 85));
    EXPECT_EQ(s.At(x, 2), Rgb(0, 0, 0));
  }
  // Across the width in the vertical direction, placed at the rectangle's corner.
  TestSurface v(6, 4);
  PaintGradientRect(v.Canvas(), TRect(2, 1, 5, 4), gdVerticalEnd, clWhite, clBlack, 1);
  EXPECT_EQ(v.At(2, 1), Rgb(170, 170, 170));
  EXPECT_EQ(v.At(4, 3), Rgb(0, 0, 0));
  EXPECT_EQ(v.At(1, 1), Rgb(clFuchsia));
  EXPECT_EQ(v.At(5, 1), Rgb(clFuchsia));
  EXPECT_EQ(v.At(2, 0), Rgb(clFuchsia));
}

// Gradients of rows repainted on 32-bit bitmaps (which small ones reach as one copy) match the
// same gradients filled band by band on a 24-bit bitmap, whatever was painted between them, and
// keep to the canvas's clip.
TEST(CvGradients, RowGradientsRepaintAlikeAndKeepToTheClip) {
  struct TCase {
    TGradientDirection Direction;
    TColor Start, Stop;
  };
  const TCase cases[] = {{gdHorizontalEnd, clRed, clBlue},   {gdHorizontalCenter, clRed, clBlue},
                         {gdHorizontalEnd, clWhite, clBlack}, {gdHorizontalEnd, clRed, clBlue},
                         {gdHorizontalCenter, clWhite, clNavy}, {gdHorizontalCenter, clRed, clBlue}};
  const TRect bounds(2, 3, 27, 40);
  for (bool clipped : {false, true})
    for (const TCase& c : cases) {
      TestSurface s(30, 44), reference(30, 44);
      reference.Bitmap.SetPixelFormat(pf24bit);
      if (clipped) IntersectClipRect(s.Canvas()->Handle(), 5, 10, 20, 30);
      PaintGradientRect(s.Canvas(), bounds, c.Direction, c.Start, c.Stop, 1);
      PaintGradientRect(reference.Canvas(), bounds, c.Direction, c.Start, c.Stop, 1);
      SelectClipRgn(s.Canvas()->Handle(), nullptr);  // pixels outside a clip do not read back
      for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 30; ++x) {
          const bool shown = !clipped || (x >= 5 && x < 20 && y >= 10 && y < 30);
          ASSERT_EQ(s.At(x, y), shown ? reference.At(x, y) : Rgb(clFuchsia))
              << static_cast<int>(c.Direction) << (clipped ? " clipped " : " ") << x << "," << y;
        }
    }
}

TEST(CvGradients, EqualColoursAndEmptyRectangles) {
  for (TGradientDirection d : kAllDirections) {
    TestSurface s(23, 17);
    PaintGradientRect(s.Canvas(), TRect(0, 0, 23, 17), d, clTeal, clTeal, 1);
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 23; ++x) ASSERT_EQ(s.At(x, y), Rgb(clTeal)) << static_cast<int>(d) << " " << x << "," << y;
    TestSurface e(4, 4);
    PaintGradientRect(e.Canvas(), TRect(1, 1, 1, 4), d, clRed, clBlue, 1);
    PaintGradientRect(e.Canvas(), TRect(0, 2, 4, 2), d, clRed, clBlue, 1);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) ASSERT_EQ(e.At(x, y), Rgb(clFuchsia)) << static_cast<int>(d);
  }
}

TEST(CvGradients, SmallBoxesAreSolidStartColour) {
  for (TGradientDirection d : {gdHorizontalBox, gdVerticalBox, gdSquareBox, gdBigSquareBox})
    for (TSize size : {TSize(4, 20), TSize(20, 4), TSize(1, 1), TSize(3, 3)}) {
      TestSurface s(size.cx, size.cy);
      PaintGradientRect(s.Canvas(), TRect(0, 0, size.cx, size.cy), d, clRed, clBlue, 1);
      for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x) ASSERT_EQ(s.At(x, y), Rgb(clRed)) << static_cast<int>(d);
    }
}

// Centre gradients of 1, 2 and 3 lines: no pass of 0 lines, the centre line in the stop colour,
// and a one-pixel vertical gradient stays vertical.
TEST(CvGradients, NarrowCentreGradients) {
  for (int n : {1, 2, 3}) {
    TestSurface h(4, n), v(n, 4);
    PaintGradientRect(h.Canvas(), TRect(0, 0, 4, n), gdHorizontalCenter, clWhite, clBlack, 1);
    PaintGradientRect(v.Canvas(), TRect(0, 0, n, 4), gdVerticalCenter, clWhite, clBlack, 1);
    const int m = n / 2;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(h.At(i, m), Rgb(clBlack)) << n;
      EXPECT_EQ(v.At(m, i), Rgb(clBlack)) << n;
    }
    if (n >= 2) {
      EXPECT_EQ(h.At(0, 0), Rgb(127, 127, 127)) << n;  // one step of two from the stop colour
      EXPECT_EQ(v.At(0, 3), Rgb(127, 127, 127)) << n;
    }
    if (n == 3) {
      EXPECT_EQ(h.At(0, 2), Rgb(clWhite));
      EXPECT_EQ(v.At(2, 0), Rgb(clWhite));
    }
  }
}

TEST(CvGradients, DiagonalBandsAreStraight) {
  const int W = 40, H = 40;
  TestSurface up(W, H), down(W, H);
  PaintGradientRect(up.Canvas(), TRect(0, 0, W, H), gdDiagonalUp, clWhite, clBlack, 1);
  PaintGradientRect(down.Canvas(), TRect(0, 0, W, H), gdDiagonalDown, clWhite, clBlack, 1);
  // Start in one corner, stop in the opposite one, the other two half way.
  EXPECT_EQ(up.At(0, H - 1), Rgb(clWhite));
  EXPECT_LE(Grey(up.At(W - 1, 0)), 16);
  EXPECT_NEAR(Grey(up.At(0, 0)), 128, 8);
  EXPECT_EQ(down.At(W - 1, H - 1), Rgb(clBlack));
  EXPECT_GE(Grey(down.At(0, 0)), 239);
  // On a square the bands run at right angles to the direction, darker towards the stop corner.
  for (int y = 1; y < H; ++y)
    for (int x = 0; x + 1 < W; ++x) {
      ASSERT_EQ(up.At(x, y - 1), up.At(x + 1, y)) << x << "," << y;
      ASSERT_LE(Grey(up.At(x + 1, y)), Grey(up.At(x, y)));
      ASSERT_EQ(down.At(x, y), down.At(x + 1, y - 1)) << x << "," << y;
      ASSERT_LE(Grey(down.At(x + 1, y)), Grey(down.At(x, y)));
    }
}

// Sizes without a large common factor are rendered row by row: the same corners and order.
TEST(CvGradients, DiagonalOfCoprimeSizes) {
  const int W = 41, H = 29;
  TestSurface up(W, H), down(W, H);
  PaintGradientRect(up.Canvas(), TRect(0, 0, W, H), gdDiagonalUp, clWhite, clBlack, 1);
  PaintGradientRect(down.Canvas(), TRect(0, 0, W, H), gdDiagonalDown, clWhite, clBlack, 1);
  EXPECT_EQ(up.At(0, H - 1), Rgb(clWhite));
  EXPECT_LE(Grey(up.At(W - 1, 0)), 16);
  EXPECT_EQ(down.At(W - 1, H - 1), Rgb(clBlack));
  EXPECT_GE(Grey(down.At(0, 0)), 239);
  for (int y = 1; y < H; ++y)
    for (int x = 0; x + 1 < W; ++x) {
      ASSERT_LE(Grey(up.At(x + 1, y)), Grey(up.At(x, y)));
      ASSERT_LE(Grey(up.At(x, y - 1)), Grey(up.At(x, y)));
      ASSERT_LE(Grey(down.At(x + 1, y)), Grey(down.At(x, y)));
      ASSERT_LE(Grey(down.At(x, y)), Grey(down.At(x, y - 1)));
    }
}

TEST(CvGradients, BoxesAreSymmetric) {
  for (TGradientDirection d : {gdHorizontalBox, gdVerticalBox, gdSquareBox, gdBigSquareBox})
    for (TSize size : {TSize(30, 20), TSize(31, 21)}) {
      const int W = size.cx, H = size.cy;
      TestSurface s(W, H);
      PaintGradientRect(s.Canvas(), TRect(0, 0, W, H), d, clWhite, clBlack, 1);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          ASSERT_NE(s.At(x, y), Rgb(clFuchsia)) << static_cast<int>(d);
          ASSERT_EQ(s.At(x, y), s.At(W - 1 - x, y)) << static_cast<int>(d) << " " << x << "," << y;
          ASSERT_EQ(s.At(x, y), s.At(x, H - 1 - y)) << static_cast<int>(d) << " " << x << "," << y;
        }
      // The stop colour in the centre, lighter outwards, the lightest at the corners.
      EXPECT_EQ(s.At((W - 1) / 2, (H - 1) / 2), Rgb(clBlack)) << static_cast<int>(d);
      for (int i = 1; i <= (H - 1) / 2; ++i)
        ASSERT_GE(Grey(s.At((W - 1) / 2 - i, (H - 1) / 2 - i)), Grey(s.At((W - 1) / 2 - i + 1, (H - 1) / 2 - i + 1)));
      EXPECT_GE(Grey(s.At(0, 0)), 220) << static_cast<int>(d);
    }
}

// ---------------------------------------------------------------------------------------------
// Transparent bitmaps

// A 16 x 16 bitmap whose pixels tell their position; (0, 0) is the transparent colour.
void PatternBitmap(TBitmap& b, int W = 16, int H = 16) {
  b.SetSize(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b.Canvas()->SetPixels(x, y, static_cast<TColor>(Rgb(x * 10, y * 10, 77)));
  b.Canvas()->SetPixels(0, 0, clLime);
}

TEST(CvTransparentBitmaps, TileCutsTheLastRowAndColumn) {
  TBitmap b;
  PatternBitmap(b);
  TestSurface s(50, 30);
  TileTransparentBitmap(s.Canvas(), &b, TRect(0, 0, 40, 20), clLime);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 50; ++x) {
      TColorRef expected = Rgb(clFuchsia);
      if (x < 40 && y < 20 && (x % 16 || y % 16)) expected = Rgb((x % 16) * 10, (y % 16) * 10, 77);
      ASSERT_EQ(s.At(x, y), expected) << x << "," << y;
    }
  // An empty bitmap draws nothing (and does not loop).
  TBitmap empty;
  TileTransparentBitmap(s.Canvas(), &empty, TRect(0, 0, 40, 20), clLime);
  TBitmap thin;
  thin.SetSize(0, 5);
  TileTransparentBitmap(s.Canvas(), &thin, TRect(0, 0, 40, 20), clLime);
}

TEST(CvTransparentBitmaps, CopyKeepsTheCanvasUnderTransparentPixels) {
  for (TColor transparent : {clLime, clBlack}) {
    TBitmap b;
    PatternBitmap(b, 4, 4);
    b.Canvas()->SetPixels(3, 3, transparent);
    b.Canvas()->SetPixels(0, 0, transparent);
    TestSurface s(10, 10);
    CopyTransparentRect(s.Canvas(), &b, TRect(2, 2, 6, 6), TRect(0, 0, 4, 4), transparent);
    EXPECT_EQ(s.At(2, 2), Rgb(clFuchsia));
    EXPECT_EQ(s.At(5, 5), Rgb(clFuchsia));
    EXPECT_EQ(s.At(3, 2), Rgb(10, 0, 77));
    EXPECT_EQ(s.At(2, 4), Rgb(0, 20, 77));
    EXPECT_EQ(s.Canvas()->CopyMode(), cmSrcPaint);
    // Stretched: the whole bitmap doubled.
    TestSurface t(8, 8);
    StretchTransparentBitmap(t.Canvas(), &b, TRect(0, 0, 8, 8), transparent);
    EXPECT_EQ(t.At(1, 1), Rgb(clFuchsia));
    EXPECT_EQ(t.At(2, 0), Rgb(10, 0, 77));
    EXPECT_EQ(t.At(7, 7), Rgb(clFuchsia));
  }
}

TEST(CvTransparentBitmaps, DrawGoesToTheCanvasOrigin) {
  TBitmap b;
  PatternBitmap(b, 4, 4);
  TestSurface s(10, 10);
  DrawTransparentBitmap(s.Canvas(), &b, TRect(5, 5, 9, 9), TRect(0, 0, 4, 4), clLime);
  EXPECT_EQ(s.At(0, 0), Rgb(clFuchsia));
  EXPECT_EQ(s.At(1, 0), Rgb(10, 0, 77));
  EXPECT_EQ(s.At(6, 6), Rgb(clFuchsia));
}

// What a draw keeps of its source serves only the same pixels: a source changed behind the
// bitmap's back (scan lines, its DC), another transparent colour or another part draw anew.
TEST(CvTransparentBitmaps, RepeatedDrawsFollowEveryChangeOfTheSource) {
  TBitmap b;
  PatternBitmap(b, 4, 4);
  auto draw = [&](TColor transparent, const TRect& source = TRect(0, 0, 4, 4)) {
    auto s = std::make_unique<TestSurface>(10, 10);
    DrawTransparentBitmap(s->Canvas(), &b, TRect(0, 0, 4, 4), source, transparent);
    return s;
  };
  EXPECT_EQ(draw(clLime)->At(1, 0), Rgb(10, 0, 77));
  EXPECT_EQ(draw(clLime)->At(1, 0), Rgb(10, 0, 77));
  static_cast<uint32_t*>(b.ScanLine(0))[1] = 0x00123456;  // B, G, R: (0x12, 0x34, 0x56) as R, G, B
  EXPECT_EQ(draw(clLime)->At(1, 0), Rgb(0x12, 0x34, 0x56));
  SetPixel(b.Canvas()->Handle(), 1, 0, Rgb(200, 100, 50));
  EXPECT_EQ(draw(clLime)->At(1, 0), Rgb(200, 100, 50));
  EXPECT_EQ(draw(clLime)->At(0, 0), Rgb(clFuchsia));
  EXPECT_EQ(draw(static_cast<TColor>(Rgb(200, 100, 50)))->At(1, 0), Rgb(clFuchsia));
  EXPECT_EQ(draw(static_cast<TColor>(Rgb(200, 100, 50)))->At(0, 0), Rgb(clLime));
  EXPECT_EQ(draw(clLime, TRect(1, 1, 5, 5))->At(0, 0), Rgb(10, 10, 77));
}

// ---------------------------------------------------------------------------------------------
// The parent's background

class ParentBackgroundTest : public FormsTest {};

class TProbe : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  bool Transparent = false;

 protected:
  void Paint() override {
    if (Transparent) PaintParentBackground(this, Canvas(), true);
  }
};

TEST_F(ParentBackgroundTest, PaintsTheFormUnderTheChildWithoutInvalidatingIt) {
  auto form = NewForm(200, 100);
  form->SetColor(clTeal);
  form->SetOnPaint([&form](TObject*) {
    form->Canvas()->Brush()->SetColor(clRed);
    form->Canvas()->FillRect(TRect(50, 30, 60, 40));
  });
  auto* probe = new TProbe(form.get());  // owned by the form
  probe->SetBounds(40, 20, 30, 30);
  probe->SetParent(form.get());
  probe->Transparent = true;
  Pump();
  EXPECT_EQ(Pixel(probe, 0, 0), Rgb(clTeal));
  EXPECT_EQ(Pixel(probe, 10, 10), Rgb(clRed));
  EXPECT_EQ(Pixel(probe, 19, 19), Rgb(clRed));
  EXPECT_EQ(Pixel(probe, 20, 20), Rgb(clTeal));
  // The form (a form is never invalidated for it) has nothing left to paint.
  probe->Repaint();
  TRect update;
  EXPECT_FALSE(GetUpdateRect(form->Handle(), &update, FALSE));
  // Without a parent nothing happens.
  TProbe orphan(nullptr);
  TestSurface s(4, 4);
  PaintParentBackground(&orphan, s.Canvas(), true);
  EXPECT_EQ(s.At(0, 0), Rgb(clFuchsia));
}

}  // namespace
