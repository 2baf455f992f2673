// The GIF writer and DeleteGifFrame: the reserved transparent index, depths, the blocks giftext
// sees, round trips through our reader, Pillow and gif2rgb, a missing hook and short writes, the
// mended faults (empty and long comment lines, 1 bit with alpha, palette indices past the
// colours), and frames removed from files as giflib and Pillow see them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/giffilter.h"
#include "core/pxsettings.h"
#include "tests/codecs/GifTestSupport.h"
#include "tests/codecs/SmallCodecTestSupport.h"

using namespace giftest;

namespace {

bool Same(const TRGB& A, const TRGB& B) { return A.r == B.r && A.g == B.g && A.b == B.b; }

// A picture of N colours (N <= 256), each pixel's colour from its position.
std::unique_ptr<TPXBitmap> Colours(int W, int H, int N) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int k = (x * 3 + y * 7) % N;
      b->SetPixel24(x, y, TRGB{uint8_t(k * 5), uint8_t(255 - k), uint8_t(k * 37)});
    }
  return b;
}

// A px8p picture of N palette entries whose indices run over the picture.
std::unique_ptr<TPXBitmap> Palette(int W, int H, int N) {
  auto b = TPXBitmap::CreateAllocated(W, H, px8p);
  for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TRGB{uint8_t(i), uint8_t(i * 3), uint8_t(255 - i)});
  b->SetPaletteUsed(N);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b->Scanline(y)[x] = uint8_t((x + y * W) % N);
  return b;
}

void SetBit(TPXBitmap* B, int X, int Y, bool On) {
  uint8_t& byte = B->Scanline(Y)[X >> 3];
  byte = uint8_t(On ? byte | (0x80 >> (X & 7)) : byte & ~(0x80 >> (X & 7)));
}

void AddAlpha(TPXBitmap* B) {
  TPXBitmap* a = B->GetAlphaChannel();
  for (int y = 0; y < B->Height(); ++y)
    for (int x = 0; x < B->Width(); ++x) a->SetPixel8(x, y, (x + y) % 4 == 0 ? 0 : 255);
  a->FFull = 0;
}

// A stream that takes only Limit bytes and counts what it was offered.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int64_t Limit) : limit_(Limit) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    offered += Count;
    const auto n = int32_t(std::clamp<int64_t>(limit_ - Size(), 0, Count));
    return n > 0 ? TMemoryStream::Write(Buffer, n) : 0;
  }
  int64_t offered = 0;

 private:
  int64_t limit_;
};

TEST(GifWrite, AlphaReservesTheLastIndex) {
  auto b = Colours(13, 9, 40);
  AddAlpha(b.get());
  TIOParams p;
  p.BitsPerSample = 8;
  const std::string gif = EncodeGif(b.get(), &p);
  EXPECT_TRUE(p.GIF_HasTransparentColor);
  EXPECT_EQ(uint8_t(gif[10]), 0xF7);  // a global table of 256 entries
  Decoded d = DecodeGif(gif, {.Native = true});
  ASSERT_FALSE(d.Aborted);
  EXPECT_EQ(d.Params->ColorMapCount, 256);
  EXPECT_TRUE(d.Params->GIF_HasTransparentColor);
  ASSERT_NE(d.Mask, nullptr);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) {
      const bool clear = (x + y) % 4 == 0;
      ASSERT_EQ(d.Mask->GetPixel(x, y), clear ? 0 : 255);
      ASSERT_EQ(d.Bitmap->Scanline(y)[x] == 255, clear);
      if (!clear) {
        ASSERT_TRUE(Same(d.Params->ColorMap[d.Bitmap->Scanline(y)[x]], b->GetPixelRGB(x, y)));
      }
    }
  EXPECT_TRUE(Same(d.Params->ColorMap[255], TRGB{0, 0, 0}));  // the reserved entry is black

  if (!ToolExists(kPython)) GTEST_SKIP() << "Python missing";
  TestTempDir dir;
  WriteFile(dir.File("a.gif"), gif);
  const std::string script =
      "im = Image.open(sys.argv[1])\nprint(im.info.get('transparency'))\nrgb = im.convert('RGB')\n"
      "print(' '.join('%d,%d,%d' % rgb.getpixel((x, y)) for y in range(im.size[1]) for x in range(im.size[0])))\n";
  ASSERT_TRUE(Pillow(dir, script, dir.File("a.gif"), dir.File("out.txt")));
  const std::string out = ReadFile(dir.File("out.txt"));
  EXPECT_EQ(out.substr(0, 4), "255\n");
  std::string want;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x) {
      const TRGB c = (x + y) % 4 == 0 ? TRGB{0, 0, 0} : b->GetPixelRGB(x, y);
      want += (want.empty() ? "" : " ") + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
    }
  EXPECT_EQ(out.substr(4), want + "\n");
}

