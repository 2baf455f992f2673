// The thread pool and the thread-count rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/hypxutils_threads.h"
#include "core/pxsettings.h"

namespace {

class Threads : public ::testing::Test {
 protected:
  void TearDown() override { FreeGlobalSettings(); }  // the next test gets the defaults again
};

TEST_F(Threads, ChooseThreadCountFollowsTheSettings) {
  const int32_t cores = GetProcessorCoreCount();
  ASSERT_GE(cores, 1);
  EXPECT_EQ(GlobalSettingsInstance()->FProcessorCoreCount, cores);  // counted once, kept
  const int32_t many = std::min(4, cores);
  struct Case {
    int32_t width, height, max_threads, core_count, expected;
  } cases[] = {
      {200, 300, 4, -1, 1},                // 60,000 pixels: below the threshold
      {256, 256, 4, -1, many},             // 65,536 pixels: threaded
      {100000, 100000, 4, -1, many},       // 10^10 pixels: no overflow
      {256, 256, 4, 2, 2},                 // a machine reporting 2 cores
      {4000, 4000, 1, 8, 1},               // FMaxThreads 1
      {4000, 4000, 0, 8, 1},               // below 1: still one unit
      {4000, 4000, -3, 8, 1},
      {4000, 4000, 16, 6, 6},
  };
  for (const Case& c : cases) {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    s->FMaxThreads = c.max_threads;
    s->FProcessorCoreCount = c.core_count == -1 ? cores : c.core_count;
    EXPECT_EQ(ChooseThreadCount(c.width, c.height), c.expected) << c.width << "x" << c.height;
  }
  GlobalSettingsInstance()->FMultiThreadMinPixels = 10;
  GlobalSettingsInstance()->FMaxThreads = 4;
  GlobalSettingsInstance()->FProcessorCoreCount = 4;
  EXPECT_EQ(ChooseThreadCount(3, 3), 1);
  EXPECT_EQ(ChooseThreadCount(5, 2), 4);
}

// Adds Value to Sum on whichever thread runs it; counts live executors.
std::atomic<int> g_live{0};

class TAddExecutor : public TPXExecutor {
 public:
  TAddExecutor(bool Threaded, std::atomic<int64_t>& Sum, int64_t Value, bool Throw = false)
      : TPXExecutor(Threaded), sum_(Sum), value_(Value), throw_(Throw) {
    ++g_live;
  }
  ~TAddExecutor() override { --g_live; }
  void Execute() override {
    ran_on = std::this_thread::get_id();
    if (throw_) throw std::runtime_error("unit " + std::to_string(value_));
    sum_ += value_;
  }
  std::thread::id ran_on;

 private:
  std::atomic<int64_t>& sum_;
  int64_t value_;
  bool throw_;
};

TEST_F(Threads, InlineExecutorRunsBeforeAddReturns) {
  std::atomic<int64_t> sum{0};
  TPXThreadPool pool;
  auto e = std::make_unique<TAddExecutor>(false, sum, 5);
  TAddExecutor* raw = e.get();
  EXPECT_EQ(raw->Thread(), nullptr);
  pool.Add(std::move(e));
  EXPECT_EQ(sum, 5);
  EXPECT_EQ(raw->ran_on, std::this_thread::get_id());
  pool.WaitAll();
  EXPECT_EQ(pool.Count(), 0);
  EXPECT_EQ(g_live, 0);
  // An inline unit's exception comes out of Add.
  EXPECT_THROW(pool.Add(std::make_unique<TAddExecutor>(false, sum, 1, true)), std::runtime_error);
  pool.WaitAll();
  EXPECT_EQ(g_live, 0);
  pool.WaitAll();  // empty: nothing
}

TEST_F(Threads, ThreadedExecutorsAreJoinedAndFreed) {
  std::atomic<int64_t> sum{0};
  TPXThreadPool pool;
  for (int round = 0; round < 2; ++round) {  // the pool is reusable
    for (int i = 1; i <= 8; ++i) pool.Add(std::make_unique<TAddExecutor>(true, sum, i));
    EXPECT_EQ(pool.Count(), 8);
    pool.WaitAll();
    EXPECT_EQ(pool.Count(), 0);
    EXPECT_EQ(g_live, 0);
  }
  EXPECT_EQ(sum, 72);
}

TEST_F(Threads, ThreadedExceptionComesOutOfWaitAll) {
  std::atomic<int64_t> sum{0};
  TPXThreadPool pool;
  pool.Add(std::make_unique<TAddExecutor>(true, sum, 1));
  pool.Add(std::make_unique<TAddExecutor>(true, sum, 2, true));
  pool.Add(std::make_unique<TAddExecutor>(true, sum, 3, true));
  pool.Add(std::make_unique<TAddExecutor>(true, sum, 4));
  try {
    pool.WaitAll();
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "unit 2");  // the first in list order
  }
  EXPECT_EQ(sum, 5);  // the other units still ran
  EXPECT_EQ(g_live, 0);
  EXPECT_EQ(pool.Count(), 0);
  // A pool destroyed with a failed unit neither raises nor leaks.
  {
    TPXThreadPool other;
    other.Add(std::make_unique<TAddExecutor>(true, sum, 9, true));
  }
  EXPECT_EQ(g_live, 0);
}

