// The exact pixel core: colour <-> pixel values per surface format, row access, the binary and
// ternary raster operations, brush patterns, painting runs through the clip, coverage masks.
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiInternal.h"

namespace {

constexpr int32_t kChunk = 512;

int32_t NearestIndex(const std::vector<TRGBQuad>& pal, uint8_t r, uint8_t g, uint8_t b, int32_t limit) {
  int32_t best = 0;
  int64_t bestD = INT64_MAX;
  const int32_t n = std::min<int32_t>(static_cast<int32_t>(pal.size()), limit);
  for (int32_t i = 0; i < n; ++i) {
    const int64_t dr = int64_t(pal[i].rgbRed) - r, dg = int64_t(pal[i].rgbGreen) - g,
                  db = int64_t(pal[i].rgbBlue) - b;
    const int64_t d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

uint8_t Expand5(uint32_t v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
uint8_t Expand6(uint32_t v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

// The 8x8 hatch patterns (bit set = line pixel), relative to the brush origin.
bool HatchBit(int32_t hatch, int32_t x, int32_t y) {
  switch (hatch) {
    case HS_HORIZONTAL: return y == 0;
    case HS_VERTICAL: return x == 0;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 0 || y == 0;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    default: return false;
  }
}

}  // namespace

uint32_t GdiPixelMask(const TSurface& s) {
  switch (s.BitCount()) {
    case 1: return 1;
    case 4: return 15;
    case 8: return 255;
    case 15: return 0x7FFF;
    case 16: return 0xFFFF;
    case 24: return 0xFFFFFF;
    default: return 0xFFFFFFFFu;
  }
}

uint32_t GdiColorToPixel(const TSurface& s, COLORREF c) {
  const uint8_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (s.BitCount()) {
    case 32:
    case 24: return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    case 16:
      if (s.Is565()) return (uint32_t(r >> 3) << 11) | (uint32_t(g >> 2) << 5) | (b >> 3);
      [[fallthrough]];
    case 15: return (uint32_t(r >> 3) << 10) | (uint32_t(g >> 3) << 5) | (b >> 3);
    case 1:
      if (s.Palette().size() < 2) return (int(r) + g + b) >= 383 ? 1 : 0;
      return static_cast<uint32_t>(NearestIndex(s.Palette(), r, g, b, 2));
    case 4: return static_cast<uint32_t>(NearestIndex(s.Palette(), r, g, b, 16));
    case 8: return static_cast<uint32_t>(NearestIndex(s.Palette(), r, g, b, 256));
    default: return 0;
  }
}

COLORREF GdiPixelToColor(const TSurface& s, uint32_t v) {
  switch (s.BitCount()) {
    case 32:
    case 24: return RGB(static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v));
    case 16:
      if (s.Is565()) return RGB(Expand5((v >> 11) & 31), Expand6((v >> 5) & 63), Expand5(v & 31));
      [[fallthrough]];
    case 15: return RGB(Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31));
    case 1:
      if (s.Palette().size() < 2) return v & 1 ? 0xFFFFFF : 0;
      [[fallthrough]];
    default: {
      const auto& pal = s.Palette();
      if (v >= pal.size()) return 0;
      return RGB(pal[v].rgbRed, pal[v].rgbGreen, pal[v].rgbBlue);
    }
  }
}

void GdiReadRow(const TSurface& s, int32_t y, int32_t x, int32_t n, uint32_t* out) {
  const uint8_t* row = s.Row(y);
  switch (s.BitCount()) {
    case 32: std::memcpy(out, row + static_cast<size_t>(x) * 4, static_cast<size_t>(n) * 4); break;
    case 24: {
      const uint8_t* p = row + static_cast<size_t>(x) * 3;
      for (int32_t i = 0; i < n; ++i, p += 3) out[i] = p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
      break;
    }
    case 15:
    case 16: {
      const uint8_t* p = row + static_cast<size_t>(x) * 2;
      for (int32_t i = 0; i < n; ++i, p += 2) out[i] = p[0] | (uint32_t(p[1]) << 8);
      break;
    }
    case 8:
      for (int32_t i = 0; i < n; ++i) out[i] = row[x + i];
      break;
    case 4:
      for (int32_t i = 0; i < n; ++i) {
        const int32_t xx = x + i;
        out[i] = (row[xx >> 1] >> ((xx & 1) ? 0 : 4)) & 15;
      }
      break;
    case 1:
      for (int32_t i = 0; i < n; ++i) {
        const int32_t xx = x + i;
        out[i] = (row[xx >> 3] >> (7 - (xx & 7))) & 1;
      }
      break;
    default: std::fill_n(out, n, 0u);
  }
}

void GdiWriteRow(TSurface& s, int32_t y, int32_t x, int32_t n, const uint32_t* in) {
  uint8_t* row = s.Row(y);
  switch (s.BitCount()) {
    case 32: std::memcpy(row + static_cast<size_t>(x) * 4, in, static_cast<size_t>(n) * 4); break;
    case 24: {
      uint8_t* p = row + static_cast<size_t>(x) * 3;
      for (int32_t i = 0; i < n; ++i, p += 3) {
        p[0] = static_cast<uint8_t>(in[i]);
        p[1] = static_cast<uint8_t>(in[i] >> 8);
        p[2] = static_cast<uint8_t>(in[i] >> 16);
      }
      break;
    }
    case 15:
    case 16: {
      uint8_t* p = row + static_cast<size_t>(x) * 2;
      const uint32_t m = s.BitCount() == 15 || !s.Is565() ? 0x7FFF : 0xFFFF;
      for (int32_t i = 0; i < n; ++i, p += 2) {
        const uint32_t v = in[i] & m;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
      }
      break;
    }
    case 8:
      for (int32_t i = 0; i < n; ++i) row[x + i] = static_cast<uint8_t>(in[i]);
      break;
    case 4:
      for (int32_t i = 0; i < n; ++i) {
        const int32_t xx = x + i;
        uint8_t& b = row[xx >> 1];
        const uint8_t v = static_cast<uint8_t>(in[i] & 15);
        b = (xx & 1) ? static_cast<uint8_t>((b & 0xF0) | v) : static_cast<uint8_t>((b & 0x0F) | (v << 4));
      }
      break;
    case 1:
      for (int32_t i = 0; i < n; ++i) {
        const int32_t xx = x + i;
        const uint8_t m = static_cast<uint8_t>(0x80 >> (xx & 7));
        uint8_t& b = row[xx >> 3];
        b = (in[i] & 1) ? static_cast<uint8_t>(b | m) : static_cast<uint8_t>(b & ~m);
      }
      break;
    default: break;
  }
}

uint32_t GdiRop2(int32_t rop2, uint32_t p, uint32_t d) {
  switch (rop2) {
    case R2_BLACK: return 0;
    case R2_NOTMERGEPEN: return ~(p | d);
    case R2_MASKNOTPEN: return ~p & d;
    case R2_NOTCOPYPEN: return ~p;
    case R2_MASKPENNOT: return p & ~d;
    case R2_NOT: return ~d;
    case R2_XORPEN: return p ^ d;
    case R2_NOTMASKPEN: return ~(p & d);
    case R2_MASKPEN: return p & d;
    case R2_NOTXORPEN: return ~(p ^ d);
    case R2_NOP: return d;
    case R2_MERGENOTPEN: return ~p | d;
    case R2_COPYPEN: return p;
    case R2_MERGEPENNOT: return p | ~d;
    case R2_MERGEPEN: return p | d;
    case R2_WHITE: return ~0u;
    default: return d;
  }
}

uint32_t GdiRop3(uint8_t t, uint32_t p, uint32_t s, uint32_t d) {
  switch (t) {
    case 0x00: return 0;
    case 0xFF: return ~0u;
    case 0xCC: return s;
    case 0xF0: return p;
    case 0xAA: return d;
    case 0x55: return ~d;
    case 0x33: return ~s;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    case 0x66: return s ^ d;
    case 0x44: return s & ~d;
    case 0x11: return ~(s | d);
    case 0xC0: return p & s;
    case 0xBB: return ~s | d;
    case 0xFB: return p | ~s | d;
    case 0x5A: return p ^ d;
    case 0xB8: return ((p ^ d) & s) ^ p;
    case 0xE2: return ((p ^ d) & s) ^ d;
    default: break;
  }
  // Sum of the minterms selected by the truth table (bit index = P*4 + S*2 + D).
  uint32_t r = 0;
  for (int32_t i = 0; i < 8; ++i) {
    if (!((t >> i) & 1)) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r;
}

COLORREF GdiResolveColor(const GdiDC& dc, COLORREF c) {
  if ((c >> 24) == 1 && dc.state.palette) {
    const uint32_t i = c & 0xFFFF;
    const auto& e = dc.state.palette->entries;
    if (i < e.size()) return RGB(e[i].peRed, e[i].peGreen, e[i].peBlue);
    return 0;
  }
  return c & 0xFFFFFF;
}

COLORREF GdiPenColor(GdiDC& dc) {
  if (dc.state.hpen && dc.state.hpen == GetStockObject(DC_PEN)) return dc.state.dcPenColor;
  return dc.state.pen ? dc.state.pen->color : 0;
}

GdiPaint GdiPenPaint(GdiDC& dc, COLORREF color) {
  GdiPaint p;
  p.kind = GdiPaint::Solid;
  p.value = GdiColorToPixel(*dc.Surface(), GdiResolveColor(dc, color));
  p.rop2 = dc.state.rop2;
  return p;
}

GdiPaint GdiBrushPaint(GdiDC& dc, const GdiBrush* b) {
  GdiPaint p;
  if (!b || b->style == BS_NULL) return p;
  TSurface& s = *dc.Surface();
  p.rop2 = dc.state.rop2;
  p.org = dc.state.brushOrg;
  if (b->style == BS_SOLID) {
    COLORREF c = b->color;
    if (dc.state.brush.get() == b && dc.state.hbrush == GetStockObject(DC_BRUSH)) c = dc.state.dcBrushColor;
    p.kind = GdiPaint::Solid;
    p.value = GdiColorToPixel(s, GdiResolveColor(dc, c));
    return p;
  }
  p.kind = GdiPaint::Pattern;
  const uint32_t bk = GdiColorToPixel(s, GdiResolveColor(dc, dc.state.bkColor));
  if (b->style == BS_HATCHED) {
    const uint32_t fore = GdiColorToPixel(s, GdiResolveColor(dc, b->color));
    const bool transparent = dc.state.bkMode == TRANSPARENT;
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 8; ++x) {
        const bool line = HatchBit(b->hatch, x, y);
        p.pat[y * 8 + x] = line ? fore : bk;
        p.keep[y * 8 + x] = line || !transparent;
        if (!line && transparent) p.gaps = true;
      }
    }
  } else if (b->monoPattern) {
    const uint32_t text = GdiColorToPixel(s, GdiResolveColor(dc, dc.state.textColor));
    for (int32_t i = 0; i < 64; ++i) {
      p.pat[i] = ((b->monoBits[i >> 3] >> (7 - (i & 7))) & 1) ? bk : text;
      p.keep[i] = 1;
    }
  } else {
    for (int32_t i = 0; i < 64; ++i) {
      p.pat[i] = GdiColorToPixel(s, b->colors[i]);
      p.keep[i] = 1;
    }
  }
  return p;
}

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// Rows of a few hundred pixels (control faces, backgrounds) filled 32 bytes a store.
__attribute__((target("avx2"))) void Fill32Wide(uint32_t* d, int32_t n, uint32_t v) {
  using Pixel8 = uint32_t __attribute__((vector_size(32), aligned(4), may_alias));
  const Pixel8 x = {v, v, v, v, v, v, v, v};
  int32_t i = 0;
  for (; i + 16 <= n; i += 16) {
    *reinterpret_cast<Pixel8*>(d + i) = x;
    *reinterpret_cast<Pixel8*>(d + i + 8) = x;
  }
  for (; i + 8 <= n; i += 8) *reinterpret_cast<Pixel8*>(d + i) = x;
  GdiFill32(d + i, n - i, v);
}
bool HasWideFill() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}
#else
void Fill32Wide(uint32_t* d, int32_t n, uint32_t v) { GdiFill32(d, n, v); }
bool HasWideFill() { return false; }
#endif

