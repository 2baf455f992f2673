// Scan conversion shared by shape fills and regions. A pixel belongs to a shape when its centre
// (x + 0.5, y + 0.5) does: for polygons, top and left edges are inside and bottom and right
// edges outside; ellipses include their boundary. Integer inputs are converted exactly.
#include <algorithm>
#include <cmath>

#include "platform/gdi/GdiInternal.h"

namespace {

bool Integral(double v) { return std::floor(v) == v && std::abs(v) < double(1 << 29); }

int64_t CeilDiv(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if (a % b != 0 && a > 0) ++q;
  return q;
}

int32_t ClampTo(int64_t v, int32_t lo, int32_t hi) { return static_cast<int32_t>(std::clamp<int64_t>(v, lo, hi)); }

struct Edge {
  double x0, y0, x1, y1;
  int32_t dir;
  bool exact;
  double top, bottom;
  // First pixel whose centre is right of the crossing at row y: ceil(x - 0.5).
  int64_t Boundary(int32_t y) const {
    if (exact) {
      const int64_t X0 = static_cast<int64_t>(x0), Y0 = static_cast<int64_t>(y0);
      int64_t dx = static_cast<int64_t>(x1) - X0, dy = static_cast<int64_t>(y1) - Y0;
      if (dy < 0) { dx = -dx; dy = -dy; }
      const int64_t yy = y0 <= y1 ? Y0 : static_cast<int64_t>(y1);
      const int64_t xx = y0 <= y1 ? X0 : static_cast<int64_t>(x1);
      // x = xx + (2(y - yy) + 1) dx / (2 dy); ceil(x - 0.5) = xx + ceil(((2(y-yy)+1) dx - dy) / (2 dy)).
      const int64_t num = (2 * (int64_t(y) - yy) + 1) * dx - dy;
      return xx + CeilDiv(num, 2 * dy);
    }
    const double yc = y + 0.5;
    const double x = x0 + (yc - y0) * (x1 - x0) / (y1 - y0);
    const double c = std::ceil(x - 0.5);
    return static_cast<int64_t>(std::clamp(c, -4e9, 4e9));
  }
};

}  // namespace

void GdiScanPolygons(const std::vector<std::vector<GdiPointF>>& polys, int32_t fillMode, const TRect& limit,
                     const std::function<void(int32_t, int32_t, int32_t)>& fn) {
  if (limit.IsEmpty()) return;
  std::vector<Edge> edges;
  for (const auto& poly : polys) {
    const size_t n = poly.size();
    if (n < 2) continue;
    for (size_t i = 0; i < n; ++i) {
      const GdiPointF a = poly[i], b = poly[(i + 1) % n];
      if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
      if (a.y == b.y) continue;
      Edge e{a.x, a.y, b.x, b.y, b.y > a.y ? 1 : -1,
             Integral(a.x) && Integral(a.y) && Integral(b.x) && Integral(b.y), std::min(a.y, b.y),
             std::max(a.y, b.y)};
      edges.push_back(e);
    }
  }
  if (edges.empty()) return;
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.top < b.top; });
  double ymin = edges.front().top, ymax = edges.front().bottom;
  for (const Edge& e : edges) ymax = std::max(ymax, e.bottom);
  // Rows whose centre lies in [ymin, ymax).
  const int32_t yStart = ClampTo(static_cast<int64_t>(std::max(std::ceil(ymin - 0.5), -4e9)), limit.Top, limit.Bottom);
  const int32_t yEnd = ClampTo(static_cast<int64_t>(std::min(std::ceil(ymax - 0.5), 4e9)), limit.Top, limit.Bottom);
  std::vector<const Edge*> active;
  std::vector<std::pair<int64_t, int32_t>> xs;
  size_t next = 0;
  for (int32_t y = yStart; y < yEnd; ++y) {
    const double yc = y + 0.5;
    while (next < edges.size() && edges[next].top <= yc) active.push_back(&edges[next++]);
    active.erase(std::remove_if(active.begin(), active.end(), [&](const Edge* e) { return e->bottom <= yc; }),
                 active.end());
    xs.clear();
    for (const Edge* e : active)
      if (e->top <= yc && yc < e->bottom) xs.push_back({e->Boundary(y), e->dir});
    if (xs.size() < 2) continue;
    std::sort(xs.begin(), xs.end());
    auto emit = [&](int64_t a, int64_t b) {
      const int32_t x0 = ClampTo(a, limit.Left, limit.Right), x1 = ClampTo(b, limit.Left, limit.Right);
      if (x1 > x0) fn(y, x0, x1);
    };
    if (fillMode == WINDING) {
      int32_t wind = 0;
      int64_t start = 0;
      for (const auto& [x, d] : xs) {
        const int32_t before = wind;
        wind += d;
        if (before == 0 && wind != 0) start = x;
        else if (before != 0 && wind == 0) emit(start, x);
      }
    } else {
      for (size_t i = 0; i + 1 < xs.size(); i += 2) emit(xs[i].first, xs[i + 1].first);
    }
  }
}

