// The integer Gaussian blur and the soft shadow.
//
// Both passes work on arrays of row addresses, so whole bitmaps, rectangles and private buffers
// share one code path. The row pass copies each row into a buffer padded with its end samples;
// the column pass runs down strips of columns a few kilobytes wide, keeping the original values
// of the rows it has already written in a small ring, so it too works in place. Each output
// sample is (sum of weight x sample + 32768) shr 16; the weights are symmetric, so pairs of
// samples are added before they are multiplied. With SSE2 sixteen samples are done at once.
#include "proc/pixoranproc_blur.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "core/hypxutils_threads.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_sample.h"

// ---------------------------------------------------------------------------------------------
// Bands on the thread pool

void RunProcBands(int32_t Count, int32_t Bands, const std::function<void(int32_t, int32_t, bool)>& Work) {
  RunBandsOnPool(Count, Bands, Work);
}

// ---------------------------------------------------------------------------------------------
// Kernel

TPXGaussKernel GaussKernel(double StandardDeviation) {
  TPXGaussKernel k;
  if (!(StandardDeviation > 0) || !std::isfinite(StandardDeviation)) return k;
  constexpr int32_t kMax = 100;
  double g[2 * kMax + 1];
  double sum = 0;
  for (int32_t i = -kMax; i <= kMax; ++i) {
    const double q = i / StandardDeviation;
    g[i + kMax] = std::exp(-(q * q) / 2);
    sum += g[i + kMax];
  }
  int32_t w[2 * kMax + 1];
  for (int32_t i = 0; i <= 2 * kMax; ++i) w[i] = static_cast<int32_t>(Round(g[i] * 65536 / sum));
  int32_t r = kMax;
  while (r > 1 && w[kMax + r] == 0 && w[kMax - r] == 0) --r;
  k.Radius = r;
  k.Weights.assign(w + kMax - r, w + kMax + r + 1);
  return k;
}

