// Colour routines of the processing engine: grey conversion of a rectangle, reduction to a
// palette (in place or by error diffusion into px8p), two-colour pictures to 1 bit for the
// palette-based writers, and negatives in every pixel format.
//
// Colours passed as one integer are packed red << 16 | green << 8 | blue. Rectangles are
// X1, Y1 inclusive and X2, Y2 exclusive, clamped to the bitmap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "core/hypxdefs.h"

class TPXBitmap;

// px24RGB only: each pixel becomes its grey level (settings weights, div 100) in all channels.
void ConvertRectToGray(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                       const TPXProgressEvent& OnProgress, TObject* Sender);

// px24RGB only: reduces the picture to at most ColorCount colours chosen by the quantizer.
// Palette receives the colours when it holds ColorCount entries (an empty span: not wanted).
void QuantizeToPalette(TPXBitmap* Bitmap, int32_t ColorCount, std::span<TRGB> Palette,
                       const TPXProgressEvent& OnProgress, TObject* Sender);

// Dest becomes a px8p picture of ColorCount (1..256) palette entries: Source quantized and
// Floyd-Steinberg dithered.
void DitherToPalette8(TPXBitmap* Source, TPXBitmap* Dest, int32_t ColorCount);

// The entry nearest to Color by |dR| + |dG| + |dB|; the first entry wins ties; 0 when empty.
int32_t FindNearestPaletteIndex(std::span<const TRGB> Palette, int32_t Color);

// (R·wR + G·wG + B·wB) div 100 with the settings weights.
int32_t ColorToGrayLevel(int32_t Color);

// A px1g copy of a picture of exactly two colours, index 0 the darker one (Color0) and index 1
// the other (Color1); nil for one colour or more than two.
std::unique_ptr<TPXBitmap> ConvertBiColorTo1Bit(TPXBitmap* Bitmap, TRGB& Color0, TRGB& Color1);

// The negative of the rectangle in every pixel format (px8p: the palette; px32RGB keeps its
// fourth byte; pxCMYK and pxCIELab through RGB).
void NegativeRect(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                  const TPXProgressEvent& OnProgress, TObject* Sender);

// Every byte replaced by its complement.
void NegateBytes(void* Buffer, size_t Count);

// Every byte of every row, padding included, complemented (a 1-bit picture swaps black and
// white).
void InvertBitmapBits(TPXBitmap* Bitmap);
