// Device contexts: creation, the state and its save stack, mapping modes and transforms,
// device capabilities.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <type_traits>
#include <utility>

#include "platform/gdi/GdiInternal.h"
#include "platform/gdi/SurfaceDC.h"
#include "platform/rtl/System.h"

namespace {

constexpr int32_t kScreenWidth = 1920;
constexpr int32_t kScreenHeight = 1080;

// Never destroyed, as the object table holding the screen DCs over it is not.
TSurface& ScreenSurface() {
  static TSurface* const s = std::make_unique<TSurface>(16, 16, 32).release();
  return *s;
}

}  // namespace

TSurface* GdiDC::Surface() {
  if (external) return external;
  if (state.bitmap && !state.bitmap->stock && state.bitmap->surface) return state.bitmap->surface.get();
  if (!private1x1) {
    private1x1 = std::make_unique<TSurface>(1, 1, 1);
    private1x1->Palette() = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  }
  return private1x1.get();
}

const std::vector<TRect>& GdiDC::ClipRects() {
  TSurface* s = Surface();
  if (!clipValid_ || s != clipSurface_ || s->Width() != clipW_ || s->Height() != clipH_) {
    clipSurface_ = s;
    clipW_ = s->Width();
    clipH_ = s->Height();
    clipRects_.clear();
    const TRect b = s->BoundsRect();
    if (!b.IsEmpty()) {
      if (!state.clip) {
        clipRects_.push_back(b);
      } else {
        for (const TRect& r : state.clip->Rects()) {
          TRect i;
          if (IntersectRect(i, r, b)) clipRects_.push_back(i);
        }
      }
    }
    clipBox_ = TRect();
    for (const TRect& r : clipRects_) {
      if (clipBox_.IsEmpty()) clipBox_ = r;
      else UnionRect(clipBox_, clipBox_, r);
    }
    clipValid_ = true;
  }
  return clipRects_;
}

TRect GdiDC::ClipBox() {
  ClipRects();
  return clipBox_;
}

// ---------------------------------------------------------------------------------------------
// Creation

namespace {
HDC NewDC(bool memory, TSurface* external, bool screen) {
  auto dc = std::make_shared<GdiDC>();
  dc->memoryDC = memory;
  dc->external = external;
  dc->screenDC = screen;
  GdiInitState(dc->state, memory);
  HDC h = static_cast<HDC>(GdiAddObject(dc));
  if (!h) GdiRetainState(dc->state, -1);
  return h;
}
}  // namespace

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !GdiGetDC(dc)) return nullptr;
  return NewDC(true, nullptr, false);
}

HDC CreateSurfaceDC(TSurface* surface) {
  if (!surface) return nullptr;
  return NewDC(false, surface, false);
}

BOOL ResetSurfaceDC(HDC hdc) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || dc->memoryDC || dc->screenDC || !dc->external) return 0;
  GdiDCState fresh;
  GdiInitState(fresh, false);
  GdiDCState old = std::move(dc->state);
  dc->state = std::move(fresh);
  std::vector<GdiDCState> saved;
  saved.swap(dc->saved);
  GdiRetainState(old, -1);
  for (const GdiDCState& st : saved) GdiRetainState(st, -1);
  saved.clear();
  dc->saved.swap(saved);  // the room stays for the next SaveDC
  dc->dashPhase = 0;
  dc->InvalidateClip();
  return 1;
}

BOOL DeleteDC(HDC hdc) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  return GdiRemoveDC(hdc) ? 1 : 0;
}

namespace {
std::atomic<TWindowGetDCHook> g_window_get_dc{nullptr};
std::atomic<TWindowReleaseDCHook> g_window_release_dc{nullptr};
}  // namespace

void SetWindowDCHooks(TWindowGetDCHook getDC, TWindowReleaseDCHook releaseDC) {
  g_window_get_dc = getDC;
  g_window_release_dc = releaseDC;
}

HDC GetDC(HWND wnd) {
  if (wnd) {  // windows provide their own device contexts
    TWindowGetDCHook hook = g_window_get_dc;
    return hook ? hook(wnd) : nullptr;
  }
  return NewDC(false, &ScreenSurface(), true);
}

