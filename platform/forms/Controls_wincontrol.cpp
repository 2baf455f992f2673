// TWinControl: the window, children, focus and keyboard, painting and the window messages.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

namespace {

// The default handling of a decoded record.
template <class R>
void Default(TWinControl* self, R& r) {
  TMessage m = r.ToMessage();
  self->DefaultHandler(m);
  r.Result = m.Result;
}

// A child window's notification goes back to the control of that window as Msg (a CN_ message);
// false when Child is none of ours.
template <class R>
bool Reflect(HWND Child, R& r, UINT Msg) {
  if (!Child) return false;
  TWinControl* c = FindControl(Child);
  if (!c) return false;
  TMessage m = r.ToMessage();
  m.Msg = Msg;
  r.Result = c->Perform(m);
  return true;
}

}  // namespace

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  brush_ = std::make_unique<TBrush>();
  brush_->SetColor(Color());
}

TWinControl::~TWinControl() {
  Destroying();
  ForgetDockSite(this);
  // Leave the parent while still a window control (its lists and focus know it as one).
  if (Parent()) Parent()->RemoveControl(this);
  if (HandleAllocated()) DestroyWindowHandle();
  // Children: those owned by a component go now (their owner would free them anyway); those
  // held elsewhere are only taken off this parent.
  while (ControlCount() > 0) {
    TControl* child = Controls(ControlCount() - 1);
    RemoveControl(child);
    if (child->Owner()) delete child;
  }
}

// ---------------------------------------------------------------------------------------------
// The window

HWND TWinControl::Handle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_) return;
  if (Parent()) Parent()->HandleNeeded();
  CreateHandle();
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  if (Parent() && handle_) {
    // Stack the window with its siblings in the parent's order.
    auto& list = Parent()->win_controls_;
    auto it = std::find(list.begin(), list.end(), this);
    HWND above = nullptr;
    for (auto j = it + 1; it != list.end() && j != list.end(); ++j)
      if ((*j)->handle_) {
        above = (*j)->handle_;
        break;
      }
    SetWindowPos(handle_, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (int32_t i = 0; i < ControlCount(); ++i) Controls(i)->UpdateAnchorRules();
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params = TCreateParams();
  Params.Caption = TControl::GetText();
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (control_style_.Contains(csAcceptsControls)) {
    Params.Style |= WS_CLIPCHILDREN;
    Params.ExStyle |= WS_EX_CONTROLPARENT;
  }
  if (!Enabled()) Params.Style |= WS_DISABLED;
  if (tab_stop_) Params.Style |= WS_TABSTOP;
  Params.X = left_;
  Params.Y = top_;
  Params.Width = width_;
  Params.Height = height_;
  Params.WndParent = Parent() ? Parent()->Handle() : parent_window_;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  if (!params.WndParent && (params.Style & WS_CHILD))
    throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
  CreateWindowHandle(params);
  if (!handle_) throw EOSError("The window could not be made");
  CompleteWindowCreation(handle_);
  if (!handle_) return;
  if (TWindowData* w = WindowData(handle_)) UpdateBoundsRect(w->Rect);
  if (AutoSize()) AdjustSize();
}

void TWinControl::CreateWindowHandle(const TCreateParams& Params) {
  handle_ = CreateWindowRecord(this, Params);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TWinControl* c : std::vector<TWinControl*>(win_controls_)) c->DestroyHandle();
  DestroyWnd();
}

void TWinControl::DestroyWnd() { DestroyWindowHandle(); }

void TWinControl::DestroyWindowHandle() {
  control_state_ += csDestroyingHandle;
  HWND h = handle_;
  DestroyWindowRecord(h);
  handle_ = nullptr;
  showing_ = false;
  control_state_ -= csDestroyingHandle;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  const bool focused = Focused();
  DestroyHandle();
  UpdateControlState();
  if (focused && handle_) ::SetFocus(handle_);
}

void TWinControl::SetParentWindow(HWND Value) {
  if (parent_window_ == Value) return;
  if (!Parent()) DestroyHandle();
  parent_window_ = Value;
  UpdateControlState();
}

void* TWinControl::NativeWidget() {
  TWindowData* w = WindowData(handle_);
  return w && w->Native ? w->Native->Widget() : nullptr;
}

uint32_t TWinControl::WindowStyle() const {
  TWindowData* w = WindowData(handle_);
  return w ? w->Style : 0;
}

uint32_t TWinControl::WindowExStyle() const {
  TWindowData* w = WindowData(handle_);
  return w ? w->ExStyle : 0;
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (Parent() == AParent) return;
  // A window changes parents, or a top-level window becomes a child: it is made again.
  if (handle_ && (!AParent || Parent() || !(WindowStyle() & WS_CHILD))) DestroyHandle();
  TControl::SetParent(AParent);
  UpdateControlState();
}

void TWinControl::SetText(const std::string& Value) {
  if (TControl::GetText() == Value) return;
  if (TWindowData* w = WindowData(handle_)) {
    w->Text = Value;
    if (w->Native && !w->IsChild()) w->Native->SetTitle(Value);
  }
  TControl::SetText(Value);
}

