// The I/O parameters: defaults and their sources, the linked setters, the full copy, metadata
// clearing, thumbnail preparation, the description texts, and a bitmap carrying parameters.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxicc.h"
#include "io/pxxBitmaps_params.h"

namespace {

// Stands in for the I/O component that owns a record.
class FakeOwnerIO : public TObject, public IPXParamsOwnerIO {
 public:
  TPXBitmap* ParamsBitmap() override {
    if (Throw) throw EPXException("no bitmap");
    return Bitmap;
  }
  void ParamsDpiChanged() override { ++DpiChanges; }
  TPXBitmap* Bitmap = nullptr;
  bool Throw = false;
  int DpiChanges = 0;
};

class Params : public ::testing::Test {
 protected:
  void SetUp() override { RegisterBitmapParams(); }
};

}  // namespace

TEST_F(Params, DpiFromSettingsUnlessOwnedByABitmap) {
  TIOParams none;
  EXPECT_EQ(none.DpiX, 300);
  EXPECT_EQ(none.DpiY, 300);
  EXPECT_EQ(none.Owner(), nullptr);

  TObject other;
  TIOParams foreign(&other);  // an owner of another class is kept as none
  EXPECT_EQ(foreign.Owner(), nullptr);

  FakeOwnerIO io;
  TPXBitmap bmp;
  bmp.Allocate(40, 30, px24RGB);
  io.Bitmap = &bmp;
  TIOParams ioOwned(&io);
  EXPECT_EQ(ioOwned.GetOwnerIO(), &io);
  EXPECT_EQ(ioOwned.Width, 40);
  EXPECT_EQ(ioOwned.Height, 30);
  ioOwned.SetDpiX(72);
  EXPECT_GT(io.DpiChanges, 0);
  ioOwned.ResetToDefaults();
  EXPECT_EQ(ioOwned.DpiX, 300);
  io.Throw = true;  // an owner that cannot answer leaves 0 x 0
  ioOwned.ResetToDefaults();
  EXPECT_EQ(ioOwned.Width, 0);
  EXPECT_EQ(ioOwned.Height, 0);

  TIOParams bmpOwned(&bmp);
  EXPECT_EQ(bmpOwned.Width, 40);
  bmpOwned.SetDpiX(72);
  bmpOwned.SetDpiY(96);
  bmpOwned.ResetToDefaults();
  EXPECT_EQ(bmpOwned.DpiX, 72);
  EXPECT_EQ(bmpOwned.DpiY, 96);
  EXPECT_EQ(bmpOwned.EXIF_XResolution, 72);
}

TEST_F(Params, Defaults) {
  TIOParams p;
  EXPECT_EQ(p.JPEG_Quality, 80);
  EXPECT_EQ(p.PNG_Compression, 5);
  EXPECT_EQ(p.GIF_Version, "GIF89a");
  EXPECT_EQ(p.TIFF_SubIndex, -1);
  EXPECT_EQ(p.TIFF_GetTile, -1);
  EXPECT_EQ(p.TIFF_PageNumber, -1);
  EXPECT_EQ(p.PS_Title, "No Title");
  EXPECT_EQ(p.ICO_BitCounts[0], 8);
  for (int i = 1; i < 16; ++i) EXPECT_EQ(p.ICO_BitCounts[i], 0);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_TRUE(p.ReadMetadata);
  EXPECT_FALSE(p.BMP_IgnoreAlpha);
  EXPECT_EQ(p.ICO_Background.r, 255);
  EXPECT_EQ(p.GIF_Disposal, 2);
  EXPECT_DOUBLE_EQ(p.J2000_Rate, 0.95);
  EXPECT_DOUBLE_EQ(p.DICOM_RangeValues[1], 1.0);
  EXPECT_EQ(p.SVG_ImageFileType, 8);
  EXPECT_EQ(p.Layers_HeaderValueA, -1);
  EXPECT_DOUBLE_EQ(p.EXIF_BrightnessValue, -1000);
  EXPECT_EQ(p.EXIF_SubjectArea[3], -1);
  EXPECT_GT(p.TGA_Date, 40000.0);  // today
  EXPECT_TRUE(p.Dictionary.IsEmpty());
  EXPECT_EQ(p.InputICC(), nullptr);
  EXPECT_EQ(p.DICOM_Tags(), nullptr);
  EXPECT_EQ(p.ImagingAnnot(), nullptr);

  // The settings' I/O defaults reach new records.
  TIOParamDefaults& d = *GlobalSettingsInstance()->FIOParamDefaults;
  const int32_t savedQuality = d.JpegQuality;
  d.JpegQuality = 91;
  d.AutoRotate = 1;
  d.PsdLoadLayers = 1;
  TIOParams q;
  d.JpegQuality = savedQuality;
  d.AutoRotate = 0;
  d.PsdLoadLayers = 0;
  EXPECT_EQ(q.JPEG_Quality, 91);
  EXPECT_EQ(q.TIFF_JPEGQuality, 91);
  EXPECT_EQ(q.DICOM_JPEGQuality, 91);
  EXPECT_TRUE(q.AutoRotate && q.TIFF_AutoRotate && q.JPEG_AutoRotate);
  EXPECT_TRUE(q.PSD_LoadLayers);
}

