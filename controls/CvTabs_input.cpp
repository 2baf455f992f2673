// The tab control's selection and interaction: the TabIndex writer with its veto, the mouse,
// the keys and accelerators, hot tracking with per-tab hints, and the strip buttons.
#include <algorithm>

#include "controls/CvTabs.h"
#include "platform/forms/Forms.h"

namespace {

constexpr UINT_PTR kHoverTimer = 1;
constexpr UINT kHoverInterval = 60;

// Sets a flag for the length of a call.
class TFlagScope {
 public:
  TFlagScope(bool& Flag, bool Value) : flag_(Flag), old_(Flag) { flag_ = Value; }
  ~TFlagScope() { flag_ = old_; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace

// =============================================================================================
// Selection

bool TCvCustomTabControl::CanChange(int32_t Index) {
  const TCvTabData* t = Tab(Index);
  bool allowed = tabs_->Count() > 0 && t && t->Visible && (t->Enabled || Designing());
  if (allowed && Index != tab_index_) DoChanging(Index, allowed);
  return allowed;
}

void TCvCustomTabControl::SetTabIndexProgrammatic(int32_t Value) {
  TFlagScope scope(programmatic_, true);
  SetTabIndex(Value);
}

void TCvCustomTabControl::SetTabIndex(int32_t Value) {
  if (Loading()) {
    tab_index_ = Value;
    return;
  }
  if (Value < 0 || Value >= tabs_->Count()) {
    tab_index_ = -1;
    InvalidateTabs();
  } else {
    const int32_t old = tab_index_;
    const bool allowed = Value == old || programmatic_ || CanChange(Value);
    bool scrolled = false;
    if (allowed) {
      tab_index_ = Value;
      if (!scroller_needed_) {
        BringRowToFront();
      } else if (Value < first_shown_tab_) {
        first_shown_tab_ = Value;
        scrolled = true;
      } else {
        while (first_shown_tab_ < Value && !IsTabInView(Value)) {
          ++first_shown_tab_;
          scrolled = true;
        }
      }
    }
    const bool changed = tab_index_ != old;
    if (scrolled || changed) {
      InvalidateTabs();
      if (scroller_) scroller_->Invalidate();
      if (changed) {
        DoChange();
        DoPageChange();
        if (Designing() && painted_once_) NotifyDesigner(this);
      }
    }
  }
  if (close_button_ && show_close_button_) close_button_->Invalidate();
  if (menu_button_ && show_menu_button_) menu_button_->Invalidate();
}

int32_t TCvCustomTabControl::TabAtPoint(int32_t X, int32_t Y) {
  const int32_t n = tabs_->Count();
  if (n == 0 || first_shown_tab_ < 0) return -1;
  const TPoint p(X, Y);
  auto hit = [&](int32_t i) {
    if (!IsTabInView(i)) return false;
    const TRect r = TabClientRect(i);
    if (!r.Contains(p)) return false;
    HRGN region = TabRegion(i, r);
    return region && PtInRegion(region, X, Y);
  };
  if (tab_index_ >= 0 && hit(tab_index_)) return tab_index_;
  // A scroll position left over from an older tab list counts as the start.
  const int32_t start = first_shown_tab_ < n ? first_shown_tab_ : 0;
  for (int32_t k = 0, i = start; k < n; ++k, i = (i + 1) % n)
    if (i != tab_index_ && hit(i)) return i;
  return -1;
}

// =============================================================================================
// Mouse and keys

void TCvCustomTabControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !(Enabled() || Designing())) return;
  const int32_t t = TabAtPoint(X, Y);
  if (t >= 0 && Tab(t)->Enabled) {
    if (TabStop() && t == tab_index_ && !Designing()) {
      if (CanFocus()) SetFocus();
      if (!Focused()) return;
    }
    SetTabIndex(t);
    if (tab_index_ == t) DoTabClick();
  }
  pressed_tab_ = t;
}

void TCvCustomTabControl::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (Designing() || !(hot_track_ || tab_hints_)) return;
  const int32_t t = TabAtPoint(X, Y);
  if (t < 0) {
    PointerOffTabs(TPoint(X, Y));
    return;
  }
  if (t == hot_tab_) return;
  hot_tab_ = t;
  if (hot_track_) {
    hot_track_only_ = true;
    if (HandleAllocated()) {
      const TRect strip = TabStripRect();
      InvalidateRect(Handle(), &strip, FALSE);
    }
  }
  if (tab_hints_) {
    if (Application()) Application()->CancelHint();
    if (!Tab(t)->Hint.empty()) SetHint(Tab(t)->Hint);
  }
  if (!hover_timer_ && HandleAllocated()) hover_timer_ = SetTimer(Handle(), kHoverTimer, kHoverInterval);
}

