// The polyline layer: point handling, arcs, fitting box and points together, the record tail.
#include "layers/pxxLayers_polyline.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_linecommon.h"
#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_line.h"
#include "layers/pxxLayers_shape.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

TPXPolylineLayer::TPXPolylineLayer(IPXLayerOwner* Owner) : TPXLayer(Owner, pxlkPolyline) {
  FUpdating = 1;
  FPoints.Clear();
  SetDefaults();
  FWidth = FHeight = 100.0;
  FPointsChanged = FBoxChanged = 0;
  FUpdating = 0;
}

TPXPolylineLayer::~TPXPolylineLayer() { FPoints.Clear(); }

void TPXPolylineLayer::SetDefaults() {
  TPXLayer::SetDefaults();
  FBorderColor = clBlack;
  FBorderWidth = 1;
  FFillColor = 0xFFFFFF;
  FFillColor2 = clNone;
  FFillGradient = 1;
  FPolylineClosed = 0;
  FAutoSize = 1;
  FPoints.Clear();
}

void TPXPolylineLayer::SetLineColor(TColor Value) {
  FBorderColor = Value;
  Changed(true);
}

void TPXPolylineLayer::SetLineWidth(int32_t Value) {
  FBorderWidth = Value;
  Changed(true);
}

void TPXPolylineLayer::SetPolylineClosed(bool Value) {
  FPolylineClosed = Value;
  Changed(true);
}

void TPXPolylineLayer::SetAutoSize(bool Value) {
  FAutoSize = Value;
  Changed(true);
}

// ---------------------------------------------------------------------------------------------
// Points

TDPoint TPXPolylineLayer::ToBitmap(double X, double Y, TPXPointBase Base) const {
  ConvertPoint(X, Y, FWidth, FHeight, FPosX, FPosY, Base, pxpbBitmap);
  return {X, Y};
}

TDPoint TPXPolylineLayer::GetPointD(int32_t Index, TPXPointBase Base) const {
  if (Index < 0 || Index >= FPoints.Count) return {-1, -1};
  double x = FPoints[Index].X, y = FPoints[Index].Y;
  ConvertPoint(x, y, FWidth, FHeight, FPosX, FPosY, pxpbBitmap, Base);
  return {x, y};
}

TPoint TPXPolylineLayer::GetPointIn(int32_t Index, TPXPointBase Base) const {
  const TDPoint p = GetPointD(Index, Base);
  return TPoint(Round32(p.X), Round32(p.Y));
}

TPoint TPXPolylineLayer::GetPoint(int32_t Index) {
  UpdateGeometry();
  return GetPointIn(Index, pxpbLayer);
}

void TPXPolylineLayer::GetPoints(std::vector<TDPoint>& Points, TPXPointBase Base) const {
  Points.resize(static_cast<size_t>(FPoints.Count));
  for (int32_t i = 0; i < FPoints.Count; ++i) Points[size_t(i)] = GetPointD(i, Base);
}

void TPXPolylineLayer::ReplacePoints(const std::vector<TDPoint>& Points) {
  FPoints.Assign(Points.data(), static_cast<int32_t>(Points.size()));
}

void TPXPolylineLayer::SetPointsD(const TDPoint* Points, TPXPointBase Base, int32_t Count) {
  std::vector<TDPoint> converted(static_cast<size_t>(std::max(Count, 0)));
  for (int32_t i = 0; i < Count; ++i)
    converted[size_t(i)] = Base == pxpbBitmap ? Points[i] : ToBitmap(Points[i].X, Points[i].Y, Base);
  ReplacePoints(converted);
  FPointsChanged = 1;
  Changed(true);
}

void TPXPolylineLayer::SetPoints(const TPoint* Points, int32_t Count, TPXPointBase Base) {
  std::vector<TDPoint> kept;
  kept.reserve(static_cast<size_t>(std::max(Count, 0)));
  for (int32_t i = 0; i < Count; ++i) {
    const TDPoint p{double(Points[i].X), double(Points[i].Y)};
    if (!kept.empty() && kept.back().X == p.X && kept.back().Y == p.Y) continue;
    kept.push_back(p);
  }
  SetPointsD(kept.data(), Base, static_cast<int32_t>(kept.size()));
}

