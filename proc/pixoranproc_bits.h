// Bit-level helpers of the processing engine shared with the bitmap core: the ordered-dither
// matrix, the 1-bit to 24-bit expansion table, bit-run copies between 1-bit rows, and the
// exchange of pixels between platform bitmaps.
//
// Bits are numbered from the most significant bit of each byte: bit position p lies in byte
// p div 8 under the mask $80 shr (p mod 8).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "core/hypxdefs.h"

class TBitmap;
struct TPXProgressRecord;
enum class TPixelFormat : uint8_t;

// The 8 x 8 Bayer index matrix (0..63), indexed [x mod 8][y mod 8] with x the column.
inline constexpr uint8_t DitherMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},   {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

// For each byte value, its 8 pixels (most significant bit first) as 24-bit pixels: three bytes
// 255 for a set bit, 0 for a clear one.
using TBitExpansionTable = std::array<std::array<uint8_t, 24>, 256>;

namespace pxbits_detail {
consteval TBitExpansionTable MakeBitExpansionTable() {
  TBitExpansionTable t{};
  for (int v = 0; v < 256; ++v)
    for (int j = 0; j < 8; ++j) {
      const uint8_t b = (v & (0x80 >> j)) ? 255 : 0;
      t[v][j * 3] = t[v][j * 3 + 1] = t[v][j * 3 + 2] = b;
    }
  return t;
}
}  // namespace pxbits_detail

inline constexpr TBitExpansionTable BitExpansionTable = pxbits_detail::MakeBitExpansionTable();

// Expands Width 1-bit pixels of Source into 24-bit pixels at Dest (3 x Width bytes).
void ExpandBitsTo24(const uint8_t* Source, uint8_t* Dest, int32_t Width);

// Copies BitCount bits from SourceBitOffset of Source to DestBitOffset of Dest; destination bits
// outside the run keep their values. No more than SourceByteLimit bytes are read from Source
// (counted from Source itself); missing bytes read as 0. Nothing for BitCount < 1 or a negative
// offset.
void CopyBits(void* Dest, const void* Source, int32_t DestBitOffset, int32_t SourceBitOffset,
              int32_t BitCount, int32_t SourceByteLimit);

// Bit by bit: destination bit DestBitPos + i := source bit SourceBitPos + i, i < Count.
// Limit is accepted for compatibility and not used.
void CopyBitRun(void* Dest, const void* Source, int32_t DestBitPos, int32_t SourceBitPos, int32_t Count,
                int32_t Limit);

// A new platform bitmap with the size, pixel format, colour table and pixels of Source.
std::unique_ptr<TBitmap> CloneTBitmap(TBitmap* Source);

// Dest takes Source's size and pixel format when they differ, then Source's whole pixel memory.
// An empty Source makes Dest 1 x 1 in Source's pixel format.
void CopyTBitmapPixels(TBitmap* Source, TBitmap* Dest);

// Expands a 1-bit platform bitmap into a 24-bit one (set bits white, clear bits black; the
// source's palette is not consulted), reporting progress per row.
void TBitmapTo24Bit(TBitmap* Src, TBitmap* Dst, TPXProgressRecord& Progress);

// Bits per pixel of a platform bitmap format (pfDevice is 32 bits here, pfCustom 0).
int32_t TBitmapFormatBits(TPixelFormat Format);

// --- red and blue exchange ----------------------------------------------------------------------
// 24-bit pixels are three bytes (blue, green, red or the reverse), 48-bit pixels three 16-bit
// words. A Count of 0 or below touches nothing.

// Copies Count 3-byte pixels from Source to Dest with bytes 0 and 2 of each exchanged; Source is
// not changed (Dest and Source may be the same run).
void CopySwapRB(void* Dest, const void* Source, int32_t Count);
// Exchanges bytes 0 and 2 of each of Count 3-byte pixels in place.
void SwapRB(void* Data, int32_t Count);
// Exchanges words 0 and 2 of each of Count 6-byte pixels in place.
void SwapRB48(void* Data, int32_t Count);
// Exchanges the first and third byte of the first Count entries (at most the palette's length).
void SwapPaletteRB(std::span<TRGB> Palette, int32_t Count);
