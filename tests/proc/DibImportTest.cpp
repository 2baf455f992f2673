// Packed DIBs into bitmaps (RGB depths, run-length data, video layouts, bad blocks) and the red
// and blue exchange routines.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "proc/pixoranproc_bits.h"
#include "proc/pixoranproc_dib.h"
#include "tests/proc/ProcOracle.h"

namespace {

void Put16(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  d[at] = static_cast<uint8_t>(v);
  d[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t FourCC(const char* s) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

// A packed DIB: header of HeaderSize bytes, then Extra (masks or table) and Rows.
std::vector<uint8_t> MakeDib(int32_t W, int32_t H, int BitCount, uint32_t Compression, const std::vector<uint8_t>& Extra,
                             const std::vector<uint8_t>& Rows, uint32_t ColorsUsed = 0, uint32_t HeaderSize = 40,
                             int32_t XPpm = 0) {
  std::vector<uint8_t> d(HeaderSize, 0);
  Put32(d, 0, HeaderSize);
  Put32(d, 4, static_cast<uint32_t>(W));
  Put32(d, 8, static_cast<uint32_t>(H));
  Put16(d, 12, 1);
  Put16(d, 14, static_cast<uint32_t>(BitCount));
  Put32(d, 16, Compression);
  Put32(d, 24, static_cast<uint32_t>(XPpm));
  Put32(d, 28, static_cast<uint32_t>(XPpm));
  Put32(d, 32, ColorsUsed);
  d.insert(d.end(), Extra.begin(), Extra.end());
  d.insert(d.end(), Rows.begin(), Rows.end());
  return d;
}

int32_t Import(const std::vector<uint8_t>& Dib, TPXBitmap& B) {
  // An exact-length heap copy, so that any read past the block is seen by the sanitizer.
  std::vector<uint8_t> exact(Dib);
  return CopyDIBToBitmap(exact.data(), &B, {}, true, exact.size());
}

TRGB Px(TPXBitmap& B, int X, int Y) { return reinterpret_cast<const TRGB*>(B.Scanline(Y))[X]; }

// --- swaps -----------------------------------------------------------------------------------

TEST(DibImportTest, SwapRoutinesExchangeRedAndBlue) {
  const std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6, 7};
  std::vector<uint8_t> dst(7, 0);
  CopySwapRB(dst.data(), src.data(), 2);
  EXPECT_EQ(dst, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 0}));
  EXPECT_EQ(src, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}));
  std::vector<uint8_t> inPlace = src;
  SwapRB(inPlace.data(), 2);
  EXPECT_EQ(inPlace, (std::vector<uint8_t>{3, 2, 1, 6, 5, 4, 7}));
  // 48 bits: words 0 and 2 of each 6-byte pixel, at an odd address too.
  std::vector<uint8_t> w48 = {9, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
  SwapRB48(w48.data() + 1, 2);
  EXPECT_EQ(w48, (std::vector<uint8_t>{9, 0x55, 0x66, 0x33, 0x44, 0x11, 0x22, 0xA5, 0xA6, 0xA3, 0xA4, 0xA1, 0xA2}));
  std::vector<TRGB> pal = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  SwapPaletteRB(pal, 2);
  EXPECT_EQ(pal, (std::vector<TRGB>{{3, 2, 1}, {6, 5, 4}, {7, 8, 9}}));
  // A count of 0 (or below) touches nothing; a count past the palette stops at its end.
  std::vector<uint8_t> same = src;
  SwapRB(same.data(), 0);
  CopySwapRB(dst.data(), src.data(), -1);
  SwapRB48(same.data(), 0);
  SwapPaletteRB(pal, 0);
  EXPECT_EQ(same, src);
  EXPECT_EQ(pal[0], (TRGB{3, 2, 1}));
  SwapPaletteRB(pal, 99);
  EXPECT_EQ(pal[2], (TRGB{9, 8, 7}));
}

// --- RGB depths ------------------------------------------------------------------------------

