// The PNG reader: every colour type and depth (plain and native layouts), interlacing and
// progress, preview-only parameters, damaged files and the stream contract.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codecs/pngfilt.h"
#include "core/pxsettings.h"
#include "io/pixoranio_registry.h"
#include "tests/codecs/PngTestSupport.h"

using namespace pngtest;

namespace {

struct ReadCase {
  const char* Name;
  int ColorType;
  int Depth;
  bool Trns;
  bool Native;
  TPXPixelFormat Format;
};

PngSpec SpecFor(const ReadCase& C, int W = 13, int H = 5) {
  PngSpec s;
  s.Width = W;
  s.Height = H;
  s.ColorType = C.ColorType;
  s.Depth = C.Depth;
  const int ch = ChannelsOf(C.ColorType);
  const uint32_t range = C.ColorType == PNG_COLOR_TYPE_PALETTE ? (C.Depth == 8 ? 256u : 1u << C.Depth)
                                                               : (C.Depth == 16 ? 65536u : 1u << C.Depth);
  for (int i = 0; i < s.Width * s.Height * ch; ++i)
    s.Samples.push_back(static_cast<uint16_t>((uint32_t(i) * 7919u + 11u) % range));
  if (C.ColorType == PNG_COLOR_TYPE_PALETTE) {
    for (uint32_t i = 0; i < range; ++i)
      s.Palette.push_back(png_color{uint8_t(i * 3 + 1), uint8_t(255 - i), uint8_t(i * 7)});
    if (C.Trns) s.TrnsAlpha = {0, 90, 180};
  } else if (C.Trns) {
    s.HasTrnsColor = true;
    s.TrnsColor.gray = s.Samples[0];
    if (ch == 3) {
      s.TrnsColor.red = s.Samples[0];
      s.TrnsColor.green = s.Samples[1];
      s.TrnsColor.blue = s.Samples[2];
    }
  }
  return s;
}

uint8_t To8(uint16_t V, int Depth) {
  if (Depth == 16) return uint8_t(V >> 8);
  return uint8_t(V * 255 / ((1 << Depth) - 1));
}

// What pixel I must read as (0xRRGGBBAA), worked out from the samples.
uint32_t Expected(const PngSpec& S, const ReadCase& C, int I) {
  const int ch = ChannelsOf(S.ColorType);
  const uint16_t* v = &S.Samples[size_t(I) * ch];
  uint8_t r, g, b, a = 255;
  switch (S.ColorType) {
    case PNG_COLOR_TYPE_PALETTE: {
      const png_color& p = S.Palette[v[0]];
      r = p.red, g = p.green, b = p.blue;
      if (v[0] < S.TrnsAlpha.size()) a = S.TrnsAlpha[v[0]];
      break;
    }
    case PNG_COLOR_TYPE_GRAY:
      r = g = b = To8(v[0], S.Depth);
      if (C.Trns && v[0] == S.TrnsColor.gray) a = 0;
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      r = g = b = To8(v[0], S.Depth);
      a = To8(v[1], S.Depth);
      break;
    default:
      r = To8(v[0], S.Depth), g = To8(v[1], S.Depth), b = To8(v[2], S.Depth);
      if (ch == 4) a = To8(v[3], S.Depth);
      else if (C.Trns && v[0] == S.TrnsColor.red && v[1] == S.TrnsColor.green && v[2] == S.TrnsColor.blue) a = 0;
  }
  return uint32_t(r) << 24 | uint32_t(g) << 16 | uint32_t(b) << 8 | a;
}

class PngReadTable : public testing::TestWithParam<ReadCase> {};

TEST_P(PngReadTable, DecodesEveryLayout) {
  const ReadCase& c = GetParam();
  const PngSpec s = SpecFor(c);
  Decoded d = Decode(MakePng(s), c.Native);
  ASSERT_FALSE(d.Aborted);
  TPXBitmap* b = d.Bitmap.get();
  ASSERT_EQ(b->PixelFormat(), c.Format);
  ASSERT_EQ(b->Width(), s.Width);
  ASSERT_EQ(b->Height(), s.Height);
  const bool wantAlpha = c.Native ? c.ColorType == PNG_COLOR_TYPE_PALETTE && c.Trns
                                  : c.Depth > 1 && (c.Trns || (c.ColorType & PNG_COLOR_MASK_ALPHA));
  EXPECT_EQ(b->HasAlphaChannel(), wantAlpha);
  if (wantAlpha) {
    EXPECT_EQ(b->PeekAlphaChannel()->FFull, 0);
  }
  EXPECT_EQ(d.Params->SamplesPerPixel, ChannelsOf(c.ColorType));
  EXPECT_EQ(d.Params->BitsPerSample, c.ColorType == PNG_COLOR_TYPE_PALETTE ? 8 : c.Depth);
  for (int y = 0; y < s.Height; ++y) {
    for (int x = 0; x < s.Width; ++x) {
      const int i = y * s.Width + x;
      const uint16_t v = s.Samples[size_t(i) * ChannelsOf(c.ColorType)];
      SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
      switch (c.Format) {
        case px1g: EXPECT_EQ(GetPixelBit(b->Scanline(y), x) != 0, v != 0); break;
        case px8g: EXPECT_EQ(b->Scanline(y)[x], v); break;
        case px16g: EXPECT_EQ(reinterpret_cast<const uint16_t*>(b->Scanline(y))[x], v); break;
        case px8p: {
          ASSERT_EQ(b->Scanline(y)[x], v);
          TRGB col;
          b->GetPaletteColor(v, col);
          EXPECT_EQ(col, (TRGB{s.Palette[v].blue, s.Palette[v].green, s.Palette[v].red}));
          if (wantAlpha) {
            EXPECT_EQ(b->PeekAlphaChannel()->Scanline(y)[x], v < 3 ? s.TrnsAlpha[v] : 255);
          }
          break;
        }
        default: EXPECT_EQ(Rgba(b, x, y), Expected(s, c, i)); break;
      }
    }
  }
}

constexpr int G = PNG_COLOR_TYPE_GRAY, RGB = PNG_COLOR_TYPE_RGB, P = PNG_COLOR_TYPE_PALETTE,
              GA = PNG_COLOR_TYPE_GRAY_ALPHA, RGBA = PNG_COLOR_TYPE_RGB_ALPHA;

INSTANTIATE_TEST_SUITE_P(
    Layouts, PngReadTable,
    testing::Values(ReadCase{"Rgb8", RGB, 8, false, false, px24RGB}, ReadCase{"Rgb16", RGB, 16, false, false, px24RGB},
                    ReadCase{"Rgb8Trns", RGB, 8, true, false, px24RGB},
                    ReadCase{"Rgba8", RGBA, 8, false, false, px24RGB},
                    ReadCase{"Rgba16", RGBA, 16, false, false, px24RGB},
                    ReadCase{"GreyAlpha8", GA, 8, false, false, px24RGB},
                    ReadCase{"GreyAlpha16", GA, 16, false, false, px24RGB},
                    ReadCase{"Grey1", G, 1, false, false, px1g}, ReadCase{"Grey1Native", G, 1, false, true, px1g},
                    ReadCase{"Grey2", G, 2, false, false, px24RGB}, ReadCase{"Grey2Trns", G, 2, true, false, px24RGB},
                    ReadCase{"Grey4", G, 4, false, false, px24RGB}, ReadCase{"Grey8", G, 8, false, false, px24RGB},
                    ReadCase{"Grey8Trns", G, 8, true, false, px24RGB},
                    ReadCase{"Grey16", G, 16, false, false, px24RGB},
                    ReadCase{"Grey16Trns", G, 16, true, false, px24RGB},
                    ReadCase{"Grey8Native", G, 8, false, true, px8g},
                    ReadCase{"Grey16Native", G, 16, false, true, px16g},
                    ReadCase{"Palette1", P, 1, false, false, px24RGB},
                    ReadCase{"Palette2", P, 2, false, false, px24RGB},
                    ReadCase{"Palette4", P, 4, false, false, px24RGB},
                    ReadCase{"Palette4Native", P, 4, false, true, px24RGB},
                    ReadCase{"Palette8", P, 8, false, false, px24RGB},
                    ReadCase{"Palette8Trns", P, 8, true, false, px24RGB},
                    ReadCase{"Palette8Native", P, 8, false, true, px8p},
                    ReadCase{"Palette8TrnsNative", P, 8, true, true, px8p}),
    [](const testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.Name); });

