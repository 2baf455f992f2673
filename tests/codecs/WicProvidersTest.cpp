// The imaging component's real providers against their own libraries' tools: LibRaw's
// dcraw_emu, libwebp's cwebp / dwebp / webpinfo, libheif's heif-enc / heif-convert, jxrlib's
// JxrEncApp / JxrDecApp and ImageMagick for DDS.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pxwic.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/common/TestSupport.h"

namespace {

int Shell(const std::string& Command) { return std::system((Command + " >/dev/null 2>&1").c_str()); }

// A binary PPM (P6, 8 or 16 bits) or PGM as width, height, channels, max and samples.
struct Pnm {
  int W = 0, H = 0, C = 0, Max = 0;
  std::vector<uint16_t> S;
  uint16_t At(int x, int y, int c) const { return S[(size_t(y) * W + x) * C + c]; }
};

Pnm ReadPnm(const std::string& Name) {
  Pnm p;
  const std::string d = codectest::ReadFile(Name);
  size_t pos = 0;
  const auto token = [&] {
    while (pos < d.size() && (isspace(uint8_t(d[pos])) || d[pos] == '#')) {
      if (d[pos] == '#')
        while (pos < d.size() && d[pos] != '\n') ++pos;
      else ++pos;
    }
    const size_t s = pos;
    while (pos < d.size() && !isspace(uint8_t(d[pos]))) ++pos;
    return d.substr(s, pos - s);
  };
  const std::string magic = token();
  p.C = magic == "P6" ? 3 : magic == "P5" ? 1 : 0;
  if (!p.C) return p;
  p.W = std::stoi(token());
  p.H = std::stoi(token());
  p.Max = std::stoi(token());
  ++pos;
  const size_t n = size_t(p.W) * p.H * p.C;
  p.S.resize(n);
  for (size_t i = 0; i < n && pos < d.size(); ++i) {
    if (p.Max > 255) {
      p.S[i] = uint16_t(uint8_t(d[pos]) << 8 | uint8_t(d[pos + 1]));
      pos += 2;
    } else {
      p.S[i] = uint8_t(d[pos++]);
    }
  }
  return p;
}

// Loads a file through the I/O component by its extension.
struct Loaded {
  TPXBitmap Bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&Bitmap);
};

// A synthetic 16-bit RGGB DNG (uncompressed, DNG 1.4) of W x H with a smooth scene.
void WriteDng(const std::string& Name, int W, int H) {
  TIFF* t = TIFFOpen(Name.c_str(), "w");
  ASSERT_NE(t, nullptr);
  static const uint8_t version[4] = {1, 4, 0, 0};
  static const uint16_t dim[2] = {2, 2};
  static const uint8_t pattern[4] = {0, 1, 1, 2};
  static const float matrix[9] = {1.0f, -0.3f, -0.1f, -0.2f, 1.1f, 0.1f, 0.0f, 0.2f, 0.6f};
  static const float neutral[3] = {0.5f, 1.0f, 0.7f};
  TIFFSetField(t, TIFFTAG_SUBFILETYPE, 0);
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, W);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, H);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, 32803);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, H);
  TIFFSetField(t, TIFFTAG_MAKE, "Quillane");
  TIFFSetField(t, TIFFTAG_MODEL, "Synthetic");
  TIFFSetField(t, TIFFTAG_DNGVERSION, version);
  TIFFSetField(t, TIFFTAG_DNGBACKWARDVERSION, version);
  TIFFSetField(t, TIFFTAG_UNIQUECAMERAMODEL, "Quillane Synthetic");
  TIFFSetField(t, TIFFTAG_CFAREPEATPATTERNDIM, dim);
  TIFFSetField(t, TIFFTAG_CFAPATTERN, 4, pattern);
  TIFFSetField(t, TIFFTAG_COLORMATRIX1, 9, matrix);
  TIFFSetField(t, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
  TIFFSetField(t, TIFFTAG_CALIBRATIONILLUMINANT1, 21);
  std::vector<uint16_t> row(static_cast<size_t>(W));
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) row[size_t(x)] = uint16_t((x * 900 + y * 500 + ((x ^ y) & 1) * 3000) % 60000);
    TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
  }
  TIFFClose(t);
}

}  // namespace

TEST(WicProviders, LibRawDevelopsLikeDcrawEmu) {
  TestTempDir dir;
  const std::string dng = dir.File("shot.dng");
  WriteDng(dng, 96, 64);
  ASSERT_EQ(Shell("dcraw_emu " + dng), 0);
  const Pnm oracle = ReadPnm(dng + ".ppm");
  ASSERT_EQ(oracle.C, 3);

  Loaded l;
  l.io->Params()->NativePixelFormat = false;
  ASSERT_TRUE(l.io->LoadFromFileWIC(dng, pxftWIC));
  ASSERT_EQ(l.Bitmap.PixelFormat(), px24RGB);
  ASSERT_EQ(l.Bitmap.Width(), oracle.W);
  ASSERT_EQ(l.Bitmap.Height(), oracle.H);
  int bad = 0;
  for (int y = 0; y < oracle.H; ++y) {
    const uint8_t* row = l.Bitmap.Scanline(y);
    for (int x = 0; x < oracle.W; ++x)
      for (int c = 0; c < 3; ++c) bad += row[3 * x + 2 - c] != oracle.At(x, y, c);
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(l.io->Params()->WIC_CodecInfo.Author, "LibRaw");

  Loaded n;
  n.io->Params()->NativePixelFormat = true;
  ASSERT_TRUE(n.io->LoadFromFileWIC(dng, pxftWIC));
  EXPECT_EQ(n.Bitmap.PixelFormat(), pxRGB48);
  EXPECT_EQ(n.Bitmap.Width(), oracle.W);
}

namespace {

// A W x H PPM with a gradient and, for PAM with alpha, a transparent left half.
std::string GradientPpm(int W, int H) {
  std::string s = "P6\n" + std::to_string(W) + " " + std::to_string(H) + "\n255\n";
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) s += {char(x * 255 / W), char(y * 255 / H), char((x + y) * 3)};
  return s;
}

}  // namespace

