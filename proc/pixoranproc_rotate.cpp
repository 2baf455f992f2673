// Rotation by any angle: inverse nearest mapping, three shears with 12-bit antialiasing, and
// bilinear or bicubic interpolation. Rows of the large passes are split into bands that run on
// the library's thread pool; the caller's thread takes the first band and reports progress.
#include "proc/pixoranproc_rotate.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/hypxutils.h"
#include "core/hypxutils_threads.h"
#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_geometry.h"

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

using TRowTable = std::vector<uint8_t*>;

bool Rotatable(TPXBitmap* Bitmap) {
  return Bitmap && !Bitmap->IsVirtual() && Bitmap->PixelFormat() != pxNoFormat && Bitmap->Width() > 0 &&
         Bitmap->Height() > 0;
}

// Row addresses taken once on the calling thread; every real storage keeps them valid.
TRowTable RowTable(TPXBitmap* Bitmap) {
  TRowTable rows(static_cast<size_t>(Bitmap->Height()));
  for (int32_t y = 0; y < Bitmap->Height(); ++y) rows[static_cast<size_t>(y)] = Bitmap->Scanline(y);
  return rows;
}

std::unique_ptr<TPXBitmap> MakeWork(int32_t Width, int32_t Height, TPXPixelFormat Format) {
  auto b = std::make_unique<TPXBitmap>();
  if (!b->Allocate(Width, Height, Format)) throw EOutOfMemory("Out of memory");
  return b;
}

// Nearest integer, halves to even (the run-time's Round) without its guards: the callers'
// values are coordinates well inside the int32 range.
inline int32_t RintI(double v) {
#if defined(__SSE2__)
  return _mm_cvtsd_si32(_mm_set_sd(v));
#else
  return static_cast<int32_t>(std::nearbyint(v));
#endif
}

// Zeroes the bytes after the last pixel of every row, so no stale memory travels on with the
// picture (small blocks come from the heap uncleared).
void ClearRowTails(TPXBitmap* B) {
  const int64_t used = (static_cast<int64_t>(B->Width()) * B->BitCount() + 7) / 8, len = B->RowLen();
  if (len <= used) return;
  for (int32_t y = 0; y < B->Height(); ++y) std::memset(B->Scanline(y) + used, 0, static_cast<size_t>(len - used));
}

// The result replaces the picture's pixels (and palette); the picture keeps its own colour
// profile and alpha channel.
void ReplacePixels(TPXBitmap* Bitmap, TPXBitmap* Result) {
  ClearRowTails(Result);
  Result->FImageProfile->Assign(Bitmap->FImageProfile.get());
  Bitmap->AssignImage(Result);
}

// --- bands and progress ------------------------------------------------------------------------

class TPassProgress;

// Runs Body(first row, end row, caller) over Rows rows in units of at least 16 rows that the
// caller's thread and the pool's take from a queue; all joined before returning (a unit's
// exception reaches the caller). Every row is computed alike whichever unit holds it. With
// Progress, the caller's thread also reports the rows done elsewhere while it waits for them.
template <class F>
void RunBands(int32_t Rows, int32_t Threads, F&& Body, TPassProgress* Progress = nullptr);

// Progress of one pass: every band counts its rows; the caller's band reports Percent(done - 1)
// after each of its rows, and Finish reports the last row's value once the bands are joined.
class TPassProgress {
 public:
  TPassProgress(const TPXProgressEvent& Event, TObject* Sender, int32_t& Last, bool OnlyChanges,
                std::function<int32_t(int32_t)> Percent)
      : Event_(Event), Sender_(Sender), Last_(Last), OnlyChanges_(OnlyChanges), Percent_(std::move(Percent)) {}

  void RowDone(bool Caller) {
    const int32_t done = Done_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (Caller) Report(done - 1);
  }
  // The rows done so far by every band (the caller's thread, while it waits for the others).
  void Tick() {
    if (const int32_t row = Done_.load() - 1; row > LastRow_) Report(row);
  }
  void Finish() { Tick(); }

 private:
  void Report(int32_t Row) {
    if (!Event_ || Row < 0) return;
    LastRow_ = Row;
    const int32_t v = Percent_(Row);
    if (OnlyChanges_ && v == Last_) return;
    Last_ = v;
    Event_(Sender_, v);
  }

  const TPXProgressEvent& Event_;
  TObject* Sender_;
  int32_t& Last_;
  bool OnlyChanges_;
  std::function<int32_t(int32_t)> Percent_;
  std::atomic<int32_t> Done_{0};
  int32_t LastRow_ = -1;  // the last row reported (caller's thread only)
};

template <class F>
void RunBands(int32_t Rows, int32_t Threads, F&& Body, TPassProgress* Progress) {
  std::function<void()> waiting;
  if (Progress) waiting = [Progress] { Progress->Tick(); };
  RunUnitsOnPool(
      Rows, Threads, 16, [&Body](int32_t First, int32_t Number, bool Caller) { Body(First, First + Number, Caller); },
      waiting);
}

std::function<int32_t(int32_t)> RowPercent(int32_t Rows) {
  return [Rows](int32_t y) { return static_cast<int32_t>(static_cast<int64_t>(y) * 100 / Rows); };
}

// --- exact turns -------------------------------------------------------------------------------

