// The EXIF, GPS and Interoperability directories of TIFF structures: written without a bitmap
// and read back, their edge cases, maker notes under each mode, and exiftool's reading.
#include <gtest/gtest.h>

#include "codecs/tiffilt_exif.h"
#include "io/pxexif.h"
#include "io/pxmakernote.h"
#include "io/pxtiffifd.h"
#include "tests/codecs/TiffTestSupport.h"
#include "tests/io/TiffBuild.h"

using namespace tifftest;
using namespace tiffilt_detail;
using tiffbuild::Builder;
using tiffbuild::Ifd;

namespace {

std::string WriteBlock(TIOParams& P) {
  P.EXIF_HasEXIFData = true;
  TMemoryStream s;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  EXPECT_EQ(EncodeTiffStream(&s, false, nullptr, &P, pr), 1);
  EXPECT_FALSE(ab);
  return codectest::BytesOf(s);
}

void ReadBlock(const std::string& Bytes, TIOParams& P) {
  auto s = codectest::StreamOf(Bytes);
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  std::unique_ptr<TPXMask> mask;
  int32_t pages = 0;
  DecodeTiffStream(nullptr, s.get(), pages, &P, pr, true, mask, false, true, false, true, nullptr);
  EXPECT_EQ(pages, 1);
}

// The directory a pointer tag of the block's page leads to.
TPXTIFFIFDReader SubDirectory(TMemoryStream& S, int32_t PointerTag) {
  TPXTIFFIFDReader page;
  page.Stream = &S;
  int32_t n = 0;
  page.ReadIFD(0, n, 8);
  TPXTIFFIFDReader sub;
  sub.Stream = &S;
  const uint64_t at = uint64_t(page.ReadInteger(PointerTag, 0));
  if (at) sub.ReadIFD(0, n, at);
  return sub;
}

// A page (one tag) whose EXIF directory holds Tag with Bytes; with Gps also a GPS directory
// holding GPSLatitudeRef only. Neither sub-directory is a page.
std::string PageWithExif(uint16_t Tag, const std::string& Bytes, bool Gps) {
  Builder b;
  Builder::Add(b.NewIfd(), 256, ttLong, {1});
  tiffbuild::Entry e;
  e.Tag = 34665;
  e.IfdRef = 1;
  b.Ifds[0].Entries.push_back(e);
  Builder::AddBytes(b.NewIfd(), Tag, ttUndefined, Bytes);
  if (Gps) {
    e.Tag = 34853;
    e.IfdRef = 2;
    b.Ifds[0].Entries.push_back(e);
    Builder::Add(b.NewIfd(), 1, ttAscii, {'N'});
  }
  b.Ifds[0].NextToIfd = -2;
  return b.Build();
}

}  // namespace

