// The fast linear, projection and 1-bit paths, and the area-sampling resampler (with Pillow's
// reduce as an outside reference).
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

TEST(ResampleFast, LinearColumnTables) {
  // 4 to 8: column 3 samples position 1.5, the mean of columns 1 and 2.
  auto up = RsNew(8, 1, px24RGB);
  ResampleFastLinear24(RsRgbRow({10, 20, 40, 80}).get(), up.get(), nullptr, {}, nullptr);
  EXPECT_EQ(RsRedRow(up.get(), 0)[3], 30);
  // 8 to 4: column 1 averages source 2, 3 and 4; the last takes source 6 alone.
  auto down = RsNew(4, 1, px24RGB);
  ResampleFastLinear24(RsRgbRow({0, 10, 20, 30, 40, 50, 60, 70}).get(), down.get(), nullptr, {}, nullptr);
  EXPECT_EQ(RsRedRow(down.get(), 0), (std::vector<int>{10, 30, 50, 60}));
  // Only the height changes: each pixel is still averaged with its right-hand neighbour.
  auto tall = RsNew(3, 4, px8g);
  ResampleFastLinearGray8(RsGray({{0, 90, 30}, {0, 90, 30}}).get(), tall.get(), nullptr, {}, nullptr);
  for (int y = 0; y < 4; ++y) EXPECT_EQ(RsGrayRow(tall.get(), y), (std::vector<int>{45, 60, 30}));
  // 16-bit follows the same tables.
  auto s16 = RsNew(8, 1, px16g);
  for (int x = 0; x < 8; ++x) s16->SetPixel16(x, 0, static_cast<uint16_t>(1000 * x));
  auto d16 = RsNew(4, 1, px16g);
  ResampleFastLinearGray16(s16.get(), d16.get(), nullptr, {});
  EXPECT_EQ(d16->GetPixel16(1, 0), 3000);
  EXPECT_EQ(d16->GetPixel16(3, 0), 6000);
}

TEST(ResampleFast, RectangleLimitsTheWrittenPixels) {
  auto src = RsRandom(8, 8, px24RGB, 31);
  auto whole = RsNew(4, 4, px24RGB);
  ResampleFastLinear24(src.get(), whole.get(), nullptr, {}, nullptr);
  for (const TRect r : {TRect(1, 1, 2, 2), TRect(-5, 2, 40, 3), TRect(3, 0, 3, 3)}) {
    auto part = RsNew(4, 4, px24RGB);
    part->FillRGBA(0x07070707);
    ResampleFastLinear24(src.get(), part.get(), nullptr, {}, &r);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const bool inside = x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
        EXPECT_EQ(part->GetPixelRGB(x, y), inside ? whole->GetPixelRGB(x, y) : (TRGB{7, 7, 7})) << x << "," << y;
      }
  }
}

TEST(ResampleFast, ProjectionsKeepThinLines) {
  // A one-pixel dark line on white (BW) and a light line on black (WB), 9 x 9 to 3 x 3: source
  // row 4 lies in the block of destination row 2 (rows 3..6).
  for (bool wb : {false, true}) {
    const int bg = wb ? 0 : 255, fg = wb ? 255 : 0;
    auto src = RsRgbRow(std::vector<int>(9, bg), 9);
    for (int x = 0; x < 9; ++x) src->SetPixel24(x, 4, TRGB{static_cast<uint8_t>(fg), static_cast<uint8_t>(fg), static_cast<uint8_t>(fg)});
    auto dst = RsNew(3, 3, px24RGB);
    ResampleWithAlpha(src.get(), dst.get(), wb ? rfProjectWB : rfProjectBW, {}, nullptr);
    ASSERT_EQ(dst->PixelFormat(), px1g);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x)
        EXPECT_EQ(GetPixelBit(dst->Scanline(y), x) != 0, (y == 2) == wb) << wb << " " << x << "," << y;
    // The same from a 1-bit source.
    auto mono = RsNew(9, 9, px1g);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 9; ++x) SetPixelBit(mono->Scanline(y), x, (y == 4) == wb);
    auto mdst = RsNew(3, 3, px1g);
    ResampleMono(mono.get(), mdst.get(), wb ? rfProjectWB : rfProjectBW);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) EXPECT_EQ(GetPixelBit(mdst->Scanline(y), x) != 0, (y == 2) == wb);
  }
  // A channel of exactly 128 is neither black nor white.
  auto mid = RsRgbRow({128, 128}, 2);
  auto d = RsNew(1, 1, px24RGB);
  ProjectToMono(mid.get(), d.get(), false, {}, nullptr);
  EXPECT_NE(GetPixelBit(d->Scanline(0), 0), 0);
  ProjectToMono(mid.get(), d.get(), true, {}, nullptr);
  EXPECT_EQ(GetPixelBit(d->Scanline(0), 0), 0);
}

