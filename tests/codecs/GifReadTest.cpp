// The GIF reader: a table of gifbuild and Pillow fixtures checked frame by frame against giflib's
// giftext (indices, colour tables, graphic controls) and Pillow's pixels, the pixel formats, the
// mask, progress, preview and abort, and the mended faults (indices past the table, frames
// without a table, sizes the data cannot fill, an index past the frames).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/giffilter.h"
#include "tests/codecs/GifTestSupport.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace giftest;

namespace {

bool Same(const TRGB& A, const TRGB& B) { return A.r == B.r && A.g == B.g && A.b == B.b; }

// Two frames: an interlaced one with a local table of 2 under a graphic control, then one at
// (1, 2) on the global table of 4 whose transparent index 0 is used; comments before and after.
const char* kTwoFrames = R"(screen width 6
screen height 10
screen colors 4
screen background 1
pixel aspect byte 49
screen map
	rgb 000 000 000 is a
	rgb 255 255 255 is b
	rgb 255 000 000 is c
	rgb 000 255 000 is d
end
comment
first line
second
end
graphics control
	disposal mode 1
	delay 7
	transparent index 1
end
image
image left 0
image top 0
image interlaced
image map
	rgb 010 020 030 is w
	rgb 040 050 060 is x
end
image bits 4 by 10
wxww
xwww
wwxw
wwwx
xxww
wxxw
wwxx
xwwx
xxxx
wwww
graphics control
	disposal mode 2
	delay 20
	transparent index 0
end
image
image left 1
image top 2
image bits 3 by 3
abc
dab
cda
comment
tail
end
)";

// Sixteen colours on the screen, a frame with a local table of 8 after it.
std::string SixteenAndEight() {
  std::string s = "screen width 5\nscreen height 4\nscreen colors 16\nscreen map\n";
  for (int i = 0; i < 16; ++i)
    s += "\trgb " + std::to_string(i * 16) + " " + std::to_string(255 - i * 16) + " " + std::to_string(i * 3) +
         " is " + char('a' + i) + "\n";
  s += "end\nimage\nimage bits 5 by 4\nabcde\nfghij\nklmno\npabcd\n";
  s += "image\nimage map\n";
  for (int i = 0; i < 8; ++i) s += "\trgb " + std::to_string(i * 30) + " 7 9 is " + char('A' + i) + "\n";
  s += "end\nimage bits 4 by 3\nABCD\nEFGH\nHGFE\n";
  return s;
}

const char* kPillow256 =
    "im = Image.new('P', (20, 18))\nim.putpalette([(i * 7) % 256 for i in range(768)])\n"
    "im.putdata([(x * 7 + y * 13) % 256 for y in range(18) for x in range(20)])\nim.save(sys.argv[1])\n";
const char* kPillowFrames =
    "frames = []\nfor k in range(5):\n"
    "    im = Image.new('P', (24, 20))\n"
    "    im.putpalette([(i * (k + 3)) % 256 for i in range(768)])\n"
    "    im.putdata([((x + k) // 3 + y * k) % (8 + k) for y in range(20) for x in range(24)])\n"
    "    frames.append(im)\n"
    "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=[10, 20, 30, 40, 50],\n"
    "               disposal=[0, 1, 2, 3, 1], transparency=1, comment=b'pillow comment', loop=0)\n";
const char* kPillowTwo =
    "im = Image.new('1', (9, 7))\nim.putdata([255 * ((x * y + x) % 3 == 0) for y in range(7) for x in range(9)])\n"
    "im.save(sys.argv[1])\n";
const char* kPillowTransparent =
    "im = Image.new('P', (40, 20))\nim.putpalette([v for i in range(32) for v in (i * 8, 255 - i * 8, 60)])\n"
    "im.putdata([(x + y) % 32 for y in range(20) for x in range(40)])\nim.save(sys.argv[1], transparency=5)\n";

struct Fixture {
  const char* Name;
  bool Pillow;  // made by Pillow (else gifbuild)
  std::string Source;
};

