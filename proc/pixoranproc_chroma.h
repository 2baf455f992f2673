// Chroma keying: the key colour of a picture shot against a uniform screen, and turning the key
// colour into transparency (or a selection) while taking its tint out of the other pixels.
//
// Chroma is the Cb and Cr of the JPEG YCbCr transform scaled to 0..1; the chroma distance of two
// colours is sqrt(((Cb1 - Cb2)^2 + (Cr1 - Cr2)^2) / 2). Packed colours hold red in bits 16-23,
// green in 8-15 and blue in 0-7.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

class TPXBitmap;
class TPXMask;

// Cb and Cr of a packed colour: white gives (0.5, 0.5), pure blue (1.0, 0.41869).
void ColorToChroma(double& Cb, double& Cr, int32_t Color);

// Three times the largest chroma distance to KeyColor (packed) over the px24RGB pixels of
// X1 .. X2 - 1, Y1 .. Y2 - 1 (cut to the picture); 0 when no pixel lies inside or the picture
// is of another format.
double ChromaKeyMaxDistance(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t KeyColor);

// Splits a px24RGB picture into 3 x 3 cells and takes, row by row, the cell whose inner
// rectangle (66 % of the cell) has the smallest hue spread of a grid of about 15 x 15 samples;
// KeyColor becomes its average colour (ties keep the earlier cell; cells with fewer than two
// samples per axis are skipped). Tolerance becomes 210.0, or with ComputeTolerance
// ChromaKeyMaxDistance over the chosen inner rectangle. With no cell chosen KeyColor stays.
void GuessChromaKeyColor(TPXBitmap* Bitmap, TRGB& KeyColor, bool ComputeTolerance, double& Tolerance);

// px24RGB only. A pixel is a key pixel when its chroma distance to KeyColor is at most
// Tolerance / 3 and its HSV saturation at least MinSaturation (0 for a pure white key).
// Without Mask: key pixels become black with alpha 0; with EdgeMode above 0 every other pixel
// whose hue lies within 180 degrees of the key's (u = 1 - |H - Hk| / 180 > 0; the distance does
// not wrap) loses saturation trunc(u^k x S x m) and gets alpha 255, k and m being 8, 1 (mode 1),
// 4, 1 (2), 2, 1 (3), 2, 2 (4) or 2, 3 (5 and above). Then the alpha channel (created when
// missing) has its opaque flag cleared, CleanAlpha removes specks and closes small holes in it,
// and FeatherRadius > 0 softens its edges.
// With Mask: the picture does not change; key pixels (the others with InvertMask) are set to
// MaskValue in the mask. OnProgress gets trunc(y x 100 / height) after each row y.
void RemoveChromaKey(TPXBitmap* Bitmap, TPXMask* Mask, int32_t MinSaturation, TRGB KeyColor, double Tolerance,
                     int32_t FeatherRadius, int32_t EdgeMode, bool CleanAlpha, int32_t MaskValue, bool InvertMask,
                     const TPXProgressEvent& OnProgress, TObject* Sender);