void PaintRunOn(TSurface& s, const GdiPaint& p, int32_t y, int32_t x0, int32_t x1) {
  if (p.kind == GdiPaint::None || x1 <= x0) return;
  const int32_t bpp = s.BitCount();
  if (p.kind == GdiPaint::Solid && p.rop2 == R2_COPYPEN) {
    if (bpp == 32) {
      uint32_t* row = reinterpret_cast<uint32_t*>(s.Row(y)) + x0;
      const int32_t n = x1 - x0;
      if (n < 256) {
        if (n >= 32 && HasWideFill()) Fill32Wide(row, n, p.value);
        else GdiFill32(row, n, p.value);
        return;
      }
      // Long rows copy from a block of the value: the library's memcpy stores wider than the
      // fill above. The block is filled as far as rows have needed it.
      thread_local uint32_t block[kChunk];
      thread_local uint32_t blockValue = 0;
      thread_local int32_t blockFilled = 0;
      const int32_t need = std::min(kChunk, n);
      if (blockValue != p.value) {
        blockValue = p.value;
        blockFilled = 0;
      }
      if (blockFilled < need) {
        GdiFill32(block, need, p.value);
        blockFilled = need;
      }
      for (int32_t x = 0; x < n; x += kChunk)
        std::memcpy(row + x, block, static_cast<size_t>(std::min(kChunk, n - x)) * 4);
      return;
    }
    if (bpp == 8) {
      std::memset(s.Row(y) + x0, static_cast<int>(p.value), static_cast<size_t>(x1 - x0));
      return;
    }
  }
  if (p.rop2 == R2_NOP) return;
  uint32_t dst[kChunk];
  for (int32_t x = x0; x < x1; x += kChunk) {
    const int32_t n = std::min(kChunk, x1 - x);
    const bool needDst = p.rop2 != R2_COPYPEN || p.gaps || p.kind == GdiPaint::Pattern ? true : false;
    if (needDst) GdiReadRow(s, y, x, n, dst);
    if (p.kind == GdiPaint::Solid) {
      if (p.rop2 == R2_COPYPEN) std::fill_n(dst, n, p.value);
      else
        for (int32_t i = 0; i < n; ++i) dst[i] = GdiRop2(p.rop2, p.value, dst[i]);
    } else {
      const int32_t py = ((y - p.org.Y) & 7) * 8;
      for (int32_t i = 0; i < n; ++i) {
        const int32_t k = py + ((x + i - p.org.X) & 7);
        if (p.keep[k]) dst[i] = GdiRop2(p.rop2, p.pat[k], dst[i]);
      }
    }
    GdiWriteRow(s, y, x, n, dst);
  }
}

}  // namespace

