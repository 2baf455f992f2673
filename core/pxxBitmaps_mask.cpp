// TPXMask, and the bitmap's copies through a mask (CopyMaskedTo, PasteMaskedInto).
#include "core/pxxBitmaps_mask.h"

#include <algorithm>
#include <cstring>

#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"

namespace {

inline bool MaskBit(const uint8_t* Row, int32_t X) { return (Row[X >> 3] & (0x80u >> (X & 7))) != 0; }
inline void PutMaskBit(uint8_t* Row, int32_t X, bool On) {
  const auto bit = static_cast<uint8_t>(0x80u >> (X & 7));
  if (On) Row[X >> 3] |= bit;
  else Row[X >> 3] &= static_cast<uint8_t>(~bit);
}

// Sets or clears bits X1 .. X2 (X1 <= X2) of a 1-bit row.
void PutBitRange(uint8_t* Row, int32_t X1, int32_t X2, bool On) {
  const int32_t b1 = X1 >> 3, b2 = X2 >> 3;
  const auto head = static_cast<uint8_t>(0xFFu >> (X1 & 7));
  const auto tail = static_cast<uint8_t>(0xFFu << (7 - (X2 & 7)));
  auto put = [&](int32_t i, uint8_t bits) {
    if (On) Row[i] |= bits;
    else Row[i] &= static_cast<uint8_t>(~bits);
  };
  if (b1 == b2) {
    put(b1, static_cast<uint8_t>(head & tail));
    return;
  }
  put(b1, head);
  if (b2 > b1 + 1) std::memset(Row + b1 + 1, On ? 0xFF : 0, static_cast<size_t>(b2 - b1 - 1));
  put(b2, tail);
}

// The pixels of the last byte of a 1-bit row of Width pixels that lie inside the row.
inline uint8_t LastByteMask(int32_t Width) {
  const int32_t rest = Width & 7;
  return rest == 0 ? uint8_t{0xFF} : static_cast<uint8_t>(0xFFu << (8 - rest));
}

// The part of the box copied between two bitmaps, and how mask coordinates map onto them:
// source (x - SX, y - SY), destination (x - DX, y - DY).
struct TCopyArea {
  int32_t X1, Y1, X2, Y2;
  int32_t SX, SY, DX, DY;
};

bool CopyArea(const TPXMask& M, TPXBitmap* Dest, TPXBitmap* Source, bool DestRelative, bool Clip, TCopyArea& A) {
  A.SX = Clip ? M.FX1 : 0;
  A.SY = Clip ? M.FY1 : 0;
  A.DX = DestRelative ? M.FX1 : 0;
  A.DY = DestRelative ? M.FY1 : 0;
  // Mask coordinates whose source and destination pixels both exist.
  int64_t x1 = M.FX1, y1 = M.FY1, x2 = M.FX2, y2 = M.FY2;
  x1 = std::max<int64_t>({x1, A.SX, A.DX});
  y1 = std::max<int64_t>({y1, A.SY, A.DY});
  x2 = std::min<int64_t>({x2, int64_t{A.SX} + Source->GetWidth() - 1, int64_t{A.DX} + Dest->GetWidth() - 1});
  y2 = std::min<int64_t>({y2, int64_t{A.SY} + Source->GetHeight() - 1, int64_t{A.DY} + Dest->GetHeight() - 1});
  if (x1 > x2 || y1 > y2) return false;
  A.X1 = static_cast<int32_t>(x1);
  A.Y1 = static_cast<int32_t>(y1);
  A.X2 = static_cast<int32_t>(x2);
  A.Y2 = static_cast<int32_t>(y2);
  return true;
}

}  // namespace

TPXMask::TPXMask() {
  FBitmapInfo = {};
  FBitmapInfo.bmiHeader.biSize = 40;
  FBitmapInfo.bmiHeader.biPlanes = 1;
  FBitmapInfo.bmiHeader.biBitCount = 1;
  FBitmapInfo.bmiHeader.biCompression = BI_RGB;
  FBitmapInfo.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
}

TPXMask::~TPXMask() = default;

void TPXMask::AllocateBits(int32_t Width, int32_t Height, int32_t BitsPerPixel) {
  FBits.clear();
  FBits.shrink_to_fit();
  FZoomBuffer.clear();
  FZoomRows.clear();
  FZoomWidth = FZoomHeight = 0;
  FWidth = std::max(Width, 0);
  FHeight = std::max(Height, 0);
  FBitsPerPixel = BitsPerPixel == 8 ? 8 : 1;
  FRowLen = RowByteLength(FWidth, FBitsPerPixel, 32);
  FX1 = FY1 = EmptyBox;
  FX2 = FY2 = 0;
  FFull = 0;
}

