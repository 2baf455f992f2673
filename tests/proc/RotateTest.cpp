// Rotation: exact turns against Pillow, ImageMagick and pamflip, the three-shear sizes, the
// sense of rotation in every family, new areas, palettes, interpolation against a plain
// double-precision reading of the formulas, bands and progress, bad input.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <mutex>
#include <numbers>
#include <thread>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "proc/pixoranproc_rotate.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcOracle.h"
#include "tests/proc/ProcTestSupport.h"
#include "tests/proc/ResampleTestSupport.h"

namespace {

// A smooth picture (interpolation differences stay small): channel c of (x, y).
std::unique_ptr<TPXBitmap> Gradient(int w, int h, TPXPixelFormat f) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, f));
  const int n = f == px24RGB ? 3 : 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < n; ++c)
        b->Scanline(y)[n * x + c] = static_cast<uint8_t>(128 + 100 * std::sin(x * 0.21 + c) * std::cos(y * 0.17 - c));
  return b;
}

void SetPalette(TPXBitmap* b) {
  for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
}

using TRotation = std::function<void(TPXBitmap*)>;

// --- oracles -------------------------------------------------------------------------------------

std::unique_ptr<TPXBitmap> PillowTranspose(TPXBitmap* src, const char* op, TestTempDir& dir) {
  const std::string in = dir.File("p_in.ppm"), out = dir.File("p_out.ppm");
  WritePnm(src, in);
  const std::string script = std::string("import sys\nfrom PIL import Image\nT = getattr(Image, 'Transpose', Image)\n") +
                             "Image.open(sys.argv[1]).transpose(T." + op + ").save(sys.argv[2])\n";
  if (RunTool({kProcPython, "-c", script, in, out}, dir.File("p_log")) != 0) return nullptr;
  return ReadPnm(out);
}

std::unique_ptr<TPXBitmap> MagickRotate(TPXBitmap* src, const char* degrees, TestTempDir& dir) {
  const std::string ext = src->PixelFormat() == px8g ? "pgm" : "ppm";
  const std::string in = dir.File("m_in." + ext), out = dir.File("m_out." + ext);
  WritePnm(src, in);
  if (RunTool({kProcConvert, in, "-rotate", degrees, out}, dir.File("m_log")) != 0) return nullptr;
  return ReadPnm(out);
}

std::unique_ptr<TPXBitmap> Pamflip(TPXBitmap* src, const char* op, TestTempDir& dir) {
  const std::string ext = src->PixelFormat() == px1g ? "pbm" : src->PixelFormat() == px8g ? "pgm" : "ppm";
  const std::string in = dir.File("f_in." + ext), out = dir.File("f_out." + ext);
  WritePnm(src, in);
  if (RunTool({kProcPamflip, op, in}, out) != 0) return nullptr;
  return ReadPnm(out);
}

TEST(Rotate, ExactTurnsAgreeWithPillowImageMagickAndPamflip) {
  if (!ToolExists(kProcConvert) || !ToolExists(kProcPamflip) || !ToolExists(kProcPython))
    GTEST_SKIP() << "no ImageMagick, netpbm or python3";
  TestTempDir dir;
  TPXProgressRecord none;
  enum Oracle { kPillow, kMagick, kPamflip };
  struct Case {
    const char* name;
    TPXPixelFormat format;
    TRotation rotate;
    Oracle oracle;
    const char* op;  // Pillow transpose, ImageMagick degrees (clockwise) or pamflip switch
  };
  const Case cases[] = {
      {"shear 90", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 90, true, TRGB{}); }, kPillow, "ROTATE_90"},
      {"shear 450", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 450, true, TRGB{}); }, kPillow, "ROTATE_90"},
      {"shear -90", px24RGB, [](TPXBitmap* b) { RotateByShear(b, -90, false, TRGB{}); }, kMagick, "90"},
      {"shear 180", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 180, true, TRGB{}); }, kMagick, "180"},
      {"shear -630", px24RGB, [](TPXBitmap* b) { RotateByShear(b, -630, true, TRGB{}); }, kMagick, "-90"},
      {"nearest 90", px24RGB, [](TPXBitmap* b) { RotateNearest(b, 90, 0); }, kMagick, "-90"},
      {"nearest -270", px24RGB, [](TPXBitmap* b) { RotateNearest(b, -270, 0); }, kPillow, "ROTATE_90"},
      {"nearest 270", px24RGB, [](TPXBitmap* b) { RotateNearest(b, 270, 0); }, kPillow, "ROTATE_270"},
      {"nearest 180", px24RGB, [](TPXBitmap* b) { RotateNearest(b, 180, 0); }, kPillow, "ROTATE_180"},
      {"smooth 90", px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 90, 0, 3); }, kPillow, "ROTATE_90"},
      {"smooth -180", px24RGB, [](TPXBitmap* b) { RotateSmooth(b, -180, 0, 2); }, kMagick, "180"},
      {"gray shear 90", px8g, [](TPXBitmap* b) { RotateGrayByShear(b, 90, true, 0); }, kMagick, "-90"},
      {"gray shear -90", px8g, [](TPXBitmap* b) { RotateGrayByShear(b, -90, true, 0); }, kPamflip, "-cw"},
      {"gray nearest 270", px8g, [](TPXBitmap* b) { RotateGrayNearest(b, 270, 0); }, kPamflip, "-cw"},
      {"gray nearest -180", px8g, [](TPXBitmap* b) { RotateGrayNearest(b, -180, 0); }, kPamflip, "-r180"},
      {"gray smooth 270", px8g, [](TPXBitmap* b) { RotateGraySmooth(b, 270, 0, 3); }, kPamflip, "-cw"},
      {"nearest 8 90", px8g, [](TPXBitmap* b) { RotateNearest(b, 90, 0); }, kPamflip, "-ccw"},
      {"mono 90", px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, false, none, 90); }, kPamflip, "-ccw"},
      {"mono -90", px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, true, none, -90); }, kPamflip, "-cw"},
      {"mono 180", px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, false, none, 180); }, kPamflip, "-r180"},
      {"mono shear 270", px1g, [](TPXBitmap* b) { RotateByShear(b, 270, true, TRGB{}); }, kPamflip, "-cw"},
      {"mono nearest 90", px1g, [](TPXBitmap* b) { RotateNearest(b, 90, 0); }, kPamflip, "-ccw"},
      {"mono nearest -180", px1g, [](TPXBitmap* b) { RotateNearest(b, -180, 0); }, kPamflip, "-r180"},
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    auto src = RsRandom(c.format == px1g ? 21 : 37, 13, c.format, seed++);
    auto theirs = c.oracle == kPillow   ? PillowTranspose(src.get(), c.op, dir)
                  : c.oracle == kMagick ? MagickRotate(src.get(), c.op, dir)
                                        : Pamflip(src.get(), c.op, dir);
    ASSERT_TRUE(theirs) << c.name;
    c.rotate(src.get());
    EXPECT_TRUE(SamePixels(src.get(), theirs.get())) << c.name;
  }
}

