// The tab control: tab descriptions, colours, the region cache, properties and the layout.
#include "controls/CvTabs.h"

#include <algorithm>

#include "platform/forms/FormLoader.h"
#include "platform/forms/Forms.h"
#include "platform/gdi/WinGdi_text.h"

using enum TCvTabStyle;
using enum TCvTabSequence;

// =============================================================================================
// Type descriptions

PTypeInfo TypeInfo_TCvTabStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvTabStyle", {"tsSingleSlant", "tsDoubleSlant", "tsCutCorner", "tsRoundCorners", "tsBackSlant"});
  return &info;
}
PTypeInfo TypeInfo_TCvTabSequence() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvTabSequence", {"tsStandard", "tsReverse"});
  return &info;
}
PTypeInfo TypeInfo_TCvTabHotTrackStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvTabHotTrackStyle", {"htsTab", "htsText"});
  return &info;
}
PTypeInfo TypeInfo_TCvTextStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvTextStyle", {"tsHotTrack", "tsSelected", "tsUnselected", "tsDisabledHighlight", "tsDisabledShadow"});
  return &info;
}
PTypeInfo TypeInfo_TCvTabOrientation() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvTabOrientation", {"toTop", "toLeft", "toBottom", "toRight"});
  return &info;
}
PTypeInfo TypeInfo_TCvHorizontalAlignment() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvHorizontalAlignment", {"haLeft", "haCenter", "haRight"});
  return &info;
}
PTypeInfo TypeInfo_TCvVerticalAlignment() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TCvVerticalAlignment", {"vaTop", "vaCenter", "vaBottom"});
  return &info;
}
PTypeInfo TypeInfo_TCvImagePosition() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TCvImagePosition", {"ipLeft", "ipTop", "ipRight", "ipBottom", "ipBack", "ipStretch"});
  return &info;
}

// =============================================================================================
// Tab descriptions and colours

PX_CLASS_INFO(TCvTabData, TPersistent)
PX_CLASS_INFO(TCvTabDataList, TPersistent)

void TCvTabData::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCvTabData*>(Source)) {
    Caption = src->Caption;
    DisabledIndex = src->DisabledIndex;
    ImageIndex = src->ImageIndex;
    Color = src->Color;
    Enabled = src->Enabled;
    Visible = src->Visible;
    Hint = src->Hint;
    return;
  }
  TPersistent::Assign(Source);
}

TCvTabDataList::~TCvTabDataList() = default;

void TCvTabDataList::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCvTabDataList*>(Source)) {
    if (src == this) return;
    Clear();
    for (int32_t i = 0; i < src->Count(); ++i) {
      auto item = std::make_unique<TCvTabData>();
      item->Assign(src->Items(i));
      items_.push_back(std::move(item));
    }
    return;
  }
  TPersistent::Assign(Source);
}

TCvTabData* TCvTabDataList::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return items_[static_cast<size_t>(Index)].get();
}

void TCvTabDataList::SetItems(int32_t Index, TCvTabData* Value) {
  std::unique_ptr<TCvTabData> owned(Value);
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", Index));
  items_[static_cast<size_t>(Index)] = std::move(owned);
}

void TCvTabDataList::Add(TCvTabData* Item) { items_.emplace_back(Item); }

void TCvTabDataList::Clear() { items_.clear(); }

void TCvTabDataList::Move(int32_t OldIndex, int32_t NewIndex) {
  if (OldIndex < 0 || OldIndex >= Count() || NewIndex < 0 || NewIndex >= Count() || OldIndex == NewIndex) return;
  auto item = std::move(items_[static_cast<size_t>(OldIndex)]);
  items_.erase(items_.begin() + OldIndex);
  items_.insert(items_.begin() + NewIndex, std::move(item));
}

PX_CLASS_INFO(TCvTabColors, TPersistent, [](TPropertyBuilder<TCvTabColors>& b) {
  using C = TCvTabColors;
  b.Int("HighlightBar", &C::HighlightBar, &C::SetHighlightBar, TypeInfo_TColor()).Default(clHighlight);
  b.Int("Shadow", &C::Shadow, &C::SetShadow, TypeInfo_TColor()).Default(clBtnFace);
  b.Int("Unselected", &C::Unselected, &C::SetUnselected, TypeInfo_TColor()).Default(clWindow);
})

void TCvTabColors::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCvTabColors*>(Source)) {
    highlight_bar_ = src->highlight_bar_;
    shadow_ = src->shadow_;
    unselected_ = src->unselected_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

void TCvTabColors::Changed() {
  if (control_) control_->InvalidateTabs();
}

void TCvTabColors::SetHighlightBar(TColor Value) {
  if (highlight_bar_ == Value) return;
  highlight_bar_ = Value;
  Changed();
}

void TCvTabColors::SetShadow(TColor Value) {
  if (shadow_ == Value) return;
  shadow_ = Value;
  Changed();
}

void TCvTabColors::SetUnselected(TColor Value) {
  if (unselected_ == Value) return;
  unselected_ = Value;
  Changed();
}

PX_CLASS_INFO(TCvTextColors, TPersistent, [](TPropertyBuilder<TCvTextColors>& b) {
  using C = TCvTextColors;
  b.Int("DisabledHighlight", &C::DisabledHighlight, &C::SetDisabledHighlight, TypeInfo_TColor())
      .Default(clBtnHighlight);
  b.Int("DisabledShadow", &C::DisabledShadow, &C::SetDisabledShadow, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("Selected", &C::Selected, &C::SetSelected, TypeInfo_TColor()).Default(clBtnText);
  b.Int("Unselected", &C::Unselected, &C::SetUnselected, TypeInfo_TColor()).Default(clBtnText);
})

void TCvTextColors::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCvTextColors*>(Source)) {
    disabled_highlight_ = src->disabled_highlight_;
    disabled_shadow_ = src->disabled_shadow_;
    selected_ = src->selected_;
    unselected_ = src->unselected_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

void TCvTextColors::Changed() {
  if (control_) control_->InvalidateTabs();
}

void TCvTextColors::SetDisabledHighlight(TColor Value) {
  if (disabled_highlight_ == Value) return;
  disabled_highlight_ = Value;
  Changed();
}

void TCvTextColors::SetDisabledShadow(TColor Value) {
  if (disabled_shadow_ == Value) return;
  disabled_shadow_ = Value;
  Changed();
}

void TCvTextColors::SetSelected(TColor Value) {
  if (selected_ == Value) return;
  selected_ = Value;
  Changed();
}

void TCvTextColors::SetUnselected(TColor Value) {
  if (unselected_ == Value) return;
  unselected_ = Value;
  Changed();
}

// =============================================================================================
// Region cache

TCvTabRegionCacheItem::~TCvTabRegionCacheItem() {
  if (region_) DeleteObject(region_);
}

void TCvTabRegionCacheItem::SetRegion(HRGN Value) {
  if (region_ == Value) return;
  if (region_) DeleteObject(region_);
  region_ = Value;
}

HRGN TCvTabRegionCache::Find(const TRect& Rect) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Rect != Rect) continue;
    if (i > 0) std::rotate(items_.begin(), items_.begin() + static_cast<ptrdiff_t>(i), items_.begin() + static_cast<ptrdiff_t>(i) + 1);
    return items_.front()->Region();
  }
  return nullptr;
}

