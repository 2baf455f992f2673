// TBitmap: formats, resizing, scan lines, BMP files against Pillow and ImageMagick, bad files,
// transparency, alpha and the memory operations.
#include <cstring>
#include <random>

#include "tests/gdi/GraphicsTestSupport.h"

namespace {

// Colours every format from 4 bits up keeps exactly (VGA colours with 0 and 255 channels).
constexpr TColor kExact[] = {clBlack, clWhite, clRed, clLime, clBlue, clYellow, clFuchsia, clAqua};

void Pattern(TBitmap& b) {
  FillPixels(b, [](int32_t x, int32_t y) { return kExact[(x + 3 * y) % 8]; });
}

TColor At(TBitmap& b, int32_t x, int32_t y) { return b.Canvas()->Pixels(x, y); }

std::vector<uint8_t> SaveBytes(TBitmap& b) {
  TMemoryStream ms;
  b.SaveToStream(&ms);
  return StreamBytes(ms);
}

void LoadBytes(TBitmap& b, const std::vector<uint8_t>& bytes) {
  TCustomMemoryStream ms(bytes.data(), static_cast<int64_t>(bytes.size()));
  b.LoadFromStream(&ms);
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}

}  // namespace

TEST(GraphicsBitmap, NewBitmapsAndTheirDefaults) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Handle(), nullptr);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
  EXPECT_EQ(b.HandleType(), bmDIB);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.AlphaFormat(), afIgnored);
  b.SetSize(5, 4);
  DIBSECTION ds;
  ASSERT_EQ(GetObject(b.Handle(), sizeof ds, &ds), static_cast<int32_t>(sizeof ds));
  EXPECT_EQ(ds.dsBm.bmWidth, 5);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 32);
  EXPECT_EQ(ds.dsBmih.biHeight, 4) << "bottom-up DIB section";
  // Drawing on an empty bitmap's canvas is harmless.
  TBitmap empty;
  empty.Canvas()->Rectangle(0, 0, 5, 5);
  EXPECT_TRUE(empty.Empty());
}

TEST(GraphicsBitmap, PixelFormatRoundTripsKeepTheColoursEachFormatCanHold) {
  struct Case {
    TPixelFormat format;
    int bits;
    bool exact;  // the eight colours survive
  } cases[] = {{pf1bit, 1, false}, {pf4bit, 4, true},  {pf8bit, 8, true},   {pf15bit, 16, true},
               {pf16bit, 16, true}, {pf24bit, 24, true}, {pf32bit, 32, true}, {pfDevice, 32, true}};
  for (const Case& c : cases) {
    TBitmap b(6, 5);
    b.SetPixelFormat(pf24bit);
    Pattern(b);
    b.SetPixelFormat(c.format);
    EXPECT_EQ(b.PixelFormat(), c.format);
    DIBSECTION ds;
    ASSERT_EQ(GetObject(b.Handle(), sizeof ds, &ds), static_cast<int32_t>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBitsPixel, c.bits);
    EXPECT_EQ(b.Monochrome(), c.format == pf1bit);
    b.SetPixelFormat(pf24bit);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 6; ++x) {
        const TColor want = kExact[(x + 3 * y) % 8];
        if (c.exact) {
          EXPECT_EQ(At(b, x, y), want) << static_cast<int>(c.format) << " " << x << "," << y;
        } else {
          // Monochrome keeps black and white and maps the rest to one of them.
          const TColor got = At(b, x, y);
          if (want == clBlack || want == clWhite) EXPECT_EQ(got, want);
          else EXPECT_TRUE(got == clBlack || got == clWhite);
        }
      }
  }
}

