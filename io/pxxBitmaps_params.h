// The I/O parameters of one picture (TIOParams): what a reader found in a file and what a writer
// is to produce, per format group, with the metadata holders (markers, IPTC, EXIF, XMP, ICC,
// maker note, DICOM elements, annotations). The parameter and metadata part of the pxxBitmaps
// unit; the holders are in io/pxmarkers.h and io/pxxBitmaps_meta.h.
//
// Plain values live in two value records (TIOParamsValues, TIOParamsExif) that TIOParams
// inherits, so a reset is a fresh record and a copy is a record copy followed by the steps that
// keep the mirrored fields (resolution, orientation, page indexes, marked EXIF tags) in step.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils_dictionary.h"
#include "core/pxsettings.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_meta.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;
class TPXICC;

// What a parameter record asks of the I/O component that owns it; the component implements it.
class IPXParamsOwnerIO {
 public:
  virtual ~IPXParamsOwnerIO() = default;
  // The component's current bitmap (nil when none); may raise.
  virtual TPXBitmap* ParamsBitmap() = 0;
  // The resolution changed: an attached vector view recomputes its measurement units.
  virtual void ParamsDpiChanged() = 0;
};

struct TPXIcoSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// Codec description set by the platform imaging component's reader.
struct TPXWICCodecInfo {
  std::string FriendlyName;
  std::string Author;
  std::string Version;
};

// The plain (non-EXIF) fields with their defaults. The settings-dependent defaults and the
// size and resolution taken from the owner are applied by ResetToDefaults.
struct TIOParamsValues {
  int32_t BitsPerSample = 8;
  std::string FileName;
  int32_t SamplesPerPixel = 3;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t FileType = 0;
  int32_t ImageIndex = 0;
  int32_t ImageCount = 0;
  bool GetThumbnail = false;
  bool ReadMetadata = true;
  bool IsResource = false;
  bool AutoRotate = false;
  int32_t OriginalWidth = 0;
  int32_t OriginalHeight = 0;

  // TIFF
  uint8_t TIFF_Compression = 0;
  int32_t TIFF_ImageIndex = 0;
  int32_t TIFF_SubIndex = -1;
  int32_t TIFF_NewSubfileType = 0;
  uint8_t TIFF_Photometric = 2;
  int32_t TIFF_PlanarConfig = 1;
  int32_t TIFF_XPos = 0;
  int32_t TIFF_YPos = 0;
  int32_t TIFF_GetTile = -1;
  std::string TIFF_DocumentName;
  std::string TIFF_ImageDescription;
  std::string TIFF_PageName;
  int32_t TIFF_PageNumber = -1;
  int32_t TIFF_PageCount = -1;
  int32_t TIFF_Orientation = 1;
  TPXTiffLzwDecompressProc TIFF_LZWDecompress = nullptr;
  TPXTiffLzwCompressProc TIFF_LZWCompress = nullptr;
  bool TIFF_AutoRotate = false;
  int32_t TIFF_JPEGQuality = 80;
  uint8_t TIFF_JPEGColorSpace = 2;
  int32_t TIFF_ZipLevel = 1;
  int32_t TIFF_RowsPerStrip = 0;
  int32_t TIFF_ImageCount = 0;
  int32_t TIFF_FillOrder = 1;
  bool TIFF_LittleEndian = true;
  bool TIFF_BigTIFF = false;
  std::vector<uint8_t> TIFF_PhotoshopResources;
  std::vector<uint8_t> TIFF_PhotoshopLayers;

  int32_t DCX_ImageIndex = 0;

  // GIF
  std::string GIF_Version = "GIF89a";
  int32_t GIF_ImageIndex = 0;
  int32_t GIF_XPos = 0;
  int32_t GIF_YPos = 0;
  int32_t GIF_DelayTime = 0;
  bool GIF_HasTransparentColor = false;
  TRGB GIF_TransparentColor{0, 0, 0};
  bool GIF_Interlaced = false;
  int32_t GIF_ScreenWidth = 0;
  int32_t GIF_ScreenHeight = 0;
  TRGB GIF_Background{0, 0, 0};
  int32_t GIF_AspectRatio = 0;
  std::vector<std::string> GIF_Comments;
  uint8_t GIF_Disposal = 2;
  bool GIF_FrameOnly = false;
  TPXGifLzwDecompressProc GIF_LZWDecompress = nullptr;
  TPXGifLzwCompressProc GIF_LZWCompress = nullptr;
  int32_t GIF_ImageCount = 0;

