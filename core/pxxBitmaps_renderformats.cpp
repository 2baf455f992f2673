// The per-format render routines: one plain and one blended routine per source pixel format,
// each writing 24-bit pixels into a px24RGB destination through the column and row maps and
// applying the source's display adjustments (channel offsets, contrast, display range, display
// mask). Every routine first resolves its span against both bitmaps, so no map entry or span
// reaches outside a row.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <tmmintrin.h>
#endif

#include "core/hypxutils.h"
#include "core/hypxutils_threads.h"
#include "core/pxcolorspace.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"

namespace {

constexpr int32_t kOneToOne = 16384;

// The destination span X1..X2, Y1..Y2 (inside Dest) and, for each of its columns and rows, the
// source column and row (inside the source).
struct TRenderSpan {
  int32_t X1 = 0, Y1 = 0, X2 = -1, Y2 = -1;
  std::vector<int32_t> Cols;
  std::vector<int32_t> Rows;
  int32_t Count() const { return X2 - X1 + 1; }
  // The source columns are one run Cols[0], Cols[0] + 1, ...
  bool Contiguous() const {
    for (size_t i = 1; i < Cols.size(); ++i)
      if (Cols[i] != Cols[i - 1] + 1) return false;
    return true;
  }
};

// One axis: positions Lo..Hi (already inside the destination) read Map from Base; an empty map
// is the identity moved by Offset. A short map ends the span; entries are kept inside 0..Limit-1.
bool ResolveAxis(std::span<const int32_t> Map, int32_t Base, int32_t Lo, int32_t Hi, int64_t Offset, int32_t Limit,
                 std::vector<int32_t>& Out, int32_t& NewHi) {
  Out.clear();
  if (Lo > Hi || Limit <= 0) return false;
  if (!Map.empty()) {
    const int64_t last = std::min<int64_t>(Hi, int64_t{Base} + static_cast<int64_t>(Map.size()) - 1);
    if (last < Lo) return false;
    Hi = static_cast<int32_t>(last);
  }
  Out.resize(static_cast<size_t>(Hi - Lo + 1));
  for (int32_t p = Lo; p <= Hi; ++p) {
    const int64_t v = Map.empty() ? p + Offset : Map[static_cast<size_t>(int64_t{p} - Base)];
    Out[static_cast<size_t>(p - Lo)] = static_cast<int32_t>(std::clamp<int64_t>(v, 0, Limit - 1));
  }
  NewHi = Hi;
  return true;
}

bool ResolveSpan(TPXBitmap* Src, TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                 int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                 int32_t Y2, TRenderSpan& S) {
  if (!Dest || Dest == Src || Dest->PixelFormat() != px24RGB) return false;
  const int32_t sw = Src->Width(), sh = Src->Height(), dw = Dest->Width(), dh = Dest->Height();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return false;
  S.X1 = std::max(X1, 0);
  S.Y1 = std::max(Y1, 0);
  const int32_t x2 = std::min(X2, dw - 1), y2 = std::min(Y2, dh - 1);
  // Maps are indexed from the span's first column and row as given.
  if (!ResolveAxis(ColMap, X1, S.X1, x2, int64_t{SrcX} - DestX, sw, S.Cols, S.X2)) return false;
  if (!ResolveAxis(RowMap, Y1, S.Y1, y2, int64_t{SrcY} - DestY, sh, S.Rows, S.Y2)) return false;
  return true;
}

// The display mask of a source: everything is inside when there is none or it is empty.
class TMaskView {
 public:
  explicit TMaskView(TPXBitmap* B) {
    TPXMask* m = B->FDisplayMask.get();
    if (m && !m->IsEmpty() && m->Width() > 0 && m->Height() > 0) FMask = m;
  }
  bool Active() const { return FMask != nullptr; }
  void SetRow(int32_t Sy) { FRow = Sy < FMask->Height() ? FMask->GetScanline(Sy) : nullptr; }
  bool Inside(int32_t Sx) const {
    if (!FRow || Sx >= FMask->Width()) return false;
    if (FMask->BitsPerPixel() == 8) return FRow[Sx] != 0;
    return (FRow[Sx >> 3] & (0x80 >> (Sx & 7))) != 0;
  }

