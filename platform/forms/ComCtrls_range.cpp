// The up-down and the track bar.
#include "platform/forms/ComCtrls_range.h"

#include <algorithm>
#include <cstdlib>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

PTypeInfo TypeInfo_TUDOrientation() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TUDOrientation", {"udHorizontal", "udVertical"});
  return &info;
}
PTypeInfo TypeInfo_TUDAlignButton() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TUDAlignButton", {"udLeft", "udRight"});
  return &info;
}
PTypeInfo TypeInfo_TTrackBarOrientation() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTrackBarOrientation", {"trHorizontal", "trVertical"});
  return &info;
}
PTypeInfo TypeInfo_TTickMark() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTickMark", {"tmBottomRight", "tmTopLeft", "tmBoth"});
  return &info;
}
PTypeInfo TypeInfo_TTrackBarTickStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTickStyle", {"tsNone", "tsAuto", "tsManual"});
  return &info;
}

// =============================================================================================
// TCustomUpDown

PX_CLASS_INFO(TCustomUpDown, TCustomControl)
PX_CLASS_INFO(TUpDown, TCustomUpDown, [](TPropertyBuilder<TUpDown>& b) {
  b.Enum("AlignButton", TypeInfo_TUDAlignButton(), &TUpDown::AlignButton, &TUpDown::SetAlignButton)
      .Default(udRight);
  b.Bool("ArrowKeys", &TUpDown::ArrowKeys, &TUpDown::SetArrowKeys).Default(true);
  b.Object<TWinControl>("Associate", &TUpDown::Associate, &TUpDown::SetAssociate);
  b.Int("Increment", &TUpDown::Increment, &TUpDown::SetIncrement).Default(1);
  b.Int("Min", &TUpDown::Min, &TUpDown::SetMin).Default(0);
  b.Int("Max", &TUpDown::Max, &TUpDown::SetMax).Default(100);
  b.Enum("Orientation", TypeInfo_TUDOrientation(), &TUpDown::Orientation, &TUpDown::SetOrientation)
      .Default(udVertical);
  b.Int("Position", &TUpDown::Position, &TUpDown::SetPosition).Default(0);
  b.Bool("Thousands", &TUpDown::Thousands, &TUpDown::SetThousands).Default(true);
  b.Bool("Wrap", &TUpDown::Wrap, &TUpDown::SetWrap).Default(false);
  b.Event("OnChanging", &TUpDown::OnChanging, &TUpDown::SetOnChanging);
  b.Event("OnClick", &TUpDown::OnClick, &TUpDown::SetOnClick);
})

TCustomUpDown::TCustomUpDown(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBounds(Left(), Top(), 17, 25);
  SetControlStyle(ControlStyle() - TControlStyle{csClickEvents, csDoubleClicks});
  SetParentColor(false);
  SetColor(clBtnFace);
}

TCustomUpDown::~TCustomUpDown() { UnhookAssociate(); }

void TCustomUpDown::SetMin(int32_t Value) {
  min_ = Value;
  if (!ComponentState().Contains(csLoading)) SetPosition(position_);
  Invalidate();
}

void TCustomUpDown::SetMax(int32_t Value) {
  max_ = Value;
  if (!ComponentState().Contains(csLoading)) SetPosition(position_);
  Invalidate();
}

int32_t TCustomUpDown::Position() const {
  if (!associate_) return position_;
  // The edit may hold a number the user typed: digits with an optional sign and separators.
  std::string digits;
  for (char c : associate_->Text())
    if (c != ',' && c != ' ') digits.push_back(c);
  if (digits.empty() || digits.size() > 11) return position_;
  char* end = nullptr;
  const long long v = std::strtoll(digits.c_str(), &end, 10);
  if (*end != '\0') return position_;
  const int32_t lo = std::min(min_, max_), hi = std::max(min_, max_);
  if (v < lo || v > hi) return position_;
  return static_cast<int32_t>(v);
}

void TCustomUpDown::SetPosition(int32_t Value) {
  const int32_t lo = std::min(min_, max_), hi = std::max(min_, max_);
  position_ = ComponentState().Contains(csLoading) ? Value : std::clamp(Value, lo, hi);
  ShowPosition();
}

