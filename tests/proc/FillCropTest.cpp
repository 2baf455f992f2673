// The magic wand's region fill, the flood and alpha fills, rounded corners, the perspective crop
// and histogram matching.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_fill.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"
#include "tests/proc/ProcOracle.h"

namespace {

// W x H px24RGB, every channel drawn from Levels.
std::unique_ptr<TPXBitmap> RandomLevels(int W, int H, std::vector<uint8_t> Levels, uint32_t Seed, bool Grey = false) {
  std::mt19937 rng(Seed);
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const uint8_t r = Levels[rng() % Levels.size()];
      const TRGB c = Grey ? TRGB{r, r, r} : TRGB{Levels[rng() % Levels.size()], Levels[rng() % Levels.size()], r};
      b->SetPixel24(x, y, c);
    }
  return b;
}

// The region by breadth-first search from the seed pixel's colour, optionally grown by the 3 x 3
// neighbourhood: an independent reference for the scan-line fill.
std::vector<uint8_t> ReferenceRegion(TPXBitmap* B, int X, int Y, int Tol, bool Grow) {
  const int w = B->Width(), h = B->Height();
  const TRGB s = B->GetPixelRGB(X, Y);
  auto similar = [&](int x, int y) {
    const TRGB c = B->GetPixelRGB(x, y);
    return std::abs(c.r - s.r) <= Tol && std::abs(c.g - s.g) <= Tol && std::abs(c.b - s.b) <= Tol;
  };
  std::vector<uint8_t> in(static_cast<size_t>(w) * h, 0);
  std::deque<std::pair<int, int>> q{{X, Y}};
  in[static_cast<size_t>(Y) * w + X] = 1;
  while (!q.empty()) {
    auto [x, y] = q.front();
    q.pop_front();
    const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
      uint8_t& v = in[static_cast<size_t>(ny[k]) * w + nx[k]];
      if (!v && similar(nx[k], ny[k])) {
        v = 1;
        q.push_back({nx[k], ny[k]});
      }
    }
  }
  if (!Grow) return in;
  std::vector<uint8_t> grown(in.size(), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int xx = x + dx, yy = y + dy;
          if (xx >= 0 && yy >= 0 && xx < w && yy < h && in[static_cast<size_t>(yy) * w + xx])
            grown[static_cast<size_t>(y) * w + x] = 1;
        }
  return grown;
}

std::vector<uint8_t> MaskCells(TPXMask& M, int Value) {
  std::vector<uint8_t> v(static_cast<size_t>(M.Width()) * M.Height());
  for (int y = 0; y < M.Height(); ++y)
    for (int x = 0; x < M.Width(); ++x) v[static_cast<size_t>(y) * M.Width() + x] = M.GetPixel(x, y) == Value;
  return v;
}

// ---------------------------------------------------------------------------------------------
// Magic wand

TEST(MagicWand, RegionMatchesBreadthFirstSearch) {
  struct Case {
    std::vector<uint8_t> Levels;
    int Tol;
    bool Grow;
    bool Grey8;  // run on a px8g copy (the any-format reader)
  };
  const Case cases[] = {
      {{0, 255}, 0, false, false},         {{0, 100, 200}, 0, false, false}, {{0, 40, 80, 120}, 40, false, false},
      {{0, 40, 80, 120}, 39, true, false}, {{0, 100, 200}, 0, true, false},  {{0, 60, 120}, 60, false, true},
      {{0, 60, 120, 180}, 0, true, true},
  };
  int n = 0;
  for (const Case& c : cases) {
    auto b = RandomLevels(37, 23, c.Levels, 100 + n, c.Grey8);
    if (c.Grey8) b->ChangePixelFormat(px8g);
    for (auto [x, y] : {std::pair{0, 0}, {36, 22}, {18, 11}, {5, 20}}) {
      TPXMask m;
      m.AllocateBits(37, 23, 8);
      MagicWandFill(b.get(), x, y, c.Grow, c.Tol, &m, 255, 1);
      EXPECT_EQ(MaskCells(m, 255), ReferenceRegion(b.get(), x, y, c.Tol, c.Grow))
          << "case " << n << " seed " << x << "," << y;
    }
    ++n;
  }
}

