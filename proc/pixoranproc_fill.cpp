// The magic wand's region fill, the component's flood and alpha fills over it, transparent
// rounded corners and histogram matching.
#include "proc/pixoranproc_fill.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"

// ---------------------------------------------------------------------------------------------
// Magic wand

TRGB MagicWandSeedColor(TPXBitmap* Bitmap, int32_t X, int32_t Y, int32_t SampleSize) {
  if (!Bitmap) return {};
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (X < 0 || Y < 0 || X >= w || Y >= h) return {};
  if (SampleSize < 2) return Bitmap->GetPixelRGB(X, Y);
  // The ellipse inscribed in the square of side 2d + 1 centred on the seed: radius d + 1/2.
  const int64_t d = SampleSize / 2;
  const double r = static_cast<double>(d) + 0.5;
  const int32_t x1 = static_cast<int32_t>(std::max<int64_t>(X - d, 0));
  const int32_t x2 = static_cast<int32_t>(std::min<int64_t>(X + d, w - 1));
  const int32_t y1 = static_cast<int32_t>(std::max<int64_t>(Y - d, 0));
  const int32_t y2 = static_cast<int32_t>(std::min<int64_t>(Y + d, h - 1));
  uint64_t sr = 0, sg = 0, sb = 0, n = 0;
  for (int32_t y = y1; y <= y2; ++y) {
    const double dy = (y - Y) / r;
    for (int32_t x = x1; x <= x2; ++x) {
      const double dx = (x - X) / r;
      if (dx * dx + dy * dy > 1) continue;
      const TRGB c = Bitmap->GetPixelRGB(x, y);
      sr += c.r;
      sg += c.g;
      sb += c.b;
      ++n;
    }
  }
  // The seed itself always lies inside, so n >= 1.
  return TRGB{static_cast<uint8_t>(sb / n), static_cast<uint8_t>(sg / n), static_cast<uint8_t>(sr / n)};
}

namespace {

// Per-channel closeness to the seed colour: lo <= value <= lo + span.
struct TColourRange {
  int32_t Lo[3];  // blue, green, red
  uint32_t Span[3];
  TColourRange(const TRGB& Seed, int32_t Tolerance) {
    const int32_t c[3] = {Seed.b, Seed.g, Seed.r};
    for (int i = 0; i < 3; ++i) {
      Lo[i] = std::max(c[i] - Tolerance, 0);
      Span[i] = static_cast<uint32_t>(std::min(c[i] + Tolerance, 255) - Lo[i]);
    }
  }
  bool Holds(int32_t B, int32_t G, int32_t R) const {
    return static_cast<uint32_t>(B - Lo[0]) <= Span[0] && static_cast<uint32_t>(G - Lo[1]) <= Span[1] &&
           static_cast<uint32_t>(R - Lo[2]) <= Span[2];
  }
};

// Reads px24RGB rows directly.
class TReader24 {
 public:
  TReader24(TPXBitmap* Bitmap, const TColourRange& Range) : FBitmap(Bitmap), FRange(Range) {}
  const uint8_t* Row(int32_t Y) { return FBitmap->Scanline(Y); }
  bool Similar(const uint8_t* Row, int32_t /*Y*/, int32_t X) const {
    const uint8_t* p = Row + 3 * static_cast<size_t>(X);
    return FRange.Holds(p[0], p[1], p[2]);
  }

 private:
  TPXBitmap* FBitmap;
  TColourRange FRange;
};

// Any other format, pixel by pixel.
class TReaderAny {
 public:
  TReaderAny(TPXBitmap* Bitmap, const TColourRange& Range) : FBitmap(Bitmap), FRange(Range) {}
  const uint8_t* Row(int32_t /*Y*/) { return nullptr; }
  bool Similar(const uint8_t* /*Row*/, int32_t Y, int32_t X) const {
    const TRGB c = FBitmap->GetPixelRGB(X, Y);
    return FRange.Holds(c.b, c.g, c.r);
  }

 private:
  TPXBitmap* FBitmap;
  TColourRange FRange;
};

// A bit per pixel marking what the fill has taken, rows of width div 8 + 1 bytes.
class TFillBits {
 public:
  TFillBits(int32_t W, int32_t H)
      : FRowBytes(static_cast<size_t>(W) / 8 + 1), FBits(FRowBytes * static_cast<size_t>(H), 0) {}
  uint8_t* Row(int32_t Y) { return FBits.data() + FRowBytes * static_cast<size_t>(Y); }
  static bool Test(const uint8_t* Row, int32_t X) { return (Row[X >> 3] & (0x80 >> (X & 7))) != 0; }
  static void Set(uint8_t* Row, int32_t X) { Row[X >> 3] |= static_cast<uint8_t>(0x80 >> (X & 7)); }

