// The icon and cursor readers on files assembled byte by byte.
#include <gtest/gtest.h>

#include "codecs/bmpfilt.h"
#include "codecs/pngfilt.h"
#include "tests/codecs/BmpTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace bmptest;

namespace {

// A 32-bit DIB image of W x H: colour (x, y, 7) and alpha Alpha(x, y); AND rows from AndBit.
template <typename A, typename M>
std::string Dib32(int32_t W, int32_t H, A Alpha, M AndBit, int32_t HeaderH2 = -1) {
  std::string d = DibHeader(W, HeaderH2 < 0 ? 2 * H : HeaderH2, 32);
  for (int32_t y = H - 1; y >= 0; --y)
    for (int32_t x = 0; x < W; ++x) d += Bytes({x & 0xFF, y & 0xFF, 7, Alpha(x, y)});
  const int32_t andRow = (W + 31) / 32 * 4;
  for (int32_t y = H - 1; y >= 0; --y) {
    std::string r(static_cast<size_t>(andRow), '\0');
    for (int32_t x = 0; x < W; ++x)
      if (AndBit(x, y)) r[static_cast<size_t>(x / 8)] = static_cast<char>(r[x / 8] | (0x80 >> (x & 7)));
    d += r;
  }
  return d;
}

const auto kNoAnd = [](int32_t, int32_t) { return false; };

TEST(IcoRead, EntryAndHeaderSizes) {
  // 32 x 32 entry, 32 x 64 header.
  Decoded d = DecodeIco(MakeIco({{32, 32, 0, 1, 32, Dib32(32, 32, [](int, int) { return 255; }, kNoAnd)}}));
  ASSERT_FALSE(d.Aborted);
  EXPECT_EQ(d.Bitmap->Width(), 32);
  EXPECT_EQ(d.Bitmap->Height(), 32);
  EXPECT_FALSE(d.Mask);  // alpha all 255
  EXPECT_EQ(d.Pixel(5, 9).b, 5);
  EXPECT_EQ(d.Pixel(5, 9).g, 9);
  EXPECT_EQ(d.Params->ICO_Sizes[0].Width, 32);
  EXPECT_EQ(d.Params->ICO_BitCounts[0], 32);
  EXPECT_FALSE(d.Params->ICO_PNG);
  // Width byte 0 with a 256 x 512 header.
  d = DecodeIco(MakeIco({{0, 0, 0, 1, 32, Dib32(256, 256, [](int x, int) { return x; }, kNoAnd)}}));
  EXPECT_EQ(d.Bitmap->Width(), 256);
  EXPECT_EQ(d.Bitmap->Height(), 256);
  EXPECT_EQ(d.Params->ICO_Sizes[0].Width, 256);
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(200, 3), 200);
}

TEST(IcoRead, ZeroAlphaTakesTheAndRows) {
  Decoded d = DecodeIco(MakeIco({{4, 2, 0, 1, 32, Dib32(4, 2, [](int, int) { return 0; },
                                                            [](int x, int y) { return x == 1 && y == 0; })}}));
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(1, 0), 0);
  EXPECT_EQ(d.Alpha(2, 0), 255);
  EXPECT_EQ(d.Alpha(1, 1), 255);
}

TEST(IcoRead, PalettedAndOneBitEntries) {
  // 4-bit 2 x 1: indices 1, 2; pixel 1 transparent (shows the background).
  std::string dib = DibHeader(2, 2, 4);
  for (int i = 0; i < 16; ++i) dib += Bytes({i * 10, 0, 0, 0});
  dib += Bytes({0x12, 0, 0, 0});    // colour row
  dib += Bytes({0x40, 0, 0, 0});    // AND row: pixel 1
  Decoded d = DecodeIco(MakeIco({{2, 1, 16, 1, 4, dib}}));
  EXPECT_EQ(d.Pixel(0, 0).b, 10);
  EXPECT_EQ(d.Pixel(1, 0).r, 255);  // white background
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(1, 0), 0);
  Decoded n = DecodeIco(MakeIco({{2, 1, 16, 1, 4, dib}}), {.Native = true});
  ASSERT_EQ(n.Bitmap->PixelFormat(), px8p);
  EXPECT_EQ(n.Bitmap->Scanline(0)[1], 2);
  // 1 bit with a white background: transparent (XOR 0) shows white, inverting (XOR 1) black.
  std::string mono = DibHeader(3, 2, 1) + Bytes({0, 0, 0, 0, 255, 255, 255, 0});
  mono += Bytes({0x60, 0, 0, 0});  // XOR: pixels 1, 2 set
  mono += Bytes({0xC0, 0, 0, 0});  // AND: pixels 0, 1 set
  d = DecodeIco(MakeIco({{3, 1, 2, 1, 1, mono}}));
  ASSERT_EQ(d.Bitmap->PixelFormat(), px1g);
  EXPECT_EQ(d.Bitmap->Scanline(0)[0] & 0xE0, 0xA0);  // white, black, white
  EXPECT_EQ(d.Alpha(0, 0), 0);
  EXPECT_EQ(d.Alpha(2, 0), 255);
}

