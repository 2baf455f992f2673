#include "platform/gdi/Surface.h"

#include <cstring>
#include <stdexcept>

#include "platform/rtl/SysUtils.h"

TSurface::TSurface(int32_t width, int32_t height, int32_t bitCount, bool bottomUp)
    : width_(width < 0 ? 0 : width), height_(height < 0 ? 0 : height), bit_count_(bitCount) {
  const int32_t rowBytes = SurfaceRowBytes(width_, bit_count_);
  const size_t total = static_cast<size_t>(rowBytes) * static_cast<size_t>(height_);
  try {
    storage_.assign(total, 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
  if (total == 0) {
    top_ = nullptr;
    stride_ = rowBytes;
  } else if (bottomUp) {
    stride_ = -rowBytes;
    top_ = storage_.data() + static_cast<size_t>(rowBytes) * (height_ - 1);
  } else {
    stride_ = rowBytes;
    top_ = storage_.data();
  }
  if (bitCount == 16) is565_ = true;
}

TSurface::TSurface(uint8_t* top, int32_t stride, int32_t width, int32_t height, int32_t bitCount)
    : top_(top), stride_(stride), width_(width), height_(height), bit_count_(bitCount) {
  if (bitCount == 16) is565_ = true;
}

TSurface::~TSurface() = default;

namespace {
TColorRef FromQuad(const TRGBQuad& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }
}  // namespace

TColorRef TSurface::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFF;  // CLR_INVALID
  const uint8_t* r = Row(y);
  auto pal = [&](unsigned i) -> TColorRef {
    return i < palette_.size() ? FromQuad(palette_[i]) : 0;
  };
  switch (bit_count_) {
    case 1: return pal((r[x >> 3] >> (7 - (x & 7))) & 1);
    case 4: return pal((r[x >> 1] >> ((x & 1) ? 0 : 4)) & 15);
    case 8: return pal(r[x]);
    case 15:
    case 16: {
      uint16_t v = static_cast<uint16_t>(r[x * 2] | (r[x * 2 + 1] << 8));
      unsigned rr, gg, bb;
      if (bit_count_ == 16 && is565_) {
        rr = (v >> 11) & 31; gg = (v >> 5) & 63; bb = v & 31;
        return RGB(static_cast<uint8_t>((rr << 3) | (rr >> 2)), static_cast<uint8_t>((gg << 2) | (gg >> 4)),
                   static_cast<uint8_t>((bb << 3) | (bb >> 2)));
      }
      rr = (v >> 10) & 31; gg = (v >> 5) & 31; bb = v & 31;
      return RGB(static_cast<uint8_t>((rr << 3) | (rr >> 2)), static_cast<uint8_t>((gg << 3) | (gg >> 2)),
                 static_cast<uint8_t>((bb << 3) | (bb >> 2)));
    }
    case 24: return RGB(r[x * 3 + 2], r[x * 3 + 1], r[x * 3]);
    case 32: return RGB(r[x * 4 + 2], r[x * 4 + 1], r[x * 4]);
    default: return 0;
  }
}

void TSurface::SetPixel(int32_t x, int32_t y, TColorRef c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  uint8_t* r = Row(y);
  const uint8_t R = GetRValue(c), G = GetGValue(c), B = GetBValue(c);
  auto nearest = [&]() -> unsigned {
    unsigned best = 0;
    long bestD = -1;
    for (unsigned i = 0; i < palette_.size(); ++i) {
      long dr = long(palette_[i].rgbRed) - R, dg = long(palette_[i].rgbGreen) - G, db = long(palette_[i].rgbBlue) - B;
      long d = dr * dr + dg * dg + db * db;
      if (bestD < 0 || d < bestD) { bestD = d; best = i; }
    }
    return best;
  };
  switch (bit_count_) {
    case 1: {
      unsigned bit = nearest() & 1;
      uint8_t m = static_cast<uint8_t>(0x80 >> (x & 7));
      r[x >> 3] = bit ? (r[x >> 3] | m) : (r[x >> 3] & ~m);
      break;
    }
    case 4: {
      unsigned i = nearest() & 15;
      uint8_t& b = r[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | i) : static_cast<uint8_t>((b & 0x0F) | (i << 4));
      break;
    }
    case 8: r[x] = static_cast<uint8_t>(nearest()); break;
    case 15:
    case 16: {
      uint16_t v;
      if (bit_count_ == 16 && is565_) v = static_cast<uint16_t>(((R >> 3) << 11) | ((G >> 2) << 5) | (B >> 3));
      else v = static_cast<uint16_t>(((R >> 3) << 10) | ((G >> 3) << 5) | (B >> 3));
      r[x * 2] = static_cast<uint8_t>(v);
      r[x * 2 + 1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 24: r[x * 3] = B; r[x * 3 + 1] = G; r[x * 3 + 2] = R; break;
    case 32: r[x * 4] = B; r[x * 4 + 1] = G; r[x * 4 + 2] = R; break;
    default: break;
  }
}
