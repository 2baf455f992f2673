// The kernel resampler: eight kernels, contributor lists, the 24-bit path whose two passes run
// together on units of destination rows that its workers take from a queue, the grey, 16-bit
// and 1-bit kernel paths (queued units likewise) and the routing of ResampleBitmap, ResampleGray8,
// ResampleGray16 and ResampleMono.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_threads.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_resample_impl.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// The release build's -O2 keeps GCC's vectorizer to trivial loops; the weighting loops of the
// vertical pass are worth its full cost model.
#if defined(__GNUC__) && !defined(__clang__)
#define PX_RESAMPLE_VECTORIZE __attribute__((optimize("tree-vectorize", "vect-cost-model=dynamic")))
#else
#define PX_RESAMPLE_VECTORIZE
#endif

namespace {

// --- kernels ---------------------------------------------------------------------------------

double Sinc(double x) {
  if (x == 0) return 1;
  x *= std::numbers::pi;
  return std::sin(x) / x;
}

double Kernel(TResampleFilter F, double x) {
  const double a = std::abs(x);
  switch (F) {
    case rfTriangle: return a < 1 ? 1 - a : 0;
    case rfHermite: return a < 1 ? 2 * a * a * a - 3 * x * x + 1 : 0;
    case rfBell:
      if (a < 0.5) return 0.75 - x * x;
      if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
      return 0;
    case rfBSpline:
      if (a < 1) return 0.5 * a * a * a - x * x + 2.0 / 3;
      if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
      return 0;
    case rfLanczos3: return a < 3 ? Sinc(x) * Sinc(x / 3) : 0;
    case rfMitchell:
      if (a < 1) return (7 * a * a * a - 12 * x * x + 16.0 / 3) / 6;
      if (a < 2) return (-7.0 / 3 * a * a * a + 12 * x * x - 20 * a + 32.0 / 3) / 6;
      return 0;
    case rfNearest: return x > -0.5 && x <= 0.5 ? 1 : 0;
    case rfLinear:
      if (x >= -1 && x < 0) return x + 1;
      if (x >= 0 && x < 1) return 1 - x;
      return 0;
    default: return 0;
  }
}

double KernelSupport(TResampleFilter F) {
  switch (F) {
    case rfBell: return 1.5;
    case rfBSpline:
    case rfMitchell: return 2.0;
    case rfLanczos3: return 3.0;
    default: return 1.0;
  }
}

int32_t MirrorIndex(int64_t j, int32_t S) {
  if (j < 0) j = -j;
  else if (j >= S) j = 2 * static_cast<int64_t>(S) - j - 1;
  return static_cast<int32_t>(std::clamp<int64_t>(j, 0, S - 1));
}

// --- flattened contributor lists with their divisors --------------------------------------------

constexpr int kMagicShift = 42;

struct TAxis {
  std::vector<int32_t> Start;  // Count + 1 offsets into Index/Weight
  std::vector<int32_t> Index;
  std::vector<int32_t> Weight;
  std::vector<int32_t> Total;
  std::vector<int64_t> SumAbs;
  std::vector<uint64_t> Magic;  // exact division for 8-bit sums, 0 where it does not apply
  std::vector<int32_t> First;   // the first index of a list of consecutive indices, else -1
  int32_t Count = 0;
  bool Narrow = true;  // every weight fits 16 bits
  // For 3-byte pixels with AVX2 (BuildQuads): each list's weights in groups of four taps, as
  // 16 words w0 w1 w0 w1 w0 w1 0 0 w2 w3 w2 w3 w2 w3 0 0 (missing taps weigh 0); QuadStart[x]
  // is list x's first group. Empty when not built.
  std::vector<int16_t> Quads;
  std::vector<int32_t> QuadStart;
};

TAxis FlattenAxis(const std::vector<TPXContributorList>& Lists, bool ZeroTotalAs256, int64_t MaxV) {
  TAxis a;
  a.Count = static_cast<int32_t>(Lists.size());
  a.Start.reserve(Lists.size() + 1);
  a.Start.push_back(0);
  for (const auto& l : Lists) {
    int64_t total = 0, sumAbs = 0;
    for (const auto& c : l) {
      a.Index.push_back(c.Index);
      a.Weight.push_back(c.Weight);
      total += c.Weight;
      sumAbs += std::abs(static_cast<int64_t>(c.Weight));
      a.Narrow = a.Narrow && c.Weight >= INT16_MIN && c.Weight <= INT16_MAX;
    }
    a.Start.push_back(static_cast<int32_t>(a.Index.size()));
    bool consecutive = !l.empty();
    for (size_t i = 1; i < l.size() && consecutive; ++i) consecutive = l[i].Index == l[i - 1].Index + 1;
    a.First.push_back(consecutive ? l[0].Index : -1);
    if (total == 0 && ZeroTotalAs256) total = 256;
    a.Total.push_back(static_cast<int32_t>(total));
    a.SumAbs.push_back(sumAbs);
    // acc < 2^25 and 0 < total <= 2^17 make (acc * ceil(2^42 / total)) >> 42 exactly acc div total.
    const bool fits = total > 0 && total <= (1 << 17) && sumAbs * MaxV < (int64_t{1} << 25);
    a.Magic.push_back(fits ? ((uint64_t{1} << kMagicShift) + static_cast<uint64_t>(total) - 1) /
                                 static_cast<uint64_t>(total)
                           : 0);
  }
  return a;
}

// acc div total clamped to 0..MaxV; a total of 0 takes acc shifted right by 8 as unsigned.
inline int64_t DivClamp(int64_t acc, int32_t total, uint64_t magic, int64_t MaxV) {
  if (total > 0) {
    if (acc <= 0) return 0;
    const int64_t q = magic ? static_cast<int64_t>((static_cast<uint64_t>(acc) * magic) >> kMagicShift) : acc / total;
    return q > MaxV ? MaxV : q;
  }
  if (total < 0) {
    const int64_t q = acc / total;
    return q < 0 ? 0 : (q > MaxV ? MaxV : q);
  }
  const int64_t q = static_cast<uint32_t>(acc) >> 8;
  return q > MaxV ? MaxV : q;
}

#if defined(__SSE2__)
// The three sums of N consecutive 3-byte pixels from P with 16-bit weights W: two taps per
// multiply-add of 16-bit lanes (blue, green, red and the next pixel's first byte, which gets
// its own sum and is dropped). Reads a byte past the last tap's pixel. Integer sums: the same
// values as one tap at a time.
inline void HorizontalTaps3Sse2(const uint8_t* P, const int32_t* W, int32_t N, int32_t& A0, int32_t& A1,
                                int32_t& A2) {
  const __m128i zero = _mm_setzero_si128();
  __m128i acc = _mm_setzero_si128();
  int32_t k = 0;
  for (; k + 2 <= N; k += 2, P += 6) {
    uint32_t v0, v1;
    std::memcpy(&v0, P, 4);
    std::memcpy(&v1, P + 3, 4);
    const __m128i x = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v0)), _mm_cvtsi32_si128(static_cast<int>(v1))), zero);
    const __m128i w = _mm_set1_epi32(static_cast<int>((static_cast<uint32_t>(W[k]) & 0xFFFF) |
                                                      (static_cast<uint32_t>(W[k + 1]) << 16)));
    acc = _mm_add_epi32(acc, _mm_madd_epi16(x, w));
  }
  alignas(16) int32_t sums[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(sums), acc);
  A0 = sums[0], A1 = sums[1], A2 = sums[2];
  if (k < N) {
    A0 += W[k] * P[0];
    A1 += W[k] * P[1];
    A2 += W[k] * P[2];
  }
}

