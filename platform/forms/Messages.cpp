// Decoding and encoding of the message records, and the key-data helpers.
#include "platform/forms/Messages.h"

#include "platform/forms/WinUser.h"

namespace {

WPARAM W(uint16_t lo, uint16_t hi) { return MAKEWPARAM(lo, hi); }
LPARAM L(int16_t lo, int16_t hi) { return MAKELPARAM(static_cast<uint16_t>(lo), static_cast<uint16_t>(hi)); }
int16_t Lo(uintptr_t v) { return static_cast<int16_t>(LOWORD(v)); }
int16_t Hi(uintptr_t v) { return static_cast<int16_t>(HIWORD(v)); }
template <class P>
P* Ptr(uintptr_t v) { return reinterpret_cast<P*>(v); }
template <class P>
LPARAM AsL(P* p) { return reinterpret_cast<LPARAM>(p); }
template <class P>
WPARAM AsW(P* p) { return reinterpret_cast<WPARAM>(p); }

}  // namespace

TWMNoParams::TWMNoParams(const TMessage& m) : Msg(m.Msg), WParam(m.WParam), LParam(m.LParam), Result(m.Result) {}
void TWMNoParams::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = WParam; m.LParam = LParam; m.Result = Result;
}

TWMMouse::TWMMouse(const TMessage& m)
    : Msg(m.Msg), Keys(static_cast<uint32_t>(m.WParam)), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)), Result(m.Result) {}
void TWMMouse::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = Keys; m.LParam = L(XPos, YPos); m.Result = Result;
}

TWMMouseWheel::TWMMouseWheel(const TMessage& m)
    : Msg(m.Msg), Keys(LOWORD(m.WParam)), WheelDelta(Hi(m.WParam)), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)),
      Result(m.Result) {}
void TWMMouseWheel::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = W(Keys, static_cast<uint16_t>(WheelDelta)); m.LParam = L(XPos, YPos); m.Result = Result;
}

TCMMouseWheel::TCMMouseWheel(const TMessage& m)
    : Msg(m.Msg), ShiftState(TShiftState::FromBits(LOWORD(m.WParam))), WheelDelta(Hi(m.WParam)),
      XPos(Lo(m.LParam)), YPos(Hi(m.LParam)), Result(m.Result) {}
void TCMMouseWheel::WriteTo(TMessage& m) const {
  m.Msg = Msg;
  m.WParam = W(static_cast<uint16_t>(ShiftState.Bits()), static_cast<uint16_t>(WheelDelta));
  m.LParam = L(XPos, YPos);
  m.Result = Result;
}

TWMKey::TWMKey(const TMessage& m)
    : Msg(m.Msg), CharCode(LOWORD(m.WParam)), KeyData(m.LParam), Result(m.Result) {}
void TWMKey::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = CharCode; m.LParam = KeyData; m.Result = Result;
}

TWMSize::TWMSize(const TMessage& m)
    : Msg(m.Msg), SizeType(static_cast<uint32_t>(m.WParam)), Width(Lo(m.LParam)), Height(Hi(m.LParam)),
      Result(m.Result) {}
void TWMSize::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = SizeType; m.LParam = L(Width, Height); m.Result = Result;
}

TWMMove::TWMMove(const TMessage& m) : Msg(m.Msg), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)), Result(m.Result) {}
void TWMMove::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = L(XPos, YPos); m.Result = Result;
}

TWMPaint::TWMPaint(const TMessage& m)
    : Msg(m.Msg), DC(Ptr<HDC__>(m.WParam)), PaintStruct(Ptr<PAINTSTRUCT>(static_cast<uintptr_t>(m.LParam))),
      Result(m.Result) {}
void TWMPaint::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(DC); m.LParam = AsL(PaintStruct); m.Result = Result;
}

TWMEraseBkgnd::TWMEraseBkgnd(const TMessage& m) : Msg(m.Msg), DC(Ptr<HDC__>(m.WParam)), Result(m.Result) {}
void TWMEraseBkgnd::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(DC); m.LParam = 0; m.Result = Result;
}

