// Colour sampling, the 3 x 3 grey convolution, channel reordering and bitmap comparison.
#include "proc/pixoranproc_sample.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_threads.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_blur.h"

namespace {

// Whether the mask selects bitmap pixel (X, Y), the bitmap being the copy of the mask's box.
inline bool MaskSelects(TPXMask* Mask, int32_t X, int32_t Y) {
  return Mask->GetPixel(X + Mask->FX1, Y + Mask->FY1) != 0;
}

inline uint32_t PackRGB(const TRGB& c) { return c.b | (uint32_t{c.g} << 8) | (uint32_t{c.r} << 16); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Average colours

void AverageColorInRect(TPXBitmap* Bitmap, TPXMask* Mask, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                        TRGB& Color) {
  if (!Bitmap || Bitmap->PixelFormat() != px24RGB) return;
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap->Width());
  Y2 = std::min(Y2, Bitmap->Height());
  const bool masked = Mask && !Mask->IsEmpty();
  int64_t sb = 0, sg = 0, sr = 0, count = 0;
  for (int32_t y = Y1; y < Y2; ++y) {
    const uint8_t* row = Bitmap->Scanline(y);
    if (!row) continue;
    for (int32_t x = X1; x < X2; ++x) {
      if (masked && !MaskSelects(Mask, x, y)) continue;
      const uint8_t* p = row + static_cast<size_t>(x) * 3;
      sb += p[0];
      sg += p[1];
      sr += p[2];
      ++count;
    }
  }
  if (count == 0) {
    Color = TRGB{};
    return;
  }
  Color = TRGB{static_cast<uint8_t>(sb / count), static_cast<uint8_t>(sg / count), static_cast<uint8_t>(sr / count)};
}

void SampleAverageColor(TPXBitmap* Bitmap, TPXMask* Mask, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                        int32_t& HueRange, int32_t SampleCount, bool Elliptical, TRGB& Color) {
  if (!Bitmap) return;
  // Centre and radii of the ellipse come from the rectangle as given.
  const double cx = (static_cast<double>(X1) + X2 - 1) / 2, cy = (static_cast<double>(Y1) + Y2 - 1) / 2;
  const double rx = (static_cast<double>(X2) - X1) / 2, ry = (static_cast<double>(Y2) - Y1) / 2;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, w);
  Y2 = std::min(Y2, h);
  const int32_t spanX = X2 - X1, spanY = Y2 - Y1;
  if (spanX < 1 || spanY < 1) return;

  const int32_t perAxis = std::max(static_cast<int32_t>(std::sqrt(static_cast<double>(std::max(SampleCount, 0)))), 5);
  const int32_t nx = std::min(perAxis, spanX), ny = std::min(perAxis, spanY);
  if (nx < 2 || ny < 2) {
    Color = Bitmap->GetPixelRGB(X1, Y1);
    return;
  }
  const int32_t stepX = spanX / (nx - 1), stepY = spanY / (ny - 1);
  const bool masked = Mask && !Mask->IsEmpty();
  int64_t sb = 0, sg = 0, sr = 0, count = 0;
  int32_t minHue = 359, maxHue = 0;
  for (int32_t j = 0; j < ny; ++j) {
    const int32_t y = Y1 + j * stepY;
    for (int32_t i = 0; i < nx; ++i) {
      const int32_t x = X1 + i * stepX;
      if (Mask) {
        if (masked && !MaskSelects(Mask, x, y)) continue;
      } else if (Elliptical) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        if (dx * dx + dy * dy > 1) continue;
      }
      const TRGB c = Bitmap->GetPixelRGB(std::min(x, w - 1), std::min(y, h - 1));
      sb += c.b;
      sg += c.g;
      sr += c.r;
      ++count;
      int32_t hue = 0, s = 0, v = 0;
      RGBToHSV(hue, s, v, PackRGB(c));
      minHue = std::min(minHue, hue);
      maxHue = std::max(maxHue, hue);
    }
  }
  if (count == 0) {
    AverageColorInRect(Bitmap, Mask, X1, Y1, X2, Y2, Color);
    HueRange = 0;
    return;
  }
  Color = TRGB{static_cast<uint8_t>(sb / count), static_cast<uint8_t>(sg / count), static_cast<uint8_t>(sr / count)};
  HueRange = maxHue - minHue;
}

