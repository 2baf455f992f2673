// TPXBitmap: single-pixel access, fills and the palette.
//
// The single-pixel accessors do not check their coordinates (callers stay inside the bitmap);
// debug builds assert them.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <vector>

#include "core/pxcolorspace.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_access.h"
#include "core/pxxBitmaps_pixel.h"
#include "io/pxicc.h"

namespace {

bool IsWhite(const TRGB& c) { return c.r == 255 && c.g == 255 && c.b == 255; }

TRGB48 RGBTo48(const TRGB& c) {
  TRGB48 r;
  PackedRGBToRGB48(static_cast<uint32_t>(c.b | (c.g << 8) | (c.r << 16)), r);
  return r;
}

// Bytes of one pixel of format f for the fill value (n: the truncated value, v: the value).
std::vector<uint8_t> PixelBytes(TPXPixelFormat f, int64_t n, double v) {
  const TRGB rgb = TColorToRGB(static_cast<TColor>(n));
  std::vector<uint8_t> b;
  auto put = [&b](const auto& x) {
    const auto* p = reinterpret_cast<const uint8_t*>(&x);
    b.assign(p, p + sizeof x);
  };
  switch (f) {
    case px8p:
    case px8g: put(static_cast<uint8_t>(n)); break;
    case px16g: put(static_cast<uint16_t>(n)); break;
    case px24RGB: put(rgb); break;
    case px32f: put(static_cast<float>(v)); break;
    case pxCMYK: put(RgbToCmykPixel(rgb)); break;
    case pxRGB48: put(RGBTo48(rgb)); break;
    case pxCIELab: put(RGBToCIELab(rgb)); break;
    case px32RGB: put(TColorToPackedRGB(static_cast<TColor>(n))); break;
    default: break;
  }
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Typed accessors

#define PX_ASSERT_XY(X, Y) assert((X) >= 0 && (Y) >= 0 && (X) < FWidth && (Y) < FHeight)

uint8_t TPXBitmap::GetPixel8(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  if (FOnVirtualPixel) {
    uint8_t v = 0;
    FOnVirtualPixel(this, X, Y, &v);
    return v;
  }
  return *static_cast<const uint8_t*>(GetPixelAddress(Y, X, 1));
}

void TPXBitmap::SetPixel8(int32_t X, int32_t Y, uint8_t Value) {
  PX_ASSERT_XY(X, Y);
  Scanline(Y)[X] = Value;
  if (Value != 255) FFull = 0;
}

uint16_t TPXBitmap::GetPixel16(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return PXLoad<uint16_t>(GetPixelAddress(Y, X, 1));
}

void TPXBitmap::SetPixel16(int32_t X, int32_t Y, uint16_t Value) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 2 * static_cast<int64_t>(X), Value);
  if (Value != 65535) FFull = 0;
}

float TPXBitmap::GetPixel32f(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return PXLoad<float>(GetPixelAddress(Y, X, 1));
}

void TPXBitmap::SetPixel32f(int32_t X, int32_t Y, float Value) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 4 * static_cast<int64_t>(X), Value);
  if (!(Value >= 1.0f)) FFull = 0;
}

TCMYK TPXBitmap::GetPixelCMYK(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return PXLoad<TCMYK>(GetPixelAddress(Y, X, 1));
}

void TPXBitmap::SetPixelCMYK(int32_t X, int32_t Y, const TCMYK& Value) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 4 * static_cast<int64_t>(X), Value);
}

TCIELab TPXBitmap::GetPixelLab(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return PXLoad<TCIELab>(GetPixelAddress(Y, X, 1));
}

void TPXBitmap::SetPixelLab(int32_t X, int32_t Y, const TCIELab& Value) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 3 * static_cast<int64_t>(X), Value);
}

uint32_t TPXBitmap::GetPixel32RGB(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return PXLoad<uint32_t>(GetPixelAddress(Y, X, 1));
}

void TPXBitmap::SetPixel32RGB(int32_t X, int32_t Y, uint32_t Value) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 4 * static_cast<int64_t>(X), Value);
  if ((Value & 0xFFFFFF) != 0xFFFFFF) FFull = 0;
}

TRGB48 TPXBitmap::GetPixel48(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return PXLoad<TRGB48>(Scanline(Y) + 6 * static_cast<int64_t>(X));
}

void TPXBitmap::SetPixel48(int32_t X, int32_t Y, const TRGB48& Value) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 6 * static_cast<int64_t>(X), Value);
  if (Value.r != 65535 || Value.g != 65535 || Value.b != 65535) FFull = 0;
}

void TPXBitmap::SetPixel24(int32_t X, int32_t Y, const TRGB& Color) {
  PX_ASSERT_XY(X, Y);
  PXStore(Scanline(Y) + 3 * static_cast<int64_t>(X), Color);
  if (!IsWhite(Color)) FFull = 0;
}

