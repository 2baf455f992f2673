// The spin edit: a numeric framed edit with a pair of auto-repeating spin buttons inside its
// right edge. The value lives in the text only: it is read from the text and written back
// clamped and formatted with a fixed number of decimals.
#pragma once

#include <cstdint>

#include "controls/CvButton.h"
#include "controls/CvEdit.h"

enum class TSpinDirection : uint8_t { sdUpDown, sdLeftRight };
using enum TSpinDirection;
enum class TSpinButtonType : uint8_t { sbUp, sbDown };
using enum TSpinButtonType;
PTypeInfo TypeInfo_TSpinDirection();

PX_EVENT_TYPE(TSpinChangingEvent, void(TObject* Sender, long double NewValue, bool& AllowChange));
PX_EVENT_TYPE(TSpinButtonEvent, void(TObject* Sender, TSpinButtonType Button));

// The pair of spin buttons: two repeating control buttons, up/right and down/left.
class TCvSpinButtons : public TWinControl {
  PX_CLASS(TCvSpinButtons)
 public:
  explicit TCvSpinButtons(TComponent* AOwner);

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Arranges the buttons for the new size first.
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  TColor Color() const { return TWinControl::Color(); }
  virtual void SetColor(TColor Value);
  uint16_t Delay() const { return up_right_->Delay(); }
  void SetDelay(uint16_t Value);
  uint16_t InitialDelay() const { return up_right_->InitialDelay(); }
  void SetInitialDelay(uint16_t Value);
  TSpinDirection Direction() const { return direction_; }
  virtual void SetDirection(TSpinDirection Value);
  bool Enabled() const override { return TWinControl::Enabled(); }
  virtual void SetEnabled(bool Value) override;
  bool Flat() const { return flat_; }
  virtual void SetFlat(bool Value);
  TWinControl* FocusControl() const { return focus_control_; }
  void SetFocusControl(TWinControl* Value);
  TBitmap* GlyphUpRight() const { return up_right_->Glyph(); }
  virtual void SetGlyphUpRight(TBitmap* Value);
  TBitmap* GlyphDownLeft() const { return down_left_->Glyph(); }
  virtual void SetGlyphDownLeft(TBitmap* Value);
  TNumGlyphs NumGlyphsUpRight() const { return up_right_->NumGlyphs(); }
  virtual void SetNumGlyphsUpRight(TNumGlyphs Value) { up_right_->SetNumGlyphs(Value); }
  TNumGlyphs NumGlyphsDownLeft() const { return down_left_->NumGlyphs(); }
  virtual void SetNumGlyphsDownLeft(TNumGlyphs Value) { down_left_->SetNumGlyphs(Value); }
  TOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TOrientation Value);
  bool CustomUpRight() const { return custom_up_right_; }
  bool CustomDownLeft() const { return custom_down_left_; }

  const TNotifyEvent& OnUpRightClick() const { return on_up_right_click_; }
  void SetOnUpRightClick(const TNotifyEvent& Value) { on_up_right_click_ = Value; }
  const TNotifyEvent& OnDownLeftClick() const { return on_down_left_click_; }
  void SetOnDownLeftClick(const TNotifyEvent& Value) { on_down_left_click_ = Value; }

  TCvControlButton* UpRightButton() const { return up_right_; }
  TCvControlButton* DownLeftButton() const { return down_left_; }

 protected:
  virtual TCvControlButton* CreateSpinButton();
  virtual void ButtonClicked(TObject* Sender);
  // A press moves the focus to FocusControl (or the pair) first; a failed move cancels it.
  virtual void ButtonMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void GlyphChanged(TObject* Sender);
  virtual void ArrangeButtons(int32_t& AWidth, int32_t& AHeight);
  virtual void DoUpRightClick();
  virtual void DoDownLeftClick();

  void WMSize(TWMSize& Message) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;

 private:
  // The arrow styles of the present direction on the buttons without a glyph of their own.
  void ResetGlyphs();

  TCvControlButton* up_right_ = nullptr;   // owned (as component) by the pair
  TCvControlButton* down_left_ = nullptr;  // owned (as component) by the pair
  TCvControlButton* focused_button_ = nullptr;
  bool custom_up_right_ = false;
  bool custom_down_left_ = false;
  TSpinDirection direction_ = sdUpDown;
  bool flat_ = false;
  TOrientation orientation_ = orVertical;
  TWinControl* focus_control_ = nullptr;  // not owned; cleared when it is freed
  TNotifyEvent on_up_right_click_, on_down_left_click_;
};

class TCvSpinEdit : public TCvCustomEdit {
  PX_CLASS(TCvSpinEdit)
 public:
  explicit TCvSpinEdit(TComponent* AOwner);

  void Loaded() override;

