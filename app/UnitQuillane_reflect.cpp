// The reflection pipeline: layer 0 of the display view holds the picture on a canvas widened for
// the reflection, layer R the mirrored, recoloured, waved and faded copy beside it.
#include "app/UnitQuillane_reflect.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define PX_REFLECT_SSE2 1
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define PX_REFLECT_SSSE3 1
#endif

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_alpha.h"
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

// Dest[x] := max(Src[x] - K, 0) for N bytes, sixteen at a time (Dest may be Src); answers
// whether a result is below 255.
bool SubtractSaturated(uint8_t* Dest, const uint8_t* Src, uint8_t K, int32_t N) {
  int32_t x = 0;
  uint8_t all = 255;
#ifdef PX_REFLECT_SSE2
  const __m128i k = _mm_set1_epi8(static_cast<char>(K));
  __m128i both = _mm_set1_epi8(-1);
  for (; x + 16 <= N; x += 16) {
    const __m128i r = _mm_subs_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + x)), k);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + x), r);
    both = _mm_and_si128(both, r);
  }
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(both, _mm_set1_epi8(-1))) != 0xFFFF) all = 0;
#endif
  for (; x < N; ++x) {
    Dest[x] = Src[x] > K ? static_cast<uint8_t>(Src[x] - K) : 0;
    all &= Dest[x];
  }
  return all != 255;
}

// Row[x] := max(Row[x] - K[x], 0) for N bytes; answers whether a result is below 255.
bool SubtractSaturated(uint8_t* Row, const uint8_t* K, int32_t N) {
  int32_t x = 0;
  uint8_t all = 255;
#ifdef PX_REFLECT_SSE2
  __m128i both = _mm_set1_epi8(-1);
  for (; x + 16 <= N; x += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + x));
    const __m128i r = _mm_subs_epu8(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(K + x)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + x), r);
    both = _mm_and_si128(both, r);
  }
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(both, _mm_set1_epi8(-1))) != 0xFFFF) all = 0;
#endif
  for (; x < N; ++x) {
    Row[x] = Row[x] > K[x] ? static_cast<uint8_t>(Row[x] - K[x]) : 0;
    all &= Row[x];
  }
  return all != 255;
}

#ifdef PX_REFLECT_SSSE3
bool ReflectHasSSSE3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Shuffle masks that reverse sixteen three-byte pixels: output block K (bytes 16K .. 16K + 15)
// is the OR over M = 0..2 of source block M shuffled by Mask[K][M] (-128 takes nothing).
struct TReverse24Masks {
  alignas(16) int8_t Mask[3][3][16];
  constexpr TReverse24Masks() : Mask{} {
    for (int k = 0; k < 3; ++k)
      for (int m = 0; m < 3; ++m)
        for (int i = 0; i < 16; ++i) {
          const int o = 16 * k + i;                    // output byte
          const int from = 3 * (15 - o / 3) + o % 3;   // the byte of the mirrored pixel
          Mask[k][m][i] = static_cast<int8_t>(from / 16 == m ? from % 16 : -128);
        }
  }
};
constexpr TReverse24Masks kReverse24;

// The reversing copies below sixteen pixels (or bytes) at a time while they last; they answer how
// many were done.
__attribute__((target("ssse3"))) int32_t ReverseCopy24SSSE3(uint8_t* Dest, const uint8_t* Src, int32_t N) {
  __m128i mask[3][3];
  for (int k = 0; k < 3; ++k)
    for (int m = 0; m < 3; ++m) mask[k][m] = _mm_load_si128(reinterpret_cast<const __m128i*>(kReverse24.Mask[k][m]));
  int32_t x = 0;
  for (; x + 16 <= N; x += 16) {
    const uint8_t* s = Src + 3 * static_cast<int64_t>(N - 16 - x);
    const __m128i b0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i b1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
    const __m128i b2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 32));
    for (int k = 0; k < 3; ++k) {
      const __m128i out = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b0, mask[k][0]), _mm_shuffle_epi8(b1, mask[k][1])),
                                       _mm_shuffle_epi8(b2, mask[k][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + 3 * static_cast<int64_t>(x) + 16 * k), out);
    }
  }
  return x;
}

__attribute__((target("ssse3"))) int32_t ReverseCopy8SSSE3(uint8_t* Dest, const uint8_t* Src, int32_t N) {
  const __m128i order = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  int32_t x = 0;
  for (; x + 16 <= N; x += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + N - 16 - x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + x), _mm_shuffle_epi8(v, order));
  }
  return x;
}
#endif

