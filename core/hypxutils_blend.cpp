// The per-pixel blend operations and the colour count of a sample layout.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "core/hypxutils.h"
#include "core/hypxutils_colour2.h"
#include "core/hypxutils_startup.h"
#include "core/pxsettings.h"

namespace {

using Op = TPXBlendOperation;

// Applies F(d, s) to blue, green and red, each with its own source channel.
template <class F>
inline void PerChannel(const TRGB& S, TRGB& D, F f) {
  D.b = static_cast<uint8_t>(f(int32_t{D.b}, int32_t{S.b}));
  D.g = static_cast<uint8_t>(f(int32_t{D.g}, int32_t{S.g}));
  D.r = static_cast<uint8_t>(f(int32_t{D.r}, int32_t{S.r}));
}

inline int32_t Min255(int32_t V) { return V < 255 ? V : 255; }
inline int32_t Max0(int32_t V) { return V > 0 ? V : 0; }

inline int32_t SoftLight(int32_t D, int32_t S) {
  const double a = S / 255.0, b = D / 255.0;
  const double r = a < 0.5 ? b * b * (1 - 2 * a) + 2 * a * b : std::sqrt(b) * (2 * a - 1) + 2 * b * (1 - a);
  return static_cast<int32_t>(r * 255);
}

// Hue, saturation, colour and luminosity: two of the destination's HSL values, one or two of
// the source's.
void BlendHSL(const TRGB& S, TRGB& D, Op Operation) {
  double sh, ss, sl, dh, ds, dl;
  PXRGBToHSL(S.r, S.g, S.b, sh, ss, sl);
  PXRGBToHSL(D.r, D.g, D.b, dh, ds, dl);
  switch (Operation) {
    case pxboHue: PXHSLToRGB(D, sh, ds, dl); break;
    case pxboSaturation: PXHSLToRGB(D, dh, ss, dl); break;
    case pxboColor: PXHSLToRGB(D, sh, ss, dl); break;
    default: PXHSLToRGB(D, dh, ds, sl); break;
  }
}

// The least-squares red-cyan anaglyph of a left (destination) and a right (source) view.
void Anaglyph(const TRGB& S, TRGB& D) {
  const double dr = D.r, dg = D.g, db = D.b, sr = S.r, sg = S.g, sb = S.b;
  const double r = 0.4561 * dr + 0.500484 * dg + 0.176381 * db - 0.0434706 * sr - 0.0879388 * sg - 0.00155529 * sb;
  const double g = -0.0400822 * dr - 0.0378246 * dg - 0.0157589 * db + 0.378476 * sr + 0.73364 * sg - 0.0184503 * sb;
  const double b = -0.0152161 * dr - 0.0205971 * dg - 0.00546856 * db - 0.0721527 * sr - 0.112961 * sg + 1.2264 * sb;
  D.r = PXRoundByte(r);
  D.g = PXRoundByte(g);
  D.b = PXRoundByte(b);
}

}  // namespace

