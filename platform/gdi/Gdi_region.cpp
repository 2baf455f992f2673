// Regions: banded rectangle-list arithmetic, the region API and the clip region of a DC.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/gdi/GdiInternal.h"

namespace {

using Span = std::pair<int32_t, int32_t>;
using Spans = std::vector<Span>;

// Sorts and merges touching or overlapping spans.
void Normalise(Spans& s) {
  std::sort(s.begin(), s.end());
  size_t o = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i].second <= s[i].first) continue;
    if (o > 0 && s[i].first <= s[o - 1].second) {
      s[o - 1].second = std::max(s[o - 1].second, s[i].second);
    } else {
      s[o++] = s[i];
    }
  }
  s.resize(o);
}

Spans CombineSpans(const Spans& a, const Spans& b, GdiRegionData::Op op) {
  Spans out;
  size_t i = 0, j = 0;
  // Sweep over all edges; inA / inB tell whether the current x lies in a / b.
  std::vector<int32_t> xs;
  xs.reserve((a.size() + b.size()) * 2);
  for (const Span& s : a) { xs.push_back(s.first); xs.push_back(s.second); }
  for (const Span& s : b) { xs.push_back(s.first); xs.push_back(s.second); }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  for (size_t k = 0; k + 1 < xs.size(); ++k) {
    const int32_t x0 = xs[k], x1 = xs[k + 1];
    while (i < a.size() && a[i].second <= x0) ++i;
    while (j < b.size() && b[j].second <= x0) ++j;
    const bool inA = i < a.size() && a[i].first <= x0;
    const bool inB = j < b.size() && b[j].first <= x0;
    bool in = false;
    switch (op) {
      case GdiRegionData::Op::And: in = inA && inB; break;
      case GdiRegionData::Op::Or: in = inA || inB; break;
      case GdiRegionData::Op::Xor: in = inA != inB; break;
      case GdiRegionData::Op::Diff: in = inA && !inB; break;
    }
    if (!in) continue;
    if (!out.empty() && out.back().second == x0) out.back().second = x1;
    else out.push_back({x0, x1});
  }
  return out;
}

// Appends bands, merging a band with the one above when they touch and have the same spans.
struct BandWriter {
  std::vector<TRect>& rects;
  size_t lastStart = 0;
  bool any = false;
  explicit BandWriter(std::vector<TRect>& r) : rects(r) {}
  void Add(int32_t y0, int32_t y1, const Spans& spans) {
    if (spans.empty() || y1 <= y0) return;
    if (any && rects[lastStart].Bottom == y0 && rects.size() - lastStart == spans.size()) {
      bool same = true;
      for (size_t k = 0; k < spans.size(); ++k) {
        if (rects[lastStart + k].Left != spans[k].first || rects[lastStart + k].Right != spans[k].second) {
          same = false;
          break;
        }
      }
      if (same) {
        for (size_t k = lastStart; k < rects.size(); ++k) rects[k].Bottom = y1;
        return;
      }
    }
    lastStart = rects.size();
    any = true;
    for (const Span& s : spans) rects.push_back({s.first, y0, s.second, y1});
  }
};

// Iterates the bands of a region in order.
struct BandCursor {
  const std::vector<TRect>& r;
  size_t i = 0;
  explicit BandCursor(const std::vector<TRect>& rr) : r(rr) {}
  // Spans of the band covering y (y never decreases between calls).
  Spans At(int32_t y) {
    while (i < r.size() && r[i].Bottom <= y) ++i;
    Spans s;
    if (i >= r.size() || r[i].Top > y) return s;
    for (size_t k = i; k < r.size() && r[k].Top == r[i].Top; ++k) s.push_back({r[k].Left, r[k].Right});
    return s;
  }
};

}  // namespace

GdiRegionData::GdiRegionData(const TRect& r) { SetRect(r); }

