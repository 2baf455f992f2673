// Geometry routines of the processing engine that the bitmap core calls too: mirroring a bitmap
// in place and the bounding box of its opaque pixels. Further geometry routines of the engine
// (quarter turns, the projective quad mapping) are declared here as well.
#pragma once

#include <cstdint>

#include "platform/rtl/Types.h"

class TPXBitmap;

// Mirror directions of Flip and FlipBitmap; any other value mirrors nothing.
using TPXFlipDirection = uint8_t;
inline constexpr TPXFlipDirection pxfdHorizontal = 0;  // left-right
inline constexpr TPXFlipDirection pxfdVertical = 1;    // top-bottom

// Mirrors Bitmap in place, every pixel format, the alpha channel too.
void FlipBitmap(TPXBitmap* Bitmap, TPXFlipDirection Direction);

// The bounding box (inclusive) of the pixels whose alpha is not 0; the whole picture without an
// alpha channel; Left = width, Right = -1, Top = height, Bottom = -1 when every pixel is
// transparent.
TRect GetOpaqueBounds(TPXBitmap* Bitmap);

// Dest becomes Source turned by a quarter (width and height exchanged): clockwise Dest(x, y) =
// Source(y, H - 1 - x), counter-clockwise Dest(x, y) = Source(W - 1 - y, x). The 24 variants
// move three-byte pixels, the 8 variants one-byte pixels; Source of another depth: nothing.
void RotateQuarterCW24(TPXBitmap* Source, TPXBitmap* Dest);
void RotateQuarterCW8(TPXBitmap* Source, TPXBitmap* Dest);
void RotateQuarterCCW24(TPXBitmap* Source, TPXBitmap* Dest);
void RotateQuarterCCW8(TPXBitmap* Source, TPXBitmap* Dest);

// Draws the px24RGB Source (its alpha channel created opaque when missing) projectively onto the
// quadrilateral (X1, Y1) top-left, (X2, Y2) top-right, (X3, Y3) bottom-right, (X4, Y4)
// bottom-left of the px24RGB Dest, nearest sample. Blend mixes by min(Transparency, source
// alpha) with weights /256; without Blend the colour is copied and Dest's alpha receives the
// alpha. GradientMin and GradientMax both >= 0 fade the alpha along the source height, kept
// within them. Nothing for a degenerate quadrilateral or Transparency 0.
void MapQuadToQuad(TPXBitmap* Source, TPXBitmap* Dest, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3,
                   int32_t Y3, int32_t X4, int32_t Y4, int32_t GradientMin, int32_t GradientMax, bool Blend,
                   int32_t Transparency);
