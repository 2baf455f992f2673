// The check box and the radio button: a small state picture (the glyph) beside a word-wrapped
// caption, composed off screen over a cached copy of the background. The glyph comes from a
// strip of custom frames, the set's own hot-track glyphs, or the platform's classic pictures.
// Radio buttons of one parent are exclusive; check boxes have two or three states. Both can be
// read-only and take their colours from a frame controller.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "controls/CvButton.h"
#include "controls/CvCommon.h"

class TCvCustomGlyphButton : public TCvCustomButton, public ICvFramingClient {
  PX_CLASS(TCvCustomGlyphButton)
 public:
  explicit TCvCustomGlyphButton(TComponent* AOwner);
  ~TCvCustomGlyphButton() override;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void ApplyControllerFrame() override;

  TLeftRight Alignment() const { return alignment_; }
  virtual void SetAlignment(TLeftRight Value);
  virtual bool GetChecked() const { return false; }
  virtual void SetChecked(bool) {}
  bool Checked() const { return GetChecked(); }
  // The strip of custom frames side by side (assigned into the button's own bitmap).
  TBitmap* CustomGlyphs() const { return custom_glyphs_.get(); }
  virtual void SetCustomGlyphs(TBitmap* Value);
  TColor FillColor() const { return fill_color_; }
  virtual void SetFillColor(TColor Value);
  TColor FocusColor() const { return focus_color_; }
  virtual void SetFocusColor(TColor Value);
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor Value);
  TCvFrameController* FrameController() const { return frame_controller_; }
  virtual void SetFrameController(TCvFrameController* Value);
  TCvFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TCvFrameControllerNotifications Value) { notifications_ = Value; }
  bool UseCustomGlyphs() const { return use_custom_glyphs_; }
  virtual void SetUseCustomGlyphs(bool Value);
  TColor DisabledColor() const { return disabled_color_; }
  virtual void SetDisabledColor(TColor Value);
  bool ReadOnly() const { return read_only_; }
  virtual void SetReadOnly(bool Value);
  TColor ReadOnlyColor() const { return read_only_color_; }
  virtual void SetReadOnlyColor(TColor Value);
  bool ReadOnlyColorOnFocus() const { return read_only_color_on_focus_; }
  void SetReadOnlyColorOnFocus(bool Value) { read_only_color_on_focus_ = Value; }
  TColor TransparentColor() const { return transparent_color_; }
  virtual void SetTransparentColor(TColor Value);
  TColor WinMaskColor() const { return win_mask_color_; }
  virtual void SetWinMaskColor(TColor Value);
  bool TabOnEnter() const { return tab_on_enter_; }
  void SetTabOnEnter(bool Value) { tab_on_enter_ = Value; }
  TCvButtonHotTrackStyle HotTrackStyle() const { return hot_track_style_; }
  void SetHotTrackStyle(TCvButtonHotTrackStyle Value) { hot_track_style_ = Value; }
  void SetTransparent(bool Value) override;

  // While set, state changes raise no Click.
  bool ClicksDisabled() const { return clicks_disabled_; }
  void SetClicksDisabled(bool Value) { clicks_disabled_ = Value; }
  int32_t GlyphWidth() const { return glyph_width_; }
  int32_t GlyphHeight() const { return glyph_height_; }
  // Where the glyph stands in the client area.
  TRect GlyphRect();

 protected:
  // Draws the glyph of the present state into a bitmap of the glyph size.
  virtual void BuildGlyph(TBitmap* Bitmap) = 0;
  // Runs on the finished glyph of a transparent control.
  virtual void FinishTransparentGlyph(TBitmap*) {}
  // Builds the glyph and draws it at the glyph position (nullptr: on the control's canvas).
  virtual void DrawGlyphImage(TCanvas* ACanvas);
  // Frame Index of Strip (Width x Height cells side by side) into Dest. What lies beyond the
  // strip's right edge shows the transparent colour.
  virtual void ExtractGlyphFrame(int32_t Index, TBitmap* Dest, int32_t Width, int32_t Height, TBitmap* Strip);

  void Paint() override;
  void RefreshFace() override { PaintNow(); }
  void RepaintFace() override { PaintNow(); }
  TRect HotTrackBounds() override { return GlyphRect(); }
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyPress(char16_t& Key) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void WMSize(TWMSize& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMParentColorChanged(TWMNoParams& Message) override;
  // An action's Checked reaches Checked (unless defaults are checked and Checked is set).
  void ActionChange(TObject* Sender, bool CheckDefaults) override;
  TControlActionLinkClass GetActionLinkClass() override;

  // The glyph state: 0 normal, 1 pressed, 2 hot, 3 disabled.
  int32_t GlyphState() const;
  // The hot fill and hot frame colours from HotTrackColor.
  void HotColors(TColor& Fill, TColor& Frame) const;
  // The frame of the custom strip for the present state: Normal, and Step (pressed) or twice Step
  // (disabled) frames further.
  void BuildStripGlyph(TBitmap* Bitmap, int32_t Normal, int32_t Step);
  bool MousePress() const { return mouse_press_; }
  // What the glyph shows of the button's state (checked, or the check box's state).
  virtual int64_t GlyphValue() const = 0;
  void SetFrameCount(int32_t Value) { frame_count_ = Value; }
  void MarkBackgroundStale() { background_stale_ = true; }

 private:
  void PaintNow();
  void CaptureBackground();
  // Everything the built glyph depends on.
  std::vector<int64_t> GlyphKey();
  void StripChanged(TObject* Sender);

  TLeftRight alignment_ = taRightJustify;
  TColor frame_color_ = clBtnShadow;
  int32_t frame_count_ = 2;
  std::unique_ptr<TBitmap> custom_glyphs_;
  bool use_custom_glyphs_ = false;
  TColor transparent_color_ = clOlive;
  TColor win_mask_color_ = clLime;
  TColor fill_color_ = clWindow;
  TColor focus_color_ = clWindow;
  TColor disabled_color_ = clBtnFace;
  bool read_only_ = false;
  bool read_only_color_on_focus_ = false;
  TColor read_only_color_ = clInfoBk;
  int32_t glyph_width_ = 13;
  int32_t glyph_height_ = 13;
  bool tab_on_enter_ = false;
  TCvButtonHotTrackStyle hot_track_style_ = TCvButtonHotTrackStyle::htsInterior;
  TCvFrameController* frame_controller_ = nullptr;  // not owned; cleared when it is freed
  TCvFrameControllerNotifications notifications_ = AllFrameControllerNotifications;
  bool clicks_disabled_ = false;
  std::unique_ptr<TBitmap> background_;
  bool background_stale_ = true;
  bool mouse_press_ = false;
  std::unique_ptr<TBitmap> glyph_cache_;  // the last glyph built, for glyph_key_
  std::vector<int64_t> glyph_key_;
  // The glyph as drawn on an opaque control (it then depends on nothing but glyph_key_ and the
  // mask colour it was drawn with), kept so that repaints only copy it.
  std::unique_ptr<TBitmap> glyph_drawn_;
  TColor glyph_drawn_mask_ = clNone;
  uint64_t strip_version_ = 0;
  std::unique_ptr<TBitmap> off_;  // the off-screen picture of the last paint
};

