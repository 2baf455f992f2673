// The any-map, wireless bitmap, raw pixel and metafile signature routines: exact bytes both ways,
// the mended faults (maxval 0, requests without a layout, hostile sizes, short data) and netpbm
// and Pillow as oracles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/bmpfilt.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace smallcodec;

namespace {

struct Decoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  TIOParams Params;
  bool Aborted = false;
};

void DecodePxm(const std::string& Data, Decoded& D, bool PreviewOnly = false) {
  auto s = StreamOf(Data);
  Progressed run;
  DecodePxmStream(s.get(), D.Bitmap.get(), &D.Params, run.Progress, PreviewOnly);
  D.Aborted = run.Aborted;
}

std::string EncodePxm(TPXBitmap* B, TIOParams& P, bool* Aborted = nullptr) {
  TMemoryStream s;
  Progressed run;
  EncodePxmStream(&s, B, &P, run.Progress);
  if (Aborted) *Aborted = run.Aborted;
  return BytesOf(s);
}

std::unique_ptr<TPXBitmap> Rgb(int W, int H) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 40 + y), uint8_t(y * 70), uint8_t(200 - x * 20)});
  return b;
}

TEST(PxmRead, PlainAndRawSamplesScaleByMaxval) {
  Decoded p2;
  DecodePxm("P2\n# made by hand\n3 1\n15\n0 7 15\n", p2);
  ASSERT_FALSE(p2.Aborted);
  EXPECT_EQ(RgbOf(p2.Bitmap.get()), (std::vector<int>{0, 0, 0, 119, 119, 119, 255, 255, 255}));
  EXPECT_EQ(p2.Params.PXM_Comments, std::vector<std::string>{"made by hand"});
  EXPECT_EQ(p2.Params.BitsPerSample, 8);
  EXPECT_EQ(p2.Params.SamplesPerPixel, 1);

  Decoded p5;
  DecodePxm(std::string("P5 2 1 100\n") + char(50) + char(100), p5);
  ASSERT_FALSE(p5.Aborted);
  EXPECT_EQ(RgbOf(p5.Bitmap.get()), (std::vector<int>{127, 127, 127, 255, 255, 255}));

  // P4 of width 10: two bytes per row, the file's clear bits set.
  Decoded p4;
  DecodePxm(std::string("P4 10 2\n") + char(0x80) + char(0x40) + char(0xFF) + char(0x00), p4);
  ASSERT_FALSE(p4.Aborted);
  ASSERT_EQ(p4.Bitmap->PixelFormat(), px1g);
  EXPECT_EQ(p4.Bitmap->Scanline(0)[0], 0x7F);
  EXPECT_EQ(p4.Bitmap->Scanline(0)[1] & 0xC0, 0x80);
  EXPECT_EQ(p4.Bitmap->Scanline(1)[0], 0x00);
  EXPECT_EQ(p4.Bitmap->Scanline(1)[1] & 0xC0, 0xC0);
}

TEST(PxmRead, SixteenBitSamplesKeepTheirDepthWhenNative) {
  const std::string p5 = std::string("P5 2 1 65535\n") + char(0x12) + char(0x34) + char(0xFF) + char(0xFF);
  Decoded plain;
  DecodePxm(p5, plain);
  EXPECT_EQ(plain.Bitmap->PixelFormat(), px24RGB);
  EXPECT_EQ(plain.Params.BitsPerSample, 16);
  EXPECT_EQ(RgbOf(plain.Bitmap.get())[0], 0x1234 * 255 / 65535);
  Decoded native;
  native.Params.NativePixelFormat = true;
  DecodePxm(p5, native);
  ASSERT_EQ(native.Bitmap->PixelFormat(), px16g);
  EXPECT_EQ(native.Bitmap->GetPixel16(0, 0), 0x1234);
  EXPECT_EQ(native.Bitmap->GetPixel16(1, 0), 0xFFFF);

  Decoded p6;
  p6.Params.NativePixelFormat = true;
  DecodePxm(std::string("P6 1 1 1000\n") + std::string{0, 0, 0x01, char(0xF4), 0x03, char(0xE8)}, p6);
  ASSERT_EQ(p6.Bitmap->PixelFormat(), pxRGB48);
  const TRGB48 c = p6.Bitmap->GetPixel48(0, 0);
  EXPECT_EQ(c.r, 0);
  EXPECT_EQ(c.g, 500 * 65535 / 1000);
  EXPECT_EQ(c.b, 65535);
}

