// Rendering a bitmap into a px24RGB bitmap, a platform bitmap and a canvas: clipping, maps,
// resampling first, weights, the wrappers, printing in strips through packed DIBs, and bad input
// (ASan).
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_dib.h"
#include "proc/pixoranproc_resample.h"
#include "tests/common/TestSupport.h"
#include "tests/core/RenderTestSupport.h"

namespace {

// A px24RGB picture whose pixel (x, y) is (blue x & 255, green x >> 8 | 128, red y).
std::unique_ptr<TPXBitmap> Coded(int32_t W, int32_t H) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y) {
    uint8_t* r = b->Scanline(y);
    for (int32_t x = 0; x < W; ++x) {
      r[3 * x] = static_cast<uint8_t>(x & 255);
      r[3 * x + 1] = static_cast<uint8_t>((x >> 8) | 128);
      r[3 * x + 2] = static_cast<uint8_t>(y);
    }
  }
  return b;
}

// The source column a coded pixel came from.
int32_t CodedX(const TRGB& C) { return C.b | ((C.g & 127) << 8); }

const TRGB kCanary{1, 2, 3};

void Render(TPXBitmap* Src, TPXBitmap* Dst, int32_t DX, int32_t DY, int32_t DW, int32_t DH, int32_t SX, int32_t SY,
            int32_t SW, int32_t SH, TResampleFilter Filter = rfNone, int32_t Transparency = 255, double Opacity = 1.0,
            bool EnableAlpha = false) {
  Src->RenderToPXBitmap(Dst, DX, DY, DW, DH, SX, SY, SW, SH, EnableAlpha, Transparency, Filter, pxboNormal, Opacity);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Clipping and maps

TEST(Render, NegativeOriginCutsColumnsAndMovesTheSource) {
  auto src = Coded(200, 4);
  auto dst = Filled(120, 4, kCanary);
  // 2:1; ten columns fall left of the destination: the source start moves by 20.
  Render(src.get(), dst.get(), -10, 0, 100, 4, 0, 0, 200, 4);
  for (int32_t x = 0; x < 90; ++x) EXPECT_EQ(CodedX(At(dst.get(), x, 0)), 20 + 2 * x) << x;
  EXPECT_EQ(At(dst.get(), 90, 0), kCanary);
}

TEST(Render, RectanglePastTheDestinationKeepsTheMapping) {
  auto src = Coded(300, 2);
  auto dst = Filled(50, 2, kCanary);
  // 3:2 from column 10; the rectangle reaches 60 columns past the destination.
  Render(src.get(), dst.get(), 10, 0, 100, 2, 0, 0, 150, 2);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(At(dst.get(), x, 0), kCanary);
  for (int32_t x = 10; x < 50; ++x) EXPECT_EQ(CodedX(At(dst.get(), x, 0)), (x - 10) * 3 / 2) << x;
}

TEST(Render, ClipRectDrawsOnlyInsideWithoutMovingThePicture) {
  auto src = Coded(64, 64);
  auto full = Filled(32, 32, kCanary);
  Render(src.get(), full.get(), 0, 0, 32, 32, 0, 0, 64, 64);
  auto clipped = Filled(32, 32, kCanary);
  TPXIntegerArray cols, rows;
  const TRect clip(5, 6, 9, 12);
  src->RenderToPXBitmapEx(clipped.get(), cols, rows, &clip, 0, 0, 32, 32, 0, 0, 64, 64, false, false, 255, rfNone,
                          true, pxboNormal, 1.0);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      const bool inside = x >= 5 && x <= 9 && y >= 6 && y <= 12;
      EXPECT_EQ(At(clipped.get(), x, y), inside ? At(full.get(), x, y) : kCanary) << x << "," << y;
    }
}

TEST(Render, NoFilterSamplesByTruncation) {
  struct Case {
    int32_t SrcW, DstW;
  };
  for (const Case c : {Case{3, 7}, Case{7, 3}, Case{10, 4}, Case{5, 13}}) {
    auto src = Coded(c.SrcW, c.SrcW);
    auto dst = Filled(c.DstW, c.DstW, kCanary);
    Render(src.get(), dst.get(), 0, 0, c.DstW, c.DstW, 0, 0, c.SrcW, c.SrcW);
    for (int32_t y = 0; y < c.DstW; ++y)
      for (int32_t x = 0; x < c.DstW; ++x) {
        const TRGB p = At(dst.get(), x, y);
        EXPECT_EQ(CodedX(p), x * c.SrcW / c.DstW);
        EXPECT_EQ(p.r, y * c.SrcW / c.DstW);
      }
  }
}