void TCustomUpDown::SetThousands(bool Value) {
  thousands_ = Value;
  ShowPosition();
}

void TCustomUpDown::SetOrientation(TUDOrientation Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  Invalidate();
}

void TCustomUpDown::SetAlignButton(TUDAlignButton Value) {
  if (align_button_ == Value) return;
  align_button_ = Value;
  PlaceBeside();
}

std::string TCustomUpDown::FormatPosition(int32_t Value) const {
  std::string digits = std::to_string(std::llabs(static_cast<long long>(Value)));
  if (thousands_)
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return Value < 0 ? "-" + digits : digits;
}

void TCustomUpDown::ShowPosition() {
  if (!associate_ || ComponentState().Contains(csLoading)) return;
  const std::string text = FormatPosition(position_);
  if (associate_->Text() != text) associate_->SetText(text);
}

void TCustomUpDown::SetAssociate(TWinControl* Value) {
  if (Value == this) Value = nullptr;
  if (associate_ == Value) return;
  UnhookAssociate();
  if (associate_) associate_->RemoveFreeNotification(this);
  associate_ = Value;
  if (!associate_) return;
  associate_->FreeNotification(this);
  HookAssociate();
  if (ComponentState().Contains(csLoading)) return;
  PlaceBeside();
  ShowPosition();
}

void TCustomUpDown::PlaceBeside() {
  if (!associate_ || associate_->Parent() != Parent() || !Parent()) return;
  const TRect r = associate_->BoundsRect();
  const int32_t w = Width();
  // The control gives up our width on its aligned side.
  const int32_t rest = std::max(0, r.Width() - w);
  if (align_button_ == udRight) {
    associate_->SetBounds(r.Left, r.Top, rest, r.Height());
    SetBounds(r.Left + rest, r.Top, w, r.Height());
  } else {
    associate_->SetBounds(r.Left + w, r.Top, rest, r.Height());
    SetBounds(r.Left, r.Top, w, r.Height());
  }
}

void TCustomUpDown::Loaded() {
  TCustomControl::Loaded();
  const int32_t lo = std::min(min_, max_), hi = std::max(min_, max_);
  position_ = std::clamp(position_, lo, hi);
  PlaceBeside();
  ShowPosition();
}

void TCustomUpDown::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == associate_) {
    associate_ = nullptr;
    associate_proc_ = nullptr;
  }
}

int TCustomUpDown::ArrowStep(uint16_t Key) const {
  if (Key == VK_UP || Key == VK_RIGHT) return static_cast<int>(btNext);
  if (Key == VK_DOWN || Key == VK_LEFT) return static_cast<int>(btPrev);
  return -1;
}

void TCustomUpDown::HookAssociate() {
  if (!associate_ || associate_proc_) return;
  associate_proc_ = associate_->WindowProc();
  associate_->SetWindowProc([this](TMessage& Message) {
    // Up and Down in the associated control step the up-down (Left and Right keep moving the
    // caret there).
    if (Message.Msg == WM_KEYDOWN && arrow_keys_ && Enabled() &&
        (Message.WParam == VK_UP || Message.WParam == VK_DOWN)) {
      Step(Message.WParam == VK_UP ? btNext : btPrev);
      Message.Result = 0;
      return;
    }
    associate_proc_(Message);
  });
}

void TCustomUpDown::UnhookAssociate() {
  if (!associate_ || !associate_proc_) return;
  associate_->SetWindowProc(std::move(associate_proc_));
  associate_proc_ = nullptr;
}

void TCustomUpDown::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  const int step = ArrowStep(Key);
  if (step < 0 || !arrow_keys_ || !Enabled()) return;
  Step(static_cast<TUDBtnType>(step));
  Key = 0;
}

void TCustomUpDown::Step(TUDBtnType Button) {
  bool allow = true;
  if (on_changing_) on_changing_(this, allow);
  if (!allow) return;
  const int32_t current = Position();
  // btNext moves from Min towards Max.
  const int64_t dir = (max_ >= min_ ? 1 : -1) * (Button == btNext ? 1 : -1);
  int64_t next = current + dir * increment_;
  const int32_t lo = std::min(min_, max_), hi = std::max(min_, max_);
  if (next > hi) next = wrap_ ? lo : hi;
  if (next < lo) next = wrap_ ? hi : lo;
  position_ = static_cast<int32_t>(next);
  ShowPosition();
  if (on_click_) on_click_(this, Button);
}

