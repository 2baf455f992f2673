// The JPEG codec's glue: start search, length walk, ICC chunks in APP2 markers, message texts,
// colour management on reading, and the colour-row converter it goes through.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>

#include "core/pxsettings.h"
#include "io/pxcolorrows.h"
#include "io/pxicc.h"
#include "io/pxmarkers.h"
#include "tests/codecs/JpegTestSupport.h"

#include <jpeglib.h>  // after cstdio (through the support header)
#include <jerror.h>

using namespace jpegtest;

namespace {

// An sRGB-like profile made by lcms, padded with zero bytes to Size (the header's size field
// follows; the tags stay where they are).
Bytes Profile(size_t Size, double Gamma = 2.2) {
  cmsCIExyY white;
  cmsWhitePointFromTemp(&white, 6504);
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, Gamma);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE h = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(curve);
  cmsUInt32Number n = 0;
  cmsSaveProfileToMem(h, nullptr, &n);
  Bytes out(n);
  cmsSaveProfileToMem(h, out.data(), &n);
  cmsCloseProfile(h);
  if (Size > out.size()) {
    out.resize(Size, 0);
    out[0] = uint8_t(Size >> 24), out[1] = uint8_t(Size >> 16), out[2] = uint8_t(Size >> 8), out[3] = uint8_t(Size);
  }
  return out;
}

Bytes SmallJpeg() {
  auto bmp = Gradient(16, 16);
  TIOParams p;
  return Encode(bmp.get(), p);
}

TSegment IccChunk(int Seq, int Count, const Bytes& Piece) {
  Bytes d(reinterpret_cast<const uint8_t*>("ICC_PROFILE"), reinterpret_cast<const uint8_t*>("ICC_PROFILE") + 12);
  d.push_back(static_cast<uint8_t>(Seq));
  d.push_back(static_cast<uint8_t>(Count));
  d.insert(d.end(), Piece.begin(), Piece.end());
  return {0xE2, d};
}

Bytes ReadProfile(const Bytes& Jpeg) {
  TPXMemStream s(Jpeg.data(), static_cast<int64_t>(Jpeg.size()));
  TIOParams p;
  ReadJpegIccProfile(&s, &p);
  EXPECT_EQ(s.Position(), 0);
  if (!p.InputICC() || !p.InputICC()->ProfileData()) return {};
  return Bytes(p.InputICC()->ProfileData(), p.InputICC()->ProfileData() + p.InputICC()->ProfileSize());
}

}  // namespace

TEST(JpegGlue, FindJpegStartAnswersAbsolutePositionsAndRestores) {
  const Bytes jpeg = SmallJpeg();
  Bytes data(5, 0x11);
  data.insert(data.end(), 10, 0x22);
  data.insert(data.end(), jpeg.begin(), jpeg.end());
  TPXMemStream s(data.data(), static_cast<int64_t>(data.size()));
  s.Seek(5, soBeginning);
  EXPECT_EQ(FindJpegStart(&s, true), 15);
  EXPECT_EQ(s.Position(), 5);
  EXPECT_EQ(FindJpegStart(&s, false), -1);
  s.Seek(15, soBeginning);
  EXPECT_EQ(FindJpegStart(&s, false), 0);
  EXPECT_EQ(FindJpegStart(&s, true), 15);
  EXPECT_EQ(s.Position(), 15);
}

TEST(JpegGlue, StreamLengthRunsThroughTheEndOfImage) {
  auto bmp = Gradient(64, 64);
  for (const bool progressive : {false, true}) {
    TIOParams w;
    w.JPEG_Progressive = progressive;
    w.JPEG_Markers.AddMarker(PX_JPEG_COM, "\xFF\xD9 inside a segment", 20);
    const Bytes jpeg = Encode(bmp.get(), w);
    Bytes data = {1, 2, 3};
    data.insert(data.end(), jpeg.begin(), jpeg.end());
    data.insert(data.end(), 1000, 0xFF);
    data.insert(data.end(), {0xD9, 0xFF, 0xD9});
    TPXMemStream s(data.data(), static_cast<int64_t>(data.size()));
    s.Seek(3, soBeginning);
    EXPECT_EQ(GetJpegStreamLength(&s), static_cast<int64_t>(jpeg.size())) << progressive;
    EXPECT_EQ(s.Position(), 3);
  }
  // Data without an end of image counts to its end.
  const Bytes cut = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J'};
  TPXMemStream s(cut.data(), static_cast<int64_t>(cut.size()));
  EXPECT_EQ(GetJpegStreamLength(&s), 7);
}

