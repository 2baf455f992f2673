// Graphics objects: painter state from the graphics, pen and brush objects, and every drawing
// call, painted with QPainter into a 32-bit copy of the touched area of the DC's surface.
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTextLayout>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "platform/gdi/FontEngine.h"
#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/QtHost.h"
#include "platform/gdiplus/GdiPlusObjects.h"
#include "platform/gdiplus/Metafile.h"
#include "platform/rtl/System.h"

namespace {

// Integer coordinates are pixel centres: world (x, y) lands on Qt's (x + 0.5, y + 0.5). Without
// antialiasing the shift is a hair under a half so that edges exactly between two pixel centres
// fall as the library's do (a fill from 10 to 19 covers 10..18).
constexpr double kPixelCentre = 0.5;
constexpr double kAliasedPixelCentre = 0.5 - 1.0 / 64;

bool Finite(REAL v) { return std::isfinite(v); }

QTransform ToQt(const GpMatrix& m) { return QTransform(m.M11, m.M12, m.M21, m.M22, m.Dx, m.Dy); }
GpMatrix FromQt(const QTransform& t) { return {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()}; }

QColor ToQColor(ARGB c) { return QColor::fromRgba(static_cast<QRgb>(c)); }

bool Antialiased(const GpGraphics& g) {
  return g.Smoothing == SmoothingModeAntiAlias || g.Smoothing == SmoothingModeAntiAlias8x8 ||
         g.Smoothing == SmoothingModeHighQuality;
}

double PixelOffset(const GpGraphics& g) {
  if (g.PixelOffset == PixelOffsetModeHalf || g.PixelOffset == PixelOffsetModeHighQuality) return 0.0;
  return Antialiased(g) ? kPixelCentre : kAliasedPixelCentre;
}

// World -> device (surface pixels, Qt's convention).
QTransform DeviceTransform(const GpGraphics& g, bool pixelCentres = true) {
  const double offset = pixelCentres ? PixelOffset(g) : 0.0;
  return ToQt(g.World) * QTransform::fromTranslate(g.OriginX + offset, g.OriginY + offset);
}

// ---- clipping ----

const QRectF kEverywhere(-1e7, -1e7, 2e7, 2e7);

bool AxisAlignedInteger(const GpClipOp& op, QRect& out) {
  const GpPointF* c = op.Corners;
  const bool aligned = (c[0].Y == c[1].Y && c[1].X == c[2].X && c[2].Y == c[3].Y && c[3].X == c[0].X);
  if (!aligned) return false;
  for (const GpPointF& p : op.Corners)
    if (p.X != std::floor(p.X) || p.Y != std::floor(p.Y) || std::abs(p.X) > 1e7 || std::abs(p.Y) > 1e7) return false;
  const int l = int(std::min(c[0].X, c[2].X)), r = int(std::max(c[0].X, c[2].X));
  const int t = int(std::min(c[0].Y, c[2].Y)), b = int(std::max(c[0].Y, c[2].Y));
  out = QRect(QPoint(l, t), QPoint(r - 1, b - 1));
  return true;
}

// The graphics' own clip in device coordinates: a region when every rectangle is pixel
// aligned, else a path. Returns false when there is none.
bool GraphicsClip(const GpGraphics& g, QRegion& region, QPainterPath& path, bool& usePath) {
  if (g.Clip.empty()) return false;
  usePath = false;
  for (const GpClipOp& op : g.Clip) {
    QRect r;
    if (!AxisAlignedInteger(op, r)) usePath = true;
  }
  if (!usePath) {
    region = QRegion(kEverywhere.toRect());
    for (const GpClipOp& op : g.Clip) {
      QRect r;
      AxisAlignedInteger(op, r);
      const QRegion rr(r);
      switch (op.Mode) {
        case CombineModeReplace: region = rr; break;
        case CombineModeIntersect: region &= rr; break;
        case CombineModeUnion: region |= rr; break;
        case CombineModeXor: region ^= rr; break;
        case CombineModeExclude: region -= rr; break;
        case CombineModeComplement: region = rr - region; break;
      }
    }
    return true;
  }
  path = QPainterPath();
  path.addRect(kEverywhere);
  for (const GpClipOp& op : g.Clip) {
    QPainterPath p;
    p.moveTo(op.Corners[0].X, op.Corners[0].Y);
    for (int i = 1; i < 4; ++i) p.lineTo(op.Corners[i].X, op.Corners[i].Y);
    p.closeSubpath();
    switch (op.Mode) {
      case CombineModeReplace: path = p; break;
      case CombineModeIntersect: path = path.intersected(p); break;
      case CombineModeUnion: path = path.united(p); break;
      case CombineModeXor: path = path.united(p).subtracted(path.intersected(p)); break;
      case CombineModeExclude: path = path.subtracted(p); break;
      case CombineModeComplement: path = p.subtracted(path); break;
    }
  }
  return true;
}

// ---- painting through a 32-bit copy of the touched area ----

void LoadArea(const TSurface& s, const QRect& area, QImage& img) {
  const int bits = s.BitCount();
  for (int y = 0; y < area.height(); ++y) {
    auto* out = reinterpret_cast<QRgb*>(img.scanLine(y));
    const uint8_t* row = s.Row(area.top() + y);
    if (bits == 32) {
      const auto* in = reinterpret_cast<const uint32_t*>(row) + area.left();
      for (int x = 0; x < area.width(); ++x) out[x] = in[x] | 0xFF000000u;
    } else if (bits == 24) {
      const uint8_t* in = row + 3 * area.left();
      for (int x = 0; x < area.width(); ++x, in += 3) out[x] = qRgb(in[2], in[1], in[0]);
    } else {
      std::vector<uint32_t> values(area.width());
      GdiReadRow(s, area.top() + y, area.left(), area.width(), values.data());
      for (int x = 0; x < area.width(); ++x) {
        const COLORREF c = GdiPixelToColor(s, values[x]);
        out[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
      }
    }
  }
}

// Writes back the pixels the drawing touched. 32 bits: those whose colour changed or that the
// drawing covered (touched: the same drawing on a transparent image), with alpha 255; the fourth
// byte of every other pixel is kept. Other depths: those whose colour changed.
void StoreArea(TSurface& s, const QRect& area, const QImage& img, const QImage* touched) {
  const int bits = s.BitCount();
  for (int y = 0; y < area.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    uint8_t* row = s.Row(area.top() + y);
    if (bits == 32) {
      auto* out = reinterpret_cast<uint32_t*>(row) + area.left();
      const auto* cover = touched ? reinterpret_cast<const QRgb*>(touched->constScanLine(y)) : nullptr;
      for (int x = 0; x < area.width(); ++x)
        if (((out[x] ^ in[x]) & 0xFFFFFFu) != 0 || (cover && qAlpha(cover[x]) != 0)) out[x] = in[x] | 0xFF000000u;
    } else if (bits == 24) {
      uint8_t* out = row + 3 * area.left();
      for (int x = 0; x < area.width(); ++x, out += 3) {
        out[0] = static_cast<uint8_t>(qBlue(in[x]));
        out[1] = static_cast<uint8_t>(qGreen(in[x]));
        out[2] = static_cast<uint8_t>(qRed(in[x]));
      }
    } else {
      std::vector<uint32_t> values(area.width());
      GdiReadRow(s, area.top() + y, area.left(), area.width(), values.data());
      bool changed = false;
      for (int x = 0; x < area.width(); ++x) {
        const COLORREF before = GdiPixelToColor(s, values[x]);
        const COLORREF after = RGB(qRed(in[x]), qGreen(in[x]), qBlue(in[x]));
        if (before != after) {
          values[x] = GdiColorToPixel(s, after);
          changed = true;
        }
      }
      if (changed) GdiWriteRow(s, area.top() + y, area.left(), area.width(), values.data());
    }
  }
}

// Runs draw on a painter over the part of the surface that deviceBounds may touch, clipped by
// the DC's clip and the graphics' clip; the painter maps surface pixels.
GpStatus Paint(GpGraphics& g, const QRectF& deviceBounds, const std::function<void(QPainter&)>& draw) {
  GdiDC* dc = GdiGetDC(g.Dc);
  if (!dc) return InvalidParameter;
  TSurface& s = *dc->Surface();
  if (s.Width() <= 0 || s.Height() <= 0 || !deviceBounds.isValid()) return Ok;
  const QRectF bounded = deviceBounds.intersected(kEverywhere);
  QRect area = bounded.toAlignedRect().adjusted(-2, -2, 2, 2).intersected(QRect(0, 0, s.Width(), s.Height()));
  QRegion visible;
  if (g.DcClipped) {
    QList<QRect> rects;
    for (const TRect& r : g.DcClip) rects.append(QRect(r.Left, r.Top, r.Width(), r.Height()));
    visible.setRects(rects.constData(), static_cast<int>(rects.size()));
    area = area.intersected(visible.boundingRect());
  }
  QRegion clipRegion;
  QPainterPath clipPath;
  bool clipIsPath = false;
  const bool clipped = GraphicsClip(g, clipRegion, clipPath, clipIsPath);
  if (clipped) area = area.intersected(clipIsPath ? clipPath.boundingRect().toAlignedRect() : clipRegion.boundingRect());
  if (area.isEmpty()) return Ok;

  QImage img(area.size(), QImage::Format_RGB32);
  if (img.isNull()) return OutOfMemory;
  LoadArea(s, area, img);
  auto run = [&](QImage& target) {
    QPainter p(&target);
    const QTransform base = QTransform::fromTranslate(-area.left(), -area.top());
    p.setTransform(base);
    if (g.DcClipped) p.setClipRegion(visible);
    if (clipped) {
      if (clipIsPath) {
        p.setRenderHint(QPainter::Antialiasing, Antialiased(g));
        p.setClipPath(clipPath, g.DcClipped ? Qt::IntersectClip : Qt::ReplaceClip);
      } else {
        p.setClipRegion(clipRegion, g.DcClipped ? Qt::IntersectClip : Qt::ReplaceClip);
      }
    }
    p.setRenderHint(QPainter::Antialiasing, Antialiased(g));
    p.setRenderHint(QPainter::SmoothPixmapTransform, g.Interpolation != InterpolationModeNearestNeighbor &&
                                                         g.Interpolation != InterpolationModeLowQuality);
    p.setCompositionMode(g.Compositing == CompositingModeSourceCopy ? QPainter::CompositionMode_Source
                                                                    : QPainter::CompositionMode_SourceOver);
    draw(p);
  };
  run(img);
  // A 32-bit surface learns which pixels were painted (even in the colour they had) from a
  // second pass on a transparent image: those get alpha 255.
  QImage touched;
  if (s.BitCount() == 32) {
    touched = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
    if (touched.isNull()) return OutOfMemory;
    touched.fill(Qt::transparent);
    run(touched);
  }
  StoreArea(s, area, img, touched.isNull() ? nullptr : &touched);
  return Ok;
}

// ---- pens and brushes as painter objects ----

const uint8_t* HatchRows(GpHatchStyle style) {
  static const uint8_t kRows[6][8] = {
      {0xFF, 0, 0, 0, 0, 0, 0, 0},                           // horizontal
      {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},      // vertical
      {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},      // forward diagonal: top left to bottom right
      {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},      // backward diagonal
      {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},      // cross
      {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},      // diagonal cross
  };
  return kRows[std::clamp<int>(style, 0, 5)];
}

// surfaceToPainter: the painter's transform; the hatch is aligned to surface pixels.
QBrush ToQBrush(const GpBrushData& b, const QTransform& painterTransform, const QPoint& areaOffset) {
  switch (b.Type) {
    case GpBrushData::Kind::Solid: return QBrush(ToQColor(b.Color1));
    case GpBrushData::Kind::Hatch: {
      QImage tile(8, 8, QImage::Format_ARGB32);
      const uint8_t* rows = HatchRows(b.Hatch);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          tile.setPixel(x, y, (rows[y] & (0x80 >> x)) ? b.Color1 : b.Color2);
      QBrush brush(tile);
      // Pattern space = surface pixels: surface = image + areaOffset.
      brush.setTransform(QTransform::fromTranslate(-areaOffset.x(), -areaOffset.y()) * painterTransform.inverted());
      return brush;
    }
    case GpBrushData::Kind::LineGradient: {
      QLinearGradient gradient(b.Point1.X, b.Point1.Y, b.Point2.X, b.Point2.Y);
      gradient.setColorAt(0, ToQColor(b.Color1));
      gradient.setColorAt(1, ToQColor(b.Color2));
      gradient.setSpread(b.Wrap == WrapModeTileFlipX || b.Wrap == WrapModeTileFlipXY ? QGradient::ReflectSpread
                                                                                     : QGradient::RepeatSpread);
      return QBrush(gradient);
    }
  }
  return QBrush();
}

QPen ToQPen(const GpPen& pen) {
  QPen q(QBrush(ToQColor(pen.Color)), pen.Width < 1 ? 0.0 : pen.Width);  // thinner pens draw one pixel
  switch (pen.Dash) {
    case DashStyleDash: q.setDashPattern({3, 1}); break;
    case DashStyleDot: q.setDashPattern({1, 1}); break;
    case DashStyleDashDot: q.setDashPattern({3, 1, 1, 1}); break;
    case DashStyleDashDotDot: q.setDashPattern({3, 1, 1, 1, 1, 1}); break;
    default: q.setStyle(Qt::SolidLine); break;
  }
  switch (pen.Join) {
    case LineJoinMiter: q.setJoinStyle(Qt::MiterJoin); break;
    case LineJoinBevel: q.setJoinStyle(Qt::BevelJoin); break;
    case LineJoinRound: q.setJoinStyle(Qt::RoundJoin); break;
    case LineJoinMiterClipped: q.setJoinStyle(Qt::SvgMiterJoin); break;
  }
  q.setMiterLimit(pen.MiterLimit);
  // One cap for both ends; round or square when either end asks for it.
  const auto isCap = [&](GpLineCap a, GpLineCap b) { return pen.StartCap == a || pen.EndCap == a || pen.StartCap == b || pen.EndCap == b; };
  if (isCap(LineCapRound, LineCapRoundAnchor))
    q.setCapStyle(Qt::RoundCap);
  else if (isCap(LineCapSquare, LineCapSquareAnchor))
    q.setCapStyle(Qt::SquareCap);
  else
    q.setCapStyle(Qt::FlatCap);
  return q;
}

double StrokeMargin(const GpPen& pen) {
  const double w = std::max<double>(1.0, pen.Width);
  return pen.Join == LineJoinMiter || pen.Join == LineJoinMiterClipped ? w * pen.MiterLimit / 2 + 2 : w + 2;
}

GpStatus StrokePath(GpGraphics& g, const GpPen& pen, const QPainterPath& path) {
  const QTransform toDevice = DeviceTransform(g);
  const double m = StrokeMargin(pen);
  const QRectF bounds = toDevice.mapRect(path.controlPointRect().adjusted(-m, -m, m, m));
  return Paint(g, bounds, [&](QPainter& p) {
    p.setTransform(toDevice, true);
    p.strokePath(path, ToQPen(pen));
  });
}

GpStatus FillPath(GpGraphics& g, const GpBrush& brush, const QPainterPath& path) {
  const QTransform toDevice = DeviceTransform(g);
  const QRectF bounds = toDevice.mapRect(path.controlPointRect());
  return Paint(g, bounds, [&](QPainter& p) {
    const QPoint areaOffset(-int(p.transform().dx()), -int(p.transform().dy()));
    p.setTransform(toDevice, true);
    p.fillPath(path, ToQBrush(brush.Data(), p.transform(), areaOffset));
  });
}

// Angle on an ellipse (degrees clockwise from the x axis, y down) to the parameter angle of
// the same point, for Qt's arcs (counter-clockwise parameter angles).
double ParametricAngle(double degrees, double w, double h) {
  const double r = degrees * M_PI / 180.0;
  double t = std::atan2(w * std::sin(r), h * std::cos(r)) * 180.0 / M_PI;
  // Keep whole turns so that the sweep keeps its length.
  t += 360.0 * std::floor((degrees + 180.0) / 360.0);
  if (t - degrees > 180) t -= 360;
  if (degrees - t > 180) t += 360;
  return t;
}

// Adds an arc; connect joins it to the path's current point.
void AddArc(QPainterPath& path, double x, double y, double w, double h, double start, double sweep, bool connect) {
  const QRectF box(x, y, w, h);
  double a0, span;
  if (std::abs(sweep) >= 360) {
    a0 = start;
    span = sweep > 0 ? 360 : -360;
    a0 = ParametricAngle(start, w, h);
  } else {
    a0 = ParametricAngle(start, w, h);
    span = ParametricAngle(start + sweep, w, h) - a0;
  }
  // Qt measures counter-clockwise with y up; ours is clockwise with y down.
  QPainterPath arc;
  arc.arcMoveTo(box, -a0);
  if (connect && path.elementCount() > 0)
    path.lineTo(arc.currentPosition());
  else
    path.moveTo(arc.currentPosition());
  path.arcTo(box, -a0, -span);
}

QPainterPath BuildPath(const GpPath& gp) {
  QPainterPath path;
  path.setFillRule(gp.FillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  bool open = false;
  for (const GpPathElement& e : gp.Elements) {
    switch (e.Type) {
      case GpPathElement::Kind::MoveTo:
        path.moveTo(e.V[0], e.V[1]);
        open = true;
        break;
      case GpPathElement::Kind::LineTo:
        path.lineTo(e.V[0], e.V[1]);
        open = true;
        break;
      case GpPathElement::Kind::Arc:
        AddArc(path, e.V[0], e.V[1], e.V[2], e.V[3], e.V[4], e.V[5], open);
        open = true;
        break;
      case GpPathElement::Kind::Close:
        path.closeSubpath();
        open = false;
        break;
    }
  }
  return path;
}

QPainterPath PolygonPath(const GpPoint* points, int32_t count, bool close) {
  QPainterPath path;
  path.moveTo(points[0].X, points[0].Y);
  for (int32_t i = 1; i < count; ++i) path.lineTo(points[i].X, points[i].Y);
  if (close) path.closeSubpath();
  return path;
}

bool FiniteAll(std::initializer_list<REAL> values) {
  return std::all_of(values.begin(), values.end(), [](REAL v) { return Finite(v); });
}

}  // namespace

// ---- graphics ----

GpStatus GdipCreateFromHDC(HDC hdc, GpGraphics** graphics) { return GdipCreateFromHDC2(hdc, nullptr, graphics); }

GpStatus GdipCreateFromHDC2(HDC hdc, void*, GpGraphics** graphics) {
  if (!graphics) return InvalidParameter;
  *graphics = nullptr;
  if (!GpStarted()) return GdiplusNotInitialized;
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return OutOfMemory;  // the library's answer for a bad DC
  auto g = std::make_unique<GpGraphics>();
  g->Dc = hdc;
  const GdiXform x = GdiLogicalToDevice(*dc);
  g->OriginX = x.dx;
  g->OriginY = x.dy;
  g->DcClipped = dc->state.clip != nullptr;
  if (g->DcClipped) g->DcClip = dc->ClipRects();
  *graphics = GpAdoptAs(std::move(g));
  return Ok;
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) { return GpRelease(graphics) ? Ok : InvalidParameter; }

GpStatus GdipGetDC(GpGraphics* graphics, HDC* dc) {
  if (!graphics || !dc) return InvalidParameter;
  *dc = graphics->Dc;
  return Ok;
}

GpStatus GdipReleaseDC(GpGraphics* graphics, HDC dc) {
  if (!graphics || dc != graphics->Dc) return InvalidParameter;
  return Ok;
}

GpStatus GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode) {
  if (!graphics || mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias8x8) return InvalidParameter;
  graphics->Smoothing = mode;
  return Ok;
}

GpStatus GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode) {
  if (!graphics || !mode) return InvalidParameter;
  *mode = graphics->Smoothing;
  return Ok;
}

