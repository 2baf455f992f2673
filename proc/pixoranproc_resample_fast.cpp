// The cheap resamplers: fast linear for 24-bit, 8-bit and 16-bit pictures, the stroke-keeping
// projections to 1 bit, and the 1-bit linear and coverage paths.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "core/hypxutils_threads.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_resample_impl.h"

namespace {

// Round half to even, as RsRound, for |v| < 2^51 in the default rounding mode: adding 1.5 * 2^52
// leaves no fraction bits, so the sum itself is rounded to the nearest even integer.
inline int64_t FlRound(double v) {
  constexpr double kShift = 6755399441055744.0;
  return static_cast<int64_t>((v + kShift) - kShift);
}

// Exact floor(s / n) for the sums of a box of n samples, by a multiply where it is exact:
// M = floor(2^64 / n) + 1 gives floor(s * M / 2^64) = floor(s / n) whenever s * n < 2^64.
__extension__ typedef unsigned __int128 TFlWide;
struct TFlDiv {
  uint64_t M = 0;  // 0: divide plainly (n of 1, or boxes too large for the multiply)
  uint64_t N = 1;
  TFlDiv() = default;
  TFlDiv(uint64_t n, uint64_t maxV) : N(n) {
    // s <= maxV * n, so s * n < 2^64 holds while maxV * n * n < 2^64.
    if (n >= 2 && static_cast<double>(maxV) * static_cast<double>(n) * static_cast<double>(n) < 1.8e19)
      M = static_cast<uint64_t>(~uint64_t{0} / n) + 1;
  }
  uint64_t operator()(uint64_t s) const {
    return M ? static_cast<uint64_t>((static_cast<TFlWide>(s) * M) >> 64) : s / N;
  }
};

// The fast linear geometry shared by the bands: destination columns L..L+Cols-1 with their source
// boxes (reducing) or source pairs and fractions (enlarging), rows the same way.
struct TFlPlan {
  TPXBitmap* Src = nullptr;
  TPXBitmap* Dst = nullptr;
  int32_t sW = 0, sH = 0, dH = 0, L = 0, Cols = 0;
  double Xs = 1, Ys = 1;
  int64_t MaxV = 255;
  std::vector<int32_t> X0, X1, Ca, Cb;
  std::vector<double> Cf;
  std::vector<TFlDiv> XDiv;
};

// One band of destination rows. The horizontal pass makes each needed source row into a work row
// of samples on demand, and the last two are kept: neighbouring reducing boxes share a row, an
// enlarging row reads two neighbouring rows.
template <typename T, int NC, typename Acc>
class TFlBand {
 public:
  explicit TFlBand(const TFlPlan& P)
      : p_(P), workLen_(static_cast<size_t>(P.Cols) * NC) {
    for (auto& s : slot_) s.Row.resize(workLen_);
    if (p_.Ys <= 1) acc_.resize(workLen_);
  }

  void Run(int32_t First, int32_t Count, TRsProgress* Progress, int32_t Bands, int32_t Rows) {
    const double pf = 100 / (Rows + 0.5);
    for (int32_t y = First; y < First + Count; ++y) {
      if (T* d = reinterpret_cast<T*>(p_.Dst->Scanline(y))) DestRow(y, d + static_cast<int64_t>(p_.L) * NC);
      if (Progress) Progress->Report(RsTrunc(static_cast<double>(Bands) * (y - First + 1) * pf));
    }
  }

 private:
  struct TSlot {
    int32_t Index = -1;
    std::vector<T> Row;
  };

  const T* WorkRow(int32_t r) {
    for (int k = 0; k < 2; ++k)
      if (slot_[k].Index == r) {
        recent_ = k;
        return slot_[k].Row.data();
      }
    recent_ = 1 - recent_;
    TSlot& s = slot_[recent_];
    s.Index = r;
    Horizontal(r, s.Row.data());
    return s.Row.data();
  }

