// The angle layer: points and directions, layout of the margins, painting, the label text.
#include "layers/pxxLayers_angle.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_text.h"
#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_linecommon.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/Classes.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/SysUtils.h"

std::string FormatLayerLabel(const std::string& Format, const std::string& Number) {
  std::string out;
  out.reserve(Format.size() + Number.size());
  bool numberPlaced = false;
  for (size_t i = 0; i < Format.size(); ++i) {
    if (Format[i] == '%' && i + 1 < Format.size()) {
      if (Format[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (Format[i + 1] == 's' && !numberPlaced) {
        out += Number;
        numberPlaced = true;
        ++i;
        continue;
      }
    }
    out += Format[i];
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// PaintAngleLayer

namespace {

bool Defined(const TPoint& P) { return P.X > PXAngleUndefinedPoint; }

double Distance(const TPoint& A, const TPoint& B) { return std::hypot(double(A.X) - B.X, double(A.Y) - B.Y); }

// The angle at the vertex P1 in radians, 0..2 pi, taken from the second arm P2 round to the
// first arm P0, so that the default arms (up, then right) read as a right angle of 90 degrees.
double MeasuredAngle(const TPoint& P0, const TPoint& P1, const TPoint& P2) { return AngleAtVertex(P2, P1, P0); }

}  // namespace

void PaintAngleLayer(TPXCanvas* Canvas, const std::array<TPoint, 3>& Points, double ScaleX, double ScaleY,
                     TColor LineColor, int32_t LineWidth, uint8_t AngleMode, const std::string& LabelText,
                     int32_t FloatDigits, TFont* Font, bool AntiAliasNow, bool AntiAlias, TPoint& LabelPos,
                     TPXPointList& DrawnPoints, uint8_t Mode, TRect& OutRect) {
  const bool drawing = Mode < 2;
  OutRect = TRect(0, 0, 0, 0);
  if (!Defined(Points[0])) return;
  TRect bounds(INT_MAX, INT_MAX, -INT_MAX, -INT_MAX);
  int32_t count = 0;
  while (count < 3 && Defined(Points[static_cast<size_t>(count)])) ++count;
  for (int32_t i = 0; i < count; ++i) ExtendRectToPoint(bounds, Points[size_t(i)].X, Points[size_t(i)].Y);

  TCanvasStateScope state(drawing ? Canvas : nullptr);
  if (drawing) {
    Canvas->SetSmoothingMode(AntiAliasNow ? 5 : 2);
    Canvas->SetTextRendering(AntiAlias ? 4 : 2);
  }
  const double pw = LineWidth > 0 ? std::max((ScaleX + ScaleY) * LineWidth / 2, 1.0) : 0.0;
  const bool keep = !(ScaleX != 1 && Mode == 1);
  if (keep) DrawnPoints.SetCount(3);

  if (drawing) {
    TPXPen* pen = Canvas->Pen();
    pen->SetMode(pmCopy);
    pen->SetWidth(static_cast<float>(pw));
    pen->SetStyle(pw > 0 && LineColor != clNone ? psSolid : psClear);
    pen->SetColor(LineColor);
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->MoveTo(Points[0].X, Points[0].Y);
    for (int32_t i = 1; i < count; ++i) Canvas->LineTo(Points[size_t(i)].X, Points[size_t(i)].Y);
  }
  if (keep) {
    for (int32_t i = 0; i < count; ++i) DrawnPoints[i] = {Points[size_t(i)].X / ScaleX, Points[size_t(i)].Y / ScaleY};
    DrawnPoints.Count = count;
  }

  if (count == 3) {
    const TPoint& p0 = Points[0];
    const TPoint& p1 = Points[1];
    const TPoint& p2 = Points[2];
    double a = RadiansToDegrees(MeasuredAngle(p0, p1, p2));
    const bool other = AngleMode == 1 || (AngleMode == 2 && a >= 180) || (AngleMode == 3 && a < 180);
    if (!drawing)
      a = 888.888888;  // a number of typical width for measuring the text
    else if (other)
      a = 360 - a;

    const int32_t r = std::min(Trunc32(Distance(p1, p2)) / 4, Trunc32(Distance(p1, p0)) / 4);
    if (drawing) {
      if (other)
        Canvas->Arc(p1.X - r, p1.Y - r, p1.X + r, p1.Y + r, p2.X, p2.Y, p0.X, p0.Y);
      else
        Canvas->Arc(p1.X - r, p1.Y - r, p1.X + r, p1.Y + r, p0.X, p0.Y, p2.X, p2.Y);
    }
    ExtendRectToPoint(bounds, p1.X - r, p1.Y - r);
    ExtendRectToPoint(bounds, p1.X + r, p1.Y + r);

    if (!LabelText.empty() && Font) {
      const std::string s = FormatLayerLabel(LabelText, FloatToTextDecimals(FloatDigits, false, a));
      if (Mode == 3) LabelPos = p1;
      TFont* font = Canvas->GetFont();
      font->Assign(Font);
      int32_t height = Round32(Font->Height() * std::min(ScaleX, ScaleY));
      font->SetHeight(height);
      TSize size;
      Canvas->MeasureStringRotated(s, 0, size);
      const double bw = double(bounds.Right) - bounds.Left, bh = double(bounds.Bottom) - bounds.Top;
      if (std::max<double>(r, bw) < size.cx && std::max<double>(r, bh) < size.cy) {
        height = -std::abs(Round32(height * std::min(bw / size.cx, bh / size.cy)));
        font->SetHeight(height);
        Canvas->MeasureStringRotated(s, 0, size);
      }
      if (height != 0) {
        const int32_t top = p1.Y + size.cy / 3;
        if (drawing) {
          Canvas->Brush()->SetStyle(bsSolid);
          Canvas->Brush()->SetColor(Font->Color());
          Canvas->DrawStringAngle(s, p1.X, top, 0);
        }
        ExtendRectToPoint(bounds, p1.X, top);
        ExtendRectToPoint(bounds, p1.X + size.cx, top + size.cy);
      }
    }
  }

  const int32_t wx = int32_t(Ceil(LineWidth * ScaleX / 2.0)) + 1;
  const int32_t wy = int32_t(Ceil(LineWidth * ScaleY / 2.0)) + 1;
  OutRect = TRect(bounds.Left - wx, bounds.Top - wy, bounds.Right + wx, bounds.Bottom + wy);
}

// ---------------------------------------------------------------------------------------------
// TPXAngleLayer

TPXAngleLayer::TPXAngleLayer(IPXLayerOwner* Owner) : TPXLayer(Owner, pxlkAngle) {
  FUpdating = 1;
  FFont = std::make_unique<TFont>();
  FFont->SetOnChange(TNotifyEvent(this, &TPXAngleLayer::FontChanged));
  SetDefaults();
  FInnerBox = TPXAngleBox{};
  SyncBox();
  FArmLength1 = FArmLength2 = 0;
  FLabelPos = TPoint(0, 0);
  FNeedsLayout = 1;
  FUpdating = 0;
}

TPXAngleLayer::~TPXAngleLayer() = default;

void TPXAngleLayer::SetDefaults() {
  TPXLayer::SetDefaults();
  FBorderColor = clBlack;
  FBorderWidth = 1;
  SetLayerFontDefaults(FFont.get(), 12);
  ResetDefaultPoints();
  FLabelText = "%s\xC2\xB0";
  FFloatDigits = 1;
  FAngleMode = 0;
  FMargins = TPXAngleMargins{};
  SyncBox();
  SetAspectRatioLocked(true);
}

void TPXAngleLayer::ResetDefaultPoints() {
  FPoints = {TPoint(0, 0), TPoint(0, 1000), TPoint(1000, 1000)};
}

void TPXAngleLayer::SyncBox() {
  FPosX = GetPosXD();
  FPosY = GetPosYD();
  FWidth = GetWidthD();
  FHeight = GetHeightD();
}

void TPXAngleLayer::FontChanged(TObject* /*Sender*/) {
  if (FUpdating) return;
  FNeedsLayout = 1;
  Changed(true);
}

void TPXAngleLayer::SetLabelText(const std::string& Value) {
  FLabelText = Value;
  FNeedsLayout = 1;
  Changed(true);
}

void TPXAngleLayer::SetLineColor(TColor Value) {
  FBorderColor = Value;
  Changed(true);
}

void TPXAngleLayer::SetLineWidth(int32_t Value) {
  FBorderWidth = Value;
  Changed(true);
}

void TPXAngleLayer::SetFloatDigits(int32_t Value) {
  if (Value == FFloatDigits) return;
  FFloatDigits = Value;
  FNeedsLayout = 1;
  Changed(true);
}

void TPXAngleLayer::SetAngleMode(uint8_t Value) {
  if (Value == FAngleMode) return;
  FAngleMode = Value;
  Changed(true);
}

void TPXAngleLayer::SetInnerBox(const TPXAngleBox& Value) {
  FInnerBox = Value;
  FInnerBox.Width = std::max(FInnerBox.Width, 1.0);
  FInnerBox.Height = std::max(FInnerBox.Height, 1.0);
  SyncBox();
  FNeedsLayout = 1;
}

// The base setters stored the new layer box; the measuring box follows it.
void TPXAngleLayer::KindPositionMovedX(double /*Delta*/) {
  FInnerBox.X = FPosX + FMargins.Left;
  FNeedsLayout = 1;
}

void TPXAngleLayer::KindPositionMovedY(double /*Delta*/) {
  FInnerBox.Y = FPosY + FMargins.Top;
  FNeedsLayout = 1;
}

void TPXAngleLayer::KindWidthChanged() {
  const double wanted = FWidth;
  UpdateGeometry();
  FInnerBox.Width = std::max(1.0, wanted - FMargins.Left - FMargins.Right);
  SyncBox();
  FNeedsLayout = 1;
}

void TPXAngleLayer::KindHeightChanged() {
  const double wanted = FHeight;
  UpdateGeometry();
  FInnerBox.Height = std::max(1.0, wanted - FMargins.Top - FMargins.Bottom);
  SyncBox();
  FNeedsLayout = 1;
}

void TPXAngleLayer::KindRotated() {
  const double delta = FRotate - FAppliedRotate;
  FAppliedRotate = FRotate;
  if (delta == 0 || GetPointCount() < 2) return;
  const double start = GetStartAngle() + delta;
  const double end = GetEndAngle() + delta;
  const bool hasEnd = GetPointCount() == 3;
  SetStartAngle(start);
  if (hasEnd) SetEndAngle(end);
}

int32_t TPXAngleLayer::GetPointCount() const {
  int32_t n = 0;
  while (n < 3 && Defined(FPoints[size_t(n)])) ++n;
  return n;
}

void TPXAngleLayer::ClearPoints() {
  FPoints.fill(TPoint(PXAngleUndefinedPoint, PXAngleUndefinedPoint));
  FArmLength1 = FArmLength2 = 0;
}

void TPXAngleLayer::SetPoints(const TPoint* Points, int32_t Count, TPXPointBase Base) {
  if (Count != 3 || !Points) throw EPXException("Invalid Points array size");
  std::array<TPoint, 3> converted;
  for (size_t i = 0; i < 3; ++i) {
    int32_t x = Points[i].X, y = Points[i].Y;
    ConvertPointInt(x, y, FInnerBox.Width, FInnerBox.Height, FInnerBox.X, FInnerBox.Y, Base, pxpbLayer);
    converted[i] = TPoint(x, y);
  }
  FPoints = converted;
  FNeedsLayout = 1;
  FArmLength1 = FArmLength2 = 0;
  Changed(true);
}

void TPXAngleLayer::SetPoint(int32_t Index, int32_t X, int32_t Y, TPXPointBase Base, bool Snap) {
  if (Index < 0 || Index > 2) throw EPXException("Invalid Points array index");
  double x = X, y = Y;
  ConvertPoint(x, y, FInnerBox.Width, FInnerBox.Height, FInnerBox.X, FInnerBox.Y, Base, pxpbLayer);
  if (Snap) {
    const TPoint& n = Index == 1 ? FPoints[0] : FPoints[1];
    if (Defined(n)) {
      // Snapped in picture proportions: the measuring box maps both ways onto 0..1000.
      const double sx = FInnerBox.Width / 1000, sy = FInnerBox.Height / 1000;
      double bx = x * sx, by = y * sy;
      SnapPointAngle(bx, by, TDPoint{n.X * sx, n.Y * sy});
      x = bx / std::max(sx, 1e-9);
      y = by / std::max(sy, 1e-9);
    }
  }
  FPoints[size_t(Index)] = TPoint(Round32(x), Round32(y));
  FNeedsLayout = 1;
  FArmLength1 = FArmLength2 = 0;
  Changed(true);
}

TDPoint TPXAngleLayer::GetPointD(int32_t Index, TPXPointBase Base) const {
  if (Index < 0 || Index > 2) throw EPXException("Invalid object index");
  double x = FPoints[size_t(Index)].X, y = FPoints[size_t(Index)].Y;
  ConvertPoint(x, y, FInnerBox.Width, FInnerBox.Height, FInnerBox.X, FInnerBox.Y, pxpbLayer, Base);
  return {x, y};
}

void TPXAngleLayer::GetPoints(std::array<TPoint, 3>& Points, TPXPointBase Base) const {
  for (int32_t i = 0; i < 3; ++i) {
    const TDPoint p = GetPointD(i, Base);
    Points[size_t(i)] = TPoint(Round32(p.X), Round32(p.Y));
  }
}

namespace {

double Direction(const TDPoint& From, const TDPoint& To) {
  double a = RadiansToDegrees(PointAngle(From.X, From.Y, To.X, To.Y));
  NormalizeAngle360F(a);
  return a;
}

}  // namespace

double TPXAngleLayer::GetStartAngle() const {
  if (GetPointCount() < 2) return 0;
  return Direction(GetPointD(1, pxpbBitmap), GetPointD(0, pxpbBitmap));
}

double TPXAngleLayer::GetEndAngle() const {
  if (GetPointCount() < 3) return 0;
  return Direction(GetPointD(1, pxpbBitmap), GetPointD(2, pxpbBitmap));
}

double TPXAngleLayer::GetAngle() const {
  if (GetPointCount() < 3) return 0;
  std::array<TPoint, 3> p;
  for (int32_t i = 0; i < 3; ++i) {
    const TDPoint d = GetPointD(i, pxpbBitmap);
    p[size_t(i)] = TPoint(Round32(d.X), Round32(d.Y));
  }
  double a = RadiansToDegrees(MeasuredAngle(p[0], p[1], p[2]));
  NormalizeAngle360F(a);
  if (FAngleMode == 1 || (FAngleMode == 2 && a >= 180) || (FAngleMode == 3 && a < 180)) a = 360 - a;
  return a;
}

void TPXAngleLayer::SetPointsKeepingArms(const std::array<TPoint, 3>& Bitmap) {
  const double arm1 = FArmLength1, arm2 = FArmLength2;
  SetPoints(Bitmap.data(), 3, pxpbBitmap);
  FArmLength1 = arm1;
  FArmLength2 = arm2;
}

void TPXAngleLayer::SetStartAngle(double Angle) {
  if (GetPointCount() < 2) {
    FPoints[0] = TPoint(0, 0);
    FPoints[1] = TPoint(0, 1000);
  }
  std::array<TPoint, 3> p;
  GetPoints(p, pxpbBitmap);
  if (!Defined(FPoints[2])) p[2] = TPoint(PXAngleUndefinedPoint, PXAngleUndefinedPoint);
  if (FArmLength1 < 1) FArmLength1 = Distance(p[1], p[0]);
  PolarOffset(p[1], p[0], Angle, FArmLength1);
  if (!Defined(FPoints[2])) {
    // Only the first arm exists: the undefined third point stays undefined.
    const double arm1 = FArmLength1, arm2 = FArmLength2;
    for (size_t i = 0; i < 2; ++i) {
      int32_t x = p[i].X, y = p[i].Y;
      ConvertPointInt(x, y, FInnerBox.Width, FInnerBox.Height, FInnerBox.X, FInnerBox.Y, pxpbBitmap, pxpbLayer);
      FPoints[i] = TPoint(x, y);
    }
    FNeedsLayout = 1;
    Changed(true);
    FArmLength1 = arm1;
    FArmLength2 = arm2;
    return;
  }
  SetPointsKeepingArms(p);
}

void TPXAngleLayer::SetEndAngle(double Angle) {
  if (GetPointCount() < 3) ResetDefaultPoints();
  std::array<TPoint, 3> p;
  GetPoints(p, pxpbBitmap);
  if (FArmLength2 < 1) FArmLength2 = Distance(p[1], p[2]);
  PolarOffset(p[1], p[2], Angle, FArmLength2);
  SetPointsKeepingArms(p);
}

void TPXAngleLayer::SetAngle(double Value) {
  if (FAngleMode == 1 || (FAngleMode == 2 && Value >= 180) || (FAngleMode == 3 && Value < 180)) Value = 360 - Value;
  if (GetPointCount() < 3) ResetDefaultPoints();
  std::array<TPoint, 3> p;
  GetPoints(p, pxpbBitmap);
  if (FArmLength2 < 1) FArmLength2 = Distance(p[1], p[2]);
  // The angle is measured from the second arm round to the first (the default arms, up and then
  // right, read 90), so the second arm goes that far the other way from the first and GetAngle
  // answers the value that was set.
  double direction = GetStartAngle() - Value;
  NormalizeAngle360F(direction);
  PolarOffset(p[1], p[2], direction, FArmLength2);
  SetPointsKeepingArms(p);
}

void TPXAngleLayer::InvertAngle() {
  if (GetPointCount() < 3) return;
  std::swap(FPoints[0], FPoints[2]);
  FNeedsLayout = 1;
  Changed(true);
}

void TPXAngleLayer::NormalizePoints() {
  const int32_t n = GetPointCount();
  if (n < 1) return;
  int32_t minX = FPoints[0].X, minY = FPoints[0].Y, maxX = minX, maxY = minY;
  for (int32_t i = 1; i < n; ++i) {
    minX = std::min(minX, FPoints[size_t(i)].X);
    minY = std::min(minY, FPoints[size_t(i)].Y);
    maxX = std::max(maxX, FPoints[size_t(i)].X);
    maxY = std::max(maxY, FPoints[size_t(i)].Y);
  }
  if (minX == 0 && minY == 0 && maxX == 1000 && maxY == 1000) return;
  const double w = std::max(FInnerBox.Width, 1.0), h = std::max(FInnerBox.Height, 1.0);
  FInnerBox.Width = std::max((double(maxX) - minX) / 1000 * w, 1.0);
  FInnerBox.Height = std::max((double(maxY) - minY) / 1000 * h, 1.0);
  FInnerBox.X += minX / 1000.0 * w;
  FInnerBox.Y += minY / 1000.0 * h;
  ScalePointsToRect(FPoints.data(), n, TRect(0, 0, 1000, 1000), false);
  SyncBox();
}

void TPXAngleLayer::DrawAngle(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                              bool WithAlpha, uint8_t Mode) {
  if (Width < 1) Width = GetWidth();
  if (Height < 1) Height = GetHeight();
  // The layout only measures text on the canvas: a small target serves it at any box size.
  PrepareKindRenderTarget(Dest, Mode >= 2 ? 1 : Width, Mode >= 2 ? 1 : Height, WithAlpha);
  const double sx = Width / std::max(GetWidthD(), 1e-9), sy = Height / std::max(GetHeightD(), 1e-9);
  std::array<TPoint, 3> target;
  for (size_t i = 0; i < 3; ++i) {
    const TPoint& p = FPoints[i];
    if (!Defined(p)) {
      target[i] = TPoint(PXAngleUndefinedPoint, PXAngleUndefinedPoint);
      continue;
    }
    target[i] = TPoint(Round32((p.X * FInnerBox.Width / 1000 + FMargins.Left) * sx),
                       Round32((p.Y * FInnerBox.Height / 1000 + FMargins.Top) * sy));
  }
  TRect r;
  PaintAngleLayer(Dest->GetPXCanvas(), target, sx, sy, FBorderColor, FBorderWidth, FAngleMode, FLabelText,
                  FFloatDigits, FFont.get(), FAntiAlias && !FastDrawing, FAntiAlias != 0, FLabelPos, FDrawnPoints,
                  Mode, r);
  if (Mode == 3) {
    FMargins.Left = std::abs(r.Left);
    FMargins.Top = std::abs(r.Top);
    FMargins.Right = std::max<int32_t>(0, Round32(r.Right - FInnerBox.Width));
    FMargins.Bottom = std::max<int32_t>(0, Round32(r.Bottom - FInnerBox.Height));
    SyncBox();
  }
}

void TPXAngleLayer::RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool FastDrawing,
                                  bool WithAlpha, bool /*FitAspect*/, uint8_t Mode, int32_t /*Reserved*/) {
  if (FNeedsLayout) {
    NormalizePoints();
    FMargins = TPXAngleMargins{};
    SyncBox();
    DrawAngle(Dest, GetWidth(), GetHeight(), true, false, 3);
    FNeedsLayout = 0;
  }
  if (Mode >= 2) return;
  DrawAngle(Dest, Width, Height, FastDrawing, WithAlpha, Mode);
  FinishKindRender(this, Dest.get(), WithAlpha);
}

void TPXAngleLayer::UpdateGeometry() {
  if (!FNeedsLayout) return;
  RenderContent(LayerScratchBitmap(), GetWidth(), GetHeight(), true, false, true, 3, 0);
}

// ---------------------------------------------------------------------------------------------
// Record tail

namespace {

// A measuring box from a record: what cannot be a box (not finite, not positive) becomes the
// default size, so a damaged record never asks for an endless rendering.
double SaneCoordinate(double V) { return std::isfinite(V) && std::fabs(V) < 1e9 ? V : 0; }
double SaneExtent(double V) { return std::isfinite(V) && V >= 1 && V < 1e6 ? V : 100; }
int32_t SaneMargin(int32_t V) { return V >= 0 && V < 100000 ? V : 0; }

}  // namespace

void TPXAngleLayer::WriteRecordTail(TStream* Stream) {
  TLayerRecordWriter w(Stream);
  WriteFontToStream(Stream, FFont.get());
  w.WideString(FLabelText);
  w.Int(FFloatDigits);
  w.Byte(FAngleMode);
  for (const TPoint& p : FPoints) {
    w.Int(p.X);
    w.Int(p.Y);
  }
  w.Double(FInnerBox.X);
  w.Double(FInnerBox.Y);
  w.Double(FInnerBox.Width);
  w.Double(FInnerBox.Height);
  w.Double(FAppliedRotate);
  w.Int(FMargins.Left);
  w.Int(FMargins.Top);
  w.Int(FMargins.Right);
  w.Int(FMargins.Bottom);
}

void TPXAngleLayer::ReadRecordTail(TStream* Stream, int32_t Version, int64_t RecordEnd) {
  if (Version < 8005) throw EPXException("Unexpected version");
  TLayerRecordReader r(Stream, RecordEnd);
  ReadLayerFont(r, FFont.get());
  FLabelText = r.WideString();
  FFloatDigits = r.Int();
  FAngleMode = r.Byte();
  for (TPoint& p : FPoints) {
    p.X = r.Int();
    p.Y = r.Int();
    // Layer units are 0..1000 of the box; far beyond that no stored angle ever lies.
    if ((p.X > PXAngleUndefinedPoint && std::abs(int64_t(p.X)) > 10000000) ||
        (p.X > PXAngleUndefinedPoint && std::abs(int64_t(p.Y)) > 10000000))
      ThrowLayerRecordCorrupted();
  }
  FInnerBox.X = SaneCoordinate(r.Double());
  FInnerBox.Y = SaneCoordinate(r.Double());
  FInnerBox.Width = SaneExtent(r.Double());
  FInnerBox.Height = SaneExtent(r.Double());
  FAppliedRotate = SaneCoordinate(r.Double());
  FMargins.Left = SaneMargin(r.Int());
  FMargins.Top = SaneMargin(r.Int());
  FMargins.Right = SaneMargin(r.Int());
  FMargins.Bottom = SaneMargin(r.Int());
  SyncBox();
  FNeedsLayout = 1;
  FArmLength1 = FArmLength2 = 0;
}

void TPXAngleLayer::CopyToBitmap(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height, bool WithAlpha,
                                 bool FitAspect) {
  RenderContent(Dest, Width, Height, OwnerOutputFlag(), WithAlpha, FitAspect, 1, 0);
}


// ---------------------------------------------------------------------------------------------
// Copy and swap

void TPXAngleLayer::AssignContent(TPXLayer* Source) {
  auto* s = dynamic_cast<TPXAngleLayer*>(Source);
  if (!s) return;
  FFont->Assign(s->FFont.get());
  FLabelText = s->FLabelText;
  FPoints = s->FPoints;
  FFloatDigits = s->FFloatDigits;
  FAngleMode = s->FAngleMode;
  FArmLength1 = s->FArmLength1;
  FArmLength2 = s->FArmLength2;
  FLabelPos = s->FLabelPos;
  FInnerBox = s->FInnerBox;
  FMargins = s->FMargins;
  FNeedsLayout = s->FNeedsLayout;
  FAppliedRotate = s->FAppliedRotate;
  SyncBox();
}

void TPXAngleLayer::SwapContent(TPXLayer* Other) {
  auto* o = static_cast<TPXAngleLayer*>(Other);
  TFont font;
  font.Assign(FFont.get());
  FFont->Assign(o->FFont.get());
  o->FFont->Assign(&font);
  std::swap(FLabelText, o->FLabelText);
  std::swap(FPoints, o->FPoints);
  std::swap(FFloatDigits, o->FFloatDigits);
  std::swap(FAngleMode, o->FAngleMode);
  std::swap(FArmLength1, o->FArmLength1);
  std::swap(FArmLength2, o->FArmLength2);
  std::swap(FLabelPos, o->FLabelPos);
  std::swap(FInnerBox, o->FInnerBox);
  std::swap(FMargins, o->FMargins);
  std::swap(FNeedsLayout, o->FNeedsLayout);
  std::swap(FAppliedRotate, o->FAppliedRotate);
  SyncBox();
  o->SyncBox();
}

std::unique_ptr<TPXLayer> NewAngleLayer(IPXLayerOwner* Owner) { return std::make_unique<TPXAngleLayer>(Owner); }

// ---------------------------------------------------------------------------------------------
// Property keys

void TPXAngleLayer::KindPropertiesToStrings(TStrings* Lines) {
  AddLayerProperty(Lines, "AnglePoints", LayerPointsText({FPoints[0], FPoints[1], FPoints[2]}));
  LayerFontToStrings(FFont.get(), Lines);
  AddLayerProperty(Lines, "LabelText", FLabelText);
  AddLayerProperty(Lines, "AngleMode", IntToStr(FAngleMode));
}

bool TPXAngleLayer::SetKindProperty(const std::string& Key, const std::string& Value, bool& Handled) {
  Handled = true;
  int32_t i = 0;
  double d = 0;
  // The position and size keys address the measuring box.
  if (LayerKeyIs(Key, "Width") || LayerKeyIs(Key, "Height") || LayerKeyIs(Key, "PosX") || LayerKeyIs(Key, "PosY")) {
    if (!LayerValueToInt(Value, i)) return false;
    TPXAngleBox box = FInnerBox;
    if (LayerKeyIs(Key, "Width")) box.Width = i;
    else if (LayerKeyIs(Key, "Height")) box.Height = i;
    else if (LayerKeyIs(Key, "PosX")) box.X = i;
    else box.Y = i;
    SetInnerBox(box);
    return true;
  }
  if (!SetLayerFontProperty(FFont.get(), Key, Value, Handled)) return false;
  if (Handled) return true;
  Handled = true;
  if (LayerKeyIs(Key, "AnglePoints")) {
    std::vector<TPoint> points;
    if (!ParseLayerPoints(Value, points)) return false;
    points.resize(3, TPoint(PXAngleUndefinedPoint, PXAngleUndefinedPoint));
    ClearPoints();
    SetPoints(points.data(), 3, pxpbLayer);
  } else if (LayerKeyIs(Key, "LabelText")) {
    SetLabelText(Value);
  } else if (LayerKeyIs(Key, "AngleMode")) {
    if (!LayerValueToInt(Value, i)) return false;
    SetAngleMode(static_cast<uint8_t>(i));
  } else if (LayerKeyIs(Key, "StartAngle") || LayerKeyIs(Key, "EndAngle")) {
    if (!LayerValueToReal(Value, d)) return false;
    LayerKeyIs(Key, "StartAngle") ? SetStartAngle(d) : SetEndAngle(d);
  } else if (LayerKeyIs(Key, "InvertAngle")) {
    InvertAngle();
  } else {
    Handled = false;
  }
  return true;
}