// Dest becomes Source turned by Quarters quarter turns counter-clockwise (0..3), in Source's
// format with its palette. 8-bit and 24-bit quarter turns use the engine's quarter routines.
void TurnExactInto(TPXBitmap* Source, TPXBitmap* Dest, int32_t Quarters) {
  const int32_t bits = Source->BitCount();
  if ((Quarters == 1 || Quarters == 3) && (bits == 8 || bits == 24)) {
    if (bits == 8) (Quarters == 1 ? RotateQuarterCCW8 : RotateQuarterCW8)(Source, Dest);
    else (Quarters == 1 ? RotateQuarterCCW24 : RotateQuarterCW24)(Source, Dest);
    return;
  }
  const int32_t w = Source->Width(), h = Source->Height();
  const bool swap = Quarters == 1 || Quarters == 3;
  const int32_t nw = swap ? h : w, nh = swap ? w : h;
  if (!Dest->Allocate(nw, nh, Source->PixelFormat())) throw EOutOfMemory("Out of memory");
  if (Source->PixelFormat() == px8p) Source->CopyPaletteTo(Dest);
  const TRowTable src = RowTable(Source), dst = RowTable(Dest);
  const size_t bpp = static_cast<size_t>(bits / 8);
  const int64_t rowLen = Dest->RowLen();
  RunBands(nh, ChooseThreadCount(nw, nh), [&](int32_t y0, int32_t y1, bool) {
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* d = dst[static_cast<size_t>(y)];
      if (bits == 1) std::memset(d, 0, static_cast<size_t>(rowLen));
      for (int32_t x = 0; x < nw; ++x) {
        int32_t sx, sy;
        switch (Quarters) {
          case 1: sx = w - 1 - y, sy = x; break;          // counter-clockwise
          case 2: sx = w - 1 - x, sy = h - 1 - y; break;  // half turn
          case 3: sx = y, sy = h - 1 - x; break;          // clockwise
          default: sx = x, sy = y; break;
        }
        const uint8_t* s = src[static_cast<size_t>(sy)];
        if (bits == 1) {
          if (GetBit(s, sx)) SetBit(d, x, true);
        } else {
          std::memcpy(d + bpp * static_cast<size_t>(x), s + bpp * static_cast<size_t>(sx), bpp);
        }
      }
    }
  });
}

// The quarter-turn count of an angle that is a whole multiple of 90, or -1 for any other.
int32_t WholeQuarters(double Angle) {
  if (Angle != std::trunc(Angle) || Trunc(Angle) % 90 != 0) return -1;
  const int64_t k = Trunc(Angle) % 360;  // sign kept: -90 and 270 are both clockwise
  return static_cast<int32_t>(((k / 90) % 4 + 4) % 4);
}

// --- nearest mapping with four-decimal trigonometry -------------------------------------------

struct TFourDecimalMap {
  int32_t W = 0, H = 0;  // destination size
  std::vector<int32_t> P, Q;
  double S4 = 0, C4 = 0, Scx = 0, Scy = 0, Dcy = 0;
};

TFourDecimalMap FourDecimalMap(int32_t W, int32_t H, double Angle) {
  TFourDecimalMap m;
  const double phi = -Angle / 57.29577951308232;
  m.C4 = static_cast<double>(Trunc(std::cos(phi) * 10000)) / 10000;
  m.S4 = static_cast<double>(Trunc(std::sin(phi) * 10000)) / 10000;
  // The truncated trigonometry can lose a whole side of a tiny picture: keep at least one pixel.
  m.W = std::max(1, Trunc32(std::fabs(W * m.C4) + std::fabs(H * m.S4)));
  m.H = std::max(1, Trunc32(std::fabs(W * m.S4) + std::fabs(H * m.C4)));
  m.Scx = W / 2.0 - 0.5;
  m.Scy = H / 2.0 - 0.5;
  const double dcx = m.W / 2.0 - 0.5;
  m.Dcy = m.H / 2.0 - 0.5;
  m.P.resize(static_cast<size_t>(m.W));
  m.Q.resize(static_cast<size_t>(m.W));
  for (int32_t k = 0; k < m.W; ++k) {
    m.P[static_cast<size_t>(k)] = Trunc32((k - dcx) * m.C4);
    m.Q[static_cast<size_t>(k)] = Trunc32(-(k - dcx) * m.S4);
  }
  return m;
}

// Exact turn of the four-decimal routines: 90 counter-clockwise, -90 and 270 clockwise, 180 and
// -180 half; 0 for every other angle (which takes the general path).
int32_t FourDecimalExact(double Angle) {
  if (Angle == 90) return 1;
  if (Angle == -90 || Angle == 270) return 3;
  if (Angle == 180 || Angle == -180) return 2;
  return 0;
}

// Bitmap turned in place by Quarters quarter turns counter-clockwise (1..3).
void TurnInPlace(TPXBitmap* Bitmap, int32_t Quarters) {
  auto result = std::make_unique<TPXBitmap>();
  TurnExactInto(Bitmap, result.get(), Quarters);
  ReplacePixels(Bitmap, result.get());
}

// --- three shears ------------------------------------------------------------------------------

template <int N>
inline void Blend(uint8_t* D, const uint8_t* Prev, const uint8_t* Cur, int32_t B) {
  // (prev B + cur (4096 - B) + 2048) / 4096 never passes 255.
  for (int i = 0; i < N; ++i) D[i] = static_cast<uint8_t>((Prev[i] * B + Cur[i] * (4096 - B) + 2048) >> 12);
}

template <int N>
inline void FillPixels(uint8_t* D, int32_t Count, const uint8_t* Bg) {
  if (N == 1) {
    if (Count > 0) std::memset(D, Bg[0], static_cast<size_t>(Count));
  } else if (Count > 0) {
    // One pixel, then doubling copies of what is already filled.
    const size_t total = static_cast<size_t>(N) * static_cast<size_t>(Count);
    std::memcpy(D, Bg, N);
    for (size_t done = N; done < total;) {
      const size_t n = std::min(done, total - done);
      std::memcpy(D + done, D, n);
      done += n;
    }
  }
}

// Whole part and 12-bit fraction of a non-negative shear offset.
inline void SplitOffset(double Off, int32_t& Whole, int32_t& B) {
  Whole = static_cast<int32_t>(Off);
  B = static_cast<int32_t>((Off - Whole) * 4096);
}