int32_t ReleaseDC(HWND wnd, HDC hdc) {
  GdiDC* dc = GdiGetDC(hdc);
  if (dc && !dc->screenDC) {
    TWindowReleaseDCHook hook = g_window_release_dc;
    return hook ? hook(wnd, hdc) : 0;
  }
  if (!dc) return 0;
  return GdiRemoveDC(hdc) ? 1 : 0;
}

int32_t SaveDC(HDC hdc) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  GdiRetainState(dc->state, +1);
  return static_cast<int32_t>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int32_t level) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  const int32_t n = static_cast<int32_t>(dc->saved.size());
  int32_t target = level < 0 ? n + level + 1 : level;
  if (level == 0 || target < 1 || target > n) return 0;
  // A bitmap may be selected into one DC only: refuse a restore that would select a bitmap now
  // held by another DC.
  GdiDCState& restored = dc->saved[static_cast<size_t>(target - 1)];
  if (!GdiClaimBitmap(dc, restored.bitmap.get())) return 0;
  GdiRetainState(dc->state, -1);
  dc->state = std::move(restored);
  // The restored state's objects were retained when it was saved; drop the deeper ones.
  for (int32_t i = n - 1; i >= target; --i) GdiRetainState(dc->saved[static_cast<size_t>(i)], -1);
  dc->saved.resize(static_cast<size_t>(target - 1));
  dc->InvalidateClip();
  return 1;
}

int32_t GetDeviceCaps(HDC hdc, int32_t index) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc) return 0;
  TSurface* s = dc->Surface();
  const int32_t w = dc->screenDC ? kScreenWidth : s->Width();
  const int32_t h = dc->screenDC ? kScreenHeight : s->Height();
  switch (index) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZRES:
    case DESKTOPHORZRES: return w;
    case VERTRES:
    case DESKTOPVERTRES: return h;
    case HORZSIZE: return static_cast<int32_t>(w * 254 / 960);
    case VERTSIZE: return static_cast<int32_t>(h * 254 / 960);
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMBRUSHES:
    case NUMPENS:
    case NUMCOLORS: return -1;
    case NUMFONTS: return 0;
    case ASPECTX:
    case ASPECTY: return 36;
    case ASPECTXY: return 51;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
    case COLORRES: return 24;
    case RASTERCAPS:
      return RC_BITBLT | RC_BITMAP64 | RC_GDI20_OUTPUT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT |
             RC_FLOODFILL | RC_STRETCHDIB;
    case CURVECAPS:
    case LINECAPS:
    case POLYGONALCAPS:
    case TEXTCAPS: return 0xFF;
    case CLIPCAPS: return 1;
    case SHADEBLENDCAPS: return SB_CONST_ALPHA | SB_PIXEL_ALPHA | SB_GRAD_RECT;
    case VREFRESH: return 60;
    default: return 0;
  }
}

// ---------------------------------------------------------------------------------------------
// Simple state

#define PX_DC_OR(fail) \
  GdiDC* dc = GdiGetDC(hdc); \
  if (!dc) return fail

namespace {

// The state's attributes share one entry logic: a bad DC answers `fail`, and so does a setter
// refusing its value (not `valid`), which then changes nothing.
template <class T>
T ExchangeAttr(HDC hdc, T GdiDCState::*field, std::type_identity_t<T> fail, std::type_identity_t<T> value,
               bool valid = true) {
  GdiDC* dc = GdiGetDC(hdc);
  if (!dc || !valid) return fail;
  return std::exchange(dc->state.*field, value);
}

template <class T>
T AttrOf(HDC hdc, T GdiDCState::*field, std::type_identity_t<T> fail) {
  GdiDC* dc = GdiGetDC(hdc);
  return dc ? dc->state.*field : fail;
}

// Point and size attributes: the old value goes to `old` when asked for.
template <class T>
BOOL SetPairAttr(HDC hdc, T GdiDCState::*field, std::type_identity_t<T> value, T* old) {
  PX_DC_OR(0);
  if (old) *old = dc->state.*field;
  dc->state.*field = value;
  return 1;
}

template <class T>
BOOL GetPairAttr(HDC hdc, T GdiDCState::*field, T* out) {
  PX_DC_OR(0);
  if (!out) return 0;
  *out = dc->state.*field;
  return 1;
}

}  // namespace