TUDBtnType TCustomUpDown::ButtonAt(int32_t X, int32_t Y) const {
  // Up (or right) is next.
  if (orientation_ == udVertical) return Y < Height() / 2 ? btNext : btPrev;
  return X >= Width() / 2 ? btNext : btPrev;
}

void TCustomUpDown::Paint() {
  HDC dc = Canvas()->Handle();
  const TRect c = ClientRect();
  TRect first, second;  // up and down, or left and right
  if (orientation_ == udVertical) {
    first = TRect(c.Left, c.Top, c.Right, c.Top + c.Height() / 2);
    second = TRect(c.Left, first.Bottom, c.Right, c.Bottom);
  } else {
    first = TRect(c.Left, c.Top, c.Left + c.Width() / 2, c.Bottom);
    second = TRect(first.Right, c.Top, c.Right, c.Bottom);
  }
  const UINT inactive = Enabled() ? 0 : DFCS_INACTIVE;
  const bool vertical = orientation_ == udVertical;
  const TUDBtnType firstButton = vertical ? btNext : btPrev;
  const TUDBtnType secondButton = vertical ? btPrev : btNext;
  DrawFrameControl(dc, first, DFC_SCROLL,
                   (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | inactive |
                       (over_pressed_ && pressed_ == static_cast<int>(firstButton) ? DFCS_PUSHED : 0));
  DrawFrameControl(dc, second, DFC_SCROLL,
                   (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | inactive |
                       (over_pressed_ && pressed_ == static_cast<int>(secondButton) ? DFCS_PUSHED : 0));
}

void TCustomUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  const TUDBtnType b = ButtonAt(X, Y);
  pressed_ = static_cast<int>(b);
  over_pressed_ = true;
  Invalidate();
  Step(b);
  // Held down, the button repeats: first after a pause, then quickly.
  if (!repeat_) {
    repeat_ = new TTimer(this);
    repeat_->SetOnTimer(TNotifyEvent([this](TObject*) { RepeatTick(); }));
  }
  repeat_->SetEnabled(false);
  repeat_->SetInterval(kRepeatDelay);
  repeat_->SetEnabled(pressed_ >= 0);
}

void TCustomUpDown::RepeatTick() {
  if (pressed_ < 0) return StopRepeat();
  if (repeat_->Interval() != kRepeatInterval) repeat_->SetInterval(kRepeatInterval);
  // Only while the pointer stays over the held button.
  if (over_pressed_ && Enabled()) Step(static_cast<TUDBtnType>(pressed_));
}

void TCustomUpDown::StopRepeat() {
  if (repeat_) repeat_->SetEnabled(false);
}

void TCustomUpDown::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (pressed_ < 0) return;
  const bool over = X >= 0 && Y >= 0 && X < Width() && Y < Height() && static_cast<int>(ButtonAt(X, Y)) == pressed_;
  if (over == over_pressed_) return;
  over_pressed_ = over;
  Invalidate();
}

void TCustomUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  StopRepeat();
  if (pressed_ < 0) return;
  pressed_ = -1;
  over_pressed_ = false;
  Invalidate();
}

// =============================================================================================
// TTrackBar

namespace {

constexpr int32_t kThumbLength = 11;  // along the channel
constexpr int32_t kThumbHeight = 21;  // across it
constexpr int32_t kMargin = 8;        // from the ends of the control to the channel

}  // namespace

