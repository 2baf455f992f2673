#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_sample.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ProcTestSupport.h"

namespace {

const TPXConvolutionKernel& Preset(const std::string& name) {
  const auto& names = PXFilterPresetNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return PXFilterPresets()[i];
  ADD_FAILURE() << "no preset " << name;
  static const TPXConvolutionKernel none;
  return none;
}

constexpr TRGB kSentinel{7, 8, 9};

// ---------------------------------------------------------------------------------------------

TEST(SampleTest, AverageColorInRect) {
  auto b = Make(4, 3, px24RGB);
  b->Fill(0);
  b->SetPixel24(0, 0, {10, 20, 200});
  b->SetPixel24(1, 0, {21, 41, 101});
  b->SetPixel24(3, 2, {0, 0, 90});
  TRGB c = kSentinel;
  AverageColorInRect(b.get(), nullptr, 0, 0, 2, 1, c);
  EXPECT_EQ(c, (TRGB{15, 30, 150}));
  // X2 and Y2 beyond the picture are limited; the means truncate (90 / 12 = 7.5).
  AverageColorInRect(b.get(), nullptr, 0, 0, 99, 99, c);
  EXPECT_EQ(c, (TRGB{2, 5, 32}));

  // The bitmap is the copy of the mask's box, which starts at (5, 5).
  TPXMask mask;
  mask.AllocateBits(20, 20, 1);
  mask.SetPixel(5, 5, 1);
  mask.SetPixel(6, 5, 1);
  AverageColorInRect(b.get(), &mask, 0, 0, 4, 3, c);
  EXPECT_EQ(c, (TRGB{15, 30, 150}));
  // Nothing selected in the rectangle: black.
  c = kSentinel;
  AverageColorInRect(b.get(), &mask, 2, 0, 4, 3, c);
  EXPECT_EQ(c, (TRGB{0, 0, 0}));

  // Other formats leave the colour alone.
  auto g = Make(4, 3, px8g);
  c = kSentinel;
  AverageColorInRect(g.get(), nullptr, 0, 0, 4, 3, c);
  EXPECT_EQ(c, kSentinel);
}

// Inside the ellipse of the 100 x 40 rectangle green, outside red: the elliptical grid sees only
// green, the plain grid both (hues 120 and 0).
TEST(SampleTest, EllipticalSamplingCountsOnlyInsideTheEllipse) {
  auto b = Make(100, 40, px24RGB);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 100; ++x) {
      const double dx = (x - 49.5) / 50, dy = (y - 19.5) / 20;
      b->SetPixel24(x, y, dx * dx + dy * dy <= 1 ? TRGB{0, 200, 0} : TRGB{0, 0, 200});
    }
  for (int count : {25, 100, 400}) {
    int32_t hue = -1;
    TRGB c = kSentinel;
    SampleAverageColor(b.get(), nullptr, 0, 0, 100, 40, hue, count, true, c);
    EXPECT_EQ(c, (TRGB{0, 200, 0})) << count;
    EXPECT_EQ(hue, 0) << count;
    SampleAverageColor(b.get(), nullptr, 0, 0, 100, 40, hue, count, false, c);
    EXPECT_GT(c.r, 0) << count;
    EXPECT_EQ(hue, 120) << count;
  }
}

TEST(SampleTest, SampleGridAndDegenerateRectangles) {
  // SampleCount 4 asks for 2 per axis, raised to 5 and limited to the spans: every pixel of 3 x 3.
  auto g = Make(3, 3, px8g);
  for (int i = 0; i < 9; ++i) g->SetPixel8(i % 3, i / 3, static_cast<uint8_t>(i * 10));
  int32_t hue = -1;
  TRGB c = kSentinel;
  SampleAverageColor(g.get(), nullptr, 0, 0, 3, 3, hue, 4, false, c);
  EXPECT_EQ(c, (TRGB{40, 40, 40}));
  EXPECT_EQ(hue, 0);

  // A span below 1 writes nothing.
  hue = 77;
  c = kSentinel;
  SampleAverageColor(g.get(), nullptr, 2, 0, 2, 3, hue, 25, false, c);
  SampleAverageColor(g.get(), nullptr, -5, -5, -1, 3, hue, 25, false, c);
  EXPECT_EQ(c, kSentinel);
  EXPECT_EQ(hue, 77);
  // One pixel wide: the pixel at (X1, Y1), HueRange untouched.
  SampleAverageColor(g.get(), nullptr, 1, 1, 2, 3, hue, 25, false, c);
  EXPECT_EQ(c, (TRGB{40, 40, 40}));
  EXPECT_EQ(hue, 77);
}