void TPXMask::EnsureBits() {
  if (FBits.empty() && FWidth > 0 && FHeight > 0) FBits.assign(static_cast<size_t>(FRowLen * FHeight), 0);
}

void TPXMask::Resize(int32_t NewWidth, int32_t NewHeight) {
  NewWidth = std::max(NewWidth, 0);
  NewHeight = std::max(NewHeight, 0);
  if (NewWidth == FWidth && NewHeight == FHeight) return;
  const int64_t newRowLen = RowByteLength(NewWidth, FBitsPerPixel, 32);
  if (!FBits.empty()) {
    std::vector<uint8_t> bits(static_cast<size_t>(newRowLen * NewHeight), 0);
    // Only the pixels both sizes have: padding bits or bytes (which Fill also sets) must not
    // come back as pixels when the mask grows.
    const int32_t w = std::min(FWidth, NewWidth), h = std::min(FHeight, NewHeight);
    for (int32_t y = 0; y < h && w > 0; ++y) {
      uint8_t* d = bits.data() + (NewHeight - 1 - y) * newRowLen;
      const uint8_t* s = Row(y);
      if (FBitsPerPixel == 8) {
        std::memcpy(d, s, static_cast<size_t>(w));
      } else {
        const int32_t n = (w + 7) >> 3;
        std::memcpy(d, s, static_cast<size_t>(n));
        d[n - 1] &= LastByteMask(w);
      }
    }
    FBits.swap(bits);
  }
  const bool grew = NewWidth > FWidth || NewHeight > FHeight;
  FWidth = NewWidth;
  FHeight = NewHeight;
  FRowLen = newRowLen;
  if (grew) FFull = 0;
  if (!IsEmpty()) {
    FX2 = std::min(FX2, FWidth - 1);
    FY2 = std::min(FY2, FHeight - 1);
    if (FX1 > FX2 || FY1 > FY2) {
      FX1 = FY1 = EmptyBox;
      FX2 = FY2 = 0;
    }
  }
}

uint8_t* TPXMask::GetScanline(int32_t Y) {
  if (Y < 0 || Y >= FHeight || FWidth <= 0) return nullptr;
  EnsureBits();
  return Row(Y);
}

uint8_t* TPXMask::GetBits() {
  EnsureBits();
  return FBits.empty() ? nullptr : FBits.data();
}

int32_t TPXMask::GetPixel(int32_t X, int32_t Y) const {
  if (FBits.empty() || X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return 0;
  const uint8_t* r = Row(Y);
  if (FBitsPerPixel == 8) return r[X];
  return r[X >> 3] & (0x80 >> (X & 7));
}

bool TPXMask::IsPointInside(int32_t X, int32_t Y) const { return GetPixel(X, Y) != 0; }

void TPXMask::WidenBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (IsEmpty()) {
    FX1 = X1, FY1 = Y1, FX2 = X2, FY2 = Y2;
    return;
  }
  FX1 = std::min(FX1, X1);
  FY1 = std::min(FY1, Y1);
  FX2 = std::max(FX2, X2);
  FY2 = std::max(FY2, Y2);
}

// A write of anything but a full value ends FFull.
void TPXMask::NoteWrite(int32_t Value) {
  if (FFull && (FBitsPerPixel == 8 ? static_cast<uint8_t>(Value) != 255 : Value == 0)) FFull = 0;
}

void TPXMask::SetPixel(int32_t X, int32_t Y, int32_t Value) {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return;
  EnsureBits();
  uint8_t* r = Row(Y);
  if (FBitsPerPixel == 8) r[X] = static_cast<uint8_t>(Value);
  else PutMaskBit(r, X, Value != 0);
  if (Value != 0) WidenBox(X, Y, X, Y);
  NoteWrite(Value);
}

int32_t TPXMask::FillSpan(int32_t Value, int32_t X1, int32_t X2, int32_t Y) {
  if (Y < 0 || Y >= FHeight) return 0;
  X1 = std::max(X1, 0);
  X2 = std::min(X2, FWidth - 1);
  if (X1 > X2) return 0;
  EnsureBits();
  uint8_t* r = Row(Y);
  if (FBitsPerPixel == 8) std::memset(r + X1, static_cast<uint8_t>(Value), static_cast<size_t>(X2 - X1 + 1));
  else PutBitRange(r, X1, X2, Value != 0);
  if (Value != 0) WidenBox(X1, Y, X2, Y);
  NoteWrite(Value);
  return X2 - X1 + 1;
}

