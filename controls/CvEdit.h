// The framed edit: the masked edit with state colours (disabled, focused, read-only, normal), a
// custom frame painted in the non-client area (a hot-track variant while the mouse is over it or
// it has the focus), a frame controller connection, tab on Enter, right alignment, and a drop
// button in the non-client area for descendants.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/CvCommon.h"
#include "platform/forms/Mask.h"

class TReader;

PX_EVENT_TYPE(TCvValidateFailureEvent, void(TObject* Sender, std::string& Message));

class TCvCustomEdit : public TCustomMaskEdit {
  PX_CLASS(TCvCustomEdit)
 public:
  explicit TCvCustomEdit(TComponent* AOwner);
  ~TCvCustomEdit() override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TLeftRight Alignment() const { return TCustomMaskEdit::Alignment(); }
  virtual void SetAlignment(TLeftRight Value);
  TColor DisabledColor() const { return disabled_color_; }
  virtual void SetDisabledColor(TColor Value);
  TColor FocusColor() const { return focus_color_; }
  virtual void SetFocusColor(TColor Value);
  TColor ReadOnlyColor() const { return read_only_color_; }
  virtual void SetReadOnlyColor(TColor Value);
  bool ReadOnlyColorOnFocus() const { return read_only_color_on_focus_; }
  void SetReadOnlyColorOnFocus(bool Value) { read_only_color_on_focus_ = Value; }
  bool ReadOnly() const { return IsReadOnly(); }
  void SetReadOnly(bool Value);
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor Value);
  TColor FrameHotColor() const { return frame_hot_color_; }
  virtual void SetFrameHotColor(TColor Value);
  TFrameStyle FrameHotStyle() const { return frame_hot_style_; }
  virtual void SetFrameHotStyle(TFrameStyle Value);
  bool FrameHotTrack() const { return frame_hot_track_; }
  virtual void SetFrameHotTrack(bool Value);
  TSides FrameSides() const { return frame_sides_; }
  virtual void SetFrameSides(TSides Value);
  TFrameStyle FrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(TFrameStyle Value);
  bool FrameVisible() const { return frame_visible_; }
  virtual void SetFrameVisible(bool Value);
  TFramingPreference FramingPreference() const { return framing_preference_; }
  virtual void SetFramingPreference(TFramingPreference Value);
  bool FlatButtons() const { return flat_buttons_; }
  virtual void SetFlatButtons(bool Value);
  TCvFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TCvFrameController* Value);
  TCvFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TCvFrameControllerNotifications Value) { notifications_ = Value; }
  bool TabOnEnter() const { return tab_on_enter_; }
  void SetTabOnEnter(bool Value) { tab_on_enter_ = Value; }

  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }
  const TNotifyEvent& OnDropButtonDown() const { return on_drop_button_down_; }
  void SetOnDropButtonDown(const TNotifyEvent& Value) { on_drop_button_down_ = Value; }
  const TNotifyEvent& OnDropButtonUp() const { return on_drop_button_up_; }
  void SetOnDropButtonUp(const TNotifyEvent& Value) { on_drop_button_up_ = Value; }
  const TCvValidateFailureEvent& OnValidateFailure() const { return on_validate_failure_; }
  void SetOnValidateFailure(const TCvValidateFailureEvent& Value) { on_validate_failure_ = Value; }

  // The colour the user chose (Color itself follows the state).
  TColor NormalColor() const { return normal_color_; }
  // The mouse is over the edit / the edit has the focus.
  bool MouseInControl() const { return over_control_; }
  bool InControl() const { return in_control_; }
  bool DropButtonVisible() const { return drop_button_visible_; }
  bool DropButtonDown() const { return drop_button_down_; }

  // Redraws the non-client area now.
  void RedrawNonClient();

 protected:
  // Sets Color from the state: disabled, focused, read-only or the normal colour.
  virtual void ApplyStateColor();
  virtual void SetHoverState(bool ByMouse, bool Inside);
  virtual void InvalidateFrame();
  virtual TRect EditAreaRect() { return ClientRect(); }
  virtual std::string DisplayText() { return Text(); }
  virtual void ReadOnlyEntered() {}
  virtual void ReadOnlyLeft() {}
  virtual void PaintDropButton(const TRect& R);
  virtual void SetDropButtonState(bool Down);
  virtual void SetDropButtonVisible(bool Value);
  virtual bool IsReadOnly() const { return TCustomMaskEdit::ReadOnly(); }
  virtual void ReadOnlyChanged();
  // The visual style frames the edit (never here: there are no visual styles).
  virtual bool ThemedFraming() { return false; }
  // Presses the drop button: OnDropButtonDown, then OnDropButtonUp, the button shown down meanwhile.
  void PressDropButton();
  void ReleaseDropButton();

  void CreateParams(TCreateParams& Params) override;
  // The edit's AutoSize is its font's height (AdjustHeight): its children do not size it.
  bool CanAutoSize(int32_t&, int32_t&) override { return false; }
  void ValidateError() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char16_t& Key) override;
  void WMNCPaint(TWMNCPaint& Message) override;
  void WMNCCalcSize(TWMNCCalcSize& Message) override;
  void WMNCHitTest(TWMNCHitTest& Message) override;
  void WMSize(TWMSize& Message) override;
  void WMKillFocus(TWMSetFocus& Message) override;
  void WMLButtonDown(TWMMouse& Message) override;
  void WMLButtonUp(TWMMouse& Message) override;
  void WMLButtonDblClk(TWMMouse& Message) override;
  void WMRButtonDown(TWMMouse& Message) override;
  void WMSetCursor(TWMSetCursor& Message) override;
  void CMColorChanged(TWMNoParams& Message) override;
  void CMParentColorChanged(TWMNoParams& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMEnter(TWMNoParams& Message) override;
  void CMExit(TWMNoParams& Message) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;

  bool ApplyingColor() const { return applying_color_; }
  // The drop button's strip in window coordinates.
  TRect DropButtonStrip();
  // A frame controller supplies the setting (so it is not stored).
  bool ControllerHandles(TCvFrameControllerProperty Property) const;

 private:
  // Obsolete stored properties of older form descriptions.
  void ReadFrameFlat(TReader& Reader);
  void ReadFrameFocusStyle(TReader& Reader);
  void SkipIdent(TReader& Reader);
  void TakeColor();

  std::unique_ptr<TControlCanvas> frame_canvas_;
  TColor normal_color_ = clWindow;
  bool applying_color_ = false;
  bool over_control_ = false;
  bool in_control_ = false;
  bool drop_button_visible_ = false;
  bool drop_button_down_ = false;
  bool dropped_down_ = false;
  bool over_button_ = false;
  TColor flat_button_face_ = clBtnFace;
  TColor disabled_color_ = clBtnFace;
  TColor focus_color_ = clWindow;
  TColor read_only_color_ = clInfoBk;
  bool read_only_color_on_focus_ = false;
  TColor frame_color_ = clBtnShadow;
  TColor frame_hot_color_ = clBtnShadow;
  TFrameStyle frame_hot_style_ = TFrameStyleEx::fsFlatBold;
  bool frame_hot_track_ = false;
  TSides frame_sides_ = AllSides;
  TFrameStyle frame_style_ = TFrameStyleEx::fsFlat;
  bool frame_visible_ = false;
  TFramingPreference framing_preference_ = fpXPThemes;
  bool flat_buttons_ = false;
  TCvFrameController* frame_controller_ = nullptr;  // not owned; cleared when it is freed
  TCvFrameControllerNotifications notifications_ = AllFrameControllerNotifications;
  bool tab_on_enter_ = false;
  TNotifyEvent on_mouse_enter_, on_mouse_leave_, on_drop_button_down_, on_drop_button_up_;
  TCvValidateFailureEvent on_validate_failure_;
};