TEST(DibImportTest, DepthsConvertAsDescribed) {
  TPXBitmap b;
  // 1 bit, table white then black: every bit flipped, so set bits are white.
  {
    const std::vector<uint8_t> table = {255, 255, 255, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> rows = {0xA0, 0, 0, 0, 0x50, 0, 0, 0};  // bottom row first
    ASSERT_EQ(Import(MakeDib(4, 2, 1, 0, table, rows), b), 1);
    ASSERT_EQ(b.PixelFormat(), px1g);
    EXPECT_EQ(b.Scanline(0)[0] & 0xF0, 0xA0);  // the top row is the DIB's last: 0x50 flipped
    EXPECT_EQ(b.Scanline(1)[0] & 0xF0, 0x50);
    // A table black, white keeps the bits.
    const std::vector<uint8_t> table2 = {0, 0, 0, 0, 255, 255, 255, 0};
    ASSERT_EQ(Import(MakeDib(4, 2, 1, 0, table2, rows), b), 1);
    EXPECT_EQ(b.Scanline(0)[0] & 0xF0, 0x50);
  }
  // 4 bits, 5 pixels wide: all five pixels of each row, the last low nibble ignored.
  {
    std::vector<uint8_t> table(16 * 4, 0);
    for (int i = 0; i < 16; ++i) table[4 * i] = static_cast<uint8_t>(10 * i), table[4 * i + 2] = static_cast<uint8_t>(i);
    const std::vector<uint8_t> rows = {0x12, 0x34, 0x5F, 0};
    ASSERT_EQ(Import(MakeDib(5, 1, 4, 0, table, rows), b), 4);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(b, x, 0), (TRGB{static_cast<uint8_t>(10 * (x + 1)), 0, static_cast<uint8_t>(x + 1)}));
  }
  // 8 bits with a 3-entry table: indices past it read black.
  {
    const std::vector<uint8_t> table = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0};
    const std::vector<uint8_t> rows = {2, 0, 200, 1};
    ASSERT_EQ(Import(MakeDib(4, 1, 8, 0, table, rows, 3), b), 8);
    EXPECT_EQ(Px(b, 0, 0), (TRGB{7, 8, 9}));
    EXPECT_EQ(Px(b, 2, 0), (TRGB{0, 0, 0}));
    EXPECT_EQ(Px(b, 3, 0), (TRGB{4, 5, 6}));
  }
  // 16 bits: 7FFFh gives 248; 5-6-5 bit fields; masks of other widths shift on their own bits.
  {
    const std::vector<uint8_t> rows = {0xFF, 0x7F, 0x00, 0x7C};
    ASSERT_EQ(Import(MakeDib(2, 1, 16, 0, {}, rows), b), 16);
    EXPECT_EQ(Px(b, 0, 0), (TRGB{248, 248, 248}));
    EXPECT_EQ(Px(b, 1, 0), (TRGB{0, 0, 248}));
    std::vector<uint8_t> masks(12);
    Put32(masks, 0, 0xF800), Put32(masks, 4, 0x07E0), Put32(masks, 8, 0x001F);
    const std::vector<uint8_t> rows565 = {0xE0, 0x07, 0x1F, 0xF8};  // green full; red and blue
    ASSERT_EQ(Import(MakeDib(2, 1, 16, 3, masks, rows565), b), 16);
    EXPECT_EQ(Px(b, 0, 0), (TRGB{0, 252, 0}));
    EXPECT_EQ(Px(b, 1, 0), (TRGB{248, 0, 248}));
    // 4-4-4 in the low 12 bits; a 12-bit red would have needed a negative shift.
    Put32(masks, 0, 0x0F00), Put32(masks, 4, 0x00F0), Put32(masks, 8, 0x000F);
    const std::vector<uint8_t> rows444 = {0x5A, 0x0F, 0, 0};
    ASSERT_EQ(Import(MakeDib(2, 1, 16, 3, masks, rows444), b), 16);
    EXPECT_EQ(Px(b, 0, 0), (TRGB{0xA0, 0x50, 0xF0}));
  }
  // 32 bits with bit fields: bytes blue, green, red, the masks not read; the fourth byte dropped.
  {
    std::vector<uint8_t> masks(12, 0);
    const std::vector<uint8_t> rows = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(Import(MakeDib(2, 1, 32, 3, masks, rows), b), 32);
    EXPECT_EQ(Px(b, 1, 0), (TRGB{5, 6, 7}));
  }
}

