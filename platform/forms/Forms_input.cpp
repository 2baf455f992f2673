// Input: the keyboard and mouse state, and the translation of toolkit input into messages in
// the platform's order.
#include <algorithm>
#include <array>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

namespace {

std::array<uint8_t, 256>& KeyState() {
  static std::array<uint8_t, 256> keys{};
  return keys;
}

TPoint g_cursor_pos;
HCURSOR g_cursor = nullptr;
TControl* g_mouse_control = nullptr;
TControl* g_capture_control = nullptr;

uint32_t MouseKeys() {
  uint32_t k = 0;
  if (GetKeyState(VK_LBUTTON) < 0) k |= MK_LBUTTON;
  if (GetKeyState(VK_RBUTTON) < 0) k |= MK_RBUTTON;
  if (GetKeyState(VK_MBUTTON) < 0) k |= MK_MBUTTON;
  if (GetKeyState(VK_SHIFT) < 0) k |= MK_SHIFT;
  if (GetKeyState(VK_CONTROL) < 0) k |= MK_CONTROL;
  return k;
}

uint16_t ButtonKey(TMouseButton b) {
  return b == mbLeft ? VK_LBUTTON : b == mbRight ? VK_RBUTTON : VK_MBUTTON;
}

UINT ButtonMessage(TMouseAction action, TMouseButton b, bool dblClicks) {
  const UINT base = b == mbLeft ? WM_LBUTTONDOWN : b == mbRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
  switch (action) {
    case TMouseAction::Press: return base;
    case TMouseAction::Release: return base + 1;
    case TMouseAction::DoubleClick: return dblClicks ? base + 2 : base;
    default: return WM_MOUSEMOVE;
  }
}

// The window that takes the mouse at a screen point: the deepest one, passing disabled and
// transparent windows on to their parents; HTNOWHERE and nullptr when none of ours.
HWND MouseTarget(TPoint pos, int32_t& hit) {
  HWND wnd = WindowFromPoint(pos);
  while (wnd) {
    TWindowData* w = WindowData(wnd);
    if (!w) return nullptr;
    if (!w->Enabled()) {
      if (!w->IsChild()) {
        hit = HTERROR;
        return wnd;
      }
      wnd = w->Parent;
      continue;
    }
    TMessage m{WM_NCHITTEST, 0, PointToLParam(pos.X, pos.Y), 0};
    hit = static_cast<int32_t>(DeliverMessage(wnd, m));
    if (hit == HTTRANSPARENT && w->IsChild() && (w = WindowData(wnd))) {
      wnd = w->Parent;
      continue;
    }
    return WindowData(wnd) ? wnd : nullptr;
  }
  hit = HTNOWHERE;
  return nullptr;
}

TWinControl* KeyTargetControl(HWND wnd) {
  while (wnd) {
    if (TWinControl* c = FindControl(wnd)) return c;
    wnd = GetParent(wnd);
  }
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// State

int16_t GetKeyState(int32_t vk) {
  if (vk < 0 || vk > 255) return 0;
  const uint8_t s = KeyState()[static_cast<size_t>(vk)];
  return static_cast<int16_t>(((s & 0x80) ? 0xFF80 : 0) | (s & 1));
}

int16_t GetAsyncKeyState(int32_t vk) {
  return static_cast<int16_t>(GetKeyState(vk) & static_cast<int16_t>(0x8000));
}

BOOL GetKeyboardState(uint8_t* keyState) {
  if (!keyState) return 0;
  std::copy(KeyState().begin(), KeyState().end(), keyState);
  return 1;
}

namespace {
// Alt is down and nothing else was pressed since.
bool g_alt_alone = false;

bool IsAltKey(uint16_t vk) { return vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU; }
}  // namespace

bool TakeAltPressedAlone() {
  const bool alone = g_alt_alone;
  g_alt_alone = false;
  return alone;
}

void SetKeyDown(uint16_t vk, bool down) {
  auto set = [&](uint16_t k) {
    uint8_t& s = KeyState()[k];
    if (down && !(s & 0x80)) s ^= 1;  // the toggle flips on each press
    s = static_cast<uint8_t>((s & 1) | (down ? 0x80 : 0));
  };
  set(vk);
  switch (vk) {
    case VK_LSHIFT: case VK_RSHIFT: set(VK_SHIFT); break;
    case VK_LCONTROL: case VK_RCONTROL: set(VK_CONTROL); break;
    case VK_LMENU: case VK_RMENU: set(VK_MENU); break;
    case VK_SHIFT: set(VK_LSHIFT); break;
    case VK_CONTROL: set(VK_LCONTROL); break;
    case VK_MENU: set(VK_LMENU); break;
    default: break;
  }
}

void ResetInputState() {
  KeyState().fill(0);
  g_mouse_control = nullptr;
  g_capture_control = nullptr;
}

BOOL GetCursorPos(TPoint* pt) {
  if (!pt) return 0;
  *pt = g_cursor_pos;
  return 1;
}

BOOL SetCursorPos(int32_t x, int32_t y) {
  g_cursor_pos = TPoint(x, y);
  return 1;
}

void SetLastCursorPos(TPoint pt) { g_cursor_pos = pt; }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR old = g_cursor;
  g_cursor = cursor;
  if (cursor != old) ApplyCursor(cursor);
  return old;
}

HCURSOR GetCursor() { return g_cursor; }
UINT GetDoubleClickTime() { return 500; }

// ---------------------------------------------------------------------------------------------
// The control under the mouse and the capture

void UpdateMouseControl(TPoint ScreenPos, bool Inside) {
  TControl* now = Inside ? FindDragTarget(ScreenPos, true) : nullptr;
  if (now == g_mouse_control) {
    if (TApplication* app = Application()) RunWrapped([&] { app->DoMouseIdle(now); });
    return;
  }
  TControl* old = g_mouse_control;
  g_mouse_control = now;
  if (old) RunWrapped([&] { old->Perform(CM_MOUSELEAVE); });
  // A leave handler may have destroyed the new control (it would have been forgotten).
  if (now && g_mouse_control == now) RunWrapped([&] { now->Perform(CM_MOUSEENTER); });
  if (TApplication* app = Application()) RunWrapped([&] { app->DoMouseIdle(g_mouse_control); });
}

void ForgetControl(TControl* Control) {
  DragControlGone(Control);
  if (g_mouse_control == Control) g_mouse_control = nullptr;
  if (g_capture_control == Control) g_capture_control = nullptr;
}

TControl* GetCaptureControl() {
  TControl* c = FindControl(GetCapture());
  if (c && g_capture_control && g_capture_control->Parent() == c) return g_capture_control;
  return c;
}

void SetCaptureControl(TControl* Control) {
  ReleaseCapture();
  g_capture_control = nullptr;
  if (!Control) return;
  TWinControl* win = dynamic_cast<TWinControl*>(Control);
  if (!win) {
    if (!Control->Parent()) return;
    g_capture_control = Control;
    win = Control->Parent();
  }
  SetCapture(win->Handle());
}

// ---------------------------------------------------------------------------------------------
// Mouse

void HandleMouseInput(HWND, TMouseAction Action, TMouseButton Button, TPoint ScreenPos) {
  SetLastCursorPos(ScreenPos);
  if (Action == TMouseAction::Press || Action == TMouseAction::DoubleClick) {
    SetKeyDown(ButtonKey(Button), true);
    g_alt_alone = false;
    CancelHintForInput();
  }
  if (Action == TMouseAction::Release) SetKeyDown(ButtonKey(Button), false);
  if (SizingMouse(Action, ScreenPos) || ScrollTrackingMouse(Action, ScreenPos)) return;
  if (Action == TMouseAction::Leave) {
    if (!GetCapture()) UpdateMouseControl(ScreenPos, false);
    return;
  }
  HWND target = GetCapture();
  int32_t hit = HTCLIENT;
  if (!target) {
    target = MouseTarget(ScreenPos, hit);
    if (!target) {
      UpdateMouseControl(ScreenPos, false);
      return;
    }
    if (hit == HTERROR) return;  // a disabled window (behind a modal one)
  }
  TWindowData* w = WindowData(target);
  if (!w) return;
  const bool dbl = (w->ClassStyle & CS_DBLCLKS) != 0;
  UINT msg = ButtonMessage(Action, Button, dbl);
  const bool press = Action == TMouseAction::Press || Action == TMouseAction::DoubleClick;
  if (press && !GetCapture()) {
    HWND root = GetAncestor(target, GA_ROOT);
    TMessage ma{WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(root), MAKELPARAM(static_cast<uint16_t>(hit), static_cast<uint16_t>(msg)), 0};
    LRESULT r = DeliverMessage(target, ma);
    if (root && GetActiveWindow() != root && r != MA_NOACTIVATE && r != MA_NOACTIVATEANDEAT) SetActiveWindow(root);
    if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT) return;
    if (!WindowData(target)) return;
  }
  if (!GetCapture()) {
    TMessage sc{WM_SETCURSOR, reinterpret_cast<WPARAM>(target),
                MAKELPARAM(static_cast<uint16_t>(hit), static_cast<uint16_t>(msg)), 0};
    DeliverMessage(target, sc);
    if (!WindowData(target)) return;
  }
  if (hit == HTCLIENT) {
    TPoint p = ScreenPos;
    ScreenToClient(target, &p);
    TMessage m{msg, MouseKeys(), PointToLParam(p.X, p.Y), 0};
    DeliverMessage(target, m);
  } else {
    TMessage m{msg - (WM_MOUSEMOVE - WM_NCMOUSEMOVE), static_cast<WPARAM>(hit), PointToLParam(ScreenPos.X, ScreenPos.Y), 0};
    DeliverMessage(target, m);
  }
  UpdateMouseControl(ScreenPos, true);
}

