// Packed DIBs into bitmaps: uncompressed and run-length RGB DIBs of 1 to 32 bits and the packed
// and planar YUV layouts of video frames. The block comes from another program (the clipboard)
// or a capture graph, so every size, count and offset is checked against its length first.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "codecs/bmpfilt.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_params.h"
#include "proc/pixoranproc_dib.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
constexpr uint32_t FourCC(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) | static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

constexpr uint32_t kBiRGB = 0, kBiRLE8 = 1, kBiRLE4 = 2, kBiBitfields = 3;
// The largest side a DIB may claim; the data must still hold its rows.
constexpr int64_t kMaxSide = 1 << 20;
// From this many pixels on, building the 8-bit pair table pays for itself.
constexpr int64_t kPairTableMinPixels = 1 << 18;

enum class TYuv { None, IYU1, IYU2, UYVY, Cyuv, YUY2, YVYU, Y41P, Y211, CLJR, YVU9, YV12, I420 };

TYuv YuvOf(uint32_t Compression) {
  switch (Compression) {
    case FourCC("IYU1"): return TYuv::IYU1;
    case FourCC("IYU2"): return TYuv::IYU2;
    case FourCC("UYVY"): case FourCC("UYNV"): return TYuv::UYVY;
    case FourCC("cyuv"): return TYuv::Cyuv;
    case FourCC("YUY2"): case FourCC("YUNV"): return TYuv::YUY2;
    case FourCC("YVYU"): return TYuv::YVYU;
    case FourCC("Y41P"): return TYuv::Y41P;
    case FourCC("Y211"): return TYuv::Y211;
    case FourCC("CLJR"): return TYuv::CLJR;
    case FourCC("YVU9"): return TYuv::YVU9;
    case FourCC("YV12"): return TYuv::YV12;
    case FourCC("I420"): case FourCC("IYUV"): return TYuv::I420;
    default: return TYuv::None;
  }
}

// Pixels per group and bytes per group of the packed layouts (0 for planar ones).
void PackedGroup(TYuv Code, int32_t& Pixels, int32_t& Bytes) {
  switch (Code) {
    case TYuv::IYU1: Pixels = 4, Bytes = 6; break;
    case TYuv::IYU2: Pixels = 1, Bytes = 3; break;
    case TYuv::UYVY: case TYuv::Cyuv: case TYuv::YUY2: case TYuv::YVYU: Pixels = 2, Bytes = 4; break;
    case TYuv::Y41P: Pixels = 8, Bytes = 12; break;
    case TYuv::Y211: case TYuv::CLJR: Pixels = 4, Bytes = 4; break;
    default: Pixels = 0, Bytes = 0; break;
  }
}

// What a checked DIB holds.
struct TDIBInfo {
  int32_t Width = 0;
  int32_t Height = 0;   // rows, positive
  bool TopDown = false; // biHeight was negative
  int32_t BitCount = 0;
  uint32_t Compression = 0;
  int32_t XPpm = 0;
  int32_t YPpm = 0;
  TYuv Yuv = TYuv::None;
  TRGB Palette[256];          // entries past the table stay black
  int32_t TableEntries = 0;
  uint8_t FirstEntryRed = 0;  // the red byte of table entry 0
  uint32_t Masks[3] = {0x7C00, 0x03E0, 0x001F};  // red, green, blue of 16-bit pixels
  std::span<const uint8_t> Rows;
};