TEST(MagicWand, CornerTouchingRegionsStaySeparateAndOtherMaskPixelsStay) {
  // Two white squares of a black picture that meet only at the corner (2, 2) / (3, 3).
  auto b = TPXBitmap::CreateAllocated(6, 6, px24RGB);
  b->Fill(0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      if ((x < 3 && y < 3) || (x >= 3 && y >= 3)) b->SetPixel24(x, y, TRGB{255, 255, 255});
  TPXMask m;
  m.AllocateBits(6, 6, 1);
  m.SetPixel(5, 0, 1);
  MagicWandFill(b.get(), 0, 0, false, 0, &m, 1, 1);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(m.GetPixel(x, y) != 0, (x < 3 && y < 3) || (x == 5 && y == 0)) << x << "," << y;
}

TEST(MagicWand, OutsidePointNegativeToleranceAndGrowAtTheEdge) {
  auto b = TPXBitmap::CreateAllocated(5, 4, px24RGB);
  b->Fill(0);
  b->SetPixel24(0, 0, TRGB{9, 9, 9});
  TPXMask m;
  m.AllocateBits(5, 4, 8);
  for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {5, 0}, {0, 4}}) MagicWandFill(b.get(), x, y, true, 255, &m, 7, 1);
  MagicWandFill(b.get(), 2, 2, false, -1, &m, 7, 1);
  EXPECT_TRUE(m.IsEmpty());
  // One pixel in the corner, grown: its 2 x 2 neighbourhood inside the picture.
  MagicWandFill(b.get(), 0, 0, true, 0, &m, 7, 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(m.GetPixel(x, y), (x < 2 && y < 2) ? 7 : 0) << x << "," << y;
}

TEST(MagicWand, SampleSizeAveragesTheInscribedEllipse) {
  // Seed 100 with a ring of 130 around it and 255 at the corners of the 5 x 5 square.
  auto b = TPXBitmap::CreateAllocated(9, 9, px24RGB);
  b->Fill(0);
  auto grey = [&](int x, int y, uint8_t v) { b->SetPixel24(x, y, TRGB{v, v, v}); };
  for (int y = 3; y <= 5; ++y)
    for (int x = 3; x <= 5; ++x) grey(x, y, 130);
  grey(4, 4, 100);
  for (auto [x, y] : {std::pair{2, 2}, {6, 2}, {2, 6}, {6, 6}}) grey(x, y, 255);

  EXPECT_EQ(MagicWandSeedColor(b.get(), 4, 4, 1), (TRGB{100, 100, 100}));
  // 3: radius 1.5 holds the whole 3 x 3 square, (100 + 8 x 130) / 9 = 126.
  EXPECT_EQ(MagicWandSeedColor(b.get(), 4, 4, 3), (TRGB{126, 126, 126}));
  // 4 and 5 (d = 2): radius 2.5 leaves the four corners out: (100 + 1040) / 21 = 54.
  EXPECT_EQ(MagicWandSeedColor(b.get(), 4, 4, 4), (TRGB{54, 54, 54}));
  EXPECT_EQ(MagicWandSeedColor(b.get(), 4, 4, 5), (TRGB{54, 54, 54}));
  // At the picture's corner the square is clipped: (0, 0) and its three neighbours, all 0.
  EXPECT_EQ(MagicWandSeedColor(b.get(), 0, 0, 3), (TRGB{0, 0, 0}));

  // With the average 126 and tolerance 26 the ring joins the seed; from the seed colour alone not.
  TPXMask m;
  m.AllocateBits(9, 9, 8);
  MagicWandFill(b.get(), 4, 4, false, 26, &m, 255, 3);
  EXPECT_EQ(m.FX1, 3);
  EXPECT_EQ(m.FY2, 5);
  TPXMask one;
  one.AllocateBits(9, 9, 8);
  MagicWandFill(b.get(), 4, 4, false, 26, &one, 255, 1);
  EXPECT_EQ(one.FX1, 4);
  EXPECT_EQ(one.FX2, 4);

  // The component passes its sample size on.
  auto p = TPixoranProc::CreateForBitmap(b.get());
  p->SetFillSampleSize(3);
  EXPECT_EQ(p->FillSampleSize(), 3);
  p->FloodFill(4, 4, TRGB{1, 1, 1}, TPXTolerance(26));
  EXPECT_EQ(b->GetPixelRGB(3, 3), (TRGB{1, 1, 1}));
  EXPECT_EQ(b->GetPixelRGB(2, 2), (TRGB{255, 255, 255}));
}

