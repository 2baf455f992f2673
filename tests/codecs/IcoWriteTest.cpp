// The icon writer, the platform icon conversion and the ICO rows of the I/O component.
#include <gtest/gtest.h>

#include "codecs/bmpfilt.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "platform/gdi/Graphics.h"
#include "tests/codecs/BmpTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace bmptest;

namespace {

std::string EncodeIco(TPXBitmap* Bitmap, TIOParams* Params, const std::vector<TPXIcoSize>& Sizes,
                      const std::vector<int32_t>& Bits, bool* Aborted = nullptr) {
  TMemoryStream s;
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  EncodeIcoStream(&s, Bitmap, Params, progress, Sizes, Bits);
  if (Aborted) *Aborted = abort;
  return BytesOf(s);
}

size_t EntryAt(int i) { return 6 + 16 * static_cast<size_t>(i); }

TEST(IcoWrite, ThreeTwentyFourBitEntries) {
  auto pic = PatternBitmap(40, 30, false);
  TIOParams p;
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  bool aborted = true;
  const std::string f = EncodeIco(pic.get(), &p, {{16, 16}, {32, 32}, {48, 48}}, {0, 0, 0}, &aborted);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(Get16(f, 2), 1u);
  EXPECT_EQ(Get16(f, 4), 3u);
  for (int i = 0; i < 3; ++i) {
    const size_t e = EntryAt(i);
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<uint8_t>(f[e]), 16 * (i + 1));
    EXPECT_EQ(Get16(f, e + 4), 1u);   // planes
    EXPECT_EQ(Get16(f, e + 6), 24u);  // bits
    const uint32_t off = Get32(f, e + 12);
    EXPECT_EQ(Get32(f, off), 40u);
    EXPECT_EQ(Get32(f, off + 8), 32u * (i + 1));
    EXPECT_EQ(Get16(f, off + 14), 24u);
    Decoded d = DecodeIco(f, {.Index = i});
    ASSERT_FALSE(d.Aborted);
    EXPECT_EQ(d.Bitmap->Width(), 16 * (i + 1));
    EXPECT_FALSE(d.Mask);
  }
  EXPECT_EQ(pic->Width(), 40);
}

TEST(IcoWrite, EightBitEntryWithAlpha) {
  auto pic = PatternBitmap(8, 4, true);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) pic->SetAlpha(x, y, x < 3 ? 100 : 255);
  TIOParams p;
  const std::string f = EncodeIco(pic.get(), &p, {{8, 4}}, {8});
  const uint32_t off = Get32(f, EntryAt(0) + 12);
  EXPECT_EQ(Get16(f, off + 14), 8u);
  EXPECT_EQ(static_cast<uint8_t>(f[EntryAt(0) + 2]), 255);  // colour count
  EXPECT_EQ(Get16(f, EntryAt(0) + 6), 0u);
  EXPECT_EQ(Get32(f, off + 40), 0u);  // palette entry 0 black
  const size_t pixels = off + 40 + 256 * 4;
  const size_t andRows = pixels + 4 * 8;
  for (int row = 0; row < 4; ++row) {
    for (int x = 0; x < 8; ++x) EXPECT_EQ(f[pixels + row * 8 + x] == 0, x < 3) << x;
    EXPECT_EQ(static_cast<uint8_t>(f[andRows + row * 4]), 0xE0);
  }
  Decoded d = DecodeIco(f);
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(1, 1), 0);
  EXPECT_EQ(d.Alpha(5, 1), 255);
  EXPECT_EQ(p.ColorMapCount, 256);
}

TEST(IcoWrite, OneAndFourBitsAnd256AndPng) {
  auto pic = PatternBitmap(256, 256, true);
  TIOParams p;
  std::string f = EncodeIco(pic.get(), &p, {{256, 256}, {16, 16}, {16, 16}}, {32, 4, 1});
  EXPECT_EQ(f[EntryAt(0)], 0);
  EXPECT_EQ(f[EntryAt(0) + 1], 0);
  EXPECT_EQ(static_cast<uint8_t>(f[EntryAt(1) + 2]), 16);
  EXPECT_EQ(static_cast<uint8_t>(f[EntryAt(2) + 2]), 2);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(DecodeIco(f, {.Index = i}).Aborted) << i;
  Decoded d = DecodeIco(f);
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Alpha(100, 50), PatternAlpha(100, 50));
  EXPECT_EQ(d.Pixel(100, 50).g, PatternColor(100, 50).g);
  EXPECT_EQ(DecodeIco(f, {.Index = 2}).Bitmap->PixelFormat(), px1g);

  p.ICO_PNG = true;
  f = EncodeIco(pic.get(), &p, {{32, 32}, {48, 48}}, {32, 24});
  for (int i = 0; i < 2; ++i) {
    const uint32_t off = Get32(f, EntryAt(i) + 12);
    EXPECT_EQ(f.substr(off + 1, 3), "PNG");
    Decoded e = DecodeIco(f, {.Index = i});
    EXPECT_TRUE(e.Params->ICO_PNG);
    EXPECT_EQ(e.Bitmap->Width(), i == 0 ? 32 : 48);
    EXPECT_EQ(e.Bitmap->HasAlphaChannel(), i == 0);
  }
}

