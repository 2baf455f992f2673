// Cut, copy and paste of the picture, the selection and the selected layers through the
// platform clipboard, with undo.
//
// Clipboard data is another program's: a paste decodes it into a temporary picture first, and
// only a picture that decoded replaces anything or gets an undo entry.
#include "proc/pixoranproc_clipboard.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>

#include "core/hypxutils.h"
#include "core/hypxutils_window.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes_streams.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_dib.h"
#include "proc/pixoranproc_resample.h"

namespace {

// The clipboard opened (with retries) for one operation and closed on every path.
class TClipboardSession {
 public:
  TClipboardSession() : open_(OpenClipboardRetry()) {}
  ~TClipboardSession() {
    if (open_) CloseClipboard();
  }
  TClipboardSession(const TClipboardSession&) = delete;
  TClipboardSession& operator=(const TClipboardSession&) = delete;
  bool Open() const { return open_; }

 private:
  bool open_;
};

// A global memory block locked while the object lives.
class TLockedBlock {
 public:
  explicit TLockedBlock(HGLOBAL Block) : block_(Block) {
    if (!block_) return;
    size_ = GlobalSize(block_);
    data_ = static_cast<uint8_t*>(GlobalLock(block_));
    if (!data_) size_ = 0;
  }
  ~TLockedBlock() {
    if (data_) GlobalUnlock(block_);
  }
  TLockedBlock(const TLockedBlock&) = delete;
  TLockedBlock& operator=(const TLockedBlock&) = delete;
  uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