 private:
  TPXMask* FMask = nullptr;
  const uint8_t* FRow = nullptr;
};

// The weight of every alpha value: trunc(Opacity x min(Transparency, A)), 0..255.
struct TWeights {
  uint8_t H[256];
  bool Identity = true;  // H[a] = a
  TWeights(int32_t Transparency, double Opacity) {
    const int32_t t = std::clamp(Transparency, 0, 255);
    const double o = std::isfinite(Opacity) ? std::clamp(Opacity, 0.0, 1.0) : 0.0;
    for (int32_t a = 0; a < 256; ++a) {
      H[a] = static_cast<uint8_t>(static_cast<int32_t>(o * std::min(t, a)));
      Identity = Identity && H[a] == a;
    }
  }
};

// d moves toward t by floor(H (t - d) / 256).
inline void Mix(uint8_t* d, const TRGB& t, int32_t H) {
  d[0] = static_cast<uint8_t>(d[0] + (((t.b - d[0]) * H) >> 8));
  d[1] = static_cast<uint8_t>(d[1] + (((t.g - d[1]) * H) >> 8));
  d[2] = static_cast<uint8_t>(d[2] + (((t.r - d[2]) * H) >> 8));
}

inline TRGB Load(const uint8_t* p) { return TRGB{p[0], p[1], p[2]}; }
inline void Store(uint8_t* d, const TRGB& c) {
  d[0] = c.b;
  d[1] = c.g;
  d[2] = c.r;
}

// A float truncated toward zero, NaN as 0 and saturated, then its low byte.
inline uint8_t LowByteOfTrunc(double V) {
  if (!(V == V)) return 0;
  const double c = std::clamp(V, -2147483648.0, 2147483647.0);
  return static_cast<uint8_t>(static_cast<int32_t>(c));
}

// The alpha channel a blended routine reads: only when it covers the source.
TPXBitmap* UsableAlpha(TPXBitmap* Src, bool UseAlpha) {
  if (!UseAlpha) return nullptr;
  TPXBitmap* a = Src->PeekAlphaChannel();
  if (!a || a->PixelFormat() != px8g || a->Width() < Src->Width() || a->Height() < Src->Height()) return nullptr;
  return a;
}

// T[3i .. 3i+2] = pixel Cols[i] of the 3-byte row S of Width pixels, for i < N (columns inside
// the row). A pixel with a byte after it in the row moves as one 4-byte word; the extra byte
// lands on the next pixel's place and is overwritten by it, so nothing is written past the N
// pixels: the last one always moves as 3 bytes.
void GatherPixels(const uint8_t* S, int32_t Width, const int32_t* Cols, int32_t N, uint8_t* T) {
  if (N <= 0) return;
  for (int32_t i = 0; i < N - 1; ++i, T += 3) {
    const int32_t c = Cols[i];
    if (c < Width - 1) {
      uint32_t v;
      std::memcpy(&v, S + int64_t{c} * 3, 4);
      std::memcpy(T, &v, 4);
    } else {
      std::memcpy(T, S + int64_t{c} * 3, 3);
    }
  }
  std::memcpy(T, S + int64_t{Cols[N - 1]} * 3, 3);
}

// The row loop every routine shares. Row(s, sy, d, y) draws destination row y of the span (d
// at its first pixel) from source row sy (s) and says whether it did; rows whose source row
// repeats the last one drawn are copied from the previous destination row when Reuse.
template <class Row>
void WalkRows(TPXBitmap* Src, TPXBitmap* Dest, const TRenderSpan& S, bool Reuse, Row row) {
  const size_t bytes = static_cast<size_t>(S.Count()) * 3;
  int32_t prevSy = -1;
  const uint8_t* prev = nullptr;
  for (int32_t y = S.Y1; y <= S.Y2; ++y) {
    const int32_t sy = S.Rows[static_cast<size_t>(y - S.Y1)];
    uint8_t* d = Dest->Scanline(y);
    if (!d) {
      prev = nullptr;
      continue;
    }
    d += static_cast<int64_t>(S.X1) * 3;
    if (Reuse && prev && sy == prevSy) {
      std::memmove(d, prev, bytes);
      prev = d;
      continue;
    }
    const uint8_t* s = Src->Scanline(sy);
    if (!s || !row(s, sy, d, y)) {
      prev = nullptr;
      continue;
    }
    prevSy = sy;
    prev = d;
  }
}

// WalkRows pixel by pixel: Pixel(s, sx, d, y) writes one destination pixel.
template <class RowStart, class Pixel>
void DrawRows(TPXBitmap* Src, TPXBitmap* Dest, const TRenderSpan& S, bool Reuse, RowStart rowStart, Pixel pixel) {
  const int32_t n = S.Count();
  const int32_t* cols = S.Cols.data();
  WalkRows(Src, Dest, S, Reuse, [&](const uint8_t* s, int32_t sy, uint8_t* d, int32_t y) {
    rowStart(sy);
    for (int32_t i = 0; i < n; ++i, d += 3) pixel(s, cols[i], d, y);
    return true;
  });
}

// Offsets, contrast and the display range of 8-bit channels as one table per channel
// (index 0 blue, 1 green, 2 red, as the bytes lie).
struct TChannelTables {
  uint8_t T[3][256];
};

double ContrastFactor(int32_t Contrast) {
  return Contrast >= 0 ? (Contrast / 10.0 + 1) : (1 - std::sqrt(-static_cast<double>(Contrast)) / 10);
}

// The contrast factor in 16.16 fixed point.
int64_t ContrastK(int32_t Contrast) {
  const double k = ContrastFactor(Contrast);
  const double c = std::clamp(std::trunc(k * 65536), -274877906944.0, 274877906944.0);  // +-2^38
  return static_cast<int64_t>(c);
}

bool RangeOn(TPXBitmap* B) { return B->FDisplayRangeHigh - B->FDisplayRangeLow != 0; }

int32_t TruncToInt(double V) {
  if (!(V == V)) return 0;
  return static_cast<int32_t>(std::clamp(std::trunc(V), -2147483648.0, 2147483647.0));
}

// The 8-bit range stretch: v clamped to the truncated ends, then trunc((v - lo) / (High - Low)
// x 255), kept as its low byte.
uint8_t Stretch8(int32_t V, TPXBitmap* B) {
  const int32_t lo = TruncToInt(B->FDisplayRangeLow), hi = TruncToInt(B->FDisplayRangeHigh);
  V = std::max(lo, std::min(V, hi));
  return LowByteOfTrunc((static_cast<double>(V) - lo) / (B->FDisplayRangeHigh - B->FDisplayRangeLow) * 255);
}

void BuildChannelTables(TPXBitmap* B, bool Range, TChannelTables& C) {
  const int64_t k = ContrastK(B->FContrast);
  for (int32_t ch = 0; ch < 3; ++ch) {
    // Offsets are indexed red, green, blue.
    const int64_t o =
        B->FChannelOffsetEnabled ? std::clamp<int64_t>(B->FChannelOffset[2 - ch], -(1 << 24), 1 << 24) : 0;
    for (int32_t v = 0; v < 256; ++v) {
      int64_t r = ((v + o - 128) * k) / 65536 + 128;
      r = std::clamp<int64_t>(r, 0, 255);
      C.T[ch][v] = Range ? Stretch8(static_cast<int32_t>(r), B) : static_cast<uint8_t>(r);
    }
  }
}

inline TRGB Adjust(const TChannelTables& C, const TRGB& p) {
  return TRGB{C.T[0][p.b], C.T[1][p.g], C.T[2][p.r]};
}

#if defined(__SSE2__)
// d += floor(w (t - d) / 65536 x 2) per byte, w = H << 7 per channel: exactly the weight rule.
void MixBytesSSE2(uint8_t* d, const uint8_t* t, const int16_t* w, int32_t Bytes) {
  const __m128i zero = _mm_setzero_si128();
  int32_t i = 0;
  for (; i + 8 <= Bytes; i += 8) {
    const __m128i dv = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i)), zero);
    const __m128i tv = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(t + i)), zero);
    const __m128i wv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w + i));
    const __m128i diff = _mm_slli_epi16(_mm_sub_epi16(tv, dv), 1);
    const __m128i r = _mm_add_epi16(dv, _mm_mulhi_epi16(diff, wv));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(r, zero));
  }
  for (; i < Bytes; ++i) d[i] = static_cast<uint8_t>(d[i] + ((((t[i] - d[i]) * 2) * w[i]) >> 16));
}
#endif