namespace {

// The weights as the passes use them: W[0] the centre, W[k] the weight of offsets -k and +k.
struct TFoldedKernel {
  int32_t Radius = 0;
  std::vector<uint32_t> W;
  bool Identity = false;  // only the centre, at 65536: every sample stays
  bool Unsigned16 = false;  // every weight fits 16 bits
  bool Signed16 = false;    // every weight fits a signed 16-bit multiplier
};

TFoldedKernel FoldKernel(const TPXGaussKernel& K) {
  TFoldedKernel f;
  if (K.Radius <= 0) return f;
  f.Radius = K.Radius;
  f.W.resize(static_cast<size_t>(K.Radius) + 1);
  bool sidesZero = true;
  uint32_t largest = 0;
  for (int32_t k = 0; k <= K.Radius; ++k) {
    // The kernel is symmetric: g(-k) = g(k), and each is rounded alike.
    f.W[static_cast<size_t>(k)] = static_cast<uint32_t>(K.Weight(k));
    largest = std::max(largest, f.W[static_cast<size_t>(k)]);
    if (k > 0 && f.W[static_cast<size_t>(k)] != 0) sidesZero = false;
  }
  f.Identity = sidesZero && f.W[0] == 65536;
  f.Unsigned16 = largest <= 65535;
  f.Signed16 = largest <= 32767;
  return f;
}

#if defined(__SSE2__)
// The multiply-add kernels split each vector of bytes into its even and its odd bytes (16-bit
// lanes, no shuffles) and multiply-add each against (weight, 0) and (0, weight) pairs, which
// gives 32-bit sums for the bytes 4i, 4i+1, 4i+2 and 4i+3; the results are merged back at the
// end. They need weights below 32768 (standard deviations above about 0.8).
#define PX_MADD_KERNEL(VEC, BYTES, PFX, SI, LOAD, STORE)                                            \
  const VEC lowMask = PFX##_set1_epi16(0x00FF);                                                    \
  const VEC highMask = PFX##_set1_epi32(static_cast<int32_t>(0xFFFF0000u));                        \
  const VEC half = PFX##_set1_epi32(32768), top = PFX##_set1_epi16(255);                           \
  VEC w10[101], w01[101];                                                                          \
  for (int32_t k = 0; k <= r; ++k) {                                                               \
    w10[k] = PFX##_set1_epi32(static_cast<int32_t>(w[k]));                                         \
    w01[k] = PFX##_set1_epi32(static_cast<int32_t>(w[k] << 16));                                   \
  }                                                                                                \
  size_t x = Start;                                                                                \
  for (; x + BYTES <= N; x += BYTES) {                                                             \
    const VEC c = LOAD(C + x);                                                                     \
    VEC e = PFX##_and_##SI(c, lowMask), o = PFX##_srli_epi16(c, 8);                                \
    VEC a0 = PFX##_add_epi32(half, PFX##_madd_epi16(e, w10[0]));                                   \
    VEC a2 = PFX##_add_epi32(half, PFX##_madd_epi16(e, w01[0]));                                   \
    VEC a1 = PFX##_add_epi32(half, PFX##_madd_epi16(o, w10[0]));                                   \
    VEC a3 = PFX##_add_epi32(half, PFX##_madd_epi16(o, w01[0]));                                   \
    for (int32_t k = 1; k <= r; ++k) {                                                             \
      const VEC s = LOAD(Lo[k] + x), t = LOAD(Hi[k] + x);                                          \
      e = PFX##_add_epi16(PFX##_and_##SI(s, lowMask), PFX##_and_##SI(t, lowMask));                 \
      o = PFX##_add_epi16(PFX##_srli_epi16(s, 8), PFX##_srli_epi16(t, 8));                         \
      a0 = PFX##_add_epi32(a0, PFX##_madd_epi16(e, w10[k]));                                       \
      a2 = PFX##_add_epi32(a2, PFX##_madd_epi16(e, w01[k]));                                       \
      a1 = PFX##_add_epi32(a1, PFX##_madd_epi16(o, w10[k]));                                       \
      a3 = PFX##_add_epi32(a3, PFX##_madd_epi16(o, w01[k]));                                       \
    }                                                                                              \
    e = PFX##_min_epi16(PFX##_or_##SI(PFX##_srli_epi32(a0, 16), PFX##_and_##SI(a2, highMask)), top); \
    o = PFX##_min_epi16(PFX##_or_##SI(PFX##_srli_epi32(a1, 16), PFX##_and_##SI(a3, highMask)), top); \
    STORE(Out + x, PFX##_or_##SI(e, PFX##_slli_epi16(o, 8)));                                      \
  }                                                                                                \
  return x;

#define PX_LOAD128(P) _mm_loadu_si128(reinterpret_cast<const __m128i*>(P))
#define PX_STORE128(P, V) _mm_storeu_si128(reinterpret_cast<__m128i*>(P), V)
#define PX_LOAD256(P) _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P))
#define PX_STORE256(P, V) _mm256_storeu_si256(reinterpret_cast<__m256i*>(P), V)

// Samples Start .. on in steps of 16; returns where it stopped.
size_t ConvolveMadd128(const uint8_t* C, const uint8_t* const* Lo, const uint8_t* const* Hi, const uint32_t* w,
                       int32_t r, uint8_t* Out, size_t Start, size_t N) {
  PX_MADD_KERNEL(__m128i, 16, _mm, si128, PX_LOAD128, PX_STORE128)
}

#if defined(__x86_64__) || defined(__i386__)
#define PX_HAVE_AVX2_KERNEL 1
// The same in steps of 32, on processors with AVX2.
__attribute__((target("avx2"))) size_t ConvolveMadd256(const uint8_t* C, const uint8_t* const* Lo,
                                                       const uint8_t* const* Hi, const uint32_t* w, int32_t r,
                                                       uint8_t* Out, size_t Start, size_t N) {
  PX_MADD_KERNEL(__m256i, 32, _mm256, si256, PX_LOAD256, PX_STORE256)
}

bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
#endif
#undef PX_MADD_KERNEL
#undef PX_LOAD128
#undef PX_STORE128
#undef PX_LOAD256
#undef PX_STORE256
#endif

// Out[x] = (W[0] C[x] + sum over k = 1 .. R of W[k] (Lo[k][x] + Hi[k][x]) + 32768) shr 16 for
// x in 0 .. N-1 (Lo[0] and Hi[0] unused). Out never overlaps the inputs.
void ConvolveRun(const uint8_t* C, const uint8_t* const* Lo, const uint8_t* const* Hi, const TFoldedKernel& K,
                 uint8_t* Out, size_t N) {
  const int32_t r = K.Radius;
  const uint32_t* w = K.W.data();
  size_t x = 0;
#if defined(__SSE2__)
#if defined(PX_HAVE_AVX2_KERNEL)
  if (K.Signed16 && HaveAvx2()) x = ConvolveMadd256(C, Lo, Hi, w, r, Out, x, N);
#endif
  if (K.Signed16) x = ConvolveMadd128(C, Lo, Hi, w, r, Out, x, N);
  if (K.Unsigned16 && !K.Signed16) {
    // Centre weights of 32768 and more (standard deviations below about 0.8): 16 x 16-bit
    // products formed from their low and high halves.
    __m128i wv[101];
    for (int32_t k = 0; k <= r; ++k) wv[k] = _mm_set1_epi16(static_cast<int16_t>(static_cast<uint16_t>(w[k])));
    const __m128i zero = _mm_setzero_si128(), half = _mm_set1_epi32(32768);
    for (; x + 16 <= N; x += 16) {
      __m128i a0 = half, a1 = half, a2 = half, a3 = half;
      auto add = [&](__m128i lo, __m128i hi, __m128i wk) {
        __m128i pl = _mm_mullo_epi16(lo, wk), ph = _mm_mulhi_epu16(lo, wk);
        a0 = _mm_add_epi32(a0, _mm_unpacklo_epi16(pl, ph));
        a1 = _mm_add_epi32(a1, _mm_unpackhi_epi16(pl, ph));
        pl = _mm_mullo_epi16(hi, wk);
        ph = _mm_mulhi_epu16(hi, wk);
        a2 = _mm_add_epi32(a2, _mm_unpacklo_epi16(pl, ph));
        a3 = _mm_add_epi32(a3, _mm_unpackhi_epi16(pl, ph));
      };
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(C + x));
      add(_mm_unpacklo_epi8(c, zero), _mm_unpackhi_epi8(c, zero), wv[0]);
      for (int32_t k = 1; k <= r; ++k) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Lo[k] + x));
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Hi[k] + x));
        add(_mm_add_epi16(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(t, zero)),
            _mm_add_epi16(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(t, zero)), wv[k]);
      }
      // The sums stay below 2^31, so the signed packs only saturate values above 255.
      const __m128i p0 = _mm_packs_epi32(_mm_srli_epi32(a0, 16), _mm_srli_epi32(a1, 16));
      const __m128i p1 = _mm_packs_epi32(_mm_srli_epi32(a2, 16), _mm_srli_epi32(a3, 16));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + x), _mm_packus_epi16(p0, p1));
    }
  }