TEST(Rotate, ShearSizesAndAngleReduction) {
  const TPXShearSizes s = CalcShearSizes(100, 50, 30);
  EXPECT_EQ(s.W1, 114);
  EXPECT_EQ(s.O, 7);
  EXPECT_EQ(s.H2a, 108);
  EXPECT_EQ(s.U, 14);
  EXPECT_EQ(s.H2, 94);
  EXPECT_EQ(s.W3, 112);
  EXPECT_DOUBLE_EQ(ReduceShearAngle(30.12345), 30.123);
  EXPECT_DOUBLE_EQ(ReduceShearAngle(-400.5), -40.5);
  EXPECT_DOUBLE_EQ(ReduceShearAngle(720), 0);
  EXPECT_DOUBLE_EQ(ReduceShearAngle(-359.9999), -359.999);
}

// Result sizes of every family for 100 x 50 by 30 degrees: the four-decimal trigonometry of the
// mono and grey nearest routines (sin 30 taken as 0.4999) gives one column fewer than the others.
TEST(Rotate, ResultSizesOfEveryFamily) {
  TPXProgressRecord none;
  struct Case {
    const char* name;
    TPXPixelFormat format;
    TRotation rotate;
    int w, h;
  };
  const Case cases[] = {
      {"shear 30", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 30, true, TRGB{}); }, 112, 94},
      {"shear -30", px24RGB, [](TPXBitmap* b) { RotateByShear(b, -30, false, TRGB{}); }, 112, 94},
      {"shear 120", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 120, true, TRGB{}); }, 95, 112},
      {"gray shear 30", px8g, [](TPXBitmap* b) { RotateGrayByShear(b, 30, true, 0); }, 112, 94},
      {"nearest 30", px24RGB, [](TPXBitmap* b) { RotateNearest(b, 30, 0); }, 112, 93},
      {"nearest 1-bit 30", px1g, [](TPXBitmap* b) { RotateNearest(b, 30, 0); }, 112, 93},
      {"mono 30", px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, false, none, 30); }, 111, 93},
      {"mono shear 30", px1g, [](TPXBitmap* b) { RotateByShear(b, 30, true, TRGB{}); }, 111, 93},
      {"mono 360 general path", px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, false, none, 360); }, 100, 50},
      {"gray nearest 30", px8g, [](TPXBitmap* b) { RotateGrayNearest(b, 30, 0); }, 111, 93},
      {"smooth 30", px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 30, 0, 2); }, 111, 93},
      {"gray smooth 30", px8g, [](TPXBitmap* b) { RotateGraySmooth(b, 30, 0, 3); }, 111, 93},
  };
  for (const Case& c : cases) {
    auto b = RsRandom(100, 50, c.format, 3);
    c.rotate(b.get());
    EXPECT_EQ(b->Width(), c.w) << c.name;
    EXPECT_EQ(b->Height(), c.h) << c.name;
    EXPECT_EQ(b->PixelFormat(), c.format) << c.name;
  }
}