 private:
  HGLOBAL block_;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

// Hands Block to the clipboard as Format; a refused block is freed. True when it was taken.
bool Publish(UINT Format, HGLOBAL Block) {
  if (!Block) return false;
  if (SetClipboardData(Format, Block)) return true;
  GlobalFree(Block);
  return false;
}

// A new block holding Bytes bytes written by Fill; nil when it cannot be had.
template <class TFill>
HGLOBAL NewBlock(int64_t Bytes, TFill&& Fill) {
  if (Bytes <= 0) return nullptr;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, static_cast<size_t>(Bytes));
  if (!block) return nullptr;
  void* p = GlobalLock(block);
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  Fill(p);
  GlobalUnlock(block);
  return block;
}

// The raw bitmap stream of Bitmap in a new block.
HGLOBAL RawBlock(TPXBitmap* Bitmap) {
  return NewBlock(Bitmap->RawStreamSize(), [&](void* p) { Bitmap->SaveRawToStream(p, nullptr, false); });
}

enum class TClipPicture { None, Raw, Png, Dib };

// Decodes the first picture the clipboard offers among Raw, "PNG" (when AllowPng) and CF_DIB
// into Dest; None when there is none or it does not decode. The clipboard must be open.
TClipPicture DecodeClipboardPicture(TPXBitmap* Dest, bool AllowPng) {
  if (HGLOBAL raw = GetClipboardData(PixoranRawClipboardFormat())) {
    TLockedBlock block(raw);
    if (!block.Data() || !Dest->LoadRawFromStream(block.Data(), static_cast<int64_t>(block.Size()), nullptr) ||
        Dest->IsEmpty())
      return TClipPicture::None;
    return TClipPicture::Raw;
  }
  if (AllowPng) {
    const UINT png = FindClipboardFormat("PNG");
    if (HGLOBAL data = png ? GetClipboardData(png) : nullptr) {
      TLockedBlock block(data);
      if (!block.Data() || block.Size() > static_cast<size_t>(INT32_MAX)) return TClipPicture::None;
      auto io = TPixoranIO::CreateForBitmap(Dest);
      if (!io->LoadFromBuffer(block.Data(), static_cast<int32_t>(block.Size()), pxftPNG) || io->Aborting() ||
          Dest->IsEmpty())
        return TClipPicture::None;
      return TClipPicture::Png;
    }
  }
  if (HGLOBAL dib = GetClipboardData(CF_DIB)) {
    if (CopyDIBToBitmap(dib, Dest, {}, false, 0) == 0 || Dest->IsEmpty()) return TClipPicture::None;
    return TClipPicture::Dib;
  }
  return TClipPicture::None;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Putting pictures on the clipboard

HGLOBAL MakeMaskedDIB(TPXBitmap* Bitmap, TPXMask* Mask, TColor Background, int32_t DpiX, int32_t DpiY) {
  if (!Bitmap || !Mask || Mask->IsEmpty() || Bitmap->IsEmpty()) return nullptr;
  TPXBitmap box;
  if (!box.Allocate(Mask->FX2 - Mask->FX1 + 1, Mask->FY2 - Mask->FY1 + 1, Bitmap->PixelFormat())) return nullptr;
  if (Bitmap->PixelFormat() == px8p) Bitmap->CopyPaletteTo(&box);
  box.Fill(static_cast<double>(Background));
  Mask->CopyBitmapWithMask(&box, Bitmap, true, false, false);
  return _CopyBitmaptoDIBEx(&box, 0, 0, 0, 0, DpiX, DpiY);
}

void FillMaskedWithColor(TPXBitmap* Bitmap, TPXMask* Mask, double Value) {
  if (!Bitmap || !Mask || Mask->IsEmpty() || Bitmap->IsEmpty()) return;
  TPXBitmap box;
  if (!box.Allocate(Mask->FX2 - Mask->FX1 + 1, Mask->FY2 - Mask->FY1 + 1, Bitmap->PixelFormat())) return;
  if (Bitmap->PixelFormat() == px8p) Bitmap->CopyPaletteTo(&box);
  box.Fill(Value);
  box.MergeThroughMask(Bitmap, Mask);
}

bool PutBitmapOnClipboard(TPXBitmap* Bitmap, bool OpenAndEmpty, bool AlsoRaw, int32_t X1, int32_t Y1, int32_t X2,
                          int32_t Y2, const TPoint* /*Points*/, int32_t /*PointCount*/, TPXMask* Mask,
                          TColor Background, int32_t DpiX, int32_t DpiY) {
  if (!Bitmap || Bitmap->Width() < 2 || Bitmap->Height() < 2) return false;
  std::unique_ptr<TClipboardSession> session;
  if (OpenAndEmpty) {
    session = std::make_unique<TClipboardSession>();
    if (!session->Open()) return false;
    EmptyClipboard();
  }
  const bool masked = Mask && !Mask->IsEmpty();
  HGLOBAL dib = masked ? MakeMaskedDIB(Bitmap, Mask, Background, DpiX, DpiY)
                       : _CopyBitmaptoDIBEx(Bitmap, X1, Y1, X2, Y2, DpiX, DpiY);
  if (!dib || !Publish(CF_DIB, dib)) return false;
  if (AlsoRaw) {
    if (masked) {
      TPXBitmap region;
      Bitmap->CopyMaskedRegion(&region, Mask);
      if (!region.IsEmpty()) Publish(PixoranRawClipboardFormat(), RawBlock(&region));
    } else {
      Publish(PixoranRawClipboardFormat(), RawBlock(Bitmap));
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// TPixoranProc

bool TPixoranProc::HasCopySource(uint8_t Source) {
  switch (Source) {
    case 0:
      return HasCopySource(2) || HasCopySource(3) || HasCopySource(1);
    case 1:
      return FTargetBitmap && FTargetBitmap->Width() >= 2 && FTargetBitmap->Height() >= 2;
    case 2:
      return HostIsLayerView() && FAttachedPixoran->SelectionActive();
    case 3:
      return HostIsLayerView() && FAttachedPixoran->SelectedLayerCount() > 0;
    default:
      return false;
  }
}

bool TPixoranProc::CanCut(uint8_t Source) {
  return Source == 0 ? HasCopySource(2) || HasCopySource(3) : HasCopySource(Source);
}

bool TPixoranProc::CanPaste(uint8_t Target, bool AllowImageAsLayer) {
  if (Target == 2 && !(HostIsLayerView() && FAttachedPixoran->SelectionActive())) return false;
  if (Target == 3 && !HostIsLayerView()) return false;
  TClipboardSession session;
  if (!session.Open()) return false;
  if (Target == 3 && !AllowImageAsLayer && FAttachedPixoran->LayersCurrent() == 0)
    return IsClipboardFormatAvailable(PixoranLayerClipboardFormat());
  const UINT png = FindClipboardFormat("PNG");
  return IsClipboardFormatAvailable(PixoranRawClipboardFormat()) || (png && IsClipboardFormatAvailable(png)) ||
         IsClipboardFormatAvailable(CF_DIB) || IsClipboardFormatAvailable(CF_ENHMETAFILE);
}

bool TPixoranProc::CutImage(bool AlsoRaw, bool Remove, bool ClearOnly) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return false;
  const bool result = ClearOnly || PutBitmapOnClipboard(FTargetBitmap, true, AlsoRaw, 0, 0, 0, 0, nullptr, 0,
                                                        nullptr, 0, GetImageDpiX(), GetImageDpiY());
  if (!result || !Remove) return result;
  // The entry is saved once the picture is on the clipboard, so a failed cut leaves none.
  if (FAutoUndo) StoreUndoState(ClearOnly ? "Clear" : "Cut", pxuImage, true, ClearOnly ? 19 : 111);
  if (HostIsLayerView()) {
    FAttachedPixoran->BlankPicture();
  } else {
    FTargetBitmap->FreeImage();
    ImageChanged();
  }
  return true;
}

bool TPixoranProc::CutSelection(bool AlsoRaw, bool Remove, bool ClearAlpha, bool ClearOnly) {
  int32_t x1, y1, x2, y2, pointCount;
  const TPoint* points;
  TPXMask* mask;
  if (!PrepareBitmap(TPXPixelFormatSet{}, false) || !GetSelectionBox(x1, y1, x2, y2, points, pointCount, mask))
    return false;
  if (FAttachedPixoran->ShowsAlphaChannel()) FTargetBitmap->GetAlphaChannel();
  const TColor background = Background();
  const bool result = ClearOnly || PutBitmapOnClipboard(FTargetBitmap, true, AlsoRaw, x1, y1, x2, y2, points,
                                                        pointCount, mask, background, GetImageDpiX(), GetImageDpiY());
  if (!result || !Remove) return result;
  if (FAutoUndo)
    StoreUndoState(ClearOnly ? "Delete Selection" : "Cut Selection", pxuImage, true, ClearOnly ? 131 : 87);
  const bool alpha = ClearAlpha && FTargetBitmap->HasAlphaChannel();
  if (!mask || mask->IsEmpty()) {
    FTargetBitmap->FillRect(x1, y1, x2 - 1, y2 - 1, static_cast<double>(background));
    if (alpha) {
      FTargetBitmap->GetAlphaChannel()->FillRect(x1, y1, x2 - 1, y2 - 1, 0);
      FTargetBitmap->GetAlphaChannel()->UpdateFull();
    }
  } else {
    FillMaskedWithColor(FTargetBitmap, mask, static_cast<double>(background));
    if (alpha) {
      FillMaskedWithColor(FTargetBitmap->GetAlphaChannel(), mask, 0);
      FTargetBitmap->GetAlphaChannel()->UpdateFull();
    }
  }
  ImageChanged();
  return true;
}

bool TPixoranProc::CutLayers(bool Remove, bool ClearOnly) {
  if (!HasCopySource(3)) return false;
  bool result = true;
  if (!ClearOnly) {
    TClipboardSession session;
    result = session.Open();
    if (result) {
      EmptyClipboard();
      TMemoryStream stream;
      FAttachedPixoran->LayersSaveToStream(&stream, -2, true, false, false, false, TPXProgressEvent());
      Publish(PixoranLayerClipboardFormat(),
              NewBlock(stream.Size(), [&](void* p) { std::memcpy(p, stream.Memory(), static_cast<size_t>(stream.Size())); }));
      TPXBitmap current;
      if (FAttachedPixoran->RenderCurrentLayer(&current))
        PutBitmapOnClipboard(&current, false, true, 0, 0, 0, 0, nullptr, 0, nullptr, 0, GetImageDpiX(),
                             GetImageDpiY());
    }
  }
  if (!result || !Remove) return result;
  if (FAutoUndo && FAttachedPixoran->AutoUndoChangesByUser() && !ClearOnly)
    StoreUndoState("Cut", pxuObjectsAndLayers, true, 112);
  FAttachedPixoran->RemoveSelectedLayers(ClearOnly, true, FAttachedPixoran->SwapBackgroundProps());
  ImageChanged();
  return true;
}

bool TPixoranProc::PasteImage() {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return false;
  TClipboardSession session;
  if (!session.Open()) return false;
  TPXBitmap picture;
  // The resolution a DIB carries replaces the picture's; a DIB without one keeps it.
  TIOParams* params = FTargetBitmap->GetParams();
  if (params) {
    picture.SetHasParams(true);
    picture.GetParams()->SetDpiX(params->DpiX);
    picture.GetParams()->SetDpiY(params->DpiY);
  }
  const TClipPicture kind = DecodeClipboardPicture(&picture, true);
  if (kind == TClipPicture::None) return false;
  if (FAutoUndo) StoreUndoState("Paste", pxuImage, true, 71);
  FTargetBitmap->AssignFrom(&picture, false);
  if (kind == TClipPicture::Dib) FTargetBitmap->RemoveAlphaChannel(false, 0);
  if (params && kind == TClipPicture::Dib) {
    params->SetDpiX(picture.GetParams()->DpiX);
    params->SetDpiY(picture.GetParams()->DpiY);
  }
  ImageChanged();
  return true;
}

bool TPixoranProc::PasteToSelection(bool MaskWithAlpha, bool FitKeepAspect, bool Enlarge) {
  int32_t x1, y1, x2, y2, pointCount;
  const TPoint* points;
  TPXMask* mask;
  if (!PrepareBitmap(TPXPixelFormatSet{}, true) || !GetSelectionBox(x1, y1, x2, y2, points, pointCount, mask))
    return false;
  TClipboardSession session;
  if (!session.Open()) return false;
  TPXBitmap picture;
  const TClipPicture kind = DecodeClipboardPicture(&picture, false);
  if (kind == TClipPicture::None) return false;
  if (x2 <= x1 || y2 <= y1) return false;
  if (FAutoUndo) StoreUndoState("Paste", pxuImage, true, FitKeepAspect && !Enlarge ? 88 : 89);

  if (FitKeepAspect) {
    int32_t w = 0, h = 0;
    CalcFitSize(picture.Width(), picture.Height(), x2 - x1, y2 - y1, false, Enlarge, w, h);
    x2 = x1 + std::max(w, 1);
    y2 = y1 + std::max(h, 1);
  }
  TPXBitmap work;
  if (!work.Allocate(x2 - x1, y2 - y1, picture.PixelFormat())) return false;
  StretchNearest(&picture, &work, this, TPXProgressEvent());
  const bool hasMask = mask && !mask->IsEmpty();
  if (kind == TClipPicture::Raw && picture.HasAlphaChannel()) {
    auto alpha = std::make_unique<TPXBitmap>();
    if (alpha->Allocate(work.Width(), work.Height(), px8g)) {
      StretchNearest(picture.GetAlphaChannel(), alpha.get(), this, TPXProgressEvent());
      // The box stays until the merge, which places the work bitmap at its origin.
      if (MaskWithAlpha && hasMask) mask->IntersectWithAlpha(alpha.get(), mask->FX1, mask->FY1, false);
      work.ReplaceAlphaChannel(std::move(alpha));
    }
  }
  if (work.PixelFormat() != FTargetBitmap->PixelFormat()) work.ChangePixelFormat(FTargetBitmap->PixelFormat());
  if (hasMask) {
    work.MergeThroughMask(FTargetBitmap, mask);
    mask->UpdateBounds();
  } else {
    work.CopyRectTo(FTargetBitmap, 0, 0, x1, y1, work.Width(), work.Height(), work.HasAlphaChannel());
  }
  ImageChanged();
  return true;
}

int32_t TPixoranProc::PasteLayers() {
  if (!HostIsLayerView()) return -1;
  {
    TClipboardSession session;
    if (!session.Open()) return -1;
    if (HGLOBAL data = GetClipboardData(PixoranLayerClipboardFormat())) {
      TLockedBlock block(data);
      if (!block.Data()) return -1;
      TMemoryStream stream;
      stream.WriteBuffer(block.Data(), static_cast<int64_t>(block.Size()));
      stream.SetPosition(0);
      IPXProcessingHost* host = FAttachedPixoran;
      host->LockViewUpdate();
      struct TUnlock {
        IPXProcessingHost* Host;
        ~TUnlock() { Host->UnlockViewUpdate(); }
      } unlock{host};
      // The state before the paste is taken now and stored only when the layers loaded.
      std::unique_ptr<TObject> before;
      int32_t layerIndex = -1;
      if (FAutoUndo && host->AutoUndoChangesByUser() && FUndoLimit > 0)
        before = CaptureState(pxuObjectsAndLayers, layerIndex, nullptr);
      if (!host->LayersLoadFromStream(&stream, true, TPXProgressEvent())) return -1;
      CommitUndoState(std::move(before), layerIndex, "Paste", pxuObjectsAndLayers, 113);
      return host->LayersCurrent();
    }
  }
  if (!CanPaste(1, true)) return -1;
  const int32_t previous = FAttachedPixoran->LayersCurrent();
  const int32_t index = FAttachedPixoran->AppendImageLayer();
  if (index < 0) return -1;
  if (!PasteImage()) {
    // The layer goes again and the layer that was current is current again.
    FAttachedPixoran->RemoveLayer(index);
    FAttachedPixoran->SetLayersCurrent(previous);
    return -1;
  }
  return index;
}

bool TPixoranProc::ClipboardCut(uint8_t Source, TPXClearAlpha ClearAlpha, TPXClearOnly ClearOnly) {
  switch (Source) {
    case 0:
      if (HasCopySource(2)) return CutSelection(true, true, ClearAlpha.Value, ClearOnly.Value);
      if (HasCopySource(3)) return CutLayers(true, ClearOnly.Value);
      return false;
    case 1:
      return CutImage(true, true, ClearOnly.Value);
    case 2:
      return CutSelection(true, true, ClearAlpha.Value, ClearOnly.Value);
    case 3:
      return CutLayers(true, ClearOnly.Value);
    default:
      return false;
  }
}

bool TPixoranProc::ClipboardCopy(uint8_t Source) {
  switch (Source) {
    case 0:
      if (HasCopySource(2)) return CutSelection(true, false, false, false);
      if (HasCopySource(3)) return CutLayers(false, false);
      return CutImage(true, false, false);
    case 1:
      return CutImage(true, false, false);
    case 2:
      return CutSelection(true, false, false, false);
    case 3:
      return CutLayers(false, false);
    default:
      return false;
  }
}

bool TPixoranProc::ClipboardPaste(uint8_t Target, bool MaskWithAlpha, bool FitKeepAspect, bool Enlarge) {
  switch (Target) {
    case 0:
      if (CanPaste(3, false)) return PasteLayers() >= 0;
      if (CanPaste(2, true)) return PasteToSelection(MaskWithAlpha, FitKeepAspect, Enlarge);
      return PasteImage();
    case 1:
      return PasteImage();
    case 2:
      return PasteToSelection(MaskWithAlpha, FitKeepAspect, Enlarge);
    case 3:
      return PasteLayers() >= 0;
    default:
      return false;
  }
}
