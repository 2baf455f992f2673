// Colour operations of the processing component and the routines behind them.
#include "proc/pixoranproc_colour.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PX_PROC_SSSE3 1
#endif

#include "core/neurquant.h"
#include "core/pxcolorspace.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_greysimd.h"
#include "core/pxxBitmaps_pixel.h"
#include "core/pxwords.h"
#include "io/pxicc.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_color.h"
#include "proc/pixoranproc_progress.h"

namespace {

// Clamps the exclusive rectangle to the bitmap; false when nothing is left.
bool ClampRect(TPXBitmap* Bitmap, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->Width());
  Y2 = std::min(Y2, Bitmap->Height());
  return X1 < X2 && Y1 < Y2;
}

inline uint32_t Pack(const TRGB& c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

#ifdef PX_PROC_SSSE3

bool ProcHasSSSE3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Grey of 16 pixels at a time in place, for weights that sum to at most 100; returns how many
// leading pixels it handled.
__attribute__((target("ssse3"))) int32_t GreyRowInPlaceSSSE3(uint8_t* p, int32_t n, uint32_t WR, uint32_t WG,
                                                             uint32_t WB) {
  // Each grey byte spread over the three bytes of its pixel.
  const __m128i e0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
  const __m128i e1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
  const __m128i e2 = _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
  int32_t x = 0;
  for (; x + 16 <= n; x += 16) {
    uint8_t* q = p + 3 * x;
    const __m128i g = PXGreyOf16SSSE3(q, WR, WG, WB);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(g, e0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16), _mm_shuffle_epi8(g, e1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 32), _mm_shuffle_epi8(g, e2));
  }
  return x;
}
#endif

inline uint8_t AddClamped(uint8_t v, int32_t e) { return ClampByte(v + e); }

}  // namespace

void ConvertRectToGray(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                       const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB || !ClampRect(Bitmap, X1, Y1, X2, Y2)) return;
  const TPXGreyWeights w = TPXGreyWeights::FromSettings();
  // Weights that cannot leave 0..255 (the usual case) need no clamping.
  const bool plain = w.R >= 0 && w.G >= 0 && w.B >= 0 && w.R + w.G + w.B <= 100;
  const uint32_t wr = static_cast<uint32_t>(w.R), wg = static_cast<uint32_t>(w.G), wb = static_cast<uint32_t>(w.B);
  for (int32_t y = Y1; y < Y2; ++y) {
    uint8_t* p = Bitmap->Scanline(y) + 3 * static_cast<int64_t>(X1);
    const int32_t n = X2 - X1;
    if (plain) {
      int32_t i = 0;
#ifdef PX_PROC_SSSE3
      if (ProcHasSSSE3()) i = GreyRowInPlaceSSSE3(p, n, wr, wg, wb);
#endif
      // Four pixels (12 bytes) at a time through three 32-bit words.
      for (; i + 4 <= n; i += 4) {
        uint32_t a, b, c;
        std::memcpy(&a, p + 3 * i, 4);
        std::memcpy(&b, p + 3 * i + 4, 4);
        std::memcpy(&c, p + 3 * i + 8, 4);
        // Bytes: a = B0 G0 R0 B1, b = G1 R1 B2 G2, c = R2 B3 G3 R3 (lowest first).
        auto grey = [&](uint32_t bb, uint32_t gg, uint32_t rr) { return ((rr * wr + gg * wg + bb * wb) * 5243u) >> 19; };
        const uint32_t g0 = grey(a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF);
        const uint32_t g1 = grey(a >> 24, b & 0xFF, (b >> 8) & 0xFF);
        const uint32_t g2 = grey((b >> 16) & 0xFF, b >> 24, c & 0xFF);
        const uint32_t g3 = grey((c >> 8) & 0xFF, (c >> 16) & 0xFF, c >> 24);
        a = g0 | g0 << 8 | g0 << 16 | g1 << 24;
        b = g1 | g1 << 8 | g2 << 16 | g2 << 24;
        c = g2 | g3 << 8 | g3 << 16 | g3 << 24;
        std::memcpy(p + 3 * i, &a, 4);
        std::memcpy(p + 3 * i + 4, &b, 4);
        std::memcpy(p + 3 * i + 8, &c, 4);
      }
      for (; i < n; ++i) {
        // sum * 5243 >> 19 is sum div 100 for every sum up to 25500.
        const uint32_t g = ((p[3 * i + 2] * wr + p[3 * i + 1] * wg + p[3 * i] * wb) * 5243u) >> 19;
        p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = static_cast<uint8_t>(g);
      }
    } else {
      for (int32_t i = 0; i < n; ++i) {
        const uint8_t g = w.Grey(p[3 * i + 2], p[3 * i + 1], p[3 * i]);
        p[3 * i] = p[3 * i + 1] = p[3 * i + 2] = g;
      }
    }
    ProcReportRow(OnProgress, Sender, y - Y1 + 1, Y2 - Y1);
  }
}