// Pictures large enough to be converted two pixels at a time: every pixel equals its table
// entry (black past a shorter table), at widths that leave each possible tail.
TEST(DibImportTest, LargePalettedPicturesMatchTheirTable) {
  struct TCase { int32_t W, H; uint32_t Entries; };
  const TCase cases[] = {{1031, 260, 256}, {9, 30000, 17}, {10, 27000, 256}, {16, 17000, 200}, {1, 270000, 256}};
  std::mt19937 rng(11);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.W);
    std::vector<uint8_t> table(4 * c.Entries);
    for (auto& v : table) v = static_cast<uint8_t>(rng());
    const size_t row = (static_cast<size_t>(c.W) + 3) / 4 * 4;
    std::vector<uint8_t> rows(row * static_cast<size_t>(c.H));
    for (auto& v : rows) v = static_cast<uint8_t>(rng());
    TPXBitmap b;
    ASSERT_EQ(Import(MakeDib(c.W, c.H, 8, 0, table, rows, c.Entries), b), 8);
    for (int32_t y = 0; y < c.H; ++y) {
      const uint8_t* s = &rows[row * static_cast<size_t>(c.H - 1 - y)];
      const auto* got = reinterpret_cast<const TRGB*>(b.Scanline(y));
      for (int32_t x = 0; x < c.W; ++x) {
        const uint32_t i = s[x];
        const TRGB want = i < c.Entries ? TRGB{table[4 * i], table[4 * i + 1], table[4 * i + 2]} : TRGB{0, 0, 0};
        ASSERT_EQ(got[x], want) << x << "," << y;
      }
    }
  }
}

TEST(DibImportTest, ResolutionGoesIntoTheBitmapsParameters) {
  TPXBitmap b;
  b.SetHasParams(true);
  b.GetParams()->SetDpiX(150);
  b.GetParams()->SetDpiY(150);
  const std::vector<uint8_t> rows = {1, 2, 3, 0};
  ASSERT_EQ(Import(MakeDib(1, 1, 24, 0, {}, rows, 0, 40, 0), b), 24);
  EXPECT_EQ(b.GetParams()->DpiX, 150);
  ASSERT_EQ(Import(MakeDib(1, 1, 24, 0, {}, rows, 0, 40, 2835), b), 24);
  EXPECT_EQ(b.GetParams()->DpiX, 72);
  EXPECT_EQ(b.GetParams()->DpiY, 72);
}

// --- files of another program ----------------------------------------------------------------

struct TImageMagickCase {
  const char* Name;
  std::vector<std::string> Options;  // the output prefix last
  int BitCount;
  int Bits[3];  // red, green, blue bits compared (16-bit DIBs: the stored bits)
};