  void Horizontal(int32_t y, T* w) {
    const T* s = reinterpret_cast<const T*>(p_.Src->Scanline(y));
    if (!s) {
      std::fill(w, w + workLen_, T{0});
      return;
    }
    const int32_t cols = p_.Cols;
    if (p_.Xs > 1) {
      for (int32_t c = 0; c < cols; ++c) {
        const auto sc = static_cast<size_t>(c);
        const T* pa = s + static_cast<int64_t>(p_.Ca[sc]) * NC;
        const T* pb = s + static_cast<int64_t>(p_.Cb[sc]) * NC;
        const double f = p_.Cf[sc];
        for (int k = 0; k < NC; ++k) {
          const double a = pa[k], b = pb[k];
          w[c * NC + k] = static_cast<T>(FlRound((b - a) * f + a));
        }
      }
      return;
    }
    // Each box summed directly, the channels in registers: boxes are short, and a box sum
    // always fits in Acc.
    for (int32_t c = 0; c < cols; ++c) {
      const auto sc = static_cast<size_t>(c);
      const T* px = s + static_cast<int64_t>(p_.X0[sc]) * NC;
      const T* end = s + (static_cast<int64_t>(p_.X1[sc]) + 1) * NC;
      Acc sum[NC] = {};
      for (; px != end; px += NC)
#pragma GCC unroll 4
        for (int k = 0; k < NC; ++k) sum[k] = static_cast<Acc>(sum[k] + px[k]);
      const TFlDiv& dv = p_.XDiv[sc];
#pragma GCC unroll 4
      for (int k = 0; k < NC; ++k) w[c * NC + k] = static_cast<T>(dv(sum[k]));
    }
  }

  void DestRow(int32_t y, T* d) {
    const int32_t sH = p_.sH;
    const int64_t maxV = p_.MaxV;
    if (p_.Ys > 1) {
      const double v = y / p_.Ys;
      const int32_t r0 = std::min(RsTrunc(v), sH - 1);
      const double g = v - r0;
      const int32_t r1 = r0 + 1 < sH ? r0 + 1 : r0;
      const T* w0 = WorkRow(r0);
      const T* w1 = WorkRow(r1);
      for (size_t k = 0; k < workLen_; ++k) {
        const double a = w0[k], b = w1[k];
        const int64_t val = FlRound((b - a) * g + a);
        d[k] = static_cast<T>(val < 0 ? 0 : (val > maxV ? maxV : val));
      }
      return;
    }
    const auto r0 = static_cast<int32_t>(std::min<int64_t>(RsRound(y / p_.Ys), sH - 1));
    const auto r1 =
        static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(y + 1, p_.dH - 1) / p_.Ys), r0, sH - 1));
    Acc* acc = acc_.data();
    std::fill(acc, acc + workLen_, Acc{0});
    for (int32_t r = r0; r <= r1; ++r) {
      const T* w = WorkRow(r);
      for (size_t k = 0; k < workLen_; ++k) acc[k] = static_cast<Acc>(acc[k] + w[k]);
    }
    const TFlDiv dv(static_cast<uint64_t>(r1 - r0 + 1), static_cast<uint64_t>(maxV));
    for (size_t k = 0; k < workLen_; ++k) {
      const uint64_t val = dv(acc[k]);
      d[k] = static_cast<T>(val > static_cast<uint64_t>(maxV) ? maxV : val);
    }
  }

  const TFlPlan& p_;
  const size_t workLen_;
  TSlot slot_[2];
  int recent_ = 0;
  std::vector<Acc> acc_;
};

template <typename T, int NC, typename Acc>
class TFlBandThread : public TPXExecutor {
 public:
  TFlBandThread(bool Threaded, const TFlPlan& P, int32_t First, int32_t Count, TRsProgress* Progress, int32_t Bands,
                int32_t Rows)
      : TPXExecutor(Threaded), p_(P), first_(First), count_(Count), progress_(Progress), bands_(Bands), rows_(Rows) {}
  void Execute() override { TFlBand<T, NC, Acc>(p_).Run(first_, count_, progress_, bands_, rows_); }

