// TPixoranProc: construction, attachment to a host, a bitmap or a TImage, the properties and the
// operation frame every operation runs in.
#include <algorithm>
#include <memory>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/gdi/Graphics.h"
#include "proc/pixoranproc.h"

namespace {
constexpr const char* kNoBitmapMessage = "Active layer does not contain bitmap";

// Copies the box X1..X2, Y1..Y2 of Target (with its palette) into a new bitmap held by Holder
// and moves the box to the copy's own coordinates; returns the copy.
TPXBitmap* CopyBox(TPXBitmap* Target, std::unique_ptr<TPXBitmap>& Holder, int32_t& X1, int32_t& Y1, int32_t& X2,
                   int32_t& Y2, bool WithAlpha) {
  Holder = std::make_unique<TPXBitmap>();
  Holder->Allocate(X2 - X1, Y2 - Y1, Target->PixelFormat());
  if (Target->PixelFormat() == px8p) Target->CopyPaletteTo(Holder.get());
  Target->CopyRectTo(Holder.get(), X1, Y1, 0, 0, X2 - X1, Y2 - Y1, WithAlpha);
  X1 = 0;
  Y1 = 0;
  X2 = Holder->Width();
  Y2 = Holder->Height();
  return Holder.get();
}
}  // namespace

PX_CLASS_INFO(TPixoranProc, TComponent, [](TPropertyBuilder<TPixoranProc>& b) {
  b.Bool("AutoUndo", &TPixoranProc::AutoUndo, &TPixoranProc::SetAutoUndo).Default(true);
  b.Event("OnProgress", &TPixoranProc::OnProgress, &TPixoranProc::SetOnProgress);
  b.Bool("PreviewFontEnabled", &TPixoranProc::PreviewFontEnabled, &TPixoranProc::SetPreviewFontEnabled)
      .Default(false);
  b.Int("UndoLimit", &TPixoranProc::UndoLimit, &TPixoranProc::SetUndoLimit).Default(1);
  b.Event("OnFinishWork", &TPixoranProc::OnFinishWork, &TPixoranProc::SetOnFinishWork);
  b.Bool("AutoConvertFormat", &TPixoranProc::AutoConvertFormat, &TPixoranProc::SetAutoConvertFormat)
      .Default(true);
  b.Event("OnSaveUndo", &TPixoranProc::OnSaveUndo, &TPixoranProc::SetOnSaveUndo);
  b.Int("Background", &TPixoranProc::Background, &TPixoranProc::SetBackground, TypeInfo_TColor());
  b.Object<TFont>("PreviewFont", &TPixoranProc::PreviewFont, &TPixoranProc::SetPreviewFont);
  b.Str("PixoranVersion", &TPixoranProc::PixoranVersion, &TPixoranProc::SetPixoranVersion).Stored(false);
})

TPixoranProc::TPixoranProc(TComponent* AOwner)
    : TComponent(AOwner),
      FAutoUndo(AOwner != nullptr),
      FPreviewsParams{prppShowResetButton, prppHardReset},
      FPreviewFont(std::make_unique<TFont>()),
      FOwnedTarget(std::make_unique<TPXBitmap>()),
      FIPDialogParams(std::make_unique<TIPDialogParams>()),
      FUndoStore(std::make_unique<TPXUndoStore>()),
      FRedoStore(std::make_unique<TPXUndoStore>()) {
  FTargetBitmap = FOwnedTarget.get();
}

std::unique_ptr<TPixoranProc> TPixoranProc::CreateForBitmap(TPXBitmap* Bitmap) {
  auto proc = std::make_unique<TPixoranProc>(nullptr);
  proc->SetAutoUndo(false);
  proc->SetAttachedBitmap(Bitmap);
  return proc;
}

TPixoranProc::~TPixoranProc() {
  RemoveHostRegistration();
  if (FAttachedTImage) RemoveFreeNotification(FAttachedTImage);
  ClearAllUndo();
  ClearAllRedo();
}

// ---------------------------------------------------------------------------------------------
// Attachment

