// TCustomForm: a top-level window with focus management, dialog keys, modal showing and closing.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

namespace {

// Whether sending a focus message left the focus changes undisturbed.
int g_focus_count = 0;

bool SendFocusMessage(HWND wnd, UINT msg) {
  const int count = g_focus_count;
  SendMessage(wnd, msg, 0, 0);
  return g_focus_count == count;
}
}  // namespace

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  control_style_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  SetVisible(false);
  left_ = 0;
  top_ = 0;
  width_ = 320;
  height_ = 240;
  SetColor(clBtnFace);
  SetParentFont(false);
  icon_ = std::make_unique<TIcon>();
  icon_->SetOnChange(TNotifyEvent(this, &TCustomForm::IconChanged));
  canvas_ = std::make_unique<TControlCanvas>();
  canvas_->SetControl(this);
  if (Screen()) Screen()->AddForm(this);
}

TCustomForm::~TCustomForm() {
  // OnDestroy of a method of the derived form cannot run any more (that part is gone): Free and
  // the application's shutdown fire it while the form is whole.
  if (!destroy_fired_ && !on_destroy_.IsMethodOf(static_cast<const void*>(this))) BeforeDestruction();
  destroy_fired_ = true;
  Destroying();
  if (Screen()) Screen()->RemoveForm(this);
  if (TApplication* app = Application(); app && app->main_form_ == this) app->main_form_ = nullptr;
  canvas_->FreeHandle();
  DestroyComponents();
  if (HandleAllocated()) DestroyHandle();
  if (Screen()) Screen()->RemoveForm(this);
}

void TCustomForm::InitializeNewForm(TClass FormClass) {
  form_state_ += TFormStateItem::fsCreating;
  try {
    TClass ancestor = InheritsFrom(TForm::StaticClass()) ? TForm::StaticClass() : TCustomForm::StaticClass();
    (void)FormClass;
    LoadFormFromResource(this, ancestor);
  } catch (...) {
    form_state_ -= TFormStateItem::fsCreating;
    throw;
  }
  form_state_ -= TFormStateItem::fsCreating;
  try {
    DoCreate();
  } catch (...) {
    ReportCurrentException();
  }
}

void TCustomForm::BeforeDestruction() {
  if (destroy_fired_) return;
  destroy_fired_ = true;
  try {
    DoDestroy();
  } catch (...) {
    ReportCurrentException();
  }
}

void TCustomForm::Free() {
  BeforeDestruction();
  delete this;  // a component: its owner (if any) is told by ~TComponent
}

void TCustomForm::DoCreate() {
  if (on_create_) on_create_(this);
}

void TCustomForm::DoDestroy() {
  if (on_destroy_) on_destroy_(this);
}

void TCustomForm::DoClose(TCloseAction& Action) {
  if (on_close_) on_close_(this, Action);
}

void TCustomForm::DoShow() {
  if (on_show_) on_show_(this);
}

void TCustomForm::DoHide() {
  if (on_hide_) on_hide_(this);
}

void TCustomForm::Activate() {
  if (on_activate_) on_activate_(this);
}

void TCustomForm::Deactivate() {
  if (on_deactivate_) on_deactivate_(this);
}

void TCustomForm::Paint() {
  if (on_paint_) on_paint_(this);
}

void TCustomForm::PaintWindow(HDC DC) {
  CanvasScope scope(canvas_.get(), DC);
  Paint();
}

void TCustomForm::IconChanged(TObject*) {
  if (HandleAllocated()) SendMessage(Handle(), WM_SETICON, ICON_BIG, 0);
}

void TCustomForm::SetIcon(TIcon* Value) { icon_->Assign(Value); }

