// Blits: BitBlt, StretchBlt, MaskBlt, TransparentBlt and AlphaBlend, with the general ternary
// raster operation, format conversion between all surface formats and the monochrome rules:
// a monochrome bitmap drawn in colour takes the destination's text colour for 0 bits and its
// background colour for 1 bits; colour drawn into a monochrome bitmap gives 1 (white) where the
// source pixel equals the source DC's background colour and 0 elsewhere.
//
// Stretching: COLORONCOLOR takes for destination pixel d (0-based, in the direction of travel)
// the source pixel floor((2d + 1) * srcSize / (2 * dstSize)), the source pixel under the centre
// of d. BLACKONWHITE and WHITEONBLACK (the default is BLACKONWHITE) combine the pixels a
// shrinking step drops with AND and OR; HALFTONE averages areas when shrinking and interpolates
// bilinearly when enlarging. A negative extent mirrors and covers origin + extent + 1 .. origin.
#include <cmath>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>
#if defined(__SSE2__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "platform/gdi/GdiInternal.h"

namespace {

constexpr int32_t kMaxBlit = 1 << 26;

bool SamePalette(const TSurface& a, const TSurface& b) { return a.Palette() == b.Palette(); }

// n 24-bit pixels (B, G, R) to 32-bit values 0x00RRGGBB: a back buffer shown on a window.
#if defined(__SSE2__) && defined(__GNUC__)
#define PX_BLIT_SSSE3 1
// Four pixels a step from a 16-byte load: stops while 16 bytes remain readable.
__attribute__((target("ssse3"))) int32_t WidenRgb24SSSE3(const uint8_t* s, uint8_t* d, int32_t n) {
  const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  int32_t i = 0;
  for (; i + 6 <= n; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), _mm_shuffle_epi8(v, spread));
  }
  return i;
}

// Eight pixels a step, four in each 128-bit lane.
__attribute__((target("avx2"))) int32_t WidenRgb24AVX2(const uint8_t* s, uint8_t* d, int32_t n) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1,
                                          6, 7, 8, -1, 9, 10, 11, -1);
  int32_t i = 0;
  for (; i + 10 <= n; i += 8) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i + 12));
    const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i), _mm256_shuffle_epi8(v, spread));
  }
  return i;
}
#endif

void WidenRgb24(const uint8_t* s, uint8_t* d, int32_t n) {
  int32_t i = 0;
#if defined(PX_BLIT_SSSE3)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (avx2) i = WidenRgb24AVX2(s, d, n);
  if (ssse3) i += WidenRgb24SSSE3(s + 3 * i, d + 4 * i, n - i);
#endif
  for (; i < n; ++i) {
    d[4 * i] = s[3 * i];
    d[4 * i + 1] = s[3 * i + 1];
    d[4 * i + 2] = s[3 * i + 2];
    d[4 * i + 3] = 0;
  }
}

// n pixels of a 1-bit row from pixel x on, as c0 for 0 bits and c1 for 1 bits: eight a step once
// x reaches a byte boundary.
void ExpandMono(const uint8_t* row, int32_t x, int32_t n, uint32_t c0, uint32_t c1, uint32_t* out) {
  int32_t i = 0;
  for (; i < n && ((x + i) & 7); ++i) out[i] = (row[(x + i) >> 3] >> (7 - ((x + i) & 7))) & 1 ? c1 : c0;
  const GdiPixel4 v0 = {c0, c0, c0, c0}, diff = v0 ^ GdiPixel4{c1, c1, c1, c1};
  const GdiPixel4 high = {0x80, 0x40, 0x20, 0x10}, low = {8, 4, 2, 1};
  for (const uint8_t* p = row + ((x + i) >> 3); i + 8 <= n; i += 8, ++p) {
    const uint32_t b = *p;
    const GdiPixel4 bits = {b, b, b, b};
    *reinterpret_cast<GdiPixel4*>(out + i) = v0 ^ (diff & reinterpret_cast<GdiPixel4>((bits & high) != 0));
    *reinterpret_cast<GdiPixel4*>(out + i + 4) = v0 ^ (diff & reinterpret_cast<GdiPixel4>((bits & low) != 0));
  }
  for (; i < n; ++i) out[i] = (row[(x + i) >> 3] >> (7 - ((x + i) & 7))) & 1 ? c1 : c0;
}