int32_t GdiRegionData::Type() const {
  if (rects_.empty()) return NULLREGION;
  return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

void GdiRegionData::SetRect(const TRect& r) {
  rects_.clear();
  auto c = [](int32_t v) { return std::clamp(v, -(1 << 30), 1 << 30); };
  const TRect n = NormalizedRect(TRect(c(r.Left), c(r.Top), c(r.Right), c(r.Bottom)));
  if (!n.IsEmpty()) rects_.push_back(n);
  Recompute();
}

void GdiRegionData::Recompute() {
  bounds_ = TRect();
  if (rects_.empty()) return;
  bounds_ = rects_.front();
  for (const TRect& r : rects_) {
    bounds_.Left = std::min(bounds_.Left, r.Left);
    bounds_.Top = std::min(bounds_.Top, r.Top);
    bounds_.Right = std::max(bounds_.Right, r.Right);
    bounds_.Bottom = std::max(bounds_.Bottom, r.Bottom);
  }
}

void GdiRegionData::Offset(int32_t dx, int32_t dy) {
  // Coordinates stay within 30 bits, so later arithmetic cannot overflow.
  bool clamped = false;
  auto mv = [&clamped](int32_t v, int32_t d) {
    const int64_t m = int64_t(v) + d, c = std::clamp<int64_t>(m, -(1 << 30), 1 << 30);
    clamped |= m != c;
    return static_cast<int32_t>(c);
  };
  for (TRect& r : rects_) r = TRect(mv(r.Left, dx), mv(r.Top, dy), mv(r.Right, dx), mv(r.Bottom, dy));
  // What was pushed against the edge of the range may have collapsed or merged: band it again.
  if (clamped) *this = FromRects(rects_);
  else Recompute();
}

bool GdiRegionData::Contains(int32_t x, int32_t y) const {
  if (!bounds_.Contains({x, y})) return false;
  for (const TRect& r : rects_) {
    if (r.Top > y) break;
    if (r.Contains({x, y})) return true;
  }
  return false;
}

bool GdiRegionData::Intersects(const TRect& q) const {
  const TRect n = NormalizedRect(q);
  if (n.IsEmpty()) return false;
  for (const TRect& r : rects_) {
    if (r.Top >= n.Bottom) break;
    if (r.Bottom > n.Top && r.Right > n.Left && r.Left < n.Right) return true;
  }
  return false;
}

GdiRegionData GdiRegionData::Combine(const GdiRegionData& a, const GdiRegionData& b, Op op) {
  GdiRegionData out;
  std::vector<int32_t> ys;
  ys.reserve((a.rects_.size() + b.rects_.size()) * 2);
  for (const TRect& r : a.rects_) { ys.push_back(r.Top); ys.push_back(r.Bottom); }
  for (const TRect& r : b.rects_) { ys.push_back(r.Top); ys.push_back(r.Bottom); }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  BandCursor ca(a.rects_), cb(b.rects_);
  BandWriter w(out.rects_);
  for (size_t k = 0; k + 1 < ys.size(); ++k) {
    const Spans sa = ca.At(ys[k]), sb = cb.At(ys[k]);
    w.Add(ys[k], ys[k + 1], CombineSpans(sa, sb, op));
  }
  out.Recompute();
  return out;
}

void GdiRegionData::Builder::Add(int32_t y, int32_t x0, int32_t x1) {
  if (x1 <= x0) return;
  if (y != rowY_) {
    FlushRow();
    rowY_ = y;
  }
  row_.push_back({x0, x1});
}

void GdiRegionData::Builder::FlushRow() {
  if (row_.empty()) return;
  Normalise(row_);
  BandWriter w(rects_);
  // Re-establish the last band's start for merging.
  if (!rects_.empty()) {
    size_t s = rects_.size() - 1;
    while (s > 0 && rects_[s - 1].Top == rects_.back().Top) --s;
    w.lastStart = s;
    w.any = true;
  }
  w.Add(rowY_, rowY_ + 1, row_);
  row_.clear();
}

GdiRegionData GdiRegionData::Builder::Finish() {
  FlushRow();
  GdiRegionData out;
  out.rects_ = std::move(rects_);
  rects_.clear();
  rowY_ = INT32_MIN;
  out.Recompute();
  return out;
}

GdiRegionData GdiRegionData::FromRects(const std::vector<TRect>& in) {
  std::vector<TRect> rs;
  auto c = [](int32_t v) { return std::clamp(v, -(1 << 30), 1 << 30); };
  for (const TRect& r : in) {
    const TRect n = NormalizedRect(TRect(c(r.Left), c(r.Top), c(r.Right), c(r.Bottom)));
    if (!n.IsEmpty()) rs.push_back(n);
  }
  GdiRegionData out;
  if (rs.empty()) return out;
  std::vector<int32_t> ys;
  for (const TRect& r : rs) { ys.push_back(r.Top); ys.push_back(r.Bottom); }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  std::sort(rs.begin(), rs.end(), [](const TRect& a, const TRect& b) { return a.Top < b.Top; });
  BandWriter w(out.rects_);
  std::vector<const TRect*> active;
  size_t next = 0;
  for (size_t k = 0; k + 1 < ys.size(); ++k) {
    const int32_t y0 = ys[k];
    while (next < rs.size() && rs[next].Top <= y0) active.push_back(&rs[next++]);
    active.erase(std::remove_if(active.begin(), active.end(), [&](const TRect* r) { return r->Bottom <= y0; }),
                 active.end());
    Spans s;
    for (const TRect* r : active) s.push_back({r->Left, r->Right});
    Normalise(s);
    w.Add(y0, ys[k + 1], s);
  }
  out.Recompute();
  return out;
}

// ---------------------------------------------------------------------------------------------
// Region objects

namespace {

HRGN NewRegion(GdiRegionData d) {
  auto r = std::make_shared<GdiRegion>();
  r->rgn = std::move(d);
  return static_cast<HRGN>(GdiAddObject(r));
}

std::shared_ptr<GdiRegion> Rgn(HRGN h) { return GdiLookupAs<GdiRegion>(h, GdiKind::Region); }

GdiRegionData FromScan(const std::function<void(const std::function<void(int32_t, int32_t, int32_t)>&)>& scan) {
  GdiRegionData::Builder b;
  scan([&](int32_t y, int32_t x0, int32_t x1) { b.Add(y, x0, x1); });
  return b.Finish();
}

constexpr int32_t kBig = 1 << 28;
const TRect kLimit{-kBig, -kBig, kBig, kBig};

}  // namespace

HRGN CreateRectRgn(int32_t l, int32_t t, int32_t r, int32_t b) { return NewRegion(GdiRegionData(TRect(l, t, r, b))); }
HRGN CreateRectRgnIndirect(const TRect& r) { return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom); }

