#include "core/hypxutils_threads.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "core/pxsettings.h"

void TPXExecutorThread::Execute() { Executor->Execute(); }

TPXExecutor::TPXExecutor(bool Threaded) {
  if (Threaded) thread_ = TThread::Create<TPXExecutorThread>(this);
}

TPXExecutor::~TPXExecutor() = default;

TPXThreadPool::~TPXThreadPool() {
  try {
    WaitAll();
  } catch (...) {
    // A destructor cannot raise; WaitAll has joined and freed every executor before raising.
  }
}

void TPXThreadPool::Add(std::unique_ptr<TPXExecutor> Executor) {
  if (!Executor) return;
  TPXExecutor* e = Executor.get();
  Executors.push_back(std::move(Executor));
  if (TPXExecutorThread* t = e->Thread())
    t->Start();
  else
    e->Execute();
}

void TPXThreadPool::WaitAll() {
  std::exception_ptr first;
  for (auto& e : Executors) {
    if (TPXExecutorThread* t = e->Thread()) {
      if (!t->Suspended()) {
        try {
          t->WaitFor();
        } catch (...) {
          if (!first) first = std::current_exception();
        }
      }
      if (!first && t->FatalException()) first = t->FatalException();
    }
    e.reset();
  }
  Executors.clear();
  if (first) std::rethrow_exception(first);
}

namespace {

std::mutex g_core_count_lock;

bool ReadSysInt(const std::string& path, long& value) {
  std::ifstream in(path);
  return static_cast<bool>(in >> value);
}

// Distinct (package, core) pairs among the processors this process may run on; 0 when the
// topology cannot be read.
int32_t CountPhysicalCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  std::set<std::pair<long, long>> cores;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &set)) continue;
    const std::string base = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
    long package = 0, core = 0;
    if (!ReadSysInt(base + "physical_package_id", package) || !ReadSysInt(base + "core_id", core)) return 0;
    cores.emplace(package, core);
  }
  return static_cast<int32_t>(cores.size());
}

}  // namespace

int32_t GetProcessorCoreCount() {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  std::lock_guard guard(g_core_count_lock);
  if (s->FProcessorCoreCount != -1) return s->FProcessorCoreCount;
  int32_t n = CountPhysicalCores();
  if (n < 1) n = CPUCount();
  s->FProcessorCoreCount = std::max(n, 1);
  return s->FProcessorCoreCount;
}

namespace {

class TBandExecutor : public TPXExecutor {
 public:
  TBandExecutor(bool Threaded, const std::function<void(int32_t, int32_t, bool)>& Work, int32_t First,
                int32_t Number, bool Main)
      : TPXExecutor(Threaded), work_(Work), first_(First), number_(Number), main_(Main) {}
  void Execute() override { work_(first_, number_, main_); }

 private:
  const std::function<void(int32_t, int32_t, bool)>& work_;
  int32_t first_, number_;
  bool main_;
};

}  // namespace

void RunBandsOnPool(int32_t Count, int32_t Bands, const std::function<void(int32_t, int32_t, bool)>& Work) {
  if (Count <= 0) return;
  Bands = std::clamp(Bands, 1, Count);
  if (Bands == 1) {
    Work(0, Count, true);
    return;
  }
  const int32_t size = Count / Bands, extra = Count % Bands;
  auto first = [&](int32_t k) { return k * size + std::min(k, extra); };
  TPXThreadPool pool;
  for (int32_t k = 1; k < Bands; ++k)
    pool.Add(std::make_unique<TBandExecutor>(true, Work, first(k), first(k + 1) - first(k), false));
  // Band 0 runs here, so that progress reaches the caller on its own thread; the pool joins the
  // others before an exception of this band leaves.
  std::exception_ptr failure;
  try {
    Work(0, first(1), true);
  } catch (...) {
    failure = std::current_exception();
  }
  pool.WaitAll();
  if (failure) std::rethrow_exception(failure);
}

