// EXIF in JPEG files: what exiftool writes reads into the EXIF group, the resolution fallback, the
// picture turned upright as Pillow turns it, the EXIF thumbnail, the "R03" wide-gamut profile, and
// the EXIF block the save rebuilds, read back by exiftool and exiv2.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <sstream>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxexif.h"
#include "io/pxicc.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_params.h"
#include "tests/codecs/JpegTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace jpegtest;

namespace {

constexpr const char* kExiftool = "/usr/bin/exiftool";
constexpr const char* kExiv2 = "/usr/bin/exiv2";
constexpr const char* kPython = "/usr/bin/python3";

std::string ReadText(const std::string& Path) {
  std::ifstream f(Path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// exiftool's numeric reading of a file's tags (group names kept apart).
nlohmann::json ExiftoolJson(const std::string& File, const std::string& Out) {
  if (RunTool({kExiftool, "-j", "-n", File}, Out) != 0) return {};
  const auto all = nlohmann::json::parse(ReadText(Out), nullptr, false);
  return all.is_array() && !all.empty() ? all[0] : nlohmann::json();
}

// A JPEG with a plain picture and no EXIF.
Bytes PlainJpeg(int32_t W, int32_t H, int32_t Dpi = 72) {
  auto bmp = Gradient(W, H);
  TIOParams p;
  p.DpiX = Dpi;
  p.DpiY = Dpi;
  return Encode(bmp.get(), p);
}

// A JPEG whose first APP1 holds the EXIF block of Exif.
Bytes JpegWithExif(TPXBitmap* Picture, TIOParams& Exif) {
  Exif.EXIF_HasEXIFData = true;
  std::vector<uint8_t> block;
  EXPECT_TRUE(BuildExifBlock(&Exif, block, true));
  Exif.JPEG_Markers.Clear();
  Exif.JPEG_Markers.AddMarker(PX_JPEG_APP1, block.data(), static_cast<int32_t>(block.size()));
  return Encode(Picture, Exif);
}

struct TSettingsGuard {
  TPXPixoranGlobalSettings* S = GlobalSettingsInstance();
  uint8_t Mode = S->FAdobeRGBMode;
  bool OnLoad = S->FColorProfileOnLoad;
  ~TSettingsGuard() {
    S->FAdobeRGBMode = Mode;
    S->FColorProfileOnLoad = OnLoad;
  }
};

}  // namespace

TEST(ExifJpeg, ResolutionFallsBackOnTheExifOneOnlyForOneByOne) {
  auto bmp = Gradient(8, 8);
  for (const auto& [jfif, expected] : {std::pair{1, 72}, std::pair{300, 300}}) {
    SCOPED_TRACE(jfif);
    TIOParams w;
    w.DpiX = w.DpiY = jfif;
    w.EXIF_XResolution = w.EXIF_YResolution = 72;
    const Bytes j = JpegWithExif(bmp.get(), w);
    TIOParams r;
    Decode(j, r);
    EXPECT_EQ(r.DpiX, expected);
    EXPECT_EQ(r.DpiY, expected);
    EXPECT_TRUE(r.EXIF_HasEXIFData);
  }
}

TEST(ExifJpeg, ReadsWhatExiftoolWrites) {
  if (!ToolExists(kExiftool)) GTEST_SKIP() << "exiftool missing";
  TestTempDir dir;
  struct TCase {
    const char* Name;
    const char* Comment;
    const char* Code;
  };
  for (const TCase& c : {TCase{"ascii", "plain words", "ASCII"}, TCase{"unicode", "Gr\xC3\xBC\xC3\x9F" "e", "UNICODE"}}) {
    SCOPED_TRACE(c.Name);
    const std::string file = dir.File(std::string(c.Name) + ".jpg");
    WriteFile(file, PlainJpeg(32, 24));
    ASSERT_EQ(RunTool({kExiftool, "-q", "-overwrite_original", "-EXIF:Make=Quill Cam", "-EXIF:Model=QC 1",
                       "-EXIF:DateTimeOriginal=2021:02:03 04:05:06", "-EXIF:ExposureTime=0.004", "-EXIF:FNumber=2.8",
                       "-EXIF:ISO=200", "-EXIF:Flash#=16", "-EXIF:FocalLength=50",
                       std::string("-EXIF:UserComment=") + c.Comment, "-EXIF:XPTitle=Sea", "-EXIF:Rating=4",
                       "-EXIF:GPSLatitude=48.8566", "-EXIF:GPSLatitudeRef=N", "-EXIF:GPSLongitude=2.3522",
                       "-EXIF:GPSLongitudeRef=E", "-EXIF:GPSAltitude=35.5", "-EXIF:GPSAltitudeRef#=0",
                       "-EXIF:GPSTimeStamp=12:34:56", "-EXIF:GPSDateStamp=2021:02:03", "-EXIF:InteropIndex=R98", file},
                      dir.File("w.out")),
              0);
    const nlohmann::json t = ExiftoolJson(file, dir.File("t.json"));
    ASSERT_FALSE(t.is_null());
    TIOParams r;
    Decode(ReadFile(file), r);
    EXPECT_TRUE(r.EXIF_HasEXIFData);
    EXPECT_EQ(r.EXIF_Make, t["Make"].get<std::string>());
    EXPECT_EQ(r.EXIF_Model, t["Model"].get<std::string>());
    EXPECT_EQ(r.EXIF_DateTimeOriginal, t["DateTimeOriginal"].get<std::string>());
    EXPECT_NEAR(r.EXIF_ExposureTime, t["ExposureTime"].get<double>(), 5e-9);
    EXPECT_NEAR(r.EXIF_FNumber, t["FNumber"].get<double>(), 5e-9);
    EXPECT_EQ(r.EXIF_ISOSpeedRatings[0], t["ISO"].get<int>());
    EXPECT_EQ(r.EXIF_Flash, t["Flash"].get<int>());
    EXPECT_NEAR(r.EXIF_FocalLength, t["FocalLength"].get<double>(), 5e-9);
    EXPECT_EQ(r.EXIF_UserComment, c.Comment);
    EXPECT_EQ(r.EXIF_XPTitle, t["XPTitle"].get<std::string>());
    EXPECT_EQ(r.EXIF_Rating, t["Rating"].get<int>());
    EXPECT_EQ(r.EXIF_GPSLatitudeRef, "N");
    const double lat = r.EXIF_GPSLatitude[0] + r.EXIF_GPSLatitude[1] / 60 + r.EXIF_GPSLatitude[2] / 3600;
    const double lon = r.EXIF_GPSLongitude[0] + r.EXIF_GPSLongitude[1] / 60 + r.EXIF_GPSLongitude[2] / 3600;
    EXPECT_NEAR(lat, t["GPSLatitude"].get<double>(), 1e-6);
    EXPECT_NEAR(lon, t["GPSLongitude"].get<double>(), 1e-6);
    EXPECT_NEAR(r.EXIF_GPSAltitude, t["GPSAltitude"].get<double>(), 5e-9);
    EXPECT_EQ(r.EXIF_GPSTimeStamp[0], 12);
    EXPECT_EQ(r.EXIF_GPSTimeStamp[2], 56);
    EXPECT_EQ(r.EXIF_GPSDateStamp, t["GPSDateStamp"].get<std::string>());
    EXPECT_EQ(r.EXIF_InteropIndex, t["InteropIndex"].get<std::string>());

    TIOParams none;
    none.ReadMetadata = false;
    Decode(ReadFile(file), none);
    EXPECT_FALSE(none.EXIF_HasEXIFData);
    EXPECT_EQ(none.EXIF_Make, "");
  }
}

TEST(ExifJpeg, AutoRotateTurnsAsPillowDoes) {
  if (!HavePil()) GTEST_SKIP() << "Pillow missing";
  TestTempDir dir;
  auto bmp = Gradient(40, 24);
  for (int32_t o = 1; o <= 8; ++o) {
    SCOPED_TRACE(o);
    TIOParams w;
    w.SetTiffOrientation(o);
    const Bytes j = JpegWithExif(bmp.get(), w);
    const std::string file = dir.File("o" + std::to_string(o) + ".jpg");
    WriteFile(file, j);
    static const char* kScript =
        "import sys\n"
        "from PIL import Image, ImageOps\n"
        "im = ImageOps.exif_transpose(Image.open(sys.argv[1])).convert('RGB')\n"
        "open(sys.argv[2], 'wb').write(im.tobytes())\n"
        "sys.stdout.write('%d %d' % im.size)\n";
    ASSERT_EQ(RunTool({kPython, "-c", kScript, file, dir.File("pil.raw")}, dir.File("pil.size")), 0);
    int32_t pw = 0, ph = 0;
    std::istringstream(ReadText(dir.File("pil.size"))) >> pw >> ph;

    TIOParams turned;
    turned.JPEG_AutoRotate = true;
    TDecoded d = Decode(j, turned);
    ASSERT_EQ(d.Bitmap->Width(), pw);
    ASSERT_EQ(d.Bitmap->Height(), ph);
    EXPECT_LE(MaxDiff(PixelsOf(d.Bitmap.get()), ReadFile(dir.File("pil.raw"))), 0);
    EXPECT_EQ(turned.EXIF_Orientation, 1);
    EXPECT_EQ(turned.TIFF_Orientation, 1);

    TIOParams stored;
    TDecoded s = Decode(j, stored);
    EXPECT_EQ(s.Bitmap->Width(), 40);
    EXPECT_EQ(stored.EXIF_Orientation, o);
  }
}

TEST(ExifJpeg, ThumbnailIsTheOneExiftoolInserted) {
  if (!ToolExists(kExiftool) || !ToolExists("/usr/bin/djpeg")) GTEST_SKIP() << "exiftool or djpeg missing";
  TestTempDir dir;
  const std::string file = dir.File("main.jpg"), thumb = dir.File("thumb.jpg");
  WriteFile(file, PlainJpeg(640, 480));
  WriteFile(thumb, PlainJpeg(160, 120));
  ASSERT_EQ(RunTool({kExiftool, "-q", "-overwrite_original", "-Make=Thumb", "-ThumbnailImage<=" + thumb, file},
                    dir.File("w.out")),
            0);
  ASSERT_EQ(RunTool({kExiftool, "-b", "-ThumbnailImage", file}, dir.File("extracted.jpg")), 0);
  ASSERT_EQ(RunTool({"/usr/bin/djpeg", "-pnm", dir.File("extracted.jpg")}, dir.File("thumb.ppm")), 0);
  TPnm expected;
  ASSERT_TRUE(ParsePnm(ReadFile(dir.File("thumb.ppm")), expected));

  TIOParams p;
  p.SetJpegGetThumbnail(true);
  TDecoded d = Decode(ReadFile(file), p);
  ASSERT_EQ(d.Bitmap->Width(), 160);
  ASSERT_EQ(d.Bitmap->Height(), 120);
  EXPECT_EQ(PixelsOf(d.Bitmap.get()), expected.Data);

  // Through the I/O component.
  TPXBitmap bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&bitmap);
  io->Params()->SetGetThumbnail(true);
  ASSERT_TRUE(io->LoadFromFile(file, pxftJPEG));
  ASSERT_EQ(bitmap.Width(), 160);
  EXPECT_EQ(PixelsOf(&bitmap), expected.Data);

  // Without an EXIF thumbnail the reduced picture stands in.
  TIOParams q;
  q.SetJpegGetThumbnail(true);
  TDecoded r = Decode(PlainJpeg(1280, 960), q);
  EXPECT_EQ(r.Bitmap->Width(), 640);
  EXPECT_EQ(r.Bitmap->Height(), 480);
}

TEST(ExifJpeg, R03StandsForTheWideGamutProfile) {
  TSettingsGuard guard;
  auto bmp = Gradient(24, 16);
  TIOParams w;
  w.EXIF_InteropIndex = "R03";
  w.EXIF_InteropVersion = "0100";
  const Bytes j = JpegWithExif(bmp.get(), w);
  TPXICC wide;
  wide.LoadWideGamutRGB();
  ASSERT_TRUE(wide.IsValid());
  EXPECT_EQ(wide.ColorSpace(), "RGB ");
  EXPECT_EQ(wide.ConnectionSpace(), "XYZ ");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(wide.ProfileData()) + 12, 4), "mntr");
  guard.S->FColorProfileOnLoad = false;
  for (uint8_t mode : {0, 1, 2}) {
    SCOPED_TRACE(int(mode));
    guard.S->FAdobeRGBMode = mode;
    TIOParams r;
    TDecoded d = Decode(j, r);
    if (mode == 0) {
      EXPECT_TRUE(!r.InputICC() || r.InputICC()->ProfileSize() == 0);
      continue;
    }
    ASSERT_TRUE(r.InputICC());
    ASSERT_EQ(r.InputICC()->ProfileSize(), wide.ProfileSize());
    ASSERT_TRUE(d.Bitmap->FImageProfile);
    EXPECT_EQ(d.Bitmap->FImageProfile->ProfileSize(), wide.ProfileSize());
  }

  // Converted on load: the rows are Pillow's conversion from the wide-gamut profile to sRGB.
  if (!HavePil()) GTEST_SKIP() << "Pillow missing";
  TestTempDir dir;
  WriteFile(dir.File("r03.jpg"), j);
  WriteFile(dir.File("wide.icc"), Bytes(wide.ProfileData(), wide.ProfileData() + wide.ProfileSize()));
  TPXICC srgb;
  srgb.LoadSRGB();
  WriteFile(dir.File("srgb.icc"), Bytes(srgb.ProfileData(), srgb.ProfileData() + srgb.ProfileSize()));
  static const char* kScript =
      "import sys\n"
      "from PIL import Image, ImageCms\n"
      "im = Image.open(sys.argv[1]).convert('RGB')\n"
      "t = ImageCms.buildTransform(ImageCms.getOpenProfile(sys.argv[2]), ImageCms.getOpenProfile(sys.argv[3]),"
      " 'RGB', 'RGB', 0, int(sys.argv[5]))\n"
      "open(sys.argv[4], 'wb').write(ImageCms.applyTransform(im, t).tobytes())\n";
  const std::string flags = std::to_string(0x0400 | 0x0040);  // high-resolution tables, no cache
  ASSERT_EQ(RunTool({kPython, "-c", kScript, dir.File("r03.jpg"), dir.File("wide.icc"), dir.File("srgb.icc"),
                     dir.File("out.raw"), flags},
                    dir.File("py.out")),
            0);
  guard.S->FColorProfileOnLoad = true;
  for (uint8_t mode : {1, 2}) {
    SCOPED_TRACE(int(mode));
    guard.S->FAdobeRGBMode = mode;
    TIOParams r;
    TDecoded d = Decode(j, r);
    EXPECT_LE(MaxDiff(PixelsOf(d.Bitmap.get()), ReadFile(dir.File("out.raw"))), 2);
    EXPECT_EQ(r.EXIF_InteropIndex, mode == 2 ? "" : "R03");
  }
}

