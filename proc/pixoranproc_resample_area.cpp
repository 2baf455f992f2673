// The area-sampling bilinear and bicubic resampler: source and destination grids are walked
// together, each destination pixel gathers the segments where it overlaps source pixels, each
// segment weighted by its area with a sample interpolated along enlarged axes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_resample_impl.h"

namespace {

constexpr double kEps = 0.0001;

// Cubic convolution kernel with parameter -1.
inline double CubicInner(double u) {
  const double a = std::abs(u);
  return a * a * a - 2 * u * u + 1;
}
inline double CubicOuter(double u) {
  const double a = std::abs(u);
  return -a * a * a + 5 * u * u - 8 * a + 4;
}
inline double Cubic(double p0, double p1, double p2, double p3, double t, double MaxV) {
  const double v = p0 * CubicOuter(t + 1) + p1 * CubicInner(t) + p2 * CubicInner(t - 1) + p3 * CubicOuter(t - 2);
  return v < 0 ? 0 : (v > MaxV ? MaxV : v);
}

// Four source rows around the current one, kept by row index modulo 4 and loaded on demand.
template <typename T>
class TRowCache {
 public:
  TRowCache(TPXBitmap* Src, TPXBitmap* Alpha, int32_t Channels)
      : src_(Src), alpha_(Alpha), n_(static_cast<size_t>(Src->Width()) * static_cast<size_t>(Channels)) {
    for (int i = 0; i < 4; ++i) {
      rows_[i].assign(n_, 0);
      alphas_[i].assign(static_cast<size_t>(Src->Width()), 255);
    }
  }
  int32_t Slot(int32_t Row) {
    const int32_t s = Row & 3;
    if (index_[s] != Row) {
      index_[s] = Row;
      if (const T* p = reinterpret_cast<const T*>(src_->Scanline(Row)))
        for (size_t i = 0; i < n_; ++i) rows_[s][i] = p[i];
      if (alpha_)
        if (const uint8_t* a = alpha_->Scanline(Row))
          std::copy(a, a + src_->Width(), alphas_[s].begin());
    }
    return s;
  }
  const double* Row(int32_t S) const { return rows_[S].data(); }
  const uint8_t* Alpha(int32_t S) const { return alphas_[S].data(); }