TRGB* TPXBitmap::GetPixelPtr24(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  return reinterpret_cast<TRGB*>(Scanline(Y) + 3 * static_cast<int64_t>(X));
}

// ---------------------------------------------------------------------------------------------
// Format-independent accessors

TRGB TPXBitmap::GetPixelRGB(int32_t X, int32_t Y) {
  PX_ASSERT_XY(X, Y);
  switch (PixelFormat()) {
    case px1g: {
      const uint8_t v = GetPixelBit(static_cast<const uint8_t*>(GetPixelAddress(Y, X, 1)), X) ? 255 : 0;
      return {v, v, v};
    }
    case px8p: {
      TRGB c;
      GetPaletteColor(GetPixel8(X, Y), c);
      return c;
    }
    case px8g: {
      const uint8_t v = GetPixel8(X, Y);
      return {v, v, v};
    }
    case px16g: {
      const auto v = static_cast<uint8_t>(GetPixel16(X, Y) >> 8);
      return {v, v, v};
    }
    case px24RGB: return PXLoad<TRGB>(GetPixelAddress(Y, X, 1));
    case px32f: {
      const uint8_t v = PXUnitToByte(GetPixel32f(X, Y));
      return {v, v, v};
    }
    case pxCMYK: return CmykToRgbPixel(GetPixelCMYK(X, Y));
    case pxRGB48: {
      const TRGB48 p = GetPixel48(X, Y);
      return {static_cast<uint8_t>(p.b >> 8), static_cast<uint8_t>(p.g >> 8), static_cast<uint8_t>(p.r >> 8)};
    }
    case pxCIELab: return CIELabToRGB(GetPixelLab(X, Y));
    case px32RGB: return PXLoad<TRGB>(GetPixelAddress(Y, X, 1));
    default: return {};
  }
}

void TPXBitmap::SetPixelRGB(int32_t X, int32_t Y, uint32_t Color) {
  PX_ASSERT_XY(X, Y);
  const TRGB c{static_cast<uint8_t>(Color), static_cast<uint8_t>(Color >> 8), static_cast<uint8_t>(Color >> 16)};
  switch (PixelFormat()) {
    case px1g: SetPixelBit(Scanline(Y), X, (c.r | c.g | c.b) != 0); break;
    case px8g: SetPixel8(X, Y, TPXGreyWeights::FromSettings().Grey(c)); break;
    case px16g: SetPixel16(X, Y, static_cast<uint16_t>(TPXGreyWeights::FromSettings().Grey(c) * 257)); break;
    case px24RGB: SetPixel24(X, Y, c); break;
    case px32f: SetPixel32f(X, Y, static_cast<float>(TPXGreyWeights::FromSettings().Grey(c) / 255.0L)); break;
    case pxCMYK: SetPixelCMYK(X, Y, RgbToCmykPixel(c)); break;
    case pxRGB48: SetPixel48(X, Y, RGBTo48(c)); break;
    case pxCIELab: SetPixelLab(X, Y, RGBToCIELab(c)); break;
    case px32RGB: SetPixel32RGB(X, Y, (Color & 0xFFFFFF) | 0xFF000000u); break;
    default: break;  // px8p: a colour has no index here
  }
}

uint8_t TPXBitmap::GetAlpha(int32_t X, int32_t Y) {
  TPXBitmap* a = FIsAlphaChannel ? this : GetAlphaChannel();
  return a ? a->GetPixel8(X, Y) : 255;
}

void TPXBitmap::SetAlpha(int32_t X, int32_t Y, uint8_t Value) {
  TPXBitmap* a = FIsAlphaChannel ? this : GetAlphaChannel();
  if (!a) return;
  a->SetPixel8(X, Y, Value);
  if (Value != 255) FFull = 0;
  DoChange();
}

// ---------------------------------------------------------------------------------------------
// Fills

