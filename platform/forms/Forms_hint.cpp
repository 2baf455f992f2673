// Hints: the hint window and the application's hint cycle (the pause over a control, the
// window, the hide pause, and what cancels a hint).
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"
#include "platform/forms/StdActns.h"
#include "platform/gdi/WinGdi_text.h"

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kHideTimer = 2;
// The hint's top edge lies this far below the cursor's hot spot: the height of the standard
// arrow, so that the hint starts where the arrow ends.
constexpr int32_t kCursorHeight = 20;
// The text lies this far inside the frame (left, top); the window is this much larger than the
// text (frame and margins, horizontally and vertically).
constexpr int32_t kTextLeft = 2, kTextTop = 1;
constexpr int32_t kExtraWidth = 6, kExtraHeight = 4;
constexpr UINT kHintTextFlags = DT_LEFT | DT_NOPREFIX | DT_WORDBREAK;

// Input (a press, a key) cancelled the hint: no new hint until the mouse moves.
bool g_wait_for_move = false;
TPoint g_cancel_pos;

TPoint CursorNow() {
  TPoint p;
  GetCursorPos(&p);
  return p;
}

// The control whose hint the control under the mouse shows: itself or a parent with a hint.
TControl* HintSource(TControl* Control) {
  while (Control && Control->Hint().empty()) Control = Control->Parent();
  return Control;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// THintWindow

PX_CLASS_INFO(THintWindow, TCustomControl)

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(Application() ? Application()->HintColor() : clInfoBk);
  if (Screen()) Canvas()->Font()->Assign(Screen()->HintFont());
  SetVisible(false);
}

void THintWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;
  Params.WndParent = nullptr;
  Params.WindowClass.style = CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int32_t MaxWidth, const std::string& AHint, void*) {
  if (Screen()) Canvas()->Font()->Assign(Screen()->HintFont());
  TRect r(0, 0, std::max(MaxWidth, 1), 0);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Canvas()->Font()->Handle());
  DrawText(dc, AHint, &r, DT_CALCRECT | kHintTextFlags);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return TRect(0, 0, r.Width() + kExtraWidth, r.Height() + kExtraHeight);
}

void THintWindow::ActivateHint(TRect Rect, const std::string& AHint) {
  SetCaption(AHint);
  HandleNeeded();
  SetWindowPos(Handle(), HWND_TOPMOST, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetVisible(true);
  Invalidate();
  Update();
}

void THintWindow::ActivateHintData(TRect Rect, const std::string& AHint, void*) { ActivateHint(Rect, AHint); }

void THintWindow::ReleaseHandle() {
  SetVisible(false);
  if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
}

void THintWindow::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(r);
  if (Screen()) canvas->Font()->Assign(Screen()->HintFont());
  canvas->Font()->SetColor(clInfoText);
  canvas->Brush()->SetStyle(bsClear);
  r.Left += kTextLeft;
  r.Top += kTextTop;
  DrawText(canvas->Handle(), Caption(), &r, kHintTextFlags);
}

void THintWindow::WMNCHitTest(TWMNCHitTest& Message) { Message.Result = HTTRANSPARENT; }

void THintWindow::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

// ---------------------------------------------------------------------------------------------
// The application's hints

void TApplication::SetHint(const std::string& Value) {
  if (hint_ == Value) return;
  hint_ = Value;
  if (on_hint_) {
    on_hint_(this);
    return;
  }
  THintAction action(nullptr);
  action.SetHint(Value);
  action.Execute();
}

void TApplication::SetShowHint(bool Value) {
  if (show_hint_ == Value) return;
  show_hint_ = Value;
  if (!Value) CancelHint();
}

void TApplication::SetHintColor(TColor Value) {
  hint_color_ = Value;
  if (hint_window_) hint_window_->SetColor(Value);
}

void TApplication::StartHintTimer(UINT_PTR Id, int32_t Ms) {
  if (!hint_timer_window_) hint_timer_window_ = AllocateHWnd([this](TMessage& m) { HintTimerMessage(m); });
  SetTimer(hint_timer_window_, Id, static_cast<UINT>(std::max(Ms, 0)), nullptr);
}

void TApplication::StopHintTimer(UINT_PTR Id) {
  if (hint_timer_window_) KillTimer(hint_timer_window_, Id);
}

