// Copies and assignment of TPXBitmap, the image stack, the format preference, channel offsets
// and the small questions about the pixels.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_range.h"
#include "core/pxxBitmaps_access.h"
#include "core/pxxBitmaps_iohooks.h"
#include "io/pxicc.h"

namespace {

// Copies every row (the shorter of the two row lengths).
void CopyRows(TPXBitmap* Dest, TPXBitmap* Source) {
  const int32_t h = std::min(Dest->GetHeight(), Source->GetHeight());
  const int64_t n = std::min(Dest->GetRowLen(), Source->GetRowLen());
  if (n <= 0) return;
  for (int32_t y = 0; y < h; ++y) {
    void* d = Dest->GetScanline(y);
    const void* s = Source->GetScanline(y);
    if (d && s) std::memcpy(d, s, static_cast<size_t>(n));
  }
}

// Preferred conversions when a format is not allowed, in order.
constexpr TPXPixelFormat kPreferences[PXPixelFormatCount][7] = {
    {},
    {px8g, px16g, px32f, px24RGB},
    {px24RGB, pxCMYK, pxRGB48, pxCIELab},
    {px16g, px32f, px24RGB, pxCMYK, pxRGB48},
    {px32f, px8g, pxRGB48, px24RGB, pxCMYK},
    {pxCMYK, pxCIELab, pxRGB48, px8p, px16g, px8g},
    {px16g, px8g, px24RGB, pxRGB48, pxCIELab},
    {px24RGB, pxRGB48, pxCIELab, px8g},
    {px24RGB, pxCMYK, pxCIELab, px16g},
    {px24RGB, pxCMYK, pxRGB48, px8g},
    {px24RGB, pxCMYK, pxRGB48, px8g},
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Assignment

void TPXBitmap::AssignFromGraphic(TObject* Source) {
  if (!Source) return;
  if (auto* bmp = dynamic_cast<TBitmap*>(Source)) {
    CopyFromTBitmap(bmp);
    return;
  }
  // Icons go through the icon codec, which keeps the alpha of their mask.
  if (auto* icon = dynamic_cast<TIcon*>(Source); icon && BitmapIconHook()) {
    BitmapIconHook()(icon, this);
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    TBitmap tmp;
    tmp.SetPixelFormat(pf24bit);
    tmp.SetSize(graphic->Width(), graphic->Height());
    if (!tmp.Empty()) tmp.Canvas()->Draw(0, 0, graphic);
    CopyFromTBitmap(&tmp);
    return;
  }
  throw EPXException("Unknown source type");
}

void TPXBitmap::AssignFrom(TObject* Source, bool CopyParams) {
  FForceReallocate = 1;
  auto* src = dynamic_cast<TPXBitmap*>(Source);
  if (!src) {
    AssignFromGraphic(Source);
    return;
  }
  if (src == this) return;

  TPixelFormat pf = pf24bit;
  const TPXPixelFormat fmt = src->GetPixelFormat();
  const bool tbitmapFormat = fmt == px1g || fmt == px8p || fmt == px8g || fmt == px24RGB || fmt == px32RGB;
  // A platform bitmap cannot hold the other formats: such a copy goes to memory storage.
  if (FLocation == pxTBitmap && !tbitmapFormat && !src->IsEmpty()) {
    FreeStorage(true);
    FLocation = pxMemory;
  }
  if (FLocation == pxTBitmap) {
    if (src->IsEmpty()) return;
    FWidth = src->GetWidth();
    FHeight = src->GetHeight();
    FPixelFormat = fmt;
    FRowAlignment = src->FRowAlignment;
    FRowOrderReversed = src->FRowOrderReversed;
    FFull = src->FFull;
    if (!FVclBitmap) {
      FOwnedVclBitmap = std::make_unique<TBitmap>();
      FVclBitmap = FOwnedVclBitmap.get();
    }
    pf = fmt == px1g ? pf1bit : (fmt == px8p || fmt == px8g) ? pf8bit : fmt == px32RGB ? pf32bit : pf24bit;
    FVclBitmap->SetSize(1, 1);
    FVclBitmap->SetPixelFormat(pf);
    FVclBitmap->SetSize(FWidth, FHeight);
    if (fmt == px8g) SetGrayPalette(FVclBitmap);
    FBitCount = PixelFormatBits(fmt);
    FChannelCount = PixelFormatChannels(fmt);
    FRowLen = GraphicRowByteLength(FWidth, pf);
    FPXCanvas.reset();
    BuildRowPointers();
  } else if (CanReuseStorageFor(src)) {
    // Storage of the same layout is overwritten in place: no new pages to fault in.
    if (fmt == px8p) FPalette.assign(256, TRGB{});
    FPXCanvas.reset();
    FFull = src->FFull;
  } else {
    FreeStorage(true);
    FWidth = src->GetWidth();
    FHeight = src->GetHeight();
    FPixelFormat = fmt;
    FRowAlignment = src->FRowAlignment;
    FRowOrderReversed = src->FRowOrderReversed;
    if (!AllocatePixels()) {
      // Storage cannot be had: the copy ends with an empty picture.
      FWidth = 0;
      FHeight = 0;
      DoChange();
      return;
    }
    FFull = src->FFull;
  }

  {
    TPXAccessModeScope readOnly(src, pxamRead);
    TPXAccessModeScope writeOnly(this, pxamWrite);
    uint8_t* to = FLocation == pxFile ? FFileBuffer->Data() : nullptr;
    const uint8_t* from = src->FLocation == pxFile && !src->IsVirtual() ? src->FFileBuffer->Data() : nullptr;
    if (to && from && FRowLen == src->FRowLen && FHeight == src->FHeight &&
        FRowOrderReversed == src->FRowOrderReversed) {
      std::memcpy(to, from, static_cast<size_t>(FRowLen * FHeight));
    } else {
      CopyRows(this, src);
    }
  }

  if (!FIsAlphaChannel) {
    TPXBitmap* srcAlpha = src->PeekAlphaChannel();
    if (srcAlpha) {
      if (!FAlphaChannel) {
        FAlphaChannel = std::make_unique<TPXBitmap>();
        FAlphaChannel->FIsAlphaChannel = 1;
        FAlphaChannel->FLocation = FLocation == pxTBitmap ? pxMemory : FLocation;
      }
      FAlphaChannel->AssignFrom(srcAlpha, false);
    } else {
      FAlphaChannel.reset();
    }
  }
  CopyAttributesFrom(src, CopyParams);
  DoChange();
}

bool TPXBitmap::CanReuseStorageFor(TPXBitmap* Source) {
  if (IsVirtual() || Source->IsVirtual() || FExternalMemory || FExternalTBitmap || IsEmpty() || Source->IsEmpty())
    return false;
  const bool ownBlock = FLocation == pxMemory && FMemoryBlock && FMemoryRows && FSegments.empty();
  const bool ownFile = FLocation == pxFile && FFileBuffer && FFileBuffer->Data();
  return (ownBlock || ownFile) && FWidth == Source->GetWidth() && FHeight == Source->GetHeight() &&
         FPixelFormat == Source->GetPixelFormat() && FRowAlignment == Source->FRowAlignment &&
         FRowOrderReversed == Source->FRowOrderReversed && FRowLen == Source->GetRowLen();
}

void TPXBitmap::Assign(TObject* Source) { AssignFrom(Source, true); }

void TPXBitmap::AssignImage(TObject* Source) {
  auto* src = dynamic_cast<TPXBitmap*>(Source);
  if (!src) throw EPXException("Unknown source type");
  if (src == this || src->IsEmpty()) return;
  FreeStorage(false);
  FWidth = src->GetWidth();
  FHeight = src->GetHeight();
  FPixelFormat = src->GetPixelFormat();
  FFull = 0;
  if (!AllocatePixels()) {
    FWidth = 0;
    FHeight = 0;
    DoChange();
    return;
  }
  {
    TPXAccessModeScope readOnly(src, pxamRead);
    TPXAccessModeScope writeOnly(this, pxamWrite);
    CopyRows(this, src);
  }
  src->CopyPaletteTo(this);
  FImageProfile->Assign(src->FImageProfile.get());
  DoChange();
}

void TPXBitmap::CopyPaletteTo(TPXBaseBitmap* Dest) {
  auto* dest = dynamic_cast<TPXBitmap*>(Dest);
  if (!dest || dest == this) return;
  dest->FPalette.clear();
  dest->FPaletteUsed = 256;
  const int32_t n = GetPaletteLength();
  const TRGB* palette = GetPalette();
  if (n > 0 && palette) {
    dest->FPalette.assign(palette, palette + n);
    dest->FPaletteUsed = GetPaletteUsed();
    dest->UpdateVclPalette();
  }
}

void TPXBitmap::CopyAttributesFrom(TPXBitmap* Source, bool CopyParams) {
  if (!Source || Source == this) return;
  // I/O parameters travel only between bitmaps that both carry them.
  if (CopyParams && HasParams() && Source->HasParams() && BitmapParamsHooks().Assign)
    BitmapParamsHooks().Assign(GetParams(), Source->GetParams());
  Source->CopyPaletteTo(this);
  FBWConversion = Source->FBWConversion;
  FDisplayRangeLow = Source->FDisplayRangeLow;
  FDisplayRangeHigh = Source->FDisplayRangeHigh;
  std::copy(std::begin(Source->FChannelOffset), std::end(Source->FChannelOffset), std::begin(FChannelOffset));
  FChannelOffsetEnabled = Source->FChannelOffsetEnabled;
  FContrast = Source->FContrast;
  FImageProfile->Assign(Source->FImageProfile.get());
}

std::unique_ptr<TPXBitmap> TPXBitmap::CreateCrop(TPXBitmap* Source, const TRect& Rect) {
  auto bmp = std::make_unique<TPXBitmap>();
  const int32_t w = Rect.Right - Rect.Left + 1, h = Rect.Bottom - Rect.Top + 1;
  bmp->Allocate(w, h, Source->GetPixelFormat());
  Source->CopyRectTo(bmp.get(), Rect.Left, Rect.Top, 0, 0, w, h, true);
  // The indices mean nothing without their colours.
  Source->CopyPaletteTo(bmp.get());
  bmp->FModified = 0;
  return bmp;
}

std::unique_ptr<TPXBitmap> TPXBitmap::CreateFromTBitmapRect(TBitmap* Bitmap, const TRect& Rect) {
  auto bmp = std::make_unique<TPXBitmap>();
  const int32_t w = Rect.Right - Rect.Left + 1, h = Rect.Bottom - Rect.Top + 1;
  const TPixelFormat pf = Bitmap->PixelFormat();
  const TPXPixelFormat fmt = pf == pf1bit ? px1g : (pf == pf4bit || pf == pf8bit) ? px8p : px24RGB;
  bmp->Allocate(w, h, fmt);
  auto tmp = std::make_unique<TPXBitmap>();
  if (pf == pf1bit || pf == pf8bit || pf == pf24bit) tmp->AttachTBitmap(Bitmap, false);
  else tmp->CopyFromTBitmap(Bitmap);
  // A 32-bit source does not match the target's format: convert a copy, never the caller's
  // bitmap.
  if (tmp->GetPixelFormat() != fmt && !tmp->IsEmpty()) {
    auto conv = std::make_unique<TPXBitmap>();
    conv->Allocate(tmp->GetWidth(), tmp->GetHeight(), fmt);
    conv->ConvertPixelFormat(tmp.get());
    tmp = std::move(conv);
  }
  tmp->CopyRectTo(bmp.get(), Rect.Left, Rect.Top, 0, 0, w, h, false);
  tmp->CopyPaletteTo(bmp.get());
  bmp->FModified = 0;
  return bmp;
}

// ---------------------------------------------------------------------------------------------
// Image stack

void TPXBitmap::PushImage() {
  auto saved = std::make_unique<TPXBitmap>();
  MoveStorageTo(saved.get());
  Assign(saved.get());
  FImageStack.push_back(std::move(saved));
}

void TPXBitmap::PopImage() {
  if (FImageStack.empty()) return;
  std::unique_ptr<TPXBitmap> top = std::move(FImageStack.back());
  FImageStack.pop_back();
  const TNotifyEvent onChange = FOnChange;
  top->MoveStorageTo(this);
  FOnChange = onChange;
  DoChange();
}

// ---------------------------------------------------------------------------------------------
// Pixel format preference

void TPXBitmap::SetPixelFormat(TPXPixelFormat Format) {
  if (Format == GetPixelFormat()) return;
  if (IsVirtual() || IsEmpty()) {
    FPixelFormat = Format;
    return;
  }
  ChangePixelFormat(Format);
}

bool TPXBitmap::EnsurePixelFormat(TPXPixelFormatSet Allowed, bool Convert) {
  const TPXPixelFormat cur = GetPixelFormat();
  if (Allowed.Empty() || Allowed.Contains(cur)) return true;
  if (!Convert) return false;
  const auto row = static_cast<unsigned>(cur);
  if (row < PXPixelFormatCount)
    for (TPXPixelFormat f : kPreferences[row])
      if (f != pxNoFormat && Allowed.Contains(f)) {
        SetPixelFormat(f);
        return true;
      }
  for (int f = static_cast<int>(px32RGB); f >= static_cast<int>(px1g); --f)
    if (Allowed.Contains(static_cast<TPXPixelFormat>(f))) {
      SetPixelFormat(static_cast<TPXPixelFormat>(f));
      return true;
    }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Channel offsets and pixel questions

void TPXBitmap::SetChannelOffset(int32_t Index, int32_t Value) {
  if (Index < 0 || Index > 3) return;
  FChannelOffset[Index] = Value;
  FChannelOffsetEnabled = std::any_of(std::begin(FChannelOffset), std::end(FChannelOffset),
                                      [](int32_t v) { return v != 0; })
                              ? 1
                              : 0;
  DoChange();
}

int32_t TPXBitmap::GetChannelOffset(int32_t Index) const {
  return Index >= 0 && Index <= 3 ? FChannelOffset[Index] : 0;
}

bool TPXBitmap::IsAllZero() {
  const int32_t w = GetWidth(), h = GetHeight();
  const int64_t used = (static_cast<int64_t>(w) * GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < h; ++y) {
    const auto* row = static_cast<const uint8_t*>(GetScanline(y));
    if (!row) continue;
    for (int64_t i = 0; i < used; ++i)
      if (row[i] != 0) return false;
  }
  return true;
}

bool TPXBitmap::IsGrayScale() {
  const TPXPixelFormat fmt = GetPixelFormat();
  const int32_t w = GetWidth(), h = GetHeight();
  switch (fmt) {
    case px8p: {
      const TRGB* p = GetPalette();
      const int32_t n = GetPaletteLength();
      for (int32_t i = 0; i < n; ++i)
        if (p[i].r != p[i].g || p[i].g != p[i].b) return false;
      return true;
    }
    case px24RGB:
    case px32RGB: {
      const int32_t step = fmt == px24RGB ? 3 : 4;
      for (int32_t y = 0; y < h; ++y) {
        const auto* px = static_cast<const uint8_t*>(GetScanline(y));
        for (int32_t x = 0; x < w; ++x, px += step)
          if (px[0] != px[1] || px[1] != px[2]) return false;
      }
      return true;
    }
    case pxRGB48: {
      for (int32_t y = 0; y < h; ++y) {
        const auto* px = static_cast<const TRGB48*>(GetScanline(y));
        for (int32_t x = 0; x < w; ++x)
          if (px[x].r != px[x].g || px[x].g != px[x].b) return false;
      }
      return true;
    }
    default: return true;
  }
}

void NormalizeFloatRange(TPXBitmap* Bitmap) {
  if (!Bitmap || Bitmap->PixelFormat() != px32f) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  float lo = 0, hi = 0;
  bool any = false;
  for (int32_t y = 0; y < h; ++y) {
    const auto* px = static_cast<const float*>(Bitmap->GetScanline(y));
    for (int32_t x = 0; x < w; ++x) {
      const float v = px[x];
      if (std::isnan(v)) continue;
      lo = any ? std::min(lo, v) : v;
      hi = any ? std::max(hi, v) : v;
      any = true;
    }
  }
  if (!any || lo == hi || (lo >= 0 && hi <= 1)) return;
  const double range = static_cast<double>(hi) - lo;
  for (int32_t y = 0; y < h; ++y) {
    auto* px = static_cast<float*>(Bitmap->GetScanline(y));
    for (int32_t x = 0; x < w; ++x) px[x] = static_cast<float>((px[x] - static_cast<double>(lo)) / range);
  }
}

void TPXBitmap::NormalizeFloat() {
  if (GetPixelFormat() == px32f) {
    const int32_t w = GetWidth(), h = GetHeight();
    float lo = 0, hi = 0;
    bool any = false;
    for (int32_t y = 0; y < h; ++y) {
      const auto* px = static_cast<const float*>(GetScanline(y));
      for (int32_t x = 0; x < w; ++x) {
        const float v = px[x];
        if (std::isnan(v)) continue;
        if (!any) {
          lo = hi = v;
          any = true;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    }
    // Only pixels inside the display mask change (all of them without one or with an empty one).
    const TPXMask* mask = FDisplayMask && !FDisplayMask->IsEmpty() ? FDisplayMask.get() : nullptr;
    if (any && lo != hi && !(lo == 0 && hi == 1)) {
      const double range = static_cast<double>(hi) - lo;
      for (int32_t y = 0; y < h; ++y) {
        auto* px = static_cast<float*>(GetScanline(y));
        for (int32_t x = 0; x < w; ++x)
          if (!mask || mask->IsPointInside(x, y)) px[x] = static_cast<float>((px[x] - static_cast<double>(lo)) / range);
      }
    }
  }
  DoChange();
}
