// The BMP writer: depths, palettes, RLE bytes, alpha handling, header versions, short writes,
// round trips through our reader and through the I/O component.
#include <gtest/gtest.h>

#include <set>

#include "codecs/bmpfilt.h"
#include "io/pixoranio.h"
#include "tests/codecs/BmpTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace bmptest;

namespace {

// Accepts Limit bytes, then writes nothing.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(int64_t Limit) : limit_(Limit) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const int64_t room = std::max<int64_t>(0, limit_ - Position());
    return TMemoryStream::Write(Buffer, static_cast<int32_t>(std::min<int64_t>(Count, room)));
  }

 private:
  int64_t limit_;
};

std::unique_ptr<TPXBitmap> IndexRow(const std::vector<uint8_t>& Indices) {
  auto b = TPXBitmap::CreateAllocated(static_cast<int32_t>(Indices.size()), 1, px8p);
  b->SetPaletteUsed(256);
  for (int i = 0; i < 256; ++i) b->SetPaletteColor(i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2), 3});
  std::copy(Indices.begin(), Indices.end(), b->Scanline(0));
  return b;
}

// The pixel data of a written BMP (from the data offset to the end).
std::string PixelData(const std::string& File) { return File.substr(Get32(File, 10)); }

TEST(BmpWrite, Rle8RowBytes) {
  TIOParams p;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.BMP_Compression = 1;
  auto same = IndexRow(std::vector<uint8_t>(300, 7));
  std::string data = PixelData(EncodeBmp(same.get(), &p, false));
  EXPECT_EQ(data, Bytes({255, 7, 45, 7, 0, 0, 0, 1}));
  auto mixed = IndexRow({1, 2, 3, 4, 5});
  data = PixelData(EncodeBmp(mixed.get(), &p, false));
  EXPECT_EQ(data, Bytes({0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 0, 1}));
  auto two = IndexRow({1, 2, 9, 9, 9});
  data = PixelData(EncodeBmp(two.get(), &p, false));
  EXPECT_EQ(data, Bytes({1, 1, 1, 2, 3, 9, 0, 0, 0, 1}));
  // Version 2 writes plain rows and no end of bitmap.
  p.BMP_Version = 2;
  const std::string core = EncodeBmp(mixed.get(), &p, false);
  EXPECT_EQ(Get32(core, 14), 12u);
  EXPECT_EQ(PixelData(core), Bytes({1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(BmpWrite, RleRoundTripsThroughTheReader) {
  for (int bits : {4, 8}) {
    auto pic = PatternBitmap(41, 13, false);
    // Few colours with long runs.
    for (int32_t y = 0; y < 13; ++y)
      for (int32_t x = 0; x < 41; ++x)
        reinterpret_cast<TRGB*>(pic->Scanline(y))[x] =
            (x / 7 + y) % 3 == 0 ? TRGB{0, 0, 255} : (x % 5 == 0 ? TRGB{0, 255, 0} : TRGB{255, 0, 0});
    TIOParams p;
    p.BitsPerSample = bits;
    p.SamplesPerPixel = 1;
    p.BMP_Compression = 1;
    const std::string f = EncodeBmp(pic.get(), &p, false);
    EXPECT_EQ(Get32(f, 30), bits == 4 ? 2u : 1u);
    Decoded d = DecodeBmp(f);
    ASSERT_FALSE(d.Aborted);
    for (int32_t y = 0; y < 13; ++y)
      for (int32_t x = 0; x < 41; ++x) {
        const TRGB a = d.Pixel(x, y), b = pic->GetPixelRGB(x, y);
        ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b) << bits << " " << x << "," << y;
      }
  }
}

TEST(BmpWrite, EightBitsFromAColourPictureQuantizes) {
  auto pic = PatternBitmap(64, 64, false);
  TIOParams p;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  const std::string f = EncodeBmp(pic.get(), &p, false);
  EXPECT_EQ(Get16(f, 28), 8u);
  EXPECT_EQ(Get32(f, 46), 256u);
  EXPECT_EQ(p.ColorMapCount, 256);
  Decoded d = DecodeBmp(f);
  ASSERT_FALSE(d.Aborted);
  std::set<uint32_t> colours;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const TRGB c = d.Pixel(x, y);
      colours.insert(c.r << 16 | c.g << 8 | c.b);
    }
  EXPECT_LE(colours.size(), 256u);
  EXPECT_GT(colours.size(), 64u);
}

TEST(BmpWrite, AlphaIsWrittenOrFlattenedAndThePictureKeepsIt) {
  auto pic = PatternBitmap(5, 3, true);
  TIOParams p;
  // Default: 32 bits with the alpha.
  std::string f = EncodeBmp(pic.get(), &p, true);
  EXPECT_EQ(Get16(f, 28), 32u);
  Decoded d = DecodeBmp(f);
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(3, 2), PatternAlpha(3, 2));
  EXPECT_EQ(d.Pixel(3, 2).g, PatternColor(3, 2).g);
  // Flattened onto white: 24 bits.
  f = EncodeBmp(pic.get(), &p, false);
  EXPECT_EQ(Get16(f, 28), 24u);
  d = DecodeBmp(f);
  const TRGB c = PatternColor(1, 1);
  const int a = PatternAlpha(1, 1);
  EXPECT_NEAR(d.Pixel(1, 1).r, (c.r * a + 255 * (255 - a)) / 255, 1);
  // The caller's picture keeps alpha and colours.
  ASSERT_TRUE(pic->HasAlphaChannel());
  EXPECT_EQ(pic->GetAlpha(1, 1), a);
  EXPECT_EQ(pic->GetPixelRGB(1, 1).r, c.r);
}

TEST(BmpWrite, OneAndFourBitPalettes) {
  // Two colours: their own palette; more: the quantizer's 16.
  auto pic = TPXBitmap::CreateAllocated(9, 2, px24RGB);
  for (int32_t x = 0; x < 9; ++x) {
    pic->SetPixel24(x, 0, x % 2 ? TRGB{0, 0, 200} : TRGB{0, 100, 0});
    pic->SetPixel24(x, 1, TRGB{0, 100, 0});
  }
  TIOParams p;
  p.BitsPerSample = 1;
  p.SamplesPerPixel = 1;
  Decoded d = DecodeBmp(EncodeBmp(pic.get(), &p, false));
  EXPECT_EQ(p.ColorMapCount, 2);
  ASSERT_EQ(d.Bitmap->PixelFormat(), px1g);
  EXPECT_EQ(d.Params->ColorMap[0].g + d.Params->ColorMap[1].g, 100);
  p.BitsPerSample = 4;
  d = DecodeBmp(EncodeBmp(pic.get(), &p, false));
  EXPECT_EQ(d.Params->BitsPerSample, 4);
  EXPECT_EQ(d.Pixel(1, 0).r, 200);
  EXPECT_EQ(d.Pixel(2, 0).g, 100);
  // px1g round trip: set bits stay white.
  auto mono = TPXBitmap::CreateAllocated(10, 1, px1g);
  mono->Scanline(0)[0] = 0xA5;
  p.BitsPerSample = 1;
  d = DecodeBmp(EncodeBmp(mono.get(), &p, false));
  EXPECT_EQ(d.Bitmap->Scanline(0)[0], 0xA5);
}

TEST(BmpWrite, OtherFormatsAreWrittenFromA24BitCopy) {
  auto grey = TPXBitmap::CreateAllocated(3, 2, px16g);
  grey->SetPixel16(1, 1, 0xABCD);
  TIOParams p;
  const std::string f = EncodeBmp(grey.get(), &p, false);
  EXPECT_EQ(Get16(f, 28), 24u);
  Decoded d = DecodeBmp(f);
  EXPECT_EQ(d.Pixel(1, 1).g, 0xAB);
  EXPECT_EQ(grey->PixelFormat(), px16g);
}

TEST(BmpWrite, VersionsAndResolution) {
  auto pic = PatternBitmap(3, 2, false);
  TIOParams p;
  p.SetDpiX(72);
  p.SetDpiY(300);
  p.BMP_Version = 3;
  std::string f = EncodeBmp(pic.get(), &p, false);
  EXPECT_EQ(Get32(f, 14), 64u);
  EXPECT_EQ(Get32(f, 14 + 24), 2835u);
  EXPECT_EQ(Get32(f, 14 + 28), 11811u);
  EXPECT_EQ(Get32(f, 2), f.size());
  EXPECT_EQ(Get32(f, 14 + 20), f.size() - Get32(f, 10));
  p.BMP_Version = 5;
  EXPECT_EQ(Get32(EncodeBmp(pic.get(), &p, false), 14), 40u);
  // A core header cannot hold more than 65535: the 40-byte header is written.
  auto wide = TPXBitmap::CreateAllocated(70000, 1, px1g);
  p.BMP_Version = 2;
  p.BitsPerSample = 1;
  f = EncodeBmp(wide.get(), &p, false);
  EXPECT_EQ(Get32(f, 14), 40u);
  EXPECT_EQ(DecodeBmp(f).Bitmap->Width(), 70000);
}

TEST(BmpWrite, ShortWriteSetsTheAbortFlag) {
  auto pic = PatternBitmap(20, 20, false);
  TIOParams p;
  ShortStream s(100);
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  EncodeBmpStream(&s, pic.get(), &p, progress, false);
  EXPECT_TRUE(abort);
  EXPECT_LE(s.Size(), 100);
}

TEST(BmpWrite, LoadsAndSavesThroughTheIOComponent) {
  TestTempDir dir;
  auto pic = PatternBitmap(7, 5, true);
  auto io = TPixoranIO::CreateForBitmap(pic.get());
  io->SaveToFileBmp(dir.File("a.bmp"));
  EXPECT_FALSE(io->Aborting());
  TMemoryStream ms;
  io->SaveToStreamBmp(&ms);
  EXPECT_EQ(BytesOf(ms), ReadFile(dir.File("a.bmp")));

  TPXBitmap loaded;
  auto in = TPixoranIO::CreateForBitmap(&loaded);
  EXPECT_TRUE(in->LoadFromFileBmp(dir.File("a.bmp")));
  EXPECT_EQ(in->Params()->FileType, pxftBMP);
  ASSERT_EQ(loaded.Width(), 7);
  ASSERT_TRUE(loaded.HasAlphaChannel());
  EXPECT_EQ(loaded.GetAlpha(4, 3), PatternAlpha(4, 3));
  EXPECT_EQ(loaded.GetPixelRGB(4, 3).b, PatternColor(4, 3).b);
  // BMP_IgnoreAlpha: written flat, read without alpha.
  io->Params()->BMP_IgnoreAlpha = true;
  io->SaveToFileBmp(dir.File("b.bmp"));
  EXPECT_EQ(Get16(ReadFile(dir.File("b.bmp")), 28), 24u);
  ms.SetSize(0);
  io->SaveToStreamBmp(&ms);
  ms.Seek(0, soBeginning);
  TPXBitmap again;
  auto in2 = TPixoranIO::CreateForBitmap(&again);
  EXPECT_TRUE(in2->LoadFromStreamBmp(&ms));
  EXPECT_FALSE(again.HasAlphaChannel());
}

}  // namespace
