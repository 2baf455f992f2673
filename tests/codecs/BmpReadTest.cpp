// The BMP reader on files assembled byte by byte: header sizes, depths, bit fields, RLE,
// orientation, alpha, palettes, resolution and damaged input.
#include <gtest/gtest.h>

#include <limits>

#include "codecs/bmpfilt.h"
#include "core/pxsettings.h"
#include "tests/codecs/BmpTestSupport.h"

using namespace bmptest;

namespace {

// A 2 x 2 24-bit picture: top row red, green; bottom row blue, white.
std::string Rgb2x2Rows(bool TopDown = false) {
  return Rows({Bytes({0, 0, 255, 0, 255, 0}), Bytes({255, 0, 0, 255, 255, 255})}, TopDown);
}

void ExpectRgb2x2(Decoded& d) {
  ASSERT_EQ(d.Bitmap->Width(), 2);
  ASSERT_EQ(d.Bitmap->Height(), 2);
  EXPECT_EQ(d.Pixel(0, 0).r, 255);
  EXPECT_EQ(d.Pixel(1, 0).g, 255);
  EXPECT_EQ(d.Pixel(0, 1).b, 255);
  EXPECT_EQ(d.Pixel(1, 1).r, 255);
  EXPECT_EQ(d.Pixel(1, 1).b, 255);
}

TEST(BmpRead, HeaderSizesGiveVersions) {
  const struct {
    uint32_t Size;
    int Version;
  } cases[] = {{12, 2}, {40, 1}, {56, 0}, {64, 3}, {108, 4}, {124, 5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Size);
    BmpSpec s;
    s.HeaderSize = c.Size;
    s.Data = Rgb2x2Rows();
    Decoded d = DecodeBmp(MakeBmp(s));
    EXPECT_FALSE(d.Aborted);
    EXPECT_EQ(d.Params->BMP_Version, c.Version);
    EXPECT_EQ(d.Params->BitsPerSample, 8);
    EXPECT_EQ(d.Params->SamplesPerPixel, 3);
    ExpectRgb2x2(d);
  }
}

TEST(BmpRead, NegativeHeightIsTopDownWithAlphaOnTheSameRows) {
  BmpSpec s;
  s.Height = -2;
  s.Bits = 32;
  // Top row: red alpha 10, green alpha 20; bottom row: blue alpha 30, white alpha 255.
  s.Data = Rows({Bytes({0, 0, 255, 10, 0, 255, 0, 20}), Bytes({255, 0, 0, 30, 255, 255, 255, 255})}, true);
  Decoded d = DecodeBmp(MakeBmp(s));
  ExpectRgb2x2(d);
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(0, 0), 10);
  EXPECT_EQ(d.Alpha(1, 0), 20);
  EXPECT_EQ(d.Alpha(0, 1), 30);
  EXPECT_EQ(d.Alpha(1, 1), 255);
  EXPECT_EQ(d.Params->SamplesPerPixel, 4);
}

TEST(BmpRead, UniformAlphaGivesNoMaskAndIgnoreAlphaSkipsIt) {
  for (int a : {0, 255}) {
    BmpSpec s;
    s.Bits = 32;
    s.Data = Rows({Bytes({1, 2, 3, a, 4, 5, 6, a}), Bytes({7, 8, 9, a, 10, 11, 12, a})});
    Decoded d = DecodeBmp(MakeBmp(s));
    EXPECT_FALSE(d.Mask) << a;
    EXPECT_EQ(d.Pixel(0, 1).b, 7);
  }
  BmpSpec s;
  s.Bits = 32;
  s.Data = Rows({Bytes({1, 2, 3, 9, 4, 5, 6, 9}), Bytes({7, 8, 9, 0, 10, 11, 12, 9})});
  Decoded d = DecodeBmp(MakeBmp(s), {.IgnoreAlpha = true});
  EXPECT_FALSE(d.Mask);
}