TEST_F(Params, OrientationPair) {
  TIOParams p;
  p.SetExifOrientation(3);
  p.ResetToDefaults();
  EXPECT_EQ(p.TIFF_Orientation, 1);
  EXPECT_EQ(p.EXIF_Orientation, 0);
  p.SetExifOrientation(6);
  EXPECT_EQ(p.TIFF_Orientation, 6);
  EXPECT_EQ(p.EXIF_Orientation, 6);
  p.SetTiffOrientation(8);
  EXPECT_EQ(p.EXIF_Orientation, 8);
}

TEST_F(Params, IndexAndCountSetters) {
  TIOParams p;
  p.SetImageIndex(3);
  for (int v : {p.ImageIndex, p.TIFF_ImageIndex, p.DCX_ImageIndex, p.GIF_ImageIndex, p.ICO_ImageIndex,
                p.CUR_ImageIndex})
    EXPECT_EQ(v, 3);
  p.SetImageCount(9);
  for (int v : {p.ImageCount, p.TIFF_ImageCount, p.AVI_FrameCount, p.GIF_ImageCount, p.Media_FrameCount})
    EXPECT_EQ(v, 9);
  p.SetGetThumbnail(true);
  EXPECT_TRUE(p.JPEG_GetThumbnail && p.RAW_GetExifThumbnail && p.Layers_GetThumbnail);
  p.SetJpegGetThumbnail(false);
  EXPECT_FALSE(p.GetThumbnail || p.JPEG_GetThumbnail);
  EXPECT_TRUE(p.RAW_GetExifThumbnail);
  p.SetColorsFromPixelFormat(px8g);
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 1);
  EXPECT_EQ(p.JPEG_ColorSpace, 1);
}

TEST_F(Params, ExifSettersMarkTheirTag) {
  struct Case {
    int32_t tag;
    std::function<void(TIOParams&, double)> set;
    double unset;
  };
  using P = TIOParams;
  auto i = [](void (P::*f)(int32_t)) { return [f](P& p, double v) { (p.*f)(static_cast<int32_t>(v)); }; };
  auto d = [](void (P::*f)(double)) { return [f](P& p, double v) { (p.*f)(v); }; };
  const std::vector<Case> cases = {
      {33434, d(&P::SetExifExposureTime), -1},          {33437, d(&P::SetExifFNumber), -1},
      {37377, d(&P::SetExifShutterSpeedValue), -1},     {37378, d(&P::SetExifApertureValue), -1},
      {37382, d(&P::SetExifSubjectDistance), -1},       {37386, d(&P::SetExifFocalLength), -1},
      {41486, d(&P::SetExifFocalPlaneXResolution), -1}, {41487, d(&P::SetExifFocalPlaneYResolution), -1},
      {41493, d(&P::SetExifExposureIndex), -1},         {37379, d(&P::SetExifBrightnessValue), -1000},
      {37380, d(&P::SetExifExposureBiasValue), -1000},  {37381, d(&P::SetExifMaxApertureValue), -1000},
      {37122, d(&P::SetExifCompressedBitsPerPixel), 0}, {34850, i(&P::SetExifExposureProgram), -1},
      {37383, i(&P::SetExifMeteringMode), -1},          {37384, i(&P::SetExifLightSource), -1},
      {37385, i(&P::SetExifFlash), -1},                 {40961, i(&P::SetExifColorSpace), -1},
      {41488, i(&P::SetExifFocalPlaneResolutionUnit), -1}, {41495, i(&P::SetExifSensingMethod), -1},
      {41728, i(&P::SetExifFileSource), -1},            {41729, i(&P::SetExifSceneType), -1},
      {40962, i(&P::SetExifPixelXDimension), 0},        {40963, i(&P::SetExifPixelYDimension), 0},
  };
  TIOParams p;
  for (const Case& c : cases) {
    c.set(p, 5);
    EXPECT_TRUE(p.IsExifTagMarked(c.tag)) << c.tag;
    c.set(p, 6);  // marked once
    EXPECT_EQ(std::count(p.EXIF_Tags().begin(), p.EXIF_Tags().end(), c.tag), 1) << c.tag;
    c.set(p, c.unset);
    EXPECT_FALSE(p.IsExifTagMarked(c.tag)) << c.tag;
  }
  p.SetExifFlash(1);
  p.ResetExif();
  EXPECT_TRUE(p.EXIF_Tags().empty());
  EXPECT_EQ(p.EXIF_Flash, -1);
}

