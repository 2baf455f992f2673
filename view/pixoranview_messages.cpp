// TPixoranView's window messages: the scroll bars, the mouse wheel and the size, the erase and
// focus messages, and the mouse handlers' calls to the tools.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "view/pixoranview.h"

void TPixoranView::SetScrollBars(TScrollStyle Value) {
  FScrollBars = Value;
  if (Value != ssVertical && Value != ssBoth) HideVScrollBar();
  if (Value != ssHorizontal && Value != ssBoth) HideHScrollBar();
  FUpdateReason = pxurDisplay;
  Update();
}

namespace {

// The scroll code of WM_HSCROLL / WM_VSCROLL as a scroll command and its position; false when
// the message is dropped (a thumb drag while the bar does not track).
bool ScrollCommandOf(const TWMScroll& Message, const TPXScrollBarParams& Params, double Ratio, int32_t Current,
                     uint8_t& Command, int32_t& Position) {
  Position = 0;
  switch (Message.ScrollCode) {
    case SB_LINEUP: Command = 4; break;
    case SB_LINEDOWN: Command = 3; break;
    case SB_PAGEUP: Command = 6; break;
    case SB_PAGEDOWN: Command = 5; break;
    case SB_THUMBTRACK:
      if (!Params.Tracking) return false;
      [[fallthrough]];
    case SB_THUMBPOSITION:
      Command = 0;
      Position = Round32(static_cast<uint16_t>(Message.Pos) * Ratio);
      break;
    case SB_TOP: Command = 2; break;
    case SB_BOTTOM: Command = 1; break;
    default:
      Command = 0;
      Position = Current;
      break;
  }
  return true;
}

}  // namespace

void TPixoranView::WMHScroll(TWMScroll& Message) {
  TPXView::WMHScroll(Message);
  uint8_t command = 0;
  int32_t position = 0;
  if (ScrollCommandOf(Message, *FHScrollBarParams, FHScrollRatio, FViewX, command, position))
    HScrollCommand(command, position);
}

void TPixoranView::WMVScroll(TWMScroll& Message) {
  TPXView::WMVScroll(Message);
  uint8_t command = 0;
  int32_t position = 0;
  if (ScrollCommandOf(Message, *FVScrollBarParams, FVScrollRatio, FViewY, command, position))
    VScrollCommand(command, position);
}

bool TPixoranView::ScrollCommand(uint8_t Command, int32_t Position, bool XAxis) {
  const int32_t old = XAxis ? FViewX : FViewY;
  const TPXScrollBarParams& params = XAxis ? *FHScrollBarParams : *FVScrollBarParams;
  // A line is one bitmap pixel (at least one client pixel) times LineStep.
  const int32_t unit = std::max(Trunc32(XAxis ? FZX : FZY), 1);
  const int32_t line = params.LineStep == -1 ? unit : unit * params.LineStep;
  const int32_t viewport = XAxis ? GetViewportWidth() : GetViewportHeight();
  const int32_t page = params.PageStep == -1 ? viewport : unit * params.PageStep;
  int32_t maxX, maxY, target = 0;
  switch (Command) {
    case 0: target = Position; break;
    case 1: GetMaxViewXY(maxX, maxY), target = XAxis ? maxX : maxY; break;
    case 3: target = old + line; break;
    case 4: target = old - line; break;
    case 5: target = old + page; break;
    case 6: target = old - page; break;
    default: target = 0; break;
  }
  SetViewAxis(target, XAxis);
  return (XAxis ? FViewX : FViewY) != old;
}

bool TPixoranView::HScrollCommand(uint8_t Command, int32_t Position) { return ScrollCommand(Command, Position, true); }
bool TPixoranView::VScrollCommand(uint8_t Command, int32_t Position) { return ScrollCommand(Command, Position, false); }

void TPixoranView::WMMouseWheel(TWMMouseWheel& Message) {
  TPXView::WMMouseWheel(Message);
  if (Message.Result == 1) return;
  const TPoint p = ScreenToClient(TPoint(Message.XPos, Message.YPos));
  const bool horizontal =
      GetKeyState(VK_CONTROL) < 0 || (Message.Keys & MK_CONTROL) != 0 || (ForcedModifiers & (1u << 1)) != 0;
  DoMouseWheel(Message.WheelDelta, p.X, p.Y, horizontal);
}