HRGN CreateEllipticRgn(int32_t l, int32_t t, int32_t r, int32_t b) {
  const TRect n = NormalizedRect(TRect(l, t, r, b));
  return NewRegion(FromScan([&](const auto& fn) { GdiScanEllipse(n.Left, n.Top, n.Right, n.Bottom, kLimit, fn); }));
}
HRGN CreateEllipticRgnIndirect(const TRect& r) { return CreateEllipticRgn(r.Left, r.Top, r.Right, r.Bottom); }

HRGN CreateRoundRectRgn(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h) {
  const TRect n = NormalizedRect(TRect(l, t, r, b));
  return NewRegion(FromScan([&](const auto& fn) {
    GdiScanRoundRect(n.Left, n.Top, n.Right, n.Bottom, std::abs(double(w)), std::abs(double(h)), kLimit, fn);
  }));
}

HRGN CreatePolyPolygonRgn(const TPoint* pts, const int32_t* counts, int32_t polyCount, int32_t fillMode) {
  if (!pts || !counts || polyCount <= 0 || (fillMode != ALTERNATE && fillMode != WINDING)) return nullptr;
  std::vector<std::vector<GdiPointF>> polys;
  size_t k = 0;
  for (int32_t i = 0; i < polyCount; ++i) {
    if (counts[i] < 2) return nullptr;
    std::vector<GdiPointF> poly;
    for (int32_t j = 0; j < counts[i]; ++j, ++k) poly.push_back({double(pts[k].X), double(pts[k].Y)});
    polys.push_back(std::move(poly));
  }
  return NewRegion(FromScan([&](const auto& fn) { GdiScanPolygons(polys, fillMode, kLimit, fn); }));
}

HRGN CreatePolygonRgn(const TPoint* pts, int32_t count, int32_t fillMode) {
  if (count < 2) return nullptr;
  return CreatePolyPolygonRgn(pts, &count, 1, fillMode);
}