TEST(TiffExif, EveryTagRoundTrips) {
  TIOParams w;
  double rv = 1.25;
  for (const TExifRationalTag& t : ExifRationalTags()) {
    if (t.Setter)
      (w.*t.Setter)(rv);
    else
      w.*t.Field = rv;
    rv += 0.375;
  }
  int32_t iv = 1;
  for (const TExifIntegerTag& t : ExifIntegerTags()) {
    if (t.Setter)
      (w.*t.Setter)(iv);
    else
      w.*t.Field = iv;
    ++iv;
  }
  int k = 0;
  for (const TExifTextTag& t : ExifTextTags()) w.*t.Field = t.Tag == 36864 || t.Tag == 40960 ? "0231" : "text " + std::to_string(k++);
  w.SetExifIsoSpeedRatings(0, 100);
  w.SetExifIsoSpeedRatings(1, 200);
  for (int i = 0; i < 4; ++i) w.SetExifSubjectArea(i, 10 + i);
  w.SetExifSubjectLocationX(5);
  w.SetExifSubjectLocationY(6);
  w.EXIF_UserComment = "Gr\xC3\xBC\xC3\x9F";
  w.EXIF_Make = "Maker";
  w.EXIF_Model = "Model 1";
  w.EXIF_DateTime = "2024:01:02 03:04:05";
  w.EXIF_Software = "Soft";
  w.EXIF_Artist = "Artist";
  w.EXIF_Copyright = "(c) someone";
  w.EXIF_ImageDescription = "A description";
  w.EXIF_Rating = 4;
  w.EXIF_XPTitle = "Titl\xC3\xA9";
  w.EXIF_XPComment = "C";
  w.SetExifWhitePoint(0, 0.3127);
  w.SetExifWhitePoint(1, 0.329);
  for (int i = 0; i < 6; ++i) w.SetExifPrimaryChromaticities(i, 0.1 * (i + 1));
  for (int i = 0; i < 3; ++i) w.SetExifYCbCrCoefficients(i, 0.2 * (i + 1));
  for (int i = 0; i < 6; ++i) w.SetExifReferenceBlackWhite(i, 16.0 * i);
  w.EXIF_YCbCrPositioning = 2;
  w.EXIF_GPSVersionID = "2.3.0.0";
  w.EXIF_GPSLatitudeRef = "N";
  w.EXIF_GPSLatitude = {48, 51, 29.5};
  w.EXIF_GPSLongitudeRef = "E";
  w.EXIF_GPSLongitude = {2, 17, 40.25};
  w.EXIF_GPSAltitudeRef = "1";
  w.EXIF_GPSAltitude = 35.5;
  w.EXIF_GPSTimeStamp = {12, 30, 15};
  w.EXIF_GPSSatellites = "7";
  w.EXIF_GPSStatus = "A";
  w.EXIF_GPSMeasureMode = "3";
  w.EXIF_GPSDOP = 1.5;
  w.EXIF_GPSSpeedRef = "K";
  w.EXIF_GPSSpeed = 12.5;
  w.EXIF_GPSMapDatum = "WGS-84";
  w.EXIF_GPSDestLatitudeRef = "S";
  w.EXIF_GPSDestLatitude = {10, 20, 30};
  w.EXIF_GPSDestLongitudeRef = "W";
  w.EXIF_GPSDestLongitude = {40, 50, 15};
  w.EXIF_GPSDateStamp = "2024:01:02";
  w.EXIF_InteropIndex = "R98";
  w.EXIF_InteropVersion = "0100";
  const std::string bytes = WriteBlock(w);
  TIOParams r;
  ReadBlock(bytes, r);
  for (const TExifRationalTag& t : ExifRationalTags()) {
    SCOPED_TRACE(t.Tag);
    TIOParams* pw = &w;
    TIOParams* pr = &r;
    const double* a = t.Field ? &(pw->*t.Field) : nullptr;
    if (a) {
      EXPECT_NEAR(pr->*t.Field, *a, 5e-9);
    }
  }
  EXPECT_NEAR(r.EXIF_ExposureTime, w.EXIF_ExposureTime, 5e-9);
  EXPECT_NEAR(r.EXIF_BrightnessValue, w.EXIF_BrightnessValue, 5e-9);
  EXPECT_NEAR(r.EXIF_ExposureIndex, w.EXIF_ExposureIndex, 5e-9);
  EXPECT_EQ(r.EXIF_FileSource, w.EXIF_FileSource);
  EXPECT_EQ(r.EXIF_SubjectDistanceRange, w.EXIF_SubjectDistanceRange);
  EXPECT_EQ(r.EXIF_Flash, w.EXIF_Flash);
  for (const TExifTextTag& t : ExifTextTags()) EXPECT_EQ(r.*t.Field, w.*t.Field) << t.Tag;
  EXPECT_EQ(r.EXIF_ISOSpeedRatings, w.EXIF_ISOSpeedRatings);
  EXPECT_EQ(r.EXIF_SubjectArea, w.EXIF_SubjectArea);
  EXPECT_EQ(r.EXIF_SubjectLocation, w.EXIF_SubjectLocation);
  EXPECT_EQ(r.EXIF_UserComment, w.EXIF_UserComment);
  EXPECT_EQ(r.EXIF_UserCommentCode, std::string("UNICODE\0", 8));
  for (auto f : {&TIOParams::EXIF_Make, &TIOParams::EXIF_Model, &TIOParams::EXIF_DateTime, &TIOParams::EXIF_Software,
                 &TIOParams::EXIF_Artist, &TIOParams::EXIF_Copyright, &TIOParams::EXIF_ImageDescription,
                 &TIOParams::EXIF_XPTitle, &TIOParams::EXIF_XPComment})
    EXPECT_EQ(r.*f, w.*f);
  EXPECT_EQ(r.EXIF_Rating, 4);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(r.EXIF_PrimaryChromaticities[size_t(i)], 0.1 * (i + 1), 5e-9);
  EXPECT_NEAR(r.EXIF_WhitePoint[0], 0.3127, 5e-9);
  EXPECT_NEAR(r.EXIF_YCbCrCoefficients[2], 0.6, 5e-9);
  EXPECT_NEAR(r.EXIF_ReferenceBlackWhite[5], 80, 5e-9);
  EXPECT_EQ(r.EXIF_YCbCrPositioning, 2);
  EXPECT_EQ(r.EXIF_GPSVersionID, "2.3.0.0");
  for (auto f : {&TIOParams::EXIF_GPSLatitudeRef, &TIOParams::EXIF_GPSLongitudeRef, &TIOParams::EXIF_GPSAltitudeRef,
                 &TIOParams::EXIF_GPSSatellites, &TIOParams::EXIF_GPSStatus, &TIOParams::EXIF_GPSMeasureMode,
                 &TIOParams::EXIF_GPSSpeedRef, &TIOParams::EXIF_GPSMapDatum, &TIOParams::EXIF_GPSDestLatitudeRef,
                 &TIOParams::EXIF_GPSDestLongitudeRef, &TIOParams::EXIF_GPSDateStamp, &TIOParams::EXIF_InteropIndex,
                 &TIOParams::EXIF_InteropVersion})
    EXPECT_EQ(r.*f, w.*f);
  for (auto f : {&TIOParams::EXIF_GPSLatitude, &TIOParams::EXIF_GPSLongitude, &TIOParams::EXIF_GPSTimeStamp,
                 &TIOParams::EXIF_GPSDestLatitude, &TIOParams::EXIF_GPSDestLongitude})
    for (size_t i = 0; i < 3; ++i) EXPECT_NEAR((r.*f)[i], (w.*f)[i], 5e-9);
  EXPECT_NEAR(r.EXIF_GPSAltitude, 35.5, 5e-9);
  EXPECT_NEAR(r.EXIF_GPSSpeed, 12.5, 5e-9);
  // The destination references are tags 19 and 21.
  auto s = codectest::StreamOf(bytes);
  TPXTIFFIFDReader gps = SubDirectory(*s, 34853);
  EXPECT_EQ(gps.ReadString(19, true), "S");
  EXPECT_EQ(gps.ReadString(21, true), "W");
}