 private:
  size_t FRowBytes;
  std::vector<uint8_t> FBits;
};

// A segment of row Y from XL to XR whose neighbouring row Y + DY is still to be worked on.
struct TFillSegment {
  int32_t Y, XL, XR, DY;
};

struct TFillBox {
  int32_t X1 = INT32_MAX, Y1 = INT32_MAX, X2 = -1, Y2 = -1;
  bool Empty() const { return X2 < 0; }
};

// Heckbert's scan-line seed fill: marks in Bits the pixels 4-connected to (X, Y) through similar
// pixels and calls OnRun(y, x1, x2) for every run it takes (each pixel once).
template <class TReader, class TOnRun>
TFillBox SeedFill(TReader& Reader, int32_t W, int32_t H, int32_t X, int32_t Y, TFillBits& Bits, TOnRun&& OnRun) {
  TFillBox box;
  std::vector<TFillSegment> stack;
  stack.reserve(2 * static_cast<size_t>(W));
  auto push = [&](int32_t y, int32_t xl, int32_t xr, int32_t dy) {
    const int32_t next = y + dy;
    if (next >= 0 && next < H) stack.push_back({y, xl, xr, dy});
  };
  auto run = [&](int32_t y, int32_t xl, int32_t xr) {
    box.X1 = std::min(box.X1, xl);
    box.X2 = std::max(box.X2, xr);
    box.Y1 = std::min(box.Y1, y);
    box.Y2 = std::max(box.Y2, y);
    OnRun(y, xl, xr);
  };
  push(Y, X, X, 1);
  push(Y + 1, X, X, -1);  // the seed row itself, worked on first
  while (!stack.empty()) {
    const TFillSegment s = stack.back();
    stack.pop_back();
    const int32_t dy = s.DY, y = s.Y + dy, x1 = s.XL, x2 = s.XR;
    const uint8_t* row = Reader.Row(y);
    uint8_t* bits = Bits.Row(y);
    auto open = [&](int32_t x) { return !TFillBits::Test(bits, x) && Reader.Similar(row, y, x); };

    int32_t x = x1;
    while (x >= 0 && open(x)) {
      TFillBits::Set(bits, x);
      --x;
    }
    int32_t l = x + 1;
    bool extend = x < x1;  // x1 itself was taken: the run continues to the right
    if (extend) {
      if (l < x1) push(y, l, x1 - 1, -dy);  // leaks back round the left end
      x = x1 + 1;
    }
    do {
      if (extend) {
        while (x < W && open(x)) {
          TFillBits::Set(bits, x);
          ++x;
        }
        run(y, l, x - 1);
        push(y, l, x - 1, dy);
        if (x > x2 + 1) push(y, x2 + 1, x - 1, -dy);  // leaks back round the right end
      }
      extend = true;
      for (++x; x <= x2 && !open(x); ++x) {
      }
      l = x;
    } while (x <= x2);
  }
  return box;
}

// Writes the region grown by one pixel in all eight directions into Mask.
void WriteGrown(TFillBits& Bits, const TFillBox& Box, int32_t W, int32_t H, TPXMask* Mask, int32_t MaskValue) {
  const int32_t gx1 = std::max(Box.X1 - 1, 0), gx2 = std::min(Box.X2 + 1, W - 1);
  const int32_t gy1 = std::max(Box.Y1 - 1, 0), gy2 = std::min(Box.Y2 + 1, H - 1);
  std::vector<uint8_t> column(static_cast<size_t>(gx2 - gx1 + 1));
  for (int32_t y = gy1; y <= gy2; ++y) {
    // Vertical pass: the pixel or the one above or below it is in the region.
    std::fill(column.begin(), column.end(), 0);
    for (int32_t yy = std::max(y - 1, Box.Y1); yy <= std::min(y + 1, Box.Y2); ++yy) {
      const uint8_t* bits = Bits.Row(yy);
      for (int32_t x = Box.X1; x <= Box.X2; ++x)
        if (TFillBits::Test(bits, x)) column[static_cast<size_t>(x - gx1)] = 1;
    }
    // Horizontal pass over the runs of the vertical result, each widened by one.
    int32_t x = gx1;
    while (x <= gx2) {
      if (!column[static_cast<size_t>(x - gx1)]) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x <= gx2 && column[static_cast<size_t>(x - gx1)]) ++x;
      Mask->FillSpan(MaskValue, std::max(start - 1, 0), std::min(x, W - 1), y);
    }
  }
}