// ---------------------------------------------------------------------------------------------
// Showing

void TWinControl::UpdateShowing() {
  const bool show = Visible() && !control_state_.Contains(csReadingState) &&
                    !ComponentState().Contains(csDestroying);
  if (show) {
    if (!handle_) CreateHandle();
    for (TWinControl* c : std::vector<TWinControl*>(win_controls_)) c->UpdateShowing();
  }
  if (handle_ && showing_ != show) {
    showing_ = show;
    try {
      Perform(CM_SHOWINGCHANGED);
    } catch (...) {
      showing_ = !show;
      throw;
    }
  }
}

void TWinControl::UpdateControlState() {
  TWinControl* c = this;
  while (c->Parent()) {
    c = c->Parent();
    if (!c->Showing()) return;
  }
  if (dynamic_cast<TCustomForm*>(c) || c->parent_window_) UpdateShowing();
}

void TWinControl::CMShowingChanged(TWMNoParams&) {
  static const UINT kShow = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW;
  static const UINT kHide = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW;
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0, showing_ ? kShow : kHide);
}

void TWinControl::CMVisibleChanged(TWMNoParams& Message) {
  if (!Visible() && Parent()) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, false);
  }
  TControl::CMVisibleChanged(Message);
  UpdateControlState();
}

// ---------------------------------------------------------------------------------------------
// Children

TControl* TWinControl::Controls(int32_t Index) const {
  const auto n = static_cast<int32_t>(controls_.size());
  if (Index < 0 || Index >= ControlCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return Index < n ? controls_[static_cast<size_t>(Index)] : win_controls_[static_cast<size_t>(Index - n)];
}

void TWinControl::InsertControl(TControl* AControl) {
  InsertChild(AControl);
  if (!AControl->ComponentState().Contains(csReading) && !AControl->ComponentState().Contains(csLoading)) {
    AControl->Perform(CM_PARENTCOLORCHANGED);
    AControl->Perform(CM_PARENTFONTCHANGED);
    AControl->Perform(CM_PARENTSHOWHINTCHANGED);
    if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
      win->Perform(CM_PARENTCTL3DCHANGED);
      win->UpdateControlState();
    } else if (HandleAllocated()) {
      AControl->Invalidate();
    }
    AlignControl(AControl);
  }
  Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 1);
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (AControl->parent_ != this) return;
  const bool destroying = ComponentState().Contains(csDestroying);
  if (!destroying) Perform(CM_CONTROLCHANGE, reinterpret_cast<WPARAM>(AControl), 0);
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(win, true);
    win->DestroyHandle();
  } else if (HandleAllocated() && !destroying) {
    AControl->InvalidateControl(AControl->Visible(), false);
  }
  RemoveChild(AControl);
  if (!destroying) Realign();
}

void TWinControl::InsertChild(TControl* AControl) {
  AControl->parent_ = this;
  if (auto* win = dynamic_cast<TWinControl*>(AControl)) {
    win_controls_.push_back(win);
    tab_list_.push_back(win);
  } else {
    controls_.push_back(AControl);
  }
}

void TWinControl::RemoveChild(TControl* AControl) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), AControl), controls_.end());
  win_controls_.erase(std::remove(win_controls_.begin(), win_controls_.end(), AControl), win_controls_.end());
  tab_list_.erase(std::remove(tab_list_.begin(), tab_list_.end(), AControl), tab_list_.end());
  AControl->parent_ = nullptr;
}

bool TWinControl::ContainsControl(TControl* Control) const {
  while (Control && Control != this) Control = Control->Parent();
  return Control == this;
}

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled, bool AllowWinControls) {
  auto hit = [&](TControl* c) {
    if (!c->Visible() || (!AllowDisabled && !c->Enabled())) return false;
    if (!c->BoundsRect().Contains(Pos)) return false;
    TPoint p(Pos.X - c->Left(), Pos.Y - c->Top());
    return c->Perform(CM_HITTEST, 0, PointToLParam(p.X, p.Y)) != 0;
  };
  if (AllowWinControls) {
    for (auto it = win_controls_.rbegin(); it != win_controls_.rend(); ++it)
      if (hit(*it)) return *it;
  }
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (hit(*it)) return *it;
  return nullptr;
}

TControl* TWinControl::FindChildControl(std::string_view ControlName) const {
  for (int32_t i = 0; i < ControlCount(); ++i)
    if (SameText(Controls(i)->Name(), ControlName)) return Controls(i);
  return nullptr;
}

