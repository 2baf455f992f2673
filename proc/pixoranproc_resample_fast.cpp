// The cheap resamplers: fast linear for 24-bit, 8-bit and 16-bit pictures, the stroke-keeping
// projections to 1 bit, and the 1-bit linear and coverage paths.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PX_FL_X86 1
#endif

#include "core/hypxutils_threads.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_resample_impl.h"

namespace {

// Round half to even, as RsRound, for |v| < 2^51 in the default rounding mode: adding 1.5 * 2^52
// leaves no fraction bits, so the sum itself is rounded to the nearest even integer.
inline int64_t FlRound(double v) {
  constexpr double kShift = 6755399441055744.0;
  return static_cast<int64_t>((v + kShift) - kShift);
}

// Exact floor(s / n) for the sums of a box of n samples, by a multiply where it is exact:
// M = floor(2^64 / n) + 1 gives floor(s * M / 2^64) = floor(s / n) whenever s * n < 2^64.
__extension__ typedef unsigned __int128 TFlWide;
struct TFlDiv {
  uint64_t M = 0;  // 0: divide plainly (n of 1, or boxes too large for the multiply)
  uint64_t N = 1;
  TFlDiv() = default;
  TFlDiv(uint64_t n, uint64_t maxV) : N(n) {
    // s <= maxV * n, so s * n < 2^64 holds while maxV * n * n < 2^64.
    if (n >= 2 && static_cast<double>(maxV) * static_cast<double>(n) * static_cast<double>(n) < 1.8e19)
      M = static_cast<uint64_t>(~uint64_t{0} / n) + 1;
  }
  uint64_t operator()(uint64_t s) const {
    return M ? static_cast<uint64_t>((static_cast<TFlWide>(s) * M) >> 64) : s / N;
  }
};

// Exact reciprocal for 16-bit lanes: floor(s * M / 2^16) = floor(s / n) for 2 <= n <= 16 and
// every box sum s <= 255 n of 8-bit samples (the rule above with 2^16: s * n < 2^16).
inline uint16_t FlMagic16(int32_t n) { return static_cast<uint16_t>(65536 / n + 1); }

#if defined(PX_FL_X86)
// pshufb masks gathering up to four 3-byte pixels as B0..B3 G0..G3 R0..R3 and four zero bytes;
// entry k keeps the first k pixels and zeroes the rest.
struct TFlMasks {
  alignas(16) int8_t M[5][16];
};
constexpr TFlMasks MakeFlMasks() {
  TFlMasks m{};
  for (int k = 0; k <= 4; ++k)
    for (int i = 0; i < 16; ++i) {
      const int ch = i / 4, j = i % 4;
      m.M[k][i] = static_cast<int8_t>(ch < 3 && j < k ? 3 * j + ch : -128);
    }
  return m;
}
constexpr TFlMasks kFlMasks = MakeFlMasks();

bool FlHaveSsse3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}

// Channel sums of the N pixels from P in 16-bit lanes as (B01, B23, G01, G23, R01, R23, 0, 0),
// four pixels per 16-byte load; the last load ends at most 4 bytes past the box.
__attribute__((target("ssse3"))) inline __m128i FlBoxSum24(const uint8_t* P, int32_t N, __m128i Ones) {
  const auto* masks = reinterpret_cast<const __m128i*>(kFlMasks.M);
  __m128i acc = _mm_maddubs_epi16(
      _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)), masks[std::min(N, 4)]), Ones);
  for (N -= 4; N > 0; N -= 4) {
    P += 12;
    acc = _mm_add_epi16(acc, _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)),
                                                                masks[std::min(N, 4)]),
                                               Ones));
  }
  return acc;
}

bool FlHaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

// Four samples of the enlarging rule FlRound((b - a) * g + a) from the 4-byte groups at a and b,
// in the same double operations as the scalar rule (a multiply, then an add: no fused step), so
// the results are the same.
__attribute__((target("avx2"))) inline __m128i FlLerp4Avx2(const uint8_t* a, const uint8_t* b, __m256d g,
                                                            __m256d shift) {
  uint32_t wa, wb;
  std::memcpy(&wa, a, 4);
  std::memcpy(&wb, b, 4);
  const __m256d va = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(wa))));
  const __m256d vb = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(wb))));
  const __m256d t = _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(vb, va), g), va);
  return _mm256_cvtpd_epi32(_mm256_sub_pd(_mm256_add_pd(t, shift), shift));
}

// The enlarging vertical step for 8-bit samples, eight at a time: D[k] from A[k] and B[k] by G
// (the results lie between the two, so no clamping is needed). Returns the samples done.
__attribute__((target("avx2"))) size_t FlLerpRows8Avx2(const uint8_t* A, const uint8_t* B, double G, uint8_t* D,
                                                      size_t Len) {
  const __m256d g = _mm256_set1_pd(G), shift = _mm256_set1_pd(6755399441055744.0);
  size_t k = 0;
  for (; k + 8 <= Len; k += 8) {
    const __m128i lo = FlLerp4Avx2(A + k, B + k, g, shift), hi = FlLerp4Avx2(A + k + 4, B + k + 4, g, shift);
    const __m128i w = _mm_packs_epi32(lo, hi);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(D + k), _mm_packus_epi16(w, w));
  }
  return k;
}