void TApplication::HintTimerMessage(TMessage& Message) {
  if (Message.Msg != WM_TIMER) return;
  StopHintTimer(Message.WParam);
  if (Message.WParam == kHideTimer) {
    HideHint();
  } else if (Message.WParam == kShowTimer && hint_control_) {
    const TPoint p = CursorNow();
    if (FindDragTarget(p, true) == hint_control_) ActivateHint(p);
  }
}

void TApplication::HideHint() {
  StopHintTimer(kHideTimer);
  hint_shown_ = false;
  if (hint_window_) hint_window_->ReleaseHandle();
}

void TApplication::CancelHint() {
  StopHintTimer(kShowTimer);
  HideHint();
  hint_control_ = nullptr;
}

void CancelHintForInput() {
  TApplication* app = Application();
  if (!app || (!app->hint_control_ && !app->hint_shown_)) return;
  app->CancelHint();
  g_wait_for_move = true;
  g_cancel_pos = CursorNow();
}

void TApplication::ActivateHint(TPoint CursorPos) {
  StopHintTimer(kShowTimer);
  HideHint();
  TControl* c = FindDragTarget(CursorPos, true);
  hint_control_ = c;
  if (!c || !show_hint_) return;
  TControl* source = HintSource(c);
  if (!source || !c->ShowHint()) return;
  THintInfo info;
  info.HintControl = c;
  // The screen position comes from the cursor itself: a control's ClientToScreen may not match
  // what the screen shows (controls placed inside a toolkit dialog).
  info.HintPos = CursorPos;
  info.HintMaxWidth = Screen() ? Screen()->Width() : 1024;
  info.HintColor = hint_color_;
  info.CursorPos = c->ScreenToClient(CursorPos);
  info.CursorRect = c->ClientRect();
  info.HideTimeout = hint_hide_pause_;
  info.HintStr = GetShortHint(source->Hint());
  bool canShow = c->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
  if (canShow && on_show_hint_) on_show_hint_(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty() || hint_control_ != c) return;
  if (!hint_window_) hint_window_ = std::make_unique<THintWindow>(nullptr);
  hint_window_->SetColor(info.HintColor);
  TRect r = hint_window_->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
  r.Offset(info.HintPos.X, info.HintPos.Y + kCursorHeight);
  // Inside the work area of the monitor under the cursor; above the cursor when there is no
  // room below.
  MONITORINFO mi;
  if (GetMonitorInfo(MonitorFromPoint(info.HintPos, MONITOR_DEFAULTTONEAREST), &mi)) {
    const TRect work = mi.rcWork;
    if (r.Right > work.Right) r.Offset(work.Right - r.Right, 0);
    if (r.Left < work.Left) r.Offset(work.Left - r.Left, 0);
    if (r.Bottom > work.Bottom) r.Offset(0, info.HintPos.Y - r.Height() - r.Top);
    if (r.Top < work.Top) r.Offset(0, work.Top - r.Top);
  }
  hint_window_->ActivateHintData(r, info.HintStr, info.HintData);
  hint_shown_ = true;
  hint_cursor_rect_ = info.CursorRect;
  if (info.HideTimeout > 0) StartHintTimer(kHideTimer, info.HideTimeout);
}

void TApplication::DoMouseIdle(TControl* Control) {
  // No hints while something holds the mouse (a pressed control, a drag, a menu).
  if (GetCapture()) {
    SetHint("");
    if (hint_control_) CancelHint();
    return;
  }
  TControl* source = HintSource(Control);
  SetHint(source ? GetLongHint(source->Hint()) : "");
  if (Control != hint_control_) {
    const bool wasShown = hint_shown_;
    CancelHint();
    const TPoint p = CursorNow();
    if (g_wait_for_move && p == g_cancel_pos) return;
    g_wait_for_move = false;
    if (Control && show_hint_ && Control->ShowHint() && source) {
      hint_control_ = Control;
      StartHintTimer(kShowTimer, wasShown ? hint_short_pause_ : hint_pause_);
    }
    return;
  }
  // Over the same control: a shown hint goes when the cursor leaves the hint's cursor area.
  if (hint_shown_ && hint_control_ && !hint_cursor_rect_.Contains(hint_control_->ScreenToClient(CursorNow()))) {
    HideHint();
    StartHintTimer(kShowTimer, hint_pause_);
  }
}
