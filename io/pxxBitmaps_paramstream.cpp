// TIOParams::SaveToStream / LoadFromStream: the whole record in a versioned byte stream. The
// writer writes version 87; the reader takes every version from 0 and reads each item only from
// the version that introduced it, leaving the fields an older version lacks as they were.
// Every length and count is checked against what the stream still holds before it is used.
#include <algorithm>
#include <cstring>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pxexif.h"
#include "io/pxicc.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr char kMagic[] = "PXIOPARAMSMAGIC";
constexpr int32_t kVersion = 87;

[[noreturn]] void ReadFailure() { throw EReadError("Stream read error"); }

int64_t Left(TStream* S) { return std::max<int64_t>(S->Size() - S->Position(), 0); }

class TParamWriter {
 public:
  explicit TParamWriter(TStream* S) : FS(S) {}
  void I32(int32_t V) { FS->WriteBuffer(&V, 4); }
  void Dbl(double V) { FS->WriteBuffer(&V, 8); }
  void Byte(uint8_t V) { FS->WriteBuffer(&V, 1); }
  void Bool(bool V) { Byte(V ? 1 : 0); }
  void Rgb(const TRGB& C) { FS->WriteBuffer(&C, 3); }
  void Str(const std::string& V) { WriteAnsiStringToStream(FS, V); }
  void Wide(const std::string& V) { WriteWideStringToStream(FS, Utf8ToUtf16(V)); }
  void List(const std::vector<std::string>& V) {
    I32(static_cast<int32_t>(V.size()));
    for (const std::string& s : V) Str(s);
  }
  void Bytes(const std::vector<uint8_t>& V) {
    I32(static_cast<int32_t>(V.size()));
    if (!V.empty()) FS->WriteBuffer(V.data(), static_cast<int64_t>(V.size()));
  }
  TStream* Stream() const { return FS; }

 private:
  TStream* FS;
};

class TParamReader {
 public:
  explicit TParamReader(TStream* S) : FS(S) {}
  void Raw(void* P, int32_t N) {
    if (FS->Read(P, N) != N) ReadFailure();
  }
  int32_t I32() {
    int32_t v = 0;
    Raw(&v, 4);
    return v;
  }
  double Dbl() {
    double v = 0;
    Raw(&v, 8);
    return v;
  }
  uint8_t Byte() {
    uint8_t v = 0;
    Raw(&v, 1);
    return v;
  }
  bool Bool() { return Byte() != 0; }
  TRGB Rgb() {
    TRGB c{};
    Raw(&c, 3);
    return c;
  }
  std::string Str() { return ReadAnsiStringFromStream(FS); }
  std::string Wide() { return Utf16ToUtf8(ReadWideStringFromStream(FS)); }
  // A count of items that each take at least MinItem bytes.
  int32_t Count(int32_t MinItem) {
    const int32_t n = I32();
    if (n < 0 || int64_t(n) * MinItem > Left(FS)) ReadFailure();
    return n;
  }
  std::vector<std::string> List() {
    std::vector<std::string> v(static_cast<size_t>(Count(4)));
    for (std::string& s : v) s = Str();
    return v;
  }
  std::vector<uint8_t> Bytes() {
    std::vector<uint8_t> v(static_cast<size_t>(Count(1)));
    if (!v.empty()) Raw(v.data(), static_cast<int32_t>(v.size()));
    return v;
  }
  TStream* Stream() const { return FS; }

 private:
  TStream* FS;
};

// A full copy that keeps every page index as it stands (Assign gathers them into one).
void CopyRecord(TIOParams& Dest, const TIOParams& Source) {
  Dest.Assign(&Source);
  static_cast<TIOParamsValues&>(Dest) = Source;
}