void TPXBitmap::Fill(double Value) {
  {
    TPXAccessModeScope mode(this, pxamWrite);
    const TPXPixelFormat f = PixelFormat();
    const int64_t n = Trunc(Value);
    const int32_t w = Width(), h = Height();
    const int64_t len = RowLen();
    if (f != pxNoFormat && w > 0 && h > 0 && len > 0) {
      std::vector<uint8_t> row;
      int fillByte = -1;
      if (f == px1g) fillByte = n != 0 ? 255 : 0;
      else if (f == px8p || f == px8g) fillByte = static_cast<uint8_t>(n);
      else {
        // One prepared row (the bytes after the last pixel 0) is copied into every row.
        const std::vector<uint8_t> px = PixelBytes(f, n, Value);
        row.assign(static_cast<size_t>(len), 0);
        for (int32_t x = 0; x < w; ++x) std::memcpy(row.data() + static_cast<size_t>(x) * px.size(), px.data(), px.size());
      }
      for (int32_t y = 0; y < h; ++y) {
        uint8_t* r = Scanline(y);
        if (!r) continue;
        if (fillByte >= 0) std::memset(r, fillByte, static_cast<size_t>(len));
        else std::memcpy(r, row.data(), row.size());
      }
    }
    const TRGB rgb = TColorToRGB(static_cast<TColor>(n));
    switch (f) {
      case px1g: FFull = n != 0; break;
      case px8p:
      case px8g: FFull = n == 255; break;
      case px16g: FFull = n == 65535; break;
      case px32f: FFull = Value == 1.0; break;
      case px24RGB:
      case pxCMYK:
      case pxRGB48:
      case pxCIELab:
      case px32RGB: FFull = IsWhite(rgb); break;
      default: break;
    }
  }
  DoChange();
}

void TPXBitmap::FillRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Value) {
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Width() - 1);
  Y2 = std::min(Y2, Height() - 1);
  if (X1 > X2 || Y1 > Y2) return;
  const TPXPixelFormat f = PixelFormat();
  const int64_t n = Trunc(Value);
  const int32_t count = X2 - X1 + 1;
  if (f == px1g) {
    const bool set = static_cast<uint8_t>(n) != 0;
    for (int32_t y = Y1; y <= Y2; ++y) {
      uint8_t* r = Scanline(y);
      for (int32_t x = X1; x <= X2; ++x) SetPixelBit(r, x, set);
    }
  } else if (f == px8p || f == px8g) {
    for (int32_t y = Y1; y <= Y2; ++y) std::memset(Scanline(y) + X1, static_cast<uint8_t>(n), static_cast<size_t>(count));
    if (FIsAlphaChannel) UpdateFull();
  } else if (f != pxNoFormat) {
    const std::vector<uint8_t> px = PixelBytes(f, n, Value);
    const size_t size = static_cast<size_t>(PixelFormatBits(f) / 8);
    // px32RGB keeps each pixel's fourth byte.
    const size_t copy = f == px32RGB ? 3 : size;
    for (int32_t y = Y1; y <= Y2; ++y) {
      uint8_t* p = Scanline(y) + static_cast<int64_t>(X1) * size;
      for (int32_t x = 0; x < count; ++x, p += size) std::memcpy(p, px.data(), copy);
    }
  }
  DoChange();
}

void TPXBitmap::FillRGBA(uint32_t Value) {
  TPXAccessModeScope mode(this, pxamWrite);
  if (PixelFormat() == px32RGB) {
    const int32_t w = Width();
    for (int32_t y = 0; y < Height(); ++y) {
      uint8_t* r = Scanline(y);
      for (int32_t x = 0; x < w; ++x) PXStore(r + 4 * static_cast<int64_t>(x), Value);
    }
    FFull = (Value & 0xFFFFFF) == 0xFFFFFF;
    DoChange();
  } else {
    Fill(RGBToTColor(static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value)));
  }
  if (TPXBitmap* alpha = GetAlphaChannel()) alpha->Fill(static_cast<uint8_t>(Value >> 24));
}

// ---------------------------------------------------------------------------------------------
// Palette

TRGB* TPXBitmap::GetPalette() { return FPalette.empty() ? nullptr : FPalette.data(); }

void TPXBitmap::GetPaletteColor(int32_t Index, TRGB& Color) {
  if (Index >= 0 && Index < static_cast<int32_t>(FPalette.size())) Color = FPalette[Index];
}

void TPXBitmap::SetPaletteColor(int32_t Index, const TRGB& Color) {
  if (Index < 0 || Index >= static_cast<int32_t>(FPalette.size())) return;
  FPalette[Index] = Color;
  UpdateVclPalette();
  DoChange();
}

int32_t TPXBitmap::GetPaletteLength() { return static_cast<int32_t>(FPalette.size()); }

int32_t TPXBitmap::GetPaletteUsed() { return FPaletteUsed; }

void TPXBitmap::SetPaletteUsed(int32_t Value) { FPaletteUsed = Value; }

void TPXBitmap::LoadPaletteFromTBitmap(TBitmap* Bitmap, int32_t Count) {
  FPalette.resize(256);
  Count = std::clamp(Count, 0, 256);
  if (Bitmap && Count > 0) {
    if (HPALETTE pal = Bitmap->Palette()) {
      std::vector<PALETTEENTRY> entries(static_cast<size_t>(Count));
      const UINT got = GetPaletteEntries(pal, 0, static_cast<UINT>(Count), entries.data());
      for (UINT i = 0; i < got && i < static_cast<UINT>(Count); ++i)
        FPalette[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed};
    }
  }
  DoChange();
}