GpStatus GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode) {
  if (!graphics || mode < InterpolationModeDefault || mode > InterpolationModeHighQualityBicubic)
    return InvalidParameter;
  graphics->Interpolation = mode;
  return Ok;
}

GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint hint) {
  if (!graphics || hint < TextRenderingHintSystemDefault || hint > TextRenderingHintClearTypeGridFit)
    return InvalidParameter;
  graphics->TextHint = hint;
  return Ok;
}

GpStatus GdipSetCompositingMode(GpGraphics* graphics, CompositingMode mode) {
  if (!graphics || (mode != CompositingModeSourceOver && mode != CompositingModeSourceCopy)) return InvalidParameter;
  graphics->Compositing = mode;
  return Ok;
}

GpStatus GdipSetCompositingQuality(GpGraphics* graphics, CompositingQuality quality) {
  if (!graphics || quality < CompositingQualityDefault || quality > CompositingQualityAssumeLinear)
    return InvalidParameter;
  graphics->CompositingQualityValue = quality;
  return Ok;
}

GpStatus GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode) {
  if (!graphics || mode < PixelOffsetModeDefault || mode > PixelOffsetModeHalf) return InvalidParameter;
  graphics->PixelOffset = mode;
  return Ok;
}

GpStatus GdipRotateWorldTransform(GpGraphics* graphics, REAL angle, GpMatrixOrder order) {
  if (!graphics || !Finite(angle) || (order != MatrixOrderPrepend && order != MatrixOrderAppend))
    return InvalidParameter;
  QTransform r;
  r.rotate(angle);
  const QTransform w = ToQt(graphics->World);
  graphics->World = FromQt(order == MatrixOrderPrepend ? r * w : w * r);
  return Ok;
}