#if defined(__SSE2__) && defined(__GNUC__)
#define PX_RENDER_SSSE3 1
// Eight pixels a step: the eight weights spread over their 24 channel bytes with one byte
// shuffle, then the weight rule on 16-bit lanes as in MixBytesSSE2.
__attribute__((target("ssse3"))) void BlendRunSSSE3(uint8_t* d, const uint8_t* t, const uint8_t* a,
                                                     const TWeights& W, bool Identity, int32_t n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, -1, -1, -1, -1, -1, -1, -1, -1);
  auto mix8 = [&](uint8_t* dp, const uint8_t* tp, __m128i w16) {
    const __m128i dv = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dp)), zero);
    const __m128i tv = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(tp)), zero);
    const __m128i diff = _mm_slli_epi16(_mm_sub_epi16(tv, dv), 1);
    const __m128i r = _mm_add_epi16(dv, _mm_mulhi_epi16(diff, _mm_slli_epi16(w16, 7)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dp), _mm_packus_epi16(r, zero));
  };
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t packed;
    if (!a) {
      packed = 0x0101010101010101ull * W.H[255];
    } else if (Identity) {
      std::memcpy(&packed, a + i, 8);
    } else {
      packed = 0;
      for (int k = 7; k >= 0; --k) packed = (packed << 8) | W.H[a[i + k]];
    }
    if (packed == 0) continue;
    const __m128i h = _mm_cvtsi64_si128(static_cast<long long>(packed));
    const __m128i w0 = _mm_shuffle_epi8(h, spread0), w1 = _mm_shuffle_epi8(h, spread1);
    uint8_t* dp = d + 3 * i;
    const uint8_t* tp = t + 3 * i;
    mix8(dp, tp, _mm_unpacklo_epi8(w0, zero));
    mix8(dp + 8, tp + 8, _mm_unpackhi_epi8(w0, zero));
    mix8(dp + 16, tp + 16, _mm_unpacklo_epi8(w1, zero));
  }
  for (; i < n; ++i) {
    const int32_t w = W.H[a ? a[i] : 255];
    if (w) Mix(d + 3 * i, Load(t + 3 * i), w);
  }
}
#endif

// Blends n pixels of t (a contiguous run) into d with weights from the alpha run a (or the one
// weight of alpha 255 when a is nil).
void BlendRun(uint8_t* d, const uint8_t* t, const uint8_t* a, const TWeights& W, int32_t n,
              std::vector<int16_t>& Scratch) {
#if defined(PX_RENDER_SSSE3)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) {
    BlendRunSSSE3(d, t, a, W, W.Identity, n);
    return;
  }
#endif
#if defined(__SSE2__)
  Scratch.resize(static_cast<size_t>(n) * 3 + 8);
  int16_t* w = Scratch.data();
  for (int32_t i = 0; i < n; ++i) {
    const int16_t h = static_cast<int16_t>(W.H[a ? a[i] : 255] << 7);
    w[3 * i] = w[3 * i + 1] = w[3 * i + 2] = h;
  }
  MixBytesSSE2(d, t, w, n * 3);
#else
  (void)Scratch;
  for (int32_t i = 0; i < n; ++i, d += 3, t += 3) {
    const int32_t h = W.H[a ? a[i] : 255];
    if (h) Mix(d, Load(t), h);
  }
#endif
}

// GatherPixels planned once for the rows of a call. Output pixels go in groups of five; a group
// whose source pixels lie within five neighbouring pixels (a zoomed-in map repeats columns) is
// moved with one byte shuffle of a 16-byte load. Its 16-byte store reaches the first byte of
// the next pixel, which is written afterwards, so only groups followed by a pixel are planned;
// the rest goes through GatherPixels.
class TGatherPlan {
 public:
  TGatherPlan(const int32_t* Cols, int32_t N, int32_t Width) : cols_(Cols), n_(N), width_(Width) {
#if defined(PX_RENDER_SSSE3)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (!ssse3) return;
    const int32_t groups = N > 0 ? (N - 1) / 5 : 0;
    base_.assign(static_cast<size_t>(groups), -1);
    masks_.resize(static_cast<size_t>(groups) * 16);
    for (int32_t g = 0; g < groups; ++g) {
      const int32_t* c = Cols + 5 * g;
      const int32_t lo = *std::min_element(c, c + 5), hi = *std::max_element(c, c + 5);
      // The load of 16 bytes from the lowest pixel stays inside the row.
      if (hi - lo > 4 || int64_t{lo} * 3 + 16 > int64_t{Width} * 3) continue;
      base_[static_cast<size_t>(g)] = lo;
      int8_t* m = &masks_[static_cast<size_t>(g) * 16];
      for (int32_t k = 0; k < 5; ++k)
        for (int32_t ch = 0; ch < 3; ++ch) m[3 * k + ch] = static_cast<int8_t>(3 * (c[k] - lo) + ch);
      m[15] = -128;
      shuffled_ = true;
    }
#endif
  }

  void Run(const uint8_t* S, uint8_t* T) const {
    int32_t done = 0;
#if defined(PX_RENDER_SSSE3)
    if (shuffled_) {
      RunGroups(S, T);
      done = static_cast<int32_t>(base_.size()) * 5;
    }
#endif
    GatherPixels(S, width_, cols_ + done, n_ - done, T + int64_t{done} * 3);
  }