void QuantizeToPalette(TPXBitmap* Bitmap, int32_t ColorCount, std::span<TRGB> Palette,
                       const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB || ColorCount < 1) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return;
  // The quantizer fills at most 256 entries; the rest of a larger palette stays black.
  std::vector<TRGB> pal(static_cast<size_t>(std::max(ColorCount, 256)));
  TPXQuantizer q(Bitmap, pal.data(), 0x7FFFFFF, ColorCount);
  for (int32_t y = 0; y < h; ++y) {
    auto* p = reinterpret_cast<TRGB*>(Bitmap->Scanline(y));
    for (int32_t x = 0; x < w; ++x) p[x] = pal[static_cast<size_t>(q.RGBToIndex(p[x]))];
    if (OnProgress) OnProgress(Sender, std::min(100, Trunc32((y + 1) * 100 / (h + 0.5))));
  }
  std::copy_n(pal.begin(), std::min<size_t>(Palette.size(), static_cast<size_t>(ColorCount)), Palette.begin());
}

void DitherToPalette8(TPXBitmap* Source, TPXBitmap* Dest, int32_t ColorCount) {
  if (!Source || !Dest || ColorCount < 1) return;
  ColorCount = std::min(ColorCount, 256);
  const int32_t w = Source->Width(), h = Source->Height();
  if (w <= 0 || h <= 0) return;
  std::vector<TRGB> pal(256);
  {
    TPXQuantizer q(Source, pal.data(), ColorCount - 1, ColorCount);
  }
  if (!Dest->Allocate(w, h, px8p)) throw EOutOfMemory("Out of memory");
  for (int32_t i = 0; i < ColorCount; ++i) Dest->SetPaletteColor(i, pal[static_cast<size_t>(i)]);
  Dest->SetPaletteUsed(ColorCount);

  std::vector<TRGB> cur(static_cast<size_t>(w)), next(static_cast<size_t>(w));
  auto load = [&](std::vector<TRGB>& buf, int32_t y) {
    const uint8_t* row = GetRowRGB24(Source, y, reinterpret_cast<uint8_t*>(buf.data()), true);
    if (row != reinterpret_cast<uint8_t*>(buf.data())) std::memcpy(buf.data(), row, static_cast<size_t>(w) * 3);
  };
  load(cur, 0);
  if (h > 1) load(next, 1);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = Dest->Scanline(y);
    for (int32_t x = 0; x < w; ++x) {
      const TRGB c = cur[static_cast<size_t>(x)];
      // Nearest by squared distance, the first entry winning ties.
      int32_t best = 0;
      int64_t bestD = INT64_MAX;
      for (int32_t i = 0; i < ColorCount; ++i) {
        const TRGB& p = pal[static_cast<size_t>(i)];
        const int32_t dr = c.r - p.r, dg = c.g - p.g, db = c.b - p.b;
        const int64_t d = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
        if (d < bestD) {
          bestD = d;
          best = i;
        }
      }
      out[x] = static_cast<uint8_t>(best);
      const TRGB& p = pal[static_cast<size_t>(best)];
      const int32_t e[3] = {c.b - p.b, c.g - p.g, c.r - p.r};
      auto spread = [&](TRGB& t, int32_t num) {
        t.b = AddClamped(t.b, e[0] * num / 16);
        t.g = AddClamped(t.g, e[1] * num / 16);
        t.r = AddClamped(t.r, e[2] * num / 16);
      };
      if (x + 1 < w) spread(cur[static_cast<size_t>(x) + 1], 7);
      if (y + 1 < h) {
        if (x >= 1) spread(next[static_cast<size_t>(x) - 1], 3);
        spread(next[static_cast<size_t>(x)], 5);
        if (x + 1 < w) spread(next[static_cast<size_t>(x) + 1], 1);
      }
    }
    std::swap(cur, next);
    if (y + 2 < h) load(next, y + 2);
  }
}

