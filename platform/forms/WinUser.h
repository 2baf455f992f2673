// The window system's user interface calls: window handles, sending and posting messages,
// timers, keyboard and mouse state, capture and focus, system metrics, window scroll bars,
// invalidation and painting, coordinates, window state, device contexts and the caret.
//
// A window handle is an id from a generation-checked table (never a pointer): a handle of a
// destroyed window is refused by every call (0 / FALSE / nullptr), and messages posted to it
// are dropped. Windows belong to the UI thread; only PostMessage may be called from any thread.
// Everything else asserts the UI thread in debug builds.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/forms/Messages.h"
#include "platform/gdi/WinGdi.h"
#include "platform/gdi/WinIcons.h"
#include "platform/rtl/Types.h"

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// ---------------------------------------------------------------------------------------------
// Window styles
enum : uint32_t {
  WS_OVERLAPPED = 0x00000000, WS_POPUP = 0x80000000, WS_CHILD = 0x40000000, WS_MINIMIZE = 0x20000000,
  WS_VISIBLE = 0x10000000, WS_DISABLED = 0x08000000, WS_CLIPSIBLINGS = 0x04000000,
  WS_CLIPCHILDREN = 0x02000000, WS_MAXIMIZE = 0x01000000, WS_CAPTION = 0x00C00000,
  WS_BORDER = 0x00800000, WS_DLGFRAME = 0x00400000, WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000,
  WS_SYSMENU = 0x00080000, WS_THICKFRAME = 0x00040000, WS_SIZEBOX = 0x00040000, WS_GROUP = 0x00020000,
  WS_TABSTOP = 0x00010000, WS_MINIMIZEBOX = 0x00020000, WS_MAXIMIZEBOX = 0x00010000,
  WS_OVERLAPPEDWINDOW = 0x00CF0000, WS_POPUPWINDOW = 0x80880000
};
enum : uint32_t {
  WS_EX_DLGMODALFRAME = 0x00000001, WS_EX_NOPARENTNOTIFY = 0x00000004, WS_EX_TOPMOST = 0x00000008,
  WS_EX_ACCEPTFILES = 0x00000010, WS_EX_TRANSPARENT = 0x00000020, WS_EX_TOOLWINDOW = 0x00000080,
  WS_EX_WINDOWEDGE = 0x00000100, WS_EX_CLIENTEDGE = 0x00000200, WS_EX_CONTEXTHELP = 0x00000400,
  WS_EX_RIGHT = 0x00001000, WS_EX_CONTROLPARENT = 0x00010000, WS_EX_STATICEDGE = 0x00020000,
  WS_EX_APPWINDOW = 0x00040000, WS_EX_LAYERED = 0x00080000, WS_EX_NOACTIVATE = 0x08000000
};
// Class styles
enum : uint32_t {
  CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008, CS_OWNDC = 0x0020, CS_CLASSDC = 0x0040,
  CS_PARENTDC = 0x0080, CS_NOCLOSE = 0x0200, CS_SAVEBITS = 0x0800, CS_DROPSHADOW = 0x00020000
};
// GetWindowLong / SetWindowLong (and their pointer-sized forms)
enum : int32_t {
  GWL_WNDPROC = -4, GWL_STYLE = -16, GWL_EXSTYLE = -20, GWL_ID = -12, GWL_USERDATA = -21, GWLP_WNDPROC = -4,
  GWLP_USERDATA = -21
};
using LONG_PTR = intptr_t;
// ShowWindow
enum : int32_t {
  SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_NORMAL = 1, SW_SHOWMINIMIZED = 2, SW_SHOWMAXIMIZED = 3,
  SW_MAXIMIZE = 3, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_MINIMIZE = 6, SW_SHOWMINNOACTIVE = 7,
  SW_SHOWNA = 8, SW_RESTORE = 9, SW_SHOWDEFAULT = 10
};
// SetWindowPos
enum : UINT {
  SWP_NOSIZE = 0x0001, SWP_NOMOVE = 0x0002, SWP_NOZORDER = 0x0004, SWP_NOREDRAW = 0x0008,
  SWP_NOACTIVATE = 0x0010, SWP_FRAMECHANGED = 0x0020, SWP_SHOWWINDOW = 0x0040, SWP_HIDEWINDOW = 0x0080,
  SWP_NOCOPYBITS = 0x0100, SWP_NOOWNERZORDER = 0x0200, SWP_NOSENDCHANGING = 0x0400
};
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(uintptr_t{1});
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(intptr_t{-1});
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(intptr_t{-2});
// RedrawWindow
enum : UINT {
  RDW_INVALIDATE = 0x0001, RDW_INTERNALPAINT = 0x0002, RDW_ERASE = 0x0004, RDW_VALIDATE = 0x0008,
  RDW_NOINTERNALPAINT = 0x0010, RDW_NOERASE = 0x0020, RDW_NOCHILDREN = 0x0040, RDW_ALLCHILDREN = 0x0080,
  RDW_UPDATENOW = 0x0100, RDW_ERASENOW = 0x0200, RDW_FRAME = 0x0400, RDW_NOFRAME = 0x0800
};
// ScrollWindowEx
enum : UINT { SW_SCROLLCHILDREN = 0x0001, SW_INVALIDATE = 0x0002, SW_ERASE = 0x0004 };
// GetWindow
enum : UINT { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };
// GetAncestor
enum : UINT { GA_PARENT = 1, GA_ROOT = 2, GA_ROOTOWNER = 3 };

