// TPXBitmap: conversion between pixel formats.
//
// Every ordered pair of formats has one rule; pairs without a rule of their own go through
// px24RGB in a temporary bitmap, so the caller's source is never changed. Float samples are
// clamped to 0..1 (NaN as 0) before they become integers, and 16-bit samples become floats by
// 1/65535, so white stays 1.0.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

#include "core/neurquant.h"
#include "core/pxcolorspace.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_greysimd.h"
#include "core/pxxBitmaps_pixel.h"
#include "io/pxicc.h"
#include "proc/pixoranproc_bits.h"
#include "proc/pixoranproc_color.h"

namespace {

struct TConvContext {
  TPXGreyWeights W;
  std::array<TRGB, 256> Pal{};  // the source palette (px8p sources)
  uint8_t BW = 1;               // the target's FBWConversion
};

// Runs Fn over every row of Source into the same row of Target.
template <class F>
void EachRow(TPXBitmap* Source, TPXBitmap* Target, F&& Fn) {
  const int32_t h = Target->Height();
  const int32_t w = Target->Width();
  for (int32_t y = 0; y < h; ++y) Fn(Source->Scanline(y), Target->Scanline(y), w, y);
}

// Targets far larger than the caches are written with non-temporal stores.
bool LargeTarget(TPXBitmap* Target) {
  return Target->FLocation == pxMemory && Target->FRowLen * Target->FHeight >= (int64_t(16) << 20);
}

// A palette written into the target goes to its platform bitmap at once: the getters of a
// bitmap held in a platform bitmap read the palette back from there.
void SetGreyRamp(TPXBitmap* Target) {
  Target->FPalette.resize(256);
  for (int i = 0; i < 256; ++i) Target->FPalette[i] = {uint8_t(i), uint8_t(i), uint8_t(i)};
  Target->UpdateVclPalette();
}

// Ordered dither into a 1-bit row: white where the matrix value is below the level (0..63).
template <class LevelOf>
void DitherRow(uint8_t* Dst, int32_t Width, int32_t Y, LevelOf&& Level) {
  const int32_t yy = Y & 7;
  for (int32_t x = 0; x < Width; ++x) SetPixelBit(Dst, x, DitherMatrix[x & 7][yy] < Level(x));
}

// Range stretch of a grey sample into 0..255 by the target's display range.
struct TRangeStretch {
  double Low, High;
  int64_t Lo, Hi;
  explicit TRangeStretch(TPXBitmap* Target)
      : Low(Target->FDisplayRangeLow), High(Target->FDisplayRangeHigh), Lo(Trunc(Low)), Hi(Trunc(High)) {}
  uint8_t operator()(int64_t v) const {
    if (v < Lo) v = Lo;
    if (v > Hi) v = Hi;
    return ClampByte(static_cast<int32_t>(Trunc((v - Lo) / (High - Low) * 255)));
  }
};

void Put3(uint8_t* d, uint8_t v) { d[0] = d[1] = d[2] = v; }
void Put48(uint8_t* d, uint16_t v) { PXStore(d, TRGB48{v, v, v}); }

// Fast row kernels. 24-bit pixels other than a row's last are written as 4 bytes, the fourth
// overwritten by the next pixel, so no store leaves the row. On x86 the commonest ones have
// SSSE3 forms, chosen at run time; they handle the leading pixels and return how many.
#if defined(__x86_64__) || defined(__i386__)
#define PX_HAVE_SSSE3_KERNELS 1

bool HasSSSE3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Stream: the target is large; its rows bypass the cache (non-temporal stores).
__attribute__((target("ssse3"))) int32_t GreyRowTo24SSSE3(const uint8_t* s, uint8_t* d, int32_t w, bool Stream) {
  const __m128i m0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i m1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i m2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  int32_t x = 0;
  if (Stream && (reinterpret_cast<uintptr_t>(d) & 15) == 0) {
    for (; x + 16 <= w; x += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
      uint8_t* o = d + 3 * x;
      _mm_stream_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, m0));
      _mm_stream_si128(reinterpret_cast<__m128i*>(o + 16), _mm_shuffle_epi8(v, m1));
      _mm_stream_si128(reinterpret_cast<__m128i*>(o + 32), _mm_shuffle_epi8(v, m2));
    }
    _mm_sfence();
    return x;
  }
  for (; x + 16 <= w; x += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
    uint8_t* o = d + 3 * x;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(v, m0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16), _mm_shuffle_epi8(v, m1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 32), _mm_shuffle_epi8(v, m2));
  }
  return x;
}

