// TPXTextLayer's rendering: plain text through DrawTextBox, rich text through DrawRichTextBox
// and the hidden rich edit, turned by quarter turns afterwards; the output copy.
#include <algorithm>
#include <cmath>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_linecommon.h"
#include "layers/pxxLayers_textdraw.h"
#include "layers/pxxLayers_text.h"
#include "platform/gdi/Graphics.h"

namespace {

// The measuring resolution and scales of a ruler: the owner's picture DPI times its measure
// scale, and its zoom; without owner the settings' default DPI at 100 %.
struct TRulerMeasure {
  double DpiX, DpiY, ScaleX, ScaleY;
};

TRulerMeasure RulerMeasure(IPXLayerOwner* Owner) {
  TRulerMeasure m{0, 0, 1.0, 1.0};
  LayerMeasureDpi(Owner, m.DpiX, m.DpiY);
  if (!Owner) return m;
  m.ScaleX = Owner->ZoomX() / 100.0;
  m.ScaleY = Owner->ZoomY() / 100.0;
  return m;
}

TPXCanvas* PrepareTarget(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha) {
  PrepareKindRenderTarget(Dest, Width, Height, WithAlpha);
  return Dest->GetPXCanvas();
}

}  // namespace

double TPXTextLayer::BorderAspect() const {
  if (!FAspectRatioLocked || FIsRuler) return 0;
  return FStoredAspectRatio != 0 ? FStoredAspectRatio : ShapePreferredAspectRatio(static_cast<TPXShape>(FBorderShape));
}

void TPXTextLayer::ApplyNeededSize(int32_t NeededWidth, int32_t NeededHeight, bool GrowOnly) {
  if (GrowOnly) {
    SetWidth(std::max(GetWidth(), NeededWidth));
    SetHeight(std::max(GetHeight(), NeededHeight));
  } else {
    SetWidth(std::max(10, NeededWidth));
    SetHeight(std::max(10, NeededHeight));
  }
}

void TPXTextLayer::FinishAlpha(TPXBitmap* Dest, bool WithAlpha) {
  if (WithAlpha) Dest->SyncAlpha32(true, true);
  else Dest->RemoveAlphaChannel(false, clWhite);
}

void TPXTextLayer::RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool /*FastDrawing*/,
                                 bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t Reserved) {
  if (FEnableFormatting && !FRichText.empty() && !FIsRuler)
    RenderRichText(Dest, Width, Height, WithAlpha, FitAspect, Mode, Reserved);
  else
    RenderPlainText(Dest, Width, Height, WithAlpha, FitAspect, Mode, Reserved);
}

void TPXTextLayer::RenderPlainText(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                   bool FitAspect, uint8_t Mode, int32_t Reserved) {
  if (Width < 1) Width = GetOriginalWidth();
  if (Height < 1) Height = GetOriginalHeight();
  Width = std::max(1, Width);
  Height = std::max(1, Height);
  TPXCanvas* canvas = PrepareTarget(Dest, Width, Height, WithAlpha);
  TRect r(0, 0, Dest->Width(), Dest->Height());
  if (FitAspect) CalcFitRect(GetWidth(), GetHeight(), TRect(r), true, true, true, true, 0, false, r);
  const double aspect = BorderAspect();
  const double scaleX = double(Width) / std::max(1, GetWidth());
  const double scaleY = double(Height) / std::max(1, GetHeight());

  std::string text = FText;
  const TRulerMeasure m = RulerMeasure(FOwner);
  if (FIsRuler) FormatBoxArea(r, FRulerUnits, FBorderShape == 0, m.DpiX, m.DpiY, m.ScaleX, m.ScaleY, text);
  FMeasuredArea = MeasureBoxArea(r, FRulerUnits, FBorderShape == 0, m.DpiX, m.DpiY, m.ScaleX, m.ScaleY);

  TRect textRect;
  TPoint needed(0, 0);
  DrawTextBox(canvas, r.Left, r.Top, r.Right, r.Bottom, scaleX, scaleY, text, FFont.get(), FTextAlignment, FTextLayout,
              Round32(FRotate), FTextOverflow, FWordWrap, 0, FBorderColor, FBorderWidth, FFillOpacity, FFillColor,
              FFillColor2, FFillGradient, FFillOpacity, FHorzMargin, FVertMargin, FAutoSize, FAntiAlias, FBorderShape,
              Round32(FBorderRotate), aspect, textRect, FShapePoints, FDrawnPoints, Mode, needed);
  FTextOrigin = textRect.TopLeft();
  FTextFontHeight = canvas->GetFont()->Height();
  if (Mode == 2) {
    FTextFontHeight = 0;
    ApplyNeededSize(needed.X, needed.Y, Reserved != 0);
    return;
  }
  if (Mode == 3) return;
  FinishAlpha(Dest.get(), WithAlpha);
  FireBeforeDrawLayer(Dest.get());
}

