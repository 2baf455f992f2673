// The PNG writer: the layout chosen from the parameters and the mask, palettes, texts,
// resolution, pixel formats that need a converted source, errors and short writes.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "codecs/pngfilt.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio_registry.h"
#include "tests/codecs/PngTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace pngtest;

namespace {

struct Written {
  std::string File;
  bool Aborted = false;
  int32_t Events = 0;
};

Written Encode(TPXBitmap* Bitmap, TIOParams* Params, TPXMask* Mask = nullptr) {
  TMemoryStream stream;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  Written w;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent([&](TObject*, int32_t) { ++w.Events; }));
  EncodePngStream(&stream, Bitmap, Params, progress, Mask);
  w.File.assign(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  w.Aborted = flag;
  return w;
}

struct PngChunk {
  std::string Type;
  std::string Data;
};

std::vector<PngChunk> Chunks(const std::string& File) {
  std::vector<PngChunk> out;
  size_t at = 8;
  while (at + 12 <= File.size()) {
    const auto* p = reinterpret_cast<const uint8_t*>(File.data() + at);
    const uint32_t n = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    out.push_back({File.substr(at + 4, 4), File.substr(at + 8, n)});
    at += 12 + n;
  }
  return out;
}

const PngChunk* Find(const std::vector<PngChunk>& C, const char* Type) {
  for (const PngChunk& c : C)
    if (c.Type == Type) return &c;
  return nullptr;
}

uint32_t Be(const std::string& D, size_t At) {
  const auto* p = reinterpret_cast<const uint8_t*>(D.data() + At);
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// (colour type, depth) of the file.
std::pair<int, int> Layout(const std::string& File) {
  const auto c = Chunks(File);
  if (c.empty() || c[0].Type != "IHDR") return {-1, -1};
  return {uint8_t(c[0].Data[9]), uint8_t(c[0].Data[8])};
}

std::unique_ptr<TPXBitmap> ColourPicture(int W, int H, int Colours = 0) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int k = Colours ? (x + y) % Colours : x * 7 + y * 31;
      reinterpret_cast<TRGB*>(b->Scanline(y))[x] = TRGB{uint8_t(k * 40), uint8_t(255 - k * 9), uint8_t(k * 17 + 3)};
    }
  return b;
}

std::unique_ptr<TPXBitmap> GreyPicture(int W, int H) {
  auto b = TPXBitmap::CreateAllocated(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const auto v = uint8_t(x * 19 + y * 5);
      reinterpret_cast<TRGB*>(b->Scanline(y))[x] = TRGB{v, v, v};
    }
  return b;
}

std::unique_ptr<TPXMask> OpaqueMask(int W, int H) {
  auto m = std::make_unique<TPXMask>();
  m->AllocateBits(W, H, 8);
  m->Fill(255);
  return m;
}

TEST(PngWrite, MaskDecidesBetweenRgbAndRgba) {
  auto pic = ColourPicture(10, 6);
  TIOParams params;
  EXPECT_EQ(Layout(Encode(pic.get(), &params).File), (std::pair{2, 8}));
  auto mask = OpaqueMask(10, 6);
  EXPECT_EQ(Layout(Encode(pic.get(), &params, mask.get()).File), (std::pair{2, 8}));
  mask->SetPixel(3, 2, 0);
  mask->SetPixel(9, 5, 128);
  const Written w = Encode(pic.get(), &params, mask.get());
  ASSERT_EQ(Layout(w.File), (std::pair{6, 8}));
  Decoded d = Decode(w.File);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) {
      const TRGB c = reinterpret_cast<const TRGB*>(pic->Scanline(y))[x];
      const uint32_t a = x == 3 && y == 2 ? 0 : x == 9 && y == 5 ? 128 : 255;
      EXPECT_EQ(Rgba(d.Bitmap.get(), x, y), uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | a);
    }
  EXPECT_EQ(w.Events, 6);  // every row
}

TEST(PngWrite, DepthIsAdjustedToWhatPngStores) {
  auto colour = ColourPicture(9, 4, 5);
  TIOParams params;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 4;
  const Written w = Encode(colour.get(), &params);
  EXPECT_EQ(params.BitsPerSample, 8);
  EXPECT_EQ(Layout(w.File), (std::pair{3, 8}));
  Decoded d = Decode(w.File);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(Rgba(d.Bitmap.get(), x, 3), Rgba(colour.get(), x, 3));

  auto grey = GreyPicture(9, 4);
  params.BitsPerSample = 12;
  const Written g = Encode(grey.get(), &params);
  EXPECT_EQ(params.BitsPerSample, 16);
  EXPECT_EQ(Layout(g.File), (std::pair{0, 16}));
  Decoded n = Decode(g.File, true);
  ASSERT_EQ(n.Bitmap->PixelFormat(), px16g);
  // Full-scale samples: white stays white.
  const uint8_t v = grey->Scanline(2)[3 * 4];
  EXPECT_EQ(reinterpret_cast<const uint16_t*>(n.Bitmap->Scanline(2))[4], v * 257);

  params.BitsPerSample = 8;
  EXPECT_EQ(Layout(Encode(grey.get(), &params).File), (std::pair{0, 8}));
}