// Queued units: every item exactly once, in contiguous units of at least the minimum (the last
// may be shorter), the first unit and Main only on the calling thread; Waiting runs there too,
// and at least once whenever a unit finished on another thread; a failing unit's exception
// reaches the caller whichever thread ran it.
TEST_F(Threads, QueuedUnitsCoverEveryItemOnce) {
  struct TCase { int32_t Count, Workers, MinUnit; };
  for (const TCase& c : {TCase{1000, 4, 16}, TCase{37, 8, 16}, TCase{5, 3, 1}, TCase{100, 1, 7}, TCase{64, 4, 16}}) {
    SCOPED_TRACE(c.Count);
    std::vector<std::atomic<int>> seen(static_cast<size_t>(c.Count));
    std::atomic<bool> mainElsewhere{false}, shortUnit{false}, firstElsewhere{false};
    std::atomic<int> elsewhere{0};
    int waiting = 0;
    bool waitingElsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    RunUnitsOnPool(
        c.Count, c.Workers, c.MinUnit,
        [&](int32_t First, int32_t Number, bool Main) {
          const bool here = std::this_thread::get_id() == caller;
          if (Main != here) mainElsewhere = true;
          if (First == 0 && !here) firstElsewhere = true;
          if (Number < std::min(c.MinUnit, c.Count) && First + Number != c.Count) shortUnit = true;
          for (int32_t k = First; k < First + Number; ++k) ++seen[static_cast<size_t>(k)];
          if (!here) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the caller gets to wait
            ++elsewhere;
          }
        },
        [&] {
          ++waiting;
          waitingElsewhere |= std::this_thread::get_id() != caller;
        });
    EXPECT_FALSE(mainElsewhere);
    EXPECT_FALSE(firstElsewhere);
    EXPECT_FALSE(shortUnit);
    EXPECT_FALSE(waitingElsewhere);
    EXPECT_EQ(waiting > 0, elsewhere > 0);
    EXPECT_LE(waiting, elsewhere.load());
    for (const auto& v : seen) ASSERT_EQ(v, 1);
  }
  for (bool onCaller : {false, true}) {
    const std::thread::id caller = std::this_thread::get_id();
    EXPECT_THROW(RunUnitsOnPool(400, 4, 10,
                                [&](int32_t, int32_t, bool) {
                                  if ((std::this_thread::get_id() == caller) == onCaller) throw std::runtime_error("unit");
                                  std::this_thread::sleep_for(std::chrono::milliseconds(1));  // all take part
                                }),
                 std::runtime_error);
  }
  // An exception of Waiting reaches the caller after the others are joined.
  EXPECT_THROW(RunUnitsOnPool(
                   400, 4, 10,
                   [&](int32_t, int32_t, bool) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); },
                   [] { throw std::runtime_error("waiting"); }),
               std::runtime_error);
}

}  // namespace
