// The parameters stream: a fully set record round-trips, streams of every older version (built
// here item by item from the format's table) are read to their last byte with the fields they
// lack left alone, and bad streams raise without touching the record.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/hypxutils_streams.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/common/TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Saved(TIOParams& P) {
  TMemoryStream s;
  P.SaveToStream(&s);
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  return Bytes(m, m + s.Size());
}

void Load(TIOParams& P, const Bytes& B, bool CheckMagic = true) {
  TPXMemStream s(B.data(), static_cast<int64_t>(B.size()));
  P.LoadFromStream(&s, CheckMagic);
}

void FillRecord(TIOParams& p) {
  p.Dictionary.InsertString("note", "stored");
  p.FileName = "/pictures/sea.tif";
  p.FileType = 1;
  p.BitsPerSample = 16;
  p.SamplesPerPixel = 4;
  p.Width = 640;
  p.Height = 480;
  p.SetDpiX(150);
  p.SetDpiY(151);
  const TRGB map[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  p.SetColorMap(map, 3);
  p.ImageCount = 5;
  p.GetThumbnail = true;
  p.ReadMetadata = false;
  p.AutoRotate = true;
  p.IsResource = true;
  p.TIFF_Compression = 5;
  p.TIFF_ImageIndex = 2;
  p.TIFF_Photometric = 5;
  p.TIFF_PlanarConfig = 2;
  p.TIFF_NewSubfileType = 1;
  p.TIFF_XPos = 11;
  p.TIFF_YPos = 12;
  p.TIFF_DocumentName = "doc";
  p.TIFF_ImageDescription = "desc";
  p.TIFF_PageName = "page";
  p.TIFF_PageNumber = 3;
  p.TIFF_PageCount = 9;
  p.TIFF_ImageCount = 9;
  p.SetTiffOrientation(6);
  p.TIFF_JPEGQuality = 55;
  p.TIFF_JPEGColorSpace = 3;
  p.TIFF_FillOrder = 2;
  p.TIFF_ZipLevel = 7;
  p.TIFF_SubIndex = 1;
  p.TIFF_LittleEndian = false;
  p.TIFF_GetTile = 4;
  p.TIFF_RowsPerStrip = 16;
  p.TIFF_PhotoshopResources = {1, 2, 3, 4, 5};
  p.TIFF_PhotoshopLayers = {9, 8, 7};
  p.TIFF_BigTIFF = true;
  p.GIF_Version = "GIF87a";
  p.GIF_ImageIndex = 4;
  p.GIF_DelayTime = 70;
  p.GIF_HasTransparentColor = true;
  p.GIF_TransparentColor = {10, 20, 30};
  p.GIF_Comments = {"one", "two"};
  p.GIF_Disposal = 3;
  p.GIF_FrameOnly = true;
  p.JPEG_Quality = 33;
  p.JPEG_Progressive = true;
  p.JPEG_Scale = 3;
  p.JPEG_Markers.AddMarker(0xE5, "marker", 6);
  p.OriginalWidth = 1280;
  p.JPEG_AutoRotate = true;
  p.JPEG_Subsampling = 2;
  p.J2000_Rate = 0.5;
  p.J2000_EncoderQuality = 42.5;
  p.BMP_Version = 3;
  p.ICO_ImageIndex = 6;
  p.ICO_Sizes[1] = {48, 48};
  p.ICO_BitCounts[1] = 32;
  p.ICO_PNG = true;
  p.CUR_ImageIndex = 7;
  p.CUR_XHotSpot = 3;
  p.PNG_TextKeys = {"Title"};
  p.PNG_TextValues = {"Sea"};
  TPXDicomTags* d = p.GetDicomTags();
  const char uid[] = "1.2.3";
  d->AddTag(0x0008, 0x0018, nullptr, 5, uid, 22);
  auto items = std::make_unique<TPXDicomItems>();
  items->push_back(std::make_unique<TPXDicomTags>());
  items->back()->AddTag(0x0010, 0x0010, nullptr, 4, "Name", 15);
  d->AddTag(0x0040, 0x0275, std::move(items), 0, nullptr, 18);
  p.DICOM_ValueOffset = 2.5;
  p.DICOM_RangeValues = {1, 2, 3, 4};
  p.PSD_LayerName = "layer";
  p.WIC_Quality = 0.25;
  p.TGA_Author = "me";
  p.TGA_Date = 45000.5;
  p.IPTC_Info.AddItem(2, 120, 7, "caption");
  p.PXM_Comments = {"pxm"};
  p.AVI_FrameDelay = 41.5;
  p.PDF_Title = "title";
  p.DCX_ImageIndex = 8;
  p.PixoranAnnot.LoadFromBuffer("PIXORANANNOTvector bytes", 24);
  p.GetInputICCProfile()->LoadSRGB();
  p.GetOutputICCProfile()->LoadWideGamutRGB();
  p.GetDefaultInputICCProfile()->LoadSRGB();
  p.RAW_Gamma = 1.8;
  p.RAW_Multipliers = {1, 2, 3, 4};
  p.RAW_CameraName = "cam";
  p.Media_FrameDelay = 12.5;
  p.BMPRAW_RowAlign = 32;
  p.Layers_Description = "L\xC3\xA4yers";
  p.SVG_ImageFileType = 3;
  p.WIC_CodecInfo.Author = "author";
  p.EXIF_HasEXIFData = true;
  p.EXIF_Make = "Maker";
  p.SetExifExposureTime(0.125);
  p.EXIF_GPSVersionID = "2.2.0.0";
  p.EXIF_GPSLatitudeRef = "S";
  p.EXIF_GPSLatitude = {10, 20, 30.5};
  // The reader gives every coordinate its reference letter, so all four are set here.
  p.EXIF_GPSLongitudeRef = "E";
  p.EXIF_GPSLongitude = {1, 2, 3};
  p.EXIF_GPSDestLatitudeRef = "N";
  p.EXIF_GPSDestLongitudeRef = "W";
  p.EXIF_GPSDestLongitude = {4, 5, 6};
}

}  // namespace