TEST(IcoRead, BmpAndPngData) {
  BmpSpec s;
  s.Data = Rows({Bytes({1, 2, 3, 4, 5, 6}), Bytes({7, 8, 9, 10, 11, 12})});
  Decoded d = DecodeIco(MakeBmp(s));
  EXPECT_EQ(d.Pixel(1, 1).r, 12);

  // A PNG entry, the second of two.
  auto pic = PatternBitmap(6, 4, true);
  TMemoryStream png;
  TIOParams pp;
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  auto mask = std::make_unique<TPXMask>();
  mask->AllocateBits(6, 4, 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) mask->GetScanline(y)[x] = PatternAlpha(x, y);
  EncodePngStream(&png, pic.get(), &pp, progress, mask.get());
  const std::string ico = MakeIco({{2, 1, 0, 1, 32, Dib32(2, 1, [](int, int) { return 255; }, kNoAnd)},
                                   {6, 4, 0, 1, 32, BytesOf(png)}});
  d = DecodeIco(ico, {.Index = 1});
  ASSERT_FALSE(d.Aborted);
  EXPECT_TRUE(d.Params->ICO_PNG);
  EXPECT_EQ(d.Params->ImageCount, 2);
  EXPECT_EQ(d.Bitmap->Width(), 6);
  EXPECT_EQ(d.Pixel(3, 2).r, PatternColor(3, 2).r);
  EXPECT_EQ(d.Bitmap->GetAlpha(3, 2), PatternAlpha(3, 2));
  // PreviewOnly reaches the PNG reader.
  d = DecodeIco(ico, {.Preview = true, .Index = 1});
  EXPECT_TRUE(d.Bitmap->IsEmpty());
  EXPECT_EQ(d.Params->Width, 6);
}

TEST(IcoRead, CursorPaletteHotSpotAndDepth) {
  // Colour count 255 with 8 bits: 256 palette entries; the hot spot from the entry.
  std::string dib = DibHeader(2, 4, 8);
  for (int i = 0; i < 256; ++i) dib += Bytes({0, i, 0, 0});
  dib += Bytes({200, 255, 0, 0, 0, 0, 0, 0}) + Bytes({0, 0, 0, 0, 0, 0, 0, 0});
  Decoded d = DecodeCur(MakeIco({{2, 2, 255, 5, 9, dib}}, 2));
  ASSERT_FALSE(d.Aborted);
  EXPECT_EQ(d.Params->ColorMapCount, 256);
  EXPECT_EQ(d.Params->CUR_XHotSpot, 5);
  EXPECT_EQ(d.Params->CUR_YHotSpot, 9);
  EXPECT_EQ(d.Pixel(1, 1).g, 255);
  EXPECT_EQ(d.Pixel(0, 0).g, 0);
  EXPECT_TRUE(d.Mask);  // returned as built, even full
  // A colour count of 2 on a 4-bit cursor decodes by the bit count.
  std::string dib4 = DibHeader(20, 2, 4);
  for (int i = 0; i < 16; ++i) dib4 += Bytes({i * 16, 0, 0, 0});
  dib4 += std::string(12, '\x77') + std::string(4, '\0');
  d = DecodeCur(MakeIco({{20, 1, 2, 0, 0, dib4}}, 2));
  ASSERT_FALSE(d.Aborted);
  EXPECT_EQ(d.Bitmap->PixelFormat(), px24RGB);
  EXPECT_EQ(d.Pixel(19, 0).b, 7 * 16);
}