// Shifts one row of Count pixels to position N of a row of Width pixels (clipped), blending with
// the 12-bit fraction B when Antialias; the rest of the row is background.
template <int N>
void ShearRow(const uint8_t* S, int32_t Count, uint8_t* D, int32_t Width, int32_t Shift, int32_t B, bool Antialias,
              const uint8_t* Bg) {
  const int32_t x0 = std::max(0, -Shift), x1 = std::min(Count, Width - Shift);  // source pixels that land
  if (x0 >= x1) {
    FillPixels<N>(D, Width, Bg);
    if (Antialias && B > 0 && Shift + Count >= 0 && Shift + Count < Width)
      Blend<N>(D + N * (Shift + Count), Count > 0 && Shift + Count - 1 >= 0 ? S + N * (Count - 1) : Bg, Bg, B);
    return;
  }
  FillPixels<N>(D, Shift + x0, Bg);
  uint8_t* d = D + N * (Shift + x0);
  if (!Antialias || B == 0) {
    std::memcpy(d, S + N * x0, static_cast<size_t>(N) * static_cast<size_t>(x1 - x0));
  } else {
    // The first landing pixel blends with the background: nothing landed before it.
    const uint8_t* prev = Bg;
    for (int32_t x = x0; x < x1; ++x, d += N) {
      Blend<N>(d, prev, S + N * x, B);
      prev = S + N * x;
    }
  }
  int32_t end = Shift + x1;
  if (Antialias && B > 0 && x1 == Count && end < Width) {
    Blend<N>(D + N * end, S + N * (Count - 1), Bg, B);
    ++end;
  }
  FillPixels<N>(D + N * end, Width - end, Bg);
}

template <int N>
void ShearRotate(TPXBitmap* Bitmap, double Angle, bool Antialias, const uint8_t* Bg, const TPXProgressEvent& OnProgress,
                 TObject* Sender, bool OnlyChanges) {
  double a = ReduceShearAngle(Angle);
  int32_t quarters = 0;
  while (a > 45) a -= 90, ++quarters;
  while (a < -45) a += 90, --quarters;
  quarters = (quarters % 4 + 4) % 4;

  std::unique_ptr<TPXBitmap> turned;
  TPXBitmap* q = Bitmap;
  if (quarters != 0) {
    turned = std::make_unique<TPXBitmap>();
    TurnExactInto(Bitmap, turned.get(), quarters);
    q = turned.get();
  }
  if (a == 0) {
    if (turned) ReplacePixels(Bitmap, turned.get());
    return;
  }

  const int32_t w = q->Width(), h = q->Height();
  const TPXShearSizes sz = CalcShearSizes(w, h, a);
  const double theta = a * kDegToRad;
  const double t = std::fabs(std::sin(theta / 2) / std::cos(theta / 2)), s = std::fabs(std::sin(theta));
  const bool positive = theta > 0;
  const TPXPixelFormat format = q->PixelFormat();
  const double perUnit = 100.0 / (h + sz.W1 + sz.H2);
  int32_t last = -1;

  // Pass 1: horizontal shear of Q into W1 x H.
  auto buf1 = MakeWork(sz.W1, h, format);
  {
    const TRowTable src = RowTable(q), dst = RowTable(buf1.get());
    TPassProgress progress(OnProgress, Sender, last, OnlyChanges,
                           [perUnit](int32_t y) { return Trunc32(y * perUnit); });
    RunBands(h, ChooseThreadCount(sz.W1, h), [&](int32_t y0, int32_t y1, bool caller) {
      for (int32_t y = y0; y < y1; ++y) {
        int32_t n, b;
        SplitOffset((positive ? y : h - y) * t, n, b);
        ShearRow<N>(src[static_cast<size_t>(y)], w, dst[static_cast<size_t>(y)], sz.W1, n, b, Antialias, Bg);
        progress.RowDone(caller);
      }
    }, &progress);
    progress.Finish();
  }
  turned.reset();

  // Pass 2: vertical shear into W1 x H2, done row by row: destination row r of column x takes
  // source row r - n[x], blended with the row above it when that one landed too.
  auto buf2 = MakeWork(sz.W1, sz.H2, format);
  {
    std::vector<int32_t> shift(static_cast<size_t>(sz.W1)), frac(static_cast<size_t>(sz.W1));
    for (int32_t x = 0; x < sz.W1; ++x) {
      int32_t n, b;
      SplitOffset((positive ? sz.W1 - x : x) * s, n, b);
      shift[static_cast<size_t>(x)] = n - sz.O;
      frac[static_cast<size_t>(x)] = Antialias ? b : 0;
    }
    const TRowTable src = RowTable(buf1.get()), dst = RowTable(buf2.get());
    const int32_t w1 = sz.W1, h2 = sz.H2;
    TPassProgress progress(OnProgress, Sender, last, OnlyChanges, [perUnit, h, w1, h2](int32_t r) {
      return Trunc32((h + static_cast<int64_t>(r) * w1 / h2) * perUnit);
    });
    RunBands(h2, ChooseThreadCount(w1, h2), [&](int32_t y0, int32_t y1, bool caller) {
      for (int32_t r = y0; r < y1; ++r) {
        uint8_t* d = dst[static_cast<size_t>(r)];
        // The source row r - shift[x] is monotonic in x, so the landing columns form one run
        // [xa, xb) and the columns one row below the last source row another, next to it.
        auto first = [&](auto pred) {
          return static_cast<int32_t>(
              std::partition_point(shift.begin(), shift.end(), [&](int32_t sh) { return pred(r - sh); }) -
              shift.begin());
        };
        int32_t xa, xb, ta, tb;
        if (positive) {  // rising source rows
          xa = first([](int32_t j) { return j < 0; });
          xb = first([h](int32_t j) { return j < h; });
          ta = xb, tb = first([h](int32_t j) { return j <= h; });
        } else {
          ta = first([h](int32_t j) { return j > h; });
          xa = tb = first([h](int32_t j) { return j >= h; });
          xb = first([](int32_t j) { return j >= 0; });
        }
        FillPixels<N>(d, xa, Bg);
        FillPixels<N>(d + N * xb, w1 - xb, Bg);
        for (int32_t x = xa; x < xb; ++x) {
          const int32_t j = r - shift[static_cast<size_t>(x)], b = frac[static_cast<size_t>(x)];
          const uint8_t* cur = src[static_cast<size_t>(j)] + N * x;
          if (b == 0) std::memcpy(d + N * x, cur, N);
          else Blend<N>(d + N * x, j >= 1 && r >= 1 ? src[static_cast<size_t>(j - 1)] + N * x : Bg, cur, b);
        }
        for (int32_t x = ta; x < tb; ++x)
          if (const int32_t b = frac[static_cast<size_t>(x)]; b > 0)
            Blend<N>(d + N * x, r >= 1 ? src[static_cast<size_t>(h - 1)] + N * x : Bg, Bg, b);
        progress.RowDone(caller);
      }
    }, &progress);
    progress.Finish();
  }
  buf1.reset();

  // Pass 3: horizontal shear into the W3 x H2 result.
  auto result = MakeWork(sz.W3, sz.H2, format);
  {
    const TRowTable src = RowTable(buf2.get()), dst = RowTable(result.get());
    const int32_t h2 = sz.H2;
    TPassProgress progress(OnProgress, Sender, last, OnlyChanges,
                           [perUnit, h, w1 = sz.W1](int32_t y) { return Trunc32((h + w1 + y) * perUnit); });
    RunBands(h2, ChooseThreadCount(sz.W3, h2), [&](int32_t y0, int32_t y1, bool caller) {
      for (int32_t y = y0; y < y1; ++y) {
        int32_t n, b;
        SplitOffset((positive ? y : h2 - y) * t, n, b);
        ShearRow<N>(src[static_cast<size_t>(y)], sz.W1, dst[static_cast<size_t>(y)], sz.W3, n - sz.U, b, Antialias,
                    Bg);
        progress.RowDone(caller);
      }
    }, &progress);
    progress.Finish();
  }
  buf2.reset();
  if (format == px8p) Bitmap->CopyPaletteTo(result.get());
  ReplacePixels(Bitmap, result.get());
}

