// Start-up, the object table, and the objects that need no drawing: pens, brushes, paths, fonts,
// string formats and images.
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <unordered_map>

#include "platform/gdi/FontEngine.h"
#include "platform/gdiplus/GdiPlusObjects.h"

namespace {

std::atomic<int32_t> g_started{0};
std::atomic<ULONG_PTR> g_tokens{0};

struct TObjectTable {
  std::mutex Lock;
  std::unordered_map<const GpObject*, std::unique_ptr<GpObject>> Objects;
};

// Never destroyed: objects held by the program's statics may be deleted while those are torn
// down at exit.
TObjectTable& Table() {
  static TObjectTable* const table = std::make_unique<TObjectTable>().release();
  return *table;
}

bool Finite(REAL v) { return std::isfinite(v); }

}  // namespace

GpBrush::GpBrush(std::unique_ptr<GpBrushData> data) : data_(std::move(data)) {}
GpBrush::~GpBrush() = default;
GpImage::GpImage(std::unique_ptr<GpImageData> data) : data_(std::move(data)) {}
GpImage::~GpImage() = default;
GpSolidFill::GpSolidFill(std::unique_ptr<GpBrushData> data) : GpBrush(std::move(data)) {}
GpHatch::GpHatch(std::unique_ptr<GpBrushData> data) : GpBrush(std::move(data)) {}
GpLineGradient::GpLineGradient(std::unique_ptr<GpBrushData> data) : GpBrush(std::move(data)) {}
GpBitmap::GpBitmap(std::unique_ptr<GpImageData> data) : GpImage(std::move(data)) {}
GpMetafile::GpMetafile(std::unique_ptr<GpImageData> data) : GpImage(std::move(data)) {}

GpObject* GpAdopt(std::unique_ptr<GpObject> object) {
  GpObject* handle = object.get();
  TObjectTable& t = Table();
  std::lock_guard<std::mutex> guard(t.Lock);
  t.Objects.emplace(handle, std::move(object));
  return handle;
}

bool GpRelease(const GpObject* object) {
  if (!object) return false;
  std::unique_ptr<GpObject> doomed;
  {
    TObjectTable& t = Table();
    std::lock_guard<std::mutex> guard(t.Lock);
    auto it = t.Objects.find(object);
    if (it == t.Objects.end()) return false;
    doomed = std::move(it->second);
    t.Objects.erase(it);
  }
  return true;  // destroyed outside the lock
}

bool GpStarted() { return g_started.load() > 0; }

// ---- start-up ----

GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input) return InvalidParameter;
  if (input->GdiplusVersion < 1 || input->GdiplusVersion > 3) return UnsupportedGdiplusVersion;
  if (input->SuppressBackgroundThread && !output) return InvalidParameter;
  if (output) *output = GdiplusStartupOutput();
  *token = ++g_tokens;
  ++g_started;
  return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
  if (token == 0) return;
  int32_t n = g_started.load();
  while (n > 0 && !g_started.compare_exchange_weak(n, n - 1)) {
  }
}

// ---- pens ----

GpStatus GdipCreatePen1(ARGB color, REAL width, GpUnit unit, GpPen** pen) {
  if (!pen) return InvalidParameter;
  *pen = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  if (!Finite(width) || width < 0 || unit < UnitWorld || unit > UnitMillimeter) return InvalidParameter;
  auto p = std::make_unique<GpPen>();
  p->Color = color;
  p->Width = width;
  p->Unit = unit;
  *pen = GpAdoptAs(std::move(p));
  return Ok;
}

GpStatus GdipDeletePen(GpPen* pen) { return GpRelease(pen) ? Ok : InvalidParameter; }

GpStatus GdipSetPenWidth(GpPen* pen, REAL width) {
  if (!pen || !Finite(width) || width < 0) return InvalidParameter;
  pen->Width = width;
  return Ok;
}

GpStatus GdipSetPenColor(GpPen* pen, ARGB color) {
  if (!pen) return InvalidParameter;
  pen->Color = color;
  return Ok;
}

GpStatus GdipSetPenDashStyle(GpPen* pen, GpDashStyle style) {
  if (!pen || style < DashStyleSolid || style > DashStyleCustom) return InvalidParameter;
  pen->Dash = style == DashStyleCustom ? DashStyleSolid : style;
  return Ok;
}