 private:
#if defined(PX_RENDER_SSSE3)
  __attribute__((target("ssse3"))) void RunGroups(const uint8_t* S, uint8_t* T) const {
    const auto groups = static_cast<int32_t>(base_.size());
    for (int32_t g = 0; g < groups; ++g, T += 15) {
      const int32_t b = base_[static_cast<size_t>(g)];
      if (b >= 0) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&masks_[static_cast<size_t>(g) * 16]));
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + int64_t{b} * 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(T), _mm_shuffle_epi8(v, m));
      } else {
        GatherPixels(S, width_, cols_ + 5 * g, 5, T);
      }
    }
  }
#endif

  const int32_t* cols_;
  int32_t n_, width_;
  std::vector<int32_t> base_;  // per group: the lowest source pixel, or -1 to move pixel by pixel
  std::vector<int8_t> masks_;  // 16 per group
  bool shuffled_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// 24-bit

void TPXBitmap::Render24RGB(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                            int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                            int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                            TPXBlendOperation Operation) {
  if (IsVirtual()) {
    RenderVirtual(Dest, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, XStep, YStep, RowReuse, Operation);
    return;
  }
  const bool range = RangeOn(this);
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal || range;
  const bool oneToOne = XStep == kOneToOne && YStep == kOneToOne;
  TRenderSpan S;
  if (!adjusted && oneToOne) {
    // Whole row spans from the source at the same offset, maps not used.
    if (!ResolveSpan(this, Dest, {}, {}, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, S)) return;
    const size_t bytes = static_cast<size_t>(S.Count()) * 3;
    const bool run = S.Contiguous();
    WalkRows(this, Dest, S, false, [&](const uint8_t* s, int32_t, uint8_t* d, int32_t) {
      if (run) {
        std::memcpy(d, s + static_cast<int64_t>(S.Cols[0]) * 3, bytes);
      } else {
        for (int32_t i = 0; i < S.Count(); ++i) std::memcpy(d + 3 * i, s + S.Cols[static_cast<size_t>(i)] * 3, 3);
      }
      return true;
    });
    return;
  }
  if (!ResolveSpan(this, Dest, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, S)) return;
  if (!adjusted) {
    // Plain copies through the maps. Nothing here reads the destination, so a row whose source
    // row repeats is the previous row again: it is copied whenever the destination's rows are
    // real memory, not only when RowReuse asks for it.
    const TGatherPlan gather(S.Cols.data(), S.Count(), Width());
    WalkRows(this, Dest, S, RowReuse || !Dest->IsVirtual(), [&](const uint8_t* s, int32_t, uint8_t* d, int32_t) {
      gather.Run(s, d);
      return true;
    });
    return;
  }
  TChannelTables C;
  BuildChannelTables(this, range, C);
  TMaskView mask(this);
  const bool masked = mask.Active();
  DrawRows(this, Dest, S, RowReuse && !range, [&](int32_t sy) { if (masked) mask.SetRow(sy); },
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t y) {
             const TRGB p = Load(s + sx * 3);
             if (masked && !mask.Inside(sx)) {
               Store(d, p);
               return;
             }
             TRGB t = Adjust(C, p);
             if (Operation != pxboNormal) {
               TRGB o = Load(d);
               CombinePixels(t, o, Operation, y);
               t = o;
             }
             Store(d, t);
           });
}

void TPXBitmap::Render24RGBBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                   std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                   int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                   int32_t Y2, int32_t XStep, int32_t YStep, bool RowReuse,
                                   TPXBlendOperation Operation, double Opacity) {
  if (IsVirtual()) {
    RenderVirtualBlended(Dest, Transparency, UseAlpha, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2,
                         XStep, YStep, RowReuse, Operation, Opacity);
    return;
  }
  TRenderSpan S;
  if (!ResolveSpan(this, Dest, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, S)) return;
  const TWeights W(Transparency, Opacity);
  TPXBitmap* alpha = UsableAlpha(this, UseAlpha);
  const bool range = RangeOn(this);
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal || range;
  const uint8_t* arow = nullptr;
  if (!adjusted) {
    // Each row's source pixels and alpha values as runs (gathered through the maps unless they
    // already are one), then one vector pass over the run. Large spans run in bands of rows on
    // the thread pool; a band never starts on a row whose source row repeats the one above, so
    // the rows RowReuse copies are the same as in one pass.
    const int32_t n = S.Count();
    const bool run = S.Contiguous();
    const int32_t* cols = S.Cols.data();
    const TGatherPlan gather(cols, run ? 0 : n, Width());
    auto band = [&](const TRenderSpan& B) {
      std::vector<int16_t> scratch;
      std::vector<uint8_t> pixels(run ? 0 : static_cast<size_t>(n) * 3), alphas(run ? 0 : static_cast<size_t>(n));
      // The source row last gathered into pixels and alphas: a repeated source row is not
      // gathered again (the gathered runs depend on the source alone).
      int32_t gatheredSy = -1;
      WalkRows(this, Dest, B, RowReuse, [&](const uint8_t* s, int32_t sy, uint8_t* d, int32_t) {
        const uint8_t* a = alpha ? alpha->Scanline(sy) : nullptr;
        if (alpha && !a) return false;
        const uint8_t* t = s + static_cast<int64_t>(cols[0]) * 3;
        const uint8_t* ta = a ? a + cols[0] : nullptr;
        if (!run) {
          if (sy != gatheredSy) {
            gather.Run(s, pixels.data());
            if (a)
              for (int32_t i = 0; i < n; ++i) alphas[static_cast<size_t>(i)] = a[cols[i]];
            gatheredSy = sy;
          }
          t = pixels.data();
          ta = a ? alphas.data() : nullptr;
        }
        BlendRun(d, t, ta, W, n, scratch);
        return true;
      });
    };
    const int32_t rows = S.Y2 - S.Y1 + 1;
    const bool shared = IsVirtual() || Dest->IsVirtual() || (alpha && alpha->IsVirtual());
    const int32_t bands = shared ? 1 : ChooseThreadCount(n, rows);
    if (bands <= 1) {
      band(S);
      return;
    }
    // Band starts: even shares moved down past rows that repeat their source row.
    std::vector<int32_t> starts{0};
    for (int32_t k = 1; k < bands; ++k) {
      int32_t at = static_cast<int32_t>(int64_t{rows} * k / bands);
      while (at < rows && S.Rows[static_cast<size_t>(at)] == S.Rows[static_cast<size_t>(at - 1)]) ++at;
      if (at < rows && at > starts.back()) starts.push_back(at);
    }
    starts.push_back(rows);
    RunBandsOnPool(static_cast<int32_t>(starts.size()) - 1, static_cast<int32_t>(starts.size()) - 1,
                   [&](int32_t First, int32_t Number, bool) {
                     for (int32_t k = First; k < First + Number; ++k) {
                       TRenderSpan b;
                       b.X1 = S.X1;
                       b.X2 = S.X2;
                       b.Y1 = S.Y1 + starts[static_cast<size_t>(k)];
                       b.Y2 = S.Y1 + starts[static_cast<size_t>(k) + 1] - 1;
                       b.Rows.assign(S.Rows.begin() + starts[static_cast<size_t>(k)],
                                     S.Rows.begin() + starts[static_cast<size_t>(k) + 1]);
                       band(b);
                     }
                   });
    return;
  }
  TChannelTables C;
  BuildChannelTables(this, range, C);
  TMaskView mask(this);
  const bool masked = mask.Active();
  DrawRows(this, Dest, S, RowReuse,
           [&](int32_t sy) {
             arow = alpha ? alpha->Scanline(sy) : nullptr;
             if (masked) mask.SetRow(sy);
           },
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t y) {
             const int32_t h = W.H[arow ? arow[sx] : 255];
             if (!h) return;
             const TRGB p = Load(s + sx * 3);
             TRGB t;
             if (masked && !mask.Inside(sx)) {
               t = p;
             } else {
               t = Load(d);
               CombinePixels(Adjust(C, p), t, Operation, y);
             }
             Mix(d, t, h);
           });
}

