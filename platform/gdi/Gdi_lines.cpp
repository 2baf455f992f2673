// Lines: cosmetic lines by the platform's rule (end point excluded) with the cosmetic dash
// patterns continued across the segments of one call, gaps in the background colour in opaque
// mode; wide pens as round-jointed strokes; LineDDA; Bezier curves as flattened polylines.
#include <cmath>

#include "platform/gdi/GdiInternal.h"

GdiPenSetup GdiSetupPen(GdiDC& dc) {
  GdiPenSetup s;
  const GdiPen* p = dc.state.pen.get();
  if (!p || p->Style() == PS_NULL) {
    s.null = true;
    return s;
  }
  s.pen = GdiPenPaint(dc, GdiPenColor(dc));
  s.insideFrame = p->Style() == PS_INSIDEFRAME;
  const int32_t w = GdiDevicePenWidth(dc, p->width);
  const bool geometric = (p->style & PS_TYPE_MASK) == PS_GEOMETRIC;
  if (w > 1 || (geometric && p->width > 1)) {
    s.wide = w > 1;
    s.width = w;
    s.endCap = p->style & PS_ENDCAP_MASK;
  }
  if (!s.wide) {
    s.dashes = GdiPenDashes(*p);
    if (!s.dashes.empty() && dc.state.bkMode == OPAQUE) s.gap = GdiPenPaint(dc, dc.state.bkColor);
  }
  return s;
}

std::vector<int32_t> GdiPenDashes(const GdiPen& pen) {
  switch (pen.Style()) {
    case PS_DASH: return {18, 6};
    case PS_DOT: return {3, 3};
    case PS_DASHDOT: return {9, 6, 3, 6};
    case PS_DASHDOTDOT: return {9, 3, 3, 3, 3, 3};
    case PS_ALTERNATE: return {1, 1};
    case PS_USERSTYLE: {
      std::vector<int32_t> d;
      for (DWORD v : pen.userStyle) d.push_back(static_cast<int32_t>(std::min<DWORD>(std::max<DWORD>(v, 1), 1u << 20)));
      if (d.size() & 1) {  // an odd count repeats with on and off swapped
        const size_t n = d.size();
        for (size_t i = 0; i < n; ++i) d.push_back(d[i]);
      }
      return d;
    }
    default: return {};
  }
}

namespace {

int32_t Period(const std::vector<int32_t>& d) {
  int32_t p = 0;
  for (int32_t v : d) p += v;
  return p > 0 ? p : 1;
}

// Collects horizontal runs of pixels and paints them through the clip.
class RunPainter {
 public:
  RunPainter(GdiDC& dc) : dc_(dc) {}
  ~RunPainter() { Flush(); }
  void Put(int32_t x, int32_t y, const GdiPaint* p) {
    if (p == cur_ && y == y_ && (x == x1_ || x == x0_ - 1)) {
      if (x == x1_) ++x1_;
      else --x0_;
      return;
    }
    Flush();
    cur_ = p;
    y_ = y;
    x0_ = x;
    x1_ = x + 1;
  }
  void Flush() {
    if (cur_ && cur_->kind != GdiPaint::None)
      GdiForEachClipRun(dc_, y_, x0_, x1_, [&](int32_t a, int32_t b) { GdiPaintRun(dc_, *cur_, y_, a, b); });
    cur_ = nullptr;
  }