// Source pixel values -> destination pixel values.
class Converter {
 public:
  Converter(const TSurface& src, bool srcMono, COLORREF srcBk, const TSurface& dst, bool dstMono, COLORREF text,
            COLORREF bk)
      : src_(src), dst_(dst) {
    const int32_t sb = src.BitCount(), db = dst.BitCount();
    if (srcMono) {
      if (db == 1) {
        mode_ = Identity;
      } else {
        mode_ = Lut;
        lut_ = {GdiColorToPixel(dst, text), GdiColorToPixel(dst, bk)};
      }
    } else if (dstMono) {
      if (sb <= 8) {
        mode_ = Lut;
        const size_t n = size_t(1) << sb;
        lut_.assign(n, 0);
        for (size_t i = 0; i < n; ++i) lut_[i] = GdiPixelToColor(src, static_cast<uint32_t>(i)) == (srcBk & 0xFFFFFF);
      } else {
        mode_ = ToMono;
        bkValue_ = GdiColorToPixel(src, srcBk) & 0xFFFFFF;
        rgbMask_ = sb == 32 ? 0xFFFFFFu : GdiPixelMask(src);
      }
    } else if (sb == db && (sb > 8 ? (sb != 16 || src.Is565() == dst.Is565()) : SamePalette(src, dst))) {
      mode_ = Identity;
    } else if (sb <= 8) {
      mode_ = Lut;
      const size_t n = size_t(1) << sb;
      lut_.resize(n);
      for (size_t i = 0; i < n; ++i) lut_[i] = GdiColorToPixel(dst, GdiPixelToColor(src, static_cast<uint32_t>(i)));
    } else if ((sb == 32 || sb == 24) && (db == 32 || db == 24)) {
      mode_ = Rgb24;
    } else {
      mode_ = General;
    }
  }
  bool IsIdentity() const { return mode_ == Identity; }
  // A monochrome source drawn in colour: the values of its 0 and 1 bits.
  bool MonoColors(uint32_t& c0, uint32_t& c1) const {
    if (mode_ != Lut || lut_.size() != 2 || src_.BitCount() != 1) return false;
    c0 = lut_[0];
    c1 = lut_[1];
    return true;
  }
  uint32_t One(uint32_t v) {
    switch (mode_) {
      case Identity: return v;
      case Lut: return v < lut_.size() ? lut_[v] : 0;
      case ToMono: return (v & rgbMask_) == bkValue_ ? 1 : 0;
      case Rgb24: return v & 0xFFFFFF;
      default: {
        if (hasLast_ && v == lastIn_) return lastOut_;
        uint32_t out;
        if (dst_.BitCount() <= 8) {
          auto it = cache_.find(v);
          if (it != cache_.end()) {
            out = it->second;
          } else {
            out = GdiColorToPixel(dst_, GdiPixelToColor(src_, v));
            if (cache_.size() < 65536) cache_.emplace(v, out);
          }
        } else {
          out = GdiColorToPixel(dst_, GdiPixelToColor(src_, v));
        }
        hasLast_ = true;
        lastIn_ = v;
        lastOut_ = out;
        return out;
      }
    }
  }
  void Row(const uint32_t* in, uint32_t* out, int32_t n) {
    switch (mode_) {
      case Identity:
        if (in != out) std::memcpy(out, in, static_cast<size_t>(n) * 4);
        return;
      case Lut: {
        const uint32_t* lut = lut_.data();
        const size_t size = lut_.size();
        if (size == 2) {  // monochrome: a select per pixel
          const uint32_t c0 = lut[0], c1 = lut[1];
          for (int32_t i = 0; i < n; ++i) out[i] = in[i] == 0 ? c0 : in[i] == 1 ? c1 : 0;
          return;
        }
        for (int32_t i = 0; i < n; ++i) out[i] = in[i] < size ? lut[in[i]] : 0;
        return;
      }
      case Rgb24:
        for (int32_t i = 0; i < n; ++i) out[i] = in[i] & 0xFFFFFF;
        return;
      default:
        for (int32_t i = 0; i < n; ++i) out[i] = One(in[i]);
    }
  }

 private:
  enum Mode { Identity, Lut, ToMono, Rgb24, General } mode_ = General;
  const TSurface& src_;
  const TSurface& dst_;
  std::vector<uint32_t> lut_;
  uint32_t bkValue_ = 0, rgbMask_ = 0;
  std::unordered_map<uint32_t, uint32_t> cache_;
  bool hasLast_ = false;
  uint32_t lastIn_ = 0, lastOut_ = 0;
};

struct SrcInfo {
  const TSurface* s = nullptr;
  bool mono = false;      // monochrome device-dependent bitmap
  COLORREF bk = 0xFFFFFF;  // the source DC's background colour
};

// One axis of a blit: physical ranges and the mapping from destination to source pixels.
struct Axis {
  int32_t d0 = 0, n = 0;    // destination physical start and size
  int32_t s0 = 0, sn = 0;   // source physical start and size
  bool dstNeg = false, srcNeg = false;
  // Physical source index (relative to s0) of the destination pixel at physical offset i.
  int32_t Nearest(int32_t i) const {
    const int64_t ld = dstNeg ? n - 1 - i : i;
    const int64_t ls = (2 * ld + 1) * sn / (2 * int64_t(n));
    return static_cast<int32_t>(srcNeg ? sn - 1 - ls : ls);
  }
  // Source range (physical, relative) the destination pixel covers when shrinking.
  void Range(int32_t i, int32_t& a, int32_t& b) const {
    if (sn <= n) {
      a = Nearest(i);
      b = a + 1;
      return;
    }
    const int64_t ld = dstNeg ? n - 1 - i : i;
    int64_t la = ld * sn / n, lb = (ld + 1) * sn / n;
    if (lb <= la) lb = la + 1;
    if (srcNeg) {
      const int64_t t = sn - lb;
      lb = sn - la;
      la = t;
    }
    a = static_cast<int32_t>(la);
    b = static_cast<int32_t>(lb);
  }
};

bool MakeAxis(int32_t d, int32_t dn, int32_t s, int32_t sn, Axis& a) {
  if (dn == 0 || sn == 0) return false;
  if (std::abs(int64_t(dn)) > kMaxBlit || std::abs(int64_t(sn)) > kMaxBlit) return false;
  a.dstNeg = dn < 0;
  a.srcNeg = sn < 0;
  a.n = std::abs(dn);
  a.sn = std::abs(sn);
  a.d0 = dn > 0 ? d : d + dn + 1;
  a.s0 = sn > 0 ? s : s + sn + 1;
  return true;
}

