// Files that the everyday tools write (ImageMagick, netpbm, Pillow, libtiff, libjpeg), read as
// those tools read them: channels narrower than a byte, run-length rows that run past the width,
// files cut short, and the type that sniffing finds for each.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_sniff.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace smallcodec;

namespace {

bool HaveTools() {
  return HaveOracles() && ToolExists("/usr/bin/ppmtopcx") && ToolExists("/usr/bin/cjpeg") &&
         ToolExists("/usr/bin/tiffcp") && ToolExists("/usr/bin/bmptopnm") && ToolExists("/usr/bin/tgatoppm");
}

// A file loaded through the I/O component, as a program loads it.
struct Loaded {
  TPXBitmap Bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&Bitmap);
  bool Aborted = true;
  explicit Loaded(const std::string& File) {
    io->LoadFromFileByExtension(File, false);
    Aborted = io->Aborting();
  }
};

// Runs argv (its output to Out when argv does not name it itself).
void Make(const TestTempDir& Dir, const std::vector<std::string>& Argv, const std::string& Out = {}) {
  ASSERT_EQ(RunTool(Argv, Out.empty() ? Dir.File("tool.log") : Out), 0) << Argv.back();
}

std::string Put16(uint32_t V) { return {char(V & 0xFF), char(V >> 8)}; }
std::string Put32(uint32_t V) { return Put16(V & 0xFFFF) + Put16(V >> 16); }

// 16-bit 5-5-5 pixels that use every level of each channel.
uint16_t Pixel555(int X, int Y) { return uint16_t(((X * 7 + Y) & 31) << 10 | ((X + Y * 5) & 31) << 5 | ((X * 3 + Y * 11) & 31)); }

}  // namespace

TEST(PeerFiles, ChannelsNarrowerThanAByteReadAsThePeersReadThem) {
  if (!HaveTools()) GTEST_SKIP() << "netpbm, imagemagick, libtiff, libjpeg tools or python3-pil missing";
  TestTempDir dir;
  const std::string src = dir.File("src.ppm");
  ASSERT_TRUE(MakeSourcePpm(src, 23, 13));
  const int w = 32, h = 9;
  // A 16-bit Targa, top-down, and a 16-bit icon entry (rows bottom-up, all opaque), both of the
  // same 5-5-5 pixels.
  std::string tga{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  tga += Put16(w) + Put16(h) + char(16) + char(0x20);
  std::string rows;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) tga += Put16(Pixel555(x, y));
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w; ++x) rows += Put16(Pixel555(x, y));
  const std::string dib = Put32(40) + Put32(w) + Put32(2 * h) + Put16(1) + Put16(16) + std::string(24, 0) + rows +
                          std::string(size_t(4 * h), 0);
  const std::string ico = Put16(0) + Put16(1) + Put16(1) + std::string{char(w), char(h), 0, 0} + Put16(1) +
                          Put16(16) + Put32(uint32_t(dib.size())) + Put32(22) + dib;
  WriteFile(dir.File("16.tga"), tga);
  WriteFile(dir.File("16.ico"), ico);
  Make(dir, {kConvert, src, "-define", "bmp:subtype=RGB565", "bmp:" + dir.File("565.bmp")});
  Make(dir, {kConvert, src, "-define", "bmp:subtype=RGB555", "bmp:" + dir.File("555.bmp")});
  Make(dir, {"/usr/bin/pamdepth", "31", src}, dir.File("31.ppm"));
  Make(dir, {"/usr/bin/ppmtopgm", dir.File("31.ppm")}, dir.File("31.pgm"));
  Make(dir, {"/usr/bin/pamtopnm", "-plain", dir.File("31.ppm")}, dir.File("31plain.ppm"));
  const struct {
    const char* Name;
    const char* Netpbm;  // netpbm's reader, or none
  } cases[] = {
      {"565.bmp", "/usr/bin/bmptopnm"}, {"555.bmp", "/usr/bin/bmptopnm"}, {"16.tga", "/usr/bin/tgatoppm"},
      {"16.ico", nullptr},              {"31.ppm", "/usr/bin/pamtopnm"}, {"31.pgm", "/usr/bin/pamtopnm"},
      {"31plain.ppm", "/usr/bin/pamtopnm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = dir.File(c.Name);
    Loaded ours(file);
    ASSERT_FALSE(ours.Aborted);
    Plain pillow;
    ASSERT_TRUE(PillowRgb(dir, file, pillow));
    EXPECT_LE(MaxDiff(RgbOf(&ours.Bitmap), pillow.Rgb), 1) << "Pillow";
    if (c.Netpbm) {
      Plain netpbm;
      ASSERT_TRUE(NetpbmPlain(dir, c.Netpbm, file, netpbm));
      EXPECT_LE(MaxDiff(RgbOf(&ours.Bitmap), netpbm.Rgb), 1) << "netpbm";
    }
  }
}

