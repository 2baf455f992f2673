// Internals of the device-context layer shared by the gdi source files (objects, DC state, the
// pixel core's entry points). Not for use outside platform/gdi.
//
// Contract for drawing code outside the core (text):
//   GdiDC* dc = GdiGetDC(hdc);              // null for a stale or wrong handle
//   TSurface* s = dc->Surface();            // never null; may be 0x0 (then nothing draws)
//   dc->state.textColor, bkColor, bkMode, textAlign, textCharExtra, curPos (logical),
//   dc->state.font->lf (LOGFONT of the selected font), mapping and world transform fields;
//   GdiLPtoDP / GdiLPtoDPf map logical to device coordinates;
//   GdiBlendMask(dc, x, y, mask) blends a 0..255 coverage mask of a colour at device (x, y)
//   through the clip; GdiFillDeviceRect(dc, r, colour) fills a device rectangle through the clip.
// Neither takes the ROP2 into account (text ignores it, as the platform's does).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gdi/GdiRegionData.h"
#include "platform/gdi/Surface.h"
#include "platform/gdi/WinGdi.h"

enum class GdiKind : uint8_t { None, DC, Pen, Brush, Font, Bitmap, Region, Palette };

// Objects are always owned by shared pointers (the table's and the selecting DCs'), so a lookup
// made under GdiSelectionLock, where nothing is removed, can take its share from the object.
struct GdiObject : std::enable_shared_from_this<GdiObject> {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  const GdiKind kind;
  bool stock = false;
  int32_t selectCount = 0;  // current selections in live DCs (guarded by GdiSelectionLock)
};

struct GdiPen : GdiObject {
  GdiPen() : GdiObject(GdiKind::Pen) {}
  DWORD style = PS_SOLID;  // full style word (type, end cap, join, style)
  int32_t width = 0;       // logical units; 0 is one device pixel
  COLORREF color = 0;
  bool extended = false;   // made by ExtCreatePen
  std::vector<DWORD> userStyle;
  int32_t Style() const { return static_cast<int32_t>(style & PS_STYLE_MASK); }
};

struct GdiBrush : GdiObject {
  GdiBrush() : GdiObject(GdiKind::Brush) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int32_t hatch = 0;
  // BS_PATTERN: 8x8 pattern. A monochrome pattern keeps its bits (0 -> text colour,
  // 1 -> background colour when drawn); a colour pattern keeps RGB colours.
  bool monoPattern = false;
  uint8_t monoBits[8] = {};  // bit 7 is the leftmost pixel
  COLORREF colors[64] = {};
};

// Free for the text module: a realised font cached on the logical font object.
struct GdiFontCache {
  virtual ~GdiFontCache() = default;
};

struct GdiFont : GdiObject {
  GdiFont() : GdiObject(GdiKind::Font) {}
  LOGFONT lf;
  std::mutex cacheLock;
  std::shared_ptr<GdiFontCache> cache;  // guarded by cacheLock
};

struct GdiBitmap : GdiObject {
  GdiBitmap() : GdiObject(GdiKind::Bitmap) {}
  std::unique_ptr<TSurface> surface;
  bool dibSection = false;  // a DIB section (colour table used for 1-bit as well)
  BITMAPINFOHEADER dibHeader;
  DWORD masks[3] = {0, 0, 0};
  const void* owner = nullptr;  // the DC that currently holds it (guarded by GdiSelectionLock)
  // Monochrome device-dependent bitmap: drawn and blitted by the text/background colour rule.
  bool MonoDDB() const { return !dibSection && surface && surface->BitCount() == 1; }
};

struct GdiRegion : GdiObject {
  GdiRegion() : GdiObject(GdiKind::Region) {}
  GdiRegionData rgn;
};

struct GdiPalette : GdiObject {
  GdiPalette() : GdiObject(GdiKind::Palette) {}
  std::vector<PALETTEENTRY> entries;
};

// Affine transform: x' = x*m11 + y*m21 + dx, y' = x*m12 + y*m22 + dy.
struct GdiXform {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  bool IsIdentity() const { return m11 == 1 && m12 == 0 && m21 == 0 && m22 == 1 && dx == 0 && dy == 0; }
};

