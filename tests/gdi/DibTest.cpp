// DIB sections, GetDIBits/SetDIBits, drawing packed DIBs and checked header parsing.
#include <cstring>

#include "tests/gdi/GdiTestSupport.h"

namespace {

// Builds a packed DIB: header, optional masks, colour table, rows as given (already in the
// DIB's order and padding).
std::vector<uint8_t> Packed(int32_t w, int32_t h, int32_t bits, DWORD comp, std::vector<uint32_t> masks,
                            std::vector<RGBQUAD> table, std::vector<uint8_t> rows) {
  BITMAPINFOHEADER hd;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biBitCount = static_cast<WORD>(bits);
  hd.biCompression = comp;
  hd.biClrUsed = static_cast<DWORD>(table.size());
  std::vector<uint8_t> out(40);
  std::memcpy(out.data(), &hd, 40);
  for (uint32_t m : masks)
    for (int32_t i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(m >> (8 * i)));
  for (const RGBQUAD& q : table) {
    out.push_back(q.rgbBlue);
    out.push_back(q.rgbGreen);
    out.push_back(q.rgbRed);
    out.push_back(0);
  }
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

const BITMAPINFO* Info(const std::vector<uint8_t>& p) { return reinterpret_cast<const BITMAPINFO*>(p.data()); }

}  // namespace

TEST(GdiDib, DIBSectionRowOrderAndBits) {
  for (int32_t h : {2, -2}) {
    BITMAPINFO bi{};
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(bm);
    ASSERT_TRUE(bits);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bm);
    SetPixel(dc, 1, 0, 0x0000FF);  // top row
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    // Bottom-up for a positive height: the top row is the last in memory.
    EXPECT_EQ(p[h > 0 ? 3 + 1 : 1], 0x00FF0000u) << h;
    DIBSECTION ds;
    ASSERT_EQ(GetObject(bm, sizeof(ds), &ds), static_cast<int32_t>(sizeof(ds)));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 12);
    EXPECT_EQ(ds.dsBmih.biHeight, h);
    EXPECT_FALSE(DeleteObject(bm));  // still selected
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bm));
  }
}

