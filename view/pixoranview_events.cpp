// TPixoranView's attached components and events: the I/O and processing components made on
// first use with the view's handlers, the transition events, picture access and the alpha
// channel, the external bitmap, the library's messages, image, layer and view events, playback
// and the cursors.
#include <algorithm>
#include <cmath>

#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "platform/forms/Forms.h"
#include "view/pixoranview.h"

// ---------------------------------------------------------------------------------------------
// Attached components

TPixoranIO* TPixoranView::GetIO() {
  if (FStagingIO) return FStagingIO.get();
  if (!FIO) {
    FIO = std::make_unique<TPixoranIO>(this).release();  // owned by the view as a component
    FIO->SetAttachedPixoran(this);
    CopyHandlersToIO();
  }
  return FIO;
}

TPixoranProc* TPixoranView::GetProc() {
  if (!FProc) {
    FProc = std::make_unique<TPixoranProc>(this).release();  // owned by the view as a component
    FProc->SetAttachedPixoran(this);
    CopyHandlersToProc();
  }
  return FProc;
}

void TPixoranView::CopyHandlersToIO() {
  if (!FIO) return;
  FIO->SetOnProgress(FOnProgress);
  FIO->SetOnFinishWork(FOnFinishWork);
  FIO->SetOnAcquireBitmap(FOnAcquireBitmap);
  FIO->SetOnPrintPage(FOnPrintPage);
}

void TPixoranView::CopyHandlersToProc() {
  if (!FProc) return;
  FProc->SetOnProgress(FOnProgress);
  FProc->SetOnFinishWork(FOnFinishWork);
  FProc->SetOnSaveUndo(FOnSaveUndo);
  FProc->SetUndoRedoCallback(FOnUndoRedo);
}

void TPixoranView::SetOnProgress(const TPXProgressEvent& Value) {
  FOnProgress = Value;
  if (FIO) FIO->SetOnProgress(Value);
  if (FProc) FProc->SetOnProgress(Value);
}

void TPixoranView::SetOnFinishWork(const TNotifyEvent& Value) {
  FOnFinishWork = Value;
  if (FIO) FIO->SetOnFinishWork(Value);
  if (FProc) FProc->SetOnFinishWork(Value);
}

void TPixoranView::SetOnAcquireBitmap(const TPXAcquireBitmapEvent& Value) {
  FOnAcquireBitmap = Value;
  if (FIO) FIO->SetOnAcquireBitmap(Value);
}

void TPixoranView::SetOnPrintPage(const TPXPrintPageEvent& Value) {
  FOnPrintPage = Value;
  if (FIO) FIO->SetOnPrintPage(Value);
}

void TPixoranView::SetOnSaveUndo(const TPXSaveUndoEvent& Value) {
  FOnSaveUndo = Value;
  if (FProc) FProc->SetOnSaveUndo(Value);
}

void TPixoranView::SetOnUndoRedo(const TPXOnUndoRedoEvent& Value) {
  FOnUndoRedo = Value;
  if (FProc) FProc->SetUndoRedoCallback(Value);
}

TPXTransitionEffects* TPixoranView::GetTransition() {
  if (!FTransition) FTransition = std::make_unique<TPXTransitionEffects>(this);
  return FTransition.get();
}

TNotifyEvent TPixoranView::GetOnTransitionStop() const {
  return FTransition ? FTransition->OnTransitionStop : TNotifyEvent();
}
void TPixoranView::SetOnTransitionStop(const TNotifyEvent& Value) { GetTransition()->OnTransitionStop = Value; }
TPXTransitionStepEvent TPixoranView::GetOnTransitionStep() const {
  return FTransition ? FTransition->OnTransitionStep : TPXTransitionStepEvent();
}
void TPixoranView::SetOnTransitionStep(const TPXTransitionStepEvent& Value) {
  GetTransition()->OnTransitionStep = Value;
}
TPXOnTransitionPaint TPixoranView::GetOnTransitionPaint() const {
  return FTransition ? FTransition->OnTransitionPaint : TPXOnTransitionPaint();
}
void TPixoranView::SetOnTransitionPaint(const TPXOnTransitionPaint& Value) {
  GetTransition()->SetOnTransitionPaint(Value);
}

// ---------------------------------------------------------------------------------------------
// Picture access

TBitmap* TPixoranView::GetBitmap() {
  SetLegacyBitmap(true);
  return FLegacyTBitmap;
}

TPXBitmap* TPixoranView::GetAlphaChannel() {
  if (!FHasImageLayer || !FMainBitmap) return nullptr;
  return FMainBitmap->GetAlphaChannel();
}

bool TPixoranView::HasAlphaChannel() { return FHasImageLayer && FMainBitmap && FMainBitmap->HasAlphaChannel(); }