void TPXMask::Fill(int32_t Value) {
  EnsureBits();
  if (!FBits.empty()) std::memset(FBits.data(), static_cast<uint8_t>(Value), FBits.size());
  FFull = !FBits.empty() && static_cast<uint8_t>(Value) == 255;
}

void TPXMask::Clear() {
  if (!FBits.empty()) std::memset(FBits.data(), 0, FBits.size());
  FX1 = FY1 = EmptyBox;
  FX2 = FY2 = 0;
  FFull = 0;
}

void TPXMask::UpdateBounds() {
  int32_t x1 = EmptyBox, y1 = EmptyBox, x2 = -1, y2 = -1;
  if (!FBits.empty()) {
    const int32_t nbytes = FBitsPerPixel == 8 ? FWidth : (FWidth + 7) >> 3;
    const uint8_t lastMask = FBitsPerPixel == 8 ? uint8_t{0xFF} : LastByteMask(FWidth);
    for (int32_t y = 0; y < FHeight; ++y) {
      const uint8_t* r = Row(y);
      auto at = [&](int32_t i) { return i == nbytes - 1 ? static_cast<uint8_t>(r[i] & lastMask) : r[i]; };
      int32_t first = 0;
      while (first < nbytes && at(first) == 0) ++first;
      if (first == nbytes) continue;
      int32_t last = nbytes - 1;
      while (at(last) == 0) --last;
      int32_t fx = first, lx = last;
      if (FBitsPerPixel == 1) {
        fx = first * 8 + __builtin_clz(at(first)) - 24;
        lx = last * 8 + 7 - __builtin_ctz(at(last));
      }
      x1 = std::min(x1, fx);
      x2 = std::max(x2, lx);
      if (y1 == EmptyBox) y1 = y;
      y2 = y;
    }
  }
  if (y1 == EmptyBox) {
    FX1 = FY1 = EmptyBox;
    FX2 = FY2 = 0;
  } else {
    FX1 = x1, FY1 = y1, FX2 = x2, FY2 = y2;
  }
}

void TPXMask::UpdateFull() {
  FFull = 0;
  if (FBits.empty()) return;
  for (int32_t y = 0; y < FHeight; ++y) {
    const uint8_t* r = Row(y);
    if (FBitsPerPixel == 8) {
      for (int32_t x = 0; x < FWidth; ++x)
        if (r[x] != 255) return;
    } else {
      const int32_t whole = FWidth >> 3;
      for (int32_t i = 0; i < whole; ++i)
        if (r[i] != 255) return;
      if ((FWidth & 7) != 0 && (r[whole] & LastByteMask(FWidth)) != LastByteMask(FWidth)) return;
    }
  }
  FFull = 1;
}

void TPXMask::FillPolygons(int32_t Value, std::span<const int32_t> Values, int32_t Count, const TPoint* Points) {
  size_t polygon = 0;
  int32_t start = 0;
  for (int32_t i = 0; i <= Count; ++i) {
    if (i < Count && Points[i].X != PXPointMarker) continue;
    if (i > start) FillPolygon(polygon < Values.size() ? Values[polygon] : Value, Points + start, i - start);
    ++polygon;
    start = i + 1;
  }
  UpdateFull();
}