TEST(PxmRead, BadHeadersSetTheAbortFlag) {
  for (const char* bad :
       {"P2 3 1 0\n1 2 3", "P5 0 4 255\n", "P7 2 2 255\n", "P5 2 2 70000\n", "P5 99999999999 1 255\n", "P3 2"}) {
    Decoded d;
    DecodePxm(bad, d);
    EXPECT_TRUE(d.Aborted) << bad;
    EXPECT_TRUE(d.Bitmap->IsEmpty()) << bad;
  }
  // A header that claims far more than the stream holds allocates nothing.
  Decoded huge;
  DecodePxm("P6 60000 60000 255\nabc", huge);
  EXPECT_TRUE(huge.Aborted);
  EXPECT_TRUE(huge.Bitmap->IsEmpty());
  // A small short file keeps the rows it has.
  Decoded shortFile;
  DecodePxm(std::string("P5 2 2 255\n") + char(10) + char(20) + char(30), shortFile);
  EXPECT_TRUE(shortFile.Aborted);
  EXPECT_EQ(RgbOf(shortFile.Bitmap.get())[3], 20);
}

TEST(PxmRead, PreviewAndSignatureLeaveThingsAlone) {
  Decoded d;
  DecodePxm("P3\n#c\n4 3\n255\n", d, true);
  EXPECT_FALSE(d.Aborted);
  EXPECT_TRUE(d.Bitmap->IsEmpty());
  EXPECT_EQ(d.Params.Width, 4);
  EXPECT_EQ(d.Params.Height, 3);
  EXPECT_EQ(d.Params.SamplesPerPixel, 3);
  EXPECT_EQ(d.Params.DpiX, 300);

  auto s = StreamOf("xxP5 # note\n 7 9 255\n");
  s->Seek(2, soBeginning);
  EXPECT_TRUE(HasPxmSignature(s.get()));
  EXPECT_EQ(s->Position(), 2);
  for (const char* no : {"P5 0 9 255", "P8 1 1", "PX", "P1 a 3"})
    EXPECT_FALSE(HasPxmSignature(StreamOf(no).get())) << no;
}

TEST(PxmWrite, HeadersAndSamplesAreExact) {
  auto grey = Rgb(3, 2);
  TIOParams p;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.PXM_Comments = {"x"};
  const std::string out = EncodePxm(grey.get(), p);
  EXPECT_EQ(out.substr(0, 16), "P5 \n# x\n3 2 255\n");
  EXPECT_EQ(out.size(), 16u + 6);

  auto rgb = Rgb(2, 1);
  TIOParams p16;
  p16.BitsPerSample = 16;
  p16.SamplesPerPixel = 3;
  const std::string wide = EncodePxm(rgb.get(), p16);
  ASSERT_EQ(wide.substr(0, 13), "P6 2 1 65535\n");
  const TRGB c = rgb->GetPixelRGB(1, 0);
  const auto sample = [&](int i) { return uint8_t(wide[13 + 2 * i]) << 8 | uint8_t(wide[14 + 2 * i]); };
  EXPECT_EQ(sample(3), c.r * 257);
  EXPECT_EQ(sample(4), c.g * 257);
  EXPECT_EQ(sample(5), c.b * 257);
}

TEST(PxmWrite, OtherLayoutsAreWrittenFromACopyOrRefused) {
  // A 16-bit grey picture asked for 8 bits and one sample: P5 from a copy, the picture untouched.
  auto g16 = TPXBitmap::CreateAllocated(2, 1, px16g);
  g16->SetPixel16(0, 0, 0xFFFF);
  g16->SetPixel16(1, 0, 0);
  TIOParams p;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  bool aborted = false;
  const std::string out = EncodePxm(g16.get(), p, &aborted);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(out, std::string("P5 2 1 255\n") + char(255) + char(0));
  EXPECT_EQ(g16->PixelFormat(), px16g);
  // No layout fits a 16-bit grey picture at 16 bits and one sample.
  p.BitsPerSample = 16;
  EXPECT_EQ(EncodePxm(g16.get(), p, &aborted), "");
  EXPECT_TRUE(aborted);
}

