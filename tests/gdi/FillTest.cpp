// Rectangle fills, pixels, brushes, focus rectangles, gradients and flood fills.
#include <functional>

#include "platform/gdi/WinGdi_text.h"
#include "tests/gdi/GdiTestSupport.h"

TEST(GdiFill, FillRectCoversLeftToRightMinusOne) {
  TestCanvas c(6, 5);
  HBRUSH b = CreateSolidBrush(0);
  EXPECT_TRUE(FillRect(c.dc(), TRect(1, 1, 4, 3), b));
  EXPECT_TRUE(FillRect(c.dc(), TRect(5, 4, 5, 6), b));  // empty: nothing
  EXPECT_TRUE(FillRect(c.dc(), TRect(4, 4, 2, 5), b));  // inverted: nothing
  EXPECT_EQ(c.Map(), Rows({"......", ".###..", ".###..", "......", "......"}));
  DeleteObject(b);
}

TEST(GdiFill, FrameRectPaintsTheOuterPixelsOfTheBox) {
  TestCanvas c(11, 11);
  HBRUSH b = CreateSolidBrush(0);
  FrameRect(c.dc(), TRect(0, 0, 10, 10), b);
  for (int32_t i = 0; i < 11; ++i) {
    for (int32_t j = 0; j < 11; ++j) {
      const bool frame = (i == 0 || i == 9 || j == 0 || j == 9) && i < 10 && j < 10;
      EXPECT_EQ(c.At(i, j), frame ? 0u : 0xFFFFFFu) << i << "," << j;
    }
  }
  DeleteObject(b);
}

TEST(GdiFill, FillRectTakesSystemColourIndexesAndIgnoresRop2) {
  TestCanvas c(4, 1);
  SetROP2(c.dc(), R2_NOT);
  FillRect(c.dc(), TRect(0, 0, 2, 1), reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1)));
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(c.At(2, 0), 0xFFFFFFu);
}

TEST(GdiFill, InvertRectTwiceRestores) {
  TestCanvas c(5, 5, 8);
  c.surface().SetPixel(2, 2, 0x0000FF);
  const auto before = c.Bytes();
  InvertRect(c.dc(), TRect(1, 1, 4, 4));
  EXPECT_NE(c.Bytes(), before);
  InvertRect(c.dc(), TRect(1, 1, 4, 4));
  EXPECT_EQ(c.Bytes(), before);
}

TEST(GdiFill, PatBltRopsWithoutSource) {
  struct Case {
    DWORD rop;
    COLORREF brush, dst, expect;
  } cases[] = {
      {PATCOPY, 0x0000FF, 0xFFFFFF, 0x0000FF},   {PATINVERT, 0x0000FF, 0xFFFFFF, 0xFFFF00},
      {DSTINVERT, 0x0000FF, 0x00FF00, 0xFF00FF}, {BLACKNESS, 0x0000FF, 0xFFFFFF, 0x000000},
      {WHITENESS, 0x0000FF, 0x000000, 0xFFFFFF}, {0x00A000C9 /*PATAND*/, 0x00FFFF, 0xFF00FF, 0x0000FF},
  };
  for (const Case& k : cases) {
    TestCanvas c(3, 1);
    c.Clear(k.dst);
    HBRUSH b = CreateSolidBrush(k.brush);
    HGDIOBJ old = SelectObject(c.dc(), b);
    EXPECT_TRUE(PatBlt(c.dc(), 1, 0, 1, 1, k.rop));
    EXPECT_EQ(c.At(1, 0), k.expect) << std::hex << k.rop;
    EXPECT_EQ(c.At(0, 0), k.dst);
    SelectObject(c.dc(), old);
    DeleteObject(b);
  }
  TestCanvas c(3, 1);
  EXPECT_FALSE(PatBlt(c.dc(), 0, 0, 1, 1, SRCCOPY));  // needs a source
  EXPECT_TRUE(PatBlt(c.dc(), 3, 1, -2, -1, BLACKNESS));  // negative extents cover x+w..x-1
  EXPECT_EQ(c.Map(), Rows({".##"}));
}

TEST(GdiFill, PixelsAndFormats) {
  for (int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
    TestCanvas c(9, 2, bits);
    EXPECT_EQ(SetPixel(c.dc(), 3, 1, 0), 0u) << bits;
    EXPECT_TRUE(SetPixelV(c.dc(), 8, 0, 0));
    EXPECT_EQ(GetPixel(c.dc(), 3, 1), 0u);
    EXPECT_EQ(GetPixel(c.dc(), 8, 0), 0u);
    EXPECT_EQ(GetPixel(c.dc(), 2, 1), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(c.dc(), 9, 0), CLR_INVALID);
    EXPECT_EQ(SetPixel(c.dc(), -1, 0, 0), CLR_INVALID);
  }
  // 16 bits keep 5-6-5 precision: SetPixel returns the colour actually stored.
  TestCanvas c(1, 1, 16);
  EXPECT_EQ(SetPixel(c.dc(), 0, 0, RGB(0x13, 0x27, 0x39)), RGB(0x10, 0x24, 0x39));
  // A 32-bit FillRect stores the colour with a zero alpha byte.
  TestCanvas d(1, 1, 32);
  HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
  FillRect(d.dc(), TRect(0, 0, 1, 1), b);
  EXPECT_EQ(d.Raw(0, 0), 0x00010203u);
  DeleteObject(b);
}

