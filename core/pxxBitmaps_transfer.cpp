// TPXBitmap: alpha rectangles combined into another bitmap, imports of DIB sections and masks,
// the export into a mask, the change of storage location and the canvas over the pixels.
#include <algorithm>
#include <cstring>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_clip.h"
#include "core/pxxBitmaps_pixel.h"
#include "io/pxicc.h"

namespace {

// The pixel formats a platform bitmap cannot hold.
const char* NonTBitmapFormatName(TPXPixelFormat Format) {
  switch (Format) {
    case px32f: return "px32f";
    case pxCMYK: return "pxCMYK";
    case pxRGB48: return "pxRGB48";
    case pxCIELab: return "pxCIELab";
    default: return nullptr;
  }
}

// Brings the pixels into a platform bitmap (the first step of GetCanvas and GetVclBitmap).
// A format a platform bitmap cannot hold raises before anything changes.
void MoveToTBitmap(TPXBitmap* Self) {
  if (Self->FLocation != pxMemory && Self->FLocation != pxFile) return;
  if (Self->IsVirtual()) return;
  if (Self->GetPixelFormat() == pxNoFormat) Self->SetPixelFormat(px24RGB);
  if (const char* name = NonTBitmapFormatName(Self->GetPixelFormat()))
    throw EPXException(std::string(name) +
                       " pixel format not allowed when Location=pxTBitmap (Ensure TPixoranView.LegacyBitmap=false "
                       "and TPixoranView.Bitmap is not used).");
  Self->SetLocation(pxTBitmap);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Alpha rectangles

void TPXBitmap::CombineAlphaRectTo(TPXBitmap* Dest, int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY,
                                   int32_t Width, int32_t Height, int32_t Mode, double Factor) {
  if (!Dest) return;
  TPXBitmap* sa = GetAlphaChannel();
  TPXBitmap* da = Dest->GetAlphaChannel();
  if (!sa || !da || sa->PixelFormat() != px8g || da->PixelFormat() != px8g) return;
  ClipCopySpan(SrcX, DestX, Width, sa->Width(), da->Width());
  ClipCopySpan(SrcY, DestY, Height, sa->Height(), da->Height());
  if (Width > 0 && Height > 0 && Mode >= 0 && Mode <= 4) {
    // Factor·s for every s, rounded halves to even (Round saturates; NaN gives 0).
    // Sums use it limited to what can still matter, so they cannot overflow.
    int64_t scaled[256], limited[256];
    for (int32_t s = 0; s < 256; ++s) {
      scaled[s] = Round(static_cast<long double>(Factor) * s);
      limited[s] = std::clamp<int64_t>(scaled[s], -256, 256);
    }
    bool opaque = da->FFull != 0;
    for (int32_t i = 0; i < Height; ++i) {
      const uint8_t* s = sa->Scanline(SrcY + i);
      uint8_t* d = da->Scanline(DestY + i);
      if (!s || !d) continue;
      s += SrcX;
      d += DestX;
      for (int32_t x = 0; x < Width; ++x) {
        const int32_t sv = s[x], dv = d[x];
        int64_t v = dv;
        switch (Mode) {
          case 0: v = std::max(dv, sv); break;
          case 1: v = std::min(dv, sv); break;
          case 2: v = std::clamp<int64_t>(limited[sv] + dv, 0, 255); break;
          case 3: v = std::clamp<int64_t>(dv - limited[sv], 0, 255); break;
          case 4:
            if (sv != 0) v = scaled[sv] & 0xFF;
            break;
        }
        d[x] = static_cast<uint8_t>(v);
        if (v != 255) opaque = false;
      }
    }
    da->FFull = opaque ? 1 : 0;
  }
  Dest->DoChange();
}

// ---------------------------------------------------------------------------------------------
// DIB sections and masks

void TPXBitmap::CopyFromDibbitmap(TPXDibbitmap* Dib) {
  if (!Dib) {
    DoChange();
    return;
  }
  TPXPixelFormat target = pxNoFormat;
  switch (Dib->GetBitCount()) {
    case 1: target = px1g; break;
    case 8: target = px8g; break;
    case 24: target = px24RGB; break;
    default: break;  // other depths are not taken; the picture stays as it was
  }
  const int32_t w = Dib->GetWidth(), h = Dib->GetHeight();
  if (target != pxNoFormat && w > 0 && h > 0 && Allocate(w, h, target)) {
    const int64_t n = std::min(RowLen(), Dib->GetRowLen());
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* d = Scanline(y);
      const auto* s = static_cast<const uint8_t*>(Dib->GetScanline(y));
      if (d && s && n > 0) std::memcpy(d, s, static_cast<size_t>(n));
    }
    FFull = 0;
  }
  DoChange();
}

void TPXBitmap::CopyFromMask(TPXMask* Mask) {
  if (!Mask) {
    Fill(255);
  } else if (Allocate(Mask->Width(), Mask->Height(), Mask->BitsPerPixel() == 8 ? px8g : px1g)) {
    const int64_t n = std::min(RowLen(), Mask->RowLen());
    for (int32_t y = 0; y < Mask->Height(); ++y) {
      uint8_t* d = Scanline(y);
      const uint8_t* s = Mask->GetScanline(y);
      if (d && s && n > 0) std::memcpy(d, s, static_cast<size_t>(n));
    }
    FFull = Mask->FFull;
  }
  if (FIsAlphaChannel) SetPixelFormat(px8g);
  DoChange();
}

void CopyBitmapToMask(TPXBitmap* Bitmap, TPXMask* Mask) {
  if (!Bitmap || !Mask) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (f != px1g && f != px8g && f != px24RGB) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  Mask->AllocateBits(w, h, f == px1g ? 1 : 8);
  if (f == px24RGB) {
    const TPXGreyWeights weights = TPXGreyWeights::FromSettings();
    for (int32_t y = 0; y < h; ++y) {
      const auto* s = static_cast<const uint8_t*>(Bitmap->GetScanline(y));
      uint8_t* d = Mask->GetScanline(y);
      if (!s || !d) continue;
      for (int32_t x = 0; x < w; ++x, s += 3) d[x] = weights.Grey(s[2], s[1], s[0]);
    }
  } else {
    const int64_t n = std::min(Bitmap->RowLen(), Mask->RowLen());
    for (int32_t y = 0; y < h; ++y) {
      const auto* s = static_cast<const uint8_t*>(Bitmap->GetScanline(y));
      uint8_t* d = Mask->GetScanline(y);
      if (s && d && n > 0) std::memcpy(d, s, static_cast<size_t>(n));
    }
    Mask->FFull = Bitmap->FFull;
  }
  // The selection box follows the pixels, so the mask does not read as empty.
  Mask->UpdateBounds();
}

// ---------------------------------------------------------------------------------------------
// Storage location

void TPXBitmap::SetLocation(TPXBitmapLocation NewLocation) {
  if (NewLocation == FLocation || IsVirtual()) return;
  if (FLocation == pxTBitmap) SyncFromTBitmap();
  if (FWidth <= 0 || FHeight <= 0 || FPixelFormat == pxNoFormat) {
    // Nothing to move: the next allocation goes where asked.
    FLocation = NewLocation;
    return;
  }
  // The old storage waits in a temporary bitmap until the new one holds the pixels; the
  // events stay here and fire once at the end.
  const TNotifyEvent onChange = FOnChange;
  const TPXProgressEvent onProgress = FOnProgress;
  const uint8_t modified = FModified;
  FForceReallocate = 1;
  TPXBitmap old;
  MoveStorageTo(&old);
  old.FOnChange = nullptr;
  FOnChange = nullptr;
  FLocation = NewLocation;
  const bool ok = Allocate(old.FWidth, old.FHeight, old.FPixelFormat);

  auto restore = [&] {
    // Takes the old storage back; whatever the allocation made is freed on the way.
    old.MoveStorageTo(this);
    FOnChange = onChange;
    FOnProgress = onProgress;
    FModified = modified;
  };
  if (!ok || FLocation == old.FLocation) {
    restore();
    return;
  }

  const int32_t h = std::min(FHeight, old.FHeight);
  const int32_t w = std::min(FWidth, old.FWidth);
  if (old.FPixelFormat == px16g && FPixelFormat == px8g) {
    // A platform bitmap keeps 16-bit grey as 8 bits: the high byte of each sample.
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* d = Scanline(y);
      const uint8_t* s = old.Scanline(y);
      if (!d || !s) continue;
      for (int32_t x = 0; x < w; ++x) d[x] = s[2 * x + 1];
    }
  } else {
    const int64_t n = std::min(FRowLen, old.FRowLen);
    for (int32_t y = 0; y < h && n > 0; ++y) {
      uint8_t* d = Scanline(y);
      const uint8_t* s = old.Scanline(y);
      if (d && s) std::memcpy(d, s, static_cast<size_t>(n));
    }
  }
  if (!old.FPalette.empty() && FPixelFormat == px8p) {
    FPalette = old.FPalette;
    FPaletteUsed = old.FPaletteUsed;
  }
  FIsAlphaChannel = old.FIsAlphaChannel;
  FAlphaChannel = std::move(old.FAlphaChannel);
  FImageProfile->Assign(old.FImageProfile.get());
  FFull = FPixelFormat == old.FPixelFormat ? old.FFull : 0;
  FOnProgress = onProgress;
  UpdateVclPalette();
  FOnChange = onChange;
  DoChange();
}