__attribute__((target("ssse3"))) int32_t RGBRowTo32SSSE3(const uint8_t* s, uint8_t* d, int32_t w) {
  const __m128i m = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i a = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  int32_t x = 0;
  for (; x + 6 <= w; x += 4) {  // reads 16 bytes from pixel x: within the row
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), _mm_or_si128(_mm_shuffle_epi8(v, m), a));
  }
  return x;
}

__attribute__((target("ssse3"))) int32_t RGB32RowTo24SSSE3(const uint8_t* s, uint8_t* d, int32_t w) {
  const __m128i m = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int32_t x = 0;
  for (; x + 6 <= w; x += 4) {  // writes 16 bytes from pixel x: within the row
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_shuffle_epi8(v, m));
  }
  return x;
}

// The high bytes of 48-bit pixels (red, green, blue words) as 24-bit pixels, 4 at a time.
__attribute__((target("ssse3"))) int32_t RGB48RowTo24SSSE3(const uint8_t* s, uint8_t* d, int32_t w) {
  const __m128i ma = _mm_setr_epi8(5, 3, 1, 11, 9, 7, -1, 15, 13, -1, -1, -1, -1, -1, -1, -1);
  const __m128i mb = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 9, -1, -1, 15, 13, 11, -1, -1, -1, -1);
  int32_t x = 0;
  for (; x + 6 <= w; x += 4) {  // reads 24 and writes 16 bytes from pixel x: within the rows
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 6 * x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 6 * x + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_or_si128(_mm_shuffle_epi8(a, ma), _mm_shuffle_epi8(b, mb)));
  }
  return x;
}

// Grey (R·wR + G·wG + B·wB) div 100 of 16 pixels at a time, for weights that sum to at most 100.
__attribute__((target("ssse3"))) int32_t RGBRowToGreySSSE3(const uint8_t* s, uint8_t* d, int32_t w,
                                                           const TPXGreyWeights& W) {
  const uint32_t r = static_cast<uint32_t>(W.R), g = static_cast<uint32_t>(W.G), b = static_cast<uint32_t>(W.B);
  int32_t x = 0;
  for (; x + 16 <= w; x += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), PXGreyOf16SSSE3(s + 3 * x, r, g, b));
  return x;
}
#endif

void GreyRowTo24(const uint8_t* s, uint8_t* d, int32_t w, bool Stream) {
  if (w <= 0) return;
  int32_t x = 0;
#ifdef PX_HAVE_SSSE3_KERNELS
  if (HasSSSE3()) x = GreyRowTo24SSSE3(s, d, w, Stream);
#endif
  for (; x < w - 1; ++x) PXStore<uint32_t>(d + 3 * x, s[x] * 0x010101u);
  if (x < w) Put3(d + 3 * (w - 1), s[w - 1]);
}

void PaletteRowTo24(const uint8_t* s, uint8_t* d, int32_t w, const std::array<uint32_t, 256>& pal) {
  if (w <= 0) return;
  for (int32_t x = 0; x < w - 1; ++x) PXStore<uint32_t>(d + 3 * x, pal[s[x]]);
  std::memcpy(d + 3 * (w - 1), &pal[s[w - 1]], 3);
}

void RGBRowTo32(const uint8_t* s, uint8_t* d, int32_t w) {
  if (w <= 0) return;
  int32_t x = 0;
#ifdef PX_HAVE_SSSE3_KERNELS
  if (HasSSSE3()) x = RGBRowTo32SSSE3(s, d, w);
#endif
  for (; x < w - 1; ++x) PXStore<uint32_t>(d + 4 * x, PXLoad<uint32_t>(s + 3 * x) | 0xFF000000u);
  std::memcpy(d + 4 * (w - 1), s + 3 * (w - 1), 3);
  d[4 * (w - 1) + 3] = 255;
}

