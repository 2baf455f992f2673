// The icon codec against Pillow and ImageMagick: icons they write (DIB and PNG entries) read as
// they read them, and icons we write read by them as we read them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/bmpfilt.h"
#include "tests/codecs/BmpTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace bmptest;

namespace {

// Pillow: "make" writes a source PNG and icons with DIB and with PNG entries into argv[2];
// "dump" writes every entry of each icon, in directory order, as Pillow reads it (8-bit RGBA) to
// <file>.<i>.pil.
constexpr const char* kPillowScript = R"PY(
import sys
from PIL import Image
def px(x, y):
    return ((x * 15) % 256, (y * 28) % 256, ((x + y) * 9) % 256, 0 if (x + y) % 7 == 0 else 255)
if sys.argv[1] == 'make':
    d = sys.argv[2]
    w = h = 48
    im = Image.new('RGBA', (w, h)); im.putdata([px(x, y) for y in range(h) for x in range(w)])
    im.save(d + 'src.png')
    im.save(d + 'pil_png.ico', sizes=[(16, 16), (32, 32), (48, 48)])
    im.save(d + 'pil_bmp.ico', sizes=[(16, 16), (32, 32), (48, 48)], bitmap_format='bmp')
else:
    for f in sys.argv[2:]:
        ico = Image.open(f).ico
        data = open(f, 'rb').read()
        for i in range(data[4] | data[5] << 8):
            e = data[6 + 16 * i:]
            size = (e[0] or 256, e[1] or 256)
            open('%s.%d.pil' % (f, i), 'wb').write(ico.getimage(size).convert('RGBA').tobytes())
)PY";

bool HaveTools() { return ToolExists(kPython) && ToolExists(kConvert); }

int RunPython(const TestTempDir& Dir, const std::vector<std::string>& Args) {
  std::vector<std::string> argv{kPython, "-c", kPillowScript};
  argv.insert(argv.end(), Args.begin(), Args.end());
  return RunTool(argv, Dir.File("python.out"));
}

std::string ImRgba(const TestTempDir& Dir, const std::string& File, int Index) {
  const std::string out = File + "." + std::to_string(Index) + ".im";
  if (RunTool({kConvert, File + "[" + std::to_string(Index) + "]", "-depth", "8", "rgba:" + out},
              Dir.File("convert.out")) != 0)
    return {};
  return ReadFile(out);
}

std::string OurRgba(const std::string& File, int Index, bool& Aborted) {
  Decoded d = DecodeIco(ReadFile(File), {.Index = Index});
  Aborted = d.Aborted;
  std::string out;
  const int32_t w = d.Bitmap->Width(), h = d.Bitmap->Height();
  TPXBitmap* alpha = d.Bitmap->PeekAlphaChannel();  // PNG entries bring their alpha themselves
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TRGB c = d.Pixel(x, y);
      const int a = d.Mask ? d.Alpha(x, y) : alpha ? alpha->Scanline(y)[x] : 255;
      out += Bytes({c.r, c.g, c.b, a});
    }
  return out;
}

// Alpha everywhere; colours where the pixel is not wholly transparent.
void ExpectSamePixels(const std::string& Ours, const std::string& Theirs, const std::string& What) {
  ASSERT_EQ(Ours.size(), Theirs.size()) << What;
  int bad = 0;
  for (size_t p = 0; p + 3 < Ours.size() && bad < 5; p += 4)
    for (size_t i = 0; i < 4; ++i) {
      if (i < 3 && Theirs[p + 3] == 0) continue;
      if (Ours[p + i] != Theirs[p + i]) {
        ADD_FAILURE() << What << ": byte " << p + i << " ours " << int(uint8_t(Ours[p + i])) << " theirs "
                      << int(uint8_t(Theirs[p + i]));
        ++bad;
      }
    }
}