// --- interpolation -----------------------------------------------------------------------------

// Weights of the cubic convolution kernel (a = -1) for the fraction U / 65536, in 1/65536 and
// summing to exactly 65536: w0 = -f(1-f)^2, w1 = 1 - 2f^2 + f^3, w2 = f(1 + f - f^2), w3 = -f^2(1-f).
inline void CubicWeights(int32_t U, int32_t* W) {
  const int64_t f = U, f2 = (f * f) >> 16, f3 = (f2 * f) >> 16;
  W[0] = static_cast<int32_t>(-(f - 2 * f2 + f3));
  W[2] = static_cast<int32_t>(f + f2 - f3);
  W[3] = static_cast<int32_t>(f3 - f2);
  W[1] = 65536 - W[0] - W[2] - W[3];
}

// One bicubic pixel from four rows of four taps (Step bytes apart): rounded and clamped.
template <int N>
inline void CubicPixel(const uint8_t* R0, const uint8_t* R1, const uint8_t* R2, const uint8_t* R3, int Step,
                       const int32_t* Wx, const int32_t* Wy, uint8_t* D) {
  for (int c = 0; c < N; ++c) {
    auto row = [&](const uint8_t* p) -> int64_t {
      return Wx[0] * p[c] + Wx[1] * p[Step + c] + Wx[2] * p[2 * Step + c] + Wx[3] * p[3 * Step + c];
    };
    const int64_t v = (Wy[0] * row(R0) + Wy[1] * row(R1) + Wy[2] * row(R2) + Wy[3] * row(R3) + (int64_t{1} << 31)) >> 32;
    D[c] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

// What one smooth rotation's rows share: the source rows, sizes, background and the 32.32 fixed
// point step along an output row.
struct TSmoothJob {
  const TRowTable* Src;
  int32_t W, H, NW;
  const uint8_t* Bg;
  int64_t StepX, StepY;
};

template <int N>
inline const uint8_t* SamplePixel(const TSmoothJob& J, int32_t X, int32_t Y) {
  return static_cast<uint32_t>(X) < static_cast<uint32_t>(J.W) && static_cast<uint32_t>(Y) < static_cast<uint32_t>(J.H)
             ? (*J.Src)[static_cast<size_t>(Y)] + N * X
             : J.Bg;
}

// One bilinear pixel at source position (Fx, Fy), 32.32 fixed point.
template <int N>
inline void BilinearPixel(const TSmoothJob& J, int64_t Fx, int64_t Fy, uint8_t* D) {
  const int32_t ix = static_cast<int32_t>(Fx >> 32), iy = static_cast<int32_t>(Fy >> 32);
  const int32_t ux = static_cast<int32_t>((Fx >> 16) & 0xFFFF), uy = static_cast<int32_t>((Fy >> 16) & 0xFFFF);
  if (ix < -1 || iy < -1 || ix >= J.W || iy >= J.H) {
    std::memcpy(D, J.Bg, N);
    return;
  }
  const uint8_t *p00, *p10, *p01, *p11;
  if (ix >= 0 && iy >= 0 && ix + 1 < J.W && iy + 1 < J.H) {
    p00 = (*J.Src)[static_cast<size_t>(iy)] + N * ix;
    p10 = p00 + N;
    p01 = (*J.Src)[static_cast<size_t>(iy + 1)] + N * ix;
    p11 = p01 + N;
  } else {
    p00 = SamplePixel<N>(J, ix, iy), p10 = SamplePixel<N>(J, ix + 1, iy), p01 = SamplePixel<N>(J, ix, iy + 1),
    p11 = SamplePixel<N>(J, ix + 1, iy + 1);
  }
  for (int c = 0; c < N; ++c) {
    // top + (bottom - top) fy, truncated; every term is 16.16 fixed point.
    const int32_t top = (p00[c] << 16) + (p10[c] - p00[c]) * ux;
    const int32_t bottom = (p01[c] << 16) + (p11[c] - p01[c]) * ux;
    D[c] = static_cast<uint8_t>(((static_cast<int64_t>(top) << 16) + static_cast<int64_t>(bottom - top) * uy) >> 32);
  }
}

// One bicubic pixel at source position (Fx, Fy).
template <int N>
inline void BicubicPixel(const TSmoothJob& J, int64_t Fx, int64_t Fy, uint8_t* D) {
  const int32_t ix = static_cast<int32_t>(Fx >> 32), iy = static_cast<int32_t>(Fy >> 32);
  const int32_t ux = static_cast<int32_t>((Fx >> 16) & 0xFFFF), uy = static_cast<int32_t>((Fy >> 16) & 0xFFFF);
  if (ix < -2 || iy < -2 || ix > J.W || iy > J.H) {
    std::memcpy(D, J.Bg, N);
    return;
  }
  int32_t wx[4], wy[4];
  CubicWeights(ux, wx);
  CubicWeights(uy, wy);
  if (ix >= 1 && iy >= 1 && ix + 2 < J.W && iy + 2 < J.H) {
    const size_t at = static_cast<size_t>(N) * static_cast<size_t>(ix - 1);
    const TRowTable& src = *J.Src;
    CubicPixel<N>(src[static_cast<size_t>(iy - 1)] + at, src[static_cast<size_t>(iy)] + at,
                  src[static_cast<size_t>(iy + 1)] + at, src[static_cast<size_t>(iy + 2)] + at, N, wx, wy, D);
  } else {
    // Near the border every tap is looked up on its own; outside taps read the background.
    uint8_t taps[4][4 * N];
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i) std::memcpy(taps[j] + N * i, SamplePixel<N>(J, ix - 1 + i, iy - 1 + j), N);
    CubicPixel<N>(taps[0], taps[1], taps[2], taps[3], N, wx, wy, D);
  }
}

template <int N, bool Bicubic>
void SmoothRowScalar(const TSmoothJob& J, uint8_t* D, int64_t Fx, int64_t Fy) {
  for (int32_t x = 0; x < J.NW; ++x, D += N, Fx += J.StepX, Fy += J.StepY) {
    if constexpr (Bicubic) BicubicPixel<N>(J, Fx, Fy, D);
    else BilinearPixel<N>(J, Fx, Fy, D);
  }
}

#if defined(__x86_64__)
// 24-bit rows with AVX2. Both interpolations are exact sums of integer products:
//   bilinear = (sum_ij Wx_i Wy_j p_ij) >> 32 with Wx = (65536 - ux, ux), Wy = (65536 - uy, uy),
//   which is the scalar top/bottom form multiplied out;
//   bicubic  = (sum_ij Wx_i Wy_j p_ij + 2^31) >> 32 with the cubic weights,
// so computing the horizontal sums in 32 bits and the vertical ones in 64 bits gives the scalar
// loop's bytes exactly. Two source rows share a vector (one per 128-bit lane), each pixel's
// three channels sit in the lane's first three 32-bit slots.

// The three bytes of pixel I of a lane's taps, widened to 32 bits (slot 3 zero).
__attribute__((target("avx2"), always_inline)) inline __m256i TapOf(__m256i Rows, int I) {
  const char b = static_cast<char>(3 * I);
  const __m128i m = _mm_setr_epi8(b, -1, -1, -1, static_cast<char>(b + 1), -1, -1, -1, static_cast<char>(b + 2), -1,
                                  -1, -1, -1, -1, -1, -1);
  return _mm256_shuffle_epi8(Rows, _mm256_set_m128i(m, m));
}

// sum_j Wy_j x R_j over the four 32-bit channel sums R (two lanes of two vectors, or one vector
// for two rows), plus Round, shifted right by 32: the channels' bytes, clamped, stored.
__attribute__((target("avx2"), always_inline)) inline void StoreVertical(const __m256i* Sums, int Vectors,
                                                                        const int32_t* Wy, int64_t Round, uint8_t* D) {
  __m256i acc = _mm256_set1_epi64x(Round);
  for (int v = 0; v < Vectors; ++v) {
    const __m256i lo = _mm256_cvtepi32_epi64(_mm256_castsi256_si128(Sums[v]));
    const __m256i hi = _mm256_cvtepi32_epi64(_mm256_extracti128_si256(Sums[v], 1));
    acc = _mm256_add_epi64(acc, _mm256_mul_epi32(lo, _mm256_set1_epi64x(Wy[2 * v])));
    acc = _mm256_add_epi64(acc, _mm256_mul_epi32(hi, _mm256_set1_epi64x(Wy[2 * v + 1])));
  }
  // The high 32 bits of each 64-bit sum are the arithmetic shift by 32.
  const __m128i q = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(acc, _mm256_setr_epi32(1, 3, 5, 7, 1, 3, 5, 7)));
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
  const uint32_t v = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
  D[0] = static_cast<uint8_t>(v);
  D[1] = static_cast<uint8_t>(v >> 8);
  D[2] = static_cast<uint8_t>(v >> 16);
}

