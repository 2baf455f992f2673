// Synchronisation objects: critical sections and events.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/rtl/System.h"

constexpr uint32_t INFINITE = 0xFFFFFFFF;

// wrAbandoned and wrError exist for callers that test for them; these objects live in one
// process and cannot be abandoned, so waits answer wrSignaled or wrTimeout.
enum class TWaitResult : uint8_t { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };
using enum TWaitResult;

class TSynchroObject : public TObject {
 public:
  virtual void Acquire() {}
  virtual void Release() {}
  virtual TWaitResult WaitFor(uint32_t Timeout = INFINITE);
};

// A re-entrant lock: the owning thread may enter again and must leave as often. Also usable
// with std::lock_guard / std::unique_lock.
class TCriticalSection : public TSynchroObject {
 public:
  void Acquire() override { mutex_.lock(); }
  void Release() override { mutex_.unlock(); }
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  bool try_lock() { return mutex_.try_lock(); }

 private:
  std::recursive_mutex mutex_;
};

// An event: manual reset stays signalled until ResetEvent; auto reset lets one waiter through
// and resets itself. Must not be destroyed while a thread waits on it.
class TEvent : public TSynchroObject {
 public:
  explicit TEvent(bool ManualReset = true, bool InitialState = false)
      : manual_reset_(ManualReset), signaled_(InitialState) {}

  void SetEvent();
  void ResetEvent();
  // Waits up to Timeout milliseconds (INFINITE: without limit; 0: only tests the state).
  TWaitResult WaitFor(uint32_t Timeout = INFINITE) override;
  void Acquire() override { WaitFor(INFINITE); }
  void Release() override { SetEvent(); }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  const bool manual_reset_;
  bool signaled_;
};

// A manual-reset event, initially not signalled.
class TSimpleEvent : public TEvent {
 public:
  TSimpleEvent() : TEvent(true, false) {}
};
