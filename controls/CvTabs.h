// The tab control and the page control of the set.
//
// TCvCustomTabControl draws one or more rows of tabs along one edge of a card: every tab is a
// polygon in the control's own colours (five shapes), the card's frame leaves a gap where the
// selected tab joins it, and everything is composed in a back buffer before one copy to the
// window. Layout is lazy: a change that affects geometry marks it dirty and the next paint lays
// the tabs out again (sizes from the captions and images, wrapping into rows, row placement, the
// scroll position of a single row that is too long, the places of the strip buttons: scroller,
// close button and tab menu button). The control takes tabs by mouse, keys and accelerator,
// hot-tracks them, shows per-tab hints and lets tabs be dragged to new places.
//
// Tab coordinates: each tab has a raw rectangle in strip coordinates, X along the strip and Y
// across it growing toward the card; TabClientRect maps it into the control's orientation.
//
// TCvPageControl keeps one page (TCvTabSheet) per tab whose tab is visible and shows the page of
// the selected tab on the card.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/CvCommon.h"
#include "platform/forms/Menus.h"
#include "platform/gdi/ImgList.h"

class TReader;
class TCvCustomTabControl;
class TCvPageControl;

// =============================================================================================
// Enumerations

// Scoped: the names clash with other controls' styles.
enum class TCvTabStyle : uint8_t { tsSingleSlant, tsDoubleSlant, tsCutCorner, tsRoundCorners, tsBackSlant };
enum class TCvTabSequence : uint8_t { tsStandard, tsReverse };
enum class TCvTabHotTrackStyle : uint8_t { htsTab, htsText };
// The kinds of tab text whose colour OnGetTextColor may choose.
enum class TCvTextStyle : uint8_t { tsHotTrack, tsSelected, tsUnselected, tsDisabledHighlight, tsDisabledShadow };
enum class TCvTabOrientation : uint8_t { toTop, toLeft, toBottom, toRight };
using enum TCvTabOrientation;
enum class TCvHorizontalAlignment : uint8_t { haLeft, haCenter, haRight };
using enum TCvHorizontalAlignment;
enum class TCvVerticalAlignment : uint8_t { vaTop, vaCenter, vaBottom };
using enum TCvVerticalAlignment;
enum class TCvImagePosition : uint8_t { ipLeft, ipTop, ipRight, ipBottom, ipBack, ipStretch };
using enum TCvImagePosition;

PTypeInfo TypeInfo_TCvTabStyle();
PTypeInfo TypeInfo_TCvTabSequence();
PTypeInfo TypeInfo_TCvTabHotTrackStyle();
PTypeInfo TypeInfo_TCvTextStyle();
PTypeInfo TypeInfo_TCvTabOrientation();
PTypeInfo TypeInfo_TCvHorizontalAlignment();
PTypeInfo TypeInfo_TCvVerticalAlignment();
PTypeInfo TypeInfo_TCvImagePosition();

PX_EVENT_TYPE(TCvTabChangingEvent, void(TObject* Sender, int32_t NewIndex, bool& AllowChange));
PX_EVENT_TYPE(TCvTabCloseEvent, void(TObject* Sender, bool& AllowClose));
PX_EVENT_TYPE(TCvGetTextColorEvent,
              void(TObject* Sender, int32_t ATabIndex, TCvTextStyle AStyle, TColor& AColor, bool& Handled));
PX_EVENT_TYPE(TCvPaintBackgroundEvent, void(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, bool& Handled));
PX_EVENT_TYPE(TCvPaintCardBackgroundEvent,
              void(TObject* Sender, TCanvas* ACanvas, int32_t ARow, const TRect& ARect, bool& Handled));
PX_EVENT_TYPE(TCvPaintTabBackgroundEvent,
              void(TObject* Sender, TCanvas* ACanvas, int32_t ATabIndex, const TRect& ARect, bool& Handled));
PX_EVENT_TYPE(TCvTabOrderChangeEvent, void(TObject* Sender, int32_t OldIndex, int32_t NewIndex));

// =============================================================================================
// Tab descriptions

class TCvTabData : public TPersistent {
  PX_CLASS(TCvTabData)
 public:
  TCvTabData() = default;
  // From another tab description: caption, images, colour, states and hint (not the place); any
  // other source assigns itself (a tab sheet does).
  void Assign(TPersistent* Source) override;

  std::string Caption;  // lines separated by CR LF; "&" marks the accelerator
  TColor Color = clBtnFace;
  int32_t DisabledIndex = -1;
  bool Enabled = true;
  std::string Hint;
  int32_t ImageIndex = -1;
  // The raw rectangle in strip coordinates, set by the layout.
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Visible = true;
  int32_t Row = 0;  // 0 touches the card
};