TEST_F(Params, NormalizeGps) {
  TIOParams p;
  p.EXIF_GPSLatitudeRef = "N";
  p.EXIF_GPSLatitude = {10, 90, 0};
  p.EXIF_GPSDestLongitudeRef = "W";
  p.EXIF_GPSDestLongitude = {2, 0, 3600};
  p.NormalizeGps();
  EXPECT_EQ(p.EXIF_GPSLatitudeRef, "N");
  EXPECT_DOUBLE_EQ(p.EXIF_GPSLatitude[0], 11);
  EXPECT_DOUBLE_EQ(p.EXIF_GPSLatitude[1], 30);
  EXPECT_NEAR(p.EXIF_GPSLatitude[2], 0, 1e-6);
  EXPECT_EQ(p.EXIF_GPSDestLongitudeRef, "W");
  EXPECT_DOUBLE_EQ(p.EXIF_GPSDestLongitude[0], 3);
}

TEST_F(Params, ExifResolutionMirrorsDpi) {
  TIOParams p;
  p.SetExifXResolution(72.5);
  EXPECT_EQ(p.DpiX, 72);  // half to even
  EXPECT_DOUBLE_EQ(p.EXIF_XResolution, 72.5);
  p.SetDpiY(150);
  EXPECT_DOUBLE_EQ(p.EXIF_YResolution, 150);
}