int32_t FindNearestPaletteIndex(std::span<const TRGB> Palette, int32_t Color) {
  const int32_t r = (Color >> 16) & 0xFF, g = (Color >> 8) & 0xFF, b = Color & 0xFF;
  int32_t best = 1000, index = 0;
  for (size_t i = 0; i < Palette.size(); ++i) {
    const TRGB& p = Palette[i];
    const int32_t d = std::abs(r - p.r) + std::abs(g - p.g) + std::abs(b - p.b);
    if (d < best) {
      best = d;
      index = static_cast<int32_t>(i);
    }
  }
  return index;
}

int32_t ColorToGrayLevel(int32_t Color) {
  const TPXGreyWeights w = TPXGreyWeights::FromSettings();
  return (((Color >> 16) & 0xFF) * w.R + ((Color >> 8) & 0xFF) * w.G + (Color & 0xFF) * w.B) / 100;
}

std::unique_ptr<TPXBitmap> ConvertBiColorTo1Bit(TPXBitmap* Bitmap, TRGB& Color0, TRGB& Color1) {
  if (!Bitmap) return nullptr;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return nullptr;
  auto mono = std::make_unique<TPXBitmap>();
  if (!mono->Allocate(w, h, px1g)) throw EOutOfMemory("Out of memory");
  uint32_t seen[2] = {0, 0};
  int32_t count = 0;
  std::vector<uint8_t> buf(static_cast<size_t>(w) * 3);
  for (int32_t y = 0; y < h && count <= 2; ++y) {
    const auto* px = reinterpret_cast<const TRGB*>(GetRowRGB24(Bitmap, y, buf.data(), false));
    uint8_t* out = mono->Scanline(y);
    std::memset(out, 0, static_cast<size_t>(mono->RowLen()));
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t key = Pack(px[x]);
      if (count == 0) seen[count++] = key;
      else if (key != seen[0]) {
        if (count == 1) seen[count++] = key;
        else if (key != seen[1]) count = 3;
        SetPixelBit(out, x, 1);
      }
    }
  }
  if (count != 2) return nullptr;
  auto unpack = [](uint32_t k) { return TRGB{uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16)}; };
  Color0 = unpack(seen[0]);
  Color1 = unpack(seen[1]);
  const TPXGreyWeights wt = TPXGreyWeights::FromSettings();
  auto level = [&](const TRGB& c) {
    return ClampByte(static_cast<int32_t>(Round((c.r * wt.R + c.g * wt.G + c.b * wt.B) / 100.0L)));
  };
  if (level(Color1) < level(Color0)) {
    InvertBitmapBits(mono.get());
    std::swap(Color0, Color1);
  }
  return mono;
}

void NegateBytes(void* Buffer, size_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  for (size_t i = 0; i < Count; ++i) p[i] = static_cast<uint8_t>(~p[i]);
}

void InvertBitmapBits(TPXBitmap* Bitmap) {
  if (!Bitmap) return;
  const int32_t h = Bitmap->Height();
  const size_t len = static_cast<size_t>(std::max<int64_t>(Bitmap->RowLen(), 0));
  for (int32_t y = 0; y < h; ++y) NegateBytes(Bitmap->Scanline(y), len);
}

void NegativeRect(TPXBitmap* Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                  const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Bitmap || !ClampRect(Bitmap, X1, Y1, X2, Y2)) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (f == px8p) {
    TRGB* pal = Bitmap->GetPalette();
    const int32_t n = pal ? Bitmap->GetPaletteLength() : 0;
    for (int32_t i = 0; i < n; ++i) NegateBytes(&pal[i], 3);
    return;
  }
  const int32_t n = X2 - X1;
  std::vector<TRGB> rgb(f == pxCMYK ? static_cast<size_t>(n) : 0);
  for (int32_t y = Y1; y < Y2; ++y) {
    uint8_t* row = Bitmap->Scanline(y);
    switch (f) {
      case px1g:
        for (int32_t x = X1; x < X2;) {
          if ((x & 7) == 0 && x + 8 <= X2) {
            row[x >> 3] = static_cast<uint8_t>(~row[x >> 3]);
            x += 8;
          } else {
            row[x >> 3] ^= static_cast<uint8_t>(0x80u >> (x & 7));
            ++x;
          }
        }
        break;
      case px8g:
        NegateBytes(row + X1, static_cast<size_t>(n));
        break;
      case px16g:
      case pxRGB48:
        // 65535 - v for every 16-bit sample is the complement of both bytes.
        NegateBytes(row + static_cast<int64_t>(X1) * (f == px16g ? 2 : 6), static_cast<size_t>(n) * (f == px16g ? 2 : 6));
        break;
      case px24RGB:
        NegateBytes(row + static_cast<int64_t>(X1) * 3, static_cast<size_t>(n) * 3);
        break;
      case px32f:
        for (int32_t x = X1; x < X2; ++x) PXStore(row + 4 * x, 1.0f - PXLoad<float>(row + 4 * x));
        break;
      case pxCMYK: {
        auto* c = reinterpret_cast<TCMYK*>(row) + X1;
        CmykToRgbRow(c, rgb.data(), n);
        NegateBytes(rgb.data(), rgb.size() * 3);
        RgbToCmykRow(rgb.data(), c, n);
        break;
      }
      case pxCIELab:
        for (int32_t x = X1; x < X2; ++x) {
          TRGB c = CIELabToRGB(PXLoad<TCIELab>(row + 3 * x));
          NegateBytes(&c, 3);
          PXStore(row + 3 * x, RGBToCIELab(c));
        }
        break;
      case px32RGB:
        for (int32_t x = X1; x < X2; ++x) NegateBytes(row + 4 * x, 3);
        break;
      default:
        return;
    }
    ProcReportRow(OnProgress, Sender, y - Y1 + 1, Y2 - Y1);
  }
}

