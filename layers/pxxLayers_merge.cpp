// Moving content between layers: Assign (properties, and pixels between image layers),
// SwapLayerContents (exchange, the picture storage handed over) and BlendLayerPair (one layer
// flattened onto another into a plain picture with alpha).
#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_threads.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "proc/pixoranproc_blur.h"
#include "proc/pixoranproc_color.h"
#include "proc/pixoranproc_resample.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#include <immintrin.h>
#include <tmmintrin.h>
#endif

// ---------------------------------------------------------------------------------------------
// Assign

void TPXLayer::Assign(TPXLayer* Source) {
  if (!Source || Source == this) return;
  const uint8_t wasUpdating = FUpdating;
  FUpdating = 1;
  const bool sameKind = Source->FKind == FKind;
  // Between different kinds the box is taken as the source shows it (some kinds derive it).
  FWidth = sameKind ? Source->FWidth : Source->GetWidthD();
  FHeight = sameKind ? Source->FHeight : Source->GetHeightD();
  FPosX = sameKind ? Source->FPosX : Source->GetPosXD();
  FPosY = sameKind ? Source->FPosY : Source->GetPosYD();
  FVisible = Source->FVisible;
  FVisibleBox = Source->FVisibleBox;
  FSelectable = Source->FSelectable;
  FTransparency = Source->FTransparency;
  FOpacity = Source->FOpacity;
  FClientRect = Source->FClientRect;
  FCropped = Source->FCropped;
  FLocked = Source->FLocked;
  FOperation = Source->FOperation;
  FName = Source->FName;
  FIsMask = Source->FIsMask;
  FMaskInverted = Source->FMaskInverted;
  FDrawOuter = Source->FDrawOuter;
  FAlphaEdgeFeathering = Source->FAlphaEdgeFeathering;
  FGroupIndex = Source->FGroupIndex;
  FSelected = Source->FSelected;
  FAspectRatioLocked = Source->FAspectRatioLocked;
  FBorderColor = Source->BorderColor();
  FBorderWidth = Source->BorderWidth();
  FFillColor = Source->FillColor();
  FFillColor2 = Source->FFillColor2;
  FFillGradient = Source->FFillGradient;
  FFillOpacity = Source->FFillOpacity;
  FRotate = Source->FRotate;
  FRotateCenterX = Source->FRotateCenterX;
  FRotateCenterY = Source->FRotateCenterY;
  FAntiAlias = Source->FAntiAlias;
  FStoredAspectRatio = Source->FStoredAspectRatio;
  FSoftShadow->Assign(Source->FSoftShadow.get());
  FUserData.clear();
  FUserData.shrink_to_fit();
  KindBorderChanged();

  AssignContent(Source);

  FUpdating = wasUpdating;
  // The content changed: whatever was rendered before no longer holds, even while updating.
  InvalidateCache();
  Changed(true);
}

void TPXImageLayer::AssignContent(TPXLayer* Source) {
  auto* source = dynamic_cast<TPXImageLayer*>(Source);
  if (!source) return;
  if (Bitmap() && source->Bitmap()) Bitmap()->AssignFrom(source->Bitmap(), false);
  FMagnifierEnabled = Source->FMagnifierEnabled;
  FMagnifierZoom = Source->FMagnifierZoom;
  FMagnifierShape = Source->FMagnifierShape;
  FMagnifierSource = Source->FMagnifierSource;
  FImageResampleFilter = Source->FImageResampleFilter;
  FImageUseResampleFilter = Source->FImageUseResampleFilter;
}

// ---------------------------------------------------------------------------------------------
// SwapLayerContents

void TPXImageLayer::SwapContent(TPXLayer* Other) {
  auto* r = static_cast<TPXImageLayer*>(Other);
  TPXImageLayer* l = this;
  using std::swap;
  // L's bitmap object takes R's storage; each bitmap object stays with its layer and so does
  // the ownership flag (handing it over would let a layer free a bitmap it never owned).
  if (!l->FBitmap) l->FBitmap = std::make_unique<TPXBitmap>();
  if (r->FBitmap) {
    // The bitmap's events belong to whoever watches L's bitmap.
    const TNotifyEvent onChange = l->FBitmap->OnChange();
    const TPXProgressEvent onProgress = l->FBitmap->OnProgress();
    r->FBitmap->MoveStorageTo(l->FBitmap.get());
    l->FBitmap->SetOnChange(onChange);
    l->FBitmap->SetOnProgress(onProgress);
  } else {
    l->FBitmap->FreeImage();
  }
  swap(FMagnifierEnabled, r->FMagnifierEnabled);
  swap(FMagnifierZoom, r->FMagnifierZoom);
  swap(FMagnifierShape, r->FMagnifierShape);
  swap(FMagnifierSource, r->FMagnifierSource);
  swap(FImageResampleFilter, r->FImageResampleFilter);
  swap(FImageUseResampleFilter, r->FImageUseResampleFilter);
  if (IPXLayerOwner* owner = FOwner; owner && r->FBitmap && owner->CurrentPicture() == r->FBitmap.get())
    owner->SetCurrentPicture(l->FBitmap.get());
}