// GCC 12's AVX-512 headers start vectors from an undefined value and warn about it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
bool FlHaveAvx512() {
  static const bool have = __builtin_cpu_supports("avx512f");
  return have;
}

// Eight samples of the enlarging rule from the 4-byte groups at A0, A1 (lanes 0-3, 4-7) and B0,
// B1, with the weight of each half in G.
__attribute__((target("avx512f,avx2"))) inline __m128i FlLerp8Avx512(const uint8_t* A0, const uint8_t* A1,
                                                                     const uint8_t* B0, const uint8_t* B1, __m512d G,
                                                                     __m512d Shift) {
  uint32_t a0, a1, b0, b1;
  std::memcpy(&a0, A0, 4);
  std::memcpy(&a1, A1, 4);
  std::memcpy(&b0, B0, 4);
  std::memcpy(&b1, B1, 4);
  const __m128i ai = _mm_cvtsi64_si128(static_cast<long long>((uint64_t{a1} << 32) | a0));
  const __m128i bi = _mm_cvtsi64_si128(static_cast<long long>((uint64_t{b1} << 32) | b0));
  const __m512d va = _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(ai));
  const __m512d vb = _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(bi));
  const __m512d t = _mm512_add_pd(_mm512_mul_pd(_mm512_sub_pd(vb, va), G), va);
  const __m256i r = _mm512_cvtpd_epi32(_mm512_sub_pd(_mm512_add_pd(t, Shift), Shift));
  const __m128i w = _mm_packs_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
  return _mm_packus_epi16(w, w);  // the eight results in the low 8 bytes
}

// FlLerpRows8Avx2 and FlLerpColumns24Avx2 with eight doubles a step.
__attribute__((target("avx512f,avx2"))) size_t FlLerpRows8Avx512(const uint8_t* A, const uint8_t* B, double G,
                                                                uint8_t* D, size_t Len) {
  const __m512d g = _mm512_set1_pd(G), shift = _mm512_set1_pd(6755399441055744.0);
  size_t k = 0;
  for (; k + 8 <= Len; k += 8)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(D + k), FlLerp8Avx512(A + k, A + k + 4, B + k, B + k + 4, g, shift));
  return k;
}

__attribute__((target("avx512f,avx2"))) int32_t FlLerpColumns24Avx512(const uint8_t* S, uint8_t* W,
                                                                     const int32_t* Ca, const int32_t* Cb,
                                                                     const double* Cf, int32_t N, int32_t Last) {
  const __m512d shift = _mm512_set1_pd(6755399441055744.0);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
  int32_t c = 0;
  for (; c + 4 <= N && Cb[c + 3] < Last; c += 4) {
    __m128i r[2];
    for (int j = 0; j < 2; ++j) {
      const int32_t k = c + 2 * j;
      const __m512d g = _mm512_insertf64x4(_mm512_set1_pd(Cf[k]), _mm256_set1_pd(Cf[k + 1]), 1);
      r[j] = FlLerp8Avx512(S + 3 * static_cast<int64_t>(Ca[k]), S + 3 * static_cast<int64_t>(Ca[k + 1]),
                           S + 3 * static_cast<int64_t>(Cb[k]), S + 3 * static_cast<int64_t>(Cb[k + 1]), g, shift);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(W + 3 * static_cast<int64_t>(c)),
                     _mm_shuffle_epi8(_mm_unpacklo_epi64(r[0], r[1]), pack));
  }
  return c;
}

#pragma GCC diagnostic pop

// The enlarging horizontal step for 3-channel 8-bit rows, four columns at a time: column c mixes
// the pixels at Ca[c] and Cb[c] of S by Cf[c] with the scalar rule's double operations. Each
// pixel is read as 4 bytes, so only columns whose Cb is before the last pixel (Last) are done
// here; W takes 16-byte stores (4 bytes past the last column done). Returns the columns done.
__attribute__((target("avx2"))) int32_t FlLerpColumns24Avx2(const uint8_t* S, uint8_t* W, const int32_t* Ca,
                                                           const int32_t* Cb, const double* Cf, int32_t N,
                                                           int32_t Last) {
  const __m256d shift = _mm256_set1_pd(6755399441055744.0);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
  int32_t c = 0;
  for (; c + 4 <= N && Cb[c + 3] < Last; c += 4) {
    __m128i r[4];
    for (int j = 0; j < 4; ++j) {
      r[j] = FlLerp4Avx2(S + 3 * static_cast<int64_t>(Ca[c + j]), S + 3 * static_cast<int64_t>(Cb[c + j]),
                         _mm256_set1_pd(Cf[c + j]), shift);
    }
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(r[0], r[1]), _mm_packs_epi32(r[2], r[3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(W + 3 * static_cast<int64_t>(c)), _mm_shuffle_epi8(bytes, pack));
  }
  return c;
}

// Horizontal boxes of a 3-channel 8-bit row for columns 0 .. N-1 (N a multiple of 4): column c
// averages Len[c] (2..16) pixels from X0[c] with the reciprocals Magic[4c .. 4c+2]. Writes 4
// bytes past column N's start.
__attribute__((target("ssse3"))) void FlBoxRow24Ssse3(const uint8_t* S, uint8_t* W, const int32_t* X0,
                                                      const int32_t* Len, const uint16_t* Magic, int32_t N) {
  const __m128i ones = _mm_set1_epi8(1);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -128, -128, -128, -128);
  for (int32_t c = 0; c < N; c += 4) {
    const __m128i a0 = FlBoxSum24(S + 3 * static_cast<int64_t>(X0[c]), Len[c], ones);
    const __m128i a1 = FlBoxSum24(S + 3 * static_cast<int64_t>(X0[c + 1]), Len[c + 1], ones);
    const __m128i a2 = FlBoxSum24(S + 3 * static_cast<int64_t>(X0[c + 2]), Len[c + 2], ones);
    const __m128i a3 = FlBoxSum24(S + 3 * static_cast<int64_t>(X0[c + 3]), Len[c + 3], ones);
    // (B, G, R, 0) per column, two columns a vector, then divided and packed to 12 bytes.
    const __m128i m01 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Magic + 4 * static_cast<int64_t>(c)));
    const __m128i m23 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Magic + 4 * static_cast<int64_t>(c) + 8));
    const __m128i d01 = _mm_mulhi_epu16(_mm_hadd_epi16(a0, a1), m01);
    const __m128i d23 = _mm_mulhi_epu16(_mm_hadd_epi16(a2, a3), m23);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(W + 3 * static_cast<int64_t>(c)),
                     _mm_shuffle_epi8(_mm_packus_epi16(d01, d23), pack));
  }
}
#endif