namespace {

// The APP1 segments of a JPEG, in file order.
std::vector<Bytes> App1Segments(const Bytes& J) {
  std::vector<Bytes> out;
  for (const TSegment& s : HeaderSegments(J))
    if (s.Marker == 0xE1) out.push_back(s.Data);
  return out;
}

bool StartsWith(const Bytes& B, const std::string& Prefix) {
  return B.size() >= Prefix.size() && std::equal(Prefix.begin(), Prefix.end(), B.begin());
}

}  // namespace

TEST(ExifJpeg, SaveRebuildsTheExifBlock) {
  if (!ToolExists(kExiftool)) GTEST_SKIP() << "exiftool missing";
  TestTempDir dir;
  const std::string source = dir.File("source.jpg"), saved = dir.File("saved.jpg");
  WriteFile(source, PlainJpeg(48, 32));
  ASSERT_EQ(RunTool({kExiftool, "-q", "-overwrite_original", "-Artist=Before", "-Make=Quill", "-XMP-dc:Title=Sea",
                     source},
                    dir.File("w.out")),
            0);
  TPXBitmap bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&bitmap);
  ASSERT_TRUE(io->LoadFromFile(source, pxftJPEG));
  ASSERT_TRUE(io->Params()->EXIF_HasEXIFData);
  io->Params()->EXIF_Artist = "After";
  io->SaveToFile(saved, pxftJPEG);
  ASSERT_FALSE(io->Aborting());
  const nlohmann::json t = ExiftoolJson(saved, dir.File("t.json"));
  EXPECT_EQ(t["Artist"], "After");
  EXPECT_EQ(t["Make"], "Quill");
  const std::vector<Bytes> app1 = App1Segments(ReadFile(saved));
  int exif = 0, xmpAt = -1, exifAt = -1;
  for (size_t i = 0; i < app1.size(); ++i) {
    if (StartsWith(app1[i], std::string("Exif\0\0", 6))) {
      ++exif;
      exifAt = int(i);
    }
    if (StartsWith(app1[i], "http://ns.adobe.com/xap/1.0/")) xmpAt = int(i);
  }
  EXPECT_EQ(exif, 1);
  ASSERT_GE(xmpAt, 0);
  EXPECT_LT(exifAt, xmpAt);
}

