#include "platform/rtl/Classes_actions.h"

#include <algorithm>

PX_CLASS_INFO(TBasicAction, TComponent)

// ---------------------------------------------------------------------------------------------
// TComponent's part in actions

bool TComponent::ExecuteAction(TBasicAction* Action) {
  if (!Action || !Action->HandlesTarget(this)) return false;
  Action->ExecuteTarget(this);
  return true;
}

bool TComponent::UpdateAction(TBasicAction* Action) {
  if (!Action || !Action->HandlesTarget(this)) return false;
  Action->UpdateTarget(this);
  return true;
}

// ---------------------------------------------------------------------------------------------
// TBasicAction

TBasicAction::TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}

TBasicAction::~TBasicAction() {
  // The links outlive the action: they are only detached.
  for (TBasicActionLink* link : clients_) link->action_ = nullptr;
  clients_.clear();
  if (action_component_) action_component_->RemoveFreeNotification(this);
}

bool TBasicAction::Execute() {
  if (!on_execute_) return false;
  on_execute_(this);
  return true;
}

bool TBasicAction::Update() {
  if (!on_update_) return false;
  on_update_(this);
  return true;
}

bool TBasicAction::HandlesTarget(TObject*) { return false; }
void TBasicAction::ExecuteTarget(TObject*) {}
void TBasicAction::UpdateTarget(TObject*) {}

void TBasicAction::SetActionComponent(TComponent* Value) {
  if (action_component_ == Value) return;
  if (action_component_) action_component_->RemoveFreeNotification(this);
  action_component_ = Value;
  if (action_component_) action_component_->FreeNotification(this);
}

void TBasicAction::SetOnExecute(const TNotifyEvent& Value) {
  if (on_execute_ == Value) return;
  for (TBasicActionLink* link : std::vector<TBasicActionLink*>(clients_)) link->SetOnExecute(Value);
  on_execute_ = Value;
  Change();
}

void TBasicAction::SetOnUpdate(const TNotifyEvent& Value) {
  on_update_ = Value;
  Change();
}

TBasicActionLink* TBasicAction::Clients(int32_t Index) const {
  if (Index < 0 || Index >= ClientCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return clients_[static_cast<size_t>(Index)];
}

void TBasicAction::RegisterChanges(TBasicActionLink* Value) {
  if (!Value || std::find(clients_.begin(), clients_.end(), Value) != clients_.end()) return;
  Value->action_ = this;
  clients_.push_back(Value);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* Value) {
  auto it = std::find(clients_.begin(), clients_.end(), Value);
  if (it == clients_.end()) return;
  clients_.erase(it);
  Value->action_ = nullptr;
}

void TBasicAction::Change() {
  for (TBasicActionLink* link : std::vector<TBasicActionLink*>(clients_)) link->Change();
}

void TBasicAction::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == action_component_) action_component_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// TBasicActionLink

TBasicActionLink::~TBasicActionLink() {
  if (action_) action_->UnRegisterChanges(this);
}

void TBasicActionLink::AssignClient(TObject*) {}

void TBasicActionLink::SetAction(TBasicAction* Value) {
  if (action_ == Value) return;
  if (action_) action_->UnRegisterChanges(this);
  if (Value) Value->RegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* AComponent) {
  if (!action_) return false;
  TBasicAction* action = action_;
  action->SetActionComponent(AComponent);
  bool result = false;
  try {
    result = action->Execute();
  } catch (...) {
    // The action may be gone with its component; only a live link still knows it.
    if (action_ == action) action->SetActionComponent(nullptr);
    throw;
  }
  if (action_ == action) action->SetActionComponent(nullptr);
  return result;
}

bool TBasicActionLink::Update() { return action_ && action_->Update(); }

bool TBasicActionLink::IsOnExecuteLinked() { return true; }
void TBasicActionLink::SetOnExecute(const TNotifyEvent&) {}

void TBasicActionLink::Change() {
  if (on_change_) on_change_(action_);
}