GpStatus GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, GpMatrixOrder order) {
  if (!graphics || !Finite(dx) || !Finite(dy) || (order != MatrixOrderPrepend && order != MatrixOrderAppend))
    return InvalidParameter;
  const QTransform t = QTransform::fromTranslate(dx, dy);
  const QTransform w = ToQt(graphics->World);
  graphics->World = FromQt(order == MatrixOrderPrepend ? t * w : w * t);
  return Ok;
}

GpStatus GdipResetWorldTransform(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  graphics->World = GpMatrix();
  return Ok;
}

GpStatus GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode mode) {
  if (!graphics || !FiniteAll({x, y, width, height}) || mode < CombineModeReplace || mode > CombineModeComplement)
    return InvalidParameter;
  const QTransform toDevice = DeviceTransform(*graphics, false);
  GpClipOp op;
  const QPointF corners[4] = {{x, y}, {x + width, y}, {x + width, y + height}, {x, y + height}};
  for (int i = 0; i < 4; ++i) {
    const QPointF d = toDevice.map(corners[i]);
    op.Corners[i] = {static_cast<REAL>(d.x()), static_cast<REAL>(d.y())};
  }
  op.Mode = mode;
  if (mode == CombineModeReplace) graphics->Clip.clear();
  graphics->Clip.push_back(op);
  return Ok;
}

