// Row converters: 24-bit rows of every format, palette reduction of rows, the plain fill.
#include <gtest/gtest.h>

#include <array>
#include <random>

#include "core/pxxBitmaps.h"
#include "core/neurquant.h"
#include "proc/pixoranproc_color.h"
#include "proc/pixoranproc_rows.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcOracle.h"

namespace {

std::unique_ptr<TPXBitmap> Random(int w, int h, TPXPixelFormat f, uint32_t seed) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, f));
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->SetPixelRGB(x, y, rng() & 0xFFFFFF);
  return b;
}

TEST(RowsConvert, WideRowsAsTheContainerConvertsThem) {
  for (TPXPixelFormat f : {px32RGB, pxRGB48, pxCMYK, px32f, pxCIELab}) {
    auto src = Random(13, 3, f, static_cast<uint32_t>(f));
    auto ref = TPXBitmap::CreateCopy(src.get());
    ref->ChangePixelFormat(px24RGB);
    ASSERT_EQ(ref->PixelFormat(), px24RGB);
    std::vector<uint8_t> buf(13 * 3, 0xAA);
    for (int y = 0; y < 3; ++y) {
      EXPECT_EQ(GetRowRGB24(src.get(), y, buf.data(), false), buf.data());
      EXPECT_EQ(std::memcmp(buf.data(), ref->Scanline(y), buf.size()), 0) << "format " << int(f) << " row " << y;
    }
  }
}

TEST(RowsConvert, PaletteRowsAgreeWithPillow) {
  if (!ToolExists(kProcPython)) GTEST_SKIP() << "no python3";
  TestTempDir dir;
  auto b = std::make_unique<TPXBitmap>();
  ASSERT_TRUE(b->Allocate(21, 5, px8p));
  std::mt19937 rng(4);
  for (int i = 0; i < 256; ++i)
    b->SetPaletteColor(i, TRGB{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 21; ++x) b->SetPixel8(x, y, static_cast<uint8_t>(rng()));
  WriteBmp8(b.get(), dir.File("p.bmp"));
  const std::vector<uint8_t> pil = PillowRgb(dir.File("p.bmp"), dir.File("p.rgb"));
  ASSERT_EQ(pil.size(), 21u * 5 * 3);
  std::vector<uint8_t> buf(21 * 3);
  for (int y = 0; y < 5; ++y) {
    GetRowRGB24(b.get(), y, buf.data(), false);
    for (int x = 0; x < 21; ++x) {
      const size_t p = (static_cast<size_t>(y) * 21 + x) * 3;
      ASSERT_EQ(buf[3 * x + 2], pil[p]) << x << "," << y;
      ASSERT_EQ(buf[3 * x + 1], pil[p + 1]);
      ASSERT_EQ(buf[3 * x], pil[p + 2]);
    }
  }
}

TEST(RowsConvert, ReduceRowToPalette) {
  const std::array<TRGB, 2> pal = {TRGB{1, 2, 3}, TRGB{4, 5, 6}};
  const uint8_t bits[1] = {0b10110000};  // pixels 1 0 1 1 0
  uint8_t out[16];
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(ReduceRowToPalette(bits, out, 1, 4, 5, {}, nullptr), 3);
  EXPECT_EQ(out[0], 0x10);
  EXPECT_EQ(out[1], 0x11);
  EXPECT_EQ(out[2], 0x00);
  EXPECT_EQ(ReduceRowToPalette(bits, out, 1, 24, 5, pal, nullptr), 15);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 1);
  const uint8_t bytes[5] = {1, 0, 1, 0, 7};
  EXPECT_EQ(ReduceRowToPalette(bytes, out, 8, 1, 5, {}, nullptr), 1);
  EXPECT_EQ(out[0], 0b10101000);
  EXPECT_EQ(ReduceRowToPalette(bytes, out, 8, 24, 5, pal, nullptr), 15);
  EXPECT_EQ(out[12], 0);  // index 7 lies outside the palette: black
  const uint8_t nibbles[2] = {0x1A, 0x30};
  EXPECT_EQ(ReduceRowToPalette(nibbles, out, 4, 8, 3, {}, nullptr), 3);
  EXPECT_EQ(out[1], 0x0A);

  auto rgb = Random(5, 1, px24RGB, 3);
  std::array<TRGB, 256> qp{};
  TPXQuantizer q(rgb.get(), qp.data(), 0, 4);
  EXPECT_EQ(ReduceRowToPalette(rgb->Scanline(0), out, 24, 8, 5, {}, &q), 5);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(out[x], q.RGBToIndex(rgb->GetPixelRGB(x, 0)));
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(ReduceRowToPalette(rgb->Scanline(0), out, 24, 16, 5, {}, &q), 0);
  EXPECT_EQ(out[0], 0xEE);
}

TEST(RowsConvert, FillWorker) {
  auto g = std::make_unique<TPXBitmap>();
  g->Allocate(4, 3, px8g);
  g->Fill(0);
  std::vector<int> per;
  FillWorker(g.get(), 1, 1, 9, 9, 0xFF0000, TPXProgressEvent([&](TObject*, int32_t p) { per.push_back(p); }), nullptr);
  EXPECT_EQ(g->GetPixel8(1, 1), 53);
  EXPECT_EQ(g->GetPixel8(3, 2), 53);
  EXPECT_EQ(g->GetPixel8(0, 1), 0);
  EXPECT_EQ(g->GetPixel8(1, 0), 0);
  EXPECT_EQ(per, (std::vector<int>{66, 100}));

  auto m = std::make_unique<TPXBitmap>();
  m->Allocate(10, 1, px1g);
  std::memset(m->Scanline(0), 0xFF, 2);
  FillWorker(m.get(), 2, 0, 9, 1, 0x0000FF, {}, nullptr);  // blue: red byte 0, black
  for (int x = 0; x < 10; ++x) EXPECT_EQ(GetPixelBit(m->Scanline(0), x) != 0, x < 2 || x == 9) << x;

  auto c = std::make_unique<TPXBitmap>();
  c->Allocate(2, 1, px24RGB);
  c->Fill(0);
  FillWorker(c.get(), 0, 0, 1, 1, 0x102030, {}, nullptr);
  EXPECT_EQ(c->GetPixelRGB(0, 0), (TRGB{0x30, 0x20, 0x10}));
  EXPECT_EQ(c->GetPixelRGB(1, 0), (TRGB{}));

  auto w48 = std::make_unique<TPXBitmap>();
  w48->Allocate(2, 1, pxRGB48);
  w48->Fill(0);
  FillWorker(w48.get(), 1, 0, 2, 1, 0xFF0000, {}, nullptr);
  EXPECT_EQ(w48->GetPixelRGB(1, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(w48->GetPixelRGB(0, 0), (TRGB{}));
}

}  // namespace
