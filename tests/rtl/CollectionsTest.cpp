#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes_collections.h"
#include "platform/rtl/Classes_components.h"

namespace {

class TNamedItem : public TCollectionItem {
  PX_CLASS(TNamedItem)
 public:
  using TCollectionItem::TCollectionItem;
  std::string Caption;

  void Assign(TPersistent* Source) override {
    if (auto* s = dynamic_cast<TNamedItem*>(Source)) {
      Caption = s->Caption;
      Changed(false);
    } else {
      TCollectionItem::Assign(Source);
    }
  }
  std::string DisplayName() const override { return Caption.empty() ? TCollectionItem::DisplayName() : Caption; }
  void SetDisplayName(const std::string& Value) override {
    Caption = Value;
    TCollectionItem::SetDisplayName(Value);
  }
};

// An item whose construction fails after the collection took it in.
class TFailingItem : public TCollectionItem {
  PX_CLASS(TFailingItem)
 public:
  explicit TFailingItem(TCollection* c) : TCollectionItem(c) { throw EInvalidOperation("no item"); }
};

// Logs the collection's hooks.
class TLoggedItems : public TOwnedCollection {
  PX_CLASS(TLoggedItems)
 public:
  explicit TLoggedItems(TPersistent* AOwner, TCollectionItemClass ItemClass = TCollectionItemClass::Of<TNamedItem>())
      : TOwnedCollection(AOwner, ItemClass) {}
  std::vector<std::string> log;
  TNamedItem* Item(int i) { return static_cast<TNamedItem*>(Items(i)); }
  std::vector<int32_t> Ids() {
    std::vector<int32_t> ids;
    for (int32_t i = 0; i < Count(); ++i) ids.push_back(Items(i)->ID());
    return ids;
  }

 protected:
  void Update(TCollectionItem* Item) override { log.push_back(Item ? "update " + Item->DisplayName() : "update all"); }
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
    const char* what = Action == cnAdded ? "added " : Action == cnDeleting ? "deleting " : "extracting ";
    log.push_back(what + IntToStr(Item->ID()));
  }
};

class TGrid : public TComponent {
  PX_CLASS(TGrid)
 public:
  explicit TGrid(TComponent* AOwner) : TComponent(AOwner), columns_(this) {}
  TLoggedItems* Columns() { return &columns_; }

 private:
  TLoggedItems columns_;
};

}  // namespace

PX_CLASS_INFO(TNamedItem, TCollectionItem)
PX_CLASS_INFO(TFailingItem, TCollectionItem)
PX_CLASS_INFO(TLoggedItems, TOwnedCollection)
PX_CLASS_INFO(TGrid, TComponent, [](TPropertyBuilder<TGrid>& b) { b.Object<TLoggedItems>("Columns", &TGrid::Columns); })

TEST(Collection, AddInsertDeleteAndMoveKeepIdsAndIndexes) {
  TLoggedItems c(nullptr);
  for (int i = 0; i < 3; ++i) c.Add();
  TCollectionItem* inserted = c.Insert(1);
  EXPECT_EQ(c.Ids(), (std::vector<int32_t>{0, 3, 1, 2}));
  EXPECT_EQ(inserted->Index(), 1);
  EXPECT_EQ(inserted->Collection(), &c);
  EXPECT_EQ(c.ItemClass(), TNamedItem::StaticClass());

  c.Delete(0);
  EXPECT_EQ(c.Ids(), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(c.FindItemID(1), c.Items(1));
  EXPECT_EQ(c.FindItemID(0), nullptr);

  c.Items(2)->SetIndex(0);
  EXPECT_EQ(c.Ids(), (std::vector<int32_t>{2, 3, 1}));
  c.Items(0)->SetIndex(2);
  EXPECT_EQ(c.Ids(), (std::vector<int32_t>{3, 1, 2}));
  EXPECT_EQ(c.Add()->ID(), 4);  // IDs are never reused
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
}

TEST(Collection, BadIndexesRaiseAndChangeNothing) {
  TLoggedItems c(nullptr);
  c.Add();
  c.Add();
  std::vector<std::pair<std::function<void()>, int>> cases = {
      {[&] { c.Items(-1); }, -1},       {[&] { c.Items(2); }, 2},           {[&] { c.Delete(2); }, 2},
      {[&] { c.Insert(3); }, 3},        {[&] { c.Insert(-1); }, -1},        {[&] { c.Items(0)->SetIndex(2); }, 2},
      {[&] { c.SetItems(5, nullptr); }, 5},
  };
  for (auto& [call, index] : cases) {
    try {
      call();
      ADD_FAILURE() << "no error for index " << index;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), Format("List index out of bounds (%d)", index));
    }
  }
  EXPECT_EQ(c.Ids(), (std::vector<int32_t>{0, 1}));

  // An item whose constructor fails does not stay in the list.
  TLoggedItems failing(nullptr, TCollectionItemClass::Of<TFailingItem>());
  EXPECT_THROW(failing.Add(), EInvalidOperation);
  EXPECT_EQ(failing.Count(), 0);
}