TEST(GraphicsBitmap, ResizingKeepsTheOverlapAndFillsWithTheBrush) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b;
    b.SetPixelFormat(f);
    b.SetSize(7, 5);
    FillPixels(b, [](int32_t x, int32_t y) { return (x + y) % 2 ? clWhite : clBlack; });
    b.Canvas()->Brush()->SetColor(clWhite);
    b.SetSize(11, 6);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 11; ++x) {
        const TColor want = x < 7 && y < 5 ? ((x + y) % 2 ? clWhite : clBlack) : clWhite;
        ASSERT_EQ(At(b, x, y), want) << static_cast<int>(f) << " " << x << "," << y;
      }
    b.SetHeight(3);
    b.SetWidth(3);
    EXPECT_EQ(b.Width(), 3);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 3; ++x) ASSERT_EQ(At(b, x, y), (x + y) % 2 ? clWhite : clBlack);
  }
}

TEST(GraphicsBitmap, ACanvasUsedWhileEmptyDrawsOnTheSizedBitmap) {
  TBitmap b;
  ASSERT_NE(b.Canvas()->Handle(), nullptr);
  b.SetSize(20, 10);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(TRect(0, 0, 20, 10));
  EXPECT_EQ(At(b, 19, 9), clRed);
}

TEST(GraphicsBitmap, ScanLinesAreStoredBottomUp) {
  TBitmap b(5, 4);
  b.SetPixelFormat(pf24bit);
  auto* r0 = static_cast<uint8_t*>(b.ScanLine(0));
  auto* r1 = static_cast<uint8_t*>(b.ScanLine(1));
  auto* r3 = static_cast<uint8_t*>(b.ScanLine(3));
  const int32_t rowBytes = SurfaceRowBytes(5, 24);
  EXPECT_EQ(r0 - r1, rowBytes);
  EXPECT_EQ(r0 - r3, 3 * rowBytes);
  DIBSECTION ds;
  GetObject(b.Handle(), sizeof ds, &ds);
  EXPECT_EQ(static_cast<void*>(r3), ds.dsBm.bmBits) << "the last row is lowest in memory";
  r1[3] = 0x30;  // pixel (1, 1): blue, green, red
  r1[4] = 0x20;
  r1[5] = 0x10;
  EXPECT_EQ(At(b, 1, 1), static_cast<TColor>(RGB(0x10, 0x20, 0x30)));
  EXPECT_THROW(b.ScanLine(4), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
}

TEST(GraphicsBitmap, AssignCopiesPixelsPaletteAndSettings) {
  TBitmap a(4, 3);
  a.SetPixelFormat(pf8bit);
  std::vector<TRGBQuad> gray(256);
  for (int i = 0; i < 256; ++i) gray[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  a.SetColorTable(gray);
  static_cast<uint8_t*>(a.ScanLine(2))[1] = 77;
  a.SetTransparentColor(clRed);
  a.SetTransparent(true);
  TBitmap b;
  b.Assign(&a);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.ColorTable()[77].rgbRed, 77);
  EXPECT_EQ(At(b, 1, 2), static_cast<TColor>(RGB(77, 77, 77)));
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clRed);
  EXPECT_NE(b.Handle(), a.Handle());
  static_cast<uint8_t*>(a.ScanLine(2))[1] = 5;  // a real copy
  EXPECT_EQ(At(b, 1, 2), static_cast<TColor>(RGB(77, 77, 77)));
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

TEST(GraphicsBitmap, DormantReleaseAndFreeImageKeepOrHandOverThePixels) {
  TBitmap b(3, 2);
  b.SetPixelFormat(pf24bit);
  Pattern(b);
  b.Dormant();
  EXPECT_FALSE(b.HandleAllocated());
  b.FreeImage();  // nothing is lost without a handle
  EXPECT_EQ(At(b, 2, 1), kExact[5]);
  HBITMAP h = b.ReleaseHandle();
  ASSERT_NE(h, nullptr);
  EXPECT_NE(b.Handle(), h);
  EXPECT_EQ(b.Width(), 3);
  BITMAP bm;
  ASSERT_GT(GetObject(h, sizeof bm, &bm), 0);
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_TRUE(DeleteObject(h));
  // Taking over a handle, device bitmaps included.
  HBITMAP ddb = CreateBitmap(2, 2, 1, 32, nullptr);
  b.SetHandle(ddb);
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.HandleType(), bmDDB);
  EXPECT_EQ(b.PixelFormat(), pfDevice);
}