GpStatus GdipSetPenLineJoin(GpPen* pen, GpLineJoin join) {
  if (!pen || join < LineJoinMiter || join > LineJoinMiterClipped) return InvalidParameter;
  pen->Join = join;
  return Ok;
}

GpStatus GdipSetPenStartCap(GpPen* pen, GpLineCap cap) {
  if (!pen) return InvalidParameter;
  pen->StartCap = cap;
  return Ok;
}

GpStatus GdipSetPenEndCap(GpPen* pen, GpLineCap cap) {
  if (!pen) return InvalidParameter;
  pen->EndCap = cap;
  return Ok;
}

// ---- brushes ----

GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush) {
  if (!brush) return InvalidParameter;
  *brush = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  auto data = std::make_unique<GpBrushData>();
  data->Type = GpBrushData::Kind::Solid;
  data->Color1 = color;
  *brush = GpAdoptAs(std::make_unique<GpSolidFill>(std::move(data)));
  return Ok;
}

GpStatus GdipCreateHatchBrush(GpHatchStyle style, ARGB foreColor, ARGB backColor, GpHatch** brush) {
  if (!brush) return InvalidParameter;
  *brush = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  if (style < HatchStyleMin || style > HatchStyleMax) return InvalidParameter;
  if (style > HatchStyleDiagonalCross) return NotImplemented;
  auto data = std::make_unique<GpBrushData>();
  data->Type = GpBrushData::Kind::Hatch;
  data->Hatch = style;
  data->Color1 = foreColor;
  data->Color2 = backColor;
  *brush = GpAdoptAs(std::make_unique<GpHatch>(std::move(data)));
  return Ok;
}

GpStatus GdipCreateLineBrush(const GpPointF* point1, const GpPointF* point2, ARGB color1, ARGB color2,
                             GpWrapMode wrap, GpLineGradient** brush) {
  if (!brush) return InvalidParameter;
  *brush = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  if (!point1 || !point2 || !Finite(point1->X) || !Finite(point1->Y) || !Finite(point2->X) || !Finite(point2->Y))
    return InvalidParameter;
  if (wrap < WrapModeTile || wrap >= WrapModeClamp) return InvalidParameter;
  if (point1->X == point2->X && point1->Y == point2->Y) return OutOfMemory;  // as the library answers
  auto data = std::make_unique<GpBrushData>();
  data->Type = GpBrushData::Kind::LineGradient;
  data->Point1 = *point1;
  data->Point2 = *point2;
  data->Color1 = color1;
  data->Color2 = color2;
  data->Wrap = wrap;
  *brush = GpAdoptAs(std::make_unique<GpLineGradient>(std::move(data)));
  return Ok;
}

GpStatus GdipDeleteBrush(GpBrush* brush) { return GpRelease(brush) ? Ok : InvalidParameter; }

// ---- paths ----

GpStatus GdipCreatePath(GpFillMode fillMode, GpPath** path) {
  if (!path) return InvalidParameter;
  *path = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  if (fillMode != FillModeAlternate && fillMode != FillModeWinding) return InvalidParameter;
  auto p = std::make_unique<GpPath>();
  p->FillMode = fillMode;
  *path = GpAdoptAs(std::move(p));
  return Ok;
}

GpStatus GdipDeletePath(GpPath* path) { return GpRelease(path) ? Ok : InvalidParameter; }

GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle) {
  if (!path) return InvalidParameter;
  for (REAL v : {x, y, width, height, startAngle, sweepAngle})
    if (!Finite(v)) return InvalidParameter;
  if (width <= 0 || height <= 0) return InvalidParameter;
  GpPathElement e;
  e.Type = GpPathElement::Kind::Arc;
  e.V[0] = x;
  e.V[1] = y;
  e.V[2] = width;
  e.V[3] = height;
  e.V[4] = startAngle;
  e.V[5] = sweepAngle;
  path->Elements.push_back(e);
  path->FigureOpen = true;
  return Ok;
}

