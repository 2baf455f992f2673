#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/pxcolorspace.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"

namespace {

TRGB RGB(uint8_t r, uint8_t g, uint8_t b) { return TRGB{b, g, r}; }

std::unique_ptr<TPXBitmap> Make(int w, int h, TPXPixelFormat f) {
  auto b = std::make_unique<TPXBitmap>();
  EXPECT_TRUE(b->Allocate(w, h, f));
  return b;
}

TEST(AccessTest, FullFlagOfAlphaChannel) {
  TPXBitmap pic;
  pic.Allocate(4, 3, px24RGB);
  TPXBitmap* a = pic.GetAlphaChannel();
  a->Fill(0);
  EXPECT_FALSE(a->FFull);
  a->Fill(255);
  EXPECT_TRUE(a->FFull);
  a->SetPixel8(1, 1, 254);
  EXPECT_FALSE(a->FFull);
  a->SetPixel8(1, 1, 255);
  EXPECT_FALSE(a->FFull);  // single pixels never set it
  // A rectangle fill on an alpha channel rescans.
  a->FillRect(0, 0, 3, 2, 255);
  EXPECT_TRUE(a->FFull);
  a->FillRect(2, 2, 2, 2, 9);
  EXPECT_FALSE(a->FFull);
  // GetAlpha on a bitmap without alpha creates an opaque one.
  TPXBitmap plain;
  plain.Allocate(2, 2, px8g);
  EXPECT_EQ(plain.GetAlpha(1, 1), 255);
  EXPECT_TRUE(plain.HasAlphaChannel());
  plain.SetAlpha(0, 1, 3);
  EXPECT_EQ(plain.GetAlphaChannel()->GetPixel8(0, 1), 3);
}

// Fill(value) then GetPixelRGB at a corner, per format.
struct FillCase {
  TPXPixelFormat format;
  double value;
  TRGB expected;
  bool full;
};

TEST(AccessTest, FillEveryFormat) {
  const TRGB red = RGB(255, 0, 0);
  const FillCase cases[] = {
      {px1g, 3, RGB(255, 255, 255), true},
      {px1g, 0, RGB(0, 0, 0), false},
      {px8g, 200, RGB(200, 200, 200), false},
      {px8g, 255 + 256, RGB(255, 255, 255), false},  // the low byte, but not "full"
      {px16g, 0x1234, RGB(0x12, 0x12, 0x12), false},
      {px16g, 65535, RGB(255, 255, 255), true},
      {px24RGB, clRed, red, false},
      {px24RGB, clBtnFace, RGB(212, 208, 200), false},
      {px24RGB, clWhite, RGB(255, 255, 255), true},
      {px32f, 0.5, RGB(127, 127, 127), false},
      {px32f, 1.0, RGB(255, 255, 255), true},
      {pxCMYK, clRed, CmykToRgbPixel(RgbToCmykPixel(red)), false},
      {pxRGB48, clRed, red, false},
      {pxCIELab, clWhite, CIELabToRGB(RGBToCIELab(RGB(255, 255, 255))), true},
      {px32RGB, clRed, red, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.format)) + " fill " + std::to_string(c.value));
    auto b = Make(11, 3, c.format);
    b->Fill(c.value);
    EXPECT_EQ(b->GetPixelRGB(10, 2), c.expected);
    EXPECT_EQ(b->GetPixelRGB(0, 0), c.expected);
    EXPECT_EQ(b->FFull != 0, c.full);
  }
  auto w48 = Make(1, 1, pxRGB48);
  w48->Fill(clRed);
  EXPECT_EQ(w48->GetPixel48(0, 0), (TRGB48{65535, 0, 0}));
  auto c32 = Make(1, 1, px32RGB);
  c32->Fill(clRed);
  EXPECT_EQ(c32->GetPixel32RGB(0, 0), 0x00FF0000u);  // top byte of the colour value
  auto f = Make(1, 1, px32f);
  f->FillRect(0, 0, 0, 0, 0.5);
  EXPECT_EQ(f->GetPixel32f(0, 0), 0.5f);
  // Floats outside 0..1 read as clamped colours.
  f->SetPixel32f(0, 0, 1.2f);
  EXPECT_EQ(f->GetPixelRGB(0, 0), RGB(255, 255, 255));
}

TEST(AccessTest, FillRectClipsAndUsesTheLowByte) {
  auto m = Make(20, 2, px1g);
  m->Fill(1);
  m->FillRect(3, 0, 100, 0, 256);  // low byte 0 clears, X2 past the width stops at the edge
  for (int x = 0; x < 20; ++x) EXPECT_EQ(GetPixelBit(m->Scanline(0), x) != 0, x < 3) << x;
  EXPECT_EQ(m->Scanline(1)[2] & 0xF0, 0xF0);
  m->FillRect(-5, -5, -1, -1, 0);  // empty after clipping: nothing
  EXPECT_NE(GetPixelBit(m->Scanline(0), 0), 0);

  auto c32 = Make(3, 1, px32RGB);
  c32->FillRGBA(0x11223344);
  c32->FillRect(1, 0, 1, 0, clBlue);
  EXPECT_EQ(c32->GetPixel32RGB(1, 0), 0x110000FFu);  // blue; the fourth byte stays
  EXPECT_EQ(c32->GetPixel32RGB(2, 0), 0x11223344u);

  auto rgb = Make(3, 3, px24RGB);
  rgb->Fill(clBlack);
  rgb->FillRect(1, 1, 1, 1, clLime);
  EXPECT_EQ(rgb->GetPixelRGB(1, 1), RGB(0, 255, 0));
  EXPECT_EQ(rgb->GetPixelRGB(2, 1), RGB(0, 0, 0));
}