template <class TReader>
void WandFill(TReader& Reader, int32_t W, int32_t H, int32_t X, int32_t Y, bool Grow, TPXMask* Mask,
              int32_t MaskValue) {
  TFillBits bits(W, H);
  if (Grow) {
    const TFillBox box = SeedFill(Reader, W, H, X, Y, bits, [](int32_t, int32_t, int32_t) {});
    if (!box.Empty()) WriteGrown(bits, box, W, H, Mask, MaskValue);
  } else {
    SeedFill(Reader, W, H, X, Y, bits,
             [&](int32_t y, int32_t xl, int32_t xr) { Mask->FillSpan(MaskValue, xl, xr, y); });
  }
}

}  // namespace

void MagicWandFill(TPXBitmap* Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance, TPXMask* Mask,
                   int32_t MaskValue, int32_t SampleSize) {
  if (!Bitmap || !Mask || Tolerance < 0) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (X < 0 || Y < 0 || X >= w || Y >= h) return;
  const TColourRange range(MagicWandSeedColor(Bitmap, X, Y, SampleSize), Tolerance);
  if (Bitmap->PixelFormat() == px24RGB) {
    TReader24 reader(Bitmap, range);
    WandFill(reader, w, h, X, Y, Grow, Mask, MaskValue);
  } else {
    TReaderAny reader(Bitmap, range);
    WandFill(reader, w, h, X, Y, Grow, Mask, MaskValue);
  }
}

namespace {

// Calls Run(first, last) for every maximal run of pixels of a px24RGB row within Range.
template <class TRun>
void SimilarRuns24(const uint8_t* Row, int32_t W, const TColourRange& Range, TRun&& Run) {
  int32_t start = -1;
  int32_t x = 0;
  auto pixel = [&](int32_t X) {
    const uint8_t* p = Row + 3 * static_cast<size_t>(X);
    if (Range.Holds(p[0], p[1], p[2])) {
      if (start < 0) start = X;
    } else if (start >= 0) {
      Run(start, X - 1);
      start = -1;
    }
  };
#if defined(__SSE2__)
  // Sixteen pixels (48 bytes) at a time: each byte against its channel's bounds, the three
  // 16-bit byte masks joined; blocks all in or all out need no per-pixel work.
  alignas(16) uint8_t lo[48], hi[48];
  for (int k = 0; k < 48; ++k) {
    lo[k] = static_cast<uint8_t>(Range.Lo[k % 3]);
    hi[k] = static_cast<uint8_t>(Range.Lo[k % 3] + static_cast<int32_t>(Range.Span[k % 3]));
  }
  __m128i vlo[3], vhi[3];
  for (int k = 0; k < 3; ++k) {
    vlo[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(lo + 16 * k));
    vhi[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(hi + 16 * k));
  }
  const __m128i zero = _mm_setzero_si128();
  constexpr uint64_t kAll = (uint64_t{1} << 48) - 1;
  for (; x + 16 <= W; x += 16) {
    const uint8_t* at = Row + 3 * static_cast<size_t>(x);
    _mm_prefetch(reinterpret_cast<const char*>(at) + 2048, _MM_HINT_T0);
    auto inside = [&](int k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * k));
      const __m128i out = _mm_or_si128(_mm_subs_epu8(vlo[k], v), _mm_subs_epu8(v, vhi[k]));
      return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(out, zero))));
    };
    const uint64_t m = inside(0) | inside(1) << 16 | inside(2) << 32;
    if (m == kAll) {
      if (start < 0) start = x;
    } else if ((m & (m >> 1) & (m >> 2) & 0x249249249249ull) == 0) {
      if (start >= 0) {
        Run(start, x - 1);
        start = -1;
      }
    } else {
      for (int32_t i = x; i < x + 16; ++i) pixel(i);
    }
  }
#endif
  for (; x < W; ++x) pixel(x);
  if (start >= 0) Run(start, W - 1);
}

}  // namespace

void MagicWandGlobal(TPXBitmap* Bitmap, int32_t X, int32_t Y, int32_t Tolerance, TPXMask* Mask, int32_t MaskValue,
                     int32_t SampleSize) {
  if (!Bitmap || !Mask || Tolerance < 0) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (X < 0 || Y < 0 || X >= w || Y >= h) return;
  const TColourRange range(MagicWandSeedColor(Bitmap, X, Y, SampleSize), Tolerance);
  if (Bitmap->PixelFormat() == px24RGB) {
    for (int32_t y = 0; y < h; ++y)
      SimilarRuns24(Bitmap->Scanline(y), w, range,
                    [&](int32_t First, int32_t Last) { Mask->FillSpan(MaskValue, First, Last, y); });
    return;
  }
  TReaderAny reader(Bitmap, range);
  for (int32_t y = 0; y < h; ++y) {
    int32_t x = 0;
    while (x < w) {
      if (!reader.Similar(nullptr, y, x)) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < w && reader.Similar(nullptr, y, x)) ++x;
      Mask->FillSpan(MaskValue, start, x - 1, y);
    }
  }
}

