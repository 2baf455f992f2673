// TPixoranIO: construction, attachment to a bitmap, a view or a TImage, notifications,
// properties and the common steps every load and save takes; the factories of the view
// interfaces.
#include "io/pixoranio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "core/hypxutils.h"
#include "core/pxxBitmaps_iohooks.h"
#include "core/pxsettings.h"
#include "io/pixoranio_formats_impl.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/rtl/TypInfo.h"
#include "proc/pixoranproc_resample.h"

PX_CLASS_INFO(TPixoranIO, TComponent, [](TPropertyBuilder<TPixoranIO>& b) {
  b.Int("Background", &TPixoranIO::GetBackground, &TPixoranIO::SetBackground, TypeInfo_TColor());
  b.Bool("NativePixelFormat", &TPixoranIO::GetNativePixelFormat, &TPixoranIO::SetNativePixelFormat)
      .Default(false);
  b.Bool("SimplifiedParamsDialogs", &TPixoranIO::SimplifiedParamsDialogs, &TPixoranIO::SetSimplifiedParamsDialogs)
      .Default(true);
  b.Bool("StreamHeaders", &TPixoranIO::StreamHeaders, &TPixoranIO::SetStreamHeaders).Default(false);
  b.Object<TFont>("PreviewFont", &TPixoranIO::PreviewFont, &TPixoranIO::SetPreviewFont);
  b.Bool("PreviewFontEnabled", &TPixoranIO::PreviewFontEnabled, &TPixoranIO::SetPreviewFontEnabled)
      .Default(false);
  b.Bool("AutoAdjustDPI", &TPixoranIO::AutoAdjustDPI, &TPixoranIO::SetAutoAdjustDPI).Default(false);
  b.Bool("FilteredAdjustDPI", &TPixoranIO::FilteredAdjustDPI, &TPixoranIO::SetFilteredAdjustDPI).Default(false);
  b.Bool("WicFastLoading", &TPixoranIO::WicFastLoading, &TPixoranIO::SetWicFastLoading).Default(false);
  b.Str("PixoranVersion", &TPixoranIO::PixoranVersion, &TPixoranIO::SetPixoranVersion).Stored(false);
  b.Event("OnProgress", &TPixoranIO::OnProgress, &TPixoranIO::SetOnProgress);
  b.Event("OnFinishWork", &TPixoranIO::OnFinishWork, &TPixoranIO::SetOnFinishWork);
  b.Event("OnDoPreviews", &TPixoranIO::OnDoPreviews, &TPixoranIO::SetOnDoPreviews);
  b.Event("OnIOPreview", &TPixoranIO::OnIOPreview, &TPixoranIO::SetOnIOPreview);
  b.Event("OnAcquireBitmap", &TPixoranIO::OnAcquireBitmap, &TPixoranIO::SetOnAcquireBitmap);
  b.Event("OnAcquireClose", &TPixoranIO::OnAcquireClose, &TPixoranIO::SetOnAcquireClose);
  b.Event("OnPrintPage", &TPixoranIO::OnPrintPage, &TPixoranIO::SetOnPrintPage);
});

// ---------------------------------------------------------------------------------------------
// Factories of the interfaces above the I/O layer (filled at start-up, read afterwards).

namespace {
struct TViewFactories {
  TPXTemporaryViewFactory View;
  TPXTemporaryVectorViewFactory VectorView;
  TPXReadLayersHeaderProc ReadLayersHeader;
  TPXAcquireObjectsFactory AcquireObjects;
  TPXMediaReaderFactory MediaReader;
  TPXWiaFactory Wia;
};
TViewFactories& Factories() {
  static TViewFactories factories;
  return factories;
}
}  // namespace

