// The buttons of the control set: the windowed button base (press tracking, hot tracking, the
// transparent background and 3-D captions) with the owner-drawn push button, and the windowless
// tool button (an image list's image with an optional caption, three looks, latching groups and
// a drop-down menu) and control button (an arrow, a drop-down chevron or a glyph, repeating while
// held).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "controls/CvCommon.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Menus.h"
#include "platform/gdi/ImgList.h"

class TReader;

// The push button's group message: WParam the group index, LParam the sending button.
inline constexpr UINT CM_CVBUTTONPRESSED = 9249;

// =============================================================================================
// TCvCustomButton

class TCvCustomButton : public TCustomControl {
  PX_CLASS(TCvCustomButton)
 public:
  explicit TCvCustomButton(TComponent* AOwner);

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  TAlignmentVertical AlignmentVertical() const { return alignment_vertical_; }
  virtual void SetAlignmentVertical(TAlignmentVertical Value);
  bool HotTrack() const { return hot_track_; }
  virtual void SetHotTrack(bool Value);
  TColor HighlightColor() const { return highlight_color_; }
  virtual void SetHighlightColor(TColor Value);
  TColor HotTrackColor() const { return hot_track_color_; }
  void SetHotTrackColor(TColor Value);
  TCvHotTrackColorType HotTrackColorType() const { return hot_track_color_type_; }
  void SetHotTrackColorType(TCvHotTrackColorType Value);
  bool LightTextStyle() const { return light_text_style_; }
  virtual void SetLightTextStyle(bool Value);
  TTextStyle TextStyle() const { return text_style_; }
  virtual void SetTextStyle(TTextStyle Value);
  TColor TextHighlightColor() const { return text_highlight_color_; }
  virtual void SetTextHighlightColor(TColor Value);
  TColor TextShadowColor() const { return text_shadow_color_; }
  virtual void SetTextShadowColor(TColor Value);
  int32_t TextShadowDepth() const { return text_shadow_depth_; }
  virtual void SetTextShadowDepth(int32_t Value);
  bool ThemeAware() const { return theme_aware_; }
  virtual void SetThemeAware(bool Value);
  // The parent's image is painted under the button (its erase).
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);

  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }

  // The face is drawn pressed (the mouse held inside, or the space bar held).
  bool ShowPressed() const { return show_pressed_; }
  // The mouse is over the button.
  bool MouseOver() const { return mouse_over_; }

 protected:
  // Redraws the face after the pressed state changed (the base does nothing).
  virtual void RefreshFace() {}
  // Repaints at once (the focus came or went).
  virtual void RepaintFace() { Repaint(); }
  // What the mouse entering or leaving invalidates.
  virtual TRect HotTrackBounds() { return ClientRect(); }
  // The caption into Rect: placed by AlignmentVertical, in the text style, embossed when
  // disabled; right-aligned text (DT_RIGHT) stands TextShadowDepth left of the edge.
  virtual void DrawCaptionText(TCanvas* ACanvas, TRect Rect, UINT Flags);
  // The rectangle the caption itself is drawn in by DrawCaptionText.
  TRect CaptionBounds(TCanvas* ACanvas, TRect Rect, UINT Flags);
  // What a completed press does.
  virtual void ActivateButton() = 0;

  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMSetFocus& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMTextChanged(TWMNoParams& Message) override;

  void SetShowPressed(bool Value) { show_pressed_ = Value; }
  bool Pressed() const { return pressed_; }
  // Reads the obsolete stored Boolean into HotTrack.
  void ReadHotTrack(TReader& Reader);

 private:
  void InvalidateHotTrackBounds();

  TAlignmentVertical alignment_vertical_ = avCenter;
  TColor hot_track_color_ = static_cast<TColor>(0x149BF0);
  TCvHotTrackColorType hot_track_color_type_ = htctActual;
  TColor highlight_color_ = clHighlight;
  bool light_text_style_ = false;
  TTextStyle text_style_ = TTextStyle::tsNormal;
  TColor text_highlight_color_ = clBtnHighlight;
  TColor text_shadow_color_ = clBtnShadow;
  int32_t text_shadow_depth_ = 2;
  TNotifyEvent on_mouse_enter_, on_mouse_leave_;
  bool pressed_ = false;
  bool hot_track_ = false;
  bool mouse_over_ = false;
  bool show_pressed_ = false;
  bool transparent_ = false;
  bool theme_aware_ = true;
};

// =============================================================================================
// TCvButton: the push button

class TCvButton : public TCvCustomButton {
  PX_CLASS(TCvButton)
 public:
  explicit TCvButton(TComponent* AOwner);

  // Sets the parent form's ModalResult to the button's (also 0), then OnClick.
  void Click() override;

  TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(TAlignment Value);
  bool Default() const { return default_; }
  virtual void SetDefault(bool Value);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool Value) { cancel_ = Value; }
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult Value) { modal_result_ = Value; }
  bool AllowAllUp() const { return allow_all_up_; }
  virtual void SetAllowAllUp(bool Value);
  // Latched down; only a grouped button can be.
  bool Down() const { return down_; }
  virtual void SetDown(bool Value);
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor Value);
  int32_t GroupIndex() const { return group_index_; }
  virtual void SetGroupIndex(int32_t Value);
  bool ShowDownPattern() const { return show_down_pattern_; }
  virtual void SetShowDownPattern(bool Value);
  bool ShowFocusRect() const { return show_focus_rect_; }
  virtual void SetShowFocusRect(bool Value);
  bool DropDownOnEnter() const { return drop_down_on_enter_; }
  void SetDropDownOnEnter(bool Value) { drop_down_on_enter_ = Value; }
  void SetHotTrack(bool Value) override;

  // The button looks like the default one (Enter clicks it).
  bool Active() const { return active_; }
  // A click raised by Enter runs while DropDownOnEnter is False.
  bool EnterClicking() const { return enter_flag_; }

 protected:
  // The client rectangle shrunk by 5, moved by (1, 1) in the pressed classic look.
  virtual void CaptionRect(TRect& R);
  virtual void DrawCaption();
  // 8 x 8 in Color with every pixel of equal column and row parity silver (grey on silver).
  virtual void MakeDownPattern(TBitmap* Bitmap);

  void RefreshFace() override { Invalidate(); }
  void ActivateButton() override;
  void Paint() override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void WMKillFocus(TWMSetFocus& Message) override;
  void CMDialogKey(TWMKey& Message) override;
  void CMDialogChar(TWMKey& Message) override;
  void CMFocusChanged(TCMFocusChanged& Message) override;

 private:
  // Broadcasts CM_CVBUTTONPRESSED to the parent's controls (grouped buttons only).
  void NotifyGroup();
  void SetActive(bool Value);
  // Drawn pressed: latched (in a group) or held.
  bool DrawnPressed() const;
  void PaintHotTrackFace(TRect R);
  void PaintClassicFace(TRect& R);
  void PaintHotCorners(const TRect& R);
  void PaintHotFrame(const TRect& R, bool Enabled);
  void PaintHotFace(const TRect& R);

  TAlignment alignment_ = taCenter;
  bool clicking_ = false;
  bool default_ = false;
  bool cancel_ = false;
  bool active_ = false;
  TModalResult modal_result_ = mrNone;
  bool space_flag_ = false;
  bool allow_all_up_ = false;
  bool down_ = false;
  int32_t group_index_ = 0;
  bool show_down_pattern_ = true;
  bool show_focus_rect_ = true;
  bool drop_down_on_enter_ = true;
  TColor frame_color_ = cl3DDkShadow;
  uint8_t latch_state_ = 0;  // 0 up, 3 latched
  bool enter_flag_ = false;
};

// =============================================================================================
// TCvToolButton

enum class TCvToolStyle : uint8_t { tsButton, tsDropDown };
PTypeInfo TypeInfo_TCvToolStyle();
PTypeInfo TypeInfo_TButtonLayout();

// Side of the picture against the caption.
enum class TButtonLayout : uint8_t { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
using enum TButtonLayout;

class TCvToolButton;

// The link of a tool button to its action: the action's Checked follows Down and its ImageIndex
// the button's ImageIndex.
class TCvToolButtonActionLink : public TControlActionLink {
 public:
  // EInvalidCast "Invalid class typecast" unless the client is a tool button.
  void AssignClient(TObject* AClient) override;
  bool IsCheckedLinked() override;
  bool IsImageIndexLinked() override;
  void SetChecked(bool Value) override;
  void SetImageIndex(int32_t Value) override;

 protected:
  TCvToolButton* button_ = nullptr;
};

class TCvToolButton : public TGraphicControl {
  PX_CLASS(TCvToolButton)
 public:
  explicit TCvToolButton(TComponent* AOwner);
  ~TCvToolButton() override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void SetParent(TWinControl* AParent) override;
  // A drop-down button clicks only while its click is armed.
  void Click() override;