TEST(TiffExif, EdgeCases) {
  // Only ExposureTime: EXIF directory of ExposureTime and an empty inline ExifVersion; no GPS or
  // Interoperability directory. The page directory sits at 8, the EXIF one behind it.
  {
    TIOParams w;
    w.SetExifExposureTime(0.01);
    w.SetExifFNumber(-1);
    const std::string bytes = WriteBlock(w);
    EXPECT_EQ(bytes.substr(0, 8), std::string("II\x2A\0\x08\0\0\0", 8));
    auto s = codectest::StreamOf(bytes);
    TPXTIFFIFDReader exif = SubDirectory(*s, 34665);
    ASSERT_EQ(exif.EntryCount, 2);
    EXPECT_GE(exif.FindTag(33434), 0);
    EXPECT_EQ(exif.GetTagCount(exif.FindTag(36864)), 0u);
    EXPECT_LT(exif.FindTag(33437), 0);
    EXPECT_EQ(SubDirectory(*s, 34853).EntryCount, 0);
    EXPECT_LT(exif.FindTag(40965), 0);
    TPXTIFFIFDReader page;
    page.Stream = s.get();
    int32_t n = 0;
    page.ReadIFD(0, n, 8);
    EXPECT_GT(uint64_t(page.ReadInteger(34665, 0)), 8u);
  }
  // UserComment of 8 bytes; an unknown code; the GPS version read and written.
  struct Case {
    const char* Name;
    std::string Comment;
    std::string WantCode, WantText;
  };
  const Case cases[] = {
      {"8 bytes", std::string("ASCII\0\0\0", 8), std::string("UNICODE\0", 8), ""},
      {"unknown code", std::string("XYZ\0\0\0\0\0abc", 11), std::string(8, '\0'), std::string("XYZ\0\0\0\0\0abc", 11)},
      {"ascii", std::string("ASCII\0\0\0hi", 10), std::string("ASCII\0\0\0", 8), "hi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TIOParams r;
    ReadBlock(PageWithExif(37510, c.Comment, true), r);
    EXPECT_EQ(r.EXIF_UserCommentCode, c.WantCode);
    EXPECT_EQ(r.EXIF_UserComment, c.WantText);
    EXPECT_EQ(r.EXIF_GPSVersionID, "2.2.0.0");
  }
  // The version is four bytes, zeros included: a zero version still marks a GPS directory that a
  // second save keeps.
  for (const auto& [text, want, back] :
       {std::tuple<const char*, std::vector<uint8_t>, const char*>{"2.2", {2, 2, 0, 0}, "2.2.0.0"},
        {"0.0.0.0", {0, 0, 0, 0}, "0.0.0.0"}}) {
    SCOPED_TRACE(text);
    TIOParams w;
    w.EXIF_GPSVersionID = text;
    w.EXIF_GPSLatitudeRef = "S";
    w.EXIF_GPSLatitude = {1, 2, 3};
    const std::string bytes = WriteBlock(w);
    auto s = codectest::StreamOf(bytes);
    TPXTIFFIFDReader gps = SubDirectory(*s, 34853);
    std::vector<uint8_t> v;
    gps.ReadBytes(0, v);
    EXPECT_EQ(v, want);
    TIOParams r;
    ReadBlock(bytes, r);
    EXPECT_EQ(r.EXIF_GPSVersionID, back);
    TIOParams again;
    ReadBlock(WriteBlock(r), again);
    EXPECT_EQ(again.EXIF_GPSLatitudeRef, "S");
    EXPECT_NEAR(again.EXIF_GPSLatitude[2], 3, 1e-9);  // the reader normalises degrees, minutes and seconds
  }
}

TEST(TiffExif, MakerNoteModes) {
  // A parsable note: count 1, a SHORT 9 inline.
  const std::string good = std::string("\x01\x00\x07\x00\x03\x00\x01\x00\x00\x00\x09\x00\x00\x00", 14) + std::string(4, '\0');
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const uint8_t saved = settings->FMakerNoteMode;
  struct Case {
    uint8_t Mode;
    bool Parsable;
    bool WantRaw, WantParsed, WantWritten;
  };
  const Case cases[] = {{0, true, false, false, false}, {1, true, true, true, true},   {1, false, false, false, false},
                        {2, false, true, false, true},  {2, true, true, true, true},   {3, true, true, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Mode) * 10 + c.Parsable);
    settings->FMakerNoteMode = c.Mode;
    TIOParams r;
    ReadBlock(PageWithExif(37500, c.Parsable ? good : std::string("\xFF\xFF garbage", 10), false), r);
    EXPECT_EQ(r.EXIF_MakerNote.RawLength() > 0, c.WantRaw);
    EXPECT_EQ(r.EXIF_MakerNote.LoadEntries(), c.WantParsed);
    if (c.WantParsed) {
      EXPECT_EQ(r.EXIF_MakerNote.Reader()->ReadInteger(7, -1), 9);
    }
    const std::string bytes = WriteBlock(r);
    auto s = codectest::StreamOf(bytes);
    TPXTIFFIFDReader exif = SubDirectory(*s, 34665);
    EXPECT_EQ(exif.FindTag(37500) >= 0, c.WantWritten);
    if (c.WantWritten && c.Mode != 1) {
      std::vector<uint8_t> raw;
      exif.ReadBytes(37500, raw);
      const std::string want = c.Parsable ? good : std::string("\xFF\xFF garbage", 10);
      if (c.Mode == 3 || !c.Parsable) {
        EXPECT_EQ(std::string(raw.begin(), raw.end()), want);
      }
    }
  }
  settings->FMakerNoteMode = saved;
}