GpStatus GdipResetClip(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  graphics->Clip.clear();
  return Ok;
}

// ---- shapes ----

GpStatus GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
  if (!graphics || !pen || !FiniteAll({x1, y1, x2, y2})) return InvalidParameter;
  QPainterPath path;
  path.moveTo(x1, y1);
  path.lineTo(x2, y2);
  return StrokePath(*graphics, *pen, path);
}

GpStatus GdipDrawLinesI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, int32_t count) {
  if (!graphics || !pen || !points || count < 2) return InvalidParameter;
  return StrokePath(*graphics, *pen, PolygonPath(points, count, false));
}

namespace {
// A rectangle, or the ellipse inscribed in it.
QPainterPath BoxPath(REAL x, REAL y, REAL width, REAL height, bool ellipse) {
  QPainterPath path;
  if (ellipse) path.addEllipse(QRectF(x, y, width, height));
  else path.addRect(QRectF(x, y, width, height));
  return path;
}
}  // namespace

GpStatus GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height) {
  if (!graphics || !brush || !FiniteAll({x, y, width, height})) return InvalidParameter;
  if (width <= 0 || height <= 0) return Ok;
  return FillPath(*graphics, *brush, BoxPath(x, y, width, height, false));
}

GpStatus GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height) {
  if (!graphics || !pen || !FiniteAll({x, y, width, height})) return InvalidParameter;
  if (width < 0 || height < 0) return Ok;
  return StrokePath(*graphics, *pen, BoxPath(x, y, width, height, false));
}

