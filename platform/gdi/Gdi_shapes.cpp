// Shapes: rectangles, ellipses, rounded rectangles, arcs, pies, chords and polygons. Each shape
// is rasterised into a mask of pen and fill pixels (every pixel painted once), then painted
// through the clip with the DC's ROP2, so drawing a shape twice with R2_NOT restores it.
//
// Boxes exclude their right and bottom edges. A one-pixel pen runs along the box's edge pixels;
// a wider pen is centred on them (PS_INSIDEFRAME keeps it inside the box); with the null pen the
// interior covers the box less its last column and row, as the platform's does.
#include <algorithm>
#include <cmath>

#include "platform/gdi/GdiInternal.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

using Scan = std::function<void(int32_t, int32_t, int32_t)>;

enum class Kind { Rect, Ellipse, RoundRect };

struct BoxF {
  double l, t, r, b;
};

// Scans a shape of the given kind in a continuous box (pixel centres inside).
void ScanShape(Kind k, const BoxF& b, double cw, double ch, const TRect& limit, const Scan& fn) {
  switch (k) {
    case Kind::Rect: GdiScanRoundRect(b.l, b.t, b.r, b.b, 0, 0, limit, fn); break;
    case Kind::Ellipse: GdiScanEllipse(b.l, b.t, b.r, b.b, limit, fn); break;
    case Kind::RoundRect: GdiScanRoundRect(b.l, b.t, b.r, b.b, cw, ch, limit, fn); break;
  }
}

// Angular part of an arc, pie or chord (device space, y down; angles counter-clockwise as seen).
struct Sector {
  enum Mode { All, Arc, Pie, Chord } mode = All;
  double cx = 0, cy = 0;   // centre
  double a0 = 0, span = 0;  // start angle and counter-clockwise sweep (radians)
  double sx = 0, sy = 0, ex = 0, ey = 0;  // chord end points (continuous)
  double side = 0;                       // sign of the arc's side of the chord
  bool InAngle(double px, double py) const {
    if (span >= 2 * kPi) return true;
    double a = std::atan2(-(py - cy), px - cx) - a0;
    while (a < 0) a += 2 * kPi;
    while (a >= 2 * kPi) a -= 2 * kPi;
    return a <= span + 1e-12;
  }
  double ChordSide(double px, double py) const { return (ex - sx) * (py - sy) - (ey - sy) * (px - sx); }
  // Pixel (x, y) belongs to the outline part (arc) or fill part of the shape.
  bool Keep(int32_t x, int32_t y, bool outline) const {
    const double px = x + 0.5, py = y + 0.5;
    switch (mode) {
      case All: return true;
      case Arc:
      case Pie: return InAngle(px, py);
      case Chord:
        if (outline) return InAngle(px, py);
        return ChordSide(px, py) * side >= 0;
    }
    return true;
  }
};

TRect BoundsOf(const BoxF& b, int32_t grow) {
  auto fl = [](double v) { return static_cast<int32_t>(std::clamp(std::floor(v), -4e8, 4e8)); };
  auto ce = [](double v) { return static_cast<int32_t>(std::clamp(std::ceil(v), -4e8, 4e8)); };
  return {fl(b.l) - grow, fl(b.t) - grow, ce(b.r) + grow, ce(b.b) + grow};
}

void MarkScan(GdiMask& m, Kind k, const BoxF& b, double cw, double ch, uint8_t v, const Sector& sec, bool outline) {
  ScanShape(k, b, cw, ch, m.bounds, [&](int32_t y, int32_t x0, int32_t x1) {
    uint8_t* row = m.Row(y);
    for (int32_t x = x0; x < x1; ++x)
      if (sec.Keep(x, y, outline)) row[x] = v;
  });
}

// Point of the pen path ellipse (continuous box) in the direction of (px, py) from its centre.
GdiPointF OnEllipse(const BoxF& path, double px, double py) {
  const double cx = (path.l + path.r) / 2, cy = (path.t + path.b) / 2;
  const double rx = std::max((path.r - path.l) / 2, 1e-9), ry = std::max((path.b - path.t) / 2, 1e-9);
  double dx = px - cx, dy = py - cy;
  if (dx == 0 && dy == 0) dx = 1;
  const double k = 1 / std::sqrt(dx * dx / (rx * rx) + dy * dy / (ry * ry));
  return {cx + dx * k, cy + dy * k};
}

