#include "platform/rtl/HandleTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using TTable = THandleTable<std::string>;
std::shared_ptr<std::string> Str(const char* s) { return std::make_shared<std::string>(s); }

TEST(HandleTable, HandlesAreGenerationCheckedIds) {
  TTable t;
  EXPECT_EQ(t.Add(nullptr), 0u);
  const uintptr_t a = t.Add(Str("a")), b = t.Add(Str("b"));
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(*t.Find(a), "a");
  EXPECT_EQ(*t.Find(b), "b");
  EXPECT_EQ(t.Count(), 2u);
  // Null, made-up and out-of-range handles find nothing.
  EXPECT_EQ(t.Find(0), nullptr);
  EXPECT_EQ(t.Find(a & 0xFFFFFFFFu), nullptr);  // generation 0
  EXPECT_EQ(t.Find(a + 1000), nullptr);
  EXPECT_EQ(t.Find(uintptr_t(0xFFFFFFFFu) << 32), nullptr);

  // A removed handle stays dead when its slot is reused; the new handle differs.
  EXPECT_EQ(*t.Remove(a), "a");
  EXPECT_EQ(t.Remove(a), nullptr);
  EXPECT_EQ(t.Find(a), nullptr);
  const uintptr_t c = t.Add(Str("c"));
  EXPECT_EQ(c & 0xFFFFFFFFu, a & 0xFFFFFFFFu);
  EXPECT_NE(c, a);
  EXPECT_EQ(t.Find(a), nullptr);
  EXPECT_EQ(*t.Find(c), "c");
  EXPECT_EQ(t.Count(), 2u);
}

TEST(HandleTable, RemoveIfDecidesWithTheLookup) {
  TTable t;
  const uintptr_t keep = t.Add(Str("keep")), drop = t.Add(Str("drop"));
  auto notKeep = [](const std::string& s) { return s != "keep"; };
  EXPECT_EQ(t.RemoveIf(keep, notKeep), nullptr);
  EXPECT_NE(t.Find(keep), nullptr);
  EXPECT_EQ(*t.RemoveIf(drop, notKeep), "drop");
  EXPECT_EQ(t.Find(drop), nullptr);
}

TEST(HandleTable, RemovedObjectsLiveWhileHeldAndAreFreedOutsideTheTable) {
  TTable t;
  const uintptr_t h = t.Add(Str("x"));
  std::shared_ptr<std::string> held = t.Find(h);
  std::weak_ptr<std::string> watch = held;
  {
    auto out = t.Remove(h);
    EXPECT_EQ(out.get(), held.get());
  }
  EXPECT_EQ(*held, "x");
  held.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(HandleTable, SlotsWhoseGenerationsAreUsedUpAreRetired) {
  THandleTable<int, 3> t;
  const uintptr_t first = t.Add(std::make_shared<int>(1));
  std::set<uintptr_t> seen{first};
  uintptr_t h = first;
  for (int i = 0; i < 2; ++i) {
    t.Remove(h);
    h = t.Add(std::make_shared<int>(i));
    EXPECT_EQ(h & 0xFFFFFFFFu, first & 0xFFFFFFFFu);  // the slot is reused ...
    EXPECT_TRUE(seen.insert(h).second);
  }
  t.Remove(h);  // ... until its last generation, then never again
  const uintptr_t next = t.Add(std::make_shared<int>(9));
  EXPECT_NE(next & 0xFFFFFFFFu, first & 0xFFFFFFFFu);
  for (uintptr_t old : seen) EXPECT_EQ(t.Find(old), nullptr);
}

TEST(HandleTable, ForEachVisitsASnapshotAndMayChangeTheTable) {
  TTable t;
  std::vector<uintptr_t> hs;
  for (const char* s : {"a", "b", "c", "d"}) hs.push_back(t.Add(Str(s)));
  t.Remove(hs[1]);
  std::string order;
  t.ForEach([&](uintptr_t h, std::string& s) {
    order += s;
    EXPECT_EQ(t.Find(h).get(), &s);
    t.Remove(h);  // the callback may use the table
  });
  EXPECT_EQ(order, "acd");
  EXPECT_EQ(t.Count(), 0u);
}

TEST(HandleTable, ThreadsAddFindAndRemoveConcurrently) {
  TTable t;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int k = 0; k < 4; ++k) {
    threads.emplace_back([&, k] {
      for (int i = 0; i < 2000; ++i) {
        const std::string v = std::to_string(k * 100000 + i);
        const uintptr_t h = t.Add(std::make_shared<std::string>(v));
        auto found = t.Find(h);
        if (!found || *found != v) ++wrong;
        auto out = t.Remove(h);
        if (!out || *out != v || t.Find(h)) ++wrong;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(t.Count(), 0u);
}

}  // namespace