// Checks the header, table, masks and rows of a packed DIB against the block (and against Bits
// when rows lie elsewhere). False for anything the importers cannot convert soundly.
bool ParseDIB(std::span<const uint8_t> Block, std::span<const uint8_t> Bits, TDIBInfo& I) {
  if (Block.size() < 40) return false;
  const uint8_t* p = Block.data();
  const uint32_t headerSize = Le32(p);
  if (headerSize < 40 || headerSize > Block.size()) return false;
  const auto width = static_cast<int32_t>(Le32(p + 4));
  const auto height = static_cast<int32_t>(Le32(p + 8));
  if (width <= 0 || height == 0 || height == std::numeric_limits<int32_t>::min()) return false;
  I.Width = width;
  I.Height = height < 0 ? -height : height;
  I.TopDown = height < 0;
  if (I.Width > kMaxSide || I.Height > kMaxSide) return false;
  I.BitCount = Le16(p + 14);
  I.Compression = Le32(p + 16);
  I.XPpm = static_cast<int32_t>(Le32(p + 24));
  I.YPpm = static_cast<int32_t>(Le32(p + 28));
  const uint32_t colorsUsed = Le32(p + 32);
  I.Yuv = YuvOf(I.Compression);
  // The answer is the bit count, so a frame declaring none would succeed looking refused.
  if (I.BitCount == 0) return false;
  size_t pos = headerSize;
  const size_t rest = Block.size();

  const int64_t w = I.Width, h = I.Height;
  if (I.Yuv == TYuv::None) {
    const int32_t b = I.BitCount;
    const uint32_t c = I.Compression;
    const bool ok = ((b == 1 || b == 4 || b == 8) && c == kBiRGB) || (b == 8 && c == kBiRLE8) ||
                    (b == 4 && c == kBiRLE4) || ((b == 16 || b == 32) && (c == kBiRGB || c == kBiBitfields)) ||
                    (b == 24 && c == kBiRGB);
    if (!ok) return false;
    if (c == kBiBitfields) {
      // Masks inside a header of 52 bytes or more, else in 12 bytes after it.
      const uint8_t* m = p + 40;
      if (headerSize < 52) {
        if (rest - pos < 12) return false;
        m = p + pos;
        pos += 12;
      }
      if (b == 16)
        for (int k = 0; k < 3; ++k) I.Masks[k] = Le32(m + 4 * k);
    }
    int64_t entries = colorsUsed;
    if (b <= 8) {
      if (colorsUsed > (1u << b)) return false;
      if (entries == 0) entries = int64_t{1} << b;
    }
    if (entries > static_cast<int64_t>((rest - pos) / 4)) return false;
    const uint8_t* table = p + pos;
    I.TableEntries = static_cast<int32_t>(std::min<int64_t>(entries, 256));
    if (b <= 8) {
      for (int32_t k = 0; k < I.TableEntries; ++k) I.Palette[k] = TRGB{table[4 * k], table[4 * k + 1], table[4 * k + 2]};
      if (entries > 0) I.FirstEntryRed = table[2];
    }
    pos += static_cast<size_t>(entries) * 4;
  }
  I.Rows = Bits.empty() ? Block.subspan(pos) : Bits;
  const auto have = static_cast<uint64_t>(I.Rows.size());

  uint64_t need = 0;
  if (I.Yuv == TYuv::None) {
    if (I.Compression == kBiRLE8 || I.Compression == kBiRLE4) {
      // Run-length data may skip rows, so the picture is only bounded by what it could describe.
      return w * h <= std::max<int64_t>(static_cast<int64_t>(have) * 4096, int64_t{1} << 20);
    }
    need = static_cast<uint64_t>((w * I.BitCount + 31) / 32 * 4) * static_cast<uint64_t>(h);
  } else if (I.Yuv == TYuv::YVU9 || I.Yuv == TYuv::YV12 || I.Yuv == TYuv::I420) {
    const int64_t div = I.Yuv == TYuv::YVU9 ? 4 : 2;
    const int64_t cw = w / div, ch = h / div;
    if (cw == 0 || ch == 0) return false;  // no chroma to read
    need = static_cast<uint64_t>(w * h + 2 * cw * ch);
  } else {
    int32_t gp, gb;
    PackedGroup(I.Yuv, gp, gb);
    need = static_cast<uint64_t>((w + gp - 1) / gp * gb) * static_cast<uint64_t>(h);
  }
  return need <= have;
}

// Integer BT.601 conversion of "YUY2" and "YUNV" (quotients toward zero, then clamped).
inline uint8_t ClampByte(int32_t V) { return static_cast<uint8_t>(std::clamp(V, 0, 255)); }
inline void YuvInt(int32_t Y, int32_t U, int32_t V, uint8_t* Dest) {
  const int32_t yy = 298 * (Y - 16), cb = U - 128, cr = V - 128;
  Dest[0] = ClampByte((yy + 516 * cb + 128) / 256);
  Dest[1] = ClampByte((yy - 100 * cb - 208 * cr + 128) / 256);
  Dest[2] = ClampByte((yy + 409 * cr + 128) / 256);
}