void TPXTextLayer::RenderRichText(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                  bool FitAspect, uint8_t Mode, int32_t Reserved) {
  if (Width < 1) Width = GetOriginalWidth();
  if (Height < 1) Height = GetOriginalHeight();
  Width = std::max(1, Width);
  Height = std::max(1, Height);
  // The text is laid out upright and the picture turned by the nearest quarter afterwards.
  double a = FRotate;
  NormalizeAngle360F(a);
  const int32_t quarter = Trunc32((a + 45) / 90) % 4;
  double scaleX = double(Width) / std::max(1, GetWidth());
  double scaleY = double(Height) / std::max(1, GetHeight());
  if (quarter == 1 || quarter == 3) {
    std::swap(Width, Height);
    std::swap(scaleX, scaleY);
  }
  TPXCanvas* canvas = PrepareTarget(Dest, Width, Height, WithAlpha);
  TRect r(0, 0, Dest->Width(), Dest->Height());
  if (FitAspect) CalcFitRect(GetWidth(), GetHeight(), TRect(r), true, true, true, true, 0, false, r);
  const double aspect = BorderAspect();

  EnsureRichEdit();
  FRichEdit->SetRTFText(FRichText);
  TRect layerRect, targetRect;
  TPoint needed(0, 0);
  DrawRichTextBox(canvas, r.Left, r.Top, r.Right, r.Bottom, scaleX, scaleY, FRichEdit.get(), false, FTextAlignment,
                  FTextLayout, FWordWrap, FBorderColor, FBorderWidth, FFillOpacity, FFillColor, FFillColor2,
                  FFillGradient, FFillOpacity, FHorzMargin, FVertMargin, FAutoSize, FAntiAlias, FBorderShape, aspect,
                  layerRect, targetRect, FShapePoints, FDrawnPoints, Mode, needed);
  switch (quarter) {
    case 1: FTextOrigin = TPoint(targetRect.Left, targetRect.Bottom); break;
    case 2: FTextOrigin = TPoint(targetRect.Right, targetRect.Bottom); break;
    case 3: FTextOrigin = TPoint(targetRect.Right, targetRect.Top); break;
    default: FTextOrigin = targetRect.TopLeft(); break;
  }
  FTextFontHeight = FRichEdit->GetTextAttributesHeight();
  if (Mode == 2) {
    ApplyNeededSize(needed.X, needed.Y, Reserved != 0);
    return;
  }
  if (Mode == 3) return;
  FinishAlpha(Dest.get(), WithAlpha);
  FRichEdit->AddTransparentStyle();
  FRichEdit->PaintToDC(Dest->GetCanvas()->Handle(), targetRect, 0, 0, scaleX, scaleY);
  if (quarter != 0) Dest->Rotate(quarter * 90.0, 1, clWhite);
  FireBeforeDrawLayer(Dest.get());
}

void TPXTextLayer::CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                bool FitAspect) {
  const TPoint origin = FTextOrigin;
  const TPXPixelFormat format = Dest && Dest->PixelFormat() != pxNoFormat ? Dest->PixelFormat() : px24RGB;
  RenderContent(Dest, Width, Height, OwnerOutputFlag(), WithAlpha, FitAspect, 1, 0);
  if (Dest) Dest->SetPixelFormat(format);
  FTextOrigin = origin;
}