#if defined(__SSE2__)
// Horizontal boxes of a one-channel 8-bit row for columns 0 .. N-1 (N a multiple of 4): column c
// averages the bytes of Mask[c] (a prefix of 2..8 bytes) in the 8 bytes from X0[c], with the
// reciprocal Magic[2c] (Magic[2c + 1] = 0). Two columns share a vector; one sum of absolute
// differences against zero adds each half.
void FlBoxRow8Sse2(const uint8_t* S, uint8_t* W, const int32_t* X0, const uint64_t* Mask, const uint16_t* Magic,
                   int32_t N) {
  const __m128i zero = _mm_setzero_si128();
  auto pair = [&](int32_t c) {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(S + X0[c]));
    const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(S + X0[c + 1]));
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Mask + c));
    return _mm_sad_epu8(_mm_and_si128(_mm_unpacklo_epi64(a, b), m), zero);  // 32-bit lanes: a, 0, b, 0
  };
  for (int32_t c = 0; c < N; c += 4) {
    const __m128i sums = _mm_packs_epi32(pair(c), pair(c + 2));  // 16-bit lanes: s0 0 s1 0 s2 0 s3 0
    const __m128i q = _mm_mulhi_epu16(sums, _mm_loadu_si128(reinterpret_cast<const __m128i*>(Magic + 2 * c)));
    const __m128i w = _mm_packs_epi32(q, q);  // the quotients as 32-bit lanes, narrowed to 16 bits
    const auto out = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(w, w)));
    std::memcpy(W + c, &out, 4);
  }
}
#endif

// D[k] = floor((Rows[0][k] + .. + Rows[N-1][k]) / N) for k < Len, 2 <= N <= 16, M = FlMagic16(N).
void FlBoxColumns8(const uint8_t* const* Rows, int32_t N, uint16_t M, uint8_t* D, size_t Len) {
  size_t k = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), m = _mm_set1_epi16(static_cast<int16_t>(M));
  for (; k + 16 <= Len; k += 16) {
    __m128i lo = zero, hi = zero;
    for (int32_t j = 0; j < N; ++j) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[j] + k));
      lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(v, zero));
      hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(v, zero));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + k),
                     _mm_packus_epi16(_mm_mulhi_epu16(lo, m), _mm_mulhi_epu16(hi, m)));
  }
#endif
  for (; k < Len; ++k) {
    uint32_t s = 0;
    for (int32_t j = 0; j < N; ++j) s += Rows[j][k];
    D[k] = static_cast<uint8_t>((s * M) >> 16);
  }
}

// The fast linear geometry shared by the bands: destination columns L..L+Cols-1 with their source
// boxes (reducing) or source pairs and fractions (enlarging), rows the same way.
struct TFlPlan {
  TPXBitmap* Src = nullptr;
  TPXBitmap* Dst = nullptr;
  int32_t sW = 0, sH = 0, dH = 0, L = 0, Cols = 0;
  double Xs = 1, Ys = 1;
  int64_t MaxV = 255;
  std::vector<int32_t> X0, X1, Ca, Cb;
  std::vector<double> Cf;
  std::vector<TFlDiv> XDiv;
  // 8-bit three-channel reduction: the first VecCols columns (a multiple of 4) are summed with
  // vectors, column c over XLen[c] pixels with the reciprocals XMagic[4c .. 4c+3].
  int32_t VecCols = 0;
  std::vector<int32_t> XLen;
  std::vector<uint16_t> XMagic;
  // 8-bit one-channel reduction: the same for boxes of 2..8 pixels, with byte masks XMask[c] and
  // reciprocals XMagic[2c] (and a zero lane).
  std::vector<uint64_t> XMask;
  // 8-bit reduction with every row box of at most 16 rows: a box's work rows are summed at once.
  bool VecRows = false;
  int32_t Slots = 2;  // work rows kept: at least the tallest box when VecRows
};