GpStatus GdipFillEllipse(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height) {
  if (!graphics || !brush || !FiniteAll({x, y, width, height})) return InvalidParameter;
  if (width <= 0 || height <= 0) return Ok;
  return FillPath(*graphics, *brush, BoxPath(x, y, width, height, true));
}

GpStatus GdipDrawEllipse(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height) {
  if (!graphics || !pen || !FiniteAll({x, y, width, height})) return InvalidParameter;
  if (width < 0 || height < 0) return Ok;
  return StrokePath(*graphics, *pen, BoxPath(x, y, width, height, true));
}

GpStatus GdipDrawPolygonI(GpGraphics* graphics, GpPen* pen, const GpPoint* points, int32_t count) {
  if (!graphics || !pen || !points || count < 2) return InvalidParameter;
  return StrokePath(*graphics, *pen, PolygonPath(points, count, true));
}

GpStatus GdipFillPolygonI(GpGraphics* graphics, GpBrush* brush, const GpPoint* points, int32_t count,
                          GpFillMode fillMode) {
  if (!graphics || !brush || !points || count < 2 || (fillMode != FillModeAlternate && fillMode != FillModeWinding))
    return InvalidParameter;
  QPainterPath path = PolygonPath(points, count, true);
  path.setFillRule(fillMode == FillModeWinding ? Qt::WindingFill : Qt::OddEvenFill);
  return FillPath(*graphics, *brush, path);
}