void TPXMask::FillPolygon(int32_t Value, const TPoint* Points, int32_t Count) {
  if (Count < 1 || FWidth <= 0 || FHeight <= 0) return;
  const int32_t ox1 = FX1, oy1 = FY1, ox2 = FX2, oy2 = FY2;

  // Edges from their upper end; each fills rows Y0 .. Y1 - 1 with x = X0 + trunc((y - Y0) DX / DY).
  struct TEdge {
    int64_t X0, Y0, Y1, DX, DY;
    int64_t X;  // at the current row
  };
  std::vector<TEdge> edges;
  edges.reserve(static_cast<size_t>(Count));
  int64_t minX = Points[0].X, minY = Points[0].Y, maxX = Points[0].X, maxY = Points[0].Y;
  for (int32_t i = 0; i < Count; ++i) {
    const TPoint& a = Points[i];
    const TPoint& b = Points[(i + 1) % Count];
    minX = std::min<int64_t>(minX, a.X), maxX = std::max<int64_t>(maxX, a.X);
    minY = std::min<int64_t>(minY, a.Y), maxY = std::max<int64_t>(maxY, a.Y);
    if (a.Y == b.Y) continue;
    const TPoint& u = a.Y < b.Y ? a : b;
    const TPoint& l = a.Y < b.Y ? b : a;
    // Only the rows of the mask are visited, so far-away polygons cost nothing.
    if (l.Y <= 0 || u.Y >= FHeight) continue;
    edges.push_back({u.X, u.Y, l.Y, int64_t{l.X} - u.X, int64_t{l.Y} - u.Y, 0});
  }
  std::sort(edges.begin(), edges.end(), [](const TEdge& a, const TEdge& b) { return a.Y0 < b.Y0; });

  int64_t written = 0;
  std::vector<TEdge*> active;
  size_t next = 0;
  const int64_t firstRow = edges.empty() ? 0 : std::max<int64_t>(0, edges.front().Y0);
  for (int64_t y = firstRow; y < FHeight && (next < edges.size() || !active.empty()); ++y) {
    while (next < edges.size() && std::max<int64_t>(edges[next].Y0, 0) <= y) active.push_back(&edges[next++]);
    std::erase_if(active, [y](const TEdge* e) { return e->Y1 <= y; });
    for (TEdge* e : active) {
      // Exact in 128 bits: both factors may reach 2^32.
      const __int128 num = static_cast<__int128>(y - e->Y0) * e->DX;
      e->X = e->X0 + static_cast<int64_t>(num / e->DY);
    }
    std::sort(active.begin(), active.end(), [](const TEdge* a, const TEdge* b) {
      if (a->X != b->X) return a->X < b->X;
      return static_cast<__int128>(a->DX) * b->DY < static_cast<__int128>(b->DX) * a->DY;
    });
    for (size_t i = 0; i + 1 < active.size(); i += 2) {
      const int64_t x1 = std::clamp<int64_t>(active[i]->X, -1, FWidth);
      const int64_t x2 = std::clamp<int64_t>(active[i + 1]->X - 1, -1, FWidth);
      written += FillSpan(Value, static_cast<int32_t>(x1), static_cast<int32_t>(x2), static_cast<int32_t>(y));
    }
  }

  if (written == 0) {
    // Nothing landed in the mask: the box stays what it was.
    FX1 = ox1, FY1 = oy1, FX2 = ox2, FY2 = oy2;
    return;
  }
  if (Value != 0) {
    // The box grows by the vertices (the right and bottom ends are not filled), cut to the mask.
    const int64_t bx1 = std::max<int64_t>(0, std::min<int64_t>(FX1, minX));
    const int64_t by1 = std::max<int64_t>(0, std::min<int64_t>(FY1, minY));
    const int64_t bx2 = std::min<int64_t>(FWidth - 1, std::max<int64_t>(FX2, maxX - 1));
    const int64_t by2 = std::min<int64_t>(FHeight - 1, std::max<int64_t>(FY2, maxY - 1));
    FX1 = static_cast<int32_t>(bx1), FY1 = static_cast<int32_t>(by1);
    FX2 = static_cast<int32_t>(bx2), FY2 = static_cast<int32_t>(by2);
  }
}

void TPXMask::Translate(int32_t& DX, int32_t& DY, bool Clip) {
  if (IsEmpty()) UpdateBounds();
  if (IsEmpty() || FBits.empty()) return;
  int64_t x1 = FX1, y1 = FY1, x2 = FX2, y2 = FY2;
  if (Clip) {
    // Only the part that lands inside the mask moves; the rest leaves it.
    x1 = std::max<int64_t>(x1, -int64_t{DX});
    y1 = std::max<int64_t>(y1, -int64_t{DY});
    x2 = std::min<int64_t>(x2, int64_t{FWidth} - 1 - DX);
    y2 = std::min<int64_t>(y2, int64_t{FHeight} - 1 - DY);
    if (x1 > x2 || y1 > y2) {
      if (DX != 0 || DY != 0) Clear();
      return;
    }
  } else {
    if (x1 + DX < 0) DX = static_cast<int32_t>(-x1);
    if (x2 + DX > FWidth - 1) DX = static_cast<int32_t>(FWidth - 1 - x2);
    if (y1 + DY < 0) DY = static_cast<int32_t>(-y1);
    if (y2 + DY > FHeight - 1) DY = static_cast<int32_t>(FHeight - 1 - y2);
  }
  if (DX == 0 && DY == 0) return;
  const auto bx1 = static_cast<int32_t>(x1), by1 = static_cast<int32_t>(y1);
  const auto bw = static_cast<int32_t>(x2 - x1 + 1), bh = static_cast<int32_t>(y2 - y1 + 1);
  // The box content, bit-exact, then the whole mask cleared and the content written back moved.
  const int64_t tRowLen = FBitsPerPixel == 8 ? bw : (bw + 7) / 8;
  std::vector<uint8_t> t(static_cast<size_t>(tRowLen * bh), 0);
  for (int32_t y = 0; y < bh; ++y) {
    const uint8_t* s = Row(by1 + y);
    uint8_t* d = t.data() + y * tRowLen;
    if (FBitsPerPixel == 8) std::memcpy(d, s + bx1, static_cast<size_t>(bw));
    else
      for (int32_t x = 0; x < bw; ++x)
        if (MaskBit(s, bx1 + x)) PutMaskBit(d, x, true);
  }
  std::memset(FBits.data(), 0, FBits.size());
  for (int32_t y = 0; y < bh; ++y) {
    const uint8_t* s = t.data() + y * tRowLen;
    uint8_t* d = Row(by1 + y + DY);
    if (FBitsPerPixel == 8) std::memcpy(d + bx1 + DX, s, static_cast<size_t>(bw));
    else
      for (int32_t x = 0; x < bw; ++x)
        if (MaskBit(s, x)) PutMaskBit(d, bx1 + DX + x, true);
  }
  FX1 = bx1 + DX;
  FY1 = by1 + DY;
  FX2 = FX1 + bw - 1;
  FY2 = FY1 + bh - 1;
  FFull = 0;
}