void TCvCustomTabControl::LeaveHotTab() {
  StopHoverTimer();
  hot_tab_ = -1;
  if (HandleAllocated()) {
    const TRect strip = TabStripRect();
    InvalidateRect(Handle(), &strip, FALSE);
  }
  // Only tab hints replace the control's own hint.
  if (tab_hints_) SetHint(saved_hint_);
}

void TCvCustomTabControl::StopHoverTimer() {
  if (hover_timer_ && HandleAllocated()) KillTimer(Handle(), kHoverTimer);
  hover_timer_ = 0;
}

void TCvCustomTabControl::WMTimer(TWMTimer& Message) {
  if (Message.TimerID != kHoverTimer) {
    TCustomControl::WMTimer(Message);
    return;
  }
  if (!hover_timer_) return;
  HoverTick();
}

void TCvCustomTabControl::HoverTick() {
  TPoint p;
  GetCursorPos(&p);
  p = ScreenToClient(p);
  if (TabAtPoint(p.X, p.Y) < 0) PointerOffTabs(p);
}

void TCvCustomTabControl::PointerOffTabs(TPoint P) {
  const bool inStrip = TabStripRect().Contains(P);
  if (tab_hints_ && (hot_tab_ >= 0 || inStrip) && Application()) Application()->CancelHint();
  if (!tab_hints_ || !inStrip) {
    LeaveHotTab();
    return;
  }
  // Over the strip's empty part the control shows no hint.
  const std::string keep = saved_hint_;
  saved_hint_.clear();
  LeaveHotTab();
  saved_hint_ = keep;
}

void TCvCustomTabControl::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_WANTARROWS; }

void TCvCustomTabControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (tabs_->Count() == 0) return;
  KeySelect(Key);
}

void TCvCustomTabControl::KeySelect(uint16_t Key) {
  const int32_t n = tabs_->Count();
  int32_t result = tab_index_;
  const bool rev = Reverse();
  if (Key == VK_HOME || Key == VK_END) {
    bool home = Key == VK_HOME;
    if ((tab_orientation_ == toLeft && !rev) || (tab_orientation_ != toLeft && rev)) home = !home;
    const int32_t step = home ? 1 : -1;
    int32_t i = home ? 0 : n - 1;
    while (i >= 0 && i < n && i != tab_index_ && !CanChange(i)) i += step;
    result = i >= 0 && i < n ? i : tab_index_;
  } else if (Key == VK_LEFT || Key == VK_RIGHT || Key == VK_UP || Key == VK_DOWN) {
    const bool rightDown = Key == VK_RIGHT || Key == VK_DOWN;
    const bool next = tab_orientation_ == toLeft ? rightDown == rev : rightDown != rev;
    // One full pass at most: with no selection and nothing selectable the search ends there.
    int32_t i = tab_index_;
    bool found = false;
    for (int32_t k = 0; k < n; ++k) {
      i = next ? (i + 1) % n : (i <= 0 ? n - 1 : i - 1);
      if (i == tab_index_) break;
      if (CanChange(i)) {
        found = true;
        break;
      }
    }
    result = found ? i : tab_index_;
  } else {
    return;
  }
  if (result == tab_index_) return;
  SetTabIndexProgrammatic(result);
  DoTabClick();
}