// The source as 0xAARRGGBB colours (alpha from 32-bit sources, else 0; monochrome bitmaps
// through the destination's text and background colours).
uint32_t SourceArgb(const SrcInfo& src, uint32_t v, COLORREF text, COLORREF bk) {
  COLORREF c;
  uint32_t a = 0;
  if (src.mono) c = (v & 1) ? bk : text;
  else c = GdiPixelToColor(*src.s, v);
  if (src.s->BitCount() == 32) a = v >> 24;
  return (a << 24) | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

// Resamples the source into a 32-bit surface covering the visible destination rectangle vis
// (physical, inside the blit's destination): nearest pixels, or area average / bilinear.
std::unique_ptr<TSurface> Resample(const SrcInfo& src, const Axis& ax, const Axis& ay, const TRect& vis, bool smooth,
                                   COLORREF text, COLORREF bk) {
  auto out = std::make_unique<TSurface>(vis.Width(), vis.Height(), 32);
  const TSurface& s = *src.s;
  const int32_t sw = s.Width(), sh = s.Height();
  // Weights per destination index along one axis: (physical source index, weight).
  struct W {
    std::vector<std::pair<int32_t, double>> taps;
  };
  auto weights = [&](const Axis& a, int32_t from, int32_t to, int32_t limit) {
    std::vector<W> ws(static_cast<size_t>(to - from));
    for (int32_t i = from; i < to; ++i) {
      W& w = ws[static_cast<size_t>(i - from)];
      const int64_t ld = a.dstNeg ? a.n - 1 - (i - a.d0) : (i - a.d0);
      auto phys = [&](int64_t ls) {
        ls = std::clamp<int64_t>(ls, 0, a.sn - 1);
        const int64_t p = a.s0 + (a.srcNeg ? a.sn - 1 - ls : ls);
        return static_cast<int32_t>(std::clamp<int64_t>(p, 0, limit - 1));
      };
      if (!smooth) {
        w.taps.push_back({phys((2 * ld + 1) * a.sn / (2 * int64_t(a.n))), 1.0});
      } else if (a.sn > a.n) {
        // Area: source pixel k covers [k * n, (k + 1) * n), destination [ld * sn, (ld + 1) * sn).
        const int64_t lo = ld * a.sn, hi = (ld + 1) * a.sn;
        for (int64_t k = lo / a.n; k * a.n < hi; ++k) {
          const int64_t ov = std::min(hi, (k + 1) * a.n) - std::max(lo, k * a.n);
          if (ov > 0) w.taps.push_back({phys(k), double(ov) / double(a.sn)});
        }
      } else {
        const double c = (ld + 0.5) * a.sn / a.n - 0.5;
        const int64_t i0 = static_cast<int64_t>(std::floor(c));
        const double f = c - i0;
        w.taps.push_back({phys(i0), 1 - f});
        if (f > 0) w.taps.push_back({phys(i0 + 1), f});
      }
    }
    return ws;
  };
  const auto wx = weights(ax, vis.Left, vis.Right, sw);
  const auto wy = weights(ay, vis.Top, vis.Bottom, sh);
  std::vector<uint32_t> srow(static_cast<size_t>(sw));
  std::vector<double> acc(static_cast<size_t>(vis.Width()) * 4);
  std::unordered_map<int32_t, std::vector<double>> rows;  // horizontally resampled source rows
  auto hrow = [&](int32_t y) -> const std::vector<double>& {
    auto it = rows.find(y);
    if (it != rows.end()) return it->second;
    GdiReadRow(s, y, 0, sw, srow.data());
    std::vector<double> r(static_cast<size_t>(vis.Width()) * 4, 0.0);
    for (size_t i = 0; i < wx.size(); ++i)
      for (const auto& [x, wt] : wx[i].taps) {
        const uint32_t c = SourceArgb(src, srow[static_cast<size_t>(x)], text, bk);
        for (int32_t ch = 0; ch < 4; ++ch) r[i * 4 + ch] += wt * ((c >> (ch * 8)) & 255);
      }
    if (rows.size() > 4096) rows.clear();
    return rows.emplace(y, std::move(r)).first->second;
  };
  for (int32_t j = 0; j < vis.Height(); ++j) {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (const auto& [y, wt] : wy[static_cast<size_t>(j)].taps) {
      const auto& r = hrow(y);
      for (size_t k = 0; k < acc.size(); ++k) acc[k] += wt * r[k];
    }
    uint32_t* o = reinterpret_cast<uint32_t*>(out->Row(j));
    for (int32_t i = 0; i < vis.Width(); ++i) {
      uint32_t v = 0;
      for (int32_t ch = 0; ch < 4; ++ch) {
        const double c = std::clamp(std::floor(acc[static_cast<size_t>(i) * 4 + ch] + 0.5), 0.0, 255.0);
        v |= static_cast<uint32_t>(c) << (ch * 8);
      }
      o[i] = v;
    }
  }
  return out;
}

bool UsesSource(uint8_t t) { return ((t >> 2) & 0x33) != (t & 0x33); }
bool UsesPattern(uint8_t t) { return ((t >> 4) & 0x0F) != (t & 0x0F); }

struct BlitOp {
  uint8_t rop = 0xCC;
  uint8_t ropBack = 0xCC;
  const TSurface* mask = nullptr;  // MaskBlt: 1 bits take rop, 0 bits ropBack
  TPoint maskOrg;                  // mask pixel of the destination's physical origin
  int32_t stretchMode = COLORONCOLOR;
  bool transparent = false;
  COLORREF key = 0;
};

// The core: destination rectangle (device, origin + extent) from the source (device).
bool RunBlit(GdiDC& dc, int32_t dx, int32_t dy, int32_t dw, int32_t dh, const SrcInfo* src, int32_t sx, int32_t sy,
             int32_t sw, int32_t sh, const BlitOp& op) {
  TSurface& ds = *dc.Surface();
  Axis ax, ay;
  if (!MakeAxis(dx, dw, sx, src ? sw : dw, ax) || !MakeAxis(dy, dh, sy, src ? sh : dh, ay)) return false;
  const TRect dstRect(ax.d0, ay.d0, ax.d0 + ax.n, ay.d0 + ay.n);
  TRect vis;
  if (!IntersectRect(vis, dstRect, dc.ClipBox())) return true;
  const bool anyS = src && (UsesSource(op.rop) || (op.mask && UsesSource(op.ropBack)) || op.transparent);
  const bool anyP = UsesPattern(op.rop) || (op.mask && UsesPattern(op.ropBack));
  const COLORREF text = GdiResolveColor(dc, dc.state.textColor), bk = GdiResolveColor(dc, dc.state.bkColor);

  // Source geometry; HALFTONE goes through a resampled copy of the visible part.
  SrcInfo s;
  std::unique_ptr<TSurface> tmp;
  Axis sxA = ax, syA = ay;
  if (anyS) {
    s = *src;
    const bool stretched = ax.n != ax.sn || ay.n != ay.sn;
    if (stretched && op.stretchMode == HALFTONE && !op.transparent) {
      tmp = Resample(s, ax, ay, vis, true, text, bk);
      s.s = tmp.get();
      s.mono = false;
      MakeAxis(vis.Left, vis.Width(), 0, vis.Width(), sxA);
      MakeAxis(vis.Top, vis.Height(), 0, vis.Height(), syA);
    } else if (src->s == &ds) {
      // Same surface: copy the source area first so overlapping blits read unchanged pixels.
      TRect sr(ax.s0, ay.s0, ax.s0 + ax.sn, ay.s0 + ay.sn), si;
      if (!IntersectRect(si, sr, ds.BoundsRect())) return true;
      tmp = std::make_unique<TSurface>(si.Width(), si.Height(), ds.BitCount());
      tmp->Palette() = ds.Palette();
      tmp->SetIs565(ds.Is565());
      std::vector<uint32_t> v(static_cast<size_t>(si.Width()));
      for (int32_t y = si.Top; y < si.Bottom; ++y) {
        GdiReadRow(ds, y, si.Left, si.Width(), v.data());
        GdiWriteRow(*tmp, y - si.Top, 0, si.Width(), v.data());
      }
      s.s = tmp.get();
      sxA.s0 -= si.Left;
      syA.s0 -= si.Top;
    }
  }
  const TSurface* ss = anyS ? s.s : nullptr;
  Converter* conv = nullptr;
  std::optional<Converter> convHolder;
  if (anyS) {
    convHolder.emplace(*ss, s.mono, s.bk, ds, dc.MonoDDB(), text, bk);
    conv = &*convHolder;
  }
  const int32_t dbits = ds.BitCount();

  // Same size onto 32 bits, the source alone or with the destination (copies, masks, erasing,
  // painting and inverting, as transparent draws and off-screen pictures do): each clip span is
  // combined in place with its converted source row.
  const bool unstretched = anyS && ax.n == ax.sn && ay.n == ay.sn && ax.dstNeg == ax.srcNeg && ay.dstNeg == ay.srcNeg;
  if (unstretched && dbits == 32 && !anyP && !op.mask && !op.transparent &&
      (op.rop == 0x88 || op.rop == 0x66 || op.rop == 0xEE || op.rop == 0x44 ||
       // plain copies of the same format or from 24 bits have their own paths below
       (op.rop == 0xCC && !conv->IsIdentity() && ss->BitCount() != 24))) {
    const int32_t dxs = sxA.s0 - ax.d0, dys = syA.s0 - ay.d0;  // source = destination + offset
    const int32_t vx0 = std::max(vis.Left, -dxs), vx1 = std::min(vis.Right, ss->Width() - dxs);
    if (vx1 <= vx0) return true;
    const bool inPlace = conv->IsIdentity() && ss->BitCount() == 32;
    uint32_t c0 = 0, c1 = 0;
    const bool mono = conv->MonoColors(c0, c1);
    std::vector<uint32_t> buf(inPlace ? 0 : static_cast<size_t>(vx1 - vx0));
    GdiForEachClipSpan(dc, vis, [&](int32_t y, int32_t x0, int32_t x1) {
      const int32_t sy = y + dys;
      if (sy < 0 || sy >= ss->Height()) return;
      const int32_t a = std::max(x0, vx0), b = std::min(x1, vx1), n = b - a;
      if (n <= 0) return;
      const uint32_t* __restrict g;  // another surface or the row buffer: never the destination
      if (inPlace) {
        g = reinterpret_cast<const uint32_t*>(ss->Row(sy)) + (a + dxs);
      } else if (mono) {
        ExpandMono(ss->Row(sy), a + dxs, n, c0, c1, buf.data());
        g = buf.data();
      } else {
        GdiReadRow(*ss, sy, a + dxs, n, buf.data());
        conv->Row(buf.data(), buf.data(), n);
        g = buf.data();
      }
      uint32_t* __restrict d = reinterpret_cast<uint32_t*>(ds.Row(y)) + a;
      if (op.rop == 0xCC) std::memcpy(d, g, static_cast<size_t>(n) * 4);
      else GdiRopRow32(op.rop, d, g, n);
    });
    return true;
  }
  const bool plainCopy = anyS && op.rop == 0xCC && !op.mask && !op.transparent;

  // Same size, same format, plain copy: rows are copied as bytes.
  const bool direct = plainCopy && conv->IsIdentity() && ax.n == ax.sn && ay.n == ay.sn && ax.dstNeg == ax.srcNeg &&
                      ay.dstNeg == ay.srcNeg && ss->BitCount() >= 8;
  if (direct) {
    const int32_t bpp = ss->BitCount() == 15 ? 2 : ss->BitCount() / 8;
    const int32_t dxs = sxA.s0 - ax.d0, dys = syA.s0 - ay.d0;  // source = destination + offset
    const int32_t vx0 = std::max(vis.Left, -dxs), vx1 = std::min(vis.Right, ss->Width() - dxs);
    if (vx1 <= vx0) return true;
    // Whole rows of equally laid out surfaces are one block.
    const auto& clip = dc.ClipRects();
    if (clip.size() == 1 && dxs == 0 && vis.Left == 0 && vis.Right == ds.Width() && ss->Width() == ds.Width() &&
        ds.Stride() == ss->Stride() && ds.Stride() > 0 && vis.Top + dys >= 0 && vis.Bottom + dys <= ss->Height() &&
        clip[0].Left <= vis.Left && clip[0].Right >= vis.Right && clip[0].Top <= vis.Top &&
        clip[0].Bottom >= vis.Bottom) {
      std::memcpy(ds.Row(vis.Top), ss->Row(vis.Top + dys), static_cast<size_t>(ds.Stride()) * vis.Height());
      return true;
    }
    GdiForEachClipSpan(dc, vis, [&](int32_t y, int32_t x0, int32_t x1) {
      const int32_t sy = y + dys;
      if (sy < 0 || sy >= ss->Height()) return;
      const int32_t a = std::max(x0, vx0), b = std::min(x1, vx1);
      if (b <= a) return;
      std::memcpy(ds.Row(y) + static_cast<size_t>(a) * bpp, ss->Row(sy) + static_cast<size_t>(a + dxs) * bpp,
                  static_cast<size_t>(b - a) * bpp);
    });
    return true;
  }

  // Same size, plain copy of 24-bit colour onto 32-bit colour (a back buffer onto a window):
  // the rows widen byte-wise, as the general path's value & 0xFFFFFF would.
  const bool widen = plainCopy && !s.mono && !dc.MonoDDB() && ss->BitCount() == 24 && dbits == 32 &&
                     ax.n == ax.sn && ay.n == ay.sn && ax.dstNeg == ax.srcNeg && ay.dstNeg == ay.srcNeg;
  if (widen) {
    const int32_t dxs = sxA.s0 - ax.d0, dys = syA.s0 - ay.d0;
    const int32_t vx0 = std::max(vis.Left, -dxs), vx1 = std::min(vis.Right, ss->Width() - dxs);
    if (vx1 <= vx0) return true;
    GdiForEachClipSpan(dc, vis, [&](int32_t y, int32_t x0, int32_t x1) {
      const int32_t sy = y + dys;
      if (sy < 0 || sy >= ss->Height()) return;
      const int32_t a = std::max(x0, vx0), b = std::min(x1, vx1);
      if (b <= a) return;
      WidenRgb24(ss->Row(sy) + static_cast<size_t>(a + dxs) * 3, ds.Row(y) + static_cast<size_t>(a) * 4, b - a);
    });
    return true;
  }

  const bool shrinkAndOr = anyS && !tmp.get() && (op.stretchMode == BLACKONWHITE || op.stretchMode == WHITEONBLACK) &&
                           (ax.sn > ax.n || ay.sn > ay.n) && !op.transparent;
  const bool orMode = op.stretchMode == WHITEONBLACK;

  // Column maps: source column range per visible destination column. The mapping is monotone,
  // so the columns with a source inside the surface form one interval [vx0, vx1).
  const int32_t vw = vis.Width();
  std::vector<int32_t> colA(static_cast<size_t>(vw)), colB(static_cast<size_t>(vw));
  int32_t scMin = INT32_MAX, scMax = INT32_MIN, vx0 = vis.Right, vx1 = vis.Left;
  if (anyS) {
    for (int32_t i = 0; i < vw; ++i) {
      int32_t a, b;
      if (shrinkAndOr) sxA.Range(vis.Left + i - sxA.d0, a, b);
      else { a = sxA.Nearest(vis.Left + i - sxA.d0); b = a + 1; }
      a += sxA.s0;
      b += sxA.s0;
      if (a < 0 || b > ss->Width()) continue;
      colA[static_cast<size_t>(i)] = a;
      colB[static_cast<size_t>(i)] = b;
      scMin = std::min(scMin, a);
      scMax = std::max(scMax, b);
      vx0 = std::min(vx0, vis.Left + i);
      vx1 = std::max(vx1, vis.Left + i + 1);
    }
    if (vx1 <= vx0) return true;
  } else {
    vx0 = vis.Left;
    vx1 = vis.Right;
  }
  GdiPaint pat;
  if (anyP) {
    pat = GdiBrushPaint(dc, dc.state.brush.get());
    if (pat.kind == GdiPaint::None) {
      // A null brush gives a zero pattern.
      pat.kind = GdiPaint::Solid;
      pat.value = 0;
    }
  }

  std::vector<uint32_t> srow, conv1, gathered(static_cast<size_t>(vw)), drow(static_cast<size_t>(vw)), acc;
  int32_t cachedRow = INT32_MIN;
  const uint32_t* conv1p = nullptr;  // converted source row y over [scMin, scMax)
  auto loadRow = [&](int32_t y) {
    if (y == cachedRow) return;
    const int32_t n = scMax - scMin;
    cachedRow = y;
    if (conv->IsIdentity() && ss->BitCount() == 32 && !op.transparent) {
      conv1p = reinterpret_cast<const uint32_t*>(ss->Row(y)) + scMin;
      return;
    }
    srow.resize(static_cast<size_t>(n));
    conv1.resize(static_cast<size_t>(n));
    GdiReadRow(*ss, y, scMin, n, srow.data());
    if (op.transparent) conv1 = srow;  // converted per pixel later
    else conv->Row(srow.data(), conv1.data(), n);
    conv1p = conv1.data();
  };

  int32_t gatheredRow = INT32_MIN, gatheredX0 = 0, gatheredX1 = 0;
  GdiForEachClipSpan(dc, vis, [&](int32_t y, int32_t sx0, int32_t sx1) {
    const int32_t x0 = std::max(sx0, vx0), x1 = std::min(sx1, vx1);
    if (x1 <= x0) return;
    const int32_t i0 = x0 - vis.Left, n = x1 - x0;
    // Source rows for this destination row.
    int32_t ra = 0, rb = 1;
    if (anyS) {
      if (shrinkAndOr) syA.Range(y - syA.d0, ra, rb);
      else { ra = syA.Nearest(y - syA.d0); rb = ra + 1; }
      ra += syA.s0;
      rb += syA.s0;
      if (ra < 0 || rb > ss->Height()) return;
    }
    // Gather converted source values.
    if (anyS) {
      if (shrinkAndOr) {
        acc.assign(static_cast<size_t>(n), orMode ? 0u : ~0u);
        for (int32_t yy = ra; yy < rb; ++yy) {
          loadRow(yy);
          for (int32_t i = 0; i < n; ++i) {
            uint32_t v = orMode ? 0u : ~0u;
            for (int32_t k = colA[static_cast<size_t>(i0 + i)]; k < colB[static_cast<size_t>(i0 + i)]; ++k)
              v = orMode ? (v | conv1p[k - scMin]) : (v & conv1p[k - scMin]);
            acc[static_cast<size_t>(i)] = orMode ? (acc[static_cast<size_t>(i)] | v) : (acc[static_cast<size_t>(i)] & v);
          }
        }
        std::copy(acc.begin(), acc.end(), gathered.begin());
        gatheredRow = INT32_MIN;
      } else if (ra != gatheredRow || x0 != gatheredX0 || x1 != gatheredX1) {
        // Enlarging repeats source rows: gather once per source row and span.
        loadRow(ra);
        const int32_t* cols = colA.data() + i0;
        uint32_t* g = gathered.data();
        for (int32_t i = 0; i < n; ++i) g[i] = conv1p[cols[i] - scMin];
        gatheredRow = ra;
        gatheredX0 = x0;
        gatheredX1 = x1;
      }
    }
    if (plainCopy && dbits == 32) {
      std::memcpy(reinterpret_cast<uint32_t*>(ds.Row(y)) + x0, gathered.data(), static_cast<size_t>(n) * 4);
      return;
    }
    if (plainCopy) {
      GdiWriteRow(ds, y, x0, n, gathered.data());
      return;
    }
    GdiReadRow(ds, y, x0, n, drow.data());
    // The common raster operations of one source and the destination (masking and erasing) run
    // as one tight loop over the row.
    if (anyS && !anyP && !op.mask && !op.transparent &&
        (op.rop == 0x88 || op.rop == 0x66 || op.rop == 0xEE || op.rop == 0x44)) {
      GdiRopRow32(op.rop, drow.data(), gathered.data(), n);
      GdiWriteRow(ds, y, x0, n, drow.data());
      return;
    }
    const int32_t py = ((y - pat.org.Y) & 7) * 8;
    for (int32_t k = 0; k < n; ++k) {
      const int32_t x = x0 + k;
      uint32_t sv = anyS ? gathered[static_cast<size_t>(k)] : 0;
      if (op.transparent) {
        const uint32_t raw = sv;
        const COLORREF c = s.mono ? ((raw & 1) ? bk : text) : GdiPixelToColor(*ss, raw);
        if ((c & 0xFFFFFF) == (op.key & 0xFFFFFF)) continue;
        sv = conv->One(raw);
      }
      uint8_t t = op.rop;
      if (op.mask) {
        const int32_t mx = op.maskOrg.X + (x - ax.d0), my = op.maskOrg.Y + (y - ay.d0);
        uint32_t bit = 0;
        if (mx >= 0 && my >= 0 && mx < op.mask->Width() && my < op.mask->Height()) GdiReadRow(*op.mask, my, mx, 1, &bit);
        if (!bit) t = op.ropBack;
      }
      uint32_t pv = 0;
      if (anyP) {
        if (pat.kind == GdiPaint::Solid) {
          pv = pat.value;
        } else {
          const int32_t kk = py + ((x - pat.org.X) & 7);
          if (!pat.keep[kk] && UsesPattern(t)) continue;
          pv = pat.pat[kk];
        }
      }
      drow[static_cast<size_t>(k)] = t == 0xCC ? sv : GdiRop3(t, pv, sv, drow[static_cast<size_t>(k)]);
    }
    GdiWriteRow(ds, y, x0, n, drow.data());
  });
  return true;
}

// Device coordinates of a logical origin + extent.
void MapExtent(GdiDC& dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t& dx, int32_t& dy, int32_t& dw,
               int32_t& dh) {
  if (GdiIsTranslation(dc)) {
    const TPoint p = GdiLPtoDP(dc, {x, y});
    dx = p.X; dy = p.Y; dw = w; dh = h;
    return;
  }
  const TPoint a = GdiLPtoDP(dc, {x, y});
  const TPoint b = GdiLPtoDP(dc, {static_cast<int32_t>(std::clamp<int64_t>(int64_t(x) + w, INT32_MIN, INT32_MAX)),
                                  static_cast<int32_t>(std::clamp<int64_t>(int64_t(y) + h, INT32_MIN, INT32_MAX))});
  dx = a.X; dy = a.Y;
  dw = b.X - a.X; dh = b.Y - a.Y;
  if (dw == 0 && w != 0) dw = w > 0 ? 1 : -1;
  if (dh == 0 && h != 0) dh = h > 0 ? 1 : -1;
}

bool SourceOf(HDC hsrc, SrcInfo& s, GdiDC*& sdc) {
  sdc = GdiGetDC(hsrc);
  if (!sdc) return false;
  s.s = sdc->Surface();
  s.mono = sdc->MonoDDB();
  s.bk = GdiResolveColor(*sdc, sdc->state.bkColor);
  return true;
}

BOOL Stretch(HDC hdst, int32_t x, int32_t y, int32_t w, int32_t h, HDC hsrc, int32_t xs, int32_t ys, int32_t ws,
             int32_t hs, BlitOp op) {
  GdiDC* dc = GdiGetDC(hdst);
  if (!dc) return 0;
  if (w == 0 || h == 0) return 1;
  int32_t dx, dy, dw, dh;
  MapExtent(*dc, x, y, w, h, dx, dy, dw, dh);
  const bool needS = UsesSource(op.rop) || (op.mask && UsesSource(op.ropBack)) || op.transparent;
  if (!needS) return RunBlit(*dc, dx, dy, dw, dh, nullptr, 0, 0, 0, 0, op) ? 1 : 0;
  SrcInfo s;
  GdiDC* sdc = nullptr;
  if (!SourceOf(hsrc, s, sdc)) return 0;
  if (ws == 0 || hs == 0) return 0;
  int32_t sx, sy, sw, sh;
  MapExtent(*sdc, xs, ys, ws, hs, sx, sy, sw, sh);
  return RunBlit(*dc, dx, dy, dw, dh, &s, sx, sy, sw, sh, op) ? 1 : 0;
}

}  // namespace

