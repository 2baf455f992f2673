// The status pane: a windowless one-line text pane for a status bar, framed, sized to its caption
// when asked, blinking on the timer all panes share, and adapting its look to the bar it stands on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/CvCommon.h"
#include "platform/forms/Controls.h"

class TCvCustomStatusPane : public TGraphicControl, public ICvFramingClient {
  PX_CLASS(TCvCustomStatusPane)
 public:
  explicit TCvCustomStatusPane(TComponent* AOwner);
  ~TCvCustomStatusPane() override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The caption is the pane's own text: it holds whatever is written to it, whole.
  std::string GetText() const override { return caption_; }
  void SetText(const std::string& Value) override;
  void SetAutoSize(bool Value) override;
  // With AutoHint, a hint action's text becomes the caption (the action counts as handled).
  bool ExecuteAction(TBasicAction* Action) override;

  // The automatic width: DefaultWidth for an empty caption, else the caption's width (measured
  // whole) with the border, the caption offset and 6 pixels.
  virtual int32_t MeasureWidth();
  // The client rectangle inside the border and the frame.
  virtual void CaptionArea(TRect& R);
  virtual void PaintCaption(const std::string& Text);
  virtual void PaintFrame();
  void ApplyControllerFrame() override;
  // The text colour of one blink phase, shown at once.
  virtual void ShowBlinkPhase(bool Phase);
  // On a status bar that shows its grip: R's right edge reaches the bar's client right edge.
  bool ReachesSizeGrip(const TRect& R);

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(TAlignment Value);
  bool AutoHint() const { return auto_hint_; }
  void SetAutoHint(bool Value) { auto_hint_ = Value; }
  int32_t DefaultWidth() const { return default_width_; }
  virtual void SetDefaultWidth(int32_t Value);
  bool Blinking() const { return blinking_; }
  virtual void SetBlinking(bool Value);
  TColor BlinkColor() const { return blink_color_; }
  virtual void SetBlinkColor(TColor Value);
  // Shared by every pane.
  virtual uint16_t BlinkIntervalOff() const;
  virtual void SetBlinkIntervalOff(uint16_t Value);
  virtual uint16_t BlinkIntervalOn() const;
  virtual void SetBlinkIntervalOn(uint16_t Value);
  TBorderWidth BorderWidth() const { return border_width_; }
  virtual void SetBorderWidth(TBorderWidth Value);
  int32_t CaptionOffset() const { return caption_offset_; }
  virtual void SetCaptionOffset(int32_t Value);
  TColor FillColor() const { return fill_color_; }
  virtual void SetFillColor(TColor Value);
  bool ParentFillColor() const { return parent_fill_color_; }
  virtual void SetParentFillColor(bool Value);
  TColor FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int32_t Value);
  TFrameStyle FrameStyle() const { return frame_style_; }
  virtual void SetFrameStyle(TFrameStyle Value);
  TCvFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TCvFrameController* Value);
  TCvFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TCvFrameControllerNotifications Value) { notifications_ = Value; }
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  // The colour the caption is drawn in now (the blink colour during the on phase).
  TColor CurrentTextColor() const { return current_text_color_; }

  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }

 protected:
  void Paint() override;
  void AdjustSize() override;
  void Dispatch(TMessage& Message) override;
  void CMTextChanged(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void CMColorChanged(TWMNoParams& Message) override;
  void CMParentColorChanged(TWMNoParams& Message) override;
  void CMHitTest(TCMHitTest& Message) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;

 private:
  TAlignment alignment_ = taLeftJustify;
  bool auto_hint_ = false;
  int32_t default_width_ = 40;
  TColor blink_color_ = clHighlight;
  bool blinking_ = false;
  TColor normal_text_color_ = clWindowText;
  TBorderWidth border_width_ = 1;
  std::string caption_;
  int32_t caption_offset_ = 2;
  bool parent_fill_color_ = true;
  TColor fill_color_ = clWindow;
  TColor flat_color_ = clBtnShadow;
  int32_t flat_color_adjustment_ = 30;
  TFrameStyle frame_style_ = TFrameStyleEx::fsFlat;
  TCvFrameController* frame_controller_ = nullptr;  // not owned; cleared when it is freed
  TCvFrameControllerNotifications notifications_ = AllFrameControllerNotifications;
  bool transparent_ = true;
  TColor current_text_color_ = clWindowText;
  TNotifyEvent on_mouse_enter_, on_mouse_leave_;
};

class TCvStatusPane : public TCvCustomStatusPane {
  PX_CLASS(TCvStatusPane)
 public:
  explicit TCvStatusPane(TComponent* AOwner) : TCvCustomStatusPane(AOwner) {}
};

// Registers the status pane with the form loader.
void CvStatusRegisterClasses();