void ConvertPackedYuv(const TDIBInfo& I, TPXBitmap* Bitmap) {
  int32_t gp, gb;
  PackedGroup(I.Yuv, gp, gb);
  const int32_t w = I.Width, h = I.Height;
  const int64_t rowBytes = (int64_t{w} + gp - 1) / gp * gb;
  bool topDown = I.Yuv != TYuv::Cyuv && I.Yuv != TYuv::Y41P;
  if (I.TopDown) topDown = !topDown;
  auto conv = I.Yuv == TYuv::YUY2 ? YuvInt : YCbCrToRGB601;
  for (int32_t k = 0; k < h; ++k) {
    const uint8_t* s = I.Rows.data() + rowBytes * k;
    uint8_t* d = Bitmap->Scanline(topDown ? k : h - 1 - k);
    if (I.Yuv == TYuv::YUY2) {
      // The common capture layout, with the integer conversion inlined.
      int32_t x = 0;
      for (; x + 2 <= w; x += 2, s += 4, d += 6) {
        YuvInt(s[0], s[1], s[3], d);
        YuvInt(s[2], s[1], s[3], d + 3);
      }
      if (x < w) YuvInt(s[0], s[1], s[3], d);
      continue;
    }
    // Y of each pixel of the group and the chroma pair of each pixel.
    int32_t Y[8], U[8], V[8];
    for (int32_t x = 0; x < w; x += gp, s += gb) {
      switch (I.Yuv) {
        case TYuv::IYU1:  // U Y0 Y1 V Y2 Y3
          Y[0] = s[1], Y[1] = s[2], Y[2] = s[4], Y[3] = s[5];
          std::fill_n(U, 4, s[0]), std::fill_n(V, 4, s[3]);
          break;
        case TYuv::IYU2:  // U Y V
          Y[0] = s[1], U[0] = s[0], V[0] = s[2];
          break;
        case TYuv::UYVY:
        case TYuv::Cyuv:  // U Y0 V Y1
          Y[0] = s[1], Y[1] = s[3], U[0] = U[1] = s[0], V[0] = V[1] = s[2];
          break;
        case TYuv::YUY2:  // Y0 U Y1 V
          Y[0] = s[0], Y[1] = s[2], U[0] = U[1] = s[1], V[0] = V[1] = s[3];
          break;
        case TYuv::YVYU:  // Y0 V Y1 U
          Y[0] = s[0], Y[1] = s[2], V[0] = V[1] = s[1], U[0] = U[1] = s[3];
          break;
        case TYuv::Y41P:  // U0 Y0 V0 Y1 U4 Y2 V4 Y3 Y4 Y5 Y6 Y7
          Y[0] = s[1], Y[1] = s[3], Y[2] = s[5], Y[3] = s[7];
          for (int j = 4; j < 8; ++j) Y[j] = s[4 + j];
          std::fill_n(U, 4, s[0]), std::fill_n(V, 4, s[2]);
          std::fill_n(U + 4, 4, s[4]), std::fill_n(V + 4, 4, s[6]);
          break;
        case TYuv::Y211:  // Y0 U Y2 V
          Y[0] = Y[1] = s[0], Y[2] = Y[3] = s[2];
          std::fill_n(U, 4, s[1]), std::fill_n(V, 4, s[3]);
          break;
        case TYuv::CLJR: {
          // 5-bit Y and 6-bit U, V widened to 8 bits.
          const uint32_t word = Le32(s);
          for (int j = 0; j < 4; ++j) Y[j] = static_cast<int32_t>((word >> (12 + 5 * j)) & 31) << 3;
          std::fill_n(U, 4, static_cast<int32_t>((word >> 6) & 63) << 2);
          std::fill_n(V, 4, static_cast<int32_t>(word & 63) << 2);
          break;
        }
        default:
          return;
      }
      // The last group of a row is cut at the row's end.
      const int32_t n = std::min(gp, w - x);
      for (int32_t j = 0; j < n; ++j) conv(Y[j], U[j], V[j], d + 3 * (x + j));
    }
  }
}

void ConvertPlanarYuv(const TDIBInfo& I, TPXBitmap* Bitmap) {
  const int32_t w = I.Width, h = I.Height;
  const int32_t div = I.Yuv == TYuv::YVU9 ? 4 : 2;
  const int64_t cw = w / div, ch = h / div;
  const uint8_t* yPlane = I.Rows.data();
  const uint8_t* second = yPlane + int64_t{w} * h;
  const uint8_t* third = second + cw * ch;
  const uint8_t* uPlane = I.Yuv == TYuv::I420 ? second : third;
  const uint8_t* vPlane = I.Yuv == TYuv::I420 ? third : second;
  // Chroma column of each pixel, kept inside its plane for sizes that are no multiple of div.
  std::vector<int32_t> cx(static_cast<size_t>(w));
  for (int32_t x = 0; x < w; ++x) cx[static_cast<size_t>(x)] = static_cast<int32_t>(std::min<int64_t>(x / div, cw - 1));
  for (int32_t k = 0; k < h; ++k) {
    const int64_t cy = std::min<int64_t>(k / div, ch - 1);
    const uint8_t* ys = yPlane + int64_t{w} * k;
    const uint8_t* us = uPlane + cw * cy;
    const uint8_t* vs = vPlane + cw * cy;
    uint8_t* d = Bitmap->Scanline(I.TopDown ? h - 1 - k : k);
    for (int32_t x = 0; x < w; ++x) {
      const int32_t c = cx[static_cast<size_t>(x)];
      YCbCrToRGB601(ys[x], us[c], vs[c], d + 3 * x);
    }
  }
}