TEST(Render, MapsHandedBackGiveTheSamePicture) {
  auto src = Coded(50, 40);
  for (const bool withClip : {false, true}) {
    const TRect clip(3, 4, 20, 18);
    const TRect* c = withClip ? &clip : nullptr;
    TPXIntegerArray cols, rows;
    auto first = Filled(30, 25, kCanary), second = Filled(30, 25, kCanary);
    src->RenderToPXBitmapEx(first.get(), cols, rows, c, -2, 1, 29, 23, 3, 2, 41, 31, false, false, 255, rfNone, false,
                            pxboNormal, 1.0);
    ASSERT_FALSE(cols.empty());
    ASSERT_FALSE(rows.empty());
    const TPXIntegerArray keptCols = cols, keptRows = rows;
    src->RenderToPXBitmapEx(second.get(), cols, rows, c, -2, 1, 29, 23, 3, 2, 41, 31, false, false, 255, rfNone,
                            false, pxboNormal, 1.0);
    EXPECT_EQ(cols, keptCols);
    EXPECT_EQ(rows, keptRows);
    for (int32_t y = 0; y < 25; ++y)
      for (int32_t x = 0; x < 30; ++x) ASSERT_EQ(At(first.get(), x, y), At(second.get(), x, y)) << withClip;
  }
}

// ---------------------------------------------------------------------------------------------
// Weights

TEST(Render, TransparencyWithoutAlphaMovesHalfWay) {
  struct Case {
    uint8_t D, S, Want;
  };
  // d + floor(128 (s - d) / 256)
  for (const Case c : {Case{0, 200, 100}, Case{0, 201, 100}, Case{200, 0, 100}, Case{201, 0, 100}, Case{7, 7, 7}}) {
    auto src = Filled(4, 4, TRGB{c.S, c.S, c.S});
    auto dst = Filled(4, 4, TRGB{c.D, c.D, c.D});
    Render(src.get(), dst.get(), 0, 0, 4, 4, 0, 0, 4, 4, rfNone, 128);
    EXPECT_EQ(At(dst.get(), 2, 3), (TRGB{c.Want, c.Want, c.Want})) << int{c.D} << " " << int{c.S};
  }
}

TEST(Render, FullAlphaChannelIsNotUsed) {
  auto src = Filled(4, 4, TRGB{200, 100, 50});
  TPXBitmap* alpha = src->GetAlphaChannel();
  for (int32_t y = 0; y < 4; ++y) std::memset(alpha->Scanline(y), 0, 4);
  alpha->FFull = 1;
  auto dst = Filled(4, 4, kCanary);
  Render(src.get(), dst.get(), 0, 0, 4, 4, 0, 0, 4, 4, rfNone, 255, 1.0, true);
  EXPECT_EQ(At(dst.get(), 1, 1), (TRGB{200, 100, 50}));
  alpha->FFull = 0;
  auto dst2 = Filled(4, 4, kCanary);
  Render(src.get(), dst2.get(), 0, 0, 4, 4, 0, 0, 4, 4, rfNone, 255, 1.0, true);
  EXPECT_EQ(At(dst2.get(), 1, 1), kCanary);
}

// ---------------------------------------------------------------------------------------------
// Resampling first

TEST(Render, ShrunkMonoIsGreyWithKernelsAndTwoLevelWithProjection) {
  auto mono = TPXBitmap::CreateAllocated(64, 64, px1g);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) SetPixelBit(mono->Scanline(y), x, (x + y) % 3 == 0);
  auto countShades = [&](TResampleFilter f) {
    auto dst = Filled(16, 16, kCanary);
    Render(mono.get(), dst.get(), 0, 0, 16, 16, 0, 0, 64, 64, f);
    int32_t grey = 0, canary = 0;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const TRGB p = At(dst.get(), x, y);
        if (p == kCanary) ++canary;
        else if (p.g != 0 && p.g != 255) ++grey;
      }
    EXPECT_EQ(canary, 0);
    return grey;
  };
  EXPECT_GT(countShades(rfTriangle), 100);
  EXPECT_GT(countShades(rfFastLinear), 100);
  EXPECT_EQ(countShades(rfProjectBW), 0);
}

