// The page control and its pages.
#include <algorithm>
#include <utility>

#include "controls/CvTabs.h"
#include "platform/forms/Forms.h"

// =============================================================================================
// TCvTabSheet

PX_CLASS_INFO(TCvTabSheet, TCustomControl, [](TPropertyBuilder<TCvTabSheet>& b) {
  using C = TCvTabSheet;
  b.Int("Color", &C::Color, &C::SetColor, TypeInfo_TColor()).Default(clBtnFace);
  b.Int("DisabledIndex", &C::DisabledIndex, &C::SetDisabledIndex).Default(-1);
  b.Int("ImageIndex", &C::ImageIndex, &C::SetImageIndex).Default(-1);
  b.Int("PageIndex", &C::PageIndex, &C::SetPageIndex).Stored(false);
  b.Bool("TabEnabled", &C::TabEnabled, &C::SetTabEnabled).Default(true);
  b.Bool("TabVisible", &C::TabVisible, &C::SetTabVisible).Default(true);
  b.Bool("Visible", &C::Visible, &C::SetVisible).Stored(false);
  b.Event("OnPaintBackground", &C::OnPaintBackground, &C::SetOnPaintBackground);
})

TCvTabSheet::TCvTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
  TControl::SetVisible(false);
  SetControlStyle(ControlStyle() + csAcceptsControls + csOpaque + csNoDesignVisible);
  SetAlign(alClient);
  TControl::SetColor(clBtnFace);
}

TCvTabSheet::~TCvTabSheet() {
  if (page_control_) page_control_->DetachPage(this);
}

void TCvTabSheet::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TCvTabSheet::SetParentComponent(TComponent* Value) {
  if (auto* control = dynamic_cast<TCvPageControl*>(Value)) SetPageControl(control);
  else TCustomControl::SetParentComponent(Value);
}

void TCvTabSheet::SetPageControl(TCvPageControl* Value) {
  if (page_control_ == Value) return;
  if (page_control_) page_control_->DetachPage(this);
  SetParent(Value);
  if (Value) Value->AttachPage(this);
}

int32_t TCvTabSheet::PageIndex() const {
  if (!page_control_) return -1;
  const auto& pages = page_control_->pages_;
  const auto it = std::find(pages.begin(), pages.end(), this);
  return it == pages.end() ? -1 : static_cast<int32_t>(it - pages.begin());
}

void TCvTabSheet::SetPageIndex(int32_t Value) {
  if (!page_control_) return;
  const int32_t last = page_control_->PageCount() - 1;
  if (Value < 0 || Value > last)
    throw EListError(Format("%d is an invalid PageIndex value. PageIndex must be between 0 and %d", Value, last));
  const int32_t old = PageIndex();
  page_control_->MovePage(this, Value);
  page_control_->LayoutChanged();
  page_control_->DoTabOrderChange(old, Value);
}

int32_t TCvTabSheet::TabIndex() const {
  if (!tab_visible_) return -1;
  if (!page_control_) return 0;
  int32_t n = 0;
  for (TCvTabSheet* page : page_control_->pages_) {
    if (page == this) break;
    if (page->tab_visible_) ++n;
  }
  return n;
}

void TCvTabSheet::SetColor(TColor Value) {
  if (Value == Color()) return;
  if (page_control_ && !page_control_->UseColoredTabs()) {
    if (Value != page_control_->Color()) page_control_->SetUseColoredTabs(true);
    if (!page_control_->UseColoredTabs() && Value != page_control_->Color()) return;
  }
  TControl::SetColor(Value);
  Changed();
}

void TCvTabSheet::Changed() {
  if (page_control_) page_control_->LayoutChanged();
}

void TCvTabSheet::SetDisabledIndex(int32_t Value) {
  if (disabled_index_ == Value) return;
  disabled_index_ = Value;
  Changed();
}

void TCvTabSheet::SetImageIndex(int32_t Value) {
  if (image_index_ == Value) return;
  image_index_ = Value;
  Changed();
}

void TCvTabSheet::SetTabEnabled(bool Value) {
  if (tab_enabled_ == Value) return;
  tab_enabled_ = Value;
  Changed();
}

