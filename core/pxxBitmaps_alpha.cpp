// The alpha channel of TPXBitmap: creation, replacement, removal, merging with a background,
// feathering, the fully-opaque flag and the fourth byte of 32-bit pictures.
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_alpha.h"

TPXBitmap* TPXBitmap::GetAlphaChannel() {
  if (FIsAlphaChannel) return nullptr;
  if (!FAlphaChannel) FAlphaChannel = CreateAlphaChannel(GetWidth(), FLocation, GetHeight());
  return FAlphaChannel.get();
}

TPXBitmap* TPXBitmap::PeekAlphaChannel() { return FAlphaChannel.get(); }

std::unique_ptr<TPXBitmap> TPXBitmap::CreateAlphaChannel(int32_t Width, TPXBitmapLocation Location, int32_t Height) {
  auto alpha = std::make_unique<TPXBitmap>();
  alpha->FExternalTBitmap = 0;
  alpha->FExternalMemory = 0;
  alpha->FIsAlphaChannel = 1;
  alpha->FLocation = Location == pxTBitmap ? pxMemory : Location;
  alpha->Allocate(Width, Height, px8g);
  alpha->Fill(255);
  return alpha;
}

void TPXBitmap::ReplaceAlphaChannel(std::unique_ptr<TPXBitmap> Bitmap) {
  if (Bitmap && Bitmap.get() == FAlphaChannel.get()) {
    (void)Bitmap.release();  // already ours
    return;
  }
  if (FIsAlphaChannel) return;  // an alpha channel has none of its own
  FAlphaChannel = std::move(Bitmap);
  if (FAlphaChannel) FAlphaChannel->FIsAlphaChannel = 1;
  DoChange();
}

std::unique_ptr<TPXBitmap> TPXBitmap::DetachAlphaChannel(bool CreateIfMissing) {
  if (CreateIfMissing) GetAlphaChannel();
  std::unique_ptr<TPXBitmap> alpha = std::move(FAlphaChannel);
  if (alpha) DoChange();
  return alpha;
}

void TPXBitmap::RemoveAlphaChannel(bool Merge, TColor BackgroundColor) {
  if (FIsAlphaChannel || !FAlphaChannel) return;
  if (Merge) MergeAlphaWithColor(BackgroundColor);
  FAlphaChannel.reset();
  DoChange();
}

namespace {

#if defined(__x86_64__) || defined(__i386__)
#define PX_MERGE_ALPHA_SSSE3 1

bool MergeHasSSSE3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// For sixteen pixels (48 colour bytes): the shuffles that give each colour byte its pixel's alpha
// byte, and the background byte under each colour byte widened to 16 bits, in the order the
// low and high unpacking of each 16-byte block gives them.
struct TMergeTables {
  alignas(16) uint8_t Spread[3][16];
  alignas(16) uint16_t BgLo[3][8];
  alignas(16) uint16_t BgHi[3][8];
  explicit TMergeTables(const TRGB Bg) {
    const uint8_t channel[3] = {Bg.b, Bg.g, Bg.r};
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 16; ++i) Spread[k][i] = static_cast<uint8_t>((16 * k + i) / 3);
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 8; ++i) {
        BgLo[k][i] = channel[(16 * k + i) % 3];
        BgHi[k][i] = channel[(16 * k + 8 + i) % 3];
      }
  }
};

// Sixteen pixels (48 bytes) at a time: each pixel's alpha spread over its three bytes by a
// shuffle, then for every byte floor(d * A / 256) as the high half of (d * 128) * (A * 2), exact
// for |d| <= 255. Answers the pixels done.
__attribute__((target("ssse3"))) int32_t MergeAlphaRowSSSE3(uint8_t* Px, const uint8_t* Alpha, const TRGB Bg,
                                                           int32_t N) {
  const TMergeTables t(Bg);
  const __m128i zero = _mm_setzero_si128();
  auto load = [](const void* P) { return _mm_load_si128(static_cast<const __m128i*>(P)); };
  auto half = [](__m128i v16, __m128i b16, __m128i a16) {
    const __m128i d = _mm_slli_epi16(_mm_sub_epi16(v16, b16), 7);
    return _mm_add_epi16(b16, _mm_mulhi_epi16(d, _mm_slli_epi16(a16, 1)));
  };
  int32_t x = 0;
  for (; x + 16 <= N; x += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Alpha + x));
    uint8_t* p = Px + 3 * static_cast<int64_t>(x);
    for (int k = 0; k < 3; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      const __m128i s = _mm_shuffle_epi8(a, load(t.Spread[k]));
      const __m128i lo = half(_mm_unpacklo_epi8(v, zero), load(t.BgLo[k]), _mm_unpacklo_epi8(s, zero));
      const __m128i hi = half(_mm_unpackhi_epi8(v, zero), load(t.BgHi[k]), _mm_unpackhi_epi8(s, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), _mm_packus_epi16(lo, hi));
    }
  }
  return x;
}