GpStatus GdipDrawArc(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                     REAL sweepAngle) {
  if (!graphics || !pen || !FiniteAll({x, y, width, height, startAngle, sweepAngle})) return InvalidParameter;
  if (width <= 0 || height <= 0) return InvalidParameter;
  QPainterPath path;
  AddArc(path, x, y, width, height, startAngle, sweepAngle, false);
  return StrokePath(*graphics, *pen, path);
}

GpStatus GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path) {
  if (!graphics || !brush || !path) return InvalidParameter;
  return FillPath(*graphics, *brush, BuildPath(*path));
}

GpStatus GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path) {
  if (!graphics || !pen || !path) return InvalidParameter;
  return StrokePath(*graphics, *pen, BuildPath(*path));
}

// ---- text ----

namespace {

struct TStringLayout {
  std::unique_ptr<QTextLayout> Layout;
  QRectF Bounds;       // world coordinates, as measured
  QPointF Origin;      // where the layout's (0, 0) goes
  int32_t Chars = 0;   // code points laid out
  int32_t Lines = 0;
  bool ClipToBox = false;
  QRectF Box;
};

QFont MakeFont(const GpFont& f, TextRenderingHint hint) {
  QFont font(QString::fromStdString(f.Family));
  font.setPixelSize(std::max(1, Round32(f.EmSize)));
  font.setWeight(static_cast<QFont::Weight>(std::clamp(f.Weight, 1, 1000)));
  font.setItalic(f.Italic);
  font.setUnderline(f.Underline);
  font.setStrikeOut(f.StrikeOut);
  font.setKerning(false);
  const bool gridFit = hint != TextRenderingHintSingleBitPerPixel && hint != TextRenderingHintAntiAlias;
  font.setHintingPreference(gridFit ? QFont::PreferFullHinting : QFont::PreferNoHinting);
  const bool aliased = hint == TextRenderingHintSingleBitPerPixel || hint == TextRenderingHintSingleBitPerPixelGridFit;
  font.setStyleStrategy(aliased ? QFont::NoAntialias : QFont::PreferAntialias);
  return font;
}

// The one layout that both measuring and drawing use.
TStringLayout LayoutString(const GpGraphics& g, std::string_view text, const GpFont& font, const RectF* box,
                           const GpStringFormat* format) {
  TStringLayout out;
  const QFont qfont = MakeFont(font, g.TextHint);
  const QFontMetricsF fm(qfont);
  const int32_t flags = format ? format->Flags : 0;
  const bool typographic = format && format->Typographic;
  const double pad = typographic ? 0.0 : font.EmSize / 6.0;
  const bool hasBox = box && (box->Width > 0 || box->Height > 0);
  const double boxW = hasBox ? box->Width : 0, boxH = hasBox ? box->Height : 0;
  const bool wrap = hasBox && boxW > 0 && !(flags & StringFormatFlagsNoWrap);
  const double lineWidth = wrap ? std::max(0.0, boxW - 2 * pad) : 1e7;

  QTextOption option;
  option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
  option.setTextDirection((flags & StringFormatFlagsDirectionRightToLeft) ? Qt::RightToLeft : Qt::LeftToRight);
  option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
  option.setUseDesignMetrics(g.TextHint == TextRenderingHintAntiAlias || g.TextHint == TextRenderingHintSingleBitPerPixel);
  if (flags & StringFormatFlagsMeasureTrailingSpaces) option.setFlags(QTextOption::IncludeTrailingSpaces);
  out.Layout = std::make_unique<QTextLayout>(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), qfont);
  QTextLayout& layout = *out.Layout;
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  const double spacing = fm.lineSpacing();
  const bool lineLimit = (flags & StringFormatFlagsLineLimit) && boxH > 0;
  double y = 0;
  layout.beginLayout();
  for (;;) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(lineWidth);
    line.setPosition(QPointF(0, y));
    if (lineLimit && out.Lines > 0 && y + spacing > boxH + 1e-3) {
      // Only whole lines: this one and the rest are left out.
      break;
    }
    ++out.Lines;
    y += spacing;
  }
  layout.endLayout();
  if (out.Lines > 0) {
    const QTextLine last = layout.lineAt(out.Lines - 1);
    const QString& str = layout.text();
    const qsizetype end = std::min<qsizetype>(str.size(), last.textStart() + last.textLength());
    for (qsizetype i = 0; i < end; ++i)
      if (!str[i].isLowSurrogate()) ++out.Chars;
  }
  const double height = out.Lines * spacing;
  // Place the lines by the alignments.
  const StringAlignment align = format ? format->Alignment : StringAlignmentNear;
  const StringAlignment lineAlign = format ? format->LineAlignment : StringAlignmentNear;
  const double x0 = hasBox ? box->X : (box ? box->X : 0), y0 = hasBox ? box->Y : (box ? box->Y : 0);
  for (int i = 0; i < out.Lines; ++i) {
    QTextLine line = layout.lineAt(i);
    const double w = line.naturalTextWidth();
    double x = pad;
    const double room = hasBox && boxW > 0 ? boxW - 2 * pad : 0;
    if (align == StringAlignmentCenter)
      x = hasBox && boxW > 0 ? pad + (room - w) / 2 : -w / 2;
    else if (align == StringAlignmentFar)
      x = hasBox && boxW > 0 ? pad + room - w : -w - pad;
    line.setPosition(QPointF(x, line.y()));
  }
  double top = 0;
  if (hasBox && boxH > 0) {
    if (lineAlign == StringAlignmentCenter)
      top = (boxH - height) / 2;
    else if (lineAlign == StringAlignmentFar)
      top = boxH - height;
  } else if (lineAlign == StringAlignmentCenter) {
    top = -height / 2;
  } else if (lineAlign == StringAlignmentFar) {
    top = -height;
  }
  out.Origin = QPointF(x0, y0 + top);
  // The measured box: the lines' extent plus the padding.
  double left = 1e300, right = -1e300;
  for (int i = 0; i < out.Lines; ++i) {
    QTextLine line = layout.lineAt(i);
    left = std::min(left, line.x() - pad);
    right = std::max(right, line.x() + line.naturalTextWidth() + pad);
  }
  if (out.Lines == 0) left = right = 0;
  double measuredH = height;
  if (hasBox && boxH > 0) measuredH = std::min(measuredH, boxH);
  out.Bounds = QRectF(x0 + left, y0 + top, std::max(0.0, right - left), measuredH);
  if (hasBox && boxW > 0) out.Bounds.setWidth(std::min(out.Bounds.width(), boxW));
  out.ClipToBox = hasBox && boxW > 0 && boxH > 0 && !(flags & StringFormatFlagsNoClip);
  if (out.ClipToBox) out.Box = QRectF(box->X, box->Y, boxW, boxH);
  return out;
}

}  // namespace

