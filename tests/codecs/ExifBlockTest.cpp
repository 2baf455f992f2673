// The EXIF block: what BuildExifBlock writes entry by entry, reading it back with and without the
// prefix, the EXIF date texts, finding the TIFF header inside a file, and the EXIF of
// TIFF-structured files with their thumbnail page.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <optional>

#include "codecs/tiffilt.h"
#include "core/pxxBitmaps.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/io/TiffBuild.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t LE(const Bytes& B, size_t At, int N) {
  uint32_t v = 0;
  for (int k = N - 1; k >= 0; --k) v = (v << 8) | B.at(At + size_t(k));
  return v;
}

// One entry of a little-endian block without prefix.
struct TEntry {
  uint16_t Type = 0;
  uint32_t Count = 0;
  uint32_t Field = 0;  // the value field as stored
  size_t FieldAt = 0;  // where the value field lies
  Bytes Data;          // the value's bytes (inline or out of line)
};

int TypeSize(uint16_t T) { return T == 3 || T == 8 ? 2 : T == 4 || T == 9 ? 4 : T == 5 || T == 10 ? 8 : 1; }

std::optional<TEntry> FindEntry(const Bytes& B, uint32_t IfdAt, uint16_t Tag) {
  const uint32_t n = LE(B, IfdAt, 2);
  for (uint32_t i = 0; i < n; ++i) {
    const size_t e = IfdAt + 2 + 12 * size_t(i);
    if (LE(B, e, 2) != Tag) continue;
    TEntry r;
    r.Type = uint16_t(LE(B, e + 2, 2));
    r.Count = LE(B, e + 4, 4);
    r.Field = LE(B, e + 8, 4);
    r.FieldAt = e + 8;
    const size_t size = size_t(TypeSize(r.Type)) * r.Count;
    const size_t at = size <= 4 ? e + 8 : r.Field;
    r.Data.assign(B.begin() + long(at), B.begin() + long(at + size));
    return r;
  }
  return std::nullopt;
}

uint32_t SubIfd(const Bytes& B, uint16_t PointerTag) {
  const auto e = FindEntry(B, LE(B, 4, 4), PointerTag);
  return e ? e->Field : 0;
}

Bytes Build(TIOParams& P, bool Prefix = false) {
  Bytes b;
  EXPECT_TRUE(BuildExifBlock(&P, b, Prefix));
  return b;
}

TIOParams* WithExif(TIOParams& P) {
  P.EXIF_HasEXIFData = true;
  return &P;
}

}  // namespace

