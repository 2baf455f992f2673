// The reflection pipeline: layer 0 of the display view holds the picture on a canvas widened for
// the reflection, layer R the mirrored, recoloured, waved and faded copy beside it.
#include "app/UnitQuillane_reflect.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define PX_REFLECT_SSE2 1
#endif

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_geometry.h"
#include "view/pixoran.h"

namespace {

// The reflection layer when R names one of V's layers, else nil.
TPXLayer* ReflectionLayer(TPixoran& V, int32_t R) {
  if (R < 0 || R >= V.LayersCount()) return nullptr;
  return V.Layers(R);
}

// Makes layer Index current and answers its picture (nil when it has none).
TPXBitmap* SelectLayer(TPixoran& V, int32_t Index) {
  V.SetLayersCurrent(Index);
  if (V.LayersCurrent() != Index) return nullptr;
  return V.GetPXBitmap();
}

// Row[x] := max(Row[x] - K, 0) for N bytes, sixteen at a time.
void SubtractSaturated(uint8_t* Row, uint8_t K, int32_t N) {
  int32_t x = 0;
#ifdef PX_REFLECT_SSE2
  const __m128i k = _mm_set1_epi8(static_cast<char>(K));
  for (; x + 16 <= N; x += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + x), _mm_subs_epu8(v, k));
  }
#endif
  for (; x < N; ++x) Row[x] = Row[x] > K ? static_cast<uint8_t>(Row[x] - K) : 0;
}

// Row[x] := max(Row[x] - K[x], 0) for N bytes; answers whether a result is below 255.
bool SubtractSaturated(uint8_t* Row, const uint8_t* K, int32_t N) {
  int32_t x = 0;
  bool lowered = false;
#ifdef PX_REFLECT_SSE2
  __m128i all = _mm_set1_epi8(-1);
  for (; x + 16 <= N; x += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + x));
    const __m128i r = _mm_subs_epu8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(K + x)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + x), r);
    all = _mm_and_si128(all, r);
  }
  lowered = _mm_movemask_epi8(_mm_cmpeq_epi8(all, _mm_set1_epi8(-1))) != 0xFFFF;
#endif
  for (; x < N; ++x) {
    Row[x] = Row[x] > K[x] ? static_cast<uint8_t>(Row[x] - K[x]) : 0;
    lowered |= Row[x] != 255;
  }
  return lowered;
}

int32_t ClampByteValue(int64_t Value) { return static_cast<int32_t>(std::clamp<int64_t>(Value, 0, 255)); }

// Steps 4 to 7: the reflection's pixels and alpha from the source.
void MakeReflectionPixels(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  CopyAndFlipReflection(V, S, P.Position, P.R);
  ApplyColorMode(V, P.ColourMode, P.R);
  ApplyWave(V, P.Amplitude, P.WaveLength, P.Wave, P.R, P.Phase);
  ApplyFade(V, P.AlphaBegin, P.AlphaEnd, P.R, P.Size, P.Position);
}

}  // namespace

int32_t TransparencyToAlpha(int32_t Transparency) {
  return ClampByteValue(Round(static_cast<long double>((100 - static_cast<int64_t>(Transparency)) * 255) / 100.0L));
}

void CopySourceToBaseLayer(TPixoran& V, TPixoran& S) {
  if (TPXBitmap* base = SelectLayer(V, 0)) base->Assign(S.GetPXBitmap());
}

void ResizeCanvasForReflection(TPixoran& V, TPixoran& S, int32_t Position, int32_t Spacing) {
  const int64_t W = S.GetPXBitmap()->Width(), H = S.GetPXBitmap()->Height();
  int64_t width, height;
  switch (Position) {
    case ReflectLeft:
    case ReflectRight:
      width = 2 * W + Spacing;
      height = H;
      break;
    case ReflectTop:
    case ReflectBottom:
      width = W;
      height = 2 * H + Spacing;
      break;
    default:
      return;
  }
  // Left and top place the picture at the right or bottom (2), right and bottom at the left or top.
  const uint8_t align = (Position == ReflectLeft || Position == ReflectTop) ? 2 : 0;
  if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX) return;
  if (!SelectLayer(V, 0)) return;
  V.Proc()->ResizeCanvas(static_cast<int32_t>(width), static_cast<int32_t>(height), align, align, 0);
}

