// Picture routines of the owner-drawn controls: bitmaps drawn with one transparent colour
// (placed, stretched or tiled), the ten-direction band gradient, and the parent's image painted
// under a transparent child.
//
// Band colours run on 16.16 fixed-point accumulators per channel; lines of equal colour form one
// band painted with one brush. Steps (1..255; every caller passes 1) sets the least number of lines
// of a band. The end and centre directions paint whole rows or columns straight onto the canvas
// (a window's picture reaches the screen only after its paint); the diagonal and box directions
// are built off screen and drawn in one piece.
#pragma once

#include <cstdint>

#include "controls/CvCommon.h"
#include "platform/forms/Controls.h"
#include "platform/gdi/Graphics.h"

// The source part of Bitmap stretched to DestRect's size, drawn without the pixels of
// TransparentColor. DestRect gives the size only: the result goes to the canvas's origin.
void DrawTransparentBitmap(TCanvas* Canvas, TBitmap* Bitmap, const TRect& DestRect, const TRect& SourceRect,
                           TColor TransparentColor);
// The source part of Bitmap stretched into DestRect; the canvas shows through the pixels of
// TransparentColor. Leaves the canvas's copy mode cmSrcPaint.
void CopyTransparentRect(TCanvas* Canvas, TBitmap* Bitmap, const TRect& DestRect, const TRect& SourceRect,
                         TColor TransparentColor);
// The whole bitmap into DestRect.
void StretchTransparentBitmap(TCanvas* Canvas, TBitmap* Bitmap, const TRect& DestRect, TColor TransparentColor);
// The bitmap repeated over Rect from its top-left corner, the last row and column cut; an empty
// bitmap draws nothing.
void TileTransparentBitmap(TCanvas* Canvas, TBitmap* Bitmap, const TRect& Rect, TColor TransparentColor);

// Fills Bounds with a gradient from StartColor to StopColor; nothing when it is 0 wide or high.
void PaintGradientRect(TCanvas* Canvas, const TRect& Bounds, TGradientDirection Direction, TColor StartColor,
                       TColor StopColor, uint8_t Steps);
// Frees the off-screen bitmap the gradients keep between calls (the controls' shut-down does).
void ReleaseGradientScratch();
// Frees what DrawTransparentBitmap keeps of the sources it drew last (the controls' shut-down does).
void ReleaseTransparentBitmaps();

// Paints the parent's background and content on DC under the control (DC in the control's
// coordinates); with InvalidateParent, a parent that is neither a custom control nor a form is
// invalidated afterwards. Nothing without a parent.
void PaintParentBackground(TControl* Control, HDC DC, bool InvalidateParent);
void PaintParentBackground(TControl* Control, TCanvas* Canvas, bool InvalidateParent);

// ---------------------------------------------------------------------------------------------
// Building blocks of PaintGradientRect, drawing on a device context from its origin.

// Size lines in a strip 8 pixels thick: rows (strip columns 0..7) for Lines = orHorizontal,
// columns (strip rows 0..7) for orVertical. Without a centre (Centre < 0) the lines run from
// StopColor at line Size-1 towards StartColor at line 0; with a centre m the stop colour is at
// line m, the start colour at line Size-1, and line 0 one step short of it.
void LinearGradientFill(HDC DC, TOrientation Lines, int32_t Centre, int32_t Size, TColor StartColor, TColor StopColor,
                        uint8_t Steps);
// The top-left quarter of a box gradient of W x H: the stop colour at the centre, grown by
// (XOffset, YOffset) into a bar or rectangle, the start colour at the outside. W or H of 4 or
// less (or equal colours) give a solid rectangle in the start colour.
void BoxGradientFill(HDC DC, int32_t W, int32_t H, int32_t XOffset, int32_t YOffset, TColor StartColor,
                     TColor StopColor, uint8_t Steps);
// Straight diagonal bands over |W| x H: with W > 0 from StartColor at the bottom-left corner to
// StopColor at the top-right one; with W < 0 from StopColor at the bottom-right corner to
// StartColor at the top-left one.
void DiagonalGradientFill(HDC DC, int32_t W, int32_t H, uint8_t Steps, TColor StartColor, TColor StopColor);
// Widens the painted StripW x StripH area at (X, Y) to TotalW x TotalH by copying it next to
// itself, doubling each time.
void BitFillBlit(HDC DC, int32_t X, int32_t Y, int32_t TotalW, int32_t TotalH, int32_t StripW, int32_t StripH,
                 DWORD Rop);
// Mirrors the top-left quarter of the W x H area at (X, Y) onto the other three.
void BoxBitMirrorBlit(HDC DC, int32_t X, int32_t Y, int32_t W, int32_t H, DWORD Rop);
