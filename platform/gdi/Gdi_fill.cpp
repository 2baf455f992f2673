// Pixels and rectangle fills: SetPixel/GetPixel, FillRect, FrameRect, InvertRect, PatBlt, the
// dotted focus rectangle, flood fills and rectangle gradients.
#include <cmath>

#include "platform/gdi/GdiInternal.h"

namespace {

// A brush handle, or a system colour index + 1 as the platform accepts in FillRect.
std::shared_ptr<GdiBrush> BrushOf(HBRUSH h) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if (v >= 1 && v <= COLOR_ENDCOLORS + 1) {
    auto b = std::make_shared<GdiBrush>();
    b->style = BS_SOLID;
    b->color = GetSysColor(static_cast<int32_t>(v - 1));
    return b;
  }
  return GdiLookupAs<GdiBrush>(h, GdiKind::Brush);
}

// A logical rectangle painted with p: axis-aligned transforms map the corners, others fill the
// mapped quadrilateral.
void PaintLogicalRect(GdiDC& dc, const GdiPaint& p, const TRect& r) {
  if (r.IsEmpty() || p.kind == GdiPaint::None) return;
  if (GdiIsAxisAligned(dc)) {
    GdiPaintRect(dc, p, GdiLPtoDPRect(dc, r));
    return;
  }
  std::vector<GdiPointF> q;
  for (const TPoint c : {r.TopLeft(), TPoint(r.Right, r.Top), r.BottomRight(), TPoint(r.Left, r.Bottom)}) {
    double x, y;
    GdiLPtoDPf(dc, c.X, c.Y, x, y);
    q.push_back({x, y});
  }
  GdiScanPolygons({q}, ALTERNATE, dc.ClipBox(), [&](int32_t y, int32_t x0, int32_t x1) {
    GdiForEachClipRun(dc, y, x0, x1, [&](int32_t a, int32_t b) { GdiPaintRun(dc, p, y, a, b); });
  });
}

// The binary operation equal to a ternary one that ignores the source, or 0.
int32_t Rop3ToRop2(uint8_t t) {
  const bool usesS = ((t >> 2) & 0x33) != (t & 0x33);
  if (usesS) return 0;
  const int32_t bits = (t & 1) | ((t >> 1) & 1) << 1 | ((t >> 4) & 1) << 2 | ((t >> 5) & 1) << 3;
  return bits + 1;
}

}  // namespace

COLORREF SetPixel(HDC hdc, int32_t x, int32_t y, COLORREF color) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return CLR_INVALID;
  const TPoint p = GdiLPtoDP(*dc, {x, y});
  TSurface& s = *dc->Surface();
  for (const TRect& r : dc->ClipRects()) {
    if (!r.Contains(p)) continue;
    const uint32_t v = GdiColorToPixel(s, GdiResolveColor(*dc, color));
    GdiWriteRow(s, p.Y, p.X, 1, &v);
    return GdiPixelToColor(s, v);
  }
  return CLR_INVALID;
}

BOOL SetPixelV(HDC hdc, int32_t x, int32_t y, COLORREF color) {
  return SetPixel(hdc, x, y, color) != CLR_INVALID ? 1 : 0;
}

COLORREF GetPixel(HDC hdc, int32_t x, int32_t y) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return CLR_INVALID;
  const TPoint p = GdiLPtoDP(*dc, {x, y});
  const TSurface& s = *dc->Surface();
  for (const TRect& r : dc->ClipRects()) {
    if (!r.Contains(p)) continue;
    uint32_t v;
    GdiReadRow(s, p.Y, p.X, 1, &v);
    return GdiPixelToColor(s, v);
  }
  return CLR_INVALID;
}

int32_t FillRect(HDC hdc, const TRect& r, HBRUSH hbr) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  // The selected brush (the usual case) is held by the DC: no lookup.
  std::shared_ptr<GdiBrush> other;
  const GdiBrush* b = hbr && hbr == dc->state.hbrush ? dc->state.brush.get() : (other = BrushOf(hbr)).get();
  if (!b) return 0;
  GdiPaint p = GdiBrushPaint(*dc, b);
  p.rop2 = R2_COPYPEN;
  PaintLogicalRect(*dc, p, r);
  return 1;
}

int32_t FrameRect(HDC hdc, const TRect& lr, HBRUSH hbr) {
  GdiDC* dc = GdiGetDC(hdc);
  auto b = BrushOf(hbr);
  if (!dc || !b) return 0;
  if (lr.IsEmpty()) return 1;
  auto c = [](int32_t v) { return std::clamp(v, -(1 << 29), 1 << 29); };
  const TRect r(c(lr.Left), c(lr.Top), c(lr.Right), c(lr.Bottom));
  GdiPaint p = GdiBrushPaint(*dc, b.get());
  p.rop2 = R2_COPYPEN;
  PaintLogicalRect(*dc, p, TRect(r.Left, r.Top, r.Right, r.Top + 1));
  if (r.Bottom - 1 > r.Top) PaintLogicalRect(*dc, p, TRect(r.Left, r.Bottom - 1, r.Right, r.Bottom));
  PaintLogicalRect(*dc, p, TRect(r.Left, r.Top + 1, r.Left + 1, r.Bottom - 1));
  if (r.Right - 1 > r.Left) PaintLogicalRect(*dc, p, TRect(r.Right - 1, r.Top + 1, r.Right, r.Bottom - 1));
  return 1;
}

