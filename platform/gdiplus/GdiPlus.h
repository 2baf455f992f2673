// The antialiased drawing library's flat interface: graphics objects over device contexts, pens,
// brushes (solid, hatch, linear gradient), paths, fonts, string formats and images, with the
// platform library's names, numbers and status results.
//
// Every object is owned by the library from its creation until its delete call (GdipDelete*,
// GdipDisposeImage); a handle is a plain reference, and deleting an unknown handle answers
// InvalidParameter. Objects can be created only between GdiplusStartup and GdiplusShutdown.
//
// Coordinates are floats in world units (pixels). As in the platform library, integer
// coordinates are pixel centres: a one pixel wide horizontal line at y = 5 covers row 5 exactly,
// and filling (10, 10, 9, 19) without antialiasing covers columns 10..18 and rows 10..28.
// Clip rectangles and image rectangles take whole pixels (x .. x + width - 1).
//
// Surfaces are drawn as opaque RGB, through a 32-bit copy of the area a call touches: colours
// blend over a pixel's B, G, R as if it were opaque, and the alpha byte of a 32-bit surface is
// not read as transparency. The alpha byte of a 32-bit surface is 255 in every pixel a call
// paints (any coverage, antialiased edges and pixels painted in the colour they had included),
// as the platform library leaves it on a device context; every pixel a call does not paint keeps
// all four bytes. So drawing on a white surface whose alpha bytes are 0 leaves the shape's
// coverage in the alpha bytes (what layers rendered with alpha read back). Other depths get
// only the pixels whose colour changes. Source copy stores a translucent colour as composed
// over black.
//
// Text is UTF-8; counts of characters are counts of code points.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/gdi/WinGdi.h"

class TStream;

using REAL = float;
using ARGB = uint32_t;
using LANGID = uint16_t;
using PixelFormat = int32_t;

enum GpStatus : int32_t {
  Ok = 0, GenericError = 1, InvalidParameter = 2, OutOfMemory = 3, ObjectBusy = 4, InsufficientBuffer = 5,
  NotImplemented = 6, Win32Error = 7, WrongState = 8, Aborted = 9, FileNotFound = 10, ValueOverflow = 11,
  AccessDenied = 12, UnknownImageFormat = 13, FontFamilyNotFound = 14, FontStyleNotFound = 15,
  NotTrueTypeFont = 16, UnsupportedGdiplusVersion = 17, GdiplusNotInitialized = 18, PropertyNotFound = 19,
  PropertyNotSupported = 20
};

enum GpUnit : int32_t {
  UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3, UnitInch = 4, UnitDocument = 5, UnitMillimeter = 6
};

enum SmoothingMode : int32_t {
  SmoothingModeInvalid = -1, SmoothingModeDefault = 0, SmoothingModeHighSpeed = 1, SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3, SmoothingModeAntiAlias = 4, SmoothingModeAntiAlias8x4 = 4, SmoothingModeAntiAlias8x8 = 5
};

enum InterpolationMode : int32_t {
  InterpolationModeInvalid = -1, InterpolationModeDefault = 0, InterpolationModeLowQuality = 1,
  InterpolationModeHighQuality = 2, InterpolationModeBilinear = 3, InterpolationModeBicubic = 4,
  InterpolationModeNearestNeighbor = 5, InterpolationModeHighQualityBilinear = 6,
  InterpolationModeHighQualityBicubic = 7
};

enum TextRenderingHint : int32_t {
  TextRenderingHintSystemDefault = 0, TextRenderingHintSingleBitPerPixelGridFit = 1,
  TextRenderingHintSingleBitPerPixel = 2, TextRenderingHintAntiAliasGridFit = 3, TextRenderingHintAntiAlias = 4,
  TextRenderingHintClearTypeGridFit = 5
};

enum CompositingMode : int32_t { CompositingModeSourceOver = 0, CompositingModeSourceCopy = 1 };

