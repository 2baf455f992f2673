// Packed device-independent bitmaps in global memory built from a TPXBitmap (printing, the
// clipboard, annotations) and the gamma curve applied to one.
//
// Layout: a 40-byte header, a colour table (2 entries for 1 bit, 256 for 8 bits, none for 24
// bits), then the rows bottom-up, each padded to 32 bits; the block has 4 spare bytes.
#pragma once

#include <cstdint>

#include "platform/forms/Clipbrd.h"

class TPXBitmap;

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
