// Colour spaces: sRGB (D65) <-> CIE L*a*b* for the pxCIELab pixel format.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

// Color is a packed colour: blue in bits 0..7, green 8..15, red 16..23 (the top byte ignored).
TCIELab RGBToCIELab(int32_t Color);
inline TCIELab RGBToCIELab(const TRGB& Color) { return RGBToCIELab(Color.b | (Color.g << 8) | (Color.r << 16)); }
TRGB CIELabToRGB(const TCIELab& Lab);