TEST(JpegGlue, AProfileIsChunkedBy32000AndReadBackByteForByte) {
  const Bytes icc = Profile(70000);
  auto bmp = Gradient(16, 16);
  TIOParams w;
  w.GetInputICCProfile()->LoadFromBuffer(icc.data(), static_cast<int32_t>(icc.size()));
  ASSERT_TRUE(w.InputICC()->IsValid());
  w.JPEG_Markers.AddMarker(PX_JPEG_APP2, "old chunk", 9);
  const Bytes jpeg = Encode(bmp.get(), w);

  std::vector<TSegment> chunks;
  for (const TSegment& s : HeaderSegments(jpeg))
    if (s.Marker == 0xE2) chunks.push_back(s);
  ASSERT_EQ(chunks.size(), 3u);
  const size_t sizes[] = {32000, 32000, 6000};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(chunks[i].Data.size(), sizes[i] + 14);
    EXPECT_EQ(std::memcmp(chunks[i].Data.data(), "ICC_PROFILE\0", 12), 0);
    EXPECT_EQ(chunks[i].Data[12], i + 1);
    EXPECT_EQ(chunks[i].Data[13], 3);
  }
  EXPECT_EQ(ReadProfile(jpeg), icc);

  // The reader collects it too and the bitmap carries it.
  TIOParams p;
  const TDecoded d = Decode(jpeg, p);
  ASSERT_NE(p.InputICC(), nullptr);
  EXPECT_EQ(p.InputICC()->ProfileSize(), 70000);
  EXPECT_EQ(d.Bitmap->FImageProfile->ProfileSize(), 70000);

  // AddJpegIccMarkers puts the same chunks into the parameters' list.
  AddJpegIccMarkers(&w);
  ASSERT_EQ(w.JPEG_Markers.GetCount(), 3);
  EXPECT_EQ(w.JPEG_Markers.GetMarkerLength(2), 6014);
}

TEST(JpegGlue, ChunksAreJoinedInSequenceOnlyWhenAllAreThere) {
  const Bytes base = SmallJpeg();
  Bytes icc(50000);
  for (size_t i = 0; i < icc.size(); ++i) icc[i] = static_cast<uint8_t>(i * 7 + i / 251);
  const Bytes a(icc.begin(), icc.begin() + 32000), b(icc.begin() + 32000, icc.end());
  const TSegment other{0xE2, Bytes{'F', 'P', 'X', 'R', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}};

  EXPECT_EQ(ReadProfile(InsertSegments(base, {other, IccChunk(2, 2, b), IccChunk(1, 2, a)})), icc);
  // A duplicate, a chunk numbered beyond its count, one numbered 0 and a short one are ignored.
  EXPECT_EQ(ReadProfile(InsertSegments(base, {IccChunk(2, 2, b), IccChunk(0, 2, a), IccChunk(3, 2, a),
                                              IccChunk(2, 2, a), {0xE2, Bytes{'I', 'C', 'C'}}, IccChunk(1, 2, a)})),
            icc);
  // A missing piece drops the profile.
  EXPECT_TRUE(ReadProfile(InsertSegments(base, {IccChunk(1, 3, a), IccChunk(3, 3, b)})).empty());
  // A chunk behind the frame header is not looked for.
  EXPECT_TRUE(ReadProfile(base).empty());
}