void TPixoranView::RemoveAlphaChannel(bool Merge) {
  if (!FHasImageLayer || !FMainBitmap) return;
  FMainBitmap->RemoveAlphaChannel(Merge, Background());
  Update();
}

void TPixoranView::SetEnableAlphaChannel(bool Value) {
  if (Value == FEnableAlphaChannel) return;
  FEnableAlphaChannel = Value;
  Update();
}

void TPixoranView::SetExternalBitmap(TPXBitmap* Bitmap) {
  if (FLayersCurrent < 0) return;
  if (!FHasImageLayer) SetLayersCurrent(0);
  auto* layer = dynamic_cast<TPXImageLayer*>(CurrentLayer());
  if (!layer) return;
  if (FMainBitmap) FMainBitmap->FOwnerView = nullptr;
  if (!Bitmap) {
    layer->SetBitmap(nullptr, true);
    FMainBitmap = layer->Bitmap();
    FMainBitmap->FOwnerView = this;
    FLegacyTBitmap = nullptr;
    return;
  }
  layer->SetBitmap(Bitmap, false);
  Bitmap->FOwnerView = this;
  FMainBitmap = Bitmap;
  FLegacyTBitmap = Bitmap->Location() == pxTBitmap ? Bitmap->GetVclBitmap() : nullptr;
  CallBitmapChangeEvents(pxbcBitmapReplaced);
  Update();
}

TBitmap* TPixoranView::GetBackBuffer() { return FBackBuffer ? FBackBuffer->GetVclBitmap() : nullptr; }

// ---------------------------------------------------------------------------------------------
// The library's messages