// The same sums four taps at a time with AVX2 (two taps in each 128-bit lane).
__attribute__((target("avx2"))) void HorizontalTaps3Avx2(const uint8_t* P, const int32_t* W, int32_t N, int32_t& A0,
                                                         int32_t& A1, int32_t& A2) {
  const __m128i zero = _mm_setzero_si128();
  auto pixels = [&](const uint8_t* Q) {
    uint32_t v0, v1;
    std::memcpy(&v0, Q, 4);
    std::memcpy(&v1, Q + 3, 4);
    return _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v0)), _mm_cvtsi32_si128(static_cast<int>(v1))), zero);
  };
  auto weights = [&](int32_t K) {
    return _mm_set1_epi32(
        static_cast<int>((static_cast<uint32_t>(W[K]) & 0xFFFF) | (static_cast<uint32_t>(W[K + 1]) << 16)));
  };
  __m256i acc = _mm256_setzero_si256();
  int32_t k = 0;
  for (; k + 4 <= N; k += 4, P += 12)
    acc = _mm256_add_epi32(acc, _mm256_madd_epi16(_mm256_set_m128i(pixels(P + 6), pixels(P)),
                                                  _mm256_set_m128i(weights(k + 2), weights(k))));
  __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
  if (k + 2 <= N) {
    sum = _mm_add_epi32(sum, _mm_madd_epi16(pixels(P), weights(k)));
    k += 2;
    P += 6;
  }
  A0 = _mm_cvtsi128_si32(sum);
  A1 = _mm_extract_epi32(sum, 1);
  A2 = _mm_extract_epi32(sum, 2);
  if (k < N) {
    A0 += W[k] * P[0];
    A1 += W[k] * P[1];
    A2 += W[k] * P[2];
  }
}

bool HaveAvx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}

// The same sums from groups of four taps with the weights laid out by BuildQuads: one 16-byte
// load of four pixels, their bytes paired by channel, widened and weighted in one multiply-add.
// Reads 16 bytes from each group's first pixel. Integer sums: the same values as above.
__attribute__((target("avx2"))) void HorizontalQuads3Avx2(const uint8_t* P, const int16_t* Q, int32_t Groups,
                                                          int32_t& A0, int32_t& A1, int32_t& A2) {
  const __m128i pairs = _mm_setr_epi8(0, 3, 1, 4, 2, 5, -1, -1, 6, 9, 7, 10, 8, 11, -1, -1);
  __m256i acc = _mm256_setzero_si256();
  for (int32_t g = 0; g < Groups; ++g, P += 12, Q += 16) {
    const __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(P)), pairs);
    acc = _mm256_add_epi32(
        acc, _mm256_madd_epi16(_mm256_cvtepu8_epi16(v), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Q))));
  }
  const __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
  A0 = _mm_cvtsi128_si32(sum);
  A1 = _mm_extract_epi32(sum, 1);
  A2 = _mm_extract_epi32(sum, 2);
}