void RGBRowToGrey(const uint8_t* s, uint8_t* d, int32_t w, const TPXGreyWeights& W) {
  if (W.R >= 0 && W.G >= 0 && W.B >= 0 && W.R + W.G + W.B <= 100) {
    // The sum stays below 25,501, where (sum · 5243) >> 19 equals sum div 100.
    const uint32_t r = W.R, g = W.G, b = W.B;
    int32_t x = 0;
#ifdef PX_HAVE_SSSE3_KERNELS
    if (HasSSSE3()) x = RGBRowToGreySSSE3(s, d, w, W);
#endif
    for (s += 3 * x; x < w; ++x, s += 3) d[x] = static_cast<uint8_t>(((s[2] * r + s[1] * g + s[0] * b) * 5243u) >> 19);
  } else {
    const auto* p = reinterpret_cast<const TRGB*>(s);
    for (int32_t x = 0; x < w; ++x) d[x] = W.Grey(p[x]);
  }
}

// Writes Width pixels of a 24-bit row into a target row of format To (the direct rules from
// px24RGB, except px8p and px1g, which need the whole picture).
void FromRGBRow(const TRGB* s, uint8_t* d, int32_t w, TPXPixelFormat To, const TConvContext& c) {
  switch (To) {
    case px8g:
      RGBRowToGrey(reinterpret_cast<const uint8_t*>(s), d, w, c.W);
      break;
    case px16g:
      for (int32_t x = 0; x < w; ++x) PXStore(d + 2 * x, PXGrey16(s[x]));
      break;
    case px32f:
      for (int32_t x = 0; x < w; ++x) PXStore(d + 4 * x, PXFloatGrey(s[x]));
      break;
    case px24RGB:
      std::memcpy(d, s, static_cast<size_t>(w) * 3);
      break;
    case pxCMYK:
      RgbToCmykRow(s, reinterpret_cast<TCMYK*>(d), w);
      break;
    case pxCIELab:
      for (int32_t x = 0; x < w; ++x) PXStore(d + 3 * x, RGBToCIELab(s[x]));
      break;
    case pxRGB48:
      for (int32_t x = 0; x < w; ++x)
        PXStore(d + 6 * x, TRGB48{uint16_t(s[x].r * 257), uint16_t(s[x].g * 257), uint16_t(s[x].b * 257)});
      break;
    case px32RGB:
      RGBRowTo32(reinterpret_cast<const uint8_t*>(s), d, w);
      break;
    default:
      break;
  }
}

// The px24RGB -> px8p rule: a quantizer over the whole source picks the palette.
void QuantizeInto(TPXBitmap* Source, TPXBitmap* Target) {
  std::vector<TRGB> pal = Target->FPalette;
  pal.resize(256);
  TPXQuantizer q(Source, pal.data(), 255, Target->FPaletteUsed);
  Target->FPalette = pal;
  Target->UpdateVclPalette();
  EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
    const auto* p = reinterpret_cast<const TRGB*>(s);
    for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(q.RGBToIndex(p[x]));
  });
}

