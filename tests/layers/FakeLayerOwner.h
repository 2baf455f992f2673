// A stand-in for the view that owns layers: settable state, recorded calls, and conversions of
// a view showing the picture at (OriginX - ScrollX, OriginY - ScrollY) with ZoomX/ZoomY percent.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_owner.h"
#include "platform/rtl/System.h"

class FakeLayerOwner : public IPXLayerOwner {
 public:
  // Settable state.
  std::vector<std::unique_ptr<TPXLayer>> Layers;
  int32_t Current = -1;
  TPXLayerOptions Options;
  double ZoomXValue = 100;
  double ZoomYValue = 100;
  int32_t OriginX = 0;
  int32_t OriginY = 0;
  int32_t ScrollX = 0;
  int32_t ScrollY = 0;
  bool FastDrawing = false;
  bool AlphaEnabled = true;
  int32_t Caching = 0;
  bool QuickRendering = false;
  bool CropAll = false;
  int32_t SnapStep = 45;
  TPXBitmap* Picture = nullptr;
  bool MouseOperation = false;
  TPXDrawRect LayersRect;
  TPixoranIO* IO = nullptr;
  TIOParams* Params = nullptr;
  TResampleFilter ResampleFilter = rfLanczos3;
  TColor BackgroundColor = 0;
  double MeasureScaleXValue = 1.0;
  double MeasureScaleYValue = 1.0;
  bool BeforeDrawAssigned = false;

  // Recorded calls.
  std::vector<int32_t> ImageChanges;
  std::vector<std::pair<int32_t, bool>> GroupSelections;
  int32_t Updates = 0;
  std::vector<int32_t> BitmapChangeCodes;
  std::vector<TObject*> SelectionChangeSenders;
  std::vector<std::pair<TPXBitmap*, int32_t>> BeforeDrawCalls;

  // Appends a layer (the fake owns it like the view) and answers it.
  template <class L>
  L* Add(std::unique_ptr<L> Layer) {
    L* p = Layer.get();
    Layers.push_back(std::move(Layer));
    return p;
  }
  void ClearRecords() {
    ImageChanges.clear();
    GroupSelections.clear();
    Updates = 0;
    BitmapChangeCodes.clear();
    SelectionChangeSenders.clear();
    BeforeDrawCalls.clear();
  }

  void ImageChange(int32_t Source) override { ImageChanges.push_back(Source); }
  int32_t GetLayersCount() override { return static_cast<int32_t>(Layers.size()); }
  TPXLayer* GetLayers(int32_t Index) override {
    return Index >= 0 && Index < GetLayersCount() ? Layers[static_cast<size_t>(Index)].get() : nullptr;
  }
  int32_t LayersCurrent() override { return Current; }
  TPXLayerOptions LayerOptions() override { return Options; }
  void SelectLayerGroup(int32_t GroupIndex, bool Select, bool /*FireEvents*/) override {
    GroupSelections.emplace_back(GroupIndex, Select);
  }
  void Update() override { ++Updates; }
  void CallBitmapChangeEvents(int32_t Code) override { BitmapChangeCodes.push_back(Code); }
  void DoLayerSelectionChange(TObject* Sender) override { SelectionChangeSenders.push_back(Sender); }
  bool HasBeforeDrawLayer() override { return BeforeDrawAssigned; }
  void DoBeforeDrawLayer(TPXBitmap* Dest, int32_t LayerIndex) override {
    if (BeforeDrawAssigned) BeforeDrawCalls.emplace_back(Dest, LayerIndex);
  }
  int32_t BitmapToClientX(int32_t Value) override { return Trunc32(Value * ZoomXValue / 100) + OriginX - ScrollX; }
  int32_t BitmapToClientY(int32_t Value) override { return Trunc32(Value * ZoomYValue / 100) + OriginY - ScrollY; }
  int32_t ClientToBitmapX(int32_t Value) override { return Trunc32((double(Value) - OriginX + ScrollX) * 100 / ZoomXValue); }
  int32_t ClientToBitmapY(int32_t Value) override { return Trunc32((double(Value) - OriginY + ScrollY) * 100 / ZoomYValue); }
  double ZoomX() override { return ZoomXValue; }
  double ZoomY() override { return ZoomYValue; }
  bool IsFastDrawingNow() override { return FastDrawing; }
  bool EnableAlphaChannel() override { return AlphaEnabled; }
  int32_t LayersCaching() override { return Caching; }
  bool QuickLayerRendering() override { return QuickRendering; }
  bool LayersCropped() override { return CropAll; }
  int32_t RotateSnapStep() override { return SnapStep; }
  TPXBitmap* CurrentPicture() override { return Picture; }
  void SetCurrentPicture(TPXBitmap* Bitmap) override { Picture = Bitmap; }
  int32_t PictureOriginX() override { return OriginX; }
  int32_t PictureOriginY() override { return OriginY; }
  int32_t ScrollOffsetX() override { return ScrollX; }
  int32_t ScrollOffsetY() override { return ScrollY; }
  bool IsMouseOperation() override { return MouseOperation; }
  TPXDrawRect GetLayersRect() override { return LayersRect; }
  TPixoranIO* GetIO() override { return IO; }
  TIOParams* OutputParams() override { return Params; }
  TResampleFilter LayerResampleFilter() override { return ResampleFilter; }
  TColor Background() override { return BackgroundColor; }
  double MeasureScaleX() override { return MeasureScaleXValue; }
  double MeasureScaleY() override { return MeasureScaleYValue; }
};

// A test-only layer kind (any kind number): draws nothing, reads and writes nothing, and records
// what the base hands its kind hooks.
class TestOnlyLayer : public TPXLayer {
 public:
  explicit TestOnlyLayer(IPXLayerOwner* Owner, TPXLayerKind Kind = pxlkShape) : TPXLayer(Owner, Kind) {
    FUpdating = 1;
    SetDefaults();
    FUpdating = 0;
  }
  void RenderContent(std::unique_ptr<TPXBitmap>& /*Dest*/, int32_t /*Width*/, int32_t /*Height*/,
                     bool /*FastDrawing*/, bool /*WithAlpha*/, bool /*FitAspect*/, uint8_t Mode,
                     int32_t /*Reserved*/) override {
    RenderModes.push_back(Mode);
  }
  void LoadFromStream(TStream* /*Stream*/) override {}
  void SaveToStream(TStream* /*Stream*/, bool /*ExcludeImage*/, int32_t /*Format*/) override {}

  void MarkCacheValid() { FCacheValid = 1; }
  void SetDrawnPoints(const std::vector<TDPoint>& Points) {
    FDrawnPoints.Assign(Points.data(), static_cast<int32_t>(Points.size()));
  }

  std::vector<double> MovedX, MovedY;
  std::vector<uint8_t> RenderModes;

 protected:
  void KindPositionMovedX(double Delta) override { MovedX.push_back(Delta); }
  void KindPositionMovedY(double Delta) override { MovedY.push_back(Delta); }
};