TEST_F(Params, AssignCopiesEverythingAndKeepsIndexesTogether) {
  TIOParams src;
  src.TIFF_ImageIndex = 1;
  src.GIF_ImageIndex = 2;
  src.DCX_ImageIndex = 3;
  src.ICO_ImageIndex = 4;
  src.CUR_ImageIndex = 5;
  src.TIFF_ImageCount = 2;
  src.AVI_FrameCount = 7;
  src.SetDpiX(150);
  src.SetDpiY(200);
  src.JPEG_Quality = 33;
  src.PNG_TextKeys = {"Title"};
  src.TIFF_PhotoshopResources = {1, 2, 3};
  src.WIC_CodecInfo.Author = "me";
  const TRGB pal[2] = {{1, 2, 3}, {4, 5, 6}};
  src.SetColorMap(pal, 2);
  src.Dictionary.InsertString("k", "v");
  src.JPEG_Markers.AddMarker(PX_JPEG_COM, "hi", 2);
  src.IPTC_Info.AddItem(2, 5, 2, "t1");
  src.IPTC_Info.SetUserChanged(false);
  src.GetDicomTags()->AddTag(0x0010, 0x0010, nullptr, 4, "Doe^", 15);
  src.GetImagingAnnot()->AddObject(std::make_unique<TPXImagingObject>());
  src.GetInputICCProfile()->LoadSRGB();
  src.PixoranAnnot.LoadFromBuffer("PIXORANANNOTxyz", 15);
  src.SetExifOrientation(6);
  src.EXIF_Make = "Cam";
  src.SetExifFNumber(2.8);
  src.EXIF_GPSDestLongitudeRef = "E";
  src.EXIF_MakerNote.SetRawData("note", 4);
  src.CreateExifThumbnail()->Allocate(8, 6, px24RGB);
  src.EXIF_SubjectArea = {1, 2, 3, 4};

  TIOParams dst;
  dst.GetOutputICCProfile();  // freed: the source has none
  dst.Assign(&src);
  for (int v : {dst.ImageIndex, dst.TIFF_ImageIndex, dst.DCX_ImageIndex, dst.GIF_ImageIndex, dst.ICO_ImageIndex,
                dst.CUR_ImageIndex})
    EXPECT_EQ(v, 5);  // the cursor index wins
  for (int v : {dst.ImageCount, dst.TIFF_ImageCount, dst.GIF_ImageCount, dst.Media_FrameCount}) EXPECT_EQ(v, 7);
  EXPECT_EQ(dst.DpiX, 150);
  EXPECT_EQ(dst.DpiY, 200);
  EXPECT_EQ(dst.JPEG_Quality, 33);
  EXPECT_EQ(dst.PNG_TextKeys, src.PNG_TextKeys);
  EXPECT_EQ(dst.TIFF_PhotoshopResources, src.TIFF_PhotoshopResources);
  EXPECT_EQ(dst.WIC_CodecInfo.Author, "me");
  ASSERT_EQ(dst.ColorMapCount, 2);
  EXPECT_EQ(dst.ColorMap[1].r, 6);
  EXPECT_EQ(dst.Dictionary.GetString("k"), "v");
  EXPECT_EQ(dst.JPEG_Markers.GetCount(), 1);
  EXPECT_EQ(dst.IPTC_Info.GetCount(), 1);
  EXPECT_FALSE(dst.IPTC_Info.UserChanged());
  ASSERT_NE(dst.DICOM_Tags(), nullptr);
  EXPECT_EQ(dst.DICOM_Tags()->GetTagTextOf(0x0010, 0x0010), "Doe^");
  ASSERT_NE(dst.ImagingAnnot(), nullptr);
  EXPECT_EQ(dst.ImagingAnnot()->GetCount(), 1);
  EXPECT_EQ(dst.ImagingAnnot()->Parent, &dst);
  ASSERT_NE(dst.InputICC(), nullptr);
  EXPECT_EQ(dst.InputICC()->ProfileSize(), src.InputICC()->ProfileSize());
  EXPECT_EQ(dst.OutputICC(), nullptr);
  EXPECT_FALSE(dst.PixoranAnnot.IsEmpty());
  EXPECT_EQ(dst.TIFF_Orientation, 6);
  EXPECT_EQ(dst.EXIF_Orientation, 6);
  EXPECT_EQ(dst.EXIF_Make, "Cam");
  EXPECT_TRUE(dst.IsExifTagMarked(33437));
  EXPECT_EQ(dst.EXIF_GPSDestLongitudeRef, "E");
  EXPECT_EQ(dst.EXIF_MakerNote.RawLength(), 4);
  ASSERT_NE(dst.EXIF_Thumbnail(), nullptr);
  EXPECT_NE(dst.EXIF_Thumbnail(), src.EXIF_Thumbnail());
  EXPECT_EQ(dst.EXIF_Thumbnail()->Width(), 8);
  EXPECT_EQ(dst.EXIF_SubjectArea[3], 4);

  // Holders the source lacks are freed.
  TIOParams plain;
  dst.Assign(&plain);
  EXPECT_EQ(dst.DICOM_Tags(), nullptr);
  EXPECT_EQ(dst.ImagingAnnot(), nullptr);
  EXPECT_EQ(dst.InputICC(), nullptr);
  EXPECT_EQ(dst.EXIF_Thumbnail(), nullptr);
  EXPECT_EQ(dst.DpiX, 300);  // a fresh record's resolution survives the EXIF copy
  EXPECT_EQ(dst.TIFF_Orientation, 1);
}

