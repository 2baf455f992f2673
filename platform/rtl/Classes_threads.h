// TThread, the main thread's synchronize queue, and what the machine offers (cores, memory).
//
// Creating a thread: the OS thread must not start before the derived object is complete, so
// the constructor never starts it. Use
//   auto t = TThread::Create<TWorker>(args...);   // starts it unless created suspended
// which constructs the object, then calls AfterConstruction() (the start of a thread created
// running). A thread created suspended starts with Start(). The returned pointer's deleter
// terminates the thread and waits for it before any destructor runs, so Execute never sees
// a half-destroyed object. (A thread created running but never started by AfterConstruction
// starts when WaitFor is called.)
//
// A thread that frees itself is handed over with TThread::StartFreeOnTerminate(std::move(t)):
// it deletes itself after Execute and OnTerminate; nobody may touch it afterwards.
//
// The main thread is the one that called RtlStartup(). It serves Synchronize and Queue when it
// calls CheckSynchronize (the UI loop does, woken through the WakeMainThread hook; tests call
// it directly) and while it waits in TThread::WaitFor.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/rtl/Events.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/System.h"

using TThreadID = std::thread::id;
using TThreadMethod = std::function<void()>;

TThreadID GetCurrentThreadID();
// The thread that called RtlStartup(); an empty id before that.
TThreadID MainThreadID();

// Runs the methods waiting in the synchronize queue, in order; on the main thread only
// (EThread otherwise). Waits up to Timeout ms (INFINITE: without limit) for one to arrive when
// the queue is empty. Answers whether anything ran. An exception of a queued method (Queue)
// propagates from here; the entries behind it stay queued for the next call. An exception of a
// synchronized method (Synchronize) goes back to the thread that waits for it.
bool CheckSynchronize(uint32_t Timeout = 0);
// Runs the first waiting method only (without waiting); answers whether one ran. The UI loop
// serves one per wake-up, so the methods keep their order with the loop's posted messages.
bool CheckSynchronizeOne();
// Called (on the queuing thread) whenever something is queued for the main thread; the UI layer
// sets it to wake its event loop. Must be thread-safe. An empty function removes it.
void SetWakeMainThread(std::function<void()> Hook);

// Processor cores available to this process (its affinity mask), at least 1.
int CPUCount();
// Installed physical memory in bytes (0 when it cannot be read).
uint64_t PhysicalMemory();

class TThread : public TObject {
  PX_CLASS(TThread)
 public:
  // Terminates the thread and waits for it (serving the queue on the main thread), then deletes.
  struct Deleter {
    void operator()(TThread* thread) const;
  };
  template <class T>
  using Ptr = std::unique_ptr<T, Deleter>;

  // Constructs a T and starts it unless it was created suspended.
  template <class T, class... A>
  static Ptr<T> Create(A&&... args) {
    Ptr<T> thread(new T(std::forward<A>(args)...));  // the ownership helper of threads
    thread->AfterConstruction();
    return thread;
  }
  // Starts the thread if needed and lets it free itself when done (FreeOnTerminate).
  static void StartFreeOnTerminate(Ptr<TThread> thread);

  explicit TThread(bool CreateSuspended);
  ~TThread() override;

  // Starts a thread created running (once the object is complete); nothing otherwise.
  void AfterConstruction();
  // Starts a suspended thread; EThread when it was already started.
  void Start();
  // Asks Execute to stop (it polls Terminated); calls TerminatedSet.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Waits until the thread ended (after OnTerminate) and answers ReturnValue. On the main thread
  // it keeps serving the synchronize queue meanwhile. EThread for a thread never started (when
  // created suspended), for one that frees itself, and for a thread waiting for itself.
  int32_t WaitFor();

  // True once Execute returned (set before OnTerminate runs).
  bool Finished() const { return finished_; }
  // True until the thread is started.
  bool Suspended() const { return !started_; }
  bool FreeOnTerminate() const { return free_on_terminate_; }
  // The OS thread's id; empty before the thread started.
  TThreadID ThreadID() const { return id_; }
  int32_t ReturnValue() const { return return_value_; }

  // Runs on the main thread (through the queue) after Execute. Set it before the thread starts.
  const TNotifyEvent& OnTerminate() const { return on_terminate_; }
  void SetOnTerminate(TNotifyEvent Value) { on_terminate_ = std::move(Value); }

  // An exception that escaped Execute (or OnTerminate); read once Finished. Empty when none.
  std::exception_ptr FatalException() const { return fatal_; }
  std::string FatalExceptionMessage() const { return fatal_message_; }

  // Runs Method on the main thread and waits for it; on the main thread it runs directly. An
  // exception inside Method is raised again in the calling thread. AThread may be nil.
  static void Synchronize(TThread* AThread, TThreadMethod Method);
  // Queues Method for the main thread without waiting; on the main thread it runs directly.
  static void Queue(TThread* AThread, TThreadMethod Method);
  // Drops the methods AThread queued that have not run yet.
  static void RemoveQueuedEvents(TThread* AThread);

 protected:
  virtual void Execute() = 0;
  // Runs OnTerminate through Synchronize.
  virtual void DoTerminate();
  // Called by Terminate: a hook for waking an Execute that waits on something.
  virtual void TerminatedSet() {}
  void SetReturnValue(int32_t Value) { return_value_ = Value; }
  void Synchronize(TThreadMethod Method) { Synchronize(this, std::move(Method)); }
  void Queue(TThreadMethod Method) { Queue(this, std::move(Method)); }

 private:
  static void ThreadProc(TThread* self);
  // Waits for the end of ThreadProc; on the main thread serves the queue meanwhile. With
  // deferErrors, exceptions of queued methods are kept for the next CheckSynchronize.
  void WaitUntilDone(bool deferErrors);
  void Join();
  bool OnOwnThread() const { return id_.load() == std::this_thread::get_id(); }

  const bool create_suspended_;
  std::mutex thread_mutex_;  // guards thread_
  std::thread thread_;
  std::atomic<TThreadID> id_{};
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> done_{false};  // ThreadProc ended; written under the queue's lock
  std::atomic<bool> free_on_terminate_{false};
  std::atomic<int32_t> return_value_{0};
  TNotifyEvent on_terminate_;
  std::exception_ptr fatal_;
  std::string fatal_message_;
};

namespace px_detail {
// Used by RtlStartup/RtlShutdown.
void RecordMainThread();
void ReleaseMainThread();
}  // namespace px_detail