// Converts the pixels of Source into Target (same size, different formats) by a direct rule.
// False when the pair has none and goes through px24RGB.
bool ConvertDirect(TPXBitmap* Source, TPXBitmap* Target, TConvContext& c, TPXProgressRecord& Progress) {
  const TPXPixelFormat from = Source->PixelFormat();
  const TPXPixelFormat to = Target->PixelFormat();

  if (to == px1g) {
    if (c.BW > 1) return true;  // no pixels are produced
    if (c.BW == 1) {
      if (from == pxRGB48 || from == pxCMYK || from == pxCIELab || from == px32RGB) return false;
      ConvertToBWThreshold(Source, Target, -1, Progress);
      return true;
    }
    switch (from) {
      case px8p:
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t y) {
          DitherRow(d, w, y, [&](int32_t x) { return c.W.Grey(c.Pal[s[x]]) >> 2; });
        });
        return true;
      case px8g:
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t y) {
          DitherRow(d, w, y, [&](int32_t x) { return s[x] >> 2; });
        });
        return true;
      case px16g:
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t y) {
          DitherRow(d, w, y, [&](int32_t x) { return PXLoad<uint16_t>(s + 2 * x) >> 10; });
        });
        return true;
      case px24RGB:
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t y) {
          const auto* p = reinterpret_cast<const TRGB*>(s);
          DitherRow(d, w, y, [&](int32_t x) { return c.W.Grey(p[x]) >> 2; });
        });
        return true;
      case px32f:
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t y) {
          DitherRow(d, w, y, [&](int32_t x) { return PXUnitToByte(PXLoad<float>(s + 4 * x)) >> 2; });
        });
        return true;
      case pxRGB48:
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t y) {
          DitherRow(d, w, y, [&](int32_t x) {
            const TRGB48 p = PXLoad<TRGB48>(s + 6 * x);
            return c.W.Grey(p.r >> 8, p.g >> 8, p.b >> 8) >> 2;
          });
        });
        return true;
      default:
        return false;
    }
  }

  switch (from) {
    case px1g:
      switch (to) {
        case px8p:
          if (Target->FPalette.size() < 2) Target->FPalette.resize(256);
          Target->FPalette[0] = {0, 0, 0};
          Target->FPalette[1] = {255, 255, 255};
          Target->UpdateVclPalette();
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) d[x] = GetPixelBit(s, x) ? 1 : 0;
          });
          return true;
        case px8g:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) d[x] = GetPixelBit(s, x) ? 255 : 0;
          });
          return true;
        case px16g:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) PXStore<uint16_t>(d + 2 * x, GetPixelBit(s, x) ? 65535 : 0);
          });
          return true;
        case px32f:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) PXStore<float>(d + 4 * x, GetPixelBit(s, x) ? 1.0f : 0.0f);
          });
          return true;
        case px24RGB:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) { ExpandBitsTo24(s, d, w); });
          return true;
        case pxRGB48:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) Put48(d + 6 * x, GetPixelBit(s, x) ? 65535 : 0);
          });
          return true;
        case px32RGB:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) {
              Put3(d + 4 * x, GetPixelBit(s, x) ? 255 : 0);
              d[4 * x + 3] = 255;
            }
          });
          return true;
        default:
          return false;
      }

    case px8p:
      if (to == pxCMYK || to == pxCIELab) return false;
      if (to == px24RGB) {
        std::array<uint32_t, 256> pal32{};
        for (int i = 0; i < 256; ++i) pal32[i] = c.Pal[i].b | (c.Pal[i].g << 8) | (c.Pal[i].r << 16);
        EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) { PaletteRowTo24(s, d, w, pal32); });
        return true;
      }
      EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
        TRGB row[256];
        for (int32_t x0 = 0; x0 < w; x0 += 256) {
          const int32_t n = std::min(256, w - x0);
          for (int32_t i = 0; i < n; ++i) row[i] = c.Pal[s[x0 + i]];
          const int32_t bytes = PixelFormatBits(to) / 8;
          FromRGBRow(row, d + static_cast<int64_t>(x0) * bytes, n, to, c);
        }
      });
      return true;

    case px8g:
    case px16g: {
      const bool wide = from == px16g;
      auto sample = [wide](const uint8_t* s, int32_t x) -> uint32_t {
        return wide ? PXLoad<uint16_t>(s + 2 * x) : s[x];
      };
      switch (to) {
        case px8p:
          SetGreyRamp(Target);
          if (!wide) {
            const size_t len = static_cast<size_t>(std::min(Source->RowLen(), Target->RowLen()));
            EachRow(Source, Target, [len](const uint8_t* s, uint8_t* d, int32_t, int32_t) { std::memcpy(d, s, len); });
            return true;
          }
          [[fallthrough]];
        case px8g:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) d[x] = static_cast<uint8_t>(sample(s, x) >> 8);
          });
          return true;
        case px16g:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) PXStore<uint16_t>(d + 2 * x, static_cast<uint16_t>(s[x] * 257));
          });
          return true;
        case px32f:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            const long double div = wide ? 65535.0L : 255.0L;
            for (int32_t x = 0; x < w; ++x) PXStore<float>(d + 4 * x, static_cast<float>(sample(s, x) / div));
          });
          return true;
        case pxRGB48:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x)
              Put48(d + 6 * x, static_cast<uint16_t>(wide ? sample(s, x) : sample(s, x) * 257));
          });
          return true;
        case px32RGB:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) {
              Put3(d + 4 * x, static_cast<uint8_t>(wide ? sample(s, x) >> 8 : sample(s, x)));
              d[4 * x + 3] = 255;
            }
          });
          return true;
        case px24RGB:
          if (Target->FDisplayRangeHigh - Target->FDisplayRangeLow != 0) {
            const TRangeStretch stretch(Target);
            EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
              for (int32_t x = 0; x < w; ++x) Put3(d + 3 * x, stretch(sample(s, x)));
            });
            Target->FDisplayRangeLow = 0;
            Target->FDisplayRangeHigh = 0;
          } else if (!wide && Source->FDisplayRangeLow == Source->FDisplayRangeHigh) {
            const bool stream = LargeTarget(Target);
            EachRow(Source, Target, [stream](const uint8_t* s, uint8_t* d, int32_t w, int32_t) { GreyRowTo24(s, d, w, stream); });
          } else {
            const size_t len = static_cast<size_t>(Target->Width()) * 3;
            for (int32_t y = 0; y < Target->Height(); ++y) {
              uint8_t* d = Target->Scanline(y);
              const uint8_t* r = GetRowRGB24(Source, y, d, false);
              if (r != d) std::memcpy(d, r, len);
            }
          }
          return true;
        default:
          return false;
      }
    }

    case px24RGB:
      if (to == px8p) {
        QuantizeInto(Source, Target);
        return true;
      }
      EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
        FromRGBRow(reinterpret_cast<const TRGB*>(s), d, w, to, c);
      });
      return true;

    case px32f: {
      auto byteAt = [](const uint8_t* s, int32_t x) { return PXUnitToByte(PXLoad<float>(s + 4 * x)); };
      switch (to) {
        case px8p:
          SetGreyRamp(Target);
          [[fallthrough]];
        case px8g:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) d[x] = byteAt(s, x);
          });
          return true;
        case px16g:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) PXStore(d + 2 * x, PXUnitToWord(PXLoad<float>(s + 4 * x)));
          });
          return true;
        case px24RGB:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) Put3(d + 3 * x, byteAt(s, x));
          });
          return true;
        case pxRGB48:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) Put48(d + 6 * x, PXUnitToWord(PXLoad<float>(s + 4 * x)));
          });
          return true;
        case px32RGB:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) {
              Put3(d + 4 * x, byteAt(s, x));
              d[4 * x + 3] = 255;
            }
          });
          return true;
        default:
          return false;
      }
    }

    case pxCMYK:
      if (to == px24RGB) {
        EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
          CmykToRgbRow(reinterpret_cast<const TCMYK*>(s), reinterpret_cast<TRGB*>(d), w);
        });
        return true;
      }
      if (to == px32RGB) {
        EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
          for (int32_t x = 0; x < w; ++x) {
            const TRGB p = CmykToRgbPixel(PXLoad<TCMYK>(s + 4 * x));
            d[4 * x] = p.b;
            d[4 * x + 1] = p.g;
            d[4 * x + 2] = p.r;
            d[4 * x + 3] = 255;
          }
        });
        return true;
      }
      return false;

    case pxRGB48:
      switch (to) {
        case px8g:
          EachRow(Source, Target, [&](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) {
              const TRGB48 p = PXLoad<TRGB48>(s + 6 * x);
              d[x] = c.W.Grey(p.r >> 8, p.g >> 8, p.b >> 8);
            }
          });
          return true;
        case px16g:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) {
              const TRGB48 p = PXLoad<TRGB48>(s + 6 * x);
              PXStore(d + 2 * x, PXGrey16(p.r, p.g, p.b));
            }
          });
          return true;
        case px32f:
          EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            for (int32_t x = 0; x < w; ++x) PXStore(d + 4 * x, PXFloatGrey48(PXLoad<TRGB48>(s + 6 * x)));
          });
          return true;
        case px24RGB:
        case px32RGB: {
          const int32_t step = to == px24RGB ? 3 : 4;
          EachRow(Source, Target, [step](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
            int32_t x = 0;
#ifdef PX_HAVE_SSSE3_KERNELS
            if (step == 3 && HasSSSE3()) x = RGB48RowTo24SSSE3(s, d, w);
#endif
            for (; x < w; ++x) {
              const TRGB48 p = PXLoad<TRGB48>(s + 6 * x);
              uint8_t* q = d + static_cast<int64_t>(step) * x;
              q[0] = static_cast<uint8_t>(p.b >> 8);
              q[1] = static_cast<uint8_t>(p.g >> 8);
              q[2] = static_cast<uint8_t>(p.r >> 8);
              if (step == 4) q[3] = 255;
            }
          });
          return true;
        }
        default:
          return false;
      }

    case pxCIELab:
      if (to != px24RGB && to != px32RGB) return false;
      EachRow(Source, Target, [to](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
        const int32_t step = to == px24RGB ? 3 : 4;
        for (int32_t x = 0; x < w; ++x) {
          const TRGB p = CIELabToRGB(PXLoad<TCIELab>(s + 3 * x));
          uint8_t* q = d + static_cast<int64_t>(step) * x;
          q[0] = p.b;
          q[1] = p.g;
          q[2] = p.r;
          if (step == 4) q[3] = 255;
        }
      });
      return true;

    case px32RGB:
      if (to != px24RGB) return false;
      EachRow(Source, Target, [](const uint8_t* s, uint8_t* d, int32_t w, int32_t) {
        int32_t x = 0;
#ifdef PX_HAVE_SSSE3_KERNELS
        if (HasSSSE3()) x = RGB32RowTo24SSSE3(s, d, w);
#endif
        for (; x < w; ++x) std::memcpy(d + 3 * x, s + 4 * x, 3);
      });
      return true;

    default:
      return false;
  }
}

