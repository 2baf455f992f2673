// TPXBitmap geometry that keeps the content: canvas resize with placement, borders, crops,
// moving a rectangle and the mirror. The alpha channel follows every size change.
#include <algorithm>
#include <limits>

#include "core/pxxBitmaps.h"
#include "proc/pixoranproc_geometry.h"

namespace {
constexpr double kNoFill = 0x1FFFFFFF;  // clNone: no fill

// Shrinking: brings the part that stays to the top-left corner.
void PrepareShrink(TPXBitmap* B, int32_t W0, int32_t H0, int32_t NewWidth, int32_t NewHeight, double Fill,
                   int32_t HorizPos, int32_t VertPos) {
  if (NewWidth < W0) {
    if (HorizPos == 1) {
      const int32_t d = (W0 - NewWidth) / 2;
      B->MoveRect(d, 0, d + NewWidth - 1, H0 - 1, 0, 0, Fill, true);
    } else if (HorizPos == 2) {
      B->MoveRect(W0 - NewWidth, 0, W0 - 1, H0 - 1, 0, 0, Fill, true);
    }
  }
  if (NewHeight < H0) {
    if (VertPos == 1) {
      const int32_t d = (H0 - NewHeight) / 2;
      B->MoveRect(0, d, W0 - 1, d + NewHeight - 1, 0, 0, Fill, true);
    } else if (VertPos == 2) {
      B->MoveRect(0, H0 - NewHeight, W0 - 1, H0 - 1, 0, 0, Fill, true);
    }
  }
}

// Growing: fills the new columns and rows and moves the old content into place.
void PlaceAfterGrow(TPXBitmap* B, int32_t W0, int32_t H0, int32_t NewWidth, int32_t NewHeight, double Fill,
                    int32_t HorizPos, int32_t VertPos) {
  if (W0 < NewWidth) {
    B->FillRect(W0, 0, NewWidth - 1, NewHeight - 1, Fill);
    const int32_t rows = std::min(H0, NewHeight);
    const int32_t shift = HorizPos == 1 ? (NewWidth - W0) / 2 : HorizPos == 2 ? NewWidth - W0 : 0;
    if (shift > 0) B->MoveRect(0, 0, W0 - 1, rows - 1, shift, 0, Fill, true);
  }
  if (H0 < NewHeight) {
    B->FillRect(0, H0, NewWidth - 1, NewHeight - 1, Fill);
    const int32_t shift = VertPos == 1 ? (NewHeight - H0) / 2 : VertPos == 2 ? NewHeight - H0 : 0;
    if (shift > 0) B->MoveRect(0, 0, NewWidth - 1, H0 - 1, 0, shift, Fill, true);
  }
}
}  // namespace

void TPXBitmap::ResizeCanvas(int32_t NewWidth, int32_t NewHeight, double FillValue, double AlphaValue,
                             int32_t HorizPos, int32_t VertPos) {
  if (IsVirtual()) {
    SetWidth(NewWidth);
    SetHeight(NewHeight);
    return;
  }
  const int32_t w0 = Width(), h0 = Height();
  if (NewWidth == w0 && NewHeight == h0) return;
  // A size of nothing, or a picture without pixels, has no canvas to resize.
  if (NewWidth <= 0 || NewHeight <= 0 || IsEmpty()) return;
  TPXBitmap* alpha = PeekAlphaChannel();
  PrepareShrink(this, w0, h0, NewWidth, NewHeight, FillValue, HorizPos, VertPos);
  if (alpha) PrepareShrink(alpha, w0, h0, NewWidth, NewHeight, AlphaValue, HorizPos, VertPos);
  SetWidth(NewWidth);
  SetHeight(NewHeight);
  if (Width() != NewWidth || Height() != NewHeight) return;  // storage could not be had
  alpha = PeekAlphaChannel();
  PlaceAfterGrow(this, w0, h0, NewWidth, NewHeight, FillValue, HorizPos, VertPos);
  if (alpha) {
    PlaceAfterGrow(alpha, w0, h0, NewWidth, NewHeight, AlphaValue, HorizPos, VertPos);
    if ((w0 < NewWidth || h0 < NewHeight) && AlphaValue < 255) alpha->FFull = 0;
  }
}

