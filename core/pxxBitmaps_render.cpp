// Rendering a rectangle of a bitmap into a rectangle of a px24RGB bitmap (clipping, column and
// row maps, resampling first, transparency, opacity, alpha, blend operation, display
// adjustments), its wrappers onto platform bitmaps and canvases, and printing in strips through
// packed DIBs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_text.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_access.h"
#include "platform/forms/Clipbrd.h"
#include "proc/pixoranproc_dib.h"
#include "proc/pixoranproc_resample.h"

namespace {

constexpr int32_t kOneToOne = 16384;

int32_t ClampTo(int64_t V, int64_t Lo, int64_t Hi) { return static_cast<int32_t>(std::clamp(V, Lo, Hi)); }

int32_t TruncSat(double V) {
  if (!(V == V)) return 0;
  return static_cast<int32_t>(std::clamp(std::trunc(V), -2147483648.0, 2147483647.0));
}

// Source position of destination position P: trunc((P - Origin) x Ratio + SrcStart) in 0..Limit.
int32_t SourceAt(int32_t P, int32_t Origin, double Ratio, int32_t SrcStart, int32_t Limit) {
  return ClampTo(TruncSat((static_cast<double>(P) - Origin) * Ratio + SrcStart), 0, Limit);
}

// A map for positions Origin..Last: entry i is the source position of Origin + i.
TPXIntegerArray BuildMap(int32_t Origin, int32_t Last, double Ratio, int32_t SrcStart, int32_t Size) {
  TPXIntegerArray m(static_cast<size_t>(Last - Origin + 1));
  for (int32_t i = 0; i <= Last - Origin; ++i) {
    m[static_cast<size_t>(i)] = ClampTo(TruncSat(i * Ratio + SrcStart), 0, Size - 1);
  }
  return m;
}

// A caller's map read from Origin: Last is lowered while its entry for Last lies past the source
// or the map ends before it.
void LowerToMap(const TPXIntegerArray& Map, int32_t Origin, int32_t First, int32_t& Last, int32_t Size) {
  while (Last >= First) {
    const int64_t i = int64_t{Last} - Origin;
    if (i < static_cast<int64_t>(Map.size()) && Map[static_cast<size_t>(i)] < Size) break;
    --Last;
  }
}

// The resampled rectangle of a render on this thread, kept for the next one: a view redraws
// rectangles of the same size again and again, and memory fresh from the system costs a fault
// per page, more than the resampling on some machines. Rectangles above kScratchKeep bytes are
// not kept. Taking empties the slot, so a render inside a render makes its own.
constexpr int64_t kScratchKeep = int64_t{48} << 20;
thread_local std::unique_ptr<TPXBitmap> tRenderScratch;

// A W x H bitmap of Format (empty when it cannot be had), with an alpha channel of its size from
// the previous use or none when WithAlpha is false; pixels outside what the caller writes are
// undefined.
std::unique_ptr<TPXBitmap> TakeRenderScratch(int32_t W, int32_t H, TPXPixelFormat Format, bool WithAlpha) {
  std::unique_ptr<TPXBitmap> b = std::move(tRenderScratch);
  if (!b) return TPXBitmap::CreateAllocated(W, H, Format);
  if (!WithAlpha) b->RemoveAlphaChannel(false, 0);
  if (!b->Allocate(W, H, Format)) b->FreeStorage(true);
  if (b->HasAlphaChannel() &&
      (b->PeekAlphaChannel()->Width() != W || b->PeekAlphaChannel()->Height() != H))
    b->RemoveAlphaChannel(false, 0);
  return b;
}

void KeepRenderScratch(std::unique_ptr<TPXBitmap> B) {
  if (!B || B->IsEmpty() || B->Location() != pxMemory) return;
  TPXBitmap* alpha = B->PeekAlphaChannel();
  const int64_t bytes = B->RowLen() * B->Height() + (alpha ? alpha->RowLen() * alpha->Height() : 0);
  if (bytes <= kScratchKeep) tRenderScratch = std::move(B);
}

// Whether a fast linear resampling of Src (SrcWidth x SrcHeight used) into the rectangle DestX,
// DestY, DestWidth, DestHeight (inside Dest) may be written straight into Dest: the 1:1 pass that
// would follow must be a plain copy of exactly the span the resampler writes. So: a plain 24-bit
// picture and a plain pass (no alpha, transparency, opacity, operation or display adjustment),
// real rows on both sides (neither is a view or virtual) whose addresses do not meet, sizes that
// really resample, and no clip rectangle or one meeting the rectangle (an empty meeting is left
// to the general road, whose clamped span differs from the resampler's).
bool DirectFastLinear(TPXBitmap* Src, TPXBitmap* Dest, const TRect* ClipRect, int32_t DestX, int32_t DestY,
                      int32_t DestWidth, int32_t DestHeight, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                      bool AlphaUsed, TResampleFilter Filter, int32_t Transparency, double Opacity,
                      TPXBlendOperation Operation) {
  if (Filter != rfFastLinear || Src->PixelFormat() != px24RGB || Dest->PixelFormat() != px24RGB) return false;
  if (AlphaUsed || Transparency < 255 || Opacity < 1.0 || Operation != pxboNormal) return false;
  if (Src->FChannelOffsetEnabled || Src->FContrast != 0 || Src->FDisplayRangeLow != 0 ||
      Src->FDisplayRangeHigh != 0)
    return false;
  if (Src->IsVirtual() || Dest->IsVirtual()) return false;
  if ((SrcWidth == DestWidth && SrcHeight == DestHeight) || (SrcWidth == 1 && SrcHeight == 1)) return false;
  if (DestX < 0 || DestY < 0 || DestWidth <= 0 || DestHeight <= 0 || DestX + DestWidth > Dest->Width() ||
      DestY + DestHeight > Dest->Height())
    return false;
  if (ClipRect) {
    const int32_t l = std::max(ClipRect->Left, DestX), r = std::min(ClipRect->Right, DestX + DestWidth - 1);
    const int32_t t = std::max(ClipRect->Top, DestY), b = std::min(ClipRect->Bottom, DestY + DestHeight - 1);
    if (l > r || t > b) return false;
  }
  // The bytes from the first to the end of the last row used on each side.
  auto rows = [](TPXBitmap* B, int32_t First, int32_t Last) {
    const auto a = reinterpret_cast<uintptr_t>(B->Scanline(First)), b = reinterpret_cast<uintptr_t>(B->Scanline(Last));
    const auto len = static_cast<uintptr_t>(std::max<int64_t>(B->RowLen(), 0));
    return a && b ? std::pair<uintptr_t, uintptr_t>(std::min(a, b), std::max(a, b) + len)
                  : std::pair<uintptr_t, uintptr_t>(0, 0);
  };
  const auto s = rows(Src, SrcY, SrcY + SrcHeight - 1), d = rows(Dest, DestY, DestY + DestHeight - 1);
  return s.first && d.first && (s.second <= d.first || d.second <= s.first);
}

}  // namespace