 private:
  const TFlPlan& p_;
  int32_t first_, count_;
  TRsProgress* progress_;
  int32_t bands_, rows_;
};

// Whether rows of B may be reached from several threads at once: memory storage, or a clipped view
// of it (whose rows of 8 bits and more are addresses inside the viewed bitmap). File-backed and
// other virtual rows go through shared state.
bool FlSharedRows(TPXBitmap* B) {
  for (int depth = 0; B && depth < 8; ++depth) {
    auto* view = dynamic_cast<TPXVirtualClippedBitmap*>(B);
    if (!view) return B->Location() != pxFile && !B->IsVirtual();
    if (view->BitCount() < 8) return false;
    B = view->FSource;
  }
  return false;
}

// Destination rows Top..Bottom in bands on the thread pool; only band 0 reports progress.
template <typename T, int NC, typename Acc>
void FlRunBands(const TFlPlan& P, int32_t Top, int32_t Bottom, int32_t Bands, TRsProgress& Progress) {
  const int32_t rows = Bottom - Top + 1;
  const auto bands = ResampleBands(rows, Bands);
  const auto n = static_cast<int32_t>(bands.size());
  TPXThreadPool pool;
  for (int32_t k = 0; k < n; ++k) {
    const auto& b = bands[static_cast<size_t>(k)];
    pool.Add(std::make_unique<TFlBandThread<T, NC, Acc>>(n > 1, P, Top + b.first, b.second, k == 0 ? &Progress : nullptr,
                                                         n, rows));
  }
  pool.WaitAll();
}

// Fast linear with NC channels of type T. Reducing, a destination pixel averages the source box
// from its own cell's start to the next cell's start (neighbouring boxes share that row or
// column, and an axis of unchanged size still averages each pixel with its next neighbour);
// enlarging, it interpolates between two neighbours. The horizontal pass's results are truncated
// to samples before the vertical pass, as the two-pass form defines them.
template <typename T, int NC>
void FastLinear(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                const TRect* Rect, bool AssignWhole, TPXPixelFormat Format) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Format) return;
  // Rows are addressed as Format on both sides.
  if (Dst->PixelFormat() != Format && !Dst->Allocate(Dst->Width(), Dst->Height(), Format))
    throw EOutOfMemory("Out of memory");
  TFlPlan p;
  p.Src = Src;
  p.Dst = Dst;
  p.sW = Src->Width(), p.sH = Src->Height(), p.dH = Dst->Height();
  const int32_t sW = p.sW, sH = p.sH, dW = Dst->Width(), dH = p.dH;
  const double xs = static_cast<double>(dW) / sW, ys = static_cast<double>(dH) / sH;
  p.Xs = xs, p.Ys = ys;
  if (xs == 1 && ys == 1) {
    if (AssignWhole) Dst->Assign(Src);
    else Dst->AssignFrom(Src, false);
    return;
  }
  p.MaxV = sizeof(T) == 1 ? 255 : 65535;
  int32_t L = 0, R = dW - 1, Tp = 0, B = dH - 1;
  if (Rect && !(Rect->Left == 0 && Rect->Top == 0 && Rect->Right == -1 && Rect->Bottom == -1)) {
    L = std::max(Rect->Left, 0);
    Tp = std::max(Rect->Top, 0);
    R = std::min(Rect->Right, dW - 1);
    B = std::min(Rect->Bottom, dH - 1);
  }
  if (L > R || Tp > B) return;
  const int32_t cols = R - L + 1;
  p.L = L, p.Cols = cols;
  const auto ncols = static_cast<size_t>(cols);
  p.X0.resize(ncols), p.X1.resize(ncols), p.Ca.resize(ncols), p.Cb.resize(ncols), p.Cf.resize(ncols);
  uint64_t maxBoxX = 1;
  for (int32_t c = 0; c < cols; ++c) {
    const int32_t i = L + c;
    const auto sc = static_cast<size_t>(c);
    p.X0[sc] = static_cast<int32_t>(std::min<int64_t>(RsRound(i / xs), sW - 1));
    p.X1[sc] = static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(i + 1, dW - 1) / xs + 1e-10), p.X0[sc], sW - 1));
    p.Ca[sc] = std::min(RsTrunc(i / xs), sW - 1);
    p.Cb[sc] = std::min(p.Ca[sc] + 1, sW - 1);
    p.Cf[sc] = i / xs - p.Ca[sc];
    maxBoxX = std::max<uint64_t>(maxBoxX, static_cast<uint64_t>(p.X1[sc] - p.X0[sc] + 1));
  }
  if (xs <= 1) {
    p.XDiv.resize(ncols);
    for (size_t c = 0; c < ncols; ++c)
      p.XDiv[c] = TFlDiv(static_cast<uint64_t>(p.X1[c] - p.X0[c] + 1), static_cast<uint64_t>(p.MaxV));
  }
  uint64_t maxBoxY = 1;
  if (ys <= 1)
    for (int32_t y = Tp; y <= B; ++y) {
      const int64_t r0 = std::min<int64_t>(RsRound(y / ys), sH - 1);
      const int64_t r1 = std::clamp<int64_t>(RsRound(std::min(y + 1, dH - 1) / ys), r0, sH - 1);
      maxBoxY = std::max<uint64_t>(maxBoxY, static_cast<uint64_t>(r1 - r0 + 1));
    }
  const int32_t bands = FlSharedRows(Src) && FlSharedRows(Dst) ? std::max(1, ChooseThreadCount(sW, sH)) : 1;
  TRsProgress progress(OnProgress, Sender);
  const bool narrow = static_cast<uint64_t>(p.MaxV) * std::max(maxBoxX, maxBoxY) < (uint64_t{1} << 32);
  if (narrow) FlRunBands<T, NC, uint32_t>(p, Tp, B, bands, progress);
  else FlRunBands<T, NC, uint64_t>(p, Tp, B, bands, progress);
}