// A bright block to the right of the centre ends above-right of the new centre after a turn by
// +30 (counter-clockwise on screen), in every family and format.
TEST(Rotate, PositiveAnglesTurnCounterClockwise) {
  TPXProgressRecord none;
  struct Case {
    const char* name;
    TPXPixelFormat format;
    TRotation rotate;
    bool truncates = false;  // whole-pixel offsets truncated in each step
  };
  const Case cases[] = {
      {"shear", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 30, true, TRGB{}); }},
      {"shear plain", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 30, false, TRGB{}); }, true},
      {"shear 390", px24RGB, [](TPXBitmap* b) { RotateByShear(b, 390, true, TRGB{}); }},
      {"gray shear", px8g, [](TPXBitmap* b) { RotateGrayByShear(b, 30, true, 0); }},
      {"nearest", px24RGB, [](TPXBitmap* b) { RotateNearest(b, 30, 0); }},
      {"nearest 8", px8g, [](TPXBitmap* b) { RotateNearest(b, 30, 0); }},
      {"nearest 1", px1g, [](TPXBitmap* b) { RotateNearest(b, 30, 0); }},
      {"mono", px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, false, none, 30); }, true},
      {"gray nearest", px8g, [](TPXBitmap* b) { RotateGrayNearest(b, 30, 0); }, true},
      {"bilinear", px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 30, 0, 2); }},
      {"bicubic", px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 30, 0, 3); }},
      {"gray bicubic", px8g, [](TPXBitmap* b) { RotateGraySmooth(b, 30, 0, 3); }},
  };
  for (const Case& c : cases) {
    auto b = std::make_unique<TPXBitmap>();
    ASSERT_TRUE(b->Allocate(61, 41, c.format));
    b->Fill(0);
    for (int y = 19; y <= 21; ++y)
      for (int x = 54; x <= 56; ++x) {
        if (c.format == px1g) SetBit(b->Scanline(y), x, true);
        else if (c.format == px8g) b->Scanline(y)[x] = 255;
        else b->SetPixel24(x, y, TRGB{255, 255, 255});
      }
    c.rotate(b.get());
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x) {
        const uint8_t* row = b->Scanline(y);
        const int v = c.format == px1g ? (GetBit(row, x) ? 255 : 0) : c.format == px8g ? row[x] : row[3 * x];
        sx += v * x, sy += v * y, n += v;
      }
    ASSERT_GT(n, 0) << c.name;
    const double cx = (b->Width() - 1) / 2.0, cy = (b->Height() - 1) / 2.0;
    // Routines that truncate their offsets (the four-decimal ones twice towards the centre, the
    // shears without antialiasing once per pass) may land up to two pixels short.
    const double r = 25, a = 30 * std::numbers::pi / 180, tol = c.truncates ? 2.5 : 1.6;
    EXPECT_NEAR(sx / n - cx, r * std::cos(a), tol) << c.name;
    EXPECT_NEAR(sy / n - cy, -r * std::sin(a), tol) << c.name;
  }
}

// The three shears exactly as described, column by column, on a grey picture held in vectors.
using TGrid = std::vector<std::vector<int>>;

TGrid ReferenceShear(TGrid q, double angle, bool aa, int bg) {
  auto turn = [](const TGrid& g, bool ccw) {
    const int h = static_cast<int>(g.size()), w = static_cast<int>(g[0].size());
    TGrid r(static_cast<size_t>(w), std::vector<int>(static_cast<size_t>(h)));
    for (int y = 0; y < w; ++y)
      for (int x = 0; x < h; ++x) r[y][x] = ccw ? g[x][w - 1 - y] : g[h - 1 - x][y];
    return r;
  };
  double a = static_cast<double>(static_cast<int64_t>(static_cast<long double>(angle) * 1000) % 360000) / 1000;
  while (a > 45) a -= 90, q = turn(q, true);
  while (a < -45) a += 90, q = turn(q, false);
  if (a == 0) return q;
  const int h = static_cast<int>(q.size()), w = static_cast<int>(q[0].size());
  const TPXShearSizes z = CalcShearSizes(w, h, a);
  const double th = a * std::numbers::pi / 180, t = std::fabs(std::tan(th / 2)), s = std::fabs(std::sin(th));
  auto blend = [](int prev, int cur, int b) { return std::min(255, (prev * b + cur * (4096 - b) + 2048) / 4096); };
  auto split = [](double off, int& n, int& b) {
    n = static_cast<int>(off);
    b = static_cast<int>((off - n) * 4096);
  };
  TGrid b1(static_cast<size_t>(h), std::vector<int>(static_cast<size_t>(z.W1), bg));
  for (int y = 0; y < h; ++y) {
    int n, b;
    split((th > 0 ? y : h - y) * t, n, b);
    int prev = bg;
    for (int x = 0; x < w; ++x) b1[y][n + x] = aa ? blend(prev, q[y][x], b) : q[y][x], prev = q[y][x];
    if (aa && b > 0 && w + n < z.W1) b1[y][n + w] = blend(prev, bg, b);
  }
  TGrid b2(static_cast<size_t>(z.H2), std::vector<int>(static_cast<size_t>(z.W1), bg));
  for (int x = 0; x < z.W1; ++x) {
    const double off = (th > 0 ? z.W1 - x : x) * s;
    int n, b;
    split(off, n, b);
    n -= z.O;
    int prev = bg;
    for (int j = 0; j < h; ++j)
      if (j + n >= 0 && j + n < z.H2) b2[j + n][x] = aa ? blend(prev, b1[j][x], b) : b1[j][x], prev = b1[j][x];
    if (aa && b > 0 && n + h >= 0 && n + h < z.H2) b2[n + h][x] = blend(prev, bg, b);
  }
  TGrid r(static_cast<size_t>(z.H2), std::vector<int>(static_cast<size_t>(z.W3), bg));
  for (int y = 0; y < z.H2; ++y) {
    int n, b;
    split((th > 0 ? y : z.H2 - y) * t, n, b);
    n -= z.U;
    int prev = bg;
    for (int x = 0; x < z.W1; ++x)
      if (n + x >= 0 && n + x < z.W3) r[y][n + x] = aa ? blend(prev, b2[y][x], b) : b2[y][x], prev = b2[y][x];
    if (aa && b > 0 && n + z.W1 >= 0 && n + z.W1 < z.W3) r[y][n + z.W1] = blend(prev, bg, b);
  }
  return r;
}

