// TObjectList: a TList of objects that (by default) owns them.
#pragma once

#include "platform/rtl/Classes_lists.h"

// With OwnsObjects (the default) the objects of deleted, removed, replaced and cleared items
// are freed, also at the list's destruction; Extract hands the object back without freeing it.
// Items go in as TObject*, so a pointer added through the TList interface must be a TObject*.
class TObjectList : public TList {
  PX_CLASS(TObjectList)
 public:
  explicit TObjectList(bool AOwnsObjects = true) : owns_objects_(AOwnsObjects) {}
  ~TObjectList() override;

  int32_t Add(TObject* AObject) { return TList::Add(AObject); }
  void Insert(int32_t Index, TObject* AObject) { TList::Insert(Index, AObject); }
  int32_t Remove(TObject* AObject) { return TList::Remove(AObject); }
  TObject* Extract(TObject* Item) { return static_cast<TObject*>(TList::Extract(Item)); }
  int32_t IndexOf(TObject* AObject) const { return TList::IndexOf(AObject); }
  // The index of the first object of class AClass (or, with AExact false, of a descendant)
  // from AStartAt on; -1 when none.
  int32_t FindInstanceOf(TClass AClass, bool AExact = true, int32_t AStartAt = 0) const;
  TObject* First() const { return static_cast<TObject*>(TList::First()); }
  TObject* Last() const { return static_cast<TObject*>(TList::Last()); }

  TObject* Items(int32_t Index) const { return static_cast<TObject*>(Get(Index)); }
  void SetItems(int32_t Index, TObject* AObject) { Put(Index, AObject); }
  TObject* operator[](int32_t Index) const { return Items(Index); }
  bool OwnsObjects() const { return owns_objects_; }
  void SetOwnsObjects(bool Value) { owns_objects_ = Value; }

 protected:
  void Notify(void* Ptr, TListNotification Action) override;

 private:
  bool owns_objects_;
};