PngSpec RgbaPicture(int W, int H, bool Interlaced) {
  PngSpec s;
  s.Width = W;
  s.Height = H;
  s.ColorType = PNG_COLOR_TYPE_RGB_ALPHA;
  s.Interlaced = Interlaced;
  uint32_t seed = 12345;  // noise, which deflate cannot shrink
  for (int i = 0; i < W * H * 4; ++i) {
    seed = seed * 1103515245u + 12345u;
    s.Samples.push_back(uint16_t(seed >> 24));
  }
  return s;
}

// Decodes with a progress event recording its values per call.
struct ProgressRun {
  std::vector<int32_t> Values;
  int32_t AbortAt = -1;  // call index at which the event sets the flag
  TPXAbortFlag Flag{false};
  TPXBitmap Bitmap;
  TIOParams Params;
  TPXProgressRecord Progress;

  void Run(const std::string& File) {
    TCustomMemoryStream stream(File.data(), static_cast<int64_t>(File.size()));
    InitProgressRecord(nullptr, &Flag, Progress, TPXProgressEvent([this](TObject*, int32_t per) {
                         Values.push_back(per);
                         if (int32_t(Values.size()) - 1 == AbortAt) Flag = true;
                       }));
    DecodePngStream(&stream, &Bitmap, &Params, Progress, false);
  }
};