  // JPEG (the marker list is a holder of TIOParams)
  uint8_t JPEG_ColorSpace = 2;
  int32_t JPEG_Quality = 80;
  uint8_t JPEG_DCTMethod = 0;
  uint8_t JPEG_Subsampling = 1;
  bool JPEG_OptimalHuffman = false;
  int32_t JPEG_Smoothing = 0;
  bool JPEG_Progressive = false;
  uint8_t JPEG_Scale = 1;
  int32_t JPEG_ScaleUsed = 1;
  int32_t JPEG_WarningCount = 0;
  int32_t JPEG_WarningCode = 0;
  bool JPEG_AutoRotate = false;
  bool JPEG_GetThumbnail = false;

  // JPEG 2000
  uint8_t J2000_ColorSpace = 1;
  double J2000_Rate = 0.95;
  bool J2000_EncoderFlag = false;
  int32_t J2000_EncoderModeA = 1;
  int32_t J2000_EncoderModeB = 1;
  int32_t J2000_ReduceFactor = 0;
  double J2000_EncoderQuality = 100.0;

  // PCX, BMP, ICO, CUR, PNG
  int32_t PCX_Version = 5;
  bool PCX_Compression = true;
  uint8_t BMP_Version = 1;
  uint8_t BMP_Compression = 0;
  bool BMP_IgnoreAlpha = false;  // True: alpha ignored when read, flattened when written
  int32_t ICO_ImageIndex = 0;
  TRGB ICO_Background{255, 255, 255};
  bool ICO_PNG = false;
  int32_t CUR_ImageIndex = 0;
  int32_t CUR_XHotSpot = 0;
  int32_t CUR_YHotSpot = 0;
  TRGB CUR_Background{255, 255, 255};
  bool PNG_Interlaced = false;
  TRGB PNG_Background{0, 0, 0};
  uint8_t PNG_Filter = 0;
  int32_t PNG_Compression = 5;
  std::vector<std::string> PNG_TextKeys;
  std::vector<std::string> PNG_TextValues;

  // DICOM (the element list is a holder of TIOParams)
  double DICOM_ValueOffset = 0;
  uint8_t DICOM_Range = 0;
  int32_t DICOM_JPEGQuality = 80;
  double DICOM_J2000Rate = 0.07;
  std::array<double, 4> DICOM_RangeValues{0, 1.0, 0, 0};
  uint8_t DICOM_Compression = 1;

  // Targa
  int32_t TGA_XPos = 0;
  int32_t TGA_YPos = 0;
  bool TGA_Compressed = true;
  std::string TGA_ImageID;
  std::string TGA_Author;
  double TGA_Date = 0;
  std::string TGA_JobName;
  TRGB TGA_KeyColor{0, 0, 0};
  double TGA_AspectRatio = 1.0;
  double TGA_Gamma = 2.2;
  bool TGA_GrayLevel = false;

  std::vector<std::string> PXM_Comments;
  std::string XMP_Info;

  // AVI and media files
  int32_t AVI_FrameCount = 0;
  double AVI_FrameDelay = 0;
  int32_t Media_FrameCount = 0;
  double Media_FrameDelay = 0;

  // PostScript and PDF
  int32_t PS_PaperWidth = 595;
  int32_t PS_PaperHeight = 842;
  uint8_t PS_Compression = 1;
  std::string PS_Title = "No Title";
  int32_t PDF_PaperWidth = 595;
  int32_t PDF_PaperHeight = 842;
  int32_t PDF_Margin = 0;
  uint8_t PDF_Option = 2;
  std::string PDF_Title;
  std::string PDF_Author;
  std::string PDF_Subject;
  std::string PDF_Keywords;
  std::string PDF_Creator;
  std::string PDF_Producer;

  // Camera RAW
  bool RAW_HalfSize = false;
  double RAW_Gamma = 2.222;
  double RAW_GammaSlope = 4.5;
  double RAW_Brightness = 1.0;
  double RAW_RedScale = 1.0;
  double RAW_BlueScale = 1.0;
  bool RAW_FastInterpolation = true;
  bool RAW_Flag = false;
  bool RAW_AutoWhiteBalance = false;
  bool RAW_CameraWhiteBalance = false;
  bool RAW_FourColorRGB = false;
  uint8_t RAW_OutputColorSpace = 1;
  bool RAW_UseEmbeddedPreview = false;
  std::string RAW_CameraName;
  bool RAW_GetExifThumbnail = false;
  bool RAW_RotateThumbnail = false;
  std::string RAW_ExtraOptions;
  uint8_t RAW_DecoderMode = 1;
  uint8_t RAW_Option = 0;
  std::array<double, 4> RAW_Multipliers{0, 0, 0, 0};

