// TPXBitmap: rectangle copies into another bitmap and the import of platform bitmaps.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_clip.h"
#include "proc/pixoranproc_bits.h"

void TPXBitmap::CopyRectTo(TPXBitmap* Dest, int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t Width,
                           int32_t Height, bool CopyAlpha) {
  CopyRectToEx(Dest, SrcX, SrcY, DestX, DestY, Width, Height, CopyAlpha, false);
}

void TPXBitmap::CopyRectToEx(TPXBitmap* Dest, int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY,
                             int32_t Width, int32_t Height, bool CopyAlpha, bool Elliptical) {
  if (!Dest) return;
  if (CopyAlpha) {
    TPXBitmap* srcAlpha = PeekAlphaChannel();
    TPXBitmap* destAlpha = srcAlpha ? Dest->GetAlphaChannel() : nullptr;
    if (srcAlpha && destAlpha) {
      srcAlpha->CopyRectToEx(destAlpha, SrcX, SrcY, DestX, DestY, Width, Height, false, Elliptical);
      destAlpha->FFull = destAlpha->FFull && srcAlpha->FFull;
    }
  }

  // Clip against both bitmaps. A negative origin on either side moves both origins and shrinks
  // the size, so the pixels keep their places; nothing is written outside either bitmap.
  const int32_t sw = GetWidth(), sh = GetHeight();
  const int32_t dw = Dest->Width(), dh = Dest->Height();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || IsEmpty() || Dest->IsEmpty()) return;
  ClipCopySpan(SrcX, DestX, Width, sw, dw);
  ClipCopySpan(SrcY, DestY, Height, sh, dh);
  if (Width <= 0 || Height <= 0) return;

  const TPXPixelFormat sf = PixelFormat(), df = Dest->PixelFormat();
  // Within one bitmap, a copy downwards goes from the last row up so no row is read after
  // being overwritten.
  const bool downward = Dest == this && DestY > SrcY;
  if (FOnVirtualPixel && sf == px24RGB && df == px24RGB) {  // the callback writes 24-bit pixels
    for (int32_t i = 0; i < Height; ++i) {
      uint8_t* d = Dest->Scanline(DestY + i) + static_cast<int64_t>(DestX) * 3;
      for (int32_t x = 0; x < Width; ++x, d += 3) FOnVirtualPixel(this, SrcX + x, SrcY + i, d);
    }
  } else if (sf == px1g && df == px1g) {
    const int32_t limit = static_cast<int32_t>(std::min<int64_t>(RowLen(), INT32_MAX));
    for (int32_t n = 0; n < Height; ++n) {
      const int32_t i = downward ? Height - 1 - n : n;
      CopyBits(Dest->Scanline(DestY + i), Scanline(SrcY + i), DestX, SrcX, Width, limit);
    }
  } else if (sf == px1g && df == px24RGB) {
    for (int32_t i = 0; i < Height; ++i) {
      const uint8_t* s = Scanline(SrcY + i);
      uint8_t* d = Dest->Scanline(DestY + i) + static_cast<int64_t>(DestX) * 3;
      for (int32_t x = 0; x < Width; ++x, d += 3) d[0] = d[1] = d[2] = GetPixelBit(s, SrcX + x) ? 255 : 0;
    }
  } else if (sf == df && sf != pxNoFormat) {
    const int64_t bpp = BitCount() / 8;
    for (int32_t n = 0; n < Height; ++n) {
      const int32_t i = downward ? Height - 1 - n : n;
      int32_t start = 0, count = Width;
      if (Elliptical) {
        count = EllipseRowHalfWidth(Width, Height, i);
        start = (Width - count) / 2;
        if (count <= 0) continue;
      }
      const auto* s = static_cast<const uint8_t*>(GetPixelAddress(SrcY + i, SrcX + start, count));
      auto* d = static_cast<uint8_t*>(Dest->GetPixelAddress(DestY + i, DestX + start, count));
      if (s && d) std::memmove(d, s, static_cast<size_t>(count * bpp));
    }
  }
  Dest->DoChange();
}

namespace {

// Whether a 1-bit platform bitmap's colour table is plain black and white.
bool IsMonochromeTable(TBitmap* Bitmap) {
  const std::vector<TRGBQuad> t = Bitmap->ColorTable();
  if (t.size() < 2) return true;
  return t[0].rgbRed == 0 && t[0].rgbGreen == 0 && t[0].rgbBlue == 0 && t[1].rgbRed == 255 &&
         t[1].rgbGreen == 255 && t[1].rgbBlue == 255;
}

}  // namespace