// Bytes (6 or 12) bytes of a row, read exactly (no byte past them).
template <int Bytes>
__attribute__((target("avx2"), always_inline)) inline __m128i LoadTaps(const uint8_t* P) {
  if constexpr (Bytes == 12) {
    int32_t tail;
    std::memcpy(&tail, P + 8, 4);
    return _mm_insert_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(P)), tail, 2);
  } else {
    int32_t head;
    uint16_t tail;
    std::memcpy(&head, P, 4);
    std::memcpy(&tail, P + 4, 2);
    return _mm_insert_epi16(_mm_cvtsi32_si128(head), tail, 2);
  }
}

// Two rows' taps into the two lanes.
template <int Bytes>
__attribute__((target("avx2"), always_inline)) inline __m256i LoadRowPair(const uint8_t* R0, const uint8_t* R1) {
  return _mm256_set_m128i(LoadTaps<Bytes>(R1), LoadTaps<Bytes>(R0));
}

template <bool Bicubic>
__attribute__((target("avx2"))) void SmoothRowAvx2(const TSmoothJob& J, uint8_t* D, int64_t Fx, int64_t Fy) {
  const TRowTable& src = *J.Src;
  for (int32_t x = 0; x < J.NW; ++x, D += 3, Fx += J.StepX, Fy += J.StepY) {
    const int32_t ix = static_cast<int32_t>(Fx >> 32), iy = static_cast<int32_t>(Fy >> 32);
    const int32_t ux = static_cast<int32_t>((Fx >> 16) & 0xFFFF), uy = static_cast<int32_t>((Fy >> 16) & 0xFFFF);
    if constexpr (Bicubic) {
      if (!(ix >= 1 && iy >= 1 && ix + 2 < J.W && iy + 2 < J.H)) {
        BicubicPixel<3>(J, Fx, Fy, D);
        continue;
      }
      int32_t wx[4], wy[4];
      CubicWeights(ux, wx);
      CubicWeights(uy, wy);
      const size_t at = 3 * static_cast<size_t>(ix - 1);
      __m256i sums[2];
      for (int v = 0; v < 2; ++v) {
        const __m256i rows = LoadRowPair<12>(src[static_cast<size_t>(iy - 1 + 2 * v)] + at,
                                             src[static_cast<size_t>(iy + 2 * v)] + at);
        __m256i s = _mm256_mullo_epi32(TapOf(rows, 0), _mm256_set1_epi32(wx[0]));
        s = _mm256_add_epi32(s, _mm256_mullo_epi32(TapOf(rows, 1), _mm256_set1_epi32(wx[1])));
        s = _mm256_add_epi32(s, _mm256_mullo_epi32(TapOf(rows, 2), _mm256_set1_epi32(wx[2])));
        sums[v] = _mm256_add_epi32(s, _mm256_mullo_epi32(TapOf(rows, 3), _mm256_set1_epi32(wx[3])));
      }
      StoreVertical(sums, 2, wy, int64_t{1} << 31, D);
    } else {
      if (!(ix >= 0 && iy >= 0 && ix + 1 < J.W && iy + 1 < J.H)) {
        BilinearPixel<3>(J, Fx, Fy, D);
        continue;
      }
      const int32_t wy[2] = {65536 - uy, uy};
      const size_t at = 3 * static_cast<size_t>(ix);
      const __m256i rows = LoadRowPair<6>(src[static_cast<size_t>(iy)] + at, src[static_cast<size_t>(iy + 1)] + at);
      __m256i s = _mm256_mullo_epi32(TapOf(rows, 0), _mm256_set1_epi32(65536 - ux));
      s = _mm256_add_epi32(s, _mm256_mullo_epi32(TapOf(rows, 1), _mm256_set1_epi32(ux)));
      StoreVertical(&s, 1, wy, 0, D);
    }
  }
}
#endif