TWMNCPaint::TWMNCPaint(const TMessage& m) : Msg(m.Msg), RGN(Ptr<HRGN__>(m.WParam)), Result(m.Result) {}
void TWMNCPaint::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(RGN); m.LParam = 0; m.Result = Result;
}

TWMNCHitTest::TWMNCHitTest(const TMessage& m) : Msg(m.Msg), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)), Result(m.Result) {}
void TWMNCHitTest::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = L(XPos, YPos); m.Result = Result;
}

TWMNCCalcSize::TWMNCCalcSize(const TMessage& m)
    : Msg(m.Msg), CalcValidRects(static_cast<BOOL>(m.WParam)),
      CalcSize_Params(Ptr<NCCALCSIZE_PARAMS>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMNCCalcSize::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = static_cast<WPARAM>(CalcValidRects); m.LParam = AsL(CalcSize_Params); m.Result = Result;
}

TWMScroll::TWMScroll(const TMessage& m)
    : Msg(m.Msg), ScrollCode(LOWORD(m.WParam)), Pos(Hi(m.WParam)),
      ScrollBar(Ptr<HWND__>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMScroll::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = W(ScrollCode, static_cast<uint16_t>(Pos)); m.LParam = AsL(ScrollBar); m.Result = Result;
}

TWMSetCursor::TWMSetCursor(const TMessage& m)
    : Msg(m.Msg), CursorWnd(Ptr<HWND__>(m.WParam)), HitTest(Lo(m.LParam)),
      MouseMsg(HIWORD(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMSetCursor::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(CursorWnd); m.LParam = L(HitTest, static_cast<int16_t>(MouseMsg)); m.Result = Result;
}

TWMTimer::TWMTimer(const TMessage& m)
    : Msg(m.Msg), TimerID(m.WParam), TimerProc(reinterpret_cast<TIMERPROC>(m.LParam)), Result(m.Result) {}
void TWMTimer::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = TimerID; m.LParam = reinterpret_cast<LPARAM>(TimerProc); m.Result = Result;
}

TWMSetFocus::TWMSetFocus(const TMessage& m) : Msg(m.Msg), FocusedWnd(Ptr<HWND__>(m.WParam)), Result(m.Result) {}
void TWMSetFocus::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(FocusedWnd); m.LParam = 0; m.Result = Result;
}

TWMWindowPosMsg::TWMWindowPosMsg(const TMessage& m)
    : Msg(m.Msg), WindowPos(Ptr<TWindowPos>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMWindowPosMsg::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = AsL(WindowPos); m.Result = Result;
}

TWMGetMinMaxInfo::TWMGetMinMaxInfo(const TMessage& m)
    : Msg(m.Msg), MinMaxInfo(Ptr<TMinMaxInfo>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMGetMinMaxInfo::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = AsL(MinMaxInfo); m.Result = Result;
}

TWMCommand::TWMCommand(const TMessage& m)
    : Msg(m.Msg), ItemID(LOWORD(m.WParam)), NotifyCode(HIWORD(m.WParam)),
      Ctl(Ptr<HWND__>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMCommand::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = W(ItemID, NotifyCode); m.LParam = AsL(Ctl); m.Result = Result;
}

TWMNotify::TWMNotify(const TMessage& m)
    : Msg(m.Msg), IDCtrl(static_cast<int32_t>(m.WParam)), NMHdr(Ptr<NMHDR>(static_cast<uintptr_t>(m.LParam))),
      Result(m.Result) {}
void TWMNotify::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = static_cast<WPARAM>(IDCtrl); m.LParam = AsL(NMHdr); m.Result = Result;
}

TWMContextMenu::TWMContextMenu(const TMessage& m)
    : Msg(m.Msg), hWnd(Ptr<HWND__>(m.WParam)), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)), Result(m.Result) {}
void TWMContextMenu::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(hWnd); m.LParam = L(XPos, YPos); m.Result = Result;
}

