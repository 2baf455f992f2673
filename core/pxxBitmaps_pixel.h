// Sample helpers shared by the pixel-format conversion, the pixel accessors and the processing
// engine's row routines: the grey formulas, clamped float samples and unaligned sample access.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/hypxdefs.h"
#include "core/pxsettings.h"

// The settings' grey weights (per cent), read once per operation.
struct TPXGreyWeights {
  int32_t R = 21;
  int32_t G = 71;
  int32_t B = 8;
  static TPXGreyWeights FromSettings() {
    const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    return {s->FGrayWeightRed, s->FGrayWeightGreen, s->FGrayWeightBlue};
  }
  // (R·wR + G·wG + B·wB) div 100, kept within a byte.
  uint8_t Grey(int32_t Red, int32_t Green, int32_t Blue) const {
    const int32_t v = (Red * R + Green * G + Blue * B) / 100;
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  uint8_t Grey(const TRGB& c) const { return Grey(c.r, c.g, c.b); }
};

// 16-bit grey with fixed weights: (R·212 + G·713 + B·75) div 1000 on 16-bit channels.
inline uint16_t PXGrey16(uint32_t R16, uint32_t G16, uint32_t B16) {
  return static_cast<uint16_t>((R16 * 212u + G16 * 713u + B16 * 75u) / 1000u);
}
inline uint16_t PXGrey16(const TRGB& c) { return PXGrey16(c.r * 257u, c.g * 257u, c.b * 257u); }

// Float grey of 8-bit channels: (R·0.2126 + G·0.7152 + B·0.0722) / 255.
inline float PXFloatGrey(const TRGB& c) {
  return static_cast<float>((c.r * 0.2126L + c.g * 0.7152L + c.b * 0.0722L) / 255);
}
// Float grey of 16-bit channels, scaled by 1/65535 so that white is 1.0.
inline float PXFloatGrey48(const TRGB48& c) {
  return static_cast<float>((c.r * 0.2126L + c.g * 0.7152L + c.b * 0.0722L) / 65535);
}

// A float sample (0.0 black .. 1.0 white) as a byte or word: clamped to 0..1 first (NaN is 0),
// then v·255 (v·65535) truncated.
inline uint8_t PXUnitToByte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 255;
  return static_cast<uint8_t>(v * 255.0);
}
inline uint16_t PXUnitToWord(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 65535;
  return static_cast<uint16_t>(v * 65535.0);
}

// Samples wider than a byte may lie unaligned (rows aligned to 8 or 16 bits).
template <class T>
inline T PXLoad(const void* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
inline void PXStore(void* p, T v) {
  std::memcpy(p, &v, sizeof v);
}

// A channel of Bits bits (the low bits of V) as 8 bits: its bits repeated until the byte is
// full, so that the largest value gives 255 (5 bits: v << 3 | v >> 2; 6 bits: v << 2 | v >> 4).
// Wider channels keep their top 8 bits; 0 bits give 0.
inline uint8_t PXWidenTo8(uint32_t V, int32_t Bits) {
  if (Bits <= 0) return 0;
  if (Bits >= 8) return static_cast<uint8_t>(V >> (Bits - 8));
  uint32_t r = (V & ((1u << Bits) - 1)) << (8 - Bits);
  for (int32_t have = Bits; have < 8; have *= 2) r |= r >> have;
  return static_cast<uint8_t>(r);
}

// A 16-bit 5-5-5 pixel (blue in the low bits, the top bit unused) as 8-bit channels.
inline TRGB PXFrom555(uint16_t V) {
  return TRGB{PXWidenTo8(V, 5), PXWidenTo8(V >> 5, 5), PXWidenTo8(V >> 10, 5)};
}