// One band of destination rows. The horizontal pass makes each needed source row into a work row
// of samples on demand; row r is kept in slot r mod Slots, so a box's rows (requested in rising
// order, at most Slots of them) stay at hand together and neighbouring reducing boxes share one.
// An enlarging row reads two neighbouring rows.
template <typename T, int NC, typename Acc>
class TFlBand {
 public:
  explicit TFlBand(const TFlPlan& P)
      : p_(P), workLen_(static_cast<size_t>(P.Cols) * NC), slot_(static_cast<size_t>(std::max(P.Slots, 2))) {
    // The vector horizontal pass stores 16 bytes at a time: room past the last sample.
    for (auto& s : slot_) s.Row.resize(workLen_ + 16);
    if (p_.Ys <= 1 && !p_.VecRows) acc_.resize(workLen_);
  }

  void Run(int32_t First, int32_t Count, TRsProgress* Progress, int32_t Bands, int32_t Rows) {
    const double pf = 100 / (Rows + 0.5);
    for (int32_t y = First; y < First + Count; ++y) {
      if (T* d = reinterpret_cast<T*>(p_.Dst->Scanline(y))) DestRow(y, d + static_cast<int64_t>(p_.L) * NC);
      if (Progress) Progress->Report(RsTrunc(static_cast<double>(Bands) * (y - First + 1) * pf));
    }
  }

 private:
  struct TSlot {
    int32_t Index = -1;
    std::vector<T> Row;
  };

  const T* WorkRow(int32_t r) {
    TSlot& s = slot_[static_cast<size_t>(r) % slot_.size()];
    if (s.Index != r) {
      s.Index = r;
      Horizontal(r, s.Row.data());
    }
    return s.Row.data();
  }

  void Horizontal(int32_t y, T* w) {
    const T* s = reinterpret_cast<const T*>(p_.Src->Scanline(y));
    if (!s) {
      std::fill(w, w + workLen_, T{0});
      return;
    }
    const int32_t cols = p_.Cols;
    if (p_.Xs > 1) {
      int32_t c = 0;
#if defined(PX_FL_X86)
      if constexpr (std::is_same_v<T, uint8_t> && NC == 3) {
        if (FlHaveAvx512()) c = FlLerpColumns24Avx512(s, w, p_.Ca.data(), p_.Cb.data(), p_.Cf.data(), cols, p_.sW - 1);
        else if (FlHaveAvx2()) c = FlLerpColumns24Avx2(s, w, p_.Ca.data(), p_.Cb.data(), p_.Cf.data(), cols, p_.sW - 1);
      }
#endif
      for (; c < cols; ++c) {
        const auto sc = static_cast<size_t>(c);
        const T* pa = s + static_cast<int64_t>(p_.Ca[sc]) * NC;
        const T* pb = s + static_cast<int64_t>(p_.Cb[sc]) * NC;
        const double f = p_.Cf[sc];
        for (int k = 0; k < NC; ++k) {
          const double a = pa[k], b = pb[k];
          w[c * NC + k] = static_cast<T>(FlRound((b - a) * f + a));
        }
      }
      return;
    }
    int32_t c = 0;
#if defined(PX_FL_X86)
    if constexpr (std::is_same_v<T, uint8_t> && NC == 3) {
      if (p_.VecCols > 0) {
        FlBoxRow24Ssse3(s, w, p_.X0.data(), p_.XLen.data(), p_.XMagic.data(), p_.VecCols);
        c = p_.VecCols;
      }
    }
#endif
#if defined(__SSE2__)
    if constexpr (std::is_same_v<T, uint8_t> && NC == 1) {
      if (p_.VecCols > 0) {
        FlBoxRow8Sse2(s, w, p_.X0.data(), p_.XMask.data(), p_.XMagic.data(), p_.VecCols);
        c = p_.VecCols;
      }
    }
#endif
    // Each box summed directly, the channels in registers: boxes are short, and a box sum
    // always fits in Acc.
    for (; c < cols; ++c) {
      const auto sc = static_cast<size_t>(c);
      const T* px = s + static_cast<int64_t>(p_.X0[sc]) * NC;
      const T* end = s + (static_cast<int64_t>(p_.X1[sc]) + 1) * NC;
      Acc sum[NC] = {};
      for (; px != end; px += NC)
#pragma GCC unroll 4
        for (int k = 0; k < NC; ++k) sum[k] = static_cast<Acc>(sum[k] + px[k]);
      const TFlDiv& dv = p_.XDiv[sc];
#pragma GCC unroll 4
      for (int k = 0; k < NC; ++k) w[c * NC + k] = static_cast<T>(dv(sum[k]));
    }
  }

