// Speckle removal: specks and holes, window sizes, the corner rule, one-group rings, the plain
// threshold of small windows and the two-level result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

// A px8g picture from text rows: '#' is 255, anything else 0.
std::unique_ptr<TPXBitmap> Art(const std::vector<std::string>& rows) {
  std::vector<std::vector<int>> v;
  for (const auto& r : rows) {
    v.emplace_back();
    for (char c : r) v.back().push_back(c == '#' ? 255 : 0);
  }
  return RsGray(v);
}

int At(TPXBitmap* b, int x, int y) { return b->Scanline(y)[x]; }

TEST(Speckle, SpecksVanishAndHolesFill) {
  auto dot = Art({".........", ".........", ".........", ".........", "....#....", ".........", ".........",
                  ".........", "........."});
  RemoveSpeckles(dot.get(), false, false, 6, 6, false);
  EXPECT_EQ(At(dot.get(), 4, 4), 0);
  auto hole = Art({"#########", "#########", "#########", "#########", "####.####", "#########", "#########",
                   "#########", "#########"});
  RemoveSpeckles(hole.get(), false, false, 6, 6, false);
  EXPECT_EQ(At(hole.get(), 4, 4), 255);
  EXPECT_EQ(At(hole.get(), 2, 2), 255);
  // The same on a 1-bit picture, and a dark speck on white through Negate.
  auto mono = RsNew(9, 9, px1g);
  for (int y = 0; y < 9; ++y) std::memset(mono->Scanline(y), 0xFF, static_cast<size_t>(mono->RowLen()));
  SetPixelBit(mono->Scanline(4), 4, 0);
  RemoveSpeckles(mono.get(), false, false, 6, 6, true);
  EXPECT_NE(GetPixelBit(mono->Scanline(4), 4), 0);
}

TEST(Speckle, TwoByTwoSpeckNeedsWindowFour) {
  const std::vector<std::string> art = {"..........", "..........", "..........", "..........", "....##....",
                                        "....##....", "..........", "..........", "..........", ".........."};
  auto small = Art(art);
  RemoveSpeckles(small.get(), false, false, 6, 3, false);
  EXPECT_EQ(At(small.get(), 4, 4), 255);
  EXPECT_EQ(At(small.get(), 5, 5), 255);
  auto big = Art(art);
  RemoveSpeckles(big.get(), false, false, 6, 4, false);
  EXPECT_EQ(At(big.get(), 4, 4), 0);
  EXPECT_EQ(At(big.get(), 5, 5), 0);
}

TEST(Speckle, FiveOffRingFillsOnlyWithTwoOnCorners) {
  // (5, 5) has three ON ring pixels: corners (4, 4) and (6, 6) with side (5, 4), then corner
  // (4, 4) with sides (5, 4) and (6, 5).
  auto two = Art({"...........", ".####......", ".####......", ".####......", ".#####.....", ".....#.....",
                  "......####.", "......####.", "......####.", "......####.", "..........."});
  RemoveSpeckles(two.get(), false, false, 1, 3, false);
  EXPECT_EQ(At(two.get(), 5, 5), 0);
  EXPECT_EQ(At(two.get(), 5, 4), 255);
  auto one = Art({"...........", ".####......", ".####......", ".####..###.", ".#####.###.", ".....####..",
                  ".......###.", ".......###.", "...........", "...........", "..........."});
  RemoveSpeckles(one.get(), false, false, 1, 3, false);
  EXPECT_EQ(At(one.get(), 5, 5), 255);
}

TEST(Speckle, OneGroupKeepsTheGapBetweenStrokes) {
  const std::vector<std::string> art = {"...........", "...#.#.....", "...#.#.....", "...#.#.....", "...#.#.....",
                                        "...#.#.....", "...#.#.....", "...#.#.....", "...#.#.....", "...#.#.....",
                                        "..........."};
  auto merged = Art(art);
  RemoveSpeckles(merged.get(), false, true, 6, 3, false);
  EXPECT_EQ(At(merged.get(), 4, 5), 255);
  auto kept = Art(art);
  RemoveSpeckles(kept.get(), true, true, 6, 3, false);
  EXPECT_EQ(At(kept.get(), 4, 5), 0);
  EXPECT_EQ(At(kept.get(), 3, 5), 255);
}

TEST(Speckle, SmallWindowsOnlyThresholdAndResultsAreTwoLevel) {
  auto g = RsGray({{7, 7, 7, 7, 7}, {7, 100, 200, 129, 7}, {7, 128, 255, 0, 7}, {7, 7, 7, 7, 7}});
  RemoveSpeckles(g.get(), false, false, 6, 2, false);
  EXPECT_EQ(RsGrayRow(g.get(), 1), (std::vector<int>{7, 0, 255, 255, 7}));
  EXPECT_EQ(RsGrayRow(g.get(), 2), (std::vector<int>{7, 0, 255, 0, 7}));
  EXPECT_EQ(RsGrayRow(g.get(), 0), (std::vector<int>{7, 7, 7, 7, 7}));
  auto r = RsRandom(40, 30, px8g, 41);
  RemoveSpeckles(r.get(), false, false, 10, 7, false);  // windows above 7 are limited to 7
  for (int y = 1; y < 29; ++y)
    for (int x = 1; x < 39; ++x) ASSERT_TRUE(At(r.get(), x, y) == 0 || At(r.get(), x, y) == 255);
  // Pictures without inner pixels, and other formats, are left alone.
  auto thin = RsGray({{200, 100}, {50, 255}});
  RemoveSpeckles(thin.get(), false, false, 6, 6, false);
  EXPECT_EQ(RsGrayRow(thin.get(), 0), (std::vector<int>{200, 100}));
  auto rgb = RsRandom(6, 6, px24RGB, 42);
  auto before = TPXBitmap::CreateCopy(rgb.get());
  RemoveSpeckles(rgb.get(), false, false, 6, 6, false);
  EXPECT_TRUE(RsSameBytes(rgb.get(), before.get()));
}

}  // namespace