TEST(Render, ResamplingHonoursTheClipRect) {
  auto src = Coded(80, 80);
  auto full = Filled(40, 40, kCanary), clipped = Filled(40, 40, kCanary);
  Render(src.get(), full.get(), 0, 0, 40, 40, 0, 0, 80, 80, rfTriangle);
  TPXIntegerArray cols, rows;
  const TRect clip(10, 10, 19, 29);
  src->RenderToPXBitmapEx(clipped.get(), cols, rows, &clip, 0, 0, 40, 40, 0, 0, 80, 80, false, false, 255, rfTriangle,
                          true, pxboNormal, 1.0);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x <= 19 && y >= 10 && y <= 29;
      EXPECT_EQ(At(clipped.get(), x, y), inside ? At(full.get(), x, y) : kCanary) << x << "," << y;
    }
}

// ---------------------------------------------------------------------------------------------
// Sound behaviour where the rectangles or the destination are unfit

TEST(Render, SourceWidthPastTheRowIsClampedAndTheDestinationShrinks) {
  auto src = Coded(100, 10);
  auto dst = Filled(100, 10, kCanary);
  // 1:1 from column 90 with 100 columns asked: only the 10 the source has are drawn.
  Render(src.get(), dst.get(), 0, 0, 100, 10, 90, 0, 100, 10);
  for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(CodedX(At(dst.get(), x, 5)), 90 + x);
  for (int32_t x = 10; x < 100; ++x) EXPECT_EQ(At(dst.get(), x, 5), kCanary) << x;
  // 1:2 from row 6 with 8 rows asked: 4 rows remain, 8 destination rows.
  auto tall = Filled(10, 20, kCanary);
  Render(src.get(), tall.get(), 0, 0, 10, 16, 0, 6, 10, 8);
  for (int32_t y = 0; y < 8; ++y) EXPECT_EQ(At(tall.get(), 0, y).r, 6 + y / 2) << y;
  for (int32_t y = 8; y < 20; ++y) EXPECT_EQ(At(tall.get(), 0, y), kCanary) << y;
}

TEST(Render, OtherDestinationFormatsAreNotDrawnInto) {
  auto src = Filled(8, 8, TRGB{9, 9, 9});
  for (const TPXPixelFormat f : {px8g, px32RGB, px1g, pxRGB48}) {
    auto dst = TPXBitmap::CreateAllocated(8, 8, f);
    dst->Fill(0);
    const std::vector<uint8_t> before(dst->Scanline(3), dst->Scanline(3) + dst->RowLen());
    Render(src.get(), dst.get(), 0, 0, 8, 8, 0, 0, 8, 8);
    EXPECT_EQ(std::vector<uint8_t>(dst->Scanline(3), dst->Scanline(3) + dst->RowLen()), before);
  }
}

TEST(Render, BadRectanglesAndMapsDrawNothingOutside) {
  auto src = Coded(20, 20);
  struct Case {
    int32_t DX, DY, DW, DH, SX, SY, SW, SH;
  };
  const Case cases[] = {
      {0, 0, 0, 10, 0, 0, 10, 10},       {0, 0, -5, 10, 0, 0, 10, 10},     {0, 0, 10, 10, 0, 0, -10, 10},
      {0, 0, 10, 10, 25, 25, 10, 10},    {0, 0, 10, 10, -30, -30, 100, 100}, {-100000, -5, 10, 10, 0, 0, 20, 20},
      {5, 5, 1000000, 1000000, 0, 0, 20, 20}, {15, 15, 100, 100, 19, 19, 2000000000, 2000000000},
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
  };
  for (const Case& c : cases) {
    for (const TResampleFilter f : {rfNone, rfTriangle, rfFastLinear}) {
      auto dst = Filled(16, 16, kCanary);
      Render(src.get(), dst.get(), c.DX, c.DY, c.DW, c.DH, c.SX, c.SY, c.SW, c.SH, f);
      Render(src.get(), dst.get(), c.DX, c.DY, c.DW, c.DH, c.SX, c.SY, c.SW, c.SH, f, 100, 0.5);
    }
  }
  // Caller maps shorter than the span, or pointing outside the source.
  for (const TPXIntegerArray& bad : {TPXIntegerArray{0, 1, 2}, TPXIntegerArray{-5, 40, 1000, 3, 7, 19, 20, 21},
                                     TPXIntegerArray(100, 1 << 30)}) {
    auto dst = Filled(16, 16, kCanary);
    TPXIntegerArray cols = bad, rows = bad;
    src->RenderToPXBitmapEx(dst.get(), cols, rows, nullptr, 0, 0, 16, 16, 0, 0, 20, 20, false, true, 255, rfNone,
                            false, pxboNormal, 1.0);
    src->RenderToPXBitmapEx(dst.get(), cols, rows, nullptr, 0, 0, 16, 16, 0, 0, 20, 20, false, true, 100, rfNone,
                            false, pxboAdd, 0.5);
    EXPECT_EQ(cols, bad);
  }
  // Routines called directly with spans outside the destination and short maps.
  auto dst = Filled(16, 16, kCanary);
  const int32_t map[3] = {0, 50, -4};
  src->Render24RGB(dst.get(), map, map, 0, 0, 0, 0, -5, -5, 40, 40, 8000, 8000, true, pxboNormal);
  src->Render24RGB(dst.get(), {}, {}, 15, 15, 0, 0, 0, 0, 15, 15, 16384, 16384, false, pxboNormal);
  src->Render24RGBBlended(dst.get(), 200, true, map, {}, 0, 0, 0, 0, 0, 0, 15, 15, 16384, 16384, false, pxboNormal,
                          0.7);
  EXPECT_EQ(CodedX(At(dst.get(), 3, 0)), 18);  // from the 1:1 call; the blend stopped with its map
}

