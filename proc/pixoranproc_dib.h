// Packed device-independent bitmaps in global memory built from a TPXBitmap (printing, the
// clipboard, annotations) and the gamma curve applied to one.
//
// Layout: a 40-byte header, a colour table (2 entries for 1 bit, 256 for 8 bits, none for 24
// bits), then the rows bottom-up, each padded to 32 bits; the block has 4 spare bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/forms/Clipbrd.h"

class TPXBitmap;
class TPXDibbitmap;

// The rectangle X1..X2-1, Y1..Y2-1 of Bitmap (X2 or Y2 of 0: the width or height) as a packed
// DIB: px1g as 1 bit, px8g and px8p as 8 bits, px24RGB as 24 bits, other formats converted to 24
// bits. DpiX and DpiY go into the header as pixels per metre. nullptr when the rectangle does not
// lie inside the bitmap or the memory cannot be had; the caller frees the block.
HGLOBAL _CopyBitmaptoDIBEx(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DpiX,
                           int32_t DpiY);

// Every byte of an uncompressed 24-bit packed DIB through the gamma curve of Gamma (rounded to
// the nearest, halves to even); other DIBs, blocks too small for their rows and a Gamma of 0 or
// less are left unchanged.
void ApplyGammaToDIB(HGLOBAL DIB, double Gamma);

// --- packed DIBs into bitmaps (pixoranproc_dib_import.cpp) ----------------------------------
// Header is a packed DIB (a BITMAPINFOHEADER of 40 bytes or more, the colour masks or table,
// then the rows): with HeaderIsPointer a pointer to Length bytes, else a global memory handle
// whose own size bounds it (Length is then not used). Bits, when not empty, holds the rows
// instead. Accepted: 1, 4 and 8 bits uncompressed, RLE8 and RLE4, 16 and 32 bits uncompressed or
// with bit fields, 24 bits uncompressed, each bottom-up or top-down (negative height); and the
// video layouts "IYU1", "IYU2", "UYVY", "UYNV", "cyuv", "YUY2", "YUNV", "YVYU", "Y41P",
// "Y211", "CLJR", "YVU9", "YV12", "I420" and "IYUV" by their compression code. Anything whose
// header, table, masks or rows do not fit the block, or that is none of these, is refused.

// Bitmap becomes the picture: px1g for 1-bit DIBs (set bits white: a table starting with white
// flips every bit), px24RGB otherwise. Palette indices past a shorter table read black; 16-bit
// channels are widened by shifting (7FFFh gives 248, 248, 248); the fourth byte of 32-bit pixels
// is dropped; "YUY2" and "YUNV" use the integer BT.601 conversion, the other video layouts the
// floating-point one. Positive pixels-per-metre values set the resolution of the bitmap's I/O
// parameters when it has any (2835 gives 72 dpi). Answers biBitCount; a refused block answers 0
// and leaves Bitmap empty.
int32_t CopyDIBToBitmap(const void* Header, TPXBitmap* Bitmap, std::span<const uint8_t> Bits, bool HeaderIsPointer,
                        size_t Length);

// Dest's DIB section becomes the DIB's size, 1 bit for 1-bit DIBs and 24 bits for every other,
// and receives its pixels as CopyDIBToBitmap converts them. Answers the DIB's bit count; a
// refused block answers 0 and leaves Dest unallocated.
int32_t CopyDIBToDibBitmap(const void* DIB, TPXDibbitmap* Dest, std::span<const uint8_t> Bits, bool DIBIsPointer,
                           size_t Length);
