#include "proc/pixoranproc_color.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/pxcolorspace.h"
#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_pixel.h"
#include "io/pxicc.h"
#include "proc/pixoranproc_bits.h"

namespace {

std::array<TRGB, 256> PaletteTable(TPXBitmap* Bitmap) {
  std::array<TRGB, 256> t{};
  const TRGB* p = Bitmap->GetPalette();
  const int32_t n = std::min(Bitmap->GetPaletteLength(), 256);
  for (int32_t i = 0; p && i < n; ++i) t[i] = p[i];
  return t;
}

// How 16-bit samples become bytes: v·255/65535 (the average colour) or the high byte.
enum class TWide { Ratio, HighByte };

inline uint8_t Narrow(uint16_t v, TWide w) {
  return w == TWide::Ratio ? static_cast<uint8_t>(v * 255u / 65535u) : static_cast<uint8_t>(v >> 8);
}

// Width pixels of a row of any format (but px1g handled here too) as TRGB.
void ReadRowRGB(TPXPixelFormat Format, const uint8_t* Row, int32_t Width, const std::array<TRGB, 256>& Pal,
                TWide Wide, TRGB* Out) {
  switch (Format) {
    case px1g:
      for (int32_t x = 0; x < Width; ++x) {
        const uint8_t v = GetPixelBit(Row, x) ? 255 : 0;
        Out[x] = {v, v, v};
      }
      break;
    case px8p:
      for (int32_t x = 0; x < Width; ++x) Out[x] = Pal[Row[x]];
      break;
    case px8g:
      for (int32_t x = 0; x < Width; ++x) Out[x] = {Row[x], Row[x], Row[x]};
      break;
    case px16g:
      for (int32_t x = 0; x < Width; ++x) {
        const uint8_t v = Narrow(PXLoad<uint16_t>(Row + 2 * x), Wide);
        Out[x] = {v, v, v};
      }
      break;
    case px24RGB:
      std::memcpy(Out, Row, static_cast<size_t>(Width) * 3);
      break;
    case px32f:
      for (int32_t x = 0; x < Width; ++x) {
        const uint8_t v = PXUnitToByte(PXLoad<float>(Row + 4 * x));
        Out[x] = {v, v, v};
      }
      break;
    case pxCMYK:
      CmykToRgbRow(reinterpret_cast<const TCMYK*>(Row), Out, Width);
      break;
    case pxRGB48:
      for (int32_t x = 0; x < Width; ++x) {
        const auto* p = reinterpret_cast<const TRGB48*>(Row) + x;
        Out[x] = {Narrow(p->b, Wide), Narrow(p->g, Wide), Narrow(p->r, Wide)};
      }
      break;
    case pxCIELab:
      for (int32_t x = 0; x < Width; ++x) Out[x] = CIELabToRGB(reinterpret_cast<const TCIELab*>(Row)[x]);
      break;
    case px32RGB:
      for (int32_t x = 0; x < Width; ++x) Out[x] = {Row[4 * x], Row[4 * x + 1], Row[4 * x + 2]};
      break;
    default:
      std::fill(Out, Out + Width, TRGB{});
      break;
  }
}

bool IsGreyFormat(TPXPixelFormat f) { return f == px8g || f == px16g || f == px32f; }

// The maximum-entropy threshold of a histogram. Only splits with pixels on both sides compete,
// the first best one winning; a picture of one level thresholds at that level (all white).
int32_t MaxEntropyThreshold(const TPXHistogram& h, int64_t Total) {
  if (Total <= 0) return 0;
  std::array<double, 256> p{};
  double ht = 0;
  for (int i = 0; i < 256; ++i) {
    p[i] = static_cast<double>(h[i]) / static_cast<double>(Total);
    if (p[i] > 0) ht -= p[i] * std::log(p[i]);
  }
  double hi = 0.0, best = 0.0;
  int64_t below = 0;  // pixels under the candidate, counted exactly
  int32_t threshold = -1;
  for (int i = 1; i < 256; ++i) {
    below += h[i - 1];
    if (p[i - 1] > 0) hi -= p[i - 1] * std::log(p[i - 1]);
    if (below <= 0 || below >= Total) continue;
    const double cum = static_cast<double>(below) / static_cast<double>(Total);
    const double f = std::log(cum - cum * cum) + hi / cum + (ht - hi) / (1 - cum);
    if (threshold < 0 || f > best) {
      best = f;
      threshold = i;
    }
  }
  if (threshold < 0)
    for (int i = 0; i < 256; ++i)
      if (h[i] > 0) return i;
  return threshold;
}

std::unique_ptr<TPXBitmap> NewMono(int32_t Width, int32_t Height) {
  auto mono = std::make_unique<TPXBitmap>();
  if (!mono->Allocate(Width, Height, px1g)) throw EOutOfMemory("Out of memory");
  return mono;
}

}  // namespace

