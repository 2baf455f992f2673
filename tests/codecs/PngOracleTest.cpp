// The PNG codec against independent implementations: files made by ImageMagick and Pillow in
// every colour type, depth and interlace read as those tools read them; files we write pass
// pngcheck and read in Pillow to our pixels and alpha.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/pngfilt.h"
#include "core/pxxBitmaps_mask.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/codecs/PngTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace codectest;
using namespace pngtest;

namespace {

constexpr const char* kPngcheck = "/usr/bin/pngcheck";

// Pillow: makes the sources and its own fixtures (argv[1] = folder), or with "dump" writes each
// file's pixels as Pillow reads them (8-bit RGBA; 16-bit grey keeps its high byte) to <file>.rgba.
constexpr const char* kPillowScript = R"PY(
import sys
from PIL import Image
def pixel(x, y):
    return ((x * 15) % 256, (y * 28) % 256, ((x + y) * 9) % 256)
if sys.argv[1] == 'make':
    d = sys.argv[2]
    w, h = 17, 9
    rgb = Image.new('RGB', (w, h)); rgb.putdata([pixel(x, y) for y in range(h) for x in range(w)])
    rgba = Image.new('RGBA', (w, h))
    rgba.putdata([pixel(x, y) + ((x * y * 7) % 256,) for y in range(h) for x in range(w)])
    rgb.save(d + 'src.ppm'); rgba.save(d + 'srca.png')
    grey = rgb.convert('L')
    rgb.save(d + 'pil_rgb.png'); rgba.save(d + 'pil_rgba.png'); grey.save(d + 'pil_l.png')
    grey.convert('1').save(d + 'pil_1.png')
    rgba.convert('LA').save(d + 'pil_la.png')
    i16 = Image.new('I', (w, h)); i16.putdata([(x * 3851 + y * 977) % 65536 for y in range(h) for x in range(w)])
    i16.convert('I;16').save(d + 'pil_i16.png')
    for bits in (1, 2, 4, 8):
        p = rgb.quantize(1 << bits, dither=Image.Dither.NONE)
        p.save(d + 'pil_p%d.png' % bits, bits=bits)
    p = rgb.quantize(16, dither=Image.Dither.NONE)
    p.save(d + 'pil_ptrns.png', transparency=bytes([0, 60, 120, 255, 30]))
    grey.save(d + 'pil_ltrns.png', transparency=grey.getpixel((3, 2)))
    rgb.save(d + 'pil_rgbtrns.png', transparency=pixel(4, 1))
else:
    for f in sys.argv[2:]:
        im = Image.open(f)
        if im.mode in ('I', 'I;16'):
            data = bytes(b for v in im.getdata() for b in (v >> 8, v >> 8, v >> 8, 255))
        else:
            data = im.convert('RGBA').tobytes()
        open(f + '.rgba', 'wb').write(data)
)PY";

bool HaveTools() { return ToolExists(kPython) && ToolExists(kConvert) && ToolExists(kPngcheck); }

int RunPython(const TestTempDir& Dir, const std::vector<std::string>& Args) {
  std::vector<std::string> argv{kPython, "-c", kPillowScript};
  argv.insert(argv.end(), Args.begin(), Args.end());
  return RunTool(argv, Dir.File("python.out"));
}

// Our decode as 8-bit RGBA bytes.
std::string OurRgba(const std::string& File, bool& Aborted) {
  Decoded d = Decode(File);
  Aborted = d.Aborted;
  std::string out;
  TPXBitmap* b = d.Bitmap.get();
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x) {
      if (b->PixelFormat() == px1g) {
        const char v = GetPixelBit(b->Scanline(y), x) ? char(255) : char(0);
        out += std::string{v, v, v, char(255)};
      } else {
        const uint32_t p = Rgba(b, x, y);
        out += std::string{char(p >> 24), char(p >> 16), char(p >> 8), char(p)};
      }
    }
  return out;
}

// Largest difference of two byte strings of equal length, 256 when the lengths differ.
int MaxDifference(const std::string& A, const std::string& B) {
  if (A.size() != B.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < A.size(); ++i) worst = std::max(worst, std::abs(uint8_t(A[i]) - uint8_t(B[i])));
  return worst;
}

struct Fixture {
  std::string Name;
  std::vector<std::string> ConvertArgs;  // empty: made by Pillow
  int ColorType;
  int Depth;
  std::string Out = "png:";
};