// Window scroll bars
enum : int32_t { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3 };
enum : UINT {
  SIF_RANGE = 0x0001, SIF_PAGE = 0x0002, SIF_POS = 0x0004, SIF_DISABLENOSCROLL = 0x0008,
  SIF_TRACKPOS = 0x0010, SIF_ALL = 0x0017
};
enum : UINT {
  ESB_ENABLE_BOTH = 0, ESB_DISABLE_BOTH = 3, ESB_DISABLE_LEFT = 1, ESB_DISABLE_RIGHT = 2,
  ESB_DISABLE_UP = 1, ESB_DISABLE_DOWN = 2, ESB_DISABLE_LTUP = 1, ESB_DISABLE_RTDN = 2
};
struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int32_t nMin = 0;
  int32_t nMax = 0;
  UINT nPage = 0;
  int32_t nPos = 0;
  int32_t nTrackPos = 0;
};
using TScrollInfo = SCROLLINFO;

// System metrics
enum : int32_t {
  SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CXBORDER = 5,
  SM_CYBORDER = 6, SM_CXDLGFRAME = 7, SM_CYDLGFRAME = 8, SM_CYVTHUMB = 9, SM_CXHTHUMB = 10, SM_CXICON = 11,
  SM_CYICON = 12, SM_CXCURSOR = 13, SM_CYCURSOR = 14, SM_CYMENU = 15, SM_CXFULLSCREEN = 16,
  SM_CYFULLSCREEN = 17, SM_CYKANJIWINDOW = 18, SM_MOUSEPRESENT = 19, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21,
  SM_DEBUG = 22, SM_SWAPBUTTON = 23, SM_CXMIN = 28, SM_CYMIN = 29, SM_CXSIZE = 30, SM_CYSIZE = 31,
  SM_CXFRAME = 32, SM_CYFRAME = 33, SM_CXSIZEFRAME = 32, SM_CYSIZEFRAME = 33, SM_CXMINTRACK = 34,
  SM_CYMINTRACK = 35, SM_CXDOUBLECLK = 36, SM_CYDOUBLECLK = 37, SM_CXICONSPACING = 38,
  SM_CYICONSPACING = 39, SM_MENUDROPALIGNMENT = 40, SM_CXFIXEDFRAME = 7, SM_CYFIXEDFRAME = 8,
  SM_CMOUSEBUTTONS = 43, SM_CXEDGE = 45, SM_CYEDGE = 46, SM_CXSMICON = 49, SM_CYSMICON = 50,
  SM_CYSMCAPTION = 51, SM_CXSMSIZE = 52, SM_CYSMSIZE = 53, SM_CXMENUSIZE = 54, SM_CYMENUSIZE = 55,
  SM_CXMINIMIZED = 57, SM_CYMINIMIZED = 58, SM_CXMAXTRACK = 59, SM_CYMAXTRACK = 60, SM_CXMAXIMIZED = 61,
  SM_CYMAXIMIZED = 62, SM_CLEANBOOT = 67, SM_CXDRAG = 68, SM_CYDRAG = 69, SM_CXMENUCHECK = 71,
  SM_CYMENUCHECK = 72, SM_MOUSEWHEELPRESENT = 75, SM_XVIRTUALSCREEN = 76, SM_YVIRTUALSCREEN = 77,
  SM_CXVIRTUALSCREEN = 78, SM_CYVIRTUALSCREEN = 79, SM_CMONITORS = 80, SM_SAMEDISPLAYFORMAT = 81,
  SM_CXFOCUSBORDER = 83, SM_CYFOCUSBORDER = 84, SM_REMOTESESSION = 0x1000
};

