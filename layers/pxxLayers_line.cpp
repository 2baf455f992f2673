// The line layer: defaults, setters and their re-layout, end points, rendering and output copies.
#include "layers/pxxLayers_line.h"

#include <algorithm>
#include <cmath>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers_linecommon.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/gdi/Graphics.h"

TPXLineLayer::TPXLineLayer(IPXLayerOwner* Owner) : TPXLayer(Owner, pxlkLine) {
  FUpdating = 1;
  FFont = std::make_unique<TFont>();
  FFont->SetOnChange(TNotifyEvent(this, &TPXLineLayer::FontChanged));
  SetDefaults();
  FWidth = FHeight = 100.0;
  SizeToFit();
  FStartPoint = FEndPoint = TDPoint{0, 0};
  FLabelRect = TRect(0, 0, 0, 0);
  FLabelOrigin = TPoint(0, 0);
  FStartShapeRecord = TPXLineEndShapeRecord{};
  FEndShapeRecord = TPXLineEndShapeRecord{};
  FIsRuler = 0;
  FRulerUnits = pxuPixels;
  FUpdating = 0;
}

TPXLineLayer::~TPXLineLayer() = default;

void TPXLineLayer::SetDefaults() {
  TPXLayer::SetDefaults();
  FBorderColor = clBlack;
  FBorderWidth = 1;
  FFillColor = 0xFFFFFF;
  FFillColor2 = clNone;
  FFillGradient = 1;
  FAutoSize = 1;
  FLineColor = clBlack;
  FLineWidth = 1;
  FLineFillColor = 0xFFFFFF;
  SetLayerFontDefaults(FFont.get(), 12);
  FLabelText.clear();
  FLabelAlignment = 2;
  FLabelPosition = 2;
  FBorderShape = 4;
  FReadOnly = 0;
  FTextOverflow = 0;
  FHorzMargin = FVertMargin = 0;
  FLineStartShape = FLineEndShape = 0;
  FLineShapeSize = 20;
  FIsRuler = 0;
  FRulerUnits = static_cast<TPXUnits>(GlobalSettingsInstance()->FNewLayerFlag);
}

void TPXLineLayer::FontChanged(TObject* /*Sender*/) {
  if (FUpdating) return;
  ChangedRelayout();
}

void TPXLineLayer::ChangedRelayout() {
  Changed(true);
  if (FAutoSize) SizeToFit();
}

void TPXLineLayer::SizeToFit() {
  RenderContent(LayerScratchBitmap(), GetWidth(), GetHeight(), true, false, true, 2, 0);
}

// --- setters ---------------------------------------------------------------------------------

void TPXLineLayer::SetLineColor(TColor Value) {
  FLineColor = Value;
  Changed(true);
}

void TPXLineLayer::SetLineWidth(int32_t Value) {
  FLineWidth = Value;
  Changed(true);
}

void TPXLineLayer::SetLineFillColor(TColor Value) {
  FLineFillColor = Value;
  Changed(true);
}

void TPXLineLayer::SetBorderShape(uint8_t Value) {
  if (Value >= 100) return;  // not a named shape: it could never be drawn
  FBorderShape = Value;
  Changed(true);
}

void TPXLineLayer::SetLabelAlignment(uint8_t Value) {
  FLabelAlignment = Value;
  Changed(true);
}

void TPXLineLayer::SetTextOverflow(uint8_t Value) {
  FTextOverflow = Value;
  Changed(true);
}

void TPXLineLayer::SetLabelText(const std::string& Value) {
  if (Value == FLabelText) return;
  FLabelText = Value;
  ChangedRelayout();
}

void TPXLineLayer::SetLabelPosition(uint8_t Value) {
  if (Value == FLabelPosition) return;
  FLabelPosition = Value;
  ChangedRelayout();
}

void TPXLineLayer::SetIsRuler(bool Value) {
  if (Value == (FIsRuler != 0)) return;
  FIsRuler = Value;
  ChangedRelayout();
}

void TPXLineLayer::SetLineStartShape(uint8_t Value) {
  if (Value == FLineStartShape) return;
  FLineStartShape = Value;
  ChangedRelayout();
}

void TPXLineLayer::SetLineEndShape(uint8_t Value) {
  if (Value == FLineEndShape) return;
  FLineEndShape = Value;
  ChangedRelayout();
}

void TPXLineLayer::SetLineShapeSize(int32_t Value) {
  if (Value == FLineShapeSize) return;
  FLineShapeSize = Value;
  ChangedRelayout();
}