enum CompositingQuality : int32_t {
  CompositingQualityInvalid = -1, CompositingQualityDefault = 0, CompositingQualityHighSpeed = 1,
  CompositingQualityHighQuality = 2, CompositingQualityGammaCorrected = 3, CompositingQualityAssumeLinear = 4
};

enum PixelOffsetMode : int32_t {
  PixelOffsetModeInvalid = -1, PixelOffsetModeDefault = 0, PixelOffsetModeHighSpeed = 1,
  PixelOffsetModeHighQuality = 2, PixelOffsetModeNone = 3, PixelOffsetModeHalf = 4
};

enum GpDashStyle : int32_t {
  DashStyleSolid = 0, DashStyleDash = 1, DashStyleDot = 2, DashStyleDashDot = 3, DashStyleDashDotDot = 4,
  DashStyleCustom = 5
};

enum GpLineJoin : int32_t { LineJoinMiter = 0, LineJoinBevel = 1, LineJoinRound = 2, LineJoinMiterClipped = 3 };

enum GpLineCap : int32_t {
  LineCapFlat = 0, LineCapSquare = 1, LineCapRound = 2, LineCapTriangle = 3, LineCapNoAnchor = 0x10,
  LineCapSquareAnchor = 0x11, LineCapRoundAnchor = 0x12, LineCapDiamondAnchor = 0x13, LineCapArrowAnchor = 0x14,
  LineCapCustom = 0xFF
};

// The six classic hatches (8x8 patterns aligned to the device); the library's other styles
// (6..52) are answered with NotImplemented.
enum GpHatchStyle : int32_t {
  HatchStyleHorizontal = 0, HatchStyleVertical = 1, HatchStyleForwardDiagonal = 2, HatchStyleBackwardDiagonal = 3,
  HatchStyleCross = 4, HatchStyleLargeGrid = 4, HatchStyleDiagonalCross = 5, HatchStyleMin = 0, HatchStyleMax = 52
};

enum GpWrapMode : int32_t {
  WrapModeTile = 0, WrapModeTileFlipX = 1, WrapModeTileFlipY = 2, WrapModeTileFlipXY = 3, WrapModeClamp = 4
};

enum GpFillMode : int32_t { FillModeAlternate = 0, FillModeWinding = 1 };

enum GpMatrixOrder : int32_t { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };

enum CombineMode : int32_t {
  CombineModeReplace = 0, CombineModeIntersect = 1, CombineModeUnion = 2, CombineModeXor = 3,
  CombineModeExclude = 4, CombineModeComplement = 5
};

enum StringAlignment : int32_t { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };

enum StringFormatFlags : int32_t {
  StringFormatFlagsDirectionRightToLeft = 0x0001, StringFormatFlagsDirectionVertical = 0x0002,
  StringFormatFlagsNoFitBlackBox = 0x0004, StringFormatFlagsDisplayFormatControl = 0x0020,
  StringFormatFlagsNoFontFallback = 0x0400, StringFormatFlagsMeasureTrailingSpaces = 0x0800,
  StringFormatFlagsNoWrap = 0x1000, StringFormatFlagsLineLimit = 0x2000, StringFormatFlagsNoClip = 0x4000
};

enum StringTrimming : int32_t {
  StringTrimmingNone = 0, StringTrimmingCharacter = 1, StringTrimmingWord = 2, StringTrimmingEllipsisCharacter = 3,
  StringTrimmingEllipsisWord = 4, StringTrimmingEllipsisPath = 5
};

enum MetafileType : int32_t {
  MetafileTypeInvalid = 0, MetafileTypeWmf = 1, MetafileTypeWmfPlaceable = 2, MetafileTypeEmf = 3,
  MetafileTypeEmfPlusOnly = 4, MetafileTypeEmfPlusDual = 5
};

constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;

struct GpPoint {
  int32_t X = 0;
  int32_t Y = 0;
};
struct GpPointF {
  REAL X = 0;
  REAL Y = 0;
};
struct GpRectF {
  REAL X = 0;
  REAL Y = 0;
  REAL Width = 0;
  REAL Height = 0;
};
using RectF = GpRectF;

