#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/pxcolorspace.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "proc/pixoranproc_bits.h"

namespace {

TRGB RGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }

// The four pixels of a 2 x 2 fixture, row by row: what each holds in the terms the expected
// values are computed from.
struct TFixturePixel {
  TRGB rgb;                 // the pixel as px24RGB: what any source format converts it to
  uint16_t w[3] = {0, 0, 0};  // 16-bit samples (px16g: w[0]; pxRGB48: r, g, b)
  float f = 0;              // px32f sample
};

struct TFixture {
  std::unique_ptr<TPXBitmap> bitmap;
  TFixturePixel px[4];
};

uint8_t UnitByte(float v) { return v <= 0 ? 0 : (v >= 1 ? 255 : static_cast<uint8_t>(v * 255.0)); }
uint16_t UnitWord(float v) { return v <= 0 ? 0 : (v >= 1 ? 65535 : static_cast<uint16_t>(v * 65535.0)); }
uint8_t Grey(const TRGB& c) { return static_cast<uint8_t>((c.r * 21 + c.g * 71 + c.b * 8) / 100); }
uint16_t Grey16(uint32_t r, uint32_t g, uint32_t b) { return static_cast<uint16_t>((r * 212 + g * 713 + b * 75) / 1000); }
float FloatGrey(const TRGB& c) { return static_cast<float>((c.r * 0.2126L + c.g * 0.7152L + c.b * 0.0722L) / 255); }

TFixture MakeFixture(TPXPixelFormat f) {
  TFixture fx;
  fx.bitmap = std::make_unique<TPXBitmap>();
  TPXBitmap* b = fx.bitmap.get();
  EXPECT_TRUE(b->Allocate(2, 2, f));
  for (int i = 0; i < 4; ++i) {
    const int x = i % 2, y = i / 2;
    TFixturePixel& p = fx.px[i];
    switch (f) {
      case px1g: {
        const bool set = i == 0 || i == 3;
        SetPixelBit(b->Scanline(y), x, set);
        p.rgb = set ? RGB(255, 255, 255) : RGB(0, 0, 0);
        break;
      }
      case px8p: {
        const TRGB pal[4] = {RGB(10, 20, 30), RGB(200, 100, 50), RGB(255, 255, 255), RGB(0, 0, 0)};
        b->FPalette[i] = pal[i];
        b->SetPixel8(x, y, static_cast<uint8_t>(i));
        p.rgb = pal[i];
        break;
      }
      case px8g: {
        const uint8_t v[4] = {0, 77, 128, 255};
        b->SetPixel8(x, y, v[i]);
        p.rgb = RGB(v[i], v[i], v[i]);
        break;
      }
      case px16g: {
        const uint16_t v[4] = {0, 1000, 32768, 65535};
        b->SetPixel16(x, y, v[i]);
        p.w[0] = v[i];
        const auto h = static_cast<uint8_t>(v[i] >> 8);
        p.rgb = RGB(h, h, h);
        break;
      }
      case px24RGB: {
        const TRGB v[4] = {RGB(0, 0, 0), RGB(255, 128, 0), RGB(10, 200, 30), RGB(255, 255, 255)};
        b->SetPixel24(x, y, v[i]);
        p.rgb = v[i];
        break;
      }
      case px32f: {
        const float v[4] = {0.0f, 0.25f, 0.5f, 1.0f};
        b->SetPixel32f(x, y, v[i]);
        p.f = v[i];
        const uint8_t h = UnitByte(v[i]);
        p.rgb = RGB(h, h, h);
        break;
      }
      case pxCMYK: {
        const TCMYK v[4] = {{255, 255, 255, 255}, {0, 255, 255, 255}, {128, 64, 200, 255}, {255, 255, 255, 0}};
        b->SetPixelCMYK(x, y, v[i]);
        p.rgb = CmykToRgbPixel(v[i]);
        break;
      }
      case pxRGB48: {
        const TRGB48 v[4] = {{0, 0, 0}, {65535, 32768, 0}, {1000, 50000, 20000}, {65535, 65535, 65535}};
        b->SetPixel48(x, y, v[i]);
        p.w[0] = v[i].r;
        p.w[1] = v[i].g;
        p.w[2] = v[i].b;
        p.rgb = RGB(uint8_t(v[i].r >> 8), uint8_t(v[i].g >> 8), uint8_t(v[i].b >> 8));
        break;
      }
      case pxCIELab: {
        const TCIELab v[4] = {{0, 0, 0}, {255, 0, 0}, {128, 20, -30}, {200, -40, 60}};
        b->SetPixelLab(x, y, v[i]);
        p.rgb = CIELabToRGB(v[i]);
        break;
      }
      case px32RGB: {
        const uint32_t v[4] = {0x07000000, 0x09FF8000, 0x000AC81E, 0xFFFFFFFF};
        b->SetPixel32RGB(x, y, v[i]);
        p.rgb = RGB(uint8_t(v[i] >> 16), uint8_t(v[i] >> 8), uint8_t(v[i]));
        break;
      }
      default:
        break;
    }
  }
  // An alpha channel that the conversion must copy.
  TPXBitmap* a = b->GetAlphaChannel();
  for (int i = 0; i < 4; ++i) a->SetPixel8(i % 2, i / 2, static_cast<uint8_t>(10 * (i + 1)));
  return fx;
}