template <int N>
void SmoothRotateInto(TPXBitmap* Source, TPXBitmap* Dest, double Angle, const uint8_t* Bg, int32_t Mode,
                      const TPXProgressEvent& OnProgress, TObject* Sender) {
  const int32_t quarters = WholeQuarters(Angle);
  if (quarters >= 0) {
    // Whole quarter turns map every pixel onto a pixel: no interpolation.
    TurnExactInto(Source, Dest, quarters);
    ClearRowTails(Dest);
    return;
  }
  const int32_t w = Source->Width(), h = Source->Height();
  int32_t nw = 0, nh = 0;
  RotatedRectSize(w, h, TDPoint{(w - 1) / 2.0, (h - 1) / 2.0}, -Angle, nw, nh);
  nw = std::max(nw, 1);
  nh = std::max(nh, 1);
  if (!Dest->Allocate(nw, nh, Source->PixelFormat())) throw EOutOfMemory("Out of memory");
  if (Source->PixelFormat() == px8p) Source->CopyPaletteTo(Dest);

  const double theta = Angle * kDegToRad, cs = std::cos(theta), sn = std::sin(theta);
  const double scx = (w - 1) / 2.0, scy = (h - 1) / 2.0, dcx = (nw - 1) / 2.0, dcy = (nh - 1) / 2.0;
  // Source positions in 32.32 fixed point, stepped along each row.
  constexpr double kOne = 4294967296.0;
  const TRowTable src = RowTable(Source), dst = RowTable(Dest);
  const TSmoothJob job{&src, w, h, nw, Bg, std::llrint(cs * kOne), std::llrint(sn * kOne)};
  const bool bicubic = Mode != 2;
  using TRow = void (*)(const TSmoothJob&, uint8_t*, int64_t, int64_t);
  TRow rowFn = bicubic ? SmoothRowScalar<N, true> : SmoothRowScalar<N, false>;
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if constexpr (N == 3)
    if (avx2) rowFn = bicubic ? SmoothRowAvx2<true> : SmoothRowAvx2<false>;
#endif
  int32_t last = -1;
  TPassProgress progress(OnProgress, Sender, last, false, RowPercent(nh));

  RunBands(nh, ChooseThreadCount(nw, nh), [&](int32_t y0, int32_t y1, bool caller) {
    for (int32_t y = y0; y < y1; ++y) {
      rowFn(job, dst[static_cast<size_t>(y)], std::llrint((-dcx * cs + scx - (y - dcy) * sn) * kOne),
            std::llrint((-dcx * sn + scy + (y - dcy) * cs) * kOne));
      progress.RowDone(caller);
    }
  }, &progress);
  progress.Finish();
  ClearRowTails(Dest);
}

}  // namespace

// --- three shears ------------------------------------------------------------------------------

TPXShearSizes CalcShearSizes(int32_t Width, int32_t Height, double A) {
  const double theta = A * kDegToRad;
  const double t = std::fabs(std::sin(theta / 2) / std::cos(theta / 2)), s = std::fabs(std::sin(theta));
  TPXShearSizes r;
  r.W1 = Round32(Height * t + Width + 1);
  r.O = Round32((r.W1 - Width) * s);
  r.H2a = Round32(s * r.W1 + Height + 1);
  r.U = Round32(t * (r.H2a - Height - r.O));
  r.H2 = r.H2a - 2 * r.O;
  r.W3 = Round32(t * r.H2 + r.W1 + 1 - 2 * r.U);
  return r;
}

double ReduceShearAngle(double Angle) { return static_cast<double>(Trunc(static_cast<long double>(Angle) * 1000) % 360000) / 1000; }