// ---------------------------------------------------------------------------------------------
// 32-bit colour: the first three bytes of each pixel; offsets, contrast and the operation on
// every pixel, no mask, no range.

void TPXBitmap::Render32RGB(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                            int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                            int32_t X2, int32_t Y2, int32_t, int32_t, bool RowReuse, TPXBlendOperation Operation) {
  TRenderSpan S;
  if (!ResolveSpan(this, Dest, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, S)) return;
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal;
  TChannelTables C;
  if (adjusted) BuildChannelTables(this, false, C);
  DrawRows(this, Dest, S, RowReuse, [](int32_t) {}, [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t y) {
    const TRGB p = Load(s + sx * 4);
    if (!adjusted) {
      Store(d, p);
      return;
    }
    TRGB o = Load(d);
    CombinePixels(Adjust(C, p), o, Operation, y);
    Store(d, o);
  });
}

void TPXBitmap::Render32RGBBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                   std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                   int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                   int32_t Y2, int32_t, int32_t, bool RowReuse, TPXBlendOperation Operation,
                                   double Opacity) {
  TRenderSpan S;
  if (!ResolveSpan(this, Dest, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, S)) return;
  const TWeights W(Transparency, Opacity);
  TPXBitmap* alpha = UsableAlpha(this, UseAlpha);
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal;
  TChannelTables C;
  if (adjusted) BuildChannelTables(this, false, C);
  const uint8_t* arow = nullptr;
  DrawRows(this, Dest, S, RowReuse, [&](int32_t sy) { arow = alpha ? alpha->Scanline(sy) : nullptr; },
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t y) {
             const int32_t h = W.H[arow ? arow[sx] : 255];
             if (!h) return;
             TRGB t = Load(s + sx * 4);
             if (adjusted) {
               TRGB o = Load(d);
               CombinePixels(Adjust(C, t), o, Operation, y);
               t = o;
             }
             Mix(d, t, h);
           });
}

// ---------------------------------------------------------------------------------------------
// Formats without a blend operation: a pixel function gives the new value; the plain routine
// writes it, the blended one mixes it in.

namespace {

template <class RowStart, class Value>
void PlainFormat(TPXBitmap* Src, TPXBitmap* Dest, const TRenderSpan& S, bool Reuse, RowStart rowStart, Value value) {
  DrawRows(Src, Dest, S, Reuse, rowStart,
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t) { Store(d, value(s, sx)); });
}

template <class RowStart, class Value>
void BlendedFormat(TPXBitmap* Src, TPXBitmap* Dest, const TRenderSpan& S, bool Reuse, int32_t Transparency,
                   bool UseAlpha, double Opacity, RowStart rowStart, Value value) {
  const TWeights W(Transparency, Opacity);
  TPXBitmap* alpha = UsableAlpha(Src, UseAlpha);
  const uint8_t* arow = nullptr;
  DrawRows(Src, Dest, S, Reuse,
           [&](int32_t sy) {
             arow = alpha ? alpha->Scanline(sy) : nullptr;
             rowStart(sy);
           },
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t) {
             const int32_t h = W.H[arow ? arow[sx] : 255];
             if (h) Mix(d, value(s, sx), h);
           });
}

inline TRGB Grey(uint8_t V) { return TRGB{V, V, V}; }

// Grey sources with the display range inside the mask.
struct TGreyRange {
  TMaskView Mask;
  bool Range;
  explicit TGreyRange(TPXBitmap* B) : Mask(B), Range(RangeOn(B)) {}
  void Row(int32_t Sy) {
    if (Range && Mask.Active()) Mask.SetRow(Sy);
  }
  bool Stretch(int32_t Sx) const { return Range && (!Mask.Active() || Mask.Inside(Sx)); }
};

