// Size rule, routing by filter and pixel format, the nearest stretch and small helpers of the
// resampler.
#include "proc/pixoranproc_resample.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_resample_impl.h"

namespace {

// One side of the new size: -1 keeps the aspect ratio against the other side (Other of
// OtherSrc), 0 keeps the source's side, other negatives count as positive; at least 1.
int32_t ResolveSide(int32_t Value, int32_t Src, int32_t OtherSrc, int32_t Other) {
  if (Value == -1)
    Value = OtherSrc != 0 ? static_cast<int32_t>(static_cast<int64_t>(Src) * Other / OtherSrc) : 0;
  else if (Value == 0)
    Value = Src;
  else if (Value < 0)
    Value = Value == INT32_MIN ? INT32_MAX : -Value;
  return Value <= 0 ? 1 : Value;
}

}  // namespace

void CalcResampleSize(int32_t& Width, int32_t& Height, int32_t SrcWidth, int32_t SrcHeight, bool Fit) {
  if (Width <= 0 || Height <= 0) Fit = false;
  if (Width < 0 && Height < 0) return;
  Width = ResolveSide(Width, SrcWidth, SrcHeight, Height);
  Height = ResolveSide(Height, SrcHeight, SrcWidth, Width);
  if (Fit && SrcWidth > 0 && SrcHeight > 0) {
    int32_t w = Width, h = Height;
    CalcFitSize(SrcWidth, SrcHeight, Width, Height, false, true, w, h);
    Width = std::max(w, 1);
    Height = std::max(h, 1);
  }
}

namespace {

// Dst in Src's pixel format at its own size (the paths that copy pixel bytes need it).
void MatchFormat(TPXBitmap* Src, TPXBitmap* Dst) {
  if (Dst->PixelFormat() == Src->PixelFormat()) return;
  if (!Dst->Allocate(Dst->Width(), Dst->Height(), Src->PixelFormat())) throw EOutOfMemory("Out of memory");
}

int32_t PixelBytes(TPXPixelFormat F) {
  switch (F) {
    case px8p:
    case px8g: return 1;
    case px16g: return 2;
    case px24RGB:
    case pxCIELab: return 3;
    case px32f:
    case pxCMYK:
    case px32RGB: return 4;
    case pxRGB48: return 6;
    default: return 0;
  }
}

}  // namespace

void ResampleWithAlpha(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, const TPXProgressEvent& OnProgress,
                       TObject* Sender) {
  if (!Src || !Dst) return;
  if (Src->Width() == Dst->Width() && Src->Height() == Dst->Height()) {
    Dst->AssignFrom(Src, false);
    return;
  }
  if (!RsUsable(Src) || !RsUsable(Dst)) return;
  Filter = RsMapScalerFilter(RsSaneFilter(Filter));
  if (Filter == rfNone) {
    MatchFormat(Src, Dst);
    StretchNearest(Src, Dst, Sender, OnProgress);
  } else if (Src->PixelFormat() == px1g) {
    const TPXPixelFormat f = Filter == rfProjectBW || Filter == rfProjectWB ? px1g : px24RGB;
    if (Dst->PixelFormat() != f && !Dst->Allocate(Dst->Width(), Dst->Height(), f))
      throw EOutOfMemory("Out of memory");
    ResampleMono(Src, Dst, Filter);
  } else {
    MatchFormat(Src, Dst);
    ResampleBitmap(Src, Dst, Src->PeekAlphaChannel(), Filter, OnProgress, Sender, nullptr);
  }
  TPXBitmap* srcAlpha = Src->PeekAlphaChannel();
  if (!srcAlpha || !RsUsable(srcAlpha)) return;
  TPXBitmap* dstAlpha = Dst->GetAlphaChannel();
  if (!dstAlpha) return;
  if (dstAlpha->Width() != Dst->Width() || dstAlpha->Height() != Dst->Height() || dstAlpha->PixelFormat() != px8g)
    if (!dstAlpha->Allocate(Dst->Width(), Dst->Height(), px8g)) throw EOutOfMemory("Out of memory");
  if (Filter == rfNone)
    StretchNearest(srcAlpha, dstAlpha, nullptr, TPXProgressEvent());
  else
    ResampleGray8(srcAlpha, dstAlpha, Filter, nullptr);
  dstAlpha->FFull = srcAlpha->FFull;
}