void PlaceReflectionLayer(TPixoran& V, TPixoran& S, int32_t Position, int32_t R, int32_t Spacing) {
  TPXLayer* layer = ReflectionLayer(V, R);
  if (!layer) return;
  const int32_t W = S.GetPXBitmap()->Width(), H = S.GetPXBitmap()->Height();
  const bool leftOrTop = Position >= ReflectLeft && Position <= ReflectTop;
  layer->SetPosX(leftOrTop || Position == ReflectBottom ? 0 : Spacing + W);
  layer->SetPosY(leftOrTop || Position == ReflectRight ? 0 : Spacing + H);
  layer->SetWidth(W);
  layer->SetHeight(H);
  // The reflection is current after the step, as after every run that keeps the alpha.
  V.SetLayersCurrent(R);
}

void CopyAndFlipReflection(TPixoran& V, TPixoran& S, int32_t Position, int32_t R) {
  if (!ReflectionLayer(V, R)) return;
  TPXBitmap* picture = SelectLayer(V, R);
  if (!picture) return;
  picture->Assign(S.GetPXBitmap());
  const bool sideways = Position == ReflectLeft || Position == ReflectRight;
  V.Proc()->Flip(sideways ? pxfdHorizontal : pxfdVertical);
}

void ApplyColorMode(TPixoran& V, int32_t ColourMode, int32_t R) {
  if (!ReflectionLayer(V, R) || !SelectLayer(V, R)) return;
  if (ColourMode == ColorModeGray) V.Proc()->ConvertToGray();
  else if (ColourMode == ColorModeBlackWhite) V.Proc()->ConvertToMonochrome();
}

void ApplyWave(TPixoran& V, int32_t Amplitude, int32_t WaveLength, bool Wave, int32_t R, int32_t Phase) {
  if (!ReflectionLayer(V, R) || !SelectLayer(V, R)) return;
  if (Wave) V.Proc()->Wave(Amplitude, WaveLength, Phase, false);
}

void ApplyFade(TPixoran& V, int32_t AlphaBegin, int32_t AlphaEnd, int32_t R, int32_t Size, int32_t Position) {
  if (!ReflectionLayer(V, R) || !SelectLayer(V, R)) return;
  FadeReflectionAlpha(V, AlphaBegin, AlphaEnd, Size, Position);
}

void FlattenBaseLayers(TPixoran& V, TColor Background, int32_t R, bool KeepAlpha) {
  V.SetEnableAlphaChannel(KeepAlpha);
  if (KeepAlpha) return;
  const int32_t last = std::min(R, V.LayersCount());
  for (int32_t i = 0; i < last; ++i)
    if (TPXBitmap* picture = SelectLayer(V, i)) FlattenAlphaOnColor(*picture, Background);
}

void FlattenReflectionLayer(TPixoran& V, TColor Background, int32_t R, bool KeepAlpha) {
  if (!ReflectionLayer(V, R)) return;
  V.SetEnableAlphaChannel(KeepAlpha);
  if (KeepAlpha) return;
  if (TPXBitmap* picture = SelectLayer(V, R)) FlattenAlphaOnColor(*picture, Background);
}

void BuildReflection(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  if (P.R < 0) return;
  CopySourceToBaseLayer(V, S);
  ResizeCanvasForReflection(V, S, P.Position, P.Spacing);
  PlaceReflectionLayer(V, S, P.Position, P.R, P.Spacing);
  MakeReflectionPixels(V, S, P);
  FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
  FlattenReflectionLayer(V, P.Background, P.R, P.KeepAlpha);
}

void RebuildReflectionLayer(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  MakeReflectionPixels(V, S, P);
  FlattenReflectionLayer(V, P.Background, P.R, P.KeepAlpha);
}