  // Headerless raw pixels
  bool BMPRAW_BGR = false;
  bool BMPRAW_Planar = false;
  int32_t BMPRAW_RowAlign = 8;
  int32_t BMPRAW_HeaderSize = 0;
  uint8_t BMPRAW_DataFormat = 0;  // 0 binary, 1 decimal text, 2 hexadecimal text
  bool BMPRAW_Flag = false;

  // PSD
  bool PSD_LoadLayers = false;
  bool PSD_ReplaceLayers = true;
  bool PSD_MergedTransparency = false;
  bool PSD_LoadMerged = true;
  bool PSD_WriterOption = false;
  std::string PSD_LayerName;

  // Platform imaging component
  double WIC_Quality = 0.9;
  bool WIC_Flag = false;
  TPXWICCodecInfo WIC_CodecInfo;

  // Layers file
  int32_t Layers_HeaderValueA = -1;
  std::string Layers_Description;
  bool Layers_GetThumbnail = false;
  bool Layers_Flag = true;
  int32_t Layers_HeaderValueB = 0;
  int32_t Layers_Version = 0;

  int32_t SVG_ImageFileType = 8;

  bool NativePixelFormat = false;
  int32_t DpiX = 300;
  int32_t DpiY = 300;
  std::vector<TRGB> ColorMap;  // palette of the file read
  int32_t ColorMapCount = 0;