TEST(WicProviders, WebpAgainstCwebpDwebpAndWebpinfo) {
  TestTempDir dir;
  codectest::WriteFile(dir.File("src.ppm"), GradientPpm(40, 24));
  // Lossless from cwebp reads exactly; lossy within a small error; dwebp's PPM is the oracle.
  struct Case {
    const char* Args;
    int Tolerance;
  };
  for (const Case& c : {Case{"-lossless", 0}, Case{"-q 80", 0}}) {
    SCOPED_TRACE(c.Args);
    const std::string webp = dir.File("a.webp");
    ASSERT_EQ(Shell(std::string("cwebp ") + c.Args + " " + dir.File("src.ppm") + " -o " + webp), 0);
    ASSERT_EQ(Shell("dwebp " + webp + " -ppm -o " + dir.File("a.ppm")), 0);
    const Pnm oracle = ReadPnm(dir.File("a.ppm"));
    Loaded l;
    ASSERT_TRUE(l.io->LoadFromFileByExtension(webp, false));
    EXPECT_EQ(l.io->Params()->FileType, pxftWEBP);
    ASSERT_EQ(l.Bitmap.PixelFormat(), px24RGB);
    ASSERT_EQ(l.Bitmap.Width(), oracle.W);
    int worst = 0;
    for (int y = 0; y < oracle.H; ++y)
      for (int x = 0; x < oracle.W; ++x)
        for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(l.Bitmap.Scanline(y)[3 * x + 2 - k] - oracle.At(x, y, k)));
    EXPECT_LE(worst, c.Tolerance);
    EXPECT_EQ(l.io->Params()->WIC_CodecInfo.FriendlyName, "WebP Codec");
  }

  // Alpha: a PNG with a transparent half, through cwebp; the alpha channel follows dwebp's.
  ASSERT_EQ(Shell("convert -size 20x10 gradient:red-blue \\( -size 10x10 xc:black -size 10x10 xc:white +append \\) "
                  "-alpha off -compose copy_opacity -composite " + dir.File("alpha.png")), 0);
  ASSERT_EQ(Shell("cwebp -lossless " + dir.File("alpha.png") + " -o " + dir.File("alpha.webp")), 0);
  Loaded a;
  ASSERT_TRUE(a.io->LoadFromFileByExtension(dir.File("alpha.webp"), false));
  ASSERT_TRUE(a.Bitmap.HasAlphaChannel());
  EXPECT_EQ(a.Bitmap.AlphaChannel()->Scanline(5)[2], 0);
  EXPECT_EQ(a.Bitmap.AlphaChannel()->Scanline(5)[17], 255);

  // Our lossless and lossy saves: webpinfo accepts them, dwebp decodes the lossless one exactly.
  for (const bool lossless : {true, false}) {
    Loaded s;
    s.Bitmap.Assign(&a.Bitmap);
    s.Bitmap.RemoveAlphaChannel(false, clWhite);
    s.io->Params()->WIC_Flag = lossless;
    s.io->Params()->WIC_Quality = 0.75;
    const std::string out = dir.File(lossless ? "ours_ll.webp" : "ours.webp");
    s.io->SaveToFileWIC(out, pxftWEBP);
    ASSERT_FALSE(s.io->Aborting());
    EXPECT_EQ(Shell("webpinfo -quiet " + out), 0);
    const std::string info = dir.File("info.txt");
    std::system(("webpinfo " + out + " > " + info).c_str());
    EXPECT_NE(codectest::ReadFile(info).find(lossless ? "VP8L" : "VP8 "), std::string::npos);
    if (lossless) {
      ASSERT_EQ(Shell("dwebp " + out + " -ppm -o " + dir.File("back.ppm")), 0);
      const Pnm back = ReadPnm(dir.File("back.ppm"));
      ASSERT_EQ(back.W, 20);
      for (int x = 0; x < 20; ++x) EXPECT_EQ(back.At(x, 3, 0), s.Bitmap.Scanline(3)[3 * x + 2]);
    }
  }

  // Animation: the frame count is what webpinfo lists.
  const std::string anim = dir.File("anim.webp");
  std::string frames;
  for (int i = 0; i < 3; ++i) {
    const std::string name = dir.File("f" + std::to_string(i) + ".ppm");
    codectest::WriteFile(name, GradientPpm(40, 24));
    const char* change[] = {"", "-negate", "-flip"};
    ASSERT_EQ(Shell("convert " + name + " " + change[i] + " " + name + ".png"), 0);
    frames += " " + name + ".png";
  }
  ASSERT_EQ(Shell("img2webp -loop 0 -lossless" + frames + " -o " + anim), 0);
  EXPECT_EQ(GetImageCountOfFile(anim), 3);
  Loaded f;
  f.io->Params()->ImageIndex = 2;
  ASSERT_TRUE(f.io->LoadFromFileByExtension(anim, false));
  EXPECT_EQ(f.Bitmap.Width(), 40);
  EXPECT_EQ(f.io->Params()->ImageCount, 3);
}