TPoint PixelOf(const GdiPointF& p) {
  return {static_cast<int32_t>(std::floor(p.x)), static_cast<int32_t>(std::floor(p.y))};
}

// Outlines up to this size are walked whole for the dash pattern, so clipping does not move it;
// larger ones count only the pixels inside the clip box.
constexpr int32_t kMaxDashWalk = 1 << 15;

// Where a dashed outline is walked: all of it when it is not huge, else the clipped part.
TRect DashArea(const GdiMask& m, const BoxF& outer) {
  const TRect whole = BoundsOf(outer, 2);
  return whole.Width() <= kMaxDashWalk && whole.Height() <= kMaxDashWalk ? whole : m.bounds;
}

// Marks pixel (x, y) of a dashed outline by pattern step k (a gap never covers a pen pixel).
void DashPixel(GdiMask& m, const GdiPenSetup& ps, int32_t period, int64_t k, int32_t x, int32_t y) {
  if (!m.bounds.Contains({x, y})) return;
  uint8_t& v = m.Row(y)[x];
  if (GdiDashOn(ps.dashes, period, k)) v = kMaskPen;
  else if (v != kMaskPen) v = ps.gap.kind != GdiPaint::None ? kMaskGap : kMaskNone;
}

int32_t DashPeriod(const GdiPenSetup& ps) {
  int32_t period = 0;
  for (int32_t d : ps.dashes) period += d;
  return std::max(period, 1);
}

// The cosmetic dash pattern along a one-pixel curved outline already marked as pen (the ring
// between the outer and inner shapes, within the sector): its pixels are walked in order from the
// start point (3 o'clock for whole shapes, the arc's start otherwise) in the arc direction, the
// pattern counter advancing one step per pixel as along lines. Returns the steps walked.
int64_t DashRing(GdiMask& m, const TRect& area, Kind kind, const BoxF& outer, const BoxF& inner, double cw, double ch,
                 double icw, double ich, const Sector& sec, const BoxF& path, bool clockwise, const GdiPenSetup& ps) {
  if (area.IsEmpty()) return 0;
  // Inner spans by row, then the ring: outer spans less the inner span of their row.
  std::vector<std::pair<int32_t, int32_t>> innerRow(static_cast<size_t>(area.Height()), {0, 0});
  ScanShape(kind, inner, icw, ich, area, [&](int32_t y, int32_t x0, int32_t x1) {
    innerRow[static_cast<size_t>(y - area.Top)] = {x0, x1};
  });
  const double cx = (path.l + path.r) / 2, cy = (path.t + path.b) / 2;
  const double start = sec.mode == Sector::All ? 0 : clockwise ? sec.a0 + sec.span : sec.a0;
  struct Px {
    double key;
    int32_t x, y;
  };
  std::vector<Px> ring;
  ScanShape(kind, outer, cw, ch, area, [&](int32_t y, int32_t x0, int32_t x1) {
    const auto [i0, i1] = innerRow[static_cast<size_t>(y - area.Top)];
    for (int32_t x = x0; x < x1; ++x) {
      if ((x >= i0 && x < i1) || !sec.Keep(x, y, true)) continue;
      double a = std::atan2(-(y + 0.5 - cy), x + 0.5 - cx);
      a = clockwise ? start - a : a - start;
      a = std::fmod(a, 2 * kPi);
      if (a < 0) a += 2 * kPi;
      ring.push_back({a, x, y});
    }
  });
  std::sort(ring.begin(), ring.end(), [](const Px& a, const Px& b) {
    return a.key != b.key ? a.key < b.key : a.y != b.y ? a.y < b.y : a.x < b.x;
  });
  const int32_t period = DashPeriod(ps);
  for (size_t i = 0; i < ring.size(); ++i) {
    // The ring's pixels are the outline's own: a gap there is not pen either.
    if (m.bounds.Contains({ring[i].x, ring[i].y})) m.Row(ring[i].y)[ring[i].x] = kMaskNone;
    DashPixel(m, ps, period, static_cast<int64_t>(i), ring[i].x, ring[i].y);
  }
  return static_cast<int64_t>(ring.size());
}