void SwapLayerContents(TPXLayer* L, TPXLayer* R) {
  if (!L || !R) throw EPXException("Layer not assigned");
  if (L->FKind != R->FKind) throw EPXException("Layers must be of same type");
  if (L == R) return;
  using std::swap;
  swap(L->FWidth, R->FWidth);
  swap(L->FHeight, R->FHeight);
  swap(L->FVisible, R->FVisible);
  swap(L->FVisibleBox, R->FVisibleBox);
  swap(L->FSelectable, R->FSelectable);
  swap(L->FTransparency, R->FTransparency);
  swap(L->FOpacity, R->FOpacity);
  swap(L->FFillOpacity, R->FFillOpacity);
  swap(L->FPosX, R->FPosX);
  swap(L->FPosY, R->FPosY);
  swap(L->FCropped, R->FCropped);
  swap(L->FLocked, R->FLocked);
  swap(L->FOperation, R->FOperation);
  swap(L->FUserData, R->FUserData);
  swap(L->FName, R->FName);
  swap(L->FIsMask, R->FIsMask);
  swap(L->FMaskInverted, R->FMaskInverted);
  swap(L->FDrawOuter, R->FDrawOuter);
  swap(L->FGUID, R->FGUID);
  swap(L->FAlphaEdgeFeathering, R->FAlphaEdgeFeathering);
  swap(L->FGroupIndex, R->FGroupIndex);
  swap(L->FSelected, R->FSelected);
  swap(L->FAspectRatioLocked, R->FAspectRatioLocked);
  swap(L->FTag, R->FTag);
  swap(L->FBorderColor, R->FBorderColor);
  swap(L->FBorderWidth, R->FBorderWidth);
  swap(L->FFillColor, R->FFillColor);
  swap(L->FFillColor2, R->FFillColor2);
  swap(L->FFillGradient, R->FFillGradient);
  swap(L->FRotate, R->FRotate);
  swap(L->FRotateCenterX, R->FRotateCenterX);
  swap(L->FRotateCenterY, R->FRotateCenterY);
  swap(L->FAntiAlias, R->FAntiAlias);
  swap(L->FStoredAspectRatio, R->FStoredAspectRatio);
  swap(L->FSoftShadow, R->FSoftShadow);

  L->SwapContent(R);

  L->InvalidateCache();
  R->InvalidateCache();
  L->Changed(true);
  R->Changed(true);
}

// ---------------------------------------------------------------------------------------------
// BlendLayerPair

namespace {

// The formats whose rows GetRowRGB24 reads natively; others are converted on a copy first.
constexpr TPXPixelFormatSet kBlendFormats{px1g, px8p, px8g, px16g, px24RGB};

// A layer's picture at its box size with border, feathering and shadow, and where it goes. The
// layer's own bitmap serves read-only when nothing needs changing; otherwise a private copy does,
// so the layer keeps format, pixels and modified flag on every path.
struct TBlendPicture {
  TPXBitmap* Bitmap = nullptr;  // nil: nothing to draw
  std::unique_ptr<TPXBitmap> Copy;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

std::unique_ptr<TPXBitmap> PrivateCopy(TPXBitmap* Source) {
  auto copy = std::make_unique<TPXBitmap>();
  copy->AssignFrom(Source, false);
  if (copy->IsEmpty()) throw EPXException("Not enough memory to merge layers");
  return copy;
}

void PrepareLayerForBlend(TBlendPicture& Out, TPXLayer* Layer, TResampleFilter Filter) {
  Out.X = Layer->GetPosX();
  Out.Y = Layer->GetPosY();
  TPXBitmap* source = Layer->GetBitmap();
  if (!source || source->IsEmpty()) return;
  const int32_t w = Layer->GetWidth(), h = Layer->GetHeight();
  const double s = (double(w) / source->Width() + double(h) / source->Height()) / 2;

  const bool resize = source->Width() != w || source->Height() != h;
  const bool border = Layer->BorderWidth() > 0 && Layer->BorderColor() != clNone;
  const bool feather = Layer->AlphaEdgeFeathering() > 0 && source->HasAlphaChannel();
  const bool shadow = Layer->SoftShadow()->Enabled && Layer->GetIndex() > 0;
  const bool convert = !kBlendFormats.Contains(source->PixelFormat());

  if (!(resize || border || feather || shadow || convert)) {
    Out.Bitmap = source;
    Out.Width = source->Width();
    Out.Height = source->Height();
    return;
  }

  Out.Copy = PrivateCopy(source);
  TPXBitmap* b = Out.Copy.get();
  if (convert) b->EnsurePixelFormat(kBlendFormats, true);
  if (resize) b->Resample(w, h, Layer->ImageUseResampleFilter() ? Layer->ImageResampleFilter() : Filter, false, false);
  if (border) {
    const int32_t bw = Layer->BorderWidth(), half = bw / 2;
    b->DrawRectangle(half, half, b->Width() + 1 - half, b->Height() + 1 - half, Layer->BorderColor(), bw, 255, clNone,
                     255);
  }
  if (feather) b->FeatherAlphaEdges(Trunc32(Layer->AlphaEdgeFeathering() * s));
  if (shadow) {
    const TPXVSoftShadow* ss = Layer->SoftShadow();
    const int32_t oldW = b->Width(), oldH = b->Height();
    const int32_t color = (ss->Color.r << 16) | (ss->Color.g << 8) | ss->Color.b;
    ApplySoftShadow(b, Trunc32(ss->OffsetX * s), Trunc32(ss->OffsetY * s), double(Trunc(ss->Radius * s)), ss->Intensity,
                    true, color, GlobalSettingsInstance()->FSoftShadowParam, {}, nullptr);
    Out.X -= (b->Width() - oldW) / 2;
    Out.Y -= (b->Height() - oldH) / 2;
  }
  Out.Bitmap = b;
  Out.Width = b->Width();
  Out.Height = b->Height();
}

// The mask layer's picture as px8g at the mask layer's box size.
struct TBlendMask {
  TPXBitmap* Bitmap = nullptr;  // nil: no pixel lets B through
  std::unique_ptr<TPXBitmap> Copy;
  std::unique_ptr<TPXBitmap> Stretched;
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

void PrepareMask(TBlendMask& Out, TPXLayer* Mask) {
  Out.X = Mask->GetPosX();
  Out.Y = Mask->GetPosY();
  TPXBitmap* m = Mask->GetBitmap();
  if (!m || m->IsEmpty()) return;
  if (m->PixelFormat() != px8g) {
    Out.Copy = PrivateCopy(m);
    Out.Copy->EnsurePixelFormat(TPXPixelFormatSet{px8g}, true);
    m = Out.Copy.get();
  }
  const int32_t w = Mask->GetWidth(), h = Mask->GetHeight();
  if (m->Width() != w || m->Height() != h) {
    Out.Stretched = std::make_unique<TPXBitmap>();
    if (!Out.Stretched->Allocate(w, h, m->PixelFormat())) throw EPXException("Not enough memory to merge layers");
    StretchNearest(m, Out.Stretched.get(), nullptr, {});
    m = Out.Stretched.get();
  }
  Out.Bitmap = m;
  Out.Width = m->Width();
  Out.Height = m->Height();
}

// One layer's weights: Transparency and Opacity as the layer holds them.
struct TBlendWeights {
  int32_t Transparency = 255;
  double Opacity = 1.0;
  uint8_t Clamp[256];  // min(v, Transparency) where that is a byte (fast path)
  uint8_t Lone[256];   // the alpha where only this layer covers: Trunc(min(v, T) x Opacity)
  bool Exact = false;  // Opacity 1 and Transparency >= 0: integer arithmetic equals the formula

