// The JPEG reader and writer: start search, scaling, colour spaces, truncated and bad input,
// markers, progress, the writer's options and errors, and the outside decoders and encoders
// (djpeg, cjpeg, ImageMagick, PIL) as oracles.
#include <gtest/gtest.h>

#include <functional>

#include "core/pxsettings.h"
#include "io/pixoranio_registry.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_meta.h"
#include "tests/codecs/JpegTestSupport.h"

using namespace jpegtest;

namespace {

Bytes EncodeWith(TPXBitmap* Bitmap, const std::function<void(TIOParams&)>& Setup) {
  TIOParams p;
  Setup(p);
  return Encode(Bitmap, p);
}

// A 2000 x 1500 file, made once.
const Bytes& LargeJpeg() {
  static const Bytes data = [] {
    auto bmp = Gradient(2000, 1500);
    TIOParams p;
    p.JPEG_Quality = 30;
    return Encode(bmp.get(), p);
  }();
  return data;
}

// A stream that takes at most Limit bytes in all.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int64_t Limit) : FLimit(Limit) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const auto n = static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(Count, FLimit - Size())));
    return n > 0 ? TMemoryStream::Write(Buffer, n) : 0;
  }

 private:
  int64_t FLimit;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading

TEST(JpegReader, FindsTheStartOfImageWithin149BytesOfOtherData) {
  auto bmp = Gradient(32, 16);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  for (const size_t pad : {size_t{0}, size_t{1}, size_t{149}, size_t{150}}) {
    Bytes data(pad, 0x20);
    data.insert(data.end(), jpeg.begin(), jpeg.end());
    TIOParams p;
    const TDecoded d = Decode(data, p);
    EXPECT_EQ(d.Aborted, pad == 150) << pad;
    EXPECT_EQ(d.Bitmap->Width(), pad == 150 ? 0 : 32) << pad;
  }
}

TEST(JpegReader, ScaleRulesAndTheThumbnailStandIn) {
  const Bytes& jpeg = LargeJpeg();
  {
    TIOParams p;
    p.JPEG_Scale = 0;
    p.Width = 300;
    p.Height = 300;
    const TDecoded d = Decode(jpeg, p);
    EXPECT_FALSE(d.Aborted);
    EXPECT_EQ(d.Bitmap->Width(), 500);
    EXPECT_EQ(d.Bitmap->Height(), 375);
    EXPECT_EQ(p.JPEG_ScaleUsed, 4);
    EXPECT_EQ(p.OriginalWidth, 2000);
    EXPECT_EQ(p.OriginalHeight, 1500);
    EXPECT_EQ(p.Width, 500);
  }
  const struct {
    uint8_t Scale;
    int32_t W, H, Used;
  } cases[] = {{2, 1000, 750, 2}, {3, 500, 375, 4}, {4, 250, 188, 8}};
  for (const auto& c : cases) {
    TIOParams p;
    p.JPEG_Scale = c.Scale;
    const TDecoded d = Decode(jpeg, p);
    EXPECT_EQ(d.Bitmap->Width(), c.W) << int(c.Scale);
    EXPECT_EQ(d.Bitmap->Height(), c.H) << int(c.Scale);
    EXPECT_EQ(p.JPEG_ScaleUsed, c.Used) << int(c.Scale);
  }
  // Without an EXIF thumbnail, a thumbnail request decodes a picture reduced towards 300 x 300
  // and gives the caller's wished size and options back.
  TIOParams p;
  p.SetJpegGetThumbnail(true);
  const TDecoded d = Decode(jpeg, p);
  EXPECT_FALSE(d.Aborted);
  EXPECT_EQ(d.Bitmap->Width(), 500);
  EXPECT_EQ(p.JPEG_Scale, 1);
  EXPECT_EQ(p.Width, 0);
  EXPECT_TRUE(p.JPEG_GetThumbnail);
}

TEST(JpegReader, ResolutionFromTheJfifDensity) {
  auto bmp = Gradient(16, 16);
  TIOParams w;
  Bytes jpeg = Encode(bmp.get(), w);
  ASSERT_EQ(std::string(jpeg.begin() + 6, jpeg.begin() + 10), "JFIF");
  const struct {
    uint8_t Unit;
    int X, Y, DpiX, DpiY;
  } cases[] = {{2, 118, 118, 299, 299}, {1, 72, 96, 72, 96}, {0, 1, 1, 1, 1}};
  for (const auto& c : cases) {
    jpeg[13] = c.Unit;
    jpeg[14] = static_cast<uint8_t>(c.X >> 8), jpeg[15] = static_cast<uint8_t>(c.X);
    jpeg[16] = static_cast<uint8_t>(c.Y >> 8), jpeg[17] = static_cast<uint8_t>(c.Y);
    TIOParams p;
    Decode(jpeg, p, false, true);
    EXPECT_EQ(p.DpiX, c.DpiX) << int(c.Unit);
    EXPECT_EQ(p.DpiY, c.DpiY) << int(c.Unit);
  }
}

