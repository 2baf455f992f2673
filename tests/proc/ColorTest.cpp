#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_bits.h"
#include "proc/pixoranproc_color.h"
#include "tests/proc/ProcTestSupport.h"

namespace {

void FillGrey24(TPXBitmap* b, uint8_t v) {
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) b->SetPixel24(x, y, {v, v, v});
}

TEST(ColorTest, GetRowRGB24) {
  auto rgb = Make(2, 1, px24RGB);
  rgb->SetPixel24(0, 0, {1, 2, 3});
  uint8_t buf[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(GetRowRGB24(rgb.get(), 0, buf, false), rgb->Scanline(0));
  EXPECT_EQ(buf[0], 9);  // not copied without CopyNative
  GetRowRGB24(rgb.get(), 0, buf, true);
  EXPECT_EQ(buf[2], 3);

  auto g16 = Make(2, 1, px16g);
  g16->SetPixel16(0, 0, 65535);
  g16->SetPixel16(1, 0, 256);
  EXPECT_EQ(GetRowRGB24(g16.get(), 0, buf, false), buf);
  EXPECT_EQ(buf[0], 255);
  EXPECT_EQ(buf[5], 1);

  // A display range stretches grey samples; samples outside it saturate.
  auto g8 = Make(3, 1, px8g);
  g8->SetPixel8(0, 0, 40);
  g8->SetPixel8(1, 0, 75);
  g8->SetPixel8(2, 0, 200);
  g8->FDisplayRangeLow = 50;
  g8->FDisplayRangeHigh = 100;
  uint8_t b3[9];
  GetRowRGB24(g8.get(), 0, b3, false);
  EXPECT_EQ(b3[0], 0);
  EXPECT_EQ(b3[3], 127);
  EXPECT_EQ(b3[6], 255);

  // Wider formats are converted as well (compared with the container's conversion elsewhere).
  auto other = Make(1, 1, px32RGB);
  other->SetPixel32RGB(0, 0, 0x00030201);
  EXPECT_EQ(GetRowRGB24(other.get(), 0, buf, true), buf);
  EXPECT_EQ(buf[0], 1);
  EXPECT_EQ(buf[2], 3);
}

TEST(ColorTest, AverageColour) {
  auto w48 = Make(3, 2, pxRGB48);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) w48->SetPixel48(x, y, {65535, 0, 0});
  int32_t r, g, b;
  GetAverageRGB(w48.get(), r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  auto c32 = Make(2, 2, px32RGB);
  c32->FillRGBA(0x000000FF);
  GetAverageRGB(c32.get(), r, g, b);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(r, 0);
  // Rows are averaged first: (0 + 255) div 2 per row.
  auto g8 = Make(2, 2, px8g);
  g8->Fill(0);
  g8->SetPixel8(1, 0, 255);
  g8->SetPixel8(1, 1, 255);
  GetAverageRGB(g8.get(), r, g, b);
  EXPECT_EQ(r, 127);
}

TEST(ColorTest, HistogramCountsOnlyPixelBits) {
  auto mono = Make(10, 2, px1g);
  mono->Fill(1);  // also sets the padding bits of every row
  TPXHistogram h;
  ComputeLuminanceHistogram(mono.get(), h);
  EXPECT_EQ(h[1], 20);
  EXPECT_EQ(h[0], 0);
  mono->SetPixelRGB(3, 1, 0);
  ComputeLuminanceHistogram(mono.get(), h);
  EXPECT_EQ(h[1], 19);
  EXPECT_EQ(h[0], 1);
  auto f = Make(2, 1, px32f);
  f->SetPixel32f(0, 0, 0.5f);
  f->SetPixel32f(1, 0, 1.0f);
  ComputeLuminanceHistogram(f.get(), h);
  EXPECT_EQ(h[127], 1);
  EXPECT_EQ(h[255], 1);
}

struct ThresholdCase {
  int32_t threshold;
  std::vector<uint8_t> greys;
  std::vector<int> expected;  // bits
};

TEST(ColorTest, ThresholdTable) {
  const ThresholdCase cases[] = {
      {-2, {40, 40, 100, 200}, {0, 0, 1, 1}},   // maximum entropy picks 41
      {-2, {10, 10, 250, 250}, {0, 0, 1, 1}},   // two levels split above the darker
      {-2, {0, 255, 255, 255}, {0, 1, 1, 1}},   // black text on white stays black
      {-2, {90, 90, 90, 90}, {1, 1, 1, 1}},     // one level thresholds at itself
      {0, {0, 10, 200, 255}, {1, 1, 1, 1}},
      {256, {0, 10, 200, 255}, {0, 0, 0, 0}},
      {-1, {0, 0, 255, 255}, {0, 0, 1, 1}},     // average grey 127
  };
  for (const auto& c : cases) {
    auto src = Make(4, 1, px8g);
    for (int x = 0; x < 4; ++x) src->SetPixel8(x, 0, c.greys[x]);
    auto dst = Make(4, 1, px1g);
    TPXProgressRecord p;
    ConvertToBWThreshold(src.get(), dst.get(), c.threshold, p);
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(GetPixelBit(dst->Scanline(0), x) != 0, c.expected[x] != 0) << "threshold " << c.threshold << " x " << x;
  }
  // 48-bit samples count by their high bytes: 0x80FF is level 128.
  auto w48 = Make(1, 1, pxRGB48);
  w48->SetPixel48(0, 0, {0x80FF, 0x80FF, 0x80FF});
  auto dst = Make(1, 1, px1g);
  TPXProgressRecord p;
  std::vector<int> per;
  p.Event = TPXProgressEvent([&](TObject*, int32_t v) { per.push_back(v); });
  ConvertToBWThreshold(w48.get(), dst.get(), 128, p);
  EXPECT_NE(GetPixelBit(dst->Scanline(0), 0), 0);
  ConvertToBWThreshold(w48.get(), dst.get(), 129, p);
  EXPECT_EQ(GetPixelBit(dst->Scanline(0), 0), 0);
  EXPECT_EQ(per, (std::vector<int>{66, 66}));
  // A destination of the wrong size is left alone.
  auto wrong = Make(2, 1, px1g);
  wrong->Fill(0);
  ConvertToBWThreshold(w48.get(), wrong.get(), 0, p);
  EXPECT_EQ(wrong->Scanline(0)[0], 0);
}

TEST(ColorTest, MonochromeDitherKeepsAlpha) {
  auto b = Make(8, 8, px24RGB);
  FillGrey24(b.get(), 250);  // level 62
  b->GetAlphaChannel()->Fill(100);
  TPXProgressRecord p;
  ConvertBitmapToMonochrome(b.get(), p);
  ASSERT_EQ(b->PixelFormat(), px1g);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(GetPixelBit(b->Scanline(y), x) != 0, DitherMatrix[x][y] < 62) << x << "," << y;
  ASSERT_TRUE(b->HasAlphaChannel());
  EXPECT_EQ(b->GetAlpha(3, 3), 100);

  auto near = Make(8, 8, px24RGB);
  FillGrey24(near.get(), 251);  // near white is always white
  ConvertBitmapToMonochrome(near.get(), p);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(near->Scanline(y)[0], 0xFF);

  auto t = Make(4, 1, px24RGB);
  FillGrey24(t.get(), 0);
  t->SetPixel24(3, 0, {255, 255, 255});
  ConvertToBWThresholdInPlace(t.get(), 100, p);
  ASSERT_EQ(t->PixelFormat(), px1g);
  EXPECT_EQ(t->Scanline(0)[0] & 0xF0, 0x10);
  // Other formats are left alone.
  auto g = Make(2, 2, px8g);
  ConvertBitmapToMonochrome(g.get(), p);
  EXPECT_EQ(g->PixelFormat(), px8g);
}

}  // namespace
