// Value-range helpers of the bitmap core.
#pragma once

class TPXBitmap;

// px32f only: stretches the values to 0..1 when some leave that range (values already inside
// stay as they are); NaN pixels are skipped.
void NormalizeFloatRange(TPXBitmap* Bitmap);