void ResampleInPlace(TPXBitmap* Bitmap, TResampleFilter Filter, int32_t NewWidth, int32_t NewHeight,
                     const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || NewWidth <= 0 || NewHeight <= 0) return;
  if (NewWidth == Bitmap->Width() && NewHeight == Bitmap->Height()) return;
  if (!RsUsable(Bitmap)) return;
  auto copy = std::make_unique<TPXBitmap>();
  copy->AssignFrom(Bitmap, false);
  Bitmap->ResizeCanvas(NewWidth, NewHeight, 0, 255, 0, 0);
  ResampleWithAlpha(copy.get(), Bitmap, Filter, OnProgress, Sender);
}

void StretchNearest(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress) {
  if (!Src || !Dst || Dst->Width() <= 0 || Dst->Height() <= 0 || !RsUsable(Src)) return;
  const TPXPixelFormat f = Src->PixelFormat();
  if (f == pxNoFormat) return;
  MatchFormat(Src, Dst);
  TPXAccessModeScope readHint(Src, pxamRead), writeHint(Dst, pxamWrite);
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const double rx = static_cast<double>(sW) / dW, ry = static_cast<double>(sH) / dH;
  std::vector<int32_t> cols(static_cast<size_t>(dW));
  for (int32_t i = 0; i < dW; ++i) cols[static_cast<size_t>(i)] = std::min(sW - 1, RsTrunc(i * rx));
  const int32_t bpp = PixelBytes(f);
  TRsProgress progress(OnProgress, Sender);
  const double pf = 100 / (dH + 0.5);
  for (int32_t y = 0; y < dH; ++y) {
    const int32_t sy = std::min(sH - 1, RsTrunc(y * ry));
    const uint8_t* s = Src->Scanline(sy);
    uint8_t* d = Dst->Scanline(y);
    if (s && d) {
      if (f == px1g) {
        for (int32_t x = 0; x < dW; ++x) SetPixelBit(d, x, GetPixelBit(s, cols[static_cast<size_t>(x)]));
      } else if (bpp == 1) {
        for (int32_t x = 0; x < dW; ++x) d[x] = s[cols[static_cast<size_t>(x)]];
      } else if (bpp == 3) {
        for (int32_t x = 0; x < dW; ++x) {
          const uint8_t* p = s + cols[static_cast<size_t>(x)] * 3;
          d[x * 3] = p[0];
          d[x * 3 + 1] = p[1];
          d[x * 3 + 2] = p[2];
        }
      } else {
        for (int32_t x = 0; x < dW; ++x)
          std::memcpy(d + static_cast<int64_t>(x) * bpp, s + static_cast<int64_t>(cols[static_cast<size_t>(x)]) * bpp,
                      static_cast<size_t>(bpp));
      }
    }
    progress.Report(RsTrunc(y * pf));
  }
  if (f == px8p) Src->CopyPaletteTo(Dst);
}

void FillTransparentPixels(TPXBitmap* Bitmap, uint32_t Color) {
  // A picture without an alpha channel has no transparent pixel; none is created.
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB || !RsUsable(Bitmap)) return;
  TPXBitmap* alpha = Bitmap->PeekAlphaChannel();
  if (!alpha || alpha->Width() != Bitmap->Width() || alpha->Height() != Bitmap->Height()) return;
  const TRGB c{static_cast<uint8_t>(Color), static_cast<uint8_t>(Color >> 8), static_cast<uint8_t>(Color >> 16)};
  for (int32_t y = 0; y < Bitmap->Height(); ++y) {
    auto* row = reinterpret_cast<TRGB*>(Bitmap->Scanline(y));
    const uint8_t* a = alpha->Scanline(y);
    if (!row || !a) continue;
    for (int32_t x = 0; x < Bitmap->Width(); ++x)
      if (a[x] == 0) row[x] = c;
  }
}

void FillFromFirstPixel(TPXBitmap* Src, TPXBitmap* Dst) {
  if (!RsUsable(Src) || !RsUsable(Dst)) return;
  const TPXPixelFormat f = Src->PixelFormat();
  const int32_t bpp = PixelBytes(f);
  if (f == Dst->PixelFormat() && bpp > 0 && f != px8p) {
    // Same format: the first pixel's bytes themselves, so no channel is lost to a colour number.
    std::vector<uint8_t> px(Src->Scanline(0), Src->Scanline(0) + bpp);
    for (int32_t y = 0; y < Dst->Height(); ++y) {
      uint8_t* d = Dst->Scanline(y);
      if (!d) continue;
      for (int32_t x = 0; x < Dst->Width(); ++x) std::memcpy(d + static_cast<int64_t>(x) * bpp, px.data(), px.size());
    }
    return;
  }
  const TRGB c = Src->GetPixelRGB(0, 0);
  Dst->Fill(static_cast<double>(c.r | (c.g << 8) | (c.b << 16)));
}