// The dictionary is copied by content, also over a record that held other entries, and over one
// that held the same shape (copied in place).
TEST_F(Params, AssignCopiesTheDictionaryByContent) {
  auto json = [](TPXDictionary& d) {
    std::string t;
    d.Dump(0, t);
    return t;
  };
  TIOParams src;
  src.SetXmpInfo("<a><b>1</b><c>two</c></a>");
  src.Dictionary.InsertInteger("n", 7);
  auto list = std::make_unique<TObjectList>(true);
  list->Add(new TPXDictionaryValueWideString("x"));
  src.Dictionary.InsertList("l", std::move(list));

  TIOParams dst;
  dst.Dictionary.InsertString("gone", "y");
  dst.Dictionary.InsertString("n", "text");  // another kind under the same key
  auto nested = std::make_unique<TPXDictionary>();
  nested->InsertString("old", "1");
  dst.Dictionary.InsertDictionary("XMP", std::move(nested));
  dst.Assign(&src);
  EXPECT_FALSE(dst.Dictionary.ContainsKey("gone"));
  EXPECT_EQ(dst.Dictionary.GetString("n"), "7");
  EXPECT_FALSE(dst.Dictionary.ContainsKey("old", true));
  EXPECT_EQ(dst.Dictionary.GetString("b", true), "1");
  EXPECT_EQ(dst.Dictionary.GetString("c", true), "two");
  ASSERT_NE(dynamic_cast<TObjectList*>(dst.Dictionary.GetValue("l")), nullptr);
  EXPECT_EQ(dst.Dictionary.Count(), 3);

  // Same shape: the values follow the source, nothing stale stays.
  src.SetXmpInfo("<a><b>3</b><c>four</c></a>");
  dst.Assign(&src);
  EXPECT_EQ(dst.Dictionary.GetString("b", true), "3");
  EXPECT_EQ(dst.Dictionary.GetString("c", true), "four");
  TIOParams again;
  again.Assign(&dst);
  EXPECT_EQ(json(again.Dictionary).size(), json(src.Dictionary).size());
}

TEST_F(Params, AssignSaveOptionsCopiesWriterFieldsOnly) {
  TIOParams src;
  src.JPEG_Quality = 40;
  src.TIFF_Compression = 5;
  src.SetTiffOrientation(3);
  src.FileName = "a.jpg";
  src.SetImageIndex(4);
  TIOParams dst;
  dst.AssignSaveOptions(&src);
  EXPECT_EQ(dst.JPEG_Quality, 40);
  EXPECT_EQ(dst.TIFF_Compression, 5);
  EXPECT_EQ(dst.EXIF_Orientation, 3);
  EXPECT_EQ(dst.FileName, "");
  EXPECT_EQ(dst.ImageIndex, 0);
}

TEST_F(Params, ClearMetadata) {
  auto fill = [](TIOParams& p) {
    p.JPEG_Markers.AddMarker(PX_JPEG_APP1, "Exif\0\0", 6);
    p.JPEG_Markers.AddMarker(PX_JPEG_APP2, "ICC_PROFILE", 11);
    p.JPEG_Markers.AddMarker(PX_JPEG_APP13, "x", 1);
    p.JPEG_Markers.AddMarker(PX_JPEG_APP2, "ICC_PROFILE", 11);
    p.IPTC_Info.AddItem(2, 5, 1, "t");
    p.GetImagingAnnot();
    p.PixoranAnnot.LoadFromBuffer("PIXORANANNOTxyz", 15);
    p.SetExifFlash(1);
    p.GetDicomTags()->AddTag(8, 8, nullptr, 2, "ab", 3);
    p.DICOM_RangeValues = {5, 5, 5, 5};
    p.GIF_Comments = {"c"};
    p.TIFF_PageName = "page";
    p.SetXmpInfo("<x>1</x>");
    p.GetInputICCProfile();
  };
  TIOParams p;
  fill(p);
  p.ClearMetadata(pxcmMarkers);
  ASSERT_EQ(p.JPEG_Markers.GetCount(), 2);
  EXPECT_EQ(p.JPEG_Markers.GetMarkerType(0), PX_JPEG_APP2);
  EXPECT_EQ(p.JPEG_Markers.GetMarkerType(1), PX_JPEG_APP2);
  EXPECT_EQ(p.IPTC_Info.GetCount(), 1);
  EXPECT_NE(p.InputICC(), nullptr);

  p.ClearMetadata(pxcmMarkers | pxcmInputProfile);
  EXPECT_EQ(p.JPEG_Markers.GetCount(), 0);
  EXPECT_EQ(p.InputICC(), nullptr);

  TIOParams q;
  fill(q);
  q.ClearMetadata(0);
  EXPECT_EQ(q.JPEG_Markers.GetCount(), 0);
  EXPECT_EQ(q.IPTC_Info.GetCount(), 0);
  EXPECT_EQ(q.ImagingAnnot(), nullptr);
  EXPECT_TRUE(q.PixoranAnnot.IsEmpty());
  EXPECT_FALSE(q.IsExifTagMarked(37385));
  EXPECT_EQ(q.DICOM_Tags(), nullptr);
  EXPECT_DOUBLE_EQ(q.DICOM_RangeValues[1], 1.0);
  EXPECT_TRUE(q.GIF_Comments.empty());
  EXPECT_EQ(q.TIFF_PageName, "");
  EXPECT_EQ(q.XMP_Info, "");
  EXPECT_FALSE(q.Dictionary.ContainsKey("XMP"));
  EXPECT_EQ(q.InputICC(), nullptr);
}