struct GdiplusStartupInput {
  uint32_t GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = 0;
  BOOL SuppressExternalCodecs = 0;
};
struct GdiplusStartupOutput {
  void* NotificationHook = nullptr;
  void* NotificationUnhook = nullptr;
};

// The 140-byte metafile header (the embedded WMF/EMF header kept as bytes).
struct MetafileHeader {
  MetafileType Type = MetafileTypeInvalid;
  uint32_t Size = 0;
  uint32_t Version = 0;
  uint32_t EmfPlusFlags = 0;
  REAL DpiX = 0;
  REAL DpiY = 0;
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  uint8_t EmfHeader[88] = {};
  int32_t EmfPlusHeaderSize = 0;
  int32_t LogicalDpiX = 0;
  int32_t LogicalDpiY = 0;
};
static_assert(sizeof(MetafileHeader) == 140);

// ---- handle types ----
class GpObject {
 public:
  virtual ~GpObject() = default;
  GpObject(const GpObject&) = delete;
  GpObject& operator=(const GpObject&) = delete;

 protected:
  GpObject() = default;
};

class GpGraphics;
class GpPen;
class GpPath;
class GpFont;
class GpStringFormat;

struct GpBrushData;
class GpBrush : public GpObject {
 public:
  ~GpBrush() override;
  const GpBrushData& Data() const { return *data_; }

 protected:
  explicit GpBrush(std::unique_ptr<GpBrushData> data);

 private:
  std::unique_ptr<GpBrushData> data_;
};
class GpSolidFill : public GpBrush {
 public:
  explicit GpSolidFill(std::unique_ptr<GpBrushData> data);
};
class GpHatch : public GpBrush {
 public:
  explicit GpHatch(std::unique_ptr<GpBrushData> data);
};
class GpLineGradient : public GpBrush {
 public:
  explicit GpLineGradient(std::unique_ptr<GpBrushData> data);
};

struct GpImageData;
class GpImage : public GpObject {
 public:
  ~GpImage() override;
  const GpImageData& Data() const { return *data_; }

 protected:
  explicit GpImage(std::unique_ptr<GpImageData> data);

 private:
  std::unique_ptr<GpImageData> data_;
};
class GpBitmap : public GpImage {
 public:
  explicit GpBitmap(std::unique_ptr<GpImageData> data);
};
class GpMetafile : public GpImage {
 public:
  explicit GpMetafile(std::unique_ptr<GpImageData> data);
};

// ---- start-up ----
GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// ---- graphics ----
// A graphics object over a device context: it draws on the DC's surface and takes the DC's
// logical origin (window and viewport origins) and clip region as they are at creation.
GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
GpStatus GdipCreateFromHDC2(HDC dc, void* device, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipGetDC(GpGraphics* graphics, HDC* dc);
GpStatus GdipReleaseDC(GpGraphics* graphics, HDC dc);
GpStatus GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode);
GpStatus GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode);
GpStatus GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode);
GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint hint);
GpStatus GdipSetCompositingMode(GpGraphics* graphics, CompositingMode mode);
GpStatus GdipSetCompositingQuality(GpGraphics* graphics, CompositingQuality quality);
GpStatus GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode);
GpStatus GdipRotateWorldTransform(GpGraphics* graphics, REAL angle, GpMatrixOrder order);
GpStatus GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, GpMatrixOrder order);
GpStatus GdipResetWorldTransform(GpGraphics* graphics);
GpStatus GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode mode);
GpStatus GdipResetClip(GpGraphics* graphics);