  void DestRow(int32_t y, T* d) {
    const int32_t sH = p_.sH;
    const int64_t maxV = p_.MaxV;
    if (p_.Ys > 1) {
      const double v = y / p_.Ys;
      const int32_t r0 = std::min(RsTrunc(v), sH - 1);
      const double g = v - r0;
      const int32_t r1 = r0 + 1 < sH ? r0 + 1 : r0;
      const T* w0 = WorkRow(r0);
      const T* w1 = WorkRow(r1);
      size_t k = 0;
#if defined(PX_FL_X86)
      if constexpr (std::is_same_v<T, uint8_t>) {
        if (FlHaveAvx512()) k = FlLerpRows8Avx512(w0, w1, g, d, workLen_);
        else if (FlHaveAvx2()) k = FlLerpRows8Avx2(w0, w1, g, d, workLen_);
      }
#endif
      for (; k < workLen_; ++k) {
        const double a = w0[k], b = w1[k];
        const int64_t val = FlRound((b - a) * g + a);
        d[k] = static_cast<T>(val < 0 ? 0 : (val > maxV ? maxV : val));
      }
      return;
    }
    const auto r0 = static_cast<int32_t>(std::min<int64_t>(RsRound(y / p_.Ys), sH - 1));
    const auto r1 =
        static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(y + 1, p_.dH - 1) / p_.Ys), r0, sH - 1));
    if constexpr (std::is_same_v<T, uint8_t>) {
      if (p_.VecRows) {
        const int32_t n = r1 - r0 + 1;
        const uint8_t* rows[16];
        for (int32_t r = r0; r <= r1; ++r) rows[r - r0] = WorkRow(r);
        if (n == 1) std::memcpy(d, rows[0], workLen_);
        else FlBoxColumns8(rows, n, FlMagic16(n), d, workLen_);
        return;
      }
    }
    Acc* acc = acc_.data();
    std::fill(acc, acc + workLen_, Acc{0});
    for (int32_t r = r0; r <= r1; ++r) {
      const T* w = WorkRow(r);
      for (size_t k = 0; k < workLen_; ++k) acc[k] = static_cast<Acc>(acc[k] + w[k]);
    }
    const TFlDiv dv(static_cast<uint64_t>(r1 - r0 + 1), static_cast<uint64_t>(maxV));
    for (size_t k = 0; k < workLen_; ++k) {
      const uint64_t val = dv(acc[k]);
      d[k] = static_cast<T>(val > static_cast<uint64_t>(maxV) ? maxV : val);
    }
  }

  const TFlPlan& p_;
  const size_t workLen_;
  std::vector<TSlot> slot_;
  std::vector<Acc> acc_;
};

template <typename T, int NC, typename Acc>
class TFlBandThread : public TPXExecutor {
 public:
  TFlBandThread(bool Threaded, const TFlPlan& P, int32_t First, int32_t Count, TRsProgress* Progress, int32_t Bands,
                int32_t Rows)
      : TPXExecutor(Threaded), p_(P), first_(First), count_(Count), progress_(Progress), bands_(Bands), rows_(Rows) {}
  void Execute() override { TFlBand<T, NC, Acc>(p_).Run(first_, count_, progress_, bands_, rows_); }

 private:
  const TFlPlan& p_;
  int32_t first_, count_;
  TRsProgress* progress_;
  int32_t bands_, rows_;
};

// Whether rows of B may be reached from several threads at once: memory storage, or a clipped view
// of it (whose rows of 8 bits and more are addresses inside the viewed bitmap). File-backed and
// other virtual rows go through shared state.
bool FlSharedRows(TPXBitmap* B) {
  for (int depth = 0; B && depth < 8; ++depth) {
    auto* view = dynamic_cast<TPXVirtualClippedBitmap*>(B);
    if (!view) return B->Location() != pxFile && !B->IsVirtual();
    if (view->BitCount() < 8) return false;
    B = view->FSource;
  }
  return false;
}

// Destination rows Top..Bottom in bands on the thread pool; only band 0 reports progress.
template <typename T, int NC, typename Acc>
void FlRunBands(const TFlPlan& P, int32_t Top, int32_t Bottom, int32_t Bands, TRsProgress& Progress) {
  const int32_t rows = Bottom - Top + 1;
  const auto bands = ResampleBands(rows, Bands);
  const auto n = static_cast<int32_t>(bands.size());
  TPXThreadPool pool;
  for (int32_t k = 0; k < n; ++k) {
    const auto& b = bands[static_cast<size_t>(k)];
    pool.Add(std::make_unique<TFlBandThread<T, NC, Acc>>(n > 1, P, Top + b.first, b.second, k == 0 ? &Progress : nullptr,
                                                         n, rows));
  }
  pool.WaitAll();
}

