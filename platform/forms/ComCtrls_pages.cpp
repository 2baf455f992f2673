// The page control and its tab sheets: tabs in the classic look, the framed page area, and
// switching pages by mouse and keyboard.
#include "platform/forms/ComCtrls_pages.h"

#include <algorithm>

#include "platform/forms/Forms.h"

namespace {

constexpr int32_t kTabPadding = 6;  // left and right of a tab's caption
constexpr int32_t kRowLeft = 2;     // where the first tab starts
constexpr int32_t kFrame = 4;       // between the frame's outside and the sheets

}  // namespace

// =============================================================================================
// TTabSheet

PX_CLASS_INFO(TTabSheet, TCustomControl, [](TPropertyBuilder<TTabSheet>& b) {
  b.Int("ImageIndex", &TTabSheet::ImageIndex, &TTabSheet::SetImageIndex).Default(-1);
  b.Int("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex).Stored(false);
  b.Bool("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible).Default(true);
})

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls});
  SetAlign(alClient);
  SetVisible(false);
  SetParentColor(false);
  SetColor(clBtnFace);
}

TTabSheet::~TTabSheet() {
  if (page_control_) page_control_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (page_control_ == Value) return;
  if (page_control_) page_control_->RemovePage(this);
  SetParent(Value);
  if (Value) Value->InsertPage(this);
}

void TTabSheet::SetParentComponent(TComponent* Value) {
  if (auto* pc = dynamic_cast<TPageControl*>(Value)) SetPageControl(pc);
  else TCustomControl::SetParentComponent(Value);
}

int32_t TTabSheet::PageIndex() const {
  if (!page_control_) return -1;
  const auto& pages = page_control_->pages_;
  return static_cast<int32_t>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int32_t Value) {
  if (!page_control_) return;
  auto& pages = page_control_->pages_;
  const int32_t from = PageIndex();
  Value = std::clamp(Value, 0, static_cast<int32_t>(pages.size()) - 1);
  if (from == Value) return;
  pages.erase(pages.begin() + from);
  pages.insert(pages.begin() + Value, this);
  page_control_->Invalidate();
}

int32_t TTabSheet::TabIndex() const {
  if (!page_control_ || !tab_visible_) return -1;
  const std::vector<TTabSheet*> tabs = page_control_->VisibleTabs();
  return static_cast<int32_t>(std::find(tabs.begin(), tabs.end(), this) - tabs.begin());
}

void TTabSheet::SetTabVisible(bool Value) {
  if (tab_visible_ == Value) return;
  tab_visible_ = Value;
  if (!page_control_) return;
  // A page losing its tab hands the display to the next page that has one.
  if (!Value && page_control_->active_ == this) page_control_->SetActivePage(page_control_->FindNextPage(this, true, true));
  else if (Value && !page_control_->active_) page_control_->SetActivePage(this);
  page_control_->Invalidate();
}

void TTabSheet::CMTextChanged(TWMNoParams& Message) {
  TCustomControl::CMTextChanged(Message);
  if (page_control_) page_control_->Invalidate();
}

void TTabSheet::Paint() {
  Canvas()->Brush()->SetColor(Color());
  Canvas()->Brush()->SetStyle(bsSolid);
  Canvas()->FillRect(ClientRect());
}

// =============================================================================================
// TPageControl

PX_CLASS_INFO(TPageControl, TCustomControl, [](TPropertyBuilder<TPageControl>& b) {
  b.Object<TTabSheet>("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage);
  b.Redeclare("TabStop").Default(true);
  b.Event("OnChange", &TPageControl::OnChange, &TPageControl::SetOnChange);
  b.Event("OnChanging", &TPageControl::OnChanging, &TPageControl::SetOnChanging);
})

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls} - TControlStyle{csClickEvents});
  SetBounds(Left(), Top(), 289, 193);
  SetTabStop(true);
  SetParentColor(false);
  SetColor(clBtnFace);
}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->page_control_ = nullptr;
}