  // The state: 0 up, 1 disabled, 2 pressed, 3 latched, 4 menu dropped.
  uint8_t State() const { return state_; }
  bool Hot() const { return hot_; }
  bool MenuShowing() const { return menu_showing_; }

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  bool AllowAllUp() const { return allow_all_up_; }
  virtual void SetAllowAllUp(bool Value);
  TCvGradientColorStyle GradientColorStyle() const { return gradient_color_style_; }
  virtual void SetGradientColorStyle(TCvGradientColorStyle Value);
  TColor SelectionColorStart() const { return selection_color_start_; }
  virtual void SetSelectionColorStart(TColor Value);
  TColor SelectionColorStop() const { return selection_color_stop_; }
  virtual void SetSelectionColorStop(TColor Value);
  TColor SelectionFrameColor() const { return selection_frame_color_; }
  virtual void SetSelectionFrameColor(TColor Value);
  bool Down() const { return down_; }
  virtual void SetDown(bool Value);
  TPopupMenu* DropDownMenu() const { return drop_down_menu_; }
  virtual void SetDropDownMenu(TPopupMenu* Value);
  bool Flat() const { return flat_; }
  virtual void SetFlat(bool Value);
  int32_t GroupIndex() const { return group_index_; }
  virtual void SetGroupIndex(int32_t Value);
  int32_t HotIndex() const { return hot_index_; }
  virtual void SetHotIndex(int32_t Value);
  int32_t ImageIndex() const { return image_index_; }
  virtual void SetImageIndex(int32_t Value);
  int32_t DownIndex() const { return down_index_; }
  virtual void SetDownIndex(int32_t Value);
  int32_t DisabledIndex() const { return disabled_index_; }
  virtual void SetDisabledIndex(int32_t Value);
  TCustomImageList* Images() const { return images_; }
  virtual void SetImages(TCustomImageList* Value);
  bool UseToolbarButtonLayout() const { return use_toolbar_button_layout_; }
  virtual void SetUseToolbarButtonLayout(bool Value);
  TButtonLayout Layout() const { return layout_; }
  virtual void SetLayout(TButtonLayout Value);
  bool UseToolbarButtonSize() const { return use_toolbar_button_size_; }
  virtual void SetUseToolbarButtonSize(bool Value);
  bool UseToolbarShowCaption() const { return use_toolbar_show_caption_; }
  virtual void SetUseToolbarShowCaption(bool Value);
  bool ShowCaption() const { return show_caption_; }
  virtual void SetShowCaption(bool Value);
  TCvToolStyle ToolStyle() const { return tool_style_; }
  virtual void SetToolStyle(TCvToolStyle Value);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  bool UseToolbarVisualStyle() const { return use_toolbar_visual_style_; }
  virtual void SetUseToolbarVisualStyle(bool Value);
  TCvVisualStyle VisualStyle() const { return visual_style_; }
  virtual void SetVisualStyle(TCvVisualStyle Value);
  // Width and Height through their own accessors: a change made outside loading clears
  // UseToolbarButtonSize.
  int32_t GetWidth() const { return Width(); }
  virtual void SetButtonWidth(int32_t Value);
  int32_t GetHeight() const { return Height(); }
  virtual void SetButtonHeight(int32_t Value);

  const TNotifyEvent& OnDropDown() const { return on_drop_down_; }
  void SetOnDropDown(const TNotifyEvent& Value) { on_drop_down_ = Value; }
  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }

 protected:
  // Picks up the tool-bar container's caption visibility, layout, size and visual style (there
  // is no such container here: nothing changes).
  virtual void ApplyToolbarStyles();
  // Draws the face; R becomes the area inside any frame.
  virtual void DrawFace(TRect& R);
  virtual void DrawImage(const TRect& R);
  virtual void DrawDropDownSection();
  virtual void DrawCaption(const TRect& R);
  // Shows the drop-down menu below the button and returns when it closed.
  virtual void DropDown();
  virtual void GetImageSize(TPoint& Size);
  virtual void CalcLayout(TRect& ImageRect, TRect& CaptionRect);

  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Dispatch(TMessage& Message) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;
  void CMTextChanged(TWMNoParams& Message) override;
  // An action gives its Checked to Down and its ImageIndex to ImageIndex.
  void ActionChange(TObject* Sender, bool CheckDefaults) override;
  TControlActionLinkClass GetActionLinkClass() override;
  // Into an action: Checked from Down, ImageIndex from ImageIndex.
  void AssignTo(TPersistent* Dest) override;

 private:
  bool FlatLook() const { return visual_style_ != vsClassic || flat_; }
  // A drop-down button that also clicks (OnClick set): its arrow section drops the menu.
  bool IsSplit() const;
  void NotifyGroup();
  void CMButtonPressed(TCMButtonPressed& Message);
  void CMDialogChar(TWMKey& Message);
  void ImageListChange(TObject* Sender);
  void FitToImages();
  void UpdateHotState();
  void GradientColors(TColor& Frame, TColor& Start, TColor& Stop) const;
  void DrawArrow();
  // Obsolete stored properties.
  void SkipBoolean(TReader& Reader);
  void ReadGradientColorStart(TReader& Reader);
  void ReadGradientColorStop(TReader& Reader);
  void ReadFrameColor(TReader& Reader);
  void ReadUseGradients(TReader& Reader);