TEST(JpegGlue, AProfileTooLargeForTheChunkCountIsNotEmbedded) {
  const Bytes big = Profile(static_cast<size_t>(PXJpegIccMaxProfile) + 1);
  TIOParams w;
  w.GetInputICCProfile()->LoadFromBuffer(big.data(), static_cast<int32_t>(big.size()));
  ASSERT_TRUE(w.InputICC()->IsValid());
  // The chunks of the profile the file came with are not the picture's profile: they go too.
  w.JPEG_Markers.AddMarker(PX_JPEG_APP2, "ICC_PROFILE\0\1\1old", 17);
  w.JPEG_Markers.AddMarker(PX_JPEG_APP1, "kept", 4);
  AddJpegIccMarkers(&w);
  ASSERT_EQ(w.JPEG_Markers.GetCount(), 1);
  EXPECT_EQ(w.JPEG_Markers.GetMarkerType(0), PX_JPEG_APP1);

  auto bmp = Gradient(16, 16);
  w.JPEG_Markers.AddMarker(PX_JPEG_APP2, "ICC_PROFILE\0\1\1old", 17);
  bool aborted = true;
  const Bytes jpeg = Encode(bmp.get(), w, &aborted);
  EXPECT_FALSE(aborted);
  for (const TSegment& s : HeaderSegments(jpeg)) EXPECT_NE(s.Marker, 0xE2);
  TIOParams p;
  EXPECT_EQ(Decode(jpeg, p).Bitmap->Width(), 16);
}

TEST(JpegGlue, AnAppliedProfileIsDroppedWithItsMarkers) {
  auto bmp = Gradient(16, 16);
  TIOParams w;
  const Bytes linear = Profile(0, 1.0);
  w.GetInputICCProfile()->LoadFromBuffer(linear.data(), static_cast<int32_t>(linear.size()));
  const Bytes jpeg = Encode(bmp.get(), w);

  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  TIOParams plain;
  const Bytes unmanaged = PixelsOf(Decode(jpeg, plain).Bitmap.get());
  EXPECT_EQ(plain.JPEG_Markers.IndexOfType(PX_JPEG_APP2), 0);
  EXPECT_FALSE(plain.InputICC()->Applied());

  settings->FColorProfileOnLoad = 1;
  TIOParams p;
  const TDecoded d = Decode(jpeg, p);
  settings->FColorProfileOnLoad = 0;
  EXPECT_FALSE(d.Aborted);
  EXPECT_GT(MaxDiff(PixelsOf(d.Bitmap.get()), unmanaged), 20);  // a linear source looks darker in sRGB
  EXPECT_TRUE(p.InputICC()->Applied());
  EXPECT_EQ(p.JPEG_Markers.IndexOfType(PX_JPEG_APP2), -1);
  // An applied profile is not written again.
  bool aborted = true;
  const Bytes again = Encode(d.Bitmap.get(), p, &aborted);
  for (const TSegment& s : HeaderSegments(again)) EXPECT_NE(s.Marker, 0xE2);
}

TEST(JpegGlue, MessageTextsFillTheirParameters) {
  const int32_t size[8] = {65500};
  EXPECT_EQ(JpegMessageText(JERR_IMAGE_TOO_BIG, size, nullptr), "Maximum supported image dimension is 65500 pixels");
  const int32_t prog[8] = {0, 63, 1, 0};
  EXPECT_EQ(JpegMessageText(JERR_BAD_PROGRESSION, prog, nullptr), "Invalid progressive parameters Ss=0 Se=63 Ah=1 Al=0");
  const int32_t soi[8] = {0x89, 0x50};
  EXPECT_EQ(JpegMessageText(JERR_NO_SOI, soi, nullptr), "Not a JPEG file: starts with 0x89 0x50");
  EXPECT_EQ(JpegMessageText(JERR_TOO_LITTLE_DATA, nullptr, nullptr), "Application transferred too few scanlines");
  EXPECT_EQ(JpegMessageText(JERR_TFILE_CREATE, nullptr, "/tmp/x"), "Failed to create temporary file /tmp/x");
  EXPECT_EQ(JpegMessageText(JMSG_VERSION, nullptr, nullptr), "");
  EXPECT_EQ(JpegMessageText(JERR_BAD_CROP_SPEC, nullptr, nullptr), "Corrupted");
  EXPECT_EQ(JpegMessageText(JWRN_JPEG_EOF, nullptr, nullptr), "Corrupted");
}