// Checks every frame of File against giflib's view of it.
void CheckAgainstGiflib(const TestTempDir& Dir, const std::string& File, bool SingleFrameAgainstPillow) {
  GiflibView v;
  ASSERT_TRUE(ReadGiflib(Dir, File, v)) << File;
  const std::string bytes = ReadFile(File);
  const int frames = int(v.Frames.size());
  for (int k = 0; k < frames; ++k) {
    SCOPED_TRACE("frame " + std::to_string(k));
    const GiflibFrame& f = v.Frames[size_t(k)];
    Decoded d = DecodeGif(bytes, {.Index = k});
    ASSERT_FALSE(d.Aborted);
    EXPECT_EQ(d.Count, frames);
    TIOParams& p = *d.Params;
    EXPECT_EQ(p.GIF_Version, bytes.substr(0, 6));
    EXPECT_EQ(p.GIF_ScreenWidth, v.ScreenWidth);
    EXPECT_EQ(p.GIF_ScreenHeight, v.ScreenHeight);
    EXPECT_EQ(p.GIF_AspectRatio, v.Aspect);
    if (!v.GlobalMap.empty()) {
      EXPECT_TRUE(Same(p.GIF_Background, v.GlobalMap[size_t(v.Background)]));
    }
    EXPECT_EQ(p.GIF_XPos, f.Left);
    EXPECT_EQ(p.GIF_YPos, f.Top);
    EXPECT_EQ(p.Width, f.Width);
    EXPECT_EQ(p.Height, f.Height);
    EXPECT_EQ(p.OriginalWidth, f.Width);
    EXPECT_EQ(p.GIF_Interlaced, f.Interlaced);
    EXPECT_EQ(p.GIF_DelayTime, f.HasControl ? f.Delay : 0);
    EXPECT_EQ(p.GIF_Disposal, f.HasControl ? f.Disposal : 0);
    EXPECT_EQ(p.GIF_HasTransparentColor, f.Transparent);
    EXPECT_EQ(p.SamplesPerPixel, 1);
    EXPECT_EQ(p.DpiX, 300);
    EXPECT_EQ(p.DpiY, 300);
    EXPECT_EQ(p.ImageCount, frames);
    ASSERT_EQ(p.ColorMapCount, int(f.Map.size()));
    EXPECT_EQ(1 << p.BitsPerSample, p.ColorMapCount);
    for (size_t i = 0; i < f.Map.size(); ++i) EXPECT_TRUE(Same(p.ColorMap[i], f.Map[i])) << i;
    if (f.Transparent) {
      EXPECT_TRUE(Same(p.GIF_TransparentColor, f.Map[size_t(f.TransparentIndex)]));
    }

    // The indices themselves, through the native format.
    Decoded n = DecodeGif(bytes, {.Index = k, .Native = true});
    ASSERT_EQ(n.Bitmap->PixelFormat(), px8p);
    bool used = false;
    for (int y = 0; y < f.Height; ++y)
      for (int x = 0; x < f.Width; ++x) {
        const uint8_t index = f.Indices[size_t(y) * size_t(f.Width) + size_t(x)];
        ASSERT_EQ(n.Bitmap->Scanline(y)[x], index) << x << "," << y;
        ASSERT_TRUE(Same(d.Pixel(x, y), f.Map[index])) << x << "," << y;
        const bool clear = f.Transparent && index == f.TransparentIndex;
        used = used || clear;
        if (d.Mask) {
          ASSERT_EQ(d.Mask->GetPixel(x, y), clear ? 0 : 255) << x << "," << y;
        }
      }
    EXPECT_EQ(d.Mask != nullptr, used);
  }
  if (SingleFrameAgainstPillow && frames == 1) {
    smallcodec::Plain pil;
    ASSERT_TRUE(smallcodec::PillowRgb(Dir, File, pil));
    Decoded d = DecodeGif(bytes);
    EXPECT_EQ(smallcodec::RgbOf(d.Bitmap.get()), pil.Rgb);
  }
}

TEST(GifRead, FixturesAgreeWithGiflibAndPillow) {
  if (!HaveGiflib() || !ToolExists(kPython)) GTEST_SKIP() << "giflib tools or Python missing";
  const Fixture fixtures[] = {
      {"gifbuild two frames", false, kTwoFrames},
      {"gifbuild 16 and 8 colours", false, SixteenAndEight()},
      {"Pillow 256 colours interlaced", true, kPillow256},
      {"Pillow five frames", true, kPillowFrames},
      {"Pillow two colours", true, kPillowTwo},
      {"Pillow transparent", true, kPillowTransparent},
  };
  for (const Fixture& f : fixtures) {
    SCOPED_TRACE(f.Name);
    TestTempDir dir;
    const std::string file = dir.File("f.gif");
    ASSERT_TRUE(f.Pillow ? Pillow(dir, f.Source, file) : Gifbuild(dir, f.Source, file));
    CheckAgainstGiflib(dir, file, true);
  }
}