HRGN ExtCreateRegion(const XFORM* xf, DWORD count, const RGNDATA* data) {
  if (!data || count < sizeof(RGNDATAHEADER)) return nullptr;
  RGNDATAHEADER h;
  std::memcpy(static_cast<void*>(&h), data, sizeof(h));
  if (h.dwSize != sizeof(RGNDATAHEADER) || h.iType != RDH_RECTANGLES) return nullptr;
  const uint64_t avail = (uint64_t(count) - sizeof(RGNDATAHEADER)) / sizeof(TRect);
  if (h.nCount > avail) return nullptr;
  double sx = 1, sy = 1, dx = 0, dy = 0;
  if (xf) {
    // Scaling and translation only; rotations and shears cannot be kept as rectangles.
    if (xf->eM12 != 0 || xf->eM21 != 0 || !std::isfinite(xf->eM11) || !std::isfinite(xf->eM22) ||
        !std::isfinite(xf->eDx) || !std::isfinite(xf->eDy))
      return nullptr;
    sx = xf->eM11; sy = xf->eM22; dx = xf->eDx; dy = xf->eDy;
  }
  std::vector<TRect> rs;
  rs.reserve(h.nCount);
  const char* p = reinterpret_cast<const char*>(data) + sizeof(RGNDATAHEADER);
  for (DWORD i = 0; i < h.nCount; ++i) {
    TRect r;
    std::memcpy(static_cast<void*>(&r), p + i * sizeof(TRect), sizeof(TRect));
    if (xf) {
      auto m = [](double v) {
        return static_cast<int32_t>(std::clamp(std::floor(v + 0.5), double(-kBig), double(kBig)));
      };
      r = TRect(m(r.Left * sx + dx), m(r.Top * sy + dy), m(r.Right * sx + dx), m(r.Bottom * sy + dy));
    }
    rs.push_back(r);
  }
  return NewRegion(GdiRegionData::FromRects(rs));
}

DWORD GetRegionData(HRGN hrgn, DWORD size, RGNDATA* data) {
  auto r = Rgn(hrgn);
  if (!r) return 0;
  const auto& rects = r->rgn.Rects();
  const uint64_t need = sizeof(RGNDATAHEADER) + uint64_t(rects.size()) * sizeof(TRect);
  if (need > 0xFFFFFFFFu) return 0;
  if (!data) return static_cast<DWORD>(need);
  if (size < need) return 0;
  RGNDATAHEADER h;
  h.nCount = static_cast<DWORD>(rects.size());
  h.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(TRect));
  h.rcBound = r->rgn.Bounds();
  std::memcpy(static_cast<void*>(data), &h, sizeof(h));
  if (!rects.empty())
    std::memcpy(reinterpret_cast<char*>(data) + sizeof(h), rects.data(), rects.size() * sizeof(TRect));
  return size;
}

BOOL SetRectRgn(HRGN hrgn, int32_t l, int32_t t, int32_t r, int32_t b) {
  auto g = Rgn(hrgn);
  if (!g) return 0;
  g->rgn.SetRect(TRect(l, t, r, b));
  return 1;
}