void TPXMask::IntersectWithAlpha(TPXBitmap* Bitmap, int32_t X, int32_t Y, bool UpdateBoundsAfter) {
  if (!Bitmap || IsEmpty()) return;
  const TPXPixelFormat fmt = Bitmap->GetPixelFormat();
  if (fmt != px8g && fmt != px8p) return;
  if (!FBits.empty()) {
    const int64_t x1 = std::max<int64_t>(X, 0), y1 = std::max<int64_t>(Y, 0);
    const int64_t x2 = std::min<int64_t>(int64_t{X} + Bitmap->GetWidth(), FWidth) - 1;
    const int64_t y2 = std::min<int64_t>(int64_t{Y} + Bitmap->GetHeight(), FHeight) - 1;
    for (int64_t y = y1; y <= y2; ++y) {
      uint8_t* m = Row(static_cast<int32_t>(y));
      const uint8_t* b = Bitmap->Scanline(static_cast<int32_t>(y - Y));
      for (int64_t x = x1; x <= x2; ++x) {
        const uint8_t v = b[x - X];
        if (FBitsPerPixel == 8) m[x] = std::min(m[x], v);
        else if (v == 0) PutMaskBit(m, static_cast<int32_t>(x), false);
      }
    }
  }
  if (UpdateBoundsAfter) UpdateBounds();
  UpdateFull();
}

void TPXMask::CopyBitmapWithMask(TPXBitmap* Dest, TPXBitmap* Source, bool DestRelative, bool Clip, bool WithAlpha) {
  if (!Dest || !Source || IsEmpty() || FBits.empty()) return;
  const TPXPixelFormat fmt = Source->GetPixelFormat();
  if (fmt == pxNoFormat || Dest->GetPixelFormat() != fmt) return;
  TCopyArea a;
  if (!CopyArea(*this, Dest, Source, DestRelative, Clip, a)) return;
  const bool mono = fmt == px1g;
  const int32_t bpp = Source->GetBitCount() / 8;
  const bool blendable = fmt == px24RGB || fmt == px8g || fmt == px8p;
  if (FBitsPerPixel == 1 || mono || blendable) {
    for (int32_t y = a.Y1; y <= a.Y2; ++y) {
      const uint8_t* m = Row(y);
      const uint8_t* s = Source->Scanline(y - a.SY);
      uint8_t* d = Dest->Scanline(y - a.DY);
      for (int32_t x = a.X1; x <= a.X2; ++x) {
        const int32_t v = FBitsPerPixel == 8 ? m[x] : (MaskBit(m, x) ? 255 : 0);
        if (v == 0) continue;
        const int32_t sx = x - a.SX, dx = x - a.DX;
        if (mono) {
          SetPixelBit(d, dx, GetPixelBit(s, sx));
        } else if (FBitsPerPixel == 1) {
          std::memcpy(d + int64_t{dx} * bpp, s + int64_t{sx} * bpp, static_cast<size_t>(bpp));
        } else {
          // An 8-bit mask blends: d + ((s - d) * m shr 8), the shift rounding down.
          const uint8_t* sp = s + int64_t{sx} * bpp;
          uint8_t* dp = d + int64_t{dx} * bpp;
          for (int32_t c = 0; c < bpp; ++c) dp[c] = static_cast<uint8_t>(dp[c] + (((sp[c] - dp[c]) * v) >> 8));
        }
      }
    }
    if (fmt == px8p) Source->CopyPaletteTo(Dest);
    Dest->DoChange();
  }
  if (WithAlpha && (Source->HasAlphaChannel() || Dest->HasAlphaChannel()))
    CopyAlphaWithMask(Dest, Source, DestRelative, Clip);
}