namespace {

// The outline of a region held as one bit per pixel of its box (W x H), walked on a grid of
// quarter pixels: pixel (i, j) covers the cells 4i + 2 .. 4i + 5, 4j + 2 .. 4j + 5 of a grid of
// (4W + 4) x (4H + 4) cells. Boundary cells are the cells outside the region that share an edge
// with a cell inside it. Cell values are derived from the region's bits (a bit per pixel, rows of
// (W + 7) div 8 bytes); only the visited marks are stored, 16 bits per pixel of the box and its
// one-pixel margin.
class TOutlineWalker {
 public:
  TOutlineWalker(const std::vector<uint8_t>& Region, int32_t W, int32_t H)
      : FRegion(Region), FW(W), FH(H), FRowBytes((static_cast<int64_t>(W) + 7) / 8), FCellsW(int64_t{4} * W + 4),
        FCellsH(int64_t{4} * H + 4),
        FVisited(static_cast<size_t>(W + 2) * static_cast<size_t>(H + 2), 0) {}

  // Freeman codes of the walk from the start cell; Start receives that cell.
  std::vector<uint8_t> Walk(int64_t& StartX, int64_t& StartY) {
    std::vector<uint8_t> codes;
    if (!FindStart(StartX, StartY)) return codes;
    static constexpr int kOrder[8] = {0, 2, 4, 6, 1, 3, 5, 7};
    int64_t cx = StartX, cy = StartY;
    Visit(cx, cy);
    int prev = kOrder[4];
    auto open = [&](int64_t x, int64_t y) { return Boundary(x, y) && !Visited(x, y); };
    for (;;) {
      if (open(cx + kDX[prev], cy + kDY[prev])) {
        cx += kDX[prev];
        cy += kDY[prev];
        Visit(cx, cy);
        codes.push_back(static_cast<uint8_t>(prev));
      }
      int found = -1;
      for (int code : kOrder)
        if (open(cx + kDX[code], cy + kDY[code])) {
          found = code;
          break;
        }
      if (found < 0) break;
      cx += kDX[found];
      cy += kDY[found];
      Visit(cx, cy);
      codes.push_back(static_cast<uint8_t>(found));
      prev = found;
    }
    // Closing step back to the start.
    for (int code : kOrder)
      if (cx + kDX[code] == StartX && cy + kDY[code] == StartY) {
        codes.push_back(static_cast<uint8_t>(code));
        break;
      }
    return codes;
  }

  static constexpr int kDX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
  static constexpr int kDY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

