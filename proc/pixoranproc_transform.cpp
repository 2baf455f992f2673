// The component's resampling and rotation: Resample, ResampleTo, Rotate, RotateAndCrop and
// CropRotated.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "core/hypxutils.h"
#include "core/pxwords.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc.h"
#include "proc/pixoranproc_resample.h"
#include "proc/pixoranproc_undopause.h"

namespace {

// Degrees into -180 .. 180.
double NormaliseAngle(double Angle) {
  double a = std::fmod(Angle, 360.0);
  if (a > 180) a -= 360;
  if (a < -180) a += 360;
  return a;
}

// " -30°" for a turn by 30: the angle as the user sees it (clockwise positive), whole degrees.
std::string DegreeSuffix(double Angle) { return " " + std::to_string(Trunc32(NormaliseAngle(-Angle))) + "\u00B0"; }

// The largest axis-aligned rectangle inside a W x H picture turned by Theta degrees: limited by
// two opposite corners when the short side is small against the long one, else by all four.
void LargestInnerRect(int32_t W, int32_t H, double Theta, double& NewW, double& NewH) {
  const double rad = Theta * std::numbers::pi / 180;
  const double sa = std::fabs(std::sin(rad)), ca = std::fabs(std::cos(rad));
  const bool widthLonger = W >= H;
  const double longSide = widthLonger ? W : H, shortSide = widthLonger ? H : W;
  if (shortSide <= 2 * sa * ca * longSide || std::fabs(sa - ca) < 1e-10) {
    const double x = 0.5 * shortSide;
    NewW = widthLonger ? x / sa : x / ca;
    NewH = widthLonger ? x / ca : x / sa;
  } else {
    const double cos2a = ca * ca - sa * sa;
    NewW = (W * ca - H * sa) / cos2a;
    NewH = (H * ca - W * sa) / cos2a;
  }
}

// The rectangle of the picture's own aspect ratio inside the turned picture.
void AspectInnerRect(int32_t W, int32_t H, double Theta, double& NewW, double& NewH) {
  double h = Theta * std::numbers::pi / 180;
  if (h > std::numbers::pi / 2) h -= std::numbers::pi;
  else if (h < -std::numbers::pi / 2) h += std::numbers::pi;
  double d = 1;
  for (const double s : {1.0, -1.0}) {
    const double g = std::atan2(s * H, W);
    const double g2 = g + h;
    const double diagonal = s * H / std::sin(g);
    d = std::max({d, diagonal * std::cos(g2) / W, diagonal * std::sin(g2) / (s * H)});
  }
  NewW = W / d;
  NewH = H / d;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Resampling

void TPixoranProc::Resample(int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter, bool Fit) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = FTargetBitmap;
  if (bmp->IsEmpty()) return;
  if (NewWidth == bmp->Width() && NewHeight == bmp->Height()) return;
  // Both sides negative name no size: refused before anything is stored.
  if (NewWidth < 0 && NewHeight < 0) return;
  if (FAutoUndo) StoreUndoState(GetLanguageWord(241), pxuImage, true, 82);
  auto resampled = std::make_unique<TPXBitmap>();
  ResampleTo(resampled.get(), NewWidth, NewHeight, Filter, Fit);
  if (!resampled->IsEmpty()) bmp->AssignFrom(resampled.get(), false);
  resampled.reset();
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::ResampleTo(TPXBitmap* Dest, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter,
                              bool Fit) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = FTargetBitmap;
  if (!Dest || bmp->Width() == 0 || bmp->Height() == 0 || bmp->IsEmpty()) return;
  int32_t w = NewWidth, h = NewHeight;
  CalcResampleSize(w, h, bmp->Width(), bmp->Height(), Fit);
  if (w <= 0 || h <= 0) return;
  if (Dest == bmp) {
    // The picture is its own destination: resample into a copy first.
    auto temp = std::make_unique<TPXBitmap>();
    if (!temp->Allocate(w, h, bmp->PixelFormat())) return;
    ResampleWithAlpha(bmp, temp.get(), Filter, FOnProgress, this);
    bmp->AssignFrom(temp.get(), false);
  } else {
    if (!Dest->Allocate(w, h, bmp->PixelFormat())) return;
    ResampleWithAlpha(bmp, Dest, Filter, FOnProgress, this);
  }
  DoFinishWork();
}

// ---------------------------------------------------------------------------------------------
// Rotation

void TPixoranProc::Rotate(double Angle, int32_t AntialiasMode, TColor Background) {
  if (Angle == 0) return;
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = FTargetBitmap;
  if (bmp->IsEmpty() || !std::isfinite(Angle)) return;
  if (FAutoUndo) StoreUndoState(GetLanguageWord(78) + DegreeSuffix(Angle), pxuImage, true, 84);
  if (Background == -1) Background = this->Background();
  bmp->RotateEx(Angle, AntialiasMode, Background, FOnProgress, this);
  ImageChanged();
  DoFinishWork();
}

void TPixoranProc::RotateAndCrop(TPXAntialiasMode AntialiasMode, TPXRotateCropMethod Method, TPXRotationAngle Angle,
                                 TPXAspectRatio AspectRatio) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = FTargetBitmap;
  if (bmp->IsEmpty() || !std::isfinite(Angle.Degrees)) return;
  if (FAutoUndo) StoreUndoState(GetLanguageWord(283) + DegreeSuffix(Angle.Degrees), pxuImage, true, 85);
  const int32_t w = bmp->Width(), h = bmp->Height();
  const double theta = NormaliseAngle(Angle.Degrees);
  TPXUndoPause pause(this);
  Rotate(Angle.Degrees, static_cast<int32_t>(AntialiasMode), -1);