void TPXMask::CopyAlphaWithMask(TPXBitmap* Dest, TPXBitmap* Source, bool DestRelative, bool Clip) {
  if (!Dest || !Source || IsEmpty() || FBits.empty()) return;
  TCopyArea a;
  if (!CopyArea(*this, Dest, Source, DestRelative, Clip, a)) return;
  TPXBitmap* da = Dest->GetAlphaChannel();
  if (!da) return;
  TPXBitmap* sa = Source->PeekAlphaChannel();
  for (int32_t y = a.Y1; y <= a.Y2; ++y) {
    const uint8_t* m = Row(y);
    const uint8_t* s = sa ? sa->Scanline(y - a.SY) : nullptr;
    uint8_t* d = da->Scanline(y - a.DY);
    for (int32_t x = a.X1; x <= a.X2; ++x) {
      const uint8_t alpha = s ? s[x - a.SX] : uint8_t{255};
      uint8_t out;
      if (FBitsPerPixel == 8) out = m[x] == 0 ? uint8_t{0} : std::min(alpha, m[x]);
      else out = MaskBit(m, x) ? alpha : uint8_t{0};
      d[x - a.DX] = out;
    }
  }
  da->FFull = 0;
  Dest->DoChange();
}

// ---------------------------------------------------------------------------------------------
// Drawing

bool TPXMask::StretchMaskToBuffer(int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight, int32_t DestWidth,
                                  int32_t DestHeight) {
  if (IsEmpty() || FBits.empty() || DestWidth <= 0 || DestHeight <= 0 || SrcWidth <= 0 || SrcHeight <= 0)
    return false;
  const int64_t rowLen = RowByteLength(DestWidth, FBitsPerPixel, 32);
  if (rowLen * DestHeight > (int64_t{1} << 31)) return false;  // no screen is that large
  if (DestWidth != FZoomWidth || DestHeight != FZoomHeight || rowLen != FZoomRowLen) {
    FZoomBuffer.assign(static_cast<size_t>(rowLen * DestHeight), 0);
    FZoomRows.resize(static_cast<size_t>(DestHeight));
    for (int32_t y = 0; y < DestHeight; ++y) FZoomRows[y] = FZoomBuffer.data() + (DestHeight - 1 - y) * rowLen;
    FZoomWidth = DestWidth;
    FZoomHeight = DestHeight;
    FZoomRowLen = rowLen;
  } else {
    std::fill(FZoomBuffer.begin(), FZoomBuffer.end(), uint8_t{0});
  }
  // Nearest neighbour in 14-bit fixed point, only where the source lies in the box.
  const auto stepX = static_cast<int64_t>(static_cast<double>(SrcWidth) / DestWidth * 16384);
  const auto stepY = static_cast<int64_t>(static_cast<double>(SrcHeight) / DestHeight * 16384);
  std::vector<int32_t> cols(static_cast<size_t>(DestWidth));
  for (int32_t x = 0; x < DestWidth; ++x) {
    const int64_t sx = XSrc + ((x * stepX) >> 14);
    cols[x] = sx >= FX1 && sx <= FX2 ? static_cast<int32_t>(sx) : -1;
  }
  for (int32_t y = 0; y < DestHeight; ++y) {
    const int64_t sy = YSrc + ((y * stepY) >> 14);
    if (sy < FY1 || sy > FY2) continue;
    const uint8_t* s = Row(static_cast<int32_t>(sy));
    uint8_t* d = FZoomRows[y];
    for (int32_t x = 0; x < DestWidth; ++x) {
      const int32_t sx = cols[x];
      if (sx < 0) continue;
      if (FBitsPerPixel == 8) d[x] = s[sx];
      else if (MaskBit(s, sx)) PutMaskBit(d, x, true);
    }
  }
  return true;
}

bool TPXMask::ZoomPixel(int32_t X, int32_t Y) const {
  const uint8_t* r = FZoomRows[Y];
  return FBitsPerPixel == 8 ? r[X] != 0 : MaskBit(r, X);
}