// ---------------------------------------------------------------------------------------------
// Flood and alpha fill

struct FillFixture {
  std::unique_ptr<TPXBitmap> B = RandomLevels(16, 12, {0, 80, 160}, 7);
  std::unique_ptr<TPXBitmap> Before;
  std::unique_ptr<TPixoranProc> P = TPixoranProc::CreateForBitmap(B.get());
  FillFixture() {
    // A pixel no 4-neighbour shares the colour of.
    B->SetPixel24(6, 5, TRGB{1, 2, 3});
    Before = TPXBitmap::CreateCopy(B.get());
    P->SetAutoUndo(true);
    P->SetUndoLocation(pxMemory);
  }
};

TEST(FloodFill, IsolatedPixelCaptionAndRegion) {
  FillFixture f;
  f.P->FloodFill(6, 5, TRGB{9, 9, 9}, TPXTolerance(0));
  EXPECT_EQ(LastUndo(*f.P).Caption, "Flood Fill");
  EXPECT_EQ(LastUndo(*f.P).Code, 17);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(f.B->GetPixelRGB(x, y), ((x == 6 && y == 5) ? TRGB{9, 9, 9} : f.Before->GetPixelRGB(x, y)));

  // A larger region, grown by one pixel: exactly the reference region takes the colour.
  f.P->SetFillGrow(true);
  EXPECT_TRUE(f.P->FillGrow());
  auto copy = TPXBitmap::CreateCopy(f.B.get());
  const auto region = ReferenceRegion(copy.get(), 10, 3, 80, true);
  f.P->FloodFill(10, 3, TRGB{0xAA, 0xBB, 0xCC}, TPXTolerance(80));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(f.B->GetPixelRGB(x, y), (region[y * 16 + x] ? TRGB{0xAA, 0xBB, 0xCC} : copy->GetPixelRGB(x, y)));
}

TEST(FloodFill, AlphaFillSetsAlphaAndOpaqueFlag) {
  FillFixture f;
  f.P->AlphaFill(6, 5, 40, TPXTolerance(0));
  EXPECT_EQ(LastUndo(*f.P).Caption, "Alpha Fill");
  EXPECT_EQ(LastUndo(*f.P).Code, 16);
  ASSERT_TRUE(f.B->HasAlphaChannel());
  EXPECT_EQ(f.B->GetAlpha(6, 5), 40);
  EXPECT_EQ(f.B->GetAlpha(5, 5), 255);
  EXPECT_EQ(f.B->PeekAlphaChannel()->FFull, 0);
  EXPECT_TRUE(SamePixels(f.B.get(), f.Before.get()));
  f.P->AlphaFill(6, 5, 255, TPXTolerance(0));
  EXPECT_EQ(f.B->PeekAlphaChannel()->FFull, 1);
}

TEST(FloodFill, ProgressCountsTheBoxRows) {
  // The region lies in rows 500 .. 599.
  auto b = TPXBitmap::CreateAllocated(4, 600, px24RGB);
  b->Fill(0);
  b->FillRect(0, 500, 3, 599, 0xFFFFFF);
  auto p = TPixoranProc::CreateForBitmap(b.get());
  std::vector<int> seen;
  p->SetOnProgress(TPXProgressEvent([&](TObject*, int32_t v) { seen.push_back(v); }));
  p->FloodFill(1, 550, TRGB{1, 1, 1}, TPXTolerance(0));
  ASSERT_EQ(seen.size(), 101u);  // 100 rows, then the finish
  EXPECT_EQ(seen.front(), 1);
  for (size_t i = 0; i < 100; ++i) EXPECT_EQ(seen[i], static_cast<int>(i + 1));
  EXPECT_EQ(b->GetPixelRGB(0, 499), (TRGB{0, 0, 0}));
  EXPECT_EQ(b->GetPixelRGB(3, 599), (TRGB{1, 1, 1}));
}