  bool allow_all_up_ = false;
  bool down_ = false;
  bool pressed_ = false;
  bool flat_ = true;
  int32_t group_index_ = 0;
  int32_t image_index_ = -1;
  int32_t down_index_ = -1;
  int32_t disabled_index_ = -1;
  int32_t hot_index_ = -1;
  TCustomImageList* images_ = nullptr;  // not owned; cleared when it is freed
  std::unique_ptr<TChangeLink> image_change_link_;
  TButtonLayout layout_ = blGlyphLeft;
  bool hot_ = false;
  TPopupMenu* drop_down_menu_ = nullptr;  // not owned; cleared when it is freed
  uint32_t last_drop_time_ = 0;
  bool click_armed_ = true;
  TCvToolStyle tool_style_ = TCvToolStyle::tsButton;
  bool show_caption_ = false;
  bool transparent_ = true;
  bool menu_showing_ = false;
  TCvVisualStyle visual_style_ = vsWinXP;
  TCvGradientColorStyle gradient_color_style_ = gcsSystem;
  TColor selection_color_start_ = clBtnFace;
  TColor selection_color_stop_ = clBtnShadow;
  TColor selection_frame_color_ = cl3DDkShadow;
  bool use_toolbar_button_layout_ = true;
  bool use_toolbar_button_size_ = true;
  bool use_toolbar_show_caption_ = true;
  bool use_toolbar_visual_style_ = true;
  TNotifyEvent on_drop_down_, on_mouse_enter_, on_mouse_leave_;
  uint8_t state_ = 0;
};

// =============================================================================================
// TCvControlButton

enum class TCvControlButtonStyle : uint8_t { cbsNone, cbsLeft, cbsUp, cbsRight, cbsDown, cbsDropDown };
using enum TCvControlButtonStyle;
PTypeInfo TypeInfo_TCvControlButtonStyle();
// Cells of a glyph: 1..4.
using TNumGlyphs = int32_t;

class TCvControlButton : public TGraphicControl {
  PX_CLASS(TCvControlButton)
 public:
  explicit TCvControlButton(TComponent* AOwner);
  ~TCvControlButton() override;

  // OnClick (or the action), as a press does.
  void Click() override { TGraphicControl::Click(); }

  bool Flat() const { return flat_; }
  virtual void SetFlat(bool Value);
  // Cells side by side: the first at rest, the second when disabled.
  TBitmap* Glyph() const { return glyph_.get(); }
  virtual void SetGlyph(TBitmap* Value);
  TNumGlyphs NumGlyphs() const { return num_glyphs_; }
  virtual void SetNumGlyphs(TNumGlyphs Value);
  bool RepeatClicks() const { return repeat_clicks_; }
  void SetRepeatClicks(bool Value) { repeat_clicks_ = Value; }
  uint16_t InitialDelay() const { return initial_delay_; }
  void SetInitialDelay(uint16_t Value) { initial_delay_ = Value; }
  uint16_t Delay() const { return delay_; }
  void SetDelay(uint16_t Value) { delay_ = Value; }
  TCvControlButtonStyle Style() const { return style_; }
  virtual void SetStyle(TCvControlButtonStyle Value);

  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }

  // Drawn pressed.
  bool IsDown() const { return down_; }
  bool Hot() const { return mouse_over_; }

 protected:
  virtual void DrawPlainFace(TRect& R);
  virtual void DrawArrowFace(TRect& R);
  virtual void DrawDropDownFace(TRect& R);
  virtual void DrawGlyph(const TRect& R);
  // One cell of the glyph.
  virtual void GetGlyphSize(TPoint& Size);

  void Paint() override;
  HPALETTE GetPalette() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;

 private:
  // Down, or hot while enabled, or at design time.
  bool Active() const;
  void GlyphChanged(TObject* Sender);
  void TimerExpired(TObject* Sender);
  void UpdateHotState();
  // The pressed or raised frame of an arrow or drop-down face; R becomes its inside, filled.
  void DrawButtonFrame(TRect& R, TColor RaisedFill);

  bool down_ = false;
  bool pressed_ = false;
  bool flat_ = false;
  bool mouse_over_ = false;
  std::unique_ptr<TBitmap> glyph_;
  TNumGlyphs num_glyphs_ = 1;
  bool repeat_clicks_ = false;
  std::unique_ptr<TTimer> repeat_timer_;
  uint16_t initial_delay_ = 400;
  uint16_t delay_ = 100;
  TCvControlButtonStyle style_ = cbsNone;
  TNotifyEvent on_mouse_enter_, on_mouse_leave_;
};

// Registers the buttons with the form loader.
void CvButtonRegisterClasses();
