// TIFF photometric conversion: one decoded row into bitmap pixels and alpha, by the branch the
// page's layout and the bitmap's pixel format choose. Colour spaces other than RGB and grey go
// through the settings' colour-row hook, which may apply the file's colour profile.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/tiffilt_impl.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pxicc.h"

namespace tiffilt_detail {

namespace {

void Hook(const void* Source, int32_t Kind, void* Target, TIOParams* Params, int32_t Count) {
  TPXConvertColorRowsProc hook = GlobalSettingsInstance()->FConvertColorRows;
  if (hook) hook(Source, Kind, Target, Params, Count, iccfBGR);
}

uint16_t Word(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

uint8_t Unpremultiply(uint8_t c, uint8_t a) {
  if (a == 0) return c == 0 ? 0 : 255;
  return uint8_t(std::min<int32_t>(255, c * 255 / a));
}

// The sample (after the colour samples) that carries alpha and whether it is associated; -1 when
// none does.
int32_t AlphaSample(const TTIFFReaderContext& C, int32_t ColourSamples, bool& Associated) {
  Associated = false;
  const int32_t extra = C.SamplesPerPixel - ColourSamples;
  if (extra <= 0) return -1;
  if (C.ExtraSampleCount == 0) return -1;
  for (int32_t j = 0; j < std::min(extra, C.ExtraSampleCount); ++j)
    if (C.ExtraSamples[size_t(j)] == 1 || C.ExtraSamples[size_t(j)] == 2) {
      Associated = C.ExtraSamples[size_t(j)] == 1;
      return ColourSamples + j;
    }
  return -1;
}

}  // namespace

TConvert ChooseConversion(const TTIFFReaderContext& C, TPXPixelFormat F) {
  const int32_t p = C.Photometric, b = C.BitsPerSample, s = C.SamplesPerPixel;
  const bool grey = p == 0 || p == 1;
  switch (p) {
    case 2:
      if (b == 8 && s >= 3 && F == px24RGB) return TConvert::Rgb8;
      if (b == 16 && s >= 3 && (F == pxRGB48 || F == px24RGB)) return TConvert::Rgb16;
      if (b == 16 && s == 1 && F == px24RGB) return TConvert::Rgb555;
      return TConvert::None;
    case 3:
      if (b >= 1 && b <= 8 && (F == px8p || F == px24RGB || (b == 1 && F == px24RGB)) && !C.ColorMap.empty())
        return TConvert::Palette;
      return TConvert::None;
    case 5:
      if (b == 8 && s >= 4 && (F == pxCMYK || F == px24RGB)) return TConvert::Cmyk8;
      if (b == 16 && s >= 4 && (F == pxCMYK || F == px24RGB)) return TConvert::Cmyk16;
      return TConvert::None;
    case 8:
      if (b == 8 && s >= 3 && F == px24RGB) return TConvert::Lab8;
      return TConvert::None;
    case 6:
      if (b == 8 && s == 3 && C.YCbCrSubsampleH == 2 && C.YCbCrSubsampleV == 1 && F == px24RGB && C.Compression != 7)
        return TConvert::YCbCr21;
      return TConvert::None;
    default:
      break;
  }
  if (!grey) return TConvert::None;
  if (b == 1 && s == 1 && F == px1g) return TConvert::Bilevel;
  if ((b == 8 || b == 4 || b == 2 || b == 7 || b == 1) && (F == px8g || F == px24RGB)) return TConvert::Grey8;
  if (b == 16 && (F == px16g || F == px24RGB)) return TConvert::Grey16;
  if (b == 12 && s == 1 && p == 1 && (F == px16g || F == px24RGB)) return TConvert::Grey12;
  if (b == 32 && C.SampleFormat == 3 && F == px32f) return TConvert::Float;
  return TConvert::None;
}

void ConvertRow(TTIFFReaderContext& C, TPXBitmap* Bitmap, const uint8_t* Row, int32_t Y, int32_t X, int32_t Count) {
  const TPXPixelFormat f = Bitmap->PixelFormat();
  const int32_t s = C.SamplesPerPixel;
  uint8_t* out = Bitmap->Scanline(Y);
  uint8_t* mask = (!C.IgnoreAlpha && C.AlphaMask && Y < C.AlphaMask->Height()) ? C.AlphaMask->GetScanline(Y) : nullptr;
  if (mask) mask += X;
  auto* rgb = reinterpret_cast<TRGB*>(out) + X;
  const bool white0 = C.Photometric == 0;
  switch (C.Branch) {
    case TConvert::Rgb8: {
      if (s == 3) {
        Hook(Row, iccfRGB, rgb, C.Params, Count);
        break;
      }
      bool assoc = false;
      const int32_t a = s == 4 && C.ExtraSampleCount == 0 ? -1 : AlphaSample(C, 3, assoc);
      const int32_t a4 = s == 4 && C.ExtraSampleCount > 0 && C.ExtraSample0 >= 1 ? 3 : a;
      const bool assoc4 = s == 4 ? C.ExtraSample0 == 1 : assoc;
      for (int32_t x = 0; x < Count; ++x) {
        const uint8_t* p = Row + size_t(x) * size_t(s);
        TRGB c{p[2], p[1], p[0]};
        if (a4 >= 0) {
          const uint8_t al = p[a4];
          if (assoc4) c = TRGB{Unpremultiply(c.b, al), Unpremultiply(c.g, al), Unpremultiply(c.r, al)};
          if (mask) mask[x] = al;
        }
        rgb[x] = c;
      }
      break;
    }
    case TConvert::Rgb16: {
      bool assoc = false;
      const int32_t a = AlphaSample(C, 3, assoc);
      for (int32_t x = 0; x < Count; ++x) {
        const uint8_t* p = Row + size_t(x) * size_t(s) * 2;
        if (f == pxRGB48) {
          reinterpret_cast<TRGB48*>(out)[X + x] = TRGB48{Word(p), Word(p + 2), Word(p + 4)};
        } else {
          TRGB c{uint8_t(Word(p + 4) >> 8), uint8_t(Word(p + 2) >> 8), uint8_t(Word(p) >> 8)};
          if (a >= 0 && assoc) {
            const uint8_t al = uint8_t(Word(p + 2 * a) >> 8);
            c = TRGB{Unpremultiply(c.b, al), Unpremultiply(c.g, al), Unpremultiply(c.r, al)};
          }
          rgb[x] = c;
        }
        if (a >= 0 && mask) mask[x] = uint8_t(Word(p + 2 * a) >> 8);
      }
      break;
    }
    case TConvert::Rgb555:
      for (int32_t x = 0; x < Count; ++x) {
        const uint16_t v = uint16_t(Row[2 * x] | (Row[2 * x + 1] << 8));
        rgb[x] = TRGB{uint8_t((v & 31) << 3), uint8_t(((v >> 5) & 31) << 3), uint8_t(((v >> 10) & 31) << 3)};
      }
      break;
    case TConvert::Palette: {
      const size_t n = C.ColorMap.size();
      for (int32_t x = 0; x < Count; ++x) {
        const uint8_t i = Row[size_t(x) * size_t(s)];
        if (f == px8p)
          out[X + x] = i;
        else
          rgb[x] = i < n ? C.ColorMap[i] : TRGB{0, 0, 0};
        if (mask && s == 2 && C.BitsPerSample == 8) mask[x] = Row[size_t(x) * 2 + 1];
      }
      break;
    }
    case TConvert::Grey8:
      for (int32_t x = 0; x < Count; ++x) {
        const uint8_t v0 = Row[size_t(x) * size_t(s)];
        const uint8_t v = white0 ? uint8_t(255 - v0) : v0;
        if (f == px8g)
          out[X + x] = v;
        else
          rgb[x] = TRGB{v, v, v};
        if (mask && s >= 2 && C.BitsPerSample == 8) mask[x] = Row[size_t(x) * size_t(s) + 1];
      }
      break;
    case TConvert::Grey16: {
      const bool isSigned = C.SampleFormat == 2;
      for (int32_t x = 0; x < Count; ++x) {
        uint16_t v = Word(Row + size_t(x) * size_t(s) * 2);
        if (white0)
          v = uint16_t(65535 - v);
        else if (isSigned)
          v = uint16_t(v ^ 0x8000);
        if (f == px16g) {
          reinterpret_cast<uint16_t*>(out)[X + x] = v;
        } else {
          const uint8_t g = uint8_t(v >> 8);
          rgb[x] = TRGB{g, g, g};
        }
        if (mask && s >= 2) mask[x] = uint8_t(Word(Row + size_t(x) * size_t(s) * 2 + 2) >> 8);
      }
      break;
    }
    case TConvert::Grey12:
      for (int32_t x = 0; x < Count; ++x) {
        const uint8_t* p = Row + size_t(x / 2) * 3;
        uint16_t v = (x & 1) == 0 ? uint16_t((p[0] << 8) | (p[1] & 0xF0)) : uint16_t(((p[1] & 0x0F) << 12) | (p[2] << 4));
        if (f == px16g) {
          reinterpret_cast<uint16_t*>(out)[X + x] = v;
        } else {
          const uint8_t g = uint8_t(v >> 8);
          rgb[x] = TRGB{g, g, g};
        }
      }
      break;
    case TConvert::Float:
      for (int32_t x = 0; x < Count; ++x)
        std::memcpy(out + size_t(X + x) * 4, Row + size_t(x) * size_t(s) * 4, 4);
      break;
    case TConvert::Bilevel: {
      const bool invert = (C.Photometric == 0 && (C.Compression == 1 || C.Compression >= 5)) ||
                          (C.Photometric == 1 && C.Compression >= 2 && C.Compression <= 4);
      const int32_t bytes = (Count + 7) / 8;
      uint8_t* d = out + X / 8;
      for (int32_t k = 0; k < bytes; ++k) d[k] = invert ? uint8_t(~Row[k]) : Row[k];
      break;
    }
    case TConvert::Cmyk8:
    case TConvert::Cmyk16: {
      const bool wide = C.Branch == TConvert::Cmyk16;
      std::vector<TCMYK> work(static_cast<size_t>(Count));
      auto* cmyk = f == pxCMYK ? reinterpret_cast<TCMYK*>(out) + X : work.data();
      for (int32_t x = 0; x < Count; ++x) {
        uint8_t v[4];
        for (int k = 0; k < 4; ++k)
          v[k] = wide ? uint8_t((Word(Row + (size_t(x) * size_t(s) + size_t(k)) * 2) >> 8) ^ 0xFF)
                      : uint8_t(255 - Row[size_t(x) * size_t(s) + size_t(k)]);
        cmyk[x] = TCMYK{v[0], v[1], v[2], v[3]};
        if (mask && s >= 5 && C.ExtraSample0 >= 1)
          mask[x] = wide ? uint8_t(Word(Row + (size_t(x) * size_t(s) + 4) * 2) >> 8) : Row[size_t(x) * size_t(s) + 4];
      }
      if (f != pxCMYK) Hook(work.data(), iccfCMYK, rgb, C.Params, Count);
      break;
    }
    case TConvert::Lab8: {
      if (s == 3) {
        Hook(Row, iccfLab, rgb, C.Params, Count);
        break;
      }
      std::vector<uint8_t> lab(size_t(Count) * 3);
      for (int32_t x = 0; x < Count; ++x) std::memcpy(&lab[size_t(x) * 3], Row + size_t(x) * size_t(s), 3);
      Hook(lab.data(), iccfLab, rgb, C.Params, Count);
      break;
    }
    case TConvert::YCbCr21: {
      std::vector<uint8_t> ycc(size_t(Count) * 3 + 3);
      for (int32_t x = 0; x < Count; ++x) {
        const uint8_t* p = Row + size_t(x / 2) * 4;
        ycc[size_t(x) * 3] = p[x & 1];
        ycc[size_t(x) * 3 + 1] = p[2];
        ycc[size_t(x) * 3 + 2] = p[3];
      }
      Hook(ycc.data(), iccf3Channel, rgb, C.Params, Count);
      break;
    }
    case TConvert::None:
      break;
  }
}

}  // namespace tiffilt_detail