// Both projections: Dark(x) tells whether source pixel x of a row counts (black for BW, white
// for WB).
template <typename DarkFn>
void Project(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
             TObject* Sender, DarkFn Counts) {
  if (!RsUsable(Src) || !RsUsable(Dst)) return;
  const int32_t dW = Dst->Width(), dH = Dst->Height(), sW = Src->Width(), sH = Src->Height();
  if (Dst->PixelFormat() != px1g && !Dst->Allocate(dW, dH, px1g)) throw EOutOfMemory("Out of memory");
  TRsAccessScope readHint(Src, pxamRead), writeHint(Dst, pxamWrite);
  const double xr = static_cast<double>(sW) / dW, yr = static_cast<double>(sH) / dH;
  std::vector<int32_t> e(static_cast<size_t>(dW));
  for (int32_t i = 0; i < dW; ++i) e[static_cast<size_t>(i)] = std::min(RsTrunc(i * xr), sW - 1);
  std::vector<uint8_t> hit(static_cast<size_t>(sW));
  TRsProgress progress(OnProgress, Sender);
  const double pf = 100 / (dH + 0.5);
  for (int32_t y = 0; y < dH; ++y) {
    uint8_t* d = Dst->Scanline(y);
    if (d) {
      std::memset(d, WhiteOnBlack ? 0 : 255, static_cast<size_t>((dW + 7) / 8));
      const int32_t ya = y == 0 ? 0 : std::min(RsTrunc((y - 1) * yr), sH - 1);
      const int32_t yb = y == 0 ? 0 : std::min(RsTrunc(y * yr), sH - 1);
      std::fill(hit.begin(), hit.end(), 0);
      for (int32_t r = ya; r <= yb; ++r)
        if (const uint8_t* s = Src->Scanline(r))
          for (int32_t x = 0; x < sW; ++x) hit[static_cast<size_t>(x)] |= Counts(s, x);
      for (int32_t i = 0; i < dW; ++i) {
        const int32_t a = i == 0 ? 0 : e[static_cast<size_t>(i) - 1], b = i == 0 ? 0 : e[static_cast<size_t>(i)];
        bool any = false;
        for (int32_t x = a; x <= b && !any; ++x) any = hit[static_cast<size_t>(x)] != 0;
        if (any) SetPixelBit(d, i, WhiteOnBlack ? 1 : 0);
      }
    }
    progress.Report(RsTrunc(y * pf));
  }
}

}  // namespace