BOOL BitBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xs, int32_t ys, DWORD rop) {
  BlitOp op;
  op.rop = static_cast<uint8_t>(rop >> 16);
  return Stretch(dst, x, y, w, h, src, xs, ys, w, h, op);
}

BOOL StretchBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xs, int32_t ys, int32_t ws,
                int32_t hs, DWORD rop) {
  GdiDC* dc = GdiGetDC(dst);
  if (!dc) return 0;
  BlitOp op;
  op.rop = static_cast<uint8_t>(rop >> 16);
  op.stretchMode = dc->state.stretchMode;
  return Stretch(dst, x, y, w, h, src, xs, ys, ws, hs, op);
}

BOOL MaskBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xs, int32_t ys, HBITMAP mask,
             int32_t xm, int32_t ym, DWORD rop4) {
  GdiDC* dc = GdiGetDC(dst);
  if (!dc) return 0;
  BlitOp op;
  op.rop = static_cast<uint8_t>(rop4 >> 16);
  op.ropBack = static_cast<uint8_t>(rop4 >> 24);
  std::shared_ptr<GdiBitmap> m;
  if (mask) {
    m = GdiLookupAs<GdiBitmap>(mask, GdiKind::Bitmap);
    if (!m || m->surface->BitCount() != 1) return 0;
    if (xm < 0 || ym < 0 || int64_t(xm) + std::abs(int64_t(w)) > m->surface->Width() ||
        int64_t(ym) + std::abs(int64_t(h)) > m->surface->Height())
      return 0;
    op.mask = m->surface.get();
    op.maskOrg = {xm, ym};
  }
  return Stretch(dst, x, y, w, h, src, xs, ys, w, h, op);
}