TEST(PngWrite, PaletteWithAlphaStartsWithTheBackground) {
  auto pic = ColourPicture(12, 7, 6);
  TIOParams params;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 8;
  params.PNG_Background = TRGB{7, 8, 9};
  auto mask = OpaqueMask(12, 7);
  mask->SetPixel(0, 0, 0);
  mask->SetPixel(5, 5, 200);  // not opaque: written transparent
  const Written w = Encode(pic.get(), &params, mask.get());
  const auto c = Chunks(w.File);
  ASSERT_EQ(Layout(w.File), (std::pair{3, 8}));
  const PngChunk* plte = Find(c, "PLTE");
  ASSERT_NE(plte, nullptr);
  ASSERT_EQ(plte->Data.size(), 768u);
  EXPECT_EQ(plte->Data.substr(0, 3), (std::string{9, 8, 7}));
  ASSERT_NE(Find(c, "tRNS"), nullptr);
  EXPECT_EQ(Find(c, "tRNS")->Data, std::string(1, '\0'));
  Decoded d = Decode(w.File);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 0, 0) & 0xFF, 0u);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 5, 5) & 0xFF, 0u);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 4, 2), Rgba(pic.get(), 4, 2));
}

TEST(PngWrite, TextPairsRoundTrip) {
  auto pic = ColourPicture(3, 3);
  TIOParams params;
  params.PNG_TextKeys = {"Title", "Caf\xC3\xA9", "Orphan"};
  params.PNG_TextValues = {"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC 5"};  // "été", "€ 5"
  const Written w = Encode(pic.get(), &params);
  const auto c = Chunks(w.File);
  int texts = 0;
  for (const PngChunk& k : c) texts += k.Type == "tEXt" || k.Type == "iTXt" || k.Type == "zTXt";
  EXPECT_EQ(texts, 2);
  ASSERT_NE(Find(c, "tEXt"), nullptr);
  EXPECT_EQ(Find(c, "tEXt")->Data, std::string("Title\0\xE9t\xE9", 9));  // Latin-1 on disk
  Decoded d = Decode(w.File);
  EXPECT_EQ(d.Params->PNG_TextKeys, (std::vector<std::string>{"Title", "Caf\xC3\xA9"}));
  EXPECT_EQ(d.Params->PNG_TextValues, (std::vector<std::string>{"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC 5"}));
}

TEST(PngWrite, ResolutionAndBackgroundChunks) {
  auto pic = ColourPicture(3, 3);
  TIOParams params;
  params.SetDpiX(72);
  params.SetDpiY(300);
  params.PNG_Background = TRGB{30, 20, 10};
  params.PNG_Compression = 42;  // beyond zlib's levels: the strongest one
  const auto c = Chunks(Encode(pic.get(), &params).File);
  const PngChunk* phys = Find(c, "pHYs");
  ASSERT_NE(phys, nullptr);
  EXPECT_EQ(Be(phys->Data, 0), 2835u);
  EXPECT_EQ(Be(phys->Data, 4), 11811u);
  EXPECT_EQ(phys->Data[8], 1);
  const PngChunk* bkgd = Find(c, "bKGD");
  ASSERT_NE(bkgd, nullptr);
  EXPECT_EQ(bkgd->Data, (std::string{0, 10, 0, 20, 0, 30}));
  // No resolution, no pHYs.
  params.SetDpiX(0);
  EXPECT_EQ(Find(Chunks(Encode(pic.get(), &params).File), "pHYs"), nullptr);
}

TEST(PngWrite, RefusedHeaderRaisesAfterCleanup) {
  auto pic = ColourPicture(8, 8);
  TIOParams params;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 16;  // a palette of depth 16
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { Encode(pic.get(), &params); }), "Error on creating PNG");
  TPXBitmap empty;
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { Encode(&empty, &params); }), "Error on creating PNG");
}

// Accepts Room bytes, then nothing.
class ShortStream : public TMemoryStream {
 public:
  explicit ShortStream(int32_t Room) : room_(Room) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const int32_t n = std::min(Count, room_);
    room_ -= n;
    return n > 0 ? TMemoryStream::Write(Buffer, n) : 0;
  }

 private:
  int32_t room_;
};

TEST(PngWrite, ShortWriteSetsTheFlag) {
  auto pic = ColourPicture(40, 40);
  TIOParams params;
  params.PNG_Compression = 0;
  ShortStream stream(200);
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  EXPECT_NO_THROW(EncodePngStream(&stream, pic.get(), &params, progress, nullptr));
  EXPECT_TRUE(flag);
  EXPECT_EQ(stream.Size(), 200);
}

TEST(PngWrite, AbortFromProgressSkipsTheEnd) {
  auto pic = ColourPicture(5, 50);
  TIOParams params;
  params.PNG_Interlaced = true;
  TMemoryStream stream;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  int32_t calls = 0;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent([&](TObject*, int32_t) {
                       if (++calls == 3) flag = true;
                     }));
  EncodePngStream(&stream, pic.get(), &params, progress, nullptr);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(progress.Count, 3);
  const std::string file(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  EXPECT_EQ(Find(Chunks(file), "IEND"), nullptr);
  // Not aborted, an interlaced picture counts rows times passes.
  flag = false;
  const Written w = Encode(pic.get(), &params);
  EXPECT_EQ(w.Events, 7 * 50);
  EXPECT_TRUE(Decode(w.File).Params->PNG_Interlaced);
}