COLORREF SetBkColor(HDC hdc, COLORREF c) { return ExchangeAttr(hdc, &GdiDCState::bkColor, CLR_INVALID, c & 0x03FFFFFFu); }
COLORREF GetBkColor(HDC hdc) { return AttrOf(hdc, &GdiDCState::bkColor, CLR_INVALID); }
int32_t SetBkMode(HDC hdc, int32_t mode) {
  return ExchangeAttr(hdc, &GdiDCState::bkMode, 0, mode, mode == TRANSPARENT || mode == OPAQUE);
}
int32_t GetBkMode(HDC hdc) { return AttrOf(hdc, &GdiDCState::bkMode, 0); }
COLORREF SetTextColor(HDC hdc, COLORREF c) {
  return ExchangeAttr(hdc, &GdiDCState::textColor, CLR_INVALID, c & 0x03FFFFFFu);
}
COLORREF GetTextColor(HDC hdc) { return AttrOf(hdc, &GdiDCState::textColor, CLR_INVALID); }
int32_t SetROP2(HDC hdc, int32_t rop2) {
  return ExchangeAttr(hdc, &GdiDCState::rop2, 0, rop2, rop2 >= R2_BLACK && rop2 <= R2_WHITE);
}
int32_t GetROP2(HDC hdc) { return AttrOf(hdc, &GdiDCState::rop2, 0); }
int32_t SetStretchBltMode(HDC hdc, int32_t mode) {
  return ExchangeAttr(hdc, &GdiDCState::stretchMode, 0, mode, mode >= BLACKONWHITE && mode <= HALFTONE);
}
int32_t GetStretchBltMode(HDC hdc) { return AttrOf(hdc, &GdiDCState::stretchMode, 0); }
int32_t SetPolyFillMode(HDC hdc, int32_t mode) {
  return ExchangeAttr(hdc, &GdiDCState::polyFillMode, 0, mode, mode == ALTERNATE || mode == WINDING);
}
int32_t GetPolyFillMode(HDC hdc) { return AttrOf(hdc, &GdiDCState::polyFillMode, 0); }
UINT SetTextAlign(HDC hdc, UINT align) { return ExchangeAttr(hdc, &GdiDCState::textAlign, GDI_ERROR, align & TA_MASK); }
UINT GetTextAlign(HDC hdc) { return AttrOf(hdc, &GdiDCState::textAlign, GDI_ERROR); }
int32_t SetTextCharacterExtra(HDC hdc, int32_t extra) {
  return ExchangeAttr(hdc, &GdiDCState::textCharExtra, static_cast<int32_t>(0x80000000), extra);
}
int32_t GetTextCharacterExtra(HDC hdc) {
  return AttrOf(hdc, &GdiDCState::textCharExtra, static_cast<int32_t>(0x80000000));
}
int32_t SetArcDirection(HDC hdc, int32_t dir) {
  return ExchangeAttr(hdc, &GdiDCState::arcDirection, 0, dir, dir == AD_COUNTERCLOCKWISE || dir == AD_CLOCKWISE);
}
int32_t GetArcDirection(HDC hdc) { return AttrOf(hdc, &GdiDCState::arcDirection, 0); }
BOOL SetBrushOrgEx(HDC hdc, int32_t x, int32_t y, TPoint* old) {
  return SetPairAttr(hdc, &GdiDCState::brushOrg, {x, y}, old);
}
BOOL GetBrushOrgEx(HDC hdc, TPoint* org) { return GetPairAttr(hdc, &GdiDCState::brushOrg, org); }
COLORREF SetDCBrushColor(HDC hdc, COLORREF c) {
  return ExchangeAttr(hdc, &GdiDCState::dcBrushColor, CLR_INVALID, c & 0x03FFFFFFu);
}
COLORREF SetDCPenColor(HDC hdc, COLORREF c) {
  return ExchangeAttr(hdc, &GdiDCState::dcPenColor, CLR_INVALID, c & 0x03FFFFFFu);
}

BOOL MoveToEx(HDC hdc, int32_t x, int32_t y, TPoint* old) {
  PX_DC_OR(0);
  if (old) *old = dc->state.curPos;
  dc->state.curPos = {x, y};
  dc->dashPhase = 0;
  return 1;
}
BOOL GetCurrentPositionEx(HDC hdc, TPoint* pos) { return GetPairAttr(hdc, &GdiDCState::curPos, pos); }

