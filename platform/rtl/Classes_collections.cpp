#include "platform/rtl/Classes_collections.h"

#include <algorithm>

PX_CLASS_INFO(TCollectionItem, TPersistent)
PX_CLASS_INFO(TCollection, TPersistent)
PX_CLASS_INFO(TOwnedCollection, TCollection)

// ---------------------------------------------------------------------------------------------
// TCollectionItem

TCollectionItem::TCollectionItem(TCollection* Collection) {
  if (Collection) Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this);
}

int32_t TCollectionItem::Index() const {
  if (!collection_) return -1;
  const auto& items = collection_->items_;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].get() == this) return static_cast<int32_t>(i);
  return -1;
}

void TCollectionItem::SetIndex(int32_t Value) {
  if (!collection_) return;
  int32_t current = Index();
  if (Value < 0 || Value >= collection_->Count()) TCollection::IndexError(Value);
  if (current == Value) return;
  auto& items = collection_->items_;
  auto at = [&](int32_t i) { return items.begin() + i; };
  // Rotating moves the owning pointers without allocating, so nothing can be lost halfway.
  if (current < Value) std::rotate(at(current), at(current + 1), at(Value + 1));
  else std::rotate(at(Value), at(current), at(current + 1));
  Changed(true);
}

std::string TCollectionItem::DisplayName() const { return ClassName(); }

void TCollectionItem::SetDisplayName(const std::string&) { Changed(false); }

std::string TCollectionItem::GetNamePath() {
  if (!collection_) return ClassName();
  return Format("%s[%d]", collection_->GetNamePath(), Index());
}

void TCollectionItem::Changed(bool AllItems) {
  if (collection_ && collection_->update_count_ == 0) collection_->Update(AllItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() { return collection_; }

// ---------------------------------------------------------------------------------------------
// TCollection

TCollection::TCollection(TCollectionItemClass ItemClass) : item_class_(ItemClass) {}

TCollection::~TCollection() {
  destroying_ = true;
  while (!items_.empty()) {
    std::unique_ptr<TCollectionItem> item = std::move(items_.back());
    items_.pop_back();
    item->collection_ = nullptr;
  }
}

void TCollection::IndexError(int32_t Index) { throw EListError(Format("List index out of bounds (%d)", Index)); }

void TCollection::InsertItem(TCollectionItem* Item) {
  items_.emplace_back(Item);
  Item->collection_ = this;
  Item->id_ = next_id_++;
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == Item; });
  if (it == items_.end()) return;
  (void)it->release();  // the item is being destroyed by its own destructor
  items_.erase(it);
  Item->collection_ = nullptr;
  if (!destroying_) Changed();
}

TCollectionItem* TCollection::Add() {
  if (!item_class_.Create) throw EInvalidOperation("The collection has no item class");
  TCollectionItem* item = item_class_.Create(this);  // its constructor put it into items_
  Notify(item, cnAdded);
  Changed();
  return item;
}

TCollectionItem* TCollection::Insert(int32_t Index) {
  if (Index < 0 || Index > Count()) IndexError(Index);
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int32_t Index) {
  TCollectionItem* item = Items(Index);
  Notify(item, cnDeleting);
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& p) { return p.get() == item; });
  if (it == items_.end()) return;  // the notification took it out already
  std::unique_ptr<TCollectionItem> owned = std::move(*it);
  items_.erase(it);
  owned->collection_ = nullptr;
  owned.reset();
  Changed();
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  try {
    while (!items_.empty()) Delete(Count() - 1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TCollectionItem* TCollection::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) IndexError(Index);
  return items_[static_cast<size_t>(Index)].get();
}

void TCollection::SetItems(int32_t Index, TCollectionItem* Value) { Items(Index)->Assign(Value); }

TCollectionItem* TCollection::FindItemID(int32_t ID) const {
  for (const auto& item : items_)
    if (item->id_ == ID) return item.get();
  return nullptr;
}

void TCollection::BeginUpdate() { ++update_count_; }

void TCollection::EndUpdate() {
  if (update_count_ == 0) return;
  if (--update_count_ == 0) Changed();
}

void TCollection::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TCollection*>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  BeginUpdate();
  try {
    Clear();
    for (int32_t i = 0; i < source->Count(); ++i) Add()->Assign(source->Items(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TCollection::PropName() {
  TPersistent* owner = GetOwner();
  if (!owner) return {};
  for (PPropInfo p : GetPropList(owner))
    if (p->Kind() == tkClass && p->GetObj && p->GetObj(owner) == this) return p->Name;
  return {};
}

std::string TCollection::GetNamePath() {
  TPersistent* owner = GetOwner();
  if (!owner) return ClassName();
  std::string path = owner->GetNamePath();
  if (path.empty()) return ClassName();
  std::string prop = PropName();
  if (prop.empty()) return ClassName();
  return path + "." + prop;
}

void TCollection::Update(TCollectionItem*) {}
void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed() {
  if (update_count_ == 0) Update(nullptr);
}