 private:
  // Pixel of a cell, -1 .. W (H) with the margin.
  static int64_t PixelOf(int64_t C) { return (C + 2) / 4 - 1; }
  bool Inside(int64_t CX, int64_t CY) const {
    if (CX < 0 || CY < 0 || CX >= FCellsW || CY >= FCellsH) return false;
    const int64_t px = PixelOf(CX), py = PixelOf(CY);
    if (px < 0 || py < 0 || px >= FW || py >= FH) return false;
    return (FRegion[static_cast<size_t>(py * FRowBytes + (px >> 3))] & (0x80 >> (px & 7))) != 0;
  }
  bool Boundary(int64_t CX, int64_t CY) const {
    if (CX < 0 || CY < 0 || CX >= FCellsW || CY >= FCellsH || Inside(CX, CY)) return false;
    return Inside(CX - 1, CY) || Inside(CX + 1, CY) || Inside(CX, CY - 1) || Inside(CX, CY + 1);
  }
  size_t Slot(int64_t CX, int64_t CY, uint16_t& Bit) const {
    Bit = static_cast<uint16_t>(1u << (((CX + 2) & 3) + 4 * ((CY + 2) & 3)));
    return static_cast<size_t>((PixelOf(CY) + 1) * (FW + 2) + PixelOf(CX) + 1);
  }
  bool Visited(int64_t CX, int64_t CY) const {
    uint16_t bit;
    return (FVisited[Slot(CX, CY, bit)] & bit) != 0;
  }
  void Visit(int64_t CX, int64_t CY) {
    uint16_t bit;
    FVisited[Slot(CX, CY, bit)] |= bit;
  }
  // The boundary cell nearest to the corner (1, 1) of the boundary cells' box (the region's box
  // has a pixel on its left and top edges), the first in row order on ties. The nearest cell of
  // a cell row is its leftmost boundary cell, found from the leftmost region pixel of the pixel
  // rows the cell row touches, so the search reads pixel rows rather than every cell.
  bool FindStart(int64_t& X, int64_t& Y) const {
    std::vector<int64_t> leftmost(static_cast<size_t>(FH), -2);  // -2: not looked up yet, -1: empty row
    auto leftOf = [&](int64_t Py) -> int64_t {
      int64_t& l = leftmost[static_cast<size_t>(Py)];
      if (l == -2) {
        l = -1;
        const uint8_t* row = FRegion.data() + Py * FRowBytes;
        for (int64_t i = 0; i < FRowBytes; ++i)
          if (row[i]) {
            const int64_t px = 8 * i + std::countl_zero(row[i]);
            l = px < FW ? px : -1;
            break;
          }
      }
      return l;
    };
    int64_t best = INT64_MAX;
    for (int64_t cy = 1; cy < FCellsH && (cy - 1) * (cy - 1) <= best; ++cy) {
      // Left of the row's first inside cell, or under or over the first inside cell of the pixel
      // row next to it where this cell row is that pixel row's neighbour.
      int64_t cx = INT64_MAX;
      const int64_t py = PixelOf(cy);
      if (py >= 0 && py < FH)
        if (const int64_t l = leftOf(py); l >= 0) cx = 4 * l + 1;
      for (const int64_t ny : {cy - 1, cy + 1}) {
        const int64_t pn = PixelOf(ny);
        if (pn == py || pn < 0 || pn >= FH || ny < 0 || ny >= FCellsH) continue;
        if (const int64_t l = leftOf(pn); l >= 0) cx = std::min(cx, 4 * l + 2);
      }
      if (cx == INT64_MAX || cx < 1) continue;
      const int64_t d = (cx - 1) * (cx - 1) + (cy - 1) * (cy - 1);
      if (d < best) {
        best = d;
        X = cx;
        Y = cy;
      }
    }
    return best != INT64_MAX;
  }

  const std::vector<uint8_t>& FRegion;
  int32_t FW, FH;
  int64_t FRowBytes;
  int64_t FCellsW, FCellsH;
  std::vector<uint16_t> FVisited;
};

}  // namespace

void TraceMagicWand(TPXBitmap* Bitmap, int32_t X, int32_t Y, bool Grow, int32_t Tolerance, int32_t SampleSize,
                    TPXArrayOfTPoint& Points) {
  Points.clear();
  if (!Bitmap || Tolerance < 0) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (X < 0 || Y < 0 || X >= w || Y >= h) return;
  const TColourRange range(MagicWandSeedColor(Bitmap, X, Y, SampleSize), Tolerance);
  TFillBits bits(w, h);
  TFillBox box;
  auto none = [](int32_t, int32_t, int32_t) {};
  if (Bitmap->PixelFormat() == px24RGB) {
    TReader24 reader(Bitmap, range);
    box = SeedFill(reader, w, h, X, Y, bits, none);
  } else {
    TReaderAny reader(Bitmap, range);
    box = SeedFill(reader, w, h, X, Y, bits, none);
  }
  if (box.Empty()) return;
  // The region inside its box, a bit per pixel; grown by one pixel in all eight directions
  // without leaving the box.
  const int32_t bw = box.X2 - box.X1 + 1, bh = box.Y2 - box.Y1 + 1;
  const size_t rowBytes = (static_cast<size_t>(bw) + 7) / 8;
  std::vector<uint8_t> region(rowBytes * static_cast<size_t>(bh), 0);
  // Bits X1 .. X2 of each row, moved to the byte boundary a byte at a time.
  const int32_t shift = box.X1 & 7;
  const size_t first = static_cast<size_t>(box.X1) >> 3, lastByte = static_cast<size_t>(box.X2) >> 3;
  const uint8_t tail = static_cast<uint8_t>(0xFF00 >> (((bw - 1) & 7) + 1));
  for (int32_t y = 0; y < bh; ++y) {
    const uint8_t* row = bits.Row(box.Y1 + y);
    uint8_t* out = region.data() + rowBytes * static_cast<size_t>(y);
    for (size_t i = 0; i < rowBytes; ++i) {
      const size_t at = first + i;
      const uint32_t next = at + 1 <= lastByte ? row[at + 1] : 0;
      out[i] = static_cast<uint8_t>((static_cast<uint32_t>(row[at]) << shift | next >> (8 - shift)) & 0xFF);
    }
    out[rowBytes - 1] &= tail;
  }
  if (Grow) {
    // Rows of the grown region: each row ORed with its neighbours, then widened by one pixel.
    std::vector<uint8_t> grown(region.size(), 0);
    std::vector<uint8_t> column(rowBytes);
    for (int32_t y = 0; y < bh; ++y) {
      std::fill(column.begin(), column.end(), 0);
      for (int32_t yy = std::max(y - 1, 0); yy <= std::min(y + 1, bh - 1); ++yy) {
        const uint8_t* r = region.data() + rowBytes * static_cast<size_t>(yy);
        for (size_t i = 0; i < rowBytes; ++i) column[i] |= r[i];
      }
      uint8_t* out = grown.data() + rowBytes * static_cast<size_t>(y);
      for (int32_t x = 0; x < bw; ++x)
        if (TFillBits::Test(column.data(), x) || (x > 0 && TFillBits::Test(column.data(), x - 1)) ||
            (x + 1 < bw && TFillBits::Test(column.data(), x + 1)))
          TFillBits::Set(out, x);
    }
    region.swap(grown);
  }
  TOutlineWalker walker(region, bw, bh);
  int64_t sx = 0, sy = 0;
  const std::vector<uint8_t> codes = walker.Walk(sx, sy);
  if (codes.empty()) return;
  // Replayed in quarter pixels; a vertex where the direction changes, then back to pixels.
  int64_t qx = sx + int64_t{4} * box.X1 - 1, qy = sy + int64_t{4} * box.Y1 - 1;
  auto vertex = [&] { Points.push_back(TPoint(static_cast<int32_t>(qx >> 2), static_cast<int32_t>(qy >> 2))); };
  vertex();
  int last = codes[0];
  for (uint8_t code : codes) {
    if (code != last) {
      vertex();
      last = code;
    }
    qx += TOutlineWalker::kDX[code];
    qy += TOutlineWalker::kDY[code];
  }
}