// 8-bit grey: the range stretch as a table.
struct TGrey8 {
  TGreyRange R;
  uint8_t T[256];
  explicit TGrey8(TPXBitmap* B) : R(B) {
    for (int32_t v = 0; v < 256; ++v) T[v] = R.Range ? Stretch8(v, B) : static_cast<uint8_t>(v);
  }
  TRGB operator()(const uint8_t* s, int32_t sx) const { return Grey(R.Stretch(sx) ? T[s[sx]] : s[sx]); }
};

// 16-bit grey: the range stretch of the sample, else its high byte.
struct TGrey16 {
  TGreyRange R;
  int32_t Lo, Hi;
  double Span;
  explicit TGrey16(TPXBitmap* B)
      : R(B), Lo(TruncToInt(B->FDisplayRangeLow)), Hi(TruncToInt(B->FDisplayRangeHigh)),
        Span(B->FDisplayRangeHigh - B->FDisplayRangeLow) {}
  TRGB operator()(const uint8_t* s, int32_t sx) const {
    uint16_t v;
    std::memcpy(&v, s + sx * 2, 2);
    if (!R.Stretch(sx)) return Grey(static_cast<uint8_t>(v >> 8));
    const int32_t c = std::max(Lo, std::min<int32_t>(v, Hi));
    return Grey(LowByteOfTrunc((static_cast<double>(c) - Lo) / Span * 255));
  }
};

// Floating-point grey: the range stretch compared as floats, else v x 255.
struct TGrey32f {
  TGreyRange R;
  double Low, High;
  explicit TGrey32f(TPXBitmap* B) : R(B), Low(B->FDisplayRangeLow), High(B->FDisplayRangeHigh) {}
  TRGB operator()(const uint8_t* s, int32_t sx) const {
    float f;
    std::memcpy(&f, s + sx * 4, 4);
    double v = f;
    if (!R.Stretch(sx)) return Grey(LowByteOfTrunc(v * 255));
    if (v <= Low) v = Low;
    if (v >= High) v = High;
    return Grey(LowByteOfTrunc((v - Low) / (High - Low) * 255));
  }
};

struct TPaletteIndex {
  const TRGB* P;
  int32_t N;
  TRGB operator()(const uint8_t* s, int32_t sx) const { return s[sx] < N ? P[s[sx]] : TRGB{}; }
};

inline TRGB Mono(const uint8_t* s, int32_t sx) { return Grey(GetPixelBit(s, sx) ? 255 : 0); }
inline TRGB Lab(const uint8_t* s, int32_t sx) {
  TCIELab c;
  std::memcpy(&c, s + sx * 3, 3);
  return CIELabToRGB(c);
}

const auto kNoRowStart = [](int32_t) {};

}  // namespace

#define PX_SPAN_OR_RETURN                                                                                     \
  TRenderSpan S;                                                                                              \
  if (!ResolveSpan(this, Dest, ColMap, RowMap, SrcX, SrcY, DestX, DestY, X1, Y1, X2, Y2, S)) return

void TPXBitmap::Render1g(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                         int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                         int32_t Y2, int32_t, int32_t, bool RowReuse) {
  PX_SPAN_OR_RETURN;
  PlainFormat(this, Dest, S, RowReuse, kNoRowStart, Mono);
}

void TPXBitmap::Render1gBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t, int32_t,
                                bool RowReuse, double Opacity) {
  PX_SPAN_OR_RETURN;
  BlendedFormat(this, Dest, S, RowReuse, Transparency, UseAlpha, Opacity, kNoRowStart, Mono);
}

void TPXBitmap::Render8g(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                         int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                         int32_t Y2, int32_t, int32_t, bool) {
  PX_SPAN_OR_RETURN;
  TGrey8 g(this);
  PlainFormat(this, Dest, S, false, [&](int32_t sy) { g.R.Row(sy); }, g);
}

void TPXBitmap::Render8gBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t, int32_t, bool,
                                double Opacity) {
  PX_SPAN_OR_RETURN;
  TGrey8 g(this);
  BlendedFormat(this, Dest, S, false, Transparency, UseAlpha, Opacity, [&](int32_t sy) { g.R.Row(sy); }, g);
}

void TPXBitmap::Render8p(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                         int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                         int32_t Y2, int32_t, int32_t, bool) {
  const int32_t n = GetPaletteLength();
  if (n <= 0 || !GetPalette()) return;
  PX_SPAN_OR_RETURN;
  PlainFormat(this, Dest, S, false, kNoRowStart, TPaletteIndex{GetPalette(), n});
}

void TPXBitmap::Render8pBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t, int32_t, bool,
                                double Opacity) {
  const int32_t n = GetPaletteLength();
  if (n <= 0 || !GetPalette()) return;
  PX_SPAN_OR_RETURN;
  BlendedFormat(this, Dest, S, false, Transparency, UseAlpha, Opacity, kNoRowStart, TPaletteIndex{GetPalette(), n});
}

void TPXBitmap::Render16g(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                          int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                          int32_t Y2, int32_t, int32_t, bool) {
  PX_SPAN_OR_RETURN;
  TGrey16 g(this);
  PlainFormat(this, Dest, S, false, [&](int32_t sy) { g.R.Row(sy); }, g);
}

void TPXBitmap::Render16gBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                 std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                 int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t, int32_t, bool,
                                 double Opacity) {
  PX_SPAN_OR_RETURN;
  TGrey16 g(this);
  BlendedFormat(this, Dest, S, false, Transparency, UseAlpha, Opacity, [&](int32_t sy) { g.R.Row(sy); }, g);
}

void TPXBitmap::Render32f(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                          int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                          int32_t Y2, int32_t, int32_t, bool) {
  PX_SPAN_OR_RETURN;
  TGrey32f g(this);
  PlainFormat(this, Dest, S, false, [&](int32_t sy) { g.R.Row(sy); }, g);
}