TEST(PngOracle, FilesOfOtherToolsReadAsTheyReadThem) {
  if (!HaveTools()) GTEST_SKIP() << "python3-pil, imagemagick or pngcheck missing";
  TestTempDir dir;
  ASSERT_EQ(RunPython(dir, {"make", dir.Path()}), 0);
  const std::string src = dir.File("src.ppm"), srca = dir.File("srca.png");
  auto grey = [&](int d) {
    return std::vector<std::string>{src, "-colorspace", "Gray", "-depth", std::to_string(d), "-define",
                                    "png:color-type=0", "-define", "png:bit-depth=" + std::to_string(d)};
  };
  auto typed = [&](const std::string& in, int t, int d) {
    return std::vector<std::string>{in, "-define", "png:color-type=" + std::to_string(t), "-define",
                                    "png:bit-depth=" + std::to_string(d)};
  };
  auto palette = [&](int d, int colours) {
    return std::vector<std::string>{src, "+dither", "-colors", std::to_string(colours), "-define",
                                    "png:color-type=3", "-define", "png:bit-depth=" + std::to_string(d)};
  };
  std::vector<Fixture> table = {
      {"im_g1", grey(1), 0, 1}, {"im_g2", grey(2), 0, 2}, {"im_g4", grey(4), 0, 4}, {"im_g8", grey(8), 0, 8},
      {"im_g16", grey(16), 0, 16}, {"im_rgb8", typed(src, 2, 8), 2, 8}, {"im_rgb16", typed(src, 2, 16), 2, 16},
      {"im_p1",
       {src, "-colorspace", "Gray", "-threshold", "50%", "-type", "palette", "-define", "png:bit-depth=1", "-define",
        "png:color-type=3"},
       3, 1},
      {"im_p2", palette(2, 3), 3, 2}, {"im_p4", palette(4, 15), 3, 4}, {"im_p8", palette(8, 256), 3, 8},
      {"im_ga8", {srca, "-colorspace", "Gray", "-define", "png:color-type=4", "-define", "png:bit-depth=8"}, 4, 8},
      {"im_ga16", {srca, "-colorspace", "Gray", "-define", "png:color-type=4", "-define", "png:bit-depth=16"}, 4, 16},
      {"im_rgba8", typed(srca, 6, 8), 6, 8}, {"im_rgba16", typed(srca, 6, 16), 6, 16},
      {"im_ptrns", {srca, "-channel", "A", "-threshold", "50%", "+channel", "+dither", "-colors", "16"}, 3, 8, "png8:"},
  };
  // Every ImageMagick file also interlaced.
  for (size_t i = 0, n = table.size(); i < n; ++i) {
    Fixture f = table[i];
    f.Name += "_adam7";
    f.ConvertArgs.insert(f.ConvertArgs.begin() + 1, {"-interlace", "PNG"});
    table.push_back(f);
  }
  for (const Fixture& f : std::vector<Fixture>{{"pil_1", {}, 0, 1},     {"pil_l", {}, 0, 8},
                                               {"pil_i16", {}, 0, 16},  {"pil_la", {}, 4, 8},
                                               {"pil_rgb", {}, 2, 8},   {"pil_rgba", {}, 6, 8},
                                               {"pil_p1", {}, 3, 1},    {"pil_p2", {}, 3, 2},
                                               {"pil_p4", {}, 3, 4},    {"pil_p8", {}, 3, 8},
                                               {"pil_ptrns", {}, 3, 4}, {"pil_ltrns", {}, 0, 8},
                                               {"pil_rgbtrns", {}, 2, 8}})
    table.push_back(f);

  std::vector<std::string> pillowFiles;
  for (const Fixture& f : table) {
    const std::string file = dir.File(f.Name + ".png");
    if (f.ConvertArgs.empty()) {
      pillowFiles.push_back(file);
      continue;
    }
    std::vector<std::string> argv{kConvert};
    argv.insert(argv.end(), f.ConvertArgs.begin(), f.ConvertArgs.end());
    argv.push_back(f.Out + file);
    ASSERT_EQ(RunTool(argv, dir.File("convert.out")), 0) << f.Name;
    ASSERT_EQ(RunTool({kConvert, file, "-depth", "8", "rgba:" + file + ".rgba"}, dir.File("convert.out")), 0)
        << f.Name;
  }
  std::vector<std::string> dumpArgs{"dump"};
  dumpArgs.insert(dumpArgs.end(), pillowFiles.begin(), pillowFiles.end());
  ASSERT_EQ(RunPython(dir, dumpArgs), 0);

  for (const Fixture& f : table) {
    SCOPED_TRACE(f.Name);
    const std::string file = ReadFile(dir.File(f.Name + ".png"));
    ASSERT_GT(file.size(), 33u);
    // The tool made the layout the table names.
    EXPECT_EQ(uint8_t(file[25]), f.ColorType);
    EXPECT_EQ(uint8_t(file[24]), f.Depth);
    EXPECT_EQ(file[28] != 0, f.Name.ends_with("_adam7"));
    bool aborted = true;
    const std::string ours = OurRgba(file, aborted);
    EXPECT_FALSE(aborted);
    // 16-bit samples: the tools may round where we keep the high byte.
    EXPECT_LE(MaxDifference(ours, ReadFile(dir.File(f.Name + ".png.rgba"))), f.Depth == 16 ? 1 : 0);
  }
}