BOOL TransparentBlt(HDC dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC src, int32_t xs, int32_t ys, int32_t ws,
                    int32_t hs, UINT transparent) {
  if (w <= 0 || h <= 0 || ws <= 0 || hs <= 0) return 0;
  BlitOp op;
  op.transparent = true;
  op.key = transparent;
  op.stretchMode = COLORONCOLOR;
  return Stretch(dst, x, y, w, h, src, xs, ys, ws, hs, op);
}

BOOL AlphaBlend(HDC hdst, int32_t x, int32_t y, int32_t w, int32_t h, HDC hsrc, int32_t xs, int32_t ys, int32_t ws,
                int32_t hs, BLENDFUNCTION bf) {
  GdiDC* dc = GdiGetDC(hdst);
  SrcInfo s;
  GdiDC* sdc = nullptr;
  if (!dc || !SourceOf(hsrc, s, sdc)) return 0;
  if (bf.BlendOp != AC_SRC_OVER || bf.BlendFlags != 0 || (bf.AlphaFormat & ~AC_SRC_ALPHA) != 0) return 0;
  if (w < 0 || h < 0 || ws < 0 || hs < 0) return 0;
  const bool perPixel = bf.AlphaFormat & AC_SRC_ALPHA;
  if (perPixel && s.s->BitCount() != 32) return 0;
  if (w == 0 || h == 0 || ws == 0 || hs == 0) return 1;
  int32_t dx, dy, dw, dh, sx, sy, sw, sh;
  MapExtent(*dc, x, y, w, h, dx, dy, dw, dh);
  MapExtent(*sdc, xs, ys, ws, hs, sx, sy, sw, sh);
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return 0;
  // The source must lie inside its surface.
  if (sx < 0 || sy < 0 || int64_t(sx) + sw > s.s->Width() || int64_t(sy) + sh > s.s->Height()) return 0;
  Axis ax, ay;
  if (!MakeAxis(dx, dw, sx, sw, ax) || !MakeAxis(dy, dh, sy, sh, ay)) return 0;
  TRect vis;
  if (!IntersectRect(vis, TRect(ax.d0, ay.d0, ax.d0 + ax.n, ay.d0 + ay.n), dc->ClipBox())) return 1;
  const COLORREF text = GdiResolveColor(*dc, dc->state.textColor), bk = GdiResolveColor(*dc, dc->state.bkColor);
  const bool smooth = dc->state.stretchMode == HALFTONE && (ax.n != ax.sn || ay.n != ay.sn);
  const std::unique_ptr<TSurface> src = Resample(s, ax, ay, vis, smooth, text, bk);
  TSurface& ds = *dc->Surface();
  const uint32_t sca = bf.SourceConstantAlpha;
  auto div255 = [](uint32_t v) { return (v + 127) / 255; };
  std::vector<uint32_t> row;
  GdiForEachClipSpan(*dc, vis, [&](int32_t yy, int32_t x0, int32_t x1) {
    const int32_t n = x1 - x0;
    row.resize(static_cast<size_t>(n));
    GdiReadRow(ds, yy, x0, n, row.data());
    const uint32_t* sp = reinterpret_cast<const uint32_t*>(src->Row(yy - vis.Top)) + (x0 - vis.Left);
    for (int32_t i = 0; i < n; ++i) {
      uint32_t d;  // destination as 0xAARRGGBB
      if (ds.BitCount() == 32) {
        d = row[static_cast<size_t>(i)];
      } else {
        const COLORREF c = GdiPixelToColor(ds, row[static_cast<size_t>(i)]);
        d = (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
      }
      uint32_t sv = sp[i];
      if (!perPixel) sv &= 0x00FFFFFF;
      uint32_t out = 0;
      if (perPixel) {
        // Scale the premultiplied source by the constant alpha, then source-over.
        uint32_t sc[4];
        for (int32_t ch = 0; ch < 4; ++ch) sc[ch] = div255(((sv >> (8 * ch)) & 255) * sca);
        const uint32_t ia = 255 - sc[3];
        for (int32_t ch = 0; ch < 4; ++ch) {
          const uint32_t v = sc[ch] + div255(((d >> (8 * ch)) & 255) * ia);
          out |= std::min<uint32_t>(v, 255) << (8 * ch);
        }
      } else {
        for (int32_t ch = 0; ch < 4; ++ch) {
          const uint32_t sc = ch == 3 ? sca : ((sv >> (8 * ch)) & 255);
          const uint32_t v = div255(sc * sca + ((d >> (8 * ch)) & 255) * (255 - sca));
          out |= std::min<uint32_t>(v, 255) << (8 * ch);
        }
      }
      if (ds.BitCount() == 32) row[static_cast<size_t>(i)] = out;
      else row[static_cast<size_t>(i)] = GdiColorToPixel(ds, RGB(static_cast<uint8_t>(out >> 16), static_cast<uint8_t>(out >> 8), static_cast<uint8_t>(out)));
    }
    GdiWriteRow(ds, yy, x0, n, row.data());
  });
  return 1;
}

bool GdiMaskedDraw32(HDC Dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC Masked, HDC Mask, int32_t mx, int32_t my) {
  if (w <= 0 || h <= 0) return false;
  GdiDC* dc = GdiGetDC(Dst);
  GdiDC* pdc = GdiGetDC(Masked);
  GdiDC* kdc = GdiGetDC(Mask);
  if (!dc || !pdc || !kdc || !GdiIsTranslation(*dc) || !GdiIsTranslation(*pdc) || !GdiIsTranslation(*kdc)) return false;
  TSurface& ds = *dc->Surface();
  const TSurface& ps = *pdc->Surface();
  const TSurface& ks = *kdc->Surface();
  // The mask: monochrome, or already drawn in colour (32 bits, AND-ed as it is).
  const bool monoMask = ks.BitCount() == 1 && kdc->MonoDDB();
  const bool colourMask = ks.BitCount() == 32 && !kdc->MonoDDB();
  if (ds.BitCount() != 32 || dc->MonoDDB() || ps.BitCount() != 32 || pdc->MonoDDB() || !(monoMask || colourMask) ||
      &ps == &ds || &ks == &ds)
    return false;
  const TPoint d = GdiLPtoDP(*dc, {x, y}), p = GdiLPtoDP(*pdc, {0, 0}), k = GdiLPtoDP(*kdc, {mx, my});
  if (p.X < 0 || p.Y < 0 || int64_t(p.X) + w > ps.Width() || int64_t(p.Y) + h > ps.Height() || k.X < 0 || k.Y < 0 ||
      int64_t(k.X) + w > ks.Width() || int64_t(k.Y) + h > ks.Height())
    return false;
  if (int64_t(d.X) + w > INT32_MAX || int64_t(d.Y) + h > INT32_MAX) return false;
  TRect vis;
  if (!IntersectRect(vis, TRect(d.X, d.Y, d.X + w, d.Y + h), dc->ClipBox())) return true;
  // The mask's 0 bits as the text colour (black), its 1 bits as the background colour (white).
  const uint32_t c0 = GdiColorToPixel(ds, 0), c1 = GdiColorToPixel(ds, 0xFFFFFF);
  constexpr int32_t kRun = 256;
  uint32_t buf[kRun];
  GdiForEachClipSpan(*dc, vis, [&](int32_t yy, int32_t x0, int32_t x1) {
    const uint8_t* krow = ks.Row(yy - d.Y + k.Y);
    const uint32_t* prow = reinterpret_cast<const uint32_t*>(ps.Row(yy - d.Y + p.Y)) + (p.X - d.X);
    uint32_t* drow = reinterpret_cast<uint32_t*>(ds.Row(yy));
    for (int32_t xs = x0; xs < x1; xs += kRun) {
      const int32_t n = std::min(kRun, x1 - xs);
      const uint32_t* m = buf;
      if (monoMask) ExpandMono(krow, xs - d.X + k.X, n, c0, c1, buf);
      else m = reinterpret_cast<const uint32_t*>(krow) + (xs - d.X + k.X);
      uint32_t* __restrict o = drow + xs;
      const uint32_t* __restrict s = prow + xs;
      int32_t i = 0;
      for (; i + 4 <= n; i += 4) {
        GdiPixel4& ov = *reinterpret_cast<GdiPixel4*>(o + i);
        ov = (ov & *reinterpret_cast<const GdiPixel4*>(m + i)) ^ *reinterpret_cast<const GdiPixel4*>(s + i);
      }
      for (; i < n; ++i) o[i] = (o[i] & m[i]) ^ s[i];
    }
  });
  return true;
}

// ---------------------------------------------------------------------------------------------

void GdiCopyConvert(const TSurface& src, const TRect& r, TSurface& dst, int32_t dx, int32_t dy) {
  if (r.IsEmpty()) return;
  Converter c(src, false, 0, dst, false, 0, 0);
  std::vector<uint32_t> a(static_cast<size_t>(r.Width())), b(static_cast<size_t>(r.Width()));
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    GdiReadRow(src, y, r.Left, r.Width(), a.data());
    if (src.BitCount() == 32 && dst.BitCount() == 32) {
      GdiWriteRow(dst, dy + y - r.Top, dx, r.Width(), a.data());
      continue;
    }
    c.Row(a.data(), b.data(), r.Width());
    GdiWriteRow(dst, dy + y - r.Top, dx, r.Width(), b.data());
  }
}

std::vector<TRGBQuad> GdiDefaultPalette(int32_t bits) {
  std::vector<TRGBQuad> p;
  auto add = [&](int r, int g, int b) {
    p.push_back({static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0});
  };
  if (bits == 1) {
    add(0, 0, 0);
    add(255, 255, 255);
  } else if (bits == 4) {
    static const uint8_t vga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                       {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                       {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                       {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (const auto& c : vga) add(c[0], c[1], c[2]);
  } else if (bits == 8) {
    // A 6x6x6 colour cube followed by a ramp of greys.
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) add(r * 51, g * 51, b * 51);
    for (int i = 0; i < 40; ++i) add(i * 255 / 39, i * 255 / 39, i * 255 / 39);
  }
  return p;
}