// Fast linear with NC channels of type T. Reducing, a destination pixel averages the source box
// from its own cell's start to the next cell's start (neighbouring boxes share that row or
// column, and an axis of unchanged size still averages each pixel with its next neighbour);
// enlarging, it interpolates between two neighbours. The horizontal pass's results are truncated
// to samples before the vertical pass, as the two-pass form defines them.
template <typename T, int NC>
void FastLinear(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                const TRect* Rect, bool AssignWhole, TPXPixelFormat Format) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Format) return;
  // Rows are addressed as Format on both sides.
  if (Dst->PixelFormat() != Format && !Dst->Allocate(Dst->Width(), Dst->Height(), Format))
    throw EOutOfMemory("Out of memory");
  TFlPlan p;
  p.Src = Src;
  p.Dst = Dst;
  p.sW = Src->Width(), p.sH = Src->Height(), p.dH = Dst->Height();
  const int32_t sW = p.sW, sH = p.sH, dW = Dst->Width(), dH = p.dH;
  const double xs = static_cast<double>(dW) / sW, ys = static_cast<double>(dH) / sH;
  p.Xs = xs, p.Ys = ys;
  if (xs == 1 && ys == 1) {
    if (AssignWhole) Dst->Assign(Src);
    else Dst->AssignFrom(Src, false);
    return;
  }
  p.MaxV = sizeof(T) == 1 ? 255 : 65535;
  int32_t L = 0, R = dW - 1, Tp = 0, B = dH - 1;
  if (Rect && !(Rect->Left == 0 && Rect->Top == 0 && Rect->Right == -1 && Rect->Bottom == -1)) {
    L = std::max(Rect->Left, 0);
    Tp = std::max(Rect->Top, 0);
    R = std::min(Rect->Right, dW - 1);
    B = std::min(Rect->Bottom, dH - 1);
  }
  if (L > R || Tp > B) return;
  const int32_t cols = R - L + 1;
  p.L = L, p.Cols = cols;
  const auto ncols = static_cast<size_t>(cols);
  p.X0.resize(ncols), p.X1.resize(ncols), p.Ca.resize(ncols), p.Cb.resize(ncols), p.Cf.resize(ncols);
  uint64_t maxBoxX = 1;
  for (int32_t c = 0; c < cols; ++c) {
    const int32_t i = L + c;
    const auto sc = static_cast<size_t>(c);
    p.X0[sc] = static_cast<int32_t>(std::min<int64_t>(RsRound(i / xs), sW - 1));
    p.X1[sc] = static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(i + 1, dW - 1) / xs + 1e-10), p.X0[sc], sW - 1));
    p.Ca[sc] = std::min(RsTrunc(i / xs), sW - 1);
    p.Cb[sc] = std::min(p.Ca[sc] + 1, sW - 1);
    p.Cf[sc] = i / xs - p.Ca[sc];
    maxBoxX = std::max<uint64_t>(maxBoxX, static_cast<uint64_t>(p.X1[sc] - p.X0[sc] + 1));
  }
  if (xs <= 1) {
    p.XDiv.resize(ncols);
    for (size_t c = 0; c < ncols; ++c)
      p.XDiv[c] = TFlDiv(static_cast<uint64_t>(p.X1[c] - p.X0[c] + 1), static_cast<uint64_t>(p.MaxV));
  }
  uint64_t maxBoxY = 1;
  if (ys <= 1)
    for (int32_t y = Tp; y <= B; ++y) {
      const int64_t r0 = std::min<int64_t>(RsRound(y / ys), sH - 1);
      const int64_t r1 = std::clamp<int64_t>(RsRound(std::min(y + 1, dH - 1) / ys), r0, sH - 1);
      maxBoxY = std::max<uint64_t>(maxBoxY, static_cast<uint64_t>(r1 - r0 + 1));
    }
  if constexpr (std::is_same_v<T, uint8_t>) {
    if (ys <= 1 && maxBoxY <= 16) {
      p.VecRows = true;
      p.Slots = static_cast<int32_t>(std::max<uint64_t>(maxBoxY, 2));
    }
  }
#if defined(PX_FL_X86)
  if constexpr (std::is_same_v<T, uint8_t> && NC == 3) {
    // Columns from the left while the box has 2..16 pixels and its last 16-byte load stays
    // inside the source row.
    if (xs <= 1 && FlHaveSsse3()) {
      int32_t n = 0;
      while (n < cols) {
        const auto sn = static_cast<size_t>(n);
        const int32_t len = p.X1[sn] - p.X0[sn] + 1;
        if (len < 2 || len > 16 || 3 * int64_t{p.X0[sn]} + 12 * ((len - 1) / 4) + 16 > 3 * int64_t{sW}) break;
        ++n;
      }
      p.VecCols = n & ~3;
      p.XLen.resize(static_cast<size_t>(p.VecCols));
      p.XMagic.resize(static_cast<size_t>(p.VecCols) * 4);
      for (size_t c = 0; c < static_cast<size_t>(p.VecCols); ++c) {
        const int32_t len = p.X1[c] - p.X0[c] + 1;
        p.XLen[c] = len;
        p.XMagic[4 * c] = p.XMagic[4 * c + 1] = p.XMagic[4 * c + 2] = FlMagic16(len);
        p.XMagic[4 * c + 3] = 0;
      }
    }
  }
#endif
#if defined(__SSE2__)
  if constexpr (std::is_same_v<T, uint8_t> && NC == 1) {
    // Columns from the left while the box has 2..8 pixels and its 8-byte load stays inside the
    // source row.
    if (xs <= 1) {
      int32_t n = 0;
      while (n < cols) {
        const auto sn = static_cast<size_t>(n);
        const int32_t len = p.X1[sn] - p.X0[sn] + 1;
        if (len < 2 || len > 8 || int64_t{p.X0[sn]} + 8 > int64_t{sW}) break;
        ++n;
      }
      p.VecCols = n & ~3;
      p.XMask.resize(static_cast<size_t>(p.VecCols));
      p.XMagic.resize(static_cast<size_t>(p.VecCols) * 2);
      for (size_t c = 0; c < static_cast<size_t>(p.VecCols); ++c) {
        const int32_t len = p.X1[c] - p.X0[c] + 1;
        p.XMask[c] = len == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * len)) - 1;
        p.XMagic[2 * c] = FlMagic16(len);
        p.XMagic[2 * c + 1] = 0;
      }
    }
  }
