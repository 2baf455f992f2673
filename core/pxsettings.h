// The library-wide settings object: defaults, thresholds and pluggable pieces of the image
// library, one instance reached through GlobalSettingsInstance.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"

class TIOParams;

// Parameters of the word transition effect.
class TPXWordTransitionParams : public TObject {
 public:
  std::string Text = "A";
  std::string FontName = "Arial";
  uint8_t Style = 1;  // font style set: bit 0 bold
  uint16_t MaxHeight = 200;
};

// Hint colours and translucency (an opacity below 255 means translucent).
class TPXHintStyle : public TObject {
 public:
  int32_t BackColor = static_cast<int32_t>(0xFF000015);
  int32_t TextColor = 0xFFFFFF;
  int32_t Opacity = 128;
};

// Defaults copied into every new set of I/O parameters.
class TIOParamDefaults : public TObject {
 public:
  uint8_t AutoRotate = 0;
  uint8_t RawAutoRotateThumbnail = 0;
  uint8_t RawHalfSize = 0;
  uint8_t RawGetEmbeddedPreview = 0;
  uint8_t RawFlag = 0;
  uint8_t RawQuickInterpolate = 1;
  uint8_t RawAutoAdjustColors = 0;
  uint8_t RawCameraWhiteBalance = 0;
  uint8_t JpegDctMethod = 0;
  int32_t JpegQuality = 80;
  uint8_t JpegScale = 1;
  uint8_t PsdLoadLayers = 0;
  uint8_t DicomRange = 0;
};

// Coder hooks. GIF: the decoder reads the code-size byte and the sub-blocks from the stream's
// position into IndexBuffer (Width x Height indices); the encoder writes them. TIFF: incremental
// coders of one strip or tile, the state kept by the caller between calls (DataSize bounds the
// compressed input of the decoder).
using TPXGifLzwDecompressProc = void (*)(TStream* Stream, int32_t Height, int32_t Width, uint8_t* IndexBuffer,
                                         bool Interlaced);
using TPXGifLzwCompressProc = void (*)(TStream* Stream, int32_t Height, int32_t Width, int32_t BitsPerPixel,
                                       const uint8_t* IndexBuffer, bool Interlaced);
using TPXTiffLzwDecompressProc = uint8_t* (*)(const uint8_t* Data, int64_t DataSize, int32_t RowBytes,
                                              void*& State, int32_t FillOrder);
using TPXTiffLzwCompressProc = void (*)(const uint8_t* Data, int32_t Count, TStream* Stream, void*& State);
// Converts one row between colour kinds (0 RGB in file order, 1 BGR, 2 CMYK), through the input
// colour profile of Params when colour management applies.
using TPXConvertColorRowsProc = void (*)(const void* Source, int32_t SourceKind, void* Target, TIOParams* Params,
                                         int32_t Width, int32_t TargetKind);
// Places one of the library's dialogs instead of the default placement.
using TPXDialogPositionProc = void (*)(HWND Window);

class TPXPixoranGlobalSettings : public TObject {
 public:
  TPXPixoranGlobalSettings();
  ~TPXPixoranGlobalSettings() override;

  // FCustomColors, or the sixteen default "ColorA=..." lines joined by CR LF when it is empty.
  void GetCustomColors(std::string& Text) const;
  // FDialogHeaderStyle; style 3 gives 0 without a usable header picture.
  uint8_t GetDialogHeaderStyle() const;
  // FLanguage 1, or 0 while the system language is English.
  bool IsEnglishLanguage() const;
  bool GetUseGDIPlus() const { return FUseGDIPlus != 0; }