// ---------------------------------------------------------------------------------------------
// Styles and geometry

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  if (!Parent() && !ParentWindow()) {
    Params.WndParent = nullptr;
    Params.Style &= ~(WS_CHILD | WS_GROUP | WS_TABSTOP);
  }
  Params.WindowClass.style = CS_DBLCLKS;
  switch (border_style_) {
    case bsNone:
      if (!Parent() && !ParentWindow()) Params.Style |= WS_POPUP;
      break;
    case bsSingle:
    case bsToolWindow:
      Params.Style |= WS_CAPTION | WS_BORDER;
      break;
    case bsSizeable:
    case bsSizeToolWin:
      Params.Style |= WS_CAPTION | WS_THICKFRAME;
      break;
    case bsDialog:
      Params.Style |= WS_POPUP | WS_CAPTION;
      Params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (border_style_ == bsToolWindow || border_style_ == bsSizeToolWin) Params.ExStyle |= WS_EX_TOOLWINDOW;
  if (form_style_ == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
  if (border_style_ != bsNone && border_icons_.Contains(biSystemMenu)) {
    Params.Style |= WS_SYSMENU;
    if (border_style_ != bsDialog && border_style_ != bsToolWindow && border_style_ != bsSizeToolWin) {
      if (border_icons_.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
      if (border_icons_.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (window_state_ == wsMinimized) Params.Style |= WS_MINIMIZE;
  else if (window_state_ == wsMaximized) Params.Style |= WS_MAXIMIZE;
  if (Parent() && HostDockSite()) {
    // Docked: only the client area shows, inside the site.
    Params.Style &= ~(WS_CAPTION | WS_THICKFRAME | WS_BORDER | WS_DLGFRAME | WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX |
                      WS_MAXIMIZEBOX | WS_MINIMIZE | WS_MAXIMIZE);
    Params.ExStyle &= ~(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST);
  }
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  TWindowData* w = WindowData(Handle());
  if (!w) return;
  if (menu_bar_) {
    w->MenuHeight = menu_bar_->Height();
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  if (w->Native) {
    const TRect f = ::FrameInsets(w->Style, w->ExStyle, true);
    const int32_t ncw = f.Left + f.Right, nch = f.Top + f.Bottom;
    TSize mn(Constraints()->MinWidth() ? Constraints()->MinWidth() - ncw : 0,
             Constraints()->MinHeight() ? Constraints()->MinHeight() - nch : 0);
    TSize mx(Constraints()->MaxWidth() ? Constraints()->MaxWidth() - ncw : 0,
             Constraints()->MaxHeight() ? Constraints()->MaxHeight() - nch : 0);
    w->Native->SetMinMaxSize(mn, mx);
  }
}

TRect TCustomForm::FrameInsets() const {
  TCreateParams p;
  const_cast<TCustomForm*>(this)->CreateParamsNoHandle(p);
  return ::FrameInsets(p.Style, p.ExStyle, !(p.Style & WS_CHILD));
}

TRect TCustomForm::GetClientRect() {
  if (HandleAllocated()) return TWinControl::GetClientRect();
  TCreateParams p;
  CreateParamsNoHandle(p);
  const bool top = !(p.Style & WS_CHILD);
  TRect in = NonClientInsets(p.Style, p.ExStyle, top, top && menu_bar_ ? menu_bar_->Height() : 0, false, false);
  const int32_t b = BorderWidth();
  return {0, 0, std::max(0, width_ - in.Left - in.Right - 2 * b), std::max(0, height_ - in.Top - in.Bottom - 2 * b)};
}

TPoint TCustomForm::GetClientOrigin() {
  if (HandleAllocated() || Parent()) return TWinControl::GetClientOrigin();
  TCreateParams p;
  CreateParamsNoHandle(p);
  TRect in = NonClientInsets(p.Style, p.ExStyle, true, menu_bar_ ? menu_bar_->Height() : 0, false, false);
  return {left_ + in.Left + BorderWidth(), top_ + in.Top + BorderWidth()};
}

void TCustomForm::AdjustClientRect(TRect& Rect) { TWinControl::AdjustClientRect(Rect); }

void TCustomForm::AlignControls(TControl* AControl, TRect& Rect) {
  if (menu_bar_ && menu_bar_->Parent() == this) {
    // The menu bar lies above the client area, as wide as the form's client area.
    if (TWindowData* w = WindowData(HandleAllocated() ? Handle() : nullptr); w && w->MenuHeight != menu_bar_->Height()) {
      w->MenuHeight = menu_bar_->Height();
      SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
      Rect = GetClientRect();
    }
    menu_bar_->SetBounds(0, -menu_bar_->Height(), Rect.Width(), menu_bar_->Height());
  }
  TWinControl::AlignControls(AControl, Rect);
}

void TCustomForm::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomForm::SetClientWidth(int32_t Value) {
  if (ComponentState().Contains(csLoading)) loaded_client_width_ = Value;
  else TWinControl::SetClientWidth(Value);
}

void TCustomForm::SetClientHeight(int32_t Value) {
  if (ComponentState().Contains(csLoading)) loaded_client_height_ = Value;
  else TWinControl::SetClientHeight(Value);
}

bool TCustomForm::Showing() const { return TWinControl::Showing(); }

void TCustomForm::VisibleChanging() {}

void TCustomForm::ChangeScale(int32_t M, int32_t D) { TWinControl::ChangeScale(M, D); }

void TCustomForm::Loaded() {
  // The client size stored with the form, once the border style is known.
  const int32_t cw = loaded_client_width_, ch = loaded_client_height_;
  loaded_client_width_ = loaded_client_height_ = -1;
  TWinControl::Loaded();
  if (cw >= 0 || ch >= 0) {
    TRect c = ClientRect();
    SetClientSize(TPoint(cw >= 0 ? cw : c.Width(), ch >= 0 ? ch : c.Height()));
  }
  if (scaled_ && pixels_per_inch_ != Screen()->PixelsPerInch() && pixels_per_inch_ > 0) {
    ChangeScale(Screen()->PixelsPerInch(), pixels_per_inch_);
    pixels_per_inch_ = Screen()->PixelsPerInch();
  }
  if (TWinControl* c = active_control_) {
    active_control_ = nullptr;
    if (c->CanFocus()) SetActiveControl(c);
  }
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == menu_) {
    menu_ = nullptr;
    if (MenuHooks().FormMenuChanged && !ComponentState().Contains(csDestroying)) MenuHooks().FormMenuChanged(this);
  }
  if (AComponent == menu_bar_) SetMenuBar(nullptr);
  if (AComponent == active_control_) active_control_ = nullptr;
  if (AComponent == focused_control_) focused_control_ = nullptr;
  if (AComponent == last_focused_) last_focused_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Properties

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (border_style_ == Value) return;
  border_style_ = Value;
  RecreateWnd();
  if (!HandleAllocated()) Realign();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (border_icons_ == Value) return;
  border_icons_ = Value;
  RecreateWnd();
}

void TCustomForm::SetPosition(TPosition Value) { position_ = Value; }

void TCustomForm::SetWindowState(TWindowState Value) {
  if (window_state_ == Value) return;
  window_state_ = Value;
  if (HandleAllocated() && Showing()) {
    static const int32_t kShow[] = {SW_RESTORE, SW_MINIMIZE, SW_MAXIMIZE};
    ShowWindow(Handle(), kShow[static_cast<int>(Value)]);
  }
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (form_style_ == Value) return;
  form_style_ = Value;
  RecreateWnd();
}

void TCustomForm::SetScaled(bool Value) { scaled_ = Value; }

void TCustomForm::SetPixelsPerInch(int32_t Value) {
  if (Value > 0) pixels_per_inch_ = Value;
}

TMainMenu* TCustomForm::Menu() const {
  return menu_ && MenuHooks().AsMainMenu ? MenuHooks().AsMainMenu(menu_) : nullptr;
}

void TCustomForm::SetMenu(TMainMenu* Value) {
  SetMenuComponent(Value && MenuHooks().MainMenuComponent ? MenuHooks().MainMenuComponent(Value) : nullptr);
}

void TCustomForm::SetMenuComponent(TComponent* Value) {
  if (menu_ == Value) return;
  if (Value && !(MenuHooks().AsMainMenu && MenuHooks().AsMainMenu(Value))) throw EInvalidCast("Invalid class typecast");
  if (menu_) RemoveFreeNotification(menu_);
  menu_ = Value;
  if (menu_) FreeNotification(menu_);
  if (MenuHooks().FormMenuChanged && !ComponentState().Contains(csLoading)) MenuHooks().FormMenuChanged(this);
}

void TCustomForm::SetMenuBar(TWinControl* Value) {
  if (menu_bar_ == Value) return;
  if (menu_bar_) RemoveFreeNotification(menu_bar_);
  menu_bar_ = Value;
  if (menu_bar_) {
    FreeNotification(menu_bar_);
    if (menu_bar_->Parent() != this) menu_bar_->SetParent(this);
  }
  if (TWindowData* w = WindowData(HandleAllocated() ? Handle() : nullptr)) {
    w->MenuHeight = menu_bar_ ? menu_bar_->Height() : 0;
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  Realign();
}

bool TCustomForm::IsShortCut(TWMKey& Message) {
  return menu_ && MenuHooks().FormIsShortCut && MenuHooks().FormIsShortCut(this, Message);
}

// ---------------------------------------------------------------------------------------------
// Showing and closing

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::ApplyPosition() {
  if (position_applied_) return;
  position_applied_ = true;
  TScreen* screen = Screen();
  if (!screen) return;
  auto centerIn = [&](const TRect& r) {
    SetBounds(r.Left + (r.Width() - width_) / 2, r.Top + (r.Height() - height_) / 2, width_, height_);
  };
  switch (position_) {
    case poScreenCenter:
      centerIn(TRect(0, 0, screen->Width(), screen->Height()));
      break;
    case poDesktopCenter:
      centerIn(screen->DesktopRect());
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* other = nullptr;
      if (position_ == poOwnerFormCenter) other = dynamic_cast<TCustomForm*>(Owner());
      if (!other && Application()) other = Application()->MainForm();
      if (other && other != this && other->Visible()) centerIn(other->BoundsRect());
      else centerIn(TRect(0, 0, screen->Width(), screen->Height()));
      break;
    }
    default:
      break;
  }
}

void TCustomForm::CMShowingChanged(TWMNoParams&) {
  if (Showing()) {
    try {
      DoShow();
    } catch (...) {
      ReportCurrentException();
    }
    ApplyPosition();
    static const int32_t kShow[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_MAXIMIZE};
    ShowWindow(Handle(), kShow[static_cast<int>(window_state_)]);
  } else {
    try {
      DoHide();
    } catch (...) {
      ReportCurrentException();
    }
    if (HandleAllocated()) {
      const bool wasActive = GetActiveWindow() == Handle();
      ShowWindow(Handle(), SW_HIDE);
      // The main form (or another visible one) takes over.
      if (wasActive && Screen()) {
        for (int32_t i = 0; i < Screen()->FormCount(); ++i) {
          TCustomForm* f = Screen()->Forms(i);
          if (f != this && f->Showing() && f->HandleAllocated() && IsWindowEnabled(f->Handle())) {
            SetActiveWindow(f->Handle());
            break;
          }
        }
      }
    }
  }
}

bool TCustomForm::CloseQuery() {
  bool can = true;
  if (on_close_query_) on_close_query_(this, can);
  return can;
}

void TCustomForm::Close() {
  if (form_state_.Contains(TFormStateItem::fsModal)) {
    modal_result_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application() && Application()->MainForm() == this) {
    Application()->Terminate();
    Hide();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::Release() { PostMessage(Handle(), CM_RELEASE); }

void TCustomForm::CMRelease(TWMNoParams&) {
  if (Owner()) Free();
  else Hide();
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || form_state_.Contains(TFormStateItem::fsModal))
    throw EInvalidOperation("Cannot make a visible window modal");
  if (HWND cap = GetCapture()) SendMessage(cap, WM_CANCELMODE);
  ReleaseCapture();
  form_state_ += TFormStateItem::fsModal;
  HWND previous = GetActiveWindow();
  // The other windows wait.
  std::vector<HWND> disabled;
  for (HWND top : TopLevelWindows()) {
    if (HandleAllocated() && top == Handle()) continue;
    if (IsWindowVisible(top) && IsWindowEnabled(top)) {
      EnableWindow(top, FALSE);
      disabled.push_back(top);
    }
  }
  TApplication* app = Application();
  if (app) ++app->modal_level_;
  TModalResult result = mrNone;
  auto restore = [&] {
    for (HWND h : disabled) EnableWindow(h, TRUE);
    if (app) --app->modal_level_;
    form_state_ -= TFormStateItem::fsModal;
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
  };
  try {
    Show();
    SendMessage(Handle(), CM_ACTIVATE);
    modal_result_ = mrNone;
    while (true) {
      if (app) app->HandleMessage();
      else ProcessToolkitEvents(true);
      if (app && app->Terminated()) modal_result_ = mrCancel;
      if (modal_result_ != mrNone) {
        // Closing a modal form asks as closing any form does.
        TCloseAction action = caNone;
        try {
          if (CloseQuery()) {
            action = caHide;
            DoClose(action);
          }
        } catch (...) {
          action = caNone;
          ReportCurrentException();
        }
        if (action == caNone && !(app && app->Terminated())) modal_result_ = mrNone;
        if (modal_result_ != mrNone) break;
      }
    }
    result = modal_result_;
    if (HandleAllocated()) SendMessage(Handle(), CM_DEACTIVATE);
    Hide();
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

// ---------------------------------------------------------------------------------------------
// Focus

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (active_control_ == Control) return;
  if (Control && !(Control != this && GetParentForm(Control) == this &&
                   (ComponentState().Contains(csLoading) || Control->CanFocus())))
    throw EInvalidOperation("Cannot focus a disabled or invisible window");
  active_control_ = Control;
  if (!ComponentState().Contains(csLoading) && active_) {
    TWinControl* target = active_control_ ? active_control_ : this;
    ::SetFocus(target->Handle());
  }
}

void TCustomForm::FocusControl(TWinControl* Control) {
  const bool wasActive = active_;
  SetActiveControl(Control);
  if (!wasActive) SetFocus();
}

void TCustomForm::SetFocus() {
  if (active_) return;
  if (!Visible() || !Enabled()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  TWinControl* target = active_control_ ? active_control_ : this;
  ::SetFocus(target->Handle());
}

bool TCustomForm::CanFocus() { return TWinControl::CanFocus(); }

bool TCustomForm::SetFocusedControl(TWinControl* Control) {
  ++g_focus_count;
  if (ComponentState().Contains(csDestroying)) return false;
  if (Control != this) active_control_ = Control;
  else active_control_ = nullptr;
  if (TScreen* screen = Screen()) {
    screen->SetActiveControl(Control);
    screen->SetActiveForm(this);
  }
  if (Control->control_state_.Contains(csFocusing)) return false;
  Control->control_state_ += csFocusing;
  struct Unmark {
    TWinControl* c;
    ~Unmark() { c->control_state_ -= csFocusing; }
  } unmark{Control};
  TScreen* screen = Screen();
  if (screen && screen->focused_form_ != this) {
    if (TCustomForm* old = screen->focused_form_; old && old->HandleAllocated()) {
      HWND h = old->Handle();
      screen->focused_form_ = nullptr;
      if (!SendFocusMessage(h, CM_DEACTIVATE)) return false;
    }
    screen->focused_form_ = this;
    if (!SendFocusMessage(Handle(), CM_ACTIVATE)) return false;
  }
  if (!focused_control_) focused_control_ = this;
  if (focused_control_ != Control) {
    while (focused_control_ && !focused_control_->ContainsControl(Control)) {
      HWND h = focused_control_->HandleAllocated() ? focused_control_->Handle() : nullptr;
      focused_control_ = focused_control_->Parent();
      if (h && !SendFocusMessage(h, CM_EXIT)) return false;
    }
    while (focused_control_ != Control) {
      TWinControl* c = Control;
      while (c->Parent() != focused_control_) c = c->Parent();
      focused_control_ = c;
      if (!SendFocusMessage(c->Handle(), CM_ENTER)) return false;
    }
    Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(Control));
  }
  return true;
}

void TCustomForm::DefocusControl(TWinControl* Control, bool Removing) {
  if (Removing && focused_control_ && Control->ContainsControl(focused_control_)) focused_control_ = Control->Parent();
  if (active_control_ && Control->ContainsControl(active_control_)) {
    active_control_ = nullptr;
    if (active_ && !ComponentState().Contains(csDestroying) && HandleAllocated() && Control != this) {
      HWND f = GetFocus();
      if (f && (f == Control->handle_ || (Control->handle_ && IsChild(Control->handle_, f)))) ::SetFocus(Handle());
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Messages

void TCustomForm::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CLOSE: CallHandler<TWMNoParams>(Message, this, &TCustomForm::WMClose); break;
    case WM_ACTIVATE: CallHandler<TWMActivate>(Message, this, &TCustomForm::WMActivate); break;
    case WM_SYSCOMMAND: CallHandler<TWMSysCommand>(Message, this, &TCustomForm::WMSysCommand); break;
    case WM_GETMINMAXINFO: CallHandler<TWMGetMinMaxInfo>(Message, this, &TCustomForm::WMGetMinMaxInfo); break;
    case CM_ACTIVATE: CallHandler<TWMNoParams>(Message, this, &TCustomForm::CMActivate); break;
    case CM_DEACTIVATE: CallHandler<TWMNoParams>(Message, this, &TCustomForm::CMDeactivate); break;
    case CM_RELEASE: CallHandler<TWMNoParams>(Message, this, &TCustomForm::CMRelease); break;
    default: TWinControl::Dispatch(Message); break;
  }
}

void TCustomForm::WMClose(TWMNoParams&) { Close(); }

void TCustomForm::WMActivate(TWMActivate& Message) {
  active_ = Message.Active != WA_INACTIVE;
  if (active_) {
    if (!active_control_) active_control_ = FindNextControl(nullptr, true, true, false);
    TWinControl* target = active_control_ ? active_control_ : this;
    if (target->CanFocus() || target == this) ::SetFocus(target->Handle());
  }
}

void TCustomForm::WMSysCommand(TWMSysCommand& Message) {
  TMessage m = Message.ToMessage();
  if ((Message.CmdType & 0xFFF0) == SC_KEYMENU && MenuHooks().FormMenuKey && MenuHooks().FormMenuKey(this, m)) return;
  TWinControl::DefaultHandler(m);
  Message.Result = m.Result;
}

void TCustomForm::WMGetMinMaxInfo(TWMGetMinMaxInfo& Message) {
  TMessage m = Message.ToMessage();
  TWinControl::DefaultHandler(m);
  if (!Message.MinMaxInfo) return;
  if (Constraints()->MinWidth() > 0) Message.MinMaxInfo->ptMinTrackSize.X = Constraints()->MinWidth();
  if (Constraints()->MinHeight() > 0) Message.MinMaxInfo->ptMinTrackSize.Y = Constraints()->MinHeight();
  if (Constraints()->MaxWidth() > 0) Message.MinMaxInfo->ptMaxTrackSize.X = Constraints()->MaxWidth();
  if (Constraints()->MaxHeight() > 0) Message.MinMaxInfo->ptMaxTrackSize.Y = Constraints()->MaxHeight();
}

void TCustomForm::WMSize(TWMSize& Message) {
  TWinControl::WMSize(Message);
  if (Message.SizeType == SIZE_MINIMIZED) window_state_ = wsMinimized;
  else if (Message.SizeType == SIZE_MAXIMIZED) window_state_ = wsMaximized;
  else if (Message.SizeType == SIZE_RESTORED) window_state_ = wsNormal;
}

void TCustomForm::CMActivate(TWMNoParams&) { Activate(); }
void TCustomForm::CMDeactivate(TWMNoParams&) { Deactivate(); }

void TCustomForm::CMDialogKey(TWMKey& Message) {
  if (GetKeyState(VK_MENU) >= 0) {
    switch (Message.CharCode) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) >= 0) {
          SelectNext(active_control_, GetKeyState(VK_SHIFT) >= 0, true);
          Message.Result = 1;
          return;
        }
        break;
      case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        if (active_control_ && active_control_->Parent()) {
          active_control_->Parent()->SelectNext(active_control_,
                                                Message.CharCode == VK_RIGHT || Message.CharCode == VK_DOWN, false);
          Message.Result = 1;
        }
        return;
      default:
        break;
    }
  }
  TWinControl::CMDialogKey(Message);
}

void TCustomForm::CMDialogChar(TWMKey& Message) { TWinControl::CMDialogChar(Message); }

bool TCustomForm::PreviewKey(TWMKey& Message) { return key_preview_ && DoKeyDown(Message); }

// ---------------------------------------------------------------------------------------------
// Helpers

TCustomForm* GetParentForm(TControl* Control) {
  if (!Control) return nullptr;
  while (Control->Parent()) Control = Control->Parent();
  return dynamic_cast<TCustomForm*>(Control);
}

TCustomForm* ValidParentForm(TControl* Control) {
  TCustomForm* f = GetParentForm(Control);
  if (!f) throw EInvalidOperation(Format("Control '%s' has no parent window", Control ? Control->Name().c_str() : ""));
  return f;
}