void TPXBitmap::CopyFromTBitmap(TBitmap* Bitmap) {
  if (!Bitmap) {
    DoChange();
    return;
  }
  const TPixelFormat pf = Bitmap->PixelFormat();
  if (pf == pfCustom) {
    DoChange();
    return;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();

  if (FLocation == pxTBitmap) {
    if (!FVclBitmap) {
      FOwnedVclBitmap = std::make_unique<TBitmap>();
      FVclBitmap = FOwnedVclBitmap.get();
      FExternalTBitmap = 0;
    }
    // Other depths are brought to 24 bits in a copy; the caller's bitmap stays as it is.
    std::unique_ptr<TBitmap> copy;
    TBitmap* src = Bitmap;
    if (pf != pf1bit && pf != pf24bit && pf != pf32bit) {
      copy = CloneTBitmap(Bitmap);
      copy->SetPixelFormat(pf24bit);
      src = copy.get();
    }
    if (src != FVclBitmap) CopyTBitmapPixels(src, FVclBitmap);
    FWidth = FVclBitmap->Width();
    FHeight = FVclBitmap->Height();
    const TPixelFormat own = FVclBitmap->PixelFormat();
    FPixelFormat = own == pf1bit ? px1g : (own == pf32bit ? px32RGB : px24RGB);
    FBitCount = PixelFormatBits(FPixelFormat);
    FChannelCount = PixelFormatChannels(FPixelFormat);
    FRowLen = RowByteLength(FWidth, FBitCount, FRowAlignment);
    FPXCanvas.reset();
    BuildRowPointers();
    FFull = 0;
    DoChange();
    return;
  }

  if (pf == pfDevice) {
    auto copy = CloneTBitmap(Bitmap);
    copy->SetPixelFormat(pf24bit);
    CopyFromTBitmap(copy.get());
    return;
  }

  TPXPixelFormat target = px24RGB;
  bool mono = false;
  switch (pf) {
    case pf1bit:
      mono = IsMonochromeTable(Bitmap);
      target = mono ? px1g : px8p;
      break;
    case pf4bit:
    case pf8bit: target = px8p; break;
    case pf32bit: target = px32RGB; break;
    default: target = px24RGB; break;
  }
  if (!Allocate(w, h, target)) {
    DoChange();
    return;
  }
  if (pf == pf1bit && !mono) LoadPaletteFromTBitmap(Bitmap, 2);
  if (pf == pf4bit) LoadPaletteFromTBitmap(Bitmap, 16);
  if (pf == pf8bit) LoadPaletteFromTBitmap(Bitmap, 256);

  const int64_t srcLen = GraphicRowByteLength(w, pf);
  const int64_t n = std::min(FRowLen, srcLen);
  for (int32_t y = 0; y < h; ++y) {
    const auto* s = static_cast<const uint8_t*>(Bitmap->ScanLine(y));
    uint8_t* d = Scanline(y);
    switch (pf) {
      case pf1bit:
        if (mono) std::memcpy(d, s, static_cast<size_t>(n));
        else
          for (int32_t x = 0; x < w; ++x) d[x] = GetPixelBit(s, x) ? 1 : 0;
        break;
      case pf4bit:
        for (int32_t x = 0; x < w; ++x) d[x] = (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4);
        break;
      case pf15bit:
      case pf16bit:
        for (int32_t x = 0; x < w; ++x) {
          const uint16_t v = static_cast<uint16_t>(s[2 * x] | (s[2 * x + 1] << 8));
          uint8_t* p = d + 3 * static_cast<int64_t>(x);
          if (pf == pf15bit) {
            p[2] = static_cast<uint8_t>(((v >> 10) & 31) << 3);
            p[1] = static_cast<uint8_t>(((v >> 5) & 31) << 3);
          } else {
            p[2] = static_cast<uint8_t>((v >> 11) << 3);
            p[1] = static_cast<uint8_t>(((v >> 5) & 63) << 2);
          }
          p[0] = static_cast<uint8_t>((v & 31) << 3);
        }
        break;
      default:
        std::memcpy(d, s, static_cast<size_t>(n));
        break;
    }
  }
  FFull = 0;
  DoChange();
}