void RebuildForSpacing(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  CopySourceToBaseLayer(V, S);
  ResizeCanvasForReflection(V, S, P.Position, P.Spacing);
  PlaceReflectionLayer(V, S, P.Position, P.R, P.Spacing);
  FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
}

void RebuildForBackground(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  CopySourceToBaseLayer(V, S);
  ResizeCanvasForReflection(V, S, P.Position, P.Spacing);
  MakeReflectionPixels(V, S, P);
  FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
  FlattenReflectionLayer(V, P.Background, P.R, P.KeepAlpha);
}

void FadeReflectionAlpha(TPixoran& V, int32_t AlphaBegin, int32_t AlphaEnd, int32_t Size, int32_t Position) {
  TPXBitmap* picture = V.GetPXBitmap();
  if (!picture || picture->IsEmpty() || Position < ReflectLeft || Position > ReflectBottom) {
    V.Update();
    return;
  }
  TPXBitmap* alpha = picture->GetAlphaChannel();
  if (!alpha || alpha->IsEmpty()) return;
  const int32_t w = std::min(picture->Width(), alpha->Width());
  const int32_t h = std::min(picture->Height(), alpha->Height());
  const bool columns = Position == ReflectLeft || Position == ReflectRight;
  const int32_t L = columns ? picture->Width() : picture->Height();
  const int64_t a = AlphaBegin, b = AlphaEnd, z = Size;

  // The step between lines, from (a - b) over the z per cent of L lines that fade.
  double s = 0;
  if (L != 0 && z != 0) {
    const long double q = static_cast<long double>(z * L) / 100.0L;
    s = static_cast<double>(static_cast<long double>(a - b) / q);
  }
  double g = static_cast<double>(a) + s;

  // What each line loses: 255 - h for a kept line, everything for a cleared one. The kept lines
  // are those nearest the picture: from L - 1 downwards at the left or top, from 0 upwards at
  // the right or bottom.
  std::vector<uint8_t> loss(static_cast<size_t>(std::max(L, 0)), 255);
  auto keep = [&](int32_t Line) {
    g -= s;
    const int32_t hv = ClampByteValue(Round(static_cast<long double>(g)));
    loss[static_cast<size_t>(Line)] = static_cast<uint8_t>(255 - hv);
  };
  if (Position == ReflectLeft || Position == ReflectTop) {
    const int64_t cut = Round(static_cast<long double>((100 - z) * L) / 100.0L);
    for (int32_t i = L - 1; i >= 0; --i)
      if (i >= cut) keep(i);
  } else {
    const int64_t cut = Round(static_cast<long double>(z * L) / 100.0L);
    for (int32_t i = 0; i < L; ++i)
      if (i <= cut) keep(i);
  }

  // v := max(v - loss, 0) over the rows of the alpha channel.
  bool lowered = false;
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
    if (columns) {
      lowered |= SubtractSaturated(row, loss.data(), w);
    } else {
      const uint8_t k = loss[static_cast<size_t>(y)];
      if (k == 255) {
        std::memset(row, 0, static_cast<size_t>(w));
        lowered = lowered || w > 0;
        continue;
      }
      if (k == 0) {
        if (!lowered)
          for (int32_t x = 0; x < w; ++x) lowered |= row[x] != 255;
        continue;
      }
      SubtractSaturated(row, k, w);
      lowered = true;
    }
  }
  // The bottom reflection walks the rows directly and always drops the opaque mark; the others
  // drop it once a value below 255 was written.
  if (Position == ReflectBottom || lowered) alpha->FFull = 0;
  alpha->DoChange();
  picture->DoChange();
  V.Update();
}

void FlattenAlphaOnColor(TPXBitmap& B, TColor Background) {
  if (!B.HasAlphaChannel() || B.IsEmpty()) return;
  // The blend works on three bytes per pixel: other formats are made 24-bit first (alpha kept).
  if (B.PixelFormat() != px24RGB) B.SetPixelFormat(px24RGB);
  if (B.PixelFormat() != px24RGB) return;
  B.MergeAlphaWithColor(Background);
}