uint8_t* GetRowRGB24(TPXBitmap* Bitmap, int32_t Row, uint8_t* Buffer, bool CopyNative) {
  const int32_t w = Bitmap->Width();
  const uint8_t* row = Bitmap->Scanline(Row);
  const double lowR = Bitmap->FDisplayRangeLow, highR = Bitmap->FDisplayRangeHigh;
  const bool ranged = lowR != highR;
  const int64_t lo = Trunc(lowR), hi = Trunc(highR);
  auto stretch = [&](int64_t v) -> uint8_t {
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    return ClampByte(static_cast<int32_t>(Trunc((v - lo) / (highR - lowR) * 255)));
  };
  switch (Bitmap->PixelFormat()) {
    case px1g:
      ExpandBitsTo24(row, Buffer, w);
      return Buffer;
    case px8p: {
      const auto pal = PaletteTable(Bitmap);
      auto* out = reinterpret_cast<TRGB*>(Buffer);
      for (int32_t x = 0; x < w; ++x) out[x] = pal[row[x]];
      return Buffer;
    }
    case px8g:
      for (int32_t x = 0; x < w; ++x) Buffer[3 * x] = Buffer[3 * x + 1] = Buffer[3 * x + 2] = ranged ? stretch(row[x]) : row[x];
      return Buffer;
    case px16g:
      for (int32_t x = 0; x < w; ++x) {
        const uint16_t v = PXLoad<uint16_t>(row + 2 * x);
        Buffer[3 * x] = Buffer[3 * x + 1] = Buffer[3 * x + 2] = ranged ? stretch(v) : static_cast<uint8_t>(v >> 8);
      }
      return Buffer;
    case px24RGB:
      if (CopyNative) std::memcpy(Buffer, row, static_cast<size_t>(w) * 3);
      return const_cast<uint8_t*>(row);
    case px32f:
    case pxCMYK:
    case pxRGB48:
    case pxCIELab:
    case px32RGB:
      // As the pixel container's conversion to px24RGB gives them.
      ReadRowRGB(Bitmap->PixelFormat(), row, w, {}, TWide::HighByte, reinterpret_cast<TRGB*>(Buffer));
      return Buffer;
    default:
      return Buffer;
  }
}

void GetAverageRGB(TPXBitmap* Bitmap, int32_t& Red, int32_t& Green, int32_t& Blue) {
  Red = Green = Blue = 0;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  const auto pal = PaletteTable(Bitmap);
  std::vector<TRGB> rgb(static_cast<size_t>(w));
  int64_t tr = 0, tg = 0, tb = 0;
  for (int32_t y = 0; y < h; ++y) {
    ReadRowRGB(f, Bitmap->Scanline(y), w, pal, TWide::Ratio, rgb.data());
    int64_t sr = 0, sg = 0, sb = 0;
    for (const TRGB& c : rgb) {
      sr += c.r;
      sg += c.g;
      sb += c.b;
    }
    tr += sr / w;
    tg += sg / w;
    tb += sb / w;
  }
  Red = static_cast<int32_t>(tr / h);
  Green = static_cast<int32_t>(tg / h);
  Blue = static_cast<int32_t>(tb / h);
}