// Owns its tab descriptions.
class TCvTabDataList : public TPersistent {
  PX_CLASS(TCvTabDataList)
 public:
  TCvTabDataList() = default;
  ~TCvTabDataList() override;
  void Assign(TPersistent* Source) override;
  virtual int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // nullptr for an index outside the list.
  virtual TCvTabData* Items(int32_t Index) const;
  // Frees the description that stood at Index and takes ownership of Value.
  virtual void SetItems(int32_t Index, TCvTabData* Value);
  // Appends, taking ownership.
  void Add(TCvTabData* Item);
  void Clear();
  // Moves the description at OldIndex to NewIndex.
  void Move(int32_t OldIndex, int32_t NewIndex);

 private:
  std::vector<std::unique_ptr<TCvTabData>> items_;
};

// Colours of the tab faces; a change repaints the tabs.
class TCvTabColors : public TPersistent {
  PX_CLASS(TCvTabColors)
 public:
  explicit TCvTabColors(TCvCustomTabControl* Control) : control_(Control) {}
  void Assign(TPersistent* Source) override;
  TColor HighlightBar() const { return highlight_bar_; }
  virtual void SetHighlightBar(TColor Value);
  TColor Shadow() const { return shadow_; }
  virtual void SetShadow(TColor Value);
  TColor Unselected() const { return unselected_; }
  virtual void SetUnselected(TColor Value);

 private:
  void Changed();
  TCvCustomTabControl* control_;
  TColor highlight_bar_ = clHighlight;
  TColor shadow_ = clBtnFace;
  TColor unselected_ = clWindow;
};

// Colours of the tab captions; a change repaints the tabs.
class TCvTextColors : public TPersistent {
  PX_CLASS(TCvTextColors)
 public:
  explicit TCvTextColors(TCvCustomTabControl* Control) : control_(Control) {}
  void Assign(TPersistent* Source) override;
  TColor DisabledHighlight() const { return disabled_highlight_; }
  virtual void SetDisabledHighlight(TColor Value);
  TColor DisabledShadow() const { return disabled_shadow_; }
  virtual void SetDisabledShadow(TColor Value);
  TColor Selected() const { return selected_; }
  virtual void SetSelected(TColor Value);
  TColor Unselected() const { return unselected_; }
  virtual void SetUnselected(TColor Value);

 private:
  void Changed();
  TCvCustomTabControl* control_;
  TColor disabled_highlight_ = clBtnHighlight;
  TColor disabled_shadow_ = clBtnShadow;
  TColor selected_ = clBtnText;
  TColor unselected_ = clBtnText;
};

// =============================================================================================
// Tab regions, cached by client rectangle (most recently used first)

class TCvTabRegionCacheItem : public TObject {
 public:
  TCvTabRegionCacheItem() = default;
  ~TCvTabRegionCacheItem() override;
  TRect Rect{-1, -1, -1, -1};
  HRGN Region() const { return region_; }
  // Deletes the region held before when given a different one; the item owns its region.
  virtual void SetRegion(HRGN Value);

 private:
  HRGN region_ = nullptr;
};