void GdiScanEllipse(double l, double t, double r, double b, const TRect& limit,
                    const std::function<void(int32_t, int32_t, int32_t)>& fn) {
  if (!(r > l) || !(b > t) || limit.IsEmpty()) return;
  const int32_t y0 = ClampTo(static_cast<int64_t>(std::floor(std::max(t, -4e9))), limit.Top, limit.Bottom);
  const int32_t y1 = ClampTo(static_cast<int64_t>(std::ceil(std::min(b, 4e9))), limit.Top, limit.Bottom);
  const bool exact = Integral(l) && Integral(t) && Integral(r) && Integral(b);
  const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
  for (int32_t y = y0; y < y1; ++y) {
    int64_t xa, xb;  // pixels xa..xb inclusive
    if (exact) {
      // Centre test in doubled integer units: X^2 H^2 + Y^2 W^2 <= W^2 H^2.
      const __int128 W = static_cast<int64_t>(r - l), H = static_cast<int64_t>(b - t);
      const __int128 Y = 2 * int64_t(y) + 1 - static_cast<int64_t>(t) - static_cast<int64_t>(b);
      const __int128 rhs = W * W * H * H - Y * Y * W * W;
      if (rhs < 0) continue;
      auto inside = [&](int64_t x) {
        const __int128 X = 2 * __int128(x) + 1 - static_cast<int64_t>(l) - static_cast<int64_t>(r);
        return X * X * H * H <= rhs;
      };
      // X = 2x + 1 - l - r: the set of inside pixels is symmetric about x <-> l + r - 1 - x.
      const int64_t L = static_cast<int64_t>(l), R = static_cast<int64_t>(r);
      const int64_t mid = (L + R - 1) >= 0 ? (L + R - 1) / 2 : -((-(L + R - 1) + 1) / 2);
      if (!inside(mid)) continue;
      const double half = std::sqrt(std::max(0.0, static_cast<double>(rhs))) / static_cast<double>(H);
      int64_t hi = std::max<int64_t>(mid, static_cast<int64_t>(std::floor((half + double(L + R) - 1) / 2)));
      while (hi > mid && !inside(hi)) --hi;
      while (inside(hi + 1)) ++hi;
      xa = L + R - 1 - hi;
      xb = hi;
    } else {
      const double dy = (y + 0.5 - cy) / ry;
      const double q = 1 - dy * dy;
      if (q < 0) continue;
      const double dx = rx * std::sqrt(q);
      xa = static_cast<int64_t>(std::ceil(cx - dx - 0.5));
      xb = static_cast<int64_t>(std::floor(cx + dx - 0.5));
    }
    if (xb < xa) continue;
    const int32_t a = ClampTo(xa, limit.Left, limit.Right), e = ClampTo(xb + 1, limit.Left, limit.Right);
    if (e > a) fn(y, a, e);
  }
}

void GdiScanRoundRect(double l, double t, double r, double b, double w, double h, const TRect& limit,
                      const std::function<void(int32_t, int32_t, int32_t)>& fn) {
  if (!(r > l) || !(b > t) || limit.IsEmpty()) return;
  w = std::min(w, r - l);
  h = std::min(h, b - t);
  const int32_t y0 = ClampTo(static_cast<int64_t>(std::ceil(std::max(t - 0.5, -4e9))), limit.Top, limit.Bottom);
  const int32_t y1 = ClampTo(static_cast<int64_t>(std::ceil(std::min(b - 0.5, 4e9))), limit.Top, limit.Bottom);
  const double rw = w / 2, rh = h / 2;
  for (int32_t y = y0; y < y1; ++y) {
    const double yc = y + 0.5;
    double inset = 0;
    if (rw > 0 && rh > 0) {
      double dy = 0;
      if (yc < t + rh) dy = (t + rh - yc) / rh;
      else if (yc > b - rh) dy = (yc - (b - rh)) / rh;
      if (dy > 1) continue;
      inset = rw - rw * std::sqrt(std::max(0.0, 1 - dy * dy));
    }
    const int64_t xa = static_cast<int64_t>(std::ceil(l + inset - 0.5));
    const int64_t xe = static_cast<int64_t>(std::ceil(r - inset - 0.5));
    const int32_t a = ClampTo(xa, limit.Left, limit.Right), e = ClampTo(xe, limit.Left, limit.Right);
    if (e > a) fn(y, a, e);
  }
}