#endif
  for (; x < N; ++x) {
    uint32_t acc = 32768 + w[0] * C[x];
    for (int32_t k = 1; k <= r; ++k) acc += w[k] * (uint32_t{Lo[k][x]} + Hi[k][x]);
    Out[x] = static_cast<uint8_t>(std::min<uint32_t>(acc >> 16, 255));
  }
}

// Reports the progress of the main band as a fraction of all the work of one pass.
using TPassProgress = std::function<void(double)>;

// Row pass from Src[0 .. Count-1] into Dst (which may be Src): pixels X0 .. X0+N-1 of Channels
// bytes each.
void BlurRows(const uint8_t* const* Src, uint8_t* const* Dst, int32_t Count, int32_t X0, int32_t N, int32_t Channels, const TFoldedKernel& K,
              int32_t Bands, const TPassProgress& Progress) {
  const int32_t r = K.Radius;
  const size_t ch = static_cast<size_t>(Channels);
  const size_t bytes = static_cast<size_t>(N) * ch;
  RunProcBands(Count, Bands, [&](int32_t first, int32_t number, bool main) {
    std::vector<uint8_t> pad((static_cast<size_t>(N) + 2 * static_cast<size_t>(r)) * ch);
    std::vector<const uint8_t*> lo(static_cast<size_t>(r) + 1), hi(static_cast<size_t>(r) + 1);
    uint8_t* base = pad.data() + static_cast<size_t>(r) * ch;
    for (int32_t k = 1; k <= r; ++k) {
      lo[static_cast<size_t>(k)] = base - static_cast<size_t>(k) * ch;
      hi[static_cast<size_t>(k)] = base + static_cast<size_t>(k) * ch;
    }
    for (int32_t i = 0; i < number; ++i) {
      const uint8_t* row = Src[first + i] + static_cast<size_t>(X0) * ch;
      std::memcpy(base, row, bytes);
      for (int32_t k = 1; k <= r; ++k) {
        std::memcpy(base - static_cast<size_t>(k) * ch, row, ch);
        std::memcpy(base + bytes + static_cast<size_t>(k - 1) * ch, row + bytes - ch, ch);
      }
      ConvolveRun(base, lo.data(), hi.data(), K, Dst[first + i] + static_cast<size_t>(X0) * ch, bytes);
      if (main && Progress) Progress(static_cast<double>(i + 1) / number);
    }
  });
}