// The pixels of Source into Target; pairs without a direct rule go through a px24RGB copy.
void ConvertPixels(TPXBitmap* Source, TPXBitmap* Target, TConvContext& c, TPXProgressRecord& Progress) {
  const TPXPixelFormat from = Source->PixelFormat();
  if (from == pxNoFormat || from == Target->PixelFormat()) return;
  if (from == px8p) {
    c.Pal.fill(TRGB{});
    const TRGB* p = Source->GetPalette();
    const int32_t n = std::min(Source->GetPaletteLength(), 256);
    for (int32_t i = 0; p && i < n; ++i) c.Pal[i] = p[i];
  }
  if (ConvertDirect(Source, Target, c, Progress)) return;
  TPXBitmap rgb;
  if (!rgb.Allocate(Source->Width(), Source->Height(), px24RGB)) throw EOutOfMemory("Out of memory");
  ConvertDirect(Source, &rgb, c, Progress);
  ConvertDirect(&rgb, Target, c, Progress);
}

// ChangePixelFormat of a bitmap whose pixels live in a platform bitmap, for the pairs that the
// platform bitmap converts itself. False for any other pair.
bool ChangeTBitmapFormat(TPXBitmap* B, TPXPixelFormat NewFormat) {
  TBitmap* vb = B->FVclBitmap;
  bool handled = false;
  if (vb) {
    TPXProgressRecord progress;
    ResetProgressRecordSafe(nullptr, false, progress);
    const TPixelFormat pf = vb->PixelFormat();
    if (vb->Width() == 0 || vb->Height() == 0) {
      if (NewFormat == px1g) vb->SetPixelFormat(pf1bit), handled = true;
      if (NewFormat == px24RGB) vb->SetPixelFormat(pf24bit), handled = true;
    } else if (pf == pf1bit && NewFormat == px8g) {
      vb->SetPixelFormat(pf8bit);
      SetGrayPalette(vb);
      handled = true;
    } else if (pf == pf1bit && NewFormat == px24RGB) {
      auto copy = CloneTBitmap(vb);
      TBitmapTo24Bit(copy.get(), vb, progress);
      handled = true;
    } else if (pf == pf8bit && NewFormat == px24RGB) {
      vb->SetPixelFormat(pf24bit);
      handled = true;
    } else if (pf == pf24bit && NewFormat == px1g) {
      // The 24-bit pixels are converted in a working copy and written back as 1-bit rows.
      TPXBitmap wrap;
      wrap.AttachTBitmap(vb, false);
      TPXBitmap work;
      work.AssignImage(&wrap);
      if (B->FBWConversion == 0)
        ConvertBitmapToMonochrome(&work, progress);
      else
        ConvertToBWThresholdInPlace(&work, -1, progress);
      vb->SetPixelFormat(pf1bit);
      const size_t len = static_cast<size_t>(std::min(work.RowLen(), GraphicRowByteLength(vb->Width(), pf1bit)));
      for (int32_t y = 0; y < vb->Height(); ++y) std::memcpy(vb->ScanLine(y), work.Scanline(y), len);
      handled = true;
    } else if (pf == pf24bit && NewFormat == px8g) {
      auto copy = CloneTBitmap(vb);
      TBitmap24ToGray8(copy.get(), vb);
      handled = true;
    } else if (pf == pf24bit && NewFormat == px32RGB) {
      vb->SetPixelFormat(pf32bit);
      handled = true;
    } else if (pf == pf32bit && NewFormat == px24RGB) {
      vb->SetPixelFormat(pf24bit);
      handled = true;
    }
  }
  if (!handled && vb && !vb->Empty()) return false;
  B->FPixelFormat = NewFormat;
  B->FBitCount = PixelFormatBits(NewFormat);
  B->FChannelCount = PixelFormatChannels(NewFormat);
  B->FRowLen = RowByteLength(B->FWidth, B->FBitCount, B->FRowAlignment);
  B->BuildRowPointers();
  B->DoChange();
  return true;
}

}  // namespace

