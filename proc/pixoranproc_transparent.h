// Transparent colours: giving every pixel whose colour lies inside a per-channel colour box a
// chosen alpha value (the operation TPixoranProc::SetTransparentColors stands on).
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

class TPXBitmap;

// For px24RGB and px1g pictures; other formats are left alone. X2 and Y2 are exclusive and
// limited to the picture (X1, Y1 below 0 are taken as 0). The alpha channel is created (opaque)
// when missing; a matching pixel's alpha byte becomes Alpha, every other alpha byte and every
// colour byte stays. px24RGB: R, G and B each inside MinColor..MaxColor (inclusive; a bound
// above the other matches nothing). px1g (leftmost pixel in the high bit): MinColor's red 0
// matches the 0 bits, any other red the 1 bits; MaxColor is not used. After each row OnProgress
// gets (rows done) x 100 div (rows). The alpha channel's opaque flag is recomputed at the end.
void SetTransparentColorsWorker(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TRGB MinColor,
                                TRGB MaxColor, uint8_t Alpha, const TPXProgressEvent& OnProgress, TObject* Sender);