void TWinControl::Broadcast(TMessage& Message) {
  for (int32_t i = 0; i < ControlCount(); ++i) {
    Controls(i)->Perform(Message);
    if (Message.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT Msg) {
  for (int32_t i = 0; i < ControlCount(); ++i) Controls(i)->Perform(Msg);
}

void TWinControl::SetZOrder(bool TopMost) {
  if (!Parent()) {
    if (handle_) SetWindowPos(handle_, TopMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return;
  }
  auto& list = Parent()->win_controls_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  if (TopMost) list.push_back(this);
  else list.insert(list.begin(), this);
  if (handle_) SetWindowPos(handle_, TopMost ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RequestAlign();
}

// ---------------------------------------------------------------------------------------------
// Geometry

void TWinControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  if (!CheckNewSize(AWidth, AHeight)) return;
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  if (handle_ && !IsIconic(handle_)) {
    SetWindowPos(handle_, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const bool sized = AWidth != width_ || AHeight != height_;
    left_ = ALeft;
    top_ = ATop;
    width_ = AWidth;
    height_ = AHeight;
    // Without a window there is no WM_SIZE: the children are arranged here.
    if (sized && !handle_) Realign();
  }
  UpdateAnchorRules();
  RequestAlign();
}

void TWinControl::UpdateBoundsRect(const TRect& R) { TControl::UpdateBoundsRect(R); }

TRect TWinControl::GetClientRect() {
  if (TWindowData* w = WindowData(handle_)) return {0, 0, w->Client.Width(), w->Client.Height()};
  // Without a window: what the window's non-client area would take.
  TCreateParams params;
  params.Style = WS_CHILD;
  try {
    TWinControl* self = this;
    self->CreateParamsNoHandle(params);
  } catch (...) {
    params = TCreateParams();
  }
  TRect in = NonClientInsets(params.Style, params.ExStyle, !(params.Style & WS_CHILD), 0, false, false);
  const int32_t b = border_width_;
  return {0, 0, std::max(0, width_ - in.Left - in.Right - 2 * b), std::max(0, height_ - in.Top - in.Bottom - 2 * b)};
}

TPoint TWinControl::GetClientOrigin() {
  if (handle_) {
    TPoint p;
    ::ClientToScreen(handle_, &p);
    return p;
  }
  if (!Parent()) return {left_, top_};
  TPoint p = Parent()->ClientOrigin();
  // Without a window the non-client area is assumed as the styles give it.
  TCreateParams params;
  params.Style = WS_CHILD;
  try {
    CreateParamsNoHandle(params);
  } catch (...) {
    params = TCreateParams();
  }
  TRect in = NonClientInsets(params.Style, params.ExStyle, false, 0, false, false);
  return {p.X + left_ + in.Left + border_width_, p.Y + top_ + in.Top + border_width_};
}

void TWinControl::CreateParamsNoHandle(TCreateParams& Params) {
  // CreateParams asks the parent for its window; the styles alone are wanted here.
  TWinControl* parent = parent_;
  HWND parentWindow = parent_window_;
  parent_ = nullptr;
  parent_window_ = nullptr;
  try {
    CreateParams(Params);
  } catch (...) {
    parent_ = parent;
    parent_window_ = parentWindow;
    throw;
  }
  parent_ = parent;
  parent_window_ = parentWindow;
  if (parent) Params.Style |= WS_CHILD;
}

void TWinControl::SetBorderWidth(TBorderWidth Value) {
  if (border_width_ == Value) return;
  border_width_ = std::max(0, Value);
  if (handle_) SetWindowPos(handle_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  else Realign();
}

// ---------------------------------------------------------------------------------------------
// Focus

void TWinControl::SetTabStop(bool Value) {
  if (tab_stop_ == Value) return;
  tab_stop_ = Value;
  if (TWindowData* w = WindowData(handle_)) {
    if (Value) w->Style |= WS_TABSTOP;
    else w->Style &= ~WS_TABSTOP;
  }
  Perform(CM_TABSTOPCHANGED);
}

int32_t TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& list = Parent()->tab_list_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

void TWinControl::SetTabOrder(int32_t Value) {
  if (ComponentState().Contains(csLoading)) tab_order_wanted_ = Value;
  if (!Parent()) return;
  auto& list = Parent()->tab_list_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  Value = std::clamp(Value, 0, static_cast<int32_t>(list.size()));
  list.insert(list.begin() + Value, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
  for (TWinControl* c : tab_list_) {
    List.push_back(c);
    c->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const auto count = static_cast<int32_t>(list.size());
  auto found = std::find(list.begin(), list.end(), CurControl);
  int32_t start = found == list.end() ? (GoForward ? count - 1 : 0) : static_cast<int32_t>(found - list.begin());
  int32_t i = start;
  do {
    if (GoForward) {
      if (++i == count) i = 0;
    } else {
      if (i == 0) i = count;
      --i;
    }
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c->CanFocus() && (!CheckTabStop || c->TabStop()) && (!CheckParent || c->Parent() == this)) return c;
  } while (i != start);
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop);
  if (next) next->SetFocus();
}

void TWinControl::SelectFirst() {
  TCustomForm* form = GetParentForm(this);
  if (!form) return;
  TWinControl* c = FindNextControl(nullptr, true, true, false);
  if (!c) c = FindNextControl(nullptr, true, false, false);
  if (c) c->SetFocus();
}

bool TWinControl::CanFocus() {
  TCustomForm* form = GetParentForm(this);
  if (!form) return false;
  TWinControl* c = this;
  while (c && c != form) {
    if (!c->Visible() || !c->Enabled()) return false;
    c = c->Parent();
  }
  return true;
}

bool TWinControl::Focused() { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
  if (TCustomForm* form = GetParentForm(this)) {
    form->FocusControl(this);
  } else if (parent_window_) {
    ::SetFocus(Handle());
  } else {
    ValidParentForm(this);
  }
}

void TWinControl::SetCtl3D(bool Value) { SetOwnFlag(ctl3d_, parent_ctl3d_, Value, CM_CTL3DCHANGED); }

void TWinControl::SetParentCtl3D(bool Value) { SetParentFlag(parent_ctl3d_, Value, CM_PARENTCTL3DCHANGED); }

void TWinControl::Loaded() {
  TControl::Loaded();
  // Tab order as the description gave it.
  std::stable_sort(tab_list_.begin(), tab_list_.end(), [](TWinControl* a, TWinControl* b) {
    const int32_t wa = a->tab_order_wanted_ < 0 ? INT32_MAX : a->tab_order_wanted_;
    const int32_t wb = b->tab_order_wanted_ < 0 ? INT32_MAX : b->tab_order_wanted_;
    return wa < wb;
  });
  if (Parent()) Perform(CM_PARENTCTL3DCHANGED);
  Realign();
  UpdateControlState();
}

// ---------------------------------------------------------------------------------------------
// Painting

void TWinControl::Invalidate() { Perform(CM_INVALIDATE); }

void TWinControl::CMInvalidate(TWMNoParams& Message) {
  if (!handle_ || Message.WParam != 0) return;
  InvalidateRect(handle_, nullptr, !control_style_.Contains(csOpaque));
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::Repaint() {
  Invalidate();
  Update();
}

void TWinControl::PaintTo(HDC DC, int32_t X, int32_t Y) {
  TWindowData* w = WindowData(handle_);
  if (!w || !w->Surface || !w->Surface->Full) return;
  HDC src = CreateSurfaceDC(w->Surface->Full.get());
  BitBlt(DC, X, Y, w->Surface->Full->Width(), w->Surface->Full->Height(), src, 0, 0, SRCCOPY);
  DeleteDC(src);
}

void TWinControl::PaintHandler(TWMPaint& Message) {
  HDC dc = Message.DC;
  PAINTSTRUCT ps;
  if (!dc) dc = BeginPaint(Handle(), &ps);
  if (!dc) return;
  if (controls_.empty()) {
    PaintWindow(dc);
  } else {
    const int32_t saved = SaveDC(dc);
    int32_t clip = SIMPLEREGION;
    for (TControl* c : controls_) {
      if (c->Visible() && c->ControlStyle().Contains(csOpaque)) {
        clip = ExcludeClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height());
        if (clip == NULLREGION) break;
      }
    }
    if (clip != NULLREGION) PaintWindow(dc);
    RestoreDC(dc, saved);
  }
  PaintControls(dc, nullptr);
  if (dock_manager_ && use_dock_manager_) dock_manager_->PaintSite(dc);
  if (!Message.DC) EndPaint(handle_, &ps);
}

void TWinControl::PaintWindow(HDC DC) {
  TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(DC), 0, 0};
  DefaultHandler(m);
}

void TWinControl::PaintControls(HDC DC, TControl* First) {
  size_t i = 0;
  if (First) {
    auto it = std::find(controls_.begin(), controls_.end(), First);
    i = it == controls_.end() ? 0 : static_cast<size_t>(it - controls_.begin());
  }
  for (; i < controls_.size(); ++i) {
    TControl* c = controls_[i];
    if (!c->Visible()) continue;
    TRect r = c->BoundsRect();
    if (!RectVisible(DC, r)) continue;
    if (control_state_.Contains(csPaintCopy)) c->control_state_ += csPaintCopy;
    const int32_t saved = SaveDC(DC);
    TPoint org;
    GetWindowOrgEx(DC, &org);
    SetWindowOrgEx(DC, org.X - c->Left(), org.Y - c->Top(), nullptr);
    IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    RestoreDC(DC, saved);
    c->control_state_ -= csPaintCopy;
  }
}

bool TWinControl::IsControlMouseMsg(TWMMouse& Message) {
  TControl* control = nullptr;
  if (handle_ && GetCapture() == handle_) {
    TControl* cc = GetCaptureControl();
    if (cc && cc != this && cc->Parent() == this) control = cc;
  } else {
    control = ControlAtPos(TPoint(Message.XPos, Message.YPos), false);
  }
  if (!control) return false;
  TMessage m{Message.Msg, Message.Keys,
             PointToLParam(Message.XPos - control->Left(), Message.YPos - control->Top()), 0};
  Message.Result = control->Perform(m);
  return true;
}

// ---------------------------------------------------------------------------------------------
// The message entry

void TWinControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SETFOCUS:
      if (TCustomForm* form = GetParentForm(this); form && !form->SetFocusedControl(this)) return;
      break;
    case WM_KILLFOCUS:
      if (control_state_.Contains(csFocusing)) return;
      break;
    case WM_NCHITTEST: {
      TControl::WndProc(Message);
      if (Message.Result == HTTRANSPARENT) {
        TPoint p = ScreenToClient(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)));
        if (ControlAtPos(p, false)) Message.Result = HTCLIENT;
      }
      return;
    }
    case WM_CANCELMODE:
      if (handle_ && GetCapture() == handle_) {
        TControl* cc = GetCaptureControl();
        if (cc && cc != this && cc->Parent() == this) cc->Perform(WM_CANCELMODE);
      }
      break;
    default:
      if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL &&
          Message.Msg != WM_MOUSEHWHEEL) {
        TWMMouse mouse(Message);
        if (IsControlMouseMsg(mouse)) {
          Message.Result = mouse.Result;
          if (Message.Result == 0 && handle_) DefWindowProcInternal(handle_, Message);
          return;
        }
      }
      break;
  }
  TControl::WndProc(Message);
  // A press on what stands for a docked control (a page's tab) drags that control away.
  if (Message.Msg == WM_LBUTTONDOWN && dock_site_ && !ComponentState().Contains(csDesigning)) {
    if (TControl* c = GetDockClientFromMousePos(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam))))
      StartDockDrag(c, false, -1);
  }
}

void TWinControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT: CallHandler<TWMPaint>(Message, this, &TWinControl::WMPaint); break;
    case WM_ERASEBKGND: CallHandler<TWMEraseBkgnd>(Message, this, &TWinControl::WMEraseBkgnd); break;
    case WM_NCPAINT: CallHandler<TWMNCPaint>(Message, this, &TWinControl::WMNCPaint); break;
    case WM_NCHITTEST: CallHandler<TWMNCHitTest>(Message, this, &TWinControl::WMNCHitTest); break;
    case WM_NCCALCSIZE: CallHandler<TWMNCCalcSize>(Message, this, &TWinControl::WMNCCalcSize); break;
    case WM_SIZE: CallHandler<TWMSize>(Message, this, &TWinControl::WMSize); break;
    case WM_MOVE: CallHandler<TWMMove>(Message, this, &TWinControl::WMMove); break;
    case WM_SETCURSOR: CallHandler<TWMSetCursor>(Message, this, &TWinControl::WMSetCursor); break;
    case WM_SETFOCUS: CallHandler<TWMSetFocus>(Message, this, &TWinControl::WMSetFocus); break;
    case WM_KILLFOCUS: CallHandler<TWMSetFocus>(Message, this, &TWinControl::WMKillFocus); break;
    case WM_KEYDOWN: CallHandler<TWMKey>(Message, this, &TWinControl::WMKeyDown); break;
    case WM_KEYUP: CallHandler<TWMKey>(Message, this, &TWinControl::WMKeyUp); break;
    case WM_CHAR: CallHandler<TWMKey>(Message, this, &TWinControl::WMChar); break;
    case WM_SYSKEYDOWN: CallHandler<TWMKey>(Message, this, &TWinControl::WMSysKeyDown); break;
    case WM_SYSKEYUP: CallHandler<TWMKey>(Message, this, &TWinControl::WMSysKeyUp); break;
    case WM_SYSCHAR: CallHandler<TWMKey>(Message, this, &TWinControl::WMSysChar); break;
    case WM_HSCROLL: CallHandler<TWMScroll>(Message, this, &TWinControl::WMHScroll); break;
    case WM_VSCROLL: CallHandler<TWMScroll>(Message, this, &TWinControl::WMVScroll); break;
    case WM_COMMAND: CallHandler<TWMCommand>(Message, this, &TWinControl::WMCommand); break;
    case WM_NOTIFY: CallHandler<TWMNotify>(Message, this, &TWinControl::WMNotify); break;
    case WM_WINDOWPOSCHANGING: CallHandler<TWMWindowPosMsg>(Message, this, &TWinControl::WMWindowPosChanging); break;
    case WM_TIMER: CallHandler<TWMTimer>(Message, this, &TWinControl::WMTimer); break;
    case WM_GETDLGCODE: CallHandler<TWMGetDlgCode>(Message, this, &TWinControl::WMGetDlgCode); break;
    case CM_ENTER: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMEnter); break;
    case CM_EXIT: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMExit); break;
    case CM_DIALOGKEY: CallHandler<TWMKey>(Message, this, &TWinControl::CMDialogKey); break;
    case CM_DIALOGCHAR: CallHandler<TWMKey>(Message, this, &TWinControl::CMDialogChar); break;
    case CM_CHILDKEY: CallHandler<TWMKey>(Message, this, &TWinControl::CMChildKey); break;
    case CM_WANTSPECIALKEY: CallHandler<TWMKey>(Message, this, &TWinControl::CMWantSpecialKey); break;
    case CM_FOCUSCHANGED: CallHandler<TCMFocusChanged>(Message, this, &TWinControl::CMFocusChanged); break;
    case CM_SHOWINGCHANGED: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMShowingChanged); break;
    case CM_CTL3DCHANGED: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMCtl3DChanged); break;
    case CM_PARENTCTL3DCHANGED: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMParentCtl3DChanged); break;
    case CM_TABSTOPCHANGED: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMTabStopChanged); break;
    case CM_SHOWHINTCHANGED: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMShowHintChanged); break;
    case CM_CONTROLCHANGE: CallHandler<TCMControlChange>(Message, this, &TWinControl::CMControlChange); break;
    case CM_INVALIDATE: CallHandler<TWMNoParams>(Message, this, &TWinControl::CMInvalidate); break;
    case CN_KEYDOWN: CallHandler<TWMKey>(Message, this, &TWinControl::CNKeyDown); break;
    case CN_KEYUP: CallHandler<TWMKey>(Message, this, &TWinControl::CNKeyUp); break;
    case CN_CHAR: CallHandler<TWMKey>(Message, this, &TWinControl::CNChar); break;
    case CN_SYSKEYDOWN: CallHandler<TWMKey>(Message, this, &TWinControl::CNSysKeyDown); break;
    case CN_SYSCHAR: CallHandler<TWMKey>(Message, this, &TWinControl::CNSysChar); break;
    case CM_DOCKCLIENT: CallHandler<TCMDockClient>(Message, this, &TWinControl::CMDockClient); break;
    case CM_UNDOCKCLIENT: CallHandler<TCMUnDockClient>(Message, this, &TWinControl::CMUnDockClient); break;
    case CM_DOCKNOTIFICATION: CallHandler<TCMDockNotification>(Message, this, &TWinControl::CMDockNotification); break;
    default: TControl::Dispatch(Message); break;
  }
}