// The grid of a 10 x 10 rectangle samples even positions. The mask's box starts at (1, 1) and
// selects mask pixels (2, 1) and (1, 2): bitmap pixels (1, 0) and (0, 1), which no sample hits,
// so the colour is their average from AverageColorInRect and HueRange is 0.
TEST(SampleTest, NoCountedSampleFallsBackToTheRectangleAverage) {
  auto b = Make(10, 10, px24RGB);
  b->Fill(0);
  b->SetPixel24(1, 0, {0, 0, 200});
  b->SetPixel24(0, 1, {0, 100, 0});
  TPXMask mask;
  mask.AllocateBits(10, 10, 1);
  mask.SetPixel(2, 1, 1);
  mask.SetPixel(1, 2, 1);
  ASSERT_EQ(mask.FX1, 1);
  ASSERT_EQ(mask.FY1, 1);
  int32_t hue = 77;
  TRGB c = kSentinel;
  SampleAverageColor(b.get(), &mask, 0, 0, 10, 10, hue, 25, false, c);
  EXPECT_EQ(c, (TRGB{0, 50, 100}));
  EXPECT_EQ(hue, 0);
}

// ---------------------------------------------------------------------------------------------

TEST(SampleTest, ConvolveIdentityBlurAndEdges) {
  auto b = Make(37, 23, px8g);
  FillNoise(b.get(), 5);
  auto copy = TPXBitmap::CreateCopy(b.get());
  Convolve3x3Gray(b.get(), TPXConvolutionKernel{{0, 0, 0, 0, 1, 0, 0, 0, 0}, 0}, 0, 0, 37, 23);
  EXPECT_TRUE(SamePixels(b.get(), copy.get()));

  // One white pixel in black: 255 div 9 = 28 around it, 0 elsewhere.
  auto dot = Make(9, 9, px8g);
  dot->Fill(0);
  dot->SetPixel8(4, 4, 255);
  Convolve3x3Gray(dot.get(), Preset("Blur"), 0, 0, 9, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(dot->GetPixel8(x, y), std::abs(x - 4) <= 1 && std::abs(y - 4) <= 1 ? 28 : 0) << x << "," << y;

  // Edge pixels repeat: a white corner counts four times for itself, twice for its neighbours.
  auto corner = Make(5, 5, px8g);
  corner->Fill(0);
  corner->SetPixel8(0, 0, 255);
  Convolve3x3Gray(corner.get(), Preset("Blur"), 0, 0, 5, 5);
  EXPECT_EQ(corner->GetPixel8(0, 0), 1020 / 9);
  EXPECT_EQ(corner->GetPixel8(1, 0), 510 / 9);
  EXPECT_EQ(corner->GetPixel8(0, 1), 510 / 9);
  EXPECT_EQ(corner->GetPixel8(1, 1), 28);

  // "Edges" gives magnitudes: the flat ring next to a dark centre reads |7 x 10 - 80| = 10.
  auto ring = Make(5, 5, px8g);
  ring->Fill(10);
  ring->SetPixel8(2, 2, 0);
  Convolve3x3Gray(ring.get(), Preset("Edges"), 0, 0, 5, 5);
  EXPECT_EQ(ring->GetPixel8(2, 2), 80);
  EXPECT_EQ(ring->GetPixel8(1, 2), 10);
  EXPECT_EQ(ring->GetPixel8(0, 0), 0);
}

TEST(SampleTest, ConvolveChangesOnlyTheRectangle) {
  auto b = Make(300, 260, px8g);  // large enough for several bands
  FillNoise(b.get(), 9);
  auto whole = TPXBitmap::CreateCopy(b.get());
  auto orig = TPXBitmap::CreateCopy(b.get());
  Convolve3x3Gray(whole.get(), Preset("Low Pass 2"), 0, 0, 300, 260);
  Convolve3x3Gray(b.get(), Preset("Low Pass 2"), 17, 5, 250, 240);
  for (int y = 0; y < 260; ++y)
    for (int x = 0; x < 300; ++x) {
      const bool in = x >= 17 && x < 250 && y >= 5 && y < 240;
      ASSERT_EQ(b->GetPixel8(x, y), (in ? whole : orig)->GetPixel8(x, y)) << x << "," << y;
    }

  // Other formats are left alone; an empty rectangle changes nothing.
  auto rgb = Make(8, 8, px24RGB);
  FillNoise(rgb.get(), 3);
  auto rgbCopy = TPXBitmap::CreateCopy(rgb.get());
  Convolve3x3Gray(rgb.get(), Preset("Blur"), 0, 0, 8, 8);
  EXPECT_TRUE(SamePixels(rgb.get(), rgbCopy.get()));
  auto untouched = TPXBitmap::CreateCopy(orig.get());
  Convolve3x3Gray(orig.get(), Preset("Blur"), 5, 5, 5, 9);
  Convolve3x3Gray(orig.get(), Preset("Blur"), 300, 0, 400, 9);
  EXPECT_TRUE(BitmapsEqual(orig.get(), untouched.get()));
}

// Weights whose products overflow 32 bits still give the exact quotient.
TEST(SampleTest, ConvolveWithHugeWeights) {
  auto b = Make(6, 4, px8g);
  FillNoise(b.get(), 11);
  auto copy = TPXBitmap::CreateCopy(b.get());
  const int32_t big = 1 << 30;
  Convolve3x3Gray(b.get(), TPXConvolutionKernel{{0, 0, 0, 0, big, 0, 0, 0, 0}, big}, 0, 0, 6, 4);
  EXPECT_TRUE(SamePixels(b.get(), copy.get()));
  Convolve3x3Gray(b.get(), TPXConvolutionKernel{{0, 0, 0, 0, big, 0, 0, 0, 0}, -1}, 0, 0, 6, 4);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(b->GetPixel8(x, 0), 0);  // negative quotients clamp to 0
}

// Pillow's ImageFilter.Kernel on an "L" picture: inner pixels within one level (Pillow rounds,
// the convolution truncates).
TEST(SampleTest, ConvolveMatchesPillow) {
  if (!ToolExists(kProcPython)) GTEST_SKIP() << "no python3";
  TestTempDir dir;
  auto b = Make(64, 48, px8g);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) b->SetPixel8(x, y, static_cast<uint8_t>((x * 37 + y * y * 3 + (x ^ y) * 11) & 255));
  WritePnm(b.get(), dir.File("in.pgm"));
  const std::string script =
      "import sys\nfrom PIL import Image, ImageFilter\n"
      "k = [int(v) for v in sys.argv[2].split(',')]\n"
      "im = Image.open(sys.argv[1]).convert('L')\n"
      "sys.stdout.buffer.write(im.filter(ImageFilter.Kernel((3, 3), k, scale=int(sys.argv[3]))).tobytes())\n";
  for (const char* name : {"Low Pass 2", "Blur"}) {
    const TPXConvolutionKernel& k = Preset(name);
    std::string list;
    for (int i = 0; i < 9; ++i) list += (i ? "," : "") + std::to_string(k.Values[i]);
    const int rc = RunTool({kProcPython, "-c", script, dir.File("in.pgm"), list, std::to_string(k.Divisor)},
                           dir.File("out.raw"));
    if (rc != 0) GTEST_SKIP() << "no Pillow";
    const std::string out = ProcReadFile(dir.File("out.raw"));
    ASSERT_EQ(out.size(), 64u * 48u);
    auto ours = TPXBitmap::CreateCopy(b.get());
    Convolve3x3Gray(ours.get(), k, 0, 0, 64, 48);
    for (int y = 1; y < 47; ++y)
      for (int x = 1; x < 63; ++x)
        ASSERT_NEAR(ours->GetPixel8(x, y), static_cast<uint8_t>(out[static_cast<size_t>(y * 64 + x)]), 1)
            << name << " at " << x << "," << y;
  }
}