// The link of a check box or radio button to its action: the action's Checked reaches the
// control's Checked without the control's Click.
class TCvCheckedActionLink : public TWinControlActionLink {
 public:
  // EInvalidCast "Invalid class typecast" unless the client is a check box or radio button.
  void AssignClient(TObject* AClient) override;
  bool IsCheckedLinked() override;
  void SetChecked(bool Value) override;

 protected:
  TCvCustomGlyphButton* glyph_client_ = nullptr;
};

// Whether the control's action link supplies its Checked (then Checked is not stored).
bool CheckedFromAction(TControl* Control);

// A radio button: checking it unchecks the other radio buttons of its parent.
class TCvRadioButton : public TCvCustomGlyphButton {
  PX_CLASS(TCvRadioButton)
 public:
  explicit TCvRadioButton(TComponent* AOwner);

  bool GetChecked() const override { return checked_; }
  void SetChecked(bool Value) override;
  // Shared by every radio button of the parent.
  void SetReadOnly(bool Value) override;

 protected:
  void BuildGlyph(TBitmap* Bitmap) override;
  int64_t GlyphValue() const override;
  void FinishTransparentGlyph(TBitmap* Bitmap) override;
  void ActivateButton() override;
  void Dispatch(TMessage& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void CMDialogChar(TWMKey& Message) override;
  void CMDialogKey(TWMKey& Message) override;

 private:
  bool checked_ = false;
};

// A check box of two states, or three with AllowGrayed.
class TCvCustomCheckBox : public TCvCustomGlyphButton {
  PX_CLASS(TCvCustomCheckBox)
 public:
  explicit TCvCustomCheckBox(TComponent* AOwner);

  bool GetChecked() const override { return state_ == cbChecked; }
  void SetChecked(bool Value) override { SetState(Value ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return allow_grayed_; }
  void SetAllowGrayed(bool Value) { allow_grayed_ = Value; }
  // Any state may be written (AllowGrayed only limits what a click does).
  TCheckBoxState State() const { return state_; }
  virtual void SetState(TCheckBoxState Value);

 protected:
  void BuildGlyph(TBitmap* Bitmap) override;
  int64_t GlyphValue() const override;
  void ActivateButton() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void DoExit() override;
  void CMDialogChar(TWMKey& Message) override;

 private:
  bool allow_grayed_ = false;
  TCheckBoxState state_ = cbUnchecked;
  bool key_toggle_ = false;
};

class TCvCheckBox : public TCvCustomCheckBox {
  PX_CLASS(TCvCheckBox)
 public:
  explicit TCvCheckBox(TComponent* AOwner) : TCvCustomCheckBox(AOwner) {}
};

// Registers the check box and the radio button with the form loader.
void CvRadChkRegisterClasses();
