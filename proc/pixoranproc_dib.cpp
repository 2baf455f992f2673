// Packed DIBs from bitmaps, and their gamma curve.
#include "proc/pixoranproc_dib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "core/hypxutils.h"
#include "core/hypxutils_text.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_bits.h"

HGLOBAL _CopyBitmaptoDIBEx(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DpiX,
                           int32_t DpiY) {
  AppendDebugLog("_CopyBitmaptoDIBEx: begin");
  if (!Bitmap || Bitmap->IsEmpty()) return nullptr;
  const TPXPixelFormat format = Bitmap->PixelFormat();
  if (X2 == 0) X2 = Bitmap->Width();
  if (Y2 == 0) Y2 = Bitmap->Height();
  if (X1 < 0 || Y1 < 0 || X2 > Bitmap->Width() || Y2 > Bitmap->Height() || X1 >= X2 || Y1 >= Y2) return nullptr;
  if (format != px1g && format != px8p && format != px8g && format != px24RGB) {
    AppendDebugLog("_CopyBitmaptoDIBEx: not supported pixel format, converting to 24bit and recurse");
    // Only the rectangle is converted, so strips of a large picture stay cheap.
    auto copy = TPXBitmap::CreateCrop(Bitmap, TRect(X1, Y1, X2 - 1, Y2 - 1));
    if (!copy || copy->IsEmpty()) return nullptr;
    copy->ChangePixelFormat(px24RGB);
    if (copy->PixelFormat() != px24RGB) return nullptr;
    return _CopyBitmaptoDIBEx(copy.get(), 0, 0, 0, 0, DpiX, DpiY);
  }
  const int32_t width = X2 - X1, height = Y2 - Y1;
  const int32_t bits = format == px1g ? 1 : format == px24RGB ? 24 : 8;
  const int64_t table = bits == 1 ? 8 : bits == 8 ? 1024 : 0;
  const int64_t rowLen = RowByteLength(width, bits, 32);
  const int64_t size = 44 + table + rowLen * height;
  AppendDebugLog("_CopyBitmaptoDIBEx: allocate " + std::to_string(size) + " bytes");
  // Byte rows are written whole (pixels, then their padding zeroed), so only the header, the
  // table and 1-bit rows need the block cleared first.
  const UINT zero = bits == 1 ? static_cast<UINT>(GMEM_ZEROINIT) : 0u;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | zero, static_cast<size_t>(size));
  if (!block) return nullptr;
  auto* p = static_cast<uint8_t*>(GlobalLock(block));
  if (!p) {
    GlobalFree(block);
    return nullptr;
  }
  std::memset(p, 0, static_cast<size_t>(44 + table));
  BITMAPINFOHEADER h;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bits);
  h.biXPelsPerMeter = static_cast<LONG>(std::trunc(DpiX * 39.3700787));
  h.biYPelsPerMeter = static_cast<LONG>(std::trunc(DpiY * 39.3700787));
  std::memcpy(p, &h, sizeof(h));
  uint8_t* t = p + 40;
  if (bits == 1) {
    AppendDebugLog("_CopyBitmaptoDIBEx: px1g");
    std::memset(t + 4, 255, 4);
  } else if (bits == 8) {
    AppendDebugLog("_CopyBitmaptoDIBEx: px8g or px8p");
    if (format == px8g) {
      for (int32_t i = 0; i < 256; ++i) t[i * 4] = t[i * 4 + 1] = t[i * 4 + 2] = static_cast<uint8_t>(i);
    } else {
      const TRGB* pal = Bitmap->GetPalette();
      const int32_t n = pal ? std::min(Bitmap->GetPaletteLength(), 256) : 0;
      for (int32_t i = 0; i < n; ++i) {
        t[i * 4] = pal[i].b;
        t[i * 4 + 1] = pal[i].g;
        t[i * 4 + 2] = pal[i].r;
      }
    }
  } else {
    AppendDebugLog("_CopyBitmaptoDIBEx: px24RGB");
  }
  uint8_t* row = t + table;
  const int32_t srcRowLen = static_cast<int32_t>(Bitmap->RowLen());
  for (int32_t y = Y2 - 1; y >= Y1; --y, row += rowLen) {
    const uint8_t* s = Bitmap->Scanline(y);
    if (bits == 1) {
      if (s) CopyBits(row, s, 0, X1, width, srcRowLen);
      continue;
    }
    const size_t used = s ? static_cast<size_t>(width) * (bits / 8) : 0;
    if (s) std::memcpy(row, s + static_cast<int64_t>(X1) * (bits / 8), used);
    std::memset(row + used, 0, static_cast<size_t>(rowLen) - used);
  }
  GlobalUnlock(block);
  return block;
}

void ApplyGammaToDIB(HGLOBAL DIB, double Gamma) {
  if (!DIB || !(Gamma > 0)) return;
  const size_t size = GlobalSize(DIB);
  auto* p = static_cast<uint8_t*>(GlobalLock(DIB));
  if (!p) return;
  BITMAPINFOHEADER h;
  if (size >= sizeof(h)) {
    std::memcpy(&h, p, sizeof(h));
    const int64_t w = h.biWidth, rows = std::abs(int64_t{h.biHeight});
    const int64_t rowLen = RowByteLength(w, 24, 32);
    if (h.biCompression == 0 && h.biBitCount == 24 && h.biSize >= 40 && w > 0 &&
        h.biSize + rowLen * rows <= static_cast<int64_t>(size)) {
      uint8_t table[256];
      for (int32_t i = 0; i < 256; ++i)
        table[i] = static_cast<uint8_t>(std::clamp(std::nearbyint(255 * std::pow(i / 255.0, 1 / Gamma)), 0.0, 255.0));
      for (int64_t y = 0; y < rows; ++y) {
        uint8_t* r = p + h.biSize + y * rowLen;
        for (int64_t i = 0; i < w * 3; ++i) r[i] = table[r[i]];
      }
    }
  }
  GlobalUnlock(DIB);
}
