// TPXTextLayer: construction, defaults, setters, the size layout, the rich edit and the record
// tail. Rendering is in pxxLayers_textrender.cpp.
#include "layers/pxxLayers_text.h"

#include <algorithm>
#include <cmath>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_linecommon.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Construction and defaults

TPXTextLayer::TPXTextLayer(IPXLayerOwner* Owner) : TPXLayer(Owner, pxlkText) {
  FUpdating = 1;
  FFont = std::make_unique<TFont>();
  FFont->SetOnChange(TNotifyEvent(this, &TPXTextLayer::FontChanged));
  SetDefaults();
  FWidth = 100.0;
  FHeight = 100.0;
  FTextOrigin = TPoint(0, 0);
  FIsRuler = 0;
  FRulerUnits = pxuPixels;
  FUpdating = 0;
}

TPXTextLayer::~TPXTextLayer() = default;

void TPXTextLayer::SetDefaults() {
  TPXLayer::SetDefaults();
  FBorderColor = clNone;
  FBorderWidth = 1;
  FFillColor = clNone;
  FFillColor2 = clNone;
  FFillGradient = 1;
  SetLayerFontDefaults(FFont.get(), 14);
  FBorderShape = 4;
  FBorderRotate = 0;
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  FText = settings ? settings->FNewTextLayerText : std::string();
  FRichText.clear();
  FEnableFormatting = settings ? settings->FNewTextLayerFlag : 0;
  FAutoSize = 0;
  FReadOnly = 0;
  FTextOverflow = 0;
  FTextAlignment = 0;
  FTextLayout = 0;
  FWordWrap = 1;
  FHorzMargin = 0;
  FVertMargin = 0;
  FIsRuler = 0;
  FRulerUnits = static_cast<TPXUnits>(settings ? settings->FNewLayerFlag : 0);
}

// ---------------------------------------------------------------------------------------------
// Setters

void TPXTextLayer::FontChanged(TObject* /*Sender*/) {
  if (FUpdating) return;
  Changed(true);
  if (FAutoSize) SizeToFit(false);
}

void TPXTextLayer::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  FRichText.clear();
  Changed(true);
  if (FAutoSize) SizeToFit(false);
}

void TPXTextLayer::SetRichText(const std::string& Value) {
  if (Value == FRichText) return;
  FRichText = Value;
  EnsureRichEdit();
  FRichEdit->SetRTFText(FRichText);
  FText = FRichEdit->GetPlainText();
  Changed(true);
  if (FAutoSize) SizeToFit(false);
}

void TPXTextLayer::SetAutoSize(bool Value) {
  if (Value == (FAutoSize != 0)) return;
  FAutoSize = Value;
  Changed(false);
  if (FAutoSize) SizeToFit(false);
}

void TPXTextLayer::SetBorderShape(uint8_t Value) {
  if (Value == FBorderShape) return;
  if (Value > 99) return;  // not a named shape: it could never be drawn
  FBorderShape = Value;
  Changed(true);
  if (FAutoSize) SizeToFit(false);
}

void TPXTextLayer::SetTextAlignment(uint8_t Value) {
  FTextAlignment = Value;
  Changed(true);
}

void TPXTextLayer::SetTextLayout(uint8_t Value) {
  FTextLayout = Value;
  Changed(true);
}

void TPXTextLayer::SetTextOverflow(uint8_t Value) {
  FTextOverflow = Value;
  Changed(true);
}

void TPXTextLayer::SetReadOnly(bool Value) {
  FReadOnly = Value;
  Changed(false);
}

void TPXTextLayer::SetWordWrap(bool Value) {
  FWordWrap = Value;
  Changed(false);
}

void TPXTextLayer::SetBorderRotate(double Value) {
  if (Value == FBorderRotate) return;
  FBorderRotate = Value;
  Changed(true);
}

void TPXTextLayer::SetIsRuler(bool Value) {
  FIsRuler = Value;
  if (Value) FEnableFormatting = 0;
  Changed(true);
}

void TPXTextLayer::SetRulerUnits(TPXUnits Value) {
  if (Value == FRulerUnits) return;
  FRulerUnits = Value;
  Changed(true);
}

