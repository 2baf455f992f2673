// The imaging component's bridge over a fake provider: every source layout into the library's
// pixel formats, the CMYK round trip, the catch-all type, failures and the encoder options.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/pxwic.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/CodecTestSupport.h"

namespace {

// The fake container: "FAKEWIC1", layout, width, height (32-bit), palette count (16-bit), the
// palette (0xAARRGGBB) and the packed rows.
constexpr char kMagic[] = "FAKEWIC1";

struct FakeFile {
  TPXWICPixelFormat Format = wpf24bppBGR;
  uint32_t Width = 0, Height = 0;
  std::vector<uint32_t> Palette;
  std::vector<uint8_t> Pixels;

  std::string Bytes() const {
    std::string s(kMagic, 8);
    s += char(Format);
    s.append(reinterpret_cast<const char*>(&Width), 4);
    s.append(reinterpret_cast<const char*>(&Height), 4);
    const uint16_t n = uint16_t(Palette.size());
    s.append(reinterpret_cast<const char*>(&n), 2);
    s.append(reinterpret_cast<const char*>(Palette.data()), Palette.size() * 4);
    s.append(reinterpret_cast<const char*>(Pixels.data()), Pixels.size());
    return s;
  }
};

class FakeFrame : public IPXWICBitmapFrameDecode {
 public:
  explicit FakeFrame(std::shared_ptr<TPXWICMemorySource> S) : FSource(std::move(S)) {}
  TPXWICResult GetSize(uint32_t& W, uint32_t& H) override { return FSource->GetSize(W, H); }
  TPXWICResult GetPixelFormat(TPXWICPixelFormat& F) override { return FSource->GetPixelFormat(F); }
  TPXWICResult GetResolution(double& X, double& Y) override {
    X = 72;
    Y = 150;
    return wicOK;
  }
  TPXWICResult CopyPalette(std::vector<uint32_t>& C) override { return FSource->CopyPalette(C); }
  TPXWICResult CopyPixels(uint32_t L, uint32_t T, uint32_t W, uint32_t C, uint32_t S, uint64_t B, uint8_t* P) override {
    return FSource->CopyPixels(L, T, W, C, S, B, P);
  }

 private:
  std::shared_ptr<TPXWICMemorySource> FSource;
};

class FakeDecoder : public IPXWICBitmapDecoder {
 public:
  explicit FakeDecoder(std::shared_ptr<TPXWICMemorySource> S) : FSource(std::move(S)) {}
  TPXWICResult GetFrameCount(uint32_t& N) override {
    N = 3;
    return wicOK;
  }
  TPXWICResult GetFrame(uint32_t I, std::unique_ptr<IPXWICBitmapFrameDecode>& F) override {
    if (I >= 3) return wicInvalidArg;
    F = std::make_unique<FakeFrame>(FSource);
    return wicOK;
  }

 private:
  std::shared_ptr<TPXWICMemorySource> FSource;
};

// What the last encode was told.
struct EncodeLog {
  TPXWICPropertyBag Options;
  TPXWICPixelFormat Asked = wpfUndefined;
};

class FakeFrameEncode : public IPXWICBitmapFrameEncode {
 public:
  FakeFrameEncode(FakeFile& Out, EncodeLog& Log, bool Fail) : FOut(Out), FLog(Log), FFail(Fail) {}
  TPXWICResult Initialize(const TPXWICPropertyBag& O) override {
    FLog.Options = O;
    return wicOK;
  }
  TPXWICResult SetSize(uint32_t W, uint32_t H) override {
    FOut.Width = W;
    FOut.Height = H;
    return wicOK;
  }
  TPXWICResult SetResolution(double, double) override { return wicOK; }
  TPXWICResult SetPixelFormat(TPXWICPixelFormat& F) override {
    FLog.Asked = F;
    if (F == wpfUndefined) F = wpf24bppBGR;
    FOut.Format = F;
    return wicOK;
  }
  TPXWICResult WritePixels(uint32_t Lines, uint32_t, uint64_t Size, const uint8_t* P) override {
    if (FFail) return wicFail;
    FOut.Pixels.insert(FOut.Pixels.end(), P, P + Size);
    (void)Lines;
    return wicOK;
  }
  TPXWICResult Commit() override { return wicOK; }

 private:
  FakeFile& FOut;
  EncodeLog& FLog;
  bool FFail;
};

class FakeEncoder : public IPXWICBitmapEncoder {
 public:
  FakeEncoder(TStream* S, EncodeLog& Log, bool Fail) : FStream(S), FLog(Log), FFail(Fail) {}
  TPXWICResult CreateNewFrame(std::unique_ptr<IPXWICBitmapFrameEncode>& F, TPXWICPropertyBag&) override {
    F = std::make_unique<FakeFrameEncode>(FFile, FLog, FFail);
    return wicOK;
  }
  TPXWICResult Commit() override {
    const std::string b = FFile.Bytes();
    FStream->WriteBuffer(b.data(), int64_t(b.size()));
    return wicOK;
  }