void TPXBitmap::RenderToPXBitmapEx(TPXBitmap* Dest, TPXIntegerArray& ColMap, TPXIntegerArray& RowMap,
                                   const TRect* ClipRect, int32_t DestX, int32_t DestY, int32_t DestWidth,
                                   int32_t DestHeight, int32_t SrcX, int32_t SrcY, int32_t SrcWidth,
                                   int32_t SrcHeight, bool EnableAlpha, bool RowReuse, int32_t Transparency,
                                   TResampleFilter Filter, bool FreeMaps, TPXBlendOperation Operation,
                                   double Opacity) {
  // Only 3-byte destinations are drawn into; the destination is never the source itself.
  if (!Dest || Dest == this || Dest->PixelFormat() != px24RGB) return;
  // The source is read only for the duration of a render.
  TPXAccessModeScope readOnly(this, pxamRead);
  const int32_t dw = Dest->Width(), dh = Dest->Height(), sw = Width(), sh = Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  if (DestWidth <= 0 || DestHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0) return;
  if (DestY > dh - 1 || DestX > dw - 1) return;
  Transparency = std::clamp(Transparency, 0, 255);
  if (!(Opacity == Opacity)) Opacity = 0;
  Opacity = std::clamp(Opacity, 0.0, 1.0);

  const double ratioX = static_cast<double>(SrcWidth) / DestWidth;
  const double ratioY = static_cast<double>(SrcHeight) / DestHeight;
  int64_t dx = DestX, dy = DestY, dW = DestWidth, dH = DestHeight, sx = SrcX, sy = SrcY, sW = SrcWidth,
          sH = SrcHeight;
  // A negative destination origin cuts the rounded scaled amount from the source.
  if (dy < 0) {
    const int64_t d = -dy, r = static_cast<int64_t>(std::nearbyint(static_cast<double>(d) * ratioY));
    dy = 0, dH -= d, sy += r, sH -= r;
  }
  if (dx < 0) {
    const int64_t d = -dx, r = static_cast<int64_t>(std::nearbyint(static_cast<double>(d) * ratioX));
    dx = 0, dW -= d, sx += r, sW -= r;
  }
  // A destination rectangle past the destination cuts the truncated scaled excess.
  if (dy + dH > dh) {
    const int64_t e = dy + dH - dh;
    dH = dh - dy;
    sH -= static_cast<int64_t>(static_cast<double>(e) * ratioY);
  }
  if (dx + dW > dw) {
    const int64_t e = dx + dW - dw;
    dW = dw - dx;
    sW -= static_cast<int64_t>(static_cast<double>(e) * ratioX);
  }
  DestX = ClampTo(dx, 0, dw - 1);
  DestY = ClampTo(dy, 0, dh - 1);
  DestWidth = ClampTo(dW, 0, dw);
  DestHeight = ClampTo(dH, 0, dh);
  SrcX = ClampTo(sx, 0, sw - 1);
  SrcY = ClampTo(sy, 0, sh - 1);
  SrcWidth = ClampTo(sW, 0, sw);
  SrcHeight = ClampTo(sH, 0, sh);
  // The source rectangle ends inside the source; the destination shrinks by the same ratio.
  if (SrcWidth > sw - SrcX) {
    SrcWidth = sw - SrcX;
    DestWidth = std::min(DestWidth, std::max(1, static_cast<int32_t>(std::ceil(SrcWidth / ratioX))));
  }
  if (SrcHeight > sh - SrcY) {
    SrcHeight = sh - SrcY;
    DestHeight = std::min(DestHeight, std::max(1, static_cast<int32_t>(std::ceil(SrcHeight / ratioY))));
  }
  if (DestWidth == 0 || DestHeight == 0 || SrcWidth == 0 || SrcHeight == 0) return;

  TPXBitmap* alpha = PeekAlphaChannel();
  // Resampling first: the resampled rectangle is rendered 1:1.
  if (Filter != rfNone && (SrcWidth != DestWidth || SrcHeight != DestHeight)) {
    TPXIntegerArray noCols, noRows;
    const bool alphaUsed = EnableAlpha && alpha;
    const bool projection = Filter == rfProjectBW || Filter == rfProjectWB;
    std::unique_ptr<TPXBitmap> result;
    if (DestWidth <= SrcWidth && PixelFormat() == px1g && !alphaUsed && !projection) {
      result = TPXBitmap::CreateAllocated(DestWidth, DestHeight, px24RGB);
      if (result->IsEmpty()) return;
      ResampleMonoToGray(this, SrcX, SrcY, SrcX + SrcWidth - 1, SrcY + SrcHeight - 1, result.get());
    } else {
      // Only the source columns and rows the whole destination span needs.
      const int32_t x2 = std::min(DestX + DestWidth - 1, dw - 1), y2 = std::min(DestY + DestHeight - 1, dh - 1);
      SrcWidth = SourceAt(x2, DestX, ratioX, SrcX, sw - 1) - SrcX + 1;
      SrcHeight = SourceAt(y2, DestY, ratioY, SrcY, sh - 1) - SrcY + 1;
      if (SrcWidth <= 0 || SrcHeight <= 0) return;
      const TRect area(SrcX, SrcY, SrcX + SrcWidth - 1, SrcY + SrcHeight - 1);
      TPXVirtualClippedBitmap clipped(this, area);
      TRect rect(0, 0, -1, -1);
      if (ClipRect)
        rect = TRect(ClipRect->Left - DestX, ClipRect->Top - DestY, ClipRect->Right - DestX, ClipRect->Bottom - DestY);
      if (DirectFastLinear(this, Dest, ClipRect, DestX, DestY, DestWidth, DestHeight, SrcY, SrcWidth, SrcHeight,
                           alphaUsed, Filter, Transparency, Opacity, Operation)) {
        // The resampled picture would only be copied 1:1 into Dest's rectangle: the resampler
        // writes that rectangle's clipped span straight into Dest instead.
        TPXVirtualClippedBitmap view(Dest, TRect(DestX, DestY, DestX + DestWidth - 1, DestY + DestHeight - 1));
        ResampleBitmap(&clipped, &view, nullptr, Filter, TPXProgressEvent(), nullptr, &rect);
        Dest->DoChange();
        return;
      }
      if (PixelFormat() == px1g) {
        auto mono = TPXBitmap::CreateAllocated(SrcWidth, SrcHeight, px1g);
        result = TPXBitmap::CreateAllocated(DestWidth, DestHeight, projection ? px1g : px24RGB);
        if (mono->IsEmpty() || result->IsEmpty()) return;
        CopyRectTo(mono.get(), SrcX, SrcY, 0, 0, SrcWidth, SrcHeight, false);
        ResampleMono(mono.get(), result.get(), Filter);
      } else {
        result = TakeRenderScratch(DestWidth, DestHeight, PixelFormat(), alphaUsed);
        if (result->IsEmpty()) return;
        if (PixelFormat() == px8p) CopyPaletteTo(result.get());
        ResampleBitmap(&clipped, result.get(), nullptr, Filter, TPXProgressEvent(), nullptr, &rect);
      }
      if (alphaUsed) {
        TPXBitmap* resultAlpha = result->GetAlphaChannel();
        TPXBitmap* clippedAlpha = clipped.GetAlphaChannel();
        if (resultAlpha && clippedAlpha) {
          ResampleGray8(clippedAlpha, resultAlpha, Filter, &rect);
          resultAlpha->FFull = alpha->FFull;
        }
      }
      for (int32_t i = 0; i < 4; ++i) result->FChannelOffset[i] = FChannelOffset[i];
      result->FChannelOffsetEnabled = FChannelOffsetEnabled;
      result->FContrast = FContrast;
      result->FDisplayRangeLow = FDisplayRangeLow;
      result->FDisplayRangeHigh = FDisplayRangeHigh;
    }
    // The caller's maps address this bitmap, not the resampled one: the inner call builds its own.
    result->RenderToPXBitmapEx(Dest, noCols, noRows, ClipRect, DestX, DestY, DestWidth, DestHeight, 0, 0, DestWidth,
                               DestHeight, EnableAlpha, RowReuse, Transparency, rfNone, true, Operation, Opacity);
    KeepRenderScratch(std::move(result));
    return;
  }

  // The drawn span.
  int32_t x1 = DestX, y1 = DestY;
  int32_t x2 = std::min(DestX + DestWidth - 1, dw - 1), y2 = std::min(DestY + DestHeight - 1, dh - 1);
  if (ClipRect) {
    x1 = std::max(ClipRect->Left, DestX);
    x2 = std::min(ClipRect->Right, x2);
    y1 = std::max(ClipRect->Top, DestY);
    y2 = std::min(ClipRect->Bottom, y2);
  }
  x1 = std::clamp(x1, 0, dw - 1);
  x2 = std::clamp(x2, 0, dw - 1);
  y1 = std::clamp(y1, 0, dh - 1);
  y2 = std::clamp(y2, 0, dh - 1);
  if (!RowMap.empty()) LowerToMap(RowMap, DestY, y1, y2, sh);
  if (!ColMap.empty()) LowerToMap(ColMap, DestX, x1, x2, sw);
  const bool draw = x1 <= x2 && y1 <= y2;
  const int32_t xStep = TruncSat(static_cast<double>(SrcWidth) / DestWidth * kOneToOne);
  const int32_t yStep = TruncSat(static_cast<double>(SrcHeight) / DestHeight * kOneToOne);

  const bool useAlpha = EnableAlpha && alpha && !alpha->FFull;
  const bool blended = Transparency < 255 || Opacity < 1.0 || useAlpha;
  const bool fast = xStep == kOneToOne && yStep == kOneToOne && PixelFormat() == px24RGB && !IsVirtual() &&
                    !blended && !FChannelOffsetEnabled && FContrast == 0 && Operation == pxboNormal &&
                    FDisplayRangeLow == 0 && FDisplayRangeHigh == 0;

  // Maps run from DestX (DestY), as callers' maps do, so that a map handed back fits the next call.
  TPXIntegerArray builtCols, builtRows;
  std::span<const int32_t> cols, rows;
  if (draw && !fast) {
    if (ColMap.empty()) builtCols = BuildMap(DestX, x2, ratioX, SrcX, sw);
    if (RowMap.empty()) builtRows = BuildMap(DestY, y2, ratioY, SrcY, sh);
    const TPXIntegerArray& c = ColMap.empty() ? builtCols : ColMap;
    const TPXIntegerArray& r = RowMap.empty() ? builtRows : RowMap;
    cols = std::span<const int32_t>(c).subspan(std::min(c.size(), static_cast<size_t>(x1 - DestX)));
    rows = std::span<const int32_t>(r).subspan(std::min(r.size(), static_cast<size_t>(y1 - DestY)));
  }

  if (draw) {
    if (fast) {
      Render24RGB(Dest, {}, {}, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, kOneToOne, kOneToOne, RowReuse, Operation);
    } else if (!blended) {
      switch (PixelFormat()) {
        case px1g: Render1g(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse); break;
        case px8p: Render8p(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse); break;
        case px8g: Render8g(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse); break;
        case px16g:
          Render16g(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse);
          break;
        case px24RGB:
          Render24RGB(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse, Operation);
          break;
        case px32f:
          Render32f(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse);
          break;
        case pxCMYK:
          RenderCMYK(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse);
          break;
        case pxRGB48:
          RenderRGB48(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse, Operation);
          break;
        case pxCIELab:
          RenderCIELab(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse);
          break;
        case px32RGB:
          Render32RGB(Dest, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse, Operation);
          break;
        case pxNoFormat: break;
      }
    } else {
      const int32_t t = Transparency;
      const bool a = useAlpha;
      switch (PixelFormat()) {
        case px1g:
          Render1gBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse,
                          Opacity);
          break;
        case px8p:
          Render8pBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse,
                          Opacity);
          break;
        case px8g:
          Render8gBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse,
                          Opacity);
          break;
        case px16g:
          Render16gBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse,
                           Opacity);
          break;
        case px24RGB:
          Render24RGBBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep,
                             RowReuse, Operation, Opacity);
          break;
        case px32f:
          Render32fBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep, RowReuse,
                           Opacity);
          break;
        case pxCMYK:
          RenderCMYKBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep,
                            RowReuse, Opacity);
          break;
        case pxRGB48:
          RenderRGB48Blended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep,
                             RowReuse, Operation, Opacity);
          break;
        case pxCIELab:
          RenderCIELabBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep,
                              RowReuse, Opacity);
          break;
        case px32RGB:
          Render32RGBBlended(Dest, t, a, cols, rows, SrcX, SrcY, DestX, DestY, x1, y1, x2, y2, xStep, yStep,
                             RowReuse, Operation, Opacity);
          break;
        case pxNoFormat: break;
      }
    }
  }

  if (!FreeMaps) {
    if (ColMap.empty() && !builtCols.empty()) ColMap = std::move(builtCols);
    if (RowMap.empty() && !builtRows.empty()) RowMap = std::move(builtRows);
  }
  Dest->DoChange();
}