void TPXPolylineLayer::SetPoint(int32_t Index, int32_t X, int32_t Y, TPXPointBase Base, bool Snap) {
  if (Index < 0 || Index >= FPoints.Count) return;
  TDPoint p = ToBitmap(X, Y, Base);
  if (Snap && Index > 0) SnapPointAngle(p.X, p.Y, FPoints[Index - 1]);
  FPoints[Index] = p;
  FPointsChanged = 1;
  Changed(true);
}

void TPXPolylineLayer::AddPoint(int32_t X, int32_t Y, TPXPointBase Base, bool Snap) {
  if (FPoints.Count == 0 && (Base == pxpbClient || Base == pxpbBitmap)) {
    // The first point places the layer: it becomes the box's top-left corner.
    if (Base == pxpbClient && FOwner) {
      X = FOwner->ClientToBitmapX(X);
      Y = FOwner->ClientToBitmapY(Y);
    }
    FPosX = X;
    FPosY = Y;
    X = Y = 0;
    Base = pxpbLayer;
  }
  TDPoint p = ToBitmap(X, Y, Base);
  const int32_t n = FPoints.Count;
  if (Snap && n > 0) SnapPointAngle(p.X, p.Y, FPoints[n - 1]);
  if (n == 0 || FPoints[n - 1].X != p.X || FPoints[n - 1].Y != p.Y) {
    // The list keeps its points when it grows (capacity doubles).
    if (n >= FPoints.Capacity()) FPoints.Items.resize(static_cast<size_t>(std::max(4, 2 * n + 2)));
    FPoints.Items[size_t(n)] = p;
    FPoints.Count = n + 1;
    FPointsChanged = 1;
  }
  Changed(true);
}

void TPXPolylineLayer::InsertPoint(int32_t Index, int32_t X, int32_t Y, TPXPointBase Base) {
  if (Index >= FPoints.Count - 1) {
    AddPoint(X, Y, Base, false);
    return;
  }
  if (Index < -1) return;
  std::vector<TDPoint> points(FPoints.Items.begin(), FPoints.Items.begin() + FPoints.Count);
  points.insert(points.begin() + (Index + 1), ToBitmap(X, Y, Base));
  SetPointsD(points.data(), pxpbBitmap, static_cast<int32_t>(points.size()));
}

void TPXPolylineLayer::DeletePoint(int32_t Index) {
  if (Index < 0 || Index >= FPoints.Count) return;
  DeletePoints(Index, Index);
}

void TPXPolylineLayer::DeletePoints(int32_t First, int32_t Last) {
  if (First < 0 || Last < First || First >= FPoints.Count) return;
  Last = std::min(Last, FPoints.Count - 1);
  std::vector<TDPoint> points(FPoints.Items.begin(), FPoints.Items.begin() + FPoints.Count);
  points.erase(points.begin() + First, points.begin() + Last + 1);
  SetPointsD(points.data(), pxpbBitmap, static_cast<int32_t>(points.size()));
}

void TPXPolylineLayer::ClearPoints() {
  FPoints.Clear();
  FPointsChanged = 0;
  FBoxChanged = 0;  // no points are left to fit to the box
  Changed(true);
}

// ---------------------------------------------------------------------------------------------
// Arcs

namespace {

int32_t StepsForSweep(double Sweep) {
  const int32_t divisor = std::max(GlobalSettingsInstance()->FShapeStepDivisor, 1);
  return std::max<int32_t>(1, Round32(std::fabs(Sweep) / divisor));
}

}  // namespace

void TPXPolylineLayer::AddArc(int32_t PointCount, double Sweep, double StartAngle) {
  if (PointCount < 2) PointCount = StepsForSweep(Sweep) + 1;
  TPoint first;
  EllipsePoint(TPoint(500, 500), first, StartAngle, 500, 500);
  AddPointPt(first, pxpbLayer, false);
  AddArcPoints(1000, 1000, PointCount - 1, Sweep, StartAngle);
}

void TPXPolylineLayer::AddArcPoints(int32_t BoxWidth, int32_t BoxHeight, int32_t Steps, double Sweep,
                                    double StartAngle) {
  if (FPoints.Count == 0 || Sweep == 0) return;
  if (Sweep > 360) Sweep = 360;
  if (Steps == 0) Steps = StepsForSweep(Sweep);
  const TPoint last = GetPointIn(FPoints.Count - 1, pxpbLayer);
  TPoint centre;
  EllipsePoint(last, centre, StartAngle - 180, BoxWidth / 2.0, BoxHeight / 2.0);
  for (int32_t k = 1; k <= Steps; ++k) {
    TPoint p;
    EllipsePoint(centre, p, StartAngle + k * Sweep / Steps, BoxWidth / 2.0, BoxHeight / 2.0);
    AddPointPt(p, pxpbLayer, false);
  }
  FPointsChanged = 1;
}