bool MergeHasAVX2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// b + floor((v - b) * A / 256) for sixteen 16-bit samples, as in MergeAlphaRowSSSE3.
__attribute__((target("avx2"))) inline __m256i MergeHalfAVX2(__m256i V16, __m256i B16, __m256i A16) {
  const __m256i d = _mm256_slli_epi16(_mm256_sub_epi16(V16, B16), 7);
  return _mm256_add_epi16(B16, _mm256_mulhi_epi16(d, _mm256_slli_epi16(A16, 1)));
}

// Sixteen bytes repeated in both 128-bit lanes.
__attribute__((target("avx2"))) inline __m256i MergeBroadcastAVX2(const void* P) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(static_cast<const __m128i*>(P)));
}

// As MergeAlphaRowSSSE3 with two groups of sixteen pixels side by side, one in each 128-bit lane:
// lane 0 holds pixels x .. x + 15, lane 1 pixels x + 16 .. x + 31. Answers the pixels done.
__attribute__((target("avx2"))) int32_t MergeAlphaRowAVX2(uint8_t* Px, const uint8_t* Alpha, const TRGB Bg,
                                                         int32_t N) {
  const TMergeTables t(Bg);
  const __m256i zero = _mm256_setzero_si256();
  __m256i spread[3], bgLo[3], bgHi[3];
  for (int k = 0; k < 3; ++k) {
    spread[k] = MergeBroadcastAVX2(t.Spread[k]);
    bgLo[k] = MergeBroadcastAVX2(t.BgLo[k]);
    bgHi[k] = MergeBroadcastAVX2(t.BgHi[k]);
  }
  int32_t x = 0;
  for (; x + 32 <= N; x += 32) {
    const __m256i a = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(Alpha + x + 16),
                                          reinterpret_cast<const __m128i*>(Alpha + x));
    uint8_t* p = Px + 3 * static_cast<int64_t>(x);
    for (int k = 0; k < 3; ++k) {
      const __m256i v = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 48 + 16 * k),
                                            reinterpret_cast<const __m128i*>(p + 16 * k));
      const __m256i s = _mm256_shuffle_epi8(a, spread[k]);
      const __m256i lo = MergeHalfAVX2(_mm256_unpacklo_epi8(v, zero), bgLo[k], _mm256_unpacklo_epi8(s, zero));
      const __m256i hi = MergeHalfAVX2(_mm256_unpackhi_epi8(v, zero), bgHi[k], _mm256_unpackhi_epi8(s, zero));
      _mm256_storeu2_m128i(reinterpret_cast<__m128i*>(p + 48 + 16 * k), reinterpret_cast<__m128i*>(p + 16 * k),
                           _mm256_packus_epi16(lo, hi));
    }
  }
  return x;
}
#endif

}  // namespace

void MergeAlphaRow(uint8_t* Px, const uint8_t* Alpha, const TRGB Bg, int32_t N) {
  int32_t x = 0;
#ifdef PX_MERGE_ALPHA_SSSE3
  if (MergeHasAVX2()) x = MergeAlphaRowAVX2(Px, Alpha, Bg, N);
  if (MergeHasSSSE3()) x += MergeAlphaRowSSSE3(Px + 3 * static_cast<int64_t>(x), Alpha + x, Bg, N - x);
#endif
  // In 32-bit integers as ((v - b) * (A * 1024)) >> 18: an opaque channel above the background
  // comes out one lower, which flattening relies on.
  const int32_t bb = Bg.b, bgg = Bg.g, br = Bg.r;
  for (uint8_t* px = Px + 3 * static_cast<int64_t>(x); x < N; ++x, px += 3) {
    const int32_t k = Alpha[x] * 1024;
    px[0] = static_cast<uint8_t>(bb + (((px[0] - bb) * k) >> 18));
    px[1] = static_cast<uint8_t>(bgg + (((px[1] - bgg) * k) >> 18));
    px[2] = static_cast<uint8_t>(br + (((px[2] - br) * k) >> 18));
  }
}

// v := b + floor((v - b) * A / 256) for every channel of every pixel.
void TPXBitmap::MergeAlphaWithColor(TColor BackgroundColor) {
  if (!FAlphaChannel || GetPixelFormat() != px24RGB) return;
  const TRGB bg = TColorToRGB(BackgroundColor);
  const int32_t w = std::min(GetWidth(), FAlphaChannel->GetWidth());
  const int32_t h = std::min(GetHeight(), FAlphaChannel->GetHeight());
  for (int32_t y = 0; y < h; ++y)
    MergeAlphaRow(static_cast<uint8_t*>(GetScanline(y)), static_cast<const uint8_t*>(FAlphaChannel->GetScanline(y)),
                  bg, w);
  DoChange();
}