 private:
  GdiDC& dc_;
  const GdiPaint* cur_ = nullptr;
  int32_t y_ = 0, x0_ = 0, x1_ = 0;
};

// A solid horizontal or vertical segment is a rectangle one pixel across: the pixels from a up
// to b, b left out, each painted once as the walk would.
void PaintAxisSegment(GdiDC& dc, const GdiPaint& pen, TPoint a, TPoint b) {
  const TRect box = dc.ClipBox();
  const auto from = [](int64_t p, int64_t q) { return p <= q ? p : q + 1; };
  const auto to = [](int64_t p, int64_t q) { return p <= q ? q : p + 1; };
  const bool across = a.Y == b.Y;
  const int64_t l = std::max<int64_t>(across ? from(a.X, b.X) : a.X, box.Left);
  const int64_t t = std::max<int64_t>(across ? a.Y : from(a.Y, b.Y), box.Top);
  const int64_t r = std::min<int64_t>(across ? to(a.X, b.X) : int64_t(a.X) + 1, box.Right);
  const int64_t bt = std::min<int64_t>(across ? int64_t(a.Y) + 1 : to(a.Y, b.Y), box.Bottom);
  if (l < r && t < bt)
    GdiPaintRect(dc, pen, TRect(static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(r),
                                static_cast<int32_t>(bt)));
}

// Paints a cosmetic polyline directly; returns the steps walked.
int64_t PaintThin(GdiDC& dc, const GdiPenSetup& ps, const std::vector<TPoint>& pts, int64_t phase) {
  const TRect box = dc.ClipBox();
  const int32_t period = Period(ps.dashes);
  RunPainter rp(dc);
  for (size_t i = 0; i + 1 < pts.size(); ++i) {
    const TPoint a = pts[i], b = pts[i + 1];
    if (ps.dashes.empty() && (a.X == b.X || a.Y == b.Y) && a != b) {
      rp.Flush();
      PaintAxisSegment(dc, ps.pen, a, b);
      phase += GdiLineSteps(a.X, a.Y, b.X, b.Y);
      continue;
    }
    GdiWalkLine(a.X, a.Y, b.X, b.Y, box, [&](int32_t x, int32_t y, int64_t k) {
      const bool on = GdiDashOn(ps.dashes, period, phase + k);
      rp.Put(x, y, on ? &ps.pen : &ps.gap);
    });
    phase += GdiLineSteps(a.X, a.Y, b.X, b.Y);
  }
  return phase;
}

std::vector<GdiPointF> Centres(const std::vector<TPoint>& pts) {
  std::vector<GdiPointF> c;
  c.reserve(pts.size());
  for (const TPoint& p : pts) c.push_back({p.X + 0.5, p.Y + 0.5});
  return c;
}

TRect PointsBox(const std::vector<TPoint>& pts, int32_t grow) {
  TRect r(pts[0].X, pts[0].Y, pts[0].X + 1, pts[0].Y + 1);
  for (const TPoint& p : pts) {
    r.Left = std::min(r.Left, p.X);
    r.Top = std::min(r.Top, p.Y);
    r.Right = std::max(r.Right, p.X + 1);
    r.Bottom = std::max(r.Bottom, p.Y + 1);
  }
  r.Inflate(grow, grow);
  return r;
}

// Draws a polyline (device points) with the DC's pen. Returns the dash phase after it.
int64_t DrawPolyline(GdiDC& dc, const std::vector<TPoint>& pts, int64_t phase) {
  if (pts.size() < 2) return phase;
  GdiPenSetup ps = GdiSetupPen(dc);
  if (ps.null) return phase;
  if (!ps.wide) return PaintThin(dc, ps, pts, phase);
  TRect box;
  if (!IntersectRect(box, PointsBox(pts, static_cast<int32_t>(ps.width) + 2), dc.ClipBox())) return phase;
  GdiMask m(box);
  GdiStrokeWide(m, Centres(pts), false, ps.width, ps.endCap, kMaskPen);
  GdiPaintMask(dc, m, GdiPaint(), ps.pen, GdiPaint());
  return phase;
}

std::vector<TPoint> ToDevice(GdiDC& dc, const TPoint* pts, size_t n) {
  std::vector<TPoint> d;
  d.reserve(n);
  for (size_t i = 0; i < n; ++i) d.push_back(GdiLPtoDP(dc, pts[i]));
  return d;
}

double SegDist2(double px, double py, const GdiPointF& a, const GdiPointF& b, double& t) {
  const double vx = b.x - a.x, vy = b.y - a.y;
  const double len2 = vx * vx + vy * vy;
  t = len2 > 0 ? ((px - a.x) * vx + (py - a.y) * vy) / len2 : 0;
  const double tc = std::clamp(t, 0.0, 1.0);
  const double qx = a.x + tc * vx - px, qy = a.y + tc * vy - py;
  return qx * qx + qy * qy;
}

}  // namespace