// The pixels of a random picture written by ImageMagick at each depth, imported from the bytes
// after the file header, equal Pillow's decode of the same file; the same rows stored top-down
// (height negated, rows reversed) import to the same picture.
TEST(DibImportTest, ImageMagickFilesMatchPillow) {
  if (!ToolExists(kProcConvert) || !ToolExists(kProcPython)) GTEST_SKIP() << "ImageMagick or Python missing";
  TestTempDir dir;
  TPXBitmap src;
  src.Allocate(13, 7, px24RGB);
  std::mt19937 rng(7);
  for (int y = 0; y < 7; ++y)
    for (int i = 0; i < 39; ++i) src.Scanline(y)[i] = static_cast<uint8_t>(rng());
  WritePnm(&src, dir.File("in.ppm"));
  const std::vector<TImageMagickCase> cases = {
      {"1", {"-monochrome", "BMP3:"}, 1, {8, 8, 8}},
      {"4", {"-colors", "5", "-type", "Palette", "-compress", "None", "BMP3:"}, 4, {8, 8, 8}},
      {"8", {"-colors", "100", "-type", "Palette", "-compress", "None", "BMP3:"}, 8, {8, 8, 8}},
      {"8v5", {"-colors", "200", "-type", "Palette", "-compress", "None", "BMP:"}, 8, {8, 8, 8}},
      {"rle8", {"-colors", "100", "-type", "Palette", "-compress", "RLE", "BMP3:"}, 8, {8, 8, 8}},
      {"555", {"-define", "bmp:subtype=RGB555", "BMP:"}, 16, {5, 5, 5}},
      {"565", {"-define", "bmp:subtype=RGB565", "BMP:"}, 16, {5, 6, 5}},
      {"24", {"-type", "TrueColor", "BMP3:"}, 24, {8, 8, 8}},
      {"24v5", {"-type", "TrueColor", "BMP:"}, 24, {8, 8, 8}},
      {"32", {"-alpha", "set", "-define", "bmp:format=bmp4", "BMP:"}, 32, {8, 8, 8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string bmp = dir.File(std::string(c.Name) + ".bmp");
    std::vector<std::string> argv = {kProcConvert, dir.File("in.ppm")};
    argv.insert(argv.end(), c.Options.begin(), c.Options.end() - 1);
    argv.push_back(c.Options.back() + bmp);
    ASSERT_EQ(RunTool(argv, dir.File("out.txt")), 0);
    const std::string file = ProcReadFile(bmp);
    const std::vector<uint8_t> dib(file.begin() + 14, file.end());
    const std::vector<uint8_t> pil = PillowRgb(bmp, dir.File("pil.raw"));
    ASSERT_EQ(pil.size(), 13u * 7 * 3);
    TPXBitmap b;
    ASSERT_EQ(Import(dib, b), c.BitCount);
    ASSERT_EQ(b.Width(), 13);
    ASSERT_EQ(b.Height(), 7);
    auto compare = [&](TPXBitmap& got) {
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) {
          const TRGB p = got.GetPixelRGB(x, y);
          const uint8_t* q = &pil[(y * 13 + x) * 3];
          const int mine[3] = {p.r, p.g, p.b};
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(mine[k] >> (8 - c.Bits[k]), q[k] >> (8 - c.Bits[k])) << x << "," << y << " channel " << k;
        }
    };
    compare(b);
    // The top-down copy of the uncompressed ones.
    const uint32_t compression = dib[16] | dib[17] << 8;
    if (compression == 1) continue;
    std::vector<uint8_t> td = dib;
    const uint32_t hs = dib[0] | dib[1] << 8;
    const uint32_t used = dib[32] | dib[33] << 8 | dib[34] << 16;
    const size_t prefix = hs + (compression == 3 && hs < 52 ? 12 : 0) +
                          4 * (c.BitCount <= 8 ? (used ? used : 1u << c.BitCount) : used);
    const size_t row = (13 * c.BitCount + 31) / 32 * 4;
    ASSERT_GE(dib.size(), prefix + 7 * row);
    for (int k = 0; k < 7; ++k)
      std::memcpy(&td[prefix + row * k], &dib[prefix + row * (6 - k)], row);
    Put32(td, 8, static_cast<uint32_t>(-7));
    TPXBitmap t;
    ASSERT_EQ(Import(td, t), c.BitCount);
    compare(t);
  }
}

// --- run-length data -------------------------------------------------------------------------

TEST(DibImportTest, RunLengthDataDecodes) {
  std::vector<uint8_t> table(16 * 4, 0);
  for (int i = 0; i < 16; ++i) table[4 * i + 2] = static_cast<uint8_t>(16 * i);  // red = 16 i
  TPXBitmap b;
  // RLE4, 5 x 2: bottom row "run of 5 alternating 1, 2", top row "absolute 3, 4, 5, delta 1 0,
  // run 1 of 6", then end of bitmap.
  const std::vector<uint8_t> rle4 = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 2, 1, 0, 1, 0x66, 0, 1};
  ASSERT_EQ(Import(MakeDib(5, 2, 4, 2, table, rle4), b), 4);
  const int bottom[5] = {1, 2, 1, 2, 1}, top[5] = {3, 4, 5, 0, 6};
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(Px(b, x, 1).r, 16 * bottom[x]) << x;
    EXPECT_EQ(Px(b, x, 0).r, 16 * top[x]) << x;  // the skipped pixel stays black
  }
  // RLE8 top-down: the first row decoded is row 0.
  std::vector<uint8_t> table8(256 * 4, 0);
  for (int i = 0; i < 256; ++i) table8[4 * i + 1] = static_cast<uint8_t>(i);
  const std::vector<uint8_t> rle8 = {3, 7, 0, 0, 3, 9, 0, 1};
  ASSERT_EQ(Import(MakeDib(3, -2, 8, 1, table8, rle8), b), 8);
  EXPECT_EQ(Px(b, 2, 0).g, 7);
  EXPECT_EQ(Px(b, 2, 1).g, 9);
}

