// The cheap resamplers: fast linear for 24-bit, 8-bit and 16-bit pictures, the stroke-keeping
// projections to 1 bit, and the 1-bit linear and coverage paths.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"
#include "platform/rtl/SysUtils.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_resample_impl.h"

namespace {

// Fast linear with NC channels of type T. The work array holds the horizontal pass's results,
// which are already in the sample range, so it keeps them in T.
template <typename T, int NC>
void FastLinear(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                const TRect* Rect, bool AssignWhole, TPXPixelFormat Format) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Format) return;
  // Rows are addressed as Format on both sides.
  if (Dst->PixelFormat() != Format && !Dst->Allocate(Dst->Width(), Dst->Height(), Format))
    throw EOutOfMemory("Out of memory");
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const double xs = static_cast<double>(dW) / sW, ys = static_cast<double>(dH) / sH;
  if (xs == 1 && ys == 1) {
    if (AssignWhole) Dst->Assign(Src);
    else Dst->AssignFrom(Src, false);
    return;
  }
  const int64_t maxV = sizeof(T) == 1 ? 255 : 65535;
  int32_t L = 0, R = dW - 1, Tp = 0, B = dH - 1;
  if (Rect && !(Rect->Left == 0 && Rect->Top == 0 && Rect->Right == -1 && Rect->Bottom == -1)) {
    L = std::max(Rect->Left, 0);
    Tp = std::max(Rect->Top, 0);
    R = std::min(Rect->Right, dW - 1);
    B = std::min(Rect->Bottom, dH - 1);
  }
  if (L > R || Tp > B) return;
  const int32_t cols = R - L + 1;
  // Column tables of the destination columns in range.
  std::vector<int32_t> x0(static_cast<size_t>(cols)), x1(static_cast<size_t>(cols)), ca(static_cast<size_t>(cols));
  std::vector<double> cf(static_cast<size_t>(cols));
  for (int32_t c = 0; c < cols; ++c) {
    const int32_t i = L + c;
    const auto sc = static_cast<size_t>(c);
    x0[sc] = static_cast<int32_t>(std::min<int64_t>(RsRound(i / xs), sW - 1));
    x1[sc] = static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(i + 1, dW - 1) / xs + 1e-10), x0[sc], sW - 1));
    ca[sc] = std::min(RsTrunc(i / xs), sW - 1);
    cf[sc] = i / xs - ca[sc];
  }
  const double t = 100 / (sH + dH + 0.5);
  TRsProgress hp(OnProgress, Sender), vp(OnProgress, Sender);
  const size_t workRow = static_cast<size_t>(cols) * NC;
  std::vector<T> work(workRow * static_cast<size_t>(sH));
  for (int32_t y = 0; y < sH; ++y) {
    const T* s = reinterpret_cast<const T*>(Src->Scanline(y));
    T* w = work.data() + workRow * static_cast<size_t>(y);
    if (s) {
      if (xs > 1) {
        for (int32_t c = 0; c < cols; ++c) {
          const int32_t a = ca[static_cast<size_t>(c)], b = std::min(a + 1, sW - 1);
          const double f = cf[static_cast<size_t>(c)];
          for (int k = 0; k < NC; ++k) {
            const double pa = s[a * NC + k], pb = s[b * NC + k];
            w[c * NC + k] = static_cast<T>(RsRound((pb - pa) * f + pa));
          }
        }
      } else {
        for (int32_t c = 0; c < cols; ++c) {
          const int32_t a = x0[static_cast<size_t>(c)], b = x1[static_cast<size_t>(c)];
          int64_t sum[NC] = {};
          for (int32_t x = a; x <= b; ++x)
            for (int k = 0; k < NC; ++k) sum[k] += s[x * NC + k];
          for (int k = 0; k < NC; ++k) w[c * NC + k] = static_cast<T>(sum[k] / (b - a + 1));
        }
      }
    }
    hp.Report(RsTrunc(y * t));
  }
  std::vector<int64_t> sum(workRow);
  for (int32_t y = Tp; y <= B; ++y) {
    T* d = reinterpret_cast<T*>(Dst->Scanline(y));
    if (d) {
      d += static_cast<int64_t>(L) * NC;
      if (ys > 1) {
        const double v = y / ys;
        const int32_t r0 = std::min(RsTrunc(v), sH - 1);
        const double g = v - r0;
        const int32_t r1 = r0 + 1 < sH ? r0 + 1 : r0;
        const T* w0 = work.data() + workRow * static_cast<size_t>(r0);
        const T* w1 = work.data() + workRow * static_cast<size_t>(r1);
        for (size_t k = 0; k < workRow; ++k) {
          const double a = w0[k], b = w1[k];
          const int64_t val = RsRound((b - a) * g + a);
          d[k] = static_cast<T>(val < 0 ? 0 : (val > maxV ? maxV : val));
        }
      } else {
        const auto r0 = static_cast<int32_t>(std::min<int64_t>(RsRound(y / ys), sH - 1));
        const auto r1 = static_cast<int32_t>(std::clamp<int64_t>(RsRound(std::min(y + 1, dH - 1) / ys), r0, sH - 1));
        std::fill(sum.begin(), sum.end(), 0);
        for (int32_t r = r0; r <= r1; ++r) {
          const T* w = work.data() + workRow * static_cast<size_t>(r);
          for (size_t k = 0; k < workRow; ++k) sum[k] += w[k];
        }
        const int64_t n = r1 - r0 + 1;
        for (size_t k = 0; k < workRow; ++k) {
          const int64_t val = sum[k] / n;
          d[k] = static_cast<T>(val > maxV ? maxV : val);
        }
      }
    }
    vp.Report(RsTrunc((y + sH) * t));
  }
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