// ---------------------------------------------------------------------------------------------
// 3 x 3 convolution of grey pictures

void Convolve3x3Gray(TPXBitmap* Bitmap, const TPXConvolutionKernel& Kernel, int32_t X1, int32_t Y1, int32_t X2,
                     int32_t Y2) {
  if (!Bitmap || Bitmap->PixelFormat() != px8g || Bitmap->IsVirtual()) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, w);
  Y2 = std::min(Y2, h);
  if (X2 <= X1 || Y2 <= Y1) return;
  std::vector<uint8_t*> rows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    if (!(rows[static_cast<size_t>(y)] = Bitmap->Scanline(y))) return;

  const int32_t* k = Kernel.Values;
  const int64_t divisor = Kernel.Divisor == 0 ? 1 : Kernel.Divisor;
  int64_t weightSum = 0;
  for (int i = 0; i < 9; ++i) weightSum += std::llabs(static_cast<int64_t>(k[i]));
  const int64_t maxAbs = weightSum * 255;
  auto quotient = [divisor](int64_t s) -> uint8_t {
    const int64_t q = (s < 0 ? -s : s) / divisor;
    return static_cast<uint8_t>(q < 0 ? 0 : (q > 255 ? 255 : q));
  };
  // Small sums (every preset) go through a table instead of a division per pixel.
  std::vector<uint8_t> table;
  if (maxAbs <= 65536) {
    table.resize(static_cast<size_t>(maxAbs) + 1);
    for (int64_t s = 0; s <= maxAbs; ++s) table[static_cast<size_t>(s)] = quotient(s);
  }
  const bool narrow = maxAbs <= std::numeric_limits<int32_t>::max();

  // The new values go into a buffer of the rectangle and are copied back once all are known.
  const int32_t rw = X2 - X1, rh = Y2 - Y1;
  std::vector<uint8_t> out(static_cast<size_t>(rw) * static_cast<size_t>(rh));
  // Inner columns have both neighbours inside the bitmap.
  const int32_t in1 = std::max(X1, 1), in2 = std::min(X2, w - 1);

  auto band = [&](int32_t first, int32_t number, bool) {
    std::vector<int32_t> sums(static_cast<size_t>(rw));
    for (int32_t y = Y1 + first; y < Y1 + first + number; ++y) {
      const uint8_t* r0 = rows[static_cast<size_t>(std::max(y - 1, 0))];
      const uint8_t* r1 = rows[static_cast<size_t>(y)];
      const uint8_t* r2 = rows[static_cast<size_t>(std::min(y + 1, h - 1))];
      uint8_t* d = out.data() + static_cast<size_t>(y - Y1) * static_cast<size_t>(rw);
      auto sum64 = [&](int32_t x) {
        const int32_t xl = std::max(x - 1, 0), xr = std::min(x + 1, w - 1);
        return int64_t{k[0]} * r0[xl] + int64_t{k[1]} * r0[x] + int64_t{k[2]} * r0[xr] + int64_t{k[3]} * r1[xl] +
               int64_t{k[4]} * r1[x] + int64_t{k[5]} * r1[xr] + int64_t{k[6]} * r2[xl] + int64_t{k[7]} * r2[x] +
               int64_t{k[8]} * r2[xr];
      };
      if (!narrow) {
        for (int32_t x = X1; x < X2; ++x) d[x - X1] = quotient(sum64(x));
        continue;
      }
      int32_t* s = sums.data() - X1;
      for (int32_t x = X1; x < in1; ++x) s[x] = static_cast<int32_t>(sum64(x));
      for (int32_t x = std::max(in2, X1); x < X2; ++x) s[x] = static_cast<int32_t>(sum64(x));
      const int32_t k0 = k[0], k1 = k[1], k2 = k[2], k3 = k[3], k4 = k[4], k5 = k[5], k6 = k[6], k7 = k[7], k8 = k[8];
      for (int32_t x = in1; x < in2; ++x)
        s[x] = k0 * r0[x - 1] + k1 * r0[x] + k2 * r0[x + 1] + k3 * r1[x - 1] + k4 * r1[x] + k5 * r1[x + 1] +
               k6 * r2[x - 1] + k7 * r2[x] + k8 * r2[x + 1];
      if (!table.empty()) {
        const uint8_t* t = table.data();
        for (int32_t i = 0; i < rw; ++i) d[i] = t[std::abs(sums[static_cast<size_t>(i)])];
      } else {
        for (int32_t i = 0; i < rw; ++i) d[i] = quotient(sums[static_cast<size_t>(i)]);
      }
    }
  };
  RunProcBands(rh, ChooseThreadCount(rw, rh), band);

  for (int32_t y = Y1; y < Y2; ++y)
    std::memcpy(rows[static_cast<size_t>(y)] + X1, out.data() + static_cast<size_t>(y - Y1) * static_cast<size_t>(rw),
                static_cast<size_t>(rw));
}