void TCvCustomTabControl::CMDialogChar(TWMKey& Message) {
  if (CanFocus()) {
    for (int32_t i = 0; i < tabs_->Count(); ++i) {
      TCvTabData* t = Tab(i);
      if (!t->Enabled || !t->Visible || !IsAccel(Message.CharCode, t->Caption)) continue;
      Message.Result = 1;
      SetFocus();
      if (Focused()) {
        SetTabIndex(i);
        if (tab_index_ == i) DoTabClick();
      }
      return;
    }
  }
  TCustomControl::CMDialogChar(Message);
}

void TCvCustomTabControl::WMSetFocus(TWMSetFocus& Message) {
  InvalidateTabs();
  TCustomControl::WMSetFocus(Message);
}

void TCvCustomTabControl::WMKillFocus(TWMKillFocus& Message) {
  InvalidateTabs();
  TCustomControl::WMKillFocus(Message);
}

void TCvCustomTabControl::CMDesignHitTest(TWMMouse& Message) {
  const int32_t t = TabAtPoint(Message.XPos, Message.YPos);
  Message.Result = t >= 0 && t != tab_index_ ? 1 : 0;
}

// =============================================================================================
// Strip buttons

void TCvCustomTabControl::ScrollUpRight(TObject*) {
  const bool forward = (tab_orientation_ != toRight) != Reverse();
  ScrollTabs(forward);
}

void TCvCustomTabControl::ScrollDownLeft(TObject*) {
  const bool forward = (tab_orientation_ != toRight) != Reverse();
  ScrollTabs(!forward);
}

void TCvCustomTabControl::CloseTabClicked(TObject*) {
  if (tab_index_ == -1) return;
  if (DoClose()) CloseActiveTab();
}

void TCvCustomTabControl::DrawDropMarker(const TRect&) {}

PX_CLASS_INFO(TCvTabStripButton, TCustomControl)
PX_CLASS_INFO(TCvTabScroller, TCvTabStripButton)
PX_CLASS_INFO(TCvTabCloseButton, TCvTabStripButton)
PX_CLASS_INFO(TCvTabMenuButton, TCvTabStripButton)

TCvTabStripButton::TCvTabStripButton(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + csNoDesignVisible + csOpaque);
  SetBounds(0, 0, 15, 15);
}

void TCvTabStripButton::SetFrameColor(TColor Value) {
  if (frame_color_ == Value) return;
  frame_color_ = Value;
  Invalidate();
}

void TCvTabStripButton::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TCvTabStripButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  tracking_ = true;
  pressed_inside_ = true;
  Invalidate();
  SetMouseCapture(true);
}

void TCvTabStripButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!tracking_) return;
  const bool inside = ClientRect().Contains(TPoint(X, Y));
  if (inside == pressed_inside_) return;
  pressed_inside_ = inside;
  Invalidate();
}

void TCvTabStripButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!tracking_) return;
  tracking_ = false;
  SetMouseCapture(false);
  if (!pressed_inside_) return;
  pressed_inside_ = false;
  ButtonClick();
  Invalidate();
}

TCvTabScroller::TCvTabScroller(TComponent* AOwner) : TCvTabStripButton(AOwner) {
  timer_ = std::make_unique<TTimer>(nullptr);
  timer_->SetEnabled(false);
  timer_->SetInterval(400);
  timer_->SetOnTimer(TNotifyEvent(this, &TCvTabScroller::RepeatTimer));
}

TCvTabScroller::~TCvTabScroller() = default;

void TCvTabScroller::SetOrientation(TOrientation Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  Invalidate();
}

int32_t TCvTabScroller::HalfAt(int32_t X, int32_t Y) const {
  if (orientation_ == orHorizontal) return X >= Width() / 2 ? 1 : 0;
  return Y <= Height() / 2 ? 1 : 0;
}

void TCvTabScroller::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  pressed_half_ = HalfAt(X, Y);
  tracking_ = true;
  pressed_inside_ = true;
  Invalidate();
  SetMouseCapture(true);
  timer_->SetEnabled(false);
  timer_->SetInterval(400);
  timer_->SetEnabled(true);
}