// --- video layouts ---------------------------------------------------------------------------

uint8_t Clamp(double V) { return static_cast<uint8_t>(std::clamp(V, 0.0, 255.0)); }
TRGB Float601(int Y, int U, int V) {
  const double d = 1.164 * (Y - 16);
  return TRGB{Clamp(std::nearbyint(d + 2.018 * (U - 128))), Clamp(std::nearbyint(d - 0.813 * (V - 128) - 0.391 * (U - 128))),
              Clamp(std::nearbyint(d + 1.596 * (V - 128)))};
}
TRGB Int601(int Y, int U, int V) {
  const int yy = Y - 16, cb = U - 128, cr = V - 128;
  auto c = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
  return TRGB{c((298 * yy + 516 * cb + 128) / 256), c((298 * yy - 100 * cb - 208 * cr + 128) / 256),
              c((298 * yy + 409 * cr + 128) / 256)};
}

struct TYuvSample {
  int Y, U, V;
};

// Frame bytes of a code for a W x H frame, and each pixel's (Y, U, V) in bitmap order, both
// built from one random generator: the layout as its table gives it.
void BuildYuv(const std::string& Code, int W, int H, std::mt19937& Rng, std::vector<uint8_t>& Data,
              std::vector<TYuvSample>& Pixels) {
  auto r = [&] { return static_cast<int>(Rng() & 255); };
  Pixels.assign(static_cast<size_t>(W * H), {});
  Data.clear();
  auto at = [&](int x, int y) -> TYuvSample& { return Pixels[static_cast<size_t>(y * W + x)]; };
  if (Code == "YVU9" || Code == "YV12" || Code == "I420" || Code == "IYUV") {
    const int div = Code == "YVU9" ? 4 : 2, cw = W / div, ch = H / div;
    std::vector<int> Y(W * H), U(cw * ch), V(cw * ch);
    for (auto& v : Y) v = r();
    for (auto& v : U) v = r();
    for (auto& v : V) v = r();
    for (int v : Y) Data.push_back(static_cast<uint8_t>(v));
    const auto& first = Code == "I420" || Code == "IYUV" ? U : V;
    const auto& second = Code == "I420" || Code == "IYUV" ? V : U;
    for (int v : first) Data.push_back(static_cast<uint8_t>(v));
    for (int v : second) Data.push_back(static_cast<uint8_t>(v));
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const int c = std::min(y / div, ch - 1) * cw + std::min(x / div, cw - 1);
        at(x, y) = {Y[y * W + x], U[c], V[c]};
      }
    return;
  }
  const bool bottomUp = Code == "cyuv" || Code == "Y41P";
  for (int k = 0; k < H; ++k) {
    const int y = bottomUp ? H - 1 - k : k;
    for (int x = 0; x < W;) {
      auto set = [&](int dx, int Yv, int U, int V) {
        if (x + dx < W) at(x + dx, y) = {Yv, U, V};
      };
      auto push = [&](std::initializer_list<int> v) {
        for (int b : v) Data.push_back(static_cast<uint8_t>(b));
      };
      if (Code == "IYU1") {
        const int u = r(), y0 = r(), y1 = r(), v = r(), y2 = r(), y3 = r();
        push({u, y0, y1, v, y2, y3});
        set(0, y0, u, v), set(1, y1, u, v), set(2, y2, u, v), set(3, y3, u, v);
        x += 4;
      } else if (Code == "IYU2") {
        const int u = r(), y0 = r(), v = r();
        push({u, y0, v});
        set(0, y0, u, v);
        x += 1;
      } else if (Code == "UYVY" || Code == "UYNV" || Code == "cyuv") {
        const int u = r(), y0 = r(), v = r(), y1 = r();
        push({u, y0, v, y1});
        set(0, y0, u, v), set(1, y1, u, v);
        x += 2;
      } else if (Code == "YUY2" || Code == "YUNV") {
        const int y0 = r(), u = r(), y1 = r(), v = r();
        push({y0, u, y1, v});
        set(0, y0, u, v), set(1, y1, u, v);
        x += 2;
      } else if (Code == "YVYU") {
        const int y0 = r(), v = r(), y1 = r(), u = r();
        push({y0, v, y1, u});
        set(0, y0, u, v), set(1, y1, u, v);
        x += 2;
      } else if (Code == "Y41P") {
        int b[12];
        for (int& v : b) v = r();
        for (int v : b) Data.push_back(static_cast<uint8_t>(v));
        const int ys[8] = {b[1], b[3], b[5], b[7], b[8], b[9], b[10], b[11]};
        for (int j = 0; j < 8; ++j) set(j, ys[j], j < 4 ? b[0] : b[4], j < 4 ? b[2] : b[6]);
        x += 8;
      } else if (Code == "Y211") {
        const int y0 = r(), u = r(), y2 = r(), v = r();
        push({y0, u, y2, v});
        set(0, y0, u, v), set(1, y0, u, v), set(2, y2, u, v), set(3, y2, u, v);
        x += 4;
      } else if (Code == "CLJR") {
        const uint32_t word = static_cast<uint32_t>(Rng());
        push({static_cast<int>(word & 255), static_cast<int>((word >> 8) & 255), static_cast<int>((word >> 16) & 255),
              static_cast<int>(word >> 24)});
        const int u = static_cast<int>((word >> 6) & 63) << 2, v = static_cast<int>(word & 63) << 2;
        for (int j = 0; j < 4; ++j) set(j, static_cast<int>((word >> (12 + 5 * j)) & 31) << 3, u, v);
        x += 4;
      }
    }
  }
}