TEST(GifWrite, DepthsAndTheOneBitPaths) {
  // Above 8 bits: 8, written back into the parameters.
  auto c = Colours(6, 4, 12);
  TIOParams deep;
  deep.BitsPerSample = 12;
  EncodeGif(c.get(), &deep);
  EXPECT_EQ(deep.BitsPerSample, 8);

  // A px1g picture goes straight in with black, white.
  auto mono = TPXBitmap::CreateAllocated(10, 3, px1g);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) SetBit(mono.get(), x, y, (x * y) % 3 == 0);
  TIOParams one;
  one.BitsPerSample = 1;
  Decoded m = DecodeGif(EncodeGif(mono.get(), &one));
  ASSERT_EQ(m.Bitmap->PixelFormat(), px1g);
  EXPECT_EQ(smallcodec::RgbOf(m.Bitmap.get()), smallcodec::RgbOf(mono.get()));

  // A two-colour px24RGB picture through the two-colour conversion keeps its colours, the darker
  // one first.
  auto two = TPXBitmap::CreateAllocated(7, 2, px24RGB);
  for (int x = 0; x < 7; ++x)
    for (int y = 0; y < 2; ++y) two->SetPixel24(x, y, (x + y) % 2 ? TRGB{200, 10, 10} : TRGB{10, 10, 240});
  TIOParams twoParams;
  twoParams.BitsPerSample = 1;
  Decoded t = DecodeGif(EncodeGif(two.get(), &twoParams));
  ASSERT_EQ(t.Params->ColorMapCount, 2);
  EXPECT_TRUE(Same(t.Params->ColorMap[0], TRGB{200, 10, 10}));
  EXPECT_EQ(smallcodec::RgbOf(t.Bitmap.get()), smallcodec::RgbOf(two.get()));
}

TEST(GifWrite, BlocksAsGiftextSeesThem) {
  if (!HaveGiflib()) GTEST_SKIP() << "giflib tools missing";
  auto b = Palette(21, 17, 16);
  TIOParams p;
  p.BitsPerSample = 4;
  p.GIF_Disposal = 3;
  p.GIF_DelayTime = 42;
  p.GIF_XPos = 5;
  p.GIF_YPos = 6;
  p.GIF_Interlaced = true;
  p.GIF_HasTransparentColor = true;
  p.GIF_TransparentColor = TRGB{9, 27, 246};  // palette entry 9
  p.GIF_Comments = {"made here", "second line"};
  const std::string gif = EncodeGif(b.get(), &p);
  TestTempDir dir;
  WriteFile(dir.File("b.gif"), gif);
  GiflibView v;
  ASSERT_TRUE(ReadGiflib(dir, dir.File("b.gif"), v));
  EXPECT_NE(v.Text.find("Screen Size - Width = 21, Height = 17."), std::string::npos) << v.Text;
  EXPECT_NE(v.Text.find("BitsPerPixel = 4"), std::string::npos);
  EXPECT_EQ(v.GlobalMap.size(), 16u);
  EXPECT_NE(v.Text.find("GIF89 comment"), std::string::npos);
  EXPECT_NE(v.Text.find("GIF file terminated normally."), std::string::npos);
  ASSERT_EQ(v.Frames.size(), 1u);
  const GiflibFrame& f = v.Frames[0];
  EXPECT_TRUE(f.HasControl);
  EXPECT_EQ(f.Disposal, 3);
  EXPECT_EQ(f.Delay, 42);
  EXPECT_TRUE(f.Transparent);
  EXPECT_EQ(f.TransparentIndex, 9);
  EXPECT_EQ(f.Left, 5);
  EXPECT_EQ(f.Top, 6);
  EXPECT_TRUE(f.Interlaced);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 21; ++x) ASSERT_EQ(f.Indices[size_t(y * 21 + x)], b->Scanline(y)[x]);
  // The comment extension, then the trailer.
  const std::string tail = std::string{0x21, char(0xFE), 9} + "made here" + char(11) + "second line" + '\0' + ';';
  EXPECT_EQ(gif.substr(gif.size() - tail.size()), tail);
  // An empty comment list is 21 FE 00.
  p.GIF_Comments.clear();
  const std::string bare = EncodeGif(b.get(), &p);
  EXPECT_EQ(bare.substr(bare.size() - 4), (std::string{0x21, char(0xFE), 0, ';'}));
}