void TPXPolylineLayer::CurveSegment(int32_t Index, int32_t Steps, double Bulge) {
  const int32_t n = FPoints.Count;
  if (Index < 0 || Index > n - 1 || n < 1) return;
  const TPoint p1 = GetPointIn(Index, pxpbBitmap);
  const TPoint p2 = GetPointIn(Index == n - 1 ? 0 : Index + 1, pxpbBitmap);
  double start = 0, radius = 0, sweep = 0;
  ArcThroughIntPoints(p1, p2, Bulge, start, radius, sweep);
  if (radius < 1) return;
  // An arc bent to the other side has a negative sweep; it gets as many steps as its mirror.
  if (Steps <= 0) Steps = StepsForSweep(sweep);
  TPoint centre;
  PolarOffset(p1, centre, start - 180, radius);
  std::vector<TDPoint> points(FPoints.Items.begin(), FPoints.Items.begin() + Index + 1);
  for (int32_t k = 1; k <= Steps; ++k) {
    TPoint p;
    PolarOffset(centre, p, start + k * sweep / (Steps + 1), radius);
    points.push_back({double(p.X), double(p.Y)});
  }
  points.insert(points.end(), FPoints.Items.begin() + Index + 1, FPoints.Items.begin() + n);
  SetPointsD(points.data(), pxpbBitmap, static_cast<int32_t>(points.size()));
}

void TPXPolylineLayer::SetPointsFromShape(uint8_t Shape, bool Closed) {
  std::vector<TPoint> outline(PXMaxShapePoints);
  int32_t count = 0;
  GenerateShapePoints(outline, count, static_cast<TPXShape>(Shape), 0, 0, 1000, 1000, 0, false, 0, 1.0);
  std::vector<TDPoint> points(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) points[size_t(i)] = {double(outline[size_t(i)].X), double(outline[size_t(i)].Y)};
  FPoints.Assign(points.data(), count);
  FitPointsToBox(true, 0, 0);
  FPolylineClosed = Closed;
  FStoredAspectRatio = ShapePreferredAspectRatio(static_cast<TPXShape>(Shape));
  FPointsChanged = 1;
  Changed(true);
}

// ---------------------------------------------------------------------------------------------
// Box and points

void TPXPolylineLayer::KindPositionMovedX(double Delta) {
  for (int32_t i = 0; i < FPoints.Count; ++i) FPoints[i].X += Delta;
}

void TPXPolylineLayer::KindPositionMovedY(double Delta) {
  for (int32_t i = 0; i < FPoints.Count; ++i) FPoints[i].Y += Delta;
}

void TPXPolylineLayer::KindWidthChanged() {
  FWidth = std::max<double>(FWidth, FBorderWidth);
  FBoxChanged = 1;
}

void TPXPolylineLayer::KindHeightChanged() {
  FHeight = std::max<double>(FHeight, FBorderWidth);
  FBoxChanged = 1;
}

void TPXPolylineLayer::FitPointsToBox(bool Scale, int32_t DX, int32_t DY) {
  std::vector<TDPoint> points(FPoints.Items.begin(), FPoints.Items.begin() + FPoints.Count);
  if (Scale) {
    const int32_t inset = (FBorderWidth + 1) / 2;
    TDRect r{FPosX + inset, FPosY + inset, FPosX + FWidth - inset, FPosY + FHeight - inset};
    if (r.Right == r.Left) r.Right += 1;
    if (r.Bottom == r.Top) r.Bottom += 1;
    ScalePointsToRectF(points.data(), static_cast<int32_t>(points.size()), r, false);
  } else {
    for (TDPoint& p : points) {
      p.X -= DX;
      p.Y -= DY;
    }
  }
  SetPointsD(points.data(), pxpbBitmap, static_cast<int32_t>(points.size()));
  FPointsChanged = 0;
}