TEST(Rotate, ShearsMatchTheColumnByColumnDescription) {
  for (double angle : {30.0, -30.0, 45.0, -45.0, 12.345, -0.5, 170.25, -100.0, 299.9}) {
    for (bool aa : {true, false}) {
      auto b = RsRandom(53, 29, px8g, static_cast<uint32_t>(angle * 10 + 500));
      TGrid g(29, std::vector<int>(53));
      for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 53; ++x) g[y][x] = b->Scanline(y)[x];
      const TGrid want = ReferenceShear(g, angle, aa, 77);
      RotateGrayByShear(b.get(), angle, aa, 77);
      ASSERT_EQ(b->Height(), static_cast<int>(want.size())) << angle;
      ASSERT_EQ(b->Width(), static_cast<int>(want[0].size())) << angle;
      int bad = 0;
      for (int y = 0; y < b->Height(); ++y)
        for (int x = 0; x < b->Width(); ++x) bad += b->Scanline(y)[x] != want[y][x];
      EXPECT_EQ(bad, 0) << angle << (aa ? " antialiased" : " plain");
    }
  }
}

TEST(Rotate, ShearAntialiasingBlendsOnlyAtEdgesAndKeepsTheArea) {
  for (bool aa : {false, true}) {
    auto b = std::make_unique<TPXBitmap>();
    ASSERT_TRUE(b->Allocate(100, 50, px24RGB));
    b->Fill(0xC8C8C8);  // 200 grey
    RotateByShear(b.get(), 30, aa, TRGB{10, 20, 30});
    int64_t full = 0, partial = 0, mass = 0;
    for (int y = 0; y < b->Height(); ++y)
      for (int x = 0; x < b->Width(); ++x) {
        const TRGB p = b->GetPixelRGB(x, y);
        if (p == TRGB{10, 20, 30}) continue;
        if (p == TRGB{200, 200, 200}) ++full;
        else ++partial;
        mass += p.r - 30;
      }
    EXPECT_EQ(b->GetPixelRGB(0, 0), (TRGB{10, 20, 30}));  // corner: new area
    if (!aa) EXPECT_EQ(partial, 0);
    else EXPECT_GT(partial, 100);
    // Every pass preserves the row's total weight: the area stays 5000 pixels within the edges.
    EXPECT_NEAR(mass / 170.0, 5000, aa ? 60 : 150) << aa;
    EXPECT_GT(full, 4400);
  }
}

TEST(Rotate, WholeTurnsLeaveThePicture) {
  auto src = RsRandom(23, 17, px24RGB, 9);
  for (double angle : {360.0, -360.0, 720.0, 0.0}) {
    auto b = TPXBitmap::CreateCopy(src.get());
    RotateByShear(b.get(), angle, true, TRGB{1, 2, 3});
    EXPECT_TRUE(SamePixels(b.get(), src.get())) << angle;
    RotateNearest(b.get(), angle, 0);
    EXPECT_TRUE(SamePixels(b.get(), src.get())) << angle;
    RotateSmooth(b.get(), angle, 0, 3);
    EXPECT_TRUE(SamePixels(b.get(), src.get())) << angle;
  }
}

