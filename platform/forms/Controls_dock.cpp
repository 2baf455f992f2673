// Docking: dock sites and their clients, docking and floating by hand, the simple dock tree
// with its grabbers, and the floating host form.
#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

namespace {

// The dock sites, in the order they became sites.
std::vector<TWinControl*>& DockSites() {
  static std::vector<TWinControl*> sites;
  return sites;
}

// The control's bounds on the screen.
TRect ScreenBounds(TControl* c) {
  if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated()) {
    TRect r;
    GetWindowRect(w->Handle(), &r);
    return r;
  }
  if (!c->Parent()) return c->BoundsRect();
  const TPoint o = c->Parent()->ClientOrigin();
  TRect r = c->BoundsRect();
  r.Offset(o.X, o.Y);
  return r;
}

// The client area of a window on the screen.
TRect ScreenClientRect(TWinControl* w) {
  TRect r = w->ClientRect();
  const TPoint o = w->ClientOrigin();
  r.Offset(o.X, o.Y);
  return r;
}

int32_t Depth(TControl* c) {
  int32_t d = 0;
  for (; c; c = c->Parent()) ++d;
  return d;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// What the drag asks

TWinControl* FindDockSite(TControl* Client, TPoint Pos) {
  TWinControl* best = nullptr;
  for (TWinControl* site : std::vector<TWinControl*>(DockSites())) {
    if (!site->Showing() || !site->Enabled() || site == Client) continue;
    // Not into itself, and not back into a floating host that holds only it.
    bool inside = false;
    for (TControl* p = site; p && !inside; p = p->Parent()) inside = p == Client;
    if (inside) continue;
    TRect influence = ScreenBounds(site);
    bool canDock = true;
    site->GetSiteInfo(Client, influence, Pos, canDock);
    if (!canDock || !influence.Contains(Pos)) continue;
    if (!best || Depth(site) > Depth(best)) best = site;
  }
  return best;
}

TRect StartDockRect(TControl* Control) { return ScreenBounds(Control); }

// ---------------------------------------------------------------------------------------------
// TDragDockObject

TCursor TDragDockObject::GetDragCursor(bool, int32_t, int32_t) { return crDefault; }

void TDragDockObject::Finished(TObject* Target, int32_t X, int32_t Y, bool) {
  if (control_) control_->DoEndDock(Target, X, Y);
}

// ---------------------------------------------------------------------------------------------
// TControl

void TControl::DoStartDock(TDragDockObject*& DragObject) {
  if (on_start_dock_) on_start_dock_(this, DragObject);
}

void TControl::DoEndDock(TObject* Target, int32_t X, int32_t Y) {
  if (on_end_dock_) on_end_dock_(this, Target, X, Y);
}

bool TControl::Floating() const {
  if (host_dock_site_) return dynamic_cast<TCustomDockForm*>(host_dock_site_) != nullptr;
  return dynamic_cast<const TCustomForm*>(this) && !parent_;
}

void TControl::DockNotify(UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!host_dock_site_ || host_dock_site_->ComponentState().Contains(csDestroying)) return;
  TDockNotifyRec rec{Msg, WParam, LParam};
  host_dock_site_->Perform(CM_DOCKNOTIFICATION, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&rec));
}

bool TControl::Dock(TWinControl* NewDockSite, const TRect& ARect) {
  TWinControl* old = host_dock_site_;
  if (old && old != NewDockSite) {
    if (!old->DoUnDock(NewDockSite, this)) return false;
    old->Perform(CM_UNDOCKCLIENT, reinterpret_cast<WPARAM>(NewDockSite), reinterpret_cast<LPARAM>(this));
  }
  if (!old && NewDockSite) {
    undock_width_ = width_;
    undock_height_ = height_;
  }
  host_dock_site_ = NewDockSite;
  if (NewDockSite) {
    NewDockSite->DoAddDockClient(this, ARect);
  } else {
    SetParent(nullptr);
    SetBoundsRect(ARect);
  }
  if (old && old != NewDockSite) old->DoRemoveDockClient(this);
  return true;
}

bool TControl::ManualDock(TWinControl* NewDockSite, TControl* DropControl, TAlign ControlSide) {
  if (!NewDockSite) {
    const TRect now = ScreenBounds(this);
    return ManualFloat(Bounds(now.Left, now.Top, UndockWidth(), UndockHeight()));
  }
  TDragDockObject drag(this);
  drag.SetDropAlign(ControlSide);
  drag.SetDropOnControl(DropControl);
  drag.SetDockRect(ScreenClientRect(NewDockSite));
  NewDockSite->PositionDockRect(&drag);
  TPoint pos;
  GetCursorPos(&pos);
  NewDockSite->Perform(CM_DOCKCLIENT, reinterpret_cast<WPARAM>(&drag), PointToLParam(pos.X, pos.Y));
  return host_dock_site_ == NewDockSite;
}

