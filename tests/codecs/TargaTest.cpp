// The Targa codec: row order and mirroring, alpha from pixels and colour maps, the extension
// area, the writer's packets and header, the mended faults (the image ID, depth 4, hostile
// sizes, short data), ImageMagick, netpbm and Pillow both ways, and the I/O component.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/pxtgafil.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace smallcodec;

namespace {

struct Decoded {
  std::unique_ptr<TPXBitmap> Bitmap = std::make_unique<TPXBitmap>();
  std::unique_ptr<TIOParams> Params = std::make_unique<TIOParams>();
  std::unique_ptr<TPXMask> Mask;
  bool Aborted = false;
};

Decoded DecodeTga(const std::string& Data, bool PreviewOnly = false) {
  Decoded d;
  auto s = StreamOf(Data);
  Progressed run;
  DecodeTargaStream(s.get(), d.Bitmap.get(), d.Params.get(), run.Progress, PreviewOnly, d.Mask, false);
  d.Aborted = run.Aborted;
  return d;
}

std::string EncodeTga(TPXBitmap* B, TIOParams* P, TPXMask* Mask = nullptr) {
  TMemoryStream s;
  Progressed run;
  EncodeTargaStream(&s, B, P, run.Progress, Mask);
  EXPECT_FALSE(run.Aborted);
  return BytesOf(s);
}

std::string Header(int Type, int W, int H, int Depth, int Descriptor, int MapType = 0, int MapLength = 0,
                   int MapBits = 0, int IdLength = 0) {
  return std::string{char(IdLength),
                     char(MapType),
                     char(Type),
                     0,
                     0,
                     char(MapLength),
                     char(MapLength >> 8),
                     char(MapBits),
                     0,
                     0,
                     0,
                     0,
                     char(W),
                     char(W >> 8),
                     char(H),
                     char(H >> 8),
                     char(Depth),
                     char(Descriptor)};
}

// Rows as stored: row i has pixel x = (i * 10 + x) in each channel plus channel offsets.
std::string Rows24(int W, int H) {
  std::string out;
  for (int i = 0; i < H; ++i)
    for (int x = 0; x < W; ++x) out += std::string{char(i * 10 + x), char(i * 10 + x + 1), char(i * 10 + x + 2)};
  return out;
}

std::unique_ptr<TPXBitmap> Rgb(int W, int H) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b->SetPixel24(x, y, TRGB{uint8_t(x * 13 + y), uint8_t(y * 41), uint8_t(250 - x * 9)});
  return b;
}

TEST(TargaRead, RowOrderAndMirroring) {
  const std::string data = Rows24(3, 2);
  const Decoded bottomUp = DecodeTga(Header(2, 3, 2, 24, 0) + data);
  const Decoded topDown = DecodeTga(Header(2, 3, 2, 24, 0x20) + data);
  const Decoded mirrored = DecodeTga(Header(2, 3, 2, 24, 0x10) + data);
  ASSERT_FALSE(bottomUp.Aborted);
  // Stored row 0 is the last picture row without bit 5.
  EXPECT_EQ(bottomUp.Bitmap->GetPixelRGB(1, 1).b, 1);
  EXPECT_EQ(topDown.Bitmap->GetPixelRGB(1, 0).b, 1);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(bottomUp.Bitmap->GetPixelRGB(x, y).b, topDown.Bitmap->GetPixelRGB(x, 1 - y).b);
      EXPECT_EQ(mirrored.Bitmap->GetPixelRGB(x, y).b, bottomUp.Bitmap->GetPixelRGB(2 - x, y).b);
    }
  // Coded data reads as the plain data.
  std::string coded;
  for (int i = 0; i < 2; ++i) coded += char(2) + data.substr(size_t(i) * 9, 9);
  EXPECT_EQ(RgbOf(DecodeTga(Header(10, 3, 2, 24, 0) + coded).Bitmap.get()), RgbOf(bottomUp.Bitmap.get()));
  // 16 bits: 5-5-5 with bit 15 ignored; 31 reads 255.
  const Decoded d16 = DecodeTga(Header(2, 1, 1, 16, 0x20) + std::string{char(0x1F), char(0x80 | 0x7C)});
  EXPECT_EQ(RgbOf(d16.Bitmap.get()), (std::vector<int>{255, 0, 255}));
  EXPECT_EQ(d16.Params->BitsPerSample, 5);
}