void TPXTextLayer::ApplyTextPlacement(uint8_t Action, int32_t Value) {
  if (Action == 3) SetTextAlignment(static_cast<uint8_t>(Value));
  else if (Action == 4) SetTextLayout(static_cast<uint8_t>(Value));
}

void TPXTextLayer::KindRotated() {
  if (FAutoSize) SizeToFit(false);
}

// ---------------------------------------------------------------------------------------------
// Size layout and the rich edit

void TPXTextLayer::SizeToFit(bool GrowOnly) {
  RenderContent(LayerScratchBitmap(), std::max<int32_t>(1, Round32(FWidth)), std::max<int32_t>(1, Round32(FHeight)),
                true, false, false, 2, GrowOnly ? 1 : 0);
}

void TPXTextLayer::EnsureRichEdit() {
  if (!FRichEdit) FRichEdit = CreateLayerRichEdit();
}

// ---------------------------------------------------------------------------------------------
// Record tail

void TPXTextLayer::WriteRecordTail(TStream* Stream) {
  TLayerRecordWriter w(Stream);
  w.WideString(FText);
  w.WideString(FRichText);
  w.Byte(FEnableFormatting != 0 ? 1 : 0);
  w.Byte(FBorderShape);
  WriteFontToStream(Stream, FFont.get());
  w.Byte(FAutoSize != 0 ? 1 : 0);
  w.Byte(FReadOnly != 0 ? 1 : 0);
  w.Byte(FTextAlignment);
  w.Byte(FTextLayout);
  w.Byte(FWordWrap != 0 ? 1 : 0);
  w.Double(FHorzMargin);
  w.Double(FVertMargin);
  w.Byte(FTextOverflow);
  w.Byte(FIsRuler != 0 ? 1 : 0);
  w.Byte(static_cast<uint8_t>(FRulerUnits));
  w.Double(FBorderRotate);
}

void TPXTextLayer::ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) {
  TLayerRecordReader r(Stream, RecordEnd);
  // Everything is read before anything is stored, so a refused record changes no property of
  // the tail.
  const std::string text = r.WideString();
  std::string richText = FRichText;
  uint8_t enableFormatting = 0;
  if (Version >= 8006) {
    richText = r.WideString();
    enableFormatting = r.Byte() != 0 ? 1 : 0;
  }
  const uint8_t borderShape = r.Byte();
  if (borderShape > 99) ThrowLayerRecordCorrupted();  // no named shape: it could never be drawn
  TFont font;
  ReadLayerFont(r, &font);
  const uint8_t autoSize = r.Byte();
  const uint8_t readOnly = r.Byte();
  const uint8_t alignment = r.Byte();
  const uint8_t layout = r.Byte();
  uint8_t wordWrap = FWordWrap, overflow = FTextOverflow, isRuler = FIsRuler;
  uint8_t units = static_cast<uint8_t>(FRulerUnits);
  double horzMargin = FHorzMargin, vertMargin = FVertMargin, borderRotate = FBorderRotate;
  if (Version >= 8000) {
    wordWrap = r.Byte();
    horzMargin = r.Double();
    vertMargin = r.Double();
    overflow = r.Byte();
    isRuler = r.Byte();
    units = r.Byte();
  }
  if (Version >= 8002) borderRotate = r.Double();
  if ((units & 0x7F) > static_cast<uint8_t>(pxuMiles)) ThrowLayerRecordCorrupted();  // no such unit

  FText = text;
  FRichText = richText;
  FEnableFormatting = enableFormatting;
  FBorderShape = borderShape;
  FFont->Assign(&font);
  FAutoSize = autoSize != 0 ? 1 : 0;
  FReadOnly = readOnly != 0 ? 1 : 0;
  FTextAlignment = alignment;
  FTextLayout = layout;
  FWordWrap = wordWrap != 0 ? 1 : 0;
  FHorzMargin = horzMargin;
  FVertMargin = vertMargin;
  FTextOverflow = overflow;
  FIsRuler = isRuler != 0 ? 1 : 0;
  FRulerUnits = static_cast<TPXUnits>(units);
  FBorderRotate = borderRotate;
}

