// TPXBitmap geometry that keeps the content: canvas resize with placement, borders, crops,
// moving a rectangle and the mirror. The alpha channel follows every size change.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pxicc.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_bits.h"
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

// Where the kept part of a W0 x H0 picture lies in the old and in the resized picture.
struct TCanvasPlacement {
  int32_t SrcX, SrcY, DstX, DstY, Width, Height;
};
TCanvasPlacement Placement(int32_t W0, int32_t H0, int32_t NewWidth, int32_t NewHeight, int32_t HorizPos,
                           int32_t VertPos) {
  auto axis = [](int32_t Old, int32_t New, int32_t Pos, int32_t& Src, int32_t& Dst, int32_t& Count) {
    Src = Dst = 0;
    const int32_t diff = New < Old ? Old - New : New - Old;
    const int32_t shift = Pos == 1 ? diff / 2 : Pos == 2 ? diff : 0;
    if (New < Old) Src = shift;
    else Dst = shift;
    Count = std::min(Old, New);
  };
  TCanvasPlacement p{};
  axis(W0, NewWidth, HorizPos, p.SrcX, p.DstX, p.Width);
  axis(H0, NewHeight, VertPos, p.SrcY, p.DstY, p.Height);
  return p;
}

// Fills the freshly allocated Dest with Value around the kept part of Old, placed as At says:
// one pass over the new rows, the fill taken from a pattern row.
void PlaceContent(TPXBitmap* Dest, TPXBitmap* Old, const TCanvasPlacement& At, double Value) {
  const int32_t w = Dest->Width(), h = Dest->Height();
  const TPXPixelFormat f = Dest->PixelFormat();
  if (f == px1g) {
    Dest->FillRect(0, 0, w - 1, 0, Value);
    const uint8_t fill = Dest->Scanline(0)[0] & 0x80 ? 0xFF : 0x00;
    const size_t len = static_cast<size_t>((int64_t{w} + 7) / 8);
    const int32_t limit = static_cast<int32_t>(std::min<int64_t>(Old->RowLen(), INT32_MAX));
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* d = Dest->Scanline(y);
      std::memset(d, fill, len);
      if (y >= At.DstY && y < At.DstY + At.Height)
        CopyBits(d, Old->Scanline(At.SrcY + y - At.DstY), At.DstX, At.SrcX, At.Width, limit);
    }
    return;
  }
  const size_t bpp = static_cast<size_t>(Dest->BitCount() / 8);
  const size_t rowBytes = bpp * static_cast<size_t>(w);
  std::vector<uint8_t> pattern(rowBytes);
  if (f == px8g || f == px8p) {
    std::memset(pattern.data(), static_cast<uint8_t>(Trunc(Value)), rowBytes);
  } else {
    Dest->FillRect(0, 0, w - 1, 0, Value);
    std::memcpy(pattern.data(), Dest->Scanline(0), rowBytes);
  }
  const size_t left = bpp * static_cast<size_t>(At.DstX), middle = bpp * static_cast<size_t>(At.Width);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* d = Dest->Scanline(y);
    if (y < At.DstY || y >= At.DstY + At.Height) {
      std::memcpy(d, pattern.data(), rowBytes);
      continue;
    }
    std::memcpy(d, pattern.data(), left);
    std::memcpy(d + left, Old->Scanline(At.SrcY + y - At.DstY) + bpp * static_cast<size_t>(At.SrcX), middle);
    std::memcpy(d + left + middle, pattern.data() + left + middle, rowBytes - left - middle);
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
  auto ownStorage = [](TPXBitmap* B) { return B->Location() == pxMemory || B->Location() == pxFile; };
  if (!ownStorage(this) || (alpha && (!ownStorage(alpha) || alpha->Width() != w0 || alpha->Height() != h0))) {
    // Platform-bitmap storage resizes in place, through the platform bitmap.
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
    return;
  }

  // New storage of the new size receives the kept part of the old one at its place; only the new
  // area is filled. The old storage stays aside until the new one is complete, so a failed
  // allocation leaves the picture as it was.
  const TCanvasPlacement at = Placement(w0, h0, NewWidth, NewHeight, HorizPos, VertPos);
  const TNotifyEvent onChange = FOnChange;
  TPXBitmap old;
  MoveStorageTo(&old);
  old.FOnChange = nullptr;
  FOnChange = nullptr;
  std::unique_ptr<TPXBitmap> ownAlpha = std::move(old.FAlphaChannel);
  TPXBitmap oldAlpha;
  bool ok = Allocate(NewWidth, NewHeight, old.FPixelFormat);
  if (ok && ownAlpha) {
    ownAlpha->MoveStorageTo(&oldAlpha);
    ok = ownAlpha->Allocate(NewWidth, NewHeight, oldAlpha.FPixelFormat);
    if (!ok) oldAlpha.MoveStorageTo(ownAlpha.get());
  }
  if (!ok) {
    old.MoveStorageTo(this);
    FAlphaChannel = std::move(ownAlpha);
    FOnChange = onChange;
    throw EOutOfMemory("Out of memory");
  }
  PlaceContent(this, &old, at, FillValue);
  FPalette = std::move(old.FPalette);
  FPaletteUsed = old.FPaletteUsed;
  if (FPixelFormat == px8p && FPalette.size() < 256) FPalette.resize(256);
  FImageProfile->Assign(old.FImageProfile.get());
  if (ownAlpha) {
    PlaceContent(ownAlpha.get(), &oldAlpha, at, AlphaValue);
    const bool grew = NewWidth > w0 || NewHeight > h0;
    ownAlpha->FFull = oldAlpha.FFull && (!grew || static_cast<uint8_t>(Trunc(AlphaValue)) == 255) ? 1 : 0;
    FAlphaChannel = std::move(ownAlpha);
  }
  FOnChange = onChange;
  DoChange();
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