TEST(Wbmp, HeaderBytesBothWays) {
  Decoded d;
  std::string file{0, 0, char(0x81), 0x48, 0x0A};
  file += std::string(25 * 10, char(0xF0));
  auto s = StreamOf(file);
  Progressed run;
  DecodeWbmpStream(s.get(), d.Bitmap.get(), &d.Params, run.Progress, false);
  ASSERT_FALSE(run.Aborted);
  EXPECT_EQ(d.Bitmap->Width(), 200);
  EXPECT_EQ(d.Bitmap->Height(), 10);
  EXPECT_EQ(d.Bitmap->Scanline(9)[24], 0xF0);  // 1 is white as in px1g

  auto b = TPXBitmap::CreateAllocated(200, 10, px1g);
  TMemoryStream out;
  Progressed wr;
  EncodeWbmpStream(&out, b.get(), nullptr, wr.Progress);
  EXPECT_EQ(BytesOf(out).substr(0, 5), file.substr(0, 5));
  EXPECT_EQ(out.Size(), 5 + 250);

  auto big = Rgb(600, 300);
  TMemoryStream fitted;
  EncodeWbmpStream(&fitted, big.get(), nullptr, wr.Progress);
  auto back = std::make_unique<TPXBitmap>();
  TIOParams bp;
  fitted.Seek(0, soBeginning);
  DecodeWbmpStream(&fitted, back.get(), &bp, wr.Progress, false);
  EXPECT_EQ(back->Width(), 255);
  EXPECT_EQ(back->Height(), 127);
  EXPECT_EQ(big->PixelFormat(), px24RGB);
}

TEST(Wbmp, WideFilesReadAtFullSizeAndBadOnesAbort) {
  // 300 x 2 from another writer: width 0x82 0x2C.
  std::string file{0, 0, char(0x82), 0x2C, 0x02};
  file += std::string(38 * 2, char(0xAA));
  Decoded d;
  auto s = StreamOf(file);
  Progressed run;
  DecodeWbmpStream(s.get(), d.Bitmap.get(), &d.Params, run.Progress, false);
  EXPECT_FALSE(run.Aborted);
  EXPECT_EQ(d.Bitmap->Width(), 300);
  for (const std::string& bad : {std::string{1, 0, 2, 2}, std::string{0, 0, 0, 2}, std::string{0, 0, 2},
                                 std::string{0, 0, char(0x8F), char(0xFF), char(0xFF), 0x7F, 0x7F}}) {
    Decoded b;
    auto bs = StreamOf(bad);
    Progressed r;
    DecodeWbmpStream(bs.get(), b.Bitmap.get(), &b.Params, r.Progress, false);
    EXPECT_TRUE(r.Aborted);
    EXPECT_TRUE(b.Bitmap->IsEmpty());
  }
}

TEST(RawPixels, TextBinaryAndPlanarLayouts) {
  TIOParams p;
  p.BMPRAW_DataFormat = 1;
  auto g = TPXBitmap::CreateAllocated(3, 1, px8g);
  Progressed run;
  DecodeRawPixelStream(StreamOf("10, 20; 30").get(), g.get(), &p, run.Progress);
  EXPECT_FALSE(run.Aborted);
  EXPECT_EQ(g->Scanline(0)[0], 10);
  EXPECT_EQ(g->Scanline(0)[1], 20);
  EXPECT_EQ(g->Scanline(0)[2], 30);

  TIOParams hex;
  hex.BMPRAW_DataFormat = 2;
  auto f = TPXBitmap::CreateAllocated(1, 1, px32f);
  EXPECT_EQ(MessageOf<EPXException>([&] { DecodeRawPixelStream(StreamOf("FF").get(), f.get(), &hex, run.Progress); }),
            "Format unsupported");

  // Interleaved R, G, B with 32-bit row alignment and a header, against the planar twin.
  const int w = 3, h = 2;
  std::string inter(4, 'H'), planar(4, 'H');
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) inter += char(x * 30 + y * 7 + c * 100);
    inter += std::string(3, 0);  // 9 bytes padded to 12
  }
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) planar += char(x * 30 + y * 7 + c * 100);
      planar += char(0);  // 3 bytes padded to 4
    }
  TIOParams rp;
  rp.BMPRAW_HeaderSize = 4;
  rp.BMPRAW_RowAlign = 32;
  auto a = TPXBitmap::CreateAllocated(w, h, px24RGB);
  auto b = TPXBitmap::CreateAllocated(w, h, px24RGB);
  Progressed r1, r2;
  DecodeRawPixelStream(StreamOf(inter).get(), a.get(), &rp, r1.Progress);
  rp.BMPRAW_Planar = true;
  DecodeRawPixelStream(StreamOf(planar).get(), b.get(), &rp, r2.Progress);
  EXPECT_FALSE(r1.Aborted);
  EXPECT_FALSE(r2.Aborted);
  EXPECT_EQ(RgbOf(a.get()), RgbOf(b.get()));
  EXPECT_EQ(a->GetPixelRGB(2, 1).r, 67);
  EXPECT_EQ(a->GetPixelRGB(2, 1).b, (67 + 200) & 0xFF);
  EXPECT_EQ(r2.Values.front(), 0);
  EXPECT_EQ(r2.Values.back(), 100);

  // An empty bitmap or a short stream sets the flag.
  auto empty = std::make_unique<TPXBitmap>();
  Progressed r3;
  DecodeRawPixelStream(StreamOf("123").get(), empty.get(), &rp, r3.Progress);
  EXPECT_TRUE(r3.Aborted);
  TIOParams plain;
  Progressed r4;
  DecodeRawPixelStream(StreamOf("12").get(), a.get(), &plain, r4.Progress);
  EXPECT_TRUE(r4.Aborted);
}