// Pixel formats whose rows are not 24-bit go out through a px24RGB copy; the caller's bitmap
// stays as it was.
TEST(PngWrite, OtherPixelFormatsAreWrittenFromAConvertedCopy) {
  auto base = ColourPicture(11, 5);
  for (TPXPixelFormat f : {px32RGB, pxRGB48, pxCMYK, px8p, px16g, px32f}) {
    auto pic = TPXBitmap::CreateAllocated(11, 5, f);
    pic->ConvertPixelFormat(base.get());
    auto before = TPXBitmap::CreateCopy(pic.get());
    auto expected = TPXBitmap::CreateAllocated(11, 5, px24RGB);
    expected->ConvertPixelFormat(pic.get());
    TIOParams params;  // 3 samples of 8 bits
    const Written w = Encode(pic.get(), &params);
    ASSERT_EQ(Layout(w.File), (std::pair{2, 8})) << int(f);
    Decoded d = Decode(w.File);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 11; ++x) ASSERT_EQ(Rgba(d.Bitmap.get(), x, y), Rgba(expected.get(), x, y)) << int(f);
      ASSERT_EQ(std::memcmp(pic->Scanline(y), before->Scanline(y), size_t(pic->RowLen())), 0);
    }
  }
}

TEST(PngWrite, SixteenBitGreyKeepsItsLowByte) {
  auto pic = TPXBitmap::CreateAllocated(4, 2, px16g);
  const uint16_t values[8] = {0x0000, 0x1234, 0xFFFF, 0x00FF, 0xABCD, 0x8001, 0x7FFE, 0x0101};
  for (int i = 0; i < 8; ++i) reinterpret_cast<uint16_t*>(pic->Scanline(i / 4))[i % 4] = values[i];
  TIOParams params;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 16;
  const Written w = Encode(pic.get(), &params);
  ASSERT_EQ(Layout(w.File), (std::pair{0, 16}));
  Decoded d = Decode(w.File, true);
  ASSERT_EQ(d.Bitmap->PixelFormat(), px16g);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(reinterpret_cast<const uint16_t*>(d.Bitmap->Scanline(i / 4))[i % 4], values[i]);
  // 8 bits from px8g rows as they are.
  auto grey8 = TPXBitmap::CreateAllocated(4, 2, px8g);
  for (int i = 0; i < 8; ++i) grey8->Scanline(i / 4)[i % 4] = uint8_t(i * 30);
  params.BitsPerSample = 8;
  Decoded g = Decode(Encode(grey8.get(), &params).File, true);
  ASSERT_EQ(g.Bitmap->PixelFormat(), px8g);
  EXPECT_EQ(g.Bitmap->Scanline(1)[3], 210);
}

TEST(PngWrite, OneBitIsGreyWhateverTheSamples) {
  auto mono = TPXBitmap::CreateAllocated(13, 3, px1g);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 13; ++x) SetPixelBit(mono->Scanline(y), x, (x * y + x) % 3 == 0);
  for (int32_t samples : {1, 3}) {
    TIOParams params;
    params.SamplesPerPixel = samples;
    params.BitsPerSample = 1;
    const Written w = Encode(mono.get(), &params);
    ASSERT_EQ(Layout(w.File), (std::pair{0, 1})) << samples;
    Decoded d = Decode(w.File);
    ASSERT_EQ(d.Bitmap->PixelFormat(), px1g);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 13; ++x)
        EXPECT_EQ(GetPixelBit(d.Bitmap->Scanline(y), x) != 0, GetPixelBit(mono->Scanline(y), x) != 0);
  }
  // Two colours: the lighter one becomes white.
  auto two = ColourPicture(6, 2, 2);
  TIOParams params;
  params.SamplesPerPixel = 1;
  params.BitsPerSample = 1;
  Decoded d = Decode(Encode(two.get(), &params).File);
  ASSERT_EQ(d.Bitmap->PixelFormat(), px1g);
  EXPECT_NE(GetPixelBit(d.Bitmap->Scanline(0), 0), GetPixelBit(d.Bitmap->Scanline(0), 1));
}

TEST(PngWrite, ThroughTheFormatTable) {
  const TPXFormatRow* row = FormatRow(pxftPNG);
  ASSERT_NE(row, nullptr);
  auto pic = ColourPicture(5, 5);
  TIOParams params;
  auto mask = OpaqueMask(5, 5);
  mask->SetPixel(1, 1, 10);
  TMemoryStream stream;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  row->Encode(&stream, pic.get(), &params, mask.get(), progress);
  EXPECT_FALSE(flag);
  const std::string file(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  EXPECT_EQ(Rgba(Decode(file).Bitmap.get(), 1, 1) & 0xFF, 10u);
}

}  // namespace
