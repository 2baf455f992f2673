// Drag and drop: the one drag that runs at a time. While it runs a window of its own holds the
// mouse capture, so every move and the release come here wherever the mouse is; the control
// under the mouse is asked (CM_DRAG) whether it accepts the drop, and the cursor says so.
#include <algorithm>
#include <cstdlib>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

struct TDragMachine {
  TControl* Control = nullptr;   // the control being dragged (nullptr: no drag)
  TDragObject* Object = nullptr;
  std::unique_ptr<TDragObject> Owned;  // the drag object when the control made its own
  bool Active = false;           // the threshold was passed (or the drag was immediate)
  TPoint Start;
  int32_t Threshold = 5;
  TControl* Target = nullptr;
  bool Accepted = false;
  HWND Capture = nullptr;
  bool Ending = false;

  static TDragMachine& Get() {
    static TDragMachine machine;
    return machine;
  }
  bool Running() const { return Control != nullptr; }

  void Begin(TControl* AControl, bool Immediate, int32_t AThreshold);
  void MoveTo(TPoint Pos);
  void Done(bool Drop);
  void Forget(TControl* Gone);
  void WndProc(TMessage& Message);

  // The control under the screen point that may take the drop (nullptr when none of ours).
  static TControl* FindTarget(TPoint Pos);
  // Sends a drag message to the target; answers its result.
  LRESULT Send(TControl* ATarget, TDragMessage Msg, TPoint Pos);
  void ShowCursor();
  // Drops the state (the capture window too) without telling anybody.
  void Reset();
  static void RestoreCursor();
};

// ---------------------------------------------------------------------------------------------
// Drag objects

TCursor TDragObject::GetDragCursor(bool Accepted, int32_t, int32_t) { return Accepted ? crDrag : crNoDrop; }

void TDragObject::Finished(TObject*, int32_t, int32_t, bool) {}

void TBaseDragControlObject::Finished(TObject* Target, int32_t X, int32_t Y, bool) {
  if (control_) control_->DoEndDrag(Target, X, Y);
}

TCursor TDragControlObject::GetDragCursor(bool Accepted, int32_t, int32_t) {
  return Accepted && control_ ? control_->DragCursor() : crNoDrop;
}

// ---------------------------------------------------------------------------------------------
// The machine

void TDragMachine::Begin(TControl* AControl, bool Immediate, int32_t AThreshold) {
  if (Running()) return;
  Control = AControl;
  Threshold = AThreshold < 0 ? Mouse()->DragThreshold() : AThreshold;
  GetCursorPos(&Start);
  // The press that started it belongs to the drag now: no click when the button comes up.
  AControl->control_state_ -= TControlState{csLButtonDown, csClicked};
  TDragObject* given = nullptr;
  try {
    AControl->DoStartDrag(given);
  } catch (...) {
    Reset();
    throw;
  }
  if (Control != AControl) return;  // ended inside OnStartDrag
  if (given) {
    Object = given;
  } else {
    Owned = std::make_unique<TDragControlObject>(AControl);
    Object = Owned.get();
  }
  Capture = AllocateHWnd([](TMessage& m) { Get().WndProc(m); });
  SetCapture(Capture);
  if (Immediate) {
    Active = true;
    MoveTo(Start);
  }
}

TControl* TDragMachine::FindTarget(TPoint Pos) {
  TWinControl* window = FindVCLWindow(Pos);
  for (TWinControl* w = window; w; w = w->Parent())
    if (!w->Enabled()) return nullptr;
  if (!window) return nullptr;
  TDragRec rec;
  rec.Pos = Pos;
  rec.Source = Get().Object;
  return reinterpret_cast<TControl*>(
      window->Perform(CM_DRAG, static_cast<WPARAM>(dmFindTarget), reinterpret_cast<LPARAM>(&rec)));
}

LRESULT TDragMachine::Send(TControl* ATarget, TDragMessage Msg, TPoint Pos) {
  TDragRec rec;
  rec.Pos = Pos;
  rec.Source = Object;
  rec.Target = ATarget;
  return ATarget->Perform(CM_DRAG, static_cast<WPARAM>(Msg), reinterpret_cast<LPARAM>(&rec));
}

void TDragMachine::MoveTo(TPoint Pos) {
  if (!Running() || Ending) return;
  if (!Active) {
    if (std::abs(Pos.X - Start.X) < Threshold && std::abs(Pos.Y - Start.Y) < Threshold) return;
    Active = true;
  }
  TControl* const dragged = Control;
  Object->drag_pos_ = Pos;
  TControl* now = FindTarget(Pos);
  if (now != Target) {
    TControl* old = Target;
    Target = nullptr;
    Accepted = false;
    if (old) Send(old, dmDragLeave, Pos);
    if (Control != dragged) return;  // a handler ended the drag
    Target = now;
    if (now) Accepted = Send(now, dmDragEnter, Pos) != 0;
  } else if (now) {
    Accepted = Send(now, dmDragMove, Pos) != 0;
  }
  if (Control != dragged) return;
  Object->drag_target_ = Target;
  Object->drag_target_pos_ = Target ? Target->ScreenToClient(Pos) : Pos;
  ShowCursor();
}

void TDragMachine::ShowCursor() {
  if (!Screen() || !Object) return;
  const TPoint p = Object->drag_target_pos_;
  ::SetCursor(Screen()->Cursors(Object->GetDragCursor(Accepted, p.X, p.Y)));
}

