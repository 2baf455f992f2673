// The wave operation and its worker.
#include "proc/pixoranproc_wave.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"

namespace {

// The displacement of the ripple for one quarter of the picture. It depends on the distance from
// the centre alone, and a column or row and its mirror (x - cx = -(x' - cx), exactly) have the
// same distance, so the quarter serves all four; the alpha channel and the pixels share it.
class TWaveField {
 public:
  TWaveField(int32_t W, int32_t H, int32_t Amplitude, int32_t WaveLength, int32_t Phase, bool Reflective)
      : FW(W), FH(H), FHalfW((W + 1) / 2), FHalfH((H + 1) / 2), FAmplitude(Amplitude), FReflective(Reflective) {
    constexpr double pi = std::numbers::pi;
    FPhi = Phase * pi / 180.0;
    Cx = (W - 1) / 2.0;
    Cy = (H - 1) / 2.0;
    const double hw = W / 2.0, hh = H / 2.0;
    if (hw < hh) Sx = hh / hw;
    else if (hw > hh) Sy = hw / hh;
    FK = 2 * pi / (2.0 * WaveLength);
    // Kept whole up to 16 M values; larger pictures compute a row at a time.
    const int64_t n = static_cast<int64_t>(FHalfW) * FHalfH;
    if (n <= (int64_t{1} << 24)) {
      FTable.resize(static_cast<size_t>(n));
      for (int32_t y = 0; y < FHalfH; ++y) Compute(y, FTable.data() + static_cast<size_t>(y) * FHalfW);
    } else {
      FRow.resize(static_cast<size_t>(FHalfW));
    }
  }

  // The displacements of columns 0 .. (W + 1) / 2 - 1 of row Y.
  const double* Row(int32_t Y) {
    const int32_t q = Y < FHalfH ? Y : FH - 1 - Y;
    if (!FTable.empty()) return FTable.data() + static_cast<size_t>(q) * FHalfW;
    Compute(q, FRow.data());
    return FRow.data();
  }
  int32_t HalfW() const { return FHalfW; }

  double Cx = 0, Cy = 0, Sx = 1, Sy = 1;

 private:
  void Compute(int32_t Y, double* Out) const {
    const double dy = (Y - Cy) * Sy;
    for (int32_t x = 0; x < FHalfW; ++x) {
      const double dx = (x - Cx) * Sx;
      const double t = std::sqrt(dx * dx + dy * dy) * FK + FPhi;
      Out[x] = FReflective ? FAmplitude * std::fabs(std::sin(t)) : FAmplitude * std::sin(t);
    }
  }

  int32_t FW, FH, FHalfW, FHalfH, FAmplitude;
  bool FReflective;
  double FPhi = 0, FK = 0;
  std::vector<double> FTable;
  std::vector<double> FRow;
};

void WavePixels(TPXBitmap* Bitmap, TWaveField& Field, bool Reflective, TPXProgressRecord& Progress) {
  const int32_t W = Bitmap->Width(), H = Bitmap->Height();
  const int32_t B = Bitmap->BitCount() / 8;
  if (W <= 0 || H <= 0 || B <= 0 || Bitmap->BitCount() % 8 != 0) return;
  const size_t R = static_cast<size_t>(W) * static_cast<size_t>(B);
  std::vector<uint8_t> copy(R * static_cast<size_t>(H));
  for (int32_t y = 0; y < H; ++y) std::memcpy(copy.data() + R * static_cast<size_t>(y), Bitmap->Scanline(y), R);
  Progress.PerCentPerUnit = 100.0 / H;

  const double cx = Field.Cx, cy = Field.Cy, sx = Field.Sx, sy = Field.Sy;
  const int32_t half = Field.HalfW();
  const int32_t maxI = std::max(W - 2, 0), maxJ = std::max(H - 2, 0);
  for (int32_t y = 0; y < H; ++y) {
    const double dy = (y - cy) * sy;
    const double* dRow = Field.Row(y);
    uint8_t* out = Bitmap->Scanline(y);
    for (int32_t x = 0; x < W; ++x) {
      const double dx = (x - cx) * sx;
      const double d = dRow[x < half ? x : W - 1 - x];
      double u, v;
      if (Reflective) {
        u = d * dx / sx + cx;
        v = d * dy / sy + cy;
      } else {
        u = (d + dx) / sx + cx;
        v = (d + dy) / sy + cy;
      }
      const double fu = std::floor(u), fv = std::floor(v);
      const double fx = u - fu, fy = v - fv;
      const int32_t i = static_cast<int32_t>(std::clamp<double>(std::trunc(u), 0, maxI));
      const int32_t j = static_cast<int32_t>(std::clamp<double>(std::trunc(v), 0, maxJ));
      // A picture one pixel wide or high repeats its edge sample.
      const int32_t i1 = std::min(i + 1, W - 1), j1 = std::min(j + 1, H - 1);
      const uint8_t* r0 = copy.data() + R * static_cast<size_t>(j);
      const uint8_t* r1 = copy.data() + R * static_cast<size_t>(j1);
      const size_t o0 = static_cast<size_t>(i) * B, o1 = static_cast<size_t>(i1) * B;
      uint8_t* o = out + static_cast<size_t>(x) * B;
      for (int32_t b = 0; b < B; ++b) {
        const double top = (1 - fx) * r0[o0 + b] + fx * r0[o1 + b];
        const double bottom = (1 - fx) * r1[o0 + b] + fx * r1[o1 + b];
        o[b] = static_cast<uint8_t>((1 - fy) * top + fy * bottom);
      }
    }
    if (Progress.Event) Progress.Event(Progress.Sender, Trunc32(y * Progress.PerCentPerUnit));
  }
}

}  // namespace

void WaveDistortBitmap(TPXBitmap* Bitmap, int32_t Amplitude, int32_t WaveLength, int32_t Phase, bool Reflective,
                       TPXProgressRecord& Progress) {
  if (!Bitmap || Amplitude == 0 || WaveLength == 0 || Bitmap->BitCount() < 8 || Bitmap->Width() <= 0 ||
      Bitmap->Height() <= 0)
    return;
  TWaveField field(Bitmap->Width(), Bitmap->Height(), Amplitude, WaveLength, Phase, Reflective);
  if (TPXBitmap* alpha = Bitmap->PeekAlphaChannel()) {
    if (alpha->Width() == Bitmap->Width() && alpha->Height() == Bitmap->Height()) {
      WavePixels(alpha, field, Reflective, Progress);
    } else if (alpha->Width() > 0 && alpha->Height() > 0) {
      TWaveField own(alpha->Width(), alpha->Height(), Amplitude, WaveLength, Phase, Reflective);
      WavePixels(alpha, own, Reflective, Progress);
    }
    alpha->UpdateFull();
  }
  WavePixels(Bitmap, field, Reflective, Progress);
}

void TPixoranProc::Wave(int32_t Amplitude, int32_t WaveLength, int32_t Phase, bool Reflective) {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work;
  TPXMask* mask;
  if (!BeginOperation(TPXPixelFormatSet{px8g, px24RGB, pxCMYK, px32RGB}, x1, y1, x2, y2, GetLanguageWord(66), work,
                      mask, 102, true))
    return;
  TPXProgressRecord progress = MakeProgressRecord();
  WaveDistortBitmap(work, Amplitude, WaveLength, Phase, Reflective, progress);
  EndOperation(work, mask);
  DoFinishWork();
}