std::string RawBytes(TPXBitmap* b) {
  std::string s(static_cast<size_t>(b->RawStreamSize()), '\0');
  b->SaveRawToStream(s.data(), nullptr, false);
  return s;
}

std::string Name(TPXPixelFormat f) {
  static const char* n[] = {"none", "1g", "8p", "8g", "16g", "24RGB", "32f", "CMYK", "RGB48", "CIELab", "32RGB"};
  return n[static_cast<int>(f)];
}

// Checks pixel i of Target against the conversion from `from` to Target's format: grey by the
// settings' weights, black and white by ordered dither or by the threshold of the average colour,
// 16-bit and float samples from the source's own values.
void ExpectPixel(TPXBitmap* t, TPXPixelFormat from, const TFixture& fx, int i, uint8_t bw) {
  const int x = i % 2, y = i / 2;
  const TFixturePixel& p = fx.px[i];
  const TRGB c = p.rgb;
  switch (t->PixelFormat()) {
    case px1g: {
      const bool bit = GetPixelBit(t->Scanline(y), x) != 0;
      if (bw == 0) {
        EXPECT_EQ(bit, DitherMatrix[x][y] < (Grey(c) >> 2));
      } else {
        // Threshold: the grey of the average colour (rows averaged first; 16-bit grey sources
        // scale by 255/65535).
        int sum[3] = {0, 0, 0};
        for (int row = 0; row < 2; ++row) {
          int rs[3] = {0, 0, 0};
          for (int col = 0; col < 2; ++col) {
            const TFixturePixel& q = fx.px[row * 2 + col];
            TRGB a = q.rgb;
            if (from == px16g) a = RGB(uint8_t(q.w[0] * 255u / 65535u), uint8_t(q.w[0] * 255u / 65535u), uint8_t(q.w[0] * 255u / 65535u));
            rs[0] += a.r, rs[1] += a.g, rs[2] += a.b;
          }
          for (int k = 0; k < 3; ++k) sum[k] += rs[k] / 2;
        }
        const int threshold = (sum[0] / 2 * 21 + sum[1] / 2 * 71 + sum[2] / 2 * 8) / 100;
        EXPECT_EQ(bit, Grey(c) >= threshold);
      }
      break;
    }
    case px8p:
      EXPECT_EQ(t->GetPixelRGB(x, y), c);
      break;
    case px8g:
      EXPECT_EQ(t->GetPixel8(x, y), Grey(c));
      break;
    case px16g: {
      uint16_t e = Grey16(c.r * 257u, c.g * 257u, c.b * 257u);
      if (from == pxRGB48) e = Grey16(p.w[0], p.w[1], p.w[2]);
      if (from == px32f) e = UnitWord(p.f);
      EXPECT_EQ(t->GetPixel16(x, y), e);
      break;
    }
    case px24RGB:
      EXPECT_EQ(*t->GetPixelPtr24(x, y), c);
      break;
    case px32f: {
      float e = FloatGrey(c);
      if (from == px16g) e = static_cast<float>(p.w[0] / 65535.0L);
      if (from == pxRGB48) e = static_cast<float>((p.w[0] * 0.2126L + p.w[1] * 0.7152L + p.w[2] * 0.0722L) / 65535);
      EXPECT_NEAR(t->GetPixel32f(x, y), e, 1e-6);
      break;
    }
    case pxCMYK:
      EXPECT_EQ(t->GetPixelCMYK(x, y), RgbToCmykPixel(c));
      break;
    case pxRGB48: {
      TRGB48 e{uint16_t(c.r * 257), uint16_t(c.g * 257), uint16_t(c.b * 257)};
      if (from == px16g) e = {p.w[0], p.w[0], p.w[0]};
      if (from == px32f) e = {UnitWord(p.f), UnitWord(p.f), UnitWord(p.f)};
      EXPECT_EQ(t->GetPixel48(x, y), e);
      break;
    }
    case pxCIELab:
      EXPECT_EQ(t->GetPixelLab(x, y), RGBToCIELab(c));
      break;
    case px32RGB:
      EXPECT_EQ(t->GetPixel32RGB(x, y), uint32_t(c.b | (c.g << 8) | (c.r << 16) | 0xFF000000u));
      break;
    default:
      break;
  }
}