void TWinControl::DefaultHandler(TMessage& Message) {
  if (handle_) {
    switch (Message.Msg) {
      case WM_GETTEXT: case WM_GETTEXTLENGTH: case WM_SETTEXT:
        TControl::DefaultHandler(Message);
        return;
      case CM_CHILDKEY:
        if (Parent()) Message.Result = Parent()->Perform(Message);
        return;
      default:
        break;
    }
    DefWindowProcInternal(handle_, Message);
    return;
  }
  TControl::DefaultHandler(Message);
}

// ---------------------------------------------------------------------------------------------
// Window messages

void TWinControl::WMPaint(TWMPaint& Message) { PaintHandler(Message); }

void TWinControl::WMEraseBkgnd(TWMEraseBkgnd& Message) {
  TRect r = ClientRect();
  FillRect(Message.DC, r, brush_->Handle());
  Message.Result = 1;
}

void TWinControl::WMNCPaint(TWMNCPaint& Message) {
  if (border_width_ > 0 && handle_) {
    // The border-width ring takes the control's colour.
    HDC dc = GetWindowDC(handle_);
    TWindowData* w = WindowData(handle_);
    if (dc && w) {
      TRect client = w->Client;
      ExcludeClipRect(dc, client.Left, client.Top, client.Right, client.Bottom);
      TRect ring = client;
      ring.Inflate(border_width_, border_width_);
      IntersectClipRect(dc, ring.Left, ring.Top, ring.Right, ring.Bottom);
      FillRect(dc, ring, brush_->Handle());
    }
    if (dc) ReleaseDC(handle_, dc);
  }
  Default(this, Message);
}