TEST(TargaRead, AlphaFromPixelsAndColourMaps) {
  auto pixels32 = [](int Alpha0, int Alpha1) {
    return Header(2, 2, 1, 32, 0x28) + std::string{1, 2, 3, char(Alpha0), 4, 5, 6, char(Alpha1)};
  };
  EXPECT_FALSE(DecodeTga(pixels32(0, 0)).Mask);  // wholly transparent reads opaque
  const Decoded full = DecodeTga(pixels32(255, 255));
  ASSERT_TRUE(full.Mask);
  EXPECT_EQ(full.Mask->GetPixel(0, 0), 255);
  const Decoded mixed = DecodeTga(pixels32(10, 200));
  ASSERT_TRUE(mixed.Mask);
  EXPECT_EQ(mixed.Mask->GetPixel(0, 0), 10);
  EXPECT_EQ(mixed.Mask->GetPixel(1, 0), 200);
  EXPECT_EQ(mixed.Bitmap->GetPixelRGB(1, 0).r, 6);

  // A colour map of 32-bit entries, first index 0, two entries.
  const std::string map{10, 20, 30, char(128), 40, 50, 60, char(255)};
  const Decoded mapped = DecodeTga(Header(1, 2, 1, 8, 0x20, 1, 2, 32) + map + std::string{1, 0});
  ASSERT_FALSE(mapped.Aborted);
  ASSERT_TRUE(mapped.Mask);
  EXPECT_EQ(mapped.Mask->GetPixel(0, 0), 255);
  EXPECT_EQ(mapped.Mask->GetPixel(1, 0), 128);
  EXPECT_EQ(RgbOf(mapped.Bitmap.get()), (std::vector<int>{60, 50, 40, 30, 20, 10}));
  EXPECT_EQ(mapped.Params->ColorMapCount, 2);
  // Grey without map.
  const Decoded grey = DecodeTga(Header(3, 1, 1, 8, 0) + std::string{char(77)});
  EXPECT_TRUE(grey.Params->TGA_GrayLevel);
  EXPECT_EQ(RgbOf(grey.Bitmap.get()), (std::vector<int>{77, 77, 77}));
}

TEST(TargaRead, ExtensionDefaultsWithoutFooter) {
  const Decoded d = DecodeTga(Header(2, 1, 1, 24, 0) + std::string(3, 0));
  EXPECT_EQ(Trunc(d.Params->TGA_Date), Trunc(Date()));
  EXPECT_EQ(d.Params->TGA_AspectRatio, 1.0);
  EXPECT_EQ(d.Params->TGA_Gamma, 2.2);
  EXPECT_EQ(d.Params->TGA_KeyColor.r, 0);
  EXPECT_EQ(d.Params->DpiX, 300);
  EXPECT_FALSE(d.Params->TGA_Compressed);
}

TEST(TargaRead, BadOrShortDataSetsTheFlag) {
  for (const std::string& bad : {Header(5, 2, 2, 24, 0), Header(2, 2, 2, 12, 0), Header(2, 0, 2, 24, 0),
                                 Header(2, 2, 2, 24, 0, 2), Header(1, 2, 2, 8, 0, 1, 4, 7), std::string(10, 0)}) {
    const Decoded d = DecodeTga(bad + std::string(64, 1));
    EXPECT_TRUE(d.Aborted);
    EXPECT_TRUE(d.Bitmap->IsEmpty());
  }
  // 65535 x 65535 at 32 bits from 40 bytes: refused before allocating.
  const Decoded huge = DecodeTga(Header(10, 65535, 65535, 32, 0) + std::string(40, char(0xFF)));
  EXPECT_TRUE(huge.Aborted);
  EXPECT_TRUE(huge.Bitmap->IsEmpty());
  // A short file keeps its rows.
  const Decoded cut = DecodeTga(Header(2, 2, 2, 24, 0x20) + Rows24(2, 2).substr(0, 8));
  EXPECT_TRUE(cut.Aborted);
  EXPECT_EQ(cut.Bitmap->GetPixelRGB(1, 0).b, 1);

  auto s = StreamOf("ab" + Header(2, 2, 2, 24, 0));
  s->Seek(2, soBeginning);
  EXPECT_TRUE(HasTargaSignature(s.get()));
  EXPECT_EQ(s->Position(), 2);
  EXPECT_FALSE(HasTargaSignature(StreamOf(Header(4, 2, 2, 24, 0)).get()));
}

