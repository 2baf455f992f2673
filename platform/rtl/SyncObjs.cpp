#include "platform/rtl/SyncObjs.h"

#include <chrono>

TWaitResult TSynchroObject::WaitFor(uint32_t) { return wrError; }

void TEvent::SetEvent() {
  std::lock_guard guard(mutex_);
  signaled_ = true;
  if (manual_reset_) cv_.notify_all();
  else cv_.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard guard(mutex_);
  signaled_ = false;
}

TWaitResult TEvent::WaitFor(uint32_t Timeout) {
  std::unique_lock lock(mutex_);
  auto ready = [this] { return signaled_; };
  if (Timeout == INFINITE) cv_.wait(lock, ready);
  else if (!cv_.wait_for(lock, std::chrono::milliseconds(Timeout), ready)) return wrTimeout;
  if (!manual_reset_) signaled_ = false;
  return wrSignaled;
}
