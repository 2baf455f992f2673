// GIF end to end through the I/O component on the real codec: saving and loading by extension
// and by content with the transparency as alpha, the frame count and the dialog filters, frame
// composition of a Pillow animation against Pillow's own frames, and a failed load's -1.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/GifTestSupport.h"

using namespace giftest;

namespace {

struct Loader {
  TPXBitmap Bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&Bitmap);
};

bool Same(const TRGB& A, const TRGB& B) { return A.r == B.r && A.g == B.g && A.b == B.b; }

// A 12 x 8 picture of 20 colours whose left column is transparent.
std::unique_ptr<TPXBitmap> Picture() {
  auto b = TPXBitmap::CreateAllocated(12, 8, px24RGB);
  TPXBitmap* a = b->GetAlphaChannel();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      b->SetPixel24(x, y, TRGB{uint8_t((x * 7 + y) % 20 * 12), uint8_t(y * 30), 90});
      a->SetPixel8(x, y, x == 0 ? 0 : 255);
    }
  a->FFull = 0;
  return b;
}

void ExpectPicture(TPXBitmap& B, TPXBitmap* Want) {
  ASSERT_EQ(B.Width(), 12);
  ASSERT_EQ(B.Height(), 8);
  ASSERT_TRUE(B.HasAlphaChannel());
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      EXPECT_EQ(B.GetAlpha(x, y), x == 0 ? 0 : 255) << x << "," << y;
      if (x > 0) {
        EXPECT_TRUE(Same(B.GetPixelRGB(x, y), Want->GetPixelRGB(x, y))) << x << "," << y;
      }
    }
}

TEST(GifThroughIO, SavesAndLoadsByExtensionAndContent) {
  TestTempDir dir;
  auto picture = Picture();
  {
    Loader saver;
    saver.Bitmap.Assign(picture.get());
    saver.io->SaveToFile(dir.File("a.gif"), 0);
    ASSERT_FALSE(saver.io->Aborting());
    EXPECT_TRUE(saver.Bitmap.HasAlphaChannel());  // the caller's picture is untouched
  }
  EXPECT_EQ(ReadFile(dir.File("a.gif")).substr(0, 6), "GIF89a");
  Loader byExtension;
  ASSERT_TRUE(byExtension.io->LoadFromFileByExtension(dir.File("a.gif"), false));
  EXPECT_EQ(byExtension.io->Params()->FileType, pxftGIF);
  ExpectPicture(byExtension.Bitmap, picture.get());

  // The same bytes under another name, by content; and from a stream by content.
  std::filesystem::copy_file(dir.File("a.gif"), dir.File("a.png"));
  Loader byContent;
  ASSERT_TRUE(byContent.io->LoadFromFile(dir.File("a.png"), 0));
  ExpectPicture(byContent.Bitmap, picture.get());
  auto s = StreamOf(ReadFile(dir.File("a.gif")));
  Loader fromStream;
  ASSERT_TRUE(fromStream.io->LoadFromStream(s.get(), 0));
  ExpectPicture(fromStream.Bitmap, picture.get());
}

TEST(GifThroughIO, FrameCountAndFilters) {
  if (!ToolExists(kPython)) GTEST_SKIP() << "Python missing";
  TestTempDir dir;
  const char* five =
      "frames = [Image.new('P', (6, 4), k) for k in range(5)]\n"
      "for k, f in enumerate(frames): f.putpalette([(i * (k + 1)) % 256 for i in range(768)])\n"
      "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=50)\n";
  ASSERT_TRUE(Pillow(dir, five, dir.File("five.gif")));
  EXPECT_EQ(GetImageCountOfFile(dir.File("five.gif")), 5);
  EXPECT_EQ(GetGifFrameCountOfFile(dir.File("five.gif")), 5);
  EXPECT_TRUE(FormatCanRead(pxftGIF));
  EXPECT_TRUE(FormatCanWrite(pxftGIF));
  EXPECT_NE(BuildDialogFilter(false, pxsfImagesOnly, 0, "", false).find("|GIF Image (*.gif)|*.gif"), std::string::npos);
  EXPECT_NE(BuildDialogFilter(true, pxsfImagesOnly, 0, "", false).find("|GIF Image (*.gif)|*.gif"), std::string::npos);
  EXPECT_NE(BuildDialogFilter(true, pxsfImagesOnly, 0, "", true).find("GIF Image"), std::string::npos);
  Loader l;
  EXPECT_EQ(l.io->LoadFromFileGif(dir.File("five.gif")), 5);
}