TEST(ExifJpeg, TiffExifSavedAsJpegKeepsItsValues) {
  if (!ToolExists(kExiftool)) GTEST_SKIP() << "exiftool missing";
  TestTempDir dir;
  const std::string tiff = dir.File("source.tif"), saved = dir.File("saved.jpg");
  {
    TPXBitmap b;
    b.Assign(Gradient(20, 10).get());
    std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&b);
    io->SaveToFile(tiff, pxftTIFF);
    ASSERT_FALSE(io->Aborting());
  }
  ASSERT_EQ(RunTool({kExiftool, "-q", "-overwrite_original", "-Model=Tiff Model", "-ExposureTime=0.02",
                     "-GPSLatitude=10.5", "-GPSLatitudeRef=S", tiff},
                    dir.File("w.out")),
            0);
  TPXBitmap bitmap;
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&bitmap);
  ASSERT_TRUE(io->LoadFromFile(tiff, pxftTIFF));
  io->SaveToFile(saved, pxftJPEG);
  ASSERT_FALSE(io->Aborting());
  const nlohmann::json a = ExiftoolJson(tiff, dir.File("a.json")), b = ExiftoolJson(saved, dir.File("b.json"));
  for (const char* tag : {"Model", "ExposureTime", "GPSLatitude", "GPSLatitudeRef"}) EXPECT_EQ(a[tag], b[tag]) << tag;
}