// ---------------------------------------------------------------------------------------------
// Mapping

namespace {

// MM_ISOTROPIC keeps equal scales: the viewport extent shrinks on the axis with the larger scale.
void FixIsotropic(GdiDCState& st) {
  if (st.mapMode != MM_ISOTROPIC) return;
  const double wx = std::abs(double(st.windowExt.cx)), wy = std::abs(double(st.windowExt.cy));
  const double vx = std::abs(double(st.viewportExt.cx)), vy = std::abs(double(st.viewportExt.cy));
  if (wx == 0 || wy == 0 || vx == 0 || vy == 0) return;
  const double sx = vx / wx, sy = vy / wy;
  if (sx < sy) {
    const int32_t ny = std::max<int32_t>(1, Round32(sx * wy));
    st.viewportExt.cy = st.viewportExt.cy < 0 ? -ny : ny;
  } else if (sy < sx) {
    const int32_t nx = std::max<int32_t>(1, Round32(sy * wx));
    st.viewportExt.cx = st.viewportExt.cx < 0 ? -nx : nx;
  }
}

bool FixedExtents(int32_t mode, TSize& win, TSize& vp) {
  int32_t units;
  switch (mode) {
    case MM_LOMETRIC: units = 254; break;
    case MM_HIMETRIC: units = 2540; break;
    case MM_LOENGLISH: units = 100; break;
    case MM_HIENGLISH: units = 1000; break;
    case MM_TWIPS: units = 1440; break;
    default: return false;
  }
  win = {units, units};
  vp = {96, -96};
  return true;
}

}  // namespace

int32_t SetMapMode(HDC hdc, int32_t mode) {
  PX_DC_OR(0);
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return 0;
  GdiDCState& st = dc->state;
  int32_t old = st.mapMode;
  st.mapMode = mode;
  if (mode == MM_TEXT) {
    st.windowExt = {1, 1};
    st.viewportExt = {1, 1};
  } else if (!FixedExtents(mode, st.windowExt, st.viewportExt)) {
    if (old != MM_ISOTROPIC && old != MM_ANISOTROPIC && mode == MM_ISOTROPIC) {
      st.windowExt = {1, 1};
      st.viewportExt = {1, 1};
    }
    FixIsotropic(st);
  }
  return old;
}
int32_t GetMapMode(HDC hdc) {
  PX_DC_OR(0);
  return dc->state.mapMode;
}
namespace {

BOOL OffsetOrg(HDC hdc, TPoint GdiDCState::*field, int32_t dx, int32_t dy, TPoint* old) {
  PX_DC_OR(0);
  TPoint& org = dc->state.*field;
  if (old) *old = org;
  org.X += dx;
  org.Y += dy;
  return 1;
}

// Extents count only in the two scalable modes (elsewhere the call succeeds and changes nothing);
// a zero extent is refused.
BOOL SetExt(HDC hdc, TSize GdiDCState::*field, int32_t x, int32_t y, TSize* old) {
  PX_DC_OR(0);
  if (old) *old = dc->state.*field;
  if (dc->state.mapMode != MM_ISOTROPIC && dc->state.mapMode != MM_ANISOTROPIC) return 1;
  if (x == 0 || y == 0) return 0;
  dc->state.*field = {x, y};
  FixIsotropic(dc->state);
  return 1;
}

}  // namespace

