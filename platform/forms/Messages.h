// Window messages: the message record, the platform's message numbers (WM_*), the class
// library's control messages (CM_*) and reflected notifications (CN_*), virtual-key codes and
// the decoded message records handlers take.
//
// A handler gets a record decoded from the TMessage (TWMMouse r(Message)); the dispatcher writes
// the record back afterwards (r.WriteTo(Message)), so changes to Result, CharCode and the other
// fields reach the sender as they do on the platform.
#pragma once

#include <cstdint>

#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Types.h"

using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using UINT_PTR = uintptr_t;
using HMENU = void*;

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;

  uint16_t WParamLo() const { return static_cast<uint16_t>(WParam & 0xFFFF); }
  uint16_t WParamHi() const { return static_cast<uint16_t>((WParam >> 16) & 0xFFFF); }
  uint16_t LParamLo() const { return static_cast<uint16_t>(LParam & 0xFFFF); }
  uint16_t LParamHi() const { return static_cast<uint16_t>((static_cast<uintptr_t>(LParam) >> 16) & 0xFFFF); }
};

constexpr uint16_t LOWORD(uintptr_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
constexpr uint16_t HIWORD(uintptr_t v) { return static_cast<uint16_t>((v >> 16) & 0xFFFF); }
constexpr uint32_t MAKELONG(uint16_t lo, uint16_t hi) { return static_cast<uint32_t>(lo) | (static_cast<uint32_t>(hi) << 16); }
constexpr WPARAM MAKEWPARAM(uint16_t lo, uint16_t hi) { return MAKELONG(lo, hi); }
constexpr LPARAM MAKELPARAM(uint16_t lo, uint16_t hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
// Signed coordinates packed in an LPARAM (GET_X_LPARAM / GET_Y_LPARAM).
constexpr int32_t GET_X_LPARAM(LPARAM l) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(l))); }
constexpr int32_t GET_Y_LPARAM(LPARAM l) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(l))); }
constexpr LPARAM PointToLParam(int32_t x, int32_t y) {
  return MAKELPARAM(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
}
// The signed wheel delta in the high word of a WM_MOUSEWHEEL WParam.
constexpr int32_t GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<int16_t>(HIWORD(w)); }
constexpr int32_t WHEEL_DELTA = 120;

struct TSmallPoint {
  int16_t x = 0;
  int16_t y = 0;
};
inline TPoint SmallPointToPoint(TSmallPoint p) { return {p.x, p.y}; }
inline TSmallPoint PointToSmallPoint(TPoint p) { return {static_cast<int16_t>(p.X), static_cast<int16_t>(p.Y)}; }

