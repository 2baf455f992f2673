// The perspective crop: a quadrilateral of the picture straightened into a rectangle.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/hypxutils.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_progress.h"

namespace {

// The projective map of the unit square onto the quadrilateral P0 P1 P2 P3 (P0 at (0, 0), P1 at
// (1, 0), P2 at (1, 1), P3 at (0, 1)) and the size of the straightened picture.
struct TPerspectiveMap {
  double A = 0, B = 0, D = 0, E = 0, G = 0, HH = 0, X0 = 0, Y0 = 0;
  int32_t Width = 0, Height = 0;

  void Map(double U, double V, double& SX, double& SY) const {
    const double q = G * U + HH * V + 1;
    SX = (A * U + B * V + X0) / q;
    SY = (D * U + E * V + Y0) / q;
  }
};

// The longest side of the result; beyond it the estimated ratio is taken as meaningless.
constexpr double kMaxSide = 1 << 20;

bool Positive(double V) { return std::isfinite(V) && V > 0; }

// False for a degenerate quadrilateral (three corners on a line, a side of no length, an
// estimated ratio that is not a positive number, a result outside 1 .. kMaxSide).
bool BuildPerspectiveMap(const TDPoint* P, int32_t PictureWidth, int32_t PictureHeight, TPerspectiveMap& M) {
  const double x0 = P[0].X, y0 = P[0].Y, x1 = P[1].X, y1 = P[1].Y;
  const double x2 = P[2].X, y2 = P[2].Y, x3 = P[3].X, y3 = P[3].Y;
  const double dx1 = x1 - x2, dx2 = x3 - x2, sx = x0 - x1 + x2 - x3;
  const double dy1 = y1 - y2, dy2 = y3 - y2, sy = y0 - y1 + y2 - y3;
  const double den = dx1 * dy2 - dx2 * dy1;
  if (!std::isfinite(den) || den == 0) return false;
  if (sx != 0 || sy != 0) {
    M.G = (sx * dy2 - sy * dx2) / den;
    M.HH = (sy * dx1 - sx * dy1) / den;
    M.A = x1 - x0 + M.G * x1;
    M.B = x3 - x0 + M.HH * x3;
    M.D = y1 - y0 + M.G * y1;
    M.E = y3 - y0 + M.HH * y3;
  } else {
    M.A = x1 - x0;
    M.B = x2 - x1;
    M.D = y1 - y0;
    M.E = y2 - y1;
  }
  M.X0 = x0;
  M.Y0 = y0;

  const double top = std::hypot(x1 - x0, y1 - y0), bottom = std::hypot(x2 - x3, y2 - y3);
  const double right = std::hypot(x1 - x2, y1 - y2), left = std::hypot(x0 - x3, y0 - y3);
  const double mw = std::max(top, bottom), mh = std::max(left, right);
  if (!Positive(mw) || !Positive(mh)) return false;
  // The corners in outline order: top-left, top-right, bottom-right, bottom-left.
  const double r = PerspectiveAspectRatio(PictureWidth / 2.0, PictureHeight / 2.0, P[0], P[1], P[2], P[3]);
  if (!Positive(r)) return false;
  double w, h;
  if (mw / mh >= r) {
    w = std::trunc(mw);
    h = std::trunc(mw / r);
  } else {
    w = std::trunc(r * mh);
    h = std::trunc(mh);
  }
  if (!(w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide)) return false;
  M.Width = static_cast<int32_t>(w);
  M.Height = static_cast<int32_t>(h);
  return true;
}

// Fills Dest (allocated, same format as Source, Bytes bytes a pixel) with the mapped samples;
// SignedFrom: the first byte of a pixel that holds a signed value (CIELab's a and b), else
// Bytes. A point outside Source gives 0 bytes.
void SamplePerspective(TPXBitmap* Source, TPXBitmap* Dest, int32_t Bytes, int32_t SignedFrom, const TPerspectiveMap& M,
                       const TPXProgressEvent& OnProgress, TObject* Sender) {
  const int32_t sw = Source->Width(), shh = Source->Height();
  const int32_t dw = Dest->Width(), dh = Dest->Height();
  for (int32_t y = 0; y < dh; ++y) {
    uint8_t* out = Dest->Scanline(y);
    const double v = static_cast<double>(y) / dh;
    for (int32_t x = 0; x < dw; ++x) {
      uint8_t* o = out + static_cast<size_t>(x) * Bytes;
      double px, py;
      M.Map(static_cast<double>(x) / dw, v, px, py);
      if (!std::isfinite(px) || !std::isfinite(py)) {
        std::memset(o, 0, static_cast<size_t>(Bytes));
        continue;
      }
      const double tx = std::trunc(px), ty = std::trunc(py);
      if (tx < 0 || ty < 0 || tx >= sw || ty >= shh) {
        std::memset(o, 0, static_cast<size_t>(Bytes));
        continue;
      }
      const int32_t ix = static_cast<int32_t>(tx), iy = static_cast<int32_t>(ty);
      // Within the first pixel a point just left of or above it (trunc rounds toward zero) takes
      // that pixel as it is.
      const double fx = std::max(px - tx, 0.0), fy = std::max(py - ty, 0.0);
      const uint8_t* r0 = Source->Scanline(iy);
      const uint8_t* r1 = iy + 1 < shh ? Source->Scanline(iy + 1) : nullptr;
      const bool right = ix + 1 < sw;
      const size_t o0 = static_cast<size_t>(ix) * Bytes, o1 = o0 + static_cast<size_t>(Bytes);
      for (int32_t b = 0; b < Bytes; ++b) {
        // Samples past the right or bottom edge count as 0.
        auto at = [&](const uint8_t* row, size_t off) -> double {
          if (!row) return 0;
          return b >= SignedFrom ? static_cast<double>(static_cast<int8_t>(row[off + b])) : row[off + b];
        };
        const double p00 = at(r0, o0), p10 = right ? at(r0, o1) : 0;
        const double p01 = at(r1, o0), p11 = right ? at(r1, o1) : 0;
        const double mix = (1 - fy) * ((1 - fx) * p00 + fx * p10) + fy * ((1 - fx) * p01 + fx * p11);
        const int32_t t = static_cast<int32_t>(std::trunc(mix));
        o[b] = b >= SignedFrom ? static_cast<uint8_t>(static_cast<int8_t>(std::clamp(t, -128, 127)))
                               : static_cast<uint8_t>(std::clamp(t, 0, 255));
      }
    }
    ProcReportRow(OnProgress, Sender, y + 1, dh);
  }
}

}  // namespace

