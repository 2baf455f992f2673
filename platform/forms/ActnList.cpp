// Action lists, TCustomAction and its link, and the standard actions.
#include "platform/forms/ActnList.h"

#include <algorithm>

#include "platform/forms/Forms.h"
#include "platform/forms/StdActns.h"

// ---------------------------------------------------------------------------------------------
// TContainedAction

TContainedAction::TContainedAction(TComponent* AOwner) : TBasicAction(AOwner) {}

TContainedAction::~TContainedAction() { SetActionList(nullptr); }

void TContainedAction::SetActionList(TCustomActionList* Value) {
  if (action_list_ == Value) return;
  if (action_list_) {
    auto& list = action_list_->actions_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  action_list_ = Value;
  if (action_list_) action_list_->actions_.push_back(this);
}

void TContainedAction::SetCategory(const std::string& Value) {
  if (category_ == Value) return;
  category_ = Value;
  Change();
}

int32_t TContainedAction::Index() const { return action_list_ ? action_list_->IndexOf(this) : -1; }

void TContainedAction::SetIndex(int32_t Value) {
  if (!action_list_) return;
  auto& list = action_list_->actions_;
  auto it = std::find(list.begin(), list.end(), this);
  if (it == list.end()) return;
  list.erase(it);
  Value = std::clamp(Value, 0, static_cast<int32_t>(list.size()));
  list.insert(list.begin() + Value, this);
}

bool TContainedAction::Execute() {
  if (action_list_ && action_list_->ExecuteAction(this)) return true;
  if (TBasicAction::Execute()) return true;
  TApplication* app = Application();
  return app && app->ExecuteAction(this);
}

bool TContainedAction::Update() {
  if (action_list_ && action_list_->UpdateAction(this)) return true;
  if (TBasicAction::Update()) return true;
  TApplication* app = Application();
  return app && app->UpdateAction(this);
}

TComponent* TContainedAction::GetParentComponent() const { return action_list_; }

void TContainedAction::SetParentComponent(TComponent* Value) {
  if (auto* list = dynamic_cast<TCustomActionList*>(Value)) SetActionList(list);
}

// ---------------------------------------------------------------------------------------------
// TCustomAction

TCustomAction::TCustomAction(TComponent* AOwner) : TContainedAction(AOwner) {}

bool TCustomAction::Execute() {
  Update();
  if (!enabled_) return false;
  if (auto_check_) SetChecked(!checked_);
  return TContainedAction::Execute();
}

bool TCustomAction::Update() {
  const bool handled = TContainedAction::Update();
  if (!handled && disable_if_no_handler_ && !OnExecute()) SetEnabled(false);
  return handled;
}

namespace {
// Every link of the action that is an action link.
template <class F>
void ForEachLink(TBasicAction* action, F f) {
  for (int32_t i = action->ClientCount() - 1; i >= 0; --i)
    if (i < action->ClientCount())
      if (auto* link = dynamic_cast<TActionLink*>(action->Clients(i))) f(link);
}
}  // namespace

template <class T, class P>
void TCustomAction::SetLinked(T& Field, const T& Value, P Set) {
  if (Field == Value) return;
  // The links compare their clients with the old value, so they hear of it first.
  ForEachLink(this, [&](TActionLink* l) { (l->*Set)(Value); });
  Field = Value;
  Change();
}

void TCustomAction::SetCaption(const std::string& Value) { SetLinked(caption_, Value, &TActionLink::SetCaption); }
void TCustomAction::SetChecked(bool Value) { SetLinked(checked_, Value, &TActionLink::SetChecked); }
void TCustomAction::SetEnabled(bool Value) { SetLinked(enabled_, Value, &TActionLink::SetEnabled); }
void TCustomAction::SetHint(const std::string& Value) { SetLinked(hint_, Value, &TActionLink::SetHint); }
void TCustomAction::SetImageIndex(int32_t Value) { SetLinked(image_index_, Value, &TActionLink::SetImageIndex); }
void TCustomAction::SetVisible(bool Value) { SetLinked(visible_, Value, &TActionLink::SetVisible); }

void TCustomAction::SetAutoCheck(bool Value) {
  if (auto_check_ == Value) return;
  auto_check_ = Value;
  Change();
}

THintAction::THintAction(TComponent* AOwner) : TCustomAction(AOwner) { SetDisableIfNoHandler(false); }

// ---------------------------------------------------------------------------------------------
// TActionLink

TCustomAction* TActionLink::CustomAction() const { return dynamic_cast<TCustomAction*>(Action()); }

bool TActionLink::IsCaptionLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsCheckedLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsEnabledLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsHintLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsImageIndexLinked() { return CustomAction() != nullptr; }
bool TActionLink::IsVisibleLinked() { return CustomAction() != nullptr; }
void TActionLink::SetCaption(const std::string&) {}
void TActionLink::SetChecked(bool) {}
void TActionLink::SetEnabled(bool) {}
void TActionLink::SetHint(const std::string&) {}
void TActionLink::SetImageIndex(int32_t) {}
void TActionLink::SetVisible(bool) {}

// ---------------------------------------------------------------------------------------------
// TCustomActionList

TCustomActionList::TCustomActionList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomActionList::~TCustomActionList() {
  while (!actions_.empty()) actions_.back()->SetActionList(nullptr);
}

TContainedAction* TCustomActionList::Actions(int32_t Index) const {
  if (Index < 0 || Index >= ActionCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return actions_[static_cast<size_t>(Index)];
}

int32_t TCustomActionList::IndexOf(const TContainedAction* Action) const {
  auto it = std::find(actions_.begin(), actions_.end(), Action);
  return it == actions_.end() ? -1 : static_cast<int32_t>(it - actions_.begin());
}

void TCustomActionList::SetImages(TCustomImageList* Value) {
  if (images_ == Value) return;
  if (images_) RemoveFreeNotification(images_);
  images_ = Value;
  if (images_) FreeNotification(images_);
}

bool TCustomActionList::ExecuteAction(TBasicAction* Action) {
  bool handled = false;
  if (on_execute_) on_execute_(Action, handled);
  return handled;
}

bool TCustomActionList::UpdateAction(TBasicAction* Action) {
  bool handled = false;
  if (on_update_) on_update_(Action, handled);
  return handled;
}

void TCustomActionList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) images_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Class descriptions

PX_CLASS_INFO(TContainedAction, TBasicAction, [](TPropertyBuilder<TContainedAction>& b) {
  b.Str("Category", &TContainedAction::Category, &TContainedAction::SetCategory);
})
PX_CLASS_INFO(TCustomAction, TContainedAction)
PX_CLASS_INFO(TAction, TCustomAction, [](TPropertyBuilder<TAction>& b) {
  b.Bool("AutoCheck", &TAction::AutoCheck, &TAction::SetAutoCheck).Default(false);
  b.Str("Caption", &TAction::Caption, &TAction::SetCaption);
  b.Bool("Checked", &TAction::Checked, &TAction::SetChecked).Default(false);
  b.Bool("Enabled", &TAction::Enabled, &TAction::SetEnabled).Default(true);
  b.Str("Hint", &TAction::Hint, &TAction::SetHint);
  b.Int("ImageIndex", &TAction::ImageIndex, &TAction::SetImageIndex).Default(-1);
  b.Bool("Visible", &TAction::Visible, &TAction::SetVisible).Default(true);
  b.Event("OnExecute", &TAction::OnExecute, &TAction::SetOnExecute);
  b.Event("OnUpdate", &TAction::OnUpdate, &TAction::SetOnUpdate);
})
PX_CLASS_INFO(THintAction, TCustomAction)
PX_CLASS_INFO(TCustomActionList, TComponent)
PX_CLASS_INFO(TActionList, TCustomActionList, [](TPropertyBuilder<TActionList>& b) {
  b.Object<TCustomImageList>("Images", &TActionList::Images, &TActionList::SetImages);
  b.Event("OnExecute", &TActionList::OnExecute, &TActionList::SetOnExecute);
  b.Event("OnUpdate", &TActionList::OnUpdate, &TActionList::SetOnUpdate);
})

void ActnListRegisterClasses() {
  RegisterClass(TAction::StaticClass());
  RegisterClass(TActionList::StaticClass());
  RegisterClass(THintAction::StaticClass());
}