// Column pass over Rows[0 .. Count-1], bytes X0 .. X0+N-1 of each row (every byte a channel of
// its own column).
void BlurColumns(uint8_t* const* Rows, int32_t Count, size_t X0, size_t N, const TFoldedKernel& K, int32_t Bands,
                 const TPassProgress& Progress) {
  const int32_t r = K.Radius;
  // Strips narrow enough that the rows one output row reads stay in the second-level cache.
  const size_t strip = std::clamp<size_t>((size_t{256} << 10) / (2 * static_cast<size_t>(r) + 1) & ~size_t{63},
                                          256, 4096);
  const int32_t units = static_cast<int32_t>(std::min<size_t>((N + 63) / 64, std::numeric_limits<int32_t>::max()));
  Bands = std::min(Bands, units);
  RunProcBands(units, Bands, [&](int32_t first, int32_t number, bool main) {
    const size_t b0 = static_cast<size_t>(first) * 64, b1 = std::min(N, static_cast<size_t>(first + number) * 64);
    const int32_t ringRows = std::min(r + 1, Count);
    std::vector<uint8_t> ring(static_cast<size_t>(ringRows) * strip);
    std::vector<const uint8_t*> lo(static_cast<size_t>(r) + 1), hi(static_cast<size_t>(r) + 1);
    for (size_t s0 = b0; s0 < b1; s0 += strip) {
      const size_t width = std::min(strip, b1 - s0);
      const size_t offset = X0 + s0;
      auto saved = [&](int32_t j) { return ring.data() + static_cast<size_t>(j % ringRows) * strip; };
      for (int32_t y = 0; y < Count; ++y) {
        // Rows above y (and y itself) are already written or about to be: their originals are
        // in the ring. Rows below y are still original in the bitmap.
        uint8_t* out = Rows[y] + offset;
        std::memcpy(saved(y), out, width);
        for (int32_t k = 1; k <= r; ++k) {
          lo[static_cast<size_t>(k)] = saved(std::max(y - k, 0));
          const int32_t j = std::min(y + k, Count - 1);
          hi[static_cast<size_t>(k)] = j > y ? Rows[j] + offset : saved(j);
        }
        ConvolveRun(saved(y), lo.data(), hi.data(), K, out, width);
      }
      if (main && Progress) Progress(static_cast<double>(s0 + width - b0) / static_cast<double>(b1 - b0));
    }
  });
}