// Lays out the weights of an axis of 16-bit weights for HorizontalQuads3Avx2.
void BuildQuads(TAxis& Ax) {
  Ax.QuadStart.assign(static_cast<size_t>(Ax.Count) + 1, 0);
  for (int32_t x = 0; x < Ax.Count; ++x) {
    const int32_t n = Ax.Start[static_cast<size_t>(x) + 1] - Ax.Start[static_cast<size_t>(x)];
    Ax.QuadStart[static_cast<size_t>(x) + 1] = Ax.QuadStart[static_cast<size_t>(x)] + (n + 3) / 4;
  }
  Ax.Quads.assign(static_cast<size_t>(Ax.QuadStart.back()) * 16, 0);
  for (int32_t x = 0; x < Ax.Count; ++x) {
    const int32_t k0 = Ax.Start[static_cast<size_t>(x)], n = Ax.Start[static_cast<size_t>(x) + 1] - k0;
    int16_t* q = Ax.Quads.data() + static_cast<size_t>(Ax.QuadStart[static_cast<size_t>(x)]) * 16;
    for (int32_t k = 0; k < n; ++k) {
      // Tap k sits in group k / 4, half (k / 2) % 2, word k % 2 of each channel's pair.
      int16_t* h = q + (k / 4) * 16 + ((k / 2) % 2) * 8 + k % 2;
      h[0] = h[2] = h[4] = static_cast<int16_t>(Ax.Weight[static_cast<size_t>(k0 + k)]);
    }
  }
}
#endif

// One row through the horizontal lists: NC channels per pixel, samples of type T. SrcCount is
// the row's pixel count (the vector path must not read past the last pixel).
template <typename T, int NC, typename TAcc>
void HorizontalRow(const T* s, T* d, const TAxis& ax, int64_t MaxV, int32_t SrcCount = 0) {
  const int32_t* start = ax.Start.data();
  const int32_t* idx = ax.Index.data();
  const int32_t* wt = ax.Weight.data();
  // Everything the loop reads of the axis, in locals: the byte stores to d may alias any memory,
  // so members would be loaded again after every store.
  const int32_t* firsts = ax.First.data();
  const int32_t* totals = ax.Total.data();
  const uint64_t* magics = ax.Magic.data();
  const int32_t count = ax.Count;
#if defined(__SSE2__)
  const bool avx2 = HaveAvx2(), narrow = ax.Narrow;
  const int16_t* quads = ax.Quads.empty() ? nullptr : ax.Quads.data();
  const int32_t* quadStart = ax.QuadStart.data();
#endif
  for (int32_t x = 0; x < count; ++x) {
    TAcc acc[NC] = {};
    const int32_t first = firsts[x];
    if (first >= 0) {
      // Consecutive source pixels (every list away from the edges): one running pointer.
      const T* p = s + static_cast<int64_t>(first) * NC;
      const int32_t* w = wt + start[x];
      int32_t n = start[x + 1] - start[x];
      if constexpr (NC == 3) {
        // Three running sums in registers (GCC at -O2 leaves a channel loop over memory).
        TAcc a0 = 0, a1 = 0, a2 = 0;
#if defined(__SSE2__)
        if constexpr (sizeof(T) == 1 && sizeof(TAcc) == 4) {
          const int32_t groups = (n + 3) / 4;
          if (quads && first + 4 * groups + 2 <= SrcCount) {
            int32_t b0, b1, b2;
            HorizontalQuads3Avx2(p, quads + static_cast<size_t>(quadStart[x]) * 16, groups, b0, b1, b2);
            a0 = b0, a1 = b1, a2 = b2;
            n = 0;
          } else if (narrow && first + n < SrcCount) {
            int32_t b0, b1, b2;
            if (avx2) HorizontalTaps3Avx2(p, w, n, b0, b1, b2);
            else HorizontalTaps3Sse2(p, w, n, b0, b1, b2);
            a0 = b0, a1 = b1, a2 = b2;
            n = 0;
          }
        }
#endif
        for (int32_t k = 0; k < n; ++k, p += 3) {
          const TAcc wk = w[k];
          a0 += wk * static_cast<TAcc>(p[0]);
          a1 += wk * static_cast<TAcc>(p[1]);
          a2 += wk * static_cast<TAcc>(p[2]);
        }
        acc[0] = a0;
        acc[1] = a1;
        acc[2] = a2;
      } else {
        for (int32_t k = 0; k < n; ++k, p += NC)
          for (int c = 0; c < NC; ++c) acc[c] += static_cast<TAcc>(w[k]) * static_cast<TAcc>(p[c]);
      }
    } else {
      for (int32_t k = start[x]; k < start[x + 1]; ++k) {
        const T* p = s + static_cast<int64_t>(idx[k]) * NC;
        const TAcc w = wt[k];
        for (int c = 0; c < NC; ++c) acc[c] += w * static_cast<TAcc>(p[c]);
      }
    }
    const int32_t total = totals[x];
    const uint64_t magic = magics[x];
    T out[NC];
    for (int c = 0; c < NC; ++c) out[c] = static_cast<T>(DivClamp(acc[c], total, magic, MaxV));
    for (int c = 0; c < NC; ++c) d[static_cast<int64_t>(x) * NC + c] = out[c];
  }
}

