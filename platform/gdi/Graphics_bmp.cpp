// The DIB reader and writer behind TBitmap's BMP files and the images of icons and cursors.
// Every header field, size and offset is checked against the data before it is used.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/gdi/Graphics_internal.h"

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}

// A colour mask of BI_BITFIELDS: contiguous bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  bool Set(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    const uint32_t v = m >> shift;
    if ((v & (v + 1)) != 0) return false;  // not contiguous
    max = v;
    return true;
  }
  uint8_t Get(uint32_t px) const {
    if (!mask) return 0;
    const uint32_t v = (px & mask) >> shift;
    return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
  }
};

bool DecodeRLE(const uint8_t* d, size_t n, int32_t bpp, TDibImage& img) {
  // Rows are counted from the bottom; pixels outside the picture are dropped, and the data may
  // end without an end-of-bitmap code (the rest stays index 0).
  const int64_t w = img.Width, h = img.Height;
  int64_t x = 0, y = 0;
  auto put = [&](uint8_t v) {
    if (x < w && y < h) {
      uint8_t* row = img.Row(static_cast<int32_t>(h - 1 - y));
      if (bpp == 8) {
        row[x] = v;
      } else {
        uint8_t& b = row[x >> 1];
        b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | (v << 4));
      }
    }
    if (x < w) ++x;
  };
  size_t pos = 0;
  while (pos + 1 < n && y < h) {
    const uint8_t count = d[pos], code = d[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(bpp == 8 ? code : ((i & 1) ? (code & 0x0F) : (code >> 4)));
      continue;
    }
    if (code == 0) {  // end of line
      x = 0;
      ++y;
    } else if (code == 1) {  // end of bitmap
      break;
    } else if (code == 2) {  // delta
      if (pos + 1 >= n) break;
      x = std::min<int64_t>(x + d[pos], w);
      y += d[pos + 1];
      pos += 2;
    } else {  // absolute run, padded to a 16-bit boundary
      const size_t bytes = bpp == 8 ? code : (code + 1u) / 2u;
      if (bytes > n - pos) break;
      for (int i = 0; i < code; ++i) {
        const uint8_t b = d[pos + (bpp == 8 ? i : i / 2)];
        put(bpp == 8 ? b : ((i & 1) ? (b & 0x0F) : (b >> 4)));
      }
      pos += (bytes + 1) & ~size_t{1};
    }
  }
  return true;
}

}  // namespace

