// Chroma key: guessing the key colour and removing it.
#include "proc/pixoranproc_chroma.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "platform/gdi/WinGdi.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_sample.h"

namespace {

int32_t Pack(const TRGB& C) { return C.r << 16 | C.g << 8 | C.b; }

void ChromaOf(int32_t R, int32_t G, int32_t B, double& Cb, double& Cr) {
  Cb = R * -0.000661725490196 + G * -0.00129905882353 + B * 0.00196078431373 + 0.5;
  Cr = R * 0.00196078431373 + G * -0.00164192156863 + B * -0.000318862745098 + 0.5;
}

double ChromaDistance(double Cb1, double Cr1, double Cb2, double Cr2) {
  const double a = Cb1 - Cb2, b = Cr1 - Cr2;
  return std::sqrt((a * a + b * b) / 2);
}

}  // namespace

void ColorToChroma(double& Cb, double& Cr, int32_t Color) {
  ChromaOf((Color >> 16) & 255, (Color >> 8) & 255, Color & 255, Cb, Cr);
}

double ChromaKeyMaxDistance(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t KeyColor) {
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB) return 0;
  double kcb, kcr;
  ColorToChroma(kcb, kcr, KeyColor);
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->Width());
  Y2 = std::min(Y2, Bitmap->Height());
  double best = 0;
  for (int32_t y = Y1; y < Y2; ++y) {
    const auto* p = reinterpret_cast<const TRGB*>(Bitmap->Scanline(y));
    for (int32_t x = X1; x < X2; ++x) {
      double cb, cr;
      ChromaOf(p[x].r, p[x].g, p[x].b, cb, cr);
      best = std::max(best, ChromaDistance(cb, cr, kcb, kcr));
    }
  }
  return 3 * best;
}

void GuessChromaKeyColor(TPXBitmap* Bitmap, TRGB& KeyColor, bool ComputeTolerance, double& Tolerance) {
  Tolerance = 210.0;
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB) return;
  const int32_t cw = Bitmap->Width() / 3, ch = Bitmap->Height() / 3;
  const int32_t iw = MulDiv(cw, 66, 100), ih = MulDiv(ch, 66, 100);
  // A cell with fewer than two samples per axis has no hue spread to compare.
  if (iw < 2 || ih < 2) return;
  auto offset = [](int32_t k, int32_t size, int32_t inner) {
    if (k == 0) return MulDiv(size, 10, 100);
    if (k == 1) return (size - inner) / 2;
    return size - MulDiv(size, 10, 100) - inner;
  };
  int32_t bestSpread = INT32_MAX;
  TRect chosen;
  bool found = false;
  for (int32_t i = 0; i < 3; ++i)
    for (int32_t j = 0; j < 3; ++j) {
      const int32_t x = j * cw + offset(j, cw, iw), y = i * ch + offset(i, ch, ih);
      int32_t spread = 0;
      TRGB average;
      SampleAverageColor(Bitmap, nullptr, x, y, x + iw, y + ih, spread, 225, false, average);
      if (spread < bestSpread) {
        bestSpread = spread;
        KeyColor = average;
        chosen = TRect(x, y, x + iw, y + ih);
        found = true;
      }
    }
  if (found && ComputeTolerance)
    Tolerance = ChromaKeyMaxDistance(Bitmap, chosen.Left, chosen.Top, chosen.Right, chosen.Bottom, Pack(KeyColor));
}

void RemoveChromaKey(TPXBitmap* Bitmap, TPXMask* Mask, int32_t MinSaturation, TRGB KeyColor, double Tolerance,
                     int32_t FeatherRadius, int32_t EdgeMode, bool CleanAlpha, int32_t MaskValue, bool InvertMask,
                     const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB || Bitmap->IsEmpty()) return;
  if (KeyColor == TRGB{255, 255, 255}) MinSaturation = 0;
  const double threshold = Tolerance / 3;
  double kcb, kcr;
  ColorToChroma(kcb, kcr, Pack(KeyColor));
  int32_t kh, ks, kv;
  RGBToHSV(kh, ks, kv, static_cast<uint32_t>(Pack(KeyColor)));
  int32_t k = 2;
  double m = 3;
  switch (EdgeMode) {
    case 1: k = 8, m = 1; break;
    case 2: k = 4, m = 1; break;
    case 3: k = 2, m = 1; break;
    case 4: k = 2, m = 2; break;
    default: break;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  TPXBitmap* alpha = Mask ? nullptr : Bitmap->GetAlphaChannel();
  if (!Mask && !alpha) return;
  // u^k of every hue distance (0 .. 360), as the per-pixel pow gave it.
  std::vector<double> weightOf(361);
  for (int32_t dh = 0; dh <= 360; ++dh) {
    const double u = 1.0 - dh / 180.0;
    weightOf[static_cast<size_t>(dh)] = u > 0 ? std::pow(u, k) : 0;
  }
  // What happens to a pixel depends on its colour alone: the decisions of recent colours are
  // kept in a small table indexed by a hash of the colour.
  enum : uint8_t { kKeep, kKey, kRecolour };
  struct TDecision {
    uint32_t Colour = 0xFFFFFFFF;  // packed colour, or no colour yet
    uint8_t Action = kKeep;
    TRGB Out;
  };
  constexpr uint32_t kCacheBits = 12;
  std::vector<TDecision> cache(size_t{1} << kCacheBits);
  auto decide = [&](const TRGB& C) -> const TDecision& {
    const auto packed = static_cast<uint32_t>(Pack(C));
    TDecision& e = cache[(packed * 2654435761u) >> (32 - kCacheBits)];
    if (e.Colour == packed) return e;
    e.Colour = packed;
    double cb, cr;
    ChromaOf(C.r, C.g, C.b, cb, cr);
    const double d = ChromaDistance(cb, cr, kcb, kcr);
    int32_t hh, ss, vv;
    RGBToHSV(hh, ss, vv, packed);
    e.Action = kKeep;
    if (d <= threshold && ss >= MinSaturation) {
      e.Action = kKey;
    } else if (EdgeMode > 0 && 1.0 - std::abs(hh - kh) / 180.0 > 0) {
      const double wgt = weightOf[static_cast<size_t>(std::abs(hh - kh))] * ss * m;
      const int32_t cut = static_cast<int32_t>(wgt);  // wgt lies within 0 .. 3 x 99
      HSVToRGB(e.Out, hh, std::max(ss - cut, 0), vv);
      e.Action = kRecolour;
    }
    return e;
  };
  for (int32_t y = 0; y < h; ++y) {
    auto* p = reinterpret_cast<TRGB*>(Bitmap->Scanline(y));
    uint8_t* a = alpha ? alpha->Scanline(y) : nullptr;
    for (int32_t x = 0; x < w; ++x) {
      const TDecision& e = decide(p[x]);
      if (Mask) {
        if ((e.Action == kKey) != InvertMask) Mask->SetPixel(x, y, MaskValue);
        continue;
      }
      if (e.Action == kKey) {
        p[x] = TRGB{};
        a[x] = 0;
      } else if (e.Action == kRecolour) {
        p[x] = e.Out;
        a[x] = 255;
      }
    }
    if (OnProgress) OnProgress(Sender, static_cast<int32_t>(static_cast<double>(y) / h * 100));
  }
  if (!alpha) return;
  alpha->FFull = 0;
  if (CleanAlpha) RemoveSpeckles(alpha, false, false, 6, 6, false);
  if (FeatherRadius > 0) Bitmap->FeatherAlphaEdges(FeatherRadius);
}