void TPXLineLayer::SetAutoSize(bool Value) {
  if (Value == (FAutoSize != 0)) return;
  FAutoSize = Value;
  Changed(false);
  if (FAutoSize) SizeToFit();
}

void TPXLineLayer::SetReadOnly(bool Value) {
  FReadOnly = Value;
  Changed(false);
}

void TPXLineLayer::SetRulerUnits(TPXUnits Value) {
  if (Value == FRulerUnits) return;
  FRulerUnits = Value;
  Changed(true);
}

void TPXLineLayer::SetHorzMargin(double Value) {
  FHorzMargin = Value;
  Changed(true);
}

void TPXLineLayer::SetVertMargin(double Value) {
  FVertMargin = Value;
  Changed(true);
}

void TPXLineLayer::SetLabelBorderWidth(int32_t Value) {
  FBorderWidth = Value;
  Changed(true);
}

void TPXLineLayer::SetLabelFillColor(TColor Value) {
  FFillColor = Value;
  Changed(true);
}

// The generic border setters stored the inherited fields; the line takes them too.
void TPXLineLayer::KindBorderChanged() {
  FLineColor = FBorderColor;
  FLineWidth = FBorderWidth;
  FLineFillColor = FFillColor;
}

void TPXLineLayer::KindWidthChanged() { FRequestedLength = -1; }
void TPXLineLayer::KindHeightChanged() { FRequestedLength = -1; }

void TPXLineLayer::KindRotated() {
  if (FAutoSize) SizeToFit();
}

// --- length and end points -------------------------------------------------------------------

int32_t TPXLineLayer::GetLineLength() const { return Round32(FLineLength); }

void TPXLineLayer::SetLineLength(int32_t Value) {
  const double x = FPosX, y = FPosY;
  FRequestedLength = Value;
  SizeToFit();
  SetPosXD(x);
  SetPosYD(y);
}

void TPXLineLayer::SetEndPoints(bool Snap, bool AnchorStart, double StartX, double StartY, double EndX, double EndY) {
  double rotate = RadiansToDegrees(PointAngle(EndX, EndY, StartX, StartY));
  if (Snap && FOwner) {
    const double s = FOwner->RotateSnapStep();
    if (s > 0) rotate = double(Trunc((s / 2 + rotate) / s)) * s;
  }
  SetRotate(rotate);
  SetLineLength(Round32(std::hypot(EndX - StartX, EndY - StartY)));
  RefreshDrawnPoints();
  if (IsZeroDPoint(FStartPoint) && IsZeroDPoint(FEndPoint)) return;
  if (AnchorStart) {
    SetPosXD(StartX - FStartPoint.X);
    SetPosYD(StartY - FStartPoint.Y);
  } else {
    SetPosXD(EndX - FEndPoint.X);
    SetPosYD(EndY - FEndPoint.Y);
  }
}

TPoint TPXLineLayer::GetStartPoint() {
  if (IsZeroDPoint(FStartPoint) && IsZeroDPoint(FEndPoint))
    RenderContent(LayerScratchBitmap(), -1, -1, true, false, true, 3, 0);
  return TPoint(Round32(Round32(FPosX) + FStartPoint.X), Round32(Round32(FPosY) + FStartPoint.Y));
}

TPoint TPXLineLayer::GetEndPoint() {
  if (IsZeroDPoint(FStartPoint) && IsZeroDPoint(FEndPoint))
    RenderContent(LayerScratchBitmap(), -1, -1, true, false, true, 3, 0);
  return TPoint(Round32(Round32(FPosX) + FEndPoint.X), Round32(Round32(FPosY) + FEndPoint.Y));
}

// --- rendering -------------------------------------------------------------------------------

void TPXLineLayer::MeasureDpi(double& DpiX, double& DpiY) const { LayerMeasureDpi(FOwner, DpiX, DpiY); }