// ---------------------------------------------------------------------------------------------
// Window messages (the platform's numbers)
enum : UINT {
  WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003, WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A,
  WM_SETREDRAW = 0x000B, WM_SETTEXT = 0x000C, WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E,
  WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUERYENDSESSION = 0x0011, WM_QUIT = 0x0012,
  WM_ERASEBKGND = 0x0014, WM_SYSCOLORCHANGE = 0x0015, WM_SHOWWINDOW = 0x0018, WM_SETTINGCHANGE = 0x001A,
  WM_WININICHANGE = 0x001A, WM_FONTCHANGE = 0x001D, WM_ACTIVATEAPP = 0x001C, WM_CANCELMODE = 0x001F,
  WM_SETCURSOR = 0x0020, WM_MOUSEACTIVATE = 0x0021, WM_GETMINMAXINFO = 0x0024, WM_DRAWITEM = 0x002B,
  WM_MEASUREITEM = 0x002C, WM_SETFONT = 0x0030, WM_GETFONT = 0x0031, WM_WINDOWPOSCHANGING = 0x0046,
  WM_WINDOWPOSCHANGED = 0x0047, WM_NOTIFY = 0x004E, WM_HELP = 0x0053, WM_CONTEXTMENU = 0x007B,
  WM_STYLECHANGING = 0x007C, WM_STYLECHANGED = 0x007D, WM_GETICON = 0x007F, WM_SETICON = 0x0080,
  WM_NCCREATE = 0x0081, WM_NCDESTROY = 0x0082, WM_NCCALCSIZE = 0x0083, WM_NCHITTEST = 0x0084,
  WM_NCPAINT = 0x0085, WM_NCACTIVATE = 0x0086, WM_GETDLGCODE = 0x0087,
  WM_NCMOUSEMOVE = 0x00A0, WM_NCLBUTTONDOWN = 0x00A1, WM_NCLBUTTONUP = 0x00A2, WM_NCLBUTTONDBLCLK = 0x00A3,
  WM_NCRBUTTONDOWN = 0x00A4, WM_NCRBUTTONUP = 0x00A5, WM_NCRBUTTONDBLCLK = 0x00A6,
  WM_NCMBUTTONDOWN = 0x00A7, WM_NCMBUTTONUP = 0x00A8, WM_NCMBUTTONDBLCLK = 0x00A9,
  WM_KEYFIRST = 0x0100, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_CHAR = 0x0102, WM_DEADCHAR = 0x0103,
  WM_SYSKEYDOWN = 0x0104, WM_SYSKEYUP = 0x0105, WM_SYSCHAR = 0x0106, WM_SYSDEADCHAR = 0x0107,
  WM_KEYLAST = 0x0109, WM_INITDIALOG = 0x0110, WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112,
  WM_TIMER = 0x0113, WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115, WM_INITMENU = 0x0116,
  WM_INITMENUPOPUP = 0x0117, WM_GESTURE = 0x0119, WM_GESTURENOTIFY = 0x011A, WM_MENUSELECT = 0x011F,
  WM_MENUCHAR = 0x0120, WM_ENTERIDLE = 0x0121, WM_UNINITMENUPOPUP = 0x0125,
  WM_CTLCOLORMSGBOX = 0x0132, WM_CTLCOLOREDIT = 0x0133, WM_CTLCOLORLISTBOX = 0x0134,
  WM_CTLCOLORBTN = 0x0135, WM_CTLCOLORDLG = 0x0136, WM_CTLCOLORSCROLLBAR = 0x0137,
  WM_CTLCOLORSTATIC = 0x0138,
  WM_MOUSEFIRST = 0x0200, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207, WM_MBUTTONUP = 0x0208, WM_MBUTTONDBLCLK = 0x0209, WM_MOUSEWHEEL = 0x020A,
  WM_XBUTTONDOWN = 0x020B, WM_XBUTTONUP = 0x020C, WM_XBUTTONDBLCLK = 0x020D, WM_MOUSEHWHEEL = 0x020E,
  WM_MOUSELAST = 0x020E, WM_PARENTNOTIFY = 0x0210, WM_ENTERMENULOOP = 0x0211, WM_EXITMENULOOP = 0x0212,
  WM_CAPTURECHANGED = 0x0215, WM_MOVING = 0x0216, WM_SIZING = 0x0214, WM_MDIACTIVATE = 0x0222,
  WM_ENTERSIZEMOVE = 0x0231, WM_EXITSIZEMOVE = 0x0232, WM_MDIREFRESHMENU = 0x0234,
  WM_MOUSEHOVER = 0x02A1, WM_MOUSELEAVE = 0x02A3, WM_CUT = 0x0300, WM_COPY = 0x0301, WM_PASTE = 0x0302,
  WM_CLEAR = 0x0303, WM_UNDO = 0x0304, WM_PRINT = 0x0317, WM_PRINTCLIENT = 0x0318,
  WM_THEMECHANGED = 0x031A, WM_USER = 0x0400, WM_APP = 0x8000
};

