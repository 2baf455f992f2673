// Colour arithmetic on the 0..240 hue, saturation and luminance scale, and the scheme colours.
//
// Both conversions work on exact ratios of integers and round half to even, so that values
// that fall exactly between two steps (hue 158.5 of (0, 9, 240)) always take the even one
// instead of whatever floating-point noise would give.
#include <cstdlib>

#include "controls/CvCommon.h"
#include "platform/forms/Themes.h"
#include "platform/gdi/WinGdi.h"

namespace {

// Num / Den rounded to the nearest integer, halves to even (Num >= 0, Den > 0).
int64_t RoundRatio(int64_t Num, int64_t Den) {
  const int64_t q = Num / Den, r = Num % Den;
  if (2 * r > Den) return q + 1;
  if (2 * r == Den) return q + (q & 1);
  return q;
}

struct TRgb {
  int32_t R, G, B;
};

TRgb Channels(TColor Color) {
  const auto c = static_cast<TColorRef>(ColorToRGB(Color));
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

TColor FromChannels(int32_t R, int32_t G, int32_t B) { return static_cast<TColor>(RGB(R, G, B)); }

// One row of the scheme table: selection frame, start, stop; gradient start, stop.
struct TSchemeColors {
  TColor SelectionFrame, SelectionStart, SelectionStop, GradientStart, GradientStop;
};
constexpr TSchemeColors kSchemes[3] = {
    {0x00800000, 0x00C2EEFF, 0x00A0D9FF, 0x00FFEFE3, 0x00EABB99},
    {0x00385D3F, 0x00C2EEFF, 0x00A0D9FF, 0x00EDFFFF, 0x0092C7B8},
    {0x006F4B4B, 0x00C2EEFF, 0x00A0D9FF, 0x00FFF9F9, 0x00D0BCBD},
};

const TSchemeColors& Scheme() { return kSchemes[DesktopColorScheme < 3 ? DesktopColorScheme : 0]; }

bool ThemedScheme(TCvGradientColorStyle Style) { return Style == gcsMSOffice && ThemeServices()->ThemesEnabled(); }

}  // namespace

void ColorToHueSatLum(TColor Color, uint8_t& Hue, uint8_t& Sat, uint8_t& Lum) {
  const TRgb c = Channels(Color);
  int32_t max = c.R > c.G ? c.R : c.G;
  if (c.B > max) max = c.B;
  int32_t min = c.R < c.G ? c.R : c.G;
  if (c.B < min) min = c.B;
  const int32_t sum = max + min;
  // L = sum / 510 of the scale: 240 * sum / 510.
  Lum = static_cast<uint8_t>(RoundRatio(240 * sum, 510));
  if (max == min) {
    Hue = 0;
    Sat = 0;
    return;
  }
  const int32_t d = max - min;
  // Below one half of the luminance scale the saturation is d / sum, else d / (510 - sum).
  Sat = static_cast<uint8_t>(RoundRatio(240 * d, sum < 255 ? sum : 510 - sum));
  // The hue in sixths of the circle, over d: red first on ties, then green.
  int64_t sixths;
  if (c.R == max) sixths = c.G - c.B;
  else if (c.G == max) sixths = 2 * d + c.B - c.R;
  else sixths = 4 * d + c.R - c.G;
  if (sixths < 0) sixths += 6 * d;
  // Hue * 240 = sixths / 6 / d * 240 = 40 * sixths / d.
  Hue = static_cast<uint8_t>(RoundRatio(40 * sixths, d));
}

uint8_t HueOfColor(TColor Color) {
  uint8_t h, s, l;
  ColorToHueSatLum(Color, h, s, l);
  return h;
}

TColor HueSatLumToColor(uint8_t Hue, uint8_t Sat, uint8_t Lum) {
  // Everything over the denominator 57600 = 240 * 240: l = Lum / 240, s = Sat / 240.
  constexpr int64_t kDen = 57600;
  const int64_t L = Lum, S = Sat;
  const int64_t m2 = 2 * L < 240 ? L * (240 + S) : 240 * L + 240 * S - L * S;
  if (m2 <= 0) return clBlack;
  const int64_t m1 = 480 * L - m2;  // 2l - m2
  // h6 = Hue * 6 / 239: the sextant and its fraction f = frac / 239.
  const int64_t sextant = 6 * Hue / 239, frac = 6 * Hue % 239;
  // x = m2 * v * f with v = (m2 - m1) / m2, i.e. (m2 - m1) * f; everything over kDen * 239.
  const int64_t x = (m2 - m1) * frac;
  const int64_t m1f = m1 * 239, m2f = m2 * 239;
  const int64_t rising = m1f + x, falling = m2f - x;
  int64_t r, g, b;
  switch (sextant) {
    case 1: r = falling; g = m2f; b = m1f; break;
    case 2: r = m1f; g = m2f; b = rising; break;
    case 3: r = m1f; g = falling; b = m2f; break;
    case 4: r = rising; g = m1f; b = m2f; break;
    case 5: r = m2f; g = m1f; b = falling; break;
    default: r = m2f; g = rising; b = m1f; break;  // 0, and 6 from hues of 239 and above
  }
  auto channel = [](int64_t v) {
    constexpr int64_t kOne = kDen * 239;
    if (v > kOne) v = kOne;
    if (v < 0) v = 0;
    return static_cast<int32_t>(RoundRatio(v * 255, kOne));
  };
  return FromChannels(channel(r), channel(g), channel(b));
}

TColor ShadeColor(TColor Color, uint8_t Amount) {
  uint8_t h, s, l;
  ColorToHueSatLum(Color, h, s, l);
  const int32_t lum = static_cast<int32_t>(l) - Amount;
  return HueSatLumToColor(h, s, static_cast<uint8_t>(lum < 0 ? 0 : lum));
}

TColor TintColor(TColor Color, uint8_t Amount) {
  uint8_t h, s, l;
  ColorToHueSatLum(Color, h, s, l);
  const int32_t lum = static_cast<int32_t>(l) + Amount;
  return HueSatLumToColor(h, s, static_cast<uint8_t>(lum > 255 ? 255 : lum));
}

TColor ShiftColorLuminance(TColor Color, int32_t Adjustment) {
  // The magnitude is handed on as a byte, as the routines take it.
  if (Adjustment < 0) return ShadeColor(Color, static_cast<uint8_t>(-static_cast<int64_t>(Adjustment)));
  if (Adjustment > 0) return TintColor(Color, static_cast<uint8_t>(Adjustment));
  return Color;
}

TColor MixColors(TColor Color1, TColor Color2, uint8_t Weight) {
  const TRgb a = Channels(Color1), b = Channels(Color2);
  const float w = static_cast<float>(Weight) / 255.0f;
  auto mix = [w](int32_t c1, int32_t c2) {
    const double v = c1 * static_cast<double>(w) + (1.0 - static_cast<double>(w)) * c2;
    return static_cast<int32_t>(Round(v));
  };
  return FromChannels(mix(a.R, b.R), mix(a.G, b.G), mix(a.B, b.B));
}

bool ColorsHardToTellApart(TColor Color1, TColor Color2) {
  uint8_t h1, s1, l1, h2, s2, l2;
  ColorToHueSatLum(Color1, h1, s1, l1);
  ColorToHueSatLum(Color2, h2, s2, l2);
  return std::abs(h1 - h2) < 20 && std::abs(l1 - l2) < 60;
}

TColor OppositeHueColor(TColor Color, int32_t Lum) {
  const int32_t h = HueOfColor(Color);
  const int32_t opposite = h < 120 ? h + 120 : h - 120;
  return HueSatLumToColor(static_cast<uint8_t>(opposite), 240, static_cast<uint8_t>(Lum));
}

TColor ThemeElementColor(int32_t Kind) {
  // The visual style's element colours exist only with visual styles; the desktop here has none,
  // so every kind takes the classic face colour.
  (void)Kind;
  return clBtnFace;
}

uint8_t ReadXPColorScheme() {
  // The scheme is named by the desktop's registry, which does not exist here: a missing name
  // means the normal scheme.
  return 0;
}

void GetSchemeSelectionColors(TCvGradientColorStyle Style, TColor& FrameColor, TColor& StartColor, TColor& StopColor) {
  if (ThemedScheme(Style)) {
    FrameColor = Scheme().SelectionFrame;
    StartColor = Scheme().SelectionStart;
    StopColor = Scheme().SelectionStop;
  } else {
    FrameColor = clHighlight;
    StopColor = MixColors(clHighlight, clWindow, 77);
    StartColor = TintColor(StopColor, 20);
  }
  // No gradient on palette screens.
  if (!DisplayIsFullColor) StartColor = StopColor;
}

void GetSchemeGradientColors(TCvGradientColorStyle Style, TColor& StartColor, TColor& StopColor) {
  if (ThemedScheme(Style)) {
    StartColor = Scheme().GradientStart;
    StopColor = Scheme().GradientStop;
  } else {
    StartColor = clWindow;
    StopColor = ShadeColor(clBtnFace, 10);
  }
}

void GetSchemeBarColors(TCvGradientColorStyle Style, TColor& StopColor, TColor& StartColor, TColor& LineColor) {
  if (ThemedScheme(Style)) {
    StopColor = Scheme().GradientStop;
    StartColor = Scheme().GradientStart;
    LineColor = StopColor;
  } else {
    StopColor = ShadeColor(clBtnFace, 20);
    StartColor = clWindow;
    LineColor = ShadeColor(clBtnFace, 40);
  }
}

bool TestFullColorDisplay() {
  HDC dc = GetDC(nullptr);
  if (!dc) return true;
  const int32_t colors = GetDeviceCaps(dc, NUMCOLORS);
  ReleaseDC(nullptr, dc);
  return colors == -1;
}
