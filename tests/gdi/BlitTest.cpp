// Blits: raster operations, stretching and mirroring, monochrome rules, format conversion,
// transparent and alpha blending.
#include "platform/gdi/Graphics.h"
#include "tests/gdi/GdiTestSupport.h"

namespace {

// A memory DC holding a new bitmap; the bitmap is deleted with it.
class MemDC {
 public:
  explicit MemDC(HBITMAP bm) : bm_(bm) {
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bm_);
  }
  ~MemDC() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bm_);
  }
  MemDC(const MemDC&) = delete;
  MemDC& operator=(const MemDC&) = delete;
  HDC dc() const { return dc_; }

 private:
  HBITMAP bm_;
  HDC dc_;
  HGDIOBJ old_;
};

uint32_t Rop3(uint8_t t, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (int32_t bit = 0; bit < 32; ++bit) {
    const int32_t i = ((p >> bit) & 1) * 4 + ((s >> bit) & 1) * 2 + ((d >> bit) & 1);
    r |= uint32_t((t >> i) & 1) << bit;
  }
  return r;
}

}  // namespace

TEST(GdiBlit, NamedRopsMatchTheirTruthTables) {
  const DWORD rops[] = {SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, SRCERASE, NOTSRCCOPY, NOTSRCERASE, MERGECOPY,
                        MERGEPAINT, PATCOPY, PATPAINT, PATINVERT, DSTINVERT, BLACKNESS, WHITENESS,
                        0x00B8074A /*PSDPxax*/, 0x00E20746 /*DSPDxax*/, 0x0096 << 16, 0x0001 << 16};
  const uint32_t S = 0x00F0CC33, D = 0x00AA5A0F, P = 0x00996633;
  for (DWORD rop : rops) {
    TestCanvas src(2, 1), dst(2, 1);
    reinterpret_cast<uint32_t*>(src.surface().Row(0))[0] = S;
    reinterpret_cast<uint32_t*>(dst.surface().Row(0))[1] = D;
    HBRUSH b = CreateSolidBrush(RGB(0x99, 0x66, 0x33));
    HGDIOBJ old = SelectObject(dst.dc(), b);
    EXPECT_TRUE(BitBlt(dst.dc(), 1, 0, 1, 1, src.dc(), 0, 0, rop));
    EXPECT_EQ(dst.Raw(1, 0), Rop3(static_cast<uint8_t>(rop >> 16), P, S, D)) << std::hex << rop;
    EXPECT_EQ(dst.At(0, 0), 0xFFFFFFu);
    SelectObject(dst.dc(), old);
    DeleteObject(b);
  }
}

TEST(GdiBlit, StretchMapsPixelCentresAndNegativeExtentsMirror) {
  TestCanvas src(4, 1);
  const COLORREF cols[4] = {0, 0x0000FF, 0x00FF00, 0xFF0000};
  for (int32_t x = 0; x < 4; ++x) src.surface().SetPixel(x, 0, cols[x]);
  struct Case {
    int32_t x, w, sx, sw;
    const char* row;
  } cases[] = {
      {0, 8, 0, 4, "##rrggbb"},     // double
      {0, 3, 0, 4, "#gb....."},     // shrink: pixel d takes floor((2d + 1) * 4 / 6)
      {0, 4, 3, -4, "bgr#...."},    // mirrored source covers 0..3
      {7, -4, 0, 4, "....bgr#"},    // mirrored destination covers 4..7
      {7, -4, 3, -4, "....#rgb"},   // both negative: no mirror
      {1, 6, 1, 2, ".rrrggg."},
  };
  for (const Case& k : cases) {
    TestCanvas dst(8, 1);
    SetStretchBltMode(dst.dc(), COLORONCOLOR);
    EXPECT_TRUE(StretchBlt(dst.dc(), k.x, 0, k.w, 1, src.dc(), k.sx, 0, k.sw, 1, SRCCOPY));
    EXPECT_EQ(dst.Map(), Rows({k.row})) << k.x << " " << k.w << " " << k.sx << " " << k.sw;
  }
}

