// TControl: bounds and constraints, parent, appearance, the message entry and the mouse.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  CheckUIThread();
  window_proc_ = [this](TMessage& m) { WndProc(m); };
  font_ = std::make_unique<TFont>();
  font_->SetOnChange(TNotifyEvent(this, &TControl::FontChangedHandler));
  constraints_ = std::make_unique<TSizeConstraints>(this);
  constraints_->SetOnChange(TNotifyEvent(this, &TControl::ConstraintsChanged));
}

TControl::~TControl() {
  ForgetControl(this);
  if (TApplication* app = Application(); app && app->hint_control_ == this) app->hint_control_ = nullptr;
  if (parent_) parent_->RemoveControl(this);
}

// ---------------------------------------------------------------------------------------------
// Messages

void TControl::SetWindowProc(std::function<void(TMessage&)> Value) {
  window_proc_ = Value ? std::move(Value) : [this](TMessage& m) { WndProc(m); };
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  return Perform(m);
}

LRESULT TControl::Perform(TMessage& Message) {
  std::function<void(TMessage&)> proc = window_proc_;
  proc(Message);
  return Message.Result;
}

void TControl::WndProc(TMessage& Message) {
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MOUSELAST && Message.Msg != WM_MOUSEWHEEL &&
      Message.Msg != WM_MOUSEHWHEEL) {
    if (!control_style_.Contains(csDoubleClicks)) {
      switch (Message.Msg) {
        case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK:
          Message.Msg -= WM_LBUTTONDBLCLK - WM_LBUTTONDOWN;
          break;
        default:
          break;
      }
    }
    if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) && drag_mode_ == dmAutomatic &&
        !ComponentState().Contains(csDesigning)) {
      // The press starts a drag and goes no further.
      BeginAutoDrag();
      return;
    }
    if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) control_state_ += csLButtonDown;
    else if (Message.Msg == WM_LBUTTONUP) control_state_ -= csLButtonDown;
  }
  Dispatch(Message);
}

void TControl::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN: CallHandler<TWMMouse>(Message, this, &TControl::WMLButtonDown); break;
    case WM_LBUTTONUP: CallHandler<TWMMouse>(Message, this, &TControl::WMLButtonUp); break;
    case WM_LBUTTONDBLCLK: CallHandler<TWMMouse>(Message, this, &TControl::WMLButtonDblClk); break;
    case WM_RBUTTONDOWN: CallHandler<TWMMouse>(Message, this, &TControl::WMRButtonDown); break;
    case WM_RBUTTONUP: CallHandler<TWMMouse>(Message, this, &TControl::WMRButtonUp); break;
    case WM_RBUTTONDBLCLK: CallHandler<TWMMouse>(Message, this, &TControl::WMRButtonDblClk); break;
    case WM_MBUTTONDOWN: CallHandler<TWMMouse>(Message, this, &TControl::WMMButtonDown); break;
    case WM_MBUTTONUP: CallHandler<TWMMouse>(Message, this, &TControl::WMMButtonUp); break;
    case WM_MBUTTONDBLCLK: CallHandler<TWMMouse>(Message, this, &TControl::WMMButtonDblClk); break;
    case WM_MOUSEMOVE: CallHandler<TWMMouse>(Message, this, &TControl::WMMouseMove); break;
    case WM_MOUSEWHEEL: CallHandler<TWMMouseWheel>(Message, this, &TControl::WMMouseWheel); break;
    case WM_CANCELMODE: CallHandler<TWMNoParams>(Message, this, &TControl::WMCancelMode); break;
    case WM_WINDOWPOSCHANGED: CallHandler<TWMWindowPosMsg>(Message, this, &TControl::WMWindowPosChanged); break;
    case WM_CONTEXTMENU: CallHandler<TWMContextMenu>(Message, this, &TControl::WMContextMenu); break;
    case CM_VISIBLECHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMVisibleChanged); break;
    case CM_ENABLEDCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMEnabledChanged); break;
    case CM_FONTCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMFontChanged); break;
    case CM_COLORCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMColorChanged); break;
    case CM_PARENTFONTCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMParentFontChanged); break;
    case CM_PARENTCOLORCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMParentColorChanged); break;
    case CM_PARENTSHOWHINTCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMParentShowHintChanged); break;
    case CM_HITTEST: CallHandler<TCMHitTest>(Message, this, &TControl::CMHitTest); break;
    case CM_MOUSEENTER: CallHandler<TCMMouseEnterLeave>(Message, this, &TControl::CMMouseEnter); break;
    case CM_MOUSELEAVE: CallHandler<TCMMouseEnterLeave>(Message, this, &TControl::CMMouseLeave); break;
    case CM_DESIGNHITTEST: CallHandler<TWMMouse>(Message, this, &TControl::CMDesignHitTest); break;
    case CM_HINTSHOW: CallHandler<TCMHintShow>(Message, this, &TControl::CMHintShow); break;
    case CM_TEXTCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMTextChanged); break;
    case CM_MOUSEWHEEL: CallHandler<TCMMouseWheel>(Message, this, &TControl::CMMouseWheel); break;
    case CM_SYSCOLORCHANGE: CallHandler<TWMNoParams>(Message, this, &TControl::CMSysColorChange); break;
    case CM_CURSORCHANGED: CallHandler<TWMNoParams>(Message, this, &TControl::CMCursorChanged); break;
    case CM_DRAG: CallHandler<TCMDrag>(Message, this, &TControl::CMDrag); break;
    case CM_ACTIONEXECUTE: CMActionExecute(Message); break;
    case CM_ACTIONUPDATE: CMActionUpdate(Message); break;
    default: DefaultHandler(Message); break;
  }
}