namespace {

// The shared counter of RunUnitsOnPool, the loop each worker runs over it, and what the calling
// thread waits on: a count of units finished by the other threads and of those still running.
struct TUnitQueue {
  int32_t Count = 0, UnitSize = 1;
  std::atomic<int32_t> Next{0};
  std::atomic<bool> Failed{false};
  const std::function<void(int32_t, int32_t, bool)>* Work = nullptr;
  std::mutex Lock;
  std::condition_variable Changed;
  int32_t FinishedElsewhere = 0, Running = 0;  // under Lock

  void RunUnit(int32_t First, bool Main) { (*Work)(First, std::min(UnitSize, Count - First), Main); }

  // Takes units until none is left (or one failed).
  void Drain(bool Main) {
    try {
      for (;;) {
        if (Failed.load(std::memory_order_relaxed)) return;
        const int32_t first = Next.fetch_add(UnitSize, std::memory_order_relaxed);
        if (first >= Count) return;
        RunUnit(first, Main);
        if (!Main) Signal(1, 0);
      }
    } catch (...) {
      Failed = true;
      throw;
    }
  }
  void Signal(int32_t Finished, int32_t Left) {
    {
      std::lock_guard<std::mutex> guard(Lock);
      FinishedElsewhere += Finished;
      Running -= Left;
    }
    Changed.notify_one();
  }
};

class TUnitExecutor : public TPXExecutor {
 public:
  explicit TUnitExecutor(TUnitQueue& Queue) : TPXExecutor(true), queue_(Queue) {}
  void Execute() override {
    try {
      queue_.Drain(false);
    } catch (...) {
      queue_.Signal(0, 1);
      throw;
    }
    queue_.Signal(0, 1);
  }

 private:
  TUnitQueue& queue_;
};

}  // namespace

void RunUnitsOnPool(int32_t Count, int32_t Workers, int32_t MinUnit,
                    const std::function<void(int32_t, int32_t, bool)>& Work, const std::function<void()>& Waiting) {
  if (Count <= 0) return;
  MinUnit = std::max(MinUnit, 1);
  Workers = std::clamp(Workers, 1, std::max(1, Count / MinUnit));
  if (Workers == 1) {
    Work(0, Count, true);
    return;
  }
  TUnitQueue queue;
  queue.Count = Count;
  queue.UnitSize = std::max(MinUnit, (Count + 4 * Workers - 1) / (4 * Workers));
  queue.Work = &Work;
  // The first unit is the caller's whatever the threads do once started.
  queue.Next = queue.UnitSize;
  TPXThreadPool pool;
  std::exception_ptr failure;
  try {
    for (int32_t k = 1; k < Workers; ++k) {
      {
        std::lock_guard<std::mutex> guard(queue.Lock);
        ++queue.Running;
      }
      try {
        pool.Add(std::make_unique<TUnitExecutor>(queue));
      } catch (...) {
        queue.Signal(0, 1);
        throw;
      }
    }
    queue.RunUnit(0, true);
    queue.Drain(true);
    // Wait for the others, telling the caller each time units finished there.
    std::unique_lock<std::mutex> lock(queue.Lock);
    int32_t seen = 0;
    while (queue.Running > 0 || queue.FinishedElsewhere != seen) {
      queue.Changed.wait(lock, [&] { return queue.Running == 0 || queue.FinishedElsewhere != seen; });
      if (queue.FinishedElsewhere == seen) continue;
      seen = queue.FinishedElsewhere;
      if (!Waiting || queue.Failed) continue;
      lock.unlock();
      Waiting();
      lock.lock();
    }
  } catch (...) {
    queue.Failed = true;
    failure = std::current_exception();
  }
  pool.WaitAll();
  if (failure) std::rethrow_exception(failure);
}

int32_t ChooseThreadCount(int32_t Width, int32_t Height) {
  const int64_t pixels = static_cast<int64_t>(Width) * Height;
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  if (pixels < s->FMultiThreadMinPixels) return 1;
  return std::max(1, std::min(s->FMaxThreads, GetProcessorCoreCount()));
}
