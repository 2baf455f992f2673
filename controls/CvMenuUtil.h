// Measuring and painting the items of an owner-drawn main menu, and the menus' own gradient
// painters (line by line on a canvas, or straight into the rows of a 32-bit bitmap).
//
// The item routines draw in the colours of the menu's current styler and draw nothing for items
// of other menus.
#pragma once

#include <cstdint>
#include <string>

#include "controls/CvMenus.h"
#include "platform/gdi/Graphics.h"

class TBackground;

// ---- Small routines
inline int32_t RectWidth(const TRect& R) { return R.Right - R.Left; }
inline int32_t RectHeight(const TRect& R) { return R.Bottom - R.Top; }
// The rectangle becomes W x H about the same centre.
void CenterRectOfSize(TRect& Rect, int32_t W, int32_t H);
// (0, 0, width, height), an empty rectangle without a bitmap.
TRect BitmapRect(TBitmap* Bitmap);
// The red, green and blue bytes of a colour (system colours resolved).
void ColorChannels(TColor Color, uint8_t& Red, uint8_t& Green, uint8_t& Blue);
// $AABBGGRR.
uint32_t PackColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t Alpha);
inline int32_t SmallerInt(int32_t A, int32_t B) { return A < B ? A : B; }
inline int32_t LargerInt(int32_t A, int32_t B) { return A > B ? A : B; }
// A new font handle turned by Angle degrees, in the default character set; the caller deletes
// it.
HFONT CreateMenuRotatedFont(TFont* Font, int32_t Angle);

// ---- Gradients. With a 32-bit Bitmap the rows are written straight into it; otherwise the
// canvas draws lines. ColorTo of clNone is Color; a gradient stops one step short of ColorTo.

void FillMenuGradient(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, CvMenus::TGradientDirection Direction,
                      TColor ColorTo, TColor Color);
// The part of WholeRect inside ClipRect, continuing the whole rectangle's gradient.
void FillMenuGradientSlice(TBitmap* Bitmap, TCanvas* Canvas, const TRect& WholeRect,
                           CvMenus::TGradientDirection Direction, TColor ColorTo, TColor Color, const TRect& ClipRect);
// A gradient (when Fill and Color is a colour) with a frame in BorderColor (unless clNone).
void FillMenuBox(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, bool Fill, TColor BorderColor,
                 CvMenus::TGradientDirection Direction, TColor ColorTo, TColor Color);
// The same, the lower half filled from Mirror to MirrorTo when Mirror is a colour.
void FillMenuMirrorBox(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, bool Fill, TColor BorderColor,
                       CvMenus::TGradientDirection Direction, TColor MirrorTo, TColor Mirror, TColor ColorTo,
                       TColor Color);
void DrawMenuSeparator(TBitmap* Bitmap, TCanvas* Canvas, const TRect& Rect, int32_t Margin, int32_t GradientWidth,
                       TGradientType GradientType, CvMenus::TGradientDirection Direction, TColor ColorTo,
                       TColor Color);
// The background (gradient and picture) composed in its cache, drawn at Rect less its margins.
void DrawMenuBackground(TCanvas* Canvas, const TRect& Rect, TBackground* Background, bool PaintColors);

// ---- Items
// Whether the item's drop-down shows the styler's side bar.
bool MenuSideBarShown(const TMenuItem* Item);
void MeasureMenuItem(TMenuItem* Item, TCanvas* Canvas, bool SideBarShown, int32_t& Width, int32_t& Height);
// For a drop-down item Rect already lacks the 17 pixels the drop-down's shape cuts off.
void DrawMenuItem(TMenuItem* Item, TCanvas* Canvas, const TRect& Rect, bool SideBarShown, TOwnerDrawState State);
void DrawMenuItemText(TMenuItem* Item, TCanvas* Canvas, const std::string& Text, UINT Format, TOwnerDrawState State,
                      TRect& Rect);
// The shortcut as shown: "Win+" before shortcuts with the $0200 flag.
std::string MenuShortCutText(const TMenuItem* Item);