TEST(FloodFill, SelectionLimitsTheChangeAndKeepsPictureCoordinates) {
  TFakeHost host;
  TPXBitmap* b = host.AddLayer(10, 8, px24RGB).Bitmap.get();  // all black
  host.Mask.AllocateBits(10, 8, 1);
  for (int y = 2; y <= 5; ++y) host.Mask.FillSpan(1, 4, 8, y);
  host.Mask.SetPixel(8, 5, 0);
  host.SelActive = true;
  TComponent owner(nullptr);
  auto* p = new TPixoranProc(&owner);  // owned by owner
  p->SetUndoLocation(pxMemory);
  p->SetAttachedPixoran(&host);
  p->FloodFill(5, 3, TRGB{0, 0, 255}, TPXTolerance(0));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool selected = x >= 4 && x <= 8 && y >= 2 && y <= 5 && !(x == 8 && y == 5);
      EXPECT_EQ(b->GetPixelRGB(x, y), (selected ? TRGB{0, 0, 255} : TRGB{})) << x << "," << y;
    }
  // A seed outside the selection's box changes nothing.
  p->FloodFill(0, 0, TRGB{0, 255, 0}, TPXTolerance(0));
  EXPECT_EQ(b->GetPixelRGB(0, 0), (TRGB{}));
  EXPECT_EQ(b->GetPixelRGB(5, 3), (TRGB{0, 0, 255}));
}

TEST(FloodFill, NoPictureRaisesBeforeStoring) {
  TFakeHost host;
  host.AddLayer(4, 4, px24RGB, false);  // a layer without a picture
  TComponent owner(nullptr);
  auto* p = new TPixoranProc(&owner);  // owned by owner
  p->SetUndoLocation(pxMemory);
  p->SetAttachedPixoran(&host);
  const TDPoint pts[4] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}};
  auto expectRaise = [&](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (const EPXException& e) {
      EXPECT_STREQ(e.what(), "Active layer does not contain bitmap");
    }
  };
  expectRaise([&] { p->FloodFill(1, 1, TRGB{}, TPXTolerance(0)); });
  expectRaise([&] { p->AlphaFill(1, 1, 0, TPXTolerance(0)); });
  expectRaise([&] { p->CropPerspective(pts); });
  EXPECT_EQ(p->UndoCount(), 0);
}

// ---------------------------------------------------------------------------------------------
// Rounded corners

// The corners as literally described: every curve point clears the rectangle between it and its
// corner, and the mirror of that rectangle.
std::vector<uint8_t> LiteralCorners(int W, int H, int RX, int RY) {
  std::vector<uint8_t> a(static_cast<size_t>(W) * H, 255);
  TPXArrayOfTPoint pts;
  BezierPoints(TPoint(0, RY), TPoint(0, 0), TPoint(RX, 0), TPoint(RX, 0), pts, RX + RY);
  for (const TPoint& p : pts) {
    const int px = std::min(p.X, W - 1), py = std::min(p.Y, H - 1);
    for (int j = 0; j <= py; ++j)
      for (int k = 0; k <= px; ++k) a[j * W + k] = a[j * W + (W - 1 - k)] = 0;
  }
  BezierPoints(TPoint(W, H - RY), TPoint(W, H), TPoint(W - RX, H), TPoint(W - RX, H), pts, RX + RY);
  for (const TPoint& p : pts) {
    const int px = std::max(p.X, 1), py = std::max(p.Y, 1);
    for (int j = py - 1; j <= H - 1; ++j)
      for (int k = px - 1; k <= W - 1; ++k) a[j * W + k] = a[j * W + (W - 1 - k)] = 0;
  }
  return a;
}