void TPixoranProc::RemoveHostRegistration() {
  if (FAttachedPixoran && FChangeRegistration != 0) FAttachedPixoran->RemoveBitmapChangeEvent(FChangeRegistration);
  FChangeRegistration = 0;
}

void TPixoranProc::NewOwnedTarget() {
  FOwnedTarget = std::make_unique<TPXBitmap>();
  FTargetBitmap = FOwnedTarget.get();
}

void TPixoranProc::SetForeignTarget(TPXBitmap* Bitmap) {
  FOwnedTarget.reset();
  FTargetBitmap = Bitmap;
}

bool TPixoranProc::HostIsLayerView() const {
  return FAttachedPixoran && FAttachedPixoran->IsLayerView();
}

bool TPixoranProc::HostIsVectorView() const {
  return FAttachedPixoran && FAttachedPixoran->HostKind() == pxhkVectorView;
}

void TPixoranProc::SetAttachedPixoran(IPXProcessingHost* Value) {
  RemoveHostRegistration();
  FAttachedPixoran = Value;
  if (!Value) {
    FAttachedTBitmap = nullptr;
    NewOwnedTarget();
    return;
  }
  if (TPXBitmap* bitmap = Value->GetPXBitmap()) {
    SetForeignTarget(bitmap);
    FAttachedTBitmap = nullptr;
  } else {
    FAttachedTBitmap = Value->GetBitmap();
    NewOwnedTarget();
    if (FAttachedTBitmap) FTargetBitmap->AttachTBitmap(FAttachedTBitmap, true);
  }
  if (FAttachedTImage) {
    RemoveFreeNotification(FAttachedTImage);
    FAttachedTImage = nullptr;
  }
  FChangeRegistration = Value->AddBitmapChangeEvent(TPXBitmapChangeEvent(this, &TPixoranProc::ViewBitmapChanged));
}

void TPixoranProc::ViewBitmapChanged(TObject* /*Sender*/, int32_t Code) {
  if (Code == pxbcViewDestroyed) {
    // The host is going away and drops its registrations itself; its bitmaps go with it.
    FChangeRegistration = 0;
    FAttachedPixoran = nullptr;
    FAttachedTBitmap = nullptr;
    NewOwnedTarget();
    return;
  }
  if (Code != pxbcBitmapReplaced || !FAttachedPixoran) return;
  if (FAttachedTBitmap) {
    FAttachedTBitmap = FAttachedPixoran->GetBitmap();
    if (FOwnedTarget) {
      if (FAttachedTBitmap) FTargetBitmap->AttachTBitmap(FAttachedTBitmap, true);
      else NewOwnedTarget();
    }
  } else if (TPXBitmap* bitmap = FAttachedPixoran->GetPXBitmap()) {
    SetForeignTarget(bitmap);
  } else if (!FOwnedTarget) {
    FTargetBitmap = nullptr;  // the host holds no picture now: operations raise
  }
}

void TPixoranProc::SetAttachedBitmap(TPXBitmap* Bitmap) {
  if (!Bitmap && (FAttachedPixoran || FAttachedTImage)) return;
  RemoveHostRegistration();
  SetForeignTarget(Bitmap);
  FAttachedTBitmap = nullptr;
  if (Bitmap) {
    FAttachedPixoran = nullptr;
    if (FAttachedTImage) {
      RemoveFreeNotification(FAttachedTImage);
      FAttachedTImage = nullptr;
    }
  }
}

void TPixoranProc::SetAttachedTImage(TImage* Value) {
  if (Value == FAttachedTImage) return;
  if (FAttachedTImage) RemoveFreeNotification(FAttachedTImage);
  if (!Value) {
    // Only the wrapping of the image's bitmap ends; a host's or a caller's picture is never
    // freed here.
    if (FAttachedTImage) {
      FAttachedTImage = nullptr;
      FAttachedTBitmap = nullptr;
      NewOwnedTarget();
    }
    return;
  }
  RemoveHostRegistration();
  FAttachedPixoran = nullptr;
  FAttachedTImage = Value;
  FAttachedTBitmap = Value->Picture()->Bitmap();
  // A target of our own wraps the image's bitmap, so the previous target (a host's layer or a
  // caller's bitmap) keeps its pixels.
  NewOwnedTarget();
  FTargetBitmap->AttachTBitmap(FAttachedTBitmap, true);
  FreeNotification(Value);
}