void TPXBitmap::Render32fBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                 std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                 int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t, int32_t, bool,
                                 double Opacity) {
  PX_SPAN_OR_RETURN;
  TGrey32f g(this);
  BlendedFormat(this, Dest, S, false, Transparency, UseAlpha, Opacity, [&](int32_t sy) { g.R.Row(sy); }, g);
}

void TPXBitmap::RenderCIELab(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                             int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                             int32_t X2, int32_t Y2, int32_t, int32_t, bool) {
  PX_SPAN_OR_RETURN;
  PlainFormat(this, Dest, S, false, kNoRowStart, Lab);
}

void TPXBitmap::RenderCIELabBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                    std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                    int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                    int32_t Y2, int32_t, int32_t, bool, double Opacity) {
  PX_SPAN_OR_RETURN;
  BlendedFormat(this, Dest, S, false, Transparency, UseAlpha, Opacity, kNoRowStart, Lab);
}

// ---------------------------------------------------------------------------------------------
// CMYK: each row's picked pixels gathered and converted as one run, through the image profile
// towards the display profile when colour management applies.

namespace {

void RenderCMYKRows(TPXBitmap* Src, TPXBitmap* Dest, const TRenderSpan& S, const TWeights* W, TPXBitmap* Alpha) {
  const int32_t n = S.Count();
  TPXICC* image = Src->FImageProfile.get();
  const TPXICC* display = Src->DisplayProfile();
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  const bool icc = settings && settings->FDisplayICC && image && image->IsValid() && display &&
                   image->PrepareTransform(display, iccfCMYK, 0, 0, iccfBGR);
  std::vector<TCMYK> in(static_cast<size_t>(n));
  std::vector<TRGB> converted(icc ? static_cast<size_t>(n) : 0);
  std::vector<int32_t> weights(W ? static_cast<size_t>(n) : 0);
  WalkRows(Src, Dest, S, false, [&](const uint8_t* s, int32_t sy, uint8_t* d, int32_t) {
    auto* out = reinterpret_cast<TRGB*>(d);
    for (int32_t i = 0; i < n; ++i) std::memcpy(&in[static_cast<size_t>(i)], s + S.Cols[static_cast<size_t>(i)] * 4, 4);
    if (W) {
      const uint8_t* a = Alpha ? Alpha->Scanline(sy) : nullptr;
      for (int32_t i = 0; i < n; ++i)
        weights[static_cast<size_t>(i)] = W->H[a ? a[S.Cols[static_cast<size_t>(i)]] : 255] << 10;
    }
    const int32_t* w = W ? weights.data() : nullptr;
    if (icc && image->Transform(display, iccfCMYK, n, converted.data(), in.data(), 0, 0, iccfBGR)) {
      for (int32_t i = 0; i < n; ++i) {
        const TRGB& c = converted[static_cast<size_t>(i)];
        auto* o = reinterpret_cast<uint8_t*>(out + i);
        if (!w) Store(o, c);
        else if (w[i]) Mix(o, c, w[i] >> 10);
      }
    } else {
      CmykToRgbRow(in.data(), out, n, w);
    }
    return true;
  });
}

}  // namespace

void TPXBitmap::RenderCMYK(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                           int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                           int32_t X2, int32_t Y2, int32_t, int32_t, bool) {
  PX_SPAN_OR_RETURN;
  RenderCMYKRows(this, Dest, S, nullptr, nullptr);
}

void TPXBitmap::RenderCMYKBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha, std::span<const int32_t> ColMap,
                                  std::span<const int32_t> RowMap, int32_t SrcX, int32_t SrcY, int32_t DestX,
                                  int32_t DestY, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t, int32_t,
                                  bool, double Opacity) {
  PX_SPAN_OR_RETURN;
  const TWeights W(Transparency, Opacity);
  RenderCMYKRows(this, Dest, S, &W, UsableAlpha(this, UseAlpha));
}

// ---------------------------------------------------------------------------------------------
// 48-bit colour: offsets and contrast on the 16-bit scale.

namespace {

struct TRGB48Adjust {
  bool Range;
  int32_t Lo, Hi;
  double Span, K;
  int32_t O[3];  // red, green, blue
  TRGB48Adjust(TPXBitmap* B, bool WithRange)
      : Range(WithRange && RangeOn(B)), Lo(TruncToInt(B->FDisplayRangeLow)), Hi(TruncToInt(B->FDisplayRangeHigh)),
        Span(B->FDisplayRangeHigh - B->FDisplayRangeLow), K(ContrastFactor(B->FContrast)) {
    for (int32_t c = 0; c < 3; ++c) O[c] = B->FChannelOffsetEnabled ? B->FChannelOffset[c] : 0;
  }
  uint8_t Channel(int32_t V, int32_t Offset) const {
    if (Range) {
      V = std::max(Lo, std::min(V, Hi));
      V = TruncToInt((static_cast<double>(V) - Lo) / Span * 65535);
    }
    const int32_t t = TruncToInt((static_cast<double>(V) + Offset - 32768) * K + 32768);
    return static_cast<uint8_t>(std::clamp(t >> 8, 0, 255));
  }
  TRGB operator()(const TRGB48& p) const { return TRGB{Channel(p.b, O[2]), Channel(p.g, O[1]), Channel(p.r, O[0])}; }
};

inline TRGB48 Load48(const uint8_t* s, int32_t sx) {
  TRGB48 p;
  std::memcpy(&p, s + sx * 6, 6);
  return p;
}
inline TRGB High48(const TRGB48& p) {
  return TRGB{static_cast<uint8_t>(p.b >> 8), static_cast<uint8_t>(p.g >> 8), static_cast<uint8_t>(p.r >> 8)};
}

}  // namespace