// The class library's control messages.
enum : UINT {
  CM_BASE = 0xB000,
  CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_GOTFOCUS = CM_BASE + 2,
  CM_LOSTFOCUS = CM_BASE + 3, CM_CANCELMODE = CM_BASE + 4, CM_DIALOGKEY = CM_BASE + 5,
  CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10, CM_VISIBLECHANGED = CM_BASE + 11,
  CM_ENABLEDCHANGED = CM_BASE + 12, CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14,
  CM_CURSORCHANGED = CM_BASE + 15, CM_CTL3DCHANGED = CM_BASE + 16, CM_PARENTCTL3DCHANGED = CM_BASE + 17,
  CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19, CM_MOUSELEAVE = CM_BASE + 20,
  CM_MENUCHANGED = CM_BASE + 21, CM_APPKEYDOWN = CM_BASE + 22, CM_APPSYSCOMMAND = CM_BASE + 23,
  CM_BUTTONPRESSED = CM_BASE + 24, CM_SHOWINGCHANGED = CM_BASE + 25, CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27, CM_DESIGNHITTEST = CM_BASE + 28, CM_ICONCHANGED = CM_BASE + 29,
  CM_WANTSPECIALKEY = CM_BASE + 30, CM_INVOKEHELP = CM_BASE + 31, CM_WINDOWHOOK = CM_BASE + 32,
  CM_RELEASE = CM_BASE + 33, CM_SHOWHINTCHANGED = CM_BASE + 34, CM_PARENTSHOWHINTCHANGED = CM_BASE + 35,
  CM_SYSCOLORCHANGE = CM_BASE + 36, CM_WININICHANGE = CM_BASE + 37, CM_FONTCHANGE = CM_BASE + 38,
  CM_TIMECHANGE = CM_BASE + 39, CM_TABSTOPCHANGED = CM_BASE + 40, CM_UIACTIVATE = CM_BASE + 41,
  CM_UIDEACTIVATE = CM_BASE + 42, CM_DOCWINDOWACTIVATE = CM_BASE + 43, CM_CONTROLLISTCHANGE = CM_BASE + 44,
  CM_GETDATALINK = CM_BASE + 45, CM_CHILDKEY = CM_BASE + 46, CM_DRAG = CM_BASE + 47,
  CM_HINTSHOW = CM_BASE + 48, CM_DIALOGHANDLE = CM_BASE + 49, CM_ISTOOLCONTROL = CM_BASE + 50,
  CM_RECREATEWND = CM_BASE + 51, CM_INVALIDATE = CM_BASE + 52, CM_SYSFONTCHANGED = CM_BASE + 53,
  CM_CONTROLCHANGE = CM_BASE + 54, CM_CHANGED = CM_BASE + 55, CM_DOCKCLIENT = CM_BASE + 56,
  CM_UNDOCKCLIENT = CM_BASE + 57, CM_FLOAT = CM_BASE + 58, CM_BORDERCHANGED = CM_BASE + 59,
  CM_BIDIMODECHANGED = CM_BASE + 60, CM_PARENTBIDIMODECHANGED = CM_BASE + 61,
  CM_ALLCHILDRENFLIPPED = CM_BASE + 62, CM_ACTIONUPDATE = CM_BASE + 63, CM_ACTIONEXECUTE = CM_BASE + 64,
  CM_HINTSHOWPAUSE = CM_BASE + 65, CM_DOCKNOTIFICATION = CM_BASE + 66, CM_MOUSEWHEEL = CM_BASE + 67,
  CM_ISSHORTCUT = CM_BASE + 68, CM_INVALIDATEDOCKHOST = CM_BASE + 69, CM_SETACTIVECONTROL = CM_BASE + 70,
  CM_POPUPHWNDDESTROY = CM_BASE + 71, CM_CREATEPOPUP = CM_BASE + 72, CM_DESTROYHANDLE = CM_BASE + 73,
  CM_MOUSEACTIVATE = CM_BASE + 74, CM_CONTROLLISTCHANGING = CM_BASE + 75
};

// Notifications reflected back to the control that caused them.
enum : UINT {
  CN_BASE = 0xBC00,
  CN_CHARTOITEM = CN_BASE + 0x002F, CN_COMMAND = CN_BASE + WM_COMMAND, CN_COMPAREITEM = CN_BASE + 0x0039,
  CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN, CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG,
  CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT, CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
  CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX, CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR,
  CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC, CN_DELETEITEM = CN_BASE + 0x002D,
  CN_DRAWITEM = CN_BASE + WM_DRAWITEM, CN_HSCROLL = CN_BASE + WM_HSCROLL,
  CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM, CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY,
  CN_VKEYTOITEM = CN_BASE + 0x002E, CN_VSCROLL = CN_BASE + WM_VSCROLL, CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
  CN_KEYUP = CN_BASE + WM_KEYUP, CN_CHAR = CN_BASE + WM_CHAR, CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN,
  CN_SYSCHAR = CN_BASE + WM_SYSCHAR, CN_NOTIFY = CN_BASE + WM_NOTIFY
};

