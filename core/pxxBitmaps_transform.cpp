// TPXBitmap operations that drive the processing engine's resamplers and rotations: rotation by
// any angle with the alpha channel alongside, resampling in place, the rectangle stretch into
// another bitmap and compositing with both alpha channels.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_clip.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_rotate.h"

namespace {

// A whole number of degrees whose remainder by 90 is 0.
bool IsQuarterMultiple(double Angle) { return Angle == std::trunc(Angle) && std::fmod(Angle, 90.0) == 0; }

int32_t ClampByte(int64_t V) { return static_cast<int32_t>(std::clamp<int64_t>(V, 0, 255)); }

// One axis of a source span [S, S + SL) mapped in proportion onto the destination span
// [D, D + DL), cut to the source's [0, Limit): the remaining source and destination spans.
// False when nothing remains.
struct TSpan {
  int32_t S, SL, D, DL;
};
bool ClipProportional(int64_t S, int64_t SL, int64_t D, int64_t DL, int64_t Limit, TSpan& Out) {
  const int64_t s1 = std::max<int64_t>(S, 0), s2 = std::min<int64_t>(S + SL, Limit);
  if (s1 >= s2) return false;
  // Nearest destination position of each cut, in integers.
  auto at = [&](int64_t s) { return D + ((s - S) * DL * 2 + SL) / (2 * SL); };
  const int64_t d1 = at(s1), d2 = at(s2);
  if (d1 >= d2) return false;
  Out = {static_cast<int32_t>(s1), static_cast<int32_t>(s2 - s1), static_cast<int32_t>(d1),
         static_cast<int32_t>(d2 - d1)};
  return true;
}

// The destination positions [From, To] of one axis whose mapped source position lies in
// [0, Limit), with the map in Map (indexed from From). Positions run over [Lo, Hi] (already cut to
// the destination picture). Map(p) = S + ((p - D) * Step >> 14). False when none.
bool MapAxis(int64_t S, int64_t D, int64_t Step, int32_t Lo, int32_t Hi, int32_t Limit, int32_t& From, int32_t& To,
             std::vector<int32_t>& Map) {
  From = 0;
  To = -1;
  Map.clear();
  for (int32_t p = Lo; p <= Hi; ++p) {
    const int64_t s = S + (((p - D) * Step) >> 14);
    if (s < 0) continue;
    if (s >= Limit) break;  // the map only grows
    if (Map.empty()) From = p;
    Map.push_back(static_cast<int32_t>(s));
    To = p;
  }
  return !Map.empty();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Rotation

void TPXBitmap::Rotate(double Angle, int32_t Mode, TColor Background) {
  RotateEx(Angle, Mode, Background, FOnProgress, this);
}

void TPXBitmap::RotateEx(double Angle, int32_t Mode, TColor Background, const TPXProgressEvent& OnProgress,
                         TObject* Sender) {
  if (Angle == 0 || !std::isfinite(Angle) || IsEmpty()) return;
  const TPXPixelFormat fmt = PixelFormat();
  // The alpha channel is turned on its own and put back; the picture's routines never see it.
  std::unique_ptr<TPXBitmap> alpha = DetachAlphaChannel(false);
  try {
    if (Mode != 0 && (fmt == px24RGB || fmt == px1g)) {
      if (fmt == px24RGB && Mode != 1 && !IsQuarterMultiple(Angle)) {
        if (alpha) RotateGraySmooth(alpha.get(), Angle, 0, Mode);
        RotateSmooth(this, Angle, Background, Mode, OnProgress, Sender);
      } else {
        if (alpha) {
          if (fmt == px1g) RotateGrayNearest(alpha.get(), Angle, 0);
          else RotateGrayByShear(alpha.get(), Angle, true, 0);
        }
        RotateByShear(this, Angle, true, TColorToRGB(Background), OnProgress, Sender);
      }
    } else {
      if (alpha) RotateNearest(alpha.get(), Angle, 0);
      RotateNearest(this, Angle, Background, OnProgress, Sender);
    }
  } catch (...) {
    if (alpha && alpha->Width() == Width() && alpha->Height() == Height()) ReplaceAlphaChannel(std::move(alpha));
    throw;
  }
  if (alpha) {
    // Both sides follow the same size rule; keep the channel's size bound to the picture anyway.
    if (alpha->Width() != Width() || alpha->Height() != Height())
      alpha->ResizeCanvas(Width(), Height(), 0, 0, 1, 1);
    alpha->UpdateFull();
    ReplaceAlphaChannel(std::move(alpha));
  }
  DoChange();
}

// ---------------------------------------------------------------------------------------------
// Resampling

void TPXBitmap::Resample(int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter, bool Fit, bool OnlyShrink) {
  if (IsEmpty()) return;
  if (NewWidth == Width() && NewHeight == Height()) return;
  // Both sides negative resolve to nothing.
  if (NewWidth < 0 && NewHeight < 0) return;
  int32_t w = NewWidth, h = NewHeight;
  CalcResampleSize(w, h, Width(), Height(), Fit);
  if (!OnlyShrink || (w < Width() && h < Height())) ResampleInPlace(this, Filter, w, h, FOnProgress, this);
  DoChange();
}

void TPXBitmap::ResampleByFactor(double Factor, TResampleFilter Filter) {
  if (IsEmpty() || Factor == 0) return;
  // A negative or unusable factor names no size.
  if (!(Factor > 0) || !std::isfinite(Factor)) return;
  const double w = Factor * Width(), h = Factor * Height();
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (w > kMax || h > kMax) return;
  // A factor so small that a side rounds to 0 still leaves one pixel (0 would mean "keep").
  Resample(std::max<int32_t>(1, Round32(w)), std::max<int32_t>(1, Round32(h)), Filter, false, false);
}

// ---------------------------------------------------------------------------------------------
// Rectangle stretch

void TPXBitmap::StretchRectTo(TPXBitmap* Dest, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                              int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                              TResampleFilter Filter, int32_t MaxAlpha, double Opacity) {
  if (!Dest || DstWidth <= 0 || DstHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0) return;
  if (IsEmpty() || Dest->IsEmpty() || Dest->PixelFormat() != px24RGB) return;
  const TPXPixelFormat fmt = PixelFormat();

  if (Filter != rfNone && (SrcWidth != DstWidth || SrcHeight != DstHeight)) {
    // Only the part of the source rectangle inside this picture is resampled, into the part of
    // the destination rectangle it covers.
    TSpan cx, cy;
    if (!ClipProportional(SrcX, SrcWidth, DstX, DstWidth, Width(), cx) ||
        !ClipProportional(SrcY, SrcHeight, DstY, DstHeight, Height(), cy))
      return;
    auto resized = std::make_unique<TPXBitmap>();
    if (fmt == px1g && !HasAlphaChannel() && cx.SL >= cx.DL) {
      if (!resized->Allocate(cx.DL, cy.DL, px24RGB)) return;
      ResampleMonoToGray(this, cx.S, cy.S, cx.S + cx.SL - 1, cy.S + cy.SL - 1, resized.get());
    } else {
      std::unique_ptr<TPXBitmap> part =
          CreateCrop(this, TRect(cx.S, cy.S, cx.S + cx.SL - 1, cy.S + cy.SL - 1));
      if (part->IsEmpty()) return;
      if (fmt != px1g && fmt != px24RGB) part->ChangePixelFormat(px24RGB);
      if (!resized->Allocate(cx.DL, cy.DL, part->PixelFormat())) return;
      ResampleWithAlpha(part.get(), resized.get(), Filter, TPXProgressEvent(), nullptr);
    }
    resized->StretchRectTo(Dest, cx.D, cy.D, cx.DL, cy.DL, 0, 0, cx.DL, cy.DL, rfNone, MaxAlpha, Opacity);
    return;
  }

  // Pixels come from px1g or px24RGB rows; any other format, and a stretch within one bitmap, go
  // through a px24RGB copy of the part of the source rectangle inside this picture.
  if ((fmt != px1g && fmt != px24RGB) || Dest == this) {
    const int32_t x1 = std::max(SrcX, 0), y1 = std::max(SrcY, 0);
    const int32_t x2 = static_cast<int32_t>(std::min<int64_t>(int64_t{SrcX} + SrcWidth, Width())) - 1;
    const int32_t y2 = static_cast<int32_t>(std::min<int64_t>(int64_t{SrcY} + SrcHeight, Height())) - 1;
    if (x1 > x2 || y1 > y2) return;
    std::unique_ptr<TPXBitmap> part = CreateCrop(this, TRect(x1, y1, x2, y2));
    if (part->IsEmpty()) return;
    if (part->PixelFormat() != px24RGB) part->ChangePixelFormat(px24RGB);
    part->StretchRectTo(Dest, DstX, DstY, DstWidth, DstHeight, SrcX - x1, SrcY - y1, SrcWidth, SrcHeight, rfNone,
                        MaxAlpha, Opacity);
    return;
  }

  // Column and row maps in 14-bit fixed point over the destination rectangle cut to the
  // destination picture; positions whose source lies outside this picture are left alone.
  const auto stepX = static_cast<int64_t>(static_cast<double>(SrcWidth) / DstWidth * 16384);
  const auto stepY = static_cast<int64_t>(static_cast<double>(SrcHeight) / DstHeight * 16384);
  const int32_t loX = std::max(DstX, 0), loY = std::max(DstY, 0);
  const int32_t hiX = static_cast<int32_t>(std::min<int64_t>(int64_t{DstX} + DstWidth, Dest->Width()) - 1);
  const int32_t hiY = static_cast<int32_t>(std::min<int64_t>(int64_t{DstY} + DstHeight, Dest->Height()) - 1);
  if (loX > hiX || loY > hiY) return;
  std::vector<int32_t> cols, rows;
  int32_t x1, x2, y1, y2;
  if (!MapAxis(SrcX, DstX, stepX, loX, hiX, Width(), x1, x2, cols) ||
      !MapAxis(SrcY, DstY, stepY, loY, hiY, Height(), y1, y2, rows))
    return;
  const int32_t n = x2 - x1 + 1;
  const bool straight = stepX == 16384;

  // Alpha: the mapped source alpha limited by MaxAlpha, or MaxAlpha alone, times Opacity.
  TPXBitmap* dstAlpha = Dest->GetAlphaChannel();
  TPXBitmap* srcAlpha = PeekAlphaChannel();
  const bool mapAlpha = srcAlpha && !srcAlpha->FFull && srcAlpha->Width() == Width() && srcAlpha->Height() == Height();
  uint8_t lut[256];
  for (int32_t a = 0; a < 256; ++a) lut[a] = static_cast<uint8_t>(ClampByte(Trunc(std::min(MaxAlpha, a) * Opacity)));
  const auto flat = static_cast<uint8_t>(ClampByte(Trunc(static_cast<long double>(MaxAlpha) * Opacity)));
  bool belowFull = false;
  for (int32_t y = y1; y <= y2; ++y) {
    const int32_t sy = rows[static_cast<size_t>(y - y1)];
    uint8_t* da = dstAlpha->Scanline(y) + x1;
    if (mapAlpha) {
      const uint8_t* sa = srcAlpha->Scanline(sy);
      for (int32_t i = 0; i < n; ++i) {
        da[i] = lut[sa[cols[static_cast<size_t>(i)]]];
        belowFull |= da[i] != 255;
      }
    } else {
      std::memset(da, flat, static_cast<size_t>(n));
      belowFull |= flat != 255;
    }
    const uint8_t* s = Scanline(sy);
    uint8_t* d = Dest->Scanline(y) + static_cast<int64_t>(x1) * 3;
    if (fmt == px1g) {
      for (int32_t i = 0; i < n; ++i, d += 3) {
        const uint8_t v = GetPixelBit(s, cols[static_cast<size_t>(i)]) ? 255 : 0;
        d[0] = d[1] = d[2] = v;
      }
    } else if (straight) {
      std::memcpy(d, s + static_cast<int64_t>(cols[0]) * 3, static_cast<size_t>(n) * 3);
    } else {
      for (int32_t i = 0; i < n; ++i, d += 3) std::memcpy(d, s + static_cast<int64_t>(cols[static_cast<size_t>(i)]) * 3, 3);
    }
  }
  if (belowFull) dstAlpha->FFull = 0;
  Dest->DoChange();
}

// ---------------------------------------------------------------------------------------------
// Compositing

void TPXBitmap::MergeWithAlpha(TPXBitmap* Source, int32_t DstX, int32_t DstY, int32_t SrcWidth, int32_t SrcHeight,
                               int32_t MaxAlpha, TResampleFilter Filter, uint8_t BlendOp, bool Resample,
                               int32_t SrcX, int32_t SrcY, double Opacity) {
  if (!Source || Source->IsEmpty() || IsEmpty()) return;
  if (SrcWidth == -1) SrcWidth = Source->Width();
  if (SrcHeight == -1) SrcHeight = Source->Height();
  if (SrcWidth <= 0 || SrcHeight <= 0) return;

  TPXBitmap* src = Source;
  std::unique_ptr<TPXBitmap> temp;
  if (Resample && (SrcWidth != Source->Width() || SrcHeight != Source->Height())) {
    temp = std::make_unique<TPXBitmap>();
    if (!temp->Allocate(SrcWidth, SrcHeight, Source->PixelFormat())) return;
    ResampleWithAlpha(Source, temp.get(), Filter, TPXProgressEvent(), nullptr);
    src = temp.get();
  } else if (Source == this) {
    temp = CreateCopy(this);  // read from a copy: the writes would otherwise feed later reads
    src = temp.get();
  }
  const TPXPixelFormat sf = src->PixelFormat();
  if (sf != px24RGB && sf != px32RGB) return;

  // The overlap, cut to both pictures.
  int64_t sx = SrcX, sy = SrcY, dx = DstX, dy = DstY, w = SrcWidth, h = SrcHeight;
  ClipCopySpan<int64_t>(sx, dx, w, src->Width(), Width());
  ClipCopySpan<int64_t>(sy, dy, h, src->Height(), Height());
  if (w <= 0 || h <= 0) return;

  TPXBitmap* dstAlpha = GetAlphaChannel();
  TPXBitmap* srcAlpha = sf == px24RGB ? src->PeekAlphaChannel() : nullptr;  // missing: opaque
  if (srcAlpha && (srcAlpha->Width() != src->Width() || srcAlpha->Height() != src->Height())) srcAlpha = nullptr;
  const int32_t maxAlpha = std::clamp(MaxAlpha, 0, 255);
  const double opacity = Opacity > 0 ? std::min(Opacity, 1.0) : 0.0;
  const auto op = static_cast<TPXBlendOperation>(BlendOp);
  const bool direct = PixelFormat() == px24RGB;
  const int32_t sBytes = sf == px24RGB ? 3 : 4;
  bool belowFull = false;
  for (int64_t j = 0; j < h; ++j) {
    const auto y = static_cast<int32_t>(dy + j);
    const uint8_t* s = src->Scanline(static_cast<int32_t>(sy + j)) + sx * sBytes;
    const uint8_t* sa = srcAlpha ? srcAlpha->Scanline(static_cast<int32_t>(sy + j)) + sx : nullptr;
    uint8_t* da = dstAlpha->Scanline(y) + dx;
    auto* drow = direct ? reinterpret_cast<TRGB*>(Scanline(y)) + dx : nullptr;
    for (int64_t i = 0; i < w; ++i, s += sBytes) {
      const int32_t a = sBytes == 4 ? s[3] : sa ? sa[i] : 255;
      const double as = std::min(a, maxAlpha) / 255.0 * opacity;
      const double ad = da[i] / 255.0;
      const double t = as, u = (1 - as) * ad, v = t + u;
      const TRGB sp{s[0], s[1], s[2]};
      TRGB d = direct ? drow[i] : GetPixelRGB(static_cast<int32_t>(dx + i), y);
      TRGB b = d;
      CombinePixels(sp, b, op, y);
      if (v != 0) {
        auto mix = [&](uint8_t B, uint8_t D) { return static_cast<uint8_t>(ClampByte(Round((B * t + D * u) / v))); };
        d = TRGB{mix(b.b, d.b), mix(b.g, d.g), mix(b.r, d.r)};
      } else {
        d = b;
      }
      da[i] = static_cast<uint8_t>(ClampByte(Round(v * 255)));
      belowFull |= da[i] != 255;
      if (direct) drow[i] = d;
      else SetPixelRGB(static_cast<int32_t>(dx + i), y, d.b | (d.g << 8) | (d.r << 16));
    }
  }
  if (belowFull) dstAlpha->FFull = 0;
  DoChange();
}