TEST(Metafiles, SignaturesRecogniseTheirOwnOnly) {
  std::string header18{1, 0, 9, 0, 0, 3, 0x10, 0, 0, 0, 1, 0, 0x20, 0, 0, 0, 0, 0};
  std::string placeable{char(0xD7), char(0xCD), char(0xC6), char(0x9A)};
  placeable += std::string(18, 0) + header18 + std::string(60, 0);
  std::string emf{1, 0, 0, 0};
  emf += std::string(36, 0) + " EMF" + std::string(60, 0);
  auto w = StreamOf("ab" + placeable);
  w->Seek(2, soBeginning);
  EXPECT_TRUE(HasWmfSignature(w.get()));
  EXPECT_EQ(w->Position(), 2);
  EXPECT_TRUE(HasWmfSignature(StreamOf(header18 + std::string(10, 0)).get()));
  EXPECT_FALSE(HasEmfSignature(StreamOf(placeable).get()));
  EXPECT_TRUE(HasEmfSignature(StreamOf(emf).get()));
  EXPECT_FALSE(HasWmfSignature(StreamOf(emf).get()));
  EXPECT_FALSE(HasEmfSignature(StreamOf(" EMF").get()));
}

// ---------------------------------------------------------------------------------------------
// Oracles

TEST(PxmOracle, NetpbmFilesReadAsNetpbmReadsThem) {
  if (!HaveOracles()) GTEST_SKIP() << "netpbm, imagemagick or python3-pil missing";
  TestTempDir dir;
  const std::string src = dir.File("src.ppm");
  ASSERT_TRUE(MakeSourcePpm(src, 13, 7));
  const std::string grey = dir.File("grey.pgm"), bits = dir.File("bits.pbm");
  ASSERT_EQ(RunTool({"/usr/bin/ppmtopgm", src}, grey), 0);
  ASSERT_EQ(RunTool({"/usr/bin/pgmtopbm", grey}, bits), 0);
  struct Case {
    std::string Name;
    std::vector<std::string> Argv;  // output to Name
  };
  const std::vector<Case> cases = {
      {"raw8.ppm", {"/usr/bin/pamtopnm", src}},
      {"plain8.ppm", {"/usr/bin/pamtopnm", "-plain", src}},
      {"raw16.ppm", {"/usr/bin/pamdepth", "65535", src}},
      {"raw100.ppm", {"/usr/bin/pamdepth", "100", src}},
      {"raw8.pgm", {"/usr/bin/pamtopnm", grey}},
      {"plain8.pgm", {"/usr/bin/pamtopnm", "-plain", grey}},
      {"raw16.pgm", {"/usr/bin/pamdepth", "65535", grey}},
      {"raw.pbm", {"/usr/bin/pamtopnm", bits}},
      {"plain.pbm", {"/usr/bin/pamtopnm", "-plain", bits}},
  };
  for (const Case& c : cases) {
    const std::string file = dir.File(c.Name);
    ASSERT_EQ(RunTool(c.Argv, file), 0) << c.Name;
    Plain theirs;
    ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/pamtopnm", file, theirs)) << c.Name;
    Decoded ours;
    DecodePxm(ReadFile(file), ours);
    ASSERT_FALSE(ours.Aborted) << c.Name;
    // netpbm rounds when it rescales, we truncate.
    EXPECT_LE(MaxDiff(RgbOf(ours.Bitmap.get()), theirs.Rgb), 1) << c.Name;
  }
}