TEST(ParamStream, AFullRecordComesBackEqual) {
  TIOParams w;
  FillRecord(w);
  const Bytes b = Saved(w);
  int32_t version = 0;
  std::memcpy(&version, b.data() + 19, 4);
  EXPECT_EQ(version, 87);

  TIOParams r;
  Load(r, b);
  // Written again, the record gives the same bytes: every stored field came back.
  const Bytes again = Saved(r);
  const auto diff = std::mismatch(again.begin(), again.end(), b.begin(), b.end());
  EXPECT_TRUE(again == b) << "first difference at byte " << (diff.first - again.begin()) << " of " << b.size();
  EXPECT_EQ(r.TIFF_PhotoshopResources, w.TIFF_PhotoshopResources);
  EXPECT_EQ(r.TIFF_PhotoshopLayers, w.TIFF_PhotoshopLayers);
  EXPECT_TRUE(r.TIFF_BigTIFF);
  EXPECT_EQ(r.TIFF_ImageIndex, 2);
  EXPECT_EQ(r.GIF_ImageIndex, 4);
  EXPECT_EQ(r.CUR_ImageIndex, 7);
  EXPECT_EQ(r.ColorMapCount, 3);
  EXPECT_EQ(r.GIF_Comments, w.GIF_Comments);
  EXPECT_EQ(r.JPEG_Markers.GetCount(), 1);
  EXPECT_EQ(r.IPTC_Info.GetCount(), 1);
  ASSERT_TRUE(r.DICOM_Tags());
  EXPECT_EQ(r.DICOM_Tags()->GetTagTextOf(0x0008, 0x0018), "1.2.3");
  ASSERT_TRUE(r.DICOM_Tags()->GetChildren(0x0040, 0x0275));
  EXPECT_EQ((*r.DICOM_Tags()->GetChildren(0x0040, 0x0275))[0]->GetTagTextOf(0x0010, 0x0010), "Name");
  EXPECT_EQ(r.InputICC()->ProfileSize(), w.InputICC()->ProfileSize());
  EXPECT_EQ(r.OutputICC()->ColorSpace(), "RGB ");
  EXPECT_EQ(r.PixoranAnnot.ObjectStream()->Size(), 12);
  EXPECT_TRUE(r.PixoranAnnot.IsVectorForm);
  EXPECT_EQ(r.Layers_Description, "L\xC3\xA4yers");
  EXPECT_DOUBLE_EQ(r.AVI_FrameDelay, 41.5);
  // The tag-borne EXIF and GPS fields travel in the metadata block.
  EXPECT_EQ(r.EXIF_Make, "Maker");
  EXPECT_NEAR(r.EXIF_ExposureTime, 0.125, 5e-9);
  EXPECT_EQ(r.EXIF_GPSLatitudeRef, "S");
  EXPECT_NEAR(r.EXIF_GPSLatitude[2], 30.5, 5e-9);
  EXPECT_EQ(r.Dictionary.GetString("note"), "stored");
}