void TPixoranView::DoMouseWheel(int32_t Delta, int32_t X, int32_t Y, bool Horizontal) {
  TPXMouseWheelParams* p = FMouseWheelParams.get();
  if (p->Action() == pxmwNone) return;
  int32_t dir = Delta >= 1 ? -1 : 1;
  if (p->InvertDirection()) dir = -dir;
  switch (p->Action()) {
    case pxmwVScroll: {
      int32_t maxX, maxY;
      GetMaxViewXY(maxX, maxY);
      if (Horizontal || (maxX > 0 && maxY == 0)) {
        const int32_t step = p->Variation() == pxmwAbsolute
                                 ? p->Value() * std::max(Trunc32(FZX), 1)
                                 : std::max(Round32(GetViewportWidth() * double(p->Value()) / 100), 1);
        SetViewX(FViewX + dir * step);
      } else {
        const int32_t step = p->Variation() == pxmwAbsolute
                                 ? p->Value() * std::max(Trunc32(FZY), 1)
                                 : std::max(Round32(GetViewportHeight() * double(p->Value()) / 100), 1);
        SetViewY(FViewY + dir * step);
      }
      break;
    }
    case pxmwZoom:
    case pxmwZoomView: {
      double z = p->Variation() == pxmwAbsolute
                     ? FZoomX + dir * p->Value()
                     : FZoomX + dir * std::max<int64_t>(Round(p->Value() * FZoomX / 100), 1);
      if (z > FZoomX) DoZoomIn(z);
      if (z < FZoomX) DoZoomOut(z);
      if (p->ZoomPosition() == pxmwMouse) ZoomAt(X, Y, z, false);
      else SetZoom(z);
      break;
    }
    case pxmwNavigate: GetIO()->Seek(dir < 0 ? 1 : 2, ""); break;
    default: break;
  }
}

void TPixoranView::WMSize(TWMSize& Message) {
  TPXView::WMSize(Message);
  if (!FInsideUpdate) SizeChanged();
}

void TPixoranView::SizeChanged() {
  if (FTransition) FTransition->Stop();
  FBackdropStale = true;
  FUpdateReason = pxurDisplay;
  Update();
}

void TPixoranView::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 0; }

void TPixoranView::WMSetFocus(TWMSetFocus& Message) {
  TPXView::WMSetFocus(Message);
  Invalidate();
}

void TPixoranView::WMKillFocus(TWMKillFocus& Message) {
  TPXView::WMKillFocus(Message);
  Invalidate();
}

void TPixoranView::Dispatch(TMessage& Message) {
  // The horizontal wheel goes to the default handling only.
  if (Message.Msg == WM_MOUSEHWHEEL) {
    DefaultHandler(Message);
    return;
  }
  TPXView::Dispatch(Message);
}

void TPixoranView::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  // The zone cursor follows the pointer: its old and new places are repainted from the back
  // buffer, which stays as it is.
  if (FZoneCursorShapeInUse != pxcsDefault && HandleAllocated()) {
    if (!FZoneCursorRect.IsEmpty()) InvalidateRect(Handle(), &FZoneCursorRect, FALSE);
    const int32_t hw = Trunc32(FZoneCursorSizeInUse.X * FZoomX / 100) / 2 + 14;
    const int32_t hh = Trunc32(FZoneCursorSizeInUse.Y * FZoomY / 100) / 2 + 14;
    const TRect next(X - hw, Y - hh, X + hw + 1, Y + hh + 1);
    InvalidateRect(Handle(), &next, FALSE);
  }
  ToolsMouseMove(Shift, X, Y);
  TPXView::MouseMove(Shift, X, Y);
}

void TPixoranView::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  ToolsMouseDown(Button, Shift, X, Y);
  TPXView::MouseDown(Button, Shift, X, Y);
}

void TPixoranView::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  ToolsMouseUp(Button, Shift, X, Y);
  TPXView::MouseUp(Button, Shift, X, Y);
}