TEST(ResampleFast, MonoToGrayAndMonoLinear) {
  auto cell = RsNew(2, 2, px1g);
  SetPixelBit(cell->Scanline(0), 0, 1);
  SetPixelBit(cell->Scanline(1), 1, 1);
  auto one = RsNew(1, 1, px24RGB);
  ResampleMonoToGray(cell.get(), 0, 0, 1, 1, one.get());
  EXPECT_EQ(one->GetPixelRGB(0, 0), (TRGB{127, 127, 127}));
  // A rectangle reaching past the source reads only the source (the sanitizers watch).
  auto dst = RsNew(3, 3, px24RGB);
  ResampleMonoToGray(cell.get(), 1, 1, 40, 40, dst.get());
  EXPECT_EQ(dst->GetPixelRGB(2, 2), (TRGB{255, 255, 255}));
  ResampleMonoToGray(cell.get(), -9, -9, 0, 0, dst.get());
  // 1-bit linear: 2 to 4 columns interpolates in 17-bit fixed point.
  auto row = RsNew(2, 1, px1g);
  SetPixelBit(row->Scanline(0), 1, 1);
  auto lin = RsNew(4, 1, px24RGB);
  ResampleMonoLinear(row.get(), lin.get(), nullptr, {});
  EXPECT_EQ(RsRedRow(lin.get(), 0), (std::vector<int>{0, 127, 255, 255}));
}

TEST(ResampleArea, ReductionsAreAreaMeans) {
  // 4 x 4 to 2 x 2: block means rounded half to even (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, 3.5 -> 4).
  auto src = RsGray({{0, 1, 1, 2}, {0, 1, 1, 2}, {2, 3, 3, 4}, {2, 3, 3, 4}});
  auto dst = RsNew(2, 2, px8g);
  ResampleBilinearBicubic(src.get(), dst.get(), nullptr, false, {}, nullptr);
  EXPECT_EQ(RsGrayRow(dst.get(), 0), (std::vector<int>{0, 2}));
  EXPECT_EQ(RsGrayRow(dst.get(), 1), (std::vector<int>{2, 4}));
  // 5 to 2: the middle pixel gives half to each side.
  auto five = RsGray({{0, 0, 100, 0, 0}});
  auto two = RsNew(2, 1, px8g);
  ResampleBilinearBicubic(five.get(), two.get(), nullptr, true, {}, nullptr);
  EXPECT_EQ(RsGrayRow(two.get(), 0), (std::vector<int>{20, 20}));
  // Equal sizes copy, both interpolations, 8 and 16 bits.
  for (bool cubic : {false, true}) {
    auto r = RsRandom(9, 6, px24RGB, 32);
    auto c = RsNew(9, 6, px24RGB);
    ResampleBilinearBicubic(r.get(), c.get(), nullptr, cubic, {}, nullptr);
    EXPECT_TRUE(RsSameBytes(r.get(), c.get()));
    auto r16 = RsRandom(9, 6, pxRGB48, 33);
    auto c16 = RsNew(9, 6, pxRGB48);
    ResampleBilinearBicubic16(r16.get(), c16.get(), cubic, {}, nullptr);
    EXPECT_TRUE(RsSameBytes(r16.get(), c16.get()));
  }
}