namespace {

// A stream of version V written from the format's item table: every item the version holds, at
// zero or empty values, except the overrides the tests ask for.
struct TOldStream {
  explicit TOldStream(int32_t Version) : V(Version) {}
  int32_t V;
  int32_t AviDelay = 0;
  double WicQuality = 0;
  int32_t IcoIndex = 0;
  uint8_t DicomCompression = 0;
  Bytes Out;

  void I(int32_t x) { Out.insert(Out.end(), reinterpret_cast<uint8_t*>(&x), reinterpret_cast<uint8_t*>(&x) + 4); }
  void D(double x) { Out.insert(Out.end(), reinterpret_cast<uint8_t*>(&x), reinterpret_cast<uint8_t*>(&x) + 8); }
  void B(uint8_t x = 0) { Out.push_back(x); }
  // i int32 (also empty strings, lists, arrays), b byte, d double, r colour.
  void Pattern(int32_t From, const char* P) {
    if (V < From) return;
    for (; *P; ++P) switch (*P) {
        case 'i': I(0); break;
        case 'b': B(); break;
        case 'd': D(0); break;
        case 'r': B(); B(); B(); break;
      }
  }
  Bytes Build() {
    const std::string magic = "PXIOPARAMSMAGIC";
    I(15);
    Out.insert(Out.end(), magic.begin(), magic.end());
    I(V);
    Pattern(51, "i");   // dictionary
    Pattern(43, "i");   // metadata block of length 0
    Pattern(0, "i");    // file name
    if (V < 2) B(); else I(0);  // file type
    Pattern(0, "iiiiii");
    Pattern(0, "i");    // colour map
    Pattern(25, "iib");
    Pattern(80, "b");
    Pattern(38, "b");
    Pattern(44, "b");
    Pattern(0, "bibi");
    Pattern(47, "i");
    Pattern(0, "iiiiiii");
    Pattern(4, "i");
    Pattern(6, "i");
    Pattern(10, "i");
    Pattern(16, "b");
    Pattern(26, "i");
    Pattern(30, "i");
    Pattern(31, "i");
    Pattern(32, "b");
    Pattern(40, "i");
    Pattern(46, "i");
    Pattern(50, "ii");
    Pattern(51, "b");
    Pattern(0, "iiiiibrbiiri");  // GIF
    Pattern(4, "i");
    Pattern(9, "i");
    Pattern(12, "b");
    Pattern(49, "b");
    Pattern(0, "bibbib");  // JPEG
    Pattern(1, "b");
    Pattern(4, "bi");  // markers
    Pattern(7, "ii");
    Pattern(20, "bb");
    Pattern(39, "b");
    Pattern(8, "bdb");
    Pattern(83, "iiid");
    Pattern(0, "ibbb");
    Pattern(28, "b");
    if (V == 0) Pattern(0, "ii"); else I(IcoIndex);
    Pattern(3, "r");
    for (int k = 0; k < 48; ++k) Pattern(11, "i");
    Pattern(87, "b");
    Pattern(0, V == 0 ? "ii" : "iii");
    Pattern(3, "r");
    Pattern(0, "brbi");  // PNG
    Pattern(23, "ii");
    Pattern(37, "b");  // DICOM tags of stream version 0
    Pattern(48, "db");
    if (V >= 50) {
      B(DicomCompression);
      I(0);
      D(0);
    }
    Pattern(52, "dd");
    Pattern(62, "dd");
    Pattern(27, "b");
    Pattern(34, "b");
    Pattern(36, "b");
    Pattern(51, "bi");
    Pattern(76, "b");
    if (V >= 41) {
      D(WicQuality);
      B();
    }
    Pattern(3, "iibiidirddb");  // Targa
    Pattern(4, "ii");           // IPTC
    Pattern(5, "i");
    if (V >= 6) {
      I(0);
      if (V >= 45) D(AviDelay); else I(AviDelay);
    }
    Pattern(14, "iibiii");
    Pattern(76, "i");
    Pattern(14, "b");
    Pattern(15, "iiiiii");
    Pattern(18, "i");
    Pattern(51, "i");   // own annotation
    Pattern(17, "ii");  // input and output profiles
    Pattern(33, "i");
    Pattern(18, "bd");
    Pattern(76, "d");
    Pattern(18, "d");
    Pattern(76, "bb");
    Pattern(18, "dd");
    Pattern(76, "b");
    Pattern(18, "bbbb");
    Pattern(80, "bbdddd");
    Pattern(18, "ib");
    Pattern(22, "b");
    Pattern(35, "i");
    if (V >= 21) {
      I(0);
      if (V >= 45) D(0); else I(0);
    }
    Pattern(23, "bbii");
    Pattern(42, "b");
    Pattern(70, "iiiib");
    Pattern(81, "b");
    Pattern(70, "i");
    Pattern(82, "iii");
    return Out;
  }
};

}  // namespace

