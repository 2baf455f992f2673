// Layer geometry: client rectangle, conversions between client, picture and layer units, drawn
// points, content corners, aspect-ratio operations, angle snapping, the capability query, the
// hit test, the PDF placement and the owner queries.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

bool IsBoxedKind(TPXLayerKind Kind) { return Kind == pxlkShape || Kind == pxlkPolyline || Kind == pxlkText; }

}  // namespace

bool AspectRatiosDiffer(double A, double B) { return Round(50.0L * A) != Round(50.0L * B); }

// ---------------------------------------------------------------------------------------------
// Owner queries

bool TPXLayer::OwnerAlphaEnabled() const { return FOwner ? FOwner->EnableAlphaChannel() : true; }
bool TPXLayer::OwnerFastDrawing() const { return FOwner ? FOwner->IsFastDrawingNow() : false; }
bool TPXLayer::OwnerOutputFlag() const { return FOwner ? FOwner->QuickLayerRendering() : false; }

// ---------------------------------------------------------------------------------------------
// Box and conversions

void TPXLayer::SetBounds(const TRect& Rect) {
  SetPosX(Rect.Left);
  SetPosY(Rect.Top);
  SetWidth(Rect.Right - Rect.Left);
  SetHeight(Rect.Bottom - Rect.Top);
}

void TPXLayer::UpdateClientRect() {
  if (!FOwner) return;
  IPXLayerOwner* o = FOwner;
  // The conversions truncate; one step corrects a client coordinate that maps back beside p.
  auto toClientX = [o](int32_t p) {
    const int32_t v = o->BitmapToClientX(p);
    const int32_t back = o->ClientToBitmapX(v);
    return back < p ? AddClamped(v, 1) : back > p ? AddClamped(v, -1) : v;
  };
  auto toClientY = [o](int32_t p) {
    const int32_t v = o->BitmapToClientY(p);
    const int32_t back = o->ClientToBitmapY(v);
    return back < p ? AddClamped(v, 1) : back > p ? AddClamped(v, -1) : v;
  };
  const int32_t x = GetPosX(), y = GetPosY();
  FClientRect = TRect(toClientX(x), toClientY(y), toClientX(AddClamped(x, GetWidth())),
                      toClientY(AddClamped(y, GetHeight())));
}

int32_t TPXLayer::ClientToLayerX(int32_t X) const {
  if (!FOwner) return 0;
  const int32_t b = FOwner->ClientToBitmapX(X - Trunc32(GetPosX() * FOwner->ZoomX() / 100));
  return Trunc32(double(b) * GetOriginalWidth() / GetWidth());
}

int32_t TPXLayer::ClientToLayerY(int32_t Y) const {
  if (!FOwner) return 0;
  const int32_t b = FOwner->ClientToBitmapY(Y - Trunc32(GetPosY() * FOwner->ZoomY() / 100));
  return Trunc32(double(b) * GetOriginalHeight() / GetHeight());
}

int32_t TPXLayer::LayerToClientX(int32_t X) const {
  const int32_t ow = GetOriginalWidth();
  if (!FOwner || ow <= 0) return 0;
  return FOwner->BitmapToClientX(Trunc32(double(GetWidth()) * X / ow)) + Trunc32(GetPosX() * FOwner->ZoomX() / 100);
}

int32_t TPXLayer::LayerToClientY(int32_t Y) const {
  const int32_t oh = GetOriginalHeight();
  if (!FOwner || oh <= 0) return 0;
  return FOwner->BitmapToClientY(Trunc32(double(GetHeight()) * Y / oh)) + Trunc32(GetPosY() * FOwner->ZoomY() / 100);
}

int32_t TPXLayer::GetDrawnPointCount() const { return FOwner ? FDrawnPoints.Count : 0; }

TPoint TPXLayer::GetDrawnPoint(int32_t I) const {
  if (!FOwner || I < 0 || I >= FDrawnPoints.Count) return TPoint{0, 0};
  const TDPoint& p = FDrawnPoints[I];
  return TPoint{Round32(FOwner->ZoomX() * p.X / 100) + FClientRect.Left,
                Round32(FOwner->ZoomY() * p.Y / 100) + FClientRect.Top};
}