int32_t CombineRgn(HRGN dst, HRGN src1, HRGN src2, int32_t mode) {
  auto d = Rgn(dst), a = Rgn(src1);
  if (!d || !a || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  if (mode == RGN_COPY) {
    GdiRegionData copy = a->rgn;
    d->rgn = std::move(copy);
    return d->rgn.Type();
  }
  auto b = Rgn(src2);
  if (!b) return ERROR;
  static const GdiRegionData::Op ops[] = {GdiRegionData::Op::And, GdiRegionData::Op::Or, GdiRegionData::Op::Xor,
                                          GdiRegionData::Op::Diff};
  d->rgn = GdiRegionData::Combine(a->rgn, b->rgn, ops[mode - RGN_AND]);
  return d->rgn.Type();
}

int32_t OffsetRgn(HRGN hrgn, int32_t dx, int32_t dy) {
  auto r = Rgn(hrgn);
  if (!r) return ERROR;
  r->rgn.Offset(dx, dy);
  return r->rgn.Type();
}

BOOL PtInRegion(HRGN hrgn, int32_t x, int32_t y) {
  auto r = Rgn(hrgn);
  return r && r->rgn.Contains(x, y) ? 1 : 0;
}

BOOL RectInRegion(HRGN hrgn, const TRect& q) {
  auto r = Rgn(hrgn);
  return r && r->rgn.Intersects(q) ? 1 : 0;
}

int32_t GetRgnBox(HRGN hrgn, TRect* box) {
  auto r = Rgn(hrgn);
  if (!r || !box) return ERROR;
  *box = r->rgn.Bounds();
  return r->rgn.Type();
}

BOOL EqualRgn(HRGN a, HRGN b) {
  auto ra = Rgn(a), rb = Rgn(b);
  if (!ra || !rb) return ERROR;
  return ra->rgn == rb->rgn ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// Painting regions (logical coordinates)

namespace {

GdiRegionData ToDevice(GdiDC& dc, const GdiRegionData& rgn) {
  if (GdiIsTranslation(dc)) {
    GdiRegionData d = rgn;
    const TPoint o = GdiLPtoDP(dc, {0, 0});
    d.Offset(o.X, o.Y);
    return d;
  }
  std::vector<TRect> rs;
  for (const TRect& r : rgn.Rects()) rs.push_back(GdiLPtoDPRect(dc, r));
  return GdiRegionData::FromRects(rs);
}

}  // namespace

BOOL FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr) {
  GdiDC* dc = GdiGetDC(hdc);
  auto r = Rgn(hrgn);
  auto b = GdiLookupAs<GdiBrush>(hbr, GdiKind::Brush);
  if (!dc || !r || !b) return 0;
  GdiPaint p = GdiBrushPaint(*dc, b.get());
  p.rop2 = R2_COPYPEN;
  GdiPaintRegion(*dc, p, ToDevice(*dc, r->rgn));
  return 1;
}

BOOL PaintRgn(HDC hdc, HRGN hrgn) {
  GdiDC* dc = GdiGetDC(hdc);
  auto r = Rgn(hrgn);
  if (!dc || !r) return 0;
  GdiPaintRegion(*dc, GdiBrushPaint(*dc, dc->state.brush.get()), ToDevice(*dc, r->rgn));
  return 1;
}

BOOL InvertRgn(HDC hdc, HRGN hrgn) {
  GdiDC* dc = GdiGetDC(hdc);
  auto r = Rgn(hrgn);
  if (!dc || !r) return 0;
  GdiPaint p;
  p.kind = GdiPaint::Solid;
  p.rop2 = R2_NOT;
  GdiPaintRegion(*dc, p, ToDevice(*dc, r->rgn));
  return 1;
}

BOOL FrameRgn(HDC hdc, HRGN hrgn, HBRUSH hbr, int32_t w, int32_t h) {
  GdiDC* dc = GdiGetDC(hdc);
  auto r = Rgn(hrgn);
  auto b = GdiLookupAs<GdiBrush>(hbr, GdiKind::Brush);
  if (!dc || !r || !b || w <= 0 || h <= 0) return 0;
  // The frame is the region minus the region shrunk by w horizontally and h vertically.
  GdiRegionData inner = r->rgn;
  for (const TPoint d : {TPoint(w, 0), TPoint(-w, 0), TPoint(0, h), TPoint(0, -h)}) {
    GdiRegionData s = r->rgn;
    s.Offset(d.X, d.Y);
    inner = GdiRegionData::Combine(inner, s, GdiRegionData::Op::And);
  }
  const GdiRegionData frame = GdiRegionData::Combine(r->rgn, inner, GdiRegionData::Op::Diff);
  GdiPaint p = GdiBrushPaint(*dc, b.get());
  p.rop2 = R2_COPYPEN;
  GdiPaintRegion(*dc, p, ToDevice(*dc, frame));
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Clipping

namespace {

int32_t SetClip(GdiDC& dc, std::shared_ptr<const GdiRegionData> clip) {
  dc.state.clip = std::move(clip);
  dc.InvalidateClip();
  return dc.state.clip ? dc.state.clip->Type() : SIMPLEREGION;
}

// The current clip, or the whole surface when there is none.
GdiRegionData CurrentClip(GdiDC& dc) {
  if (dc.state.clip) return *dc.state.clip;
  return GdiRegionData(dc.Surface()->BoundsRect());
}

}  // namespace

int32_t SelectClipRgn(HDC hdc, HRGN hrgn) { return ExtSelectClipRgn(hdc, hrgn, RGN_COPY); }

int32_t ExtSelectClipRgn(HDC hdc, HRGN hrgn, int32_t mode) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  if (!hrgn) {
    if (mode != RGN_COPY) return ERROR;
    return SetClip(*dc, nullptr);
  }
  auto r = Rgn(hrgn);
  if (!r) return ERROR;
  if (mode == RGN_COPY) return SetClip(*dc, std::make_shared<GdiRegionData>(r->rgn));
  static const GdiRegionData::Op ops[] = {GdiRegionData::Op::And, GdiRegionData::Op::Or, GdiRegionData::Op::Xor,
                                          GdiRegionData::Op::Diff};
  return SetClip(*dc, std::make_shared<GdiRegionData>(
                          GdiRegionData::Combine(CurrentClip(*dc), r->rgn, ops[mode - RGN_AND])));
}

int32_t ExcludeClipRect(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return ERROR;
  const TRect box = GdiLPtoDPRect(*dc, TRect(l, t, r, b));
  // Cutting what lies outside the clip changes nothing.
  if (dc->state.clip && !dc->state.clip->Intersects(box)) return dc->state.clip->Type();
  const GdiRegionData cut(box);
  return SetClip(*dc, std::make_shared<GdiRegionData>(
                          GdiRegionData::Combine(CurrentClip(*dc), cut, GdiRegionData::Op::Diff)));
}

int32_t IntersectClipRect(HDC hdc, int32_t l, int32_t t, int32_t r, int32_t b) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return ERROR;
  const TRect box = GdiLPtoDPRect(*dc, TRect(l, t, r, b));
  if (!dc->state.clip) return SetClip(*dc, std::make_shared<GdiRegionData>(box));
  // A clip inside the rectangle stays as it is; a one-rectangle clip is cut without the region
  // arithmetic.
  const GdiRegionData& clip = *dc->state.clip;
  TRect inside;
  if (!clip.IsEmpty() && IntersectRect(inside, clip.Bounds(), box) && inside == clip.Bounds()) return clip.Type();
  if (clip.Rects().size() == 1) {
    if (!IntersectRect(inside, clip.Bounds(), box)) inside = TRect();
    return SetClip(*dc, std::make_shared<GdiRegionData>(inside));
  }
  const GdiRegionData keep(box);
  return SetClip(*dc, std::make_shared<GdiRegionData>(
                          GdiRegionData::Combine(*dc->state.clip, keep, GdiRegionData::Op::And)));
}