// ---------------------------------------------------------------------------------------------
// Channel order

void ReorderChannels(TPXBitmap* Bitmap, const std::string& Order, TObject* Sender, const TPXProgressEvent& OnProgress) {
  if (!Bitmap || Order.size() < 3) return;
  const TPXPixelFormat fmt = Bitmap->PixelFormat();
  if (fmt != px24RGB && fmt != pxRGB48) return;
  // map[i]: the source channel (0 blue, 1 green, 2 red, 3 zero) of stored channel i (blue, green, red).
  int map[3];
  const std::string upper = UpperCase(std::string_view(Order).substr(0, 3));
  for (int i = 0; i < 3; ++i) {
    switch (upper[static_cast<size_t>(i)]) {
      case 'B': map[i] = 0; break;
      case 'G': map[i] = 1; break;
      case 'R': map[i] = 2; break;
      case '0': map[i] = 3; break;
      default: return;
    }
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  for (int32_t y = 0; y < h; ++y) {
    if (uint8_t* row = Bitmap->Scanline(y)) {
      if (fmt == px24RGB) {
        for (int32_t x = 0; x < w; ++x) {
          uint8_t* p = row + static_cast<size_t>(x) * 3;
          const uint8_t src[4] = {p[0], p[1], p[2], 0};
          p[0] = src[map[0]];
          p[1] = src[map[1]];
          p[2] = src[map[2]];
        }
      } else {
        auto* p = reinterpret_cast<TRGB48*>(row);
        for (int32_t x = 0; x < w; ++x) {
          const uint16_t src[4] = {p[x].b, p[x].g, p[x].r, 0};
          p[x].b = src[map[0]];
          p[x].g = src[map[1]];
          p[x].r = src[map[2]];
        }
      }
    }
    if (OnProgress) OnProgress(Sender, Trunc32(static_cast<double>(y) / h * 100));
  }
}

// ---------------------------------------------------------------------------------------------
// Comparison

namespace {

// The bytes the pixels of each row use are equal; the unused low bits of a last partial byte and
// the filler after the pixels are not compared.
bool SameRows(TPXBitmap* A, TPXBitmap* B) {
  const int64_t bits = static_cast<int64_t>(A->Width()) * A->BitCount();
  const size_t whole = static_cast<size_t>(bits / 8);
  const int tail = static_cast<int>(bits % 8);
  const auto tailMask = static_cast<uint8_t>(0xFF00u >> tail);
  for (int32_t y = 0; y < A->Height(); ++y) {
    const uint8_t* p = A->Scanline(y);
    const uint8_t* q = B->Scanline(y);
    if (p == q) continue;
    if (!p || !q) return false;
    if (std::memcmp(p, q, whole) != 0) return false;
    if (tail != 0 && ((p[whole] ^ q[whole]) & tailMask) != 0) return false;
  }
  return true;
}

}  // namespace

bool BitmapsEqual(TPXBitmap* A, TPXBitmap* B) {
  if (A == B) return true;
  if (!A || !B) return false;
  if (A->Width() != B->Width() || A->Height() != B->Height() || A->PixelFormat() != B->PixelFormat()) return false;
  TPXBitmap* alphaA = A->PeekAlphaChannel();
  TPXBitmap* alphaB = B->PeekAlphaChannel();
  if ((alphaA == nullptr) != (alphaB == nullptr)) return false;
  if (!SameRows(A, B)) return false;
  if (!alphaA) return true;
  if (alphaA->Width() != alphaB->Width() || alphaA->Height() != alphaB->Height()) return false;
  return SameRows(alphaA, alphaB);
}
