// Small routines of the processing engine that other parts of the library call directly: the
// average colour and hue spread of a rectangle (magic wand, chroma-key guess), the 3 x 3
// convolution of grey pictures (inner shadow), the reordering of colour channels (DICOM reader)
// and the comparison of two bitmaps (vector view).
//
// Rectangles are X1, Y1 inclusive and X2, Y2 exclusive; X2 and Y2 are limited to the bitmap's
// width and height, X1 and Y1 raised to 0.
#pragma once

#include <cstdint>
#include <string>

#include "core/hypxdefs.h"
#include "proc/pixoranproc.h"  // TPXConvolutionKernel

class TPXBitmap;
class TPXMask;

// px24RGB only (otherwise Color is not written): the mean colour of the pixels of the rectangle,
// each channel truncated. With a non-empty Mask only pixels whose mask pixel at (x + box left,
// y + box top) is set count (Bitmap being the copy of the mask's box). Black when none counts.
void AverageColorInRect(TPXBitmap* Bitmap, TPXMask* Mask, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                        TRGB& Color);

// The average colour of a grid of about SampleCount samples (at least 5 and at most the span
// per axis) over the rectangle and the spread of their hues (largest minus smallest, 0..359).
// Samples count where the mask selects (see AverageColorInRect), or without a mask inside the
// inscribed ellipse when Elliptical. A span below 1 writes nothing; a grid of fewer than two
// columns or rows gives the pixel at (X1, Y1) and leaves HueRange alone; no counted sample
// gives AverageColorInRect and HueRange 0.
void SampleAverageColor(TPXBitmap* Bitmap, TPXMask* Mask, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                        int32_t& HueRange, int32_t SampleCount, bool Elliptical, TRGB& Color);

// px8g only: each pixel of the rectangle becomes |sum of weight x neighbour| div divisor
// (divisor 0 taken as 1), kept within 0..255; neighbours outside the bitmap repeat the edge.
// Pixels outside the rectangle and the alpha channel do not change.
void Convolve3x3Gray(TPXBitmap* Bitmap, const TPXConvolutionKernel& Kernel, int32_t X1, int32_t Y1, int32_t X2,
                     int32_t Y2);

// px24RGB and pxRGB48: Order's first three letters (any case) name, for the stored blue, green
// and red channels in this order, the channel each takes: 'B', 'G', 'R' or '0' (zero). "BGR"
// keeps the picture, "RGB" exchanges red and blue. A shorter text, another letter or another
// format leaves the picture unchanged. Progress after each row.
void ReorderChannels(TPXBitmap* Bitmap, const std::string& Order, TObject* Sender, const TPXProgressEvent& OnProgress);

// Same width, height, pixel format and presence of an alpha channel, and the same pixels (the
// bytes each row's pixels use) and alpha values.
bool BitmapsEqual(TPXBitmap* A, TPXBitmap* B);