  std::array<TPXIcoSize, 16> ICO_Sizes{};
  std::array<int32_t, 16> ICO_BitCounts{8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
};

// The EXIF and GPS fields at their reset values.
struct TIOParamsExif {
  bool EXIF_HasEXIFData = false;
  std::string EXIF_ImageDescription;
  std::string EXIF_Make;
  std::string EXIF_Model;
  int32_t EXIF_Orientation = 0;
  double EXIF_XResolution = 0;
  double EXIF_YResolution = 0;
  int32_t EXIF_ResolutionUnit = 0;
  std::string EXIF_Software;
  std::string EXIF_Artist;
  std::string EXIF_DateTime;
  std::array<double, 2> EXIF_WhitePoint{-1, -1};
  std::array<double, 6> EXIF_PrimaryChromaticities{-1, -1, -1, -1, -1, -1};
  std::array<double, 3> EXIF_YCbCrCoefficients{-1, -1, -1};
  int32_t EXIF_YCbCrPositioning = -1;
  std::array<double, 6> EXIF_ReferenceBlackWhite{-1, -1, -1, -1, -1, -1};
  std::string EXIF_Copyright;
  double EXIF_ExposureTime = -1;
  double EXIF_FNumber = -1;
  int32_t EXIF_ExposureProgram = -1;
  std::array<int32_t, 2> EXIF_ISOSpeedRatings{0, 0};
  std::string EXIF_ExifVersion;
  std::string EXIF_DateTimeOriginal;
  std::string EXIF_DateTimeDigitized;
  double EXIF_CompressedBitsPerPixel = 0;
  double EXIF_ShutterSpeedValue = -1;
  double EXIF_ApertureValue = -1;
  double EXIF_BrightnessValue = -1000;
  double EXIF_ExposureBiasValue = -1000;
  double EXIF_MaxApertureValue = -1000;
  double EXIF_SubjectDistance = -1;
  int32_t EXIF_MeteringMode = -1;
  int32_t EXIF_LightSource = -1;
  int32_t EXIF_Flash = -1;
  double EXIF_FocalLength = -1;
  std::string EXIF_SubsecTime;
  std::string EXIF_SubsecTimeOriginal;
  std::string EXIF_SubsecTimeDigitized;
  std::string EXIF_FlashPixVersion;
  int32_t EXIF_ColorSpace = -1;
  int32_t EXIF_PixelXDimension = 0;
  int32_t EXIF_PixelYDimension = 0;
  std::string EXIF_RelatedSoundFile;
  double EXIF_FocalPlaneXResolution = -1;
  double EXIF_FocalPlaneYResolution = -1;
  int32_t EXIF_FocalPlaneResolutionUnit = -1;
  double EXIF_ExposureIndex = -1;
  int32_t EXIF_SensingMethod = -1;
  int32_t EXIF_FileSource = -1;
  int32_t EXIF_SceneType = -1;
  std::string EXIF_UserComment;
  std::string EXIF_UserCommentCode;
  int32_t EXIF_Rating = -1;
  std::string EXIF_XPTitle;
  std::string EXIF_XPComment;
  std::string EXIF_XPAuthor;
  std::string EXIF_XPKeywords;
  std::string EXIF_XPSubject;
  int32_t EXIF_ExposureMode = -1;
  int32_t EXIF_WhiteBalance = -1;
  double EXIF_DigitalZoomRatio = -1;
  int32_t EXIF_FocalLengthIn35mmFilm = -1;
  int32_t EXIF_SceneCaptureType = -1;
  int32_t EXIF_GainControl = -1;
  int32_t EXIF_Contrast = -1;
  int32_t EXIF_Saturation = -1;
  int32_t EXIF_Sharpness = -1;
  int32_t EXIF_SubjectDistanceRange = -1;
  std::string EXIF_ImageUniqueID;
  std::string EXIF_GPSVersionID;
  std::string EXIF_GPSLatitudeRef;
  std::array<double, 3> EXIF_GPSLatitude{0, 0, 0};
  std::string EXIF_GPSLongitudeRef;
  std::array<double, 3> EXIF_GPSLongitude{0, 0, 0};
  std::string EXIF_GPSAltitudeRef;
  double EXIF_GPSAltitude = 0;
  std::array<double, 3> EXIF_GPSTimeStamp{0, 0, 0};
  std::string EXIF_GPSSatellites;
  std::string EXIF_GPSStatus;
  std::string EXIF_GPSMeasureMode;
  double EXIF_GPSDOP = 0;
  std::string EXIF_GPSSpeedRef;
  double EXIF_GPSSpeed = 0;
  std::string EXIF_GPSTrackRef;
  double EXIF_GPSTrack = 0;
  std::string EXIF_GPSImgDirectionRef;
  double EXIF_GPSImgDirection = 0;
  std::string EXIF_GPSMapDatum;
  std::string EXIF_GPSDestLatitudeRef;
  std::array<double, 3> EXIF_GPSDestLatitude{0, 0, 0};
  std::string EXIF_GPSDestLongitudeRef;
  std::array<double, 3> EXIF_GPSDestLongitude{0, 0, 0};
  std::string EXIF_GPSDestBearingRef;
  double EXIF_GPSDestBearing = 0;
  std::string EXIF_GPSDestDistanceRef;
  double EXIF_GPSDestDistance = 0;
  std::string EXIF_GPSDateStamp;
  std::string EXIF_InteropIndex;
  std::string EXIF_InteropVersion;
  std::string EXIF_CameraOwnerName;
  std::string EXIF_BodySerialNumber;
  std::string EXIF_LensMake;
  std::string EXIF_LensModel;
  std::string EXIF_LensSerialNumber;
  double EXIF_Gamma = -1;
  std::array<int32_t, 4> EXIF_SubjectArea{-1, -1, -1, -1};
  std::array<int32_t, 2> EXIF_SubjectLocation{-1, -1};
};

// ClearMetadata parts (an empty set means all).
inline constexpr uint32_t pxcmAnnotations = 1;
inline constexpr uint32_t pxcmDicom = 2;
inline constexpr uint32_t pxcmExif = 4;
inline constexpr uint32_t pxcmInputProfile = 8;
inline constexpr uint32_t pxcmIptc = 16;
inline constexpr uint32_t pxcmMarkers = 32;
inline constexpr uint32_t pxcmXmp = 64;
inline constexpr uint32_t pxcmTexts = 128;

class TIOParams : public TObject, public TIOParamsValues, public TIOParamsExif {
 public:
  // Owner: the TPixoranIO (an IPXParamsOwnerIO) or TPXBitmap that owns the record; any other
  // object is kept as none.
  explicit TIOParams(TObject* Owner = nullptr);
  ~TIOParams() override;
  TIOParams(const TIOParams&) = delete;
  TIOParams& operator=(const TIOParams&) = delete;

  TObject* Owner() const { return FOwner; }
  // The owner when it is an I/O component, else nil.
  IPXParamsOwnerIO* GetOwnerIO() const;

  void ResetToDefaults();
  // A full copy; page indexes and counts go through SetImageIndex / SetImageCount with the
  // source's indexes in the order TIFF, GIF, DCX, ICO, CUR (so the cursor index wins) and its
  // AVI_FrameCount.
  void Assign(const TIOParams* Source);
  // Only what a writer needs.
  void AssignSaveOptions(const TIOParams* Source);
  // Parts: pxcm* bits; 0 clears everything.
  void ClearMetadata(uint32_t Parts);
  void ResetExif();