TEST(Rotate, NewAreasAndPalettes) {
  TPXProgressRecord none;
  // 1-bit through the shear entry: white exactly when all three background bytes are non-zero.
  for (const auto& [bg, white] : {std::pair{TRGB{255, 255, 255}, true}, std::pair{TRGB{1, 1, 1}, true},
                                  std::pair{TRGB{255, 0, 255}, false}, std::pair{TRGB{0, 0, 0}, false}}) {
    auto b = RsRandom(40, 30, px1g, 4);
    RotateByShear(b.get(), 30, true, bg);
    EXPECT_EQ(GetBit(b->Scanline(0), 0) != 0, white);
    EXPECT_EQ(GetBit(b->Scanline(b->Height() - 1), b->Width() - 1) != 0, white);
  }
  auto mono = RsRandom(40, 30, px1g, 5);
  RotateNearest(mono.get(), 30, 0xFFFFFF);  // 1-bit: black whatever the colour
  EXPECT_EQ(GetBit(mono->Scanline(0), 0), 0);

  // Background bytes of the 24-bit routines: red in the colour's low byte, TRGB as given.
  auto rgb = RsRandom(40, 30, px24RGB, 6);
  RotateNearest(rgb.get(), 30, 0x332211);
  EXPECT_EQ(rgb->GetPixelRGB(0, 0), (TRGB{0x33, 0x22, 0x11}));
  rgb = RsRandom(40, 30, px24RGB, 6);
  RotateSmooth(rgb.get(), 30, 0x332211, 2);
  EXPECT_EQ(rgb->GetPixelRGB(0, 0), (TRGB{0x33, 0x22, 0x11}));

  // Alpha channels turn with background 0: the new area is transparent.
  auto alpha = std::make_unique<TPXBitmap>();
  ASSERT_TRUE(alpha->Allocate(40, 30, px8g));
  alpha->Fill(255);
  for (const TRotation& r : {TRotation([](TPXBitmap* b) { RotateGrayByShear(b, 10, true, 0); }),
                             TRotation([](TPXBitmap* b) { RotateGraySmooth(b, 10, 0, 2); }),
                             TRotation([](TPXBitmap* b) { RotateGrayNearest(b, 10, 0); }),
                             TRotation([](TPXBitmap* b) { RotateNearest(b, 10, 0); })}) {
    auto a = TPXBitmap::CreateCopy(alpha.get());
    r(a.get());
    EXPECT_EQ(a->Scanline(0)[0], 0);
    EXPECT_EQ(a->Scanline(a->Height() / 2)[a->Width() / 2], 255);
  }

  // px8p keeps its palette in every routine that takes it; the new area is the index given.
  for (const auto& [r, turned] : {std::pair{TRotation([](TPXBitmap* b) { RotateGrayByShear(b, 30, true, 9); }), true},
                                  std::pair{TRotation([](TPXBitmap* b) { RotateGrayByShear(b, 90, true, 9); }), false},
                                  std::pair{TRotation([](TPXBitmap* b) { RotateNearest(b, 30, 9); }), true},
                                  std::pair{TRotation([](TPXBitmap* b) { RotateNearest(b, 180, 9); }), false},
                                  std::pair{TRotation([](TPXBitmap* b) { RotateGrayNearest(b, 30, 9); }), true},
                                  std::pair{TRotation([](TPXBitmap* b) { RotateGraySmooth(b, 30, 9, 3); }), true},
                                  std::pair{TRotation([](TPXBitmap* b) { RotateSmooth(b, 30, 9, 2); }), true}}) {
    auto p = RsRandom(40, 30, px8p, 7);
    SetPalette(p.get());
    r(p.get());
    ASSERT_EQ(p->PixelFormat(), px8p);
    if (turned) {
      EXPECT_EQ(p->Scanline(0)[0], 9);
    }
    TRGB c;
    p->GetPaletteColor(200, c);
    EXPECT_EQ(c, (TRGB{200, 55, 7}));
  }
}

// Every in-place routine hands back new pixels; the picture's colour profile stays with it.
TEST(Rotate, InPlaceRoutinesKeepTheColourProfile) {
  TPXProgressRecord none;
  const std::pair<TPXPixelFormat, TRotation> cases[] = {
      {px24RGB, [](TPXBitmap* b) { RotateByShear(b, 30, true, TRGB{}); }},
      {px24RGB, [](TPXBitmap* b) { RotateByShear(b, 90, true, TRGB{}); }},
      {px24RGB, [](TPXBitmap* b) { RotateNearest(b, 30, 0); }},
      {px24RGB, [](TPXBitmap* b) { RotateNearest(b, -90, 0); }},
      {px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 30, 0, 3); }},
      {px8g, [](TPXBitmap* b) { RotateGrayByShear(b, 30, true, 0); }},
      {px8g, [](TPXBitmap* b) { RotateGrayNearest(b, 30, 0); }},
      {px8g, [](TPXBitmap* b) { RotateGraySmooth(b, 30, 0, 2); }},
      {px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, false, none, 30); }},
  };
  for (const auto& [format, rotate] : cases) {
    auto b = RsRandom(20, 10, format, 8);
    b->FImageProfile->LoadSRGB();
    const int32_t size = b->FImageProfile->ProfileSize();
    ASSERT_GT(size, 0);
    rotate(b.get());
    EXPECT_EQ(b->FImageProfile->ProfileSize(), size) << static_cast<int>(format);
  }
}

