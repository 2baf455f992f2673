#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Contnrs.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

namespace {

int values[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
void* P(int i) { return &values[i]; }
int V(void* p) { return *static_cast<int*>(p); }

std::vector<int> Contents(const TList& l) {
  std::vector<int> out;
  for (int32_t i = 0; i < l.Count(); ++i) out.push_back(l[i] ? V(l[i]) : -1);
  return out;
}

// Records every notification.
class TRecordingList : public TList {
 public:
  std::vector<std::pair<int, TListNotification>> log;

 protected:
  void Notify(void* Ptr, TListNotification Action) override { log.emplace_back(V(Ptr), Action); }
};

// Counts its destructions.
class TTracked : public TObject {
  PX_CLASS(TTracked)
 public:
  explicit TTracked(int* counter) : counter_(counter) {}
  ~TTracked() override { ++*counter_; }

 private:
  int* counter_;
};
class TTrackedChild : public TTracked {
  PX_CLASS(TTrackedChild)
 public:
  using TTracked::TTracked;
};

}  // namespace

PX_CLASS_INFO(TTracked, TObject)
PX_CLASS_INFO(TTrackedChild, TTracked)

TEST(List, EditingOperations) {
  TList l;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(l.Add(P(i)), i);
  l.Insert(0, P(9));                  // 9 0 1 2 3 4
  l.Delete(2);                        // 9 0 2 3 4
  EXPECT_EQ(l.Remove(P(3)), 3);       // 9 0 2 4
  EXPECT_EQ(l.Remove(P(7)), -1);
  l.Exchange(0, 3);                   // 4 0 2 9
  l.Move(0, 2);                       // 0 2 4 9
  l.Move(3, 0);                       // 9 0 2 4
  EXPECT_EQ(Contents(l), (std::vector<int>{9, 0, 2, 4}));
  EXPECT_EQ(l.IndexOf(P(2)), 2);
  EXPECT_EQ(V(l.First()), 9);
  EXPECT_EQ(V(l.Last()), 4);
  EXPECT_EQ(l.Extract(P(0)), P(0));
  EXPECT_EQ(l.Extract(P(0)), nullptr);
  l.SetCount(5);                      // 9 2 4 nil nil
  l.Put(3, P(1));
  l.Pack();
  EXPECT_EQ(Contents(l), (std::vector<int>{9, 2, 4, 1}));
  EXPECT_GE(l.Capacity(), l.Count());
  l.SetCapacity(100);
  EXPECT_EQ(l.Capacity(), 100);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

TEST(List, BadIndicesRaiseWithTheIndex) {
  TList l;
  l.Add(P(1));
  l.Add(P(2));
  struct Case { std::function<void()> op; const char* message; };
  const Case cases[] = {
      {[&] { l.Get(2); }, "List index out of bounds (2)"},
      {[&] { l.Get(-1); }, "List index out of bounds (-1)"},
      {[&] { l.Put(5, nullptr); }, "List index out of bounds (5)"},
      {[&] { l.Insert(3, nullptr); }, "List index out of bounds (3)"},
      {[&] { l.Delete(2); }, "List index out of bounds (2)"},
      {[&] { l.Exchange(0, 7); }, "List index out of bounds (7)"},
      {[&] { l.Move(0, 2); }, "List index out of bounds (2)"},
      {[&] { l.SetCapacity(1); }, "List capacity out of bounds (1)"},
      {[&] { l.SetCount(-1); }, "List count out of bounds (-1)"},
      {[&] { TList().First(); }, "List index out of bounds (0)"},
  };
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  EXPECT_EQ(Contents(l), (std::vector<int>{1, 2}));
}

TEST(List, NotificationsFollowTheOperations) {
  TRecordingList l;
  l.Add(P(1));
  l.Add(nullptr);  // nil items are not notified
  l.Add(P(2));
  l.Put(0, P(3));
  l.Extract(P(2));
  l.Delete(0);
  l.Add(P(4));
  l.Clear();
  const std::vector<std::pair<int, TListNotification>> want = {
      {1, lnAdded}, {2, lnAdded}, {1, lnDeleted}, {3, lnAdded}, {2, lnExtracted},
      {3, lnDeleted}, {4, lnAdded}, {4, lnDeleted}};
  EXPECT_EQ(l.log, want);
}

TEST(List, SortOrdersAndSurvivesAnInconsistentComparison) {
  TList l;
  for (int i : {5, 3, 9, 1, 7, 3, 0, 8, 2, 6, 4}) l.Add(P(i));
  l.Sort([](void* a, void* b) { return V(a) - V(b); });
  EXPECT_EQ(Contents(l), (std::vector<int>{0, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9}));
  // A comparison that is no order must not run outside the list; the items stay.
  l.Sort([](void*, void*) { return -1; });
  l.Sort([](void*, void*) { return 1; });
  std::vector<int> got = Contents(l);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<int>{0, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(ObjectList, OwnershipFreesDeletedObjectsButNotExtractedOnes) {
  int freed = 0;
  auto make = [&] { return new TTracked(&freed); };
  std::unique_ptr<TObject> extracted;
  {
    TObjectList l;
    EXPECT_TRUE(l.OwnsObjects());
    for (int i = 0; i < 6; ++i) l.Add(make());
    l.Delete(0);
    EXPECT_EQ(freed, 1);
    l.Remove(l.Items(0));
    EXPECT_EQ(freed, 2);
    l.SetItems(0, make());  // the replaced object goes
    EXPECT_EQ(freed, 3);
    extracted.reset(l.Extract(l.Last()));
    EXPECT_EQ(freed, 3);
    l.SetCount(2);
    EXPECT_EQ(freed, 4);
    EXPECT_EQ(l.Count(), 2);
  }
  EXPECT_EQ(freed, 6);  // the last two at destruction
  extracted.reset();
  EXPECT_EQ(freed, 7);

  freed = 0;
  TTracked a(&freed), b(&freed);
  {
    TObjectList l(false);
    l.Add(&a);
    l.Add(&b);
    l.Delete(0);
    l.Clear();
  }
  EXPECT_EQ(freed, 0);
}

TEST(ObjectList, FindInstanceOf) {
  int freed = 0;
  TObjectList l;
  l.Add(new TTracked(&freed));
  l.Add(new TTrackedChild(&freed));
  l.Add(new TTracked(&freed));
  EXPECT_EQ(l.FindInstanceOf(TTrackedChild::StaticClass()), 1);
  EXPECT_EQ(l.FindInstanceOf(TTracked::StaticClass(), true, 1), 2);
  EXPECT_EQ(l.FindInstanceOf(TTracked::StaticClass(), false, 1), 1);
  EXPECT_EQ(l.FindInstanceOf(TObjectList::StaticClass(), false), -1);
  EXPECT_EQ(l.IndexOf(l[2]), 2);
}
