// TPixoranView's geometry: zoom and fit, scrolling, Update with the scroll bars, the image and
// source rectangles, and the coordinate tables with the conversions between client and bitmap
// coordinates.
#include <algorithm>
#include <cmath>

#include "core/hypxutils_window.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "view/pixoranview.h"

namespace {

// The smallest zoom kept: below it the bitmap-to-client tables would need more entries than the
// largest zoomed extent allows.
constexpr double kMinZoom = 100.0 / PXMaxZoomedExtent;

// Restores a Boolean on every way out.
class TFlagScope {
 public:
  TFlagScope(bool& Flag, bool Value) : FFlag(Flag), FSaved(Flag) { FFlag = Value; }
  ~TFlagScope() { FFlag = FSaved; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& FFlag;
  bool FSaved;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Sizes

int32_t TPixoranView::GetDisplayWidth() {
  if (FDisplayOptions.Contains(pxdoPaintWhenOffScreen)) return Width();
  if (HasParentWindow() && HandleAllocated()) return ClientWidth();
  return 50;
}

int32_t TPixoranView::GetDisplayHeight() {
  if (FDisplayOptions.Contains(pxdoPaintWhenOffScreen)) return Height();
  if (HasParentWindow() && HandleAllocated()) return ClientHeight();
  return 50;
}

bool TPixoranView::HasParentWindow() { return TPXView::HasParentWindow(); }

// The rulers come with the view's strips; until then their margins are 0.
int32_t TPixoranView::GetViewportWidth() { return GetDisplayWidth(); }
int32_t TPixoranView::GetViewportHeight() { return GetDisplayHeight(); }

int32_t TPixoranView::GetExtentWidth() {
  int32_t x, y, w, h;
  GetLayersRect(false, false, x, y, w, h);
  return w;
}

int32_t TPixoranView::GetExtentHeight() {
  int32_t x, y, w, h;
  GetLayersRect(false, false, x, y, w, h);
  return h;
}

void TPixoranView::GetFrameMargins(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom, bool BorderMarginsX,
                                   bool BorderMarginsY) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  int32_t mx = 0, my = 0;
  switch (FBackgroundStyle) {
    case pxbsCropped: mx = s->FEdgeWidth, my = s->FEdgeHeight; break;
    case pxbsCropShadow: mx = my = 5; break;
    case pxbsSoftShadow: mx = my = 9; break;
    default: {
      const bool none = BorderStyle() == bsNone;
      if (BorderMarginsX) mx = none ? 0 : Ctl3D() ? s->FEdgeWidth : s->FBorderWidth;
      else mx = (Width() - GetDisplayWidth()) / 2;
      if (BorderMarginsY) my = none ? 0 : Ctl3D() ? s->FEdgeHeight : s->FBorderHeight;
      else my = (Height() - GetDisplayHeight()) / 2;
      break;
    }
  }
  Left = Right = mx;
  Top = Bottom = my;
}

// ---------------------------------------------------------------------------------------------
// Zoom

double TPixoranView::LimitZoom(double Value, bool WidthAxis, bool HeightAxis) {
  int32_t extent = 1;
  if (WidthAxis) extent = std::max(extent, FExtentWidth);
  if (HeightAxis) extent = std::max(extent, FExtentHeight);
  const double most = double(PXMaxZoomedExtent) * 100.0 / extent;
  return std::clamp(Value, kMinZoom, std::max(most, kMinZoom));
}

void TPixoranView::ApplyZoom(double Value) {
  StopSmoothTask();
  Value = LimitZoom(Value, true, true);
  const int32_t hw = std::max(GetViewportWidth(), 0) >> 1;
  const int32_t hh = std::max(GetViewportHeight(), 0) >> 1;
  const int64_t cx = Round((0 + hw + double(FViewX) - FOffsetX) * FIZX);
  const int64_t cy = Round((0 + hh + double(FViewY) - FOffsetY) * FIZY);
  FZoomX = FZoomY = Value;
  FZX = FZY = Value / 100;
  FIZX = FIZY = 100 / Value;
  FViewX = Trunc32(cx * Value / 100 - hw);
  FViewY = Trunc32(cy * Value / 100 - hh);
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  FViewX = std::max(0, std::min(FViewX, maxX));
  FViewY = std::max(0, std::min(FViewY, maxY));
}

void TPixoranView::SetZoomAxis(double Value, bool XAxis) {
  StopSmoothTask();
  Value = LimitZoom(Value, XAxis, !XAxis);
  const int32_t h = std::max(XAxis ? GetViewportWidth() : GetViewportHeight(), 0) >> 1;
  int32_t& view = XAxis ? FViewX : FViewY;
  const int64_t c = Round((h + double(view) - (XAxis ? FOffsetX : FOffsetY)) * (XAxis ? FIZX : FIZY));
  if (XAxis) {
    FZoomX = Value, FZX = Value / 100, FIZX = 100 / Value;
  } else {
    FZoomY = Value, FZY = Value / 100, FIZY = 100 / Value;
  }
  view = Trunc32(c * Value / 100 - h);
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  view = std::max(0, std::min(view, XAxis ? maxX : maxY));
}

void TPixoranView::SetZoomX(double Value) { SetZoomAxis(Value, true); }
void TPixoranView::SetZoomY(double Value) { SetZoomAxis(Value, false); }

// The zoom writes: Axis 0 both zooms (Zoom), 1 ZoomX alone, 2 ZoomY alone.
void TPixoranView::WriteZoom(double Value, int32_t Axis) {
  StopSmoothTask();
  DoViewChanging(2, Value);
  const bool same = Axis == 0 ? Value == FZoomX && Value == FZoomY : Value == (Axis == 1 ? FZoomX : FZoomY);
  if (!std::isfinite(Value) || !(Value > 0) || same) return;
  if (FDisplayOptions.Contains(pxdoDisableAutoFitWhenZoom)) FAutoShrink = FAutoStretch = false;
  else FUserZoomed = true;
  SetDelayedDrawing(false);
  LockPaint();
  try {
    if (Axis == 0) ApplyZoom(Value);
    else if (Axis == 1) SetZoomX(Value);
    else SetZoomY(Value);
    // The second pass sees the scroll bars the first one showed or hid.
    FUpdateReason = pxurZoom;
    Update();
    FUpdateReason = pxurZoom;
    Update();
    UpdateSourceRect();
    UpdateZoomTables();
  } catch (...) {
    UnlockPaintNoUpdate();
    throw;
  }
  UnlockPaintNoUpdate();
  if (HandleAllocated()) Paint();
  DoViewChange(1);
}

void TPixoranView::SetZoom(double Value) { WriteZoom(Value, 0); }
void TPixoranView::SetZoomXProperty(double Value) { WriteZoom(Value, 1); }
void TPixoranView::SetZoomYProperty(double Value) { WriteZoom(Value, 2); }

void TPixoranView::ZoomAt(int32_t X, int32_t Y, double ZoomValue, bool Centre) {
  DoViewChanging(2, X);
  DoViewChanging(2, Y);
  LockPaint();
  const int32_t bx = ClientToBitmapX(X, false), by = ClientToBitmapY(Y, false);
  SetZoom(ZoomValue);
  const double z = FZoomX / 100;
  const int32_t hw = GetViewportWidth() / 2, hh = GetViewportHeight() / 2;
  if (Centre) SetViewXY(Trunc32(bx * z - hw), Trunc32(by * z - hh));
  else SetViewXY(Trunc32(0 + bx * z - X + z), Trunc32(0 + by * z - Y + z));
  UnlockPaint();
  UpdateSourceRect();
  UpdateZoomTables();
}

void TPixoranView::GetFitZooms(double& ZoomX, double& ZoomY) {
  const int32_t ew = GetExtentWidth(), eh = GetExtentHeight();
  ZoomX = ZoomY = 0;
  if (ew == 0 || eh == 0) return;
  int32_t l, t, r, b;
  GetFrameMargins(l, t, r, b, true, true);
  ZoomX = (Width() - l - r) / (ew / 100.0);
  ZoomY = (Height() - t - b) / (eh / 100.0);
}

double TPixoranView::GetFitZoom() {
  double zx, zy;
  GetFitZooms(zx, zy);
  return std::min(zx, zy);
}

void TPixoranView::Fit(bool AllowEnlarge) {
  if (GetExtentWidth() < 2 || GetExtentHeight() < 2) return;
  HideHScrollBar();
  HideVScrollBar();
  double z = GetFitZoom();
  if (!AllowEnlarge) z = std::min(z, 100.0);
  SetZoom(z);
}

double TPixoranView::GetAutoFitZoom(bool Stretch, bool Shrink) {
  int32_t l, t, r, b;
  GetFrameMargins(l, t, r, b, false, false);
  const int32_t aw = GetDisplayWidth() - l - r, ah = GetDisplayHeight() - t - b;
  const int32_t ew = FExtentWidth, eh = FExtentHeight;
  if (aw < 1 || ah < 1 || ew < 2 || eh < 2) return 100;
  if (double(ew) / aw > double(eh) / ah) {
    if (ew > aw) return Shrink ? GetFitZoom() : 100;
    return Stretch ? GetFitZoom() : 100;
  }
  if (eh > ah) return Shrink ? GetFitZoom() : 100;
  return Stretch ? GetFitZoom() : 100;
}

void TPixoranView::SetAutoShrink(bool Value) {
  if (Value == FAutoShrink && !FUserZoomed) return;
  FAutoShrink = Value;
  FUserZoomed = false;
  if (!FDisplayOptions.Contains(pxdoDisableAutoFitWhenZoom)) return;
  if (Value) Update();
  else SetZoom(100);
}

void TPixoranView::SetAutoStretch(bool Value) {
  if (Value == FAutoStretch && !FUserZoomed) return;
  FAutoStretch = Value;
  FUserZoomed = false;
  if (!FDisplayOptions.Contains(pxdoDisableAutoFitWhenZoom)) return;
  if (Value) Update();
  else SetZoom(100);
}

void TPixoranView::SetAutoFit(bool Value) {
  const bool differs = Value != AutoFit();
  FAutoShrink = FAutoStretch = Value;
  if (differs) FUserZoomed = false;
}

void TPixoranView::SetCenter(bool Value) {
  SetHAlign(Value ? 1 : 0);
  SetVAlign(Value ? 1 : 0);
}

void TPixoranView::SetHAlign(uint8_t Value) {
  if (Value == FHAlign) return;
  FHAlign = Value;
  FUpdateReason = pxurCentring;
  Update();
}

void TPixoranView::SetVAlign(uint8_t Value) {
  if (Value == FVAlign) return;
  FVAlign = Value;
  FUpdateReason = pxurCentring;
  Update();
}

// ---------------------------------------------------------------------------------------------
// Scrolling

void TPixoranView::GetMaxViewXY(int32_t& MaxX, int32_t& MaxY) {
  int64_t zw = Trunc(FExtentWidth * FZX), zh = Trunc(FExtentHeight * FZY);
  const int32_t vw = GetViewportWidth(), vh = GetViewportHeight();
  const bool equal = FZoomX == FZoomY;
  if (!equal) {
    if (vw + 10 < zw) zw = Trunc((FExtentWidth + 1.0) * FZX);
    if (vh + 10 < zh) zh = Trunc((FExtentHeight + 1.0) * FZY);
  } else if (vw + 10 < zw && vh + 10 < zh && FScrollBars != ssNone) {
    zw = Trunc((FExtentWidth + 1.0) * FZX);
    zh = Trunc((FExtentHeight + 1.0) * FZY);
  }
  if (zw < 1 || zh < 1) {
    MaxX = MaxY = 0;
    return;
  }
  MaxX = static_cast<int32_t>(std::clamp<int64_t>(zw - vw, INT32_MIN, INT32_MAX));
  if (MaxX < 0 || ClientToBitmapX(MaxX, false) == 0) MaxX = 0;
  MaxY = static_cast<int32_t>(std::clamp<int64_t>(zh - vh, INT32_MIN, INT32_MAX));
  if (MaxY < 0 || ClientToBitmapY(MaxY, false) == 0) MaxY = 0;
  // A picture that fits the outer size is not scrolled (the scroll bars alone make it overflow).
  const bool fitsW = Width() >= zw, fitsH = Height() >= zh;
  if (!equal) {
    if (fitsW) MaxX = 0;
    if (fitsH) MaxY = 0;
  } else if (fitsW && fitsH) {
    MaxX = MaxY = 0;
  }
}

bool TPixoranView::CanScroll() {
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  return maxX > 0 || maxY > 0;
}

void TPixoranView::SetViewXY(int32_t X, int32_t Y) {
  DoViewChanging(0, X);
  DoViewChanging(1, Y);
  if (X == FViewX && Y == FViewY) return;
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  const int32_t nx = std::max(0, std::min(X, maxX)), ny = std::max(0, std::min(Y, maxY));
  if (nx == FViewX && ny == FViewY) return;
  FViewX = nx;
  FViewY = ny;
  SetDelayedDrawing(false);
  FBackBufferDirty = FFullRepaint = true;
  if (HandleAllocated()) Paint();
  DoViewChange(0);
  if (HandleAllocated()) {
    if (FHScrollShown) SetScrollBarPosition(Handle(), SB_HORZ, Trunc32(FViewX / FHScrollRatio), true);
    if (FVScrollShown) SetScrollBarPosition(Handle(), SB_VERT, Trunc32(FViewY / FVScrollRatio), true);
  }
}

void TPixoranView::SetViewAxis(int32_t Value, bool XAxis) {
  DoViewChanging(XAxis ? 0 : 1, Value);
  int32_t& view = XAxis ? FViewX : FViewY;
  if (Value == view) return;
  int32_t maxX, maxY;
  GetMaxViewXY(maxX, maxY);
  const int32_t next = std::max(0, std::min(Value, XAxis ? maxX : maxY));
  if (next == view) return;
  view = next;
  SetDelayedDrawing(false);
  FBackBufferDirty = FFullRepaint = true;
  if (HandleAllocated()) Paint();
  DoViewChange(0);
  if (HandleAllocated() && (XAxis ? FHScrollShown : FVScrollShown))
    SetScrollBarPosition(Handle(), XAxis ? SB_HORZ : SB_VERT, Trunc32(view / (XAxis ? FHScrollRatio : FVScrollRatio)),
                         true);
}

void TPixoranView::SetViewX(int32_t X) { SetViewAxis(X, true); }
void TPixoranView::SetViewY(int32_t Y) { SetViewAxis(Y, false); }

void TPixoranView::SetViewXYSmooth(int32_t X, int32_t Y) {
  FSmoothTargetX = X;
  FSmoothTargetY = Y;
  if (FSmoothTimer) return;
  FSmoothTimer = std::make_unique<TTimer>(nullptr);
  FSmoothTimer->SetInterval(30);
  FSmoothTimer->SetOnTimer(TNotifyEvent(this, &TPixoranView::SmoothScrollStep));
  FSmoothTimer->SetEnabled(true);
  SmoothScrollStep(this);
}

void TPixoranView::SmoothScrollStep(TObject* /*Sender*/) {
  const int32_t oldX = FViewX, oldY = FViewY;
  const double d = SmoothScrollDivisor != 0 ? SmoothScrollDivisor : 1;
  SetViewXY(Round32(FViewX - (FViewX - FSmoothTargetX) / d), Round32(FViewY - (FViewY - FSmoothTargetY) / d));
  if ((FViewX == oldX && FViewY == oldY) || IsPrimaryMouseButtonDown()) StopSmoothTask();
}

void TPixoranView::StopSmoothTask() {
  FSmoothTimer.reset();
  if (FOnFinishSmoothTask) FOnFinishSmoothTask(this, pxstScroll);
}

void TPixoranView::HideHScrollBar() {
  if (!FHScrollShown) return;
  if (HandleAllocated()) ShowWindowScrollBar(Handle(), SB_HORZ, false);
  FHScrollShown = false;
}

void TPixoranView::HideVScrollBar() {
  if (!FVScrollShown) return;
  if (HandleAllocated()) ShowWindowScrollBar(Handle(), SB_VERT, false);
  FVScrollShown = false;
}

// ---------------------------------------------------------------------------------------------
// Update

void TPixoranView::SetScrollBar(int32_t Bar, int32_t Max, bool& Shown, double& Ratio, int32_t Viewport,
                                int32_t Position) {
  try {
    if (Max < 1) {
      if (Bar == SB_HORZ) HideHScrollBar();
      else HideVScrollBar();
      return;
    }
    Shown = true;
    Ratio = (double(Viewport) + Max) / 65536;
    SetScrollBarInfo(Handle(), Bar, 0, 65535, Trunc32(Viewport / Ratio), Trunc32(Position / Ratio), true);
    EnableWindowScrollBar(Handle(), Bar, ESB_ENABLE_BOTH);
    ShowWindowScrollBar(Handle(), Bar, true);
  } catch (const Exception&) {
    // A bar that cannot be set leaves the rest of the update alone.
  }
}

void TPixoranView::Update() {
  if (FUpdateLockCount > 0) return;
  TComponentState state = ComponentState();
  state.Exclude(csFreeNotification);
  if (!state.Empty()) return;
  struct TUpdateEnd {
    TPixoranView* View;
    ~TUpdateEnd() {
      View->FUpdateReason = pxurNone;
      View->FInsideUpdate = false;
    }
  } end{this};
  FInsideUpdate = true;

  if (FBackdropStale && FBackgroundStyle == pxbsBlurredImage) BuildBlurredBackdrop(GetLayers(0) ? dynamic_cast<TPXImageLayer*>(GetLayers(0))->Bitmap() : nullptr);
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    if (LayerCacheToDrop == -1 || LayerCacheToDrop == i) layer->InvalidateCache();
    layer->UpdateGeometry();
  }
  LayerCacheToDrop = -1;
  UpdateLayersExtent();
  // A larger picture may have pushed the zoomed extent past the largest one allowed.
  if (const double limited = LimitZoom(FZoomX, true, false); limited < FZoomX) SetZoomX(limited);
  if (const double limited = LimitZoom(FZoomY, false, true); limited < FZoomY) SetZoomY(limited);