void TPixoranProc::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent && AComponent == FAttachedTImage) {
    FAttachedTImage = nullptr;
    FAttachedTBitmap = nullptr;
    NewOwnedTarget();
  }
}

TColor TPixoranProc::Background() { return FAttachedPixoran ? FAttachedPixoran->Background() : FBackground; }

void TPixoranProc::SetBackground(TColor Value) {
  if (FAttachedPixoran) FAttachedPixoran->SetBackground(Value);
  else FBackground = Value;
}

void TPixoranProc::SetPreviewFont(TFont* Value) {
  if (Value) FPreviewFont->Assign(Value);
}

std::string TPixoranProc::PixoranVersion() const { return "1.0.0"; }

int32_t TPixoranProc::GetImageDpiX() {
  int32_t x = 0, y = 0;
  if (FAttachedPixoran && FAttachedPixoran->GetIODpi(x, y)) return x;
  return GlobalSettingsInstance()->FDefaultDPIX;
}

int32_t TPixoranProc::GetImageDpiY() {
  int32_t x = 0, y = 0;
  if (FAttachedPixoran && FAttachedPixoran->GetIODpi(x, y)) return y;
  return GlobalSettingsInstance()->FDefaultDPIY;
}

// ---------------------------------------------------------------------------------------------
// The operation frame

void TPixoranProc::CheckBitmap() {
  if (!FTargetBitmap) throw EPXException(kNoBitmapMessage);
  if (HostIsLayerView() && !FAttachedPixoran->CurrentLayerIsImage()) throw EPXException(kNoBitmapMessage);
}

bool TPixoranProc::PrepareBitmap(TPXPixelFormatSet AllowedFormats, bool Check) {
  if (Check) CheckBitmap();
  if (!FTargetBitmap) return false;
  if (FAttachedTBitmap) FTargetBitmap->AttachTBitmap(FAttachedTBitmap, false);
  return FTargetBitmap->EnsurePixelFormat(AllowedFormats, FAutoConvertFormat);
}

bool TPixoranProc::GetSelectionBox(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2, const TPoint*& Points,
                                   int32_t& PointCount, TPXMask*& Mask) {
  if (FAttachedTBitmap && FTargetBitmap) FTargetBitmap->AttachTBitmap(FAttachedTBitmap, false);
  X1 = 0;
  Y1 = 0;
  X2 = FTargetBitmap ? FTargetBitmap->Width() : 0;
  Y2 = FTargetBitmap ? FTargetBitmap->Height() : 0;
  Points = nullptr;
  PointCount = 0;
  Mask = nullptr;
  if (!HostIsLayerView()) return false;
  Mask = FAttachedPixoran->SelectionMask();
  if (!FAttachedPixoran->SelectionActive()) return false;
  Points = FAttachedPixoran->SelectionPoints();
  PointCount = FAttachedPixoran->SelectionPointCount();
  if (Mask && !Mask->IsEmpty()) {
    // The box is kept inside the picture so that a mask larger than it never leads outside.
    X1 = std::clamp(Mask->FX1, 0, X2);
    Y1 = std::clamp(Mask->FY1, 0, Y2);
    X2 = std::clamp(Mask->FX2 + 1, X1, X2);
    Y2 = std::clamp(Mask->FY2 + 1, Y1, Y2);
  }
  return true;
}