void HandleWheelInput(HWND, int32_t Delta, bool Horizontal, TPoint ScreenPos) {
  SetLastCursorPos(ScreenPos);
  HWND target = GetFocus();
  if (!target) {
    int32_t hit = HTNOWHERE;
    target = MouseTarget(ScreenPos, hit);
    if (hit == HTERROR) return;
  }
  if (!target) return;
  TMessage m{static_cast<UINT>(Horizontal ? WM_MOUSEHWHEEL : WM_MOUSEWHEEL),
             MAKEWPARAM(static_cast<uint16_t>(MouseKeys()), static_cast<uint16_t>(static_cast<int16_t>(Delta))),
             PointToLParam(ScreenPos.X, ScreenPos.Y), 0};
  DeliverMessage(target, m);
}

// ---------------------------------------------------------------------------------------------
// Keyboard

bool NotifyKeyMessage(HWND Wnd, const TMessage& Message) {
  if (Message.Msg < WM_KEYDOWN || Message.Msg > WM_SYSCHAR) return false;
  TWinControl* control = KeyTargetControl(Wnd);
  if (!control) return false;
  LRESULT r = 0;
  RunWrapped([&] { r = control->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam); });
  return r != 0;
}

void HandleKeyInput(HWND Source, bool Down, uint16_t VK, bool Extended, const std::u16string& Text, bool AutoRepeat) {
  if (!VK) return;
  if (Down) CancelHintForInput();
  const bool wasDown = GetKeyState(VK) < 0;
  SetKeyDown(VK, Down);
  if (DragKeyInput(Down, VK)) return;
  if (Down && IsAltKey(VK)) {
    if (!wasDown && !AutoRepeat) g_alt_alone = true;
  } else if (Down) {
    g_alt_alone = false;
  }
  const bool alt = GetKeyState(VK_MENU) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  // Alt without Ctrl, and F10, give the system key messages; the Alt key's own release too.
  const bool sys = (alt && !ctrl) || VK == VK_F10 || (!Down && VK == VK_MENU && !ctrl);
  const UINT msg = Down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  const LPARAM keyData = MakeKeyData(1, VirtualKeyToScanCode(VK), Extended || IsExtendedKey(VK), sys && alt,
                                     Down ? (wasDown || AutoRepeat) : true, !Down);
  HWND target = GetFocus();
  if (!target) target = GetActiveWindow();
  if (!target) target = GetAncestor(Source, GA_ROOT);
  if (!target) return;
  // The control first sees the key as a notification (dialog keys, shortcuts); a handled one
  // is not dispatched.
  auto notify = [&](UINT keyMsg, WPARAM wParam) { return NotifyKeyMessage(target, TMessage{keyMsg, wParam, keyData, 0}); };
  if (notify(msg, VK)) return;
  if (!WindowData(target)) return;
  TMessage m{msg, VK, keyData, 0};
  DeliverMessage(target, m);
  if (!Down || Text.empty()) return;
  const UINT charMsg = sys ? WM_SYSCHAR : WM_CHAR;
  for (char16_t ch : Text) {
    if (!WindowData(target)) return;
    if (GetFocus() && GetFocus() != target) target = GetFocus();
    if (notify(charMsg, ch)) continue;
    TMessage c{charMsg, ch, keyData, 0};
    DeliverMessage(target, c);
  }
}