TEST(PngRead, InterlacedEqualsPlainAndCountsSevenPasses) {
  const int w = 37, h = 23;
  Decoded plain = Decode(MakePng(RgbaPicture(w, h, false)));
  ProgressRun run;
  run.Run(MakePng(RgbaPicture(w, h, true)));
  ASSERT_FALSE(run.Flag);
  EXPECT_TRUE(run.Params.PNG_Interlaced);
  EXPECT_FALSE(plain.Params->PNG_Interlaced);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(Rgba(&run.Bitmap, x, y), Rgba(plain.Bitmap.get(), x, y)) << x << "," << y;
  EXPECT_EQ(run.Progress.Count, 7 * h);
  // Each pass restarts; within a pass the values rise strictly, never above 100.
  int restarts = 0;
  for (size_t i = 0; i < run.Values.size(); ++i) {
    EXPECT_LE(run.Values[i], 100);
    if (i > 0 && run.Values[i] <= run.Values[i - 1]) ++restarts;
  }
  EXPECT_EQ(run.Values.back(), 100);
  EXPECT_LE(restarts, 6);
  EXPECT_LT(run.Values.size(), size_t(7 * h));
}

// Every layout that is split or expanded on the way, and sizes with empty Adam7 passes.
TEST(PngRead, InterlacedTwinsOfEveryKind) {
  struct Case {
    ReadCase Layout;
    int W, H;
  };
  for (const Case& c : {Case{{"", RGBA, 8, false, false, px24RGB}, 3, 2},
                        Case{{"", RGBA, 8, false, false, px24RGB}, 1, 9},
                        Case{{"", GA, 16, false, false, px24RGB}, 10, 7},
                        Case{{"", P, 1, false, false, px24RGB}, 11, 9},
                        Case{{"", P, 8, true, false, px24RGB}, 9, 17}, Case{{"", P, 8, true, true, px8p}, 9, 17},
                        Case{{"", RGB, 16, false, false, px24RGB}, 6, 5}, Case{{"", G, 1, false, false, px1g}, 13, 3},
                        Case{{"", G, 2, true, false, px24RGB}, 7, 7}}) {
    PngSpec s = SpecFor(c.Layout, c.W, c.H);
    Decoded plain = Decode(MakePng(s), c.Layout.Native);
    s.Interlaced = true;
    Decoded twin = Decode(MakePng(s), c.Layout.Native);
    SCOPED_TRACE(testing::Message() << s.ColorType << "/" << s.Depth << " " << c.W << "x" << c.H);
    ASSERT_FALSE(twin.Aborted);
    ASSERT_EQ(twin.Bitmap->PixelFormat(), plain.Bitmap->PixelFormat());
    ASSERT_EQ(twin.Bitmap->HasAlphaChannel(), plain.Bitmap->HasAlphaChannel());
    const size_t bytes = (size_t(c.W) * PixelFormatBits(plain.Bitmap->PixelFormat()) + 7) / 8;
    for (int y = 0; y < c.H; ++y) {
      EXPECT_EQ(std::memcmp(twin.Bitmap->Scanline(y), plain.Bitmap->Scanline(y), bytes), 0) << y;
      if (plain.Bitmap->HasAlphaChannel()) {
        const uint8_t* a = twin.Bitmap->PeekAlphaChannel()->Scanline(y);
        EXPECT_EQ(std::memcmp(a, plain.Bitmap->PeekAlphaChannel()->Scanline(y), size_t(c.W)), 0) << y;
      }
    }
  }
}