 private:
  TStream* FStream;
  EncodeLog& FLog;
  bool FFail;
  FakeFile FFile;
};

class FakeProvider : public TPXWICProvider {
 public:
  EncodeLog Log;
  bool FailWrites = false;

  TPXWICCodecDescription DecoderInfo() const override {
    return {"Fake Codec", "{00000000-0000-0000-0000-000000000001}", ".fake,.dds", "9.8.7", "Test Author"};
  }
  bool Probe(TStream* S) override {
    char m[8];
    return S->Read(m, 8) == 8 && std::memcmp(m, kMagic, 8) == 0;
  }
  TPXWICResult CreateDecoder(TStream* S, std::unique_ptr<IPXWICBitmapDecoder>& D) override {
    uint8_t head[19];
    if (S->Read(head, 19) != 19) return wicBadImage;
    uint32_t w, h;
    uint16_t n;
    std::memcpy(&w, head + 9, 4);
    std::memcpy(&h, head + 13, 4);
    std::memcpy(&n, head + 17, 2);
    auto src = std::make_shared<TPXWICMemorySource>(w, h, TPXWICPixelFormat(head[8]));
    src->Palette().resize(n);
    S->Read(src->Palette().data(), int64_t(n) * 4);
    for (uint32_t y = 0; y < h; ++y) S->Read(src->Row(y), int64_t(src->Stride()));
    D = std::make_unique<FakeDecoder>(src);
    return wicOK;
  }
  TPXWICContainer EncoderContainer() const override { return TPXWICContainer::wcDds; }
  TPXWICResult CreateEncoder(TStream* S, std::unique_ptr<IPXWICBitmapEncoder>& E) override {
    E = std::make_unique<FakeEncoder>(S, Log, FailWrites);
    return wicOK;
  }
};

// Registers the fake in front of the real providers for one test.
struct FakeScope {
  std::shared_ptr<FakeProvider> Provider = std::make_shared<FakeProvider>();
  FakeScope() { RegisterWICProvider(Provider, true); }
  ~FakeScope() { UnregisterWICProvider(Provider.get()); }
};

// A 3 x 2 picture in layout F whose bytes count up from Seed.
FakeFile Picture(TPXWICPixelFormat F, uint8_t Seed = 10) {
  FakeFile f;
  f.Format = F;
  f.Width = 3;
  f.Height = 2;
  f.Pixels.resize(size_t(WICRowBytes(F, 3) * 2));
  for (size_t i = 0; i < f.Pixels.size(); ++i) f.Pixels[i] = uint8_t(Seed + 7 * i);
  if (F == wpf8bppIndexed || F == wpf1bppIndexed)
    for (uint32_t i = 0; i < 256; ++i) f.Palette.push_back(0xFF000000u | (i << 16) | ((255 - i) << 8) | (i / 2));
  return f;
}

struct Decoded {
  TPXBitmap Bitmap;
  TIOParams Params;
  TPXAbortFlag Aborting{false};
};

std::unique_ptr<Decoded> Decode(const std::string& Bytes, bool Native, TPXFileType Type = pxftWIC) {
  auto d = std::make_unique<Decoded>();
  d->Params.NativePixelFormat = Native;
  auto s = codectest::StreamOf(Bytes);
  TPXProgressRecord progress;
  progress.Aborting = &d->Aborting;
  DecodeWICStream(s.get(), Type, &d->Bitmap, &d->Params, progress);
  return d;
}

}  // namespace