TEST(Render, RandomGeometryStaysInsideBothBitmaps) {
  // Every format, filter, rectangle, clip and map the generator makes: nothing is written outside
  // the destination and nothing crashes (ASan).
  uint32_t seed = 4242;
  auto rnd = [&](int32_t lo, int32_t hi) {
    seed = seed * 1103515245u + 12345u;
    return lo + static_cast<int32_t>((seed >> 8) % static_cast<uint32_t>(hi - lo + 1));
  };
  const TPXPixelFormat formats[] = {px1g, px8p, px8g, px16g, px24RGB, px32f, pxCMYK, pxRGB48, pxCIELab, px32RGB};
  const TResampleFilter filters[] = {rfNone, rfNone, rfTriangle, rfFastLinear, rfProjectBW, rfBilinear};
  auto base = Coded(23, 17);
  for (int32_t i = 0; i < 300; ++i) {
    auto src = TPXBitmap::CreateCopy(base.get());
    src->ChangePixelFormat(formats[rnd(0, 9)]);
    if (rnd(0, 1)) {
      src->GetAlphaChannel()->Fill(rnd(0, 255));
      src->GetAlphaChannel()->FFull = 0;
    }
    src->FContrast = rnd(0, 3) == 0 ? rnd(-50, 50) : 0;
    // The destination lies in a larger block: a frame of one pixel around it and 8 bytes after
    // each row, which the render may not touch.
    constexpr int32_t stride = 68, w = 20, h = 16;
    std::vector<uint8_t> block(static_cast<size_t>(stride) * (h + 2), 0xA5);
    auto inner = std::make_unique<TPXBitmap>();
    inner->FRowAlignment = stride * 8;
    inner->AttachMemory(block.data() + stride + 3, w, h, px24RGB, false, false);
    ASSERT_EQ(inner->RowLen(), stride);
    TPXIntegerArray cols, rows;
    if (rnd(0, 3) == 0) cols.assign(static_cast<size_t>(rnd(0, 30)), rnd(-5, 40));
    if (rnd(0, 3) == 0) rows.assign(static_cast<size_t>(rnd(0, 30)), rnd(-5, 40));
    const TRect clip(rnd(-5, 20), rnd(-5, 20), rnd(-5, 25), rnd(-5, 25));
    src->RenderToPXBitmapEx(inner.get(), cols, rows, rnd(0, 1) ? &clip : nullptr, rnd(-30, 25), rnd(-30, 25),
                            rnd(-2, 60), rnd(-2, 60), rnd(-10, 25), rnd(-10, 20), rnd(-2, 60), rnd(-2, 60),
                            rnd(0, 1) != 0, rnd(0, 1) != 0, rnd(0, 255), filters[rnd(0, 5)], rnd(0, 1) != 0,
                            static_cast<TPXBlendOperation>(rnd(0, PXBlendOperationCount - 1)), rnd(0, 10) / 10.0);
    for (size_t b = 0; b < block.size(); ++b) {
      const int64_t row = static_cast<int64_t>(b) / stride - 1, col = static_cast<int64_t>(b) % stride - 3;
      if (row < 0 || row >= h || col < 0 || col >= 3 * w) {
        ASSERT_EQ(block[b], 0xA5) << i << " byte " << b;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Wrappers

TEST(RenderWrappers, PlatformBitmapAndCanvasWithAlpha) {
  auto src = Filled(10, 10, TRGB{0, 0, 200});
  TPXBitmap* alpha = src->GetAlphaChannel();
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) alpha->Scanline(y)[x] = x < 5 ? 0 : 255;
  alpha->FFull = 0;

  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(10, 10);
  for (int32_t y = 0; y < 10; ++y) std::memset(bmp.ScanLine(y), 100, 30);
  src->RenderToTBitmap(&bmp, 0, 0, 10, 10, 0, 0, 10, 10, 255, rfNone, pxboNormal, 1.0);
  auto* row = static_cast<uint8_t*>(bmp.ScanLine(4));
  EXPECT_EQ(row[3 * 2 + 2], 100);              // alpha 0: unchanged
  EXPECT_EQ(row[3 * 7 + 2], 100 + (100 * 255 >> 8));  // alpha 255: 1/256 of the difference kept
  EXPECT_EQ(row[3 * 7 + 0], 100 - 100);

  TBitmap canvasBmp;
  canvasBmp.SetPixelFormat(pf24bit);
  canvasBmp.SetSize(30, 30);
  for (int32_t y = 0; y < 30; ++y) std::memset(canvasBmp.ScanLine(y), 100, 90);
  src->DrawToCanvasWithAlpha(canvasBmp.Canvas(), 10, 10, 10, 10, 0, 0, 10, 10, 255, rfNone, pxboNormal, 1.0);
  auto* r = static_cast<uint8_t*>(canvasBmp.ScanLine(15));
  EXPECT_EQ(r[3 * 12 + 2], 100);
  EXPECT_EQ(r[3 * 18 + 2], 199);
  EXPECT_EQ(r[3 * 18 + 0], 0);
  EXPECT_EQ(r[3 * 25 + 2], 100);
}

// ---------------------------------------------------------------------------------------------
// Printing onto a canvas

class RenderToCanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = dir_.File("render.log");
    GlobalSettingsInstance()->FDebugLogFile = log_;
  }
  void TearDown() override { GlobalSettingsInstance()->FDebugLogFile.clear(); }
  std::string Log() {
    std::ifstream f(log_);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static std::unique_ptr<TBitmap> Canvas(int32_t W, int32_t H) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(W, H);
    for (int32_t y = 0; y < H; ++y) std::memset(b->ScanLine(y), 0, static_cast<size_t>(W) * 3);
    return b;
  }
  TestTempDir dir_;
  std::string log_;
};

TEST_F(RenderToCanvasTest, PrintsInStripsOfTheMemoryLimit) {
  auto src = Filled(100, 100, TRGB{10, 20, 30});
  src->FMemoryLimit = 4194304;
  auto canvas = Canvas(1000, 1000);
  src->RenderToCanvas(canvas->Canvas(), 0, 0, 1000, 1000, rfFastLinear, 1.0, clWhite, false);
  const std::string log = Log();
  // (4194304 div 4) div 3000 = 349 rows per strip.
  EXPECT_NE(log.find("stripHeight=349"), std::string::npos);
  EXPECT_NE(log.find("PrintPict y=0"), std::string::npos);
  EXPECT_NE(log.find("PrintPict y=349"), std::string::npos);
  EXPECT_NE(log.find("PrintPict y=698"), std::string::npos);
  EXPECT_EQ(log.find("PrintPict y=1047"), std::string::npos);
  for (const int32_t y : {0, 348, 349, 699, 999}) {
    auto* r = static_cast<uint8_t*>(canvas->ScanLine(y));
    EXPECT_EQ(r[0], 10);
    EXPECT_EQ(r[3 * 999 + 2], 30);
  }
}

TEST_F(RenderToCanvasTest, GammaOneAndZeroChangeNothing) {
  auto src = Coded(40, 30);
  for (const TResampleFilter f : {rfNone, rfTriangle}) {
    for (const double gamma : {1.0, 0.0, 2.2}) {
      auto canvas = Canvas(40, 30);
      src->RenderToCanvas(canvas->Canvas(), 0, 0, 40, 30, f, gamma, clWhite, false);
      bool same = true;
      for (int32_t y = 0; y < 30; ++y)
        same = same && std::memcmp(canvas->ScanLine(y), src->Scanline(y), 120) == 0;
      EXPECT_EQ(same, gamma != 2.2) << gamma;
    }
  }
}

TEST_F(RenderToCanvasTest, AlphaIsMergedIntoACopyOnly) {
  auto src = Filled(4, 4, TRGB{0, 0, 0});
  TPXBitmap* alpha = src->GetAlphaChannel();
  for (int32_t y = 0; y < 4; ++y) std::memset(alpha->Scanline(y), 0, 4);
  alpha->FFull = 0;
  for (int i = 0; i < 2; ++i) {
    auto canvas = Canvas(4, 4);
    src->DrawTo(canvas->Canvas(), 0, 0);
    EXPECT_EQ(static_cast<uint8_t*>(canvas->ScanLine(2))[3], 255);  // the white background
  }
  EXPECT_EQ(At(src.get(), 1, 2), (TRGB{0, 0, 0}));
}

// ---------------------------------------------------------------------------------------------
// Packed DIBs for printing

TEST(RenderDib, CopyBitmapToDIBLayout) {
  auto mono = TPXBitmap::CreateAllocated(10, 3, px1g);
  for (int32_t y = 0; y < 3; ++y) {
    std::memset(mono->Scanline(y), 0, static_cast<size_t>(mono->RowLen()));
    SetPixelBit(mono->Scanline(y), 3, y != 1);
  }
  HGLOBAL dib = _CopyBitmaptoDIBEx(mono.get(), 3, 0, 0, 0, 300, 200);
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(GlobalSize(dib), 44u + 8 + 4 * 3);
  auto* p = static_cast<const uint8_t*>(GlobalLock(dib));
  BITMAPINFOHEADER h;
  std::memcpy(&h, p, 40);
  EXPECT_EQ(h.biWidth, 7);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biBitCount, 1);
  EXPECT_EQ(h.biXPelsPerMeter, 11811);
  EXPECT_EQ(p[44], 255);  // the second table entry is white
  // Bottom-up rows: the first stored row is source row 2.
  EXPECT_EQ(p[48] & 0x80, 0x80);
  EXPECT_EQ(p[52] & 0x80, 0);
  EXPECT_EQ(p[56] & 0x80, 0x80);
  GlobalUnlock(dib);
  GlobalFree(dib);

  auto wide = TPXBitmap::CreateAllocated(5, 2, px32RGB);
  wide->Fill(0);
  HGLOBAL d32 = _CopyBitmaptoDIBEx(wide.get(), 0, 0, 0, 0, 200, 200);
  ASSERT_NE(d32, nullptr);
  EXPECT_EQ(static_cast<const uint8_t*>(GlobalLock(d32))[14], 24);
  GlobalUnlock(d32);
  GlobalFree(d32);
  EXPECT_EQ(_CopyBitmaptoDIBEx(wide.get(), 0, 0, 6, 2, 200, 200), nullptr);
  EXPECT_EQ(_CopyBitmaptoDIBEx(wide.get(), -1, 0, 0, 0, 200, 200), nullptr);
}

TEST_F(RenderToCanvasTest, EveryFormatPrints) {
  struct Case {
    TPXPixelFormat Format;
    TResampleFilter Filter;
  };
  auto src = Coded(12, 9);
  for (const Case c : {Case{px8g, rfNone}, Case{px8p, rfNone}, Case{px1g, rfNone}, Case{pxCMYK, rfNone},
                       Case{px8g, rfTriangle}, Case{px1g, rfTriangle}, Case{pxRGB48, rfFastLinear}}) {
    auto s = TPXBitmap::CreateCopy(src.get());
    s->ChangePixelFormat(c.Format);
    // The same picture brought to 24 bits by the container is what the canvas must show.
    auto want = TPXBitmap::CreateCopy(s.get());
    want->ChangePixelFormat(px24RGB);
    auto canvas = Canvas(12, 9);
    s->RenderToCanvas(canvas->Canvas(), 0, 0, 12, 9, c.Filter, 1.0, clWhite, false);
    for (int32_t y = 0; y < 9; ++y)
      EXPECT_EQ(std::memcmp(canvas->ScanLine(y), want->Scanline(y), 36), 0)
          << static_cast<int>(c.Format) << " " << static_cast<int>(c.Filter) << " " << y;
  }
}
