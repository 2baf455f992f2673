// Canvas resize, flips and the geometry routines of the processing engine.
#include "proc/pixoranproc_geometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PX_PROC_FLIP_SSSE3 1
#endif

#include "core/hypxutils_threads.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_blur.h"  // RunProcBands
#include "proc/pixoranproc_undopause.h"

namespace {

constexpr std::array<uint8_t, 256> MakeBitReverse() {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int b = 0; b < 8; ++b)
      if (v & (1 << b)) r |= 0x80 >> b;
    t[static_cast<size_t>(v)] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr std::array<uint8_t, 256> ReverseBitsInByte = MakeBitReverse();

// Reverses Width pixels of Bytes bytes each in place.
void ReversePixels(uint8_t* Row, int32_t Width, int32_t Bytes) {
  switch (Bytes) {
    case 1:
      std::reverse(Row, Row + Width);
      break;
    case 3: {
      uint8_t* a = Row;
      uint8_t* b = Row + 3 * static_cast<int64_t>(Width - 1);
      for (; a < b; a += 3, b -= 3) {
        std::swap(a[0], b[0]);
        std::swap(a[1], b[1]);
        std::swap(a[2], b[2]);
      }
      break;
    }
    case 4: {
      uint8_t* p = Row;
      for (int32_t i = 0, j = Width - 1; i < j; ++i, --j) {
        uint32_t u, v;
        std::memcpy(&u, p + 4 * i, 4);
        std::memcpy(&v, p + 4 * j, 4);
        std::memcpy(p + 4 * i, &v, 4);
        std::memcpy(p + 4 * j, &u, 4);
      }
      break;
    }
    default:
      for (int32_t i = 0, j = Width - 1; i < j; ++i, --j)
        std::swap_ranges(Row + static_cast<int64_t>(i) * Bytes, Row + static_cast<int64_t>(i + 1) * Bytes,
                         Row + static_cast<int64_t>(j) * Bytes);
      break;
  }
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }
// The bits of every byte reversed.
inline uint64_t ReverseBytesBits(uint64_t v) {
  v = ((v >> 1) & 0x5555555555555555ull) | ((v & 0x5555555555555555ull) << 1);
  v = ((v >> 2) & 0x3333333333333333ull) | ((v & 0x3333333333333333ull) << 2);
  return ((v >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((v & 0x0F0F0F0F0F0F0F0Full) << 4);
}

#ifdef PX_PROC_FLIP_SSSE3
bool FlipHasSSSE3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}
bool FlipHasAVX2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// The bytes of v in reverse order, each with its bits reversed (nibbles through a table).
__attribute__((target("avx2"))) inline __m256i ReverseBits256(__m256i v) {
  const __m256i order = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11,
                                         10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  const __m256i toHigh = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0x00, static_cast<char>(0x80), 0x40, static_cast<char>(0xC0), 0x20, static_cast<char>(0xA0), 0x60,
                    static_cast<char>(0xE0), 0x10, static_cast<char>(0x90), 0x50, static_cast<char>(0xD0), 0x30,
                    static_cast<char>(0xB0), 0x70, static_cast<char>(0xF0)));
  const __m256i toLow = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF));
  const __m256i low = _mm256_set1_epi8(0x0F);
  v = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, order), 0x4E);
  return _mm256_or_si256(_mm256_shuffle_epi8(toHigh, _mm256_and_si256(v, low)),
                         _mm256_shuffle_epi8(toLow, _mm256_and_si256(_mm256_srli_epi16(v, 4), low)));
}

// Shifts Row[0 .. N) left by S (1..7) bits across bytes, 32 bytes a step while a whole step and
// the byte after it lie in the row; returns where it stopped. Each step loads the byte after its
// block before the next step writes it.
__attribute__((target("avx2"))) int32_t ShiftBitsLeftAVX2(uint8_t* Row, int32_t N, int32_t S) {
  const __m256i keepHigh = _mm256_set1_epi8(static_cast<char>((0xFF << S) & 0xFF));
  const __m256i keepLow = _mm256_set1_epi8(static_cast<char>(0xFF >> (8 - S)));
  const __m128i up = _mm_cvtsi32_si128(S), down = _mm_cvtsi32_si128(8 - S);
  int32_t k = 0;
  for (; k + 33 <= N; k += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Row + k));
    const __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Row + k + 1));
    const __m256i out = _mm256_or_si256(_mm256_and_si256(_mm256_sll_epi16(v, up), keepHigh),
                                        _mm256_and_si256(_mm256_srl_epi16(next, down), keepLow));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Row + k), out);
  }
  return k;
}