// One destination row of the vertical pass: the work rows of list y weighted into Acc.
template <typename T, typename TAcc, typename RowFn>
PX_RESAMPLE_VECTORIZE void VerticalRow(const TAxis& ax, int32_t y, int32_t Rows, int64_t Samples, RowFn WorkRow, std::vector<TAcc>& Acc,
                 T* d, int64_t MaxV) {
  std::fill(Acc.begin(), Acc.end(), TAcc{0});
  TAcc* __restrict acc = Acc.data();
  for (int32_t k = ax.Start[static_cast<size_t>(y)]; k < ax.Start[static_cast<size_t>(y) + 1]; ++k) {
    const T* __restrict r = WorkRow(std::clamp(ax.Index[static_cast<size_t>(k)], 0, Rows - 1));
    const TAcc w = ax.Weight[static_cast<size_t>(k)];
    // Blocks of a fixed length let the compiler use vector instructions at -O2 as well.
    int64_t i = 0;
    for (; i + 16 <= Samples; i += 16)
      for (int j = 0; j < 16; ++j) acc[i + j] += w * static_cast<TAcc>(r[i + j]);
    for (; i < Samples; ++i) acc[i] += w * static_cast<TAcc>(r[i]);
  }
  const int32_t total = ax.Total[static_cast<size_t>(y)];
  const uint64_t magic = ax.Magic[static_cast<size_t>(y)];
  for (int64_t i = 0; i < Samples; ++i) d[i] = static_cast<T>(DivClamp(acc[i], total, magic, MaxV));
}

#if defined(__SSE2__)
// The vertical pass of 8-bit samples with 16-bit weights, sixteen samples at a time with AVX2:
// two rows per multiply-add, the sums kept in registers over all of a list's rows; integer sums,
// so the same values as VerticalRow's.
__attribute__((target("avx2"))) void VerticalRow8Avx2(const uint8_t* const* Rows, const int32_t* W, int32_t N,
                                                      int64_t Samples, int32_t Total, uint64_t Magic, uint8_t* D) {
  int64_t i = 0;
  alignas(32) int32_t sums[16];
  for (; i + 16 <= Samples; i += 16) {
    __m256i lo = _mm256_setzero_si256(), hi = _mm256_setzero_si256();
    for (int32_t k = 0; k < N; k += 2) {
      const bool pair = k + 1 < N;
      const __m256i a = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[k] + i)));
      const __m256i b = pair ? _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[k + 1] + i)))
                             : _mm256_setzero_si256();
      const __m256i w = _mm256_set1_epi32(static_cast<int>((static_cast<uint32_t>(W[k]) & 0xFFFF) |
                                                           (pair ? static_cast<uint32_t>(W[k + 1]) << 16 : 0u)));
      lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
      hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
    }
    // lo holds samples 0-3 and 8-11, hi 4-7 and 12-15.
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums), _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_store_si256(reinterpret_cast<__m256i*>(sums + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
    for (int j = 0; j < 16; ++j) D[i + j] = static_cast<uint8_t>(DivClamp(sums[j], Total, Magic, 255));
  }
  for (; i < Samples; ++i) {
    int32_t acc = 0;
    for (int32_t k = 0; k < N; ++k) acc += W[k] * static_cast<int32_t>(Rows[k][i]);
    D[i] = static_cast<uint8_t>(DivClamp(acc, Total, Magic, 255));
  }
}
#endif

// --- the banded 24-bit path -----------------------------------------------------------------

// Destination rows per chunk: a chunk's horizontal pass covers just the source rows its
// vertical lists reach, so no intermediate of the whole source height is ever held.
constexpr int32_t kKernelChunkRows = 32;