TEST(DibImportTest, VideoLayoutsFollowTheirFormulas) {
  const std::vector<std::string> codes = {"IYU1", "IYU2", "UYVY", "UYNV", "cyuv", "YUY2", "YUNV", "YVYU",
                                          "Y41P", "Y211", "CLJR", "YVU9", "YV12", "I420", "IYUV"};
  std::mt19937 rng(3);
  for (const std::string& code : codes)
    for (int w : {8, 9, 13}) {
      SCOPED_TRACE(code + " width " + std::to_string(w));
      const int h = code == "YVU9" ? 9 : 5;
      std::vector<uint8_t> data;
      std::vector<TYuvSample> pixels;
      BuildYuv(code, w, h, rng, data, pixels);
      TPXBitmap b;
      ASSERT_EQ(Import(MakeDib(w, h, 16, FourCC(code.c_str()), {}, data), b), 16);
      const bool integer = code == "YUY2" || code == "YUNV";
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const TYuvSample& s = pixels[static_cast<size_t>(y * w + x)];
          ASSERT_EQ(Px(b, x, y), integer ? Int601(s.Y, s.U, s.V) : Float601(s.Y, s.U, s.V)) << x << "," << y;
        }
      // One byte short of the frame is refused.
      data.pop_back();
      EXPECT_EQ(Import(MakeDib(w, h, 16, FourCC(code.c_str()), {}, data), b), 0);
      EXPECT_TRUE(b.IsEmpty());
    }
  // Studio black and white.
  TPXBitmap b;
  ASSERT_EQ(Import(MakeDib(2, 1, 16, FourCC("YUY2"), {}, {16, 128, 235, 128}), b), 16);
  EXPECT_EQ(Px(b, 0, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(Px(b, 1, 0), (TRGB{255, 255, 255}));
}

// --- into a DIB section ----------------------------------------------------------------------

TEST(DibImportTest, DibSectionReceivesThePixels) {
  // 8 bits with colours used 0: the rows start 1024 bytes after the header.
  std::vector<uint8_t> table(1024, 0);
  for (int i = 0; i < 256; ++i) table[4 * i + 2] = static_cast<uint8_t>(i);
  TPXDibbitmap d;
  EXPECT_EQ(CopyDIBToDibBitmap(MakeDib(2, 1, 8, 0, table, {5, 6, 0, 0}).data(), &d, {}, true, 40 + 1024 + 4), 8);
  ASSERT_EQ(d.GetBitCount(), 24);
  const auto* row = static_cast<const uint8_t*>(d.GetScanline(0));
  EXPECT_EQ(row[2], 5);
  EXPECT_EQ(row[5], 6);
  // 16-bit bit fields: the rows 12 bytes after the header.
  std::vector<uint8_t> masks(12);
  Put32(masks, 0, 0xF800), Put32(masks, 4, 0x07E0), Put32(masks, 8, 0x001F);
  auto dib16 = MakeDib(1, 1, 16, 3, masks, {0x1F, 0x00, 0, 0});
  EXPECT_EQ(CopyDIBToDibBitmap(dib16.data(), &d, {}, true, dib16.size()), 16);
  EXPECT_EQ(static_cast<const uint8_t*>(d.GetScanline(0))[0], 248);
  // 1 bit: a 1-bit section holding the bits.
  auto dib1 = MakeDib(9, 1, 1, 0, {0, 0, 0, 0, 255, 255, 255, 0}, {0xC3, 0x80, 0, 0});
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, dib1.size());
  std::memcpy(GlobalLock(block), dib1.data(), dib1.size());
  GlobalUnlock(block);
  EXPECT_EQ(CopyDIBToDibBitmap(block, &d, {}, false, 0), 1);
  GlobalFree(block);
  ASSERT_EQ(d.GetBitCount(), 1);
  EXPECT_EQ(static_cast<const uint8_t*>(d.GetScanline(0))[0], 0xC3);
  EXPECT_EQ(static_cast<const uint8_t*>(d.GetScanline(0))[1] & 0x80, 0x80);
  // A refused block leaves a new section unallocated.
  TPXDibbitmap fresh;
  auto bad = MakeDib(2, 1, 24, 0, {}, {1, 2, 3});
  EXPECT_EQ(CopyDIBToDibBitmap(bad.data(), &fresh, {}, true, bad.size()), 0);
  EXPECT_EQ(fresh.FBits, nullptr);
}

