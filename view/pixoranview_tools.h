// The interaction tools of the image view: the contract between the view and a tool
// (TPXUserInteraction) and the events tools report through the view's OnUserInteraction. The
// view asks its enabled tools in list order (Tools) for input, painting and image changes.
#pragma once

#include <cstdint>

#include "platform/forms/Controls.h"
#include "platform/rtl/Events.h"

class TPixoranView;

enum class TPXUserInteractionEvent : uint8_t {
  pxiCropCreating, pxiCropSizing, pxiCropMoving, pxiCropRotating, pxiCropEnacted, pxiCropCanceled,
  pxiPaintStart, pxiPainting, pxiPaintEnd, pxiPaintCanceled,
  pxiCloneStart, pxiCloning, pxiCloneEnd, pxiCloneCanceled,
  pxiRotateStart, pxiRotating, pxiRotateEnd, pxiFlipped, pxiRotateCanceled,
  pxiLayerCreateStart, pxiLayerCreating, pxiLayerCreateEnacted, pxiLayerCreateCanceled,
  pxiLayerPointsStart, pxiLayerPointAdded, pxiLayerPointMoving, pxiLayerPointRemoved, pxiLayerPointsCreated,
  pxiLayerPointsEdited, pxiLayerPointsCanceled, pxiMeasuringLength, pxiMeasuringArea,
  pxiColorFill, pxiAlphaFill, pxiColorPickerHover, pxiColorPickerClick,
};
using enum TPXUserInteractionEvent;

// Sender is the view.
PX_EVENT_TYPE(TPXUserInteractionNotify, void(TObject* Sender, TPXUserInteractionEvent Event, int32_t Info));

// A tool of one view. Coordinates are client pixels of the view.
class TPXUserInteraction : public TObject {
 public:
  explicit TPXUserInteraction(TPixoranView* AView) : FView(AView) {}
  ~TPXUserInteraction() override = default;

  TPixoranView* View() const { return FView; }
  bool Enabled() const { return FEnabled; }
  // Set while the tool changes the picture itself, so that its own image change does not
  // reach DoImageChanged.
  bool Applying = false;
  // The view cancels the tool's work when its mouse modes change or a layer is added.
  bool CancelOnModeChange = false;

  // The eighteen operations, in slot order.
  virtual void SetEnabled(bool Value) { FEnabled = Value; }
  // True: the tool took the event (later tools and the view's own modes do not see it).
  virtual bool MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void AfterMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  // Captured: the view holds the mouse capture (a button is down).
  virtual bool MouseMove(TShiftState Shift, int32_t X, int32_t Y, bool Captured);
  virtual void AfterMouseMove(TShiftState Shift, int32_t X, int32_t Y, bool Captured);
  virtual bool MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void AfterMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseLeave() {}
  virtual void VirtualKey(uint32_t Key, uint32_t KeyData, bool KeyDown);
  virtual bool DoubleClick() { return false; }
  virtual void PaintToBackBuffer() {}
  virtual void PaintToCanvas(const TRect& UpdateRect) { (void)UpdateRect; }
  virtual bool NeedsBackBufferUpdate() { return false; }
  virtual bool ShowsLayerBox(int32_t LayerIndex) { (void)LayerIndex; return false; }
  // DoImageChanged unless Applying.
  virtual void ImageChanged();
  virtual bool Enact() { return false; }
  virtual void Cancel() {}
  virtual void DoImageChanged() {}

  // Fires the view's OnUserInteraction (View, Event, Info).
  void DoUserInteraction(TPXUserInteractionEvent Event, int32_t Info);
  // The view's temporary cursor (not on the screen) and its restoration.
  void SetTempCursor(TCursor Cursor);
  void RestoreCursor();

 private:
  TPixoranView* FView;
  bool FEnabled = false;
};