struct GdiDCState {
  std::shared_ptr<GdiPen> pen;
  HPEN hpen = nullptr;
  std::shared_ptr<GdiBrush> brush;
  HBRUSH hbrush = nullptr;
  std::shared_ptr<GdiFont> font;
  HFONT hfont = nullptr;
  std::shared_ptr<GdiBitmap> bitmap;  // memory DCs only
  HBITMAP hbitmap = nullptr;
  std::shared_ptr<GdiPalette> palette;
  HPALETTE hpalette = nullptr;

  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int32_t bkMode = OPAQUE;
  int32_t rop2 = R2_COPYPEN;
  int32_t stretchMode = BLACKONWHITE;
  int32_t polyFillMode = ALTERNATE;
  UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
  int32_t textCharExtra = 0;
  int32_t arcDirection = AD_COUNTERCLOCKWISE;
  TPoint brushOrg;  // device
  TPoint curPos;    // logical
  COLORREF dcBrushColor = 0xFFFFFF;
  COLORREF dcPenColor = 0x000000;

  int32_t mapMode = MM_TEXT;
  TPoint windowOrg;
  TSize windowExt{1, 1};
  TPoint viewportOrg;
  TSize viewportExt{1, 1};
  int32_t graphicsMode = GM_COMPATIBLE;
  GdiXform world;

  // Clip region in device coordinates; null = no clipping.
  std::shared_ptr<const GdiRegionData> clip;
};

struct GdiDC : GdiObject {
  GdiDC() : GdiObject(GdiKind::DC) {}
  bool memoryDC = false;
  bool screenDC = false;
  TSurface* external = nullptr;       // CreateSurfaceDC / screen: the surface drawn on
  std::unique_ptr<TSurface> private1x1;  // memory DC without a bitmap: the default 1x1 mono
  GdiDCState state;
  std::vector<GdiDCState> saved;
  int64_t dashPhase = 0;  // position in the cosmetic dash pattern; reset by MoveToEx

  // The surface drawn on (never null).
  TSurface* Surface();
  // The selected bitmap object, when a memory DC holds one.
  GdiBitmap* Bitmap() { return state.bitmap.get(); }
  bool MonoDDB() { return state.bitmap ? state.bitmap->MonoDDB() : (memoryDC && !external); }

  // Clip rectangles (device) = clip region intersected with the surface bounds, y-x banded.
  const std::vector<TRect>& ClipRects();
  TRect ClipBox();  // bounds of ClipRects (empty if nothing is visible)
  void InvalidateClip() { clipValid_ = false; }

 private:
  bool clipValid_ = false;
  std::vector<TRect> clipRects_;
  TRect clipBox_;
  TSurface* clipSurface_ = nullptr;
  int32_t clipW_ = -1, clipH_ = -1;
};

// ---------------------------------------------------------------------------------------------
// Handle table (generation checked, thread safe, never destroyed: usable from static
// destructors at exit)
GdiDC* GdiGetDC(HDC dc);
std::shared_ptr<GdiObject> GdiLookup(HGDIOBJ h, GdiKind kind);  // null if stale or another kind
template <class T>
std::shared_ptr<T> GdiLookupAs(HGDIOBJ h, GdiKind kind) {
  return std::static_pointer_cast<T>(GdiLookup(h, kind));
}
HGDIOBJ GdiAddObject(std::shared_ptr<GdiObject> obj);
// Guards selection counts and bitmap owners; object removal happens under it too.
std::mutex& GdiSelectionLock();
// The shared 1x1 monochrome stock bitmap (what a new memory DC holds).
HBITMAP GdiStockBitmap();
// DC bookkeeping: default objects of a fresh state, selection counts, handle removal.
void GdiInitState(GdiDCState& st, bool memoryDC);
void GdiRetainState(const GdiDCState& st, int32_t delta);
bool GdiRemoveDC(HDC dc);
bool GdiClaimBitmap(GdiDC* dc, GdiBitmap* restored);

// ---------------------------------------------------------------------------------------------
// Coordinates
// True when logical -> device is a pure integer translation (MM_TEXT, no world transform).
bool GdiIsTranslation(const GdiDC& dc);
// The full logical -> device transform (world, then window -> viewport).
GdiXform GdiLogicalToDevice(const GdiDC& dc);
void GdiLPtoDPf(const GdiDC& dc, double x, double y, double& dx, double& dy);
TPoint GdiLPtoDP(const GdiDC& dc, TPoint p);
// True when the transform keeps axis-aligned rectangles axis-aligned (no rotation or shear).
bool GdiIsAxisAligned(const GdiDC& dc);
// A logical rectangle in device coordinates (corners mapped and normalised).
TRect GdiLPtoDPRect(const GdiDC& dc, const TRect& r);
// Device width of a logical pen width (at least 1).
int32_t GdiDevicePenWidth(const GdiDC& dc, int32_t logicalWidth);