TEST(GraphicsBitmap, TransparentColourAndMask) {
  TBitmap b(3, 2);
  b.SetPixelFormat(pf24bit);
  FillPixels(b, [](int32_t x, int32_t y) { return x == 0 && y == 1 ? clFuchsia : (x == 1 ? clFuchsia : clBlue); });
  EXPECT_EQ(b.TransparentColor(), clFuchsia) << "tmAuto: the bottom-left pixel";
  b.SetTransparentColor(clBlue);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clBlue);
  b.SetTransparentMode(tmAuto);
  EXPECT_EQ(b.TransparentColor(), clFuchsia);
  // The mask has 1 (white) where the pixel has the transparent colour.
  TestCanvas c(3, 2);
  HDC mdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mdc, b.MaskHandle());
  BitBlt(c.dc(), 0, 0, 3, 2, mdc, 0, 0, SRCCOPY);
  SelectObject(mdc, old);
  DeleteDC(mdc);
  EXPECT_EQ(c.Map(), Rows({"#.#", "..#"}));
  b.Mask(clFuchsia);
  EXPECT_TRUE(b.Monochrome());
  EXPECT_EQ(At(b, 1, 0), clWhite);
  EXPECT_EQ(At(b, 2, 0), clBlack);
}

TEST(GraphicsBitmap, TransparentDrawSkipsTheKeyColour) {
  TBitmap b(4, 2);
  b.SetPixelFormat(pf8bit);
  FillPixels(b, [](int32_t x, int32_t) { return x % 2 ? clRed : clWhite; });
  b.SetTransparent(true);
  b.SetTransparentColor(clWhite);
  TestCanvas c(10, 6);
  c.Clear(0xFF0000);
  TCanvas canvas;
  canvas.SetHandle(c.dc());
  canvas.Draw(1, 1, &b);
  canvas.StretchDraw(TRect(0, 3, 8, 5), &b);  // twice as wide
  canvas.SetHandle(nullptr);
  EXPECT_EQ(c.Map(), Rows({"bbbbbbbbbb", "bbrbrbbbbb", "bbrbrbbbbb", "bbrrbbrrbb", "bbrrbbrrbb", "bbbbbbbbbb"}));
  // Opaque drawing copies everything with the copy mode.
  b.SetTransparent(false);
  TestCanvas d(4, 2);
  TCanvas dc;
  dc.SetHandle(d.dc());
  dc.Draw(0, 0, &b);
  dc.SetHandle(nullptr);
  EXPECT_EQ(d.Map(), Rows({".r.r", ".r.r"}));
}

TEST(GraphicsBitmap, AlphaFormatsBlendAndOpacityDraws) {
  TBitmap b(2, 1);
  b.SetPixelFormat(pf32bit);
  auto* p = static_cast<uint8_t*>(b.ScanLine(0));
  const uint8_t px[8] = {0, 0, 255, 255, 0, 0, 255, 128};  // red opaque, red half transparent
  std::memcpy(p, px, 8);
  b.SetAlphaFormat(afDefined);
  TestCanvas c(2, 1);
  TCanvas canvas;
  canvas.SetHandle(c.dc());
  canvas.Draw(0, 0, &b);
  EXPECT_EQ(c.At(0, 0), 0x0000FFu);
  EXPECT_EQ(c.At(1, 0), static_cast<uint32_t>(RGB(255, 127, 127))) << "half red over white";
  b.SetAlphaFormat(afPremultiplied);  // converts the pixels
  EXPECT_EQ(static_cast<uint8_t*>(b.ScanLine(0))[6], 128);
  c.Clear(0xFFFFFF);
  canvas.Draw(0, 0, &b);
  EXPECT_EQ(c.At(1, 0), static_cast<uint32_t>(RGB(255, 127, 127)));
  // A constant opacity on an opaque bitmap.
  TBitmap o(1, 1);
  o.SetPixelFormat(pf24bit);
  o.Canvas()->SetPixels(0, 0, clBlack);
  c.Clear(0xFFFFFF);
  canvas.Draw(0, 0, &o, 128);
  EXPECT_EQ(c.At(0, 0), static_cast<uint32_t>(RGB(127, 127, 127)));
  canvas.SetHandle(nullptr);
}