void TPXMask::DrawXor(TCanvas* Canvas, int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight,
                      int32_t XSrc, int32_t YSrc, int32_t SrcWidth, int32_t SrcHeight) {
  if (!Canvas || FBitsPerPixel != 1 || IsEmpty() || FBits.empty()) return;
  FBitmapInfo.bmiHeader.biWidth = FWidth;
  FBitmapInfo.bmiHeader.biHeight = FHeight;
  // Source rows count from the bottom of the bottom-up mask.
  StretchDIBits(Canvas->Handle(), XDest, YDest, DestWidth, DestHeight, XSrc, FHeight - YSrc - SrcHeight, SrcWidth,
                SrcHeight, FBits.data(), reinterpret_cast<const BITMAPINFO*>(&FBitmapInfo), DIB_RGB_COLORS,
                SRCINVERT);
}

void TPXMask::PaintOutside(TBitmap* Bitmap, int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight,
                           int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Opacity,
                           TColor Color) {
  if (!Bitmap) return;
  const TPixelFormat pf = Bitmap->PixelFormat();
  if (pf != pf24bit && pf != pf32bit) return;
  if (!StretchMaskToBuffer(SrcX, SrcY, SrcWidth, SrcHeight, DestWidth, DestHeight)) return;
  const int32_t step = pf == pf24bit ? 3 : 4;
  const TRGB c = TColorToRGB(Color);
  const double o = Opacity / 255.0;
  auto blend = [o](uint8_t v, uint8_t cv) { return static_cast<uint8_t>(ClampByte(Trunc32(o * cv + (1 - o) * v))); };
  const int32_t x1 = std::max(0, -XDest), y1 = std::max(0, -YDest);
  const int32_t x2 = std::min(DestWidth, Bitmap->Width() - XDest), y2 = std::min(DestHeight, Bitmap->Height() - YDest);
  for (int32_t y = y1; y < y2; ++y) {
    const int32_t by = YDest + y;
    auto* row = static_cast<uint8_t*>(Bitmap->ScanLine(by));
    for (int32_t x = x1; x < x2; ++x) {
      if (ZoomPixel(x, y)) continue;
      const int32_t bx = XDest + x;
      uint8_t* p = row + int64_t{bx} * step;
      if (Opacity == -1) {
        if (((bx + by) & 1) == 0) p[0] = p[1] = p[2] = 97;
      } else {
        p[0] = blend(p[0], c.b);
        p[1] = blend(p[1], c.g);
        p[2] = blend(p[2], c.r);
      }
    }
  }
}

void TPXMask::DrawOutline(TCanvas* Canvas, int32_t XDest, int32_t YDest, int32_t DestWidth, int32_t DestHeight,
                          int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t Phase, TColor Color1,
                          TColor Color2, TRect* Bounds) {
  if (Bounds) *Bounds = TRect(0, 0, 0, 0);
  if (!Canvas || !StretchMaskToBuffer(SrcX, SrcY, SrcWidth, SrcHeight, DestWidth, DestHeight)) return;
  Canvas->Pen()->SetStyle(psSolid);
  Canvas->Pen()->SetMode(pmCopy);
  const HDC dc = Canvas->Handle();
  const COLORREF c1 = static_cast<COLORREF>(ColorToRGB(Color1)), c2 = static_cast<COLORREF>(ColorToRGB(Color2));
  // Beyond the buffer's first and last column and row the selection ends only where the box's
  // edge falls on that source column or row; elsewhere it goes on out of sight.
  const auto stepX = static_cast<int64_t>(static_cast<double>(SrcWidth) / DestWidth * 16384);
  const auto stepY = static_cast<int64_t>(static_cast<double>(SrcHeight) / DestHeight * 16384);
  const bool endsLeft = SrcX <= FX1;
  const bool endsRight = SrcX + (((DestWidth - 1) * stepX) >> 14) >= FX2;
  const bool endsTop = SrcY <= FY1;
  const bool endsBottom = SrcY + (((DestHeight - 1) * stepY) >> 14) >= FY2;
  auto selected = [&](int32_t x, int32_t y) {
    if (x < 0) return !endsLeft;
    if (x >= DestWidth) return !endsRight;
    if (y < 0) return !endsTop;
    if (y >= DestHeight) return !endsBottom;
    return ZoomPixel(x, y);
  };
  int32_t bx1 = DestWidth, by1 = DestHeight, bx2 = -1, by2 = -1;
  for (int32_t y = 0; y < DestHeight; ++y) {
    for (int32_t x = 0; x < DestWidth; ++x) {
      if (!ZoomPixel(x, y)) continue;
      bx1 = std::min(bx1, x), by1 = std::min(by1, y), bx2 = std::max(bx2, x), by2 = std::max(by2, y);
      bool edge = false;
      for (int32_t j = -1; j <= 1 && !edge; ++j)
        for (int32_t i = -1; i <= 1 && !edge; ++i)
          if ((i != 0 || j != 0) && !selected(x + i, y + j)) edge = true;
      if (edge) SetPixelV(dc, XDest + x, YDest + y, ((x + y + Phase) & 4) != 0 ? c1 : c2);
    }
  }
  if (Bounds && bx2 >= 0) *Bounds = TRect(XDest + bx1, YDest + by1, XDest + bx2 + 1, YDest + by2 + 1);
}