TEST(GdiFill, DrawnPixelsGetAlphaZeroAndTheRestKeepTheirs) {
  // On a white 32-bit surface whose alpha bytes are 0x5A, black drawing of every kind: a pixel
  // whose colour changed holds alpha 0 (antialiased text's edge pixels too), every other keeps
  // 0x5A (nothing writes pixels it does not paint, not even text in its cell's blank parts).
  const std::function<void(HDC)> draws[] = {
      [](HDC dc) { PatBlt(dc, 2, 2, 5, 3, BLACKNESS); },
      [](HDC dc) { MoveToEx(dc, 0, 9, nullptr); LineTo(dc, 15, 1); },
      [](HDC dc) { SelectObject(dc, GetStockObject(BLACK_BRUSH)); Ellipse(dc, 1, 1, 14, 10); },
      [](HDC dc) { SelectObject(dc, GetStockObject(NULL_BRUSH)); RoundRect(dc, 0, 0, 16, 12, 6, 6); },
      [](HDC dc) { SetBkMode(dc, TRANSPARENT); TextOut(dc, 1, 0, "Wg"); },
  };
  for (size_t i = 0; i < std::size(draws); ++i) {
    TestCanvas c(16, 12);
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 16; ++x) c.surface().Row(y)[4 * x + 3] = 0x5A;
    draws[i](c.dc());
    int32_t painted = 0;
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const bool changed = c.At(x, y) != 0xFFFFFF;
        painted += changed;
        EXPECT_EQ(c.Raw(x, y) >> 24, changed ? 0u : 0x5Au) << "draw " << i << " at " << x << "," << y;
      }
    EXPECT_GT(painted, 0) << i;
  }
  // Raster operations take whole values: DSTINVERT inverts the alpha byte too; twice restores.
  TestCanvas c(1, 1);
  c.surface().Row(0)[3] = 0x5A;
  PatBlt(c.dc(), 0, 0, 1, 1, DSTINVERT);
  EXPECT_EQ(c.Raw(0, 0), 0xA5000000u);
  PatBlt(c.dc(), 0, 0, 1, 1, DSTINVERT);
  EXPECT_EQ(c.Raw(0, 0), 0x5AFFFFFFu);
}

TEST(GdiFill, HatchBrushesFollowTheOriginAndTheBackgroundMode) {
  struct Case {
    int32_t hatch;
    const char* row0;
    const char* row1;
  } cases[] = {
      {HS_HORIZONTAL, "#########", "........."}, {HS_VERTICAL, "#.......#", "#.......#"},
      {HS_FDIAGONAL, "#.......#", ".#......."},  {HS_BDIAGONAL, ".......#.", "......#.."},
      {HS_CROSS, "#########", "#.......#"},      {HS_DIAGCROSS, "#......##", ".#....#.."},
  };
  for (const Case& k : cases) {
    TestCanvas c(9, 2);
    HBRUSH b = CreateHatchBrush(k.hatch, 0);
    SetBkColor(c.dc(), 0xFFFFFF);
    FillRect(c.dc(), TRect(0, 0, 9, 2), b);
    EXPECT_EQ(c.Map(), Rows({k.row0, k.row1})) << k.hatch;
    DeleteObject(b);
  }
  // Opaque gaps take the background colour; transparent gaps keep the destination.
  TestCanvas c(8, 1);
  c.Clear(0x00FF00);
  HBRUSH b = CreateHatchBrush(HS_VERTICAL, 0);
  SetBkColor(c.dc(), 0x0000FF);
  SetBrushOrgEx(c.dc(), 2, 0, nullptr);
  FillRect(c.dc(), TRect(0, 0, 4, 1), b);
  SetBkMode(c.dc(), TRANSPARENT);
  FillRect(c.dc(), TRect(4, 0, 8, 1), b);
  EXPECT_EQ(c.Map(), Rows({"rr#rgggg"}));
  DeleteObject(b);
}