TEST(GdiBlit, BlackOnWhiteShrinkKeepsBlackAndHalftoneAverages) {
  TestCanvas src(4, 2);
  src.surface().SetPixel(1, 0, 0);
  TestCanvas a(2, 1), b(2, 1), h(2, 1);
  EXPECT_EQ(GetStretchBltMode(a.dc()), BLACKONWHITE);
  StretchBlt(a.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 2, SRCCOPY);
  EXPECT_EQ(a.Map(), Rows({"#."}));
  SetStretchBltMode(b.dc(), COLORONCOLOR);
  StretchBlt(b.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 2, SRCCOPY);
  EXPECT_EQ(b.Map(), Rows({".."}));
  SetStretchBltMode(h.dc(), HALFTONE);
  StretchBlt(h.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 4, 2, SRCCOPY);
  EXPECT_EQ(h.At(0, 0), RGB(191, 191, 191));  // one black pixel in four
  EXPECT_EQ(h.At(1, 0), 0xFFFFFFu);
  // Enlarging with HALFTONE interpolates between neighbours.
  TestCanvas two(2, 1), wide(4, 1);
  two.surface().SetPixel(0, 0, 0);
  SetStretchBltMode(wide.dc(), HALFTONE);
  StretchBlt(wide.dc(), 0, 0, 4, 1, two.dc(), 0, 0, 2, 1, SRCCOPY);
  EXPECT_EQ(wide.At(0, 0), 0u);
  EXPECT_EQ(wide.At(1, 0), RGB(64, 64, 64));
  EXPECT_EQ(wide.At(2, 0), RGB(191, 191, 191));
  EXPECT_EQ(wide.At(3, 0), 0xFFFFFFu);
}

