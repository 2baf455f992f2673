// DrawRichTextBox: the text box routine for rich text, laid out and painted by a rich edit.
#include "layers/pxxLayers_textdraw.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "layers/pxxCanvasUtils.h"
#include "layers/pxxLayers.h"
#include "layers/pxxLayers_draw.h"
#include "layers/pxxLayers_textdraw.h"
#include "layers/pxxLayers_richedit.h"

void DrawRichTextBox(TPXCanvas* Canvas, int32_t X, int32_t Y, int32_t Right, int32_t Bottom, double ScaleX,
                     double ScaleY, IPXLayerRichEdit* Editor, bool PaintText, uint8_t Alignment, uint8_t Layout,
                     bool /*WordWrap*/, TColor BorderColor, int32_t BorderWidth, double BorderOpacity, TColor FillColor,
                     TColor FillColor2, uint8_t FillGradient, double FillOpacity, double HorzMargin,
                     double VertMargin, bool AutoSize, bool AntiAlias, uint8_t Shape, double AspectRatio,
                     TRect& TextRectLayer, TRect& TextRectTarget, TPXPointList& ShapePoints,
                     TPXPointList& DrawnPoints, uint8_t Mode, TPoint& SizeOut) {
  // The editor paints on white: the box is always filled.
  if (FillColor == clNone) FillColor = 0xFFFFFF;
  const double s = std::min(ScaleX, ScaleY);
  const bool border = BorderColor != clNone && BorderWidth >= 1;
  const int32_t r = border ? Round32(s * (BorderWidth + 3)) : 0;
  int32_t x = X, y = Y, w = Right - X, h = Bottom - Y;
  if (AspectRatio != 0 && Alignment == 2 && Layout == 2)
    FitRectInPlace(Round32(1000 * AspectRatio), 1000, x, y, w, h, true, true, true, true, 0, false);
  // Margins are fractions of the box in target pixels, as for plain text.
  int32_t mx = 0, my = 0;
  if (Mode != 2) {
    mx = Round32(w * HorzMargin);
    my = Round32(h * VertMargin);
  }
  int32_t tw = 0, th = 0;
  if (AutoSize || Mode == 2) {
    tw = Editor->GetUnwrappedWidth();
    th = Editor->MeasureRichTextHeight(nullptr, 0);
  } else {
    tw = Alignment != 0 ? Editor->GetUnwrappedWidth() : w - x;
    th = Editor->MeasureRichTextHeight(nullptr, w - 2 * r - mx);
  }
  const int32_t tp = Round32(2 * s) * 2 + tw;

  int32_t E = Right, F = Bottom;
  if (Mode == 2) {
    E = X + tp + 3 * r + 2 * mx;
    F = Y + th + 2 * r + 2 * my;
    // The box is always filled here, so its margins always count.
    SizeOut = TextBoxNeededSize(Canvas, E, F, Shape, true, HorzMargin, VertMargin, ScaleX, ScaleY);
  }

  const TPoint origin = TextBoxTextOrigin(X, Y, E, F, tp, th, r, mx, my, Alignment, Layout);
  const int32_t px = origin.X, py = origin.Y;
  TextRectTarget = TRect(px, py, E, F + th);
  TextRectLayer = TRect(Round32(px / ScaleX), Round32(py / ScaleY), Round32(E / ScaleX), Round32(F / ScaleY));
  if (Mode == 2) return;

  // The border and fill, never turned: the plain figures directly, every other shape as its
  // outline (generated once into ShapePoints, in a 1000 x 1000 box of the box's ratio).
  const int32_t bw = Right - X + 1, bh = Bottom - Y + 1;
  if ((Shape == 0 || Shape == 4 || Shape == 5) && AspectRatio == 0) {
    DrawSimpleShape(Canvas, X, Y, bw, bh, BorderColor, BorderWidth, BorderOpacity, FillColor, FillColor2,
                    FillGradient, FillOpacity, ScaleX, ScaleY, Shape, AntiAlias);
  } else {
    if (ShapePoints.Count == 0) {
      std::vector<TPoint> points(PXMaxShapePoints);
      int32_t count = 0;
      GenerateShapePoints(points, count, static_cast<TPXShape>(Shape), 0, 0, 1000, 1000, 0, false, 0,
                          bh > 0 ? double(bw) / bh : 1.0);
      ShapePoints.Assign(points.data(), count);
    }
    DrawShapePolygon(Canvas, X, Y, bw, bh, ScaleX, ScaleY, ShapePoints, true, DrawnPoints, BorderColor, BorderWidth,
                     BorderOpacity, FillColor, FillColor2, FillGradient, FillOpacity, AntiAlias, 0, AspectRatio, Mode);
  }
  if (PaintText) Editor->PaintToDC(Canvas->GetHandle(), TextRectTarget, 0, 0, ScaleX, ScaleY);
}