BOOL InvertRect(HDC hdc, const TRect& r) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  GdiPaint p;
  p.kind = GdiPaint::Solid;
  p.rop2 = R2_NOT;
  PaintLogicalRect(*dc, p, r);
  return 1;
}

BOOL PatBlt(HDC hdc, int32_t x, int32_t y, int32_t w, int32_t h, DWORD rop) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const int32_t rop2 = Rop3ToRop2(static_cast<uint8_t>(rop >> 16));
  if (rop2 == 0) return 0;
  GdiPaint p;
  const uint8_t t = static_cast<uint8_t>(rop >> 16);
  const bool usesP = ((t >> 4) & 0x0F) != (t & 0x0F);
  if (usesP) {
    p = GdiBrushPaint(*dc, dc->state.brush.get());
    if (p.kind == GdiPaint::None) return 1;  // a null brush paints nothing
  } else {
    p.kind = GdiPaint::Solid;
  }
  p.rop2 = rop2;
  const int64_t x2 = int64_t(x) + w, y2 = int64_t(y) + h;
  auto clamp = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
  PaintLogicalRect(*dc, p, NormalizedRect(TRect(x, y, clamp(x2), clamp(y2))));
  return 1;
}

BOOL DrawFocusRect(HDC hdc, const TRect& lr) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const TRect r = GdiLPtoDPRect(*dc, lr);
  if (lr.IsEmpty() || r.IsEmpty()) return 1;
  TSurface& s = *dc->Surface();
  // Every other pixel of the one-pixel frame, counted from the top-left corner, has its colour
  // bits inverted; each frame pixel is visited once, so a second call restores the frame.
  const uint32_t flip = s.BitCount() == 32 ? 0x00FFFFFFu : GdiPixelMask(s);
  // The frame pixels of row y from x0 to x1 (right excluded), through the clip.
  auto dots = [&](int32_t y, int32_t x0, int32_t x1) {
    GdiForEachClipRun(*dc, y, x0, x1, [&](int32_t a, int32_t b) {
      for (int32_t x = a + (((a - r.Left) + (y - r.Top)) & 1); x < b; x += 2) {
        if (s.BitCount() == 32) {
          reinterpret_cast<uint32_t*>(s.Row(y))[x] ^= flip;
          continue;
        }
        uint32_t v;
        GdiReadRow(s, y, x, 1, &v);
        v ^= flip;
        GdiWriteRow(s, y, x, 1, &v);
      }
    });
  };
  const TRect box = dc->ClipBox();
  const int32_t xa = std::max(r.Left, box.Left - 1), xb = std::min(r.Right, box.Right + 1);
  const int32_t ya = std::max(r.Top, box.Top - 1), yb = std::min(r.Bottom, box.Bottom + 1);
  dots(r.Top, xa, xb);
  if (r.Bottom - 1 > r.Top) dots(r.Bottom - 1, xa, xb);
  for (int32_t y = std::max(ya, r.Top + 1); y < std::min(yb, r.Bottom - 1); ++y) {
    dots(y, r.Left, r.Left + 1);
    if (r.Right - 1 > r.Left) dots(y, r.Right - 1, r.Right);
  }
  return 1;
}

BOOL ExtFloodFill(HDC hdc, int32_t x, int32_t y, COLORREF color, UINT type) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || (type != FLOODFILLBORDER && type != FLOODFILLSURFACE)) return 0;
  const TPoint p = GdiLPtoDP(*dc, {x, y});
  const TRect box = dc->ClipBox();
  if (!box.Contains(p)) return 0;
  const auto& clip = dc->ClipRects();
  auto visible = [&](int32_t px, int32_t py) {
    for (const TRect& r : clip) {
      if (r.Top > py) break;
      if (r.Contains({px, py})) return true;
    }
    return false;
  };
  if (!visible(p.X, p.Y)) return 0;
  TSurface& s = *dc->Surface();
  const uint32_t key = GdiColorToPixel(s, GdiResolveColor(*dc, color));
  const int32_t w = box.Width(), h = box.Height();
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (int32_t yy = 0; yy < h; ++yy) GdiReadRow(s, box.Top + yy, box.Left, w, px.data() + static_cast<size_t>(yy) * w);
  std::vector<uint8_t> state(static_cast<size_t>(w) * h, 0);  // 1 = to fill
  auto fillable = [&](int32_t bx, int32_t by) {
    const size_t i = static_cast<size_t>(by) * w + bx;
    if (state[i]) return false;
    const bool match = px[i] == key;
    if (type == FLOODFILLSURFACE ? !match : match) return false;
    return visible(box.Left + bx, box.Top + by);
  };
  if (!fillable(p.X - box.Left, p.Y - box.Top)) return 0;
  std::vector<TPoint> stack = {{p.X - box.Left, p.Y - box.Top}};
  while (!stack.empty()) {
    const TPoint q = stack.back();
    stack.pop_back();
    if (!fillable(q.X, q.Y)) continue;
    int32_t a = q.X, b = q.X;
    while (a > 0 && fillable(a - 1, q.Y)) --a;
    while (b + 1 < w && fillable(b + 1, q.Y)) ++b;
    for (int32_t i = a; i <= b; ++i) state[static_cast<size_t>(q.Y) * w + i] = 1;
    for (const int32_t ny : {q.Y - 1, q.Y + 1}) {
      if (ny < 0 || ny >= h) continue;
      bool run = false;
      for (int32_t i = a; i <= b; ++i) {
        const bool f = fillable(i, ny);
        if (f && !run) stack.push_back({i, ny});
        run = f;
      }
    }
  }
  GdiPaint brush = GdiBrushPaint(*dc, dc->state.brush.get());
  for (int32_t yy = 0; yy < h; ++yy) {
    const uint8_t* row = state.data() + static_cast<size_t>(yy) * w;
    int32_t i = 0;
    while (i < w) {
      if (!row[i]) { ++i; continue; }
      int32_t e = i;
      while (e < w && row[e]) ++e;
      GdiPaintRun(*dc, brush, box.Top + yy, box.Left + i, box.Left + e);
      i = e;
    }
  }
  return 1;
}