void TPXBitmap::RenderRGB48(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                            int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                            int32_t X2, int32_t Y2, int32_t, int32_t, bool, TPXBlendOperation Operation) {
  PX_SPAN_OR_RETURN;
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal || RangeOn(this);
  const TRGB48Adjust A(this, true);
  TMaskView mask(this);
  const bool masked = adjusted && mask.Active();
  DrawRows(this, Dest, S, false, [&](int32_t sy) { if (masked) mask.SetRow(sy); },
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t y) {
             const TRGB48 p = Load48(s, sx);
             if (!adjusted || (masked && !mask.Inside(sx))) {
               Store(d, High48(p));
               return;
             }
             TRGB o = Load(d);
             CombinePixels(A(p), o, Operation, y);
             Store(d, o);
           });
}

void TPXBitmap::RenderRGB48Blended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                   std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                   int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                   int32_t Y2, int32_t, int32_t, bool, TPXBlendOperation Operation, double Opacity) {
  PX_SPAN_OR_RETURN;
  // The display range is not applied here.
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal;
  const TRGB48Adjust A(this, false);
  TMaskView mask(this);
  const bool masked = adjusted && mask.Active();
  const TWeights W(Transparency, Opacity);
  TPXBitmap* alpha = UsableAlpha(this, UseAlpha);
  const uint8_t* arow = nullptr;
  DrawRows(this, Dest, S, false,
           [&](int32_t sy) {
             arow = alpha ? alpha->Scanline(sy) : nullptr;
             if (masked) mask.SetRow(sy);
           },
           [&](const uint8_t* s, int32_t sx, uint8_t* d, int32_t y) {
             const int32_t h = W.H[arow ? arow[sx] : 255];
             if (!h) return;
             const TRGB48 p = Load48(s, sx);
             TRGB t;
             if (!adjusted || (masked && !mask.Inside(sx))) {
               t = High48(p);
             } else {
               t = Load(d);
               CombinePixels(A(p), t, Operation, y);
             }
             Mix(d, t, h);
           });
}

// ---------------------------------------------------------------------------------------------
// Virtual bitmaps: the provider draws on its own; the pixel callback is asked pixel by pixel
// (into a scratch pixel, so a callback of a wider format cannot write past the destination).

namespace {

TRGB FetchVirtual(TPXBitmap* B, int32_t Sx, int32_t Sy) {
  uint8_t buf[16] = {};
  B->OnVirtualPixel()(B, Sx, Sy, buf);
  return B->BitCount() == 8 ? Grey(buf[0]) : TRGB{buf[0], buf[1], buf[2]};
}

}  // namespace

void TPXBitmap::RenderVirtual(TPXBitmap* Dest, std::span<const int32_t> ColMap, std::span<const int32_t> RowMap,
                              int32_t SrcX, int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1,
                              int32_t X2, int32_t Y2, int32_t XStep, int32_t YStep, bool, TPXBlendOperation Operation) {
  PX_SPAN_OR_RETURN;
  if (FVirtualProvider)
    FVirtualProvider->Render(this, Dest, Dest->Width(), Dest->Height(), S.X1, S.Y1, S.X2, S.Y2, S.Cols.data(),
                             S.Rows.data(), 255, static_cast<uint8_t>(Operation), 1.0);
  if (!FOnVirtualPixel) return;
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal ||
                        (XStep == kOneToOne && YStep == kOneToOne);
  TChannelTables C;
  BuildChannelTables(this, false, C);
  for (int32_t y = S.Y1; y <= S.Y2; ++y) {
    const int32_t sy = S.Rows[static_cast<size_t>(y - S.Y1)];
    uint8_t* d = Dest->Scanline(y);
    if (!d) continue;
    d += static_cast<int64_t>(S.X1) * 3;
    for (int32_t i = 0; i < S.Count(); ++i, d += 3) {
      const TRGB p = FetchVirtual(this, S.Cols[static_cast<size_t>(i)], sy);
      if (!adjusted) {
        Store(d, p);
        continue;
      }
      TRGB o = Load(d);
      CombinePixels(Adjust(C, p), o, Operation, y);
      Store(d, o);
    }
  }
}

void TPXBitmap::RenderVirtualBlended(TPXBitmap* Dest, int32_t Transparency, bool UseAlpha,
                                     std::span<const int32_t> ColMap, std::span<const int32_t> RowMap, int32_t SrcX,
                                     int32_t SrcY, int32_t DestX, int32_t DestY, int32_t X1, int32_t Y1, int32_t X2,
                                     int32_t Y2, int32_t, int32_t, bool, TPXBlendOperation Operation,
                                     double Opacity) {
  PX_SPAN_OR_RETURN;
  if (FVirtualProvider)
    FVirtualProvider->Render(this, Dest, Dest->Width(), Dest->Height(), S.X1, S.Y1, S.X2, S.Y2, S.Cols.data(),
                             S.Rows.data(), Transparency, static_cast<uint8_t>(Operation), Opacity);
  if (!FOnVirtualPixel) return;
  const bool adjusted = FChannelOffsetEnabled || FContrast != 0 || Operation != pxboNormal;
  TChannelTables C;
  BuildChannelTables(this, false, C);
  const TWeights W(Transparency, Opacity);
  TPXBitmap* alpha = UsableAlpha(this, UseAlpha);
  for (int32_t y = S.Y1; y <= S.Y2; ++y) {
    const int32_t sy = S.Rows[static_cast<size_t>(y - S.Y1)];
    uint8_t* d = Dest->Scanline(y);
    if (!d) continue;
    d += static_cast<int64_t>(S.X1) * 3;
    for (int32_t i = 0; i < S.Count(); ++i, d += 3) {
      const int32_t sx = S.Cols[static_cast<size_t>(i)];
      const int32_t h = W.H[alpha ? alpha->GetPixel8(sx, sy) : 255];
      if (!h) continue;
      TRGB t = FetchVirtual(this, sx, sy);
      if (adjusted) {
        TRGB o = Load(d);
        CombinePixels(Adjust(C, t), o, Operation, y);
        t = o;
      }
      Mix(d, t, h);
    }
  }
}

#undef PX_SPAN_OR_RETURN
