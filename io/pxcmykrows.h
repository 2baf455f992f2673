// CMYK rows converted through a picture's own colour profile (the display of CMYK pictures).
#pragma once

#include <cstdint>

#include "io/pxicc.h"

// Count CMYK pixels of Input into Output through the transform from Profile to Dest (made or
// kept by Profile, layouts iccfCMYK to iccfBGR). Without a transform (either profile not open)
// the row goes through CmykToRgbRow. With Weights (one per pixel, 18 fraction bits) each output
// channel becomes out + ((new - out) * weight) >> 18 instead of new.
void CmykToRgbRowIcc(const TCMYK* Input, TRGB* Output, int32_t Count, TPXICC* Profile, TPXICC* Dest,
                     const int32_t* Weights = nullptr);