TPixelFormat TDibImage::Format() const {
  switch (BitCount) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16: return Is565 ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

bool DecodePackedDIB(const uint8_t* data, size_t size, size_t bitsOffset, TDibImage* out, bool icon,
                     std::vector<uint8_t>* andMask, size_t* consumed) {
  if (!data || !out || size < 12) return false;
  const uint32_t hdr = U32(data);
  const bool core = hdr == 12;
  if (!(core || hdr == 40 || hdr == 52 || hdr == 56 || hdr == 108 || hdr == 124)) return false;
  if (size < hdr) return false;

  int64_t width, height;
  uint32_t planes, bpp, compression = BI_RGB, sizeImage = 0, clrUsed = 0;
  if (core) {
    width = U16(data + 4);
    height = U16(data + 6);
    planes = U16(data + 8);
    bpp = U16(data + 10);
  } else {
    width = static_cast<int32_t>(U32(data + 4));
    height = static_cast<int32_t>(U32(data + 8));
    planes = U16(data + 12);
    bpp = U16(data + 14);
    compression = U32(data + 16);
    sizeImage = U32(data + 20);
    clrUsed = U32(data + 32);
  }
  if (planes != 1) return false;
  if (width <= 0 || height == 0) return false;
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (icon) {
    if (topDown || (height & 1)) return false;
    height /= 2;
  }
  if (height <= 0 || width > kMaxDibSide || height > kMaxDibSide || width * height > kMaxDibPixels) return false;
  if (core ? !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24)
           : !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32))
    return false;

  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  size_t tableStart = hdr;
  Channel r, g, b, a;
  bool bitfields = false;
  switch (compression) {
    case BI_RGB: break;
    case BI_RLE8:
      if (bpp != 8 || topDown || icon) return false;
      break;
    case BI_RLE4:
      if (bpp != 4 || topDown || icon) return false;
      break;
    case BI_BITFIELDS: {
      if (bpp != 16 && bpp != 32) return false;
      const uint8_t* m = data + 40;
      if (hdr == 40) {
        if (size < 52) return false;
        tableStart = 52;
      }
      if (!r.Set(U32(m)) || !g.Set(U32(m + 4)) || !b.Set(U32(m + 8))) return false;
      if (hdr >= 56 && !a.Set(U32(m + 12))) return false;
      if (!r.mask || !g.mask || !b.mask) return false;
      const uint64_t all = uint64_t{r.mask} | g.mask | b.mask | a.mask;
      if ((r.mask & g.mask) || (r.mask & b.mask) || (g.mask & b.mask) || ((r.mask | g.mask | b.mask) & a.mask))
        return false;
      if (bpp == 16 && (all >> 16)) return false;
      bitfields = true;
      break;
    }
    default: return false;  // JPEG, PNG and other compressions are not read
  }

  // Colour table: 2^bpp entries (or clrUsed) for palette images; a table after a true-colour
  // header is only skipped.
  uint64_t tableCount = 0;
  if (bpp <= 8) {
    tableCount = clrUsed ? clrUsed : (1u << bpp);
    if (tableCount > (1u << bpp)) return false;
  } else {
    tableCount = clrUsed;
    if (tableCount > 65536) return false;
  }
  const size_t entry = core ? 3 : 4;
  const uint64_t tableEnd = tableStart + tableCount * entry;
  if (tableEnd > size) return false;
  const uint64_t bitsStart = bitsOffset ? bitsOffset : tableEnd;
  if (bitsStart < tableEnd || bitsStart > size) return false;

  TDibImage img;
  img.Width = static_cast<int32_t>(width);
  img.Height = static_cast<int32_t>(height);
  if (bpp <= 8) {
    img.Colors.resize(static_cast<size_t>(tableCount));
    for (size_t i = 0; i < tableCount; ++i) {
      const uint8_t* e = data + tableStart + i * entry;
      img.Colors[i] = {e[0], e[1], e[2], 0};
    }
  }

  // The format stored: the same bits where a TBitmap format matches, else 32 bits.
  bool generic = false;
  img.BitCount = static_cast<int32_t>(bpp);
  if (bpp == 16) {
    if (!bitfields || (r.mask == 0x7C00 && g.mask == 0x03E0 && b.mask == 0x001F && !a.mask)) {
      img.Is565 = false;
    } else if (r.mask == 0xF800 && g.mask == 0x07E0 && b.mask == 0x001F && !a.mask) {
      img.Is565 = true;
    } else {
      generic = true;
      img.BitCount = 32;
    }
  } else if (bpp == 32 && bitfields &&
             !(r.mask == 0x00FF0000 && g.mask == 0x0000FF00 && b.mask == 0x000000FF &&
               (a.mask == 0 || a.mask == 0xFF000000u))) {
    generic = true;
  }
  const int64_t dstRow = img.RowBytes();
  if (dstRow <= 0) return false;
  const uint8_t* bits = data + bitsStart;
  const size_t avail = size - static_cast<size_t>(bitsStart);
  // Uncompressed pixels must all be there before the picture is allocated; run-length data may
  // describe more pixels than it has bytes, but not hundreds of megabytes in a few bytes.
  const uint64_t srcRow = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
  const uint64_t xorBytes = srcRow * static_cast<uint64_t>(height);
  if (!rle && xorBytes > avail) return false;
  if (rle && static_cast<uint64_t>(width) * static_cast<uint64_t>(height) >
                 std::max<uint64_t>(uint64_t{avail} * 4096, uint64_t{1} << 16))
    return false;
  try {
    img.Bits.assign(static_cast<size_t>(dstRow * height), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }

  size_t used = 0;
  if (rle) {
    size_t n = avail;
    if (sizeImage && sizeImage <= avail) n = sizeImage;
    DecodeRLE(bits, n, static_cast<int32_t>(bpp), img);
    used = n;
  } else {
    for (int64_t y = 0; y < height; ++y) {
      const uint8_t* src = bits + srcRow * static_cast<uint64_t>(topDown ? y : height - 1 - y);
      uint8_t* dst = img.Row(static_cast<int32_t>(y));
      if (!generic) {
        std::memcpy(dst, src, static_cast<size_t>(std::min<uint64_t>(srcRow, static_cast<uint64_t>(dstRow))));
        continue;
      }
      for (int64_t x = 0; x < width; ++x) {
        const uint32_t px = bpp == 16 ? U16(src + x * 2) : U32(src + x * 4);
        dst[x * 4] = b.Get(px);
        dst[x * 4 + 1] = g.Get(px);
        dst[x * 4 + 2] = r.Get(px);
        dst[x * 4 + 3] = a.Get(px);
      }
    }
    used = static_cast<size_t>(xorBytes);
    if (icon) {
      const uint64_t maskRow = ((static_cast<uint64_t>(width) + 31) / 32) * 4;
      const uint64_t maskBytes = maskRow * static_cast<uint64_t>(height);
      std::vector<uint8_t> mask(static_cast<size_t>(maskBytes), 0);
      if (maskBytes <= avail - xorBytes) {
        for (int64_t y = 0; y < height; ++y)
          std::memcpy(mask.data() + maskRow * y, bits + xorBytes + maskRow * static_cast<uint64_t>(height - 1 - y),
                      static_cast<size_t>(maskRow));
        used += static_cast<size_t>(maskBytes);
      } else if (img.BitCount == 32) {
        // Some writers leave out the mask of an image with alpha: transparent where alpha is 0.
        for (int64_t y = 0; y < height; ++y)
          for (int64_t x = 0; x < width; ++x)
            if (img.Row(static_cast<int32_t>(y))[x * 4 + 3] == 0)
              mask[maskRow * y + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else {
        return false;
      }
      if (andMask) *andMask = std::move(mask);
    }
  }
  if (consumed) *consumed = static_cast<size_t>(bitsStart) + used;
  *out = std::move(img);
  return true;
}

bool DecodeBMPFile(const uint8_t* data, size_t size, TDibImage* out, size_t* consumed) {
  if (!data || size < 14 + 12) return false;
  if (data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t offBits = U32(data + 10);
  if (offBits != 0 && (offBits < 14 + 12 || offBits > size)) return false;
  size_t used = 0;
  if (!DecodePackedDIB(data + 14, size - 14, offBits ? offBits - 14 : 0, out, false, nullptr, &used)) return false;
  if (consumed) *consumed = 14 + used;
  return true;
}

std::vector<uint8_t> EncodeBMPFile(const TDibImage& img) {
  const int32_t bpp = img.BitCount == 15 ? 16 : img.BitCount;
  const bool masks = bpp == 16 && img.Is565;
  uint32_t colors = 0;
  if (bpp <= 8) colors = static_cast<uint32_t>(std::clamp<size_t>(img.Colors.size(), 1, size_t{1} << bpp));
  const uint32_t rowBytes = static_cast<uint32_t>(SurfaceRowBytes(img.Width, bpp));
  const uint32_t imageSize = rowBytes * static_cast<uint32_t>(img.Height);
  const uint32_t offBits = 14 + 40 + (masks ? 12 : 0) + colors * 4;
  std::vector<uint8_t> v;
  v.reserve(offBits + imageSize);
  v.push_back('B');
  v.push_back('M');
  Put32(v, offBits + imageSize);
  Put32(v, 0);
  Put32(v, offBits);
  Put32(v, 40);
  Put32(v, static_cast<uint32_t>(img.Width));
  Put32(v, static_cast<uint32_t>(img.Height));
  Put16(v, 1);
  Put16(v, static_cast<uint32_t>(bpp));
  Put32(v, masks ? BI_BITFIELDS : BI_RGB);
  Put32(v, imageSize);
  Put32(v, 0);
  Put32(v, 0);
  Put32(v, colors < (1u << std::min(bpp, 31)) ? colors : 0);
  Put32(v, 0);
  if (masks) {
    Put32(v, 0xF800);
    Put32(v, 0x07E0);
    Put32(v, 0x001F);
  }
  for (uint32_t i = 0; i < colors; ++i) {
    const TRGBQuad q = i < img.Colors.size() ? img.Colors[i] : TRGBQuad{};
    v.push_back(q.rgbBlue);
    v.push_back(q.rgbGreen);
    v.push_back(q.rgbRed);
    v.push_back(0);
  }
  const int32_t srcRow = img.RowBytes();
  for (int32_t y = img.Height - 1; y >= 0; --y) {
    const uint8_t* row = img.Row(y);
    v.insert(v.end(), row, row + std::min<int32_t>(srcRow, static_cast<int32_t>(rowBytes)));
    for (int32_t i = srcRow; i < static_cast<int32_t>(rowBytes); ++i) v.push_back(0);
  }
  return v;
}