void RotateByShear(TPXBitmap* Bitmap, double Angle, bool Antialias, TRGB Background,
                   const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Rotatable(Bitmap) || !std::isfinite(Angle)) return;
  if (Bitmap->PixelFormat() != px24RGB) {
    TPXProgressRecord progress;
    InitProgressRecord(Sender, nullptr, progress, OnProgress);
    RotateMonoNearest(Bitmap, Background.r != 0 && Background.g != 0 && Background.b != 0, progress, Angle);
    return;
  }
  const uint8_t bg[3] = {Background.b, Background.g, Background.r};
  ShearRotate<3>(Bitmap, Angle, Antialias, bg, OnProgress, Sender, true);
}

void RotateGrayByShear(TPXBitmap* Bitmap, double Angle, bool Antialias, uint8_t Background,
                       const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Rotatable(Bitmap) || !std::isfinite(Angle)) return;
  if (Bitmap->PixelFormat() != px8g && Bitmap->PixelFormat() != px8p) return;
  ShearRotate<1>(Bitmap, Angle, Antialias, &Background, OnProgress, Sender, false);
}

// --- nearest mapping ---------------------------------------------------------------------------

void RotateMonoNearest(TPXBitmap* Bitmap, bool WhiteBackground, TPXProgressRecord& Progress, double Angle) {
  if (!Rotatable(Bitmap) || Bitmap->PixelFormat() != px1g || !std::isfinite(Angle)) return;
  if (const int32_t quarters = FourDecimalExact(Angle)) {
    TurnInPlace(Bitmap, quarters);
    return;
  }
  auto result = std::make_unique<TPXBitmap>();
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const TFourDecimalMap m = FourDecimalMap(w, h, Angle);
  if (!result->Allocate(m.W, m.H, px1g)) throw EOutOfMemory("Out of memory");
  const TRowTable src = RowTable(Bitmap), dst = RowTable(result.get());
  const size_t rowBytes = static_cast<size_t>(result->RowLen());
  int32_t last = -1;
  TPassProgress progress(Progress.Event, Progress.Sender, last, true, RowPercent(m.H));
  RunBands(m.H, ChooseThreadCount(m.W, m.H), [&](int32_t y0, int32_t y1, bool caller) {
    for (int32_t r = y0; r < y1; ++r) {
      uint8_t* d = dst[static_cast<size_t>(r)];
      std::memset(d, 0, rowBytes);
      const int32_t x0 = Trunc32((r - m.Dcy) * m.S4 + m.Scx), y0r = Trunc32((r - m.Dcy) * m.C4 + m.Scy);
      for (int32_t k = 0; k < m.W; ++k) {
        const int32_t sx = x0 + m.P[static_cast<size_t>(k)], sy = y0r + m.Q[static_cast<size_t>(k)];
        const bool inside = static_cast<uint32_t>(sx) < static_cast<uint32_t>(w) &&
                            static_cast<uint32_t>(sy) < static_cast<uint32_t>(h);
        if (inside ? GetBit(src[static_cast<size_t>(sy)], sx) != 0 : WhiteBackground) SetBit(d, k, true);
      }
      progress.RowDone(caller);
    }
  }, &progress);
  progress.Finish();
  ReplacePixels(Bitmap, result.get());
}

void RotateGrayNearest(TPXBitmap* Bitmap, double Angle, uint8_t Background) {
  if (!Rotatable(Bitmap) || !std::isfinite(Angle)) return;
  if (Bitmap->PixelFormat() != px8g && Bitmap->PixelFormat() != px8p) return;
  if (const int32_t quarters = FourDecimalExact(Angle)) {
    TurnInPlace(Bitmap, quarters);
    return;
  }
  auto result = std::make_unique<TPXBitmap>();
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const TFourDecimalMap m = FourDecimalMap(w, h, Angle);
  if (!result->Allocate(m.W, m.H, Bitmap->PixelFormat())) throw EOutOfMemory("Out of memory");
  const TRowTable src = RowTable(Bitmap), dst = RowTable(result.get());
  RunBands(m.H, ChooseThreadCount(m.W, m.H), [&](int32_t y0, int32_t y1, bool) {
    for (int32_t r = y0; r < y1; ++r) {
      uint8_t* d = dst[static_cast<size_t>(r)];
      const int32_t x0 = Trunc32((r - m.Dcy) * m.S4 + m.Scx), y0r = Trunc32((r - m.Dcy) * m.C4 + m.Scy);
      for (int32_t k = 0; k < m.W; ++k) {
        const int32_t sx = x0 + m.P[static_cast<size_t>(k)], sy = y0r + m.Q[static_cast<size_t>(k)];
        d[k] = static_cast<uint32_t>(sx) < static_cast<uint32_t>(w) && static_cast<uint32_t>(sy) < static_cast<uint32_t>(h)
                   ? src[static_cast<size_t>(sy)][sx]
                   : Background;
      }
    }
  });
  Bitmap->CopyPaletteTo(result.get());
  ReplacePixels(Bitmap, result.get());
}

namespace {

template <int N>
void NearestRows(const TRowTable& Src, const TRowTable& Dst, int32_t W, int32_t H, int32_t NW, int32_t NH,
                 size_t Bpp, double Cs, double Sn, const uint8_t* Bg, TPassProgress& Progress) {
  const double scx = (W - 1) / 2.0, scy = (H - 1) / 2.0, dcx = (NW - 1) / 2.0, dcy = (NH - 1) / 2.0;
  std::vector<double> cx(static_cast<size_t>(NW)), cy(static_cast<size_t>(NW));
  for (int32_t x = 0; x < NW; ++x) {
    cx[static_cast<size_t>(x)] = (x - dcx) * Cs + scx;
    cy[static_cast<size_t>(x)] = (x - dcx) * Sn + scy;
  }
  RunBands(NH, ChooseThreadCount(NW, NH), [&](int32_t y0, int32_t y1, bool caller) {
    for (int32_t y = y0; y < y1; ++y) {
      uint8_t* d = Dst[static_cast<size_t>(y)];
      if constexpr (N == 0) std::memset(d, 0, (static_cast<size_t>(NW) + 7) / 8);
      const double ys = (y - dcy) * Sn, yc = (y - dcy) * Cs;
      for (int32_t x = 0; x < NW; ++x) {
        const int32_t sx = RintI(cx[static_cast<size_t>(x)] - ys), sy = RintI(cy[static_cast<size_t>(x)] + yc);
        if (static_cast<uint32_t>(sx) >= static_cast<uint32_t>(W) || static_cast<uint32_t>(sy) >= static_cast<uint32_t>(H)) {
          if constexpr (N > 0) {
            if (Bg) std::memcpy(d + N * x, Bg, N);
          }
          continue;
        }
        const uint8_t* s = Src[static_cast<size_t>(sy)];
        if constexpr (N == 0) {
          if (GetBit(s, sx)) SetBit(d, x, true);
        } else if constexpr (N > 0) {
          std::memcpy(d + N * x, s + N * sx, N);
        } else {
          std::memcpy(d + Bpp * static_cast<size_t>(x), s + Bpp * static_cast<size_t>(sx), Bpp);
        }
      }
      Progress.RowDone(caller);
    }
  }, &Progress);
  Progress.Finish();
}

}  // namespace

