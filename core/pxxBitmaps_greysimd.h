// The grey of sixteen 24-bit pixels at once, for the x86 row kernels of the format conversion
// and of the processing engine.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define PX_HAVE_GREY_SSSE3 1

#include <tmmintrin.h>

#include <cstdint>

// (R·WR + G·WG + B·WB) div 100 of the 16 pixels (48 bytes, blue first) at p, as 16 bytes, for
// weights that sum to at most 100: no sum passes 25,500, where (sum · 5243) >> 19 equals sum
// div 100.
__attribute__((target("ssse3"))) inline __m128i PXGreyOf16SSSE3(const uint8_t* p, uint32_t WR, uint32_t WG,
                                                                 uint32_t WB) {
  // Deinterleave 48 bytes into blue, green and red bytes.
  const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
  const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
  const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
  const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
  const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
  const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
  const __m128i wr = _mm_set1_epi16(static_cast<int16_t>(WR)), wg = _mm_set1_epi16(static_cast<int16_t>(WG)),
                wb = _mm_set1_epi16(static_cast<int16_t>(WB)), k = _mm_set1_epi16(5243);
  const __m128i zero = _mm_setzero_si128();
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
  const __m128i bb = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, b0), _mm_shuffle_epi8(v1, b1)), _mm_shuffle_epi8(v2, b2));
  const __m128i gg = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, g0), _mm_shuffle_epi8(v1, g1)), _mm_shuffle_epi8(v2, g2));
  const __m128i rr = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, r0), _mm_shuffle_epi8(v1, r1)), _mm_shuffle_epi8(v2, r2));
  auto half = [&](__m128i bl, __m128i gl, __m128i rl) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(rl, wr), _mm_mullo_epi16(gl, wg)), _mm_mullo_epi16(bl, wb));
    return _mm_srli_epi16(_mm_mulhi_epu16(sum, k), 3);  // (sum · 5243) >> 19
  };
  const __m128i lo = half(_mm_unpacklo_epi8(bb, zero), _mm_unpacklo_epi8(gg, zero), _mm_unpacklo_epi8(rr, zero));
  const __m128i hi = half(_mm_unpackhi_epi8(bb, zero), _mm_unpackhi_epi8(gg, zero), _mm_unpackhi_epi8(rr, zero));
  return _mm_packus_epi16(lo, hi);
}

#endif