bool TControl::ManualFloat(const TRect& ScreenPos) {
  if (auto* form = dynamic_cast<TCustomForm*>(this)) {
    if (!Dock(nullptr, ScreenPos)) return false;
    form->Show();
    return true;
  }
  if (auto* host = dynamic_cast<TCustomDockForm*>(host_dock_site_)) {
    // Already floating: the host moves.
    const TRect f = host->FrameInsets();
    host->SetBounds(ScreenPos.Left - f.Left, ScreenPos.Top - f.Top, ScreenPos.Width() + f.Left + f.Right,
                    ScreenPos.Height() + f.Top + f.Bottom);
    return true;
  }
  // The host belongs to the control's owner (the application's when it has none).
  TComponent* owner = Owner() ? Owner() : static_cast<TComponent*>(Application());
  auto* host = new TCustomDockForm(owner);  // owned by owner
  const TRect f = host->FrameInsets();
  host->SetBounds(ScreenPos.Left - f.Left, ScreenPos.Top - f.Top, ScreenPos.Width() + f.Left + f.Right,
                  ScreenPos.Height() + f.Top + f.Bottom);
  host->SetCaption(Caption());
  if (!ManualDock(host, nullptr, alClient)) {
    host->Free();
    return false;
  }
  host->SetVisible(Visible());
  if (host->Visible()) host->Show();
  return true;
}

// ---------------------------------------------------------------------------------------------
// TWinControl as a dock site

void TWinControl::SetDockSite(bool Value) {
  if (dock_site_ == Value) return;
  dock_site_ = Value;
  auto& sites = DockSites();
  if (Value) sites.push_back(this);
  else sites.erase(std::remove(sites.begin(), sites.end(), this), sites.end());
  UpdateDockManager();
}

void TWinControl::SetUseDockManager(bool Value) {
  if (use_dock_manager_ == Value) return;
  use_dock_manager_ = Value;
  UpdateDockManager();
}

void TWinControl::SetShowDockClientCaptions(bool Value) {
  if (show_dock_client_captions_ == Value) return;
  show_dock_client_captions_ = Value;
  Invalidate();
}

void TWinControl::UpdateDockManager() {
  if (dock_site_ && use_dock_manager_) {
    if (!dock_manager_ && !ComponentState().Contains(csDesigning)) {
      dock_manager_ = CreateDockManager();
      for (TControl* c : dock_clients_) dock_manager_->InsertControl(c, alNone, nullptr);
    }
  } else {
    dock_manager_.reset();
  }
}

void TWinControl::SetDockManager(std::unique_ptr<TDockManager> Value) {
  dock_manager_ = std::move(Value);
  Realign();
}

std::unique_ptr<TDockManager> TWinControl::CreateDockManager() {
  if (!dock_site_ || !use_dock_manager_) return nullptr;
  return std::make_unique<TDockTree>(this);
}

TControl* TWinControl::DockClients(int32_t Index) const {
  if (Index < 0 || Index >= DockClientCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return dock_clients_[static_cast<size_t>(Index)];
}

void TWinControl::GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock) {
  if (on_get_site_info_) on_get_site_info_(this, Client, InfluenceRect, MousePos, CanDock);
}

void TWinControl::PositionDockRect(TDragDockObject* DragDockObject) {
  TRect r = ScreenClientRect(this);
  if (dock_manager_ && use_dock_manager_)
    dock_manager_->PositionDockRect(DragDockObject->Control(), DragDockObject->DropOnControl(),
                                    DragDockObject->DropAlign(), r);
  DragDockObject->SetDockRect(r);
}

void TWinControl::DockOver(TDragDockObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) {
  PositionDockRect(Source);
  if (on_dock_over_) on_dock_over_(this, Source, X, Y, State, Accept);
}

void TWinControl::DockDrop(TDragDockObject* Source, int32_t X, int32_t Y) {
  TPoint pos = ClientToScreen(TPoint(X, Y));
  Perform(CM_DOCKCLIENT, reinterpret_cast<WPARAM>(Source), PointToLParam(pos.X, pos.Y));
  if (on_dock_drop_) on_dock_drop_(this, Source, X, Y);
}