PX_CLASS_INFO(TTrackBar, TCustomControl, [](TPropertyBuilder<TTrackBar>& b) {
  b.Int("Frequency", &TTrackBar::Frequency, &TTrackBar::SetFrequency).Default(1);
  b.Int("LineSize", &TTrackBar::LineSize, &TTrackBar::SetLineSize).Default(1);
  b.Int("Max", &TTrackBar::Max, &TTrackBar::SetMax).Default(10);
  b.Int("Min", &TTrackBar::Min, &TTrackBar::SetMin).Default(0);
  b.Enum("Orientation", TypeInfo_TTrackBarOrientation(), &TTrackBar::Orientation, &TTrackBar::SetOrientation)
      .Default(trHorizontal);
  b.Int("PageSize", &TTrackBar::PageSize, &TTrackBar::SetPageSize).Default(2);
  b.Int("Position", &TTrackBar::Position, &TTrackBar::SetPosition).Default(0);
  b.Redeclare("TabStop").Default(true);
  b.Enum("TickMarks", TypeInfo_TTickMark(), &TTrackBar::TickMarks, &TTrackBar::SetTickMarks).Default(tmBottomRight);
  b.Enum("TickStyle", TypeInfo_TTrackBarTickStyle(), &TTrackBar::TickStyle, &TTrackBar::SetTickStyle).Default(tsAuto);
  b.Event("OnChange", &TTrackBar::OnChange, &TTrackBar::SetOnChange);
})

TTrackBar::TTrackBar(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBounds(Left(), Top(), 150, 45);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clBtnFace);
}

TTrackBar::~TTrackBar() = default;

void TTrackBar::SetMin(int32_t Value) {
  min_ = Value;
  if (max_ < min_ && !ComponentState().Contains(csLoading)) max_ = min_;
  SetPosition(position_);
  Invalidate();
}

void TTrackBar::SetMax(int32_t Value) {
  max_ = Value;
  if (min_ > max_ && !ComponentState().Contains(csLoading)) min_ = max_;
  SetPosition(position_);
  Invalidate();
}

void TTrackBar::SetPosition(int32_t Value) {
  if (!ComponentState().Contains(csLoading)) Value = std::clamp(Value, min_, std::max(min_, max_));
  if (position_ == Value) return;
  position_ = Value;
  Invalidate();
}

void TTrackBar::SetFrequency(int32_t Value) {
  frequency_ = std::max(1, Value);
  Invalidate();
}

