// The processing unit: the preview dialog's remembered settings, the convolution presets, the
// clipboard format ids, start-up and tear-down, and the rectangular crop.
#include <mutex>

#include "core/hypxutils_startup.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Clipbrd.h"
#include "proc/pixoranproc.h"

// ---------------------------------------------------------------------------------------------
// TIPDialogParams

const char* const IPDialogParamKeys[IPDialogParamKeyCount] = {
    "CONTRAST_CONTRAST", "CONTRAST_BRIGHTNESS", "HSV_H", "HSV_S", "HSV_V", "HSL_H", "HSL_S", "HSL_L", "RGB_R",
    "RGB_G", "RGB_B", "USERFILTER_VALUES00", "USERFILTER_VALUES01", "USERFILTER_VALUES02", "USERFILTER_VALUES10",
    "USERFILTER_VALUES11", "USERFILTER_VALUES12", "USERFILTER_VALUES20", "USERFILTER_VALUES21",
    "USERFILTER_VALUES22", "USERFILTER_DIVISOR", "EQUALIZATION_THRESHOLDDOWN", "EQUALIZATION_THRESHOLDUP",
    "EQUALIZATION_EQDOWN", "EQUALIZATION_EQUP", "EQUALIZATION_EQUALIZEBUTTON", "BUMPMAP_LEFT", "BUMPMAP_TOP",
    "BUMPMAP_WIDTH", "BUMPMAP_HEIGHT", "BUMPMAP_COL", "BUMPMAP_SRC", "BUMPMAP_AUTO", "LENS_LEFT", "LENS_TOP",
    "LENS_WIDTH", "LENS_HEIGHT", "LENS_REF", "LENS_AUTO", "WAVE_AMPLITUDE", "WAVE_WAVELENGTH", "WAVE_PHASE",
    "WAVE_REFLECT", "MORPH_FILTER", "MORPH_WINSIZE", "ROTATE_ANGLE", "GAMMACORRECTION_VALUE", "SHARPEN_SHARPEN",
    "SHARPEN_SIZE", "FFT_LEFT", "FFT_TOP", "FFT_RIGHT", "FFT_BOTTOM", "FFT_GRAYSCALE", "RESIZE_WIDTHPERCENT",
    "SHADOW_RADIUS", "SHADOW_OFFSET", "FLIP_HORZ", "FLIP_VERT", "GAMMACORRECTION_RED", "GAMMACORRECTION_GREEN",
    "GAMMACORRECTION_BLUE", "RESIZE_HEIGHTPERCENT", "RESIZE_MAINTAINAR", "SHADOW_POSITION", "SHADOW_COLOR",
    "EQUALIZATION_GRAY", "EQUALIZATION_BLUE", "EQUALIZATION_GREEN", "EQUALIZATION_RED", "IPP_COLORCURVE_POINTS",
    "IPP_COLORCURVE_CHANNEL",
};

TIPDialogParams::TIPDialogParams() : FStream(std::make_unique<TMemoryStream>()) { Reset(); }

TIPDialogParams::~TIPDialogParams() = default;

void TIPDialogParams::Reset() {
  FContrastContrast = FContrastBrightness = FHsvH = FHsvS = -1;
  FHsvV = FHslH = -1;
  for (int32_t& v : FZeroValues) v = 0;
  for (auto& row : FUserFilter)
    for (int32_t& v : row) v = 0;
  FUserFilter[1][1] = 1;
  FUserFilterDivisor = 0;
  FColors[0] = 0x000000;
  FColors[1] = 0xFFFFFF;
  FColors[2] = 0x000000;
  FColors[3] = 0xFFFFFF;
  FBumpMapRect = TRect(0, 0, 150, 150);
  FBumpMapColor = 0xFFFFFF;
  FBumpMapAuto = true;
  FLensRect = TRect(0, 0, 150, 150);
  FLensRef = 1.7;
  FLensAuto = true;
  FWaveAmplitude = 10;
  FWaveLength = 10;
  FGamma = 1.0;
  FMorphFilter = 1;
  FMorphWinSize = 4;
  FResizeWidthPercent = 50;
  FResizeHeightPercent = 50;
  FShadowRadius = 3;
  FShadowOffset = 3;
  FSharpen = 20;
  FSharpenSize = 25;
  FShadowPosition = 5;
  FColorCurvePoints.clear();
  FStream->Clear();
}

void TIPDialogParams::SetContrastContrast(int32_t Value) {
  FContrastContrast = Value;
  FStream->Clear();
}
void TIPDialogParams::SetContrastBrightness(int32_t Value) {
  FContrastBrightness = Value;
  FStream->Clear();
}
void TIPDialogParams::SetHsvH(int32_t Value) {
  FHsvH = Value;
  FStream->Clear();
}
void TIPDialogParams::SetHsvS(int32_t Value) {
  FHsvS = Value;
  FStream->Clear();
}

// ---------------------------------------------------------------------------------------------
// Presets, clipboard formats, start-up

namespace {
struct TProcessingUnitState {
  std::vector<TPXConvolutionKernel> Presets;
  std::vector<std::string> PresetNames;
  uint32_t RawFormat = 0;
  uint32_t LayerFormat = 0;
};

TProcessingUnitState& UnitState() {
  static TProcessingUnitState state;
  return state;
}
}  // namespace

const std::vector<TPXConvolutionKernel>& PXFilterPresets() { return UnitState().Presets; }
const std::vector<std::string>& PXFilterPresetNames() { return UnitState().PresetNames; }
uint32_t PixoranRawClipboardFormat() { return UnitState().RawFormat; }
uint32_t PixoranLayerClipboardFormat() { return UnitState().LayerFormat; }

void InitProcessingUnit() {
  // The bit expansion table is a constant (proc/pixoranproc_bits.h); nothing to build for it.
  TProcessingUnitState& s = UnitState();
  s.Presets = {
      {{0, 0, 0, 0, 1, 0, 0, 0, 0}, 0},        {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9},
      {{1, 1, 1, 1, -8, 1, 1, 1, 1}, 1},       {{-1, 0, 1, -1, 1, 1, -1, 0, 1}, 1},
      {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1},    {{-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1},
      {{1, -2, 1, -2, 5, -2, 1, -2, 1}, 1},    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 10},
      {{1, 2, 1, 2, 4, 2, 1, 2, 1}, 16},
  };
  s.PresetNames = {"None",        "Blur",        "Edges",      "Emboss",    "High Pass 1",
                   "High Pass 2", "High Pass 3", "Low Pass 1", "Low Pass 2"};
  s.RawFormat = RegisterClipboardFormat("PIXORAN RAW FORMAT");
  s.LayerFormat = RegisterClipboardFormat("PIXORAN LAYER FORMAT");
}

void FinalizeProcessingUnit() {
  TProcessingUnitState& s = UnitState();
  s.Presets.clear();
  s.PresetNames.clear();
}

void RegisterProcessingUnit() {
  RegisterLibrarySlot(lsInitProcessing, &InitProcessingUnit);
  RegisterLibrarySlot(lsFinalizeProcessing, &FinalizeProcessingUnit);
}

// ---------------------------------------------------------------------------------------------
// Crop

void TPixoranProc::Crop(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = TargetBitmap();
  if (Left == 0 && Top == 0 && Right == bmp->Width() - 1 && Bottom == bmp->Height() - 1) return;
  if (Right < Left || Bottom < Top) return;
  if (AutoUndo()) StoreUndoState(GetLanguageWord(236), pxuImage, true, 38);
  bmp->Crop(Left, Top, Right, Bottom, 0xFFFFFF);
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::CropToRect(const TRect& Rect) { Crop(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
