// IPXLayerOwner: what a layer asks of the view whose list holds it. The view implements it;
// tests use a fake (tests/layers/FakeLayerOwner.h). A layer without owner answers neutral values.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"
#include "platform/rtl/Types.h"

class TPXBitmap;
class TPXLayer;
class TPixoranIO;
class TIOParams;

// The view's layer options; the layers test loAllowMultiSelect, the view uses the rest.
enum class TPXLayerOption : uint8_t {
  loAllowMultiSelect,
  loAutoSelectMask,
  loAutoUndoChangesByUser,
  loAutoUndoChangesByCode,
  loAutoPromptForImage,
  loAutoFixBorders,
  loAutoFixRotation,
  loDynamicCanvas,
  loKeyboardShortcuts,
  loDisableTextEditOnDblClick,
  loPreventOutOfBounds,
  loPropsOnDblClick,
  loResizeOnRotate,
  loDragSelection,
  loProtectBackground,
  loSwapBackgroundProps,
  loAutoTextEditing,
  loStampMode,
  loShowRichTextToolbar,
  loAllowReturnsInRichText,
};
using enum TPXLayerOption;
using TPXLayerOptions = TSet<TPXLayerOption>;

// A rectangle as origin and size.
struct TPXDrawRect {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  friend constexpr bool operator==(const TPXDrawRect&, const TPXDrawRect&) = default;
};

class IPXLayerOwner {
 public:
  virtual ~IPXLayerOwner() = default;

  // Change notification: every layer change passes 3 (the view repaints).
  virtual void ImageChange(int32_t Source) = 0;

  // The layer list: index 0 is the bottom image layer.
  virtual int32_t GetLayersCount() = 0;
  virtual TPXLayer* GetLayers(int32_t Index) = 0;
  // Index of the current layer (LayersCurrent), -1 when none.
  virtual int32_t LayersCurrent() = 0;
  virtual TPXLayerOptions LayerOptions() = 0;
  // Selects (Select True) or deselects every layer of group GroupIndex.
  virtual void SelectLayerGroup(int32_t GroupIndex, bool Select, bool FireEvents) = 0;
  // Recomputes geometry and repaints.
  virtual void Update() = 0;
  virtual void CallBitmapChangeEvents(int32_t Code) = 0;
  // Fires OnLayerSelectionChange with Sender when assigned.
  virtual void DoLayerSelectionChange(TObject* Sender) = 0;
  // OnBeforeDrawLayer: whether it is assigned, and firing it with the view as Sender.
  virtual bool HasBeforeDrawLayer() = 0;
  virtual void DoBeforeDrawLayer(TPXBitmap* Dest, int32_t LayerIndex) = 0;

  // Picture-to-client conversions and back (never relative to the current layer).
  virtual int32_t BitmapToClientX(int32_t Value) = 0;
  virtual int32_t BitmapToClientY(int32_t Value) = 0;
  virtual int32_t ClientToBitmapX(int32_t Value) = 0;
  virtual int32_t ClientToBitmapY(int32_t Value) = 0;
  // Zoom in percent (100 = 1:1).
  virtual double ZoomX() = 0;
  virtual double ZoomY() = 0;

  // Drawing state and settings.
  virtual bool IsFastDrawingNow() = 0;
  virtual bool EnableAlphaChannel() = 0;
  // -1 caches every layer, n the layers with index below n, 0 none.
  virtual int32_t LayersCaching() = 0;
  // The fast-output flag: output copies render fast (small previews).
  virtual bool QuickLayerRendering() = 0;
  // Every layer is drawn cropped to layer 0's box.
  virtual bool LayersCropped() = 0;
  // Angle step in degrees for snapping.
  virtual int32_t RotateSnapStep() = 0;
  // The picture the view shows (the current image layer's bitmap) and repointing it.
  virtual TPXBitmap* CurrentPicture() = 0;
  virtual void SetCurrentPicture(TPXBitmap* Bitmap) = 0;
  // Layer 0's destination origin in client coordinates and the scroll offsets.
  virtual int32_t PictureOriginX() = 0;
  virtual int32_t PictureOriginY() = 0;
  virtual int32_t ScrollOffsetX() = 0;
  virtual int32_t ScrollOffsetY() = 0;
  // Set while a mouse operation on layers runs.
  virtual bool IsMouseOperation() = 0;
  // Union rectangle of all layers, in picture pixels.
  virtual TPXDrawRect GetLayersRect() = 0;
  // The view's I/O object and its parameters (output page, SVG image format); may be nil.
  virtual TPixoranIO* GetIO() = 0;
  virtual TIOParams* OutputParams() = 0;
  virtual TResampleFilter LayerResampleFilter() = 0;
  virtual TColor Background() = 0;
  // Factors on the picture's DPI when measuring layers turn pixels into units (1.0: none).
  virtual double MeasureScaleX() { return 1.0; }
  virtual double MeasureScaleY() { return 1.0; }
};

// The resolution that measuring layers (rulers) turn pixels into units with: the owner's picture
// DPI times its measure scales; without an owner or I/O object, the settings' default DPI.
void LayerMeasureDpi(IPXLayerOwner* Owner, double& DpiX, double& DpiY);