  long double Value() { return GetValue(); }
  void SetValueProp(long double X) { SetValue(X); }
  long double Min() const { return min_; }
  virtual void SetMin(long double X);
  long double Max() const { return max_; }
  virtual void SetMax(long double X);
  long double Increment() const { return increment_; }
  void SetIncrement(long double Value) { increment_ = Value; }
  long double PageSize() const { return page_size_; }
  void SetPageSize(long double Value) { page_size_ = Value; }
  bool CheckRange() const { return check_range_; }
  virtual void SetCheckRange(bool Value);
  uint8_t Decimals() const { return decimals_; }
  virtual void SetDecimals(uint8_t Value);
  bool IntegersOnly() const { return integers_only_; }
  virtual void SetIntegersOnly(bool Value);
  bool AllowBlank() const { return allow_blank_; }
  void SetAllowBlank(bool Value) { allow_blank_ = Value; }
  long double BlankValue() const { return blank_value_; }
  void SetBlankValue(long double Value) { blank_value_ = Value; }
  bool AllowKeyEdit() const { return allow_key_edit_; }
  void SetAllowKeyEdit(bool Value) { allow_key_edit_ = Value; }
  int32_t ButtonWidth() const { return button_width_; }
  virtual void SetButtonWidth(int32_t Value);
  void SetFlatButtons(bool Value) override;
  TColor FlatButtonColor() const { return flat_button_color_; }
  void SetFlatButtonColor(TColor Value) { flat_button_color_ = Value; }
  TSpinDirection Direction() const { return buttons_->Direction(); }
  virtual void SetDirection(TSpinDirection Value) { buttons_->SetDirection(Value); }
  TOrientation Orientation() const { return buttons_->Orientation(); }
  virtual void SetOrientation(TOrientation Value);
  TBitmap* ButtonUpGlyph() const { return buttons_->GlyphUpRight(); }
  virtual void SetButtonUpGlyph(TBitmap* Value) { buttons_->SetGlyphUpRight(Value); }
  TBitmap* ButtonDownGlyph() const { return buttons_->GlyphDownLeft(); }
  virtual void SetButtonDownGlyph(TBitmap* Value) { buttons_->SetGlyphDownLeft(Value); }
  TNumGlyphs ButtonUpNumGlyphs() const { return buttons_->NumGlyphsUpRight(); }
  virtual void SetButtonUpNumGlyphs(TNumGlyphs Value) { buttons_->SetNumGlyphsUpRight(Value); }
  TNumGlyphs ButtonDownNumGlyphs() const { return buttons_->NumGlyphsDownLeft(); }
  virtual void SetButtonDownNumGlyphs(TNumGlyphs Value) { buttons_->SetNumGlyphsDownLeft(Value); }
  void SetFrameStyle(TFrameStyle Value) override;
  // The value rounded half to even (saturating at the 32-bit range).
  int32_t IntValue() { return GetIntValue(); }
  void SetIntValue(int32_t Value) { SetValue(Value); }

  const TSpinChangingEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(const TSpinChangingEvent& Value) { on_changing_ = Value; }
  const TSpinButtonEvent& OnButtonClick() const { return on_button_click_; }
  void SetOnButtonClick(const TSpinButtonEvent& Value) { on_button_click_ = Value; }

  TCvSpinButtons* Buttons() const { return buttons_; }
  // The up/right button for sbUp, the down/left one for sbDown.
  virtual TCvControlButton* SpinButton(TSpinButtonType ButtonType);

 protected:
  virtual void PlaceButtons();
  virtual void UpdateTextMargins();
  virtual bool AcceptsChar(char16_t Ch);
  virtual void UpButtonClicked(TObject* Sender);
  virtual void DownButtonClicked(TObject* Sender);
  virtual void IncValue(long double Amount);
  virtual void DecValue(long double Amount);
  virtual int32_t GetIntValue();
  virtual long double GetValue();
  virtual long double ClampValue(long double X);
  virtual void SetValue(long double X);
  virtual bool DoChanging(long double NewValue);
  virtual void DoButtonClick(TSpinButtonType Button);

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void SetHoverState(bool ByMouse, bool Inside) override;
  TRect EditAreaRect() override;
  void ReadOnlyChanged() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char16_t& Key) override;
  bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos) override;
  bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos) override;
  void Dispatch(TMessage& Message) override;
  void WMSize(TWMSize& Message) override;
  void CMEnter(TWMNoParams& Message) override;
  void CMExit(TWMNoParams& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void CMColorChanged(TWMNoParams& Message) override;

 private:
  void Step(long double Amount, TSpinButtonType Button);
  void SkipValue(TReader& Reader);

  TCvSpinButtons* buttons_ = nullptr;  // owned (as component) by the edit
  long double min_ = 0;
  long double max_ = 100;
  long double increment_ = 1;
  long double page_size_ = 10;
  bool check_range_ = false;
  uint8_t decimals_ = 0;
  bool integers_only_ = true;
  bool allow_blank_ = false;
  long double blank_value_ = 0;
  bool allow_key_edit_ = false;
  int32_t button_width_ = 17;
  TColor flat_button_color_ = clBtnFace;
  TSpinChangingEvent on_changing_;
  TSpinButtonEvent on_button_click_;
};

// Registers the spin edit and the spin buttons with the form loader.
void CvSpnEdtRegisterClasses();