// As ReverseBitBytesSSSE3 below with 32 bytes at each end, while at least 64 bytes remain.
__attribute__((target("avx2"))) void ReverseBitBytesAVX2(uint8_t* Row, int32_t& I, int32_t& J) {
  for (; J - I >= 64; I += 32, J -= 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Row + I));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Row + J - 32));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Row + I), ReverseBits256(b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Row + J - 32), ReverseBits256(a));
  }
}

// The bytes of v in reverse order, each with its bits reversed.
__attribute__((target("ssse3"))) inline __m128i ReverseBits128(__m128i v) {
  const __m128i order = _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  // A nibble reversed, in the high or low half of the byte.
  const __m128i toHigh = _mm_setr_epi8(0x00, static_cast<char>(0x80), 0x40, static_cast<char>(0xC0), 0x20,
                                       static_cast<char>(0xA0), 0x60, static_cast<char>(0xE0), 0x10,
                                       static_cast<char>(0x90), 0x50, static_cast<char>(0xD0), 0x30,
                                       static_cast<char>(0xB0), 0x70, static_cast<char>(0xF0));
  const __m128i toLow = _mm_setr_epi8(0x0, 0x8, 0x4, 0xC, 0x2, 0xA, 0x6, 0xE, 0x1, 0x9, 0x5, 0xD, 0x3, 0xB, 0x7, 0xF);
  const __m128i low = _mm_set1_epi8(0x0F);
  v = _mm_shuffle_epi8(v, order);
  return _mm_or_si128(_mm_shuffle_epi8(toHigh, _mm_and_si128(v, low)),
                      _mm_shuffle_epi8(toLow, _mm_and_si128(_mm_srli_epi16(v, 4), low)));
}

// Reverses the bit order of Row[I .. J) in place from both ends, 16 bytes at each end per step,
// while at least 32 bytes remain; I and J come back at the part left over.
__attribute__((target("ssse3"))) void ReverseBitBytesSSSE3(uint8_t* Row, int32_t& I, int32_t& J) {
  for (; J - I >= 32; I += 16, J -= 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + I));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Row + J - 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + I), ReverseBits128(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Row + J - 16), ReverseBits128(a));
  }
}
#endif

// Mirrors a 1-bit row of Width pixels left-right in place.
//
// The row's bytes are taken in reverse order with each byte's bits reversed (T), from both ends
// at once; output pixel x is then bit x + s of T, s = the padding bits of the last byte, so a
// width that is not a multiple of 8 is finished by shifting the row left by s bits (the row is in
// the first level cache by then).
void ReverseBitRow(uint8_t* Row, int32_t Width) {
  const int32_t n = (Width + 7) / 8;
  const int32_t s = n * 8 - Width;
  int32_t i = 0, j = n;  // Row[i .. j) is still in source order
#ifdef PX_PROC_FLIP_SSSE3
  if (FlipHasAVX2()) ReverseBitBytesAVX2(Row, i, j);
  if (FlipHasSSSE3()) ReverseBitBytesSSSE3(Row, i, j);
#endif
  for (; j - i >= 16; i += 8, j -= 8) {
    const uint64_t a = Load64(Row + i), b = Load64(Row + j - 8);
    Store64(Row + i, __builtin_bswap64(ReverseBytesBits(b)));
    Store64(Row + j - 8, __builtin_bswap64(ReverseBytesBits(a)));
  }
  for (; j - i >= 2; ++i, --j) {
    const uint8_t a = Row[i];
    Row[i] = ReverseBitsInByte[Row[j - 1]];
    Row[j - 1] = ReverseBitsInByte[a];
  }
  if (j - i == 1) Row[i] = ReverseBitsInByte[Row[i]];
  if (s == 0) return;
  // Left by s bits; eight bytes at a time read as big-endian words, each step reading the byte
  // after its word before the next step writes it.
  int32_t k = 0;
#ifdef PX_PROC_FLIP_SSSE3
  if (FlipHasAVX2()) k = ShiftBitsLeftAVX2(Row, n, s);
#endif
  for (; k + 9 <= n; k += 8) {
    const uint64_t w = __builtin_bswap64(Load64(Row + k));
    Store64(Row + k, __builtin_bswap64((w << s) | (Row[k + 8] >> (8 - s))));
  }
  for (; k + 1 < n; ++k) Row[k] = static_cast<uint8_t>((Row[k] << s) | (Row[k + 1] >> (8 - s)));
  Row[n - 1] = static_cast<uint8_t>(Row[n - 1] << s);
}

