// The track bar: a filled, framed track with an optional selection band and tick marks, and a
// thumb drawn from pictures through a mask. The thumb is dragged, pages on presses on the track
// (repeating while held), steps with the keys and is hot under the mouse. To move the thumb
// without repainting the whole control the bar keeps an off-screen copy of its background.
//
// Positions and their products are worked out in 64 bits, so that any 32-bit range works.
#pragma once

#include <cstdint>
#include <memory>

#include "controls/CvCommon.h"
#include "platform/forms/Controls.h"

enum class TThumbStyle : uint8_t { tsBox, tsCustom, tsMixer, tsPointer, tsFlat, tsXPPointer, tsXPBox };
enum class TPointerType : uint8_t { ptStandard, ptWin95 };
using enum TPointerType;
enum class TTickStyle : uint8_t { tkStandard, tkOwnerDraw };
using enum TTickStyle;
PTypeInfo TypeInfo_TThumbStyle();
PTypeInfo TypeInfo_TPointerType();
PTypeInfo TypeInfo_TTickStyle();

class TCvTrackBar;
PX_EVENT_TYPE(TDrawTickEvent, void(TCvTrackBar* TrackBar, TCanvas* Canvas, TPoint Location, int32_t Index));

class TCvTrackBar : public TCustomControl {
  PX_CLASS(TCvTrackBar)
 public:
  explicit TCvTrackBar(TComponent* AOwner);
  ~TCvTrackBar() override;

  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  // Copied into the bar's own bitmap, which makes ThumbStyle tsCustom: three frames side by
  // side, the thumb, its mask and the disabled thumb.
  TBitmap* CustomThumb() const { return custom_thumb_.get(); }
  virtual void SetCustomThumb(TBitmap* Value);
  TColor HighlightColor() const { return highlight_color_; }
  virtual void SetHighlightColor(TColor Value);
  TColor HotTrackColor() const { return hot_track_color_; }
  virtual void SetHotTrackColor(TColor Value);
  TCvHotTrackColorType HotTrackColorType() const { return hot_track_color_type_; }
  virtual void SetHotTrackColorType(TCvHotTrackColorType Value);
  int32_t Max() const { return max_; }
  virtual void SetMax(int32_t Value);
  int32_t Min() const { return min_; }
  virtual void SetMin(int32_t Value);
  TOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TOrientation Value);
  uint16_t PageSize() const { return page_size_; }
  void SetPageSize(uint16_t Value) { page_size_ = Value; }
  TPointerType PointerType() const { return pointer_type_; }
  virtual void SetPointerType(TPointerType Value);
  int32_t Position() const { return position_; }
  // The only way the position changes: clamped to the range; nothing for an equal value; an
  // OnChanging veto keeps it; otherwise the thumb moves at once and OnChange follows.
  virtual void SetPosition(int32_t Value);
  int32_t SelStart() const { return sel_start_; }
  virtual void SetSelStart(int32_t Value);
  int32_t SelEnd() const { return sel_end_; }
  virtual void SetSelEnd(int32_t Value);
  TColor SelColor() const { return sel_color_; }
  virtual void SetSelColor(TColor Value);
  bool ShowFocusRect() const { return show_focus_rect_; }
  void SetShowFocusRect(bool Value) { show_focus_rect_ = Value; }
  bool ShowTicks() const { return show_ticks_; }
  virtual void SetShowTicks(bool Value);
  bool TabOnEnter() const { return tab_on_enter_; }
  void SetTabOnEnter(bool Value) { tab_on_enter_ = Value; }
  TThumbStyle ThumbStyle() const { return thumb_style_; }
  virtual void SetThumbStyle(TThumbStyle Value);
  TColor TickColor() const { return tick_color_; }
  virtual void SetTickColor(TColor Value);
  TPositiveInteger TickStep() const { return tick_step_; }
  virtual void SetTickStep(TPositiveInteger Value);
  TTickStyle TickStyle() const { return tick_style_; }
  virtual void SetTickStyle(TTickStyle Value);
  TColor TrackColor() const { return track_color_; }
  virtual void SetTrackColor(TColor Value);
  uint16_t TrackOffset() const { return track_offset_; }
  virtual void SetTrackOffset(uint16_t Value);
  TFrameStyle TrackFrame() const { return track_frame_; }
  virtual void SetTrackFrame(TFrameStyle Value);
  TColor TrackFrameColor() const { return track_frame_color_; }
  virtual void SetTrackFrameColor(TColor Value);
  // At least 4.
  uint16_t TrackWidth() const { return track_width_; }
  virtual void SetTrackWidth(uint16_t Value);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TPositionChangingEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(const TPositionChangingEvent& Value) { on_changing_ = Value; }
  const TDrawTickEvent& OnDrawTick() const { return on_draw_tick_; }
  void SetOnDrawTick(const TDrawTickEvent& Value) { on_draw_tick_ = Value; }
  const TNotifyEvent& OnMouseEnter() const { return on_mouse_enter_; }
  void SetOnMouseEnter(const TNotifyEvent& Value) { on_mouse_enter_ = Value; }
  const TNotifyEvent& OnMouseLeave() const { return on_mouse_leave_; }
  void SetOnMouseLeave(const TNotifyEvent& Value) { on_mouse_leave_ = Value; }

  // The thumb and the track as last drawn (client coordinates).
  TRect ThumbRect() const { return thumb_rect_; }
  TRect TrackRect() const { return track_rect_; }
  // The thumb's pictures as loaded (normal, hot, disabled, mask).
  TBitmap* ThumbImage() const { return normal_.get(); }
  TBitmap* ThumbHotImage() const { return hot_.get(); }
  TBitmap* ThumbDisabledImage() const { return disabled_.get(); }
  TBitmap* ThumbMask() const { return mask_.get(); }
  bool Dragging() const { return dragging_; }
  bool Paging() const { return paging_; }
  bool ThumbHot() const { return thumb_hot_; }

 protected:
  virtual void DrawTrack(TCanvas* ACanvas);
  virtual void DrawSelection(TCanvas* ACanvas);
  virtual void DrawTicks(TCanvas* ACanvas);
  virtual void DrawThumb(TCanvas* ACanvas);
  virtual bool CanChangePosition(int32_t) { return true; }
  virtual void DoChange();
  virtual bool DoChanging(int32_t NewPos);
  virtual void DoDrawTick(TCanvas* ACanvas, TPoint Location, int32_t Index);

  void Paint() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char16_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMSetFocus& Message) override;
  void WMSetCursor(TWMSetCursor& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;
  void WMSize(TWMSize& Message) override;
  void CMEnabledChanged(TWMNoParams& Message) override;
  void CMParentColorChanged(TWMNoParams& Message) override;
  void CMDesignHitTest(TWMMouse& Message) override;
  void CMMouseEnter(TCMMouseEnterLeave& Message) override;
  void CMMouseLeave(TCMMouseEnterLeave& Message) override;

  // Loads the pictures of the thumb style in the present colours.
  void LoadThumbBitmaps();
  // Draws track and ticks into the background copy.
  void UpdateBackground();

 private:
  void ThumbBitmapChanged(TObject* Sender);
  void RepeatTimerExpired(TObject* Sender);
  // Background stale and a repaint: what most writes do.
  void Changed();
  void ReloadAndChange();
  TRect ComputeThumbRect();
  TRect ComputeTrackRect();
  // Along the track: the travel of the thumb's edge (the client length less thumb and margins).
  int64_t Travel() const;
  int64_t Range() const { return int64_t{max_} - min_; }

  static constexpr int32_t kMargin = 4;
  int32_t thumb_thickness_ = 0, thumb_length_ = 0, thumb_half_ = 0;
  TRect thumb_rect_, track_rect_;
  std::unique_ptr<TBitmap> normal_, hot_, mask_, disabled_, background_;
  std::unique_ptr<TBitmap> custom_thumb_;
  bool dragging_ = false;
  bool paging_ = false;
  bool paging_forward_ = false;
  bool thumb_hot_ = false;
  bool background_stale_ = true;
  TPoint drag_offset_;
  TPoint last_click_;
  std::unique_ptr<TTimer> timer_;
  HCURSOR h_cursor_ = nullptr;
  HCURSOR v_cursor_ = nullptr;

  TColor highlight_color_ = clHighlight;
  TColor hot_track_color_ = static_cast<TColor>(0x149BF0);
  TCvHotTrackColorType hot_track_color_type_ = htctActual;
  int32_t max_ = 10;
  int32_t min_ = 0;
  TOrientation orientation_ = orHorizontal;
  uint16_t page_size_ = 1;
  TPointerType pointer_type_ = ptStandard;
  int32_t position_ = 0;
  int32_t sel_start_ = 0, sel_end_ = 0;
  TColor sel_color_ = clOlive;
  bool show_focus_rect_ = true;
  bool show_ticks_ = true;
  bool tab_on_enter_ = false;
  TThumbStyle thumb_style_ = TThumbStyle::tsPointer;
  TColor tick_color_ = clBtnShadow;
  TPositiveInteger tick_step_ = 1;
  TTickStyle tick_style_ = tkStandard;
  TColor track_color_ = cl3DLight;
  uint16_t track_offset_ = 20;
  TFrameStyle track_frame_ = TFrameStyleEx::fsStatus;
  TColor track_frame_color_ = clBtnShadow;
  uint16_t track_width_ = 8;
  bool transparent_ = false;
  TNotifyEvent on_change_, on_mouse_enter_, on_mouse_leave_;
  TPositionChangingEvent on_changing_;
  TDrawTickEvent on_draw_tick_;
};

// Registers the track bar with the form loader.
void CvTrkBarRegisterClasses();
