// The container controls of the set: the panel (an outer frame, a border band and an inner
// frame on the chosen sides, a flat or gradient fill, a dot or line grid and a caption), the
// group box in six caption styles, and the status bar that holds status panes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/CvCommon.h"
#include "platform/forms/ExtCtrls.h"

class TReader;

// Scoped: the names clash with the group box styles.
enum class TCvGridStyle : uint8_t { gsDots, gsDottedLines, gsSolidLines };
enum class TCvGroupBoxStyle : uint8_t { gsStandard, gsCustom, gsTopLine, gsFlat, gsBanner, gsUnderline };
PTypeInfo TypeInfo_TCvGridStyle();
PTypeInfo TypeInfo_TCvGroupBoxStyle();

// =============================================================================================
// TCvCustomPanel

class TCvCustomPanel : public TCustomPanel, public ICvFramingClient {
  PX_CLASS(TCvCustomPanel)
 public:
  explicit TCvCustomPanel(TComponent* AOwner);
  ~TCvCustomPanel() override;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;

  // The cursor position in client coordinates.
  virtual TPoint CursorPosition();
  // R inset by the border width (when asked) and then, on the border sides, by the widths of the
  // outer and the inner frame.
  virtual void ShrinkRectByFrame(TRect& R, bool IncludeBorderWidth);
  // (0, 0, Width, Height).
  virtual TRect FullRect();
  // The colours of the gradient fill: the custom ones, or the scheme's.
  virtual void GetGradientColors(TColor& First, TColor& Second);
  virtual void PaintCaptionText(TRect R);
  virtual void PaintGridPattern(TRect R);
  void ApplyControllerFrame() override;

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  TAlignmentVertical AlignmentVertical() const { return alignment_vertical_; }
  virtual void SetAlignmentVertical(TAlignmentVertical Value);
  TColor BorderColor() const { return border_color_; }
  virtual void SetBorderColor(TColor Value);
  TFrameStyleEx BorderInner() const { return border_inner_; }
  virtual void SetBorderInner(TFrameStyleEx Value);
  TFrameStyleEx BorderOuter() const { return border_outer_; }
  virtual void SetBorderOuter(TFrameStyleEx Value);
  TSides BorderSides() const { return border_sides_; }
  virtual void SetBorderSides(TSides Value);
  TColor BorderHighlight() const { return border_highlight_; }
  virtual void SetBorderHighlight(TColor Value);
  TColor BorderShadow() const { return border_shadow_; }
  virtual void SetBorderShadow(TColor Value);
  TColor FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int32_t Value);
  TCvFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TCvFrameController* Value);
  TCvFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TCvFrameControllerNotifications Value) { notifications_ = Value; }
  TCvGradientColorStyle GradientColorStyle() const { return gradient_color_style_; }
  virtual void SetGradientColorStyle(TCvGradientColorStyle Value);
  TColor GradientColorStart() const { return gradient_color_start_; }
  virtual void SetGradientColorStart(TColor Value);
  TColor GradientColorStop() const { return gradient_color_stop_; }
  virtual void SetGradientColorStop(TColor Value);
  TGradientDirection GradientDirection() const { return gradient_direction_; }
  virtual void SetGradientDirection(TGradientDirection Value);
  TColor GridColor() const { return grid_color_; }
  virtual void SetGridColor(TColor Value);
  TCvGridStyle GridStyle() const { return grid_style_; }
  virtual void SetGridStyle(TCvGridStyle Value);
  uint16_t GridXSize() const { return grid_x_size_; }
  virtual void SetGridXSize(uint16_t Value);
  uint16_t GridYSize() const { return grid_y_size_; }
  virtual void SetGridYSize(uint16_t Value);
  bool ShowGrid() const { return show_grid_; }
  virtual void SetShowGrid(bool Value);
  // No fill: the panel no longer claims to be opaque, and its erase paints the parent's image
  // under it (with FullRepaint).
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  int32_t TextMargin() const { return text_margin_; }
  virtual void SetTextMargin(int32_t Value);
  bool WordWrap() const { return word_wrap_; }
  virtual void SetWordWrap(bool Value);
  TCvVisualStyle VisualStyle() const { return visual_style_; }
  virtual void SetVisualStyle(TCvVisualStyle Value);

  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }
  const TNotifyEvent& OnPaint() const { return on_paint_; }
  void SetOnPaint(const TNotifyEvent& Value) { on_paint_ = Value; }

 protected:
  void Paint() override;
  void AdjustClientRect(TRect& Rect) override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void Dispatch(TMessage& Message) override;
  void WMWindowPosChanged(TWMWindowPosMsg& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMControlChange(TCMControlChange& Message) override;
  // Realigns the children and repaints (the frame properties change the client area).
  void FrameChanged();
  // How many children have their enabled state remembered.
  size_t RememberedChildStates() const { return child_states_.size(); }

  TAlignmentVertical alignment_vertical_ = avCenter;
  TColor border_color_ = clBtnFace;
  TFrameStyleEx border_inner_ = TFrameStyleEx::fsNone;
  TFrameStyleEx border_outer_ = TFrameStyleEx::fsRaised;
  TSides border_sides_ = AllSides;
  TColor border_highlight_ = clBtnHighlight;
  TColor border_shadow_ = clBtnShadow;
  TColor flat_color_ = clBtnShadow;
  int32_t flat_color_adjustment_ = 30;
  TCvVisualStyle visual_style_ = vsWinXP;
  TCvGradientColorStyle gradient_color_style_ = gcsSystem;
  TColor gradient_color_start_ = clWhite;
  TColor gradient_color_stop_ = clBtnFace;
  TGradientDirection gradient_direction_ = TGradientDirection::gdHorizontalEnd;
  bool transparent_ = false;

 private:
  // Obsolete stored properties of older form descriptions.
  void SkipSet(TReader& Reader);
  void SkipBoolean(TReader& Reader);
  void ReadUseGradients(TReader& Reader);

  TCvFrameController* frame_controller_ = nullptr;  // not owned; cleared when it is freed
  TCvFrameControllerNotifications notifications_ = AllFrameControllerNotifications;
  TColor grid_color_ = clBtnShadow;
  TCvGridStyle grid_style_ = TCvGridStyle::gsDots;
  uint16_t grid_x_size_ = 8;
  uint16_t grid_y_size_ = 8;
  bool show_grid_ = false;
  int32_t text_margin_ = 0;
  bool word_wrap_ = true;
  // While the panel is disabled: whether each child was enabled before. An entry goes when its
  // child leaves the panel or is freed.
  std::vector<std::pair<TControl*, bool>> child_states_;
  TNotifyEvent on_mouse_enter_, on_mouse_leave_, on_paint_;
};