TEST(Collection, NotifiesAndReportsChangesOncePerUpdate) {
  TLoggedItems c(nullptr);
  c.Add();
  static_cast<TNamedItem*>(c.Items(0))->SetDisplayName("a");
  EXPECT_EQ(c.log, (std::vector<std::string>{"added 0", "update all", "update a"}));

  c.log.clear();
  c.BeginUpdate();
  c.Add();
  c.Add();
  c.Item(1)->SetDisplayName("b");
  c.Delete(0);
  EXPECT_EQ(c.UpdateCount(), 1);
  c.EndUpdate();
  EXPECT_EQ(c.log, (std::vector<std::string>{"added 1", "added 2", "deleting 0", "update all"}));

  c.log.clear();
  c.Clear();
  EXPECT_EQ(c.log, (std::vector<std::string>{"deleting 2", "deleting 1", "update all"}));
  c.log.clear();
  c.Clear();  // nothing to clear, nothing to report
  c.EndUpdate();  // unmatched: ignored
  EXPECT_TRUE(c.log.empty());
}

TEST(Collection, AssignCopiesItemByItem) {
  TLoggedItems source(nullptr), dest(nullptr);
  for (const char* caption : {"x", "y"}) static_cast<TNamedItem*>(source.Add())->Caption = caption;
  dest.Add();
  dest.Add();
  dest.Add();
  dest.log.clear();
  dest.Assign(&source);
  ASSERT_EQ(dest.Count(), 2);
  EXPECT_EQ(dest.Item(0)->Caption, "x");
  EXPECT_EQ(dest.Item(1)->Caption, "y");
  EXPECT_EQ(dest.Ids(), (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(dest.log.back(), "update all");
  EXPECT_EQ(std::count(dest.log.begin(), dest.log.end(), "update all"), 1);

  TNamedItem loose(nullptr);
  EXPECT_THROW(dest.Assign(&loose), EConvertError);
  EXPECT_EQ(dest.Count(), 2);

  // Through the published property, as the form loader and Assign of the owner do.
  TGrid grid(nullptr);
  SetObjectProp(&grid, "Columns", &source);
  EXPECT_EQ(grid.Columns()->Count(), 2);
  EXPECT_EQ(GetObjectProp(&grid, "Columns"), grid.Columns());
}

TEST(Collection, NamePathsFollowTheOwnersProperty) {
  TGrid grid(nullptr);
  grid.SetName("Grid1");
  grid.Columns()->Add();
  grid.Columns()->Add();
  EXPECT_EQ(grid.Columns()->GetNamePath(), "Grid1.Columns");
  EXPECT_EQ(grid.Columns()->Items(1)->GetNamePath(), "Grid1.Columns[1]");
  EXPECT_EQ(grid.Columns()->Owner(), &grid);

  TLoggedItems ownerless(nullptr);
  TCollectionItem* item = ownerless.Add();
  EXPECT_EQ(ownerless.GetNamePath(), "TLoggedItems");
  EXPECT_EQ(item->GetNamePath(), "TLoggedItems[0]");
  EXPECT_EQ(item->DisplayName(), "TNamedItem");

  TNamedItem loose(nullptr);
  EXPECT_EQ(loose.GetNamePath(), "TNamedItem");
  EXPECT_EQ(loose.Index(), -1);
}
