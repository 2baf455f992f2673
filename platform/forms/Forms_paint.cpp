// Invalidation and painting, window device contexts, scrolling window contents, the caret.
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/forms/FormsInternal.h"
#include "platform/gdi/SurfaceDC.h"

namespace {

struct DCRecord {
  HDC DC = nullptr;
  HWND Wnd = nullptr;
  std::shared_ptr<TWindowSurface> Surface;  // keeps the pixels alive while the DC is
  bool Client = true;
};

std::vector<DCRecord>& DCs() {
  static std::vector<DCRecord> dcs;
  return dcs;
}

// Released window DCs kept for the next paint or GetDC of the same surface, a few in all:
// making and deleting a DC for each paint costs more than painting a small control.
struct SpareDC {
  HDC DC = nullptr;
  std::weak_ptr<TWindowSurface> Surface;
  const TSurface* Target = nullptr;
};

std::vector<SpareDC>& Spares() {
  static std::vector<SpareDC> spares;  // oldest first
  return spares;
}

constexpr size_t kSpareDCs = 8;

// Deletes the spares whose surface went.
void DropStaleSpares() {
  auto& spares = Spares();
  for (size_t i = 0; i < spares.size();) {
    if (spares[i].Surface.expired()) {
      DeleteDC(spares[i].DC);
      spares.erase(spares.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

HDC TakeSpareDC(const std::shared_ptr<TWindowSurface>& Surface, const TSurface* Target) {
  auto& spares = Spares();
  for (size_t i = spares.size(); i-- > 0;) {
    if (spares[i].Target != Target || spares[i].Surface.lock() != Surface) continue;
    HDC dc = spares[i].DC;
    spares.erase(spares.begin() + static_cast<std::ptrdiff_t>(i));
    return dc;
  }
  return nullptr;
}

// Keeps a released DC of a live surface as new; false (the DC is the caller's to delete) when it
// cannot serve again.
bool KeepSpareDC(HDC DC, const std::shared_ptr<TWindowSurface>& Surface, const TSurface* Target) {
  if (!ResetSurfaceDC(DC)) return false;
  DropStaleSpares();
  auto& spares = Spares();
  if (spares.size() >= kSpareDCs) {
    DeleteDC(spares.front().DC);
    spares.erase(spares.begin());
  }
  spares.push_back(SpareDC{DC, Surface, Target});
  return true;
}

TRect ClientBounds(const TWindowData* W) { return {0, 0, W->Client.Width(), W->Client.Height()}; }

// The client area within the surface.
TRect ClientInSurface(const TWindowData* W) {
  return Bounds(W->Client.Left - W->Frame.Left, W->Client.Top - W->Frame.Top, W->Client.Width(), W->Client.Height());
}

// Adds a region already inside the client area to the update region, taking it over.
void MergeUpdate(TWindowData* W, HRGN clipped, bool erase) {
  if (!W->Update) {
    W->Update = clipped;
  } else {
    CombineRgn(W->Update, W->Update, clipped, RGN_OR);
    DeleteObject(clipped);
  }
  if (erase) W->EraseNeeded = true;
  WakeEventLoop();
}

void AddUpdate(TWindowData* W, HRGN rgn, bool erase) {
  HRGN clipped = CreateRectRgnIndirect(ClientBounds(W));
  CombineRgn(clipped, clipped, rgn, RGN_AND);
  TRect box;
  if (GetRgnBox(clipped, &box) == NULLREGION) {
    DeleteObject(clipped);
    return;
  }
  MergeUpdate(W, clipped, erase);
}

bool g_began_paint = false;

void PaintWindowNow(TWindowData* W) {
  HWND wnd = W->Handle;
  if (W->NCPaintNeeded) {
    W->NCPaintNeeded = false;
    TMessage m{WM_NCPAINT, 1, 0, 0};
    DeliverMessage(wnd, m);
    if (!(W = WindowData(wnd))) return;
  }
  if (!W->Update) return;
  g_began_paint = false;
  TMessage m{WM_PAINT, 0, 0, 0};
  DeliverMessage(wnd, m);
  // A handler that never began painting would be asked again and again: validate for it.
  if (!g_began_paint && (W = WindowData(wnd))) ValidateRect(wnd, nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Invalidation

BOOL InvalidateRect(HWND wnd, const TRect* rect, BOOL erase) {
  if (!IsUIThread()) {
    if (!IsWindow(wnd)) return 0;
    const bool whole = rect == nullptr;
    const TRect r = rect ? *rect : TRect();
    PostCall([wnd, whole, r, erase] { InvalidateRect(wnd, whole ? nullptr : &r, erase); });
    return 1;
  }
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  const TRect r = rect ? *rect : ClientBounds(w);
  if (r.Left <= r.Right && r.Top <= r.Bottom) {
    // A rectangle is clipped as a rectangle: a region is made only for what is added.
    TRect clipped;
    if (IntersectRect(clipped, r, ClientBounds(w))) MergeUpdate(w, CreateRectRgnIndirect(clipped), erase != 0);
    return 1;
  }
  HRGN rgn = CreateRectRgnIndirect(r);
  AddUpdate(w, rgn, erase != 0);
  DeleteObject(rgn);
  return 1;
}

BOOL InvalidateRgn(HWND wnd, HRGN rgn, BOOL erase) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (!rgn) return InvalidateRect(wnd, nullptr, erase);
  AddUpdate(w, rgn, erase != 0);
  return 1;
}

BOOL ValidateRect(HWND wnd, const TRect* rect) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (!w->Update) return 1;
  if (!rect) {
    DeleteObject(w->Update);
    w->Update = nullptr;
    w->EraseNeeded = false;
    return 1;
  }
  HRGN r = CreateRectRgnIndirect(*rect);
  BOOL ok = ValidateRgn(wnd, r);
  DeleteObject(r);
  return ok;
}

BOOL ValidateRgn(HWND wnd, HRGN rgn) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (!rgn) return ValidateRect(wnd, nullptr);
  if (!w->Update) return 1;
  CombineRgn(w->Update, w->Update, rgn, RGN_DIFF);
  TRect box;
  if (GetRgnBox(w->Update, &box) == NULLREGION) {
    DeleteObject(w->Update);
    w->Update = nullptr;
    w->EraseNeeded = false;
  }
  return 1;
}

BOOL GetUpdateRect(HWND wnd, TRect* rect, BOOL) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  TRect box;
  if (!w->Update || GetRgnBox(w->Update, &box) == NULLREGION) box = TRect();
  if (rect) *rect = box;
  return box.IsEmpty() ? 0 : 1;
}

int32_t GetUpdateRgn(HWND wnd, HRGN rgn, BOOL) {
  TWindowData* w = WindowData(wnd);
  if (!w || !rgn) return ERROR;
  if (!w->Update) {
    SetRectRgn(rgn, 0, 0, 0, 0);
    return NULLREGION;
  }
  return CombineRgn(rgn, w->Update, nullptr, RGN_COPY);
}

BOOL UpdateWindow(HWND wnd) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (IsWindowVisible(wnd) && (w->Update || w->NCPaintNeeded)) PaintWindowNow(w);
  return 1;
}

BOOL RedrawWindow(HWND wnd, const TRect* rect, HRGN rgn, UINT flags) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  if (flags & RDW_INVALIDATE) {
    if (rgn) InvalidateRgn(wnd, rgn, (flags & RDW_ERASE) ? 1 : 0);
    else InvalidateRect(wnd, rect, (flags & RDW_ERASE) ? 1 : 0);
    if (flags & RDW_FRAME) w->NCPaintNeeded = true;
  }
  if (flags & RDW_VALIDATE) {
    if (rgn) ValidateRgn(wnd, rgn);
    else ValidateRect(wnd, rect);
    if (flags & RDW_NOFRAME) w->NCPaintNeeded = false;
  }
  std::vector<HWND> children;
  if (flags & RDW_ALLCHILDREN) children = w->Children;
  for (HWND c : children) {
    TWindowData* cw = WindowData(c);
    if (!cw) continue;
    if (flags & RDW_INVALIDATE) {
      InvalidateRect(c, nullptr, (flags & RDW_ERASE) ? 1 : 0);
      if (flags & RDW_FRAME) cw->NCPaintNeeded = true;
    }
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) RedrawWindow(c, nullptr, nullptr, flags & ~(RDW_INVALIDATE | RDW_VALIDATE));
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(wnd);
  return 1;
}

bool PaintPendingWindows() {
  bool any = false;
  for (HWND h : AllWindows()) {
    TWindowData* w = WindowData(h);
    if (!w || !(w->Update || w->NCPaintNeeded) || !IsWindowVisible(h)) continue;
    PaintWindowNow(w);
    any = true;
  }
  return any;
}

// ---------------------------------------------------------------------------------------------
// Painting

HDC BeginPaint(HWND wnd, PAINTSTRUCT* ps) {
  TWindowData* w = WindowData(wnd);
  if (!w || !ps) return nullptr;
  HDC dc = GetWindowDCInternal(wnd, true);
  if (!dc) return nullptr;
  g_began_paint = true;
  *ps = PAINTSTRUCT();
  ps->hdc = dc;
  HRGN clip = w->Update;
  w->Update = nullptr;
  if (clip) {
    GetRgnBox(clip, &ps->rcPaint);
  } else {
    clip = CreateRectRgn(0, 0, 0, 0);
  }
  SelectClipRgn(dc, clip);
  DeleteObject(clip);
  if (w->EraseNeeded) {
    w->EraseNeeded = false;
    TMessage m{WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0, 0};
    ps->fErase = DeliverMessage(wnd, m) == 0 ? 1 : 0;
  }
  return dc;
}

BOOL EndPaint(HWND wnd, const PAINTSTRUCT* ps) {
  if (!ps) return 0;
  ReleaseWindowDC(wnd, ps->hdc);
  return 1;
}

void FlushWindowArea(TWindowData* W, const TRect& SurfaceRect) {
  if (W->Native && !SurfaceRect.IsEmpty()) W->Native->Flush(SurfaceRect);
}

// ---------------------------------------------------------------------------------------------
// Device contexts

HDC GetWindowDCInternal(HWND wnd, bool Client) {
  TWindowData* w = WindowData(wnd);
  if (!w || !w->Surface) return nullptr;
  TSurface* s = Client ? w->Surface->Client.get() : w->Surface->Full.get();
  HDC dc = TakeSpareDC(w->Surface, s);
  if (!dc) dc = CreateSurfaceDC(s);
  if (!dc) return nullptr;
  // The window DC's origin is the window's corner, the desktop's frame included.
  if (!Client && (w->Frame.Left || w->Frame.Top)) SetViewportOrgEx(dc, -w->Frame.Left, -w->Frame.Top, nullptr);
  DCs().push_back(DCRecord{dc, wnd, w->Surface, Client});
  return dc;
}

int32_t ReleaseWindowDC(HWND, HDC dc) {
  auto& dcs = DCs();
  auto it = std::find_if(dcs.begin(), dcs.end(), [&](const DCRecord& r) { return r.DC == dc; });
  if (it == dcs.end()) return 0;
  DCRecord rec = std::move(*it);
  dcs.erase(it);
  TWindowData* w = WindowData(rec.Wnd);
  const bool live = w && w->Surface == rec.Surface;
  const TSurface* target = rec.Client ? rec.Surface->Client.get() : rec.Surface->Full.get();
  if (!live || !KeepSpareDC(dc, rec.Surface, target)) DeleteDC(dc);
  if (live) FlushWindowArea(w, rec.Client ? ClientInSurface(w) : w->Surface->Full->BoundsRect());
  return 1;
}

void ReleaseSpareWindowDCs() {
  for (const SpareDC& spare : Spares()) DeleteDC(spare.DC);
  Spares().clear();
}

HDC GetWindowDC(HWND wnd) { return GetWindowDCInternal(wnd, false); }

HWND WindowFromDC(HDC dc) {
  for (const DCRecord& r : DCs())
    if (r.DC == dc) return r.Wnd;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Scrolling

int32_t ScrollWindowEx(HWND wnd, int32_t dx, int32_t dy, const TRect* scroll, const TRect* clip, HRGN update,
                       TRect* updateRect, UINT flags) {
  TWindowData* w = WindowData(wnd);
  if (!w || !w->Surface) return ERROR;
  const TRect cb = ClientBounds(w);
  TRect src = cb, cl = cb;
  if (scroll) IntersectRect(src, *scroll, cb);
  if (clip) IntersectRect(cl, *clip, cb);
  TRect visibleSrc;
  IntersectRect(visibleSrc, src, cl);
  TRect dst = visibleSrc;
  dst.Offset(dx, dy);
  TRect dstClip;
  IntersectRect(dstClip, dst, cl);
  if (scroll) IntersectRect(dstClip, dstClip, src);
  // Move the pixels (through a copy: the areas overlap).
  TSurface* s = w->Surface->Client.get();
  if (!dstClip.IsEmpty() && s->Width() > 0) {
    const int32_t width = dstClip.Width();
    std::vector<uint8_t> rows(static_cast<size_t>(width) * 4 * dstClip.Height());
    for (int32_t y = dstClip.Top; y < dstClip.Bottom; ++y)
      std::memcpy(&rows[static_cast<size_t>(y - dstClip.Top) * width * 4], s->Row(y - dy) + (dstClip.Left - dx) * 4,
                  static_cast<size_t>(width) * 4);
    for (int32_t y = dstClip.Top; y < dstClip.Bottom; ++y)
      std::memcpy(s->Row(y) + dstClip.Left * 4, &rows[static_cast<size_t>(y - dstClip.Top) * width * 4],
                  static_cast<size_t>(width) * 4);
  }
  // The update region moves with the pixels.
  if (w->Update) OffsetRgn(w->Update, dx, dy);
  HRGN uncovered = CreateRectRgnIndirect(visibleSrc);
  HRGN moved = CreateRectRgnIndirect(dstClip);
  CombineRgn(uncovered, uncovered, moved, RGN_DIFF);
  DeleteObject(moved);
  TRect box;
  const int32_t type = GetRgnBox(uncovered, &box);
  if (update) CombineRgn(update, uncovered, nullptr, RGN_COPY);
  if (updateRect) *updateRect = box;
  if (flags & SW_INVALIDATE) InvalidateRgn(wnd, uncovered, (flags & SW_ERASE) ? 1 : 0);
  DeleteObject(uncovered);
  if (flags & SW_SCROLLCHILDREN) {
    for (HWND c : std::vector<HWND>(w->Children)) {
      TWindowData* cw = WindowData(c);
      if (!cw) continue;
      if (cw->Control) {
        cw->Control->SetBounds(cw->Rect.Left + dx, cw->Rect.Top + dy, cw->Rect.Width(), cw->Rect.Height());
      } else {
        SetWindowPos(c, nullptr, cw->Rect.Left + dx, cw->Rect.Top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
      }
    }
  }
  if ((w = WindowData(wnd))) FlushWindowArea(w, ClientInSurface(w));
  return type;
}

BOOL ScrollWindow(HWND wnd, int32_t dx, int32_t dy, const TRect* scroll, const TRect* clip) {
  UINT flags = SW_INVALIDATE | SW_ERASE | (scroll ? 0u : UINT{SW_SCROLLCHILDREN});
  return ScrollWindowEx(wnd, dx, dy, scroll, clip, nullptr, nullptr, flags) != ERROR ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// The caret

namespace {

struct Caret {
  HWND Wnd = nullptr;
  TSize Size;
  TPoint Pos;
  int32_t HideLevel = 1;
  bool BlinkOn = true;
  HWND Blinker = nullptr;  // the message-only window of the blink timer
  UINT BlinkTime = 530;
};

Caret& TheCaret() {
  static Caret c;
  return c;
}

void FlushCaret() {
  Caret& c = TheCaret();
  TWindowData* w = WindowData(c.Wnd);
  if (!w) return;
  TRect r = Bounds(c.Pos.X, c.Pos.Y, c.Size.cx, c.Size.cy);
  r.Offset(w->Client.Left - w->Frame.Left, w->Client.Top - w->Frame.Top);
  FlushWindowArea(w, r);
}

void RestartBlink() {
  Caret& c = TheCaret();
  c.BlinkOn = true;
  if (!c.Blinker) {
    c.Blinker = AllocateHWnd([](TMessage& m) {
      if (m.Msg != WM_TIMER) return;
      Caret& caret = TheCaret();
      caret.BlinkOn = !caret.BlinkOn;
      FlushCaret();
    });
  }
  if (c.Wnd && c.HideLevel == 0) SetTimer(c.Blinker, 1, c.BlinkTime, nullptr);
  else KillTimer(c.Blinker, 1);
}

}  // namespace

BOOL CreateCaret(HWND wnd, HBITMAP bitmap, int32_t width, int32_t height) {
  if (!WindowData(wnd)) return 0;
  DestroyCaret();
  Caret& c = TheCaret();
  c.Wnd = wnd;
  int32_t w = width, h = height;
  if (bitmap) {
    BITMAP bm;
    if (GetObject(bitmap, sizeof bm, &bm)) {
      w = bm.bmWidth;
      h = bm.bmHeight;
    }
  }
  c.Size = TSize(w > 0 ? w : GetSystemMetrics(SM_CXBORDER), h > 0 ? h : GetSystemMetrics(SM_CYBORDER));
  c.Pos = TPoint();
  c.HideLevel = 1;
  RestartBlink();
  return 1;
}

BOOL DestroyCaret() {
  Caret& c = TheCaret();
  if (!c.Wnd) return 0;
  FlushCaret();
  c.Wnd = nullptr;
  c.HideLevel = 1;
  RestartBlink();
  return 1;
}

BOOL ShowCaret(HWND wnd) {
  Caret& c = TheCaret();
  if (!c.Wnd || (wnd && wnd != c.Wnd)) return 0;
  if (c.HideLevel > 0 && --c.HideLevel == 0) {
    RestartBlink();
    FlushCaret();
  }
  return 1;
}

BOOL HideCaret(HWND wnd) {
  Caret& c = TheCaret();
  if (!c.Wnd || (wnd && wnd != c.Wnd)) return 0;
  if (c.HideLevel++ == 0) {
    RestartBlink();
    FlushCaret();
  }
  return 1;
}

BOOL SetCaretPos(int32_t x, int32_t y) {
  Caret& c = TheCaret();
  if (!c.Wnd) return 0;
  FlushCaret();
  c.Pos = TPoint(x, y);
  RestartBlink();
  FlushCaret();
  return 1;
}

BOOL GetCaretPos(TPoint* pt) {
  Caret& c = TheCaret();
  if (!c.Wnd || !pt) return 0;
  *pt = c.Pos;
  return 1;
}

UINT GetCaretBlinkTime() { return TheCaret().BlinkTime; }

BOOL SetCaretBlinkTime(UINT ms) {
  TheCaret().BlinkTime = std::max<UINT>(ms, 10);
  RestartBlink();
  return 1;
}

void CaretWindowGone(HWND wnd) {
  if (TheCaret().Wnd == wnd) {
    TheCaret().Wnd = nullptr;
    TheCaret().HideLevel = 1;
  }
  if (TheCaret().Blinker == wnd) TheCaret().Blinker = nullptr;
}

bool CaretShownIn(HWND wnd, TRect& SurfaceRect) {
  Caret& c = TheCaret();
  if (c.Wnd != wnd || c.HideLevel > 0 || !c.BlinkOn) return false;
  TWindowData* w = WindowData(wnd);
  if (!w) return false;
  SurfaceRect = Bounds(c.Pos.X, c.Pos.Y, c.Size.cx, c.Size.cy);
  SurfaceRect.Offset(w->Client.Left - w->Frame.Left, w->Client.Top - w->Frame.Top);
  return true;
}