TEST(JpegReader, ColourSpacesGiveTheirCodesAndPixelFormats) {
  auto bmp = Gradient(24, 16);
  const struct {
    uint8_t Space;
    int32_t Samples;
    TPXPixelFormat Native;
  } cases[] = {{0, 3, px24RGB}, {1, 1, px8g}, {2, 3, px24RGB}, {3, 4, pxCMYK}, {4, 4, pxCMYK}};
  for (const auto& c : cases) {
    for (const bool progressive : {false, true}) {
      const Bytes jpeg = EncodeWith(bmp.get(), [&](TIOParams& p) {
        p.JPEG_ColorSpace = c.Space;
        p.JPEG_Progressive = progressive;
      });
      for (const bool native : {false, true}) {
        TIOParams p;
        p.JPEG_ColorSpace = 9;
        const TDecoded d = Decode(jpeg, p, native);
        SCOPED_TRACE(testing::Message() << int(c.Space) << " progressive " << progressive << " native " << native);
        EXPECT_FALSE(d.Aborted);
        EXPECT_EQ(p.JPEG_ColorSpace, c.Space);
        EXPECT_EQ(p.SamplesPerPixel, c.Samples);
        EXPECT_EQ(p.BitsPerSample, 8);
        EXPECT_EQ(p.JPEG_Progressive, progressive);
        EXPECT_EQ(d.Bitmap->PixelFormat(), native ? c.Native : px24RGB);
        EXPECT_EQ(d.Rows, 16);
        if (c.Space != 1 && d.Bitmap->PixelFormat() == px24RGB) {
          // Red grows to the right, green downwards, whatever the file's colour space.
          const TRGB left = d.Bitmap->GetPixelRGB(1, 8), right = d.Bitmap->GetPixelRGB(22, 8);
          EXPECT_LT(left.r + 100, right.r);
          EXPECT_LT(d.Bitmap->GetPixelRGB(12, 1).g + 100, d.Bitmap->GetPixelRGB(12, 14).g);
        }
      }
    }
  }
}

TEST(JpegReader, ATruncatedFileKeepsItsRowsAndCountsAWarning) {
  auto bmp = Gradient(64, 256);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  TIOParams full;
  const Bytes whole = PixelsOf(Decode(jpeg, full).Bitmap.get());
  const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() * 8 / 10));
  TIOParams p;
  const TDecoded d = Decode(cut, p);
  EXPECT_FALSE(d.Aborted);
  EXPECT_EQ(d.Rows, 256);
  EXPECT_GT(p.JPEG_WarningCount, 0);
  EXPECT_NE(p.JPEG_WarningCode, 0);
  const Bytes got = PixelsOf(d.Bitmap.get());
  const size_t top = 64 * 64 * 3;
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + top, whole.begin()));
}

TEST(JpegReader, BadInputSetsTheFlagAndNeverThrows) {
  auto bmp = Gradient(16, 16);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  Bytes twelveBit = jpeg;
  TSof sof;
  ASSERT_TRUE(FindSof(twelveBit, sof));
  for (size_t i = 2; i + 4 < twelveBit.size(); ++i)
    if (twelveBit[i] == 0xFF && twelveBit[i + 1] == 0xC0) {
      twelveBit[i + 4] = 12;
      break;
    }
  Bytes badTable = jpeg;  // a quantisation table with an index beyond 3
  for (size_t i = 2; i + 4 < badTable.size(); ++i)
    if (badTable[i] == 0xFF && badTable[i + 1] == 0xDB) {
      badTable[i + 4] = 0x07;
      break;
    }
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"start only", {0xFF, 0xD8, 0xFF}},
      {"twelve bits", twelveBit},
      {"bad table", badTable},
      {"no frame", {0xFF, 0xD8, 0xFF, 0xD9}},
      {"garbage", {0xFF, 0xD8, 0xFF, 0x12, 0x34, 0x56, 0x78, 0x9A}},
  };
  for (const auto& [name, data] : cases) {
    TIOParams p;
    TDecoded d;
    EXPECT_NO_THROW(d = Decode(data, p)) << name;
    EXPECT_TRUE(d.Aborted) << name;
  }
}

