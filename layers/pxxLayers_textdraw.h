// DrawRichTextBox: the text box routine for rich text, laid out and painted by a rich edit.
#pragma once

#include <cstdint>

#include "platform/rtl/Types.h"

class IPXLayerRichEdit;
class TPXCanvas;
struct TPXPointList;

// The box (X, Y)-(Right, Bottom) in target pixels with its border shape and fill (a FillColor
// of clNone fills white), the text placed by Alignment and Layout (as DrawTextBox places it).
// TextRectLayer receives the text rectangle in layer pixels, TextRectTarget in target pixels
// (down to Bottom plus the text height). Mode 2 measures only and answers the needed box size
// in SizeOut; modes 0 and 1 draw the border and fill and, with PaintText, the editor's text.
// The border is not turned and WordWrap is not consulted.
void DrawRichTextBox(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Right, int32_t Bottom, double ScaleX,
                     double ScaleY, IPXLayerRichEdit* Editor, bool PaintText, uint8_t Alignment, uint8_t Layout,
                     bool WordWrap, TColor BorderColor, int32_t BorderWidth, double BorderOpacity, TColor FillColor,
                     TColor FillColor2, uint8_t FillGradient, double FillOpacity, double HorzMargin,
                     double VertMargin, bool AutoSize, bool AntiAlias, uint8_t Shape, double AspectRatio,
                     TRect& TextRectLayer, TRect& TextRectTarget, TPXPointList& ShapePoints,
                     TPXPointList& DrawnPoints, uint8_t Mode, TPoint& SizeOut);