void TPXPolylineLayer::UpdateGeometry() {
  if (FPoints.Count == 0) return;
  if (FBoxChanged || (FPointsChanged && !FAutoSize)) {
    FitPointsToBox(true, 0, 0);
  } else if (FPointsChanged) {
    double maxX, maxY, minX, minY;
    PointsBoundsF(FPoints.Items.data(), FPoints.Count, maxX, maxY, minX, minY);
    FPosX = minX - FBorderWidth / 2.0;
    FPosY = minY - FBorderWidth / 2.0;
    FWidth = maxX - minX + FBorderWidth;
    FHeight = maxY - minY + FBorderWidth;
  }
  FPointsChanged = FBoxChanged = 0;
}

void TPXPolylineLayer::ApplyRotation() {
  if (FRotate == 0) return;
  UpdateGeometry();
  // The outline as drawn at the layer's own size: layer pixels, which the box offset turns into
  // picture coordinates independently of the view's zoom.
  RenderContent(LayerScratchBitmap(), -1, -1, true, false, true, 3, 0);
  if (FDrawnPoints.Count != FPoints.Count) return;
  const double sx = GetWidth() / std::max(FWidth, 1e-9), sy = GetHeight() / std::max(FHeight, 1e-9);
  std::vector<TDPoint> points(static_cast<size_t>(FDrawnPoints.Count));
  for (int32_t i = 0; i < FDrawnPoints.Count; ++i)
    points[size_t(i)] = {FPosX + FDrawnPoints[i].X / sx, FPosY + FDrawnPoints[i].Y / sy};
  SetPointsD(points.data(), pxpbBitmap, static_cast<int32_t>(points.size()));
  SetRotate(0);
  if (FOwner) FOwner->Update();
}

// ---------------------------------------------------------------------------------------------
// Record tail

void TPXPolylineLayer::SaveToStream(TStream* Stream, bool ExcludeImage, int32_t Format) {
  UpdateGeometry();
  TPXLayer::SaveToStream(Stream, ExcludeImage, Format);
}

void TPXPolylineLayer::WriteRecordTail(TStream* Stream) {
  TLayerRecordWriter w(Stream);
  w.Int(FPoints.Count);
  for (int32_t i = 0; i < FPoints.Count; ++i) {
    w.Double(FPoints[i].X);
    w.Double(FPoints[i].Y);
  }
  w.Byte(FPolylineClosed ? 1 : 0);
  w.Byte(FAutoSize ? 1 : 0);
}

void TPXPolylineLayer::ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) {
  TLayerRecordReader r(Stream, RecordEnd);
  FPoints.Clear();
  const bool doubles = Version > 8005;
  const int32_t count = r.Length(doubles ? 16 : 8);
  std::vector<TDPoint> points(static_cast<size_t>(count));
  for (TDPoint& p : points) {
    if (doubles) {
      p.X = r.Double();
      p.Y = r.Double();
    } else {
      double x = r.Int(), y = r.Int();
      ConvertPoint(x, y, FWidth, FHeight, FPosX, FPosY, pxpbLayer, pxpbBitmap);
      p = {x, y};
    }
    // Picture coordinates beyond what a box can address mean a damaged record.
    if (!std::isfinite(p.X) || !std::isfinite(p.Y) || std::fabs(p.X) > 2e9 || std::fabs(p.Y) > 2e9)
      ThrowLayerRecordCorrupted();
  }
  FPolylineClosed = r.Byte() != 0;
  if (Version > 7999) FAutoSize = r.Byte() != 0;
  ReplacePoints(points);
  FPointsChanged = FBoxChanged = 0;
}

// ---------------------------------------------------------------------------------------------
// Rendering

void TPXPolylineLayer::RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                                     bool WithAlpha, bool FitAspect, uint8_t Mode, int32_t /*Reserved*/) {
  UpdateGeometry();
  if (Width < 1) Width = GetWidth();
  if (Height < 1) Height = GetHeight();
  PrepareKindRenderTarget(Dest, Width, Height, WithAlpha);
  TRect box(0, 0, Dest->Width(), Dest->Height());
  if (FitAspect) CalcFitRect(GetWidth(), GetHeight(), box, true, true, true, true, 0, false, box);
  const double sx = Width / std::max(FWidth, 1e-9), sy = Height / std::max(FHeight, 1e-9);
  const double aspect = FAspectRatioLocked ? FStoredAspectRatio : 0;
  DrawShapePolygon(Dest->GetPXCanvas(), box.Left, box.Top, box.Right - box.Left, box.Bottom - box.Top, sx, sy, FPoints,
                   FPolylineClosed != 0, FDrawnPoints, FBorderColor, FBorderWidth, 1.0, FFillColor, FFillColor2,
                   FFillGradient, FFillOpacity, FAntiAlias && !FastDrawing, Round32(FRotate), aspect, Mode);
  if (Mode >= 2) return;
  FinishKindRender(this, Dest.get(), WithAlpha);
}

