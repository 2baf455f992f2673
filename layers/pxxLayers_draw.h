// Drawing routines shared by the layer kinds and the views: render targets of a given size,
// filled and outlined polygons and plain figures, text boxes with border shape, line end shapes,
// the measurement texts of rulers, and tiled graphics.
//
// Coordinates are target pixels; a scale pair (ScaleX, ScaleY) converts layer pixels to target
// pixels. clNone as a colour means that part is not drawn. FillGradient 0..7 selects the brush
// gradient kinds 1..8 (TPXBrush::SetGradient); 8 means no gradient.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "core/hypxdefs.h"
#include "core/hypxutils_text.h"
#include "platform/rtl/Types.h"

class TPXBitmap;
class TPXCanvas;
class TCanvas;
class TFont;
class TGraphic;
struct TPXPointList;

// Bitmap becomes a Width x Height px24RGB picture (kept when it already is one, else replaced)
// filled with Color.
void EnsureRenderBitmap24(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height, TColor Color);
// The same for px32RGB, filled white with a fully transparent alpha channel.
void EnsureRenderBitmap32(std::unique_ptr<TPXBitmap>& Bitmap, int32_t Width, int32_t Height);

// Draws Graphic at every (x, y) of its grid over (0, 0, Width, Height), rows from the top;
// nothing for a missing or empty graphic. The dialogs tile their backgrounds with TileGraphic,
// the views their wallpaper with TileWallpaper (the same).
void TileGraphic(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic);
void TileWallpaper(TCanvas* Canvas, int32_t Width, int32_t Height, TGraphic* Graphic);

// ---------------------------------------------------------------------------------------------
// Shapes

// Points (any units: they are normalised by their bounds) drawn into the box (X, Y, Width,
// Height) as a filled polygon (Closed) or an open polyline. Angle turns clockwise in degrees;
// without AspectRatio exact quarter turns mirror and exchange the axes instead of rotating;
// AspectRatio <> 0 fits the outline into the largest centred box of that ratio. Mode 2 and 3
// compute the outline only. DrawnPoints receive the outline in layer pixels (target pixels
// divided by the scales) unless Mode is 1 with scales other than 1.
void DrawShapePolygon(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, double ScaleX,
                      double ScaleY, const TPXPointList& Points, bool Closed, TPXPointList& DrawnPoints,
                      TColor BorderColor, int32_t BorderWidth, double BorderOpacity, TColor FillColor,
                      TColor FillColor2, uint8_t FillGradient, double FillOpacity, bool AntiAlias, int32_t Angle,
                      double AspectRatio, uint8_t Mode);
// The plain figures: shapes 0 (ellipse), 4 (rectangle) and 5 (rounded rectangle).
void DrawSimpleShape(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height, TColor BorderColor,
                     int32_t BorderWidth, double BorderOpacity, TColor FillColor, TColor FillColor2,
                     uint8_t FillGradient, double FillOpacity, double ScaleX, double ScaleY, uint8_t Shape,
                     bool AntiAlias);

// ---------------------------------------------------------------------------------------------
// Text boxes

// Alignment 0 left, 1 right, 2 centre; Layout 0 top, 1 bottom, 2 centre; TextOverflow 0 cut with
// "...", 1 shrink the font, 2 hide the text. Mode 0 or 1 draws; Mode 2 measures only and answers
// the needed box size in SizeOut. TextRectOut receives the text rectangle in layer pixels;
// ShapePoints is the border shape's outline in a 0..1000 box (generated when empty); DrawnPoints
// receive the drawn border outline.
void DrawTextBox(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Right, int32_t Bottom, double ScaleX, double ScaleY,
                 const std::string& Text, TFont* Font, uint8_t Alignment, uint8_t Layout, int32_t TextAngle,
                 uint8_t TextOverflow, uint8_t WordWrap, int32_t MaxTextWidth, TColor BorderColor,
                 int32_t BorderWidth, double BorderOpacity, TColor FillColor, TColor FillColor2,
                 uint8_t FillGradient, double FillOpacity, double HorzMargin, double VertMargin, uint8_t AutoSize,
                 uint8_t AntiAlias, uint8_t Shape, int32_t BorderAngle, double AspectRatio, TRect& TextRectOut,
                 TPXPointList& ShapePoints, TPXPointList& DrawnPoints, uint8_t Mode, TPoint& SizeOut);

// The two steps that the plain and the rich text box share. TextBoxNeededSize: the box a text
// laid out up to its far corner (E, F) needs, with room for a curved border (the size of a "W"
// for shapes other than rectangles) and, when WithMargins, for the margins. TextBoxTextOrigin:
// the top-left of a text of extent (TextW, TextH) in the box from (X, Y) to (E, F) by Alignment
// and Layout, R inside the border and (Mx, My) inside the margins.
TPoint TextBoxNeededSize(TPXCanvas* Canvas, int32_t E, int32_t F, uint8_t Shape, bool WithMargins, double HorzMargin,
                         double VertMargin, double ScaleX, double ScaleY);
TPoint TextBoxTextOrigin(int32_t X, int32_t Y, int32_t E, int32_t F, double TextW, double TextH, int32_t R, int32_t Mx,
                         int32_t My, uint8_t Alignment, uint8_t Layout);

// ---------------------------------------------------------------------------------------------
// Line end shapes

// 0 none, 1 arrow, 2 circle, 3 diamond, 4 arrow 2 (open), 5 reverse arrow, 6 bar, 7 dot.
using TPXLineEndShape = uint8_t;

// An end shape as drawn: its points in layer pixels (the bounding corners for the circle and
// the dot) and their count, 0 when nothing was drawn.
struct TPXLineEndShapeRecord {
  TPXLineEndShape Kind = 0;
  std::array<TDPoint, 4> Points{};
  int32_t Count = 0;
};

// Draws the end shape at (X, Y), the end of a line coming from (FromX, FromY), with the canvas's
// pen and brush; Size in layer pixels. Outline receives what was drawn.
void DrawLineEndShape(TPXCanvas* Canvas, int32_t FromX, int32_t FromY, int32_t X, int32_t Y, TPXLineEndShape Kind,
                      int32_t Size, double ScaleX, double ScaleY, TPXLineEndShapeRecord& Outline);
// One item of an owner-drawn list of end shapes: a sample line with the shape and its caption.
void DrawLineEndShapeItem(TCanvas* Canvas, const TRect& Rect, bool Enabled, TPXLineEndShape Kind, TColor PenColor,
                          TColor BrushColor, bool ShowText);

// ---------------------------------------------------------------------------------------------
// Measurements of rulers

// The distance between P1 and P2 (pixels) in Units, each axis at its own pixel size.
double MeasureLineLength(const TDPoint& P1, const TDPoint& P2, TPXUnits Units, double DpiX, double DpiY);
// The same as text: the settings' decimals, a blank and the unit's name.
void FormatLineLength(const TDPoint& P1, const TDPoint& P2, TPXUnits Units, double DpiX, double DpiY,
                      std::string& Text);
// The area of Box (target pixels, divided by the scales) in Units squared; Ellipse: the
// inscribed ellipse's.
double MeasureBoxArea(const TRect& Box, TPXUnits Units, bool Ellipse, double DpiX, double DpiY, double ScaleX,
                      double ScaleY);
// The same as text, ending in "²".
void FormatBoxArea(const TRect& Box, TPXUnits Units, bool Ellipse, double DpiX, double DpiY, double ScaleX,
                   double ScaleY, std::string& Text);

// True when both coordinates are 0.
bool IsZeroDPoint(const TDPoint& P);