// The bytes after the last pixel of each row come back zero, whatever the heap held before.
TEST(Rotate, RowPaddingIsCleared) {
  TPXProgressRecord none;
  const std::pair<TPXPixelFormat, TRotation> cases[] = {
      {px24RGB, [](TPXBitmap* b) { RotateByShear(b, 20, true, TRGB{}); }},
      {px24RGB, [](TPXBitmap* b) { RotateByShear(b, 90, true, TRGB{}); }},
      {px8g, [](TPXBitmap* b) { RotateGrayByShear(b, -20, true, 0); }},
      {px8g, [](TPXBitmap* b) { RotateGrayNearest(b, 20, 0); }},
      {px24RGB, [](TPXBitmap* b) { RotateNearest(b, 20, 0); }},
      {px24RGB, [](TPXBitmap* b) { RotateNearest(b, 270, 0); }},
      {px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 20, 0, 2); }},
      {px8g, [](TPXBitmap* b) { RotateGraySmooth(b, 90, 0, 3); }},
      {px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, true, none, 20); }},
  };
  for (const auto& [format, rotate] : cases) {
    for (int k = 0; k < 4; ++k) {
      auto dirt = std::make_unique<std::vector<uint8_t>>(static_cast<size_t>(600 + 300 * k), 0xAA);
      dirt.reset();  // leaves written heap behind for the next blocks
    }
    auto b = RsRandom(13, 9, format, 2);
    rotate(b.get());
    const int64_t used = (static_cast<int64_t>(b->Width()) * b->BitCount() + 7) / 8;
    for (int y = 0; y < b->Height(); ++y)
      for (int64_t i = used; i < b->RowLen(); ++i) ASSERT_EQ(b->Scanline(y)[i], 0) << static_cast<int>(format);
  }
}

// --- interpolation against the formulas read in doubles ----------------------------------------

std::vector<int> ReferenceSmooth(TPXBitmap* src, int nw, int nh, double angle, const std::vector<int>& bg, int mode) {
  const int w = src->Width(), h = src->Height(), n = static_cast<int>(bg.size());
  const double th = angle * std::numbers::pi / 180, cs = std::cos(th), sn = std::sin(th);
  const double scx = (w - 1) / 2.0, scy = (h - 1) / 2.0, dcx = (nw - 1) / 2.0, dcy = (nh - 1) / 2.0;
  auto at = [&](int x, int y, int c) { return x >= 0 && y >= 0 && x < w && y < h ? src->Scanline(y)[n * x + c] : bg[c]; };
  std::vector<int> out;
  for (int y = 0; y < nh; ++y)
    for (int x = 0; x < nw; ++x) {
      const double sx = (x - dcx) * cs + scx - (y - dcy) * sn, sy = (x - dcx) * sn + scy + (y - dcy) * cs;
      const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      const double fx = sx - ix, fy = sy - iy;
      for (int c = 0; c < n; ++c) {
        if (mode == 2) {
          const double top = at(ix, iy, c) + (at(ix + 1, iy, c) - at(ix, iy, c)) * fx;
          const double bottom = at(ix, iy + 1, c) + (at(ix + 1, iy + 1, c) - at(ix, iy + 1, c)) * fx;
          out.push_back(static_cast<int>(std::trunc(top + (bottom - top) * fy)));
        } else {
          auto wts = [](double f) {
            return std::array<double, 4>{-f * (1 - f) * (1 - f), 1 - 2 * f * f + f * f * f, f * (1 + f - f * f),
                                         -f * f * (1 - f)};
          };
          const auto wx = wts(fx), wy = wts(fy);
          double v = 0;
          for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) v += wx[i] * wy[j] * at(ix - 1 + i, iy - 1 + j, c);
          out.push_back(std::clamp(static_cast<int>(std::nearbyint(v)), 0, 255));
        }
      }
    }
  return out;
}

TEST(Rotate, InterpolationFollowsTheFormulas) {
  struct Case {
    TPXPixelFormat format;
    double angle;
    int mode;
  };
  for (const Case c : {Case{px24RGB, 30, 2}, Case{px24RGB, -17.5, 3}, Case{px8g, 133, 2}, Case{px8g, 30, 3},
                       Case{px24RGB, 250, 7}}) {
    auto src = c.format == px24RGB ? RsRandom(47, 31, c.format, 11) : Gradient(47, 31, c.format);
    auto dst = std::make_unique<TPXBitmap>();
    if (c.format == px24RGB) RotateSmoothTo(src.get(), dst.get(), c.angle, 0x0A141E, c.mode);
    else RotateGraySmoothTo(src.get(), dst.get(), c.angle, 40, c.mode);
    const std::vector<int> bg = c.format == px24RGB ? std::vector<int>{0x0A, 0x14, 0x1E} : std::vector<int>{40};
    const std::vector<int> ref = ReferenceSmooth(src.get(), dst->Width(), dst->Height(), c.angle, bg, c.mode);
    const int n = static_cast<int>(bg.size());
    int equal = 0, total = 0, worst = 0;
    for (int y = 0; y < dst->Height(); ++y)
      for (int x = 0; x < dst->Width() * n; ++x, ++total) {
        const int d = std::abs(dst->Scanline(y)[x] - ref[static_cast<size_t>(total)]);
        worst = std::max(worst, d);
        equal += d == 0;
      }
    EXPECT_LE(worst, 1) << c.angle;
    EXPECT_GT(equal, total * 99 / 100) << c.angle;
  }
}

