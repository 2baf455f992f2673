// Collections: ordered lists of persistent items of one class that the collection creates and
// owns, as published properties hold them (a list view's columns, a status bar's panels). A
// form description stores them as Items = < item ... end item ... end >.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/TypInfo.h"

class TCollection;

class TCollectionItem : public TPersistent {
  PX_CLASS(TCollectionItem)
 public:
  // Made by TCollection::Add, which passes itself; the collection then owns the item. With a
  // nil Collection the item stands alone (held by its creator).
  explicit TCollectionItem(TCollection* Collection);
  // Takes the item out of its collection (deleting it through the collection is the usual way).
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  // The place in the collection (-1 when standalone). Setting moves the item; an index
  // outside the collection raises EListError "List index out of bounds (%d)".
  int32_t Index() const;
  void SetIndex(int32_t Value);
  // Unique within the collection for its lifetime: 0, 1, 2... in the order of adding.
  int32_t ID() const { return id_; }
  // The item's name in editors; the class name unless a descendant keeps one.
  virtual std::string DisplayName() const;
  virtual void SetDisplayName(const std::string& Value);
  // "<collection's name path>[<index>]", or the class name for a standalone item.
  std::string GetNamePath() override;

 protected:
  // Tells the collection that this item (AllItems: the list as a whole) changed.
  void Changed(bool AllItems);
  TPersistent* GetOwner() override;

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int32_t id_ = 0;
};

// The class of the items a collection makes: TCollectionItemClass::Of<TMyItem>().
struct TCollectionItemClass {
  TClass Class = nullptr;
  TCollectionItem* (*Create)(TCollection* Collection) = nullptr;

  template <class T>
  static TCollectionItemClass Of() {
    static_assert(std::is_base_of_v<TCollectionItem, T>);
    // The item's constructor hands it to the collection, which owns it from then on.
    return {T::StaticClass(), [](TCollection* c) -> TCollectionItem* { return new T(c); }};
  }
};

enum class TCollectionNotification : uint8_t { cnAdded, cnExtracting, cnDeleting };
using enum TCollectionNotification;

class TCollection : public TPersistent {
  PX_CLASS(TCollection)
 public:
  explicit TCollection(TCollectionItemClass ItemClass);
  // Frees the items without notifications.
  ~TCollection() override;

  TClass ItemClass() const { return item_class_.Class; }
  // A new item of the item class at the end.
  TCollectionItem* Add();
  // A new item at Index (0..Count); EListError for any other index, before anything is added.
  TCollectionItem* Insert(int32_t Index);
  void Delete(int32_t Index);
  // Deletes every item, last first, as one update.
  void Clear();
  // EListError "List index out of bounds (%d)" for a bad index.
  TCollectionItem* Items(int32_t Index) const;
  // Assigns Value to the item at Index.
  void SetItems(int32_t Index, TCollectionItem* Value);
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // nullptr when no item has that ID.
  TCollectionItem* FindItemID(int32_t ID) const;

  // Changes between BeginUpdate and the matching EndUpdate are reported once, by Update(nil)
  // at the end.
  virtual void BeginUpdate();
  virtual void EndUpdate();
  int32_t UpdateCount() const { return update_count_; }

  // From another collection: this one is cleared and gets one new item per source item,
  // assigned from it (the item class must know how to Assign). Others: TPersistent.
  void Assign(TPersistent* Source) override;
  // "<owner's name path>.<property>" when the owner publishes this collection, else the class
  // name.
  std::string GetNamePath() override;
  TPersistent* Owner() { return GetOwner(); }

 protected:
  // A change outside updates: Item changed, or (nil) the list as a whole.
  virtual void Update(TCollectionItem* Item);
  // Told after an item was added and before one is deleted or taken out.
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
  // Update(nil) unless an update is in progress.
  void Changed();
  // The name of the owner's published property that holds this collection ("" when none).
  std::string PropName();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);
  [[noreturn]] static void IndexError(int32_t Index);

  TCollectionItemClass item_class_;
  std::vector<std::unique_ptr<TCollectionItem>> items_;
  int32_t next_id_ = 0;
  int32_t update_count_ = 0;
  bool destroying_ = false;
};

// A collection with an owner, so that it has a name path ("Grid1.Columns").
class TOwnedCollection : public TCollection {
  PX_CLASS(TOwnedCollection)
 public:
  TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass)
      : TCollection(ItemClass), owner_(AOwner) {}

 protected:
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;  // not owned
};