// The horizontal pass's rows Lo .. Hi of one band. Moving on to the next chunk keeps the rows
// both chunks need (the kernel's support), so no row is computed twice in a band.
template <typename T>
class TChunkRows {
 public:
  explicit TChunkRows(size_t Stride) : stride_(Stride) {}
  // The source rows the lists of destination rows First .. End - 1 reach (the vertical pass
  // clamps indices the same way).
  static void Reach(const TAxis& Vert, int32_t First, int32_t End, int32_t Rows, int32_t& Lo, int32_t& Hi) {
    Lo = Rows - 1, Hi = 0;
    for (int32_t k = Vert.Start[static_cast<size_t>(First)]; k < Vert.Start[static_cast<size_t>(End)]; ++k) {
      const int32_t r = std::clamp(Vert.Index[static_cast<size_t>(k)], 0, Rows - 1);
      Lo = std::min(Lo, r);
      Hi = std::max(Hi, r);
    }
    if (Lo > Hi) Lo = Hi = 0;
  }
  // Holds rows Lo .. Hi afterwards; Compute(r, Row) fills a row not already held.
  template <class F>
  void Cover(int32_t Lo, int32_t Hi, F&& Compute) {
    int32_t keepFrom = Lo, keepTo = std::min(Hi, hi_);
    if (lo_ > Lo || keepTo < keepFrom) keepTo = keepFrom - 1;  // nothing reusable
    const size_t need = static_cast<size_t>(Hi - Lo + 1) * stride_;
    if (keepTo >= keepFrom) {
      std::memmove(buf_.data(), Row(keepFrom), static_cast<size_t>(keepTo - keepFrom + 1) * stride_ * sizeof(T));
    }
    if (buf_.size() < need) buf_.resize(need);
    lo_ = Lo;
    hi_ = Hi;
    for (int32_t r = keepTo + 1; r <= Hi; ++r) Compute(r, Row(r));
  }
  T* Row(int32_t R) { return buf_.data() + static_cast<size_t>(R - lo_) * stride_; }
  // Room for Rows rows at once, so covering chunk after chunk never reallocates.
  void Reserve(int32_t Rows) { buf_.reserve(static_cast<size_t>(Rows) * stride_); }

 private:
  size_t stride_;
  std::vector<T> buf_;
  int32_t lo_ = 0, hi_ = -1;
};

struct TKernelParams {
  const TAxis* Horiz = nullptr;
  const TAxis* Vert = nullptr;
  TPXBitmap* Source = nullptr;
  TPXBitmap* Dest = nullptr;
  const TPXProgressEvent* OnProgress = nullptr;
  TObject* Sender = nullptr;
};

// The destination rows in units of whole chunks, handed out one at a time: a worker that the
// system holds back leaves its share to the others instead of keeping them waiting. Every row
// is computed the same way whichever worker takes it.
struct TKernelUnits {
  int32_t Rows = 0, UnitRows = 0, Units = 0;
  int32_t MostRows = 0;  // the most source rows one chunk reaches
  std::atomic<int32_t> Next{0}, Done{0};
  std::atomic<bool> Failed{false};
  std::mutex Lock;
  std::condition_variable Finished;

  void RowsDone(int32_t N, int32_t& Total) {
    Total = Done.fetch_add(N) + N;
    if (Total == Rows) Notify();
  }
  void Notify() {
    std::lock_guard<std::mutex> guard(Lock);
    Finished.notify_all();
  }
};

// Both passes for the units a worker takes, chunk by chunk. Worker 0 reports progress over all
// rows, from 0 to just below 100, the last value once every row is done.
class TResampleBandThread : public TPXExecutor {
 public:
  TResampleBandThread(bool Threaded, int32_t Band, const TKernelParams& P, TKernelUnits& Units)
      : TPXExecutor(Threaded), band_(Band), p_(P), units_(Units) {}

  void Execute() override {
    try {
      Work();
    } catch (...) {
      units_.Failed = true;
      units_.Notify();
      throw;
    }
  }

 private:
  void Work() {
    TRsProgress progress(*p_.OnProgress, p_.Sender);
    const TAxis& hx = *p_.Horiz;
    const TAxis& vy = *p_.Vert;
    const int32_t sH = p_.Source->Height();
    const size_t stride = static_cast<size_t>(hx.Count) * 3;
    TChunkRows<uint8_t> work(stride);
    work.Reserve(units_.MostRows);
    std::vector<int32_t> acc(stride);
    std::vector<const uint8_t*> rows;
#if defined(__SSE2__)
    const bool fast = HaveAvx2() && vy.Narrow;
#else
    constexpr bool fast = false;
#endif
    const double factor = 100 / (units_.Rows + 0.01);
    if (band_ == 0) progress.Report(0);
    for (;;) {
      if (units_.Failed) return;
      const int32_t unit = units_.Next.fetch_add(1);
      if (unit >= units_.Units) break;
      const int32_t first = unit * units_.UnitRows, end = std::min(units_.Rows, first + units_.UnitRows);
      for (int32_t c = first; c < end; c += kKernelChunkRows) {
        const int32_t e = std::min(end, c + kKernelChunkRows);
        int32_t lo, hi;
        TChunkRows<uint8_t>::Reach(vy, c, e, sH, lo, hi);
        work.Cover(lo, hi, [&](int32_t r, uint8_t* d) {
          if (const auto* s = static_cast<const uint8_t*>(p_.Source->GetScanline(r)))
            HorizontalRow<uint8_t, 3, int32_t>(s, d, hx, 255, p_.Source->Width());
          else
            std::memset(d, 0, stride);
        });
        auto workRow = [&](int32_t r) { return static_cast<const uint8_t*>(work.Row(r)); };
        for (int32_t y = c; y < e; ++y) {
          uint8_t* d = p_.Dest->Scanline(y);
          if (d && fast) {
#if defined(__SSE2__)
            const size_t k0 = static_cast<size_t>(vy.Start[static_cast<size_t>(y)]);
            const int32_t n = vy.Start[static_cast<size_t>(y) + 1] - static_cast<int32_t>(k0);
            rows.clear();
            for (int32_t k = 0; k < n; ++k)
              rows.push_back(workRow(std::clamp(vy.Index[k0 + static_cast<size_t>(k)], 0, sH - 1)));
            VerticalRow8Avx2(rows.data(), vy.Weight.data() + k0, n, static_cast<int64_t>(stride),
                             vy.Total[static_cast<size_t>(y)], vy.Magic[static_cast<size_t>(y)], d);
#endif
          } else if (d) {
            VerticalRow<uint8_t, int32_t>(vy, y, sH, static_cast<int64_t>(stride), workRow, acc, d, 255);
          }
          int32_t done;
          units_.RowsDone(1, done);
          if (band_ == 0 && done < units_.Rows) progress.Report(RsTrunc(done * factor));
        }
      }
    }
    if (band_ != 0) return;
    {
      std::unique_lock<std::mutex> lock(units_.Lock);
      units_.Finished.wait(lock, [&] { return units_.Failed || units_.Done == units_.Rows; });
    }
    if (!units_.Failed) progress.Report(RsTrunc(units_.Rows * factor));
  }