TEST_F(Params, ResetExifDropsOnlyTheExifMarker) {
  TIOParams p;
  p.JPEG_Markers.AddMarker(PX_JPEG_APP1, "http://ns.adobe.com/xap/1.0/", 28);
  p.JPEG_Markers.AddMarker(PX_JPEG_APP1, "Exif\0\0", 6);
  p.JPEG_Markers.AddMarker(PX_JPEG_APP1, "Exif\0\0", 6);
  p.ResetExif();
  ASSERT_EQ(p.JPEG_Markers.GetCount(), 2);
  EXPECT_EQ(p.JPEG_Markers.GetMarkerLength(0), 28);
}

TEST_F(Params, PrepareForThumbnail) {
  TIOParams p;
  EXPECT_TRUE(p.PrepareForThumbnail(120, 120, true));
  EXPECT_TRUE(p.JPEG_GetThumbnail);
  EXPECT_EQ(p.JPEG_Scale, 0);
  EXPECT_EQ(p.JPEG_DCTMethod, 1);
  EXPECT_EQ(p.Width, 120);
  EXPECT_EQ(p.J2000_ReduceFactor, -1);
  EXPECT_FALSE(p.RAW_GetExifThumbnail);  // 150 x 100 at most
  p.PrepareForThumbnail(150, 100, true);
  EXPECT_TRUE(p.RAW_GetExifThumbnail);

  p.PrepareForThumbnail(121, 120, true);
  EXPECT_FALSE(p.JPEG_GetThumbnail);
  p.PrepareForThumbnail(100, 100, false);
  EXPECT_FALSE(p.JPEG_GetThumbnail);
  EXPECT_FALSE(p.PrepareForThumbnail(300, 300, true));  // above the layers-file thumbnail size
  EXPECT_EQ(p.JPEG_DCTMethod, 0);

  EXPECT_FALSE(p.PrepareForThumbnail(0, 50, true));
  EXPECT_EQ(p.JPEG_Scale, 1);
  EXPECT_FALSE(p.JPEG_GetThumbnail);
  EXPECT_EQ(p.JPEG_DCTMethod, 0);
  EXPECT_EQ(p.J2000_ReduceFactor, 0);
  EXPECT_FALSE(p.RAW_GetExifThumbnail);
}

TEST_F(Params, DelayAndRawMultiplier) {
  TIOParams p;
  p.FileType = pxftGIF;
  p.GIF_DelayTime = 7;
  EXPECT_EQ(p.GetImageDelayTime(), 70);
  p.FileType = pxftAVI;
  p.AVI_FrameDelay = 40.5;
  EXPECT_EQ(p.GetImageDelayTime(), 40);
  p.FileType = pxftDICOM;
  p.GetDicomTags()->AddTag(0x0018, 0x0040, nullptr, 2, "25", 9);  // frames per second
  EXPECT_EQ(p.GetImageDelayTime(), 40);
  p.FileType = pxftPNG;
  EXPECT_EQ(p.GetImageDelayTime(), 0);
  p.RAW_Multipliers = {1, 2, 3, 4};
  EXPECT_EQ(p.GetRawMultiplier(3), 4);
  EXPECT_EQ(p.GetRawMultiplier(4), 0);
  EXPECT_EQ(p.GetRawMultiplier(-1), 0);
}

