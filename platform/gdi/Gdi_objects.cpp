// GDI objects: the generation-checked handle table, stock objects, creation, selection,
// deletion and description of pens, brushes, fonts and palettes.
#include <algorithm>
#include <cstring>

#include "platform/gdi/GdiInternal.h"
#include "platform/rtl/HandleTable.h"

namespace {

using GdiTable = THandleTable<GdiObject>;

// Never destroyed: icons, windows, pictures and other function-local statics that are torn down
// at exit may still delete or draw with GDI objects then, in whatever order the statics go.
GdiTable& Table() {
  static GdiTable* const t = std::make_unique<GdiTable>().release();
  return *t;
}

uintptr_t Id(const void* h) { return reinterpret_cast<uintptr_t>(h); }

std::shared_ptr<GdiPen> MakePen(DWORD style, int32_t width, COLORREF color) {
  auto p = std::make_shared<GdiPen>();
  p->style = style;
  p->width = width;
  p->color = color & 0x03FFFFFFu;
  return p;
}

std::shared_ptr<GdiBrush> MakeBrush(UINT style, COLORREF color, int32_t hatch = 0) {
  auto b = std::make_shared<GdiBrush>();
  b->style = style;
  b->color = color & 0x03FFFFFFu;
  b->hatch = hatch;
  return b;
}

std::shared_ptr<GdiFont> MakeFont(const char* face, LONG height, LONG weight, BYTE pitch) {
  auto f = std::make_shared<GdiFont>();
  f->lf.lfHeight = height;
  f->lf.lfWeight = weight;
  f->lf.lfCharSet = DEFAULT_CHARSET;
  f->lf.lfPitchAndFamily = pitch;
  std::strncpy(f->lf.lfFaceName, face, sizeof(f->lf.lfFaceName) - 1);
  return f;
}

struct StockObjects {
  HGDIOBJ objects[20] = {};
  HBITMAP bitmap = nullptr;
  StockObjects() {
    auto add = [&](int32_t i, std::shared_ptr<GdiObject> o) {
      o->stock = true;
      objects[i] = GdiAddObject(std::move(o));
    };
    add(WHITE_BRUSH, MakeBrush(BS_SOLID, 0xFFFFFF));
    add(LTGRAY_BRUSH, MakeBrush(BS_SOLID, 0xC0C0C0));
    add(GRAY_BRUSH, MakeBrush(BS_SOLID, 0x808080));
    add(DKGRAY_BRUSH, MakeBrush(BS_SOLID, 0x404040));
    add(BLACK_BRUSH, MakeBrush(BS_SOLID, 0x000000));
    add(NULL_BRUSH, MakeBrush(BS_NULL, 0));
    add(WHITE_PEN, MakePen(PS_SOLID, 0, 0xFFFFFF));
    add(BLACK_PEN, MakePen(PS_SOLID, 0, 0x000000));
    add(NULL_PEN, MakePen(PS_NULL, 0, 0));
    add(OEM_FIXED_FONT, MakeFont("Courier New", -13, FW_NORMAL, FIXED_PITCH | FF_MODERN));
    add(ANSI_FIXED_FONT, MakeFont("Courier New", -13, FW_NORMAL, FIXED_PITCH | FF_MODERN));
    add(ANSI_VAR_FONT, MakeFont("MS Sans Serif", -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS));
    add(SYSTEM_FONT, MakeFont("System", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS));
    add(DEVICE_DEFAULT_FONT, MakeFont("System", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS));
    add(SYSTEM_FIXED_FONT, MakeFont("Courier New", -13, FW_NORMAL, FIXED_PITCH | FF_MODERN));
    add(DEFAULT_GUI_FONT, MakeFont("Tahoma", -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS));
    {
      // The twenty static colours of the platform's default palette.
      static const uint8_t kDefault[20][3] = {
          {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
          {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
          {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
          {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
      auto pal = std::make_shared<GdiPalette>();
      for (const auto& c : kDefault) pal->entries.push_back({c[0], c[1], c[2], 0});
      add(DEFAULT_PALETTE, pal);
    }
    add(DC_BRUSH, MakeBrush(BS_SOLID, 0xFFFFFF));
    add(DC_PEN, MakePen(PS_SOLID, 0, 0));
    auto bm = std::make_shared<GdiBitmap>();
    bm->surface = std::make_unique<TSurface>(1, 1, 1);
    bm->surface->Palette() = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    bm->stock = true;
    bitmap = static_cast<HBITMAP>(GdiAddObject(bm));
  }
};

StockObjects& Stock() {
  static StockObjects s;
  return s;
}

void Retain(GdiObject* o) {
  if (o && !o->stock) ++o->selectCount;
}
void Release(GdiObject* o) {
  if (o && !o->stock && o->selectCount > 0) --o->selectCount;
}

}  // namespace

std::mutex& GdiSelectionLock() {
  static std::mutex lock;  // trivially destructible: usable at exit as the table is
  return lock;
}

HGDIOBJ GdiAddObject(std::shared_ptr<GdiObject> obj) {
  return reinterpret_cast<HGDIOBJ>(Table().Add(std::move(obj)));
}

std::shared_ptr<GdiObject> GdiLookup(HGDIOBJ h, GdiKind kind) {
  auto o = Table().Find(Id(h));
  if (!o || o->kind != kind) return nullptr;
  return o;
}

GdiDC* GdiGetDC(HDC dc) {
  // Every drawing call starts here: no lock and no share of ownership (a DC is used and deleted by
  // the code that made it).
  GdiObject* o = Table().FindUnowned(Id(dc));
  return o && o->kind == GdiKind::DC ? static_cast<GdiDC*>(o) : nullptr;
}

HBITMAP GdiStockBitmap() { return Stock().bitmap; }

HGDIOBJ GetStockObject(int32_t index) {
  if (index < 0 || index >= 20) return nullptr;
  return Stock().objects[index];
}

BOOL DeleteObject(HGDIOBJ obj) {
  std::shared_ptr<GdiObject> o;  // the object dies here, after the lock is released
  std::lock_guard<std::mutex> g(GdiSelectionLock());
  o = Table().Find(Id(obj));
  if (!o || o->kind == GdiKind::DC) return 0;
  if (o->stock) return 1;
  if (o->selectCount > 0) return 0;
  return Table().Remove(Id(obj)) ? 1 : 0;
}

DWORD GetObjectType(HGDIOBJ obj) {
  const auto held = Table().Find(Id(obj));
  GdiObject* o = held.get();
  if (!o) return 0;
  switch (o->kind) {
    case GdiKind::DC: return static_cast<GdiDC*>(o)->memoryDC ? OBJ_MEMDC : OBJ_DC;
    case GdiKind::Pen: return static_cast<GdiPen*>(o)->extended ? OBJ_EXTPEN : OBJ_PEN;
    case GdiKind::Brush: return OBJ_BRUSH;
    case GdiKind::Font: return OBJ_FONT;
    case GdiKind::Bitmap: return OBJ_BITMAP;
    case GdiKind::Region: return OBJ_REGION;
    case GdiKind::Palette: return OBJ_PAL;
    default: return 0;
  }
}

namespace {
template <class T>
int32_t CopyOut(const T& v, int32_t size, void* buffer) {
  if (!buffer) return static_cast<int32_t>(sizeof(T));
  if (size < static_cast<int32_t>(sizeof(T))) return 0;
  std::memcpy(buffer, &v, sizeof(T));
  return static_cast<int32_t>(sizeof(T));
}
}  // namespace

int32_t GetObject(HGDIOBJ obj, int32_t size, void* buffer) {
  if (size < 0) return 0;
  const auto o = Table().Find(Id(obj));
  if (!o) return 0;
  switch (o->kind) {
    case GdiKind::Pen: {
      auto* p = static_cast<GdiPen*>(o.get());
      if (!p->extended) {
        LOGPEN lp;
        lp.lopnStyle = p->style;
        lp.lopnWidth = {p->width, 0};
        lp.lopnColor = p->color;
        return CopyOut(lp, size, buffer);
      }
      const size_t entries = p->userStyle.size();
      const size_t need = offsetof(EXTLOGPEN, elpStyleEntry) + std::max<size_t>(entries, 1) * sizeof(DWORD);
      if (!buffer) return static_cast<int32_t>(need);
      if (static_cast<size_t>(size) < need) return 0;
      std::vector<uint8_t> tmp(need, 0);
      EXTLOGPEN head;
      head.elpPenStyle = p->style;
      head.elpWidth = static_cast<DWORD>(p->width);
      head.elpBrushStyle = BS_SOLID;
      head.elpColor = p->color;
      head.elpNumEntries = static_cast<DWORD>(entries);
      std::memcpy(tmp.data(), &head, offsetof(EXTLOGPEN, elpStyleEntry));
      if (entries) std::memcpy(tmp.data() + offsetof(EXTLOGPEN, elpStyleEntry), p->userStyle.data(), entries * 4);
      std::memcpy(buffer, tmp.data(), need);
      return static_cast<int32_t>(need);
    }
    case GdiKind::Brush: {
      auto* b = static_cast<GdiBrush*>(o.get());
      LOGBRUSH lb;
      lb.lbStyle = b->style;
      lb.lbColor = b->color;
      lb.lbHatch = b->style == BS_HATCHED ? static_cast<ULONG_PTR>(b->hatch) : 0;
      return CopyOut(lb, size, buffer);
    }
    case GdiKind::Font: return CopyOut(static_cast<GdiFont*>(o.get())->lf, size, buffer);
    case GdiKind::Palette: {
      const WORD n = static_cast<WORD>(static_cast<GdiPalette*>(o.get())->entries.size());
      return CopyOut(n, size, buffer);
    }
    case GdiKind::Bitmap: {
      auto* b = static_cast<GdiBitmap*>(o.get());
      const TSurface& s = *b->surface;
      BITMAP bm;
      bm.bmType = 0;
      bm.bmWidth = s.Width();
      bm.bmHeight = s.Height();
      bm.bmPlanes = 1;
      bm.bmBitsPixel = static_cast<WORD>(s.BitCount() == 15 ? 16 : s.BitCount());
      if (b->dibSection) {
        bm.bmWidthBytes = SurfaceRowBytes(s.Width(), bm.bmBitsPixel);
        bm.bmBits = s.Width() && s.Height() ? const_cast<TSurface&>(s).BaseAddress() : nullptr;
      } else {
        bm.bmWidthBytes = static_cast<LONG>(((static_cast<int64_t>(s.Width()) * bm.bmBitsPixel + 15) / 16) * 2);
      }
      if (b->dibSection && (size >= static_cast<int32_t>(sizeof(DIBSECTION)) || !buffer)) {
        DIBSECTION ds;
        ds.dsBm = bm;
        ds.dsBmih = b->dibHeader;
        std::memcpy(ds.dsBitfields, b->masks, sizeof(ds.dsBitfields));
        return CopyOut(ds, size, buffer);
      }
      return CopyOut(bm, size, buffer);
    }
    default: return 0;
  }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !obj) return nullptr;
  GdiDCState& st = dc->state;
  // Selecting what is selected changes nothing; a selected object cannot be deleted, so it is live.
  if (obj == st.hpen || obj == st.hbrush || obj == st.hfont || (obj == st.hbitmap && dc->memoryDC)) return obj;
  {
    const GdiObject* peek = Table().FindUnowned(Id(obj));
    if (!peek) return nullptr;
    if (peek->kind == GdiKind::Region) {
      const int32_t r = SelectClipRgn(hdc, static_cast<HRGN>(obj));
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(r));
    }
  }
  // Deletion happens under the selection lock too, so the object found here stays until selected
  // (and the table's own lock is not needed).
  std::lock_guard<std::mutex> g(GdiSelectionLock());
  GdiObject* found = Table().FindUnowned(Id(obj));
  if (!found || found->kind == GdiKind::Region) return nullptr;
  const std::shared_ptr<GdiObject> o = found->shared_from_this();
  auto swap = [&](auto& current, auto& handle, auto typed) -> HGDIOBJ {
    HGDIOBJ old = handle;
    Release(current.get());
    current = typed;
    handle = static_cast<std::remove_reference_t<decltype(handle)>>(obj);
    Retain(current.get());
    return old;
  };
  switch (o->kind) {
    case GdiKind::Pen: return swap(st.pen, st.hpen, std::static_pointer_cast<GdiPen>(o));
    case GdiKind::Brush: return swap(st.brush, st.hbrush, std::static_pointer_cast<GdiBrush>(o));
    case GdiKind::Font: return swap(st.font, st.hfont, std::static_pointer_cast<GdiFont>(o));
    case GdiKind::Bitmap: {
      if (!dc->memoryDC) return nullptr;
      if (st.bitmap == o) return obj;
      auto bm = std::static_pointer_cast<GdiBitmap>(o);
      if (!bm->stock && bm->owner && bm->owner != dc) return nullptr;  // held by another DC
      if (st.bitmap && !st.bitmap->stock) st.bitmap->owner = nullptr;
      if (!bm->stock) bm->owner = dc;
      HGDIOBJ old = swap(st.bitmap, st.hbitmap, bm);
      dc->InvalidateClip();
      return old;
    }
    default: return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->state.hpen;
    case OBJ_BRUSH: return dc->state.hbrush;
    case OBJ_FONT: return dc->state.hfont;
    case OBJ_BITMAP: return dc->memoryDC ? static_cast<HGDIOBJ>(dc->state.hbitmap) : nullptr;
    case OBJ_PAL: return dc->state.hpalette;
    default: return nullptr;
  }
}

// Internal: fills a fresh state with the default objects and retains them.
void GdiInitState(GdiDCState& st, bool memoryDC) {
  // Stock objects: never removed, never counted.
  StockObjects& s = Stock();
  GdiTable& t = Table();
  st.hpen = static_cast<HPEN>(s.objects[BLACK_PEN]);
  st.pen = std::static_pointer_cast<GdiPen>(t.Find(Id(st.hpen)));
  st.hbrush = static_cast<HBRUSH>(s.objects[WHITE_BRUSH]);
  st.brush = std::static_pointer_cast<GdiBrush>(t.Find(Id(st.hbrush)));
  st.hfont = static_cast<HFONT>(s.objects[SYSTEM_FONT]);
  st.font = std::static_pointer_cast<GdiFont>(t.Find(Id(st.hfont)));
  st.hpalette = static_cast<HPALETTE>(s.objects[DEFAULT_PALETTE]);
  st.palette = std::static_pointer_cast<GdiPalette>(t.Find(Id(st.hpalette)));
  if (memoryDC) {
    st.hbitmap = s.bitmap;
    st.bitmap = std::static_pointer_cast<GdiBitmap>(t.Find(Id(st.hbitmap)));
  }
}

// Internal: selection counts when states are swapped or dropped (caller holds no lock).
void GdiRetainState(const GdiDCState& st, int32_t delta) {
  std::lock_guard<std::mutex> g(GdiSelectionLock());
  GdiObject* objs[] = {st.pen.get(), st.brush.get(), st.font.get(), st.bitmap.get(), st.palette.get()};
  for (GdiObject* o : objs) delta > 0 ? Retain(o) : Release(o);
}

// Internal: makes dc the holder of the bitmap of a restored state; false if another DC has it.
bool GdiClaimBitmap(GdiDC* dc, GdiBitmap* restored) {
  std::lock_guard<std::mutex> g(GdiSelectionLock());
  if (!restored || restored->stock) return true;
  if (restored->owner && restored->owner != dc) return false;
  if (dc->state.bitmap && dc->state.bitmap.get() != restored && dc->state.bitmap->owner == dc)
    dc->state.bitmap->owner = nullptr;
  restored->owner = dc;
  return true;
}

// Internal: removes a DC handle.
bool GdiRemoveDC(HDC hdc) {
  std::shared_ptr<GdiObject> o;  // the DC dies here, after the lock is released
  std::lock_guard<std::mutex> g(GdiSelectionLock());
  o = Table().Find(Id(hdc));
  if (!o || o->kind != GdiKind::DC) return false;
  auto* dc = static_cast<GdiDC*>(o.get());
  // The current state and every saved one give up their selections.
  auto release = [](const GdiDCState& st) {
    GdiObject* objs[] = {st.pen.get(), st.brush.get(), st.font.get(), st.bitmap.get(), st.palette.get()};
    for (GdiObject* x : objs) Release(x);
  };
  release(dc->state);
  for (const GdiDCState& st : dc->saved) release(st);
  if (dc->state.bitmap && dc->state.bitmap->owner == dc) dc->state.bitmap->owner = nullptr;
  return Table().Remove(Id(hdc)) != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Pens, brushes, fonts, palettes

HPEN CreatePen(int32_t style, int32_t width, COLORREF color) {
  if (style < 0 || style > static_cast<int32_t>(PS_INSIDEFRAME)) return nullptr;
  if (width < 0) width = 0;
  // Styled pens wider than one pixel are solid.
  if (width > 1 && style >= static_cast<int32_t>(PS_DASH) && style <= static_cast<int32_t>(PS_DASHDOTDOT))
    style = PS_SOLID;
  return static_cast<HPEN>(GdiAddObject(MakePen(static_cast<DWORD>(style), width, color)));
}

HPEN CreatePenIndirect(const LOGPEN& lp) {
  return CreatePen(static_cast<int32_t>(lp.lopnStyle), lp.lopnWidth.X, lp.lopnColor);
}

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH& lb, DWORD styleCount, const DWORD* styles) {
  const DWORD type = style & PS_TYPE_MASK;
  const DWORD kind = style & PS_STYLE_MASK;
  if (type != PS_COSMETIC && type != PS_GEOMETRIC) return nullptr;
  if (kind > PS_ALTERNATE) return nullptr;
  if (type == PS_COSMETIC && (width != 1 || kind == PS_INSIDEFRAME)) return nullptr;
  if (type == PS_GEOMETRIC && kind == PS_ALTERNATE) return nullptr;
  if (width > 0x7FFFFFF) return nullptr;
  if (kind == PS_USERSTYLE) {
    if (styleCount == 0 || styleCount > 16 || !styles) return nullptr;
  } else if (styleCount != 0) {
    return nullptr;
  }
  if (lb.lbStyle != BS_SOLID && lb.lbStyle != BS_NULL && lb.lbStyle != BS_HATCHED) return nullptr;
  auto p = MakePen(style, static_cast<int32_t>(width), lb.lbColor);
  if (lb.lbStyle == BS_NULL) p->style = (style & ~PS_STYLE_MASK) | PS_NULL;
  p->extended = true;
  if (kind == PS_USERSTYLE) p->userStyle.assign(styles, styles + styleCount);
  return static_cast<HPEN>(GdiAddObject(p));
}

HBRUSH CreateSolidBrush(COLORREF color) { return static_cast<HBRUSH>(GdiAddObject(MakeBrush(BS_SOLID, color))); }

HBRUSH CreateHatchBrush(int32_t hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  return static_cast<HBRUSH>(GdiAddObject(MakeBrush(BS_HATCHED, color, hatch)));
}

HBRUSH CreatePatternBrush(HBITMAP hbm) {
  auto bm = GdiLookupAs<GdiBitmap>(hbm, GdiKind::Bitmap);
  if (!bm || !bm->surface || bm->surface->Width() <= 0 || bm->surface->Height() <= 0) return nullptr;
  const TSurface& s = *bm->surface;
  auto b = MakeBrush(BS_PATTERN, 0);
  b->monoPattern = bm->MonoDDB();
  // The pattern repeats the bitmap when it is smaller than 8x8.
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      const int32_t sx = x % s.Width(), sy = y % s.Height();
      if (b->monoPattern) {
        const uint8_t bit = (s.Row(sy)[sx >> 3] >> (7 - (sx & 7))) & 1;
        if (bit) b->monoBits[y] |= static_cast<uint8_t>(0x80 >> x);
      } else {
        b->colors[y * 8 + x] = s.GetPixel(sx, sy);
      }
    }
  }
  return static_cast<HBRUSH>(GdiAddObject(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH& lb) {
  switch (lb.lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lb.lbColor);
    case BS_NULL: return static_cast<HBRUSH>(GdiAddObject(MakeBrush(BS_NULL, 0)));
    case BS_HATCHED: return CreateHatchBrush(static_cast<int32_t>(lb.lbHatch), lb.lbColor);
    case BS_PATTERN:
    case BS_PATTERN8X8: return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb.lbHatch));
    default: return nullptr;
  }
}