void TCvTabScroller::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (!tracking_) return;
  const bool inside = ClientRect().Contains(TPoint(X, Y)) && HalfAt(X, Y) == pressed_half_;
  if (inside == pressed_inside_) return;
  pressed_inside_ = inside;
  Invalidate();
}

void TCvTabScroller::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  timer_->SetEnabled(false);
  SetMouseCapture(false);
  tracking_ = false;
  if (!pressed_inside_) return;
  pressed_inside_ = false;
  HalfClick();
  Invalidate();
}

void TCvTabScroller::RepeatTimer(TObject*) {
  timer_->SetInterval(100);
  if (!pressed_inside_ || !MouseCapture()) return;
  try {
    HalfClick();
  } catch (...) {
    timer_->SetEnabled(false);
    throw;
  }
}

void TCvTabScroller::HalfClick() {
  if (pressed_half_ == 0) DownLeftClick();
  else UpRightClick();
}

void TCvTabScroller::DownLeftClick() {
  if (on_down_left_click_) on_down_left_click_(this);
}

void TCvTabScroller::UpRightClick() {
  if (on_up_right_click_) on_up_right_click_(this);
}

void TCvTabScroller::CMDesignHitTest(TWMMouse& Message) { Message.Result = 1; }

TCvTabCloseButton::TCvTabCloseButton(TComponent* AOwner) : TCvTabStripButton(AOwner) {}

void TCvTabCloseButton::ButtonClick() {
  if (on_close_) on_close_(this);
}

TCvTabMenuButton::TCvTabMenuButton(TComponent* AOwner)
    : TCvTabStripButton(AOwner), menu_(new TPopupMenu(this)) {}  // owned by the button

TCvTabMenuButton::~TCvTabMenuButton() = default;

void TCvTabMenuButton::ButtonClick() {
  if (tab_control_) tab_control_->ShowTabMenu(this);
}

void TCvTabMenuButton::BuildMenu() {
  TCvCustomTabControl* tc = tab_control_;
  TMenuItem* root = menu_->Items();
  while (root->Count() > 0) delete root->Items(root->Count() - 1);  // owned by the control's owner
  if (!tc) return;
  menu_->SetImages(tc->Images());
  TComponent* owner = tc->Owner() ? tc->Owner() : tc;
  for (int32_t i = 0; i < tc->Tabs()->Count(); ++i) {
    const TCvTabData* t = tc->Tabs()->Items(i);
    if (!t->Visible) continue;
    auto* item = new TMenuItem(owner);  // owned by the tab control's owner
    item->SetCaption(t->Caption);
    item->SetEnabled(t->Enabled);
    item->SetChecked(i == tc->TabIndex());
    item->SetImageIndex(!t->Enabled && t->DisabledIndex != -1 ? t->DisabledIndex : t->ImageIndex);
    item->SetTag(i);
    item->SetOnClick(TNotifyEvent([tc, item](TObject*) { tc->SetTabIndex(static_cast<int32_t>(item->Tag())); }));
    root->Add(item);
  }
}

void TCvCustomTabControl::ShowTabMenu(TCvTabMenuButton* Button) {
  Button->BuildMenu();
  TPoint at;
  TPopupAlignment alignment = paLeft;
  const bool rev = Reverse();
  switch (tab_orientation_) {
    case toTop:
      at = rev ? TPoint(0, Button->Height()) : TPoint(Button->Width(), Button->Height());
      alignment = rev ? paLeft : paRight;
      break;
    case toLeft: at = TPoint(Button->Width(), 0); break;
    case toBottom:
      at = rev ? TPoint(0, 0) : TPoint(Button->Width(), 0);
      alignment = rev ? paLeft : paRight;
      break;
    case toRight:
      at = TPoint(0, 0);
      alignment = paRight;
      break;
  }
  at = Button->ClientToScreen(at);
  Button->Menu()->SetAlignment(alignment);
  Button->Menu()->Popup(at.X, at.Y);
}