TEST(GdiBlit, MonochromeRules) {
  // mono -> colour: 0 bits take the destination's text colour, 1 bits its background colour.
  const uint8_t bits[2] = {0x50, 0};  // 0101 0000
  MemDC mono(CreateBitmap(4, 1, 1, 1, bits));
  TestCanvas dst(4, 1);
  SetTextColor(dst.dc(), 0x0000FF);
  SetBkColor(dst.dc(), 0x00FF00);
  BitBlt(dst.dc(), 0, 0, 4, 1, mono.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(dst.Map(), Rows({"rgrg"}));
  // colour -> mono: pixels equal to the source DC's background colour become 1 (white).
  TestCanvas src(4, 1);
  src.surface().SetPixel(0, 0, 0x0000FF);
  src.surface().SetPixel(2, 0, 0x0000FF);
  SetBkColor(src.dc(), 0x0000FF);
  MemDC m2(CreateBitmap(4, 1, 1, 1, nullptr));
  BitBlt(m2.dc(), 0, 0, 4, 1, src.dc(), 0, 0, SRCCOPY);
  TestCanvas check(4, 1);
  SetTextColor(check.dc(), 0);
  SetBkColor(check.dc(), 0xFFFFFF);
  BitBlt(check.dc(), 0, 0, 4, 1, m2.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(check.Map(), Rows({".#.#"}));
  // A compatible bitmap of a fresh memory DC is monochrome.
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP cb = CreateCompatibleBitmap(mem, 5, 5);
  BITMAP bm;
  ASSERT_EQ(GetObject(cb, sizeof(bm), &bm), static_cast<int32_t>(sizeof(bm)));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  DeleteObject(cb);
  DeleteDC(mem);
  HBITMAP c32 = CreateCompatibleBitmap(dst.dc(), 5, 5);
  GetObject(c32, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  DeleteObject(c32);
}

TEST(GdiBlit, ConvertsBetweenAllFormats) {
  const COLORREF colours[4] = {0xFFFFFF, 0x000000, 0x0000FF, 0xFF0000};
  for (int32_t sb : {4, 8, 15, 16, 24, 32}) {
    for (int32_t db : {4, 8, 15, 16, 24, 32}) {
      TestCanvas src(4, 2, sb), dst(4, 2, db);
      for (int32_t x = 0; x < 4; ++x) src.surface().SetPixel(x, 1, colours[x]);
      EXPECT_TRUE(BitBlt(dst.dc(), 0, 0, 4, 2, src.dc(), 0, 0, SRCCOPY));
      for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst.At(x, 1), colours[x]) << sb << "->" << db << " x " << x;
    }
  }
  // 32 -> 32 keeps the alpha byte; 24 -> 32 stores zero.
  TestCanvas a(1, 1, 32), b(1, 1, 32), c(1, 1, 24);
  reinterpret_cast<uint32_t*>(a.surface().Row(0))[0] = 0x80112233;
  BitBlt(b.dc(), 0, 0, 1, 1, a.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(b.Raw(0, 0), 0x80112233u);
  BitBlt(c.dc(), 0, 0, 1, 1, a.dc(), 0, 0, SRCCOPY);
  BitBlt(b.dc(), 0, 0, 1, 1, c.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(b.Raw(0, 0), 0x00112233u);
}

TEST(GdiBlit, OverlappingBlitOnOneSurfaceAndClipping) {
  TestCanvas c(6, 1);
  c.surface().SetPixel(0, 0, 0);
  c.surface().SetPixel(1, 0, 0x0000FF);
  BitBlt(c.dc(), 1, 0, 5, 1, c.dc(), 0, 0, SRCCOPY);
  EXPECT_EQ(c.Map(), Rows({"##r..."}));
  // Source pixels outside the source surface leave the destination alone.
  TestCanvas src(2, 1), dst(5, 1);
  src.Clear(0);
  BitBlt(dst.dc(), 0, 0, 5, 1, src.dc(), -1, 0, SRCCOPY);
  EXPECT_EQ(dst.Map(), Rows({".##.."}));
  HRGN clip = CreateRectRgn(2, 0, 3, 1);
  SelectClipRgn(dst.dc(), clip);
  dst.Clear(0xFFFFFF);
  BitBlt(dst.dc(), 0, 0, 5, 1, src.dc(), -1, 0, SRCCOPY);
  EXPECT_EQ(dst.Map(), Rows({"..#.."}));
  DeleteObject(clip);
}

TEST(GdiBlit, TransparentBltSkipsTheKeyColour) {
  TestCanvas src(3, 1), dst(6, 1);
  src.surface().SetPixel(0, 0, 0x00FF00);
  src.surface().SetPixel(1, 0, 0x0000FF);
  src.surface().SetPixel(2, 0, 0x00FF00);
  dst.Clear(0);
  EXPECT_TRUE(TransparentBlt(dst.dc(), 0, 0, 6, 1, src.dc(), 0, 0, 3, 1, 0x00FF00));
  EXPECT_EQ(dst.Map(), Rows({"##rr##"}));
  EXPECT_FALSE(TransparentBlt(dst.dc(), 0, 0, -6, 1, src.dc(), 0, 0, 3, 1, 0));
}

TEST(GdiBlit, AlphaBlendConstantAndPerPixel) {
  TestCanvas src(2, 1), dst(2, 1);
  reinterpret_cast<uint32_t*>(src.surface().Row(0))[0] = 0x80800000;  // premultiplied half red
  reinterpret_cast<uint32_t*>(src.surface().Row(0))[1] = 0x00000000;  // fully transparent
  dst.Clear(0xFF0000);  // blue
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_TRUE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 0, 0, 2, 1, bf));
  // dst = src + dst * (255 - 128) / 255, rounded.
  EXPECT_EQ(dst.Raw(0, 0), 0x8080007Fu);
  EXPECT_EQ(dst.Raw(1, 0), 0x000000FFu);
  // Constant alpha alone: dst = src * a / 255 + dst * (255 - a) / 255.
  TestCanvas s2(1, 1), d2(1, 1);
  s2.Clear(0x0000FF);
  d2.Clear(0xFF0000);
  BLENDFUNCTION c{AC_SRC_OVER, 0, 64, 0};
  AlphaBlend(d2.dc(), 0, 0, 1, 1, s2.dc(), 0, 0, 1, 1, c);
  EXPECT_EQ(d2.At(0, 0), RGB(64, 0, 191));
  // The source must lie inside its surface; mirroring is refused.
  EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 2, 1, src.dc(), 1, 0, 2, 1, bf));
  EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, -2, 1, src.dc(), 0, 0, 2, 1, bf));
  TestCanvas s24(1, 1, 24);
  EXPECT_FALSE(AlphaBlend(dst.dc(), 0, 0, 1, 1, s24.dc(), 0, 0, 1, 1, bf));
}

TEST(GdiBlit, MaskBltChoosesTheRopPerMaskBit) {
  TestCanvas src(4, 1), dst(4, 1);
  src.Clear(0x0000FF);
  const uint8_t bits[2] = {0xA0, 0};  // 1010
  HBITMAP mask = CreateBitmap(4, 1, 1, 1, bits);
  EXPECT_TRUE(MaskBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, BLACKNESS)));
  EXPECT_EQ(dst.Map(), Rows({"r#r#"}));
  EXPECT_FALSE(MaskBlt(dst.dc(), 0, 0, 4, 1, src.dc(), 0, 0, mask, 1, 0, SRCCOPY));  // mask too small
  DeleteObject(mask);
}