TEST(PxmOracle, FilesWeWriteReadInNetpbmAndPillow) {
  if (!HaveOracles()) GTEST_SKIP() << "netpbm, imagemagick or python3-pil missing";
  TestTempDir dir;
  auto rgb = Rgb(11, 5);
  auto mono = TPXBitmap::CreateAllocated(11, 5, px1g);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 11; ++x)
      if ((x + y) % 3 == 0) mono->Scanline(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
  struct Case {
    std::string Name;
    TPXBitmap* Bitmap;
    int Bits, Samples;
    int Tolerance;  // grey conversions may differ by their weights
  };
  for (const Case& c : std::vector<Case>{{"o.pbm", mono.get(), 1, 1, 0},
                                         {"o.pgm", rgb.get(), 8, 1, 3},
                                         {"o.ppm", rgb.get(), 8, 3, 0},
                                         {"o16.ppm", rgb.get(), 16, 3, 0}}) {
    TIOParams p;
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.PXM_Comments = {"written here"};
    const std::string file = dir.File(c.Name);
    WriteFile(file, EncodePxm(c.Bitmap, p));
    ASSERT_EQ(RunTool({"/usr/bin/pnmfile", file}, dir.File("pnmfile.out")), 0) << c.Name;
    Plain netpbm, pillow;
    ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/pamtopnm", file, netpbm)) << c.Name;
    ASSERT_TRUE(PillowRgb(dir, file, pillow)) << c.Name;
    Decoded back;
    DecodePxm(ReadFile(file), back);
    ASSERT_FALSE(back.Aborted);
    EXPECT_EQ(MaxDiff(netpbm.Rgb, RgbOf(back.Bitmap.get())), 0) << c.Name;
    EXPECT_LE(MaxDiff(pillow.Rgb, RgbOf(back.Bitmap.get())), 1) << c.Name;
    if (c.Samples == 3 || c.Bits == 1) {
      EXPECT_LE(MaxDiff(netpbm.Rgb, RgbOf(c.Bitmap)), c.Tolerance) << c.Name;
    }
  }
}

TEST(WbmpOracle, NetpbmReadsOursAndWeReadItsOwn) {
  if (!HaveOracles() || !ToolExists("/usr/bin/wbmptopbm") || !ToolExists("/usr/bin/pbmtowbmp"))
    GTEST_SKIP() << "netpbm missing";
  TestTempDir dir;
  auto mono = TPXBitmap::CreateAllocated(19, 6, px1g);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 19; ++x)
      if ((x * y) % 4 == 1) mono->Scanline(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
  TMemoryStream out;
  Progressed run;
  EncodeWbmpStream(&out, mono.get(), nullptr, run.Progress);
  const std::string ours = dir.File("o.wbmp");
  WriteFile(ours, BytesOf(out));
  Plain theirs;
  ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/wbmptopbm", ours, theirs));
  EXPECT_EQ(theirs.Rgb, RgbOf(mono.get()));

  // netpbm's files, also wider and higher than the 255 our writer keeps to.
  for (const auto& [w, h] : {std::pair{19, 6}, std::pair{300, 3}, std::pair{5, 260}}) {
    auto pic = TPXBitmap::CreateAllocated(w, h, px1g);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((x * y) % 4 == 1) pic->Scanline(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
    const std::string pbm = dir.File("t.pbm"), wbmp = dir.File("t.wbmp");
    WriteFile(pbm, EncodePxm(pic.get(), *std::make_unique<TIOParams>()));
    ASSERT_EQ(RunTool({"/usr/bin/pbmtowbmp", pbm}, wbmp), 0);
    Decoded d;
    auto s = StreamOf(ReadFile(wbmp));
    Progressed r;
    DecodeWbmpStream(s.get(), d.Bitmap.get(), &d.Params, r.Progress, false);
    ASSERT_FALSE(r.Aborted) << w << " x " << h;
    ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/wbmptopbm", wbmp, theirs));
    EXPECT_EQ(RgbOf(d.Bitmap.get()), theirs.Rgb) << w << " x " << h;
    EXPECT_EQ(RgbOf(d.Bitmap.get()), RgbOf(pic.get())) << w << " x " << h;
  }
}

}  // namespace