BOOL SetWindowOrgEx(HDC hdc, int32_t x, int32_t y, TPoint* old) {
  return SetPairAttr(hdc, &GdiDCState::windowOrg, {x, y}, old);
}
BOOL GetWindowOrgEx(HDC hdc, TPoint* org) { return GetPairAttr(hdc, &GdiDCState::windowOrg, org); }
BOOL OffsetWindowOrgEx(HDC hdc, int32_t dx, int32_t dy, TPoint* old) {
  return OffsetOrg(hdc, &GdiDCState::windowOrg, dx, dy, old);
}
BOOL SetWindowExtEx(HDC hdc, int32_t x, int32_t y, TSize* old) {
  return SetExt(hdc, &GdiDCState::windowExt, x, y, old);
}
BOOL GetWindowExtEx(HDC hdc, TSize* ext) { return GetPairAttr(hdc, &GdiDCState::windowExt, ext); }
BOOL SetViewportOrgEx(HDC hdc, int32_t x, int32_t y, TPoint* old) {
  return SetPairAttr(hdc, &GdiDCState::viewportOrg, {x, y}, old);
}
BOOL GetViewportOrgEx(HDC hdc, TPoint* org) { return GetPairAttr(hdc, &GdiDCState::viewportOrg, org); }
BOOL OffsetViewportOrgEx(HDC hdc, int32_t dx, int32_t dy, TPoint* old) {
  return OffsetOrg(hdc, &GdiDCState::viewportOrg, dx, dy, old);
}
BOOL SetViewportExtEx(HDC hdc, int32_t x, int32_t y, TSize* old) {
  return SetExt(hdc, &GdiDCState::viewportExt, x, y, old);
}
BOOL GetViewportExtEx(HDC hdc, TSize* ext) { return GetPairAttr(hdc, &GdiDCState::viewportExt, ext); }

int32_t SetGraphicsMode(HDC hdc, int32_t mode) {
  PX_DC_OR(0);
  if (mode != GM_COMPATIBLE && mode != GM_ADVANCED) return 0;
  // Back to the compatible mode only with an identity world transform.
  if (mode == GM_COMPATIBLE && !dc->state.world.IsIdentity()) return 0;
  int32_t old = dc->state.graphicsMode;
  dc->state.graphicsMode = mode;
  return old;
}
int32_t GetGraphicsMode(HDC hdc) {
  PX_DC_OR(0);
  return dc->state.graphicsMode;
}

namespace {
GdiXform FromXFORM(const XFORM& x) { return {x.eM11, x.eM12, x.eM21, x.eM22, x.eDx, x.eDy}; }
XFORM ToXFORM(const GdiXform& x) {
  XFORM r;
  r.eM11 = float(x.m11); r.eM12 = float(x.m12); r.eM21 = float(x.m21);
  r.eM22 = float(x.m22); r.eDx = float(x.dx); r.eDy = float(x.dy);
  return r;
}
// a then b.
GdiXform Multiply(const GdiXform& a, const GdiXform& b) {
  GdiXform r;
  r.m11 = a.m11 * b.m11 + a.m12 * b.m21;
  r.m12 = a.m11 * b.m12 + a.m12 * b.m22;
  r.m21 = a.m21 * b.m11 + a.m22 * b.m21;
  r.m22 = a.m21 * b.m12 + a.m22 * b.m22;
  r.dx = a.dx * b.m11 + a.dy * b.m21 + b.dx;
  r.dy = a.dx * b.m12 + a.dy * b.m22 + b.dy;
  return r;
}
bool Valid(const GdiXform& x) {
  const double det = x.m11 * x.m22 - x.m12 * x.m21;
  return std::isfinite(det) && det != 0 && std::isfinite(x.dx) && std::isfinite(x.dy);
}
}  // namespace

BOOL SetWorldTransform(HDC hdc, const XFORM& xf) {
  PX_DC_OR(0);
  if (dc->state.graphicsMode != GM_ADVANCED) return 0;
  GdiXform x = FromXFORM(xf);
  if (!Valid(x)) return 0;
  dc->state.world = x;
  return 1;
}

BOOL ModifyWorldTransform(HDC hdc, const XFORM* xf, DWORD mode) {
  PX_DC_OR(0);
  if (dc->state.graphicsMode != GM_ADVANCED) return 0;
  GdiXform r;
  switch (mode) {
    case MWT_IDENTITY: break;
    case MWT_LEFTMULTIPLY:
      if (!xf) return 0;
      r = Multiply(FromXFORM(*xf), dc->state.world);
      break;
    case MWT_RIGHTMULTIPLY:
      if (!xf) return 0;
      r = Multiply(dc->state.world, FromXFORM(*xf));
      break;
    default: return 0;
  }
  if (!Valid(r)) return 0;
  dc->state.world = r;
  return 1;
}

BOOL GetWorldTransform(HDC hdc, XFORM* xf) {
  PX_DC_OR(0);
  if (!xf) return 0;
  *xf = ToXFORM(dc->state.world);
  return 1;
}