// exiftool and exiv2 read the EXIF, GPS and Interoperability tags of a JPEG we write.
TEST(ExifJpeg, OraclesReadWhatWeWrite) {
  if (!ToolExists(kExiftool) || !ToolExists(kExiv2)) GTEST_SKIP() << "exiftool or exiv2 missing";
  TestTempDir dir;
  TIOParams w;
  w.EXIF_Make = "Quill";
  w.EXIF_Model = "Writer 2";
  w.EXIF_Software = "Quillane";
  w.EXIF_Artist = "Someone";
  w.EXIF_Copyright = "(c) 2026";
  w.EXIF_DateTime = "2026:01:02 03:04:05";
  w.EXIF_DateTimeOriginal = "2026:01:02 03:04:06";
  w.SetExifExposureTime(1.0 / 125);
  w.SetExifFNumber(4);
  w.SetExifExposureBiasValue(-0.5);
  w.SetExifFocalLength(24);
  w.SetExifFlash(9);
  w.SetExifIsoSpeedRatings(0, 800);
  w.EXIF_ExifVersion = "0231";
  w.EXIF_ImageUniqueID = "ABC123";
  w.EXIF_LensModel = "Lens 50";
  w.EXIF_UserComment = "note";
  w.EXIF_UserCommentCode = std::string("ASCII\0\0\0", 8);
  w.EXIF_GPSVersionID = "2.2.0.0";
  w.EXIF_GPSLatitudeRef = "N";
  w.EXIF_GPSLatitude = {51, 30, 15.5};
  w.EXIF_GPSLongitudeRef = "W";
  w.EXIF_GPSLongitude = {0, 7, 39.25};
  w.EXIF_GPSAltitudeRef = "1";
  w.EXIF_GPSAltitude = 12.75;
  w.EXIF_GPSTimeStamp = {10, 20, 30};
  w.EXIF_GPSDateStamp = "2026:01:02";
  w.EXIF_InteropIndex = "R98";
  w.EXIF_InteropVersion = "0100";
  w.SetExifExposureProgram(3);
  w.SetExifMeteringMode(5);
  w.SetExifLightSource(4);
  w.SetExifShutterSpeedValue(7.97);
  w.SetExifApertureValue(4.5);
  w.SetExifBrightnessValue(-1.5);
  w.SetExifMaxApertureValue(2.97);
  w.SetExifColorSpace(1);
  w.SetExifPixelXDimension(96);
  w.SetExifPixelYDimension(64);
  w.EXIF_FocalLengthIn35mmFilm = 36;
  w.EXIF_WhiteBalance = 1;
  w.EXIF_SceneCaptureType = 2;
  w.EXIF_SubsecTime = "42";
  w.EXIF_XPTitle = "Sea front";
  w.EXIF_Rating = 4;
  w.EXIF_LensMake = "Lens Maker";
  w.EXIF_BodySerialNumber = "SN 123";
  w.EXIF_CameraOwnerName = "Owner";
  w.EXIF_GPSSatellites = "7";
  w.EXIF_GPSMapDatum = "WGS-84";
  TPXBitmap* thumb = w.CreateExifThumbnail();
  thumb->Assign(Gradient(64, 48).get());
  auto bmp = Gradient(96, 64);
  const std::string file = dir.File("ours.jpg");
  WriteFile(file, JpegWithExif(bmp.get(), w));

  const nlohmann::json t = ExiftoolJson(file, dir.File("t.json"));
  struct TText {
    const char* Tag;
    std::string Value;
  };
  for (const TText& x : {TText{"Make", "Quill"}, TText{"Model", "Writer 2"}, TText{"Software", "Quillane"},
                         TText{"Artist", "Someone"}, TText{"Copyright", "(c) 2026"},
                         TText{"ModifyDate", "2026:01:02 03:04:05"}, TText{"DateTimeOriginal", "2026:01:02 03:04:06"},
                         TText{"ExifVersion", "0231"}, TText{"ImageUniqueID", "ABC123"}, TText{"LensModel", "Lens 50"},
                         TText{"UserComment", "note"}, TText{"GPSLatitudeRef", "N"}, TText{"GPSLongitudeRef", "W"},
                         TText{"GPSDateStamp", "2026:01:02"}, TText{"InteropIndex", "R98"},
                         TText{"InteropVersion", "0100"}, TText{"GPSVersionID", "2 2 0 0"},
                         TText{"SubSecTime", "42"}, TText{"XPTitle", "Sea front"}, TText{"LensMake", "Lens Maker"},
                         TText{"SerialNumber", "SN 123"}, TText{"OwnerName", "Owner"}, TText{"GPSSatellites", "7"},
                         TText{"GPSMapDatum", "WGS-84"}, TText{"ExposureProgram", "3"}, TText{"MeteringMode", "5"},
                         TText{"LightSource", "4"}, TText{"ColorSpace", "1"}, TText{"ExifImageWidth", "96"},
                         TText{"ExifImageHeight", "64"}, TText{"FocalLengthIn35mmFormat", "36"},
                         TText{"WhiteBalance", "1"}, TText{"SceneCaptureType", "2"}, TText{"Rating", "4"}})
    EXPECT_EQ(t[x.Tag].is_string() ? t[x.Tag].get<std::string>() : t[x.Tag].dump(), x.Value) << x.Tag;
  struct TNumber {
    const char* Tag;
    double Value;
  };
  EXPECT_EQ(t["ExposureCompensation"], -0.5);  // signed, as EXIF defines it
  for (const TNumber& x : {TNumber{"ExposureTime", 1.0 / 125}, TNumber{"FNumber", 4},
                           TNumber{"FocalLength", 24}, TNumber{"Flash", 9}, TNumber{"ISO", 800},
                           TNumber{"GPSLatitude", 51 + 30 / 60.0 + 15.5 / 3600}, TNumber{"GPSLongitude", 7 / 60.0 + 39.25 / 3600},
                           TNumber{"GPSAltitude", 12.75}, TNumber{"GPSAltitudeRef", 1}}) {
    ASSERT_TRUE(t[x.Tag].is_number()) << x.Tag;
    EXPECT_NEAR(std::abs(t[x.Tag].get<double>()), std::abs(x.Value), 1e-6) << x.Tag;
  }

  // exiv2's plain values: the rationals as we wrote them.
  struct TKey {
    const char* Key;
    const char* Value;
  };
  for (const TKey& k : {TKey{"Exif.Image.Make", "Quill"}, TKey{"Exif.Photo.FNumber", "4/1"},
                        TKey{"Exif.Photo.ExposureTime", "1/125"},
                        TKey{"Exif.GPSInfo.GPSLatitude", "51/1 30/1 31/2"}, TKey{"Exif.GPSInfo.GPSAltitude", "51/4"},
                        TKey{"Exif.Iop.InteroperabilityIndex", "R98"}, TKey{"Exif.Photo.ISOSpeedRatings", "800"},
                        TKey{"Exif.Photo.ExposureBiasValue", "-1/2"}, TKey{"Exif.GPSInfo.GPSVersionID", "2 2 0 0"},
                        TKey{"Exif.Photo.ShutterSpeedValue", "797/100"}, TKey{"Exif.Photo.ApertureValue", "9/2"},
                        TKey{"Exif.Photo.BrightnessValue", "-3/2"}, TKey{"Exif.Photo.MaxApertureValue", "297/100"},
                        TKey{"Exif.Photo.ColorSpace", "1"}, TKey{"Exif.Photo.PixelXDimension", "96"}}) {
    ASSERT_EQ(RunTool({kExiv2, "-pv", "-K", k.Key, file}, dir.File("exiv2.txt")), 0) << k.Key;
    const std::string e = ReadText(dir.File("exiv2.txt"));
    EXPECT_NE(e.find(std::string(" ") + k.Value + "\n"), std::string::npos) << k.Key << ": " << e;
  }

  // exiv2's thumbnail extraction gives the thumbnail we wrote.
  RunTool({kExiv2, "-f", "-et", "-l", dir.Path(), file}, dir.File("et.out"));  // exits non-zero even when it extracted
  TIOParams back;
  TDecoded d = Decode(ReadFile(dir.File("ours-thumb.jpg")), back);
  ASSERT_EQ(d.Bitmap->Width(), 64);
  ASSERT_EQ(d.Bitmap->Height(), 48);
  TIOParams ours;
  ours.SetJpegGetThumbnail(true);
  TDecoded t2 = Decode(ReadFile(file), ours);
  EXPECT_EQ(PixelsOf(d.Bitmap.get()), PixelsOf(t2.Bitmap.get()));
}


