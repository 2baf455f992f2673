// Colour routines of the processing engine that the bitmap core also calls: rows as 24-bit
// pixels, the average colour, the luminance histogram and the conversions to black and white
// (ordered dither and threshold).
#pragma once

#include <array>
#include <cstdint>

#include "core/hypxdefs.h"

class TPXBitmap;

// Row Row of Bitmap as Width 24-bit pixels. px1g, px8p, px8g and px16g are written into Buffer
// (3 x Width bytes; grey rows honour the bitmap's display range) and Buffer is returned; a
// px24RGB bitmap returns its own row (also copied into Buffer when CopyNative); any other
// format returns Buffer unchanged.
uint8_t* GetRowRGB24(TPXBitmap* Bitmap, int32_t Row, uint8_t* Buffer, bool CopyNative);

// The average colour: per row the channel sums divided by the width, summed, divided by the
// height. 0, 0, 0 for an empty bitmap.
void GetAverageRGB(TPXBitmap* Bitmap, int32_t& Red, int32_t& Green, int32_t& Blue);

using TPXHistogram = std::array<int32_t, 256>;
// Counts the grey level of every pixel (px1g: bins 0 and 1 only).
void ComputeLuminanceHistogram(TPXBitmap* Bitmap, TPXHistogram& Histogram);

// Dest (px1g, Source's size) gets a set bit where the grey level is at least Threshold:
// -1 the grey of the average colour, -2 the maximum-entropy threshold, else the value itself.
// A px1g Source is copied. Progress after each row.
void ConvertToBWThreshold(TPXBitmap* Source, TPXBitmap* Dest, int32_t Threshold, TPXProgressRecord& Progress);

// px24RGB only: ordered dither to px1g in place (the alpha channel stays).
void ConvertBitmapToMonochrome(TPXBitmap* Bitmap, TPXProgressRecord& Progress);
// px24RGB only: threshold to px1g in place (the alpha channel stays).
void ConvertToBWThresholdInPlace(TPXBitmap* Bitmap, int32_t Threshold, TPXProgressRecord& Progress);