class TCvTabRegionCache : public TObject {
 public:
  TCvTabRegionCache() = default;
  ~TCvTabRegionCache() override = default;
  // The region cached for exactly Rect (moved to the front), nullptr when none.
  HRGN Find(const TRect& Rect);
  // Caches Region (taking ownership) under Rect; a rectangle already cached moves to the front
  // with the new region. The oldest items go beyond the capacity.
  void Add(const TRect& Rect, HRGN Region);
  void Clear() { items_.clear(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  int32_t Capacity() const { return capacity_; }
  // -1 (every region) or a positive number; anything else raises "Capacity must be -1 (to cache
  // all regions) or > 0".
  void SetCapacity(int32_t Value);

 private:
  void Trim();
  std::vector<std::unique_ptr<TCvTabRegionCacheItem>> items_;
  int32_t capacity_ = 1;
};

// =============================================================================================
// Strip buttons: each a small window owned and parented by its tab control.

class TCvTabStripButton : public TCustomControl {
  PX_CLASS(TCvTabStripButton)
 public:
  explicit TCvTabStripButton(TComponent* AOwner);
  TColor FrameColor() const { return frame_color_; }
  virtual void SetFrameColor(TColor Value);
  TCvCustomTabControl* TabControl() const { return tab_control_; }
  void SetTabControl(TCvCustomTabControl* Value) { tab_control_ = Value; }
  bool Tracking() const { return tracking_; }
  bool PressedInside() const { return pressed_inside_; }

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  // The completed click (released inside).
  virtual void ButtonClick() {}

  TCvCustomTabControl* tab_control_ = nullptr;
  TColor frame_color_ = clBtnShadow;
  bool tracking_ = false;
  bool pressed_inside_ = false;
};

// Two halves that scroll a single row of tabs; a held half repeats (400 ms, then every 100 ms).
class TCvTabScroller : public TCvTabStripButton {
  PX_CLASS(TCvTabScroller)
 public:
  explicit TCvTabScroller(TComponent* AOwner);
  ~TCvTabScroller() override;
  TOrientation Orientation() const { return orientation_; }
  virtual void SetOrientation(TOrientation Value);
  // The half pressed last: 0 the left or lower one, 1 the right or upper one.
  int32_t PressedHalf() const { return pressed_half_; }
  const TNotifyEvent& OnUpRightClick() const { return on_up_right_click_; }
  void SetOnUpRightClick(const TNotifyEvent& Value) { on_up_right_click_ = Value; }
  const TNotifyEvent& OnDownLeftClick() const { return on_down_left_click_; }
  void SetOnDownLeftClick(const TNotifyEvent& Value) { on_down_left_click_ = Value; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void CMDesignHitTest(TWMMouse& Message) override;
  virtual void DownLeftClick();
  virtual void UpRightClick();

 private:
  int32_t HalfAt(int32_t X, int32_t Y) const;
  void HalfClick();
  void RepeatTimer(TObject* Sender);
  TOrientation orientation_ = orHorizontal;
  int32_t pressed_half_ = 0;
  std::unique_ptr<TTimer> timer_;
  TNotifyEvent on_up_right_click_, on_down_left_click_;
};

// Closes the selected tab when the tab control's OnClose allows it.
class TCvTabCloseButton : public TCvTabStripButton {
  PX_CLASS(TCvTabCloseButton)
 public:
  explicit TCvTabCloseButton(TComponent* AOwner);
  const TNotifyEvent& OnClose() const { return on_close_; }
  void SetOnClose(const TNotifyEvent& Value) { on_close_ = Value; }

 protected:
  void Paint() override;
  void ButtonClick() override;

 private:
  TNotifyEvent on_close_;
};

// Shows a menu of the visible tabs.
class TCvTabMenuButton : public TCvTabStripButton {
  PX_CLASS(TCvTabMenuButton)
 public:
  explicit TCvTabMenuButton(TComponent* AOwner);
  ~TCvTabMenuButton() override;
  TPopupMenu* Menu() const { return menu_; }
  // Fills the menu with the visible tabs (as the click does) without showing it.
  void BuildMenu();

 protected:
  void Paint() override;
  void ButtonClick() override;

 private:
  TPopupMenu* menu_;  // owned by the button
};

// =============================================================================================
// TCvCustomTabControl

class TCvCustomTabControl : public TCustomControl {
  PX_CLASS(TCvCustomTabControl)
 public:
  explicit TCvCustomTabControl(TComponent* AOwner);
  ~TCvCustomTabControl() override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // ---- Layout (strip coordinates unless said)
  // Marks the layout dirty (it runs at the next paint) and repaints.
  virtual void LayoutChanged();
  // Lays the tabs out when the layout is dirty.
  void UpdateLayout();
  // The layout proper: sizes, rows, places.
  void CalcTabRects();
  // Client rectangles.
  TRect TabClientRect(int32_t Index);
  TRect TabStripRect();
  TRect CardRect(int32_t Row);
  TRect PageRect();
  int32_t ButtonSize();
  bool IsTabInView(int32_t Tab);
  // Scrolls a single row by one visible tab.
  void ScrollTabs(bool Forward);
  int32_t FirstVisibleIndex() const;
  int32_t LastVisibleIndex() const;
  // The tab under a client point, -1 when none.
  int32_t TabAtPoint(int32_t X, int32_t Y);
  // The tab can be selected (and OnChanging agrees for another tab).
  bool CanChange(int32_t Index);
  // How often the layout ran (for checks that repaints reuse it).
  int32_t LayoutCount() const { return layout_count_; }
  TCvTabDataList* Tabs() const { return tabs_.get(); }
  TCvTabRegionCache* RegionCache() const { return region_cache_.get(); }

  // ---- Unpublished state
  bool CardVisible() const { return card_visible_; }
  virtual void SetCardVisible(bool Value);
  int32_t FixedDimension() const { return fixed_dimension_; }
  int32_t RowCount() const { return row_count_; }
  virtual void SetRowCount(int32_t Value);
  int32_t RegionCacheCapacity() const { return region_cache_capacity_; }
  virtual void SetRegionCacheCapacity(int32_t Value);
  int32_t FirstShownTab() const { return first_shown_tab_; }
  int32_t HotTab() const { return hot_tab_; }
  bool LayoutDirty() const { return layout_dirty_; }
  virtual void SetLayoutDirty(bool Value);
  TCvTabScroller* Scroller() const { return scroller_; }
  TCvTabCloseButton* CloseButton() const { return close_button_; }
  TCvTabMenuButton* MenuButton() const { return menu_button_; }

  // ---- Published properties
  TCvAboutInfo About() const { return aiCorvelComponents; }
  void SetAbout(TCvAboutInfo) {}
  bool AlignTabs() const { return align_tabs_; }
  virtual void SetAlignTabs(bool Value);
  bool AllowTabDragging() const { return allow_tab_dragging_; }
  void SetAllowTabDragging(bool Value) { allow_tab_dragging_ = Value; }
  TColor BackgroundColor() const { return background_color_; }
  virtual void SetBackgroundColor(TColor Value);
  bool BoldCurrentTab() const { return bold_current_tab_; }
  virtual void SetBoldCurrentTab(bool Value);
  int32_t CutCornerSize() const { return cut_corner_size_; }
  virtual void SetCutCornerSize(int32_t Value);
  TColor FlatColor() const { return flat_color_; }
  virtual void SetFlatColor(TColor Value);
  int32_t FlatColorAdjustment() const { return flat_color_adjustment_; }
  virtual void SetFlatColorAdjustment(int32_t Value);
  bool HotTrack() const { return hot_track_; }
  virtual void SetHotTrack(bool Value);
  TColor HotTrackColor() const { return hot_track_color_; }
  virtual void SetHotTrackColor(TColor Value);
  TCvHotTrackColorType HotTrackColorType() const { return hot_track_color_type_; }
  virtual void SetHotTrackColorType(TCvHotTrackColorType Value);
  TCvTabHotTrackStyle HotTrackStyle() const { return hot_track_style_; }
  virtual void SetHotTrackStyle(TCvTabHotTrackStyle Value);
  TCvHorizontalAlignment ImageAlignment() const { return image_alignment_; }
  virtual void SetImageAlignment(TCvHorizontalAlignment Value);
  TCvVerticalAlignment ImageAlignmentVertical() const { return image_alignment_vertical_; }
  virtual void SetImageAlignmentVertical(TCvVerticalAlignment Value);
  int32_t ImageMargin() const { return image_margin_; }
  virtual void SetImageMargin(int32_t Value);
  TCvImagePosition ImagePosition() const { return image_position_; }
  virtual void SetImagePosition(TCvImagePosition Value);
  TCustomImageList* Images() const { return images_; }
  virtual void SetImages(TCustomImageList* Value);
  int32_t Margin() const { return margin_; }
  virtual void SetMargin(int32_t Value);
  bool MultiLine() const { return multi_line_; }
  virtual void SetMultiLine(bool Value);
  bool ParentBackgroundColor() const { return parent_background_color_; }
  virtual void SetParentBackgroundColor(bool Value);
  int32_t RowIndent() const { return row_indent_; }
  virtual void SetRowIndent(int32_t Value);
  int32_t RowOverlap() const { return row_overlap_; }
  virtual void SetRowOverlap(int32_t Value);
  bool ShowCardFrame() const { return show_card_frame_; }
  virtual void SetShowCardFrame(bool Value);
  bool ShowCloseButton() const { return show_close_button_; }
  virtual void SetShowCloseButton(bool Value);
  bool ShowMenuButton() const { return show_menu_button_; }
  virtual void SetShowMenuButton(bool Value);
  bool ShowFocusRect() const { return show_focus_rect_; }
  virtual void SetShowFocusRect(bool Value);
  bool ShowFullFrame() const { return show_full_frame_; }
  virtual void SetShowFullFrame(bool Value);
  bool ShowShadow() const { return show_shadow_; }
  virtual void SetShowShadow(bool Value);
  bool SoftCorners() const { return soft_corners_; }
  virtual void SetSoftCorners(bool Value);
  TCvTabColors* TabColors() const { return tab_colors_.get(); }
  virtual void SetTabColors(TCvTabColors* Value);
  int32_t TabHeight() const { return tab_height_; }
  virtual void SetTabHeight(int32_t Value);
  bool TabHints() const { return tab_hints_; }
  virtual void SetTabHints(bool Value);
  int32_t TabIndex() const { return tab_index_; }
  virtual void SetTabIndex(int32_t Value);
  TCvTabOrientation TabOrientation() const { return tab_orientation_; }
  virtual void SetTabOrientation(TCvTabOrientation Value);
  int32_t TabOverlap() const { return tab_overlap_; }
  virtual void SetTabOverlap(int32_t Value);
  TCvTabSequence TabSequence() const { return tab_sequence_; }
  virtual void SetTabSequence(TCvTabSequence Value);
  TCvTabStyle TabStyle() const { return tab_style_; }
  virtual void SetTabStyle(TCvTabStyle Value);
  int32_t TabWidth() const { return tab_width_; }
  virtual void SetTabWidth(int32_t Value);
  TCvHorizontalAlignment TextAlignment() const { return text_alignment_; }
  virtual void SetTextAlignment(TCvHorizontalAlignment Value);
  TCvVerticalAlignment TextAlignmentVertical() const { return text_alignment_vertical_; }
  virtual void SetTextAlignmentVertical(TCvVerticalAlignment Value);
  TCvTextColors* TextColors() const { return text_colors_.get(); }
  virtual void SetTextColors(TCvTextColors* Value);
  TOrientation TextOrientation() const { return text_orientation_; }
  virtual void SetTextOrientation(TOrientation Value);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool Value);
  bool UseColoredTabs() const { return use_colored_tabs_; }
  virtual void SetUseColoredTabs(bool Value);
  bool UseGradients() const { return use_gradients_; }
  virtual void SetUseGradients(bool Value);

  // ---- Events
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TCvTabChangingEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(const TCvTabChangingEvent& Value) { on_changing_ = Value; }
  const TCvTabCloseEvent& OnClose() const { return on_close_; }
  void SetOnClose(const TCvTabCloseEvent& Value) { on_close_ = Value; }
  const TCvGetTextColorEvent& OnGetTextColor() const { return on_get_text_color_; }
  void SetOnGetTextColor(const TCvGetTextColorEvent& Value) { on_get_text_color_ = Value; }
  const TNotifyEvent& OnPageChange() const { return on_page_change_; }
  void SetOnPageChange(const TNotifyEvent& Value) { on_page_change_ = Value; }
  const TCvPaintBackgroundEvent& OnPaintBackground() const { return on_paint_background_; }
  void SetOnPaintBackground(const TCvPaintBackgroundEvent& Value) { on_paint_background_ = Value; }
  const TCvPaintCardBackgroundEvent& OnPaintCardBackground() const { return on_paint_card_background_; }
  void SetOnPaintCardBackground(const TCvPaintCardBackgroundEvent& Value) { on_paint_card_background_ = Value; }
  const TCvPaintTabBackgroundEvent& OnPaintTabBackground() const { return on_paint_tab_background_; }
  void SetOnPaintTabBackground(const TCvPaintTabBackgroundEvent& Value) { on_paint_tab_background_ = Value; }
  const TNotifyEvent& OnTabClick() const { return on_tab_click_; }
  void SetOnTabClick(const TNotifyEvent& Value) { on_tab_click_ = Value; }
  const TCvTabOrderChangeEvent& OnTabOrderChange() const { return on_tab_order_change_; }
  void SetOnTabOrderChange(const TCvTabOrderChangeEvent& Value) { on_tab_order_change_ = Value; }

  // The scroller's halves and the close button (bound when the buttons are made).
  void ScrollUpRight(TObject* Sender);
  void ScrollDownLeft(TObject* Sender);
  void CloseTabClicked(TObject* Sender);
  // The strip buttons' face: a gradient (or flat) face in the tab colours and a frame.
  void PaintTabButtonFace(TCanvas* Canvas, const TRect& Rect, TControl* Control, TColor FrameColor, bool Pressed);
  // Shows the tab menu of the menu button (its click).
  void ShowTabMenu(TCvTabMenuButton* Button);
  // A drop of the control's own drag moves the selected tab to the tab under the point.
  void DragDrop(TObject* Source, int32_t X, int32_t Y) override;

 protected:
  friend class TCvTabColors;
  friend class TCvTextColors;
  friend class TCvTabStripButton;

  // ---- Events and overridable steps
  virtual void DoChanging(int32_t NewIndex, bool& AllowChange);
  virtual void DoGetTextColor(int32_t TabIndex, TCvTextStyle Style, TColor& Color, bool& Handled);
  virtual void DoTabClick();
  // Repaints the whole control (a full repaint: the card's shadow too).
  virtual void InvalidateTabs();
  virtual void DoPaintBackground(TCanvas* Canvas, const TRect& Rect, bool& Handled);
  virtual void DoPaintCardBackground(TCanvas* Canvas, int32_t Row, const TRect& Rect, bool& Handled);
  virtual void DoPaintTabBackground(TCanvas* Canvas, int32_t TabIndex, const TRect& Rect, bool& Handled);
  virtual void DrawDropMarker(const TRect& Rect);
  virtual void CloseActiveTab() {}
  virtual void MoveTab(int32_t NewIndex) { (void)NewIndex; }
  virtual void DoChange();
  virtual void HideAllTabs() {}
  virtual void ShowAllTabs() {}
  virtual void DoPageChange();
  // The AllowClose answer of OnClose (False without a handler).
  virtual bool DoClose();
  virtual void DoTabOrderChange(int32_t OldIndex, int32_t NewIndex);

  // ---- Shapes and painting
  // The points of a tab's shape in strip coordinates (the selected round tab enlarged).
  virtual std::vector<TPoint> TabPolygon(int32_t Index);
  // The clip region of a tab from the cache or newly made; nullptr when the shape has fewer
  // than 3 points. Raises "Error creating region" when the region cannot be made.
  HRGN TabRegion(int32_t Index, const TRect& ClientRect);
  // Makes the region of a mapped tab shape (nullptr when the platform refuses it).
  virtual HRGN CreateTabRegion(const std::vector<TPoint>& Points);
  // Saves the back buffer's device context state: the level, 0 when it cannot be saved.
  virtual int32_t SaveBufferDC();
  void Paint() override;
  void PaintTabs();
  void PaintTab(int32_t Index);
  void PaintCard(int32_t Row);
  void PaintTabBackground(int32_t Index, const TRect& R);
  void PaintTabContent(int32_t Index, const TRect& R);
  TCanvas* BufferCanvas() const { return back_buffer_->Canvas(); }

  // ---- Messages and input
  void CreateParams(TCreateParams& Params) override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void WMSize(TWMSize& Message) override;
  void WMTimer(TWMTimer& Message) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;
  void WMKillFocus(TWMKillFocus& Message) override;
  void CMDialogChar(TWMKey& Message) override;
  void CMDesignHitTest(TWMMouse& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;
  void CMColorChanged(TWMNoParams& Message) override;
  void CMParentColorChanged(TWMNoParams& Message) override;

  // The TabIndex writer with the programmatic flag set (no second CanChange).
  void SetTabIndexProgrammatic(int32_t Value);
  // The hot tab is left: the hover timer stops, the strip repaints, the saved hint returns.
  void LeaveHotTab();
  void StopHoverTimer();
  // The saved hint (the control's own Hint, taken when loaded).
  const std::string& SavedHint() const { return saved_hint_; }

  std::unique_ptr<TCvTabDataList> tabs_;
  bool loading_flag_ = false;  // the page control's: events are suppressed while it loads

 private:
  struct TLineSize {
    int32_t cx = 0, cy = 0;
  };
  bool HorzStrip() const { return tab_orientation_ == toTop || tab_orientation_ == toBottom; }
  bool Reverse() const { return tab_sequence_ == TCvTabSequence::tsReverse; }
  bool Round() const { return tab_style_ == TCvTabStyle::tsRoundCorners; }
  bool Designing() const { return ComponentState().Contains(csDesigning); }
  bool Loading() const {
    return ComponentState().Contains(csLoading) || ComponentState().Contains(csReading);
  }
  TCvTabData* Tab(int32_t Index) const { return tabs_->Items(Index); }

  // Fonts and text
  void SelectTabFont();
  void RestoreTabFont();
  TSize MeasureText(const std::string& Caption, bool Horizontal);
  TSize MinContentSize();
  TSize TabContentSize(int32_t Index);
  TSize TabSize(TSize Content) const;
  int32_t StyleOverlap(int32_t D) const;
  int32_t TabLength(int32_t Index, TSize MaxContent, int32_t Available);
  int32_t CountRows(TSize MaxContent);
  void PlaceTabs(TSize MaxContent);
  void JustifyRows();
  // Geometry
  TRect ClientBox();
  int32_t TabAreaThickness();
  int32_t StripLength();
  int32_t ScrollOffset() const;
  TPoint MapPoint(TPoint P);
  TRect MapRect(const TRect& R);
  TRect ShiftedTabRect(int32_t Index) const;
  void CheckScrollerNeeded();
  void PlaceButtons();
  void BringRowToFront();
  int32_t CloseRoom();
  int32_t MenuRoom();
  void ButtonsChanged();
  void NeedScroller();
  TColor OutlineColor() const;
  // Outlines
  void TabOutline(int32_t Index);
  void CardOutline(int32_t Row);
  void Shadow(TPoint C1, TPoint C2, TPoint C3);
  void RunCommands();
  void Cmd(int32_t Op) { commands_.push_back(Op); }
  void Cmd(int32_t Op, int32_t A, int32_t B) { commands_.insert(commands_.end(), {Op, A, B}); }
  void CmdMove(TPoint P) { Cmd(3, P.X, P.Y); }
  void CmdLine(TPoint P) { Cmd(4, P.X, P.Y); }
  void CmdPixel(TPoint P) {
    CmdMove(P);
    CmdLine(TPoint(P.X + 1, P.Y));
  }
  // Faces
  TRect ContentRect(TRect R);
  void DrawTabText(int32_t Index, TRect TR, TColor Colour, int32_t Offset, TRect& Aligned);
  void DrawAccelText(int32_t X, int32_t Y, TColor Colour, bool Horizontal, TCanvas* Canvas, const std::string& Line);
  void DrawTabBar(int32_t Index, bool Hot);
  // Input
  void KeySelect(uint16_t Key);
  void HoverTick();
  // The pointer is over no tab: the hot tab is left (no hint over the strip's empty part).
  void PointerOffTabs(TPoint P);
  // Tab dragging
  void StartTabDrag(TShiftState Shift);
  TRect DropMarkerRect(int32_t Target);
  void EraseDropMarker();
  void DragScrollTimer(TObject* Sender);

  void ImageListChange(TObject* Sender);

  // Owned pieces
  std::unique_ptr<TBitmap> back_buffer_;
  std::vector<int32_t> commands_;
  std::vector<HFONT> font_stack_;
  std::vector<int32_t> saved_dcs_;
  std::unique_ptr<TFont> working_font_;
  std::unique_ptr<TCvTabColors> tab_colors_;
  std::unique_ptr<TCvTextColors> text_colors_;
  std::unique_ptr<TChangeLink> image_change_link_;
  std::unique_ptr<TCvTabRegionCache> region_cache_;
  TCvTabScroller* scroller_ = nullptr;          // owned by the control (as a component)
  TCvTabCloseButton* close_button_ = nullptr;   // owned by the control (as a component)
  TCvTabMenuButton* menu_button_ = nullptr;     // owned by the control (as a component)
  std::unique_ptr<TTimer> drag_timer_;          // made on the first drag over no tab

  // Published state
  bool align_tabs_ = false;
  bool allow_tab_dragging_ = false;
  TColor background_color_ = clBtnFace;
  bool bold_current_tab_ = false;
  int32_t cut_corner_size_ = 6;
  TColor flat_color_ = clBtnShadow;
  int32_t flat_color_adjustment_ = 0;
  bool hot_track_ = true;
  TColor hot_track_color_ = 1350640;
  TCvHotTrackColorType hot_track_color_type_ = htctActual;
  TCvTabHotTrackStyle hot_track_style_ = TCvTabHotTrackStyle::htsTab;
  TCvHorizontalAlignment image_alignment_ = haCenter;
  TCvVerticalAlignment image_alignment_vertical_ = vaCenter;
  int32_t image_margin_ = 2;
  TCvImagePosition image_position_ = ipLeft;
  TCustomImageList* images_ = nullptr;  // not owned; cleared when it is freed
  int32_t margin_ = 0;
  bool multi_line_ = false;
  bool parent_background_color_ = true;
  int32_t row_indent_ = 5;
  int32_t row_overlap_ = 5;
  bool show_card_frame_ = true;
  bool show_close_button_ = false;
  bool show_menu_button_ = false;
  bool show_focus_rect_ = true;
  bool show_full_frame_ = true;
  bool show_shadow_ = true;
  bool soft_corners_ = false;
  int32_t tab_height_ = 0;
  bool tab_hints_ = false;
  int32_t tab_index_ = -1;
  TCvTabOrientation tab_orientation_ = toTop;
  int32_t tab_overlap_ = -1;
  TCvTabSequence tab_sequence_ = TCvTabSequence::tsStandard;
  TCvTabStyle tab_style_ = TCvTabStyle::tsSingleSlant;
  int32_t tab_width_ = 0;
  TCvHorizontalAlignment text_alignment_ = haCenter;
  TCvVerticalAlignment text_alignment_vertical_ = vaCenter;
  TOrientation text_orientation_ = orHorizontal;
  bool transparent_ = false;
  bool use_colored_tabs_ = false;
  bool use_gradients_ = true;

  // Unpublished state
  bool card_visible_ = true;
  int32_t fixed_dimension_ = 0;
  int32_t row_count_ = 1;
  int32_t region_cache_capacity_ = 1;
  int32_t first_shown_tab_ = -1;
  bool layout_dirty_ = true;
  bool scroller_needed_ = false;
  int32_t hot_tab_ = -1;
  int32_t pressed_tab_ = -1;
  std::string saved_hint_;
  TRect last_page_rect_{-1, -1, -1, -1};
  TRect drop_marker_rect_;
  bool drop_marker_shown_ = false;
  int32_t last_drop_target_ = -1;
  UINT_PTR hover_timer_ = 0;
  bool programmatic_ = false;
  bool painted_once_ = false;
  bool hot_track_only_ = false;
  int32_t layout_count_ = 0;
  TColor outline_color_ = clBtnShadow;
  // Painting state: the selected round tab is enlarged in TabPolygon.
  TRect focus_text_rect_;

  TNotifyEvent on_change_;
  TCvTabChangingEvent on_changing_;
  TCvTabCloseEvent on_close_;
  TCvGetTextColorEvent on_get_text_color_;
  TNotifyEvent on_page_change_;
  TCvPaintBackgroundEvent on_paint_background_;
  TCvPaintCardBackgroundEvent on_paint_card_background_;
  TCvPaintTabBackgroundEvent on_paint_tab_background_;
  TNotifyEvent on_tab_click_;
  TCvTabOrderChangeEvent on_tab_order_change_;

  // "FixedDimension" is stored with the form.
  void ReadFixedDimension(TReader& Reader);
};

// =============================================================================================
// Pages

class TCvTabSheet : public TCustomControl {
  PX_CLASS(TCvTabSheet)
 public:
  explicit TCvTabSheet(TComponent* AOwner);
  ~TCvTabSheet() override;

  void SetParentComponent(TComponent* Value) override;

  TCvPageControl* PageControl() const { return page_control_; }
  virtual void SetPageControl(TCvPageControl* Value);
  // The place in the control's page list (-1 without a control). Writing raises "%d is an
  // invalid PageIndex value. PageIndex must be between 0 and %d" outside the list.
  virtual int32_t PageIndex() const;
  virtual void SetPageIndex(int32_t Value);
  // -1 while the tab is hidden, else the number of earlier pages with a visible tab.
  virtual int32_t TabIndex() const;
  // A colour unlike the control's switches the control's UseColoredTabs on; while it stays off
  // the page keeps the control's colour.
  virtual void SetColor(TColor Value);
  int32_t DisabledIndex() const { return disabled_index_; }
  virtual void SetDisabledIndex(int32_t Value);
  int32_t ImageIndex() const { return image_index_; }
  virtual void SetImageIndex(int32_t Value);
  bool TabEnabled() const { return tab_enabled_; }
  virtual void SetTabEnabled(bool Value);
  bool TabVisible() const { return tab_visible_; }
  virtual void SetTabVisible(bool Value);
  // The page's visibility is the page control's to set: writing raises "You cannot change the
  // Visible property of a page".
  virtual void SetVisible(bool Value);
  const TCvPaintBackgroundEvent& OnPaintBackground() const { return on_paint_background_; }
  void SetOnPaintBackground(const TCvPaintBackgroundEvent& Value) { on_paint_background_ = Value; }
  // Gives up the page's window (made again when it is next shown).
  void ReleaseWindow();

 protected:
  friend class TCvPageControl;
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
  void CMTextChanged(TWMNoParams& Message) override;
  // Copies the page's tab data into a tab description.
  void AssignTo(TPersistent* Dest) override;

 private:
  void Changed();
  int32_t disabled_index_ = -1;
  int32_t image_index_ = -1;
  TCvPageControl* page_control_ = nullptr;
  bool tab_enabled_ = true;
  bool tab_visible_ = true;
  TCvPaintBackgroundEvent on_paint_background_;
};

class TCvPageControl : public TCvCustomTabControl {
  PX_CLASS(TCvPageControl)
 public:
  explicit TCvPageControl(TComponent* AOwner);
  ~TCvPageControl() override;

  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  virtual TCvTabSheet* Pages(int32_t Index) const;
  virtual int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  TCvTabSheet* ActivePage() const { return active_page_; }
  virtual void SetActivePage(TCvTabSheet* Sheet);
  virtual int32_t ActivePageIndex() const;
  virtual void SetActivePageIndex(int32_t Value);
  TCvTabSheet* ActivePageDefault() const { return active_page_default_; }
  void SetActivePageDefault(TCvTabSheet* Value);
  bool SaveResources() const { return save_resources_; }
  virtual void SetSaveResources(bool Value);
  bool DblClickUndocks() const { return dbl_click_undocks_; }
  void SetDblClickUndocks(bool Value) { dbl_click_undocks_ = Value; }
  // The page after (or before) Sheet with a visible tab (any page without OnlyWithTab), wrapping;
  // nullptr when none.
  TCvTabSheet* NextPageFrom(TCvTabSheet* Sheet, bool Forward, bool OnlyWithTab);
  // The first page whose tab has the index, nullptr for none.
  TCvTabSheet* PageOfTab(int32_t TabIndex) const;

  void LayoutChanged() override;
  void SetUseColoredTabs(bool Value) override;
  // A control docked on one of the pages cannot dock here again.
  void GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock) override;
  // The page a docked control stands on (nullptr when Client is not docked on a page here).
  TCvTabSheet* PageOfDockClient(TControl* Client) const;

 protected:
  friend class TCvTabSheet;
  // Docking: every docked control gets a page of its own, captioned and shown or hidden with it,
  // and freed when the control leaves.
  void CMDockClient(TCMDockClient& Message) override;
  void CMUnDockClient(TCMUnDockClient& Message) override;
  void CMDockNotification(TCMDockNotification& Message) override;
  void DockOver(TDragDockObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) override;
  void DoAddDockClient(TControl* Client, const TRect& ARect) override;
  void DoRemoveDockClient(TControl* Client) override;
  // The docked control whose tab is under the point: a press there drags it away.
  TControl* GetDockClientFromMousePos(TPoint MousePos) override;
  // A double click on a docked control's tab floats it (DblClickUndocks).
  void WMLButtonDblClk(TWMMouse& Message) override;
  void AttachPage(TCvTabSheet* Sheet);
  void DetachPage(TCvTabSheet* Sheet);
  void MovePage(TCvTabSheet* Sheet, int32_t NewIndex);
  void SwitchToPage(TCvTabSheet* Sheet);
  void DoChanging(int32_t NewIndex, bool& AllowChange) override;
  void DoChange() override;
  void DoPageChange() override;
  void DoPaintCardBackground(TCanvas* Canvas, int32_t Row, const TRect& Rect, bool& Handled) override;
  void CloseActiveTab() override;
  void MoveTab(int32_t NewIndex) override;
  void HideAllTabs() override;
  void ShowAllTabs() override;
  void CreateParams(TCreateParams& Params) override;
  void CMDialogKey(TWMKey& Message) override;
  void CMColorChanged(TWMNoParams& Message) override;
  void WMSetFocus(TWMSetFocus& Message) override;

 private:
  std::vector<TCvTabSheet*> pages_;  // not owned (their owners free them)
  TCvTabSheet* active_page_ = nullptr;
  TCvTabSheet* active_page_default_ = nullptr;
  bool save_resources_ = false;
  bool dbl_click_undocks_ = true;
  TCvTabSheet* docking_page_ = nullptr;    // the page made for the control docking now
  TCvTabSheet* undocking_page_ = nullptr;  // the page of the control leaving now
};

// Registers the tab control classes with the form loader.
void CvTabsRegisterClasses();