TEST(RoundCorners, CornersBecomeTransparent) {
  auto b = TPXBitmap::CreateAllocated(100, 100, px24RGB);
  RoundCornersAlpha(b.get(), 10, 10);
  ASSERT_TRUE(b->HasAlphaChannel());
  for (auto [x, y] : {std::pair{0, 0}, {99, 0}, {0, 99}, {99, 99}}) EXPECT_EQ(b->GetAlpha(x, y), 0) << x << "," << y;
  for (auto [x, y] : {std::pair{10, 10}, {50, 0}, {0, 50}, {89, 89}})
    EXPECT_EQ(b->GetAlpha(x, y), 255) << x << "," << y;
  EXPECT_EQ(b->PeekAlphaChannel()->FFull, 0);

  struct Case {
    int W, H, RX, RY;
  };
  for (const Case c : {Case{100, 100, 10, 10}, Case{40, 30, 7, 12}, Case{9, 5, 20, 3}, Case{3, 3, 1, 1}}) {
    auto t = TPXBitmap::CreateAllocated(c.W, c.H, px24RGB);
    RoundCornersAlpha(t.get(), c.RX, c.RY);
    const auto want = LiteralCorners(c.W, c.H, c.RX, c.RY);
    for (int y = 0; y < c.H; ++y)
      for (int x = 0; x < c.W; ++x)
        EXPECT_EQ(t->GetAlpha(x, y), want[y * c.W + x])
            << c.W << "x" << c.H << " r" << c.RX << "," << c.RY << " at " << x << "," << y;
  }
}

TEST(RoundCorners, ZeroRadiusDoesNothing) {
  auto b = TPXBitmap::CreateAllocated(20, 20, px24RGB);
  RoundCornersAlpha(b.get(), 0, 10);
  RoundCornersAlpha(b.get(), 10, 0);
  EXPECT_FALSE(b->HasAlphaChannel());
  TPXBitmap empty;
  RoundCornersAlpha(&empty, 5, 5);
  EXPECT_FALSE(empty.HasAlphaChannel());
}

// ---------------------------------------------------------------------------------------------
// Perspective crop

struct CropFixture {
  std::unique_ptr<TPXBitmap> B = RandomLevels(60, 30, {0, 50, 99, 150, 201, 255}, 11);
  std::unique_ptr<TPXBitmap> Before;
  std::unique_ptr<TPixoranProc> P = TPixoranProc::CreateForBitmap(B.get());
  CropFixture() {
    Before = TPXBitmap::CreateCopy(B.get());
    P->SetAutoUndo(true);
    P->SetUndoLocation(pxMemory);
  }
};

TEST(CropPerspective, UnskewedRectangleKeepsItsRatioAndPixels) {
  CropFixture f;
  const TDPoint pts[4] = {{10, 5}, {50, 5}, {50, 25}, {10, 25}};
  f.P->CropPerspective(pts);
  EXPECT_EQ(LastUndo(*f.P).Caption, "Crop Image");
  EXPECT_EQ(LastUndo(*f.P).Code, 38);
  ASSERT_EQ(f.B->Width(), 40);
  ASSERT_EQ(f.B->Height(), 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(f.B->GetPixelRGB(x, y), f.Before->GetPixelRGB(x + 10, y + 5)) << x << "," << y;

  // A tall one keeps its ratio too.
  CropFixture g;
  const TDPoint tall[4] = {{2, 1}, {14, 1}, {14, 28}, {2, 28}};
  g.P->CropPerspective(tall);
  EXPECT_EQ(g.B->Width(), 12);
  EXPECT_EQ(g.B->Height(), 27);
}

TEST(CropPerspective, OutsideGivesZeroAndTransparent) {
  CropFixture f;
  f.B->GetAlphaChannel()->Fill(255);
  f.B->PeekAlphaChannel()->UpdateFull();
  const TDPoint pts[4] = {{-10, -10}, {10, -10}, {10, 10}, {-10, 10}};
  f.P->CropPerspective(pts);
  ASSERT_EQ(f.B->Width(), 20);
  ASSERT_EQ(f.B->Height(), 20);
  EXPECT_EQ(f.B->GetPixelRGB(0, 0), (TRGB{}));
  EXPECT_EQ(f.B->GetAlpha(0, 0), 0);
  EXPECT_EQ(f.B->GetAlpha(9, 15), 0);
  EXPECT_EQ(f.B->GetPixelRGB(15, 15), f.Before->GetPixelRGB(5, 5));
  EXPECT_EQ(f.B->GetAlpha(15, 15), 255);
  EXPECT_EQ(f.B->PeekAlphaChannel()->FFull, 0);

  // Wholly inside, the copied alpha is opaque again.
  CropFixture g;
  g.B->GetAlphaChannel()->Fill(255);
  const TDPoint inside[4] = {{1, 1}, {9, 1}, {9, 5}, {1, 5}};
  g.P->CropPerspective(inside);
  EXPECT_EQ(g.B->PeekAlphaChannel()->FFull, 1);
}

TEST(CropPerspective, TrapezoidMapsCornersAndCentreProjectively) {
  // Red and green give the source position (x = r / 4, y = g / 8), which the bilinear mix of a
  // linear ramp keeps.
  auto b = TPXBitmap::CreateAllocated(60, 30, px24RGB);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) b->SetPixel24(x, y, TRGB{0, static_cast<uint8_t>(8 * y), static_cast<uint8_t>(4 * x)});
  auto p = TPixoranProc::CreateForBitmap(b.get());
  const TDPoint pts[4] = {{20, 4}, {40, 4}, {55, 28}, {5, 28}};
  p->CropPerspective(pts);
  const int w = b->Width(), h = b->Height();
  ASSERT_GT(w, 1);
  ASSERT_GT(h, 1);
  auto source = [&](int x, int y) {
    const TRGB c = b->GetPixelRGB(x, y);
    return TDPoint{c.r / 4.0, c.g / 8.0};
  };
  auto near = [](TDPoint a, TDPoint e, double tol) { return std::hypot(a.X - e.X, a.Y - e.Y) <= tol; };
  EXPECT_TRUE(near(source(0, 0), {20, 4}, 0.3));
  // The last column and row stop one destination pixel short of the far corners.
  EXPECT_TRUE(near(source(w - 1, 0), {40, 4}, 1.5));
  EXPECT_TRUE(near(source(0, h - 1), {5, 28}, 1.5));
  EXPECT_TRUE(near(source(w - 1, h - 1), {55, 28}, 2.5));
  // The square's centre goes to where the diagonals cross, (30, 4 + 48 / 7).
  EXPECT_TRUE(near(source(w / 2, h / 2), {30, 4 + 48.0 / 7}, 1.0));
}