void TPXBitmap::RenderToPXBitmap(TPXBitmap* Dest, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                                 int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, bool EnableAlpha,
                                 int32_t Transparency, TResampleFilter Filter, TPXBlendOperation Operation,
                                 double Opacity) {
  TPXIntegerArray cols, rows;
  RenderToPXBitmapEx(Dest, cols, rows, nullptr, DestX, DestY, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight,
                     EnableAlpha, false, Transparency, Filter, true, Operation, Opacity);
}

void TPXBitmap::RenderToTBitmapEx(TBitmap* Bitmap, TPXIntegerArray& ColMap, TPXIntegerArray& RowMap,
                                  const TRect* ClipRect, int32_t DestX, int32_t DestY, int32_t DestWidth,
                                  int32_t DestHeight, int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                                  bool EnableAlpha, bool RowReuse, int32_t Transparency, TResampleFilter Filter,
                                  bool FreeMaps, TPXBlendOperation Operation, double Opacity) {
  if (!Bitmap || Bitmap->PixelFormat() != pf24bit) return;
  TPXBitmap wrapper;
  wrapper.AttachTBitmap(Bitmap, false);
  RenderToPXBitmapEx(&wrapper, ColMap, RowMap, ClipRect, DestX, DestY, DestWidth, DestHeight, SrcX, SrcY, SrcWidth,
                     SrcHeight, EnableAlpha, RowReuse, Transparency, Filter, FreeMaps, Operation, Opacity);
}