TEST(GifRead, FramesTablesAndComments) {
  if (!HaveGiflib() || !ToolExists(kPython)) GTEST_SKIP() << "giflib tools or Python missing";
  TestTempDir dir;
  ASSERT_TRUE(Gifbuild(dir, kTwoFrames, dir.File("two.gif")));
  const std::string two = ReadFile(dir.File("two.gif"));
  Decoded first = DecodeGif(two);
  EXPECT_EQ(first.Params->GIF_Comments, (std::vector<std::string>{"first line", "second", "tail"}));
  EXPECT_EQ(first.Params->BitsPerSample, 1);  // the local table of 2 wins over the global 4
  EXPECT_TRUE(Same(first.Params->GIF_TransparentColor, TRGB{60, 50, 40}));
  // A second read gathers the comments anew.
  Decoded again = DecodeGif(two, {.Index = 1});
  EXPECT_EQ(again.Params->GIF_Comments.size(), 3u);
  EXPECT_EQ(again.Params->BitsPerSample, 2);

  // Frame 2 of five: its own delay and disposal.
  ASSERT_TRUE(Pillow(dir, kPillowFrames, dir.File("five.gif")));
  Decoded third = DecodeGif(ReadFile(dir.File("five.gif")), {.Index = 2});
  ASSERT_FALSE(third.Aborted);
  EXPECT_EQ(third.Count, 5);
  EXPECT_EQ(third.Params->ImageCount, 5);
  EXPECT_EQ(third.Params->GIF_DelayTime, 3);
  EXPECT_EQ(third.Params->GIF_Disposal, 2);
  EXPECT_EQ(third.Params->GIF_Comments, std::vector<std::string>{"pillow comment"});
}

TEST(GifRead, PixelFormatsFollowTheTable) {
  const std::vector<uint8_t> idx = {0, 1, 1, 0, 1, 0};
  struct {
    std::vector<TRGB> Table;
    bool Native;
    TPXPixelFormat Format;
  } cases[] = {
      {{TRGB{0, 0, 0}, TRGB{255, 255, 255}}, false, px1g},
      {{TRGB{255, 255, 255}, TRGB{0, 0, 0}}, false, px24RGB},
      {{TRGB{0, 0, 0}, TRGB{255, 255, 254}}, false, px24RGB},
      {{TRGB{0, 0, 0}, TRGB{255, 255, 255}}, true, px1g},
      {{TRGB{1, 2, 3}, TRGB{4, 5, 6}}, true, px8p},
  };
  for (const auto& c : cases) {
    Decoded d = DecodeGif(HandGif(3, 2, c.Table, 1, idx), {.Native = c.Native});
    ASSERT_FALSE(d.Aborted);
    ASSERT_EQ(d.Bitmap->PixelFormat(), c.Format);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(Same(d.Pixel(i % 3, i / 3), c.Table[idx[size_t(i)]])) << i;
    if (c.Format == px8p) {
      EXPECT_EQ(d.Bitmap->GetPaletteUsed(), 2);
      TRGB p1;
      d.Bitmap->GetPaletteColor(1, p1);
      EXPECT_TRUE(Same(p1, c.Table[1]));
      EXPECT_EQ(d.Bitmap->Scanline(0)[1], 1);
    }
  }
}

TEST(GifRead, MaskInterlaceAndPreview) {
  const std::vector<TRGB> table = {TRGB{0, 0, 255}, TRGB{0, 255, 0}, TRGB{255, 0, 0}, TRGB{9, 9, 9}};
  const std::vector<uint8_t> idx = {0, 1, 2, 0, 1, 2};
  const auto control = [](int Index) { return std::string{0x21, char(0xF9), 4, 1, 0, 0, char(Index), 0}; };
  // Index 3 is transparent but no pixel uses it: no mask; NoMask suppresses a used one.
  Decoded unused = DecodeGif(HandGif(3, 2, table, 2, idx, control(3)));
  EXPECT_TRUE(unused.Params->GIF_HasTransparentColor);
  EXPECT_EQ(unused.Mask, nullptr);
  Decoded used = DecodeGif(HandGif(3, 2, table, 2, idx, control(2)));
  ASSERT_NE(used.Mask, nullptr);
  EXPECT_EQ(used.Mask->GetPixel(2, 0), 0);
  EXPECT_EQ(used.Mask->GetPixel(1, 0), 255);
  EXPECT_FALSE(used.Mask->FFull);
  EXPECT_EQ(DecodeGif(HandGif(3, 2, table, 2, idx, control(2)), {.NoMask = true}).Mask, nullptr);

  // An interlaced frame equals its plain twin.
  if (HaveGiflib()) {
    TestTempDir dir;
    std::string spec = kTwoFrames;
    ASSERT_TRUE(Gifbuild(dir, spec, dir.File("i.gif")));
    spec.erase(spec.find("image interlaced\n"), std::strlen("image interlaced\n"));
    ASSERT_TRUE(Gifbuild(dir, spec, dir.File("p.gif")));
    Decoded i = DecodeGif(ReadFile(dir.File("i.gif"))), p = DecodeGif(ReadFile(dir.File("p.gif")));
    EXPECT_TRUE(i.Params->GIF_Interlaced);
    EXPECT_FALSE(p.Params->GIF_Interlaced);
    EXPECT_EQ(smallcodec::RgbOf(i.Bitmap.get()), smallcodec::RgbOf(p.Bitmap.get()));
  }

  // Preview: every field, no pixels; progress at the four milestones of a full read.
  const std::string gif = HandGif(3, 2, table, 2, idx, control(2));
  Decoded preview = DecodeGif(gif, {.Preview = true});
  EXPECT_FALSE(preview.Aborted);
  EXPECT_TRUE(preview.Bitmap->IsEmpty());
  EXPECT_EQ(preview.Params->Width, 3);
  EXPECT_EQ(preview.Params->ColorMapCount, 4);
  EXPECT_EQ(preview.Count, 1);
  EXPECT_EQ(DecodeGif(gif).Values, (std::vector<int32_t>{0, 30, 70, 100}));

  // An abort flag already set: back at once, nothing read.
  Progressed run;
  run.Aborted = true;
  TPXBitmap b;
  TIOParams p;
  int32_t count = -1;
  std::unique_ptr<TPXMask> mask;
  auto s = StreamOf(gif);
  DecodeGifStream(s.get(), &b, count, &p, run.Progress, false, mask, false);
  EXPECT_EQ(run.Values, std::vector<int32_t>{0});
  EXPECT_EQ(count, 0);
  EXPECT_EQ(s->Position(), 0);
  EXPECT_TRUE(b.IsEmpty());
}