// ---------------------------------------------------------------------------------------------
// Colour rows

class ColorRows : public testing::Test {
 protected:
  void SetUp() override {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    FKeepProfile = s->FColorProfileOnLoad;
    FKeepCmyk = s->FCMYKProfileConversion;
    s->FCMYKProfileConversion = 0;
  }
  void TearDown() override {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    s->FColorProfileOnLoad = FKeepProfile;
    s->FCMYKProfileConversion = FKeepCmyk;
  }
  uint8_t FKeepProfile = 0, FKeepCmyk = 1;
};

TEST_F(ColorRows, TheStartUpInstallsTheConverter) {
  EXPECT_EQ(GlobalSettingsInstance()->FConvertColorRows, &ConvertColorRow);
}

TEST_F(ColorRows, FallbacksByLayout) {
  TIOParams p;
  const uint8_t rgb[6] = {10, 20, 30, 200, 100, 0};
  uint8_t out[12] = {};
  ConvertColorRow(rgb, iccfRGB, out, &p, 2, iccfBGR);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{30, 20, 10, 0, 100, 200}));

  const uint8_t grey[2] = {7, 250};
  ConvertColorRow(grey, iccfGray, out, &p, 2, iccfBGR);
  EXPECT_EQ(Bytes(out, out + 6), (Bytes{7, 7, 7, 250, 250, 250}));

  const uint8_t bgr[3] = {100, 200, 50};  // B, G, R
  ConvertColorRow(bgr, iccfBGR, out, &p, 1, iccfGray);
  EXPECT_EQ(out[0], (50 * 21 + 200 * 71 + 100 * 8) / 100);
  uint16_t g16 = 0;
  ConvertColorRow(bgr, iccfBGR, &g16, &p, 1, iccfGray16);
  EXPECT_EQ(g16, out[0] << 8);

  const uint8_t cmyk[4] = {255, 128, 0, 128};  // stored complemented
  ConvertColorRow(cmyk, iccfCMYK, out, &p, 1, iccfBGR);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{0, 64, 128}));
  const uint8_t ink[6] = {0, 127, 255, 127, 9, 9};
  const Bytes inkBefore(ink, ink + 6);
  ConvertColorRow(ink, iccfCMYK6, out, &p, 1, iccfBGR);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{0, 64, 128}));
  EXPECT_EQ(Bytes(ink, ink + 6), inkBefore);

  std::memset(out, 0xAB, sizeof out);
  ConvertColorRow(rgb, iccfRGB48, out, &p, 1, iccfCMYK);
  EXPECT_EQ(out[0], 0xAB);  // a pair without a rule leaves the output
}

TEST_F(ColorRows, ThroughTheInputProfileWhenManaged) {
  TIOParams p;
  const Bytes linear = Profile(0, 1.0);
  p.GetInputICCProfile()->LoadFromBuffer(linear.data(), static_cast<int32_t>(linear.size()));
  const uint8_t bgr[3] = {128, 128, 128};
  uint8_t out[3] = {};
  ConvertColorRow(bgr, iccfBGR, out, &p, 1, iccfBGR);
  EXPECT_EQ(out[0], 128);  // not managed: a copy
  GlobalSettingsInstance()->FColorProfileOnLoad = 1;
  ConvertColorRow(bgr, iccfBGR, out, &p, 1, iccfBGR);
  EXPECT_GT(out[0], 160);  // linear mid grey is lighter in sRGB
  // A CMYK layout does not fit an RGB profile: the plain conversion runs.
  const uint8_t cmyk[4] = {255, 255, 255, 255};
  ConvertColorRow(cmyk, iccfCMYK, out, &p, 1, iccfBGR);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{255, 255, 255}));
}