  void Setup(const TPXLayer* Layer) {
    Transparency = Layer->Transparency();
    Opacity = Layer->Opacity();
    Exact = Opacity == 1.0 && Transparency >= 0;
    for (int32_t v = 0; v < 256; ++v) {
      const int32_t m = std::min(v, Transparency);
      Clamp[v] = static_cast<uint8_t>(std::clamp(m, 0, 255));
      Lone[v] = static_cast<uint8_t>(std::clamp<int64_t>(Trunc(m * Opacity), 0, 255));
    }
  }
  double Alpha(int32_t v) const { return std::min(v, Transparency) / 255.0 * Opacity; }
};

// The merge's own arithmetic for one overlapping pixel, in doubles, as the reference.
inline void BlendPixelDouble(const TRGB& A, const TRGB& C, double AlphaA, double AlphaB, TRGB& Out, uint8_t& Alpha) {
  const double rest = (1 - AlphaB) * AlphaA;
  const double total = AlphaB + rest;
  if (total != 0) {
    Out.r = ClampByte(Round32((C.r * AlphaB + A.r * rest) / total));
    Out.g = ClampByte(Round32((C.g * AlphaB + A.g * rest) / total));
    Out.b = ClampByte(Round32((C.b * AlphaB + A.b * rest) / total));
  } else {
    Out = C;
  }
  Alpha = static_cast<uint8_t>(ClampInt(Round32(total * 255), 0, 255));
}

// Round((C x ib x 255 + A x (255 - ib) x ia) / Den) for byte weights. The exact quotient is
// never within 1 / (2 Den) of a half unless it is one, far beyond the formula's rounding error,
// so it rounds as the double formula does; exact halves are left to the double formula.
inline bool BlendChannelExact(int32_t C, int32_t A, int32_t Ib, int32_t Ia, int32_t Den, uint8_t& Out) {
  const int32_t num = C * Ib * 255 + A * (255 - Ib) * Ia;
  int32_t q = num / Den;
  const int32_t r2 = 2 * (num - q * Den);
  if (r2 == Den) return false;
  if (r2 > Den) ++q;
  Out = static_cast<uint8_t>(q);
  return true;
}

// Over an opaque A: Out = Round((C x W + A x (255 - W)) / 255) for each channel, W per pixel.
// 255 is odd, so there are no halves and (x + 127) / 255 is the rounding.
void BlendOverOpaqueScalar(const uint8_t* C, const uint8_t* A, const uint8_t* W, uint8_t* Out, size_t First,
                           size_t N) {
  for (size_t i = First; i < N; ++i) {
    const uint32_t w = W[i], v = 255 - w;
    for (size_t k = 3 * i; k < 3 * i + 3; ++k) Out[k] = static_cast<uint8_t>((C[k] * w + A[k] * v + 127) / 255);
  }
}

#if defined(__SSE2__)
// Sixteen bytes of the same, W per byte.
inline __m128i BlendBytes16(__m128i C, __m128i A, __m128i W) {
  const __m128i zero = _mm_setzero_si128(), k255 = _mm_set1_epi16(255), k127 = _mm_set1_epi16(127),
                kDiv = _mm_set1_epi16(static_cast<short>(0x8081));
  auto half = [&](__m128i c, __m128i a, __m128i w) {
    __m128i x = _mm_add_epi16(_mm_mullo_epi16(c, w), _mm_mullo_epi16(a, _mm_sub_epi16(k255, w)));
    x = _mm_add_epi16(x, k127);
    return _mm_srli_epi16(_mm_mulhi_epu16(x, kDiv), 7);  // x / 255 for any 16-bit x
  };
  const __m128i lo = half(_mm_unpacklo_epi8(C, zero), _mm_unpacklo_epi8(A, zero), _mm_unpacklo_epi8(W, zero));
  const __m128i hi = half(_mm_unpackhi_epi8(C, zero), _mm_unpackhi_epi8(A, zero), _mm_unpackhi_epi8(W, zero));
  return _mm_packus_epi16(lo, hi);
}

// Sixteen pixels at a time; blocks all opaque or all clear are copies. Spread turns the sixteen
// weights into the weights of the block's 48 bytes.
template <class TSpread>
inline void BlendOverOpaqueBlocks(const uint8_t* C, const uint8_t* A, const uint8_t* W, uint8_t* Out, size_t N,
                                  TSpread Spread) {
  size_t i = 0;
  const __m128i ones = _mm_set1_epi8(static_cast<char>(0xFF)), zero = _mm_setzero_si128();
  for (; i + 16 <= N; i += 16) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(W + i));
    const size_t o = 3 * i;
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(w, ones)) == 0xFFFF) {
      std::memcpy(Out + o, C + o, 48);
    } else if (_mm_movemask_epi8(_mm_cmpeq_epi8(w, zero)) == 0xFFFF) {
      if (Out != A) std::memcpy(Out + o, A + o, 48);
    } else {
      __m128i w3[3];
      Spread(w, W + i, w3);
      for (size_t k = 0; k < 3; ++k) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(C + o + 16 * k));
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + o + 16 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + o + 16 * k), BlendBytes16(c, a, w3[k]));
      }
    }
  }
  BlendOverOpaqueScalar(C, A, W, Out, i, N);
}