void TPXLineLayer::RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                                 bool WithAlpha, bool /*FitAspect*/, uint8_t Mode, int32_t /*Reserved*/) {
  if (Width < 1) Width = GetWidth();
  if (Height < 1) Height = GetHeight();
  // Layouts only measure text on the canvas: a small target serves them at any box size.
  const bool layout = Mode >= 2;
  PrepareKindRenderTarget(Dest, layout ? 1 : Width, layout ? 1 : Height, WithAlpha);
  double dpiX, dpiY;
  MeasureDpi(dpiX, dpiY);
  const double sx = Width / std::max(FWidth, 1e-9), sy = Height / std::max(FHeight, 1e-9);
  TPXCanvas* canvas = Dest->GetPXCanvas();
  TPoint needed(-1, -1);
  PaintLineLayer(canvas, 0, 0, Width, Height, sx, sy, Round32(FRotate), FLineColor, FLineWidth,
                 FLineStartShape, FLineEndShape, FLineShapeSize, FLineFillColor, FLabelPosition, FLabelText,
                 FLabelAlignment, FFont.get(), FTextOverflow, FBorderShape, FBorderColor, FBorderWidth, 1.0,
                 FFillColor, FFillColor2, FFillGradient, FFillOpacity, FHorzMargin, FVertMargin,
                 FAntiAlias && !FastDrawing, FAntiAlias != 0, FIsRuler != 0, FRulerUnits, dpiX, dpiY, FStartPoint,
                 FEndPoint, FLabelRect, FLabelOrigin, FStartShapeRecord, FEndShapeRecord, FDrawnPoints, FShapePoints,
                 Mode, FRequestedLength, needed);
  FLineLength = std::hypot(FStartPoint.X - FEndPoint.X, FStartPoint.Y - FEndPoint.Y);
  FMeasuredLength = MeasureLineLength(FStartPoint, FEndPoint, FRulerUnits, dpiX, dpiY);
  if (!(FRequestedLength > 0)) FRequestedLength = FLineLength;
  FLabelFontHeight = canvas->GetFont()->Height();
  if (Mode == 2) {
    if (needed.X >= 0 && needed.Y >= 0) {
      FLabelFontHeight = 0;
      const double w = std::max(needed.X, 3 * FLineWidth), h = std::max(needed.Y, 3 * FLineWidth);
      const bool changed = w != FWidth || h != FHeight;
      // The box keeps its centre.
      FPosX += (FWidth - w) / 2;
      FWidth = w;
      FPosY += (FHeight - h) / 2;
      FHeight = h;
      if (changed) Changed(true);
    }
    return;
  }
  if (Mode <= 1) FinishKindRender(this, Dest.get(), WithAlpha);
}

void TPXLineLayer::CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                bool FitAspect) {
  const TDPoint start = FStartPoint, end = FEndPoint;
  const TRect labelRect = FLabelRect;
  const TPoint labelOrigin = FLabelOrigin;
  const TPXLineEndShapeRecord startShape = FStartShapeRecord, endShape = FEndShapeRecord;
  const double lineLength = FLineLength, requested = FRequestedLength;
  RenderContent(Dest, Width, Height, OwnerOutputFlag(), WithAlpha, FitAspect, 1, 0);
  FStartPoint = start;
  FEndPoint = end;
  FLabelRect = labelRect;
  FLabelOrigin = labelOrigin;
  FStartShapeRecord = startShape;
  FEndShapeRecord = endShape;
  FLineLength = lineLength;
  FRequestedLength = requested;
}

// --- record tail -----------------------------------------------------------------------------

void TPXLineLayer::WriteRecordTail(TStream* Stream) {
  TLayerRecordWriter w(Stream);
  w.Int(static_cast<int32_t>(FLineColor));
  w.Int(FLineWidth);
  w.Int(static_cast<int32_t>(FLineFillColor));
  WriteFontToStream(Stream, FFont.get());
  w.WideString(FLabelText);
  w.Byte(FLabelAlignment);
  w.Byte(FLabelPosition);
  w.Byte(FBorderShape);
  w.Byte(FReadOnly);
  w.Int(FLineShapeSize);
  w.Byte(FLineStartShape);
  w.Byte(FLineEndShape);
  w.Double(FRequestedLength);
  w.Byte(FAutoSize);
  w.Byte(FIsRuler);
  w.Byte(static_cast<uint8_t>(FRulerUnits));
  w.Double(FHorzMargin);
  w.Double(FVertMargin);
  w.Byte(FTextOverflow);
}