// ---------------------------------------------------------------------------------------------
// TPixoranProc colour operations

void TPixoranProc::ConvertToGray() {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work;
  TPXMask* mask;
  if (!BeginOperation(TPXPixelFormatSet{px24RGB}, x1, y1, x2, y2, GetLanguageWord(242), work, mask, 34, true)) return;
  ConvertRectToGray(work, x1, y1, x2, y2, FOnProgress, this);
  EndOperation(work, mask);
  DoFinishWork();
}

// The monochrome and colour-count conversions work on the whole picture; the undo entry is taken
// before the picture is brought to 24 bits, so undo restores its own format.
void TPixoranProc::ConvertToMonochrome() {
  CheckBitmap();
  if (FAutoUndo) StoreUndoState(GetLanguageWord(191), pxuImage, true, 32);
  if (!PrepareBitmap(TPXPixelFormatSet{px24RGB}, true)) return;
  TPXProgressRecord progress = MakeProgressRecord();
  ConvertBitmapToMonochrome(FTargetBitmap, progress);
  ImageChanged();
  DoFinishWork();
}

namespace {

// ColorCount below 3: ordered dither (DitherMode 0) or the average-grey threshold, to px1g.
void ToTwoColours(TPXBitmap* Bitmap, int32_t DitherMode, TPXProgressRecord& Progress) {
  if (DitherMode == 0) ConvertBitmapToMonochrome(Bitmap, Progress);
  else ConvertToBWThresholdInPlace(Bitmap, -1, Progress);
}

}  // namespace

void TPixoranProc::ConvertTo(int32_t ColorCount, int32_t DitherMode) {
  CheckBitmap();
  if (FAutoUndo) StoreUndoState(Format(GetLanguageWord(205), ColorCount), pxuImage, true, 26);
  if (!PrepareBitmap(TPXPixelFormatSet{px24RGB}, true)) return;
  TPXProgressRecord progress = MakeProgressRecord();
  if (ColorCount < 3) {
    ToTwoColours(FTargetBitmap, DitherMode, progress);
  } else if (ColorCount <= 1024) {
    if (DitherMode == 2 && ColorCount <= 256) {
      TPXBitmap result;
      DitherToPalette8(FTargetBitmap, &result, ColorCount);
      // A platform bitmap holds the picture as 24 bits.
      if (FTargetBitmap->Location() == pxTBitmap) result.ChangePixelFormat(px24RGB);
      FTargetBitmap->AssignImage(&result);
    } else {
      QuantizeToPalette(FTargetBitmap, ColorCount, {}, FOnProgress, this);
    }
  }
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::ConvertToPalette(int32_t ColorCount, std::span<TRGB> Palette, int32_t DitherMode) {
  if (ColorCount == 0) return;
  CheckBitmap();
  if (FAutoUndo) StoreUndoState(GetLanguageWord(172), pxuImage, true, 35);
  if (!PrepareBitmap(TPXPixelFormatSet{px24RGB}, true)) return;
  TPXProgressRecord progress = MakeProgressRecord();
  if (ColorCount < 3) {
    ToTwoColours(FTargetBitmap, DitherMode, progress);
    if (Palette.size() > 0) Palette[0] = TRGB{0, 0, 0};
    if (Palette.size() > 1) Palette[1] = TRGB{255, 255, 255};
  } else if (ColorCount <= 1024) {
    QuantizeToPalette(FTargetBitmap, ColorCount, Palette, FOnProgress, this);
  }
  ImageChanged();
  DoFinishWork();
}