void SetTemporaryViewFactory(TPXTemporaryViewFactory Factory) { Factories().View = std::move(Factory); }
void SetTemporaryVectorViewFactory(TPXTemporaryVectorViewFactory Factory) {
  Factories().VectorView = std::move(Factory);
}
std::unique_ptr<IPXIOView> CreateTemporaryView() { return Factories().View ? Factories().View() : nullptr; }
std::unique_ptr<IPXIOVectorView> CreateTemporaryVectorView() {
  return Factories().VectorView ? Factories().VectorView() : nullptr;
}
void SetReadLayersStreamHeader(TPXReadLayersHeaderProc Proc) { Factories().ReadLayersHeader = std::move(Proc); }
bool ReadLayersStreamHeader(TStream* Stream, TPXBitmap* Thumbnail, TPXLayersStreamHeader& Header) {
  return Factories().ReadLayersHeader && Factories().ReadLayersHeader(Stream, Thumbnail, Header);
}
void SetAcquireObjectsFactory(TPXAcquireObjectsFactory Factory) { Factories().AcquireObjects = std::move(Factory); }
TPXAcquireObjects CreateAcquireObjects(TComponent* Owner) {
  return Factories().AcquireObjects ? Factories().AcquireObjects(Owner) : TPXAcquireObjects{};
}
void SetMediaReaderFactory(TPXMediaReaderFactory Factory) { Factories().MediaReader = std::move(Factory); }
std::unique_ptr<IPXIOMediaReader> CreateMediaReader() {
  return Factories().MediaReader ? Factories().MediaReader() : nullptr;
}
void SetWiaFactory(TPXWiaFactory Factory) { Factories().Wia = std::move(Factory); }
std::unique_ptr<IPXIOWia> CreateWia(TComponent* Owner, TPXWiaProgress Progress) {
  return Factories().Wia ? Factories().Wia(Owner, std::move(Progress)) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// The pixel container's loads and saves

namespace {
// A layer view showing the bitmap updates as after a load and hears of the change.
void NotifyOwnerView(TPXBitmap* Bitmap) {
  auto* view = dynamic_cast<IPXIOView*>(Bitmap->FOwnerView);
  if (!view || !view->IsLayerView()) return;
  view->SetUpdateReason(pxurPictureLoaded);
  view->Update();
  view->ImageChange(2);
}

bool BitmapLoadFromStream(TPXBitmap* Bitmap, TStream* Stream, int32_t FileType, TIOParams* Params) {
  if (Bitmap->PixelFormat() == pxNoFormat) Bitmap->SetPixelFormat(px24RGB);
  bool ok;
  {
    auto io = TPixoranIO::CreateForBitmap(Bitmap);
    TIOParams* p = io->GetParams();
    if (Params && Params != p) p->Assign(Params);
    if (Bitmap->FLoadingResource) p->IsResource = true;
    io->SetWicFastLoading(Bitmap->FWicFastLoading != 0);
    io->SetOnProgress(Bitmap->OnProgress());
    io->LoadFromStream(Stream, FileType);
    ok = !io->Aborting();
    if (Params && Params != p) Params->Assign(p);
  }
  NotifyOwnerView(Bitmap);
  return ok;
}

bool BitmapSaveToStream(TPXBitmap* Bitmap, TStream* Stream, int32_t FileType, TIOParams* Params) {
  auto io = TPixoranIO::CreateForBitmap(Bitmap);
  TIOParams* p = io->GetParams();
  if (Params) {
    if (Params != p) p->Assign(Params);
  } else {
    p->SetColorsFromPixelFormat(Bitmap->PixelFormat());
  }
  io->SetOnProgress(Bitmap->OnProgress());
  io->SaveToStream(Stream, FileType);
  return !io->Aborting();
}
}  // namespace

void RegisterPixoranIO() {
  TPXBitmapIOHooks hooks;
  hooks.LoadFromStream = &BitmapLoadFromStream;
  hooks.SaveToStream = &BitmapSaveToStream;
  SetBitmapIOHooks(hooks);
}

// ---------------------------------------------------------------------------------------------
// Operation guard

TPXIOOperation::TPXIOOperation(TPixoranIO* IO) : FIO(IO) {
  FIO->FOperationLock.lock();
  if (FIO->FOperationDepth++ == 0) FIO->FOperationThread.store(GetCurrentThreadID());
}

TPXIOOperation::~TPXIOOperation() {
  if (--FIO->FOperationDepth == 0) FIO->FOperationThread.store(TThreadID());
  FIO->FOperationLock.unlock();
}

// ---------------------------------------------------------------------------------------------
// Construction

TPixoranIO::TPixoranIO(TComponent* AOwner) : TComponent(AOwner) {
  FParams = std::make_unique<TIOParams>(this);
  NewOwnBitmap();
  FAcquireObjects = CreateAcquireObjects(this);
  FPreviewFont = std::make_unique<TFont>();
  FPrintPreviewParams = std::make_unique<TIOPrintPreviewParams>();
  FProgressCallback = TPXProgressEvent(this, &TPixoranIO::DoProgress);
}

std::unique_ptr<TPixoranIO> TPixoranIO::CreateForBitmap(TPXBitmap* Bitmap) {
  auto io = std::make_unique<TPixoranIO>(nullptr);
  io->SetAttachedBitmap(Bitmap);
  return io;
}

TPixoranIO::~TPixoranIO() {
  WaitThreads(false);
  UnregisterFromView();
  if (FAttachedViewComponent) RemoveFreeNotification(FAttachedViewComponent);
  if (FAttachedTImage) RemoveFreeNotification(FAttachedTImage);
  FAttachedPixoran = nullptr;
  FAttachedViewComponent = nullptr;
  FAttachedTImage = nullptr;
  FParams.reset();
  FAcquireObjects = {};
  FPrintPreviewParams.reset();
  FPreviewFont.reset();
  FreeOwnedBitmap();
  FWia.reset();
  FCapture.reset();
  FMediaFoundation.reset();
}

void TPixoranIO::NewOwnBitmap() {
  FOwnedBitmap = std::make_unique<TPXBitmap>();
  FBitmap = FOwnedBitmap.get();
  FOwnsBitmap = true;
}

void TPixoranIO::FreeOwnedBitmap() {
  if (!FOwnsBitmap) return;
  FOwnedBitmap.reset();
  FBitmap = nullptr;
  FOwnsBitmap = false;
}

void TPixoranIO::UnregisterFromView() {
  if (FAttachedPixoran && FViewChangeHandle != 0) FAttachedPixoran->RemoveBitmapChangeEvent(FViewChangeHandle);
  FViewChangeHandle = 0;
}

void TPixoranIO::ForgetView() {
  if (FAttachedViewComponent) RemoveFreeNotification(FAttachedViewComponent);
  FAttachedPixoran = nullptr;
  FAttachedViewComponent = nullptr;
  FViewChangeHandle = 0;
}

// ---------------------------------------------------------------------------------------------
// Attachment

void TPixoranIO::SetAttachedBitmap(TPXBitmap* Bitmap) {
  TPXIOOperation operation(this);  // not while an operation works on the bitmap
  UnregisterFromView();
  if (!Bitmap && (FAttachedPixoran || FAttachedTImage)) return;
  AssignWorkingBitmap(Bitmap);
  if (Bitmap) {
    ForgetView();
    if (FAttachedTImage) RemoveFreeNotification(FAttachedTImage);
    FAttachedTImage = nullptr;
  }
}

void TPixoranIO::AssignWorkingBitmap(TPXBitmap* Bitmap) {
  TPXIOOperation operation(this);
  FAttachedTBitmap = nullptr;
  FreeOwnedBitmap();
  FOwnsBitmap = false;
  FBitmap = Bitmap;
}

void TPixoranIO::SetAttachedPixoran(IPXIOView* Value) {
  TPXIOOperation operation(this);
  UnregisterFromView();
  ForgetView();
  if (!Value) {
    FreeOwnedBitmap();
    FAttachedTBitmap = nullptr;
    NewOwnBitmap();
    return;
  }
  FreeOwnedBitmap();
  FAttachedTBitmap = nullptr;
  FBitmap = Value->GetPXBitmap();
  if (!FBitmap) {
    // A view with only a platform bitmap: work on an own container over it.
    if (TBitmap* tb = Value->GetBitmap()) {
      NewOwnBitmap();
      FBitmap->AttachTBitmap(tb, false);
      FAttachedTBitmap = tb;
    }
  }
  FAttachedPixoran = Value;
  FAttachedViewComponent = Value->ViewComponent();
  if (FAttachedViewComponent) FreeNotification(FAttachedViewComponent);
  if (FAttachedTImage) RemoveFreeNotification(FAttachedTImage);
  FAttachedTImage = nullptr;
  FViewChangeHandle = Value->AddBitmapChangeEvent(TPXBitmapChangeEvent(this, &TPixoranIO::ViewBitmapChanged));
}

void TPixoranIO::SetAttachedTImage(TImage* Value) {
  TPXIOOperation operation(this);
  UnregisterFromView();
  if (Value) {
    ForgetView();
    TBitmap* tb = Value->Picture()->Bitmap();
    if (!FOwnsBitmap) NewOwnBitmap();
    FBitmap->AttachTBitmap(tb, true);
    FAttachedTBitmap = tb;
    if (FAttachedTImage && FAttachedTImage != Value) RemoveFreeNotification(FAttachedTImage);
    FAttachedTImage = Value;
    FreeNotification(Value);
    return;
  }
  if (FAttachedTImage) RemoveFreeNotification(FAttachedTImage);
  FAttachedTImage = nullptr;
  // The caller's bitmap is never emptied here: only the own container over the picture.
  if (FOwnsBitmap && FBitmap) FBitmap->FreeStorage(true);
  FAttachedTBitmap = nullptr;
}

void TPixoranIO::ViewBitmapChanged(TObject* /*Sender*/, int32_t Code) {
  TPXIOOperation operation(this);
  if (!FAttachedPixoran) return;
  if (Code == pxbcViewDestroyed) {
    // The view goes away with its picture: continue on an own empty bitmap.
    FViewChangeHandle = 0;
    ForgetView();
    FAttachedTBitmap = nullptr;
    FreeOwnedBitmap();
    NewOwnBitmap();
    return;
  }
  if (Code != pxbcBitmapReplaced) return;
  if (FAttachedTBitmap) {
    FAttachedTBitmap = FAttachedPixoran->GetBitmap();
    if (FOwnsBitmap && FBitmap) {
      if (FAttachedTBitmap) FBitmap->AttachTBitmap(FAttachedTBitmap, false);
      else FBitmap->FreeStorage(true);
    }
  } else if (!FOwnsBitmap) {
    FBitmap = FAttachedPixoran->GetPXBitmap();
    FAttachedTBitmap = nullptr;
  }
}

void TPixoranIO::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent) return;
  TPXIOOperation operation(this);
  if (AComponent == FAttachedViewComponent) {
    // The view is being destroyed and can no longer be called; its picture goes with it.
    FAttachedPixoran = nullptr;
    FAttachedViewComponent = nullptr;
    FViewChangeHandle = 0;
    FAttachedTBitmap = nullptr;
    FreeOwnedBitmap();
    NewOwnBitmap();
  }
  if (AComponent == FAttachedTImage) {
    FAttachedTImage = nullptr;
    if (FOwnsBitmap && FBitmap && FAttachedTBitmap) FBitmap->FreeStorage(true);
    FAttachedTBitmap = nullptr;
  }
}