void TPXLineLayer::ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) {
  const int32_t version = Version;
  TLayerRecordReader r(Stream, RecordEnd);
  FLineColor = static_cast<TColor>(r.Int());
  FLineWidth = r.Int();
  FLineFillColor = static_cast<TColor>(r.Int());
  ReadLayerFont(r, FFont.get());
  FLabelText = r.WideString();
  FLabelAlignment = r.Byte();
  FLabelPosition = r.Byte();
  FBorderShape = r.Byte();
  // Only the named shapes can be drawn as the label's border.
  if (FBorderShape >= 100) ThrowLayerRecordCorrupted();
  FReadOnly = r.Byte() != 0;
  FLineShapeSize = r.Int();
  FLineStartShape = r.Byte();
  FLineEndShape = r.Byte();
  if (version > 7001) {
    FRequestedLength = r.Double();
    FLineLength = FRequestedLength;
  } else {
    FRequestedLength = -1.0;
    uint8_t skipped[16];
    r.Bytes(skipped, sizeof skipped);
  }
  if (version > 7000) FAutoSize = r.Byte() != 0;
  if (version > 7003) {
    FIsRuler = r.Byte() != 0;
    FRulerUnits = static_cast<TPXUnits>(r.Byte());
  }
  if (version > 7999) {
    FHorzMargin = r.Double();
    FVertMargin = r.Double();
    FTextOverflow = r.Byte();
  }
}

// --- copy and swap ---------------------------------------------------------------------------

void TPXLineLayer::AssignContent(TPXLayer* Source) {
  auto* s = dynamic_cast<TPXLineLayer*>(Source);
  if (!s) return;
  FFont->Assign(s->FFont.get());
  FLabelText = s->FLabelText;
  FLineStartShape = s->FLineStartShape;
  FLineEndShape = s->FLineEndShape;
  FLineShapeSize = s->FLineShapeSize;
  FLabelPosition = s->FLabelPosition;
  FAutoSize = s->FAutoSize;
  FBorderShape = s->FBorderShape;
  FLabelAlignment = s->FLabelAlignment;
  FReadOnly = s->FReadOnly;
  FTextOverflow = s->FTextOverflow;
  FLineColor = s->FLineColor;
  FLineWidth = s->FLineWidth;
  FLineFillColor = s->FLineFillColor;
  FHorzMargin = s->FHorzMargin;
  FVertMargin = s->FVertMargin;
  FIsRuler = s->FIsRuler;
  FRulerUnits = s->FRulerUnits;
  FMeasuredLength = s->FMeasuredLength;
  FLineLength = s->FLineLength;
  FRequestedLength = s->FRequestedLength;
  FStartPoint = s->FStartPoint;
  FEndPoint = s->FEndPoint;
  FLabelRect = s->FLabelRect;
  FStartShapeRecord = s->FStartShapeRecord;
  FEndShapeRecord = s->FEndShapeRecord;
  FLabelOrigin = s->FLabelOrigin;
}

void TPXLineLayer::SwapContent(TPXLayer* Other) {
  auto* o = static_cast<TPXLineLayer*>(Other);
  TFont font;
  font.Assign(FFont.get());
  FFont->Assign(o->FFont.get());
  o->FFont->Assign(&font);
  std::swap(FLabelText, o->FLabelText);
  std::swap(FLineStartShape, o->FLineStartShape);
  std::swap(FLineEndShape, o->FLineEndShape);
  std::swap(FLineShapeSize, o->FLineShapeSize);
  std::swap(FLabelPosition, o->FLabelPosition);
  std::swap(FAutoSize, o->FAutoSize);
  std::swap(FBorderShape, o->FBorderShape);
  std::swap(FLabelAlignment, o->FLabelAlignment);
  std::swap(FReadOnly, o->FReadOnly);
  std::swap(FTextOverflow, o->FTextOverflow);
  std::swap(FLineColor, o->FLineColor);
  std::swap(FLineWidth, o->FLineWidth);
  std::swap(FLineFillColor, o->FLineFillColor);
  std::swap(FHorzMargin, o->FHorzMargin);
  std::swap(FVertMargin, o->FVertMargin);
  std::swap(FIsRuler, o->FIsRuler);
  std::swap(FRulerUnits, o->FRulerUnits);
  std::swap(FMeasuredLength, o->FMeasuredLength);
  std::swap(FLineLength, o->FLineLength);
  std::swap(FRequestedLength, o->FRequestedLength);
  std::swap(FStartPoint, o->FStartPoint);
  std::swap(FEndPoint, o->FEndPoint);
  std::swap(FLabelRect, o->FLabelRect);
  std::swap(FStartShapeRecord, o->FStartShapeRecord);
  std::swap(FEndShapeRecord, o->FEndShapeRecord);
  std::swap(FLabelOrigin, o->FLabelOrigin);
}

std::unique_ptr<TPXLayer> NewLineLayer(IPXLayerOwner* Owner) { return std::make_unique<TPXLineLayer>(Owner); }