bool TWinControl::DoUnDock(TWinControl* NewTarget, TControl* Client) {
  bool allow = true;
  if (on_un_dock_) on_un_dock_(this, Client, NewTarget, allow);
  if (allow && use_dock_manager_ && dock_manager_) dock_manager_->RemoveControl(Client);
  return allow;
}

void TWinControl::DoAddDockClient(TControl* Client, const TRect& ARect) {
  if (std::find(dock_clients_.begin(), dock_clients_.end(), Client) == dock_clients_.end())
    dock_clients_.push_back(Client);
  Client->SetParent(this);
  Client->SetBoundsRect(ARect);
}

void TWinControl::DoRemoveDockClient(TControl* Client) {
  dock_clients_.erase(std::remove(dock_clients_.begin(), dock_clients_.end(), Client), dock_clients_.end());
  if (dock_manager_) dock_manager_->RemoveControl(Client);
}

TControl* TWinControl::GetDockClientFromMousePos(TPoint) { return nullptr; }

void TWinControl::CMDockClient(TCMDockClient& Message) {
  Message.Result = 0;
  TDragDockObject* source = Message.DockSource;
  if (!source || !source->Control()) return;
  TControl* client = source->Control();
  TRect dest = source->DockRect();
  const TPoint tl = ScreenToClient(dest.TopLeft());
  dest = Bounds(tl.X, tl.Y, dest.Width(), dest.Height());
  DisableAlign();
  try {
    if (client->Dock(this, dest) && use_dock_manager_ && dock_manager_)
      dock_manager_->InsertControl(client, source->DropAlign(), source->DropOnControl());
  } catch (...) {
    EnableAlign();
    throw;
  }
  EnableAlign();
}

void TWinControl::CMUnDockClient(TCMUnDockClient& Message) { Message.Result = 0; }
void TWinControl::CMDockNotification(TCMDockNotification& Message) { Message.Result = 0; }

void ForgetDockSite(TWinControl* Site) {
  auto& sites = DockSites();
  sites.erase(std::remove(sites.begin(), sites.end(), Site), sites.end());
  for (TControl* c : Site->dock_clients_)
    if (c->host_dock_site_ == Site) c->host_dock_site_ = nullptr;
  Site->dock_clients_.clear();
  Site->dock_manager_.reset();
}

void ForgetDockClient(TControl* Client) {
  TWinControl* site = Client->host_dock_site_;
  if (!site) return;
  Client->host_dock_site_ = nullptr;
  auto& list = site->dock_clients_;
  list.erase(std::remove(list.begin(), list.end(), Client), list.end());
  // A site being destroyed only forgets it; a live one hears that the client left.
  if (!site->ComponentState().Contains(csDestroying)) site->DoRemoveDockClient(Client);
  else if (site->dock_manager_) site->dock_manager_->RemoveControl(Client);
}

// ---------------------------------------------------------------------------------------------
// TDockTree

TDockTree::TDockTree(TWinControl* DockSite) : site_(DockSite) {
  old_proc_ = site_->WindowProc();
  site_->SetWindowProc([this](TMessage& m) { WindowProc(m); });
}

TDockTree::~TDockTree() {
  // The site outlives its tree (it frees the tree first when it goes).
  if (site_) site_->SetWindowProc(old_proc_);
}

void TDockTree::SetGrabberSize(int32_t Value) {
  if (Value < 0 || Value == grabber_size_) return;
  grabber_size_ = Value;
  ResetBounds(true);
}

