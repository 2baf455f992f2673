// The bitmap button: a windowed button drawn from pictures (up, focused, disabled, pressed,
// latched and hot looks) with an optional caption, sized to its up picture, with a classic border
// or none (the parent shows through the pictures' transparent colour), latching in groups.
#pragma once

#include <cstdint>
#include <memory>

#include "controls/CvButton.h"
#include "platform/gdi/WinGdi.h"

// The bitmap button's group message: WParam the group index, LParam the sending button.
inline constexpr UINT CM_CVBMPBUTTONPRESSED = 9248;

enum class TButtonBorder : uint8_t { bbNone, bbSingle, bbButton };
using enum TButtonBorder;
enum class TBtnSize : uint8_t { bszNeither, bszButtonToBitmap, bszStretchToButton, bszTileToButton };
using enum TBtnSize;
PTypeInfo TypeInfo_TButtonBorder();
PTypeInfo TypeInfo_TBtnSize();
PTypeInfo TypeInfo_TButtonStyle();

// The six pictures of a bitmap button; any change fires OnChange.
class TCvButtonBitmaps : public TPersistent {
  PX_CLASS(TCvButtonBitmaps)
 public:
  TCvButtonBitmaps();
  ~TCvButtonBitmaps() override;
  void Assign(TPersistent* Source) override;

  TBitmap* Up() const { return up_.get(); }
  virtual void SetUp(TBitmap* Value) { up_->Assign(Value); }
  TBitmap* UpAndFocused() const { return up_and_focused_.get(); }
  virtual void SetUpAndFocused(TBitmap* Value) { up_and_focused_->Assign(Value); }
  TBitmap* Disabled() const { return disabled_.get(); }
  virtual void SetDisabled(TBitmap* Value) { disabled_->Assign(Value); }
  TBitmap* Down() const { return down_.get(); }
  virtual void SetDown(TBitmap* Value) { down_->Assign(Value); }
  TBitmap* StayDown() const { return stay_down_.get(); }
  virtual void SetStayDown(TBitmap* Value) { stay_down_->Assign(Value); }
  TBitmap* Hot() const { return hot_.get(); }
  virtual void SetHot(TBitmap* Value) { hot_->Assign(Value); }
  TColor TransparentColor() const { return transparent_color_; }
  virtual void SetTransparentColor(TColor Value);

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

 private:
  void BitmapChanged(TObject* Sender);

  std::unique_ptr<TBitmap> up_, up_and_focused_, disabled_, down_, stay_down_, hot_;
  TColor transparent_color_ = clOlive;
  TNotifyEvent on_change_;
};

class TCvBmpButton : public TCustomControl {
  PX_CLASS(TCvBmpButton)
 public:
  explicit TCvBmpButton(TComponent* AOwner);
  ~TCvBmpButton() override;

  void Loaded() override;
  // Sets the parent form's ModalResult to the button's (also 0), then OnClick.
  void Click() override;

  // 0 up, 1 disabled, 2 pressed, 3 latched.
  uint8_t State() const { return state_; }

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  bool AllowAllUp() const { return allow_all_up_; }
  virtual void SetAllowAllUp(bool Value);
  TButtonBorder ButtonBorder() const { return button_border_; }
  virtual void SetButtonBorder(TButtonBorder Value);
  TBtnSize ButtonSize() const { return button_size_; }
  virtual void SetButtonSize(TBtnSize Value);
  TButtonStyle ButtonStyle() const { return button_style_; }
  virtual void SetButtonStyle(TButtonStyle Value);
  TCvButtonBitmaps* Bitmaps() const { return bitmaps_.get(); }
  void SetBitmaps(TCvButtonBitmaps* Value) { bitmaps_->Assign(Value); }
  bool Down() const { return down_; }
  virtual void SetDown(bool Value);
  int32_t CaptionDownOffset() const { return caption_down_offset_; }
  virtual void SetCaptionDownOffset(int32_t Value);
  int32_t GroupIndex() const { return group_index_; }
  virtual void SetGroupIndex(int32_t Value);
  TButtonLayout Layout() const { return layout_; }
  virtual void SetLayout(TButtonLayout Value);
  // Values below -1 are ignored.
  int32_t Margin() const { return margin_; }
  virtual void SetMargin(int32_t Value);
  bool ShowDownPattern() const { return show_down_pattern_; }
  virtual void SetShowDownPattern(bool Value);
  bool ShowFocus() const { return show_focus_; }
  virtual void SetShowFocus(bool Value);
  int32_t Spacing() const { return spacing_; }
  virtual void SetSpacing(int32_t Value);
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult Value) { modal_result_ = Value; }

  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }

  // The new style: bsNew, or bsAutoDetect with the class library's new-style controls.
  bool NewStyle() const;
  // The shared down pattern (nullptr until a latched button with ShowDownPattern painted).
  static TBitmap* DownPattern();

 protected:
  void Paint() override;
  HPALETTE GetPalette() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Dispatch(TMessage& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMSetFocus& Message) override;
  void WMSize(TWMSize& Message) override;
  void WMLButtonDblClk(TWMMouse& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void CMTextChanged(TWMNoParams& Message) override;
  void CMSysColorChange(TWMNoParams& Message) override;
  void CMDialogChar(TWMKey& Message) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;

  // The caption's rectangle (T) and, with bszNeither, the picture's (A) inside A.
  void ComputeLayout(TRect& T, TRect& A, TBitmap* P);
  // The size rule: the button takes its up picture's size (and its border's).
  void AdjustToBitmap();
  void UpdateGroup();
  void FinishPress(bool Activate);
  // The disabled look made from the up picture: its marked shape embossed on clBtnFace.
  void MakeDisabledPicture(TBitmap* Result);

 private:
  void BitmapsChanged(TObject* Sender);
  // The state a press shows at (X, Y): inside counts the row below the client area.
  uint8_t PressStateAt(int32_t X, int32_t Y);
  void RepaintNow();

  int32_t group_index_ = 0;
  std::unique_ptr<TCvButtonBitmaps> bitmaps_;
  bool down_ = false;
  int32_t caption_down_offset_ = 1;
  bool tracking_ = false;
  bool allow_all_up_ = false;
  TButtonLayout layout_ = blGlyphLeft;
  int32_t spacing_ = 4;
  int32_t margin_ = -1;
  TButtonStyle button_style_ = TButtonStyle::bsAutoDetect;
  TButtonBorder button_border_ = bbNone;
  TBtnSize button_size_ = bszButtonToBitmap;
  bool show_focus_ = true;
  bool show_down_pattern_ = true;
  bool focused_ = false;
  TModalResult modal_result_ = mrNone;
  TNotifyEvent on_mouse_enter_, on_mouse_leave_;
  uint8_t state_ = 0;
  bool mouse_over_ = false;
};

// Registers the bitmap button with the form loader.
void CvBmpBtnRegisterClasses();
