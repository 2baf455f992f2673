// Cosmetic lines, dash patterns, pen modes and wide pens.
#include <utility>

#include "tests/gdi/GdiTestSupport.h"

namespace {
std::vector<std::pair<int32_t, int32_t>> Walk(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  std::vector<std::pair<int32_t, int32_t>> v;
  LineDDA(x1, y1, x2, y2, [](int32_t x, int32_t y, intptr_t d) {
    reinterpret_cast<std::vector<std::pair<int32_t, int32_t>>*>(d)->push_back({x, y});
  }, reinterpret_cast<intptr_t>(&v));
  return v;
}
using P = std::vector<std::pair<int32_t, int32_t>>;
}  // namespace

TEST(GdiLines, LineDDAWalksToTheEndExcludedWithTiesToTheSmallerCoordinate) {
  struct Case {
    int32_t x1, y1, x2, y2;
    P pixels;
  } cases[] = {
      {0, 0, 4, 0, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}},
      {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},    // ties at x = 1 and 3 go up
      {4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},    // the same pixels in reverse
      {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},    // ties go left
      {0, 4, 4, 2, {{0, 4}, {1, 3}, {2, 3}, {3, 2}}},
      {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
      {5, 5, 5, 5, {}},
      {0, 0, 5, 1, {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}}},
  };
  for (const Case& k : cases) EXPECT_EQ(Walk(k.x1, k.y1, k.x2, k.y2), k.pixels) << k.x2 << "," << k.y2;
  EXPECT_FALSE(LineDDA(0, 0, 1, 1, nullptr, 0));
}

TEST(GdiLines, LineToLeavesOutTheEndPointAndMovesTheCurrentPosition) {
  TestCanvas c(6, 3);
  MoveToEx(c.dc(), 0, 1, nullptr);
  EXPECT_TRUE(LineTo(c.dc(), 5, 1));
  TPoint p;
  GetCurrentPositionEx(c.dc(), &p);
  EXPECT_EQ(p, TPoint(5, 1));
  EXPECT_EQ(c.Map(), Rows({"......", "#####.", "......"}));
  LineTo(c.dc(), 5, 3);
  EXPECT_EQ(c.Map(), Rows({"......", "######", ".....#"}));
}

TEST(GdiLines, PolylinePaintsSharedVerticesOnce) {
  TestCanvas c(5, 4);
  SetROP2(c.dc(), R2_NOT);
  const TPoint pts[] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};
  EXPECT_TRUE(Polyline(c.dc(), pts, 4));
  EXPECT_EQ(c.Map(), Rows({"####.", "...#.", "...#.", ".###."}));
  Polyline(c.dc(), pts, 4);
  EXPECT_EQ(c.Map(), Rows({".....", ".....", ".....", "....."}));
  EXPECT_FALSE(Polyline(c.dc(), pts, 1));
  EXPECT_FALSE(Polyline(c.dc(), nullptr, 3));
}