  double nw, nh;
  if (Method == pxrcKeepAspect) {
    AspectInnerRect(w, h, theta, nw, nh);
  } else if (theta == 0 || std::fabs(theta) == 180) {
    nw = w;
    nh = h;
  } else if (std::fabs(theta) == 45 || std::fabs(theta) == 135) {
    double a = AspectRatio.Value;
    if (!(a > 0) || !std::isfinite(a)) a = 1;
    nw = w * a * std::numbers::sqrt2 / (a + 1);
    nh = w * std::numbers::sqrt2 / (a + 1);
  } else {
    LargestInnerRect(w, h, theta, nw, nh);
  }
  // Never more than the turned picture, never nothing.
  const int32_t cw = std::clamp(Trunc32(nw), 1, bmp->Width());
  const int32_t ch = std::clamp(Trunc32(nh), 1, bmp->Height());
  ResizeCanvas(cw, ch, 1, 1, 255);
}

void TPixoranProc::CropRotated(const TRect& Rect, TPXAntialiasMode AntialiasMode, TPXRotationAngle Angle) {
  if (!PrepareBitmap(TPXPixelFormatSet{}, true)) return;
  TPXBitmap* bmp = FTargetBitmap;
  if (bmp->IsEmpty() || !std::isfinite(Angle.Degrees)) return;
  if (Rect.Right < Rect.Left || Rect.Bottom < Rect.Top) return;
  if (Rect.Right < 0 || Rect.Bottom < 0 || Rect.Left >= bmp->Width() || Rect.Top >= bmp->Height()) return;
  const int64_t rw64 = int64_t{Rect.Right} - Rect.Left + 1, rh64 = int64_t{Rect.Bottom} - Rect.Top + 1;
  if (rw64 > INT32_MAX || rh64 > INT32_MAX) return;
  const auto rw = static_cast<int32_t>(rw64), rh = static_cast<int32_t>(rh64);

  // The box of the rectangle turned about its centre.
  TDPoint corners[4] = {DPoint(Rect.Left, Rect.Top), DPoint(Rect.Right, Rect.Top), DPoint(Rect.Right, Rect.Bottom),
                        DPoint(Rect.Left, Rect.Bottom)};
  RotatePointsF(corners, 4, (Rect.Left + static_cast<double>(Rect.Right)) / 2,
                (Rect.Top + static_cast<double>(Rect.Bottom)) / 2, Angle.Degrees);
  double x1 = corners[0].X, x2 = x1, y1 = corners[0].Y, y2 = y1;
  for (const TDPoint& p : corners) {
    x1 = std::min(x1, p.X), x2 = std::max(x2, p.X);
    y1 = std::min(y1, p.Y), y2 = std::max(y2, p.Y);
  }
  const int32_t minX = Trunc32(x1), maxX = Trunc32(x2), minY = Trunc32(y1), maxY = Trunc32(y2);
  const int64_t bw = int64_t{maxX} - minX + 1, bh = int64_t{maxY} - minY + 1;
  if (bw <= 0 || bh <= 0 || bw > INT32_MAX || bh > INT32_MAX) return;

  if (FAutoUndo) StoreUndoState(GetLanguageWord(236), pxuImage, true, 38);
  const TPXPixelFormat fmt = bmp->PixelFormat();
  // The box with the picture's part in it; the rest transparent.
  auto box = std::make_unique<TPXBitmap>();
  if (!box->Allocate(static_cast<int32_t>(bw), static_cast<int32_t>(bh), fmt)) return;
  if (fmt == px8p) bmp->CopyPaletteTo(box.get());
  box->Fill(0xFFFFFF);
  box->GetAlphaChannel()->Fill(0);
  box->GetAlphaChannel()->FFull = 0;
  bmp->GetAlphaChannel();
  bmp->CopyRectTo(box.get(), minX, minY, 0, 0, box->Width(), box->Height(), true);
  box->SetOnProgress(FOnProgress);
  box->Rotate(-Angle.Degrees, static_cast<int32_t>(AntialiasMode), 0xFFFFFF);

  // The rectangle's size, centred in the turned box.
  const int32_t left = (box->Width() - 1 - (rw - 1)) / 2, top = (box->Height() - 1 - (rh - 1)) / 2;
  auto result = std::make_unique<TPXBitmap>();
  if (!result->Allocate(rw, rh, box->PixelFormat())) return;
  if (box->PixelFormat() == px8p) box->CopyPaletteTo(result.get());
  result->Fill(0xFFFFFF);
  result->GetAlphaChannel()->Fill(0);
  result->GetAlphaChannel()->FFull = 0;
  box->CopyRectTo(result.get(), left, top, 0, 0, rw, rh, true);
  box.reset();
  result->GetAlphaChannel()->UpdateFull();
  if (result->GetAlphaChannel()->FFull) result->RemoveAlphaChannel(false, 0);
  bmp->AssignFrom(result.get(), false);
  ImageChanged();
  DoFinishWork();
}