  // Page and frame fields kept together.
  void SetImageIndex(int32_t Value);
  void SetImageCount(int32_t Value);
  void SetAutoRotate(bool Value);
  void SetGetThumbnail(bool Value);
  void SetJpegGetThumbnail(bool Value);
  void SetRawGetExifThumbnail(bool Value) { RAW_GetExifThumbnail = Value; }
  void SetTiffOrientation(int32_t Value);
  void SetExifOrientation(int32_t Value);
  void SetColorsFromPixelFormat(TPXPixelFormat PixelFormat);

  // Resolution, mirrored as EXIF_XResolution / EXIF_YResolution.
  void SetDpiX(int32_t Value);
  void SetDpiY(int32_t Value);
  void SetExifXResolution(double Value);
  void SetExifYResolution(double Value);

  // EXIF tag list and the setters that keep it true.
  const std::vector<uint16_t>& EXIF_Tags() const { return FExifTags; }
  void MarkExifTag(int32_t Tag);
  void UnmarkExifTag(int32_t Tag);
  bool IsExifTagMarked(int32_t Tag) const;
  void SetExifExposureTime(double Value);
  void SetExifFNumber(double Value);
  void SetExifShutterSpeedValue(double Value);
  void SetExifApertureValue(double Value);
  void SetExifSubjectDistance(double Value);
  void SetExifFocalLength(double Value);
  void SetExifFocalPlaneXResolution(double Value);
  void SetExifFocalPlaneYResolution(double Value);
  void SetExifExposureIndex(double Value);
  void SetExifBrightnessValue(double Value);
  void SetExifExposureBiasValue(double Value);
  void SetExifMaxApertureValue(double Value);
  void SetExifCompressedBitsPerPixel(double Value);
  void SetExifExposureProgram(int32_t Value);
  void SetExifMeteringMode(int32_t Value);
  void SetExifLightSource(int32_t Value);
  void SetExifFlash(int32_t Value);
  void SetExifColorSpace(int32_t Value);
  void SetExifFocalPlaneResolutionUnit(int32_t Value);
  void SetExifSensingMethod(int32_t Value);
  void SetExifFileSource(int32_t Value);
  void SetExifSceneType(int32_t Value);
  void SetExifPixelXDimension(int32_t Value);
  void SetExifPixelYDimension(int32_t Value);
  // EXIF_DateTime from a date-time ("yyyy:mm:dd hh:mm:ss"; 0 empties it).
  void SetExifDateTimeValue(TDateTime Value);
  // EXIF_DateTimeOriginal as a date-time (0 when empty, zero or not a date).
  TDateTime GetExifDateTimeOriginalValue() const;
  // Array items; indexes outside the array are ignored (getters answer 0).
  void SetExifIsoSpeedRatings(int32_t Index, int32_t Value);
  int32_t GetExifIsoSpeedRatings(int32_t Index) const;
  void SetExifSubjectArea(int32_t Index, int32_t Value);
  int32_t GetExifSubjectArea(int32_t Index) const;
  void SetExifSubjectLocationX(int32_t Value) { EXIF_SubjectLocation[0] = Value; }
  void SetExifSubjectLocationY(int32_t Value) { EXIF_SubjectLocation[1] = Value; }
  void SetExifGamma(double Value) { EXIF_Gamma = Value; }
  void SetExifWhitePoint(int32_t Index, double Value);
  double GetExifWhitePoint(int32_t Index) const;
  void SetExifPrimaryChromaticities(int32_t Index, double Value);
  double GetExifPrimaryChromaticities(int32_t Index) const;
  void SetExifReferenceBlackWhite(int32_t Index, double Value);
  double GetExifReferenceBlackWhite(int32_t Index) const;
  void SetExifYCbCrCoefficients(int32_t Index, double Value);
  double GetExifYCbCrCoefficients(int32_t Index) const;

  // Latitude, longitude and their destination forms rewritten as whole degrees, whole minutes
  // and seconds with the reference letter of the value's sign.
  void NormalizeGps();

  // Width, Height and the reader options for a thumbnail of at most W x H; answers
  // Layers_GetThumbnail.
  bool PrepareForThumbnail(int32_t W, int32_t H, bool AllowEmbedded);
  // Frame delay in milliseconds by FileType.
  int32_t GetImageDelayTime() const;
  double GetRawMultiplier(int32_t Index) const;

