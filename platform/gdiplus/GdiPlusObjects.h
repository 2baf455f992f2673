// The objects behind the antialiased drawing library's handles (plain data; the drawing code
// turns them into painter state). Internal to platform/gdiplus.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gdiplus/GdiPlus.h"

// Row-vector affine matrix: x' = x*M11 + y*M21 + Dx, y' = x*M12 + y*M22 + Dy.
struct GpMatrix {
  double M11 = 1, M12 = 0, M21 = 0, M22 = 1, Dx = 0, Dy = 0;
};

// One SetClipRect: the rectangle's corners in device coordinates and how it combines.
struct GpClipOp {
  GpPointF Corners[4];
  CombineMode Mode = CombineModeReplace;
};

class GpGraphics : public GpObject {
 public:
  HDC Dc = nullptr;
  double OriginX = 0, OriginY = 0;  // device position of the logical origin at creation
  bool DcClipped = false;
  std::vector<TRect> DcClip;  // device rectangles visible at creation
  GpMatrix World;
  std::vector<GpClipOp> Clip;
  SmoothingMode Smoothing = SmoothingModeDefault;
  InterpolationMode Interpolation = InterpolationModeDefault;
  TextRenderingHint TextHint = TextRenderingHintSystemDefault;
  CompositingMode Compositing = CompositingModeSourceOver;
  CompositingQuality CompositingQualityValue = CompositingQualityDefault;
  PixelOffsetMode PixelOffset = PixelOffsetModeDefault;
};

class GpPen : public GpObject {
 public:
  ARGB Color = 0xFF000000;
  REAL Width = 1;
  GpUnit Unit = UnitWorld;
  GpDashStyle Dash = DashStyleSolid;
  GpLineJoin Join = LineJoinMiter;
  GpLineCap StartCap = LineCapFlat;
  GpLineCap EndCap = LineCapFlat;
  REAL MiterLimit = 10;
};

struct GpBrushData {
  enum class Kind { Solid, Hatch, LineGradient } Type = Kind::Solid;
  ARGB Color1 = 0xFF000000;  // solid colour, hatch foreground, gradient start
  ARGB Color2 = 0;           // hatch background, gradient end
  GpHatchStyle Hatch = HatchStyleHorizontal;
  GpPointF Point1, Point2;
  GpWrapMode Wrap = WrapModeTile;
};

// A path element: MoveTo/LineTo take (x, y); Arc takes the ellipse box, start and sweep.
struct GpPathElement {
  enum class Kind { MoveTo, LineTo, Arc, Close } Type = Kind::MoveTo;
  REAL V[6] = {};
};

class GpPath : public GpObject {
 public:
  GpFillMode FillMode = FillModeAlternate;
  std::vector<GpPathElement> Elements;
  bool FigureOpen = false;  // the current figure has points and is not closed
};

class GpFont : public GpObject {
 public:
  std::string Family;
  REAL EmSize = 12;  // pixels
  int32_t Weight = 400;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
};

class GpStringFormat : public GpObject {
 public:
  int32_t Flags = 0;
  StringAlignment Alignment = StringAlignmentNear;
  StringAlignment LineAlignment = StringAlignmentNear;
  StringTrimming Trimming = StringTrimmingCharacter;
  bool Typographic = false;  // no padding around the text
};

struct GpImageData {
  bool Metafile = false;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;  // bytes from one row to the next (negative: bottom-up)
  PixelFormat Format = PixelFormat32bppARGB;
  BYTE* Scan0 = nullptr;  // the top row
  std::vector<uint8_t> Storage;  // metafiles: the drawing as SVG text
  MetafileHeader Header;         // metafiles: the header read from the file
};

// Object table: adopts an object and hands out its handle; Release destroys it.
GpObject* GpAdopt(std::unique_ptr<GpObject> object);
template <class T>
T* GpAdoptAs(std::unique_ptr<T> object) {
  return static_cast<T*>(GpAdopt(std::move(object)));
}
bool GpRelease(const GpObject* object);
// True between GdiplusStartup and GdiplusShutdown.
bool GpStarted();