int32_t OffsetClipRgn(HDC hdc, int32_t dx, int32_t dy) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return ERROR;
  if (!dc->state.clip) return SIMPLEREGION;
  const TPoint a = GdiLPtoDP(*dc, {0, 0}), b = GdiLPtoDP(*dc, {dx, dy});
  auto c = std::make_shared<GdiRegionData>(*dc->state.clip);
  c->Offset(b.X - a.X, b.Y - a.Y);
  return SetClip(*dc, c);
}

int32_t GetClipBox(HDC hdc, TRect* r) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !r) return ERROR;
  const auto& rects = dc->ClipRects();
  const TRect box = dc->ClipBox();
  if (rects.empty()) {
    *r = TRect();
    return NULLREGION;
  }
  TPoint pts[2] = {box.TopLeft(), box.BottomRight()};
  DPtoLP(hdc, pts, 2);
  *r = NormalizedRect(TRect(pts[0], pts[1]));
  return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int32_t GetClipRgn(HDC hdc, HRGN hrgn) {
  GdiDC* dc = GdiGetDC(hdc);
  auto r = Rgn(hrgn);
  if (!dc || !r) return -1;
  if (!dc->state.clip) return 0;
  r->rgn = *dc->state.clip;
  return 1;
}

BOOL PtVisible(HDC hdc, int32_t x, int32_t y) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return -1;
  const TPoint p = GdiLPtoDP(*dc, {x, y});
  for (const TRect& r : dc->ClipRects())
    if (r.Contains(p)) return 1;
  return 0;
}

BOOL RectVisible(HDC hdc, const TRect& q) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TRect d = GdiLPtoDPRect(*dc, NormalizedRect(q));
  for (const TRect& r : dc->ClipRects())
    if (r.Left < d.Right && r.Right > d.Left && r.Top < d.Bottom && r.Bottom > d.Top) return 1;
  return 0;
}