// ---------------------------------------------------------------------------------------------
// BMP files

TEST(GraphicsBitmap, BmpFilesWeWriteAreReadByPillowAndBack) {
  if (!ToolExists(kPython)) GTEST_SKIP() << "no python3";
  TestTempDir dir;
  struct Case {
    TPixelFormat format;
    int tolerance;
  } cases[] = {{pf1bit, 0}, {pf4bit, 0}, {pf8bit, 0}, {pf15bit, 0}, {pf16bit, 0}, {pf24bit, 0}, {pf32bit, 0}};
  for (const Case& c : cases) {
    TBitmap b(7, 3);
    b.SetPixelFormat(pf24bit);
    if (c.format == pf1bit) FillPixels(b, [](int32_t x, int32_t y) { return (x * y) % 3 ? clWhite : clBlack; });
    else Pattern(b);
    b.SetPixelFormat(c.format);
    const std::string file = dir.File("out" + std::to_string(static_cast<int>(c.format)) + ".bmp");
    b.SaveToFile(file);
    const std::vector<std::string> px = PillowPixels(file, dir);
    ASSERT_EQ(px.size(), 1u + 21u) << static_cast<int>(c.format);
    EXPECT_EQ(px[0], "7 3");
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 7; ++x)
        EXPECT_EQ(px[1 + y * 7 + x], RgbText(static_cast<uint32_t>(At(b, x, y)))) << static_cast<int>(c.format);
    TBitmap back;
    back.LoadFromFile(file);
    EXPECT_EQ(back.PixelFormat(), c.format);
    EXPECT_EQ(SaveBytes(back), SaveBytes(b));
  }
}

TEST(GraphicsBitmap, BmpFilesOfPillowAndImageMagickAreRead) {
  if (!ToolExists(kPython) || !ToolExists(kConvert)) GTEST_SKIP() << "no python3 or ImageMagick";
  TestTempDir dir;
  // A 9x5 picture with several colours, made by Pillow.
  const std::string src = dir.File("src.png");
  const std::string make =
      "import sys\nfrom PIL import Image\nim = Image.new('RGB', (9, 5))\n"
      "cols = [(0,0,0),(255,255,255),(255,0,0),(0,255,0),(0,0,255),(255,255,0)]\n"
      "im.putdata([cols[(x * x + y) % 6] if x < 6 else cols[2] for y in range(5) for x in range(9)])\n"
      "im.save(sys.argv[1])\n"
      "im.save(sys.argv[2])\nim.convert('P').save(sys.argv[3])\nim.convert('1').save(sys.argv[4])\n"
      "im.convert('RGBA').save(sys.argv[5])\n";
  ASSERT_EQ(RunTool({kPython, "-c", make, src, dir.File("pil24.bmp"), dir.File("pil8.bmp"), dir.File("pil1.bmp"),
                     dir.File("pil32.bmp")},
                    dir.File("o.txt")),
            0);
  struct Variant {
    std::string name;
    std::vector<std::string> args;  // convert arguments between the source and the output
    TPixelFormat format;
  };
  const std::vector<Variant> variants = {
      {"pil24.bmp", {}, pf24bit},
      {"pil8.bmp", {}, pf8bit},
      {"pil1.bmp", {}, pf1bit},
      {"pil32.bmp", {}, pf32bit},
      {"im-rle8.bmp", {"-type", "Palette", "-compress", "RLE", "BMP3:"}, pf8bit},
      {"im-rle8v5.bmp", {"-type", "Palette", "-compress", "RLE"}, pf8bit},
      {"im-core.bmp", {"BMP2:"}, pf24bit},
      {"im-v5.bmp", {"-type", "TrueColor"}, pf24bit},
      {"im-4bit.bmp", {"-colors", "6", "-type", "Palette", "-depth", "4", "BMP3:"}, pf4bit},
      {"im-565.bmp", {"-define", "bmp:subtype=RGB565"}, pf16bit},
      {"im-555.bmp", {"-define", "bmp:subtype=RGB555"}, pf15bit},
      {"im-argb.bmp", {"-alpha", "on", "-type", "TrueColorAlpha"}, pf32bit},
  };
  for (const Variant& v : variants) {
    const std::string file = dir.File(v.name);
    if (v.name.rfind("im-", 0) == 0) {
      std::vector<std::string> argv = {kConvert, src};
      std::string prefix;
      for (const std::string& a : v.args) {
        if (a.back() == ':') prefix = a;
        else argv.push_back(a);
      }
      argv.push_back(prefix + file);
      ASSERT_EQ(RunTool(argv, dir.File("o.txt")), 0) << v.name;
    }
    const std::vector<std::string> px = PillowPixels(file, dir);
    ASSERT_EQ(px.size(), 46u) << v.name;
    TBitmap b;
    ASSERT_NO_THROW(b.LoadFromFile(file)) << v.name;
    EXPECT_EQ(b.Width(), 9) << v.name;
    EXPECT_EQ(b.Height(), 5) << v.name;
    EXPECT_EQ(b.PixelFormat(), v.format) << v.name;
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 9; ++x)
        ASSERT_EQ(RgbText(static_cast<uint32_t>(At(b, x, y))), px[1 + y * 9 + x]) << v.name << " " << x << "," << y;
  }
}

