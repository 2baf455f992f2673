#include "io/pxcolorrows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/pxcolorspace.h"
#include "core/pxsettings.h"
#include "io/pxxBitmaps_params.h"

namespace {

TPXICC* SourceProfile(TIOParams* Params) {
  if (!Params) return nullptr;
  TPXICC* in = Params->InputICC();
  if (Params->DefaultInputICC() && (!in || !in->IsValid())) in = Params->DefaultInputICC();
  return in;
}

bool TransformThroughProfile(const void* Input, TPXICCFormat InFormat, void* Output, TIOParams* Params,
                             int32_t Count, TPXICCFormat OutFormat) {
  TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  if (!settings->FColorProfileOnLoad || !Params) return false;
  TPXICC* source = SourceProfile(Params);
  if (!source || !source->IsValid() || source->Applied()) return false;
  TPXICC* target = Params->GetOutputICCProfile();
  if (!target || !target->IsValid() || !source->IsCompatibleFormat(InFormat)) return false;
  return source->Transform(target, InFormat, Count, Output, Input, 0, 0, OutFormat);
}

uint8_t GreyOf(const TRGB& c, const TPXPixoranGlobalSettings* s) {
  const int32_t v = (c.r * s->FGrayWeightRed + c.g * s->FGrayWeightGreen + c.b * s->FGrayWeightBlue) / 100;
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

TRGB YCbCrToRGB(uint8_t Y, uint8_t Cb, uint8_t Cr) {
  const double y = Y, cb = Cb - 128.0, cr = Cr - 128.0;
  auto clamp = [](double v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); };
  return TRGB{clamp(y + 1.772 * cb), clamp(y - 0.344136 * cb - 0.714136 * cr), clamp(y + 1.402 * cr)};
}

void ConvertColorRow(const void* Input, TPXICCFormat InFormat, void* Output, TIOParams* Params, int32_t Count,
                     TPXICCFormat OutFormat) {
  if (!Input || !Output || Count <= 0) return;
  if (TransformThroughProfile(Input, InFormat, Output, Params, Count, OutFormat)) return;

  const auto* in = static_cast<const uint8_t*>(Input);
  auto* out = static_cast<uint8_t*>(Output);
  const TPXPixoranGlobalSettings* settings = GlobalSettingsInstance();
  if (OutFormat == iccfBGR) {
    auto* rgb = static_cast<TRGB*>(Output);
    switch (InFormat) {
      case iccfRGB:
        for (int32_t i = 0; i < Count; ++i, in += 3) rgb[i] = TRGB{in[2], in[1], in[0]};
        return;
      case iccfBGR:
        std::memmove(out, in, static_cast<size_t>(Count) * 3);
        return;
      case iccfCMYK:
        CmykToRgbRow(static_cast<const TCMYK*>(Input), rgb, Count);
        return;
      case iccfCMYK6:
        // Ink bytes: complemented into the stored form (the input stays as it is).
        for (int32_t i = 0; i < Count; ++i, in += 6)
          rgb[i] = CmykToRgbPixel(TCMYK{static_cast<uint8_t>(255 - in[0]), static_cast<uint8_t>(255 - in[1]),
                                        static_cast<uint8_t>(255 - in[2]), static_cast<uint8_t>(255 - in[3])});
        return;
      case iccfLab: {
        const auto* lab = static_cast<const TCIELab*>(Input);
        for (int32_t i = 0; i < Count; ++i) rgb[i] = CIELabToRGB(lab[i]);
        return;
      }
      case iccfGray:
        for (int32_t i = 0; i < Count; ++i) rgb[i] = TRGB{in[i], in[i], in[i]};
        return;
      case iccfGray16: {
        for (int32_t i = 0; i < Count; ++i) {
          uint16_t v;
          std::memcpy(&v, in + 2 * i, 2);
          const auto hi = static_cast<uint8_t>(v >> 8);
          rgb[i] = TRGB{hi, hi, hi};
        }
        return;
      }
      case iccfRGB48:  // the high byte of each little-endian word
        for (int32_t i = 0; i < Count; ++i, in += 6) rgb[i] = TRGB{in[5], in[3], in[1]};
        return;
      case iccfRGB48BE:  // the first byte of each big-endian word
        for (int32_t i = 0; i < Count; ++i, in += 6) rgb[i] = TRGB{in[4], in[2], in[0]};
        return;
      case iccf3Channel:  // Y, Cb, Cr (JFIF)
        for (int32_t i = 0; i < Count; ++i, in += 3) rgb[i] = YCbCrToRGB(in[0], in[1], in[2]);
        return;
      default:
        return;
    }
  }
  if (InFormat != iccfBGR) return;
  const auto* rgb = static_cast<const TRGB*>(Input);
  switch (OutFormat) {
    case iccfCMYK:
      RgbToCmykRow(rgb, static_cast<TCMYK*>(Output), Count);
      return;
    case iccfLab: {
      auto* lab = static_cast<TCIELab*>(Output);
      for (int32_t i = 0; i < Count; ++i) lab[i] = RGBToCIELab(rgb[i]);
      return;
    }
    case iccfGray:
      for (int32_t i = 0; i < Count; ++i) out[i] = GreyOf(rgb[i], settings);
      return;
    case iccfGray16:
      for (int32_t i = 0; i < Count; ++i) {
        const auto v = static_cast<uint16_t>(GreyOf(rgb[i], settings) << 8);
        std::memcpy(out + 2 * i, &v, 2);
      }
      return;
    default:
      return;
  }
}