void TPXBitmap::AddBorders(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, double FillValue,
                           double AlphaValue) {
  const int32_t w = Width(), h = Height();
  if (-Left < w && -Top < h) {
    if (Left != 0 || Top != 0) ResizeCanvas(Width() + Left, Height() + Top, FillValue, AlphaValue, 2, 2);
    if (Right != 0 || Bottom != 0) ResizeCanvas(Width() + Right, Height() + Bottom, FillValue, AlphaValue, 0, 0);
    return;
  }
  // The left or top amount removes the whole picture: what remains is the fill.
  const int64_t nw = int64_t{Left} + w + Right, nh = int64_t{Top} + h + Bottom;
  if (nw <= 0 || nh <= 0 || nw > std::numeric_limits<int32_t>::max() || nh > std::numeric_limits<int32_t>::max())
    return;
  const TPXPixelFormat fmt = PixelFormat();
  if (fmt == pxNoFormat) return;
  const bool hadAlpha = HasAlphaChannel();
  FreeImage();
  if (!Allocate(static_cast<int32_t>(nw), static_cast<int32_t>(nh), fmt)) return;
  Fill(FillValue);
  if (hadAlpha) {
    TPXBitmap* alpha = GetAlphaChannel();
    alpha->Fill(AlphaValue);
    alpha->FFull = AlphaValue >= 255 ? 1 : 0;
  }
}

void TPXBitmap::Crop(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, double FillColor) {
  if (X1 == 0 && Y1 == 0 && X2 == Width() - 1 && Y2 == Height() - 1) return;
  if (X2 < X1 || Y2 < Y1) return;
  const int64_t nw64 = int64_t{X2} - X1 + 1, nh64 = int64_t{Y2} - Y1 + 1;
  if (nw64 > std::numeric_limits<int32_t>::max() || nh64 > std::numeric_limits<int32_t>::max()) return;
  const TPXPixelFormat fmt = PixelFormat();
  if (fmt == pxNoFormat) return;
  const int32_t nw = static_cast<int32_t>(nw64), nh = static_cast<int32_t>(nh64);
  TPXBitmap temp;
  if (!temp.Allocate(nw, nh, fmt)) return;
  if (FillColor != kNoFill) temp.Fill(FillColor);
  const int32_t sx = std::max(X1, 0), sy = std::max(Y1, 0);
  const int32_t dx = std::max(-X1, 0), dy = std::max(-Y1, 0);
  CopyRectTo(&temp, sx, sy, dx, dy, nw, nh, false);
  if (fmt == px8p) CopyPaletteTo(&temp);
  std::unique_ptr<TPXBitmap> oldAlpha = FAlphaChannel ? DetachAlphaChannel(false) : nullptr;
  AssignImage(&temp);
  if (oldAlpha) {
    // Area outside the old picture becomes opaque.
    std::unique_ptr<TPXBitmap> alpha = CreateAlphaChannel(nw, oldAlpha->Location(), nh);
    oldAlpha->CopyRectTo(alpha.get(), sx, sy, dx, dy, nw, nh, false);
    alpha->UpdateFull();
    ReplaceAlphaChannel(std::move(alpha));
  }
}

void TPXBitmap::CropRect(const TRect& Rect, double FillColor) {
  Crop(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, FillColor);
}

bool TPXBitmap::CropTransparent() {
  const TRect r = GetOpaqueBounds(this);
  if (r.Right < 0 || r.Bottom < 0) return false;
  CropRect(r, kNoFill);
  return true;
}

void TPXBitmap::MoveRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t DstX, int32_t DstY,
                         double FillValue, bool Fill) {
  // Only the part inside the picture moves.
  const int32_t x1 = std::max(X1, 0), y1 = std::max(Y1, 0);
  const int32_t x2 = std::min(X2, Width() - 1), y2 = std::min(Y2, Height() - 1);
  if (x1 > x2 || y1 > y2 || PixelFormat() == pxNoFormat) return;
  const int32_t w = x2 - x1 + 1, h = y2 - y1 + 1;
  TPXBitmap temp;
  temp.FMemoryLimit = std::numeric_limits<int64_t>::max();
  temp.FLocation = pxMemory;
  if (!temp.Allocate(w, h, PixelFormat())) return;
  CopyRectTo(&temp, x1, y1, 0, 0, w, h, false);
  if (Fill) FillRect(x1, y1, x2, y2, FillValue);
  temp.CopyRectTo(this, 0, 0, DstX + (x1 - X1), DstY + (y1 - Y1), w, h, false);
}

void TPXBitmap::Flip(TPXFlipDirection Direction) {
  FlipBitmap(this, Direction);
  DoChange();
}