// The radii of a pie or the chord as the solid pen takes them (pts in drawing order, the last
// point included), dashed from their last pixel back to the first, continuing at phase.
void DashEdgeBackwards(GdiMask& m, const TRect& area, const std::vector<TPoint>& pts, const GdiPenSetup& ps,
                       int64_t phase) {
  std::vector<TPoint> px;
  for (size_t i = 0; i + 1 < pts.size(); ++i)
    GdiWalkLine(pts[i].X, pts[i].Y, pts[i + 1].X, pts[i + 1].Y, area,
                [&](int32_t x, int32_t y, int64_t) { px.push_back({x, y}); });
  if (!pts.empty() && area.Contains(pts.back())) px.push_back(pts.back());
  const int32_t period = DashPeriod(ps);
  for (size_t i = 0; i < px.size(); ++i) {
    const TPoint& p = px[px.size() - 1 - i];
    DashPixel(m, ps, period, phase + static_cast<int64_t>(i), p.X, p.Y);
  }
}

// Draws a box shape given in device coordinates (normalised, right/bottom excluded).
void DrawBoxShape(GdiDC& dc, const TRect& box, Kind kind, double cw, double ch, Sector::Mode mode,
                  double xs = 0, double ys = 0, double xe = 0, double ye = 0) {
  const GdiPenSetup ps = GdiSetupPen(dc);
  const bool fill = mode != Sector::Arc;
  const GdiPaint brush = fill ? GdiBrushPaint(dc, dc.state.brush.get()) : GdiPaint();
  if (ps.null && (brush.kind == GdiPaint::None || !fill)) return;
  const double l = box.Left, t = box.Top, r = box.Right, b = box.Bottom;
  const double w = ps.null ? 0 : ps.width;
  BoxF outer, inner;
  if (ps.null) {
    inner = {l, t, r - 1, b - 1};
    outer = inner;
  } else if (ps.insideFrame) {
    outer = {l, t, r, b};
    inner = {l + w, t + w, r - w, b - w};
  } else {
    outer = {l + 0.5 - w / 2, t + 0.5 - w / 2, r - 0.5 + w / 2, b - 0.5 + w / 2};
    inner = {l + 0.5 + w / 2, t + 0.5 + w / 2, r - 0.5 - w / 2, b - 0.5 - w / 2};
  }
  const double inset = (inner.r - inner.l < outer.r - outer.l) ? (outer.r - outer.l) - (inner.r - inner.l) : 0;
  const double icw = std::max(0.0, cw - inset), ich = std::max(0.0, ch - inset);

  // The angular part, from the pen path (the box's edge pixel centres).
  Sector sec;
  sec.mode = mode;
  const BoxF path{l + 0.5, t + 0.5, r - 0.5, b - 0.5};
  GdiPointF ps0, pe0;
  if (mode != Sector::All) {
    sec.cx = (l + r) / 2;
    sec.cy = (t + b) / 2;
    double a0 = std::atan2(-(ys - sec.cy), xs - sec.cx), a1 = std::atan2(-(ye - sec.cy), xe - sec.cx);
    if (dc.state.arcDirection == AD_CLOCKWISE) std::swap(a0, a1);
    double span = a1 - a0;
    while (span <= 0) span += 2 * kPi;
    sec.a0 = a0;
    sec.span = span;
    ps0 = OnEllipse(path, xs, ys);
    pe0 = OnEllipse(path, xe, ye);
    sec.sx = ps0.x; sec.sy = ps0.y; sec.ex = pe0.x; sec.ey = pe0.y;
    const double mid = a0 + span / 2;
    const GdiPointF pm = OnEllipse(path, sec.cx + std::cos(mid), sec.cy - std::sin(mid));
    sec.side = sec.ChordSide(pm.x, pm.y) >= 0 ? 1 : -1;
  }

  TRect mb;
  if (!IntersectRect(mb, BoundsOf(outer, 2), dc.ClipBox())) return;
  GdiMask m(mb);
  const bool dashedRect = kind == Kind::Rect && !ps.null && !ps.wide && !ps.dashes.empty();
  if (ps.null) {
    if (fill) MarkScan(m, kind, inner, icw, ich, kMaskFill, sec, false);
  } else if (dashedRect) {
    if (fill) MarkScan(m, kind, inner, 0, 0, kMaskFill, sec, false);
    const std::vector<TPoint> loop = {{box.Left, box.Top}, {box.Right - 1, box.Top},
                                      {box.Right - 1, box.Bottom - 1}, {box.Left, box.Bottom - 1}};
    GdiStrokeThin(m, loop, true, ps.dashes, 0, ps.gap.kind != GdiPaint::None);
  } else {
    // The pen is the outer shape less the inner one, which is the interior (arcs have none).
    MarkScan(m, kind, outer, cw, ch, kMaskPen, sec, true);
    if (mode == Sector::Chord) {
      // Inside, only the part the chord cuts off is the shape; the rest of the arc's sector (on
      // the centre's side of the chord) is not.
      ScanShape(kind, inner, icw, ich, m.bounds, [&](int32_t y, int32_t x0, int32_t x1) {
        uint8_t* row = m.Row(y);
        for (int32_t x = x0; x < x1; ++x)
          if (sec.Keep(x, y, false)) row[x] = kMaskFill;
          else if (row[x] == kMaskPen) row[x] = kMaskNone;
      });
    } else {
      MarkScan(m, kind, inner, icw, ich, fill ? kMaskFill : kMaskNone, sec, !fill);
    }
    const bool dashed = !ps.wide && !ps.dashes.empty();
    const bool clockwise = dc.state.arcDirection == AD_CLOCKWISE;
    const TRect dashArea = dashed ? DashArea(m, outer) : TRect();
    int64_t phase = 0;
    if (dashed) phase = DashRing(m, dashArea, kind, outer, inner, cw, ch, icw, ich, sec, path, clockwise, ps);
    if (mode == Sector::Pie || mode == Sector::Chord) {
      // The radii of a pie, or the chord, in the pen; dashed ones continue the arc's pattern from
      // where the arc ends back to where it started.
      const TPoint c = PixelOf({sec.cx, sec.cy}), s = PixelOf(ps0), e = PixelOf(pe0);
      std::vector<TPoint> edge = mode == Sector::Pie ? std::vector<TPoint>{s, c, e} : std::vector<TPoint>{e, s};
      if (ps.wide) {
        std::vector<GdiPointF> pts;
        for (const TPoint& p : edge) pts.push_back({p.X + 0.5, p.Y + 0.5});
        GdiStrokeWide(m, pts, false, ps.width, PS_ENDCAP_ROUND, kMaskPen);
      } else if (dashed) {
        // The pattern runs on from the arc's end: back along the pie's radii, or along the chord.
        if (mode == Sector::Pie) {
          DashEdgeBackwards(m, dashArea, edge, ps, phase);
        } else {
          GdiStrokeThin(m, edge, false, ps.dashes, phase, ps.gap.kind != GdiPaint::None);
          DashPixel(m, ps, DashPeriod(ps), phase + GdiLineSteps(e.X, e.Y, s.X, s.Y), s.X, s.Y);
        }
      } else {
        GdiStrokeThin(m, edge, false, {}, 0, false);
        m.Set(edge.back().X, edge.back().Y, kMaskPen);
      }
    }
  }
  GdiPaintMask(dc, m, brush, ps.pen, ps.gap);
}