TEST(TiffExif, ExiftoolReadsOurDirectories) {
  if (!ToolExists("/usr/bin/exiftool")) GTEST_SKIP() << "exiftool missing";
  TestTempDir dir;
  TPXBitmap b;
  b.Allocate(8, 8, px24RGB);
  TIOParams w;
  w.SamplesPerPixel = 3;
  w.EXIF_HasEXIFData = true;
  w.SetExifExposureTime(0.004);
  w.SetExifFNumber(2.8);
  w.EXIF_Make = "Quill";
  w.EXIF_GPSVersionID = "2.2.0.0";
  w.EXIF_GPSLatitudeRef = "N";
  w.EXIF_GPSLatitude = {48, 30, 0};
  w.EXIF_InteropIndex = "R98";
  w.EXIF_InteropVersion = "0100";
  TMemoryStream s;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  EncodeTiffStream(&s, false, &b, &w, pr);
  const std::string file = dir.File("e.tif");
  codectest::WriteFile(file, codectest::BytesOf(s));
  ASSERT_EQ(RunTool({"/usr/bin/exiftool", "-n", "-S", "-ExposureTime", "-FNumber", "-Make", "-GPSLatitude",
                     "-InteropIndex", file},
                    dir.File("out.txt")),
            0);
  const std::string out = codectest::ReadFile(dir.File("out.txt"));
  EXPECT_NE(out.find("ExposureTime: 0.004"), std::string::npos) << out;
  EXPECT_NE(out.find("FNumber: 2.8"), std::string::npos) << out;
  EXPECT_NE(out.find("Make: Quill"), std::string::npos) << out;
  EXPECT_NE(out.find("GPSLatitude: 48.5"), std::string::npos) << out;
  EXPECT_NE(out.find("InteropIndex: R98"), std::string::npos) << out;
  // exiftool tags a TIFF; we read its values.
  ASSERT_EQ(RunTool({"/usr/bin/exiftool", "-overwrite_original", "-ExposureTime=1/250", "-Model=Other",
                     "-GPSLongitude=2.25", "-GPSLongitudeRef=E", file},
                    dir.File("log.txt")),
            0);
  Decoded d;
  Decode(codectest::ReadFile(file), d);
  EXPECT_NEAR(d.Params.EXIF_ExposureTime, 0.004, 1e-9);
  EXPECT_EQ(d.Params.EXIF_Model, "Other");
  EXPECT_NEAR(d.Params.EXIF_GPSLongitude[0] + d.Params.EXIF_GPSLongitude[1] / 60 + d.Params.EXIF_GPSLongitude[2] / 3600,
              2.25, 1e-6);
}