HFONT CreateFontIndirect(const LOGFONT& lf) {
  auto f = std::make_shared<GdiFont>();
  f->lf = lf;
  f->lf.lfFaceName[sizeof(f->lf.lfFaceName) - 1] = 0;
  return static_cast<HFONT>(GdiAddObject(f));
}

HFONT CreateFont(int32_t height, int32_t width, int32_t escapement, int32_t orientation, int32_t weight,
                 DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfStrikeOut = strikeOut ? 1 : 0;
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName) std::strncpy(lf.lfFaceName, faceName, sizeof(lf.lfFaceName) - 1);
  return CreateFontIndirect(lf);
}

HPALETTE CreatePalette(const LOGPALETTE* lp) {
  if (!lp || lp->palVersion != 0x300 || lp->palNumEntries == 0) return nullptr;
  auto p = std::make_shared<GdiPalette>();
  p->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
  return static_cast<HPALETTE>(GdiAddObject(p));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE pal, BOOL) {
  GdiDC* dc = GdiGetDC(hdc);
  auto p = GdiLookupAs<GdiPalette>(pal, GdiKind::Palette);
  if (!dc || !p) return nullptr;
  std::lock_guard<std::mutex> g(GdiSelectionLock());
  HPALETTE old = dc->state.hpalette;
  Release(dc->state.palette.get());
  dc->state.palette = p;
  dc->state.hpalette = pal;
  Retain(p.get());
  return old;
}

