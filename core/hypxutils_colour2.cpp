// Per-pixel colour-space conversions: JFIF and BT.601 YCbCr, HSL, the integer HSV of the colour
// adjustments, and small colour utilities.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/hypxutils.h"
#include "core/hypxutils_colour2.h"

namespace {

inline int32_t Red(uint32_t C) { return static_cast<int32_t>((C >> 16) & 0xFF); }
inline int32_t Green(uint32_t C) { return static_cast<int32_t>((C >> 8) & 0xFF); }
inline int32_t Blue(uint32_t C) { return static_cast<int32_t>(C & 0xFF); }

// Round half to even on doubles that are always well inside the int32 range here.
inline int32_t RoundEven(double V) { return static_cast<int32_t>(std::nearbyint(V)); }

}  // namespace

void RGBToYCbCr(uint32_t Color, int32_t& Y, int32_t& Cb, int32_t& Cr) {
  const int32_t r = Red(Color), g = Green(Color), b = Blue(Color);
  Y = PXLumaY(r, g, b);
  Cb = PXChromaCb(r, g, b);
  Cr = PXChromaCr(r, g, b);
}

void YCbCrToRGB(TRGB& Result, int32_t Y, int32_t Cb, int32_t Cr) { PXYCbCrToRGB(Result, Y, Cb, Cr); }

void YCbCrToRGB601(int32_t Y, int32_t Cb, int32_t Cr, uint8_t* Dest) {
  const double d = 1.164 * (Y - 16.0), cb = Cb - 128.0, cr = Cr - 128.0;
  Dest[0] = PXRoundByte(d + 2.018 * cb);
  Dest[1] = PXRoundByte(d - 0.813 * cr - 0.391 * cb);
  Dest[2] = PXRoundByte(d + 1.596 * cr);
}

void RGBToHSL(double& H, double& S, double& L, uint32_t Color) {
  PXRGBToHSL(Red(Color), Green(Color), Blue(Color), H, S, L);
}

void HSLToRGB(TRGB& Result, double H, double S, double L) { PXHSLToRGB(Result, H, S, L); }

void RGBToHSV(int32_t& H, int32_t& S, int32_t& V, uint32_t Color) {
  const int32_t r = RoundEven(Red(Color) / 255.0 * 99);
  const int32_t g = RoundEven(Green(Color) / 255.0 * 99);
  const int32_t b = RoundEven(Blue(Color) / 255.0 * 99);
  const int32_t mx = std::max(r, std::max(g, b));
  const int32_t mn = std::min(r, std::min(g, b));
  V = mx;
  S = mx == 0 ? 0 : (mx - mn) * 99 / mx;
  if (S == 0) {
    H = 0;
    return;
  }
  const int32_t d = mx - mn;
  if (r == mx) H = (g - b) * 60 / d;
  else if (g == mx) H = (b - r) * 60 / d + 120;
  else H = (r - g) * 60 / d + 240;
  if (H < 0) H += 360;
}

void HSVToRGB(TRGB& Result, int32_t H, int32_t S, int32_t V) {
  // Any hue wraps into 0..359 (a single step would leave 720 at 360, outside every sector).
  H %= 360;
  if (H < 0) H += 360;
  S = ClampInt(S, 0, 99);
  V = ClampInt(V, 0, 99);
  int32_t r, g, b;
  if (S == 0) {
    r = g = b = V;
  } else {
    const int32_t f = H % 60;
    const int32_t p = V - (S * V) / 99;
    const int32_t q = V - (S * V * f) / 5940;
    const int32_t t = V - (S * V * (60 - f)) / 5940;
    switch (H / 60) {
      case 0: r = V, g = t, b = p; break;
      case 1: r = q, g = V, b = p; break;
      case 2: r = p, g = V, b = t; break;
      case 3: r = p, g = q, b = V; break;
      case 4: r = t, g = p, b = V; break;
      default: r = V, g = p, b = q; break;
    }
  }
  Result.r = static_cast<uint8_t>(RoundEven(r / 99.0 * 255));
  Result.g = static_cast<uint8_t>(RoundEven(g / 99.0 * 255));
  Result.b = static_cast<uint8_t>(RoundEven(b / 99.0 * 255));
}

int32_t NearestPaletteIndex(const TRGB* Palette, int32_t Count, uint32_t Color) {
  const int32_t r = Red(Color), g = Green(Color), b = Blue(Color);
  int32_t best = 0;
  int32_t bestDistance = 195076;  // one more than 3 x 255^2
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t dr = Palette[i].r - r, dg = Palette[i].g - g, db = Palette[i].b - b;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

bool ColorsWithinTolerance(int32_t Tolerance, uint32_t A, uint32_t B) {
  return std::abs(Red(A) - Red(B)) <= Tolerance && std::abs(Green(A) - Green(B)) <= Tolerance &&
         std::abs(Blue(A) - Blue(B)) <= Tolerance;
}

uint8_t UnitToByte(double X) {
  if (!(X > 0)) return 0;
  if (X >= 1) return 255;
  return static_cast<uint8_t>(RoundEven(X * 255));
}

std::string ColorToHexText(TColor Color) {
  const uint32_t c = static_cast<uint32_t>(Color);
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return text;
}