void GdiStrokeWide(GdiMask& m, const std::vector<GdiPointF>& pts, bool closed, double width, DWORD endCap,
                   uint8_t v) {
  if (pts.empty() || m.bounds.IsEmpty()) return;
  const double r = width / 2, r2 = r * r;
  constexpr double kEps = 1e-7;  // samples just right of and below the centre: half-open edges
  const size_t segs = closed ? pts.size() : pts.size() - 1;
  auto stamp = [&](const GdiPointF& a, const GdiPointF& b, bool capA, bool capB) {
    const double vx = b.x - a.x, vy = b.y - a.y;
    const double len = std::sqrt(vx * vx + vy * vy);
    const int32_t x0 = std::max<int32_t>(m.bounds.Left, static_cast<int32_t>(std::floor(std::min(a.x, b.x) - r - 1)));
    const int32_t x1 = std::min<int32_t>(m.bounds.Right, static_cast<int32_t>(std::ceil(std::max(a.x, b.x) + r + 1)));
    const int32_t y0 = std::max<int32_t>(m.bounds.Top, static_cast<int32_t>(std::floor(std::min(a.y, b.y) - r - 1)));
    const int32_t y1 = std::min<int32_t>(m.bounds.Bottom, static_cast<int32_t>(std::ceil(std::max(a.y, b.y) + r + 1)));
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* row = m.Row(y);
      const double py = y + 0.5 + kEps;
      for (int32_t x = x0; x < x1; ++x) {
        const double px = x + 0.5 + kEps;
        double t;
        const double d2 = SegDist2(px, py, a, b, t);
        bool in;
        if (t >= 0 && t <= 1) {
          in = d2 < r2;
        } else {
          const bool capped = t < 0 ? capA : capB;
          if (!capped || endCap == PS_ENDCAP_ROUND || len == 0) {
            in = d2 < r2;
          } else if (endCap == PS_ENDCAP_SQUARE) {
            // Perpendicular distance within r and along the axis within r of the end.
            const double along = (t < 0 ? -t : t - 1) * len;
            const double perp2 = std::max(0.0, (t < 0 ? d2 : d2) - along * along);
            in = along < r && perp2 < r2;
          } else {
            in = false;  // flat
          }
        }
        if (in) row[x] = v;
      }
    }
  };
  if (pts.size() == 1) {
    stamp(pts[0], pts[0], true, true);
    return;
  }
  for (size_t i = 0; i < segs; ++i) {
    const GdiPointF& a = pts[i];
    const GdiPointF& b = pts[(i + 1) % pts.size()];
    // Inner joins are round; only the two open ends take the end cap.
    stamp(a, b, !closed && i == 0, !closed && i + 1 == segs);
  }
}

int64_t GdiStrokeThin(GdiMask& m, const std::vector<TPoint>& pts, bool closed, const std::vector<int32_t>& dashes,
                      int64_t phase, bool gaps) {
  const int32_t period = Period(dashes);
  const size_t n = pts.size();
  if (n == 0) return phase;
  const size_t segs = closed ? n : n - 1;
  for (size_t i = 0; i < segs; ++i) {
    const TPoint a = pts[i], b = pts[(i + 1) % n];
    GdiWalkLine(a.X, a.Y, b.X, b.Y, m.bounds, [&](int32_t x, int32_t y, int64_t k) {
      const bool on = GdiDashOn(dashes, period, phase + k);
      if (on) m.Row(y)[x] = kMaskPen;
      else if (gaps && m.Row(y)[x] != kMaskPen) m.Row(y)[x] = kMaskGap;
    });
    phase += GdiLineSteps(a.X, a.Y, b.X, b.Y);
  }
  return phase;
}

BOOL LineTo(HDC hdc, int32_t x, int32_t y) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TPoint a = GdiLPtoDP(*dc, dc->state.curPos), b = GdiLPtoDP(*dc, {x, y});
  // A solid one-pixel pen along an axis (frames and edges) paints its rectangle as the walk
  // below would, without setting up dashes and point lists.
  const GdiPen* pen = dc->state.pen.get();
  if (pen && (pen->Style() == PS_SOLID || pen->Style() == PS_INSIDEFRAME) && (a.X == b.X || a.Y == b.Y) && a != b &&
      GdiDevicePenWidth(*dc, pen->width) <= 1) {
    PaintAxisSegment(*dc, GdiPenPaint(*dc, GdiPenColor(*dc)), a, b);
    dc->dashPhase += GdiLineSteps(a.X, a.Y, b.X, b.Y);
    dc->state.curPos = {x, y};
    return 1;
  }
  const std::vector<TPoint> pts = {a, b};
  const int64_t phase = DrawPolyline(*dc, pts, dc->dashPhase);
  dc->dashPhase = phase;
  dc->state.curPos = {x, y};
  return 1;
}

