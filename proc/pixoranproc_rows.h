// Row routines of the processing engine: one row between bit depths with palette lookup or the
// quantizer (the Targa writer writes its rows through it) and the plain fill of a rectangle.
#pragma once

#include <cstdint>
#include <span>

#include "core/hypxdefs.h"

class TPXBitmap;
class TPXQuantizer;

// Width pixels of Source (SourceBits 1, 4, 8, 24 or 32) into Dest (DestBits 1, 4, 8 or 24):
// packed copies, bits and nibbles to bytes, indexes to Palette colours (an index outside the
// palette gives black), 24-bit pixels to Quantizer indexes (nothing without a quantizer),
// bytes to bits (any non-zero byte sets the bit), 32-bit pixels to their first three bytes.
// 1- and 4-bit destinations are cleared first and packed from the highest bit. Conversions not
// listed write nothing. The result is the destination row's length by DestBits alone: (Width +
// 7) / 8, (Width + 1) / 2, Width, 3 x Width, else 0.
int32_t ReduceRowToPalette(const void* Source, void* Dest, uint16_t SourceBits, uint16_t DestBits, uint16_t Width,
                           std::span<const TRGB> Palette, const TPXQuantizer* Quantizer);

// Paints [X1, X2) x [Y1, Y2) (clamped) with Color, packed red << 16 | green << 8 | blue: px1g
// white when the red byte is not 0, px8g the colour's grey, px24RGB the colour (progress per
// row), any other format through TPXBitmap::FillRect.
void FillWorker(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, uint32_t Color,
                const TPXProgressEvent& OnProgress, TObject* Sender);