TEST(GdiDib, PackedDIBsOfEveryFormatDraw) {
  const RGBQUAD four[4] = {{255, 255, 255, 0}, {0, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}};
  struct Case {
    const char* name;
    std::vector<uint8_t> dib;
  } cases[] = {
      // 4x2 pixels: top row white, black, red, blue; bottom row all black.
      {"1", Packed(4, -2, 1, BI_RGB, {}, {{255, 255, 255, 0}, {0, 0, 255, 0}},
                   {0x20, 0, 0, 0, 0xF0, 0, 0, 0})},  // 1-bit with red as colour 1: . . r .
      {"4", Packed(4, 2, 4, BI_RGB, {}, {four[0], four[1], four[2], four[3]}, {0x11, 0x11, 0, 0, 0x01, 0x23, 0, 0})},
      {"8", Packed(4, -2, 8, BI_RGB, {}, {four[0], four[1], four[2], four[3]}, {0, 1, 2, 3, 1, 1, 1, 1})},
      {"555", Packed(4, -2, 16, BI_RGB, {}, {}, {0xFF, 0x7F, 0, 0, 0, 0x7C, 0x1F, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {"565", Packed(4, -2, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {},
                     {0xFF, 0xFF, 0, 0, 0, 0xF8, 0x1F, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {"24", Packed(4, -2, 24, BI_RGB, {}, {},
                    {255, 255, 255, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
      {"32", Packed(4, 2, 32, BI_RGB, {}, {},
                    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0})},
      // Masks the surfaces do not hold directly (red in the low bits).
      {"32 fields", Packed(4, -2, 32, BI_BITFIELDS, {0x000000FF, 0x0000FF00, 0x00FF0000}, {},
                           {255, 255, 255, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0,
                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
  };
  for (const Case& k : cases) {
    TestCanvas c(4, 2);
    const BITMAPINFO* bi = Info(k.dib);
    // The bits follow the header, the masks and the colour table.
    const size_t headerBytes =
        40 + bi->bmiHeader.biClrUsed * 4 + (bi->bmiHeader.biCompression == BI_BITFIELDS ? 12 : 0);
    const uint8_t* bits = k.dib.data() + headerBytes;
    ASSERT_EQ(PackedDIBSize(k.dib.data(), k.dib.size()), k.dib.size()) << k.name;
    EXPECT_EQ(StretchDIBits(c.dc(), 0, 0, 4, 2, 0, 0, 4, 2, bits, bi, DIB_RGB_COLORS, SRCCOPY), 2) << k.name;
    const std::string expect = std::string(k.name) == "1" ? Rows({"..r.", "rrrr"}) : Rows({".#rb", "####"});
    EXPECT_EQ(c.Map(), expect) << k.name;
    auto s = SurfaceFromPackedDIB(k.dib.data(), k.dib.size());
    ASSERT_TRUE(s) << k.name;
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(s->GetPixel(x, y), c.At(x, y)) << k.name;
  }
}

TEST(GdiDib, BadHeadersAreRefused) {
  const std::vector<uint8_t> good = Packed(2, 2, 8, BI_RGB, {}, {{0, 0, 0, 0}}, {0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(SurfaceFromPackedDIB(good.data(), good.size()));
  struct Case {
    const char* name;
    size_t offset;
    uint32_t value;
    int32_t width;  // bytes written
  } cases[] = {
      {"header size", 0, 39, 4},          {"header size larger than data", 0, 4000, 4},
      {"zero width", 4, 0, 4},            {"negative width", 4, 0xFFFFFFFF, 4},
      {"zero height", 8, 0, 4},           {"huge height", 8, 0x7FFFFFFF, 4},
      {"planes", 12, 2, 2},               {"bit count", 14, 7, 2},
      {"compression", 16, 1, 4},          {"bitfields on 8 bits", 16, BI_BITFIELDS, 4},
      {"colours used", 32, 257, 4},       {"table past the end", 32, 200, 4},
      {"pixels past the end", 4, 0x00FFFFFF, 4},
      {"minimum height", 8, 0x80000000, 4},
  };
  for (const Case& k : cases) {
    std::vector<uint8_t> bad = good;
    for (int32_t i = 0; i < k.width; ++i) bad[k.offset + i] = static_cast<uint8_t>(k.value >> (8 * i));
    EXPECT_FALSE(SurfaceFromPackedDIB(bad.data(), bad.size())) << k.name;
    EXPECT_EQ(PackedDIBSize(bad.data(), bad.size()), 0u) << k.name;
  }
  // Sizes whose byte count overflows 32 bits.
  std::vector<uint8_t> huge = good;
  const uint32_t big = 0x00FFFFFF;
  std::memcpy(huge.data() + 4, &big, 4);
  std::memcpy(huge.data() + 8, &big, 4);
  huge[14] = 32;
  EXPECT_EQ(PackedDIBSize(huge.data(), huge.size()), 0u);
  BITMAPINFO hb{};
  std::memcpy(&hb.bmiHeader, huge.data(), 40);
  hb.bmiHeader.biClrUsed = 0;
  EXPECT_FALSE(CreateDIBSection(nullptr, &hb, DIB_RGB_COLORS, nullptr, nullptr, 0));
  // Truncated anywhere.
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(SurfaceFromPackedDIB(good.data(), n)) << n;
  EXPECT_FALSE(SurfaceFromPackedDIB(nullptr, 100));
  // Bad masks: zero, overlapping, not contiguous.
  for (const std::vector<uint32_t>& m : std::vector<std::vector<uint32_t>>{
           {0, 0xFF00, 0xFF}, {0xFF00, 0xFF00, 0xFF}, {0xF0F000, 0xF00, 0xF}}) {
    auto d = Packed(1, 1, 32, BI_BITFIELDS, m, {}, {0, 0, 0, 0});
    EXPECT_FALSE(SurfaceFromPackedDIB(d.data(), d.size()));
  }
  // CreateDIBSection and SetDIBits refuse bad headers as well.
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = -5;
  bi.bmiHeader.biHeight = 5;
  bi.bmiHeader.biBitCount = 32;
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_FALSE(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  EXPECT_EQ(bits, nullptr);
  EXPECT_FALSE(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0));
}

TEST(GdiDib, PackedDIBRoundTripsEveryFormat) {
  for (int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
    TestCanvas c(5, 3, bits);
    c.surface().SetPixel(1, 0, 0);
    c.surface().SetPixel(4, 2, 0);
    if (bits >= 4) c.surface().SetPixel(2, 1, 0x0000FF);
    const std::vector<uint8_t> dib = PackedDIBFromSurface(c.surface());
    ASSERT_FALSE(dib.empty());
    EXPECT_EQ(PackedDIBSize(dib.data(), dib.size()), dib.size());
    auto s = SurfaceFromPackedDIB(dib.data(), dib.size());
    ASSERT_TRUE(s) << bits;
    EXPECT_EQ(s->Width(), 5);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(s->GetPixel(x, y), c.At(x, y)) << bits << " " << x << "," << y;
  }
}

TEST(GdiDib, GetAndSetDIBitsConvertRows) {
  TestCanvas c(3, 2);
  c.surface().SetPixel(0, 0, 0x0000FF);
  c.surface().SetPixel(2, 1, 0x00FF00);
  HBITMAP bm = CreateCompatibleBitmap(c.dc(), 3, 2);
  HDC mem = CreateCompatibleDC(c.dc());
  HGDIOBJ old = SelectObject(mem, bm);
  BitBlt(mem, 0, 0, 3, 2, c.dc(), 0, 0, SRCCOPY);
  SelectObject(mem, old);
  // Format query.
  BITMAPINFO q{};
  EXPECT_TRUE(GetDIBits(mem, bm, 0, 2, nullptr, &q, DIB_RGB_COLORS));
  EXPECT_EQ(q.bmiHeader.biWidth, 3);
  EXPECT_EQ(q.bmiHeader.biBitCount, 32);
  // 24-bit bottom-up copy.
  BITMAPINFO bi{};
  bi.bmiHeader.biWidth = 3;
  bi.bmiHeader.biHeight = 2;
  bi.bmiHeader.biBitCount = 24;
  std::vector<uint8_t> rows(24, 0xEE);
  EXPECT_EQ(GetDIBits(mem, bm, 0, 2, rows.data(), &bi, DIB_RGB_COLORS), 2);
  // Bottom row first: (2,1) green, then the top row with (0,0) red.
  EXPECT_EQ(rows[6], 0);
  EXPECT_EQ(rows[7], 255);
  EXPECT_EQ(rows[8], 0);
  EXPECT_EQ(rows[12 + 2], 255);
  EXPECT_EQ(rows[12 + 0], 0);
  // 1 bit with its colour table: the header in a BITMAPINFO with room for two entries only.
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[2];
  } monoInfo{};
  monoInfo.h.biSize = 40;
  monoInfo.h.biWidth = 3;
  monoInfo.h.biHeight = 2;
  monoInfo.h.biPlanes = 1;
  monoInfo.h.biBitCount = 1;
  std::vector<uint8_t> bitsRows(8, 0xEE);
  EXPECT_EQ(GetDIBits(mem, bm, 0, 2, bitsRows.data(), reinterpret_cast<BITMAPINFO*>(&monoInfo), DIB_RGB_COLORS), 2);
  // Back into a fresh bitmap through SetDIBits, one scan line at a time.
  HBITMAP bm2 = CreateCompatibleBitmap(c.dc(), 3, 2);
  EXPECT_EQ(SetDIBits(mem, bm2, 0, 1, rows.data(), &bi, DIB_RGB_COLORS), 1);
  EXPECT_EQ(SetDIBits(mem, bm2, 1, 1, rows.data() + 12, &bi, DIB_RGB_COLORS), 1);
  SelectObject(mem, bm2);
  EXPECT_EQ(GetPixel(mem, 0, 0), 0x0000FFu);
  EXPECT_EQ(GetPixel(mem, 2, 1), 0x00FF00u);
  EXPECT_EQ(GetPixel(mem, 1, 1), 0xFFFFFFu);
  // Raw bits, 2-byte padded rows.
  LONG n = GetBitmapBits(bm2, 0, nullptr);
  EXPECT_EQ(n, 24);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bm);
  DeleteObject(bm2);
  const uint8_t mono[4] = {0x80, 0xFF, 0x40, 0xFF};
  HBITMAP m = CreateBitmap(2, 2, 1, 1, mono);
  uint8_t back[4] = {};
  EXPECT_EQ(GetBitmapBits(m, 4, back), 4);
  EXPECT_EQ(back[0] & 0xC0, 0x80);
  EXPECT_EQ(back[2] & 0xC0, 0x40);
  DeleteObject(m);
}

TEST(GdiDib, SetDIBitsToDeviceCountsScansFromTheBottom) {
  // A bottom-up 8-bit DIB of 1x4: scans 0..3 from the bottom are colours 0..3.
  const RGBQUAD four[4] = {{255, 255, 255, 0}, {0, 0, 0, 0}, {0, 0, 255, 0}, {255, 0, 0, 0}};
  auto dib = Packed(1, 4, 8, BI_RGB, {}, {four[0], four[1], four[2], four[3]},
                    {0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
  TestCanvas c(1, 4);
  c.Clear(0x00FF00);
  // Only scans 1 and 2 are passed.
  EXPECT_EQ(SetDIBitsToDevice(c.dc(), 0, 0, 1, 4, 0, 0, 1, 2, dib.data() + 56 + 4, Info(dib), DIB_RGB_COLORS), 2);
  EXPECT_EQ(c.Map(), Rows({"g", "r", "#", "g"}));
}

TEST(GdiDib, DrawingDIBsAtTheEndsOfTheCoordinateRangeIsSafe) {
  // Positions near the ends of the 32-bit range (the fuzzer's find: the row arithmetic of
  // SetDIBitsToDevice overflowed): nothing of the picture lands on the surface.
  const RGBQUAD two[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (int32_t height : {4, -4}) {
    auto dib = Packed(1, height, 8, BI_RGB, {}, {two[0], two[1]}, {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    const void* bits = dib.data() + 48;
    TestCanvas c(3, 3);
    c.Clear(0x00FF00);
    const struct {
      int32_t xd, yd, xs, ys;
    } cases[] = {{0, 0x51030000, 0, 0x32000000}, {0, INT32_MAX, 0, INT32_MIN + 5}, {INT32_MAX, 0, INT32_MIN, INT32_MAX}};
    for (const auto& k : cases) {
      SetDIBitsToDevice(c.dc(), k.xd, k.yd, 0x7FFF, 0x7FFF, k.xs, k.ys, 0, 4, bits, Info(dib), DIB_RGB_COLORS);
      StretchDIBits(c.dc(), k.xd, k.yd, 0x7FFF, -0x7FFF, k.xs, k.ys, 2, 3, bits, Info(dib), DIB_RGB_COLORS, SRCCOPY);
    }
    EXPECT_EQ(c.Map(), Rows({"ggg", "ggg", "ggg"})) << height;
  }
}