 private:
  TPXBitmap* src_;
  TPXBitmap* alpha_;
  size_t n_;
  std::vector<double> rows_[4];
  std::vector<uint8_t> alphas_[4];
  int32_t index_[4] = {-1, -1, -1, -1};
};

// The axes' modes and the interpolation are template arguments, so that the per-sample choice
// of the formula is made once per call.
template <typename T, bool xEnl, bool yEnl, bool Bicubic>
void AreaResample(TPXBitmap* Src, TPXBitmap* Dst, TPXBitmap* SrcAlpha, int32_t NC,
                  const TPXProgressEvent& OnProgress, TObject* Sender) {
  const int32_t sW = Src->Width(), sH = Src->Height(), dW = Dst->Width(), dH = Dst->Height();
  const double maxV = sizeof(T) == 1 ? 255 : 65535;
  const double xr = static_cast<double>(sW) / dW, yr = static_cast<double>(sH) / dH;
  // The alpha rule applies to enlarged 24-bit pictures only.
  const bool useAlpha = SrcAlpha && !Bicubic && xEnl && yEnl && NC == 3 && sizeof(T) == 1 &&
                        SrcAlpha->PixelFormat() == px8g && SrcAlpha->Width() == sW && SrcAlpha->Height() == sH;
  // Segment lengths of the horizontal axis.
  const size_t segCount = static_cast<size_t>(dW) + static_cast<size_t>(sW);
  std::vector<double> L(segCount);
  {
    double D = 0, E = 0, F = 0;
    for (size_t k = 0; k < segCount; ++k) {
      if (D + 1 + kEps >= E + xr) {
        E += xr;
        L[k] = E - F;
      } else {
        D += 1;
        L[k] = D - F;
      }
      F += L[k];
    }
  }
  TRowCache<T> rows(Src, useAlpha ? SrcAlpha : nullptr, NC);
  std::vector<double> acc(static_cast<size_t>(dW) * static_cast<size_t>(NC), 0.0);
  const double inv = 1 / (xr * yr);
  TRsProgress progress(OnProgress, Sender);
  int32_t J = 0, n = 0;
  double yE = 0, yF = 0;
  while (n < dH) {
    double fy = 1, h;
    // The last source row ends every remaining destination row (guards rounding drift).
    const bool rowEnds = J + 1 + kEps >= yE + yr || J >= sH - 1;
    if (rowEnds) {
      yE += yr;
      fy = yE - J;
      h = yE - yF;
    } else {
      h = J + 1 - yF;
    }
    yF += h;
    const int32_t prevI = J == 0 ? J : J - 1;
    const int32_t nextI = J >= sH - 1 ? J : J + 1;
    const int32_t next2I = J + 1 >= sH - 1 ? nextI : J + 2;
    const int32_t sp = rows.Slot(prevI), sc = rows.Slot(J), sn = rows.Slot(nextI), sn2 = rows.Slot(next2I);
    const double *prev = rows.Row(sp), *cur = rows.Row(sc), *next = rows.Row(sn), *next2 = rows.Row(sn2);
    const uint8_t *aCur = rows.Alpha(sc), *aNext = rows.Alpha(sn);
    int32_t D = 0, x = 0;
    double E = 0;
    size_t k = 0;
    while (x < dW) {
      double fx = 1;
      const bool colEnds = D + 1 + kEps >= E + xr || D >= sW - 1;
      if (colEnds) {
        E += xr;
        fx = E - D;
      }
      const double area = (k < segCount ? L[k] : 0) * h;
      ++k;
      const int32_t left = D == 0 ? D : D - 1;
      const int32_t right = D >= sW - 1 ? D : D + 1;
      const int32_t right2 = D + 1 >= sW - 1 ? right : D + 2;
      double* a = acc.data() + static_cast<size_t>(x) * NC;
      if (useAlpha) {
        const uint8_t al[4] = {aCur[D], aCur[right], aNext[D], aNext[right]};
        if (!(al[0] == al[1] && al[1] == al[2] && al[2] == al[3])) {
          const uint8_t lo = std::min({al[0], al[1], al[2], al[3]});
          const double* src[4] = {cur + D * 3, cur + right * 3, next + D * 3, next + right * 3};
          const double* pick = src[0];
          for (int i = 0; i < 4; ++i)
            if (al[i] > lo) pick = src[i];
          for (int c = 0; c < 3; ++c) a[c] += pick[c] * area;
          if (colEnds) ++x;
          else ++D;
          continue;
        }
      }
      for (int32_t c = 0; c < NC; ++c) {
        const int32_t iD = D * NC + c, iL = left * NC + c, iR = right * NC + c, iR2 = right2 * NC + c;
        double s;
        if constexpr (!xEnl && !yEnl) {
          s = cur[iD];
        } else if constexpr (xEnl && !yEnl) {
          s = Bicubic ? Cubic(cur[iL], cur[iD], cur[iR], cur[iR2], fx, maxV) : (1 - fx) * cur[iD] + fx * cur[iR];
        } else if constexpr (!xEnl && yEnl) {
          s = Bicubic ? Cubic(prev[iD], cur[iD], next[iD], next2[iD], fy, maxV) : (1 - fy) * cur[iD] + fy * next[iD];
        } else if constexpr (Bicubic) {
          auto h4 = [&](const double* r) {
            return static_cast<double>(RsRound(Cubic(r[iL], r[iD], r[iR], r[iR2], fx, maxV)));
          };
          const double v3 = h4(next2), v2 = h4(next), v1 = h4(cur), v0 = h4(prev);
          s = Cubic(v0, v1, v2, v3, fy, maxV);
        } else {
          s = (1 - fy) * ((1 - fx) * cur[iD] + fx * cur[iR]) + fy * ((1 - fx) * next[iD] + fx * next[iR]);
        }
        a[c] += s * area;
      }
      if (colEnds) ++x;
      else ++D;
    }
    if (rowEnds) {
      if (T* d = reinterpret_cast<T*>(Dst->Scanline(n)))
        for (size_t i = 0; i < acc.size(); ++i) {
          const int64_t v = RsRound(acc[i] * inv);
          d[i] = static_cast<T>(v < 0 ? 0 : (v > maxV ? static_cast<int64_t>(maxV) : v));
        }
      std::fill(acc.begin(), acc.end(), 0.0);
      ++n;
      progress.Report(RsTrunc(static_cast<double>(n) / dH * 100));
    } else {
      ++J;
    }
  }
}

template <typename T>
void AreaDispatch(TPXBitmap* Src, TPXBitmap* Dst, TPXBitmap* SrcAlpha, bool Bicubic, int32_t NC,
                  const TPXProgressEvent& OnProgress, TObject* Sender) {
  const bool xEnl = Src->Width() < Dst->Width(), yEnl = Src->Height() < Dst->Height();
  using Fn = void (*)(TPXBitmap*, TPXBitmap*, TPXBitmap*, int32_t, const TPXProgressEvent&, TObject*);
  static constexpr Fn table[2][2][2] = {
      {{AreaResample<T, false, false, false>, AreaResample<T, false, false, true>},
       {AreaResample<T, false, true, false>, AreaResample<T, false, true, true>}},
      {{AreaResample<T, true, false, false>, AreaResample<T, true, false, true>},
       {AreaResample<T, true, true, false>, AreaResample<T, true, true, true>}}};
  table[xEnl][yEnl][Bicubic](Src, Dst, SrcAlpha, NC, OnProgress, Sender);
}

}  // namespace

void ResampleBilinearBicubic(TPXBitmap* Src, TPXBitmap* Dst, TPXBitmap* SrcAlpha, bool Bicubic,
                             const TPXProgressEvent& OnProgress, TObject* Sender) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Dst->PixelFormat()) return;
  const TPXPixelFormat f = Src->PixelFormat();
  if (f != px8g && f != px24RGB) return;
  AreaDispatch<uint8_t>(Src, Dst, SrcAlpha, Bicubic, f == px8g ? 1 : 3, OnProgress, Sender);
}

void ResampleBilinearBicubic16(TPXBitmap* Src, TPXBitmap* Dst, bool Bicubic, const TPXProgressEvent& OnProgress,
                               TObject* Sender) {
  if (!RsUsable(Src) || !RsUsable(Dst) || Src->PixelFormat() != Dst->PixelFormat()) return;
  const TPXPixelFormat f = Src->PixelFormat();
  if (f != px16g && f != pxRGB48) return;
  AreaDispatch<uint16_t>(Src, Dst, nullptr, Bicubic, f == px16g ? 1 : 3, OnProgress, Sender);
}
