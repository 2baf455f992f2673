// Shared inside the graphics objects and the icon code: DIB decoding and encoding, DIB section
// creation, pixel access of bitmap handles. Not for use outside platform/gdi.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Surface.h"
#include "platform/gdi/WinGdi.h"

// A decoded DIB: top-down rows of SurfaceRowBytes(Width, BitCount) bytes in one of the formats a
// TBitmap stores (1, 4, 8 bits with Colors; 16 bits 5-5-5 or 5-6-5; 24; 32 B,G,R,A).
struct TDibImage {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 24;
  bool Is565 = false;  // 16 bits: 5-6-5 (else 5-5-5)
  std::vector<TRGBQuad> Colors;
  std::vector<uint8_t> Bits;
  int32_t RowBytes() const { return SurfaceRowBytes(Width, BitCount); }
  uint8_t* Row(int32_t y) { return Bits.data() + static_cast<size_t>(y) * RowBytes(); }
  const uint8_t* Row(int32_t y) const { return Bits.data() + static_cast<size_t>(y) * RowBytes(); }
  TPixelFormat Format() const;
};

// Most pixels a decoded picture may have (also bounds what compressed data may expand to).
inline constexpr int64_t kMaxDibPixels = int64_t{1} << 28;
// Longest side a decoded picture may have (what a DIB section takes).
inline constexpr int64_t kMaxDibSide = int64_t{1} << 24;

// Decodes a packed DIB (info header, masks, colour table, then the bits at bitsOffset from data,
// or right after the colour table when bitsOffset is 0). For an icon image the header's height is
// twice the picture's and the AND mask follows the bits; it goes to andMask (top-down rows of
// SurfaceRowBytes(Width, 1) bytes, 1 = transparent), made from the alpha channel when a 32-bit
// image has none. consumed receives the bytes used. False for bad or truncated data.
bool DecodePackedDIB(const uint8_t* data, size_t size, size_t bitsOffset, TDibImage* out, bool icon,
                     std::vector<uint8_t>* andMask, size_t* consumed);
// A whole BMP file (file header first).
bool DecodeBMPFile(const uint8_t* data, size_t size, TDibImage* out, size_t* consumed);
// A BMP file of the image: 40-byte header (BI_BITFIELDS for 5-6-5), bottom-up rows.
std::vector<uint8_t> EncodeBMPFile(const TDibImage& img);

// A DIB section of the image's format and size with its colour table (bits copied when the
// image has them). surface receives the DIB section's pixels.
HBITMAP CreateDIBSectionOf(int32_t width, int32_t height, int32_t bitCount, bool is565,
                           std::span<const TRGBQuad> colors, TSurface** surface);
HBITMAP CreateDIBFromImage(const TDibImage& img, TSurface** surface);
// The pixels of any bitmap handle (DIB section or device bitmap); nullptr for a bad handle.
TSurface* BitmapSurface(HBITMAP bm);
bool IsDIBSection(HBITMAP bm);
// A copy of a surface's pixels as an image (top-down rows).
TDibImage ImageFromSurface(const TSurface& s);

// Bits per pixel of a format (pfDevice and pfCustom: 32).
int32_t PixelFormatBits(TPixelFormat f);
// The default colour table of a new 1, 4 or 8-bit bitmap: black and white; the 16 VGA colours;
// the 16 VGA colours, a 6x6x6 cube and 24 greys.
std::vector<TRGBQuad> DefaultColorTable(int32_t bitCount);

// Reading and writing rows as $00BBGGRR colours (alpha separately for 32 bits).
void ReadRowColors(const TSurface& s, int32_t y, uint32_t* colors);
// Nearest colour of a table, remembered per colour.
class TColorMatcher {
 public:
  explicit TColorMatcher(std::span<const TRGBQuad> table) : table_(table.begin(), table.end()) {}
  uint32_t Index(uint32_t color);

 private:
  std::vector<TRGBQuad> table_;
  std::unordered_map<uint32_t, uint32_t> cache_;
};
void WriteRowColors(TSurface& s, int32_t y, const uint32_t* colors, TColorMatcher* matcher);

// Icon internals: ICO data (one image) made from an icon handle; empty for a bad handle.
std::vector<uint8_t> IconToIcoData(HICON icon);

// Integer a * b / c rounded half away from zero, as the platform's MulDiv; -1 when c is 0.
int32_t GraphicsMulDiv(int32_t a, int32_t b, int32_t c);
