// Bitmaps and DIBs: device-dependent bitmaps, DIB sections, GetDIBits/SetDIBits, drawing
// packed DIBs, and packed DIBs to and from surfaces. Every header is checked (sizes, bit
// counts, colour-table counts, masks, the byte size of the pixels) before anything is read.
#include <cstring>
#include <limits>

#include "platform/gdi/GdiInternal.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int64_t kMaxDim = 1 << 24;
constexpr uint64_t kMaxBytes = 0x7FFFFFFF;

uint32_t Rd32(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint16_t Rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool Contiguous(uint32_t m) {
  if (m == 0) return false;
  while (!(m & 1)) m >>= 1;
  return (m & (m + 1)) == 0;
}
int32_t Shift(uint32_t m) {
  int32_t s = 0;
  while (m && !(m & 1)) { m >>= 1; ++s; }
  return s;
}
int32_t Bits(uint32_t m) {
  int32_t b = 0;
  for (; m; m >>= 1) b += m & 1;
  return b;
}

struct DibInfo {
  int32_t width = 0, height = 0;
  bool topDown = false;
  int32_t bitCount = 0;
  DWORD compression = BI_RGB;
  DWORD masks[4] = {0, 0, 0, 0};
  std::vector<TRGBQuad> colors;
  size_t headerBytes = 0;  // header + masks + colour table
  size_t rowBytes = 0;
  uint64_t imageBytes = 0;
  bool standard = true;  // surface formats can hold it directly
  bool is565 = false;
};

// Parses the header at p (avail bytes readable); dcPal resolves DIB_PAL_COLORS tables.
bool ParseDib(const uint8_t* p, size_t avail, UINT usage, const GdiPalette* dcPal, DibInfo& d) {
  if (!p || avail < 4) return false;
  if (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) return false;
  const uint32_t size = Rd32(p);
  if (size > avail) return false;
  int64_t w, h;
  uint32_t planes, bits, comp = BI_RGB, clrUsed = 0;
  bool core = false;
  if (size == 12) {
    core = true;
    w = Rd16(p + 4);
    h = Rd16(p + 6);
    planes = Rd16(p + 8);
    bits = Rd16(p + 10);
  } else if (size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124) {
    w = static_cast<int32_t>(Rd32(p + 4));
    h = static_cast<int32_t>(Rd32(p + 8));
    planes = Rd16(p + 12);
    bits = Rd16(p + 14);
    comp = Rd32(p + 16);
    clrUsed = Rd32(p + 32);
  } else {
    return false;
  }
  if (planes != 1) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (core && (bits == 16 || bits == 32)) return false;
  if (comp != BI_RGB && !(comp == BI_BITFIELDS && (bits == 16 || bits == 32))) return false;
  if (w <= 0 || w > kMaxDim || h == 0 || h > kMaxDim || h < -kMaxDim) return false;
  d.width = static_cast<int32_t>(w);
  d.topDown = h < 0;
  d.height = static_cast<int32_t>(h < 0 ? -h : h);
  d.bitCount = static_cast<int32_t>(bits);
  d.compression = comp;
  d.rowBytes = static_cast<size_t>(SurfaceRowBytes(d.width, d.bitCount));
  d.imageBytes = uint64_t(d.rowBytes) * uint64_t(d.height);
  if (d.imageBytes > kMaxBytes) return false;
  size_t off = size;
  if (comp == BI_BITFIELDS) {
    if (size == 40 || size == 64) {
      if (avail - off < 12) return false;
      for (int32_t i = 0; i < 3; ++i) d.masks[i] = Rd32(p + off + 4 * i);
      off += 12;
    } else {
      for (int32_t i = 0; i < 3; ++i) d.masks[i] = Rd32(p + 40 + 4 * i);
      if (size >= 56) d.masks[3] = Rd32(p + 52);
    }
    const uint64_t lim = bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    for (int32_t i = 0; i < 3; ++i)
      if (!Contiguous(d.masks[i]) || d.masks[i] > lim) return false;
    if ((d.masks[0] & d.masks[1]) || (d.masks[0] & d.masks[2]) || (d.masks[1] & d.masks[2])) return false;
    if (d.masks[3] && ((d.masks[3] & (d.masks[0] | d.masks[1] | d.masks[2])) || !Contiguous(d.masks[3]) ||
                       d.masks[3] > lim))
      d.masks[3] = 0;
    if (bits == 16) {
      d.is565 = d.masks[0] == 0xF800 && d.masks[1] == 0x07E0 && d.masks[2] == 0x001F;
      d.standard = d.is565 || (d.masks[0] == 0x7C00 && d.masks[1] == 0x03E0 && d.masks[2] == 0x001F);
    } else {
      d.standard = d.masks[0] == 0xFF0000 && d.masks[1] == 0xFF00 && d.masks[2] == 0xFF;
    }
  } else if (bits == 16) {
    d.masks[0] = 0x7C00; d.masks[1] = 0x03E0; d.masks[2] = 0x001F;
  } else if (bits == 32) {
    d.masks[0] = 0xFF0000; d.masks[1] = 0xFF00; d.masks[2] = 0xFF;
  }
  // Colour table: all entries for 1, 4 and 8 bits unless fewer are used; an optional table
  // for deeper formats is skipped.
  uint64_t entries;
  if (bits <= 8) {
    const uint32_t full = 1u << bits;
    if (clrUsed > full) return false;
    entries = clrUsed ? clrUsed : full;
  } else {
    if (clrUsed > 256) return false;
    entries = clrUsed;
  }
  const size_t entrySize = usage == DIB_PAL_COLORS ? 2 : (core ? 3 : 4);
  if (entries * entrySize > avail - off) return false;
  if (bits <= 8) {
    for (uint64_t i = 0; i < entries; ++i) {
      const uint8_t* e = p + off + i * entrySize;
      TRGBQuad q;
      if (usage == DIB_PAL_COLORS) {
        const uint16_t idx = Rd16(e);
        if (dcPal && idx < dcPal->entries.size()) {
          const auto& pe = dcPal->entries[idx];
          q = {pe.peBlue, pe.peGreen, pe.peRed, 0};
        }
      } else {
        q = {e[0], e[1], e[2], 0};
      }
      d.colors.push_back(q);
    }
  }
  off += static_cast<size_t>(entries * entrySize);
  d.headerBytes = off;
  return true;
}

// A surface over DIB bits (rows of the DIB, `rows` of them) or, for masks the surfaces cannot
// hold, a 32-bit copy.
std::unique_ptr<TSurface> DibView(const DibInfo& d, const uint8_t* bits, int32_t rows) {
  uint8_t* base = const_cast<uint8_t*>(bits);
  const int32_t rb = static_cast<int32_t>(d.rowBytes);
  auto view = d.topDown ? std::make_unique<TSurface>(base, rb, d.width, rows, d.bitCount)
                        : std::make_unique<TSurface>(base + static_cast<size_t>(rows - 1) * d.rowBytes, -rb,
                                                     d.width, rows, d.bitCount);
  if (d.bitCount == 16) view->SetIs565(d.is565);
  if (d.bitCount <= 8) {
    view->Palette() = d.colors;
    view->Palette().resize(size_t(1) << d.bitCount);
  }
  if (d.standard) return view;
  auto out = std::make_unique<TSurface>(d.width, rows, 32);
  int32_t sh[4], nb[4];
  for (int32_t i = 0; i < 4; ++i) {
    sh[i] = Shift(d.masks[i]);
    nb[i] = Bits(d.masks[i]);
  }
  auto chan = [&](uint32_t v, int32_t i) -> uint32_t {
    if (!d.masks[i]) return 0;
    const uint32_t x = (v & d.masks[i]) >> sh[i];
    const uint32_t maxv = nb[i] >= 32 ? 0xFFFFFFFFu : ((1u << nb[i]) - 1);
    return static_cast<uint32_t>((uint64_t(x) * 255 + maxv / 2) / maxv);
  };
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* r = view->Row(y);
    uint32_t* o = reinterpret_cast<uint32_t*>(out->Row(y));
    for (int32_t x = 0; x < d.width; ++x) {
      const uint32_t v = d.bitCount == 16 ? Rd16(r + x * 2) : Rd32(r + x * 4);
      o[x] = (chan(v, 3) << 24) | (chan(v, 0) << 16) | (chan(v, 1) << 8) | chan(v, 2);
    }
  }
  return out;
}