// ---------------------------------------------------------------------------------------------
// Message parameters

// WM_SIZE
enum : uint32_t { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2, SIZE_MAXSHOW = 3, SIZE_MAXHIDE = 4 };
// WM_ACTIVATE
enum : uint16_t { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };
// WM_MOUSEACTIVATE results
enum : int32_t { MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4 };
// Mouse key flags (WParam of mouse messages)
enum : uint32_t {
  MK_LBUTTON = 0x0001, MK_RBUTTON = 0x0002, MK_SHIFT = 0x0004, MK_CONTROL = 0x0008, MK_MBUTTON = 0x0010,
  MK_XBUTTON1 = 0x0020, MK_XBUTTON2 = 0x0040
};
// WM_NCHITTEST results
enum : int32_t {
  HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2, HTSYSMENU = 3,
  HTGROWBOX = 4, HTSIZE = 4, HTMENU = 5, HTHSCROLL = 6, HTVSCROLL = 7, HTMINBUTTON = 8, HTMAXBUTTON = 9,
  HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15,
  HTBOTTOMLEFT = 16, HTBOTTOMRIGHT = 17, HTBORDER = 18, HTCLOSE = 20, HTHELP = 21
};
// Scroll codes (WM_HSCROLL / WM_VSCROLL)
enum : uint16_t {
  SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2, SB_PAGELEFT = 2,
  SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6,
  SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8
};
// WM_GETDLGCODE results
enum : int32_t {
  DLGC_WANTARROWS = 0x0001, DLGC_WANTTAB = 0x0002, DLGC_WANTALLKEYS = 0x0004, DLGC_WANTMESSAGE = 0x0004,
  DLGC_HASSETSEL = 0x0008, DLGC_DEFPUSHBUTTON = 0x0010, DLGC_UNDEFPUSHBUTTON = 0x0020,
  DLGC_RADIOBUTTON = 0x0040, DLGC_WANTCHARS = 0x0080, DLGC_STATIC = 0x0100, DLGC_BUTTON = 0x2000
};
// WM_SYSCOMMAND
enum : uint32_t {
  SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_NEXTWINDOW = 0xF040,
  SC_PREVWINDOW = 0xF050, SC_CLOSE = 0xF060, SC_VSCROLL = 0xF070, SC_HSCROLL = 0xF080,
  SC_MOUSEMENU = 0xF090, SC_KEYMENU = 0xF100, SC_RESTORE = 0xF120, SC_TASKLIST = 0xF130,
  SC_DEFAULT = 0xF160, SC_CONTEXTHELP = 0xF180
};
// The sizing edges that SC_SIZE + n and WM_SIZING use.
enum : uint32_t {
  WMSZ_LEFT = 1, WMSZ_RIGHT = 2, WMSZ_TOP = 3, WMSZ_TOPLEFT = 4, WMSZ_TOPRIGHT = 5, WMSZ_BOTTOM = 6,
  WMSZ_BOTTOMLEFT = 7, WMSZ_BOTTOMRIGHT = 8
};
// Key data bits (high word of the LParam of key messages)
enum : uint32_t { KF_EXTENDED = 0x0100, KF_DLGMODE = 0x0800, KF_MENUMODE = 0x1000, KF_ALTDOWN = 0x2000,
                  KF_REPEAT = 0x4000, KF_UP = 0x8000 };
// WM_SETICON
enum : uint32_t { ICON_SMALL = 0, ICON_BIG = 1 };