void TPXBitmap::RenderToTBitmap(TBitmap* Bitmap, int32_t DestX, int32_t DestY, int32_t DestWidth, int32_t DestHeight,
                                int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Transparency,
                                TResampleFilter Filter, TPXBlendOperation Operation, double Opacity) {
  TPXIntegerArray cols, rows;
  RenderToTBitmapEx(Bitmap, cols, rows, nullptr, DestX, DestY, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight,
                    true, false, Transparency, Filter, true, Operation, Opacity);
}

void TPXBitmap::DrawToCanvasWithAlpha(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                                      int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight,
                                      int32_t Transparency, TResampleFilter Filter, TPXBlendOperation Operation,
                                      double Opacity) {
  if (!Canvas || Width <= 0 || Height <= 0) return;
  TPXDibbitmap dib;
  if (!dib.AllocateBits(Width, Height, 24) || !dib.FBits) return;
  HDC dc = Canvas->Handle();
  BitBlt(dib.FDC, 0, 0, Width, Height, dc, X, Y, SRCCOPY);
  {
    // The section's rows are bottom-up and 32-bit aligned, as one-block storage keeps them.
    TPXBitmap view;
    view.AttachMemory(dib.FBits, Width, Height, px24RGB, false, false);
    RenderToPXBitmap(&view, 0, 0, Width, Height, SrcX, SrcY, SrcWidth, SrcHeight, true, Transparency, Filter,
                     Operation, Opacity);
  }
  BitBlt(dc, X, Y, Width, Height, dib.FDC, 0, 0, SRCCOPY);
}