std::unique_ptr<TSurface> NewSurface(int32_t w, int32_t h, int32_t bits, bool bottomUp) {
  try {
    return std::make_unique<TSurface>(w, h, bits, bottomUp);
  } catch (const std::exception&) {
    return nullptr;
  }
}

HBITMAP AddBitmap(std::unique_ptr<TSurface> s, bool dib) {
  if (!s) return nullptr;
  auto b = std::make_shared<GdiBitmap>();
  b->surface = std::move(s);
  b->dibSection = dib;
  return static_cast<HBITMAP>(GdiAddObject(b));
}

HBITMAP MonoBitmap(int32_t w, int32_t h) {
  auto s = NewSurface(w, h, 1, false);
  if (!s) return nullptr;
  s->Palette() = GdiDefaultPalette(1);
  return AddBitmap(std::move(s), false);
}

std::shared_ptr<GdiBitmap> BitmapOf(HBITMAP h) { return GdiLookupAs<GdiBitmap>(h, GdiKind::Bitmap); }

int32_t DdbRowBytes(const TSurface& s) {
  const int32_t bpp = s.BitCount() == 15 ? 16 : s.BitCount();
  return static_cast<int32_t>(((int64_t(s.Width()) * bpp + 15) / 16) * 2);
}

// Writes the header fields of a surface's format into bmi (40-byte part).
void DescribeSurface(const TSurface& s, BITMAPINFOHEADER& h) {
  h.biWidth = s.Width();
  h.biHeight = s.Height();
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(s.BitCount() == 15 ? 16 : s.BitCount());
  h.biCompression = s.BitCount() == 16 && s.Is565() ? BI_BITFIELDS : BI_RGB;
  h.biSizeImage = static_cast<DWORD>(SurfaceRowBytes(s.Width(), h.biBitCount) * int64_t(s.Height()));
  h.biClrUsed = 0;
  h.biClrImportant = 0;
}

}  // namespace