// Both passes over a block of rows from Src into Dst (which may be Src); Bands of the thread pool
// (1: the calling thread only).
void BlurBlock(const uint8_t* const* Src, uint8_t* const* Dst, int32_t Count, int32_t X0, int32_t N, int32_t Channels,
               const TPXGaussKernel& G, int32_t Bands, const TPassProgress& RowProgress,
               const TPassProgress& ColumnProgress) {
  if (Count <= 0 || N <= 0) return;
  const TFoldedKernel k = FoldKernel(G);
  if (G.Radius <= 0 || k.Identity) {
    if (Src != Dst)
      for (int32_t y = 0; y < Count; ++y)
        std::memcpy(Dst[y] + static_cast<size_t>(X0) * Channels, Src[y] + static_cast<size_t>(X0) * Channels,
                    static_cast<size_t>(N) * Channels);
    return;
  }
  BlurRows(Src, Dst, Count, X0, N, Channels, k, Bands, RowProgress);
  BlurColumns(Dst, Count, static_cast<size_t>(X0) * static_cast<size_t>(Channels),
              static_cast<size_t>(N) * static_cast<size_t>(Channels), k, Bands, ColumnProgress);
}

// The row addresses of a stored bitmap; empty when it has none (virtual rows are not storage).
std::vector<uint8_t*> RowsOf(TPXBitmap* Bitmap) {
  std::vector<uint8_t*> rows;
  if (!Bitmap || Bitmap->IsVirtual() || Bitmap->IsEmpty()) return rows;
  const int32_t h = Bitmap->Height();
  rows.resize(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    if (!(rows[static_cast<size_t>(y)] = Bitmap->Scanline(y))) return {};
  return rows;
}

// Whole-bitmap blur from Src into Dst (which may be Src), with the progress of GaussianBlurBitmap.
void BlurWhole(const uint8_t* const* Src, uint8_t* const* Dst, int32_t W, int32_t H, int32_t Channels, double Radius, TObject* Sender,
               const TPXProgressEvent& OnProgress) {
  const TPXGaussKernel g = GaussKernel(Radius);
  TPassProgress rowProgress, columnProgress;
  const double total = static_cast<double>(W) + H;
  if (OnProgress) {
    rowProgress = [&](double f) {
      const double y = std::max(std::floor(f * H) - 1, 0.0);
      OnProgress(Sender, Trunc32(y * 100 / total));
    };
    columnProgress = [&](double f) {
      const double x = std::max(std::floor(f * W) - 1, 0.0);
      OnProgress(Sender, Trunc32((x + H) * 100 / total));
    };
  }
  BlurBlock(Src, Dst, H, 0, W, Channels, g, ChooseThreadCount(W, H), rowProgress, columnProgress);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Blur of bitmaps

void GaussianBlurBitmap(TPXBitmap* Bitmap, TObject* Sender, double Radius, const TPXProgressEvent& OnProgress) {
  if (!Bitmap || !(Radius > 0)) return;
  const TPXPixelFormat fmt = Bitmap->PixelFormat();
  if (fmt != px8g && fmt != px24RGB) return;
  const std::vector<uint8_t*> rows = RowsOf(Bitmap);
  if (rows.empty()) return;
  BlurWhole(rows.data(), rows.data(), Bitmap->Width(), Bitmap->Height(), fmt == px8g ? 1 : 3, Radius, Sender, OnProgress);
}

void GaussianBlurGray8Rect(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double Radius) {
  if (!Bitmap || Bitmap->PixelFormat() != px8g || !(Radius > 0)) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return;
  X1 = std::clamp(X1, 0, w - 1);
  X2 = std::clamp(X2, 0, w - 1);
  Y1 = std::clamp(Y1, 0, h - 1);
  Y2 = std::clamp(Y2, 0, h - 1);
  if (X2 < X1 || Y2 < Y1) return;
  const std::vector<uint8_t*> rows = RowsOf(Bitmap);
  if (rows.empty()) return;
  const int32_t n = X2 - X1 + 1, count = Y2 - Y1 + 1;
  BlurBlock(rows.data() + Y1, rows.data() + Y1, count, X1, n, 1, GaussKernel(Radius), ChooseThreadCount(n, count), {}, {});
}

// ---------------------------------------------------------------------------------------------
// Soft shadow

int32_t CalcShadowMargin(int32_t OffsetX, int32_t OffsetY, double Radius) {
  const int64_t offset = std::max(std::abs(static_cast<int64_t>(OffsetX)), std::abs(static_cast<int64_t>(OffsetY)));
  const int64_t m = 2 * offset + Trunc32(static_cast<long double>(Radius) * 5);
  return static_cast<int32_t>(std::clamp<int64_t>(m, 1, std::numeric_limits<int32_t>::max()));
}

namespace {

// How the shadow is recombined with the shape.
struct TShadowMix {
  TPXPixelFormat Format = pxNoFormat;
  uint8_t Color[3] = {};   // blue, green, red
  uint8_t Divided[256] = {};  // trunc(a / t), or a when t = 1
  uint8_t MinAlpha = 0;    // shape values below it count as 0
  bool DivideMono = true;  // px1g shadow alpha divided by t as well
};

TShadowMix MakeMix(TPXPixelFormat Format, int32_t Intensity, int32_t Color, int32_t MinAlpha, bool DivideMono) {
  TShadowMix m;
  m.Format = Format;
  m.Color[0] = static_cast<uint8_t>(Color & 0xFF);
  m.Color[1] = static_cast<uint8_t>((Color >> 8) & 0xFF);
  m.Color[2] = static_cast<uint8_t>((Color >> 16) & 0xFF);
  const double t = 3 - 2 * static_cast<double>(std::clamp(Intensity, 0, 100)) / 100;
  for (int32_t a = 0; a < 256; ++a) m.Divided[a] = static_cast<uint8_t>(t == 1 ? a : static_cast<int32_t>(a / t));
  m.MinAlpha = static_cast<uint8_t>(std::clamp(MinAlpha, 0, 255));
  m.DivideMono = DivideMono;
  return m;
}

// One row, pixels X1 .. X2-1: Pixels the picture's row, Alpha its alpha row (written), Shape the
// shape's alpha from column ShapeX0 on (may be Alpha itself: each value is read before it is
// written), Shadow the shadow's values from column ShadowX0 on.
void MixRow(const TShadowMix& M, uint8_t* Pixels, uint8_t* Alpha, const uint8_t* Shape, int32_t ShapeX0,
            const uint8_t* Shadow, int32_t ShadowX0, int32_t X1, int32_t X2) {
  if (M.Format != px24RGB && M.Format != px1g) {
    if (Alpha + X1 != Shadow + (X1 - ShadowX0))
      std::memcpy(Alpha + X1, Shadow + (X1 - ShadowX0), static_cast<size_t>(X2 - X1));
    return;
  }
  auto pixel = [&](int32_t x) {
    const uint8_t sv = Shape[x - ShapeX0] < M.MinAlpha ? 0 : Shape[x - ShapeX0];
    const uint8_t a = Shadow[x - ShadowX0];
    if (M.Format == px1g) {
      if (sv != 0 || a == 0) {
        Alpha[x] = sv;
      } else {
        SetPixelBit(Pixels, x, 0);
        Alpha[x] = M.DivideMono ? M.Divided[a] : a;
      }
      return;
    }
    uint8_t* p = Pixels + static_cast<size_t>(x) * 3;
    if (sv == 255 || (sv == 0 && a == 0)) {
      Alpha[x] = sv;
    } else if (sv == 0) {
      p[0] = M.Color[0];
      p[1] = M.Color[1];
      p[2] = M.Color[2];
      Alpha[x] = M.Divided[a];
    } else {
      // A partly transparent pixel of the shape over the shadow.
      const double u = a / 255.0, f = sv / 255.0;
      for (int c = 0; c < 3; ++c) {
        const int32_t mixed = static_cast<int32_t>(M.Color[c] * u + p[c] * (1 - u));
        p[c] = static_cast<uint8_t>(f * p[c] + (1 - f) * mixed);
      }
      Alpha[x] = static_cast<uint8_t>((f + u * (1 - f)) * 255);
    }
  };
  int32_t x = X1;
  if (ShapeX0 == 0 && Shape == Alpha) {
    // Working in place, eight opaque shape pixels, or eight transparent ones without shadow,
    // stay as they are: skip them in one step.
    for (; x + 8 <= X2; x += 8) {
      uint64_t sv, a;
      std::memcpy(&sv, Shape + x, 8);
      std::memcpy(&a, Shadow + (x - ShadowX0), 8);
      if (sv == ~uint64_t{0} || (sv == 0 && a == 0)) continue;
      for (int32_t i = 0; i < 8; ++i) pixel(x + i);
    }
  }
  for (; x < X2; ++x) pixel(x);
}

}  // namespace

void ApplySoftShadow(TPXBitmap* Bitmap, int32_t OffsetX, int32_t OffsetY, double Radius, int32_t Intensity,
                     bool Enlarge, int32_t Color, int32_t MinAlpha, const TPXProgressEvent& OnProgress,
                     TObject* Sender) {
  if (!Bitmap || Bitmap->IsVirtual() || Bitmap->IsEmpty() || Bitmap->FIsAlphaChannel) return;
  TPXBitmap* alpha = Bitmap->GetAlphaChannel();
  if (!alpha) return;
  alpha->FFull = 0;
  if (Enlarge) {
    const int64_t m = CalcShadowMargin(OffsetX, OffsetY, Radius);
    const int64_t nw = Bitmap->Width() + m, nh = Bitmap->Height() + m;
    if (nw > std::numeric_limits<int32_t>::max() || nh > std::numeric_limits<int32_t>::max()) return;
    Bitmap->ResizeCanvas(static_cast<int32_t>(nw), static_cast<int32_t>(nh), 0, 0, 1, 1);
    alpha = Bitmap->GetAlphaChannel();
    if (!alpha) return;
    alpha->FFull = 0;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const std::vector<uint8_t*> pixelRows = RowsOf(Bitmap), alphaRows = RowsOf(alpha);
  if (pixelRows.empty() || alphaRows.empty() || alpha->Width() != w || alpha->Height() != h) return;

  // The shadow is blurred into a private buffer; the alpha channel stays the shape until each of
  // its values is recombined.
  const size_t stride = static_cast<size_t>(w);
  const auto shadow = std::make_unique_for_overwrite<uint8_t[]>(stride * static_cast<size_t>(h));
  std::vector<uint8_t*> shadowRows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) shadowRows[static_cast<size_t>(y)] = shadow.get() + static_cast<size_t>(y) * stride;
  BlurWhole(alphaRows.data(), shadowRows.data(), w, h, 1, Radius, Sender, OnProgress);

  const TShadowMix mix = MakeMix(Bitmap->PixelFormat(), Intensity, Color, MinAlpha, true);
  // The shadow moves by the offsets: pixel x of row y takes shadow (x - OffsetX, y - OffsetY),
  // 0 where that lies outside. Columns sx1 .. sx2-1 have a source column.
  const std::vector<uint8_t> zeros(stride, 0);
  const auto sx1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{OffsetX}, 0, w));
  const auto sx2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{w} + OffsetX, 0, w));
  RunProcBands(h, ChooseThreadCount(w, h), [&](int32_t first, int32_t number, bool) {
    for (int32_t y = first; y < first + number; ++y) {
      const int64_t sy = int64_t{y} - OffsetY;
      uint8_t* px = pixelRows[static_cast<size_t>(y)];
      uint8_t* a = alphaRows[static_cast<size_t>(y)];
      if (sy < 0 || sy >= h || sx1 >= sx2) {
        MixRow(mix, px, a, a, 0, zeros.data(), 0, 0, w);
        continue;
      }
      MixRow(mix, px, a, a, 0, zeros.data(), 0, 0, sx1);
      MixRow(mix, px, a, a, 0, shadowRows[static_cast<size_t>(sy)], OffsetX, sx1, sx2);
      MixRow(mix, px, a, a, 0, zeros.data(), sx2, sx2, w);
    }
  });
}