TEST(WicBridge, SourceLayoutsBecomeTheLibraryFormats) {
  FakeScope fake;
  struct Case {
    TPXWICPixelFormat Source;
    bool Native;
    TPXPixelFormat Expected;
    bool Alpha;
  };
  const Case cases[] = {
      {wpf32bppRGBA, true, px32RGB, true},    {wpf32bppRGBA, false, px24RGB, true},
      {wpf32bppBGRA, true, px32RGB, true},    {wpf32bppBGRA, false, px24RGB, true},
      {wpf8bppIndexed, true, px24RGB, true},  {wpf8bppIndexed, false, px24RGB, true},
      {wpf1bppIndexed, true, px8p, false},    {wpf1bppIndexed, false, px24RGB, false},
      {wpfBlackWhite, true, px1g, false},     {wpfBlackWhite, false, px1g, false},
      {wpf8bppGray, true, px8g, false},       {wpf8bppGray, false, px24RGB, false},
      {wpf16bppGray, true, px16g, false},     {wpf48bppRGB, true, pxRGB48, false},
      {wpf24bppBGR, false, px24RGB, false},   {wpf32bppCMYK, true, pxCMYK, false},
      {wpf64bppRGBA, true, px24RGB, false},   {wpf24bppRGB, true, px24RGB, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "layout " << int(c.Source) << " native " << c.Native);
    FakeFile f = Picture(c.Source);
    if (c.Source == wpf8bppIndexed) f.Palette[f.Pixels[1]] &= 0x40FFFFFFu;  // pixel (1, 0) part transparent
    const auto d = Decode(f.Bytes(), c.Native);
    ASSERT_FALSE(d->Aborting);
    ASSERT_EQ(d->Bitmap.Width(), 3);
    ASSERT_EQ(d->Bitmap.Height(), 2);
    EXPECT_EQ(d->Bitmap.PixelFormat(), c.Expected);
    EXPECT_EQ(d->Bitmap.HasAlphaChannel(), c.Alpha);
    EXPECT_EQ(d->Params.ImageCount, 3);
    EXPECT_EQ(d->Params.DpiX, 72);
    EXPECT_EQ(d->Params.DpiY, 150);
    const uint8_t* p = f.Pixels.data();
    const uint8_t* row = d->Bitmap.Scanline(0);
    switch (c.Source) {
      case wpf32bppBGRA:
      case wpf32bppRGBA: {
        const bool swap = c.Source == wpf32bppRGBA;
        EXPECT_EQ(row[0], swap ? p[2] : p[0]);
        EXPECT_EQ(row[2], swap ? p[0] : p[2]);
        EXPECT_EQ(d->Bitmap.AlphaChannel()->Scanline(0)[1], p[7]);
        break;
      }
      case wpf8bppIndexed: {
        const uint32_t col = f.Palette[p[0]];
        EXPECT_EQ(row[2], uint8_t(col >> 16));
        EXPECT_EQ(row[1], uint8_t(col >> 8));
        EXPECT_EQ(d->Bitmap.AlphaChannel()->Scanline(0)[0], 255);
        EXPECT_EQ(d->Bitmap.AlphaChannel()->Scanline(0)[1], 0x40);
        break;
      }
      case wpf1bppIndexed:
        if (c.Native) {
          EXPECT_EQ(row[0], (p[0] >> 7) & 1);
          EXPECT_EQ(d->Bitmap.GetPalette()[1].r, 1);
          EXPECT_EQ(d->Bitmap.GetPalette()[1].g, 254);
        }
        break;
      case wpfBlackWhite:
        EXPECT_EQ(row[0] & 0xE0, p[0] & 0xE0);
        break;
      case wpf8bppGray:
        EXPECT_EQ(row[0], p[0]);
        break;
      case wpf48bppRGB:
      case wpf16bppGray:
        EXPECT_EQ(std::memcmp(row, p, size_t(WICRowBytes(c.Source, 3))), 0);
        break;
      case wpf32bppCMYK:  // kept complemented
        for (int i = 0; i < 12; ++i) EXPECT_EQ(row[i], 255 - p[i]);
        break;
      case wpf24bppRGB:
        EXPECT_EQ(row[0], p[2]);
        EXPECT_EQ(row[2], p[0]);
        break;
      default:
        break;
    }
  }
}

TEST(WicBridge, CmykRoundTripKeepsTheInksAndOptionsFollowTheParameters) {
  FakeScope fake;
  FakeFile f = Picture(wpf32bppCMYK, 3);
  const auto first = Decode(f.Bytes(), true);
  ASSERT_EQ(first->Bitmap.PixelFormat(), pxCMYK);
  TMemoryStream out;
  TIOParams params;
  params.WIC_Quality = 0.5;
  params.WIC_Flag = true;
  TPXProgressRecord progress;
  TPXAbortFlag aborting{false};
  progress.Aborting = &aborting;
  EncodeWICStream(&out, pxftDDS, &first->Bitmap, &params, progress);
  ASSERT_FALSE(aborting);
  EXPECT_EQ(fake.Provider->Log.Asked, wpf32bppCMYK);
  const auto second = Decode(codectest::BytesOf(out), true);
  ASSERT_EQ(second->Bitmap.PixelFormat(), pxCMYK);
  const uint8_t* p = f.Pixels.data();
  for (int y = 0; y < 2; ++y)
    for (int i = 0; i < 12; ++i) EXPECT_EQ(255 - second->Bitmap.Scanline(y)[i], p[y * 12 + i]) << y << " " << i;
  EXPECT_EQ(params.WIC_CodecInfo.FriendlyName, "Fake Codec");
  EXPECT_EQ(params.WIC_CodecInfo.Author, "Test Author");
  EXPECT_EQ(params.WIC_CodecInfo.Version, "9.8.7");

  const TPXWICPropertyBag& bag = fake.Provider->Log.Options;
  ASSERT_NE(FindWICOption(bag, "ImageQuality"), nullptr);
  EXPECT_FLOAT_EQ(float(FindWICOption(bag, "ImageQuality")->Value), 0.5f);
  EXPECT_EQ(FindWICOption(bag, "ImageQuality")->Type, TPXWICVariantType::vtR4);
  EXPECT_EQ(FindWICOption(bag, "CompressionQuality"), nullptr);
  EXPECT_EQ(FindWICOption(bag, "Lossless")->Value, 1);
  EXPECT_EQ(FindWICOption(bag, "UseCodecOptions"), nullptr);
  EXPECT_EQ(FindWICOption(bag, "TiffCompressionMethod")->Value, 1);
  EXPECT_EQ(FindWICOption(bag, "FrequencyOrder")->Value, 1);

  // A negative quality is not passed; px8p and px32RGB ask for no format.
  params.WIC_Quality = -1;
  for (const TPXPixelFormat pf : {px8p, px32RGB}) {
    TPXBitmap b;
    b.Allocate(4, 4, pf);
    TMemoryStream o;
    EncodeWICStream(&o, pxftDDS, &b, &params, progress);
    EXPECT_EQ(FindWICOption(fake.Provider->Log.Options, "ImageQuality"), nullptr);
    EXPECT_EQ(fake.Provider->Log.Asked, wpfUndefined);
  }
}