// One table of what single fields make of their entries.
TEST(ExifBlock, EntriesOfSingleFields) {
  struct TCase {
    const char* Name;
    std::function<void(TIOParams&)> Set;
    uint16_t Pointer;  // 0: IFD0, else the sub-directory's pointer tag
    uint16_t Tag;
    std::function<void(const std::optional<TEntry>&, const Bytes&)> Check;
  };
  const std::vector<TCase> cases = {
      {"exposure set then removed", [](TIOParams& p) { p.SetExifExposureTime(0.01); p.SetExifExposureTime(-1); },
       34665, 33434, [](const auto& e, const Bytes&) { EXPECT_FALSE(e); }},
      {"empty ExifVersion", [](TIOParams&) {}, 34665, 36864,
       [](const auto& e, const Bytes&) { ASSERT_TRUE(e); EXPECT_EQ(e->Count, 0u); }},
      {"empty GPSStatus under a GPS directory", [](TIOParams& p) { p.EXIF_GPSVersionID = "2.2"; }, 34853, 9,
       [](const auto& e, const Bytes&) { ASSERT_TRUE(e); EXPECT_EQ(e->Count, 0u); }},
      {"description of 4 inline", [](TIOParams& p) { p.EXIF_ImageDescription = "abcd"; }, 0, 270,
       [](const auto& e, const Bytes&) {
         ASSERT_TRUE(e);
         EXPECT_EQ(e->Count, 4u);
         EXPECT_EQ(e->Field, LE(Bytes{'a', 'b', 'c', 'd'}, 0, 4));
       }},
      {"description of 5 out of line", [](TIOParams& p) { p.EXIF_ImageDescription = "abcde"; }, 0, 270,
       [](const auto& e, const Bytes&) {
         ASSERT_TRUE(e);
         EXPECT_EQ(e->Count, 6u);
         EXPECT_EQ(e->Data, (Bytes{'a', 'b', 'c', 'd', 'e', 0}));
         EXPECT_EQ(e->Field % 2, 0u);
       }},
      {"GPS version 2.2", [](TIOParams& p) { p.EXIF_GPSVersionID = "2.2"; }, 34853, 0,
       [](const auto& e, const Bytes&) { ASSERT_TRUE(e); EXPECT_EQ(e->Data, (Bytes{2, 2, 0, 0})); }},
      {"GPS version 2.2.0.0.1", [](TIOParams& p) { p.EXIF_GPSVersionID = "2.2.0.0.1"; }, 34853, 0,
       [](const auto& e, const Bytes&) { ASSERT_TRUE(e); EXPECT_EQ(e->Data, (Bytes{2, 2, 0, 0})); }},
      {"exposure bias -0.5", [](TIOParams& p) { p.SetExifExposureBiasValue(-0.5); }, 34665, 37380,
       [](const auto& e, const Bytes&) {
         ASSERT_TRUE(e);
         EXPECT_EQ(e->Type, 10);  // SRATIONAL
         EXPECT_EQ(int32_t(LE(e->Data, 0, 4)), -1);
         EXPECT_EQ(LE(e->Data, 4, 4), 2u);
       }},
      {"one-character XPTitle inline", [](TIOParams& p) { p.EXIF_XPTitle = "Q"; }, 0, 40091,
       [](const auto& e, const Bytes&) {
         ASSERT_TRUE(e);
         EXPECT_EQ(e->Count, 4u);
         EXPECT_EQ(e->Data, (Bytes{'Q', 0, 0, 0}));
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TIOParams p;
    c.Set(*WithExif(p));
    const Bytes b = Build(p);
    const uint32_t ifd = c.Pointer ? SubIfd(b, c.Pointer) : LE(b, 4, 4);
    ASSERT_NE(ifd, 0u);
    c.Check(FindEntry(b, ifd, c.Tag), b);
  }
}

namespace {

void FillGroup(TIOParams& w) {
  w.EXIF_HasEXIFData = true;
  w.EXIF_Make = "Maker";
  w.EXIF_Model = "Model 7";
  w.EXIF_Artist = "Someone";
  w.EXIF_DateTimeOriginal = "2023:04:05 06:07:08";
  w.SetExifExposureTime(1.0 / 250);
  w.SetExifFNumber(5.6);
  w.SetExifFlash(16);
  w.SetExifFocalLength(35.5);
  w.SetExifIsoSpeedRatings(0, 400);
  w.EXIF_UserComment = "Gr\xC3\xBC\xC3\x9F";
  w.EXIF_XPTitle = "Titl\xC3\xA9";
  w.EXIF_Rating = 3;
  w.SetExifOrientation(1);
  w.EXIF_GPSVersionID = "2.2";  // written as the bytes 2, 2, 0, 0
  w.EXIF_GPSLatitudeRef = "N";
  w.EXIF_GPSLatitude = {48, 51, 29.25};
  w.EXIF_GPSLongitudeRef = "E";
  w.EXIF_GPSLongitude = {2, 17, 40.125};
  w.EXIF_GPSAltitudeRef = "0";
  w.EXIF_GPSAltitude = 35.75;
  w.EXIF_GPSTimeStamp = {12, 34, 56.5};
  w.EXIF_GPSDateStamp = "2023:04:05";
  w.EXIF_InteropIndex = "R98";
  w.EXIF_InteropVersion = "0100";
}

void ExpectGroup(const TIOParams& r) {
  EXPECT_TRUE(r.EXIF_HasEXIFData);
  EXPECT_EQ(r.EXIF_Make, "Maker");
  EXPECT_EQ(r.EXIF_Model, "Model 7");
  EXPECT_EQ(r.EXIF_Artist, "Someone");
  EXPECT_EQ(r.EXIF_DateTimeOriginal, "2023:04:05 06:07:08");
  EXPECT_NEAR(r.EXIF_ExposureTime, 1.0 / 250, 5e-9);
  EXPECT_NEAR(r.EXIF_FNumber, 5.6, 5e-9);
  EXPECT_EQ(r.EXIF_Flash, 16);
  EXPECT_NEAR(r.EXIF_FocalLength, 35.5, 5e-9);
  EXPECT_EQ(r.EXIF_ISOSpeedRatings[0], 400);
  EXPECT_EQ(r.EXIF_UserComment, "Gr\xC3\xBC\xC3\x9F");
  EXPECT_EQ(r.EXIF_XPTitle, "Titl\xC3\xA9");
  EXPECT_EQ(r.EXIF_Rating, 3);
  EXPECT_EQ(r.EXIF_GPSVersionID, "2.2.0.0");
  EXPECT_EQ(r.EXIF_GPSLatitudeRef, "N");
  EXPECT_NEAR(r.EXIF_GPSLatitude[2], 29.25, 5e-9);
  EXPECT_NEAR(r.EXIF_GPSLongitude[2], 40.125, 5e-9);
  EXPECT_NEAR(r.EXIF_GPSAltitude, 35.75, 5e-9);
  EXPECT_NEAR(r.EXIF_GPSTimeStamp[2], 56.5, 5e-9);
  EXPECT_EQ(r.EXIF_GPSDateStamp, "2023:04:05");
  EXPECT_EQ(r.EXIF_InteropIndex, "R98");
  EXPECT_EQ(r.EXIF_InteropVersion, "0100");
}

void Paint(TPXBitmap* T, int32_t W, int32_t H) {
  T->Allocate(W, H, px24RGB);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      reinterpret_cast<TRGB*>(T->Scanline(y))[x] = TRGB{uint8_t(40 + x), 120, uint8_t(200 - y)};
}

}  // namespace

TEST(ExifBlock, ReadsBackWhatItBuilds) {
  for (const bool prefix : {true, false}) {
    SCOPED_TRACE(prefix);
    TIOParams w;
    FillGroup(w);
    Paint(w.CreateExifThumbnail(), 48, 32);
    const Bytes b = Build(w, prefix);
    TIOParams r;
    ASSERT_TRUE(ReadExifBlock(b.data(), int32_t(b.size()), &r, prefix));
    ExpectGroup(r);
    ASSERT_TRUE(r.EXIF_Thumbnail());
    ASSERT_EQ(r.EXIF_Thumbnail()->Width(), 48);
    ASSERT_EQ(r.EXIF_Thumbnail()->Height(), 32);
    const TRGB c = reinterpret_cast<TRGB*>(r.EXIF_Thumbnail()->Scanline(16))[24];
    EXPECT_NEAR(c.b, 64, 8);
    EXPECT_NEAR(c.r, 184, 8);
  }
}

TEST(ExifBlock, PrefixAndDamage) {
  TIOParams w;
  FillGroup(w);
  Bytes b = Build(w, true);
  TIOParams r;
  Bytes bad = b;
  bad[4] = '1';  // "Exif1"
  EXPECT_FALSE(ReadExifBlock(bad.data(), int32_t(bad.size()), &r, true));
  EXPECT_FALSE(r.EXIF_HasEXIFData);
  EXPECT_FALSE(ReadExifBlock("Exi", 3, &r, true));
  // A structure cut short still sets the flag; no thumbnail arrives.
  Bytes cut(b.begin(), b.begin() + 40);
  EXPECT_TRUE(ReadExifBlock(cut.data(), int32_t(cut.size()), &r, true));
  EXPECT_TRUE(r.EXIF_HasEXIFData);
  ASSERT_TRUE(r.EXIF_Thumbnail());
  EXPECT_EQ(r.EXIF_Thumbnail()->Width(), 0);
}

TEST(ExifBlock, DateTexts) {
  for (const char* t : {"2023:13:01 00:00:00", "                   ", "", "0000:00:00 00:00:00", "2023:02:30 10:00:00",
                        "2023:01:01 25:00:00", "abcd:01:01 00:00:00"})
    EXPECT_EQ(ExifDateToDateTime(t), 0) << t;
  const TDateTime d = ExifDateToDateTime("2024:02:29 23:59:58");
  EXPECT_NEAR(d, EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 0), 1e-9);
  EXPECT_EQ(DateTimeToExifDate(d), "2024:02:29 23:59:58");
  EXPECT_EQ(DateTimeToExifDate(0), "");

  TIOParams p;
  p.SetExifDateTimeValue(EncodeDate(2001, 9, 8) + EncodeTime(7, 6, 5, 0));
  EXPECT_EQ(p.EXIF_DateTime, "2001:09:08 07:06:05");
  p.EXIF_DateTimeOriginal = "0000:00:00 00:00:00";
  EXPECT_EQ(p.GetExifDateTimeOriginalValue(), 0);
  p.EXIF_DateTimeOriginal = "1999:12:31 12:00:00";
  EXPECT_NEAR(p.GetExifDateTimeOriginalValue(), EncodeDate(1999, 12, 31) + 0.5, 1e-9);
}

namespace {

// A minimal valid "II" header at the start of the returned bytes: one directory of one entry.
std::string TinyTiff() {
  tiffbuild::Builder b;
  tiffbuild::Builder::Add(b.NewIfd(), 256, 3, {1});
  return b.Build();
}

int64_t Find(const std::string& Data, int64_t From = 0) {
  TMemoryStream s;
  s.WriteBuffer(Data.data(), int32_t(Data.size()));
  s.Seek(From, soBeginning);
  const int64_t at = FindExifTiffHeader(&s);
  EXPECT_EQ(s.Position(), From);
  return at;
}

}  // namespace

TEST(ExifBlock, FindsTheTiffHeader) {
  const std::string tiff = TinyTiff();
  // At the position itself.
  EXPECT_EQ(Find(tiff), 0);
  // "Exif" and zero with no header in the next 128 bytes, a bare header later: the later one.
  std::string a = "xxxxExif" + std::string(1, '\0') + std::string(300, 'z');
  const int64_t later = int64_t(a.size());
  a += tiff + std::string(50, 'q');
  EXPECT_EQ(Find(a), later);
  // "Exif"-marked wins over a bare header found before it.
  std::string c = std::string(200, 'y') + tiff + std::string(20, 'y') + "Exif" + std::string(2, '\0');
  const int64_t marked = int64_t(c.size());
  c += tiff;
  EXPECT_EQ(Find(c), marked);
  // Nothing at all.
  EXPECT_EQ(Find(std::string(1000, 'M')), -1);
  EXPECT_EQ(Find(""), -1);
  // A header straddling the block boundary is seen; streams ending 1 to 5 bytes past a block
  // boundary end the search.
  constexpr int64_t kBlock = 131072;
  std::string big(size_t(kBlock - 3), 'k');
  big += tiff;
  EXPECT_EQ(Find(big), kBlock - 3);
  for (int extra = 1; extra <= 5; ++extra) EXPECT_EQ(Find(std::string(size_t(kBlock + extra), 'k')), -1) << extra;
}

namespace {

// A TIFF whose page 0 says 4000 x 3000 and page 1 is a 160 x 120 grey picture.
std::string TwoPages(const std::string& Xmp) {
  tiffbuild::Builder b;
  std::string pixels(160 * 120, '\0');
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = char(10 + (i % 160));
  const uint64_t at = b.AddBlob(pixels);
  const uint64_t bigAt = b.AddBlob(std::string(16, '\x7f'));
  tiffbuild::Ifd& p0 = b.NewIfd();
  tiffbuild::Builder::Add(p0, 256, 3, {4000});
  tiffbuild::Builder::Add(p0, 257, 3, {3000});
  tiffbuild::Builder::Add(p0, 258, 3, {8});
  tiffbuild::Builder::Add(p0, 262, 3, {1});
  tiffbuild::Builder::Add(p0, 271, 2, {'C', 'a', 'm', 0});
  tiffbuild::Builder::Add(p0, 273, 4, {bigAt});
  tiffbuild::Builder::Add(p0, 279, 4, {16});
  if (!Xmp.empty()) tiffbuild::Builder::AddBytes(p0, 700, 1, Xmp);
  tiffbuild::Ifd& p1 = b.NewIfd();
  tiffbuild::Builder::Add(p1, 256, 3, {160});
  tiffbuild::Builder::Add(p1, 257, 3, {120});
  tiffbuild::Builder::Add(p1, 258, 3, {8});
  tiffbuild::Builder::Add(p1, 262, 3, {1});
  tiffbuild::Builder::Add(p1, 273, 4, {at});
  tiffbuild::Builder::Add(p1, 279, 4, {160 * 120});
  b.Ifds[0].NextToIfd = 1;
  return b.Build();
}

}  // namespace

TEST(ExifBlock, ExifOfTiffStructuredFiles) {
  const std::string xmp = "<x:xmpmeta>packet</x:xmpmeta>";
  const std::string tiff = std::string(7, 'p') + TwoPages(xmp);
  TMemoryStream s;
  s.WriteBuffer(tiff.data(), int32_t(tiff.size()));
  s.Seek(7, soBeginning);
  TIOParams p;
  ASSERT_TRUE(ReadExifFromTiffStream(&s, &p, true));
  EXPECT_EQ(s.Position(), 7);
  EXPECT_EQ(p.EXIF_Make, "Cam");
  EXPECT_TRUE(p.EXIF_HasEXIFData);
  EXPECT_EQ(p.XMP_Info, xmp);
  ASSERT_TRUE(p.EXIF_Thumbnail());
  ASSERT_EQ(p.EXIF_Thumbnail()->Width(), 160);
  ASSERT_EQ(p.EXIF_Thumbnail()->Height(), 120);
  EXPECT_EQ(reinterpret_cast<TRGB*>(p.EXIF_Thumbnail()->Scanline(5))[7].g, 17);

  TIOParams q;
  s.Seek(7, soBeginning);
  ReadExifFromTiffStream(&s, &q, false);
  EXPECT_EQ(q.XMP_Info, "");

  // The tags straight into the record, no pixels, the position kept.
  TIOParams t;
  s.Seek(7, soBeginning);
  ASSERT_TRUE(ReadTiffTagsIntoParams(&s, &t));
  EXPECT_EQ(s.Position(), 7);
  EXPECT_EQ(t.Width, 4000);
  EXPECT_EQ(t.Height, 3000);
  EXPECT_EQ(t.EXIF_Make, "Cam");
}