UINT RealizePalette(HDC hdc) { return GdiGetDC(hdc) ? 0 : GDI_ERROR; }

UINT GetPaletteEntries(HPALETTE pal, UINT start, UINT count, PALETTEENTRY* entries) {
  auto p = GdiLookupAs<GdiPalette>(pal, GdiKind::Palette);
  if (!p) return 0;
  const UINT n = static_cast<UINT>(p->entries.size());
  if (!entries) return n;
  if (start >= n) return 0;
  const UINT c = std::min(count, n - start);
  std::copy_n(p->entries.begin() + start, c, entries);
  return c;
}

UINT SetPaletteEntries(HPALETTE pal, UINT start, UINT count, const PALETTEENTRY* entries) {
  auto p = GdiLookupAs<GdiPalette>(pal, GdiKind::Palette);
  if (!p || !entries) return 0;
  const UINT n = static_cast<UINT>(p->entries.size());
  if (start >= n) return 0;
  const UINT c = std::min(count, n - start);
  std::copy_n(entries, c, p->entries.begin() + start);
  return c;
}

UINT GetNearestPaletteIndex(HPALETTE pal, COLORREF color) {
  auto p = GdiLookupAs<GdiPalette>(pal, GdiKind::Palette);
  if (!p || p->entries.empty()) return CLR_INVALID;
  UINT best = 0;
  int64_t bestD = INT64_MAX;
  for (UINT i = 0; i < p->entries.size(); ++i) {
    const auto& e = p->entries[i];
    const int64_t dr = int64_t(e.peRed) - GetRValue(color), dg = int64_t(e.peGreen) - GetGValue(color),
                  db = int64_t(e.peBlue) - GetBValue(color);
    const int64_t d = dr * dr + dg * dg + db * db;
    if (d < bestD) { bestD = d; best = i; }
  }
  return best;
}