// ---------------------------------------------------------------------------------------------
// The bitmap's copies through a mask

void TPXBitmap::CopyMaskedTo(TPXBitmap* Dest, TPXMask* Mask) {
  if (!Dest || !Mask || Mask->IsEmpty()) return;
  const int32_t w = Mask->FX2 - Mask->FX1 + 1, h = Mask->FY2 - Mask->FY1 + 1;
  Dest->Allocate(w, h, GetPixelFormat());
  CopyRectTo(Dest, Mask->FX1, Mask->FY1, 0, 0, w, h, false);
  Mask->CopyBitmapWithMask(Dest, this, true, false, true);
}

void TPXBitmap::PasteMaskedInto(TPXBitmap* Dest, TPXMask* Mask) {
  if (!Dest || !Mask || Mask->IsEmpty()) return;
  Mask->CopyBitmapWithMask(Dest, this, false, true, false);
  if (!HasAlphaChannel()) return;
  TPXBitmap* da = Dest->GetAlphaChannel();
  if (!da) return;
  Mask->CopyBitmapWithMask(da, FAlphaChannel.get(), false, true, false);
  da->FFull = 0;
  Dest->DoChange();
}

void TPXBitmap::CopyMaskedRegion(TPXBitmap* Dest, TPXMask* Mask) {
  if (!Dest || !Mask || Mask->IsEmpty() || IsEmpty()) return;
  const int32_t x1 = std::max(Mask->FX1, 0), y1 = std::max(Mask->FY1, 0);
  const int32_t x2 = std::min(Mask->FX2, Width() - 1), y2 = std::min(Mask->FY2, Height() - 1);
  if (x1 > x2 || y1 > y2) return;
  if (!Dest->Allocate(x2 - x1 + 1, y2 - y1 + 1, PixelFormat())) return;
  Dest->RemoveAlphaChannel(false, 0);
  CopyRectTo(Dest, x1, y1, 0, 0, Dest->Width(), Dest->Height(), false);
  if (PixelFormat() == px8p) CopyPaletteTo(Dest);
  // The alpha channel is written relative to the mask's box, whose origin is (x1, y1) unless the
  // box reaches outside the picture: then only the part inside is written.
  TPXBitmap* alpha = Dest->GetAlphaChannel();
  if (!alpha) return;
  TPXBitmap* own = PeekAlphaChannel();
  for (int32_t y = y1; y <= y2; ++y) {
    const uint8_t* s = own ? own->Scanline(y) : nullptr;
    uint8_t* d = alpha->Scanline(y - y1);
    for (int32_t x = x1; x <= x2; ++x) {
      const int32_t m = Mask->GetPixel(x, y);
      const uint8_t a = s ? s[x] : uint8_t{255};
      d[x - x1] = m == 0 ? uint8_t{0} : Mask->BitsPerPixel() == 8 ? std::min<uint8_t>(a, static_cast<uint8_t>(m)) : a;
    }
  }
  alpha->UpdateFull();
  Dest->DoChange();
}

void TPXBitmap::MergeThroughMask(TPXBitmap* Dest, TPXMask* Mask) {
  if (!Dest || !Mask || Mask->IsEmpty() || IsEmpty() || Dest->PixelFormat() != PixelFormat()) return;
  Mask->CopyBitmapWithMask(Dest, this, false, true, false);
  TPXBitmap* own = PeekAlphaChannel();
  if (!own) return;
  TPXBitmap* alpha = Dest->GetAlphaChannel();
  if (!alpha) return;
  Mask->CopyBitmapWithMask(alpha, own, false, true, false);
  alpha->FFull = 0;
}
