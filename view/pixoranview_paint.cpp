// TPixoranView's painting: the paint order, the back buffer and its copy to the window, the
// composition of the layers (DrawLayers) with mask layers and the outside marking of the current
// layer, the delayed filtering, the zone cursor, the hint and the version stamp.
#include <algorithm>
#include <cstring>

#include "core/hypxutils_draw.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/Forms.h"
#include "view/pixoranview.h"
#include "view/pxxThemes.h"

namespace {

// The layer's own alpha, detached while its mask's combined alpha is attached for one paint.
struct TDetachedAlpha {
  TPXLayer* Layer = nullptr;
  std::unique_ptr<TPXBitmap> Alpha;  // nil when the layer had none
};
TDetachedAlpha& DetachedAlpha() {
  static TDetachedAlpha detached;
  return detached;
}

TPXBitmap* LayerPicture(TPXLayer* Layer) {
  auto* image = dynamic_cast<TPXImageLayer*>(Layer);
  return image ? image->Bitmap() : nullptr;
}

// A layer that is not an image layer, or an image layer whose alpha channel is not entirely 255.
bool LayerHasAlpha(TPXLayer* Layer) {
  TPXBitmap* picture = LayerPicture(Layer);
  if (!picture) return true;
  TPXBitmap* alpha = picture->PeekAlphaChannel();
  return alpha && !alpha->FFull;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Paint

void TPixoranView::Paint() {
  const bool offScreen = FDisplayOptions.Contains(pxdoPaintWhenOffScreen);
  if (!HandleAllocated()) return;
  const int32_t dw = GetDisplayWidth(), dh = GetDisplayHeight();
  if ((!HasParentWindow() || dw == 0 || dh == 0) && !offScreen) return;
  TCanvas* canvas = Canvas();
  try {
    if (ComponentState().Contains(csDesigning)) {
      DrawBackground(ComponentState(), canvas, nullptr, FBackgroundStyle, ThemedColor(0, Background(), false), 0, 0,
                     Width(), Height(), 0, 0, 0, 0, FChessboardSize, FChessboardBrushStyle, FChessboardTwoColors,
                     ThemedColor(2, FGradientEndColor, false), FWallpaper.get(), FWallpaperStyle,
                     FBlurredBackdrop.get(), false);
    } else if (FPaintLockCount == 0) {
      TRect rect(0, 0, dw, dh);
      if (!FFullRepaint) {
        rect = canvas->ClipRect();
        if (rect.Right == 0) rect.Right = dw;
        if (rect.Bottom == 0) rect.Bottom = dh;
      }
      rect.Left = std::max(rect.Left, 0);
      rect.Top = std::max(rect.Top, 0);
      rect.Right = std::min(rect.Right, dw);
      rect.Bottom = std::min(rect.Bottom, dh);
      PaintBackBuffer(rect);
      if (FZoneCursorShapeInUse != pxcsDefault) {
        TPoint p = ScreenToClient(Mouse()->CursorPos());
        FZoneCursorRect = DrawZoneCursor(canvas, FZoneCursorShapeInUse, p,
                                         Trunc32(FZoneCursorSizeInUse.X * FZoomX / 100),
                                         Trunc32(FZoneCursorSizeInUse.Y * FZoomY / 100), true);
      }
      if (FOnDrawCanvas) FOnDrawCanvas(this, canvas, TRect(0, 0, dw, dh));
    }
    FFullRepaint = false;
    if (!OutlineSuppressed) DrawSelectionOutline(this, false);
    if (FOnPaint) FOnPaint(this);
  } catch (const Exception&) {
    // A failing layer or handler leaves the rest of the window painted.
  }
  if (FDrawVersion) {
    canvas->Font()->SetName("Arial");
    canvas->Font()->SetHeight(13);
    canvas->Font()->SetColor(clBlack);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(clWhite);
    const std::string text = std::string("Pixoran Version ") + PixoranViewVersion + " - 21/11/2019";
    const TSize size = canvas->TextExtent(text);
    canvas->TextOut(dw - size.cx, dh - size.cy, text);
  }
  if (!FHintText.empty() && FEnableInteractionHints)
    DrawHintLabel(canvas, FHintX, FHintY, FHintText, FHintMeasureText, FHintCentred);
  if (FAutoCursors && FFirstPaintCursor) {
    SetCursor(FCursor);
    FFirstPaintCursor = false;
  }
}

void TPixoranView::PaintBackBuffer(const TRect& UpdateRect) {
  if (!HasParentWindow() && !FDisplayOptions.Contains(pxdoPaintWhenOffScreen)) return;
  if (!FBackBuffer) return;
  if (ToolsNeedBackBufferUpdate()) FBackBufferDirty = true;
  const int32_t dw = GetDisplayWidth(), dh = GetDisplayHeight();
  if (FBackBuffer->Width() != dw || FBackBuffer->Height() != dh) {
    FBackBuffer->Allocate(dw, dh, px24RGB);
    FBackBufferDirty = true;
  }
  if (FBackBufferDirty) {
    DrawLayers(FBackBuffer.get(), &UpdateRect, true, true);
    if (FOnDrawBackBuffer) FOnDrawBackBuffer(this);
    FBackBufferDirty = false;
  }
  ToolsPaintToBackBuffer();
  const int32_t w = std::min(UpdateRect.Width(), dw), h = std::min(UpdateRect.Height(), dh);
  if (w > 0 && h > 0) {
    TBitmap* source = FBackBuffer->GetVclBitmap();
    BitBlt(Canvas()->Handle(), UpdateRect.Left, UpdateRect.Top, w, h, source->Canvas()->Handle(), UpdateRect.Left,
           UpdateRect.Top, SRCCOPY);
  }
  ToolsPaintToCanvas(UpdateRect);
  FLastPaintHandle = Handle();
}

// ---------------------------------------------------------------------------------------------
// Composition

void TPixoranView::DrawLayers(TPXBitmap* Dest, const TRect* UpdateRect, bool DrawBackgroundToo, bool DrawGadgets) {
  UpdateLayersExtent();
  UpdateSourceRect();
  UpdateZoomTables();
  if (!Dest || ComponentState().Contains(csDesigning)) return;
  if (GetLayersCount() == 1 && (GetCurrentImageWidth() == 0 || GetCurrentImageHeight() == 0)) return;
  // An alpha channel of another size than its picture is repaired by Update first.
  if (FMainBitmap && FMainBitmap->HasAlphaChannel()) {
    TPXBitmap* alpha = FMainBitmap->PeekAlphaChannel();
    if (alpha->Width() != FMainBitmap->Width() || alpha->Height() != FMainBitmap->Height()) return;
  }
  bool first = true;
  const int32_t n = GetLayersCount();
  for (int32_t i = 0; i < n; ++i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    if (!layer->Visible() || i == EditingTextLayer) continue;
    // A mask is drawn through the layer it clips, never by itself.
    if (layer->IsMask() && i > 0) continue;
    if (TPXBitmap* picture = LayerPicture(layer);
        picture && picture->Width() < MinLayerDrawSize && picture->Height() < MinLayerDrawSize)
      continue;
    TPXLayer* next = i + 1 < n ? FLayers[static_cast<size_t>(i) + 1].get() : nullptr;
    bool masked = false;
    if (next && next->IsMask() && !layer->IsMask() && layer->Rotate() == 0 && LayerPicture(layer))
      masked = ApplyMaskLayer(layer, next);
    try {
      if (DrawBackgroundToo && first) DrawLayersBackground(Dest, UpdateRect, false, LayerHasAlpha(layer), layer);
      TResampleFilter filter = FZoomFilterInUse;
      if (FFilterDelayCount > 0 || (layer->IsNaturalSize() && FZoomX == 100 && FZoomY == 100)) filter = rfNone;
      else if (LayerPicture(layer) && layer->ImageUseResampleFilter()) filter = layer->ImageResampleFilter();
      layer->Paint(Dest, i, &FActiveXC2B, &FActiveYC2B, const_cast<TRect*>(UpdateRect), FOffsetX, FOffsetY, FDstWidth,
                   FDstHeight, FSrcX, FSrcY, FSrcWidth, FSrcHeight, FEnableAlphaChannel,
                   FBackgroundStyle == pxbsSolid && first, filter, 0, false);
      LayerDrawn(i, Dest, UpdateRect);
      if (DrawGadgets && i == FLayersCurrent && layer->DrawOuter()) DrawOuter(Dest, layer->ClientRect());
      if (FOnDrawLayer) FOnDrawLayer(this, Dest, i);
    } catch (...) {
      if (masked) RestoreLayerAlpha(layer);
      throw;
    }
    if (masked) RestoreLayerAlpha(layer);
    first = false;
  }
  if (DrawBackgroundToo && first) DrawLayersBackground(Dest, UpdateRect, true, false, nullptr);
  if (DrawGadgets) DrawSelectionFill(Dest->GetVclBitmap());
}

void TPixoranView::LayerDrawn(int32_t /*LayerIndex*/, TPXBitmap* /*Dest*/, const TRect* /*UpdateRect*/) {}

void TPixoranView::DrawLayersBackground(TPXBitmap* Dest, const TRect* UpdateRect, bool AfterLayers,
                                        bool HasAlpha, TPXLayer* FirstLayer) {
  const int32_t w = Dest->Width(), h = Dest->Height();
  if (!AfterLayers && FirstLayer) {
    TPXBitmap* base = LayerPicture(GetLayers(0));
    const bool covers = FirstLayer->GetPosX() == 0 && FirstLayer->GetPosY() == 0 && FirstLayer->Rotate() == 0 &&
                        FOffsetX <= 0 && FOffsetY <= 0 && FDstWidth >= w && FDstHeight >= h &&
                        !(FEnableAlphaChannel && HasAlpha) && FirstLayer->Operation() == 0 &&
                        FirstLayer->Transparency() == 255 && FirstLayer->Opacity() >= 1.0 && base &&
                        base->Width() == FExtentWidth && base->Height() == FExtentHeight;
    if (covers) return;
  }
  TCanvas* canvas = Dest->GetCanvas();
  HDC dc = canvas->Handle();
  if (UpdateRect) IntersectClipRect(dc, UpdateRect->Left, UpdateRect->Top, UpdateRect->Right + 1, UpdateRect->Bottom + 1);
  bool handled = false;
  try {
    if (FOnDrawBackground) FOnDrawBackground(this, canvas, TRect(0, 0, w, h), handled);
    if (!handled) {
      if (FBackdropStale && FBackgroundStyle == pxbsBlurredImage) BuildBlurredBackdrop(LayerPicture(GetLayers(0)));
      DrawBackground(ComponentState(), canvas, Dest->GetVclBitmap(), FBackgroundStyle,
                     ThemedColor(0, Background(), false), 0, 0, w, h, FOffsetX, FOffsetY, FOffsetX + FDstWidth,
                     FOffsetY + FDstHeight, FChessboardSize, FChessboardBrushStyle, FChessboardTwoColors,
                     ThemedColor(2, FGradientEndColor, false), FWallpaper.get(), FWallpaperStyle,
                     FBlurredBackdrop.get(), true);
    }
  } catch (...) {
    SelectClipRgn(dc, nullptr);
    throw;
  }
  SelectClipRgn(dc, nullptr);
}

bool TPixoranView::ApplyMaskLayer(TPXLayer* Layer, TPXLayer* Mask) {
  TPXBitmap* picture = LayerPicture(Layer);
  if (!picture || picture->IsEmpty()) return false;
  TDetachedAlpha& detached = DetachedAlpha();
  detached.Layer = Layer;
  const bool hadAlpha = picture->HasAlphaChannel();
  if (TPXBitmap* cached = Layer->MaskCache();
      cached && cached->Width() == picture->Width() && cached->Height() == picture->Height()) {
    detached.Alpha = hadAlpha ? picture->DetachAlphaChannel(false) : nullptr;
    picture->ReplaceAlphaChannel(TPXBitmap::CreateCopy(cached));
    return true;
  }
  TPXBitmap* maskPicture = Mask->GetBitmap();
  if (!maskPicture || maskPicture->IsEmpty()) return false;
  // The mask in 8-bit grey, its own alpha merged onto white; the mask layer keeps its picture.
  std::unique_ptr<TPXBitmap> grey = TPXBitmap::CreateCopy(maskPicture);
  if (grey->HasAlphaChannel()) grey->RemoveAlphaChannel(true, clWhite);
  grey->SetPixelFormat(px8g);
  std::unique_ptr<TPXBitmap> own = picture->DetachAlphaChannel(true);
  const int32_t pw = picture->Width(), ph = picture->Height(), mw = grey->Width(), mh = grey->Height();
  auto combined = TPXBitmap::CreateAlphaChannel(pw, pxMemory, ph);
  // Layer pixels to mask pixels through both boxes in picture space.
  const double sy = Mask->GetHeightD() / mh, sx = Mask->GetWidthD() / mw;
  const double ly = Layer->GetHeightD() / ph, lx = Layer->GetWidthD() / pw;
  std::vector<int32_t> columns(static_cast<size_t>(pw));
  for (int32_t x = 0; x < pw; ++x)
    columns[static_cast<size_t>(x)] =
        Round32(lx * x / sx - Mask->GetPosXD() / sx + Layer->GetPosXD() / sx);
  for (int32_t y = 0; y < ph; ++y) {
    const int32_t my = Round32(ly * y / sy - Mask->GetPosYD() / sy + Layer->GetPosYD() / sy);
    uint8_t* out = combined->Scanline(y);
    const uint8_t* a = own->Scanline(y);
    if (my < 0 || my >= mh) {
      std::memset(out, 0, static_cast<size_t>(pw));
      continue;
    }
    const uint8_t* m = grey->Scanline(my);
    for (int32_t x = 0; x < pw; ++x) {
      const int32_t mx = columns[static_cast<size_t>(x)];
      out[x] = mx < 0 || mx >= mw ? 0 : std::min(a[x], m[mx]);
    }
  }
  combined->UpdateFull();
  detached.Alpha = hadAlpha ? std::move(own) : nullptr;
  picture->ReplaceAlphaChannel(std::move(combined));
  return true;
}

void TPixoranView::RestoreLayerAlpha(TPXLayer* Layer) {
  TDetachedAlpha& detached = DetachedAlpha();
  TPXBitmap* picture = LayerPicture(Layer);
  if (!picture || detached.Layer != Layer) return;
  std::unique_ptr<TPXBitmap> combined = picture->DetachAlphaChannel(false);
  if (detached.Alpha) picture->ReplaceAlphaChannel(std::move(detached.Alpha));
  detached = TDetachedAlpha();
  Layer->SetMaskCache(std::move(combined));
}

void TPixoranView::DrawOuter(TPXBitmap* Dest, const TRect& LayerRect) {
  const int32_t w = Dest->Width(), h = Dest->Height();
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = Dest->Scanline(y);
    const bool insideRow = y >= LayerRect.Top && y < LayerRect.Bottom;
    for (int32_t x = (y & 1); x < w; x += 2) {
      if (insideRow && x >= LayerRect.Left && x < LayerRect.Right) continue;
      std::memset(row + static_cast<size_t>(x) * 3, 97, 3);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Delayed drawing

bool TPixoranView::IsFastDrawingNow() {
  switch (FLayersFastDrawing) {
    case pxfFast: return true;
    case pxfNormal: return false;
    default: return FFilterDelayCount > 0 || MouseCapture();
  }
}

void TPixoranView::SetDelayedDrawing(bool Finished) {
  if (Finished) {
    FFastDrawDelayCount = 0;
    if (FFilterDelayCount > 0) {
      FFilterDelayCount = 0;
      Update();
    }
    return;
  }
  if (FDelayZoomFilter && FZoomFilter != rfNone && (FZoomX != 100 || FZoomY != 100))
    FFilterDelayCount = FilterDelayTicks;
  FFastDrawDelayCount = FastDrawDelayTicks;
  if (FAntsTimer) FAntsTimer->SetEnabled(true);
}

void TPixoranView::OutlineTimerTick(TObject* Sender) { DrawSelectionOutline(Sender, true); }

// ---------------------------------------------------------------------------------------------
// Invalidation and hints

void TPixoranView::InvalidateClientRect(const TRect& Rect, bool PaintNow) {
  FBackBufferDirty = true;
  if (!HandleAllocated()) return;
  InvalidateRect(Handle(), &Rect, FALSE);
  if (PaintNow) UpdateWindow(Handle());
}

void TPixoranView::AccumulateUpdateRect(const TRect& Rect) {
  if (Rect.Left == 0 && Rect.Right == 0) return;
  if (FPendingUpdateRect.IsEmpty()) FPendingUpdateRect = Rect;
  else UnionRect(FPendingUpdateRect, FPendingUpdateRect, Rect);
}

void TPixoranView::SetInteractionHint(const std::string& Text, int32_t X, int32_t Y, const std::string& MeasureText,
                                      bool Centred) {
  FHintText = Text;
  FHintX = X;
  FHintY = Y;
  FHintMeasureText = MeasureText;
  FHintCentred = Centred;
}

void TPixoranView::ShowInteractionHint(int32_t Operation, const std::string& Text, int32_t X, int32_t Y,
                                       const std::string& MeasureText, bool Centred) {
  std::string text = Text, measure = MeasureText;
  int32_t x = X, y = Y;
  if (FOnInteractionHint) {
    FOnInteractionHint(this, Operation, text, x, y);
    if (text != Text && !measure.empty() && measure.size() < text.size()) measure = text;
  }
  SetInteractionHint(text, x, y, measure, Centred);
}

// ---------------------------------------------------------------------------------------------
// The zone cursor

TRect TPixoranView::DrawZoneCursor(TCanvas* Canvas, TPXCursorShape Shape, TPoint Point, int32_t Width,
                                   int32_t Height, bool Cross) {
  if (Shape == pxcsDefault || !Canvas) return TRect(0, 0, 0, 0);
  HDC dc = Canvas->Handle();
  IntersectClipRect(dc, 0, 0, GetDisplayWidth(), GetDisplayHeight());
  const TPenMode oldMode = Canvas->Pen()->Mode();
  const TBrushStyle oldStyle = Canvas->Brush()->Style();
  Canvas->Pen()->SetMode(pmNot);
  Canvas->Brush()->SetStyle(bsClear);
  const int32_t x = Point.X, y = Point.Y, hw = Width / 2, hh = Height / 2;
  TRect zone(x - hw + 1, y - hh + 1, x + hw, y + hh);
  if (Width > 5 && Height > 5) {
    switch (Shape) {
      case pxcsCircle: Canvas->Ellipse(zone); break;
      case pxcsRectangle: Canvas->Rectangle(zone); break;
      case pxcsRoundRect: {
        const int32_t r = std::min(zone.Width(), zone.Height()) / 3;
        Canvas->RoundRect(zone, r, r);
        break;
      }
      default: break;
    }
  }
  if (Cross) {
    int32_t a = 13;
    if (Width >= 24 && Height >= 24) a = std::min(std::min(hw, hh) - 4, 13);
    Canvas->MoveTo(x - a, y);
    Canvas->LineTo(x + a + 1, y);
    Canvas->MoveTo(x, y - a);
    Canvas->LineTo(x, y + a + 1);
    UnionRect(zone, zone, TRect(x - a, y - a, x + a + 1, y + a + 1));
  }
  Canvas->Pen()->SetMode(oldMode);
  Canvas->Brush()->SetStyle(oldStyle);
  SelectClipRgn(dc, nullptr);
  return zone;
}