namespace {

std::string BE16(uint16_t V) { return std::string{char(V >> 8), char(V & 0xFF)}; }
std::string BE32(uint32_t V) { return BE16(uint16_t(V >> 16)) + BE16(uint16_t(V)); }

// A Nikon-layout maker note with its own big-endian TIFF header: version "0211" and ISO 0, 200.
std::string NikonNote() {
  std::string b("Nikon\0\x02\x11\0\0", 10);
  b += std::string("MM\0\x2A", 4) + BE32(8);
  b += BE16(2);
  b += BE16(1) + BE16(7) + BE32(4) + std::string("0211", 4);
  b += BE16(2) + BE16(3) + BE32(2) + BE16(0) + BE16(200);
  b += BE32(0);
  return b;
}

}  // namespace

TEST(ExifJpeg, NikonMakerNoteSurvivesLoadAndSave) {
  if (!ToolExists(kExiftool)) GTEST_SKIP() << "exiftool missing";
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const uint8_t savedMode = settings->FMakerNoteMode;
  TestTempDir dir;
  TIOParams w;
  w.EXIF_Make = "NIKON CORPORATION";
  w.EXIF_Model = "NIKON D1";
  const std::string note = NikonNote();
  w.EXIF_MakerNote.SetRawData(note.data(), int32_t(note.size()));
  auto bmp = Gradient(32, 16);
  const std::string source = dir.File("nikon.jpg");
  settings->FMakerNoteMode = 3;  // the raw block as it stands
  WriteFile(source, JpegWithExif(bmp.get(), w));
  const auto makerTags = [&](const std::string& File) {
    RunTool({kExiftool, "-j", "-n", "-MakerNotes:all", File}, dir.File("m.json"));
    const auto all = nlohmann::json::parse(ReadText(dir.File("m.json")), nullptr, false);
    nlohmann::json tags = all.is_array() && !all.empty() ? all[0] : nlohmann::json();
    tags.erase("SourceFile");
    return tags;
  };
  const nlohmann::json before = makerTags(source);
  EXPECT_TRUE(before.contains("ISO")) << before.dump();
  for (const uint8_t mode : {1, 3}) {
    SCOPED_TRACE(int(mode));
    settings->FMakerNoteMode = mode;
    TPXBitmap bitmap;
    std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&bitmap);
    ASSERT_TRUE(io->LoadFromFile(source, pxftJPEG));
    const std::string saved = dir.File("saved" + std::to_string(mode) + ".jpg");
    io->SaveToFile(saved, pxftJPEG);
    EXPECT_FALSE(io->Aborting());
    EXPECT_EQ(makerTags(saved), before);
  }
  settings->FMakerNoteMode = savedMode;
}

