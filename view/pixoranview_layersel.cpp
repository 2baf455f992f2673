// TPixoranView's selection of several layers (groups, masks that follow their owner, a drag
// rectangle, clicks and keyboard cycling) and the two tests that find a layer under a point.
#include <algorithm>

#include "view/pixoranview.h"

void TPixoranView::SelectLayerGroup(int32_t GroupIndex, bool Select, bool FireEvents) {
  if (GroupIndex == 0) return;
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    if (layer->GroupIndex() != GroupIndex) continue;
    layer->SetSelectedFlag(Select);
    SelectLayerMask(i, Select, FireEvents);
    if (FireEvents) DoLayerNotify(i, Select ? pxlSelected : pxlDeselected);
  }
  if (FOnLayerSelectionChange) FOnLayerSelectionChange(this);
}

void TPixoranView::SelectLayerMask(int32_t Index, bool Select, bool FireEvents) {
  if (!FLayerOptions.Contains(loAutoSelectMask)) return;
  if (Index >= 0 && Index + 1 < GetLayersCount()) {
    TPXLayer* mask = FLayers[static_cast<size_t>(Index) + 1].get();
    if (mask->IsMask() && mask->Selected() != Select) {
      mask->SetSelectedFlag(Select);
      if (FireEvents) DoLayerNotify(Index + 1, Select ? pxlSelected : pxlDeselected);
    }
  }
  if (FOnLayerSelectionChange) FOnLayerSelectionChange(this);
}

void TPixoranView::SelectAllLayers(bool IncludeLocked) {
  if (!IsMultiSelectOn()) return;
  FLayers[0]->SetSelectedFlag(false);
  for (int32_t i = 1; i < GetLayersCount(); ++i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    if (layer->Locked() && !IncludeLocked) continue;
    layer->SetSelectedFlag(true);
  }
  Update();
  if (FOnLayerSelectionChange) FOnLayerSelectionChange(this);
}

void TPixoranView::DeselectAllLayers() {
  for (auto& layer : FLayers) layer->SetSelectedFlag(false);
  Update();
  if (FOnLayerSelectionChange) FOnLayerSelectionChange(this);
}

void TPixoranView::SelectLayersInRect(TRect Rect) {
  Rect = NormalizedRect(Rect);
  int32_t last = -1;
  for (int32_t i = 0; i < GetLayersCount(); ++i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    const TRect& r = layer->ClientRect();
    // Touching edges do not count.
    const bool hit = (layer->Selectable() || !FSelectableEnforced) && layer->Visible() && Rect.Left < r.Right &&
                     Rect.Right > r.Left && Rect.Top < r.Bottom && Rect.Bottom > r.Top;
    if (hit != layer->IsSelected()) {
      layer->SetSelected(hit);
      DoLayerNotify(i, hit ? pxlSelected : pxlDeselected);
    }
    if (hit) last = i;
  }
  if (last >= 0 && FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount() && !CurrentLayer()->IsSelected()) {
    SetLayersCurrentEx(last, true, false, false);
    DoLayerNotify(last, pxlSelected);
  }
  Update();
}

void TPixoranView::ClickSelectLayer(int32_t& Index, bool Toggle) {
  const int32_t n = GetLayersCount();
  if (Index == PXLayerPrevious || Index == PXLayerNext) {
    const int32_t step = Index == PXLayerPrevious ? -1 : 1;
    Index = -1;
    int32_t i = FLayersCurrent;
    for (int32_t tries = 0; tries < n; ++tries) {
      i += step;
      if (i < 0) i = n - 1;
      else if (i >= n) i = 0;
      TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
      if (layer->Visible() && layer->Selectable()) {
        Index = i;
        break;
      }
    }
  }
  if (Index < 0 || Index >= n) return;
  // Member 5 of ForcedModifiers toggles as Shift does.
  if (ForcedModifiers & (1u << 5)) Toggle = true;
  TPXLayer* layer = FLayers[static_cast<size_t>(Index)].get();
  if (IsMultiSelectOn() && layer->Selected() && Toggle) {
    layer->SetSelectedFlag(false);
    DoLayerNotify(Index, pxlDeselected);
    SelectLayerGroup(layer->GroupIndex(), false, true);
    SelectLayerMask(Index, false, true);
    Index = -1;
    Update();
  }
  if (Index >= 0) {
    if (SetLayersCurrentEx(Index, true, !(layer->Selected() || Toggle), false)) DoLayerNotify(FLayersCurrent, pxlSelected);
    Update();
  }
  if (FOnLayerSelectionChange) FOnLayerSelectionChange(this);
}

int32_t TPixoranView::CountSelectedLayers(bool IncludeBackground) {
  if (IsMultiSelectOn()) {
    int32_t count = 0;
    for (int32_t i = 0; i < GetLayersCount(); ++i)
      if (FLayers[static_cast<size_t>(i)]->Selected() && (i > 0 || IncludeBackground)) ++count;
    return count;
  }
  return (IncludeBackground && FLayersCurrent >= 0) || FLayersCurrent >= 1 ? 1 : 0;
}

int32_t TPixoranView::FindLayerAt(int32_t X, int32_t Y, bool SelectableOnly) {
  const bool ignoreTransparency = FSelectionOptions.Contains(pxsoSelectTranspLayers);
  for (int32_t i = GetLayersCount() - 1; i >= 0; --i) {
    TPXLayer* layer = FLayers[static_cast<size_t>(i)].get();
    if (!layer->Visible()) continue;
    if (SelectableOnly && FSelectableEnforced && !layer->Selectable()) continue;
    if (layer->HitTest(X, Y, ignoreTransparency, 2)) return i;
  }
  return -1;
}

bool TPixoranView::LayerHitAt(int32_t X, int32_t Y, int32_t Index, int32_t Tolerance) {
  if (Index < 0 || Index >= GetLayersCount()) return false;
  TPXLayer* layer = FLayers[static_cast<size_t>(Index)].get();
  return layer->Visible() && layer->HitTest(X, Y, true, Tolerance);
}