  int32_t band_;
  TKernelParams p_;
  TKernelUnits& units_;
};

// --- grey, 16-bit and 1-bit kernel paths -------------------------------------------------------

// Both passes, in units of destination rows that the workers take from a queue (as the 24-bit
// path), chunk by chunk through an intermediate of the source rows each chunk reaches; a 1-bit source reads 255
// for a set bit, and GreyToRGB writes each result into three bytes.
template <typename T>
void KernelBanded(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, bool MonoSource, bool GreyToRGB) {
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const int64_t maxV = sizeof(T) == 1 ? 255 : 65535;
  const TAxis hx = FlattenAxis(BuildContributors(sW, dW, Filter), false, maxV);
  const TAxis vy = FlattenAxis(BuildContributors(sH, dH, Filter), false, maxV);
  const size_t stride = static_cast<size_t>(dW);
  // Destination rows of computed or shared storage are reached through shared state: one band.
  const int32_t bands = Dst->IsVirtual() || Dst->Location() == pxFile ? 1 : ResampleBandCount(Src);
  RunUnitsOnPool(dH, bands, kKernelChunkRows, [&](int32_t First, int32_t Count, bool) {
    TChunkRows<T> work(stride);
    std::vector<T> expanded(MonoSource ? static_cast<size_t>(sW) : 0), line(stride);
    std::vector<int64_t> acc(stride);
    for (int32_t c = First; c < First + Count; c += kKernelChunkRows) {
      const int32_t e = std::min(First + Count, c + kKernelChunkRows);
      int32_t lo, hi;
      TChunkRows<T>::Reach(vy, c, e, sH, lo, hi);
      work.Cover(lo, hi, [&](int32_t y, T* d) {
        const uint8_t* row = Src->Scanline(y);
        if (!row) {
          std::fill_n(d, stride, T{0});
          return;
        }
        const T* s = reinterpret_cast<const T*>(row);
        if (MonoSource) {
          for (int32_t x = 0; x < sW; ++x) expanded[static_cast<size_t>(x)] = GetPixelBit(row, x) ? 255 : 0;
          s = expanded.data();
        }
        HorizontalRow<T, 1, int64_t>(s, d, hx, maxV);
      });
      auto workRow = [&](int32_t r) { return static_cast<const T*>(work.Row(r)); };
      for (int32_t y = c; y < e; ++y) {
        uint8_t* out = Dst->Scanline(y);
        if (!out) continue;
        if (GreyToRGB) {
          VerticalRow<T, int64_t>(vy, y, sH, dW, workRow, acc, line.data(), maxV);
          for (int32_t x = 0; x < dW; ++x)
            out[x * 3] = out[x * 3 + 1] = out[x * 3 + 2] = static_cast<uint8_t>(line[static_cast<size_t>(x)]);
        } else {
          VerticalRow<T, int64_t>(vy, y, sH, dW, workRow, acc, reinterpret_cast<T*>(out), maxV);
        }
      }
    }
  });
}

// The settings' default filter as the kernel path can serve it.
TResampleFilter DefaultFallbackFilter() {
  auto f = RsMapScalerFilter(RsSaneFilter(static_cast<TResampleFilter>(GlobalSettingsInstance()->FDefaultResampleFilter)));
  if (f == rfBilinear || f == rfBicubic) f = rfFastLinear;
  return f;
}

void EnsureFormat(TPXBitmap* B, TPXPixelFormat F) {
  if (B->PixelFormat() != F && !B->Allocate(B->Width(), B->Height(), F)) throw EOutOfMemory("Out of memory");
}

}  // namespace