void ResampleFastLinear24(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                          const TRect* Rect) {
  FastLinear<uint8_t, 3>(Src, Dst, Sender, OnProgress, Rect, true, px24RGB);
}

void ResampleFastLinearGray8(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                             const TRect* Rect) {
  FastLinear<uint8_t, 1>(Src, Dst, Sender, OnProgress, Rect, false, px8g);
}

void ResampleFastLinearGray16(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress) {
  FastLinear<uint16_t, 1>(Src, Dst, Sender, OnProgress, nullptr, false, px16g);
}

void ProjectToMono(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
                   TObject* Sender) {
  if (!Src || Src->PixelFormat() != px24RGB) return;
  // A channel of exactly 128 is neither black nor white.
  if (WhiteOnBlack)
    Project(Src, Dst, true, OnProgress, Sender, [](const uint8_t* s, int32_t x) -> uint8_t {
      const uint8_t* p = s + x * 3;
      return p[0] > 128 && p[1] > 128 && p[2] > 128;
    });
  else
    Project(Src, Dst, false, OnProgress, Sender, [](const uint8_t* s, int32_t x) -> uint8_t {
      const uint8_t* p = s + x * 3;
      return p[0] < 128 && p[1] < 128 && p[2] < 128;
    });
}

void ProjectMonoToMono(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
                       TObject* Sender) {
  if (!Src || Src->PixelFormat() != px1g) return;
  if (WhiteOnBlack)
    Project(Src, Dst, true, OnProgress, Sender,
            [](const uint8_t* s, int32_t x) -> uint8_t { return GetPixelBit(s, x) != 0; });
  else
    Project(Src, Dst, false, OnProgress, Sender,
            [](const uint8_t* s, int32_t x) -> uint8_t { return GetPixelBit(s, x) == 0; });
}

void ResampleMonoLinear(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != px1g) return;
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const double xs = static_cast<double>(dW) / sW, ys = static_cast<double>(dH) / sH;
  if (xs == 1 && ys == 1) {
    Dst->AssignFrom(Src, false);
    return;
  }
  if (Dst->PixelFormat() != px24RGB && !Dst->Allocate(dW, dH, px24RGB)) throw EOutOfMemory("Out of memory");
  if (xs < 1 && ys < 1) {
    ResampleMonoToGray(Src, 0, 0, sW - 1, sH - 1, Dst);
    return;
  }
  std::vector<int32_t> ca(static_cast<size_t>(dW)), cb(static_cast<size_t>(dW)), fx(static_cast<size_t>(dW));
  for (int32_t i = 0; i < dW; ++i) {
    const double v = i / xs;
    const int32_t a = std::min(RsTrunc(v), sW - 1);
    ca[static_cast<size_t>(i)] = a;
    cb[static_cast<size_t>(i)] = std::min(a + 1, sW - 1);
    fx[static_cast<size_t>(i)] = RsTrunc((v - RsTrunc(v)) * 131072);
  }
  const double t = 100 / (sH + dH + 0.5);
  TRsProgress hp(OnProgress, Sender), vp(OnProgress, Sender);
  // One grey byte per work pixel: the three bytes of a 24-bit work pixel would be equal.
  std::vector<uint8_t> work(static_cast<size_t>(dW) * static_cast<size_t>(sH));
  for (int32_t y = 0; y < sH; ++y) {
    if (const uint8_t* s = Src->Scanline(y)) {
      uint8_t* w = work.data() + static_cast<size_t>(dW) * static_cast<size_t>(y);
      for (int32_t i = 0; i < dW; ++i) {
        const int32_t A = GetPixelBit(s, ca[static_cast<size_t>(i)]) ? 255 : 0;
        const int32_t B = GetPixelBit(s, cb[static_cast<size_t>(i)]) ? 255 : 0;
        w[i] = static_cast<uint8_t>(A + (((B - A) * fx[static_cast<size_t>(i)]) >> 17));
      }
    }
    hp.Report(RsTrunc(y * t));
  }
  for (int32_t y = 0; y < dH; ++y) {
    if (uint8_t* d = Dst->Scanline(y)) {
      const double v = y / ys;
      const int32_t r0 = std::min(RsTrunc(v), sH - 1);
      const int32_t fy = RsTrunc((v - RsTrunc(v)) * 131072);
      const int32_t r1 = r0 + 1 < sH ? r0 + 1 : r0;
      const uint8_t* w0 = work.data() + static_cast<size_t>(dW) * static_cast<size_t>(r0);
      const uint8_t* w1 = work.data() + static_cast<size_t>(dW) * static_cast<size_t>(r1);
      for (int32_t i = 0; i < dW; ++i) {
        const int32_t b = w0[i];
        const auto g = static_cast<uint8_t>(b + (((w1[i] - b) * fy) >> 17));
        d[i * 3] = d[i * 3 + 1] = d[i * 3 + 2] = g;
      }
    }
    vp.Report(RsTrunc((y + sH) * t));
  }
}