// The smooth rotations' exact bytes, hashed over pictures of odd and even sizes, angles in every
// quadrant, both interpolations and 24-bit and grey sources, so a faster inner loop that is not
// bit for bit the former one fails (the hash was taken from the plain per-pixel loop).
TEST(Rotate, SmoothBytesStayTheSame) {
  uint64_t hash = 1469598103934665603ull;
  uint32_t seed = 70;
  for (TPXPixelFormat format : {px24RGB, px8g})
    for (double angle : {30.0, -17.5, 133.0, 251.3, 0.7})
      for (int mode : {2, 3}) {
        auto src = RsRandom(37 + static_cast<int>(seed % 5), 23 + static_cast<int>(seed % 4), format, seed);
        ++seed;
        auto dst = std::make_unique<TPXBitmap>();
        if (format == px24RGB) RotateSmoothTo(src.get(), dst.get(), angle, 0x0A141E, mode);
        else RotateGraySmoothTo(src.get(), dst.get(), angle, 40, mode);
        const size_t bytes = static_cast<size_t>(dst->Width()) * (format == px24RGB ? 3 : 1);
        for (int y = 0; y < dst->Height(); ++y)
          for (size_t x = 0; x < bytes; ++x) hash = (hash ^ dst->Scanline(y)[x]) * 1099511628211ull;
        hash = (hash ^ static_cast<uint64_t>(dst->Width() * 65536 + dst->Height())) * 1099511628211ull;
      }
  EXPECT_EQ(hash, 0xe27a07d425c5cf74ull) << std::hex << hash;
}

TEST(Rotate, SmoothSourcesOfOtherFormatsGoThroughRgb) {
  auto mono = RsRandom(30, 20, px1g, 12);
  auto dst = std::make_unique<TPXBitmap>();
  RotateSmoothTo(mono.get(), dst.get(), 20, 0xFFFFFF, 2);
  EXPECT_EQ(dst->PixelFormat(), px24RGB);
  EXPECT_EQ(dst->GetPixelRGB(0, 0), (TRGB{255, 255, 255}));
  RotateSmooth(mono.get(), 20, 0, 3);
  EXPECT_EQ(mono->PixelFormat(), px24RGB);
  EXPECT_EQ(mono->Width(), dst->Width());
}

// --- bands, progress, bad input ----------------------------------------------------------------

class RotateThreads : public ProcThreadsTest {};

TEST_F(RotateThreads, ResultIsTheSameForEveryThreadCount) {
  TPXProgressRecord none;
  const std::pair<TPXPixelFormat, TRotation> cases[] = {
      {px24RGB, [](TPXBitmap* b) { RotateByShear(b, 33.3, true, TRGB{5, 6, 7}); }},
      {px8g, [](TPXBitmap* b) { RotateGrayByShear(b, -100, true, 3); }},
      {px24RGB, [](TPXBitmap* b) { RotateNearest(b, 21, 0x123456); }},
      {px1g, [](TPXBitmap* b) { RotateNearest(b, -21, 0); }},
      {px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, true, none, 21); }},
      {px8g, [](TPXBitmap* b) { RotateGrayNearest(b, 21, 1); }},
      {px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 21, 0x123456, 2); }},
      {px24RGB, [](TPXBitmap* b) { RotateSmooth(b, 21, 0x123456, 3); }},
      {px24RGB, [](TPXBitmap* b) { RotateNearest(b, 90, 0); }},
      {px1g, [](TPXBitmap* b) { RotateNearest(b, 180, 0); }},
  };
  int i = 0;
  for (const auto& [format, rotate] : cases) {
    auto src = RsRandom(211, 157, format, 100 + i);
    SetThreads(1);
    auto one = TPXBitmap::CreateCopy(src.get());
    rotate(one.get());
    for (int n : {2, 3, 8}) {
      SetThreads(n);
      auto many = TPXBitmap::CreateCopy(src.get());
      rotate(many.get());
      EXPECT_TRUE(SamePixels(one.get(), many.get())) << "case " << i << " threads " << n;
    }
    // A picture kept in a temporary file gives the same result.
    auto file = std::make_unique<TPXBitmap>();
    file->FMemoryLimit = 0;
    ASSERT_TRUE(file->Allocate(src->Width(), src->Height(), format));
    ASSERT_EQ(file->Location(), pxFile);
    for (int y = 0; y < src->Height(); ++y) std::memcpy(file->Scanline(y), src->Scanline(y), static_cast<size_t>(src->RowLen()));
    rotate(file.get());
    EXPECT_TRUE(SamePixels(one.get(), file.get())) << "case " << i << " in a file";
    ++i;
  }
}