TEST(PngRead, AbortFromProgressStopsAfterTheRow) {
  const int w = 8, h = 200;  // one per-cent value per two rows
  ProgressRun run;
  run.AbortAt = 4;
  run.Run(MakePng(RgbaPicture(w, h, false)));
  EXPECT_TRUE(run.Flag);
  EXPECT_EQ(run.Values, (std::vector<int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(run.Progress.Count, 8);  // the value 4 came with row 8
  // Interlaced: a row of the first pass counts 8 picture rows; its second row brings 1 per cent.
  ProgressRun adam7;
  adam7.AbortAt = 1;
  adam7.Run(MakePng(RgbaPicture(w, h, true)));
  EXPECT_TRUE(adam7.Flag);
  EXPECT_EQ(adam7.Values, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(adam7.Progress.Count, 16);
}

TEST(PngRead, PreviewFillsParametersAndLeavesTheBitmap) {
  PngSpec s = SpecFor(ReadCase{"", PNG_COLOR_TYPE_PALETTE, 4, true, false, px24RGB});
  s.Interlaced = true;
  s.HasPhys = true;
  s.PhysX = 2835;
  s.PhysY = 11811;
  s.HasBackground = true;
  s.Background.index = 2;
  s.Texts = {{"Title", "Reflection"}, {"Author", "me"}};
  TPXBitmap bitmap;
  bitmap.Allocate(3, 2, px8g);
  bitmap.Fill(77);
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  const std::string file = MakePng(s);
  TCustomMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  DecodePngStream(&stream, &bitmap, &params, progress, true);
  EXPECT_FALSE(flag);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(bitmap.PixelFormat(), px8g);
  EXPECT_EQ(bitmap.Scanline(1)[2], 77);
  EXPECT_EQ(params.Width, 13);
  EXPECT_EQ(params.Height, 5);
  EXPECT_EQ(params.OriginalWidth, 13);
  EXPECT_EQ(params.BitsPerSample, 8);
  EXPECT_EQ(params.SamplesPerPixel, 1);
  EXPECT_EQ(params.DpiX, 72);
  EXPECT_EQ(params.DpiY, 300);
  EXPECT_EQ(params.ImageCount, 1);
  EXPECT_TRUE(params.PNG_Interlaced);
  ASSERT_EQ(params.ColorMapCount, 16);
  EXPECT_EQ(params.ColorMap[5], (TRGB{35, 250, 16}));
  EXPECT_EQ(params.PNG_Background, (TRGB{14, 253, 7}));
  EXPECT_EQ(params.PNG_TextKeys, (std::vector<std::string>{"Title", "Author"}));
  EXPECT_EQ(params.PNG_TextValues, (std::vector<std::string>{"Reflection", "me"}));
}

TEST(PngRead, ResolutionAndBackground) {
  struct Case {
    bool Phys;
    png_uint_32 X;
    int Unit;
    int32_t Dpi;
  };
  GlobalSettingsInstance()->FDefaultDPIX = 300;
  for (const Case& c : {Case{false, 0, 0, 300}, Case{true, 2835, PNG_RESOLUTION_UNKNOWN, 300},
                        Case{true, 2835, PNG_RESOLUTION_METER, 72}, Case{true, 0, PNG_RESOLUTION_METER, 300},
                        Case{true, 3937, PNG_RESOLUTION_METER, 100}}) {
    PngSpec s = SpecFor(ReadCase{"", PNG_COLOR_TYPE_RGB, 16, false, false, px24RGB});
    s.HasPhys = c.Phys;
    s.PhysX = s.PhysY = c.X;
    s.PhysUnit = c.Unit;
    s.HasBackground = true;
    s.Background.red = 0x1234;
    s.Background.green = 0xABCD;
    s.Background.blue = 0xFF00;
    Decoded d = Decode(MakePng(s));
    EXPECT_EQ(d.Params->DpiX, c.Dpi) << c.X << " unit " << c.Unit;
    EXPECT_EQ(d.Params->DpiY, c.Dpi);
    EXPECT_EQ(d.Params->PNG_Background, (TRGB{0xFF, 0xAB, 0x12}));
  }
  // Without bKGD the field keeps its value.
  TPXBitmap bitmap;
  TIOParams params;
  params.PNG_Background = TRGB{1, 2, 3};
  TPXProgressRecord progress;
  const std::string file = MakePng(SpecFor(ReadCase{"", PNG_COLOR_TYPE_GRAY, 8, false, false, px24RGB}));
  TCustomMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  DecodePngStream(&stream, &bitmap, &params, progress, false);
  EXPECT_EQ(params.PNG_Background, (TRGB{1, 2, 3}));
}

TEST(PngRead, TruncatedFileKeepsItsRowsAndSetsTheFlag) {
  // Large enough for many IDAT reads, so that half the file holds whole rows.
  PngSpec s = RgbaPicture(256, 256, false);
  const std::string whole = MakePng(s);
  Decoded full = Decode(whole);
  for (size_t cut : {whole.size() / 2, whole.size() - 12, size_t(40), size_t(10)}) {
    Decoded d;
    EXPECT_NO_THROW(d = Decode(whole.substr(0, cut))) << cut;
    EXPECT_TRUE(d.Aborted) << cut;
    if (cut == whole.size() / 2) {
      ASSERT_EQ(d.Bitmap->Width(), 256);
      for (int x = 0; x < 256; ++x) EXPECT_EQ(Rgba(d.Bitmap.get(), x, 3), Rgba(full.Bitmap.get(), x, 3));
    }
  }
  // Interlaced: the early passes are kept (pixel 0 of row 0 comes first).
  const std::string adam7 = MakePng(RgbaPicture(256, 256, true));
  Decoded d = Decode(adam7.substr(0, adam7.size() / 2));
  EXPECT_TRUE(d.Aborted);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 0, 0), Rgba(full.Bitmap.get(), 0, 0));
  EXPECT_EQ(Rgba(d.Bitmap.get(), 8, 8), Rgba(full.Bitmap.get(), 8, 8));
}

TEST(PngRead, ExtraCompressedDataIsTolerated) {
  // 3 x 2 RGB rows, filter 0, and bytes after the end of the deflate stream inside IDAT.
  std::string raw;
  for (int y = 0; y < 2; ++y) {
    raw += '\0';
    for (int x = 0; x < 3; ++x) raw += std::string{char(10 * x), char(20 * y), char(200)};
  }
  const std::string file = Signature() + Ihdr(3, 2, 8, 2) + Chunk("IDAT", Deflate(raw) + "garbage!") +
                           Chunk("IEND", "");
  Decoded d = Decode(file);
  EXPECT_FALSE(d.Aborted);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 2, 1), 0x1414C8FFu);  // (20, 20, 200)
}