void TControl::DefaultHandler(TMessage& Message) {
  switch (Message.Msg) {
    case WM_GETTEXT: {
      auto* buf = reinterpret_cast<char*>(Message.LParam);
      const size_t cap = Message.WParam;
      if (!buf || cap == 0) break;
      const std::string t = GetText();
      const size_t n = std::min(cap - 1, t.size());
      std::copy_n(t.data(), n, buf);
      buf[n] = '\0';
      Message.Result = static_cast<LRESULT>(n);
      break;
    }
    case WM_GETTEXTLENGTH:
      Message.Result = static_cast<LRESULT>(GetText().size());
      break;
    case WM_SETTEXT:
      SetText(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "");
      Message.Result = 1;
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------------------------
// Geometry

void TControl::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (!CheckNewSize(AWidth, AHeight)) return;
  if (ALeft == left_ && ATop == top_ && AWidth == width_ && AHeight == height_) return;
  InvalidateControl(Visible(), false);
  left_ = ALeft;
  top_ = ATop;
  width_ = AWidth;
  height_ = AHeight;
  UpdateAnchorRules();
  Invalidate();
  Perform(WM_WINDOWPOSCHANGED, 0, 0);
  RequestAlign();
  if (!ComponentState().Contains(csLoading)) Resize();
}

void TControl::UpdateBoundsRect(const TRect& R) {
  left_ = R.Left;
  top_ = R.Top;
  width_ = R.Width();
  height_ = R.Height();
}

void TControl::SetClientWidth(int32_t Value) { SetClientSize(TPoint(Value, ClientHeight())); }
void TControl::SetClientHeight(int32_t Value) { SetClientSize(TPoint(ClientWidth(), Value)); }

void TControl::SetClientSize(TPoint Value) {
  TRect client = ClientRect();
  SetBounds(left_, top_, width_ - client.Width() + Value.X, height_ - client.Height() + Value.Y);
}

TRect TControl::GetClientRect() { return {0, 0, width_, height_}; }

TPoint TControl::GetClientOrigin() {
  if (!parent_) throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
  TPoint p = parent_->ClientOrigin();
  return {p.X + left_, p.Y + top_};
}

TPoint TControl::ClientToScreen(TPoint Point) {
  TPoint o = ClientOrigin();
  return {Point.X + o.X, Point.Y + o.Y};
}

TPoint TControl::ScreenToClient(TPoint Point) {
  TPoint o = ClientOrigin();
  return {Point.X - o.X, Point.Y - o.Y};
}

TPoint TControl::ClientToParent(TPoint Point, TWinControl* AParent) {
  if (!AParent) AParent = parent_;
  if (!AParent) throw EInvalidOperation(Format("Control '%s' has no parent window", Name().c_str()));
  TPoint r = Point;
  TControl* c = this;
  while (c && c != AParent) {
    r.X += c->left_;
    r.Y += c->top_;
    c = c->parent_;
  }
  if (c != AParent) throw EInvalidOperation("Control is not a child of the given parent");
  return r;
}

TPoint TControl::ParentToClient(TPoint Point, TWinControl* AParent) {
  TPoint zero = ClientToParent(TPoint(), AParent);
  return {Point.X - zero.X, Point.Y - zero.Y};
}

bool TControl::CanResize(int32_t& NewWidth, int32_t& NewHeight) {
  bool resize = true;
  if (on_can_resize_) on_can_resize_(this, NewWidth, NewHeight, resize);
  return resize;
}

bool TControl::CanAutoSize(int32_t&, int32_t&) { return true; }

void TControl::ConstrainedResize(int32_t& MinWidth, int32_t& MinHeight, int32_t& MaxWidth, int32_t& MaxHeight) {
  if (on_constrained_resize_) on_constrained_resize_(this, MinWidth, MinHeight, MaxWidth, MaxHeight);
}

void TControl::DoConstrainedResize(int32_t& NewWidth, int32_t& NewHeight) {
  int32_t minW = constraints_->MinWidth(), minH = constraints_->MinHeight();
  int32_t maxW = constraints_->MaxWidth(), maxH = constraints_->MaxHeight();
  ConstrainedResize(minW, minH, maxW, maxH);
  if (maxW > 0 && NewWidth > maxW) NewWidth = maxW;
  else if (minW > 0 && NewWidth < minW) NewWidth = minW;
  if (maxH > 0 && NewHeight > maxH) NewHeight = maxH;
  else if (minH > 0 && NewHeight < minH) NewHeight = minH;
}

bool TControl::CheckNewSize(int32_t& NewWidth, int32_t& NewHeight) {
  int32_t w = NewWidth, h = NewHeight;
  if (!CanResize(w, h)) return false;
  int32_t w2 = w, h2 = h;
  bool ok = true;
  if (auto_size_ && align_ != alClient) {
    int32_t aw = w2, ah = h2;
    ok = CanAutoSize(aw, ah);
    if (align_ == alNone || align_ == alLeft || align_ == alRight) w2 = aw;
    if (align_ == alNone || align_ == alTop || align_ == alBottom) h2 = ah;
    ok = ok || CanResize(w2, h2);
  }
  if (!ok) return false;
  DoConstrainedResize(w2, h2);
  NewWidth = std::max(w2, 0);
  NewHeight = std::max(h2, 0);
  return true;
}

void TControl::AdjustSize() {
  if (ComponentState().Contains(csLoading)) return;
  // Through SetBounds: CheckNewSize asks CanAutoSize for the size.
  const int32_t w = width_, h = height_;
  int32_t nw = w, nh = h;
  if (!CheckNewSize(nw, nh) || (nw == w && nh == h)) return;
  SetBounds(left_, top_, nw, nh);
}

void TControl::SetAutoSize(bool Value) {
  if (auto_size_ == Value) return;
  auto_size_ = Value;
  if (Value) AdjustSize();
}

void TControl::ConstraintsChanged(TObject*) {
  if (ComponentState().Contains(csLoading)) return;
  int32_t w = width_, h = height_;
  DoConstrainedResize(w, h);
  if (w != width_ || h != height_) SetBounds(left_, top_, w, h);
}

void TControl::RequestAlign() {
  if (parent_) parent_->AlignControl(this);
}

void TControl::SetAlign(TAlign Value) {
  if (align_ == Value) return;
  const TAlign old = align_;
  align_ = Value;
  // Aligned sides are anchored (the class library keeps both in step).
  switch (Value) {
    case alTop: anchors_ = {akLeft, akTop, akRight}; break;
    case alBottom: anchors_ = {akLeft, akRight, akBottom}; break;
    case alLeft: anchors_ = {akLeft, akTop, akBottom}; break;
    case alRight: anchors_ = {akRight, akTop, akBottom}; break;
    case alClient: anchors_ = {akLeft, akTop, akRight, akBottom}; break;
    default:
      if (old != alNone && old != alCustom) anchors_ = {akLeft, akTop};
      break;
  }
  UpdateAnchorRules();
  if (!ComponentState().Contains(csLoading) && Value != alNone && old != alNone && old != alCustom &&
      ((old == alTop || old == alBottom) != (Value == alTop || Value == alBottom)) && Value != alClient &&
      Value != alCustom) {
    // Turning between a horizontal and a vertical alignment swaps the extent, as the class
    // library does.
    SetBounds(left_, top_, height_, width_);
  }
  RequestAlign();
}

void TControl::SetAnchors(TAnchors Value) {
  if (anchors_ == Value) return;
  anchors_ = Value;
  if (!ComponentState().Contains(csLoading)) UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (ComponentState().Contains(csLoading)) return;
  if (anchors_ == TAnchors{akLeft, akTop}) {
    original_parent_size_ = TPoint();
    return;
  }
  if (anchors_.Contains(akRight)) anchor_rules_.X = anchors_.Contains(akLeft) ? width_ : left_;
  else anchor_rules_.X = left_ + width_ / 2;
  if (anchors_.Contains(akBottom)) anchor_rules_.Y = anchors_.Contains(akTop) ? height_ : top_;
  else anchor_rules_.Y = top_ + height_ / 2;
  if (parent_) original_parent_size_ = parent_->ClientRect().BottomRight();
}

void TControl::SizeChanged() {
  if (!ComponentState().Contains(csLoading)) Resize();
}

void TControl::Resize() {
  if (on_resize_) on_resize_(this);
}

void TControl::ChangeScale(int32_t M, int32_t D) {
  if (M == D || D == 0) return;
  auto scale = [&](int32_t v) { return static_cast<int32_t>(static_cast<int64_t>(v) * M / D); };
  SetBounds(scale(left_), scale(top_), scale(left_ + width_) - scale(left_), scale(top_ + height_) - scale(top_));
  if (!parent_font_) font_->SetSize(scale(font_->Size()));
}

// ---------------------------------------------------------------------------------------------
// Parent

void TControl::SetParent(TWinControl* AParent) {
  if (parent_ == AParent) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (AParent) {
    AParent->InsertControl(this);
    UpdateAnchorRules();
  }
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* p = dynamic_cast<TWinControl*>(Value)) SetParent(p);
}

