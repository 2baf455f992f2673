// The non-client area: borders and window scroll bars (painting, hit testing, tracking), the
// system sizing loop, the default window procedure, system metrics and monitors.
#include <algorithm>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int32_t kBar = 17;       // scroll bar width and arrow length
constexpr int32_t kMinThumb = 8;   // the shortest proportional thumb

int32_t MulDivFloor(int64_t a, int64_t b, int64_t c) { return c == 0 ? 0 : static_cast<int32_t>(a * b / c); }

// The window area inside the borders (window coordinates), where the scroll bars lie.
TRect InnerArea(const TWindowData* W) {
  TRect in = NonClientInsets(W->Style, W->ExStyle, !W->IsChild(), W->MenuHeight, false, false);
  return TRect(in.Left, in.Top, W->Rect.Width() - in.Right, W->Rect.Height() - in.Bottom);
}

// A window scroll bar's rectangle in window coordinates (empty when hidden).
TRect BarRect(const TWindowData* W, int32_t bar) {
  if (!W->ScrollVisible[bar]) return {};
  TRect a = InnerArea(W);
  if (bar == SB_VERT) {
    int32_t bottom = a.Bottom - (W->ScrollVisible[SB_HORZ] ? kBar : 0);
    return TRect(std::max(a.Left, a.Right - kBar), a.Top, a.Right, std::max(a.Top, bottom));
  }
  int32_t right = a.Right - (W->ScrollVisible[SB_VERT] ? kBar : 0);
  return TRect(a.Left, std::max(a.Top, a.Bottom - kBar), std::max(a.Left, right), a.Bottom);
}

struct BarLayout {
  int32_t Length = 0;  // along the bar
  int32_t Arrow = 0;
  int32_t ThumbPos = 0;  // from the bar's start; 0 and ThumbLen 0 when there is no thumb
  int32_t ThumbLen = 0;
};

int32_t MaxPos(const SCROLLINFO& si) {
  return std::max(si.nMin, si.nMax - std::max<int32_t>(static_cast<int32_t>(si.nPage) - 1, 0));
}

bool Scrollable(const SCROLLINFO& si) {
  const int64_t range = static_cast<int64_t>(si.nMax) - si.nMin + 1;
  return si.nMax > si.nMin && (si.nPage == 0 || range > static_cast<int64_t>(si.nPage));
}

BarLayout Layout(const TWindowData* W, int32_t bar, int32_t pos) {
  BarLayout l;
  TRect r = BarRect(W, bar);
  l.Length = bar == SB_VERT ? r.Height() : r.Width();
  l.Arrow = std::min(kBar, l.Length / 2);
  const int32_t track = l.Length - 2 * l.Arrow;
  const SCROLLINFO& si = W->Scroll[bar];
  if (track <= 0 || !Scrollable(si)) return l;
  const int64_t range = static_cast<int64_t>(si.nMax) - si.nMin + 1;
  int32_t len = si.nPage ? std::max(MulDivFloor(track, si.nPage, range), kMinThumb) : kBar;
  if (len > track) return l;
  const int32_t span = MaxPos(si) - si.nMin;
  l.ThumbLen = len;
  l.ThumbPos = l.Arrow + (span > 0 ? MulDivFloor(track - len, std::clamp(pos, si.nMin, MaxPos(si)) - si.nMin, span) : 0);
  return l;
}

// What part of a bar the offset along it hits.
enum class Part { None, LineUp, PageUp, Thumb, PageDown, LineDown };

Part HitPart(const BarLayout& l, int32_t offset) {
  if (offset < 0 || offset >= l.Length) return Part::None;
  if (offset < l.Arrow) return Part::LineUp;
  if (offset >= l.Length - l.Arrow) return Part::LineDown;
  if (l.ThumbLen == 0) return Part::None;
  if (offset < l.ThumbPos) return Part::PageUp;
  if (offset >= l.ThumbPos + l.ThumbLen) return Part::PageDown;
  return Part::Thumb;
}

bool BarEnabled(const TWindowData* W, int32_t bar) {
  return W->Enabled() && Scrollable(W->Scroll[bar]) && (W->ScrollDisabled[bar] & ESB_DISABLE_BOTH) != ESB_DISABLE_BOTH;
}

// ---------------------------------------------------------------------------------------------
// Tracking a scroll bar with the mouse

struct Tracking {
  HWND Wnd = nullptr;
  int32_t Bar = 0;
  Part What = Part::None;
  int32_t GrabOffset = 0;  // mouse offset within the thumb
  int32_t Pos = 0;
  HWND Timer = nullptr;
  TPoint Mouse;
};

Tracking& Track() {
  static Tracking t;
  return t;
}