TWMActivate::TWMActivate(const TMessage& m)
    : Msg(m.Msg), Active(LOWORD(m.WParam)), Minimized(HIWORD(m.WParam) != 0),
      ActiveWindow(Ptr<HWND__>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMActivate::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = W(Active, Minimized ? 1 : 0); m.LParam = AsL(ActiveWindow); m.Result = Result;
}

TWMMouseActivate::TWMMouseActivate(const TMessage& m)
    : Msg(m.Msg), TopLevel(Ptr<HWND__>(m.WParam)), HitTestCode(Lo(m.LParam)),
      MouseMsg(HIWORD(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TWMMouseActivate::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(TopLevel); m.LParam = L(HitTestCode, static_cast<int16_t>(MouseMsg)); m.Result = Result;
}

TWMSysCommand::TWMSysCommand(const TMessage& m)
    : Msg(m.Msg), CmdType(static_cast<uint32_t>(m.WParam)), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)),
      Result(m.Result) {}
void TWMSysCommand::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = CmdType; m.LParam = L(XPos, YPos); m.Result = Result;
}

TWMGetDlgCode::TWMGetDlgCode(const TMessage& m) : Msg(m.Msg), Unused(m.WParam), MsgPtr(m.LParam), Result(m.Result) {}
void TWMGetDlgCode::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = Unused; m.LParam = MsgPtr; m.Result = Result;
}

TWMSetText::TWMSetText(const TMessage& m)
    : Msg(m.Msg), Text(reinterpret_cast<const char*>(m.LParam)), Result(m.Result) {}
void TWMSetText::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = reinterpret_cast<LPARAM>(Text); m.Result = Result;
}

TWMShowWindow::TWMShowWindow(const TMessage& m)
    : Msg(m.Msg), Show(m.WParam != 0), Status(static_cast<int32_t>(m.LParam)), Result(m.Result) {}
void TWMShowWindow::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = Show ? 1 : 0; m.LParam = Status; m.Result = Result;
}

TCMHitTest::TCMHitTest(const TMessage& m) : Msg(m.Msg), XPos(Lo(m.LParam)), YPos(Hi(m.LParam)), Result(m.Result) {}
void TCMHitTest::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = L(XPos, YPos); m.Result = Result;
}

TCMMouseEnterLeave::TCMMouseEnterLeave(const TMessage& m)
    : Msg(m.Msg), Control(Ptr<TControl>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TCMMouseEnterLeave::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = AsL(Control); m.Result = Result;
}

TCMFocusChanged::TCMFocusChanged(const TMessage& m)
    : Msg(m.Msg), Sender(Ptr<TWinControl>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TCMFocusChanged::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = 0; m.LParam = AsL(Sender); m.Result = Result;
}

TCMControlChange::TCMControlChange(const TMessage& m)
    : Msg(m.Msg), Control(Ptr<TControl>(m.WParam)), Inserting(m.LParam != 0), Result(m.Result) {}
void TCMControlChange::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = AsW(Control); m.LParam = Inserting ? 1 : 0; m.Result = Result;
}

TCMHintShow::TCMHintShow(const TMessage& m)
    : Msg(m.Msg), Reserved(m.WParam), HintInfo(Ptr<THintInfo>(static_cast<uintptr_t>(m.LParam))), Result(m.Result) {}
void TCMHintShow::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = Reserved; m.LParam = AsL(HintInfo); m.Result = Result;
}

TCMButtonPressed::TCMButtonPressed(const TMessage& m)
    : Msg(m.Msg), Index(static_cast<uint32_t>(m.WParam)), Control(Ptr<TControl>(static_cast<uintptr_t>(m.LParam))),
      Result(m.Result) {}
void TCMButtonPressed::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = Index; m.LParam = AsL(Control); m.Result = Result;
}

TCMDrag::TCMDrag(const TMessage& m)
    : Msg(m.Msg), DragMessage(static_cast<uint8_t>(m.WParam)), DragRec(Ptr<TDragRec>(static_cast<uintptr_t>(m.LParam))),
      Result(m.Result) {}