void TCvTabSheet::SetTabVisible(bool Value) {
  if (tab_visible_ == Value) return;
  tab_visible_ = Value;
  Changed();
}

void TCvTabSheet::SetVisible(bool) { throw Exception("You cannot change the Visible property of a page"); }

void TCvTabSheet::ReleaseWindow() {
  if (HandleAllocated()) DestroyHandle();
}

void TCvTabSheet::CMTextChanged(TWMNoParams& Message) {
  TCustomControl::CMTextChanged(Message);
  Changed();
}

void TCvTabSheet::Paint() {
  const TRect R(0, 0, Width(), Height());
  bool handled = false;
  if (on_paint_background_) on_paint_background_(this, Canvas(), R, handled);
  if (handled) return;
  Canvas()->Brush()->SetStyle(bsSolid);
  Canvas()->Brush()->SetColor(Color());
  Canvas()->FillRect(R);
}

void TCvTabSheet::WMEraseBkgnd(TWMEraseBkgnd& Message) { Message.Result = 1; }

void TCvTabSheet::AssignTo(TPersistent* Dest) {
  if (auto* tab = dynamic_cast<TCvTabData*>(Dest)) {
    tab->Caption = Caption();
    tab->Color = Color();
    tab->Enabled = tab_enabled_;
    tab->Visible = tab_visible_;
    tab->Hint = Hint();
    tab->ImageIndex = image_index_;
    tab->DisabledIndex = disabled_index_;
    return;
  }
  TCustomControl::AssignTo(Dest);
}

// =============================================================================================
// TCvPageControl

PX_CLASS_INFO(TCvPageControl, TCvCustomTabControl, [](TPropertyBuilder<TCvPageControl>& b) {
  using C = TCvPageControl;
  b.template Object<TCvTabSheet>("ActivePage", &C::ActivePage, &C::SetActivePage);
  b.template Object<TCvTabSheet>("ActivePageDefault", &C::ActivePageDefault, &C::SetActivePageDefault);
  b.Bool("SaveResources", &C::SaveResources, &C::SetSaveResources).Default(false);
  b.Bool("DblClickUndocks", &C::DblClickUndocks, &C::SetDblClickUndocks).Default(true);
  b.Redeclare("Height").Default(150);
})

TCvPageControl::TCvPageControl(TComponent* AOwner) : TCvCustomTabControl(AOwner) {
  SetControlStyle(ControlStyle() - csAcceptsControls + csOpaque);
  SetHeight(150);
  SetUseColoredTabs(false);
}

TCvPageControl::~TCvPageControl() {
  // Pages freed later must not call back.
  for (TCvTabSheet* page : pages_) page->page_control_ = nullptr;
  pages_.clear();
}

void TCvPageControl::CreateParams(TCreateParams& Params) {
  TCvCustomTabControl::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
}

void TCvPageControl::Notification(TComponent* AComponent, TOperation Operation) {
  TCvCustomTabControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == active_page_default_) active_page_default_ = nullptr;
}