uint16_t CodeOf(Part p) {
  switch (p) {
    case Part::LineUp: return SB_LINEUP;
    case Part::LineDown: return SB_LINEDOWN;
    case Part::PageUp: return SB_PAGEUP;
    case Part::PageDown: return SB_PAGEDOWN;
    default: return SB_ENDSCROLL;
  }
}

void SendScroll(HWND wnd, int32_t bar, uint16_t code, int32_t pos) {
  TMessage m{static_cast<UINT>(bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL),
             MAKEWPARAM(code, static_cast<uint16_t>(pos)), 0, 0};
  DeliverMessage(wnd, m);
}

// The offset of a screen point along a bar.
int32_t OffsetAlong(TWindowData* W, int32_t bar, TPoint screen) {
  TPoint o = WindowScreenOrigin(W);
  TRect r = BarRect(W, bar);
  return bar == SB_VERT ? screen.Y - o.Y - r.Top : screen.X - o.X - r.Left;
}

void StopTracking() {
  Tracking& t = Track();
  if (t.Timer) {
    DeallocateHWnd(t.Timer);
    t.Timer = nullptr;
  }
  HWND wnd = t.Wnd;
  t.Wnd = nullptr;
  if (TWindowData* w = WindowData(wnd)) {
    w->NCPaintNeeded = true;
    WakeEventLoop();
  }
}

void RepeatTick() {
  Tracking& t = Track();
  TWindowData* w = WindowData(t.Wnd);
  if (!w) {
    StopTracking();
    return;
  }
  // Repeats while the mouse stays on the part it pressed.
  BarLayout l = Layout(w, t.Bar, w->Scroll[t.Bar].nPos);
  if (HitPart(l, OffsetAlong(w, t.Bar, t.Mouse)) == t.What) SendScroll(t.Wnd, t.Bar, CodeOf(t.What), 0);
  if (Track().Timer) SetTimer(Track().Timer, 1, 50, nullptr);
}

// ---------------------------------------------------------------------------------------------
// The system sizing loop

struct Sizing {
  HWND Wnd = nullptr;
  uint32_t Edge = 0;
  TPoint Start;
  TRect StartRect;
};

Sizing& Size() {
  static Sizing s;
  return s;
}