struct TSpreadSse2 {
  void operator()(__m128i, const uint8_t* Weights, __m128i* W3) const {
    alignas(16) uint8_t spread[48];
    for (size_t k = 0; k < 16; ++k) spread[3 * k] = spread[3 * k + 1] = spread[3 * k + 2] = Weights[k];
    for (size_t k = 0; k < 3; ++k) W3[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(spread + 16 * k));
  }
};

struct TSpreadSsse3 {
  __attribute__((target("ssse3"))) void operator()(__m128i W, const uint8_t*, __m128i* W3) const {
    W3[0] = _mm_shuffle_epi8(W, _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5));
    W3[1] = _mm_shuffle_epi8(W, _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10));
    W3[2] = _mm_shuffle_epi8(W, _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15));
  }
};

void BlendOverOpaqueSse2(const uint8_t* C, const uint8_t* A, const uint8_t* W, uint8_t* Out, size_t N) {
  BlendOverOpaqueBlocks(C, A, W, Out, N, TSpreadSse2{});
}

__attribute__((target("ssse3"))) void BlendOverOpaqueSsse3(const uint8_t* C, const uint8_t* A, const uint8_t* W,
                                                           uint8_t* Out, size_t N) {
  BlendOverOpaqueBlocks(C, A, W, Out, N, TSpreadSsse3{});
}
#endif

// Thirty-two pixels (96 bytes, three 32-byte vectors) at a time with AVX2; the rest as above.
// Each 16-byte lane of a vector holds the weights of at most six pixels: the lane's weights are
// loaded from the pixel its first byte belongs to and spread by one of three byte patterns.
// One multiply-add per byte pair: with c = C - 128 and a = A - 128 as signed bytes,
// W x c + (255 - W) x a = C x W + A x (255 - W) - 128 x 255 fits a signed word, and adding
// 128 x 255 + 127 gives the rounding's numerator as an unsigned word.
__attribute__((target("avx2"), always_inline)) inline __m256i BlendHalf32(__m256i Pixels, __m256i Weights) {
  const __m256i kBias = _mm256_set1_epi16(128 * 255 + 127), kDiv = _mm256_set1_epi16(static_cast<short>(0x8081));
  const __m256i x = _mm256_add_epi16(_mm256_maddubs_epi16(Weights, Pixels), kBias);
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, kDiv), 7);  // x / 255 for any 16-bit x
}

__attribute__((target("avx2"), always_inline)) inline __m256i BlendBytes32(__m256i C, __m256i A, __m256i W) {
  const __m256i k80 = _mm256_set1_epi8(static_cast<char>(0x80)), kFF = _mm256_set1_epi8(static_cast<char>(0xFF));
  const __m256i c = _mm256_xor_si256(C, k80), a = _mm256_xor_si256(A, k80), v = _mm256_xor_si256(W, kFF);
  const __m256i lo = BlendHalf32(_mm256_unpacklo_epi8(c, a), _mm256_unpacklo_epi8(W, v));
  const __m256i hi = BlendHalf32(_mm256_unpackhi_epi8(c, a), _mm256_unpackhi_epi8(W, v));
  return _mm256_packus_epi16(lo, hi);
}

// The weights of pixels Lo .. Lo + 7 and Hi .. Hi + 7 in the two lanes.
__attribute__((target("avx2"), always_inline)) inline __m256i WeightLanes(const uint8_t* W, int Lo, int Hi) {
  return _mm256_set_m128i(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(W + Hi)),
                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(W + Lo)));
}

