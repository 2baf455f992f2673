// Inline forms of the per-pixel colour conversions (HSL, JFIF YCbCr), shared by the blend loops
// and the routines of hypxutils_colour2.cpp.
#pragma once

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>

#include "core/hypxdefs.h"

// Round half to even of |V| < 2^51 under the default rounding mode, without a library call.
inline int32_t PXRoundEvenFast(double V) {
  const double t = V + 6755399441055744.0;  // 1.5 * 2^52: the integer lands in the low bits
  return static_cast<int32_t>(std::bit_cast<int64_t>(t));
}

// trunc(V) kept within 0..255 (NaN gives 0).
inline uint8_t PXTruncByte(double V) {
  if (!(V > 0)) return 0;
  return V >= 255 ? uint8_t{255} : static_cast<uint8_t>(V);
}

// round(V) kept within 0..255, halves to even (NaN gives 0).
inline uint8_t PXRoundByte(double V) {
  if (!(V > 0)) return 0;
  return V >= 255 ? uint8_t{255} : static_cast<uint8_t>(PXRoundEvenFast(V));
}

inline int32_t PXLumaY(int32_t R, int32_t G, int32_t B) { return PXTruncByte(0.299 * R + 0.587 * G + 0.114 * B); }
inline int32_t PXChromaCb(int32_t R, int32_t G, int32_t B) {
  return PXTruncByte(-0.16874 * R - 0.33126 * G + 0.5 * B + 128);
}
inline int32_t PXChromaCr(int32_t R, int32_t G, int32_t B) {
  return PXTruncByte(0.5 * R - 0.41869 * G - 0.08131 * B + 128);
}
inline void PXYCbCrToRGB(TRGB& Result, int32_t Y, int32_t Cb, int32_t Cr) {
  const double y = Y, cb = Cb - 128.0, cr = Cr - 128.0;
  Result.r = PXTruncByte(y + 1.402 * cr);
  Result.g = PXTruncByte(y - 0.34414 * cb - 0.71414 * cr);
  Result.b = PXTruncByte(y + 1.772 * cb);
}

// i / 255.0 for every byte, exactly as the division gives it.
inline constexpr auto PXByteUnits = [] {
  std::array<double, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = i / 255.0;
  return t;
}();

inline void PXRGBToHSL(int32_t R, int32_t G, int32_t B, double& H, double& S, double& L) {
  R &= 0xFF, G &= 0xFF, B &= 0xFF;
  // The extremes picked on the bytes (the same as on r, g, b = byte / 255), ties to red, then green.
  const int32_t hi = R >= G ? (R >= B ? R : B) : (G >= B ? G : B);
  const int32_t lo = R <= G ? (R <= B ? R : B) : (G <= B ? G : B);
  const double mx = PXByteUnits[hi], mn = PXByteUnits[lo];
  L = (mx + mn) / 2;
  if (hi == lo) {
    H = 0;
    S = 0;
    return;
  }
  const double d = mx - mn;
  S = d / (L >= 0.5 ? 2 - mx - mn : mx + mn);
  const double r = PXByteUnits[R], g = PXByteUnits[G], b = PXByteUnits[B];
  if (R == hi) H = (g - b) / d;
  else if (G == hi) H = (b - r) / d + 2;
  else H = (r - g) / d + 4;
  H /= 6;
  if (H < 0) H += 1;
}

inline double PXHueToChannel(double M1, double M2, double H) {
  if (H < 0) H += 1;
  else if (H > 1) H -= 1;
  if (6 * H < 1) return M1 + (M2 - M1) * 6 * H;
  if (2 * H < 1) return M2;
  if (3 * H < 2) return M1 + (M2 - M1) * (2.0 / 3.0 - H) * 6;
  return M1;
}

// A channel value 0..1 as a byte, rounded half to even.
inline uint8_t PXUnitChannel(double V) { return PXRoundByte(V * 255); }

inline void PXHSLToRGB(TRGB& Result, double H, double S, double L) {
  if (!(H >= 0 && H < 1)) H = std::isfinite(H) ? H - std::floor(H) : 0;  // any hue wraps into 0..1
  S = S < 0 ? 0 : (S > 1 ? 1 : S);
  L = L < 0 ? 0 : (L > 1 ? 1 : L);
  if (!(S > 0)) {
    Result.r = Result.g = Result.b = PXUnitChannel(L);
    return;
  }
  const double m2 = L <= 0.5 ? L * (1 + S) : L + S - L * S;
  const double m1 = 2 * L - m2;
  Result.r = PXUnitChannel(PXHueToChannel(m1, m2, H + 1.0 / 3.0));
  Result.g = PXUnitChannel(PXHueToChannel(m1, m2, H));
  Result.b = PXUnitChannel(PXHueToChannel(m1, m2, H - 1.0 / 3.0));
}
