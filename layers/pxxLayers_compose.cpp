// Rendering and composition of layers: the per-layer render cache or the shared scratch bitmap,
// the render size, placement and cropping, feathering, the soft shadow and the blend through the
// bitmap renderer. The effects never change a layer's own bitmaps: they work on a private copy.
#include <algorithm>
#include <cstdint>
#include <memory>

#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_support.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_kinds.h"
#include "proc/pixoranproc_blur.h"
#include "proc/pixoranproc_colour.h"

// ---------------------------------------------------------------------------------------------
// Unit state

std::unique_ptr<TPXBitmap>& LayerScratchBitmap() {
  static std::unique_ptr<TPXBitmap> scratch;
  return scratch;
}

void FreeLayerScratchBitmap() { LayerScratchBitmap().reset(); }

void RegisterLayerUnit() {
  SetLayerScratchRelease(&FreeLayerScratchBitmap);
  RegisterLayerKinds();
}

namespace {

// A layer renders into its own cache when its owner caches every layer (-1) or the layers below
// the limit.
bool CachesLayer(IPXLayerOwner* Owner, int32_t Index) {
  if (!Owner) return false;
  const int32_t limit = Owner->LayersCaching();
  return limit == -1 || (Index >= 0 && Index < limit);
}

// The 8-bit form of a mask: the negative first when inverted.
void MakeMaskForm(TPXBitmap* Bitmap, bool Inverted) {
  if (!Bitmap || Bitmap->IsEmpty()) return;
  if (Inverted) NegativeRect(Bitmap, 0, 0, Bitmap->Width(), Bitmap->Height(), {}, nullptr);
  Bitmap->SetPixelFormat(px8g);
}

int32_t ShadowColor(const TRGB& C) { return (int32_t{C.r} << 16) | (int32_t{C.g} << 8) | int32_t{C.b}; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Cache

namespace {

// Whether Layer's cache holds its content at Width x Height. A fast rendering stops counting as
// soon as the view no longer draws fast, so that a filtered one replaces it.
bool CacheReusable(TPXBitmap* Cache, uint8_t& CacheValid, uint8_t CacheDrawnFast, bool Fast, int32_t Width,
                   int32_t Height) {
  if (CacheDrawnFast && !Fast) CacheValid = 0;
  return Cache && CacheValid && Cache->Width() == Width && Cache->Height() == Height;
}

}  // namespace

TPXBitmap* TPXLayer::GetBitmap() {
  const int32_t w = GetWidth(), h = GetHeight();
  const bool fast = OwnerFastDrawing();
  const bool alpha = OwnerAlphaEnabled();
  if (CachesLayer(FOwner, GetIndex())) {
    // A mask's cache serves here only in its 8-bit form (a paint may have left the colour one;
    // the kinds render 24 or 32 bits).
    bool reusable = CacheReusable(FCache.get(), FCacheValid, FCacheDrawnFast, fast, w, h);
    if (reusable && FIsMask && FCache->PixelFormat() != px8g) reusable = false;
    if (!reusable) {
      FCacheValid = 0;  // a failed rendering leaves no valid cache behind
      RenderContent(FCache, w, h, fast, alpha, false, 0, 0);
      if (FIsMask) MakeMaskForm(FCache.get(), FMaskInverted != 0);
      FCacheDrawnFast = fast;
    }
    FCacheValid = FCache != nullptr;
    return FCache.get();
  }
  std::unique_ptr<TPXBitmap>& scratch = LayerScratchBitmap();
  CopyToBitmap(scratch, w, h, alpha, false);
  if (FIsMask) MakeMaskForm(scratch.get(), FMaskInverted != 0);
  return scratch.get();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TPXLayer::Paint(TPXBitmap* Dest, int32_t LayerIndex, TPXIntegerArray* /*ColumnTable*/, TPXIntegerArray* /*RowTable*/,
                     void* Context, int32_t /*Dest0X*/, int32_t /*Dest0Y*/, int32_t /*Dest0Width*/,
                     int32_t /*Dest0Height*/, int32_t /*Src0X*/, int32_t /*Src0Y*/, int32_t /*Src0Width*/,
                     int32_t /*Src0Height*/, bool WithAlpha, bool FirstLayer, TResampleFilter Filter,
                     uint8_t /*RotateQuality*/, bool /*MouseOperation*/) {
  if (FStoredAspectRatio == 0) UpdatePreferredAspectRatio();
  UpdateClientRect();
  if (!Dest) return;

  const bool fast = OwnerFastDrawing();
  const bool useCache = CachesLayer(FOwner, LayerIndex);

  // The render size follows the zoom, except for uncached shapes and texts while the view draws
  // fast: those render once at 100% and the composition scales them.
  int32_t w = GetWidth(), h = GetHeight();
  const bool scaledByComposition = (FKind == pxlkShape || FKind == pxlkText) && !useCache && fast;
  if (FOwner && !scaledByComposition) {
    w = std::max<int32_t>(1, Round32(w * FOwner->ZoomX() / 100));
    h = std::max<int32_t>(1, Round32(h * FOwner->ZoomY() / 100));
  }

  int32_t dx = 0, dy = 0, dw = 0, dh = 0, sx = 0, sy = 0, sw = 0, sh = 0;
  ComputeDrawRects(w, h, dx, dy, dw, dh, sx, sy, sw, sh);

  // Antialiased shapes render at twice the size and are brought down by a filter; while the view
  // draws fast, a filtered double-size cache is still used.
  if (FKind == pxlkShape && FAntiAlias) {
    const bool room = w <= INT32_MAX / 2 && h <= INT32_MAX / 2;
    const bool doubled =
        room && (!fast || (useCache && CacheReusable(FCache.get(), FCacheValid, FCacheDrawnFast, fast, w * 2, h * 2) &&
                           !FCacheDrawnFast));
    if (doubled) {
      w *= 2, h *= 2;
      sx *= 2, sy *= 2, sw *= 2, sh *= 2;
      if (Filter == rfNone) Filter = rfFastLinear;
    }
  }

  if (useCache) {
    if (!CacheReusable(FCache.get(), FCacheValid, FCacheDrawnFast, fast, w, h)) {
      FCacheValid = 0;  // a failed rendering leaves no valid cache behind
      RenderContent(FCache, w, h, fast, WithAlpha, false, 0, 0);
      FCacheDrawnFast = fast;
    }
    FCacheValid = FCache != nullptr;
    // Not private: the effects work on a copy and the cache survives for the next paint.
    ComposeLayer(Dest, LayerIndex, FCache.get(), false, nullptr, nullptr, Context, dx, dy, dw, dh, sx, sy, sw, sh,
                 WithAlpha, FirstLayer, Filter);
    return;
  }
  std::unique_ptr<TPXBitmap>& scratch = LayerScratchBitmap();
  RenderContent(scratch, w, h, fast, WithAlpha, false, 0, 0);
  ComposeLayer(Dest, LayerIndex, scratch.get(), true, nullptr, nullptr, Context, dx, dy, dw, dh, sx, sy, sw, sh,
               WithAlpha, FirstLayer, Filter);
}

// ---------------------------------------------------------------------------------------------
// Placement

void TPXLayer::ComputeDrawRects(int32_t Width, int32_t Height, int32_t& DestX, int32_t& DestY, int32_t& DestWidth,
                                int32_t& DestHeight, int32_t& SourceX, int32_t& SourceY, int32_t& SourceWidth,
                                int32_t& SourceHeight) {
  DestX = FClientRect.Left;
  DestY = FClientRect.Top;
  DestWidth = FClientRect.Right - FClientRect.Left;
  DestHeight = FClientRect.Bottom - FClientRect.Top;
  SourceX = 0;
  SourceY = 0;
  SourceWidth = Width;
  SourceHeight = Height;

  TPXLayer* base = FOwner ? FOwner->GetLayers(0) : nullptr;
  if (base && (FCropped || FOwner->LayersCropped())) {
    IPXLayerOwner* o = FOwner;
    const int32_t x0 = base->GetPosX(), y0 = base->GetPosY(), w0 = base->GetWidth(), h0 = base->GetHeight();
    const int32_t clientWidth = FClientRect.Right - FClientRect.Left;
    const int32_t clientHeight = FClientRect.Bottom - FClientRect.Top;
    if (o->ClientToBitmapX(DestX) < x0) {
      SourceX = -Trunc32((double(GetPosX()) - x0) * (double(Width) / GetWidth()));
      SourceWidth = Width - SourceX;
      DestX = o->BitmapToClientX(x0);
      DestWidth = o->BitmapToClientX(AddClamped(GetPosX(), GetWidth())) - DestX;
    }
    if (o->ClientToBitmapY(DestY) < y0) {
      SourceY = -Trunc32((double(GetPosY()) - y0) * (double(Height) / GetHeight()));
      SourceHeight = Height - SourceY;
      DestY = o->BitmapToClientY(y0);
      DestHeight = o->BitmapToClientY(AddClamped(GetPosY(), GetHeight())) - DestY;
    }
    if (int64_t{x0} + w0 < o->ClientToBitmapX(AddClamped(DestX, DestWidth))) {
      DestWidth = o->BitmapToClientX(AddClamped(x0, w0)) - DestX;
      SourceWidth = clientWidth > 0 ? Trunc32(double(Width) / clientWidth * DestWidth) : 0;
    }
    if (int64_t{y0} + h0 < o->ClientToBitmapY(AddClamped(DestY, DestHeight))) {
      DestHeight = o->BitmapToClientY(AddClamped(y0, h0)) - DestY;
      SourceHeight = clientHeight > 0 ? Trunc32(double(Height) / clientHeight * DestHeight) : 0;
    }
  }

  FDrawDestRect = TPXDrawRect{DestX, DestY, DestWidth, DestHeight};
  FDrawSourceRect = TPXDrawRect{SourceX, SourceY, SourceWidth, SourceHeight};
}

// ---------------------------------------------------------------------------------------------
// Composition

namespace {

// Widens one axis of the placement by a shadow's growth Grow of a picture of Size pixels shown
// LayerSize picture pixels wide at Zoom: client pixels before the content and in all. An edge
// already cut (cropped) stays where it is; the source rectangle then moves with the content.
void GrowForShadow(int32_t Grow, int32_t Size, int32_t LayerSize, double Zoom, int32_t& DestPos,
                   int32_t& DestSize, int32_t& SourcePos, int32_t& SourceSize) {
  if (Grow <= 0 || Size <= 0) return;
  const int32_t before = Round32(LayerSize * (Grow / 2.0) / Size * Zoom / 100);
  const int32_t total = Round32(double(LayerSize) * Grow / Size * Zoom / 100);
  const bool cutBefore = SourcePos > 0, cutAfter = SourcePos + SourceSize < Size;
  if (cutBefore) {
    SourcePos += Grow / 2;
  } else {
    DestPos -= before;
    DestSize += before;
    SourceSize += Grow / 2;
  }
  if (!cutAfter) {
    DestSize += total - before;
    SourceSize += Grow - Grow / 2;
  }
}

}  // namespace

void TPXLayer::ComposeLayer(TPXBitmap* Dest, int32_t LayerIndex, TPXBitmap* Source, bool SourceIsPrivate,
                            TPXIntegerArray* ColumnTable, TPXIntegerArray* RowTable, void* Context, int32_t DestX,
                            int32_t DestY, int32_t DestWidth, int32_t DestHeight, int32_t SourceX, int32_t SourceY,
                            int32_t SourceWidth, int32_t SourceHeight, bool WithAlpha, bool FirstLayer,
                            TResampleFilter Filter) {
  if (!Dest || !Source || Source->IsEmpty() || Dest->IsEmpty()) return;

  // The effects are skipped while the view draws fast; layer 0 never gets a shadow.
  const bool fast = OwnerFastDrawing();
  const bool feather = !fast && FAlphaEdgeFeathering > 0;
  const bool shadow = !fast && FSoftShadow->Enabled && LayerIndex > 0;

  std::unique_ptr<TPXBitmap> copy;
  if ((feather || shadow) && !SourceIsPrivate) {
    copy = TPXBitmap::CreateCopy(Source);
    if (copy->IsEmpty()) return;
    Source = copy.get();
  }

  if (feather) Source->FeatherAlphaEdges(FAlphaEdgeFeathering);

  if (shadow) {
    const double zx = FOwner ? FOwner->ZoomX() : 100, zy = FOwner ? FOwner->ZoomY() : 100;
    const TPXVSoftShadow& s = *FSoftShadow;
    const int32_t radius = Trunc32((zx + zy) * s.Radius / 200);
    const int32_t ox = Trunc32(s.OffsetX * zx / 100), oy = Trunc32(s.OffsetY * zy / 100);
    const int32_t w0 = Source->Width(), h0 = Source->Height();
    ApplySoftShadow(Source, ox, oy, radius, s.Intensity, true, ShadowColor(s.Color),
                    GlobalSettingsInstance()->FSoftShadowParam, {}, nullptr);
    // The content sits centred in the grown picture.
    GrowForShadow(Source->Width() - w0, w0, GetWidth(), zx, DestX, DestWidth, SourceX, SourceWidth);
    GrowForShadow(Source->Height() - h0, h0, GetHeight(), zy, DestY, DestHeight, SourceY, SourceHeight);
  }

  // The view's lookup tables of the current zoom are used and kept when given (the renderer
  // builds them when empty); otherwise the renderer works with maps of its own. The context is
  // the view's update rectangle.
  TPXIntegerArray cols, rows;
  const bool viewMaps = ColumnTable && RowTable;
  Source->RenderToPXBitmapEx(Dest, viewMaps ? *ColumnTable : cols, viewMaps ? *RowTable : rows,
                             static_cast<const TRect*>(Context), DestX, DestY, DestWidth, DestHeight, SourceX,
                             SourceY, SourceWidth, SourceHeight, WithAlpha, FirstLayer, FTransparency, Filter,
                             !viewMaps, static_cast<TPXBlendOperation>(FOperation), FOpacity);
}
