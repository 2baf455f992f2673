// The BMP codec against ImageMagick and Pillow: files they write in every depth, header and RLE
// read as they read them, and files we write read by them as we read them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/bmpfilt.h"
#include "tests/codecs/BmpTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace bmptest;

namespace {

// Pillow: "make" writes the sources and its own BMPs into argv[2]; "dump" writes each file's
// pixels as Pillow reads them (8-bit RGBA) to <file>.pil.
constexpr const char* kPillowScript = R"PY(
import sys
from PIL import Image
def px(x, y):
    return ((x * 15) % 256, (y * 28) % 256, ((x + y) * 9) % 256)
if sys.argv[1] == 'make':
    d = sys.argv[2]
    w, h = 23, 13
    rgb = Image.new('RGB', (w, h)); rgb.putdata([px(x, y) for y in range(h) for x in range(w)])
    rgba = Image.new('RGBA', (w, h))
    rgba.putdata([px(x, y) + ((x * y * 7) % 256,) for y in range(h) for x in range(w)])
    rgb.save(d + 'src.png'); rgba.save(d + 'srca.png');
    rgb.save(d + 'pil_rgb.bmp'); rgba.save(d + 'pil_rgba.bmp')
    rgb.convert('L').save(d + 'pil_l.bmp'); rgb.convert('1').save(d + 'pil_1.bmp')
    rgb.quantize(200).save(d + 'pil_p.bmp')
else:
    for f in sys.argv[2:]:
        open(f + '.pil', 'wb').write(Image.open(f).convert('RGBA').tobytes())
)PY";

bool HaveTools() { return ToolExists(kPython) && ToolExists(kConvert); }

int RunPython(const TestTempDir& Dir, const std::vector<std::string>& Args) {
  std::vector<std::string> argv{kPython, "-c", kPillowScript};
  argv.insert(argv.end(), Args.begin(), Args.end());
  return RunTool(argv, Dir.File("python.out"));
}

// ImageMagick's reading of a file as 8-bit RGBA.
std::string ImRgba(const TestTempDir& Dir, const std::string& File) {
  const std::string out = File + ".im";
  if (RunTool({kConvert, File, "-depth", "8", "rgba:" + out}, Dir.File("convert.out")) != 0) return {};
  return ReadFile(out);
}

// Ours as 8-bit RGBA.
std::string OurRgba(const std::string& File, bool& Aborted) {
  Decoded d = DecodeBmp(ReadFile(File));
  Aborted = d.Aborted;
  std::string out;
  const int32_t w = d.Bitmap->Width(), h = d.Bitmap->Height();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TRGB c = d.Pixel(x, y);
      out += Bytes({c.r, c.g, c.b, d.Alpha(x, y)});
    }
  return out;
}

// Compares RGBA byte strings; alpha only with CheckAlpha.
void ExpectSamePixels(const std::string& Ours, const std::string& Theirs, int Tolerance, bool CheckAlpha,
                      const std::string& What) {
  ASSERT_EQ(Ours.size(), Theirs.size()) << What;
  int bad = 0;
  for (size_t i = 0; i < Ours.size() && bad < 5; ++i) {
    if (i % 4 == 3 && !CheckAlpha) continue;
    const int a = static_cast<uint8_t>(Ours[i]), b = static_cast<uint8_t>(Theirs[i]);
    if (std::abs(a - b) > Tolerance) {
      ADD_FAILURE() << What << ": byte " << i << " ours " << a << " theirs " << b;
      ++bad;
    }
  }
}

