// Packed DIBs against independent readers and writers: BMP files we write are read back by
// ImageMagick (netpbm's bmptopnm ignores the masks of 16-bit bit-field files), and BMP files
// netpbm's ppmtobmp writes are read by us.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/common/TestSupport.h"
#include "tests/gdi/GdiTestSupport.h"

extern char** environ;

namespace {

bool HaveTool(const char* name) {
  for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"})
    if (access((std::string(dir) + name).c_str(), X_OK) == 0) return true;
  return false;
}


std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Parses a P6 or P5 file (maxval 255) into RGB triples.
bool ParsePnm(const std::vector<uint8_t>& d, int32_t& w, int32_t& h, std::vector<COLORREF>& px) {
  std::string head(d.begin(), d.begin() + std::min<size_t>(d.size(), 64));
  std::istringstream in(head);
  std::string magic;
  int32_t maxv;
  in >> magic >> w >> h >> maxv;
  if ((magic != "P6" && magic != "P5") || maxv != 255) return false;
  const size_t off = static_cast<size_t>(in.tellg()) + 1;
  const int32_t ch = magic == "P6" ? 3 : 1;
  if (d.size() < off + size_t(w) * h * ch) return false;
  px.clear();
  for (size_t i = 0; i < size_t(w) * h; ++i) {
    const uint8_t* p = d.data() + off + i * ch;
    px.push_back(ch == 3 ? RGB(p[0], p[1], p[2]) : RGB(p[0], p[0], p[0]));
  }
  return true;
}

std::vector<uint8_t> BmpFile(const std::vector<uint8_t>& dib) {
  BITMAPFILEHEADER fh;
  fh.bfType = 0x4D42;
  fh.bfSize = static_cast<DWORD>(14 + dib.size());
  BITMAPINFOHEADER ih;
  std::memcpy(&ih, dib.data(), 40);
  size_t table = ih.biBitCount <= 8 ? (size_t(1) << ih.biBitCount) * 4 : (ih.biCompression == BI_BITFIELDS ? 12 : 0);
  fh.bfOffBits = static_cast<DWORD>(14 + 40 + table);
  std::vector<uint8_t> out(14);
  std::memcpy(out.data(), &fh, 14);
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

}  // namespace

TEST(GdiDibOracle, ImageMagickReadsOurBmpFiles) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TestTempDir dir;
  for (int32_t bits : {1, 4, 8, 16, 24, 32}) {
    TestCanvas c(7, 5, bits);
    c.surface().SetPixel(0, 0, 0);
    c.surface().SetPixel(6, 4, 0);
    c.surface().SetPixel(3, 2, bits == 1 ? 0 : 0x0000FF);
    if (bits > 8) c.surface().SetPixel(4, 1, RGB(40, 80, 160));
    const std::string bmp = dir.File("t.bmp"), pnm = dir.File("t.pnm");
    WriteFile(bmp, BmpFile(PackedDIBFromSurface(c.surface())));
    ASSERT_EQ(RunTool({"convert", "bmp:" + bmp, "-depth", "8", "ppm:-"}, pnm), 0) << bits;
    int32_t w, h;
    std::vector<COLORREF> px;
    ASSERT_TRUE(ParsePnm(ReadFile(pnm), w, h, px)) << bits;
    ASSERT_EQ(w, 7);
    ASSERT_EQ(h, 5);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(px[size_t(y) * 7 + x], c.At(x, y)) << bits << " " << x << "," << y;
  }
}

TEST(GdiDibOracle, WeReadNetpbmBmpFiles) {
  if (!HaveTool("ppmtobmp")) GTEST_SKIP() << "netpbm is not installed";
  TestTempDir dir;
  // A 5x3 colour image with a few colours, as PPM.
  const COLORREF cols[15] = {0xFFFFFF, 0, 0x0000FF, 0x00FF00, 0xFF0000, 0, 0, 0x123456, 0x0000FF, 0xFFFFFF,
                             0xFF0000, 0xFF0000, 0, 0xFFFFFF, 0x00FF00};
  std::string ppm = "P6\n5 3\n255\n";
  for (COLORREF c : cols) {
    ppm += static_cast<char>(GetRValue(c));
    ppm += static_cast<char>(GetGValue(c));
    ppm += static_cast<char>(GetBValue(c));
  }
  WriteFile(dir.File("in.ppm"), std::vector<uint8_t>(ppm.begin(), ppm.end()));
  for (const char* bpp : {"24", "8"}) {
    const std::string out = dir.File("out.bmp");
    ASSERT_EQ(RunTool({"ppmtobmp", "-bpp", bpp, dir.File("in.ppm")}, out), 0) << bpp;
    const auto file = ReadFile(out);
    ASSERT_GT(file.size(), 14u);
    auto s = SurfaceFromPackedDIB(file.data() + 14, file.size() - 14);
    ASSERT_TRUE(s) << bpp;
    ASSERT_EQ(s->Width(), 5);
    ASSERT_EQ(s->Height(), 3);
    for (int32_t i = 0; i < 15; ++i) EXPECT_EQ(s->GetPixel(i % 5, i / 5), cols[i]) << bpp << " " << i;
  }
}