  if ((FAutoStretch || FAutoShrink) && !FUserZoomed && FExtentWidth != 0 && FExtentHeight != 0 &&
      EditingTextLayer < 0) {
    DoViewChanging(2, FZoomX);
    double z = GetAutoFitZoom(FAutoStretch, FAutoShrink);
    if (z < 1.0) z = 1.0;
    ApplyZoom(z);
    UpdateSourceRect();
    UpdateZoomTables();
    DoViewChange(1);
    FFilterDelayCount = 0;
    FFastDrawDelayCount = 0;
  }

  if (FHasImageLayer && FMainBitmap &&
      (FMainBitmap->Width() != FLastBitmapWidth || FMainBitmap->Height() != FLastBitmapHeight)) {
    const int32_t w = FMainBitmap->Width(), h = FMainBitmap->Height();
    FLastBitmapWidth = w;
    FLastBitmapHeight = h;
    if (FSelMask->Width() != w || FSelMask->Height() != h) {
      if (FSelectionPresent) {
        FSelMask->Resize(w, h);
        FSelMask->UpdateFull();
        FSelMask->UpdateBounds();
      } else {
        FSelMask->AllocateBits(w, h, FSelMask->BitsPerPixel());
      }
    }
  }
  // An alpha channel that does not fit its picture is made anew, opaque (whether or not the
  // picture's size changed since the last Update).
  if (FHasImageLayer && FMainBitmap) {
    const int32_t w = FMainBitmap->Width(), h = FMainBitmap->Height();
    if (TPXBitmap* alpha = FMainBitmap->PeekAlphaChannel(); alpha && (alpha->Width() != w || alpha->Height() != h)) {
      alpha->Allocate(w, h, px8g);
      alpha->Fill(255);
    }
  }