// --- bad blocks ------------------------------------------------------------------------------

TEST(DibImportTest, BadBlocksAreRefused) {
  const std::vector<uint8_t> row24 = {1, 2, 3, 4, 5, 6, 0, 0};
  std::vector<uint8_t> masks(12, 0);
  std::vector<uint8_t> table8(256 * 4, 0);
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Dib;
  };
  auto with = [](std::vector<uint8_t> d, size_t at, uint32_t v) {
    Put32(d, at, v);
    return d;
  };
  auto good = MakeDib(2, 1, 24, 0, {}, row24);
  std::vector<uint8_t> cut = good;
  cut.pop_back();
  // A run past the row's padded width (4 pixels for 2).
  std::vector<uint8_t> rle8Long = MakeDib(2, 1, 8, 1, table8, {5, 1, 0, 1});
  std::vector<uint8_t> rle8Down = MakeDib(2, 1, 8, 1, table8, {0, 2, 0, 1});
  std::vector<uint8_t> rle8More = MakeDib(2, 1, 8, 1, table8, {2, 1, 0, 0, 2, 1, 0, 0});
  std::vector<uint8_t> rle8Short = MakeDib(2, 2, 8, 1, table8, {2, 1, 0, 0});
  const std::vector<TCase> cases = {
      {"header below 40", with(good, 0, 39)},
      {"header past the block", with(good, 0, static_cast<uint32_t>(good.size() + 1))},
      {"width 0", with(good, 4, 0)},
      {"negative width", with(good, 4, static_cast<uint32_t>(-2))},
      {"height 0", with(good, 8, 0)},
      {"height -2^31", with(good, 8, 0x80000000u)},
      {"bit count 2", MakeDib(2, 1, 2, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0})},
      {"bit count 0", MakeDib(2, 1, 0, 0, {}, row24)},
      {"colours used past 2^bits", MakeDib(2, 1, 1, 0, std::vector<uint8_t>(12, 0), {0, 0, 0, 0}, 3)},
      {"table past the block", MakeDib(2, 1, 8, 0, std::vector<uint8_t>(1023, 0), {})},
      {"masks past the block", MakeDib(1, 1, 16, 3, std::vector<uint8_t>(11, 0), {})},
      {"rows past the block", cut},
      {"huge height", with(good, 8, 0x40000000u)},
      {"RLE run past the row", rle8Long},
      {"RLE move past the picture", rle8Down},
      {"RLE rows past the picture", rle8More},
      {"RLE data short of the picture", rle8Short},
      {"24 bits run-length", MakeDib(2, 1, 24, 1, {}, row24)},
      {"unknown code", MakeDib(2, 1, 16, FourCC("ABCD"), {}, row24)},
      {"planar without chroma", MakeDib(1, 4, 12, FourCC("I420"), {}, std::vector<uint8_t>(16, 0))},
      {"short block", std::vector<uint8_t>(good.begin(), good.begin() + 39)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TPXBitmap b;
    b.Allocate(3, 3, px24RGB);
    EXPECT_EQ(Import(c.Dib, b), 0);
    EXPECT_TRUE(b.IsEmpty());
    TPXDibbitmap d;
    std::vector<uint8_t> exact(c.Dib);
    EXPECT_EQ(CopyDIBToDibBitmap(exact.data(), &d, {}, true, exact.size()), 0);
    EXPECT_EQ(d.FBits, nullptr);
  }
  // The good block itself converts; nil or a bad handle is refused.
  TPXBitmap b;
  EXPECT_EQ(Import(good, b), 24);
  EXPECT_EQ(CopyDIBToBitmap(nullptr, &b, {}, true, 0), 0);
  EXPECT_EQ(CopyDIBToBitmap(reinterpret_cast<void*>(0x1234), &b, {}, false, 0), 0);
  // Rows given apart from the header are checked against their own span.
  const std::vector<uint8_t> header(good.begin(), good.begin() + 40);
  EXPECT_EQ(CopyDIBToBitmap(header.data(), &b, std::span<const uint8_t>(row24), true, header.size()), 24);
  EXPECT_EQ(Px(b, 1, 0), (TRGB{4, 5, 6}));
  EXPECT_EQ(CopyDIBToBitmap(header.data(), &b, std::span<const uint8_t>(row24.data(), 7), true, header.size()), 0);
}

}  // namespace
