// The integer Gaussian blur of 8-bit grey and 24-bit pictures and of rectangles of grey ones,
// and the soft shadow that layers, the thumbnail view and vector objects draw behind a shape:
// its alpha channel blurred, offset, coloured and recombined with the shape.
//
// The blur is separable (rows, then columns) with integer weights that sum to about 65536 and
// one rounding per sample; samples past a run's ends repeat the end sample. Large pictures are
// split into bands on the library's thread pool.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/hypxdefs.h"

class TPXBitmap;

// Integer Gaussian weights for a standard deviation: Weight(k) = rint(g(k) x 65536 / sum g) with
// g(k) = exp(-(k / S)^2 / 2) for k = -100 .. 100; Radius is the largest offset (at least 1)
// whose weight is not 0 on either side. Radius 0 and no weights for S <= 0 or not finite.
struct TPXGaussKernel {
  int32_t Radius = 0;
  std::vector<int32_t> Weights;  // Weights[k + Radius], k = -Radius .. Radius
  int32_t Weight(int32_t K) const { return Weights[static_cast<size_t>(K + Radius)]; }
};
TPXGaussKernel GaussKernel(double StandardDeviation);

// Blurs a px8g or px24RGB bitmap with standard deviation Radius (other formats, Radius <= 0 and
// virtual bitmaps: nothing). Progress runs through the rows, then through the columns.
void GaussianBlurBitmap(TPXBitmap* Bitmap, TObject* Sender, double Radius, const TPXProgressEvent& OnProgress);

// px8g only: blurs the inclusive rectangle (clamped into the bitmap), each run repeating the
// rectangle's own end samples; nothing else changes. Radius <= 0: nothing.
void GaussianBlurGray8Rect(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Radius);

// The room a shadow needs around a shape: max(2 x max(|OffsetX|, |OffsetY|) + trunc(Radius x 5), 1).
int32_t CalcShadowMargin(int32_t OffsetX, int32_t OffsetY, double Radius);

// Turns the alpha channel (created when missing) into a soft shadow behind the shape: the alpha
// is blurred with standard deviation Radius, moved by the offsets and recombined with the shape
// (the original alpha, values below MinAlpha taken as 0). px24RGB: transparent shape pixels take
// Color (red << 16 | green << 8 | blue) with the shadow's alpha divided by 3 - 2 x Intensity / 100,
// partly transparent ones are mixed with it, opaque ones keep colour and alpha. px1g: shadow pixels
// turn black. Other formats keep their pixels; the alpha channel holds the shadow. Enlarge first
// grows the picture by CalcShadowMargin in both directions, content centred. Works on Bitmap alone
// and keeps no state, so callers may run it on a private copy.
void ApplySoftShadow(TPXBitmap* Bitmap, int32_t OffsetX, int32_t OffsetY, double Radius, int32_t Intensity,
                     bool Enlarge, int32_t Color, int32_t MinAlpha, const TPXProgressEvent& OnProgress,
                     TObject* Sender);

// The same shadow for the inclusive rectangle X1, Y1 .. X2, Y2 only: the alpha around it (half
// the margin) is blurred (Radius 0: the 3 x 3 "Blur" preset) and moved, and the pixels within
// the margin are recombined; px1g alpha is not divided. Returns the margin used
// (CalcShadowMargin with Radius, or 2.0 for Radius 0). Pixels farther away do not change.
int32_t ApplySoftShadowRect(TPXBitmap* Bitmap, int32_t OffsetX, int32_t OffsetY, double Radius, int32_t Intensity,
                            int32_t Color, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

// Splits Count items into at most Bands contiguous bands and runs Work(First, Number, Main) for
// each: band 0 on the calling thread (Main true; report progress from there), the others on the
// library's thread pool; returns when all are done and raises the first exception of any.
void RunProcBands(int32_t Count, int32_t Bands, const std::function<void(int32_t, int32_t, bool)>& Work);
