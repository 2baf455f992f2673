// TPixoranView's layer list: the current layer and the bitmap that follows it, inserting with
// automatic placement and undo entries, removing, clearing and rearranging (a mask always stays
// directly above the layer it clips), the extent, the Modified flag and the layer options.
#include <algorithm>

#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "layers/pxxLayers_kinds.h"
#include "layers/pxxLayers_props.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/SysUtils.h"
#include "view/pixoranview.h"

namespace {

TPXBitmap* LayerPicture(TPXLayer* Layer) {
  auto* image = dynamic_cast<TPXImageLayer*>(Layer);
  return image ? image->Bitmap() : nullptr;
}

}  // namespace

TPXLayer* TPixoranView::GetLayers(int32_t Index) {
  if (Index < 0 || Index >= GetLayersCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return FLayers[static_cast<size_t>(Index)].get();
}

TStringList* TPixoranView::LayerDefaultProps() {
  if (!FLayerDefaultProps) FLayerDefaultProps = std::make_unique<TStringList>();
  return FLayerDefaultProps.get();
}

// ---------------------------------------------------------------------------------------------
// The current layer

void TPixoranView::SetLayersCurrent(int32_t Index) { SetLayersCurrentEx(Index, false, false, true); }

bool TPixoranView::SetLayersCurrentEx(int32_t Index, bool UserAction, bool DeselectOthers, bool DoUpdate) {
  bool changed = false;
  const int32_t n = GetLayersCount();
  if (DeselectOthers && IsMultiSelectOn()) {
    for (int32_t i = 0; i < n; ++i) {
      TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
      if (i == Index || !layer->Selected()) continue;
      layer->SetSelectedFlag(false);
      if (UserAction) DoLayerNotify(i, pxlDeselected);
      changed = true;
    }
  }
  if (Index >= 0 && Index < n && Index != FLayersCurrent) {
    // A selection keeps its place on the canvas across the switch.
    bool pushed = false;
    if (FLayersCurrent >= 0 && FLayersCurrent < n) {
      SyncCurrentLayerBitmap();
      if (FSelectionPresent) PushSelection(), pushed = true;
    }
    FLayersCurrent = Index;
    while (!FLayers[static_cast<size_t>(Index)]->Selectable() && Index > 0 && FSelectableEnforced) {
      --Index;
      FLayersCurrent = Index;
    }
    TPXBitmap* picture = LayerPicture(FLayers[static_cast<size_t>(Index)].get());
    FHasImageLayer = picture != nullptr;
    FMainBitmap = picture ? picture : LayerPicture(FLayers[0].get());
    FLegacyTBitmap = FMainBitmap && FMainBitmap->Location() == pxTBitmap ? FMainBitmap->GetVclBitmap() : nullptr;
    if (pushed) PopSelection(true, 2);
    CallBitmapChangeEvents(pxbcBitmapReplaced);
    changed = true;
  }
  if (IsMultiSelectOn() && Index >= 0 && Index < n && !FLayers[static_cast<size_t>(Index)]->Selected()) {
    TPXLayer* layer = FLayers[static_cast<size_t>(Index)].get();
    layer->SetSelectedFlag(true);
    SelectLayerGroup(layer->GroupIndex(), true, UserAction);
    SelectLayerMask(Index, true, UserAction);
    changed = true;
  }
  if (changed && DoUpdate) {
    if (UserAction && FLayersFastDrawing == pxfDelayed) FFilterDelayCount = FilterDelayTicks;
    else Update();
  }
  if (changed && FOnLayerSelectionChange) FOnLayerSelectionChange(this);
  return changed;
}

void TPixoranView::SyncCurrentLayerBitmap() {
  if (FLayersCurrent < 0 || FLayersCurrent >= GetLayersCount()) return;
  if (TPXBitmap* picture = LayerPicture(FLayers[static_cast<size_t>(FLayersCurrent)].get())) FMainBitmap = picture;
}

int32_t TPixoranView::GetCurrentImageWidth() {
  if (FHasImageLayer && FMainBitmap) return FMainBitmap->Width();
  if (FLayersCurrent < 0 || FLayersCurrent >= GetLayersCount()) return 0;
  return FLayers[static_cast<size_t>(FLayersCurrent)]->GetWidth();
}

int32_t TPixoranView::GetCurrentImageHeight() {
  if (FHasImageLayer && FMainBitmap) return FMainBitmap->Height();
  if (FLayersCurrent < 0 || FLayersCurrent >= GetLayersCount()) return 0;
  return FLayers[static_cast<size_t>(FLayersCurrent)]->GetHeight();
}

// ---------------------------------------------------------------------------------------------
// Inserting

void TPixoranView::StoreLayerUndo(int32_t WordIndex, int32_t OperationCode) {
  GetProc()->StoreUndoState(GetLanguageWord(static_cast<uint16_t>(WordIndex)), pxuObjectsAndLayers, true,
                            OperationCode);
}

std::unique_ptr<TPXLayer> TPixoranView::CreateLayerOfKind(TPXLayerKind Kind, int32_t Width, int32_t Height) {
  // Kinds other than pictures come from the layer engine's registry with their own defaults.
  if (Kind != pxlkImage) return NewLayerOfKind(Kind, this);
  std::unique_ptr<TPXImageLayer> layer;
  if (Width > 0 && Height > 0) {
    layer = TPXImageLayer::CreateSized(this, Width, Height);
  } else if (FHasImageLayer && FMainBitmap) {
    layer = TPXImageLayer::CreateLike(this, FMainBitmap);
  } else {
    layer = TPXImageLayer::CreateSized(this, GetCurrentImageWidth(), GetCurrentImageHeight());
  }
  layer->Bitmap()->Fill(static_cast<double>(Background()));
  layer->Bitmap()->RemoveAlphaChannel(false, clWhite);
  return layer;
}

int32_t TPixoranView::LayersInsert(int32_t Index, TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width,
                                   int32_t Height, TPXBitmap* Bitmap, bool CopyBitmap, bool SaveUndo,
                                   bool ApplyDefaults, bool SelectNew) {
  SyncCurrentLayerBitmap();
  // The kind is checked first: a kind without a factory adds nothing and stores no undo entry.
  if (!LayerKindFactory(Kind))
    throw Exception("Layer insertion error - Invalid Type: " + std::to_string(static_cast<int32_t>(Kind)));
  if (SaveUndo) StoreLayerUndo(287, 114);
  const int32_t n = GetLayersCount();
  int32_t i = std::clamp(Index, 0, n);
  if (i < n && FLayers[static_cast<size_t>(i)]->IsMask()) --i;
  if (i == 0 && Kind != pxlkImage) i = 1;
  std::unique_ptr<TPXLayer> layer;
  if (Bitmap) {
    std::unique_ptr<TPXBitmap> picture;
    if (CopyBitmap) picture = TPXBitmap::CreateCopy(Bitmap);
    else picture.reset(Bitmap);  // the layer takes the caller's bitmap over
    layer = std::make_unique<TPXImageLayer>(this, std::move(picture));
  } else {
    layer = CreateLayerOfKind(Kind, Width, Height);
  }
  TPXLayer* l = layer.get();
  l->SetUpdating(true);
  if (Width > 0) l->SetWidth(Width);
  if (Height > 0) l->SetHeight(Height);
  if (PosX != -1 && PosY != -1) {
    l->SetPosX(PosX);
    l->SetPosY(PosY);
  } else {
    // Automatic placement: new layers cascade down and right while they fit the visible area.
    const double vw = GetDisplayWidth() / (FZoomX / 100), vh = GetDisplayHeight() / (FZoomY / 100);
    const int32_t w = l->GetWidth(), h = l->GetHeight();
    if (!(w + 90 >= vw || h + 90 >= vh)) {
      FNewLayerOffset += 40;
      if (w + FNewLayerOffset + 50 > vw || h + FNewLayerOffset + 50 > vh) FNewLayerOffset = 40;
      l->SetPosX(FNewLayerOffset);
      l->SetPosY(FNewLayerOffset);
    }
  }
  if (ApplyDefaults && FLayerDefaultProps && FLayerDefaultProps->Count() > 0)
    LayerPropertiesFromStrings(l, FLayerDefaultProps.get());
  l->SetUpdating(false);
  const int32_t previous = FLayersCurrent;
  FLayers.insert(FLayers.begin() + i, std::move(layer));
  FLayersCurrent = -1;
  SetLayersCurrentEx(SelectNew ? i : previous, false, true, true);
  return i;
}

int32_t TPixoranView::LayersAppend(TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width, int32_t Height,
                                   TPXBitmap* Bitmap, bool CopyBitmap, bool SaveUndo, bool ApplyDefaults,
                                   bool SelectNew) {
  return LayersInsert(GetLayersCount(), Kind, PosX, PosY, Width, Height, Bitmap, CopyBitmap, SaveUndo, ApplyDefaults,
                      SelectNew);
}

void TPixoranView::LayersInsertAt(int32_t Index, TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width,
                                  int32_t Height) {
  const bool undo = FLayerOptions.Contains(loAutoUndoChangesByCode) && GetProc()->AutoUndo();
  LayersInsert(Index, Kind, PosX, PosY, Width, Height, nullptr, false, undo, true, true);
  if (FOnNewLayer) FOnNewLayer(this, Index, CurrentLayer()->Kind());
  ImageChange(3);
}

int32_t TPixoranView::LayersAdd(TPXLayerKind Kind, int32_t PosX, int32_t PosY, int32_t Width, int32_t Height) {
  ToolsCancelOnModeChange();
  const int32_t index = GetLayersCount();
  LayersInsertAt(index, Kind, PosX, PosY, Width, Height);
  return index;
}

// ---------------------------------------------------------------------------------------------
// Removing and clearing

void TPixoranView::LayersRemove(int32_t Index, bool MoveBackgroundProps) {
  LayersRemoveEx(Index, FLayerOptions.Contains(loAutoUndoChangesByCode), false, MoveBackgroundProps, true);
}

void TPixoranView::LayersRemoveEx(int32_t Index, bool SaveUndo, bool FireEvents, bool MoveBackgroundProps,
                                  bool Reselect) {
  if (Index == PXLayersAll) {
    LayersClear(true);
    return;
  }
  if (Index != PXLayersSelected && (Index < 0 || Index >= GetLayersCount())) return;
  if (FireEvents) DoLayerNotify(Index, pxlBeforeRemove);
  if (SaveUndo && GetProc()->AutoUndo()) StoreLayerUndo(270, 122);
  if (Index == PXLayersSelected && !IsMultiSelectOn()) Index = FLayersCurrent;
  const int32_t saved = FLayersCurrent;
  int32_t removed = -1;
  SyncCurrentLayerBitmap();
  // Removing layer Index from the list keeps LayersCurrent on the same layer (-1 when it goes).
  auto erase = [this](int32_t At) {
    FLayers.erase(FLayers.begin() + At);
    if (FLayersCurrent == At || FLayersCurrent >= GetLayersCount()) FLayersCurrent = -1;
    else if (FLayersCurrent > At) --FLayersCurrent;
  };
  for (int32_t i = GetLayersCount() - 1; i >= 0; --i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    const bool hit = (Index == PXLayersSelected && layer->IsSelected()) || i == Index;
    if (!hit) continue;
    if (i + 1 < GetLayersCount() && FLayers[static_cast<size_t>(i) + 1]->IsMask()) erase(i + 1);
    const int32_t n = GetLayersCount();
    if (i == 0 && (n == 1 || !LayerPicture(FLayers[1].get()))) {
      // The background stays: its picture becomes 1 x 1 white.
      if (auto* image = dynamic_cast<TPXImageLayer*>(layer)) image->ResetBitmap(0xFFFFFF, 1, 1);
    } else {
      removed = i;
      if (MoveBackgroundProps && i == 0 && n > 1) {
        FLayers[1]->SetLocked(layer->Locked());
        FLayers[1]->SetSelectable(layer->Selectable());
      }
      erase(i);
    }
    if (Index != PXLayersSelected) break;
  }
  if (!Reselect) return;
  if (FLayersCurrent == -1) SetLayersCurrent(std::min(saved, GetLayersCount() - 1));
  else if (FLayersCurrent == 0) Update();
  if (FireEvents && removed >= 0) DoLayerNotify(removed, pxlRemoved);
  else ImageChange(3);
}

void TPixoranView::LayersClear(bool ResetBackground) {
  while (GetLayersCount() > 1) FLayers.pop_back();
  FLayersCurrent = -1;
  SetLayersCurrent(0);
  if (!ResetBackground) return;
  TPXLayer* layer0 = FLayers[0].get();
  layer0->SetUpdating(true);
  layer0->SetDefaults();
  layer0->SetVisibleBox(false);
  layer0->SetLocked(true);
  layer0->SetUpdating(false);
  Clear();
}

// ---------------------------------------------------------------------------------------------
// Moving

void TPixoranView::MoveLayerEntry(int32_t From, int32_t To, bool MoveBackgroundProps) {
  if (From == To) return;
  if (MoveBackgroundProps && (To == 0 || From == 0)) {
    // The background keeps its Locked and Selectable: they go with index 0.
    TPXLayer* a = FLayers[0].get();
    TPXLayer* b = FLayers[static_cast<size_t>(To == 0 ? From : 1)].get();
    const bool locked = a->Locked(), selectable = a->Selectable();
    a->SetLocked(b->Locked());
    a->SetSelectable(b->Selectable());
    b->SetLocked(locked);
    b->SetSelectable(selectable);
  }
  std::unique_ptr<TPXLayer> entry = std::move(FLayers[static_cast<size_t>(From)]);
  FLayers.erase(FLayers.begin() + From);
  FLayers.insert(FLayers.begin() + To, std::move(entry));
}

void TPixoranView::LayersMove(int32_t Index, int32_t Target, bool SaveUndo, bool FireEvents,
                              bool MoveBackgroundProps) {
  if (Index != PXLayersSelected && (Index < 0 || Index >= GetLayersCount())) return;
  if (SaveUndo && GetProc()->AutoUndo()) StoreLayerUndo(271, 124);
  if (Index == PXLayersSelected && !IsMultiSelectOn()) Index = FLayersCurrent;
  SyncCurrentLayerBitmap();
  TPXLayer* remembered = FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount()
                             ? FLayers[static_cast<size_t>(FLayersCurrent)].get()
                             : nullptr;
  FLayersCurrent = -1;
  const auto indexOf = [this](TPXLayer* Layer) {
    for (int32_t i = 0; i < GetLayersCount(); ++i)
      if (FLayers[static_cast<size_t>(i)].get() == Layer) return i;
    return -1;
  };
  const int32_t n = GetLayersCount();
  if (Index >= 0) {
    TPXLayer* layer = FLayers[static_cast<size_t>(Index)].get();
    switch (Target) {
      case PXMoveBottom: Target = 0; break;
      case PXMoveDown: Target = Index - 1; break;
      case PXMoveUp: Target = Index + 1; break;
      case PXMoveTop: Target = n - 1; break;
      default: break;
    }
    if (Target == 0 && !LayerPicture(layer)) Target = 1;
    TPXLayer* mask = Index + 1 < n && FLayers[static_cast<size_t>(Index) + 1]->IsMask()
                         ? FLayers[static_cast<size_t>(Index) + 1].get()
                         : nullptr;
    if (Target >= 0 && Target < n && Target != Index) {
      if (mask && Target == Index + 1) ++Target;
      Target = std::min(Target, n - 1);
      MoveLayerEntry(Index, Target, MoveBackgroundProps);
      if (mask) {
        const int32_t at = indexOf(layer), m = indexOf(mask);
        MoveLayerEntry(m, m < at ? at : at + 1, MoveBackgroundProps);
      }
    }
  } else {
    std::vector<TPXLayer*> moved;
    for (int32_t i = 0; i < n; ++i) {
      TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
      if (layer->IsSelected() || (layer->IsMask() && i > 0 && FLayers[static_cast<size_t>(i) - 1]->IsSelected()))
        moved.push_back(layer);
    }
    if (!moved.empty()) {
      const int32_t firstIndex = indexOf(moved.front()), lastIndex = indexOf(moved.back());
      switch (Target) {
        case PXMoveBottom: Target = 0; break;
        case PXMoveDown: Target = std::max(firstIndex - 1, 0); break;
        case PXMoveUp: Target = std::min(lastIndex + 1, n - 1); break;
        case PXMoveTop: Target = n - 1; break;
        default: break;
      }
      if (Target == 0 && std::any_of(moved.begin(), moved.end(), [](TPXLayer* l) { return !LayerPicture(l); }))
        Target = 1;
      if (Target >= 0 && Target < n) {
        if (firstIndex < Target)
          for (TPXLayer* l : moved) MoveLayerEntry(indexOf(l), Target, MoveBackgroundProps);
        else
          for (auto it = moved.rbegin(); it != moved.rend(); ++it) MoveLayerEntry(indexOf(*it), Target, MoveBackgroundProps);
      }
    }
  }
  if (remembered) {
    SetLayersCurrent(indexOf(remembered));
    if (FireEvents) DoLayerNotify(FLayersCurrent, pxlArranged);
  }
}

// ---------------------------------------------------------------------------------------------
// Extent, options, Modified

bool TPixoranView::IsLayerMouseEditActive() {
  // The mouse modes that move, resize and rotate layers come with the view's mouse handling.
  return false;
}

void TPixoranView::GetLayersRect(bool SelectedOnly, bool ExcludeBackground, int32_t& X, int32_t& Y, int32_t& Width,
                                 int32_t& Height) {
  X = Y = Width = Height = 0;
  int64_t left = INT32_MAX, top = INT32_MAX, right = 0, bottom = 0;
  const int32_t n = GetLayersCount();
  if (n == 0) return;
  TPXLayer* base = FLayers[0].get();
  const int64_t bx = base->GetPosX(), by = base->GetPosY();
  const int64_t br = bx + base->GetWidth(), bb = by + base->GetHeight();
  if (!ExcludeBackground && (!SelectedOnly || base->IsSelected())) {
    left = bx, top = by, right = br, bottom = bb;
  }
  for (int32_t i = 1; i < n; ++i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    if (SelectedOnly && !layer->IsSelected()) continue;
    int64_t l = layer->GetPosX(), t = layer->GetPosY();
    int64_t r = l + layer->GetWidth(), b = t + layer->GetHeight();
    if (layer->Cropped()) {
      l = std::max(l, bx), t = std::max(t, by);
      r = std::min(r, br), b = std::min(b, bb);
    }
    left = std::min(left, l), top = std::min(top, t);
    right = std::max(right, r), bottom = std::max(bottom, b);
  }
  const auto clamp32 = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  if (left < INT32_MAX) {
    X = clamp32(left);
    if (right > 0) Width = clamp32(right - left);
  }
  if (top < INT32_MAX) {
    Y = clamp32(top);
    if (bottom > 0) Height = clamp32(bottom - top);
  }
}

TPXDrawRect TPixoranView::GetLayersRect() {
  TPXDrawRect r;
  GetLayersRect(false, false, r.X, r.Y, r.Width, r.Height);
  return r;
}

bool TPixoranView::UpdateLayersExtent() {
  SyncCurrentLayerBitmap();
  if (Center() && IsLayerMouseEditActive()) return false;
  int32_t x = 0, y = 0, w = 0, h = 0;
  if (FLayerOptions.Contains(loDynamicCanvas)) {
    GetLayersRect(false, false, x, y, w, h);
  } else {
    w = FLayers[0]->GetWidth();
    h = FLayers[0]->GetHeight();
  }
  const bool changed = x != FExtentX || y != FExtentY || w != FExtentWidth || h != FExtentHeight;
  FExtentX = x, FExtentY = y, FExtentWidth = w, FExtentHeight = h;
  return changed;
}

void TPixoranView::SetLayerOptions(TPXLayerOptions Value) {
  const TPXLayerOptions old = FLayerOptions;
  FLayerOptions = Value;
  if (old.Contains(loAllowMultiSelect) && !Value.Contains(loAllowMultiSelect)) DeselectAllLayers();
  else if (old.Contains(loDynamicCanvas) != Value.Contains(loDynamicCanvas)) Update();
}

void TPixoranView::SetModified(bool Value) {
  FModified = Value;
  if (!Value && FMainBitmap) FMainBitmap->SetModified(false);
}

// ---------------------------------------------------------------------------------------------
// What the processing component asks of the layers

TPXBitmap* TPixoranView::LayerBitmap(int32_t Index) {
  return Index >= 0 && Index < GetLayersCount() ? LayerPicture(FLayers[static_cast<size_t>(Index)].get()) : nullptr;
}

TGUID TPixoranView::LayerGUID(int32_t Index) {
  return Index >= 0 && Index < GetLayersCount() ? FLayers[static_cast<size_t>(Index)]->GUID() : TGUID{};
}

void TPixoranView::SaveLayerToStream(int32_t Index, TStream* Stream, int32_t Compression, bool WithPicture) {
  GetLayers(Index)->SaveToStream(Stream, !WithPicture, Compression);
}

void TPixoranView::LoadLayerFromStream(int32_t Index, TStream* Stream) {
  GetLayers(Index)->LoadFromStream(Stream);
  SyncCurrentLayerBitmap();
}

void TPixoranView::SetCurrentLayerPos(int32_t X, int32_t Y) {
  if (FLayersCurrent < 0 || FLayersCurrent >= GetLayersCount()) return;
  CurrentLayer()->SetPosX(X);
  CurrentLayer()->SetPosY(Y);
}

bool TPixoranView::GetIODpi(int32_t& DpiX, int32_t& DpiY) {
  if (!FIO) return false;
  DpiX = FIO->Params()->DpiX;
  DpiY = FIO->Params()->DpiY;
  return true;
}

TIOParams* TPixoranView::OutputParams() { return FIO ? FIO->Params() : nullptr; }