// ---------------------------------------------------------------------------------------------
// Flood and alpha fill

namespace {

// The frame around both fills. The work bitmap is the picture, or with a selection the copy of
// the selection's box, whose origin the seed is moved by.
void RegionFill(TPixoranProc& Proc, int32_t X, int32_t Y, int32_t Tolerance, bool IsAlpha, const TRGB& Color,
                uint8_t Alpha) {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work;
  TPXMask* selection;
  if (!Proc.BeginOperation(TPXPixelFormatSet{px24RGB}, x1, y1, x2, y2, GetLanguageWord(IsAlpha ? 165 : 166), work,
                           selection, IsAlpha ? 16 : 17, true))
    return;
  int64_t sx = X, sy = Y;
  if (work != Proc.TargetBitmap() && selection) {
    // The frame cut the copy at the selection's box, kept inside the picture.
    sx -= std::clamp(selection->FX1, 0, Proc.TargetBitmap()->Width());
    sy -= std::clamp(selection->FY1, 0, Proc.TargetBitmap()->Height());
  }
  const int32_t w = work->Width(), h = work->Height();
  TPXMask region;
  if (sx >= 0 && sy >= 0 && sx < w && sy < h) {
    region.AllocateBits(w, h, 8);
    MagicWandFill(work, static_cast<int32_t>(sx), static_cast<int32_t>(sy), Proc.FillGrow(), Tolerance, &region, 255,
                  Proc.FillSampleSize());
  }
  if (!region.IsEmpty()) {
    TPXBitmap* alpha = IsAlpha ? work->GetAlphaChannel() : nullptr;
    const int32_t top = region.FY1, rows = region.FY2 - region.FY1 + 1;
    for (int32_t y = region.FY1; y <= region.FY2; ++y) {
      const uint8_t* m = region.GetScanline(y);
      if (IsAlpha) {
        uint8_t* a = alpha->Scanline(y);
        for (int32_t x = region.FX1; x <= region.FX2; ++x)
          if (m[x]) a[x] = Alpha;
      } else {
        auto* p = reinterpret_cast<TRGB*>(work->Scanline(y));
        for (int32_t x = region.FX1; x <= region.FX2; ++x)
          if (m[x]) p[x] = Color;
      }
      // Counted over the box's rows, so the values stay within 0..100 wherever the box lies.
      Proc.DoProgress(static_cast<int32_t>(static_cast<int64_t>(y - top + 1) * 100 / rows));
    }
    if (alpha) alpha->UpdateFull();
  }
  Proc.EndOperation(work, selection);
  if (IsAlpha && Proc.TargetBitmap())
    if (TPXBitmap* alpha = Proc.TargetBitmap()->PeekAlphaChannel()) alpha->UpdateFull();
  Proc.DoFinishWork();
}

}  // namespace