void TPXBitmap::RenderToCanvas(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                               TResampleFilter Filter, double Gamma, TColor Background, bool Fit) {
  if (!Canvas || GetWidth() <= 0 || GetHeight() <= 0 || Width <= 0 || Height <= 0) return;
  if (Fit) FitRectInPlace(GetWidth(), GetHeight(), X, Y, Width, Height, true, true, true, true, 0, false);
  if (Width <= 0 || Height <= 0) return;

  // The alpha channel is merged over the background in a copy; this picture is not changed.
  TPXBitmap* source = this;
  std::unique_ptr<TPXBitmap> merged;
  TPXBitmap* alpha = PeekAlphaChannel();
  if (alpha && !alpha->FFull && PixelFormat() == px24RGB) {
    merged = TPXBitmap::CreateCopy(this);
    merged->MergeAlphaWithColor(Background);
    source = merged.get();
  }

  if (Filter == rfNone) {
    AppendDebugLog("TPXBitmap.RenderToCanvas: filter=none, gamma=1, gamma=0");
    HGLOBAL dib = _CopyBitmaptoDIBEx(source, 0, 0, 0, 0, 200, 200);
    if (!dib) return;
    if (Gamma != 1.0 && Gamma != 0.0) ApplyGammaToDIB(dib, Gamma);
    AppendDebugLog("TPXBitmap.RenderToCanvas: calling _DIBDrawTo");
    _DIBDrawTo(Canvas, dib, 0, 0, source->Width(), source->Height(), X, Y, Width, Height);
    GlobalFree(dib);
    return;
  }

  const int64_t rowBytes = RowByteLength(Width, 24, FRowAlignment);
  if (rowBytes <= 0) return;
  constexpr int64_t kMaxStrip = int64_t{40} * 1024 * 1024;
  int64_t strip = std::max<int64_t>(1, std::min<int64_t>(Height, (FMemoryLimit / 4) / rowBytes));
  if (strip > 1 && rowBytes * strip > kMaxStrip) strip = std::max<int64_t>(1, kMaxStrip / rowBytes);
  int32_t L = static_cast<int32_t>(strip);
  AppendDebugLog("TPXBitmap.RenderToCanvas: stripHeight=" + std::to_string(L));
  AppendDebugLog("TPXBitmap.RenderToCanvas: allocating " + std::to_string(Width) + "x" + std::to_string(Height));

  std::unique_ptr<TPXBitmap> temp;
  const TPXPixelFormat format = source->PixelFormat();
  if (format != px1g && format != px24RGB) {
    temp = TPXBitmap::CreateAllocated(Width, Height, format);
    if (temp->IsEmpty()) return;
    AppendDebugLog("TPXBitmap.RenderToCanvas: _PXBmpStretchEx");
    StretchNearest(source, temp.get(), nullptr, TPXProgressEvent());
  } else if (format == px1g) {
    temp = TPXBitmap::CreateAllocated(Width, Height,
                                      Filter == rfProjectBW || Filter == rfProjectWB ? px1g : px24RGB);
    if (temp->IsEmpty()) return;
    AppendDebugLog("TPXBitmap.RenderToCanvas: _Resample1BitEx");
    ResampleMono(source, temp.get(), Filter);
  } else {
    temp = TPXBitmap::CreateAllocated(Width, Height, px24RGB);
    if (temp->IsEmpty()) return;
    AppendDebugLog("TPXBitmap.RenderToCanvas: _ResampleEx");
    ResampleBitmap(source, temp.get(), nullptr, Filter, TPXProgressEvent(), nullptr, nullptr);
  }
  Canvas->SetCopyMode(cmSrcCopy);

  if (temp->PixelFormat() == px24RGB && Gamma != 1.0 && Gamma > 0) {
    AppendDebugLog("TPXBitmap.RenderToCanvas: gamma");
    uint8_t table[256];
    for (int32_t i = 0; i < 256; ++i) {
      const double v = std::nearbyint(std::pow(i / 255.0, 1 / Gamma) * 255);
      table[i] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
    const int32_t bytes = temp->Width() * 3;
    for (int32_t y = 0; y < temp->Height(); ++y) {
      uint8_t* p = temp->Scanline(y);
      if (!p) continue;
      for (int32_t i = 0; i < bytes; ++i) p[i] = table[p[i]];
    }
  }

  int32_t row = 0;
  while (row < Height) {
    AppendDebugLog("TPXBitmap.RenderToCanvas: PrintPict y=" + std::to_string(row));
    PrintPict(Canvas, X, Y, temp.get(), 0, row, temp->Width(), L);
    Y += L;
    row += L;
    L = std::min(Height - row, L);
  }
}

void TPXBitmap::DrawTo(TCanvas* Canvas, int32_t X, int32_t Y) {
  RenderToCanvas(Canvas, X, Y, GetWidth(), GetHeight(), rfNone, 0, clWhite, false);
}

void PrintPict(TCanvas* Canvas, int32_t X, int32_t Y, TPXBitmap* Bitmap, int32_t FirstColumn, int32_t FirstRow,
               int32_t StripWidth, int32_t StripHeight) {
  if (!Canvas || !Bitmap) return;
  AppendDebugLog("PrintPict: calling _CopyBitmaptoDIBEx");
  HGLOBAL dib = _CopyBitmaptoDIBEx(Bitmap, FirstColumn, FirstRow, FirstColumn + StripWidth, FirstRow + StripHeight,
                                   200, 200);
  if (!dib) return;
  AppendDebugLog("PrintPict: calling _DIBDrawTo");
  _DIBDrawTo(Canvas, dib, 0, 0, StripWidth, StripHeight, X, Y, StripWidth, StripHeight);
  AppendDebugLog("PrintPict: calling GlobalFree");
  GlobalFree(dib);
}

void _DIBDrawTo(TCanvas* Canvas, void* DIB, int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight,
                int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight) {
  if (!Canvas || !DIB) return;
  const size_t size = GlobalSize(DIB);
  auto* p = static_cast<const uint8_t*>(GlobalLock(DIB));
  if (!p) return;
  if (size >= sizeof(BITMAPINFOHEADER)) {
    BITMAPINFOHEADER h;
    std::memcpy(&h, p, sizeof(h));
    const int64_t table = h.biBitCount <= 8 ? (int64_t{1} << h.biBitCount) * 4 : 0;
    const int64_t offset = int64_t{h.biSize} + table;
    const int64_t rows = RowByteLength(std::abs(int64_t{h.biWidth}), h.biBitCount, 32) * std::abs(int64_t{h.biHeight});
    if (h.biSize >= sizeof(BITMAPINFOHEADER) && h.biBitCount > 0 && offset + rows <= static_cast<int64_t>(size)) {
      HDC dc = Canvas->Handle();
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchDIBits(dc, XDest, YDest, DestWidth, DestHeight, XSrc, YSrc, SrcWidth, SrcHeight, p + offset,
                    reinterpret_cast<const BITMAPINFO*>(p), DIB_RGB_COLORS, SRCCOPY);
    }
  }
  GlobalUnlock(DIB);
}
