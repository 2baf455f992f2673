// Shapes: the boxes they fit, pen and brush parts, fill modes, and restoring with R2_NOT.
#include <functional>
#include <map>

#include "tests/gdi/GdiTestSupport.h"

namespace {

struct RedBrush : PenBrush {
  explicit RedBrush(HDC dc, HPEN pen = CreatePen(PS_SOLID, 0, 0)) : PenBrush(dc, pen, CreateSolidBrush(0x0000FF)) {}
};

}  // namespace

TEST(GdiShapes, RectangleDrawsThePenInsideTheBoxAndFillsTheRest) {
  TestCanvas c(12, 12);
  RedBrush rb(c.dc());
  EXPECT_TRUE(Rectangle(c.dc(), 0, 0, 10, 10));
  std::string expect;
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 0; x < 12; ++x) {
      if (x > 9 || y > 9) expect += '.';
      else if (x == 0 || x == 9 || y == 0 || y == 9) expect += '#';
      else expect += 'r';
    }
    expect += '\n';
  }
  EXPECT_EQ(c.Map(), expect);
  // Swapped corners are normalised.
  TestCanvas d(12, 12);
  RedBrush rd(d.dc());
  Rectangle(d.dc(), 10, 10, 0, 0);
  EXPECT_EQ(d.Map(), expect);
}

TEST(GdiShapes, PenWidthsAndTheNullPen) {
  struct Case {
    HPEN pen;
    std::string map;
  } cases[] = {
      // The null pen fills the box less its last column and row.
      {CreatePen(PS_NULL, 0, 0),
       Rows({"........", ".rrrrr..", ".rrrrr..", ".rrrrr..", ".rrrrr..", ".rrrrr..", "........", "........"})},
      // A wide pen is centred on the edge pixels.
      {CreatePen(PS_SOLID, 3, 0),
       Rows({"########", "########", "########", "###rr###", "###rr###", "########", "########", "########"})},
      {CreatePen(PS_INSIDEFRAME, 2, 0),
       Rows({"........", ".######.", ".######.", ".##rr##.", ".##rr##.", ".######.", ".######.", "........"})},
  };
  for (Case& k : cases) {
    TestCanvas c(8, 8);
    RedBrush rb(c.dc(), k.pen);
    Rectangle(c.dc(), 1, 1, 7, 7);
    EXPECT_EQ(c.Map(), k.map);
  }
}

TEST(GdiShapes, EllipseFitsItsBox) {
  TestCanvas c(12, 12);
  RedBrush rb(c.dc());
  EXPECT_TRUE(Ellipse(c.dc(), 0, 0, 10, 10));
  EXPECT_EQ(c.Map(), Rows({"...####.....", ".##rrrr##...", ".#rrrrrr#...", "#rrrrrrrr#..", "#rrrrrrrr#..",
                           "#rrrrrrrr#..", "#rrrrrrrr#..", ".#rrrrrr#...", ".##rrrr##...", "...####.....",
                           "............", "............"}));
  // The pen stays inside the box with PS_INSIDEFRAME; a wide centred pen goes beyond it.
  for (const auto& [style, inside] : {std::pair{PS_INSIDEFRAME, true}, std::pair{PS_SOLID, false}}) {
    TestCanvas d(16, 16);
    RedBrush r(d.dc(), CreatePen(style, 4, 0));
    Ellipse(d.dc(), 3, 3, 13, 11);
    bool outside = false;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x)
        if (d.At(x, y) != 0xFFFFFF && (x < 3 || x >= 13 || y < 3 || y >= 11)) outside = true;
    EXPECT_EQ(outside, !inside) << style;
  }
}