void TCvTabRegionCache::Add(const TRect& Rect, HRGN Region) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i]->Rect != Rect) continue;
    items_[i]->SetRegion(Region);
    std::rotate(items_.begin(), items_.begin() + static_cast<ptrdiff_t>(i), items_.begin() + static_cast<ptrdiff_t>(i) + 1);
    return;
  }
  auto item = std::make_unique<TCvTabRegionCacheItem>();
  item->Rect = Rect;
  item->SetRegion(Region);
  items_.insert(items_.begin(), std::move(item));
  Trim();
}

void TCvTabRegionCache::SetCapacity(int32_t Value) {
  if (Value == 0 || Value < -1) throw Exception("Capacity must be -1 (to cache all regions) or > 0");
  capacity_ = Value;
  Trim();
}

void TCvTabRegionCache::Trim() {
  if (capacity_ < 0) return;
  while (static_cast<int32_t>(items_.size()) > capacity_) items_.pop_back();
}

// =============================================================================================
// The control: properties

PX_CLASS_INFO(TCvCustomTabControl, TCustomControl, [](TPropertyBuilder<TCvCustomTabControl>& b) {
  using C = TCvCustomTabControl;
  b.Enum("About", TypeInfo_TCvAboutInfo(), &C::About, &C::SetAbout).Stored(false);
  b.Bool("AlignTabs", &C::AlignTabs, &C::SetAlignTabs).Default(false);
  b.Bool("AllowTabDragging", &C::AllowTabDragging, &C::SetAllowTabDragging).Default(false);
  b.Int("BackgroundColor", &C::BackgroundColor, &C::SetBackgroundColor, TypeInfo_TColor())
      .Stored([](C* c) { return !c->ParentBackgroundColor(); });
  b.Bool("BoldCurrentTab", &C::BoldCurrentTab, &C::SetBoldCurrentTab).Default(false);
  b.Int("CutCornerSize", &C::CutCornerSize, &C::SetCutCornerSize).Default(6);
  b.Int("FlatColor", &C::FlatColor, &C::SetFlatColor, TypeInfo_TColor()).Default(clBtnShadow);
  b.Int("FlatColorAdjustment", &C::FlatColorAdjustment, &C::SetFlatColorAdjustment).Default(0);
  b.Bool("HotTrack", &C::HotTrack, &C::SetHotTrack).Default(true);
  b.Int("HotTrackColor", &C::HotTrackColor, &C::SetHotTrackColor, TypeInfo_TColor()).Default(1350640);
  b.Enum("HotTrackColorType", TypeInfo_TCvHotTrackColorType(), &C::HotTrackColorType, &C::SetHotTrackColorType)
      .Default(htctActual);
  b.Enum("HotTrackStyle", TypeInfo_TCvTabHotTrackStyle(), &C::HotTrackStyle, &C::SetHotTrackStyle)
      .Default(TCvTabHotTrackStyle::htsTab);
  b.Enum("ImageAlignment", TypeInfo_TCvHorizontalAlignment(), &C::ImageAlignment, &C::SetImageAlignment)
      .Default(haCenter);
  b.Enum("ImageAlignmentVertical", TypeInfo_TCvVerticalAlignment(), &C::ImageAlignmentVertical,
         &C::SetImageAlignmentVertical)
      .Default(vaCenter);
  b.Int("ImageMargin", &C::ImageMargin, &C::SetImageMargin).Default(2);
  b.Enum("ImagePosition", TypeInfo_TCvImagePosition(), &C::ImagePosition, &C::SetImagePosition).Default(ipLeft);
  b.template Object<TCustomImageList>("Images", &C::Images, &C::SetImages);
  b.Int("Margin", &C::Margin, &C::SetMargin).Default(0);
  b.Bool("MultiLine", &C::MultiLine, &C::SetMultiLine).Default(false);
  b.Bool("ParentBackgroundColor", &C::ParentBackgroundColor, &C::SetParentBackgroundColor).Default(true);
  b.Int("RowIndent", &C::RowIndent, &C::SetRowIndent).Default(5);
  b.Int("RowOverlap", &C::RowOverlap, &C::SetRowOverlap).Default(5);
  b.Bool("ShowCardFrame", &C::ShowCardFrame, &C::SetShowCardFrame).Default(true);
  b.Bool("ShowCloseButton", &C::ShowCloseButton, &C::SetShowCloseButton).Default(false);
  b.Bool("ShowMenuButton", &C::ShowMenuButton, &C::SetShowMenuButton).Default(false);
  b.Bool("ShowFocusRect", &C::ShowFocusRect, &C::SetShowFocusRect).Default(true);
  b.Bool("ShowFullFrame", &C::ShowFullFrame, &C::SetShowFullFrame).Default(true);
  b.Bool("ShowShadow", &C::ShowShadow, &C::SetShowShadow).Default(true);
  b.Bool("SoftCorners", &C::SoftCorners, &C::SetSoftCorners).Default(false);
  b.template Object<TCvTabColors>("TabColors", &C::TabColors);
  b.Int("TabHeight", &C::TabHeight, &C::SetTabHeight).Default(0);
  b.Bool("TabHints", &C::TabHints, &C::SetTabHints).Default(false);
  b.Int("TabIndex", &C::TabIndex, &C::SetTabIndex).Default(-1);
  b.Enum("TabOrientation", TypeInfo_TCvTabOrientation(), &C::TabOrientation, &C::SetTabOrientation).Default(toTop);
  b.Int("TabOverlap", &C::TabOverlap, &C::SetTabOverlap).Default(-1);
  b.Enum("TabSequence", TypeInfo_TCvTabSequence(), &C::TabSequence, &C::SetTabSequence).Default(tsStandard);
  b.Enum("TabStyle", TypeInfo_TCvTabStyle(), &C::TabStyle, &C::SetTabStyle).Default(tsSingleSlant);
  b.Int("TabWidth", &C::TabWidth, &C::SetTabWidth).Default(0);
  b.Enum("TextAlignment", TypeInfo_TCvHorizontalAlignment(), &C::TextAlignment, &C::SetTextAlignment)
      .Default(haCenter);
  b.Enum("TextAlignmentVertical", TypeInfo_TCvVerticalAlignment(), &C::TextAlignmentVertical,
         &C::SetTextAlignmentVertical)
      .Default(vaCenter);
  b.template Object<TCvTextColors>("TextColors", &C::TextColors);
  b.Enum("TextOrientation", TypeInfo_TOrientation(), &C::TextOrientation, &C::SetTextOrientation)
      .Default(orHorizontal);
  b.Bool("Transparent", &C::Transparent, &C::SetTransparent).Default(false);
  b.Bool("UseColoredTabs", &C::UseColoredTabs, &C::SetUseColoredTabs).Default(false);
  b.Bool("UseGradients", &C::UseGradients, &C::SetUseGradients).Default(true);
  b.Event("OnChange", &C::OnChange, &C::SetOnChange);
  b.Event("OnChanging", &C::OnChanging, &C::SetOnChanging);
  b.Event("OnClose", &C::OnClose, &C::SetOnClose);
  b.Event("OnGetTextColor", &C::OnGetTextColor, &C::SetOnGetTextColor);
  b.Event("OnPageChange", &C::OnPageChange, &C::SetOnPageChange);
  b.Event("OnPaintBackground", &C::OnPaintBackground, &C::SetOnPaintBackground);
  b.Event("OnPaintCardBackground", &C::OnPaintCardBackground, &C::SetOnPaintCardBackground);
  b.Event("OnPaintTabBackground", &C::OnPaintTabBackground, &C::SetOnPaintTabBackground);
  b.Event("OnTabClick", &C::OnTabClick, &C::SetOnTabClick);
  b.Event("OnTabOrderChange", &C::OnTabOrderChange, &C::SetOnTabOrderChange);
  b.DefineIntegerProperty("FixedDimension", &C::ReadFixedDimension, &C::FixedDimension);
})

