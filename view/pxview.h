// TPXView: the common base of the library's picture controls (the image view TPixoranView and
// the thumbnail view). It owns the border and 3-D look, the background colour and the registry
// of change callbacks through which attached components (the I/O and processing components)
// learn that the picture was replaced, changed or is going away; it declares the operations
// through which they reach the picture (IPXProcessingHost, which extends IPXIOView).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "io/pixoranio_view.h"
#include "platform/forms/Controls.h"
#include "proc/pixoranproc.h"

class TPXBitmap;

// Fired by the library's dialogs opened for a view: the dialog (a form) about to be shown.
PX_EVENT_TYPE(TOnShowDialogEvent, void(TObject* Sender, TObject* Dialog));

class TPXView : public TCustomControl, public IPXProcessingHost {
  PX_CLASS(TPXView)
 public:
  explicit TPXView(TComponent* AOwner);
  // Tells every registered component (code 1), oldest first, and frees the registrations.
  ~TPXView() override;

  // --- border and look ------------------------------------------------------------------------
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  // A change recreates the window (the border is part of its style).
  void SetBorderStyle(TBorderStyle Value);
  bool GetCtl3D() const { return Ctl3D(); }
  void SetCtl3D(bool Value);
  bool FlatScrollBars() const { return FFlatScrollBars; }
  void SetFlatScrollBars(bool Value) { FFlatScrollBars = Value; }
  // The control's canvas, for units that paint on the view from outside.
  TCanvas* GetCanvas() { return Canvas(); }

  // --- background -----------------------------------------------------------------------------
  TColor Background() override { return FBackground; }
  void SetBackground(TColor Value) override;

  // --- change callbacks -----------------------------------------------------------------------
  // Registers a callback; the handle (never 0) removes it again.
  int32_t AddBitmapChangeEvent(const TPXBitmapChangeEvent& Callback) override;
  // Nothing for 0 or a handle not (or no longer) registered.
  void RemoveBitmapChangeEvent(int32_t Handle) override;
  // Calls every registration present, in registration order, with (this view, Code). The walk
  // uses the registrations of the moment it starts; one removed meanwhile is skipped.
  virtual void CallBitmapChangeEvents(int32_t Code);
  int32_t BitmapChangeEventCount() const { return static_cast<int32_t>(FCallbacks.size()); }
  // Drops every registration whose callback is a method of Receiver (a component the view frees
  // itself, which may have forgotten the view already).
  void RemoveBitmapChangeEventsOf(const TObject* Receiver);

  // --- the picture (the descendants answer) ---------------------------------------------------
  TBitmap* GetBitmap() override { return nullptr; }
  TPXBitmap* GetPXBitmap() override { return nullptr; }
  virtual TPXBitmap* GetAlphaChannel() = 0;
  virtual bool HasAlphaChannel() = 0;
  virtual void RemoveAlphaChannel(bool Merge) = 0;
  virtual void LockPaint() = 0;
  virtual int32_t UnlockPaint() = 0;
  virtual int32_t UnlockPaintNoUpdate() = 0;
  void ImageChange(int32_t ChangeSource) override { (void)ChangeSource; }

  // --- update ---------------------------------------------------------------------------------
  // Why the next Update runs; set by callers just before they call Update.
  uint8_t UpdateReason() const { return FUpdateReason; }
  void SetUpdateReason(int32_t Reason) override { FUpdateReason = static_cast<uint8_t>(Reason); }
  // The control's repaint; the image view overrides it with its geometry update.
  void Update() override { TCustomControl::Update(); }

  // --- IPXIOView --------------------------------------------------------------------------------
  TComponent* ViewComponent() override { return this; }
  // The window while the view sits in one (made on demand), else nil.
  HWND WindowHandle() override { return HasParentWindow() ? Handle() : nullptr; }
  bool HasParentWindow() override;
  void PostIOMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override;
  void QueueToUIThread(std::function<void()> Call) override;
  void SetModified(bool Value) override { (void)Value; }

  // --- events ---------------------------------------------------------------------------------
  const TNotifyEvent& OnMouseEnter() const { return FOnMouseEnter; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { FOnMouseEnter = Value; }
  const TNotifyEvent& OnMouseLeave() const { return FOnMouseLeave; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { FOnMouseLeave = Value; }
  const TOnShowDialogEvent& OnShowDialog() const { return FOnShowDialog; }
  void SetOnShowDialog(const TOnShowDialogEvent& Value) { FOnShowDialog = Value; }

  // The number of times the window was made (tests see that a property write did not remake it).
  int32_t WindowCreations() const { return FWindowCreations; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;
  // Messages posted by PostIOMessage and calls queued by QueueToUIThread arrive here.
  void WndProc(TMessage& Message) override;
  // A posted library message (PXMSG_*): the image view handles them.
  virtual void IOMessage(TMessage& Message) { (void)Message; }

  uint8_t FUpdateReason = 0;

 private:
  struct TCallback {
    int32_t Handle;
    TPXBitmapChangeEvent Event;
  };
  TBorderStyle FBorderStyle = bsSingle;
  std::vector<TCallback> FCallbacks;
  int32_t FNextHandle = 1;
  TNotifyEvent FOnMouseEnter;
  TNotifyEvent FOnMouseLeave;
  TOnShowDialogEvent FOnShowDialog;
  bool FFlatScrollBars = false;
  TColor FBackground = clBtnFace;
  int32_t FWindowCreations = 0;
  // Identifies this view to calls queued from other threads, so that a call for a view that is
  // gone is dropped.
  uint64_t FQueueId = 0;
};