// Width and shift that bring a 16-bit channel mask to 8 bits: the mask's lowest set bit goes to
// bit 0, then the value is widened or narrowed by shifting alone.
struct TChannel {
  uint32_t Mask = 0;
  int32_t Shift = 0;
  int32_t Width = 0;
  uint8_t Of(uint32_t Pixel) const {
    if (Width == 0) return 0;
    const uint32_t v = (Pixel & Mask) >> Shift;
    return static_cast<uint8_t>(Width >= 8 ? v >> (Width - 8) : v << (8 - Width));
  }
};
TChannel ChannelOf(uint32_t Mask) {
  TChannel c;
  Mask &= 0xFFFF;
  if (!Mask) return c;
  c.Mask = Mask;
  c.Shift = std::countr_zero(Mask);
  c.Width = std::bit_width(Mask >> c.Shift);
  return c;
}

bool ConvertRGB(const TDIBInfo& I, TPXBitmap* Bitmap) {
  const int32_t w = I.Width, h = I.Height;
  if (I.Compression == kBiRLE8 || I.Compression == kBiRLE4)
    return DecodeBmpRunLength(I.Rows, I.Compression == kBiRLE4, Bitmap,
                              std::span<const TRGB>(I.Palette, static_cast<size_t>(I.TableEntries)), I.TopDown);
  const int64_t rowBytes = (int64_t{w} * I.BitCount + 31) / 32 * 4;
  const TChannel red = ChannelOf(I.Masks[0]), green = ChannelOf(I.Masks[1]), blue = ChannelOf(I.Masks[2]);
  const bool flip = I.BitCount == 1 && I.FirstEntryRed == 255;
  const int32_t used1 = (w + 7) / 8;
  uint32_t palette32[256];
  for (int k = 0; k < 256; ++k)
    palette32[k] = I.Palette[k].b | uint32_t{I.Palette[k].g} << 8 | uint32_t{I.Palette[k].r} << 16;
  // Large 8-bit pictures look pixels up two at a time: a 512 KB table of every index pair's six
  // bytes, which stays in the second-level cache, halves the loads and stores per pixel.
  std::unique_ptr<uint64_t[]> pairs;
  if (I.BitCount == 8 && int64_t{w} * h >= kPairTableMinPixels) {
    pairs = std::make_unique_for_overwrite<uint64_t[]>(65536);
    for (uint32_t hi = 0; hi < 256; ++hi) {
      const uint64_t high = uint64_t{palette32[hi]} << 24;
      uint64_t* t = pairs.get() + (hi << 8);
      for (uint32_t lo = 0; lo < 256; ++lo) t[lo] = high | palette32[lo];
    }
  }
  for (int32_t k = 0; k < h; ++k) {
    const uint8_t* s = I.Rows.data() + rowBytes * k;
    uint8_t* d = Bitmap->Scanline(I.TopDown ? k : h - 1 - k);
    switch (I.BitCount) {
      case 1:
        std::memcpy(d, s, static_cast<size_t>(used1));
        if (flip)
          for (int32_t x = 0; x < used1; ++x) d[x] = static_cast<uint8_t>(~d[x]);
        break;
      case 4:
        for (int32_t x = 0; x < w; ++x) {
          const uint8_t b = s[x >> 1];
          reinterpret_cast<TRGB*>(d)[x] = I.Palette[(x & 1) ? (b & 15) : (b >> 4)];
        }
        break;
      case 8: {
        // Eight-byte stores of two pixels each, the next store overwriting the two spare bytes;
        // then four-byte stores likewise; the last pixel of the row is stored as three bytes.
        int32_t x = 0;
        if (pairs)
          for (; x + 10 <= w; x += 8) {
            uint64_t i;
            std::memcpy(&i, s + x, 8);
            const uint64_t t0 = pairs[i & 0xFFFF], t1 = pairs[(i >> 16) & 0xFFFF];
            const uint64_t t2 = pairs[(i >> 32) & 0xFFFF], t3 = pairs[i >> 48];
            std::memcpy(d + 3 * x, &t0, 8);
            std::memcpy(d + 3 * x + 6, &t1, 8);
            std::memcpy(d + 3 * x + 12, &t2, 8);
            std::memcpy(d + 3 * x + 18, &t3, 8);
          }
        for (; x + 1 < w; ++x) std::memcpy(d + 3 * x, &palette32[s[x]], 4);
        reinterpret_cast<TRGB*>(d)[x] = I.Palette[s[x]];
        break;
      }
      case 16:
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t v = Le16(s + 2 * x);
          d[3 * x] = blue.Of(v);
          d[3 * x + 1] = green.Of(v);
          d[3 * x + 2] = red.Of(v);
        }
        break;
      case 24:
        std::memcpy(d, s, static_cast<size_t>(w) * 3);
        break;
      case 32:
        for (int32_t x = 0; x < w; ++x) {
          d[3 * x] = s[4 * x];
          d[3 * x + 1] = s[4 * x + 1];
          d[3 * x + 2] = s[4 * x + 2];
        }
        break;
      default:
        return false;
    }
  }
  return true;
}