TEST(GdiShapes, PiesChordsAndArcsFollowTheArcDirection) {
  TestCanvas c(12, 12);
  RedBrush rb(c.dc());
  // From the right (3 o'clock) counter-clockwise to the top: the upper-right quadrant.
  EXPECT_TRUE(Pie(c.dc(), 0, 0, 11, 11, 11, 5, 5, 0));
  EXPECT_EQ(c.Map(), Rows({".....###....", ".....#rr#...", ".....#rrr#..", ".....#rrrr#.", ".....#rrrr#.",
                           ".....######.", "............", "............", "............", "............",
                           "............", "............"}));
  c.Clear(0xFFFFFF);
  Arc(c.dc(), 0, 0, 11, 11, 11, 5, 5, 0);
  EXPECT_EQ(c.Map(), Rows({".....###....", "........#...", ".........#..", "..........#.", "..........#.",
                           "............", "............", "............", "............", "............",
                           "............", "............"}));
  // Clockwise, the same points give the other three quadrants.
  c.Clear(0xFFFFFF);
  EXPECT_EQ(SetArcDirection(c.dc(), AD_CLOCKWISE), AD_COUNTERCLOCKWISE);
  Arc(c.dc(), 0, 0, 11, 11, 11, 5, 5, 0);
  EXPECT_EQ(c.At(9, 2), 0xFFFFFFu);
  EXPECT_EQ(c.At(0, 5), 0u);
  EXPECT_EQ(c.At(5, 10), 0u);
  // A chord fills the part cut off by the line between the end points.
  TestCanvas d(12, 12);
  RedBrush rd(d.dc());
  Chord(d.dc(), 0, 0, 11, 11, 11, 11, 0, 0);
  EXPECT_EQ(d.At(8, 3), 0x0000FFu);
  EXPECT_EQ(d.At(3, 8), 0xFFFFFFu);
  // Only that part: the rest of the arc's sector, between the chord and the centre, is not drawn.
  TestCanvas q(14, 14);
  RedBrush rq(q.dc());
  Chord(q.dc(), 0, 0, 13, 13, 13, 6, 6, 0);
  EXPECT_EQ(q.Map(), Rows({"......###.....", ".......#r##...", "........#r##..", ".........#r#..", "..........#r#.",
                           "...........##.", "............#.", "..............", "..............", "..............",
                           "..............", "..............", "..............", ".............."}));
}

TEST(GdiShapes, DashedPensFollowCurvedOutlines) {
  // Every curved shape with each cosmetic dash style: the outline pixels are those of the solid
  // pen, split into pen and gap pixels in the style's proportion (the pattern walks the outline
  // pixel by pixel, then the radii or the chord); the pattern does not move under a clip, and in
  // transparent mode the gaps keep what was there.
  const std::vector<std::function<void(HDC)>> shapes = {
      [](HDC dc) { Ellipse(dc, 1, 2, 39, 29); },
      [](HDC dc) { RoundRect(dc, 0, 1, 40, 30, 16, 12); },
      [](HDC dc) { Arc(dc, 1, 1, 39, 29, 0, 0, 40, 30); },
      [](HDC dc) { Pie(dc, 1, 1, 39, 29, 0, 15, 20, 30); },
      [](HDC dc) { Chord(dc, 1, 1, 39, 29, 40, 0, 0, 30); },
  };
  const struct {
    int32_t style;
    double on;  // the pattern's share of pen pixels
  } styles[] = {{PS_DASH, 18.0 / 24}, {PS_DOT, 0.5}, {PS_DASHDOT, 12.0 / 24}, {PS_DASHDOTDOT, 15.0 / 24}};
  const std::map<COLORREF, char> gap{{0x00FF00, 'g'}};
  for (size_t i = 0; i < shapes.size(); ++i) {
    TestCanvas solid(40, 31);
    {
      RedBrush rb(solid.dc());
      shapes[i](solid.dc());
    }
    const std::string outline = solid.Map();
    for (const auto& st : styles) {
      SCOPED_TRACE("shape " + std::to_string(i) + " style " + std::to_string(st.style));
      TestCanvas c(40, 31);
      RedBrush rb(c.dc(), CreatePen(st.style, 0, 0));
      SetBkColor(c.dc(), 0x00FF00);
      shapes[i](c.dc());
      const std::string map = c.Map(gap);
      int32_t pen = 0, gaps = 0;
      for (size_t k = 0; k < map.size(); ++k) {
        EXPECT_EQ(outline[k] == '#', map[k] == '#' || map[k] == 'g') << k;
        pen += map[k] == '#';
        gaps += map[k] == 'g';
      }
      EXPECT_NEAR(double(pen) / (pen + gaps), st.on, 0.08);

      // The same drawing through a clip that cuts the outline: what is visible is unchanged.
      TestCanvas clipped(40, 31);
      RedBrush rc(clipped.dc(), CreatePen(st.style, 0, 0));
      SetBkColor(clipped.dc(), 0x00FF00);
      IntersectClipRect(clipped.dc(), 7, 0, 40, 19);
      shapes[i](clipped.dc());
      const std::string part = clipped.Map(gap);
      for (int32_t y = 0; y < 31; ++y)
        for (int32_t x = 0; x < 40; ++x) {
          const size_t k = static_cast<size_t>(y) * 41 + x;
          EXPECT_EQ(part[k], x >= 7 && y < 19 ? map[k] : '.') << x << "," << y;
        }

      // Transparent: the pen pixels are the same; a gap shows what is under it (the background
      // on the curve, the fill along a pie's radii or a chord).
      TestCanvas t(40, 31);
      RedBrush rt(t.dc(), CreatePen(st.style, 0, 0));
      SetBkMode(t.dc(), TRANSPARENT);
      shapes[i](t.dc());
      const std::string tmap = t.Map();
      for (size_t k = 0; k < map.size(); ++k) {
        if (map[k] == 'g') EXPECT_TRUE(tmap[k] == '.' || tmap[k] == 'r') << k;
        else EXPECT_EQ(tmap[k], map[k]) << k;
      }
    }
  }
  // A dotted arc starts with a dot at its start point (3 o'clock, going up); a huge dashed
  // ellipse is quick.
  TestCanvas c(12, 12);
  PenBrush pb(c.dc(), CreatePen(PS_DOT, 0, 0), CreateSolidBrush(0x0000FF));
  Arc(c.dc(), 0, 0, 12, 12, 12, 6, 6, 0);
  EXPECT_EQ(c.Map(), Rows({"......##....", "............", "............", "..........#.", "...........#",
                           "...........#", "............", "............", "............", "............",
                           "............", "............"}));
  EXPECT_TRUE(Ellipse(c.dc(), -100000000, -100000000, 100000000, 100000000));
}