void ComputeLuminanceHistogram(TPXBitmap* Bitmap, TPXHistogram& Histogram) {
  Histogram.fill(0);
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (f == px1g) {
    int64_t set = 0;
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = Bitmap->Scanline(y);
      for (int32_t i = 0; i < w / 8; ++i) set += std::popcount(row[i]);
      if (w % 8) set += std::popcount(static_cast<uint8_t>(row[w / 8] & (0xFF00u >> (w % 8))));
    }
    Histogram[1] = static_cast<int32_t>(set);
    Histogram[0] = static_cast<int32_t>(static_cast<int64_t>(w) * h - set);
    return;
  }
  const TPXGreyWeights wt = TPXGreyWeights::FromSettings();
  const auto pal = PaletteTable(Bitmap);
  const bool grey = IsGreyFormat(f);
  std::vector<TRGB> rgb(static_cast<size_t>(w));
  for (int32_t y = 0; y < h; ++y) {
    ReadRowRGB(f, Bitmap->Scanline(y), w, pal, TWide::HighByte, rgb.data());
    for (const TRGB& c : rgb) ++Histogram[grey ? c.r : wt.Grey(c)];
  }
}

void ConvertToBWThreshold(TPXBitmap* Source, TPXBitmap* Dest, int32_t Threshold, TPXProgressRecord& Progress) {
  const int32_t w = Source->Width(), h = Source->Height();
  if (Dest->PixelFormat() != px1g || Dest->Width() != w || Dest->Height() != h) return;
  const TPXPixelFormat f = Source->PixelFormat();
  if (f == px1g) {
    Dest->AssignImage(Source);
    return;
  }
  const TPXGreyWeights wt = TPXGreyWeights::FromSettings();
  if (Threshold == -2) {
    TPXHistogram hist;
    ComputeLuminanceHistogram(Source, hist);
    Threshold = MaxEntropyThreshold(hist, static_cast<int64_t>(w) * h);
  } else if (Threshold == -1) {
    int32_t r, g, b;
    GetAverageRGB(Source, r, g, b);
    Threshold = (r * wt.R + g * wt.G + b * wt.B) / 100;
  }
  const auto pal = PaletteTable(Source);
  std::vector<TRGB> rgb(static_cast<size_t>(std::max(w, 0)));
  for (int32_t y = 0; y < h; ++y) {
    ReadRowRGB(f, Source->Scanline(y), w, pal, TWide::HighByte, rgb.data());
    uint8_t* out = Dest->Scanline(y);
    for (int32_t x = 0; x < w; ++x) SetPixelBit(out, x, wt.Grey(rgb[x]) >= Threshold);
    if (Progress.Event) Progress.Event(Progress.Sender, Trunc32((y + 1) * 100 / (h + 0.5)));
  }
}

void ConvertBitmapToMonochrome(TPXBitmap* Bitmap, TPXProgressRecord& Progress) {
  if (Bitmap->PixelFormat() != px24RGB) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  auto mono = NewMono(w, h);
  const TPXGreyWeights wt = TPXGreyWeights::FromSettings();
  const double step = 100 / (h + 0.5);
  for (int32_t y = 0; y < h; ++y) {
    const auto* in = reinterpret_cast<const TRGB*>(Bitmap->Scanline(y));
    uint8_t* out = mono->Scanline(y);
    for (int32_t x = 0; x < w; ++x) {
      const TRGB c = in[x];
      const int32_t level = (c.r >= 251 && c.g >= 251 && c.b >= 251) ? 64 : (wt.Grey(c) >> 2);
      SetPixelBit(out, x, level > DitherMatrix[x & 7][y & 7]);
    }
    if (Progress.Event) Progress.Event(Progress.Sender, Trunc32((y + 1) * step));
  }
  Bitmap->AssignImage(mono.get());
}

void ConvertToBWThresholdInPlace(TPXBitmap* Bitmap, int32_t Threshold, TPXProgressRecord& Progress) {
  if (Bitmap->PixelFormat() != px24RGB) return;
  auto mono = NewMono(Bitmap->Width(), Bitmap->Height());
  ConvertToBWThreshold(Bitmap, mono.get(), Threshold, Progress);
  Bitmap->AssignImage(mono.get());
}