// ---------------------------------------------------------------------------------------------

TEST(SampleTest, ReorderChannels) {
  auto rgb = Make(3, 4, px24RGB);
  FillNoise(rgb.get(), 21);
  auto orig = TPXBitmap::CreateCopy(rgb.get());
  std::vector<int32_t> progress;
  const TPXProgressEvent onProgress = [&](TObject*, int32_t per) { progress.push_back(per); };
  ReorderChannels(rgb.get(), "bgr", nullptr, onProgress);
  EXPECT_TRUE(SamePixels(rgb.get(), orig.get()));
  EXPECT_EQ(progress, (std::vector<int32_t>{0, 25, 50, 75}));

  ReorderChannels(rgb.get(), "RGB", nullptr, {});
  const TRGB a = orig->GetPixelRGB(2, 3), r = rgb->GetPixelRGB(2, 3);
  EXPECT_EQ(r, (TRGB{a.r, a.g, a.b}));
  ReorderChannels(rgb.get(), "0Gr", nullptr, {});
  EXPECT_EQ(rgb->GetPixelRGB(2, 3), (TRGB{0, a.g, a.b}));

  // Short or unknown orders and other formats leave the picture alone.
  auto before = TPXBitmap::CreateCopy(rgb.get());
  for (const char* bad : {"", "RG", "RGX", "B G"}) {
    ReorderChannels(rgb.get(), bad, nullptr, {});
    EXPECT_TRUE(SamePixels(rgb.get(), before.get())) << bad;
  }
  auto g = Make(3, 3, px8g);
  FillNoise(g.get(), 2);
  auto gCopy = TPXBitmap::CreateCopy(g.get());
  ReorderChannels(g.get(), "RGB", nullptr, {});
  EXPECT_TRUE(SamePixels(g.get(), gCopy.get()));

  auto w = Make(2, 1, pxRGB48);
  w->SetPixel48(0, 0, {1000, 2000, 3000});
  ReorderChannels(w.get(), "BGR", nullptr, {});
  EXPECT_EQ(w->GetPixel48(0, 0), (TRGB48{1000, 2000, 3000}));
  ReorderChannels(w.get(), "rgb", nullptr, {});
  EXPECT_EQ(w->GetPixel48(0, 0), (TRGB48{3000, 2000, 1000}));
  ReorderChannels(w.get(), "0GR", nullptr, {});
  EXPECT_EQ(w->GetPixel48(0, 0), (TRGB48{3000, 2000, 0}));
}