class TCvPanel : public TCvCustomPanel {
  PX_CLASS(TCvPanel)
 public:
  explicit TCvPanel(TComponent* AOwner) : TCvCustomPanel(AOwner) {}
};

// =============================================================================================
// Group boxes

class TCvCustomGroupBox : public TCvCustomPanel {
  PX_CLASS(TCvCustomGroupBox)
 public:
  explicit TCvCustomGroupBox(TComponent* AOwner);

  TCvGroupBoxStyle GroupStyle() const { return group_style_; }
  virtual void SetGroupStyle(TCvGroupBoxStyle Value);
  // Only the custom style takes a frame controller's settings.
  void ApplyControllerFrame() override;

 protected:
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;
  void CMDialogChar(TWMKey& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;

 private:
  TCvGroupBoxStyle group_style_ = TCvGroupBoxStyle::gsFlat;
};

class TCvGroupBox : public TCvCustomGroupBox {
  PX_CLASS(TCvGroupBox)
 public:
  explicit TCvGroupBox(TComponent* AOwner) : TCvCustomGroupBox(AOwner) {}
};

// =============================================================================================
// The status bar

// A panel docked at the bottom of a form that holds status panes: an automatic look, a simple
// mode that hides the panes and shows one caption, a size grip that resizes the form, and panes
// rescaled with the bar's width.
class TCvStatusBar : public TCvCustomPanel {
  PX_CLASS(TCvStatusBar)
 public:
  explicit TCvStatusBar(TComponent* AOwner);
  ~TCvStatusBar() override;

  void Loaded() override;
  void WndProc(TMessage& Message) override;
  void GetGradientColors(TColor& First, TColor& Second) override;
  void SetBorderInner(TFrameStyleEx Value) override;
  void SetBorderOuter(TFrameStyleEx Value) override;
  void SetBorderSides(TSides Value) override;

  virtual void PaintSimpleFrame(TRect R);
  // No frames, all sides, 19 high, no border band; AutoStyle keeps its value.
  virtual void ApplyAutoStyle();

  bool AutoScalePanes() const { return auto_scale_panes_; }
  void SetAutoScalePanes(bool Value) { auto_scale_panes_ = Value; }
  bool AutoStyle() const { return auto_style_; }
  void SetAutoStyle(bool Value) { auto_style_ = Value; }
  bool ShowSizeGrip() const { return show_size_grip_; }
  virtual void SetShowSizeGrip(bool Value);
  const std::string& SimpleCaption() const { return simple_caption_; }
  virtual void SetSimpleCaption(const std::string& Value);
  TFrameStyle SimpleFrameStyle() const { return simple_frame_style_; }
  virtual void SetSimpleFrameStyle(TFrameStyle Value);
  bool SimpleStatus() const { return simple_status_; }
  virtual void SetSimpleStatus(bool Value);

  // The rightmost 13 pixels.
  TRect SizeGripRect() { return TRect(Width() - 13, 0, Width(), Height()); }
  // The grip shows: the bar is on a sizeable form that is not maximised.
  bool SizeGripAllowed() const { return grip_allowed_; }

 protected:
  void CreateWnd() override;
  TRect GetClientRect() override;
  void Paint() override;
  void Resize() override;
  void WMPaint(TWMPaint& Message) override;
  void WMSetCursor(TWMSetCursor& Message) override;

 private:
  void UpdateSizeGripAllowed();
  void PaintSizeGrip(const TRect& R);

  std::unique_ptr<TControlCanvas> grip_canvas_;
  bool auto_scale_panes_ = false;
  bool auto_style_ = true;
  bool show_size_grip_ = true;
  std::string simple_caption_;
  TFrameStyle simple_frame_style_ = TFrameStyleEx::fsFlat;
  bool simple_status_ = false;
  bool grip_allowed_ = false;
  bool first_resize_ = true;
  int32_t width_change_ = 0;
  int32_t last_width_ = 0;
};

// Registers the panel, group box and status bar with the form loader.
void CvPanelRegisterClasses();