void TPXBitmap::FeatherAlphaEdges(int32_t Width) {
  if (FIsAlphaChannel || !FAlphaChannel) return;
  TPXBitmap* alpha = FAlphaChannel.get();
  const int32_t w = alpha->GetWidth(), h = alpha->GetHeight();
  if (w <= 0 || h <= 0) return;
  if (Width > 0) {
    const int32_t step = 256 / Width;
    // One running value: alpha may rise by at most Step per pixel away from a lower value.
    auto scan = [step](int32_t& r, uint8_t& p) {
      if (r < p) {
        r = std::min(r + step, 255);
        p = static_cast<uint8_t>(r);
      } else {
        r = p;
      }
    };
    for (int32_t y = 0; y < h; ++y) {
      auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
      int32_t r = 0;
      for (int32_t x = 0; x < w; ++x) scan(r, row[x]);
      r = 0;
      for (int32_t x = w - 1; x >= 0; --x) scan(r, row[x]);
    }
    std::vector<int32_t> run(static_cast<size_t>(w));
    std::fill(run.begin(), run.end(), 0);
    for (int32_t y = 0; y < h; ++y) {
      auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
      for (int32_t x = 0; x < w; ++x) scan(run[x], row[x]);
    }
    std::fill(run.begin(), run.end(), 0);
    for (int32_t y = h - 1; y >= 0; --y) {
      auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
      for (int32_t x = 0; x < w; ++x) scan(run[x], row[x]);
    }
  }
  std::vector<uint8_t> copy(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(&copy[static_cast<size_t>(y) * w], alpha->GetScanline(y), static_cast<size_t>(w));
  auto at = [&](int32_t x, int32_t y) -> int32_t { return copy[static_cast<size_t>(y) * w + x]; };
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
    const int32_t up = std::max(y - 1, 0), down = std::min(y + 1, h - 1);
    for (int32_t x = 0; x < w; ++x) {
      if (at(x, y) == 0) continue;
      const int32_t left = x > 0 ? at(x - 1, y) : 0;
      const int32_t right = x < w - 1 ? at(x + 1, y) : 0;
      row[x] = static_cast<uint8_t>((left + right + at(x, up) + at(x, down)) >> 2);
    }
  }
  alpha->FFull = 0;
  DoChange();
}

void TPXBitmap::UpdateFull() {
  const int32_t w = GetWidth(), h = GetHeight();
  const int64_t used = (static_cast<int64_t>(w) * GetBitCount() + 7) / 8;
  bool full = w > 0 && h > 0 && used > 0;
  for (int32_t y = 0; full && y < h; ++y) {
    const auto* row = static_cast<const uint8_t*>(GetScanline(y));
    if (!row) {
      full = false;
      break;
    }
    for (int64_t i = 0; i < used; ++i)
      if (row[i] != 255) {
        full = false;
        break;
      }
  }
  FFull = full ? 1 : 0;
}

void TPXBitmap::SyncAlpha32(bool ToAlpha, bool ChangeFormat) {
  if (ToAlpha) {
    if (GetPixelFormat() == px32RGB) {
      TPXBitmap* alpha = GetAlphaChannel();
      const int32_t w = std::min(GetWidth(), alpha->GetWidth()), h = std::min(GetHeight(), alpha->GetHeight());
      bool full = true;
      for (int32_t y = 0; y < h; ++y) {
        const auto* px = static_cast<const uint8_t*>(GetScanline(y));
        auto* a = static_cast<uint8_t*>(alpha->GetScanline(y));
        for (int32_t x = 0; x < w; ++x) {
          a[x] = px[4 * x + 3];
          if (a[x] != 255) full = false;
        }
      }
      alpha->FFull = full ? 1 : 0;
      if (ChangeFormat) SetPixelFormat(px24RGB);
    }
  } else {
    if (ChangeFormat) SetPixelFormat(px32RGB);
    if (GetPixelFormat() == px32RGB) {
      TPXBitmap* alpha = GetAlphaChannel();
      const int32_t w = std::min(GetWidth(), alpha->GetWidth()), h = std::min(GetHeight(), alpha->GetHeight());
      for (int32_t y = 0; y < h; ++y) {
        auto* px = static_cast<uint8_t*>(GetScanline(y));
        const auto* a = static_cast<const uint8_t*>(alpha->GetScanline(y));
        for (int32_t x = 0; x < w; ++x) px[4 * x + 3] = a[x];
      }
    }
  }
  DoChange();
}