TEST(GifWrite, RoundTripsThroughUsPillowAndGif2rgb) {
  struct {
    const char* Name;
    std::unique_ptr<TPXBitmap> Picture;
    int Bits;
    bool Interlaced;
  } cases[] = {
      {"palette 256", Palette(33, 19, 256), 8, false},
      {"palette 256 interlaced", Palette(33, 19, 256), 8, true},
      {"palette 5 at 3 bits", Palette(10, 30, 5), 3, true},
      {"rgb 200 colours", Colours(40, 30, 200), 8, false},
      {"rgb 3 colours at 2 bits", Colours(9, 11, 3), 2, true},
  };
  TestTempDir dir;
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TIOParams p;
    p.BitsPerSample = c.Bits;
    p.GIF_Interlaced = c.Interlaced;
    const std::string gif = EncodeGif(c.Picture.get(), &p);
    Decoded d = DecodeGif(gif, {.Native = c.Picture->PixelFormat() == px8p});
    ASSERT_FALSE(d.Aborted);
    const std::vector<int> ours = smallcodec::RgbOf(c.Picture.get());
    EXPECT_EQ(smallcodec::RgbOf(d.Bitmap.get()), ours);
    if (c.Picture->PixelFormat() == px8p) {  // the palette and indices are kept
      for (int y = 0; y < c.Picture->Height(); ++y)
        ASSERT_EQ(std::memcmp(d.Bitmap->Scanline(y), c.Picture->Scanline(y), size_t(c.Picture->Width())), 0);
    }
    if (!ToolExists(kPython) || !HaveGiflib()) continue;
    WriteFile(dir.File("r.gif"), gif);
    smallcodec::Plain pil;
    ASSERT_TRUE(smallcodec::PillowRgb(dir, dir.File("r.gif"), pil));
    EXPECT_EQ(pil.Rgb, ours);
    ASSERT_EQ(RunTool({kGif2rgb, "-1", "-o", dir.File("r.rgb"), dir.File("r.gif")}, dir.File("g.log")), 0);
    const std::string rgb = ReadFile(dir.File("r.rgb"));
    EXPECT_EQ(std::vector<int>(rgb.begin(), rgb.end()).size(), ours.size());
    std::vector<int> giflib;
    for (char ch : rgb) giflib.push_back(uint8_t(ch));
    EXPECT_EQ(giflib, ours);
  }
}

TEST(GifWrite, HooksShortWritesAndProgress) {
  auto b = Colours(8, 8, 10);
  // Without an encoding hook: the flag, and nothing after the image descriptor.
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const TPXGifLzwCompressProc hook = s->FGIFLZWCompress;
  s->FGIFLZWCompress = nullptr;
  TIOParams p;
  p.GIF_LZWCompress = nullptr;
  bool aborted = false;
  const std::string cut = EncodeGif(b.get(), &p, &aborted);
  s->FGIFLZWCompress = hook;
  EXPECT_TRUE(aborted);
  EXPECT_EQ(cut.size(), 13u + 256 * 3 + 8 + 10);
  EXPECT_EQ(cut.back(), 0);  // the descriptor's flags

  // A short write sets the flag and the rest is still written.
  TIOParams q;
  const std::string whole = EncodeGif(b.get(), &q);
  TShortStream shortStream(20);
  Progressed run;
  EncodeGifStream(&shortStream, b.get(), &q, run.Progress);
  EXPECT_TRUE(run.Aborted);
  EXPECT_EQ(shortStream.offered, int64_t(whole.size()));
  EXPECT_EQ(run.Values, (std::vector<int32_t>{0, 30, 70, 100}));

  // An empty picture: the flag, nothing written.
  TPXBitmap empty;
  const std::string none = EncodeGif(&empty, &q, &aborted);
  EXPECT_TRUE(aborted);
  EXPECT_TRUE(none.empty());
}