TEST(GraphicsBitmap, BadHeadersAreRefusedWithTheInvalidBitmapError) {
  TBitmap good(5, 3);
  good.SetPixelFormat(pf8bit);
  Pattern(good);
  const std::vector<uint8_t> base = SaveBytes(good);
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> mutate;
  };
  const std::vector<Case> cases = {
      {"magic", [](auto& v) { v[0] = 'X'; }},
      {"offset past the end", [](auto& v) { Put32(v, 10, 0x7FFFFFF0); }},
      {"offset inside the header", [](auto& v) { Put32(v, 10, 20); }},
      {"header size", [](auto& v) { Put32(v, 14, 20); }},
      {"zero width", [](auto& v) { Put32(v, 18, 0); }},
      {"negative width", [](auto& v) { Put32(v, 18, 0xFFFFFFFB); }},
      {"zero height", [](auto& v) { Put32(v, 22, 0); }},
      {"huge size", [](auto& v) { Put32(v, 18, 0x40000); Put32(v, 22, 0x40000); }},
      // Few pixels, but a side longer than any bitmap takes (run-length data need not fill it).
      {"rle side too long", [](auto& v) { Put32(v, 18, 0x02000005); Put32(v, 30, BI_RLE8); }},
      // 160 million pixels from the few bytes of run-length data there are.
      {"rle picture far beyond its data", [](auto& v) { Put32(v, 18, 0x30000); Put32(v, 22, 0x500); Put32(v, 30, BI_RLE8); }},
      {"planes", [](auto& v) { Put16(v, 26, 2); }},
      {"bit count", [](auto& v) { Put16(v, 28, 7); }},
      {"compression", [](auto& v) { Put32(v, 30, 9); }},
      {"rle8 on 24 bits", [](auto& v) { Put16(v, 28, 24); Put32(v, 30, BI_RLE8); }},
      {"rle4 on 8 bits", [](auto& v) { Put32(v, 30, BI_RLE4); }},
      {"bitfields on 8 bits", [](auto& v) { Put32(v, 30, BI_BITFIELDS); }},
      {"top-down rle", [](auto& v) { Put32(v, 22, 0xFFFFFFFD); Put32(v, 30, BI_RLE8); }},
      {"too many colours", [](auto& v) { Put32(v, 46, 300); }},
      {"truncated bits", [](auto& v) { v.pop_back(); }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = base;
    c.mutate(bytes);
    TBitmap b;
    try {
      LoadBytes(b, bytes);
      ADD_FAILURE() << c.name << " was accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Bitmap image is not valid") << c.name;
    }
  }
  // Bit fields that overlap or are not contiguous.
  TBitmap h(3, 2);
  h.SetPixelFormat(pf16bit);
  std::vector<uint8_t> v = SaveBytes(h);
  Put32(v, 54, 0xF800);
  Put32(v, 58, 0x0FE0);  // overlaps red
  TBitmap b;
  EXPECT_THROW(LoadBytes(b, v), EInvalidGraphic);
  Put32(v, 58, 0x05E0);  // a hole
  EXPECT_THROW(LoadBytes(b, v), EInvalidGraphic);
}

