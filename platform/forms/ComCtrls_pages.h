// The page control: a row of tabs over a framed area that shows one of its tab sheets at a
// time. Sheets whose tab is hidden keep their place in Pages but show no tab.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/forms/Controls.h"

class TPageControl;

PX_EVENT_TYPE(TTabChangingEvent, void(TObject* Sender, bool& AllowChange));

class TTabSheet : public TCustomControl {
  PX_CLASS(TTabSheet)
 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;

  // Setting it moves the sheet into that control (the last page) or out of any (nullptr).
  TPageControl* PageControl() const { return page_control_; }
  void SetPageControl(TPageControl* Value);
  // Its index in the page control's Pages, -1 outside one; setting it reorders the pages.
  int32_t PageIndex() const;
  void SetPageIndex(int32_t Value);
  // Its index among the tabs shown, -1 when its tab is hidden.
  int32_t TabIndex() const;
  bool TabVisible() const { return tab_visible_; }
  void SetTabVisible(bool Value);
  int32_t ImageIndex() const { return image_index_; }
  void SetImageIndex(int32_t Value) { image_index_ = Value; }

  // The form loader nests sheets inside their page control.
  void SetParentComponent(TComponent* Value) override;

 protected:
  void Paint() override;
  void CMTextChanged(TWMNoParams& Message) override;

 private:
  friend class TPageControl;
  TPageControl* page_control_ = nullptr;
  bool tab_visible_ = true;
  int32_t image_index_ = -1;
};

class TPageControl : public TCustomControl {
  PX_CLASS(TPageControl)
 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;

  int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  TTabSheet* Pages(int32_t Index) const;
  // The sheet shown (nullptr when none). Setting it shows that sheet and hides the others; it
  // fires no event.
  TTabSheet* ActivePage() const { return active_; }
  void SetActivePage(TTabSheet* Value);
  int32_t ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }
  void SetActivePageIndex(int32_t Value);
  // The active page's index among the visible tabs.
  int32_t TabIndex() const { return active_ ? active_->TabIndex() : -1; }
  // The next (or previous) page with a visible tab after Current, wrapping; nullptr when none.
  TTabSheet* FindNextPage(TTabSheet* Current, bool GoForward, bool CheckTabVisible) const;
  // Activates the next visible page as the user does (OnChanging, then OnChange).
  void SelectNextPage(bool GoForward);
  // The tab rectangles of the pages with a visible tab, in their order (client coordinates).
  std::vector<TRect> TabRects();
  // The visible-tab index at a client point, -1 when none.
  int32_t IndexOfTabAt(int32_t X, int32_t Y);
  int32_t TabHeight();

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  const TTabChangingEvent& OnChanging() const { return on_changing_; }
  void SetOnChanging(const TTabChangingEvent& Value) { on_changing_ = Value; }

  void Loaded() override;

 protected:
  void Paint() override;
  // The sheets fill the frame's inside.
  void AdjustClientRect(TRect& Rect) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void WMGetDlgCode(TWMGetDlgCode& Message) override;
  void CMDialogKey(TWMKey& Message) override;
  void CMFontChanged(TWMNoParams& Message) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void ShowActive();
  // A change by the user: OnChanging may refuse it; OnChange follows.
  bool UserActivate(TTabSheet* Page);
  std::vector<TTabSheet*> VisibleTabs() const;

  std::vector<TTabSheet*> pages_;
  TTabSheet* active_ = nullptr;
  TNotifyEvent on_change_;
  TTabChangingEvent on_changing_;
};