TEST(GdiLines, DashPatternsContinueAcrossSegments) {
  struct Case {
    int32_t style;
    const char* row;
  } cases[] = {
      {PS_DOT, "###...###...###...###...###..."},
      {PS_DASH, "##################......######"},
      {PS_DASHDOT, "#########......###......######"},
      {PS_DASHDOTDOT, "#########...###...###...######"},
  };
  for (const Case& k : cases) {
    TestCanvas c(30, 1);
    HPEN pen = CreatePen(k.style, 0, 0);
    HGDIOBJ old = SelectObject(c.dc(), pen);
    SetBkMode(c.dc(), TRANSPARENT);
    // Two LineTo calls and a polyline of two segments: the pattern runs on.
    MoveToEx(c.dc(), 0, 0, nullptr);
    LineTo(c.dc(), 7, 0);
    LineTo(c.dc(), 30, 0);
    EXPECT_EQ(c.Map(), Rows({k.row})) << k.style;
    c.Clear(0xFFFFFF);
    const TPoint pts[] = {{0, 0}, {11, 0}, {30, 0}};
    Polyline(c.dc(), pts, 3);
    EXPECT_EQ(c.Map(), Rows({k.row})) << k.style;
    SelectObject(c.dc(), old);
    DeleteObject(pen);
  }
  // Around a corner, and gaps in the background colour when opaque.
  TestCanvas c(5, 5);
  HPEN pen = CreatePen(PS_DOT, 1, 0);
  HGDIOBJ old = SelectObject(c.dc(), pen);
  SetBkColor(c.dc(), 0x0000FF);
  const TPoint corner[] = {{0, 0}, {4, 0}, {4, 5}};
  Polyline(c.dc(), corner, 3);
  EXPECT_EQ(c.Map(), Rows({"###rr", "....r", "....#", "....#", "....#"}));
  // MoveToEx restarts the pattern.
  c.Clear(0xFFFFFF);
  SetBkMode(c.dc(), TRANSPARENT);
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 2, 0);
  MoveToEx(c.dc(), 0, 1, nullptr);
  LineTo(c.dc(), 5, 1);
  EXPECT_EQ(c.Map(), Rows({"##...", "###..", ".....", ".....", "....."}));
  SelectObject(c.dc(), old);
  DeleteObject(pen);
}

TEST(GdiLines, NullPenDrawsNothingAndWidePensAreThick) {
  TestCanvas c(12, 9);
  SelectObject(c.dc(), GetStockObject(NULL_PEN));
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 10, 8);
  EXPECT_EQ(c.Map(), TestCanvas(12, 9).Map());
  HPEN wide = CreatePen(PS_SOLID, 3, 0);
  SelectObject(c.dc(), wide);
  MoveToEx(c.dc(), 2, 4, nullptr);
  LineTo(c.dc(), 8, 4);
  // Three rows; the round ends reach one pixel past each end point.
  EXPECT_EQ(c.Map(), Rows({"............", "............", "............", ".#########..", ".#########..",
                           ".#########..", "............", "............", "............"}));
  // A wide polyline paints each pixel once even where segments overlap.
  c.Clear(0xFFFFFF);
  SetROP2(c.dc(), R2_NOT);
  const TPoint zig[] = {{1, 1}, {9, 1}, {2, 6}, {10, 7}};
  Polyline(c.dc(), zig, 4);
  const auto once = c.Bytes();
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 12; ++x) EXPECT_TRUE(c.At(x, y) == 0 || c.At(x, y) == 0xFFFFFF);
  Polyline(c.dc(), zig, 4);
  EXPECT_EQ(c.Map(), TestCanvas(12, 9).Map());
  EXPECT_NE(once, c.Bytes());
  SelectObject(c.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(wide);
}