TEST_F(Params, DicomCompressionThroughTheElement) {
  static const std::array<std::string, 11> table = {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "a", "b", "c", "d",
                                                    "e",                 "f",                   "g", "h", "i"};
  SetDicomTransferSyntaxes(&table);
  TIOParams p;
  p.DICOM_Compression = 4;
  EXPECT_EQ(p.GetDicomCompression(), 4);  // no elements
  p.GetDicomTags();
  p.SetDicomCompression(1);
  EXPECT_EQ(p.DICOM_Tags()->GetTagTextOf(2, 0x10), "1.2.840.10008.1.2.1");
  p.DICOM_Compression = 7;
  EXPECT_EQ(p.GetDicomCompression(), 1);
  p.SetDicomCompression(0);
  EXPECT_EQ(p.DICOM_Tags()->GetCount(), 1);
  EXPECT_EQ(p.GetDicomCompression(), 0);
  SetDicomTransferSyntaxes(nullptr);
}

TEST_F(Params, Descriptions) {
  if (FileFormatCount() == 0) RegisterFileFormats();
  TIOParams p;
  p.FileType = pxftJPEG;
  p.JPEG_ColorSpace = 2;
  EXPECT_EQ(p.GetFormatDescription(), "JPEG Image (JPEG YCbCr)");
  p.FileType = 0;
  EXPECT_EQ(p.GetFormatDescription(), "");

  struct Case {
    int32_t w, h, samples, bits;
    const char* text;
  };
  const std::vector<Case> cases = {
      {640, 480, 3, 8, "640 x 480 pixels, 16M Colors"},
      {640, 480, 4, 8, "640 x 480 pixels, 16M Colors"},
      {0, 480, 1, 8, "256 Colors"},
      {10, 10, 1, 16, "10 x 10 pixels, 65,536 Colors"},
      {1, 1, 1, 1, "1 x 1 pixels, 2 Colors"},
      {5, 5, 3, 16, "5 x 5 pixels, 48 bit Colors"},
      // 2^(samples x bits) cannot be counted beyond 24 bits: 64 and 32 read as depths.
      {5, 5, 4, 16, "5 x 5 pixels, 64 bit Colors"},
      {5, 5, 1, 32, "5 x 5 pixels, 32 bit Colors"},
      {5, 5, 0, 8, "5 x 5 pixels"},
  };
  for (const Case& c : cases) {
    p.OriginalWidth = c.w;
    p.OriginalHeight = c.h;
    p.SamplesPerPixel = c.samples;
    p.BitsPerSample = c.bits;
    EXPECT_EQ(p.GetImageDescription(), c.text);
  }
}

TEST_F(Params, XmpPacketAndDictionary) {
  TIOParams p;
  p.XMP_Info = "<x:xmpmeta><dc>t</dc></x:xmpmeta>";
  std::vector<uint8_t> marker;
  BuildXmpMarker(&p, marker);
  ASSERT_EQ(marker.size(), p.XMP_Info.size() + 29);
  EXPECT_EQ(marker[28], 0);
  const uint8_t* packet = FindXmpPacket(marker.data(), static_cast<int32_t>(marker.size()));
  ASSERT_EQ(packet, marker.data() + 29);

  TIOParams q;
  EXPECT_TRUE(ReadXmpMarker(marker.data(), static_cast<int32_t>(marker.size()), &q));
  EXPECT_EQ(q.XMP_Info, p.XMP_Info);
  EXPECT_TRUE(q.Dictionary.ContainsKey("XMP"));
  q.SetXmpInfo("");
  EXPECT_FALSE(q.Dictionary.ContainsKey("XMP"));

  EXPECT_EQ(FindXmpPacket(marker.data(), 29), nullptr);  // 29 bytes are never XMP
  EXPECT_FALSE(ReadXmpMarker("Exif\0\0 and then some more bytes", 32, &q));
}

TEST_F(Params, PixoranAnnotBlock) {
  TIOParams p;
  TPXPixoranAnnot& a = p.PixoranAnnot;
  EXPECT_EQ(a.Params(), &p);
  bool vec = false;
  EXPECT_FALSE(TPXPixoranAnnot::CheckMagic("PIXORANANNO", 11, vec));
  a.LoadFromBuffer("PIXORANANNO", 11);
  EXPECT_TRUE(a.IsEmpty());
  a.LoadFromBuffer("ZEDODODIREDElayers", 18);
  EXPECT_FALSE(a.IsVectorForm);
  EXPECT_EQ(a.ObjectStream()->Size(), 6);
  std::vector<uint8_t> out;
  a.SaveToBuffer(out);
  EXPECT_EQ(std::string(out.begin(), out.end()), "ZEDODODIREDElayers");
  a.LoadFromBuffer("PIXORANANNOTvec", 15);
  EXPECT_TRUE(a.IsVectorForm);
  a.SaveToBuffer(out);
  EXPECT_EQ(std::string(out.begin(), out.end()), "PIXORANANNOTvec");
  a.Clear();
  a.SaveToBuffer(out);
  EXPECT_TRUE(out.empty());
}