TEST(CropPerspective, LabChannelsMixAsSignedValues) {
  auto b = TPXBitmap::CreateAllocated(4, 4, pxCIELab);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) b->SetPixelLab(x, y, TCIELab{50, static_cast<int8_t>(x % 2 ? 2 : -2), 0});
  auto p = TPixoranProc::CreateForBitmap(b.get());
  // Every destination pixel lies half way between four pixels.
  const TDPoint pts[4] = {{0.5, 0.5}, {2.5, 0.5}, {2.5, 2.5}, {0.5, 2.5}};
  p->CropPerspective(pts);
  ASSERT_EQ(b->Width(), 2);
  ASSERT_EQ(b->PixelFormat(), pxCIELab);
  EXPECT_EQ(b->GetPixelLab(0, 0).a, 0);
  EXPECT_EQ(b->GetPixelLab(0, 0).l, 50);
}

TEST(CropPerspective, DegenerateInputChangesAndStoresNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<TDPoint>> cases = {
      {},
      {{0, 0}, {10, 0}, {10, 10}},                       // three points
      {{0, 0}, {10, 0}, {10, 10}, {10, 20}},             // three corners on one line
      {{0, 0}, {10, 0}, {20, 0}, {30, 0}},               // all on one line
      {{5, 5}, {5, 5}, {5, 5}, {5, 5}},                  // one point
      {{0, 0}, {nan, 0}, {10, 10}, {0, 10}},             // not a number
      {{0, 0}, {1e300, 0}, {1e300, 1e300}, {0, 1e300}},  // beyond any picture size
  };
  int n = 0;
  for (const auto& pts : cases) {
    CropFixture f;
    f.P->CropPerspective(pts);
    EXPECT_TRUE(SamePixels(f.B.get(), f.Before.get())) << "case " << n;
    EXPECT_EQ(f.P->UndoCount(), 0) << "case " << n;
    ++n;
  }
}

// ---------------------------------------------------------------------------------------------
// Histogram matching