TEST(JpegReader, AFileOfEndlessScansIsRefused) {
  auto bmp = Gradient(16, 16);
  TIOParams w;
  w.JPEG_Progressive = true;
  const Bytes jpeg = Encode(bmp.get(), w);
  size_t last = 0;
  for (size_t i = 2; i + 1 < jpeg.size(); ++i)
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) last = i;
  ASSERT_GT(last, 0u);
  const Bytes scan(jpeg.begin() + static_cast<std::ptrdiff_t>(last), jpeg.end() - 2);
  Bytes many(jpeg.begin(), jpeg.end() - 2);
  for (int i = 0; i < 1100; ++i) many.insert(many.end(), scan.begin(), scan.end());
  many.insert(many.end(), {0xFF, 0xD9});
  TIOParams p;
  EXPECT_TRUE(Decode(many, p).Aborted);
  // A few repeated scans are only warned about.
  Bytes few(jpeg.begin(), jpeg.end() - 2);
  for (int i = 0; i < 3; ++i) few.insert(few.end(), scan.begin(), scan.end());
  few.insert(few.end(), {0xFF, 0xD9});
  TIOParams q;
  EXPECT_FALSE(Decode(few, q).Aborted);
}

TEST(JpegReader, FewerRowsThanThePictureEndWithoutAnError) {
  auto bmp = Gradient(32, 40);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  TIOParams p;
  const TDecoded d = Decode(jpeg, p, false, false, 10);
  EXPECT_FALSE(d.Aborted);
  EXPECT_EQ(d.Rows, 10);
  EXPECT_EQ(p.JPEG_WarningCount, 0);
}

TEST(JpegReader, ProgressFiresEachValueOnceAndAnAbortStopsAfterTheRow) {
  auto bmp = Gradient(16, 300);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  TPXMemStream s(jpeg.data(), static_cast<int64_t>(jpeg.size()));
  TPXAbortFlag flag{false};
  std::vector<int32_t> seen;
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  progress.Event = TPXProgressEvent([&](TObject*, int32_t per) { seen.push_back(per); });
  TIOParams p;
  TPXBitmap out;
  EXPECT_EQ(DecodeJpegStream(&s, nullptr, &out, &p, progress, false, false, true, false, true, true, -1, false), 300);
  ASSERT_FALSE(seen.empty());
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_LT(seen[i - 1], seen[i]);
  EXPECT_EQ(seen.back(), 100);

  s.Seek(0, soBeginning);
  progress.Event = TPXProgressEvent([&](TObject*, int32_t) { flag = true; });
  TPXBitmap stopped;
  EXPECT_EQ(DecodeJpegStream(&s, nullptr, &stopped, &p, progress, false, false, true, false, true, true, -1, false),
            1);
  EXPECT_TRUE(flag.load());
}

TEST(JpegReader, PreviewOnlyFillsTheParametersAndLeavesTheBitmap) {
  auto bmp = Gradient(40, 30);
  const Bytes jpeg = EncodeWith(bmp.get(), [](TIOParams& p) {
    p.DpiX = 150;
    p.DpiY = 120;
    p.JPEG_ColorSpace = 1;
  });
  TIOParams p;
  const TDecoded d = Decode(jpeg, p, false, true);
  EXPECT_FALSE(d.Aborted);
  EXPECT_TRUE(d.Bitmap->IsEmpty());
  EXPECT_EQ(p.Width, 40);
  EXPECT_EQ(p.Height, 30);
  EXPECT_EQ(p.SamplesPerPixel, 1);
  EXPECT_EQ(p.DpiX, 150);
  EXPECT_EQ(p.DpiY, 120);
}