void CombinePixels(const TRGB& Source, TRGB& Dest, TPXBlendOperation Operation, int32_t Row) {
  const TRGB& s = Source;
  TRGB& d = Dest;
  switch (Operation) {
    case pxboNormal:
    case pxboCopyRGB: d = s; break;
    case pxboAdd: PerChannel(s, d, [](int32_t D, int32_t S) { return Min255(D + S); }); break;
    case pxboSub: PerChannel(s, d, [](int32_t D, int32_t S) { return std::abs(D - S); }); break;
    case pxboDiv: PerChannel(s, d, [](int32_t D, int32_t S) { return D / (S == 0 ? 1 : S); }); break;
    case pxboMul: PerChannel(s, d, [](int32_t D, int32_t S) { return (S * D) >> 8; }); break;
    case pxboOr: PerChannel(s, d, [](int32_t D, int32_t S) { return D | S; }); break;
    case pxboAnd: PerChannel(s, d, [](int32_t D, int32_t S) { return D & S; }); break;
    case pxboXor: PerChannel(s, d, [](int32_t D, int32_t S) { return D ^ S; }); break;
    case pxboMax: PerChannel(s, d, [](int32_t D, int32_t S) { return D > S ? D : S; }); break;
    case pxboMin: PerChannel(s, d, [](int32_t D, int32_t S) { return D < S ? D : S; }); break;
    case pxboAverage: PerChannel(s, d, [](int32_t D, int32_t S) { return (D + S) >> 1; }); break;
    case pxboScreen:
      // trunc(255 - p / 255) with p = (255 - d)(255 - s): exactly 255 - ceil(p / 255).
      PerChannel(s, d, [](int32_t D, int32_t S) { return 255 - ((255 - D) * (255 - S) + 254) / 255; });
      break;
    case pxboNegation: PerChannel(s, d, [](int32_t D, int32_t S) { return 255 - std::abs(255 - S - D); }); break;
    case pxboExclusion: PerChannel(s, d, [](int32_t D, int32_t S) { return (D + S - ((D * S) >> 7)) & 0xFF; }); break;
    case pxboOverlay:
      PerChannel(s, d, [](int32_t D, int32_t S) {
        return D < 128 ? (S * D) >> 7 : 255 - (((255 - S) * (255 - D)) >> 7);
      });
      break;
    case pxboHardLight:
      PerChannel(s, d, [](int32_t D, int32_t S) {
        return S < 128 ? (S * D) >> 7 : 255 - (((255 - S) * (255 - D)) >> 7);
      });
      break;
    case pxboSoftLight: PerChannel(s, d, SoftLight); break;
    case pxboXFader:
      PerChannel(s, d, [](int32_t D, int32_t S) {
        const int32_t m = (D * S) >> 8;
        const int32_t k = 255 - (((255 - D) * (255 - S)) >> 8) - m;
        return m + ((k * D) >> 8);
      });
      break;
    case pxboColorDodge:
      PerChannel(s, d, [](int32_t D, int32_t S) { return S == 255 ? 255 : Min255((D * 256) / (255 - S)); });
      break;
    case pxboColorBurn:
      PerChannel(s, d, [](int32_t D, int32_t S) { return S == 0 ? 0 : Max0(255 - ((255 - D) * 256) / S); });
      break;
    case pxboInverseColorDodge:
      PerChannel(s, d, [](int32_t D, int32_t S) { return D == 255 ? 255 : Min255((S * 256) / (255 - D)); });
      break;
    case pxboInverseColorBurn:
      PerChannel(s, d, [](int32_t D, int32_t S) { return D == 0 ? 0 : Max0(255 - ((255 - S) * 256) / D); });
      break;
    case pxboSoftDodge:
      PerChannel(s, d, [](int32_t D, int32_t S) {
        if (D + S < 256) return S == 255 ? 255 : Min255((D * 128) / (255 - S));
        return Max0(255 - ((255 - S) * 128) / D);
      });
      break;
    case pxboSoftBurn:
      PerChannel(s, d, [](int32_t D, int32_t S) {
        if (D + S < 256) return D == 255 ? 255 : Min255((S * 128) / (255 - D));
        return Max0(255 - ((255 - D) * 128) / S);
      });
      break;
    case pxboReflect:
      PerChannel(s, d, [](int32_t D, int32_t S) { return S == 255 ? 255 : Min255((D * D) / (255 - S)); });
      break;
    case pxboGlow:
      PerChannel(s, d, [](int32_t D, int32_t S) { return D == 255 ? 255 : Min255((S * S) / (255 - D)); });
      break;
    case pxboFreeze:
      PerChannel(s, d, [](int32_t D, int32_t S) { return S == 0 ? 0 : Max0(255 - ((255 - D) * (255 - D)) / S); });
      break;
    case pxboHeat:
      PerChannel(s, d, [](int32_t D, int32_t S) { return D == 0 ? 0 : Max0(255 - ((255 - S) * (255 - S)) / D); });
      break;
    case pxboSubtractive: PerChannel(s, d, [](int32_t D, int32_t S) { return Max0(D + S - 256); }); break;
    case pxboInterpolation:
      PerChannel(s, d, [](int32_t D, int32_t S) { return Min255(CosineRamp[S] + CosineRamp[D]); });
      break;
    case pxboStamp: PerChannel(s, d, [](int32_t D, int32_t S) { return ClampByte(D + 2 * S - 256); }); break;
    case pxboRed: d.r = s.r; break;
    case pxboGreen: d.g = s.g; break;
    case pxboBlue: d.b = s.b; break;
    case pxboHue:
    case pxboSaturation:
    case pxboColor:
    case pxboLuminosity: BlendHSL(s, d, Operation); break;
    case pxboGrayAnaglyph: {
      const TPXPixoranGlobalSettings* g = GlobalSettingsInstance();
      const int32_t wr = g->FGrayWeightRed, wg = g->FGrayWeightGreen, wb = g->FGrayWeightBlue;
      const int32_t dg = (d.r * wr + d.g * wg + d.b * wb) / 100;
      const int32_t sg = (s.r * wr + s.g * wg + s.b * wb) / 100;
      d.r = static_cast<uint8_t>(dg);
      d.g = d.b = static_cast<uint8_t>(sg);
      break;
    }
    case pxboAnaglyphMatrix: Anaglyph(s, d); break;
    case pxboEvenRows:
      if ((Row & 1) == 0) d = s;
      break;
    case pxboOddRows:
      if ((Row & 1) != 0) d = s;
      break;
    case pxboLuma: {
      const int32_t y = PXLumaY(s.r, s.g, s.b);
      PXYCbCrToRGB(d, y, PXChromaCb(d.r, d.g, d.b), PXChromaCr(d.r, d.g, d.b));
      break;
    }
    default: break;  // values above pxboLuma leave the destination
  }
}

void CombinePixelsCopy(TRGB& Source, TRGB& Dest, TPXBlendOperation Operation, int32_t Row) {
  const TRGB s = Source;
  TRGB d = Dest;
  CombinePixels(s, d, Operation, Row);
  Source = s;
  Dest = d;
}

const char* BlendOperationCaption(TPXBlendOperation Operation) {
  static constexpr const char* kCaptions[PXBlendOperationListed] = {
      "Normal", "Add (Additive)", "Sub (Difference)", "Div", "Mul", "Or", "And", "XOr",
      "Max (Lighten)", "Min (Darken)", "Average", "Screen", "Negation", "Exclusion", "Overlay",
      "Hard Light", "Soft Light", "XFader", "Color Edge", "Color Burn", "Inverse Color Dodge",
      "Inverse Color Burn", "Soft Dodge", "Soft Burn", "Reflect", "Glow", "Freeze", "Eat",
      "Subtractive", "Interpolation", "Stamp", "Red", "Green", "Blue", "Hue", "Saturation", "Color",
      "Luminosity"};
  const auto i = static_cast<uint8_t>(Operation);
  return i < PXBlendOperationListed ? kCaptions[i] : "";
}

int64_t ColorCountFromBits(int32_t BitsPerSample, int32_t SamplesPerPixel) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t count = 1;
  if (BitsPerSample <= 0) return 1;
  for (int32_t i = 0; i < SamplesPerPixel; ++i) {
    // count * 2^bits would pass INT64_MAX: saturate.
    if (BitsPerSample >= 63 || count > (kMax >> BitsPerSample)) return kMax;
    count <<= BitsPerSample;
  }
  return count;
}