void TCMDrag::WriteTo(TMessage& m) const {
  m.Msg = Msg; m.WParam = DragMessage; m.LParam = AsL(DragRec); m.Result = Result;
}

// ---------------------------------------------------------------------------------------------
// Keys

TShiftState KeyDataToShiftState(LPARAM KeyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s += ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s += ssCtrl;
  if (KeyDataAltDown(KeyData)) s += ssAlt;
  return s;
}

TShiftState KeysToShiftState(uint32_t Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s += ssShift;
  if (Keys & MK_CONTROL) s += ssCtrl;
  if (Keys & MK_LBUTTON) s += ssLeft;
  if (Keys & MK_RBUTTON) s += ssRight;
  if (Keys & MK_MBUTTON) s += ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s += ssAlt;
  return s;
}

TShiftState GetShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s += ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s += ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s += ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) s += ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s += ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s += ssMiddle;
  return s;
}

uint8_t VirtualKeyToScanCode(uint16_t vk) {
  // Set-1 scan codes of a US keyboard.
  static const uint8_t kLetters[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                       0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
  static const uint8_t kDigits[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
  static const uint8_t kNumpad[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  if (vk >= 'A' && vk <= 'Z') return kLetters[vk - 'A'];
  if (vk >= '0' && vk <= '9') return kDigits[vk - '0'];
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return kNumpad[vk - VK_NUMPAD0];
  if (vk >= VK_F1 && vk <= VK_F10) return static_cast<uint8_t>(0x3B + (vk - VK_F1));
  switch (vk) {
    case VK_ESCAPE: return 0x01;
    case VK_BACK: return 0x0E;
    case VK_TAB: return 0x0F;
    case VK_RETURN: return 0x1C;
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL: return 0x1D;
    case VK_SHIFT: case VK_LSHIFT: return 0x2A;
    case VK_RSHIFT: return 0x36;
    case VK_MENU: case VK_LMENU: case VK_RMENU: return 0x38;
    case VK_SPACE: return 0x39;
    case VK_CAPITAL: return 0x3A;
    case VK_NUMLOCK: return 0x45;
    case VK_SCROLL: return 0x46;
    case VK_F11: return 0x57;
    case VK_F12: return 0x58;
    case VK_HOME: return 0x47;
    case VK_UP: return 0x48;
    case VK_PRIOR: return 0x49;
    case VK_LEFT: return 0x4B;
    case VK_CLEAR: return 0x4C;
    case VK_RIGHT: return 0x4D;
    case VK_END: return 0x4F;
    case VK_DOWN: return 0x50;
    case VK_NEXT: return 0x51;
    case VK_INSERT: return 0x52;
    case VK_DELETE: return 0x53;
    case VK_MULTIPLY: case VK_SNAPSHOT: return 0x37;
    case VK_SUBTRACT: return 0x4A;
    case VK_ADD: return 0x4E;
    case VK_DECIMAL: return 0x53;
    case VK_DIVIDE: return 0x35;
    case VK_OEM_MINUS: return 0x0C;
    case VK_OEM_PLUS: return 0x0D;
    case VK_OEM_4: return 0x1A;
    case VK_OEM_6: return 0x1B;
    case VK_OEM_1: return 0x27;
    case VK_OEM_7: return 0x28;
    case VK_OEM_3: return 0x29;
    case VK_OEM_5: return 0x2B;
    case VK_OEM_COMMA: return 0x33;
    case VK_OEM_PERIOD: return 0x34;
    case VK_OEM_2: return 0x35;
    case VK_OEM_102: return 0x56;
    case VK_PAUSE: return 0x45;
    case VK_LWIN: return 0x5B;
    case VK_RWIN: return 0x5C;
    case VK_APPS: return 0x5D;
    default: return 0;
  }
}

bool IsExtendedKey(uint16_t vk) {
  switch (vk) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_RCONTROL: case VK_RMENU:
    case VK_DIVIDE: case VK_NUMLOCK: case VK_SNAPSHOT: case VK_LWIN: case VK_RWIN: case VK_APPS:
      return true;
    default:
      return false;
  }
}