TEST(ExifBlock, ApplyOrientationMatchesPillow) {
  if (!ToolExists(codectest::kPython)) GTEST_SKIP() << "Python missing";
  TestTempDir dir;
  // Pillow's exif_transpose of an asymmetric 3 x 2 picture with alpha, for every orientation.
  const char* script =
      "import sys\nfrom PIL import Image, ImageOps\n"
      "im = Image.new('RGBA', (3, 2))\n"
      "im.putdata([(10, 1, 2, 255), (20, 3, 4, 128), (30, 5, 6, 0), (40, 7, 8, 255), (50, 9, 10, 200), (60, 11, 12, 64)])\n"
      "out = open(sys.argv[1], 'wb')\n"
      "for o in range(1, 9):\n"
      "    c = im.copy(); c.getexif()[274] = o\n"
      "    t = ImageOps.exif_transpose(c)\n"
      "    out.write(bytes([t.size[0], t.size[1]]) + t.tobytes())\n";
  const std::string file = dir.File("want.bin");
  ASSERT_EQ(RunTool({codectest::kPython, "-c", script, file}, dir.File("log")), 0);
  const std::string want = codectest::ReadFile(file);
  size_t at = 0;
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    TPXBitmap b;
    b.Allocate(3, 2, px24RGB);
    TPXMask mask;
    mask.AllocateBits(3, 2, 8);
    const uint8_t px[6][4] = {{10, 1, 2, 255}, {20, 3, 4, 128}, {30, 5, 6, 0}, {40, 7, 8, 255}, {50, 9, 10, 200}, {60, 11, 12, 64}};
    for (int i = 0; i < 6; ++i) {
      reinterpret_cast<TRGB*>(b.Scanline(i / 3))[i % 3] = TRGB{px[i][2], px[i][1], px[i][0]};
      mask.GetScanline(i / 3)[i % 3] = px[i][3];
    }
    ApplyOrientation(&b, o, &mask);
    const int w = uint8_t(want[at]), h = uint8_t(want[at + 1]);
    at += 2;
    ASSERT_EQ(b.Width(), w);
    ASSERT_EQ(b.Height(), h);
    ASSERT_EQ(mask.Width(), w);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x, at += 4) {
        const TRGB c = PixelOf(b, x, y);
        EXPECT_EQ(c.r, uint8_t(want[at]));
        EXPECT_EQ(c.g, uint8_t(want[at + 1]));
        EXPECT_EQ(mask.GetPixel(x, y), uint8_t(want[at + 3]));
      }
  }
  // Orientation 6 on 4 x 2: 2 x 4 whose first row is the first column read bottom to top.
  TPXBitmap g;
  g.Allocate(4, 2, px8g);
  for (int x = 0; x < 4; ++x) {
    g.Scanline(0)[x] = uint8_t(x);
    g.Scanline(1)[x] = uint8_t(10 + x);
  }
  ApplyOrientation(&g, 6);
  ASSERT_EQ(g.Width(), 2);
  ASSERT_EQ(g.Height(), 4);
  EXPECT_EQ(g.Scanline(0)[0], 10);
  EXPECT_EQ(g.Scanline(0)[1], 0);
}