// The block of a pointer (Length bytes) or of a global memory handle (its size); locked while
// the object lives.
class TDIBBlock {
 public:
  TDIBBlock(const void* Header, bool IsPointer, size_t Length) {
    if (!Header) return;
    if (IsPointer) {
      data_ = std::span<const uint8_t>(static_cast<const uint8_t*>(Header), Length);
      return;
    }
    handle_ = const_cast<void*>(Header);
    const size_t size = GlobalSize(handle_);
    const auto* p = static_cast<const uint8_t*>(GlobalLock(handle_));
    if (!p) {
      handle_ = nullptr;
      return;
    }
    data_ = std::span<const uint8_t>(p, size);
  }
  ~TDIBBlock() {
    if (handle_) GlobalUnlock(handle_);
  }
  TDIBBlock(const TDIBBlock&) = delete;
  TDIBBlock& operator=(const TDIBBlock&) = delete;
  std::span<const uint8_t> Data() const { return data_; }

 private:
  HGLOBAL handle_ = nullptr;
  std::span<const uint8_t> data_;
};

// Converts a checked DIB into Bitmap (px1g for 1 bit, else px24RGB); false when it cannot.
bool ImportDIB(const TDIBInfo& I, TPXBitmap* Bitmap) {
  if (!Bitmap->Allocate(I.Width, I.Height, I.BitCount == 1 && I.Yuv == TYuv::None ? px1g : px24RGB)) return false;
  switch (I.Yuv) {
    case TYuv::None:
      return ConvertRGB(I, Bitmap);
    case TYuv::YVU9:
    case TYuv::YV12:
    case TYuv::I420:
      ConvertPlanarYuv(I, Bitmap);
      return true;
    default:
      ConvertPackedYuv(I, Bitmap);
      return true;
  }
}

}  // namespace

int32_t CopyDIBToBitmap(const void* Header, TPXBitmap* Bitmap, std::span<const uint8_t> Bits, bool HeaderIsPointer,
                        size_t Length) {
  if (!Bitmap) return 0;
  TDIBBlock block(Header, HeaderIsPointer, Length);
  auto info = std::make_unique<TDIBInfo>();
  if (!ParseDIB(block.Data(), Bits, *info) || !ImportDIB(*info, Bitmap)) {
    Bitmap->FreeImage();
    return 0;
  }
  if (TIOParams* params = Bitmap->GetParams()) {
    if (info->XPpm > 0) params->SetDpiX(static_cast<int32_t>(std::nearbyint(info->XPpm / 100.0 * 2.54)));
    if (info->YPpm > 0) params->SetDpiY(static_cast<int32_t>(std::nearbyint(info->YPpm / 100.0 * 2.54)));
  }
  return info->BitCount;
}

int32_t CopyDIBToDibBitmap(const void* DIB, TPXDibbitmap* Dest, std::span<const uint8_t> Bits, bool DIBIsPointer,
                           size_t Length) {
  if (!Dest) return 0;
  TDIBBlock block(DIB, DIBIsPointer, Length);
  auto info = std::make_unique<TDIBInfo>();
  if (!ParseDIB(block.Data(), Bits, *info)) return 0;
  // The DIB is converted by the importer above and its rows moved into the section, so both
  // routines read foreign data through one checked path.
  TPXBitmap picture;
  if (!ImportDIB(*info, &picture)) return 0;
  const bool mono = picture.PixelFormat() == px1g;
  if (!Dest->AllocateBits(info->Width, info->Height, mono ? 1 : 24)) return 0;
  const size_t bytes = mono ? (static_cast<size_t>(info->Width) + 7) / 8 : static_cast<size_t>(info->Width) * 3;
  for (int32_t y = 0; y < info->Height; ++y)
    std::memcpy(Dest->GetScanline(y), picture.Scanline(y), bytes);
  return info->BitCount;
}