void TPixoranView::IOMessage(TMessage& Message) {
  switch (Message.Msg) {
    case PXMSG_IO_DONE: Update(); break;
    case PXMSG_IO_PROGRESS:
      if (FOnProgress) FOnProgress(this, static_cast<int32_t>(Message.WParam));
      break;
    case PXMSG_IO_FINISHWORK:
      if (FOnFinishWork) FOnFinishWork(this);
      break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Image, layer and view events

void TPixoranView::ImageChange(int32_t ChangeSource) {
  if (ChangeSource == 0 || ChangeSource == 2) FUserZoomed = false;
  FModified = true;
  if (FOnImageChange) FOnImageChange(this);
  if (FOnImageChangeEx) FOnImageChangeEx(this, ChangeSource);
  ToolsImageChanged();
  FBackdropStale = true;
  StartPlayTimer();
  const TComponentState state = ComponentState();
  if (!FImageUserChanged && FUpdateReason != pxurDisplay && FLayersCurrent == 0 && !state.Contains(csLoading) &&
      !state.Contains(csReading) && !state.Contains(csDesigning))
    FImageUserChanged = true;
  CallBitmapChangeEvents(pxbcImageChanged);
}

void TPixoranView::DoLayerNotify(int32_t Layer, TPXLayerEvent Event) {
  const bool pointerEvent =
      Event == pxlLeftClicked || Event == pxlRightClicked || Event == pxlDblClicked || Event == pxlMouseOver;
  if (pointerEvent && Layer < 0) return;
  if (FOnLayerNotify || FOnLayerNotifyEx) {
    SwapSelectionBase();
    const bool exOnly = Event == pxlBeginResizing || Event == pxlBeginRotating || Event == pxlBeginMoving ||
                        Event == pxlBeginCreating || Event == pxlBeforeRemove || Event == pxlRemoved;
    try {
      if (!exOnly && FOnLayerNotify) FOnLayerNotify(this, Layer, Event);
      if (FOnLayerNotifyEx) FOnLayerNotifyEx(this, Layer, Event);
    } catch (...) {
      SwapSelectionBase();
      throw;
    }
    SwapSelectionBase();
  }
  switch (Event) {
    case pxlMoved:
    case pxlResized:
    case pxlRotated:
    case pxlEdited:
    case pxlCreated:
    case pxlAction:
    case pxlArranged:
    case pxlRemoved:
    case pxlEditedProps: ImageChange(3); break;
    case pxlSelected:
    case pxlDeselected: CallBitmapChangeEvents(pxbcLayerSelection); break;
    default: break;
  }
}

void TPixoranView::DoViewChanging(int32_t Change, double NewValue) {
  if (FOnViewChanging) FOnViewChanging(this, Change, NewValue);
}

void TPixoranView::DoViewChange(int32_t Change) {
  if (FOnViewChange) FOnViewChange(this, Change);
}

void TPixoranView::SwapSelectionBase() { std::swap(FSelectionBase, FEventSelectionBase); }

void TPixoranView::DoZoomIn(double& NewZoom) {
  SwapSelectionBase();
  if (FOnZoomIn) FOnZoomIn(this, NewZoom);
  SwapSelectionBase();
}

void TPixoranView::DoZoomOut(double& NewZoom) {
  SwapSelectionBase();
  if (FOnZoomOut) FOnZoomOut(this, NewZoom);
  SwapSelectionBase();
}

void TPixoranView::DoLayerSelectionChange(TObject* /*Sender*/) {
  if (FOnLayerSelectionChange) FOnLayerSelectionChange(this);
}

void TPixoranView::DoBeforeDrawLayer(TPXBitmap* Dest, int32_t LayerIndex) {
  if (FOnBeforeDrawLayer) FOnBeforeDrawLayer(this, Dest, LayerIndex);
}

// ---------------------------------------------------------------------------------------------
// Playback

void TPixoranView::SetPlaying(bool Value) {
  if (Value == FPlaying) return;
  FPlaying = Value;
  if (Value) StartPlayTimer();
  else StopPlayTimer();
}

void TPixoranView::StartPlayTimer() {
  StopPlayTimer();
  if (!FPlaying) return;
  TIOParams* params = GetIO()->Params();
  if (params->ImageCount < 2) return;
  if (FPlaySpeed == 0) FPlaySpeed = 1.0;
  int64_t delay = Round(params->GetImageDelayTime() / FPlaySpeed);
  if (delay < 1) delay = 100;
  if (delay > 0 && HasParentWindow()) {
    const UINT interval = static_cast<UINT>(std::min<int64_t>(delay, INT32_MAX));
    if (SetTimer(Handle(), 1, interval)) FPlayTimerId = 1;
  }
}

void TPixoranView::StopPlayTimer() {
  if (FPlayTimerId == 0) return;
  if (HandleAllocated()) KillTimer(Handle(), 1);
  FPlayTimerId = 0;
}

void TPixoranView::PlayTimerFired() {
  StopPlayTimer();
  TPixoranIO* io = GetIO();
  TIOParams* params = io->Params();
  if (params->ImageIndex < params->ImageCount - 1) {
    io->Seek(2, "");
  } else {
    io->Seek(0, "");
    if (!FPlayLoop) {
      SetPlaying(false);
      return;
    }
  }
  if (!io->Aborting()) StartPlayTimer();
}

void TPixoranView::WMTimer(TWMTimer& Message) {
  if (Message.TimerID == 1 && FPlayTimerId != 0) {
    PlayTimerFired();
    return;
  }
  TPXView::WMTimer(Message);
}

// ---------------------------------------------------------------------------------------------
// Cursors

void TPixoranView::SetCursor(TCursor Value) {
  TCursor cur = Value;
  if (FOnSetCursor) FOnSetCursor(this, cur);
  FDefaultCursor = cur;
  TControl::SetCursor(cur);
  FCursor = cur;
}

void TPixoranView::SetTempCursor(TCursor Value, bool AlsoScreen) {
  TCursor cur = FZoneCursorShapeInUse != pxcsDefault ? crNone : Value;
  if (FOnSetCursor) FOnSetCursor(this, cur);
  if (!FAutoCursors) return;
  TControl::SetCursor(cur);
  FCursor = cur;
  if (AlsoScreen) {
    if (TScreen* screen = Screen()) {
      FSavedScreenCursor = screen->Cursor();
      screen->SetCursor(cur);
    }
  }
}

void TPixoranView::RestoreCursor() {
  SetTempCursor(FDefaultCursor, false);
  if (FSavedScreenCursor != -1 && FZoneCursorShapeInUse == pxcsDefault) {
    if (TScreen* screen = Screen()) screen->SetCursor(FSavedScreenCursor);
    FSavedScreenCursor = -1;
  }
}

void TPixoranView::SetZoneCursor(TPXCursorShape Value) {
  FZoneCursor = Value;
  SetZoneCursorShape(pxcsDefault, 0, 0);
}

int32_t TPixoranView::ZoneCursorSize() const {
  if (FZoneCursorSize.X == FZoneCursorSize.Y) return FZoneCursorSize.X;
  return FZoneCursorSize.Y + FZoneCursorSize.X * 10000;
}

void TPixoranView::SetZoneCursorSize(int32_t Value) {
  if (Value > 9999) FZoneCursorSize = TPoint(Value / 10000, Value % 10000);
  else FZoneCursorSize = TPoint(Value, Value);
  SetZoneCursorShape(pxcsDefault, 0, 0);
}

void TPixoranView::SetZoneCursorShape(TPXCursorShape Shape, int32_t Width, int32_t Height) {
  if (Width > 0 && Shape != pxcsDefault) {
    FZoneCursorShapeInUse = Shape;
    FZoneCursorSizeInUse = TPoint(Width, Height > 0 ? Height : Width);
  } else {
    FZoneCursorShapeInUse = FZoneCursor;
    FZoneCursorSizeInUse = FZoneCursorSize;
  }
  RestoreCursor();
}