TEST(ResampleArea, EnlargementSamplesAtSegmentEnds) {
  auto dst = RsNew(4, 1, px8g);
  ResampleBilinearBicubic(RsGray({{10, 30}}).get(), dst.get(), nullptr, false, {}, nullptr);
  EXPECT_EQ(RsGrayRow(dst.get(), 0), (std::vector<int>{20, 30, 30, 30}));
  // Bicubic overshoot at a hard edge is clamped, in 8 and 16 bits.
  auto edge = RsGray({{0, 0, 255, 255}, {0, 0, 255, 255}});
  auto big = RsNew(16, 8, px8g);
  ResampleBilinearBicubic(edge.get(), big.get(), nullptr, true, {}, nullptr);
  for (int x = 0; x < 4; ++x) EXPECT_LT(big->Scanline(3)[x], 128) << x;
  for (int x = 12; x < 16; ++x) EXPECT_GT(big->Scanline(3)[x], 127) << x;
  auto e16 = RsNew(4, 2, px16g);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) e16->SetPixel16(x, y, x < 2 ? 0 : 65535);
  auto b16 = RsNew(16, 8, px16g);
  ResampleBilinearBicubic16(e16.get(), b16.get(), true, {}, nullptr);
  for (int x = 0; x < 4; ++x) EXPECT_LT(b16->GetPixel16(x, 3), 32768) << x;
  for (int x = 12; x < 16; ++x) EXPECT_GT(b16->GetPixel16(x, 3), 32767) << x;
  // Progress after each destination row, ending at 100.
  std::vector<int> per;
  ResampleBilinearBicubic(edge.get(), big.get(), nullptr, false,
                          TPXProgressEvent([&](TObject*, int32_t v) { per.push_back(v); }), nullptr);
  EXPECT_EQ(per, (std::vector<int>{12, 25, 37, 50, 62, 75, 87, 100}));
}

TEST(ResampleArea, TransparentBackgroundDoesNotBleedIntoEdges) {
  // An opaque red pixel in a transparent black 2 x 2 picture, enlarged 4 times.
  auto src = RsNew(2, 2, px24RGB);
  src->SetPixel24(0, 0, TRGB{0, 0, 255});
  src->GetAlphaChannel()->Fill(0);
  src->SetAlpha(0, 0, 255);
  auto with = RsNew(8, 8, px24RGB);
  ResampleWithAlpha(src.get(), with.get(), rfBilinear, {}, nullptr);
  EXPECT_EQ(with->GetPixelRGB(0, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(with->GetPixelRGB(1, 0), (TRGB{0, 0, 255}));
  src->RemoveAlphaChannel(false, 0);
  auto without = RsNew(8, 8, px24RGB);
  ResampleWithAlpha(src.get(), without.get(), rfBilinear, {}, nullptr);
  EXPECT_LT(without->GetPixelRGB(0, 0).r, 200);
}

TEST(ResampleArea, HalvingMatchesPillowReduce) {
  if (!ToolExists(kProcPython)) GTEST_SKIP() << "python3 not installed";
  TestTempDir dir;
  const std::string probe = dir.File("probe.txt");
  if (RunTool({kProcPython, "-c", "import PIL"}, probe) != 0) GTEST_SKIP() << "Pillow not installed";
  auto src = RsRandom(64, 48, px24RGB, 34);
  WritePnm(src.get(), dir.File("src.ppm"));
  const std::string script =
      "import sys\nfrom PIL import Image\n"
      "sys.stdout.buffer.write(Image.open(sys.argv[1]).reduce(2).tobytes())\n";
  ASSERT_EQ(RunTool({kProcPython, "-c", script, dir.File("src.ppm")}, dir.File("out.raw")), 0);
  const std::string ref = ProcReadFile(dir.File("out.raw"));
  ASSERT_EQ(ref.size(), 32u * 24 * 3);
  auto dst = RsNew(32, 24, px24RGB);
  ResampleWithAlpha(src.get(), dst.get(), rfBilinear, {}, nullptr);
  int worst = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) {
      const TRGB c = dst->GetPixelRGB(x, y);
      const auto* p = reinterpret_cast<const uint8_t*>(ref.data()) + (y * 32 + x) * 3;
      worst = std::max({worst, std::abs(c.r - p[0]), std::abs(c.g - p[1]), std::abs(c.b - p[2])});
    }
  EXPECT_LE(worst, 1);  // Pillow rounds halves up, we round them to even
}

}  // namespace