// ---------------------------------------------------------------------------------------------
// The canvas over the pixels

TCanvas* TPXBitmap::GetCanvas() {
  MoveToTBitmap(this);
  UpdateCanvasTransform();
  return FVclBitmap ? FVclBitmap->Canvas() : nullptr;
}

TBitmap* TPXBitmap::GetVclBitmap() {
  MoveToTBitmap(this);
  return FLocation == pxTBitmap ? FVclBitmap : nullptr;
}

void TPXBitmap::UpdateCanvasTransform() {
  if (!FVclBitmap) return;
  HDC dc = FVclBitmap->Canvas()->Handle();
  if (FRowOrderReversed == 1) {
    // Row R is stored as row Height-1-R: draw through a vertical flip.
    SetGraphicsMode(dc, GM_ADVANCED);
    XFORM xf;
    xf.eM11 = 1;
    xf.eM12 = 0;
    xf.eM21 = 0;
    xf.eM22 = -1;
    xf.eDx = 0;
    xf.eDy = static_cast<float>(GetHeight() - 1);
    SetWorldTransform(dc, xf);
  } else if (GetGraphicsMode(dc) == GM_ADVANCED) {
    ModifyWorldTransform(dc, nullptr, MWT_IDENTITY);
  }
  DoChange();
}
