// Icons and cursors: the handle table, creation from bitmaps and from ICO/CUR data, drawing, and
// loading of compiled-in resources.
#include "platform/gdi/WinIcons.h"

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/gdi/Graphics_internal.h"
#include "platform/rtl/Classes_streams.h"
#include "platform/rtl/HandleTable.h"
#include "platform/rtl/SysUtils.h"

namespace {

struct IconObject {
  bool isIcon = true;
  int32_t hotX = 0;
  int32_t hotY = 0;
  int32_t width = 0;
  int32_t height = 0;
  HBITMAP mask = nullptr;           // monochrome; twice the height without a colour image
  HBITMAP color = nullptr;          // 32-bit DIB section, or nullptr
  HBITMAP premul = nullptr;         // the colour image premultiplied, when it has alpha
  std::atomic<bool> shared{false};  // loaded shared or a system icon: never destroyed
  int32_t systemId = 0;
  std::mutex drawLock;  // the bitmaps are selected into DCs while drawing
  IconObject() = default;
  IconObject(const IconObject&) = delete;
  IconObject& operator=(const IconObject&) = delete;
  ~IconObject() {
    if (mask) DeleteObject(mask);
    if (color) DeleteObject(color);
    if (premul) DeleteObject(premul);
  }
};

struct IconTable {
  THandleTable<IconObject> icons;
  std::mutex lock;  // guards the maps of shared icons
  std::map<std::string, HICON> sharedByName;
  std::map<int32_t, HICON> system;
};

// Never destroyed (as the GDI object table is not): statics of the window layer and others may
// still destroy or draw icons and cursors while the program's statics are torn down at exit.
IconTable& Table() {
  static IconTable* const t = std::make_unique<IconTable>().release();
  return *t;
}

HICON AddIcon(std::shared_ptr<IconObject> obj) {
  return reinterpret_cast<HICON>(Table().icons.Add(std::move(obj)));
}

std::shared_ptr<IconObject> Lookup(HICON h) { return Table().icons.Find(reinterpret_cast<uintptr_t>(h)); }

// False for a bad handle; a shared icon stays (true).
bool Remove(HICON h) {
  bool shared = false;
  // The icon (and its bitmaps) goes when the returned pointer does, outside the table's lock.
  const bool removed = Table().icons.RemoveIf(reinterpret_cast<uintptr_t>(h), [&](const IconObject& o) {
    shared = o.shared;
    return !shared;
  }) != nullptr;
  return removed || shared;
}

// Device bitmap rows are 2-byte aligned.
int32_t MonoRowBytes(int32_t w) { return ((w + 15) / 16) * 2; }

// A monochrome device bitmap from top-down rows of rowBytes bytes (bit 7 leftmost, 1 = white).
HBITMAP MonoFromRows(int32_t w, int32_t h, const uint8_t* rows, int32_t rowBytes) {
  const int32_t rb = MonoRowBytes(w);
  std::vector<uint8_t> bits(static_cast<size_t>(rb) * h, 0);
  const int32_t n = std::min(rb, rowBytes);
  for (int32_t y = 0; y < h; ++y) std::memcpy(bits.data() + static_cast<size_t>(rb) * y, rows + static_cast<size_t>(rowBytes) * y, n);
  return CreateBitmap(w, h, 1, 1, bits.data());
}

// 1 where a bitmap's pixel is white (a monochrome bitmap's 1 bits, or a colour mask's white).
std::vector<uint8_t> MaskRowsOf(const TSurface& s, int32_t w, int32_t h) {
  const int32_t rb = SurfaceRowBytes(w, 1);
  std::vector<uint8_t> rows(static_cast<size_t>(rb) * h, 0);
  for (int32_t y = 0; y < h && y < s.Height(); ++y)
    for (int32_t x = 0; x < w && x < s.Width(); ++x)
      if ((s.GetPixel(x, y) & 0x00FFFFFF) == 0x00FFFFFF) rows[static_cast<size_t>(rb) * y + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
  return rows;
}

// Fills the premultiplied copy when the 32-bit colour image has any alpha.
void PreparePremultiplied(IconObject& ico) {
  TSurface* c = ico.color ? BitmapSurface(ico.color) : nullptr;
  if (!c) return;
  bool alpha = false;
  for (int32_t y = 0; y < c->Height() && !alpha; ++y)
    for (int32_t x = 0; x < c->Width(); ++x)
      if (c->Row(y)[x * 4 + 3]) {
        alpha = true;
        break;
      }
  if (!alpha) return;
  TSurface* p = nullptr;
  ico.premul = CreateDIBSectionOf(c->Width(), c->Height(), 32, false, {}, &p);
  if (!ico.premul) return;
  for (int32_t y = 0; y < c->Height(); ++y) {
    const uint8_t* s = c->Row(y);
    uint8_t* d = p->Row(y);
    for (int32_t x = 0; x < c->Width() * 4; x += 4) {
      const uint32_t a = s[x + 3];
      for (int i = 0; i < 3; ++i) d[x + i] = static_cast<uint8_t>((s[x + i] * a + 127) / 255);
      d[x + 3] = static_cast<uint8_t>(a);
    }
  }
}

// An icon from a decoded image and its AND mask rows (top-down, SurfaceRowBytes(w, 1) each).
HICON MakeIcon(const TDibImage& img, const std::vector<uint8_t>& andMask, bool isIcon, int32_t hotX, int32_t hotY) {
  auto ico = std::make_shared<IconObject>();
  ico->isIcon = isIcon;
  ico->width = img.Width;
  ico->height = img.Height;
  ico->hotX = isIcon ? img.Width / 2 : hotX;
  ico->hotY = isIcon ? img.Height / 2 : hotY;
  const int32_t mrb = SurfaceRowBytes(img.Width, 1);
  if (andMask.size() < static_cast<size_t>(mrb) * img.Height) return nullptr;
  if (img.BitCount == 1) {
    // Monochrome: AND rows above XOR rows in one bitmap of twice the height.
    std::vector<uint8_t> rows(static_cast<size_t>(mrb) * img.Height * 2, 0);
    std::memcpy(rows.data(), andMask.data(), static_cast<size_t>(mrb) * img.Height);
    bool inverted = false;  // a colour table with white first
    if (img.Colors.size() >= 2) {
      const auto lum = [](const TRGBQuad& q) { return q.rgbRed * 30 + q.rgbGreen * 59 + q.rgbBlue * 11; };
      inverted = lum(img.Colors[0]) > lum(img.Colors[1]);
    }
    for (int32_t y = 0; y < img.Height; ++y)
      for (int32_t i = 0; i < mrb; ++i)
        rows[static_cast<size_t>(mrb) * (img.Height + y) + i] = inverted ? static_cast<uint8_t>(~img.Row(y)[i]) : img.Row(y)[i];
    ico->mask = MonoFromRows(img.Width, img.Height * 2, rows.data(), mrb);
    if (!ico->mask) return nullptr;
    return AddIcon(std::move(ico));
  }
  ico->mask = MonoFromRows(img.Width, img.Height, andMask.data(), mrb);
  TSurface* c = nullptr;
  ico->color = CreateDIBSectionOf(img.Width, img.Height, 32, false, {}, &c);
  if (!ico->mask || !ico->color) return nullptr;
  if (img.BitCount == 32) {
    for (int32_t y = 0; y < img.Height; ++y) std::memcpy(c->Row(y), img.Row(y), static_cast<size_t>(img.Width) * 4);
  } else {
    TSurface* tmp = nullptr;
    HBITMAP t = CreateDIBFromImage(img, &tmp);
    if (!t) return nullptr;
    std::vector<uint32_t> row(static_cast<size_t>(img.Width));
    for (int32_t y = 0; y < img.Height; ++y) {
      ReadRowColors(*tmp, y, row.data());
      WriteRowColors(*c, y, row.data(), nullptr);
    }
    DeleteObject(t);
  }
  PreparePremultiplied(*ico);
  return AddIcon(std::move(ico));
}

bool IsPng(const uint8_t* p, size_t n) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return n >= 8 && std::memcmp(p, sig, 8) == 0;
}

// One image of an icon: a PNG or a DIB with doubled height and AND mask.
HICON IconFromImageData(const uint8_t* p, size_t n, bool isIcon, int32_t hotX, int32_t hotY) {
  if (!p || n == 0) return nullptr;
  TDibImage img;
  std::vector<uint8_t> mask;
  if (IsPng(p, n)) {
    if (n > 0x7FFFFFFF) return nullptr;
    QImage q = QImage::fromData(reinterpret_cast<const uchar*>(p), static_cast<int>(n), "PNG");
    if (q.isNull() || int64_t(q.width()) * q.height() > kMaxDibPixels) return nullptr;
    q = q.convertToFormat(QImage::Format_ARGB32);
    img.Width = q.width();
    img.Height = q.height();
    img.BitCount = 32;
    img.Bits.resize(static_cast<size_t>(img.RowBytes()) * img.Height);
    const int32_t mrb = SurfaceRowBytes(img.Width, 1);
    mask.assign(static_cast<size_t>(mrb) * img.Height, 0);
    for (int32_t y = 0; y < img.Height; ++y) {
      const auto* src = reinterpret_cast<const QRgb*>(q.constScanLine(y));
      uint8_t* d = img.Row(y);
      for (int32_t x = 0; x < img.Width; ++x) {
        d[x * 4] = static_cast<uint8_t>(qBlue(src[x]));
        d[x * 4 + 1] = static_cast<uint8_t>(qGreen(src[x]));
        d[x * 4 + 2] = static_cast<uint8_t>(qRed(src[x]));
        d[x * 4 + 3] = static_cast<uint8_t>(qAlpha(src[x]));
        if (qAlpha(src[x]) == 0) mask[static_cast<size_t>(mrb) * y + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
  } else if (!DecodePackedDIB(p, n, 0, &img, true, &mask, nullptr)) {
    return nullptr;
  }
  return MakeIcon(img, mask, isIcon, hotX, hotY);
}

std::shared_ptr<IconObject> CopyObject(const IconObject& src) {
  auto ico = std::make_shared<IconObject>();
  ico->isIcon = src.isIcon;
  ico->hotX = src.hotX;
  ico->hotY = src.hotY;
  ico->width = src.width;
  ico->height = src.height;
  if (TSurface* m = BitmapSurface(src.mask)) {
    const std::vector<uint8_t> rows = MaskRowsOf(*m, m->Width(), m->Height());
    ico->mask = MonoFromRows(m->Width(), m->Height(), rows.data(), SurfaceRowBytes(m->Width(), 1));
  }
  if (TSurface* c = src.color ? BitmapSurface(src.color) : nullptr) {
    TSurface* d = nullptr;
    ico->color = CreateDIBSectionOf(c->Width(), c->Height(), 32, false, {}, &d);
    if (ico->color)
      for (int32_t y = 0; y < c->Height(); ++y) std::memcpy(d->Row(y), c->Row(y), static_cast<size_t>(c->Width()) * 4);
  }
  if (!ico->mask || (src.color && !ico->color)) return nullptr;
  PreparePremultiplied(*ico);
  return ico;
}

// A system icon or cursor: a blank, fully transparent image that carries its id.
HICON SystemIcon(int32_t id, bool isIcon) {
  IconTable& t = Table();
  {
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.system.find(isIcon ? -id : id);
    if (it != t.system.end()) return it->second;
  }
  TDibImage img;
  img.Width = img.Height = DefaultIconSize;
  img.BitCount = 32;
  img.Bits.assign(static_cast<size_t>(img.RowBytes()) * img.Height, 0);
  std::vector<uint8_t> mask(static_cast<size_t>(SurfaceRowBytes(img.Width, 1)) * img.Height, 0xFF);
  HICON h = MakeIcon(img, mask, isIcon, 0, 0);
  if (!h) return nullptr;
  auto obj = Lookup(h);
  obj->systemId = id;
  HICON result;
  {
    std::lock_guard<std::mutex> g(t.lock);
    auto [it, inserted] = t.system.emplace(isIcon ? -id : id, h);
    if (inserted) obj->shared = true;
    result = it->second;
  }
  if (result != h) Remove(h);  // another thread was first
  return result;
}

bool ReadFileBytes(std::string_view name, std::vector<uint8_t>* out) {
  try {
    TFileStream fs(name, fmOpenRead | fmShareDenyWrite);
    const int64_t n = fs.Size();
    if (n <= 0 || n > (int64_t{1} << 30)) return false;
    out->resize(static_cast<size_t>(n));
    fs.ReadBuffer(out->data(), n);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

bool ParseIconDirectory(const void* data, size_t size, uint16_t* type, std::vector<TIconDirEntry>* entries) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (!p || size < 6) return false;
  const uint16_t reserved = static_cast<uint16_t>(p[0] | (p[1] << 8));
  const uint16_t t = static_cast<uint16_t>(p[2] | (p[3] << 8));
  const uint16_t count = static_cast<uint16_t>(p[4] | (p[5] << 8));
  if (reserved != 0 || (t != 1 && t != 2) || count == 0) return false;
  const uint64_t dirEnd = 6 + uint64_t{16} * count;
  if (dirEnd > size) return false;
  std::vector<TIconDirEntry> list;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* e = p + 6 + 16 * size_t{i};
    TIconDirEntry d;
    d.Width = e[0] ? e[0] : 256;
    d.Height = e[1] ? e[1] : 256;
    d.ColorCount = e[2];
    d.Planes = e[4] | (e[5] << 8);
    d.BitCount = e[6] | (e[7] << 8);
    d.BytesInRes = static_cast<uint32_t>(e[8] | (e[9] << 8) | (e[10] << 16)) | (static_cast<uint32_t>(e[11]) << 24);
    d.ImageOffset = static_cast<uint32_t>(e[12] | (e[13] << 8) | (e[14] << 16)) | (static_cast<uint32_t>(e[15]) << 24);
    if (d.BytesInRes < 8 || d.ImageOffset < dirEnd || uint64_t{d.ImageOffset} + d.BytesInRes > size) return false;
    list.push_back(d);
  }
  if (type) *type = t;
  if (entries) *entries = std::move(list);
  return true;
}

int32_t PickIconEntry(const std::vector<TIconDirEntry>& entries, int32_t cx, int32_t cy) {
  if (entries.empty()) return -1;
  int32_t best = -1;
  if (cx > 0 && cy > 0) {
    for (size_t i = 0; i < entries.size(); ++i) {
      const TIconDirEntry& e = entries[i];
      if (e.Width != cx || e.Height != cy) continue;
      const auto depth = [](const TIconDirEntry& d) { return d.BitCount ? d.BitCount : (d.ColorCount ? 4 : 8); };
      if (best < 0 || depth(e) > depth(entries[best])) best = static_cast<int32_t>(i);
    }
  }
  return best < 0 ? 0 : best;
}

HICON CreateIconFromResourceEx(const void* data, DWORD size, BOOL icon, DWORD, int32_t, int32_t, UINT) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (!p) return nullptr;
  if (icon) return IconFromImageData(p, size, true, 0, 0);
  // A cursor resource starts with its hot spot.
  if (size < 4) return nullptr;
  return IconFromImageData(p + 4, size - 4, false, p[0] | (p[1] << 8), p[2] | (p[3] << 8));
}

HICON CreateIconFromFileData(const void* data, size_t size, BOOL, int32_t cx, int32_t cy) {
  uint16_t type = 0;
  std::vector<TIconDirEntry> entries;
  if (!ParseIconDirectory(data, size, &type, &entries)) return nullptr;
  const TIconDirEntry& e = entries[static_cast<size_t>(PickIconEntry(entries, cx, cy))];
  const auto* p = static_cast<const uint8_t*>(data) + e.ImageOffset;
  return IconFromImageData(p, e.BytesInRes, type == 1, e.Planes, e.BitCount);
}

HICON CreateIconIndirect(const ICONINFO* info) {
  if (!info || !info->hbmMask) return nullptr;
  TSurface* m = BitmapSurface(info->hbmMask);
  TSurface* c = info->hbmColor ? BitmapSurface(info->hbmColor) : nullptr;
  if (!m || (info->hbmColor && !c)) return nullptr;
  TDibImage img;
  std::vector<uint8_t> andRows;
  if (c) {
    img.Width = c->Width();
    img.Height = c->Height();
    if (m->Width() < img.Width || m->Height() < img.Height) return nullptr;
    andRows = MaskRowsOf(*m, img.Width, img.Height);
    img.BitCount = 32;
    img.Bits.assign(static_cast<size_t>(img.RowBytes()) * img.Height, 0);
    if (c->BitCount() == 32) {
      for (int32_t y = 0; y < img.Height; ++y) std::memcpy(img.Row(y), c->Row(y), static_cast<size_t>(img.Width) * 4);
    } else {
      std::vector<uint32_t> row(static_cast<size_t>(img.Width));
      for (int32_t y = 0; y < img.Height; ++y) {
        ReadRowColors(*c, y, row.data());
        for (int32_t x = 0; x < img.Width; ++x) {
          img.Row(y)[x * 4] = GetBValue(row[x]);
          img.Row(y)[x * 4 + 1] = GetGValue(row[x]);
          img.Row(y)[x * 4 + 2] = GetRValue(row[x]);
        }
      }
    }
  } else {
    if (m->Height() < 2 || (m->Height() & 1)) return nullptr;
    img.Width = m->Width();
    img.Height = m->Height() / 2;
    const std::vector<uint8_t> all = MaskRowsOf(*m, img.Width, img.Height * 2);
    const size_t half = static_cast<size_t>(SurfaceRowBytes(img.Width, 1)) * img.Height;
    andRows.assign(all.begin(), all.begin() + static_cast<ptrdiff_t>(half));
    img.BitCount = 1;
    img.Colors = DefaultColorTable(1);
    img.Bits.assign(all.begin() + static_cast<ptrdiff_t>(half), all.end());
  }
  if (img.Width <= 0 || img.Height <= 0) return nullptr;
  return MakeIcon(img, andRows, info->fIcon != 0, static_cast<int32_t>(info->xHotspot),
                  static_cast<int32_t>(info->yHotspot));
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  auto ico = Lookup(icon);
  if (!ico || !info) return 0;
  auto copy = CopyObject(*ico);
  if (!copy) return 0;
  info->fIcon = ico->isIcon ? 1 : 0;
  info->xHotspot = static_cast<DWORD>(ico->hotX);
  info->yHotspot = static_cast<DWORD>(ico->hotY);
  info->hbmMask = copy->mask;
  info->hbmColor = copy->color;
  copy->mask = nullptr;  // handed to the caller
  copy->color = nullptr;
  return 1;
}

HICON CopyIcon(HICON icon) {
  auto ico = Lookup(icon);
  if (!ico) return nullptr;
  auto copy = CopyObject(*ico);
  return copy ? AddIcon(std::move(copy)) : nullptr;
}

HCURSOR CopyCursor(HCURSOR cursor) { return CopyIcon(cursor); }

BOOL DestroyIcon(HICON icon) { return Remove(icon) ? 1 : 0; }

BOOL DestroyCursor(HCURSOR cursor) { return Remove(cursor) ? 1 : 0; }

bool GetIconSize(HICON icon, int32_t* width, int32_t* height) {
  auto ico = Lookup(icon);
  if (!ico) return false;
  if (width) *width = ico->width;
  if (height) *height = ico->height;
  return true;
}

int32_t GetSystemIconId(HICON icon) {
  auto ico = Lookup(icon);
  return ico ? ico->systemId : 0;
}

BOOL DrawIcon(HDC dc, int32_t x, int32_t y, HICON icon) {
  return DrawIconEx(dc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL | DI_DEFAULTSIZE);
}

BOOL DrawIconEx(HDC dc, int32_t x, int32_t y, HICON icon, int32_t cx, int32_t cy, UINT, HBRUSH flickerFreeDraw,
                UINT flags) {
  auto ico = Lookup(icon);
  if (!ico || !(flags & DI_NORMAL) || GetObjectType(dc) == 0) return 0;
  const int32_t w = cx > 0 ? cx : (flags & DI_DEFAULTSIZE) ? DefaultIconSize : ico->width;
  const int32_t h = cy > 0 ? cy : (flags & DI_DEFAULTSIZE) ? DefaultIconSize : ico->height;
  if (flickerFreeDraw) FillRect(dc, Bounds(x, y, w, h), flickerFreeDraw);
  std::lock_guard<std::mutex> g(ico->drawLock);
  const COLORREF text = SetTextColor(dc, 0);
  const COLORREF back = SetBkColor(dc, 0xFFFFFF);
  const int32_t mode = SetStretchBltMode(dc, COLORONCOLOR);
  HDC maskDC = CreateCompatibleDC(nullptr);
  HGDIOBJ oldMask = SelectObject(maskDC, ico->mask);
  const int32_t iw = ico->width, ih = ico->height;
  BOOL ok = 1;
  if (!ico->color) {
    // Monochrome: the AND half on top, the XOR half below.
    if ((flags & DI_NORMAL) == DI_NORMAL) {
      ok = StretchBlt(dc, x, y, w, h, maskDC, 0, 0, iw, ih, SRCAND);
      ok = StretchBlt(dc, x, y, w, h, maskDC, 0, ih, iw, ih, SRCINVERT) && ok;
    } else {
      ok = StretchBlt(dc, x, y, w, h, maskDC, 0, (flags & DI_MASK) ? 0 : ih, iw, ih, SRCCOPY);
    }
  } else {
    const bool normal = (flags & DI_NORMAL) == DI_NORMAL;
    HBITMAP image = normal && ico->premul ? ico->premul : ico->color;
    HDC colorDC = CreateCompatibleDC(nullptr);
    HGDIOBJ oldColor = SelectObject(colorDC, image);
    if (normal && ico->premul) {
      BLENDFUNCTION bf;
      bf.AlphaFormat = AC_SRC_ALPHA;
      ok = AlphaBlend(dc, x, y, w, h, colorDC, 0, 0, iw, ih, bf);
    } else if (normal) {
      ok = StretchBlt(dc, x, y, w, h, maskDC, 0, 0, iw, ih, SRCAND);
      ok = StretchBlt(dc, x, y, w, h, colorDC, 0, 0, iw, ih, SRCINVERT) && ok;
    } else if (flags & DI_MASK) {
      ok = StretchBlt(dc, x, y, w, h, maskDC, 0, 0, iw, ih, SRCCOPY);
    } else {
      ok = StretchBlt(dc, x, y, w, h, colorDC, 0, 0, iw, ih, SRCCOPY);
    }
    SelectObject(colorDC, oldColor);
    DeleteDC(colorDC);
  }
  SelectObject(maskDC, oldMask);
  DeleteDC(maskDC);
  if (mode) SetStretchBltMode(dc, mode);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
  return ok;
}

std::vector<uint8_t> IconToIcoData(HICON icon) {
  auto ico = Lookup(icon);
  if (!ico) return {};
  std::vector<uint8_t> out;
  auto put16 = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  TSurface* m = BitmapSurface(ico->mask);
  TSurface* c = ico->color ? BitmapSurface(ico->color) : nullptr;
  if (!m || (ico->color && !c)) return {};
  const int32_t w = ico->width, h = ico->height;
  const bool mono = c == nullptr;
  const int32_t bpp = mono ? 1 : 32;
  const uint32_t xorRow = static_cast<uint32_t>(SurfaceRowBytes(w, bpp));
  const uint32_t andRow = static_cast<uint32_t>(SurfaceRowBytes(w, 1));
  const uint32_t colors = mono ? 2 : 0;
  const uint32_t bytes = 40 + colors * 4 + (xorRow + andRow) * static_cast<uint32_t>(h);
  const std::vector<uint8_t> maskRows = MaskRowsOf(*m, w, mono ? h * 2 : h);
  put16(0);
  put16(ico->isIcon ? 1 : 2);
  put16(1);
  out.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
  out.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
  out.push_back(static_cast<uint8_t>(colors));
  out.push_back(0);
  put16(ico->isIcon ? 1 : static_cast<uint32_t>(ico->hotX));
  put16(ico->isIcon ? static_cast<uint32_t>(bpp) : static_cast<uint32_t>(ico->hotY));
  put32(bytes);
  put32(22);
  put32(40);
  put32(static_cast<uint32_t>(w));
  put32(static_cast<uint32_t>(h * 2));
  put16(1);
  put16(static_cast<uint32_t>(bpp));
  put32(BI_RGB);
  put32((xorRow + andRow) * static_cast<uint32_t>(h));
  put32(0);
  put32(0);
  put32(colors);
  put32(0);
  if (mono) {
    put32(0x000000);
    put32(0xFFFFFF);
  }
  for (int32_t y = h - 1; y >= 0; --y) {
    if (mono) {
      const uint8_t* r = maskRows.data() + static_cast<size_t>(andRow) * (h + y);
      out.insert(out.end(), r, r + andRow);
    } else {
      const uint8_t* r = c->Row(y);
      out.insert(out.end(), r, r + xorRow);
    }
  }
  for (int32_t y = h - 1; y >= 0; --y) {
    const uint8_t* r = maskRows.data() + static_cast<size_t>(andRow) * y;
    out.insert(out.end(), r, r + andRow);
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Loading

HANDLE LoadImage(uintptr_t, std::string_view name, UINT type, int32_t cx, int32_t cy, UINT flags) {
  if (type > IMAGE_CURSOR) return nullptr;
  const char* resType = type == IMAGE_BITMAP ? RT_BITMAP : type == IMAGE_ICON ? RT_ICON : RT_CURSOR;
  const bool shared = (flags & LR_SHARED) && type != IMAGE_BITMAP && !(flags & LR_LOADFROMFILE);
  if ((flags & LR_DEFAULTSIZE) && type != IMAGE_BITMAP) {
    if (cx == 0) cx = DefaultIconSize;
    if (cy == 0) cy = DefaultIconSize;
  }
  const std::string key = std::string(resType) + "/" + UpperCase(name) + "/" + std::to_string(cx) + "x" + std::to_string(cy);
  if (shared) {
    IconTable& t = Table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.sharedByName.find(key);
    if (it != t.sharedByName.end()) return it->second;
  }
  std::vector<uint8_t> file;
  const uint8_t* p = nullptr;
  size_t n = 0;
  if (flags & LR_LOADFROMFILE) {
    if (!ReadFileBytes(name, &file)) return nullptr;
    p = file.data();
    n = file.size();
  } else {
    const TResourceEntry* e = FindResourceData(name, resType);
    if (!e) return nullptr;
    p = e->Data;
    n = e->Size;
  }
  if (type == IMAGE_BITMAP) {
    TDibImage img;
    const bool ok = n >= 2 && p[0] == 'B' && p[1] == 'M' ? DecodeBMPFile(p, n, &img, nullptr)
                                                         : DecodePackedDIB(p, n, 0, &img, false, nullptr, nullptr);
    if (!ok) return nullptr;
    if (flags & LR_CREATEDIBSECTION) return CreateDIBFromImage(img, nullptr);
    TSurface* s = nullptr;
    HBITMAP dib = CreateDIBFromImage(img, &s);
    if (!dib) return nullptr;
    HBITMAP ddb = nullptr;
    if (img.BitCount == 1) {
      const std::vector<uint8_t> rows = MaskRowsOf(*s, img.Width, img.Height);
      ddb = MonoFromRows(img.Width, img.Height, rows.data(), SurfaceRowBytes(img.Width, 1));
    } else {
      std::vector<uint8_t> bits(static_cast<size_t>(img.Width) * 4 * img.Height, 0);
      std::vector<uint32_t> row(static_cast<size_t>(img.Width));
      for (int32_t y = 0; y < img.Height; ++y) {
        ReadRowColors(*s, y, row.data());
        uint8_t* d = bits.data() + static_cast<size_t>(img.Width) * 4 * y;
        for (int32_t x = 0; x < img.Width; ++x) {
          d[x * 4] = GetBValue(row[x]);
          d[x * 4 + 1] = GetGValue(row[x]);
          d[x * 4 + 2] = GetRValue(row[x]);
        }
      }
      ddb = CreateBitmap(img.Width, img.Height, 1, 32, bits.data());
    }
    DeleteObject(dib);
    return ddb;
  }
  HICON h = CreateIconFromFileData(p, n, type == IMAGE_ICON, cx, cy);
  if (!h || !shared) return h;
  auto obj = Lookup(h);
  HICON result;
  {
    IconTable& t = Table();
    std::lock_guard<std::mutex> g(t.lock);
    auto [it, inserted] = t.sharedByName.emplace(key, h);
    if (inserted) obj->shared = true;
    result = it->second;
  }
  if (result != h) Remove(h);  // another thread was first
  return result;
}

HBITMAP LoadBitmap(uintptr_t instance, std::string_view name) {
  return static_cast<HBITMAP>(LoadImage(instance, name, IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

HICON LoadIcon(uintptr_t instance, std::string_view name) {
  return static_cast<HICON>(LoadImage(instance, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HCURSOR LoadCursor(uintptr_t instance, std::string_view name) {
  return static_cast<HCURSOR>(LoadImage(instance, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HICON LoadIcon(uintptr_t instance, int32_t id) {
  if (instance == 0 && id >= IDI_APPLICATION && id <= IDI_SHIELD) return SystemIcon(id, true);
  return LoadIcon(instance, std::to_string(id));
}

HCURSOR LoadCursor(uintptr_t instance, int32_t id) {
  if (instance == 0 && id >= IDC_ARROW && id <= IDC_HELP) return SystemIcon(id, false);
  return LoadCursor(instance, std::to_string(id));
}
