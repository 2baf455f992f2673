#include "io/pxxBitmaps_params.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/hypxutils_system.h"
#include "core/hypxutils_text.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_iohooks.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxexif.h"
#include "io/pxicc.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr uint16_t kWordColors = 57;
constexpr uint16_t kWordPixels = 137;

// Round half to even into int32 (saturating; NaN gives 0).
int32_t RoundToInt32(double Value) {
  if (std::isnan(Value)) return 0;
  if (Value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (Value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(Round(Value));
}

const std::array<std::string, 11>*& DicomTransferSyntaxes() {
  static const std::array<std::string, 11>* table = nullptr;
  return table;
}

std::unique_ptr<TObject> CloneDictionaryValue(TObject* Value);

TIOParamDefaults& SettingDefaults() {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  if (!s->FIOParamDefaults) s->FIOParamDefaults = std::make_unique<TIOParamDefaults>();
  return *s->FIOParamDefaults;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction, reset, copies

TIOParams::TIOParams(TObject* Owner) {
  if (dynamic_cast<TPXBitmap*>(Owner) || dynamic_cast<IPXParamsOwnerIO*>(Owner)) FOwner = Owner;
  ResetToDefaults();
}

TIOParams::~TIOParams() = default;

IPXParamsOwnerIO* TIOParams::GetOwnerIO() const { return dynamic_cast<IPXParamsOwnerIO*>(FOwner); }

void TIOParams::SizeFromOwner() {
  Width = 0;
  Height = 0;
  try {
    TPXBitmap* bmp = nullptr;
    if (auto* io = GetOwnerIO()) bmp = io->ParamsBitmap();
    else bmp = dynamic_cast<TPXBitmap*>(FOwner);
    if (bmp) {
      Width = bmp->GetWidth();
      Height = bmp->GetHeight();
    }
  } catch (...) {
    // An owner that cannot tell its size leaves 0 x 0.
    Width = 0;
    Height = 0;
  }
}

void TIOParams::ResetToDefaults() {
  const int32_t keptDpiX = DpiX, keptDpiY = DpiY;
  Dictionary.Clear();
  static_cast<TIOParamsValues&>(*this) = TIOParamsValues{};
  SizeFromOwner();

  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  if (dynamic_cast<TPXBitmap*>(FOwner)) {
    // A picture keeps the resolution it carries.
    DpiX = keptDpiX;
    DpiY = keptDpiY;
  } else {
    SetDpiX(s->FDefaultDPIX);
    SetDpiY(s->FDefaultDPIY);
  }

  const TIOParamDefaults& d = SettingDefaults();
  SetAutoRotate(d.AutoRotate != 0);
  TIFF_LZWDecompress = s->FTIFFLZWDecompress;
  TIFF_LZWCompress = s->FTIFFLZWCompress;
  TIFF_JPEGQuality = d.JpegQuality;
  GIF_LZWDecompress = s->FGIFLZWDecompress;
  GIF_LZWCompress = s->FGIFLZWCompress;
  JPEG_Quality = d.JpegQuality;
  JPEG_DCTMethod = d.JpegDctMethod;
  JPEG_Scale = d.JpegScale;
  DICOM_Range = d.DicomRange;
  DICOM_JPEGQuality = d.JpegQuality;
  TGA_Date = static_cast<double>(Date());
  RAW_HalfSize = d.RawHalfSize != 0;
  RAW_FastInterpolation = d.RawQuickInterpolate != 0;
  RAW_Flag = d.RawFlag != 0;
  RAW_AutoWhiteBalance = d.RawAutoAdjustColors != 0;
  RAW_CameraWhiteBalance = d.RawCameraWhiteBalance != 0;
  RAW_UseEmbeddedPreview = d.RawGetEmbeddedPreview != 0;
  RAW_RotateThumbnail = d.RawAutoRotateThumbnail != 0;
  PSD_LoadLayers = d.PsdLoadLayers != 0;
  SetImageIndex(0);
  SetJpegGetThumbnail(false);
  SetTiffOrientation(1);
  SetImageCount(0);

  JPEG_Markers.Clear();
  IPTC_Info.Clear();
  ResetExif();  // EXIF_Orientation ends at 0, TIFF_Orientation stays 1
  FImagingAnnot.reset();
  PixoranAnnot.Clear();
  FDicomTags.reset();
  FInputICC.reset();
  FOutputICC.reset();
  FDefaultInputICC.reset();
}

void TIOParams::ResetExif() {
  FExifTags.clear();
  static_cast<TIOParamsExif&>(*this) = TIOParamsExif{};
  // The resolution fields mirror DpiX / DpiY; a copy of the group must not carry 0 into them.
  EXIF_XResolution = DpiX;
  EXIF_YResolution = DpiY;
  FExifThumbnail.reset();
  EXIF_MakerNote.Clear();
  for (int32_t i = 0; i < JPEG_Markers.GetCount(); ++i) {
    if (JPEG_Markers.GetMarkerType(i) == PX_JPEG_APP1 &&
        IsExifMarkerData(JPEG_Markers.GetMarkerData(i), JPEG_Markers.GetMarkerLength(i))) {
      JPEG_Markers.DeleteMarker(i);
      break;
    }
  }
}

namespace {

// Makes Dest hold the content of Source. Entries Dest already has keep their place and, where
// both sides hold a nested dictionary or a text, their storage (so copying into a record that
// held similar metadata allocates little); the rest are cloned. A value of a kind the clone does
// not know makes it fall back to the dictionary's own textual copy.
bool CopyDictionaryInto(TPXDictionary& Source, TPXDictionary& Dest);

// Copies one value over an existing entry's value, in place where the kinds allow.
bool CopyValueInto(TObject* Value, std::unique_ptr<TObject>& Existing) {
  auto* sd = dynamic_cast<TPXDictionary*>(Value);
  auto* dd = dynamic_cast<TPXDictionary*>(Existing.get());
  if (sd && dd && sd->CaseSensitive() == dd->CaseSensitive()) return CopyDictionaryInto(*sd, *dd);
  if (!sd) {
    auto* ss = dynamic_cast<TPXDictionaryValueWideString*>(Value);
    auto* ds = dynamic_cast<TPXDictionaryValueWideString*>(Existing.get());
    if (ss && ds) {
      ds->Value = ss->Value;
      return true;
    }
  }
  std::unique_ptr<TObject> copy = CloneDictionaryValue(Value);
  if (!copy) return false;
  Existing = std::move(copy);
  return true;
}

bool CopyDictionaryInto(TPXDictionary& Source, TPXDictionary& Dest) {
  // The usual case, a record copied over one that held the same kind of metadata: the keys
  // match in enumeration order and the entries pair up without lookups.
  if (Source.Count() == Dest.Count() && Source.CaseSensitive() == Dest.CaseSensitive() && !Source.IsEmpty()) {
    TPXStrStrEnumerator es, ed;
    bool paired = true;
    while (Source.Next(es)) {
      if (!Dest.Next(ed) || ed.Current->Key != es.Current->Key) {
        paired = false;
        break;
      }
      if (!CopyValueInto(es.Current->Value.get(), ed.Current->Value)) return false;
    }
    if (paired) return true;
  }
  if (!Dest.IsEmpty()) {
    std::vector<std::string> gone;
    TPXStrStrEnumerator e;
    while (Dest.Next(e))
      if (!Source.ContainsKey(e.Current->Key)) gone.push_back(e.Current->Key);
    for (const std::string& k : gone) Dest.Remove(k);
  }
  TPXStrStrEnumerator e;
  while (Source.Next(e)) {
    TObject* value = e.Current->Value.get();
    TObject* existing = Dest.IsEmpty() ? nullptr : Dest.GetValue(e.Current->Key, true);
    auto* sd = dynamic_cast<TPXDictionary*>(value);
    auto* dd = dynamic_cast<TPXDictionary*>(existing);
    if (sd && dd && sd->CaseSensitive() == dd->CaseSensitive()) {
      if (!CopyDictionaryInto(*sd, *dd)) return false;
      continue;
    }
    std::unique_ptr<TObject> copy = CloneDictionaryValue(value);
    if (!copy) return false;
    Dest.InsertObject(e.Current->Key, std::move(copy));
  }
  return true;
}

void CopyDictionary(TPXDictionary& Source, TPXDictionary& Dest) {
  if (!CopyDictionaryInto(Source, Dest)) Dest.Assign(&Source);
}

std::unique_ptr<TObject> CloneDictionaryValue(TObject* Value) {
  if (auto* v = dynamic_cast<TPXDictionary*>(Value)) {
    // Nested dictionaries (one per element of a parsed XML packet) mostly hold a few entries;
    // the copy gets chains for its content rather than the parser's default 103.
    auto d = std::make_unique<TPXDictionary>(std::max(2, v->Count()), v->CaseSensitive());
    TPXStrStrEnumerator e;
    while (v->Next(e)) {
      std::unique_ptr<TObject> copy = CloneDictionaryValue(e.Current->Value.get());
      if (!copy) return nullptr;
      d->InsertObject(e.Current->Key, std::move(copy));
    }
    return d;
  }
  if (auto* v = dynamic_cast<TPXDictionaryValueWideString*>(Value))
    return std::make_unique<TPXDictionaryValueWideString>(v->Value);
  if (auto* v = dynamic_cast<TPXDictionaryValueInteger*>(Value))
    return std::make_unique<TPXDictionaryValueInteger>(v->Value);
  if (auto* v = dynamic_cast<TPXDictionaryValueDouble*>(Value))
    return std::make_unique<TPXDictionaryValueDouble>(v->Value);
  if (auto* v = dynamic_cast<TPXDictionaryValueBoolean*>(Value))
    return std::make_unique<TPXDictionaryValueBoolean>(v->Value);
  if (auto* v = dynamic_cast<TObjectList*>(Value)) {
    auto l = std::make_unique<TObjectList>(true);
    for (int32_t i = 0; i < v->Count(); ++i) {
      std::unique_ptr<TObject> copy = CloneDictionaryValue(v->Items(i));
      if (!copy) return nullptr;
      l->Add(copy.release());
    }
    return l;
  }
  return nullptr;
}

template <typename T>
std::unique_ptr<T> CopyHolder(const T* Source) {
  if (!Source) return nullptr;
  auto copy = std::make_unique<T>();
  copy->Assign(Source);
  return copy;
}
}  // namespace

void TIOParams::Assign(const TIOParams* Source) {
  if (!Source || Source == this) return;
  static_cast<TIOParamsValues&>(*this) = *Source;
  CopyDictionary(const_cast<TPXDictionary&>(Source->Dictionary), Dictionary);  // enumeration only
  SetDpiX(Source->DpiX);
  SetDpiY(Source->DpiY);
  SetImageIndex(Source->TIFF_ImageIndex);
  SetImageIndex(Source->GIF_ImageIndex);
  SetImageIndex(Source->DCX_ImageIndex);
  SetImageIndex(Source->ICO_ImageIndex);
  SetImageIndex(Source->CUR_ImageIndex);
  SetImageCount(Source->AVI_FrameCount);

  FDicomTags = CopyHolder(Source->FDicomTags.get());
  FImagingAnnot = CopyHolder(Source->FImagingAnnot.get());
  if (FImagingAnnot) FImagingAnnot->Parent = this;
  FInputICC = CopyHolder(Source->FInputICC.get());
  FOutputICC = CopyHolder(Source->FOutputICC.get());
  FDefaultInputICC = CopyHolder(Source->FDefaultInputICC.get());

  JPEG_Markers.Assign(&Source->JPEG_Markers);
  IPTC_Info.Assign(&Source->IPTC_Info);
  // A copy is not a user's change: the JPEG writer must not rebuild APP13 (and drop its other
  // Photoshop resources) only because the parameters were copied.
  IPTC_Info.SetUserChanged(Source->IPTC_Info.UserChanged());
  PixoranAnnot.Assign(&Source->PixoranAnnot);
  CopyExifParams(Source, this, true);
  // The copy ends equal to the source even where its EXIF mirrors were out of step.
  DpiX = Source->DpiX;
  DpiY = Source->DpiY;
  TIFF_Orientation = Source->TIFF_Orientation;
}

void TIOParams::AssignSaveOptions(const TIOParams* Source) {
  if (!Source || Source == this) return;
  BitsPerSample = Source->BitsPerSample;
  SamplesPerPixel = Source->SamplesPerPixel;
  TIFF_Compression = Source->TIFF_Compression;
  TIFF_Photometric = Source->TIFF_Photometric;
  TIFF_PlanarConfig = Source->TIFF_PlanarConfig;
  SetTiffOrientation(Source->TIFF_Orientation);
  TIFF_LZWDecompress = Source->TIFF_LZWDecompress;
  TIFF_LZWCompress = Source->TIFF_LZWCompress;
  TIFF_AutoRotate = Source->TIFF_AutoRotate;
  TIFF_JPEGQuality = Source->TIFF_JPEGQuality;
  TIFF_JPEGColorSpace = Source->TIFF_JPEGColorSpace;
  TIFF_ZipLevel = Source->TIFF_ZipLevel;
  TIFF_RowsPerStrip = Source->TIFF_RowsPerStrip;
  TIFF_FillOrder = Source->TIFF_FillOrder;
  GIF_Interlaced = Source->GIF_Interlaced;
  GIF_LZWDecompress = Source->GIF_LZWDecompress;
  GIF_LZWCompress = Source->GIF_LZWCompress;
  JPEG_ColorSpace = Source->JPEG_ColorSpace;
  JPEG_Quality = Source->JPEG_Quality;
  JPEG_DCTMethod = Source->JPEG_DCTMethod;
  JPEG_Subsampling = Source->JPEG_Subsampling;
  JPEG_OptimalHuffman = Source->JPEG_OptimalHuffman;
  JPEG_Smoothing = Source->JPEG_Smoothing;
  JPEG_Progressive = Source->JPEG_Progressive;
  J2000_ColorSpace = Source->J2000_ColorSpace;
  J2000_Rate = Source->J2000_Rate;
  J2000_EncoderFlag = Source->J2000_EncoderFlag;
  J2000_EncoderModeA = Source->J2000_EncoderModeA;
  J2000_EncoderModeB = Source->J2000_EncoderModeB;
  J2000_ReduceFactor = Source->J2000_ReduceFactor;
  J2000_EncoderQuality = Source->J2000_EncoderQuality;
  PCX_Version = Source->PCX_Version;
  PCX_Compression = Source->PCX_Compression;
  BMP_Version = Source->BMP_Version;
  BMP_Compression = Source->BMP_Compression;
  BMP_IgnoreAlpha = Source->BMP_IgnoreAlpha;
  PNG_Interlaced = Source->PNG_Interlaced;
  PNG_Filter = Source->PNG_Filter;
  PNG_Compression = Source->PNG_Compression;
  TGA_Compressed = Source->TGA_Compressed;
  TGA_GrayLevel = Source->TGA_GrayLevel;
  PS_Compression = Source->PS_Compression;
  PDF_Option = Source->PDF_Option;
  DICOM_Range = Source->DICOM_Range;
  SetDicomCompression(Source->GetDicomCompression());
  DICOM_JPEGQuality = Source->DICOM_JPEGQuality;
  DICOM_J2000Rate = Source->DICOM_J2000Rate;
}

void TIOParams::ClearMetadata(uint32_t Parts) {
  if (Parts == 0) Parts = 0xFF;
  if (Parts & pxcmIptc) IPTC_Info.Clear();
  if (Parts & pxcmAnnotations) {
    FImagingAnnot.reset();
    PixoranAnnot.Clear();
  }
  if (Parts & pxcmMarkers) {
    if (Parts & pxcmInputProfile) JPEG_Markers.Clear();
    else JPEG_Markers.KeepOnlyMarkerTypes({PX_JPEG_APP2});  // the profile's chunks stay
  }
  if (Parts & pxcmExif) ResetExif();
  if (Parts & pxcmDicom) {
    FDicomTags.reset();
    DICOM_RangeValues = {0, 1.0, 0, 0};
  }
  if (Parts & pxcmTexts) {
    GIF_Comments.clear();
    PNG_TextKeys.clear();
    PNG_TextValues.clear();
    TIFF_DocumentName.clear();
    TIFF_ImageDescription.clear();
    TIFF_PageName.clear();
    TGA_ImageID.clear();
    TGA_Author.clear();
    TGA_JobName.clear();
    PXM_Comments.clear();
  }
  if (Parts & pxcmXmp) SetXmpInfo("");
  if (Parts & pxcmInputProfile) FInputICC.reset();
}

// ---------------------------------------------------------------------------------------------
// Linked setters

void TIOParams::SetImageIndex(int32_t Value) {
  ImageIndex = Value;
  TIFF_ImageIndex = Value;
  DCX_ImageIndex = Value;
  GIF_ImageIndex = Value;
  ICO_ImageIndex = Value;
  CUR_ImageIndex = Value;
}

void TIOParams::SetImageCount(int32_t Value) {
  ImageCount = Value;
  TIFF_ImageCount = Value;
  AVI_FrameCount = Value;
  GIF_ImageCount = Value;
  Media_FrameCount = Value;
}

void TIOParams::SetAutoRotate(bool Value) {
  AutoRotate = Value;
  TIFF_AutoRotate = Value;
  JPEG_AutoRotate = Value;
}

void TIOParams::SetGetThumbnail(bool Value) {
  GetThumbnail = Value;
  JPEG_GetThumbnail = Value;
  RAW_GetExifThumbnail = Value;
  Layers_GetThumbnail = Value;
}

void TIOParams::SetJpegGetThumbnail(bool Value) {
  GetThumbnail = Value;
  JPEG_GetThumbnail = Value;
}

void TIOParams::SetTiffOrientation(int32_t Value) {
  TIFF_Orientation = Value;
  EXIF_Orientation = Value;
}

void TIOParams::SetExifOrientation(int32_t Value) { SetTiffOrientation(Value); }

void TIOParams::SetColorsFromPixelFormat(TPXPixelFormat PixelFormat) {
  BitsAndSamplesFromPixelFormat(PixelFormat, BitsPerSample, SamplesPerPixel);
  if (PixelFormat == px8g) JPEG_ColorSpace = 1;
}

void TIOParams::DpiChanged() {
  if (IPXParamsOwnerIO* io = GetOwnerIO()) io->ParamsDpiChanged();
}

void TIOParams::SetDpiX(int32_t Value) {
  DpiX = Value;
  EXIF_XResolution = Value;
  DpiChanged();
}

void TIOParams::SetDpiY(int32_t Value) {
  DpiY = Value;
  EXIF_YResolution = Value;
  DpiChanged();
}

void TIOParams::SetExifXResolution(double Value) {
  SetDpiX(RoundToInt32(Value));
  EXIF_XResolution = Value;
}

void TIOParams::SetExifYResolution(double Value) {
  SetDpiY(RoundToInt32(Value));
  EXIF_YResolution = Value;
}

// ---------------------------------------------------------------------------------------------
// EXIF tags

void TIOParams::MarkExifTag(int32_t Tag) {
  const auto t = static_cast<uint16_t>(Tag);
  if (std::find(FExifTags.begin(), FExifTags.end(), t) == FExifTags.end()) FExifTags.push_back(t);
}

void TIOParams::UnmarkExifTag(int32_t Tag) {
  const auto t = static_cast<uint16_t>(Tag);
  std::erase(FExifTags, t);
}

bool TIOParams::IsExifTagMarked(int32_t Tag) const {
  return std::find(FExifTags.begin(), FExifTags.end(), static_cast<uint16_t>(Tag)) != FExifTags.end();
}

void TIOParams::MarkIf(bool Condition, int32_t Tag) {
  if (Condition) MarkExifTag(Tag);
  else UnmarkExifTag(Tag);
}

#define PX_EXIF_SETTER(Name, Type, Field, Tag, Unset) \
  void TIOParams::Name(Type Value) {                    \
    Field = Value;                                      \
    MarkIf(Value != (Unset), Tag);                      \
  }

PX_EXIF_SETTER(SetExifExposureTime, double, EXIF_ExposureTime, 33434, -1)
PX_EXIF_SETTER(SetExifFNumber, double, EXIF_FNumber, 33437, -1)
PX_EXIF_SETTER(SetExifShutterSpeedValue, double, EXIF_ShutterSpeedValue, 37377, -1)
PX_EXIF_SETTER(SetExifApertureValue, double, EXIF_ApertureValue, 37378, -1)
PX_EXIF_SETTER(SetExifSubjectDistance, double, EXIF_SubjectDistance, 37382, -1)
PX_EXIF_SETTER(SetExifFocalLength, double, EXIF_FocalLength, 37386, -1)
PX_EXIF_SETTER(SetExifFocalPlaneXResolution, double, EXIF_FocalPlaneXResolution, 41486, -1)
PX_EXIF_SETTER(SetExifFocalPlaneYResolution, double, EXIF_FocalPlaneYResolution, 41487, -1)
PX_EXIF_SETTER(SetExifExposureIndex, double, EXIF_ExposureIndex, 41493, -1)
PX_EXIF_SETTER(SetExifBrightnessValue, double, EXIF_BrightnessValue, 37379, -1000)
PX_EXIF_SETTER(SetExifExposureBiasValue, double, EXIF_ExposureBiasValue, 37380, -1000)
PX_EXIF_SETTER(SetExifMaxApertureValue, double, EXIF_MaxApertureValue, 37381, -1000)
PX_EXIF_SETTER(SetExifCompressedBitsPerPixel, double, EXIF_CompressedBitsPerPixel, 37122, 0)
PX_EXIF_SETTER(SetExifExposureProgram, int32_t, EXIF_ExposureProgram, 34850, -1)
PX_EXIF_SETTER(SetExifMeteringMode, int32_t, EXIF_MeteringMode, 37383, -1)
PX_EXIF_SETTER(SetExifLightSource, int32_t, EXIF_LightSource, 37384, -1)
PX_EXIF_SETTER(SetExifFlash, int32_t, EXIF_Flash, 37385, -1)
PX_EXIF_SETTER(SetExifColorSpace, int32_t, EXIF_ColorSpace, 40961, -1)
PX_EXIF_SETTER(SetExifFocalPlaneResolutionUnit, int32_t, EXIF_FocalPlaneResolutionUnit, 41488, -1)
PX_EXIF_SETTER(SetExifSensingMethod, int32_t, EXIF_SensingMethod, 41495, -1)
PX_EXIF_SETTER(SetExifFileSource, int32_t, EXIF_FileSource, 41728, -1)
PX_EXIF_SETTER(SetExifSceneType, int32_t, EXIF_SceneType, 41729, -1)
PX_EXIF_SETTER(SetExifPixelXDimension, int32_t, EXIF_PixelXDimension, 40962, 0)
PX_EXIF_SETTER(SetExifPixelYDimension, int32_t, EXIF_PixelYDimension, 40963, 0)
#undef PX_EXIF_SETTER

namespace {
template <typename T, size_t N>
void SetItem(std::array<T, N>& A, int32_t Index, T Value) {
  if (Index >= 0 && static_cast<size_t>(Index) < N) A[static_cast<size_t>(Index)] = Value;
}
template <typename T, size_t N>
T GetItem(const std::array<T, N>& A, int32_t Index) {
  return Index >= 0 && static_cast<size_t>(Index) < N ? A[static_cast<size_t>(Index)] : T{};
}
}  // namespace

void TIOParams::SetExifIsoSpeedRatings(int32_t Index, int32_t Value) { SetItem(EXIF_ISOSpeedRatings, Index, Value); }
int32_t TIOParams::GetExifIsoSpeedRatings(int32_t Index) const { return GetItem(EXIF_ISOSpeedRatings, Index); }
void TIOParams::SetExifSubjectArea(int32_t Index, int32_t Value) { SetItem(EXIF_SubjectArea, Index, Value); }
int32_t TIOParams::GetExifSubjectArea(int32_t Index) const { return GetItem(EXIF_SubjectArea, Index); }
void TIOParams::SetExifWhitePoint(int32_t Index, double Value) { SetItem(EXIF_WhitePoint, Index, Value); }
double TIOParams::GetExifWhitePoint(int32_t Index) const { return GetItem(EXIF_WhitePoint, Index); }
void TIOParams::SetExifPrimaryChromaticities(int32_t Index, double Value) {
  SetItem(EXIF_PrimaryChromaticities, Index, Value);
}
double TIOParams::GetExifPrimaryChromaticities(int32_t Index) const {
  return GetItem(EXIF_PrimaryChromaticities, Index);
}
void TIOParams::SetExifReferenceBlackWhite(int32_t Index, double Value) {
  SetItem(EXIF_ReferenceBlackWhite, Index, Value);
}
double TIOParams::GetExifReferenceBlackWhite(int32_t Index) const { return GetItem(EXIF_ReferenceBlackWhite, Index); }
void TIOParams::SetExifYCbCrCoefficients(int32_t Index, double Value) { SetItem(EXIF_YCbCrCoefficients, Index, Value); }
double TIOParams::GetExifYCbCrCoefficients(int32_t Index) const { return GetItem(EXIF_YCbCrCoefficients, Index); }

double TIOParams::GetRawMultiplier(int32_t Index) const { return GetItem(RAW_Multipliers, Index); }

void TIOParams::NormalizeGps() {
  auto normalize = [](std::string& Ref, std::array<double, 3>& Value, std::string_view Pair) {
    const double degrees = GPSToDegrees(Ref, Value[0], Value[1], Value[2]);
    DegreesToGPS(Pair, degrees, Value[0], Value[1], Value[2], Ref);
  };
  normalize(EXIF_GPSLatitudeRef, EXIF_GPSLatitude, "SN");
  normalize(EXIF_GPSDestLatitudeRef, EXIF_GPSDestLatitude, "SN");
  normalize(EXIF_GPSLongitudeRef, EXIF_GPSLongitude, "WE");
  normalize(EXIF_GPSDestLongitudeRef, EXIF_GPSDestLongitude, "WE");
}

bool TIOParams::ReadParamsFromStream(TStream* Stream, int32_t FileType) {
  TPixoranIO io(nullptr);
  TIOParams* work = io.Params();
  work->Assign(this);
  const bool ok = io.ParamsFromStream(Stream, FileType);
  Assign(work);
  return ok;
}

void TIOParams::SetExifDateTimeValue(TDateTime Value) { EXIF_DateTime = DateTimeToExifDate(Value); }

TDateTime TIOParams::GetExifDateTimeOriginalValue() const { return ExifDateToDateTime(EXIF_DateTimeOriginal); }

void CopyExifParams(const TIOParams* Source, TIOParams* Dest, bool WithThumbnail) {
  if (!Source || !Dest || Source == Dest) return;
  Dest->FExifTags = Source->FExifTags;
  if (WithThumbnail) {
    Dest->FExifThumbnail.reset();
    if (Source->FExifThumbnail) Dest->FExifThumbnail = TPXBitmap::CreateCopy(Source->FExifThumbnail.get());
  }
  static_cast<TIOParamsExif&>(*Dest) = *Source;
  // The fields with setters go through them, so that the resolution, orientation and tag list
  // of Dest follow.
  Dest->SetExifOrientation(Source->EXIF_Orientation);
  Dest->SetExifXResolution(Source->EXIF_XResolution);
  Dest->SetExifYResolution(Source->EXIF_YResolution);
  Dest->SetExifExposureTime(Source->EXIF_ExposureTime);
  Dest->SetExifFNumber(Source->EXIF_FNumber);
  Dest->SetExifExposureProgram(Source->EXIF_ExposureProgram);
  Dest->SetExifCompressedBitsPerPixel(Source->EXIF_CompressedBitsPerPixel);
  Dest->SetExifShutterSpeedValue(Source->EXIF_ShutterSpeedValue);
  Dest->SetExifApertureValue(Source->EXIF_ApertureValue);
  Dest->SetExifBrightnessValue(Source->EXIF_BrightnessValue);
  Dest->SetExifExposureBiasValue(Source->EXIF_ExposureBiasValue);
  Dest->SetExifMaxApertureValue(Source->EXIF_MaxApertureValue);
  Dest->SetExifSubjectDistance(Source->EXIF_SubjectDistance);
  Dest->SetExifMeteringMode(Source->EXIF_MeteringMode);
  Dest->SetExifLightSource(Source->EXIF_LightSource);
  Dest->SetExifFlash(Source->EXIF_Flash);
  Dest->SetExifFocalLength(Source->EXIF_FocalLength);
  Dest->SetExifColorSpace(Source->EXIF_ColorSpace);
  Dest->SetExifPixelXDimension(Source->EXIF_PixelXDimension);
  Dest->SetExifPixelYDimension(Source->EXIF_PixelYDimension);
  Dest->SetExifFocalPlaneXResolution(Source->EXIF_FocalPlaneXResolution);
  Dest->SetExifFocalPlaneYResolution(Source->EXIF_FocalPlaneYResolution);
  Dest->SetExifFocalPlaneResolutionUnit(Source->EXIF_FocalPlaneResolutionUnit);
  Dest->SetExifExposureIndex(Source->EXIF_ExposureIndex);
  Dest->SetExifSensingMethod(Source->EXIF_SensingMethod);
  Dest->SetExifFileSource(Source->EXIF_FileSource);
  Dest->SetExifSceneType(Source->EXIF_SceneType);
  Dest->EXIF_MakerNote.Assign(&Source->EXIF_MakerNote);
  Dest->EXIF_SubjectArea = Source->EXIF_SubjectArea;
  Dest->EXIF_SubjectLocation = Source->EXIF_SubjectLocation;
}

// ---------------------------------------------------------------------------------------------
// Thumbnails, delays, XMP, colour map, holders

bool TIOParams::PrepareForThumbnail(int32_t W, int32_t H, bool AllowEmbedded) {
  const TIOParamDefaults& d = SettingDefaults();
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  const bool sized = W >= 1 && H >= 1;
  JPEG_Scale = sized ? 0 : d.JpegScale;
  SetJpegGetThumbnail(sized && AllowEmbedded && W <= 120 && H <= 120);
  JPEG_DCTMethod = sized && int64_t(W) + H <= 499 ? 1 : d.JpegDctMethod;
  Width = W;
  Height = H;
  RAW_HalfSize = sized ? (W <= 1400 && H <= 1400) : d.RawHalfSize != 0;
  RAW_UseEmbeddedPreview =
      sized ? (W <= s->FRawPreviewMinHeight && H <= s->FRawPreviewMinWidth) : d.RawGetEmbeddedPreview != 0;
  RAW_GetExifThumbnail = sized && AllowEmbedded && W <= 150 && H <= 100;
  J2000_ReduceFactor = sized ? -1 : 0;
  Layers_GetThumbnail = sized && W <= s->FLayersFileThumbnailSize && H <= s->FLayersFileThumbnailSize;
  return Layers_GetThumbnail;
}

int32_t TIOParams::GetImageDelayTime() const {
  switch (FileType) {
    case pxftGIF:
      return GIF_DelayTime * 10;
    case pxftAVI:
      return RoundToInt32(AVI_FrameDelay);
    case pxftWMV:
    case pxftMPEG:
      return RoundToInt32(Media_FrameDelay);
    case pxftDICOM:
      return RoundToInt32(GetDicomFrameDelay());
    default:
      return 0;
  }
}

void TIOParams::SetXmpInfo(std::string_view Text) {
  XMP_Info = std::string(Text);
  // The parsed form always belongs to the packet held now.
  Dictionary.Remove("XMP");
  if (Text.empty()) return;
  auto parsed = std::make_unique<TPXDictionary>();
  parsed->Parse(Text);
  if (parsed->IsEmpty()) return;
  // The parser gives every element a dictionary of 103 chains; the packet is kept with chains
  // sized to its content, which copies of the parameters then walk quickly.
  if (std::unique_ptr<TObject> compact = CloneDictionaryValue(parsed.get()))
    Dictionary.InsertObject("XMP", std::move(compact));
  else
    Dictionary.InsertDictionary("XMP", std::move(parsed));
}

void TIOParams::SetColorMap(const TRGB* Colors, int32_t Count) {
  FreeColorMap();
  if (!Colors || Count <= 0) return;
  ColorMap.assign(Colors, Colors + Count);
  ColorMapCount = Count;
}

void TIOParams::FreeColorMap() {
  ColorMap.clear();
  ColorMap.shrink_to_fit();
  ColorMapCount = 0;
}

TPXICC* TIOParams::GetInputICCProfile() {
  if (!FInputICC) FInputICC = std::make_unique<TPXICC>();
  return FInputICC.get();
}

TPXICC* TIOParams::GetOutputICCProfile() {
  if (!FOutputICC) {
    FOutputICC = std::make_unique<TPXICC>();
    FOutputICC->LoadSRGB();
  }
  return FOutputICC.get();
}

TPXICC* TIOParams::GetDefaultInputICCProfile() {
  if (!FDefaultInputICC) FDefaultInputICC = std::make_unique<TPXICC>();
  return FDefaultInputICC.get();
}

TPXImagingAnnot* TIOParams::GetImagingAnnot() {
  if (!FImagingAnnot) {
    FImagingAnnot = std::make_unique<TPXImagingAnnot>();
    FImagingAnnot->Parent = this;
  }
  return FImagingAnnot.get();
}

TPXDicomTags* TIOParams::GetDicomTags() {
  if (!FDicomTags) FDicomTags = std::make_unique<TPXDicomTags>();
  return FDicomTags.get();
}

void TIOParams::SetExifThumbnail(std::unique_ptr<TPXBitmap> Bitmap) { FExifThumbnail = std::move(Bitmap); }

std::unique_ptr<TPXBitmap> TIOParams::TakeExifThumbnail() { return std::move(FExifThumbnail); }

TPXBitmap* TIOParams::CreateExifThumbnail() {
  if (!FExifThumbnail) FExifThumbnail = std::make_unique<TPXBitmap>();
  return FExifThumbnail.get();
}

// ---------------------------------------------------------------------------------------------
// DICOM

void SetDicomTransferSyntaxes(const std::array<std::string, 11>* Table) { DicomTransferSyntaxes() = Table; }

int32_t TIOParams::GetDicomCompression() const {
  const auto* table = DicomTransferSyntaxes();
  if (!FDicomTags || !table) return DICOM_Compression;
  const std::string syntax = Trim(FDicomTags->GetTagTextOf(0x0002, 0x0010));
  for (int32_t i = 0; i < 11; ++i)
    if ((*table)[i] == syntax) return i;
  return DICOM_Compression;
}

void TIOParams::SetDicomCompression(int32_t Value) {
  DICOM_Compression = static_cast<uint8_t>(Value);
  const auto* table = DicomTransferSyntaxes();
  if (!FDicomTags || !table) return;
  // Stored as a UI value: padded with a zero byte to an even length of at least 2.
  std::string text = Value >= 0 && Value <= 10 ? (*table)[static_cast<size_t>(Value)] : std::string();
  if (text.empty()) text.assign(2, '\0');
  else if (text.size() % 2 != 0) text.push_back('\0');
  FDicomTags->DeleteTag(0x0002, 0x0010, true);
  FDicomTags->AddTag(0x0002, 0x0010, nullptr, static_cast<int32_t>(text.size()), text.data(), TPXDicomTags::VrFromText("UI"));
}

double TIOParams::GetDicomFrameDelay() const {
  if (!FDicomTags) return 0;
  const int32_t frameTime = StrToIntDef(Trim(FDicomTags->GetTagTextOf(0x0018, 0x0040)), 0);
  if (frameTime > 0) return 1000.0 / frameTime;
  const int32_t rate = StrToIntDef(Trim(FDicomTags->GetTagTextOf(0x0008, 0x2144)), 0);
  if (rate > 0) return 1000.0 / rate;
  return static_cast<double>(StrToFloatDef(Trim(FDicomTags->GetTagTextOf(0x0018, 0x1063)), 0));
}

// ---------------------------------------------------------------------------------------------
// Descriptions

std::string TIOParams::GetFormatDescription() const {
  const TPXFileFormatInfo* info = FileFormatByType(FileType);
  if (!info) return {};
  static constexpr const char* kTiffCompression[11] = {"Uncompressed", "Huffman",      "Group 3 Fax", "Group 3 Fax 2D",
                                                       "Group 4 Fax",  "LZW",          "Jpeg v5",     "Jpeg",
                                                       "PackBits RLE", "ZIP",          "Deflate"};
  static constexpr const char* kJpegColorSpace[5] = {"", "Gray Scale", "YCbCr", "CMYK", "YCbCrK"};
  static constexpr const char* kBmpVersion[6] = {"v1", "v3", "OS/2 v1", "OS/2 v2", "v4", "v5"};
  static constexpr const char* kJ2000ColorSpace[3] = {"Gray Scale", "RGB", "YCbCr"};
  std::string detail;
  switch (FileType) {
    case pxftTIFF:
      if (TIFF_Compression <= 10) detail = kTiffCompression[TIFF_Compression];
      break;
    case pxftGIF:
      if (GIF_Interlaced) detail = "Interlaced";
      break;
    case pxftPNG:
      if (PNG_Interlaced) detail = "Interlaced";
      break;
    case pxftJPEG:
      if (JPEG_ColorSpace >= 1 && JPEG_ColorSpace <= 4) detail = kJpegColorSpace[JPEG_ColorSpace];
      break;
    case pxftPCX:
      if (!PCX_Compression) detail = "Uncompressed";
      break;
    case pxftBMP:
      if (BMP_Version <= 5) detail = kBmpVersion[BMP_Version];
      break;
    case pxftTGA:
      detail = TGA_Compressed ? "Compressed" : "Uncompressed";
      break;
    case pxftJP2:
    case pxftJ2K:
      if (J2000_ColorSpace <= 2) detail = kJ2000ColorSpace[J2000_ColorSpace];
      break;
    case pxftRAW: {
      const std::string name = Trim(RAW_CameraName);
      if (name.size() <= 15) detail = name;
      break;
    }
    default:
      break;
  }
  const std::string ext = UpperCase(info->SuitableExtension);
  if (detail.empty()) return Format("%s (%s)", info->FullName, ext);
  return Format("%s (%s %s)", info->FullName, ext, detail);
}

std::string TIOParams::GetImageDescription() const {
  std::string size;
  if (OriginalWidth > 0 && OriginalHeight > 0)
    size = IntToStr(OriginalWidth) + " x " + IntToStr(OriginalHeight) + " " + GetLanguageWord(kWordPixels);

  std::string colors;
  const int64_t bits = int64_t(SamplesPerPixel) * BitsPerSample;
  if (SamplesPerPixel > 0 && BitsPerSample > 0) {
    std::string count;
    if ((SamplesPerPixel == 4 && BitsPerSample == 8) || bits == 24) {
      const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
      count = s->IsEnglishLanguage() ? "16M" : Format("%.0n", 16777216.0);
    } else if (bits > 24) {
      // 2^(samples x bits) no longer fits a count anyone reads: the depth is given instead.
      count = IntToStr(bits) + " bit";
    } else {
      count = Format("%.0n", static_cast<double>(int64_t(1) << bits));
    }
    colors = count + " " + GetLanguageWord(kWordColors);
  }
  if (!size.empty() && !colors.empty()) return size + ", " + colors;
  return size.empty() ? colors : size;
}

// ---------------------------------------------------------------------------------------------
// The pixel container's hooks

void RegisterBitmapParams() {
  TPXBitmapParamsHooks hooks;
  hooks.Create = [](TPXBitmap* Owner) -> std::unique_ptr<TObject> { return std::make_unique<TIOParams>(Owner); };
  hooks.AsParams = [](TObject* Record) -> TIOParams* { return static_cast<TIOParams*>(Record); };
  hooks.Assign = [](TIOParams* Dest, TIOParams* Source) {
    if (Dest) Dest->Assign(Source);
  };
  SetBitmapParamsHooks(hooks);
}