TTabSheet* TPageControl::Pages(int32_t Index) const {
  if (Index < 0 || Index >= PageCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return pages_[static_cast<size_t>(Index)];
}

void TPageControl::InsertPage(TTabSheet* Page) {
  pages_.push_back(Page);
  Page->page_control_ = this;
  if (!active_ && Page->TabVisible() && !ComponentState().Contains(csLoading)) SetActivePage(Page);
  else Page->SetVisible(Page == active_);
  Invalidate();
}

void TPageControl::RemovePage(TTabSheet* Page) {
  TTabSheet* next = active_ == Page ? FindNextPage(Page, true, true) : active_;
  if (next == Page) next = nullptr;
  pages_.erase(std::remove(pages_.begin(), pages_.end(), Page), pages_.end());
  Page->page_control_ = nullptr;
  if (active_ == Page) {
    active_ = nullptr;
    SetActivePage(next);
  }
  Invalidate();
}

std::vector<TTabSheet*> TPageControl::VisibleTabs() const {
  std::vector<TTabSheet*> tabs;
  for (TTabSheet* p : pages_)
    if (p->TabVisible()) tabs.push_back(p);
  return tabs;
}

void TPageControl::SetActivePage(TTabSheet* Value) {
  if (Value && Value->page_control_ != this) return;
  active_ = Value;
  ShowActive();
}

void TPageControl::ShowActive() {
  if (ComponentState().Contains(csLoading)) return;
  for (TTabSheet* p : pages_) p->SetVisible(p == active_);
  if (active_) active_->BringToFront();
  Invalidate();
}

void TPageControl::SetActivePageIndex(int32_t Value) {
  SetActivePage(Value >= 0 && Value < PageCount() ? pages_[static_cast<size_t>(Value)] : nullptr);
}

void TPageControl::Loaded() {
  TCustomControl::Loaded();
  if (!active_) active_ = FindNextPage(nullptr, true, true);
  ShowActive();
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* Current, bool GoForward, bool CheckTabVisible) const {
  const int32_t n = PageCount();
  if (n == 0) return nullptr;
  int32_t start = -1;
  for (int32_t i = 0; i < n; ++i)
    if (pages_[static_cast<size_t>(i)] == Current) start = i;
  if (start < 0) start = GoForward ? n - 1 : 0;
  for (int32_t k = 1; k <= n; ++k) {
    const int32_t i = ((start + (GoForward ? k : -k)) % n + n) % n;
    TTabSheet* p = pages_[static_cast<size_t>(i)];
    if (!CheckTabVisible || p->TabVisible()) return p;
  }
  return nullptr;
}

bool TPageControl::UserActivate(TTabSheet* Page) {
  if (!Page || Page == active_) return false;
  bool allow = true;
  if (on_changing_) on_changing_(this, allow);
  if (!allow) return false;
  SetActivePage(Page);
  if (on_change_) on_change_(this);
  return true;
}

void TPageControl::SelectNextPage(bool GoForward) { UserActivate(FindNextPage(active_, GoForward, true)); }

int32_t TPageControl::TabHeight() {
  Canvas()->Font()->Assign(Font());
  return Canvas()->TextHeight("Ag") + 7;
}

std::vector<TRect> TPageControl::TabRects() {
  std::vector<TRect> rects;
  const int32_t th = TabHeight();
  Canvas()->Font()->Assign(Font());
  int32_t x = kRowLeft;
  for (TTabSheet* p : VisibleTabs()) {
    const int32_t w = Canvas()->TextWidth(p->Caption()) + 2 * kTabPadding;
    TRect r(x, 2, x + w, th);
    // The active tab stands out: taller and wider.
    if (p == active_) r = TRect(r.Left - 2, 0, r.Right + 2, th + 1);
    rects.push_back(r);
    x += w;
  }
  return rects;
}

int32_t TPageControl::IndexOfTabAt(int32_t X, int32_t Y) {
  const std::vector<TRect> rects = TabRects();
  // The active tab overlaps its neighbours: it wins.
  const int32_t active = TabIndex();
  if (active >= 0 && rects[static_cast<size_t>(active)].Contains(TPoint(X, Y))) return active;
  for (size_t i = 0; i < rects.size(); ++i)
    if (rects[i].Contains(TPoint(X, Y))) return static_cast<int32_t>(i);
  return -1;
}

void TPageControl::AdjustClientRect(TRect& Rect) {
  TCustomControl::AdjustClientRect(Rect);
  const int32_t th = TabHeight();
  Rect = TRect(Rect.Left + kFrame, Rect.Top + th + kFrame, std::max(Rect.Left + kFrame, Rect.Right - kFrame),
               std::max(Rect.Top + th + kFrame, Rect.Bottom - kFrame));
}

void TPageControl::CMFontChanged(TWMNoParams& Message) {
  TCustomControl::CMFontChanged(Message);
  Realign();
  Invalidate();
}

void TPageControl::Paint() {
  TCanvas* c = Canvas();
  HDC dc = c->Handle();
  const TRect client = ClientRect();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(client);
  const int32_t th = TabHeight();
  TRect frame(client.Left, client.Top + th, client.Right, client.Bottom);
  DrawEdge(dc, frame, EDGE_RAISED, BF_RECT);
  const std::vector<TTabSheet*> tabs = VisibleTabs();
  const std::vector<TRect> rects = TabRects();
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  auto line = [&](TColor color, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    c->Pen()->SetColor(color);
    c->MoveTo(x1, y1);
    c->LineTo(x2, y2);
  };
  // Inactive tabs first, so the active one covers their edges.
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 0; i < tabs.size(); ++i) {
      const bool active = tabs[i] == active_;
      if (active != (pass == 1)) continue;
      const TRect r = rects[i];
      c->Brush()->SetStyle(bsSolid);
      c->Brush()->SetColor(Color());
      c->FillRect(TRect(r.Left, r.Top, r.Right, r.Bottom));
      line(clBtnHighlight, r.Left, r.Bottom, r.Left, r.Top + 2);
      line(clBtnHighlight, r.Left + 1, r.Top + 1, r.Left + 2, r.Top);
      line(clBtnHighlight, r.Left + 2, r.Top, r.Right - 2, r.Top);
      line(clBtnShadow, r.Right - 2, r.Top + 1, r.Right - 2, r.Bottom);
      line(cl3DDkShadow, r.Right - 1, r.Top + 2, r.Right - 1, r.Bottom);
      line(cl3DDkShadow, r.Right - 2, r.Top + 1, r.Right - 1, r.Top + 2);
      if (!active) line(clBtnHighlight, r.Left, r.Bottom, r.Right, r.Bottom);
      c->Brush()->SetStyle(bsClear);
      const int32_t tw = c->TextWidth(tabs[i]->Caption());
      const int32_t tx = r.Left + (r.Width() - tw) / 2;
      const int32_t ty = r.Top + (r.Height() - c->TextHeight("Ag")) / 2;
      c->Font()->SetColor(Enabled() ? Font()->Color() : clGrayText);
      c->TextOut(tx, ty, tabs[i]->Caption());
      if (active && GetFocus() == Handle()) {
        c->Refresh();
        DrawFocusRect(dc, TRect(r.Left + 3, r.Top + 3, r.Right - 3, r.Bottom - 2));
      }
    }
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  const int32_t i = IndexOfTabAt(X, Y);
  if (i < 0) return;
  const std::vector<TTabSheet*> tabs = VisibleTabs();
  UserActivate(tabs[static_cast<size_t>(i)]);
  if (CanFocus() && GetFocus() != Handle()) SetFocus();
}

void TPageControl::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == VK_LEFT || Key == VK_UP) {
    SelectNextPage(false);
    Key = 0;
  } else if (Key == VK_RIGHT || Key == VK_DOWN) {
    SelectNextPage(true);
    Key = 0;
  }
}

void TPageControl::WMGetDlgCode(TWMGetDlgCode& Message) { Message.Result = DLGC_WANTARROWS; }

void TPageControl::CMDialogKey(TWMKey& Message) {
  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages while the focus is anywhere on them.
  if (Message.CharCode == VK_TAB && GetKeyState(VK_CONTROL) < 0 &&
      (Focused() || ContainsControl(FindControl(GetFocus())))) {
    SelectNextPage(GetKeyState(VK_SHIFT) >= 0);
    Message.Result = 1;
    return;
  }
  TCustomControl::CMDialogKey(Message);
}
