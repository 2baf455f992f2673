// libtiff as the oracle of the TIFF codec: pictures libtiff writes (through tiffcp in every
// compression and arrangement) read by us as libtiff reads them, and pictures we write read by
// libtiff without complaint and with our pixels.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/codecs/TiffTestSupport.h"

using namespace tifftest;

namespace {

struct Variant {
  const char* Name;
  std::vector<std::string> Args;
  int Need;  // 0 any, 1 bilevel only, 2 8-bit RGB or grey only (JPEG), 3 8-bit RGB only
};

const Source kSources[] = {
    {"grey1", 1, 1, PHOTOMETRIC_MINISBLACK},
    {"grey2", 2, 1, PHOTOMETRIC_MINISBLACK},
    {"grey4", 4, 1, PHOTOMETRIC_MINISBLACK},
    {"grey8", 8, 1, PHOTOMETRIC_MINISBLACK},
    {"grey16", 16, 1, PHOTOMETRIC_MINISBLACK},
    {"whiteiszero8", 8, 1, PHOTOMETRIC_MINISWHITE},
    {"palette4", 4, 1, PHOTOMETRIC_PALETTE},
    {"palette8", 8, 1, PHOTOMETRIC_PALETTE},
    {"rgb8", 8, 3, PHOTOMETRIC_RGB},
    {"rgb16", 16, 3, PHOTOMETRIC_RGB},
    {"rgba8 associated", 8, 4, PHOTOMETRIC_RGB, 1},
    {"rgba8 unassociated", 8, 4, PHOTOMETRIC_RGB, 2},
    {"cmyk8", 8, 4, PHOTOMETRIC_SEPARATED},
    {"cmyk16", 16, 4, PHOTOMETRIC_SEPARATED},
};

const Variant kVariants[] = {
    {"none", {"-c", "none"}, 0},
    {"lzw", {"-c", "lzw"}, 0},
    {"lzw:2", {"-c", "lzw:2"}, 0},
    {"zip", {"-c", "zip"}, 0},
    {"zip:2", {"-c", "zip:2"}, 0},
    {"packbits", {"-c", "packbits"}, 0},
    {"jpeg", {"-c", "jpeg", "-r", "16"}, 2},
    {"jpeg:r", {"-c", "jpeg:r", "-r", "16"}, 3},
    {"g3", {"-c", "g3"}, 1},
    {"g3:2d", {"-c", "g3:2d"}, 1},
    {"g4", {"-c", "g4"}, 1},
    {"tiled", {"-c", "zip", "-t", "-w", "64", "-l", "64"}, 0},
    {"planar", {"-c", "lzw", "-p", "separate"}, 0},
    {"big-endian", {"-c", "lzw:2", "-B"}, 0},
    {"lsb2msb", {"-c", "packbits", "-f", "lsb2msb"}, 0},
    {"bigtiff", {"-c", "zip", "-8"}, 0},
    {"strips of 7", {"-c", "none", "-r", "7"}, 0},
};

bool Applies(const Source& S, const Variant& V) {
  const bool bilevel = S.Bits == 1 && S.Samples == 1;
  switch (V.Need) {
    case 1: return bilevel;
    case 2: return S.Bits == 8 && !S.Extra && (S.Photometric == PHOTOMETRIC_RGB || S.Photometric == PHOTOMETRIC_MINISBLACK);
    case 3: return S.Bits == 8 && !S.Extra && S.Photometric == PHOTOMETRIC_RGB;
    default:
      // tiffcp arranges planes and tiles of 8-bit samples only; libtiff refuses lsb2msb above
      // 8 bits and predictors below 8.
      if ((std::string(V.Name) == "planar" || std::string(V.Name) == "tiled") && S.Bits != 8) return false;
      if (std::string(V.Name) == "lsb2msb" && S.Bits > 8) return false;
      if ((std::string(V.Name) == "lzw:2" || std::string(V.Name) == "zip:2" || std::string(V.Name) == "big-endian") &&
          S.Bits < 8)
        return false;
      return true;
  }
}

}  // namespace