TEST_F(Params, HoldersAsData) {
  TPXTagsHandler m;
  EXPECT_TRUE(m.IsEmpty());
  m.SetRawData("abc", 3);
  m.TagStream()->WriteBuffer("\1\0", 2);
  m.LittleEndian = false;
  m.DeviceInfo.Header = "Nikon";
  TPXTagsHandler c;
  c.Assign(&m);
  EXPECT_EQ(c.RawLength(), 3);
  EXPECT_EQ(c.TagStream()->Size(), 2);
  EXPECT_FALSE(c.LittleEndian);
  EXPECT_EQ(c.DeviceInfo.Header, "Nikon");
  c.Clear();
  EXPECT_TRUE(c.IsEmpty());
  EXPECT_TRUE(c.LittleEndian);

  TPXDicomTags t;
  t.AddTag(0x0010, 0x0020, nullptr, 2, "id", 10);
  t.AddTag(0x0008, 0x0016, nullptr, 2, "cl", 22);
  t.AddTag(0x0010, 0x0020, nullptr, 2, "i2", 10);
  auto items = std::make_unique<TPXDicomItems>();
  items->push_back(std::make_unique<TPXDicomTags>());
  items->back()->AddTag(1, 1, nullptr, 1, "n", 3);
  t.AddTag(0x0040, 0x0001, std::move(items), -1, nullptr, 18);
  ASSERT_EQ(t.GetCount(), 4);
  EXPECT_EQ(t.GetTag(0)->Group, 0x0008);
  EXPECT_EQ(t.GetTagText(1), "id");
  EXPECT_EQ(t.GetTagText(2), "i2");
  TPXDicomTags copy;
  copy.Assign(&t);
  ASSERT_EQ(copy.GetCount(), 4);
  ASSERT_NE(copy.GetTag(3)->Children, nullptr);
  EXPECT_NE((*copy.GetTag(3)->Children)[0].get(), (*t.GetTag(3)->Children)[0].get());
  EXPECT_EQ((*copy.GetTag(3)->Children)[0]->GetTagText(0), "n");
  const float fl = 1.5f;
  t.AddTag(0x0028, 0x0030, nullptr, 4, &fl, TPXDicomTags::VrFromText("FL"));
  EXPECT_EQ(t.GetTagTextOf(0x0028, 0x0030), "1.500000");
  EXPECT_EQ(TPXDicomTags::VrToText(28), "SS");
  EXPECT_EQ(TPXDicomTags::VrToText(40), "??");
  EXPECT_EQ(TPXDicomTags::VrFromText("XX"), 29);
  t.Clear();
  EXPECT_TRUE(t.IsEmpty());
}

TEST_F(Params, BitmapCarriesParameters) {
  TPXBitmap a;
  a.Allocate(12, 9, px24RGB);
  EXPECT_FALSE(a.HasParams());
  EXPECT_EQ(a.GetParams(), nullptr);
  a.SetHasParams(true);
  ASSERT_NE(a.GetParams(), nullptr);
  EXPECT_EQ(a.GetParams()->Owner(), &a);
  EXPECT_EQ(a.GetParams()->Width, 12);
  a.GetParams()->JPEG_Quality = 55;
  a.GetParams()->SetDpiX(72);

  TPXBitmap b;
  b.SetHasParams(true);
  b.Assign(&a);  // both carry parameters: they are copied
  EXPECT_EQ(b.GetParams()->JPEG_Quality, 55);
  EXPECT_EQ(b.GetParams()->DpiX, 72);
  EXPECT_EQ(b.GetParams()->Owner(), &b);
  TPXBitmap c;
  c.Assign(&a);  // only a bitmap that carries parameters receives them
  EXPECT_FALSE(c.HasParams());

  a.SetHasParams(false);
  EXPECT_EQ(a.GetParams(), nullptr);
}