int32_t ApplySoftShadowRect(TPXBitmap* Bitmap, int32_t OffsetX, int32_t OffsetY, double Radius, int32_t Intensity,
                            int32_t Color, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const bool preset = !(Radius > 0);
  const int32_t margin = CalcShadowMargin(OffsetX, OffsetY, preset ? 2.0 : Radius);
  const int32_t half = margin / 2;
  if (!Bitmap || Bitmap->IsVirtual() || Bitmap->IsEmpty() || Bitmap->FIsAlphaChannel) return margin;
  TPXBitmap* alpha = Bitmap->GetAlphaChannel();
  if (!alpha) return margin;
  alpha->FFull = 0;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (alpha->Width() != w || alpha->Height() != h) return margin;

  // The rectangle grown by Grow on each side, cut to the bitmap (inclusive; empty when the
  // rectangle lies wholly outside).
  auto grown = [&](int64_t Grow) {
    return TRect{static_cast<int32_t>(std::max<int64_t>(int64_t{X1} - Grow, 0)),
                 static_cast<int32_t>(std::max<int64_t>(int64_t{Y1} - Grow, 0)),
                 static_cast<int32_t>(std::min<int64_t>(int64_t{X2} + Grow, w - 1)),
                 static_cast<int32_t>(std::min<int64_t>(int64_t{Y2} + Grow, h - 1))};
  };
  const TRect area = grown(margin);
  if (area.Right < area.Left || area.Bottom < area.Top) return margin;
  const std::vector<uint8_t*> pixelRows = RowsOf(Bitmap), alphaRows = RowsOf(alpha);
  if (pixelRows.empty() || alphaRows.empty()) return margin;

  // The shape over the area that is recombined.
  const int32_t aw = area.Right - area.Left + 1, ah = area.Bottom - area.Top + 1;
  std::vector<uint8_t> shape(static_cast<size_t>(aw) * static_cast<size_t>(ah));
  for (int32_t y = 0; y < ah; ++y)
    std::memcpy(shape.data() + static_cast<size_t>(y) * aw, alphaRows[static_cast<size_t>(area.Top + y)] + area.Left,
                static_cast<size_t>(aw));

  const TRect blur = grown(half);
  if (blur.Right >= blur.Left && blur.Bottom >= blur.Top) {
    if (preset) {
      static const TPXConvolutionKernel kBlur{{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9};
      const auto& presets = PXFilterPresets();
      Convolve3x3Gray(alpha, presets.size() > 1 ? presets[1] : kBlur, blur.Left, blur.Top, blur.Right + 1,
                      blur.Bottom + 1);
    } else {
      GaussianBlurGray8Rect(alpha, blur.Left, blur.Top, blur.Right, blur.Bottom, Radius);
    }
    if (OffsetX != 0 || OffsetY != 0) {
      const int64_t dx = int64_t{blur.Left} + OffsetX, dy = int64_t{blur.Top} + OffsetY;
      if (dx > -w && dx < w && dy > -h && dy < h)
        alpha->MoveRect(blur.Left, blur.Top, blur.Right, blur.Bottom, static_cast<int32_t>(dx),
                        static_cast<int32_t>(dy), 0, true);
      else
        alpha->FillRect(blur.Left, blur.Top, blur.Right, blur.Bottom, 0);
    }
  }

  const TShadowMix mix = MakeMix(Bitmap->PixelFormat(), Intensity, Color, 0, false);
  for (int32_t y = area.Top; y <= area.Bottom; ++y) {
    uint8_t* a = alphaRows[static_cast<size_t>(y)];
    const uint8_t* s = shape.data() + static_cast<size_t>(y - area.Top) * aw;
    MixRow(mix, pixelRows[static_cast<size_t>(y)], a, s, area.Left, a, 0, area.Left, area.Right + 1);
  }
  return margin;
}