TEST(JpegReader, TablesStreamRawComponentsAndInvertedCmyk) {
  auto bmp = Gradient(24, 16);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  // An abbreviated picture and its tables apart, as JPEG-compressed TIFF pages keep them.
  Bytes tables = {0xFF, 0xD8}, image = {0xFF, 0xD8};
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i + 1] != 0xDA) {
    const size_t len = (size_t(jpeg[i + 2]) << 8) | jpeg[i + 3];
    Bytes& to = (jpeg[i + 1] == 0xDB || jpeg[i + 1] == 0xC4) ? tables : image;
    to.insert(to.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(i),
              jpeg.begin() + static_cast<std::ptrdiff_t>(i + 2 + len));
    i += 2 + len;
  }
  image.insert(image.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(i), jpeg.end());
  tables.insert(tables.end(), {0xFF, 0xD9});
  TIOParams full;
  const Bytes expected = PixelsOf(Decode(jpeg, full).Bitmap.get());
  {
    TPXMemStream s(image.data(), static_cast<int64_t>(image.size()));
    TPXMemStream t(tables.data(), static_cast<int64_t>(tables.size()));
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    progress.Aborting = &flag;
    TIOParams p;
    TPXBitmap out;
    EXPECT_EQ(DecodeJpegStream(&s, &t, &out, &p, progress, false, false, true, false, true, true, -1, false), 16);
    EXPECT_FALSE(flag.load());
    EXPECT_EQ(PixelsOf(&out), expected);
  }
  TIOParams none;
  EXPECT_TRUE(Decode(image, none).Aborted);  // no quantisation tables without the tables stream

  // Raw components: YCbCr stays YCbCr (grey-ish pixels have Cb and Cr near 128); an RGB file
  // keeps its file order in memory.
  auto grey = TPXBitmap::CreateAllocated(16, 16, px24RGB);
  grey->FillRGBA(0xFF808080);
  const auto readRaw = [](const Bytes& J) {
    TPXMemStream s(J.data(), static_cast<int64_t>(J.size()));
    TPXProgressRecord progress;
    TIOParams p;
    TPXBitmap out;
    DecodeJpegStream(&s, nullptr, &out, &p, progress, false, true, true, false, true, true, -1, false);
    const auto* px = static_cast<const uint8_t*>(out.GetScanline(8));
    return Bytes(px + 24, px + 27);
  };
  const Bytes ycc = readRaw(EncodeWith(grey.get(), [](TIOParams&) {}));
  EXPECT_NEAR(ycc[0], 128, 2);
  EXPECT_NEAR(ycc[1], 128, 2);
  auto red = TPXBitmap::CreateAllocated(16, 16, px24RGB);
  red->FillRGBA(0xFFFF0000);
  const Bytes rgb = readRaw(EncodeWith(red.get(), [](TIOParams& p) { p.JPEG_ColorSpace = 0; }));
  EXPECT_GE(rgb[0], 250);
  EXPECT_LE(rgb[2], 5);

  // Inverted CMYK: white ink-free samples become full ink, so the picture turns black.
  auto white = TPXBitmap::CreateAllocated(16, 16, px24RGB);
  white->FillRGBA(0xFFFFFFFF);
  const Bytes cmyk = EncodeWith(white.get(), [](TIOParams& p) { p.JPEG_ColorSpace = 3; });
  for (const bool invert : {false, true}) {
    TPXMemStream s(cmyk.data(), static_cast<int64_t>(cmyk.size()));
    TPXProgressRecord progress;
    TIOParams p;
    TPXBitmap out;
    DecodeJpegStream(&s, nullptr, &out, &p, progress, false, false, true, invert, true, true, -1, false);
    const TRGB c = out.GetPixelRGB(8, 8);
    if (invert) {
      EXPECT_LT(c.r + c.g + c.b, 150);
    } else {
      EXPECT_GT(c.r + c.g + c.b, 700);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Markers

namespace {

Bytes Text(std::string_view S) { return Bytes(S.begin(), S.end()); }

}  // namespace

TEST(JpegMarkers, KeptInFileOrderAndInterpreted) {
  auto bmp = Gradient(16, 16);
  const Bytes exif = Text(std::string("Exif\0\0MM\0*\0\0\0\x08\0\0", 16));
  std::vector<uint8_t> iptc;
  {
    TPXIPTCInfoList list;
    list.AddItem(2, 5, 5, "Title");
    list.SaveToBuffer(iptc, true);
  }
  std::vector<uint8_t> xmp;
  {
    TIOParams x;
    x.SetXmpInfo("<x:xmpmeta xmlns:x='adobe:ns:meta/'/>");
    BuildXmpMarker(&x, xmp);
  }
  Bytes annot = Text("PIXORANANNOT");
  annot.insert(annot.end(), {1, 2, 3, 4});

  TIOParams w;
  w.JPEG_Markers.AddMarker(PX_JPEG_COM, "note", 4);
  w.JPEG_Markers.AddMarker(PX_JPEG_APP1, xmp.data(), static_cast<int32_t>(xmp.size()));
  w.JPEG_Markers.AddMarker(PX_JPEG_APP13, iptc.data(), static_cast<int32_t>(iptc.size()));
  w.JPEG_Markers.AddMarker(PX_JPEG_APP1, annot.data(), static_cast<int32_t>(annot.size()));
  w.JPEG_Markers.AddMarker(PX_JPEG_APP1, exif.data(), static_cast<int32_t>(exif.size()));
  w.JPEG_Markers.AddMarker(0xEE, "Adobe\0\0\0\0\0\0", 12);
  const Bytes jpeg = Encode(bmp.get(), w);

  // The file holds the markers in writing order (EXIF first among the APP1), without the list's
  // APP14, after the library's JFIF header.
  const std::vector<TSegment> segs = HeaderSegments(jpeg);
  std::vector<int> order;
  for (const TSegment& s : segs)
    if (s.Marker != 0xDB && s.Marker != 0xC4) order.push_back(s.Marker);
  EXPECT_EQ(order, (std::vector<int>{0xE0, 0xE1, 0xE1, 0xE1, 0xED, 0xFE}));
  EXPECT_EQ(segs[1].Data, exif);

  TIOParams p;
  Decode(jpeg, p);
  ASSERT_EQ(p.JPEG_Markers.GetCount(), 5);  // the JFIF APP0 is not kept
  int32_t k = 0;
  for (const TSegment& s : segs) {
    if (s.Marker == 0xE0 || s.Marker == 0xDB || s.Marker == 0xC4) continue;
    EXPECT_EQ(p.JPEG_Markers.GetMarkerType(k), s.Marker);
    const uint8_t* d = p.JPEG_Markers.GetMarkerData(k);
    EXPECT_EQ(Bytes(d, d + p.JPEG_Markers.GetMarkerLength(k)), s.Data);
    ++k;
  }
  EXPECT_EQ(p.IPTC_Info.GetCount(), 1);
  EXPECT_GE(p.IPTC_Info.IndexOf(2, 5), 0);
  EXPECT_EQ(p.XMP_Info, "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>");
  EXPECT_FALSE(p.PixoranAnnot.IsEmpty());

  TIOParams off;
  off.ReadMetadata = false;
  Decode(jpeg, off);
  EXPECT_EQ(off.JPEG_Markers.GetCount(), 5);
  EXPECT_EQ(off.IPTC_Info.GetCount(), 0);
  EXPECT_TRUE(off.XMP_Info.empty());
  EXPECT_TRUE(off.PixoranAnnot.IsEmpty());
}

TEST(JpegMarkers, TheFirstApp13ThatLoadsAndLaterApp0AreKept) {
  auto bmp = Gradient(16, 16);
  TIOParams w;
  const Bytes base = Encode(bmp.get(), w);
  std::vector<uint8_t> iptc;
  TPXIPTCInfoList list;
  list.AddItem(2, 120, 7, "Caption");
  list.SaveToBuffer(iptc, true);
  // Inserted before the library's JFIF header: that one is now the second APP0 and is kept.
  const Bytes jpeg = InsertSegments(base, {{0xE0, Text("JFXX\0")}, {0xED, Text("no IPTC here")}, {0xED, iptc}});
  TIOParams p;
  const TDecoded d = Decode(jpeg, p);
  EXPECT_FALSE(d.Aborted);
  ASSERT_EQ(p.JPEG_Markers.GetCount(), 3);
  EXPECT_EQ(p.JPEG_Markers.GetMarkerType(0), 0xED);
  EXPECT_EQ(p.JPEG_Markers.GetMarkerType(2), 0xE0);
  EXPECT_GE(p.IPTC_Info.IndexOf(2, 120), 0);
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(JpegWriter, AlphaIsFlattenedOntoWhiteOnACopy) {
  auto bmp = TPXBitmap::CreateAllocated(32, 16, px24RGB);
  bmp->Fill(0);
  TPXBitmap* alpha = bmp->GetAlphaChannel();
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 32; ++x) alpha->SetPixel8(x, y, x < 16 ? 0 : 255);
  const Bytes before = PixelsOf(bmp.get()), alphaBefore = PixelsOf(alpha);
  TIOParams w;
  const Bytes jpeg = Encode(bmp.get(), w);
  EXPECT_EQ(PixelsOf(bmp.get()), before);
  ASSERT_TRUE(bmp->HasAlphaChannel());
  EXPECT_EQ(PixelsOf(bmp->PeekAlphaChannel()), alphaBefore);
  TIOParams p;
  const TDecoded d = Decode(jpeg, p);
  EXPECT_GT(d.Bitmap->GetPixelRGB(3, 8).r, 245);
  EXPECT_GT(d.Bitmap->GetPixelRGB(3, 8).b, 245);
  EXPECT_LT(d.Bitmap->GetPixelRGB(28, 8).r, 10);
}

TEST(JpegWriter, ColourSpacesAndSampling) {
  auto bmp = Gradient(32, 32);
  const struct {
    uint8_t Space, Subsampling;
    int Components, H0, V0;
    bool Adobe;
  } cases[] = {{0, 1, 3, 1, 1, true},  {1, 1, 1, 1, 1, false}, {2, 0, 3, 2, 1, false},
               {2, 1, 3, 2, 2, false}, {2, 2, 3, 1, 1, false}, {3, 1, 4, 1, 1, true}};
  for (const auto& c : cases) {
    const Bytes jpeg = EncodeWith(bmp.get(), [&](TIOParams& p) {
      p.JPEG_ColorSpace = c.Space;
      p.JPEG_Subsampling = c.Subsampling;
    });
    TSof sof;
    ASSERT_TRUE(FindSof(jpeg, sof));
    SCOPED_TRACE(testing::Message() << int(c.Space) << "/" << int(c.Subsampling));
    EXPECT_EQ(sof.Marker, 0xC0);
    EXPECT_EQ(sof.Components, c.Components);
    EXPECT_EQ(sof.H[0], c.H0);
    EXPECT_EQ(sof.V[0], c.V0);
    for (int i = 1; i < sof.Components; ++i) EXPECT_EQ(sof.H[i] * 10 + sof.V[i], 11);
    if (c.Space == 0) {
      EXPECT_EQ(sof.Id[0], 'R');
    }
    bool adobe = false;
    for (const TSegment& s : HeaderSegments(jpeg)) adobe |= s.Marker == 0xEE;
    EXPECT_EQ(adobe, c.Adobe);
  }
}

TEST(JpegWriter, OptionsReachTheFile) {
  auto bmp = Gradient(64, 48);
  const auto firstTable = [](const Bytes& J) {
    for (const TSegment& s : HeaderSegments(J))
      if (s.Marker == 0xDB) return Bytes(s.Data.begin() + 1, s.Data.begin() + 65);
    return Bytes();
  };
  const Bytes q100 = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_Quality = 100; });
  EXPECT_EQ(firstTable(q100), Bytes(64, 1));
  const Bytes q50 = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_Quality = 50; });
  EXPECT_EQ(firstTable(q50)[0], 16);  // the standard luminance table at quality 50

  const Bytes plain = EncodeWith(bmp.get(), [](TIOParams&) {});
  const Bytes optimal = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_OptimalHuffman = true; });
  EXPECT_LT(optimal.size(), plain.size());
  const Bytes smooth = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_Smoothing = 60; });
  EXPECT_NE(smooth, plain);
  const Bytes fast = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_DCTMethod = 1; });
  EXPECT_NE(fast, plain);
  TSof sof;
  const Bytes progressive = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_Progressive = true; });
  ASSERT_TRUE(FindSof(progressive, sof));
  EXPECT_EQ(sof.Marker, 0xC2);

  const Bytes dpi = EncodeWith(bmp.get(), [](TIOParams& p) {
    p.SetDpiX(150);
    p.SetDpiY(200);
  });
  EXPECT_EQ(dpi[13], 1);
  EXPECT_EQ((dpi[14] << 8) | dpi[15], 150);
  EXPECT_EQ((dpi[16] << 8) | dpi[17], 200);
  const Bytes noDpi = EncodeWith(bmp.get(), [](TIOParams& p) {
    p.DpiX = 0;
    p.DpiY = 0;
  });
  EXPECT_EQ((noDpi[14] << 8) | noDpi[15], GlobalSettingsInstance()->FDefaultDPIX);
}