// ---------------------------------------------------------------------------------------------
// Copy, swap and the geometry queries

void TPXTextLayer::AssignContent(TPXLayer* Source) {
  auto* s = dynamic_cast<TPXTextLayer*>(Source);
  if (!s) return;
  FFont->Assign(s->FFont.get());
  FText = s->FText;
  FRichText = s->FRichText;
  FEnableFormatting = s->FEnableFormatting;
  FAutoSize = s->FAutoSize;
  FBorderShape = s->FBorderShape;
  FTextAlignment = s->FTextAlignment;
  FTextLayout = s->FTextLayout;
  FReadOnly = s->FReadOnly;
  FTextOverflow = s->FTextOverflow;
  FWordWrap = s->FWordWrap;
  FHorzMargin = s->FHorzMargin;
  FVertMargin = s->FVertMargin;
  FBorderRotate = s->FBorderRotate;
  FIsRuler = s->FIsRuler;
  FRulerUnits = s->FRulerUnits;
}

void TPXTextLayer::SwapContent(TPXLayer* Other) {
  auto* o = dynamic_cast<TPXTextLayer*>(Other);
  if (!o) return;
  // The font objects stay with their layers (their change handlers point at them).
  TFont font;
  font.Assign(FFont.get());
  FFont->Assign(o->FFont.get());
  o->FFont->Assign(&font);
  std::swap(FText, o->FText);
  std::swap(FRichText, o->FRichText);
  std::swap(FEnableFormatting, o->FEnableFormatting);
  std::swap(FRichEdit, o->FRichEdit);
  std::swap(FAutoSize, o->FAutoSize);
  std::swap(FBorderShape, o->FBorderShape);
  std::swap(FTextAlignment, o->FTextAlignment);
  std::swap(FTextLayout, o->FTextLayout);
  std::swap(FReadOnly, o->FReadOnly);
  std::swap(FTextOverflow, o->FTextOverflow);
  std::swap(FWordWrap, o->FWordWrap);
  std::swap(FHorzMargin, o->FHorzMargin);
  std::swap(FVertMargin, o->FVertMargin);
  std::swap(FBorderRotate, o->FBorderRotate);
  std::swap(FIsRuler, o->FIsRuler);
  std::swap(FRulerUnits, o->FRulerUnits);
  std::swap(FMeasuredArea, o->FMeasuredArea);
  std::swap(FTextOrigin, o->FTextOrigin);
  std::swap(FTextFontHeight, o->FTextFontHeight);
}

double TPXTextLayer::GetPreferredAspectRatio() const {
  return FAspectRatioLocked ? ShapePreferredAspectRatio(static_cast<TPXShape>(FBorderShape)) : 0;
}

void TPXTextLayer::UpdatePreferredAspectRatio() {
  TPXLayer::UpdatePreferredAspectRatio();
  if (FAspectRatioLocked && FStoredAspectRatio != 0)
    FStoredAspectRatio = RotatedAspectRatio(-FBorderRotate, FStoredAspectRatio);
}

bool TPXTextLayer::SupportsFeature(uint8_t Feature) const {
  switch (Feature) {
    case 0:
    case 1:
    case 2:
    case 3:
    case 7:
    case 9:
      return true;
    case 5:
      return !FReadOnly && !FIsRuler;
    case 8: {
      const double box = FHeight > 0 ? FWidth / FHeight : 0;
      if (FAspectRatioLocked && FStoredAspectRatio != 0 && GetOriginalHeight() > 0 &&
          AspectRatiosDiffer(FStoredAspectRatio, double(GetOriginalWidth()) / GetOriginalHeight()))
        return true;
      const double preferred = ShapePreferredAspectRatio(static_cast<TPXShape>(FBorderShape));
      return preferred != 0 && box != 0 && AspectRatiosDiffer(preferred, box);
    }
    default:
      return false;
  }
}

std::unique_ptr<TPXLayer> NewTextLayer(IPXLayerOwner* Owner) { return std::make_unique<TPXTextLayer>(Owner); }