// Item 4: the tag-borne fields as a TIFF structure without pixels, read back into P.
void ReadMetadataBlock(TParamReader& R, TIOParams& P) {
  const int32_t n = R.Count(1);
  TMemoryStream block;
  if (n > 0) {
    block.SetSize(n);
    R.Raw(block.Memory(), n);
  }
  if (n <= 0) return;
  block.Seek(0, soBeginning);
  // The block holds one page; the record's own page choice must not send the reader elsewhere.
  const int32_t index = P.TIFF_ImageIndex, sub = P.TIFF_SubIndex, tile = P.TIFF_GetTile;
  P.TIFF_ImageIndex = 0;
  P.TIFF_SubIndex = -1;
  P.TIFF_GetTile = -1;
  ReadTiffTagsIntoParams(&block, &P);
  P.TIFF_ImageIndex = index;
  P.TIFF_SubIndex = sub;
  P.TIFF_GetTile = tile;
}

void ReadItems(TParamReader& R, TIOParams& P, bool CheckMagic) {
  if (CheckMagic) {
    bool ok = false;
    try {
      ok = R.Str() == kMagic;
    } catch (const EReadError&) {
    }
    if (!ok)
      throw EPXException(
          "Invalid TIOParams stream. You cannot use TIOParams.LoadFromStream or LoadFromFile to load parameters from "
          "image files.");
  }
  const int32_t v = R.I32();
  if (v < 0) ReadFailure();
  P.Dictionary.Clear();
  if (v >= 51 && !P.Dictionary.Parse(R.Wide())) P.Dictionary.Clear();
  if (v >= 43) ReadMetadataBlock(R, P);
  P.FileName = R.Str();
  P.FileType = v >= 2 ? R.I32() : R.Byte();
  P.BitsPerSample = R.I32();
  P.SamplesPerPixel = R.I32();
  P.Width = R.I32();
  P.Height = R.I32();
  P.SetDpiX(R.I32());
  P.SetDpiY(R.I32());
  P.FreeColorMap();
  {
    const int32_t n = R.I32();
    if (n < 0 || int64_t(n) * 3 > Left(R.Stream())) ReadFailure();
    if (n > 0) {
      std::vector<TRGB> map(static_cast<size_t>(n));
      R.Raw(map.data(), n * 3);
      P.SetColorMap(map.data(), n);
    }
  }
  if (v >= 25) {
    P.ImageIndex = R.I32();
    P.ImageCount = R.I32();
    P.GetThumbnail = R.Bool();
  }
  if (v >= 80) P.ReadMetadata = R.Bool();
  if (v >= 38) P.AutoRotate = R.Bool();
  if (v >= 44) P.IsResource = R.Bool();
  P.TIFF_Compression = R.Byte();
  P.TIFF_ImageIndex = R.I32();
  P.TIFF_Photometric = R.Byte();
  P.TIFF_PlanarConfig = R.I32();
  if (v >= 47) P.TIFF_NewSubfileType = R.I32();
  P.TIFF_XPos = R.I32();
  P.TIFF_YPos = R.I32();
  P.TIFF_DocumentName = R.Str();
  P.TIFF_ImageDescription = R.Str();
  P.TIFF_PageName = R.Str();
  P.TIFF_PageNumber = R.I32();
  P.TIFF_PageCount = R.I32();
  if (v >= 4) P.TIFF_ImageCount = R.I32();
  if (v >= 6) P.SetTiffOrientation(R.I32());
  if (v >= 10) P.TIFF_JPEGQuality = R.I32();
  if (v >= 16) P.TIFF_JPEGColorSpace = R.Byte();
  if (v >= 26) P.TIFF_FillOrder = R.I32();
  if (v >= 30) P.TIFF_ZipLevel = R.I32();
  if (v >= 31) P.TIFF_SubIndex = R.I32();
  if (v >= 32) P.TIFF_LittleEndian = R.Bool();
  if (v >= 40) P.TIFF_GetTile = R.I32();
  if (v >= 46) P.TIFF_RowsPerStrip = R.I32();
  if (v >= 50) {
    P.TIFF_PhotoshopResources = R.Bytes();
    P.TIFF_PhotoshopLayers = R.Bytes();
  }
  if (v >= 51) P.TIFF_BigTIFF = R.Bool();

  P.GIF_Version = R.Str();
  P.GIF_ImageIndex = R.I32();
  P.GIF_XPos = R.I32();
  P.GIF_YPos = R.I32();
  P.GIF_DelayTime = R.I32();
  P.GIF_HasTransparentColor = R.Bool();
  P.GIF_TransparentColor = R.Rgb();
  P.GIF_Interlaced = R.Bool();
  P.GIF_ScreenWidth = R.I32();
  P.GIF_ScreenHeight = R.I32();
  P.GIF_Background = R.Rgb();
  P.GIF_AspectRatio = R.I32();
  if (v >= 4) P.GIF_ImageCount = R.I32();
  if (v >= 9) P.GIF_Comments = R.List();
  if (v >= 12) P.GIF_Disposal = R.Byte();
  if (v >= 49) P.GIF_FrameOnly = R.Bool();

  P.JPEG_ColorSpace = R.Byte();
  P.JPEG_Quality = R.I32();
  P.JPEG_DCTMethod = R.Byte();
  P.JPEG_OptimalHuffman = R.Bool();
  P.JPEG_Smoothing = R.I32();
  P.JPEG_Progressive = R.Bool();
  if (v >= 1) P.JPEG_Scale = R.Byte();
  if (v >= 4 && !P.JPEG_Markers.LoadFromStream(R.Stream())) ReadFailure();
  if (v >= 7) {
    P.OriginalWidth = R.I32();
    P.OriginalHeight = R.I32();
  }
  if (v >= 20) {
    P.JPEG_AutoRotate = R.Bool();
    P.JPEG_GetThumbnail = R.Bool();
  }
  if (v >= 39) P.JPEG_Subsampling = R.Byte();
  if (v >= 8) {
    P.J2000_ColorSpace = R.Byte();
    P.J2000_Rate = R.Dbl();
    P.J2000_EncoderFlag = R.Bool();
  }
  if (v >= 83) {
    P.J2000_EncoderModeA = R.I32();
    P.J2000_EncoderModeB = R.I32();
    P.J2000_ReduceFactor = R.I32();
    P.J2000_EncoderQuality = R.Dbl();
  }
  P.PCX_Version = R.I32();
  P.PCX_Compression = R.Bool();
  P.BMP_Version = R.Byte();
  P.BMP_Compression = R.Byte();
  if (v >= 28) P.BMP_IgnoreAlpha = R.Bool();
  if (v == 0) {
    R.I32();
    R.I32();
    P.ICO_ImageIndex = 0;
  } else {
    P.ICO_ImageIndex = R.I32();
  }
  if (v >= 3) P.ICO_Background = R.Rgb();
  if (v >= 11) {
    for (TPXIcoSize& s : P.ICO_Sizes) {
      s.Width = R.I32();
      s.Height = R.I32();
    }
    for (int32_t& b : P.ICO_BitCounts) b = R.I32();
  }
  if (v >= 87) P.ICO_PNG = R.Bool();
  if (v == 0) {
    R.I32();
    R.I32();
    P.CUR_ImageIndex = P.CUR_XHotSpot = P.CUR_YHotSpot = 0;
  } else {
    P.CUR_ImageIndex = R.I32();
    P.CUR_XHotSpot = R.I32();
    P.CUR_YHotSpot = R.I32();
  }
  if (v >= 3) P.CUR_Background = R.Rgb();
  P.PNG_Interlaced = R.Bool();
  P.PNG_Background = R.Rgb();
  P.PNG_Filter = R.Byte();
  P.PNG_Compression = R.I32();
  if (v >= 23) {
    P.PNG_TextKeys = R.List();
    P.PNG_TextValues = R.List();
  }
  if (v >= 37) {
    TPXDicomTags loaded;
    loaded.LoadFromStream(R.Stream());
    P.GetDicomTags()->Assign(&loaded);
  }
  if (v >= 48) {
    P.DICOM_ValueOffset = R.Dbl();
    P.DICOM_Range = R.Byte();
  }
  if (v >= 50) {
    // The field only: the element list above already came back as stored, with its own
    // (0002,0010) when it had one.
    P.DICOM_Compression = R.Byte();
    P.DICOM_JPEGQuality = R.I32();
    P.DICOM_J2000Rate = R.Dbl();
  }
  if (v >= 52) {
    P.DICOM_RangeValues[0] = R.Dbl();
    P.DICOM_RangeValues[1] = R.Dbl();
  }
  if (v >= 62) {
    P.DICOM_RangeValues[2] = R.Dbl();
    P.DICOM_RangeValues[3] = R.Dbl();
  }
  if (v >= 27) P.PSD_LoadLayers = R.Bool();
  if (v >= 34) P.PSD_ReplaceLayers = R.Bool();
  if (v >= 36) P.PSD_MergedTransparency = R.Bool();
  if (v >= 51) {
    P.PSD_WriterOption = R.Bool();
    P.PSD_LayerName = R.Str();
  }
  if (v >= 76) P.PSD_LoadMerged = R.Bool();
  if (v >= 41) {
    P.WIC_Quality = R.Dbl();
    P.WIC_Flag = R.Bool();
  }
  if (v >= 3) {
    P.TGA_XPos = R.I32();
    P.TGA_YPos = R.I32();
    P.TGA_Compressed = R.Bool();
    P.TGA_ImageID = R.Str();
    P.TGA_Author = R.Str();
    P.TGA_Date = R.Dbl();
    P.TGA_JobName = R.Str();
    P.TGA_KeyColor = R.Rgb();
    P.TGA_AspectRatio = R.Dbl();
    P.TGA_Gamma = R.Dbl();
    P.TGA_GrayLevel = R.Bool();
  }
  if (v >= 4 && !P.IPTC_Info.LoadFromStream(R.Stream())) ReadFailure();
  if (v >= 5) P.PXM_Comments = R.List();
  if (v >= 6) {
    P.AVI_FrameCount = R.I32();
    P.AVI_FrameDelay = v >= 45 ? R.Dbl() : R.I32();
  }
  if (v >= 14) {
    P.PS_PaperWidth = R.I32();
    P.PS_PaperHeight = R.I32();
    P.PS_Compression = R.Byte();
    P.PS_Title = R.Str();
    P.PDF_PaperWidth = R.I32();
    P.PDF_PaperHeight = R.I32();
  }
  if (v >= 76) P.PDF_Margin = R.I32();
  if (v >= 14) P.PDF_Option = R.Byte();
  if (v >= 15) {
    P.PDF_Title = R.Str();
    P.PDF_Author = R.Str();
    P.PDF_Subject = R.Str();
    P.PDF_Keywords = R.Str();
    P.PDF_Creator = R.Str();
    P.PDF_Producer = R.Str();
  }
  if (v >= 18) P.DCX_ImageIndex = R.I32();
  if (v >= 13) P.GetImagingAnnot();  // its stream form holds nothing
  if (v >= 51) P.PixoranAnnot.LoadFromStream(R.Stream());
  if (v >= 17) {
    P.GetInputICCProfile()->LoadFromStream(R.Stream(), false);
    P.GetOutputICCProfile()->LoadFromStream(R.Stream(), false);
  }
  if (v >= 33) P.GetDefaultInputICCProfile()->LoadFromStream(R.Stream(), false);
  if (v >= 18) {
    P.RAW_HalfSize = R.Bool();
    P.RAW_Gamma = R.Dbl();
  }
  if (v >= 76) P.RAW_GammaSlope = R.Dbl();
  if (v >= 18) P.RAW_Brightness = R.Dbl();
  if (v >= 76) {
    P.RAW_DecoderMode = R.Byte();
    P.RAW_Option = R.Byte();
  }
  if (v >= 18) {
    P.RAW_RedScale = R.Dbl();
    P.RAW_BlueScale = R.Dbl();
  }
  if (v >= 76) P.RAW_Flag = R.Bool();
  if (v >= 18) {
    P.RAW_FastInterpolation = R.Bool();
    P.RAW_AutoWhiteBalance = R.Bool();
    P.RAW_CameraWhiteBalance = R.Bool();
    P.RAW_FourColorRGB = R.Bool();
  }
  if (v >= 80) {
    P.RAW_OutputColorSpace = R.Byte();
    P.RAW_UseEmbeddedPreview = R.Bool();
    for (double& m : P.RAW_Multipliers) m = R.Dbl();
  }
  if (v >= 18) {
    P.RAW_CameraName = R.Str();
    P.RAW_GetExifThumbnail = R.Bool();
  }
  if (v >= 22) P.RAW_RotateThumbnail = R.Bool();
  if (v >= 35) P.RAW_ExtraOptions = R.Str();
  if (v >= 21) {
    P.Media_FrameCount = R.I32();
    P.Media_FrameDelay = v >= 45 ? R.Dbl() : R.I32();
  }
  if (v >= 23) {
    P.BMPRAW_BGR = R.Bool();
    P.BMPRAW_Planar = R.Bool();
    P.BMPRAW_RowAlign = R.I32();
    P.BMPRAW_HeaderSize = R.I32();
  }
  if (v >= 42) P.BMPRAW_Flag = R.Bool();
  if (v >= 70) {
    P.Layers_HeaderValueA = R.I32();
    P.Layers_Description = R.Wide();
    P.Layers_HeaderValueB = R.I32();
    P.Layers_Version = R.I32();
    P.Layers_GetThumbnail = R.Bool();
  }
  if (v >= 81) P.Layers_Flag = R.Bool();
  if (v >= 70) P.SVG_ImageFileType = R.I32();
  if (v >= 82) {
    P.WIC_CodecInfo.FriendlyName = R.Wide();
    P.WIC_CodecInfo.Author = R.Wide();
    P.WIC_CodecInfo.Version = R.Wide();
  }
}

}  // namespace

