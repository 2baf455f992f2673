// The magic wand's region fill, transparent rounded corners and the matching of colour histograms.
// The component's flood and alpha fills (TPixoranProc::FloodFill, AlphaFill) stand on
// MagicWandFill and live in pixoranproc_fill.cpp as well.
#pragma once

#include <cstdint>
#include <span>

#include "core/hypxdefs.h"

class TPXBitmap;
class TPXMask;

// The colour the wand compares with: the pixel at (X, Y) when SampleSize < 2, else the mean
// (channels truncated) of the pixels inside the ellipse inscribed in the square X - d .. X + d,
// Y - d .. Y + d (inclusive, d = SampleSize div 2), the square clipped to the picture. Pixels are
// read in any format. Black for a point outside the picture.
TRGB MagicWandSeedColor(TPXBitmap* Bitmap, int32_t X, int32_t Y, int32_t SampleSize);

// Sets Mask to MaskValue (same coordinates as the picture) on the pixels 4-connected to (X, Y)
// through pixels whose red, green and blue each differ from the seed colour by at most
// Tolerance; other mask pixels keep their values. Grow adds the 3 x 3 neighbourhood of every
// region pixel, clipped to the picture. Nothing for a point outside the picture, a negative
// Tolerance or no mask. The picture is read only.
void MagicWandFill(TPXBitmap* Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance, TPXMask* Mask,
                   int32_t MaskValue, int32_t SampleSize);

// Sets Mask to MaskValue on every pixel of the picture whose channels each lie within Tolerance
// of the seed colour (see MagicWandSeedColor), connected or not; other mask pixels keep their
// values. Nothing for a point outside the picture, a negative Tolerance or no mask.
void MagicWandGlobal(TPXBitmap* Bitmap, int32_t X, int32_t Y, int32_t Tolerance, TPXMask* Mask, int32_t MaskValue,
                     int32_t SampleSize);

// The outer outline of MagicWandFill's region (Grow widens it by one pixel inside the region's
// box only) as a polygon along pixel edges: a pixel at column x contributes x on its left side
// and x + 1 on its right. The boundary is walked on a quarter-pixel grid, so every corner vertex
// appears twice; holes are not traced. Points is emptied first and stays empty for a point
// outside the picture.
void TraceMagicWand(TPXBitmap* Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance, int32_t SampleSize,
                    TPXArrayOfTPoint& Points);

// Makes the four corners outside curved edges of radii RadiusX, RadiusY transparent (the alpha
// channel is created when missing) and recomputes the alpha channel's opaque flag. Nothing for
// an empty picture or a radius of 0 or below.
void RoundCornersAlpha(TPXBitmap* Bitmap, int32_t RadiusX, int32_t RadiusY);

// Remaps the blue, green and red of Target so that each channel's histogram follows that of the
// same channel of Reference. Nothing unless Reference is a non-empty px24RGB picture and Target
// is not empty; Target formats other than px24RGB and pxRGB48 stay as they are.
void MatchRGBHistogram(TPXBitmap* Reference, TPXBitmap* Target);

// One channel of Bitmap (px24RGB: byte 0 blue, 1 green, 2 red; pxRGB48: word 0 red, 1 green,
// 2 blue) is equalised and then mapped to the level whose cumulative share in TargetHistogram
// (TargetCount values in all) is nearest, the lowest such level on ties; 48-bit values are
// matched on their high byte and written back times 257. Nothing for other formats, another
// channel index, an empty bitmap or a TargetCount of 0 or below.
void MatchHistogramChannel(TPXBitmap* Bitmap, int32_t Channel, std::span<const int32_t, 256> TargetHistogram,
                           int32_t TargetCount);