TEST(HistogramMatch, TiesGoToTheLowestLevel) {
  // Half the pixels 0, half 255: equalised to 127 and 255. The target's cumulative share is 0
  // below 50, 127.5 from 50 to 199 and 255 from 200: 127 is nearest to levels 50 .. 199.
  auto b = TPXBitmap::CreateAllocated(4, 2, px24RGB);
  for (int x = 0; x < 4; ++x) {
    b->SetPixel24(x, 0, TRGB{0, 0, 0});
    b->SetPixel24(x, 1, TRGB{255, 255, 255});
  }
  std::array<int32_t, 256> hist{};
  hist[50] = 10;
  hist[200] = 10;
  MatchHistogramChannel(b.get(), 1, hist, 20);
  EXPECT_EQ(b->GetPixelRGB(0, 0), (TRGB{0, 50, 0}));
  EXPECT_EQ(b->GetPixelRGB(0, 1), (TRGB{255, 200, 255}));
  // A count of 0 or another channel index does nothing.
  MatchHistogramChannel(b.get(), 1, hist, 0);
  MatchHistogramChannel(b.get(), 3, hist, 20);
  EXPECT_EQ(b->GetPixelRGB(0, 0), (TRGB{0, 50, 0}));
}

TEST(HistogramMatch, ChannelsFollowLikeChannels) {
  auto ref = TPXBitmap::CreateAllocated(3, 3, px24RGB);
  ref->Fill(0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) ref->SetPixel24(x, y, TRGB{10, 100, 200});  // blue 10, red 200

  auto t24 = TPXBitmap::CreateAllocated(5, 2, px24RGB);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) t24->SetPixel24(x, y, TRGB{77, 77, 77});
  MatchRGBHistogram(ref.get(), t24.get());
  EXPECT_EQ(t24->GetPixelRGB(3, 1), (TRGB{10, 100, 200}));

  auto t48 = TPXBitmap::CreateAllocated(5, 2, pxRGB48);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) t48->SetPixel48(x, y, TRGB48{30000, 30000, 30000});
  MatchRGBHistogram(ref.get(), t48.get());
  EXPECT_EQ(t48->GetPixel48(4, 0), (TRGB48{200 * 257, 100 * 257, 10 * 257}));
}

TEST(HistogramMatch, UnsuitableReferenceOrTargetDoesNothing) {
  auto target = RandomLevels(6, 4, {0, 90, 180}, 3);
  auto before = TPXBitmap::CreateCopy(target.get());
  TPXBitmap empty;
  auto grey = TPXBitmap::CreateAllocated(3, 3, px8g);
  auto ref = TPXBitmap::CreateAllocated(3, 3, px24RGB);
  MatchRGBHistogram(&empty, target.get());
  MatchRGBHistogram(grey.get(), target.get());
  MatchRGBHistogram(nullptr, target.get());
  EXPECT_TRUE(SamePixels(target.get(), before.get()));
  MatchRGBHistogram(ref.get(), &empty);
  EXPECT_TRUE(empty.IsEmpty());
}

// ---------------------------------------------------------------------------------------------
// Oracle: ImageMagick's flood fill (4-connected, exact colour with no fuzz).

TEST(FloodFill, MatchesImageMagickFloodfill) {
  if (!ToolExists(kProcConvert)) GTEST_SKIP() << "ImageMagick missing";
  TestTempDir dir;
  auto b = RandomLevels(41, 29, {0, 128, 255}, 21);
  const std::string in = dir.Path() + "/in.ppm", out = dir.Path() + "/out.ppm";
  WritePnm(b.get(), in);
  for (auto [x, y] : {std::pair{0, 0}, {20, 14}, {40, 28}}) {
    auto ours = TPXBitmap::CreateCopy(b.get());
    auto p = TPixoranProc::CreateForBitmap(ours.get());
    p->FloodFill(x, y, TRGB{7, 7, 7}, TPXTolerance(0));
    const std::string draw = "color " + std::to_string(x) + "," + std::to_string(y) + " floodfill";
    ASSERT_EQ(RunTool({kProcConvert, in, "-fill", "rgb(7,7,7)", "-draw", draw, out}, dir.Path() + "/log"), 0);
    auto theirs = ReadPnm(out);
    ASSERT_TRUE(theirs);
    EXPECT_TRUE(SamePixels(ours.get(), theirs.get())) << x << "," << y;
  }
}

}  // namespace