void ResampleMonoToGray(TPXBitmap* Src, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TPXBitmap* Dst) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != px1g || X2 < X1 || Y2 < Y1) return;
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  if (Dst->PixelFormat() != px24RGB && !Dst->Allocate(dW, dH, px24RGB)) throw EOutOfMemory("Out of memory");
  const double xr = (static_cast<double>(X2) - X1 + 1) / dW, yr = (static_cast<double>(Y2) - Y1 + 1) / dH;
  const int32_t yt = RsTrunc(yr);
  // Offsets are limited as documented and the absolute positions then kept inside the bitmap,
  // so a rectangle reaching past the source reads only its own pixels.
  auto col = [&](double off) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{X1} + std::clamp(RsTrunc(off), 0, sW - 1), 0, sW - 1));
  };
  auto row = [&](double off) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{Y1} + std::clamp(RsTrunc(off), 0, sH - 1), 0, sH - 1));
  };
  std::vector<int32_t> c0(static_cast<size_t>(dW)), c1(static_cast<size_t>(dW));
  for (int32_t j = 0; j < dW; ++j) {
    c0[static_cast<size_t>(j)] = col(j * xr - xr / 2);
    c1[static_cast<size_t>(j)] = col(xr / 2 + j * xr);
  }
  std::vector<int32_t> ones(static_cast<size_t>(sW));
  for (int32_t q = 0; q < dH; ++q) {
    const int32_t r0 = row(q * yr - yr / 2), r1 = row(yt / 2.0 + q * yr);
    std::fill(ones.begin(), ones.end(), 0);
    int32_t rows = 0;
    for (int32_t r = r0; r <= r1; ++r, ++rows)
      if (const uint8_t* s = Src->Scanline(r))
        for (int32_t x = 0; x < sW; ++x) ones[static_cast<size_t>(x)] += GetPixelBit(s, x) ? 1 : 0;
    uint8_t* d = Dst->Scanline(q);
    if (!d) continue;
    for (int32_t j = 0; j < dW; ++j) {
      const int32_t a = c0[static_cast<size_t>(j)], b = c1[static_cast<size_t>(j)];
      int64_t set = 0;
      for (int32_t x = a; x <= b; ++x) set += ones[static_cast<size_t>(x)];
      const int64_t n = static_cast<int64_t>(std::max(b - a + 1, 0)) * rows;
      const auto g = static_cast<uint8_t>(n > 0 ? 255 * set / n : 0);
      d[j * 3] = d[j * 3 + 1] = d[j * 3 + 2] = g;
    }
  }
}