TEST(PeerFiles, RunLengthRowsReadAsTheUncompressedFile) {
  if (!HaveTools()) GTEST_SKIP() << "netpbm, imagemagick, libtiff, libjpeg tools or python3-pil missing";
  TestTempDir dir;
  // Widths that are no multiple of 4: ImageMagick pads each row's last run past the width.
  for (int width : {23, 13, 6}) {
    const std::string src = dir.File("src.ppm");
    ASSERT_TRUE(MakeSourcePpm(src, width, 7));
    for (const std::vector<std::string>& colours : {std::vector<std::string>{}, {"-colors", "16"}}) {
      SCOPED_TRACE(testing::Message() << width << (colours.empty() ? " RLE8" : " RLE4"));
      for (const char* coding : {"RLE", "none"}) {
        std::vector<std::string> argv{kConvert, src};
        argv.insert(argv.end(), colours.begin(), colours.end());
        argv.insert(argv.end(), {"-type", "palette", "-compress", coding, "bmp3:" + dir.File(coding + std::string(".bmp"))});
        Make(dir, argv);
      }
      Loaded rle(dir.File("RLE.bmp")), plain(dir.File("none.bmp"));
      ASSERT_FALSE(rle.Aborted);
      ASSERT_FALSE(plain.Aborted);
      EXPECT_EQ(rle.io->Params()->BMP_Compression, 1);
      EXPECT_EQ(RgbOf(&rle.Bitmap), RgbOf(&plain.Bitmap));
    }
  }
}