TEST_F(RotateThreads, ProgressRisesOnTheCallersThreadAndStaysBelow100) {
  SetThreads(4);
  struct Record {
    std::mutex lock;
    std::vector<int> values;
    bool otherThread = false;
  };
  const std::thread::id caller = std::this_thread::get_id();
  auto run = [&](const std::function<void(const TPXProgressEvent&)>& rotate, bool changesOnly) {
    Record rec;
    TPXProgressEvent ev = [&](TObject*, int32_t per) {
      std::lock_guard g(rec.lock);
      rec.values.push_back(per);
      rec.otherThread |= std::this_thread::get_id() != caller;
    };
    rotate(ev);
    ASSERT_GT(rec.values.size(), 3u);
    EXPECT_FALSE(rec.otherThread);
    for (size_t k = 1; k < rec.values.size(); ++k) {
      EXPECT_GE(rec.values[k], rec.values[k - 1]);
      if (changesOnly) {
        EXPECT_NE(rec.values[k], rec.values[k - 1]);
      }
    }
    EXPECT_GE(rec.values.front(), 0);
    EXPECT_LT(rec.values.back(), 100);
    EXPECT_GE(rec.values.back(), 90);
  };
  run([](const TPXProgressEvent& e) { RotateByShear(RsRandom(300, 200, px24RGB, 1).get(), 30, true, TRGB{}, e); },
      true);
  run([](const TPXProgressEvent& e) { RotateGrayByShear(RsRandom(300, 200, px8g, 1).get(), 30, true, 0, e); }, false);
  run([](const TPXProgressEvent& e) { RotateNearest(RsRandom(300, 200, px24RGB, 1).get(), 30, 0, e); }, true);
  run([](const TPXProgressEvent& e) { RotateSmooth(RsRandom(300, 200, px24RGB, 1).get(), 30, 0, 3, e); }, false);
  run(
      [](const TPXProgressEvent& e) {
        TPXProgressRecord rec;
        InitProgressRecord(nullptr, nullptr, rec, e);
        RotateMonoNearest(RsRandom(300, 200, px1g, 1).get(), false, rec, 30);
      },
      true);
}

TEST(Rotate, BadInputChangesNothing) {
  TPXProgressRecord none;
  RotateByShear(nullptr, 30, true, TRGB{});
  RotateGrayByShear(nullptr, 30, true, 0);
  RotateMonoNearest(nullptr, false, none, 30);
  RotateGrayNearest(nullptr, 30, 0);
  RotateNearest(nullptr, 30, 0);
  RotateSmooth(nullptr, 30, 0, 2);
  RotateGraySmooth(nullptr, 30, 0, 2);
  RotateSmoothTo(nullptr, nullptr, 30, 0, 2);
  RotateGraySmoothTo(nullptr, nullptr, 30, 0, 2);

  TPXBitmap empty;
  RotateByShear(&empty, 30, true, TRGB{});
  RotateNearest(&empty, 30, 0);
  RotateSmooth(&empty, 30, 0, 3);
  EXPECT_TRUE(empty.IsEmpty());

  auto src = RsRandom(9, 7, px24RGB, 2);
  auto copy = TPXBitmap::CreateCopy(src.get());
  RotateByShear(copy.get(), std::nan(""), true, TRGB{});
  RotateNearest(copy.get(), INFINITY, 0);
  RotateSmooth(copy.get(), std::nan(""), 0, 3);
  RotateSmoothTo(copy.get(), copy.get(), 30, 0, 3);  // the same bitmap on both sides
  RotateGrayByShear(copy.get(), 30, true, 0);          // wrong formats: nothing
  RotateGrayNearest(copy.get(), 30, 0);
  RotateGraySmooth(copy.get(), 30, 0, 2);
  RotateMonoNearest(copy.get(), false, none, 30);
  EXPECT_TRUE(SamePixels(copy.get(), src.get()));

  auto g16 = RsRandom(9, 7, px16g, 2);
  RotateByShear(g16.get(), 30, true, TRGB{});  // not 24-bit and not 1-bit: nothing
  EXPECT_EQ(g16->Width(), 9);

  // Thin and one-pixel pictures at awkward angles stay inside their buffers and come back filled.
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{7, 1}, std::pair{2, 3}})
    for (double angle : {30.0, -45.0, 45.0, 89.9, -179.999, 0.0005, 1e9}) {
      const std::pair<TPXPixelFormat, TRotation> all[] = {
          {px24RGB, [&](TPXBitmap* b) { RotateByShear(b, angle, true, TRGB{1, 2, 3}); }},
          {px8g, [&](TPXBitmap* b) { RotateGrayByShear(b, angle, true, 4); }},
          {px1g, [&](TPXBitmap* b) { RotateMonoNearest(b, true, none, angle); }},
          {px8g, [&](TPXBitmap* b) { RotateGrayNearest(b, angle, 4); }},
          {pxRGB48, [&](TPXBitmap* b) { RotateNearest(b, angle, 0); }},
          {px24RGB, [&](TPXBitmap* b) { RotateSmooth(b, angle, 0, 2); }},
          {px8g, [&](TPXBitmap* b) { RotateGraySmooth(b, angle, 4, 3); }},
      };
      for (const auto& [format, rotate] : all) {
        auto b = RsRandom(w, h, format, 1);
        rotate(b.get());
        EXPECT_GE(b->Width(), 1);
        EXPECT_GE(b->Height(), 1);
      }
    }

  // A one-pixel picture at a tiny angle keeps one pixel where four decimals drop the side.
  auto dot = RsRandom(1, 1, px1g, 3);
  RotateMonoNearest(dot.get(), false, none, 0.001);
  EXPECT_EQ(dot->Width(), 1);
  EXPECT_EQ(dot->Height(), 1);
  auto dot8 = RsRandom(1, 1, px8g, 3);
  RotateGrayNearest(dot8.get(), 0.001, 0);
  EXPECT_EQ(dot8->Width(), 1);
}

}  // namespace