TEST(BmpOracle, FilesFromImageMagickAndPillowReadAsTheyReadThem) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  TestTempDir dir;
  ASSERT_EQ(RunPython(dir, {"make", dir.Path()}), 0);
  const std::string src = dir.File("src.png"), srca = dir.File("srca.png");
  const struct {
    std::string Name;
    std::vector<std::string> Args;  // convert arguments between source and target
    bool WithAlpha;
  } im[] = {
      {"im_v2.bmp", {}, false},                                                  // 12-byte core header
      {"im_v3.bmp", {}, false},                                                  // 40 bytes, 24 bits
      {"im_v5.bmp", {}, false},                                                  // 124 bytes
      {"im_rgba.bmp", {}, true},                                                 // 32 bits, bit fields, alpha
      {"im_p8.bmp", {"-type", "palette", "-compress", "none"}, false},           // 8 bits
      {"im_p4.bmp", {"-colors", "16", "-type", "palette", "-compress", "none"}, false},  // 4 bits
      {"im_rle8.bmp", {"-type", "palette", "-compress", "RLE"}, false},
      {"im_rle16.bmp", {"-colors", "16", "-type", "palette", "-compress", "RLE"}, false},
      {"im_1.bmp", {"-type", "bilevel"}, false},
      {"im_565.bmp", {"-define", "bmp:subtype=RGB565"}, false},
      {"im_555.bmp", {"-define", "bmp:subtype=RGB555"}, false},
  };
  for (const auto& c : im) {
    SCOPED_TRACE(c.Name);
    std::string prefix = c.Name == "im_v2.bmp" ? "bmp2:" : c.Name == "im_v5.bmp" || c.Name == "im_rgba.bmp" ||
                                                                   c.Name.starts_with("im_5")
                                                               ? "bmp:"
                                                               : "bmp3:";
    // The source is 23 wide: ImageMagick's RLE rows carry pixels past the row's end.
    std::vector<std::string> argv{kConvert, c.WithAlpha ? srca : src};
    argv.insert(argv.end(), c.Args.begin(), c.Args.end());
    argv.push_back(prefix + dir.File(c.Name));
    ASSERT_EQ(RunTool(argv, dir.File("convert.out")), 0);
    bool aborted = true;
    const std::string ours = OurRgba(dir.File(c.Name), aborted);
    EXPECT_FALSE(aborted);
    ExpectSamePixels(ours, ImRgba(dir, dir.File(c.Name)), 0, true, c.Name);
  }
  // Pillow's files; Pillow reads 32-bit BMPs without their alpha, so alpha is compared for none.
  for (const char* name : {"pil_rgb.bmp", "pil_rgba.bmp", "pil_l.bmp", "pil_1.bmp", "pil_p.bmp"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(RunPython(dir, {"dump", dir.File(name)}), 0);
    bool aborted = true;
    const std::string ours = OurRgba(dir.File(name), aborted);
    EXPECT_FALSE(aborted);
    ExpectSamePixels(ours, ReadFile(dir.File(name) + ".pil"), 0, false, name);
  }
}

TEST(BmpOracle, FilesWeWriteReadInImageMagickAndPillowAsWeReadThem) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  TestTempDir dir;
  auto pic = PatternBitmap(23, 13, true);
  const struct {
    std::string Name;
    int Bits;
    int Samples;
    int Version;
    int Compression;
    bool SaveAlpha;
    bool PillowReads;  // Pillow has no RLE4 and no 64-byte header reader of its own
  } cases[] = {
      {"w1.bmp", 1, 1, 1, 0, false, true},    {"w4.bmp", 4, 1, 1, 0, false, true},
      {"w8.bmp", 8, 1, 1, 0, false, true},    {"w24.bmp", 8, 3, 1, 0, false, true},
      {"w32.bmp", 8, 3, 1, 0, true, true},    {"wrle8.bmp", 8, 1, 1, 1, false, true},
      {"wrle4.bmp", 4, 1, 1, 1, false, false}, {"wcore.bmp", 8, 1, 2, 0, false, true},
      {"w64.bmp", 8, 3, 3, 0, false, false},
  };
  std::vector<std::string> pillowFiles;
  for (const auto& c : cases) {
    TIOParams p;
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.BMP_Version = static_cast<uint8_t>(c.Version);
    p.BMP_Compression = static_cast<uint8_t>(c.Compression);
    bool aborted = true;
    WriteFile(dir.File(c.Name), EncodeBmp(pic.get(), &p, c.SaveAlpha, &aborted));
    ASSERT_FALSE(aborted) << c.Name;
    if (c.PillowReads) pillowFiles.push_back(dir.File(c.Name));
  }
  std::vector<std::string> dump{"dump"};
  dump.insert(dump.end(), pillowFiles.begin(), pillowFiles.end());
  ASSERT_EQ(RunPython(dir, dump), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    bool aborted = true;
    const std::string ours = OurRgba(dir.File(c.Name), aborted);
    EXPECT_FALSE(aborted);
    ExpectSamePixels(ours, ImRgba(dir, dir.File(c.Name)), 0, true, c.Name + " ImageMagick");
    if (c.PillowReads) ExpectSamePixels(ours, ReadFile(dir.File(c.Name) + ".pil"), 0, false, c.Name + " Pillow");
  }
}

}  // namespace