void PaintBar(HDC dc, TWindowData* W, int32_t bar) {
  TRect r = BarRect(W, bar);
  if (r.IsEmpty()) return;
  const bool enabled = BarEnabled(W, bar);
  const bool tracking = Track().Wnd == W->Handle && Track().Bar == bar;
  const int32_t pos = tracking && Track().What == Part::Thumb ? Track().Pos : W->Scroll[bar].nPos;
  BarLayout l = Layout(W, bar, pos);
  const bool vert = bar == SB_VERT;
  auto span = [&](int32_t from, int32_t len) {
    return vert ? TRect(r.Left, r.Top + from, r.Right, r.Top + from + len)
                : TRect(r.Left + from, r.Top, r.Left + from + len, r.Bottom);
  };
  // Arrows.
  UINT inactive = enabled ? 0 : DFCS_INACTIVE;
  TRect a1 = span(0, l.Arrow), a2 = span(l.Length - l.Arrow, l.Arrow);
  UINT p1 = tracking && Track().What == Part::LineUp ? DFCS_PUSHED | DFCS_FLAT : 0;
  UINT p2 = tracking && Track().What == Part::LineDown ? DFCS_PUSHED | DFCS_FLAT : 0;
  DrawFrameControl(dc, a1, DFC_SCROLL, (vert ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive | p1);
  DrawFrameControl(dc, a2, DFC_SCROLL, (vert ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive | p2);
  // The track: the classic dither of highlight and face.
  TRect track = span(l.Arrow, l.Length - 2 * l.Arrow);
  if (!track.IsEmpty()) {
    HBITMAP pattern = nullptr;
    {
      const WORD bits[8] = {0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA};
      pattern = CreateBitmap(8, 8, 1, 1, bits);
    }
    HBRUSH brush = CreatePatternBrush(pattern);
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    COLORREF oldBk = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    FillRect(dc, track, brush);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBk);
    DeleteObject(brush);
    DeleteObject(pattern);
    if (l.ThumbLen > 0 && enabled) {
      TRect thumb = span(l.ThumbPos, l.ThumbLen);
      FillRect(dc, thumb, reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
      HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
      FillRect(dc, thumb, face);
      DeleteObject(face);
      DrawEdge(dc, thumb, EDGE_RAISED, BF_RECT);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Scroll bars

int32_t SetScrollInfo(HWND wnd, int32_t bar, const SCROLLINFO* si, BOOL redraw) {
  TWindowData* w = WindowData(wnd);
  if (!w || !si || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  SCROLLINFO& s = w->Scroll[bar];
  if (si->fMask & SIF_RANGE) {
    s.nMin = si->nMin;
    s.nMax = std::max(si->nMin, si->nMax);
  }
  if (si->fMask & SIF_PAGE) {
    const int64_t range = static_cast<int64_t>(s.nMax) - s.nMin + 1;
    s.nPage = static_cast<UINT>(std::min<int64_t>(si->nPage, range));
  }
  if (si->fMask & SIF_POS) s.nPos = si->nPos;
  s.nPos = std::clamp(s.nPos, s.nMin, MaxPos(s));
  // A bar is shown while its range goes beyond the page (or disabled, with SIF_DISABLENOSCROLL).
  const bool want = Scrollable(s) || ((si->fMask & SIF_DISABLENOSCROLL) && w->ScrollVisible[bar]);
  if (want != w->ScrollVisible[bar] && (si->fMask & (SIF_RANGE | SIF_PAGE))) {
    ShowScrollBar(wnd, bar, want ? 1 : 0);
    if (!(w = WindowData(wnd))) return 0;
  } else if (redraw) {
    w->NCPaintNeeded = true;
    WakeEventLoop();
  }
  return w->Scroll[bar].nPos;
}

BOOL GetScrollInfo(HWND wnd, int32_t bar, SCROLLINFO* si) {
  TWindowData* w = WindowData(wnd);
  if (!w || !si || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  const SCROLLINFO& s = w->Scroll[bar];
  if (si->fMask & SIF_RANGE) {
    si->nMin = s.nMin;
    si->nMax = s.nMax;
  }
  if (si->fMask & SIF_PAGE) si->nPage = s.nPage;
  if (si->fMask & SIF_POS) si->nPos = s.nPos;
  if (si->fMask & SIF_TRACKPOS) {
    const Tracking& t = Track();
    si->nTrackPos = t.Wnd == wnd && t.Bar == bar && t.What == Part::Thumb ? t.Pos : s.nPos;
  }
  return 1;
}

int32_t SetScrollPos(HWND wnd, int32_t bar, int32_t pos, BOOL redraw) {
  TWindowData* w = WindowData(wnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  const int32_t old = w->Scroll[bar].nPos;
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(wnd, bar, &si, redraw);
  return old;
}

int32_t GetScrollPos(HWND wnd, int32_t bar) {
  TWindowData* w = WindowData(wnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  return w->Scroll[bar].nPos;
}

BOOL SetScrollRange(HWND wnd, int32_t bar, int32_t minPos, int32_t maxPos, BOOL redraw) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = minPos;
  si.nMax = maxPos;
  return WindowData(wnd) ? (SetScrollInfo(wnd, bar, &si, redraw), 1) : 0;
}

BOOL GetScrollRange(HWND wnd, int32_t bar, int32_t* minPos, int32_t* maxPos) {
  TWindowData* w = WindowData(wnd);
  if (!w || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  if (minPos) *minPos = w->Scroll[bar].nMin;
  if (maxPos) *maxPos = w->Scroll[bar].nMax;
  return 1;
}

BOOL ShowScrollBar(HWND wnd, int32_t bar, BOOL show) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  bool changed = false;
  for (int32_t b = 0; b < 2; ++b) {
    if (bar != SB_BOTH && bar != b) continue;
    if (w->ScrollVisible[b] != (show != 0)) {
      w->ScrollVisible[b] = show != 0;
      changed = true;
    }
  }
  if (changed) {
    const uint32_t bits = (w->ScrollVisible[SB_HORZ] ? uint32_t{WS_HSCROLL} : 0u) | (w->ScrollVisible[SB_VERT] ? uint32_t{WS_VSCROLL} : 0u);
    w->Style = (w->Style & ~(WS_HSCROLL | WS_VSCROLL)) | bits;
    // The client area changes: the window is told as for a frame change.
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  return 1;
}

BOOL EnableScrollBar(HWND wnd, UINT bar, UINT arrows) {
  TWindowData* w = WindowData(wnd);
  if (!w) return 0;
  for (int32_t b = 0; b < 2; ++b)
    if (bar == SB_BOTH || static_cast<int32_t>(bar) == b) w->ScrollDisabled[b] = arrows & ESB_DISABLE_BOTH;
  w->NCPaintNeeded = true;
  WakeEventLoop();
  return 1;
}

// ---------------------------------------------------------------------------------------------
// Non-client painting and hit testing

void PaintNonClient(TWindowData* W) {
  HWND wnd = W->Handle;
  HDC dc = GetWindowDCInternal(wnd, false);
  if (!dc) return;
  TRect client = W->Client;
  ExcludeClipRect(dc, client.Left, client.Top, client.Right, client.Bottom);
  TRect r(0, 0, W->Rect.Width(), W->Rect.Height());
  if (!W->Decorated()) {
    if (W->Style & (WS_THICKFRAME | WS_DLGFRAME)) {
      DrawEdge(dc, r, EDGE_RAISED, BF_RECT | BF_ADJUST);
      const int32_t extra = ((W->Style & WS_THICKFRAME) ? GetSystemMetrics(SM_CXSIZEFRAME) : GetSystemMetrics(SM_CXDLGFRAME)) - 2;
      HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
      for (int32_t i = 0; i < extra; ++i) {
        FrameRect(dc, r, face);
        r.Inflate(-1, -1);
      }
      DeleteObject(face);
    } else if (W->Style & WS_BORDER) {
      HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_WINDOWFRAME));
      FrameRect(dc, r, frame);
      DeleteObject(frame);
      r.Inflate(-1, -1);
    }
  } else {
    r = TRect(W->Frame.Left, W->Frame.Top, r.Right - W->Frame.Right, r.Bottom - W->Frame.Bottom);
  }
  if (!W->IsChild()) r.Top += W->MenuHeight;
  if (W->ExStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  if (W->ExStyle & WS_EX_STATICEDGE) DrawEdge(dc, r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  PaintBar(dc, W, SB_HORZ);
  PaintBar(dc, W, SB_VERT);
  if (W->ScrollVisible[SB_HORZ] && W->ScrollVisible[SB_VERT]) {
    TRect v = BarRect(W, SB_VERT), h = BarRect(W, SB_HORZ);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    TRect corner(v.Left, h.Top, v.Right, h.Bottom);
    FillRect(dc, corner, face);
    DeleteObject(face);
  }
  ReleaseWindowDC(wnd, dc);
}

namespace {
int32_t HitTest(TWindowData* W, TPoint screen) {
  TPoint o = WindowScreenOrigin(W);
  TPoint p(screen.X - o.X, screen.Y - o.Y);
  if (!TRect(0, 0, W->Rect.Width(), W->Rect.Height()).Contains(p)) return HTNOWHERE;
  if (W->Client.Contains(p)) return HTCLIENT;
  if (BarRect(W, SB_VERT).Contains(p)) return HTVSCROLL;
  if (BarRect(W, SB_HORZ).Contains(p)) return HTHSCROLL;
  if (W->ScrollVisible[SB_HORZ] && W->ScrollVisible[SB_VERT]) {
    TRect v = BarRect(W, SB_VERT), h = BarRect(W, SB_HORZ);
    if (TRect(v.Left, h.Top, v.Right, h.Bottom).Contains(p)) return (W->Style & WS_THICKFRAME) ? HTGROWBOX : HTNOWHERE;
  }
  if (!W->IsChild() && W->MenuHeight > 0 && p.Y >= W->Frame.Top && p.Y < W->Frame.Top + W->MenuHeight) return HTMENU;
  if (!W->Decorated() && (W->Style & WS_THICKFRAME)) {
    const int32_t f = GetSystemMetrics(SM_CXSIZEFRAME);
    const bool l = p.X < f, t = p.Y < f, r = p.X >= W->Rect.Width() - f, b = p.Y >= W->Rect.Height() - f;
    if (t && l) return HTTOPLEFT;
    if (t && r) return HTTOPRIGHT;
    if (b && l) return HTBOTTOMLEFT;
    if (b && r) return HTBOTTOMRIGHT;
    if (l) return HTLEFT;
    if (r) return HTRIGHT;
    if (t) return HTTOP;
    if (b) return HTBOTTOM;
  }
  return HTBORDER;
}
}  // namespace

bool NonClientMouse(TWindowData* W, UINT Msg, int32_t Hit, TPoint ScreenPos) {
  if (Msg != WM_NCLBUTTONDOWN && Msg != WM_NCLBUTTONDBLCLK) return false;
  if (Hit == HTVSCROLL || Hit == HTHSCROLL) {
    const int32_t bar = Hit == HTVSCROLL ? SB_VERT : SB_HORZ;
    if (!BarEnabled(W, bar)) return true;
    BarLayout l = Layout(W, bar, W->Scroll[bar].nPos);
    const int32_t off = OffsetAlong(W, bar, ScreenPos);
    Part part = HitPart(l, off);
    if (part == Part::None) return true;
    StopTracking();
    Tracking& t = Track();
    t.Wnd = W->Handle;
    t.Bar = bar;
    t.What = part;
    t.Mouse = ScreenPos;
    t.Pos = W->Scroll[bar].nPos;
    t.GrabOffset = off - l.ThumbPos;
    W->NCPaintNeeded = true;
    if (part == Part::Thumb) {
      SendScroll(W->Handle, bar, SB_THUMBTRACK, t.Pos);
    } else {
      HWND wnd = W->Handle;
      SendScroll(wnd, bar, CodeOf(part), 0);
      if (Track().Wnd == wnd) {
        Track().Timer = AllocateHWnd([](TMessage& m) {
          if (m.Msg == WM_TIMER) RepeatTick();
        });
        SetTimer(Track().Timer, 1, 400, nullptr);
      }
    }
    WakeEventLoop();
    return true;
  }
  if (Hit >= HTLEFT && Hit <= HTBOTTOMRIGHT) {
    static const uint32_t kEdge[] = {WMSZ_LEFT, WMSZ_RIGHT, WMSZ_TOP, WMSZ_TOPLEFT, WMSZ_TOPRIGHT,
                                     WMSZ_BOTTOM, WMSZ_BOTTOMLEFT, WMSZ_BOTTOMRIGHT};
    StartSizing(W, kEdge[Hit - HTLEFT], ScreenPos);
    return true;
  }
  if (Hit == HTGROWBOX) {
    StartSizing(W, WMSZ_BOTTOMRIGHT, ScreenPos);
    return true;
  }
  return false;
}

bool ScrollTrackingMouse(TMouseAction Action, TPoint ScreenPos) {
  Tracking& t = Track();
  TWindowData* w = WindowData(t.Wnd);
  if (!t.Wnd) return false;
  if (!w) {
    StopTracking();
    return false;
  }
  t.Mouse = ScreenPos;
  if (Action == TMouseAction::Move && t.What == Part::Thumb) {
    BarLayout l = Layout(w, t.Bar, w->Scroll[t.Bar].nPos);
    const int32_t track = l.Length - 2 * l.Arrow - l.ThumbLen;
    const SCROLLINFO& si = w->Scroll[t.Bar];
    int32_t start = OffsetAlong(w, t.Bar, ScreenPos) - t.GrabOffset - l.Arrow;
    int32_t pos = si.nMin + (track > 0 ? MulDivFloor(std::clamp(start, 0, track), MaxPos(si) - si.nMin, track) : 0);
    if (pos != t.Pos) {
      t.Pos = pos;
      w->NCPaintNeeded = true;
      SendScroll(t.Wnd, t.Bar, SB_THUMBTRACK, pos);
    }
  } else if (Action == TMouseAction::Release) {
    HWND wnd = t.Wnd;
    const int32_t bar = t.Bar;
    const Part what = t.What;
    const int32_t pos = t.Pos;
    StopTracking();
    if (what == Part::Thumb) SendScroll(wnd, bar, SB_THUMBPOSITION, pos);
    SendScroll(wnd, bar, SB_ENDSCROLL, 0);
  }
  return true;
}

void StartSizing(TWindowData* W, uint32_t Edge, TPoint ScreenPos) {
  HWND root = GetAncestor(W->Handle, GA_ROOT);
  TWindowData* r = WindowData(root);
  if (!r) return;
  Sizing& s = Size();
  s.Wnd = root;
  s.Edge = Edge;
  s.Start = ScreenPos;
  GetWindowRect(root, &s.StartRect);
  TMessage m{WM_ENTERSIZEMOVE, 0, 0, 0};
  DeliverMessage(root, m);
}

bool SizingMouse(TMouseAction Action, TPoint ScreenPos) {
  Sizing& s = Size();
  if (!s.Wnd) return false;
  TWindowData* w = WindowData(s.Wnd);
  if (!w) {
    s.Wnd = nullptr;
    return false;
  }
  if (Action == TMouseAction::Move || Action == TMouseAction::Release) {
    const int32_t dx = ScreenPos.X - s.Start.X, dy = ScreenPos.Y - s.Start.Y;
    TRect r = s.StartRect;
    switch (s.Edge) {
      case WMSZ_LEFT: r.Left += dx; break;
      case WMSZ_RIGHT: r.Right += dx; break;
      case WMSZ_TOP: r.Top += dy; break;
      case WMSZ_BOTTOM: r.Bottom += dy; break;
      case WMSZ_TOPLEFT: r.Left += dx; r.Top += dy; break;
      case WMSZ_TOPRIGHT: r.Right += dx; r.Top += dy; break;
      case WMSZ_BOTTOMLEFT: r.Left += dx; r.Bottom += dy; break;
      default: r.Right += dx; r.Bottom += dy; break;
    }
    // The smallest window: the frame and a little client area.
    TMinMaxInfo mmi;
    mmi.ptMinTrackSize = TPoint(GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK));
    mmi.ptMaxTrackSize = TPoint(GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK));
    TMessage mm{WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi), 0};
    DeliverMessage(s.Wnd, mm);
    if (!(w = WindowData(s.Wnd))) return true;
    const int32_t width = std::clamp(r.Width(), mmi.ptMinTrackSize.X, std::max(mmi.ptMinTrackSize.X, mmi.ptMaxTrackSize.X));
    const int32_t height = std::clamp(r.Height(), mmi.ptMinTrackSize.Y, std::max(mmi.ptMinTrackSize.Y, mmi.ptMaxTrackSize.Y));
    if (s.Edge == WMSZ_LEFT || s.Edge == WMSZ_TOPLEFT || s.Edge == WMSZ_BOTTOMLEFT) r.Left = r.Right - width;
    else r.Right = r.Left + width;
    if (s.Edge == WMSZ_TOP || s.Edge == WMSZ_TOPLEFT || s.Edge == WMSZ_TOPRIGHT) r.Top = r.Bottom - height;
    else r.Bottom = r.Top + height;
    if (w->Control) {
      TWinControl* c = w->Control;
      RunWrapped([&] { c->SetBounds(r.Left, r.Top, r.Width(), r.Height()); });
    } else {
      SetWindowPos(s.Wnd, nullptr, r.Left, r.Top, r.Width(), r.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (Action == TMouseAction::Release) {
    HWND wnd = s.Wnd;
    s.Wnd = nullptr;
    TMessage m{WM_EXITSIZEMOVE, 0, 0, 0};
    DeliverMessage(wnd, m);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// The default window procedure

void DefWindowProcInternal(HWND wnd, TMessage& Message) {
  TWindowData* w = WindowData(wnd);
  if (!w) return;
  switch (Message.Msg) {
    case WM_NCCALCSIZE: {
      auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam);
      if (!p) break;
      TRect in = NonClientInsets(w->Style, w->ExStyle, !w->IsChild(), w->MenuHeight, w->ScrollVisible[SB_HORZ],
                                 w->ScrollVisible[SB_VERT]);
      TRect& r = p->rgrc[0];
      r = TRect(r.Left + in.Left, r.Top + in.Top, std::max(r.Left + in.Left, r.Right - in.Right),
                std::max(r.Top + in.Top, r.Bottom - in.Bottom));
      Message.Result = 0;
      break;
    }
    case WM_NCHITTEST:
      Message.Result = HitTest(w, TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
      break;
    case WM_NCPAINT:
      PaintNonClient(w);
      break;
    case WM_PAINT: {
      if (Message.WParam) break;  // painting on a given DC: nothing of the window's own
      PAINTSTRUCT ps;
      BeginPaint(wnd, &ps);
      EndPaint(wnd, &ps);
      break;
    }
    case WM_ERASEBKGND:
      Message.Result = 0;
      break;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<TWindowPos*>(Message.LParam);
      if (!pos) break;
      const UINT flags = pos->flags;
      if (!(flags & kSwpNoClientSize)) {
        const WPARAM type = w->Minimized ? SIZE_MINIMIZED : w->Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
        TMessage m{WM_SIZE, type, PointToLParam(w->Client.Width(), w->Client.Height()), 0};
        DeliverMessage(wnd, m);
        if (!(w = WindowData(wnd))) break;
      }
      if (!(flags & kSwpNoClientMove)) {
        TMessage m{WM_MOVE, 0, PointToLParam(w->Rect.Left + w->Client.Left, w->Rect.Top + w->Client.Top), 0};
        DeliverMessage(wnd, m);
      }
      break;
    }
    case WM_SETCURSOR: {
      if (w->IsChild()) {
        TMessage m = Message;
        if (DeliverMessage(w->Parent, m)) {
          Message.Result = 1;
          break;
        }
      }
      const int32_t hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(Message.LParam)));
      int32_t id = IDC_ARROW;
      switch (hit) {
        case HTLEFT: case HTRIGHT: id = IDC_SIZEWE; break;
        case HTTOP: case HTBOTTOM: id = IDC_SIZENS; break;
        case HTTOPLEFT: case HTBOTTOMRIGHT: case HTGROWBOX: id = IDC_SIZENWSE; break;
        case HTTOPRIGHT: case HTBOTTOMLEFT: id = IDC_SIZENESW; break;
        default: break;
      }
      // Only the window under the mouse decides (the parent chain was asked first).
      if (Message.WParam == reinterpret_cast<WPARAM>(wnd)) {
        SetCursor(LoadCursor(0, id));
        Message.Result = 1;
      }
      break;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
    case WM_CONTEXTMENU:
      if (w->IsChild()) {
        TMessage m = Message;
        Message.Result = DeliverMessage(w->Parent, m);
      }
      break;
    case WM_RBUTTONUP: {
      // The context menu follows the right button's release.
      TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      ClientToScreen(wnd, &p);
      TMessage m{WM_CONTEXTMENU, reinterpret_cast<WPARAM>(wnd), PointToLParam(p.X, p.Y), 0};
      DeliverMessage(wnd, m);
      break;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      NonClientMouse(w, Message.Msg, static_cast<int32_t>(Message.WParam),
                     TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
      break;
    case WM_MOUSEACTIVATE:
      if (w->IsChild()) {
        TMessage m = Message;
        LRESULT r = DeliverMessage(w->Parent, m);
        if (r) {
          Message.Result = r;
          break;
        }
      }
      Message.Result = MA_ACTIVATE;
      break;
    case WM_SYSCOMMAND: {
      const uint32_t cmd = static_cast<uint32_t>(Message.WParam) & 0xFFF0;
      if (cmd == SC_SIZE) {
        TPoint p;
        GetCursorPos(&p);
        StartSizing(w, static_cast<uint32_t>(Message.WParam) & 0x000F, p);
      } else if (cmd == SC_CLOSE) {
        TMessage m{WM_CLOSE, 0, 0, 0};
        DeliverMessage(wnd, m);
      } else if (cmd == SC_MINIMIZE) {
        ShowWindow(wnd, SW_MINIMIZE);
      } else if (cmd == SC_MAXIMIZE) {
        ShowWindow(wnd, SW_MAXIMIZE);
      } else if (cmd == SC_RESTORE) {
        ShowWindow(wnd, SW_RESTORE);
      } else if (cmd == SC_KEYMENU && Message.LParam != 0 && Message.LParam != ' ') {
        MessageBeep(0);  // no menu item has the mnemonic (Alt+Space would be the window menu)
      }
      break;
    }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR: {
      // The system keys belong to the top-level window: its menu, or Alt+F4.
      HWND root = GetAncestor(wnd, GA_ROOT);
      auto* form = dynamic_cast<TCustomForm*>(FindControl(root));
      if (form && MenuHooks().FormMenuKey && MenuHooks().FormMenuKey(form, Message)) break;
      const WPARAM key = Message.WParam;
      if (Message.Msg == WM_SYSKEYDOWN && key == VK_F4 && KeyDataAltDown(Message.LParam)) {
        TMessage m{WM_SYSCOMMAND, SC_CLOSE, 0, 0};
        DeliverMessage(root, m);
      } else if (Message.Msg == WM_SYSKEYUP && (key == VK_MENU || key == VK_LMENU || key == VK_RMENU)) {
        // Alt pressed and released alone is the menu key.
        if (TakeAltPressedAlone() && root) {
          TMessage m{WM_SYSCOMMAND, SC_KEYMENU, 0, 0};
          DeliverMessage(root, m);
        }
      } else if (Message.Msg == WM_SYSCHAR && root) {
        // Alt+character nobody took: the menu bar item with that mnemonic.
        TMessage m{WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(key), 0};
        DeliverMessage(root, m);
      }
      break;
    }
    case WM_ACTIVATE:
      if (LOWORD(Message.WParam) != WA_INACTIVE) {
        HWND f = GetFocus();
        if (!f || (f != wnd && !IsChild(wnd, f))) SetFocus(wnd);
      }
      break;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<TMinMaxInfo*>(Message.LParam);
      if (mmi) {
        mmi->ptMinTrackSize = TPoint(GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK));
        mmi->ptMaxTrackSize = TPoint(GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK));
      }
      break;
    }
    case WM_SETTEXT:
      w->Text = Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "";
      if (w->Native && !w->IsChild()) w->Native->SetTitle(w->Text);
      Message.Result = 1;
      break;
    case WM_GETTEXTLENGTH:
      Message.Result = static_cast<LRESULT>(w->Text.size());
      break;
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<char*>(Message.LParam);
      const size_t cap = Message.WParam;
      if (!buf || cap == 0) break;
      const size_t n = std::min(cap - 1, w->Text.size());
      std::copy_n(w->Text.data(), n, buf);
      buf[n] = '\0';
      Message.Result = static_cast<LRESULT>(n);
      break;
    }
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// System metrics and monitors

int32_t GetSystemMetrics(int32_t index) {
  switch (index) {
    case SM_CXSCREEN: return ScreenInfos().front().Bounds.Width();
    case SM_CYSCREEN: return ScreenInfos().front().Bounds.Height();
    case SM_CXFULLSCREEN: return ScreenInfos().front().Work.Width();
    case SM_CYFULLSCREEN: return ScreenInfos().front().Work.Height() - 19;
    case SM_CXMAXIMIZED: return ScreenInfos().front().Work.Width() + 8;
    case SM_CYMAXIMIZED: return ScreenInfos().front().Work.Height() + 8;
    case SM_CXMAXTRACK: case SM_CXVIRTUALSCREEN: {
      TRect r;
      for (const TScreenInfo& s : ScreenInfos()) r = r.IsEmpty() ? s.Bounds : TRect(std::min(r.Left, s.Bounds.Left), std::min(r.Top, s.Bounds.Top), std::max(r.Right, s.Bounds.Right), std::max(r.Bottom, s.Bounds.Bottom));
      return r.Width() + (index == SM_CXMAXTRACK ? 12 : 0);
    }
    case SM_CYMAXTRACK: case SM_CYVIRTUALSCREEN: {
      TRect r;
      for (const TScreenInfo& s : ScreenInfos()) r = r.IsEmpty() ? s.Bounds : TRect(std::min(r.Left, s.Bounds.Left), std::min(r.Top, s.Bounds.Top), std::max(r.Right, s.Bounds.Right), std::max(r.Bottom, s.Bounds.Bottom));
      return r.Height() + (index == SM_CYMAXTRACK ? 12 : 0);
    }
    case SM_XVIRTUALSCREEN: case SM_YVIRTUALSCREEN: {
      int32_t v = 0;
      for (const TScreenInfo& s : ScreenInfos()) v = std::min(v, index == SM_XVIRTUALSCREEN ? s.Bounds.Left : s.Bounds.Top);
      return v;
    }
    case SM_CMONITORS: return static_cast<int32_t>(ScreenInfos().size());
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL: return 17;
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 19;
    case SM_CYSMCAPTION: return 16;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXSIZEFRAME: case SM_CYSIZEFRAME: return 4;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYMENU: return 19;
    case SM_CXSIZE: case SM_CYSIZE: return 18;
    case SM_CXSMSIZE: case SM_CYSMSIZE: return 15;
    case SM_CXMENUSIZE: case SM_CYMENUSIZE: return 18;
    case SM_CXMIN: return 112;
    case SM_CYMIN: return 27;
    case SM_CXMINTRACK: return 112;
    case SM_CYMINTRACK: return 27;
    case SM_CXMINIMIZED: return 160;
    case SM_CYMINIMIZED: return 24;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return 4;
    case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_CXFOCUSBORDER: case SM_CYFOCUSBORDER: return 1;
    case SM_MOUSEPRESENT: case SM_MOUSEWHEELPRESENT: case SM_SAMEDISPLAYFORMAT: return 1;
    case SM_CMOUSEBUTTONS: return 3;
    default: return 0;
  }
}

namespace {
HMONITOR MonitorHandle(size_t index) { return reinterpret_cast<HMONITOR>(index + 1); }
int64_t DistanceSq(const TRect& r, TPoint p) {
  const int64_t dx = p.X < r.Left ? r.Left - p.X : p.X >= r.Right ? p.X - r.Right + 1 : 0;
  const int64_t dy = p.Y < r.Top ? r.Top - p.Y : p.Y >= r.Bottom ? p.Y - r.Bottom + 1 : 0;
  return dx * dx + dy * dy;
}
}  // namespace

HMONITOR MonitorFromPoint(TPoint pt, DWORD flags) {
  std::vector<TScreenInfo> screens = ScreenInfos();
  size_t best = 0;
  int64_t bestD = INT64_MAX;
  for (size_t i = 0; i < screens.size(); ++i) {
    if (screens[i].Bounds.Contains(pt)) return MonitorHandle(i);
    int64_t d = DistanceSq(screens[i].Bounds, pt);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  if (flags == MONITOR_DEFAULTTONULL) return nullptr;
  return MonitorHandle(flags == MONITOR_DEFAULTTOPRIMARY ? 0 : best);
}

HMONITOR MonitorFromRect(const TRect* rect, DWORD flags) {
  if (!rect) return MonitorFromPoint(TPoint(), flags);
  std::vector<TScreenInfo> screens = ScreenInfos();
  int64_t bestArea = 0;
  size_t best = SIZE_MAX;
  for (size_t i = 0; i < screens.size(); ++i) {
    TRect x;
    if (IntersectRect(x, screens[i].Bounds, *rect)) {
      int64_t area = static_cast<int64_t>(x.Width()) * x.Height();
      if (area > bestArea) {
        bestArea = area;
        best = i;
      }
    }
  }
  if (best != SIZE_MAX) return MonitorHandle(best);
  return MonitorFromPoint(TPoint((rect->Left + rect->Right) / 2, (rect->Top + rect->Bottom) / 2), flags);
}

HMONITOR MonitorFromWindow(HWND wnd, DWORD flags) {
  TRect r;
  if (!GetWindowRect(wnd, &r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : MonitorHandle(0);
  return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
  const auto index = reinterpret_cast<uintptr_t>(monitor);
  std::vector<TScreenInfo> screens = ScreenInfos();
  if (!info || index == 0 || index > screens.size()) return 0;
  info->rcMonitor = screens[index - 1].Bounds;
  info->rcWork = screens[index - 1].Work;
  info->dwFlags = index == 1 ? DWORD{MONITORINFOF_PRIMARY} : DWORD{0};
  return 1;
}