TEST(JpegWriter, LibraryErrorsRaiseWithTheTableTextAfterSettingTheFlag) {
  auto wide = TPXBitmap::CreateAllocated(70000, 1, px24RGB);
  TIOParams p;
  TMemoryStream s;
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  EXPECT_EQ(MessageOf<EPXJpegException>([&] { EncodeJpegStream(&s, wide.get(), &p, progress); }),
            "Maximum supported image dimension is 65500 pixels");
  EXPECT_TRUE(flag.load());
}

TEST(JpegWriter, EmptyPicturesAndShortWritesSetTheFlag) {
  TIOParams p;
  {
    TPXBitmap empty;
    TMemoryStream s;
    TPXAbortFlag flag{false};
    TPXProgressRecord progress;
    progress.Aborting = &flag;
    EncodeJpegStream(&s, &empty, &p, progress);
    EXPECT_TRUE(flag.load());
    EXPECT_EQ(s.Size(), 0);
  }
  auto bmp = Gradient(300, 300);
  TShortStream s(1000);
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  EXPECT_NO_THROW(EncodeJpegStream(&s, bmp.get(), &p, progress));
  EXPECT_TRUE(flag.load());
}

TEST(JpegWriter, OtherPixelFormatsAreWrittenFromACopy) {
  auto grey = TPXBitmap::CreateAllocated(16, 8, px8g);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) grey->SetPixel8(x, y, static_cast<uint8_t>(x * 16));
  const Bytes before = PixelsOf(grey.get());
  TIOParams w;
  w.JPEG_ColorSpace = 1;
  w.JPEG_Quality = 100;
  const Bytes jpeg = Encode(grey.get(), w);
  EXPECT_EQ(grey->PixelFormat(), px8g);
  EXPECT_EQ(PixelsOf(grey.get()), before);
  TIOParams p;
  const TDecoded d = Decode(jpeg, p, true);
  EXPECT_LE(MaxDiff(PixelsOf(d.Bitmap.get()), before), 2);

  // A CMYK picture written as CMYK keeps its samples.
  auto cmyk = TPXBitmap::CreateAllocated(16, 8, pxCMYK);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) cmyk->SetPixelCMYK(x, y, TCMYK{200, 150, 100, 250});
  TIOParams wc;
  wc.JPEG_ColorSpace = 3;
  wc.JPEG_Quality = 100;
  TIOParams pc;
  const TDecoded dc = Decode(Encode(cmyk.get(), wc), pc, true);
  EXPECT_LE(MaxDiff(PixelsOf(dc.Bitmap.get()), PixelsOf(cmyk.get())), 2);
}