__attribute__((target("avx2"))) void BlendOverOpaqueAvx2(const uint8_t* C, const uint8_t* A, const uint8_t* W,
                                                         uint8_t* Out, size_t N) {
  // Byte j of a lane starting at byte b belongs to pixel (b + j) / 3; b mod 3 is 0, 1 or 2.
  const __m128i p0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i p1 = _mm_setr_epi8(0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5);
  const __m128i p2 = _mm_setr_epi8(0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5);
  const __m256i s0 = _mm256_set_m128i(p1, p0), s1 = _mm256_set_m128i(p0, p2), s2 = _mm256_set_m128i(p2, p1);
  const __m256i ones = _mm256_set1_epi8(static_cast<char>(0xFF)), zero = _mm256_setzero_si256();
  constexpr size_t kAhead = 1536;
  size_t i = 0;
  // The lanes' eight-byte weight loads reach two pixels past the block.
  for (; i + 34 <= N; i += 32) {
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(W + i));
    const size_t o = 3 * i;
    // A run of opaque or clear blocks is one copy of C or of A.
    const bool opaque = _mm256_movemask_epi8(_mm256_cmpeq_epi8(w, ones)) == -1;
    if (opaque || _mm256_movemask_epi8(_mm256_cmpeq_epi8(w, zero)) == -1) {
      const __m256i same = opaque ? ones : zero;
      size_t e = i + 32;
      while (e + 34 <= N &&
             _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(W + e)), same)) == -1)
        e += 32;
      if (opaque || Out != A) std::memcpy(Out + o, (opaque ? C : A) + o, 3 * (e - i));
      i = e - 32;
      continue;
    }
    // The three streams run ahead of the hardware's own prefetching, which keeps too few lines
    // in flight for three inputs.
    _mm_prefetch(reinterpret_cast<const char*>(C + o) + kAhead, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(C + o) + kAhead + 64, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(A + o) + kAhead, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(A + o) + kAhead + 64, _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(W + i) + kAhead / 3, _MM_HINT_T0);
    const __m256i w0 = _mm256_shuffle_epi8(WeightLanes(W + i, 0, 5), s0);
    const __m256i w1 = _mm256_shuffle_epi8(WeightLanes(W + i, 10, 16), s1);
    const __m256i w2 = _mm256_shuffle_epi8(WeightLanes(W + i, 21, 26), s2);
    const __m256i* c = reinterpret_cast<const __m256i*>(C + o);
    const __m256i* a = reinterpret_cast<const __m256i*>(A + o);
    __m256i* d = reinterpret_cast<__m256i*>(Out + o);
    _mm256_storeu_si256(d, BlendBytes32(_mm256_loadu_si256(c), _mm256_loadu_si256(a), w0));
    _mm256_storeu_si256(d + 1, BlendBytes32(_mm256_loadu_si256(c + 1), _mm256_loadu_si256(a + 1), w1));
    _mm256_storeu_si256(d + 2, BlendBytes32(_mm256_loadu_si256(c + 2), _mm256_loadu_si256(a + 2), w2));
  }
  // Clean upper halves before legacy SSE code runs again (the compiler does not add this here).
  _mm256_zeroupper();
  BlendOverOpaqueSsse3(C + 3 * i, A + 3 * i, W + i, Out + 3 * i, N - i);
}

// C over an opaque A with B's weight W per pixel (N pixels); Out may be A itself.
void BlendOverOpaque(const uint8_t* C, const uint8_t* A, const uint8_t* W, uint8_t* Out, size_t N) {
#if defined(__SSE2__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (avx2) BlendOverOpaqueAvx2(C, A, W, Out, N);
  else if (ssse3) BlendOverOpaqueSsse3(C, A, W, Out, N);
  else BlendOverOpaqueSse2(C, A, W, Out, N);
#else
  BlendOverOpaqueScalar(C, A, W, Out, 0, N);
#endif
}

// The alpha channel of a visible layer's picture that has a usable one, else nil (constant rows).
TPXBitmap* UsableAlpha(TPXLayer* Layer, TPXBitmap* Bitmap) {
  if (!Bitmap || !Layer->Visible()) return nullptr;
  TPXBitmap* alpha = Bitmap->PeekAlphaChannel();
  return alpha && alpha->Width() == Bitmap->Width() && alpha->Height() == Bitmap->Height() &&
                 alpha->PixelFormat() == px8g
             ? alpha
             : nullptr;
}

// Column range of the output row covered alike by A, B and the mask.
struct TBlendSegment {
  int32_t Start, End;
  bool InA, InB, InMask;
};

// Everything the row bands share; read-only while they run except the alpha state.
struct TBlendJob {
  int32_t W = 0;
  std::vector<TBlendSegment> Segments;
  int32_t ColA = 0, ColB = 0, ColM = 0;
  int64_t Top = 0, AY = 0, BY = 0, MY = 0;
  int32_t AW = 0, AH = 0, BW = 0, BH = 0, MaskH = 0;
  TPXBitmap* A = nullptr;
  TPXBitmap* B = nullptr;
  TPXBitmap* Mask = nullptr;
  TPXBitmap* AlphaA = nullptr;
  TPXBitmap* AlphaB = nullptr;
  bool HasMask = false;
  TBlendWeights WA, WB;
  bool Exact = false;
  TPXBlendOperation Operation = pxboNormal;
  TRGB Background;
  std::vector<TRGB> BackgroundRow;
  std::vector<uint8_t> ZeroRow, FullRow;
  const uint8_t* ConstA = nullptr;
  const uint8_t* ConstB = nullptr;
  std::vector<TRGB*> Rows;

  // The output's alpha channel: nil until a row needs it (then made fully opaque, under Lock).
  TPXBitmap* Target = nullptr;
  std::atomic<TPXBitmap*> Alpha{nullptr};
  std::atomic<bool> AnyTransparent{false};
  std::mutex Lock;