HBITMAP CreateBitmap(int32_t w, int32_t h, UINT planes, UINT bits, const void* data) {
  if (w < 0 || h < 0 || w > kMaxDim || h > kMaxDim || planes != 1) return nullptr;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32) return nullptr;
  if (w == 0 || h == 0) return MonoBitmap(1, 1);
  if (uint64_t(SurfaceRowBytes(w, static_cast<int32_t>(bits))) * uint64_t(h) > kMaxBytes) return nullptr;
  auto s = NewSurface(w, h, static_cast<int32_t>(bits), false);
  if (!s) return nullptr;
  if (bits <= 8) s->Palette() = GdiDefaultPalette(static_cast<int32_t>(bits));
  if (data) {
    const int32_t rb = DdbRowBytes(*s);
    const int32_t copy = std::min(rb, SurfaceRowBytes(w, static_cast<int32_t>(bits)));
    for (int32_t y = 0; y < h; ++y)
      std::memcpy(s->Row(y), static_cast<const uint8_t*>(data) + static_cast<size_t>(y) * rb, static_cast<size_t>(copy));
  }
  return AddBitmap(std::move(s), false);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int32_t w, int32_t h) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || w < 0 || h < 0 || w > kMaxDim || h > kMaxDim) return nullptr;
  if (w == 0 || h == 0) return MonoBitmap(1, 1);
  if (uint64_t(w) * uint64_t(h) * 4 > kMaxBytes) return nullptr;
  if (dc->MonoDDB()) return MonoBitmap(w, h);
  return AddBitmap(NewSurface(w, h, 32, false), false);
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, void* section, DWORD) {
  if (bits) *bits = nullptr;
  if (!bmi || section) return nullptr;
  GdiDC* dc = hdc ? GdiGetDC(hdc) : nullptr;
  if (hdc && !dc) return nullptr;
  DibInfo d;
  // The caller's BITMAPINFO holds the whole colour table; its size follows from the header.
  if (!ParseDib(reinterpret_cast<const uint8_t*>(bmi), std::numeric_limits<size_t>::max() / 2, usage,
                dc ? dc->state.palette.get() : nullptr, d))
    return nullptr;
  if (!d.standard) return nullptr;
  auto s = NewSurface(d.width, d.height, d.bitCount, !d.topDown);
  if (!s) return nullptr;
  if (d.bitCount == 16) s->SetIs565(d.is565);
  if (d.bitCount <= 8) {
    s->Palette() = d.colors;
    s->Palette().resize(size_t(1) << d.bitCount);
  }
  auto b = std::make_shared<GdiBitmap>();
  b->surface = std::move(s);
  b->dibSection = true;
  b->dibHeader.biWidth = d.width;
  b->dibHeader.biHeight = d.topDown ? -d.height : d.height;
  b->dibHeader.biBitCount = static_cast<WORD>(d.bitCount);
  b->dibHeader.biCompression = d.compression;
  b->dibHeader.biSizeImage = static_cast<DWORD>(d.imageBytes);
  b->dibHeader.biClrUsed = d.bitCount <= 8 ? static_cast<DWORD>(d.colors.size()) : 0;
  if (d.compression == BI_BITFIELDS) std::memcpy(b->masks, d.masks, sizeof(b->masks));
  void* base = b->surface->BaseAddress();
  HBITMAP h = static_cast<HBITMAP>(GdiAddObject(b));
  if (h && bits) *bits = base;
  return h;
}