TEST(GdiLines, AllSixteenPenModesOnTheStoredBits) {
  const uint32_t P = 0x000F3355, D = 0x0055AA33;
  const uint32_t expect[17] = {0,
                               0,               // R2_BLACK
                               ~(P | D),        // R2_NOTMERGEPEN
                               ~P & D,          // R2_MASKNOTPEN
                               ~P,              // R2_NOTCOPYPEN
                               P & ~D,          // R2_MASKPENNOT
                               ~D,              // R2_NOT
                               P ^ D,           // R2_XORPEN
                               ~(P & D),        // R2_NOTMASKPEN
                               P & D,           // R2_MASKPEN
                               ~(P ^ D),        // R2_NOTXORPEN
                               D,               // R2_NOP
                               ~P | D,          // R2_MERGENOTPEN
                               P,               // R2_COPYPEN
                               P | ~D,          // R2_MERGEPENNOT
                               P | D,           // R2_MERGEPEN
                               0xFFFFFFFFu};    // R2_WHITE
  for (int32_t mode = R2_BLACK; mode <= R2_WHITE; ++mode) {
    TestCanvas c(3, 1);
    reinterpret_cast<uint32_t*>(c.surface().Row(0))[1] = D;
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(0x0F, 0x33, 0x55));
    HGDIOBJ old = SelectObject(c.dc(), pen);
    EXPECT_EQ(SetROP2(c.dc(), mode), R2_COPYPEN);
    MoveToEx(c.dc(), 1, 0, nullptr);
    LineTo(c.dc(), 2, 0);
    EXPECT_EQ(c.Raw(1, 0), expect[mode]) << mode;
    EXPECT_EQ(c.At(2, 0), 0xFFFFFFu);
    SelectObject(c.dc(), old);
    DeleteObject(pen);
  }
  // On a palette surface the operation works on the index bits.
  TestCanvas c(2, 1, 8);
  SetROP2(c.dc(), R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 0, 0x0000FF);  // index 2
  SelectObject(c.dc(), pen);
  c.surface().Row(0)[0] = 3;
  MoveToEx(c.dc(), 0, 0, nullptr);
  LineTo(c.dc(), 1, 0);
  EXPECT_EQ(c.surface().Row(0)[0], 1);
  SelectObject(c.dc(), GetStockObject(BLACK_PEN));
  DeleteObject(pen);
  EXPECT_EQ(SetROP2(c.dc(), 0), 0);
  EXPECT_EQ(SetROP2(c.dc(), 17), 0);
}

TEST(GdiLines, BezierEndsAtItsLastPoint) {
  TestCanvas c(12, 12);
  const TPoint pts[] = {{0, 0}, {10, 0}, {10, 10}, {10, 10}};
  EXPECT_TRUE(PolyBezier(c.dc(), pts, 4));
  EXPECT_EQ(c.At(0, 0), 0u);
  EXPECT_EQ(c.At(10, 10), 0xFFFFFFu);  // the end point is left out, as for lines
  EXPECT_EQ(c.At(10, 9), 0u);
  EXPECT_FALSE(PolyBezier(c.dc(), pts, 3));
}

TEST(GdiLines, AxisLinesPaintTheWalkedPixelsOnceThroughTheClip) {
  // Horizontal and vertical segments in both directions, partly outside the surface and across a
  // hole in the clip, drawn with R2_XORPEN: every pixel LineDDA walks that the clip shows turns
  // black exactly once, and nothing else changes.
  struct Case {
    int32_t x1, y1, x2, y2;
  } cases[] = {{1, 3, 9, 3}, {9, 3, 1, 3}, {4, 0, 4, 8}, {4, 8, 4, 0}, {-5, 5, 20, 5}, {20, 6, -5, 6},
               {6, -4, 6, 30}, {7, 30, 7, -4}, {2, 9, 3, 9}, {3, 9, 2, 9}};
  for (const Case& k : cases) {
    TestCanvas c(10, 10);
    HRGN clip = CreateRectRgn(0, 0, 10, 10);
    HRGN hole = CreateRectRgn(3, 2, 7, 7);
    CombineRgn(clip, clip, hole, RGN_DIFF);
    SelectClipRgn(c.dc(), clip);
    SetROP2(c.dc(), R2_XORPEN);
    SelectObject(c.dc(), GetStockObject(WHITE_PEN));
    MoveToEx(c.dc(), k.x1, k.y1, nullptr);
    ASSERT_TRUE(LineTo(c.dc(), k.x2, k.y2));
    std::string want;  // the rows as Map gives them
    for (int32_t y = 0; y < 10; ++y) want += std::string(10, '.') + '\n';
    for (const auto& [x, y] : Walk(k.x1, k.y1, k.x2, k.y2))
      if (x >= 0 && x < 10 && y >= 0 && y < 10 && PtInRegion(clip, x, y)) want[static_cast<size_t>(y * 11 + x)] = '#';
    EXPECT_EQ(c.Map(), want) << k.x1 << "," << k.y1 << " -> " << k.x2 << "," << k.y2;
    DeleteObject(hole);
    DeleteObject(clip);
  }
}