TEST(PngRead, OnePaletteEntryForOneBitReadsBlack) {
  // 1-bit palette whose PLTE holds only entry 0: pixels of index 1 have no colour.
  const std::string file = Signature() + Ihdr(8, 1, 1, 3) + Chunk("PLTE", std::string{'\xC8', '\x64', '\x32'}) +
                           Chunk("IDAT", Deflate(std::string{'\0', '\x0F'})) + Chunk("IEND", "");
  Decoded d = Decode(file);
  EXPECT_FALSE(d.Aborted);
  ASSERT_EQ(d.Bitmap->PixelFormat(), px24RGB);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 0, 0), 0xC86432FFu);
  EXPECT_EQ(Rgba(d.Bitmap.get(), 7, 0), 0x000000FFu);
  EXPECT_EQ(d.Params->ColorMapCount, 1);
}

TEST(PngRead, LatinTextBecomesUtf8) {
  PngSpec s = SpecFor(ReadCase{"", PNG_COLOR_TYPE_GRAY, 8, false, false, px24RGB});
  s.Texts = {{"Caf\xE9", "\xE9"}};
  Decoded d = Decode(MakePng(s));
  ASSERT_EQ(d.Params->PNG_TextValues.size(), 1u);
  EXPECT_EQ(d.Params->PNG_TextKeys[0], "Caf\xC3\xA9");
  EXPECT_EQ(d.Params->PNG_TextValues[0], "\xC3\xA9");
}