GpStatus GdipMeasureString(GpGraphics* graphics, std::string_view text, const GpFont* font, const RectF* layoutRect,
                           const GpStringFormat* format, RectF* boundingBox, int32_t* codepointsFitted,
                           int32_t* linesFilled) {
  if (!graphics || !font || !layoutRect || !boundingBox) return InvalidParameter;
  if (!FiniteAll({layoutRect->X, layoutRect->Y, layoutRect->Width, layoutRect->Height})) return InvalidParameter;
  if (text.empty()) {
    *boundingBox = {layoutRect->X, layoutRect->Y, 0, 0};
    if (codepointsFitted) *codepointsFitted = 0;
    if (linesFilled) *linesFilled = 0;
    return Ok;
  }
  if (!EnsureGuiApplication()) return GenericError;
  const TStringLayout s = LayoutString(*graphics, text, *font, layoutRect, format);
  *boundingBox = {static_cast<REAL>(s.Bounds.x()), static_cast<REAL>(s.Bounds.y()),
                  static_cast<REAL>(s.Bounds.width()), static_cast<REAL>(s.Bounds.height())};
  if (codepointsFitted) *codepointsFitted = s.Chars;
  if (linesFilled) *linesFilled = s.Lines;
  return Ok;
}

GpStatus GdipDrawString(GpGraphics* graphics, std::string_view text, const GpFont* font, const RectF* layoutRect,
                        const GpStringFormat* format, const GpBrush* brush) {
  if (!graphics || !font || !layoutRect || !brush) return InvalidParameter;
  if (!FiniteAll({layoutRect->X, layoutRect->Y, layoutRect->Width, layoutRect->Height})) return InvalidParameter;
  if (text.empty()) return Ok;
  if (!EnsureGuiApplication()) return GenericError;
  const TStringLayout s = LayoutString(*graphics, text, *font, layoutRect, format);
  // Glyph origins stay on the pixel grid (as grid-fitted text does), so text is not blurred.
  const QTransform toDevice = DeviceTransform(*graphics, false);
  const double m = font->EmSize;  // room for overhanging glyphs
  QRectF bounds = s.Bounds.adjusted(-m, -m, m, m);
  if (s.ClipToBox) bounds = bounds.intersected(s.Box);
  const TextRenderingHint hint = graphics->TextHint;
  return Paint(*graphics, toDevice.mapRect(bounds), [&](QPainter& p) {
    const QPoint areaOffset(-int(p.transform().dx()), -int(p.transform().dy()));
    p.setTransform(toDevice, true);
    if (s.ClipToBox) p.setClipRect(s.Box, Qt::IntersectClip);
    const bool aliased = hint == TextRenderingHintSingleBitPerPixel || hint == TextRenderingHintSingleBitPerPixelGridFit;
    p.setRenderHint(QPainter::TextAntialiasing, !aliased);
    p.setPen(QPen(ToQBrush(brush->Data(), p.transform(), areaOffset), 0));
    for (int i = 0; i < s.Lines; ++i) s.Layout->lineAt(i).draw(&p, s.Origin);
  });
}