TCvTabSheet* TCvPageControl::Pages(int32_t Index) const {
  if (Index < 0 || Index >= PageCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return pages_[static_cast<size_t>(Index)];
}

void TCvPageControl::SetActivePageDefault(TCvTabSheet* Value) {
  if (active_page_default_ == Value) return;
  if (active_page_default_) active_page_default_->RemoveFreeNotification(this);
  active_page_default_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCvPageControl::AttachPage(TCvTabSheet* Sheet) {
  if (Parent() && Parent()->HandleAllocated()) HandleNeeded();
  pages_.push_back(Sheet);
  Sheet->page_control_ = this;
  LayoutChanged();
}

void TCvPageControl::DetachPage(TCvTabSheet* Sheet) {
  if (ComponentState().Contains(csDestroying)) {
    // The form goes: no page changes and no events any more.
    if (Sheet == active_page_) active_page_ = nullptr;
    pages_.erase(std::remove(pages_.begin(), pages_.end(), Sheet), pages_.end());
    Sheet->page_control_ = nullptr;
    return;
  }
  if (Sheet == active_page_) SetActivePage(nullptr);
  pages_.erase(std::remove(pages_.begin(), pages_.end(), Sheet), pages_.end());
  LayoutChanged();
  Sheet->page_control_ = nullptr;
}

void TCvPageControl::MovePage(TCvTabSheet* Sheet, int32_t NewIndex) {
  auto it = std::find(pages_.begin(), pages_.end(), Sheet);
  if (it == pages_.end()) return;
  pages_.erase(it);
  pages_.insert(pages_.begin() + std::clamp(NewIndex, 0, PageCount()), Sheet);
}

void TCvPageControl::LayoutChanged() {
  tabs_->Clear();
  for (TCvTabSheet* page : pages_) {
    if (!page->TabVisible()) continue;
    auto* tab = new TCvTabData();  // owned by the list
    tabs_->Add(tab);
    tab->Assign(page);
  }
  if (active_page_) {
    if (active_page_->TabVisible()) {
      if (active_page_->TabIndex() != TabIndex()) SetTabIndex(active_page_->TabIndex());
    } else {
      SetTabIndex(-1);
    }
  }
  TCvCustomTabControl::LayoutChanged();
}

int32_t TCvPageControl::ActivePageIndex() const { return active_page_ ? active_page_->PageIndex() : -1; }

void TCvPageControl::SetActivePageIndex(int32_t Value) {
  if (Value < 0 || Value >= PageCount()) {
    SetTabIndex(-1);
    return;
  }
  SetActivePage(Pages(Value));
}

TCvTabSheet* TCvPageControl::PageOfTab(int32_t Index) const {
  if (Index < 0) return nullptr;
  for (TCvTabSheet* page : pages_)
    if (page->TabIndex() == Index) return page;
  return nullptr;
}

void TCvPageControl::SetActivePage(TCvTabSheet* Sheet) {
  if (Sheet && Sheet->PageControl() != this) return;
  const bool wasShown = Sheet && Sheet->Visible();
  if (Sheet) Sheet->TControl::SetVisible(true);
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csReading)) {
    active_page_ = Sheet;
    return;
  }
  const int32_t t = Sheet ? Sheet->TabIndex() : -1;
  if (t < 0) {
    SwitchToPage(Sheet);
    DoPageChange();
  }
  SetTabIndex(t);
  // A change refused by OnChanging leaves the page that was asked for as it was.
  if (Sheet && Sheet != active_page_ && !wasShown) Sheet->TControl::SetVisible(false);
}

void TCvPageControl::SwitchToPage(TCvTabSheet* Sheet) {
  if (Sheet == active_page_) return;
  TCustomForm* form = GetParentForm(this);
  TCvTabSheet* old = active_page_;
  if (form && old && form->ActiveControl() && old->ContainsControl(form->ActiveControl()) && old->CanFocus())
    form->SetActiveControl(old);
  if (Sheet) {
    Sheet->BringToFront();
    Sheet->TControl::SetVisible(true);
    if (form && old && form->ActiveControl() == old) {
      if (Sheet->CanFocus()) form->SetActiveControl(Sheet);
      else if (CanFocus()) form->SetActiveControl(this);
    }
  }
  if (old) {
    old->TControl::SetVisible(false);
    if (save_resources_ && !ComponentState().Contains(csDesigning)) old->ReleaseWindow();
  }
  active_page_ = Sheet;
  if (form && Sheet && form->ActiveControl() == Sheet) Sheet->SelectFirst();
}

void TCvPageControl::DoChanging(int32_t NewIndex, bool& AllowChange) {
  if (!loading_flag_) TCvCustomTabControl::DoChanging(NewIndex, AllowChange);
  if (AllowChange) SwitchToPage(PageOfTab(NewIndex));
}

void TCvPageControl::DoChange() {
  if (!loading_flag_) TCvCustomTabControl::DoChange();
}

void TCvPageControl::DoPageChange() {
  if (!loading_flag_) TCvCustomTabControl::DoPageChange();
}

TCvTabSheet* TCvPageControl::NextPageFrom(TCvTabSheet* Sheet, bool Forward, bool OnlyWithTab) {
  const int32_t n = PageCount();
  if (n == 0) return nullptr;
  auto it = std::find(pages_.begin(), pages_.end(), Sheet);
  int32_t start = it == pages_.end() ? (Forward ? n - 1 : 0) : static_cast<int32_t>(it - pages_.begin());
  int32_t i = start;
  do {
    i = Forward ? (i + 1) % n : (i + n - 1) % n;
    TCvTabSheet* page = pages_[static_cast<size_t>(i)];
    if (!OnlyWithTab || page->TabVisible()) return page;
  } while (i != start);
  return nullptr;
}

