// Putting pictures on the clipboard: the packed DIB (whole or through a selection mask) and the
// raw bitmap stream that TPixoranProc's cut and copy write, and the masked fill that its cut
// clears with.
#pragma once

#include <cstdint>

#include "platform/forms/Clipbrd.h"
#include "platform/rtl/Types.h"

class TPXBitmap;
class TPXMask;

// Puts Bitmap's rectangle X1 .. X2 - 1, Y1 .. Y2 - 1 (X2 or Y2 of 0: the width or height) on the
// clipboard as CF_DIB, and with AlsoRaw as "PIXORAN RAW FORMAT" (the raw stream of Bitmap, or
// with a non-empty Mask of its box with alpha 0 outside the selection). With a non-empty Mask
// the DIB holds the mask's box, Background where nothing is selected and 8-bit masks blending
// by their value. The selection's polygon (Points) is not needed beside its mask. OpenAndEmpty
// opens and empties the clipboard first and closes it at the end; otherwise the caller has it
// open. False for a picture narrower or lower than 2 pixels, a clipboard that cannot be opened,
// or a DIB that cannot be made or is refused; a refused block is freed.
bool PutBitmapOnClipboard(TPXBitmap* Bitmap, bool OpenAndEmpty, bool AlsoRaw, int32_t X1, int32_t Y1, int32_t X2,
                          int32_t Y2, const TPoint* Points, int32_t PointCount, TPXMask* Mask, TColor Background,
                          int32_t DpiX, int32_t DpiY);

// A packed DIB of Mask's box: Background, with the selected pixels of Bitmap copied in (8-bit
// masks blend by their value; no alpha). Nil when it cannot be made.
HGLOBAL MakeMaskedDIB(TPXBitmap* Bitmap, TPXMask* Mask, TColor Background, int32_t DpiX, int32_t DpiY);

// Every selected pixel of Bitmap becomes Value (as TPXBitmap::Fill takes it); 8-bit masks blend
// towards it by their value. Nothing for an empty mask.
void FillMaskedWithColor(TPXBitmap* Bitmap, TPXMask* Mask, double Value);