  TPXBitmap* NeedAlpha() {
    std::lock_guard<std::mutex> guard(Lock);
    TPXBitmap* alpha = Alpha.load(std::memory_order_acquire);
    if (!alpha) {
      alpha = Target->GetAlphaChannel();
      if (!alpha || alpha->IsEmpty()) throw EPXException("Not enough memory to merge layers");
      Alpha.store(alpha, std::memory_order_release);
    }
    return alpha;
  }
};

void BlendRows(TBlendJob& J, int32_t First, int32_t Count) {
  const int32_t W = J.W;
  std::vector<uint8_t> bufA(static_cast<size_t>(J.AW) * 3 + 1), bufB(static_cast<size_t>(J.BW) * 3 + 1);
  std::vector<TRGB> combined(static_cast<size_t>(W));
  std::vector<uint8_t> weights(static_cast<size_t>(W)), rowAlpha(static_cast<size_t>(W));
  const uint8_t* full = J.FullRow.data();

  for (int32_t y = First; y < First + Count; ++y) {
    const int64_t row = J.Top + y;
    const TRGB* ap = J.BackgroundRow.data();
    const uint8_t* aa = J.ZeroRow.data();
    if (const int64_t r = row - J.AY; J.A && r >= 0 && r < J.AH) {
      ap = reinterpret_cast<const TRGB*>(GetRowRGB24(J.A, static_cast<int32_t>(r), bufA.data(), false));
      aa = J.AlphaA ? J.AlphaA->Scanline(static_cast<int32_t>(r)) : J.ConstA;
    }
    const TRGB* bp = J.BackgroundRow.data();
    const uint8_t* ba = J.ZeroRow.data();
    if (const int64_t r = row - J.BY; J.B && r >= 0 && r < J.BH) {
      bp = reinterpret_cast<const TRGB*>(GetRowRGB24(J.B, static_cast<int32_t>(r), bufB.data(), false));
      ba = J.AlphaB ? J.AlphaB->Scanline(static_cast<int32_t>(r)) : J.ConstB;
    }
    const uint8_t* mp = nullptr;
    if (const int64_t r = row - J.MY; J.Mask && r >= 0 && r < J.MaskH) mp = J.Mask->Scanline(static_cast<int32_t>(r));
    const bool aFull = aa == full && J.WA.Exact && J.WA.Clamp[255] == 255;
    const bool bFull = ba == full && J.WB.Exact && J.WB.Clamp[255] == 255;
    TRGB* d = J.Rows[static_cast<size_t>(y)];
    TPXBitmap* alpha = J.Alpha.load(std::memory_order_acquire);
    uint8_t* da = alpha ? alpha->Scanline(y) : rowAlpha.data();
    bool mayBeTransparent = false;
    const int32_t combineRow = static_cast<int32_t>(row);

    for (const TBlendSegment& seg : J.Segments) {
      const int32_t n = seg.End - seg.Start;
      const size_t un = static_cast<size_t>(n);
      // Outside the mask B counts as transparent; inside, the mask value limits B's alpha.
      const bool maskOut = J.HasMask && (!mp || !seg.InMask);
      const uint8_t* mrow = J.HasMask && !maskOut ? mp + seg.Start + J.ColM : nullptr;
      TRGB* o = d + seg.Start;
      uint8_t* oa = da + seg.Start;
      if (!seg.InA && !seg.InB) {
        std::fill_n(o, n, J.Background);
        std::memset(oa, 0, un);
        mayBeTransparent = true;
      } else if (!seg.InB) {
        const uint8_t* sa = aa + seg.Start + J.ColA;
        if (o != ap + seg.Start + J.ColA) std::memcpy(o, ap + seg.Start + J.ColA, un * 3);
        if (aFull) {
          std::memset(oa, 255, un);
        } else {
          for (int32_t i = 0; i < n; ++i) oa[i] = J.WA.Lone[sa[i]];
          mayBeTransparent = true;
        }
      } else if (!seg.InA) {
        const uint8_t* sa = ba + seg.Start + J.ColB;
        std::memcpy(o, bp + seg.Start + J.ColB, un * 3);
        if (bFull && !J.HasMask) {
          std::memset(oa, 255, un);
        } else {
          if (maskOut) std::memset(oa, 0, un);
          else if (mrow) for (int32_t i = 0; i < n; ++i) oa[i] = J.WB.Lone[std::min(sa[i], mrow[i])];
          else for (int32_t i = 0; i < n; ++i) oa[i] = J.WB.Lone[sa[i]];
          mayBeTransparent = true;
        }
      } else {
        const TRGB* sA = ap + seg.Start + J.ColA;
        const uint8_t* sAa = aa + seg.Start + J.ColA;
        const TRGB* sB = bp + seg.Start + J.ColB;
        const uint8_t* sBa = ba + seg.Start + J.ColB;
        const TRGB* c = sB;
        if (J.Operation != pxboNormal) {
          TRGB* cc = combined.data() + seg.Start;
          for (int32_t i = 0; i < n; ++i) {
            cc[i] = sA[i];
            CombinePixels(sB[i], cc[i], J.Operation, combineRow);
          }
          c = cc;
        }
        bool aOpaque = aFull;
        if (!aOpaque && J.Exact) {
          aOpaque = true;
          for (int32_t i = 0; i < n && aOpaque; ++i) aOpaque = J.WA.Clamp[sAa[i]] == 255;
        }
        if (J.Exact && aOpaque) {
          // Over an opaque A the result is opaque: B's weight alone decides the colour.
          if (maskOut) {
            if (o != sA) std::memcpy(o, sA, un * 3);
          } else if (bFull && !mrow) {
            std::memcpy(o, c, un * 3);
          } else {
            const uint8_t* w = sBa;
            if (mrow || J.WB.Clamp[255] != 255) {
              uint8_t* ib = weights.data() + seg.Start;
              if (mrow) for (int32_t i = 0; i < n; ++i) ib[i] = J.WB.Clamp[std::min(sBa[i], mrow[i])];
              else for (int32_t i = 0; i < n; ++i) ib[i] = J.WB.Clamp[sBa[i]];
              w = ib;
            }
            BlendOverOpaque(reinterpret_cast<const uint8_t*>(c), reinterpret_cast<const uint8_t*>(sA), w,
                            reinterpret_cast<uint8_t*>(o), un);
          }
          std::memset(oa, 255, un);
        } else if (J.Exact) {
          mayBeTransparent = true;
          for (int32_t i = 0; i < n; ++i) {
            const int32_t va = J.WA.Clamp[sAa[i]];
            const int32_t vb = maskOut ? 0 : J.WB.Clamp[mrow ? std::min(sBa[i], mrow[i]) : sBa[i]];
            if (vb == 255) {
              o[i] = c[i];
              oa[i] = 255;
            } else if (vb == 0) {
              o[i] = va == 0 ? c[i] : sA[i];
              oa[i] = static_cast<uint8_t>(va);
            } else if (va == 0) {
              o[i] = c[i];
              oa[i] = static_cast<uint8_t>(vb);
            } else {
              const int32_t den = vb * 255 + (255 - vb) * va;
              TRGB px;
              if (BlendChannelExact(c[i].r, sA[i].r, vb, va, den, px.r) &&
                  BlendChannelExact(c[i].g, sA[i].g, vb, va, den, px.g) &&
                  BlendChannelExact(c[i].b, sA[i].b, vb, va, den, px.b)) {
                o[i] = px;
                oa[i] = static_cast<uint8_t>((den + 127) / 255);
              } else {
                BlendPixelDouble(sA[i], c[i], va / 255.0, vb / 255.0, o[i], oa[i]);
              }
            }
          }
        } else {
          mayBeTransparent = true;
          for (int32_t i = 0; i < n; ++i) {
            const double alphaA = J.WA.Alpha(sAa[i]);
            const double alphaB = maskOut ? 0.0 : J.WB.Alpha(mrow ? std::min(sBa[i], mrow[i]) : sBa[i]);
            BlendPixelDouble(sA[i], c[i], alphaA, alphaB, o[i], oa[i]);
          }
        }
      }
    }

    if (mayBeTransparent && std::memcmp(da, full, static_cast<size_t>(W)) != 0) {
      J.AnyTransparent.store(true, std::memory_order_relaxed);
      if (!alpha) std::memcpy(J.NeedAlpha()->Scanline(y), rowAlpha.data(), static_cast<size_t>(W));
    }
  }
}

}  // namespace