// Monitors
using HMONITOR = void*;
enum : DWORD { MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1, MONITOR_DEFAULTTONEAREST = 2 };
enum : DWORD { MONITORINFOF_PRIMARY = 1 };
struct MONITORINFO {
  DWORD cbSize = sizeof(MONITORINFO);
  TRect rcMonitor;
  TRect rcWork;
  DWORD dwFlags = 0;
};

// ---------------------------------------------------------------------------------------------
// Messages

// The window procedure of a window that is not a control (AllocateHWnd).
using TWndMethod = std::function<void(TMessage& Message)>;

// A window procedure by handle. Every window has one (GWL_WNDPROC): at first the window's own,
// which hands the message to the control's WindowProc (or the AllocateHWnd method). Replacing it
// (SetWindowLongPtr) subclasses the window: the window system's messages (SendMessage, input,
// painting) reach the new procedure first, which passes them on with CallWindowProc. Perform
// goes to the control directly, as on the platform.
using WNDPROC = LRESULT (*)(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The window system's default handling.
LRESULT DefWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Delivers the message to the window's procedure on the UI thread and answers its result; 0 for
// a bad handle. An exception that escapes the procedure goes to the application's exception
// handling (it does not reach the caller), as for every message the window system delivers.
LRESULT SendMessage(HWND wnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues the message (any thread). Messages are delivered in the order they were posted; one
// for a window destroyed before its turn is dropped. FALSE for a handle that is not (or no
// longer) a window.
BOOL PostMessage(HWND wnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
// Whether the calling thread is the UI thread (the one that called FormsStartup).
bool IsUIThread();

// A message-only window with its own procedure (timers, posted notifications); not a control.
HWND AllocateHWnd(TWndMethod Method);
void DeallocateHWnd(HWND wnd);

// Timers: WM_TIMER every elapse ms on the tick clock (GetTickCount, which tests may replace).
// With a procedure, the procedure is called instead of sending WM_TIMER. A timer fires at most
// once per pass of the message loop. Setting an existing id restarts it. Returns the id (or a
// new one for wnd 0), 0 on failure.
UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr);
BOOL KillTimer(HWND wnd, UINT_PTR id);

// ---------------------------------------------------------------------------------------------
// Keyboard and mouse state

// The high bit (value < 0) when the key is down, the low bit its toggle state (Caps Lock...).
int16_t GetKeyState(int32_t vk);
int16_t GetAsyncKeyState(int32_t vk);
// 256 entries of GetKeyState's high and low bits.
BOOL GetKeyboardState(uint8_t* keyState);
// The last known mouse position in screen coordinates.
BOOL GetCursorPos(TPoint* pt);
BOOL SetCursorPos(int32_t x, int32_t y);
// The cursor shown; returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
UINT GetDoubleClickTime();

// Capture: all mouse input goes to the window until released (or another takes it); the window
// losing it gets WM_CAPTURECHANGED.
HWND SetCapture(HWND wnd);
BOOL ReleaseCapture();
HWND GetCapture();

// Focus: WM_KILLFOCUS to the old window, then WM_SETFOCUS to the new one. Answers the window
// that had the focus.
HWND GetFocus();
HWND SetFocus(HWND wnd);
HWND GetActiveWindow();
HWND SetActiveWindow(HWND wnd);
HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND wnd);

// Fixed values of the classic desktop (screen sizes from the primary monitor).
int32_t GetSystemMetrics(int32_t index);

// ---------------------------------------------------------------------------------------------
// Window scroll bars (bar SB_HORZ or SB_VERT). Clicks on a window's scroll bar send
// WM_HSCROLL / WM_VSCROLL with the SB_* codes; dragging the thumb SB_THUMBTRACK, the release
// SB_THUMBPOSITION and SB_ENDSCROLL.
int32_t SetScrollInfo(HWND wnd, int32_t bar, const SCROLLINFO* si, BOOL redraw);
BOOL GetScrollInfo(HWND wnd, int32_t bar, SCROLLINFO* si);
int32_t SetScrollPos(HWND wnd, int32_t bar, int32_t pos, BOOL redraw);
int32_t GetScrollPos(HWND wnd, int32_t bar);
BOOL SetScrollRange(HWND wnd, int32_t bar, int32_t minPos, int32_t maxPos, BOOL redraw);
BOOL GetScrollRange(HWND wnd, int32_t bar, int32_t* minPos, int32_t* maxPos);
BOOL ShowScrollBar(HWND wnd, int32_t bar, BOOL show);
BOOL EnableScrollBar(HWND wnd, UINT bar, UINT arrows);

// ---------------------------------------------------------------------------------------------
// Invalidation and painting (client coordinates). WM_PAINT comes when no posted message waits.
BOOL InvalidateRect(HWND wnd, const TRect* rect, BOOL erase);
BOOL InvalidateRgn(HWND wnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND wnd, const TRect* rect);
BOOL ValidateRgn(HWND wnd, HRGN rgn);
// Paints the window now when its update region is not empty.
BOOL UpdateWindow(HWND wnd);
BOOL RedrawWindow(HWND wnd, const TRect* rect, HRGN rgn, UINT flags);
BOOL GetUpdateRect(HWND wnd, TRect* rect, BOOL erase);
int32_t GetUpdateRgn(HWND wnd, HRGN rgn, BOOL erase);
// Scrolls the client pixels (or those of scroll) by dx, dy inside clip; the uncovered area is
// added to the update region (with SW_INVALIDATE) and returned in update / updateRect.
int32_t ScrollWindowEx(HWND wnd, int32_t dx, int32_t dy, const TRect* scroll, const TRect* clip, HRGN update,
                       TRect* updateRect, UINT flags);
BOOL ScrollWindow(HWND wnd, int32_t dx, int32_t dy, const TRect* scroll, const TRect* clip);

// The DC of the update region: clipped to it, the background erased first (WM_ERASEBKGND)
// when asked; EndPaint validates.
HDC BeginPaint(HWND wnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND wnd, const PAINTSTRUCT* ps);
// GetDC(wnd) (declared with the device contexts) gives a DC on the client area of the window's
// surface, ReleaseDC releases it; what is drawn reaches the screen. The window DC covers the
// non-client area too.
HDC GetWindowDC(HWND wnd);
// The window a DC was obtained for (0 for other DCs).
HWND WindowFromDC(HDC dc);

// ---------------------------------------------------------------------------------------------
// Geometry (screen coordinates unless said)
BOOL GetClientRect(HWND wnd, TRect* rect);  // (0, 0, client width, client height)
BOOL GetWindowRect(HWND wnd, TRect* rect);
BOOL ClientToScreen(HWND wnd, TPoint* pt);
BOOL ScreenToClient(HWND wnd, TPoint* pt);
// Maps points between the client coordinates of two windows (0: the screen); answers the
// offset (x in the low word, y in the high word).
int32_t MapWindowPoints(HWND from, HWND to, TPoint* pts, UINT count);
BOOL SetWindowPos(HWND wnd, HWND insertAfter, int32_t x, int32_t y, int32_t cx, int32_t cy, UINT flags);
BOOL MoveWindow(HWND wnd, int32_t x, int32_t y, int32_t width, int32_t height, BOOL repaint);
// The deepest visible, enabled-or-not window under the screen point (0 when none of ours).
HWND WindowFromPoint(TPoint pt);
// The direct child containing the client point (the window itself when none; 0 outside it).
HWND ChildWindowFromPoint(HWND parent, TPoint pt);

// ---------------------------------------------------------------------------------------------
// Window state
BOOL IsWindow(HWND wnd);
BOOL IsWindowVisible(HWND wnd);  // the window and all its parents are visible
BOOL IsWindowEnabled(HWND wnd);
BOOL EnableWindow(HWND wnd, BOOL enable);  // answers whether it was disabled before
BOOL ShowWindow(HWND wnd, int32_t cmd);    // answers whether it was visible before
BOOL IsIconic(HWND wnd);
BOOL IsZoomed(HWND wnd);
BOOL IsChild(HWND parent, HWND wnd);
HWND GetParent(HWND wnd);
HWND GetAncestor(HWND wnd, UINT flags);
HWND GetWindow(HWND wnd, UINT cmd);
HWND GetTopWindow(HWND wnd);
HWND GetDesktopWindow();
// GWL_STYLE, GWL_EXSTYLE, GWL_USERDATA (any value the program keeps there) and GWL_WNDPROC
// (pointer-sized: use the Ptr forms); SetWindowLong answers the previous value.
int32_t GetWindowLong(HWND wnd, int32_t index);
int32_t SetWindowLong(HWND wnd, int32_t index, int32_t value);
LONG_PTR GetWindowLongPtr(HWND wnd, int32_t index);
LONG_PTR SetWindowLongPtr(HWND wnd, int32_t index, LONG_PTR value);
// The window's region (window coordinates, the non-client area included): the window shows and
// is hit only inside it. The window takes over the region (the caller no longer uses or frees
// it); nullptr removes it. Answers non-zero on success.
int32_t SetWindowRgn(HWND wnd, HRGN rgn, BOOL redraw);
// Copies the window's region into rgn: its type (SIMPLEREGION...), or ERROR when it has none.
int32_t GetWindowRgn(HWND wnd, HRGN rgn);
BOOL DestroyWindow(HWND wnd);
BOOL BringWindowToTop(HWND wnd);

// ---------------------------------------------------------------------------------------------
// Monitors: the screens Qt reports (one 1024 x 768 screen when it reports none).
HMONITOR MonitorFromWindow(HWND wnd, DWORD flags);
HMONITOR MonitorFromPoint(TPoint pt, DWORD flags);
HMONITOR MonitorFromRect(const TRect* rect, DWORD flags);
BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info);

// ---------------------------------------------------------------------------------------------
// The caret: one per thread, drawn by inverting its rectangle on the owner's window.
BOOL CreateCaret(HWND wnd, HBITMAP bitmap, int32_t width, int32_t height);
BOOL DestroyCaret();
BOOL ShowCaret(HWND wnd);
BOOL HideCaret(HWND wnd);
BOOL SetCaretPos(int32_t x, int32_t y);
BOOL GetCaretPos(TPoint* pt);
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT ms);