std::vector<TPXContributorList> BuildContributors(int32_t SrcSize, int32_t DstSize, TResampleFilter Filter) {
  std::vector<TPXContributorList> lists(static_cast<size_t>(std::max(DstSize, 0)));
  if (SrcSize <= 0 || DstSize <= 0) return lists;
  const double r = KernelSupport(Filter);
  const double scale = SrcSize == 1 || DstSize == 1 ? static_cast<double>(DstSize) / SrcSize
                                                    : static_cast<double>(DstSize - 1) / (SrcSize - 1);
  const bool reducing = scale < 1;
  const double w = reducing ? r / scale : r;
  const double fscale = reducing ? 1 / scale : 1;
  for (int32_t i = 0; i < DstSize; ++i) {
    const double center = i / scale;
    const int64_t j0 = static_cast<int64_t>(std::floor(center - w)), j1 = static_cast<int64_t>(std::ceil(center + w));
    auto& list = lists[static_cast<size_t>(i)];
    for (int64_t j = j0; j <= j1; ++j) {
      const double k = Kernel(Filter, (center - static_cast<double>(j)) / fscale);
      const auto weight = static_cast<int32_t>(RsRound(k * 256 / fscale));
      if (weight != 0) list.push_back({MirrorIndex(j, SrcSize), weight});
    }
    if (!list.empty()) continue;
    // Every weight rounded to 0 (a very strong reduction): the same kernel at a finer scale,
    // normalised to a total of 65536, so the pixel is the kernel-weighted mean and not black.
    double sum = 0;
    for (int64_t j = j0; j <= j1; ++j) sum += Kernel(Filter, (center - static_cast<double>(j)) / fscale);
    if (sum != 0)
      for (int64_t j = j0; j <= j1; ++j) {
        const auto weight =
            static_cast<int32_t>(RsRound(Kernel(Filter, (center - static_cast<double>(j)) / fscale) * 65536 / sum));
        if (weight != 0) list.push_back({MirrorIndex(j, SrcSize), weight});
      }
    if (list.empty()) list.push_back({MirrorIndex(static_cast<int64_t>(std::floor(center + 0.5)), SrcSize), 256});
  }
  return lists;
}

std::vector<std::pair<int32_t, int32_t>> ResampleBands(int32_t Rows, int32_t Bands) {
  std::vector<std::pair<int32_t, int32_t>> bands;
  if (Rows <= 0) return bands;
  Bands = std::clamp(Bands, 1, Rows);
  const int32_t v = Rows / Bands;
  for (int32_t k = 0; k < Bands; ++k) bands.emplace_back(k * v, k == Bands - 1 ? Rows - (Bands - 1) * v : v);
  return bands;
}

int32_t ResampleBandCount(TPXBitmap* Src) {
  // Rows of file-backed or virtual storage are reached through shared state: one band.
  if (!Src || Src->Location() == pxFile || Src->IsVirtual()) return 1;
  return std::max(1, ChooseThreadCount(Src->Width(), Src->Height()));
}

void ResampleKernel24(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, const TPXProgressEvent& OnProgress,
                      TObject* Sender, int32_t Bands) {
  if (!RsUsable(Src) || !RsUsable(Dst) || !RsIsKernel(Filter) || Src->PixelFormat() != px24RGB) return;
  EnsureFormat(Dst, px24RGB);
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  TAxis hx = FlattenAxis(BuildContributors(sW, dW, Filter), true, 255);
#if defined(__SSE2__)
  if (HaveAvx2() && hx.Narrow) BuildQuads(hx);
#endif
  const TAxis vy = FlattenAxis(BuildContributors(sH, dH, Filter), false, 255);
  TKernelParams p;
  p.Horiz = &hx;
  p.Vert = &vy;
  p.Source = Src;
  p.Dest = Dst;
  p.OnProgress = &OnProgress;
  p.Sender = Sender;
  // Destination rows of computed or shared storage are reached through shared state: one band.
  const int32_t workers = static_cast<int32_t>(ResampleBands(dH, Dst->IsVirtual() || Dst->Location() == pxFile ? 1 : Bands).size());
  // About four units per worker, each of whole chunks.
  TKernelUnits units;
  units.Rows = dH;
  const int32_t perUnit = (dH + 4 * workers - 1) / (4 * workers);
  units.UnitRows = std::max(1, (perUnit + kKernelChunkRows - 1) / kKernelChunkRows) * kKernelChunkRows;
  units.Units = (dH + units.UnitRows - 1) / units.UnitRows;
  for (int32_t c = 0; c < dH; c += kKernelChunkRows) {
    int32_t lo, hi;
    TChunkRows<uint8_t>::Reach(vy, c, std::min(dH, c + kKernelChunkRows), sH, lo, hi);
    units.MostRows = std::max(units.MostRows, hi - lo + 1);
  }
  TPXThreadPool pool;
  try {
    for (int32_t k = 0; k < workers; ++k)
      pool.Add(std::make_unique<TResampleBandThread>(workers > 1, k, p, units));
  } catch (...) {
    // A worker that could not start leaves its rows undone: release the one waiting for them.
    units.Failed = true;
    units.Notify();
    throw;
  }
  pool.WaitAll();
}