// ---------------------------------------------------------------------------------------------
// Through the front end's format table

TEST(JpegFormatRow, RegisteredForTheFrontEnd) {
  const TPXFormatRow* row = FormatRow(pxftJPEG);
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(row->Decode && row->Encode && row->Signature && row->AltSignature);
  EXPECT_EQ(row->Rules.StreamHeader, "JFIF");
  EXPECT_TRUE(row->Rules.ConvertTo24OnSave);
  EXPECT_EQ(row->Rules.ReadBufferSize, 65536);

  auto bmp = Gradient(20, 10);
  TIOParams w;
  TMemoryStream s;
  s.Write("0123456789", 10);
  TPXAbortFlag flag{false};
  TPXProgressRecord progress;
  progress.Aborting = &flag;
  row->Encode(&s, bmp.get(), &w, nullptr, progress);
  EXPECT_FALSE(flag.load());

  s.Seek(0, soBeginning);
  EXPECT_FALSE(row->Signature(&s));
  EXPECT_TRUE(row->AltSignature(&s));
  EXPECT_EQ(s.Position(), 0);
  TIOParams p;
  p.NativePixelFormat = true;
  TPXBitmap out;
  std::unique_ptr<TPXMask> mask;
  row->Decode(&s, &out, &p, progress, false, mask);
  EXPECT_FALSE(flag.load());
  EXPECT_EQ(out.Width(), 20);
  s.Seek(10, soBeginning);
  EXPECT_TRUE(row->Signature(&s));
}