void TTrackBar::SetOrientation(TTrackBarOrientation Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  if (!ComponentState().Contains(csLoading)) SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TTrackBar::SetTickMarks(TTickMark Value) {
  tick_marks_ = Value;
  Invalidate();
}

void TTrackBar::SetTickStyle(TTrackBarTickStyle Value) {
  tick_style_ = Value;
  Invalidate();
}

int32_t TTrackBar::TrackStart() const { return kMargin + kThumbLength / 2; }

int32_t TTrackBar::TrackLength() const {
  const int32_t along = orientation_ == trHorizontal ? Width() : Height();
  return std::max(0, along - 2 * kMargin - kThumbLength);
}

TRect TTrackBar::ChannelRect() const {
  // The thumb sits at the top (left) with ticks beside it; the channel runs through its middle.
  const int32_t across = tick_marks_ == tmTopLeft ? 4 + kThumbHeight / 2 + 4 : kThumbHeight / 2 + 4;
  const int32_t along = orientation_ == trHorizontal ? Width() : Height();
  if (orientation_ == trHorizontal) return TRect(kMargin, across - 2, std::max(kMargin, along - kMargin), across + 2);
  return TRect(across - 2, kMargin, across + 2, std::max(kMargin, along - kMargin));
}

TRect TTrackBar::ThumbRect() const {
  const int32_t range = max_ - min_;
  const int32_t offset = range > 0 ? static_cast<int32_t>(static_cast<int64_t>(position_ - min_) * TrackLength() / range) : 0;
  const int32_t centre = TrackStart() + offset;
  const TRect ch = ChannelRect();
  if (orientation_ == trHorizontal) {
    const int32_t mid = (ch.Top + ch.Bottom) / 2;
    return TRect(centre - kThumbLength / 2, mid - kThumbHeight / 2, centre - kThumbLength / 2 + kThumbLength,
                 mid - kThumbHeight / 2 + kThumbHeight);
  }
  const int32_t mid = (ch.Left + ch.Right) / 2;
  return TRect(mid - kThumbHeight / 2, centre - kThumbLength / 2, mid - kThumbHeight / 2 + kThumbHeight,
               centre - kThumbLength / 2 + kThumbLength);
}

int32_t TTrackBar::PositionAt(int32_t X, int32_t Y) const {
  const int32_t along = (orientation_ == trHorizontal ? X : Y) - TrackStart();
  const int32_t len = TrackLength();
  if (len <= 0 || max_ <= min_) return min_;
  const int64_t v = min_ + (static_cast<int64_t>(std::clamp(along, 0, len)) * (max_ - min_) + len / 2) / len;
  return static_cast<int32_t>(v);
}

void TTrackBar::UserMove(int32_t Value) {
  Value = std::clamp(Value, min_, std::max(min_, max_));
  if (Value == position_) return;
  position_ = Value;
  Invalidate();
  if (on_change_) on_change_(this);
}

void TTrackBar::Paint() {
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(ClientRect());
  TRect ch = ChannelRect();
  DrawEdge(dc, ch, EDGE_SUNKEN, BF_RECT);
  // Ticks: every Frequency positions and at both ends, below (right of) the thumb.
  if (tick_style_ == tsAuto && max_ > min_ && TrackLength() > 0) {
    const TRect thumb0 = ThumbRect();
    c->Pen()->SetColor(clBtnText);
    c->Pen()->SetStyle(psSolid);
    auto tick = [&](int32_t pos) {
      const int32_t at =
          TrackStart() + static_cast<int32_t>(static_cast<int64_t>(pos - min_) * TrackLength() / (max_ - min_));
      auto mark = [&](int32_t from) {
        if (orientation_ == trHorizontal) {
          c->MoveTo(at, from);
          c->LineTo(at, from + 3);
        } else {
          c->MoveTo(from, at);
          c->LineTo(from + 3, at);
        }
      };
      const int32_t below = (orientation_ == trHorizontal ? thumb0.Bottom : thumb0.Right) + 2;
      const int32_t above = (orientation_ == trHorizontal ? thumb0.Top : thumb0.Left) - 5;
      if (tick_marks_ != tmTopLeft) mark(below);
      if (tick_marks_ != tmBottomRight) mark(above);
    };
    for (int64_t p = min_; p <= max_; p += frequency_) tick(static_cast<int32_t>(p));
    tick(max_);
  }
  TRect thumb = ThumbRect();
  c->Brush()->SetColor(clBtnFace);
  c->FillRect(thumb);
  DrawEdge(dc, thumb, EDGE_RAISED, BF_RECT);
  if (GetFocus() == Handle()) {
    c->Refresh();
    DrawFocusRect(dc, ClientRect());
  }
}

void TTrackBar::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (CanFocus() && GetFocus() != Handle()) SetFocus();
  const TRect thumb = ThumbRect();
  if (thumb.Contains(TPoint(X, Y))) {
    dragging_ = true;
    return;
  }
  // A click beside the thumb pages towards the pointer.
  const int32_t at = orientation_ == trHorizontal ? X : Y;
  const int32_t centre = orientation_ == trHorizontal ? (thumb.Left + thumb.Right) / 2 : (thumb.Top + thumb.Bottom) / 2;
  UserMove(position_ + (at < centre ? -page_size_ : page_size_));
}

void TTrackBar::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (dragging_) UserMove(PositionAt(X, Y));
}

void TTrackBar::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (dragging_) {
    UserMove(PositionAt(X, Y));
    dragging_ = false;
  }
}

void TTrackBar::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  switch (Key) {
    case VK_LEFT:
    case VK_UP: UserMove(position_ - line_size_); break;
    case VK_RIGHT:
    case VK_DOWN: UserMove(position_ + line_size_); break;
    case VK_PRIOR: UserMove(position_ - page_size_); break;
    case VK_NEXT: UserMove(position_ + page_size_); break;
    case VK_HOME: UserMove(min_); break;
    case VK_END: UserMove(max_); break;
    default: return;
  }
  Key = 0;
}

void TTrackBar::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_WANTARROWS; }

void TTrackBar::WMSetFocus(TWMSetFocus& Message) {
  TCustomControl::WMSetFocus(Message);
  Invalidate();
}

void TTrackBar::WMKillFocus(TWMKillFocus& Message) {
  TCustomControl::WMKillFocus(Message);
  Invalidate();
}
