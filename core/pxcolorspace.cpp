#include "core/pxcolorspace.h"

#include <cmath>

namespace {

// sRGB companding, both ways.
double Linear(int k) {
  const double v = k / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double Companded(double v) { return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055; }

double LabF(double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; }
double LabFInv(double f) {
  const double c = f * f * f;
  return c > 0.008856 ? c : (f - 0.13793103448) / 7.787;
}

uint8_t ToByte(double v) {
  const int64_t r = Round(v * 255);
  return static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
}

}  // namespace

TCIELab RGBToCIELab(int32_t Color) {
  const double r = Linear((Color >> 16) & 0xFF);
  const double g = Linear((Color >> 8) & 0xFF);
  const double b = Linear(Color & 0xFF);
  const double x = (0.412453 * r + 0.35758 * g + 0.180423 * b) / 0.95047;
  const double y = 0.212671 * r + 0.71516 * g + 0.072169 * b;
  const double z = (0.019334 * r + 0.119193 * g + 0.950227 * b) / 1.08883;
  const double fy = LabF(y);
  const double l = y > 0.008856 ? 116 * fy - 16 : 903.3 * y;
  TCIELab lab;
  // The low byte of each truncated value; sRGB inputs stay within range.
  lab.l = static_cast<uint8_t>(Trunc(2.55 * l));
  lab.a = static_cast<int8_t>(static_cast<uint8_t>(Trunc(500 * (LabF(x) - fy))));
  lab.b = static_cast<int8_t>(static_cast<uint8_t>(Trunc(200 * (fy - LabF(z)))));
  return lab;
}

TRGB CIELabToRGB(const TCIELab& Lab) {
  const double l = Lab.l * 0.39215686275;
  const double fy = (l + 16) / 116;
  const double x = 0.95047 * LabFInv(fy + Lab.a / 500.0);
  const double y = LabFInv(fy);
  const double z = 1.08883 * LabFInv(fy - Lab.b / 200.0);
  TRGB rgb;
  rgb.r = ToByte(Companded(3.2406 * x - 1.5372 * y - 0.4986 * z));
  rgb.g = ToByte(Companded(-0.9689 * x + 1.8758 * y + 0.0415 * z));
  rgb.b = ToByte(Companded(0.0557 * x - 0.204 * y + 1.057 * z));
  return rgb;
}