// ---------------------------------------------------------------------------------------------
// Pixel core
// Pixel values are the bits stored for one pixel in the surface's format (32-bit: 0xAARRGGBB,
// colours drawn with alpha 0; 24-bit: 0xRRGGBB; 15/16: packed; 1/4/8: palette index).
uint32_t GdiColorToPixel(const TSurface& s, COLORREF c);
COLORREF GdiPixelToColor(const TSurface& s, uint32_t v);
uint32_t GdiPixelMask(const TSurface& s);  // the bits a pixel value uses
void GdiReadRow(const TSurface& s, int32_t y, int32_t x, int32_t n, uint32_t* out);
void GdiWriteRow(TSurface& s, int32_t y, int32_t x, int32_t n, const uint32_t* in);
uint32_t GdiRop2(int32_t rop2, uint32_t pen, uint32_t dst);
uint32_t GdiRop3(uint8_t index, uint32_t p, uint32_t s, uint32_t d);
// The colour of a COLORREF as the DC draws it (PALETTEINDEX/PALETTERGB resolved to RGB).
COLORREF GdiResolveColor(const GdiDC& dc, COLORREF c);

// Rows of 32-bit pixels four at a time (SSE2, which every x86-64 has): fill with one value, and
// combine a row with a source row by the raster operations that masks and transparent draws use.
// The paints of small controls are made of many short rows, where a scalar loop costs more than
// the rest of the call.
using GdiPixel4 = uint32_t __attribute__((vector_size(16), aligned(4), may_alias));
inline void GdiFill32(uint32_t* d, int32_t n, uint32_t v) {
  const GdiPixel4 x = {v, v, v, v};
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    *reinterpret_cast<GdiPixel4*>(d + i) = x;
    *reinterpret_cast<GdiPixel4*>(d + i + 4) = x;
  }
  for (; i + 4 <= n; i += 4) *reinterpret_cast<GdiPixel4*>(d + i) = x;
  for (; i < n; ++i) d[i] = v;
}
// d = d & s (0x88), d ^ s (0x66), d | s (0xEE) or s & ~d (0x44); any other rop copies s.
inline void GdiRopRow32(uint8_t rop, uint32_t* __restrict d, const uint32_t* __restrict s, int32_t n) {
  auto run = [&](auto f) {
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
      GdiPixel4& dv = *reinterpret_cast<GdiPixel4*>(d + i);
      dv = f(dv, *reinterpret_cast<const GdiPixel4*>(s + i));
    }
    for (; i < n; ++i) d[i] = f(d[i], s[i]);
  };
  switch (rop) {
    case 0x88: run([](auto a, auto b) { return a & b; }); break;
    case 0x66: run([](auto a, auto b) { return a ^ b; }); break;
    case 0xEE: run([](auto a, auto b) { return a | b; }); break;
    case 0x44: run([](auto a, auto b) { return b & ~a; }); break;
    default: std::copy_n(s, n, d); break;
  }
}

// Calls fn(y, x0, x1) for every row run of device rectangle r inside the clip (right excluded).
template <class F>
void GdiForEachClipSpan(GdiDC& dc, const TRect& r, F&& fn) {
  if (r.IsEmpty()) return;
  for (const TRect& c : dc.ClipRects()) {
    if (c.Top >= r.Bottom) break;
    if (c.Bottom <= r.Top || c.Right <= r.Left || c.Left >= r.Right) continue;
    const int32_t x0 = c.Left > r.Left ? c.Left : r.Left, x1 = c.Right < r.Right ? c.Right : r.Right;
    const int32_t y0 = c.Top > r.Top ? c.Top : r.Top, y1 = c.Bottom < r.Bottom ? c.Bottom : r.Bottom;
    for (int32_t y = y0; y < y1; ++y) fn(y, x0, x1);
  }
}
// Calls fn(x0, x1) for the parts of [x0, x1) on row y inside the clip. The banded rectangles
// have increasing bottoms, so the row's band is found by binary search.
template <class F>
void GdiForEachClipRun(GdiDC& dc, int32_t y, int32_t x0, int32_t x1, F&& fn) {
  if (x1 <= x0) return;
  const auto& rects = dc.ClipRects();
  auto it = std::partition_point(rects.begin(), rects.end(), [y](const TRect& c) { return c.Bottom <= y; });
  for (; it != rects.end() && it->Top <= y; ++it) {
    if (it->Right <= x0 || it->Left >= x1) continue;
    fn(it->Left > x0 ? it->Left : x0, it->Right < x1 ? it->Right : x1);
  }
}