TEST(GdiFill, MonochromePatternBrushTakesTextAndBackgroundColours) {
  // 0 bits draw in the text colour, 1 bits in the background colour.
  const uint8_t bits[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
  HBITMAP bm = CreateBitmap(8, 8, 1, 1, bits);
  HBRUSH b = CreatePatternBrush(bm);
  ASSERT_TRUE(b);
  TestCanvas c(4, 2);
  SetTextColor(c.dc(), 0x0000FF);
  SetBkColor(c.dc(), 0xFF0000);
  FillRect(c.dc(), TRect(0, 0, 4, 2), b);
  EXPECT_EQ(c.Map(), Rows({"brbr", "rbrb"}));
  DeleteObject(b);
  DeleteObject(bm);
}

TEST(GdiFill, FocusRectIsDottedAndTwiceRestores) {
  TestCanvas c(6, 5);
  const auto before = c.Bytes();
  DrawFocusRect(c.dc(), TRect(0, 0, 6, 5));
  // A checkerboard from the top-left corner, on the frame only.
  EXPECT_EQ(c.Map(), Rows({"#.#.#.", ".....#", "#.....", ".....#", "#.#.#."}));
  DrawFocusRect(c.dc(), TRect(0, 0, 6, 5));
  EXPECT_EQ(c.Bytes(), before);
  // A one-pixel-wide rectangle still toggles each pixel once.
  DrawFocusRect(c.dc(), TRect(2, 0, 3, 5));
  EXPECT_EQ(c.Map(), Rows({"..#...", "......", "..#...", "......", "..#..."}));
  // The clip hides part of the frame; the dots keep their places.
  TestCanvas d(9, 6);
  HRGN clip = CreateRectRgn(0, 0, 9, 6), hole = CreateRectRgn(3, 0, 5, 2);
  CombineRgn(clip, clip, hole, RGN_DIFF);
  SelectClipRgn(d.dc(), clip);
  DeleteObject(hole);
  DeleteObject(clip);
  DrawFocusRect(d.dc(), TRect(0, 0, 9, 6));
  EXPECT_EQ(d.Map(), Rows({"#.#...#.#", ".........", "#.......#", ".........", "#.......#", ".#.#.#.#."}));
}

TEST(GdiFill, GradientFillRectUsesSixteenBitChannels) {
  TestCanvas c(4, 2);
  TRIVERTEX v[2];
  v[0].x = 0; v[0].y = 0; v[0].Red = 0x0000; v[0].Green = 0xFF00; v[0].Blue = 0x8000; v[0].Alpha = 0xFF00;
  v[1].x = 4; v[1].y = 2; v[1].Red = 0xFF00; v[1].Green = 0x0000; v[1].Blue = 0x8000; v[1].Alpha = 0;
  GRADIENT_RECT g{0, 1};
  ASSERT_TRUE(GradientFill(c.dc(), v, 2, &g, 1, GRADIENT_FILL_RECT_H));
  // channel = c0 + (c1 - c0) * i / 4, high byte.
  const uint8_t red[4] = {0x00, 0x3F, 0x7F, 0xBF}, green[4] = {0xFF, 0xBF, 0x7F, 0x3F};
  for (int32_t x = 0; x < 4; ++x) {
    EXPECT_EQ(c.At(x, 0), RGB(red[x], green[x], 0x80)) << x;
    EXPECT_EQ(c.At(x, 1), c.At(x, 0));
    EXPECT_EQ(c.Raw(x, 0) >> 24, green[x]);
  }
  // Vertical, vertices given bottom-right first: the colours follow the vertices.
  TestCanvas d(1, 2);
  GRADIENT_RECT g2{1, 0};
  GradientFill(d.dc(), v, 2, &g2, 1, GRADIENT_FILL_RECT_V);
  EXPECT_EQ(d.At(0, 0), RGB(0, 0xFF, 0x80));
  EXPECT_EQ(d.At(0, 1), RGB(0x7F, 0x7F, 0x80));
  // Bad mesh indexes are refused.
  GRADIENT_RECT bad{0, 2};
  EXPECT_FALSE(GradientFill(d.dc(), v, 2, &bad, 1, GRADIENT_FILL_RECT_H));
}

TEST(GdiFill, FloodFillStopsAtTheBorderOrTheSurfaceColour) {
  TestCanvas c(6, 4);
  HBRUSH black = CreateSolidBrush(0);
  FrameRect(c.dc(), TRect(0, 0, 4, 4), black);
  HBRUSH red = CreateSolidBrush(0x0000FF);
  HGDIOBJ old = SelectObject(c.dc(), red);
  EXPECT_TRUE(FloodFill(c.dc(), 1, 1, 0));
  EXPECT_EQ(c.Map(), Rows({"####..", "#rr#..", "#rr#..", "####.."}));
  EXPECT_TRUE(ExtFloodFill(c.dc(), 5, 0, 0xFFFFFF, FLOODFILLSURFACE));
  EXPECT_EQ(c.Map(), Rows({"####rr", "#rr#rr", "#rr#rr", "####rr"}));
  EXPECT_FALSE(FloodFill(c.dc(), 0, 0, 0));  // starts on the border
  SelectObject(c.dc(), old);
  DeleteObject(red);
  DeleteObject(black);
}