TEST(GifThroughIO, FramesComposeAsPillowShowsThem) {
  if (!ToolExists(kPython)) GTEST_SKIP() << "Python missing";
  TestTempDir dir;
  // Frames that change a moving square over a striped background, kept (disposal 1), some with
  // transparency: Pillow stores the later ones as smaller frames at an offset.
  const char* script =
      "frames = []\nfor k in range(4):\n"
      "    im = Image.new('RGB', (30, 20), (40, 40, 200))\n"
      "    for x in range(0, 30, 4):\n"
      "        for y in range(20): im.putpixel((x, y), (250, 250, 0))\n"
      "    for x in range(5 + k * 5, 12 + k * 5):\n"
      "        for y in range(3 + k * 3, 9 + k * 3): im.putpixel((x, y), (200, 10 * k, 10))\n"
      "    frames.append(im)\n"
      "frames[0].save(sys.argv[1], save_all=True, append_images=frames[1:], duration=100, disposal=1)\n"
      "src = Image.open(sys.argv[1])\n"
      "for k in range(4):\n"
      "    src.seek(k)\n"
      "    sys.stdout.buffer.write(src.convert('RGBA').tobytes())\n";
  ASSERT_TRUE(Pillow(dir, script, dir.File("anim.gif"), dir.File("frames.rgba")));
  const std::string frames = ReadFile(dir.File("frames.rgba"));
  ASSERT_EQ(frames.size(), 4u * 30 * 20 * 4);
  GiflibView v;
  if (HaveGiflib() && ReadGiflib(dir, dir.File("anim.gif"), v)) {
    // The animation really holds frames smaller than the screen.
    bool partial = false;
    for (const GiflibFrame& f : v.Frames) partial = partial || f.Width < 30 || f.Height < 20;
    EXPECT_TRUE(partial);
  }
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE("frame " + std::to_string(k));
    Loader l;
    l.io->Params()->GIF_ImageIndex = k;
    ASSERT_EQ(l.io->LoadFromFileGif(dir.File("anim.gif")), 4);
    ASSERT_EQ(l.Bitmap.Width(), 30);
    ASSERT_EQ(l.Bitmap.Height(), 20);
    int compared = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(frames.data()) + ((k * 20 + y) * 30 + x) * 4;
        const bool ours = !l.Bitmap.HasAlphaChannel() || l.Bitmap.GetAlpha(x, y) == 255;
        if (p[3] != 255 || !ours) continue;
        ++compared;
        EXPECT_TRUE(Same(l.Bitmap.GetPixelRGB(x, y), TRGB{p[2], p[1], p[0]})) << x << "," << y;
      }
    EXPECT_GT(compared, 500);
  }
}

TEST(GifThroughIO, AFailedLoadAnswersMinusOne) {
  TestTempDir dir;
  // A screen and a frame of 65535 x 65535 whose data holds a few bytes.
  std::string gif = HandGif(1, 1, {TRGB{}, TRGB{}}, 1, {0});
  gif.replace(gif.find(',') + 5, 4, std::string(4, char(0xFF)));
  WriteFile(dir.File("bad.gif"), gif);
  Loader l;
  EXPECT_EQ(l.io->LoadFromFileGif(dir.File("bad.gif")), -1);
  EXPECT_TRUE(l.io->Aborting());
}

}  // namespace