int32_t GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, void* bits, BITMAPINFO* bmi, UINT usage) {
  GdiDC* dc = GdiGetDC(hdc);
  auto bm = BitmapOf(hbm);
  if (!dc || !bm || !bmi || usage != DIB_RGB_COLORS) return 0;
  const TSurface& s = *bm->surface;
  BITMAPINFOHEADER& h = bmi->bmiHeader;
  if (h.biSize < 40) return 0;
  if (h.biBitCount == 0) {
    if (bits) return 0;
    DescribeSurface(s, h);
    return 1;
  }
  DibInfo d;
  BITMAPINFOHEADER probe = h;
  probe.biSize = 40;
  probe.biClrUsed = 0;
  if (probe.biCompression == BI_BITFIELDS) {
    // Masks follow the header in bmiColors.
    uint8_t buf[52];
    std::memcpy(buf, &probe, 40);
    std::memcpy(buf + 40, bmi->bmiColors, 12);
    if (!ParseDib(buf, sizeof(buf), DIB_RGB_COLORS, nullptr, d)) return 0;
  } else {
    // Room for a full colour table after the header: the parser reads the table's entries,
    // whose values are replaced below.
    std::vector<uint8_t> buf(40 + 4 * 256, 0);
    std::memcpy(buf.data(), &probe, 40);
    if (!ParseDib(buf.data(), buf.size(), DIB_RGB_COLORS, nullptr, d)) return 0;
  }
  if (!d.standard || d.width != s.Width() || d.height != s.Height()) return 0;
  // The colour table: the bitmap's own for the same depth, else a default one.
  std::vector<TRGBQuad> table;
  if (d.bitCount <= 8) {
    table = (s.BitCount() == d.bitCount && !s.Palette().empty()) ? s.Palette() : GdiDefaultPalette(d.bitCount);
    table.resize(size_t(1) << d.bitCount);
    std::memcpy(bmi->bmiColors, table.data(), table.size() * sizeof(RGBQUAD));
  }
  h.biSizeImage = static_cast<DWORD>(d.imageBytes);
  if (!bits) return 1;
  if (start >= static_cast<UINT>(d.height)) return 0;
  const int32_t n = static_cast<int32_t>(std::min<uint64_t>(lines, uint64_t(d.height) - start));
  if (n <= 0) return 0;
  DibInfo v = d;
  v.colors = table;
  auto view = DibView(v, static_cast<const uint8_t*>(bits), n);
  // Scan line start is the DIB's (from the bottom for bottom-up DIBs).
  const int32_t top = d.topDown ? static_cast<int32_t>(start) : d.height - static_cast<int32_t>(start) - n;
  GdiCopyConvert(s, TRect(0, top, s.Width(), top + n), *view, 0, 0);
  return n;
}