// Shapes under a rotating or shearing transform: polygons in device space.
void DrawPolygonsDevice(GdiDC& dc, const std::vector<std::vector<GdiPointF>>& polys, int32_t fillMode, bool fill,
                        bool closedOutline) {
  const GdiPenSetup ps = GdiSetupPen(dc);
  const GdiPaint brush = fill ? GdiBrushPaint(dc, dc.state.brush.get()) : GdiPaint();
  if (ps.null && brush.kind == GdiPaint::None) return;
  double x0 = 1e18, y0 = 1e18, x1 = -1e18, y1 = -1e18;
  for (const auto& poly : polys)
    for (const GdiPointF& p : poly) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
      x0 = std::min(x0, p.x); y0 = std::min(y0, p.y); x1 = std::max(x1, p.x); y1 = std::max(y1, p.y);
    }
  if (x0 > x1) return;
  const int32_t grow = static_cast<int32_t>(ps.width) + 2;
  TRect mb;
  if (!IntersectRect(mb, BoundsOf({x0, y0, x1, y1}, grow), dc.ClipBox())) return;
  GdiMask m(mb);
  if (fill && brush.kind != GdiPaint::None) {
    GdiScanPolygons(polys, fillMode, mb, [&](int32_t y, int32_t a, int32_t b) {
      std::fill(m.Row(y) + a, m.Row(y) + b, kMaskFill);
    });
  }
  if (!ps.null) {
    for (const auto& poly : polys) {
      if (poly.empty()) continue;
      if (ps.wide) {
        std::vector<GdiPointF> c;
        for (const GdiPointF& p : poly) c.push_back({std::floor(p.x) + 0.5, std::floor(p.y) + 0.5});
        GdiStrokeWide(m, c, closedOutline, ps.width, ps.endCap, kMaskPen);
      } else {
        std::vector<TPoint> pts;
        for (const GdiPointF& p : poly) pts.push_back(PixelOf(p));
        GdiStrokeThin(m, pts, closedOutline, ps.dashes, 0, ps.gap.kind != GdiPaint::None);
      }
    }
  }
  GdiPaintMask(dc, m, brush, ps.pen, ps.gap);
}