TEST(ConvertTest, EveryOrderedPairFollowsItsRule) {
  for (int s = 1; s <= 10; ++s)
    for (int d = 1; d <= 10; ++d) {
      if (s == d) continue;
      const auto from = static_cast<TPXPixelFormat>(s), to = static_cast<TPXPixelFormat>(d);
      for (uint8_t bw : {uint8_t(1), uint8_t(0)}) {
        if (bw == 0 && to != px1g) continue;
        SCOPED_TRACE(Name(from) + " -> " + Name(to) + (to == px1g ? " bw " + std::to_string(bw) : ""));
        TFixture fx = MakeFixture(from);
        const std::string before = RawBytes(fx.bitmap.get());
        TPXBitmap target;
        ASSERT_TRUE(target.Allocate(2, 2, to));
        target.FBWConversion = bw;
        target.ConvertPixelFormat(fx.bitmap.get());
        EXPECT_EQ(fx.bitmap->PixelFormat(), from);
        EXPECT_EQ(RawBytes(fx.bitmap.get()), before) << "the source changed";
        ASSERT_EQ(target.PixelFormat(), to);
        for (int i = 0; i < 4; ++i) {
          SCOPED_TRACE("pixel " + std::to_string(i));
          ExpectPixel(&target, from, fx, i, bw);
          EXPECT_EQ(target.GetAlpha(i % 2, i / 2), 10 * (i + 1));
        }
      }
    }
}