TEST(WicBridge, UnknownStreamsFailingProvidersAndTheCatchAllType) {
  FakeScope fake;
  // Any stream a provider recognises opens as type 99; IsWICDecodable restores the position.
  const std::string good = Picture(wpf24bppBGR).Bytes();
  auto s = codectest::StreamOf("xy" + good);
  s->Seek(2, soBeginning);
  EXPECT_TRUE(IsWICDecodable(s.get(), pxftWIC));
  EXPECT_TRUE(IsWICDecodable(s.get(), pxftDDS));  // the fake lists ".dds"
  EXPECT_FALSE(IsWICDecodable(s.get(), pxftWEBP));
  EXPECT_EQ(s->Position(), 2);

  // No provider: bitmap untouched, abort flag, count 0.
  auto d = std::make_unique<Decoded>();
  d->Bitmap.Allocate(5, 5, px8g);
  d->Params.ImageCount = 7;
  auto junk = codectest::StreamOf(std::string(64, 'z'));
  TPXProgressRecord progress;
  progress.Aborting = &d->Aborting;
  DecodeWICStream(junk.get(), pxftWIC, &d->Bitmap, &d->Params, progress);
  EXPECT_TRUE(d->Aborting);
  EXPECT_EQ(d->Params.ImageCount, 0);
  EXPECT_EQ(d->Bitmap.Width(), 5);
  EXPECT_EQ(d->Bitmap.PixelFormat(), px8g);

  // Through the front end: type 99 loads, junk raises "WIC Loading Error".
  TPXBitmap bmp;
  auto io = TPixoranIO::CreateForBitmap(&bmp);
  auto ok = codectest::StreamOf(good);
  EXPECT_TRUE(io->LoadFromStreamWIC(ok.get(), pxftWIC));
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(io->Params()->FileType, pxftWIC);
  TPXBitmap empty;
  auto io2 = TPixoranIO::CreateForBitmap(&empty);
  auto bad = codectest::StreamOf(std::string(64, 'z'));
  try {
    io2->LoadFromStreamWIC(bad.get(), pxftWIC);
    ADD_FAILURE() << "no exception";
  } catch (const EPXException& e) {
    EXPECT_STREQ(e.what(), "WIC Loading Error");
  }

  // A frame index past the last: the reader fails and says so.
  auto past = std::make_unique<Decoded>();
  past->Params.ImageIndex = 3;
  auto ps = codectest::StreamOf(good);
  TPXProgressRecord pp;
  pp.Aborting = &past->Aborting;
  DecodeWICStream(ps.get(), pxftWIC, &past->Bitmap, &past->Params, pp);
  EXPECT_TRUE(past->Aborting);

  // A provider failing while writing raises "WIC Failure" and writes nothing; a type without a
  // container sets the abort flag.
  fake.Provider->FailWrites = true;
  TPXBitmap pic;
  pic.Allocate(2, 2, px24RGB);
  TIOParams params;
  TMemoryStream out;
  TPXAbortFlag aborting{false};
  TPXProgressRecord wp;
  wp.Aborting = &aborting;
  try {
    EncodeWICStream(&out, pxftDDS, &pic, &params, wp);
    ADD_FAILURE() << "no exception";
  } catch (const EPXException& e) {
    EXPECT_STREQ(e.what(), "WIC Failure");
  }
  EXPECT_EQ(out.Size(), 0);
  EncodeWICStream(&out, pxftWIC, &pic, &params, wp);
  EXPECT_TRUE(aborting);
  EXPECT_EQ(out.Size(), 0);
}