// A logical box shape flattened to a polygon in device space (for rotating transforms).
std::vector<GdiPointF> FlattenLogical(GdiDC& dc, Kind kind, const TRect& r, double cw, double ch, Sector::Mode mode,
                                      double xs, double ys, double xe, double ye) {
  std::vector<GdiPointF> out;
  auto add = [&](double x, double y) {
    double dx, dy;
    GdiLPtoDPf(dc, x, y, dx, dy);
    out.push_back({dx, dy});
  };
  const double l = r.Left, t = r.Top, rr = r.Right, b = r.Bottom;
  const double cx = (l + rr) / 2, cy = (t + b) / 2, rx = (rr - l) / 2, ry = (b - t) / 2;
  constexpr int32_t kSteps = 96;
  if (kind == Kind::Rect) {
    add(l, t); add(rr, t); add(rr, b); add(l, b);
    return out;
  }
  if (kind == Kind::RoundRect) {
    const double hw = std::min(cw, rr - l) / 2, hh = std::min(ch, b - t) / 2;
    const double cxs[4] = {rr - hw, l + hw, l + hw, rr - hw}, cys[4] = {t + hh, t + hh, b - hh, b - hh};
    for (int32_t q = 0; q < 4; ++q)
      for (int32_t i = 0; i <= kSteps / 4; ++i) {
        const double a = (q * 90.0 + i * 360.0 / kSteps) * kPi / 180;
        add(cxs[q] + hw * std::cos(a), cys[q] - hh * std::sin(a));
      }
    return out;
  }
  double a0 = 0, span = 2 * kPi;
  if (mode != Sector::All) {
    a0 = std::atan2(-(ys - cy), xs - cx);
    double a1 = std::atan2(-(ye - cy), xe - cx);
    if (dc.state.arcDirection == AD_CLOCKWISE) std::swap(a0, a1);
    span = a1 - a0;
    while (span <= 0) span += 2 * kPi;
  }
  const int32_t n = std::max<int32_t>(2, static_cast<int32_t>(kSteps * span / (2 * kPi)));
  for (int32_t i = 0; i <= n; ++i) {
    const double a = a0 + span * i / n;
    add(cx + rx * std::cos(a), cy - ry * std::sin(a));
  }
  if (mode == Sector::Pie) add(cx, cy);
  return out;
}

BOOL BoxCall(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b, Kind kind, double cw, double ch, Sector::Mode mode,
             int32_t xs = 0, int32_t ys = 0, int32_t xe = 0, int32_t ye = 0) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TRect lr = NormalizedRect(TRect(l, t, r, b));
  if (!GdiIsAxisAligned(*dc)) {
    auto poly = FlattenLogical(*dc, kind, lr, cw, ch, mode, xs, ys, xe, ye);
    DrawPolygonsDevice(*dc, {poly}, ALTERNATE, mode != Sector::Arc, mode != Sector::Arc);
    return 1;
  }
  const TRect d = GdiLPtoDPRect(*dc, lr);
  if (d.IsEmpty()) return 1;
  // Corner sizes and arc points in device units.
  const GdiXform m = GdiLogicalToDevice(*dc);
  const double dcw = std::abs(cw * m.m11), dch = std::abs(ch * m.m22);
  double dxs = 0, dys = 0, dxe = 0, dye = 0;
  GdiLPtoDPf(*dc, xs, ys, dxs, dys);
  GdiLPtoDPf(*dc, xe, ye, dxe, dye);
  DrawBoxShape(*dc, d, kind, dcw, dch, mode, dxs, dys, dxe, dye);
  return 1;
}