// ---------------------------------------------------------------------------------------------
// Oracles

class JpegOracle : public testing::Test {
 protected:
  void SetUp() override {
    if (!ToolExists("/usr/bin/djpeg") || !ToolExists("/usr/bin/cjpeg") || !HavePil())
      GTEST_SKIP() << "djpeg, cjpeg or PIL missing";
  }
  TestTempDir Tmp;
};

TEST_F(JpegOracle, OurFilesDecodeInDjpegAndPilAsWeReadThem) {
  auto bmp = Gradient(37, 23);
  const struct {
    uint8_t Space, Subsampling;
    bool Progressive, Optimal;
    const char* PilMode;
  } cases[] = {{2, 1, false, false, "RGB"}, {2, 0, false, true, "RGB"}, {2, 2, true, false, "RGB"},
               {0, 1, false, false, "RGB"}, {1, 1, true, true, "L"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Space) << "/" << int(c.Subsampling) << " " << c.Progressive);
    const Bytes jpeg = EncodeWith(bmp.get(), [&](TIOParams& p) {
      p.JPEG_ColorSpace = c.Space;
      p.JPEG_Subsampling = c.Subsampling;
      p.JPEG_Progressive = c.Progressive;
      p.JPEG_OptimalHuffman = c.Optimal;
    });
    const std::string file = Tmp.File("ours.jpg"), pnm = Tmp.File("ours.pnm");
    WriteFile(file, jpeg);
    TIOParams p;
    const Bytes ours = PixelsOf(Decode(jpeg, p, true).Bitmap.get());
    ASSERT_EQ(RunTool({"/usr/bin/djpeg", "-pnm", file}, pnm), 0);
    TPnm djpeg;
    ASSERT_TRUE(ParsePnm(ReadFile(pnm), djpeg));
    EXPECT_EQ(djpeg.Data, ours);
    std::string mode;
    Bytes pil;
    ASSERT_TRUE(PilDecode(file, Tmp.Path(), mode, pil));
    EXPECT_EQ(mode, c.PilMode);
    EXPECT_EQ(pil, ours);
  }

  // RGB files keep red first; CMYK files carry the Adobe inversion PIL expects.
  auto red = TPXBitmap::CreateAllocated(16, 16, px24RGB);
  red->FillRGBA(0xFFFF0000);
  const std::string file = Tmp.File("red.jpg");
  WriteFile(file, EncodeWith(red.get(), [](TIOParams& p) { p.JPEG_ColorSpace = 0; }));
  std::string mode;
  Bytes pil;
  ASSERT_TRUE(PilDecode(file, Tmp.Path(), mode, pil));
  EXPECT_GE(pil[0], 250);
  EXPECT_LE(pil[1], 5);
  EXPECT_LE(pil[2], 5);

  const Bytes cmykJpeg = EncodeWith(bmp.get(), [](TIOParams& p) { p.JPEG_ColorSpace = 3; });
  WriteFile(file, cmykJpeg);
  TIOParams p;
  const Bytes ours = PixelsOf(Decode(cmykJpeg, p, true).Bitmap.get());
  ASSERT_TRUE(PilDecode(file, Tmp.Path(), mode, pil));
  EXPECT_EQ(mode, "CMYK");
  ASSERT_EQ(pil.size(), ours.size());
  for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(pil[i], 255 - ours[i]) << i;
}