int32_t SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage) {
  GdiDC* dc = hdc ? GdiGetDC(hdc) : nullptr;
  auto bm = BitmapOf(hbm);
  if (!bm || !bmi || !bits) return 0;
  DibInfo d;
  if (!ParseDib(reinterpret_cast<const uint8_t*>(bmi), std::numeric_limits<size_t>::max() / 2, usage,
                dc ? dc->state.palette.get() : nullptr, d))
    return 0;
  TSurface& s = *bm->surface;
  if (start >= static_cast<UINT>(d.height)) return 0;
  const int32_t n = static_cast<int32_t>(std::min<uint64_t>(lines, uint64_t(d.height) - start));
  if (n <= 0) return 0;
  auto view = DibView(d, static_cast<const uint8_t*>(bits), n);
  const int32_t top = d.topDown ? static_cast<int32_t>(start) : d.height - static_cast<int32_t>(start) - n;
  // Rows of the DIB at top.. land on the same rows of the bitmap (clipped to it).
  const int32_t w = std::min(d.width, s.Width());
  const int32_t y0 = std::max(0, top), y1 = std::min(s.Height(), top + n);
  if (w > 0 && y1 > y0) GdiCopyConvert(*view, TRect(0, y0 - top, w, y1 - top), s, 0, y0);
  return n;
}

LONG GetBitmapBits(HBITMAP hbm, LONG size, void* bits) {
  auto bm = BitmapOf(hbm);
  if (!bm || size < 0) return 0;
  const TSurface& s = *bm->surface;
  const int32_t rb = DdbRowBytes(s);
  const int64_t total = int64_t(rb) * s.Height();
  if (!bits) return static_cast<LONG>(std::min<int64_t>(total, INT32_MAX));
  const int64_t n = std::min<int64_t>(size, total);
  const int32_t copy = std::min(rb, SurfaceRowBytes(s.Width(), s.BitCount()));
  for (int32_t y = 0; int64_t(y) * rb < n; ++y) {
    const int64_t room = n - int64_t(y) * rb;
    std::memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * rb, s.Row(y),
                static_cast<size_t>(std::min<int64_t>(room, copy)));
  }
  return static_cast<LONG>(n);
}