void TPixoranProc::FloodFill(int32_t X, int32_t Y, TRGB FillColor, TPXTolerance Tolerance) {
  RegionFill(*this, X, Y, Tolerance.Value, false, FillColor, 0);
}

void TPixoranProc::AlphaFill(int32_t X, int32_t Y, uint8_t Alpha, TPXTolerance Tolerance) {
  RegionFill(*this, X, Y, Tolerance.Value, true, TRGB{}, Alpha);
}

// ---------------------------------------------------------------------------------------------
// Rounded corners

void RoundCornersAlpha(TPXBitmap* Bitmap, int32_t RadiusX, int32_t RadiusY) {
  if (!Bitmap || RadiusX <= 0 || RadiusY <= 0) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return;
  // Radii far beyond any picture only add points (and could overflow the count).
  constexpr int32_t maxRadius = 1 << 20;
  RadiusX = std::min(RadiusX, maxRadius);
  RadiusY = std::min(RadiusY, maxRadius);
  const int32_t n = RadiusX + RadiusY;
  TPXBitmap* alpha = Bitmap->GetAlphaChannel();
  if (!alpha || alpha->Width() != w || alpha->Height() != h) return;

  // Every curve point clears a rectangle reaching into its corner; per row the union of these
  // rectangles is one span from the edge, so only the span's far end is kept per row.
  TPXArrayOfTPoint points;
  // Top corners: columns 0 .. topEnd[j] (and their mirrors) of row j.
  std::vector<int32_t> topEnd(static_cast<size_t>(h), -1);
  BezierPoints(TPoint(0, RadiusY), TPoint(0, 0), TPoint(RadiusX, 0), TPoint(RadiusX, 0), points, n);
  for (const TPoint& p : points) {
    const int32_t px = std::min(p.X, w - 1), py = std::min(p.Y, h - 1);
    if (px < 0 || py < 0) continue;
    topEnd[static_cast<size_t>(py)] = std::max(topEnd[static_cast<size_t>(py)], px);
  }
  for (int32_t j = h - 2; j >= 0; --j)
    topEnd[static_cast<size_t>(j)] = std::max(topEnd[static_cast<size_t>(j)], topEnd[static_cast<size_t>(j) + 1]);
  // Bottom corners: columns bottomStart[j] .. w - 1 (and their mirrors) of row j.
  std::vector<int32_t> bottomStart(static_cast<size_t>(h), w);
  BezierPoints(TPoint(w, h - RadiusY), TPoint(w, h), TPoint(w - RadiusX, h), TPoint(w - RadiusX, h), points, n);
  for (const TPoint& p : points) {
    const int32_t k = std::max(p.X, 1) - 1, j = std::max(p.Y, 1) - 1;
    if (j >= h || k >= w) continue;
    bottomStart[static_cast<size_t>(j)] = std::min(bottomStart[static_cast<size_t>(j)], k);
  }
  for (int32_t j = 1; j < h; ++j)
    bottomStart[static_cast<size_t>(j)] =
        std::min(bottomStart[static_cast<size_t>(j)], bottomStart[static_cast<size_t>(j) - 1]);

  for (int32_t j = 0; j < h; ++j) {
    uint8_t* a = alpha->Scanline(j);
    // Clearing [0, e] and its mirror [w - 1 - e, w - 1].
    auto clearFromEdges = [&](int32_t e) {
      if (e < 0) return;
      e = std::min(e, w - 1);
      std::fill(a, a + e + 1, uint8_t{0});
      std::fill(a + (w - 1 - e), a + w, uint8_t{0});
    };
    clearFromEdges(topEnd[static_cast<size_t>(j)]);
    const int32_t s = bottomStart[static_cast<size_t>(j)];
    if (s < w) clearFromEdges(w - 1 - std::max(s, 0));
  }
  alpha->UpdateFull();
}

// ---------------------------------------------------------------------------------------------
// Histogram matching