BOOL Polyline(HDC hdc, const TPoint* pts, int32_t count) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !pts || count < 2) return 0;
  DrawPolyline(*dc, ToDevice(*dc, pts, static_cast<size_t>(count)), 0);
  return 1;
}

BOOL PolylineTo(HDC hdc, const TPoint* pts, DWORD count) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !pts || count < 1 || count > 0x7FFFFFF) return 0;
  std::vector<TPoint> d = {GdiLPtoDP(*dc, dc->state.curPos)};
  for (DWORD i = 0; i < count; ++i) d.push_back(GdiLPtoDP(*dc, pts[i]));
  const int64_t phase = DrawPolyline(*dc, d, dc->dashPhase);
  dc->dashPhase = phase;
  dc->state.curPos = pts[count - 1];
  return 1;
}

BOOL PolyPolyline(HDC hdc, const TPoint* pts, const DWORD* counts, DWORD polyCount) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !pts || !counts || polyCount == 0) return 0;
  size_t k = 0;
  for (DWORD i = 0; i < polyCount; ++i) {
    if (counts[i] < 2) return 0;
  }
  for (DWORD i = 0; i < polyCount; ++i) {
    DrawPolyline(*dc, ToDevice(*dc, pts + k, counts[i]), 0);
    k += counts[i];
  }
  return 1;
}

BOOL LineDDA(int32_t x1, int32_t y1, int32_t x2, int32_t y2, LINEDDAPROC proc, intptr_t data) {
  if (!proc) return 0;
  const TRect all(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  GdiWalkLine(x1, y1, x2, y2, all, [&](int32_t x, int32_t y, int64_t) { proc(x, y, data); });
  return 1;
}

namespace {

// Flattens the cubic Bezier segments of pts (1 + 3n points) into device points.
std::vector<TPoint> FlattenBeziers(GdiDC& dc, const TPoint* pts, size_t count, TPoint start, bool withStart) {
  std::vector<TPoint> out;
  std::vector<GdiPointF> ctl;
  auto dev = [&](TPoint p) {
    double x, y;
    GdiLPtoDPf(dc, p.X, p.Y, x, y);
    return GdiPointF{x, y};
  };
  GdiPointF cur = dev(start);
  if (withStart) out.push_back(GdiLPtoDP(dc, start));
  for (size_t i = 0; i + 2 < count; i += 3) {
    const GdiPointF p1 = dev(pts[i]), p2 = dev(pts[i + 1]), p3 = dev(pts[i + 2]);
    const double len = std::hypot(p1.x - cur.x, p1.y - cur.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                       std::hypot(p3.x - p2.x, p3.y - p2.y);
    const int32_t steps = std::clamp(static_cast<int32_t>(len / 3), 1, 1024);
    for (int32_t s = 1; s <= steps; ++s) {
      const double t = double(s) / steps, u = 1 - t;
      const double x = u * u * u * cur.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x;
      const double y = u * u * u * cur.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y;
      const TPoint q(static_cast<int32_t>(std::floor(x + 0.5)), static_cast<int32_t>(std::floor(y + 0.5)));
      if (out.empty() || !(out.back() == q)) out.push_back(q);
    }
    if (!out.empty()) out.back() = GdiLPtoDP(dc, pts[i + 2]);
    cur = p3;
  }
  return out;
}

}  // namespace

BOOL PolyBezier(HDC hdc, const TPoint* pts, DWORD count) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !pts || count < 4 || (count - 1) % 3 != 0 || count > 0x7FFFFFF) return 0;
  DrawPolyline(*dc, FlattenBeziers(*dc, pts + 1, count - 1, pts[0], true), 0);
  return 1;
}

BOOL PolyBezierTo(HDC hdc, const TPoint* pts, DWORD count) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !pts || count < 3 || count % 3 != 0 || count > 0x7FFFFFF) return 0;
  DrawPolyline(*dc, FlattenBeziers(*dc, pts, count, dc->state.curPos, true), 0);
  dc->state.curPos = pts[count - 1];
  return 1;
}