// Dest's N three-byte pixels are Src's in reverse order.
void ReverseCopy24(uint8_t* Dest, const uint8_t* Src, int32_t N) {
  int32_t x = 0;
#ifdef PX_REFLECT_SSSE3
  if (ReflectHasSSSE3()) x = ReverseCopy24SSSE3(Dest, Src, N);
#endif
  for (; x < N; ++x) {
    const uint8_t* s = Src + 3 * static_cast<int64_t>(N - 1 - x);
    Dest[3 * x] = s[0];
    Dest[3 * x + 1] = s[1];
    Dest[3 * x + 2] = s[2];
  }
}

// Dest's N bytes are Src's in reverse order.
void ReverseCopy8(uint8_t* Dest, const uint8_t* Src, int32_t N) {
  int32_t x = 0;
#ifdef PX_REFLECT_SSSE3
  if (ReflectHasSSSE3()) x = ReverseCopy8SSSE3(Dest, Src, N);
#endif
  for (; x < N; ++x) Dest[x] = Src[N - 1 - x];
}

int32_t ClampByteValue(int64_t Value) { return static_cast<int32_t>(std::clamp<int64_t>(Value, 0, 255)); }

// Steps 4 to 7: the reflection's pixels and alpha from the source.
void MakeReflectionPixels(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  CopyAndFlipReflection(V, S, P.Position, P.R);
  ApplyColorMode(V, P.ColourMode, P.R);
  ApplyWave(V, P.Amplitude, P.WaveLength, P.Wave, P.R, P.Phase);
  ApplyFade(V, P.AlphaBegin, P.AlphaEnd, P.R, P.Size, P.Position);
}

// What each of the L lines of a reflection at Position loses from its alpha, lines counted from
// the left or top: 255 - h for a kept line, everything for a cleared one. h falls linearly from
// AlphaBegin at the line touching the picture towards AlphaEnd over the Size per cent of the
// lines that are kept.
std::vector<uint8_t> FadeLosses(int32_t L, int32_t AlphaBegin, int32_t AlphaEnd, int32_t Size, int32_t Position) {
  const int64_t a = AlphaBegin, b = AlphaEnd, z = Size;
  // The step between lines, from (a - b) over the z per cent of L lines that fade.
  double s = 0;
  if (L != 0 && z != 0) {
    const long double q = static_cast<long double>(z * L) / 100.0L;
    s = static_cast<double>(static_cast<long double>(a - b) / q);
  }
  double g = static_cast<double>(a) + s;
  // The kept lines are those nearest the picture: from L - 1 downwards at the left or top, from 0
  // upwards at the right or bottom.
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
  return loss;
}