TEST(IcoRead, DocumentedErrors) {
  // A 2-bit entry with NativePixelFormat; without it the picture is left blank.
  std::string dib = DibHeader(1, 2, 2) + std::string(16 + 8, '\0');
  const std::string ico2 = MakeIco({{1, 1, 0, 1, 2, dib}});
  EXPECT_EQ(MessageOf<EPXException>([&] { DecodeIco(ico2, {.Native = true}); }), "Unsupported pixel format");
  EXPECT_EQ(DecodeIco(ico2).Bitmap->Width(), 1);
  // 16-bit entries are read (5-5-5 by default, or by the masks after the header).
  std::string dib16 = DibHeader(2, 2, 16) + Bytes({0xFF, 0x7F, 0x00, 0x7C}) + std::string(4, '\0');
  Decoded d16 = DecodeIco(MakeIco({{2, 1, 0, 1, 16, dib16}}), {.Native = true});
  ASSERT_FALSE(d16.Aborted);
  EXPECT_EQ(d16.Pixel(0, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(d16.Pixel(1, 0), (TRGB{0, 0, 255}));
  std::string fields = DibHeader(1, 2, 16);
  fields[16] = 3;  // bit fields: 5-6-5
  fields += Bytes({0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}) + Bytes({0xE0, 0x07, 0, 0}) + std::string(4, '\0');
  EXPECT_EQ(DecodeIco(MakeIco({{1, 1, 0, 1, 16, fields}})).Pixel(0, 0), (TRGB{0, 255, 0}));

  // A small picture in the top rows of a 256 x 256 frame.
  const std::string frame = MakeIco(
      {{0, 0, 0, 1, 32, Dib32(256, 256, [](int x, int y) { return x >= 10 && x < 30 && y >= 5 && y < 20 ? 255 : 0; },
                              kNoAnd)}});
  EXPECT_EQ(MessageOf<EPXException>([&] { DecodeIco(frame, {.Mode = 1}); }), "Not valid 256x256 Icon");
  Decoded d = DecodeIco(frame, {.Mode = 2});
  EXPECT_EQ(d.Bitmap->Width(), 20);
  EXPECT_EQ(d.Bitmap->Height(), 15);
  EXPECT_FALSE(d.Mask);
  EXPECT_EQ(d.Bitmap->GetAlpha(0, 0), 255);
  EXPECT_EQ(d.Pixel(0, 0).b, 10);
  d = DecodeIco(frame, {.Mode = 0});
  EXPECT_EQ(d.Bitmap->Width(), 256);
}

TEST(IcoRead, BadDirectoriesEndWithTheAbortFlag) {
  const std::string ok = MakeIco({{2, 1, 0, 1, 32, Dib32(2, 1, [](int, int) { return 255; }, kNoAnd)}});
  EXPECT_TRUE(DecodeIco(ok, {.Index = 1}).Aborted);
  EXPECT_TRUE(DecodeIco(ok, {.Index = -1}).Aborted);
  EXPECT_TRUE(DecodeCur(MakeIco({{2, 1, 0, 0, 0, Dib32(2, 1, [](int, int) { return 255; }, kNoAnd)}}, 2),
                        {.Index = 3})
                  .Aborted);
  std::string past = ok;
  past[18] = static_cast<char>(0x70);  // data offset far past the end
  EXPECT_TRUE(DecodeIco(past).Aborted);
  // Huge header size with little data: nothing allocated.
  std::string huge = MakeIco({{0, 0, 0, 1, 32, DibHeader(60000, 120000, 32) + "xx"}});
  EXPECT_TRUE(DecodeIco(huge).Aborted);
  // Zero sizes.
  EXPECT_TRUE(DecodeIco(MakeIco({{0, 0, 0, 1, 32, DibHeader(0, 0, 32) + std::string(64, '\0')}})).Aborted);
  EXPECT_TRUE(DecodeIco("").Aborted);
  EXPECT_TRUE(DecodeCur("").Aborted);
}

TEST(IcoRead, SignaturesAndCount) {
  const std::string ico = MakeIco({{2, 1, 0, 1, 32, Dib32(2, 1, [](int, int) { return 255; }, kNoAnd)},
                                   {2, 1, 0, 1, 32, Dib32(2, 1, [](int, int) { return 255; }, kNoAnd)}});
  auto s = StreamOf(ico);
  EXPECT_TRUE(HasIcoSignature(s.get()));
  EXPECT_FALSE(HasCurSignature(s.get()));
  EXPECT_EQ(GetIcoImageCount(s.get()), 2);
  EXPECT_EQ(s->Position(), 0);
  std::string bad = ico;
  bad[6 + 16 + 3] = 1;  // reserved byte of the second entry
  EXPECT_FALSE(HasIcoSignature(StreamOf(bad).get()));
  EXPECT_FALSE(HasIcoSignature(StreamOf(ico.substr(0, 22)).get()));
}

}  // namespace