bool TPixoranProc::BeginOperation(TPXPixelFormatSet AllowedFormats, int32_t& X1, int32_t& Y1, int32_t& X2,
                                  int32_t& Y2, const std::string& Caption, TPXBitmap*& WorkBitmap, TPXMask*& Mask,
                                  int32_t OperationCode, bool UseSelection) {
  WorkBitmap = nullptr;
  Mask = nullptr;
  X1 = Y1 = X2 = Y2 = 0;
  CheckBitmap();
  if (FAutoUndo) StoreUndoState(Caption, pxuImage, true, OperationCode);
  if (!PrepareBitmap(AllowedFormats, true)) return false;
  const TPoint* points = nullptr;
  int32_t pointCount = 0;
  GetSelectionBox(X1, Y1, X2, Y2, points, pointCount, Mask);
  FWorkCopy.reset();
  if (UseSelection && Mask && !Mask->IsEmpty() && X2 > X1 && Y2 > Y1)
    WorkBitmap = CopyBox(FTargetBitmap, FWorkCopy, X1, Y1, X2, Y2, true);
  else
    WorkBitmap = FTargetBitmap;
  return true;
}

void TPixoranProc::EndOperation(TPXBitmap* WorkBitmap, TPXMask* Mask) {
  if (WorkBitmap && WorkBitmap != FTargetBitmap && FTargetBitmap) {
    if (Mask) {
      // The work copy holds the mask's box (clipped to the picture); the mask addresses it
      // relative to the box's origin and the picture absolutely.
      Mask->CopyBitmapWithMask(FTargetBitmap, WorkBitmap, false, true, false);
      if (TPXBitmap* workAlpha = WorkBitmap->PeekAlphaChannel()) {
        workAlpha->UpdateFull();
        if (!workAlpha->FFull) {
          TPXBitmap* alpha = FTargetBitmap->GetAlphaChannel();
          Mask->CopyBitmapWithMask(alpha, workAlpha, false, true, false);
          alpha->FFull = 0;
        }
      }
    }
    if (WorkBitmap == FWorkCopy.get()) FWorkCopy.reset();
  }
  ImageChanged();
}

bool TPixoranProc::BeginSelectionWork(TPXPixelFormatSet AllowedFormats, int32_t& X1, int32_t& Y1, int32_t& X2,
                                      int32_t& Y2, TPXBitmap*& WorkBitmap, TPXMask*& Mask) {
  WorkBitmap = nullptr;
  Mask = nullptr;
  X1 = Y1 = X2 = Y2 = 0;
  if (!PrepareBitmap(AllowedFormats, false)) return false;
  const TPoint* points = nullptr;
  int32_t pointCount = 0;
  GetSelectionBox(X1, Y1, X2, Y2, points, pointCount, Mask);
  FSelectionCopy.reset();
  if (Mask && !Mask->IsEmpty() && X2 > X1 && Y2 > Y1)
    WorkBitmap = CopyBox(FTargetBitmap, FSelectionCopy, X1, Y1, X2, Y2, false);
  else
    WorkBitmap = FTargetBitmap;
  return true;
}

void TPixoranProc::EndSelectionWork(TPXBitmap* WorkBitmap) {
  if (WorkBitmap && WorkBitmap == FSelectionCopy.get()) FSelectionCopy.reset();
}

void TPixoranProc::ImageChanged() {
  if (!FTargetBitmap) return;
  if (FAttachedTBitmap) FTargetBitmap->RemoveAlphaChannel(false, 0);
  FTargetBitmap->DoChange();
  if (FAttachedPixoran) {
    FAttachedPixoran->SetUpdateReason(5);
    FAttachedPixoran->Update();
    FAttachedPixoran->ImageChange(1);
    return;
  }
  if (FAttachedTBitmap) FAttachedTBitmap->SetModified(true);
}

void TPixoranProc::DoFinishWork() {
  if (FOnProgress) FOnProgress(this, 100);
  if (FOnFinishWork) FOnFinishWork(this);
}

void TPixoranProc::DoProgress(int32_t Percent) {
  if (FOnProgress) FOnProgress(this, std::clamp(Percent, 0, 100));
}

TPXProgressRecord TPixoranProc::MakeProgressRecord() {
  TPXProgressRecord rec;
  rec.Event = FOnProgress;
  rec.Sender = this;
  return rec;
}