LONG SetBitmapBits(HBITMAP hbm, DWORD size, const void* bits) {
  auto bm = BitmapOf(hbm);
  if (!bm || !bits) return 0;
  TSurface& s = *bm->surface;
  const int32_t rb = DdbRowBytes(s);
  const int64_t total = int64_t(rb) * s.Height();
  const int64_t n = std::min<int64_t>(size, total);
  const int32_t copy = std::min(rb, SurfaceRowBytes(s.Width(), s.BitCount()));
  for (int32_t y = 0; int64_t(y) * rb < n; ++y) {
    const int64_t room = n - int64_t(y) * rb;
    std::memcpy(s.Row(y), static_cast<const uint8_t*>(bits) + static_cast<size_t>(y) * rb,
                static_cast<size_t>(std::min<int64_t>(room, copy)));
  }
  return static_cast<LONG>(n);
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !colors || !dc->Bitmap() || !dc->Bitmap()->dibSection) return 0;
  const auto& pal = dc->Surface()->Palette();
  if (dc->Surface()->BitCount() > 8 || start >= pal.size()) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(pal.size()) - start);
  std::copy_n(pal.begin() + start, n, colors);
  return n;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !colors || !dc->Bitmap() || !dc->Bitmap()->dibSection) return 0;
  auto& pal = dc->Surface()->Palette();
  if (dc->Surface()->BitCount() > 8 || start >= pal.size()) return 0;
  const UINT n = std::min<UINT>(count, static_cast<UINT>(pal.size()) - start);
  std::copy_n(colors, n, pal.begin() + start);
  return n;
}

// Draws a DIB view with a temporary memory DC as the source.
namespace {
int32_t DrawView(HDC hdc, TSurface& view, int32_t xd, int32_t yd, int32_t wd, int32_t hd, int32_t xs, int32_t ys,
                 int32_t ws, int32_t hs, DWORD rop, bool stretch) {
  HDC src = CreateSurfaceDC(&view);
  if (!src) return 0;
  // A 1-bit DIB is drawn with its colour table, as a colour source.
  BOOL ok = stretch ? StretchBlt(hdc, xd, yd, wd, hd, src, xs, ys, ws, hs, rop)
                    : BitBlt(hdc, xd, yd, wd, hd, src, xs, ys, rop);
  DeleteDC(src);
  return ok ? 1 : 0;
}
}  // namespace

int32_t StretchDIBits(HDC hdc, int32_t xd, int32_t yd, int32_t wd, int32_t hd, int32_t xs, int32_t ys, int32_t ws,
                      int32_t hs, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !bits || !bmi) return 0;
  DibInfo d;
  if (!ParseDib(reinterpret_cast<const uint8_t*>(bmi), std::numeric_limits<size_t>::max() / 2, usage,
                dc->state.palette.get(), d))
    return 0;
  if (std::abs(int64_t(ws)) > kMaxDim || std::abs(int64_t(hs)) > kMaxDim || std::abs(int64_t(ys)) > kMaxDim)
    return 0;
  auto view = DibView(d, static_cast<const uint8_t*>(bits), d.height);
  // The source rectangle of a bottom-up DIB is given from its lower-left corner.
  const int32_t top = d.topDown ? ys : d.height - ys - hs;
  if (!DrawView(hdc, *view, xd, yd, wd, hd, xs, top, ws, hs, rop, true)) return 0;
  return hs < 0 ? -hs : hs;
}

