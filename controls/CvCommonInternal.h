// Drawing pieces the units of the control set share among themselves (not part of the units'
// interfaces).
#pragma once

#include "platform/gdi/Graphics.h"

// A one-pixel box in Color whose four corner pixels are left out: the pen's lines from
// (L, T + 1) to (L, B - 1), (L + 1, T) to (R - 1, T), (R - 1, T + 1) to (R - 1, B - 1) and
// (L + 1, B - 1) to (R - 1, B - 1).
void PaintCornerlessBox(TCanvas* Canvas, const TRect& R, TColor Color);