TEST(AccessTest, FillRGBA) {
  auto b = Make(5, 4, px24RGB);
  b->FillRGBA(CreateRGBA(10, 20, 30, 128));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(b->GetPixelRGB(x, y), RGB(10, 20, 30));
      EXPECT_EQ(b->GetAlpha(x, y), 128);
    }
  EXPECT_FALSE(b->GetAlphaChannel()->FFull);
  auto c = Make(2, 1, px32RGB);
  c->FillRGBA(CreateRGBA(255, 255, 255, 7));
  EXPECT_EQ(c->GetPixel32RGB(1, 0), 0x07FFFFFFu);
  EXPECT_TRUE(c->FFull);
  EXPECT_EQ(c->GetAlpha(1, 0), 7);
}

TEST(AccessTest, SetPixelRGBEveryFormat) {
  const uint32_t orange = 0xFF8000;  // red 255, green 128, blue 0
  const TRGB o = RGB(255, 128, 0);
  const uint8_t grey = (255 * 21 + 128 * 71 + 0 * 8) / 100;
  // px32f keeps grey / 255 as a float and reads it back truncated.
  const auto fgrey = static_cast<uint8_t>(static_cast<float>(grey / 255.0L) * 255.0);
  struct Case {
    TPXPixelFormat f;
    TRGB expected;
  } cases[] = {
      {px1g, RGB(255, 255, 255)},
      {px8g, RGB(grey, grey, grey)},
      {px16g, RGB(grey, grey, grey)},
      {px24RGB, o},
      {px32f, RGB(fgrey, fgrey, fgrey)},
      {pxCMYK, CmykToRgbPixel(RgbToCmykPixel(o))},
      {pxRGB48, o},
      {pxCIELab, CIELabToRGB(RGBToCIELab(o))},
      {px32RGB, o},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.f));
    auto b = Make(3, 2, c.f);
    b->Fill(0);
    b->SetPixelRGB(2, 1, orange);
    EXPECT_EQ(b->GetPixelRGB(2, 1), c.expected);
    EXPECT_EQ(b->GetPixelRGB(1, 1), (c.f == pxCIELab || c.f == pxCMYK) ? b->GetPixelRGB(0, 0) : RGB(0, 0, 0));
  }
  auto m = Make(9, 1, px1g);
  m->Fill(0);
  m->SetPixelRGB(8, 0, 0x010000);  // any non-zero channel sets the bit
  EXPECT_EQ(m->Scanline(0)[1], 0x80);
  auto p = Make(2, 1, px8p);
  p->SetPixel8(0, 0, 4);
  p->SetPixelRGB(0, 0, 0xFFFFFF);
  EXPECT_EQ(p->GetPixel8(0, 0), 4);
  auto c32 = Make(1, 1, px32RGB);
  c32->SetPixelRGB(0, 0, 0x123456);
  EXPECT_EQ(c32->GetPixel32RGB(0, 0), 0xFF123456u);
}

TEST(AccessTest, Palette) {
  auto p = Make(2, 2, px8p);
  ASSERT_EQ(p->GetPaletteLength(), 256);
  int changes = 0;
  p->SetOnChange(TNotifyEvent([&](TObject*) { ++changes; }));
  p->SetPaletteColor(5, RGB(1, 2, 3));
  p->SetPaletteColor(256, RGB(9, 9, 9));  // out of range: ignored
  p->SetPaletteColor(-1, RGB(9, 9, 9));
  EXPECT_EQ(changes, 1);
  TRGB c = RGB(7, 7, 7);
  p->GetPaletteColor(300, c);
  EXPECT_EQ(c, RGB(7, 7, 7));
  p->GetPaletteColor(5, c);
  EXPECT_EQ(c, RGB(1, 2, 3));
  p->SetPixel8(1, 1, 5);
  EXPECT_EQ(p->GetPixelRGB(1, 1), RGB(1, 2, 3));
  p->SetPaletteUsed(1000);  // stored without checks
  EXPECT_EQ(p->GetPaletteUsed(), 1000);

  TBitmap vcl;
  vcl.SetPixelFormat(pf8bit);
  vcl.SetSize(2, 2);
  std::vector<TRGBQuad> table(256);
  table[2].rgbRed = 200;
  table[2].rgbBlue = 50;
  vcl.SetColorTable(table);
  TPXBitmap q;
  q.LoadPaletteFromTBitmap(&vcl, 3);
  ASSERT_EQ(q.GetPaletteLength(), 256);
  EXPECT_EQ(q.FPalette[2], RGB(200, 0, 50));
}

}  // namespace