TEST(GdiBlit, BadInputIsRefused) {
  TestCanvas c(4, 4);
  EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, c.dc(), 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(c.dc(), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
  EXPECT_FALSE(BitBlt(c.dc(), 0, 0, 1, 1, reinterpret_cast<HDC>(uintptr_t(0x1234567)), 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(c.dc(), 0, 0, 1, 1, nullptr, 0, 0, PATCOPY));  // no source needed
  EXPECT_FALSE(StretchBlt(c.dc(), 0, 0, INT32_MAX, 4, c.dc(), 0, 0, 1, 1, SRCCOPY));
  EXPECT_TRUE(StretchBlt(c.dc(), INT32_MAX - 1, INT32_MIN, 1000, 1000, c.dc(), INT32_MIN, INT32_MAX, 5, 5, SRCCOPY));
  TSurface empty(0, 0, 32);
  HDC e = CreateSurfaceDC(&empty);
  EXPECT_TRUE(BitBlt(e, 0, 0, 4, 4, c.dc(), 0, 0, SRCCOPY));
  EXPECT_TRUE(BitBlt(c.dc(), 0, 0, 4, 4, e, 0, 0, SRCCOPY));
  EXPECT_TRUE(FillRect(e, TRect(0, 0, 5, 5), static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
  DeleteDC(e);
}

// A same-size 24-bit to 32-bit copy (a back buffer onto a window) takes its own row path: every
// width across its 4- and 8-pixel steps and their tails, a source offset, and a clip region
// with a hole must give each pixel its source colour with a zero top byte, and leave the rest.
TEST(GdiBlit, TwentyFourToThirtyTwoBitRowsWidenExactly) {
  constexpr int32_t kSw = 40, kSh = 3;
  TestCanvas src(kSw, kSh, 24);
  auto colour = [](int32_t x, int32_t y) { return static_cast<COLORREF>((x * 0x9E3779B1u + y * 0x85EBCA77u) >> 8) & 0xFFFFFF; };
  for (int32_t y = 0; y < kSh; ++y)
    for (int32_t x = 0; x < kSw; ++x) src.surface().SetPixel(x, y, colour(x, y));
  for (int32_t w = 1; w <= 33; ++w) {
    for (bool clipped : {false, true}) {
      TestCanvas dst(w + 4, kSh, 32);
      dst.Clear(0xFFFFFF);
      // The clip: everything but a 2-pixel hole at columns 4..5 of the middle row.
      HRGN clip = CreateRectRgn(0, 0, w + 4, kSh);
      HRGN hole = CreateRectRgn(4, 1, 6, 2);
      CombineRgn(clip, clip, hole, RGN_DIFF);
      if (clipped) SelectClipRgn(dst.dc(), clip);
      DeleteObject(hole);
      DeleteObject(clip);
      ASSERT_TRUE(BitBlt(dst.dc(), 2, 0, w, kSh, src.dc(), 3, 0, SRCCOPY));
      for (int32_t y = 0; y < kSh; ++y) {
        for (int32_t x = 0; x < w + 4; ++x) {
          const bool inHole = clipped && y == 1 && (x == 4 || x == 5);
          const bool copied = x >= 2 && x < w + 2 && !inHole;
          if (copied) {
            const COLORREF c = colour(x + 1, y);
            const uint32_t want = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
            ASSERT_EQ(dst.Raw(x, y), want) << "w " << w << " x " << x << " y " << y << " clip " << clipped;
          } else {
            ASSERT_EQ(dst.At(x, y), 0xFFFFFFu) << "w " << w << " x " << x << " y " << y << " clip " << clipped;
          }
        }
      }
    }
  }
}

TEST(GdiBlit, MonochromeSourcesAtEveryBitOffsetAndWidth) {
  // A 40-pixel monochrome row pattern drawn in colour from each bit offset of a byte and at widths
  // past two bytes, as a copy and AND-ed onto a filled destination: each pixel follows its own bit.
  constexpr int32_t kW = 40, kH = 2;
  uint8_t bits[kH][6] = {};  // rows padded to 16 bits
  auto bit = [](int32_t x, int32_t y) { return ((x * 7 + y * 3) % 5 + (x % 3 == 0)) % 2 == 1; };
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      if (bit(x, y)) bits[y][x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  MemDC mono(CreateBitmap(kW, kH, 1, 1, bits));
  for (DWORD rop : {SRCCOPY, SRCAND}) {
    for (int32_t sx = 0; sx < 9; ++sx) {
      for (int32_t w = 1; w <= 25; w += 3) {
        TestCanvas dst(w + 2, kH);
        dst.Clear(0x00FFFF);
        SetTextColor(dst.dc(), 0x0000FF);  // 0 bits
        SetBkColor(dst.dc(), 0x00FF00);    // 1 bits
        ASSERT_TRUE(BitBlt(dst.dc(), 1, 0, w, kH, mono.dc(), sx, 0, rop));
        for (int32_t y = 0; y < kH; ++y) {
          for (int32_t x = 0; x < w + 2; ++x) {
            COLORREF want = 0x00FFFF;
            if (x >= 1 && x <= w) {
              const COLORREF src = bit(sx + x - 1, y) ? 0x00FF00 : 0x0000FF;
              want = rop == SRCCOPY ? src : (src & 0x00FFFF);
            }
            ASSERT_EQ(dst.At(x, y), want) << "rop " << rop << " sx " << sx << " w " << w << " x " << x << " y " << y;
          }
        }
      }
    }
  }
}

TEST(GdiBlit, MaskedDrawEqualsItsTwoBlits) {
  // A masked picture drawn by TransparentStretchBltMasked must give, byte for byte (alpha bytes
  // of the destination included), what the mask AND-ed and the picture XOR-ed in two blits give:
  // at offsets, mask bit offsets, through a complex clip, under a mapped DC and onto 24 bits.
  constexpr int32_t kW = 27, kH = 9;
  auto value = [](int32_t x, int32_t y, uint32_t salt) { return (x * 0x9E3779B1u + y * 0x85EBCA77u) ^ salt; };
  TestCanvas picture(kW, kH, 32);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) reinterpret_cast<uint32_t*>(picture.surface().Row(y))[x] = value(x, y, 0x5A5A5A5A);
  uint8_t bits[kH + 3][6] = {};  // rows padded to 16 bits
  for (int32_t y = 0; y < kH + 3; ++y)
    for (int32_t x = 0; x < 48; ++x)
      if ((value(x, y, 7) >> 13) & 1) bits[y][x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  MemDC mask(CreateBitmap(48, kH + 3, 1, 1, bits));
  struct Case {
    int32_t bits, x, y, w, h, mx, my;
    bool clip, mapped;
  };
  const Case cases[] = {
      {32, 0, 0, kW, kH, 0, 0, false, false}, {32, 3, 2, kW, kH, 5, 1, false, false},
      {32, 1, 1, 20, 7, 13, 3, true, false},  {32, -4, -2, kW, kH, 9, 0, true, false},
      {32, 2, 1, kW, kH, 0, 0, false, true},  {24, 2, 1, kW, kH, 3, 2, true, false},
      {32, 0, 0, kW, kH, 40, 0, false, false},  // the mask runs out: drawn by the two blits
  };
  for (const Case& c : cases) {
    TestCanvas one(kW + 6, kH + 4, c.bits), two(kW + 6, kH + 4, c.bits);
    for (TestCanvas* t : {&one, &two}) {
      const int32_t rowBytes = SurfaceRowBytes(t->surface().Width(), c.bits);
      for (int32_t y = 0; y < t->surface().Height(); ++y)
        for (int32_t i = 0; i < rowBytes; ++i) t->surface().Row(y)[i] = static_cast<uint8_t>(value(i, y, 99) >> 7);
      if (c.clip) {
        HRGN clip = CreateRectRgn(1, 0, kW + 5, kH + 4);
        HRGN hole = CreateRectRgn(4, 2, 9, 5);
        CombineRgn(clip, clip, hole, RGN_DIFF);
        SelectClipRgn(t->dc(), clip);
        DeleteObject(hole);
        DeleteObject(clip);
      }
      if (c.mapped) SetViewportOrgEx(t->dc(), 1, 2, nullptr);
      SetTextColor(t->dc(), 0x123456);
      SetBkColor(t->dc(), 0x654321);
    }
    ASSERT_TRUE(TransparentStretchBltMasked(one.dc(), c.x, c.y, c.w, c.h, picture.dc(), c.w, c.h, mask.dc(), c.mx, c.my));
    SetTextColor(two.dc(), 0);
    SetBkColor(two.dc(), 0xFFFFFF);
    StretchBlt(two.dc(), c.x, c.y, c.w, c.h, mask.dc(), c.mx, c.my, c.w, c.h, SRCAND);
    StretchBlt(two.dc(), c.x, c.y, c.w, c.h, picture.dc(), 0, 0, c.w, c.h, SRCINVERT);
    SetTextColor(two.dc(), 0x123456);
    SetBkColor(two.dc(), 0x654321);
    EXPECT_EQ(one.Bytes(), two.Bytes()) << "case at " << c.x << "," << c.y << " mask " << c.mx << "," << c.my;
    EXPECT_EQ(GetTextColor(one.dc()), 0x123456u);
    EXPECT_EQ(GetBkColor(one.dc()), 0x654321u);
  }
}