// ---------------------------------------------------------------------------------------------
// Virtual keys ('0'..'9' and 'A'..'Z' are their ASCII codes)
enum : uint16_t {
  VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04, VK_XBUTTON1 = 0x05,
  VK_XBUTTON2 = 0x06, VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
  VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_KANA = 0x15, VK_JUNJA = 0x17,
  VK_FINAL = 0x18, VK_KANJI = 0x19, VK_ESCAPE = 0x1B, VK_CONVERT = 0x1C, VK_NONCONVERT = 0x1D,
  VK_ACCEPT = 0x1E, VK_MODECHANGE = 0x1F, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23,
  VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_SELECT = 0x29,
  VK_PRINT = 0x2A, VK_EXECUTE = 0x2B, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F,
  VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D, VK_SLEEP = 0x5F, VK_NUMPAD0 = 0x60, VK_NUMPAD1 = 0x61,
  VK_NUMPAD2 = 0x62, VK_NUMPAD3 = 0x63, VK_NUMPAD4 = 0x64, VK_NUMPAD5 = 0x65, VK_NUMPAD6 = 0x66,
  VK_NUMPAD7 = 0x67, VK_NUMPAD8 = 0x68, VK_NUMPAD9 = 0x69, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B,
  VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F, VK_F1 = 0x70, VK_F2 = 0x71,
  VK_F3 = 0x72, VK_F4 = 0x73, VK_F5 = 0x74, VK_F6 = 0x75, VK_F7 = 0x76, VK_F8 = 0x77, VK_F9 = 0x78,
  VK_F10 = 0x79, VK_F11 = 0x7A, VK_F12 = 0x7B, VK_F13 = 0x7C, VK_F14 = 0x7D, VK_F15 = 0x7E, VK_F16 = 0x7F,
  VK_F17 = 0x80, VK_F18 = 0x81, VK_F19 = 0x82, VK_F20 = 0x83, VK_F21 = 0x84, VK_F22 = 0x85, VK_F23 = 0x86,
  VK_F24 = 0x87, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91, VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1,
  VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3, VK_LMENU = 0xA4, VK_RMENU = 0xA5, VK_BROWSER_BACK = 0xA6,
  VK_BROWSER_FORWARD = 0xA7, VK_BROWSER_REFRESH = 0xA8, VK_BROWSER_STOP = 0xA9, VK_BROWSER_SEARCH = 0xAA,
  VK_BROWSER_FAVORITES = 0xAB, VK_BROWSER_HOME = 0xAC, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE,
  VK_VOLUME_UP = 0xAF, VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1, VK_MEDIA_STOP = 0xB2,
  VK_MEDIA_PLAY_PAUSE = 0xB3, VK_LAUNCH_MAIL = 0xB4, VK_LAUNCH_MEDIA_SELECT = 0xB5, VK_LAUNCH_APP1 = 0xB6,
  VK_LAUNCH_APP2 = 0xB7, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD,
  VK_OEM_7 = 0xDE, VK_OEM_8 = 0xDF, VK_OEM_102 = 0xE2, VK_PROCESSKEY = 0xE5, VK_PACKET = 0xE7, VK_ATTN = 0xF6,
  VK_CRSEL = 0xF7, VK_EXSEL = 0xF8, VK_EREOF = 0xF9, VK_PLAY = 0xFA, VK_ZOOM = 0xFB, VK_PA1 = 0xFD,
  VK_OEM_CLEAR = 0xFE
};

// Modifier and button state of input events.
enum class TShiftStateItem : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using enum TShiftStateItem;
using TShiftState = TSet<TShiftStateItem>;