TCvCustomTabControl::TCvCustomTabControl(TComponent* AOwner)
    : TCustomControl(AOwner),
      tabs_(std::make_unique<TCvTabDataList>()),
      back_buffer_(std::make_unique<TBitmap>()),
      working_font_(std::make_unique<TFont>()),
      tab_colors_(std::make_unique<TCvTabColors>(this)),
      text_colors_(std::make_unique<TCvTextColors>(this)),
      image_change_link_(std::make_unique<TChangeLink>()),
      region_cache_(std::make_unique<TCvTabRegionCache>()) {
  SetBounds(Left(), Top(), 300, 100);
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csDoubleClicks});
  SetTabStop(true);
  back_buffer_->SetSize(300, 100);
  working_font_->Assign(Font());
  image_change_link_->SetOnChange(TNotifyEvent(this, &TCvCustomTabControl::ImageListChange));
  background_color_ = clBtnFace;
  outline_color_ = ShiftColorLuminance(flat_color_, flat_color_adjustment_);
  layout_dirty_ = true;
}

TCvCustomTabControl::~TCvCustomTabControl() {
  StopHoverTimer();
  if (images_) images_->UnRegisterChanges(image_change_link_.get());
  // Fonts left selected by an abandoned paint.
  while (!font_stack_.empty()) {
    DeleteObject(font_stack_.back());
    font_stack_.pop_back();
  }
}

void TCvCustomTabControl::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCvCustomTabControl::ReadFixedDimension(TReader& Reader) { fixed_dimension_ = Reader.ReadInteger(); }

void TCvCustomTabControl::Loaded() {
  TCustomControl::Loaded();
  saved_hint_ = Hint();
  SetLayoutDirty(true);
  if (text_orientation_ == orVertical && !FontIsTrueType(Font())) Font()->SetName("Verdana");
  // The first tab, applied as the current value (no events; no tab gives -1).
  tab_index_ = 0;
  SetTabIndex(0);
}

void TCvCustomTabControl::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == images_) {
    images_ = nullptr;
    LayoutChanged();
  }
  if (AComponent == scroller_) scroller_ = nullptr;
  if (AComponent == close_button_) close_button_ = nullptr;
  if (AComponent == menu_button_) menu_button_ = nullptr;
}

void TCvCustomTabControl::ImageListChange(TObject*) { InvalidateTabs(); }

void TCvCustomTabControl::LayoutChanged() { SetLayoutDirty(true); }

void TCvCustomTabControl::SetLayoutDirty(bool Value) {
  layout_dirty_ = Value;
  if (Value) InvalidateTabs();
}

void TCvCustomTabControl::InvalidateTabs() {
  hot_track_only_ = false;
  Invalidate();
}

// ---- Events

void TCvCustomTabControl::DoChanging(int32_t NewIndex, bool& AllowChange) {
  if (on_changing_) on_changing_(this, NewIndex, AllowChange);
}

void TCvCustomTabControl::DoGetTextColor(int32_t Index, TCvTextStyle Style, TColor& Color, bool& Handled) {
  if (on_get_text_color_) on_get_text_color_(this, Index, Style, Color, Handled);
}

void TCvCustomTabControl::DoTabClick() {
  if (on_tab_click_) on_tab_click_(this);
}

void TCvCustomTabControl::DoPaintBackground(TCanvas* Canvas, const TRect& Rect, bool& Handled) {
  if (on_paint_background_) on_paint_background_(this, Canvas, Rect, Handled);
}

void TCvCustomTabControl::DoPaintCardBackground(TCanvas* Canvas, int32_t Row, const TRect& Rect, bool& Handled) {
  if (on_paint_card_background_) on_paint_card_background_(this, Canvas, Row, Rect, Handled);
}

void TCvCustomTabControl::DoPaintTabBackground(TCanvas* Canvas, int32_t Index, const TRect& Rect, bool& Handled) {
  if (on_paint_tab_background_) on_paint_tab_background_(this, Canvas, Index, Rect, Handled);
}

void TCvCustomTabControl::DoChange() {
  if (on_change_) on_change_(this);
}

void TCvCustomTabControl::DoPageChange() {
  if (on_page_change_) on_page_change_(this);
}

bool TCvCustomTabControl::DoClose() {
  bool allow = false;
  if (on_close_) on_close_(this, allow);
  return allow;
}

void TCvCustomTabControl::DoTabOrderChange(int32_t OldIndex, int32_t NewIndex) {
  if (on_tab_order_change_) on_tab_order_change_(this, OldIndex, NewIndex);
}

// ---- Writers

namespace {

template <class T>
bool Store(T& Field, T Value) {
  if (Field == Value) return false;
  Field = Value;
  return true;
}

}  // namespace

void TCvCustomTabControl::SetAlignTabs(bool Value) {
  if (Store(align_tabs_, Value) && multi_line_) LayoutChanged();
}

void TCvCustomTabControl::SetBackgroundColor(TColor Value) {
  parent_background_color_ = false;
  if (Store(background_color_, Value)) InvalidateTabs();
}