void MatchHistogramChannel(TPXBitmap* Bitmap, int32_t Channel, std::span<const int32_t, 256> TargetHistogram,
                           int32_t TargetCount) {
  if (!Bitmap || Channel < 0 || Channel > 2 || TargetCount <= 0) return;
  const TPXPixelFormat f = Bitmap->PixelFormat();
  if (f != px24RGB && f != pxRGB48) return;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  if (w <= 0 || h <= 0) return;
  const bool wide = f == pxRGB48;

  // 1. The channel's histogram and its equalisation map.
  std::array<int64_t, 256> hist{};
  for (int32_t y = 0; y < h; ++y) {
    if (wide) {
      const auto* p = reinterpret_cast<const uint16_t*>(Bitmap->Scanline(y)) + Channel;
      for (int32_t x = 0; x < w; ++x) ++hist[p[3 * static_cast<size_t>(x)] >> 8];
    } else {
      const uint8_t* p = Bitmap->Scanline(y) + Channel;
      for (int32_t x = 0; x < w; ++x) ++hist[p[3 * static_cast<size_t>(x)]];
    }
  }
  const double total = static_cast<double>(w) * h;
  std::array<int32_t, 256> equal{};
  int64_t cum = 0;
  for (int i = 0; i < 256; ++i) {
    cum += hist[static_cast<size_t>(i)];
    equal[static_cast<size_t>(i)] = static_cast<int32_t>(std::trunc(static_cast<double>(cum) * 255 / total));
  }
  // 2. The target's cumulative shares.
  std::array<double, 256> target{};
  int64_t tcum = 0;
  for (int j = 0; j < 256; ++j) {
    tcum += TargetHistogram[static_cast<size_t>(j)];
    target[static_cast<size_t>(j)] = static_cast<double>(tcum) * 255 / TargetCount;
  }
  // 3. Each level to the nearest target share, the lowest level on ties; composed with the
  // equalisation so the pixels are walked once.
  std::array<int32_t, 256> nearest{};
  for (int i = 0; i < 256; ++i) {
    int best = 0;
    double bestDist = std::fabs(i - target[0]);
    for (int j = 1; j < 256; ++j) {
      const double d = std::fabs(i - target[static_cast<size_t>(j)]);
      if (d < bestDist) {
        bestDist = d;
        best = j;
      }
    }
    nearest[static_cast<size_t>(i)] = best;
  }
  std::array<int32_t, 256> map{};
  for (int v = 0; v < 256; ++v)
    map[static_cast<size_t>(v)] = nearest[static_cast<size_t>(equal[static_cast<size_t>(v)])];
  // 4. The pixels.
  for (int32_t y = 0; y < h; ++y) {
    if (wide) {
      auto* p = reinterpret_cast<uint16_t*>(Bitmap->Scanline(y)) + Channel;
      for (int32_t x = 0; x < w; ++x) {
        uint16_t& v = p[3 * static_cast<size_t>(x)];
        v = static_cast<uint16_t>(map[v >> 8] * 257);
      }
    } else {
      uint8_t* p = Bitmap->Scanline(y) + Channel;
      for (int32_t x = 0; x < w; ++x) {
        uint8_t& v = p[3 * static_cast<size_t>(x)];
        v = static_cast<uint8_t>(map[v]);
      }
    }
  }
}

void MatchRGBHistogram(TPXBitmap* Reference, TPXBitmap* Target) {
  if (!Reference || !Target || Reference->IsEmpty() || Target->IsEmpty()) return;
  if (Reference->PixelFormat() != px24RGB) return;
  const int32_t w = Reference->Width(), h = Reference->Height();
  // Histograms of blue, green and red.
  std::array<std::array<int64_t, 256>, 3> hist{};
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* p = Reference->Scanline(y);
    for (int32_t x = 0; x < w; ++x, p += 3) {
      ++hist[0][p[0]];
      ++hist[1][p[1]];
      ++hist[2][p[2]];
    }
  }
  // The counts travel as 32-bit integers: a reference of more pixels is scaled down.
  const int64_t total = static_cast<int64_t>(w) * h;
  const int64_t divisor = total / INT32_MAX + 1;
  std::array<std::array<int32_t, 256>, 3> scaled{};
  std::array<int32_t, 3> count{};
  for (int c = 0; c < 3; ++c) {
    int64_t sum = 0;
    for (int i = 0; i < 256; ++i) {
      scaled[static_cast<size_t>(c)][static_cast<size_t>(i)] =
          static_cast<int32_t>(hist[static_cast<size_t>(c)][static_cast<size_t>(i)] / divisor);
      sum += scaled[static_cast<size_t>(c)][static_cast<size_t>(i)];
    }
    count[static_cast<size_t>(c)] = static_cast<int32_t>(sum);
  }
  // A 48-bit target holds red first: like channels are paired.
  const bool wide = Target->PixelFormat() == pxRGB48;
  for (int c = 0; c < 3; ++c) {
    const int src = wide ? 2 - c : c;
    MatchHistogramChannel(Target, c, scaled[static_cast<size_t>(src)], count[static_cast<size_t>(src)]);
  }
}