TEST(TiffOracle, LibtiffWritesWeRead) {
  TestTempDir dir;
  for (const Source& src : kSources) {
    const std::string base = dir.File("src.tif");
    ASSERT_TRUE(WriteSource(base, src)) << src.Name;
    for (const Variant& v : kVariants) {
      if (!Applies(src, v)) continue;
      SCOPED_TRACE(std::string(src.Name) + " / " + v.Name);
      const std::string out = dir.File("v.tif");
      std::vector<std::string> argv{"/usr/bin/tiffcp"};
      argv.insert(argv.end(), v.Args.begin(), v.Args.end());
      argv.push_back(base);
      argv.push_back(out);
      if (RunTool(argv, dir.File("tiffcp.log")) != 0) {
        ADD_FAILURE() << "tiffcp refused";
        continue;
      }
      Decoded d;
      if (src.Photometric == PHOTOMETRIC_SEPARATED) {
        // libtiff's RGBA reading converts CMYK its own way: the ink values are compared.
        Decode(codectest::ReadFile(out), d, true);
        ASSERT_FALSE(d.Aborting);
        ASSERT_EQ(d.Bitmap.PixelFormat(), pxCMYK);
        int bad = 0;
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x)
            for (int s = 0; s < 4; ++s)
              if (255 - d.Bitmap.Scanline(y)[x * 4 + s] != int(SampleAt(x, y, s, src.Bits) >> (src.Bits - 8))) ++bad;
        EXPECT_EQ(bad, 0);
        continue;
      }
      int w = 0, h = 0;
      const std::vector<uint32_t> want = LibtiffRgba(out, w, h);
      ASSERT_EQ(w, kW);
      Decode(codectest::ReadFile(out), d);
      ASSERT_FALSE(d.Aborting);
      ASSERT_EQ(d.Bitmap.Width(), kW);
      ASSERT_EQ(d.Bitmap.Height(), kH);
      const bool jpeg = v.Need >= 2;
      int64_t sum = 0, worst = 0;
      for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
          const uint32_t p = want[size_t(y) * kW + size_t(x)];
          const int a = d.Mask ? d.Mask->GetPixel(x, y) : 255;
          TRGB c = d.Bitmap.PixelFormat() == px1g ? (((d.Bitmap.Scanline(y)[x / 8] >> (7 - x % 8)) & 1) ? TRGB{255, 255, 255}
                                                                                                         : TRGB{0, 0, 0})
                                                  : PixelOf(d.Bitmap, x, y);
          // libtiff hands alpha pictures back premultiplied.
          const int r = c.r * a / 255, g = c.g * a / 255, b = c.b * a / 255;
          const int diff = std::max({std::abs(r - int(TIFFGetR(p))), std::abs(g - int(TIFFGetG(p))),
                                     std::abs(b - int(TIFFGetB(p)))});
          if (src.Extra) {
            EXPECT_EQ(a, int(TIFFGetA(p))) << x << "," << y;
          }
          sum += diff;
          worst = std::max<int64_t>(worst, diff);
        }
      if (jpeg)
        EXPECT_LE(double(sum) / (kW * kH), 2.0);
      else
        EXPECT_LE(worst, src.Extra ? 2 : 1);
    }
  }
}

// Values libtiff's RGBA reading cannot give: compared with the samples as written.
TEST(TiffOracle, NativeSampleValues) {
  TestTempDir dir;
  struct Case {
    Source Src;
    TPXPixelFormat Format;
  };
  const Case cases[] = {
      {{"grey16", 16, 1, PHOTOMETRIC_MINISBLACK}, px16g},
      {{"signed16", 16, 1, PHOTOMETRIC_MINISBLACK, 0, 2}, px16g},
      {{"float", 32, 1, PHOTOMETRIC_MINISBLACK, 0, 3}, px32f},
      {{"rgb16", 16, 3, PHOTOMETRIC_RGB}, pxRGB48},
      {{"cmyk8", 8, 4, PHOTOMETRIC_SEPARATED}, pxCMYK},
      {{"grey8", 8, 1, PHOTOMETRIC_MINISBLACK}, px8g},
      {{"palette8", 8, 1, PHOTOMETRIC_PALETTE}, px8p},
  };
  for (const Case& c : cases)
    for (const char* comp : {"none", "lzw:2", "zip"})
      for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(std::string(c.Src.Name) + " " + comp + (bigEndian ? " MM" : " II"));
        const std::string src = dir.File("src.tif"), out = dir.File("out.tif");
        ASSERT_TRUE(WriteSource(src, c.Src));
        std::vector<std::string> argv{"/usr/bin/tiffcp", "-c", comp};
        if (bigEndian) argv.push_back("-B");
        argv.push_back(src);
        argv.push_back(out);
        ASSERT_EQ(RunTool(argv, dir.File("log")), 0);
        Decoded d;
        Decode(codectest::ReadFile(out), d, true);
        ASSERT_FALSE(d.Aborting);
        ASSERT_EQ(d.Bitmap.PixelFormat(), c.Format);
        int bad = 0;
        for (int y = 0; y < kH; ++y)
          for (int x = 0; x < kW; ++x)
            for (int s = 0; s < c.Src.Samples; ++s) {
              const uint8_t* row = d.Bitmap.Scanline(y);
              uint32_t got = 0, want = SampleAt(x, y, s, c.Src.Bits == 32 ? 8 : c.Src.Bits);
              switch (c.Format) {
                case px16g: {
                  uint16_t v;
                  std::memcpy(&v, row + x * 2, 2);
                  got = v;
                  if (c.Src.SampleFormat == 2) want ^= 0x8000;
                  break;
                }
                case px32f: {
                  float f;
                  std::memcpy(&f, row + x * 4, 4);
                  got = uint32_t(std::lround(f * 255));
                  break;
                }
                case pxRGB48: {
                  uint16_t v;
                  std::memcpy(&v, row + x * 6 + s * 2, 2);
                  got = v;
                  break;
                }
                case pxCMYK:
                  got = 255u - row[x * 4 + s];
                  break;
                default:
                  got = row[x];
              }
              if (got != want) ++bad;
            }
        EXPECT_EQ(bad, 0);
      }
}