// What a span paints: a solid pixel value, or an 8x8 brush pattern of pixel values aligned to
// the brush origin, with keep = 0 for hatch gaps left alone in transparent mode; combined with
// the destination by rop2.
struct GdiPaint {
  enum Kind { None, Solid, Pattern } kind = None;
  uint32_t value = 0;
  uint32_t pat[64] = {};
  uint8_t keep[64] = {};
  bool gaps = false;  // some keep[] are 0
  TPoint org;         // brush origin (device)
  int32_t rop2 = R2_COPYPEN;
};
// The pen's colour as drawn (the DC pen colour for the DC_PEN stock pen).
COLORREF GdiPenColor(GdiDC& dc);
GdiPaint GdiPenPaint(GdiDC& dc, COLORREF color);      // solid colour with the DC's ROP2
GdiPaint GdiBrushPaint(GdiDC& dc, const GdiBrush* b);  // None for a null brush
// Paints [x0, x1) on row y (already clipped).
void GdiPaintRun(GdiDC& dc, const GdiPaint& p, int32_t y, int32_t x0, int32_t x1);
// Paints a device rectangle through the clip.
void GdiPaintRect(GdiDC& dc, const GdiPaint& p, const TRect& r);
// Paints a region (device) through the clip.
void GdiPaintRegion(GdiDC& dc, const GdiPaint& p, const GdiRegionData& rgn);

// Converts a rectangle of src into dst at (dx, dy) by colour (palettes resolved, nearest
// palette entry in dst); both rectangles must lie inside their surfaces. 32 -> 32 keeps alpha.
void GdiCopyConvert(const TSurface& src, const TRect& srcRect, TSurface& dst, int32_t dx, int32_t dy);
// Draws a masked picture in one pass: at device-unmapped (x, y), w x h, the destination becomes
// (destination AND the monochrome mask drawn with text colour black and background white) XOR the
// picture, read from (0, 0) of Masked and (mx, my) of Mask; what the two blits SRCAND and
// SRCINVERT give. Only where that is plain: DCs without mapping, a 32-bit colour destination and
// picture, a monochrome mask or one already drawn in 32-bit colour, both sources inside their
// surfaces and apart from the destination.
// False (nothing drawn) elsewhere, for the caller to run the two blits.
bool GdiMaskedDraw32(HDC Dst, int32_t x, int32_t y, int32_t w, int32_t h, HDC Masked, HDC Mask, int32_t mx, int32_t my);
// A default colour table for 1, 4 and 8 bits (black/white, the 16 VGA colours, a colour cube).
std::vector<TRGBQuad> GdiDefaultPalette(int32_t bitCount);

// Text support (no ROP2): blends a coverage mask (w x h bytes, stride bytes per row, 0..255)
// of colour at device (x, y): dst += (colour - dst) * a / 255 per colour channel, rounded, and a
// 32-bit pixel's alpha byte becomes 0; a = 0 keeps the pixel, a = 255 stores the colour as
// FillRect would. Palette and 1-bit surfaces take the
// colour where a >= 128.
void GdiBlendMask(GdiDC& dc, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* mask,
                  int32_t stride, COLORREF color);
// Fills a device rectangle with a solid colour through the clip (copy, no ROP2).
void GdiFillDeviceRect(GdiDC& dc, const TRect& r, COLORREF color);

// ---------------------------------------------------------------------------------------------
// Shape masks: a byte per pixel over a device rectangle (kept inside the clip box).
struct GdiMask {
  TRect bounds;  // device
  std::vector<uint8_t> bits;
  explicit GdiMask(const TRect& b);
  int32_t Width() const { return bounds.Width(); }
  uint8_t* Row(int32_t y) { return bits.data() + static_cast<size_t>(y - bounds.Top) * Width() - bounds.Left; }
  void Set(int32_t x, int32_t y, uint8_t v) {
    if (bounds.Contains({x, y})) Row(y)[x] = v;
  }
};
// Mask values used by the shape painter.
enum : uint8_t { kMaskNone = 0, kMaskFill = 1, kMaskPen = 2, kMaskGap = 3 };
// Paints the mask: kMaskFill with fill, kMaskPen with pen, kMaskGap with gap.
void GdiPaintMask(GdiDC& dc, GdiMask& m, const GdiPaint& fill, const GdiPaint& pen, const GdiPaint& gap);

// Scan conversion shared by polygon fills and polygon regions: pixels whose centres are inside
// (top/left edges in, bottom/right out). Calls fn(y, x0, x1) for each run, rows in order.
struct GdiPointF {
  double x = 0, y = 0;
};
void GdiScanPolygons(const std::vector<std::vector<GdiPointF>>& polys, int32_t fillMode, const TRect& limit,
                     const std::function<void(int32_t, int32_t, int32_t)>& fn);