TEST(GifRead, MendedFaults) {
  // An index past the table reads black (code size 2 over a table of 2).
  Decoded past = DecodeGif(HandGif(4, 1, {TRGB{10, 20, 30}, TRGB{40, 50, 60}}, 1, {0, 1, 2, 3}, "", 2));
  ASSERT_FALSE(past.Aborted);
  EXPECT_TRUE(Same(past.Pixel(1, 0), TRGB{40, 50, 60}));
  EXPECT_TRUE(Same(past.Pixel(2, 0), TRGB{0, 0, 0}));
  EXPECT_TRUE(Same(past.Pixel(3, 0), TRGB{0, 0, 0}));

  // A frame with neither a global nor a local table reads as grey levels.
  Decoded grey = DecodeGif(HandGif(4, 1, {}, 8, {0, 5, 200, 255}));
  ASSERT_FALSE(grey.Aborted);
  EXPECT_EQ(grey.Params->BitsPerSample, 8);
  EXPECT_EQ(grey.Params->ColorMapCount, 256);
  for (int x = 0; x < 4; ++x) {
    const int v = std::vector<int>{0, 5, 200, 255}[size_t(x)];
    EXPECT_TRUE(Same(grey.Pixel(x, 0), TRGB{uint8_t(v), uint8_t(v), uint8_t(v)})) << x;
  }

  // 65535 x 65535 from a few bytes: refused before anything is allocated.
  std::string huge = HandGif(1, 1, {TRGB{}, TRGB{}}, 1, {0});
  const size_t at = huge.find(',');
  huge.replace(at + 5, 4, std::string(4, char(0xFF)));
  Decoded big = DecodeGif(huge);
  EXPECT_TRUE(big.Aborted);
  EXPECT_TRUE(big.Bitmap->IsEmpty());
  EXPECT_EQ(big.Count, 0);

  // An index at or past the frame count sets the flag; the count still says what was met.
  Decoded none = DecodeGif(HandGif(2, 1, {TRGB{}, TRGB{}}, 1, {0, 1}), {.Index = 1});
  EXPECT_TRUE(none.Aborted);
  EXPECT_EQ(none.Count, 1);
  EXPECT_TRUE(none.Bitmap->IsEmpty());

  // Not a GIF, and a header with nothing after it.
  EXPECT_TRUE(DecodeGif("PNG89a" + std::string(20, '\0')).Aborted);
  EXPECT_TRUE(DecodeGif(HandGif(2, 1, {}, 1, {0, 1}).substr(0, 13)).Aborted);

  // A comment that is not UTF-8 reads as Windows-1252.
  const std::string comment = {0x21, char(0xFE), 4, 'c', 'a', 'f', char(0xE9), 0};
  Decoded text = DecodeGif(HandGif(2, 1, {TRGB{}, TRGB{}}, 1, {0, 1}, comment));
  EXPECT_EQ(text.Params->GIF_Comments, std::vector<std::string>{"caf\xC3\xA9"});
}

}  // namespace
