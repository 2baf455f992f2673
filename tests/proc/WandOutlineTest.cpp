// The magic wand's outline polygon and its global selection.
#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "proc/pixoranproc_fill.h"

namespace {

// Pixels whose centres lie inside the polygon by the even-odd rule.
std::vector<uint8_t> InsidePolygon(const TPXArrayOfTPoint& P, int W, int H) {
  std::vector<uint8_t> in(static_cast<size_t>(W) * H, 0);
  const size_t n = P.size();
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      bool inside = false;
      for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const double xi = P[i].X, yi = P[i].Y, xj = P[j].X, yj = P[j].Y;
        if ((yi > cy) != (yj > cy) && cx < (xj - xi) * (cy - yi) / (yj - yi) + xi) inside = !inside;
      }
      in[static_cast<size_t>(y) * W + x] = inside;
    }
  return in;
}

// Region (1 = in) with every hole filled: pixels outside it that cannot reach the picture's
// border through 4-connected outside pixels.
std::vector<uint8_t> FillHoles(std::vector<uint8_t> R, int W, int H) {
  std::vector<uint8_t> outside(R.size(), 0);
  std::deque<std::pair<int, int>> q;
  auto seed = [&](int x, int y) {
    const size_t i = static_cast<size_t>(y) * W + x;
    if (!R[i] && !outside[i]) outside[i] = 1, q.push_back({x, y});
  };
  for (int x = 0; x < W; ++x) seed(x, 0), seed(x, H - 1);
  for (int y = 0; y < H; ++y) seed(0, y), seed(W - 1, y);
  while (!q.empty()) {
    auto [x, y] = q.front();
    q.pop_front();
    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int k = 0; k < 4; ++k)
      if (nx[k] >= 0 && ny[k] >= 0 && nx[k] < W && ny[k] < H) seed(nx[k], ny[k]);
  }
  for (size_t i = 0; i < R.size(); ++i) R[i] = !outside[i];
  return R;
}

std::vector<uint8_t> Cells(TPXMask& M) {
  std::vector<uint8_t> v(static_cast<size_t>(M.Width()) * M.Height());
  for (int y = 0; y < M.Height(); ++y)
    for (int x = 0; x < M.Width(); ++x) v[static_cast<size_t>(y) * M.Width() + x] = M.GetPixel(x, y) != 0;
  return v;
}

TEST(WandOutline, SinglePixelAndOutsidePoint) {
  auto b = TPXBitmap::CreateAllocated(12, 12, px24RGB);
  b->Fill(0);
  b->SetPixel24(5, 7, TRGB{9, 9, 9});
  TPXArrayOfTPoint pts = {TPoint(1, 1)};
  TraceMagicWand(b.get(), 5, 7, false, 0, 1, pts);
  const TPXArrayOfTPoint expected = {TPoint(5, 7), TPoint(6, 7), TPoint(6, 7), TPoint(6, 8),
                                     TPoint(6, 8), TPoint(5, 8), TPoint(5, 8), TPoint(5, 7)};
  EXPECT_EQ(pts, expected);
  TraceMagicWand(b.get(), 12, 0, false, 0, 1, pts);
  EXPECT_TRUE(pts.empty());
  TraceMagicWand(b.get(), -1, 3, false, 0, 1, pts);
  EXPECT_TRUE(pts.empty());
}

// Random blobs of few colours (holes, diagonal touches and picture edges among them): the
// polygon's inside is the fill's region with its holes filled, with and without growth (which
// stays inside the region's box).
TEST(WandOutline, PolygonEnclosesTheFilledRegion) {
  std::mt19937 rng(11);
  for (int round = 0; round < 60; ++round) {
    const int w = 6 + static_cast<int>(rng() % 20), h = 6 + static_cast<int>(rng() % 20);
    auto b = TPXBitmap::CreateAllocated(w, h, px24RGB);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t v = (rng() % 3) ? 200 : 0;
        b->SetPixel24(x, y, TRGB{v, v, v});
      }
    const int sx = static_cast<int>(rng() % w), sy = static_cast<int>(rng() % h);
    for (bool grow : {false, true}) {
      SCOPED_TRACE("round " + std::to_string(round) + (grow ? " grown" : ""));
      TPXMask region;
      region.AllocateBits(w, h, 8);
      MagicWandFill(b.get(), sx, sy, false, 0, &region, 255, 1);
      std::vector<uint8_t> want = Cells(region);
      if (grow) {
        std::vector<uint8_t> g(want.size(), 0);
        for (int y = region.FY1; y <= region.FY2; ++y)
          for (int x = region.FX1; x <= region.FX2; ++x)
            for (int dy = -1; dy <= 1; ++dy)
              for (int dx = -1; dx <= 1; ++dx) {
                const int xx = x + dx, yy = y + dy;
                if (xx >= 0 && yy >= 0 && xx < w && yy < h && want[static_cast<size_t>(yy) * w + xx])
                  g[static_cast<size_t>(y) * w + x] = 1;
              }
        want = g;
      }
      want = FillHoles(want, w, h);
      TPXArrayOfTPoint pts;
      TraceMagicWand(b.get(), sx, sy, grow, 0, 1, pts);
      ASSERT_FALSE(pts.empty());
      ASSERT_EQ(InsidePolygon(pts, w, h), want);
    }
  }
}