void TCvCustomTabControl::SetBoldCurrentTab(bool Value) {
  if (Store(bold_current_tab_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetCardVisible(bool Value) {
  if (Store(card_visible_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetShowCardFrame(bool Value) {
  if (Store(show_card_frame_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetShowFullFrame(bool Value) {
  if (!Store(show_full_frame_, Value)) return;
  if (!Value) show_shadow_ = false;
  LayoutChanged();
}

void TCvCustomTabControl::SetShowShadow(bool Value) {
  if (!Store(show_shadow_, Value)) return;
  if (Value) show_full_frame_ = true;
  LayoutChanged();
  InvalidateTabs();
}

void TCvCustomTabControl::ButtonsChanged() {
  LayoutChanged();
  InvalidateTabs();
}

void TCvCustomTabControl::SetShowCloseButton(bool Value) {
  if (!Store(show_close_button_, Value)) return;
  if (Value && !close_button_) {
    close_button_ = new TCvTabCloseButton(this);  // owned by the control
    close_button_->SetTabControl(this);
    close_button_->SetFrameColor(outline_color_);
    close_button_->SetOnClose(TNotifyEvent(this, &TCvCustomTabControl::CloseTabClicked));
    close_button_->SetVisible(false);
    close_button_->SetParent(this);
  }
  if (close_button_) close_button_->SetVisible(Value);
  ButtonsChanged();
}

void TCvCustomTabControl::SetShowMenuButton(bool Value) {
  if (!Store(show_menu_button_, Value)) return;
  if (Value && !menu_button_) {
    menu_button_ = new TCvTabMenuButton(this);  // owned by the control
    menu_button_->SetTabControl(this);
    menu_button_->SetFrameColor(outline_color_);
    menu_button_->SetVisible(false);
    menu_button_->SetParent(this);
  }
  if (menu_button_) menu_button_->SetVisible(Value);
  ButtonsChanged();
}

void TCvCustomTabControl::NeedScroller() {
  if (scroller_) return;
  scroller_ = new TCvTabScroller(this);  // owned by the control
  scroller_->SetTabControl(this);
  scroller_->SetFrameColor(outline_color_);
  scroller_->SetOnUpRightClick(TNotifyEvent(this, &TCvCustomTabControl::ScrollUpRight));
  scroller_->SetOnDownLeftClick(TNotifyEvent(this, &TCvCustomTabControl::ScrollDownLeft));
  scroller_->SetBounds(-Width() - 1, -Height() - 1, scroller_->Width(), scroller_->Height());
  scroller_->SetParent(this);
}

void TCvCustomTabControl::SetUseColoredTabs(bool Value) {
  if (Store(use_colored_tabs_, Value)) InvalidateTabs();
}

void TCvCustomTabControl::SetCutCornerSize(int32_t Value) {
  if (Value < 0) return;
  if (Store(cut_corner_size_, Value) && tab_style_ == tsCutCorner) LayoutChanged();
}

TColor TCvCustomTabControl::OutlineColor() const { return ShiftColorLuminance(flat_color_, flat_color_adjustment_); }

void TCvCustomTabControl::SetFlatColor(TColor Value) {
  if (!Store(flat_color_, Value)) return;
  outline_color_ = OutlineColor();
  for (TCvTabStripButton* b : {static_cast<TCvTabStripButton*>(scroller_), static_cast<TCvTabStripButton*>(close_button_),
                               static_cast<TCvTabStripButton*>(menu_button_)})
    if (b) b->SetFrameColor(outline_color_);
  InvalidateTabs();
}

void TCvCustomTabControl::SetFlatColorAdjustment(int32_t Value) {
  if (!Store(flat_color_adjustment_, Value)) return;
  outline_color_ = OutlineColor();
  for (TCvTabStripButton* b : {static_cast<TCvTabStripButton*>(scroller_), static_cast<TCvTabStripButton*>(close_button_),
                               static_cast<TCvTabStripButton*>(menu_button_)})
    if (b) b->SetFrameColor(outline_color_);
  InvalidateTabs();
}

void TCvCustomTabControl::SetImagePosition(TCvImagePosition Value) {
  if (Store(image_position_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetImageAlignment(TCvHorizontalAlignment Value) {
  if (Store(image_alignment_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetImageMargin(int32_t Value) {
  if (Value < 0) return;
  if (Store(image_margin_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetImageAlignmentVertical(TCvVerticalAlignment Value) {
  if (Store(image_alignment_vertical_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetHotTrack(bool Value) {
  if (!Store(hot_track_, Value)) return;
  if (!Value && !tab_hints_) StopHoverTimer();
}

void TCvCustomTabControl::SetHotTrackColor(TColor Value) {
  if (Store(hot_track_color_, Value)) InvalidateTabs();
}

void TCvCustomTabControl::SetHotTrackColorType(TCvHotTrackColorType Value) {
  if (Store(hot_track_color_type_, Value)) InvalidateTabs();
}

void TCvCustomTabControl::SetHotTrackStyle(TCvTabHotTrackStyle Value) {
  if (Store(hot_track_style_, Value)) InvalidateTabs();
}

void TCvCustomTabControl::SetImages(TCustomImageList* Value) {
  if (SetLinkedImageList(images_, Value, image_change_link_.get(), this)) LayoutChanged();
}

void TCvCustomTabControl::SetMargin(int32_t Value) {
  if (Value < 0) return;
  if (Store(margin_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetMultiLine(bool Value) {
  if (Store(multi_line_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetParentBackgroundColor(bool Value) {
  parent_background_color_ = Value;
  if (Parent()) Perform(CM_PARENTCOLORCHANGED);
}

void TCvCustomTabControl::SetRowCount(int32_t Value) { row_count_ = Value; }

void TCvCustomTabControl::SetRowIndent(int32_t Value) {
  if (Value < 0) return;
  if (Store(row_indent_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetRowOverlap(int32_t Value) {
  if (Value < 0) return;
  if (Store(row_overlap_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetShowFocusRect(bool Value) {
  if (Store(show_focus_rect_, Value)) Invalidate();
}

void TCvCustomTabControl::SetSoftCorners(bool Value) {
  if (Store(soft_corners_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTabOverlap(int32_t Value) {
  if (Store(tab_overlap_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTextOrientation(TOrientation Value) {
  if (!Store(text_orientation_, Value)) return;
  if (!Loading() && !FontIsTrueType(Font())) Font()->SetName("Verdana");
  LayoutChanged();
}

void TCvCustomTabControl::SetTabColors(TCvTabColors* Value) { tab_colors_->Assign(Value); }

void TCvCustomTabControl::SetTextColors(TCvTextColors* Value) { text_colors_->Assign(Value); }

void TCvCustomTabControl::SetTabHeight(int32_t Value) {
  if (Value < 0) return;
  if (Store(tab_height_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTabHints(bool Value) {
  if (!Store(tab_hints_, Value)) return;
  if (!Value && !hot_track_) StopHoverTimer();
}

void TCvCustomTabControl::SetTabOrientation(TCvTabOrientation Value) {
  if (Store(tab_orientation_, Value) && !Loading()) LayoutChanged();
}

void TCvCustomTabControl::SetRegionCacheCapacity(int32_t Value) {
  if (Value == region_cache_capacity_ || (Value != -1 && Value <= 0)) return;
  region_cache_capacity_ = Value;
  region_cache_->SetCapacity(Value);
}

void TCvCustomTabControl::SetTabSequence(TCvTabSequence Value) {
  if (Store(tab_sequence_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTabStyle(TCvTabStyle Value) {
  if (Store(tab_style_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTabWidth(int32_t Value) {
  if (Value < 0) return;
  if (Store(tab_width_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTextAlignment(TCvHorizontalAlignment Value) {
  if (Store(text_alignment_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetTextAlignmentVertical(TCvVerticalAlignment Value) {
  if (Store(text_alignment_vertical_, Value)) LayoutChanged();
}

void TCvCustomTabControl::SetUseGradients(bool Value) {
  if (Store(use_gradients_, Value)) InvalidateTabs();
}

void TCvCustomTabControl::SetTransparent(bool Value) {
  if (Store(transparent_, Value)) InvalidateTabs();
}

// ---- Messages that change the layout or colours

void TCvCustomTabControl::WMSize(TWMSize& Message) {
  TCustomControl::WMSize(Message);
  LayoutChanged();
}

void TCvCustomTabControl::CMFontChanged(TWMNoParams& Message) {
  working_font_->Assign(Font());
  TCustomControl::CMFontChanged(Message);
  LayoutChanged();
}

void TCvCustomTabControl::CMParentColorChanged(TWMNoParams& Message) {
  TCustomControl::CMParentColorChanged(Message);
  if (parent_background_color_ && Parent()) {
    SetBackgroundColor(Parent()->Color());
    parent_background_color_ = true;
  }
}

void TCvCustomTabControl::CMColorChanged(TWMNoParams& Message) {
  if (use_colored_tabs_) {
    // The pages keep their own colours; the children hear that the parent's colour changed.
    for (int32_t i = 0; i < ControlCount(); ++i) Controls(i)->Perform(CM_PARENTCOLORCHANGED);
    return;
  }
  TCustomControl::CMColorChanged(Message);
  InvalidateTabs();
}

// =============================================================================================
// Fonts and text

void TCvCustomTabControl::SelectTabFont() {
  const int32_t level = SaveBufferDC();
  if (level == 0) throw Exception("Error saving device context");
  LOGFONT lf = working_font_->LogFont();
  lf.lfWidth = 0;
  lf.lfOrientation = 0;
  lf.lfWeight = working_font_->Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfPitchAndFamily = DEFAULT_PITCH;
  lf.lfEscapement = 0;
  if (text_orientation_ == orVertical) lf.lfEscapement = tab_orientation_ == toRight ? 2700 : 900;
  HFONT font = CreateFontIndirect(lf);
  font_stack_.push_back(font);
  saved_dcs_.push_back(level);
  SelectObject(BufferCanvas()->Handle(), font);
}

void TCvCustomTabControl::RestoreTabFont() {
  if (saved_dcs_.empty()) return;
  RestoreDC(BufferCanvas()->Handle(), saved_dcs_.back());
  saved_dcs_.pop_back();
  DeleteObject(font_stack_.back());
  font_stack_.pop_back();
}

int32_t TCvCustomTabControl::SaveBufferDC() { return SaveDC(BufferCanvas()->Handle()); }

namespace {

// The lines of a caption (split at CR LF).
std::vector<std::string> CaptionLines(const std::string& caption) {
  std::vector<std::string> lines;
  if (caption.empty()) return lines;
  size_t start = 0;
  for (;;) {
    const size_t at = caption.find("\r\n", start);
    if (at == std::string::npos) {
      lines.push_back(caption.substr(start));
      break;
    }
    lines.push_back(caption.substr(start, at - start));
    start = at + 2;
  }
  return lines;
}

// A line as it is measured: the first "&" drops out ("&&" keeps one), unless it ends the line.
std::string MeasuredLine(const std::string& line) {
  const size_t at = line.find('&');
  if (at == std::string::npos || at + 1 == line.size()) return line;
  std::string s = line;
  s.erase(at, 1);
  return s;
}

}  // namespace

TSize TCvCustomTabControl::MeasureText(const std::string& Caption, bool Horizontal) {
  const std::vector<std::string> lines = CaptionLines(Caption);
  TSize total(0, 0);
  HDC dc = BufferCanvas()->Handle();
  for (const std::string& line : lines) {
    TSize s(0, 0);
    const std::string text = MeasuredLine(line);
    if (!text.empty() && !GetTextExtentPoint32(dc, text, &s)) s = TSize(0, 0);
    if (text_orientation_ == orVertical) std::swap(s.cx, s.cy);
    if (Horizontal) {
      total.cx = std::max(total.cx, s.cx);
      total.cy += s.cy;
    } else {
      total.cx += s.cx;
      total.cy = std::max(total.cy, s.cy);
    }
  }
  return total;
}

TSize TCvCustomTabControl::MinContentSize() {
  const TFontStyles old = working_font_->Style();
  if (bold_current_tab_) working_font_->SetStyle(old + fsBold);
  TSize m(0, 0);
  try {
    SelectTabFont();
    const bool horizontal = text_orientation_ == orHorizontal;
    const TSize s = MeasureText(Round() ? "AAA" : "A", horizontal);
    RestoreTabFont();
    const int32_t h = std::abs(Font()->Height());
    m = horizontal ? TSize(s.cx, h) : TSize(h, s.cy);
  } catch (...) {
    working_font_->SetStyle(old);
    throw;
  }
  working_font_->SetStyle(old);
  return m;
}

TSize TCvCustomTabControl::TabContentSize(int32_t Index) {
  TCvTabData* tab = Tab(Index);
  if (!tab || !tab->Visible) return TSize(0, 0);
  TSize image(0, 0);
  if (images_ && tab->ImageIndex != -1) image = TSize(images_->Width(), images_->Height());
  const TFontStyles old = working_font_->Style();
  if (bold_current_tab_) working_font_->SetStyle(old + fsBold);
  TSize text;
  try {
    SelectTabFont();
    text = MeasureText(tab->Caption, text_orientation_ == orHorizontal);
    RestoreTabFont();
  } catch (...) {
    working_font_->SetStyle(old);
    throw;
  }
  working_font_->SetStyle(old);
  TSize r;
  switch (image_position_) {
    case ipLeft:
    case ipRight:
      r = TSize(image_margin_ + image.cx + text.cx, std::max(image.cy, text.cy));
      break;
    case ipTop:
    case ipBottom:
      r = TSize(std::max(image.cx, text.cx), image_margin_ + image.cy + text.cy);
      break;
    case ipBack:
      r = TSize(std::max(image.cx, text.cx), std::max(image.cy, text.cy));
      break;
    case ipStretch:
      r = text;
      break;
  }
  if (tab_width_ == 0 || tab_height_ == 0) {
    const TSize m = MinContentSize();
    if (tab_width_ == 0) r.cx = std::max(r.cx, m.cx);
    if (tab_height_ == 0) r.cy = std::max(r.cy, m.cy);
  }
  return r;
}

TSize TCvCustomTabControl::TabSize(TSize Content) const {
  const int32_t w = Content.cx, h = Content.cy, z = cut_corner_size_, th = tab_height_;
  const bool horz = HorzStrip();
  const bool hText = text_orientation_ == orHorizontal;
  switch (tab_style_) {
    case tsSingleSlant:
    case tsBackSlant:
      if (horz) return TSize(2 * ((h + 6) / 2) + w + 2 + th / 2 + 4, h + 6);
      return TSize(w + 6, 2 * ((w + 6) / 2) + h + 2 + th / 2 + 4);
    case tsDoubleSlant:
      if (horz) return TSize(2 * (h + 2) + w + 2 + th + 4, h + 6);
      return TSize(w + 6, 2 * (w + 2) + h + 2 + th + 4);
    case tsCutCorner:
      if (hText) return horz ? TSize(2 * z + w + 8, h + 7) : TSize(w + z + 7, h + 10);
      return horz ? TSize(w + 10, h + z + 7) : TSize(w + 7, 2 * z + h + 8);
    case tsRoundCorners:
      return hText ? TSize(w + 16, h + 6) : TSize(w + 6, h + 16);
  }
  return TSize(0, 0);
}

int32_t TCvCustomTabControl::StyleOverlap(int32_t D) const {
  switch (tab_style_) {
    case tsSingleSlant:
    case tsBackSlant: return D / 2;
    case tsDoubleSlant: return D;
    default: return tab_overlap_;
  }
}

// =============================================================================================
// Layout

namespace {

// The content sizes of the tabs, measured once per layout.
thread_local std::vector<TSize>* g_contents = nullptr;

}  // namespace

int32_t TCvCustomTabControl::TabLength(int32_t Index, TSize MaxContent, int32_t Available) {
  TSize c = g_contents && Index < static_cast<int32_t>(g_contents->size()) ? (*g_contents)[static_cast<size_t>(Index)]
                                                                           : TabContentSize(Index);
  if (HorzStrip()) c.cy = MaxContent.cy;
  else c.cx = MaxContent.cx;
  TSize s = TabSize(c);
  if (tab_width_ > 0) s.cx = tab_width_;
  if (tab_height_ > 0) s.cy = tab_height_;
  const int32_t len = HorzStrip() ? s.cx : s.cy;
  return std::min(len, Round() ? Available - 4 : Available);
}

void TCvCustomTabControl::CalcTabRects() {
  ++layout_count_;
  const int32_t n = tabs_->Count();
  std::vector<TSize> contents(static_cast<size_t>(n));
  TSize maxContent(0, 0), maxTab(0, 0);
  const TSize minContent = MinContentSize();
  for (int32_t i = 0; i < n; ++i) {
    contents[static_cast<size_t>(i)] = TabContentSize(i);
    if (!Tab(i)->Visible) continue;
    const TSize c = contents[static_cast<size_t>(i)];
    maxContent.cx = std::max(maxContent.cx, c.cx);
    maxContent.cy = std::max(maxContent.cy, c.cy);
    TSize s = TabSize(TSize(std::max(c.cx, minContent.cx), std::max(c.cy, minContent.cy)));
    if (tab_width_ > 0) s.cx = tab_width_;
    if (tab_height_ > 0) s.cy = tab_height_;
    maxTab.cx = std::max(maxTab.cx, s.cx);
    maxTab.cy = std::max(maxTab.cy, s.cy);
  }
  fixed_dimension_ = HorzStrip() ? maxTab.cy : maxTab.cx;
  std::vector<TSize>* previous = g_contents;
  g_contents = &contents;
  try {
    SetRowCount(multi_line_ ? CountRows(maxContent) : 1);
    PlaceTabs(maxContent);
    const bool lengthFixed = HorzStrip() ? tab_width_ > 0 : tab_height_ > 0;
    if (multi_line_ && align_tabs_ && !lengthFixed) JustifyRows();
  } catch (...) {
    g_contents = previous;
    throw;
  }
  g_contents = previous;
}

int32_t TCvCustomTabControl::CountRows(TSize MaxContent) {
  const int32_t D = fixed_dimension_;
  const int32_t n = tabs_->Count();
  const int32_t last = LastVisibleIndex();
  int32_t A = StripLength() - 2 * margin_;
  int32_t j = 1, k = 1, pos = margin_, i = 0;
  while (i < n) {
    if (!Tab(i)->Visible) {
      ++i;
      continue;
    }
    const int32_t len = TabLength(i, MaxContent, A);
    if (pos + len < A) {
      pos += len - StyleOverlap(D) + 1;
      ++i;
      continue;
    }
    if (k < j) {
      ++k;
      if (pos == margin_) ++i;  // a tab longer than the row fills a row alone
    } else if (pos > margin_ || (pos == margin_ && i < last)) {
      i = 0;
      ++j;
      k = 1;
      A -= row_indent_;
    } else {
      ++i;
    }
    pos = margin_;
  }
  return k;
}

void TCvCustomTabControl::PlaceTabs(TSize MaxContent) {
  const int32_t D = fixed_dimension_;
  const int32_t n = tabs_->Count();
  int32_t y = TabAreaThickness() - D;
  int32_t A = StripLength() - 2 * margin_;
  if (multi_line_) {
    A -= (row_count_ - 1) * row_indent_;
  } else {
    const int32_t s = ButtonSize();
    if (show_close_button_) A -= CloseRoom() + 2;
    if (show_menu_button_) A -= MenuRoom() + 2;
    A -= 2 * s + 2;
  }
  int32_t row = 0;
  if (!Reverse()) {
    int32_t pos = margin_;
    for (int32_t i = 0; i < n; ++i) {
      TCvTabData* t = Tab(i);
      if (!t->Visible) continue;
      const int32_t len = TabLength(i, MaxContent, A);
      if (multi_line_ && pos + len >= A) {
        if (pos == margin_) {
          t->Left = pos, t->Top = y, t->Right = pos + len, t->Bottom = y + D, t->Row = row;
        } else {
          --i;  // the same tab again, in the next row
        }
        ++row;
        pos = margin_;
        y -= D - row_overlap_;
        continue;
      }
      t->Left = pos, t->Top = y, t->Right = pos + len, t->Bottom = y + D, t->Row = row;
      pos += len - StyleOverlap(D) + 1;
    }
    return;
  }
  int32_t p = -margin_;
  for (int32_t i = 0; i < n; ++i) {
    TCvTabData* t = Tab(i);
    if (!t->Visible) continue;
    const int32_t len = TabLength(i, MaxContent, A);
    if (multi_line_ && p - len <= -A) {
      if (p == -margin_) {
        t->Left = p - len, t->Top = y, t->Right = p, t->Bottom = y + D, t->Row = row;
      } else {
        --i;
      }
      ++row;
      p = -margin_;
      y -= D - row_overlap_;
      continue;
    }
    t->Left = p - len, t->Top = y, t->Right = p, t->Bottom = y + D, t->Row = row;
    p -= len - StyleOverlap(D) + 1;
  }
  const int32_t shift = multi_line_ ? Width() : std::abs(p);
  for (int32_t i = 0; i < n; ++i) {
    TCvTabData* t = Tab(i);
    if (!t->Visible) continue;
    t->Left += shift;
    t->Right += shift;
  }
}

void TCvCustomTabControl::JustifyRows() {
  const int32_t n = tabs_->Count();
  int32_t i = 0;
  while (i < n) {
    if (!Tab(i)->Visible) {
      ++i;
      continue;
    }
    // A run of consecutive visible tabs of one row.
    std::vector<int32_t> run{i};
    const int32_t row = Tab(i)->Row;
    int32_t j = i + 1;
    for (; j < n; ++j) {
      if (!Tab(j)->Visible) continue;
      if (Tab(j)->Row != row) break;
      run.push_back(j);
    }
    i = j;
    TCvTabData* first = Tab(run.front());
    TCvTabData* last = Tab(run.back());
    int32_t length = Reverse() ? first->Right - last->Left : last->Right - first->Left;
    if (Round()) length += 4;
    const int32_t E = StripLength() - 2 * margin_ - (row_count_ - 1) * row_indent_ - length;
    if (E < 1) continue;
    const int32_t count = static_cast<int32_t>(run.size());
    int32_t moved = 0;
    for (int32_t k = 0; k < count; ++k) {
      TCvTabData* t = Tab(run[static_cast<size_t>(k)]);
      const int32_t grow = E / count + (k < E % count ? 1 : 0);
      if (!Reverse()) {
        t->Left += moved;
        t->Right += moved + grow;
      } else {
        t->Right -= moved;
        t->Left -= moved + grow;
      }
      moved += grow;
    }
  }
}

// ---- Geometry

TRect TCvCustomTabControl::ClientBox() {
  if (!HandleAllocated()) return TRect(0, 0, Width() - 1, Height() - 1);
  return TRect(0, 0, ClientWidth() - 1, ClientHeight() - 1);
}

int32_t TCvCustomTabControl::TabAreaThickness() {
  const int32_t D = fixed_dimension_;
  if (card_visible_) return (Round() ? 3 : 0) + D + (D - row_overlap_) * (row_count_ - 1);
  int32_t t = HorzStrip() ? Height() - 1 : Width() - 1;
  if (Round() && (tab_orientation_ == toBottom || tab_orientation_ == toRight)) --t;
  return t;
}

TRect TCvCustomTabControl::TabStripRect() {
  const int32_t W = Width(), H = Height(), T = TabAreaThickness();
  switch (tab_orientation_) {
    case toTop: return TRect(0, 0, show_shadow_ && !Reverse() ? W - 3 : W - 1, T);
    case toBottom: return TRect(0, H - 1 - T, W - 1, H - 1);
    case toLeft: return TRect(0, 0, T, H - 1);
    case toRight: return TRect(W - 1 - T, 0, W - 1, H - 1);
  }
  return TRect();
}

int32_t TCvCustomTabControl::StripLength() {
  const TRect s = TabStripRect();
  return HorzStrip() ? s.Right - s.Left : s.Bottom - s.Top;
}

TRect TCvCustomTabControl::CardRect(int32_t Row) {
  const TRect B = ClientBox();
  if (tabs_->Count() == 0 && card_visible_) return B;
  const int32_t D = fixed_dimension_, T = TabAreaThickness();
  const int32_t u = Row * row_indent_, d = Row * (D - row_overlap_), b = T - d;
  const int32_t e = row_indent_ * (row_count_ - 1 - Row);
  const bool rev = Reverse();
  TRect r;
  switch (tab_orientation_) {
    case toTop:
      r = rev ? TRect(B.Left + e, B.Top + b, B.Right - u, B.Bottom - d) : TRect(B.Left + u, B.Top + b, B.Right - e, B.Bottom - d);
      break;
    case toBottom:
      r = rev ? TRect(B.Left + e, B.Top + d, B.Right - u, B.Bottom - b) : TRect(B.Left + u, B.Top + d, B.Right - e, B.Bottom - b);
      break;
    case toLeft:
      r = rev ? TRect(B.Left + b, B.Top + u, B.Right - d, B.Bottom - e) : TRect(B.Left + b, B.Top + e, B.Right - d, B.Bottom - u);
      break;
    case toRight:
      r = rev ? TRect(B.Left + d, B.Top + e, B.Right - b, B.Bottom - u) : TRect(B.Left + d, B.Top + u, B.Right - b, B.Bottom - e);
      break;
  }
  if (r.Right < r.Left || r.Bottom < r.Top) r = TRect(0, 0, 0, 0);
  if (!card_visible_) {
    switch (tab_orientation_) {
      case toTop: r.Left = B.Left - 3, r.Right = B.Right + 3, r.Bottom = B.Bottom + 3; break;
      case toBottom: r.Left = B.Left - 3, r.Right = B.Right + 3, r.Top = B.Top - 3; break;
      case toLeft: r.Top = B.Top - 3, r.Right = B.Right + 3, r.Bottom = B.Bottom + 3; break;
      case toRight: r.Left = B.Left - 3, r.Top = B.Top - 3, r.Bottom = B.Bottom + 3; break;
    }
  }
  return r;
}

TRect TCvCustomTabControl::PageRect() {
  if (!card_visible_) return TRect(-2, -2, -1, -1);
  TRect r = CardRect(0);
  if (!show_card_frame_) {
    r.Right += 1;
    r.Bottom += 1;
  } else if (show_full_frame_) {
    r.Left += 1;
    r.Top += 1;
    if (tab_orientation_ == toTop && !Reverse() && show_shadow_) {
      r.Right -= 2;
      r.Bottom -= 2;
    }
  } else {
    if (tab_orientation_ != toRight) r.Top += 1;
    r.Right += 1;
    r.Bottom += 1;
  }
  return r;
}

int32_t TCvCustomTabControl::ButtonSize() {
  SelectTabFont();
  TSize a(0, 0);
  if (!GetTextExtentPoint32(BufferCanvas()->Handle(), "A", &a)) a = TSize(0, 0);
  RestoreTabFont();
  const bool hText = text_orientation_ == orHorizontal;
  // The height of "A" across the text (its width for turned text).
  int32_t s = (hText ? a.cy : a.cx) + (hText ? 4 : 2);
  const bool acrossFixed = (hText && tab_height_ > 0 && HorzStrip()) || (!hText && tab_width_ > 0 && !HorzStrip());
  s = acrossFixed ? std::max(s, fixed_dimension_ - 2) : std::min(s, fixed_dimension_ - 2);
  return std::max(s, 0);
}

int32_t TCvCustomTabControl::CloseRoom() { return show_close_button_ && tabs_->Count() > 0 ? ButtonSize() : 0; }
int32_t TCvCustomTabControl::MenuRoom() { return show_menu_button_ && tabs_->Count() > 0 ? ButtonSize() : 0; }

int32_t TCvCustomTabControl::ScrollOffset() const {
  const TCvTabData* f = Tab(first_shown_tab_);
  if (!f) return 0;
  const int32_t m = margin_ + (Round() ? 2 : 0);
  return Reverse() ? f->Right + m : f->Left - m;
}

TPoint TCvCustomTabControl::MapPoint(TPoint P) {
  const TRect S = TabStripRect();
  const int32_t o = ScrollOffset();
  const bool rev = Reverse();
  switch (tab_orientation_) {
    case toTop: return TPoint((rev ? S.Right : S.Left) + P.X - o, S.Top + P.Y);
    case toBottom: return TPoint((rev ? S.Right : S.Left) + P.X - o, S.Bottom - P.Y);
    case toLeft: return TPoint(S.Left + P.Y, (rev ? S.Top : S.Bottom) + o - P.X);
    case toRight: return TPoint(S.Right - P.Y, (rev ? S.Bottom : S.Top) + P.X - o);
  }
  return P;
}

TRect TCvCustomTabControl::MapRect(const TRect& R) {
  const TPoint a = MapPoint(TPoint(R.Left, R.Top)), b = MapPoint(TPoint(R.Right, R.Bottom));
  return TRect(std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y));
}

TRect TCvCustomTabControl::ShiftedTabRect(int32_t Index) const {
  const TCvTabData* t = Tab(Index);
  if (!t) return TRect();
  TRect r(t->Left, t->Top, t->Right, t->Bottom);
  r.Offset(Reverse() ? -t->Row * row_indent_ : t->Row * row_indent_, 0);
  if (Round() && Index == tab_index_) {
    r.Left -= 2;
    r.Right += 2;
    r.Top -= 2;
  }
  return r;
}

TRect TCvCustomTabControl::TabClientRect(int32_t Index) {
  if (!Tab(Index)) return TRect();
  return MapRect(ShiftedTabRect(Index));
}

int32_t TCvCustomTabControl::FirstVisibleIndex() const {
  for (int32_t i = 0; i < tabs_->Count(); ++i)
    if (Tab(i)->Visible) return i;
  return -1;
}

int32_t TCvCustomTabControl::LastVisibleIndex() const {
  for (int32_t i = tabs_->Count() - 1; i >= 0; --i)
    if (Tab(i)->Visible) return i;
  return -1;
}

void TCvCustomTabControl::CheckScrollerNeeded() {
  scroller_needed_ = false;
  if (multi_line_) return;
  const int32_t first = FirstVisibleIndex();
  if (first < 0) return;
  int32_t A = StripLength() - 2 * margin_;
  if (show_close_button_) A -= CloseRoom() + 2;
  if (show_menu_button_) A -= MenuRoom() + 2;
  scroller_needed_ = Reverse() ? A < Tab(first)->Right : A < Tab(LastVisibleIndex())->Right;
}

bool TCvCustomTabControl::IsTabInView(int32_t Index) {
  const TCvTabData* t = Tab(Index);
  if (!t || !t->Visible) return false;
  if (!scroller_needed_) return true;
  int32_t room = StripLength() - 2 * ButtonSize() - 2 * margin_;
  if (show_close_button_) room -= CloseRoom() + 2;
  if (show_menu_button_) room -= MenuRoom() + 2;
  const int32_t o = ScrollOffset();
  if (!Reverse()) return t->Left >= o && t->Right - o <= room;
  return t->Right <= o && o - t->Left <= room;
}

void TCvCustomTabControl::UpdateLayout() {
  if (!layout_dirty_) return;
  layout_dirty_ = false;
  CalcTabRects();
  region_cache_->Clear();
  const int32_t old = first_shown_tab_;
  const int32_t fv = FirstVisibleIndex();
  CheckScrollerNeeded();
  const int32_t n = tabs_->Count();
  if (scroller_needed_) {
    int32_t f = std::max(first_shown_tab_, 0);
    while (f < n && !IsTabInView(f)) first_shown_tab_ = ++f;
    if (f >= n) {
      f = old - 1;
      first_shown_tab_ = f;
      while (f >= 0 && !IsTabInView(f)) first_shown_tab_ = --f;
      if (f < 0) first_shown_tab_ = fv;
    } else {
      first_shown_tab_ = f;
    }
  } else {
    first_shown_tab_ = fv;
  }
  // Selection repair: the selected tab may have become hidden or disabled.
  if (fv >= 0 && tab_index_ >= 0) {
    int32_t candidate = -1;
    for (int32_t i = tab_index_; i < n && candidate < 0; ++i)
      if (CanChange(i)) candidate = i;
    for (int32_t i = std::min(tab_index_, n) - 1; i >= 0 && candidate < 0; --i)
      if (CanChange(i)) candidate = i;
    if (candidate != -1) SetTabIndexProgrammatic(candidate);
  }
  const TRect page = PageRect();
  if (page != last_page_rect_) Realign();
}

void TCvCustomTabControl::ScrollTabs(bool Forward) {
  const int32_t n = tabs_->Count();
  const int32_t old = first_shown_tab_;
  if (Forward) {
    if (first_shown_tab_ >= n - 1 || IsTabInView(LastVisibleIndex())) return;
    do {
      ++first_shown_tab_;
    } while (first_shown_tab_ < n && !IsTabInView(first_shown_tab_));
    if (first_shown_tab_ >= n) first_shown_tab_ = old;
    else InvalidateTabs();
    return;
  }
  if (first_shown_tab_ <= 0 || IsTabInView(FirstVisibleIndex())) return;
  do {
    --first_shown_tab_;
  } while (first_shown_tab_ >= 0 && !IsTabInView(first_shown_tab_));
  if (first_shown_tab_ < 0) first_shown_tab_ = old;
  else InvalidateTabs();
}

void TCvCustomTabControl::BringRowToFront() {
  TCvTabData* selected = Tab(tab_index_);
  if (!selected || selected->Row == 0 || !multi_line_) return;
  const int32_t n = tabs_->Count();
  int32_t m = 0;
  for (int32_t i = 0; i < n; ++i)
    if (Tab(i)->Visible) m = std::max(m, Tab(i)->Row);
  std::vector<std::pair<int32_t, int32_t>> rowY(static_cast<size_t>(m) + 1, {0, 0});
  std::vector<bool> noted(static_cast<size_t>(m) + 1, false);
  for (int32_t i = 0; i < n; ++i) {
    TCvTabData* t = Tab(i);
    if (!t->Visible || t->Row < 0 || t->Row > m || noted[static_cast<size_t>(t->Row)]) continue;
    noted[static_cast<size_t>(t->Row)] = true;
    rowY[static_cast<size_t>(t->Row)] = {t->Top, t->Bottom};
  }
  const int32_t b = selected->Row;
  for (int32_t i = 0; i < n; ++i) {
    TCvTabData* t = Tab(i);
    if (!t->Visible) continue;
    const int32_t r = (t->Row + m - b + 1) % (m + 1);
    t->Row = r;
    t->Top = rowY[static_cast<size_t>(r)].first;
    t->Bottom = rowY[static_cast<size_t>(r)].second;
  }
  region_cache_->Clear();
}

void TCvCustomTabControl::PlaceButtons() {
  if (Loading()) return;
  const TRect S = TabStripRect();
  const int32_t s = ButtonSize(), M = margin_;
  const int32_t cs = CloseRoom(), ms = MenuRoom();
  const int32_t Cc = show_close_button_ ? cs + 2 : 0, Mc = show_menu_button_ ? ms + 2 : 0;
  const int32_t k = show_shadow_ ? -1 : 1;
  const int32_t w2 = 2 * s - 1;
  TPoint close, menu, scroll;
  if (!Reverse()) {
    switch (tab_orientation_) {
      case toTop:
        close = TPoint(S.Right + k - s - M, S.Bottom - s - 2);
        menu = TPoint(S.Right + k - s - M - Cc, S.Bottom - s - 2);
        scroll = TPoint(S.Right + k - w2 - M - Cc - Mc, S.Bottom - s - 2);
        break;
      case toBottom:
        close = TPoint(S.Right - s - M + 1, S.Top + 2);
        menu = TPoint(S.Right - s - M + 1 - Cc, S.Top + 2);
        scroll = TPoint(S.Right - w2 - M + 1 - Cc - Mc, S.Top + 2);
        break;
      case toLeft:
        close = TPoint(S.Right - s - 2, S.Top + M);
        menu = TPoint(S.Right - s - 2, S.Top + M + Cc);
        scroll = TPoint(S.Right - s - 2, S.Top + M + Cc + Mc);
        break;
      case toRight:
        close = TPoint(S.Left + 2, S.Bottom - s - M + 1);
        menu = TPoint(S.Left + 2, S.Bottom - s - M + 1 - Cc);
        scroll = TPoint(S.Left + 2, S.Bottom - w2 - M + 1 - Cc - Mc);
        break;
    }
  } else {
    switch (tab_orientation_) {
      case toTop:
        close = TPoint(S.Left + M, S.Bottom - s - 2);
        menu = TPoint(S.Left + M + Cc, S.Bottom - s - 2);
        scroll = TPoint(S.Left + M + Cc + Mc, S.Bottom - s - 2);
        break;
      case toBottom:
        close = TPoint(S.Left + M, S.Top + 2);
        menu = TPoint(S.Left + M + Cc, S.Top + 2);
        scroll = TPoint(S.Left + M + Cc + Mc, S.Top + 2);
        break;
      case toLeft:
        close = TPoint(S.Right - s - 2, S.Bottom - s - M + 1);
        menu = TPoint(S.Right - s - 2, S.Bottom - s - M + 1 - Cc);
        scroll = TPoint(S.Right - s - 2, S.Bottom - w2 - M + 1 - Cc - Mc);
        break;
      case toRight:
        close = TPoint(S.Left + 2, S.Top + M);
        menu = TPoint(S.Left + 2, S.Top + M + Cc);
        scroll = TPoint(S.Left + 2, S.Top + M + Cc + Mc);
        break;
    }
  }
  if (show_close_button_ && close_button_) {
    close_button_->SetBounds(close.X, close.Y, s, s);
    close_button_->SetVisible(true);
  }
  if (show_menu_button_ && menu_button_) {
    menu_button_->SetBounds(menu.X, menu.Y, s, s);
    menu_button_->SetVisible(true);
  }
  if (scroller_needed_) {
    NeedScroller();
    const bool horz = HorzStrip();
    scroller_->SetOrientation(horz ? orHorizontal : orVertical);
    scroller_->SetBounds(scroll.X, scroll.Y, horz ? w2 : s, horz ? s : w2);
    scroller_->SetVisible(true);
  } else if (scroller_) {
    scroller_->SetBounds(-Width() - 1, -Height() - 1, scroller_->Width(), scroller_->Height());
  }
}

void TCvCustomTabControl::AlignControls(TControl* AControl, TRect& Rect) {
  PlaceButtons();
  Rect = PageRect();
  last_page_rect_ = Rect;
  TCustomControl::AlignControls(AControl, Rect);
}

void CvTabsRegisterClasses() {
  RegisterClass(TCvPageControl::StaticClass());
  RegisterClass(TCvTabSheet::StaticClass());
}