int32_t SetDIBitsToDevice(HDC hdc, int32_t xd, int32_t yd, DWORD w, DWORD h, int32_t xs, int32_t ys, UINT startScan,
                          UINT lines, const void* bits, const BITMAPINFO* bmi, UINT usage) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !bits || !bmi || w > kMaxDim || h > kMaxDim) return 0;
  DibInfo d;
  if (!ParseDib(reinterpret_cast<const uint8_t*>(bmi), std::numeric_limits<size_t>::max() / 2, usage,
                dc->state.palette.get(), d))
    return 0;
  if (startScan >= static_cast<UINT>(d.height) || lines == 0) return 0;
  const int32_t n = static_cast<int32_t>(std::min<uint64_t>(lines, uint64_t(d.height) - startScan));
  auto view = DibView(d, static_cast<const uint8_t*>(bits), n);
  const int32_t W = static_cast<int32_t>(w), H = static_cast<int32_t>(h);
  const int64_t s0 = startScan;
  // View row j holds scan s: bottom-up s = s0 + n - 1 - j, top-down s = s0 + j. The source
  // rectangle covers scans ys .. ys + H - 1 (counted from the bottom for bottom-up DIBs).
  // Worked out in 64 bits: every input may be near the ends of its range.
  int64_t j0, j1, dy;
  if (d.topDown) {
    const int64_t srcTop = int64_t(ys) - s0;  // view row of scan ys
    j0 = std::max<int64_t>(srcTop, 0);
    j1 = std::min<int64_t>(srcTop + H, n);
    dy = yd + (j0 - srcTop);
  } else {
    // Destination row for scan s: yd + (ys + H - 1 - s); view row j -> dstTop + j.
    const int64_t dstTop = int64_t(yd) + ys + H - s0 - n;
    j0 = std::max<int64_t>(0, yd - dstTop);
    j1 = std::min<int64_t>(n, int64_t(yd) + H - dstTop);
    dy = dstTop + j0;
  }
  if (j1 <= j0 || dy < INT32_MIN || dy > INT32_MAX) return 0;
  const auto rows = static_cast<int32_t>(j1 - j0);
  if (!DrawView(hdc, *view, xd, static_cast<int32_t>(dy), W, rows, xs, static_cast<int32_t>(j0), W, rows, SRCCOPY,
                false))
    return 0;
  return n;
}

size_t PackedDIBSize(const void* data, size_t size) {
  DibInfo d;
  if (!ParseDib(static_cast<const uint8_t*>(data), size, DIB_RGB_COLORS, nullptr, d)) return 0;
  if (d.imageBytes > size - d.headerBytes) return 0;
  return d.headerBytes + static_cast<size_t>(d.imageBytes);
}

std::unique_ptr<TSurface> SurfaceFromPackedDIB(const void* data, size_t size) {
  DibInfo d;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (!ParseDib(p, size, DIB_RGB_COLORS, nullptr, d)) return nullptr;
  if (d.imageBytes > size - d.headerBytes) return nullptr;
  auto view = DibView(d, p + d.headerBytes, d.height);
  const int32_t bits = d.standard ? d.bitCount : 32;
  auto out = NewSurface(d.width, d.height, bits, false);
  if (!out) return nullptr;
  if (bits == 16) out->SetIs565(d.is565);
  out->Palette() = view->Palette();
  const size_t copy = static_cast<size_t>(SurfaceRowBytes(d.width, bits));
  for (int32_t y = 0; y < d.height; ++y) std::memcpy(out->Row(y), view->Row(y), copy);
  return out;
}

std::vector<uint8_t> PackedDIBFromSurface(const TSurface& s) {
  std::vector<uint8_t> out;
  if (s.Width() <= 0 || s.Height() <= 0) return out;
  BITMAPINFOHEADER h;
  DescribeSurface(s, h);
  const int32_t bpp = h.biBitCount;
  size_t table = 0;
  std::vector<TRGBQuad> pal;
  if (bpp <= 8) {
    pal = s.Palette().empty() ? GdiDefaultPalette(bpp) : s.Palette();
    pal.resize(size_t(1) << bpp);
    table = pal.size() * 4;
  } else if (h.biCompression == BI_BITFIELDS) {
    table = 12;
  }
  const size_t rb = static_cast<size_t>(SurfaceRowBytes(s.Width(), bpp));
  out.assign(40 + table + rb * static_cast<size_t>(s.Height()), 0);
  std::memcpy(out.data(), &h, 40);
  if (bpp <= 8) {
    std::memcpy(out.data() + 40, pal.data(), table);
  } else if (table) {
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(out.data() + 40, masks, 12);
  }
  uint8_t* bits = out.data() + 40 + table;
  for (int32_t y = 0; y < s.Height(); ++y)
    std::memcpy(bits + static_cast<size_t>(s.Height() - 1 - y) * rb, s.Row(y), rb);
  return out;
}