void TDragMachine::RestoreCursor() {
  // The cursor of whatever lies under the mouse again, as after a move.
  TPoint p;
  GetCursorPos(&p);
  HWND wnd = WindowFromPoint(p);
  if (!wnd || GetCapture()) return;
  TMessage m{WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), 0};
  DeliverMessage(wnd, m);
}

void TDragMachine::Reset() {
  HWND capture = Capture;
  Capture = nullptr;
  Control = nullptr;
  Object = nullptr;
  Active = false;
  Target = nullptr;
  Accepted = false;
  if (capture) {
    if (GetCapture() == capture) ReleaseCapture();
    DeallocateHWnd(capture);
  }
}

void TDragMachine::Done(bool Drop) {
  if (!Running() || Ending) return;
  Ending = true;
  TPoint pos;
  GetCursorPos(&pos);
  TDragObject* object = Object;
  std::unique_ptr<TDragObject> owned = std::move(Owned);
  TControl* target = Active ? Target : nullptr;
  const bool accepted = Drop && target && Accepted;
  Reset();
  Ending = false;
  TPoint at;
  if (target) at = target->ScreenToClient(pos);
  object->cancelling_ = !Drop;
  object->dropped_ = accepted;
  // Reset made way for a new drag (OnEndDrag may start one); the messages of this one go out now.
  if (target) {
    TDragRec rec;
    rec.Pos = pos;
    rec.Source = object;
    rec.Target = target;
    target->Perform(CM_DRAG, static_cast<WPARAM>(accepted ? dmDragDrop : dmDragLeave), reinterpret_cast<LPARAM>(&rec));
  }
  RestoreCursor();
  if (accepted) object->Finished(target, at.X, at.Y, true);
  else object->Finished(nullptr, 0, 0, false);
}

void TDragMachine::Forget(TControl* Gone) {
  if (!Running()) return;
  if (Target == Gone) {
    Target = nullptr;
    Accepted = false;
    if (Object) Object->drag_target_ = nullptr;
  }
  if (Control == Gone) {
    Owned.reset();
    Reset();
  }
}

void TDragMachine::WndProc(TMessage& Message) {
  TPoint p;
  GetCursorPos(&p);
  switch (Message.Msg) {
    case WM_MOUSEMOVE:
      MoveTo(p);
      break;
    case WM_LBUTTONUP:
      MoveTo(p);
      Done(true);
      break;
    case WM_RBUTTONDOWN:
    case WM_CANCELMODE:
      Done(false);
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(Message.LParam) != Capture) Done(false);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// What the rest of the window layer asks

bool DragKeyInput(bool Down, uint16_t VK) {
  TDragMachine& m = TDragMachine::Get();
  if (!m.Running() || !Down || VK != VK_ESCAPE) return false;
  m.Done(false);
  return true;
}

void DragControlGone(TControl* Control) { TDragMachine::Get().Forget(Control); }

bool TMouse::IsDragging() const { return TDragMachine::Get().Running(); }

// ---------------------------------------------------------------------------------------------
// TControl

void TControl::BeginDrag(bool Immediate, int32_t Threshold) {
  if (ComponentState().Contains(csDesigning)) return;
  TDragMachine::Get().Begin(this, Immediate, Threshold);
}

void TControl::BeginAutoDrag() { BeginDrag(Mouse()->DragImmediate(), Mouse()->DragThreshold()); }

void TControl::EndDrag(bool Drop) {
  if (Dragging()) TDragMachine::Get().Done(Drop);
}

bool TControl::Dragging() const { return TDragMachine::Get().Control == this; }

void TControl::DoStartDrag(TDragObject*& DragObject) {
  if (on_start_drag_) on_start_drag_(this, DragObject);
}

void TControl::DoEndDrag(TObject* Target, int32_t X, int32_t Y) {
  if (on_end_drag_) on_end_drag_(this, Target, X, Y);
}

void TControl::DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
  Accept = false;
  if (!on_drag_over_) return;
  Accept = true;
  on_drag_over_(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int32_t X, int32_t Y) {
  if (on_drag_drop_) on_drag_drop_(this, Source, X, Y);
}

void TControl::CMDrag(TCMDrag& Message) {
  TDragRec* rec = Message.DragRec;
  if (!rec) return;
  const auto msg = static_cast<TDragMessage>(Message.DragMessage);
  if (msg == dmFindTarget) {
    Message.Result = reinterpret_cast<LRESULT>(this);
    return;
  }
  // The controls' own drag objects stand for the dragged control.
  TObject* source = rec->Source;
  if (auto* own = dynamic_cast<TDragControlObject*>(rec->Source)) source = own->Control();
  const TPoint p = ScreenToClient(rec->Pos);
  switch (msg) {
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
      bool accept = false;
      const TDragState state = msg == dmDragEnter ? dsDragEnter : msg == dmDragLeave ? dsDragLeave : dsDragMove;
      DragOver(source, p.X, p.Y, state, accept);
      Message.Result = accept ? 1 : 0;
      break;
    }
    case dmDragDrop:
      DragDrop(source, p.X, p.Y);
      break;
    default:
      break;
  }
}

void TWinControl::CMDrag(TCMDrag& Message) {
  if (static_cast<TDragMessage>(Message.DragMessage) == dmFindTarget && Message.DragRec) {
    TControl* c = ControlAtPos(ScreenToClient(Message.DragRec->Pos), false);
    Message.Result = reinterpret_cast<LRESULT>(c ? c : this);
    return;
  }
  TControl::CMDrag(Message);
}