void ResampleBitmap(TPXBitmap* Src, TPXBitmap* Dst, TPXBitmap* SrcAlpha, TResampleFilter Filter,
                    const TPXProgressEvent& OnProgress, TObject* Sender, const TRect* Rect) {
  if (!RsUsable(Src) || !RsUsable(Dst)) return;
  if (Src->Width() == 1 && Src->Height() == 1) {
    FillFromFirstPixel(Src, Dst);
    return;
  }
  Filter = RsMapScalerFilter(RsSaneFilter(Filter));
  const TPXPixelFormat sf = Src->PixelFormat(), df = Dst->PixelFormat();
  if (Filter == rfBilinear || Filter == rfBicubic) {
    const bool bicubic = Filter == rfBicubic;
    if ((sf == px24RGB || sf == px8g) && df == sf) {
      ResampleBilinearBicubic(Src, Dst, SrcAlpha, bicubic, OnProgress, Sender);
      return;
    }
    if ((sf == pxRGB48 || sf == px16g) && df == sf) {
      ResampleBilinearBicubic16(Src, Dst, bicubic, OnProgress, Sender);
      return;
    }
    Filter = DefaultFallbackFilter();
  }
  if (Filter == rfNone) {
    StretchNearest(Src, Dst, Sender, OnProgress);
    return;
  }
  if (sf == px8g && df == px8g) {
    ResampleGray8(Src, Dst, Filter, nullptr);
    return;
  }
  if (sf == px16g && df == px16g) {
    ResampleGray16(Src, Dst, Filter);
    return;
  }
  std::unique_ptr<TPXBitmap> copy;
  TPXBitmap* s = Src;
  if (sf != px24RGB) {
    copy = TPXBitmap::CreateAllocated(Src->Width(), Src->Height(), px24RGB);
    if (!RsUsable(copy.get())) throw EOutOfMemory("Out of memory");
    copy->ConvertPixelFormat(Src);
    s = copy.get();
  }
  if (Filter == rfProjectBW || Filter == rfProjectWB) {
    ProjectToMono(s, Dst, Filter == rfProjectWB, OnProgress, Sender);
    return;
  }
  EnsureFormat(Dst, px24RGB);
  if (Filter == rfFastLinear)
    ResampleFastLinear24(s, Dst, Sender, OnProgress, Rect);
  else
    ResampleKernel24(s, Dst, Filter, OnProgress, Sender, ResampleBandCount(s));
}

namespace {

// The grey resamplers' common routing: bilinear and bicubic through the area resampler, rfNone
// nearest, other non-kernel filters the fast linear path, kernels in two integer passes.
template <class Sample, class FastLinear>
void ResampleGray(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, TPXPixelFormat Format,
                  FastLinear fastLinear) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Format) return;
  Filter = RsMapScalerFilter(RsSaneFilter(Filter));
  if (Filter == rfBilinear || Filter == rfBicubic) {
    if (Dst->PixelFormat() == Format) {
      ResampleBitmap(Src, Dst, Src->PeekAlphaChannel(), Filter, TPXProgressEvent(), nullptr, nullptr);
      return;
    }
    Filter = DefaultFallbackFilter();
  }
  if (Filter == rfNone) {
    StretchNearest(Src, Dst, nullptr, TPXProgressEvent());
    return;
  }
  EnsureFormat(Dst, Format);
  if (!RsIsKernel(Filter)) {
    fastLinear();
    return;
  }
  if (Src->Width() == 1 && Src->Height() == 1) {
    FillFromFirstPixel(Src, Dst);
    return;
  }
  KernelBanded<Sample>(Src, Dst, Filter, false, false);
}

}  // namespace

void ResampleGray8(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, const TRect* Rect) {
  ResampleGray<uint8_t>(Src, Dst, Filter, px8g,
                        [&] { ResampleFastLinearGray8(Src, Dst, nullptr, TPXProgressEvent(), Rect); });
}

void ResampleGray16(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter) {
  ResampleGray<uint16_t>(Src, Dst, Filter, px16g,
                         [&] { ResampleFastLinearGray16(Src, Dst, nullptr, TPXProgressEvent()); });
}

void ResampleMono(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != px1g) return;
  Filter = RsMapScalerFilter(RsSaneFilter(Filter));
  if (Filter == rfNone) {
    StretchNearest(Src, Dst, nullptr, TPXProgressEvent());
    return;
  }
  if (Filter == rfProjectBW || Filter == rfProjectWB) {
    ProjectMonoToMono(Src, Dst, Filter == rfProjectWB, TPXProgressEvent(), nullptr);
    return;
  }
  EnsureFormat(Dst, px24RGB);
  if (!RsIsKernel(Filter)) {
    ResampleMonoLinear(Src, Dst, nullptr, TPXProgressEvent());
    return;
  }
  if (Src->Width() == 1 && Src->Height() == 1) {
    FillFromFirstPixel(Src, Dst);
    return;
  }
  KernelBanded<uint8_t>(Src, Dst, Filter, true, true);
}