TControl* TDockTree::Clients(int32_t Index) const {
  if (Index < 0 || Index >= ClientCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return clients_[static_cast<size_t>(Index)];
}

void TDockTree::BeginUpdate() { ++update_count_; }

void TDockTree::EndUpdate() {
  if (update_count_ > 0 && --update_count_ == 0) ResetBounds(true);
}

bool TDockTree::GrabbersAtLeft() const { return site_->Align() == alTop || site_->Align() == alBottom; }

std::vector<TControl*> TDockTree::VisibleClients() const {
  std::vector<TControl*> v;
  for (TControl* c : clients_)
    if (c->Visible()) v.push_back(c);
  return v;
}

std::vector<TRect> TDockTree::Layout(const std::vector<TControl*>& Clients) {
  TRect area = site_->ClientRect();
  site_->AdjustClientRect(area);
  std::vector<TRect> zones;
  const auto n = static_cast<int32_t>(Clients.size());
  if (n == 0) return zones;
  const bool across = GrabbersAtLeft();
  const int32_t extent = across ? area.Width() : area.Height();
  for (int32_t i = 0; i < n; ++i) {
    const int32_t a = extent * i / n, b = extent * (i + 1) / n;
    zones.push_back(across ? TRect(area.Left + a, area.Top, area.Left + b, area.Bottom)
                           : TRect(area.Left, area.Top + a, area.Right, area.Top + b));
  }
  return zones;
}

TRect TDockTree::ZoneRect(TControl* Control) {
  const std::vector<TControl*> v = VisibleClients();
  auto it = std::find(v.begin(), v.end(), Control);
  if (it == v.end()) return {};
  return Layout(v)[static_cast<size_t>(it - v.begin())];
}

TRect TDockTree::CloseRect(const TRect& Zone) {
  const int32_t g = grabber_size_;
  if (GrabbersAtLeft()) return TRect(Zone.Left + 1, Zone.Top + 1, Zone.Left + g - 2, Zone.Top + g - 2);
  return TRect(Zone.Right - g - 1, Zone.Top + 1, Zone.Right - 2, Zone.Top + g - 2);
}

void TDockTree::AdjustDockRect(TControl*, TRect& ARect) {
  if (GrabbersAtLeft()) ARect.Left += grabber_size_;
  else ARect.Top += grabber_size_;
}

void TDockTree::GetControlBounds(TControl* Control, TRect& CtlBounds) {
  CtlBounds = ZoneRect(Control);
  if (!CtlBounds.IsEmpty()) AdjustDockRect(Control, CtlBounds);
}

void TDockTree::InsertControl(TControl* Control, TAlign, TControl* DropCtl) {
  if (std::find(clients_.begin(), clients_.end(), Control) != clients_.end()) return;
  auto at = std::find(clients_.begin(), clients_.end(), DropCtl);
  clients_.insert(at == clients_.end() ? at : at + 1, Control);
  // The tree places its clients itself.
  Control->SetAlign(alNone);
  ResetBounds(true);
}

void TDockTree::RemoveControl(TControl* Control) {
  auto it = std::find(clients_.begin(), clients_.end(), Control);
  if (it == clients_.end()) return;
  clients_.erase(it);
  if (close_pressed_ == Control) close_pressed_ = nullptr;
  ResetBounds(true);
}

void TDockTree::PositionDockRect(TControl* Client, TControl* DropCtl, TAlign, TRect& DockRect) {
  std::vector<TControl*> v = VisibleClients();
  if (std::find(v.begin(), v.end(), Client) == v.end()) {
    auto at = std::find(v.begin(), v.end(), DropCtl);
    v.insert(at == v.end() ? at : at + 1, Client);
  }
  const size_t i = static_cast<size_t>(std::find(v.begin(), v.end(), Client) - v.begin());
  TRect zone = Layout(v)[i];
  const TPoint o = site_->ClientOrigin();
  zone.Offset(o.X, o.Y);
  DockRect = zone;
}

void TDockTree::ResetBounds(bool) {
  if (update_count_ > 0 || site_->ComponentState().Contains(csDestroying)) return;
  const std::vector<TControl*> v = VisibleClients();
  const std::vector<TRect> zones = Layout(v);
  for (size_t i = 0; i < v.size(); ++i) {
    TRect r = zones[i];
    AdjustDockRect(v[i], r);
    if (v[i]->BoundsRect() != r) v[i]->SetBoundsRect(r);
  }
  site_->Invalidate();
}

void TDockTree::PaintSite(HDC DC) {
  const std::vector<TControl*> v = VisibleClients();
  if (v.empty()) return;
  const std::vector<TRect> zones = Layout(v);
  TCanvas canvas;
  const int32_t saved = SaveDC(DC);
  canvas.SetHandle(DC);
  canvas.Font()->Assign(site_->Font());
  for (size_t i = 0; i < v.size(); ++i) PaintDockFrame(&canvas, v[i], zones[i]);
  canvas.SetHandle(nullptr);
  RestoreDC(DC, saved);
}

void TDockTree::PaintDockFrame(TCanvas* Canvas, TControl*, const TRect& ARect) {
  HDC dc = Canvas->Handle();
  const TRect close = CloseRect(ARect);
  const int32_t g = grabber_size_;
  // Two raised bars along the grabber, up to the close glyph.
  for (int32_t bar = 0; bar < 2; ++bar) {
    TRect r;
    if (GrabbersAtLeft()) {
      const int32_t x = ARect.Left + g / 2 - 3 + 3 * bar;
      r = TRect(x, close.Bottom + 2, x + 3, ARect.Bottom - 2);
    } else {
      const int32_t y = ARect.Top + g / 2 - 3 + 3 * bar;
      r = TRect(ARect.Left + 2, y, close.Left - 2, y + 3);
    }
    if (!r.IsEmpty()) DrawEdge(dc, r, BDR_RAISEDINNER, BF_RECT);
  }
  // The close glyph: a small raised button with a cross.
  TRect glyph = close;
  DrawFrameControl(dc, glyph, DFC_BUTTON, DFCS_BUTTONPUSH);
  const int32_t side = std::min(close.Width(), close.Height()) - 6;
  if (side < 1) return;
  const int32_t x = close.Left + (close.Width() - side) / 2, y = close.Top + (close.Height() - side) / 2;
  Canvas->Pen()->SetColor(clBtnText);
  Canvas->Pen()->SetWidth(1);
  for (int32_t k = 0; k < 2; ++k) {  // two pixels wide strokes
    Canvas->MoveTo(x + k, y);
    Canvas->LineTo(x + k + side, y + side);
    Canvas->MoveTo(x + k + side - 1, y);
    Canvas->LineTo(x + k - 1, y + side);
  }
}

TControl* TDockTree::GrabberAt(TPoint P, bool* OnClose) {
  const std::vector<TControl*> v = VisibleClients();
  const std::vector<TRect> zones = Layout(v);
  for (size_t i = 0; i < v.size(); ++i) {
    TRect inner = zones[i];
    AdjustDockRect(v[i], inner);
    if (!zones[i].Contains(P) || inner.Contains(P)) continue;
    if (OnClose) *OnClose = CloseRect(zones[i]).Contains(P);
    return v[i];
  }
  return nullptr;
}

void TDockTree::WindowProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      bool onClose = false;
      if (TControl* c = GrabberAt(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)), &onClose)) {
        if (onClose) close_pressed_ = c;
        else StartDockDrag(c, false, -1);
        return;
      }
      break;
    }
    case WM_LBUTTONUP:
      if (TControl* c = close_pressed_) {
        close_pressed_ = nullptr;
        bool onClose = false;
        if (GrabberAt(TPoint(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)), &onClose) == c && onClose) {
          if (auto* form = dynamic_cast<TCustomForm*>(c)) form->Close();
          else c->Hide();
        }
        return;
      }
      break;
    case CM_DOCKNOTIFICATION: {
      TCMDockNotification n(Message);
      if (n.NotifyRec && n.NotifyRec->ClientMsg == CM_VISIBLECHANGED) ResetBounds(true);
      else if (n.NotifyRec && n.NotifyRec->ClientMsg == WM_SETTEXT) site_->Invalidate();
      break;
    }
    default:
      break;
  }
  if (old_proc_) old_proc_(Message);
}