  uint8_t FLanguage = 0;
  int32_t FProcessorCoreCount = -1;
  int32_t FRawReadBufferSize = 1024;
  uint8_t FWindowsVersion = 10;
  uint8_t FWindowsNT = 1;
  uint8_t FPreviewZoomFilter = 9;
  uint8_t FDefaultResampleFilter = 9;
  TPXDialogPositionProc FDialogPositionHook = nullptr;
  std::unique_ptr<TFont> FDefaultFont;  // made on first use, freed by the utilities' tear-down
  int64_t FBitmapMemoryLimit = -1;
  uint8_t FFileFallback = 1;
  uint8_t FSegmentedMemory = 1;
  uint8_t FUseGDIPlus = 1;
  uint8_t FDialogButtonGlyphs = 0;
  uint8_t FPreviewBackgroundStyle = 0;
  TColor FPreviewBackgroundColor = clBtnFace;
  std::string FVideoExtensions = "mpg,mpeg,wmv,avi";
  int32_t FScreenBitsPerPixel = 32;
  uint8_t FRemoteSession = 0;
  int32_t FScreenDPIX = 96;
  int32_t FScreenDPIY = 96;
  int32_t FDefaultDPIX = 300;
  int32_t FDefaultDPIY = 300;
  uint8_t FHasMMX = 0;
  int32_t FEdgeWidth = 2;
  int32_t FEdgeHeight = 2;
  int32_t FBorderWidth = 1;
  int32_t FBorderHeight = 1;
  int32_t FHScrollHeight = 17;
  int32_t FPixelGridMinZoom = 400;
  int32_t FThumbnailHintTimeout = 10000;
  int32_t FGridMajorLineEvery = 0;
  int32_t FGridCellSize = 5;
  std::unique_ptr<TPen> FGridPen;  // set up and freed by the view's unit
  TColor FPixelGridColor = 0xA0A0A0;
  std::string FVideoFileMasks =
      "*.AVI;*.MPG;*.MPE;*.MPEG;*.WMV;*.ASF;*.IVF;*.WM;*.MP4;*.MOV;*.QT;*.RM;*.M2TS;*.MTS;*.MOD;";
  TPXGifLzwDecompressProc FGIFLZWDecompress = nullptr;
  TPXGifLzwCompressProc FGIFLZWCompress = nullptr;
  TPXTiffLzwDecompressProc FTIFFLZWDecompress = nullptr;
  TPXTiffLzwCompressProc FTIFFLZWCompress = nullptr;
  std::unique_ptr<TList> FFileFormats;  // the file-format registry, built at start-up
  uint8_t FCMYKProfileConversion = 1;
  uint8_t FUseFileExists = 0;
  int32_t FMetafileMaxSize = 8000;
  std::string FTempDirectory;
  TPXConvertColorRowsProc FConvertColorRows = nullptr;  // set by the I/O support's start-up
  uint8_t FColorProfileOnLoad = 0;
  int32_t FQuantizerMethod = -1;
  int32_t FQuantizerSampling = -1;
  int32_t FAnnotationsTiffTag = 40101;
  uint8_t FStreamRelativeOrigin = 0;
  uint8_t FTransitionResampleFilter = 0;
  int32_t FGrayWeightRed = 21;
  int32_t FGrayWeightGreen = 71;
  int32_t FGrayWeightBlue = 8;
  uint8_t FAdobeRGBMode = 2;
  uint8_t FMakerNoteMode = 1;
  std::unique_ptr<TPXWordTransitionParams> FWordTransitionParams;
  uint8_t FTransitionAltPattern = 0;
  uint8_t FTransitionAltValue = 15;
  uint8_t FDisplayICC = 1;
  int32_t FPreviewsDialogWidth = 0;
  int32_t FPreviewsDialogHeight = 0;
  int32_t FMaxThreads = 4;
  int64_t FMultiThreadMinPixels = 65536;
  uint8_t FDicomAfterPixelData = 0;
  int32_t FJpeg2000MemoryLimit = 300000000;
  uint8_t FDialogHeaderStyle = 0;
  std::unique_ptr<TGraphic> FDialogHeaderPicture;
  std::string FProxyAddress;
  std::string FProxyUser;
  std::string FProxyPassword;
  uint8_t FCameraRawEngine = 0;
  int32_t FRawPreviewMinWidth = 800;
  int32_t FRawPreviewMinHeight = 800;
  int32_t FOpenDialogMaxFiles = 1000;
  std::string FWICExtensions;
  uint8_t FUseExifDate = 0;
  int32_t FLayersFileThumbnailSize = 250;
  uint8_t FNewShapeLayerShape = 0;
  std::string FNewTextLayerText;
  uint8_t FNewTextLayerFlag = 0;
  uint8_t FAnnotTextUTF8 = 1;
  int32_t FFloatDigits = 2;
  std::unique_ptr<TIOParamDefaults> FIOParamDefaults;
  uint8_t FNewLayerFlag = 0;
  int32_t FShapeStepDivisor = 4;
  int32_t FSoftShadowParam = 50;
  uint8_t FLayerPropsAdvancedTab = 0;
  int32_t FLayerPropsWidth = 0;
  int32_t FLayerPropsHeight = 0;
  int32_t FMouseMoveThreshold = 70;
  std::string FVisionLog;
  std::unique_ptr<TPXHintStyle> FHintStyle;
  std::string FCustomColors;
  uint8_t FUseStandardOpenDialog = 0;
  int32_t FClickTolerance = 10;
  std::array<uint16_t, 12> FTextShortcuts{};  // Ctrl+L, E, R, J, C, X, V, F, B, I, U, G
  std::array<std::string, 11> FUnitNames{"pixels", "inches", "km",    "m",     "cm",   "mm",
                                         "microns", "nanometers", "feet", "yards", "miles"};

  // Library services:
  // FCameraRawEngine; 0 resolves to 1 when the companion library's interface can be had, else 2.
  uint8_t GetCameraRawEngine() const;
  // File that AppendDebugLog appends its dated lines to; empty: no log.
  std::string FDebugLogFile;
};

// The single settings object, created on first use (not locked: first use is at start-up).
TPXPixoranGlobalSettings* GlobalSettingsInstance();
// Frees it; a later GlobalSettingsInstance builds a fresh one with the defaults.
void FreeGlobalSettings();

// Library services:
// The settings object when it exists, else nil (never creates it).
TPXPixoranGlobalSettings* GlobalSettingsAssigned();
// Answers whether the companion library's interface can be had; its loader installs it
// (nil: no companion library, as before its loader is registered).
using TPXCompanionProbeProc = bool (*)();
void SetCompanionLibraryProbe(TPXCompanionProbeProc Probe);