#endif
  const int32_t bands = FlSharedRows(Src) && FlSharedRows(Dst) ? std::max(1, ChooseThreadCount(sW, sH)) : 1;
  TRsProgress progress(OnProgress, Sender);
  const bool narrow = static_cast<uint64_t>(p.MaxV) * std::max(maxBoxX, maxBoxY) < (uint64_t{1} << 32);
  if (narrow) FlRunBands<T, NC, uint32_t>(p, Tp, B, bands, progress);
  else FlRunBands<T, NC, uint64_t>(p, Tp, B, bands, progress);
}

// Both projections: Dark(x) tells whether source pixel x of a row counts (black for BW, white
// for WB).
template <typename DarkFn>
void Project(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
             TObject* Sender, DarkFn Counts) {
  if (!RsUsable(Src) || !RsUsable(Dst)) return;
  const int32_t dW = Dst->Width(), dH = Dst->Height(), sW = Src->Width(), sH = Src->Height();
  if (Dst->PixelFormat() != px1g && !Dst->Allocate(dW, dH, px1g)) throw EOutOfMemory("Out of memory");
  TPXAccessModeScope readHint(Src, pxamRead), writeHint(Dst, pxamWrite);
  const double xr = static_cast<double>(sW) / dW, yr = static_cast<double>(sH) / dH;
  std::vector<int32_t> e(static_cast<size_t>(dW));
  for (int32_t i = 0; i < dW; ++i) e[static_cast<size_t>(i)] = std::min(RsTrunc(i * xr), sW - 1);
  std::vector<uint8_t> hit(static_cast<size_t>(sW));
  TRsProgress progress(OnProgress, Sender);
  const double pf = 100 / (dH + 0.5);
  for (int32_t y = 0; y < dH; ++y) {
    uint8_t* d = Dst->Scanline(y);
    if (d) {
      std::memset(d, WhiteOnBlack ? 0 : 255, static_cast<size_t>((dW + 7) / 8));
      const int32_t ya = y == 0 ? 0 : std::min(RsTrunc((y - 1) * yr), sH - 1);
      const int32_t yb = y == 0 ? 0 : std::min(RsTrunc(y * yr), sH - 1);
      std::fill(hit.begin(), hit.end(), 0);
      for (int32_t r = ya; r <= yb; ++r)
        if (const uint8_t* s = Src->Scanline(r))
          for (int32_t x = 0; x < sW; ++x) hit[static_cast<size_t>(x)] |= Counts(s, x);
      for (int32_t i = 0; i < dW; ++i) {
        const int32_t a = i == 0 ? 0 : e[static_cast<size_t>(i) - 1], b = i == 0 ? 0 : e[static_cast<size_t>(i)];
        bool any = false;
        for (int32_t x = a; x <= b && !any; ++x) any = hit[static_cast<size_t>(x)] != 0;
        if (any) SetPixelBit(d, i, WhiteOnBlack ? 1 : 0);
      }
    }
    progress.Report(RsTrunc(y * pf));
  }
}

}  // namespace

void ResampleFastLinear24(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                          const TRect* Rect) {
  FastLinear<uint8_t, 3>(Src, Dst, Sender, OnProgress, Rect, true, px24RGB);
}

void ResampleFastLinearGray8(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                             const TRect* Rect) {
  FastLinear<uint8_t, 1>(Src, Dst, Sender, OnProgress, Rect, false, px8g);
}

void ResampleFastLinearGray16(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress) {
  FastLinear<uint16_t, 1>(Src, Dst, Sender, OnProgress, nullptr, false, px16g);
}

void ProjectToMono(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
                   TObject* Sender) {
  if (!Src || Src->PixelFormat() != px24RGB) return;
  // A channel of exactly 128 is neither black nor white.
  if (WhiteOnBlack)
    Project(Src, Dst, true, OnProgress, Sender, [](const uint8_t* s, int32_t x) -> uint8_t {
      const uint8_t* p = s + x * 3;
      return p[0] > 128 && p[1] > 128 && p[2] > 128;
    });
  else
    Project(Src, Dst, false, OnProgress, Sender, [](const uint8_t* s, int32_t x) -> uint8_t {
      const uint8_t* p = s + x * 3;
      return p[0] < 128 && p[1] < 128 && p[2] < 128;
    });
}

void ProjectMonoToMono(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
                       TObject* Sender) {
  if (!Src || Src->PixelFormat() != px1g) return;
  if (WhiteOnBlack)
    Project(Src, Dst, true, OnProgress, Sender,
            [](const uint8_t* s, int32_t x) -> uint8_t { return GetPixelBit(s, x) != 0; });
  else
    Project(Src, Dst, false, OnProgress, Sender,
            [](const uint8_t* s, int32_t x) -> uint8_t { return GetPixelBit(s, x) == 0; });
}