TEST(GifWrite, MendedFaults) {
  // Empty comment lines are left out and long ones split into sub-blocks of 255.
  auto b = Colours(4, 4, 4);
  TIOParams p;
  p.GIF_Comments = {"", std::string(600, 'x'), "", "end"};
  Decoded c = DecodeGif(EncodeGif(b.get(), &p));
  ASSERT_FALSE(c.Aborted);
  EXPECT_EQ(c.Params->GIF_Comments,
            (std::vector<std::string>{std::string(255, 'x'), std::string(255, 'x'), std::string(90, 'x'), "end"}));

  // One bit with alpha: two bits, the transparent index past black and white, white stays.
  auto mono = TPXBitmap::CreateAllocated(8, 2, px1g);
  for (int x = 0; x < 8; ++x) SetBit(mono.get(), x, 0, x % 2), SetBit(mono.get(), x, 1, true);
  AddAlpha(mono.get());
  TIOParams one;
  one.BitsPerSample = 1;
  Decoded m = DecodeGif(EncodeGif(mono.get(), &one), {.Native = true});
  ASSERT_FALSE(m.Aborted);
  EXPECT_EQ(one.BitsPerSample, 2);
  EXPECT_EQ(m.Params->ColorMapCount, 4);
  EXPECT_TRUE(Same(m.Params->ColorMap[1], TRGB{255, 255, 255}));
  ASSERT_NE(m.Mask, nullptr);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool clear = (x + y) % 4 == 0;
      EXPECT_EQ(m.Mask->GetPixel(x, y), clear ? 0 : 255) << x << "," << y;
      if (!clear) {
        EXPECT_EQ(m.Bitmap->Scanline(y)[x], y == 1 ? 1 : x % 2) << x << "," << y;
      }
    }

  // A px8p picture whose indices do not fit below the colours goes through the quantizer: its
  // 6 colours (indices up to 250) at 3 bits, and index 3 beside the reserved index at 2 bits.
  auto wide = TPXBitmap::CreateAllocated(6, 2, px8p);
  for (int i = 0; i < 256; ++i) wide->SetPaletteColor(i, TRGB{uint8_t(i), uint8_t(i / 2), 7});
  for (int x = 0; x < 6; ++x) wide->Scanline(0)[x] = uint8_t(x * 50), wide->Scanline(1)[x] = uint8_t(250 - x * 50);
  TIOParams three;
  three.BitsPerSample = 3;
  Decoded w = DecodeGif(EncodeGif(wide.get(), &three));
  ASSERT_FALSE(w.Aborted);
  EXPECT_EQ(smallcodec::RgbOf(w.Bitmap.get()), smallcodec::RgbOf(wide.get()));
  auto four = Palette(4, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) four->Scanline(y)[x] = uint8_t((x + y) % 4 ? (x + y) % 4 : 1);
  AddAlpha(four.get());
  TIOParams two;
  two.BitsPerSample = 2;
  Decoded f = DecodeGif(EncodeGif(four.get(), &two));
  ASSERT_FALSE(f.Aborted);
  ASSERT_NE(f.Mask, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      if ((x + y) % 4) {
        EXPECT_TRUE(Same(f.Pixel(x, y), four->GetPixelRGB(x, y))) << x << "," << y;
      }
}

// ---------------------------------------------------------------------------------------------
// DeleteGifFrame

TEST(GifDelete, CountsRemovesAndRefuses) {
  if (!HaveGiflib() || !ToolExists(kPython)) GTEST_SKIP() << "giflib tools or Python missing";
  TestTempDir dir;
  const std::string file = dir.File("five.gif");
  const char* script =
      "frames = []\nfor k in range(5):\n"
      "    im = Image.new('P', (12, 10))\n    im.putpalette([(i * (k + 2)) % 256 for i in range(768)])\n"
      "    im.putdata([(x * (k + 1) + y) % (4 + k) for y in range(10) for x in range(12)])\n    frames.append(im)\n"
      "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=100, disposal=1,\n"
      "               comment=b'kept')\n";
  ASSERT_TRUE(Pillow(dir, script, file));
  const std::string before = ReadFile(file);
  GiflibView all;
  ASSERT_TRUE(ReadGiflib(dir, file, all));
  ASSERT_EQ(all.Frames.size(), 5u);

  EXPECT_EQ(DeleteGifFrame(file, -1, false), 5);
  EXPECT_EQ(ReadFile(file), before);
  auto s = StreamOf(before);
  EXPECT_EQ(GetGifFrameCount(s.get()), 5);
  EXPECT_EQ(s->Position(), 0);

  struct stat st1 {}, st2 {};
  ::stat(file.c_str(), &st1);
  EXPECT_EQ(DeleteGifFrame(file, 1, true), 4);
  ::stat(file.c_str(), &st2);
  EXPECT_NE(st1.st_ino, st2.st_ino);  // a new file renamed over the old one
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);  // no temporary left
  const std::string after = ReadFile(file);
  EXPECT_EQ(after.substr(0, 6), "GIF89a");
  GiflibView kept;
  ASSERT_TRUE(ReadGiflib(dir, file, kept));
  ASSERT_EQ(kept.Frames.size(), 4u);
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(kept.Frames[k].Indices, all.Frames[k < 1 ? k : k + 1].Indices) << k;
  ASSERT_TRUE(Pillow(dir, "print(Image.open(sys.argv[1]).n_frames)\n", file, dir.File("n.txt")));
  EXPECT_EQ(ReadFile(dir.File("n.txt")), "4\n");
  EXPECT_EQ(DecodeGif(after, {.Index = 3}).Count, 4);
  EXPECT_EQ(DecodeGif(after).Params->GIF_Comments, std::vector<std::string>{"kept"});

  // Not a GIF: 0, the file as it was.
  const std::string other = dir.File("other.gif");
  WriteFile(other, "PNG not a gif at all");
  EXPECT_EQ(DeleteGifFrame(other, 0, true), 0);
  EXPECT_EQ(ReadFile(other), "PNG not a gif at all");
}

}  // namespace