void RotateNearest(TPXBitmap* Bitmap, double Angle, TColor Background, const TPXProgressEvent& OnProgress,
                   TObject* Sender) {
  if (!Rotatable(Bitmap) || !std::isfinite(Angle)) return;
  const int32_t bits = Bitmap->BitCount();
  if (bits != 1 && bits % 8 != 0) return;
  const int32_t quarters = WholeQuarters(Angle);
  if (quarters == 0) return;  // a whole turn: the copy would equal the picture
  if (quarters > 0) {
    TurnInPlace(Bitmap, quarters);
    return;
  }
  auto result = std::make_unique<TPXBitmap>();
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const double theta = Angle * kDegToRad, cs = std::cos(theta), sn = std::sin(theta);
  const int32_t nw = std::max(1, Round32(std::fabs(cs) * w + std::fabs(sn) * h));
  const int32_t nh = std::max(1, Round32(std::fabs(sn) * w + std::fabs(cs) * h));
  const TPXPixelFormat format = Bitmap->PixelFormat();
  if (!result->Allocate(nw, nh, format)) throw EOutOfMemory("Out of memory");
  // The new area: written with the mapping where the bytes are known (1-bit rows start clear),
  // filled beforehand for the other formats.
  const TRGB rgb = TColorToRGB(Background);
  const uint8_t bg24[3] = {rgb.b, rgb.g, rgb.r}, bg8 = static_cast<uint8_t>(Background);
  const uint8_t* bg = format == px24RGB ? bg24 : (format == px8g || format == px8p) ? &bg8 : nullptr;
  if (!bg && format != px1g) result->Fill(Background);
  const TRowTable src = RowTable(Bitmap), dst = RowTable(result.get());
  int32_t last = -1;
  TPassProgress progress(OnProgress, Sender, last, true, RowPercent(nh));
  const size_t bpp = static_cast<size_t>(bits / 8);
  switch (bits) {
    case 1: NearestRows<0>(src, dst, w, h, nw, nh, bpp, cs, sn, nullptr, progress); break;
    case 8: NearestRows<1>(src, dst, w, h, nw, nh, bpp, cs, sn, bg, progress); break;
    case 24: NearestRows<3>(src, dst, w, h, nw, nh, bpp, cs, sn, bg, progress); break;
    case 32: NearestRows<4>(src, dst, w, h, nw, nh, bpp, cs, sn, nullptr, progress); break;
    default: NearestRows<-1>(src, dst, w, h, nw, nh, bpp, cs, sn, nullptr, progress); break;
  }
  if (format == px8p) Bitmap->CopyPaletteTo(result.get());
  ReplacePixels(Bitmap, result.get());
}

// --- interpolation -----------------------------------------------------------------------------

void RotateGraySmoothTo(TPXBitmap* Source, TPXBitmap* Dest, double Angle, uint8_t Background, int32_t Mode) {
  if (!Rotatable(Source) || !Dest || Dest == Source || !std::isfinite(Angle)) return;
  if (Source->PixelFormat() != px8g && Source->PixelFormat() != px8p) return;
  SmoothRotateInto<1>(Source, Dest, Angle, &Background, Mode, {}, nullptr);
}

void RotateSmoothTo(TPXBitmap* Source, TPXBitmap* Dest, double Angle, TColor Background, int32_t Mode,
                    const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Rotatable(Source) || !Dest || Dest == Source || !std::isfinite(Angle)) return;
  const TPXPixelFormat format = Source->PixelFormat();
  if (format == px8g || format == px8p) {
    RotateGraySmoothTo(Source, Dest, Angle, static_cast<uint8_t>(Background), Mode);
    return;
  }
  TPXBitmap* src = Source;
  std::unique_ptr<TPXBitmap> converted;
  if (format != px24RGB) {
    converted = MakeWork(Source->Width(), Source->Height(), px24RGB);
    converted->ConvertPixelFormat(Source);
    src = converted.get();
  }
  const TRGB c = TColorToRGB(Background);
  const uint8_t bg[3] = {c.b, c.g, c.r};
  SmoothRotateInto<3>(src, Dest, Angle, bg, Mode, OnProgress, Sender);
}

void RotateSmooth(TPXBitmap* Bitmap, double Angle, TColor Background, int32_t Mode,
                  const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!Rotatable(Bitmap) || !std::isfinite(Angle)) return;
  auto result = std::make_unique<TPXBitmap>();
  RotateSmoothTo(Bitmap, result.get(), Angle, Background, Mode, OnProgress, Sender);
  if (!result->IsEmpty()) ReplacePixels(Bitmap, result.get());
}

void RotateGraySmooth(TPXBitmap* Bitmap, double Angle, uint8_t Background, int32_t Mode) {
  if (!Rotatable(Bitmap) || !std::isfinite(Angle)) return;
  auto result = std::make_unique<TPXBitmap>();
  RotateGraySmoothTo(Bitmap, result.get(), Angle, Background, Mode);
  if (!result->IsEmpty()) ReplacePixels(Bitmap, result.get());
}