BOOL FloodFill(HDC hdc, int32_t x, int32_t y, COLORREF border) { return ExtFloodFill(hdc, x, y, border, FLOODFILLBORDER); }

// Rectangle gradients: each channel (16 bits) runs linearly from the first vertex's colour at
// the first column (row) to the second's, reaching c0 + (c1 - c0) * i / n at pixel i of n; the
// stored 8-bit value is the high byte. 32-bit surfaces receive the alpha channel as well.
BOOL GradientFill(HDC hdc, const TRIVERTEX* v, ULONG nv, const void* mesh, ULONG nm, ULONG mode) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !v || !mesh || nv == 0 || nm == 0) return 0;
  if (mode != GRADIENT_FILL_RECT_H && mode != GRADIENT_FILL_RECT_V) return 0;
  const auto* rects = static_cast<const GRADIENT_RECT*>(mesh);
  for (ULONG i = 0; i < nm; ++i)
    if (rects[i].UpperLeft >= nv || rects[i].LowerRight >= nv) return 0;
  TSurface& s = *dc->Surface();
  const bool horizontal = mode == GRADIENT_FILL_RECT_H;
  for (ULONG i = 0; i < nm; ++i) {
    TRIVERTEX a = v[rects[i].UpperLeft], b = v[rects[i].LowerRight];
    TPoint pa = GdiLPtoDP(*dc, {a.x, a.y}), pb = GdiLPtoDP(*dc, {b.x, b.y});
    // The colour follows the vertex: the one at the smaller coordinate starts the ramp.
    if ((horizontal ? pa.X > pb.X : pa.Y > pb.Y)) {
      std::swap(a, b);
      std::swap(pa, pb);
    }
    const TRect r = NormalizedRect(TRect(pa, pb));
    if (r.IsEmpty()) continue;
    const int64_t n = horizontal ? r.Width() : r.Height();
    auto value = [&](int64_t k) {
      auto ch = [&](COLOR16 c0, COLOR16 c1) {
        return static_cast<uint32_t>((int64_t(c0) + (int64_t(c1) - c0) * k / n) >> 8) & 255;
      };
      const uint32_t R = ch(a.Red, b.Red), G = ch(a.Green, b.Green), B = ch(a.Blue, b.Blue);
      uint32_t px = GdiColorToPixel(s, RGB(static_cast<uint8_t>(R), static_cast<uint8_t>(G), static_cast<uint8_t>(B)));
      if (s.BitCount() == 32) px |= ch(a.Alpha, b.Alpha) << 24;
      return px;
    };
    // Values along the ramp, for the visible part only.
    const TRect box = dc->ClipBox();
    const int32_t k0 = horizontal ? std::max(r.Left, box.Left) : std::max(r.Top, box.Top);
    const int32_t k1 = horizontal ? std::min(r.Right, box.Right) : std::min(r.Bottom, box.Bottom);
    if (k1 <= k0) continue;
    std::vector<uint32_t> ramp(static_cast<size_t>(k1 - k0));
    for (int32_t k = k0; k < k1; ++k) ramp[static_cast<size_t>(k - k0)] = value(k - (horizontal ? r.Left : r.Top));
    std::vector<uint32_t> row;
    GdiForEachClipSpan(*dc, r, [&](int32_t y, int32_t x0, int32_t x1) {
      if (horizontal) {
        GdiWriteRow(s, y, x0, x1 - x0, ramp.data() + (x0 - k0));
      } else {
        row.assign(static_cast<size_t>(x1 - x0), ramp[static_cast<size_t>(y - k0)]);
        GdiWriteRow(s, y, x0, x1 - x0, row.data());
      }
    });
  }
  return 1;
}