void TPixoranProc::CropPerspective(std::span<const TDPoint> Points) {
  // No picture raises before anything is stored; the re-read of a wrapped platform bitmap gives
  // the size the corners refer to.
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  if (Points.size() < 4 || FTargetBitmap->IsEmpty()) return;
  TPerspectiveMap map;
  if (!BuildPerspectiveMap(Points.data(), FTargetBitmap->Width(), FTargetBitmap->Height(), map)) return;

  if (FAutoUndo) StoreUndoState(GetLanguageWord(236), pxuImage, true, 38);
  if (!PrepareBitmap(TPXPixelFormatSet{px8g, px24RGB, pxCMYK, pxCIELab, px32RGB}, true)) return;
  TPXBitmap* source = FTargetBitmap;
  const TPXPixelFormat format = source->PixelFormat();
  const int32_t bytes = PixelFormatBits(format) / 8;
  TPXBitmap result;
  // The picture keeps its own attributes (profile, channel offsets) through the replacement.
  result.CopyAttributesFrom(source, false);
  if (!result.Allocate(map.Width, map.Height, format)) return;
  TPXProgressEvent none;
  SamplePerspective(source, &result, bytes, format == pxCIELab ? 1 : bytes, map, FOnProgress, this);
  if (TPXBitmap* alpha = source->PeekAlphaChannel()) {
    TPXBitmap* out = result.GetAlphaChannel();
    if (out) SamplePerspective(alpha, out, 1, 1, map, none, this);
  }
  source->Assign(&result);
  if (TPXBitmap* alpha = source->PeekAlphaChannel()) alpha->UpdateFull();
  ImageChanged();
  DoFinishWork();
}