void TWinControl::WMNCHitTest(TWMNCHitTest& Message) { Default(this, Message); }

void TWinControl::WMNCCalcSize(TWMNCCalcSize& Message) {
  Default(this, Message);
  if (Message.CalcSize_Params && border_width_ > 0) {
    TRect& r = Message.CalcSize_Params->rgrc[0];
    r = TRect(r.Left + border_width_, r.Top + border_width_, std::max(r.Left + border_width_, r.Right - border_width_),
              std::max(r.Top + border_width_, r.Bottom - border_width_));
  }
}

void TWinControl::WMWindowPosChanging(TWMWindowPosMsg& Message) { Default(this, Message); }

void TWinControl::WMWindowPosChanged(TWMWindowPosMsg& Message) {
  if (!control_state_.Contains(csDestroyingHandle))
    if (TWindowData* w = WindowData(handle_)) TControl::UpdateBoundsRect(w->Rect);
  TControl::WMWindowPosChanged(Message);
}

void TWinControl::WMSize(TWMSize& Message) {
  if (TWindowData* w = WindowData(handle_)) TControl::UpdateBoundsRect(w->Rect);
  Default(this, Message);
  Realign();
  SizeChanged();
}

void TWinControl::WMMove(TWMMove& Message) {
  Default(this, Message);
  if (TWindowData* w = WindowData(handle_)) TControl::UpdateBoundsRect(w->Rect);
}

void TWinControl::WMSetCursor(TWMSetCursor& Message) {
  if (Message.CursorWnd == handle_ && Message.HitTest == HTCLIENT && Screen()) {
    TCursor cursor = Screen()->Cursor();
    if (cursor == crDefault) {
      TPoint p;
      GetCursorPos(&p);
      p = ScreenToClient(p);
      TControl* c = ControlAtPos(p, false);
      cursor = c ? c->Cursor() : Cursor();
      if (cursor == crDefault && c && c->Cursor() == crDefault) cursor = Cursor();
    }
    if (cursor != crDefault) {
      ::SetCursor(Screen()->Cursors(cursor));
      Message.Result = 1;
      return;
    }
  }
  Default(this, Message);
}

void TWinControl::WMSetFocus(TWMSetFocus& Message) { Default(this, Message); }
void TWinControl::WMKillFocus(TWMSetFocus& Message) { Default(this, Message); }