TEST(GdiShapes, PolygonFillModes) {
  // A pentagram: the centre is inside with WINDING, outside with ALTERNATE.
  const TPoint star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
  for (const auto& [mode, centre] : {std::pair{ALTERNATE, 0xFFFFFFu}, std::pair{WINDING, 0x0000FFu}}) {
    TestCanvas c(21, 20);
    RedBrush rb(c.dc(), CreatePen(PS_NULL, 0, 0));
    EXPECT_EQ(SetPolyFillMode(c.dc(), mode), ALTERNATE);
    EXPECT_TRUE(Polygon(c.dc(), star, 5));
    EXPECT_EQ(c.At(10, 10), centre) << mode;
    EXPECT_EQ(c.At(10, 3), 0x0000FFu);
  }
  // With a pen the outline includes every vertex (right and bottom ones too).
  TestCanvas c(6, 6);
  RedBrush rb(c.dc());
  const TPoint sq[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}};
  Polygon(c.dc(), sq, 4);
  EXPECT_EQ(c.Map(), Rows({"......", ".####.", ".#rr#.", ".#rr#.", ".####.", "......"}));
  EXPECT_FALSE(Polygon(c.dc(), sq, 1));
}

TEST(GdiShapes, RegionsAndFillsCoverTheSamePixels) {
  struct Case {
    std::vector<TPoint> pts;
    int32_t mode;
  } cases[] = {
      {{{1, 1}, {14, 3}, {9, 13}}, ALTERNATE},
      {{{0, 0}, {15, 0}, {15, 15}, {0, 15}}, ALTERNATE},
      {{{7, 0}, {11, 14}, {0, 5}, {15, 5}, {3, 14}}, WINDING},
      {{{7, 0}, {11, 14}, {0, 5}, {15, 5}, {3, 14}}, ALTERNATE},
      {{{2, 13}, {13, 1}, {13, 13}, {2, 1}}, ALTERNATE},
  };
  for (const Case& k : cases) {
    TestCanvas c(16, 16);
    RedBrush rb(c.dc(), CreatePen(PS_NULL, 0, 0));
    SetPolyFillMode(c.dc(), k.mode);
    Polygon(c.dc(), k.pts.data(), static_cast<int32_t>(k.pts.size()));
    HRGN rgn = CreatePolygonRgn(k.pts.data(), static_cast<int32_t>(k.pts.size()), k.mode);
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x)
        EXPECT_EQ(c.At(x, y) == 0x0000FF, PtInRegion(rgn, x, y) != 0) << x << "," << y;
    DeleteObject(rgn);
  }
  // An elliptic region is the ellipse with its outline.
  TestCanvas c(16, 12);
  RedBrush rb(c.dc());
  Ellipse(c.dc(), 1, 2, 14, 11);
  HRGN rgn = CreateEllipticRgn(1, 2, 14, 11);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(c.At(x, y) != 0xFFFFFF, PtInRegion(rgn, x, y) != 0) << x << "," << y;
  DeleteObject(rgn);
}