void FlipPixels(TPXBitmap* Bitmap, TPXFlipDirection Direction) {
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const int32_t bits = Bitmap->BitCount();
  if (w <= 0 || h <= 0 || bits <= 0) return;
  if (Direction == pxfdVertical) {
    const size_t len = static_cast<size_t>((static_cast<int64_t>(w) * bits + 7) / 8);
    std::vector<uint8_t> tmp(len);
    for (int32_t i = 0, j = h - 1; i < j; ++i, --j) {
      uint8_t* a = Bitmap->Scanline(i);
      uint8_t* b = Bitmap->Scanline(j);
      std::memcpy(tmp.data(), a, len);
      std::memcpy(a, b, len);
      std::memcpy(b, tmp.data(), len);
    }
  } else {
    if (bits != 1 && bits % 8 != 0) return;
    // Rows are independent: pictures of several megabytes mirror them in bands on the thread
    // pool (row addresses of virtual storage are not stable, so those stay on one thread).
    const int64_t bytes = (static_cast<int64_t>(w) * bits + 7) / 8 * h;
    const int32_t bands = Bitmap->IsVirtual() || bytes < (8 << 20) ? 1 : ChooseThreadCount(w, h);
    RunProcBands(h, bands, [&](int32_t First, int32_t Number, bool) {
      for (int32_t y = First; y < First + Number; ++y) {
        if (bits == 1)
          ReverseBitRow(Bitmap->Scanline(y), w);
        else
          ReversePixels(Bitmap->Scanline(y), w, bits / 8);
      }
    });
  }
}

template <int Bytes>
void RotateQuarter(TPXBitmap* Source, TPXBitmap* Dest, bool Clockwise) {
  if (!Source || !Dest || Source->BitCount() != Bytes * 8) return;
  const int32_t w = Source->Width(), h = Source->Height();
  if (w <= 0 || h <= 0) return;
  if (!Dest->Allocate(h, w, Source->PixelFormat())) throw EOutOfMemory("Out of memory");
  if (Source->PixelFormat() == px8p) Source->CopyPaletteTo(Dest);
  std::vector<const uint8_t*> src(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) src[static_cast<size_t>(y)] = Source->Scanline(y);
  // Dest is h wide and w high.
  for (int32_t y = 0; y < w; ++y) {
    uint8_t* d = Dest->Scanline(y);
    const int32_t sx = Clockwise ? y : w - 1 - y;
    for (int32_t x = 0; x < h; ++x) {
      const int32_t sy = Clockwise ? h - 1 - x : x;
      std::memcpy(d + Bytes * x, src[static_cast<size_t>(sy)] + Bytes * sx, Bytes);
    }
  }
}

}  // namespace

void FlipBitmap(TPXBitmap* Bitmap, TPXFlipDirection Direction) {
  if (!Bitmap || (Direction != pxfdHorizontal && Direction != pxfdVertical)) return;
  FlipPixels(Bitmap, Direction);
  if (TPXBitmap* alpha = Bitmap->PeekAlphaChannel()) FlipPixels(alpha, Direction);
}