bool GdiIsTranslation(const GdiDC& dc) {
  const GdiDCState& st = dc.state;
  if (st.mapMode != MM_TEXT) return false;
  return st.graphicsMode != GM_ADVANCED || st.world.IsIdentity();
}

GdiXform GdiLogicalToDevice(const GdiDC& dc) {
  const GdiDCState& st = dc.state;
  GdiXform page;
  double sx = 1, sy = 1;
  if (st.mapMode != MM_TEXT) {
    sx = double(st.viewportExt.cx) / double(st.windowExt.cx);
    sy = double(st.viewportExt.cy) / double(st.windowExt.cy);
  }
  page.m11 = sx;
  page.m22 = sy;
  page.dx = st.viewportOrg.X - st.windowOrg.X * sx;
  page.dy = st.viewportOrg.Y - st.windowOrg.Y * sy;
  if (st.graphicsMode == GM_ADVANCED && !st.world.IsIdentity()) return Multiply(st.world, page);
  return page;
}

bool GdiIsAxisAligned(const GdiDC& dc) {
  const GdiXform m = GdiLogicalToDevice(dc);
  return m.m12 == 0 && m.m21 == 0;
}

void GdiLPtoDPf(const GdiDC& dc, double x, double y, double& dx, double& dy) {
  const GdiXform m = GdiLogicalToDevice(dc);
  dx = x * m.m11 + y * m.m21 + m.dx;
  dy = x * m.m12 + y * m.m22 + m.dy;
}

namespace {
// Device coordinates are kept within 28 bits, as the platform's are limited to 27.
int32_t ClampCoord(double v) {
  constexpr double kMax = double(1 << 28);
  if (!(v > -kMax)) return -(1 << 28);
  if (v > kMax) return 1 << 28;
  return Round32(v);
}
int32_t ClampCoord64(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -(int64_t(1) << 28), int64_t(1) << 28));
}
}  // namespace

TPoint GdiLPtoDP(const GdiDC& dc, TPoint p) {
  if (GdiIsTranslation(dc)) {
    const GdiDCState& st = dc.state;
    return {ClampCoord64(int64_t(p.X) - st.windowOrg.X + st.viewportOrg.X),
            ClampCoord64(int64_t(p.Y) - st.windowOrg.Y + st.viewportOrg.Y)};
  }
  double x, y;
  GdiLPtoDPf(dc, p.X, p.Y, x, y);
  return {ClampCoord(x), ClampCoord(y)};
}

TRect GdiLPtoDPRect(const GdiDC& dc, const TRect& r) {
  TPoint a = GdiLPtoDP(dc, r.TopLeft()), b = GdiLPtoDP(dc, r.BottomRight());
  return {std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y)};
}

int32_t GdiDevicePenWidth(const GdiDC& dc, int32_t w) {
  if (w <= 1 && GdiIsTranslation(dc)) return 1;
  if (w <= 0) return 1;
  const GdiXform m = GdiLogicalToDevice(dc);
  const double scale = std::sqrt(std::abs(m.m11 * m.m22 - m.m12 * m.m21));
  const double d = w * scale;
  if (!(d < 1 << 20)) return 1 << 20;
  return std::max<int32_t>(1, Round32(d));
}

BOOL LPtoDP(HDC hdc, TPoint* pts, int32_t count) {
  PX_DC_OR(0);
  if (count < 0 || (count > 0 && !pts)) return 0;
  for (int32_t i = 0; i < count; ++i) pts[i] = GdiLPtoDP(*dc, pts[i]);
  return 1;
}

BOOL DPtoLP(HDC hdc, TPoint* pts, int32_t count) {
  PX_DC_OR(0);
  if (count < 0 || (count > 0 && !pts)) return 0;
  const GdiXform m = GdiLogicalToDevice(*dc);
  const double det = m.m11 * m.m22 - m.m12 * m.m21;
  if (det == 0 || !std::isfinite(det)) return 0;
  for (int32_t i = 0; i < count; ++i) {
    const double x = pts[i].X - m.dx, y = pts[i].Y - m.dy;
    const double lx = (x * m.m22 - y * m.m21) / det, ly = (y * m.m11 - x * m.m12) / det;
    pts[i] = {ClampCoord(lx), ClampCoord(ly)};
  }
  return 1;
}