GpStatus GdipClosePathFigure(GpPath* path) {
  if (!path) return InvalidParameter;
  if (path->FigureOpen) {
    GpPathElement e;
    e.Type = GpPathElement::Kind::Close;
    path->Elements.push_back(e);
    path->FigureOpen = false;
  }
  return Ok;
}

// ---- fonts and string formats ----

GpStatus GdipCreateFontFromDC(HDC dc, GpFont** font) {
  if (!font) return InvalidParameter;
  *font = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  HGDIOBJ selected = dc ? GetCurrentObject(dc, OBJ_FONT) : nullptr;
  LOGFONT lf;
  if (!selected || GetObject(selected, sizeof(lf), &lf) != sizeof(lf)) return InvalidParameter;
  const TRealizedFontPtr realized = RealizeFont(FontRequestFromLogFont(lf));
  auto f = std::make_unique<GpFont>();
  f->Family = realized->FaceName();
  f->EmSize = static_cast<REAL>(realized->Metrics().EmSize);
  f->Weight = realized->Metrics().Weight;
  f->Italic = lf.lfItalic != 0;
  f->Underline = lf.lfUnderline != 0;
  f->StrikeOut = lf.lfStrikeOut != 0;
  *font = GpAdoptAs(std::move(f));
  return Ok;
}

GpStatus GdipDeleteFont(GpFont* font) { return GpRelease(font) ? Ok : InvalidParameter; }

GpStatus GdipCreateStringFormat(int32_t formatAttributes, LANGID, GpStringFormat** format) {
  if (!format) return InvalidParameter;
  *format = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  auto f = std::make_unique<GpStringFormat>();
  f->Flags = formatAttributes;
  *format = GpAdoptAs(std::move(f));
  return Ok;
}

GpStatus GdipStringFormatGetGenericTypographic(GpStringFormat** format) {
  if (!format) return InvalidParameter;
  *format = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  auto f = std::make_unique<GpStringFormat>();
  f->Flags = StringFormatFlagsNoFitBlackBox | StringFormatFlagsLineLimit | StringFormatFlagsNoClip;
  f->Trimming = StringTrimmingNone;
  f->Typographic = true;
  *format = GpAdoptAs(std::move(f));
  return Ok;
}

GpStatus GdipDeleteStringFormat(GpStringFormat* format) { return GpRelease(format) ? Ok : InvalidParameter; }

// ---- images ----

GpStatus GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride, PixelFormat format, BYTE* scan0,
                                   GpBitmap** bitmap) {
  if (!bitmap) return InvalidParameter;
  *bitmap = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  int32_t bytesPerPixel = 0;
  if (format == PixelFormat24bppRGB)
    bytesPerPixel = 3;
  else if (format == PixelFormat32bppRGB || format == PixelFormat32bppARGB || format == PixelFormat32bppPARGB)
    bytesPerPixel = 4;
  else
    return InvalidParameter;
  constexpr int64_t kMaxPixels = int64_t(1) << 28;
  if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxPixels) return InvalidParameter;
  const int64_t rowBytes = int64_t(width) * bytesPerPixel;
  auto data = std::make_unique<GpImageData>();
  data->Width = width;
  data->Height = height;
  data->Format = format;
  if (scan0) {
    if (std::llabs(int64_t(stride)) < rowBytes) return InvalidParameter;
    data->Stride = stride;
    data->Scan0 = scan0;
  } else {
    data->Stride = static_cast<int32_t>((rowBytes + 3) & ~int64_t(3));
    try {
      data->Storage.assign(static_cast<size_t>(data->Stride) * height, 0);
    } catch (const std::bad_alloc&) {
      return OutOfMemory;
    }
    data->Scan0 = data->Storage.data();
  }
  *bitmap = GpAdoptAs(std::make_unique<GpBitmap>(std::move(data)));
  return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, uint32_t* width) {
  if (!image || !width) return InvalidParameter;
  *width = static_cast<uint32_t>(image->Data().Width);
  return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, uint32_t* height) {
  if (!image || !height) return InvalidParameter;
  *height = static_cast<uint32_t>(image->Data().Height);
  return Ok;
}

GpStatus GdipDisposeImage(GpImage* image) { return GpRelease(image) ? Ok : InvalidParameter; }

// The metafile entries are in Metafile.cpp.