TEST(IcoOracle, IconsFromPillowAndImageMagickReadAsTheyReadThem) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  TestTempDir dir;
  ASSERT_EQ(RunPython(dir, {"make", dir.Path()}), 0);
  ASSERT_EQ(RunTool({kConvert, dir.File("src.png"), "-define", "icon:auto-resize=48,32,16", dir.File("im.ico")},
                    dir.File("convert.out")),
            0);
  ASSERT_EQ(RunPython(dir, {"dump", dir.File("pil_png.ico"), dir.File("pil_bmp.ico")}), 0);
  for (const char* name : {"pil_png.ico", "pil_bmp.ico", "im.ico"}) {
    const std::string file = dir.File(name);
    const int count = GetIcoImageCount(StreamOf(ReadFile(file)).get());
    EXPECT_EQ(count, 3) << name;
    for (int i = 0; i < count; ++i) {
      SCOPED_TRACE(std::string(name) + " " + std::to_string(i));
      bool aborted = true;
      const std::string ours = OurRgba(file, i, aborted);
      EXPECT_FALSE(aborted);
      const std::string theirs = std::string(name) == "im.ico" ? ImRgba(dir, file, i)
                                                               : ReadFile(file + "." + std::to_string(i) + ".pil");
      ExpectSamePixels(ours, theirs, name);
    }
  }
}

TEST(IcoOracle, CursorsFromImageMagickReadAsItReadsThem) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  TestTempDir dir;
  ASSERT_EQ(RunPython(dir, {"make", dir.Path()}), 0);
  for (const char* type : {"TrueColorAlpha", "Palette"}) {
    SCOPED_TRACE(type);
    const std::string file = dir.File(std::string(type) + ".cur");
    ASSERT_EQ(RunTool({kConvert, dir.File("src.png"), "-resize", "32x32", "-type", type, "cur:" + file},
                      dir.File("convert.out")),
              0);
    // ImageMagick writes its cursors with the icon type and no hot spot: make it a cursor.
    std::string data = ReadFile(file);
    data[2] = 2;
    data[10] = 3;
    data[12] = 5;
    WriteFile(file, data);
    Decoded d = DecodeCur(data);
    ASSERT_FALSE(d.Aborted);
    EXPECT_EQ(d.Params->CUR_XHotSpot, 3);
    EXPECT_EQ(d.Params->CUR_YHotSpot, 5);
    std::string ours;
    for (int32_t y = 0; y < d.Bitmap->Height(); ++y)
      for (int32_t x = 0; x < d.Bitmap->Width(); ++x) {
        const TRGB c = d.Pixel(x, y);
        ours += Bytes({c.r, c.g, c.b, d.Alpha(x, y)});
      }
    ExpectSamePixels(ours, ImRgba(dir, file, 0), type);
  }
}

TEST(IcoOracle, IconsWeWriteReadInPillowAndImageMagickAsWeReadThem) {
  if (!HaveTools()) GTEST_SKIP() << "ImageMagick or Pillow missing";
  TestTempDir dir;
  auto pic = PatternBitmap(40, 40, true);
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 40; ++x) pic->SetAlpha(x, y, (x + y) % 5 == 0 ? 0 : 255);
  const std::vector<TPXIcoSize> sizes = {{16, 16}, {32, 32}, {48, 48}, {24, 24}, {20, 20}};
  const std::vector<int32_t> bits = {32, 24, 8, 4, 1};
  for (bool png : {false, true}) {
    const std::string file = dir.File(png ? "ours_png.ico" : "ours_dib.ico");
    TIOParams p;
    p.ICO_PNG = png;
    TMemoryStream s;
    TPXAbortFlag abort{false};
    TPXProgressRecord progress;
    progress.Aborting = &abort;
    EncodeIcoStream(&s, pic.get(), &p, progress, png ? std::span(sizes).first(2) : std::span(sizes),
                    png ? std::span(bits).first(2) : std::span(bits));
    ASSERT_FALSE(abort);
    WriteFile(file, BytesOf(s));
    ASSERT_EQ(RunPython(dir, {"dump", file}), 0);
    for (int i = 0; i < (png ? 2 : 5); ++i) {
      SCOPED_TRACE(file + " " + std::to_string(i));
      bool aborted = true;
      const std::string ours = OurRgba(file, i, aborted);
      EXPECT_FALSE(aborted);
      ExpectSamePixels(ours, ReadFile(file + "." + std::to_string(i) + ".pil"), "Pillow");
      ExpectSamePixels(ours, ImRgba(dir, file, i), "ImageMagick");
    }
  }
}

}  // namespace