TEST(TargaWrite, HeaderPacketsAndExtension) {
  TIOParams p;
  auto row = TPXBitmap::CreateAllocated(300, 1, px24RGB);
  row->Fill(RGBToTColor(0x11, 0x22, 0x33));
  p.TGA_ImageID = "abc";
  p.TGA_AspectRatio = 1.5;
  p.TGA_Author = "Ann";
  p.TGA_JobName = "Job";
  p.TGA_KeyColor = TRGB{3, 2, 1};
  p.TGA_Date = EncodeDate(2020, 2, 29) + EncodeTime(13, 14, 15, 0);
  const std::string out = EncodeTga(row.get(), &p);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out.substr(18, 4), std::string("abc\0", 4));
  EXPECT_EQ(out[2], 10);
  EXPECT_EQ(out[17], 0x20);
  const std::string packets = out.substr(22, 12);
  EXPECT_EQ(packets,
            std::string({char(0xFF), 0x33, 0x22, 0x11, char(0xFF), 0x33, 0x22, 0x11, char(0xAB), 0x33, 0x22, 0x11}));
  const std::string ext = out.substr(34, 495);
  EXPECT_EQ(uint8_t(ext[474]) | uint8_t(ext[475]) << 8, 15000);
  EXPECT_EQ(uint8_t(ext[476]) | uint8_t(ext[477]) << 8, 10000);
  EXPECT_EQ(out.substr(out.size() - 18), std::string("TRUEVISION-XFILE.\0", 18));

  const Decoded back = DecodeTga(out);
  ASSERT_FALSE(back.Aborted);
  EXPECT_EQ(back.Params->TGA_ImageID, std::string("abc\0", 4));
  EXPECT_EQ(back.Params->TGA_Author, "Ann");
  EXPECT_EQ(back.Params->TGA_JobName, "Job");
  EXPECT_EQ(back.Params->TGA_AspectRatio, 1.5);
  EXPECT_DOUBLE_EQ(back.Params->TGA_Gamma, 2.2);
  EXPECT_EQ(back.Params->TGA_KeyColor.r, 1);
  EXPECT_EQ(back.Params->TGA_KeyColor.b, 3);
  EXPECT_NEAR(back.Params->TGA_Date, p.TGA_Date, 1e-6);
  EXPECT_EQ(RgbOf(back.Bitmap.get()), RgbOf(row.get()));

  // Written again, the ID that ends in a zero gets no second one; long IDs are cut to 255.
  p.TGA_ImageID = back.Params->TGA_ImageID;
  EXPECT_EQ(EncodeTga(row.get(), &p)[0], 4);
  p.TGA_ImageID = std::string(400, 'i');
  const std::string longId = EncodeTga(row.get(), &p);
  EXPECT_EQ(uint8_t(longId[0]), 255);
  EXPECT_EQ(RgbOf(DecodeTga(longId).Bitmap.get()), RgbOf(row.get()));
}

TEST(TargaWrite, DepthsFromSamplesAndBits) {
  auto pic = Rgb(5, 4);
  TPXMask mask;
  mask.AllocateBits(5, 4, 8);
  mask.Fill(255);
  mask.SetPixel(2, 1, 40);
  TIOParams p32;
  const std::string with = EncodeTga(pic.get(), &p32, &mask);
  EXPECT_EQ(with[2], 2);
  EXPECT_EQ(with[16], 32);
  EXPECT_EQ(with[17], 0x28);
  EXPECT_FALSE(p32.TGA_Compressed);
  const Decoded a = DecodeTga(with);
  ASSERT_TRUE(a.Mask);
  EXPECT_EQ(a.Mask->GetPixel(2, 1), 40);
  EXPECT_EQ(RgbOf(a.Bitmap.get()), RgbOf(pic.get()));

  // 4 bits and one sample: a 16-colour palette at depth 8, which reads back (not blank).
  auto few = TPXBitmap::CreateAllocated(6, 2, px24RGB);
  for (int x = 0; x < 6; ++x) {
    few->SetPixel24(x, 0, TRGB{uint8_t(x * 40), 0, 255});
    few->SetPixel24(x, 1, TRGB{0, uint8_t(x * 30), 0});
  }
  TIOParams p4;
  p4.BitsPerSample = 4;
  p4.SamplesPerPixel = 1;
  const std::string four = EncodeTga(few.get(), &p4);
  EXPECT_EQ(four[16], 8);
  EXPECT_EQ(four[1], 1);
  EXPECT_EQ(uint8_t(four[5]), 16);
  EXPECT_EQ(RgbOf(DecodeTga(four).Bitmap.get()), RgbOf(few.get()));

  // Grey at 8 bits, plain.
  TIOParams pg;
  pg.BitsPerSample = 8;
  pg.SamplesPerPixel = 1;
  pg.TGA_GrayLevel = true;
  pg.TGA_Compressed = false;
  const std::string grey = EncodeTga(few.get(), &pg);
  EXPECT_EQ(grey[2], 3);
  EXPECT_EQ(grey[1], 0);

  // 1 bit from a two-colour picture.
  auto two = TPXBitmap::CreateAllocated(9, 2, px24RGB);
  two->Fill(RGBToTColor(200, 0, 0));
  two->SetPixel24(3, 1, TRGB{0, 0, 0});
  TIOParams p1;
  p1.BitsPerSample = 1;
  p1.SamplesPerPixel = 1;
  const std::string mono = EncodeTga(two.get(), &p1);
  EXPECT_EQ(mono[16], 1);
  EXPECT_EQ(mono[2], 3);
  const Decoded m = DecodeTga(mono);
  ASSERT_EQ(m.Bitmap->PixelFormat(), px1g);
  EXPECT_EQ(RgbOf(m.Bitmap.get())[3 * (9 + 3)], 0);
  EXPECT_EQ(RgbOf(m.Bitmap.get())[0], 255);
  EXPECT_EQ(pic->PixelFormat(), px24RGB);
}