TEST(GraphicsBitmap, TruncatedAndCorruptedFilesNeverCrash) {
  std::vector<std::vector<uint8_t>> files;
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    TBitmap b(5, 4);
    b.SetPixelFormat(f);
    Pattern(b);
    files.push_back(SaveBytes(b));
  }
  // An RLE8 file by hand: runs, an absolute run, a delta, end of line and end of bitmap.
  std::vector<uint8_t> rle = files[2];
  const std::vector<uint8_t> codes = {3, 1, 0, 3, 2, 4, 9, 0, 0, 0, 0, 2, 1, 1, 2, 7, 0, 0, 5, 5, 0, 1};
  rle.resize(54 + 256 * 4);
  Put32(rle, 30, BI_RLE8);
  Put32(rle, 34, static_cast<uint32_t>(codes.size()));
  rle.insert(rle.end(), codes.begin(), codes.end());
  Put32(rle, 2, static_cast<uint32_t>(rle.size()));
  {
    TBitmap b;
    LoadBytes(b, rle);
    const uint8_t* bottom = static_cast<uint8_t*>(b.ScanLine(3));
    EXPECT_EQ(std::vector<uint8_t>(bottom, bottom + 5), (std::vector<uint8_t>{1, 1, 1, 2, 4}));
    const uint8_t* third = static_cast<uint8_t*>(b.ScanLine(1));
    EXPECT_EQ(std::vector<uint8_t>(third, third + 5), (std::vector<uint8_t>{0, 7, 7, 0, 0})) << "after the delta";
    EXPECT_EQ(static_cast<uint8_t*>(b.ScanLine(0))[4], 5);
  }
  files.push_back(rle);
  // RLE4: a run of alternating nibbles, end of line, an odd absolute run.
  {
    TBitmap four(5, 2);
    four.SetPixelFormat(pf4bit);
    std::vector<uint8_t> r4 = SaveBytes(four);
    r4.resize(54 + 16 * 4);
    Put32(r4, 30, BI_RLE4);
    const std::vector<uint8_t> c4 = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1};
    Put32(r4, 34, static_cast<uint32_t>(c4.size()));
    r4.insert(r4.end(), c4.begin(), c4.end());
    TBitmap b;
    LoadBytes(b, r4);
    EXPECT_EQ(b.PixelFormat(), pf4bit);
    const uint8_t* bottom = static_cast<uint8_t*>(b.ScanLine(1));
    const uint8_t* top = static_cast<uint8_t*>(b.ScanLine(0));
    EXPECT_EQ(std::vector<uint8_t>(bottom, bottom + 3), (std::vector<uint8_t>{0x12, 0x12, 0x10}));
    EXPECT_EQ(std::vector<uint8_t>(top, top + 3), (std::vector<uint8_t>{0x34, 0x50, 0x00}));
    files.push_back(r4);
  }
  int accepted = 0, refused = 0;
  for (const std::vector<uint8_t>& f : files) {
    // Every cut in the headers and colour table, then every 11th byte.
    for (size_t n = 0; n < f.size(); n += n < 160 ? 1 : 11) {
      std::vector<uint8_t> cut(f.begin(), f.begin() + static_cast<ptrdiff_t>(n));
      TBitmap b;
      try {
        if (!cut.empty()) LoadBytes(b, cut);
        ++accepted;
      } catch (const EInvalidGraphic&) {
        ++refused;
      }
    }
    std::mt19937 rng(1234);
    for (int i = 0; i < 150; ++i) {
      std::vector<uint8_t> bad = f;
      for (int k = 0; k < 3; ++k) bad[rng() % std::min<size_t>(bad.size(), 80)] = static_cast<uint8_t>(rng());
      TBitmap b;
      try {
        LoadBytes(b, bad);
        ++accepted;
      } catch (const EInvalidGraphic&) {
        ++refused;
      }
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(accepted, 0);
}

TEST(GraphicsBitmap, ResourcesAreLoadedByName) {
  UseTestResources();
  TBitmap b;
  b.LoadFromResourceName(HInstance, "PXTESTBMP");
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(At(b, 0, 0), clRed);
  EXPECT_EQ(At(b, 2, 1), static_cast<TColor>(RGB(10, 20, 30)));
  try {
    b.LoadFromResourceName(HInstance, "NOSUCHBMP");
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource NOSUCHBMP not found");
  }
}

namespace {

TEST(GraphicsBitmap, PatternBitmapsAreSharedCheckers) {
  TBitmap* p = AllocPatternBitmap(clBtnFace, clWhite);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Width(), 8);
  EXPECT_EQ(p->Height(), 8);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(At(*p, x, y), (x % 2 == y % 2) ? clWhite : static_cast<TColor>(RGB(212, 208, 200))) << x << "," << y;
  EXPECT_EQ(AllocPatternBitmap(clBtnFace, clWhite), p) << "one per colour pair";
  EXPECT_NE(AllocPatternBitmap(clWhite, clBtnFace), p);
  // The pattern brush repeats it.
  TBitmap target;
  target.SetSize(16, 3);
  target.Canvas()->Brush()->SetBitmap(p);
  target.Canvas()->FillRect(TRect(0, 0, 16, 3));
  EXPECT_EQ(At(target, 10, 0), clWhite);
  EXPECT_EQ(At(target, 11, 0), static_cast<TColor>(RGB(212, 208, 200)));
  EXPECT_EQ(At(target, 11, 1), clWhite);
}

TEST(GraphicsBitmap, MappedResourcesReplaceExactColours) {
  // A palette image compiled in: its colour table is mapped; pixels of other colours stay.
  TBitmap source;
  source.SetPixelFormat(pf8bit);
  source.SetSize(4, 1);
  const TRGBQuad table[] = {{0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {1, 0, 255, 0}};
  source.SetColorTable(table);
  auto* row = static_cast<uint8_t*>(source.ScanLine(0));
  for (uint8_t i = 0; i < 4; ++i) row[i] = i;
  TMemoryStream ms;
  source.SaveToStream(&ms);
  const std::vector<uint8_t> bytes = StreamBytes(ms);
  const TResourceEntry entries[] = {{"PXMAPPED8", "BITMAP", bytes.data(), bytes.size()}};
  const TResourceTable mine{entries, 1};
  RegisterResourceTable(&mine);
  UseTestResources();
  const TColor from[] = {clRed, clBlue, clLime};
  const TColor to[] = {clYellow, static_cast<TColor>(RGB(1, 2, 3))};  // clLime has no partner
  TBitmap mapped;
  mapped.SetHandle(CreateMappedRes(HInstance, "PXMAPPED8", from, to));
  EXPECT_EQ(At(mapped, 0, 0), clYellow);
  EXPECT_EQ(At(mapped, 1, 0), clLime);
  EXPECT_EQ(At(mapped, 2, 0), static_cast<TColor>(RGB(1, 2, 3)));
  EXPECT_EQ(At(mapped, 3, 0), static_cast<TColor>(RGB(255, 0, 1))) << "only exact colours";
  // A true-colour image has its pixels mapped.
  TBitmap rgb;
  rgb.SetHandle(CreateMappedRes(HInstance, "PXTESTBMP", from, to));
  EXPECT_EQ(At(rgb, 0, 0), clYellow);
  EXPECT_EQ(At(rgb, 2, 1), static_cast<TColor>(RGB(10, 20, 30)));
  EXPECT_EQ(MessageOf<EResNotFound>([] { CreateMappedRes(HInstance, "NOSUCHBMP", {}, {}); }),
            "Resource NOSUCHBMP not found");
  UnregisterResourceTable(&mine);
}

}  // namespace
