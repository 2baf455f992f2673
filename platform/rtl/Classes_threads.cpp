#include "platform/rtl/Classes_threads.h"

#include <sched.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <system_error>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

PX_CLASS_INFO(TThread, TObject)

namespace {

struct TSyncEntry {
  TThread* thread = nullptr;
  TThreadMethod method;
  bool synchronous = false;
  bool done = false;  // synchronous: the main thread ran it (guarded by the queue's lock)
  std::exception_ptr error;
  std::condition_variable cv;
};

struct TSyncQueue {
  std::mutex mutex;
  // Signalled when an entry arrives or a thread ends.
  std::condition_variable cv;
  std::deque<std::shared_ptr<TSyncEntry>> entries;
  // Exceptions of queued methods met while a destructor waited; raised by CheckSynchronize.
  std::deque<std::exception_ptr> deferred;
  std::function<void()> wake;
  std::atomic<TThreadID> main{};
  // Threads that own themselves (StartFreeOnTerminate) and have not yet left ThreadProc's use of
  // this queue; the run-time's shutdown waits for them, so that none outlives the queue.
  int32_t selfOwned = 0;
};

// Never destroyed: a thread that frees itself may still be leaving it while the program ends.
TSyncQueue& Sync() {
  static TSyncQueue& queue = *new TSyncQueue;
  return queue;
}

bool IsMainThread() {
  TThreadID main = Sync().main.load();
  return main != TThreadID() && main == std::this_thread::get_id();
}

void WakeMain() {
  auto& q = Sync();
  std::function<void()> wake;
  {
    std::lock_guard guard(q.mutex);
    wake = q.wake;
  }
  q.cv.notify_all();
  if (wake) wake();
}

void Enqueue(const std::shared_ptr<TSyncEntry>& entry) {
  auto& q = Sync();
  {
    std::lock_guard guard(q.mutex);
    if (q.main.load() == TThreadID())
      throw EThread("No main thread serves synchronized calls (RtlStartup was not called)");
    q.entries.push_back(entry);
  }
  WakeMain();
}

// The main thread runs Method at once (nullptr back); any other thread queues it for the main
// thread and gets the entry.
std::shared_ptr<TSyncEntry> RunOrEnqueue(TThread* AThread, TThreadMethod& Method, bool synchronous) {
  if (IsMainThread()) {
    Method();
    return nullptr;
  }
  auto entry = std::make_shared<TSyncEntry>();
  entry->thread = AThread;
  entry->method = std::move(Method);
  entry->synchronous = synchronous;
  Enqueue(entry);
  return entry;
}

// Runs the entries present now, one at a time (so RemoveQueuedEvents still reaches the rest).
bool ServeQueue(bool deferErrors, size_t limit = SIZE_MAX) {
  auto& q = Sync();
  size_t count;
  {
    std::lock_guard guard(q.mutex);
    count = std::min(q.entries.size(), limit);
  }
  bool ran = false;
  for (size_t i = 0; i < count; ++i) {
    std::shared_ptr<TSyncEntry> e;
    {
      std::lock_guard guard(q.mutex);
      if (q.entries.empty()) break;
      e = std::move(q.entries.front());
      q.entries.pop_front();
    }
    ran = true;
    if (e->synchronous) {
      try {
        e->method();
      } catch (...) {
        e->error = std::current_exception();
      }
      std::lock_guard guard(q.mutex);
      e->done = true;
      e->cv.notify_all();
    } else {
      try {
        e->method();
      } catch (...) {
        if (!deferErrors) throw;
        std::lock_guard guard(q.mutex);
        q.deferred.push_back(std::current_exception());
      }
    }
  }
  return ran;
}

std::string DescribeException(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const Exception& x) {
    return x.Message();
  } catch (const std::exception& x) {
    return x.what();
  } catch (...) {
    return "Unknown exception";
  }
}

// The start of CheckSynchronize: only the main thread may call it, and an exception deferred from a
// queued method is raised before anything else runs. Returns holding the queue's lock.
std::unique_lock<std::mutex> LockRaisingDeferred(TSyncQueue& q) {
  if (!IsMainThread()) throw EThread("CheckSynchronize called from a thread which is not the main thread");
  std::unique_lock lock(q.mutex);
  if (!q.deferred.empty()) {
    std::exception_ptr e = q.deferred.front();
    q.deferred.pop_front();
    lock.unlock();
    std::rethrow_exception(e);
  }
  return lock;
}

}  // namespace

namespace px_detail {

void RecordMainThread() { Sync().main.store(std::this_thread::get_id()); }

void ReleaseMainThread() {
  auto& q = Sync();
  // The threads may still want the main thread (their OnTerminate): it serves them meanwhile.
  for (;;) {
    {
      std::unique_lock lock(q.mutex);
      q.cv.wait(lock, [&] { return q.selfOwned == 0 || !q.entries.empty(); });
      if (q.selfOwned == 0) break;
    }
    ServeQueue(true);
  }
  std::lock_guard guard(q.mutex);
  q.main.store(TThreadID());
  // Threads still waiting in Synchronize get an error instead of waiting for ever.
  for (auto& e : q.entries) {
    if (!e->synchronous) continue;
    e->error = std::make_exception_ptr(EThread("The main thread no longer serves synchronized calls"));
    e->done = true;
    e->cv.notify_all();
  }
  q.entries.clear();
  q.deferred.clear();
  q.wake = nullptr;
}

}  // namespace px_detail

TThreadID GetCurrentThreadID() { return std::this_thread::get_id(); }
TThreadID MainThreadID() { return Sync().main.load(); }