TEST(SampleTest, BitmapsEqual) {
  auto a = Make(13, 5, px24RGB);
  FillNoise(a.get(), 4);
  a->GetAlphaChannel()->SetPixel8(3, 3, 17);
  EXPECT_TRUE(BitmapsEqual(a.get(), a.get()));
  auto copy = TPXBitmap::CreateCopy(a.get());
  ASSERT_TRUE(copy->HasAlphaChannel());
  EXPECT_TRUE(BitmapsEqual(a.get(), copy.get()));
  copy->GetAlphaChannel()->SetPixel8(3, 3, 18);
  EXPECT_FALSE(BitmapsEqual(a.get(), copy.get()));
  copy->GetAlphaChannel()->SetPixel8(3, 3, 17);
  copy->SetPixel24(12, 4, {1, 2, 3});
  EXPECT_FALSE(BitmapsEqual(a.get(), copy.get()));

  auto noAlpha = TPXBitmap::CreateCopy(a.get());
  noAlpha->RemoveAlphaChannel(false, 0);
  EXPECT_FALSE(BitmapsEqual(a.get(), noAlpha.get()));
  EXPECT_FALSE(BitmapsEqual(a.get(), nullptr));

  // Equal bytes in another format are another picture.
  auto g = Make(39, 5, px8g);
  for (int y = 0; y < 5; ++y) std::memcpy(g->Scanline(y), noAlpha->Scanline(y), 39);
  auto p = Make(39, 5, px8p);
  for (int y = 0; y < 5; ++y) std::memcpy(p->Scanline(y), noAlpha->Scanline(y), 39);
  EXPECT_FALSE(BitmapsEqual(g.get(), p.get()));

  // 1-bit rows: the unused bits of the last byte do not count.
  auto m1 = Make(10, 2, px1g);
  auto m2 = Make(10, 2, px1g);
  for (int y = 0; y < 2; ++y) {
    m1->Scanline(y)[0] = m2->Scanline(y)[0] = 0xA5;
    m1->Scanline(y)[1] = 0xC0;
    m2->Scanline(y)[1] = 0xFF;
  }
  EXPECT_TRUE(BitmapsEqual(m1.get(), m2.get()));
  m2->Scanline(1)[1] = 0x80;
  EXPECT_FALSE(BitmapsEqual(m1.get(), m2.get()));
}

}  // namespace
