// Row routines of the bitmap's alpha merging, for code that flattens rows as it builds them.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

// One row of TPXBitmap::MergeAlphaWithColor: each of the N three-byte pixels of Px becomes
// v := b + floor((v - b) * A / 256) with A from Alpha.
void MergeAlphaRow(uint8_t* Px, const uint8_t* Alpha, TRGB Bg, int32_t N);