void ResampleMonoLinear(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != px1g) return;
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const double xs = static_cast<double>(dW) / sW, ys = static_cast<double>(dH) / sH;
  if (xs == 1 && ys == 1) {
    Dst->AssignFrom(Src, false);
    return;
  }
  if (Dst->PixelFormat() != px24RGB && !Dst->Allocate(dW, dH, px24RGB)) throw EOutOfMemory("Out of memory");
  if (xs < 1 && ys < 1) {
    ResampleMonoToGray(Src, 0, 0, sW - 1, sH - 1, Dst);
    return;
  }
  std::vector<int32_t> ca(static_cast<size_t>(dW)), cb(static_cast<size_t>(dW)), fx(static_cast<size_t>(dW));
  for (int32_t i = 0; i < dW; ++i) {
    const double v = i / xs;
    const int32_t a = std::min(RsTrunc(v), sW - 1);
    ca[static_cast<size_t>(i)] = a;
    cb[static_cast<size_t>(i)] = std::min(a + 1, sW - 1);
    fx[static_cast<size_t>(i)] = RsTrunc((v - RsTrunc(v)) * 131072);
  }
  const double t = 100 / (sH + dH + 0.5);
  TRsProgress hp(OnProgress, Sender), vp(OnProgress, Sender);
  // One grey byte per work pixel: the three bytes of a 24-bit work pixel would be equal.
  std::vector<uint8_t> work(static_cast<size_t>(dW) * static_cast<size_t>(sH));
  for (int32_t y = 0; y < sH; ++y) {
    if (const uint8_t* s = Src->Scanline(y)) {
      uint8_t* w = work.data() + static_cast<size_t>(dW) * static_cast<size_t>(y);
      for (int32_t i = 0; i < dW; ++i) {
        const int32_t A = GetPixelBit(s, ca[static_cast<size_t>(i)]) ? 255 : 0;
        const int32_t B = GetPixelBit(s, cb[static_cast<size_t>(i)]) ? 255 : 0;
        w[i] = static_cast<uint8_t>(A + (((B - A) * fx[static_cast<size_t>(i)]) >> 17));
      }
    }
    hp.Report(RsTrunc(y * t));
  }
  for (int32_t y = 0; y < dH; ++y) {
    if (uint8_t* d = Dst->Scanline(y)) {
      const double v = y / ys;
      const int32_t r0 = std::min(RsTrunc(v), sH - 1);
      const int32_t fy = RsTrunc((v - RsTrunc(v)) * 131072);
      const int32_t r1 = r0 + 1 < sH ? r0 + 1 : r0;
      const uint8_t* w0 = work.data() + static_cast<size_t>(dW) * static_cast<size_t>(r0);
      const uint8_t* w1 = work.data() + static_cast<size_t>(dW) * static_cast<size_t>(r1);
      for (int32_t i = 0; i < dW; ++i) {
        const int32_t b = w0[i];
        const auto g = static_cast<uint8_t>(b + (((w1[i] - b) * fy) >> 17));
        d[i * 3] = d[i * 3 + 1] = d[i * 3 + 2] = g;
      }
    }
    vp.Report(RsTrunc((y + sH) * t));
  }
}

void ResampleMonoToGray(TPXBitmap* Src, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TPXBitmap* Dst) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != px1g || X2 < X1 || Y2 < Y1) return;
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  if (Dst->PixelFormat() != px24RGB && !Dst->Allocate(dW, dH, px24RGB)) throw EOutOfMemory("Out of memory");
  const double xr = (static_cast<double>(X2) - X1 + 1) / dW, yr = (static_cast<double>(Y2) - Y1 + 1) / dH;
  const int32_t yt = RsTrunc(yr);
  // Offsets are limited as documented and the absolute positions then kept inside the bitmap,
  // so a rectangle reaching past the source reads only its own pixels.
  auto col = [&](double off) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{X1} + std::clamp(RsTrunc(off), 0, sW - 1), 0, sW - 1));
  };
  auto row = [&](double off) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{Y1} + std::clamp(RsTrunc(off), 0, sH - 1), 0, sH - 1));
  };
  std::vector<int32_t> c0(static_cast<size_t>(dW)), c1(static_cast<size_t>(dW));
  for (int32_t j = 0; j < dW; ++j) {
    c0[static_cast<size_t>(j)] = col(j * xr - xr / 2);
    c1[static_cast<size_t>(j)] = col(xr / 2 + j * xr);
  }
  std::vector<int32_t> ones(static_cast<size_t>(sW));
  for (int32_t q = 0; q < dH; ++q) {
    const int32_t r0 = row(q * yr - yr / 2), r1 = row(yt / 2.0 + q * yr);
    std::fill(ones.begin(), ones.end(), 0);
    int32_t rows = 0;
    for (int32_t r = r0; r <= r1; ++r, ++rows)
      if (const uint8_t* s = Src->Scanline(r))
        for (int32_t x = 0; x < sW; ++x) ones[static_cast<size_t>(x)] += GetPixelBit(s, x) ? 1 : 0;
    uint8_t* d = Dst->Scanline(q);
    if (!d) continue;
    for (int32_t j = 0; j < dW; ++j) {
      const int32_t a = c0[static_cast<size_t>(j)], b = c1[static_cast<size_t>(j)];
      int64_t set = 0;
      for (int32_t x = a; x <= b; ++x) set += ones[static_cast<size_t>(x)];
      const int64_t n = static_cast<int64_t>(std::max(b - a + 1, 0)) * rows;
      const auto g = static_cast<uint8_t>(n > 0 ? 255 * set / n : 0);
      d[j * 3] = d[j * 3 + 1] = d[j * 3 + 2] = g;
    }
  }
}