void TPXLayer::ConvertPoint(double& X, double& Y, double BoxWidth, double BoxHeight, double BoxX, double BoxY,
                            TPXPointBase FromBase, TPXPointBase ToBase) const {
  auto valid = [](TPXPointBase b) { return static_cast<uint8_t>(b) <= 2; };
  if (!valid(FromBase) || !valid(ToBase)) throw EPXException("Base Conversin Error");
  if (FromBase == ToBase) return;
  const double bw = std::max(BoxWidth, 1.0), bh = std::max(BoxHeight, 1.0);
  // Client <-> picture through the owner (identity without one), picture <-> layer through the box.
  auto clientToBitmap = [&] {
    if (!FOwner) return;
    X = FOwner->ClientToBitmapX(Round32(X));
    Y = FOwner->ClientToBitmapY(Round32(Y));
  };
  auto bitmapToClient = [&] {
    if (!FOwner) return;
    X = FOwner->BitmapToClientX(Round32(X));
    Y = FOwner->BitmapToClientY(Round32(Y));
  };
  auto bitmapToLayer = [&] {
    X = (X - BoxX) / bw * 1000;
    Y = (Y - BoxY) / bh * 1000;
  };
  auto layerToBitmap = [&] {
    X = X / 1000 * bw + BoxX;
    Y = Y / 1000 * bh + BoxY;
  };
  // The cycle client -> picture -> layer -> picture -> client, stopping at ToBase.
  switch (FromBase) {
    case pxpbClient:
      clientToBitmap();
      if (ToBase == pxpbLayer) bitmapToLayer();
      break;
    case pxpbBitmap:
      if (ToBase == pxpbLayer) {
        bitmapToLayer();
      } else {  // via the layer box and back, which leaves the point where it was
        bitmapToLayer();
        layerToBitmap();
        bitmapToClient();
      }
      break;
    case pxpbLayer:
      layerToBitmap();
      if (ToBase == pxpbClient) bitmapToClient();
      break;
  }
}

void TPXLayer::ConvertPointInt(int32_t& X, int32_t& Y, double BoxWidth, double BoxHeight, double BoxX, double BoxY,
                               TPXPointBase FromBase, TPXPointBase ToBase) const {
  double x = X, y = Y;
  ConvertPoint(x, y, BoxWidth, BoxHeight, BoxX, BoxY, FromBase, ToBase);
  X = Round32(x);
  Y = Round32(y);
}

// ---------------------------------------------------------------------------------------------
// Content corners

void TPXLayer::GetContentCorners(std::array<TPoint, 4>& Corners) const {
  const int32_t x0 = GetPosX(), y0 = GetPosY(), w0 = GetWidth(), h0 = GetHeight();
  int32_t x = x0, y = y0, w = w0, h = h0;
  double r = 0;
  if (IsBoxedKind(FKind)) {
    r = FAspectRatioLocked ? FStoredAspectRatio : 0;
    if (r == 0 && FKind != pxlkPolyline) r = GetPreferredAspectRatio();
    if (r != 0) FitRectInPlace(Round32(1000 * r), 1000, x, y, w, h, true, true, true, true, 0, false);
  }
  Corners = {TPoint{x, y}, TPoint{x + w, y}, TPoint{x + w, y + h}, TPoint{x, y + h}};
  const double angle = ContentAngle();
  if ((FKind == pxlkImage || r != 0) && angle != 0) {
    RotatePoints(Corners.data(), 4, x + w / 2, y + h / 2, angle);
    if (FKind != pxlkImage) ScalePointsToRect(Corners.data(), 4, TRect(x0, y0, x0 + w0, y0 + h0), true);
  }
}

TPoint TPXLayer::GetContentBoxSize() const {
  if (!(IsBoxedKind(FKind) && FAspectRatioLocked)) return TPoint{GetWidth(), GetHeight()};
  std::array<TPoint, 4> c;
  GetContentCorners(c);
  RotatePoints(c.data(), 4, GetPosX() + GetWidth() / 2, GetPosY() + GetHeight() / 2, -ContentAngle());
  return TPoint{c[1].X - c[0].X, c[2].Y - c[1].Y};
}

bool TPXImageLayer::UsesRotatedQuad() const {
  return FRotate != 0 && FBitmap && FBitmap->Width() > 0 && FBitmap->Height() > 0 &&
         !(FRotatedCorners[0].X == -1 && FRotatedCorners[0].Y == -1);
}

// ---------------------------------------------------------------------------------------------
// Angle snapping