void GdiPaintRun(GdiDC& dc, const GdiPaint& p, int32_t y, int32_t x0, int32_t x1) {
  if (p.kind == GdiPaint::None || x1 <= x0) return;
  PaintRunOn(*dc.Surface(), p, y, x0, x1);
}

void GdiPaintRect(GdiDC& dc, const GdiPaint& p, const TRect& r) {
  if (p.kind == GdiPaint::None) return;
  TSurface& s = *dc.Surface();
  GdiForEachClipSpan(dc, r, [&](int32_t y, int32_t x0, int32_t x1) { PaintRunOn(s, p, y, x0, x1); });
}

void GdiPaintRegion(GdiDC& dc, const GdiPaint& p, const GdiRegionData& rgn) {
  for (const TRect& r : rgn.Rects()) GdiPaintRect(dc, p, r);
}

void GdiFillDeviceRect(GdiDC& dc, const TRect& r, COLORREF color) {
  GdiPaint p;
  p.kind = GdiPaint::Solid;
  p.value = GdiColorToPixel(*dc.Surface(), GdiResolveColor(dc, color));
  p.rop2 = R2_COPYPEN;
  GdiPaintRect(dc, p, r);
}

void GdiBlendMask(GdiDC& dc, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* mask, int32_t stride,
                  COLORREF color) {
  if (!mask || w <= 0 || h <= 0) return;
  TSurface& s = *dc.Surface();
  const COLORREF c = GdiResolveColor(dc, color);
  const uint32_t solid = GdiColorToPixel(s, c);
  const int32_t bpp = s.BitCount();
  const int32_t cr = GetRValue(c), cg = GetGValue(c), cb = GetBValue(c);
  auto mix = [](int32_t d, int32_t src, int32_t a) { return (d * (255 - a) + src * a + 127) / 255; };
  const TRect area{x, y, x + w, y + h};
  uint32_t buf[kChunk];
  GdiForEachClipSpan(dc, area, [&](int32_t yy, int32_t x0, int32_t x1) {
    const uint8_t* m = mask + static_cast<ptrdiff_t>(yy - y) * stride;
    for (int32_t xs = x0; xs < x1; xs += kChunk) {
      const int32_t n = std::min(kChunk, x1 - xs);
      GdiReadRow(s, yy, xs, n, buf);
      bool changed = false;
      for (int32_t i = 0; i < n; ++i) {
        const int32_t a = m[xs + i - x];
        if (a == 0) continue;
        changed = true;
        if (a == 255) {
          buf[i] = solid;
        } else if (bpp <= 8) {
          if (a >= 128) buf[i] = solid;
        } else if (bpp == 32) {
          const uint32_t d = buf[i];
          // A written pixel's alpha byte is 0, as for every colour the core draws.
          const int32_t db = d & 255, dg = (d >> 8) & 255, dr = (d >> 16) & 255;
          buf[i] = uint32_t(mix(db, cb, a)) | (uint32_t(mix(dg, cg, a)) << 8) | (uint32_t(mix(dr, cr, a)) << 16);
        } else {
          const COLORREF d = GdiPixelToColor(s, buf[i]);
          buf[i] = GdiColorToPixel(s, RGB(static_cast<uint8_t>(mix(GetRValue(d), cr, a)),
                                          static_cast<uint8_t>(mix(GetGValue(d), cg, a)),
                                          static_cast<uint8_t>(mix(GetBValue(d), cb, a))));
        }
      }
      if (changed) GdiWriteRow(s, yy, xs, n, buf);
    }
  });
}

GdiMask::GdiMask(const TRect& b) : bounds(b.IsEmpty() ? TRect() : b) {
  bits.assign(static_cast<size_t>(bounds.Width()) * static_cast<size_t>(bounds.Height()), 0);
}

void GdiPaintMask(GdiDC& dc, GdiMask& m, const GdiPaint& fill, const GdiPaint& pen, const GdiPaint& gap) {
  if (m.bounds.IsEmpty()) return;
  const GdiPaint* paints[4] = {nullptr, &fill, &pen, &gap};
  for (int32_t y = m.bounds.Top; y < m.bounds.Bottom; ++y) {
    const uint8_t* row = m.Row(y);
    int32_t x = m.bounds.Left;
    while (x < m.bounds.Right) {
      const uint8_t v = row[x];
      int32_t e = x + 1;
      while (e < m.bounds.Right && row[e] == v) ++e;
      if (v > 0 && v < 4 && paints[v]->kind != GdiPaint::None) {
        const GdiPaint& p = *paints[v];
        GdiForEachClipRun(dc, y, x, e, [&](int32_t a, int32_t b) { GdiPaintRun(dc, p, y, a, b); });
      }
      x = e;
    }
  }
}