void TCvPageControl::CMDialogKey(TWMKey& Message) {
  TCvCustomTabControl::CMDialogKey(Message);
  if (Message.Result != 0) return;
  TCustomForm* form = GetParentForm(this);
  if (!form || !form->ActiveControl() || !ContainsControl(form->ActiveControl())) return;
  if (Message.CharCode != VK_TAB || GetKeyState(VK_CONTROL) >= 0) return;
  const bool forward = GetKeyState(VK_SHIFT) >= 0;
  if (TCvTabSheet* page = NextPageFrom(active_page_, forward, true)) SetActivePage(page);
  Message.Result = 1;
}

void TCvPageControl::Loaded() {
  // Loading ends without events: the inherited part (which takes the parent's font and the first
  // tab) included.
  const bool old = loading_flag_;
  loading_flag_ = true;
  try {
    TCvCustomTabControl::Loaded();
    CalcTabRects();
    SetTabIndex(-1);
    TCvTabSheet* show = active_page_;
    if (active_page_default_ && active_page_default_ != active_page_) {
      if (active_page_) active_page_->TControl::SetVisible(false);
      show = active_page_default_;
    }
    active_page_ = nullptr;
    LayoutChanged();
    SetActivePage(show);
  } catch (...) {
    loading_flag_ = old;
    throw;
  }
  loading_flag_ = old;
}

void TCvPageControl::CloseActiveTab() {
  if (!active_page_) return;
  const int32_t t = TabIndex();
  delete active_page_;  // freeing the page detaches it
  SetTabIndex(t == 0 ? 0 : t - 1);
}

void TCvPageControl::MoveTab(int32_t NewIndex) {
  if (active_page_) active_page_->SetPageIndex(NewIndex);
}

void TCvPageControl::DoPaintCardBackground(TCanvas* Canvas, int32_t Row, const TRect& Rect, bool& Handled) {
  TCvCustomTabControl::DoPaintCardBackground(Canvas, Row, Rect, Handled);
  if (Handled || Row != 0 || TabIndex() < 0 || !active_page_) return;
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(active_page_->Color());
  Canvas->FillRect(Rect);
  Handled = true;
}

void TCvPageControl::SetUseColoredTabs(bool Value) {
  TCvCustomTabControl::SetUseColoredTabs(Value);
  if (Parent() && !UseColoredTabs()) Perform(CM_COLORCHANGED);
}

void TCvPageControl::CMColorChanged(TWMNoParams& Message) {
  if (!UseColoredTabs())
    for (TCvTabSheet* page : pages_) page->SetColor(Color());
  TCvCustomTabControl::CMColorChanged(Message);
}

void TCvPageControl::SetSaveResources(bool Value) {
  if (save_resources_ == Value) return;
  save_resources_ = Value;
  if (!Value || ComponentState().Contains(csDesigning)) return;
  for (TCvTabSheet* page : pages_)
    if (page != active_page_) page->ReleaseWindow();
}

void TCvPageControl::WMSetFocus(TWMSetFocus& Message) {
  TCvCustomTabControl::WMSetFocus(Message);
  if (!active_page_ || active_page_->TabVisible()) return;
  for (int32_t i = 0; i < active_page_->ControlCount(); ++i) {
    auto* child = dynamic_cast<TWinControl*>(active_page_->Controls(i));
    if (child && child->CanFocus()) {
      child->SetFocus();
      return;
    }
  }
}

void TCvPageControl::HideAllTabs() {
  for (TCvTabSheet* page : pages_) page->SetTabVisible(false);
}

void TCvPageControl::ShowAllTabs() {
  for (TCvTabSheet* page : pages_) page->SetTabVisible(true);
}

// =============================================================================================
// Docking: each docked control stands on a page of its own.

namespace {

// A tab shows a caption's first line only.
std::string FirstLine(const std::string& Text) { return Text.substr(0, Text.find_first_of("\r\n")); }

}  // namespace