  if (!HandleAllocated()) return;

  if (!ComponentState().Contains(csDesigning) && HasParentWindow()) {
    const int32_t dw = GetDisplayWidth(), dh = GetDisplayHeight();
    int32_t maxX, maxY;
    GetMaxViewXY(maxX, maxY);
    bool clamped = false;
    if (FViewX > maxX) {
      DoViewChanging(0, maxX);
      FViewX = maxX;
      clamped = true;
    }
    if (FViewY > maxY) {
      DoViewChanging(1, maxY);
      FViewY = maxY;
      clamped = true;
    }
    if (clamped) DoViewChange(0);
    if (FScrollBars == ssHorizontal || FScrollBars == ssBoth)
      SetScrollBar(SB_HORZ, maxX, FHScrollShown, FHScrollRatio, GetViewportWidth(), FViewX);
    if (FScrollBars == ssVertical || FScrollBars == ssBoth)
      SetScrollBar(SB_VERT, maxY, FVScrollShown, FVScrollRatio, GetViewportHeight(), FViewY);
    if ((GetDisplayWidth() != dw || GetDisplayHeight() != dh) && !FUpdateAgainGuard) {
      TFlagScope guard(FUpdateAgainGuard, true);
      const uint8_t reason = FUpdateReason;
      FInsideUpdate = false;
      Update();
      FInsideUpdate = true;
      FUpdateReason = reason;
    }
  }

