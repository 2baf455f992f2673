// Controls that pick a number from a range: the up-down (two arrow buttons, usually beside an
// edit it keeps in step) and the track bar (a thumb slid along a channel with tick marks). Both
// draw themselves in the classic look.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/forms/Controls.h"

enum class TUDBtnType : uint8_t { btNext, btPrev };
using enum TUDBtnType;
enum class TUDOrientation : uint8_t { udHorizontal, udVertical };
using enum TUDOrientation;
enum class TUDAlignButton : uint8_t { udLeft, udRight };
using enum TUDAlignButton;
PTypeInfo TypeInfo_TUDOrientation();
PTypeInfo TypeInfo_TUDAlignButton();

PX_EVENT_TYPE(TUDClickEvent, void(TObject* Sender, TUDBtnType Button));
PX_EVENT_TYPE(TUDChangingEvent, void(TObject* Sender, bool& AllowChange));

class TCustomUpDown : public TCustomControl {
  PX_CLASS(TCustomUpDown)
 public:
  explicit TCustomUpDown(TComponent* AOwner);
  ~TCustomUpDown() override;

  int32_t Min() const { return min_; }
  void SetMin(int32_t Value);
  int32_t Max() const { return max_; }
  void SetMax(int32_t Value);
  // The position, taken from the associated control's text when that holds a number in range
  // (the user may have typed one).
  int32_t Position() const;
  // Clamped to the range; shown in the associated control.
  void SetPosition(int32_t Value);
  int32_t Increment() const { return increment_; }
  void SetIncrement(int32_t Value) { increment_ = Value; }
  // Stepping past one end goes to the other.
  bool Wrap() const { return wrap_; }
  void SetWrap(bool Value) { wrap_ = Value; }
  // Group digits with ',' in the associated control's text.
  bool Thousands() const { return thousands_; }
  void SetThousands(bool Value);
  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation Value);
  TUDAlignButton AlignButton() const { return align_button_; }
  void SetAlignButton(TUDAlignButton Value);
  // The control (an edit) beside which the up-down sits: it narrows the control by its own
  // width and takes that place, and writes the position into the control's text.
  TWinControl* Associate() const { return associate_; }
  void SetAssociate(TWinControl* Value);

  // The Up and Down (or Right and Left) arrow keys of the associated control step too.
  bool ArrowKeys() const { return arrow_keys_; }
  void SetArrowKeys(bool Value) { arrow_keys_ = Value; }

  // Steps once, as a click on a button does: OnChanging may refuse, then OnClick.
  void Step(TUDBtnType Button);
  // A button held down steps again after this delay, then at every repeat interval (ms).
  static constexpr uint32_t kRepeatDelay = 400;
  static constexpr uint32_t kRepeatInterval = 100;

  const TUDClickEvent& OnClick() const { return on_click_; }
  void SetOnClick(const TUDClickEvent& Value) { on_click_ = Value; }
  const TUDChangingEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(const TUDChangingEvent& Value) { on_changing_ = Value; }

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;

 private:
  // The step an arrow key stands for (-1 none).
  int ArrowStep(uint16_t Key) const;
  // Subclasses the associated control for its arrow keys, or gives its message entry back.
  void HookAssociate();
  void UnhookAssociate();
  void RepeatTick();
  void StopRepeat();
  // Which button a client point falls on.
  TUDBtnType ButtonAt(int32_t X, int32_t Y) const;
  void PlaceBeside();
  void ShowPosition();
  std::string FormatPosition(int32_t Value) const;

  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t position_ = 0;
  int32_t increment_ = 1;
  bool wrap_ = false;
  bool thousands_ = true;
  TUDOrientation orientation_ = udVertical;
  TUDAlignButton align_button_ = udRight;
  TWinControl* associate_ = nullptr;
  int pressed_ = -1;  // the button held down (a TUDBtnType), -1 none
  bool over_pressed_ = false;  // the pointer is over the held button
  bool arrow_keys_ = true;
  TTimer* repeat_ = nullptr;  // owned by the control
  std::function<void(TMessage&)> associate_proc_;  // the associate's entry before ours
  TUDClickEvent on_click_;
  TUDChangingEvent on_changing_;
};

class TUpDown : public TCustomUpDown {
  PX_CLASS(TUpDown)
 public:
  explicit TUpDown(TComponent* AOwner) : TCustomUpDown(AOwner) {}
};

enum class TTrackBarOrientation : uint8_t { trHorizontal, trVertical };
using enum TTrackBarOrientation;
enum class TTickMark : uint8_t { tmBottomRight, tmTopLeft, tmBoth };
using enum TTickMark;
enum class TTrackBarTickStyle : uint8_t { tsNone, tsAuto, tsManual };
using enum TTrackBarTickStyle;
PTypeInfo TypeInfo_TTrackBarOrientation();
PTypeInfo TypeInfo_TTickMark();
PTypeInfo TypeInfo_TTrackBarTickStyle();

class TTrackBar : public TCustomControl {
  PX_CLASS(TTrackBar)
 public:
  explicit TTrackBar(TComponent* AOwner);
  ~TTrackBar() override;

  int32_t Min() const { return min_; }
  void SetMin(int32_t Value);
  int32_t Max() const { return max_; }
  void SetMax(int32_t Value);
  // Setting it in code clamps and repaints; only the user's moves fire OnChange.
  int32_t Position() const { return position_; }
  void SetPosition(int32_t Value);
  // Ticks every Frequency positions (tsAuto).
  int32_t Frequency() const { return frequency_; }
  void SetFrequency(int32_t Value);
  // The arrow keys' step and the Page Up/Down and channel click step.
  int32_t LineSize() const { return line_size_; }
  void SetLineSize(int32_t Value) { line_size_ = Value; }
  int32_t PageSize() const { return page_size_; }
  void SetPageSize(int32_t Value) { page_size_ = Value; }
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation Value);
  TTickMark TickMarks() const { return tick_marks_; }
  void SetTickMarks(TTickMark Value);
  TTrackBarTickStyle TickStyle() const { return tick_style_; }
  void SetTickStyle(TTrackBarTickStyle Value);

  // The thumb's rectangle and the channel's (client coordinates).
  TRect ThumbRect() const;
  TRect ChannelRect() const;
  // The position a client point along the channel stands for.
  int32_t PositionAt(int32_t X, int32_t Y) const;

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMKillFocus& Message) override;

 private:
  // A move by the user: clamps, repaints and fires OnChange when the position changed.
  void UserMove(int32_t Value);
  // Length of the track the thumb's centre runs along, and where it starts.
  int32_t TrackStart() const;
  int32_t TrackLength() const;

  int32_t min_ = 0;
  int32_t max_ = 10;
  int32_t position_ = 0;
  int32_t frequency_ = 1;
  int32_t line_size_ = 1;
  int32_t page_size_ = 2;
  TTrackBarOrientation orientation_ = trHorizontal;
  TTickMark tick_marks_ = tmBottomRight;
  TTrackBarTickStyle tick_style_ = tsAuto;
  bool dragging_ = false;
  TNotifyEvent on_change_;
};