// Ellipse inscribed in the continuous box [l, r] x [t, b]: fn(y, x0, x1) per row.
void GdiScanEllipse(double l, double t, double r, double b, const TRect& limit,
                    const std::function<void(int32_t, int32_t, int32_t)>& fn);
// Rounded rectangle with corner ellipse size (w, h).
void GdiScanRoundRect(double l, double t, double r, double b, double w, double h, const TRect& limit,
                      const std::function<void(int32_t, int32_t, int32_t)>& fn);

// ---------------------------------------------------------------------------------------------
// Lines
inline int64_t GdiCeilDiv(int64_t a, int64_t b) {  // b > 0
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}
inline int64_t GdiFloorDiv(int64_t a, int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
// The platform's cosmetic line from (x0, y0) to (x1, y1), the end point excluded: one pixel per
// step along the major axis, the minor coordinate rounded to nearest, exact halves going to the
// smaller coordinate (the pixel whose diamond the line leaves). Calls fn(x, y, k) for the
// steps k whose pixel lies in limit, in order.
template <class F>
void GdiWalkLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, const TRect& limit, F&& fn) {
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const int32_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  if (adx == 0 && ady == 0) return;
  const bool xMajor = adx >= ady;
  const int64_t n = xMajor ? adx : ady, m = xMajor ? ady : adx;
  const int32_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  const int32_t sa = xMajor ? sx : sy, sb = xMajor ? sy : sx;
  const int64_t lo = xMajor ? limit.Left : limit.Top, hi = xMajor ? limit.Right : limit.Bottom;
  const int64_t blo = xMajor ? limit.Top : limit.Left, bhi = xMajor ? limit.Bottom : limit.Right;
  int64_t kmin, kmax;
  if (sa > 0) { kmin = lo - a0; kmax = hi - a0; }
  else { kmin = a0 - hi + 1; kmax = a0 - lo + 1; }
  if (kmin < 0) kmin = 0;
  if (kmax > n) kmax = n;
  for (int64_t k = kmin; k < kmax; ++k) {
    const int64_t t = k * m;
    const int64_t q = sb > 0 ? GdiCeilDiv(2 * t - n, 2 * n) : GdiFloorDiv(2 * t + n, 2 * n);
    const int64_t b = b0 + sb * q;
    if (b < blo || b >= bhi) {
      if ((sb > 0 && b >= bhi) || (sb < 0 && b < blo)) break;
      continue;
    }
    const int64_t a = a0 + sa * k;
    if (xMajor) fn(static_cast<int32_t>(a), static_cast<int32_t>(b), k);
    else fn(static_cast<int32_t>(b), static_cast<int32_t>(a), k);
  }
}
inline int64_t GdiLineSteps(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  return std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
}

// The cosmetic style of a pen as on/off pixel counts (empty: solid).
std::vector<int32_t> GdiPenDashes(const GdiPen& pen);
inline bool GdiDashOn(const std::vector<int32_t>& d, int32_t period, int64_t phase) {
  if (d.empty()) return true;
  int64_t p = phase % period;
  for (size_t i = 0; i < d.size(); ++i) {
    if (p < d[i]) return (i & 1) == 0;
    p -= d[i];
  }
  return true;
}
// A wide stroke (round joins; end caps by PS_ENDCAP_*) of a polyline given in device pixel
// coordinates (pixel centres at +0.5) into mask value v.
void GdiStrokeWide(GdiMask& m, const std::vector<GdiPointF>& pts, bool closed, double width, DWORD endCap,
                   uint8_t v);
// Cosmetic outline of a polyline into a mask (pen or gap values by the dash pattern); closed
// adds the closing segment. Returns the steps walked.
int64_t GdiStrokeThin(GdiMask& m, const std::vector<TPoint>& pts, bool closed, const std::vector<int32_t>& dashes,
                      int64_t phase, bool gaps);

// The DC's pen prepared for drawing: null, wide (device width > 1) or cosmetic with dashes;
// the gap paint is None in transparent mode.
struct GdiPenSetup {
  bool null = false;
  bool wide = false;
  bool insideFrame = false;
  double width = 1;
  DWORD endCap = PS_ENDCAP_ROUND;
  std::vector<int32_t> dashes;
  GdiPaint pen, gap;
};
GdiPenSetup GdiSetupPen(GdiDC& dc);
