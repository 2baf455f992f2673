// The wave distortion of the processing engine.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

class TPXBitmap;

// Bends Bitmap with a ripple spreading from its centre: each pixel takes the bilinear sample at
// a sine-shaped offset of its aspect-corrected distance from the centre (the period along the
// radius is 2 x WaveLength, Phase in degrees; Reflective scales the offset from the centre
// instead). Every byte of a pixel is treated alike; the alpha channel, when present, is waved
// first by the same mapping. Nothing for Amplitude 0, WaveLength 0 or pixels of less than a
// byte. Progress after each row: trunc(y x 100 / height).
void WaveDistortBitmap(TPXBitmap* Bitmap, int32_t Amplitude, int32_t WaveLength, int32_t Phase, bool Reflective,
                       TPXProgressRecord& Progress);