  UpdateImageRect();
  FBackBufferDirty = FFullRepaint = true;
  if (HasParentWindow() && !FNoUpdateInvalidate) Invalidate();
}

void TPixoranView::UpdateImageRect() {
  const int32_t vw = GetViewportWidth(), vh = GetViewportHeight();
  FZoomedExtentWidth = Round32(FExtentWidth * FZX);
  FZoomedExtentHeight = Round32(FExtentHeight * FZY);
  FOffsetX = FOffsetY = 0;
  if (ComponentState().Contains(csDesigning)) {
    FVisibleWidth = std::min(FZoomedExtentWidth, Width());
    FVisibleHeight = std::min(FZoomedExtentHeight, Height());
    return;
  }
  FVisibleWidth = std::min(FZoomedExtentWidth, vw);
  FVisibleHeight = std::min(FZoomedExtentHeight, vh);
  if (FHAlign == 1) FOffsetX = FZoomedExtentWidth < vw ? (vw - FVisibleWidth) / 2 - FExtentX : -FExtentX;
  else if (FHAlign == 2 && FZoomedExtentWidth < vw) FOffsetX = std::min(vw - FZoomedExtentWidth, vw);
  if (FVAlign == 1) FOffsetY = FZoomedExtentHeight < vh ? (vh - FVisibleHeight) / 2 - FExtentY : -FExtentY;
  else if (FVAlign == 2 && FZoomedExtentHeight < vh) FOffsetY = std::min(vh - FZoomedExtentHeight, vh);
}

// ---------------------------------------------------------------------------------------------
// Source rectangle and tables

void TPixoranView::ComputeSourceRect(int32_t& SrcPos, int32_t& SrcSize, int32_t& DstSize, int32_t SnappedView,
                                     int32_t ZoomedExtent, int32_t Extent, int32_t Visible, double Zoom, double Z) {
  SrcPos = 0;
  SrcSize = 0;
  if (ZoomedExtent != 0) {
    const double r = double(Extent) / ZoomedExtent;
    SrcPos = Round32(SnappedView * r);
    SrcSize = Round32(r * Visible);
    if (int64_t{SrcPos} + SrcSize > Extent) --SrcSize;
  }
  if (Zoom > 100) {
    DstSize = Trunc32(SrcSize * Z);
    if (DstSize < Visible && int64_t{SrcPos} + SrcSize + 1 <= Extent) {
      ++SrcSize;
      DstSize = Trunc32(SrcSize * Z);
    }
  } else {
    DstSize = Visible;
  }
}

void TPixoranView::UpdateSourceRect() {
  ComputeSourceRect(FSrcX, FSrcWidth, FDstWidth, SnapViewX(FViewX), FZoomedExtentWidth, FExtentWidth, FVisibleWidth,
                    FZoomX, FZX);
  ComputeSourceRect(FSrcY, FSrcHeight, FDstHeight, SnapViewY(FViewY), FZoomedExtentHeight, FExtentHeight,
                    FVisibleHeight, FZoomY, FZY);
}

void TPixoranView::BuildTables(int32_t ZoomedExtent, int32_t Dst, int32_t Extent, double Zoom, double Z, double IZ,
                               TPXIntegerArray& C2B, TPXIntegerArray& B2C) {
  const int64_t n = int64_t{ZoomedExtent} + Dst + 1;
  const int64_t bn = Trunc(n * IZ);
  C2B.assign(static_cast<size_t>(n + 1), 0);
  B2C.assign(static_cast<size_t>(bn + 2), 0);
  const int32_t last = std::max(Extent - 1, 0);
  // Going downwards leaves, for an index written more than once, the smallest source.
  if (Zoom > 100) {
    for (int64_t i = n - 1; i >= 0; --i) {
      const int64_t b = static_cast<int64_t>(i * IZ);
      B2C[static_cast<size_t>(b)] = static_cast<int32_t>(i);
      C2B[static_cast<size_t>(i)] = static_cast<int32_t>(std::min<int64_t>(b, last));
    }
  } else {
    for (int64_t i = bn; i >= 0; --i) {
      const int64_t k = static_cast<int64_t>(i * Z);
      B2C[static_cast<size_t>(i)] = static_cast<int32_t>(k);
      if (k <= n) C2B[static_cast<size_t>(k)] = static_cast<int32_t>(std::min<int64_t>(i, last));
    }
  }
}

void TPixoranView::UpdateZoomTables() {
  if (FZoomX != FTableZoomX || FZoomY != FTableZoomY || FDstWidth != FTableDstWidth ||
      FDstHeight != FTableDstHeight || FExtentWidth != FTableExtentWidth || FExtentHeight != FTableExtentHeight) {
    FXC2B.clear(), FYC2B.clear(), FXB2C.clear(), FYB2C.clear();
    FXB2CLength = FYB2CLength = 0;
    FActiveXC2B.clear(), FActiveYC2B.clear();
    if (FDstWidth <= 0 || FDstHeight <= 0 || FExtentWidth <= 0 || FExtentHeight <= 0) return;
    BuildTables(FZoomedExtentWidth, FDstWidth, FExtentWidth, FZoomX, FZX, FIZX, FXC2B, FXB2C);
    BuildTables(FZoomedExtentHeight, FDstHeight, FExtentHeight, FZoomY, FZY, FIZY, FYC2B, FYB2C);
    FTableZoomX = FZoomX, FTableZoomY = FZoomY;
    FTableDstWidth = FDstWidth, FTableDstHeight = FDstHeight;
    FTableExtentWidth = FExtentWidth, FTableExtentHeight = FExtentHeight;
  }
  UpdateActiveWindows();
}

void TPixoranView::UpdateActiveWindows() {
  if (FXC2B.empty() || FYC2B.empty() || FDstWidth <= 0 || FDstHeight <= 0) return;
  const int32_t sx = SnapViewX(FViewX), sy = SnapViewY(FViewY);
  const auto window = [](const TPXIntegerArray& C2B, int32_t Start, int32_t Length, TPXIntegerArray& Active) {
    Start = std::clamp(Start, 0, static_cast<int32_t>(C2B.size()));
    const int32_t n = std::min<int32_t>(Length, static_cast<int32_t>(C2B.size()) - Start);
    Active.assign(C2B.begin() + Start, C2B.begin() + Start + std::max(n, 0));
  };
  FXC2BStart = std::clamp(sx, 0, static_cast<int32_t>(FXC2B.size()) - 1);
  FYC2BStart = std::clamp(sy, 0, static_cast<int32_t>(FYC2B.size()) - 1);
  FXB2CStart = std::max(0, FXC2B[static_cast<size_t>(FXC2BStart)] - FSrcX);
  FYB2CStart = std::max(0, FYC2B[static_cast<size_t>(FYC2BStart)] - FSrcY);
  FXB2CLength = Trunc32(FDstWidth * FIZX);
  FYB2CLength = Trunc32(FDstHeight * FIZY);
  window(FXC2B, FXC2BStart, FDstWidth, FActiveXC2B);
  window(FYC2B, FYC2BStart, FDstHeight, FActiveYC2B);
}

int32_t TPixoranView::SnapViewX(int32_t V) {
  if (V < 0) V = 0;
  if (V < FZoomedExtentWidth && !FXC2B.empty() && FDstWidth > 0 && V < static_cast<int32_t>(FXC2B.size())) {
    const int32_t b = FXC2B[static_cast<size_t>(V)];
    if (b >= 0 && b < static_cast<int32_t>(FXB2C.size())) return FXB2C[static_cast<size_t>(b)];
  }
  return V;
}

int32_t TPixoranView::SnapViewY(int32_t V) {
  if (V < 0) V = 0;
  if (V < FZoomedExtentHeight && !FYC2B.empty() && FDstHeight > 0 && V < static_cast<int32_t>(FYC2B.size())) {
    const int32_t b = FYC2B[static_cast<size_t>(V)];
    if (b >= 0 && b < static_cast<int32_t>(FYB2C.size())) return FYB2C[static_cast<size_t>(b)];
  }
  return V;
}

// ---------------------------------------------------------------------------------------------
// Conversions

int32_t TPixoranView::ClientToBitmapX(int32_t X, bool RelativeToLayer) {
  if (RelativeToLayer) {
    TPXLayer* layer = FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? CurrentLayer() : nullptr;
    return layer ? layer->ClientToLayerX(X) : 0;
  }
  const int64_t a = int64_t{X} - FOffsetX;
  if (a >= 0 && a < static_cast<int64_t>(FActiveXC2B.size())) return FActiveXC2B[static_cast<size_t>(a)];
  return Trunc32(a * FIZX + FSrcX);
}

int32_t TPixoranView::ClientToBitmapY(int32_t Y, bool RelativeToLayer) {
  if (RelativeToLayer) {
    TPXLayer* layer = FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? CurrentLayer() : nullptr;
    return layer ? layer->ClientToLayerY(Y) : 0;
  }
  const int64_t a = int64_t{Y} - FOffsetY;
  if (a >= 0 && a < static_cast<int64_t>(FActiveYC2B.size())) return FActiveYC2B[static_cast<size_t>(a)];
  return Trunc32(a * FIZY + FSrcY);
}

int32_t TPixoranView::BitmapToClientX(int32_t X, bool RelativeToLayer) {
  if (RelativeToLayer) {
    TPXLayer* layer = FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? CurrentLayer() : nullptr;
    return layer ? layer->LayerToClientX(X) : 0;
  }
  const int64_t d = int64_t{X} - FSrcX;
  if (d >= 0 && d < FXB2CLength && FXB2CStart + d < static_cast<int64_t>(FXB2C.size()))
    return FXB2C[static_cast<size_t>(FXB2CStart + d)] + FOffsetX;
  const int32_t s = SnapViewX(FViewX);
  return Round32((X + Round(-s * FIZX)) * FZX + FOffsetX);
}

int32_t TPixoranView::BitmapToClientY(int32_t Y, bool RelativeToLayer) {
  if (RelativeToLayer) {
    TPXLayer* layer = FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() ? CurrentLayer() : nullptr;
    return layer ? layer->LayerToClientY(Y) : 0;
  }
  const int64_t d = int64_t{Y} - FSrcY;
  if (d >= 0 && d < FYB2CLength && FYB2CStart + d < static_cast<int64_t>(FYB2C.size()))
    return FYB2C[static_cast<size_t>(FYB2CStart + d)] + FOffsetY;
  const int32_t s = SnapViewY(FViewY);
  return Round32((Y + Round(-s * FIZY)) * FZY + FOffsetY);
}
