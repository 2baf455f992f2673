// The thread pool of the library's band-parallel work: a unit of work, the thread that runs one,
// the pool that starts and joins them, fixed bands or queued units of rows over it, and the rule
// for how many units to use. No reuse: every threaded unit has its own thread.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"

class TPXExecutor;

// Runs its executor's work once, on its own thread; created suspended.
class TPXExecutorThread : public TThread {
 public:
  explicit TPXExecutorThread(TPXExecutor* AExecutor) : TThread(true), Executor(AExecutor) {}
  TPXExecutor* const Executor;  // not owned: the executor owns this thread

 protected:
  void Execute() override;
};

// A unit of work. Derived classes override Execute; a threaded executor owns a suspended thread
// that runs it once the executor is added to a pool.
class TPXExecutor : public TObject {
 public:
  explicit TPXExecutor(bool Threaded);
  ~TPXExecutor() override;
  TPXExecutor(const TPXExecutor&) = delete;
  TPXExecutor& operator=(const TPXExecutor&) = delete;

  // The work itself.
  virtual void Execute() = 0;
  // The executor's thread; nil when it runs inline.
  TPXExecutorThread* Thread() const { return thread_.get(); }

 private:
  TThread::Ptr<TPXExecutorThread> thread_;
};

// Starts executors and joins them. Used by one thread (the one that adds and joins).
class TPXThreadPool : public TObject {
 public:
  TPXThreadPool() = default;
  // Joins what is still running; an exception of a unit is dropped here (call WaitAll to get it).
  ~TPXThreadPool() override;
  TPXThreadPool(const TPXThreadPool&) = delete;
  TPXThreadPool& operator=(const TPXThreadPool&) = delete;

  // Takes the executor. A threaded one starts and Add returns at once; an inline one runs in the
  // caller's thread before Add returns (its exception propagates from here).
  void Add(std::unique_ptr<TPXExecutor> Executor);
  // Waits for every executor in the order added and frees it; the pool is empty and reusable
  // afterwards. The first exception raised by a threaded executor's work is raised again here,
  // once every executor has been joined.
  void WaitAll();
  int32_t Count() const { return static_cast<int32_t>(Executors.size()); }

  std::vector<std::unique_ptr<TPXExecutor>> Executors;  // added and not yet joined
};

// Splits Count items into at most Bands contiguous bands (the first Count mod Bands one item
// longer) and runs Work(First, Number, Main) for each: band 0 on the calling thread (Main true;
// report progress from there), the others on threads of their own; returns when all are done
// and raises the first exception of any.
void RunBandsOnPool(int32_t Count, int32_t Bands, const std::function<void(int32_t, int32_t, bool)>& Work);

// Runs Work(First, Number, Main) over Count items on Workers workers (the calling thread, Main
// true, and Workers - 1 threads), in contiguous units of at least MinUnit items (about four per
// worker) that each worker takes from a shared counter until none is left: a worker the system
// holds back leaves its share to the others instead of keeping them waiting. The calling thread
// takes the first unit before any other thread starts, and once no unit is left it waits for the
// others, calling Waiting (when given) on its own thread after units finish elsewhere; so a caller
// that reports an overall count of finished items from Work and Waiting reports progress on its
// own thread under any scheduling. Work must treat every item alike whichever unit holds it.
// Returns when all are done and raises the first exception of any (Waiting's included); after an
// exception no further unit is started.
void RunUnitsOnPool(int32_t Count, int32_t Workers, int32_t MinUnit,
                    const std::function<void(int32_t, int32_t, bool)>& Work,
                    const std::function<void()>& Waiting = {});

// Number of units for a Width x Height picture: 1 below the settings' FMultiThreadMinPixels,
// else min(FMaxThreads, GetProcessorCoreCount), never below 1.
int32_t ChooseThreadCount(int32_t Width, int32_t Height);
// Physical processor cores available to the process, counted once (under a lock) and kept in
// the settings' FProcessorCoreCount; 1 when they cannot be counted.
int32_t GetProcessorCoreCount();