struct WriteCase {
  const char* Name;
  int32_t Samples;
  int32_t Bits;
  TPXPixelFormat Format;
  bool Alpha;
  bool Interlaced;
  int ColorType;
  int Depth;
};

TEST(PngOracle, FilesWeWritePassPngcheckAndReadInPillow) {
  if (!HaveTools()) GTEST_SKIP() << "python3-pil, imagemagick or pngcheck missing";
  TestTempDir dir;
  const int w = 23, h = 11;
  const WriteCase cases[] = {
      {"rgb", 3, 8, px24RGB, false, false, 2, 8},          {"rgba", 3, 8, px24RGB, true, false, 6, 8},
      {"rgba_adam7", 3, 8, px24RGB, true, true, 6, 8},     {"palette", 1, 8, px24RGB, false, false, 3, 8},
      {"palette_alpha", 1, 8, px24RGB, true, true, 3, 8},  {"grey8", 1, 8, px8g, false, false, 0, 8},
      {"grey16", 1, 16, px16g, false, true, 0, 16},         {"mono", 1, 1, px1g, false, false, 0, 1},
      {"palette_px8p", 1, 8, px8p, false, false, 3, 8},
  };
  std::vector<std::string> files;
  std::vector<std::string> expected;
  for (const WriteCase& c : cases) {
    auto pic = TPXBitmap::CreateAllocated(w, h, c.Format);
    auto mask = std::make_unique<TPXMask>();
    mask->AllocateBits(w, h, 8);
    std::string want;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // Few colours, so that palettes hold them exactly.
        const int k = (x / 3 + y / 2) % 7;
        const TRGB col{uint8_t(k * 30), uint8_t(200 - k * 20), uint8_t(k * 37)};
        const uint16_t v16 = uint16_t(x * 2843 + y * 611);
        const uint8_t alpha = c.Alpha ? ((x + y) % 4 == 0 ? 0 : c.ColorType == 6 ? uint8_t(x * 11) : 255) : 255;
        mask->SetPixel(x, y, alpha);
        uint8_t r = col.r, g = col.g, b = col.b;
        switch (c.Format) {
          case px8g: pic->Scanline(y)[x] = r = g = b = uint8_t(k * 36); break;
          case px16g:
            reinterpret_cast<uint16_t*>(pic->Scanline(y))[x] = v16;
            r = g = b = uint8_t(v16 >> 8);
            break;
          case px1g:
            SetPixelBit(pic->Scanline(y), x, k & 1);
            r = g = b = (k & 1) ? 255 : 0;
            break;
          case px8p:
            pic->SetPaletteColor(k, col);
            pic->Scanline(y)[x] = uint8_t(k);
            break;
          default: reinterpret_cast<TRGB*>(pic->Scanline(y))[x] = col;
        }
        // Transparent palette pixels take entry 0, the background (black here).
        if (c.ColorType == 3 && alpha == 0) r = g = b = 0;
        want += std::string{char(r), char(g), char(b), char(alpha)};
      }
    TIOParams params;
    params.SamplesPerPixel = c.Samples;
    params.BitsPerSample = c.Bits;
    params.PNG_Interlaced = c.Interlaced;
    params.PNG_TextKeys = {"Comment"};
    params.PNG_TextValues = {"caf\xC3\xA9 \xE2\x82\xAC"};
    TMemoryStream stream;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
    EncodePngStream(&stream, pic.get(), &params, progress, c.Alpha ? mask.get() : nullptr);
    ASSERT_FALSE(flag) << c.Name;
    const std::string file(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
    EXPECT_EQ(uint8_t(file[25]), c.ColorType) << c.Name;
    EXPECT_EQ(uint8_t(file[24]), c.Depth) << c.Name;
    const std::string name = dir.File(std::string(c.Name) + ".png");
    std::ofstream(name, std::ios::binary) << file;
    EXPECT_EQ(RunTool({kPngcheck, "-q", name}, dir.File("pngcheck.out")), 0)
        << c.Name << ": " << ReadFile(dir.File("pngcheck.out"));
    files.push_back(name);
    expected.push_back(want);
  }
  std::vector<std::string> dumpArgs{"dump"};
  dumpArgs.insert(dumpArgs.end(), files.begin(), files.end());
  ASSERT_EQ(RunPython(dir, dumpArgs), 0);
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(MaxDifference(ReadFile(files[i] + ".rgba"), expected[i]), 0) << cases[i].Name;
}

}  // namespace