void TPXLayer::SnapPointAngle(double& X, double& Y, const TDPoint& Centre) const {
  if (!FOwner) return;
  const double s = FOwner->RotateSnapStep();
  if (!(s > 0)) return;
  const double a = PointAngle(Centre.X, Centre.Y, X, Y) * 180 / kPi;
  const double snapped = double(Trunc((s / 2 + a) / s)) * s * kPi / 180;
  const double d = std::hypot(X - Centre.X, Y - Centre.Y);
  // Screen y points down: counter-clockwise angles go up.
  X = Centre.X + d * std::cos(snapped);
  Y = Centre.Y - d * std::sin(snapped);
}

void TPXLayer::SnapLayerPointAngle(double& X, double& Y, const TDPoint& Centre) const {
  if (!FOwner) return;
  const double bw = std::max(GetWidthD(), 1.0), bh = std::max(GetHeightD(), 1.0);
  double x = X / 1000 * bw, y = Y / 1000 * bh;
  SnapPointAngle(x, y, TDPoint{Centre.X / 1000 * bw, Centre.Y / 1000 * bh});
  X = double(Round(x / bw * 1000));
  Y = double(Round(y / bh * 1000));
}

// ---------------------------------------------------------------------------------------------
// Aspect ratio

double TPXImageLayer::GetPreferredAspectRatio() const {
  if (FMagnifierEnabled) return 0;
  return double(GetWidth()) / GetHeight();
}

void TPXLayer::UpdatePreferredAspectRatio() {
  FStoredAspectRatio = 0;
  const int32_t ow = GetOriginalWidth(), oh = GetOriginalHeight();
  if (ow <= 0 || oh <= 0) return;
  double r = double(ow) / oh;
  if (FKind == pxlkShape || FKind == pxlkPolyline) r = RotatedAspectRatio(-FRotate, r);
  FStoredAspectRatio = r;
}

void TPXLayer::FitBoxToAspect(int32_t SourceWidth, int32_t SourceHeight) {
  TRect fit;
  CalcFitRect(SourceWidth, SourceHeight, GetWidth(), GetHeight(), 0, 0, true, true, true, true, 0, false, fit);
  SetPosXD(FPosX + fit.Left);
  SetPosYD(FPosY + fit.Top);
  SetWidth(fit.Right - fit.Left);
  SetHeight(fit.Bottom - fit.Top);
}

void TPXLayer::RestoreAspectRatio(bool UsePreferred) {
  int32_t sw, sh;
  if (FKind == pxlkImage) {
    sw = GetOriginalWidth();
    sh = GetOriginalHeight();
  } else {
    double r = GetPreferredAspectRatio();
    if (r == 0 && !UsePreferred) r = FStoredAspectRatio;
    FStoredAspectRatio = r;
    sw = Round32(1000 * r);
    sh = 1000;
  }
  if (sw <= 0 || sh <= 0) return;
  FitBoxToAspect(sw, sh);
  Changed(true);
}

void TPXLayer::SetAspectRatioLocked(bool Value) {
  if (Value == (FAspectRatioLocked != 0)) return;
  if (Value) {
    UpdatePreferredAspectRatio();
  } else if (FStoredAspectRatio != 0) {
    const int32_t sw = Round32(1000 * FStoredAspectRatio);
    if (sw > 0) FitBoxToAspect(sw, 1000);
  }
  FAspectRatioLocked = Value;
  Changed(false);
}

// ---------------------------------------------------------------------------------------------
// Capability query

bool TPXLayer::SupportsFeature(uint8_t Feature) const { return Feature == 0 || Feature == 3; }