void BlendLayerPair(TPXLayer* A, TPXLayer* B, TPXBitmap* Dest, const TPXBlendLayerOptions& Options) {
  if (!A || !B || !Dest) throw EPXException("Layers to merge not assigned");

  // Other kinds merge through a temporary image layer rendered at twice their box size.
  std::unique_ptr<TPXImageLayer> convertedA, convertedB;
  if (A->Kind() != pxlkImage) {
    convertedA = TPXImageLayer::CreateFromLayer(A->Owner(), A, 2.0, true);
    A = convertedA.get();
  }
  if (B->Kind() != pxlkImage) {
    convertedB = TPXImageLayer::CreateFromLayer(B->Owner(), B, 2.0, true);
    B = convertedB.get();
  }

  TBlendPicture pa, pb;
  PrepareLayerForBlend(pa, A, Options.Filter);
  PrepareLayerForBlend(pb, B, Options.Filter);
  const bool hasMask = Options.Mask != nullptr;
  TBlendMask pm;
  if (hasMask) PrepareMask(pm, Options.Mask);

  // Positions moved to non-negative values (64-bit: layer positions may be anywhere).
  int64_t aX = pa.X, aY = pa.Y, bX = pb.X, bY = pb.Y, mX = hasMask ? pm.X : 0, mY = hasMask ? pm.Y : 0;
  const int64_t aW = pa.Width, aH = pa.Height, bW = pb.Width, bH = pb.Height;
  const bool cropToA = Options.CropToA || (B->Cropped() && !Options.IgnoreCropped);
  auto shiftOrigin = [](int64_t& Origin, int64_t& Other, int64_t& MaskPos) {
    if (Origin >= 0) return;
    Other -= Origin;
    MaskPos -= Origin;
    Origin = 0;
  };
  shiftOrigin(aX, bX, mX);
  shiftOrigin(aY, bY, mY);
  if (!cropToA) {
    shiftOrigin(bX, aX, mX);
    shiftOrigin(bY, aY, mY);
  }
  int64_t left = aX, top = aY, right = aX + aW, bottom = aY + aH;
  if (!cropToA) {
    left = std::min(aX, bX);
    top = std::min(aY, bY);
    right = std::max(aX + aW, bX + bW);
    bottom = std::max(aY + aH, bY + bH);
  }
  const int64_t W64 = right - left, H64 = bottom - top;
  if (W64 > INT32_MAX / 4 || H64 > INT32_MAX) throw EPXException("Merged picture too large");

  // Compose into Dest, or into a scratch picture when Dest is one of the sources. A's own
  // px24RGB picture composes in place when the result has exactly its box: each output pixel is
  // then written from the same pixel of A, after it was read, and clear runs are not touched.
  const bool inPlace = Dest == pa.Bitmap && !pa.Copy && Dest->PixelFormat() == px24RGB && !Dest->IsVirtual() &&
                       left == aX && top == aY && right - left == aW && bottom - top == aH;
  std::unique_ptr<TPXBitmap> scratch;
  TPXBitmap* target = Dest;
  for (TPXBitmap* src : {pa.Bitmap, pb.Bitmap, pm.Bitmap})
    if (src && (src == Dest || src->PeekAlphaChannel() == Dest) && !(inPlace && src == pa.Bitmap)) {
      scratch = std::make_unique<TPXBitmap>();
      target = scratch.get();
    }
  if (W64 <= 0 || H64 <= 0) {
    Dest->RemoveAlphaChannel(false, clBlack);
    Dest->Allocate(0, 0, px24RGB);
    return;
  }
  const int32_t W = static_cast<int32_t>(W64), H = static_cast<int32_t>(H64);
  if (target->Width() != W || target->Height() != H || target->PixelFormat() != px24RGB || target->IsEmpty())
    if (!target->Allocate(W, H, px24RGB)) throw EPXException("Not enough memory to merge layers");

  // Column segments of the output row (output indices), each covered alike by A, B and the mask.
  TBlendJob job;
  job.W = W;
  {
    auto clampCol = [&](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, W)); };
    const int64_t a0 = aX - left, b0 = bX - left, m0 = mX - left;
    std::vector<int32_t> cuts{0, W, clampCol(a0), clampCol(a0 + aW), clampCol(b0), clampCol(b0 + bW)};
    if (hasMask) {
      cuts.push_back(clampCol(m0));
      cuts.push_back(clampCol(m0 + pm.Width));
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
      const int32_t s = cuts[i];
      job.Segments.push_back({s, cuts[i + 1], pa.Bitmap && s >= a0 && s < a0 + aW,
                              pb.Bitmap && s >= b0 && s < b0 + bW, s >= m0 && s < m0 + pm.Width});
    }
  }
  job.ColA = static_cast<int32_t>(left - aX);
  job.ColB = static_cast<int32_t>(left - bX);
  job.ColM = static_cast<int32_t>(left - mX);
  job.Top = top;
  job.AY = aY;
  job.BY = bY;
  job.MY = mY;
  job.AW = static_cast<int32_t>(aW);
  job.AH = static_cast<int32_t>(aH);
  job.BW = static_cast<int32_t>(bW);
  job.BH = static_cast<int32_t>(bH);
  job.A = pa.Bitmap;
  job.B = pb.Bitmap;
  job.Mask = hasMask ? pm.Bitmap : nullptr;
  job.MaskH = pm.Height;
  job.HasMask = hasMask;
  job.WA.Setup(A);
  job.WB.Setup(B);
  job.Exact = job.WA.Exact && job.WB.Exact;
  job.Operation = static_cast<TPXBlendOperation>(B->Operation());
  job.Background = TColorToRGB(Options.Background);
  job.AlphaA = UsableAlpha(A, pa.Bitmap);
  job.AlphaB = UsableAlpha(B, pb.Bitmap);
  const size_t widest = static_cast<size_t>(std::max<int64_t>({aW, bW, 1}));
  const size_t constWidth = std::max(widest, static_cast<size_t>(W));
  job.BackgroundRow.assign(constWidth, job.Background);
  job.ZeroRow.assign(constWidth, 0);
  job.FullRow.assign(constWidth, 255);
  job.ConstA = A->Visible() ? job.FullRow.data() : job.ZeroRow.data();
  job.ConstB = B->Visible() ? job.FullRow.data() : job.ZeroRow.data();
  job.Rows.resize(static_cast<size_t>(H));
  for (int32_t y = 0; y < H; ++y) job.Rows[static_cast<size_t>(y)] = static_cast<TRGB*>(target->GetScanline(y));

  // The alpha channel is made only once a row turns out not to be opaque; a suitable one that
  // Dest already has is written throughout.
  job.Target = target;
  if (TPXBitmap* old = target->PeekAlphaChannel()) {
    if (old->Width() == W && old->Height() == H && old->PixelFormat() == px8g && !old->IsVirtual())
      job.Alpha.store(old);
    else
      target->RemoveAlphaChannel(false, Options.Background);
  }

  // Rows are independent: large merges run in bands on the thread pool, unless a picture computes
  // its rows on demand or looks up a colour table (neither may be read from several threads).
  auto threadSafe = [](TPXBitmap* Bitmap) {
    return !Bitmap || (!Bitmap->IsVirtual() && Bitmap->PixelFormat() != px8p &&
                       (!Bitmap->PeekAlphaChannel() || !Bitmap->PeekAlphaChannel()->IsVirtual()));
  };
  const int32_t bands = threadSafe(pa.Bitmap) && threadSafe(pb.Bitmap) && threadSafe(job.Mask) && !target->IsVirtual()
                            ? ChooseThreadCount(W, H)
                            : 1;
  RunProcBands(H, bands, [&job](int32_t First, int32_t Count, bool) { BlendRows(job, First, Count); });

  if (TPXBitmap* alpha = job.Alpha.load()) {
    if (job.AnyTransparent.load()) {
      alpha->UpdateFull();
    } else {
      target->RemoveAlphaChannel(false, Options.Background);
    }
  }
  if (target != Dest) Dest->AssignFrom(target, false);
  Dest->DoChange();
}