// ---------------------------------------------------------------------------------------------
// TCustomDockForm

PX_CLASS_INFO(TCustomDockForm, TCustomForm)

TCustomDockForm::TCustomDockForm(TComponent* AOwner) : TCustomForm(AOwner) {
  SetBorderStyle(bsSizeToolWin);
  SetDockSite(true);
}

void TCustomDockForm::GetSiteInfo(TControl* Client, TRect& InfluenceRect, TPoint MousePos, bool& CanDock) {
  CanDock = DockClientCount() == 0 || (DockClientCount() == 1 && DockClients(0) == Client);
  TCustomForm::GetSiteInfo(Client, InfluenceRect, MousePos, CanDock);
}

void TCustomDockForm::DoAddDockClient(TControl* Client, const TRect& ARect) {
  TCustomForm::DoAddDockClient(Client, ARect);
  Client->SetAlign(alClient);
  SetCaption(Client->Caption());
}

void TCustomDockForm::DoRemoveDockClient(TControl* Client) {
  TCustomForm::DoRemoveDockClient(Client);
  if (DockClientCount() > 0 || ComponentState().Contains(csDestroying)) return;
  Hide();
  if (HandleAllocated()) Release();
}

void TCustomDockForm::CMDockNotification(TCMDockNotification& Message) {
  Message.Result = 0;
  const TDockNotifyRec* rec = Message.NotifyRec;
  if (!rec) return;
  if (rec->ClientMsg == WM_SETTEXT) SetCaption(rec->MsgLParam ? reinterpret_cast<const char*>(rec->MsgLParam) : "");
  else if (rec->ClientMsg == CM_VISIBLECHANGED) SetVisible(rec->MsgWParam != 0);
}
