// Flattening the image view: the composed stack drawn at 100 % into a separate bitmap without
// touching what the view shows, and the stack flattened into layer 0.
#include <algorithm>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "view/pixoranview.h"

void TPixoranView::LayersDrawTo(TPXBitmap* Dest, bool ResizeAndFill) {
  if (!Dest || GetLayersCount() == 0) return;
  SetDelayedDrawing(true);
  int32_t rx = 0, ry = 0, rw = 0, rh = 0;
  GetLayersRect(false, false, rx, ry, rw, rh);
  if (ResizeAndFill) {
    if (Dest->IsEmpty() || Dest->Width() == 0 || Dest->Height() == 0) {
      Dest->Allocate(std::max(rw, 1), std::max(rh, 1), px24RGB);
      Dest->Fill(static_cast<double>(Background()));
    } else {
      Dest->ResizeCanvas(std::max(rw, 1), std::max(rh, 1), static_cast<double>(Background()), 255, 0, 0);
    }
  }

  // The drawing state becomes a 1:1 view of the whole stack; everything is put back also when
  // the composition raises.
  struct TSaved {
    TPixoranView* V;
    double ZoomX, ZoomY;
    int32_t ViewX, ViewY, OffsetX, OffsetY, VisibleWidth, VisibleHeight, ZoomedW, ZoomedH, ExtentW, ExtentH;
    ~TSaved() {
      V->FExtentWidth = ExtentW, V->FExtentHeight = ExtentH;
      V->FViewX = ViewX, V->FViewY = ViewY;
      V->FZoomX = ZoomX, V->FZoomY = ZoomY;
      V->FZX = ZoomX / 100, V->FIZX = 100 / ZoomX, V->FZY = ZoomY / 100, V->FIZY = 100 / ZoomY;
      V->FOffsetX = OffsetX, V->FOffsetY = OffsetY;
      V->FVisibleWidth = VisibleWidth, V->FVisibleHeight = VisibleHeight;
      V->FZoomedExtentWidth = ZoomedW, V->FZoomedExtentHeight = ZoomedH;
      V->FNoUpdateInvalidate = true;
      try {
        V->Update();
      } catch (...) {
      }
      V->FNoUpdateInvalidate = false;
      V->UpdateSourceRect();
      V->UpdateZoomTables();
    }
  } saved{this,           FZoomX,        FZoomY,        FViewX,         FViewY,
          FOffsetX,       FOffsetY,      FVisibleWidth, FVisibleHeight, FZoomedExtentWidth,
          FZoomedExtentHeight, FExtentWidth, FExtentHeight};
  const int32_t w0 = FLayers[0]->GetWidth(), h0 = FLayers[0]->GetHeight();
  FZoomX = FZoomY = 100;
  FZX = FIZX = FZY = FIZY = 1;
  FViewX = FViewY = 0;
  FOffsetX = -rx, FOffsetY = -ry;
  FVisibleWidth = FZoomedExtentWidth = w0;
  FVisibleHeight = FZoomedExtentHeight = h0;
  FExtentWidth = w0, FExtentHeight = h0;
  DrawLayers(Dest, nullptr, false, false);
}

void TPixoranView::MergeAllLayers() {
  if (TPixoranProc* proc = FProc; proc && proc->AutoUndo() && FLayerOptions.Contains(loAutoUndoChangesByCode))
    StoreLayerUndo(275, 123);
  FHasImageLayer = false;
  FMainBitmap = nullptr;
  FLegacyTBitmap = nullptr;
  CallBitmapChangeEvents(pxbcBitmapReplaced);
  FLayersCurrent = -1;
  LockUpdate();
  struct TEnd {
    TPixoranView* V;
    ~TEnd() {
      // Whatever happened, the view is left with a current layer and its picture.
      V->FLayersCurrent = -1;
      V->SetLayersCurrentEx(0, false, false, false);
      V->UnlockUpdate();
    }
  } end{this};
  // Every layer that is not a mask, bottom first; each is composed onto the running base.
  size_t i = 1;
  while (i < FLayers.size()) {
    if (FLayers[i]->IsMask()) {
      ++i;
      continue;
    }
    TPXLayer* base = FLayers[0].get();
    if (FLayers[i]->Kind() != pxlkImage) {
      std::unique_ptr<TPXLayer> image = TPXImageLayer::CreateFromLayer(this, FLayers[i].get(), 1.0, true);
      FLayers[i] = std::move(image);
    }
    TPXLayer* upper = FLayers[i].get();
    TPXLayer* mask = i + 1 < FLayers.size() && FLayers[i + 1]->IsMask() ? FLayers[i + 1].get() : nullptr;
    auto merged = std::make_unique<TPXImageLayer>(this);
    TPXBlendLayerOptions options;
    options.Mask = mask;
    options.Filter = LayerResampleFilter();
    options.Background = Background();
    BlendLayerPair(base, upper, merged->Bitmap(), options);
    // Layer 0 holds the canvas origin: it grows towards an upper layer that lies further left or
    // up, unless that one is cropped to it.
    int32_t px = base->GetPosX(), py = base->GetPosY();
    if (!upper->Cropped()) px = std::min(px, upper->GetPosX()), py = std::min(py, upper->GetPosY());
    merged->SetPosX(px);
    merged->SetPosY(py);
    merged->SetLocked(base->Locked());
    merged->SetVisibleBox(base->VisibleBox());
    merged->SetSelectable(base->Selectable());
    if (TPXBitmap* old = LayerBitmap(0)) old->FOwnerView = nullptr;
    FLayers.erase(FLayers.begin() + static_cast<std::ptrdiff_t>(i), FLayers.begin() + static_cast<std::ptrdiff_t>(i) + (mask ? 2 : 1));
    FLayers[0] = std::move(merged);
    if (TPXBitmap* picture = LayerBitmap(0)) picture->FOwnerView = this;
  }
  // Masks left without a layer to clip go too.
  FLayers.resize(1);
}

void TPixoranView::LayersMergeAll(bool UseMerge) {
  if (GetLayersCount() < 2) return;
  if (UseMerge) {
    MergeAllLayers();
    ImageChange(2);
    return;
  }
  if (TPixoranProc* proc = FProc; proc && proc->AutoUndo() && FLayerOptions.Contains(loAutoUndoChangesByCode))
    StoreLayerUndo(275, 123);
  SetLayersCurrent(0);
  int32_t rx = 0, ry = 0, rw = 0, rh = 0;
  GetLayersRect(false, false, rx, ry, rw, rh);
  auto flat = TPXBitmap::CreateAllocated(std::max(GetCurrentImageWidth(), 1), std::max(GetCurrentImageHeight(), 1),
                                         px24RGB);
  flat->Fill(static_cast<double>(Background()));
  LayersDrawTo(flat.get(), true);
  LayersClear(true);
  FMainBitmap->AssignFrom(flat.get(), true);
  FLayers[0]->SetPosX(rx);
  FLayers[0]->SetPosY(ry);
  Update();
}