bool TPXImageLayer::SupportsFeature(uint8_t Feature) const {
  switch (Feature) {
    case 0:
    case 3:
    case 4:
      return true;
    case 8: {
      if (!FBitmap || FBitmap->Height() <= 0 || FHeight <= 0) return false;
      return AspectRatiosDiffer(GetWidthD() / FHeight, double(FBitmap->Width()) / FBitmap->Height());
    }
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Hit test

bool TPXLayer::HitTest(int32_t X, int32_t Y, bool IgnoreTransparency, int32_t Tolerance) {
  bool inBox;
  if (UsesRotatedQuad()) {
    const auto& q = static_cast<const TPXImageLayer*>(this)->RotatedCorners();
    inBox = PointInPolygon(X, Y, q.data(), 4);
  } else {
    const int64_t t = Tolerance;
    inBox = X >= FClientRect.Left - t && X <= FClientRect.Right + t && Y >= FClientRect.Top - t &&
            Y <= FClientRect.Bottom + t;
  }
  if (!inBox || IgnoreTransparency) return inBox;

  TPXBitmap* bitmap = nullptr;
  if (FKind == pxlkImage) {
    bitmap = static_cast<TPXImageLayer*>(this)->Bitmap();
  } else {
    if (!FOwner) return true;
    const int32_t limit = FOwner->LayersCaching();
    if (limit != -1 && FOwner->GetLayersCount() >= limit) return true;
    bitmap = GetBitmap();
  }
  if (!bitmap || bitmap->IsEmpty() || !bitmap->HasAlphaChannel()) return true;
  TPXBitmap* alpha = bitmap->AlphaChannel();
  const int32_t w = std::min(bitmap->Width(), alpha->Width()), h = std::min(bitmap->Height(), alpha->Height());
  if (w <= 0 || h <= 0) return true;
  // Neighbours beyond the bitmap clamp to its edge, so the walk ends once all four have
  // reached the edges (a huge tolerance neither overflows nor spins).
  auto clampClient = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
  };
  auto layerX = [&](int32_t cx) { return ClientToLayerX(cx); };
  auto layerY = [&](int32_t cy) { return ClientToLayerY(cy); };
  auto opaqueAt = [&](int32_t lx, int32_t ly) {
    return alpha->Scanline(std::clamp(ly, 0, h - 1))[std::clamp(lx, 0, w - 1)] > 0;
  };
  const int32_t lx0 = layerX(X), ly0 = layerY(Y);
  if (opaqueAt(lx0, ly0)) return true;
  for (int64_t d = 1; d <= Tolerance; ++d) {
    const int32_t right = layerX(clampClient(X + d)), left = layerX(clampClient(X - d));
    const int32_t below = layerY(clampClient(Y + d)), above = layerY(clampClient(Y - d));
    if (opaqueAt(right, ly0) || opaqueAt(left, ly0) || opaqueAt(lx0, below) || opaqueAt(lx0, above)) return true;
    if (right >= w - 1 && left <= 0 && below >= h - 1 && above <= 0) break;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// PDF placement and drawn points

void TPXLayer::GetPDFPlacement(double& Scale, int32_t& Margin, int32_t& OffsetX, int32_t& OffsetY) const {
  Scale = 1.0;
  Margin = 0;
  OffsetX = 0;
  OffsetY = 0;
  if (!FOwner) return;
  const TPXDrawRect r = FOwner->GetLayersRect();
  TIOParams* params = FOwner->OutputParams();
  Margin = params ? params->PDF_Margin : 0;
  OffsetX = -r.X;
  OffsetY = -r.Y;
  double pageW = params ? params->PDF_PaperWidth : 0, pageH = params ? params->PDF_PaperHeight : 0;
  if (pageW <= 0 || pageH <= 0) {
    pageW = 2.0 * Margin + r.Width;
    pageH = 2.0 * Margin + r.Height;
  }
  // An empty side sets no limit; with both empty the scale stays 1.
  double scale = 0;
  bool any = false;
  if (r.Height > 0) {
    scale = (pageH - 2.0 * Margin) / r.Height;
    any = true;
  }
  if (r.Width > 0) {
    const double sx = (pageW - 2.0 * Margin) / r.Width;
    scale = any ? std::min(scale, sx) : sx;
    any = true;
  }
  if (any) Scale = scale;
}

void TPXLayer::RefreshDrawnPoints() {
  std::unique_ptr<TPXBitmap> scratch;
  RenderContent(scratch, Round32(FWidth), Round32(FHeight), true, false, true, 3, 0);
}

// ---------------------------------------------------------------------------------------------
// Measuring resolution

void LayerMeasureDpi(IPXLayerOwner* Owner, double& DpiX, double& DpiY) {
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  DpiX = settings ? settings->FDefaultDPIX : 300;
  DpiY = settings ? settings->FDefaultDPIY : 300;
  if (!Owner) return;
  if (TPixoranIO* io = Owner->GetIO()) {
    if (TIOParams* params = io->Params()) {
      DpiX = params->DpiX;
      DpiY = params->DpiY;
    }
  }
  DpiX *= Owner->MeasureScaleX();
  DpiY *= Owner->MeasureScaleY();
}