TEST(PeerFiles, FilesCutInHalfKeepTheirFirstRowsAndSayTheyWereCut) {
  if (!HaveTools()) GTEST_SKIP() << "netpbm, imagemagick, libtiff, libjpeg tools or python3-pil missing";
  TestTempDir dir;
  const std::string src = dir.File("src.ppm"), few = dir.File("few.ppm"), bits = dir.File("bits.pbm");
  const int w = 64, h = 96;
  ASSERT_TRUE(MakeSourcePpm(src, w, h));
  Make(dir, {kConvert, src, "-colors", "12", "ppm:" + few});
  Make(dir, {kConvert, src, "-monochrome", "pbm:" + bits});
  const char* pil = "import sys\nfrom PIL import Image\nImage.open(sys.argv[1]).convert('L').save(sys.argv[2])\n";
  Make(dir, {kPython, "-c", pil, src, dir.File("pil8.pcx")});
  Make(dir, {kConvert, src, "bmp3:" + dir.File("im.bmp")});
  Make(dir, {kConvert, src, "-type", "palette", "-compress", "RLE", "bmp3:" + dir.File("rle8.bmp")});
  Make(dir, {kConvert, src, "-colors", "16", "-type", "palette", "-compress", "RLE", "bmp3:" + dir.File("rle4.bmp")});
  Make(dir, {kConvert, src, dir.File("im.ico")});
  Make(dir, {kConvert, few, "-type", "palette", dir.File("im8.ico")});
  // ImageMagick writes icons for cursors: the type and the hot spot make this one a cursor.
  std::string cursor = ReadFile(dir.File("im.ico"));
  cursor[2] = 2;
  cursor[10] = 3, cursor[12] = 4;
  WriteFile(dir.File("im.cur"), cursor);
  Make(dir, {"/usr/bin/ppmtopcx", "-24bit", src}, dir.File("nb24.pcx"));
  Make(dir, {"/usr/bin/ppmtopcx", "-packed", few}, dir.File("nb4.pcx"));
  Make(dir, {"/usr/bin/ppmtopcx", "-planes", "4", few}, dir.File("nb1x4.pcx"));
  Make(dir, {"/usr/bin/ppmtopcx", bits}, dir.File("nb1.pcx"));
  Make(dir, {"/usr/bin/cjpeg", "-arithmetic", src}, dir.File("arith.jpg"));
  Make(dir, {"/usr/bin/cjpeg", src}, dir.File("huffman.jpg"));
  const struct {
    const char* Name;
    bool BottomUp;  // the file's first rows are the picture's last
    bool Jpeg;      // a JPEG cut short completes its picture and counts a warning instead
  } cases[] = {
      {"im.bmp", true, false},    {"rle8.bmp", true, false},  {"rle4.bmp", true, false},
      {"im.ico", true, false},    {"im8.ico", true, false},   {"im.cur", true, false},
      {"nb24.pcx", false, false}, {"nb4.pcx", false, false},  {"nb1x4.pcx", false, false},
      {"nb1.pcx", false, false},  {"pil8.pcx", false, false}, {"arith.jpg", false, true},
      {"huffman.jpg", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string whole = ReadFile(dir.File(c.Name));
    const std::string cutName = dir.File(std::string("cut-") + c.Name);
    WriteFile(cutName, whole.substr(0, whole.size() / 2));
    Loaded full(dir.File(c.Name)), cut(cutName);
    ASSERT_FALSE(full.Aborted);
    ASSERT_EQ(cut.Bitmap.Width(), w);
    ASSERT_EQ(cut.Bitmap.Height(), h);
    if (c.Jpeg) {
      EXPECT_FALSE(cut.Aborted);
      EXPECT_GT(cut.io->Params()->JPEG_WarningCount, 0);
      EXPECT_EQ(full.io->Params()->JPEG_WarningCount, 0);
    } else {
      EXPECT_TRUE(cut.Aborted);
    }
    // The first quarter of the rows in file order lies well before the cut.
    const std::vector<int> a = RgbOf(&full.Bitmap), b = RgbOf(&cut.Bitmap);
    const size_t quarter = size_t(w) * 3 * (h / 4);
    if (c.BottomUp) {
      EXPECT_TRUE(std::equal(a.end() - ptrdiff_t(quarter), a.end(), b.end() - ptrdiff_t(quarter)));
    } else {
      EXPECT_TRUE(std::equal(a.begin(), a.begin() + ptrdiff_t(quarter), b.begin()));
    }
  }
}

TEST(PeerFiles, SniffingFindsEachToolsFileType) {
  if (!HaveTools()) GTEST_SKIP() << "netpbm, imagemagick, libtiff, libjpeg tools or python3-pil missing";
  TestTempDir dir;
  const std::string src = dir.File("src.ppm");
  ASSERT_TRUE(MakeSourcePpm(src, 40, 30));
  Make(dir, {kConvert, src, "-compress", "none", dir.File("plain.tif")});
  Make(dir, {kConvert, src, "-compress", "JPEG", dir.File("im-jpeg.tif")});
  Make(dir, {"/usr/bin/tiffcp", "-c", "jpeg", dir.File("plain.tif"), dir.File("tiffcp-jpeg.tif")});
  Make(dir, {"/usr/bin/cjpeg", src}, dir.File("x.jpeg"));
  Make(dir, {"/usr/bin/ppmtopcx", src}, dir.File("x.pcx"));
  Make(dir, {"/usr/bin/ppmtopgm", src}, dir.File("x.pgm"));
  Make(dir, {"/usr/bin/pamtopnm", "-plain", src}, dir.File("plain.ppm"));
  for (const char* name : {"x.bmp", "x.gif", "x.png", "x.ico", "x.tga", "x.dcx"}) Make(dir, {kConvert, src, dir.File(name)});
  std::string cursor = ReadFile(dir.File("x.ico"));  // ImageMagick's cursors are icons
  cursor[2] = 2;
  WriteFile(dir.File("x.cur"), cursor);
  const struct {
    const char* Name;
    TPXFileType Type;
  } cases[] = {
      {"plain.tif", pxftTIFF}, {"im-jpeg.tif", pxftTIFF}, {"tiffcp-jpeg.tif", pxftTIFF}, {"x.jpeg", pxftJPEG},
      {"x.pcx", pxftPCX},      {"x.pgm", pxftPXM},        {"plain.ppm", pxftPXM},         {"src.ppm", pxftPXM},
      {"x.bmp", pxftBMP},      {"x.gif", pxftGIF},        {"x.png", pxftPNG},             {"x.ico", pxftICO},
      {"x.tga", pxftTGA},      {"x.dcx", pxftDCX},        {"x.cur", pxftCUR},
  };
  for (const auto& c : cases) EXPECT_EQ(FindFileFormat(dir.File(c.Name), 0), c.Type) << c.Name;
}