TEST(GdiShapes, EveryShapeDrawnTwiceWithNotRestores) {
  const TPoint poly[] = {{1, 1}, {18, 4}, {3, 17}, {12, 12}};
  const std::vector<std::function<void(HDC)>> shapes = {
      [](HDC dc) { Rectangle(dc, 2, 3, 17, 15); },
      [](HDC dc) { Ellipse(dc, 1, 2, 18, 17); },
      [](HDC dc) { RoundRect(dc, 0, 1, 19, 18, 7, 5); },
      [](HDC dc) { Arc(dc, 1, 1, 18, 18, 0, 0, 19, 19); },
      [](HDC dc) { Pie(dc, 1, 1, 18, 18, 0, 9, 9, 19); },
      [](HDC dc) { Chord(dc, 1, 1, 18, 18, 19, 0, 0, 19); },
      [&](HDC dc) { Polygon(dc, poly, 4); },
      [&](HDC dc) { Polyline(dc, poly, 4); },
      [](HDC dc) { DrawFocusRect(dc, TRect(1, 1, 17, 14)); },
  };
  const int32_t pens[][2] = {{PS_SOLID, 0}, {PS_SOLID, 3}, {PS_DOT, 0}, {PS_INSIDEFRAME, 4}, {PS_NULL, 0}};
  for (size_t i = 0; i < shapes.size(); ++i) {
    for (const auto& pen : pens) {
      for (bool hatched : {false, true}) {
        TestCanvas c(20, 20);
        for (int32_t y = 0; y < 20; ++y)
          for (int32_t x = 0; x < 20; ++x) c.surface().SetPixel(x, y, RGB(x * 12, y * 12, 77));
        PenBrush pb(c.dc(), CreatePen(pen[0], pen[1], 0x123456),
                    hatched ? CreateHatchBrush(HS_DIAGCROSS, 0x00FF00) : CreateSolidBrush(0x0000FF));
        SetROP2(c.dc(), R2_NOT);
        SetBkColor(c.dc(), 0x808080);
        const auto before = c.Bytes();
        shapes[i](c.dc());
        const bool drawsNothing = pen[0] == PS_NULL && (i == 3 || i == 7);
        EXPECT_EQ(c.Bytes() == before, drawsNothing) << i;
        shapes[i](c.dc());
        EXPECT_EQ(c.Bytes(), before) << "shape " << i << " pen " << pen[0] << "/" << pen[1] << " hatched " << hatched;
      }
    }
  }
}

TEST(GdiShapes, ClippedToTheSurfaceAndHugeCoordinates) {
  TestCanvas c(8, 8);
  RedBrush rb(c.dc());
  EXPECT_TRUE(Ellipse(c.dc(), -100000000, -100000000, 100000000, 100000000));
  EXPECT_EQ(c.At(4, 4), 0x0000FFu);
  EXPECT_TRUE(Rectangle(c.dc(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX));
  const TPoint far[] = {{INT32_MIN, 0}, {INT32_MAX, 7}, {0, INT32_MAX}};
  EXPECT_TRUE(Polygon(c.dc(), far, 3));
  MoveToEx(c.dc(), INT32_MIN, INT32_MIN, nullptr);
  EXPECT_TRUE(LineTo(c.dc(), INT32_MAX, INT32_MAX));
  EXPECT_TRUE(RoundRect(c.dc(), 0, 0, 8, 8, INT32_MIN, INT32_MAX));
}