TEST(PngRead, StreamPositionAndSignature) {
  const std::string png = MakePng(RgbaPicture(6, 3, false));
  const std::string file = std::string(21, 'x') + png;
  TCustomMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  EXPECT_FALSE(HasPngSignature(&stream));
  EXPECT_EQ(stream.Position(), 0);
  stream.SetPosition(21);
  EXPECT_TRUE(HasPngSignature(&stream));
  EXPECT_EQ(stream.Position(), 21);
  TPXBitmap bitmap;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  DecodePngStream(&stream, &bitmap, &params, progress, false);
  EXPECT_FALSE(flag);
  Decoded direct = Decode(png);
  EXPECT_EQ(Rgba(&bitmap, 5, 2), Rgba(direct.Bitmap.get(), 5, 2));
  // Fewer than eight bytes: no match, the position stays.
  const std::string tiny("\x89PN", 3);
  TCustomMemoryStream small(tiny.data(), 3);
  EXPECT_FALSE(HasPngSignature(&small));
  EXPECT_EQ(small.Position(), 0);
}

TEST(PngRead, GarbageAndHugeHeadersSetTheFlag) {
  for (const std::string& file :
       {std::string(), std::string("not a png at all"), Signature() + Ihdr(1000000, 1000000, 8, 6) + Chunk("IEND", ""),
        Signature() + Ihdr(4, 4, 3, 2) + Chunk("IEND", "")}) {
    Decoded d;
    EXPECT_NO_THROW(d = Decode(file));
    EXPECT_TRUE(d.Aborted);
  }
}

TEST(PngRead, ThroughTheFormatTable) {
  const TPXFormatRow* row = FormatRow(pxftPNG);
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(row->Decode && row->Encode && row->Signature);
  EXPECT_TRUE(row->Rules.AlphaMaskOnSave);
  EXPECT_FALSE(row->Rules.MaskToAlpha);
  const std::string file = MakePng(RgbaPicture(4, 4, false));
  TCustomMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
  EXPECT_TRUE(row->Signature(&stream));
  TPXBitmap bitmap;
  TIOParams params;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  InitProgressRecord(nullptr, &flag, progress, TPXProgressEvent());
  std::unique_ptr<TPXMask> mask;
  EXPECT_EQ(row->Decode(&stream, &bitmap, &params, progress, false, mask), 0);
  EXPECT_FALSE(flag);
  EXPECT_EQ(mask, nullptr);
  EXPECT_TRUE(bitmap.HasAlphaChannel());
  EXPECT_EQ(Rgba(&bitmap, 3, 3), Rgba(Decode(file).Bitmap.get(), 3, 3));
}

}  // namespace