// Steps 4 to 7, and the flatten of step 9 when the alpha is removed, in one pass over the source
// rows, for the common case: a colour reflection without wave of a 24-bit picture onto an image
// layer. Every output row is written once, straight from the source row it mirrors, with no
// intermediate copy of the picture; the pixels, the alpha and its opaque mark come out as the
// steps run one by one would leave them. The undo copy is the layer's state before the change,
// stored as the mirror stores it. False, with nothing done, where the steps must run.
bool MakeReflectionInOnePass(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  if (P.ColourMode == ColorModeGray || P.ColourMode == ColorModeBlackWhite || P.Wave) return false;
  if (P.Position < ReflectLeft || P.Position > ReflectBottom || !ReflectionLayer(V, P.R)) return false;
  TPXBitmap* src = S.GetPXBitmap();
  if (!src || src->IsEmpty() || src->PixelFormat() != px24RGB || src->IsVirtual()) return false;
  const int32_t W = src->Width(), H = src->Height();
  TPXBitmap* srcAlpha = src->PeekAlphaChannel();
  if (srcAlpha && (srcAlpha->Width() != W || srcAlpha->Height() != H || srcAlpha->PixelFormat() != px8g ||
                   srcAlpha->IsVirtual()))
    return false;
  TPXBitmap* dst = SelectLayer(V, P.R);
  if (!dst || dst == src || !V.CurrentLayerIsImage() || dst->IsVirtual()) return false;

  TPixoranProc* proc = V.Proc();
  const bool columns = P.Position == ReflectLeft || P.Position == ReflectRight;
  if (proc->AutoUndo())
    proc->StoreUndoState(GetLanguageWord(columns ? 297 : 298), pxuImage, true, columns ? 48 : 49);

  // The layer takes the source's layout and attributes; storage of that layout is written over.
  TPXBitmap* dstAlpha = dst->PeekAlphaChannel();
  const bool reuse = dst->CanReuseStorageFor(src) && dstAlpha &&
                     (srcAlpha ? dstAlpha->CanReuseStorageFor(srcAlpha)
                               : dstAlpha->Width() == W && dstAlpha->Height() == H &&
                                     dstAlpha->PixelFormat() == px8g && !dstAlpha->IsVirtual());
  if (reuse)
    dst->CopyAttributesFrom(src, true);
  else
    dst->Assign(src);
  if (dst->IsEmpty()) {
    // No storage for the copy: the layer stays empty, as the steps would leave it.
    proc->ImageChanged();
    proc->DoFinishWork();
    return true;
  }
  dstAlpha = dst->GetAlphaChannel();
  if (!dstAlpha || dstAlpha->Width() != W || dstAlpha->Height() != H) throw EOutOfMemory("Out of memory");

  const std::vector<uint8_t> loss = FadeLosses(columns ? W : H, P.AlphaBegin, P.AlphaEnd, P.Size, P.Position);
  const TRGB bg = TColorToRGB(P.Background);
  // A picture without alpha is opaque: its reflection's alpha is 255 less the loss.
  std::vector<uint8_t> opaque(srcAlpha ? 0 : static_cast<size_t>(W), 255);
  std::vector<uint8_t> bgRow;  // a row of the background colour, made at the first cleared row
  bool lowered = false;
  for (int32_t y = 0; y < H; ++y) {
    const int32_t sy = columns ? y : H - 1 - y;
    const uint8_t* sc = src->Scanline(sy);
    const uint8_t* sa = srcAlpha ? srcAlpha->Scanline(sy) : opaque.data();
    uint8_t* dc = dst->Scanline(y);
    uint8_t* da = dstAlpha->Scanline(y);
    if (columns) {
      ReverseCopy24(dc, sc, W);
      ReverseCopy8(da, sa, W);
      lowered |= SubtractSaturated(da, loss.data(), W);
    } else if (loss[static_cast<size_t>(y)] == 255 && !P.KeepAlpha) {
      // A cleared row flattens to the background alone.
      if (bgRow.empty()) {
        bgRow.resize(3 * static_cast<size_t>(W));
        for (size_t i = 0; i < bgRow.size(); i += 3) {
          bgRow[i] = bg.b;
          bgRow[i + 1] = bg.g;
          bgRow[i + 2] = bg.r;
        }
      }
      std::memcpy(dc, bgRow.data(), bgRow.size());
      std::memset(da, 0, static_cast<size_t>(W));
      lowered = true;
      continue;
    } else {
      std::memcpy(dc, sc, 3 * static_cast<size_t>(W));
      lowered |= SubtractSaturated(da, sa, loss[static_cast<size_t>(y)], W);
    }
    if (!P.KeepAlpha) MergeAlphaRow(dc, da, bg, W);
  }
  // As the fade leaves it: the bottom reflection always drops the opaque mark, the others once a
  // value below 255 was written; a new channel starts opaque.
  dstAlpha->FFull = P.Position == ReflectBottom || lowered ? 0 : srcAlpha ? srcAlpha->FFull : 1;
  dstAlpha->DoChange();
  proc->ImageChanged();
  proc->DoFinishWork();
  return true;
}

// Steps 4 to 7, 8 when Base is set, and 9.
void MakeFlattenedReflection(TPixoran& V, TPixoran& S, const TReflectionParams& P, bool Base) {
  if (MakeReflectionInOnePass(V, S, P)) {
    if (Base) FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
    // Step 9 without its flatten, which the pass did.
    V.SetEnableAlphaChannel(P.KeepAlpha);
    if (!P.KeepAlpha) SelectLayer(V, P.R);
    return;
  }
  MakeReflectionPixels(V, S, P);
  if (Base) FlattenBaseLayers(V, P.Background, P.R, P.KeepAlpha);
  FlattenReflectionLayer(V, P.Background, P.R, P.KeepAlpha);
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
  MakeFlattenedReflection(V, S, P, true);
}

void RebuildReflectionLayer(TPixoran& V, TPixoran& S, const TReflectionParams& P) {
  MakeFlattenedReflection(V, S, P, false);
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
  MakeFlattenedReflection(V, S, P, true);
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
  const std::vector<uint8_t> loss =
      FadeLosses(columns ? picture->Width() : picture->Height(), AlphaBegin, AlphaEnd, Size, Position);

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
      SubtractSaturated(row, row, k, w);
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