TEST(IcoWrite, ShortWriteSetsTheAbortFlag) {
  // Accepts 200 bytes, then writes nothing.
  class ShortStream : public TMemoryStream {
   public:
    int32_t Write(const void* Buffer, int32_t Count) override {
      const int64_t room = std::max<int64_t>(0, 200 - Position());
      return TMemoryStream::Write(Buffer, static_cast<int32_t>(std::min<int64_t>(Count, room)));
    }
  } s;
  auto pic = PatternBitmap(32, 32, false);
  TIOParams p;
  TPXAbortFlag abort{false};
  TPXProgressRecord progress;
  progress.Aborting = &abort;
  const std::vector<TPXIcoSize> sizes = {{32, 32}};
  const std::vector<int32_t> bits = {24};
  EncodeIcoStream(&s, pic.get(), &p, progress, sizes, bits);
  EXPECT_TRUE(abort);
}

TEST(IcoWrite, PlatformIconToBitmap) {
  // A 24-bit icon whose AND rows make the left column transparent.
  const int w = 4, h = 3;
  std::string dib = DibHeader(w, 2 * h, 24);
  for (int y = h - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < w; ++x) row += Bytes({10 * x, 20 * y, 200});
    row.resize(12, '\0');
    dib += row;
  }
  for (int y = 0; y < h; ++y) dib += Bytes({0x80, 0, 0, 0});
  const std::string ico = MakeIco({{w, h, 0, 1, 24, dib}});
  auto s = StreamOf(ico);
  TIcon icon;
  icon.LoadFromStream(s.get());
  TPXBitmap b;
  CopyIconToBitmap(&icon, &b, 0);
  ASSERT_EQ(b.Width(), w);
  ASSERT_EQ(b.Height(), h);
  EXPECT_EQ(b.GetPixelRGB(2, 1).b, 20);
  EXPECT_EQ(b.GetPixelRGB(2, 1).g, 20);
  EXPECT_EQ(b.GetPixelRGB(2, 1).r, 200);
  ASSERT_TRUE(b.HasAlphaChannel());
  EXPECT_EQ(b.GetAlpha(0, 1), 0);
  EXPECT_EQ(b.GetAlpha(1, 1), 255);
  // Assigning the icon to a bitmap goes the same way.
  TPXBitmap a;
  a.Assign(&icon);
  ASSERT_TRUE(a.HasAlphaChannel());
  EXPECT_EQ(a.GetAlpha(0, 2), 0);
  EXPECT_EQ(a.GetPixelRGB(3, 0).b, 30);
}

TEST(IcoWrite, ThroughTheIOComponent) {
  TestTempDir dir;
  auto pic = PatternBitmap(20, 10, true);
  auto io = TPixoranIO::CreateForBitmap(pic.get());
  io->SaveToFileIco(dir.File("a.ico"));  // no sizes: the picture's own size
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(io->Params()->ICO_Sizes[0].Width, 0);
  TPXBitmap loaded;
  auto in = TPixoranIO::CreateForBitmap(&loaded);
  EXPECT_TRUE(in->LoadFromFileIco(dir.File("a.ico")));
  ASSERT_EQ(loaded.Width(), 20);
  EXPECT_EQ(loaded.GetPixelRGB(7, 3).r, PatternColor(7, 3).r);
  EXPECT_EQ(GetIcoImageCountOfFile(dir.File("a.ico")), 1);
  // Two sizes, the first with alpha.
  io->Params()->ICO_Sizes[0] = {20, 10};
  io->Params()->ICO_Sizes[1] = {16, 16};
  io->Params()->ICO_BitCounts[0] = 32;
  io->Params()->ICO_BitCounts[1] = 8;
  io->SaveToFileIco(dir.File("b.ico"));
  EXPECT_EQ(GetIcoImageCountOfFile(dir.File("b.ico")), 2);
  EXPECT_TRUE(in->LoadFromFileIco(dir.File("b.ico")));
  ASSERT_TRUE(loaded.HasAlphaChannel());
  EXPECT_EQ(loaded.GetAlpha(7, 3), PatternAlpha(7, 3));
  in->Params()->ICO_ImageIndex = 1;
  EXPECT_TRUE(in->LoadFromFileIco(dir.File("b.ico")));
  EXPECT_EQ(loaded.Width(), 16);
}

}  // namespace