// The key-data word of key messages: repeat count (bits 0..15), scan code (16..23), extended key
// (24), Alt down (29), previous state (30), key up (31).
constexpr LPARAM MakeKeyData(uint16_t repeat, uint8_t scanCode, bool extended, bool altDown, bool wasDown, bool up) {
  return static_cast<LPARAM>(static_cast<uint32_t>(repeat) | (static_cast<uint32_t>(scanCode) << 16) |
                             (extended ? 1u << 24 : 0u) | (altDown ? 1u << 29 : 0u) | (wasDown ? 1u << 30 : 0u) |
                             (up ? 1u << 31 : 0u));
}
constexpr bool KeyDataAltDown(LPARAM keyData) { return (static_cast<uint32_t>(keyData) >> 29) & 1u; }
constexpr bool KeyDataIsRepeat(LPARAM keyData) { return (static_cast<uint32_t>(keyData) >> 30) & 1u; }
constexpr uint8_t KeyDataScanCode(LPARAM keyData) { return static_cast<uint8_t>(static_cast<uint32_t>(keyData) >> 16); }
// Shift state of a key message: Shift and Ctrl from the keyboard state, Alt from the key data.
TShiftState KeyDataToShiftState(LPARAM KeyData);
// Shift state of a mouse message's MK_* flags (Alt from the keyboard state).
TShiftState KeysToShiftState(uint32_t Keys);
// The current modifier and button state.
TShiftState GetShiftState();
// The set-1 scan code of a virtual key (MAPVK_VK_TO_VSC), 0 for keys without one; whether the key
// is an extended one (arrows, Insert, Delete, Home, End, Page Up/Down, right Ctrl/Alt, Divide).
uint8_t VirtualKeyToScanCode(uint16_t vk);
bool IsExtendedKey(uint16_t vk);

// ---------------------------------------------------------------------------------------------
// Structures carried by messages
struct TWindowPos {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int32_t x = 0, y = 0, cx = 0, cy = 0;
  UINT flags = 0;
};
using WINDOWPOS = TWindowPos;

struct TNCCalcSizeParams {
  TRect rgrc[3];  // in: the new window rectangle; out: the new client rectangle
  TWindowPos* lppos = nullptr;
};
using NCCALCSIZE_PARAMS = TNCCalcSizeParams;

struct TMinMaxInfo {
  TPoint ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
};
using MINMAXINFO = TMinMaxInfo;

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = 0;
  TRect rcPaint;
  BOOL fRestore = 0;
  BOOL fIncUpdate = 0;
};
using TPaintStruct = PAINTSTRUCT;

struct NMHDR {
  HWND hwndFrom = nullptr;
  UINT_PTR idFrom = 0;
  UINT code = 0;
};
using TNMHdr = NMHDR;

// ---------------------------------------------------------------------------------------------
// Decoded message records. Each takes the message it is read from; WriteTo stores it back.

#define PX_MESSAGE_RECORD(Name)            \
  Name() = default;                        \
  explicit Name(const TMessage& m);        \
  void WriteTo(TMessage& m) const;         \
  TMessage ToMessage() const {             \
    TMessage m;                            \
    WriteTo(m);                            \
    return m;                              \
  }

// A message with no parameters of interest.
struct TWMNoParams {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMNoParams)
};

// Mouse messages: Keys are the MK_* flags; the position is in client coordinates.
struct TWMMouse {
  UINT Msg = 0;
  uint32_t Keys = 0;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  TSmallPoint Pos() const { return {XPos, YPos}; }
  PX_MESSAGE_RECORD(TWMMouse)
};
using TWMMouseMove = TWMMouse;
using TWMLButtonDown = TWMMouse;
using TWMLButtonUp = TWMMouse;
using TWMLButtonDblClk = TWMMouse;
using TWMRButtonDown = TWMMouse;
using TWMRButtonUp = TWMMouse;
using TWMRButtonDblClk = TWMMouse;
using TWMMButtonDown = TWMMouse;
using TWMMButtonUp = TWMMouse;
using TWMMButtonDblClk = TWMMouse;
using TCMDesignHitTest = TWMMouse;

// WM_MOUSEWHEEL: Keys in the low word, the signed delta (120 per notch) in the high word of
// WParam; the position is in screen coordinates.
struct TWMMouseWheel {
  UINT Msg = 0;
  uint16_t Keys = 0;
  int16_t WheelDelta = 0;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  TSmallPoint Pos() const { return {XPos, YPos}; }
  PX_MESSAGE_RECORD(TWMMouseWheel)
};

// CM_MOUSEWHEEL: the shift state, the delta and the screen position; Result 1 when handled.
struct TCMMouseWheel {
  UINT Msg = 0;
  TShiftState ShiftState;
  int16_t WheelDelta = 0;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  TSmallPoint Pos() const { return {XPos, YPos}; }
  PX_MESSAGE_RECORD(TCMMouseWheel)
};