void TWinControl::WMHScroll(TWMScroll& Message) {
  // A scroll bar control's notification goes back to it.
  if (!Reflect(Message.ScrollBar, Message, CN_HSCROLL)) Default(this, Message);
}

void TWinControl::WMVScroll(TWMScroll& Message) {
  if (!Reflect(Message.ScrollBar, Message, CN_VSCROLL)) Default(this, Message);
}

void TWinControl::WMCommand(TWMCommand& Message) {
  if (!Reflect(Message.Ctl, Message, CN_COMMAND)) Default(this, Message);
}

void TWinControl::WMNotify(TWMNotify& Message) {
  if (!Message.NMHdr || !Reflect(Message.NMHdr->hwndFrom, Message, CN_NOTIFY)) Default(this, Message);
}

void TWinControl::WMTimer(TWMTimer& Message) { Default(this, Message); }
void TWinControl::WMGetDlgCode(TWMGetDlgCode& Message) { Default(this, Message); }

void TWinControl::WMContextMenu(TWMContextMenu& Message) {
  if (Message.Result != 0) return;
  // A windowless child under the point gets it first.
  TPoint pt(Message.XPos, Message.YPos);
  if (!(pt.X == -1 && pt.Y == -1)) {
    if (TControl* c = ControlAtPos(ScreenToClient(pt), false)) {
      TMessage m = Message.ToMessage();
      Message.Result = c->Perform(m);
      if (Message.Result) return;
    }
  }
  TControl::WMContextMenu(Message);
}

// ---------------------------------------------------------------------------------------------
// Keyboard

bool TWinControl::DoKeyDown(TWMKey& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyDown(Message)) return true;
  if (!control_style_.Contains(csNoStdEvents)) {
    uint16_t key = Message.CharCode;
    KeyDown(key, KeyDataToShiftState(Message.KeyData));
    Message.CharCode = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyUp(TWMKey& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyUp(Message)) return true;
  if (!control_style_.Contains(csNoStdEvents)) {
    uint16_t key = Message.CharCode;
    KeyUp(key, KeyDataToShiftState(Message.KeyData));
    Message.CharCode = key;
    if (key == 0) return true;
  }
  return false;
}

bool TWinControl::DoKeyPress(TWMKey& Message) {
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->KeyPreview() && form->DoKeyPress(Message)) return true;
  if (!control_style_.Contains(csNoStdEvents)) {
    char16_t ch = static_cast<char16_t>(Message.CharCode);
    KeyPress(ch);
    Message.CharCode = ch;
    if (ch == 0) return true;
  }
  return false;
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (on_key_down_) on_key_down_(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (on_key_up_) on_key_up_(this, Key, Shift);
}

void TWinControl::KeyPress(char16_t& Key) {
  if (on_key_press_) on_key_press_(this, Key);
}

void TWinControl::WMKeyDown(TWMKey& Message) {
  if (!DoKeyDown(Message)) Default(this, Message);
}

void TWinControl::WMKeyUp(TWMKey& Message) {
  if (!DoKeyUp(Message)) Default(this, Message);
}

void TWinControl::WMChar(TWMKey& Message) {
  if (!DoKeyPress(Message)) Default(this, Message);
}

void TWinControl::WMSysKeyDown(TWMKey& Message) {
  if (!DoKeyDown(Message)) Default(this, Message);
}

void TWinControl::WMSysKeyUp(TWMKey& Message) {
  if (!DoKeyUp(Message)) Default(this, Message);
}

void TWinControl::WMSysChar(TWMKey& Message) {
  if (!DoKeyPress(Message)) Default(this, Message);
}

namespace {
// The key is a shortcut of a pop-up menu of the control or its parents, or of the form's menu.
bool IsMenuKey(TWinControl* self, TWMKey& Message) {
  for (TControl* c = self; c; c = c->Parent()) {
    TPopupMenu* menu = c->PopupMenu();
    if (menu && MenuHooks().PopupIsShortCut && MenuHooks().PopupIsShortCut(menu, Message)) return true;
  }
  TCustomForm* form = GetParentForm(self);
  return form && form->IsShortCut(Message);
}
}  // namespace

void TWinControl::CNKeyDown(TWMKey& Message) {
  Message.Result = 1;
  if (IsMenuKey(this, Message)) return;
  if (Perform(CM_CHILDKEY, Message.CharCode, reinterpret_cast<LPARAM>(this)) != 0) return;
  int32_t mask = 0;
  switch (Message.CharCode) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_EXECUTE: case VK_ESCAPE: case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    default: break;
  }
  if (mask != 0 && Perform(CM_WANTSPECIALKEY, Message.CharCode, Message.KeyData) == 0 &&
      (Perform(WM_GETDLGCODE) & mask) == 0) {
    if (TCustomForm* form = GetParentForm(this);
        form && form->Perform(CM_DIALOGKEY, Message.CharCode, Message.KeyData) != 0)
      return;
  }
  Message.Result = 0;
}