TRect GetOpaqueBounds(TPXBitmap* Bitmap) {
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  TPXBitmap* alpha = Bitmap->PeekAlphaChannel();
  if (!alpha) return TRect(0, 0, w - 1, h - 1);
  TRect r(w, h, -1, -1);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* a = alpha->Scanline(y);
    int32_t first = 0;
    while (first < w && a[first] == 0) ++first;
    if (first == w) continue;
    int32_t last = w - 1;
    while (a[last] == 0) --last;
    r.Left = std::min(r.Left, first);
    r.Right = std::max(r.Right, last);
    if (r.Top == h) r.Top = y;
    r.Bottom = y;
  }
  return r;
}

void RotateQuarterCW24(TPXBitmap* Source, TPXBitmap* Dest) { RotateQuarter<3>(Source, Dest, true); }
void RotateQuarterCW8(TPXBitmap* Source, TPXBitmap* Dest) { RotateQuarter<1>(Source, Dest, true); }
void RotateQuarterCCW24(TPXBitmap* Source, TPXBitmap* Dest) { RotateQuarter<3>(Source, Dest, false); }
void RotateQuarterCCW8(TPXBitmap* Source, TPXBitmap* Dest) { RotateQuarter<1>(Source, Dest, false); }

void MapQuadToQuad(TPXBitmap* Source, TPXBitmap* Dest, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3,
                   int32_t Y3, int32_t X4, int32_t Y4, int32_t GradientMin, int32_t GradientMax, bool Blend,
                   int32_t Transparency) {
  if (!Source || !Dest || Source->PixelFormat() != px24RGB || Dest->PixelFormat() != px24RGB) return;
  const int32_t sw = Source->Width(), sh = Source->Height();
  if (sw <= 0 || sh <= 0 || Dest->Width() <= 0 || Dest->Height() <= 0) return;
  const int32_t maxX = std::max({X1, X2, X3, X4}), maxY = std::max({Y1, Y2, Y3, Y4});
  const int32_t minX = std::min({X1, X2, X3, X4}), minY = std::min({Y1, Y2, Y3, Y4});
  if (maxX < 0 || maxY < 0 || X1 == X2 || Y3 == Y1 || Transparency <= 0) return;

  // Square-to-quadrilateral mapping of the normalised corners, then its adjoint.
  const double nx = maxX + 1.0, ny = maxY + 1.0;
  const double x0 = X1 / nx, y0 = Y1 / ny, x1 = X2 / nx, y1 = Y2 / ny;
  const double x2 = X3 / nx, y2 = Y3 / ny, x3 = X4 / nx, y3 = Y4 / ny;
  const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
  double a, b, c, d, e, f, g, hh;
  if (sx == 0 && sy == 0) {
    a = x1 - x0, b = x2 - x1, c = x0, d = y1 - y0, e = y2 - y1, f = y0, g = 0, hh = 0;
  } else {
    const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
    const double del = dx1 * dy2 - dx2 * dy1;
    if (del == 0) return;  // three corners in a line: no projective mapping
    g = (sx * dy2 - dx2 * sy) / del;
    hh = (dx1 * sy - sx * dy1) / del;
    a = x1 - x0 + g * x1, b = x3 - x0 + hh * x3, c = x0;
    d = y1 - y0 + g * y1, e = y3 - y0 + hh * y3, f = y0;
  }
  const double A = e - f * hh, B = c * hh - b, C = b * f - c * e;
  const double D = f * g - d, E = a - c * g, F = c * d - a * f;
  const double G = d * hh - e * g, H = b * g - a * hh, I = a * e - b * d;
  for (double v : {A, B, C, D, E, F, G, H, I})
    if (!std::isfinite(v)) return;
  // A singular mapping (three corners in a line) has no inverse.
  if (!(std::fabs(a * A + b * D + c * G) > 1e-12)) return;

  TPXBitmap* srcAlpha = Source->GetAlphaChannel();
  TPXBitmap* dstAlpha = Blend ? nullptr : Dest->GetAlphaChannel();
  if (dstAlpha) dstAlpha->FFull = 0;
  const bool gradient = GradientMin >= 0 && GradientMax >= 0;
  const bool upright = Y1 < Y4;
  const int32_t rowFrom = std::max(0, minY), rowTo = std::min(maxY, Dest->Height() - 1);
  const int32_t colFrom = std::max(0, minX), colTo = std::min(maxX, Dest->Width() - 1);
  for (int32_t y = rowFrom; y <= rowTo; ++y) {
    auto* dp = reinterpret_cast<TRGB*>(Dest->Scanline(y));
    uint8_t* da = dstAlpha ? dstAlpha->Scanline(y) : nullptr;
    const double py = y / ny;
    for (int32_t x = colFrom; x <= colTo; ++x) {
      const double px = x / nx;
      double den = G * px + H * py + I;
      if (den == 0) den = 1;
      const double u = (A * px + B * py + C) / den, v = (D * px + E * py + F) / den;
      if (!std::isfinite(u) || !std::isfinite(v)) continue;
      // Trunc of the position; outside [0, width) x [0, height) the pixel stays.
      const double su = sw * u + 0.5, sv = sh * v + 0.5;
      if (!(su > -1.0 && su < sw && sv > -1.0 && sv < sh)) continue;
      const int32_t col = static_cast<int32_t>(su), row = static_cast<int32_t>(sv);
      const TRGB s = reinterpret_cast<const TRGB*>(Source->Scanline(row))[col];
      const int32_t sa = srcAlpha->Scanline(row)[col];
      int32_t alpha = std::min(Transparency, sa);
      if (gradient) {
        const int32_t fade = upright ? 255 - row * 255 / sh : row * 255 / sh;
        if (Blend) alpha = std::min(alpha, fade);
        else {
          const double frac = upright ? 1.0 - static_cast<double>(row) / sh : static_cast<double>(row) / sh;
          alpha = std::min({static_cast<int32_t>(frac * sa), sa, Transparency});
        }
        alpha = std::clamp(alpha, GradientMin, std::max(GradientMin, GradientMax));
      }
      TRGB& t = dp[x];
      if (Blend) {
        // dest + floor(alpha x (source - dest) / 256)
        t.b = static_cast<uint8_t>(t.b + ((alpha * (s.b - t.b)) >> 8));
        t.g = static_cast<uint8_t>(t.g + ((alpha * (s.g - t.g)) >> 8));
        t.r = static_cast<uint8_t>(t.r + ((alpha * (s.r - t.r)) >> 8));
      } else {
        t = s;
        da[x] = static_cast<uint8_t>(std::clamp(alpha, 0, 255));
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TPixoranProc canvas and geometry operations

void TPixoranProc::ResizeCanvas(int32_t NewWidth, int32_t NewHeight, uint8_t HorizontalPosition,
                                uint8_t VerticalPosition, int32_t FillAlpha) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = FTargetBitmap;
  if (NewWidth <= 0 || NewHeight <= 0 || (NewWidth == bmp->Width() && NewHeight == bmp->Height())) return;
  if (FAutoUndo) StoreUndoState(Format(GetLanguageWord(203), NewWidth, NewHeight), pxuImage, true, 83);
  if (bmp->Width() < 2 && bmp->Height() < 2) {
    TPXUndoPause off(this);
    ClearToBackground();
  }
  if (FillAlpha < 255) bmp->GetAlphaChannel();
  bmp->ResizeCanvas(NewWidth, NewHeight, static_cast<double>(Background()), FillAlpha, HorizontalPosition,
                    VerticalPosition);
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::ClearToBackground() {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  if (FAutoUndo) StoreUndoState(GetLanguageWord(84), pxuImage, true, 19);
  FTargetBitmap->Fill(static_cast<double>(Background()));
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::Flip(uint8_t Direction) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  if (Direction != pxfdHorizontal && Direction != pxfdVertical) return;
  if (FAutoUndo)
    StoreUndoState(GetLanguageWord(Direction == pxfdHorizontal ? 297 : 298), pxuImage, true,
                   Direction == pxfdHorizontal ? 48 : 49);
  FlipBitmap(FTargetBitmap, Direction);
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::CropTransparent() {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  const TRect r = GetOpaqueBounds(FTargetBitmap);
  if (r.Right < 0 || r.Bottom < 0) return;
  TPXUndoPause off(this);
  CropToRect(r);
}