void TIOParams::SaveToStream(TStream* Stream) {
  if (!Stream) return;
  TParamWriter W(Stream);
  W.Str(kMagic);
  W.I32(kVersion);
  std::string json;
  Dictionary.Dump(0, json);
  W.Wide(json);
  {
    std::vector<uint8_t> block;
    BuildTiffTagBlock(this, block);
    W.Bytes(block);
  }
  W.Str(FileName);
  W.I32(FileType);
  W.I32(BitsPerSample);
  W.I32(SamplesPerPixel);
  W.I32(Width);
  W.I32(Height);
  W.I32(DpiX);
  W.I32(DpiY);
  const int32_t colours = std::min<int32_t>(ColorMapCount, static_cast<int32_t>(ColorMap.size()));
  W.I32(colours);
  if (colours > 0) Stream->WriteBuffer(ColorMap.data(), int64_t(colours) * 3);
  W.I32(ImageIndex);
  W.I32(ImageCount);
  W.Bool(GetThumbnail);
  W.Bool(ReadMetadata);
  W.Bool(AutoRotate);
  W.Bool(IsResource);
  W.Byte(TIFF_Compression);
  W.I32(TIFF_ImageIndex);
  W.Byte(TIFF_Photometric);
  W.I32(TIFF_PlanarConfig);
  W.I32(TIFF_NewSubfileType);
  W.I32(TIFF_XPos);
  W.I32(TIFF_YPos);
  W.Str(TIFF_DocumentName);
  W.Str(TIFF_ImageDescription);
  W.Str(TIFF_PageName);
  W.I32(TIFF_PageNumber);
  W.I32(TIFF_PageCount);
  W.I32(TIFF_ImageCount);
  W.I32(TIFF_Orientation);
  W.I32(TIFF_JPEGQuality);
  W.Byte(TIFF_JPEGColorSpace);
  W.I32(TIFF_FillOrder);
  W.I32(TIFF_ZipLevel);
  W.I32(TIFF_SubIndex);
  W.Bool(TIFF_LittleEndian);
  W.I32(TIFF_GetTile);
  W.I32(TIFF_RowsPerStrip);
  W.Bytes(TIFF_PhotoshopResources);
  W.Bytes(TIFF_PhotoshopLayers);
  W.Bool(TIFF_BigTIFF);

  W.Str(GIF_Version);
  W.I32(GIF_ImageIndex);
  W.I32(GIF_XPos);
  W.I32(GIF_YPos);
  W.I32(GIF_DelayTime);
  W.Bool(GIF_HasTransparentColor);
  W.Rgb(GIF_TransparentColor);
  W.Bool(GIF_Interlaced);
  W.I32(GIF_ScreenWidth);
  W.I32(GIF_ScreenHeight);
  W.Rgb(GIF_Background);
  W.I32(GIF_AspectRatio);
  W.I32(GIF_ImageCount);
  W.List(GIF_Comments);
  W.Byte(GIF_Disposal);
  W.Bool(GIF_FrameOnly);

  W.Byte(JPEG_ColorSpace);
  W.I32(JPEG_Quality);
  W.Byte(JPEG_DCTMethod);
  W.Bool(JPEG_OptimalHuffman);
  W.I32(JPEG_Smoothing);
  W.Bool(JPEG_Progressive);
  W.Byte(JPEG_Scale);
  JPEG_Markers.SaveToStream(Stream);
  W.I32(OriginalWidth);
  W.I32(OriginalHeight);
  W.Bool(JPEG_AutoRotate);
  W.Bool(JPEG_GetThumbnail);
  W.Byte(JPEG_Subsampling);
  W.Byte(J2000_ColorSpace);
  W.Dbl(J2000_Rate);
  W.Bool(J2000_EncoderFlag);
  W.I32(J2000_EncoderModeA);
  W.I32(J2000_EncoderModeB);
  W.I32(J2000_ReduceFactor);
  W.Dbl(J2000_EncoderQuality);
  W.I32(PCX_Version);
  W.Bool(PCX_Compression);
  W.Byte(BMP_Version);
  W.Byte(BMP_Compression);
  W.Bool(BMP_IgnoreAlpha);
  W.I32(ICO_ImageIndex);
  W.Rgb(ICO_Background);
  for (const TPXIcoSize& s : ICO_Sizes) {
    W.I32(s.Width);
    W.I32(s.Height);
  }
  for (int32_t b : ICO_BitCounts) W.I32(b);
  W.Bool(ICO_PNG);
  W.I32(CUR_ImageIndex);
  W.I32(CUR_XHotSpot);
  W.I32(CUR_YHotSpot);
  W.Rgb(CUR_Background);
  W.Bool(PNG_Interlaced);
  W.Rgb(PNG_Background);
  W.Byte(PNG_Filter);
  W.I32(PNG_Compression);
  W.List(PNG_TextKeys);
  W.List(PNG_TextValues);
  GetDicomTags()->SaveToStream(Stream);
  W.Dbl(DICOM_ValueOffset);
  W.Byte(DICOM_Range);
  W.Byte(static_cast<uint8_t>(GetDicomCompression()));
  W.I32(DICOM_JPEGQuality);
  W.Dbl(DICOM_J2000Rate);
  for (double r : DICOM_RangeValues) W.Dbl(r);
  W.Bool(PSD_LoadLayers);
  W.Bool(PSD_ReplaceLayers);
  W.Bool(PSD_MergedTransparency);
  W.Bool(PSD_WriterOption);
  W.Str(PSD_LayerName);
  W.Bool(PSD_LoadMerged);
  W.Dbl(WIC_Quality);
  W.Bool(WIC_Flag);
  W.I32(TGA_XPos);
  W.I32(TGA_YPos);
  W.Bool(TGA_Compressed);
  W.Str(TGA_ImageID);
  W.Str(TGA_Author);
  W.Dbl(TGA_Date);
  W.Str(TGA_JobName);
  W.Rgb(TGA_KeyColor);
  W.Dbl(TGA_AspectRatio);
  W.Dbl(TGA_Gamma);
  W.Bool(TGA_GrayLevel);
  IPTC_Info.SaveToStream(Stream);
  W.List(PXM_Comments);
  W.I32(AVI_FrameCount);
  W.Dbl(AVI_FrameDelay);
  W.I32(PS_PaperWidth);
  W.I32(PS_PaperHeight);
  W.Byte(PS_Compression);
  W.Str(PS_Title);
  W.I32(PDF_PaperWidth);
  W.I32(PDF_PaperHeight);
  W.I32(PDF_Margin);
  W.Byte(PDF_Option);
  W.Str(PDF_Title);
  W.Str(PDF_Author);
  W.Str(PDF_Subject);
  W.Str(PDF_Keywords);
  W.Str(PDF_Creator);
  W.Str(PDF_Producer);
  W.I32(DCX_ImageIndex);
  GetImagingAnnot();  // its stream form holds nothing
  PixoranAnnot.SaveToStream(Stream);
  GetInputICCProfile()->SaveToStream(Stream, false);
  GetOutputICCProfile()->SaveToStream(Stream, false);
  GetDefaultInputICCProfile()->SaveToStream(Stream, false);
  W.Bool(RAW_HalfSize);
  W.Dbl(RAW_Gamma);
  W.Dbl(RAW_GammaSlope);
  W.Dbl(RAW_Brightness);
  W.Byte(RAW_DecoderMode);
  W.Byte(RAW_Option);
  W.Dbl(RAW_RedScale);
  W.Dbl(RAW_BlueScale);
  W.Bool(RAW_Flag);
  W.Bool(RAW_FastInterpolation);
  W.Bool(RAW_AutoWhiteBalance);
  W.Bool(RAW_CameraWhiteBalance);
  W.Bool(RAW_FourColorRGB);
  W.Byte(RAW_OutputColorSpace);
  W.Bool(RAW_UseEmbeddedPreview);
  for (double m : RAW_Multipliers) W.Dbl(m);
  W.Str(RAW_CameraName);
  W.Bool(RAW_GetExifThumbnail);
  W.Bool(RAW_RotateThumbnail);
  W.Str(RAW_ExtraOptions);
  W.I32(Media_FrameCount);
  W.Dbl(Media_FrameDelay);
  W.Bool(BMPRAW_BGR);
  W.Bool(BMPRAW_Planar);
  W.I32(BMPRAW_RowAlign);
  W.I32(BMPRAW_HeaderSize);
  W.Bool(BMPRAW_Flag);
  W.I32(Layers_HeaderValueA);
  W.Wide(Layers_Description);
  W.I32(Layers_HeaderValueB);
  W.I32(Layers_Version);
  W.Bool(Layers_GetThumbnail);
  W.Bool(Layers_Flag);
  W.I32(SVG_ImageFileType);
  W.Wide(WIC_CodecInfo.FriendlyName);
  W.Wide(WIC_CodecInfo.Author);
  W.Wide(WIC_CodecInfo.Version);
}

void TIOParams::LoadFromStream(TStream* Stream, bool CheckMagic) {
  if (!Stream) return;
  // Read into a copy: a stream that ends early or lies about a length leaves this record as it was.
  TIOParams work;
  CopyRecord(work, *this);
  TParamReader R(Stream);
  ReadItems(R, work, CheckMagic);
  CopyRecord(*this, work);
}