TEST_F(JpegOracle, CjpegFilesReadAsPilReadsThem) {
  auto bmp = Gradient(45, 31);
  const std::string ppm = Tmp.File("in.ppm"), file = Tmp.File("c.jpg");
  WriteFile(ppm, MakePpm(bmp.get()));
  const std::vector<std::vector<std::string>> options = {
      {}, {"-progressive"}, {"-grayscale"}, {"-rgb"}, {"-optimize"}, {"-restart", "1"}, {"-sample", "1x1"}};
  for (const auto& opt : options) {
    std::vector<std::string> argv = {"/usr/bin/cjpeg"};
    argv.insert(argv.end(), opt.begin(), opt.end());
    argv.push_back(ppm);
    ASSERT_EQ(RunTool(argv, file), 0);
    const Bytes jpeg = ReadFile(file);
    SCOPED_TRACE(opt.empty() ? std::string("plain") : opt[0]);
    TIOParams p;
    const TDecoded d = Decode(jpeg, p, true);
    EXPECT_FALSE(d.Aborted);
    EXPECT_EQ(p.JPEG_WarningCount, 0);
    std::string mode;
    Bytes pil;
    ASSERT_TRUE(PilDecode(file, Tmp.Path(), mode, pil));
    EXPECT_EQ(pil, PixelsOf(d.Bitmap.get()));
    const std::string first = opt.empty() ? "" : opt[0];
    EXPECT_EQ(p.JPEG_ColorSpace, first == "-grayscale" ? 1 : first == "-rgb" ? 0 : 2);
    EXPECT_EQ(p.JPEG_Progressive, !opt.empty() && opt[0] == "-progressive");
  }
}

TEST_F(JpegOracle, ImageMagickCmykFilesReadAsPilReadsThem) {
  if (!ToolExists("/usr/bin/convert")) GTEST_SKIP() << "ImageMagick missing";
  auto bmp = Gradient(33, 21);
  const std::string ppm = Tmp.File("in.ppm"), file = Tmp.File("cmyk.jpg");
  WriteFile(ppm, MakePpm(bmp.get()));
  ASSERT_EQ(RunTool({"/usr/bin/convert", ppm, "-colorspace", "CMYK", "-quality", "90", file}, "/dev/null"), 0);
  const Bytes jpeg = ReadFile(file);
  std::string mode;
  Bytes pil;
  ASSERT_TRUE(PilDecode(file, Tmp.Path(), mode, pil));
  ASSERT_EQ(mode, "CMYK");
  TIOParams p;
  const TDecoded native = Decode(jpeg, p, true);
  EXPECT_EQ(p.JPEG_ColorSpace, 4);  // the library's default for CMYK input: YCCK
  const Bytes ours = PixelsOf(native.Bitmap.get());
  ASSERT_EQ(ours.size(), pil.size());
  for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(pil[i], 255 - ours[i]) << i;

  // To RGB by the plain arithmetic, as PIL converts.
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const uint8_t keep = settings->FCMYKProfileConversion;
  settings->FCMYKProfileConversion = 0;
  TIOParams q;
  const TDecoded rgb = Decode(jpeg, q, false);
  settings->FCMYKProfileConversion = keep;
  ASSERT_TRUE(PilDecode(file, Tmp.Path(), mode, pil, "RGB"));
  EXPECT_LE(MaxDiff(PixelsOf(rgb.Bitmap.get()), pil), 1);
}