// Key messages: the virtual key (or, for WM_CHAR, the character's UTF-16 code unit) and the key
// data word. A handler that sets CharCode to 0 eats the key.
struct TWMKey {
  UINT Msg = 0;
  uint16_t CharCode = 0;
  LPARAM KeyData = 0;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMKey)
};
using TWMKeyDown = TWMKey;
using TWMKeyUp = TWMKey;
using TWMChar = TWMKey;
using TWMSysKeyDown = TWMKey;
using TWMSysKeyUp = TWMKey;
using TWMSysChar = TWMKey;
using TCMDialogKey = TWMKey;
using TCMDialogChar = TWMKey;
using TCMWantSpecialKey = TWMKey;
using TCMChildKey = TWMKey;

struct TWMSize {
  UINT Msg = 0;
  uint32_t SizeType = 0;  // SIZE_*
  int16_t Width = 0;
  int16_t Height = 0;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMSize)
};

struct TWMMove {
  UINT Msg = 0;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMMove)
};

struct TWMPaint {
  UINT Msg = 0;
  HDC DC = nullptr;  // a DC to paint on instead of BeginPaint's (0 normally)
  PAINTSTRUCT* PaintStruct = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMPaint)
};

struct TWMEraseBkgnd {
  UINT Msg = 0;
  HDC DC = nullptr;
  LRESULT Result = 0;  // non-zero: the background was erased
  PX_MESSAGE_RECORD(TWMEraseBkgnd)
};

struct TWMNCPaint {
  UINT Msg = 0;
  HRGN RGN = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMNCPaint)
};

// WM_NCHITTEST: the position in screen coordinates; Result is an HT* code.
struct TWMNCHitTest {
  UINT Msg = 0;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  TSmallPoint Pos() const { return {XPos, YPos}; }
  PX_MESSAGE_RECORD(TWMNCHitTest)
};

struct TWMNCCalcSize {
  UINT Msg = 0;
  BOOL CalcValidRects = 0;
  NCCALCSIZE_PARAMS* CalcSize_Params = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMNCCalcSize)
};

// WM_HSCROLL / WM_VSCROLL: an SB_* code and the 16-bit thumb position; ScrollBar is the scroll
// bar control's window (0 for a window's own scroll bar).
struct TWMScroll {
  UINT Msg = 0;
  uint16_t ScrollCode = 0;
  int16_t Pos = 0;
  HWND ScrollBar = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMScroll)
};
using TWMHScroll = TWMScroll;
using TWMVScroll = TWMScroll;

struct TWMSetCursor {
  UINT Msg = 0;
  HWND CursorWnd = nullptr;
  int16_t HitTest = 0;
  uint16_t MouseMsg = 0;
  LRESULT Result = 0;  // non-zero: the cursor was set
  PX_MESSAGE_RECORD(TWMSetCursor)
};

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
struct TWMTimer {
  UINT Msg = 0;
  UINT_PTR TimerID = 0;
  TIMERPROC TimerProc = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMTimer)
};

// WM_SETFOCUS carries the window that lost the focus, WM_KILLFOCUS the one that gets it.
struct TWMSetFocus {
  UINT Msg = 0;
  HWND FocusedWnd = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMSetFocus)
};
using TWMKillFocus = TWMSetFocus;

struct TWMWindowPosMsg {
  UINT Msg = 0;
  TWindowPos* WindowPos = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMWindowPosMsg)
};
using TWMWindowPosChanged = TWMWindowPosMsg;
using TWMWindowPosChanging = TWMWindowPosMsg;

struct TWMGetMinMaxInfo {
  UINT Msg = 0;
  TMinMaxInfo* MinMaxInfo = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMGetMinMaxInfo)
};

struct TWMCommand {
  UINT Msg = 0;
  uint16_t ItemID = 0;
  uint16_t NotifyCode = 0;
  HWND Ctl = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMCommand)
};

struct TWMNotify {
  UINT Msg = 0;
  int32_t IDCtrl = 0;
  NMHDR* NMHdr = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMNotify)
};

