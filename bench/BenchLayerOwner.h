// The view as the layer benchmarks need it: a layer list, a zoom, conversions of a picture shown
// at the client origin, a caching limit and the layers' resampling filter.
#pragma once

#include <memory>
#include <vector>

#include "layers/pxxLayers.h"
#include "layers/pxxLayers_owner.h"
#include "platform/rtl/System.h"

class BenchOwner : public IPXLayerOwner {
 public:
  std::vector<std::unique_ptr<TPXLayer>> Layers;
  double Zoom = 100;
  int32_t Caching = 0;
  TResampleFilter Filter = rfNone;

  void ImageChange(int32_t) override {}
  int32_t GetLayersCount() override { return static_cast<int32_t>(Layers.size()); }
  TPXLayer* GetLayers(int32_t Index) override {
    return Index >= 0 && Index < GetLayersCount() ? Layers[static_cast<size_t>(Index)].get() : nullptr;
  }
  int32_t LayersCurrent() override { return 0; }
  TPXLayerOptions LayerOptions() override { return {}; }
  void SelectLayerGroup(int32_t, bool, bool) override {}
  void Update() override {}
  void CallBitmapChangeEvents(int32_t) override {}
  void DoLayerSelectionChange(TObject*) override {}
  bool HasBeforeDrawLayer() override { return false; }
  void DoBeforeDrawLayer(TPXBitmap*, int32_t) override {}
  int32_t BitmapToClientX(int32_t Value) override { return Trunc32(Value * Zoom / 100); }
  int32_t BitmapToClientY(int32_t Value) override { return Trunc32(Value * Zoom / 100); }
  int32_t ClientToBitmapX(int32_t Value) override { return Trunc32(Value * 100 / Zoom); }
  int32_t ClientToBitmapY(int32_t Value) override { return Trunc32(Value * 100 / Zoom); }
  double ZoomX() override { return Zoom; }
  double ZoomY() override { return Zoom; }
  bool IsFastDrawingNow() override { return false; }
  bool EnableAlphaChannel() override { return true; }
  int32_t LayersCaching() override { return Caching; }
  bool QuickLayerRendering() override { return false; }
  bool LayersCropped() override { return false; }
  int32_t RotateSnapStep() override { return 0; }
  TPXBitmap* CurrentPicture() override { return nullptr; }
  void SetCurrentPicture(TPXBitmap*) override {}
  int32_t PictureOriginX() override { return 0; }
  int32_t PictureOriginY() override { return 0; }
  int32_t ScrollOffsetX() override { return 0; }
  int32_t ScrollOffsetY() override { return 0; }
  bool IsMouseOperation() override { return false; }
  TPXDrawRect GetLayersRect() override { return {}; }
  TPixoranIO* GetIO() override { return nullptr; }
  TIOParams* OutputParams() override { return nullptr; }
  TResampleFilter LayerResampleFilter() override { return Filter; }
  TColor Background() override { return clBlack; }
};