TEST(ParamStream, EveryOlderVersionIsReadToItsEnd) {
  for (int32_t v = 0; v <= 87; ++v) {
    SCOPED_TRACE(v);
    TOldStream o(v);
    const Bytes b = o.Build();
    TPXMemStream s(b.data(), static_cast<int64_t>(b.size()));
    TIOParams p;
    p.LoadFromStream(&s, true);
    EXPECT_EQ(s.Position(), s.Size());
  }
}

TEST(ParamStream, OlderVersionsKeepWhatTheyLack) {
  {
    TOldStream o(44);
    o.AviDelay = 40;
    TIOParams p;
    Load(p, o.Build());
    EXPECT_DOUBLE_EQ(p.AVI_FrameDelay, 40.0);
  }
  {
    TOldStream o(0);
    TIOParams p;
    p.ICO_ImageIndex = 3;
    p.CUR_ImageIndex = 4;
    p.CUR_XHotSpot = 5;
    Load(p, o.Build());
    EXPECT_EQ(p.ICO_ImageIndex, 0);
    EXPECT_EQ(p.CUR_ImageIndex, 0);
    EXPECT_EQ(p.CUR_XHotSpot, 0);
  }
  {
    TOldStream o(40);
    o.WicQuality = 0.9;
    TIOParams p;
    p.WIC_Quality = 0.5;
    p.EXIF_Make = "kept";
    Load(p, o.Build());
    EXPECT_DOUBLE_EQ(p.WIC_Quality, 0.5);
    EXPECT_EQ(p.EXIF_Make, "kept");  // an empty metadata block changes nothing
  }
  {
    TOldStream o(50);
    o.DicomCompression = 4;
    TIOParams p;
    Load(p, o.Build());
    EXPECT_EQ(p.DICOM_Compression, 4);
  }
}

TEST(ParamStream, BadStreamsRaiseAndLeaveTheRecord) {
  // An image file is no parameters stream.
  Bytes png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1};
  TIOParams p;
  EXPECT_EQ(MessageOf<EPXException>([&] { Load(p, png); }),
            "Invalid TIOParams stream. You cannot use TIOParams.LoadFromStream or LoadFromFile to load parameters "
            "from image files.");
  // Without the magic the stream starts at the version.
  TIOParams w;
  FillRecord(w);
  const Bytes full = Saved(w);
  TIOParams q;
  Load(q, Bytes(full.begin() + 19, full.end()), false);
  EXPECT_EQ(q.TIFF_PageName, "page");

  // Cut anywhere, the stream raises and the record keeps its values.
  TIOParams r;
  r.FileName = "before";
  r.JPEG_Quality = 12;
  const Bytes before = Saved(r);
  for (size_t cut : {size_t(20), size_t(40), full.size() / 3, full.size() / 2, full.size() - 10, full.size() - 1}) {
    SCOPED_TRACE(cut);
    EXPECT_THROW(Load(r, Bytes(full.begin(), full.begin() + long(cut))), EReadError);
    EXPECT_EQ(Saved(r), before);
  }
  // A length far beyond the data raises before allocating.
  Bytes lie = full;
  const int32_t huge = 0x7FFFFFF0;
  std::memcpy(lie.data() + 23, &huge, 4);  // the dictionary's length
  EXPECT_THROW(Load(r, lie), EReadError);
  EXPECT_EQ(Saved(r), before);
}