// WM_CONTEXTMENU: the window clicked and the screen position (-1, -1 from the keyboard).
struct TWMContextMenu {
  UINT Msg = 0;
  HWND hWnd = nullptr;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  TSmallPoint Pos() const { return {XPos, YPos}; }
  PX_MESSAGE_RECORD(TWMContextMenu)
};

struct TWMActivate {
  UINT Msg = 0;
  uint16_t Active = 0;  // WA_*
  bool Minimized = false;
  HWND ActiveWindow = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMActivate)
};

struct TWMMouseActivate {
  UINT Msg = 0;
  HWND TopLevel = nullptr;
  int16_t HitTestCode = 0;
  uint16_t MouseMsg = 0;
  LRESULT Result = 0;  // MA_*
  PX_MESSAGE_RECORD(TWMMouseActivate)
};

struct TWMSysCommand {
  UINT Msg = 0;
  uint32_t CmdType = 0;  // SC_* (+ WMSZ_* for SC_SIZE)
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMSysCommand)
};

struct TWMGetDlgCode {
  UINT Msg = 0;
  WPARAM Unused = 0;
  LPARAM MsgPtr = 0;  // the TMessage* of the key message being asked about, or 0
  LRESULT Result = 0;  // DLGC_*
  PX_MESSAGE_RECORD(TWMGetDlgCode)
};

struct TWMSetText {
  UINT Msg = 0;
  const char* Text = nullptr;  // UTF-8
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMSetText)
};

struct TWMShowWindow {
  UINT Msg = 0;
  bool Show = false;
  int32_t Status = 0;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TWMShowWindow)
};

// CM_HITTEST: Result non-zero when the point (client coordinates) belongs to the control.
struct TCMHitTest {
  UINT Msg = 0;
  int16_t XPos = 0;
  int16_t YPos = 0;
  LRESULT Result = 0;
  TSmallPoint Pos() const { return {XPos, YPos}; }
  PX_MESSAGE_RECORD(TCMHitTest)
};

class TControl;
class TWinControl;

// CM_MOUSEENTER / CM_MOUSELEAVE: LParam is the control the mouse entered or left (nil when the
// message comes from the window system).
struct TCMMouseEnterLeave {
  UINT Msg = 0;
  TControl* Control = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TCMMouseEnterLeave)
};

// CM_ENTER / CM_EXIT and the other notifications without parameters.
using TCMEnter = TWMNoParams;
using TCMExit = TWMNoParams;
using TCMCancelMode = TWMNoParams;

// CM_FOCUSCHANGED: the control that got the focus.
struct TCMFocusChanged {
  UINT Msg = 0;
  TWinControl* Sender = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TCMFocusChanged)
};

// CM_CONTROLCHANGE: a control inserted into (Inserting) or removed from the receiver.
struct TCMControlChange {
  UINT Msg = 0;
  TControl* Control = nullptr;
  bool Inserting = false;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TCMControlChange)
};

struct THintInfo;
// CM_HINTSHOW: Result non-zero suppresses the hint.
struct TCMHintShow {
  UINT Msg = 0;
  WPARAM Reserved = 0;
  THintInfo* HintInfo = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TCMHintShow)
};

// CM_BUTTONPRESSED: a group-index button went down (WParam the group, LParam the button).
struct TCMButtonPressed {
  UINT Msg = 0;
  uint32_t Index = 0;
  TControl* Control = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TCMButtonPressed)
};

class TDragObject;

// What CM_DRAG carries: the screen position, the drag object, and (dmFindTarget) the control
// found.
struct TDragRec {
  TPoint Pos;
  TDragObject* Source = nullptr;
  TControl* Target = nullptr;
  bool Docking = false;
};

// CM_DRAG: WParam the drag message (TDragMessage), LParam the TDragRec. For dmDragEnter and
// dmDragMove Result is non-zero when the control accepts the drop; for dmFindTarget it is the
// control under the position.
struct TCMDrag {
  UINT Msg = 0;
  uint8_t DragMessage = 0;
  TDragRec* DragRec = nullptr;
  LRESULT Result = 0;
  PX_MESSAGE_RECORD(TCMDrag)
};

#undef PX_MESSAGE_RECORD
