#include "platform/rtl/Classes_components.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

PX_CLASS_INFO(TComponent, TPersistent, [](TPropertyBuilder<TComponent>& b) {
  b.Str("Name", &TComponent::Name, &TComponent::SetName).Stored(false);
  b.Int("Tag", &TComponent::Tag, &TComponent::SetTag).Default(0);
})

namespace {

bool IsValidIdent(std::string_view s) {
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (s.empty() || !alpha(s[0])) return false;
  return std::all_of(s.begin() + 1, s.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  RemoveFreeNotifications();
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", Index));
  return components_[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  const auto& list = owner_->components_;
  return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetComponentIndex(int Value) {
  if (!owner_) return;
  auto& list = owner_->components_;
  int current = ComponentIndex();
  Value = std::clamp(Value, 0, static_cast<int>(list.size()) - 1);
  if (Value == current) return;
  list.erase(list.begin() + current);
  list.insert(list.begin() + Value, this);
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, AName)) return c;
  return nullptr;
}

void TComponent::SetName(const std::string& NewName) {
  if (name_ == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError(Format("'%s' is not a valid component name", NewName));
  if (owner_) owner_->ValidateRename(this, name_, NewName);
  else ValidateRename(nullptr, name_, NewName);
  name_ = NewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName) {
  if (AComponent && !SameText(CurName, NewName) && AComponent->owner_ == this) {
    TComponent* other = FindComponent(NewName);
    if (other && other != AComponent)
      throw EComponentError(Format("A component named %s already exists", NewName));
  }
}

void TComponent::Insert(TComponent* AComponent) {
  components_.push_back(AComponent);
  AComponent->owner_ = this;
}

void TComponent::Remove(TComponent* AComponent) {
  auto it = std::find(components_.begin(), components_.end(), AComponent);
  if (it != components_.end()) components_.erase(it);
  AComponent->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ == this) return;
  // Validate before taking the component from its previous owner, so that a refused insert
  // leaves it owned (and freed) as before.
  if (!AComponent->name_.empty() && FindComponent(AComponent->name_))
    throw EComponentError(Format("A component named %s already exists", AComponent->name_));
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  Insert(AComponent);
  if (state_.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ != this) return;
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* instance = components_.back();
    if (instance->state_.Contains(csFreeNotification) ||
        (state_.Contains(csDesigning) && state_.Contains(csInline)))
      RemoveComponent(instance);
    else
      Remove(instance);
    delete instance;  // owned: the component ownership rule
  }
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // Last first; a handler may remove components from the list meanwhile.
  for (size_t i = components_.size(); i-- > 0;) {
    components_[i]->Notification(AComponent, Operation);
    if (i > components_.size()) i = components_.size();
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (!owner_ || AComponent->owner_ != owner_) {
    if (std::find(free_notifies_.begin(), free_notifies_.end(), AComponent) == free_notifies_.end()) {
      free_notifies_.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  state_.Include(csFreeNotification);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto it = std::find(free_notifies_.begin(), free_notifies_.end(), AComponent);
  if (it == free_notifies_.end()) return;
  free_notifies_.erase(it);
  if (free_notifies_.empty()) state_.Exclude(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveFreeNotifications() {
  // Each link is undone here before the other side is told, so that an override of
  // Notification that does not call the inherited one cannot keep this loop going.
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    other->RemoveNotification(this);
    other->Notification(this, opRemove);
  }
  state_.Exclude(csFreeNotification);
}

void TComponent::SetComponentState(TComponentStateItem Item, bool On) {
  if (Item == csDestroying || Item == csFreeNotification)
    throw EInvalidOperation("csDestroying and csFreeNotification are kept by the component");
  if (On) state_.Include(Item);
  else state_.Exclude(Item);
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  if (Value) state_.Include(csDesigning);
  else state_.Exclude(csDesigning);
  if (SetChildren)
    for (TComponent* c : components_) c->SetDesigning(Value, true);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }
void TComponent::Updating() { state_.Include(csUpdating); }
void TComponent::Updated() { state_.Exclude(csUpdating); }

void TComponent::SetSubComponent(bool IsSubComponent) {
  if (IsSubComponent) style_.Include(csSubComponent);
  else style_.Exclude(csSubComponent);
}

// ---------------------------------------------------------------------------------------------
// Creation by class reference.

TComponent* TClassInfo::Create(TComponent* Owner) const {
  if (!factory_) throw EComponentError(Format("Cannot create an instance of %s", Name));
  if (!Owner) throw EComponentError(Format("Creating a %s by class reference needs an owner", Name));
  return factory_(Owner);
}

std::unique_ptr<TComponent> TClassInfo::CreateUnowned() const {
  if (!factory_) throw EComponentError(Format("Cannot create an instance of %s", Name));
  return std::unique_ptr<TComponent>(factory_(nullptr));
}

// ---------------------------------------------------------------------------------------------
// Class registry.

namespace {

struct TClassRegistry {
  std::mutex lock;
  std::unordered_map<std::string, TClass> classes;  // lower-case name -> class
};

TClassRegistry& Registry() {
  static TClassRegistry registry;
  return registry;
}

}  // namespace

void RegisterClass(TClass AClass) {
  if (!AClass) return;
  auto& r = Registry();
  std::lock_guard guard(r.lock);
  auto [it, added] = r.classes.try_emplace(LowerCase(AClass->Name), AClass);
  if (!added && it->second != AClass)
    throw EFilerError(Format("A class named %s already exists", AClass->Name));
}

void UnRegisterClass(TClass AClass) {
  if (!AClass) return;
  auto& r = Registry();
  std::lock_guard guard(r.lock);
  auto it = r.classes.find(LowerCase(AClass->Name));
  if (it != r.classes.end() && it->second == AClass) r.classes.erase(it);
}

TClass GetClass(std::string_view ClassName) {
  auto& r = Registry();
  std::lock_guard guard(r.lock);
  auto it = r.classes.find(LowerCase(ClassName));
  return it == r.classes.end() ? nullptr : it->second;
}

TClass FindClass(std::string_view ClassName) {
  TClass c = GetClass(ClassName);
  if (!c) throw EClassNotFound(Format("Class %s not found", ClassName));
  return c;
}