TCvTabSheet* TCvPageControl::PageOfDockClient(TControl* Client) const {
  if (!Client || Client->HostDockSite() != this) return nullptr;
  auto* page = dynamic_cast<TCvTabSheet*>(Client->Parent());
  return page && page->page_control_ == this ? page : nullptr;
}

void TCvPageControl::CMDockClient(TCMDockClient& Message) {
  Message.Result = 0;
  TDragDockObject* source = Message.DockSource;
  if (!source || !source->Control()) return;
  TControl* client = source->Control();
  docking_page_ = new TCvTabSheet(this);  // owned by the page control
  try {
    if (auto* form = dynamic_cast<TCustomForm*>(client)) docking_page_->SetCaption(FirstLine(form->Caption()));
    docking_page_->SetPageControl(this);
    TCvCustomTabControl::CMDockClient(Message);
  } catch (...) {
    delete std::exchange(docking_page_, nullptr);
    throw;
  }
  TCvTabSheet* page = std::exchange(docking_page_, nullptr);
  if (client->Parent() != page) {
    // The old site kept the control: no empty page stays behind.
    delete page;
    return;
  }
  page->SetTabVisible(client->Visible());
  if (client->Visible()) SetActivePage(page);
  client->SetAlign(alClient);
}

void TCvPageControl::DoAddDockClient(TControl* Client, const TRect& ARect) {
  TCvCustomTabControl::DoAddDockClient(Client, ARect);
  if (docking_page_) Client->SetParent(docking_page_);
}

void TCvPageControl::CMUnDockClient(TCMUnDockClient& Message) {
  TCvCustomTabControl::CMUnDockClient(Message);
  Message.Result = 0;
  if (TCvTabSheet* page = PageOfDockClient(Message.Client)) {
    undocking_page_ = page;
    Message.Client->SetAlign(alNone);
  }
}

void TCvPageControl::DoRemoveDockClient(TControl* Client) {
  TCvCustomTabControl::DoRemoveDockClient(Client);
  TCvTabSheet* page = std::exchange(undocking_page_, nullptr);
  if (!page || ComponentState().Contains(csDestroying)) return;
  SetActivePage(NextPageFrom(page, true, true));
  delete page;
}

void TCvPageControl::GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock) {
  if (PageOfDockClient(Client)) CanDock = false;
  TCvCustomTabControl::GetSiteInfo(Client, InfluenceRect, MousePos, CanDock);
}

void TCvPageControl::DockOver(TDragDockObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
  // A docked control fills a page: the outline shows the whole control.
  if (HandleAllocated()) {
    TRect r;
    GetWindowRect(Handle(), &r);
    Source->SetDockRect(r);
  }
  if (OnDockOver()) OnDockOver()(this, Source, X, Y, State, Accept);
}

void TCvPageControl::CMDockNotification(TCMDockNotification& Message) {
  const TDockNotifyRec* rec = Message.NotifyRec;
  if (TCvTabSheet* page = PageOfDockClient(Message.Client); page && rec) {
    if (rec->ClientMsg == WM_SETTEXT && rec->MsgLParam)
      page->SetCaption(FirstLine(reinterpret_cast<const char*>(rec->MsgLParam)));
    else if (rec->ClientMsg == CM_VISIBLECHANGED)
      page->SetTabVisible(rec->MsgWParam != 0);
  }
  TCvCustomTabControl::CMDockNotification(Message);
}

TControl* TCvPageControl::GetDockClientFromMousePos(TPoint MousePos) {
  if (!DockSite()) return nullptr;
  TCvTabSheet* page = PageOfTab(TabAtPoint(MousePos.X, MousePos.Y));
  if (!page || page->ControlCount() == 0) return nullptr;
  TControl* client = page->Controls(0);
  return client->HostDockSite() == this ? client : nullptr;
}

void TCvPageControl::WMLButtonDblClk(TWMMouse& Message) {
  TCvCustomTabControl::WMLButtonDblClk(Message);
  if (!dbl_click_undocks_) return;
  if (TControl* client = GetDockClientFromMousePos(TPoint(Message.XPos, Message.YPos)))
    client->ManualDock(nullptr, nullptr, alNone);
}