TEST(BmpRead, BitFieldsAfterA40ByteHeaderHaveNoAlpha) {
  // 32-bit bit fields: three masks follow the header; the fourth byte is not alpha.
  BmpSpec s;
  s.Bits = 32;
  s.Compression = 3;
  s.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  s.Data = Rows({Bytes({1, 2, 3, 9, 4, 5, 6, 9}), Bytes({7, 8, 9, 0, 10, 11, 12, 9})});
  Decoded d = DecodeBmp(MakeBmp(s));
  EXPECT_FALSE(d.Aborted);
  EXPECT_FALSE(d.Mask);
  EXPECT_EQ(d.Pixel(1, 1).r, 12);
  // A 108-byte header carries an alpha mask; a zero one means opaque.
  s.HeaderSize = 108;
  s.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  d = DecodeBmp(MakeBmp(s));
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(0, 1), 0);
  EXPECT_EQ(d.Alpha(0, 0), 9);
  s.Masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
  d = DecodeBmp(MakeBmp(s));
  EXPECT_FALSE(d.Mask);
}

TEST(BmpRead, NarrowChannelsWidenByRepeatingTheirBits) {
  const struct {
    std::vector<uint32_t> Masks;
    uint16_t Value;
    TRGB Want;
  } cases[] = {
      {{}, 0x7FFF, {255, 255, 255}},                          // 5-5-5: 31 reads 255
      {{}, 0x7C00, {0, 0, 255}},                              // red only
      {{}, 0x4210, {132, 132, 132}},                          // 16 reads 16 << 3 | 16 >> 2
      {{0xF800, 0x07E0, 0x001F}, 0xFFFF, {255, 255, 255}},    // 5-6-5 white
      {{0xF800, 0x07E0, 0x001F}, 0x07E0, {0, 255, 0}},        // green 63 reads 255
      {{0xF800, 0x07E0, 0x001F}, 0x0841, {8, 8, 8}},          // ones in each channel: 8 (6 bits: 2 gives 8)
      {{0x0F00, 0x00F0, 0x000F}, 0x0F1F, {255, 17, 255}},     // 4-4-4
      {{0x0003, 0x001C, 0x00E0}, 0x00E7, {255, 36, 255}},     // 3-3-2, masks in another order
      {{0x7C00, 0x03E0, 0}, 0x001F, {0, 0, 0}},               // a zero mask gives 0
  };
  for (const auto& c : cases) {
    BmpSpec s;
    s.Width = 1;
    s.Height = 1;
    s.Bits = 16;
    s.Compression = c.Masks.empty() ? 0 : 3;
    s.Masks = c.Masks;
    s.Data = Rows({Bytes({c.Value & 0xFF, c.Value >> 8})});
    Decoded d = DecodeBmp(MakeBmp(s));
    SCOPED_TRACE(c.Value);
    EXPECT_EQ(d.Params->BitsPerSample, 5);
    EXPECT_EQ(d.Pixel(0, 0).r, c.Want.r);
    EXPECT_EQ(d.Pixel(0, 0).g, c.Want.g);
    EXPECT_EQ(d.Pixel(0, 0).b, c.Want.b);
  }
}

