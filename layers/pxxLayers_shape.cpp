// The shape layer: defaults, rendering through the plain figures or the outline, its record
// tail, property keys and content for Assign and SwapLayerContents.
#include "layers/pxxLayers_shape.h"

#include <array>
#include <cmath>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool IsShape(int32_t Value) { return Value >= 0 && Value < 100; }

}  // namespace

std::unique_ptr<TPXLayer> NewShapeLayer(IPXLayerOwner* Owner) { return std::make_unique<TPXShapeLayer>(Owner); }

TPXShapeLayer::TPXShapeLayer(IPXLayerOwner* Owner) : TPXLayer(Owner, pxlkShape) {
  FUpdating = 1;
  SetDefaults();
  FWidth = 100.0;
  FHeight = 100.0;
  FUpdating = 0;
}

TPXShapeLayer::~TPXShapeLayer() = default;

void TPXShapeLayer::SetDefaults() {
  TPXLayer::SetDefaults();
  FBorderColor = clBlack;
  FBorderWidth = 1;
  FFillColor = 0x0000FF;
  FFillColor2 = clNone;
  FFillGradient = 1;
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const int32_t shape = settings ? settings->FNewShapeLayerShape : 0;
  FShape = static_cast<TPXShape>(IsShape(shape) ? shape : 0);
  FShapeModifier = 0;
}

void TPXShapeLayer::SetShape(TPXShape Value) {
  if (!IsShape(Value)) return;
  FShape = Value;
  Changed(true);
}

void TPXShapeLayer::SetShapeModifier(int32_t Value) {
  FShapeModifier = Value;
  Changed(true);
}

// ---------------------------------------------------------------------------------------------
// Rendering

void TPXShapeLayer::RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height,
                                  bool /*FastDrawing*/, bool WithAlpha, bool FitAspect, uint8_t Mode,
                                  int32_t /*Reserved*/) {
  if (Mode == 2 || Mode == 3) return;
  if (Width < 1) Width = GetOriginalWidth();
  if (Height < 1) Height = GetOriginalHeight();
  TRect box(0, 0, Width, Height);
  if (FitAspect) CalcFitRect(GetWidth(), GetHeight(), Width, Height, 0, 0, true, true, true, true, 0, false, box);
  if (WithAlpha) {
    EnsureRenderBitmap32(Dest, Width, Height);
    Dest->GetPXCanvas()->SetCompositing(0, 0);
  } else {
    EnsureRenderBitmap24(Dest, Width, Height, clWhite);
  }
  TPXCanvas* canvas = Dest->GetPXCanvas();
  double aspect = 0;
  if (FAspectRatioLocked) {
    aspect = FStoredAspectRatio;
    if (aspect == 0) aspect = ShapePreferredAspectRatio(FShape);
  }
  const int32_t bw = box.Right - box.Left, bh = box.Bottom - box.Top;
  const double scaleX = double(Width) / GetWidth(), scaleY = double(Height) / GetHeight();
  const int32_t turn = Round32(FRotate);
  if ((FShape == pxshEllipse || FShape == pxshRectangle || FShape == pxshRoundRectangle) && turn % 180 == 0 &&
      aspect == 0) {
    DrawSimpleShape(canvas, box.Left, box.Top, bw, bh, FBorderColor, FBorderWidth, 1.0, FFillColor, FFillColor2,
                    FFillGradient, FFillOpacity, scaleX, scaleY, FShape, false);
  } else {
    if (FShapePoints.Count == 0) {
      std::array<TPoint, PXMaxShapePoints + 1> points;
      int32_t count = 0;
      GenerateShapePoints(points, count, FShape, 0, 0, 1000, 1000, 0, false, FShapeModifier,
                          GetWidthD() / std::max(1e-9, GetHeightD()));
      FShapePoints.Assign(points.data(), count);
    }
    DrawShapePolygon(canvas, box.Left, box.Top, bw, bh, scaleX, scaleY, FShapePoints, true, FDrawnPoints,
                     FBorderColor, FBorderWidth, 1.0, FFillColor, FFillColor2, FFillGradient, FFillOpacity, false,
                     turn, aspect, Mode);
  }
  if (WithAlpha) Dest->SyncAlpha32(true, true);
  else Dest->RemoveAlphaChannel(false, clWhite);
  FireBeforeDrawLayer(Dest.get());
}

void TPXShapeLayer::CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                 bool FitAspect) {
  if (Width < 1) Width = GetOriginalWidth();
  if (Height < 1) Height = GetOriginalHeight();
  const bool fast = OwnerOutputFlag();
  const int32_t f = FAntiAlias && !fast ? 2 : 1;
  RenderContent(Dest, Width * f, Height * f, fast, WithAlpha, FitAspect, 1, 0);
  if (f == 2 && Dest) Dest->ResampleByFactor(0.5, FOwner ? FOwner->LayerResampleFilter() : rfNone);
}

double TPXShapeLayer::GetPreferredAspectRatio() const { return ShapePreferredAspectRatio(FShape); }

bool TPXShapeLayer::SupportsFeature(uint8_t Feature) const {
  switch (Feature) {
    case 0: case 1: case 2: case 3: case 7: return true;
    case 8: {
      const double box = GetWidthD() / std::max(1e-9, GetHeightD());
      const double preferred = ShapePreferredAspectRatio(FShape);
      return (FStoredAspectRatio != 0 &&
              AspectRatiosDiffer(FStoredAspectRatio, double(GetOriginalWidth()) / GetOriginalHeight())) ||
             (preferred != 0 && AspectRatiosDiffer(preferred, box));
    }
    default: return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Record, properties, copy

void TPXShapeLayer::WriteRecordTail(TStream* Stream) {
  TLayerRecordWriter w(Stream);
  w.Byte(FShape);
  w.Int(FShapeModifier);
}

void TPXShapeLayer::ReadRecordTail(TStream* Stream, int32_t /*Version*/, int64_t RecordEnd) {
  TLayerRecordReader r(Stream, RecordEnd);
  const uint8_t shape = r.Byte();
  const int32_t modifier = r.Int();
  // A shape number that names no outline could never be drawn.
  if (!IsShape(shape)) ThrowLayerRecordCorrupted();
  FShape = static_cast<TPXShape>(shape);
  FShapeModifier = modifier;
  FShapePoints.Clear();
}

void TPXShapeLayer::KindPropertiesToStrings(TStrings* Lines) {
  AddLayerProperty(Lines, "Shape", IntToStr(FShape));
  AddLayerProperty(Lines, "ShapeModifier", IntToStr(FShapeModifier));
}

bool TPXShapeLayer::SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) {
  int32_t v = 0;
  Handled = true;
  if (LayerKeyIs(Key, "Shape")) {
    if (!LayerValueToInt(Value, v) || !IsShape(v)) return false;
    FShape = static_cast<TPXShape>(v);
  } else if (LayerKeyIs(Key, "ShapeModifier")) {
    if (!LayerValueToInt(Value, v)) return false;
    FShapeModifier = v;
  } else {
    Handled = false;
  }
  return true;
}

void TPXShapeLayer::AssignContent(TPXLayer* Source) {
  if (auto* s = dynamic_cast<TPXShapeLayer*>(Source)) {
    FShape = s->FShape;
    FShapeModifier = s->FShapeModifier;
  }
}

void TPXShapeLayer::SwapContent(TPXLayer* Other) {
  auto* o = static_cast<TPXShapeLayer*>(Other);
  std::swap(FShape, o->FShape);
  std::swap(FShapeModifier, o->FShapeModifier);
}