// Rectangles with a solid pen are painted as bands, without a mask.
bool FastRectangle(GdiDC& dc, const TRect& d) {
  const GdiPenSetup ps = GdiSetupPen(dc);
  if (!ps.dashes.empty()) return false;
  const GdiPaint brush = GdiBrushPaint(dc, dc.state.brush.get());
  if (ps.null) {
    GdiPaintRect(dc, brush, TRect(d.Left, d.Top, d.Right - 1, d.Bottom - 1));
    return true;
  }
  const int32_t w = static_cast<int32_t>(ps.width);
  TRect o = d, i;
  if (ps.insideFrame || w == 1) {
    i = TRect(d.Left + w, d.Top + w, d.Right - w, d.Bottom - w);
  } else {
    o = TRect(d.Left - w / 2, d.Top - w / 2, d.Right - 1 + (w + 1) / 2, d.Bottom - 1 + (w + 1) / 2);
    i = TRect(d.Left + (w + 1) / 2, d.Top + (w + 1) / 2, d.Right - 1 - w / 2, d.Bottom - 1 - w / 2);
  }
  if (i.IsEmpty()) {
    GdiPaintRect(dc, ps.pen, o);
    return true;
  }
  GdiPaintRect(dc, ps.pen, TRect(o.Left, o.Top, o.Right, i.Top));
  GdiPaintRect(dc, ps.pen, TRect(o.Left, i.Bottom, o.Right, o.Bottom));
  GdiPaintRect(dc, ps.pen, TRect(o.Left, i.Top, i.Left, i.Bottom));
  GdiPaintRect(dc, ps.pen, TRect(i.Right, i.Top, o.Right, i.Bottom));
  GdiPaintRect(dc, brush, i);
  return true;
}

}  // namespace

BOOL Rectangle(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  if (GdiIsAxisAligned(*dc)) {
    const TRect d = GdiLPtoDPRect(*dc, NormalizedRect(TRect(l, t, r, b)));
    if (d.IsEmpty()) return 1;
    if (FastRectangle(*dc, d)) return 1;
  }
  return BoxCall(hdc, l, t, r, b, Kind::Rect, 0, 0, Sector::All);
}

BOOL Ellipse(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b) {
  return BoxCall(hdc, l, t, r, b, Kind::Ellipse, 0, 0, Sector::All);
}

BOOL RoundRect(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h) {
  return BoxCall(hdc, l, t, r, b, Kind::RoundRect, std::abs(double(w)), std::abs(double(h)), Sector::All);
}

BOOL Arc(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  return BoxCall(hdc, l, t, r, b, Kind::Ellipse, 0, 0, Sector::Arc, xs, ys, xe, ye);
}

BOOL Pie(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  return BoxCall(hdc, l, t, r, b, Kind::Ellipse, 0, 0, Sector::Pie, xs, ys, xe, ye);
}

BOOL Chord(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  return BoxCall(hdc, l, t, r, b, Kind::Ellipse, 0, 0, Sector::Chord, xs, ys, xe, ye);
}

BOOL PolyPolygon(HDC hdc, const TPoint* pts, const int32_t* counts, int32_t polyCount) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !pts || !counts || polyCount <= 0) return 0;
  std::vector<std::vector<GdiPointF>> polys;
  size_t k = 0;
  for (int32_t i = 0; i < polyCount; ++i)
    if (counts[i] < 2) return 0;
  for (int32_t i = 0; i < polyCount; ++i) {
    // Vertices snap to device pixels, as the outline's do.
    std::vector<GdiPointF> poly;
    for (int32_t j = 0; j < counts[i]; ++j, ++k) {
      const TPoint p = GdiLPtoDP(*dc, pts[k]);
      poly.push_back({double(p.X), double(p.Y)});
    }
    polys.push_back(std::move(poly));
  }
  DrawPolygonsDevice(*dc, polys, dc->state.polyFillMode, true, true);
  return 1;
}

BOOL Polygon(HDC hdc, const TPoint* pts, int32_t count) {
  if (count < 2) return 0;
  return PolyPolygon(hdc, pts, &count, 1);
}