TEST(BmpRead, PalettedDepthsAsColoursAndIndices) {
  const std::vector<TRGB> pal = {{0, 0, 0}, {10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  // 4 bits: indices 1 2 3 0 / 3 2 1 0; 8 bits the same indices.
  for (uint16_t bits : {4, 8}) {
    BmpSpec s;
    s.Width = 4;
    s.Bits = bits;
    s.Palette = pal;
    s.ColorsUsed = 4;
    s.Data = bits == 4 ? Rows({Bytes({0x12, 0x30}), Bytes({0x32, 0x10})})
                       : Rows({Bytes({1, 2, 3, 0}), Bytes({3, 2, 1, 0})});
    Decoded d = DecodeBmp(MakeBmp(s));
    SCOPED_TRACE(bits);
    EXPECT_EQ(d.Bitmap->PixelFormat(), px24RGB);
    EXPECT_EQ(d.Pixel(0, 0).r, 30);
    EXPECT_EQ(d.Pixel(2, 0).b, 70);
    EXPECT_EQ(d.Pixel(0, 1).r, 90);
    EXPECT_EQ(d.Params->ColorMapCount, 4);
    EXPECT_EQ(d.Params->BitsPerSample, bits);
    Decoded n = DecodeBmp(MakeBmp(s), {.Native = true});
    ASSERT_EQ(n.Bitmap->PixelFormat(), px8p);
    EXPECT_EQ(n.Bitmap->Scanline(0)[2], 3);
    EXPECT_EQ(n.Bitmap->Scanline(1)[0], 3);
    EXPECT_EQ(n.Bitmap->GetPaletteUsed(), bits == 4 ? 16 : 256);
    TRGB c;
    n.Bitmap->GetPaletteColor(2, c);
    EXPECT_EQ(c.g, 50);
  }
}

TEST(BmpRead, UnknownCodingsLeaveThePictureBlank) {
  // 1 bit with RLE, 24 bits with a coding of its own: blank, not undefined memory.
  for (auto [bits, compression] : {std::pair{1, 1}, std::pair{24, 4}, std::pair{8, 2}}) {
    BmpSpec s;
    s.Width = 8;
    s.Height = 1;
    s.Bits = static_cast<uint16_t>(bits);
    s.Compression = static_cast<uint32_t>(compression);
    if (bits <= 8) s.Palette.assign(size_t{1} << bits, TRGB{9, 9, 9});
    s.Data = std::string(32, '\x55');
    Decoded d = DecodeBmp(MakeBmp(s), {.Native = true});
    ASSERT_FALSE(d.Bitmap->IsEmpty());
    for (int64_t i = 0; i < d.Bitmap->RowLen(); ++i) EXPECT_EQ(d.Bitmap->Scanline(0)[i], 0) << bits;
  }
}

TEST(BmpRead, IndicesPastThePaletteReadBlack) {
  BmpSpec s;
  s.Width = 2;
  s.Height = 1;
  s.Bits = 8;
  s.ColorsUsed = 1;
  s.Palette = {{200, 200, 200}};
  s.Data = Rows({Bytes({0, 250})});
  Decoded d = DecodeBmp(MakeBmp(s));
  EXPECT_EQ(d.Pixel(0, 0).r, 200);
  EXPECT_EQ(d.Pixel(1, 0).r, 0);
  EXPECT_EQ(d.Pixel(1, 0).g, 0);
}

TEST(BmpRead, ColoursUsedAbove256ReadsAFullPalette) {
  BmpSpec s;
  s.Width = 1;
  s.Height = 1;
  s.Bits = 4;
  s.ColorsUsed = 1000;
  for (int i = 0; i < 16; ++i) s.Palette.push_back(TRGB{static_cast<uint8_t>(i), 0, 0});
  s.Data = Rows({Bytes({0xF0})});
  Decoded d = DecodeBmp(MakeBmp(s));
  EXPECT_EQ(d.Params->ColorMapCount, 16);
  EXPECT_EQ(d.Pixel(0, 0).b, 15);
}

TEST(BmpRead, OneBitPaletteDecidesTheBitSense) {
  const struct {
    std::vector<TRGB> Palette;
    uint8_t Want;
  } cases[] = {
      {{{255, 255, 255}, {0, 0, 0}}, 0x3F},  // white, black: complemented, set bits white
      {{{0, 0, 0}, {255, 255, 255}}, 0xC0},  // black, white: as stored
      {{{0, 0, 255}, {0, 255, 0}}, 0xC0},    // another pair: as stored, colours in ColorMap
  };
  for (const auto& c : cases) {
    BmpSpec s;
    s.Width = 8;
    s.Height = 1;
    s.Bits = 1;
    s.Palette = c.Palette;
    s.Data = Rows({Bytes({0xC0})});
    Decoded d = DecodeBmp(MakeBmp(s));
    ASSERT_EQ(d.Bitmap->PixelFormat(), px1g);
    EXPECT_EQ(d.Bitmap->Scanline(0)[0], c.Want);
    EXPECT_EQ(d.Params->ColorMap[1].g, c.Palette[1].g);
  }
}

TEST(BmpRead, ResolutionRoundsHalfToEvenAndZeroTakesTheDefault) {
  const struct {
    int32_t Ppm;
    int32_t Dpi;
  } cases[] = {{2835, 72}, {2500, 64}, {7500, 190}, {3780, 96}, {0, 300}, {-5, 300}};
  for (const auto& c : cases) {
    BmpSpec s;
    s.XPpm = c.Ppm;
    s.YPpm = 2835;
    s.Data = Rgb2x2Rows();
    Decoded d = DecodeBmp(MakeBmp(s));
    EXPECT_EQ(d.Params->DpiX, c.Dpi) << c.Ppm;
    EXPECT_EQ(d.Params->DpiY, 72);
  }
  BmpSpec core;
  core.HeaderSize = 12;
  core.Data = Rgb2x2Rows();
  EXPECT_EQ(DecodeBmp(MakeBmp(core)).Params->DpiX, 300);
}

TEST(BmpRead, Rle8RunsAbsoluteDeltaAndDroppedOverflow) {
  BmpSpec s;
  s.Width = 4;
  s.Height = 3;
  s.Bits = 8;
  s.Compression = 1;
  for (int i = 0; i < 8; ++i) s.Palette.push_back(TRGB{static_cast<uint8_t>(i * 10), 0, 0});
  // Bottom row: run of 2 x 1, absolute 3 4 5 (overflowing: 5 falls past the row and is dropped).
  // Middle row: delta (1, 1) from column 0 moves to the top row, column 1: run 3 x 6.
  s.Data = Bytes({2, 1, 0, 3, 3, 4, 5, 0, 0, 0, 0, 2, 1, 1, 3, 6, 0, 1});
  Decoded d = DecodeBmp(MakeBmp(s), {.Native = true});
  ASSERT_FALSE(d.Aborted);
  const uint8_t* bottom = d.Bitmap->Scanline(2);
  EXPECT_EQ(bottom[0], 1);
  EXPECT_EQ(bottom[1], 1);
  EXPECT_EQ(bottom[2], 3);
  EXPECT_EQ(bottom[3], 4);
  EXPECT_EQ(d.Bitmap->Scanline(1)[0], 0);
  const uint8_t* top = d.Bitmap->Scanline(0);
  EXPECT_EQ(top[0], 0);
  EXPECT_EQ(top[1], 6);
  EXPECT_EQ(top[3], 6);
  EXPECT_EQ(d.Params->BMP_Compression, 1);
}

TEST(BmpRead, Rle4NibblesAndDroppedOverflow) {
  BmpSpec s;
  s.Width = 3;
  s.Height = 1;
  s.Bits = 4;
  s.Compression = 2;
  for (int i = 0; i < 16; ++i) s.Palette.push_back(TRGB{static_cast<uint8_t>(i), 0, 0});
  // Run of 2 alternating 7, 8; then absolute 3 nibbles 9 A B (B falls outside and is dropped).
  s.Data = Bytes({2, 0x78, 0, 3, 0x9A, 0xB0, 0, 1});
  Decoded d = DecodeBmp(MakeBmp(s), {.Native = true});
  const uint8_t* row = d.Bitmap->Scanline(0);
  EXPECT_EQ(row[0], 7);
  EXPECT_EQ(row[1], 8);
  EXPECT_EQ(row[2], 9);
}

TEST(BmpRead, BadSizesEndWithTheAbortFlag) {
  const auto aborted = [](BmpSpec s) { return DecodeBmp(MakeBmp(s)).Aborted; };
  BmpSpec s;
  s.Data = Rgb2x2Rows();
  s.Width = -2;
  EXPECT_TRUE(aborted(s));
  s.Width = 2;
  s.Height = std::numeric_limits<int32_t>::min();
  EXPECT_TRUE(aborted(s));
  s.Height = 2;
  s.Width = 1 << 30;  // far more than the data holds: not allocated
  EXPECT_TRUE(aborted(s));
  s.Width = 60000;
  s.Height = 60000;
  EXPECT_TRUE(aborted(s));
  s.Width = 0;  // empty: the header is read, the picture refused
  EXPECT_TRUE(aborted(s));
  EXPECT_EQ(DecodeBmp(MakeBmp(s), {.Preview = true}).Params->Height, 60000);
  // Not "BM", a header larger than the file, an empty stream.
  EXPECT_TRUE(DecodeBmp("XX" + MakeBmp(BmpSpec{}).substr(2)).Aborted);
  std::string big = MakeBmp(BmpSpec{});
  big[14] = static_cast<char>(0xFF);
  big[15] = static_cast<char>(0x7F);
  EXPECT_TRUE(DecodeBmp(big).Aborted);
  EXPECT_TRUE(DecodeBmp("").Aborted);
}

TEST(BmpRead, RleLengthIsCappedAtTheBytesLeft) {
  // The header claims almost 4 GB of RLE data; the reader decodes the few bytes there are.
  BmpSpec s;
  s.Width = 2;
  s.Height = 1;
  s.Bits = 8;
  s.Compression = 1;
  s.ImageSize = 0xFFFFFFF0;
  s.Palette = {{0, 0, 0}, {9, 9, 9}};
  s.Data = Bytes({2, 1, 0, 1});
  Decoded d = DecodeBmp(MakeBmp(s));
  EXPECT_FALSE(d.Aborted);
  EXPECT_EQ(d.Pixel(1, 0).r, 9);
}

TEST(BmpRead, TruncatedRowsKeepWhatArrived) {
  BmpSpec s;
  s.Width = 1;
  s.Height = 3;
  s.Data = Rows({Bytes({1, 1, 1}), Bytes({2, 2, 2}), Bytes({3, 3, 3})});
  std::string f = MakeBmp(s);
  f.resize(f.size() - 4);  // the top row is missing
  Decoded d = DecodeBmp(f);
  EXPECT_TRUE(d.Aborted);
  EXPECT_EQ(d.Pixel(0, 2).r, 3);
  EXPECT_EQ(d.Pixel(0, 1).r, 2);
}

TEST(BmpRead, PreviewOnlyFillsParamsAndLeavesTheBitmap) {
  BmpSpec s;
  s.Width = 3;
  s.Height = 5;
  s.XPpm = s.YPpm = 2835;
  s.Data = Rows({"123456789", "123456789", "123456789", "123456789", "123456789"});
  Decoded d = DecodeBmp(MakeBmp(s), {.Preview = true});
  EXPECT_TRUE(d.Bitmap->IsEmpty());
  EXPECT_EQ(d.Params->Width, 3);
  EXPECT_EQ(d.Params->Height, 5);
  EXPECT_EQ(d.Params->DpiX, 72);
  EXPECT_EQ(d.Params->ImageCount, 1);
}

TEST(BmpRead, ReadsFromTheStreamPositionAndBareDib) {
  BmpSpec s;
  s.Data = Rgb2x2Rows();
  const std::string bmp = MakeBmp(s);
  auto stream = StreamOf("junk!" + bmp + "tail");
  stream->Seek(5, soBeginning);
  Decoded d;
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  EXPECT_TRUE(HasBmpSignature(stream.get()));
  EXPECT_EQ(stream->Position(), 5);
  DecodeBmpStream(stream.get(), d.Bitmap.get(), 0, d.Params.get(), progress, false, false, d.Mask, false);
  EXPECT_FALSE(abort);
  ExpectRgb2x2(d);
  EXPECT_EQ(stream->Position(), static_cast<int64_t>(5 + bmp.size()));
  // Without the file header (IsResource).
  Decoded r = DecodeBmp(bmp.substr(14), {.Resource = true});
  ExpectRgb2x2(r);
}

TEST(BmpRead, AbortFromTheProgressEventStopsAfterTheRow) {
  BmpSpec s;
  s.Width = 1;
  s.Height = 100;
  std::vector<std::string> rows(100, Bytes({5, 5, 5}));
  s.Data = Rows(rows);
  auto stream = StreamOf(MakeBmp(s));
  Decoded d;
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  int calls = 0, last = -1;
  progress.Event = TPXProgressEvent([&](TObject*, int32_t per) {
    ++calls;
    EXPECT_GT(per, last);
    last = per;
    if (per >= 10) abort = true;
  });
  DecodeBmpStream(stream.get(), d.Bitmap.get(), 0, d.Params.get(), progress, false, false, d.Mask, false);
  EXPECT_TRUE(abort);
  EXPECT_EQ(last, 10);
  EXPECT_EQ(d.Pixel(0, 99).r, 5);  // bottom rows read
  EXPECT_EQ(d.Pixel(0, 0).r, 0);   // top rows not
}

}  // namespace