void TPXPolylineLayer::CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                    bool FitAspect) {
  RenderContent(Dest, Width, Height, OwnerOutputFlag(), WithAlpha, FitAspect, 1, 0);
}

// ---------------------------------------------------------------------------------------------
// Copy and swap

void TPXPolylineLayer::AssignContent(TPXLayer* Source) {
  if (auto* p = dynamic_cast<TPXPolylineLayer*>(Source)) {
    FPoints.Assign(p->FPoints.Items.data(), p->FPoints.Count);
    FPolylineClosed = p->FPolylineClosed;
    FAutoSize = p->FAutoSize;
    FPointsChanged = FBoxChanged = 0;
  } else if (auto* shape = dynamic_cast<TPXShapeLayer*>(Source)) {
    SetPointsFromShape(shape->Shape(), true);
  } else if (auto* line = dynamic_cast<TPXLineLayer*>(Source)) {
    // The line's drawn ends, in picture coordinates as doubles, whatever the view's zoom.
    if (line->DrawnPoints().Count == 0 || line->Rotate() != 0) line->RefreshDrawnPoints();
    const TPXPointList& drawn = line->DrawnPoints();
    std::vector<TDPoint> points(static_cast<size_t>(drawn.Count));
    for (int32_t i = 0; i < drawn.Count; ++i)
      points[size_t(i)] = {line->GetPosXD() + drawn[i].X, line->GetPosYD() + drawn[i].Y};
    FPoints.Assign(points.data(), drawn.Count);
    FRotate = 0;
    FPolylineClosed = 0;
    FPointsChanged = 1;
  }
}

void TPXPolylineLayer::SwapContent(TPXLayer* Other) {
  auto* o = static_cast<TPXPolylineLayer*>(Other);
  std::swap(FPoints, o->FPoints);
  std::swap(FPolylineClosed, o->FPolylineClosed);
  std::swap(FAutoSize, o->FAutoSize);
  std::swap(FPointsChanged, o->FPointsChanged);
  std::swap(FBoxChanged, o->FBoxChanged);
}

std::unique_ptr<TPXLayer> NewPolylineLayer(IPXLayerOwner* Owner) { return std::make_unique<TPXPolylineLayer>(Owner); }

std::unique_ptr<TPXPolylineLayer> TPXPolylineLayer::CreateFromLayer(IPXLayerOwner* Owner, TPXLayer* Source) {
  auto layer = std::make_unique<TPXPolylineLayer>(Owner);
  layer->Assign(Source);
  return layer;
}

// ---------------------------------------------------------------------------------------------
// Property keys

void TPXPolylineLayer::KindPropertiesToStrings(TStrings* Lines) {
  std::vector<TPoint> points;
  for (int32_t i = 0; i < GetPointCount(); ++i) points.push_back(GetPoint(i));
  AddLayerProperty(Lines, "PolylinePoints", LayerPointsText(points));
  AddLayerProperty(Lines, "PolylineClosed", LayerBoolToText(FPolylineClosed != 0));
  AddLayerProperty(Lines, "AutoSize", LayerBoolToText(FAutoSize != 0));
}

bool TPXPolylineLayer::SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) {
  Handled = true;
  if (LayerKeyIs(Key, "PolylinePoints")) {
    std::vector<TPoint> points;
    if (!ParseLayerPoints(Value, points)) return false;
    ClearPoints();
    for (const TPoint& p : points) AddPoint(p.X, p.Y, pxpbLayer, false);
  } else if (LayerKeyIs(Key, "PolylineClosed")) {
    FPolylineClosed = LayerValueToBool(Value);
  } else if (LayerKeyIs(Key, "AutoSize")) {
    FAutoSize = LayerValueToBool(Value);
  } else {
    Handled = false;
  }
  return true;
}