TEST(WandOutline, SampleSizeSeedsWithTheAverage) {
  // Background 14; around (5, 5) a 3 x 3 block: 10 in the middle, 12 and 13 around, averaging 12.
  auto b = TPXBitmap::CreateAllocated(12, 10, px24RGB);
  b->Fill(0x0E0E0E);
  for (int y = 4; y <= 6; ++y)
    for (int x = 4; x <= 6; ++x) {
      const uint8_t v = (x + y) % 2 ? 12 : 13;
      b->SetPixel24(x, y, TRGB{v, v, v});
    }
  b->SetPixel24(5, 5, TRGB{10, 10, 10});
  TPXArrayOfTPoint pts;
  // The pixel's own colour: the block alone.
  TraceMagicWand(b.get(), 5, 5, false, 3, 1, pts);
  ASSERT_FALSE(pts.empty());
  EXPECT_EQ(pts.front(), TPoint(4, 4));
  std::vector<uint8_t> block(120, 0);
  for (int y = 4; y <= 6; ++y)
    for (int x = 4; x <= 6; ++x) block[y * 12 + x] = 1;
  EXPECT_EQ(InsidePolygon(pts, 12, 10), block);
  // The average 12: the whole picture.
  TraceMagicWand(b.get(), 5, 5, false, 3, 3, pts);
  EXPECT_EQ(InsidePolygon(pts, 12, 10), std::vector<uint8_t>(120, 1));
  EXPECT_EQ(pts.front(), TPoint(0, 0));
}

// The vertex lists of many regions (random blobs and diagonal bands whose box corner lies far
// outside them, grown and not) hashed together: any change to the walk, its start or the
// vertices it emits changes the hash, which was taken from the straightforward cell-by-cell walk.
TEST(WandOutline, VertexListsStayTheSame) {
  std::mt19937 rng(29);
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&](int32_t v) {
    for (int k = 0; k < 4; ++k) hash = (hash ^ ((static_cast<uint32_t>(v) >> (8 * k)) & 0xFF)) * 1099511628211ull;
  };
  for (int round = 0; round < 40; ++round) {
    const int w = 20 + static_cast<int>(rng() % 90), h = 20 + static_cast<int>(rng() % 90);
    const int period = 7 + static_cast<int>(rng() % 9);
    const bool bands = round % 2 == 1;
    auto b = TPXBitmap::CreateAllocated(w, h, px24RGB);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool in = bands ? ((x / 3 + y / 2) / period) % 2 == 0 && rng() % 13 != 0 : rng() % 3 != 0;
        b->SetPixel24(x, y, in ? TRGB{200, 200, 200} : TRGB{0, 0, 0});
      }
    for (bool grow : {false, true}) {
      TPXArrayOfTPoint pts;
      TraceMagicWand(b.get(), w / 2, h / 2, grow, 0, 1, pts);
      mix(static_cast<int32_t>(pts.size()));
      for (const TPoint& p : pts) mix(p.X), mix(p.Y);
    }
  }
  EXPECT_EQ(hash, 0xb7f897a9b670ba3dull) << std::hex << hash;
}

TEST(WandGlobal, SelectsEverySimilarPixel) {
  std::mt19937 rng(5);
  // Random pixels, with long stretches of the seed's colour and of a far one in some rows, so
  // runs start and end inside, across and at the ends of whole blocks of pixels.
  constexpr int kW = 131, kH = 11;
  auto b = TPXBitmap::CreateAllocated(kW, kH, px24RGB);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      b->SetPixel24(x, y, TRGB{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())});
  const TRGB seed = b->GetPixelRGB(3, 4);
  for (int y = 0; y < kH; y += 2)
    for (int x = 5 + y; x < 40 + 9 * y && x < kW; ++x)
      b->SetPixel24(x, y, y % 4 ? seed : TRGB{static_cast<uint8_t>(seed.b ^ 0x80), seed.g, seed.r});
  for (int tol : {0, 40, 120, 255}) {
    SCOPED_TRACE(tol);
    TPXMask m;
    m.AllocateBits(kW, kH, 8);
    m.SetPixel(0, 0, 7);  // other mask pixels keep their values
    MagicWandGlobal(b.get(), 3, 4, tol, &m, 200, 1);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const TRGB c = b->GetPixelRGB(x, y);
        const bool similar = std::abs(c.r - seed.r) <= tol && std::abs(c.g - seed.g) <= tol && std::abs(c.b - seed.b) <= tol;
        const int other = (x == 0 && y == 0) ? 7 : 0;
        ASSERT_EQ(m.GetPixel(x, y), similar ? 200 : other) << x << "," << y;
      }
  }
  // Two regions touching only at a corner: the fill takes one, the global selection both.
  auto c = TPXBitmap::CreateAllocated(4, 4, px24RGB);
  c->Fill(0);
  c->SetPixel24(1, 1, TRGB{5, 5, 5});
  c->SetPixel24(2, 2, TRGB{5, 5, 5});
  TPXMask fill, global;
  fill.AllocateBits(4, 4, 1);
  global.AllocateBits(4, 4, 1);
  MagicWandFill(c.get(), 1, 1, false, 0, &fill, 1, 1);
  MagicWandGlobal(c.get(), 1, 1, 0, &global, 1, 1);
  EXPECT_FALSE(fill.IsPointInside(2, 2));
  EXPECT_TRUE(global.IsPointInside(1, 1));
  EXPECT_TRUE(global.IsPointInside(2, 2));
  EXPECT_FALSE(global.IsPointInside(1, 2));
  // A point outside changes nothing.
  TPXMask none;
  none.AllocateBits(4, 4, 1);
  MagicWandGlobal(c.get(), 4, 0, 255, &none, 1, 1);
  EXPECT_TRUE(none.IsEmpty());
}

}  // namespace