bool CheckSynchronize(uint32_t Timeout) {
  auto& q = Sync();
  {
    std::unique_lock lock = LockRaisingDeferred(q);
    auto ready = [&] { return !q.entries.empty(); };
    if (Timeout == INFINITE) q.cv.wait(lock, ready);
    else if (Timeout > 0) q.cv.wait_for(lock, std::chrono::milliseconds(Timeout), ready);
  }
  return ServeQueue(false);
}

bool CheckSynchronizeOne() {
  LockRaisingDeferred(Sync());
  return ServeQueue(false, 1);
}

void SetWakeMainThread(std::function<void()> Hook) {
  auto& q = Sync();
  std::lock_guard guard(q.mutex);
  q.wake = std::move(Hook);
}

int CPUCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? static_cast<int>(n) : 1;
}

uint64_t PhysicalMemory() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return static_cast<uint64_t>(info.totalram) * (info.mem_unit ? info.mem_unit : 1);
}

// ---------------------------------------------------------------------------------------------
// TThread

TThread::TThread(bool CreateSuspended) : create_suspended_(CreateSuspended) {}

TThread::~TThread() {
  if (!OnOwnThread()) {
    if (started_ && !done_) {
      Terminate();
      WaitUntilDone(true);
    }
    Join();
  }
  RemoveQueuedEvents(this);
}

void TThread::Deleter::operator()(TThread* thread) const {
  // While the object is whole: terminate (overrides of TerminatedSet still run) and wait.
  if (thread->started_ && !thread->done_ && !thread->OnOwnThread()) {
    thread->Terminate();
    thread->WaitUntilDone(true);
  }
  delete thread;
}

void TThread::StartFreeOnTerminate(Ptr<TThread> thread) {
  if (!thread) return;
  if (!thread->started_) thread->Start();
  auto& q = Sync();
  {
    std::lock_guard guard(q.mutex);
    if (!thread->done_) {
      thread->free_on_terminate_ = true;
      ++q.selfOwned;
      thread.release();  // from here on the thread owns itself
      return;
    }
  }
  // It has ended already: free it here.
}

void TThread::AfterConstruction() {
  if (!create_suspended_ && !started_) Start();
}

void TThread::Start() {
  std::lock_guard guard(thread_mutex_);
  if (started_) throw EThread("Cannot call Start on a running or finished thread");
  started_ = true;
  try {
    thread_ = std::thread(&TThread::ThreadProc, this);
  } catch (const std::system_error& e) {
    started_ = false;
    throw EThread(Format("Thread creation error: %s", e.what()));
  }
  id_.store(thread_.get_id());
}

void TThread::Terminate() {
  terminated_ = true;
  TerminatedSet();
}

int32_t TThread::WaitFor() {
  if (free_on_terminate_) throw EThread("Cannot wait for a thread that frees itself");
  if (OnOwnThread()) throw EThread("A thread cannot wait for itself");
  if (!started_) {
    if (create_suspended_) throw EThread("Cannot wait for a thread that was not started");
    Start();
  }
  WaitUntilDone(false);
  Join();
  return return_value_;
}

void TThread::WaitUntilDone(bool deferErrors) {
  auto& q = Sync();
  bool main = IsMainThread();
  for (;;) {
    {
      std::unique_lock lock(q.mutex);
      q.cv.wait(lock, [&] { return done_ || (main && !q.entries.empty()); });
      if (done_) return;
    }
    ServeQueue(deferErrors);
  }
}

void TThread::Join() {
  std::lock_guard guard(thread_mutex_);
  if (thread_.joinable()) thread_.join();
}

void TThread::DoTerminate() {
  if (on_terminate_) Synchronize(this, [this] { on_terminate_(this); });
}

void TThread::ThreadProc(TThread* self) {
  self->id_.store(std::this_thread::get_id());
  if (!self->terminated_) {
    try {
      self->Execute();
    } catch (...) {
      self->fatal_ = std::current_exception();
      self->fatal_message_ = DescribeException(self->fatal_);
    }
  }
  self->finished_ = true;
  try {
    self->DoTerminate();
  } catch (...) {
    if (!self->fatal_) {
      self->fatal_ = std::current_exception();
      self->fatal_message_ = DescribeException(self->fatal_);
    }
  }
  auto& q = Sync();
  bool freeSelf;
  {
    std::lock_guard guard(q.mutex);
    freeSelf = self->free_on_terminate_;
    self->done_ = true;
  }
  q.cv.notify_all();
  // Without FreeOnTerminate the owner may delete the object from here on: do not touch it.
  if (freeSelf) {
    {
      std::lock_guard guard(self->thread_mutex_);
      self->thread_.detach();
    }
    delete self;  // the thread owns itself (StartFreeOnTerminate)
    std::lock_guard guard(q.mutex);
    --q.selfOwned;
    q.cv.notify_all();
  }
}

void TThread::Synchronize(TThread* AThread, TThreadMethod Method) {
  if (!Method) return;
  const std::shared_ptr<TSyncEntry> entry = RunOrEnqueue(AThread, Method, true);
  if (!entry) return;
  auto& q = Sync();
  {
    std::unique_lock lock(q.mutex);
    entry->cv.wait(lock, [&] { return entry->done; });
  }
  if (entry->error) std::rethrow_exception(entry->error);
}

void TThread::Queue(TThread* AThread, TThreadMethod Method) {
  if (!Method) return;
  RunOrEnqueue(AThread, Method, false);
}

void TThread::RemoveQueuedEvents(TThread* AThread) {
  auto& q = Sync();
  std::lock_guard guard(q.mutex);
  std::erase_if(q.entries, [&](const auto& e) { return !e->synchronous && e->thread == AThread; });
}