// ---------------------------------------------------------------------------------------------
// Properties

TIOParams* TPixoranIO::GetParams() {
  if (FBitmap && FBitmap->HasParams())
    if (TIOParams* p = FBitmap->GetParams()) return p;
  return FParams.get();
}

TColor TPixoranIO::GetBackground() { return FAttachedPixoran ? FAttachedPixoran->Background() : FBackground; }

void TPixoranIO::SetBackground(TColor Value) {
  if (!FAttachedPixoran) {
    FBackground = Value;
    return;
  }
  if (FForwardBackground && !FAttachedPixoran->IsThumbnailView()) FAttachedPixoran->SetBackground(Value);
}

bool TPixoranIO::GetNativePixelFormat() {
  TIOParams* p = GetParams();
  return p && p->NativePixelFormat;
}

void TPixoranIO::SetNativePixelFormat(bool Value) {
  if (TIOParams* p = GetParams()) p->NativePixelFormat = Value;
}

void TPixoranIO::SetAborting(bool Value) {
  FAborting.store(Value);
  if (FAcquireObjects.AcquireParams) FAcquireObjects.AcquireParams->SetAborting(Value);
  if (FAcquireObjects.DcimAcquire) FAcquireObjects.DcimAcquire->SetAborting(Value);
}

TBitmap* TPixoranIO::GetTBitmap() {
  if (FBitmap && FBitmap->Location() == pxTBitmap && FBitmap->FVclBitmap) return FBitmap->FVclBitmap;
  return FAttachedTBitmap;
}