// ---------------------------------------------------------------------------------------------
// Appearance

void TControl::SetVisible(bool Value) {
  if (visible_ == Value) return;
  VisibleChanging();
  visible_ = Value;
  Perform(CM_VISIBLECHANGED, Value ? 1 : 0);
  RequestAlign();
}

void TControl::Show() { SetVisible(true); }

void TControl::Hide() { SetVisible(false); }

void TControl::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::SetColor(TColor Value) {
  if (color_ == Value) return;
  color_ = Value;
  parent_color_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetParentColor(bool Value) { SetParentFlag(parent_color_, Value, CM_PARENTCOLORCHANGED); }

void TControl::SetFont(TFont* Value) { font_->Assign(Value); }

void TControl::FontChanged(TObject*) {
  parent_font_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetParentFont(bool Value) { SetParentFlag(parent_font_, Value, CM_PARENTFONTCHANGED); }

void TControl::SetParentFlag(bool& Flag, bool Value, UINT Msg) {
  if (Flag == Value) return;
  Flag = Value;
  if (parent_ && !ComponentState().Contains(csReading)) Perform(Msg);
}

void TControl::SetOwnFlag(bool& Flag, bool& ParentFlag, bool Value, UINT Msg) {
  if (Flag == Value && !ParentFlag) return;
  Flag = Value;
  ParentFlag = false;
  Perform(Msg);
}

void TControl::SetText(const std::string& Value) {
  if (text_ == Value) return;
  text_ = Value;
  Perform(CM_TEXTCHANGED);
}

void TControl::SetShowHint(bool Value) { SetOwnFlag(show_hint_, parent_show_hint_, Value, CM_SHOWHINTCHANGED); }

void TControl::SetParentShowHint(bool Value) { SetParentFlag(parent_show_hint_, Value, CM_PARENTSHOWHINTCHANGED); }

void TControl::SetCursor(TCursor Value) {
  if (cursor_ == Value) return;
  cursor_ = Value;
  Perform(CM_CURSORCHANGED);
}

TPopupMenu* TControl::PopupMenu() const {
  return popup_menu_ && MenuHooks().AsPopupMenu ? MenuHooks().AsPopupMenu(popup_menu_) : nullptr;
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  TComponent* c = Value && MenuHooks().PopupMenuComponent ? MenuHooks().PopupMenuComponent(Value) : nullptr;
  SetPopupMenuComponent(c);
}

void TControl::SetPopupMenuComponent(TComponent* Value) {
  if (popup_menu_ == Value) return;
  if (Value && !(MenuHooks().AsPopupMenu && MenuHooks().AsPopupMenu(Value))) throw EInvalidCast("Invalid class typecast");
  // The menu is a component: forget it when it goes.
  if (popup_menu_) RemoveFreeNotification(popup_menu_);
  popup_menu_ = Value;
  if (popup_menu_) FreeNotification(popup_menu_);
}

bool TControl::Showing() const {
  return visible_ && parent_ && parent_->Showing();
}

bool TControl::MouseCapture() const { return GetCaptureControl() == this; }

void TControl::SetMouseCapture(bool Value) {
  if (MouseCapture() == Value) return;
  if (Value) SetCaptureControl(this);
  else SetCaptureControl(nullptr);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_) {
    if (parent_color_) Perform(CM_PARENTCOLORCHANGED);
    if (parent_font_) Perform(CM_PARENTFONTCHANGED);
    if (parent_show_hint_) Perform(CM_PARENTSHOWHINTCHANGED);
  }
  UpdateAnchorRules();
  if (auto_size_) AdjustSize();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popup_menu_) popup_menu_ = nullptr;
  // A freed action has detached its links already.
  if (Operation == opRemove && action_link_ && (AComponent == action_link_->Action() || !action_link_->Action()))
    SetAction(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TControl::InvalidateControl(bool IsVisible, bool IsOpaque) {
  if (!IsVisible || !parent_ || !parent_->HandleAllocated()) return;
  TRect r = BoundsRect();
  InvalidateRect(parent_->Handle(), &r, !(IsOpaque || parent_->ControlStyle().Contains(csOpaque)));
}

void TControl::Invalidate() { InvalidateControl(Visible(), control_style_.Contains(csOpaque)); }

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  if (!Visible() || !parent_ || !parent_->HandleAllocated()) return;
  if (control_style_.Contains(csOpaque)) {
    HWND wnd = parent_->Handle();
    HDC dc = GetDC(wnd);
    IntersectClipRect(dc, left_, top_, left_ + width_, top_ + height_);
    parent_->PaintControls(dc, this);
    ReleaseDC(wnd, dc);
  } else {
    Invalidate();
    Update();
  }
}

void TControl::SetZOrder(bool TopMost) {
  if (!parent_) return;
  SetZOrderPosition(TopMost ? parent_->ControlCount() : 0);
}

void TControl::SetZOrderPosition(int32_t Position) {
  if (!parent_) return;
  auto& list = parent_->controls_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  const int32_t count = static_cast<int32_t>(list.size());
  Position = std::clamp(Position, 0, count - 1);
  const int32_t current = static_cast<int32_t>(it - list.begin());
  if (Position == current) return;
  list.erase(it);
  list.insert(list.begin() + Position, this);
  Invalidate();
  RequestAlign();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TControl::SendCancelMode(TControl* Sender) {
  if (TCustomForm* form = GetParentForm(this)) {
    if (form->HandleAllocated() && !form->ComponentState().Contains(csDestroying))
      form->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(Sender));
  }
}

void TControl::DoMouseDown(TWMMouse& Message, TMouseButton Button, TShiftState Shift) {
  if (control_style_.Contains(csNoStdEvents)) return;
  MouseDown(Button, KeysToShiftState(Message.Keys) + Shift, Message.XPos, Message.YPos);
}

void TControl::DoMouseUp(TWMMouse& Message, TMouseButton Button) {
  if (control_style_.Contains(csNoStdEvents)) return;
  MouseUp(Button, KeysToShiftState(Message.Keys), Message.XPos, Message.YPos);
}

void TControl::DblClick() {
  if (on_dbl_click_) on_dbl_click_(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (on_mouse_down_) on_mouse_down_(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (on_mouse_move_) on_mouse_move_(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (on_mouse_up_) on_mouse_up_(this, Button, Shift, X, Y);
}

bool TControl::DoMouseWheel(TShiftState Shift, int32_t WheelDelta, TPoint MousePos) {
  bool handled = false;
  if (on_mouse_wheel_) on_mouse_wheel_(this, Shift, WheelDelta, MousePos, handled);
  if (!handled) {
    if (WheelDelta < 0) handled = DoMouseWheelDown(Shift, MousePos);
    else if (WheelDelta > 0) handled = DoMouseWheelUp(Shift, MousePos);
  }
  return handled;
}

bool TControl::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (on_mouse_wheel_down_) on_mouse_wheel_down_(this, Shift, MousePos, handled);
  return handled;
}

bool TControl::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (on_mouse_wheel_up_) on_mouse_wheel_up_(this, Shift, MousePos, handled);
  return handled;
}

void TControl::DoContextPopup(TPoint MousePos, bool& Handled) {
  if (on_context_popup_) on_context_popup_(this, MousePos, Handled);
}

void TControl::WMLButtonDown(TWMMouse& Message) {
  SendCancelMode(this);
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  if (control_style_.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (control_style_.Contains(csClickEvents)) control_state_ += csClicked;
  DoMouseDown(Message, mbLeft, {});
}

void TControl::WMLButtonDblClk(TWMMouse& Message) {
  SendCancelMode(this);
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  if (control_style_.Contains(csCaptureMouse)) SetMouseCapture(true);
  if (control_style_.Contains(csClickEvents)) DblClick();
  DoMouseDown(Message, mbLeft, {ssDouble});
}

void TControl::WMLButtonUp(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  if (control_style_.Contains(csCaptureMouse)) SetMouseCapture(false);
  if (control_state_.Contains(csClicked)) {
    control_state_ -= csClicked;
    if (ClientRect().Contains(TPoint(Message.XPos, Message.YPos))) Click();
  }
  DoMouseUp(Message, mbLeft);
}

void TControl::WMRButtonDown(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  DoMouseDown(Message, mbRight, {});
}

void TControl::WMRButtonUp(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  Message.Result = m.Result;
  DoMouseUp(Message, mbRight);
}

void TControl::WMRButtonDblClk(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  DoMouseDown(Message, mbRight, {ssDouble});
}

void TControl::WMMButtonDown(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  DoMouseDown(Message, mbMiddle, {});
}

void TControl::WMMButtonUp(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  DoMouseUp(Message, mbMiddle);
}

void TControl::WMMButtonDblClk(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  DoMouseDown(Message, mbMiddle, {ssDouble});
}

void TControl::WMMouseMove(TWMMouse& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  if (!control_style_.Contains(csNoStdEvents)) MouseMove(KeysToShiftState(Message.Keys), Message.XPos, Message.YPos);
}

void TControl::WMMouseWheel(TWMMouseWheel& Message) {
  // The form's focused control gets it first (CM_MOUSEWHEEL), then its parents.
  TMessage m{CM_MOUSEWHEEL,
             MAKEWPARAM(static_cast<uint16_t>(KeysToShiftState(Message.Keys).Bits()), static_cast<uint16_t>(Message.WheelDelta)),
             PointToLParam(Message.XPos, Message.YPos), 0};
  TCustomForm* form = GetParentForm(this);
  if (form && form != this && form->FocusedControlOfForm()) Message.Result = form->FocusedControlOfForm()->Perform(m);
  else Message.Result = Perform(m);
}

void TControl::CMMouseWheel(TCMMouseWheel& Message) {
  Message.Result = 0;
  if (DoMouseWheel(Message.ShiftState, Message.WheelDelta, TPoint(Message.XPos, Message.YPos))) Message.Result = 1;
  else if (parent_) Message.Result = parent_->Perform(Message.ToMessage());
}

void TControl::WMCancelMode(TWMNoParams&) {
  if (MouseCapture()) {
    SetMouseCapture(false);
    if (control_state_.Contains(csLButtonDown)) Perform(WM_LBUTTONUP, 0, PointToLParam(-1, -1));
  }
}

void TControl::WMWindowPosChanged(TWMWindowPosMsg& Message) {
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  Message.Result = m.Result;
}

void TControl::WMContextMenu(TWMContextMenu& Message) {
  if (Message.Result != 0) return;
  TPoint pt(Message.XPos, Message.YPos);
  TPoint client = pt.X == -1 && pt.Y == -1 ? TPoint(-1, -1) : ScreenToClient(pt);
  bool handled = false;
  DoContextPopup(client, handled);
  Message.Result = handled ? 1 : 0;
  if (handled) return;
  if (TPopupMenu* menu = PopupMenu(); menu && MenuHooks().Popup) {
    SendCancelMode(nullptr);
    TPoint at = pt;
    if (pt.X == -1 && pt.Y == -1) at = ClientToScreen(TPoint());
    if (MenuHooks().Popup(this, menu, at)) {
      Message.Result = 1;
      return;
    }
  }
  TMessage m = Message.ToMessage();
  DefaultHandler(m);
  Message.Result = m.Result;
}

void TControl::CMVisibleChanged(TWMNoParams&) { InvalidateControl(true, visible_ && control_style_.Contains(csOpaque)); }
void TControl::CMEnabledChanged(TWMNoParams&) { Invalidate(); }
void TControl::CMFontChanged(TWMNoParams&) { Invalidate(); }
void TControl::CMColorChanged(TWMNoParams&) { Invalidate(); }

void TControl::CMParentFontChanged(TWMNoParams&) {
  if (!parent_font_ || !parent_) return;
  font_->Assign(parent_->Font());
  parent_font_ = true;
}

void TControl::CMParentColorChanged(TWMNoParams&) {
  if (!parent_color_ || !parent_) return;
  SetColor(parent_->Color());
  parent_color_ = true;
}

void TControl::CMParentShowHintChanged(TWMNoParams&) {
  if (!parent_show_hint_ || !parent_) return;
  SetShowHint(parent_->ShowHint());
  parent_show_hint_ = true;
}

void TControl::CMHitTest(TCMHitTest& Message) { Message.Result = HTCLIENT; }
void TControl::CMMouseEnter(TCMMouseEnterLeave&) {}
void TControl::CMMouseLeave(TCMMouseEnterLeave&) {}
void TControl::CMDesignHitTest(TWMMouse& Message) { Message.Result = 0; }
void TControl::CMHintShow(TCMHintShow&) {}
void TControl::CMTextChanged(TWMNoParams&) {}
void TControl::CMSysColorChange(TWMNoParams&) {}

void TControl::CMCursorChanged(TWMNoParams&) {
  if (GetCapture() || !Screen()) return;
  TPoint p;
  GetCursorPos(&p);
  if (FindDragTarget(p, false) == this) ::SetCursor(Screen()->Cursors(cursor_ == crDefault ? crArrow : cursor_));
}

TControl* TControl::GetParentControlForHints() const { return parent_; }