TEST(ConvertTest, EqualFormatsNoFormatAndSizeMismatch) {
  TFixture fx = MakeFixture(px8g);
  TPXBitmap same;
  same.Allocate(2, 2, px8g);
  same.Fill(5);
  same.ConvertPixelFormat(fx.bitmap.get());
  EXPECT_EQ(same.GetPixel8(1, 0), 5);  // no pixels copied
  EXPECT_EQ(same.GetAlpha(1, 1), 40);  // the alpha is

  TPXBitmap none;  // a size but no format
  none.FWidth = 2;
  none.FHeight = 2;
  none.FAlphaChannel = TPXBitmap::CreateAlphaChannel(2, pxMemory, 2);
  none.FAlphaChannel->SetPixel8(0, 0, 3);
  TPXBitmap target;
  target.Allocate(2, 2, px24RGB);
  target.Fill(clWhite);
  target.ConvertPixelFormat(&none);
  EXPECT_EQ(target.GetPixelRGB(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(target.GetAlpha(0, 0), 3);

  TPXBitmap wrong;
  wrong.Allocate(3, 2, px24RGB);
  wrong.Fill(clBlack);
  wrong.ConvertPixelFormat(fx.bitmap.get());
  EXPECT_EQ(wrong.GetPixelRGB(1, 1), RGB(0, 0, 0));
  EXPECT_FALSE(wrong.HasAlphaChannel());
}

TEST(ConvertTest, FloatAndWideSamplesStayInRange) {
  // Out-of-range and NaN floats clamp; 48-bit white is float white.
  TPXBitmap f;
  f.Allocate(3, 1, px32f);
  f.SetPixel32f(0, 0, -0.5f);
  f.SetPixel32f(1, 0, std::numeric_limits<float>::quiet_NaN());
  f.SetPixel32f(2, 0, 1.5f);
  TPXBitmap g;
  g.Allocate(3, 1, px8g);
  g.ConvertPixelFormat(&f);
  EXPECT_EQ(g.GetPixel8(0, 0), 0);
  EXPECT_EQ(g.GetPixel8(1, 0), 0);
  EXPECT_EQ(g.GetPixel8(2, 0), 255);
  EXPECT_EQ(f.GetPixelRGB(2, 0), RGB(255, 255, 255));

  TPXBitmap w;
  w.Allocate(1, 1, pxRGB48);
  w.SetPixel48(0, 0, {65535, 65535, 65535});
  TPXBitmap wf;
  wf.Allocate(1, 1, px32f);
  wf.ConvertPixelFormat(&w);
  EXPECT_FLOAT_EQ(wf.GetPixel32f(0, 0), 1.0f);
  w.ChangePixelFormat(px16g);
  EXPECT_EQ(w.GetPixel16(0, 0), 65535);
}

TEST(ConvertTest, DisplayRangeStretch) {
  TPXBitmap g;
  g.Allocate(3, 1, px8g);
  g.SetPixel8(0, 0, 40);
  g.SetPixel8(1, 0, 75);
  g.SetPixel8(2, 0, 200);
  g.FDisplayRangeLow = 50;
  g.FDisplayRangeHigh = 100;
  g.ChangePixelFormat(px24RGB);
  EXPECT_EQ(g.GetPixelRGB(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(g.GetPixelRGB(1, 0), RGB(127, 127, 127));
  EXPECT_EQ(g.GetPixelRGB(2, 0), RGB(255, 255, 255));
  EXPECT_EQ(g.FDisplayRangeLow, 0);
  EXPECT_EQ(g.FDisplayRangeHigh, 0);
}

TEST(ConvertTest, OrderedDitherSetsHalfOfEachBlock) {
  TPXBitmap g;
  g.Allocate(16, 8, px8g);
  g.Fill(128);
  TPXBitmap mono;
  mono.Allocate(16, 8, px1g);
  mono.FBWConversion = 0;
  mono.ConvertPixelFormat(&g);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(GetPixelBit(mono.Scanline(y), x) != 0, DitherMatrix[x % 8][y] < 32) << x << "," << y;
  // Other values produce no pixels.
  mono.Fill(0);
  mono.FBWConversion = 7;
  mono.ConvertPixelFormat(&g);
  EXPECT_EQ(mono.Scanline(3)[0], 0);
}

TEST(ConvertTest, MonochromeToPaletteKeepsUsedCount) {
  TPXBitmap m;
  m.Allocate(9, 1, px1g);
  m.Fill(0);
  SetPixelBit(m.Scanline(0), 8, 1);
  m.ChangePixelFormat(px8p);
  ASSERT_EQ(m.PixelFormat(), px8p);
  ASSERT_EQ(m.FPalette.size(), 256u);
  EXPECT_EQ(m.FPalette[0], RGB(0, 0, 0));
  EXPECT_EQ(m.FPalette[1], RGB(255, 255, 255));
  EXPECT_EQ(m.FPaletteUsed, 256);
  EXPECT_EQ(m.GetPixel8(8, 0), 1);
  EXPECT_EQ(m.GetPixel8(7, 0), 0);
}

TEST(ConvertTest, ChangePixelFormatKeepsAlphaEventsAndFailsSoundly) {
  TPXBitmap b;
  b.Allocate(10, 10, px8g);
  b.Fill(99);
  b.SetAlpha(2, 3, 7);
  int changes = 0;
  b.SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  b.ChangePixelFormat(px24RGB);
  EXPECT_EQ(b.PixelFormat(), px24RGB);
  EXPECT_EQ(b.GetPixelRGB(9, 9), RGB(99, 99, 99));
  EXPECT_EQ(b.GetAlpha(2, 3), 7);
  EXPECT_GT(changes, 0);

  // Storage that cannot be had: the old picture stays and the out-of-memory error is raised.
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const uint8_t seg = s->FSegmentedMemory, fallback = s->FFileFallback;
  s->FSegmentedMemory = 0;
  s->FFileFallback = 0;
  b.FMemoryLimit = 1 << 30;
  SetMaxSingleBlockSize(500);
  EXPECT_THROW(b.ChangePixelFormat(px32RGB), EOutOfMemory);
  SetMaxSingleBlockSize(0);
  s->FSegmentedMemory = seg;
  s->FFileFallback = fallback;
  EXPECT_EQ(b.PixelFormat(), px24RGB);
  EXPECT_EQ(b.Width(), 10);
  EXPECT_EQ(b.GetPixelRGB(5, 5), RGB(99, 99, 99));
  EXPECT_EQ(b.GetAlpha(2, 3), 7);
}

TEST(ConvertTest, PlatformBitmapStorage) {
  TBitmap vcl;
  vcl.SetPixelFormat(pf24bit);
  vcl.SetSize(4, 2);
  TPXBitmap b;
  b.AttachTBitmap(&vcl, true);
  ASSERT_EQ(b.Location(), pxTBitmap);
  b.Fill(clWhite);
  b.SetPixel24(1, 1, RGB(0, 0, 0));
  b.ChangePixelFormat(px8g);  // the platform bitmap itself becomes 8-bit grey
  EXPECT_EQ(vcl.PixelFormat(), pf8bit);
  EXPECT_EQ(b.PixelFormat(), px8g);
  EXPECT_EQ(b.GetPixel8(0, 0), 255);
  EXPECT_EQ(b.GetPixel8(1, 1), 0);
  b.ChangePixelFormat(px24RGB);
  EXPECT_EQ(vcl.PixelFormat(), pf24bit);
  b.ChangePixelFormat(px1g);  // threshold by the average grey
  EXPECT_EQ(vcl.PixelFormat(), pf1bit);
  EXPECT_NE(GetPixelBit(b.Scanline(0), 0), 0);
  EXPECT_EQ(GetPixelBit(b.Scanline(1), 1), 0);
  // Pairs the platform bitmap cannot convert itself are converted into new platform storage.
  b.ChangePixelFormat(px8p);
  ASSERT_EQ(b.Location(), pxTBitmap);
  ASSERT_EQ(b.FVclBitmap->PixelFormat(), pf8bit);
  EXPECT_EQ(b.FVclBitmap->ColorTable()[1].rgbGreen, 255);
  EXPECT_EQ(b.GetPixelRGB(0, 0), RGB(255, 255, 255));
  EXPECT_EQ(b.GetPixelRGB(1, 1), RGB(0, 0, 0));
  // A format a platform bitmap cannot hold moves the picture to memory, consistently.
  b.ChangePixelFormat(pxRGB48);
  EXPECT_NE(b.Location(), pxTBitmap);
  EXPECT_EQ(b.PixelFormat(), pxRGB48);
  EXPECT_EQ(b.GetPixel48(0, 0), (TRGB48{65535, 65535, 65535}));
  EXPECT_EQ(b.GetPixel48(1, 1), (TRGB48{0, 0, 0}));
}

// Rows long enough for the vectorised kernels, with widths that leave tails.
TEST(ConvertTest, WideRowsMatchThePerPixelRules) {
  for (int w : {37, 64, 6, 5}) {
    SCOPED_TRACE(w);
    uint32_t seed = 99;
    auto next = [&] { return static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16); };
    TPXBitmap rgb;
    rgb.Allocate(w, 3, px24RGB);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w; ++x) rgb.SetPixel24(x, y, RGB(next(), next(), next()));
    TPXBitmap grey, rgb32, back, pal, fromPal, fromGrey;
    grey.Allocate(w, 3, px8g);
    grey.ConvertPixelFormat(&rgb);
    rgb32.Allocate(w, 3, px32RGB);
    rgb32.ConvertPixelFormat(&rgb);
    back.Allocate(w, 3, px24RGB);
    back.ConvertPixelFormat(&rgb32);
    fromGrey.Allocate(w, 3, px24RGB);
    fromGrey.ConvertPixelFormat(&grey);
    pal.Allocate(w, 3, px8p);
    for (int i = 0; i < 256; ++i) pal.FPalette[i] = RGB(uint8_t(i), uint8_t(i * 3), uint8_t(255 - i));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w; ++x) pal.SetPixel8(x, y, next());
    fromPal.Allocate(w, 3, px24RGB);
    fromPal.ConvertPixelFormat(&pal);
    TPXBitmap wide48, from48;
    wide48.Allocate(w, 3, pxRGB48);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w; ++x) wide48.SetPixel48(x, y, {uint16_t(next() * 251), uint16_t(next() * 253), uint16_t(next() * 255)});
    from48.Allocate(w, 3, px24RGB);
    from48.ConvertPixelFormat(&wide48);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w; ++x) {
        const TRGB c = rgb.GetPixelRGB(x, y);
        ASSERT_EQ(grey.GetPixel8(x, y), Grey(c)) << x;
        ASSERT_EQ(rgb32.GetPixel32RGB(x, y), uint32_t(c.b | (c.g << 8) | (c.r << 16) | 0xFF000000u)) << x;
        ASSERT_EQ(back.GetPixelRGB(x, y), c) << x;
        const uint8_t g = grey.GetPixel8(x, y);
        ASSERT_EQ(fromGrey.GetPixelRGB(x, y), RGB(g, g, g)) << x;
        ASSERT_EQ(fromPal.GetPixelRGB(x, y), pal.FPalette[pal.GetPixel8(x, y)]) << x;
        const TRGB48 p = wide48.GetPixel48(x, y);
        ASSERT_EQ(from48.GetPixelRGB(x, y), RGB(uint8_t(p.r >> 8), uint8_t(p.g >> 8), uint8_t(p.b >> 8))) << x;
      }
  }
  // A picture far larger than the caches (written with streaming stores).
  TPXBitmap big, big24;
  big.FLocation = pxMemory;
  ASSERT_TRUE(big.Allocate(2401, 2400, px8g));
  for (int y = 0; y < 2400; ++y)
    for (int x = 0; x < 2401; ++x) big.Scanline(y)[x] = static_cast<uint8_t>(x * 7 + y);
  big24.FLocation = pxMemory;
  ASSERT_TRUE(big24.Allocate(2401, 2400, px24RGB));
  big24.ConvertPixelFormat(&big);
  std::vector<uint8_t> expected(2401 * 3);
  for (int y = 0; y < 2400; y += 1) {
    for (int x = 0; x < 2401; ++x) expected[3 * x] = expected[3 * x + 1] = expected[3 * x + 2] = static_cast<uint8_t>(x * 7 + y);
    ASSERT_EQ(0, std::memcmp(big24.Scanline(y), expected.data(), expected.size())) << y;
  }
}

}  // namespace