// A block too large for one marker (a big thumbnail) is saved without its thumbnail rather than
// left out; the picture's own thumbnail stays.
TEST(ExifJpeg, AnOversizedBlockLosesOnlyItsThumbnail) {
  TestTempDir dir;
  TPXBitmap bitmap;
  bitmap.Assign(Gradient(32, 32).get());
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&bitmap);
  TIOParams* p = io->Params();
  p->EXIF_HasEXIFData = true;
  p->EXIF_Artist = "Kept";
  TPXBitmap* thumb = p->CreateExifThumbnail();
  thumb->Allocate(400, 400, px24RGB);
  uint32_t seed = 1;
  for (int32_t y = 0; y < 400; ++y)
    for (int32_t x = 0; x < 1200; ++x) {
      seed = seed * 1103515245u + 12345u;
      thumb->Scanline(y)[x] = uint8_t(seed >> 24);
    }
  std::vector<uint8_t> full;
  ASSERT_TRUE(BuildExifBlock(p, full, true));
  ASSERT_GT(full.size(), size_t(PXMaxMarkerDataLength));
  const std::string file = dir.File("big.jpg");
  io->SaveToFile(file, pxftJPEG);
  ASSERT_FALSE(io->Aborting());
  ASSERT_TRUE(p->EXIF_Thumbnail());
  EXPECT_EQ(p->EXIF_Thumbnail()->Width(), 400);
  int exif = 0;
  for (const Bytes& a : App1Segments(ReadFile(file)))
    if (a.size() > 6 && std::equal(a.begin(), a.begin() + 6, "Exif\0\0")) {
      ++exif;
      TIOParams r;
      ASSERT_TRUE(ReadExifBlock(a.data(), int32_t(a.size()), &r, true));
      EXPECT_EQ(r.EXIF_Artist, "Kept");
      EXPECT_EQ(r.EXIF_Thumbnail()->Width(), 0);
    }
  EXPECT_EQ(exif, 1);
}