// ---------------------------------------------------------------------------------------------
// Property keys

void TPXLineLayer::KindPropertiesToStrings(TStrings* Lines) {
  AddLayerProperty(Lines, "LineColor", LayerColorToText(FLineColor));
  AddLayerProperty(Lines, "LineWidth", IntToStr(FLineWidth));
  AddLayerProperty(Lines, "LineFillColor", LayerColorToText(FLineFillColor));
  LayerFontToStrings(FFont.get(), Lines);
  AddLayerProperty(Lines, "LabelText", FLabelText);
  AddLayerProperty(Lines, "LabelAlignment", IntToStr(FLabelAlignment));
  AddLayerProperty(Lines, "LabelPosition", IntToStr(FLabelPosition));
  AddLayerProperty(Lines, "BorderShape", IntToStr(FBorderShape));
  AddLayerProperty(Lines, "ReadOnly", LayerBoolToText(FReadOnly != 0));
  AddLayerProperty(Lines, "TextOverflow", IntToStr(FTextOverflow));
  AddLayerProperty(Lines, "HorzMargin", FloatToStr(FHorzMargin));
  AddLayerProperty(Lines, "VertMargin", FloatToStr(FVertMargin));
  AddLayerProperty(Lines, "LineEndShape", IntToStr(FLineEndShape));
  AddLayerProperty(Lines, "LineShapeSize", IntToStr(FLineShapeSize));
  AddLayerProperty(Lines, "LineStartShape", IntToStr(FLineStartShape));
  AddLayerProperty(Lines, "LineLength", IntToStr(GetLineLength()));
  AddLayerProperty(Lines, "IsRuler", LayerBoolToText(FIsRuler != 0));
  AddLayerProperty(Lines, "RulerUnits", IntToStr(static_cast<int32_t>(FRulerUnits)));
}

bool TPXLineLayer::SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) {
  if (!SetLayerFontProperty(FFont.get(), Key, Value, Handled)) return false;
  if (Handled) return true;
  Handled = true;
  int32_t i = 0;
  double d = 0;
  TColor c = 0;
  auto isKey = [&](const char* Name) { return LayerKeyIs(Key, Name); };
  if (isKey("LineColor") || isKey("LineFillColor")) {
    if (!LayerValueToColor(Value, c)) return false;
    isKey("LineColor") ? SetLineColor(c) : SetLineFillColor(c);
  } else if (isKey("LineWidth") || isKey("LabelAlignment") || isKey("LabelPosition") || isKey("BorderShape") ||
             isKey("TextOverflow") || isKey("LineEndShape") || isKey("LineShapeSize") ||
             isKey("LineStartShape") || isKey("LineLength") || isKey("RulerUnits")) {
    if (!LayerValueToInt(Value, i)) return false;
    if (isKey("LineWidth")) SetLineWidth(i);
    else if (isKey("LabelAlignment")) SetLabelAlignment(static_cast<uint8_t>(i));
    else if (isKey("LabelPosition")) SetLabelPosition(static_cast<uint8_t>(i));
    else if (isKey("BorderShape")) {
      if (i < 0 || i >= 100) return false;  // only the named shapes
      SetBorderShape(static_cast<uint8_t>(i));
    } else if (isKey("TextOverflow")) SetTextOverflow(static_cast<uint8_t>(i));
    else if (isKey("LineEndShape")) SetLineEndShape(static_cast<uint8_t>(i));
    else if (isKey("LineShapeSize")) SetLineShapeSize(i);
    else if (isKey("LineStartShape")) SetLineStartShape(static_cast<uint8_t>(i));
    else if (isKey("LineLength")) SetLineLength(i);
    else SetRulerUnits(static_cast<TPXUnits>(i));
  } else if (isKey("LabelText")) {
    SetLabelText(Value);
  } else if (isKey("ReadOnly")) {
    SetReadOnly(LayerValueToBool(Value));
  } else if (isKey("HorzMargin") || isKey("VertMargin")) {
    if (!LayerValueToReal(Value, d)) return false;
    isKey("HorzMargin") ? SetHorzMargin(d) : SetVertMargin(d);
  } else if (isKey("AutoSize")) {
    SetAutoSize(LayerValueToBool(Value));
  } else if (isKey("SizeToFit")) {
    SizeToFit();
  } else if (isKey("IsRuler")) {
    SetIsRuler(LayerValueToBool(Value));
  } else {
    Handled = false;
  }
  return true;
}