  // The whole record in the versioned parameters stream (written as version 87). Loading reads
  // every version from 0, leaving fields the version lacks as they were; with CheckMagic the
  // stream must start with the magic, else EPXException. A short or inconsistent stream raises
  // EReadError "Stream read error" and the record keeps its former values.
  void SaveToStream(TStream* Stream);
  void LoadFromStream(TStream* Stream, bool CheckMagic);

  // Reads the parameters of the picture in Stream (FileType, or found from the content when 0)
  // with a temporary I/O component working on a copy of this record, and copies the result back.
  bool ReadParamsFromStream(TStream* Stream, int32_t FileType);

  // The XMP packet; its parsed form goes under the dictionary key "XMP".
  void SetXmpInfo(std::string_view Text);

  // The palette of the file read.
  void SetColorMap(const TRGB* Colors, int32_t Count);
  void FreeColorMap();

  // On-demand holders (created on first call, freed by reset and ClearMetadata).
  TPXICC* GetInputICCProfile();
  TPXICC* GetOutputICCProfile();
  TPXICC* GetDefaultInputICCProfile();
  TPXImagingAnnot* GetImagingAnnot();
  TPXDicomTags* GetDicomTags();
  // The holders as they are (nil when not created).
  TPXICC* InputICC() const { return FInputICC.get(); }
  TPXICC* OutputICC() const { return FOutputICC.get(); }
  TPXICC* DefaultInputICC() const { return FDefaultInputICC.get(); }
  TPXImagingAnnot* ImagingAnnot() const { return FImagingAnnot.get(); }
  TPXDicomTags* DICOM_Tags() const { return FDicomTags.get(); }
  TPXBitmap* EXIF_Thumbnail() const { return FExifThumbnail.get(); }
  // Replaces the EXIF thumbnail (nil frees it); a new empty one when Create.
  void SetExifThumbnail(std::unique_ptr<TPXBitmap> Bitmap);
  TPXBitmap* CreateExifThumbnail();
  // Hands the EXIF thumbnail over to the caller (nil when none); the record then has none.
  std::unique_ptr<TPXBitmap> TakeExifThumbnail();

  // DICOM transfer syntax by index 0..10 of the DICOM codec's table (see
  // SetDicomTransferSyntaxes); with elements present they are read from and written to (0002,0010).
  int32_t GetDicomCompression() const;
  void SetDicomCompression(int32_t Value);
  double GetDicomFrameDelay() const;

  // "<full name> (<EXT> <detail>)" of the registry entry of FileType; empty without one.
  std::string GetFormatDescription() const;
  // "<w> x <h> pixels, <n> Colors" (either part alone when the other is missing).
  std::string GetImageDescription() const;

  // Holders always present.
  TPXDictionary Dictionary{103};
  TPXMarkerList JPEG_Markers;
  TPXIPTCInfoList IPTC_Info;
  TPXPixoranAnnot PixoranAnnot{this};
  TPXTagsHandler EXIF_MakerNote;

 private:
  friend void CopyExifParams(const TIOParams* Source, TIOParams* Dest, bool WithThumbnail);
  void DpiChanged();
  void MarkIf(bool Condition, int32_t Tag);
  // The owner's bitmap size (0 x 0 without one or on any failure).
  void SizeFromOwner();

  TObject* FOwner = nullptr;
  std::vector<uint16_t> FExifTags;
  std::unique_ptr<TPXBitmap> FExifThumbnail;
  std::unique_ptr<TPXICC> FInputICC;
  std::unique_ptr<TPXICC> FOutputICC;
  std::unique_ptr<TPXICC> FDefaultInputICC;
  std::unique_ptr<TPXImagingAnnot> FImagingAnnot;
  std::unique_ptr<TPXDicomTags> FDicomTags;
};

// Copies the EXIF group of Source into Dest (tags, fields, maker note; the thumbnail too when
// WithThumbnail) through Dest's setters, so its resolution, orientation and tag list follow.
void CopyExifParams(const TIOParams* Source, TIOParams* Dest, bool WithThumbnail);

// The DICOM codec's transfer-syntax identifiers, index 0..10; until it registers them no
// element text maps to an index.
void SetDicomTransferSyntaxes(const std::array<std::string, 11>* Table);

// Fills the pixel container's parameter interface (TPXBitmap::GetParams / SetHasParams); part of
// the I/O layer's registration at start-up.
void RegisterBitmapParams();