void TPXBitmap::ConvertPixelFormat(TPXBitmap* Source) {
  if (!Source || Source == this) return;
  if (Source->Width() != Width() || Source->Height() != Height()) return;
  TPXProgressRecord progress;
  ResetProgressRecordSafe(nullptr, false, progress);
  TConvContext c;
  c.W = TPXGreyWeights::FromSettings();
  c.BW = FBWConversion;
  ConvertPixels(Source, this, c, progress);
  if (TPXBitmap* srcAlpha = Source->PeekAlphaChannel(); srcAlpha && !FIsAlphaChannel)
    if (TPXBitmap* alpha = GetAlphaChannel()) alpha->AssignFrom(srcAlpha, false);
  if (FPixelFormat == px8p) UpdateVclPalette();
  DoChange();
}

void TPXBitmap::ChangePixelFormat(TPXPixelFormat NewFormat) {
  if (IsVirtual()) {
    FPixelFormat = NewFormat;
    return;
  }
  if (FLocation == pxTBitmap && ChangeTBitmapFormat(this, NewFormat)) return;
  // The old storage goes to a temporary bitmap and new storage is allocated in the new format;
  // the events and the conversion settings stay. A platform bitmap that cannot hold the new
  // format gives way to memory.
  auto old = std::make_unique<TPXBitmap>();
  const TNotifyEvent onChange = FOnChange;
  const TPXProgressEvent onProgress = FOnProgress;
  const uint8_t bw = FBWConversion, isAlpha = FIsAlphaChannel;
  const double low = FDisplayRangeLow, high = FDisplayRangeHigh;
  auto restore = [&] {
    FOnChange = onChange;
    FOnProgress = onProgress;
    FBWConversion = bw;
    FIsAlphaChannel = isAlpha;
    FDisplayRangeLow = low;
    FDisplayRangeHigh = high;
  };
  MoveStorageTo(old.get());
  restore();
  FWidth = old->FWidth;
  FHeight = old->FHeight;
  FPixelFormat = NewFormat;
  FRowAlignment = old->FRowAlignment;
  FAllocationKind = old->FAllocationKind;
  if (FLocation == pxTBitmap && NewFormat != px1g && NewFormat != px8p && NewFormat != px8g &&
      NewFormat != px16g && NewFormat != px24RGB && NewFormat != px32RGB)
    FLocation = pxMemory;
  const bool hadPixels = old->FPixelFormat != pxNoFormat && old->FWidth > 0 && old->FHeight > 0;
  if (!AllocatePixels()) {
    if (!hadPixels) {  // nothing to lose: the new format is recorded on an empty bitmap
      FWidth = FHeight = 0;
      return;
    }
    // Keep the picture as it was rather than lose it.
    FreeStorage(true);
    old->MoveStorageTo(this);
    restore();
    throw EOutOfMemory("Out of memory");
  }
  FAlphaChannel = std::move(old->FAlphaChannel);
  if (old->FPixelFormat != pxNoFormat) ConvertPixelFormat(old.get());
}

void TPXBitmap::UpdateVclPalette() {
  if (FLocation != pxTBitmap || FPalette.empty() || !FVclBitmap) return;
  std::vector<TRGBQuad> table(FPalette.size());
  for (size_t i = 0; i < FPalette.size(); ++i) {
    table[i].rgbBlue = FPalette[i].b;
    table[i].rgbGreen = FPalette[i].g;
    table[i].rgbRed = FPalette[i].r;
  }
  FVclBitmap->SetColorTable(table);
  DoChange();
}

void TBitmap24ToGray8(TBitmap* Source, TBitmap* Target) {
  Target->SetSize(1, 1);
  Target->SetPixelFormat(pf8bit);
  Target->SetSize(Source->Width(), Source->Height());
  SetGrayPalette(Target);
  const TPXGreyWeights w = TPXGreyWeights::FromSettings();
  for (int32_t y = 0; y < Source->Height(); ++y) {
    const auto* s = static_cast<const TRGB*>(Source->ScanLine(y));
    auto* d = static_cast<uint8_t*>(Target->ScanLine(y));
    for (int32_t x = 0; x < Source->Width(); ++x) d[x] = w.Grey(s[x]);
  }
}