void TPixoranIO::SetPreviewFont(TFont* Value) {
  if (Value) FPreviewFont->Assign(Value);
}

void TPixoranIO::SetColorReductionMode(uint8_t Value) {
  FColorReductionMode = Value;
  if (FBitmap) FBitmap->FBWConversion = Value;
}

void TPixoranIO::ParamsDpiChanged() {
  if (FAttachedPixoran)
    if (IPXIOVectorView* vect = FAttachedPixoran->AsVectorView()) vect->DpiChanged();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void TPixoranIO::DoProgress(TObject* Sender, int32_t per) {
  if (!FOnProgress) return;
  if (FAttachedPixoran && FAttachedPixoran->HasParentWindow() && IsIOThread()) {
    FAttachedPixoran->PostIOMessage(PXMSG_IO_PROGRESS, static_cast<uintptr_t>(per), 0);
    return;
  }
  FOnProgress(Sender, per);
}

void TPixoranIO::DoFinishWork() {
  if (FProgressCallback) FProgressCallback(this, 100);
  if (!FOnFinishWork) return;
  if (FAttachedPixoran && FAttachedPixoran->HasParentWindow() && IsIOThread()) {
    FAttachedPixoran->PostIOMessage(PXMSG_IO_FINISHWORK, 0, 0);
    return;
  }
  FOnFinishWork(this);
}

void TPixoranIO::CheckBitmap() {
  bool ok;
  if (FAttachedPixoran && FAttachedPixoran->IsLayerView()) {
    ok = FAttachedPixoran->CurrentLayerIsImage();
    if (!ok) {
      FAttachedPixoran->SetLayersCurrent(0);
      // The view may still be attached only when it did not go away meanwhile.
      ok = FAttachedPixoran && FAttachedPixoran->CurrentLayerIsImage();
    }
  } else {
    ok = FBitmap != nullptr;
  }
  if (!ok) throw EPXException("Active layer does not contain bitmap");
}

// ---------------------------------------------------------------------------------------------
// Common steps

bool TPixoranIO::PrepareBitmap(TPXPixelFormatSet Allowed) {
  CheckBitmap();
  if (!FBitmap) return false;
  if (FAttachedTBitmap && FOwnsBitmap) FBitmap->AttachTBitmap(FAttachedTBitmap, false);
  return FBitmap->EnsurePixelFormat(Allowed, true);
}

void TPixoranIO::InitProgress(TPXProgressRecord& Rec) { InitProgressRecord(this, &FAborting, Rec, FProgressCallback); }

void TPixoranIO::ApplyDefaultDPI() {
  TIOParams* p = GetParams();
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  if (!p || !s) return;
  if (p->DpiX < 2) p->SetDpiX(s->FDefaultDPIX);
  if (p->DpiY < 2) p->SetDpiY(s->FDefaultDPIY);
}

void TPixoranIO::AdjustDPI() {
  if (!PrepareBitmap({})) return;
  TIOParams* p = GetParams();
  const int32_t dpiX = p->DpiX, dpiY = p->DpiY;
  const int32_t width = FBitmap->Width(), height = FBitmap->Height();
  if (dpiX == dpiY || dpiX < 1 || dpiY < 1 || width < 1 || height < 1 || p->Width < 1 || p->Height < 1) return;
  int32_t newWidth = width, newHeight = height;
  const bool landscape = p->Width > p->Height;
  if (landscape) newHeight = Trunc32(static_cast<long double>(height) / dpiY * dpiX);
  else newWidth = Trunc32(static_cast<long double>(width) / dpiX * dpiY);
  if (newWidth < 1 || newHeight < 1) return;
  if (landscape) {
    p->SetDpiY(dpiX);
    p->Height = newHeight;
  } else {
    p->SetDpiX(dpiY);
    p->Width = newWidth;
  }

  std::unique_ptr<TPXBitmap> alpha;
  if (FBitmap->HasAlphaChannel()) alpha = TPXBitmap::CreateCopy(FBitmap->AlphaChannel());
  if (FFilteredAdjustDPI && FBitmap->PixelFormat() != px24RGB) FBitmap->SetPixelFormat(px24RGB);
  std::unique_ptr<TPXBitmap> result = ScaledBitmap(FBitmap, newWidth, newHeight, FFilteredAdjustDPI);
  if (alpha) StretchNearest(alpha.get(), result->AlphaChannel(), nullptr, TPXProgressEvent());
  FBitmap->AssignFrom(result.get(), false);
}

void TPixoranIO::UpdateAttached() {
  if (FAttachedTBitmap && FBitmap) FBitmap->RemoveAlphaChannel(false, clWhite);
  if (IPXIOView* view = FAttachedPixoran) {
    if (IsIOThread()) {
      // A worker never calls into the view: the UI thread does it in order.
      if (view->HasParentWindow()) view->PostIOMessage(PXMSG_IO_DONE, 0, 0);
      view->QueueToUIThread([view] { view->ImageChange(0); });
    } else {
      view->SetUpdateReason(pxurPictureLoaded);
      view->Update();
      view->ImageChange(0);
    }
  } else if (FAttachedTBitmap) {
    FAttachedTBitmap->SetModified(true);
  }
}

void TPixoranIO::ClearModified(bool KeepLayers) {
  if (FBitmap) FBitmap->SetModified(false);
  IPXIOView* view = FAttachedPixoran;
  if (!view || !view->IsLayerView()) return;
  if (IsIOThread()) {
    view->QueueToUIThread([view, KeepLayers] {
      if (KeepLayers || view->GetLayersCount() == 1) view->SetModified(false);
    });
  } else if (KeepLayers || view->GetLayersCount() == 1) {
    view->SetModified(false);
  }
}

void TPixoranIO::FinishLoad(bool KeepLayers) {
  UpdateAttached();
  ClearModified(KeepLayers);
  DoFinishWork();
}

// ---------------------------------------------------------------------------------------------
// Safe file writing

namespace {
// The permission bits a new file gets from the process's umask.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Umask:", 0) == 0) {
      mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
      break;
    }
  return 0666 & ~mask;
}
}  // namespace

void TPixoranIO::WriteFileSafely(const std::string& FileName, const std::function<void(TStream* Stream)>& Write) {
  const std::string folder = ExtractFilePath(FileName);
  std::string temp = (folder.empty() ? std::string("./") : folder) + ".pxsave-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    const int err = errno;
    throw EFCreateError(Format("Cannot create file \"%s\". %s", FileName.c_str(), std::strerror(err)));
  }
  struct stat st {};
  const mode_t mode = ::stat(FileName.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode();
  auto discard = [&] {
    if (fd >= 0) ::close(fd);
    fd = -1;
    ::unlink(temp.c_str());
  };
  try {
    THandleStream stream(fd);
    Write(&stream);
  } catch (...) {
    discard();
    throw;
  }
  if (FAborting.load() || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
    FAborting = true;
    discard();
    return;
  }
  ::close(fd);
  fd = -1;
  if (::rename(temp.c_str(), FileName.c_str()) != 0) {
    const int err = errno;
    discard();
    FAborting = true;
    throw EFCreateError(Format("Cannot create file \"%s\". %s", FileName.c_str(), std::strerror(err)));
  }
}