// ---------------------------------------------------------------------------------------------
// Oracles

TEST(TargaOracle, OtherToolsFilesReadAsTheyReadThem) {
  if (!HaveOracles()) GTEST_SKIP() << "netpbm, imagemagick or python3-pil missing";
  TestTempDir dir;
  const std::string src = dir.File("src.ppm");
  ASSERT_TRUE(MakeSourcePpm(src, 23, 9));
  const char* pil =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nd = sys.argv[2]\n"
      "a = im.convert('RGBA'); a.putalpha(200)\n"
      "for rle in (False, True):\n    s = 'rle' if rle else 'raw'\n"
      "    im.save(d + 'pil_rgb_%s.tga' % s, rle=rle)\n    a.save(d + 'pil_rgba_%s.tga' % s, rle=rle)\n"
      "    im.convert('L').save(d + 'pil_l_%s.tga' % s, rle=rle)\n"
      "    im.quantize(200).save(d + 'pil_p_%s.tga' % s, rle=rle)\n"
      "im.convert('1').save(d + 'pil_1_raw.tga')\n";  // Pillow cannot read its own coded 1-bit files
  ASSERT_EQ(RunTool({kPython, "-c", pil, src, dir.Path()}, dir.File("pil.log")), 0);
  std::vector<std::string> files;
  for (const char* kind : {"rgb", "rgba", "l", "p"})
    for (const char* s : {"raw", "rle"}) files.push_back(std::string("pil_") + kind + "_" + s + ".tga");
  files.push_back("pil_1_raw.tga");
  const std::vector<std::pair<std::string, std::vector<std::string>>> magick = {
      {"im_rgb.tga", {"-compress", "None"}},
      {"im_rgb_rle.tga", {"-compress", "RLE"}},
      {"im_grey.tga", {"-colorspace", "Gray", "-compress", "None"}},
      {"im_pal_rle.tga", {"-colors", "50", "-type", "Palette", "-compress", "RLE"}},
  };
  for (const auto& [name, args] : magick) {
    std::vector<std::string> argv{kConvert, src};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(dir.File(name));
    ASSERT_EQ(RunTool(argv, dir.File("im.log")), 0) << name;
    files.push_back(name);
  }
  const std::vector<std::pair<std::string, std::vector<std::string>>> netpbm = {
      {"nb_rgb.tga", {"-rgb", "-norle"}}, {"nb_rgb_rle.tga", {"-rgb"}}, {"nb_cmap.tga", {"-cmap"}}};
  for (const auto& [name, args] : netpbm) {
    std::vector<std::string> argv{"/usr/bin/ppmtotga"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(src);
    ASSERT_EQ(RunTool(argv, dir.File(name)), 0) << name;
    files.push_back(name);
  }
  for (const std::string& name : files) {
    const std::string file = dir.File(name);
    // Depth 1 is Pillow's own; ImageMagick and netpbm do not read it.
    Plain theirs;
    if (name.find("_1_") != std::string::npos)
      ASSERT_TRUE(PillowRgb(dir, file, theirs)) << name;
    else
      ASSERT_TRUE(MagickPlain(dir, file, theirs)) << name;
    const Decoded ours = DecodeTga(ReadFile(file));
    ASSERT_FALSE(ours.Aborted) << name;
    EXPECT_EQ(MaxDiff(RgbOf(ours.Bitmap.get()), theirs.Rgb), 0) << name;
    if (name.find("rgba") != std::string::npos) {
      ASSERT_TRUE(ours.Mask) << name;
      EXPECT_EQ(ours.Mask->GetPixel(4, 4), 200) << name;
    }
  }
}

TEST(TargaOracle, FilesWeWriteReadInOtherTools) {
  if (!HaveOracles() || !ToolExists("/usr/bin/tgatoppm")) GTEST_SKIP() << "netpbm, imagemagick or python3-pil missing";
  TestTempDir dir;
  auto pic = Rgb(21, 7);
  for (int x = 0; x < 21; ++x) pic->SetPixel24(x, 3, TRGB{9, 9, 9});  // a row of runs
  auto mono = TPXBitmap::CreateAllocated(21, 7, px1g);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 21; ++x)
      if ((x ^ y) & 2) mono->Scanline(y)[x >> 3] |= uint8_t(0x80 >> (x & 7));
  struct Case {
    std::string Name;
    TPXBitmap* Bitmap;
    int Bits, Samples;
    bool Compressed, Grey;
  };
  for (const Case& c : std::vector<Case>{{"rgb.tga", pic.get(), 8, 3, false, false},
                                         {"rgb_rle.tga", pic.get(), 8, 3, true, false},
                                         {"pal.tga", pic.get(), 8, 1, false, false},
                                         {"pal_rle.tga", pic.get(), 8, 1, true, false},
                                         {"grey_rle.tga", pic.get(), 8, 1, true, true},
                                         {"mono.tga", mono.get(), 1, 1, false, false}}) {
    TIOParams p;
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.TGA_Compressed = c.Compressed;
    p.TGA_GrayLevel = c.Grey;
    const std::string file = dir.File(c.Name);
    WriteFile(file, EncodeTga(c.Bitmap, &p));
    const Decoded ours = DecodeTga(ReadFile(file));
    Plain magick, netpbm, pillow;
    const std::vector<int> rgb = RgbOf(ours.Bitmap.get());
    if (c.Bits != 1) {  // depth 1 is read by Pillow only
      ASSERT_TRUE(MagickPlain(dir, file, magick)) << c.Name;
      ASSERT_TRUE(NetpbmPlain(dir, "/usr/bin/tgatoppm", file, netpbm)) << c.Name;
      EXPECT_EQ(MaxDiff(magick.Rgb, rgb), 0) << c.Name;
      EXPECT_EQ(MaxDiff(netpbm.Rgb, rgb), 0) << c.Name;
    }
    ASSERT_TRUE(PillowRgb(dir, file, pillow)) << c.Name;
    EXPECT_EQ(MaxDiff(pillow.Rgb, rgb), 0) << c.Name;
    if (c.Samples == 3 || c.Bits == 1) {
      EXPECT_EQ(MaxDiff(rgb, RgbOf(c.Bitmap)), 0) << c.Name;
    }
  }
}

TEST(TargaIO, LoadsAndSavesByFileName) {
  TestTempDir dir;
  auto pic = Rgb(6, 5);
  pic->GetAlphaChannel()->Fill(255);
  pic->SetAlpha(1, 2, 30);
  pic->GetAlphaChannel()->FFull = 0;
  auto io = TPixoranIO::CreateForBitmap(pic.get());
  const std::string file = dir.File("pic.tga");
  io->SaveToFile(file, 0);
  ASSERT_FALSE(io->Aborting());
  EXPECT_EQ(ReadFile(file)[16], 32);

  auto loaded = std::make_unique<TPXBitmap>();
  auto in = TPixoranIO::CreateForBitmap(loaded.get());
  ASSERT_TRUE(in->LoadFromFile(file, 0));
  EXPECT_EQ(in->Params()->FileType, 11);
  EXPECT_EQ(RgbOf(loaded.get()), RgbOf(pic.get()));
  ASSERT_TRUE(loaded->HasAlphaChannel());
  EXPECT_EQ(loaded->GetAlpha(1, 2), 30);
  EXPECT_EQ(loaded->GetAlpha(0, 0), 255);
}

}  // namespace