TEST(ExifBlock, ThumbnailIsTheSecondPageInOldStyleJpeg) {
  TIOParams p;
  p.EXIF_HasEXIFData = true;
  p.EXIF_Make = "Quill";
  TPXBitmap* t = p.CreateExifThumbnail();
  t->Allocate(32, 16, px24RGB);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) reinterpret_cast<TRGB*>(t->Scanline(y))[x] = TRGB{uint8_t(x * 8), 100, uint8_t(y * 16)};
  std::vector<uint8_t> block;
  ASSERT_TRUE(BuildExifBlock(&p, block, true));
  ASSERT_GT(block.size(), 6u);
  EXPECT_EQ(std::string(block.begin(), block.begin() + 6), std::string("Exif\0\0", 6));
  const std::string tiff(block.begin() + 6, block.end());
  Decoded first;
  Decode(tiff, first);
  EXPECT_EQ(first.Pages, 2);
  EXPECT_EQ(first.Params.EXIF_Make, "Quill");
  Decoded second;
  Decode(tiff, second, false, 1);
  ASSERT_FALSE(second.Aborting);
  EXPECT_EQ(second.Params.TIFF_Compression, 6);
  ASSERT_EQ(second.Bitmap.Width(), 32);
  EXPECT_NEAR(PixelOf(second.Bitmap, 20, 8).b, 160, 12);
  EXPECT_NEAR(PixelOf(second.Bitmap, 20, 8).r, 128, 12);
}

// A TIFF structure that starts inside a stream: every sub-directory counts from its start.
TEST(TiffExif, SubDirectoriesShareTheChainsBase) {
  TIOParams w;
  w.EXIF_Make = "Quill";
  w.SetExifExposureTime(0.5);
  w.EXIF_GPSVersionID = "2.2.0.0";
  w.EXIF_GPSLatitudeRef = "N";
  w.EXIF_GPSLatitude = {10, 0, 0};
  const std::string block = WriteBlock(w);
  TMemoryStream s;
  s.WriteBuffer(std::string(100, 'j').data(), 100);
  s.WriteBuffer(block.data(), int64_t(block.size()));
  s.Seek(100, soBeginning);
  TIOParams r;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  std::unique_ptr<TPXMask> mask;
  int32_t pages = 0;
  DecodeTiffStream(nullptr, &s, pages, &r, pr, true, mask, true, true, false, false, nullptr);
  EXPECT_EQ(r.EXIF_Make, "Quill");
  EXPECT_NEAR(r.EXIF_ExposureTime, 0.5, 1e-9);
  EXPECT_NEAR(r.EXIF_GPSLatitude[0], 10, 1e-9);
}

// Turning a page upright on reading turns its alpha too and leaves orientation 1, so a later
// save does not turn it again.
TEST(TiffExif, AutoRotateTurnsMaskAndResetsOrientation) {
  TPXBitmap b;
  b.Allocate(4, 2, px24RGB);
  TPXBitmap* a = b.AlphaChannel();
  for (int x = 0; x < 4; ++x) {
    reinterpret_cast<TRGB*>(b.Scanline(0))[x] = TRGB{uint8_t(x), 0, 0};
    reinterpret_cast<TRGB*>(b.Scanline(1))[x] = TRGB{uint8_t(10 + x), 0, 0};
    a->Scanline(0)[x] = uint8_t(100 + x);
    a->Scanline(1)[x] = uint8_t(200 + x);
  }
  TIOParams w;
  w.SamplesPerPixel = 3;
  w.EXIF_HasEXIFData = true;
  w.SetExifOrientation(6);
  TMemoryStream s;
  TPXAbortFlag ab{false};
  TPXProgressRecord pr;
  pr.Aborting = &ab;
  EncodeTiffStream(&s, false, &b, &w, pr);
  Decoded d;
  d.Params.TIFF_AutoRotate = true;
  Decode(codectest::BytesOf(s), d);
  ASSERT_FALSE(d.Aborting);
  ASSERT_EQ(d.Bitmap.Width(), 2);
  ASSERT_EQ(d.Bitmap.Height(), 4);
  EXPECT_EQ(PixelOf(d.Bitmap, 0, 0).b, 10);
  EXPECT_EQ(PixelOf(d.Bitmap, 1, 0).b, 0);
  ASSERT_TRUE(d.Mask);
  EXPECT_EQ(d.Mask->Width(), 2);
  EXPECT_EQ(d.Mask->GetPixel(0, 0), 200);
  EXPECT_EQ(d.Mask->GetPixel(1, 3), 103);
  EXPECT_EQ(d.Params.TIFF_Orientation, 1);
}