// ---- images ----

namespace {

// The bitmap's pixels as an image Qt can draw (a copy for odd strides).
QImage ToQImage(const GpImageData& d) {
  QImage::Format format = QImage::Format_ARGB32;
  int bytes = 4;
  if (d.Format == PixelFormat24bppRGB) {
    format = QImage::Format_BGR888;
    bytes = 3;
  } else if (d.Format == PixelFormat32bppRGB) {
    format = QImage::Format_RGB32;
  } else if (d.Format == PixelFormat32bppPARGB) {
    format = QImage::Format_ARGB32_Premultiplied;
  }
  QImage img(d.Width, d.Height, format);
  if (img.isNull()) return img;
  if (format == QImage::Format_BGR888) {
    // Memory order B, G, R: Qt's BGR888 is R, G, B in memory, so swap while copying.
    img = QImage(d.Width, d.Height, QImage::Format_RGB888);
    for (int y = 0; y < d.Height; ++y) {
      const BYTE* in = d.Scan0 + static_cast<intptr_t>(y) * d.Stride;
      uchar* out = img.scanLine(y);
      for (int x = 0; x < d.Width; ++x) {
        out[3 * x] = in[3 * x + 2];
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = in[3 * x];
      }
    }
    return img;
  }
  for (int y = 0; y < d.Height; ++y)
    std::memcpy(img.scanLine(y), d.Scan0 + static_cast<intptr_t>(y) * d.Stride, static_cast<size_t>(d.Width) * bytes);
  return img;
}

}  // namespace

GpStatus GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height) {
  if (!graphics || !image || !FiniteAll({x, y, width, height})) return InvalidParameter;
  const GpImageData& d = image->Data();
  if (width == 0 || height == 0) return Ok;
  QImage img;
  std::vector<uint32_t> drawn;  // a metafile drawn at the target's size (backs img)
  if (d.Metafile) {
    const QRectF box = DeviceTransform(*graphics, false).mapRect(QRectF(x, y, width, height).normalized());
    const int32_t w = std::max(1, static_cast<int32_t>(std::lround(box.width())));
    const int32_t h = std::max(1, static_cast<int32_t>(std::lround(box.height())));
    if (!GpRasterizeMetafile(d, w, h, drawn)) return GenericError;
    img = QImage(reinterpret_cast<const uchar*>(drawn.data()), w, h, w * 4, QImage::Format_ARGB32_Premultiplied);
  } else {
    img = ToQImage(d);
  }
  if (img.isNull()) return OutOfMemory;
  // Image rectangles take whole pixels, so a 1:1 draw copies pixels exactly.
  const QTransform toDevice = DeviceTransform(*graphics, false);
  const QRectF target(x, y, width, height);
  return Paint(*graphics, toDevice.mapRect(target.normalized()), [&](QPainter& p) {
    p.setTransform(toDevice, true);
    p.drawImage(target, img);
  });
}