// ---- pens and brushes ----
GpStatus GdipCreatePen1(ARGB color, REAL width, GpUnit unit, GpPen** pen);
GpStatus GdipDeletePen(GpPen* pen);
GpStatus GdipSetPenWidth(GpPen* pen, REAL width);
GpStatus GdipSetPenColor(GpPen* pen, ARGB color);
GpStatus GdipSetPenDashStyle(GpPen* pen, GpDashStyle style);
GpStatus GdipSetPenLineJoin(GpPen* pen, GpLineJoin join);
GpStatus GdipSetPenStartCap(GpPen* pen, GpLineCap cap);
GpStatus GdipSetPenEndCap(GpPen* pen, GpLineCap cap);
GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
GpStatus GdipCreateHatchBrush(GpHatchStyle style, ARGB foreColor, ARGB backColor, GpHatch** brush);
// Colour 1 at point 1, colour 2 at point 2; beyond them by the wrap mode (the flip modes
// reflect, tile repeats; clamp is refused as the library does).
GpStatus GdipCreateLineBrush(const GpPointF* point1, const GpPointF* point2, ARGB color1, ARGB color2,
                             GpWrapMode wrap, GpLineGradient** brush);
GpStatus GdipDeleteBrush(GpBrush* brush);

// ---- shapes ----
GpStatus GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipDrawLinesI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, int32_t count);
GpStatus GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillEllipse(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawEllipse(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawPolygonI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, int32_t count);
GpStatus GdipFillPolygonI(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, int32_t count,
                          GpFillMode fillMode);
// Angles in degrees, clockwise from the x axis, measured on the ellipse itself.
GpStatus GdipDrawArc(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                     REAL sweepAngle);

// ---- paths ----
GpStatus GdipCreatePath(GpFillMode fillMode, GpPath** path);
GpStatus GdipDeletePath(GpPath* path);
// Adds an arc to the current figure (joined to it by a line when the figure has points).
GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
GpStatus GdipClosePathFigure(GpPath* path);
GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);
GpStatus GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path);

// ---- text ----
// The DC's selected font: its resolved face, em size in pixels, weight, italic, underline and
// strike-out.
GpStatus GdipCreateFontFromDC(HDC dc, GpFont** font);
GpStatus GdipDeleteFont(GpFont* font);
GpStatus GdipCreateStringFormat(int32_t formatAttributes, LANGID language, GpStringFormat** format);
// A new generic typographic format (no padding, line limit, no clipping); delete it as any other.
GpStatus GdipStringFormatGetGenericTypographic(GpStringFormat** format);
GpStatus GdipDeleteStringFormat(GpStringFormat* format);
// Lays text out in layoutRect (a zero width and height mean no box: one point, no wrapping) and
// draws it with brush. Measuring gives the box the same layout covers.
GpStatus GdipDrawString(GpGraphics* graphics, std::string_view text, const GpFont* font, const RectF* layoutRect,
                        const GpStringFormat* format, const GpBrush* brush);
GpStatus GdipMeasureString(GpGraphics* graphics, std::string_view text, const GpFont* font, const RectF* layoutRect,
                           const GpStringFormat* format, RectF* boundingBox, int32_t* codepointsFitted,
                           int32_t* linesFilled);

// ---- images ----
// A bitmap over scan0 (rows stride bytes apart, negative for bottom-up; the memory must outlive
// the bitmap), or over its own zeroed memory when scan0 is null. Formats: 24bppRGB, 32bppRGB,
// 32bppARGB, 32bppPARGB.
GpStatus GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride, PixelFormat format, BYTE* scan0,
                                   GpBitmap** bitmap);
GpStatus GdipGetImageWidth(GpImage* image, uint32_t* width);
GpStatus GdipGetImageHeight(GpImage* image, uint32_t* height);
// Draws the image into the rectangle (whole pixels: x .. x + width - 1), scaled by the
// interpolation mode.
GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDisposeImage(GpImage* image);
// Windows metafiles (WMF, placeable WMF, EMF) read whole from a file or from a stream's position
// to its end; data that is not a readable metafile gives no image and GenericError. Drawn with
// GdipDrawImageRect, scaled into the rectangle.
GpStatus GdipCreateMetafileFromFile(const std::string& fileName, GpMetafile** metafile);
GpStatus GdipCreateMetafileFromStream(TStream* stream, GpMetafile** metafile);
GpStatus GdipGetMetafileHeaderFromMetafile(GpMetafile* metafile, MetafileHeader* header);
