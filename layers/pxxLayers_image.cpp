// TPXImageLayer's rendering and painting: the direct path of the unmoved background layer,
// rotated painting (smooth copies or virtual rotated views), the magnifier, the border;
// CreateFromLayer, ResetBitmap and CropToOpaque.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_geometry.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_rotate.h"

namespace {

// Restores the box a rotated paint replaces for its duration, on every way out.
class TBoxRestore {
 public:
  TBoxRestore(double& PosX, double& PosY, double& Width, double& Height)
      : FPosX(PosX), FPosY(PosY), FWidth(Width), FHeight(Height), FSaved{PosX, PosY, Width, Height} {}
  ~TBoxRestore() {
    FPosX = FSaved[0];
    FPosY = FSaved[1];
    FWidth = FSaved[2];
    FHeight = FSaved[3];
  }
  TBoxRestore(const TBoxRestore&) = delete;
  TBoxRestore& operator=(const TBoxRestore&) = delete;

 private:
  double& FPosX;
  double& FPosY;
  double& FWidth;
  double& FHeight;
  double FSaved[4];
};

// A real copy of a virtual bitmap (px24RGB, or px8g for a virtual alpha channel), row by row,
// with its alpha channel; the magnifier draws on it.
std::unique_ptr<TPXBitmap> MaterializeVirtual(TPXBitmap* Source) {
  const int32_t w = Source->Width(), h = Source->Height();
  const TPXPixelFormat format = Source->PixelFormat();
  auto copy = TPXBitmap::CreateAllocated(w, h, format);
  if (copy->IsEmpty() && w > 0 && h > 0) throw EOutOfMemory("Out of memory");
  const size_t bytes = static_cast<size_t>(std::min<int64_t>(copy->RowLen(), Source->RowLen()));
  for (int32_t y = 0; y < h; ++y) std::memcpy(copy->Scanline(y), Source->Scanline(y), bytes);
  if (TPXBitmap* alpha = Source->PeekAlphaChannel()) {
    std::unique_ptr<TPXBitmap> a = MaterializeVirtual(alpha);
    a->UpdateFull();
    copy->ReplaceAlphaChannel(std::move(a));
  }
  return copy;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rendering

void TPXImageLayer::RenderContent(std::unique_ptr<TPXBitmap>& Dest, int32_t Width, int32_t Height,
                                  bool /*FastDrawing*/, bool WithAlpha, bool FitAspect, uint8_t Mode,
                                  int32_t /*Reserved*/) {
  if (Mode == 2 || Mode == 3) return;
  if (Width < 1) Width = GetOriginalWidth();
  if (Height < 1) Height = GetOriginalHeight();
  if (!Dest) EnsureRenderBitmap24(Dest, 1, 1, clWhite);
  TPXBitmap* d = Dest.get();
  if (!FBitmap || FBitmap->IsEmpty()) {
    d->Allocate(0, 0, px24RGB);
  } else {
    d->AssignFrom(FBitmap.get(), true);
    if (FitAspect) {
      int32_t fw = 0, fh = 0;
      CalcFitSize(GetWidth(), GetHeight(), Width, Height, false, true, fw, fh);
      d->Resample(std::max(1, fw), std::max(1, fh), FImageResampleFilter, false, false);
      if (WithAlpha) d->AlphaChannel();
      d->ResizeCanvas(Width, Height, clWhite, 0, 1, 1);
    } else if (Width > 0 && Height > 0) {
      d->Resample(Width, Height, FImageResampleFilter, false, false);
    }
  }
  if (!WithAlpha) d->RemoveAlphaChannel(false, clWhite);
  FireBeforeDrawLayer(d);
}

// ---------------------------------------------------------------------------------------------
// Painting

namespace {

double OwnerZoomX(IPXLayerOwner* Owner) { return Owner ? Owner->ZoomX() : 100.0; }
double OwnerZoomY(IPXLayerOwner* Owner) { return Owner ? Owner->ZoomY() : 100.0; }

// The border: an unfilled rectangle of pen width Round(BorderWidth x ZoomX / 100) around
// (X, Y, Width, Height) on Target's antialiased canvas; nothing for clNone, a pen below 1 or an
// empty rectangle.
void DrawLayerBorder(TPXBitmap* Target, TColor Color, int32_t BorderWidth, double ZoomX, int32_t X, int32_t Y,
                     int32_t Width, int32_t Height) {
  const int32_t pw = Round32(BorderWidth * ZoomX / 100);
  if (pw < 1 || Color == clNone || Width <= 0 || Height <= 0 || !Target || Target->IsEmpty()) return;
  const int32_t half = pw / 2;
  Target->DrawRectangle(X + half, Y + half, X + Width - half + 1, Y + Height - half + 1, Color, pw, 255, clNone, 255);
}

}  // namespace

void TPXImageLayer::Paint(TPXBitmap* Dest, int32_t LayerIndex, TPXIntegerArray* ColumnTable, TPXIntegerArray* RowTable,
                          void* Context, int32_t Dest0X, int32_t Dest0Y, int32_t Dest0Width, int32_t Dest0Height,
                          int32_t Src0X, int32_t Src0Y, int32_t Src0Width, int32_t Src0Height, bool WithAlpha,
                          bool FirstLayer, TResampleFilter Filter, uint8_t RotateQuality, bool MouseOperation) {
  if (!Dest || !FBitmap || FBitmap->IsEmpty()) return;
  if (OwnerFastDrawing()) {
    Filter = rfNone;
    RotateQuality = 0;
  }
  const double zoomX = OwnerZoomX(FOwner), zoomY = OwnerZoomY(FOwner);

  // The background layer at its natural place: straight from the view's placement and tables.
  const bool handler = FOwner && FOwner->HasBeforeDrawLayer();
  if (LayerIndex == 0 && FWidth == 0 && FHeight == 0 && GetPosX() == 0 && GetPosY() == 0 && FRotate == 0 &&
      !FSoftShadow->Enabled && !handler) {
    ComposeLayer(Dest, 0, FBitmap.get(), false, ColumnTable, RowTable, Context, Dest0X, Dest0Y, Dest0Width,
                 Dest0Height, Src0X, Src0Y, Src0Width, Src0Height, WithAlpha, FirstLayer, Filter);
    FClientRect = TRect(Dest0X, Dest0Y, Dest0X + Dest0Width, Dest0Y + Dest0Height);
    FDrawDestRect = {Dest0X, Dest0Y, Dest0Width, Dest0Height};
    FDrawSourceRect = {Src0X, Src0Y, Src0Width, Src0Height};
    DrawLayerBorder(Dest, FBorderColor, FBorderWidth, zoomX, Dest0X, Dest0Y, Dest0Width, Dest0Height);
    return;
  }

  std::optional<TBoxRestore> restore;  // set while a rotated paint replaces the box
  TPXBitmap* picture = FBitmap.get();
  bool borderDrawn = false;
  bool pictureIsPrivate = false;
  std::unique_ptr<TPXBitmap> rotated;  // the rotated picture, owning its resized source
  std::unique_ptr<TPXBitmap> copy;     // a resized copy with the border, or a real lens bitmap

  // A copy of the picture at the box size w x h (nearest), with the border drawn into it.
  auto sizedCopy = [&](int32_t W, int32_t H) {
    auto s = TPXBitmap::CreateAllocated(W, H, FBitmap->PixelFormat());
    if (s->IsEmpty()) throw EOutOfMemory("Out of memory");
    ResampleWithAlpha(FBitmap.get(), s.get(), rfNone, TPXProgressEvent(), nullptr);
    DrawLayerBorder(s.get(), FBorderColor, FBorderWidth, zoomX, 0, 0, W, H);
    borderDrawn = true;
    return s;
  };

  if (FRotate != 0) {
    restore.emplace(FPosX, FPosY, FWidth, FHeight);
    const int32_t px = GetPosX(), py = GetPosY(), w = GetWidth(), h = GetHeight();
    std::unique_ptr<TPXBitmap> sourceCopy;
    TPXBitmap* source = FBitmap.get();
    // A copy only where the size differs or a border shows; an invisible border draws nothing
    // into the copy, so the picture itself serves.
    const bool borderShows = FBorderColor != clNone && Round32(FBorderWidth * zoomX / 100) >= 1;
    if (source->Width() != w || source->Height() != h || borderShows) {
      sourceCopy = sizedCopy(w, h);
      source = sourceCopy.get();
    }
    if (RotateQuality == 2 || RotateQuality == 3) {
      rotated = std::make_unique<TPXBitmap>();
      RotateSmoothTo(source, rotated.get(), FRotate, clBlack, RotateQuality);
      // The alpha channel turns with the same quality; a picture without one is opaque.
      std::unique_ptr<TPXBitmap> opaque;
      TPXBitmap* sourceAlpha = source->PeekAlphaChannel();
      if (!sourceAlpha) {
        opaque = TPXBitmap::CreateAlphaChannel(source->Width(), pxMemory, source->Height());
        sourceAlpha = opaque.get();
      }
      auto alpha = std::make_unique<TPXBitmap>();
      RotateGraySmoothTo(sourceAlpha, alpha.get(), FRotate, 0, RotateQuality);
      alpha->UpdateFull();
      rotated->ReplaceAlphaChannel(std::move(alpha));
      pictureIsPrivate = true;
    } else {
      // Pixels fetched on demand; the alpha view turns the source's alpha (an opaque one when
      // it has none, so that the corners outside the picture stay transparent).
      std::unique_ptr<TPXBitmap> alphaView;
      if (TPXBitmap* sourceAlpha = source->PeekAlphaChannel()) {
        alphaView = std::make_unique<TPXVirtualRotatedBitmap>(sourceAlpha, FRotate, TColor(0));
      } else {
        alphaView = std::make_unique<TPXVirtualRotatedBitmap>(
            TPXBitmap::CreateAlphaChannel(source->Width(), pxMemory, source->Height()), FRotate, TColor(0));
      }
      if (sourceCopy)
        rotated = std::make_unique<TPXVirtualRotatedBitmap>(std::move(sourceCopy), FRotate, clBlack);
      else
        rotated = std::make_unique<TPXVirtualRotatedBitmap>(source, FRotate, clBlack);
      alphaView->FFull = 0;
      rotated->ReplaceAlphaChannel(std::move(alphaView));
    }
    FWidth = rotated->Width();
    FHeight = rotated->Height();
    std::array<TPoint, 4> corners{TPoint{0, 0}, TPoint{w, 0}, TPoint{w, h}, TPoint{0, h}};
    RotatePoints(corners.data(), 4, Trunc32(w * FRotateCenterX), Trunc32(h * FRotateCenterY), FRotate);
    int32_t minX = corners[0].X, minY = corners[0].Y;
    for (const TPoint& c : corners) {
      minX = std::min(minX, c.X);
      minY = std::min(minY, c.Y);
    }
    FPosX = double(px) + minX;
    FPosY = double(py) + minY;
    const int32_t originX = FOwner ? FOwner->PictureOriginX() - FOwner->ScrollOffsetX() : 0;
    const int32_t originY = FOwner ? FOwner->PictureOriginY() - FOwner->ScrollOffsetY() : 0;
    for (TPoint& c : corners) {
      c.X = Trunc32((double(c.X) + px) * zoomX / 100) + originX;
      c.Y = Trunc32((double(c.Y) + py) * zoomY / 100) + originY;
    }
    FRotatedCorners = corners;
    picture = rotated.get();
  } else if (FSoftShadow->Enabled) {
    const int32_t w = GetWidth(), h = GetHeight();
    if (FBitmap->Width() != w || FBitmap->Height() != h || FBorderWidth > 0) {
      copy = sizedCopy(w, h);
      picture = copy.get();
      pictureIsPrivate = true;
    }
  }

  // The magnifier: the lens shows the view (or the background layer) enlarged around the layer.
  if (LayerIndex > 0 && FMagnifierEnabled && FMagnifierZoom >= 1.0) {
    if (picture->IsVirtual()) {
      copy = MaterializeVirtual(picture);
      picture = copy.get();
      pictureIsPrivate = true;
    }
    if (!MouseOperation) {
      if (FWidth > 0 && Round32(FWidth) != picture->Width()) picture->SetWidth(Round32(FWidth));
      if (FHeight > 0 && Round32(FHeight) != picture->Height()) picture->SetHeight(Round32(FHeight));
    }
    const int32_t pw = picture->Width(), ph = picture->Height();
    int32_t lw = Trunc32(pw / (FMagnifierZoom / (zoomX / 100)));
    int32_t lh = Trunc32(ph / (FMagnifierZoom / (zoomY / 100)));
    const int32_t cx = (FOwner ? FOwner->BitmapToClientX(GetPosX()) : GetPosX()) + Trunc32(pw * zoomX / 100 / 2);
    const int32_t cy = (FOwner ? FOwner->BitmapToClientY(GetPosY()) : GetPosY()) + Trunc32(ph * zoomY / 100 / 2);
    const int32_t x1 = cx - lw / 2, y1 = cy - lh / 2, x2 = cx + lw - lw / 2, y2 = cy + lh - lh / 2;
    if (pw > 0 && ph > 0) {
      if (FMagnifierSource == 1) {
        TCanvas* target = picture->GetCanvas();
        TCanvas* view = Dest->GetCanvas();
        if (target && view) target->CopyRect(TRect(0, 0, pw, ph), view, TRect(x1, y1, x2, y2));
      } else if (FMagnifierSource == 0) {
        if (picture->PixelFormat() != px24RGB) picture->SetPixelFormat(px24RGB);
        TPXLayer* base = FOwner ? FOwner->GetLayers(0) : nullptr;
        TPXBitmap* baseBitmap = base ? base->GetBitmap() : nullptr;
        if (baseBitmap && !baseBitmap->IsEmpty()) {
          const int32_t bx1 = FOwner->ClientToBitmapX(x1), by1 = FOwner->ClientToBitmapY(y1);
          const int32_t bx2 = FOwner->ClientToBitmapX(x2), by2 = FOwner->ClientToBitmapY(y2);
          lw = bx2 - bx1 + 1;
          lh = by2 - by1 + 1;
          const int32_t bw = baseBitmap->Width(), bh = baseBitmap->Height();
          if (bx1 >= 0 && by1 >= 0 && bx1 < bw - lw && by1 < bh - lh && lw < bw && lh < bh) {
            picture->Fill(0);
            baseBitmap->RenderToPXBitmap(picture, 0, 0, pw, ph, bx1, by1, lw, lh, true, 255, Filter, pxboNormal,
                                         1.0);
          }
        }
      }
      if (FMagnifierShape == 0) {
        TPXBitmap* alpha = picture->AlphaChannel();
        alpha->Fill(255);
        alpha->FFull = 1;
      } else if (FMagnifierShape == 1) {
        TPXBitmap* alpha = picture->AlphaChannel();
        alpha->Fill(0);
        if (TCanvas* canvas = alpha->GetCanvas()) {
          canvas->Brush()->SetStyle(bsSolid);
          canvas->Brush()->SetColor(0xFFFFFF);
          canvas->Pen()->SetStyle(psSolid);
          canvas->Pen()->SetColor(0xFFFFFF);
          canvas->Ellipse(0, 0, pw - 1, ph - 1);
        }
        alpha->FFull = 0;
      }
    }
  }

  FireBeforeDrawLayer(picture);
  UpdateClientRect();
  int32_t dx = 0, dy = 0, dw = 0, dh = 0, sx = 0, sy = 0, sw = 0, sh = 0;
  ComputeDrawRects(picture->Width(), picture->Height(), dx, dy, dw, dh, sx, sy, sw, sh);
  ComposeLayer(Dest, LayerIndex, picture, pictureIsPrivate, nullptr, nullptr, Context, dx, dy, dw, dh, sx, sy, sw, sh,
               WithAlpha, FirstLayer, Filter);
  if (!borderDrawn) DrawLayerBorder(Dest, FBorderColor, FBorderWidth, zoomX, dx, dy, dw, dh);
  FDrawDestRect = {dx, dy, dw, dh};
  FDrawSourceRect = {sx, sy, sw, sh};
}

// ---------------------------------------------------------------------------------------------
// Other operations

std::unique_ptr<TPXImageLayer> TPXImageLayer::CreateFromLayer(IPXLayerOwner* Owner, TPXLayer* Source, double Scale,
                                                              bool CropTransparent) {
  std::unique_ptr<TPXBitmap> rendered;
  if (Source) {
    Source->CopyToBitmap(rendered, Trunc32(Scale * Source->GetWidth()), Trunc32(Scale * Source->GetHeight()), true,
                         false);
  }
  if (!rendered) rendered = std::make_unique<TPXBitmap>();
  auto layer = std::make_unique<TPXImageLayer>(Owner);
  layer->FUpdating = 1;
  if (Source) {
    layer->Assign(Source);
    layer->FUpdating = 1;  // Assign ends its own update
    // Assign hands an image source's own pixels over; the layer shows the rendering at Scale.
    layer->FBitmap = std::move(rendered);
    layer->FOwnsBitmap = 1;
    layer->FRotate = 0;
    layer->FMaskInverted = 0;
    if (Source->Kind() == pxlkImage) {
      // An image mask's pixels are stored inverted already; the copy carries them so.
      layer->FMaskInverted = layer->FIsMask && Source->MaskInverted();
    } else {
      layer->SetMaskInverted(Source->MaskInverted());
    }
    layer->FBorderColor = clNone;
    layer->Changed(true);
    if (Scale == 1.0) layer->RestoreSize();
    if (CropTransparent) layer->CropToOpaque();
  } else {
    layer->FBitmap = std::move(rendered);
  }
  layer->FUpdating = 0;
  return layer;
}

void TPXImageLayer::ResetBitmap(TColor Color, int32_t NewWidth, int32_t NewHeight) {
  if (!FBitmap) FBitmap = std::make_unique<TPXBitmap>();
  FBitmap->RemoveAlphaChannel(false, clWhite);
  if (!FBitmap->Allocate(std::max(1, NewWidth), std::max(1, NewHeight), px24RGB))
    throw EOutOfMemory("Out of memory");
  FBitmap->Fill(Color);
  FWidth = 0;
  FHeight = 0;
  if (NewWidth <= 1) FPosX = 1.0;
  if (NewHeight <= 1) FPosY = 1.0;
  Changed(true);
}

bool TPXImageLayer::CropToOpaque() {
  if (!FBitmap || FBitmap->IsEmpty()) return false;
  const int32_t w0 = FBitmap->Width(), h0 = FBitmap->Height();
  const TRect r = GetOpaqueBounds(FBitmap.get());
  if (r.Right < 0 || r.Bottom < 0) return false;
  FBitmap->Crop(r.Left, r.Top, r.Right, r.Bottom, clWhite);
  const double fx = FWidth > 0 ? FWidth / w0 : 1.0;
  const double fy = FHeight > 0 ? FHeight / h0 : 1.0;
  FPosX += r.Left * fx;
  FPosY += r.Top * fy;
  if (FWidth > 0) FWidth = FBitmap->Width() * FWidth / w0;
  if (FHeight > 0) FHeight = FBitmap->Height() * FHeight / h0;
  Changed(true);
  return true;
}