void TWinControl::CNKeyUp(TWMKey& Message) {
  switch (Message.CharCode) {
    case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_RETURN: case VK_EXECUTE:
    case VK_ESCAPE: case VK_CANCEL:
      Message.Result = Perform(CM_WANTSPECIALKEY, Message.CharCode, Message.KeyData);
      break;
    default:
      break;
  }
}

void TWinControl::CNChar(TWMKey& Message) {
  Message.Result = 1;
  if ((Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) == 0) {
    if (TCustomForm* form = GetParentForm(this);
        form && form->Perform(CM_DIALOGCHAR, Message.CharCode, Message.KeyData) != 0)
      return;
  }
  Message.Result = 0;
}

void TWinControl::CNSysKeyDown(TWMKey& Message) {
  Message.Result = 1;
  if (IsMenuKey(this, Message)) return;
  if (Perform(CM_CHILDKEY, Message.CharCode, reinterpret_cast<LPARAM>(this)) != 0) return;
  if (TCustomForm* form = GetParentForm(this);
      form && form->Perform(CM_DIALOGKEY, Message.CharCode, Message.KeyData) != 0)
    return;
  Message.Result = 0;
}

void TWinControl::CNSysChar(TWMKey& Message) {
  Message.Result = 0;
  if (Message.CharCode != VK_SPACE) {
    if (TCustomForm* form = GetParentForm(this))
      Message.Result = form->Perform(CM_DIALOGCHAR, Message.CharCode, Message.KeyData);
  }
}

void TWinControl::CMDialogKey(TWMKey& Message) {
  TMessage m = Message.ToMessage();
  Broadcast(m);
  Message.Result = m.Result;
}

void TWinControl::CMDialogChar(TWMKey& Message) {
  TMessage m = Message.ToMessage();
  Broadcast(m);
  Message.Result = m.Result;
}

void TWinControl::CMChildKey(TWMKey& Message) {
  if (Parent()) Message.Result = Parent()->Perform(Message.ToMessage());
}

void TWinControl::CMWantSpecialKey(TWMKey& Message) { Message.Result = 0; }

void TWinControl::CMEnter(TWMNoParams&) { DoEnter(); }
void TWinControl::CMExit(TWMNoParams&) { DoExit(); }

void TWinControl::DoEnter() {
  if (on_enter_) on_enter_(this);
}

void TWinControl::DoExit() {
  if (on_exit_) on_exit_(this);
}

void TWinControl::CMFocusChanged(TCMFocusChanged& Message) {
  TMessage m = Message.ToMessage();
  Broadcast(m);
}

// ---------------------------------------------------------------------------------------------
// Appearance notifications

void TWinControl::CMEnabledChanged(TWMNoParams& Message) {
  if (!Enabled() && Parent()) {
    if (TCustomForm* form = GetParentForm(this)) form->DefocusControl(this, false);
  }
  if (handle_) EnableWindow(handle_, Enabled());
  TControl::CMEnabledChanged(Message);
}

void TWinControl::CMColorChanged(TWMNoParams& Message) {
  brush_->SetColor(Color());
  TControl::CMColorChanged(Message);
  NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::CMFontChanged(TWMNoParams& Message) {
  TControl::CMFontChanged(Message);
  NotifyControls(CM_PARENTFONTCHANGED);
}

void TWinControl::CMCtl3DChanged(TWMNoParams&) { NotifyControls(CM_PARENTCTL3DCHANGED); }

void TWinControl::CMParentCtl3DChanged(TWMNoParams&) {
  if (!parent_ctl3d_ || !Parent()) return;
  SetCtl3D(Parent()->Ctl3D());
  parent_ctl3d_ = true;
}

void TWinControl::CMTabStopChanged(TWMNoParams&) {}
void TWinControl::CMShowHintChanged(TWMNoParams&) { NotifyControls(CM_PARENTSHOWHINTCHANGED); }
void TWinControl::CMSysColorChange(TWMNoParams&) { NotifyControls(CM_SYSCOLORCHANGE); }
void TWinControl::CMControlChange(TCMControlChange&) {}

void TWinControl::ChangeScale(int32_t M, int32_t D) {
  if (M == D || D == 0) return;
  DisableAlign();
  for (int32_t i = 0; i < ControlCount(); ++i) Controls(i)->ChangeScale(M, D);
  TControl::ChangeScale(M, D);
  EnableAlign();
}

bool TWinControl::CanAutoSize(int32_t& NewWidth, int32_t& NewHeight) {
  // The size that holds the visible children (right and bottom extents).
  bool any = false;
  TRect extent;
  for (int32_t i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    TRect r = c->BoundsRect();
    extent = any ? TRect(std::min(extent.Left, r.Left), std::min(extent.Top, r.Top), std::max(extent.Right, r.Right),
                         std::max(extent.Bottom, r.Bottom))
                 : r;
    any = true;
  }
  if (!any) return false;
  TRect client = ClientRect();
  const int32_t ncw = width_ - client.Width(), nch = height_ - client.Height();
  if (Align() != alTop && Align() != alBottom) NewWidth = extent.Right + ncw;
  if (Align() != alLeft && Align() != alRight) NewHeight = extent.Bottom + nch;
  return true;
}
